#pragma once
// The scan of source workbooks that every operation dialog plans from: per path the dialog's
// process-wide cache first, then (for dialogs that change their sources) the file-state tests,
// the fast .xlsx reader, and the full load through the spreadsheet engine when the fast reader
// cannot be used or fails. Each routine returns the dialog's scan list (copies; the caller owns
// them) and reports Round((i + 1) * 100 / n) to AProgress after each path.

#include "ScanRecords.h"

#include <QString>
#include <QStringList>

class TProgressSink;

// Book merge (no header rows): every sheet, Action 1. Cached when the book gave records.
TSheetMetaList ScanBookMergeSources(const QStringList &APaths, TProgressSink *AProgress);

// Book split (1 header row): every sheet, Action 1; a book with fewer than two usable sheets is
// marked single-sheet ("单表簿（跳过）").
TSplitMetaList ScanBookSplitSources(const QStringList &APaths, TProgressSink *AProgress);

// Sheet add: per book its sheet count and every sheet's name, after the file-state tests.
TBookScanList ScanSheetAddSources(const QStringList &APaths, TProgressSink *AProgress);

// Sheet merge: per book its sheets with used ranges and column keys built from AHeaderRows
// header rows (see MakeColumnKey).
TBookScanList ScanSheetMergeSources(const QStringList &APaths, int AHeaderRows, TProgressSink *AProgress);

// Sheet split: per sheet the used range, the header texts and, in mode 1, the trimmed values of
// group column AGroupCol for the data rows below AHeaderRows header rows.
TSheetScanMetaList ScanSheetSplitSources(const QStringList &APaths, int AHeaderRows, int AMode, int AGroupCol,
                                         TProgressSink *AProgress);

// The three cell dialogs that read one header row (zero-based AHeaderRow0): per sheet the used
// range and the header texts by absolute column.
enum class TCellScanKind { cskCellAdd, cskCellMerge, cskCellSplit };
TBookScanList ScanCellSources(TCellScanKind AKind, const QStringList &APaths, int AHeaderRow0, TProgressSink *AProgress);

// Cell clean: per sheet the used range.
TBookScanList ScanCellCleanSources(const QStringList &APaths, TProgressSink *AProgress);

// Batch PDF (never cached): one item per sheet, BookIndex = the source's position; a missing file,
// a load failure or a book without worksheets gives one item with SheetIndex -1 and the reason.
TPdfScanList ScanPdfSources(const QStringList &APaths, TProgressSink *AProgress);

// The column key of sheet merge: the trimmed header texts of one column (one per header row, top
// first) each followed by U+0001 and prefixed "N"; when all are empty, "P" and the zero-based
// column index. Keys are compared without regard to case.
QString MakeColumnKey(const QStringList &AHeaderTexts, int ACol);

// How many times a scan opened a workbook file (fast read or full load) since the program
// started. Cache hits open none; tests and diagnostics read this.
qint64 ScanFileReads();
