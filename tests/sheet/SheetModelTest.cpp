// The workbook model without any file format: cells, used area, merged ranges, sheets, formula
// reference shifting and A1 references.

#include "sheet/FormulaShift.h"
#include "sheet/Workbook.h"

#include <gtest/gtest.h>

#include <array>

TEST(SheetModel, NewWorkbookHasOneEmptySheet) {
  TWorkbook wb;
  ASSERT_EQ(wb.SheetCount(), 1);
  EXPECT_EQ(wb.Sheet(0).Name(), QStringLiteral("Sheet1"));
  EXPECT_TRUE(wb.Sheet(0).IsTableView());
  EXPECT_TRUE(wb.Sheet(0).UsedArea().IsEmpty());
}

TEST(SheetModel, CellsKeepTypesAndTextsAreShared) {
  TWorkbook wb;
  TSheet &s = wb.Sheet(0);
  s.SetString(2, 1, QStringLiteral("北京"));
  s.SetString(5, 3, QStringLiteral("北京"));
  s.SetNumber(0, 0, 3.25);
  s.SetBoolean(0, 2, true);
  s.SetError(1, 0, QStringLiteral("#N/A"));
  s.SetFormula(1, 1, QStringLiteral("=A1*2"), TCellValue::FromNumber(6.5));
  EXPECT_EQ(s.FindCell(2, 1)->Value.Index, s.FindCell(5, 3)->Value.Index);
  EXPECT_EQ(s.CellValue(0, 0), TCellValue::FromNumber(3.25));
  EXPECT_EQ(s.DisplayText(0, 2), QStringLiteral("TRUE"));
  EXPECT_EQ(s.DisplayText(1, 0), QStringLiteral("#N/A"));
  EXPECT_EQ(s.Formula(1, 1), QStringLiteral("=A1*2"));
  EXPECT_EQ(s.DisplayText(1, 1), QStringLiteral("6.5"));
  EXPECT_TRUE(s.IsCellEmpty(4, 4));
  EXPECT_EQ(s.UsedArea(), (TCellRange{0, 0, 3, 5}));
  EXPECT_EQ(s.NonEmptyCellCount(), 6);
  // Overwriting a formula cell with a value drops the formula.
  s.SetNumber(1, 1, 1);
  EXPECT_FALSE(s.HasFormula(1, 1));
  // A styled blank counts for the used area but is empty.
  s.SetCellStyle(9, 9, 0);
  EXPECT_TRUE(s.IsCellEmpty(9, 9));
  EXPECT_EQ(s.UsedArea().Bottom, 9);
  s.RemoveCell(9, 9);
  EXPECT_EQ(s.UsedArea().Bottom, 5);
}

TEST(SheetModel, DisplayTextUsesTheCellsNumberFormat) {
  TWorkbook wb;
  TSheet &s = wb.Sheet(0);
  TCellFormat xf;
  xf.NumFmtId = wb.Styles().AddNumberFormat(QStringLiteral("0.00%"));
  const int style = wb.Styles().AddCellFormat(xf);
  s.SetNumber(0, 0, 0.125);
  s.SetCellStyle(0, 0, style);
  EXPECT_EQ(s.DisplayText(0, 0), QStringLiteral("12.50%"));
  EXPECT_EQ(s.AsString(0, 0), QStringLiteral("0.125"));
  // Texts go through the format's text section, also a fourth section without '@'.
  TCellFormat textXf;
  textXf.NumFmtId = wb.Styles().AddNumberFormat(QStringLiteral("0;-0;0;\"n/a\""));
  s.SetString(1, 0, QStringLiteral("abc"));
  s.SetCellStyle(1, 0, wb.Styles().AddCellFormat(textXf));
  EXPECT_EQ(s.DisplayText(1, 0), QStringLiteral("n/a"));
  textXf.NumFmtId = wb.Styles().AddNumberFormat(QStringLiteral("\"[\"@\"]\""));
  s.SetCellStyle(1, 0, wb.Styles().AddCellFormat(textXf));
  EXPECT_EQ(s.DisplayText(1, 0), QStringLiteral("[abc]"));
}

