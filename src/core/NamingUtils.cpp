#include "NamingUtils.h"

#include "LogImpl.h"
#include "TextCodec.h"
#include "TextUtils.h"

#include <QFileInfo>

namespace {

constexpr int KMaxFileBase = 120;
constexpr int KMaxSheetName = 31;
constexpr int KMaxParenTries = 100000;
constexpr int KMaxTries = 10000;

const QString KIllegalFileChars = QStringLiteral("\\/:*?\"<>|");
const QString KIllegalSheetChars = QStringLiteral("\\/?*[]:");
const QString KIllegalMergeSheetChars = QStringLiteral("[]:*?");

bool IsPathSeparator(QChar AChar) { return AChar == u'/' || AChar == u'\\'; }

qsizetype FileNameStart(const QString &APath) {
  for (qsizetype i = APath.size(); i > 0; --i)
    if (IsPathSeparator(APath.at(i - 1)))
      return i;
  return 0;
}

// The first ACount code units of AText, one fewer when the cut would split a surrogate pair: half
// a character would make a name no file system or workbook accepts.
QString LeftUnits(const QString &AText, qsizetype ACount) {
  if (ACount <= 0)
    return QString();
  if (ACount >= AText.size())
    return AText;
  if (AText.at(ACount - 1).isHighSurrogate() && AText.at(ACount).isLowSurrogate())
    --ACount;
  return AText.left(ACount);
}

QString ReplaceChars(QString AText, const QString &AChars, QChar AWith) {
  for (QChar &c : AText)
    if (AChars.contains(c))
      c = AWith;
  return AText;
}

QString DeleteChars(const QString &AText, const QString &AChars) {
  QString result;
  result.reserve(AText.size());
  for (QChar c : AText)
    if (!AChars.contains(c))
      result.append(c);
  return result;
}

QString StripLeading(const QString &AText, QChar AChar) {
  qsizetype i = 0;
  while (i < AText.size() && AText.at(i) == AChar)
    ++i;
  return AText.mid(i);
}

QString StripTrailing(const QString &AText, QChar AChar) {
  qsizetype n = AText.size();
  while (n > 0 && AText.at(n - 1) == AChar)
    --n;
  return AText.left(n);
}

bool IsReservedDeviceName(const QString &AText) {
  // Device names are ASCII; a Unicode upper-casing could turn other letters into them.
  QString upper = AText;
  for (QChar &c : upper)
    if (c >= u'a' && c <= u'z')
      c = QChar(c.unicode() - 32);
  if (upper == u"CON" || upper == u"PRN" || upper == u"AUX" || upper == u"NUL")
    return true;
  return upper.size() == 4 && (upper.startsWith(u"COM") || upper.startsWith(u"LPT")) && upper.at(3) >= u'1' &&
         upper.at(3) <= u'9';
}

bool PathIsTaken(const QString &APath) {
  const QFileInfo info(APath);
  return info.exists() || info.isSymLink(); // a dangling link still blocks the name
}

bool IsHistory(const QString &AName) { return SameText(AName, QStringLiteral("History")); }

QString SanitizeMergeSheetName(const QString &AName) {
  QString s = ReplaceChars(TrimText(AName), KIllegalMergeSheetChars, u'_');
  s = LeftUnits(s, KMaxSheetName);
  return s.isEmpty() ? QStringLiteral("Sheet") : s;
}

QString SanitizeAddSheetName(const QString &AName) {
  QString s = ReplaceChars(AName, KIllegalSheetChars, u'_');
  s = StripTrailing(StripLeading(s, u'\''), u'\'');
  s = LeftUnits(TrimText(s), KMaxSheetName);
  s = StripTrailing(TrimText(s), u'\'');
  if (IsHistory(s))
    s.prepend(u'_');
  return s;
}

QString SanitizeSplitSheetName(const QString &AName) {
  QString s = AName;
  if (IsHistory(s))
    s.prepend(u'_');
  s = ReplaceChars(s, KIllegalSheetChars, u'_');
  s = StripTrailing(StripLeading(s, u'\''), u'\'');
  s = LeftUnits(s, KMaxSheetName);
  return s.isEmpty() ? QStringLiteral("Sheet") : s;
}

QString NowText(const TNameClock &AClock, const QString &AFormat) {
  return (AClock ? AClock() : QDateTime::currentDateTime()).toString(AFormat);
}

void ReplaceDateTime(QString &AText, const TNameClock &AClock) {
  if (AText.contains(u"{date}"))
    AText.replace(QStringLiteral("{date}"), NowText(AClock, QStringLiteral("yyyyMMdd")));
  if (AText.contains(u"{time}"))
    AText.replace(QStringLiteral("{time}"), NowText(AClock, QStringLiteral("HHmmss")));
}

QString ExpandCommon(const QString &ATemplate, const QString &ABookPath, const QString &ASheetName,
                     const QString &AIndexText) {
  QString s = ATemplate;
  s.replace(QStringLiteral("{book}"), ExtractFileBaseName(ABookPath));
  s.replace(QStringLiteral("{sheet}"), ASheetName);
  s.replace(QStringLiteral("{index}"), AIndexText);
  return s;
}

TTextDecoding DecodingOf(TNameListEncoding AEncoding) {
  switch (AEncoding) {
  case TNameListEncoding::Utf8:
    return TTextDecoding::tdUtf8;
  case TNameListEncoding::Gbk:
    return TTextDecoding::tdGbk;
  case TNameListEncoding::Auto:
    break;
  }
  return TTextDecoding::tdAuto;
}

} // namespace

