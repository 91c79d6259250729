#include "TestFiles.h"
#include "core/LogImpl.h"
#include "core/NamingUtils.h"
#include "core/TextCodec.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <array>
#include <gtest/gtest.h>

using TestSupport::WriteFileBytes;

namespace {

struct TNameCase {
  const char *Name; // what the case shows
  QString Input;
  QString Expected;
};

QString Repeat(const QString &AText, int ACount) { return AText.repeated(ACount); }

void ExpectCases(const std::function<QString(const QString &)> &AFunc, const std::vector<TNameCase> &ACases) {
  for (const TNameCase &c : ACases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(AFunc(c.Input), c.Expected);
  }
}

} // namespace

TEST(NamingUtils, SanitizeFileName) {
  const QString emoji = QStringLiteral("😀");
  ExpectCases(SanitizeFileName,
              {
                  {"trim, replace, trailing dot and blank", QStringLiteral("  a:b.  "), QStringLiteral("a_b")},
                  {"all nine illegal characters", QStringLiteral("a\\/:*?\"<>|z"), QStringLiteral("a_________z")},
                  {"reserved device, any case", QStringLiteral("lpt1"), QStringLiteral("_lpt1")},
                  {"reserved CON", QStringLiteral("con"), QStringLiteral("_con")},
                  {"COM0 is not reserved", QStringLiteral("COM0"), QStringLiteral("COM0")},
                  {"COM10 is not reserved", QStringLiteral("COM10"), QStringLiteral("COM10")},
                  {"CON.txt is not reserved", QStringLiteral("CON.txt"), QStringLiteral("CON.txt")},
                  {"only dots", QStringLiteral("..."), QStringLiteral("Sheet")},
                  {"empty", QString(), QStringLiteral("Sheet")},
                  {"control characters trimmed", QStringLiteral("\t\x01x\n"), QStringLiteral("x")},
                  {"130 characters keep 120", Repeat(QStringLiteral("a"), 130), Repeat(QStringLiteral("a"), 120)},
                  {"no second pass after the cut", Repeat(QStringLiteral("a"), 119) + QStringLiteral(". b"),
                   Repeat(QStringLiteral("a"), 119) + u'.'},
                  {"cut never splits a surrogate pair", Repeat(QStringLiteral("a"), 119) + emoji,
                   Repeat(QStringLiteral("a"), 119)},
                  {"Chinese kept", QStringLiteral("报表/2024?"), QStringLiteral("报表_2024_")},
              });
}

TEST(NamingUtils, StripAndValidFileName) {
  ExpectCases(StripFileName, {
                                 {"illegal deleted", QStringLiteral("a:b"), QStringLiteral("ab")},
                                 {"all illegal", QStringLiteral("???"), QStringLiteral("Sheet")},
                                 {"trim after delete", QStringLiteral(" <a> "), QStringLiteral("a")},
                                 {"no length limit", Repeat(QStringLiteral("b"), 200), Repeat(QStringLiteral("b"), 200)},
                                 {"no reserved rule", QStringLiteral("con"), QStringLiteral("con")},
                             });
  struct TValidCase {
    QString Name;
    bool Expected;
  };
  const std::array<TValidCase, 7> cases{{{QStringLiteral("a.xlsx"), true},
                                         {QString(), false},
                                         {QStringLiteral(".xlsx"), false},
                                         {QStringLiteral("  .xlsx"), false},
                                         {QStringLiteral("a.x?x"), false},
                                         {QStringLiteral("con.xlsx"), true},
                                         {QStringLiteral("报表"), true}}};
  for (const TValidCase &c : cases) {
    SCOPED_TRACE(c.Name.toStdString());
    EXPECT_EQ(IsValidFileName(c.Name), c.Expected);
  }
}

