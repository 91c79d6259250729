#include "sheet/CellTypes.h"

void TCellRange::Include(int ARow, int ACol) {
  if (IsEmpty()) {
    Left = Right = ACol;
    Top = Bottom = ARow;
    return;
  }
  if (ACol < Left) Left = ACol;
  if (ACol > Right) Right = ACol;
  if (ARow < Top) Top = ARow;
  if (ARow > Bottom) Bottom = ARow;
}

QString ColumnName(int ACol) {
  QString name;
  int n = ACol + 1;
  while (n > 0) {
    const int rem = (n - 1) % 26;
    name.prepend(QChar(u'A' + rem));
    n = (n - 1) / 26;
  }
  return name;
}

QString CellRefName(int ARow, int ACol) { return ColumnName(ACol) + QString::number(ARow + 1); }

QString RangeRefName(const TCellRange &ARange) {
  if (ARange.IsEmpty())
    return QString();
  if (ARange.Left == ARange.Right && ARange.Top == ARange.Bottom)
    return CellRefName(ARange.Top, ARange.Left);
  return CellRefName(ARange.Top, ARange.Left) + QLatin1Char(':') +
         CellRefName(ARange.Bottom, ARange.Right);
}

bool ParseCellRef(QStringView AText, int &ARow, int &ACol) {
  qsizetype i = 0;
  const qsizetype n = AText.size();
  if (i < n && AText[i] == u'$') ++i;
  int col = 0, letters = 0;
  while (i < n) {
    char16_t ch = AText[i].unicode();
    if (ch >= u'a' && ch <= u'z') ch = char16_t(ch - 32);
    if (ch < u'A' || ch > u'Z') break;
    col = col * 26 + (ch - u'A' + 1);
    if (++letters > 3) return false;
    ++i;
  }
  if (letters == 0) return false;
  if (i < n && AText[i] == u'$') ++i;
  long long row = 0;
  int digits = 0;
  while (i < n && AText[i] >= u'0' && AText[i] <= u'9') {
    row = row * 10 + (AText[i].unicode() - u'0');
    if (++digits > 7) return false;
    ++i;
  }
  if (digits == 0 || i != n || row < 1 || row > KMaxRows || col > KMaxCols) return false;
  ARow = static_cast<int>(row - 1);
  ACol = col - 1;
  return true;
}

bool ParseRangeRef(QStringView AText, TCellRange &ARange) {
  const qsizetype colon = AText.indexOf(u':');
  int r1, c1, r2, c2;
  if (colon < 0) {
    if (!ParseCellRef(AText, r1, c1)) return false;
    ARange = {c1, r1, c1, r1};
    return true;
  }
  if (!ParseCellRef(AText.left(colon), r1, c1) || !ParseCellRef(AText.mid(colon + 1), r2, c2))
    return false;
  ARange = {qMin(c1, c2), qMin(r1, r2), qMax(c1, c2), qMax(r1, r2)};
  return true;
}
