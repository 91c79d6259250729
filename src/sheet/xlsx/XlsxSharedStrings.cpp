// The shared-string part (xl/sharedStrings.xml): streamed into the string table on reading
// (plain entries as text, rich entries as text plus their runs' XML), produced in chunks on
// writing.

#include "sheet/xlsx/XlsxParts.h"

#include "sheet/StringTable.h"
#include "sheet/xlsx/XlsxXml.h"

#include <string>

QString DecodeXlsxEscapes(const std::string &AText); // XlsxSheetPart.cpp

namespace {

class TSharedStringsReader final : public TXmlStreamParser {
public:
  TSharedStringsReader(TStringTable &AStrings, const QString &APart, const QString &AFile, qint64 APartSize)
      : TXmlStreamParser(APart, AFile), FStrings(AStrings), FPartSize(APartSize) {}

protected:
  void StartElement(const char *AName, const char **AAttrs) override {
    const std::string_view name = XmlLocalName(AName);
    const int depth = Depth();
    if (depth == 1) {
      // The count lets the table size its index once; a lying count is capped by the part size
      // (every entry needs at least "<si/>").
      if (const char *n = XmlAttr(AAttrs, "uniqueCount")) {
        const long long count = QByteArray(n).toLongLong();
        if (count > 0) FStrings.Reserve(int(qMin<long long>(count, qMin<qint64>(FPartSize / 5 + 1, 1 << 22))));
      }
      return;
    }
    if (depth == 2 && name == "si") {
      FText.clear();
      FRich = false;
      FRaw.clear();
      FInPhonetic = false;
      return;
    }
    if (depth < 3) return;
    if (depth == 3 && name != "t") FRich = true; // runs or phonetic parts: keep the XML
    AppendStart(AName, AAttrs);
    if (name == "rPh") FInPhonetic = true;
    if (name == "t" && !FInPhonetic) FCollect = true;
  }

  void EndElement(const char *AName) override {
    const int depth = Depth();
    if (depth == 2) {
      const QString text = DecodeXlsxEscapes(FText);
      if (FRich) FStrings.AppendRich(text, FRaw);
      else FStrings.Append(text);
      return;
    }
    if (depth < 3) return;
    const std::string_view name = XmlLocalName(AName);
    FRaw.append("</").append(name.data(), qsizetype(name.size())).append('>');
    if (name == "rPh") FInPhonetic = false;
    if (name == "t") FCollect = false;
  }

  void CharacterData(const char *AData, int ALen) override {
    if (Depth() < 3) return;
    if (FCollect) FText.append(AData, size_t(ALen));
    AppendEscapedUtf8(FRaw, std::string_view(AData, size_t(ALen)), false);
  }

private:
  // Runs are kept without namespace prefixes: the writer puts them under its own default
  // namespace, where a prefix of the source part would be undeclared.
  void AppendStart(const char *AName, const char **AAttrs) {
    const std::string_view local = XmlLocalName(AName);
    FRaw.append('<').append(local.data(), qsizetype(local.size()));
    for (int i = 0; AAttrs[i]; i += 2) {
      FRaw.append(' ').append(AAttrs[i]).append("=\"");
      AppendEscapedUtf8(FRaw, AAttrs[i + 1], true);
      FRaw.append('"');
    }
    FRaw.append('>');
  }

  TStringTable &FStrings;
  qint64 FPartSize;
  std::string FText;
  QByteArray FRaw;
  bool FRich = false, FCollect = false, FInPhonetic = false;
};

} // namespace

void ReadSharedStrings(const TZipReader &AZip, const QString &APart, TStringTable &AStrings) {
  TSharedStringsReader reader(AStrings, APart, AZip.Path(), AZip.UncompressedSize(APart));
  AZip.Stream(APart, [&](const char *AData, qsizetype ASize) { reader.Feed(AData, ASize); });
  reader.Finish();
}

