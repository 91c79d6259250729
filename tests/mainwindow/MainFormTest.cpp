// Drives the real main window by its object names: the file list (adding, filter, sorting, list
// files in several encodings, drops, command line), the window settings and the menus.

#include "TestFiles.h"
#include "core/LogImpl.h"
#include "core/TextCodec.h"
#include "mainwindow/FileListModel.h"
#include "mainwindow/MainFrm.h"
#include "widgets/MessageBoxes.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QUrl>
#include <memory>

namespace {

// Creates APath (and its folders) holding ASize bytes, last written at ATime when that is valid.
QString MakeFile(const QString &APath, qint64 ASize = 10, const QDateTime &ATime = QDateTime()) {
  QDir().mkpath(QFileInfo(APath).absolutePath());
  QFile file(APath);
  if (!file.open(QIODevice::WriteOnly))
    qFatal("cannot create %s", qPrintable(APath));
  file.write(QByteArray(ASize, 'x'));
  file.flush(); // the last write would otherwise land after the time is set
  if (ATime.isValid())
    file.setFileTime(ATime, QFileDevice::FileModificationTime);
  return APath;
}

} // namespace

class TMainFormTest : public QObject {
  Q_OBJECT

private:
  std::unique_ptr<QTemporaryDir> FTmp;
  std::unique_ptr<TMainForm> FForm;

  QString Tmp(const QString &AName) const { return FTmp->filePath(AName); }
  QString IniPath() const { return Tmp(QStringLiteral("Tabulyx.ini")); }
  void CreateForm() {
    FForm = std::make_unique<TMainForm>(TMainFormPlaces{IniPath(), Tmp(QStringLiteral("logs"))});
  }
  void ShowForm() {
    FForm->show();
    QVERIFY(QTest::qWaitForWindowExposed(FForm.get()));
  }
  QTreeView *List() const { return FForm->findChild<QTreeView *>(QStringLiteral("lstFile")); }
  QString Panel(int AIndex) const {
    return FForm->findChild<QLabel *>(QStringLiteral("dxstsbrPanel%1").arg(AIndex))->text();
  }
  void Trigger(const char *AAction) {
    QAction *action = FForm->Action(QString::fromLatin1(AAction));
    QVERIFY2(action, AAction);
    action->trigger();
  }
  // Names of the visible rows, top to bottom.
  QStringList RowNames() const {
    QStringList names;
    for (int r = 0; r < FForm->FileList()->rowCount(); ++r)
      names << FForm->FileList()->RowText(r, TFileListModel::fcName);
    return names;
  }
  void ClickHeader(int AColumn) {
    QHeaderView *header = List()->header();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(AColumn) + 5, header->height() / 2));
  }
  QString LogText() const {
    return FForm->findChild<QPlainTextEdit *>(QStringLiteral("cxrchdtLog"))->toPlainText();
  }

