#include "FileLocks.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace Platform {

namespace {

bool ExistsAsFile(const QString &APath) {
  const QFileInfo info(APath);
  return info.exists() && !info.isDir();
}

} // namespace

bool HasOfficeLockFile(const QString &APath) {
  const QFileInfo info(APath);
  const QDir dir = info.absoluteDir();
  const QString name = info.fileName();
  // Excel and WPS write "~$name"; LibreOffice writes ".~lock.name#".
  return QFileInfo::exists(dir.filePath(QStringLiteral("~$") + name)) ||
         QFileInfo::exists(dir.filePath(QStringLiteral(".~lock.") + name + u'#'));
}

#ifdef Q_OS_WIN

bool IsFileReadOnly(const QString &APath) {
  if (!ExistsAsFile(APath))
    return false;
  const DWORD attrs = GetFileAttributesW(QDir::toNativeSeparators(APath).toStdWString().c_str());
  if (attrs == INVALID_FILE_ATTRIBUTES)
    return false;
  return (attrs & FILE_ATTRIBUTE_READONLY) != 0;
}

bool IsFileHeldOpen(const QString &APath, TOsError *AWhy) {
  // Open for reading and writing with no sharing at all: fails while any other handle is open.
  HANDLE h = CreateFileW(QDir::toNativeSeparators(APath).toStdWString().c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    if (AWhy)
      *AWhy = LastOsError();
    return true;
  }
  CloseHandle(h);
  return false;
}

bool IsFileLocked(const QString &APath) { return ExistsAsFile(APath) && IsFileHeldOpen(APath); }

#else

bool IsFileReadOnly(const QString &APath) {
  const QByteArray native = QFile::encodeName(APath);
  struct stat st {};
  if (::stat(native.constData(), &st) != 0 || S_ISDIR(st.st_mode))
    return false;
  if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
    return true;
  if (::access(native.constData(), W_OK) == 0)
    return false;
  return errno == EACCES || errno == EROFS || errno == EPERM;
}

bool IsFileHeldOpen(const QString &APath, TOsError *AWhy) {
  const auto fail = [AWhy](int ACode) {
    if (AWhy)
      *AWhy = OsError(ACode);
    return true;
  };
  const int fd = ::open(QFile::encodeName(APath).constData(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0)
    return fail(errno);
  // Whole-file locks taken with flock (many programs) ...
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int err = errno;
    ::close(fd);
    return fail(err == EWOULDBLOCK ? EBUSY : err);
  }
  // ... and record locks taken with fcntl (LibreOffice, among others) by another process.
  struct flock probe {};
  probe.l_type = F_WRLCK;
  probe.l_whence = SEEK_SET;
  probe.l_start = 0;
  probe.l_len = 0;
  const bool recordLocked = ::fcntl(fd, F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
  ::close(fd); // also drops our flock
  return recordLocked ? fail(EBUSY) : false;
}

bool IsFileLocked(const QString &APath) {
  if (!ExistsAsFile(APath))
    return false;
  return IsFileHeldOpen(APath) || HasOfficeLockFile(APath);
}

#endif

} // namespace Platform
