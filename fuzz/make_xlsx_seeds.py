#!/usr/bin/env python3
"""Writes seed inputs for fuzz_xlsx_reader into a folder: small whole packages (deflated and
stored) and part seeds (a selector byte 0..8 followed by the text of one part, see the target).
Usage: make_xlsx_seeds.py OUT_DIR"""

import io
import os
import sys
import zipfile

MAIN = "http://schemas.openxmlformats.org/spreadsheetml/2006/main"
STRICT = "http://purl.oclc.org/ooxml/spreadsheetml/main"
REL = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
PKG = "http://schemas.openxmlformats.org/package/2006/relationships"

CONTENT_TYPES = (
    '<?xml version="1.0" encoding="UTF-8"?>'
    '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
    '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
    '<Default Extension="xml" ContentType="application/xml"/>'
    '<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>'
    '</Types>')
ROOT_RELS = (f'<Relationships xmlns="{PKG}"><Relationship Id="rId1" Type="{REL}/officeDocument" '
             'Target="xl/workbook.xml"/></Relationships>')


def workbook(sheets, ns=MAIN, date1904=False):
    pr = '<workbookPr date1904="1"/>' if date1904 else ''
    items = "".join(f'<sheet name="{n}" sheetId="{i + 1}" r:id="rId{i + 1}"{s}/>'
                    for i, (n, s) in enumerate(sheets))
    return f'<workbook xmlns="{ns}" xmlns:r="{REL}">{pr}<sheets>{items}</sheets></workbook>'


def workbook_rels(kinds):
    items = "".join(f'<Relationship Id="rId{i + 1}" Type="{REL}/{k}" Target="{t}"/>'
                    for i, (k, t) in enumerate(kinds))
    n = len(kinds)
    items += (f'<Relationship Id="rId{n + 1}" Type="{REL}/sharedStrings" Target="sharedStrings.xml"/>'
              f'<Relationship Id="rId{n + 2}" Type="{REL}/styles" Target="styles.xml"/>')
    return f'<Relationships xmlns="{PKG}">{items}</Relationships>'


SST = (f'<sst xmlns="{MAIN}" count="3" uniqueCount="3"><si><t>名称</t></si>'
       '<si><r><rPr><b/></rPr><t xml:space="preserve">rich </t></r><r><t>text</t></r></si>'
       '<si><t>_x000D_line</t></si></sst>')

CODES = ['0.00', '#,##0;[Red]-#,##0', 'yyyy"年"m"月"d"日"', '[h]:mm:ss', '# ?/?', '0.00E+00',
         '[>100]"big";[<=100]"small"', '@', 'mmm-yy', '上午/下午h"时"mm"分"', '[$-F800]dddd',
         '_ * #,##0.00_ ;_ * \\-#,##0.00_ ;_ * "-"??_ ;_ @_ ', '0%', 'aaaa', 'General']


def styles():
    fmts = "".join(f'<numFmt numFmtId="{164 + i}" formatCode="{c.replace(chr(34), "&quot;")}"/>'
                   for i, c in enumerate(CODES))
    xfs = '<xf numFmtId="0" fontId="0" fillId="0" borderId="0"/>' + "".join(
        f'<xf numFmtId="{164 + i}" fontId="0" fillId="0" borderId="0" applyNumberFormat="1"/>'
        for i in range(len(CODES))) + '<xf numFmtId="14" fontId="0" fillId="0" borderId="0"/>'
    return (f'<styleSheet xmlns="{MAIN}"><numFmts count="{len(CODES)}">{fmts}</numFmts>'
            '<fonts count="1"><font><sz val="11"/><name val="宋体"/></font></fonts>'
            '<fills count="1"><fill><patternFill patternType="none"/></fill></fills>'
            '<borders count="1"><border/></borders>'
            f'<cellXfs count="{len(CODES) + 2}">{xfs}</cellXfs></styleSheet>')