TEST(SheetModel, MergedRangesAreFoundAndDeletedByIntersection) {
  TWorkbook wb;
  TSheet &s = wb.Sheet(0);
  s.AddMergedRange({0, 0, 2, 1});   // A1:C2
  s.AddMergedRange({4, 4, 5, 10});  // E5:F11
  EXPECT_TRUE(s.HasMergedInArea({2, 1, 2, 1}));
  EXPECT_FALSE(s.HasMergedInArea({3, 0, 3, 100}));
  EXPECT_EQ(s.MergedRangeAt(10, 5), (TCellRange{4, 4, 5, 10}));
  // Touching one corner is enough to remove a range.
  EXPECT_EQ(s.DeleteMergedInArea({5, 10, 8, 20}), 1);
  EXPECT_EQ(s.MergedRanges().size(), 1u);
  EXPECT_EQ(s.UsedArea(), (TCellRange{0, 0, 2, 1}));
}

TEST(SheetModel, ClearCellsTakesOnlyWhatItIsAskedFor) {
  TWorkbook wb;
  TSheet &s = wb.Sheet(0);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) {
      s.SetNumber(r, c, r * 10 + c);
      s.SetCellStyle(r, c, 1);
    }
  s.SetComment(1, 1, {QStringLiteral("c"), QString(), QString(), QByteArray()});
  s.SetComment(3, 3, {QStringLiteral("d"), QString(), QString(), QByteArray()});
  s.AddHyperlink({{2, 2, 5, 5}, QStringLiteral("https://x"), QString(), QString(), QString()});
  const TCellRange area{1, 1, 2, 2}; // B2:C3
  s.ClearCells(area, TSheet::cfValues | TSheet::cfComments);
  EXPECT_TRUE(s.IsCellEmpty(1, 1));
  EXPECT_EQ(s.CellStyle(1, 1), 1);     // style stays
  EXPECT_EQ(s.AsFloat(1, 3), 13);      // outside the area
  EXPECT_EQ(s.Comment(1, 1), nullptr);
  EXPECT_NE(s.Comment(3, 3), nullptr);
  s.ClearCells(area, TSheet::cfStyles | TSheet::cfHyperlinks);
  EXPECT_EQ(s.FindCell(2, 2), nullptr); // nothing left: the cell is gone
  EXPECT_TRUE(s.Hyperlinks().empty());  // touched, so removed whole
  EXPECT_EQ(s.NonEmptyCellCount(), 12);
}

TEST(SheetModel, ColumnsSplitWhenOneColumnChanges) {
  TWorkbook wb;
  TSheet &s = wb.Sheet(0);
  TColumnRange all;
  all.First = 0;
  all.Last = 9;
  all.Width = 12;
  s.SetColumns({all});
  s.SetColumnWidth(4, 30);
  s.SetColumnHidden(9, true);
  EXPECT_EQ(s.ColumnWidth(3), 12);
  EXPECT_EQ(s.ColumnWidth(4), 30);
  EXPECT_EQ(s.ColumnWidth(5), 12);
  EXPECT_TRUE(s.IsColumnHidden(9));
  EXPECT_FALSE(s.IsColumnHidden(8));
  EXPECT_LT(s.ColumnWidth(20), 0);
  s.SetRowHeight(3, 40);
  s.SetRowHidden(4, true);
  EXPECT_EQ(s.RowHeight(3), 40);
  EXPECT_TRUE(s.IsRowHidden(4));
}

