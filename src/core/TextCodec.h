#pragma once
// Turns the bytes of text files into text and back: Unicode with or without a byte-order mark, and
// the Chinese legacy code page (GBK, code page 936) in which files from Windows machines arrive.

#include <QByteArray>
#include <QString>
#include <QStringList>

// How to decode a file's bytes.
enum class TTextDecoding {
  tdAuto, // byte-order mark (UTF-8, UTF-16LE, UTF-16BE); without one UTF-8 when valid, else GBK
  tdUtf8, // UTF-8; a leading UTF-8 mark is skipped, invalid bytes become U+FFFD
  tdGbk,  // code page 936 for every byte, no mark detection
};

// The form a text was found in, or is to be written in.
enum class TTextEncoding {
  teUtf8,       // UTF-8 without a mark
  teUtf8Bom,    // UTF-8 with the mark EF BB BF
  teUtf16LE,    // UTF-16 little-endian with the mark FF FE
  teUtf16BE,    // UTF-16 big-endian with the mark FE FF
  teGbk,        // code page 936
  teSystemAnsi, // the system's ANSI code page: UTF-8 on Linux, the active code page on Windows
};

struct TDecodedText {
  QString Text;
  TTextEncoding Encoding = TTextEncoding::teUtf8; // what the bytes turned out to be
};

// Decodes ABytes. Never fails: undecodable bytes become replacement characters.
TDecodedText DecodeText(const QByteArray &ABytes, TTextDecoding AMode = TTextDecoding::tdAuto);

// Encodes AText, with the byte-order mark the encoding calls for. Characters GBK cannot hold come
// out as "?" (check with CanEncodeGbk first when that matters).
QByteArray EncodeText(const QString &AText, TTextEncoding AEncoding);

// True when ABytes is well-formed UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF).
bool IsValidUtf8(const QByteArray &ABytes);

QString DecodeGbk(const QByteArray &ABytes);
QByteArray EncodeGbk(const QString &AText);
// True when every character of AText survives a trip through GBK.
bool CanEncodeGbk(const QString &AText);

// Splits text into lines at CR LF, LF or a lone CR. A line break at the very end starts no further
// line; an empty text has no lines.
QStringList SplitTextLines(const QString &AText);

// Reads the whole file at APath and decodes it. False when the file cannot be opened or read; then
// AError (when given) holds the system's message.
bool ReadTextFile(const QString &APath, TTextDecoding AMode, TDecodedText &AResult, QString *AError = nullptr);

// Writes AText to APath in AEncoding, replacing the file through a temporary file so that a failure
// leaves the old file as it was. False with AError (when given) on failure.
bool WriteTextFile(const QString &APath, const QString &AText, TTextEncoding AEncoding, QString *AError = nullptr);
