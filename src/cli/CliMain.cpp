// tabulyx-cli: the engines without a window, for scripts, benchmarks and smoke tests.

#include "CliCommands.h"

#include <QCoreApplication>
#include <cstdio>

namespace {

const char *const KUsage =
    "usage: tabulyx-cli <command> [options]\n"
    "  --version                         print the version\n"
    "  names sanitize|strip|valid|sheet-add|sheet-merge|sheet-split NAME...\n"
    "                                    show what the naming helpers make of names\n"
    "  info [--json] [--fast [--header-rows N] [--group-col N]] FILE...\n"
    "  dump [--json] [--sheet NAME|#INDEX] [--range A1:D10] FILE\n"
    "  convert IN OUT\n";

} // namespace

int CliFail(const QString &AMessage, int AExitCode) {
  std::fputs(AMessage.toUtf8().constData(), stderr);
  std::fputc('\n', stderr);
  return AExitCode;
}

void CliOut(const QString &AText) {
  const QByteArray bytes = AText.toUtf8();
  std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
}

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("Tabulyx"));
  QStringList args = QCoreApplication::arguments().mid(1);
  if (args.isEmpty())
    return CliFail(QString::fromLatin1(KUsage).trimmed(), 2);
  const QString command = args.takeFirst();
  if (command == QLatin1String("--version") || command == QLatin1String("version")) {
    CliOut(QStringLiteral("tabulyx-cli " TABULYX_VERSION "\n"));
    return 0;
  }
  if (command == QLatin1String("--help") || command == QLatin1String("-h")) {
    CliOut(QString::fromLatin1(KUsage));
    return 0;
  }
  try {
    if (command == QLatin1String("names"))
      return CliNames(args);
    if (command == QLatin1String("info"))
      return args.contains(QStringLiteral("--fast")) ? CliInfoFast(args) : CliInfo(args);
    if (command == QLatin1String("dump"))
      return CliDump(args);
    if (command == QLatin1String("convert"))
      return CliConvert(args);
  } catch (const std::exception &e) {
    return CliFail(QString::fromUtf8(e.what()), 1);
  }
  return CliFail(QStringLiteral("unknown command: ") + command + QStringLiteral("\n") +
                     QString::fromLatin1(KUsage).trimmed(),
                 2);
}
