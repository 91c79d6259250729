// The engine against the real-world corpus and the facts independent readers recorded about it:
// sheet lists, sampled values and formulas, a save-and-reload that changes nothing, parts kept
// with their relationships, and clean errors for the broken files.
//
// Known differences from the oracle (openpyxl 3.0.9), which the comparison allows for:
// - openpyxl leaves Excel's _xHHHH_ escapes in texts; Excel (and we) decode them, so the oracle's
//   texts are decoded before comparing.
// - openpyxl drops the values stored in the hidden cells of a merged range; we keep them (they
//   come back when the range is unmerged), so extra cells inside merged ranges are allowed.
// - openpyxl lists macro and dialog sheets as worksheets; their kinds are taken from the raw
//   package facts instead.

#include "TestSupport.h"

#include "core/Errors.h"
#include "sheet/Workbook.h"
#include "sheet/xlsx/XlsxExtras.h"
#include "sheet/xlsx/XlsxPackage.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>
#include <gtest/gtest.h>

#include <cmath>

namespace {

QString DecodeEscapes(const QString &AText) {
  QString out;
  for (qsizetype i = 0; i < AText.size(); ++i) {
    if (AText[i] == u'_' && i + 6 < AText.size() && AText[i + 1] == u'x' && AText[i + 6] == u'_') {
      bool ok = false;
      const uint code = AText.mid(i + 2, 4).toUInt(&ok, 16);
      if (ok) {
        out += QChar(char16_t(code));
        i += 6;
        continue;
      }
    }
    out += AText[i];
  }
  return out;
}

// The serial number an ISO date/time of the oracle stands for (openpyxl's own conversion).
double OracleSerial(const QString &AIso, bool A1904) {
  const QTime t = QTime::fromString(AIso, Qt::ISODateWithMs);
  if (t.isValid() && !AIso.contains(u'-')) return t.msecsSinceStartOfDay() / 86400000.0;
  QDateTime dt = QDateTime::fromString(AIso, Qt::ISODateWithMs);
  dt.setTimeZone(QTimeZone::utc());
  const QDate epoch = A1904 ? QDate(1904, 1, 1) : QDate(1899, 12, 30);
  double v = double(epoch.daysTo(dt.date())) + dt.time().msecsSinceStartOfDay() / 86400000.0;
  if (!A1904 && v > 0 && v < 61 && dt.date() < QDate(1900, 3, 1)) v -= 1;
  return v;
}

QString KindName(TSheetKind AKind) {
  switch (AKind) {
  case TSheetKind::skWorksheet: return QStringLiteral("worksheet");
  case TSheetKind::skChartsheet: return QStringLiteral("chartsheet");
  case TSheetKind::skDialogsheet: return QStringLiteral("dialogsheet");
  case TSheetKind::skMacrosheet: return QStringLiteral("macrosheet");
  default: return QStringLiteral("other");
  }
}

QString StateName(TSheetState AState) {
  return AState == TSheetState::ssHidden ? QStringLiteral("hidden")
         : AState == TSheetState::ssVeryHidden ? QStringLiteral("veryHidden")
                                               : QStringLiteral("visible");
}

void CheckSample(const TSheet &ASheet, const QJsonObject &AOracle, bool A1904) {
  QSet<QPair<int, int>> seen;
  for (const QJsonValue &v : AOracle.value(QStringLiteral("sample")).toArray()) {
    const QJsonArray cell = v.toArray();
    const int row = cell[0].toInt() - 1, col = cell[1].toInt() - 1;
    const QString type = cell[2].toString();
    seen.insert({row, col});
    SCOPED_TRACE(CellRefName(row, col).toStdString() + " " + type.toStdString());
    const TCellValue ours = ASheet.CellValue(row, col);
    if (type == QLatin1String("number")) {
      ASSERT_EQ(ours.Type, TCellType::ctNumber);
      const double want = cell[3].toDouble();
      EXPECT_LE(std::abs(ours.Number - want), 1e-9 * std::max(1.0, std::abs(want)));
    } else if (type == QLatin1String("string")) {
      ASSERT_EQ(ours.Type, TCellType::ctString);
      const QString want = cell[3].toString();
      if (ours.Text != want) {
        EXPECT_EQ(ours.Text, DecodeEscapes(want));
      }
    } else if (type == QLatin1String("bool")) {
      EXPECT_EQ(ours, TCellValue::FromBoolean(cell[3].toBool()));
    } else if (type == QLatin1String("error")) {
      EXPECT_EQ(ours, TCellValue::FromError(cell[3].toString()));
    } else if (type == QLatin1String("date")) {
      ASSERT_EQ(ours.Type, TCellType::ctNumber);
      EXPECT_NEAR(ours.Number, OracleSerial(cell[3].toString(), A1904), 1.0 / 86400);
    } else if (type == QLatin1String("duration")) {
      ASSERT_EQ(ours.Type, TCellType::ctNumber);
      EXPECT_NEAR(ours.Number * 86400, cell[3].toDouble(), 1e-3);
    }
  }
  // Nothing more in the window than the oracle saw, except values hidden under merged ranges.
  for (const TRowRecord &row : ASheet.Rows()) {
    if (row.Index >= 30) break;
    for (const TCellRecord &c : row.Cells) {
      if (c.Col >= 15 || c.Type() == TCellType::ctEmpty || seen.contains({row.Index, int(c.Col)})) continue;
      const TCellRange merged = ASheet.MergedRangeAt(row.Index, c.Col);
      if (!merged.IsEmpty() && (merged.Top != row.Index || merged.Left != c.Col)) continue;
      ADD_FAILURE() << "extra cell " << CellRefName(row.Index, c.Col).toStdString();
    }
  }
  for (const QJsonValue &v : AOracle.value(QStringLiteral("formulas")).toArray()) {
    const QJsonArray f = v.toArray();
    const int row = f[0].toInt() - 1, col = f[1].toInt() - 1;
    SCOPED_TRACE("formula " + CellRefName(row, col).toStdString());
    EXPECT_EQ(ASheet.Formula(row, col), f[2].toString());
  }
}

// Same cells, formulas, display texts, merges, comments, hyperlinks and sizes.
void CheckSameContent(const TWorkbook &A, const TWorkbook &B) {
  ASSERT_EQ(A.SheetCount(), B.SheetCount());
  for (int i = 0; i < A.SheetCount(); ++i) {
    const TSheet &a = A.Sheet(i), &b = B.Sheet(i);
    SCOPED_TRACE(a.Name().toStdString());
    EXPECT_EQ(a.Name(), b.Name());
    EXPECT_EQ(a.State(), b.State());
    EXPECT_EQ(a.Kind(), b.Kind());
    EXPECT_EQ(a.UsedArea(), b.UsedArea());
    EXPECT_EQ(a.MergedRanges(), b.MergedRanges());
    EXPECT_EQ(a.Comments().size(), b.Comments().size());
    EXPECT_EQ(a.Hyperlinks().size(), b.Hyperlinks().size());
    EXPECT_EQ(a.NonEmptyCellCount(), b.NonEmptyCellCount());
    int failures = 0;
    a.ForEachCell([&](int ARow, const TCellRecord &C) {
      if (failures > 3) return;
      const bool same = a.CellValue(ARow, C.Col) == b.CellValue(ARow, C.Col) &&
                        a.Formula(ARow, C.Col) == b.Formula(ARow, C.Col) &&
                        a.DisplayText(ARow, C.Col) == b.DisplayText(ARow, C.Col) &&
                        a.CellStyle(ARow, C.Col) == b.CellStyle(ARow, C.Col);
      if (!same) {
        ++failures;
        ADD_FAILURE() << "cell " << CellRefName(ARow, C.Col).toStdString() << " differs: "
                      << a.DisplayText(ARow, C.Col).toStdString() << " / " << b.DisplayText(ARow, C.Col).toStdString();
      }
    });
    for (const TRowRecord &r : a.Rows()) EXPECT_EQ(a.RowHeight(r.Index), b.RowHeight(r.Index));
    for (const TColumnRange &c : a.Columns()) EXPECT_EQ(a.ColumnWidth(c.First), b.ColumnWidth(c.First));
  }
}

// Every part the model left alone is in the new package, byte for byte, and every relationship a
// sheet kept still points where it did.
void CheckKeptParts(const TWorkbook &AWorkbook, const QByteArray &ASaved) {
  auto *extras = dynamic_cast<const TXlsxWorkbookExtras *>(AWorkbook.Extras.get());
  ASSERT_NE(extras, nullptr);
  TZipReader saved(&ASaved, QStringLiteral("saved.xlsx"));
  for (const TXlsxPart &p : extras->Parts) {
    SCOPED_TRACE(p.Name.toStdString());
    const QString stored = saved.Find(p.Name);
    ASSERT_FALSE(stored.isEmpty()) << "part lost";
    EXPECT_EQ(saved.Read(stored, 1ll << 30), p.Data);
  }
  for (int i = 0; i < AWorkbook.SheetCount(); ++i) {
    auto *x = dynamic_cast<const TXlsxSheetExtras *>(AWorkbook.Sheet(i).Extras.get());
    if (!x || !AWorkbook.Sheet(i).IsTableView() || x->Rels.empty()) continue;
    const QString part = x->PartName;
    const QString relsName = part.left(part.lastIndexOf(u'/') + 1) + QStringLiteral("_rels/") +
                             part.mid(part.lastIndexOf(u'/') + 1) + QStringLiteral(".rels");
    const QString rels = QString::fromUtf8(saved.Read(saved.Find(relsName)));
    for (const TXlsxRelationship &r : x->Rels) {
      SCOPED_TRACE(r.Id.toStdString());
      EXPECT_TRUE(rels.contains(QStringLiteral("Id=\"%1\"").arg(r.Id)));
      EXPECT_TRUE(rels.contains(r.Target.toHtmlEscaped()) || rels.contains(r.Target));
    }
  }
}

} // namespace

