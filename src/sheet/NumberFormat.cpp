// Number-format engine: parses Excel format codes once, caches them and renders values the way a
// cell in a standard-width column shows them.

#include "sheet/NumberFormat.h"

#include <QHash>

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// ------------------------------------------------------------------------------------------------
// Decimal representation
// ------------------------------------------------------------------------------------------------

// A non-negative number as at most 15 significant decimal digits, which is all Excel ever shows:
// value = 0.D1D2...Dn x 10^Point. Working on these digits instead of the binary double is what
// makes 2.675 round to 2.68 under "0.00", as in Excel.
struct TDecimal {
  char Digits[24] = {};
  int Count = 0;  // significant digits, no trailing zeros; 0 means the value is zero
  int Point = 0;  // digits before the decimal point (may be negative or exceed Count)

  bool IsZero() const { return Count == 0; }
  char DigitAt(int AIndex) const { return AIndex >= 0 && AIndex < Count ? Digits[AIndex] : '0'; }
  void Trim() {
    while (Count > 0 && Digits[Count - 1] == '0')
      --Count;
  }

  // Rounds half away from zero so that ADecimals digits stay after the point.
  void RoundToDecimals(int ADecimals) { RoundToDigits(Point + ADecimals); }

  // Keeps the first AKeep significant digits (AKeep may be <= 0), rounding half up.
  void RoundToDigits(int AKeep) {
    if (Count == 0 || AKeep >= Count)
      return;
    if (AKeep < 0) {
      Count = 0;
      Point = 0;
      return;
    }
    const bool up = Digits[AKeep] >= '5';
    Count = AKeep;
    if (up) {
      int i = Count - 1;
      while (i >= 0 && Digits[i] == '9')
        --i;
      if (i < 0) {
        Digits[0] = '1';
        Count = 1;
        ++Point;
      } else {
        ++Digits[i];
        Count = i + 1;
      }
    }
    Trim();
    if (Count == 0)
      Point = 0;
  }
};

TDecimal ToDecimal(double AValue) {
  TDecimal d;
  AValue = std::fabs(AValue);
  if (AValue == 0 || !std::isfinite(AValue))
    return d;
  if (AValue < 1e15 && AValue == std::floor(AValue)) {
    // Integers below 10^15 are exact; skip the slower general conversion.
    auto n = static_cast<unsigned long long>(AValue);
    char tmp[24];
    int len = 0;
    while (n > 0) {
      tmp[len++] = char('0' + n % 10);
      n /= 10;
    }
    for (int i = 0; i < len; ++i)
      d.Digits[i] = tmp[len - 1 - i];
    d.Count = len;
    d.Point = len;
    d.Trim();
    return d;
  }
  char buf[40];
  auto res = std::to_chars(buf, buf + sizeof buf, AValue, std::chars_format::scientific, 14);
  *res.ptr = 0;
  // buf: "d.dddddddddddddde[+-]xx"
  d.Digits[0] = buf[0];
  int n = 1;
  const char *p = buf + 1;
  if (*p == '.') {
    ++p;
    while (*p >= '0' && *p <= '9')
      d.Digits[n++] = *p++;
  }
  int exp10 = 0;
  if (*p == 'e')
    std::from_chars(p + 1 + (p[1] == '+' ? 1 : 0), res.ptr, exp10);
  d.Count = n;
  d.Point = exp10 + 1;
  d.Trim();
  return d;
}

// ------------------------------------------------------------------------------------------------
// Parsed format codes
// ------------------------------------------------------------------------------------------------

enum class TTokKind : quint8 {
  tkLiteral,
  tkDigit,     // '0', '#' or '?' placeholder (Ch)
  tkPoint,     // decimal point
  tkGroup,     // thousands separator between integer placeholders (emits nothing itself)
  tkScale,     // comma after the last placeholder: divide by 1000 (emits nothing)
  tkPercent,
  tkExp,       // E+ / E- (Ch '+' or '-'; Raw keeps the letter case)
  tkSlash,     // '/' of a fraction
  tkDenom,     // fixed fraction denominator (N)
  tkText,      // '@'
  tkGeneral,   // "General" inside a section
  tkYear,      // N = 2 or 4
  tkBuddhistYear,
  tkMonth,     // N = 1..5
  tkDay,       // N = 1..4
  tkWeekCn,    // aaa (N = 3) / aaaa (N = 4)
  tkHour,      // N = 1..2
  tkMinute,    // N = 1..2
  tkSecond,    // N = 1..2
  tkSubSecond, // N = 1..3 digits
  tkElapsedH,  // [h] (N = width)
  tkElapsedM,
  tkElapsedS,
  tkAmPm,      // Ch: 'A' AM/PM, 'a' am/pm, 'P' A/P, 'p' a/p, 'C' 上午/下午
  tkNone       // parsed and ignored (era, fill)
};

enum class TRegion : quint8 { rgNone, rgInt, rgDec, rgExp, rgFracInt, rgNum, rgDen };

struct TToken {
  TTokKind Kind = TTokKind::tkLiteral;
  char Ch = 0;
  TRegion Region = TRegion::rgNone;
  int N = 0;
  QString Text;  // literal text; for other kinds the code characters it came from
};

enum class TSectionKind : quint8 { skNumber, skDate, skText, skGeneral };

enum class TCondOp : quint8 { coNone, coLt, coLe, coGt, coGe, coEq, coNe };

struct TSection {
  std::vector<TToken> Tokens;
  TSectionKind Kind = TSectionKind::skNumber;
  TCondOp Cond = TCondOp::coNone;
  double CondValue = 0;
  TNumberFormatColor Color;
  bool ChineseNames = false;  // [$-804] and friends: month and weekday names in Chinese
  bool HasText = false;       // contains '@'
  // Number layout.
  int IntDigits = 0, DecDigits = 0, ExpDigits = 0, NumDigits = 0, DenDigits = 0, FracIntDigits = 0;
  int Shift = 0;              // decimal exponent shift from '%' (+2) and scaling commas (-3)
  bool Grouping = false;
  bool Scientific = false;
  bool Fraction = false;
  bool EngineeringExp = false;
  long long FixedDenominator = 0;
  // Date layout.
  int SubSecondDigits = 0;
  bool TwelveHour = false;

  bool Matches(double AValue) const {
    switch (Cond) {
    case TCondOp::coLt: return AValue < CondValue;
    case TCondOp::coLe: return AValue <= CondValue;
    case TCondOp::coGt: return AValue > CondValue;
    case TCondOp::coGe: return AValue >= CondValue;
    case TCondOp::coEq: return AValue == CondValue;
    case TCondOp::coNe: return AValue != CondValue;
    case TCondOp::coNone: return true;
    }
    return true;
  }
};

struct TParsedFormat {
  std::vector<TSection> Sections;
  int NumberSections = 0;  // sections used for numbers (1..3, or 4 when 4 sections are given)
  int TextSection = -1;    // index of the section for text, -1 when text shows unchanged
  bool AllGeneral = false; // the whole code is General: the fast path
  bool IsDate = false;
};

// ------------------------------------------------------------------------------------------------
// Colours
// ------------------------------------------------------------------------------------------------

// Excel's default 56-colour palette; [ColorN] picks entry N.
constexpr std::array<std::uint32_t, 56> KPalette = {
  0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF,
  0x800000, 0x008000, 0x000080, 0x808000, 0x800080, 0x008080, 0xC0C0C0, 0x808080,
  0x9999FF, 0x993366, 0xFFFFCC, 0xCCFFFF, 0x660066, 0xFF8080, 0x0066CC, 0xCCCCFF,
  0x000080, 0xFF00FF, 0xFFFF00, 0x00FFFF, 0x800080, 0x800000, 0x008080, 0x0000FF,
  0x00CCFF, 0xCCFFFF, 0xCCFFCC, 0xFFFF99, 0x99CCFF, 0xFF99CC, 0xCC99FF, 0xFFCC99,
  0x3366FF, 0x33CCCC, 0x99CC00, 0xFFCC00, 0xFF9900, 0xFF6600, 0x666699, 0x969696,
  0x003366, 0x339966, 0x003300, 0x333300, 0x993300, 0x993366, 0x333399, 0x333333};

TNumberFormatColor PaletteColor(int AIndex) {
  TNumberFormatColor c;
  if (AIndex >= 1 && AIndex <= 56) {
    c.Valid = true;
    c.Index = AIndex;
    c.Rgb = KPalette[size_t(AIndex - 1)];
  }
  return c;
}

// A bracket's content as a colour: English names (as stored in files), the Chinese names some
// Chinese-locale programs store, or ColorN / 颜色N.
bool ParseColor(const QString &AName, TNumberFormatColor &AColor) {
  static const struct {
    const char16_t *En;
    const char16_t *Cn;
    int Index;
  } KNames[] = {{u"black", u"黑色", 1},   {u"white", u"白色", 2},   {u"red", u"红色", 3},
                {u"green", u"绿色", 4},   {u"blue", u"蓝色", 5},    {u"yellow", u"黄色", 6},
                {u"magenta", u"洋红", 7}, {u"cyan", u"青色", 8}};
  for (const auto &n : KNames) {
    if (AName.compare(QStringView(n.En), Qt::CaseInsensitive) == 0 || AName == QStringView(n.Cn)) {
      AColor = PaletteColor(n.Index);
      return true;
    }
  }
  QStringView num;
  if (AName.startsWith(u"color", Qt::CaseInsensitive))
    num = QStringView(AName).mid(5);
  else if (AName.startsWith(u"颜色"))
    num = QStringView(AName).mid(2);
  else
    return false;
  bool ok = false;
  const int index = num.toInt(&ok);
  if (!ok)
    return false;
  AColor = PaletteColor(index);  // out-of-range indices parse but give no colour
  return true;
}

