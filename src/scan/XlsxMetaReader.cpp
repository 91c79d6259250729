#include "XlsxMetaReader.h"

#include "ZipArchive.h"
#include "core/Errors.h"

#include <QHash>
#include <QtNumeric>
#include <algorithm>
#include <climits>
#include <cmath>
#include <map>
#include <string>

namespace {

using TView = std::string_view;
constexpr size_t KNone = TView::npos;

// Only this much of a worksheet part is looked at for the dimension and the header rows.
constexpr qint64 KSheetPrefixBytes = 1024 * 1024;
// The prefix is inflated in growing steps and parsed after each, so that a sheet whose header
// rows close early costs a few kilobytes of inflating, not a mebibyte.
constexpr qint64 KFirstPrefixStep = 4 * 1024;
// The group column is streamed in chunks of this size.
constexpr qint64 KColumnChunkBytes = 1024 * 1024;
// The shared-string table is read in steps that start small and grow, as the header texts
// usually sit at its very start.
constexpr qint64 KFirstSharedChunkBytes = 8 * 1024;
constexpr qint64 KMaxSharedChunkBytes = 64 * 1024;
// Bounds against hostile packages: a workbook-level part larger than this is unreadable, and a
// single cell or shared-string item that never closes within this much text is rejected instead
// of growing the carry-over without end.
constexpr qint64 KMaxWorkbookPartBytes = 64 * 1024 * 1024;
constexpr qint64 KMaxCarryBytes = 16 * 1024 * 1024;
// Excel's grid. A dimension outside it cannot describe a real sheet; taking it would size the
// header and column arrays by an attacker's number.
constexpr qint64 KMaxColumns = 16384;
constexpr qint64 KMaxRows = 1048576;
// More sheet entries than any real workbook holds: the fast reader declines such a package (the
// full load, with its own bounds, decides) instead of building a record for each.
constexpr size_t KMaxSheetEntries = 65535;

bool IsTagFollow(char AChar) {
  return AChar == '>' || AChar == ' ' || AChar == '/' || AChar == '\t' || AChar == '\n' || AChar == '\r';
}

bool IsBlank(char AChar) { return static_cast<unsigned char>(AChar) <= 32; }

TView Trimmed(TView AText) {
  while (!AText.empty() && IsBlank(AText.front()))
    AText.remove_prefix(1);
  while (!AText.empty() && IsBlank(AText.back()))
    AText.remove_suffix(1);
  return AText;
}

TView View(const QByteArray &ABytes) { return TView(ABytes.constData(), static_cast<size_t>(ABytes.size())); }

// APattern in AText at or after APos.
size_t Find(TView AText, TView APattern, size_t APos = 0) { return AText.find(APattern, APos); }

// Where a tag search ended.
enum class TFind { fFound, fNone, fCut };

// Finds AOpen (such as "<x:row") at or after APos followed by a tag delimiter. fCut means a
// match runs into the end of the text, so a longer text could still make it count.
TFind FindTag(TView AText, size_t APos, TView AOpen, size_t &AAt) {
  while (APos <= AText.size()) {
    const size_t p = Find(AText, AOpen, APos);
    if (p == KNone)
      return TFind::fNone;
    const size_t q = p + AOpen.size();
    if (q >= AText.size()) {
      AAt = p;
      return TFind::fCut;
    }
    if (IsTagFollow(AText[q])) {
      AAt = p;
      return TFind::fFound;
    }
    APos = p + 1;
  }
  return TFind::fNone;
}

// Length of the longest end of AText that is the start of APattern (a match cut by the end).
size_t PartialMatchAtEnd(TView AText, TView APattern) {
  for (size_t k = std::min(AText.size(), APattern.size() - 1); k > 0; --k)
    if (AText.substr(AText.size() - k) == APattern.substr(0, k))
      return k;
  return 0;
}

// Strict decimal integer as the "r" attribute of a row: digits with an optional sign, in range.
bool ParseInt(TView AText, qint64 &AValue) {
  if (AText.empty())
    return false;
  bool neg = false;
  if (AText.front() == '+' || AText.front() == '-') {
    neg = AText.front() == '-';
    AText.remove_prefix(1);
  }
  if (AText.empty() || AText.size() > 18)
    return false;
  qint64 v = 0;
  for (char c : AText) {
    if (c < '0' || c > '9')
      return false;
    v = v * 10 + (c - '0');
  }
  AValue = neg ? -v : v;
  return true;
}

void AppendUtf8(QByteArray &AOut, char32_t ACode) {
  if (ACode < 0x80) {
    AOut += static_cast<char>(ACode);
  } else if (ACode < 0x800) {
    AOut += static_cast<char>(0xC0 | (ACode >> 6));
    AOut += static_cast<char>(0x80 | (ACode & 0x3F));
  } else if (ACode < 0x10000) {
    AOut += static_cast<char>(0xE0 | (ACode >> 12));
    AOut += static_cast<char>(0x80 | ((ACode >> 6) & 0x3F));
    AOut += static_cast<char>(0x80 | (ACode & 0x3F));
  } else {
    AOut += static_cast<char>(0xF0 | (ACode >> 18));
    AOut += static_cast<char>(0x80 | ((ACode >> 12) & 0x3F));
    AOut += static_cast<char>(0x80 | ((ACode >> 6) & 0x3F));
    AOut += static_cast<char>(0x80 | (ACode & 0x3F));
  }
}

// "&#65;" / "&#x41;" at the start of AText: its length and code point, or 0 when it is not one.
size_t NumericReference(TView AText, char32_t &ACode) {
  size_t i = 2;
  const bool hex = AText.size() > 2 && (AText[2] == 'x' || AText[2] == 'X');
  if (hex)
    ++i;
  const size_t start = i;
  quint32 v = 0;
  while (i < AText.size() && i - start <= 8) {
    const char c = AText[i];
    int d = -1;
    if (c >= '0' && c <= '9')
      d = c - '0';
    else if (hex && c >= 'a' && c <= 'f')
      d = c - 'a' + 10;
    else if (hex && c >= 'A' && c <= 'F')
      d = c - 'A' + 10;
    if (d < 0)
      break;
    v = v * (hex ? 16 : 10) + static_cast<quint32>(d);
    ++i;
  }
  if (i == start || i >= AText.size() || AText[i] != ';' || i - start > 8)
    return 0;
  if (v == 0 || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF))
    return 0;
  ACode = v;
  return i + 1;
}

