#include "Errors.h"

TTabulyxError::TTabulyxError(const QString &AMessage, const QString &AFile, const QString &APart)
    : FMessage(AMessage), FFile(AFile), FPart(APart), FWhat(AMessage.toStdString()) {}

const char *TTabulyxError::what() const noexcept { return FWhat.c_str(); }

TFileIoError::TFileIoError(const QString &AMessage, const QString &AFile, int ASystemCode)
    : TTabulyxError(AMessage, AFile), FSystemCode(ASystemCode) {}

QString ErrorMessageOf(const std::exception &AError) {
  if (const auto *e = dynamic_cast<const TTabulyxError *>(&AError))
    return e->Message();
  return QString::fromUtf8(AError.what());
}
