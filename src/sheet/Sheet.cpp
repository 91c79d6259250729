#include "sheet/Sheet.h"

#include "sheet/FormulaShift.h"
#include "sheet/NumberFormat.h"
#include "sheet/Workbook.h"

#include <algorithm>

namespace {

std::vector<TCellRecord>::iterator LowerCell(std::vector<TCellRecord> &ACells, int ACol) {
  return std::lower_bound(ACells.begin(), ACells.end(), ACol,
                          [](const TCellRecord &c, int col) { return c.Col < col; });
}

std::vector<TCellRecord>::const_iterator LowerCell(const std::vector<TCellRecord> &ACells,
                                                   int ACol) {
  return std::lower_bound(ACells.begin(), ACells.end(), ACol,
                          [](const TCellRecord &c, int col) { return c.Col < col; });
}

} // namespace

TSheet::TSheet(TWorkbook *AWorkbook, const QString &AName, TSheetKind AKind)
    : FWorkbook(AWorkbook), FName(AName), FKind(AKind) {}

TSheet::~TSheet() = default;

// ---------------------------------------------------------------- reading cells

const TRowRecord *TSheet::FindRow(int ARow) const {
  auto it = std::lower_bound(FRows.begin(), FRows.end(), ARow,
                             [](const TRowRecord &r, int row) { return r.Index < row; });
  return (it != FRows.end() && it->Index == ARow) ? &*it : nullptr;
}

const TCellRecord *TSheet::FindCell(int ARow, int ACol) const {
  const TRowRecord *row = FindRow(ARow);
  if (!row) return nullptr;
  auto it = LowerCell(row->Cells, ACol);
  return (it != row->Cells.end() && it->Col == ACol) ? &*it : nullptr;
}

TCellRecord *TSheet::FindCellMutable(int ARow, int ACol) {
  return const_cast<TCellRecord *>(FindCell(ARow, ACol));
}

TCellRange TSheet::UsedArea() const {
  TCellRange area;
  for (const TRowRecord &row : FRows) {
    if (row.Cells.empty()) continue;
    area.Include(row.Index, row.Cells.front().Col);
    area.Include(row.Index, row.Cells.back().Col);
  }
  // Merged blocks and commented cells count as used even where the file stores no cells for
  // them, as in Excel's own dimension.
  for (const TCellRange &m : FMerged) {
    area.Include(m.Top, m.Left);
    area.Include(m.Bottom, m.Right);
  }
  for (const auto &[pos, comment] : FComments) area.Include(pos.first, pos.second);
  return area;
}

bool TSheet::IsCellEmpty(int ARow, int ACol) const {
  const TCellRecord *c = FindCell(ARow, ACol);
  return !c || c->IsEmpty();
}

TCellType TSheet::CellType(int ARow, int ACol) const {
  const TCellRecord *c = FindCell(ARow, ACol);
  return c ? c->Type() : TCellType::ctEmpty;
}

TCellValue TSheet::CellValue(int ARow, int ACol) const {
  const TCellRecord *c = FindCell(ARow, ACol);
  if (!c) return {};
  switch (c->Type()) {
  case TCellType::ctNumber: return TCellValue::FromNumber(c->Value.Number);
  case TCellType::ctBoolean: return TCellValue::FromBoolean(c->Value.Index != 0);
  case TCellType::ctString: return TCellValue::FromString(FWorkbook->Strings().Text(int(c->Value.Index)));
  case TCellType::ctError: return TCellValue::FromError(FWorkbook->Strings().Text(int(c->Value.Index)));
  default: return {};
  }
}

QString TSheet::AsString(int ARow, int ACol) const {
  const TCellRecord *c = FindCell(ARow, ACol);
  if (!c) return QString();
  switch (c->Type()) {
  case TCellType::ctNumber: return FormatGeneralNumber(c->Value.Number);
  case TCellType::ctBoolean: return c->Value.Index ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
  case TCellType::ctString:
  case TCellType::ctError: return FWorkbook->Strings().Text(int(c->Value.Index));
  default: return QString();
  }
}

double TSheet::AsFloat(int ARow, int ACol) const {
  const TCellRecord *c = FindCell(ARow, ACol);
  if (!c) return 0;
  if (c->Type() == TCellType::ctNumber) return c->Value.Number;
  if (c->Type() == TCellType::ctBoolean) return c->Value.Index ? 1 : 0;
  return 0;
}

