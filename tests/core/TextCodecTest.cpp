#include "core/TextCodec.h"

#include <QFile>
#include <QTemporaryDir>
#include <array>
#include <gtest/gtest.h>

TEST(TextCodec, Utf8Validation) {
  struct TCase {
    const char *Name;
    QByteArray Bytes;
    bool Valid;
  };
  const std::array<TCase, 11> cases{{
      {"ASCII", QByteArray("plain"), true},
      {"Chinese", QStringLiteral("中文").toUtf8(), true},
      {"four-byte emoji", QStringLiteral("😀").toUtf8(), true},
      {"GBK bytes of 中文", QByteArray("\xD6\xD0\xCE\xC4"), false},
      {"truncated at the end", QByteArray("a\xE4\xB8"), false},
      {"overlong slash", QByteArray("\xC0\xAF"), false},
      {"overlong three-byte", QByteArray("\xE0\x80\xAF"), false},
      {"UTF-16 surrogate", QByteArray("\xED\xA0\x80"), false},
      {"above U+10FFFF", QByteArray("\xF4\x90\x80\x80"), false},
      {"lone continuation", QByteArray("a\x80"), false},
      {"empty", QByteArray(), true},
  }};
  for (const TCase &c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(IsValidUtf8(c.Bytes), c.Valid);
  }
}

TEST(TextCodec, DetectsAndRoundTripsEveryEncoding) {
  const QString text = QStringLiteral("报表,Sales\r\n华东");
  struct TCase {
    TTextEncoding Encoding;
    const char *Name;
  };
  const std::array<TCase, 5> cases{{{TTextEncoding::teUtf8, "UTF-8"},
                                    {TTextEncoding::teUtf8Bom, "UTF-8 with mark"},
                                    {TTextEncoding::teUtf16LE, "UTF-16LE"},
                                    {TTextEncoding::teUtf16BE, "UTF-16BE"},
                                    {TTextEncoding::teGbk, "GBK"}}};
  for (const TCase &c : cases) {
    SCOPED_TRACE(c.Name);
    const TDecodedText decoded = DecodeText(EncodeText(text, c.Encoding));
    EXPECT_EQ(decoded.Text, text);
    EXPECT_EQ(decoded.Encoding, c.Encoding);
  }
  // Real GBK bytes, not our own encoder's.
  EXPECT_EQ(EncodeText(QStringLiteral("中文"), TTextEncoding::teGbk), QByteArray("\xD6\xD0\xCE\xC4"));
  EXPECT_EQ(DecodeText(QByteArray("\xB1\xA8\xB1\xED.xlsx")).Text, QStringLiteral("报表.xlsx"));
  // An explicit choice wins over detection, and only UTF-8 skips its own mark.
  EXPECT_EQ(DecodeText(QByteArray("\xEF\xBB\xBFok"), TTextDecoding::tdUtf8).Text, QStringLiteral("ok"));
  EXPECT_NE(DecodeText(QByteArray("\xEF\xBB\xBFok"), TTextDecoding::tdGbk).Text, QStringLiteral("ok"));
  EXPECT_EQ(DecodeText(QByteArray("a\xFF" "b"), TTextDecoding::tdUtf8).Text, QStringLiteral("a\uFFFDb"));

  EXPECT_TRUE(CanEncodeGbk(QStringLiteral("报表 ABC ０１")));
  EXPECT_FALSE(CanEncodeGbk(QStringLiteral("한글")));
  EXPECT_FALSE(CanEncodeGbk(QStringLiteral("😀")));
}

TEST(TextCodec, SplitsLinesAtEveryBreak) {
  EXPECT_EQ(SplitTextLines(QStringLiteral("a\r\nb\nc\rd")),
            (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d")}));
  EXPECT_EQ(SplitTextLines(QStringLiteral("a\n\n")), (QStringList{QStringLiteral("a"), QString()}));
  EXPECT_EQ(SplitTextLines(QStringLiteral("\r\n")), QStringList{QString()});
  EXPECT_TRUE(SplitTextLines(QString()).isEmpty());
}

TEST(TextCodec, ReadAndWriteFiles) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("list.txt"));
  QString error;
  ASSERT_TRUE(WriteTextFile(path, QStringLiteral("路径\r\n"), TTextEncoding::teGbk, &error)) << error.toStdString();
  TDecodedText read;
  ASSERT_TRUE(ReadTextFile(path, TTextDecoding::tdAuto, read));
  EXPECT_EQ(read.Text, QStringLiteral("路径\r\n"));
  EXPECT_EQ(read.Encoding, TTextEncoding::teGbk);

  EXPECT_FALSE(ReadTextFile(dir.filePath(QStringLiteral("none.txt")), TTextDecoding::tdAuto, read, &error));
  EXPECT_FALSE(error.isEmpty());
  EXPECT_FALSE(WriteTextFile(dir.filePath(QStringLiteral("no/dir/x.txt")), QStringLiteral("x"), TTextEncoding::teUtf8, &error));
  EXPECT_FALSE(error.isEmpty());
}
