#include "TestFiles.h"
#include "TestDocuments.h"
#include "core/Errors.h"
#include "core/FileSafety.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <array>
#include <gtest/gtest.h>
#include <memory>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

using TestSupport::TBytesDocument;
using TestSupport::TFailingDocument;

using TestSupport::ReadFileBytes;
using TestSupport::WriteFileBytes;

namespace {

#ifndef Q_OS_WIN
// Holds an exclusive lock on a file the way another program would: through its own open file
// description, which conflicts with any other open of the file, even in this process.
class TFileLockHolder {
public:
  explicit TFileLockHolder(const QString &APath) {
    FFd = ::open(QFile::encodeName(APath).constData(), O_RDONLY | O_CLOEXEC);
    FLocked = FFd >= 0 && ::flock(FFd, LOCK_EX | LOCK_NB) == 0;
  }
  ~TFileLockHolder() {
    if (FFd >= 0)
      ::close(FFd);
  }
  bool Locked() const { return FLocked; }

private:
  int FFd = -1;
  bool FLocked = false;
};
#endif

class SafeSave : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(FDir.isValid());
    ASSERT_TRUE(WriteFileBytes(FTarget, FOld));
  }
  // The target is byte-identical and no temporary file is left.
  void ExpectTargetUntouched() {
    EXPECT_EQ(ReadFileBytes(FTarget), FOld);
    EXPECT_FALSE(QFileInfo::exists(FTemp)) << "leftover " << FTemp.toStdString();
  }

  QTemporaryDir FDir;
  QString FTarget = FDir.filePath(QStringLiteral("report.xlsx"));
  QString FTemp = FDir.filePath(QStringLiteral("~tmp~report.xlsx"));
  QByteArray FOld = QByteArray("old workbook ") + QByteArray(4096, 'o');
  QByteArray FNew = QByteArray("new workbook ") + QByteArray(8192, 'n');
};

} // namespace

