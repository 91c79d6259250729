// libFuzzer target for the workbook reader (and, behind it, the display texts and the writer).
// The first byte picks what the rest is:
//   'P' (a ZIP signature) or anything >= 9: the whole input is the package;
//   0..8: the input is the text of one part of a small valid package (worksheet, shared strings,
//         styles, workbook, workbook relationships, content types, comments, sheet and package
//         relationships),
//         so that hostile XML reaches the part readers instead of failing the ZIP checksums.
// A loaded workbook has its display texts taken and is saved to bytes and loaded again. Any
// outcome but a crash, a hang, a leak or unbounded memory is fine: errors are expected.

#include "core/Errors.h"
#include "sheet/Workbook.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <vector>
#include <utility>
#include <zip.h>

namespace {

const char *const KContentTypes =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
    R"(<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)"
    R"(<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>)"
    R"(<Default Extension="xml" ContentType="application/xml"/>)"
    R"(<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>)"
    R"(<Override PartName="/xl/worksheets/sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>)"
    R"(<Override PartName="/xl/sharedStrings.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml"/>)"
    R"(<Override PartName="/xl/styles.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml"/>)"
    R"(<Override PartName="/xl/comments1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.comments+xml"/>)"
    R"(</Types>)";
const char *const KRootRels =
    R"(<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
    R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/>)"
    R"(</Relationships>)";
const char *const KWorkbook =
    R"(<?xml version="1.0" encoding="UTF-8"?><workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" )"
    R"(xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><workbookPr date1904="0"/>)"
    R"(<sheets><sheet name="数据" sheetId="1" r:id="rId1"/><sheet name="B" sheetId="2" state="hidden" r:id="rId1"/></sheets>)"
    R"(<definedNames><definedName name="X">数据!$A$1</definedName></definedNames></workbook>)";
const char *const KWorkbookRels =
    R"(<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
    R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/>)"
    R"(<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings" Target="sharedStrings.xml"/>)"
    R"(<Relationship Id="rId3" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles" Target="styles.xml"/>)"
    R"(</Relationships>)";
const char *const KSheet =
    R"(<?xml version="1.0" encoding="UTF-8"?><worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" )"
    R"(xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><dimension ref="A1:C3"/><sheetData>)"
    R"(<row r="1"><c r="A1" t="s"><v>0</v></c><c r="B1" s="1"><v>45292.5</v></c><c r="C1" t="b"><v>1</v></c></row>)"
    R"(<row r="2"><c r="A2" s="2"><f>B1*2</f><v>90585</v></c><c r="B2" t="inlineStr"><is><t>x</t></is></c>)"
    R"(<c r="C2" t="e"><v>#N/A</v></c></row><row r="3"><c r="A3" t="str"><f t="shared" ref="A3:C3" si="0">B2&amp;"y"</f><v>xy</v></c></row>)"
    R"(</sheetData><mergeCells count="1"><mergeCell ref="B3:C3"/></mergeCells>)"
    R"(<hyperlinks><hyperlink ref="A1" r:id="rId9"/></hyperlinks></worksheet>)";
const char *const KSharedStrings =
    R"(<?xml version="1.0" encoding="UTF-8"?><sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" count="2" uniqueCount="2">)"
    R"(<si><t>合计</t></si><si><r><rPr><b/></rPr><t xml:space="preserve">a </t></r><r><t>b</t></r></si></sst>)";
const char *const KStyles =
    R"(<?xml version="1.0" encoding="UTF-8"?><styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)"
    R"(<numFmts count="1"><numFmt numFmtId="164" formatCode="yyyy&quot;年&quot;m&quot;月&quot;d&quot;日&quot; h:mm"/></numFmts>)"
    R"(<fonts count="1"><font><sz val="11"/><name val="Calibri"/></font></fonts>)"
    R"(<fills count="2"><fill><patternFill patternType="none"/></fill><fill><patternFill patternType="gray125"/></fill></fills>)"
    R"(<borders count="1"><border><left/><right/><top/><bottom/><diagonal/></border></borders>)"
    R"(<cellStyleXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0"/></cellStyleXfs>)"
    R"(<cellXfs count="3"><xf numFmtId="0" fontId="0" fillId="0" borderId="0" xfId="0"/>)"
    R"(<xf numFmtId="164" fontId="0" fillId="0" borderId="0" xfId="0" applyNumberFormat="1"/>)"
    R"(<xf numFmtId="4" fontId="0" fillId="0" borderId="0" xfId="0" applyNumberFormat="1"/></cellXfs></styleSheet>)";
