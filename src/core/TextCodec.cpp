#include "TextCodec.h"

#include "platform/LegacyCodePage.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

namespace {

const char KBomUtf8[] = "\xEF\xBB\xBF";
const char KBomUtf16LE[] = "\xFF\xFE";
const char KBomUtf16BE[] = "\xFE\xFF";

// Qt reaches GBK through ICU. A Qt built without ICU (the usual Windows build) does not know the
// name, so the system's own conversion takes over.
bool QtKnowsGbk() {
  static const bool known = QStringDecoder("GBK").isValid();
  return known;
}

QString DecodeWith(QStringConverter::Encoding AEncoding, QByteArrayView ABytes) {
  // Keep a second mark as a character: only the one we stripped ourselves is a mark.
  QStringDecoder decoder(AEncoding, QStringConverter::Flag::ConvertInitialBom);
  return decoder.decode(ABytes);
}

// UTF-8, with or without its mark.
TDecodedText DecodeUtf8(const QByteArray &ABytes) {
  TDecodedText result;
  if (ABytes.startsWith(KBomUtf8)) {
    result.Encoding = TTextEncoding::teUtf8Bom;
    result.Text = DecodeWith(QStringConverter::Utf8, QByteArrayView(ABytes).sliced(3));
  } else {
    result.Encoding = TTextEncoding::teUtf8;
    result.Text = DecodeWith(QStringConverter::Utf8, ABytes);
  }
  return result;
}

} // namespace

bool IsValidUtf8(const QByteArray &ABytes) {
  const auto *p = reinterpret_cast<const unsigned char *>(ABytes.constData());
  const qsizetype n = ABytes.size();
  qsizetype i = 0;
  while (i < n) {
    const unsigned char c = p[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    int extra;
    char32_t cp;
    if (c >= 0xC2 && c <= 0xDF) {
      extra = 1;
      cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      extra = 2;
      cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      extra = 3;
      cp = c & 0x07;
    } else {
      return false; // continuation byte in lead position, C0/C1 overlong leads, F5..FF
    }
    if (i + extra >= n)
      return false; // truncated sequence
    for (int k = 1; k <= extra; ++k) {
      const unsigned char cc = p[i + k];
      if ((cc & 0xC0) != 0x80)
        return false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    if ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
      return false;
    i += extra + 1;
  }
  return true;
}

QString DecodeGbk(const QByteArray &ABytes) {
  if (!QtKnowsGbk())
    return Platform::DecodeCodePage936(ABytes);
  QStringDecoder decoder("GBK");
  return decoder.decode(ABytes);
}

QByteArray EncodeGbk(const QString &AText) {
  if (!QtKnowsGbk())
    return Platform::EncodeCodePage936(AText);
  QStringEncoder encoder("GBK");
  return encoder.encode(AText);
}

bool CanEncodeGbk(const QString &AText) { return DecodeGbk(EncodeGbk(AText)) == AText; }

TDecodedText DecodeText(const QByteArray &ABytes, TTextDecoding AMode) {
  TDecodedText result;
  switch (AMode) {
  case TTextDecoding::tdGbk:
    result.Encoding = TTextEncoding::teGbk;
    result.Text = DecodeGbk(ABytes);
    return result;
  case TTextDecoding::tdUtf8:
    return DecodeUtf8(ABytes);
  case TTextDecoding::tdAuto:
    break;
  }
  // The three marks share no leading byte, so their order here does not matter.
  if (ABytes.startsWith(KBomUtf16LE)) {
    result.Encoding = TTextEncoding::teUtf16LE;
    result.Text = DecodeWith(QStringConverter::Utf16LE, QByteArrayView(ABytes).sliced(2));
  } else if (ABytes.startsWith(KBomUtf16BE)) {
    result.Encoding = TTextEncoding::teUtf16BE;
    result.Text = DecodeWith(QStringConverter::Utf16BE, QByteArrayView(ABytes).sliced(2));
  } else if (ABytes.startsWith(KBomUtf8) || IsValidUtf8(ABytes)) {
    return DecodeUtf8(ABytes);
  } else {
    result.Encoding = TTextEncoding::teGbk;
    result.Text = DecodeGbk(ABytes);
  }
  return result;
}

QByteArray EncodeText(const QString &AText, TTextEncoding AEncoding) {
  switch (AEncoding) {
  case TTextEncoding::teUtf8:
    return AText.toUtf8();
  case TTextEncoding::teUtf8Bom:
    return QByteArray(KBomUtf8) + AText.toUtf8();
  case TTextEncoding::teUtf16LE: {
    QStringEncoder encoder(QStringConverter::Utf16LE);
    return QByteArray(KBomUtf16LE) + QByteArray(encoder.encode(AText));
  }
  case TTextEncoding::teUtf16BE: {
    QStringEncoder encoder(QStringConverter::Utf16BE);
    return QByteArray(KBomUtf16BE) + QByteArray(encoder.encode(AText));
  }
  case TTextEncoding::teGbk:
    return EncodeGbk(AText);
  case TTextEncoding::teSystemAnsi: {
    QStringEncoder encoder(QStringConverter::System);
    return encoder.encode(AText);
  }
  }
  return AText.toUtf8();
}

QStringList SplitTextLines(const QString &AText) {
  QStringList lines;
  qsizetype start = 0;
  const qsizetype n = AText.size();
  for (qsizetype i = 0; i < n; ++i) {
    const QChar c = AText.at(i);
    if (c != u'\r' && c != u'\n')
      continue;
    lines.append(AText.mid(start, i - start));
    if (c == u'\r' && i + 1 < n && AText.at(i + 1) == u'\n')
      ++i;
    start = i + 1;
  }
  if (start < n)
    lines.append(AText.mid(start));
  return lines;
}

bool ReadTextFile(const QString &APath, TTextDecoding AMode, TDecodedText &AResult, QString *AError) {
  QFile file(APath);
  if (!file.open(QIODevice::ReadOnly)) {
    if (AError)
      *AError = file.errorString();
    return false;
  }
  const QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) {
    if (AError)
      *AError = file.errorString();
    return false;
  }
  AResult = DecodeText(bytes, AMode);
  return true;
}

bool WriteTextFile(const QString &APath, const QString &AText, TTextEncoding AEncoding, QString *AError) {
  QSaveFile file(APath);
  // A file whose folder we may not write into can still be rewritten in place.
  file.setDirectWriteFallback(true);
  if (!file.open(QIODevice::WriteOnly)) {
    if (AError)
      *AError = file.errorString();
    return false;
  }
  const QByteArray bytes = EncodeText(AText, AEncoding);
  if (file.write(bytes) != bytes.size() || !file.commit()) {
    if (AError)
      *AError = file.errorString();
    return false;
  }
  return true;
}
