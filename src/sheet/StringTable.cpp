#include "sheet/StringTable.h"

#include <cstring>

namespace {
// Texts go into blocks of this many UTF-16 units; longer texts get a block of their own.
constexpr std::uint32_t KBlockUnits = 1u << 16;

std::size_t HashText(QStringView AText) { return qHash(AText); }
} // namespace

TStringTable::TStringTable() = default;
TStringTable::~TStringTable() = default;

void TStringTable::Clear() {
  FEntries.clear();
  FEntries.shrink_to_fit();
  FBlocks.clear();
  FBlockSizes.clear();
  FBlockUsed = 0;
  FCurrentBlock = -1;
  FRich.clear();
  FLookup.clear();
  FLookupBuilt = false;
}

const char16_t *TStringTable::Data(const TEntry &AEntry) const {
  return FBlocks[AEntry.Block].get() + AEntry.Offset;
}

QStringView TStringTable::View(int AIndex) const {
  if (AIndex < 0 || AIndex >= Count()) return {};
  const TEntry &e = FEntries[static_cast<size_t>(AIndex)];
  return QStringView(Data(e), static_cast<qsizetype>(e.Length));
}

QString TStringTable::Text(int AIndex) const { return View(AIndex).toString(); }

int TStringTable::Store(QStringView AText, std::int32_t ARich) {
  const auto len = static_cast<std::uint32_t>(AText.size());
  TEntry e{0, 0, len, ARich};
  if (len > KBlockUnits / 4) {
    // A long text gets its own block so the shared block in use stays densely filled.
    FBlocks.emplace_back(new char16_t[len ? len : 1]);
    FBlockSizes.push_back(len);
    e.Block = static_cast<std::uint32_t>(FBlocks.size() - 1);
    std::memcpy(FBlocks.back().get(), AText.utf16(), len * sizeof(char16_t));
  } else {
    if (FCurrentBlock < 0 || FBlockUsed + len > KBlockUnits) {
      FBlocks.emplace_back(new char16_t[KBlockUnits]);
      FBlockSizes.push_back(KBlockUnits);
      FCurrentBlock = static_cast<int>(FBlocks.size() - 1);
      FBlockUsed = 0;
    }
    e.Block = static_cast<std::uint32_t>(FCurrentBlock);
    e.Offset = FBlockUsed;
    std::memcpy(FBlocks[static_cast<size_t>(FCurrentBlock)].get() + FBlockUsed, AText.utf16(),
                len * sizeof(char16_t));
    FBlockUsed += len;
  }
  FEntries.push_back(e);
  const int index = static_cast<int>(FEntries.size() - 1);
  if (FLookupBuilt && ARich < 0) FLookup.emplace(HashText(AText), index);
  return index;
}

int TStringTable::Append(QStringView AText) { return Store(AText, -1); }

int TStringTable::AppendRich(QStringView AText, const QByteArray &ARichBlob) {
  FRich.push_back(ARichBlob);
  return Store(AText, static_cast<std::int32_t>(FRich.size() - 1));
}

void TStringTable::BuildLookup() const {
  FLookup.clear();
  FLookup.reserve(FEntries.size());
  for (size_t i = 0; i < FEntries.size(); ++i)
    if (FEntries[i].Rich < 0)
      FLookup.emplace(HashText(View(static_cast<int>(i))), static_cast<int>(i));
  FLookupBuilt = true;
}

int TStringTable::Add(QStringView AText) {
  if (!FLookupBuilt) BuildLookup();
  const auto [first, last] = FLookup.equal_range(HashText(AText));
  for (auto it = first; it != last; ++it)
    if (View(it->second) == AText) return it->second;
  return Store(AText, -1);
}

bool TStringTable::IsRich(int AIndex) const {
  return AIndex >= 0 && AIndex < Count() && FEntries[static_cast<size_t>(AIndex)].Rich >= 0;
}

QByteArray TStringTable::RichBlob(int AIndex) const {
  if (!IsRich(AIndex)) return QByteArray();
  return FRich[static_cast<size_t>(FEntries[static_cast<size_t>(AIndex)].Rich)];
}

void TStringTable::Reserve(int ACount) {
  if (ACount > 0) FEntries.reserve(static_cast<size_t>(ACount));
}

std::size_t TStringTable::MemoryBytes() const {
  std::size_t n = FEntries.capacity() * sizeof(TEntry);
  for (std::uint32_t s : FBlockSizes) n += s * sizeof(char16_t);
  return n;
}
