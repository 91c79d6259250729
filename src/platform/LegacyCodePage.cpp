#include "LegacyCodePage.h"

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <iconv.h>
#endif

namespace Platform {

#ifdef Q_OS_WIN

QString DecodeCodePage936(const QByteArray &ABytes) {
  if (ABytes.isEmpty())
    return QString();
  const int n = MultiByteToWideChar(936, 0, ABytes.constData(), int(ABytes.size()), nullptr, 0);
  QString result(n, Qt::Uninitialized);
  MultiByteToWideChar(936, 0, ABytes.constData(), int(ABytes.size()), reinterpret_cast<wchar_t *>(result.data()), n);
  return result;
}

QByteArray EncodeCodePage936(const QString &AText) {
  if (AText.isEmpty())
    return QByteArray();
  const auto *src = reinterpret_cast<const wchar_t *>(AText.utf16());
  const int n = WideCharToMultiByte(936, 0, src, int(AText.size()), nullptr, 0, "?", nullptr);
  QByteArray result(n, Qt::Uninitialized);
  WideCharToMultiByte(936, 0, src, int(AText.size()), result.data(), n, "?", nullptr);
  return result;
}

#else

namespace {

// Runs iconv over the whole input; an unconvertible input unit is replaced by AReplacement and
// skipped (one byte of GBK input, one UTF-8 character of text input).
QByteArray Convert(const char *ATo, const char *AFrom, const QByteArray &AInput, const QByteArray &AReplacement,
                   bool AInputIsUtf8) {
  iconv_t cd = iconv_open(ATo, AFrom);
  if (cd == reinterpret_cast<iconv_t>(-1))
    return QByteArray();
  QByteArray out;
  out.reserve(AInput.size() * 2 + 16);
  char *in = const_cast<char *>(AInput.constData());
  size_t inLeft = size_t(AInput.size());
  char buf[4096];
  while (inLeft > 0) {
    char *outPtr = buf;
    size_t outLeft = sizeof(buf);
    const size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    out.append(buf, qsizetype(outPtr - buf));
    if (rc != size_t(-1))
      continue;
    if (errno == E2BIG)
      continue;
    // EILSEQ or EINVAL (truncated sequence at the end): replace and step over one unit.
    out.append(AReplacement);
    size_t step = 1;
    if (AInputIsUtf8) {
      const auto lead = static_cast<unsigned char>(*in);
      step = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
      step = qMin(step, inLeft);
    }
    in += step;
    inLeft -= step;
  }
  iconv_close(cd);
  return out;
}

} // namespace

QString DecodeCodePage936(const QByteArray &ABytes) {
  return QString::fromUtf8(Convert("UTF-8", "GBK", ABytes, QByteArray("\xEF\xBF\xBD"), false));
}

QByteArray EncodeCodePage936(const QString &AText) {
  return Convert("GBK", "UTF-8", AText.toUtf8(), QByteArray("?"), true);
}

#endif

} // namespace Platform
