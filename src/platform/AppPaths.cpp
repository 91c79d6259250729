#include "AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMutex>
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

namespace {

// Asked once per process (per folder): every settings and log look-up needs the answer, and each
// probe creates and removes a file. Settings and logs also stay in one place for the whole run.
bool IsExecutableDirWritable(const QString &ADir) {
  static QMutex lock;
  static QString knownDir;
  static bool writable = false;
  const QMutexLocker guard(&lock);
  if (knownDir.isNull() || knownDir != ADir) {
    writable = IsDirWritable(ADir);
    knownDir = ADir;
  }
  return writable;
}

} // namespace

QString SettingsFile() {
  const QString beside = ExecutableDir();
  if (IsExecutableDirWritable(beside))
    return QDir(beside).filePath(QStringLiteral("Tabulyx.ini"));
  const QString cfg = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
  QDir().mkpath(cfg);
  return QDir(cfg).filePath(QStringLiteral("Tabulyx.ini"));
}

QString LogDir() {
  const QString beside = ExecutableDir();
  if (IsExecutableDirWritable(beside))
    return QDir(beside).filePath(QStringLiteral("logs"));
  return QDir(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation)).filePath(QStringLiteral("logs"));
}

} // namespace AppPaths