TEST_F(SafeSave, ReplacesTargetAndClearsLeftoverTemp) {
  ASSERT_TRUE(WriteFileBytes(FTemp, "left over from a crash"));
  QFile::setPermissions(FTarget, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
  const TBytesDocument doc(FNew);
  SaveSpreadSheetAtomic(&doc, FTarget);
  EXPECT_EQ(doc.LastPath, FTemp); // written beside the target, extension kept
  EXPECT_EQ(ReadFileBytes(FTarget), FNew);
  EXPECT_FALSE(QFileInfo::exists(FTemp));
  EXPECT_EQ(QFile::permissions(FTarget) & (QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther),
            QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);

  // A new file needs no target beforehand.
  const QString fresh = FDir.filePath(QStringLiteral("new.xls"));
  SaveSpreadSheetAtomic(&doc, fresh);
  EXPECT_EQ(ReadFileBytes(fresh), FNew);
  EXPECT_EQ(QDir(FDir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

TEST_F(SafeSave, ArgumentErrors) {
  const TBytesDocument doc(FNew);
  try {
    SaveSpreadSheetAtomic(nullptr, FTarget);
    ADD_FAILURE() << "no error";
  } catch (const TArgumentError &e) {
    EXPECT_EQ(e.Message(), QStringLiteral("SaveSpreadSheetAtomic: ASheet 为空"));
  }
  try {
    SaveSpreadSheetAtomic(&doc, QString());
    ADD_FAILURE() << "no error";
  } catch (const TArgumentError &e) {
    EXPECT_EQ(e.Message(), QStringLiteral("SaveSpreadSheetAtomic: APath 为空"));
  }
  EXPECT_EQ(doc.SaveCount, 0);
}

TEST_F(SafeSave, WriterFailingHalfWayLeavesTargetAndNoTemp) {
  const TFailingDocument doc(FNew, FNew.size() / 2);
  try {
    SaveSpreadSheetAtomic(&doc, FTarget);
    ADD_FAILURE() << "no error";
  } catch (const TFileIoError &e) {
    EXPECT_EQ(e.Message(), QStringLiteral("磁盘已满")); // the writer's own error comes through
    EXPECT_EQ(e.SystemCode(), 28);
  }
  ExpectTargetUntouched();
}

TEST_F(SafeSave, MissingFolderFailsAtWriteWithoutTemp) {
  const TBytesDocument doc(FNew);
  const QString target = FDir.filePath(QStringLiteral("no/such/dir/out.xlsx"));
  EXPECT_THROW(SaveSpreadSheetAtomic(&doc, target), TFileIoError);
  EXPECT_FALSE(QFileInfo::exists(FDir.filePath(QStringLiteral("no"))));
}

TEST_F(SafeSave, LeftoverTempThatCannotBeRemovedStopsBeforeWriting) {
  // A folder of that name cannot be removed as a file, by root either.
  ASSERT_TRUE(QDir().mkpath(FTemp + QStringLiteral("/inside")));
  const TBytesDocument doc(FNew);
  try {
    SaveSpreadSheetAtomic(&doc, FTarget);
    ADD_FAILURE() << "no error";
  } catch (const TFileIoError &e) {
    EXPECT_EQ(e.Message(), QStringLiteral("无法清理残留临时文件: ") + FTemp);
  }
  EXPECT_EQ(doc.SaveCount, 0);
  EXPECT_EQ(ReadFileBytes(FTarget), FOld);
}

TEST_F(SafeSave, FailingMoveLeavesTargetAndNoTemp) {
#ifdef Q_OS_WIN
  GTEST_SKIP() << "uses POSIX locks";
#else
  const TBytesDocument doc(FNew);
  {
    // Another program holds the workbook open and locked.
    TFileLockHolder holder(FTarget);
    ASSERT_TRUE(holder.Locked());
    EXPECT_THROW(SaveSpreadSheetAtomic(&doc, FTarget), TFileIoError);
    ExpectTargetUntouched();
  }
  // The system refuses the rename itself: a non-empty folder stands at the target.
  const QString dirTarget = FDir.filePath(QStringLiteral("folder.xlsx"));
  ASSERT_TRUE(QDir().mkpath(dirTarget + QStringLiteral("/keep")));
  try {
    SaveSpreadSheetAtomic(&doc, dirTarget);
    ADD_FAILURE() << "no error";
  } catch (const TFileIoError &e) {
    EXPECT_NE(e.SystemCode(), 0);
    EXPECT_TRUE(e.Message().contains(dirTarget)) << e.Message().toStdString();
  }
  EXPECT_TRUE(QFileInfo(dirTarget + QStringLiteral("/keep")).isDir());
  EXPECT_FALSE(QFileInfo::exists(FDir.filePath(QStringLiteral("~tmp~folder.xlsx"))));
#endif
}

TEST(FileState, ClassifiesInOrderMissingReadOnlyInUseUsable) {
  QTemporaryDir dir;
  const auto path = [&](const char *AName) { return dir.filePath(QString::fromUtf8(AName)); };
  ASSERT_TRUE(WriteFileBytes(path("usable.xlsx"), "x"));
  // A temp file does not make its target exist.
  ASSERT_TRUE(WriteFileBytes(path("~tmp~gone.xlsx"), "x"));
  ASSERT_TRUE(WriteFileBytes(path("ro.xlsx"), "x"));
  ASSERT_TRUE(WriteFileBytes(path("ro-locked.xlsx"), "x"));
  ASSERT_TRUE(WriteFileBytes(path("lo.xlsx"), "x"));
  ASSERT_TRUE(WriteFileBytes(path(".~lock.lo.xlsx#"), "x"));
  ASSERT_TRUE(WriteFileBytes(path("ms.xlsx"), "x"));
  ASSERT_TRUE(WriteFileBytes(path("~$ms.xlsx"), "x"));
  ASSERT_TRUE(WriteFileBytes(path("held.xlsx"), "x"));
  QDir().mkdir(path("folder.xlsx"));
  // Read-only by its permissions; this also holds when the tests run as root, who may write anyway.
  const auto readOnly = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
  QFile::setPermissions(path("ro.xlsx"), readOnly);
  QFile::setPermissions(path("ro-locked.xlsx"), readOnly);
  ASSERT_TRUE(WriteFileBytes(path(".~lock.ro-locked.xlsx#"), "x"));
#ifndef Q_OS_WIN
  TFileLockHolder holder(path("held.xlsx"));
  ASSERT_TRUE(holder.Locked());
#endif

  struct TCase {
    const char *Name;
    TFileState Expected;
  };
  const std::array<TCase, 9> cases{{{"usable.xlsx", TFileState::fsUsable},
                                    {"gone.xlsx", TFileState::fsMissing},
                                    {"folder.xlsx", TFileState::fsMissing},
                                    {"ro.xlsx", TFileState::fsReadOnly},
                                    {"ro-locked.xlsx", TFileState::fsReadOnly},
                                    {"lo.xlsx", TFileState::fsInUse},
                                    {"ms.xlsx", TFileState::fsInUse},
                                    {"held.xlsx", TFileState::fsInUse},
                                    {"~$ms.xlsx", TFileState::fsUsable}}};
  for (const TCase &c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(GetFileState(path(c.Name)), c.Expected);
  }
  EXPECT_FALSE(IsFileLocked(path("gone.xlsx")));
  EXPECT_FALSE(IsFileReadOnly(path("gone.xlsx")));
  EXPECT_EQ(FileStateText(TFileState::fsMissing), QStringLiteral("文件不存在"));
  EXPECT_EQ(FileStateText(TFileState::fsReadOnly), QStringLiteral("文件只读"));
  EXPECT_EQ(FileStateText(TFileState::fsInUse), QStringLiteral("文件被占用"));
  EXPECT_EQ(FileStateText(TFileState::fsUsable), QString());
}
