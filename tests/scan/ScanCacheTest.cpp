// The scan caches: the key (path as given, size, last-write time, parameters) and the copy
// semantics of TryGet and Put.

#include "scan/ScanCache.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <bit>
#include <gtest/gtest.h>

namespace {

class ScanCacheTest : public ::testing::Test {
protected:
  void SetUp() override {
    FPath = FDir.filePath(QStringLiteral("book.xlsx"));
    QFile f(FPath);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("12345");
  }
  void Touch(const QDateTime &ATime) {
    QFile f(FPath);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.setFileTime(ATime, QFileDevice::FileModificationTime));
  }
  QTemporaryDir FDir;
  QString FPath;
};

TEST_F(ScanCacheTest, KeyFormats) {
  const QString missing = FDir.filePath(QStringLiteral("missing.xlsx"));
  EXPECT_EQ(BuildScanKey(missing, {}), missing + "|0|0");
  EXPECT_EQ(BuildScanKey(missing, {3}), missing + "|0|0|3");
  EXPECT_EQ(BuildScanKey(missing, {1, 0, -1}), missing + "|0|0|1|0|-1");

  // Size, then the last-write time as days since 1899-12-30 whose double bits are the number.
  const QDateTime when(QDate(2024, 2, 29), QTime(13, 30, 15, 250));
  Touch(when);
  const QStringList parts = BuildScanKey(FPath, {7}).split(u'|');
  ASSERT_EQ(parts.size(), 4);
  EXPECT_EQ(parts[0], FPath);
  EXPECT_EQ(parts[1], "5");
  EXPECT_EQ(parts[3], "7");
  const double days = std::bit_cast<double>(parts[2].toLongLong());
  const double expected = QDate(1899, 12, 30).daysTo(when.date()) + when.time().msecsSinceStartOfDay() / 86400000.0;
  EXPECT_NEAR(days, expected, 1e-8);

  // A touched file gets a new key; the same file under another spelling is another key.
  const QString before = BuildScanKey(FPath, {});
  Touch(when.addSecs(1));
  EXPECT_NE(BuildScanKey(FPath, {}), before);
  const QString other = FDir.path() + QStringLiteral("/./book.xlsx");
  EXPECT_TRUE(BuildScanKey(other, {}).startsWith(other + u'|'));
}

TEST_F(ScanCacheTest, ValuesAreCopiedInAndOut) {
  TBookMergeScanCache cache;
  TSheetMetaList list;
  list.push_back(std::make_unique<TSheetMeta>());
  list[0]->SheetName = QStringLiteral("A");
  cache.Put(FPath, list);
  list[0]->SheetName = QStringLiteral("changed after Put");

  std::optional<TSheetMetaList> got = cache.TryGet(FPath);
  ASSERT_TRUE(got);
  ASSERT_EQ(got->size(), 1u);
  EXPECT_EQ(got->front()->SheetName, "A");
  got->front()->SheetName = QStringLiteral("changed by a dialog");
  EXPECT_EQ(cache.TryGet(FPath)->front()->SheetName, "A");

  // A second Put under the same key replaces the first.
  list[0]->SheetName = QStringLiteral("B");
  cache.Put(FPath, list);
  EXPECT_EQ(cache.Count(), 1);
  EXPECT_EQ(cache.TryGet(FPath)->front()->SheetName, "B");

  // Book scans: the nested sheet list is copied too; a missing value is ignored.
  TCellAddScanCache books;
  TBookScan scan;
  scan.Sheets.push_back(std::make_unique<TSheetScan>());
  scan.Sheets[0]->HeaderTexts = QStringList({"h"});
  books.Put(FPath, 0, &scan);
  books.Put(FPath, 1, nullptr);
  EXPECT_EQ(books.Count(), 1);
  scan.Sheets[0]->HeaderTexts[0] = QStringLiteral("x");
  std::unique_ptr<TBookScan> copy = books.TryGet(FPath, 0);
  ASSERT_TRUE(copy);
  EXPECT_EQ(copy->Sheets[0]->HeaderTexts, QStringList({"h"}));
  EXPECT_NE(copy->Sheets[0].get(), scan.Sheets[0].get());
  books.Clear();
  EXPECT_FALSE(books.TryGet(FPath, 0));
}

TEST_F(ScanCacheTest, ParametersAndFileChangesMiss) {
  TSheetSplitScanCache cache;
  TSheetScanMetaList list;
  list.push_back(std::make_unique<TSheetScanMeta>());
  cache.Put(FPath, 1, 0, 7, list);
  EXPECT_TRUE(cache.TryGet(FPath, 1, 0, 3)); // the group column counts only in mode 1
  EXPECT_FALSE(cache.TryGet(FPath, 2, 0, 7));
  EXPECT_FALSE(cache.TryGet(FPath, 1, 1, 7));
  cache.Put(FPath, 1, 1, 7, list);
  EXPECT_TRUE(cache.TryGet(FPath, 1, 1, 7));
  EXPECT_FALSE(cache.TryGet(FPath, 1, 1, 3));

  Touch(QDateTime::currentDateTime().addSecs(-3600));
  EXPECT_FALSE(cache.TryGet(FPath, 1, 0, 7));
}

} // namespace
