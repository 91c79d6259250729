// tabulyx-cli info / dump / convert: the spreadsheet engine's full load, its cells and a
// load-and-save, for scripts, smoke tests and the benchmarks.

#include "CliCommands.h"

#include "core/Errors.h"
#include "sheet/NumberFormat.h"
#include "sheet/Workbook.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <exception>

namespace {

QString StateText(TSheetState AState) {
  switch (AState) {
  case TSheetState::ssHidden: return QStringLiteral("hidden");
  case TSheetState::ssVeryHidden: return QStringLiteral("veryHidden");
  default: return QStringLiteral("visible");
  }
}

QString KindText(TSheetKind AKind) {
  switch (AKind) {
  case TSheetKind::skWorksheet: return QStringLiteral("worksheet");
  case TSheetKind::skChartsheet: return QStringLiteral("chartsheet");
  default: return QStringLiteral("other");
  }
}

QString JsonLine(const QJsonObject &AObject) {
  return QString::fromUtf8(QJsonDocument(AObject).toJson(QJsonDocument::Compact)) + QLatin1Char('\n');
}

QJsonObject SheetInfo(const TSheet &ASheet, int AIndex) {
  const TCellRange used = ASheet.IsTableView() ? ASheet.UsedArea() : TCellRange();
  QJsonObject o;
  o.insert(QStringLiteral("index"), AIndex);
  o.insert(QStringLiteral("name"), ASheet.Name());
  o.insert(QStringLiteral("state"), StateText(ASheet.State()));
  o.insert(QStringLiteral("kind"), KindText(ASheet.Kind()));
  o.insert(QStringLiteral("used"), RangeRefName(used));
  o.insert(QStringLiteral("rows"), used.RowCount());
  o.insert(QStringLiteral("cols"), used.ColCount());
  o.insert(QStringLiteral("cells"), double(ASheet.IsTableView() ? ASheet.NonEmptyCellCount() : 0));
  return o;
}

} // namespace

int CliInfo(const QStringList &AArgs) {
  bool json = false;
  QStringList files;
  for (const QString &a : AArgs) {
    if (a == QLatin1String("--json")) json = true;
    else if (a.startsWith(QLatin1String("--"))) return CliFail(QStringLiteral("未知选项：") + a, 2);
    else files << a;
  }
  if (files.isEmpty()) return CliFail(QStringLiteral("用法：tabulyx-cli info [--json] FILE..."), 2);
  bool anyFailed = false;
  TWorkbook wb;
  for (const QString &path : files) {
    QJsonObject line;
    line.insert(QStringLiteral("path"), path);
    try {
      wb.LoadFromFile(path);
      QJsonArray sheets;
      for (int i = 0; i < wb.SheetCount(); ++i) sheets.append(SheetInfo(wb.Sheet(i), i));
      line.insert(QStringLiteral("ok"), true);
      line.insert(QStringLiteral("error"), QJsonValue::Null);
      line.insert(QStringLiteral("sheets"), sheets);
      if (json) {
        CliOut(JsonLine(line));
      } else {
        CliOut(path + QLatin1Char('\n'));
        for (const QJsonValue &v : sheets) {
          const QJsonObject s = v.toObject();
          CliOut(QStringLiteral("  #%1 %2 [%3, %4] %5 %6行 %7列 %8个单元格\n")
                     .arg(s.value(QStringLiteral("index")).toInt())
                     .arg(s.value(QStringLiteral("name")).toString(), s.value(QStringLiteral("state")).toString(),
                          s.value(QStringLiteral("kind")).toString(),
                          s.value(QStringLiteral("used")).toString().isEmpty() ? QStringLiteral("(空)")
                                                                               : s.value(QStringLiteral("used")).toString())
                     .arg(s.value(QStringLiteral("rows")).toInt())
                     .arg(s.value(QStringLiteral("cols")).toInt())
                     .arg(qint64(s.value(QStringLiteral("cells")).toDouble())));
        }
      }
    } catch (const std::exception &e) {
      anyFailed = true;
      line.insert(QStringLiteral("ok"), false);
      line.insert(QStringLiteral("error"), ErrorMessageOf(e));
      line.insert(QStringLiteral("sheets"), QJsonArray());
      if (json) CliOut(JsonLine(line));
      else CliFail(path + QStringLiteral("：") + ErrorMessageOf(e));
    }
  }
  return anyFailed ? 1 : 0;
}

