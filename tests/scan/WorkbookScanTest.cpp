// The scan routines: cache use (a second scan opens no file), file tests, the fast path and its
// fallback to the full load, the per-dialog record mapping and the logged warnings.

#include "PackageBuilder.h"
#include "TestSupport.h"
#include "core/LogImpl.h"
#include "core/ProgressSink.h"
#include "scan/ScanCache.h"
#include "scan/WorkbookScan.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class TLineRecorder : public TLogViewSink {
public:
  void AppendLogLine(const QString &ALine, TLogLevel ALevel) override {
    if (ALevel == TLogLevel::llWarning)
      Warnings << ALine.section(QStringLiteral("] "), 1);
  }
  void ClearLog() override {}
  QStringList Warnings;
};

class WorkbookScanTest : public ::testing::Test {
protected:
  void SetUp() override { GLogger = &FLogger; }
  void TearDown() override {
    GLogger = nullptr;
    for (const QString &p : FReadOnly)
      QFile::setPermissions(p, QFile::ReadOwner | QFile::WriteOwner);
  }
  QString Write(const QString &AName, const TMembers &AMembers) {
    const QString path = FDir.filePath(AName);
    EXPECT_TRUE(TestSupport::WriteZip(path, AMembers));
    return path;
  }
  static void Touch(const QString &APath, int ASecondsBack) {
    QFile f(APath);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.setFileTime(QDateTime::currentDateTime().addSecs(-ASecondsBack), QFileDevice::FileModificationTime));
  }
  QTemporaryDir FDir;
  TLineRecorder FLines;
  TLogger FLogger{&FLines, QString()};
  QStringList FReadOnly;
};

const QByteArray KRows = "<row r=\"1\"><c r=\"B1\" t=\"inlineStr\"><is><t> Name </t></is></c><c r=\"C1\"><v>2</v></c></row>"
                         "<row r=\"2\"><c r=\"B2\"><v>45000</v></c><c r=\"C2\" t=\"inlineStr\"><is><t> k </t></is></c></row>"
                         "<row r=\"3\"><c r=\"B3\"><v>3</v></c></row>";

TEST_F(WorkbookScanTest, SecondScanOpensNoFileUntilTheFileChanges) {
  const QString path = Write(QStringLiteral("a.xlsx"), Package({{"S", Sheet("B1:C3", KRows)}, {"T", Sheet("A1", "")}}));
  const qint64 start = ScanFileReads();
  TSheetMetaList first = ScanBookMergeSources({path}, nullptr);
  EXPECT_EQ(ScanFileReads(), start + 1);
  TSheetMetaList second = ScanBookMergeSources({path}, nullptr);
  EXPECT_EQ(ScanFileReads(), start + 1);
  ASSERT_EQ(second.size(), 2u);
  EXPECT_EQ(second[0]->SheetName, "S");
  EXPECT_EQ(second[0]->RowCount, 3);
  EXPECT_EQ(second[0]->ColCount, 2);
  EXPECT_EQ(second[0]->Action, 1);

  Touch(path, 120);
  ScanBookMergeSources({path}, nullptr);
  EXPECT_EQ(ScanFileReads(), start + 2);

  // Scan parameters are part of the key: a new header-row count misses, the old one hits again.
  ScanSheetMergeSources({path}, 1, nullptr);
  ScanSheetMergeSources({path}, 2, nullptr);
  EXPECT_EQ(ScanFileReads(), start + 4);
  TBookScanList again = ScanSheetMergeSources({path}, 1, nullptr);
  EXPECT_EQ(ScanFileReads(), start + 4);
  ASSERT_EQ(again.size(), 1u);
  EXPECT_TRUE(again[0]->LoadOK);
  EXPECT_EQ(again[0]->SheetTotal, 2);
  // Column keys from one header row: B is "N Name\x01", C "N2\x01".
  ASSERT_EQ(again[0]->Sheets.size(), 2u);
  EXPECT_EQ(again[0]->Sheets[0]->ColKeys,
            QStringList({QStringLiteral("NName") + QChar(1), QStringLiteral("N2") + QChar(1)}));
}

TEST_F(WorkbookScanTest, CellDialogsPlaceHeaderTextsAtAbsoluteColumns) {
  const QString path = Write(QStringLiteral("cells.xlsx"), Package({{"S", Sheet("B1:C3", KRows)}, {"E", Sheet(QByteArray(), KRows)}}));
  TBookScanList scans = ScanCellSources(TCellScanKind::cskCellMerge, {path}, 1, nullptr);
  ASSERT_EQ(scans.size(), 1u);
  const TBookScan &book = *scans[0];
  EXPECT_TRUE(book.LoadOK);
  EXPECT_EQ(book.HeaderRow0, 1);
  ASSERT_EQ(book.Sheets.size(), 2u);
  EXPECT_EQ(book.Sheets[0]->ColCount, 2);
  EXPECT_EQ(book.Sheets[0]->HeaderTexts, QStringList({"", "45000", " k "}));
  // No dimension element: an empty sheet without texts.
  EXPECT_EQ(book.Sheets[1]->ColCount, 0);
  EXPECT_TRUE(book.Sheets[1]->HeaderTexts.isEmpty());
  EXPECT_EQ(GCellMergeScanCache.TryGet(path, 1)->Sheets.size(), 2u);
}

