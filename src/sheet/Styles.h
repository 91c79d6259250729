#pragma once
// The workbook's style table: number formats, fonts, fills, borders and the cell formats (xf)
// that combine them with alignment and protection. Cells refer to a cell format by index.
//
// Usage:
//   const TCellFormat &xf = wb.Styles().CellFormat(cellStyleIndex);
//   QString code = wb.Styles().NumberFormatCode(cellStyleIndex);   // "General", "0.00%", ...
//   int bold = wb.Styles().AddFont(f);  int xfIndex = wb.Styles().AddCellFormat(xf);
//
// Caveats: index 0 of each list is the default Excel requires; AddXxx appends without looking for
// an equal entry except AddNumberFormat, which reuses a code that is already there.

#include <QByteArray>
#include <QHash>
#include <QString>
#include <cstdint>
#include <map>
#include <vector>

// A colour as Excel stores it: automatic, an ARGB value, a palette index or a theme colour with
// a tint.
struct TColor {
  enum TKind : std::uint8_t { ckNone, ckAuto, ckRgb, ckIndexed, ckTheme };
  TKind Kind = ckNone;
  std::uint32_t Argb = 0;
  int Index = 0; // palette index (ckIndexed) or theme slot (ckTheme)
  double Tint = 0;
  bool IsSet() const { return Kind != ckNone; }
  bool operator==(const TColor &) const = default;
};

struct TFont {
  QString Name = QStringLiteral("Calibri");
  double Size = 11;
  bool Bold = false, Italic = false, Strike = false, Outline = false, Shadow = false;
  bool Condense = false, Extend = false;
  QString Underline;  // "", "single", "double", "singleAccounting", "doubleAccounting"
  QString VertAlign;  // "", "superscript", "subscript", "baseline"
  QString Scheme;     // "", "minor", "major"
  int Family = -1;    // -1 when unset
  int Charset = -1;
  TColor Color;
  bool operator==(const TFont &) const = default;
};

struct TFill {
  QString PatternType; // "none", "solid", "gray125", ... ("" when a gradient)
  TColor FgColor, BgColor;
  // A gradient fill, which the model does not describe, kept as the reader found it for the
  // writer of the same format.
  QByteArray Opaque;
  bool operator==(const TFill &) const = default;
};

struct TBorderLine {
  QString Style; // "" for none, "thin", "medium", "dashed", ...
  TColor Color;
  bool operator==(const TBorderLine &) const = default;
};

struct TBorder {
  TBorderLine Left, Right, Top, Bottom, Diagonal, Vertical, Horizontal;
  bool DiagonalUp = false, DiagonalDown = false, Outline = true;
  bool operator==(const TBorder &) const = default;
};

struct TAlignment {
  QString Horizontal, Vertical; // "" = general / bottom
  int TextRotation = 0, Indent = 0, RelativeIndent = 0, ReadingOrder = 0;
  bool WrapText = false, ShrinkToFit = false, JustifyLastLine = false;
  bool IsDefault() const { return *this == TAlignment(); }
  bool operator==(const TAlignment &) const = default;
};

struct TProtection {
  bool Locked = true, Hidden = false;
  bool IsDefault() const { return Locked && !Hidden; }
  bool operator==(const TProtection &) const = default;
};

// One cell format (Excel's "xf"): indices into the lists above plus alignment and protection.
struct TCellFormat {
  int NumFmtId = 0, FontId = 0, FillId = 0, BorderId = 0;
  int XfId = 0; // the cell style this format is based on (index into StyleFormats)
  bool ApplyNumberFormat = false, ApplyFont = false, ApplyFill = false, ApplyBorder = false;
  bool ApplyAlignment = false, ApplyProtection = false;
  bool QuotePrefix = false, PivotButton = false;
  TAlignment Alignment;
  TProtection Protection;
  bool operator==(const TCellFormat &) const = default;
};

class TStyleTable {
public:
  TStyleTable();
  // Back to the single default font, the two required fills, one empty border and one format.
  void Reset();
  void ClearAll(); // empty lists; readers fill them from the file

  // Custom number formats by id (ids below 164 name built-in codes unless overridden here).
  std::map<int, QString> NumberFormats;
  std::vector<TFont> Fonts;
  std::vector<TFill> Fills;
  std::vector<TBorder> Borders;
  std::vector<TCellFormat> CellFormats;  // what cells point at
  std::vector<TCellFormat> StyleFormats; // the named cell styles' formats

  int CellFormatCount() const { return static_cast<int>(CellFormats.size()); }
  // The format a cell style index names; the default format for an index out of range.
  const TCellFormat &CellFormat(int AIndex) const;
  // The number-format code of a cell style index ("General" when none).
  QString NumberFormatCode(int AStyleIndex) const;
  QString NumberFormatCodeById(int ANumFmtId) const;
  // The id of a code, adding a custom one (from 164) when it is new.
  int AddNumberFormat(const QString &ACode);
  int AddFont(const TFont &AFont);
  int AddFill(const TFill &AFill);
  int AddBorder(const TBorder &ABorder);
  int AddCellFormat(const TCellFormat &AFormat);
  // Drop cached codes after NumberFormats or CellFormats changed directly.
  void InvalidateCache() const { FCodeCache.clear(); }

private:
  mutable std::vector<QString> FCodeCache; // per cell style index
};
