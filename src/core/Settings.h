#pragma once
// The settings file: INI text beside the executable (or in the user's configuration folder when
// that is not writable). Every reader/writer opens the file, does its work and closes it; each
// write reaches the disk at once. Booleans are written as "1"/"0" and read as integers.
//
// Files written on Chinese Windows are in the ANSI code page (GBK); they are recognised (no
// byte-order mark and not valid UTF-8) and rewritten in the encoding they came in as long as every
// character fits it. New files are UTF-8. Section and key names compare without regard to case;
// a missing file, section or key, or an unwritable file, never raises.

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
  QStringList ReadSections() const;                       // the section names, in file order
  bool SectionExists(const QString &ASection) const;

  void WriteString(const QString &ASection, const QString &AKey, const QString &AValue);
  void WriteInteger(const QString &ASection, const QString &AKey, int AValue);
  void WriteBool(const QString &ASection, const QString &AKey, bool AValue);
  void EraseSection(const QString &ASection);
  void DeleteKey(const QString &ASection, const QString &AKey);

  const QString &FileName() const { return FPath; }

private:
  QString FPath;
};

// Reading option rows (the rules every option dialog shares).
// Text of a row value; a null value gives "".
QString RowValueToText(const QVariant &AValue);
// Null or empty is false; else the trimmed text is true when it is "True" (any case), "1" or "-1".
bool RowValueToBool(const QVariant &AValue);
// A combo-box row: the index of the item equal (without regard to case) to the row's trimmed text,
// or ADefault when none is.
int RowValueToComboIndex(const QVariant &AValue, const QStringList &AItems, int ADefault = -1);
