#include "MessageBoxes.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QQueue>

namespace {

struct TSeamState {
  bool TestMode = false;
  QList<TShownBox> Shown;
  QQueue<QMessageBox::StandardButton> Answers;
  QQueue<std::pair<QString, bool>> Texts;
  QQueue<QStringList> FileNames;
};

TSeamState &Seam() {
  static TSeamState state;
  return state;
}

void ShowBox(QMessageBox::Icon AIcon, TBoxKind AKind, QWidget *AParent, const QString &AText,
             const QString &ACaption) {
  if (Seam().TestMode) {
    TMessageBoxes::Record({AKind, ACaption, AText, QString(), QMessageBox::Ok});
    return;
  }
  QMessageBox box(AIcon, ACaption, AText, QMessageBox::Ok, AParent);
  box.exec();
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Message boxes

void TMessageBoxes::Information(QWidget *AParent, const QString &AText, const QString &ACaption) {
  ShowBox(QMessageBox::Information, TBoxKind::bkInformation, AParent, AText, ACaption);
}

void TMessageBoxes::Warning(QWidget *AParent, const QString &AText, const QString &ACaption) {
  ShowBox(QMessageBox::Warning, TBoxKind::bkWarning, AParent, AText, ACaption);
}

void TMessageBoxes::Error(QWidget *AParent, const QString &AText, const QString &ACaption) {
  ShowBox(QMessageBox::Critical, TBoxKind::bkError, AParent, AText, ACaption);
}

QMessageBox::StandardButton TMessageBoxes::Question(QWidget *AParent, const QString &AText,
                                                    const QString &ACaption,
                                                    QMessageBox::StandardButtons AButtons,
                                                    QMessageBox::StandardButton ADefault) {
  TSeamState &seam = Seam();
  QMessageBox::StandardButton answer = ADefault;
  if (!seam.Answers.isEmpty()) {
    answer = seam.Answers.dequeue();
  } else if (!seam.TestMode) {
    QMessageBox box(QMessageBox::Question, ACaption, AText, AButtons, AParent);
    box.setDefaultButton(ADefault);
    // Without a cancel-like button Escape would do nothing; let it choose the default instead.
    if (!(AButtons & (QMessageBox::Cancel | QMessageBox::No | QMessageBox::Close | QMessageBox::Abort)))
      box.setEscapeButton(ADefault);
    const int result = box.exec();
    answer = static_cast<QMessageBox::StandardButton>(result);
    if (answer == QMessageBox::NoButton)
      answer = ADefault;
  }
  Record({TBoxKind::bkQuestion, ACaption, AText, QString(), answer});
  return answer;
}

void TMessageBoxes::SetTestMode(bool AOn) { Seam().TestMode = AOn; }
bool TMessageBoxes::TestMode() { return Seam().TestMode; }
void TMessageBoxes::SetNextAnswer(QMessageBox::StandardButton AAnswer) { Seam().Answers.enqueue(AAnswer); }

void TMessageBoxes::ClearAnswers() {
  Seam().Answers.clear();
  Seam().Texts.clear();
  Seam().FileNames.clear();
}

const QList<TShownBox> &TMessageBoxes::Shown() { return Seam().Shown; }
void TMessageBoxes::ClearShown() { Seam().Shown.clear(); }

void TMessageBoxes::Record(const TShownBox &ABox) {
  if (Seam().TestMode)
    Seam().Shown.append(ABox);
}

// ---------------------------------------------------------------------------------------------
// Input box

bool TInputBox::GetText(QWidget *AParent, const QString &ACaption, const QString &APrompt,
                        const QString &ADefault, QString &AText) {
  TSeamState &seam = Seam();
  TMessageBoxes::Record({TBoxKind::bkInput, ACaption, APrompt, QString(), QMessageBox::NoButton});
  QString text;
  bool accepted = false;
  if (!seam.Texts.isEmpty()) {
    std::tie(text, accepted) = seam.Texts.dequeue();
  } else if (!seam.TestMode) {
    text = QInputDialog::getText(AParent, ACaption, APrompt, QLineEdit::Normal, ADefault, &accepted);
  }
  if (accepted)
    AText = text;
  return accepted;
}

void TInputBox::SetNextText(const QString &AText, bool AAccepted) { Seam().Texts.enqueue({AText, AAccepted}); }

// ---------------------------------------------------------------------------------------------
// File dialogs

namespace {

// Takes the queued answer, if any; AHasAnswer tells a queued (possibly empty) answer from none.
QStringList TakeFileNames(TBoxKind AKind, const QString &ACaption, const QString &ADir,
                          const QString &AFilter, bool &AHasAnswer) {
  TSeamState &seam = Seam();
  TMessageBoxes::Record({AKind, ACaption, ADir, AFilter, QMessageBox::NoButton});
  AHasAnswer = !seam.FileNames.isEmpty() || seam.TestMode;
  return seam.FileNames.isEmpty() ? QStringList() : seam.FileNames.dequeue();
}

QString First(const QStringList &ANames) { return ANames.isEmpty() ? QString() : ANames.first(); }

} // namespace

QString TFileDialogs::GetOpenFileName(QWidget *AParent, const QString &ACaption, const QString &ADir,
                                      const QString &AFilter) {
  bool answered = false;
  const QStringList names = TakeFileNames(TBoxKind::bkOpenFile, ACaption, ADir, AFilter, answered);
  if (answered)
    return First(names);
  return QFileDialog::getOpenFileName(AParent, ACaption, ADir, ToQtFilter(AFilter));
}

QStringList TFileDialogs::GetOpenFileNames(QWidget *AParent, const QString &ACaption,
                                           const QString &ADir, const QString &AFilter) {
  bool answered = false;
  const QStringList names = TakeFileNames(TBoxKind::bkOpenFiles, ACaption, ADir, AFilter, answered);
  if (answered)
    return names;
  return QFileDialog::getOpenFileNames(AParent, ACaption, ADir, ToQtFilter(AFilter));
}

QString TFileDialogs::GetSaveFileName(QWidget *AParent, const QString &ACaption, const QString &ADir,
                                      const QString &AFilter) {
  bool answered = false;
  const QStringList names = TakeFileNames(TBoxKind::bkSaveFile, ACaption, ADir, AFilter, answered);
  if (answered)
    return First(names);
  return QFileDialog::getSaveFileName(AParent, ACaption, ADir, ToQtFilter(AFilter));
}

QString TFileDialogs::GetExistingDirectory(QWidget *AParent, const QString &ACaption,
                                           const QString &ADir) {
  bool answered = false;
  const QStringList names = TakeFileNames(TBoxKind::bkDirectory, ACaption, ADir, QString(), answered);
  if (answered)
    return First(names);
  return QFileDialog::getExistingDirectory(AParent, ACaption, ADir);
}

QString TFileDialogs::ToQtFilter(const QString &AFilter) {
  if (!AFilter.contains(QLatin1Char('|')))
    return AFilter;
  const QStringList parts = AFilter.split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString patterns = parts[i + 1];
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    filters << parts[i] + QStringLiteral(" (") + patterns.simplified() + QLatin1Char(')');
  }
  return filters.join(QStringLiteral(";;"));
}

void TFileDialogs::SetNextFileNames(const QStringList &ANames) { Seam().FileNames.enqueue(ANames); }
