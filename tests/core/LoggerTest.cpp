#include "core/LogImpl.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct TRecordingView : TLogViewSink {
  QStringList Lines;
  QList<TLogLevel> Levels;
  void AppendLogLine(const QString &ALine, TLogLevel ALevel) override {
    Lines << ALine;
    Levels << ALevel;
  }
  void ClearLog() override { Lines.clear(); }
};

struct TRecordingPopup : TLogPopupSink {
  QStringList Messages;
  void ShowLogPopup(const QString &AMsg, TLogLevel) override { Messages << AMsg; }
};

QByteArray ReadAll(const QString &APath) {
  QFile f(APath);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

TEST(Logger, PopupAndDebugRules) {
  TRecordingView view;
  TRecordingPopup popup;
  TLogger logger(&view, QString());
  logger.SetPopupSink(&popup);
  GLogger = &logger;

  LogDebug(QStringLiteral("dbg"), TLogPopup::lpYes); // debug off: nothing at all
  LogError(QStringLiteral("err"), TLogPopup::lpNo);  // red line, no box
  LogInfo(QStringLiteral("info"), TLogPopup::lpYes); // box with the bare message
  LogError(QStringLiteral("boom"));                  // default pops up errors

  EXPECT_EQ(view.Lines.size(), 3);
  EXPECT_TRUE(view.Lines[0].endsWith(QStringLiteral(" [错误] err")));
  EXPECT_EQ(view.Levels[0], TLogLevel::llError);
  EXPECT_EQ(popup.Messages, (QStringList{QStringLiteral("info"), QStringLiteral("boom")}));
  GLogger = nullptr;
  LogError(QStringLiteral("dropped")); // no logger: a no-op
  EXPECT_EQ(view.Lines.size(), 3);
}

TEST(Logger, DailyFileRollsOverAtMidnightAndUnwritableFolderKeepsView) {
  QTemporaryDir tmp;
  const QString logDir = tmp.filePath(QStringLiteral("logs/nested"));
  TRecordingView view;
  TLogger logger(&view, logDir);
  QDateTime now(QDate(2025, 3, 9), QTime(23, 59, 59));
  logger.SetClock([&] { return now; });

  logger.Info(QStringLiteral("程序启动"));
  now = now.addSecs(2);
  logger.Info(QStringLiteral("line1\nline2"));

  EXPECT_EQ(ReadAll(QDir(logDir).filePath(QStringLiteral("20250309.log"))),
            QStringLiteral("2025-03-09 23:59:59 [消息] 程序启动\r\n").toUtf8());
  EXPECT_EQ(ReadAll(QDir(logDir).filePath(QStringLiteral("20250310.log"))),
            QStringLiteral("2025-03-10 00:00:01 [消息] line1\nline2\r\n").toUtf8());

  // A folder that cannot be made (a file stands in the way) loses the file line only.
  QFile blocker(tmp.filePath(QStringLiteral("blocker")));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  logger.SetLogDir(tmp.filePath(QStringLiteral("blocker/logs")));
  logger.Warning(QStringLiteral("still shown"));
  EXPECT_TRUE(view.Lines.last().endsWith(QStringLiteral("[警告] still shown")));
}

TEST(Logger, LineStampedBeforeMidnightStaysInThatDaysFile) {
  QTemporaryDir tmp;
  TLogger logger(nullptr, tmp.path());
  // Every reading of the clock moves it on by a second, across midnight after the first.
  QDateTime now(QDate(2025, 3, 9), QTime(23, 59, 59));
  logger.SetClock([&] {
    const QDateTime t = now;
    now = now.addSecs(1);
    return t;
  });
  logger.Info(QStringLiteral("last of the day"));
  EXPECT_EQ(ReadAll(QDir(tmp.path()).filePath(QStringLiteral("20250309.log"))),
            QStringLiteral("2025-03-09 23:59:59 [消息] last of the day\r\n").toUtf8());
  EXPECT_FALSE(QFile::exists(QDir(tmp.path()).filePath(QStringLiteral("20250310.log"))));
}