// ------------------------------------------------------------------------------------------------
// Tokenizer
// ------------------------------------------------------------------------------------------------

bool IsLetter(QChar AChar, char ALower) { return AChar.toLower() == QLatin1Char(ALower); }

int RunLength(const QString &ACode, int APos, char ALower) {
  int n = 0;
  while (APos + n < ACode.size() && IsLetter(ACode[APos + n], ALower))
    ++n;
  return n;
}

void AddLiteral(TSection &ASection, const QString &AText) {
  if (AText.isEmpty())
    return;
  if (!ASection.Tokens.empty() && ASection.Tokens.back().Kind == TTokKind::tkLiteral) {
    ASection.Tokens.back().Text += AText;
    return;
  }
  TToken t;
  t.Kind = TTokKind::tkLiteral;
  t.Text = AText;
  ASection.Tokens.push_back(std::move(t));
}

void AddToken(TSection &ASection, TTokKind AKind, char ACh, int AN, const QString &ARaw) {
  TToken t;
  t.Kind = AKind;
  t.Ch = ACh;
  t.N = AN;
  t.Text = ARaw;
  ASection.Tokens.push_back(std::move(t));
}

// The system date/time formats a [$-F800]/[$-F400] prefix asks for, as a Chinese Windows shows
// them; Excel ignores the rest of such a section.
const QString &SystemLongDateCode() {
  static const QString code = QStringLiteral("yyyy\"年\"m\"月\"d\"日\"");
  return code;
}
const QString &SystemLongTimeCode() {
  static const QString code = QStringLiteral("h:mm:ss");
  return code;
}

void TokenizeSection(const QString &ACode, TSection &ASection, int ADepth = 0);

// Handles "[...]"; returns false when the bracket is not closed (then '[' is a literal).
bool ParseBracket(const QString &ACode, int &APos, TSection &ASection, int ADepth) {
  const int close = ACode.indexOf(QLatin1Char(']'), APos + 1);
  if (close < 0)
    return false;
  const QString inner = ACode.mid(APos + 1, close - APos - 1);
  APos = close + 1;
  if (inner.isEmpty())
    return true;
  const QChar first = inner[0];
  if (first == QLatin1Char('$')) {
    // [$currency-LCID]: the currency text shows; the locale only changes names and system formats.
    const int dash = inner.indexOf(QLatin1Char('-'), 1);
    const QString currency = inner.mid(1, dash < 0 ? -1 : dash - 1);
    const QString locale = dash < 0 ? QString() : inner.mid(dash + 1);
    AddLiteral(ASection, currency);
    bool ok = false;
    const uint lcid = locale.toUInt(&ok, 16);
    const bool sysDate = (ok && (lcid & 0xFFFF) == 0xF800) ||
                         locale.compare(u"x-sysdate", Qt::CaseInsensitive) == 0;
    const bool sysTime = (ok && (lcid & 0xFFFF) == 0xF400) ||
                         locale.compare(u"x-systime", Qt::CaseInsensitive) == 0;
    if ((sysDate || sysTime) && ADepth == 0) {
      // The system format replaces the section's own codes (but keeps colour and condition).
      ASection.Tokens.clear();
      TokenizeSection(sysDate ? SystemLongDateCode() : SystemLongTimeCode(), ASection, ADepth + 1);
      APos = int(ACode.size());
      return true;
    }
    if (ok && (lcid & 0x3FF) == 0x04)  // any Chinese locale
      ASection.ChineseNames = true;
    return true;
  }
  if (first == QLatin1Char('<') || first == QLatin1Char('>') || first == QLatin1Char('=')) {
    int i = 1;
    TCondOp op = TCondOp::coEq;
    if (first == QLatin1Char('<')) {
      op = TCondOp::coLt;
      if (i < inner.size() && inner[i] == QLatin1Char('=')) {
        op = TCondOp::coLe;
        ++i;
      } else if (i < inner.size() && inner[i] == QLatin1Char('>')) {
        op = TCondOp::coNe;
        ++i;
      }
    } else if (first == QLatin1Char('>')) {
      op = TCondOp::coGt;
      if (i < inner.size() && inner[i] == QLatin1Char('=')) {
        op = TCondOp::coGe;
        ++i;
      }
    }
    bool ok = false;
    const double value = QStringView(inner).mid(i).trimmed().toDouble(&ok);
    if (ok) {
      ASection.Cond = op;
      ASection.CondValue = value;
    }
    return true;
  }
  const QChar lower = first.toLower();
  if (lower == QLatin1Char('h') || lower == QLatin1Char('m') || lower == QLatin1Char('s')) {
    bool same = true;
    for (QChar c : inner)
      same = same && c.toLower() == lower;
    if (same) {
      const TTokKind kind = lower == QLatin1Char('h')   ? TTokKind::tkElapsedH
                            : lower == QLatin1Char('m') ? TTokKind::tkElapsedM
                                                        : TTokKind::tkElapsedS;
      AddToken(ASection, kind, 0, int(inner.size()), QLatin1Char('[') + inner + QLatin1Char(']'));
      return true;
    }
  }
  TNumberFormatColor color;
  if (ParseColor(inner, color)) {
    ASection.Color = color;
    return true;
  }
  // [DBNum1], [NatNum1] and other locale modifiers: parsed and ignored (Arabic digits stay).
  return true;
}

void TokenizeSection(const QString &ACode, TSection &ASection, int ADepth) {
  int i = 0;
  const int n = int(ACode.size());
  while (i < n) {
    const QChar c = ACode[i];
    const char16_t u = c.unicode();
    switch (u) {
    case u'"': {
      const int end = ACode.indexOf(QLatin1Char('"'), i + 1);
      AddLiteral(ASection, ACode.mid(i + 1, end < 0 ? -1 : end - i - 1));
      i = end < 0 ? n : end + 1;
      continue;
    }
    case u'\\':
      if (i + 1 < n)
        AddLiteral(ASection, QString(ACode[i + 1]));
      i += 2;
      continue;
    case u'_':
      // Space as wide as the next character; as text a single space.
      AddLiteral(ASection, QStringLiteral(" "));
      i += 2;
      continue;
    case u'*':
      // Repeat the next character to fill the cell: nothing in a text rendering.
      i += 2;
      continue;
    case u'[':
      if (ParseBracket(ACode, i, ASection, ADepth))
        continue;
      AddLiteral(ASection, QStringLiteral("["));
      ++i;
      continue;
    default:
      break;
    }
    // Single-character codes.
    TTokKind single = TTokKind::tkNone;
    switch (u) {
    case u'0': case u'#': case u'?': single = TTokKind::tkDigit; break;
    case u'.': single = TTokKind::tkPoint; break;
    case u',': single = TTokKind::tkGroup; break;  // grouping or scaling: decided later
    case u'%': single = TTokKind::tkPercent; break;
    case u'/': single = TTokKind::tkSlash; break;
    case u'@': single = TTokKind::tkText; break;
    default: break;
    }
    if (single != TTokKind::tkNone) {
      AddToken(ASection, single, char(u), single == TTokKind::tkDigit ? 1 : 0, QString(c));
      ASection.HasText = ASection.HasText || single == TTokKind::tkText;
      ++i;
      continue;
    }
    if ((u == u'E' || u == u'e') && i + 1 < n &&
        (ACode[i + 1] == QLatin1Char('+') || ACode[i + 1] == QLatin1Char('-'))) {
      AddToken(ASection, TTokKind::tkExp, char(ACode[i + 1].unicode()), 0, ACode.mid(i, 2));
      i += 2;
      continue;
    }
    if (ACode.mid(i, 7).compare(u"general", Qt::CaseInsensitive) == 0) {
      AddToken(ASection, TTokKind::tkGeneral, 0, 0, ACode.mid(i, 7));
      i += 7;
      continue;
    }
    if (QStringView(ACode).mid(i).startsWith(u"G/通用格式")) {
      AddToken(ASection, TTokKind::tkGeneral, 0, 0, ACode.mid(i, 6));
      i += 6;
      continue;
    }
    if (QStringView(ACode).mid(i).startsWith(u"上午/下午")) {
      AddToken(ASection, TTokKind::tkAmPm, 'C', 0, ACode.mid(i, 5));
      i += 5;
      continue;
    }
    if (ACode.mid(i, 5).compare(u"am/pm", Qt::CaseInsensitive) == 0) {
      AddToken(ASection, TTokKind::tkAmPm, u == u'A' ? 'A' : 'a', 0, ACode.mid(i, 5));
      i += 5;
      continue;
    }
    if (ACode.mid(i, 3).compare(u"a/p", Qt::CaseInsensitive) == 0) {
      AddToken(ASection, TTokKind::tkAmPm, u == u'A' ? 'P' : 'p', 0, ACode.mid(i, 3));
      i += 3;
      continue;
    }
    const char lower = u < 128 ? char(QChar(u).toLower().unicode()) : 0;
    const int run = lower ? RunLength(ACode, i, lower) : 0;
    const QString raw = run ? ACode.mid(i, run) : QString();
    switch (lower) {
    case 'y':
      AddToken(ASection, TTokKind::tkYear, 0, run <= 2 ? 2 : 4, raw);
      break;
    case 'e':
      AddToken(ASection, TTokKind::tkYear, 0, 4, raw);
      break;
    case 'b':
      AddToken(ASection, TTokKind::tkBuddhistYear, 0, run <= 2 ? 2 : 4, raw);
      break;
    case 'm':
      AddToken(ASection, TTokKind::tkMonth, 0, std::min(run, 5), raw);
      break;
    case 'd':
      AddToken(ASection, TTokKind::tkDay, 0, std::min(run, 4), raw);
      break;
    case 'h':
      AddToken(ASection, TTokKind::tkHour, 0, std::min(run, 2), raw);
      break;
    case 's':
      AddToken(ASection, TTokKind::tkSecond, 0, std::min(run, 2), raw);
      break;
    case 'g':
      AddToken(ASection, TTokKind::tkNone, 0, 0, raw);  // era: nothing outside Japan/Taiwan
      break;
    case 'a':
      if (run >= 3) {
        AddToken(ASection, TTokKind::tkWeekCn, 0, run >= 4 ? 4 : 3, raw);
        break;
      }
      [[fallthrough]];
    default:
      AddLiteral(ASection, QString(c));
      i += 1;
      continue;
    }
    i += run;
  }
}

