#include "Settings.h"

#include "TextCodec.h"
#include "TextUtils.h"
#include "platform/AppPaths.h"

#include <QFileInfo>

QString SettingsFilePath() { return AppPaths::SettingsFile(); }

namespace {

// The file as lines, kept verbatim so that comments, unknown lines and the order of keys survive
// a rewrite of one value.
struct TIniDocument {
  QStringList Lines;
  TTextEncoding Encoding = TTextEncoding::teUtf8;
  QString LineBreak;

  // Header line of a section and the end (exclusive) of its body; Header is -1 when absent.
  struct TSectionRange {
    qsizetype Header = -1;
    qsizetype End = -1;
  };

  static TIniDocument Load(const QString &APath);
  void Save(const QString &APath) const;
  TSectionRange FindSection(const QString &ASection) const;
  qsizetype FindKey(const TSectionRange &ARange, const QString &AKey, QString *AValue = nullptr) const;
};

QString NativeLineBreak() {
#ifdef Q_OS_WIN
  return QStringLiteral("\r\n");
#else
  return QStringLiteral("\n");
#endif
}

// "[name]" with blanks allowed around; the name is what stands between the brackets, trimmed.
bool ParseSectionHeader(const QString &ALine, QString *AName) {
  const QString t = TrimText(ALine);
  if (!t.startsWith(u'['))
    return false;
  const qsizetype close = t.indexOf(u']');
  if (close < 0)
    return false;
  if (AName)
    *AName = TrimText(t.mid(1, close - 1));
  return true;
}

// "key=value"; lines starting with ";" are comments. The value is returned raw.
bool ParseKeyLine(const QString &ALine, QString *AKey, QString *ARawValue) {
  const qsizetype eq = ALine.indexOf(u'=');
  if (eq < 0)
    return false;
  const QString key = TrimText(ALine.left(eq));
  if (key.isEmpty() || key.startsWith(u';'))
    return false;
  *AKey = key;
  if (ARawValue)
    *ARawValue = ALine.mid(eq + 1);
  return true;
}

bool IsQuoted(const QString &AText) {
  return AText.size() >= 2 && (AText.front() == u'"' || AText.front() == u'\'') && AText.back() == AText.front();
}

// As the Windows profile functions read it: blanks around the value dropped, and one pair of
// matching quotes around it removed.
QString UnquoteValue(const QString &ARaw) {
  const QString t = TrimText(ARaw);
  return IsQuoted(t) ? t.mid(1, t.size() - 2) : t;
}

// The inverse: a value that would lose its outer blanks or quotes on reading is written quoted.
// A value cannot span lines, so line breaks become blanks.
QString QuoteValue(const QString &AValue) {
  QString v = AValue;
  v.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
  v.replace(u'\r', u' ');
  v.replace(u'\n', u' ');
  if (TrimText(v) != v || IsQuoted(v))
    return u'"' + v + u'"';
  return v;
}

TIniDocument TIniDocument::Load(const QString &APath) {
  TIniDocument doc;
  TDecodedText decoded;
  if (!QFileInfo(APath).isFile() || !ReadTextFile(APath, TTextDecoding::tdAuto, decoded)) {
    doc.LineBreak = NativeLineBreak();
    return doc;
  }
  doc.Encoding = decoded.Encoding;
  doc.Lines = SplitTextLines(decoded.Text);
  if (decoded.Text.contains(QStringLiteral("\r\n")))
    doc.LineBreak = QStringLiteral("\r\n");
  else if (decoded.Text.contains(u'\n'))
    doc.LineBreak = QStringLiteral("\n");
  else
    doc.LineBreak = NativeLineBreak();
  return doc;
}

void TIniDocument::Save(const QString &APath) const {
  QString text = Lines.join(LineBreak);
  if (!Lines.isEmpty())
    text += LineBreak;
  TTextEncoding encoding = Encoding;
  // A legacy file stays legacy, so the program on Windows still reads it, unless a value would
  // lose characters there.
  if (encoding == TTextEncoding::teGbk && !CanEncodeGbk(text))
    encoding = TTextEncoding::teUtf8;
  // A settings file that cannot be written loses the settings silently, as documented.
  WriteTextFile(APath, text, encoding);
}

TIniDocument::TSectionRange TIniDocument::FindSection(const QString &ASection) const {
  TSectionRange range;
  QString name;
  for (qsizetype i = 0; i < Lines.size(); ++i) {
    if (!ParseSectionHeader(Lines.at(i), &name))
      continue;
    if (range.Header >= 0) {
      range.End = i;
      return range;
    }
    if (SameText(name, ASection))
      range.Header = i;
  }
  if (range.Header >= 0)
    range.End = Lines.size();
  return range;
}

qsizetype TIniDocument::FindKey(const TSectionRange &ARange, const QString &AKey, QString *AValue) const {
  if (ARange.Header < 0)
    return -1;
  QString key;
  for (qsizetype i = ARange.Header + 1; i < ARange.End; ++i) {
    if (ParseKeyLine(Lines.at(i), &key, AValue) && SameText(key, AKey))
      return i;
  }
  return -1;
}

} // namespace

