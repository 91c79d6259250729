// Worksheet parts: the streaming reader (cells go straight into the compact store, elements the
// model does not own are kept as raw XML in their position) and the streaming writer.

#include "sheet/xlsx/XlsxParts.h"

#include "core/Errors.h"
#include "sheet/Workbook.h"
#include "sheet/xlsx/XlsxXml.h"

#include <QDateTime>
#include <QTimeZone>
#include <QHash>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <functional>
#include <string>

namespace {

// ---------------------------------------------------------------- small parsers

bool ParseInt(const char *A, long long &AOut) {
  if (!A) return false;
  while (*A == ' ') ++A;
  const char *end = A + std::strlen(A);
  const auto r = std::from_chars(A, end, AOut);
  return r.ec == std::errc() && r.ptr > A;
}

int IntAttr(const char *A, int ADefault) {
  long long v;
  return ParseInt(A, v) ? int(std::clamp<long long>(v, INT_MIN, INT_MAX)) : ADefault;
}

bool ParseDouble(const char *A, size_t ALen, double &AOut) {
  const char *p = A, *end = A + ALen;
  while (p < end && (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r')) ++p;
  while (end > p && (end[-1] == ' ' || end[-1] == '\t' || end[-1] == '\n' || end[-1] == '\r')) --end;
  if (p < end && *p == '+') ++p;
  const auto r = std::from_chars(p, end, AOut);
  return r.ec == std::errc() && r.ptr == end && p < end && std::isfinite(AOut);
}

bool BoolAttr(const char *A, bool ADefault = false) {
  if (!A) return ADefault;
  return std::strcmp(A, "1") == 0 || std::strcmp(A, "true") == 0;
}

// "AB12" -> zero-based row/col. ARow/ACol are -1 when the part is missing.
bool ParseCellName(const char *A, int &ARow, int &ACol) {
  int col = 0, letters = 0;
  const char *p = A;
  if (*p == '$') ++p;
  for (; (*p >= 'A' && *p <= 'Z') || (*p >= 'a' && *p <= 'z'); ++p) {
    col = col * 26 + ((*p & ~0x20) - 'A' + 1);
    if (++letters > 3) return false;
  }
  if (*p == '$') ++p;
  long long row = 0;
  int digits = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    row = row * 10 + (*p - '0');
    if (++digits > 9) return false;
  }
  if (*p != 0 || (letters == 0 && digits == 0)) return false;
  ACol = letters ? col - 1 : -1;
  ARow = digits ? int(qMin<long long>(row, INT_MAX)) - 1 : -1;
  return true;
}

// ISO 8601 date/time text of a t="d" cell -> serial number of the workbook's date system.
bool IsoToSerial(const QString &AText, bool ADate1904, double &ASerial) {
  QDateTime dt = QDateTime::fromString(AText, Qt::ISODateWithMs);
  if (!dt.isValid()) {
    const QTime t = QTime::fromString(AText, Qt::ISODateWithMs);
    if (!t.isValid()) return false;
    ASerial = t.msecsSinceStartOfDay() / 86400000.0;
    return true;
  }
  dt.setTimeSpec(Qt::UTC);
  const QDate epoch = ADate1904 ? QDate(1904, 1, 1) : QDate(1899, 12, 30);
  double days = double(epoch.daysTo(dt.date())) + dt.time().msecsSinceStartOfDay() / 86400000.0;
  // Excel's serials count the phantom 1900-02-29, so dates before March 1900 are one less.
  if (!ADate1904 && dt.date() < QDate(1900, 3, 1)) days -= 1;
  ASerial = days;
  return true;
}

// ---------------------------------------------------------------- formula rows

bool IsIdentByte(char A) {
  const auto u = static_cast<unsigned char>(A);
  return (A >= 'a' && A <= 'z') || (A >= 'A' && A <= 'Z') || (A >= '0' && A <= '9') || A == '_' ||
         A == '.' || A == '\\' || u >= 0x80;
}
bool IsDigitByte(char A) { return A >= '0' && A <= '9'; }
bool IsLetterByte(char A) { return (A >= 'a' && A <= 'z') || (A >= 'A' && A <= 'Z'); }

// True when ACur is exactly what ShiftFormulaReferences makes of APrev one row further down:
// every relative row number of an A1 reference one larger, everything else the same. Anything
// this check is unsure about (whole-row ranges, odd tokens) answers false, which only costs the
// sharing, never correctness.
bool SameOneRowDown(const std::string &APrev, const std::string &ACur) {
  const size_t n = APrev.size(), m = ACur.size();
  size_t i = 0, j = 0;
  while (i < n && j < m) {
    const char a = APrev[i];
    if (a == '"' || a == '\'' || a == '[') {
      // Literal, quoted sheet name or bracketed part: must match byte for byte.
      const char close = a == '[' ? ']' : a;
      size_t k = i + 1;
      int depth = 1;
      while (k < n) {
        if (a == '[' && APrev[k] == '[') ++depth;
        if (APrev[k] == close) {
          if (a != '[' && k + 1 < n && APrev[k + 1] == close) { k += 2; continue; }
          if (a != '[' || --depth == 0) break;
        }
        ++k;
      }
      const size_t len = qMin(k + 1, n) - i;
      if (ACur.compare(j, len, APrev, i, len) != 0) return false;
      i += len;
      j += len;
      continue;
    }
    if (IsDigitByte(a)) {
      size_t pe = i, ce = j;
      while (pe < n && IsDigitByte(APrev[pe])) ++pe;
      while (ce < m && IsDigitByte(ACur[ce])) ++ce;
      if (ce == j) return false;
      // Is this the row part of a relative A1 reference?  Letters (1-3, a column up to XFD)
      // directly before, a token start before them, and no name or call after.
      size_t ls = i;
      while (ls > 0 && IsLetterByte(APrev[ls - 1])) --ls;
      const size_t letters = i - ls;
      bool tokenStart = ls == 0 || !IsIdentByte(APrev[ls - 1]);
      if (ls > 0 && APrev[ls - 1] == '$') tokenStart = ls == 1 || !IsIdentByte(APrev[ls - 2]);
      int col = 0;
      for (size_t k = ls; k < i; ++k) col = col * 26 + ((APrev[k] & ~0x20) - 'A' + 1);
      const char after = pe < n ? APrev[pe] : 0;
      const bool endsToken = !(IsIdentByte(after) || after == '(' || after == '!');
      if (letters >= 1 && letters <= 3 && col <= KMaxCols && tokenStart && endsToken && pe - i <= 7) {
        long long p = 0, c = -1;
        std::from_chars(APrev.data() + i, APrev.data() + pe, p);
        if (ce - j <= 8) std::from_chars(ACur.data() + j, ACur.data() + ce, c);
        if (p < 1 || c != p + 1 || c > KMaxRows) return false;
      } else {
        // A number, an absolute row or part of a name: must stay the same, and must not be a
        // whole-row range (1:3), which does move.
        if (pe - i != ce - j || ACur.compare(j, ce - j, APrev, i, pe - i) != 0) return false;
        if (after == ':' || (i > 0 && APrev[i - 1] == ':')) {
          const bool cellRow = letters >= 1 || (i > 0 && APrev[i - 1] == '$' && i > 1 && IsLetterByte(APrev[i - 2]));
          if (!cellRow) return false;
        }
      }
      i = pe;
      j = ce;
      continue;
    }
    if (a != ACur[j]) return false;
    ++i;
    ++j;
  }
  return i == n && j == m;
}

// ---------------------------------------------------------------- reader

class TSheetReader final : public TXmlStreamParser {
public:
  TSheetReader(TSheet &ASheet, TXlsxSheetExtras &AExtras, std::vector<TXlsxPendingLink> &ALinks,
               const QString &APart, const QString &AFile)
      : TXmlStreamParser(APart, AFile), FSheet(ASheet), FExtras(AExtras), FLinks(ALinks),
        FStrings(ASheet.Workbook().Strings()), FStringCount(FStrings.Count()),
        FDate1904(ASheet.Workbook().Date1904()) {
    FCells.reserve(64);
  }

  void Done() {
    if (!FSawRoot) Fail(QStringLiteral("缺少 worksheet 根元素"));
    FSheet.MergeRows(std::move(FLateRows));
  }

protected:
  void StartElement(const char *AName, const char **AAttrs) override {
    const int depth = Depth();
    if (FRawDepth) {
      CloseRawStart();
      OpenRaw(AName, AAttrs);
      return;
    }
    const std::string_view name = XmlLocalName(AName);
    if (depth == 1) {
      FSawRoot = true;
      for (int i = 0; AAttrs[i]; i += 2) {
        FExtras.RootAttributes.append(' ').append(AAttrs[i]).append("=\"");
        AppendEscapedUtf8(FExtras.RootAttributes, AAttrs[i + 1], true);
        FExtras.RootAttributes.append('"');
      }
      return;
    }
    if (depth == 2) {
      FSection = name == "sheetData"    ? secSheetData
                 : name == "cols"       ? secCols
                 : name == "mergeCells" ? secMerge
                 : name == "hyperlinks" ? secLinks
                                        : secOther;
      if (FSection != secOther || name == "dimension") {
        FExtras.Items.push_back({QByteArray(name.data(), qsizetype(name.size())), QByteArray()});
        return;
      }
      if (name == "legacyDrawing") {
        if (const char *id = XmlPrefixedAttr(AAttrs, "id")) FExtras.VmlRelId = QString::fromUtf8(id);
      }
      FExtras.Items.push_back({QByteArray(name.data(), qsizetype(name.size())), QByteArray()});
      FRawDepth = depth;
      FRaw.clear();
      OpenRaw(AName, AAttrs);
      return;
    }
    if (FSection == secSheetData)
      StartSheetData(depth, name, AAttrs);
    else if (depth == 3 && FSection == secCols && name == "col")
      ReadCol(AAttrs);
    else if (depth == 3 && FSection == secMerge && name == "mergeCell")
      ReadMerge(AAttrs);
    else if (depth == 3 && FSection == secLinks && name == "hyperlink")
      ReadHyperlink(AAttrs);
  }

  void EndElement(const char *AName) override {
    const int depth = Depth();
    if (FRawDepth) {
      if (FRawOpen) {
        FRaw.append("/>");
        FRawOpen = false;
      } else {
        FRaw.append("</").append(AName).append('>');
      }
      if (depth == FRawDepth) {
        FExtras.Items.back().Xml = FRaw;
        FRawDepth = 0;
        FRaw.clear();
        FSection = secOther;
      }
      return;
    }
    if (depth == 2) {
      if (FSection == secCols) FSheet.SetColumns(std::move(FColumns));
      FSection = secOther;
      return;
    }
    if (FSection != secSheetData) return;
    const std::string_view name = XmlLocalName(AName);
    if (depth == 3 && name == "row")
      EndRow();
    else if (depth == 4 && name == "c")
      EndCell();
    else if (FCollect && (name == "v" || name == "f" || name == "t")) {
      FCollect = false;
      if (name == "v") FHasValue = true;
      else if (name == "f") { FFormulaText = FText; FHasFormula = true; }
      else FInline += FText;
    } else if (name == "rPh")
      FInPhonetic = false;
  }

  void CharacterData(const char *AData, int ALen) override {
    if (FRawDepth) {
      CloseRawStart();
      AppendEscapedUtf8(FRaw, std::string_view(AData, size_t(ALen)), false);
      return;
    }
    if (FCollect) FText.append(AData, size_t(ALen));
  }

private:
  void OpenRaw(const char *AName, const char **AAttrs) {
    FRaw.append('<').append(AName);
    for (int i = 0; AAttrs[i]; i += 2) {
      FRaw.append(' ').append(AAttrs[i]).append("=\"");
      AppendEscapedUtf8(FRaw, AAttrs[i + 1], true);
      FRaw.append('"');
    }
    FRawOpen = true; // '>' or '/>' once the next event shows whether there is content
  }

  void CloseRawStart() {
    if (FRawOpen) FRaw.append('>');
    FRawOpen = false;
  }

  [[noreturn]] void OutOfGrid() {
    Fail(QStringLiteral("单元格位置超出 Excel 的范围（最多 1048576 行、16384 列）"));
  }

  // ---- sheetData
  void StartSheetData(int ADepth, std::string_view AName, const char **AAttrs) {
    if (ADepth == 3 && AName == "row") {
      StartRow(AAttrs);
    } else if (ADepth == 4 && AName == "c") {
      StartCell(AAttrs);
    } else if (ADepth == 5 && AName == "v") {
      FCollect = true;
      FText.clear();
    } else if (ADepth == 5 && AName == "f") {
      FCollect = true;
      FText.clear();
      ReadFormulaAttrs(AAttrs);
    } else if (ADepth >= 6 && AName == "t" && FInlineOpen && !FInPhonetic) {
      FCollect = true;
      FText.clear();
    } else if (ADepth == 5 && AName == "is") {
      FInlineOpen = true;
    } else if (AName == "rPh") {
      FInPhonetic = true;
    }
  }

  void StartRow(const char **AAttrs) {
    FRow = TRowRecord();
    FCells.clear();
    FSorted = true;
    int rowIndex = FLastRow + 1;
    float height = -1;
    for (int i = 0; AAttrs[i]; i += 2) {
      const std::string_view a = XmlLocalName(AAttrs[i]);
      const char *v = AAttrs[i + 1];
      if (a == "r") {
        long long r;
        if (!ParseInt(v, r)) Fail(QStringLiteral("行号无效"));
        if (r < 1 || r > KMaxRows) OutOfGrid();
        rowIndex = int(r - 1);
      } else if (a == "ht") {
        double h;
        if (ParseDouble(v, std::strlen(v), h) && h >= 0 && h < 1e5) height = float(h);
      } else if (a == "s") {
        FRow.Style = std::uint16_t(qBound(0, IntAttr(v, 0), 65535));
      } else if (a == "customFormat") {
        if (BoolAttr(v)) FRow.Flags |= TRowRecord::rfCustomFormat;
      } else if (a == "hidden") {
        if (BoolAttr(v)) FRow.Flags |= TRowRecord::rfHidden;
      } else if (a == "customHeight") {
        if (BoolAttr(v)) FRow.Flags |= TRowRecord::rfCustomHeight;
      } else if (a == "outlineLevel") {
        FRow.OutlineLevel = std::uint8_t(qBound(0, IntAttr(v, 0), 7));
      } else if (a == "collapsed") {
        if (BoolAttr(v)) FRow.Flags |= TRowRecord::rfCollapsed;
      } else if (a == "thickTop") {
        if (BoolAttr(v)) FRow.Flags |= TRowRecord::rfThickTop;
      } else if (a == "thickBot") {
        if (BoolAttr(v)) FRow.Flags |= TRowRecord::rfThickBottom;
      }
    }
    if (rowIndex >= KMaxRows) OutOfGrid();
    FRow.Index = rowIndex;
    FRow.Height = height;
    FLastRow = rowIndex;
    FLastCol = -1;
  }

  void EndRow() {
    if (FCells.empty() && !FRow.HasAttributes() && FRow.Style == 0) return;
    FRow.Cells.assign(FCells.begin(), FCells.end()); // exact capacity: rows stay compact
    if (!FSorted) FRow.SortCells();
    if (!FSheet.Rows().empty() && FSheet.Rows().back().Index >= FRow.Index)
      FLateRows.push_back(std::move(FRow)); // merged once at the end
    else
      FSheet.AppendRow(std::move(FRow));
  }

  void StartCell(const char **AAttrs) {
    FCellRow = FLastRow;
    FCellCol = FLastCol + 1;
    FCellStyle = 0;
    FCellType = 'n';
    FTypeName.clear();
    FHasValue = FHasFormula = FInlineOpen = FInPhonetic = false;
    FInline.clear();
    FText.clear();
    FFormulaText.clear();
    FFormulaKind = TFormulaKind::fkNormal;
    FFormulaRef.clear();
    FFormulaSi = -1;
    FFormulaOptions.clear();
    for (int i = 0; AAttrs[i]; i += 2) {
      const char *n = AAttrs[i];
      const char *v = AAttrs[i + 1];
      if (n[0] == 'r' && n[1] == 0) {
        int r, c;
        if (!ParseCellName(v, r, c)) Fail(QStringLiteral("单元格引用“%1”无效").arg(QString::fromUtf8(v)));
        if (c >= KMaxCols || r >= KMaxRows) OutOfGrid();
        // The row part of the reference is not used: a cell belongs to the <row> around it,
        // even when its reference names another row.
        if (c >= 0) FCellCol = c;
      } else if (n[0] == 's' && n[1] == 0) {
        FCellStyle = qBound(0, IntAttr(v, 0), 65535);
      } else if (n[0] == 't' && n[1] == 0) {
        FTypeName = v;
        FCellType = FTypeName.empty() ? 'n' : FTypeName[0];
      }
    }
    if (FCellCol >= KMaxCols) OutOfGrid();
    if (FLastRow < 0) {
      // A cell outside any row: treat as row 1.
      FCellRow = 0;
    }
  }

  void ReadFormulaAttrs(const char **AAttrs) {
    for (int i = 0; AAttrs[i]; i += 2) {
      const std::string_view a = XmlLocalName(AAttrs[i]);
      const char *v = AAttrs[i + 1];
      if (a == "t") {
        if (std::strcmp(v, "shared") == 0) FFormulaKind = TFormulaKind::fkShared;
        else if (std::strcmp(v, "array") == 0) FFormulaKind = TFormulaKind::fkArray;
        else if (std::strcmp(v, "dataTable") == 0) FFormulaKind = TFormulaKind::fkDataTable;
      } else if (a == "ref") {
        FFormulaRef = v;
      } else if (a == "si") {
        FFormulaSi = IntAttr(v, -1);
      } else {
        FFormulaOptions.append({QString::fromUtf8(AAttrs[i]), QString::fromUtf8(v)});
      }
    }
  }

  std::uint32_t InternText(const QString &AText) {
    auto it = FLocalStrings.constFind(AText);
    if (it != FLocalStrings.constEnd()) return *it;
    const auto index = std::uint32_t(FStrings.Add(AText));
    FLocalStrings.insert(AText, index);
    return index;
  }

  void EndCell() {
    TCellRecord cell{};
    cell.Col = std::uint16_t(FCellCol);
    cell.Style = std::uint16_t(FCellStyle);
    TCellType type = TCellType::ctEmpty;
    switch (FCellType) {
    case 's':
      if (FTypeName == "s" && FHasValue) {
        long long index;
        if (ParseInt(FText.c_str(), index) && index >= 0 && index < FStringCount) {
          type = TCellType::ctString;
          cell.Value.Index = std::uint32_t(index);
        }
      } else if (FTypeName == "str" && (FHasValue || FHasFormula)) {
        // A formula's text result; an empty <v/> is an empty text, not a missing value.
        if (FHasValue) {
          type = TCellType::ctString;
          cell.Value.Index = InternText(DecodeEscapes(FText));
        }
      }
      break;
    case 'i':
      type = TCellType::ctString;
      cell.Value.Index = InternText(DecodeEscapes(FInline));
      break;
    case 'b':
      if (FHasValue) {
        type = TCellType::ctBoolean;
        cell.Value.Index = (FText == "1" || FText == "true" || FText == "TRUE") ? 1 : 0;
      }
      break;
    case 'e':
      if (FHasValue) {
        type = TCellType::ctError;
        cell.Value.Index = InternText(QString::fromUtf8(FText.data(), qsizetype(FText.size())).trimmed());
      }
      break;
    case 'd':
      if (FHasValue) {
        double serial;
        if (IsoToSerial(QString::fromUtf8(FText.data(), qsizetype(FText.size())).trimmed(), FDate1904, serial)) {
          type = TCellType::ctNumber;
          cell.Value.Number = serial;
        }
      }
      break;
    default:
      if (FHasValue) {
        double v;
        if (ParseDouble(FText.data(), FText.size(), v)) {
          type = TCellType::ctNumber;
          cell.Value.Number = v;
        }
      }
      break;
    }
    if (type == TCellType::ctEmpty) cell.Value.Number = 0;
    cell.Bits = std::uint32_t(type);
    if (FHasFormula) AttachFormula(cell);
    if (!FCells.empty() && FCells.back().Col >= cell.Col) FSorted = false;
    FCells.push_back(cell);
    FLastCol = FCellCol;
  }

  void AttachFormula(TCellRecord &ACell) {
    const bool hasText = !FFormulaText.empty();
    if (FFormulaKind == TFormulaKind::fkShared && !hasText) {
      auto it = FSharedMasters.constFind(FFormulaSi);
      if (it == FSharedMasters.constEnd()) return; // a child without its master: value only
      ACell.Bits |= 0x10u | (std::uint32_t(*it + 1) << 5);
      return;
    }
    // A plain formula that is the one above it moved down a row ("=D2*G2", "=D3*G3", ...)
    // refers to that formula instead of holding its own copy: a column of a million such
    // formulas costs one record. It is still written back as a plain formula.
    const bool plain = FFormulaKind == TFormulaKind::fkNormal && FFormulaOptions.isEmpty() && hasText;
    TColumnFormula *column = nullptr;
    if (plain) {
      // Grown to the columns in use: a full-width table would cost 650 KB per sheet.
      if (size_t(FCellCol) >= FColumnFormulas.size()) FColumnFormulas.resize(size_t(FCellCol) + 1);
      column = &FColumnFormulas[size_t(FCellCol)];
      if (column->Id >= 0 && column->Row == FCellRow - 1 && SameOneRowDown(column->Text, FFormulaText)) {
        ACell.Bits |= 0x10u | (std::uint32_t(column->Id + 1) << 5);
        column->Row = FCellRow;
        column->Text.swap(FFormulaText);
        return;
      }
    }
    TFormula f;
    f.Text = QString::fromUtf8(FFormulaText.data(), qsizetype(FFormulaText.size()));
    f.Kind = FFormulaKind;
    f.MasterRow = FCellRow;
    f.MasterCol = FCellCol;
    f.SharedIndex = FFormulaSi;
    f.Options = std::move(FFormulaOptions);
    if (!FFormulaRef.empty()) ParseRangeRef(QString::fromUtf8(FFormulaRef.c_str()), f.Ref);
    if (f.Kind == TFormulaKind::fkShared && f.Ref.IsEmpty()) f.Ref = {FCellCol, FCellRow, FCellCol, FCellRow};
    const int id = FSheet.AddFormulaRecord(std::move(f));
    if ((std::uint32_t(id) + 1) >= (1u << 27)) Fail(QStringLiteral("公式数量过多"));
    if (FFormulaKind == TFormulaKind::fkShared && FFormulaSi >= 0) FSharedMasters.insert(FFormulaSi, id);
    ACell.Bits |= std::uint32_t(id + 1) << 5;
    if (column) {
      column->Id = id;
      column->Row = FCellRow;
      column->Text.swap(FFormulaText);
    }
  }

  // ---- other sections
  void ReadCol(const char **AAttrs) {
    TColumnRange c;
    c.First = IntAttr(XmlAttr(AAttrs, "min"), 0) - 1;
    c.Last = IntAttr(XmlAttr(AAttrs, "max"), 0) - 1;
    if (c.First < 0 || c.Last < c.First) return;
    if (c.First >= KMaxCols) return;
    c.Last = qMin(c.Last, KMaxCols - 1);
    if (const char *w = XmlAttr(AAttrs, "width")) {
      double width;
      if (ParseDouble(w, std::strlen(w), width) && width >= 0 && width <= 255) c.Width = width;
    }
    c.Style = std::uint16_t(qBound(0, IntAttr(XmlAttr(AAttrs, "style"), 0), 65535));
    c.Hidden = BoolAttr(XmlAttr(AAttrs, "hidden"));
    c.CustomWidth = BoolAttr(XmlAttr(AAttrs, "customWidth"));
    c.BestFit = BoolAttr(XmlAttr(AAttrs, "bestFit"));
    c.Collapsed = BoolAttr(XmlAttr(AAttrs, "collapsed"));
    c.Phonetic = BoolAttr(XmlAttr(AAttrs, "phonetic"));
    c.OutlineLevel = std::uint8_t(qBound(0, IntAttr(XmlAttr(AAttrs, "outlineLevel"), 0), 7));
    // Overlapping ranges are invalid; keep what fits after the previous range.
    if (!FColumns.empty() && c.First <= FColumns.back().Last) {
      c.First = FColumns.back().Last + 1;
      if (c.First > c.Last) return;
    }
    FColumns.push_back(c);
  }

  void ReadMerge(const char **AAttrs) {
    TCellRange r;
    if (const char *ref = XmlAttr(AAttrs, "ref"))
      if (ParseRangeRef(QString::fromUtf8(ref), r) && (r.Left != r.Right || r.Top != r.Bottom))
        FSheet.AddMergedRange(r);
  }

  void ReadHyperlink(const char **AAttrs) {
    TXlsxPendingLink p;
    const char *ref = XmlAttr(AAttrs, "ref");
    if (!ref || !ParseRangeRef(QString::fromUtf8(ref), p.Link.Range)) return;
    if (const char *id = XmlPrefixedAttr(AAttrs, "id")) p.RelId = QString::fromUtf8(id);
    if (const char *v = XmlAttr(AAttrs, "location")) p.Link.Location = QString::fromUtf8(v);
    if (const char *v = XmlAttr(AAttrs, "display")) p.Link.Display = QString::fromUtf8(v);
    if (const char *v = XmlAttr(AAttrs, "tooltip")) p.Link.Tooltip = QString::fromUtf8(v);
    FLinks.push_back(std::move(p));
  }

public:
  // Complete <row> elements (the text between the sheetData tags, cut after a row's end) parsed
  // in place with pugixml, which is several times faster than expat on this bulk of the part;
  // the cells go through the same code as the streaming path.
  void ProcessRows(char *AData, size_t ALen) {
    const pugi::xml_parse_result r = FRowDoc.load_buffer_inplace(
        AData, ALen, pugi::parse_fragment | pugi::parse_escapes | pugi::parse_eol | pugi::parse_cdata |
                          pugi::parse_ws_pcdata_single);
    if (!r)
      Fail(QStringLiteral("XML 格式错误（%1）").arg(QString::fromUtf8(r.description())));
    for (pugi::xml_node row = FRowDoc.first_child(); row; row = row.next_sibling()) {
      if (row.type() != pugi::node_element || !NameIs(row.name(), "row")) continue;
      StartRow(Attrs(row));
      for (pugi::xml_node c = row.first_child(); c; c = c.next_sibling()) {
        if (c.type() != pugi::node_element || !NameIs(c.name(), "c")) continue;
        StartCell(Attrs(c));
        for (pugi::xml_node k = c.first_child(); k; k = k.next_sibling()) {
          const char *kn = k.name();
          const std::string_view n = (kn[0] && !kn[1]) ? std::string_view(kn, 1) : XmlLocalName(kn);
          if (n == "v") {
            FText = k.child_value();
            FHasValue = true;
          } else if (n == "f") {
            ReadFormulaAttrs(Attrs(k));
            FFormulaText = k.child_value();
            FHasFormula = true;
          } else if (n == "is") {
            CollectInline(k, 0);
          }
        }
        EndCell();
      }
      EndRow();
    }
  }

  // Excel writes characters XML cannot hold as _xHHHH_; undo that.
  static QString DecodeEscapes(const std::string &AText) {
    QString s = QString::fromUtf8(AText.data(), qsizetype(AText.size()));
    if (!s.contains(QLatin1String("_x"))) return s;
    QString out;
    out.reserve(s.size());
    for (qsizetype i = 0; i < s.size(); ++i) {
      if (s[i] == u'_' && i + 6 < s.size() + 0 && s[i + 1] == u'x' && s[i + 6] == u'_') {
        bool ok = false;
        const uint code = s.mid(i + 2, 4).toUInt(&ok, 16);
        if (ok) {
          out += QChar(char16_t(code));
          i += 6;
          continue;
        }
      }
      out += s[i];
    }
    return out;
  }

private:
  // Element name check with the common unprefixed case first (millions of calls).
  static bool NameIs(const char *AName, std::string_view ALocal) {
    if (std::strncmp(AName, ALocal.data(), ALocal.size()) == 0 && AName[ALocal.size()] == 0) return true;
    return std::strchr(AName, ':') && XmlLocalName(AName) == ALocal;
  }

  const char **Attrs(pugi::xml_node ANode) {
    FAttrs.clear();
    for (pugi::xml_attribute a = ANode.first_attribute(); a; a = a.next_attribute()) {
      FAttrs.push_back(a.name());
      FAttrs.push_back(a.value());
    }
    FAttrs.push_back(nullptr);
    return FAttrs.data();
  }

  void CollectInline(pugi::xml_node ANode, int ADepth) {
    if (ADepth > 16) Fail(QStringLiteral("XML 嵌套层数过深"));
    for (pugi::xml_node k = ANode.first_child(); k; k = k.next_sibling()) {
      const std::string_view n = XmlLocalName(k.name());
      if (n == "t") FInline += k.child_value();
      else if (n != "rPh" && k.type() == pugi::node_element) CollectInline(k, ADepth + 1);
    }
  }

  pugi::xml_document FRowDoc;
  std::vector<const char *> FAttrs;
  TSheet &FSheet;
  TXlsxSheetExtras &FExtras;
  std::vector<TXlsxPendingLink> &FLinks;
  TStringTable &FStrings;
  const int FStringCount;
  const bool FDate1904;
  bool FSawRoot = false;
  enum TSection { secOther, secSheetData, secCols, secMerge, secLinks };
  TSection FSection = secOther;
  int FRawDepth = 0;
  bool FRawOpen = false;
  QByteArray FRaw;

  TRowRecord FRow;
  std::vector<TRowRecord> FLateRows; // rows listed after a row with a higher number
  std::vector<TCellRecord> FCells;
  bool FSorted = true;
  int FLastRow = -1, FLastCol = -1;

  int FCellRow = 0, FCellCol = 0, FCellStyle = 0;
  char FCellType = 'n';
  std::string FTypeName;
  bool FHasValue = false, FHasFormula = false, FCollect = false, FInlineOpen = false, FInPhonetic = false;
  std::string FText, FInline, FFormulaText, FFormulaRef;
  TFormulaKind FFormulaKind = TFormulaKind::fkNormal;
  int FFormulaSi = -1;
  QList<QPair<QString, QString>> FFormulaOptions;
  QHash<int, int> FSharedMasters; // si -> formula id
  struct TColumnFormula {
    int Id = -1, Row = -1;
    std::string Text;
  };
  std::vector<TColumnFormula> FColumnFormulas; // last plain formula per column
  QHash<QString, std::uint32_t> FLocalStrings;
  std::vector<TColumnRange> FColumns;
};

} // namespace

QString DecodeXlsxEscapes(const std::string &AText) { return TSheetReader::DecodeEscapes(AText); }

namespace {

// Hands the sheet part to the reader: everything outside <sheetData> to the streaming expat
// parser (it keeps the raw elements), the rows themselves in batches of complete <row> elements
// to the pugixml path. Tags are found by a plain search; anything odd there ends in a format
// error from one of the two parsers.
class TSheetSplitter {
public:
  explicit TSheetSplitter(TSheetReader &AReader) : FReader(AReader) {}

