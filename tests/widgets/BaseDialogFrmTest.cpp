#include "core/Settings.h"
#include "widgets/BaseDialogFrm.h"

#include <QHeaderView>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

// A descendant as the option dialogs build themselves: columns in the constructor, then Initialize.
// It records what its handlers saw, to check the order against loading and saving the layout.
class TXlsToPdfForm : public TBaseDialogForm {
  Q_OBJECT
public:
  explicit TXlsToPdfForm(int AColumns = 6, QWidget *AParent = nullptr) : TBaseDialogForm(AParent) {
    QStringList labels;
    for (int i = 0; i < AColumns; ++i)
      labels << QStringLiteral("列%1").arg(i);
    lstBook->setHeaderLabels(labels);
    for (int i = 0; i < AColumns; ++i)
      lstBook->setColumnWidth(i, 100);
    Initialize();
  }
  ~TXlsToPdfForm() override { Finalize(); }

  int WidthSeenByFormCreate = -1;
  QString WidthStoredBeforeFormDestroy;
  int FormDestroyCalls = 0;

protected:
  void FormCreate() override { WidthSeenByFormCreate = width(); }
  void FormDestroy() override {
    ++FormDestroyCalls;
    WidthStoredBeforeFormDestroy =
        TIniFile(SettingsPath()).ReadString(GetIniSectionName(), QStringLiteral("FormWidth"), QString());
  }
};

class TRenameForm : public TBaseDialogForm {
  Q_OBJECT
public:
  TRenameForm() { Initialize(); }
  QString GetIniSectionName() const override { return QStringLiteral("RenameForm"); }
};

class NoLeadingT : public TBaseDialogForm {
  Q_OBJECT
public:
  NoLeadingT() { Initialize(); }
};

// A descendant that brings its own option grid in place of the placeholder.
class TGridForm : public TBaseDialogForm {
  Q_OBJECT
public:
  TGridForm() {
    auto *grid = new QWidget;
    grid->setObjectName(QStringLiteral("cxvrtclgrdBook"));
    SetOptionGrid(grid);
    Initialize();
  }
};

class TBaseDialogFrmTest : public QObject {
  Q_OBJECT

  QTemporaryDir FDir;
  QString FIni;

  void Store(const QString &ASection, const QList<std::pair<QString, int>> &AValues) {
    TIniFile ini(FIni);
    for (const auto &[key, value] : AValues)
      ini.WriteInteger(ASection, key, value);
  }

private slots:
  void initTestCase() { QVERIFY(FDir.isValid()); }
  void init() {
    FIni = FDir.filePath(QStringLiteral("%1.ini").arg(QTest::currentTestFunction()) +
                         QString::fromLatin1(QTest::currentDataTag()));
    QFile::remove(FIni);
    TBaseDialogForm::SetSettingsPath(FIni);
  }
  void cleanupTestCase() { TBaseDialogForm::SetSettingsPath(QString()); }

  void Components() {
    TXlsToPdfForm form;
    for (const char *name : {"dxpnlBottom", "btnOK", "btnCancel", "dxpnlBtn", "dxpnlTop", "lstBook",
                             "cxspltrBottom", "cxvrtclgrdBook"})
      QVERIFY2(form.findChild<QWidget *>(QString::fromLatin1(name)), name);
    QCOMPARE(form.btnOK->text(), QStringLiteral("确定"));
    QCOMPARE(form.btnCancel->text(), QStringLiteral("关闭"));
    QCOMPARE(form.cxspltrBottom->handleWidth(), 6);
    QCOMPARE(form.dxpnlBottom->height(), 41);
    QCOMPARE(form.cxvrtclgrdBook->height(), 200);
    form.show();
    QTest::mouseClick(form.btnCancel, Qt::LeftButton);
    QCOMPARE(form.result(), int(QDialog::Rejected));
    QVERIFY(!form.isVisible());
  }

  // The keys land under the section of the most derived class, also when only the base destructor
  // saves (TRenameForm does not call Finalize), where virtual calls no longer reach the descendant.
  void SectionNames() {
    QCOMPARE(TXlsToPdfForm().GetIniSectionName(), QStringLiteral("XlsToPdfForm"));
    QCOMPARE(TRenameForm().GetIniSectionName(), QStringLiteral("RenameForm"));
    QCOMPARE(NoLeadingT().GetIniSectionName(), QStringLiteral("NoLeadingT"));

    const TIniFile ini(FIni);
    for (const char *section : {"XlsToPdfForm", "RenameForm", "NoLeadingT"})
      QVERIFY2(ini.ValueExists(QString::fromLatin1(section), QStringLiteral("FormWidth")), section);
    QVERIFY(!ini.SectionExists(QStringLiteral("BaseDialogForm")));
    QCOMPARE(ini.ReadInteger(QStringLiteral("XlsToPdfForm.lstBookColumns"), QStringLiteral("ColumnCount"), 0), 6);
    QVERIFY(!ini.SectionExists(QStringLiteral("RenameForm.lstBookColumns"))); // a list without columns
  }

