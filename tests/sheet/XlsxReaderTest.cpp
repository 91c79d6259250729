// The .xlsx reader's odd corners and its refusals, on small packages built in the test.

#include "TestSupport.h"

#include "core/Errors.h"
#include "sheet/FormulaShift.h"
#include "sheet/Workbook.h"

#include <gtest/gtest.h>

#include <functional>

// Packages are written as designated-free aggregates, leaving the later parts at their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

const char *const KMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";

struct TPackage {
  QByteArray Sheet;          // the whole sheet part
  QByteArray SharedStrings;  // empty: none
  QByteArray Workbook;       // empty: one sheet "S"
  QByteArray WorkbookRels;   // empty: sheet1 (+ sst, styles)
  QByteArray Styles;         // empty: none
  std::vector<std::pair<QString, QByteArray>> Extra;
  QString WorkbookName = QStringLiteral("xl/workbook.xml");
};

QByteArray SheetXml(const QByteArray &ASheetData, const QByteArray &AAfter = QByteArray()) {
  return QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?><worksheet xmlns=\"") + KMain +
         "\" xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><sheetData>" +
         ASheetData + "</sheetData>" + AAfter + "</worksheet>";
}

QByteArray Build(const TPackage &P) {
  std::vector<std::pair<QString, QByteArray>> m;
  m.push_back({QStringLiteral("[Content_Types].xml"),
               "<?xml version=\"1.0\"?><Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
               "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
               "<Default Extension=\"xml\" ContentType=\"application/xml\"/></Types>"});
  m.push_back({QStringLiteral("_rels/.rels"),
               "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
               "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" Target=\"" +
                   P.WorkbookName.toUtf8() + "\"/></Relationships>"});
  m.push_back({P.WorkbookName,
               P.Workbook.isEmpty() ? QByteArray("<workbook xmlns=\"") + KMain +
                                          "\" xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
                                          "<sheets><sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>"
                                    : P.Workbook});
  QByteArray rels = "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
  if (P.WorkbookRels.isEmpty()) {
    rels += "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" Target=\"worksheets/sheet1.xml\"/>";
    if (!P.SharedStrings.isEmpty())
      rels += "<Relationship Id=\"rId2\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings\" Target=\"sharedStrings.xml\"/>";
    if (!P.Styles.isEmpty())
      rels += "<Relationship Id=\"rId3\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\" Target=\"styles.xml\"/>";
  } else {
    rels += P.WorkbookRels;
  }
  rels += "</Relationships>";
  m.push_back({QStringLiteral("xl/_rels/workbook.xml.rels"), rels});
  if (!P.Sheet.isEmpty()) m.push_back({QStringLiteral("xl/worksheets/sheet1.xml"), P.Sheet});
  if (!P.SharedStrings.isEmpty()) m.push_back({QStringLiteral("xl/sharedStrings.xml"), P.SharedStrings});
  if (!P.Styles.isEmpty()) m.push_back({QStringLiteral("xl/styles.xml"), P.Styles});
  for (const auto &e : P.Extra) m.push_back(e);
  return TestSupport::MakeZip(m);
}

struct TReadCase {
  const char *Name;
  TPackage Package;
  std::function<void(const TWorkbook &)> Check;
};

} // namespace