  void Feed(const char *AData, size_t ALen) {
    FPending.append(AData, ALen);
    Pump(false);
  }

  void Finish() {
    Pump(true);
    if (FMode == 1) {
      // The part ended inside sheetData: hand what is there to the rows parser, then let expat
      // report the truncated document.
      FReader.Feed(FPending.data(), qsizetype(FPending.size()));
      FPending.clear();
    }
    FReader.Finish();
  }

private:
  static bool IsNameChar(char A) {
    return (A >= 'a' && A <= 'z') || (A >= 'A' && A <= 'Z') || (A >= '0' && A <= '9') || A == '_' || A == '-' || A == '.';
  }

  // Finds the sheetData start tag; returns the index after its '>' or npos.
  size_t FindOpen(bool &ASelfClosing, size_t &AKeepFrom) {
    size_t from = 0;
    AKeepFrom = FPending.size() > 512 ? FPending.size() - 512 : 0;
    for (;;) {
      const size_t i = FPending.find("sheetData", from);
      if (i == std::string::npos) return std::string::npos;
      from = i + 1;
      size_t start = i;
      std::string prefix;
      if (start > 0 && FPending[start - 1] == ':') {
        size_t j = start - 1;
        while (j > 0 && IsNameChar(FPending[j - 1])) --j;
        prefix = FPending.substr(j, start - j);
        start = j;
      }
      if (start == 0 || FPending[start - 1] != '<') continue;
      const size_t after = i + 9;
      if (after >= FPending.size()) {
        AKeepFrom = start - 1;
        return std::string::npos;
      }
      const char next = FPending[after];
      if (next != '>' && next != '/' && next != ' ' && next != '\t' && next != '\r' && next != '\n') continue;
      const size_t gt = FPending.find('>', after);
      if (gt == std::string::npos) {
        AKeepFrom = start - 1;
        return std::string::npos;
      }
      ASelfClosing = FPending[gt - 1] == '/';
      FEndTag = "</" + prefix + "sheetData";
      FRowEnd = "</" + prefix + "row>";
      FEndSearcher = std::boyer_moore_horspool_searcher<std::string::const_iterator>(FEndTag.begin(), FEndTag.end());
      return gt + 1;
    }
  }