private slots:
  void init() {
    FTmp = std::make_unique<QTemporaryDir>();
    QVERIFY(FTmp->isValid());
    TMessageBoxes::SetTestMode(true);
    TMessageBoxes::ClearAnswers();
    TMessageBoxes::ClearShown();
  }
  void cleanup() {
    FForm.reset();
    FTmp.reset();
  }

  // ----- texts and keys of the list -------------------------------------------------------------

  void sizeText_data() {
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("key");
    QTest::newRow("unreadable") << qint64(-1) << "-1 B" << -1.0;
    QTest::newRow("1023") << qint64(1023) << "1023 B" << 1023.0;
    QTest::newRow("1024") << qint64(1024) << "1.0 KB" << 1024.0;
    QTest::newRow("1536") << qint64(1536) << "1.5 KB" << 1536.0;
    QTest::newRow("just below 1 MB") << qint64(1048575) << "1024.0 KB" << 1048576.0;
    QTest::newRow("1 MB") << qint64(1048576) << "1.0 MB" << 1048576.0;
    QTest::newRow("3 GiB has no larger unit") << qint64(3) * 1024 * 1024 * 1024 << "3072.0 MB"
                                               << 3072.0 * 1048576;
  }
  void sizeText() {
    QFETCH(qint64, size);
    QFETCH(QString, text);
    QFETCH(double, key);
    const QLocale c = QLocale::c();
    QCOMPARE(FormatFileSize(size, c), text);
    QCOMPARE(ParseFileSizeText(text, c), key);
  }

  void nameOrder_data() {
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<int>("order");
    QTest::newRow("case ignored") << "abc.xlsx" << "ABC.XLSX" << 0;
    QTest::newRow("letters") << "a.xlsx" << "B.xlsx" << -1;
    QTest::newRow("prefix first") << "ab" << "abc" << -1;
    // Folded to capitals, so '_' (0x5F) sorts after every letter.
    QTest::newRow("underscore after letters") << "_a" << "b" << 1;
    QTest::newRow("non-ASCII by code unit") << "数据" << "z" << 1;
  }
  void nameOrder() {
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(int, order);
    QCOMPARE(CompareFileNames(a, b), order);
    QCOMPARE(CompareFileNames(b, a), -order);
  }

  void timeTextRoundTrips() {
    const QDateTime t(QDate(2025, 3, 9), QTime(14, 5, 7));
    QCOMPARE(FormatFileTime(t), QStringLiteral("2025/3/9 14:05:07"));
    QCOMPARE(FormatFileTime(QDateTime(QDate(2025, 3, 9), QTime(0, 0))), QStringLiteral("2025/3/9"));
    QVERIFY(ParseFileTimeText(FormatFileTime(t)) > ParseFileTimeText(QStringLiteral("2025/3/9")));
    QCOMPARE(ParseFileTimeText(QString()), qint64(0));
  }

  void modelIsConsistent() {
    TFileListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.AddFiles({MakeFile(Tmp("a.xlsx")), MakeFile(Tmp("b.xls")), Tmp("gone.xlsx")});
    model.ApplyFilter(QStringLiteral("a"));
    model.SortByColumn(TFileListModel::fcSize, true);
    MakeFile(Tmp("a.xlsx"), 2048);
    model.RefreshFileInfo(0);
    QCOMPARE(model.RowText(0, TFileListModel::fcSize), QStringLiteral("2.0 KB"));
    model.UpdateItemPath(0, Tmp("a.xlsx"), Tmp("c.xlsx"));
    model.RemoveRows({0});
    QCOMPARE(model.AllFiles(), QStringList({Tmp("b.xls"), Tmp("gone.xlsx")}));
    // Unordered, repeated and out-of-range rows; adjacent rows go together.
    model.ApplyFilter(QString());
    model.AddFiles({MakeFile(Tmp("d.xlsx")), MakeFile(Tmp("e.xlsx"))});
    model.RemoveRows({3, 0, 1, 0, 7, -1});
    QCOMPARE(model.AllFiles(), QStringList({Tmp("d.xlsx")}));
    QCOMPARE(model.FilePath(0), Tmp("d.xlsx"));
  }

  // ----- adding ---------------------------------------------------------------------------------

  void addFolderFilesAndRefresh() {
    const QString dir = Tmp("book");
    MakeFile(dir + "/x.XLS");
    MakeFile(dir + "/y.xlsx");
    MakeFile(dir + "/z.xlsm");
    MakeFile(dir + "/.hidden.xlsx");
    QDir().mkpath(dir + "/w.xlsx"); // a folder named like a workbook
    MakeFile(dir + "/sub/deep.xlsx");
    CreateForm();

    TFileDialogs::SetNextFileNames({dir});
    Trigger("actAddDir");
    QStringList names = RowNames();
    names.sort();
    QCOMPARE(names, QStringList({".hidden.xlsx", "x.XLS", "y.xlsx"}));
    QCOMPARE(FForm->CurrentDir(), dir);
    QCOMPARE(Panel(0), QStringLiteral("共 3 个文件"));

    // A path differing only in case is already listed; "添加文件" lists any file it is given.
    const QString csv = MakeFile(Tmp("notes.csv"));
    TFileDialogs::SetNextFileNames({dir + "/Y.XLSX", csv, dir + "/x.XLS"});
    Trigger("actAddFile");
    QCOMPARE(FForm->FileList()->AllFilesCount(), 4);
    QCOMPARE(RowNames().last(), QStringLiteral("notes.csv"));

    // Refresh rescans the current folder only: the .csv and a deleted workbook leave the list.
    QVERIFY(QFile::remove(dir + "/y.xlsx"));
    Trigger("actRefresh");
    names = RowNames();
    names.sort();
    QCOMPARE(names, QStringList({".hidden.xlsx", "x.XLS"}));
    QCOMPARE(Panel(0), QStringLiteral("共 2 个文件"));
  }

  void commandLinePaths() {
    const QString dir = Tmp("cmd");
    MakeFile(dir + "/a.xlsx");
    MakeFile(dir + "/b.xls");
    const QString single = MakeFile(Tmp("single.XLSX"));
    const QString text = MakeFile(Tmp("readme.txt"));
    CreateForm();
    FForm->AddCommandLinePaths({single, dir, Tmp("missing.xlsx"), text});
    QCOMPARE(RowNames().first(), QStringLiteral("single.XLSX"));
    QCOMPARE(FForm->FileList()->AllFilesCount(), 3);
    QCOMPARE(FForm->CurrentDir(), dir);
    QVERIFY(LogText().contains(QStringLiteral("文件不存在，已跳过: ") + Tmp("missing.xlsx")));
    QVERIFY(LogText().contains(QStringLiteral("不是 Excel 工作簿，已跳过: ") + text));
  }

  void dropKeepsExistingWorkbooksOnly() {
    const QString folder = Tmp("dropped.xlsx"); // a folder, even with a workbook's name
    QDir().mkpath(folder);
    const QString csv = MakeFile(Tmp("data.csv"));
    const QString upper = MakeFile(Tmp("REPORT.XLSX"));
    const QString old = MakeFile(Tmp("old.xls"));
    CreateForm();
    ShowForm();
    auto *mime = new QMimeData;
    mime->setUrls({QUrl::fromLocalFile(folder), QUrl::fromLocalFile(csv), QUrl::fromLocalFile(upper),
                   QUrl::fromLocalFile(Tmp("missing.xlsx")), QUrl::fromLocalFile(old)});
    const QPoint at = List()->viewport()->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(FForm.get(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(at), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(FForm.get(), &drop);
    QCOMPARE(RowNames(), QStringList({"REPORT.XLSX", "old.xls"}));
    delete mime;
  }

  // ----- filter and sorting ---------------------------------------------------------------------

  void filterIsCaseSensitiveAndTrimmed() {
    CreateForm();
    FForm->AddFiles({MakeFile(Tmp("data/a.xlsx")), MakeFile(Tmp("Data/b.xlsx")), MakeFile(Tmp("x/DATA.xlsx"))});
    auto *filter = FForm->findChild<QLineEdit *>(QStringLiteral("btnFilter"));
    struct TCase {
      const char *Text;
      QStringList Rows;
    };
    const TCase cases[] = {
        {"data", {"a.xlsx"}},
        {" \tData\n", {"b.xlsx"}},
        {"DATA.x", {"DATA.xlsx"}},
        {"nothing", {}},
        {"", {"a.xlsx", "b.xlsx", "DATA.xlsx"}},
    };
    for (const TCase &c : cases) {
      filter->setText(QString::fromUtf8(c.Text));
      QCOMPARE(RowNames(), c.Rows);
      QCOMPARE(Panel(0), QStringLiteral("共 %1 个文件").arg(c.Rows.size()));
    }
    // New files are appended even when they do not match; the filter applies on its next change.
    filter->setText(QStringLiteral("data"));
    FForm->AddFiles({MakeFile(Tmp("other/c.xlsx"))});
    QCOMPARE(RowNames(), QStringList({"a.xlsx", "c.xlsx"}));
  }

  void sortBySizeAndTime() {
    const QDateTime base(QDate(2024, 5, 1), QTime(8, 0, 0));
    CreateForm();
    FForm->AddFiles({MakeFile(Tmp("big.xlsx"), 2 * 1048576, base.addDays(1)),
                     MakeFile(Tmp("small.xlsx"), 900, base.addDays(3)),
                     Tmp("missing.xlsx"),
                     MakeFile(Tmp("kb.xlsx"), 1024, base)});
    ShowForm();
    struct TCase {
      int Column;
      QStringList Rows;
    };
    // One direction flag for all columns: each click flips it, whatever the column.
    const TCase clicks[] = {
        {TFileListModel::fcSize, {"missing.xlsx", "small.xlsx", "kb.xlsx", "big.xlsx"}},
        {TFileListModel::fcSize, {"big.xlsx", "kb.xlsx", "small.xlsx", "missing.xlsx"}},
        {TFileListModel::fcTime, {"missing.xlsx", "kb.xlsx", "big.xlsx", "small.xlsx"}},
        {TFileListModel::fcTime, {"small.xlsx", "big.xlsx", "kb.xlsx", "missing.xlsx"}},
        {TFileListModel::fcName, {"big.xlsx", "kb.xlsx", "missing.xlsx", "small.xlsx"}},
    };
    for (const TCase &c : clicks) {
      ClickHeader(c.Column);
      QCOMPARE(RowNames(), c.Rows);
    }
    // Rows still map to their own paths after the reorder.
    for (int r = 0; r < 4; ++r)
      QCOMPARE(QFileInfo(FForm->GetItemFilePath(r)).fileName(), RowNames()[r]);
  }

  void selectionCommandsAndDetailsPanel() {
    CreateForm();
    const QString a = MakeFile(Tmp("a.xlsx"), 1536);
    FForm->AddFiles({a, MakeFile(Tmp("b.xlsx")), MakeFile(Tmp("c.xlsx"))});
    ShowForm();
    QCOMPARE(FForm->GetSelectedFilePath(), QString());
    List()->setCurrentIndex(FForm->FileList()->index(0, 0));
    QCOMPARE(FForm->GetSelectedFilePath(), a);
    QVERIFY2(Panel(1).startsWith(a + QStringLiteral(" | 1.5 KB | ")), qPrintable(Panel(1)));
    Trigger("actInvert");
    QCOMPARE(FForm->SelectedRows(), QList<int>({1, 2}));
    QCOMPARE(Panel(1), QString()); // the focused row is no longer selected
    Trigger("actAll");
    QCOMPARE(FForm->SelectedRows(), QList<int>({0, 1, 2}));
  }

  // ----- list files -----------------------------------------------------------------------------

  void exportThenOpenFilteredSortedList() {
    CreateForm();
    FForm->AddFiles({MakeFile(Tmp("keep/b.xlsx"), 5000), MakeFile(Tmp("keep/a.xlsx"), 100),
                     MakeFile(Tmp("drop/c.xlsx")), MakeFile(Tmp("keep/数据.xlsx"), 2000)});
    ShowForm();
    FForm->findChild<QLineEdit *>(QStringLiteral("btnFilter"))->setText(QStringLiteral("keep"));
    ClickHeader(TFileListModel::fcSize);
    TFileDialogs::SetNextFileNames({Tmp("list")});
    Trigger("actExportFileList");

    QFile written(Tmp("list.txt"));
    QVERIFY(written.open(QIODevice::ReadOnly));
    const QByteArray expected =
        (Tmp("keep/a.xlsx") + "\r\n" + Tmp("keep/数据.xlsx") + "\r\n" + Tmp("keep/b.xlsx") + "\r\n").toUtf8();
    QCOMPARE(written.readAll(), expected);
    QCOMPARE(TMessageBoxes::Shown().last().Text, QStringLiteral("文件列表已导出"));

    // Opening replaces the whole list, whatever the filter box holds.
    QVERIFY(QFile::remove(Tmp("keep/b.xlsx")));
    FForm->AddFiles({MakeFile(Tmp("extra.xlsx"))});
    TFileDialogs::SetNextFileNames({Tmp("list.txt")});
    Trigger("actOpenFileList");
    QCOMPARE(FForm->FileList()->AllFiles(), QStringList({Tmp("keep/a.xlsx"), Tmp("keep/数据.xlsx")}));
    QVERIFY(LogText().contains(QStringLiteral("文件不存在，已跳过: ") + Tmp("keep/b.xlsx")));
  }

  void openListInEveryEncoding_data() {
    QTest::addColumn<QString>("encoding");
    QTest::newRow("GBK") << "gbk";
    QTest::newRow("UTF-8") << "utf8";
    QTest::newRow("UTF-8 with BOM") << "utf8bom";
    QTest::newRow("UTF-16LE with BOM") << "utf16le";
    QTest::newRow("UTF-16BE with BOM") << "utf16be";
  }
  void openListInEveryEncoding() {
    QFETCH(QString, encoding);
    const QString first = MakeFile(Tmp("报表/一月.xlsx"));
    const QString second = MakeFile(Tmp("报表/二月.xls"));
    // Blank lines, a line of blanks, surrounding blanks, a missing file and a duplicate; line
    // ends CR LF, LF and a lone CR.
    const QString text = "  " + first + "\t\r\n\r\n   \n" + Tmp("报表/没有.xlsx") + "\r" + second + "\n" + first + "\n";
    const QMap<QString, TTextEncoding> encodings = {{"gbk", TTextEncoding::teGbk},
                                                    {"utf8", TTextEncoding::teUtf8},
                                                    {"utf8bom", TTextEncoding::teUtf8Bom},
                                                    {"utf16le", TTextEncoding::teUtf16LE},
                                                    {"utf16be", TTextEncoding::teUtf16BE}};
    QVERIFY(TestSupport::WriteFileBytes(Tmp("list.txt"), EncodeText(text, encodings.value(encoding))));
    CreateForm();
    FForm->AddFiles({MakeFile(Tmp("before.xlsx"))});
    TFileDialogs::SetNextFileNames({Tmp("list.txt")});
    Trigger("actOpenFileList");
    QCOMPARE(FForm->FileList()->AllFiles(), QStringList({first, second}));
    QCOMPARE(LogText().count(QStringLiteral("文件不存在，已跳过: ") + Tmp("报表/没有.xlsx")), 1);
  }

  void unreadableListFileIsReportedAndKeepsList() {
    CreateForm();
    FForm->AddFiles({MakeFile(Tmp("a.xlsx"))});
    TFileDialogs::SetNextFileNames({FTmp->path()}); // a folder cannot be read as a list
    Trigger("actOpenFileList");
    QCOMPARE(FForm->FileList()->AllFilesCount(), 1);
    QVERIFY(TMessageBoxes::Shown().last().Text.startsWith(QStringLiteral("未处理异常[TFileIoError]: ")));
    QCOMPARE(TMessageBoxes::Shown().last().Kind, TBoxKind::bkError);
  }

  // ----- settings -------------------------------------------------------------------------------

  void settingsAreClampedAndStatusBarAlwaysShown_data() {
    const QScreen *screen = QGuiApplication::primaryScreen();
    const int maxWidth = screen->geometry().width() * 4 / 5;
    const int maxHeight = screen->geometry().height() * 4 / 5;
    QTest::addColumn<QString>("mainKeys");
    QTest::addColumn<QString>("columnKeys");
    QTest::addColumn<int>("previewWidth");
    QTest::addColumn<int>("logHeight");
    QTest::addColumn<QList<int>>("columns");
    QTest::newRow("defaults") << "" << "" << std::min(800, maxWidth) << 206 << QList<int>{300, 500, 100, 150};
    QTest::newRow("too small") << "lstFileWidth=100\nLogPanelHeight=10\n" << "" << 500 << 60
                               << QList<int>{300, 500, 100, 150};
    QTest::newRow("absurd") << "lstFileWidth=99999\nLogPanelHeight=99999\n"
                            << "Count=9\nCol0=120\nCol1=0\nCol2=-5\nCol3=99999999\nCol4=77\n" << maxWidth
                            << maxHeight << QList<int>{120, 500, 100, 10000};
    QTest::newRow("garbage") << "lstFileWidth=abc\nLogPanelHeight=\n" << "Count=2\nCol0=90\nCol3=90\n"
                             << std::min(800, maxWidth) << 206 << QList<int>{90, 500, 100, 150};
  }
  void settingsAreClampedAndStatusBarAlwaysShown() {
    QFETCH(QString, mainKeys);
    QFETCH(QString, columnKeys);
    QFETCH(int, previewWidth);
    QFETCH(int, logHeight);
    QFETCH(QList<int>, columns);
    // Whatever else the file says, a stored hidden status bar is shown at start.
    const QString ini = "[MainForm]\nStatusVisible=0\nDebugEnabled=1\n" + mainKeys + "[lstFileColumns]\n" + columnKeys;
    QVERIFY(TestSupport::WriteFileBytes(IniPath(), ini.toUtf8()));
    CreateForm();
    QVERIFY(FForm->Action(QStringLiteral("actStatus"))->isChecked());
    QVERIFY(FForm->findChild<QStatusBar *>(QStringLiteral("dxstsbr"))->isVisibleTo(FForm.get()));
    QVERIFY(GLogger && GLogger->DebugEnabled());
    QList<int> widths;
    for (int i = 0; i < 4; ++i)
      widths << List()->header()->sectionSize(i);
    QCOMPARE(widths, columns);
    FForm.reset(); // writes the settings

    QSettings stored(IniPath(), QSettings::IniFormat);
    QCOMPARE(stored.value("MainForm/lstFileWidth").toInt(), previewWidth);
    QCOMPARE(stored.value("MainForm/LogPanelHeight").toInt(), logHeight);
    QCOMPARE(stored.value("MainForm/StatusVisible").toString(), QStringLiteral("1"));
    QCOMPARE(stored.value("MainForm/DebugEnabled").toString(), QStringLiteral("1"));
    QCOMPARE(stored.value("lstFileColumns/Count").toInt(), 4);
    QVERIFY(GLogger == nullptr);
  }

  void panelsFollowToggleAndSettingsSurviveRestart() {
    QVERIFY(TestSupport::WriteFileBytes(
        IniPath(), "[MainForm]\nPreviewVisible=1\nLogVisible=1\nlstFileWidth=100\nLogPanelHeight=10\n"));
    CreateForm();
    ShowForm();
    auto *preview = FForm->findChild<QWidget *>(QStringLiteral("dxsprdshtXls"));
    auto *log = FForm->findChild<QWidget *>(QStringLiteral("dxpnlLog"));
    auto *bottomSplitter = FForm->findChild<QWidget *>(QStringLiteral("cxspltrBottom"));
    QTRY_COMPARE(preview->width(), 500);
    QTRY_COMPARE(log->height(), 60);
    QVERIFY(bottomSplitter->isVisible());
    QVERIFY(LogText().contains(QStringLiteral("[消息] 程序启动")));

    Trigger("actLog");
    QVERIFY(!log->isVisible());
    QVERIFY(!bottomSplitter->isVisible());
    Trigger("actPreview");
    QVERIFY(!preview->isVisible());
    QVERIFY(!FForm->findChild<QWidget *>(QStringLiteral("cxspltrRight"))->isVisible());
    Trigger("actStatus");
    QVERIFY(!FForm->findChild<QStatusBar *>(QStringLiteral("dxstsbr"))->isVisible());
    FForm->close();
    FForm.reset();

    CreateForm();
    QVERIFY(!FForm->Action(QStringLiteral("actLog"))->isChecked());
    QVERIFY(!FForm->Action(QStringLiteral("actPreview"))->isChecked());
    QVERIFY(FForm->Action(QStringLiteral("actStatus"))->isChecked());
    QSettings stored(IniPath(), QSettings::IniFormat);
    QCOMPARE(stored.value("MainForm/lstFileWidth").toInt(), 500);
    QCOMPARE(stored.value("MainForm/LogPanelHeight").toInt(), 60);
  }

  // ----- menus, tools and help ------------------------------------------------------------------

  void menusInOrderWithUnbuiltCommandsDisabled() {
    CreateForm();
    QStringList menus;
    for (QAction *top : FForm->menuBar()->actions()) {
      QStringList items;
      for (QAction *item : top->menu()->actions()) {
        if (item->isSeparator()) {
          items << "|";
          continue;
        }
        items << item->text();
        if (!item->isEnabled())
          QVERIFY2(item->toolTip().contains(QStringLiteral("尚在开发中")), qPrintable(item->text()));
      }
      menus << top->text().remove('&') + ": " + items.join(' ');
    }
    QCOMPARE(menus,
             QStringList({
                 "文件(F): 添加文件 添加目录 | 打开文件列表 导出文件列表 | 导出PDF | 打开 打开路径 复制完整路径和文件名 "
                 "| 删除 重命名 | 退出",
                 "编辑(E): 剪切 复制 粘贴 | 复制到文件夹 移动到文件夹 | 全选 反选",
                 "视图(V): 预览 状态栏 运行日志 | 刷新",
                 "搜索(S): 高级搜索",
                 "表格(B): 工作簿新建 工作簿合并 工作簿拆分 | 工作表新建 工作表合并 工作表拆分 | 新建列 单元格合并 "
                 "单元格拆分 单元格清洗",
                 "工具(T): 计算器 记事本",
                 "帮助(H): 帮助 | 检查更新 | 关于",
             }));
    QCOMPARE(FForm->Action("actOpenPath")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Return));
    QCOMPARE(FForm->Action("actXlsSave")->shortcut(), QKeySequence(QStringLiteral("Ctrl+S")));
    QCOMPARE(FForm->windowTitle(), QStringLiteral("TabulyxTabulyxV3.0.0.0"));

    Trigger("actHelp");
    const TShownBox help = TMessageBoxes::Shown().last();
    QCOMPARE(help.Kind, TBoxKind::bkInformation);
    const QStringList lines = help.Text.split('\n');
    QCOMPARE(lines.size(), 21); // 20 lines, each ended by a break
    QCOMPARE(lines[0], QStringLiteral("Tabulyx V3.0.0.0\u3000使用说明"));
    QVERIFY(lines[14].startsWith(QChar(0x3000)) && lines[19].startsWith(QChar(0x3000)));

    QString aboutSeen;
    QTimer::singleShot(0, this, [&] {
      QWidget *about = QApplication::activeModalWidget();
      QVERIFY(about);
      aboutSeen = about->windowTitle() + " " + about->findChild<QLabel *>("lblVersion")->text();
      QTest::mouseClick(about->findChild<QPushButton *>("btnOK"), Qt::LeftButton);
    });
    Trigger("actAbout");
    QCOMPARE(aboutSeen, QStringLiteral("About Tabulyx V3.0.0.0"));
  }

  void toolsUseInstalledProgramOrSayNoneIs() {
    const QByteArray oldPath = qgetenv("PATH");
    const QString bin = Tmp("bin");
    QDir().mkpath(bin);
    qputenv("PATH", bin.toLocal8Bit());
    CreateForm();
    Trigger("actCalc");
    QVERIFY(TMessageBoxes::Shown().last().Text.startsWith(QStringLiteral("未找到可用的计算器程序")));

    const QString marker = Tmp("editor-started");
    const QString editor = bin + "/mousepad";
    QVERIFY(TestSupport::WriteFileBytes(editor, ("#!/bin/sh\n: > '" + marker + "'\n").toUtf8()));
    QFile::setPermissions(editor, QFile::permissions(editor) | QFileDevice::ExeOwner);
    Trigger("actNote");
    qputenv("PATH", oldPath);
    QTRY_VERIFY(QFileInfo::exists(marker));
  }
};

QTEST_MAIN(TMainFormTest)
#include "MainFormTest.moc"
