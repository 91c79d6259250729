#include "CliCommands.h"

int CliInfoFast(const QStringList &) { return CliFail(QStringLiteral("该命令尚未构建")); }
