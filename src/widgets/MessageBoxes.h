#pragma once
// The one place where forms ask the user something: message boxes, the input box and the file
// and folder dialogs, with a test mode in which nothing modal is shown and answers come from a queue.
//
// Test mode (SetTestMode(true), shared by TMessageBoxes, TInputBox and TFileDialogs): every call is
// recorded and answered at once, so a test drives a form without a nested event loop:
//   TMessageBoxes::SetTestMode(true);
//   TMessageBoxes::SetNextAnswer(QMessageBox::Yes);      // for the next Question
//   TFileDialogs::SetNextFileNames({"/tmp/a.xlsx"});     // for the next file dialog
//   ... drive the form ...
//   QCOMPARE(TMessageBoxes::Shown().last().Kind, TBoxKind::bkWarning);
// A queued answer is used even outside test mode (the box is then skipped); ClearAnswers drops
// whatever a test left unconsumed.

#include <QList>
#include <QMessageBox>
#include <QString>
#include <QStringList>

class QWidget;

enum class TBoxKind {
  bkInformation,
  bkWarning,
  bkError,
  bkQuestion,
  bkInput,
  bkOpenFile,
  bkOpenFiles,
  bkSaveFile,
  bkDirectory
};

// One box or dialog as it would have been shown (recorded in test mode only).
struct TShownBox {
  TBoxKind Kind = TBoxKind::bkInformation;
  QString Caption;
  QString Text;   // the message, the input prompt, or the file dialog's start folder/name
  QString Filter; // file dialogs only, as the caller passed it
  QMessageBox::StandardButton Answer = QMessageBox::NoButton; // Ok for one-button boxes
};

class TMessageBoxes {
public:
  // Modal boxes with one OK button. A null parent centres the box on the screen.
  static void Information(QWidget *AParent, const QString &AText,
                          const QString &ACaption = QStringLiteral("提示"));
  static void Warning(QWidget *AParent, const QString &AText,
                      const QString &ACaption = QStringLiteral("警告"));
  static void Error(QWidget *AParent, const QString &AText,
                    const QString &ACaption = QStringLiteral("错误"));
  // A question box; returns the button pressed, or ADefault for the Escape key when it has no
  // cancel button.
  static QMessageBox::StandardButton
  Question(QWidget *AParent, const QString &AText, const QString &ACaption,
           QMessageBox::StandardButtons AButtons = QMessageBox::Yes | QMessageBox::No,
           QMessageBox::StandardButton ADefault = QMessageBox::No);

  // Test seam. Answers are queued for Question only (boxes with one button need none).
  static void SetTestMode(bool AOn);
  static bool TestMode();
  static void SetNextAnswer(QMessageBox::StandardButton AAnswer);
  // Forgets every queued answer of the seam (questions, input texts, file names).
  static void ClearAnswers();
  // Boxes, input boxes and file dialogs recorded in test mode, oldest first.
  static const QList<TShownBox> &Shown();
  static void ClearShown();

  // Internal to the seam: records a call while test mode is on.
  static void Record(const TShownBox &ABox);
};

class TInputBox {
public:
  // Asks for one line of text starting from ADefault. Returns true and sets AText when the user
  // confirms (the text may be empty), false on cancel (AText untouched).
  static bool GetText(QWidget *AParent, const QString &ACaption, const QString &APrompt,
                      const QString &ADefault, QString &AText);

  // Test seam: the next GetText returns AText with AAccepted; without a queued answer a test-mode
  // GetText is cancelled.
  static void SetNextText(const QString &AText, bool AAccepted = true);
};

class TFileDialogs {
public:
  // AFilter may be Qt's form ("Excel 文件 (*.xlsx *.xls);;所有文件 (*.*)") or the pipe form
  // "Excel 文件|*.xlsx;*.xls|所有文件|*.*"; the pipe form is converted. An empty result means cancel.
  static QString GetOpenFileName(QWidget *AParent, const QString &ACaption,
                                 const QString &ADir = QString(), const QString &AFilter = QString());
  static QStringList GetOpenFileNames(QWidget *AParent, const QString &ACaption,
                                      const QString &ADir = QString(),
                                      const QString &AFilter = QString());
  static QString GetSaveFileName(QWidget *AParent, const QString &ACaption,
                                 const QString &ADir = QString(), const QString &AFilter = QString());
  static QString GetExistingDirectory(QWidget *AParent, const QString &ACaption,
                                      const QString &ADir = QString());

  // "文本文件|*.txt|所有文件|*.*" -> "文本文件 (*.txt);;所有文件 (*.*)"; Qt-form filters pass unchanged.
  static QString ToQtFilter(const QString &AFilter);

  // Test seam: the next dialog returns these names (the single-name dialogs take the first; an
  // empty list means cancel). Without a queued answer a test-mode dialog is cancelled.
  static void SetNextFileNames(const QStringList &ANames);
  // Same switch as TMessageBoxes::SetTestMode.
  static void SetTestMode(bool AOn) { TMessageBoxes::SetTestMode(AOn); }
};
