#include "FileOps.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace Platform {

namespace {

#ifdef Q_OS_WIN

std::wstring Native(const QString &APath) { return QDir::toNativeSeparators(APath).toStdWString(); }

#else

QByteArray Native(const QString &APath) { return QFile::encodeName(APath); }

// Makes a completed rename durable: the folder entry itself is flushed. Best effort, as not every
// file system supports syncing a folder.
void SyncParentDir(const QString &APath) {
  const int fd = ::open(Native(QFileInfo(APath).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
}

// Copies ASource into a new temporary file in ATarget's folder and returns its path.
bool CopyBeside(const QString &ASource, const QString &ATarget, QString *ACopy, TOsError *AError) {
  const int in = ::open(Native(ASource).constData(), O_RDONLY | O_CLOEXEC);
  if (in < 0) {
    *AError = OsError(errno);
    return false;
  }
  QByteArray pattern = Native(QFileInfo(ATarget).absolutePath() + QStringLiteral("/.~move~XXXXXX"));
  const int out = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (out < 0) {
    *AError = OsError(errno);
    ::close(in);
    return false;
  }
  bool ok = true;
  char buf[65536];
  for (;;) {
    const ssize_t n = ::read(in, buf, sizeof buf);
    if (n == 0)
      break;
    if (n < 0) {
      if (errno == EINTR)
        continue;
      ok = false;
      break;
    }
    for (ssize_t done = 0; ok && done < n;) {
      const ssize_t w = ::write(out, buf + done, size_t(n - done));
      if (w < 0 && errno == EINTR)
        continue;
      if (w < 0)
        ok = false;
      else
        done += w;
    }
    if (!ok)
      break;
  }
  if (ok && ::fsync(out) != 0)
    ok = false;
  const int err = errno;
  struct stat st {};
  if (ok && ::fstat(in, &st) == 0)
    ::fchmod(out, st.st_mode & 07777);
  ::close(in);
  ::close(out);
  if (!ok) {
    *AError = OsError(err);
    ::unlink(pattern.constData());
    return false;
  }
  *ACopy = QFile::decodeName(pattern);
  return true;
}

#endif

} // namespace

#ifdef Q_OS_WIN

TOsError OsError(int ACode) {
  TOsError e;
  e.Code = ACode;
  wchar_t *buffer = nullptr;
  FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                 DWORD(ACode), 0, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
  if (buffer) {
    e.Text = QString::fromWCharArray(buffer).trimmed();
    LocalFree(buffer);
  }
  return e;
}

TOsError LastOsError() { return OsError(int(GetLastError())); }

bool RemoveFile(const QString &APath, TOsError *AError) {
  if (DeleteFileW(Native(APath).c_str()))
    return true;
  const TOsError e = LastOsError();
  if (e.Code == ERROR_FILE_NOT_FOUND || e.Code == ERROR_PATH_NOT_FOUND)
    return true;
  if (AError)
    *AError = e;
  return false;
}

bool SyncFile(const QString &APath, TOsError *AError) {
  HANDLE h = CreateFileW(Native(APath).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    if (AError)
      *AError = LastOsError();
    return false;
  }
  const bool ok = FlushFileBuffers(h);
  if (!ok && AError)
    *AError = LastOsError();
  CloseHandle(h);
  return ok;
}

bool MoveFileReplace(const QString &ASource, const QString &ATarget, TOsError *AError) {
  if (MoveFileExW(Native(ASource).c_str(), Native(ATarget).c_str(),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH))
    return true;
  if (AError)
    *AError = LastOsError();
  return false;
}

#else

TOsError OsError(int ACode) { return TOsError{ACode, QString::fromLocal8Bit(std::strerror(ACode))}; }

TOsError LastOsError() { return OsError(errno); }

bool RemoveFile(const QString &APath, TOsError *AError) {
  if (::unlink(Native(APath).constData()) == 0 || errno == ENOENT)
    return true;
  if (AError)
    *AError = OsError(errno);
  return false;
}

bool SyncFile(const QString &APath, TOsError *AError) {
  const int fd = ::open(Native(APath).constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (AError)
      *AError = OsError(errno);
    return false;
  }
  const bool ok = ::fsync(fd) == 0;
  const int err = errno;
  ::close(fd);
  if (!ok && AError)
    *AError = OsError(err);
  return ok;
}

bool MoveFileReplace(const QString &ASource, const QString &ATarget, TOsError *AError) {
  TOsError error;
  if (::rename(Native(ASource).constData(), Native(ATarget).constData()) == 0) {
    SyncParentDir(ATarget);
    return true;
  }
  if (errno != EXDEV) {
    if (AError)
      *AError = OsError(errno);
    return false;
  }
  // Across file systems: copy next to the target, then one rename replaces it.
  QString copy;
  if (!CopyBeside(ASource, ATarget, &copy, &error)) {
    if (AError)
      *AError = error;
    return false;
  }
  if (::rename(Native(copy).constData(), Native(ATarget).constData()) != 0) {
    if (AError)
      *AError = OsError(errno);
    ::unlink(Native(copy).constData());
    return false;
  }
  SyncParentDir(ATarget);
  ::unlink(Native(ASource).constData());
  return true;
}

#endif

} // namespace Platform