TIniFile::TIniFile(const QString &APath) : FPath(APath) {}

QString TIniFile::ReadString(const QString &ASection, const QString &AKey, const QString &ADefault) const {
  const TIniDocument doc = TIniDocument::Load(FPath);
  QString raw;
  if (doc.FindKey(doc.FindSection(ASection), AKey, &raw) < 0)
    return ADefault;
  return UnquoteValue(raw);
}

int TIniFile::ReadInteger(const QString &ASection, const QString &AKey, int ADefault) const {
  const QString text = ReadString(ASection, AKey, QString());
  bool ok = false;
  const int value = text.toInt(&ok, 10);
  return ok ? value : ADefault;
}

bool TIniFile::ReadBool(const QString &ASection, const QString &AKey, bool ADefault) const {
  return ReadInteger(ASection, AKey, ADefault ? 1 : 0) != 0;
}

bool TIniFile::ValueExists(const QString &ASection, const QString &AKey) const {
  const TIniDocument doc = TIniDocument::Load(FPath);
  return doc.FindKey(doc.FindSection(ASection), AKey) >= 0;
}

QStringList TIniFile::ReadSection(const QString &ASection) const {
  const TIniDocument doc = TIniDocument::Load(FPath);
  const TIniDocument::TSectionRange range = doc.FindSection(ASection);
  QStringList keys;
  if (range.Header < 0)
    return keys;
  TCaseInsensitiveSet seen;
  QString key;
  for (qsizetype i = range.Header + 1; i < range.End; ++i)
    if (ParseKeyLine(doc.Lines.at(i), &key, nullptr) && seen.InsertNew(key))
      keys << key;
  return keys;
}

QStringList TIniFile::ReadSections() const {
  const TIniDocument doc = TIniDocument::Load(FPath);
  QStringList names;
  TCaseInsensitiveSet seen;
  QString name;
  for (const QString &line : doc.Lines)
    if (ParseSectionHeader(line, &name) && seen.InsertNew(name))
      names << name;
  return names;
}

bool TIniFile::SectionExists(const QString &ASection) const {
  return TIniDocument::Load(FPath).FindSection(ASection).Header >= 0;
}

void TIniFile::WriteString(const QString &ASection, const QString &AKey, const QString &AValue) {
  TIniDocument doc = TIniDocument::Load(FPath);
  const QString line = AKey + u'=' + QuoteValue(AValue);
  const TIniDocument::TSectionRange range = doc.FindSection(ASection);
  if (range.Header < 0) {
    if (!doc.Lines.isEmpty() && !TrimText(doc.Lines.last()).isEmpty())
      doc.Lines << QString();
    doc.Lines << u'[' + ASection + u']' << line;
  } else if (const qsizetype at = doc.FindKey(range, AKey); at >= 0) {
    // The file already says exactly this: nothing to write (dialogs store their whole layout on
    // every close, mostly unchanged, and each rewrite waits for the disk).
    if (doc.Lines.at(at) == line)
      return;
    doc.Lines[at] = line;
  } else {
    // After the section's last non-blank line, so a blank separator line stays a separator.
    qsizetype insertAt = range.End;
    while (insertAt > range.Header + 1 && TrimText(doc.Lines.at(insertAt - 1)).isEmpty())
      --insertAt;
    doc.Lines.insert(insertAt, line);
  }
  doc.Save(FPath);
}

void TIniFile::WriteInteger(const QString &ASection, const QString &AKey, int AValue) {
  WriteString(ASection, AKey, QString::number(AValue));
}

void TIniFile::WriteBool(const QString &ASection, const QString &AKey, bool AValue) {
  WriteString(ASection, AKey, AValue ? QStringLiteral("1") : QStringLiteral("0"));
}

void TIniFile::EraseSection(const QString &ASection) {
  TIniDocument doc = TIniDocument::Load(FPath);
  const TIniDocument::TSectionRange range = doc.FindSection(ASection);
  if (range.Header < 0)
    return;
  doc.Lines.remove(range.Header, range.End - range.Header);
  doc.Save(FPath);
}

void TIniFile::DeleteKey(const QString &ASection, const QString &AKey) {
  TIniDocument doc = TIniDocument::Load(FPath);
  const qsizetype at = doc.FindKey(doc.FindSection(ASection), AKey);
  if (at < 0)
    return;
  doc.Lines.removeAt(at);
  doc.Save(FPath);
}

QString RowValueToText(const QVariant &AValue) {
  if (AValue.isNull() || !AValue.isValid())
    return QString();
  return AValue.toString();
}

bool RowValueToBool(const QVariant &AValue) {
  const QString text = TrimText(RowValueToText(AValue));
  if (text.isEmpty())
    return false;
  return SameText(text, QStringLiteral("True")) || text == u"1" || text == u"-1";
}

int RowValueToComboIndex(const QVariant &AValue, const QStringList &AItems, int ADefault) {
  const qsizetype index = IndexOfText(AItems, TrimText(RowValueToText(AValue)));
  return index >= 0 ? int(index) : ADefault;
}
