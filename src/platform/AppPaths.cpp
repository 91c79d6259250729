#include "AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace AppPaths {

QString ExecutableDir() {
  if (QCoreApplication::instance())
    return QCoreApplication::applicationDirPath();
  return QDir::currentPath();
}

bool IsDirWritable(const QString &ADir) {
  if (!QDir(ADir).exists())
    return false;
  QTemporaryFile probe(QDir(ADir).filePath(QStringLiteral(".tabulyx-probe-XXXXXX")));
  return probe.open();
}

QString SettingsFile() {
  const QString beside = ExecutableDir();
  if (IsDirWritable(beside))
    return QDir(beside).filePath(QStringLiteral("Tabulyx.ini"));
  const QString cfg = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
  QDir().mkpath(cfg);
  return QDir(cfg).filePath(QStringLiteral("Tabulyx.ini"));
}

QString LogDir() {
  const QString beside = ExecutableDir();
  if (IsDirWritable(beside))
    return QDir(beside).filePath(QStringLiteral("logs"));
  return QDir(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation)).filePath(QStringLiteral("logs"));
}

} // namespace AppPaths