  void Pump(bool AFinal) {
    for (;;) {
      if (FMode == 0) {
        bool selfClosing = false;
        size_t keepFrom = 0;
        const size_t open = FindOpen(selfClosing, keepFrom);
        if (open == std::string::npos) {
          const size_t feed = AFinal ? FPending.size() : keepFrom;
          FReader.Feed(FPending.data(), qsizetype(feed));
          FPending.erase(0, feed);
          return;
        }
        FReader.Feed(FPending.data(), qsizetype(open));
        FPending.erase(0, open);
        FMode = selfClosing ? 2 : 1;
        continue;
      }
      if (FMode == 1) {
        const auto hit = std::search(FPending.begin(), FPending.end(), FEndSearcher);
        const size_t end = hit == FPending.end() ? std::string::npos : size_t(hit - FPending.begin());
        if (end != std::string::npos) {
          FReader.ProcessRows(FPending.data(), end);
          FPending.erase(0, end);
          FMode = 2;
          continue;
        }
        const size_t cut = FPending.rfind(FRowEnd);
        if (cut != std::string::npos) {
          const size_t upto = cut + FRowEnd.size();
          FReader.ProcessRows(FPending.data(), upto);
          FPending.erase(0, upto);
        } else if (FPending.size() > (size_t(256) << 20)) {
          throw TFileFormatError(QStringLiteral("工作簿文件已损坏，工作表中的一行数据过大"));
        }
        return;
      }
      FReader.Feed(FPending.data(), qsizetype(FPending.size()));
      FPending.clear();
      return;
    }
  }

  TSheetReader &FReader;
  std::string FPending, FEndTag, FRowEnd;
  std::boyer_moore_horspool_searcher<std::string::const_iterator> FEndSearcher{FEndTag.begin(), FEndTag.end()};
  int FMode = 0; // 0 before the rows, 1 in the rows, 2 after them
};

} // namespace

void ReadWorksheet(const TZipReader &AZip, const QString &APart, TSheet &ASheet,
                   TXlsxSheetExtras &AExtras, std::vector<TXlsxPendingLink> &ALinks,
                   const std::function<void(qint64)> &AOnBytes) {
  TSheetReader reader(ASheet, AExtras, ALinks, APart, AZip.Path());
  TSheetSplitter splitter(reader);
  AZip.Stream(APart, [&](const char *AData, qsizetype ASize) {
    splitter.Feed(AData, size_t(ASize));
    if (AOnBytes) AOnBytes(ASize);
  });
  splitter.Finish();
  reader.Done();
}
