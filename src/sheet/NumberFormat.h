#pragma once
// Renders cell values as Excel shows them under a number-format code: General, the built-in
// formats (also those of the Chinese locale) and custom codes with sections, colours, conditions,
// dates and times, elapsed time, fractions, scientific and text sections.
//
// Usage:
//   QString text = FormatNumberValue(45292.5, "yyyy/m/d h:mm", false);   // "2024/1/1 12:00"
//   QString red  = FormatNumberValue(-3, "0.00;[Red]-0.00", false);      // "-3.00"
//   TNumberFormatResult r = FormatNumberValueEx(-3, "0.00;[Red]-0.00", false); // r.Color == red
//
// Caveats:
// - Parsed codes are cached in a process-wide table that is NOT thread-safe; call from one thread
//   (the UI thread) only.
// - Booleans and error values are not numbers: the caller shows "TRUE"/"FALSE" and "#N/A" etc.
// - General follows Excel's rule for a standard-width column: at most 11 characters including
//   sign and decimal point, switching to scientific notation when the number does not fit.
// - A date/time code applied to a negative serial or to one past 9999-12-31 gives a run of '#'
//   (Excel fills the cell with '#'; we cannot know the width, so the text is "########"), and so
//   does a number that no conditional section accepts ("[>100]0;[<-100]0" with 5).
// - The minus sign goes in front of the section's whole text ("$#,##0" shows -5 as "-$5"); a
//   section that stands for negatives ("0;(0)", "[<0]...") writes its own sign instead.
// - Month and weekday names are English unless the section names a Chinese locale ([$-804]);
//   "aaa"/"aaaa" always give the Chinese weekday ("一"/"星期一").

#include <QString>
#include <cstdint>

// Code of a built-in number format id (0..49 and the ids Excel uses in the Chinese locale,
// 27..36, 50..58); empty when unknown. Id 14 is "yyyy/m/d", as the Chinese locale shows it.
QString BuiltinNumberFormatCode(int AId);

// The text Excel shows for a number under a format code ("General" or an empty code for general).
QString FormatNumberValue(double AValue, const QString &AFormatCode, bool ADate1904);

// The text Excel shows for a text cell under a format code (text section "@" rules; a code
// without a text section shows the text unchanged).
QString FormatTextValue(const QString &AText, const QString &AFormatCode);

// True when the code formats numbers as dates/times (used by dump to flag dates).
bool IsDateFormatCode(const QString &AFormatCode);

// A colour a section asks for ([Red], [Color12]); Valid is false when the section names none.
struct TNumberFormatColor {
  bool Valid = false;
  int Index = 0;        // Excel palette index 1..56 ([Black] = 1, [White] = 2, [Red] = 3, ...)
  std::uint32_t Rgb = 0; // 0xRRGGBB of that palette entry
};

// Text plus the colour of the section that produced it.
struct TNumberFormatResult {
  QString Text;
  TNumberFormatColor Color;
};

TNumberFormatResult FormatNumberValueEx(double AValue, const QString &AFormatCode, bool ADate1904);
TNumberFormatResult FormatTextValueEx(const QString &AText, const QString &AFormatCode);

// General format alone (the 11-character rule), e.g. for formula results shown as text.
QString FormatGeneralNumber(double AValue);

// Calendar parts of an Excel serial date. Serial 0 is 1900-01-00 and serial 60 the 1900-02-29
// that Excel (like Lotus 1-2-3) believes in; with the 1904 system serial 0 is 1904-01-01.
// Returns false for serials that are negative or past 9999-12-31.
struct TExcelDateTime {
  int Year = 0, Month = 0, Day = 0;     // Day 0 for serial 0 in the 1900 system
  int Hour = 0, Minute = 0, Second = 0;
  double SubSecond = 0;                 // fraction of a second, 0 <= x < 1
  int DayOfWeek = 0;                    // 0 = Sunday .. 6 = Saturday
};
bool ExcelSerialToDateTime(double ASerial, bool ADate1904, TExcelDateTime &AResult);