TEST(XlsxReader, ReadsTheOddCornersOfRealFiles) {
  std::vector<TReadCase> cases;
  cases.push_back({"every cell type",
                   {SheetXml("<row r=\"1\"><c r=\"A1\"><v>1.5</v></c><c r=\"B1\" t=\"s\"><v>1</v></c>"
                             "<c r=\"C1\" t=\"b\"><v>1</v></c><c r=\"D1\" t=\"e\"><v>#DIV/0!</v></c>"
                             "<c r=\"E1\" t=\"str\"><f>\"a\"&amp;\"b\"</f><v>ab</v></c>"
                             "<c r=\"F1\" t=\"inlineStr\"><is><t>inline</t></is></c>"
                             "<c r=\"G1\" t=\"d\"><v>2024-01-02T12:00:00</v></c>"
                             "<c r=\"H1\"><f>1+1</f></c><c r=\"I1\" s=\"0\"/></row>"),
                    "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><si><t>zero</t></si>"
                    "<si><r><rPr><b/></rPr><t>ri</t></r><r><t xml:space=\"preserve\">ch </t></r><rPh><t>phon</t></rPh></si></sst>"},
                   [](const TWorkbook &wb) {
                     const TSheet &s = wb.Sheet(0);
                     EXPECT_EQ(s.CellValue(0, 0), TCellValue::FromNumber(1.5));
                     EXPECT_EQ(s.CellValue(0, 1), TCellValue::FromString(QStringLiteral("rich ")));
                     EXPECT_EQ(s.CellValue(0, 2), TCellValue::FromBoolean(true));
                     EXPECT_EQ(s.CellValue(0, 3), TCellValue::FromError(QStringLiteral("#DIV/0!")));
                     EXPECT_EQ(s.CellValue(0, 4), TCellValue::FromString(QStringLiteral("ab")));
                     EXPECT_EQ(s.Formula(0, 4), QStringLiteral("=\"a\"&\"b\""));
                     EXPECT_EQ(s.CellValue(0, 5), TCellValue::FromString(QStringLiteral("inline")));
                     EXPECT_EQ(s.CellValue(0, 6), TCellValue::FromNumber(45293.5));
                     EXPECT_FALSE(s.IsCellEmpty(0, 7));
                     EXPECT_EQ(s.CellType(0, 7), TCellType::ctEmpty);
                     EXPECT_TRUE(s.IsCellEmpty(0, 8));
                     EXPECT_EQ(s.UsedArea(), (TCellRange{0, 0, 8, 0}));
                   }});
  cases.push_back({"namespace prefixes and missing references",
                   {QByteArray("<x:worksheet xmlns:x=\"") + KMain + "\"><x:sheetData>"
                    "<x:row><x:c><x:v>1</x:v></x:c><x:c><x:v>2</x:v></x:c></x:row>"
                    "<x:row r=\"5\"><x:c r=\"C5\"><x:v>3</x:v></x:c><x:c><x:v>4</x:v></x:c></x:row>"
                    "</x:sheetData><x:mergeCells><x:mergeCell ref=\"A7:B8\"/></x:mergeCells></x:worksheet>"},
                   [](const TWorkbook &wb) {
                     const TSheet &s = wb.Sheet(0);
                     EXPECT_EQ(s.AsFloat(0, 1), 2);
                     EXPECT_EQ(s.AsFloat(4, 2), 3);
                     EXPECT_EQ(s.AsFloat(4, 3), 4);
                     ASSERT_EQ(s.MergedRanges().size(), 1u);
                     EXPECT_EQ(s.UsedArea(), (TCellRange{0, 0, 3, 7}));
                   }});
  cases.push_back({"rows out of order and repeated",
                   {SheetXml("<row r=\"5\"><c r=\"A5\"><v>5</v></c></row><row r=\"2\"><c r=\"B2\"><v>2</v></c></row>"
                             "<row r=\"5\"><c r=\"B5\"><v>6</v></c></row><row r=\"1\"><c r=\"A1\"><v>1</v></c></row>")},
                   [](const TWorkbook &wb) {
                     const TSheet &s = wb.Sheet(0);
                     ASSERT_EQ(s.Rows().size(), 3u);
                     EXPECT_EQ(s.Rows()[0].Index, 0);
                     EXPECT_EQ(s.AsFloat(4, 0), 5);
                     EXPECT_EQ(s.AsFloat(4, 1), 6);
                     EXPECT_EQ(s.AsFloat(1, 1), 2);
                   }});
  cases.push_back({"shared and array formulas",
                   {SheetXml("<row r=\"1\"><c r=\"A1\"><f t=\"shared\" ref=\"A1:A3\" si=\"0\">B1*2</f><v>2</v></c>"
                             "<c r=\"C1\"><f t=\"array\" ref=\"C1:C2\">SUM(B1:B2*2)</f><v>6</v></c></row>"
                             "<row r=\"2\"><c r=\"A2\"><f t=\"shared\" si=\"0\"/><v>4</v></c></row>"
                             "<row r=\"3\"><c r=\"A3\"><f t=\"shared\" si=\"0\"/><v>6</v></c></row>"
                             "<row r=\"4\"><c r=\"A4\"><f>D4+1</f><v>1</v></c></row>"
                             "<row r=\"5\"><c r=\"A5\"><f>D5+1</f><v>1</v></c></row>"
                             "<row r=\"6\"><c r=\"A6\"><f>D5+1</f><v>1</v></c></row>")},
                   [](const TWorkbook &wb) {
                     const TSheet &s = wb.Sheet(0);
                     EXPECT_EQ(s.Formula(2, 0), QStringLiteral("=B3*2"));
                     EXPECT_EQ(s.Formula(0, 2), QStringLiteral("=SUM(B1:B2*2)"));
                     EXPECT_EQ(s.FormulaRecord(0, 2)->Kind, TFormulaKind::fkArray);
                     EXPECT_EQ(s.Formula(4, 0), QStringLiteral("=D5+1"));
                     EXPECT_EQ(s.Formula(5, 0), QStringLiteral("=D5+1"));
                     EXPECT_EQ(s.AsFloat(2, 0), 6);
                   }});
  cases.push_back({"strict namespaces, sheet kinds and states, 1904, case-insensitive members",
                   {SheetXml("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>"),
                    {},
                    "<workbook xmlns=\"http://purl.oclc.org/ooxml/spreadsheetml/main\" "
                    "xmlns:r=\"http://purl.oclc.org/ooxml/officeDocument/relationships\"><workbookPr date1904=\"true\"/>"
                    "<bookViews><workbookView activeTab=\"2\"/></bookViews><sheets>"
                    "<sheet name=\"Data\" sheetId=\"1\" r:id=\"rId1\"/><sheet name=\"Chart\" sheetId=\"2\" state=\"hidden\" r:id=\"rId2\"/>"
                    "<sheet name=\"Hid\" sheetId=\"3\" state=\"veryHidden\" r:id=\"rId3\"/><sheet name=\"NoPart\" sheetId=\"4\" r:id=\"rId9\"/>"
                    "</sheets><definedNames><definedName name=\"Area\" localSheetId=\"0\">Data!$A$1</definedName></definedNames></workbook>",
                    "<Relationship Id=\"rId1\" Type=\"http://purl.oclc.org/ooxml/officeDocument/relationships/worksheet\" Target=\"/XL/Worksheets/Sheet1.xml\"/>"
                    "<Relationship Id=\"rId2\" Type=\"http://purl.oclc.org/ooxml/officeDocument/relationships/chartsheet\" Target=\"chartsheets/sheet1.xml\"/>"
                    "<Relationship Id=\"rId3\" Type=\"http://purl.oclc.org/ooxml/officeDocument/relationships/worksheet\" Target=\"worksheets/sheet1.xml\"/>",
                    {},
                    {{QStringLiteral("xl/chartsheets/sheet1.xml"), "<chartsheet/>"}}},
                   [](const TWorkbook &wb) {
                     // The third sheet names the same part as the first: Excel would refuse it; we skip it.
                     ASSERT_EQ(wb.SheetCount(), 2);
                     EXPECT_TRUE(wb.Date1904());
                     EXPECT_EQ(wb.Sheet(1).Kind(), TSheetKind::skChartsheet);
                     EXPECT_FALSE(wb.Sheet(1).IsTableView());
                     EXPECT_EQ(wb.Sheet(1).State(), TSheetState::ssHidden);
                     EXPECT_EQ(wb.Sheet(0).AsFloat(0, 0), 1);
                     ASSERT_EQ(wb.DefinedNames().size(), 1u);
                     EXPECT_EQ(wb.DefinedNames()[0].LocalSheet, 0);
                   }});
  cases.push_back({"comments, hyperlinks, sizes and styles",
                   {SheetXml("<row r=\"2\" ht=\"30\" customHeight=\"1\" hidden=\"1\"><c r=\"A2\" s=\"1\"><v>0.5</v></c></row>",
                             "<hyperlinks><hyperlink ref=\"A2\" r:id=\"rId5\" tooltip=\"t\"/><hyperlink ref=\"B2:C3\" location=\"S!A1\" display=\"go\"/></hyperlinks>"
                             "<legacyDrawing r:id=\"rId6\"/>")
                        .replace("<sheetData>", "<cols><col min=\"2\" max=\"3\" width=\"20\" customWidth=\"1\" hidden=\"1\"/></cols><sheetData>"),
                    {},
                    {},
                    {},
                    "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><numFmts count=\"1\">"
                    "<numFmt numFmtId=\"164\" formatCode=\"0.0%\"/></numFmts><fonts><font><b/><sz val=\"11\"/><name val=\"宋体\"/></font></fonts>"
                    "<fills><fill><patternFill patternType=\"none\"/></fill><fill><patternFill patternType=\"gray125\"/></fill></fills>"
                    "<borders><border/></borders><cellXfs><xf/><xf numFmtId=\"164\" applyNumberFormat=\"1\"><alignment wrapText=\"1\"/></xf></cellXfs></styleSheet>",
                    {{QStringLiteral("xl/worksheets/_rels/sheet1.xml.rels"),
                      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                      "<Relationship Id=\"rId5\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/hyperlink\" Target=\"https://example.com/a?b=1&amp;c\" TargetMode=\"External\"/>"
                      "<Relationship Id=\"rId6\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/vmlDrawing\" Target=\"../drawings/vmlDrawing1.vml\"/>"
                      "<Relationship Id=\"rId7\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/comments\" Target=\"../comments1.xml\"/>"
                      "</Relationships>"},
                     {QStringLiteral("xl/comments1.xml"),
                      "<comments xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><authors><author>张三</author></authors>"
                      "<commentList><comment ref=\"A2\" authorId=\"0\"><text><r><t>张三:</t></r><r><t>备注</t></r></text></comment></commentList></comments>"},
                     {QStringLiteral("xl/drawings/vmlDrawing1.vml"),
                      "<xml xmlns:v=\"urn:schemas-microsoft-com:vml\" xmlns:x=\"urn:schemas-microsoft-com:office:excel\">"
                      "<v:shape alt=\"说明\"><x:ClientData ObjectType=\"Note\"><x:Row>1</x:Row><x:Column>0</x:Column></x:ClientData></v:shape></xml>"}}},
                   [](const TWorkbook &wb) {
                     const TSheet &s = wb.Sheet(0);
                     EXPECT_EQ(s.DisplayText(1, 0), QStringLiteral("50.0%"));
                     EXPECT_TRUE(wb.Styles().CellFormat(1).Alignment.WrapText);
                     EXPECT_EQ(wb.Styles().Fonts[0].Name, QStringLiteral("宋体"));
                     EXPECT_EQ(s.RowHeight(1), 30);
                     EXPECT_TRUE(s.IsRowHidden(1));
                     EXPECT_EQ(s.ColumnWidth(2), 20);
                     EXPECT_TRUE(s.IsColumnHidden(1));
                     ASSERT_EQ(s.Hyperlinks().size(), 2u);
                     EXPECT_EQ(s.HyperlinkAt(1, 0)->Target, QStringLiteral("https://example.com/a?b=1&c"));
                     EXPECT_EQ(s.HyperlinkAt(2, 2)->Location, QStringLiteral("S!A1"));
                     ASSERT_NE(s.Comment(1, 0), nullptr);
                     EXPECT_EQ(s.Comment(1, 0)->Text, QStringLiteral("张三:备注"));
                     EXPECT_EQ(s.Comment(1, 0)->Author, QStringLiteral("张三"));
                     EXPECT_EQ(s.Comment(1, 0)->Description, QStringLiteral("说明"));
                   }});
  cases.push_back({"escaped characters and CDATA",
                   {SheetXml("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"inlineStr\"><is><t><![CDATA[<x>]]></t></is></c></row>"),
                    "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><si><t>a_x000D_b_x005F_x0041_</t></si></sst>"},
                   [](const TWorkbook &wb) {
                     EXPECT_EQ(wb.Sheet(0).AsString(0, 0), QStringLiteral("a\rb_x0041_"));
                     EXPECT_EQ(wb.Sheet(0).AsString(0, 1), QStringLiteral("<x>"));
                   }});
  {
    // Some generators write UTF-16 parts; the bulk row path cannot see their tags as text.
    const QString text = QString::fromUtf8(
        SheetXml("<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>中文</t></is></c></row>")
            .replace("encoding=\"UTF-8\"", "encoding=\"UTF-16\""));
    QByteArray utf16("\xFF\xFE", 2);
    utf16.append(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
    cases.push_back({"UTF-16 sheet part", {utf16}, [](const TWorkbook &wb) {
                       EXPECT_EQ(wb.Sheet(0).AsString(0, 0), QStringLiteral("中文"));
                     }});
  }
  for (const TReadCase &c : cases) {
    SCOPED_TRACE(c.Name);
    TWorkbook wb;
    ASSERT_NO_THROW(wb.LoadFromBytes(Build(c.Package)));
    c.Check(wb);
  }
}

TEST(XlsxReader, RefusesBrokenAndHostileInputWithTypedErrors) {
  enum TKind { kFormat, kEncrypted, kUnsupported };
  struct TCase {
    const char *Name;
    QByteArray Data;
    TKind Kind;
  };
  const QByteArray good = Build({SheetXml("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>")});
  QByteArray deep;
  for (int i = 0; i < 5000; ++i) deep += "<a>";
  QByteArray ole("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
  ole += QByteArray(512, '\0');
  const QString enc = QStringLiteral("EncryptedPackage");
  QByteArray encrypted = ole + QByteArray(reinterpret_cast<const char *>(enc.utf16()), enc.size() * 2);
  std::vector<TCase> cases{
      {"empty", QByteArray(), kFormat},
      {"not a zip", "hello world", kFormat},
      {"truncated", good.left(good.size() / 2), kFormat},
      {"encrypted package", encrypted, kEncrypted},
      {"legacy xls", ole, kUnsupported},
      {"no workbook part", TestSupport::MakeZip({{QStringLiteral("[Content_Types].xml"), "<Types/>"}}), kFormat},
      {"row beyond the grid", Build({SheetXml("<row r=\"1048577\"><c><v>1</v></c></row>")}), kFormat},
      {"column beyond the grid", Build({SheetXml("<row r=\"1\"><c r=\"XFE1\"><v>1</v></c></row>")}), kFormat},
      {"entity expansion", Build({"<!DOCTYPE w [<!ENTITY a \"aaaa\"><!ENTITY b \"&a;&a;&a;\">]>" + SheetXml("<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>&b;</t></is></c></row>")}), kFormat},
      {"deep nesting", Build({SheetXml("", deep)}), kFormat},
      {"malformed rows", Build({SheetXml("<row r=\"1\"><c r=\"A1\"><v>1</c></row>")}), kFormat},
      {"missing sheet part", Build({QByteArray()}), kFormat},
  };
  for (const TCase &c : cases) {
    SCOPED_TRACE(c.Name);
    TWorkbook wb;
    try {
      wb.LoadFromBytes(c.Data, QStringLiteral("x.xlsx"));
      ADD_FAILURE() << "loaded";
    } catch (const TEncryptedWorkbookError &e) {
      EXPECT_EQ(c.Kind, kEncrypted);
      EXPECT_TRUE(e.Message().contains(QStringLiteral("加密")));
    } catch (const TUnsupportedError &) {
      EXPECT_EQ(c.Kind, kUnsupported);
    } catch (const TFileFormatError &e) {
      EXPECT_EQ(c.Kind, kFormat) << e.Message().toStdString();
      EXPECT_FALSE(e.Message().isEmpty());
    }
    // A failed load leaves a usable empty document.
    EXPECT_EQ(wb.SheetCount(), 1);
  }
}

// Formulas that repeat down a column are stored once; every cell must still read back exactly the
// text the file holds, whether or not it is the one above moved down a row.
TEST(XlsxReader, FormulasRepeatedDownAColumnKeepTheirTexts) {
  const std::vector<QString> patterns{
      QStringLiteral("A1+$B$1"),        QStringLiteral("SUM(A1:A3)"),  QStringLiteral("A$1*2"),
      QStringLiteral("LOG10(A1)"),      QStringLiteral("'S 1'!A1+1"),  QStringLiteral("SUM(1:1)"),
      QStringLiteral("Table1[Col]+A1"), QStringLiteral("\"x1\"&A1"), QStringLiteral("A1+1E5"),
      QStringLiteral("$A1&B1"),         QStringLiteral("ZZZ1+A1"),     QStringLiteral("A1048575")};
  QByteArray rows;
  std::vector<std::vector<QString>> expected; // per row, per column
  for (int r = 0; r < 4; ++r) {
    expected.emplace_back();
    rows += "<row r=\"" + QByteArray::number(r + 1) + "\">";
    for (size_t c = 0; c < patterns.size(); ++c) {
      // Rows 0-2 move down one row each time; row 3 repeats row 2 unchanged.
      const QString text = ShiftFormulaReferences(patterns[c], r < 3 ? r : 2, 0);
      expected.back().push_back(text);
      rows += "<c r=\"" + CellRefName(r, int(c)).toUtf8() + "\"><f>" + text.toHtmlEscaped().toUtf8() + "</f><v>0</v></c>";
    }
    rows += "</row>";
  }
  TWorkbook wb;
  wb.LoadFromBytes(Build({SheetXml(rows)}));
  for (int r = 0; r < 4; ++r)
    for (size_t c = 0; c < patterns.size(); ++c) {
      SCOPED_TRACE(CellRefName(r, int(c)).toStdString());
      EXPECT_EQ(wb.Sheet(0).Formula(r, int(c)), QLatin1Char('=') + expected[size_t(r)][c]);
    }
  TWorkbook back;
  back.LoadFromBytes(wb.SaveToBytes());
  for (int r = 0; r < 4; ++r)
    for (size_t c = 0; c < patterns.size(); ++c)
      EXPECT_EQ(back.Sheet(0).Formula(r, int(c)), QLatin1Char('=') + expected[size_t(r)][c]);
}