// ---- path pieces ----

QString ExtractFileName(const QString &APath) { return APath.mid(FileNameStart(APath)); }

QString ExtractFileExt(const QString &APath) {
  const qsizetype start = FileNameStart(APath);
  const qsizetype dot = APath.lastIndexOf(u'.');
  return dot >= start ? APath.mid(dot) : QString();
}

QString ExtractFileBaseName(const QString &APath) {
  const QString name = ExtractFileName(APath);
  return name.left(name.size() - ExtractFileExt(name).size());
}

// ---- file names ----

QString SanitizeFileName(const QString &AName) {
  QString s = ReplaceChars(TrimText(AName), KIllegalFileChars, u'_');
  while (!s.isEmpty() && (s.back() == u' ' || s.back() == u'.'))
    s.chop(1);
  s = LeftUnits(s, KMaxFileBase);
  if (IsReservedDeviceName(s))
    s.prepend(u'_');
  return s.isEmpty() ? QStringLiteral("Sheet") : s;
}

QString StripFileName(const QString &AName) {
  const QString s = TrimText(DeleteChars(AName, KIllegalFileChars));
  return s.isEmpty() ? QStringLiteral("Sheet") : s;
}

bool IsValidFileName(const QString &AName) {
  if (AName.isEmpty())
    return false;
  if (TrimText(AName.left(AName.size() - ExtractFileExt(AName).size())).isEmpty())
    return false;
  for (QChar c : AName)
    if (KIllegalFileChars.contains(c))
      return false;
  return true;
}

// ---- sheet names ----

QString SanitizeSheetName(const QString &AName, TSheetNameForm AForm) {
  switch (AForm) {
  case TSheetNameForm::snfMerge:
    return SanitizeMergeSheetName(AName);
  case TSheetNameForm::snfAdd:
    return SanitizeAddSheetName(AName);
  case TSheetNameForm::snfSplit:
    return SanitizeSplitSheetName(AName);
  }
  return AName;
}

// ---- unique names ----

QString MakeUniqueFileName(const QString &APath, const QStringList &APlanned, TUniqueSuffix AForm) {
  const qsizetype nameStart = FileNameStart(APath);
  const QString dir = APath.left(nameStart);
  const QString ext = ExtractFileExt(APath);
  const QString base = APath.mid(nameStart, APath.size() - nameStart - ext.size());
  const TCaseInsensitiveSet planned(APlanned);
  const auto isFree = [&](const QString &ACandidate) {
    return !planned.Contains(ACandidate) && !PathIsTaken(ACandidate);
  };

  if (AForm == TUniqueSuffix::usParen) {
    for (int n = 1; n <= KMaxParenTries; ++n) {
      const QString candidate = dir + base + u'(' + QString::number(n) + u')' + ext;
      if (isFree(candidate))
        return candidate;
    }
    return APath;
  }

  QString candidate = APath;
  for (int n = 1; n <= KMaxTries; ++n) {
    if (isFree(candidate))
      return candidate;
    const QString suffix = u'_' + QString::number(n);
    if (base.size() + suffix.size() <= KMaxFileBase)
      candidate = dir + base + suffix + ext;
    else
      candidate = dir + LeftUnits(base, KMaxFileBase - suffix.size()) + suffix + ext;
  }
  return candidate;
}

