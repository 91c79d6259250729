#pragma once
// Reading and writing whole files as bytes in tests.

#include <QByteArray>
#include <QString>

namespace TestSupport {

// The file's bytes; empty when it cannot be read.
QByteArray ReadFileBytes(const QString &APath);
// Creates or replaces the file with ABytes; false when it cannot be written.
bool WriteFileBytes(const QString &APath, const QByteArray &ABytes);

} // namespace TestSupport
