// The .xlsx writer: what the model holds comes back after a save and a load, and what it does
// not understand travels through unchanged with its relationships.

#include "TestSupport.h"

#include "core/Errors.h"
#include "sheet/Workbook.h"
#include "sheet/xlsx/XlsxPackage.h"

#include <gtest/gtest.h>

namespace {

QByteArray Member(const QByteArray &APackage, const QString &AName) {
  TZipReader zip(&APackage, QStringLiteral("test.xlsx"));
  const QString stored = zip.Find(AName);
  return stored.isEmpty() ? QByteArray() : zip.Read(stored);
}

QByteArray Reloaded(const TWorkbook &AWorkbook, TWorkbook &AOut) {
  const QByteArray bytes = AWorkbook.SaveToBytes();
  AOut.LoadFromBytes(bytes);
  return bytes;
}

} // namespace

TEST(XlsxWriter, ModelSurvivesSaveAndLoad) {
  TWorkbook wb;
  TSheet &s = wb.Sheet(0);
  s.SetName(QStringLiteral("数据 & <表>"));
  s.SetString(0, 0, QStringLiteral(" 前后空格 "));
  s.SetString(0, 1, QStringLiteral("a\nb\x01_x0041_"));
  s.SetNumber(1, 0, 0.1);
  s.SetNumber(1, 1, -1e300);
  s.SetBoolean(2, 0, false);
  s.SetError(2, 1, QStringLiteral("#REF!"));
  s.SetFormula(3, 0, QStringLiteral("=A2*2"), TCellValue::FromNumber(0.2));
  s.SetFormula(3, 1, QStringLiteral("CONCAT(\"x\",\"<y>\")"), TCellValue::FromString(QStringLiteral("x<y>")));
  s.SetNumber(KMaxRows - 1, KMaxCols - 1, 7);
  TCellFormat xf;
  xf.NumFmtId = wb.Styles().AddNumberFormat(QStringLiteral("yyyy\"年\"m\"月\"d\"日\""));
  TFont font;
  font.Name = QStringLiteral("黑体");
  font.Bold = true;
  font.Color.Kind = TColor::ckRgb;
  font.Color.Argb = 0xFFFF0000;
  xf.FontId = wb.Styles().AddFont(font);
  xf.Alignment.Horizontal = QStringLiteral("center");
  xf.Protection.Locked = false;
  s.SetNumber(4, 0, 45292);
  s.SetCellStyle(4, 0, wb.Styles().AddCellFormat(xf));
  s.AddMergedRange({0, 5, 2, 6});
  s.SetComment(0, 0, {QStringLiteral("说明"), QStringLiteral("作者"), QString(), QByteArray()});
  s.AddHyperlink({{1, 1, 1, 1}, QStringLiteral("https://example.com/?a=1&b=2"), QString(), QString(), QStringLiteral("提示")});
  s.AddHyperlink({{2, 2, 2, 2}, QString(), QStringLiteral("'Sheet 2'!A1"), QStringLiteral("跳转"), QString()});
  s.SetColumnWidth(1, 25.5);
  s.SetColumnHidden(3, true);
  s.SetRowHeight(7, 33);
  s.SetRowHidden(8, true);
  TSheet &s2 = wb.AddSheet(QStringLiteral("Sheet 2"));
  s2.SetState(TSheetState::ssVeryHidden);
  wb.AddSheet(QStringLiteral("Third")).SetState(TSheetState::ssHidden);
  wb.SetActiveSheetIndex(2);
  wb.SetDate1904(true);
  wb.DefinedNames().push_back({QStringLiteral("区域"), QStringLiteral("'Sheet 2'!$A$1:$B$2"), -1, false, {}});

  TWorkbook back;
  Reloaded(wb, back);
  ASSERT_EQ(back.SheetCount(), 3);
  const TSheet &b = back.Sheet(0);
  EXPECT_EQ(b.Name(), s.Name());
  EXPECT_EQ(back.Sheet(1).State(), TSheetState::ssVeryHidden);
  EXPECT_EQ(back.Sheet(2).State(), TSheetState::ssHidden);
  EXPECT_EQ(back.ActiveSheetIndex(), 2);
  EXPECT_TRUE(back.Date1904());
  for (int r = 0; r < 5; ++r)
    for (int c = 0; c < 2; ++c) {
      SCOPED_TRACE(CellRefName(r, c).toStdString());
      EXPECT_EQ(b.CellValue(r, c), s.CellValue(r, c));
      EXPECT_EQ(b.Formula(r, c), s.Formula(r, c));
      EXPECT_EQ(b.DisplayText(r, c), s.DisplayText(r, c));
    }
  EXPECT_EQ(b.AsFloat(KMaxRows - 1, KMaxCols - 1), 7);
  const TCellFormat &bxf = back.Styles().CellFormat(b.CellStyle(4, 0));
  EXPECT_EQ(bxf.Alignment.Horizontal, QStringLiteral("center"));
  EXPECT_FALSE(bxf.Protection.Locked);
  EXPECT_EQ(back.Styles().Fonts[size_t(bxf.FontId)], font);
  EXPECT_EQ(b.MergedRanges(), s.MergedRanges());
  ASSERT_NE(b.Comment(0, 0), nullptr);
  EXPECT_EQ(b.Comment(0, 0)->Text, QStringLiteral("说明"));
  EXPECT_EQ(b.Comment(0, 0)->Author, QStringLiteral("作者"));
  ASSERT_EQ(b.Hyperlinks().size(), 2u);
  EXPECT_EQ(b.Hyperlinks()[0].Target, s.Hyperlinks()[0].Target);
  EXPECT_EQ(b.Hyperlinks()[0].Tooltip, QStringLiteral("提示"));
  EXPECT_EQ(b.Hyperlinks()[1].Location, s.Hyperlinks()[1].Location);
  EXPECT_EQ(b.ColumnWidth(1), 25.5);
  EXPECT_TRUE(b.IsColumnHidden(3));
  EXPECT_EQ(b.RowHeight(7), 33);
  EXPECT_TRUE(b.IsRowHidden(8));
  ASSERT_EQ(back.DefinedNames().size(), 1u);
  EXPECT_EQ(back.DefinedNames()[0].Formula, wb.DefinedNames()[0].Formula);
}

