#include "TestFiles.h"
#include "core/Settings.h"
#include "core/TextCodec.h"

#include <QFile>
#include <QTemporaryDir>
#include <array>
#include <gtest/gtest.h>

using TestSupport::ReadFileBytes;
using TestSupport::WriteFileBytes;

namespace {

class SettingsFile : public ::testing::Test {
protected:
  QTemporaryDir FDir;
  QString FPath = FDir.filePath(QStringLiteral("Tabulyx.ini"));
};

} // namespace

TEST_F(SettingsFile, GarbageValuesFallBackToDefaults) {
  ASSERT_TRUE(WriteFileBytes(FPath, "; comment=1\n"
                                   "[BookSplitForm]\n"
                                   "FormWidth=abc\n"
                                   "FormHeight = 480 \n"
                                   "GridHeight=12px\n"
                                   "Huge=99999999999\n"
                                   "Neg=-7\n"
                                   "Empty=\n"
                                   "Quoted=\"  padded  \"\n"
                                   "Flag=yes\n"
                                   "Flag2=-1\n"
                                   "Flag3=2\n"
                                   "Flag4=0\n"
                                   "Flag5=True\n"));
  const TIniFile ini(FPath);
  struct TIntCase {
    const char *Key;
    int Expected;
  };
  const std::array<TIntCase, 7> ints{{{"FormWidth", 55},
                                      {"FormHeight", 480},
                                      {"GridHeight", 55},
                                      {"Huge", 55},
                                      {"Neg", -7},
                                      {"Empty", 55},
                                      {"Missing", 55}}};
  for (const TIntCase &c : ints) {
    SCOPED_TRACE(c.Key);
    EXPECT_EQ(ini.ReadInteger(QStringLiteral("booksplitform"), QString::fromLatin1(c.Key), 55), c.Expected);
  }
  // Booleans are integers: text that is not one keeps the default, any non-zero number is true.
  EXPECT_TRUE(ini.ReadBool(QStringLiteral("BookSplitForm"), QStringLiteral("Flag"), true));
  EXPECT_FALSE(ini.ReadBool(QStringLiteral("BookSplitForm"), QStringLiteral("Flag"), false));
  EXPECT_TRUE(ini.ReadBool(QStringLiteral("BookSplitForm"), QStringLiteral("Flag2"), false));
  EXPECT_TRUE(ini.ReadBool(QStringLiteral("BookSplitForm"), QStringLiteral("Flag3"), false));
  EXPECT_FALSE(ini.ReadBool(QStringLiteral("BookSplitForm"), QStringLiteral("Flag4"), true));
  EXPECT_FALSE(ini.ReadBool(QStringLiteral("BookSplitForm"), QStringLiteral("Flag5"), false));
  EXPECT_EQ(ini.ReadString(QStringLiteral("BookSplitForm"), QStringLiteral("Quoted"), QString()),
            QStringLiteral("  padded  "));
  EXPECT_EQ(ini.ReadString(QStringLiteral("NoSection"), QStringLiteral("FormWidth"), QStringLiteral("d")),
            QStringLiteral("d"));
  EXPECT_FALSE(ini.ValueExists(QString(), QStringLiteral("comment"))); // a comment is no key
  EXPECT_EQ(TIniFile(FDir.filePath(QStringLiteral("none.ini"))).ReadInteger(QStringLiteral("A"), QStringLiteral("B"), 3), 3);
}

TEST_F(SettingsFile, WritesKeepTheRestOfTheFile) {
  ASSERT_TRUE(WriteFileBytes(FPath, "[MainForm]\r\n; keep me\r\nWidth=800\r\n\r\n[Other]\r\nX=1\r\n"));
  TIniFile ini(FPath);
  ini.WriteInteger(QStringLiteral("mainform"), QStringLiteral("WIDTH"), 1024);
  ini.WriteBool(QStringLiteral("MainForm"), QStringLiteral("DebugEnabled"), true);
  ini.WriteBool(QStringLiteral("Other"), QStringLiteral("Y"), false);
  ini.WriteString(QStringLiteral("New"), QStringLiteral("Text"), QStringLiteral(" a\nb "));
  EXPECT_EQ(ReadFileBytes(FPath), QByteArray("[MainForm]\r\n; keep me\r\nWIDTH=1024\r\nDebugEnabled=1\r\n\r\n"
                                         "[Other]\r\nX=1\r\nY=0\r\n\r\n[New]\r\nText=\" a b \"\r\n"));
  EXPECT_EQ(ini.ReadString(QStringLiteral("New"), QStringLiteral("Text"), QString()), QStringLiteral(" a b "));
  EXPECT_EQ(ini.ReadSection(QStringLiteral("MainForm")), (QStringList{QStringLiteral("WIDTH"), QStringLiteral("DebugEnabled")}));

  ini.EraseSection(QStringLiteral("other"));
  ini.DeleteKey(QStringLiteral("MainForm"), QStringLiteral("Width"));
  EXPECT_EQ(ini.ReadSections(), (QStringList{QStringLiteral("MainForm"), QStringLiteral("New")}));
  EXPECT_FALSE(ini.ValueExists(QStringLiteral("MainForm"), QStringLiteral("Width")));

  // Nowhere to write: silently lost, nothing raised.
  TIniFile lost(FDir.filePath(QStringLiteral("missing/dir/Tabulyx.ini")));
  lost.WriteInteger(QStringLiteral("A"), QStringLiteral("B"), 1);
  EXPECT_EQ(lost.ReadInteger(QStringLiteral("A"), QStringLiteral("B"), 7), 7);
}

