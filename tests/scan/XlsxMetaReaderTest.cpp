// The fast .xlsx metadata reader: its text-search building blocks, whole packages built in the
// test (ordinary, odd and hostile), and the real-world corpus against the oracle's raw facts.

#include "PackageBuilder.h"
#include "TestSupport.h"
#include "core/Errors.h"
#include "scan/XlsxMetaReader.h"
#include "scan/ZipArchive.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <array>
#include <gtest/gtest.h>
#include <optional>

namespace {

using TMetas = std::vector<std::unique_ptr<TXlsxSheetMeta>>;

std::string_view V(const QByteArray &A) { return std::string_view(A.constData(), static_cast<size_t>(A.size())); }
std::string_view V(const char *A) { return std::string_view(A); }

// ---------------------------------------------------------------------------------------------
// Building blocks

TEST(XlsxMetaReader, ParseCellRef) {
  struct TCase {
    const char *Ref;
    bool Ok;
    int Col, Row;
  };
  const std::array cases{
      TCase{"A1", true, 0, 0},          TCase{"a1", true, 0, 0},      TCase{"Z9", true, 25, 8},
      TCase{"AA10", true, 26, 9},       TCase{"aZ3", true, 51, 2},    TCase{"XFD1048576", true, 16383, 1048575},
      TCase{"$A$1", false, 0, 0},       TCase{"A", false, 0, 0},      TCase{"12", false, 0, 0},
      TCase{"A0", false, 0, 0},         TCase{"A1B", false, 0, 0},    TCase{"", false, 0, 0},
      TCase{"A 1", false, 0, 0},        TCase{"Ä1", false, 0, 0},
  };
  for (const TCase &c : cases) {
    SCOPED_TRACE(c.Ref);
    int col = -7, row = -7;
    EXPECT_EQ(XlsxMeta::ParseCellRef(V(c.Ref), col, row), c.Ok);
    if (c.Ok) {
      EXPECT_EQ(col, c.Col);
      EXPECT_EQ(row, c.Row);
    }
  }
  // Numbers past 64 bits, and past what a column or row index can hold, raise.
  for (const char *ref : {"A99999999999999999999", "ZZZZZZZZZZZZZZZ1", "A2147483649", "FXSHRXY1"}) {
    SCOPED_TRACE(ref);
    int col = 0, row = 0;
    EXPECT_THROW(XlsxMeta::ParseCellRef(V(ref), col, row), TFileFormatError);
  }
}

TEST(XlsxMetaReader, GetXmlAttr) {
  struct TCase {
    const char *Tag, *Name, *Value;
  };
  const std::array cases{
      TCase{"<sheet name=\"One\" sheetId=\"1\" r:id=\"rId3\"/>", "name", "One"},
      TCase{"<sheet name=\"One\" sheetId=\"1\" r:id=\"rId3\"/>", "r:id", "rId3"},
      TCase{"<sheet name=\"One\" sheetId=\"1\" r:id=\"rId3\"/>", "id", ""}, // not sheetId, not r:id
      TCase{"<sheet\tname='Two' id=\"rId9\"/>", "name", "Two"},
      TCase{"<sheet\nname=\"L\"/>", "name", "L"},
      TCase{"<sheet\r\n  state=\"hidden\"/>", "state", "hidden"},
      TCase{"<c r=\"A1\" t=\"s\">", "t", "s"},
      TCase{"<c r = \"A1\">", "r", ""},    // blanks around "=" are not looked at
      TCase{"<c r=A1>", "r", ""},          // no quote
      TCase{"<c r=\"A1>", "r", ""},        // no closing quote
      TCase{"<sheet name=\"a&amp;b &lt;c&gt; &#20013;\"/>", "name", "a&b <c> 中"},
      TCase{"<c rr=\"X\" r=\"B2\">", "r", "B2"},
  };
  for (const TCase &c : cases) {
    SCOPED_TRACE(c.Tag);
    EXPECT_EQ(QString::fromUtf8(XlsxMeta::GetXmlAttr(V(c.Tag), V(c.Name))), QString::fromUtf8(c.Value));
  }
}

TEST(XlsxMetaReader, DecodeXmlEntities) {
  struct TCase {
    const char *In, *Out;
  };
  const std::array cases{
      TCase{"plain", "plain"},
      TCase{"&lt;&gt;&quot;&apos;&amp;", "<>\"'&"},
      TCase{"&amp;lt;", "&lt;"}, // decoded once
      TCase{"&amp;amp;", "&amp;"},
      TCase{"&#65;&#x42;&#X43;", "ABC"},
      TCase{"&#x4E2D;&#25991;", "中文"},
      TCase{"&#x1F600;", "\xF0\x9F\x98\x80"},
      TCase{"&#0;&#xD800;&#x110000;&#;&#x;&#12", "&#0;&#xD800;&#x110000;&#;&#x;&#12"},
      TCase{"&bogus; & &l t;", "&bogus; & &l t;"},
      TCase{"&&lt;&", "&<&"},
  };
  for (const TCase &c : cases) {
    SCOPED_TRACE(c.In);
    EXPECT_EQ(XlsxMeta::DecodeXmlEntities(V(c.In)), QByteArray(c.Out));
  }
}

TEST(XlsxMetaReader, ParseWorkbookSheets) {
  struct TCase {
    const char *Name;
    const char *Xml;
    QStringList Names;
    QStringList Ids;
  };
  const std::array cases{
      TCase{"plain", "<workbook><sheets><sheet name=\"A\" r:id=\"rId1\"/><sheet name=\"B\" id=\"r2\"/></sheets></workbook>",
            {"A", "B"}, {"rId1", "r2"}},
      TCase{"attributes on sheets", "<workbook><sheets x=\"1\">\n<sheet name=\"A\" r:id=\"rId1\"/>\n</sheets></workbook>",
            {"A"}, {"rId1"}},
      TCase{"prefixed", "<?xml version=\"1.0\"?><x:workbook xmlns:x=\"m\"><x:sheets><x:sheet name=\"P\" r:id=\"rId1\"/>"
                        "</x:sheets></x:workbook>",
            {"P"}, {"rId1"}},
      TCase{"line break after <sheet", "<workbook><sheets><sheet\n name=\"N\" r:id=\"rId1\"/></sheets></workbook>", {"N"},
            {"rId1"}},
      TCase{"no closing </sheets>", "<workbook><sheets><sheet name=\"A\" r:id=\"rId1\"/>", {}, {}},
      TCase{"empty sheets", "<workbook><sheets/></workbook>", {}, {}},
      TCase{"prefix other than the root's", "<workbook><y:sheets><y:sheet name=\"A\"/></y:sheets></workbook>", {}, {}},
  };
  for (const TCase &c : cases) {
    SCOPED_TRACE(c.Name);
    const std::vector<XlsxMeta::TSheetEntry> entries = XlsxMeta::ParseWorkbookSheets(V(c.Xml));
    QStringList names, ids;
    for (const auto &e : entries) {
      names << e.Name;
      ids << e.RId;
    }
    EXPECT_EQ(names, c.Names);
    EXPECT_EQ(ids, c.Ids);
  }
}

TEST(XlsxMetaReader, ParseSharedStrings) {
  const QByteArray xml = "<sst count=\"5\"><si><t>plain</t></si><si/><si><r><rPr><b/></rPr><t>ab</t></r><r><t xml:space=\"preserve\">c"
                         "</t></r></si><si><t>&amp;lt;</t></si><si><t>東京</t><rPh sb=\"0\" eb=\"2\"><t>トウキョウ</t></rPh></si>"
                         "<si><t/><t>x</t></si></sst>";
  EXPECT_EQ(XlsxMeta::ParseSharedStrings(V(xml)),
            QStringList({"plain", "", "abc", "&lt;", QString::fromUtf8("東京"), "x"}));
  // An item that never closes ends the list.
  EXPECT_EQ(XlsxMeta::ParseSharedStrings(V("<sst><si><t>a</t></si><si><t>b</t>")), QStringList({"a"}));
}

// Parsing a prefix that says "determined" must give what the whole prefix gives: this is what
// lets the reader stop inflating early.
void ExpectPrefixesAgree(const QByteArray &AText, int AHeaderRows, int AStep) {
  TXlsxSheetMeta whole;
  XlsxMeta::TPendingShared wholePending;
  ASSERT_TRUE(XlsxMeta::ParseSheetHeader(V(AText), true, AHeaderRows, whole, wholePending));
  for (qsizetype cut = 1; cut < AText.size(); cut += AStep) {
    TXlsxSheetMeta part;
    XlsxMeta::TPendingShared pending;
    if (!XlsxMeta::ParseSheetHeader(V(AText.left(cut)), false, AHeaderRows, part, pending))
      continue;
    SCOPED_TRACE(cut);
    EXPECT_EQ(part.DimensionRef, whole.DimensionRef);
    EXPECT_EQ(part.IsEmptySheet, whole.IsEmptySheet);
    EXPECT_EQ(part.DimRight, whole.DimRight);
    EXPECT_EQ(part.DimBottom, whole.DimBottom);
    EXPECT_EQ(part.HeaderTexts, whole.HeaderTexts);
    EXPECT_EQ(pending, wholePending);
    if (::testing::Test::HasFailure())
      return;
  }
}

TEST(XlsxMetaReader, EarlyStopAgreesWithWholePrefix) {
  const QByteArray sheet =
      "<worksheet><dimension ref=\"A1:C4\"/><sheetData>"
      "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"inlineStr\"><is><t>in&amp;line</t></is></c>"
      "<c r=\"C1\"><v>1.5</v></c></row>"
      "<row r=\"2\"><c r=\"A2\" t=\"b\"><v>1</v></c><c r=\"C2\"/></row><row r=\"3\"><c r=\"A3\"><v>3</v></c></row>"
      "<row r=\"4\"><c r=\"B4\"><v>4</v></c></row></sheetData></worksheet>";
  for (int headerRows : {1, 2, 3, 5})
    ExpectPrefixesAgree(sheet, headerRows, 1);
  const QByteArray noDimension = "<worksheet><sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c></row></sheetData></worksheet>";
  ExpectPrefixesAgree(noDimension, 1, 1);

  const QString corpus = TestSupport::CorpusDir();
  if (corpus.isEmpty())
    return;
  // The first worksheet of every corpus package, cut at many points.
  QDirIterator it(corpus + QStringLiteral("/files"), {QStringLiteral("*.xlsx")}, QDir::Files, QDirIterator::Subdirectories);
  int checked = 0;
  while (it.hasNext() && checked < 60) {
    const QString path = it.next();
    TZipArchive zip;
    try {
      zip.Open(path);
      const qint64 member = zip.IndexOf("xl/worksheets/sheet1.xml");
      QByteArray text;
      if (member < 0 || !zip.ReadAll(member, text, 1 << 20))
        continue;
      SCOPED_TRACE(path.toStdString());
      ExpectPrefixesAgree(text.left(16384), 2, 13);
      ++checked;
    } catch (const TTabulyxError &) {
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Whole packages

class XlsxMetaReaderPackage : public ::testing::Test {
protected:
  // Writes the package and reads it; nullopt when the reader returns false.
  std::optional<std::vector<TXlsxSheetMeta>> Read(const TMembers &AMembers, int AHeaderRows = 1, int AGroupCol = -1,
                                                  const QString &AName = QStringLiteral("book.xlsx")) {
    const QString path = FDir.filePath(AName);
    EXPECT_TRUE(TestSupport::WriteZip(path, AMembers));
    return ReadFile(path, AHeaderRows, AGroupCol);
  }
  std::optional<std::vector<TXlsxSheetMeta>> ReadFile(const QString &APath, int AHeaderRows = 1, int AGroupCol = -1) {
    TMetas metas;
    int count = -1;
    if (!ReadXlsxSheetMetas(APath, AHeaderRows, count, nullptr, AGroupCol, metas))
      return std::nullopt;
    EXPECT_EQ(count, static_cast<int>(metas.size()));
    std::vector<TXlsxSheetMeta> copy;
    for (const auto &m : metas)
      copy.push_back(*m);
    return copy;
  }
  QTemporaryDir FDir;
};

TEST_F(XlsxMetaReaderPackage, DimensionAndHeaderRows) {
  struct TCase {
    const char *Name;
    QByteArray Dimension;
    QByteArray Rows;
    int HeaderRows;
    bool Empty;
    int Left, Top, Right, Bottom;
    std::vector<QStringList> Header;
  };
  const QByteArray twoRows = "<row r=\"1\"><c r=\"A1\"><v>a1</v></c><c r=\"C1\"><v>c1</v></c></row>"
                             "<row r=\"2\"><c r=\"B2\"><v>b2</v></c><c r=\"E2\"><v>e2</v></c></row>"
                             "<row r=\"3\"><c r=\"B3\"><v>b3</v></c></row>";
  const std::array cases{
      TCase{"no dimension element: empty even with data", QByteArray(), twoRows, 1, true, 0, 0, -1, -1, {}},
      TCase{"single cell A1", "A1", "<row r=\"1\"><c r=\"A1\"><v>x</v></c></row>", 1, false, 0, 0, 0, 0, {{"x"}}},
      TCase{"B2:D9 with two header rows", "B2:D9", twoRows, 2, false, 1, 1, 3, 8, {{"", "c1", ""}, {"b2", "", ""}}},
      TCase{"zero header rows read one", "B2:D9", twoRows, 0, false, 1, 1, 3, 8, {{"", "c1", ""}}},
      TCase{"rows and cells without r follow their predecessors", "A1:E5",
            "<row r=\"3\"><c r=\"A3\"><v>x</v></c></row><row><c r=\"C4\"><v>c</v></c><c><v>d</v></c><c/><c><v>f</v></c></row>",
            4, false, 0, 0, 4, 4, {{"", "", "", "", ""}, {"", "", "", "", ""}, {"x", "", "", "", ""}, {"", "", "c", "d", ""}}},
      TCase{"the first row without r is row 1", "A1:B2", "<row><c><v>1</v></c><c><v>2</v></c></row>", 1, false, 0, 0, 1, 1,
            {{"1", "2"}}},
      TCase{"cell types", "A1:F1",
            "<row r=\"1\"><c r=\"A1\" t=\"b\"><v>1</v></c><c r=\"B1\" t=\"b\"><v>0</v></c><c r=\"C1\"><v>3.1400000000000001</v></c>"
            "<c r=\"D1\" t=\"str\"><f>A1</f><v>a&amp;b</v></c><c r=\"E1\" t=\"e\"><v>#N/A</v></c>"
            "<c r=\"F1\" t=\"inlineStr\"><is><r><t>in</t></r><r><t>line</t></r></is></c></row>",
            1, false, 0, 0, 5, 0, {{"TRUE", "FALSE", "3.1400000000000001", "a&b", "#N/A", "inline"}}},
      TCase{"<v> forms", "A1:C1", "<row r=\"1\"><c r=\"A1\"><v xml:space=\"preserve\"> 7</v></c><c r=\"B1\"><v/></c>"
                                  "<c r=\"C1\"><v>open</c></row>",
            1, false, 0, 0, 2, 0, {{" 7", "", "open"}}},
      TCase{"self-closing cell clears its slot", "A1:B1", "<row r=\"1\"><c r=\"A1\"><v>1</v></c><c r=\"A1\"/></row>", 1,
            false, 0, 0, 1, 0, {{"", ""}}},
      TCase{"lower-case dimension", "a1:b2", "<row r=\"1\"><c r=\"B1\"><v>q</v></c></row>", 1, false, 0, 0, 1, 1, {{"", "q"}}},
      TCase{"reversed dimension is empty", "C3:A1", twoRows, 1, true, 2, 2, 0, 0, {}},
      TCase{"dimension past the grid", "A1:XFD1048577", twoRows, 1, true, 0, 0, -1, -1, {}},
      TCase{"dimension with dollar signs", "$A$1:$C$3", twoRows, 1, true, 0, 0, -1, -1, {}},
      TCase{"absurd cell reference", "A1:C3", "<row r=\"1\"><c r=\"A99999999999999999999\"><v>1</v></c></row>", 1, true, 0, 0,
            2, 2, {{"", "", ""}}},
      TCase{"absurd row number counts on", "A1:B3",
            "<row r=\"99999999999999999999\"><c r=\"A1\"><v>1</v></c></row><row r=\"0\"><c r=\"B1\"><v>2</v></c></row>", 2,
            false, 0, 0, 1, 2, {{"1", ""}, {"", "2"}}},
      TCase{"self-closing sheetData", "A1:B2", "", 1, false, 0, 0, 1, 1, {{"", ""}}},
  };
  for (const TCase &c : cases) {
    SCOPED_TRACE(c.Name);
    QByteArray xml = Sheet(c.Dimension, c.Rows);
    if (c.Rows.isEmpty())
      xml.replace("<sheetData></sheetData>", "<sheetData/>");
    const auto metas = Read(Package({{"S", xml}}), c.HeaderRows);
    ASSERT_TRUE(metas);
    ASSERT_EQ(metas->size(), 1u);
    const TXlsxSheetMeta &m = metas->front();
    EXPECT_EQ(m.IsEmptySheet, c.Empty);
    EXPECT_EQ(m.DimensionRef, QString::fromUtf8(c.Dimension));
    if (!c.Empty || c.Left != 0 || c.Right != -1) {
      EXPECT_EQ(m.DimLeft, c.Left);
      EXPECT_EQ(m.DimTop, c.Top);
      EXPECT_EQ(m.DimRight, c.Right);
      EXPECT_EQ(m.DimBottom, c.Bottom);
    }
    EXPECT_EQ(m.HeaderTexts, c.Header);
  }
}

TEST_F(XlsxMetaReaderPackage, SheetsStatesTargetsAndKinds) {
  const QByteArray data = Sheet("A1:B2", "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>");
  const auto metas = Read(Package({
      {"Visible", data},
      {"Hid&amp;den", data, "hidden"},
      {"Very", data, "VERYHIDDEN"},
      {"Absolute", data, "", "/xl/worksheets/sheet4.xml"},
      {"Chart", "<chartsheet/>", "", "", "chartsheet"},
      {"No part", "", "", "worksheets/missing.xml"},
      {"Upper-case member", data, "", "WORKSHEETS/SHEET7.XML"},
      {"Dotted", data, "", "../xl/./worksheets/sheet8.xml"},
  }));
  ASSERT_TRUE(metas);
  ASSERT_EQ(metas->size(), 8u);
  struct TExpect {
    const char *Name;
    bool Hidden, Empty;
    const char *Kind;
  };
  const std::array expected{
      TExpect{"Visible", false, false, "worksheet"},  TExpect{"Hid&den", true, false, "worksheet"},
      TExpect{"Very", true, false, "worksheet"},      TExpect{"Absolute", false, false, "worksheet"},
      TExpect{"Chart", false, true, "chartsheet"},    TExpect{"No part", false, true, "worksheet"},
      TExpect{"Upper-case member", false, false, "worksheet"}, TExpect{"Dotted", false, false, "worksheet"},
  };
  for (size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(expected[i].Name);
    const TXlsxSheetMeta &m = (*metas)[i];
    EXPECT_EQ(m.SheetIndex, static_cast<int>(i));
    EXPECT_EQ(m.SheetName, QString::fromUtf8(expected[i].Name));
    EXPECT_EQ(m.IsHidden, expected[i].Hidden);
    EXPECT_EQ(m.IsEmptySheet, expected[i].Empty);
    EXPECT_EQ(m.SheetKind, QString::fromUtf8(expected[i].Kind));
  }
}

TEST_F(XlsxMetaReaderPackage, SharedStrings) {
  const QByteArray shared = "<sst><si><t>zero</t></si><si><r><t>ab</t></r><r><t>c</t></r></si><si><t> pad </t></si></sst>";
  const QByteArray rows = "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>1</v></c><c r=\"B1\" t=\"s\"><v> 2 </v></c>"
                          "<c r=\"C1\" t=\"s\"><v>3</v></c><c r=\"D1\" t=\"s\"><v>-1</v></c><c r=\"E1\" t=\"s\"><v>x</v></c>"
                          "<c r=\"F1\" t=\"s\"><v>0</v></c></row>"
                          "<row r=\"2\"><c r=\"A2\" t=\"s\"><v>2</v></c></row>";
  const auto metas = Read(Package({{"S", Sheet("A1:F2", rows)}}, shared), 1, 0);
  ASSERT_TRUE(metas);
  EXPECT_EQ(metas->front().HeaderTexts, (std::vector<QStringList>{{"abc", " pad ", "", "", "", "zero"}}));
  EXPECT_EQ(metas->front().GroupColTexts, QStringList({" pad "}));
  // No table at all: shared cells are empty.
  const auto none = Read(Package({{"S", Sheet("A1:F2", rows)}}), 1);
  ASSERT_TRUE(none);
  EXPECT_EQ(none->front().HeaderTexts, (std::vector<QStringList>{{"", "", "", "", "", ""}}));
}

TEST_F(XlsxMetaReaderPackage, GroupColumn) {
  // A1:C100, one header row, group column B: rows 1..99 (zero-based) of column B, cells missing
  // from the file staying empty. Then a column read that crosses the 1 MiB chunks.
  QByteArray rows;
  for (int r = 1; r <= 100; ++r) {
    rows += "<row r=\"" + QByteArray::number(r) + "\"><c r=\"A" + QByteArray::number(r) + "\"><v>" + QByteArray::number(r) +
            "</v></c>";
    if (r % 10 != 0)
      rows += "<c r=\"B" + QByteArray::number(r) + "\" t=\"inlineStr\"><is><t>b" + QByteArray::number(r) + "</t></is></c>";
    rows += "</row>";
  }
  const auto metas = Read(Package({{"S", Sheet("A1:C100", rows)}}), 1, 1);
  ASSERT_TRUE(metas);
  const QStringList &group = metas->front().GroupColTexts;
  ASSERT_EQ(group.size(), 99);
  EXPECT_EQ(group[0], "b2");
  EXPECT_EQ(group[8], "");
  EXPECT_EQ(group[97], "b99");
  EXPECT_EQ(group[98], "");
  // Outside the used columns, or no data rows below the header: no read.
  EXPECT_TRUE(Read(Package({{"S", Sheet("A1:C100", rows)}}), 1, 5)->front().GroupColTexts.isEmpty());
  EXPECT_TRUE(Read(Package({{"S", Sheet("A1:C100", rows)}}), 100, 1)->front().GroupColTexts.isEmpty());

  QByteArray big;
  const int n = 40000;
  for (int r = 1; r <= n; ++r)
    big += "<row r=\"" + QByteArray::number(r) + "\"><c r=\"A" + QByteArray::number(r) + "\"><v>" + QByteArray::number(r) +
           "</v></c><c r=\"B" + QByteArray::number(r) + "\" t=\"inlineStr\"><is><t>&#x4E2D;" + QByteArray::number(r % 7) +
           "</t></is></c></row>";
  ASSERT_GT(big.size(), 2 * 1024 * 1024);
  const auto many = Read(Package({{"S", Sheet("A1:B" + QByteArray::number(n), big)}}), 3, 1);
  ASSERT_TRUE(many);
  const QStringList &texts = many->front().GroupColTexts;
  ASSERT_EQ(texts.size(), n - 3);
  for (int k = 0; k < texts.size(); ++k)
    ASSERT_EQ(texts[k], QString::fromUtf8("中") + QString::number((k + 4) % 7)) << "row " << k + 4;
}

TEST_F(XlsxMetaReaderPackage, StoredMembersReadLikeDeflatedOnes) {
  QByteArray rows;
  for (int r = 1; r <= 3000; ++r)
    rows += "<row r=\"" + QByteArray::number(r) + "\"><c r=\"A" + QByteArray::number(r) + "\" t=\"s\"><v>" +
            QByteArray::number(r % 3) + "</v></c></row>";
  const TMembers members = Package({{"S", Sheet("A1:A3000", rows)}},
                                   "<sst><si><t>zero</t></si><si><t>one</t></si><si><t>two</t></si></sst>");
  const QString path = FDir.filePath(QStringLiteral("stored.xlsx"));
  ASSERT_TRUE(WriteStoredZip(path, members));
  const auto stored = ReadFile(path, 2, 0);
  const auto deflated = Read(members, 2, 0);
  ASSERT_TRUE(stored && deflated);
  EXPECT_EQ(stored->front().HeaderTexts, (std::vector<QStringList>{{"one"}, {"two"}}));
  EXPECT_EQ(stored->front().HeaderTexts, deflated->front().HeaderTexts);
  EXPECT_EQ(stored->front().GroupColTexts, deflated->front().GroupColTexts);
  EXPECT_EQ(stored->front().GroupColTexts.size(), 2998);
}

TEST_F(XlsxMetaReaderPackage, NamespacePrefixes) {
  TMembers members{
      {"xl/workbook.xml", "<?xml version=\"1.0\"?><x:workbook xmlns:x=\"m\" xmlns:r=\"r\"><x:sheets>"
                          "<x:sheet name=\"P\" sheetId=\"1\" r:id=\"rId1\" /></x:sheets></x:workbook>"},
      {"xl/_rels/workbook.xml.rels", "<Relationships><Relationship Id=\"rId1\" Type=\"http://s/worksheet\" "
                                     "Target=\"worksheets/sheet1.xml\"/></Relationships>"},
      {"xl/worksheets/sheet1.xml", "<x:worksheet xmlns:x=\"m\"><x:dimension ref=\"A1:B2\" /><x:sheetData><x:row r=\"1\">"
                                   "<x:c r=\"A1\" t=\"s\"><x:v>0</x:v></x:c><x:c r=\"B1\"><x:v>2</x:v></x:c></x:row>"
                                   "</x:sheetData></x:worksheet>"},
      {"xl/sharedStrings.xml", "<x:sst xmlns:x=\"m\"><x:si><x:t>head</x:t></x:si></x:sst>"},
  };
  const auto metas = Read(members);
  ASSERT_TRUE(metas);
  ASSERT_EQ(metas->size(), 1u);
  EXPECT_EQ(metas->front().SheetName, "P");
  EXPECT_FALSE(metas->front().IsEmptySheet);
  EXPECT_EQ(metas->front().HeaderTexts, (std::vector<QStringList>{{"head", "2"}}));
}

TEST_F(XlsxMetaReaderPackage, UnusablePackagesReturnFalse) {
  const TMembers good = Package({{"S", Sheet("A1", "")}});
  struct TCase {
    const char *Name;
    QByteArray Bytes;
  };
  const QByteArray zip = TestSupport::MakeZip(good);
  TMembers noRels = good, noWorkbook = good;
  std::erase_if(noRels, [](const auto &m) { return m.first.contains("_rels"); });
  std::erase_if(noWorkbook, [](const auto &m) { return m.first == "xl/workbook.xml"; });
  const std::array cases{
      TCase{"empty file", QByteArray()},
      TCase{"not a zip", QByteArray("PK\x03\x04 this is not really a zip archive at all")},
      TCase{"truncated to half", zip.left(zip.size() / 2)},
      TCase{"tail cut", zip.left(zip.size() - 10)},
      TCase{"no workbook relationships", TestSupport::MakeZip(noRels)},
      TCase{"no workbook part", TestSupport::MakeZip(noWorkbook)},
  };
  for (const TCase &c : cases) {
    SCOPED_TRACE(c.Name);
    const QString path = FDir.filePath(QStringLiteral("bad.xlsx"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(c.Bytes);
    f.close();
    EXPECT_FALSE(ReadFile(path));
  }
  EXPECT_FALSE(ReadFile(FDir.filePath(QStringLiteral("missing.xlsx"))));
  EXPECT_FALSE(ReadFile(FDir.path()));
  // More sheet entries than any workbook holds: declined rather than built one by one.
  QByteArray many = "<workbook><sheets>";
  for (int i = 0; i < 70000; ++i)
    many += "<sheet name=\"s\" r:id=\"rId1\"/>";
  TMembers flood = good;
  for (auto &m : flood)
    if (m.first == "xl/workbook.xml")
      m.second = many + "</sheets></workbook>";
  EXPECT_FALSE(Read(flood));
  // A workbook without sheet entries is read, with nothing in it.
  const auto none = Read({{"xl/workbook.xml", "<workbook><sheets></sheets></workbook>"}});
  ASSERT_TRUE(none);
  EXPECT_TRUE(none->empty());
}

TEST_F(XlsxMetaReaderPackage, CorruptSheetDataOnlyEmptiesThatSheet) {
  // Deflated data damaged inside one member: that sheet reads as empty, the others are fine.
  QByteArray filler;
  for (int i = 0; i < 3000; ++i)
    filler += "<row r=\"" + QByteArray::number(i + 2) + "\"><c r=\"A" + QByteArray::number(i + 2) + "\"><v>" +
              QByteArray::number(i * 7919 % 10007) + "</v></c></row>";
  const QByteArray victim = "<worksheet><sheetPr codeName=\"VICTIM\"/>" + filler + "<dimension ref=\"A1:A9\"/></worksheet>";
  QByteArray zip = TestSupport::MakeZip(Package({{"Good", Sheet("A1", "")}, {"Bad", victim}}));
  // Flip bytes in the middle of the archive, where the victim's deflated data sits.
  const qsizetype at = zip.indexOf("sheet2.xml") + 64;
  for (qsizetype i = at; i < at + 200 && i < zip.size(); ++i)
    zip[i] = static_cast<char>(zip[i] ^ 0x5A);
  const QString path = FDir.filePath(QStringLiteral("corrupt.xlsx"));
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(zip);
  f.close();
  const auto metas = ReadFile(path);
  ASSERT_TRUE(metas);
  ASSERT_EQ(metas->size(), 2u);
  EXPECT_FALSE((*metas)[0].IsEmptySheet);
  EXPECT_TRUE((*metas)[1].IsEmptySheet);
}

TEST_F(XlsxMetaReaderPackage, OnlyTheFirstMebibyteIsSearched) {
  // The header row starts past the first MiB: the dimension is known, the header stays empty.
  const QByteArray padding(1100 * 1024, ' ');
  const QByteArray xml = "<worksheet><dimension ref=\"A1:B2\"/>" + padding +
                         "<sheetData><row r=\"1\"><c r=\"A1\"><v>late</v></c></row></sheetData></worksheet>";
  const auto metas = Read(Package({{"S", xml}}));
  ASSERT_TRUE(metas);
  EXPECT_FALSE(metas->front().IsEmptySheet);
  EXPECT_EQ(metas->front().HeaderTexts, (std::vector<QStringList>{{"", ""}}));
}

TEST_F(XlsxMetaReaderPackage, HostileSharedStringTables) {
  // A table of tens of MB (a few hundred kB compressed): read only as far as the header needs.
  QByteArray items;
  items.reserve(24 * 1024 * 1024);
  items += "<sst><si><t>first</t></si>";
  while (items.size() < 24 * 1024 * 1024)
    items += "<si><t>filler text</t></si>";
  items += "</sst>";
  const QByteArray rows = "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c></row>";
  auto metas = Read(Package({{"S", Sheet("A1", rows)}}, items));
  ASSERT_TRUE(metas);
  EXPECT_EQ(metas->front().HeaderTexts, (std::vector<QStringList>{{"first"}}));

  // An item that never closes: refused once it outgrows any real item, never buffered whole.
  QByteArray open = "<sst><si><t>" + QByteArray(20 * 1024 * 1024, 'a');
  items.clear();
  const QString path = FDir.filePath(QStringLiteral("open.xlsx"));
  ASSERT_TRUE(TestSupport::WriteZip(path, Package({{"S", Sheet("A1", rows)}}, open)));
  open.clear();
  TMetas out;
  int count = 0;
  EXPECT_THROW(ReadXlsxSheetMetas(path, 1, count, nullptr, -1, out), TFileFormatError);
}

TEST_F(XlsxMetaReaderPackage, EntitySoup) {
  QByteArray soup;
  for (int i = 0; i < 20000; ++i)
    soup += "&amp;&#x;&#99999999;&lt;&&#;";
  const QByteArray rows = "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>" + soup + "</t></is></c></row>";
  const auto metas = Read(Package({{"n&#x41;&amp;&#65;&lt;", Sheet("A1", rows)}}));
  ASSERT_TRUE(metas);
  EXPECT_EQ(metas->front().SheetName, "nA&A<");
  EXPECT_TRUE(metas->front().HeaderTexts[0][0].startsWith("&&#x;&#99999999;<&&#;&"));

  // Hundreds of thousands of rich-text runs in one item: read in one linear pass.
  QByteArray runs = "<sst><si>";
  for (int i = 0; i < 100000; ++i)
    runs += "<r><t>a</t></r>";
  runs += "<rPh><t>x</t></rPh></si></sst>";
  const auto rich = Read(Package({{"S", Sheet("A1", "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c></row>")}}, runs));
  ASSERT_TRUE(rich);
  EXPECT_EQ(rich->front().HeaderTexts[0][0], QString(100000, u'a'));
}

TEST_F(XlsxMetaReaderPackage, ProgressOfTheGroupColumnRead) {
  QByteArray rows;
  for (int r = 1; r <= 60000; ++r)
    rows += "<row r=\"" + QByteArray::number(r) + "\"><c r=\"A" + QByteArray::number(r) + "\"><v>" + QByteArray::number(r) +
            "</v></c></row>";
  const QString path = FDir.filePath(QStringLiteral("progress.xlsx"));
  ASSERT_TRUE(TestSupport::WriteZip(path, Package({{"S", Sheet("A1:A60000", rows)}})));
  std::vector<int> seen;
  TMetas metas;
  int count = 0;
  ASSERT_TRUE(ReadXlsxSheetMetas(path, 1, count, [&](int P) { seen.push_back(P); }, 0, metas));
  ASSERT_GE(seen.size(), 2u);
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
  EXPECT_GT(seen.front(), 0);
  EXPECT_LE(seen.back(), 100);
  EXPECT_EQ(metas.front()->GroupColTexts.size(), 59999);
  EXPECT_EQ(metas.front()->GroupColTexts.last(), "60000");
}

// ---------------------------------------------------------------------------------------------
// The corpus: sheet names, states and the dimension exactly as stored, against the oracle.

TEST(XlsxMetaReaderCorpus, NamesStatesAndDimensionsMatchTheOracle) {
  const QString corpus = TestSupport::CorpusDir();
  if (corpus.isEmpty())
    GTEST_SKIP() << "corpus not found";
  QDirIterator it(corpus + QStringLiteral("/oracle"), {QStringLiteral("*.json")}, QDir::Files, QDirIterator::Subdirectories);
  int compared = 0;
  while (it.hasNext()) {
    QFile f(it.next());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QJsonObject oracle = QJsonDocument::fromJson(f.readAll()).object();
    if (oracle.value("extension").toString() != ".xlsx")
      continue;
    const QJsonObject raw = oracle.value("raw").toObject().value("zip").toObject();
    const QString path = corpus + "/files/" + oracle.value("file").toString();
    SCOPED_TRACE(path.toStdString());
    TMetas metas;
    int count = 0;
    bool ok = false;
    try {
      ok = ReadXlsxSheetMetas(path, 1, count, nullptr, -1, metas);
    } catch (const TTabulyxError &e) {
      ADD_FAILURE() << "raised: " << e.what();
      continue;
    }
    // The reader reads "xl/workbook.xml" only; packages that keep it elsewhere go to the full load.
    if (!raw.contains("sheets") || raw.value("workbook_part").toString() != "xl/workbook.xml") {
      EXPECT_TRUE(!ok || metas.empty() || raw.contains("sheets"));
      continue;
    }
    ASSERT_TRUE(ok);
    const QJsonArray sheets = raw.value("sheets").toArray();
    ASSERT_EQ(metas.size(), static_cast<size_t>(sheets.size()));
    for (qsizetype i = 0; i < sheets.size(); ++i) {
      const QJsonObject s = sheets[i].toObject();
      const TXlsxSheetMeta &m = *metas[static_cast<size_t>(i)];
      EXPECT_EQ(m.SheetName, s.value("name").toString());
      const QString state = s.value("state").toString();
      EXPECT_EQ(m.IsHidden, state == "hidden" || state == "veryHidden") << m.SheetName.toStdString();
      EXPECT_EQ(m.SheetState.isEmpty() ? QStringLiteral("visible") : m.SheetState, state);
      EXPECT_EQ(m.DimensionRef, s.value("dimension_ref").toString()) << m.SheetName.toStdString();
      EXPECT_EQ(m.SheetKind, s.value("kind").toString());
    }
    ++compared;
  }
  EXPECT_GT(compared, 100);
}

} // namespace
