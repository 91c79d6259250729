#include "WorkbookScan.h"

#include "ScanCache.h"
#include "XlsxMetaReader.h"
#include "core/Errors.h"
#include "core/FileSafety.h"
#include "core/LogImpl.h"
#include "core/NamingUtils.h"
#include "core/ProgressSink.h"
#include "core/TextUtils.h"
#include "sheet/Workbook.h"

#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <exception>

namespace {

qint64 GFileReads = 0;

void Report(TProgressSink *AProgress, int AIndex, int ACount) {
  if (AProgress)
    AProgress->SetProgress(ProgressPercent(AIndex, ACount));
}

// The fast reader for ".xlsx" files. Returns false when the full load has to be taken: another
// extension, the reader declining, or the reader raising (logged, as the fallback is worth
// knowing about).
bool FastRead(const QString &APath, int AHeaderRows, int AGroupCol, const TXlsxProgressCallback &AOnProgress,
              std::vector<std::unique_ptr<TXlsxSheetMeta>> &AMetas) {
  AMetas.clear();
  if (!APath.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive))
    return false;
  ++GFileReads;
  int sheetCount = 0;
  try {
    if (ReadXlsxSheetMetas(APath, AHeaderRows, sheetCount, AOnProgress, AGroupCol, AMetas))
      return true;
  } catch (const std::exception &e) {
    LogWarning(QStringLiteral("xlsx 快速路径失败[") + ExtractFileName(APath) + QStringLiteral("]，回退慢路径：") + ErrorMessageOf(e));
  }
  AMetas.clear();
  return false;
}

// The spreadsheet document of one scan, created at the first full load and reused after that.
class TFullLoader {
public:
  const TWorkbook &Load(const QString &APath, TProgressSink *AProgress) {
    if (!FBook)
      FBook = std::make_unique<TWorkbook>();
    ++GFileReads;
    FBook->CreateNew();
    FBook->LoadFromFile(APath, AProgress);
    return *FBook;
  }

private:
  std::unique_ptr<TWorkbook> FBook;
};

// The file tests of the dialogs that change their sources. False (with LoadMsg set) when the
// file must not be read.
bool PassesFileTests(TBookScan &AScan) {
  const TFileState state = GetFileState(AScan.BookPath);
  if (state == TFileState::fsUsable)
    return true;
  AScan.ReadOnly = state == TFileState::fsReadOnly;
  AScan.LoadMsg = FileStateText(state);
  return false;
}

int FastRowCount(const TXlsxSheetMeta &AMeta) { return AMeta.IsEmptySheet ? 0 : AMeta.DimBottom - AMeta.DimTop + 1; }
int FastColCount(const TXlsxSheetMeta &AMeta) { return AMeta.DimRight - AMeta.DimLeft + 1; }

bool IsSingleCell(const TCellRange &AArea) { return AArea.Right <= AArea.Left && AArea.Bottom <= AArea.Top; }

// Book merge, book split and sheet split: a used range of at most one cell whose cell is empty.
bool IsEmptyByCellTest(const TSheet &ASheet, const TCellRange &AArea) {
  return IsSingleCell(AArea) && ASheet.IsCellEmpty(AArea.Top, AArea.Left);
}

int FullRowCount(const TCellRange &AArea, bool AEmpty) { return AEmpty ? 0 : AArea.Bottom - AArea.Top + 1; }
int FullColCount(const TCellRange &AArea) { return AArea.Right - AArea.Left + 1; }

QString HeaderText(const std::vector<QStringList> &ATexts, int ARow, int ASlot) {
  if (ARow < 0 || static_cast<size_t>(ARow) >= ATexts.size() || ASlot < 0 || ASlot >= ATexts[ARow].size())
    return QString();
  return ATexts[ARow][ASlot];
}

