#pragma once
// The scan records the operation dialogs plan from: per workbook and per sheet what a scan found
// (names, positions, visibility, used ranges, header texts, key column values). Every record has
// Clone, a deep copy, so that caches hand out and take in copies and never share a record.

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

template <typename T>
using TOwnedList = std::vector<std::unique_ptr<T>>;

// Deep copy of a list of records.
template <typename T>
TOwnedList<T> CloneList(const TOwnedList<T> &AList) {
  TOwnedList<T> copy;
  copy.reserve(AList.size());
  for (const auto &item : AList)
    copy.push_back(item->Clone());
  return copy;
}

// One sheet for book merge.
class TSheetMeta {
public:
  QString BookPath;
  int SheetIndex = 0;
  QString SheetName;
  int RowCount = 0;
  int ColCount = 0;
  int Action = 0;
  QString TargetSheet;
  QString StatusText;
  std::unique_ptr<TSheetMeta> Clone() const { return std::make_unique<TSheetMeta>(*this); }
};

// One sheet for book split.
class TSplitMeta {
public:
  QString BookPath;
  int SheetIndex = 0;
  QString SheetName;
  int RowCount = 0;
  int ColCount = 0;
  bool IsHidden = false;
  bool IsSingleSheetBook = false;
  int Action = 0;
  QString OutFile;
  QString StatusText;
  std::unique_ptr<TSplitMeta> Clone() const { return std::make_unique<TSplitMeta>(*this); }
};

// One sheet of a TBookScan. Each dialog uses the fields its scan fills (sheet merge: position,
// visibility, used range and column keys; the cell dialogs: used range and header texts).
class TSheetScan {
public:
  int SheetIndex = 0;
  QString SheetName;
  bool IsHidden = false;
  int DimLeft = 0;
  int DimTop = 0;
  int DimRight = -1;
  int DimBottom = -1;
  bool IsEmptySheet = true;
  int ColCount = 0;
  QStringList ColKeys;     // sheet merge: one key per column DimLeft..DimRight
  QStringList HeaderTexts; // cell dialogs: the header row's texts by absolute column
  std::unique_ptr<TSheetScan> Clone() const { return std::make_unique<TSheetScan>(*this); }
};

// One workbook for sheet add, sheet merge and the cell dialogs.
class TBookScan {
public:
  TBookScan() = default;
  TBookScan(const TBookScan &AOther);
  TBookScan &operator=(const TBookScan &) = delete;

  QString BookPath;
  QStringList ExistingNames; // sheet add: every sheet's name
  int SheetCount = 0;        // sheet add
  bool ReadOnly = false;
  bool LoadOK = false;
  QString LoadMsg;
  int SheetTotal = 0; // sheet merge: sheets of any kind
  QString NewName;    // sheet merge: set by the run
  int HeaderRow0 = 0; // cell dialogs: the zero-based header row the scan was made for
  TOwnedList<TSheetScan> Sheets;
  std::unique_ptr<TBookScan> Clone() const { return std::make_unique<TBookScan>(*this); }
};

// One sheet for sheet split.
class TSheetScanMeta {
public:
  QString BookPath;
  int SheetIndex = 0;
  QString SheetName;
  int DimLeft = 0;
  int DimTop = 0;
  int DimRight = -1;
  int DimBottom = -1;
  bool IsEmptySheet = true;
  int RowCount = 0;
  int ColCount = 0;
  std::vector<QStringList> HeaderTexts; // [row][column - DimLeft], as the fast reader delivers them
  QStringList RowKeys;                  // group column values of the data rows, trimmed
  std::unique_ptr<TSheetScanMeta> Clone() const { return std::make_unique<TSheetScanMeta>(*this); }
};

// One sheet (or one failed workbook, SheetIndex -1) for the batch PDF export.
class TPdfScanItem {
public:
  QString BookPath;
  int BookIndex = 0;
  int SheetIndex = 0;
  QString SheetName;
  bool IsHidden = false;
  int RowCount = 0;
  int ColCount = 0;
  QString LoadMsg;
  std::unique_ptr<TPdfScanItem> Clone() const { return std::make_unique<TPdfScanItem>(*this); }
};

using TSheetMetaList = TOwnedList<TSheetMeta>;
using TSplitMetaList = TOwnedList<TSplitMeta>;
using TBookScanList = TOwnedList<TBookScan>;
using TSheetScanMetaList = TOwnedList<TSheetScanMeta>;
using TPdfScanList = TOwnedList<TPdfScanItem>;