TEST(SheetModel, SheetsAreAddedMovedFoundAndDeleted) {
  TWorkbook wb;
  wb.AddSheet(QStringLiteral("B"));
  wb.AddSheet(QStringLiteral("C"));
  wb.SetActiveSheetIndex(2);
  wb.MoveSheet(2, 0);
  EXPECT_EQ(wb.Sheet(0).Name(), QStringLiteral("C"));
  EXPECT_EQ(wb.ActiveSheetIndex(), 0);
  EXPECT_EQ(wb.SheetIndexByName(QStringLiteral("sheet1")), 1);
  wb.DefinedNames().push_back({QStringLiteral("Local"), QStringLiteral("B!$A$1"), 2, false, {}});
  wb.DeleteSheet(1);
  EXPECT_EQ(wb.SheetCount(), 2);
  EXPECT_EQ(wb.DefinedNames().front().LocalSheet, 1);
  EXPECT_EQ(wb.SheetByName(QStringLiteral("sheet1")), nullptr);
}

TEST(FormulaShift, MovesRelativeReferencesOnly) {
  struct TCase {
    const char *Name, *Formula;
    int Rows, Cols;
    const char *Expected;
  };
  const std::array<TCase, 11> cases{{
      {"relative", "A1+B2", 1, 1, "B2+C3"},
      {"absolute parts", "$A1+A$1+$A$1", 2, 2, "$A3+C$1+$A$1"},
      {"range and function", "SUM(A1:B2)*LOG10(C3)", 1, 0, "SUM(A2:B3)*LOG10(C4)"},
      {"strings untouched", "\"A1\"&A1", 1, 0, "\"A1\"&A2"},
      {"quoted sheet", "'My A1'!A1+Sheet2!B2", 1, 0, "'My A1'!A2+Sheet2!B3"},
      {"whole columns and rows", "SUM(A:B)+SUM(1:2)", 1, 1, "SUM(B:C)+SUM(2:3)"},
      {"numbers with exponent", "1.5E+10+A1", 1, 0, "1.5E+10+A2"},
      {"names stay", "Table1+TAXRATE", 1, 0, "Table1+TAXRATE"},
      {"off the grid", "A1", -1, 0, "#REF!"},
      {"last row", "A1048575", 1, 0, "A1048576"},
      {"table columns", "Table1[[#This Row],[A1]]", 1, 0, "Table1[[#This Row],[A1]]"},
  }};
  for (const TCase &c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(ShiftFormulaReferences(QString::fromUtf8(c.Formula), c.Rows, c.Cols), QString::fromUtf8(c.Expected));
  }
}

TEST(CellRefs, ParseAndNameAtTheGridEdges) {
  struct TCase {
    const char *Text;
    bool Ok;
    int Row, Col;
  };
  const std::array<TCase, 8> cases{{{"A1", true, 0, 0},
                                    {"$B$3", true, 2, 1},
                                    {"xfd1048576", true, 1048575, 16383},
                                    {"XFE1", false, 0, 0},
                                    {"A1048577", false, 0, 0},
                                    {"A0", false, 0, 0},
                                    {"1A", false, 0, 0},
                                    {"", false, 0, 0}}};
  for (const TCase &c : cases) {
    SCOPED_TRACE(c.Text);
    int row = -1, col = -1;
    ASSERT_EQ(ParseCellRef(QString::fromLatin1(c.Text), row, col), c.Ok);
    if (!c.Ok) continue;
    EXPECT_EQ(row, c.Row);
    EXPECT_EQ(col, c.Col);
    EXPECT_EQ(CellRefName(row, col), QString::fromLatin1(c.Text).toUpper().remove(u'$'));
  }
  TCellRange r;
  ASSERT_TRUE(ParseRangeRef(u"C5:A1", r));
  EXPECT_EQ(RangeRefName(r), QStringLiteral("A1:C5"));
}

TEST(StringTable, InternsPlainTextsAndKeepsRichOnesApart) {
  TStringTable t;
  const int a = t.Append(u"x");
  const int rich = t.AppendRich(u"x", "<r><t>x</t></r>");
  EXPECT_EQ(t.Add(u"x"), a);
  EXPECT_NE(rich, a);
  EXPECT_TRUE(t.IsRich(rich));
  const QString longText(100000, u'长');
  const int l = t.Add(longText);
  EXPECT_EQ(t.Text(l), longText);
  EXPECT_EQ(t.Add(longText), l);
  EXPECT_EQ(t.Text(a), QStringLiteral("x"));
}
