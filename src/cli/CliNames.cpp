#include "CliCommands.h"

int CliNames(const QStringList &) { return CliFail(QStringLiteral("该命令尚未构建")); }