const char *const KComments =
    R"(<?xml version="1.0" encoding="UTF-8"?><comments xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)"
    R"(<authors><author>张三</author></authors><commentList><comment ref="A1" authorId="0"><text><t>注释</t></text></comment>)"
    R"(</commentList></comments>)";
const char *const KSheetRels =
    R"(<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
    R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/comments" Target="../comments1.xml"/>)"
    R"(<Relationship Id="rId9" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/hyperlink" Target="https://example.com/" TargetMode="External"/>)"
    R"(</Relationships>)";

// Part names in selector order; the fuzz input replaces the one its first byte names.
const std::pair<const char *, const char *> KParts[] = {
    {"xl/worksheets/sheet1.xml", KSheet},
    {"xl/sharedStrings.xml", KSharedStrings},
    {"xl/styles.xml", KStyles},
    {"xl/workbook.xml", KWorkbook},
    {"xl/_rels/workbook.xml.rels", KWorkbookRels},
    {"[Content_Types].xml", KContentTypes},
    {"xl/comments1.xml", KComments},
    {"xl/worksheets/_rels/sheet1.xml.rels", KSheetRels},
    {"_rels/.rels", KRootRels},
};

// A stored (uncompressed) package with AText in place of part AReplace.
QByteArray MakePackage(int AReplace, const QByteArray &AText) {
  zip_error_t err;
  zip_error_init(&err);
  zip_source_t *out = zip_source_buffer_create(nullptr, 0, 0, &err);
  if (!out)
    return {};
  zip_source_keep(out);
  zip_t *za = zip_open_from_source(out, ZIP_TRUNCATE, &err);
  QByteArray result;
  if (za) {
    // The member bytes must outlive zip_close(), which is when libzip reads them.
    std::vector<QByteArray> members;
    members.reserve(std::size(KParts));
    int index = 0;
    for (const auto &[name, text] : KParts) {
      members.push_back(index++ == AReplace ? AText : QByteArray(text));
      const QByteArray &data = members.back();
      zip_source_t *src = zip_source_buffer(za, data.isEmpty() ? nullptr : data.constData(),
                                            zip_uint64_t(data.size()), 0);
      const zip_int64_t at = src ? zip_file_add(za, name, src, ZIP_FL_ENC_UTF_8) : -1;
      if (at < 0) {
        if (src)
          zip_source_free(src);
        continue;
      }
      zip_set_file_compression(za, zip_uint64_t(at), ZIP_CM_STORE, 0);
    }
    if (zip_close(za) != 0) {
      zip_discard(za);
    } else if (zip_source_open(out) == 0) {
      zip_source_seek(out, 0, SEEK_END);
      const zip_int64_t size = zip_source_tell(out);
      zip_source_seek(out, 0, SEEK_SET);
      if (size > 0) {
        result.resize(qsizetype(size));
        zip_source_read(out, result.data(), zip_uint64_t(size));
      }
      zip_source_close(out);
    }
  }
  zip_source_free(out);
  return result;
}

// Takes every display text of the first sheets (bounded, so a huge used area does not time out).
void TouchCells(const TWorkbook &ABook) {
  long long budget = 20000;
  for (int s = 0; s < ABook.SheetCount() && budget > 0; ++s) {
    const TSheet &sheet = ABook.Sheet(s);
    (void)sheet.Name();
    if (!sheet.IsTableView())
      continue;
    const TCellRange used = sheet.UsedArea();
    for (int r = used.Top; r <= used.Bottom && budget > 0; ++r) {
      for (int c = used.Left; c <= used.Right && budget > 0; ++c, --budget) {
        if (!sheet.IsCellEmpty(r, c))
          (void)sheet.DisplayText(r, c);
      }
    }
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *AData, std::size_t ASize) {
  if (ASize == 0 || ASize > 4 * 1024 * 1024)
    return 0;
  QByteArray package;
  if (AData[0] < std::size(KParts)) {
    package = MakePackage(AData[0], QByteArray(reinterpret_cast<const char *>(AData) + 1,
                                               qsizetype(ASize - 1)));
  } else {
    package = QByteArray(reinterpret_cast<const char *>(AData), qsizetype(ASize));
  }
  try {
    TWorkbook book;
    book.LoadFromBytes(package, QStringLiteral("fuzz.xlsx"));
    TouchCells(book);
    // What we read we must be able to write, and read back.
    const QByteArray saved = book.SaveToBytes();
    TWorkbook again;
    again.LoadFromBytes(saved, QStringLiteral("fuzz-saved.xlsx"));
  } catch (const TTabulyxError &) {
    // expected for hostile input
  }
  return 0;
}
