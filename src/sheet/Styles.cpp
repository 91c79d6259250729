#include "sheet/Styles.h"

#include "sheet/NumberFormat.h"

namespace {
// Excel numbers the first custom format 164; lower ids are built-in.
constexpr int KFirstCustomNumFmt = 164;
} // namespace

TStyleTable::TStyleTable() { Reset(); }

void TStyleTable::ClearAll() {
  NumberFormats.clear();
  Fonts.clear();
  Fills.clear();
  Borders.clear();
  CellFormats.clear();
  StyleFormats.clear();
  FCodeCache.clear();
}

void TStyleTable::Reset() {
  ClearAll();
  Fonts.push_back(TFont());
  Fonts.back().Family = 2;
  Fonts.back().Scheme = QStringLiteral("minor");
  Fonts.back().Color.Kind = TColor::ckTheme;
  Fonts.back().Color.Index = 1;
  // Excel insists on these two fills at positions 0 and 1.
  TFill none;
  none.PatternType = QStringLiteral("none");
  TFill gray;
  gray.PatternType = QStringLiteral("gray125");
  Fills = {none, gray};
  Borders.push_back(TBorder());
  StyleFormats.push_back(TCellFormat());
  CellFormats.push_back(TCellFormat());
}

const TCellFormat &TStyleTable::CellFormat(int AIndex) const {
  static const TCellFormat KDefault;
  if (AIndex < 0 || AIndex >= CellFormatCount())
    return CellFormats.empty() ? KDefault : CellFormats.front();
  return CellFormats[static_cast<size_t>(AIndex)];
}

QString TStyleTable::NumberFormatCodeById(int ANumFmtId) const {
  const auto it = NumberFormats.find(ANumFmtId);
  if (it != NumberFormats.end())
    return it->second;
  const QString code = BuiltinNumberFormatCode(ANumFmtId);
  return code.isEmpty() ? QStringLiteral("General") : code;
}

QString TStyleTable::NumberFormatCode(int AStyleIndex) const {
  if (AStyleIndex < 0 || AStyleIndex >= CellFormatCount())
    AStyleIndex = 0;
  if (FCodeCache.size() != CellFormats.size()) {
    FCodeCache.assign(CellFormats.size(), QString());
    for (size_t i = 0; i < CellFormats.size(); ++i)
      FCodeCache[i] = NumberFormatCodeById(CellFormats[i].NumFmtId);
  }
  if (FCodeCache.empty())
    return QStringLiteral("General");
  return FCodeCache[static_cast<size_t>(AStyleIndex)];
}

int TStyleTable::AddNumberFormat(const QString &ACode) {
  for (const auto &[id, code] : NumberFormats)
    if (code == ACode)
      return id;
  for (int id = 0; id < KFirstCustomNumFmt; ++id)
    if (!NumberFormats.count(id) && BuiltinNumberFormatCode(id) == ACode)
      return id;
  int id = KFirstCustomNumFmt;
  if (!NumberFormats.empty())
    id = qMax(id, NumberFormats.rbegin()->first + 1);
  NumberFormats[id] = ACode;
  FCodeCache.clear();
  return id;
}

int TStyleTable::AddFont(const TFont &AFont) {
  Fonts.push_back(AFont);
  return static_cast<int>(Fonts.size() - 1);
}

int TStyleTable::AddFill(const TFill &AFill) {
  Fills.push_back(AFill);
  return static_cast<int>(Fills.size() - 1);
}

int TStyleTable::AddBorder(const TBorder &ABorder) {
  Borders.push_back(ABorder);
  return static_cast<int>(Borders.size() - 1);
}

int TStyleTable::AddCellFormat(const TCellFormat &AFormat) {
  CellFormats.push_back(AFormat);
  FCodeCache.clear();
  return static_cast<int>(CellFormats.size() - 1);
}
