#pragma once
// The one logger of the program: every message becomes a timestamped line in the log view, the
// daily log file and, for chosen levels, a pop-up box. The view and the pop-up are sinks the UI
// provides, so this layer needs no widgets.

#include <QDateTime>
#include <QString>
#include <functional>

enum class TLogLevel { llDebug, llInfo, llWarning, llError };
enum class TLogPopup { lpDefault, lpYes, lpNo };

// A small set of levels.
class TLogLevels {
public:
  TLogLevels() = default;
  TLogLevels(std::initializer_list<TLogLevel> ALevels) {
    for (TLogLevel l : ALevels)
      Include(l);
  }
  void Include(TLogLevel ALevel) { FBits |= Bit(ALevel); }
  void Exclude(TLogLevel ALevel) { FBits &= ~Bit(ALevel); }
  bool Contains(TLogLevel ALevel) const { return (FBits & Bit(ALevel)) != 0; }
  bool operator==(const TLogLevels &) const = default;

private:
  static unsigned Bit(TLogLevel ALevel) { return 1u << static_cast<unsigned>(ALevel); }
  unsigned FBits = 0;
};

// Where the log view lives; the UI's coloured log widget implements it.
class TLogViewSink {
public:
  virtual ~TLogViewSink() = default;
  virtual void AppendLogLine(const QString &ALine, TLogLevel ALevel) = 0;
  virtual void ClearLog() = 0;
};

// Shows a message box for a logged message; the UI implements it with its message-box seam.
class TLogPopupSink {
public:
  virtual ~TLogPopupSink() = default;
  virtual void ShowLogPopup(const QString &AMsg, TLogLevel ALevel) = 0;
};

class TLogger {
public:
  using TClock = std::function<QDateTime()>;

  // AView may be null (no view); an empty ALogDir writes no file.
  TLogger(TLogViewSink *AView, const QString &ALogDir);

  void Log(TLogLevel ALevel, const QString &AMsg, TLogPopup APopup = TLogPopup::lpDefault);
  void Debug(const QString &AMsg, TLogPopup APopup = TLogPopup::lpDefault);
  void Info(const QString &AMsg, TLogPopup APopup = TLogPopup::lpDefault);
  void Warning(const QString &AMsg, TLogPopup APopup = TLogPopup::lpDefault);
  void Error(const QString &AMsg, TLogPopup APopup = TLogPopup::lpDefault);
  void ClearView();

  TLogViewSink *RichEdit() const { return FRichEdit; }
  void SetRichEdit(TLogViewSink *AView) { FRichEdit = AView; }
  TLogPopupSink *PopupSink() const { return FPopupSink; }
  void SetPopupSink(TLogPopupSink *ASink) { FPopupSink = ASink; }
  QString LogDir() const { return FLogDir; }
  void SetLogDir(const QString &ADir) { FLogDir = ADir; }
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool AValue) { FEnabled = AValue; }
  bool DebugEnabled() const { return FDebugEnabled; }
  void SetDebugEnabled(bool AValue) { FDebugEnabled = AValue; }
  TLogLevels PopupLevels() const { return FPopupLevels; }
  void SetPopupLevels(TLogLevels ALevels) { FPopupLevels = ALevels; }
  // Full path of today's file ("yyyyMMdd.log" in the log folder).
  QString LogFile() const;

  // Tests set a clock to cross midnight; the default reads local time.
  void SetClock(TClock AClock) { FClock = std::move(AClock); }

  static QString LevelLabel(TLogLevel ALevel);
  // Colour of a level's line as 0xRRGGBB.
  static unsigned LevelColor(TLogLevel ALevel);
  QString FormatLine(TLogLevel ALevel, const QString &AMsg) const;

private:
  QDateTime Now() const;
  static QString FormatLineAt(const QDateTime &ATime, TLogLevel ALevel, const QString &AMsg);
  QString LogFileAt(const QDateTime &ATime) const;
  void WriteToFile(const QString &ALine, const QDateTime &ATime);

  TLogViewSink *FRichEdit = nullptr;
  TLogPopupSink *FPopupSink = nullptr;
  QString FLogDir;
  bool FEnabled = true;
  bool FDebugEnabled = false;
  TLogLevels FPopupLevels{TLogLevel::llError};
  TClock FClock;
};

// The process-wide logger; null before the main window creates it and after it is freed.
extern TLogger *GLogger;

// Wrappers that drop the message when no logger exists.
void LogDebug(const QString &AMsg, TLogPopup APopup = TLogPopup::lpDefault);
void LogInfo(const QString &AMsg, TLogPopup APopup = TLogPopup::lpDefault);
void LogWarning(const QString &AMsg, TLogPopup APopup = TLogPopup::lpDefault);
void LogError(const QString &AMsg, TLogPopup APopup = TLogPopup::lpDefault);
