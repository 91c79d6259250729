#include "TestDocuments.h"

#include "core/Errors.h"

#include <QFile>

namespace TestSupport {

namespace {

void WritePart(const QString &APath, const QByteArray &ABytes, qsizetype ACount) {
  QFile file(APath);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
    throw TFileIoError(QStringLiteral("无法创建文件: ") + APath + QStringLiteral(": ") + file.errorString(), APath);
  if (file.write(ABytes.constData(), ACount) != ACount)
    throw TFileIoError(QStringLiteral("写入失败: ") + file.errorString(), APath);
  file.flush();
}

} // namespace

void TBytesDocument::SaveToFile(const QString &APath) const {
  ++SaveCount;
  LastPath = APath;
  WritePart(APath, FBytes, FBytes.size());
}

void TFailingDocument::SaveToFile(const QString &APath) const {
  ++SaveCount;
  LastPath = APath;
  WritePart(APath, FBytes, qMin(FFailAfter, FBytes.size()));
  throw TFileIoError(QStringLiteral("磁盘已满"), APath, 28);
}

} // namespace TestSupport
