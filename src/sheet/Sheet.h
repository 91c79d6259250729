#pragma once
// One sheet of a workbook: its name, kind and visibility, and for worksheets the sparse grid of
// cells with formulas, row and column sizes, merged ranges, comments and hyperlinks.
//
// Usage:
//   TSheet &s = wb.Sheet(0);
//   TCellRange used = s.UsedArea();                  // bounding box of the stored cells
//   for (int r = used.Top; r <= used.Bottom; ++r)
//     for (int c = used.Left; c <= used.Right; ++c)
//       if (!s.IsCellEmpty(r, c)) qDebug() << s.DisplayText(r, c);
//   s.SetString(0, 0, QStringLiteral("标题"));        // creates the row and the cell as needed
//   s.ForEachCell([&](int r, const TCellRecord &c) { ... });   // fast walk over stored cells
//
// Caveats:
// - Rows and cells are stored sparsely: a row is a column-sorted vector of 16-byte records, so
//   asking for a cell never creates it; setting one in the middle of a long row shifts that row.
// - Texts live in the workbook's string table; a sheet belongs to one workbook for its life.
// - Shared formulas are kept as Excel stores them (one master text, the other cells point at
//   it); Formula() gives each cell its own text with references shifted.

#include "sheet/CellTypes.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

class TWorkbook;

// Format-specific data a reader keeps for the writer of the same format (parts and elements the
// model does not understand). The model carries it and never looks inside.
class TFormatExtras {
public:
  virtual ~TFormatExtras() = default;
};

// A stored cell. The value is a number, or an index into the workbook's string table for text and
// error cells, or 0/1 for booleans.
struct TCellRecord {
  union {
    double Number;
    std::uint32_t Index;
  } Value;
  // Bits 0-3: TCellType; bit 4: the formula is another cell's (its master), moved to this cell
  // (Excel's shared formulas, and plain formulas repeated down a column, which the reader
  // stores once); bits 5-31: formula id + 1 (0 = no formula).
  std::uint32_t Bits;
  std::uint16_t Col;
  std::uint16_t Style; // cell format index into the workbook's style table

  TCellType Type() const { return static_cast<TCellType>(Bits & 0xF); }
  bool HasFormula() const { return (Bits >> 5) != 0; }
  int FormulaId() const { return static_cast<int>(Bits >> 5) - 1; }
  bool IsSharedChild() const { return (Bits & 0x10) != 0; }
  // No value and no formula (a styled blank is still stored, and still empty).
  bool IsEmpty() const { return Type() == TCellType::ctEmpty && !HasFormula(); }
};
static_assert(sizeof(TCellRecord) == 16, "cells must stay compact");

// A stored row with its cells sorted by column.
struct TRowRecord {
  enum : std::uint8_t {
    rfHidden = 1,
    rfCustomHeight = 2,
    rfCustomFormat = 4,
    rfCollapsed = 8,
    rfThickTop = 16,
    rfThickBottom = 32
  };
  int Index = 0;
  float Height = -1; // points; negative = default height
  std::uint16_t Style = 0;
  std::uint8_t Flags = 0;
  std::uint8_t OutlineLevel = 0;
  std::vector<TCellRecord> Cells;
  bool HasAttributes() const { return Height >= 0 || Flags != 0 || OutlineLevel != 0; }
  // Puts cells given in any order into column order; of repeated columns the last one wins (as
  // in Excel). Leaves the vector at its exact size.
  void SortCells();
};

enum class TFormulaKind : std::uint8_t { fkNormal, fkShared, fkArray, fkDataTable };

// A formula as stored: the text without the leading '=', and for shared, array and data-table
// formulas the range they cover. Options keeps rarely used flags (ca, aca, dt2D, r1, ...) by name.
struct TFormula {
  QString Text;
  TFormulaKind Kind = TFormulaKind::fkNormal;
  TCellRange Ref;
  int SharedIndex = -1;           // fkShared: Excel's group number
  int MasterRow = 0, MasterCol = 0; // the cell that holds the text
  QList<QPair<QString, QString>> Options;
};

