#include "FileSafety.h"

#include "Errors.h"
#include "NamingUtils.h"
#include "SpreadSheetDocument.h"
#include "platform/FileLocks.h"
#include "platform/FileOps.h"
#include "platform/SpreadsheetApp.h"

#include <QFile>
#include <QFileInfo>

namespace {

[[noreturn]] void RaiseOsError(const QString &AWhat, const QString &APath, const Platform::TOsError &AError) {
  throw TFileIoError(AWhat + QStringLiteral(": ") + APath + QStringLiteral(": ") + AError.Text +
                         QStringLiteral(" (系统错误代码 ") + QString::number(AError.Code) + u')',
                     APath, AError.Code);
}

} // namespace

QString AtomicSaveTempPath(const QString &APath) {
  const QString name = ExtractFileName(APath);
  return APath.left(APath.size() - name.size()) + QStringLiteral("~tmp~") + name;
}

void SaveSpreadSheetAtomic(const TSpreadSheetDocument *ASheet, const QString &APath) {
  if (!ASheet)
    throw TArgumentError(QStringLiteral("SaveSpreadSheetAtomic: ASheet 为空"));
  if (APath.isEmpty())
    throw TArgumentError(QStringLiteral("SaveSpreadSheetAtomic: APath 为空"));

  const QString temp = AtomicSaveTempPath(APath);
  Platform::TOsError error;
  if (!Platform::RemoveFile(temp, &error))
    throw TFileIoError(QStringLiteral("无法清理残留临时文件: %1").arg(temp), temp, error.Code);

  try {
    ASheet->SaveToFile(temp);
  } catch (...) {
    Platform::RemoveFile(temp);
    throw;
  }

  // A rewritten workbook keeps the permissions the user gave the old one.
  const bool targetIsFile = QFileInfo(APath).isFile();
  if (targetIsFile)
    QFile::setPermissions(temp, QFile::permissions(APath));
  if (!Platform::SyncFile(temp, &error)) {
    Platform::RemoveFile(temp);
    RaiseOsError(QStringLiteral("写入临时文件失败"), temp, error);
  }
  // A program that holds the target open would keep working on the old file and later write it
  // back over ours; Windows refuses the move in that case, other systems would not, so ask first.
  if (targetIsFile && Platform::IsFileHeldOpen(APath, &error)) {
    Platform::RemoveFile(temp);
    RaiseOsError(QStringLiteral("无法替换目标文件"), APath, error);
  }
  if (!Platform::MoveFileReplace(temp, APath, &error)) {
    Platform::RemoveFile(temp);
    RaiseOsError(QStringLiteral("无法替换目标文件"), APath, error);
  }
}

bool IsFileReadOnly(const QString &AFileName) { return Platform::IsFileReadOnly(AFileName); }

bool IsFileLocked(const QString &AFileName) { return Platform::IsFileLocked(AFileName); }

bool IsSpreadsheetAppInstalled() { return Platform::IsSpreadsheetAppInstalled(); }

TFileState GetFileState(const QString &AFileName) {
  const QFileInfo info(AFileName);
  if (!info.exists() || info.isDir())
    return TFileState::fsMissing;
  if (IsFileReadOnly(AFileName))
    return TFileState::fsReadOnly;
  if (IsFileLocked(AFileName))
    return TFileState::fsInUse;
  return TFileState::fsUsable;
}

QString FileStateText(TFileState AState) {
  switch (AState) {
  case TFileState::fsMissing:
    return QStringLiteral("文件不存在");
  case TFileState::fsReadOnly:
    return QStringLiteral("文件只读");
  case TFileState::fsInUse:
    return QStringLiteral("文件被占用");
  case TFileState::fsUsable:
    break;
  }
  return QString();
}
