#include "ZipArchive.h"

#include "core/Errors.h"

#include <QFile>
#include <zip.h>
#include <zlib.h>

namespace {

// Compressed bytes are fetched from the archive in pieces of this size.
constexpr qint64 KCompressedChunk = 16 * 1024;

} // namespace

struct TZipMemberStream::TInflate {
  z_stream Z{};
  QByteArray In;
  bool InputDone = false;
  bool StreamDone = false;
  ~TInflate() { inflateEnd(&Z); }
};

TZipMemberStream::TZipMemberStream(zip_file *AFile, quint64 ASize, bool ARawDeflate) : FFile(AFile), FSize(ASize) {
  if (!ARawDeflate)
    return;
  FInflate = std::make_unique<TInflate>();
  if (inflateInit2(&FInflate->Z, -MAX_WBITS) != Z_OK) {
    FInflate.reset();
    throw TFileFormatError(QStringLiteral("无法初始化解压"));
  }
}

TZipMemberStream::~TZipMemberStream() {
  FInflate.reset();
  if (FFile)
    zip_fclose(FFile);
}

qint64 TZipMemberStream::Read(QByteArray &ABuffer, qint64 ACount) {
  if (ACount <= 0)
    return 0;
  const qint64 old = ABuffer.size();
  ABuffer.resize(old + ACount);
  qint64 done = 0;
  try {
    done = FInflate ? ReadInflated(ABuffer.data() + old, ACount) : ReadDecoded(ABuffer.data() + old, ACount);
  } catch (...) {
    ABuffer.resize(old);
    throw;
  }
  ABuffer.resize(old + done);
  return done;
}

qint64 TZipMemberStream::ReadDecoded(char *AOut, qint64 ACount) {
  qint64 done = 0;
  // zip_fread may return less than asked before the end (it decodes block by block).
  while (done < ACount) {
    const zip_int64_t n = zip_fread(FFile, AOut + done, static_cast<zip_uint64_t>(ACount - done));
    if (n < 0)
      throw TFileFormatError(QStringLiteral("压缩包成员数据损坏：") + QString::fromUtf8(zip_file_strerror(FFile)));
    if (n == 0)
      break;
    done += n;
  }
  return done;
}

qint64 TZipMemberStream::ReadInflated(char *AOut, qint64 ACount) {
  TInflate &s = *FInflate;
  z_stream &z = s.Z;
  z.next_out = reinterpret_cast<Bytef *>(AOut);
  z.avail_out = static_cast<uInt>(ACount);
  while (z.avail_out > 0 && !s.StreamDone) {
    if (z.avail_in == 0 && !s.InputDone) {
      s.In.resize(KCompressedChunk);
      const zip_int64_t n = zip_fread(FFile, s.In.data(), static_cast<zip_uint64_t>(KCompressedChunk));
      if (n < 0)
        throw TFileFormatError(QStringLiteral("压缩包成员数据损坏：") + QString::fromUtf8(zip_file_strerror(FFile)));
      s.InputDone = n == 0;
      z.next_in = reinterpret_cast<Bytef *>(s.In.data());
      z.avail_in = static_cast<uInt>(n);
    }
    const int rc = inflate(&z, Z_NO_FLUSH);
    if (rc == Z_STREAM_END) {
      s.StreamDone = true;
    } else if (rc == Z_BUF_ERROR && s.InputDone && z.avail_in == 0) {
      throw TFileFormatError(QStringLiteral("压缩包成员数据不完整"));
    } else if (rc != Z_OK && rc != Z_BUF_ERROR) {
      throw TFileFormatError(QStringLiteral("压缩包成员数据损坏：") + QString::fromUtf8(z.msg ? z.msg : "inflate"));
    }
  }
  return ACount - static_cast<qint64>(z.avail_out);
}

TZipArchive::~TZipArchive() { Close(); }

namespace {

// Packages up to this size are read whole (typical workbooks); larger ones member by member.
constexpr qint64 KReadWholeBytes = 4 * 1024 * 1024;

} // namespace

void TZipArchive::Open(const QString &APath) {
  Close();
  QFile file(APath);
  if (!file.open(QIODevice::ReadOnly))
    throw TFileIoError(QStringLiteral("无法打开文件：") + file.errorString(), APath);
  if (file.size() <= KReadWholeBytes) {
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
      throw TFileIoError(QStringLiteral("读取文件失败：") + file.errorString(), APath);
    FBytes = std::move(bytes);
    OpenBuffer(FBytes);
    return;
  }
  file.close();
  int err = 0;
  FZip = zip_open(QFile::encodeName(APath).constData(), ZIP_RDONLY, &err);
  if (!FZip) {
    zip_error_t ze;
    zip_error_init_with_code(&ze, err);
    const QString why = QString::fromUtf8(zip_error_strerror(&ze));
    zip_error_fini(&ze);
    if (err == ZIP_ER_OPEN || err == ZIP_ER_READ || err == ZIP_ER_NOENT)
      throw TFileIoError(QStringLiteral("无法打开文件：") + why, APath);
    throw TFileFormatError(QStringLiteral("不是有效的 ZIP 压缩包：") + why, APath);
  }
}