// A range of columns with the same settings (Excel stores columns this way).
struct TColumnRange {
  int First = 0, Last = 0;
  double Width = -1; // in characters of the default font; negative = default width
  std::uint16_t Style = 0;
  bool Hidden = false, CustomWidth = false, BestFit = false, Collapsed = false, Phonetic = false;
  std::uint8_t OutlineLevel = 0;
};

struct TComment {
  QString Text;
  QString Author;
  // The comment object's alternative-text description (empty for ordinary comments).
  QString Description;
  // Rich runs of the text, format-specific, emitted unchanged by the writer of the same format.
  QByteArray RichBlob;
};

struct THyperlink {
  TCellRange Range;
  QString Target;   // external address (URL, file, mailto); empty for an internal link
  QString Location; // place inside the workbook ("Sheet2!A1") or a fragment of Target
  QString Display;
  QString Tooltip;
};

class TSheet {
public:
  TSheet(TWorkbook *AWorkbook, const QString &AName, TSheetKind AKind = TSheetKind::skWorksheet);
  ~TSheet();
  TSheet(const TSheet &) = delete;
  TSheet &operator=(const TSheet &) = delete;

  TWorkbook &Workbook() const { return *FWorkbook; }
  QString Name() const { return FName; }
  void SetName(const QString &AName) { FName = AName; }
  TSheetState State() const { return FState; }
  void SetState(TSheetState AState) { FState = AState; }
  bool IsVisible() const { return FState == TSheetState::ssVisible; }
  TSheetKind Kind() const { return FKind; }
  // Only worksheets have a cell grid that operations work on.
  bool IsTableView() const { return FKind == TSheetKind::skWorksheet; }

  // ---- cells: reading
  // Bounding box of all stored cells, merged ranges and commented cells (styled blanks included),
  // as Excel's used range is.
  TCellRange UsedArea() const;
  bool IsCellEmpty(int ARow, int ACol) const;
  const TCellRecord *FindCell(int ARow, int ACol) const;
  TCellType CellType(int ARow, int ACol) const;
  TCellValue CellValue(int ARow, int ACol) const;
  // The value as text without number formatting: texts as stored, numbers in General form,
  // booleans TRUE/FALSE, errors as stored; "" when empty.
  QString AsString(int ARow, int ACol) const;
  double AsFloat(int ARow, int ACol) const; // 0 unless a number or boolean
  // The text Excel shows for the cell ("" when empty).
  QString DisplayText(int ARow, int ACol) const;
  QString DisplayText(const TCellRecord &ACell) const;
  bool HasFormula(int ARow, int ACol) const;
  // The formula with its leading '=' ("=SUM(A1:A3)"), "" when none. Shared formulas come with
  // their references shifted to this cell.
  QString Formula(int ARow, int ACol) const;
  const TFormula *FormulaRecord(int ARow, int ACol) const;
  int CellStyle(int ARow, int ACol) const;
  // Number of stored cells that are not empty.
  std::int64_t NonEmptyCellCount() const;

  // ---- cells: writing (rows and cells are created as needed)
  void SetNumber(int ARow, int ACol, double AValue);
  void SetString(int ARow, int ACol, const QString &AText);
  void SetBoolean(int ARow, int ACol, bool AValue);
  void SetError(int ARow, int ACol, const QString &AError);
  void SetValue(int ARow, int ACol, const TCellValue &AValue);
  // Sets a formula (with or without '=') and its cached result.
  void SetFormula(int ARow, int ACol, const QString &AFormula,
                  const TCellValue &ACached = TCellValue());
  void SetCellStyle(int ARow, int ACol, int AStyle);
  // Clears value and formula, keeps the style.
  void ClearCellValue(int ARow, int ACol);
  // What ClearCells removes in an area.
  enum TClearFlag : unsigned {
    cfValues = 1,     // values and formulas (styles stay)
    cfStyles = 2,     // cell formats back to the default
    cfComments = 4,
    cfHyperlinks = 8, // every hyperlink the area touches
    cfAll = 15
  };
  // Clears the area; cells left with neither value nor style are removed.
  void ClearCells(const TCellRange &AArea, unsigned AFlags);
  // Removes the stored cell altogether.
  void RemoveCell(int ARow, int ACol);

