// tabulyx-cli info --fast: what the fast .xlsx metadata reader makes of each file, as one JSON
// object per file, shaped like the full load's "info --json" plus what only the fast reader knows
// (the dimension as stored, the header texts, the group column).

#include "CliCommands.h"

#include "scan/XlsxMetaReader.h"
#include "sheet/CellTypes.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <exception>

namespace {

QString StateText(const QString &AState) {
  if (AState.compare(QLatin1String("hidden"), Qt::CaseInsensitive) == 0)
    return QStringLiteral("hidden");
  if (AState.compare(QLatin1String("veryHidden"), Qt::CaseInsensitive) == 0)
    return QStringLiteral("veryHidden");
  return QStringLiteral("visible");
}

// The relationship type's last segment; the reader does not know the kind of a sheet whose
// relationship is missing, which is reported as "other".
QString KindText(const QString &AKind) {
  if (AKind == QLatin1String("worksheet") || AKind == QLatin1String("chartsheet"))
    return AKind;
  return QStringLiteral("other");
}

QString UsedText(const TXlsxSheetMeta &AMeta) {
  if (AMeta.IsEmptySheet)
    return QString();
  return RangeRefName(TCellRange{AMeta.DimLeft, AMeta.DimTop, AMeta.DimRight, AMeta.DimBottom});
}

QJsonObject SheetJson(const TXlsxSheetMeta &AMeta, bool AWithGroup) {
  QJsonObject o;
  o.insert(QStringLiteral("index"), AMeta.SheetIndex);
  o.insert(QStringLiteral("name"), AMeta.SheetName);
  o.insert(QStringLiteral("state"), StateText(AMeta.SheetState));
  o.insert(QStringLiteral("kind"), KindText(AMeta.SheetKind));
  o.insert(QStringLiteral("used"), UsedText(AMeta));
  o.insert(QStringLiteral("rows"), AMeta.IsEmptySheet ? 0 : AMeta.DimBottom - AMeta.DimTop + 1);
  o.insert(QStringLiteral("cols"), AMeta.IsEmptySheet ? 0 : AMeta.DimRight - AMeta.DimLeft + 1);
  // The fast reader never looks at the cells below the header rows, so it cannot count them.
  o.insert(QStringLiteral("cells"), QJsonValue(QJsonValue::Null));
  o.insert(QStringLiteral("empty"), AMeta.IsEmptySheet);
  o.insert(QStringLiteral("dim"), AMeta.DimensionRef);
  QJsonArray header;
  for (const QStringList &row : AMeta.HeaderTexts)
    header.append(QJsonArray::fromStringList(row));
  o.insert(QStringLiteral("header"), header);
  if (AWithGroup)
    o.insert(QStringLiteral("group"), QJsonArray::fromStringList(AMeta.GroupColTexts));
  return o;
}

QString PlainText(const QString &APath, bool AOk, const QString &AError,
                  const std::vector<std::unique_ptr<TXlsxSheetMeta>> &AMetas) {
  if (!AOk)
    return APath + QStringLiteral(": ") + AError + u'\n';
  QString s = APath + QStringLiteral(": ") + QString::number(AMetas.size()) + QStringLiteral(" sheet(s)\n");
  for (const auto &m : AMetas)
    s += QStringLiteral("  #%1 %2 [%3] dim=%4 used=%5%6\n")
             .arg(m->SheetIndex)
             .arg(m->SheetName, StateText(m->SheetState), m->DimensionRef, UsedText(*m),
                  m->IsEmptySheet ? QStringLiteral(" (empty)") : QString());
  return s;
}

bool TakeInt(const QStringList &AArgs, int &AIndex, int &AValue) {
  if (AIndex + 1 >= AArgs.size())
    return false;
  bool ok = false;
  AValue = AArgs[++AIndex].toInt(&ok);
  return ok;
}

} // namespace

int CliInfoFast(const QStringList &AArgs) {
  bool json = false;
  int headerRows = 1;
  int groupCol = -1;
  bool withGroup = false;
  QStringList files;
  for (int i = 0; i < AArgs.size(); ++i) {
    const QString &a = AArgs[i];
    if (a == QLatin1String("--fast"))
      continue;
    if (a == QLatin1String("--json")) {
      json = true;
    } else if (a == QLatin1String("--header-rows")) {
      if (!TakeInt(AArgs, i, headerRows) || headerRows < 0 || headerRows > 1000)
        return CliFail(QStringLiteral("--header-rows 需要 0 到 1000 的整数"), 2);
    } else if (a == QLatin1String("--group-col")) {
      if (!TakeInt(AArgs, i, groupCol) || groupCol < 0)
        return CliFail(QStringLiteral("--group-col 需要 0 或更大的整数（从 0 起的列号）"), 2);
      withGroup = true;
    } else if (a.startsWith(QLatin1String("--"))) {
      return CliFail(QStringLiteral("未知选项：") + a, 2);
    } else {
      files << a;
    }
  }
  if (files.isEmpty())
    return CliFail(QStringLiteral("usage: tabulyx-cli info --fast [--header-rows N] [--group-col N] [--json] FILE..."), 2);

  bool anyFailed = false;
  for (const QString &path : files) {
    std::vector<std::unique_ptr<TXlsxSheetMeta>> metas;
    int sheetCount = 0;
    bool ok = false;
    QString error;
    try {
      ok = ReadXlsxSheetMetas(path, headerRows, sheetCount, nullptr, groupCol, metas);
      if (!ok)
        error = QStringLiteral("快速读取不适用于此文件（缺少文件、不是 ZIP 包或缺少工作簿部件）");
    } catch (const std::exception &e) {
      error = QString::fromUtf8(e.what());
    }
    if (!ok)
      metas.clear();
    anyFailed = anyFailed || !ok;
    if (!json) {
      CliOut(PlainText(path, ok, error, metas));
      continue;
    }
    QJsonObject o;
    o.insert(QStringLiteral("path"), path);
    o.insert(QStringLiteral("ok"), ok);
    o.insert(QStringLiteral("fast"), ok);
    o.insert(QStringLiteral("error"), ok ? QJsonValue(QJsonValue::Null) : QJsonValue(error));
    QJsonArray sheets;
    for (const auto &m : metas)
      sheets.append(SheetJson(*m, withGroup));
    o.insert(QStringLiteral("sheets"), sheets);
    CliOut(QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact)) + u'\n');
  }
  return anyFailed ? 1 : 0;
}