// ------------------------------------------------------------------------------------------------
// Section analysis
// ------------------------------------------------------------------------------------------------

bool IsDateToken(TTokKind AKind) {
  switch (AKind) {
  case TTokKind::tkYear:
  case TTokKind::tkBuddhistYear:
  case TTokKind::tkMonth:
  case TTokKind::tkDay:
  case TTokKind::tkWeekCn:
  case TTokKind::tkHour:
  case TTokKind::tkMinute:
  case TTokKind::tkSecond:
  case TTokKind::tkElapsedH:
  case TTokKind::tkElapsedM:
  case TTokKind::tkElapsedS:
  case TTokKind::tkAmPm:
    return true;
  default:
    return false;
  }
}

// Turns every token of a number-only kind back into literal text (dates and text sections).
void NumberTokensToLiterals(TSection &ASection, bool AKeepSubSeconds) {
  std::vector<TToken> out;
  out.reserve(ASection.Tokens.size());
  for (auto &t : ASection.Tokens) {
    const bool numeric = t.Kind == TTokKind::tkDigit || t.Kind == TTokKind::tkPoint ||
                         t.Kind == TTokKind::tkGroup || t.Kind == TTokKind::tkPercent ||
                         t.Kind == TTokKind::tkExp || t.Kind == TTokKind::tkSlash ||
                         t.Kind == TTokKind::tkScale;
    const bool keep = AKeepSubSeconds && t.Kind == TTokKind::tkSubSecond;
    if (numeric && !keep) {
      if (!out.empty() && out.back().Kind == TTokKind::tkLiteral) {
        out.back().Text += t.Text;
      } else {
        t.Kind = TTokKind::tkLiteral;
        out.push_back(std::move(t));
      }
    } else if (t.Kind == TTokKind::tkLiteral && !out.empty() &&
               out.back().Kind == TTokKind::tkLiteral) {
      out.back().Text += t.Text;
    } else {
      out.push_back(std::move(t));
    }
  }
  ASection.Tokens = std::move(out);
}

void FinishDateSection(TSection &ASection) {
  auto &toks = ASection.Tokens;
  // "m"/"mm" mean minutes right after an hour or right before a second, otherwise month.
  int prevDate = -1;
  for (size_t i = 0; i < toks.size(); ++i) {
    if (!IsDateToken(toks[i].Kind))
      continue;
    if (toks[i].Kind == TTokKind::tkMonth && toks[i].N <= 2) {
      bool minute = prevDate >= 0 && (toks[size_t(prevDate)].Kind == TTokKind::tkHour ||
                                      toks[size_t(prevDate)].Kind == TTokKind::tkElapsedH);
      if (!minute) {
        for (size_t j = i + 1; j < toks.size(); ++j) {
          if (!IsDateToken(toks[j].Kind))
            continue;
          minute = toks[j].Kind == TTokKind::tkSecond || toks[j].Kind == TTokKind::tkElapsedS;
          break;
        }
      }
      if (minute)
        toks[i].Kind = TTokKind::tkMinute;
    }
    if (toks[i].Kind == TTokKind::tkAmPm)
      ASection.TwelveHour = true;
    prevDate = int(i);
  }
  // Fractions of a second: a point followed by zeros right after the seconds.
  for (size_t i = 0; i + 1 < toks.size(); ++i) {
    if ((toks[i].Kind != TTokKind::tkSecond && toks[i].Kind != TTokKind::tkElapsedS) ||
        toks[i + 1].Kind != TTokKind::tkPoint)
      continue;
    size_t j = i + 2;
    int zeros = 0;
    while (j < toks.size() && toks[j].Kind == TTokKind::tkDigit && toks[j].Ch == '0') {
      ++zeros;
      ++j;
    }
    if (zeros == 0)
      continue;
    toks[i + 1].Kind = TTokKind::tkSubSecond;
    toks[i + 1].N = std::min(zeros, 3);
    toks.erase(toks.begin() + long(i + 2), toks.begin() + long(j));
    ASection.SubSecondDigits = std::max(ASection.SubSecondDigits, std::min(zeros, 3));
  }
  NumberTokensToLiterals(ASection, true);
}

bool IsDigitToken(const TToken &AToken) { return AToken.Kind == TTokKind::tkDigit; }

// Fraction: placeholders, '/', then placeholders or a fixed denominator. Returns false when the
// section has no such pattern (the slash is then a literal).
bool DetectFraction(TSection &ASection) {
  auto &toks = ASection.Tokens;
  for (size_t s = 1; s < toks.size(); ++s) {
    if (toks[s].Kind != TTokKind::tkSlash || !IsDigitToken(toks[s - 1]) || s + 1 >= toks.size())
      continue;
    // Denominator.
    size_t e = s + 1;
    QString fixed;
    if (toks[e].Kind == TTokKind::tkLiteral && !toks[e].Text.isEmpty() &&
        toks[e].Text[0] >= QLatin1Char('1') && toks[e].Text[0] <= QLatin1Char('9')) {
      // Literal digits (and '0' placeholders that the tokenizer took for digits) form a number.
      int k = 0;
      const QString &lit = toks[e].Text;
      while (k < lit.size() && lit[k].isDigit() && lit[k].unicode() < 128)
        fixed += lit[k++];
      if (k < lit.size()) {
        toks[e].Text = lit.mid(k);
        TToken den;
        den.Kind = TTokKind::tkDenom;
        den.Region = TRegion::rgDen;
        toks.insert(toks.begin() + long(e), den);
      } else {
        toks[e].Kind = TTokKind::tkDenom;
        toks[e].Region = TRegion::rgDen;
        toks[e].Text.clear();
        size_t j = e + 1;
        while (j < toks.size() && IsDigitToken(toks[j]) && toks[j].Ch == '0') {
          fixed += QLatin1Char('0');
          ++j;
        }
        toks.erase(toks.begin() + long(e + 1), toks.begin() + long(j));
      }
      ASection.FixedDenominator = std::min(fixed.toLongLong(), 100000000LL);
      if (ASection.FixedDenominator <= 0)
        ASection.FixedDenominator = 1;
    } else if (IsDigitToken(toks[e])) {
      while (e < toks.size() && IsDigitToken(toks[e])) {
        toks[e].Region = TRegion::rgDen;
        ++ASection.DenDigits;
        ++e;
      }
    } else {
      continue;
    }
    // Numerator: the placeholders right before the slash; integer part: placeholders before that.
    size_t b = s;
    while (b > 0 && IsDigitToken(toks[b - 1])) {
      --b;
      toks[b].Region = TRegion::rgNum;
      ++ASection.NumDigits;
    }
    for (size_t j = 0; j < b; ++j) {
      if (IsDigitToken(toks[j])) {
        toks[j].Region = TRegion::rgFracInt;
        ++ASection.FracIntDigits;
      } else if (toks[j].Kind == TTokKind::tkGroup || toks[j].Kind == TTokKind::tkPoint) {
        toks[j].Kind = TTokKind::tkLiteral;
      }
    }
    // Anything numeric after the denominator is literal text.
    for (size_t j = s + 1; j < toks.size(); ++j) {
      if (toks[j].Region != TRegion::rgDen && toks[j].Kind != TTokKind::tkLiteral &&
          toks[j].Kind != TTokKind::tkDenom && toks[j].Kind != TTokKind::tkPercent)
        toks[j].Kind = TTokKind::tkLiteral;
    }
    for (size_t j = 0; j < s; ++j)
      if (toks[j].Kind == TTokKind::tkSlash)
        toks[j].Kind = TTokKind::tkLiteral;
    ASection.Fraction = true;
    return true;
  }
  return false;
}