  // ---- rows and columns
  const std::vector<TRowRecord> &Rows() const { return FRows; }
  const TRowRecord *FindRow(int ARow) const;
  TRowRecord &GetOrCreateRow(int ARow);
  double RowHeight(int ARow) const; // negative = default
  void SetRowHeight(int ARow, double AHeight);
  bool IsRowHidden(int ARow) const;
  void SetRowHidden(int ARow, bool AHidden);
  const std::vector<TColumnRange> &Columns() const { return FColumns; }
  double ColumnWidth(int ACol) const; // negative = default
  void SetColumnWidth(int ACol, double AWidth);
  bool IsColumnHidden(int ACol) const;
  void SetColumnHidden(int ACol, bool AHidden);
  // Replaces all column ranges (readers); ranges must be sorted and not overlap.
  void SetColumns(std::vector<TColumnRange> AColumns) { FColumns = std::move(AColumns); }

  template <class F> void ForEachCell(F &&AVisit) const {
    for (const TRowRecord &row : FRows)
      for (const TCellRecord &cell : row.Cells)
        AVisit(row.Index, cell);
  }

  // ---- merged ranges
  const std::vector<TCellRange> &MergedRanges() const { return FMerged; }
  void AddMergedRange(const TCellRange &ARange);
  bool HasMergedInArea(const TCellRange &AArea) const;
  // Removes every merged range intersecting the area (not only enclosed ones); returns how many.
  int DeleteMergedInArea(const TCellRange &AArea);
  // The merged range that covers the cell, or an empty range.
  TCellRange MergedRangeAt(int ARow, int ACol) const;

  // ---- comments and hyperlinks
  const std::map<std::pair<int, int>, TComment> &Comments() const { return FComments; }
  const TComment *Comment(int ARow, int ACol) const;
  void SetComment(int ARow, int ACol, const TComment &AComment);
  void RemoveComment(int ARow, int ACol);
  const std::vector<THyperlink> &Hyperlinks() const { return FHyperlinks; }
  const THyperlink *HyperlinkAt(int ARow, int ACol) const;
  void AddHyperlink(const THyperlink &ALink);
  void RemoveHyperlinksInArea(const TCellRange &AArea);

  // ---- formulas storage (readers and writers)
  const std::vector<TFormula> &Formulas() const { return FFormulas; }
  int AddFormulaRecord(TFormula AFormula);
  // Stores a cell record as given (readers use this on cells arriving in row order).
  void PutCell(int ARow, const TCellRecord &ACell);
  // Appends a whole row that comes after every stored row (the reader's fast path); ACells
  // must be sorted by column. Falls back to merging when the row exists already.
  void AppendRow(TRowRecord &&ARow);
  // Merges rows that arrived out of order in one pass (a file listing rows backwards must not
  // cost a shift of every stored row per row). Cells of a repeated row: the later one wins.
  void MergeRows(std::vector<TRowRecord> &&ARows);

  // Format-specific data kept for the writer of the same format; may be null.
  std::shared_ptr<TFormatExtras> Extras;

private:
  TCellRecord &GetOrCreateCell(int ARow, int ACol);
  TCellRecord *FindCellMutable(int ARow, int ACol);
  void SetFormulaBits(TCellRecord &ACell, int AFormulaId, bool ASharedChild);
  void ReleaseFormula(TCellRecord &ACell);
  void SplitColumnsAt(int ACol);

  TWorkbook *FWorkbook;
  QString FName;
  TSheetKind FKind;
  TSheetState FState = TSheetState::ssVisible;
  std::vector<TRowRecord> FRows; // sorted by Index
  std::vector<TColumnRange> FColumns;
  std::vector<TFormula> FFormulas;
  std::vector<TCellRange> FMerged;
  std::map<std::pair<int, int>, TComment> FComments;
  std::vector<THyperlink> FHyperlinks;
};
