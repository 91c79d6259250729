#include "sheet/xlsx/XlsxPackage.h"

#include "core/Errors.h"

#include <QFile>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <cstring>
#include <list>
#include <zip.h>

namespace {

// Decompressed bytes one package may produce in all. Generous for real workbooks (a full
// million-row sheet is well below), but stops archives built to inflate without end.
constexpr qint64 KMaxTotalInflated = 6ll << 30;
// A single member may inflate to the larger of this floor and KMaxRatio times its compressed
// size: sheets of real workbooks compress 5-50 fold, deflate bombs a thousandfold.
constexpr qint64 KMemberFloor = 512ll << 20;
constexpr qint64 KMaxRatio = 250;
constexpr qint64 KChunk = 1 << 20;

QString ZipErrorText(int ACode) {
  zip_error_t err;
  zip_error_init_with_code(&err, ACode);
  QString text = QString::fromUtf8(zip_error_strerror(&err));
  zip_error_fini(&err);
  return text;
}

} // namespace

// ---------------------------------------------------------------- reading

TZipReader::TZipReader(const QByteArray *AData, const QString &APath) : FPath(APath) {
  int code = 0;
  if (AData) {
    FData = *AData;
    zip_error_t err;
    zip_error_init(&err);
    zip_source_t *src = zip_source_buffer_create(FData.constData(), zip_uint64_t(FData.size()), 0, &err);
    if (src) {
      FZip = zip_open_from_source(src, ZIP_RDONLY, &err);
      if (!FZip) zip_source_free(src);
    }
    code = zip_error_code_zip(&err);
    zip_error_fini(&err);
  } else {
    FZip = zip_open(QFile::encodeName(APath).constData(), ZIP_RDONLY, &code);
  }
  if (!FZip) {
    if (code == ZIP_ER_OPEN || code == ZIP_ER_READ)
      throw TFileIoError(QStringLiteral("无法读取文件：%1（%2）").arg(APath, ZipErrorText(code)), APath);
    throw TFileFormatError(
        QStringLiteral("工作簿文件已损坏或不完整，无法读取其压缩包结构：%1（%2）").arg(APath, ZipErrorText(code)),
        APath);
  }
  const zip_int64_t n = zip_get_num_entries(FZip, 0);
  for (zip_int64_t i = 0; i < n; ++i) {
    const char *name = zip_get_name(FZip, zip_uint64_t(i), ZIP_FL_ENC_GUESS);
    if (!name) continue;
    QString s = QString::fromUtf8(name);
    if (s.endsWith(u'/')) continue;
    const QString key = (s.startsWith(u'/') ? s.mid(1) : s).toLower();
    if (FIndex.contains(key)) continue; // a repeated name: the first one counts, as in Excel
    FIndex.insert(key, i);
    FNames << s;
  }
}

TZipReader::~TZipReader() {
  if (FZip) zip_discard(FZip);
}

QString TZipReader::Find(const QString &AName) const {
  QString key = AName;
  while (key.startsWith(u'/')) key.remove(0, 1);
  const auto it = FIndex.constFind(key.toLower());
  if (it == FIndex.constEnd()) return QString();
  return QString::fromUtf8(zip_get_name(FZip, zip_uint64_t(*it), ZIP_FL_ENC_GUESS));
}

qint64 TZipReader::IndexOf(const QString &AStoredName) const {
  QString key = AStoredName;
  while (key.startsWith(u'/')) key.remove(0, 1);
  return FIndex.value(key.toLower(), -1);
}

void TZipReader::Fail(const QString &AMember, const QString &AWhy) const {
  throw TFileFormatError(QStringLiteral("工作簿文件已损坏，无法读取部件 %1：%2（%3）").arg(AMember, AWhy, FPath),
                         FPath, AMember);
}

qint64 TZipReader::UncompressedSize(const QString &AStoredName) const {
  zip_stat_t st;
  const qint64 index = IndexOf(AStoredName);
  if (index < 0 || zip_stat_index(FZip, zip_uint64_t(index), 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE))
    return -1;
  return qint64(st.size);
}

