#pragma once
// Conversion to and from the Chinese legacy code page 936 (GBK) for Qt builds without ICU:
// iconv on POSIX systems, the code-page functions of the system on Windows.

#include <QByteArray>
#include <QString>

namespace Platform {
// Undecodable bytes become U+FFFD.
QString DecodeCodePage936(const QByteArray &ABytes);
// Characters the code page cannot hold become "?".
QByteArray EncodeCodePage936(const QString &AText);
} // namespace Platform