// The common loop of the dialogs whose scan is a list of records per workbook: the cache first,
// else ABuild(i, path); a list with records is cached.
template <typename TRecord, typename TGet, typename TPut, typename TBuild>
TOwnedList<TRecord> ScanLists(const QStringList &APaths, TProgressSink *AProgress, TGet AGet, TPut APut, TBuild ABuild) {
  TOwnedList<TRecord> result;
  for (int i = 0; i < APaths.size(); ++i) {
    const QString &path = APaths[i];
    std::optional<TOwnedList<TRecord>> hit = AGet(path);
    TOwnedList<TRecord> records = hit ? std::move(*hit) : ABuild(i, path);
    if (!hit && !records.empty())
      APut(path, records);
    for (auto &r : records)
      result.push_back(std::move(r));
    Report(AProgress, i, APaths.size());
  }
  return result;
}

} // namespace

qint64 ScanFileReads() { return GFileReads; }

QString MakeColumnKey(const QStringList &AHeaderTexts, int ACol) {
  QString joined;
  for (const QString &text : AHeaderTexts) {
    joined += TrimText(text);
    joined += QChar(0x0001);
  }
  QString bare = joined;
  bare.remove(QChar(0x0001));
  if (!TrimText(bare).isEmpty())
    return u'N' + joined;
  return u'P' + QString::number(ACol);
}

// ---------------------------------------------------------------------------------------------
// Book merge and book split

namespace {

// What book merge and book split record of one sheet.
struct TSheetFacts {
  int Index = 0;
  QString Name;
  bool Hidden = false;
  int Rows = 0;
  int Cols = 0;
  bool Empty = true;
};

// A book merge or book split record with what both take from the sheet's facts.
template <typename TRecord>
std::unique_ptr<TRecord> RecordFromFacts(const QString &APath, const TSheetFacts &AFacts) {
  auto r = std::make_unique<TRecord>();
  r->BookPath = APath;
  r->SheetIndex = AFacts.Index;
  r->SheetName = AFacts.Name;
  r->RowCount = AFacts.Rows;
  r->ColCount = AFacts.Cols;
  r->Action = 1;
  return r;
}

// Every sheet by the fast path, or every table view by the full load (a used range of at most
// one cell whose cell is empty counts as empty). False when the full load failed (logged).
// ASheetCount is the number of sheets of any kind.
bool ReadSheetFacts(const QString &APath, int AHeaderRows, TFullLoader &ALoader,
                    std::vector<std::unique_ptr<TXlsxSheetMeta>> &AMetas, std::vector<TSheetFacts> &AFacts,
                    int &ASheetCount) {
  AFacts.clear();
  if (FastRead(APath, AHeaderRows, -1, nullptr, AMetas)) {
    for (const auto &m : AMetas)
      AFacts.push_back({m->SheetIndex, m->SheetName, m->IsHidden, FastRowCount(*m), FastColCount(*m), m->IsEmptySheet});
    ASheetCount = static_cast<int>(AMetas.size());
    return true;
  }
  try {
    const TWorkbook &book = ALoader.Load(APath, nullptr);
    ASheetCount = book.SheetCount();
    for (int s = 0; s < book.SheetCount(); ++s) {
      const TSheet &sheet = book.Sheet(s);
      if (!sheet.IsTableView())
        continue;
      const TCellRange area = sheet.UsedArea();
      const bool empty = IsEmptyByCellTest(sheet, area);
      AFacts.push_back({s, sheet.Name(), sheet.State() != TSheetState::ssVisible, FullRowCount(area, empty),
                        FullColCount(area), empty});
    }
    return true;
  } catch (const std::exception &e) {
    LogWarning(QStringLiteral("打开源工作簿失败[") + ExtractFileName(APath) + QStringLiteral("]：") + ErrorMessageOf(e));
    AFacts.clear();
    return false;
  }
}

} // namespace