TEST(NamingUtils, SanitizeSheetNameForms) {
  const QString forty = Repeat(QStringLiteral("x"), 30) + QStringLiteral(" ") + Repeat(QStringLiteral("z"), 9);
  ExpectCases([](const QString &s) { return SanitizeSheetName(s, TSheetNameForm::snfAdd); },
              {
                  {"add: apostrophes", QStringLiteral("'Sales'"), QStringLiteral("Sales")},
                  {"add: history", QStringLiteral("history"), QStringLiteral("_history")},
                  {"add: slash", QStringLiteral("a/b"), QStringLiteral("a_b")},
                  {"add: all seven", QStringLiteral("\\/?*[]:"), QStringLiteral("_______")},
                  {"add: cut to 31 then trimmed", forty, Repeat(QStringLiteral("x"), 30)},
                  {"add: apostrophe uncovered by the cut", Repeat(QStringLiteral("q"), 30) + QStringLiteral("'abc"),
                   Repeat(QStringLiteral("q"), 30)},
                  {"add: may be empty", QStringLiteral(" '' "), QString()},
                  {"add: blanks inside apostrophes", QStringLiteral("' a '"), QStringLiteral("a")},
              });
  ExpectCases([](const QString &s) { return SanitizeSheetName(s, TSheetNameForm::snfSplit); },
              {
                  {"split: keeps blanks", QStringLiteral("  x "), QStringLiteral("  x ")},
                  {"split: empty", QString(), QStringLiteral("Sheet")},
                  {"split: history before replacing", QStringLiteral("History"), QStringLiteral("_History")},
                  {"split: quoted history is not caught", QStringLiteral("'history'"), QStringLiteral("history")},
                  {"split: cut to 31", Repeat(QStringLiteral("s"), 40), Repeat(QStringLiteral("s"), 31)},
                  {"split: only apostrophes", QStringLiteral("'''"), QStringLiteral("Sheet")},
              });
  ExpectCases([](const QString &s) { return SanitizeSheetName(s, TSheetNameForm::snfMerge); },
              {
                  {"merge: slash allowed", QStringLiteral("a/b"), QStringLiteral("a/b")},
                  {"merge: its five", QStringLiteral("[a]:*?"), QStringLiteral("_a____")},
                  {"merge: empty", QStringLiteral("   "), QStringLiteral("Sheet")},
                  {"merge: trimmed then cut", QStringLiteral("  ") + Repeat(QStringLiteral("m"), 35),
                   Repeat(QStringLiteral("m"), 31)},
                  {"merge: history stays", QStringLiteral("History"), QStringLiteral("History")},
              });
}

TEST(NamingUtils, MakeUniqueSheetName) {
  const QStringList existing{QStringLiteral("Sheet1"), QStringLiteral("SHEET1(1)")};
  const QString name31 = Repeat(QStringLiteral("n"), 31);
  EXPECT_EQ(MakeUniqueSheetName(QStringLiteral("Free"), &existing, nullptr, TUniqueSuffix::usParen),
            QStringLiteral("Free"));
  EXPECT_EQ(MakeUniqueSheetName(QStringLiteral("sheet1"), nullptr, &existing, TUniqueSuffix::usParen),
            QStringLiteral("sheet1(2)"));
  EXPECT_EQ(MakeUniqueSheetName(QStringLiteral("Sheet1"), nullptr, nullptr, TUniqueSuffix::usParen),
            QStringLiteral("Sheet1"));
  const QStringList taken31{name31};
  EXPECT_EQ(MakeUniqueSheetName(name31, nullptr, &taken31, TUniqueSuffix::usParen),
            Repeat(QStringLiteral("n"), 28) + QStringLiteral("(1)"));
  // 28 + "(1)" is 31: still appended whole.
  const QStringList taken28{Repeat(QStringLiteral("k"), 28)};
  EXPECT_EQ(MakeUniqueSheetName(taken28[0], taken28, QStringList(), TUniqueSuffix::usParen),
            Repeat(QStringLiteral("k"), 28) + QStringLiteral("(1)"));

  // "_n": the name is cut so that name plus suffix fits in 31, counting from the given name.
  const QStringList target{QStringLiteral("Data"), QStringLiteral("data_1"), name31,
                           Repeat(QStringLiteral("n"), 29) + QStringLiteral("_1")};
  EXPECT_EQ(MakeUniqueSheetName(QStringLiteral("Data"), nullptr, &target, TUniqueSuffix::usUnderscore),
            QStringLiteral("Data_2"));
  EXPECT_EQ(MakeUniqueSheetName(name31, nullptr, &target, TUniqueSuffix::usUnderscore),
            Repeat(QStringLiteral("n"), 29) + QStringLiteral("_2"));
}