void TZipArchive::OpenBuffer(const QByteArray &ABytes) {
  if (FZip) {
    zip_discard(FZip);
    FZip = nullptr;
  }
  FNames.clear();
  FNamesBuilt = false;
  zip_error_t ze;
  zip_error_init(&ze);
  zip_source_t *src = zip_source_buffer_create(ABytes.constData(), static_cast<zip_uint64_t>(ABytes.size()), 0, &ze);
  if (src)
    FZip = zip_open_from_source(src, ZIP_RDONLY, &ze);
  if (!FZip) {
    const QString why = QString::fromUtf8(zip_error_strerror(&ze));
    if (src)
      zip_source_free(src);
    zip_error_fini(&ze);
    throw TFileFormatError(QStringLiteral("不是有效的 ZIP 压缩包：") + why);
  }
  zip_error_fini(&ze);
}

void TZipArchive::Close() {
  if (FZip) {
    zip_discard(FZip);
    FZip = nullptr;
  }
  FBytes.clear();
  FNames.clear();
  FNamesBuilt = false;
}

namespace {

std::string AsciiLower(const char *AText) {
  std::string s(AText);
  for (char &ch : s)
    if (ch >= 'A' && ch <= 'Z')
      ch = static_cast<char>(ch - 'A' + 'a');
  return s;
}

} // namespace

qint64 TZipArchive::IndexOf(const char *AName) const {
  if (!FZip)
    return -1;
  if (!FNamesBuilt) {
    FNamesBuilt = true;
    const zip_int64_t count = zip_get_num_entries(FZip, 0);
    FNames.reserve(static_cast<size_t>(std::max<zip_int64_t>(0, count)));
    for (zip_int64_t i = 0; i < count; ++i)
      if (const char *name = zip_get_name(FZip, static_cast<zip_uint64_t>(i), 0))
        FNames.emplace(AsciiLower(name), i); // the first of equal names wins, as in libzip
  }
  const auto it = FNames.find(AsciiLower(AName));
  return it == FNames.end() ? -1 : it->second;
}

bool TZipArchive::ReadAll(qint64 AIndex, QByteArray &AOut, qint64 AMaxBytes) const {
  AOut.clear();
  if (!FZip || AIndex < 0)
    return false;
  try {
    std::unique_ptr<TZipMemberStream> stream = OpenStream(AIndex);
    // The directory's size is a hint only; a hostile package may state anything. Read what it
    // states, then in small steps until the member really ends.
    const qint64 hint = static_cast<qint64>(std::min<quint64>(stream->Size(), static_cast<quint64>(AMaxBytes)));
    AOut.reserve(hint + 1);
    for (;;) {
      const qint64 chunk = AOut.size() < hint ? hint - AOut.size() : 4 * 1024;
      if (stream->Read(AOut, chunk) == 0)
        break;
      if (AOut.size() > AMaxBytes) {
        AOut.clear();
        return false;
      }
    }
    return true;
  } catch (const TTabulyxError &) {
    AOut.clear();
    return false;
  }
}

std::unique_ptr<TZipMemberStream> TZipArchive::OpenStream(qint64 AIndex) const {
  zip_stat_t st;
  zip_stat_init(&st);
  if (!FZip || zip_stat_index(FZip, static_cast<zip_uint64_t>(AIndex), 0, &st) < 0)
    throw TFileFormatError(QStringLiteral("压缩包成员不存在"));
  const bool encrypted = (st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE;
  const bool rawDeflate = !encrypted && (st.valid & ZIP_STAT_COMP_METHOD) && st.comp_method == ZIP_CM_DEFLATE;
  zip_file_t *file = zip_fopen_index(FZip, static_cast<zip_uint64_t>(AIndex), rawDeflate ? ZIP_FL_COMPRESSED : 0);
  if (!file)
    throw TFileFormatError(QStringLiteral("无法打开压缩包成员：") + QString::fromUtf8(zip_strerror(FZip)));
  const quint64 size = (st.valid & ZIP_STAT_SIZE) ? st.size : 0;
  try {
    return std::unique_ptr<TZipMemberStream>(new TZipMemberStream(file, size, rawDeflate));
  } catch (...) {
    zip_fclose(file);
    throw;
  }
}