TEST_F(SettingsFile, RewritingTheSameValueLeavesTheFileAlone) {
  // No final line break: a real rewrite would add one.
  const QByteArray original("[Layout]\nFormWidth=640\nNote=x");
  ASSERT_TRUE(WriteFileBytes(FPath, original));
  TIniFile ini(FPath);
  ini.WriteInteger(QStringLiteral("Layout"), QStringLiteral("FormWidth"), 640);
  EXPECT_EQ(ReadFileBytes(FPath), original);
  ini.WriteInteger(QStringLiteral("Layout"), QStringLiteral("FormWidth"), 800);
  EXPECT_EQ(ini.ReadInteger(QStringLiteral("Layout"), QStringLiteral("FormWidth"), 0), 800);
  EXPECT_TRUE(ReadFileBytes(FPath).startsWith("[Layout]\nFormWidth=800\n"));
}

TEST_F(SettingsFile, ReadsGbkFileAndKeepsItGbkWhileItFits) {
  // Written on a Chinese Windows machine: 报表 is B1 A8 B1 ED, 中文 is D6 D0 CE C4 in GBK.
  ASSERT_TRUE(WriteFileBytes(FPath, "[RenameForm]\r\nPrefix=\xB1\xA8\xB1\xED\r\nFind=\xD6\xD0\xCE\xC4\r\n"));
  TIniFile ini(FPath);
  EXPECT_EQ(ini.ReadString(QStringLiteral("RenameForm"), QStringLiteral("Prefix"), QString()), QStringLiteral("报表"));

  ini.WriteString(QStringLiteral("RenameForm"), QStringLiteral("Suffix"), QStringLiteral("中文"));
  EXPECT_EQ(ReadFileBytes(FPath), QByteArray("[RenameForm]\r\nPrefix=\xB1\xA8\xB1\xED\r\nFind=\xD6\xD0\xCE\xC4\r\n"
                                         "Suffix=\xD6\xD0\xCE\xC4\r\n"));

  // A character GBK cannot hold turns the file into UTF-8 rather than losing it.
  ini.WriteString(QStringLiteral("RenameForm"), QStringLiteral("Korean"), QStringLiteral("한글"));
  EXPECT_TRUE(IsValidUtf8(ReadFileBytes(FPath)));
  EXPECT_EQ(ini.ReadString(QStringLiteral("RenameForm"), QStringLiteral("Korean"), QString()), QStringLiteral("한글"));
  EXPECT_EQ(ini.ReadString(QStringLiteral("RenameForm"), QStringLiteral("Prefix"), QString()), QStringLiteral("报表"));

  // A new file is UTF-8 without a mark.
  const QString fresh = FDir.filePath(QStringLiteral("fresh.ini"));
  TIniFile(fresh).WriteString(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("报表"));
  EXPECT_TRUE(ReadFileBytes(fresh).startsWith("[S]"));
  EXPECT_TRUE(ReadFileBytes(fresh).contains(QStringLiteral("K=报表").toUtf8()));
}

TEST_F(SettingsFile, ReadsUtf16FileWithMark) {
  ASSERT_TRUE(WriteFileBytes(FPath, EncodeText(QStringLiteral("[XlsToPdfForm]\r\nTitle=报表\r\n"), TTextEncoding::teUtf16LE)));
  TIniFile ini(FPath);
  EXPECT_EQ(ini.ReadString(QStringLiteral("XlsToPdfForm"), QStringLiteral("Title"), QString()), QStringLiteral("报表"));
  ini.WriteInteger(QStringLiteral("XlsToPdfForm"), QStringLiteral("N"), 3);
  EXPECT_TRUE(ReadFileBytes(FPath).startsWith(QByteArray("\xFF\xFE[\0", 4)));
}

TEST(RowValues, BooleanAndComboRules) {
  struct TCase {
    QVariant Value;
    bool Expected;
  };
  const std::array<TCase, 12> cases{{{QVariant(), false},
                                     {QVariant(QString()), false},
                                     {QVariant(QStringLiteral("true ")), true},
                                     {QVariant(QStringLiteral("TRUE")), true},
                                     {QVariant(QStringLiteral("yes")), false},
                                     {QVariant(QStringLiteral(" 1 ")), true},
                                     {QVariant(QStringLiteral("-1")), true},
                                     {QVariant(QStringLiteral("2")), false},
                                     {QVariant(QStringLiteral("0")), false},
                                     {QVariant(true), true},
                                     {QVariant(false), false},
                                     {QVariant(1), true}}};
  for (const TCase &c : cases) {
    SCOPED_TRACE(c.Value.toString().toStdString());
    EXPECT_EQ(RowValueToBool(c.Value), c.Expected);
  }
  EXPECT_EQ(RowValueToText(QVariant()), QString());
  EXPECT_EQ(RowValueToText(QVariant(12)), QStringLiteral("12"));

  const QStringList items{QStringLiteral("自动(BOM识别)"), QStringLiteral("UTF-8"), QStringLiteral("ANSI(GBK)")};
  EXPECT_EQ(RowValueToComboIndex(QVariant(QStringLiteral(" utf-8 ")), items), 1);
  EXPECT_EQ(RowValueToComboIndex(QVariant(QStringLiteral("ansi(gbk)")), items), 2);
  EXPECT_EQ(RowValueToComboIndex(QVariant(QStringLiteral("GBK")), items, 0), 0);
}