TEST(NamingUtils, MakeUniqueFileNameAgainstDiskAndPlan) {
  QTemporaryDir tmp;
  const QDir dir(tmp.path());
  ASSERT_TRUE(WriteFileBytes(dir.filePath(QStringLiteral("out.xlsx")), QByteArray()));
  ASSERT_TRUE(WriteFileBytes(dir.filePath(QStringLiteral("rep(1).xlsx")), QByteArray()));
  QDir().mkdir(dir.filePath(QStringLiteral("rep(2).xlsx"))); // a folder takes the name too
  QFile::link(dir.filePath(QStringLiteral("nowhere")), dir.filePath(QStringLiteral("rep(3).xlsx")));

  const QString out = dir.filePath(QStringLiteral("out.xlsx"));
  EXPECT_EQ(MakeUniqueFileName(out, {}, TUniqueSuffix::usUnderscore), dir.filePath(QStringLiteral("out_1.xlsx")));
  EXPECT_EQ(MakeUniqueFileName(out, {dir.filePath(QStringLiteral("OUT_1.XLSX"))}, TUniqueSuffix::usUnderscore),
            dir.filePath(QStringLiteral("out_2.xlsx")));
  // "_n" returns a free given path unchanged; "(n)" always adds a number.
  const QString free = dir.filePath(QStringLiteral("free.xlsx"));
  EXPECT_EQ(MakeUniqueFileName(free, {}, TUniqueSuffix::usUnderscore), free);
  EXPECT_EQ(MakeUniqueFileName(free, {}, TUniqueSuffix::usParen), dir.filePath(QStringLiteral("free(1).xlsx")));
  EXPECT_EQ(MakeUniqueFileName(dir.filePath(QStringLiteral("rep.xlsx")), {dir.filePath(QStringLiteral("rep(4).xlsx"))},
                               TUniqueSuffix::usParen),
            dir.filePath(QStringLiteral("rep(5).xlsx")));
  // The extension starts at the last dot of the file name, not of the folder.
  const QString dotted = tmp.filePath(QStringLiteral("v1.2"));
  QDir().mkdir(dotted);
  ASSERT_TRUE(WriteFileBytes(dotted + QStringLiteral("/noext"), QByteArray()));
  EXPECT_EQ(MakeUniqueFileName(dotted + QStringLiteral("/noext"), {}, TUniqueSuffix::usUnderscore),
            dotted + QStringLiteral("/noext_1"));
  // "_n" keeps base + suffix within 120 characters.
  const QString longBase = Repeat(QStringLiteral("L"), 120);
  ASSERT_TRUE(WriteFileBytes(dir.filePath(longBase + QStringLiteral(".xls")), QByteArray()));
  EXPECT_EQ(MakeUniqueFileName(dir.filePath(longBase + QStringLiteral(".xls")), {}, TUniqueSuffix::usUnderscore),
            dir.filePath(Repeat(QStringLiteral("L"), 118) + QStringLiteral("_1.xls")));
}

TEST(NamingUtils, FormatSeqNumber) {
  struct TCase {
    int Number;
    int Width;
    const char *Expected;
  };
  const std::array<TCase, 6> cases{{{7, 3, "007"}, {1234, 2, "1234"}, {5, 0, "5"}, {5, -2, "5"}, {-5, 3, "-005"}, {0, 1, "0"}}};
  for (const TCase &c : cases) {
    SCOPED_TRACE(c.Expected);
    EXPECT_EQ(FormatSeqNumber(c.Number, c.Width), QString::fromLatin1(c.Expected));
  }
}