void FinishNumberSection(TSection &ASection) {
  auto &toks = ASection.Tokens;
  if (!DetectFraction(ASection)) {
    TRegion region = TRegion::rgInt;
    bool seenPoint = false;
    for (auto &t : toks) {
      if (t.Kind == TTokKind::tkPoint) {
        if (seenPoint || region == TRegion::rgExp)
          t.Kind = TTokKind::tkLiteral;  // a second point is plain text
        else
          region = TRegion::rgDec;
        seenPoint = true;
      } else if (t.Kind == TTokKind::tkExp) {
        if (region == TRegion::rgExp) {
          t.Kind = TTokKind::tkLiteral;
        } else {
          region = TRegion::rgExp;
          ASection.Scientific = true;
        }
      } else if (t.Kind == TTokKind::tkSlash) {
        t.Kind = TTokKind::tkLiteral;
      } else if (t.Kind == TTokKind::tkDigit) {
        t.Region = region;
        if (region == TRegion::rgInt)
          ++ASection.IntDigits;
        else if (region == TRegion::rgDec)
          ++ASection.DecDigits;
        else
          ++ASection.ExpDigits;
      }
    }
    if (ASection.Scientific && ASection.ExpDigits == 0) {
      // "0.0E+" without exponent digits: the letter is plain text.
      ASection.Scientific = false;
      for (auto &t : toks)
        if (t.Kind == TTokKind::tkExp)
          t.Kind = TTokKind::tkLiteral;
    }
  }
  // Commas: between integer placeholders they group thousands; after the last placeholder they
  // scale by 1000 each; anywhere else they are text.
  for (size_t i = 0; i < toks.size(); ++i) {
    if (toks[i].Kind != TTokKind::tkGroup)
      continue;
    bool digitBefore = false;
    for (size_t j = 0; j < i; ++j)
      digitBefore = digitBefore || (IsDigitToken(toks[j]) && toks[j].Region != TRegion::rgExp);
    size_t k = i + 1;
    while (k < toks.size() && toks[k].Kind == TTokKind::tkGroup)
      ++k;
    const bool digitAfter = k < toks.size() && IsDigitToken(toks[k]);
    if (digitBefore && digitAfter && toks[k].Region == TRegion::rgInt &&
        toks[i - 1].Region == TRegion::rgInt) {
      ASection.Grouping = true;
    } else if (digitBefore && !digitAfter &&
               (k >= toks.size() || toks[k].Kind != TTokKind::tkGroup)) {
      toks[i].Kind = TTokKind::tkScale;
      ASection.Shift -= 3;
    } else if (digitBefore && digitAfter && toks[k].Region == TRegion::rgFracInt) {
      ASection.Grouping = true;
    } else {
      toks[i].Kind = TTokKind::tkLiteral;
    }
  }
  for (auto &t : toks) {
    if (t.Kind == TTokKind::tkPercent)
      ASection.Shift += 2;
  }
  // Engineering notation: "##0.0E+0" keeps the exponent a multiple of the integer width.
  if (ASection.Scientific) {
    for (auto &t : toks)
      if (t.Region == TRegion::rgInt && t.Ch != '0')
        ASection.EngineeringExp = true;
  }
  // Merge adjacent literals for a faster walk.
  std::vector<TToken> merged;
  merged.reserve(toks.size());
  for (auto &t : toks) {
    if (t.Kind == TTokKind::tkLiteral && !merged.empty() &&
        merged.back().Kind == TTokKind::tkLiteral)
      merged.back().Text += t.Text;
    else
      merged.push_back(std::move(t));
  }
  toks = std::move(merged);
}

// Digit placeholders other than the zeros of a fraction of a second ("ss.00").
bool HasNumberPlaceholders(const std::vector<TToken> &ATokens) {
  for (size_t i = 0; i < ATokens.size(); ++i) {
    if (ATokens[i].Kind != TTokKind::tkDigit)
      continue;
    size_t j = i;
    while (j > 0 && ATokens[j - 1].Kind == TTokKind::tkDigit && ATokens[j - 1].Ch == '0')
      --j;
    const bool subSecond = ATokens[i].Ch == '0' && j >= 2 &&
                           ATokens[j - 1].Kind == TTokKind::tkPoint &&
                           (ATokens[j - 2].Kind == TTokKind::tkSecond ||
                            ATokens[j - 2].Kind == TTokKind::tkElapsedS);
    if (!subSecond)
      return true;
  }
  return false;
}

// Outside dates, date letters (and the era letter 'g') are plain text. Excel does not accept date
// codes beside digit placeholders, but other programs write codes like "#,##0 AED" or "0.00 kg":
// there the letters are a unit.
void DateLettersToLiterals(TSection &ASection) {
  for (auto &t : ASection.Tokens)
    if (IsDateToken(t.Kind) || t.Kind == TTokKind::tkNone)
      t.Kind = TTokKind::tkLiteral;
}

void FinishSection(TSection &ASection) {
  bool date = false, general = false;
  for (const auto &t : ASection.Tokens) {
    date = date || IsDateToken(t.Kind);
    general = general || t.Kind == TTokKind::tkGeneral;
  }
  if (date && (HasNumberPlaceholders(ASection.Tokens) || general))
    date = false;
  if (!date)
    DateLettersToLiterals(ASection);
  if (date) {
    ASection.Kind = TSectionKind::skDate;
    FinishDateSection(ASection);
  } else if (ASection.HasText) {
    ASection.Kind = TSectionKind::skText;
    NumberTokensToLiterals(ASection, false);
  } else if (general) {
    ASection.Kind = TSectionKind::skGeneral;
    NumberTokensToLiterals(ASection, false);
  } else {
    ASection.Kind = TSectionKind::skNumber;
    FinishNumberSection(ASection);
  }
}

// Splits on ';' outside quotes, escapes and brackets.
std::vector<QString> SplitSections(const QString &ACode) {
  std::vector<QString> parts;
  int start = 0;
  bool quoted = false, bracket = false;
  for (int i = 0; i < ACode.size(); ++i) {
    const QChar c = ACode[i];
    if (quoted) {
      quoted = c != QLatin1Char('"');
    } else if (bracket) {
      bracket = c != QLatin1Char(']');
    } else if (c == QLatin1Char('"')) {
      quoted = true;
    } else if (c == QLatin1Char('[')) {
      bracket = ACode.indexOf(QLatin1Char(']'), i + 1) >= 0;
    } else if (c == QLatin1Char('\\') || c == QLatin1Char('_') || c == QLatin1Char('*')) {
      ++i;
    } else if (c == QLatin1Char(';')) {
      parts.push_back(ACode.mid(start, i - start));
      start = i + 1;
    }
  }
  parts.push_back(ACode.mid(start));
  return parts;
}

bool IsGeneralCode(const QString &ACode) {
  switch (ACode.size()) {
  case 0: return true;
  case 6: return ACode == u"G/通用格式";
  case 7: return ACode.compare(u"general", Qt::CaseInsensitive) == 0;
  default: return false;
  }
}

std::shared_ptr<TParsedFormat> ParseFormat(const QString &ACode) {
  auto parsed = std::make_shared<TParsedFormat>();
  if (IsGeneralCode(ACode)) {
    parsed->AllGeneral = true;
    return parsed;
  }
  std::vector<QString> parts = SplitSections(ACode);
  if (parts.size() > 4)
    parts.resize(4);  // Excel rejects more; show what the first four say
  for (const QString &part : parts) {
    TSection section;
    TokenizeSection(part, section);
    FinishSection(section);
    parsed->Sections.push_back(std::move(section));
  }
  const int count = int(parsed->Sections.size());
  if (count == 4) {
    parsed->NumberSections = 3;
    parsed->TextSection = 3;
  } else if (parsed->Sections.back().HasText) {
    parsed->TextSection = count - 1;
    parsed->NumberSections = count - 1;
  } else {
    parsed->NumberSections = count;
  }
  for (int i = 0; i < parsed->NumberSections; ++i)
    parsed->IsDate = parsed->IsDate || parsed->Sections[size_t(i)].Kind == TSectionKind::skDate;
  return parsed;
}

// Parsed codes by their text. Not thread-safe on purpose: every caller is on the UI thread.
const TParsedFormat &GetFormat(const QString &ACode) {
  static QHash<QString, std::shared_ptr<TParsedFormat>> cache;
  static QString lastCode;
  static std::shared_ptr<TParsedFormat> lastFormat;
  if (lastFormat && lastCode == ACode)
    return *lastFormat;
  auto it = cache.constFind(ACode);
  if (it == cache.constEnd()) {
    if (cache.size() > 20000)
      cache.clear();  // a hostile workbook with endless distinct codes must not grow us forever
    it = cache.insert(ACode, ParseFormat(ACode));
  }
  lastCode = ACode;
  lastFormat = it.value();
  return *lastFormat;
}

// ------------------------------------------------------------------------------------------------
// Output buffer
// ------------------------------------------------------------------------------------------------

// Collects the output on the stack and makes one QString at the end: formatting millions of
// cells must not allocate per character.
class TTextBuf {
public:
  TTextBuf() = default;
  TTextBuf(const TTextBuf &) = delete;
  TTextBuf &operator=(const TTextBuf &) = delete;

  void Add(char16_t AChar) {
    if (FLen == FCap)
      Grow(1);
    FData[FLen++] = AChar;
  }
  void Add(const char16_t *AText, qsizetype ALen) {
    if (FLen + ALen > FCap)
      Grow(ALen);
    std::memcpy(FData + FLen, AText, size_t(ALen) * sizeof(char16_t));
    FLen += ALen;
  }
  void AddLatin1(const char *AText, qsizetype ALen) {
    if (FLen + ALen > FCap)
      Grow(ALen);
    for (qsizetype i = 0; i < ALen; ++i)
      FData[FLen + i] = char16_t(static_cast<unsigned char>(AText[i]));
    FLen += ALen;
  }
  void AddRepeated(char16_t AChar, qsizetype ACount) {
    for (qsizetype i = 0; i < ACount; ++i)
      Add(AChar);
  }
  TTextBuf &operator+=(QChar AChar) { Add(AChar.unicode()); return *this; }
  TTextBuf &operator+=(QLatin1Char AChar) { Add(char16_t(static_cast<unsigned char>(AChar.toLatin1()))); return *this; }
  TTextBuf &operator+=(QLatin1String AText) { AddLatin1(AText.data(), AText.size()); return *this; }
  TTextBuf &operator+=(QStringView AText) { Add(AText.utf16(), AText.size()); return *this; }
  TTextBuf &operator+=(const QString &AText) { return *this += QStringView(AText); }
  TTextBuf &operator+=(const char16_t *AText) { return *this += QStringView(AText); }

