#pragma once
// The process-wide scan caches, one per dialog kind: a scan of an unchanged file under the same
// scan parameters is answered from memory, at the cost of one file-status query. Entries are
// keyed by path, size, last-write time and the scan parameters, so a changed file or changed
// parameters simply miss; stale entries are never removed while the program runs. Values are
// copied in and out (Clone), never shared. Used from the user-interface thread only, unlocked.

#include "ScanRecords.h"

#include <QString>
#include <initializer_list>
#include <optional>
#include <unordered_map>

// "path|size|time" followed by "|param" for each parameter, all integers in decimal. Size is the
// file's size (-1 when it cannot be queried, 0 when there is no file); time is the last-write
// time (local) as days since 1899-12-30 in a double, whose 64-bit pattern read as a signed
// integer is what goes into the key (0 when there is no file). The path is used as given.
QString BuildScanKey(const QString &APath, std::initializer_list<int> AParams);

// Storage of one cache whose value per key is a list of records.
template <typename TRecord>
class TListScanCache {
public:
  TListScanCache() = default;
  TListScanCache(const TListScanCache &) = delete;
  TListScanCache &operator=(const TListScanCache &) = delete;
  void Clear() { FItems.clear(); }
  int Count() const { return static_cast<int>(FItems.size()); }

protected:
  std::optional<TOwnedList<TRecord>> Get(const QString &AKey) const {
    const auto it = FItems.find(AKey);
    if (it == FItems.end())
      return std::nullopt;
    return CloneList(it->second);
  }
  void Store(const QString &AKey, const TOwnedList<TRecord> &AList) { FItems[AKey] = CloneList(AList); }

private:
  std::unordered_map<QString, TOwnedList<TRecord>> FItems;
};

// Storage of one cache whose value per key is one book scan.
class TBookScanCacheBase {
public:
  TBookScanCacheBase() = default;
  TBookScanCacheBase(const TBookScanCacheBase &) = delete;
  TBookScanCacheBase &operator=(const TBookScanCacheBase &) = delete;
  void Clear() { FItems.clear(); }
  int Count() const { return static_cast<int>(FItems.size()); }

protected:
  std::unique_ptr<TBookScan> Get(const QString &AKey) const {
    const auto it = FItems.find(AKey);
    return it == FItems.end() ? nullptr : it->second->Clone();
  }
  void Store(const QString &AKey, const TBookScan *AScan) {
    if (AScan)
      FItems[AKey] = AScan->Clone();
  }

private:
  std::unordered_map<QString, std::unique_ptr<TBookScan>> FItems;
};

// Book merge: list of TSheetMeta per path.
class TBookMergeScanCache : public TListScanCache<TSheetMeta> {
public:
  std::optional<TSheetMetaList> TryGet(const QString &APath) const { return Get(BuildKey(APath)); }
  void Put(const QString &APath, const TSheetMetaList &AList) { Store(BuildKey(APath), AList); }

private:
  static QString BuildKey(const QString &APath) { return BuildScanKey(APath, {}); }
};

// Book split: list of TSplitMeta per path.
class TBookSplitScanCache : public TListScanCache<TSplitMeta> {
public:
  std::optional<TSplitMetaList> TryGet(const QString &APath) const { return Get(BuildKey(APath)); }
  void Put(const QString &APath, const TSplitMetaList &AList) { Store(BuildKey(APath), AList); }

private:
  static QString BuildKey(const QString &APath) { return BuildScanKey(APath, {}); }
};

// Sheet split: list of TSheetScanMeta per path, header rows, split mode and group column (the
// group column only counts in mode 1).
class TSheetSplitScanCache : public TListScanCache<TSheetScanMeta> {
public:
  std::optional<TSheetScanMetaList> TryGet(const QString &APath, int AHR, int AMode, int AGroupCol) const {
    return Get(BuildKey(APath, AHR, AMode, AGroupCol));
  }
  void Put(const QString &APath, int AHR, int AMode, int AGroupCol, const TSheetScanMetaList &AList) {
    Store(BuildKey(APath, AHR, AMode, AGroupCol), AList);
  }

private:
  static QString BuildKey(const QString &APath, int AHR, int AMode, int AGroupCol) {
    return BuildScanKey(APath, {AHR, AMode, AMode == 1 ? AGroupCol : -1});
  }
};

// Sheet add and cell clean: one TBookScan per path.
class TPathBookScanCache : public TBookScanCacheBase {
public:
  std::unique_ptr<TBookScan> TryGet(const QString &APath) const { return Get(BuildScanKey(APath, {})); }
  void Put(const QString &APath, const TBookScan *AScan) { Store(BuildScanKey(APath, {}), AScan); }
};

// Sheet merge and the cell dialogs: one TBookScan per path and one scan parameter (the header
// rows for sheet merge, the zero-based header row for the cell dialogs).
class TParamBookScanCache : public TBookScanCacheBase {
public:
  std::unique_ptr<TBookScan> TryGet(const QString &APath, int AParam) const { return Get(BuildScanKey(APath, {AParam})); }
  void Put(const QString &APath, int AParam, const TBookScan *AScan) { Store(BuildScanKey(APath, {AParam}), AScan); }
};

class TSheetAddScanCache : public TPathBookScanCache {};
class TCellCleanScanCache : public TPathBookScanCache {};
class TBookScanCache : public TParamBookScanCache {};      // sheet merge, keyed by AHeaderRows
class TCellAddScanCache : public TParamBookScanCache {};   // keyed by AHeaderRow0
class TCellMergeScanCache : public TParamBookScanCache {}; // keyed by AHeaderRow0
class TCellSplitScanCache : public TParamBookScanCache {}; // keyed by AHeaderRow0

// The one instance of each cache, alive from program start to program end.
extern TBookMergeScanCache GBookMergeScanCache;
extern TBookSplitScanCache GBookSplitScanCache;
extern TSheetAddScanCache GSheetAddScanCache;
extern TBookScanCache GBookScanCache;
extern TSheetSplitScanCache GSheetSplitScanCache;
extern TCellAddScanCache GCellAddScanCache;
extern TCellMergeScanCache GCellMergeScanCache;
extern TCellSplitScanCache GCellSplitScanCache;
extern TCellCleanScanCache GCellCleanScanCache;
