#pragma once
// The commands of tabulyx-cli. Each takes the arguments after its name and returns the exit code:
// 0 success, 1 failure (one line on stderr), 2 usage error.

#include <QStringList>

int CliNames(const QStringList &AArgs);    // naming helpers, for scripts and the demo
int CliInfo(const QStringList &AArgs);     // sheets of workbooks through the full load
int CliInfoFast(const QStringList &AArgs); // sheets through the fast metadata reader
int CliDump(const QStringList &AArgs);     // non-empty cells
int CliConvert(const QStringList &AArgs);  // load and save

// Writes one line to stderr and returns AExitCode.
int CliFail(const QString &AMessage, int AExitCode = 1);
// Writes text (UTF-8) to stdout.
void CliOut(const QString &AText);
