#pragma once
// The settings file: INI text beside the executable (or in the user's configuration folder when
// that is not writable). Every reader/writer opens the file, does its work and closes it; each
// write reaches the disk at once. Booleans are written as "1"/"0" and read as integers.

#include <QString>
#include <QStringList>
#include <QVariant>

// Full path of the program's settings file.
QString SettingsFilePath();

class TIniFile {
public:
  explicit TIniFile(const QString &APath = SettingsFilePath());

  QString ReadString(const QString &ASection, const QString &AKey, const QString &ADefault) const;
  // A value that does not parse as an integer reads as ADefault.
  int ReadInteger(const QString &ASection, const QString &AKey, int ADefault) const;
  // Read as an integer; any non-zero value is true.
  bool ReadBool(const QString &ASection, const QString &AKey, bool ADefault) const;
  bool ValueExists(const QString &ASection, const QString &AKey) const;
  QStringList ReadSection(const QString &ASection) const; // the keys of a section

  void WriteString(const QString &ASection, const QString &AKey, const QString &AValue);
  void WriteInteger(const QString &ASection, const QString &AKey, int AValue);
  void WriteBool(const QString &ASection, const QString &AKey, bool AValue);
  void EraseSection(const QString &ASection);

  const QString &FileName() const { return FPath; }

private:
  QString FPath;
};

// Reading option rows (the rules every option dialog shares).
// Text of a row value; a null value gives "".
QString RowValueToText(const QVariant &AValue);
// Null or empty is false; else the trimmed text is true when it is "True" (any case), "1" or "-1".
bool RowValueToBool(const QVariant &AValue);