TEST(XlsxCorpus, MatchesTheOracleAndSurvivesSaving) {
  const QString corpus = TestSupport::CorpusDir();
  if (corpus.isEmpty()) GTEST_SKIP() << "corpus not present";
  int readable = 0, refused = 0;
  QDirIterator it(corpus + QStringLiteral("/oracle"), {QStringLiteral("*.json")}, QDir::Files, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    QFile f(it.next());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QJsonObject o = QJsonDocument::fromJson(f.readAll()).object();
    const QString file = o.value(QStringLiteral("file")).toString();
    const QString path = corpus + QStringLiteral("/files/") + file;
    SCOPED_TRACE(file.toStdString());
    const QJsonObject op = o.value(QStringLiteral("readers")).toObject().value(QStringLiteral("openpyxl")).toObject();
    const QJsonArray opSheets = op.value(QStringLiteral("sheets")).toArray();
    const bool oracleReads = op.value(QStringLiteral("opened")).toBool() && !opSheets.isEmpty();
    TWorkbook wb;
    try {
      wb.LoadFromFile(path);
    } catch (const TTabulyxError &e) {
      ++refused;
      EXPECT_FALSE(oracleReads) << "refused: " << e.Message().toStdString();
      EXPECT_FALSE(e.Message().isEmpty());
      continue;
    }
    if (!oracleReads) continue; // we read more than openpyxl; nothing to compare with
    ++readable;

    // Sheet list: names and states as openpyxl saw them, kinds from the package itself.
    const QJsonArray raw = o.value(QStringLiteral("raw")).toObject().value(QStringLiteral("zip")).toObject().value(QStringLiteral("sheets")).toArray();
    int oi = 0;
    for (int i = 0; i < wb.SheetCount(); ++i) {
      const TSheet &s = wb.Sheet(i);
      if (s.Kind() != TSheetKind::skWorksheet && s.Kind() != TSheetKind::skChartsheet &&
          s.Kind() != TSheetKind::skMacrosheet && s.Kind() != TSheetKind::skDialogsheet)
        continue;
      ASSERT_LT(oi, opSheets.size());
      const QJsonObject want = opSheets[oi++].toObject();
      EXPECT_EQ(s.Name(), want.value(QStringLiteral("name")).toString());
      EXPECT_EQ(StateName(s.State()), want.value(QStringLiteral("state")).toString());
      for (const QJsonValue &r : raw) {
        if (r.toObject().value(QStringLiteral("name")).toString() == s.Name()) {
          // The raw kind is the relationship type's last word ("xlMacrosheet" for macro sheets).
          EXPECT_TRUE(r.toObject().value(QStringLiteral("kind")).toString().endsWith(KindName(s.Kind()), Qt::CaseInsensitive));
        }
      }
      if (s.IsTableView()) CheckSample(s, want, op.value(QStringLiteral("epoch")).toString() == QLatin1String("1904"));
    }
    EXPECT_EQ(oi, opSheets.size());

    const QByteArray saved = wb.SaveToBytes();
    TWorkbook back;
    ASSERT_NO_THROW(back.LoadFromBytes(saved));
    CheckSameContent(wb, back);
    CheckKeptParts(wb, saved);
  }
  EXPECT_GT(readable, 100);
  EXPECT_GT(refused, 50);
}
