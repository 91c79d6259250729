#include "TestFiles.h"
#include "platform/FileLocks.h"
#include "platform/FileOps.h"
#include "platform/LegacyCodePage.h"
#include "platform/SpreadsheetApp.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#include <unistd.h>
#endif

using TestSupport::ReadFileBytes;
using TestSupport::WriteFileBytes;

namespace {

// Sets PATH for the test's lifetime.
class TPathOverride {
public:
  explicit TPathOverride(const QString &APath) : FOld(qgetenv("PATH")) { qputenv("PATH", QFile::encodeName(APath)); }
  ~TPathOverride() { qputenv("PATH", FOld); }

private:
  QByteArray FOld;
};

} // namespace

TEST(PlatformFileOps, MoveReplacesAndRemoveReportsFolders) {
  QTemporaryDir dir;
  const QString src = dir.filePath(QStringLiteral("src"));
  const QString dst = dir.filePath(QStringLiteral("dst"));
  ASSERT_TRUE(WriteFileBytes(src, "new"));
  ASSERT_TRUE(WriteFileBytes(dst, "old"));
  Platform::TOsError error;
  ASSERT_TRUE(Platform::MoveFileReplace(src, dst, &error)) << error.Text.toStdString();
  EXPECT_EQ(ReadFileBytes(dst), QByteArray("new"));
  EXPECT_FALSE(QFileInfo::exists(src));

  // Moving a missing file fails with the system's code and text; the target stays.
  EXPECT_FALSE(Platform::MoveFileReplace(src, dst, &error));
  EXPECT_NE(error.Code, 0);
  EXPECT_FALSE(error.Text.isEmpty());
  EXPECT_EQ(ReadFileBytes(dst), QByteArray("new"));

  EXPECT_TRUE(Platform::RemoveFile(src)); // nothing there: nothing to do
  QDir().mkdir(dir.filePath(QStringLiteral("sub")));
  EXPECT_FALSE(Platform::RemoveFile(dir.filePath(QStringLiteral("sub")), &error));
  EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("sub"))).isDir());
}

TEST(PlatformFileOps, MoveAcrossFileSystemsCopiesThenReplaces) {
#ifdef Q_OS_WIN
  GTEST_SKIP() << "the system copies by itself";
#else
  QTemporaryDir here;
  QTemporaryDir there(QStringLiteral("/dev/shm/tabulyx-XXXXXX"));
  struct stat a {}, b {};
  if (!there.isValid() || ::stat(QFile::encodeName(here.path()).constData(), &a) != 0 ||
      ::stat(QFile::encodeName(there.path()).constData(), &b) != 0 || a.st_dev == b.st_dev)
    GTEST_SKIP() << "needs /dev/shm on a file system other than the temporary folder's";
  const QString src = there.filePath(QStringLiteral("src.xlsx"));
  const QString dst = here.filePath(QStringLiteral("dst.xlsx"));
  ASSERT_TRUE(WriteFileBytes(src, QByteArray(100000, 'z')));
  ASSERT_TRUE(WriteFileBytes(dst, "old"));
  ::chmod(QFile::encodeName(src).constData(), 0640);
  Platform::TOsError error;
  ASSERT_TRUE(Platform::MoveFileReplace(src, dst, &error)) << error.Text.toStdString();
  EXPECT_EQ(ReadFileBytes(dst), QByteArray(100000, 'z'));
  EXPECT_FALSE(QFileInfo::exists(src));
  EXPECT_EQ(QDir(here.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("dst.xlsx")});
  struct stat st {};
  ::stat(QFile::encodeName(dst).constData(), &st);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
#endif
}

TEST(PlatformFileLocks, ReadOnlyForAnOrdinaryUser) {
#ifdef Q_OS_WIN
  GTEST_SKIP() << "POSIX permissions";
#else
  if (::geteuid() == 0)
    GTEST_SKIP() << "root may write any file; the permission-bit case is covered in FileState";
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("a.xlsx"));
  ASSERT_TRUE(WriteFileBytes(path, "x"));
  EXPECT_FALSE(Platform::IsFileReadOnly(path));
  ::chmod(QFile::encodeName(path).constData(), 0420); // owner may only read; the group may write
  EXPECT_TRUE(Platform::IsFileReadOnly(path));
  EXPECT_TRUE(Platform::IsFileLocked(path)); // cannot be opened for writing either
#endif
}

TEST(PlatformSpreadsheetApp, FoundOnThePath) {
#ifdef Q_OS_WIN
  GTEST_SKIP() << "the registry decides on Windows";
#else
  QTemporaryDir bin;
  {
    TPathOverride path(bin.path()); // no xdg-mime, no office suite
    EXPECT_FALSE(Platform::IsSpreadsheetAppInstalled());
  }
  const QString et = bin.filePath(QStringLiteral("et"));
  ASSERT_TRUE(WriteFileBytes(et, "#!/bin/sh\n"));
  QFile::setPermissions(et, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  TPathOverride path(bin.path());
  EXPECT_TRUE(Platform::IsSpreadsheetAppInstalled());
#endif
}

// The conversion used where Qt has no GBK of its own (builds without ICU).
TEST(PlatformCodePage, GbkWithoutIcu) {
  EXPECT_EQ(Platform::DecodeCodePage936(QByteArray("\xD6\xD0\xCE\xC4 a")), QStringLiteral("中文 a"));
  EXPECT_EQ(Platform::EncodeCodePage936(QStringLiteral("中文 a")), QByteArray("\xD6\xD0\xCE\xC4 a"));
  // A lead byte without its trail byte, and characters outside the code page.
  EXPECT_EQ(Platform::DecodeCodePage936(QByteArray("x\xD6")), QStringLiteral("x\uFFFD"));
  EXPECT_EQ(Platform::EncodeCodePage936(QStringLiteral("a한b")), QByteArray("a?b"));
}
