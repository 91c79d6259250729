#include "LogImpl.h"

#include <QDir>
#include <QFile>

TLogger *GLogger = nullptr;

TLogger::TLogger(TLogViewSink *AView, const QString &ALogDir) : FRichEdit(AView), FLogDir(ALogDir) {}

QString TLogger::LevelLabel(TLogLevel ALevel) {
  switch (ALevel) {
  case TLogLevel::llDebug:
    return QStringLiteral("调试");
  case TLogLevel::llInfo:
    return QStringLiteral("消息");
  case TLogLevel::llWarning:
    return QStringLiteral("警告");
  case TLogLevel::llError:
    return QStringLiteral("错误");
  }
  return QString();
}

unsigned TLogger::LevelColor(TLogLevel ALevel) {
  switch (ALevel) {
  case TLogLevel::llDebug:
    return 0x808080;
  case TLogLevel::llInfo:
    return 0x000000;
  case TLogLevel::llWarning:
    return 0xFF8000;
  case TLogLevel::llError:
    return 0xFF0000;
  }
  return 0;
}

QDateTime TLogger::Now() const { return FClock ? FClock() : QDateTime::currentDateTime(); }

QString TLogger::LogFileAt(const QDateTime &ATime) const {
  return QDir(FLogDir).filePath(ATime.toString(QStringLiteral("yyyyMMdd")) + QStringLiteral(".log"));
}

QString TLogger::LogFile() const { return LogFileAt(Now()); }

QString TLogger::FormatLineAt(const QDateTime &ATime, TLogLevel ALevel, const QString &AMsg) {
  return ATime.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + QStringLiteral(" [") + LevelLabel(ALevel) +
         QStringLiteral("] ") + AMsg;
}

QString TLogger::FormatLine(TLogLevel ALevel, const QString &AMsg) const { return FormatLineAt(Now(), ALevel, AMsg); }

void TLogger::Log(TLogLevel ALevel, const QString &AMsg, TLogPopup APopup) {
  if (!FEnabled)
    return;
  if (ALevel == TLogLevel::llDebug && !FDebugEnabled)
    return;
  // One reading of the clock for the line and its file, so that a line stamped just before
  // midnight never lands in the next day's file.
  const QDateTime now = Now();
  const QString line = FormatLineAt(now, ALevel, AMsg);
  if (FRichEdit)
    FRichEdit->AppendLogLine(line, ALevel);
  if (!FLogDir.isEmpty())
    WriteToFile(line, now);
  const bool popup = APopup == TLogPopup::lpYes || (APopup == TLogPopup::lpDefault && FPopupLevels.Contains(ALevel));
  if (popup && FPopupSink)
    FPopupSink->ShowLogPopup(AMsg, ALevel);
}

// The file is opened and closed per line, so the day's file changes at midnight by itself and
// several instances append in turn. Every failure here is swallowed on purpose.
void TLogger::WriteToFile(const QString &ALine, const QDateTime &ATime) {
  QDir dir(FLogDir);
  if (!dir.exists() && !QDir().mkpath(FLogDir))
    return;
  QFile file(LogFileAt(ATime));
  if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
    return;
  file.write((ALine + QStringLiteral("\r\n")).toUtf8());
  file.close();
}

void TLogger::Debug(const QString &AMsg, TLogPopup APopup) { Log(TLogLevel::llDebug, AMsg, APopup); }
void TLogger::Info(const QString &AMsg, TLogPopup APopup) { Log(TLogLevel::llInfo, AMsg, APopup); }
void TLogger::Warning(const QString &AMsg, TLogPopup APopup) { Log(TLogLevel::llWarning, AMsg, APopup); }
void TLogger::Error(const QString &AMsg, TLogPopup APopup) { Log(TLogLevel::llError, AMsg, APopup); }

void TLogger::ClearView() {
  if (FRichEdit)
    FRichEdit->ClearLog();
}

void LogDebug(const QString &AMsg, TLogPopup APopup) {
  if (GLogger)
    GLogger->Debug(AMsg, APopup);
}
void LogInfo(const QString &AMsg, TLogPopup APopup) {
  if (GLogger)
    GLogger->Info(AMsg, APopup);
}
void LogWarning(const QString &AMsg, TLogPopup APopup) {
  if (GLogger)
    GLogger->Warning(AMsg, APopup);
}
void LogError(const QString &AMsg, TLogPopup APopup) {
  if (GLogger)
    GLogger->Error(AMsg, APopup);
}