QString MakeUniqueSheetName(const QString &AName, const QStringList *AExisting, const QStringList *ATaken,
                            TUniqueSuffix AForm) {
  TCaseInsensitiveSet used;
  if (AExisting)
    for (const QString &s : *AExisting)
      used.Insert(s);
  if (ATaken)
    for (const QString &s : *ATaken)
      used.Insert(s);

  if (AForm == TUniqueSuffix::usParen) {
    if (!used.Contains(AName))
      return AName;
    for (int n = 1; n <= KMaxTries; ++n) {
      const QString suffix = u'(' + QString::number(n) + u')';
      const QString candidate = AName.size() + suffix.size() < KMaxSheetName + 1
                                    ? AName + suffix
                                    : LeftUnits(AName, qMax<qsizetype>(1, KMaxSheetName - suffix.size())) + suffix;
      if (!used.Contains(candidate))
        return candidate;
    }
    return AName;
  }

  QString candidate = AName;
  for (int n = 1; n <= KMaxTries; ++n) {
    if (!used.Contains(candidate))
      return candidate;
    const QString suffix = u'_' + QString::number(n);
    candidate = LeftUnits(AName, KMaxSheetName - suffix.size()) + suffix;
  }
  return candidate;
}

QString MakeUniqueSheetName(const QString &AName, const QStringList &AExisting, const QStringList &ATaken,
                            TUniqueSuffix AForm) {
  return MakeUniqueSheetName(AName, &AExisting, &ATaken, AForm);
}

// ---- numbers and templates ----

QString FormatSeqNumber(int ANumber, int AWidth) {
  if (AWidth <= 0)
    return QString::number(ANumber);
  return QString::asprintf("%.*d", AWidth, ANumber);
}

QString ExpandNameTemplate(const QString &ATemplate, const QString &ABookPath, const QString &ASheetName,
                           const QString &AIndexText, const TNameClock &AClock) {
  QString s = ExpandCommon(ATemplate, ABookPath, ASheetName, AIndexText);
  ReplaceDateTime(s, AClock);
  return s;
}

QString ExpandNameTemplate(const QString &ATemplate, const QString &ABookPath, const QString &ASheetName,
                           const QString &AIndexText, const QString &AGroupValue, int ARowCount, int AColCount,
                           const TNameClock &AClock) {
  QString s = ExpandCommon(ATemplate, ABookPath, ASheetName, AIndexText);
  s.replace(QStringLiteral("{value}"), AGroupValue);
  s.replace(QStringLiteral("{rows}"), QString::number(ARowCount));
  s.replace(QStringLiteral("{cols}"), QString::number(AColCount));
  ReplaceDateTime(s, AClock);
  return s;
}

// ---- name lists ----

QStringList SplitNameList(const QString &AText, bool ATrim, bool ADedup) {
  QString text = AText;
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  for (const QChar sep : {QChar(u'\r'), QChar(u';'), QChar(u','), QChar(u'|'), QChar(u'；'), QChar(u'，'), QChar(u'、')})
    text.replace(sep, u'\n');
  QStringList names;
  for (const QString &piece : text.split(u'\n')) {
    const QString trimmed = TrimText(piece);
    if (!trimmed.isEmpty())
      names.append(ATrim ? trimmed : piece);
  }
  if (ADedup)
    DedupNames(names);
  return names;
}

QStringList LoadNameListFile(const QString &APath, TNameListEncoding AEncoding, bool ATrimLines,
                             bool ADropBlankLines, bool ADedup, bool AAppendXlsx) {
  if (APath.isEmpty() || !QFileInfo(APath).isFile())
    return {};
  TDecodedText decoded;
  QString error;
  if (!ReadTextFile(APath, DecodingOf(AEncoding), decoded, &error)) {
    LogError(QStringLiteral("读取名称列表失败: ") + error);
    return {};
  }
  QStringList names;
  for (QString line : SplitTextLines(decoded.Text)) {
    if (ATrimLines)
      line = TrimText(line);
    if (line.isEmpty() || (ADropBlankLines && TrimText(line).isEmpty()))
      continue;
    if (AAppendXlsx && ExtractFileExt(line).isEmpty())
      line += QStringLiteral(".xlsx");
    names.append(line);
  }
  if (ADedup)
    DedupNames(names);
  return names;
}

void DedupNames(QStringList &ANames) {
  TCaseInsensitiveSet seen;
  QStringList kept;
  kept.reserve(ANames.size());
  for (const QString &name : std::as_const(ANames))
    if (seen.InsertNew(name))
      kept.append(name);
  ANames = kept;
}

QStringList NameListEncodingItems() {
  return {QStringLiteral("自动(BOM识别)"), QStringLiteral("UTF-8"), QStringLiteral("ANSI(GBK)")};
}

TNameListEncoding NameListEncodingFromText(const QString &AText) {
  const QString text = TrimText(AText);
  if (SameText(text, QStringLiteral("UTF-8")))
    return TNameListEncoding::Utf8;
  if (SameText(text, QStringLiteral("ANSI(GBK)")))
    return TNameListEncoding::Gbk;
  return TNameListEncoding::Auto;
}