  qsizetype Size() const { return FLen; }
  QString ToString() const { return QString(reinterpret_cast<const QChar *>(FData), FLen); }

private:
  void Grow(qsizetype ANeed) {
    qsizetype cap = FCap * 2;
    while (cap < FLen + ANeed)
      cap *= 2;
    auto heap = std::make_unique<char16_t[]>(size_t(cap));
    std::memcpy(heap.get(), FData, size_t(FLen) * sizeof(char16_t));
    FHeap = std::move(heap);
    FData = FHeap.get();
    FCap = cap;
  }

  char16_t FInline[96];
  char16_t *FData = FInline;
  qsizetype FLen = 0;
  qsizetype FCap = 96;
  std::unique_ptr<char16_t[]> FHeap;
};

// Integer digits as plain characters (a double can have 309 of them).
struct TDigits {
  char Buf[400];
  int Len = 0;
};

// ------------------------------------------------------------------------------------------------
// General
// ------------------------------------------------------------------------------------------------

constexpr int KGeneralWidth = 11;  // characters of a standard-width column, sign and point included

void AppendDigits(TTextBuf &AOut, const TDecimal &ADec, int AFrom, int ATo) {
  for (int i = AFrom; i < ATo; ++i)
    AOut += QLatin1Char(ADec.DigitAt(i));
}

void AppendInt(TTextBuf &AOut, long long AValue, int AMinWidth = 1) {
  char buf[24];
  auto res = std::to_chars(buf, buf + sizeof buf, AValue < 0 ? -AValue : AValue);
  const int len = int(res.ptr - buf);
  if (AValue < 0)
    AOut += QLatin1Char('-');
  for (int i = len; i < AMinWidth; ++i)
    AOut += QLatin1Char('0');
  AOut.AddLatin1(buf, len);
}

void AppendGeneralScientific(TTextBuf &AOut, TDecimal ADec, int AWidth) {
  int exp10 = ADec.Point - 1;
  const int expLen = std::abs(exp10) >= 100 ? 5 : 4;  // "E+12" or "E+123"
  const int mantissaDigits = std::max(1, AWidth - expLen - 1);
  ADec.RoundToDigits(mantissaDigits);
  exp10 = ADec.Point - 1;
  AOut += QLatin1Char(ADec.DigitAt(0));
  if (ADec.Count > 1) {
    AOut += QLatin1Char('.');
    AppendDigits(AOut, ADec, 1, ADec.Count);
  }
  AOut += QLatin1Char('E');
  AOut += QLatin1Char(exp10 < 0 ? '-' : '+');
  AppendInt(AOut, std::abs(exp10), 2);
}

void AppendGeneral(TTextBuf &AOut, double AValue, int AWidth = KGeneralWidth) {
  if (!std::isfinite(AValue)) {
    AOut += QLatin1String("#NUM!");
    return;
  }
  if (AValue == 0) {
    AOut += QLatin1Char('0');
    return;
  }
  const bool negative = AValue < 0;
  if (negative) {
    AOut += QLatin1Char('-');
    --AWidth;
  }
  TDecimal dec = ToDecimal(AValue);
  if (dec.Point > AWidth) {
    AppendGeneralScientific(AOut, dec, AWidth);
    return;
  }
  if (dec.Point >= 1) {
    TDecimal fixed = dec;
    fixed.RoundToDecimals(std::max(0, AWidth - dec.Point - 1));
    if (fixed.Point > AWidth) {
      AppendGeneralScientific(AOut, dec, AWidth);
      return;
    }
    AppendDigits(AOut, fixed, 0, fixed.Point);
    if (fixed.Count > fixed.Point) {
      AOut += QLatin1Char('.');
      AppendDigits(AOut, fixed, fixed.Point, fixed.Count);
    }
    return;
  }
  // Below 1: "0." plus leading zeros plus digits. Down to 0.0001 Excel rounds to fit; smaller
  // numbers stay fixed only when nothing is lost, else they switch to scientific.
  const int maxDecimals = AWidth - 2;
  const int leadingZeros = -dec.Point;
  const bool fitsExactly = leadingZeros + dec.Count <= maxDecimals;
  if (!fitsExactly && (dec.Point <= -4 || leadingZeros >= maxDecimals)) {
    AppendGeneralScientific(AOut, dec, AWidth);
    return;
  }
  TDecimal fixed = dec;
  fixed.RoundToDecimals(maxDecimals);
  if (fixed.IsZero()) {
    AppendGeneralScientific(AOut, dec, AWidth);
    return;
  }
  if (fixed.Point >= 1) {  // rounded up to 1
    AppendDigits(AOut, fixed, 0, fixed.Point);
    return;
  }
  AOut += QLatin1String("0.");
  AppendDigits(AOut, fixed, fixed.Point, fixed.Count);
}

// ------------------------------------------------------------------------------------------------
// Numbers
// ------------------------------------------------------------------------------------------------

// Placeholder with no digit to show: '0' shows a zero, '?' a space, '#' nothing.
void AppendFiller(TTextBuf &AOut, char APlaceholder) {
  if (APlaceholder == '0')
    AOut += QLatin1Char('0');
  else if (APlaceholder == '?')
    AOut += QLatin1Char(' ');
}

// Renders an integer digit string into a run of placeholders: digits fill from the right, the
// leftmost placeholder takes any digits that do not fit, commas group thousands when asked.
class TIntWriter {
public:
  TIntWriter(const TDigits &ADigits, int APlaceholders, bool AGrouping)
      : FDigits(ADigits), FCount(APlaceholders), FGrouping(AGrouping) {}

  void Write(TTextBuf &AOut, char APlaceholder) {
    const int len = FDigits.Len;
    const int fromRight = FCount - 1 - FSeen;  // position of this placeholder from the right
    if (FSeen == 0) {
      for (int i = 0; i < len - FCount; ++i)
        Put(AOut, FDigits.Buf[i], len - 1 - i);
    }
    const int index = len - 1 - fromRight;
    if (index >= 0)
      Put(AOut, FDigits.Buf[index], fromRight);
    else if (APlaceholder == '0')
      Put(AOut, '0', fromRight);
    else if (APlaceholder == '?')
      AOut += QLatin1Char(' ');
    ++FSeen;
  }

  // All digits at once (a point with no integer placeholders before it).
  void WriteAll(TTextBuf &AOut) {
    for (int i = 0; i < FDigits.Len; ++i)
      Put(AOut, FDigits.Buf[i], FDigits.Len - 1 - i);
  }

private:
  void Put(TTextBuf &AOut, char ADigit, int AFromRight) {
    AOut.Add(char16_t(ADigit));
    if (FGrouping && AFromRight > 0 && AFromRight % 3 == 0)
      AOut += QLatin1Char(',');
  }

  const TDigits &FDigits;
  int FCount;
  bool FGrouping;
  int FSeen = 0;
};

void IntegerDigits(const TDecimal &ADec, TDigits &ADigits) {
  ADigits.Len = 0;
  if (ADec.Point <= 0 || ADec.IsZero())
    return;
  ADigits.Len = std::min(ADec.Point, int(sizeof ADigits.Buf));
  for (int i = 0; i < ADigits.Len; ++i)
    ADigits.Buf[i] = ADec.DigitAt(i);
}

void IntegerDigits(long long AValue, TDigits &ADigits) {
  ADigits.Len = 0;
  if (AValue <= 0)
    return;
  auto res = std::to_chars(ADigits.Buf, ADigits.Buf + sizeof ADigits.Buf, AValue);
  ADigits.Len = int(res.ptr - ADigits.Buf);
}

// Best fraction p/q for 0 <= AValue < 1 with q <= AMaxDen (continued fractions, then the best
// semiconvergent), as Excel picks the closest fraction that fits the placeholders.
void ApproximateFraction(double AValue, long long AMaxDen, long long &ANum, long long &ADen) {
  long long p0 = 0, q0 = 1, p1 = 1, q1 = 0;
  double x = AValue;
  for (int iter = 0; iter < 64; ++iter) {
    const double a = std::floor(x);
    if (a > 1e12)
      break;
    const long long ai = static_cast<long long>(a);
    const long long q2 = q0 + ai * q1;
    if (q2 > AMaxDen) {
      // Semiconvergent with the largest allowed step, if it is closer than the last convergent.
      const long long k = q1 > 0 ? (AMaxDen - q0) / q1 : 0;
      const long long ps = p0 + k * p1, qs = q0 + k * q1;
      if (q1 == 0 || (qs > 0 && std::fabs(AValue - double(ps) / double(qs)) <
                                    std::fabs(AValue - double(p1) / double(q1)))) {
        p1 = ps;
        q1 = qs;
      }
      break;
    }
    const long long p2 = p0 + ai * p1;
    p0 = p1;
    q0 = q1;
    p1 = p2;
    q1 = q2;
    const double frac = x - a;
    if (frac < 1e-12)
      break;
    x = 1.0 / frac;
  }
  if (q1 <= 0) {
    ANum = 0;
    ADen = 1;
    return;
  }
  ANum = p1;
  ADen = q1;
}