// The element names of one part with the prefix its root element uses ("x:" in packages
// written by some .NET libraries; "" almost everywhere else), spelled out once per part.
struct TTags {
  explicit TTags(const QByteArray &APrefix) : Prefix(APrefix.toStdString()) {}
  std::string Open(const char *AName) const { return "<" + Prefix + AName; }
  std::string Close(const char *AName) const { return "</" + Prefix + AName + ">"; }
  std::string Prefix;
  std::string T = Open("t"), TEnd = Close("t"), Ph = Open("rPh"), PhEnd = Close("rPh");
  std::string V = Open("v>"), VSpace = Open("v "), VEnd = Close("v"), C = Open("c"), CEnd = Close("c");
  std::string Si = Open("si"), SiEnd = Close("si"), Row = Open("row"), RowEnd = Close("row");
};

// Concatenated text of the "<t" elements in AContent (a shared-string item or an inline string),
// entities decoded once at the end. Phonetic runs ("<rPh") are reading aids Excel does not show
// as part of the value, so they are passed over.
QString ConcatTexts(TView AContent, const TTags &ATags) {
  const TView openT = ATags.T, closeT = ATags.TEnd, openPh = ATags.Ph, closePh = ATags.PhEnd;
  QByteArray raw;
  size_t pos = 0;
  // The next phonetic run, searched again only once passed (items with many runs stay linear).
  size_t ph = 0;
  bool phKnown = false;
  for (;;) {
    size_t t = 0;
    if (FindTag(AContent, pos, openT, t) != TFind::fFound)
      break;
    if (!phKnown || (ph != KNone && ph < pos)) {
      if (FindTag(AContent, pos, openPh, ph) != TFind::fFound)
        ph = KNone;
      phKnown = true;
    }
    if (ph != KNone && ph < t) {
      const size_t end = Find(AContent, closePh, ph);
      if (end == KNone)
        break;
      pos = end + closePh.size();
      continue;
    }
    const size_t gt = AContent.find('>', t);
    if (gt == KNone)
      break;
    if (AContent[gt - 1] == '/') {
      pos = gt + 1;
      continue;
    }
    const size_t end = Find(AContent, closeT, gt + 1);
    if (end == KNone) {
      raw.append(AContent.data() + gt + 1, static_cast<qsizetype>(AContent.size() - gt - 1));
      break;
    }
    raw.append(AContent.data() + gt + 1, static_cast<qsizetype>(end - gt - 1));
    pos = end + closeT.size();
  }
  return QString::fromUtf8(XlsxMeta::DecodeXmlEntities(View(raw)));
}

// The raw text of the cell's "<v>" element (entities not yet decoded).
TView CellRawValue(TView AContent, const TTags &ATags) {
  size_t p = Find(AContent, ATags.V);
  if (p != KNone) {
    p += ATags.V.size();
    const size_t e = Find(AContent, ATags.VEnd, p);
    return AContent.substr(p, e == KNone ? KNone : e - p);
  }
  p = Find(AContent, ATags.VSpace);
  if (p == KNone)
    return TView();
  const size_t gt = AContent.find('>', p);
  if (gt == KNone || AContent[gt - 1] == '/')
    return TView();
  const size_t e = Find(AContent, ATags.VEnd, gt + 1);
  return e == KNone ? TView() : AContent.substr(gt + 1, e - gt - 1);
}