QString TSheet::DisplayText(const TCellRecord &ACell) const {
  switch (ACell.Type()) {
  case TCellType::ctNumber:
    return FormatNumberValue(ACell.Value.Number, FWorkbook->Styles().NumberFormatCode(ACell.Style),
                             FWorkbook->Date1904());
  case TCellType::ctString: {
    const QString text = FWorkbook->Strings().Text(int(ACell.Value.Index));
    if (ACell.Style == 0) return text;
    const QString code = FWorkbook->Styles().NumberFormatCode(ACell.Style);
    // Without '@' and with fewer than four sections (General included) the code has no text
    // section; a fourth section applies to text even without '@' ("0;-0;0;\"n/a\"" shows n/a).
    if (!code.contains(u'@') && code.count(u';') < 3) return text;
    return FormatTextValue(text, code);
  }
  case TCellType::ctBoolean: return ACell.Value.Index ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
  case TCellType::ctError: return FWorkbook->Strings().Text(int(ACell.Value.Index));
  default: return QString();
  }
}

QString TSheet::DisplayText(int ARow, int ACol) const {
  const TCellRecord *c = FindCell(ARow, ACol);
  return c ? DisplayText(*c) : QString();
}

bool TSheet::HasFormula(int ARow, int ACol) const {
  const TCellRecord *c = FindCell(ARow, ACol);
  return c && c->HasFormula();
}

const TFormula *TSheet::FormulaRecord(int ARow, int ACol) const {
  const TCellRecord *c = FindCell(ARow, ACol);
  if (!c || !c->HasFormula()) return nullptr;
  const int id = c->FormulaId();
  return (id >= 0 && id < int(FFormulas.size())) ? &FFormulas[size_t(id)] : nullptr;
}

QString TSheet::Formula(int ARow, int ACol) const {
  const TCellRecord *c = FindCell(ARow, ACol);
  const TFormula *f = FormulaRecord(ARow, ACol);
  if (!c || !f) return QString();
  if (c->IsSharedChild())
    return QLatin1Char('=') + ShiftFormulaReferences(f->Text, ARow - f->MasterRow, ACol - f->MasterCol);
  return QLatin1Char('=') + f->Text;
}

int TSheet::CellStyle(int ARow, int ACol) const {
  const TCellRecord *c = FindCell(ARow, ACol);
  return c ? c->Style : 0;
}

std::int64_t TSheet::NonEmptyCellCount() const {
  std::int64_t n = 0;
  for (const TRowRecord &row : FRows)
    for (const TCellRecord &c : row.Cells)
      if (!c.IsEmpty()) ++n;
  return n;
}

// ---------------------------------------------------------------- writing cells

TRowRecord &TSheet::GetOrCreateRow(int ARow) {
  Q_ASSERT(ARow >= 0 && ARow < KMaxRows);
  if (FRows.empty() || FRows.back().Index < ARow) {
    FRows.emplace_back();
    FRows.back().Index = ARow;
    return FRows.back();
  }
  auto it = std::lower_bound(FRows.begin(), FRows.end(), ARow,
                             [](const TRowRecord &r, int row) { return r.Index < row; });
  if (it != FRows.end() && it->Index == ARow) return *it;
  it = FRows.insert(it, TRowRecord());
  it->Index = ARow;
  return *it;
}

TCellRecord &TSheet::GetOrCreateCell(int ARow, int ACol) {
  Q_ASSERT(ACol >= 0 && ACol < KMaxCols);
  TRowRecord &row = GetOrCreateRow(ARow);
  auto it = LowerCell(row.Cells, ACol);
  if (it != row.Cells.end() && it->Col == ACol) return *it;
  TCellRecord cell{};
  cell.Col = static_cast<std::uint16_t>(ACol);
  // A new cell in a row or column with a format takes that format, as in Excel.
  if (row.Flags & TRowRecord::rfCustomFormat) cell.Style = row.Style;
  return *row.Cells.insert(it, cell);
}

void TSheet::ReleaseFormula(TCellRecord &ACell) {
  // The formula record stays in the list (ids of other cells must not move); the writer skips
  // records no cell refers to.
  ACell.Bits &= 0xF;
}

