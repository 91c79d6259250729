#include "sheet/FormulaShift.h"

#include "sheet/CellTypes.h"

namespace {

bool IsIdentChar(QChar A) {
  return A.isLetterOrNumber() || A == u'_' || A == u'.' || A == u'\\';
}

bool IsLetter(QChar A) { return (A >= u'A' && A <= u'Z') || (A >= u'a' && A <= u'z'); }
bool IsDigit(QChar A) { return A >= u'0' && A <= u'9'; }

// One "$?LETTERS" or "$?DIGITS" part starting at APos.
struct TPart {
  bool Absolute = false;
  int Value = 0; // zero-based column or row
  int End = 0;   // index after the part
  bool Ok = false;
};

TPart ReadColumn(const QString &AText, int APos) {
  TPart p;
  int i = APos;
  if (i < AText.size() && AText[i] == u'$') { p.Absolute = true; ++i; }
  int col = 0, n = 0;
  while (i < AText.size() && IsLetter(AText[i]) && n < 4) {
    col = col * 26 + (AText[i].toUpper().unicode() - u'A' + 1);
    ++i;
    ++n;
  }
  if (n == 0 || n > 3 || col > KMaxCols) return p;
  p.Value = col - 1;
  p.End = i;
  p.Ok = true;
  return p;
}

TPart ReadRow(const QString &AText, int APos) {
  TPart p;
  int i = APos;
  if (i < AText.size() && AText[i] == u'$') { p.Absolute = true; ++i; }
  long long row = 0;
  int n = 0;
  while (i < AText.size() && IsDigit(AText[i]) && n < 8) {
    row = row * 10 + (AText[i].unicode() - u'0');
    ++i;
    ++n;
  }
  if (n == 0 || n > 7 || row < 1 || row > KMaxRows) return p;
  p.Value = int(row - 1);
  p.End = i;
  p.Ok = true;
  return p;
}

bool EndsToken(const QString &AText, int APos) {
  return APos >= AText.size() || (!IsIdentChar(AText[APos]) && AText[APos] != u'(');
}

// Shifted text of one part, or empty when it leaves the grid.
QString ShiftColumn(const TPart &AP, int ADelta, bool &AOff) {
  int v = AP.Absolute ? AP.Value : AP.Value + ADelta;
  if (v < 0 || v >= KMaxCols) { AOff = true; return QString(); }
  return (AP.Absolute ? QStringLiteral("$") : QString()) + ColumnName(v);
}

QString ShiftRow(const TPart &AP, int ADelta, bool &AOff) {
  int v = AP.Absolute ? AP.Value : AP.Value + ADelta;
  if (v < 0 || v >= KMaxRows) { AOff = true; return QString(); }
  return (AP.Absolute ? QStringLiteral("$") : QString()) + QString::number(v + 1);
}

} // namespace

QString ShiftFormulaReferences(const QString &AFormula, int ADeltaRow, int ADeltaCol) {
  if (ADeltaRow == 0 && ADeltaCol == 0) return AFormula;
  QString out;
  out.reserve(AFormula.size() + 8);
  const int n = int(AFormula.size());
  int i = 0;
  while (i < n) {
    const QChar ch = AFormula[i];
    if (ch == u'"' || ch == u'\'') {
      // String literal or quoted sheet name: copy up to the closing quote ("" / '' escape it).
      int j = i + 1;
      while (j < n) {
        if (AFormula[j] == ch) {
          if (j + 1 < n && AFormula[j + 1] == ch) { j += 2; continue; }
          break;
        }
        ++j;
      }
      out += QStringView(AFormula).mid(i, qMin(j + 1, n) - i);
      i = j + 1;
      continue;
    }
    if (ch == u'[') {
      int depth = 0, j = i;
      for (; j < n; ++j) {
        if (AFormula[j] == u'[') ++depth;
        else if (AFormula[j] == u']' && --depth == 0) break;
      }
      out += QStringView(AFormula).mid(i, qMin(j + 1, n) - i);
      i = j + 1;
      continue;
    }
    const bool atStart = i == 0 || !IsIdentChar(AFormula[i - 1]);
    if (atStart && (ch == u'$' || IsLetter(ch) || IsDigit(ch))) {
      bool off = false;
      // A1-style cell, optionally a range A1:B2 (the second half is handled on its own).
      TPart col = ReadColumn(AFormula, i);
      if (col.Ok) {
        TPart row = ReadRow(AFormula, col.End);
        if (row.Ok && row.End > col.End && EndsToken(AFormula, row.End) &&
            !(row.End < n && AFormula[row.End] == u'!')) {
          QString c = ShiftColumn(col, ADeltaCol, off), r = ShiftRow(row, ADeltaRow, off);
          out += off ? QStringLiteral("#REF!") : c + r;
          i = row.End;
          continue;
        }
        // Whole columns A:C.
        if (col.End < n && AFormula[col.End] == u':') {
          TPart col2 = ReadColumn(AFormula, col.End + 1);
          if (col2.Ok && EndsToken(AFormula, col2.End) && !IsDigit(AFormula[col.End + 1])) {
            QString a = ShiftColumn(col, ADeltaCol, off), b = ShiftColumn(col2, ADeltaCol, off);
            out += off ? QStringLiteral("#REF!") : a + QLatin1Char(':') + b;
            i = col2.End;
            continue;
          }
        }
      }
      // Whole rows 1:3.
      TPart row = ReadRow(AFormula, i);
      if (row.Ok && row.End < n && AFormula[row.End] == u':') {
        TPart row2 = ReadRow(AFormula, row.End + 1);
        if (row2.Ok && EndsToken(AFormula, row2.End)) {
          QString a = ShiftRow(row, ADeltaRow, off), b = ShiftRow(row2, ADeltaRow, off);
          out += off ? QStringLiteral("#REF!") : a + QLatin1Char(':') + b;
          i = row2.End;
          continue;
        }
      }
      // Any other identifier or number: copy it whole so its tail is not mistaken for a ref.
      int j = i + 1;
      while (j < n && (IsIdentChar(AFormula[j]) || AFormula[j] == u'$')) ++j;
      out += QStringView(AFormula).mid(i, j - i);
      i = j;
      continue;
    }
    out += ch;
    ++i;
  }
  return out;
}