TEST(NamingUtils, ExpandNameTemplate) {
  int reads = 0;
  const TNameClock clock = [&] {
    ++reads; // the date and the time are read separately
    return reads == 1 ? QDateTime(QDate(2025, 3, 9), QTime(23, 59, 59)) : QDateTime(QDate(2025, 3, 10), QTime(0, 0, 1));
  };
  EXPECT_EQ(ExpandNameTemplate(QStringLiteral("{book}_{sheet}"), QStringLiteral("D:\\x\\Sales.2024.xlsx"),
                               QStringLiteral("Q1"), QStringLiteral("01")),
            QStringLiteral("Sales.2024_Q1"));
  EXPECT_EQ(ExpandNameTemplate(QStringLiteral("{index}-{date}-{time}-{Book}-{value}"), QStringLiteral("/d/a.xlsx"),
                               QStringLiteral("S"), QStringLiteral("007"), clock),
            QStringLiteral("007-20250309-000001-{Book}-{value}"));
  EXPECT_EQ(reads, 2);
  // Text brought in by {book} is expanded by the later placeholders.
  EXPECT_EQ(ExpandNameTemplate(QStringLiteral("{book}|{sheet}"), QStringLiteral("/d/x{sheet}.xlsx"),
                               QStringLiteral("S1"), QString()),
            QStringLiteral("xS1|S1"));
  EXPECT_EQ(ExpandNameTemplate(QStringLiteral("{book}_{value}_{rows}x{cols}_{index}"), QStringLiteral("/d/b"),
                               QStringLiteral("S"), QStringLiteral("001"), QStringLiteral("华东"), 120, 8),
            QStringLiteral("b_华东_120x8_001"));
}

TEST(NamingUtils, SplitNameListAndDedup) {
  EXPECT_EQ(SplitNameList(QStringLiteral("a；b，c、d|e"), true, false),
            (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d"),
                         QStringLiteral("e")}));
  EXPECT_EQ(SplitNameList(QStringLiteral("A;a"), true, true), QStringList{QStringLiteral("A")});
  EXPECT_EQ(SplitNameList(QStringLiteral(" x \r\n\r\n  \ry,z"), false, false),
            (QStringList{QStringLiteral(" x "), QStringLiteral("y"), QStringLiteral("z")}));
  QStringList names{QStringLiteral("Ä"), QStringLiteral("b"), QStringLiteral("ä"), QStringLiteral("B"),
                    QStringLiteral("c")};
  DedupNames(names);
  EXPECT_EQ(names, (QStringList{QStringLiteral("Ä"), QStringLiteral("b"), QStringLiteral("c")}));

  EXPECT_EQ(NameListEncodingFromText(QStringLiteral(" utf-8")), TNameListEncoding::Utf8);
  EXPECT_EQ(NameListEncodingFromText(QStringLiteral("ansi(gbk)")), TNameListEncoding::Gbk);
  EXPECT_EQ(NameListEncodingFromText(NameListEncodingItems().first()), TNameListEncoding::Auto);
  EXPECT_EQ(NameListEncodingFromText(QStringLiteral("GBK")), TNameListEncoding::Auto);
}

class NameListFile : public ::testing::Test {
protected:
  struct TRecordingView : TLogViewSink {
    QStringList Lines;
    void AppendLogLine(const QString &ALine, TLogLevel) override { Lines << ALine; }
    void ClearLog() override {}
  };

  void SetUp() override { GLogger = &FLogger; }
  void TearDown() override { GLogger = nullptr; }

  QTemporaryDir FDir;
  TRecordingView FView;
  TLogger FLogger{&FView, QString()};
};