TSheetMetaList ScanBookMergeSources(const QStringList &APaths, TProgressSink *AProgress) {
  TFullLoader loader;
  std::vector<std::unique_ptr<TXlsxSheetMeta>> metas;
  std::vector<TSheetFacts> facts;
  return ScanLists<TSheetMeta>(
      APaths, AProgress, [](const QString &P) { return GBookMergeScanCache.TryGet(P); },
      [](const QString &P, const TSheetMetaList &L) { GBookMergeScanCache.Put(P, L); },
      [&](int, const QString &APath) {
        TSheetMetaList records;
        int sheetCount = 0;
        ReadSheetFacts(APath, 0, loader, metas, facts, sheetCount);
        for (const TSheetFacts &f : facts)
          records.push_back(RecordFromFacts<TSheetMeta>(APath, f));
        return records;
      });
}

TSplitMetaList ScanBookSplitSources(const QStringList &APaths, TProgressSink *AProgress) {
  TFullLoader loader;
  std::vector<std::unique_ptr<TXlsxSheetMeta>> metas;
  std::vector<TSheetFacts> facts;
  return ScanLists<TSplitMeta>(
      APaths, AProgress, [](const QString &P) { return GBookSplitScanCache.TryGet(P); },
      [](const QString &P, const TSplitMetaList &L) { GBookSplitScanCache.Put(P, L); },
      [&](int, const QString &APath) {
        TSplitMetaList records;
        int sheetCount = 0;
        ReadSheetFacts(APath, 1, loader, metas, facts, sheetCount);
        // Fewer than two sheets, or fewer than two worth splitting: the fast path counts the
        // non-empty sheets, the full load the worksheets.
        const bool fast = !metas.empty();
        const auto usable = std::count_if(facts.begin(), facts.end(), [fast](const TSheetFacts &F) { return !fast || !F.Empty; });
        const bool single = sheetCount < 2 || usable < 2;
        for (const TSheetFacts &f : facts) {
          std::unique_ptr<TSplitMeta> r = RecordFromFacts<TSplitMeta>(APath, f);
          r->IsHidden = f.Hidden;
          r->IsSingleSheetBook = single;
          if (single)
            r->StatusText = QStringLiteral("单表簿（跳过）");
          records.push_back(std::move(r));
        }
        if (!records.empty() && single)
          LogWarning(QStringLiteral("源簿[") + ExtractFileName(APath) + QStringLiteral("]仅 1 张有效表，跳过拆分"));
        return records;
      });
}

// ---------------------------------------------------------------------------------------------
// Dialogs with one TBookScan per workbook