XlsxMeta::TCellValue CellValue(TView ATag, TView AContent, const TTags &ATags) {
  XlsxMeta::TCellValue r;
  const QByteArray type = XlsxMeta::GetXmlAttr(ATag, "t");
  if (type == "inlineStr") {
    r.Text = ConcatTexts(AContent, ATags);
    return r;
  }
  const QByteArray value = XlsxMeta::DecodeXmlEntities(CellRawValue(AContent, ATags));
  if (type == "s") {
    qint64 index = -1;
    if (ParseInt(Trimmed(View(value)), index) && index >= 0)
      r.SharedIndex = index;
  } else if (type == "b" && value == "1") {
    r.Text = QStringLiteral("TRUE");
  } else if (type == "b" && value == "0") {
    r.Text = QStringLiteral("FALSE");
  } else {
    r.Text = QString::fromUtf8(value);
  }
  return r;
}

// Header texts whose shared-string lookup is deferred until all sheets are read, keyed by
// (row, slot); any later write to the slot drops the pending lookup.
using TPendingHeader = XlsxMeta::TPendingShared;

void ParseRowCells(TView ARow, int ARowIndex, TXlsxSheetMeta &AMeta, const TTags &ATags, TPendingHeader &APending) {
  const TView openC = ATags.C, closeC = ATags.CEnd;
  const qint64 width = static_cast<qint64>(AMeta.DimRight) - AMeta.DimLeft + 1;
  QStringList &texts = AMeta.HeaderTexts[static_cast<size_t>(ARowIndex)];
  qint64 running = static_cast<qint64>(AMeta.DimLeft) - 1;
  size_t pos = 0;
  for (;;) {
    size_t c = 0;
    if (FindTag(ARow, pos, openC, c) != TFind::fFound)
      break;
    const size_t gt = ARow.find('>', c);
    if (gt == KNone)
      break;
    const TView tag = ARow.substr(c, gt - c + 1);
    const QByteArray ref = XlsxMeta::GetXmlAttr(tag, "r");
    int col = 0, row = 0;
    running = (!ref.isEmpty() && XlsxMeta::ParseCellRef(View(ref), col, row)) ? col : running + 1;
    const qint64 slot = running - AMeta.DimLeft;
    const bool inRow = slot >= 0 && slot < width;
    const auto key = std::make_pair(ARowIndex, static_cast<int>(slot));
    if (ARow[gt - 1] == '/') {
      if (inRow) {
        texts[slot] = QString();
        APending.erase(key);
      }
      pos = gt + 1;
      continue;
    }
    const size_t end = Find(ARow, closeC, gt + 1);
    const TView content = ARow.substr(gt + 1, end == KNone ? KNone : end - gt - 1);
    if (inRow) {
      XlsxMeta::TCellValue v = CellValue(tag, content, ATags);
      texts[slot] = v.Text;
      if (v.SharedIndex >= 0)
        APending[key] = v.SharedIndex;
      else
        APending.erase(key);
    }
    if (end == KNone)
      break;
    pos = end + closeC.size();
  }
}

// Walks the "<si" items of a shared-string part held in ABuf, from APos on, numbering them from
// AItemIndex. AOnItem(index, content, selfClosing) returns false to stop. Returns the position
// from which the text must be kept for the next round (ABuf.size() when nothing is pending);
// AEnded is set when the item list ended (no more items can follow, or the caller stopped).
template <typename TOnItem>
size_t ScanSharedItems(TView ABuf, bool ALast, const TTags &ATags, qint64 &AItemIndex, bool &AEnded, TOnItem AOnItem) {
  const TView openSi = ATags.Si, closeSi = ATags.SiEnd;
  size_t pos = 0;
  AEnded = false;
  for (;;) {
    size_t s = 0;
    const TFind f = FindTag(ABuf, pos, openSi, s);
    if (f == TFind::fNone) {
      if (ALast)
        AEnded = true;
      return ALast ? ABuf.size() : ABuf.size() - PartialMatchAtEnd(ABuf.substr(pos), openSi);
    }
    if (f == TFind::fCut) {
      AEnded = ALast;
      return ALast ? ABuf.size() : s;
    }
    const size_t gt = ABuf.find('>', s);
    if (gt == KNone) {
      AEnded = ALast;
      return ALast ? ABuf.size() : s;
    }
    if (ABuf[gt - 1] == '/') {
      if (!AOnItem(AItemIndex++, TView(), true)) {
        AEnded = true;
        return ABuf.size();
      }
      pos = gt + 1;
      continue;
    }
    const size_t end = Find(ABuf, closeSi, gt + 1);
    if (end == KNone) {
      // An item that never closes ends the list.
      AEnded = ALast;
      return ALast ? ABuf.size() : s;
    }
    if (!AOnItem(AItemIndex++, ABuf.substr(gt + 1, end - gt - 1), false)) {
      AEnded = true;
      return ABuf.size();
    }
    pos = end + closeSi.size();
  }
}

