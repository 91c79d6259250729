#include "LogView.h"

#include "MessageBoxes.h"

#include <QScrollBar>
#include <QTextCursor>

TLogView::TLogView(QWidget *AParent) : QPlainTextEdit(AParent) {
  setReadOnly(true);
  setUndoRedoEnabled(false); // an undo stack would keep a second copy of every line
  setMaximumBlockCount(0);   // never trimmed
}

void TLogView::AppendLogLine(const QString &ALine, TLogLevel ALevel) {
  QScrollBar *bar = verticalScrollBar();
  const bool atEnd = bar->value() == bar->maximum();

  // A cursor of our own leaves the user's selection alone.
  QTextCursor cursor(document());
  cursor.movePosition(QTextCursor::End);
  QTextCharFormat format;
  format.setForeground(QColor::fromRgb(TLogger::LevelColor(ALevel)));
  if (!document()->isEmpty())
    cursor.insertBlock();
  cursor.insertText(ALine, format);

  if (atEnd)
    bar->setValue(bar->maximum());
}

void TLogView::ClearLog() { clear(); }

void TLogPopupBox::ShowLogPopup(const QString &AMsg, TLogLevel ALevel) {
  switch (ALevel) {
  case TLogLevel::llWarning:
    TMessageBoxes::Warning(nullptr, AMsg);
    break;
  case TLogLevel::llError:
    TMessageBoxes::Error(nullptr, AMsg);
    break;
  case TLogLevel::llDebug:
  case TLogLevel::llInfo:
    TMessageBoxes::Information(nullptr, AMsg);
    break;
  }
}
