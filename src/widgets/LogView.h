#pragma once
// The log panel of the main window and the logger's pop-up: each logged line appears in its level's
// colour in a read-only text view, and pop-ups go through the message-box seam.

#include "core/LogImpl.h"

#include <QPlainTextEdit>

class TLogView : public QPlainTextEdit, public TLogViewSink {
  Q_OBJECT
public:
  explicit TLogView(QWidget *AParent = nullptr);

  // Appends ALine (a whole formatted log line) in TLogger::LevelColor(ALevel). The view is never
  // trimmed; it follows the new line only when it was already scrolled to the end.
  void AppendLogLine(const QString &ALine, TLogLevel ALevel) override;
  void ClearLog() override;
};

// Shows a logged message by itself (not the whole line) in a box centred on the screen: a warning
// box for llWarning, an error box for llError, an information box for the rest.
class TLogPopupBox : public TLogPopupSink {
public:
  void ShowLogPopup(const QString &AMsg, TLogLevel ALevel) override;
};