TEST_F(NameListFile, ReadsEveryEncoding) {
  const QString text = QStringLiteral("华东\r\n 华南 \r\n\r\n   \nsales\rSALES\n");
  const QStringList expected{QStringLiteral("华东"), QStringLiteral("华南"), QStringLiteral("sales")};
  struct TCase {
    const char *Name;
    QByteArray Bytes;
    TNameListEncoding Encoding;
  };
  const std::array<TCase, 7> cases{{
      {"UTF-8 without mark, auto", text.toUtf8(), TNameListEncoding::Auto},
      {"UTF-8 with mark, auto", EncodeText(text, TTextEncoding::teUtf8Bom), TNameListEncoding::Auto},
      {"UTF-8 with mark, UTF-8", EncodeText(text, TTextEncoding::teUtf8Bom), TNameListEncoding::Utf8},
      {"UTF-16LE, auto", EncodeText(text, TTextEncoding::teUtf16LE), TNameListEncoding::Auto},
      {"UTF-16BE, auto", EncodeText(text, TTextEncoding::teUtf16BE), TNameListEncoding::Auto},
      // 华东 = BB AA B6 AB, 华南 = BB AA C4 CF in GBK, as a Chinese Windows Notepad saves them.
      {"GBK, auto", QByteArray("\xBB\xAA\xB6\xAB\r\n \xBB\xAA\xC4\xCF \r\n\r\n   \nsales\rSALES\n"), TNameListEncoding::Auto},
      {"GBK, GBK", QByteArray("\xBB\xAA\xB6\xAB\r\n \xBB\xAA\xC4\xCF \r\n\r\n   \nsales\rSALES\n"), TNameListEncoding::Gbk},
  }};
  const QString path = FDir.filePath(QStringLiteral("names.txt"));
  for (const TCase &c : cases) {
    SCOPED_TRACE(c.Name);
    ASSERT_TRUE(WriteFileBytes(path, c.Bytes));
    EXPECT_EQ(LoadNameListFile(path, c.Encoding, true, true, true), expected);
  }
  EXPECT_TRUE(FView.Lines.isEmpty());

  // GBK chosen for a UTF-8 file decodes wrongly but does not fail.
  ASSERT_TRUE(WriteFileBytes(path, text.toUtf8()));
  const QStringList wrong = LoadNameListFile(path, TNameListEncoding::Gbk, true, true, false);
  EXPECT_EQ(wrong.size(), 4);
  EXPECT_NE(wrong.first(), QStringLiteral("华东"));
}

TEST_F(NameListFile, BlankRulesAndExtension) {
  const QString path = FDir.filePath(QStringLiteral("books.txt"));
  ASSERT_TRUE(WriteFileBytes(path, "a\n\n  \n b.xls\nc.\nd.e/f\n"));
  // Book add without trimming or dropping: only truly empty lines go.
  EXPECT_EQ(LoadNameListFile(path, TNameListEncoding::Utf8, false, false, false, true),
            (QStringList{QStringLiteral("a.xlsx"), QStringLiteral("  .xlsx"), QStringLiteral(" b.xls"),
                         QStringLiteral("c."), QStringLiteral("d.e/f.xlsx")}));
  EXPECT_EQ(LoadNameListFile(path, TNameListEncoding::Utf8, false, true, false, false),
            (QStringList{QStringLiteral("a"), QStringLiteral(" b.xls"), QStringLiteral("c."), QStringLiteral("d.e/f")}));
}

TEST_F(NameListFile, MissingFileIsSilentUnreadableIsLogged) {
  EXPECT_TRUE(LoadNameListFile(FDir.filePath(QStringLiteral("none.txt")), TNameListEncoding::Auto, true, true, true).isEmpty());
  EXPECT_TRUE(LoadNameListFile(QString(), TNameListEncoding::Auto, true, true, true).isEmpty());
  EXPECT_TRUE(LoadNameListFile(FDir.path(), TNameListEncoding::Auto, true, true, true).isEmpty()); // a folder
  EXPECT_TRUE(FView.Lines.isEmpty());

#ifdef Q_OS_LINUX
  // Opens fine but every read fails (EIO at offset 0), also for root.
  EXPECT_TRUE(LoadNameListFile(QStringLiteral("/proc/self/mem"), TNameListEncoding::Auto, true, true, true).isEmpty());
  ASSERT_EQ(FView.Lines.size(), 1);
  EXPECT_TRUE(FView.Lines.first().contains(QStringLiteral("[错误] 读取名称列表失败: "))) << FView.Lines.first().toStdString();
#endif
}