// Shared-string lookups collected from every sheet, answered in one streaming pass that stops
// after the highest index wanted, so a large string table is read only as far as needed.
class TSharedLookups {
public:
  void Want(qint64 AIndex) { FWanted.insert(AIndex, QString()); }
  bool Empty() const { return FWanted.isEmpty(); }
  // Texts for indexes past the table's end (or without a table) stay empty.
  void Resolve(TZipArchive &AArchive) {
    const qint64 member = AArchive.IndexOf("xl/sharedStrings.xml");
    if (FWanted.isEmpty() || member < 0)
      return;
    std::unique_ptr<TZipMemberStream> stream;
    try {
      stream = AArchive.OpenStream(member);
    } catch (const TTabulyxError &) {
      return; // unreadable table: every lookup gives an empty text
    }
    // Items arrive in index order: walk the sorted wanted indexes alongside them.
    std::vector<qint64> order;
    order.reserve(static_cast<size_t>(FWanted.size()));
    for (auto it = FWanted.cbegin(); it != FWanted.cend(); ++it)
      order.push_back(it.key());
    std::sort(order.begin(), order.end());
    const qint64 maxWanted = order.back();
    size_t next = 0;
    QByteArray buf;
    qint64 itemIndex = 0;
    std::unique_ptr<TTags> tags;
    qint64 chunk = KFirstSharedChunkBytes;
    for (;;) {
      bool last = false;
      try {
        last = stream->Read(buf, chunk) == 0;
        chunk = std::min(chunk * 2, KMaxSharedChunkBytes);
      } catch (const TTabulyxError &) {
        FWanted.clear(); // the table could not be read
        return;
      }
      if (!tags) {
        if (!last && buf.size() < 256)
          continue;
        tags = std::make_unique<TTags>(XlsxMeta::RootPrefix(View(buf)));
      }
      bool ended = false;
      const size_t keep = ScanSharedItems(View(buf), last, *tags, itemIndex, ended,
                                          [&](qint64 AIndex, TView AContent, bool ASelfClosing) {
                                            if (AIndex == order[next]) {
                                              ++next;
                                              if (!ASelfClosing)
                                                FWanted[AIndex] = ConcatTexts(AContent, *tags);
                                            }
                                            return AIndex < maxWanted;
                                          });
      if (ended || last)
        return;
      buf.remove(0, static_cast<qsizetype>(keep));
      if (buf.size() > KMaxCarryBytes)
        throw TFileFormatError(QStringLiteral("共享字符串表的条目过大"));
    }
  }
  QString Text(qint64 AIndex) const { return FWanted.value(AIndex); }

private:
  QHash<qint64, QString> FWanted;
};

// Reads as much of the first MiB of a worksheet part as the dimension and header rows need.
void ReadSheetPrefix(TZipArchive &AArchive, qint64 AMember, int AHeaderRows, TXlsxSheetMeta &AMeta,
                     TPendingHeader &APending) {
  std::unique_ptr<TZipMemberStream> stream = AArchive.OpenStream(AMember);
  QByteArray buf;
  qint64 step = KFirstPrefixStep;
  for (;;) {
    const qint64 want = std::min(step, KSheetPrefixBytes) - buf.size();
    const qint64 got = stream->Read(buf, want);
    const bool complete = got < want || buf.size() >= KSheetPrefixBytes;
    APending.clear();
    if (XlsxMeta::ParseSheetHeader(View(buf), complete, AHeaderRows, AMeta, APending))
      return;
    step *= 4;
  }
}