void WriteFraction(TTextBuf &AOut, const TSection &ASection, double AValue) {
  const bool hasInt = ASection.FracIntDigits > 0;
  // Excel works on the 15-digit value here as well.
  const double value = ToDecimal(AValue).IsZero() ? 0.0 : AValue;
  const double intPart = std::floor(value);
  if (intPart > 1e15) {  // no fraction left to show
    AppendGeneral(AOut, value);
    return;
  }
  const auto whole0 = static_cast<long long>(intPart);
  const double part = value - intPart;
  long long num = 0, den = 1;
  if (ASection.FixedDenominator > 0) {
    den = ASection.FixedDenominator;
    num = std::llround(part * double(den));
  } else {
    long long maxDen = 1;
    for (int i = 0; i < std::min(ASection.DenDigits, 7); ++i)
      maxDen *= 10;
    ApproximateFraction(part, std::max(1LL, maxDen - 1), num, den);
  }
  long long whole = 0;
  if (hasInt) {
    whole = whole0;
    if (num >= den) {
      ++whole;
      num -= den;
    }
  } else {
    num += whole0 * den;  // improper fraction: 5/4
  }
  // A whole number under "# ?/?" shows the integer and blanks where the fraction would be.
  const bool blankFraction = hasInt && num == 0;
  TDigits intDigits, numDigits, denDigits;
  IntegerDigits(whole, intDigits);
  if (blankFraction && whole == 0) {
    intDigits.Buf[0] = '0';
    intDigits.Len = 1;
  }
  if (num > 0 || !hasInt) {
    IntegerDigits(num, numDigits);
    if (numDigits.Len == 0) {
      numDigits.Buf[0] = '0';
      numDigits.Len = 1;
    }
  }
  IntegerDigits(den, denDigits);
  // The fraction proper runs from the first numerator placeholder to the denominator's end.
  size_t fracBegin = ASection.Tokens.size(), fracEnd = 0;
  for (size_t i = 0; i < ASection.Tokens.size(); ++i) {
    const TToken &t = ASection.Tokens[i];
    if (t.Region == TRegion::rgNum || t.Region == TRegion::rgDen || t.Kind == TTokKind::tkDenom) {
      fracBegin = std::min(fracBegin, i);
      fracEnd = i;
    }
  }
  TIntWriter intWriter(intDigits, ASection.FracIntDigits, ASection.Grouping);
  TIntWriter numWriter(numDigits, ASection.NumDigits, false);
  int denSeen = 0;
  for (size_t i = 0; i < ASection.Tokens.size(); ++i) {
    const TToken &t = ASection.Tokens[i];
    if (blankFraction && i >= fracBegin && i <= fracEnd) {
      const int width = t.Kind == TTokKind::tkDenom ? denDigits.Len
                        : t.Kind == TTokKind::tkLiteral ? int(t.Text.size())
                        : t.Kind == TTokKind::tkDigit && t.Ch == '#' ? 0
                                                                     : 1;
      AOut.AddRepeated(u' ', width);
      continue;
    }
    switch (t.Kind) {
    case TTokKind::tkLiteral:
      AOut += t.Text;
      break;
    case TTokKind::tkPercent:
      AOut += QLatin1Char('%');
      break;
    case TTokKind::tkSlash:
      AOut += QLatin1Char('/');
      break;
    case TTokKind::tkDenom:
      AOut.AddLatin1(denDigits.Buf, denDigits.Len);
      break;
    case TTokKind::tkDigit:
      if (t.Region == TRegion::rgFracInt) {
        intWriter.Write(AOut, t.Ch);
      } else if (t.Region == TRegion::rgNum) {
        numWriter.Write(AOut, t.Ch);
      } else if (t.Region == TRegion::rgDen) {
        // Denominator digits are left-aligned; later '?' placeholders pad with spaces.
        if (denSeen == 0)
          AOut.AddLatin1(denDigits.Buf, denDigits.Len);
        else if (denSeen >= denDigits.Len && t.Ch != '#')
          AOut += QLatin1Char(' ');
        ++denSeen;
      }
      break;
    default:
      break;
    }
  }
}

// Walks a fixed or scientific section: integer placeholders take ADec's integer digits, decimal
// placeholders the digits after its point; a scientific section passes its exponent (AExp10 and
// its digits), a fixed one has no exponent tokens.
void WriteDigitTokens(TTextBuf &AOut, const TSection &ASection, const TDecimal &ADec,
                      const TDigits &AIntDigits, const TDigits *AExpDigits = nullptr, int AExp10 = 0) {
  TIntWriter intWriter(AIntDigits, ASection.IntDigits, ASection.Grouping);
  TIntWriter expWriter(AExpDigits ? *AExpDigits : AIntDigits, ASection.ExpDigits, false);
  const int significantDecimals = std::max(0, ADec.Count - ADec.Point);
  int decSeen = 0;
  for (const auto &t : ASection.Tokens) {
    switch (t.Kind) {
    case TTokKind::tkLiteral:
      AOut += t.Text;
      break;
    case TTokKind::tkPercent:
      AOut += QLatin1Char('%');
      break;
    case TTokKind::tkPoint:
      if (ASection.IntDigits == 0)
        intWriter.WriteAll(AOut);
      AOut += QLatin1Char('.');
      break;
    case TTokKind::tkExp:
      AOut += t.Text[0];
      if (AExp10 < 0)
        AOut += QLatin1Char('-');
      else if (t.Ch == '+')
        AOut += QLatin1Char('+');
      break;
    case TTokKind::tkDigit:
      if (t.Region == TRegion::rgInt) {
        intWriter.Write(AOut, t.Ch);
      } else if (t.Region == TRegion::rgDec) {
        if (decSeen < significantDecimals)
          AOut += QLatin1Char(ADec.DigitAt(ADec.Point + decSeen));
        else
          AppendFiller(AOut, t.Ch);
        ++decSeen;
      } else if (t.Region == TRegion::rgExp && AExpDigits) {
        // The exponent always shows at least one digit.
        expWriter.Write(AOut, AExpDigits->Len == 0 && t.Ch == '#' ? '0' : t.Ch);
      }
      break;
    default:
      break;
    }
  }
}

void WriteScientific(TTextBuf &AOut, const TSection &ASection, TDecimal ADec) {
  const int intWidth = ASection.IntDigits;
  auto exponentFor = [&](const TDecimal &ADecimal) {
    if (ADecimal.IsZero())
      return 0;
    if (ASection.EngineeringExp && intWidth > 1) {
      const int p = ADecimal.Point - 1;
      const int q = p >= 0 ? p / intWidth : -((-p + intWidth - 1) / intWidth);
      return q * intWidth;
    }
    return ADecimal.Point - std::max(intWidth, 1);
  };
  int exp10 = exponentFor(ADec);
  TDecimal mantissa = ADec;
  mantissa.RoundToDigits(ADec.Point - exp10 + ASection.DecDigits);
  if (mantissa.Point != ADec.Point) {
    // Rounding carried into a new digit (9.99 -> 10.0): take the exponent again.
    exp10 = exponentFor(mantissa);
    mantissa.RoundToDigits(mantissa.Point - exp10 + ASection.DecDigits);
  }
  mantissa.Point -= exp10;
  if (mantissa.IsZero())
    mantissa.Point = 0;
  TDigits intDigits, expDigits;
  IntegerDigits(mantissa, intDigits);
  IntegerDigits(static_cast<long long>(std::abs(exp10)), expDigits);
  WriteDigitTokens(AOut, ASection, mantissa, intDigits, &expDigits, exp10);
}

void WritePlainNumber(TTextBuf &AOut, const TSection &ASection, TDecimal ADec) {
  ADec.RoundToDecimals(ASection.DecDigits);
  TDigits intDigits;
  IntegerDigits(ADec, intDigits);
  WriteDigitTokens(AOut, ASection, ADec, intDigits);
}

void WriteNumberSection(TTextBuf &AOut, const TSection &ASection, double AValue) {
  if (ASection.Fraction) {
    WriteFraction(AOut, ASection, AValue * std::pow(10.0, ASection.Shift));
    return;
  }
  TDecimal dec = ToDecimal(AValue);
  if (!dec.IsZero())
    dec.Point += ASection.Shift;
  if (ASection.Scientific)
    WriteScientific(AOut, ASection, dec);
  else
    WritePlainNumber(AOut, ASection, dec);
}

void WriteGeneralSection(TTextBuf &AOut, const TSection &ASection, double AValue) {
  for (const auto &t : ASection.Tokens) {
    if (t.Kind == TTokKind::tkGeneral)
      AppendGeneral(AOut, AValue);
    else if (t.Kind == TTokKind::tkLiteral)
      AOut += t.Text;
  }
}

