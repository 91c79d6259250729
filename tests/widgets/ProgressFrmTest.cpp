#include "widgets/ProgressFrm.h"

#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <QTest>

class TProgressFrmTest : public QObject {
  Q_OBJECT

private slots:
  void cleanup() { TProgressForm::HideProgress(); }

  void Appearance() {
    QWidget owner;
    owner.show();
    TProgressForm::ShowProgress(QStringLiteral("正在扫描..."), &owner);
    TProgressForm *form = TProgressForm::Instance();
    QVERIFY(form && form->isVisible());
    QCOMPARE(form->windowTitle(), QStringLiteral("正在处理"));
    QCOMPARE(form->size(), QSize(428, 105));
    QVERIFY(!(form->windowFlags() & (Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint)));
    auto *label = form->findChild<QLabel *>(QStringLiteral("lblMessage"));
    auto *bar = form->findChild<QProgressBar *>(QStringLiteral("cxProgressBar1"));
    QVERIFY(label && bar);
    QCOMPARE(label->text(), QStringLiteral("正在扫描..."));
    QVERIFY(label->wordWrap());
    QCOMPARE(label->size(), QSize(393, 49));
    QCOMPARE(bar->width(), 401);
    QCOMPARE(bar->value(), 0);
    QCOMPARE(bar->text(), QStringLiteral("0%"));
  }

  void SetProgressClamps_data() {
    QTest::addColumn<int>("percent");
    QTest::addColumn<int>("shown");
    QTest::newRow("over") << 150 << 100;
    QTest::newRow("under") << -5 << 0;
    QTest::newRow("inside") << 42 << 42;
    QTest::newRow("top") << 100 << 100;
  }
  void SetProgressClamps() {
    QFETCH(int, percent);
    QFETCH(int, shown);
    TProgressForm::ShowProgress(QStringLiteral("x"));
    TProgressForm::SetProgress(percent);
    QCOMPARE(TProgressForm::Instance()->cxProgressBar1->value(), shown);
    QCOMPARE(TProgressForm::Instance()->cxProgressBar1->text(), QString::number(shown) + '%');
  }

  // A nested show changes the text only; one hide closes the window and re-enables the first owner,
  // and the nested call's owner is never touched.
  void NestedShowAndOwnerReenabled() {
    QWidget owner, other;
    owner.show();
    other.show();
    TProgressForm::ShowProgress(QStringLiteral("outer"), &owner);
    QVERIFY(!owner.isEnabled());
    TProgressForm *form = TProgressForm::Instance();
    TProgressForm::ShowProgress(QStringLiteral("inner"), &other);
    QCOMPARE(TProgressForm::Instance(), form);
    QCOMPARE(form->lblMessage->text(), QStringLiteral("inner"));
    QVERIFY(other.isEnabled());
    QVERIFY(form->isEnabled()); // not greyed out with its owner

    TProgressForm::HideProgress();
    QVERIFY(!TProgressForm::IsShowing());
    QVERIFY(owner.isEnabled());
    TProgressForm::HideProgress(); // nothing shown: harmless
    TProgressForm::SetProgress(50);
    TProgressForm::SetMessage(QStringLiteral("ignored"));
    QVERIFY(!TProgressForm::IsShowing());
  }

  void NullOwnerMeansTheMainWindow() {
    QMainWindow main;
    QWidget stray; // a top-level that is not the main window
    main.show();
    stray.show();
    TProgressForm::ShowProgress(QStringLiteral("x"), nullptr);
    QVERIFY(!main.isEnabled());
    QVERIFY(stray.isEnabled());
    TProgressForm::HideProgress();
    QVERIFY(main.isEnabled());
  }

  // The user cannot close it: neither the window manager nor Escape.
  void UserCannotClose() {
    TProgressForm::ShowProgress(QStringLiteral("x"));
    TProgressForm *form = TProgressForm::Instance();
    QVERIFY(!form->close());
    QTest::keyClick(form, Qt::Key_Escape);
    QVERIFY(TProgressForm::IsShowing());
    QVERIFY(form->isVisible());
  }

  void GuardHidesOnException() {
    QWidget owner;
    owner.show();
    try {
      TProgressGuard guard(QStringLiteral("x"), &owner);
      TProgressWindowSink sink;
      sink.SetMessage(QStringLiteral("步骤"));
      sink.SetProgress(30);
      QCOMPARE(TProgressForm::Instance()->lblMessage->text(), QStringLiteral("步骤"));
      QCOMPARE(TProgressForm::Instance()->cxProgressBar1->value(), 30);
      throw std::runtime_error("boom");
    } catch (const std::runtime_error &) {
    }
    QVERIFY(!TProgressForm::IsShowing());
    QVERIFY(owner.isEnabled());
  }

  // An owner destroyed while the window shows must not leave a dangling pointer behind.
  void OwnerDestroyedWhileShown() {
    auto *owner = new QWidget;
    owner->show();
    TProgressForm::ShowProgress(QStringLiteral("x"), owner);
    delete owner;
    TProgressForm::HideProgress();
    QVERIFY(!TProgressForm::IsShowing());
  }
};

QTEST_MAIN(TProgressFrmTest)
#include "ProgressFrmTest.moc"