  void SizeClamps_data() {
    const QSize screen = QGuiApplication::primaryScreen()->size();
    QTest::addColumn<int>("storedWidth");
    QTest::addColumn<int>("storedHeight");
    QTest::addColumn<QSize>("expected");
    QTest::newRow("too small") << 100 << 10 << QSize(400, 300);
    QTest::newRow("too large") << 99999 << 99999 << QSize(screen.width() * 9 / 10, screen.height() * 9 / 10);
    QTest::newRow("inside") << 500 << 350 << QSize(500, 350);
  }
  void SizeClamps() {
    QFETCH(int, storedWidth);
    QFETCH(int, storedHeight);
    QFETCH(QSize, expected);
    Store(QStringLiteral("XlsToPdfForm"), {{"FormWidth", storedWidth}, {"FormHeight", storedHeight}});
    TXlsToPdfForm form;
    QCOMPARE(form.size(), expected);
  }

  void GridHeightClamps_data() {
    QTest::addColumn<int>("formHeight");
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("expected");
    QTest::newRow("over the client height") << 500 << 5000 << 400; // 4/5 of 500
    QTest::newRow("too small") << 500 << 10 << 80;
    QTest::newRow("inside") << 500 << 150 << 150;
  }
  void GridHeightClamps() {
    QFETCH(int, formHeight);
    QFETCH(int, stored);
    QFETCH(int, expected);
    Store(QStringLiteral("XlsToPdfForm"), {{"FormWidth", 600}, {"FormHeight", formHeight}, {"GridHeight", stored}});
    TXlsToPdfForm form;
    QCOMPARE(form.cxvrtclgrdBook->height(), expected);
    form.show(); // showing must not share the space out anew
    QCOMPARE(form.cxvrtclgrdBook->height(), expected);
  }

  void ColumnWidths() {
    Store(QStringLiteral("XlsToPdfForm.lstBookColumns"), {{"ColumnCount", 2}, {"Col0", 5}, {"Col1", 250}, {"Col2", 300}});
    TXlsToPdfForm form;
    const QList<int> expected{20, 250, 100, 100, 100, 100}; // only two restored, 5 raised to 20
    for (int i = 0; i < expected.size(); ++i)
      QCOMPARE(form.lstBook->columnWidth(i), expected[i]);

    // More stored widths than the list has columns: the extra ones are ignored.
    Store(QStringLiteral("XlsToPdfForm.lstBookColumns"), {{"ColumnCount", 9}, {"Col0", 70}, {"Col5", 90}, {"Col6", 1}});
    TXlsToPdfForm again;
    QCOMPARE(again.lstBook->columnWidth(0), 70);
    QCOMPARE(again.lstBook->columnWidth(5), 90);
  }

  // Round trip, and the order the option dialogs rely on: options load before the geometry is
  // restored, and the geometry is saved before the options are, exactly once.
  void SaveOnCloseInOrder() {
    Store(QStringLiteral("XlsToPdfForm"), {{"FormWidth", 640}, {"FormHeight", 480}});
    {
      TXlsToPdfForm form;
      QVERIFY(form.WidthSeenByFormCreate != 640);
      QCOMPARE(form.width(), 640);
      form.resize(700, 500);
      form.lstBook->setColumnWidth(3, 77);
      form.show();
      form.reject();
      QCOMPARE(form.FormDestroyCalls, 1);
      QCOMPARE(form.WidthStoredBeforeFormDestroy, QStringLiteral("700"));
      form.resize(720, 520); // after closing: not saved again by the destructor
    }
    TXlsToPdfForm form;
    QCOMPARE(form.size(), QSize(700, 500));
    QCOMPARE(form.lstBook->columnWidth(3), 77);
    QCOMPARE(form.FormDestroyCalls, 0);
  }

  // Garbage in the file reads as the current size, like a missing key.
  void GarbageFallsBackToCurrentSize() {
    QSize defaultSize;
    {
      TXlsToPdfForm reference;
      defaultSize = reference.size();
    }
    QFile::remove(FIni);
    TIniFile ini(FIni);
    ini.WriteString(QStringLiteral("XlsToPdfForm"), QStringLiteral("FormWidth"), QStringLiteral("abc"));
    ini.WriteString(QStringLiteral("XlsToPdfForm"), QStringLiteral("FormHeight"), QStringLiteral("12px"));
    ini.WriteString(QStringLiteral("XlsToPdfForm.lstBookColumns"), QStringLiteral("Col0"), QStringLiteral(""));
    TXlsToPdfForm form;
    QCOMPARE(form.size(), defaultSize);
    QCOMPARE(form.lstBook->columnWidth(0), 100);
  }

  void SwappingTheGridKeepsItsHeight() {
    TGridForm form;
    QCOMPARE(form.findChildren<QWidget *>(QStringLiteral("cxvrtclgrdBook")).size(), 1);
    QCOMPARE(form.cxspltrBottom->indexOf(form.cxvrtclgrdBook), 1);
    QCOMPARE(form.cxvrtclgrdBook->height(), 200);
  }
};

QTEST_MAIN(TBaseDialogFrmTest)
#include "BaseDialogFrmTest.moc"