TEST_F(WorkbookScanTest, FileTestsStopTheScanAndAreNotCached) {
  const QString path = Write(QStringLiteral("ro.xlsx"), Package({{"S", Sheet("A1", "")}}));
  ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup));
  FReadOnly << path;
  const QString missing = FDir.filePath(QStringLiteral("missing.xlsx"));
  const qint64 start = ScanFileReads();
  for (int round = 0; round < 2; ++round) {
    TBookScanList scans = ScanCellSources(TCellScanKind::cskCellAdd, {path, missing}, 0, nullptr);
    ASSERT_EQ(scans.size(), 2u);
    EXPECT_TRUE(scans[0]->ReadOnly);
    EXPECT_FALSE(scans[0]->LoadOK);
    EXPECT_EQ(scans[0]->LoadMsg, QStringLiteral("文件只读"));
    EXPECT_EQ(scans[1]->LoadMsg, QStringLiteral("文件不存在"));
  }
  EXPECT_EQ(ScanFileReads(), start);
  EXPECT_FALSE(GCellAddScanCache.TryGet(path, 0));

  TPdfScanList pdf = ScanPdfSources({missing}, nullptr);
  ASSERT_EQ(pdf.size(), 1u);
  EXPECT_EQ(pdf[0]->SheetIndex, -1);
  EXPECT_EQ(pdf[0]->LoadMsg, QStringLiteral("文件不存在"));
}

TEST_F(WorkbookScanTest, FastPathRaisingFallsBackWithAWarning) {
  // A header cell points into a shared-string table whose first item never closes: the fast
  // reader refuses it, the full load takes over.
  const QByteArray shared = "<sst><si><t>" + QByteArray(17 * 1024 * 1024, 'a');
  const QString path = Write(QStringLiteral("hostile.xlsx"),
                             Package({{"S", Sheet("A1", "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c></row>")}}, shared));
  const qint64 start = ScanFileReads();
  ScanSheetAddSources({path}, nullptr);
  EXPECT_EQ(ScanFileReads(), start + 2); // the fast read and the full load
  ASSERT_FALSE(FLines.Warnings.isEmpty());
  EXPECT_TRUE(FLines.Warnings[0].startsWith(QStringLiteral("xlsx 快速路径失败[hostile.xlsx]，回退慢路径："))) << FLines.Warnings[0].toStdString();
}

TEST_F(WorkbookScanTest, XlsGoesStraightToTheFullLoad) {
  // The same package under both extensions. A sheet without a dimension element is empty to the
  // fast reader; the full load sees its cells (or fails on the name): either way not row count 0.
  const TMembers members = Package({{"S", Sheet(QByteArray(), KRows)}});
  const QString xlsx = Write(QStringLiteral("same.xlsx"), members);
  const QString xls = Write(QStringLiteral("same.xls"), members);
  TSheetMetaList fast = ScanBookMergeSources({xlsx}, nullptr);
  ASSERT_EQ(fast.size(), 1u);
  EXPECT_EQ(fast[0]->RowCount, 0);
  TSheetMetaList full = ScanBookMergeSources({xls}, nullptr);
  for (const auto &r : full)
    EXPECT_GT(r->RowCount, 0);
  for (const QString &line : FLines.Warnings)
    EXPECT_FALSE(line.contains(QStringLiteral("快速路径"))) << line.toStdString();
}

TEST_F(WorkbookScanTest, BookSplitSingleSheetRule) {
  const QString single = Write(QStringLiteral("single.xlsx"), Package({{"A", Sheet("B1:C3", KRows)}, {"B", Sheet(QByteArray(), KRows)}}));
  const QString two = Write(QStringLiteral("two.xlsx"), Package({{"A", Sheet("B1:C3", KRows)}, {"B", Sheet("A1", ""), "hidden"}}));
  TSplitMetaList list = ScanBookSplitSources({single, two}, nullptr);
  ASSERT_EQ(list.size(), 4u);
  EXPECT_TRUE(list[0]->IsSingleSheetBook);
  EXPECT_TRUE(list[1]->IsSingleSheetBook);
  EXPECT_EQ(list[1]->StatusText, QStringLiteral("单表簿（跳过）"));
  EXPECT_FALSE(list[2]->IsSingleSheetBook);
  EXPECT_TRUE(list[3]->IsHidden);
  EXPECT_TRUE(list[3]->StatusText.isEmpty());
  EXPECT_EQ(FLines.Warnings, QStringList({QStringLiteral("源簿[single.xlsx]仅 1 张有效表，跳过拆分")}));
}

TEST_F(WorkbookScanTest, SheetSplitKeysFromTheGroupColumn) {
  // Group column B below one header row: stored values, trimmed (a date stays its serial number).
  const QString path = Write(QStringLiteral("split.xlsx"), Package({{"S", Sheet("B1:C4", KRows)}}));
  struct TProgress : TProgressSink {
    void SetMessage(const QString &) override {}
    void SetProgress(int APercent) override { Seen << APercent; }
    QList<int> Seen;
  } progress;
  TSheetScanMetaList list = ScanSheetSplitSources({path}, 1, 1, 1, &progress);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0]->RowKeys, QStringList({"45000", "3", ""}));
  EXPECT_EQ(list[0]->RowCount, 4);
  EXPECT_EQ(list[0]->HeaderTexts, (std::vector<QStringList>{{" Name ", "2"}}));
  EXPECT_EQ(progress.Seen.last(), 100);
  // Mode 0 reads no column and is cached apart.
  EXPECT_TRUE(ScanSheetSplitSources({path}, 1, 0, 1, nullptr)[0]->RowKeys.isEmpty());
}

} // namespace