// Streams one column of a worksheet part, rows AFirstRow..ALastRow (zero-based), in chunks of
// 1 MiB with a small carry-over, stopping at the first cell past ALastRow.
bool ReadXlsxColumnValues(TZipArchive &AArchive, qint64 AMember, int AColumn, const TXlsxProgressCallback &AProgress,
                          int AFirstRow, int ALastRow, QStringList &ATexts, std::vector<qint64> &AShared) {
  ATexts.clear();
  AShared.clear();
  const qint64 count = static_cast<qint64>(ALastRow) - AFirstRow + 1;
  if (count < 1)
    return true;
  ATexts.reserve(count);
  for (qint64 i = 0; i < count; ++i)
    ATexts.append(QString());
  if (AMember < 0)
    return false;
  std::unique_ptr<TZipMemberStream> stream;
  try {
    stream = AArchive.OpenStream(AMember);
  } catch (const TTabulyxError &) {
    return false;
  }
  const double total = stream->Size() == 0 ? 1.0 : static_cast<double>(stream->Size());
  qint64 done = 0;
  QByteArray buf;
  std::unique_ptr<TTags> tags;
  TView openC, closeC;
  for (;;) {
    const qint64 got = stream->Read(buf, KColumnChunkBytes);
    const bool last = got == 0;
    if (buf.isEmpty())
      break;
    done += got;
    if (!tags) {
      tags = std::make_unique<TTags>(XlsxMeta::RootPrefix(View(buf)));
      openC = tags->C;
      closeC = tags->CEnd;
    }
    const TView text = View(buf);
    size_t pos = 0;
    size_t keepFrom = text.size();
    bool stop = false;
    for (;;) {
      size_t c = 0;
      const TFind f = FindTag(text, pos, openC, c);
      if (f == TFind::fNone) {
        if (!last)
          keepFrom = text.size() - PartialMatchAtEnd(text.substr(pos), openC);
        break;
      }
      const size_t gt = f == TFind::fFound ? text.find('>', c) : KNone;
      if (gt == KNone) {
        if (!last)
          keepFrom = c;
        break;
      }
      const TView tag = text.substr(c, gt - c + 1);
      pos = gt + 1;
      const QByteArray ref = XlsxMeta::GetXmlAttr(tag, "r");
      int col = 0, row = 0;
      if (ref.isEmpty() || !XlsxMeta::ParseCellRef(View(ref), col, row))
        continue;
      if (row > ALastRow) {
        stop = true;
        break;
      }
      if (col != AColumn || row < AFirstRow || text[gt - 1] == '/')
        continue;
      const size_t end = Find(text, closeC, gt + 1);
      if (end == KNone && !last) {
        keepFrom = c;
        break;
      }
      const TView content = text.substr(gt + 1, end == KNone ? KNone : end - gt - 1);
      const XlsxMeta::TCellValue v = CellValue(tag, content, *tags);
      const qint64 slot = static_cast<qint64>(row) - AFirstRow;
      ATexts[slot] = v.Text;
      if (v.SharedIndex >= 0 || !AShared.empty()) {
        if (AShared.empty())
          AShared.assign(static_cast<size_t>(count), -1);
        AShared[static_cast<size_t>(slot)] = v.SharedIndex;
      }
      if (end == KNone)
        break;
      pos = end + closeC.size();
    }
    if (stop || last)
      break;
    buf.remove(0, static_cast<qsizetype>(keepFrom));
    if (buf.size() > KMaxCarryBytes)
      throw TFileFormatError(QStringLiteral("工作表中的单元格过大"));
    if (AProgress)
      AProgress(static_cast<int>(std::nearbyint(static_cast<double>(done) * 100.0 / total)));
  }
  return true;
}

// The member a workbook relationship points at: "xl/" + target, or an absolute "/xl/..." without
// its slash; "." and ".." segments are resolved as package names are, so that a target like
// "../xl/worksheets/sheet1.xml" finds its part instead of leaving the sheet empty.
QByteArray ResolveTarget(const QByteArray &ATarget) {
  if (ATarget.isEmpty())
    return QByteArrayLiteral("xl/");
  const QByteArray joined = ATarget.startsWith('/') ? ATarget.mid(1) : "xl/" + ATarget;
  if (!joined.contains("./"))
    return joined;
  QList<QByteArray> parts;
  for (const QByteArray &segment : joined.split('/')) {
    if (segment == "..") {
      if (!parts.isEmpty())
        parts.removeLast();
    } else if (segment != ".") {
      parts << segment;
    }
  }
  return parts.join('/');
}

QString KindOfType(const QByteArray &AType) {
  const qsizetype slash = AType.lastIndexOf('/');
  return QString::fromUtf8(slash < 0 ? AType : AType.mid(slash + 1));
}

} // namespace

namespace XlsxMeta {

bool ParseCellRef(TView AText, int &ACol, int &ARow) {
  qint64 col = 0, row = 0;
  bool digits = false;
  for (char c : AText) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
      if (digits)
        return false;
      const int letter = (c >= 'a' ? c - 'a' : c - 'A') + 1;
      if (qMulOverflow(col, qint64(26), &col) || qAddOverflow(col, qint64(letter), &col))
        throw TFileFormatError(QStringLiteral("单元格引用的列号溢出"));
    } else if (c >= '0' && c <= '9') {
      digits = true;
      if (qMulOverflow(row, qint64(10), &row) || qAddOverflow(row, qint64(c - '0'), &row))
        throw TFileFormatError(QStringLiteral("单元格引用的行号溢出"));
    } else {
      return false;
    }
  }
  if (!digits || col == 0 || row == 0)
    return false;
  if (col - 1 > INT_MAX || row - 1 > INT_MAX)
    throw TFileFormatError(QStringLiteral("单元格引用超出范围"));
  ACol = static_cast<int>(col - 1);
  ARow = static_cast<int>(row - 1);
  return true;
}

