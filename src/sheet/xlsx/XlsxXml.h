#pragma once
// XML plumbing of the .xlsx reader and writer: a streaming expat parser hardened against hostile
// input (no DTDs, no entities, bounded depth), small-part DOM loading through pugixml, local-name
// matching that ignores namespace prefixes (transitional and strict files use different ones),
// and a fast escaping byte writer.

#include <QByteArray>
#include <QString>
#include <cstring>
#include <functional>
#include <pugixml.hpp>
#include <string_view>

// "x:row" -> "row".
inline std::string_view XmlLocalName(const char *AName) {
  const char *colon = std::strrchr(AName, ':');
  return colon ? std::string_view(colon + 1) : std::string_view(AName);
}

// Streaming parser over expat. Subclasses get element starts/ends and character data; the
// attribute list is expat's (name, value, name, value, ..., null).
class TXmlStreamParser {
public:
  explicit TXmlStreamParser(const QString &APartName, const QString &AFile);
  virtual ~TXmlStreamParser();
  TXmlStreamParser(const TXmlStreamParser &) = delete;
  TXmlStreamParser &operator=(const TXmlStreamParser &) = delete;

  // Feeds a chunk; throws TFileFormatError on malformed or refused XML.
  void Feed(const char *AData, qsizetype ASize);
  void Finish();

protected:
  virtual void StartElement(const char *AName, const char **AAttrs) = 0;
  virtual void EndElement(const char *AName) = 0;
  virtual void CharacterData(const char *AData, int ALen) { (void)AData; (void)ALen; }
  // Stops parsing with a format error (call from a handler).
  [[noreturn]] void Fail(const QString &AWhy);
  int Depth() const { return FDepth; }
  const QString &PartName() const { return FPart; }
  const QString &FileName() const { return FFile; }

private:
  template <typename F> static void Guard(void *AUser, F &&AHandler);
  static void OnStart(void *AUser, const char *AName, const char **AAttrs);
  static void OnEnd(void *AUser, const char *AName);
  static void OnChars(void *AUser, const char *AData, int ALen);
  static void OnDoctype(void *AUser, const char *, const char *, const char *, int);
  static void OnEntityDecl(void *AUser, const char *, int, const char *, int, const char *,
                           const char *, const char *, const char *);
  void Check(int AStatus);

  struct XML_ParserStruct *FParser;
  QString FPart, FFile;
  int FDepth = 0;
  bool FFailed = false;
  QString FFailure;
  std::exception_ptr FPending;
};

// Value of attribute ALocal (prefix ignored) in an expat attribute list; null when absent.
const char *XmlAttr(const char **AAttrs, std::string_view ALocal);
// Same, but only an attribute with a namespace prefix ("r:id", not "id").
const char *XmlPrefixedAttr(const char **AAttrs, std::string_view ALocal);

// Loads a small part into a DOM; throws TFileFormatError naming the part when it is not XML.
void LoadXmlDocument(pugi::xml_document &ADoc, const QByteArray &AData, const QString &APart,
                     const QString &AFile);
pugi::xml_node XmlChild(pugi::xml_node ANode, std::string_view ALocal);
pugi::xml_attribute XmlAttribute(pugi::xml_node ANode, std::string_view ALocal);
pugi::xml_attribute XmlPrefixedAttribute(pugi::xml_node ANode, std::string_view ALocal);
inline QString XmlText(const char *A) { return QString::fromUtf8(A); }
inline std::string_view XmlNodeName(pugi::xml_node ANode) { return XmlLocalName(ANode.name()); }

// Append-only byte writer with XML escaping.
class TXmlWriter {
public:
  QByteArray Data;
  TXmlWriter &Raw(const char *A) { Data.append(A); return *this; }
  TXmlWriter &Raw(const QByteArray &A) { Data.append(A); return *this; }
  TXmlWriter &Raw(std::string_view A) { Data.append(A.data(), qsizetype(A.size())); return *this; }
  TXmlWriter &Text(const QString &A);      // escaped element text
  TXmlWriter &Text(QStringView A);
  TXmlWriter &Attr(const char *AName, const QString &AValue);   // ` name="value"`
  TXmlWriter &Attr(const char *AName, long long AValue);
  TXmlWriter &AttrNum(const char *AName, double AValue);
  TXmlWriter &Number(double AValue);
};

// Shortest text that reads back as the same double ("0.1", "1E+300").
void AppendDouble(QByteArray &AOut, double AValue);
// Escapes for element text (&, <, >) or, with AAttribute, also quotes and line breaks.
void AppendEscaped(QByteArray &AOut, QStringView AText, bool AAttribute);
void AppendEscapedUtf8(QByteArray &AOut, std::string_view AText, bool AAttribute);