namespace {

// Text that needs xml:space="preserve": leading/trailing blanks or line breaks.
bool NeedsPreserve(QStringView AText) {
  if (AText.isEmpty()) return false;
  auto blank = [](QChar c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; };
  return blank(AText.front()) || blank(AText.back()) || AText.contains(u'\n');
}

} // namespace

// Appends <t>text</t>. Characters XML cannot carry (control characters, lone surrogates) and
// "_x" sequences that would read back as such escapes are written the way Excel writes them.
void AppendXlsxText(QByteArray &AOut, QStringView AText) {
  AOut.append(NeedsPreserve(AText) ? "<t xml:space=\"preserve\">" : "<t>");
  bool plain = true;
  for (qsizetype i = 0; i < AText.size() && plain; ++i) {
    const char16_t c = AText[i].unicode();
    if ((c < 0x20 && c != u'\t' && c != u'\n') || (c >= 0xD800 && c <= 0xDFFF) || c >= 0xFFFE ||
        (c == u'_' && i + 1 < AText.size() && AText[i + 1] == u'x'))
      plain = false;
  }
  if (plain) {
    AppendEscaped(AOut, AText, false);
  } else {
    QString text;
    text.reserve(AText.size() + 16);
    for (qsizetype i = 0; i < AText.size(); ++i) {
      const char16_t c = AText[i].unicode();
      const bool pair = QChar::isHighSurrogate(c) && i + 1 < AText.size() && QChar::isLowSurrogate(AText[i + 1].unicode());
      if (pair) {
        text += AText[i];
        text += AText[++i];
      } else if ((c < 0x20 && c != u'\t' && c != u'\n') || (c >= 0xD800 && c <= 0xDFFF) || c >= 0xFFFE ||
                 (c == u'_' && i + 1 < AText.size() && AText[i + 1] == u'x')) {
        text += QStringLiteral("_x%1_").arg(uint(c), 4, 16, QLatin1Char('0')).toUpper().replace(QLatin1String("_X"), QLatin1String("_x"));
      } else {
        text += AText[i];
      }
    }
    AppendEscaped(AOut, text, false);
  }
  AOut.append("</t>");
}

TZipWriter::TProducer SharedStringsProducer(const TStringTable &AStrings, std::vector<int> AUsed,
                                            long long ARefCount) {
  struct TState {
    const TStringTable *Strings;
    std::vector<int> Used;
    size_t Next = 0;
    QByteArray Buffer;
    qsizetype Pos = 0;
    bool Header = false, Footer = false;
  };
  auto st = std::make_shared<TState>();
  st->Strings = &AStrings;
  st->Used = std::move(AUsed);
  const long long refs = ARefCount;
  return [st, refs](char *AOut, qsizetype ASize) -> qsizetype {
    while (st->Pos >= st->Buffer.size()) {
      st->Buffer.clear();
      st->Pos = 0;
      if (!st->Header) {
        st->Header = true;
        st->Buffer.append("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                          "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" count=\"");
        st->Buffer.append(QByteArray::number(refs)).append("\" uniqueCount=\"");
        st->Buffer.append(QByteArray::number(qulonglong(st->Used.size()))).append("\">");
      } else if (st->Next < st->Used.size()) {
        while (st->Next < st->Used.size() && st->Buffer.size() < (1 << 18)) {
          const int i = st->Used[st->Next++];
          st->Buffer.append("<si>");
          if (st->Strings->IsRich(i))
            st->Buffer.append(st->Strings->RichBlob(i));
          else
            AppendXlsxText(st->Buffer, st->Strings->View(i));
          st->Buffer.append("</si>");
        }
      } else if (!st->Footer) {
        st->Footer = true;
        st->Buffer.append("</sst>");
      } else {
        return 0;
      }
    }
    const qsizetype n = qMin(ASize, st->Buffer.size() - st->Pos);
    std::memcpy(AOut, st->Buffer.constData() + st->Pos, size_t(n));
    st->Pos += n;
    return n;
  };
}