QByteArray GetXmlAttr(TView ATag, TView AName) {
  static const char KSeparators[] = {' ', '\t', '\n', '\r'};
  std::string needle;
  needle.reserve(AName.size() + 2);
  for (char sep : KSeparators) {
    needle.assign(1, sep);
    needle.append(AName);
    needle += '=';
    const size_t p = ATag.find(needle);
    if (p == KNone)
      continue;
    const size_t q = p + needle.size();
    if (q >= ATag.size() || (ATag[q] != '"' && ATag[q] != '\''))
      return QByteArray();
    const size_t e = ATag.find(ATag[q], q + 1);
    if (e == KNone)
      return QByteArray();
    return DecodeXmlEntities(ATag.substr(q + 1, e - q - 1));
  }
  return QByteArray();
}

QByteArray DecodeXmlEntities(TView AText) {
  size_t amp = AText.find('&');
  if (amp == KNone)
    return QByteArray(AText.data(), static_cast<qsizetype>(AText.size()));
  QByteArray out;
  out.reserve(static_cast<qsizetype>(AText.size()));
  size_t from = 0;
  while (amp != KNone) {
    out.append(AText.data() + from, static_cast<qsizetype>(amp - from));
    const TView rest = AText.substr(amp);
    size_t used = 0;
    char32_t code = 0;
    if (rest.starts_with("&lt;")) {
      out += '<';
      used = 4;
    } else if (rest.starts_with("&gt;")) {
      out += '>';
      used = 4;
    } else if (rest.starts_with("&quot;")) {
      out += '"';
      used = 6;
    } else if (rest.starts_with("&apos;")) {
      out += '\'';
      used = 6;
    } else if (rest.starts_with("&amp;")) {
      out += '&';
      used = 5;
    } else if (rest.starts_with("&#") && (used = NumericReference(rest, code)) > 0) {
      AppendUtf8(out, code);
    } else {
      out += '&';
      used = 1;
    }
    from = amp + used;
    amp = AText.find('&', from);
  }
  out.append(AText.data() + from, static_cast<qsizetype>(AText.size() - from));
  return out;
}

QByteArray RootPrefix(TView AText) {
  size_t pos = 0;
  for (;;) {
    const size_t lt = AText.find('<', pos);
    if (lt == KNone || lt + 1 >= AText.size())
      return QByteArray();
    const char first = AText[lt + 1];
    if (first == '?' || first == '!' || first == '/') {
      pos = lt + 1;
      continue;
    }
    size_t end = lt + 1;
    while (end < AText.size() && !IsTagFollow(AText[end]))
      ++end;
    const TView name = AText.substr(lt + 1, end - lt - 1);
    const size_t colon = name.find(':');
    return colon == KNone ? QByteArray() : QByteArray(name.data(), static_cast<qsizetype>(colon + 1));
  }
}

std::vector<TSheetEntry> ParseWorkbookSheets(TView AText) {
  std::vector<TSheetEntry> entries;
  const TTags tags(RootPrefix(AText));
  size_t at = 0;
  if (FindTag(AText, 0, tags.Open("sheets"), at) != TFind::fFound)
    return entries;
  const size_t gt = AText.find('>', at);
  if (gt == KNone || AText[gt - 1] == '/')
    return entries;
  const size_t regionEnd = Find(AText, tags.Close("sheets"), gt + 1);
  if (regionEnd == KNone)
    return entries;
  const TView region = AText.substr(gt + 1, regionEnd - gt - 1);
  const std::string openSheet = tags.Open("sheet");
  size_t pos = 0;
  for (;;) {
    size_t s = 0;
    if (FindTag(region, pos, openSheet, s) != TFind::fFound)
      break;
    const size_t e = region.find('>', s);
    if (e == KNone)
      break;
    const TView tag = region.substr(s, e - s + 1);
    TSheetEntry entry;
    entry.Name = QString::fromUtf8(GetXmlAttr(tag, "name"));
    entry.State = QString::fromUtf8(GetXmlAttr(tag, "state"));
    QByteArray rid = GetXmlAttr(tag, "r:id");
    if (rid.isEmpty())
      rid = GetXmlAttr(tag, "id");
    entry.RId = QString::fromUtf8(rid);
    entries.push_back(std::move(entry));
    pos = e + 1;
  }
  return entries;
}

std::vector<TSheetRel> ParseWorkbookRels(TView AText) {
  std::vector<TSheetRel> rels;
  const std::string open = TTags(RootPrefix(AText)).Open("Relationship");
  size_t pos = 0;
  for (;;) {
    const size_t s = Find(AText, open, pos);
    if (s == KNone)
      break;
    const size_t e = AText.find('>', s);
    if (e == KNone)
      break;
    const TView tag = AText.substr(s, e - s + 1);
    TSheetRel rel{GetXmlAttr(tag, "Id"), GetXmlAttr(tag, "Target"), GetXmlAttr(tag, "Type")};
    if (!rel.Id.isEmpty() && !rel.Target.isEmpty())
      rels.push_back(std::move(rel));
    pos = e + 1;
  }
  return rels;
}