void TSheet::SetFormulaBits(TCellRecord &ACell, int AFormulaId, bool ASharedChild) {
  ACell.Bits = (ACell.Bits & 0xF) | (ASharedChild ? 0x10u : 0u) |
               (static_cast<std::uint32_t>(AFormulaId + 1) << 5);
}

void TSheet::SetValue(int ARow, int ACol, const TCellValue &AValue) {
  TCellRecord &c = GetOrCreateCell(ARow, ACol);
  ReleaseFormula(c);
  c.Bits = static_cast<std::uint32_t>(AValue.Type);
  switch (AValue.Type) {
  case TCellType::ctNumber: c.Value.Number = AValue.Number; break;
  case TCellType::ctBoolean: c.Value.Number = 0; c.Value.Index = AValue.Number != 0 ? 1 : 0; break;
  case TCellType::ctString:
  case TCellType::ctError: c.Value.Number = 0; c.Value.Index = std::uint32_t(FWorkbook->Strings().Add(AValue.Text)); break;
  default: c.Value.Number = 0; break;
  }
}

void TSheet::SetNumber(int ARow, int ACol, double AValue) { SetValue(ARow, ACol, TCellValue::FromNumber(AValue)); }
void TSheet::SetString(int ARow, int ACol, const QString &AText) { SetValue(ARow, ACol, TCellValue::FromString(AText)); }
void TSheet::SetBoolean(int ARow, int ACol, bool AValue) { SetValue(ARow, ACol, TCellValue::FromBoolean(AValue)); }
void TSheet::SetError(int ARow, int ACol, const QString &AError) { SetValue(ARow, ACol, TCellValue::FromError(AError)); }

void TSheet::SetFormula(int ARow, int ACol, const QString &AFormula, const TCellValue &ACached) {
  SetValue(ARow, ACol, ACached);
  TFormula f;
  f.Text = AFormula.startsWith(u'=') ? AFormula.mid(1) : AFormula;
  f.MasterRow = ARow;
  f.MasterCol = ACol;
  const int id = AddFormulaRecord(std::move(f));
  SetFormulaBits(*FindCellMutable(ARow, ACol), id, false);
}

void TSheet::SetCellStyle(int ARow, int ACol, int AStyle) {
  GetOrCreateCell(ARow, ACol).Style = static_cast<std::uint16_t>(AStyle);
}

void TSheet::ClearCellValue(int ARow, int ACol) {
  if (TCellRecord *c = FindCellMutable(ARow, ACol)) {
    c->Bits = 0;
    c->Value.Number = 0;
  }
}

void TSheet::ClearCells(const TCellRange &AArea, unsigned AFlags) {
  if (AArea.IsEmpty()) return;
  if (AFlags & (cfValues | cfStyles)) {
    auto first = std::lower_bound(FRows.begin(), FRows.end(), AArea.Top,
                                  [](const TRowRecord &r, int row) { return r.Index < row; });
    for (auto row = first; row != FRows.end() && row->Index <= AArea.Bottom; ++row) {
      auto &cells = row->Cells;
      for (auto c = LowerCell(cells, AArea.Left); c != cells.end() && c->Col <= AArea.Right; ++c) {
        if (AFlags & cfValues) {
          c->Bits = 0;
          c->Value.Number = 0;
        }
        if (AFlags & cfStyles) c->Style = 0;
      }
      cells.erase(std::remove_if(LowerCell(cells, AArea.Left), cells.end(),
                                 [&](const TCellRecord &c) {
                                   return c.Col <= AArea.Right && c.IsEmpty() && c.Style == 0;
                                 }),
                  cells.end());
    }
  }
  if (AFlags & cfComments) {
    for (auto it = FComments.begin(); it != FComments.end();)
      it = AArea.Contains(it->first.first, it->first.second) ? FComments.erase(it) : std::next(it);
  }
  if (AFlags & cfHyperlinks) RemoveHyperlinksInArea(AArea);
}

void TSheet::RemoveCell(int ARow, int ACol) {
  const TRowRecord *row = FindRow(ARow);
  if (!row) return;
  auto &cells = const_cast<TRowRecord *>(row)->Cells;
  auto it = LowerCell(cells, ACol);
  if (it != cells.end() && it->Col == ACol) cells.erase(it);
}

