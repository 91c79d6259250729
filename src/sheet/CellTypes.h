#pragma once
// Small value types of the spreadsheet model: cell areas, sheet kinds and states, cell values and
// A1-style reference helpers.

#include <QString>
#include <cstdint>

// Excel's grid limits; readers reject anything beyond them.
constexpr int KMaxRows = 1048576;
constexpr int KMaxCols = 16384;

enum class TSheetState { ssVisible, ssHidden, ssVeryHidden };
enum class TSheetKind { skWorksheet, skChartsheet, skDialogsheet, skMacrosheet, skOther };

// Zero-based, inclusive rectangle. The default one is empty.
struct TCellRange {
  int Left = 0, Top = 0, Right = -1, Bottom = -1;
  bool IsEmpty() const { return Right < Left || Bottom < Top; }
  bool Contains(int ARow, int ACol) const {
    return ARow >= Top && ARow <= Bottom && ACol >= Left && ACol <= Right;
  }
  bool Intersects(const TCellRange &A) const {
    return !IsEmpty() && !A.IsEmpty() && A.Left <= Right && A.Right >= Left && A.Top <= Bottom &&
           A.Bottom >= Top;
  }
  int RowCount() const { return IsEmpty() ? 0 : Bottom - Top + 1; }
  int ColCount() const { return IsEmpty() ? 0 : Right - Left + 1; }
  bool operator==(const TCellRange &A) const = default;
  // Grows the rectangle to hold the cell.
  void Include(int ARow, int ACol);
};

// What a cell holds. A formula is an extra on top of its cached value (a formula cell whose
// result is unknown has the type ctEmpty and still a formula).
enum class TCellType : std::uint8_t { ctEmpty = 0, ctNumber, ctString, ctBoolean, ctError };

// A cell's value, detached from the sheet.
struct TCellValue {
  TCellType Type = TCellType::ctEmpty;
  double Number = 0;  // ctNumber; 0/1 for ctBoolean
  QString Text;       // ctString: the text; ctError: the error as Excel writes it ("#N/A")
  static TCellValue FromNumber(double A) { return {TCellType::ctNumber, A, QString()}; }
  static TCellValue FromString(const QString &A) { return {TCellType::ctString, 0, A}; }
  static TCellValue FromBoolean(bool A) { return {TCellType::ctBoolean, A ? 1.0 : 0.0, QString()}; }
  static TCellValue FromError(const QString &A) { return {TCellType::ctError, 0, A}; }
  bool operator==(const TCellValue &A) const = default;
};

// "A".."XFD" for a zero-based column.
QString ColumnName(int ACol);
// "B3" for zero-based row 2, column 1.
QString CellRefName(int ARow, int ACol);
// "A1:C10"; a single cell gives "A1"; an empty range gives "".
QString RangeRefName(const TCellRange &ARange);
// Parses "B3" or "$B$3" (letters in any case) into zero-based row/column; false when invalid or
// beyond the grid.
bool ParseCellRef(QStringView AText, int &ARow, int &ACol);
// Parses "A1:D10" or "A1" (a single cell); false when invalid.
bool ParseRangeRef(QStringView AText, TCellRange &ARange);
