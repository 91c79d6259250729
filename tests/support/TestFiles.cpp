#include "TestFiles.h"

#include <QFile>

namespace TestSupport {

QByteArray ReadFileBytes(const QString &APath) {
  QFile f(APath);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool WriteFileBytes(const QString &APath, const QByteArray &ABytes) {
  QFile f(APath);
  return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(ABytes) == ABytes.size();
}

} // namespace TestSupport
