#include "TestSupport.h"

#include "TestConfig.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <zip.h>

namespace TestSupport {

QString CorpusDir() {
  QString dir = qEnvironmentVariable("TABULYX_CORPUS");
  if (dir.isEmpty())
    dir = QStringLiteral(TABULYX_TEST_CORPUS_DIR);
  if (!QDir(dir).exists(QStringLiteral("files")))
    return QString();
  return QDir(dir).absolutePath();
}

bool WriteZip(const QString &APath, const std::vector<std::pair<QString, QByteArray>> &AMembers, QString *AError) {
  int err = 0;
  QFile::remove(APath);
  zip_t *za = zip_open(QFile::encodeName(APath).constData(), ZIP_CREATE | ZIP_TRUNCATE, &err);
  if (!za) {
    if (AError)
      *AError = QStringLiteral("zip_open failed: %1").arg(err);
    return false;
  }
  // libzip reads the buffers at zip_close, so keep them alive until then.
  std::vector<QByteArray> keep;
  keep.reserve(AMembers.size());
  for (const auto &[name, data] : AMembers) {
    keep.push_back(data);
    zip_source_t *src = zip_source_buffer(za, keep.back().constData(), keep.back().size(), 0);
    if (!src || zip_file_add(za, name.toUtf8().constData(), src, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE) < 0) {
      if (src)
        zip_source_free(src);
      if (AError)
        *AError = QString::fromUtf8(zip_strerror(za));
      zip_discard(za);
      return false;
    }
  }
  if (zip_close(za) < 0) {
    if (AError)
      *AError = QString::fromUtf8(zip_strerror(za));
    zip_discard(za);
    return false;
  }
  return true;
}

QByteArray MakeZip(const std::vector<std::pair<QString, QByteArray>> &AMembers) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("p.zip"));
  if (!WriteZip(path, AMembers))
    return QByteArray();
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly))
    return QByteArray();
  return f.readAll();
}

} // namespace TestSupport