int TSheet::AddFormulaRecord(TFormula AFormula) {
  FFormulas.push_back(std::move(AFormula));
  return static_cast<int>(FFormulas.size() - 1);
}

void TSheet::PutCell(int ARow, const TCellRecord &ACell) {
  TRowRecord &row = GetOrCreateRow(ARow);
  auto it = LowerCell(row.Cells, ACell.Col);
  if (it != row.Cells.end() && it->Col == ACell.Col)
    *it = ACell;
  else
    row.Cells.insert(it, ACell);
}

void TSheet::AppendRow(TRowRecord &&ARow) {
  if (FRows.empty() || FRows.back().Index < ARow.Index) {
    FRows.push_back(std::move(ARow));
    return;
  }
  // Rows out of order (rare, but Excel reads them): merge into the existing row.
  TRowRecord &row = GetOrCreateRow(ARow.Index);
  if (ARow.HasAttributes()) {
    row.Height = ARow.Height;
    row.Style = ARow.Style;
    row.Flags = ARow.Flags;
    row.OutlineLevel = ARow.OutlineLevel;
  }
  for (const TCellRecord &c : ARow.Cells) PutCell(ARow.Index, c);
}

void TRowRecord::SortCells() {
  std::stable_sort(Cells.begin(), Cells.end(),
                   [](const TCellRecord &a, const TCellRecord &b) { return a.Col < b.Col; });
  std::vector<TCellRecord> unique;
  unique.reserve(Cells.size());
  for (const TCellRecord &c : Cells) {
    if (!unique.empty() && unique.back().Col == c.Col) unique.back() = c;
    else unique.push_back(c);
  }
  Cells.assign(unique.begin(), unique.end());
}

void TSheet::MergeRows(std::vector<TRowRecord> &&ARows) {
  if (ARows.empty()) return;
  std::stable_sort(ARows.begin(), ARows.end(),
                   [](const TRowRecord &a, const TRowRecord &b) { return a.Index < b.Index; });
  std::vector<TRowRecord> merged;
  merged.reserve(FRows.size() + ARows.size());
  auto take = [&](TRowRecord &&ARow) {
    if (merged.empty() || merged.back().Index != ARow.Index) {
      merged.push_back(std::move(ARow));
      return;
    }
    TRowRecord &row = merged.back();
    if (ARow.HasAttributes() || ARow.Style) {
      row.Height = ARow.Height;
      row.Style = ARow.Style;
      row.Flags = ARow.Flags;
      row.OutlineLevel = ARow.OutlineLevel;
    }
    row.Cells.insert(row.Cells.end(), ARow.Cells.begin(), ARow.Cells.end());
    row.SortCells();
  };
  size_t i = 0, j = 0;
  while (i < FRows.size() || j < ARows.size()) {
    if (j >= ARows.size() || (i < FRows.size() && FRows[i].Index <= ARows[j].Index)) take(std::move(FRows[i++]));
    else take(std::move(ARows[j++]));
  }
  FRows.swap(merged);
}

// ---------------------------------------------------------------- rows and columns

double TSheet::RowHeight(int ARow) const {
  const TRowRecord *row = FindRow(ARow);
  return row ? row->Height : -1;
}

void TSheet::SetRowHeight(int ARow, double AHeight) {
  TRowRecord &row = GetOrCreateRow(ARow);
  row.Height = static_cast<float>(AHeight);
  if (AHeight >= 0)
    row.Flags |= TRowRecord::rfCustomHeight;
  else
    row.Flags &= ~TRowRecord::rfCustomHeight;
}

bool TSheet::IsRowHidden(int ARow) const {
  const TRowRecord *row = FindRow(ARow);
  return row && (row->Flags & TRowRecord::rfHidden);
}

void TSheet::SetRowHidden(int ARow, bool AHidden) {
  TRowRecord &row = GetOrCreateRow(ARow);
  if (AHidden)
    row.Flags |= TRowRecord::rfHidden;
  else
    row.Flags &= ~TRowRecord::rfHidden;
}

