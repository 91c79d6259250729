#pragma once
// The workbook's shared text storage: every text cell refers to an entry by index, so a million
// cells with repeating texts cost one copy of each text. Texts live in large UTF-16 blocks rather
// than one heap string each, which keeps a workbook with millions of distinct texts compact.
//
// Usage:
//   int i = wb.Strings().Add(QStringLiteral("北京"));   // interned: the same text gives the same index
//   QString s = wb.Strings().Text(i);
//
// Caveats: entries are never removed while the workbook lives; writers drop unused ones when
// saving. A rich-text entry (runs with fonts) keeps its plain text here and its runs as a
// format-specific blob (RichBlob) that the writer of the same format emits unchanged; rich entries
// are not shared with plain entries of the same text.

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringView>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

class TStringTable {
public:
  TStringTable();
  ~TStringTable();
  TStringTable(const TStringTable &) = delete;
  TStringTable &operator=(const TStringTable &) = delete;

  void Clear();
  int Count() const { return static_cast<int>(FEntries.size()); }
  // The plain text of entry AIndex.
  QString Text(int AIndex) const;
  QStringView View(int AIndex) const;
  // Returns the index of an equal plain entry, adding one when there is none.
  int Add(QStringView AText);
  // Appends an entry without looking for an equal one (readers keep the file's order this way).
  int Append(QStringView AText);
  // Appends a rich-text entry: its plain text plus the runs as a format-specific blob.
  int AppendRich(QStringView AText, const QByteArray &ARichBlob);
  bool IsRich(int AIndex) const;
  QByteArray RichBlob(int AIndex) const;
  // Readers that know the count up front reserve the index table.
  void Reserve(int ACount);
  // Bytes held (blocks plus index), for memory reports.
  std::size_t MemoryBytes() const;

private:
  struct TEntry {
    std::uint32_t Block;
    std::uint32_t Offset;
    std::uint32_t Length;
    std::int32_t Rich; // index into FRich, -1 when plain
  };
  const char16_t *Data(const TEntry &AEntry) const;
  int Store(QStringView AText, std::int32_t ARich);
  void BuildLookup() const;

  std::vector<TEntry> FEntries;
  std::vector<std::unique_ptr<char16_t[]>> FBlocks;
  std::vector<std::uint32_t> FBlockSizes;
  std::uint32_t FBlockUsed = 0;
  int FCurrentBlock = -1;
  std::vector<QByteArray> FRich;
  // Built on the first Add: hash of plain text -> indices with that hash.
  mutable std::unordered_multimap<std::size_t, int> FLookup;
  mutable bool FLookupBuilt = false;
};