namespace {

// The common loop of the book-scan dialogs: cache, file tests, fast path, full load, failure
// rule, cache condition. AFillFast / AFillFull fill the scan from the reader's metas or the
// loaded workbook; AWarn is the dialog's warning text for a failed load.
template <typename TGet, typename TPut, typename TFast, typename TFull>
TBookScanList ScanBooks(const QStringList &APaths, TProgressSink *AProgress, TGet AGet, TPut APut, int AHeaderRows,
                        TFast AFillFast, TFull AFillFull, const std::function<QString(const QString &)> &AWarn) {
  TBookScanList result;
  TFullLoader loader;
  std::vector<std::unique_ptr<TXlsxSheetMeta>> metas;
  for (int i = 0; i < APaths.size(); ++i) {
    const QString &path = APaths[i];
    if (std::unique_ptr<TBookScan> hit = AGet(path)) {
      result.push_back(std::move(hit));
      Report(AProgress, i, APaths.size());
      continue;
    }
    auto scan = std::make_unique<TBookScan>();
    scan->BookPath = path;
    if (PassesFileTests(*scan)) {
      if (FastRead(path, AHeaderRows, -1, nullptr, metas)) {
        AFillFast(*scan, metas);
        scan->LoadOK = true;
      } else {
        try {
          AFillFull(*scan, loader.Load(path, nullptr));
          scan->LoadOK = true;
        } catch (const std::exception &e) {
          scan->Sheets.clear();
          scan->LoadOK = false;
          scan->LoadMsg = ErrorMessageOf(e);
          LogWarning(AWarn(ExtractFileName(path)) + QStringLiteral("：") + scan->LoadMsg);
        }
      }
    }
    if (scan->LoadOK)
      APut(path, scan.get());
    result.push_back(std::move(scan));
    Report(AProgress, i, APaths.size());
  }
  return result;
}

QString OpenFailed(const QString &AName) { return QStringLiteral("打开工作簿失败[") + AName + u']'; }

std::unique_ptr<TSheetScan> SheetFromMeta(const TXlsxSheetMeta &AMeta) {
  auto s = std::make_unique<TSheetScan>();
  s->SheetIndex = AMeta.SheetIndex;
  s->SheetName = AMeta.SheetName;
  s->IsHidden = AMeta.IsHidden;
  s->DimLeft = AMeta.DimLeft;
  s->DimTop = AMeta.DimTop;
  s->DimRight = AMeta.DimRight;
  s->DimBottom = AMeta.DimBottom;
  s->IsEmptySheet = AMeta.IsEmptySheet;
  return s;
}

std::unique_ptr<TSheetScan> SheetFromView(int AIndex, const TSheet &ASheet, const TCellRange &AArea) {
  auto s = std::make_unique<TSheetScan>();
  s->SheetIndex = AIndex;
  s->SheetName = ASheet.Name();
  s->IsHidden = ASheet.State() != TSheetState::ssVisible;
  s->DimLeft = AArea.Left;
  s->DimTop = AArea.Top;
  s->DimRight = AArea.Right;
  s->DimBottom = AArea.Bottom;
  s->IsEmptySheet = AArea.IsEmpty();
  return s;
}

} // namespace

TBookScanList ScanSheetAddSources(const QStringList &APaths, TProgressSink *AProgress) {
  return ScanBooks(
      APaths, AProgress, [](const QString &P) { return GSheetAddScanCache.TryGet(P); },
      [](const QString &P, const TBookScan *S) { GSheetAddScanCache.Put(P, S); }, 1,
      [](TBookScan &AScan, const std::vector<std::unique_ptr<TXlsxSheetMeta>> &AMetas) {
        AScan.SheetCount = static_cast<int>(AMetas.size());
        for (const auto &m : AMetas)
          AScan.ExistingNames << m->SheetName;
      },
      [](TBookScan &AScan, const TWorkbook &ABook) {
        AScan.SheetCount = ABook.SheetCount();
        for (int s = 0; s < ABook.SheetCount(); ++s)
          AScan.ExistingNames << ABook.Sheet(s).Name();
      },
      OpenFailed);
}

TBookScanList ScanSheetMergeSources(const QStringList &APaths, int AHeaderRows, TProgressSink *AProgress) {
  const int headerRows = std::max(0, AHeaderRows);
  return ScanBooks(
      APaths, AProgress, [&](const QString &P) { return GBookScanCache.TryGet(P, AHeaderRows); },
      [&](const QString &P, const TBookScan *S) { GBookScanCache.Put(P, AHeaderRows, S); }, AHeaderRows,
      [&](TBookScan &AScan, const std::vector<std::unique_ptr<TXlsxSheetMeta>> &AMetas) {
        AScan.SheetTotal = static_cast<int>(AMetas.size());
        for (const auto &m : AMetas) {
          std::unique_ptr<TSheetScan> s = SheetFromMeta(*m);
          if (!s->IsEmptySheet) {
            for (int c = m->DimLeft; c <= m->DimRight; ++c) {
              QStringList texts;
              for (int r = 0; r < headerRows; ++r)
                texts << HeaderText(m->HeaderTexts, r, c - m->DimLeft);
              s->ColKeys << MakeColumnKey(texts, c);
            }
          }
          AScan.Sheets.push_back(std::move(s));
        }
      },
      [&](TBookScan &AScan, const TWorkbook &ABook) {
        AScan.SheetTotal = ABook.SheetCount();
        for (int i = 0; i < ABook.SheetCount(); ++i) {
          const TSheet &sheet = ABook.Sheet(i);
          if (!sheet.IsTableView())
            continue;
          const TCellRange area = sheet.UsedArea();
          std::unique_ptr<TSheetScan> s = SheetFromView(i, sheet, area);
          s->IsEmptySheet = area.IsEmpty() || (area.Left == area.Right && area.Top == area.Bottom &&
                                               sheet.IsCellEmpty(area.Top, area.Left));
          if (!s->IsEmptySheet) {
            for (int c = area.Left; c <= area.Right; ++c) {
              QStringList texts;
              for (int r = 0; r < headerRows; ++r)
                texts << (sheet.IsCellEmpty(r, c) ? QString() : sheet.DisplayText(r, c));
              s->ColKeys << MakeColumnKey(texts, c);
            }
          }
          AScan.Sheets.push_back(std::move(s));
        }
      },
      [](const QString &AName) { return QStringLiteral("打开工作簿失败 [%1]").arg(AName); });
}

