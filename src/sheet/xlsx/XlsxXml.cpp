#include "sheet/xlsx/XlsxXml.h"

#include "core/Errors.h"

#include <charconv>
#include <expat.h>

namespace {
// Real sheet parts nest a dozen levels; anything deeper is hostile or broken.
constexpr int KMaxDepth = 256;
} // namespace

TXmlStreamParser::TXmlStreamParser(const QString &APartName, const QString &AFile)
    : FPart(APartName), FFile(AFile) {
  FParser = XML_ParserCreate(nullptr); // the encoding the part declares (UTF-16 parts exist)
  XML_SetUserData(FParser, this);
  XML_SetElementHandler(FParser, &TXmlStreamParser::OnStart, &TXmlStreamParser::OnEnd);
  XML_SetCharacterDataHandler(FParser, &TXmlStreamParser::OnChars);
  XML_SetStartDoctypeDeclHandler(FParser, &TXmlStreamParser::OnDoctype);
  XML_SetEntityDeclHandler(FParser, &TXmlStreamParser::OnEntityDecl);
  XML_SetParamEntityParsing(FParser, XML_PARAM_ENTITY_PARSING_NEVER);
}

TXmlStreamParser::~TXmlStreamParser() { XML_ParserFree(FParser); }

void TXmlStreamParser::Fail(const QString &AWhy) {
  throw TFileFormatError(
      QStringLiteral("工作簿文件已损坏，部件 %1 的内容无效：%2（%3）").arg(FPart, AWhy, FFile), FFile, FPart);
}

// Runs one handler on the parser; an exception stops expat and is rethrown by Check, since it
// must not unwind through expat's C frames.
template <typename F> void TXmlStreamParser::Guard(void *AUser, F &&AHandler) {
  auto *self = static_cast<TXmlStreamParser *>(AUser);
  if (self->FFailed) return;
  try {
    AHandler(*self);
  } catch (...) {
    self->FFailed = true;
    self->FPending = std::current_exception();
    XML_StopParser(self->FParser, XML_FALSE);
  }
}

void TXmlStreamParser::OnStart(void *AUser, const char *AName, const char **AAttrs) {
  Guard(AUser, [&](TXmlStreamParser &AParser) {
    if (++AParser.FDepth > KMaxDepth)
      AParser.Fail(QStringLiteral("XML 嵌套层数过深"));
    AParser.StartElement(AName, AAttrs);
  });
}

void TXmlStreamParser::OnEnd(void *AUser, const char *AName) {
  Guard(AUser, [&](TXmlStreamParser &AParser) {
    AParser.EndElement(AName);
    --AParser.FDepth;
  });
}

void TXmlStreamParser::OnChars(void *AUser, const char *AData, int ALen) {
  Guard(AUser, [&](TXmlStreamParser &AParser) { AParser.CharacterData(AData, ALen); });
}

// Package parts never carry a document type; refusing it shuts out entity expansion tricks.
void TXmlStreamParser::OnDoctype(void *AUser, const char *, const char *, const char *, int) {
  auto *self = static_cast<TXmlStreamParser *>(AUser);
  if (self->FFailed) return;
  self->FFailed = true;
  self->FFailure = QStringLiteral("含有不允许的 DTD 声明");
  XML_StopParser(self->FParser, XML_FALSE);
}

void TXmlStreamParser::OnEntityDecl(void *AUser, const char *, int, const char *, int, const char *,
                                    const char *, const char *, const char *) {
  OnDoctype(AUser, nullptr, nullptr, nullptr, 0);
}

void TXmlStreamParser::Check(int AStatus) {
  if (FPending) {
    std::exception_ptr p = FPending;
    FPending = nullptr;
    std::rethrow_exception(p);
  }
  if (FFailed) Fail(FFailure);
  if (AStatus == XML_STATUS_ERROR)
    Fail(QStringLiteral("XML 格式错误（第 %1 行：%2）")
             .arg(XML_GetCurrentLineNumber(FParser))
             .arg(QString::fromUtf8(XML_ErrorString(XML_GetErrorCode(FParser)))));
}

void TXmlStreamParser::Feed(const char *AData, qsizetype ASize) {
  while (ASize > 0) {
    const int n = int(qMin<qsizetype>(ASize, 1 << 30));
    Check(XML_Parse(FParser, AData, n, XML_FALSE));
    AData += n;
    ASize -= n;
  }
}

void TXmlStreamParser::Finish() { Check(XML_Parse(FParser, "", 0, XML_TRUE)); }

const char *XmlAttr(const char **AAttrs, std::string_view ALocal) {
  for (int i = 0; AAttrs[i]; i += 2)
    if (XmlLocalName(AAttrs[i]) == ALocal) return AAttrs[i + 1];
  return nullptr;
}