def sheet(ns=MAIN):
    cells = ['<c r="A1" t="s"><v>0</v></c>', '<c r="B1" t="s"><v>1</v></c>',
             '<c r="C1" t="inlineStr"><is><t>inline</t></is></c>', '<c r="D1" t="b"><v>0</v></c>',
             '<c r="E1" t="e"><v>#DIV/0!</v></c>']
    rows = [f'<row r="1">{"".join(cells)}</row>']
    for i, _ in enumerate(CODES):
        r = i + 2
        rows.append(f'<row r="{r}" ht="20" customHeight="1"><c r="A{r}" s="{i + 1}"><v>{45292.5 - i * 1234.567}</v></c>'
                    f'<c r="B{r}" s="{i + 1}" t="s"><v>2</v></c>'
                    f'<c r="C{r}"><f>A{r}*2</f><v>{(45292.5 - i * 1234.567) * 2}</v></c></row>')
    rows.append('<row r="30"><c r="A30"><f t="shared" ref="A30:C30" si="0">A2+1</f><v>1</v></c>'
                '<c r="B30"><f t="shared" si="0"/><v>2</v></c><c r="XFD1048576"><v>1</v></c></row>')
    return (f'<worksheet xmlns="{ns}" xmlns:r="{REL}"><dimension ref="A1:E30"/>'
            '<sheetViews><sheetView workbookViewId="0"><pane ySplit="1" topLeftCell="A2" state="frozen"/></sheetView></sheetViews>'
            '<cols><col min="1" max="2" width="20" customWidth="1"/><col min="3" max="3" hidden="1"/></cols>'
            f'<sheetData>{"".join(rows)}</sheetData>'
            '<mergeCells count="1"><mergeCell ref="D2:E3"/></mergeCells>'
            '<conditionalFormatting sqref="A1:A9"><cfRule type="cellIs" priority="1" operator="greaterThan"><formula>1</formula></cfRule></conditionalFormatting>'
            '<hyperlinks><hyperlink ref="A2" location="\'Sheet 2\'!A1" display="go"/></hyperlinks>'
            '<pageMargins left="0.7" right="0.7" top="0.75" bottom="0.75" header="0.3" footer="0.3"/></worksheet>')


def package(parts, stored):
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w", zipfile.ZIP_STORED if stored else zipfile.ZIP_DEFLATED) as z:
        for name, text in parts.items():
            z.writestr(name, text)
    return buf.getvalue()


def base_parts(ns=MAIN, date1904=False, extra_sheets=()):
    sheets = [("数据", ""), ("Sheet 2", ' state="hidden"')] + list(extra_sheets)
    kinds = [("worksheet", "worksheets/sheet1.xml"), ("worksheet", "worksheets/sheet2.xml")]
    kinds += [("chartsheet", "chartsheets/sheet1.xml")] * len(extra_sheets)
    parts = {"[Content_Types].xml": CONTENT_TYPES, "_rels/.rels": ROOT_RELS,
             "xl/workbook.xml": workbook(sheets, ns, date1904),
             "xl/_rels/workbook.xml.rels": workbook_rels(kinds),
             "xl/worksheets/sheet1.xml": sheet(ns),
             "xl/worksheets/sheet2.xml": f'<worksheet xmlns="{ns}"><sheetData/></worksheet>',
             "xl/sharedStrings.xml": SST, "xl/styles.xml": styles()}
    if extra_sheets:
        parts["xl/chartsheets/sheet1.xml"] = f'<chartsheet xmlns="{MAIN}"><sheetViews/></chartsheet>'
    return parts


def main():
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    seeds = {
        "basic-deflated.xlsx": package(base_parts(), False),
        "basic-stored.xlsx": package(base_parts(), True),
        "date1904.xlsx": package(base_parts(date1904=True), True),
        "strict.xlsx": package(base_parts(ns=STRICT), True),
        "chartsheet.xlsx": package(base_parts(extra_sheets=[("图表", ' state="veryHidden"')]), True),
    }
    # Part seeds for the selector mode: 0 sheet, 1 shared strings, 2 styles, 3 workbook,
    # 4 workbook relationships, 5 content types, 6 comments, 7 sheet relationships, 8 root rels.
    part_texts = [sheet(), SST, styles(), workbook([("A", ""), ("B", ' state="veryHidden"')]),
                  workbook_rels([("worksheet", "worksheets/sheet1.xml")]), CONTENT_TYPES,
                  f'<comments xmlns="{MAIN}"><authors><author>甲</author></authors><commentList>'
                  '<comment ref="A1" authorId="0"><text><r><t>注</t></r></text></comment></commentList></comments>',
                  f'<Relationships xmlns="{PKG}"><Relationship Id="rId9" Type="{REL}/hyperlink" '
                  'Target="http://x/" TargetMode="External"/></Relationships>', ROOT_RELS]
    for i, text in enumerate(part_texts):
        seeds[f"part{i}.bin"] = bytes([i]) + text.encode("utf-8")
    for name, data in seeds.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)
    print(f"{len(seeds)} seeds in {out}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