int CliDump(const QStringList &AArgs) {
  bool json = false;
  QString sheetArg, rangeArg, file;
  for (int i = 0; i < AArgs.size(); ++i) {
    const QString &a = AArgs[i];
    if (a == QLatin1String("--json")) json = true;
    else if (a == QLatin1String("--sheet") && i + 1 < AArgs.size()) sheetArg = AArgs[++i];
    else if (a == QLatin1String("--range") && i + 1 < AArgs.size()) rangeArg = AArgs[++i];
    else if (a.startsWith(QLatin1String("--"))) return CliFail(QStringLiteral("未知选项或缺少参数：") + a, 2);
    else if (file.isEmpty()) file = a;
    else return CliFail(QStringLiteral("dump 只接受一个文件"), 2);
  }
  if (file.isEmpty())
    return CliFail(QStringLiteral("用法：tabulyx-cli dump [--json] [--sheet NAME|#INDEX] [--range A1:D10] FILE"), 2);
  TCellRange range{0, 0, KMaxCols - 1, KMaxRows - 1};
  if (!rangeArg.isEmpty() && !ParseRangeRef(rangeArg, range))
    return CliFail(QStringLiteral("区域无效：") + rangeArg, 2);

  TWorkbook wb;
  try {
    wb.LoadFromFile(file);
  } catch (const std::exception &e) {
    return CliFail(file + QStringLiteral("：") + ErrorMessageOf(e));
  }
  std::vector<int> sheets;
  if (sheetArg.isEmpty()) {
    for (int i = 0; i < wb.SheetCount(); ++i) sheets.push_back(i);
  } else {
    int index = -1;
    bool numeric = false;
    if (sheetArg.startsWith(u'#')) index = sheetArg.mid(1).toInt(&numeric);
    if (!numeric) index = wb.SheetIndexByName(sheetArg);
    if (index < 0 || index >= wb.SheetCount())
      return CliFail(QStringLiteral("找不到工作表：") + sheetArg);
    sheets.push_back(index);
  }
  QString out;
  for (int index : sheets) {
    const TSheet &s = wb.Sheet(index);
    if (!s.IsTableView()) continue;
    if (!json) out += QStringLiteral("[%1]\n").arg(s.Name());
    for (const TRowRecord &row : s.Rows()) {
      if (row.Index < range.Top || row.Index > range.Bottom) continue;
      for (const TCellRecord &c : row.Cells) {
        if (c.Col < range.Left || c.Col > range.Right || c.Type() == TCellType::ctEmpty) continue;
        const QString display = s.DisplayText(c);
        const QString formula = c.HasFormula() ? s.Formula(row.Index, c.Col) : QString();
        const QString ref = CellRefName(row.Index, c.Col);
        if (json) {
          QJsonObject o;
          o.insert(QStringLiteral("sheet"), s.Name());
          o.insert(QStringLiteral("ref"), ref);
          o.insert(QStringLiteral("row"), row.Index);
          o.insert(QStringLiteral("col"), int(c.Col));
          switch (c.Type()) {
          case TCellType::ctNumber:
            o.insert(QStringLiteral("type"), QStringLiteral("number"));
            o.insert(QStringLiteral("value"), c.Value.Number);
            break;
          case TCellType::ctBoolean:
            o.insert(QStringLiteral("type"), QStringLiteral("boolean"));
            o.insert(QStringLiteral("value"), c.Value.Index != 0);
            break;
          case TCellType::ctError:
            o.insert(QStringLiteral("type"), QStringLiteral("error"));
            o.insert(QStringLiteral("value"), display);
            break;
          default:
            o.insert(QStringLiteral("type"), QStringLiteral("string"));
            o.insert(QStringLiteral("value"), s.AsString(row.Index, c.Col));
            break;
          }
          o.insert(QStringLiteral("formula"), formula.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(formula));
          o.insert(QStringLiteral("display"), display);
          out += JsonLine(o);
        } else {
          out += ref + QLatin1Char('\t') + display;
          if (!formula.isEmpty()) out += QLatin1Char('\t') + formula;
          out += QLatin1Char('\n');
        }
        if (out.size() > (1 << 20)) {
          CliOut(out);
          out.clear();
        }
      }
    }
  }
  CliOut(out);
  return 0;
}

int CliConvert(const QStringList &AArgs) {
  if (AArgs.size() != 2 || AArgs[0].startsWith(QLatin1String("--")) || AArgs[1].startsWith(QLatin1String("--")))
    return CliFail(QStringLiteral("用法：tabulyx-cli convert IN OUT"), 2);
  try {
    TWorkbook wb;
    wb.LoadFromFile(AArgs[0]);
    wb.SaveToFile(AArgs[1]);
  } catch (const std::exception &e) {
    return CliFail(ErrorMessageOf(e));
  }
  return 0;
}