// ------------------------------------------------------------------------------------------------
// Dates and times
// ------------------------------------------------------------------------------------------------

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
long long DaysFromCivil(long long AYear, int AMonth, int ADay) {
  AYear -= AMonth <= 2;
  const long long era = (AYear >= 0 ? AYear : AYear - 399) / 400;
  const long long yoe = AYear - era * 400;
  const long long doy = (153 * (AMonth + (AMonth > 2 ? -3 : 9)) + 2) / 5 + ADay - 1;
  const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(long long ADays, int &AYear, int &AMonth, int &ADay) {
  ADays += 719468;
  const long long era = (ADays >= 0 ? ADays : ADays - 146096) / 146097;
  const long long doe = ADays - era * 146097;
  const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long long mp = (5 * doy + 2) / 153;
  ADay = int(doy - (153 * mp + 2) / 5 + 1);
  AMonth = int(mp < 10 ? mp + 3 : mp - 9);
  AYear = int(yoe + era * 400 + (AMonth <= 2));
}

constexpr long long KMaxSerial1900 = 2958465;  // 9999-12-31
constexpr long long KMaxSerial1904 = 2957003;

// Whole days of a serial to a calendar date, with the 1900 leap-day quirk.
bool SerialDayToDate(long long ADay, bool ADate1904, TExcelDateTime &AResult) {
  if (ADay < 0 || ADay > (ADate1904 ? KMaxSerial1904 : KMaxSerial1900))
    return false;
  if (ADate1904) {
    static const long long base = DaysFromCivil(1904, 1, 1);
    CivilFromDays(base + ADay, AResult.Year, AResult.Month, AResult.Day);
    AResult.DayOfWeek = int((ADay + 5) % 7);  // 1904-01-01 was a Friday
    return true;
  }
  // Serial 1 is 1900-01-01; Excel keeps Lotus 1-2-3's 1900-02-29 as serial 60, so real dates
  // from 1900-03-01 on are counted from 1899-12-30, and serial 0 shows as 1900-01-00.
  if (ADay == 0) {
    AResult.Year = 1900;
    AResult.Month = 1;
    AResult.Day = 0;
  } else if (ADay == 60) {
    AResult.Year = 1900;
    AResult.Month = 2;
    AResult.Day = 29;
  } else {
    static const long long base1 = DaysFromCivil(1899, 12, 31);
    static const long long base2 = DaysFromCivil(1899, 12, 30);
    CivilFromDays((ADay < 60 ? base1 : base2) + ADay, AResult.Year, AResult.Month, AResult.Day);
  }
  AResult.DayOfWeek = int((ADay + 6) % 7);  // Excel's weekday of serial 1 is Sunday
  return true;
}

const char *const KMonthNames[12] = {"January", "February", "March",     "April",
                                     "May",     "June",     "July",      "August",
                                     "September", "October", "November", "December"};
const char *const KDayNames[7] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                  "Thursday", "Friday", "Saturday"};
const char16_t *const KCnDigits[13] = {u"〇", u"一", u"二", u"三", u"四", u"五", u"六",
                                       u"七", u"八", u"九", u"十", u"十一", u"十二"};
const char16_t *const KCnWeekdays[7] = {u"日", u"一", u"二", u"三", u"四", u"五", u"六"};

void AppendHashes(TTextBuf &AOut) {
  // Excel fills the cell with '#' when a date is out of range; we do not know the width.
  AOut += QLatin1String("########");
}

void WriteDateSection(TTextBuf &AOut, const TSection &ASection, double AValue, bool ADate1904) {
  if (AValue < 0 || !std::isfinite(AValue)) {
    AppendHashes(AOut);
    return;
  }
  // Round the time to the precision the code shows (whole seconds unless ".0" etc.); this can
  // carry into the next day, as in Excel.
  long long scale = 1;
  for (int i = 0; i < ASection.SubSecondDigits; ++i)
    scale *= 10;
  const long long unitsPerDay = 86400LL * scale;
  const double dayPart = std::floor(AValue);
  if (dayPart > double(KMaxSerial1900) + 1) {
    AppendHashes(AOut);
    return;
  }
  long long day = static_cast<long long>(dayPart);
  long long units = std::llround((AValue - dayPart) * double(unitsPerDay));
  if (units >= unitsPerDay) {
    ++day;
    units -= unitsPerDay;
  }
  TExcelDateTime dt;
  if (!SerialDayToDate(day, ADate1904, dt)) {
    AppendHashes(AOut);
    return;
  }
  const long long secondsOfDay = units / scale;
  const long long subUnits = units % scale;
  dt.Hour = int(secondsOfDay / 3600);
  dt.Minute = int(secondsOfDay / 60 % 60);
  dt.Second = int(secondsOfDay % 60);
  const long long totalSeconds = day * 86400 + secondsOfDay;

  for (const auto &t : ASection.Tokens) {
    switch (t.Kind) {
    case TTokKind::tkLiteral:
      AOut += t.Text;
      break;
    case TTokKind::tkYear:
      if (t.N == 2)
        AppendInt(AOut, dt.Year % 100, 2);
      else
        AppendInt(AOut, dt.Year, 4);
      break;
    case TTokKind::tkBuddhistYear:
      if (t.N == 2)
        AppendInt(AOut, (dt.Year + 543) % 100, 2);
      else
        AppendInt(AOut, dt.Year + 543, 4);
      break;
    case TTokKind::tkMonth:
      if (t.N <= 2) {
        AppendInt(AOut, dt.Month, t.N);
      } else if (ASection.ChineseNames) {
        if (t.N == 3) {
          AppendInt(AOut, dt.Month);
          AOut += u"月";
        } else if (t.N == 4) {
          AOut += QStringView(KCnDigits[dt.Month]);
          AOut += u"月";
        } else {
          AOut += QStringView(KCnDigits[dt.Month]);
        }
      } else {
        const char *name = KMonthNames[dt.Month - 1];
        AOut += QLatin1String(name, t.N == 3 ? 3 : t.N == 4 ? int(std::strlen(name)) : 1);
      }
      break;
    case TTokKind::tkDay:
      if (t.N <= 2) {
        AppendInt(AOut, dt.Day, t.N);
      } else if (ASection.ChineseNames) {
        AOut += t.N == 3 ? u"周" : u"星期";
        AOut += QStringView(KCnWeekdays[dt.DayOfWeek]);
      } else {
        const char *name = KDayNames[dt.DayOfWeek];
        AOut += QLatin1String(name, t.N == 3 ? 3 : int(std::strlen(name)));
      }
      break;
    case TTokKind::tkWeekCn:
      if (t.N == 4)
        AOut += u"星期";
      AOut += QStringView(KCnWeekdays[dt.DayOfWeek]);
      break;
    case TTokKind::tkHour: {
      int h = dt.Hour;
      if (ASection.TwelveHour) {
        h %= 12;
        if (h == 0)
          h = 12;
      }
      AppendInt(AOut, h, t.N);
      break;
    }
    case TTokKind::tkMinute:
      AppendInt(AOut, dt.Minute, t.N);
      break;
    case TTokKind::tkSecond:
      AppendInt(AOut, dt.Second, t.N);
      break;
    case TTokKind::tkSubSecond: {
      AOut += QLatin1Char('.');
      // subUnits has SubSecondDigits digits; show the first N of them.
      long long v = subUnits;
      for (int i = t.N; i < ASection.SubSecondDigits; ++i)
        v /= 10;
      AppendInt(AOut, v, t.N);
      break;
    }
    case TTokKind::tkElapsedH:
      AppendInt(AOut, totalSeconds / 3600, t.N);
      break;
    case TTokKind::tkElapsedM:
      AppendInt(AOut, totalSeconds / 60, t.N);
      break;
    case TTokKind::tkElapsedS:
      AppendInt(AOut, totalSeconds, t.N);
      break;
    case TTokKind::tkAmPm: {
      const bool pm = dt.Hour >= 12;
      switch (t.Ch) {
      case 'A': AOut += QLatin1String(pm ? "PM" : "AM"); break;
      case 'a': AOut += QLatin1String(pm ? "pm" : "am"); break;
      case 'P': AOut += QLatin1Char(pm ? 'P' : 'A'); break;
      case 'p': AOut += QLatin1Char(pm ? 'p' : 'a'); break;
      default: AOut += pm ? u"下午" : u"上午"; break;
      }
      break;
    }
    default:
      break;
    }
  }
}

// ------------------------------------------------------------------------------------------------
// Sections
// ------------------------------------------------------------------------------------------------

void WriteTextSection(TTextBuf &AOut, const TSection &ASection, const QString &AText) {
  for (const auto &t : ASection.Tokens) {
    if (t.Kind == TTokKind::tkText)
      AOut += AText;
    else if (t.Kind == TTokKind::tkLiteral)
      AOut += t.Text;
    else if (t.Kind != TTokKind::tkNone)
      AOut += t.Text;  // number or date codes mean nothing for text: shown as written
  }
}

// Picks the section for a number. Without conditions: positive (and zero when there are only two
// sections), negative, zero. With conditions, the first two sections are tried in order and the
// third takes the rest. Returns -1 when no section applies.
int ChooseSection(const TParsedFormat &AFormat, double AValue) {
  const int count = AFormat.NumberSections;
  const auto &s = AFormat.Sections;
  const bool conditional = s[0].Cond != TCondOp::coNone || (count > 1 && s[1].Cond != TCondOp::coNone);
  if (!conditional) {
    if (count == 1 || AValue > 0 || (AValue == 0 && count == 2))
      return 0;
    if (AValue < 0)
      return 1;
    return 2;
  }
  auto matches = [&](int AIndex, TCondOp ADefault, double ADefaultValue) {
    const TSection &section = s[size_t(AIndex)];
    if (section.Cond != TCondOp::coNone)
      return section.Matches(AValue);
    TSection probe;
    probe.Cond = ADefault;
    probe.CondValue = ADefaultValue;
    return probe.Matches(AValue);
  };
  if (matches(0, count >= 3 ? TCondOp::coGt : TCondOp::coGe, 0))
    return 0;
  if (count >= 2) {
    if (s[1].Cond == TCondOp::coNone && count == 2)
      return 1;  // "[>100]0;0.00": the second section takes everything else
    if (matches(1, TCondOp::coLt, 0))
      return 1;
  }
  if (count >= 3)
    return 2;
  return -1;
}

