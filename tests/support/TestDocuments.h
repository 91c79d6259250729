#pragma once
// Stand-ins for the workbook writer in safe-save tests: a document that writes fixed bytes, and
// one that writes part of them and then fails as a full disk would.

#include "core/SpreadSheetDocument.h"

#include <QByteArray>
#include <QString>

namespace TestSupport {

// Writes its bytes to the path it is given; fails like a real writer when the file cannot be made.
class TBytesDocument : public TSpreadSheetDocument {
public:
  explicit TBytesDocument(QByteArray ABytes) : FBytes(std::move(ABytes)) {}
  void SaveToFile(const QString &APath) const override;
  mutable int SaveCount = 0;
  mutable QString LastPath;

protected:
  QByteArray FBytes;
};

// Writes the first AFailAfter bytes, flushes them, then raises TFileIoError: the file on disk is
// left half-written, as after a full disk or a failing network share.
class TFailingDocument : public TBytesDocument {
public:
  TFailingDocument(QByteArray ABytes, qsizetype AFailAfter) : TBytesDocument(std::move(ABytes)), FFailAfter(AFailAfter) {}
  void SaveToFile(const QString &APath) const override;

private:
  qsizetype FFailAfter;
};

} // namespace TestSupport
