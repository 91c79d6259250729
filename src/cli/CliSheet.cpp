#include "CliCommands.h"

int CliInfo(const QStringList &) { return CliFail(QStringLiteral("该命令尚未构建")); }
int CliDump(const QStringList &) { return CliFail(QStringLiteral("该命令尚未构建")); }
int CliConvert(const QStringList &) { return CliFail(QStringLiteral("该命令尚未构建")); }
