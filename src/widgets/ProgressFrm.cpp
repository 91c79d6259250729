#include "ProgressFrm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <QScreen>
#include <QWindow>

namespace {
TProgressForm *GProgressForm = nullptr;
}

// The window has no Qt parent on purpose: disabling a widget disables its child windows too, so a
// child of the owner would turn grey with it. It stays above the owner as a transient window.
TProgressForm::TProgressForm(QWidget *AOwner)
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), FOwnerControl(AOwner) {
  setObjectName(QStringLiteral("ProgressForm"));
  setWindowTitle(QStringLiteral("正在处理"));
  setAttribute(Qt::WA_DeleteOnClose, false);
  setFixedSize(428, 105);

  lblMessage = new QLabel(this);
  lblMessage->setObjectName(QStringLiteral("lblMessage"));
  lblMessage->setGeometry(16, 10, 393, 49);
  lblMessage->setWordWrap(true);
  lblMessage->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  cxProgressBar1 = new QProgressBar(this);
  cxProgressBar1->setObjectName(QStringLiteral("cxProgressBar1"));
  cxProgressBar1->setGeometry(13, 68, 401, 21);
  cxProgressBar1->setRange(0, 100);
  cxProgressBar1->setValue(0);
  cxProgressBar1->setTextVisible(true);
  cxProgressBar1->setFormat(QStringLiteral("%p%"));
}

QWidget *TProgressForm::MainWindow() {
  QWidget *fallback = nullptr;
  for (QWidget *w : QApplication::topLevelWidgets()) {
    if (!qobject_cast<QMainWindow *>(w))
      continue;
    if (w->isVisible())
      return w;
    if (!fallback)
      fallback = w;
  }
  return fallback ? fallback : QApplication::activeWindow();
}

void TProgressForm::ShowProgress(const QString &AMessage, QWidget *AOwner) {
  if (GProgressForm) {
    SetMessage(AMessage);
    return;
  }
  QWidget *owner = AOwner ? AOwner : MainWindow();
  auto *form = new TProgressForm(owner);
  GProgressForm = form;
  form->FBaseMessage = AMessage;
  form->lblMessage->setText(AMessage);

  if (owner) {
    owner->setEnabled(false);
    const QWidget *top = owner->window();
    form->move(top->frameGeometry().center() - form->rect().center());
    form->winId(); // creates the native window so it can be made transient
    if (top->windowHandle())
      form->windowHandle()->setTransientParent(top->windowHandle());
  } else if (const QScreen *screen = QGuiApplication::primaryScreen()) {
    form->move(screen->availableGeometry().center() - form->rect().center());
  }
  form->show();
  form->repaint();
  // Let the window system map and paint it before the caller's work blocks the loop; user input
  // waits, so nothing can re-enter the caller here.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TProgressForm::SetProgress(int APercent) {
  if (!GProgressForm)
    return;
  GProgressForm->cxProgressBar1->setValue(std::clamp(APercent, 0, 100));
  QCoreApplication::processEvents();
}

void TProgressForm::SetMessage(const QString &AMessage) {
  if (!GProgressForm)
    return;
  GProgressForm->FBaseMessage = AMessage;
  GProgressForm->lblMessage->setText(AMessage);
}

void TProgressForm::HideProgress() {
  TProgressForm *form = GProgressForm;
  if (!form)
    return;
  if (form->FOwnerControl)
    form->FOwnerControl->setEnabled(true);
  GProgressForm = nullptr;
  form->FClosing = true;
  form->hide();
  delete form;
}

bool TProgressForm::IsShowing() { return GProgressForm != nullptr; }

TProgressForm *TProgressForm::Instance() { return GProgressForm; }

void TProgressForm::closeEvent(QCloseEvent *AEvent) {
  if (FClosing)
    QDialog::closeEvent(AEvent);
  else
    AEvent->ignore();
}

void TProgressForm::keyPressEvent(QKeyEvent *AEvent) {
  if (AEvent->key() == Qt::Key_Escape) {
    AEvent->accept();
    return;
  }
  QDialog::keyPressEvent(AEvent);
}

void TProgressForm::reject() {
  if (FClosing)
    QDialog::reject();
}