TBookScanList ScanCellSources(TCellScanKind AKind, const QStringList &APaths, int AHeaderRow0, TProgressSink *AProgress) {
  const int row0 = std::max(0, AHeaderRow0);
  TParamBookScanCache &cache = AKind == TCellScanKind::cskCellAdd     ? static_cast<TParamBookScanCache &>(GCellAddScanCache)
                               : AKind == TCellScanKind::cskCellMerge ? static_cast<TParamBookScanCache &>(GCellMergeScanCache)
                                                                      : static_cast<TParamBookScanCache &>(GCellSplitScanCache);
  auto finish = [row0](TBookScan &AScan) { AScan.HeaderRow0 = row0; };
  return ScanBooks(
      APaths, AProgress, [&](const QString &P) { return cache.TryGet(P, row0); },
      [&](const QString &P, const TBookScan *S) { cache.Put(P, row0, S); }, row0 + 1,
      [&](TBookScan &AScan, const std::vector<std::unique_ptr<TXlsxSheetMeta>> &AMetas) {
        finish(AScan);
        for (const auto &m : AMetas) {
          std::unique_ptr<TSheetScan> s = SheetFromMeta(*m);
          if (!s->IsEmptySheet) {
            s->ColCount = m->DimRight - m->DimLeft + 1;
            s->HeaderTexts.resize(m->DimRight + 1);
            for (int c = m->DimLeft; c <= m->DimRight; ++c)
              s->HeaderTexts[c] = HeaderText(m->HeaderTexts, row0, c - m->DimLeft);
          }
          AScan.Sheets.push_back(std::move(s));
        }
      },
      [&](TBookScan &AScan, const TWorkbook &ABook) {
        finish(AScan);
        for (int i = 0; i < ABook.SheetCount(); ++i) {
          const TSheet &sheet = ABook.Sheet(i);
          if (!sheet.IsTableView())
            continue;
          const TCellRange area = sheet.UsedArea();
          std::unique_ptr<TSheetScan> s = SheetFromView(i, sheet, area);
          if (!s->IsEmptySheet) {
            s->ColCount = area.Right - area.Left + 1;
            s->HeaderTexts.resize(area.Right + 1);
            for (int c = area.Left; c <= area.Right; ++c)
              if (!sheet.IsCellEmpty(row0, c))
                s->HeaderTexts[c] = sheet.DisplayText(row0, c);
          }
          AScan.Sheets.push_back(std::move(s));
        }
      },
      OpenFailed);
}

