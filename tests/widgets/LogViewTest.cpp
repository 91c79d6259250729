#include "widgets/LogView.h"

#include <QTest>
#include <QTextBlock>

namespace {

// Colour of the text of one block (all its fragments must agree).
QColor BlockColor(const QTextBlock &ABlock) {
  QColor colour;
  for (auto it = ABlock.begin(); !it.atEnd(); ++it) {
    const QColor c = it.fragment().charFormat().foreground().color();
    if (colour.isValid() && c != colour)
      return QColor(); // mixed colours in one line
    colour = c;
  }
  return colour;
}

} // namespace

class TLogViewTest : public QObject {
  Q_OBJECT

private slots:
  // Lines arrive through the real logger, so the view shows exactly what the file gets.
  void LinesKeepTheirLevelColour() {
    TLogView view;
    TLogger logger(&view, QString());
    logger.SetDebugEnabled(true);
    logger.SetClock([] { return QDateTime(QDate(2025, 3, 9), QTime(14, 5, 7)); });

    struct TCase {
      TLogLevel Level;
      QRgb Colour;
    };
    const std::array<TCase, 4> cases{{{TLogLevel::llDebug, qRgb(128, 128, 128)},
                                      {TLogLevel::llInfo, qRgb(0, 0, 0)},
                                      {TLogLevel::llWarning, qRgb(255, 128, 0)},
                                      {TLogLevel::llError, qRgb(255, 0, 0)}}};
    for (const TCase &c : cases)
      logger.Log(c.Level, QStringLiteral("程序启动"), TLogPopup::lpNo);

    QTextDocument *doc = view.document();
    QCOMPARE(doc->blockCount(), int(cases.size()));
    QCOMPARE(doc->firstBlock().text(), QStringLiteral("2025-03-09 14:05:07 [调试] 程序启动"));
    for (size_t i = 0; i < cases.size(); ++i)
      QCOMPARE(BlockColor(doc->findBlockByNumber(int(i))).rgb(), cases[i].Colour);
  }

  // A message with a line break continues on a line of its own in the same colour; a later line
  // must not inherit the colour of the one before.
  void MultiLineMessagesAndColourChanges() {
    TLogView view;
    view.AppendLogLine(QStringLiteral("first\nsecond"), TLogLevel::llError);
    view.AppendLogLine(QStringLiteral("third"), TLogLevel::llInfo);
    QTextDocument *doc = view.document();
    QCOMPARE(doc->toPlainText(), QStringLiteral("first\nsecond\nthird"));
    QCOMPARE(BlockColor(doc->findBlockByNumber(1)).rgb(), qRgb(255, 0, 0));
    QCOMPARE(BlockColor(doc->findBlockByNumber(2)).rgb(), qRgb(0, 0, 0));
  }

  // Appending must not move the user's caret or selection (they may be copying a line).
  void AppendingKeepsTheUsersSelection() {
    TLogView view;
    view.AppendLogLine(QStringLiteral("abc"), TLogLevel::llInfo);
    QTextCursor sel = view.textCursor();
    sel.setPosition(0);
    sel.setPosition(2, QTextCursor::KeepAnchor);
    view.setTextCursor(sel);
    view.AppendLogLine(QStringLiteral("def"), TLogLevel::llWarning);
    QCOMPARE(view.textCursor().selectedText(), QStringLiteral("ab"));
    QVERIFY(view.isReadOnly());

    view.ClearLog();
    QVERIFY(view.document()->isEmpty());
    view.AppendLogLine(QStringLiteral("again"), TLogLevel::llInfo);
    QCOMPARE(view.document()->blockCount(), 1);
  }
};

QTEST_MAIN(TLogViewTest)
#include "LogViewTest.moc"
