#pragma once
// The process-wide progress window: a message and a percentage bar shown while long work runs on
// the UI thread, with the window that started the work disabled meanwhile.
//
// Callers never hold the window; they bracket their work with the class-level operations, best
// through TProgressGuard so that an exception still hides the window and re-enables the owner:
//   TProgressGuard progress(QStringLiteral("正在扫描工作簿..."), this);
//   for (int i = 0; i < n; ++i) { ...; TProgressForm::SetProgress(ProgressPercent(i, n)); }
// Nested ShowProgress calls are not counted: they change the text, and the first HideProgress
// closes the window for all of them.

#include "core/ProgressSink.h"

#include <QDialog>
#include <QPointer>

class QLabel;
class QProgressBar;

class TProgressForm : public QDialog {
  Q_OBJECT
public:
  // Shows the window with AMessage, or only changes the message when it is already shown. A null
  // AOwner means the application's main window. The owner is disabled until HideProgress.
  static void ShowProgress(const QString &AMessage, QWidget *AOwner = nullptr);
  // Sets the bar (clamped to 0..100) and processes pending events once. No-op when hidden.
  static void SetProgress(int APercent);
  // Changes the message; it becomes visible with the next SetProgress or idle moment.
  static void SetMessage(const QString &AMessage);
  // Closes the window and re-enables the owner. No-op when hidden.
  static void HideProgress();
  static bool IsShowing();
  // The shown window, for tests that look at its label and bar; null when hidden.
  static TProgressForm *Instance();

  QLabel *lblMessage = nullptr;
  QProgressBar *cxProgressBar1 = nullptr;

protected:
  void closeEvent(QCloseEvent *AEvent) override;
  void keyPressEvent(QKeyEvent *AEvent) override;

public slots:
  void reject() override; // Escape and the window manager may not close it

private:
  explicit TProgressForm(QWidget *AOwner);
  static QWidget *MainWindow();

  QPointer<QWidget> FOwnerControl;
  QString FBaseMessage;
  bool FClosing = false;
};

// Binds an engine's progress reports to the progress window.
class TProgressWindowSink final : public TProgressSink {
public:
  void SetMessage(const QString &AMessage) override { TProgressForm::SetMessage(AMessage); }
  void SetProgress(int APercent) override { TProgressForm::SetProgress(APercent); }
};

// Shows the progress window for a scope and hides it when the scope is left, also by an exception.
// Like the plain calls, a guard nested in another one closes the window for both when it ends.
class TProgressGuard {
public:
  explicit TProgressGuard(const QString &AMessage, QWidget *AOwner = nullptr) {
    TProgressForm::ShowProgress(AMessage, AOwner);
  }
  ~TProgressGuard() { TProgressForm::HideProgress(); }
  TProgressGuard(const TProgressGuard &) = delete;
  TProgressGuard &operator=(const TProgressGuard &) = delete;
};