TBookScanList ScanCellCleanSources(const QStringList &APaths, TProgressSink *AProgress) {
  auto colCount = [](const TSheetScan &S) { return S.IsEmptySheet || S.DimRight < S.DimLeft ? 0 : S.DimRight - S.DimLeft + 1; };
  return ScanBooks(
      APaths, AProgress, [](const QString &P) { return GCellCleanScanCache.TryGet(P); },
      [](const QString &P, const TBookScan *S) { GCellCleanScanCache.Put(P, S); }, 1,
      [&](TBookScan &AScan, const std::vector<std::unique_ptr<TXlsxSheetMeta>> &AMetas) {
        for (const auto &m : AMetas) {
          std::unique_ptr<TSheetScan> s = SheetFromMeta(*m);
          s->ColCount = colCount(*s);
          AScan.Sheets.push_back(std::move(s));
        }
      },
      [&](TBookScan &AScan, const TWorkbook &ABook) {
        for (int i = 0; i < ABook.SheetCount(); ++i) {
          const TSheet &sheet = ABook.Sheet(i);
          if (!sheet.IsTableView())
            continue;
          std::unique_ptr<TSheetScan> s = SheetFromView(i, sheet, sheet.UsedArea());
          s->ColCount = colCount(*s);
          AScan.Sheets.push_back(std::move(s));
        }
      },
      OpenFailed);
}

// ---------------------------------------------------------------------------------------------
// Sheet split

TSheetScanMetaList ScanSheetSplitSources(const QStringList &APaths, int AHeaderRows, int AMode, int AGroupCol,
                                         TProgressSink *AProgress) {
  const int h = std::max(0, AHeaderRows);
  const int groupCol = AMode == 1 ? AGroupCol : -1;
  const int n = static_cast<int>(APaths.size());
  TFullLoader loader;
  std::vector<std::unique_ptr<TXlsxSheetMeta>> metas;
  return ScanLists<TSheetScanMeta>(
      APaths, AProgress, [&](const QString &P) { return GSheetSplitScanCache.TryGet(P, h, AMode, AGroupCol); },
      [&](const QString &P, const TSheetScanMetaList &L) { GSheetSplitScanCache.Put(P, h, AMode, AGroupCol, L); },
      [&](int i, const QString &path) {
        TSheetScanMetaList records;
        // The reader's own percentage p of this file moves the bar to (p / 100 + i) * 100 / n.
        TXlsxProgressCallback onProgress;
        if (AProgress)
          onProgress = [AProgress, i, n](int APercent) {
            AProgress->SetProgress(static_cast<int>(std::nearbyint((APercent / 100.0 + i) * 100.0 / n)));
          };
        if (FastRead(path, h, groupCol, onProgress, metas)) {
          for (const auto &m : metas) {
            auto r = std::make_unique<TSheetScanMeta>();
            r->BookPath = path;
            r->SheetIndex = m->SheetIndex;
            r->SheetName = m->SheetName;
            r->DimLeft = m->DimLeft;
            r->DimTop = m->DimTop;
            r->DimRight = m->DimRight;
            r->DimBottom = m->DimBottom;
            r->ColCount = FastColCount(*m);
            r->RowCount = FastRowCount(*m);
            r->IsEmptySheet = m->IsEmptySheet || r->RowCount < 1;
            r->HeaderTexts = m->HeaderTexts;
            if (AMode == 1 && !r->IsEmptySheet && r->DimLeft <= AGroupCol && AGroupCol <= r->DimRight &&
                static_cast<qint64>(r->DimBottom) >= static_cast<qint64>(r->DimTop) + h) {
              const int count = r->DimBottom - (r->DimTop + h) + 1;
              r->RowKeys.reserve(count);
              for (int k = 0; k < count; ++k)
                r->RowKeys << (k < m->GroupColTexts.size() ? TrimText(m->GroupColTexts[k]) : QString());
            }
            records.push_back(std::move(r));
          }
        } else {
          try {
            const TWorkbook &book = loader.Load(path, AProgress);
            for (int s = 0; s < book.SheetCount(); ++s) {
              const TSheet &sheet = book.Sheet(s);
              if (!sheet.IsTableView())
                continue;
              const TCellRange area = sheet.UsedArea();
              auto r = std::make_unique<TSheetScanMeta>();
              r->BookPath = path;
              r->SheetIndex = s;
              r->SheetName = sheet.Name();
              r->DimLeft = area.Left;
              r->DimTop = area.Top;
              r->DimRight = area.Right;
              r->DimBottom = area.Bottom;
              r->ColCount = FullColCount(area);
              r->RowCount = FullRowCount(area, IsEmptyByCellTest(sheet, area));
              r->IsEmptySheet = r->RowCount <= 0;
              if (AMode == 1 && r->RowCount > 0 && area.Left <= AGroupCol && AGroupCol <= area.Right &&
                  static_cast<qint64>(area.Bottom) >= static_cast<qint64>(area.Top) + h) {
                const int count = area.Bottom - (area.Top + h) + 1;
                r->RowKeys.reserve(count);
                for (int k = 0; k < count; ++k) {
                  const int row = area.Top + h + k;
                  r->RowKeys << (sheet.IsCellEmpty(row, AGroupCol) ? QString() : TrimText(sheet.DisplayText(row, AGroupCol)));
                  // Long key columns: let the user interface breathe every 1000 rows.
                  if (AProgress && (k + 1) % 1000 == 0)
                    AProgress->SetProgress(ProgressPercent(i - 1, n));
                }
              }
              records.push_back(std::move(r));
            }
          } catch (const std::exception &e) {
            LogWarning(QStringLiteral("打开源工作簿失败[") + ExtractFileName(path) + QStringLiteral("]：") + ErrorMessageOf(e));
            records.clear();
          }
        }
        return records;
      });
}

