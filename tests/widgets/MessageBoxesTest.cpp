#include "widgets/LogView.h"
#include "widgets/MessageBoxes.h"

#include <QTest>

// The seam every form test relies on: nothing modal in test mode, answers from the queues, every
// call recorded with what the user would have seen.
class TMessageBoxesTest : public QObject {
  Q_OBJECT

private slots:
  void init() {
    TMessageBoxes::SetTestMode(true);
    TMessageBoxes::ClearAnswers();
    TMessageBoxes::ClearShown();
  }
  void cleanupTestCase() { TMessageBoxes::SetTestMode(false); }

  void QuestionsTakeQueuedAnswersThenTheDefault() {
    TMessageBoxes::SetNextAnswer(QMessageBox::Yes);
    TMessageBoxes::SetNextAnswer(QMessageBox::Cancel);
    const auto buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    QCOMPARE(TMessageBoxes::Question(nullptr, "q1", "c", buttons), QMessageBox::Yes);
    QCOMPARE(TMessageBoxes::Question(nullptr, "q2", "c", buttons), QMessageBox::Cancel);
    QCOMPARE(TMessageBoxes::Question(nullptr, "q3", "c"), QMessageBox::No);
    QCOMPARE(TMessageBoxes::Question(nullptr, "q4", "c", buttons, QMessageBox::Yes), QMessageBox::Yes);

    const QList<TShownBox> &shown = TMessageBoxes::Shown();
    QCOMPARE(shown.size(), 4);
    QCOMPARE(shown[1].Kind, TBoxKind::bkQuestion);
    QCOMPARE(shown[1].Text, QStringLiteral("q2"));
    QCOMPARE(shown[1].Answer, QMessageBox::Cancel);
    QCOMPARE(shown[2].Answer, QMessageBox::No);
  }

  // A box with only OK must not eat the answer queued for the question that follows it.
  void OkBoxesAreRecordedAndLeaveTheQueueAlone() {
    TMessageBoxes::SetNextAnswer(QMessageBox::Yes);
    TMessageBoxes::Information(nullptr, "i");
    TMessageBoxes::Warning(nullptr, "w");
    TMessageBoxes::Error(nullptr, "e", "自定义");
    QCOMPARE(TMessageBoxes::Question(nullptr, "q", "c"), QMessageBox::Yes);

    const QList<TShownBox> &shown = TMessageBoxes::Shown();
    QCOMPARE(shown.size(), 4);
    const std::array<std::pair<TBoxKind, QString>, 3> expected{{{TBoxKind::bkInformation, "提示"},
                                                                 {TBoxKind::bkWarning, "警告"},
                                                                 {TBoxKind::bkError, "自定义"}}};
    for (size_t i = 0; i < expected.size(); ++i) {
      QCOMPARE(shown[i].Kind, expected[i].first);
      QCOMPARE(shown[i].Caption, expected[i].second);
    }
  }

  void InputBoxAcceptsCancelsOrIsCancelledWithoutAnswer() {
    TInputBox::SetNextText("新名字");
    TInputBox::SetNextText("ignored", false);
    QString text = "old";
    QVERIFY(TInputBox::GetText(nullptr, "重命名", "请输入新文件名:", "old", text));
    QCOMPARE(text, QStringLiteral("新名字"));
    QVERIFY(!TInputBox::GetText(nullptr, "重命名", "请输入新文件名:", "old", text));
    QVERIFY(!TInputBox::GetText(nullptr, "重命名", "请输入新文件名:", "old", text));
    QCOMPARE(text, QStringLiteral("新名字"));
    QCOMPARE(TMessageBoxes::Shown().size(), 3);
    QCOMPARE(TMessageBoxes::Shown()[0].Kind, TBoxKind::bkInput);
    QCOMPARE(TMessageBoxes::Shown()[0].Text, QStringLiteral("请输入新文件名:"));
  }

  void FileDialogsAnswerFromTheQueue() {
    TFileDialogs::SetNextFileNames({"/a.xlsx", "/b.xls"});
    TFileDialogs::SetNextFileNames({"/a.xlsx", "/b.xls"});
    TFileDialogs::SetNextFileNames({});
    TFileDialogs::SetNextFileNames({"/out"});
    const QString filter = "文本文件|*.txt|所有文件|*.*";
    QCOMPARE(TFileDialogs::GetOpenFileNames(nullptr, "c", "/d", filter), QStringList({"/a.xlsx", "/b.xls"}));
    QCOMPARE(TFileDialogs::GetOpenFileName(nullptr, "选择名称列表 txt", "/d", filter), QStringLiteral("/a.xlsx"));
    QCOMPARE(TFileDialogs::GetSaveFileName(nullptr, "c"), QString()); // queued cancel
    QCOMPARE(TFileDialogs::GetExistingDirectory(nullptr, "选择目录"), QStringLiteral("/out"));
    QCOMPARE(TFileDialogs::GetExistingDirectory(nullptr, "选择目录"), QString()); // nothing queued

    const QList<TShownBox> &shown = TMessageBoxes::Shown();
    QCOMPARE(shown.size(), 5);
    QCOMPARE(shown[1].Kind, TBoxKind::bkOpenFile);
    QCOMPARE(shown[1].Caption, QStringLiteral("选择名称列表 txt"));
    QCOMPARE(shown[1].Filter, filter);
    QCOMPARE(shown[3].Kind, TBoxKind::bkDirectory);
  }

  void PipeFiltersBecomeQtFilters_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("expected");
    QTest::newRow("two pairs") << "文本文件|*.txt|所有文件|*.*" << "文本文件 (*.txt);;所有文件 (*.*)";
    QTest::newRow("several patterns") << "Excel 文件|*.xlsx;*.xls" << "Excel 文件 (*.xlsx *.xls)";
    QTest::newRow("qt form unchanged") << "Excel (*.xlsx);;All (*)" << "Excel (*.xlsx);;All (*)";
    QTest::newRow("dangling description") << "Excel|*.xlsx|broken" << "Excel (*.xlsx)";
    QTest::newRow("empty") << "" << "";
  }
  void PipeFiltersBecomeQtFilters() {
    QFETCH(QString, filter);
    QFETCH(QString, expected);
    QCOMPARE(TFileDialogs::ToQtFilter(filter), expected);
  }

  void LogPopupShowsTheBareMessageByLevel() {
    TLogPopupBox popup;
    TLogger logger(nullptr, QString());
    logger.SetPopupSink(&popup);
    logger.SetDebugEnabled(true);
    logger.Debug("d", TLogPopup::lpYes);
    logger.Info("i", TLogPopup::lpYes);
    logger.Warning("w", TLogPopup::lpYes);
    logger.Error("e"); // errors pop up by default
    logger.Error("silent", TLogPopup::lpNo);

    const QList<TShownBox> &shown = TMessageBoxes::Shown();
    QCOMPARE(shown.size(), 4);
    const std::array<std::pair<TBoxKind, QString>, 4> expected{{{TBoxKind::bkInformation, "d"},
                                                                 {TBoxKind::bkInformation, "i"},
                                                                 {TBoxKind::bkWarning, "w"},
                                                                 {TBoxKind::bkError, "e"}}};
    for (size_t i = 0; i < expected.size(); ++i) {
      QCOMPARE(shown[i].Kind, expected[i].first);
      QCOMPARE(shown[i].Text, expected[i].second);
    }
  }
};

QTEST_MAIN(TMessageBoxesTest)
#include "MessageBoxesTest.moc"
