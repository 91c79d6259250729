// tabulyx-cli names: what the naming helpers make of names, one result per line.

#include "CliCommands.h"

#include "core/NamingUtils.h"

#include <functional>
#include <map>

namespace {

using TNameRule = std::function<QString(const QString &)>;

const std::map<QString, TNameRule> &NameRules() {
  static const std::map<QString, TNameRule> rules{
      {QStringLiteral("sanitize"), [](const QString &s) { return SanitizeFileName(s); }},
      {QStringLiteral("strip"), [](const QString &s) { return StripFileName(s); }},
      {QStringLiteral("sheet-add"), [](const QString &s) { return SanitizeSheetName(s, TSheetNameForm::snfAdd); }},
      {QStringLiteral("sheet"), [](const QString &s) { return SanitizeSheetName(s, TSheetNameForm::snfAdd); }},
      {QStringLiteral("sheet-merge"), [](const QString &s) { return SanitizeSheetName(s, TSheetNameForm::snfMerge); }},
      {QStringLiteral("sheet-split"), [](const QString &s) { return SanitizeSheetName(s, TSheetNameForm::snfSplit); }},
      {QStringLiteral("valid"),
       [](const QString &s) { return IsValidFileName(s) ? QStringLiteral("true") : QStringLiteral("false"); }},
  };
  return rules;
}

} // namespace

int CliNames(const QStringList &AArgs) {
  const QString usage = QStringLiteral("usage: tabulyx-cli names sanitize|strip|sheet-add|sheet-merge|sheet-split|valid NAME...");
  if (AArgs.isEmpty())
    return CliFail(usage, 2);
  const auto rule = NameRules().find(AArgs.first());
  if (rule == NameRules().end())
    return CliFail(QStringLiteral("unknown names form: ") + AArgs.first() + u'\n' + usage, 2);
  QString out;
  for (const QString &name : AArgs.mid(1))
    out += rule->second(name) + u'\n';
  CliOut(out);
  return 0;
}