TEST(XlsxWriter, KeepsWhatTheModelDoesNotUnderstand) {
  const QByteArray drawing = "<xdr:wsDr xmlns:xdr=\"http://schemas.openxmlformats.org/drawingml/2006/spreadsheetDrawing\"/>";
  const QByteArray custom = "<root>custom &amp; data</root>";
  const QByteArray vml = "<xml><!-- original drawing --></xml>";
  const QByteArray sheet =
      "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
      "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\" "
      "xmlns:mc=\"http://schemas.openxmlformats.org/markup-compatibility/2006\" xmlns:x14ac=\"http://schemas.microsoft.com/office/spreadsheetml/2009/9/ac\" mc:Ignorable=\"x14ac\">"
      "<sheetPr><tabColor rgb=\"FFFF0000\"/></sheetPr><dimension ref=\"A1\"/>"
      "<sheetViews><sheetView workbookViewId=\"0\"><pane ySplit=\"1\" topLeftCell=\"A2\" state=\"frozen\"/></sheetView></sheetViews>"
      "<sheetFormatPr defaultRowHeight=\"15\" x14ac:dyDescent=\"0.25\"/>"
      "<sheetData><row r=\"1\"><c r=\"A1\"><f t=\"shared\" ref=\"A1:A3\" si=\"0\">B1+1</f><v>1</v></c></row>"
      "<row r=\"2\"><c r=\"A2\"><f t=\"shared\" si=\"0\"/><v>1</v></c></row><row r=\"3\"><c r=\"A3\"><f t=\"shared\" si=\"0\"/><v>1</v></c></row></sheetData>"
      "<sheetProtection sheet=\"1\"/><autoFilter ref=\"A1:A3\"/>"
      "<conditionalFormatting sqref=\"A1:A3\"><cfRule type=\"cellIs\" dxfId=\"0\" priority=\"1\" operator=\"greaterThan\"><formula>0</formula></cfRule></conditionalFormatting>"
      "<dataValidations count=\"1\"><dataValidation type=\"list\" sqref=\"B1\"><formula1>\"a,b\"</formula1></dataValidation></dataValidations>"
      "<pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" bottom=\"0.75\" header=\"0.3\" footer=\"0.3\"/>"
      "<pageSetup paperSize=\"9\" orientation=\"landscape\"/><drawing r:id=\"rId1\"/><legacyDrawing r:id=\"rId3\"/>"
      "<extLst><ext uri=\"{X}\"><x14ac:any/></ext></extLst></worksheet>";
  const QByteArray package = TestSupport::MakeZip({
      {QStringLiteral("[Content_Types].xml"),
       "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
       "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
       "<Default Extension=\"xml\" ContentType=\"application/xml\"/><Default Extension=\"vml\" ContentType=\"application/vnd.openxmlformats-officedocument.vmlDrawing\"/>"
       "<Override PartName=\"/xl/workbook.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
       "<Override PartName=\"/xl/drawings/drawing1.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.drawing+xml\"/></Types>"},
      {QStringLiteral("_rels/.rels"),
       "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
       "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
      {QStringLiteral("xl/workbook.xml"),
       "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
       "<sheets><sheet name=\"S\" sheetId=\"7\" r:id=\"rId4\"/></sheets><calcPr calcId=\"191029\"/></workbook>"},
      {QStringLiteral("xl/_rels/workbook.xml.rels"),
       "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
       "<Relationship Id=\"rId4\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" Target=\"worksheets/sheet1.xml\"/>"
       "<Relationship Id=\"rId9\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/customXml\" Target=\"../customXml/item1.xml\"/></Relationships>"},
      {QStringLiteral("xl/worksheets/sheet1.xml"), sheet},
      {QStringLiteral("xl/worksheets/_rels/sheet1.xml.rels"),
       "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
       "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/drawing\" Target=\"../drawings/drawing1.xml\"/>"
       "<Relationship Id=\"rId2\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/comments\" Target=\"../comments1.xml\"/>"
       "<Relationship Id=\"rId3\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/vmlDrawing\" Target=\"../drawings/vmlDrawing1.vml\"/></Relationships>"},
      {QStringLiteral("xl/comments1.xml"),
       "<comments xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><authors><author>a</author></authors>"
       "<commentList><comment ref=\"A1\" authorId=\"0\"><text><t>note</t></text></comment></commentList></comments>"},
      {QStringLiteral("xl/drawings/drawing1.xml"), drawing},
      {QStringLiteral("xl/drawings/vmlDrawing1.vml"), vml},
      {QStringLiteral("customXml/item1.xml"), custom},
  });
  TWorkbook wb;
  wb.LoadFromBytes(package);
  wb.Sheet(0).SetNumber(0, 1, 5); // an edit that leaves the comments alone
  const QByteArray saved = wb.SaveToBytes();
  EXPECT_EQ(Member(saved, QStringLiteral("xl/drawings/drawing1.xml")), drawing);
  EXPECT_EQ(Member(saved, QStringLiteral("customXml/item1.xml")), custom);
  EXPECT_EQ(Member(saved, QStringLiteral("xl/drawings/vmlDrawing1.vml")), vml);
  const QString xml = QString::fromUtf8(Member(saved, QStringLiteral("xl/worksheets/sheet1.xml")));
  const char *const order[] = {"<sheetPr>", "<sheetViews>", "<sheetFormatPr", "<sheetData>", "<sheetProtection",
                               "<autoFilter", "<conditionalFormatting", "<dataValidations", "<pageMargins",
                               "<pageSetup", "<drawing r:id=\"rId1\"/>", "<legacyDrawing r:id=\"rId3\"/>", "<extLst>"};
  qsizetype last = -1;
  for (const char *tag : order) {
    SCOPED_TRACE(tag);
    const qsizetype at = xml.indexOf(QLatin1String(tag));
    EXPECT_GT(at, last);
    last = at;
  }
  EXPECT_TRUE(xml.contains(QLatin1String("mc:Ignorable=\"x14ac\"")));
  const QString rels = QString::fromUtf8(Member(saved, QStringLiteral("xl/worksheets/_rels/sheet1.xml.rels")));
  EXPECT_TRUE(rels.contains(QLatin1String("Id=\"rId1\"")) && rels.contains(QLatin1String("../drawings/drawing1.xml")));
  EXPECT_TRUE(QString::fromUtf8(Member(saved, QStringLiteral("xl/workbook.xml"))).contains(QLatin1String("calcPr")));
  EXPECT_TRUE(QString::fromUtf8(Member(saved, QStringLiteral("xl/_rels/workbook.xml.rels"))).contains(QLatin1String("Id=\"rId9\"")));
  EXPECT_TRUE(QString::fromUtf8(Member(saved, QStringLiteral("[Content_Types].xml"))).contains(QLatin1String("/xl/drawings/drawing1.xml")));

  // Clearing the master of a shared formula writes its followers out in full.
  wb.Sheet(0).ClearCellValue(0, 0);
  TWorkbook back;
  Reloaded(wb, back);
  EXPECT_EQ(back.Sheet(0).Formula(2, 0), QStringLiteral("=B3+1"));
  EXPECT_FALSE(back.Sheet(0).HasFormula(0, 0));
  EXPECT_EQ(back.Sheet(0).Comment(0, 0)->Text, QStringLiteral("note"));

  // A new comment needs a new drawing for its box; the old one goes.
  wb.Sheet(0).SetComment(5, 5, {QStringLiteral("new"), QStringLiteral("b"), QString(), QByteArray()});
  const QByteArray again = wb.SaveToBytes();
  EXPECT_TRUE(Member(again, QStringLiteral("xl/drawings/vmlDrawing1.vml")).contains("ObjectType=\"Note\""));
  TWorkbook third;
  third.LoadFromBytes(again);
  EXPECT_EQ(third.Sheet(0).Comments().size(), 2u);
}

TEST(XlsxWriter, RefusesSheetNamesExcelWouldRepair) {
  TWorkbook wb;
  wb.AddSheet(QStringLiteral("SHEET1"));
  EXPECT_THROW(wb.SaveToBytes(), TArgumentError);
  wb.Sheet(1).SetName(QString());
  EXPECT_THROW(wb.SaveToBytes(), TArgumentError);
  wb.Sheet(1).SetName(QStringLiteral("Sheet2"));
  EXPECT_NO_THROW(wb.SaveToBytes());
}