const char *XmlPrefixedAttr(const char **AAttrs, std::string_view ALocal) {
  for (int i = 0; AAttrs[i]; i += 2)
    if (std::strchr(AAttrs[i], ':') && XmlLocalName(AAttrs[i]) == ALocal) return AAttrs[i + 1];
  return nullptr;
}

void LoadXmlDocument(pugi::xml_document &ADoc, const QByteArray &AData, const QString &APart,
                     const QString &AFile) {
  // Default options skip any DOCTYPE and expand only the predefined entities.
  const pugi::xml_parse_result r =
      ADoc.load_buffer(AData.constData(), size_t(AData.size()), pugi::parse_default | pugi::parse_ws_pcdata_single,
                       pugi::encoding_auto);
  if (!r)
    throw TFileFormatError(QStringLiteral("工作簿文件已损坏，部件 %1 不是有效的 XML：%2（%3）")
                               .arg(APart, QString::fromUtf8(r.description()), AFile),
                           AFile, APart);
}

pugi::xml_node XmlChild(pugi::xml_node ANode, std::string_view ALocal) {
  for (pugi::xml_node c = ANode.first_child(); c; c = c.next_sibling())
    if (c.type() == pugi::node_element && XmlLocalName(c.name()) == ALocal) return c;
  return {};
}

pugi::xml_attribute XmlAttribute(pugi::xml_node ANode, std::string_view ALocal) {
  for (pugi::xml_attribute a = ANode.first_attribute(); a; a = a.next_attribute())
    if (XmlLocalName(a.name()) == ALocal) return a;
  return {};
}

pugi::xml_attribute XmlPrefixedAttribute(pugi::xml_node ANode, std::string_view ALocal) {
  for (pugi::xml_attribute a = ANode.first_attribute(); a; a = a.next_attribute())
    if (std::strchr(a.name(), ':') && XmlLocalName(a.name()) == ALocal) return a;
  return {};
}

// ---------------------------------------------------------------- writing

void AppendEscapedUtf8(QByteArray &AOut, std::string_view AText, bool AAttribute) {
  const char *p = AText.data();
  const char *end = p + AText.size();
  const char *run = p;
  auto flush = [&](const char *upto) { if (upto > run) AOut.append(run, upto - run); };
  for (; p < end; ++p) {
    const unsigned char ch = static_cast<unsigned char>(*p);
    if (ch > '>') continue;
    const char *rep = nullptr;
    switch (ch) {
    case '&': rep = "&amp;"; break;
    case '<': rep = "&lt;"; break;
    case '>': rep = "&gt;"; break;
    case '"': if (AAttribute) rep = "&quot;"; break;
    case '\n': if (AAttribute) rep = "&#10;"; break;
    case '\r': rep = "&#13;"; break;
    case '\t': if (AAttribute) rep = "&#9;"; break;
    default:
      // Control characters are not allowed in XML 1.0; Excel writes them as _xHHHH_.
      if (ch < 0x20 && ch != '\n' && ch != '\t') {
        flush(p);
        char buf[16];
        std::snprintf(buf, sizeof buf, "_x%04X_", ch);
        AOut.append(buf);
        run = p + 1;
      }
      continue;
    }
    if (!rep) continue;
    flush(p);
    AOut.append(rep);
    run = p + 1;
  }
  flush(end);
}

void AppendEscaped(QByteArray &AOut, QStringView AText, bool AAttribute) {
  const QByteArray utf8 = AText.toUtf8();
  AppendEscapedUtf8(AOut, std::string_view(utf8.constData(), size_t(utf8.size())), AAttribute);
}

void AppendDouble(QByteArray &AOut, double AValue) {
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, AValue);
  AOut.append(buf, r.ptr - buf);
}

TXmlWriter &TXmlWriter::Text(const QString &A) { AppendEscaped(Data, A, false); return *this; }
TXmlWriter &TXmlWriter::Text(QStringView A) { AppendEscaped(Data, A, false); return *this; }

TXmlWriter &TXmlWriter::Attr(const char *AName, const QString &AValue) {
  Data.append(' ').append(AName).append("=\"");
  AppendEscaped(Data, AValue, true);
  Data.append('"');
  return *this;
}

TXmlWriter &TXmlWriter::Attr(const char *AName, long long AValue) {
  Data.append(' ').append(AName).append("=\"").append(QByteArray::number(AValue)).append('"');
  return *this;
}

TXmlWriter &TXmlWriter::AttrNum(const char *AName, double AValue) {
  Data.append(' ').append(AName).append("=\"");
  AppendDouble(Data, AValue);
  Data.append('"');
  return *this;
}

TXmlWriter &TXmlWriter::Number(double AValue) { AppendDouble(Data, AValue); return *this; }
