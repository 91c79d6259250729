// The program's start pieces under the real application object: exceptions escaping an event
// handler reach the main window's handler and the program goes on; Qt's own texts are Chinese.

#include "app/DataMain.h"
#include "app/TabulyxApplication.h"
#include "core/Errors.h"
#include "mainwindow/MainFrm.h"
#include "widgets/MessageBoxes.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <stdexcept>

namespace {

// An object whose event handler throws whatever it is told to.
class TThrowingObject : public QObject {
public:
  std::function<void()> Throw;
  bool event(QEvent *AEvent) override {
    if (AEvent->type() == QEvent::User)
      Throw();
    return QObject::event(AEvent);
  }
};

struct TCustomFault {}; // not derived from std::exception

} // namespace

class TAppTest : public QObject {
  Q_OBJECT

private slots:
  void init() {
    TMessageBoxes::SetTestMode(true);
    TMessageBoxes::ClearShown();
  }

  void unhandledExceptionsAreLoggedAndProgramContinues_data() {
    QTest::addColumn<std::function<void()>>("raise");
    QTest::addColumn<QString>("line");
    QTest::newRow("our error") << std::function<void()>([] { throw TFileIoError(QStringLiteral("磁盘已满")); })
                               << QStringLiteral("未处理异常[TFileIoError]: 磁盘已满");
    QTest::newRow("standard") << std::function<void()>([] { throw std::runtime_error("boom"); })
                              << QStringLiteral("未处理异常[std::runtime_error]: boom");
    QTest::newRow("any type") << std::function<void()>([] { throw TCustomFault(); })
                              << QStringLiteral("未处理异常[(anonymous namespace)::TCustomFault]: ");
  }
  void unhandledExceptionsAreLoggedAndProgramContinues() {
    QFETCH(std::function<void()>, raise);
    QFETCH(QString, line);
    QTemporaryDir tmp;
    const QString logDir = tmp.filePath(QStringLiteral("logs"));
    auto form = std::make_unique<TMainForm>(TMainFormPlaces{tmp.filePath(QStringLiteral("Tabulyx.ini")), logDir});
    TThrowingObject target;
    target.Throw = raise;
    QCoreApplication::postEvent(&target, new QEvent(QEvent::User));
    QCoreApplication::sendPostedEvents(&target);

    // In the log view, the day's log file and an error box.
    const QString view = form->findChild<QPlainTextEdit *>(QStringLiteral("cxrchdtLog"))->toPlainText();
    QVERIFY2(view.contains(QStringLiteral("[错误] ") + line), qPrintable(view));
    QVERIFY(!TMessageBoxes::Shown().isEmpty());
    QCOMPARE(TMessageBoxes::Shown().last().Kind, TBoxKind::bkError);
    QCOMPARE(TMessageBoxes::Shown().last().Text, line);
    const QStringList logs = QDir(logDir).entryList(QDir::Files);
    QCOMPARE(logs.size(), 1);
    QFile file(QDir(logDir).filePath(logs.first()));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(QString::fromUtf8(file.readAll()).contains(line));

    // The loop keeps running: a later event is delivered normally.
    bool later = false;
    QTimer::singleShot(0, &target, [&] { later = true; });
    QTRY_VERIFY(later);

    // Without the main window the fault still reaches the user, in a box.
    form.reset();
    TMessageBoxes::ClearShown();
    QCoreApplication::postEvent(&target, new QEvent(QEvent::User));
    QCoreApplication::sendPostedEvents(&target);
    QCOMPARE(TMessageBoxes::Shown().size(), 1);
    QCOMPARE(TMessageBoxes::Shown().last().Kind, TBoxKind::bkError);
  }

  void qtTextsAreChinese() {
    const TDataMain dataMain;
    QVERIFY2(dataMain.Localized(), qPrintable(TDataMain::TranslationDirs().join(';')));
    QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QCOMPARE(box.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("取消"));
  }
};

int main(int argc, char **argv) {
  TTabulyxApplication app(argc, argv);
  TAppTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "AppTest.moc"
