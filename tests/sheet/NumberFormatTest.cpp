// Number-format engine: one probe set per code, plus the corners Excel is known for.

#include "sheet/NumberFormat.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <ostream>

// Readable QString values in failure messages.
inline void PrintTo(const QString &AText, std::ostream *AOut) {
  *AOut << '"' << AText.toStdString() << '"';
}

namespace {

QString U(const char *AText) { return QString::fromUtf8(AText); }

// One row per code: what Excel shows for a positive number, a negative number, zero and a text.
struct TProbe {
  const char *Code;
  const char *Positive;
  const char *Negative;
  const char *Zero;
  const char *Text;
};

void CheckProbes(const TProbe *AProbes, size_t ACount, double APositive, double ANegative) {
  for (size_t i = 0; i < ACount; ++i) {
    const TProbe &p = AProbes[i];
    SCOPED_TRACE(p.Code);
    const QString code = U(p.Code);
    EXPECT_EQ(FormatNumberValue(APositive, code, false), U(p.Positive));
    EXPECT_EQ(FormatNumberValue(ANegative, code, false), U(p.Negative));
    EXPECT_EQ(FormatNumberValue(0, code, false), U(p.Zero));
    EXPECT_EQ(FormatTextValue(QStringLiteral("abc"), code), U(p.Text));
  }
}

TEST(NumberFormat, NumberCodesProbeSet) {
  static const TProbe probes[] = {
      {"General", "1234.567", "-1234.567", "0", "abc"},
      {"0", "1235", "-1235", "0", "abc"},
      {"0.00", "1234.57", "-1234.57", "0.00", "abc"},
      {"#,##0", "1,235", "-1,235", "0", "abc"},
      {"#,##0.00", "1,234.57", "-1,234.57", "0.00", "abc"},
      {"0%", "123457%", "-123457%", "0%", "abc"},
      {"0.00%", "123456.70%", "-123456.70%", "0.00%", "abc"},
      {"0.00E+00", "1.23E+03", "-1.23E+03", "0.00E+00", "abc"},
      {"##0.0E+0", "1.2E+3", "-1.2E+3", "0.0E+0", "abc"},
      {"# ?/?", "1234 4/7", "-1234 4/7", "0    ", "abc"},
      {"# ?\?/??", "1234 55/97", "-1234 55/97", "0      ", "abc"},
      {"# ?/8", "1234 5/8", "-1234 5/8", "0    ", "abc"},
      {"0.0,", "1.2", "-1.2", "0.0", "abc"},
      {"#,##0,\"K\"", "1K", "-1K", "0K", "abc"},
      {"#.##", "1234.57", "-1234.57", ".", "abc"},
      {"0.0#", "1234.57", "-1234.57", "0.0", "abc"},
      {"000000", "001235", "-001235", "000000", "abc"},
      {"$#,##0.00_);($#,##0.00)", "$1,234.57 ", "($1,234.57)", "$0.00 ", "abc"},
      {"0.00;[Red]-0.00", "1234.57", "-1234.57", "0.00", "abc"},
      {"0;-0;\"zero\";\"text:\"@", "1235", "-1235", "zero", "text:abc"},
      {"0;(0);\"-\"", "1235", "(1235)", "-", "abc"},
      {"@", "1234.567", "-1234.567", "0", "abc"},
      {"0.00;@\"!\"", "1234.57", "-1234.57", "0.00", "abc!"},
      {";;;", "", "", "", ""},
      {"0;", "1235", "", "0", "abc"},
      {"\\$0.00", "$1234.57", "-$1234.57", "$0.00", "abc"},
      {"0\"元\"", "1235元", "-1235元", "0元", "abc"},
      {"#,##0.00 元", "1,234.57 元", "-1,234.57 元", "0.00 元", "abc"},
      {"[$¥-804]#,##0.00", "¥1,234.57", "-¥1,234.57", "¥0.00", "abc"},
      {"[DBNum1]0", "1235", "-1235", "0", "abc"},
      {"General\" pcs\"", "1234.567 pcs", "-1234.567 pcs", "0 pcs", "abc"},
      {"G/通用格式", "1234.567", "-1234.567", "0", "abc"},
      // Chinese-locale accounting format (built-in 43).
      {"_ * #,##0.00_ ;_ * \\-#,##0.00_ ;_ * \"-\"??_ ;_ @_ ", " 1,234.57 ", " -1,234.57 ",
       " -   ", " abc "},
  };
  CheckProbes(probes, std::size(probes), 1234.567, -1234.567);
}

TEST(NumberFormat, DateCodesProbeSet) {
  // 45292.75347222222 is Monday 2024-01-01 18:05:00; negative serials cannot be dates.
  static const TProbe probes[] = {
      {"yyyy/m/d", "2024/1/1", "########", "1900/1/0", "abc"},
      {"yyyy-mm-dd hh:mm:ss", "2024-01-01 18:05:00", "########", "1900-01-00 00:00:00", "abc"},
      {"d-mmm-yy", "1-Jan-24", "########", "0-Jan-00", "abc"},
      {"mmmm d, yyyy", "January 1, 2024", "########", "January 0, 1900", "abc"},
      {"mmmmm ddd dddd", "J Mon Monday", "########", "J Sat Saturday", "abc"},
      {"h:mm AM/PM", "6:05 PM", "########", "12:00 AM", "abc"},
      {"h:mm:ss a/p", "6:05:00 p", "########", "12:00:00 a", "abc"},
      {"[h]:mm:ss", "1087026:05:00", "########", "0:00:00", "abc"},
      {"[mm]:ss", "65221565:00", "########", "00:00", "abc"},
      {"mm:ss.0", "05:00.0", "########", "00:00.0", "abc"},
      {"yyyy\"年\"m\"月\"d\"日\"", "2024年1月1日", "########", "1900年1月0日", "abc"},
      {"上午/下午h\"时\"mm\"分\"", "下午6时05分", "########", "上午12时00分", "abc"},
      {"aaaa", "星期一", "########", "星期六", "abc"},
      {"aaa", "一", "########", "六", "abc"},
      {"[$-804]dddd mmmm", "星期一 一月", "########", "星期六 一月", "abc"},
      {"[$-F800]dddd, mmmm dd, yyyy", "2024年1月1日", "########", "1900年1月0日", "abc"},
      {"[$-409]m/d/yy h:mm;@", "1/1/24 18:05", "########", "1/0/00 0:00", "abc"},
      {"yyyy/m/d;-0;\"none\"", "2024/1/1", "-1", "none", "abc"},
  };
  CheckProbes(probes, std::size(probes), 45292.75347222222, -1);
}

struct TCase {
  const char *Code;
  double Value;
  const char *Expected;
};

void CheckCases(const TCase *ACases, size_t ACount, bool ADate1904 = false) {
  for (size_t i = 0; i < ACount; ++i) {
    const TCase &c = ACases[i];
    SCOPED_TRACE(std::string(c.Code) + " with " + std::to_string(c.Value));
    EXPECT_EQ(FormatNumberValue(c.Value, U(c.Code), ADate1904), U(c.Expected));
  }
}

TEST(NumberFormat, GeneralFitsElevenCharacters) {
  static const TCase cases[] = {
      {"General", 0.1 + 0.2, "0.3"},
      {"General", 1.0 / 3, "0.333333333"},
      {"General", -1.0 / 3, "-0.33333333"},
      {"General", 2.5, "2.5"},
      {"General", 1234567.891, "1234567.891"},
      {"General", 12345678901.0, "12345678901"},
      {"General", -12345678901.0, "-1.2346E+10"},
      {"General", 123456789012.0, "1.23457E+11"},
      {"General", 99999999999.5, "1E+11"},
      {"General", 1e20, "1E+20"},
      {"General", 1e100, "1E+100"},
      {"General", 1e-10, "1E-10"},
      {"General", 0.00001, "0.00001"},
      {"General", 1.23456789e-5, "1.23457E-05"},
      {"General", 0.000123456789, "0.000123457"},
      {"General", 0.99999999999, "1"},
      {"", 42, "42"},
  };
  CheckCases(cases, std::size(cases));
}

TEST(NumberFormat, RoundsHalfAwayFromZeroOnDecimalDigits) {
  static const TCase cases[] = {
      {"0.00", 2.675, "2.68"},     // binary 2.67499999...
      {"0.00", 1.005, "1.01"},
      {"0.00", -2.675, "-2.68"},
      {"0", 0.5, "1"},
      {"0", 2.5, "3"},
      {"0", -0.5, "-1"},
      {"0.00", -0.001, "-0.00"},   // Excel keeps the sign of a value that rounds to zero
      {"#,##0", 1234567.5, "1,234,568"},
      {"0", 1e20, "100000000000000000000"},
      {"0.000", 0.1 + 0.2, "0.300"},
      {"0.0", 9.96, "10.0"},
      {"#,##0.00", 999999.999, "1,000,000.00"},
  };
  CheckCases(cases, std::size(cases));
}

TEST(NumberFormat, PlaceholdersLiteralsAndScaling) {
  static const TCase cases[] = {
      {"(###) ###-####", 5551234567, "(555) 123-4567"},
      {"000-0000", 1234567, "123-4567"},
      {"0.##", 1, "1."},
      {".00", 1.5, "1.50"},
      {"???.??", 1.5, "  1.5 "},
      {"0,000", 5, "0,005"},
      {"0.0,,", 1234567, "1.2"},
      {"0.0%", 0.12345, "12.3%"},
      {"%0", 0.5, "%50"},
      {"0_)", 5, "5 "},
      {"_(* #,##0_)", 5, " 5 "},
      {"\"abc\"", -5, "-abc"},
      {"0 \"m\"\\²", 3, "3 m²"},
      {"#,##0 AED", 1234, "1,234 AED"},  // letters beside digit placeholders are a unit
      {"0.0 kg", 2, "2.0 kg"},
  };
  CheckCases(cases, std::size(cases));
}

TEST(NumberFormat, ScientificAndFractions) {
  static const TCase cases[] = {
      {"0.00E+00", 0.000123, "1.23E-04"},
      {"0.00E-00", 12345, "1.23E04"},
      {"0.00E-00", 0.000123, "1.23E-04"},
      {"0E+0", 9.6, "1E+1"},
      {"0.0E+0", 9.99, "1.0E+1"},
      {"##0.0E+0", 12345, "12.3E+3"},
      {"##0.0E+0", 0.001234, "1.2E-3"},
      {"00.00E+00", 12345, "12.35E+03"},
      {"# ?/?", 0.5, " 1/2"},
      {"# ?/?", 1.25, "1 1/4"},
      {"# ?/?", 2, "2    "},
      {"# ?/?", 0.99, "1    "},
      {"?/?", 1.25, "5/4"},
      {"# ?\?/16", 0.3, "  5/16"},
      {"0 ?/?", 0.5, "0 1/2"},
      {"# ??\?/???", 3.14159265, "3  16/113"},
  };
  CheckCases(cases, std::size(cases));
}

TEST(NumberFormat, ConditionsChooseSections) {
  static const TCase cases[] = {
      {"[>100]\"big\";[<=100]\"small\"", 150, "big"},
      {"[>100]\"big\";[<=100]\"small\"", 50, "small"},
      {"[=1]\"one\";[=2]\"two\";\"other\"", 2, "two"},
      {"[=1]\"one\";[=2]\"two\";\"other\"", 3, "other"},
      {"[>=1000]#,##0,\"K\";0", 1500, "2K"},
      {"[>=1000]#,##0,\"K\";0", 999, "999"},
      {"[>=1000]#,##0,\"K\";0", -5000, "-5000"},  // custom conditions keep the sign
      {"[>=0]0;[<0]\"neg \"0", -5, "neg 5"},       // ...standard ones do not
      {"[<0]\"\";0%", -5, ""},                      // a first section for negatives hides them
      {"[<0]\"\";0%", 0.5, "50%"},
      {"[>=1000000]0.0,,\"M\";[>=1000]0.0,\"K\";0", 2500000, "2.5M"},
      {"[>=1000000]0.0,,\"M\";[>=1000]0.0,\"K\";0", 2500, "2.5K"},
      {"[>=1000000]0.0,,\"M\";[>=1000]0.0,\"K\";0", -5, "-5"},
      {"[<=9999999]###-####;(###) ###-####", 5551234, "555-1234"},
      {"[<=9999999]###-####;(###) ###-####", 5551234567, "(555) 123-4567"},
      {"[>100]0;[<-100]0", 5, "########"},  // no section applies
  };
  CheckCases(cases, std::size(cases));
}

TEST(NumberFormat, ColoursBelongToTheChosenSection) {
  auto red = FormatNumberValueEx(-3, QStringLiteral("0.00;[Red]-0.00"), false);
  EXPECT_EQ(red.Text, QStringLiteral("-3.00"));
  ASSERT_TRUE(red.Color.Valid);
  EXPECT_EQ(red.Color.Index, 3);
  EXPECT_EQ(red.Color.Rgb, 0xFF0000u);
  EXPECT_FALSE(FormatNumberValueEx(3, QStringLiteral("0.00;[Red]-0.00"), false).Color.Valid);

  auto indexed = FormatNumberValueEx(1, QStringLiteral("[Color10]0"), false);
  EXPECT_EQ(indexed.Color.Index, 10);
  EXPECT_EQ(indexed.Color.Rgb, 0x008000u);
  EXPECT_EQ(FormatNumberValueEx(1, U("[蓝色]0"), false).Color.Rgb, 0x0000FFu);
  EXPECT_FALSE(FormatNumberValueEx(1, QStringLiteral("[Color99]0"), false).Color.Valid);

  auto text = FormatTextValueEx(QStringLiteral("x"), QStringLiteral("0;0;0;[Blue]@"));
  EXPECT_EQ(text.Text, QStringLiteral("x"));
  EXPECT_EQ(text.Color.Index, 5);
}

TEST(NumberFormat, DateSerialsAndTimeRounding) {
  static const TCase cases[] = {
      {"yyyy-mm-dd", 1, "1900-01-01"},
      {"yyyy-mm-dd", 59, "1900-02-28"},
      {"yyyy-mm-dd", 60, "1900-02-29"},  // the leap day Excel inherited from Lotus 1-2-3
      {"yyyy-mm-dd", 61, "1900-03-01"},
      {"yyyy-mm-dd dddd", 45292, "2024-01-01 Monday"},
      {"yyyy-mm-dd", 2958465, "9999-12-31"},
      {"yyyy-mm-dd", 2958466, "########"},
      {"h:mm:ss", 0.99999999, "0:00:00"},
      {"yyyy-mm-dd hh:mm", 45292.999999999, "2024-01-02 00:00"},
      {"h:mm", (10 * 3600 + 59 * 60 + 30) / 86400.0, "10:59"},
      {"h:mm:ss", (10 * 3600 + 59 * 60 + 59.6) / 86400.0, "11:00:00"},
      {"hh:mm:ss.000", 0.5 + 0.1234 / 86400, "12:00:00.123"},
      {"[h]:mm", 1.5, "36:00"},
      {"h:mm", 1.5, "12:00"},
      {"[s]", 1.0 / 24, "3600"},
      {"yy", 45292, "24"},
      {"mm/dd", 45292, "01/01"},
      {"m", 45292, "1"},
      {"h:m", 0.5 + 60.0 / 86400 * 7, "12:7"},
      {"m:s", 0.5 + 65.0 / 86400, "1:5"},
  };
  CheckCases(cases, std::size(cases));
  static const TCase cases1904[] = {
      {"yyyy-mm-dd dddd", 0, "1904-01-01 Friday"},
      {"yyyy-mm-dd", 1, "1904-01-02"},
      {"yyyy-mm-dd", 43830, "2024-01-01"},
  };
  CheckCases(cases1904, std::size(cases1904), true);
}

TEST(NumberFormat, TextSections) {
  EXPECT_EQ(FormatTextValue(QStringLiteral("5"), QStringLiteral("@\" kg\"")), QStringLiteral("5 kg"));
  EXPECT_EQ(FormatTextValue(QStringLiteral("abc"), QStringLiteral("\"[\"@\"]\"")), QStringLiteral("[abc]"));
  EXPECT_EQ(FormatTextValue(QStringLiteral("ab"), QStringLiteral("0;0;0;@@")), QStringLiteral("abab"));
  EXPECT_EQ(FormatTextValue(QStringLiteral("ab"), QStringLiteral("0;0;0;\"none\"")), QStringLiteral("none"));
  EXPECT_EQ(FormatTextValue(QStringLiteral("ab"), QStringLiteral("0.00")), QStringLiteral("ab"));
  EXPECT_EQ(FormatTextValue(QStringLiteral("ab"), QStringLiteral("yyyy-mm-dd")), QStringLiteral("ab"));
}

TEST(NumberFormat, BuiltinCodesAndDateDetection) {
  EXPECT_EQ(BuiltinNumberFormatCode(0), QStringLiteral("General"));
  EXPECT_EQ(BuiltinNumberFormatCode(14), QStringLiteral("yyyy/m/d"));
  EXPECT_EQ(BuiltinNumberFormatCode(31), U("yyyy\"年\"m\"月\"d\"日\""));
  EXPECT_TRUE(BuiltinNumberFormatCode(23).isEmpty());
  EXPECT_TRUE(BuiltinNumberFormatCode(-1).isEmpty());
  EXPECT_TRUE(BuiltinNumberFormatCode(164).isEmpty());
  // Every built-in code renders, and exactly the date/time ids count as dates.
  for (int id = 0; id < 60; ++id) {
    const QString code = BuiltinNumberFormatCode(id);
    if (code.isEmpty())
      continue;
    SCOPED_TRACE(id);
    const bool date = (id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47) ||
                      (id >= 50 && id <= 58);
    EXPECT_EQ(IsDateFormatCode(code), date);
    EXPECT_FALSE(FormatNumberValue(45292.5, code, false).isEmpty());
  }
  EXPECT_EQ(FormatNumberValue(45292.5, BuiltinNumberFormatCode(22), false), QStringLiteral("2024/1/1 12:00"));
  EXPECT_EQ(FormatNumberValue(45292.5, BuiltinNumberFormatCode(32), false), U("12时00分"));
  EXPECT_EQ(FormatNumberValue(-5, BuiltinNumberFormatCode(8), false), U("¥-5.00"));
  EXPECT_FALSE(IsDateFormatCode(QStringLiteral("0.00\"d\"")));
  EXPECT_FALSE(IsDateFormatCode(QStringLiteral("@")));
  EXPECT_TRUE(IsDateFormatCode(QStringLiteral("[h]:mm")));
  EXPECT_TRUE(IsDateFormatCode(QStringLiteral("[$-F800]dddd, mmmm dd, yyyy")));
}

TEST(NumberFormat, SerialToDateTime) {
  TExcelDateTime dt;
  ASSERT_TRUE(ExcelSerialToDateTime(45292.75347222222, false, dt));
  EXPECT_EQ(dt.Year, 2024);
  EXPECT_EQ(dt.Month, 1);
  EXPECT_EQ(dt.Day, 1);
  EXPECT_EQ(dt.Hour, 18);
  EXPECT_EQ(dt.Minute, 5);
  EXPECT_EQ(dt.DayOfWeek, 1);
  ASSERT_TRUE(ExcelSerialToDateTime(60, false, dt));
  EXPECT_EQ(dt.Month * 100 + dt.Day, 229);
  EXPECT_FALSE(ExcelSerialToDateTime(-1, false, dt));
  EXPECT_FALSE(ExcelSerialToDateTime(3e6, false, dt));
}

TEST(NumberFormat, MalformedCodesDoNotCrash) {
  static const char *const codes[] = {
      "\"unterminated", "[Red", "0.00;;;;;;", "\\", "_", "*", "[", "]", "[]", "[$", "[$-",
      "[>]0", "[=abc]0", "E+", "0E+", "#/#", "0/0", "?/0", "?\?/???????????", "[Color99]0",
      "yyyyyyyyyy", "mmmmmmmm", "ddddddd", "hhhhh", "[hhhhh]", "[h", ".....", ",,,,",
      "%%%%", "0.0.0", "0E+0E+0", "@;@;@;@", "[$-F800]", "[$-F400]", "上午/", "a/", "AM/",
      "0;[Red]", ";", "[>1][<2][=3]0", "\"\"\"\"", "0.000000000000000000000000000000"};
  const double values[] = {0, 1.5, -1.5, 1e308, -1e308, 1e-308, 45292.5,
                           std::numeric_limits<double>::infinity(),
                           std::numeric_limits<double>::quiet_NaN()};
  for (const char *code : codes) {
    SCOPED_TRACE(code);
    for (double v : values) {
      (void)FormatNumberValue(v, U(code), false);
      (void)FormatNumberValue(v, U(code), true);
    }
    (void)FormatTextValue(QStringLiteral("abc"), U(code));
    (void)IsDateFormatCode(U(code));
  }
  // Sensible results for a few of them.
  EXPECT_EQ(FormatNumberValue(5, QStringLiteral("\"unterminated"), false), QStringLiteral("unterminated"));
  EXPECT_EQ(FormatNumberValue(5, QStringLiteral("0.00;;;;;;"), false), QStringLiteral("5.00"));
  EXPECT_EQ(FormatNumberValue(5, QStringLiteral("[=abc]0"), false), QStringLiteral("5"));
  EXPECT_EQ(FormatNumberValue(1e308, QStringLiteral("0"), false).size(), 309);
  EXPECT_EQ(FormatNumberValue(1.0 / 3, QStringLiteral("?\?/???????????"), false),
            QStringLiteral(" 1/3          "));
}

} // namespace