namespace {
const TColumnRange *FindColumn(const std::vector<TColumnRange> &ACols, int ACol) {
  auto it = std::lower_bound(ACols.begin(), ACols.end(), ACol,
                             [](const TColumnRange &r, int col) { return r.Last < col; });
  return (it != ACols.end() && it->First <= ACol) ? &*it : nullptr;
}
} // namespace

double TSheet::ColumnWidth(int ACol) const {
  const TColumnRange *c = FindColumn(FColumns, ACol);
  return c ? c->Width : -1;
}

bool TSheet::IsColumnHidden(int ACol) const {
  const TColumnRange *c = FindColumn(FColumns, ACol);
  return c && c->Hidden;
}

// Makes ACol a range of its own so it can be changed alone.
void TSheet::SplitColumnsAt(int ACol) {
  auto it = std::lower_bound(FColumns.begin(), FColumns.end(), ACol,
                             [](const TColumnRange &r, int col) { return r.Last < col; });
  if (it == FColumns.end() || it->First > ACol) {
    TColumnRange r;
    r.First = r.Last = ACol;
    FColumns.insert(it, r);
    return;
  }
  if (it->First == ACol && it->Last == ACol) return;
  TColumnRange before = *it, single = *it, after = *it;
  before.Last = ACol - 1;
  single.First = single.Last = ACol;
  after.First = ACol + 1;
  const auto pos = it - FColumns.begin();
  FColumns.erase(it);
  std::vector<TColumnRange> parts;
  if (before.First <= before.Last) parts.push_back(before);
  parts.push_back(single);
  if (after.First <= after.Last) parts.push_back(after);
  FColumns.insert(FColumns.begin() + pos, parts.begin(), parts.end());
}

void TSheet::SetColumnWidth(int ACol, double AWidth) {
  SplitColumnsAt(ACol);
  auto *c = const_cast<TColumnRange *>(FindColumn(FColumns, ACol));
  c->Width = AWidth;
  c->CustomWidth = AWidth >= 0;
}

void TSheet::SetColumnHidden(int ACol, bool AHidden) {
  SplitColumnsAt(ACol);
  const_cast<TColumnRange *>(FindColumn(FColumns, ACol))->Hidden = AHidden;
}

// ---------------------------------------------------------------- merged ranges

void TSheet::AddMergedRange(const TCellRange &ARange) {
  if (!ARange.IsEmpty()) FMerged.push_back(ARange);
}

bool TSheet::HasMergedInArea(const TCellRange &AArea) const {
  return std::any_of(FMerged.begin(), FMerged.end(),
                     [&](const TCellRange &r) { return r.Intersects(AArea); });
}

int TSheet::DeleteMergedInArea(const TCellRange &AArea) {
  const auto before = FMerged.size();
  FMerged.erase(std::remove_if(FMerged.begin(), FMerged.end(),
                               [&](const TCellRange &r) { return r.Intersects(AArea); }),
                FMerged.end());
  return static_cast<int>(before - FMerged.size());
}

TCellRange TSheet::MergedRangeAt(int ARow, int ACol) const {
  for (const TCellRange &r : FMerged)
    if (r.Contains(ARow, ACol)) return r;
  return {};
}

// ---------------------------------------------------------------- comments and hyperlinks

const TComment *TSheet::Comment(int ARow, int ACol) const {
  auto it = FComments.find({ARow, ACol});
  return it == FComments.end() ? nullptr : &it->second;
}

void TSheet::SetComment(int ARow, int ACol, const TComment &AComment) { FComments[{ARow, ACol}] = AComment; }
void TSheet::RemoveComment(int ARow, int ACol) { FComments.erase({ARow, ACol}); }

const THyperlink *TSheet::HyperlinkAt(int ARow, int ACol) const {
  for (const THyperlink &h : FHyperlinks)
    if (h.Range.Contains(ARow, ACol)) return &h;
  return nullptr;
}

void TSheet::AddHyperlink(const THyperlink &ALink) { FHyperlinks.push_back(ALink); }

void TSheet::RemoveHyperlinksInArea(const TCellRange &AArea) {
  FHyperlinks.erase(std::remove_if(FHyperlinks.begin(), FHyperlinks.end(),
                                   [&](const THyperlink &h) { return h.Range.Intersects(AArea); }),
                    FHyperlinks.end());
}