void TZipReader::Stream(const QString &AStoredName,
                        const std::function<void(const char *, qsizetype)> &AConsume) const {
  const qint64 index = IndexOf(AStoredName);
  if (index < 0) Fail(AStoredName, QStringLiteral("部件不存在"));
  zip_stat_t st;
  qint64 limit = KMemberFloor;
  if (zip_stat_index(FZip, zip_uint64_t(index), 0, &st) == 0 && (st.valid & ZIP_STAT_COMP_SIZE))
    limit = qMax(limit, qint64(st.comp_size) * KMaxRatio);
  zip_file_t *file = zip_fopen_index(FZip, zip_uint64_t(index), 0);
  if (!file) {
    const int code = zip_error_code_zip(zip_get_error(FZip));
    if (code == ZIP_ER_NOPASSWD || code == ZIP_ER_WRONGPASSWD || code == ZIP_ER_ENCRNOTSUPP)
      throw TEncryptedWorkbookError(QStringLiteral("工作簿已加密（压缩包成员受密码保护），无法打开：%1").arg(FPath), FPath);
    Fail(AStoredName, ZipErrorText(code));
  }
  struct TCloser {
    zip_file_t *F;
    ~TCloser() { zip_fclose(F); }
  } closer{file};
  qint64 total = 0;
  // Reads the next chunk into ABuffer; 0 at the end. Throws on corrupt data and on bombs.
  auto readChunk = [&](char *ABuffer) -> qint64 {
    const zip_int64_t got = zip_fread(file, ABuffer, KChunk);
    if (got < 0) Fail(AStoredName, QString::fromUtf8(zip_file_strerror(file)));
    total += got;
    FTotalRead += got;
    if (total > limit || FTotalRead > KMaxTotalInflated)
      throw TFileFormatError(
          QStringLiteral("工作簿部件 %1 解压后的大小超过安全上限，已停止读取（文件可能已损坏或是恶意构造的）：%2")
              .arg(AStoredName, FPath),
          FPath, AStoredName);
    return got;
  };
  const bool large = (st.valid & ZIP_STAT_SIZE) && st.size > zip_uint64_t(8 * KChunk);
  if (!large) {
    std::unique_ptr<char[]> buffer(new char[KChunk]);
    while (const qint64 got = readChunk(buffer.get())) AConsume(buffer.get(), qsizetype(got));
    return;
  }
  // Large parts (sheets): inflate on a second thread while this one parses, a few chunks ahead.
  struct TChunk {
    std::unique_ptr<char[]> Data;
    qint64 Size = 0;
  };
  std::mutex lock;
  std::condition_variable changed;
  std::deque<TChunk> filled, empty;
  for (int i = 0; i < 4; ++i) empty.push_back({std::unique_ptr<char[]>(new char[KChunk]), 0});
  bool finished = false, stop = false;
  std::exception_ptr failure;
  std::thread inflater([&] {
    try {
      for (;;) {
        TChunk chunk;
        {
          std::unique_lock<std::mutex> guard(lock);
          changed.wait(guard, [&] { return stop || !empty.empty(); });
          if (stop) return;
          chunk = std::move(empty.front());
          empty.pop_front();
        }
        chunk.Size = readChunk(chunk.Data.get());
        std::lock_guard<std::mutex> guard(lock);
        if (chunk.Size == 0) break;
        filled.push_back(std::move(chunk));
        changed.notify_all();
      }
    } catch (...) {
      std::lock_guard<std::mutex> guard(lock);
      failure = std::current_exception();
    }
    std::lock_guard<std::mutex> guard(lock);
    finished = true;
    changed.notify_all();
  });
  struct TJoiner {
    std::thread &Thread;
    std::mutex &Lock;
    std::condition_variable &Changed;
    bool &Stop;
    ~TJoiner() {
      {
        std::lock_guard<std::mutex> guard(Lock);
        Stop = true;
      }
      Changed.notify_all();
      Thread.join();
    }
  } joiner{inflater, lock, changed, stop};
  for (;;) {
    TChunk chunk;
    {
      std::unique_lock<std::mutex> guard(lock);
      changed.wait(guard, [&] { return !filled.empty() || finished; });
      if (filled.empty()) {
        if (failure) std::rethrow_exception(failure);
        return;
      }
      chunk = std::move(filled.front());
      filled.pop_front();
    }
    AConsume(chunk.Data.get(), qsizetype(chunk.Size));
    std::lock_guard<std::mutex> guard(lock);
    empty.push_back(std::move(chunk));
    changed.notify_all();
  }
}

QByteArray TZipReader::Read(const QString &AStoredName, qint64 ALimit) const {
  QByteArray out;
  const qint64 expected = UncompressedSize(AStoredName);
  // The stored size is only a hint (a hostile header may lie), so the reservation is capped.
  if (expected > 0 && expected <= ALimit) out.reserve(qsizetype(qMin<qint64>(expected, 64ll << 20)));
  Stream(AStoredName, [&](const char *AData, qsizetype ASize) {
    if (out.size() + ASize > ALimit)
      throw TFileFormatError(
          QStringLiteral("工作簿部件 %1 过大，超过安全上限，已停止读取：%2").arg(AStoredName, FPath), FPath,
          AStoredName);
    out.append(AData, ASize);
  });
  return out;
}

// ---------------------------------------------------------------- writing

struct TZipWriter::TState {
  zip_t *Zip = nullptr;
  zip_source_t *MemSource = nullptr; // in-memory target
  QByteArray *Out = nullptr;
  QString Path;
  std::list<QByteArray> Keep; // buffers libzip reads at Commit
  struct TProducerState {
    TProducer Produce;
    zip_error_t Error;
  };
  std::list<TProducerState> Producers;
};