QStringList ParseSharedStrings(TView AText) {
  QStringList list;
  const TTags tags(RootPrefix(AText));
  qint64 index = 0;
  bool ended = false;
  ScanSharedItems(AText, true, tags, index, ended, [&](qint64, TView AContent, bool ASelfClosing) {
    list.append(ASelfClosing ? QString() : ConcatTexts(AContent, tags));
    return true;
  });
  return list;
}

bool ParseSheetHeader(TView AText, bool AComplete, int AHeaderRows, TXlsxSheetMeta &AMeta, TPendingShared &APending) {
  AMeta.DimensionRef.clear();
  AMeta.DimLeft = 0;
  AMeta.DimTop = 0;
  AMeta.DimRight = -1;
  AMeta.DimBottom = -1;
  AMeta.IsEmptySheet = true;
  AMeta.HeaderTexts.clear();
  APending.clear();

  const TTags tags(RootPrefix(AText));
  const size_t dim = Find(AText, tags.Open("dimension"));
  const size_t dimEnd = dim == KNone ? KNone : AText.find('>', dim);
  if (dimEnd == KNone)
    return AComplete; // no dimension: an empty sheet, once the whole prefix has been seen
  const TView dimTag = AText.substr(dim, dimEnd - dim + 1);
  const QByteArray ref = GetXmlAttr(dimTag, "ref");
  AMeta.DimensionRef = QString::fromUtf8(ref);
  const qsizetype colon = ref.indexOf(':');
  const QByteArray first = colon < 0 ? ref : ref.left(colon);
  const QByteArray second = colon < 0 ? ref : ref.mid(colon + 1);
  int left = 0, top = 0, right = 0, bottom = 0;
  if (!ParseCellRef(View(first), left, top) || !ParseCellRef(View(second), right, bottom))
    return true;
  if (std::max(left, right) >= KMaxColumns || std::max(top, bottom) >= KMaxRows)
    return true;
  AMeta.DimLeft = left;
  AMeta.DimTop = top;
  AMeta.DimRight = right;
  AMeta.DimBottom = bottom;
  AMeta.IsEmptySheet = right < left || bottom < top;
  if (AMeta.IsEmptySheet)
    return true;
  const int width = right - left + 1;
  const int headerRows = std::max(1, AHeaderRows);
  AMeta.HeaderTexts.assign(static_cast<size_t>(headerRows), QStringList());
  for (QStringList &row : AMeta.HeaderTexts)
    row.resize(width);

  const size_t data = Find(AText, tags.Open("sheetData"));
  const size_t dataEnd = data == KNone ? KNone : AText.find('>', data);
  if (dataEnd == KNone)
    return AComplete;
  if (AText[dataEnd - 1] == '/')
    return true;

  const TView openRow = tags.Row, closeRow = tags.RowEnd;
  qint64 rowNumber = 0;
  size_t pos = dataEnd + 1;
  for (;;) {
    size_t r = 0;
    const TFind f = FindTag(AText, pos, openRow, r);
    if (f != TFind::fFound)
      return AComplete;
    const size_t gt = AText.find('>', r);
    if (gt == KNone)
      return AComplete;
    qint64 attr = 0;
    const QByteArray rowAttr = GetXmlAttr(AText.substr(r, gt - r + 1), "r");
    rowNumber = (ParseInt(View(rowAttr), attr) && attr > 0 && attr <= INT_MAX) ? attr : rowNumber + 1;
    if (rowNumber > headerRows)
      return true;
    if (AText[gt - 1] == '/') {
      pos = gt + 1;
      continue;
    }
    const size_t end = Find(AText, closeRow, gt + 1);
    if (end == KNone && !AComplete)
      return false;
    ParseRowCells(AText.substr(gt + 1, end == KNone ? KNone : end - gt - 1), static_cast<int>(rowNumber - 1), AMeta,
                  tags, APending);
    if (end == KNone)
      return true;
    pos = end + closeRow.size();
  }
}

} // namespace XlsxMeta