// Whether the section a negative number landed in stands for "below zero" and so writes the sign
// itself (as "(0)" or "-0" do) or leaves it out on purpose ("[<0]\"\";0%" hides negatives). That
// is the second section under the standard conditions (none, [>=0] or [>0];[<0]) and the first
// section when its condition is [<0] or [<=0]. Under other conditions ("[>=1000]0,K;0") the value
// keeps its minus sign in every section.
bool SectionWritesOwnSign(const TParsedFormat &AFormat, int AIndex) {
  const TSection &first = AFormat.Sections[0];
  const TCondOp op1 = first.Cond;
  const TCondOp op2 = AFormat.NumberSections > 1 ? AFormat.Sections[1].Cond : TCondOp::coNone;
  const double limit2 = AFormat.NumberSections > 1 ? AFormat.Sections[1].CondValue : 0.0;
  if (first.CondValue != 0 || limit2 != 0)
    return false;
  if (AIndex == 0)
    return (op1 == TCondOp::coLt && (op2 == TCondOp::coGt || op2 == TCondOp::coEq ||
                                     op2 == TCondOp::coGe || op2 == TCondOp::coNone)) ||
           (op1 == TCondOp::coLe && (op2 == TCondOp::coNone || op2 == TCondOp::coGt));
  if (AIndex == 1)
    return (op1 == TCondOp::coGe && (op2 == TCondOp::coNone || op2 == TCondOp::coLt)) ||
           (op1 == TCondOp::coGt && op2 == TCondOp::coLt) ||
           (op1 == TCondOp::coNone && op2 == TCondOp::coNone);
  return false;
}

// Writes the text into AOut and returns the colour of the section used.
TNumberFormatColor FormatParsedNumber(TTextBuf &AOut, const TParsedFormat &AFormat, double AValue,
                                      bool ADate1904) {
  if (AFormat.AllGeneral || AFormat.NumberSections == 0) {
    AppendGeneral(AOut, AValue);
    return {};
  }
  if (!std::isfinite(AValue)) {
    AOut += QLatin1String("#NUM!");
    return {};
  }
  const int index = ChooseSection(AFormat, AValue);
  if (index < 0) {
    AppendHashes(AOut);
    return {};
  }
  const TSection &section = AFormat.Sections[size_t(index)];
  const bool ownSign = SectionWritesOwnSign(AFormat, index);
  const double value = ownSign ? std::fabs(AValue) : AValue;
  switch (section.Kind) {
  case TSectionKind::skDate:
    WriteDateSection(AOut, section, value, ADate1904);
    break;
  case TSectionKind::skText:
    // A text section given for numbers (e.g. "@" alone): numbers show as General.
    AppendGeneral(AOut, value);
    break;
  case TSectionKind::skGeneral:
    WriteGeneralSection(AOut, section, value);
    break;
  case TSectionKind::skNumber:
    if (value < 0)
      AOut += QLatin1Char('-');
    WriteNumberSection(AOut, section, std::fabs(value));
    break;
  }
  return section.Color;
}

} // namespace

// ------------------------------------------------------------------------------------------------
// Public API
// ------------------------------------------------------------------------------------------------

QString BuiltinNumberFormatCode(int AId) {
  // Ids 5-8, 14, 22 and 41-44 depend on the locale; these are the Chinese (zh-CN) forms, as a
  // Chinese Excel shows a file that names the id without giving its code.
  switch (AId) {
  case 0: return QStringLiteral("General");
  case 1: return QStringLiteral("0");
  case 2: return QStringLiteral("0.00");
  case 3: return QStringLiteral("#,##0");
  case 4: return QStringLiteral("#,##0.00");
  case 5: return QStringLiteral("\"¥\"#,##0;\"¥\"\\-#,##0");
  case 6: return QStringLiteral("\"¥\"#,##0;[Red]\"¥\"\\-#,##0");
  case 7: return QStringLiteral("\"¥\"#,##0.00;\"¥\"\\-#,##0.00");
  case 8: return QStringLiteral("\"¥\"#,##0.00;[Red]\"¥\"\\-#,##0.00");
  case 9: return QStringLiteral("0%");
  case 10: return QStringLiteral("0.00%");
  case 11: return QStringLiteral("0.00E+00");
  case 12: return QStringLiteral("# ?/?");
  case 13: return QStringLiteral("# ?\?/??");
  case 14: return QStringLiteral("yyyy/m/d");
  case 15: return QStringLiteral("d-mmm-yy");
  case 16: return QStringLiteral("d-mmm");
  case 17: return QStringLiteral("mmm-yy");
  case 18: return QStringLiteral("h:mm AM/PM");
  case 19: return QStringLiteral("h:mm:ss AM/PM");
  case 20: return QStringLiteral("h:mm");
  case 21: return QStringLiteral("h:mm:ss");
  case 22: return QStringLiteral("yyyy/m/d h:mm");
  case 27: case 36: case 50: case 52: case 57:
    return QStringLiteral("yyyy\"年\"m\"月\"");
  case 28: case 29: case 51: case 53: case 54: case 58:
    return QStringLiteral("m\"月\"d\"日\"");
  case 30: return QStringLiteral("m-d-yy");
  case 31: return QStringLiteral("yyyy\"年\"m\"月\"d\"日\"");
  case 32: return QStringLiteral("h\"时\"mm\"分\"");
  case 33: return QStringLiteral("h\"时\"mm\"分\"ss\"秒\"");
  case 34: case 55: return QStringLiteral("上午/下午h\"时\"mm\"分\"");
  case 35: case 56: return QStringLiteral("上午/下午h\"时\"mm\"分\"ss\"秒\"");
  case 37: return QStringLiteral("#,##0 ;(#,##0)");
  case 38: return QStringLiteral("#,##0 ;[Red](#,##0)");
  case 39: return QStringLiteral("#,##0.00;(#,##0.00)");
  case 40: return QStringLiteral("#,##0.00;[Red](#,##0.00)");
  case 41: return QStringLiteral("_ * #,##0_ ;_ * \\-#,##0_ ;_ * \"-\"_ ;_ @_ ");
  case 42: return QStringLiteral("_ \"¥\"* #,##0_ ;_ \"¥\"* \\-#,##0_ ;_ \"¥\"* \"-\"_ ;_ @_ ");
  case 43: return QStringLiteral("_ * #,##0.00_ ;_ * \\-#,##0.00_ ;_ * \"-\"??_ ;_ @_ ");
  case 44: return QStringLiteral("_ \"¥\"* #,##0.00_ ;_ \"¥\"* \\-#,##0.00_ ;_ \"¥\"* \"-\"??_ ;_ @_ ");
  case 45: return QStringLiteral("mm:ss");
  case 46: return QStringLiteral("[h]:mm:ss");
  case 47: return QStringLiteral("mm:ss.0");
  case 48: return QStringLiteral("##0.0E+0");
  case 49: return QStringLiteral("@");
  default: return QString();
  }
}

TNumberFormatResult FormatNumberValueEx(double AValue, const QString &AFormatCode, bool ADate1904) {
  TTextBuf out;
  TNumberFormatResult result;
  result.Color = FormatParsedNumber(out, GetFormat(AFormatCode), AValue, ADate1904);
  result.Text = out.ToString();
  return result;
}

QString FormatNumberValue(double AValue, const QString &AFormatCode, bool ADate1904) {
  TTextBuf out;
  if (IsGeneralCode(AFormatCode))
    AppendGeneral(out, AValue);
  else
    FormatParsedNumber(out, GetFormat(AFormatCode), AValue, ADate1904);
  return out.ToString();
}

TNumberFormatResult FormatTextValueEx(const QString &AText, const QString &AFormatCode) {
  TNumberFormatResult result;
  if (IsGeneralCode(AFormatCode)) {
    result.Text = AText;
    return result;
  }
  const TParsedFormat &format = GetFormat(AFormatCode);
  if (format.TextSection < 0) {
    result.Text = AText;
    return result;
  }
  const TSection &section = format.Sections[size_t(format.TextSection)];
  result.Color = section.Color;
  TTextBuf out;
  WriteTextSection(out, section, AText);
  result.Text = out.ToString();
  return result;
}

QString FormatTextValue(const QString &AText, const QString &AFormatCode) {
  if (IsGeneralCode(AFormatCode) || AFormatCode == QLatin1String("@"))
    return AText;
  return FormatTextValueEx(AText, AFormatCode).Text;
}

bool IsDateFormatCode(const QString &AFormatCode) {
  if (IsGeneralCode(AFormatCode))
    return false;
  return GetFormat(AFormatCode).IsDate;
}

QString FormatGeneralNumber(double AValue) {
  TTextBuf out;
  AppendGeneral(out, AValue);
  return out.ToString();
}

bool ExcelSerialToDateTime(double ASerial, bool ADate1904, TExcelDateTime &AResult) {
  AResult = TExcelDateTime();
  if (!std::isfinite(ASerial) || ASerial < 0)
    return false;
  const double dayPart = std::floor(ASerial);
  if (dayPart > double(KMaxSerial1900) + 1)
    return false;
  long long day = static_cast<long long>(dayPart);
  // Milliseconds are the finest resolution Excel keeps for a time.
  long long ms = std::llround((ASerial - dayPart) * 86400000.0);
  if (ms >= 86400000LL) {
    ++day;
    ms -= 86400000LL;
  }
  if (!SerialDayToDate(day, ADate1904, AResult))
    return false;
  AResult.Hour = int(ms / 3600000);
  AResult.Minute = int(ms / 60000 % 60);
  AResult.Second = int(ms / 1000 % 60);
  AResult.SubSecond = double(ms % 1000) / 1000.0;
  return true;
}