// ---------------------------------------------------------------------------------------------
// Batch PDF

TPdfScanList ScanPdfSources(const QStringList &APaths, TProgressSink *AProgress) {
  TPdfScanList result;
  TFullLoader loader;
  std::vector<std::unique_ptr<TXlsxSheetMeta>> metas;
  if (AProgress)
    AProgress->SetMessage(QStringLiteral("正在扫描工作簿..."));
  for (int i = 0; i < APaths.size(); ++i) {
    const QString &path = APaths[i];
    TPdfScanList items;
    auto add = [&](int ASheetIndex, const QString &AName, bool AHidden, int ARows, int ACols, const QString &AMsg) {
      auto r = std::make_unique<TPdfScanItem>();
      r->BookPath = path;
      r->BookIndex = i;
      r->SheetIndex = ASheetIndex;
      r->SheetName = AName;
      r->IsHidden = AHidden;
      r->RowCount = ARows;
      r->ColCount = ACols;
      r->LoadMsg = AMsg;
      items.push_back(std::move(r));
    };
    if (!QFileInfo::exists(path)) {
      add(-1, QString(), false, 0, 0, QStringLiteral("文件不存在"));
    } else if (FastRead(path, 1, -1, nullptr, metas)) {
      for (const auto &m : metas)
        add(m->SheetIndex, m->SheetName, m->IsHidden, FastRowCount(*m), FastColCount(*m), QString());
    } else {
      try {
        const TWorkbook &book = loader.Load(path, AProgress);
        for (int s = 0; s < book.SheetCount(); ++s) {
          const TSheet &sheet = book.Sheet(s);
          if (!sheet.IsTableView())
            continue;
          const TCellRange area = sheet.UsedArea();
          add(s, sheet.Name(), sheet.State() != TSheetState::ssVisible, FullRowCount(area, IsSingleCell(area)),
              FullColCount(area), QString());
        }
      } catch (const std::exception &e) {
        items.clear();
        add(-1, QString(), false, 0, 0, ErrorMessageOf(e));
      }
    }
    if (items.empty())
      add(-1, QString(), false, 0, 0, QStringLiteral("未找到可用工作表"));
    for (auto &r : items)
      result.push_back(std::move(r));
    Report(AProgress, i, APaths.size());
  }
  return result;
}