bool ReadXlsxSheetMetasFromArchive(TZipArchive &AArchive, int AHeaderRows, int &ASheetCount,
                                   const TXlsxProgressCallback &AProgress, int AGroupCol,
                                   std::vector<std::unique_ptr<TXlsxSheetMeta>> &AResult) {
  AResult.clear();
  ASheetCount = 0;
  const int headerRowsRead = std::max(1, AHeaderRows);

  QByteArray workbook;
  if (!AArchive.ReadAll(AArchive.IndexOf("xl/workbook.xml"), workbook, KMaxWorkbookPartBytes))
    return false;
  const std::vector<XlsxMeta::TSheetEntry> entries = XlsxMeta::ParseWorkbookSheets(View(workbook));
  if (entries.size() > KMaxSheetEntries)
    return false;
  ASheetCount = static_cast<int>(entries.size());
  if (entries.empty())
    return true;

  QByteArray relsText;
  if (!AArchive.ReadAll(AArchive.IndexOf("xl/_rels/workbook.xml.rels"), relsText, KMaxWorkbookPartBytes))
    return false;
  QHash<QString, QByteArray> targets; // worksheet relationships only
  QHash<QString, QString> kinds;
  for (const XlsxMeta::TSheetRel &rel : XlsxMeta::ParseWorkbookRels(View(relsText))) {
    const QString id = QString::fromUtf8(rel.Id);
    if (rel.Type.contains("worksheet")) {
      targets.insert(id, rel.Target);
      kinds.insert(id, KindOfType(rel.Type));
    } else if (!targets.contains(id)) {
      kinds.insert(id, KindOfType(rel.Type));
    }
  }

  TSharedLookups shared;
  std::vector<XlsxMeta::TPendingShared> headerShared(entries.size());
  std::vector<std::vector<qint64>> groupShared(entries.size());
  for (size_t i = 0; i < entries.size(); ++i) {
    auto meta = std::make_unique<TXlsxSheetMeta>();
    const XlsxMeta::TSheetEntry &entry = entries[i];
    meta->SheetIndex = static_cast<int>(i);
    meta->SheetName = entry.Name;
    meta->SheetState = entry.State;
    meta->IsHidden = entry.State.compare(QLatin1String("hidden"), Qt::CaseInsensitive) == 0 ||
                     entry.State.compare(QLatin1String("veryHidden"), Qt::CaseInsensitive) == 0;
    meta->SheetKind = kinds.value(entry.RId);
    try {
      const auto target = targets.constFind(entry.RId);
      const qint64 member = target == targets.cend() ? -1 : AArchive.IndexOf(ResolveTarget(*target).constData());
      if (member >= 0) {
        ReadSheetPrefix(AArchive, member, headerRowsRead, *meta, headerShared[i]);
        if (AGroupCol >= 0 && !meta->IsEmptySheet && meta->DimLeft <= AGroupCol && AGroupCol <= meta->DimRight &&
            static_cast<qint64>(meta->DimBottom) >= static_cast<qint64>(meta->DimTop) + AHeaderRows) {
          if (!ReadXlsxColumnValues(AArchive, member, AGroupCol, AProgress, meta->DimTop + AHeaderRows, meta->DimBottom,
                                    meta->GroupColTexts, groupShared[i]))
            meta->GroupColTexts.clear();
        }
      } else {
        meta->IsEmptySheet = true;
      }
    } catch (const std::exception &) {
      meta->IsEmptySheet = true;
      headerShared[i].clear();
      groupShared[i].clear();
    }
    AResult.push_back(std::move(meta));
  }

  // Shared strings last: only the indexes the header rows and group columns refer to are looked
  // up, and the table is read no further than the highest of them.
  for (size_t i = 0; i < entries.size(); ++i) {
    for (const auto &[slot, index] : headerShared[i])
      shared.Want(index);
    for (qint64 index : groupShared[i])
      if (index >= 0)
        shared.Want(index);
  }
  if (shared.Empty())
    return true;
  shared.Resolve(AArchive);
  for (size_t i = 0; i < entries.size(); ++i) {
    TXlsxSheetMeta &meta = *AResult[i];
    for (const auto &[slot, index] : headerShared[i])
      meta.HeaderTexts[static_cast<size_t>(slot.first)][slot.second] = shared.Text(index);
    for (size_t k = 0; k < groupShared[i].size() && k < static_cast<size_t>(meta.GroupColTexts.size()); ++k)
      if (groupShared[i][k] >= 0)
        meta.GroupColTexts[static_cast<qsizetype>(k)] = shared.Text(groupShared[i][k]);
  }
  return true;
}

bool ReadXlsxSheetMetas(const QString &AFileName, int AHeaderRows, int &ASheetCount,
                        const TXlsxProgressCallback &AProgress, int AGroupCol,
                        std::vector<std::unique_ptr<TXlsxSheetMeta>> &AResult) {
  AResult.clear();
  ASheetCount = 0;
  // A missing file or a directory fails to open and is declined here like any unreadable one.
  TZipArchive archive;
  try {
    archive.Open(AFileName);
  } catch (const TTabulyxError &) {
    return false;
  }
  return ReadXlsxSheetMetasFromArchive(archive, AHeaderRows, ASheetCount, AProgress, AGroupCol, AResult);
}