namespace {

zip_int64_t ProducerCallback(void *AUserData, void *AData, zip_uint64_t ALen, zip_source_cmd_t ACmd) {
  auto *p = static_cast<std::pair<TZipWriter::TProducer *, zip_error_t *> *>(AUserData);
  switch (ACmd) {
  case ZIP_SOURCE_OPEN:
  case ZIP_SOURCE_CLOSE:
    return 0;
  case ZIP_SOURCE_READ:
    try {
      return (*p->first)(static_cast<char *>(AData), qsizetype(qMin<zip_uint64_t>(ALen, 1u << 30)));
    } catch (...) {
      zip_error_set(p->second, ZIP_ER_INTERNAL, 0);
      return -1;
    }
  case ZIP_SOURCE_STAT: {
    auto *st = static_cast<zip_stat_t *>(AData);
    zip_stat_init(st);
    st->mtime = time(nullptr);
    st->valid |= ZIP_STAT_MTIME;
    return sizeof(*st);
  }
  case ZIP_SOURCE_ERROR:
    return zip_error_to_data(p->second, AData, ALen);
  case ZIP_SOURCE_FREE:
    delete p;
    return 0;
  case ZIP_SOURCE_SUPPORTS:
    return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                          ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
  default:
    zip_error_set(p->second, ZIP_ER_OPNOTSUPP, 0);
    return -1;
  }
}

} // namespace

TZipWriter::TZipWriter(const QString *APath, QByteArray *AOut) : FState(new TState) {
  int code = 0;
  if (APath) {
    FState->Path = *APath;
    FState->Zip = zip_open(QFile::encodeName(*APath).constData(), ZIP_CREATE | ZIP_TRUNCATE, &code);
  } else {
    FState->Out = AOut;
    zip_error_t err;
    zip_error_init(&err);
    FState->MemSource = zip_source_buffer_create(nullptr, 0, 0, &err);
    if (FState->MemSource) {
      zip_source_keep(FState->MemSource);
      FState->Zip = zip_open_from_source(FState->MemSource, ZIP_TRUNCATE, &err);
    }
    code = zip_error_code_zip(&err);
    zip_error_fini(&err);
  }
  if (!FState->Zip)
    throw TFileIoError(QStringLiteral("无法创建文件：%1（%2）").arg(FState->Path, ZipErrorText(code)), FState->Path);
}

TZipWriter::~TZipWriter() {
  if (FState->Zip) zip_discard(FState->Zip);
  if (FState->MemSource) zip_source_free(FState->MemSource);
  for (auto &p : FState->Producers) zip_error_fini(&p.Error);
}

namespace {
void AddSource(zip_t *AZip, zip_source_t *ASource, const QString &AName, const QString &APath) {
  const zip_int64_t index =
      ASource ? zip_file_add(AZip, AName.toUtf8().constData(), ASource, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE) : -1;
  if (index < 0) {
    if (ASource) zip_source_free(ASource);
    throw TFileIoError(QStringLiteral("写入工作簿部件 %1 失败：%2").arg(AName, QString::fromUtf8(zip_strerror(AZip))), APath);
  }
  // Fast deflate: large sheets dominate the save time and level 1 loses little size on XML.
  zip_set_file_compression(AZip, zip_uint64_t(index), ZIP_CM_DEFLATE, 1);
  zip_file_set_mtime(AZip, zip_uint64_t(index), 315532800 + 86400, 0); // fixed date: reproducible bytes
}
} // namespace

void TZipWriter::AddBytes(const QString &AName, const QByteArray &AData) {
  FState->Keep.push_back(AData);
  const QByteArray &b = FState->Keep.back();
  AddSource(FState->Zip, zip_source_buffer(FState->Zip, b.constData(), zip_uint64_t(b.size()), 0), AName,
            FState->Path);
}

void TZipWriter::AddProducer(const QString &AName, TProducer AProducer) {
  FState->Producers.push_back({std::move(AProducer), {}});
  auto &p = FState->Producers.back();
  zip_error_init(&p.Error);
  auto *user = new std::pair<TProducer *, zip_error_t *>(&p.Produce, &p.Error);
  zip_source_t *src = zip_source_function(FState->Zip, ProducerCallback, user);
  if (!src) delete user;
  AddSource(FState->Zip, src, AName, FState->Path);
}

void TZipWriter::Commit() {
  if (zip_close(FState->Zip) < 0) {
    const QString why = QString::fromUtf8(zip_strerror(FState->Zip));
    throw TFileIoError(QStringLiteral("保存工作簿失败：%1（%2）").arg(FState->Path, why), FState->Path);
  }
  FState->Zip = nullptr;
  if (FState->MemSource && FState->Out) {
    // The in-memory package is copied out; a failed stat or short read must not hand back a
    // buffer of undefined size or content as if it were the workbook.
    zip_stat_t st;
    zip_stat_init(&st);
    bool ok = zip_source_stat(FState->MemSource, &st) == 0 && (st.valid & ZIP_STAT_SIZE);
    if (ok) {
      FState->Out->resize(qsizetype(st.size));
      ok = zip_source_open(FState->MemSource) == 0;
      if (ok) {
        ok = zip_source_read(FState->MemSource, FState->Out->data(), st.size) == zip_int64_t(st.size);
        zip_source_close(FState->MemSource);
      }
    }
    if (!ok) {
      FState->Out->clear();
      throw TFileIoError(QStringLiteral("保存工作簿失败：%1（无法取出内存中的压缩包）").arg(FState->Path), FState->Path);
    }
  }
}
