// Relationship parts (_rels/*.rels) and the content-type part ([Content_Types].xml).

#include "sheet/xlsx/XlsxParts.h"

#include "sheet/xlsx/XlsxXml.h"

#include <QStringList>
#include <algorithm>

std::vector<TXlsxRelationship> ReadRelationships(const QByteArray &AXml, const QString &APart,
                                                 const QString &AFile) {
  std::vector<TXlsxRelationship> rels;
  pugi::xml_document doc;
  LoadXmlDocument(doc, AXml, APart, AFile);
  for (pugi::xml_node n = doc.document_element().first_child(); n; n = n.next_sibling()) {
    if (XmlNodeName(n) != "Relationship") continue;
    TXlsxRelationship r;
    r.Id = XmlText(XmlAttribute(n, "Id").value());
    r.Type = XmlText(XmlAttribute(n, "Type").value());
    r.Target = XmlText(XmlAttribute(n, "Target").value());
    r.External = QString::fromUtf8(XmlAttribute(n, "TargetMode").value())
                     .compare(QLatin1String("External"), Qt::CaseInsensitive) == 0;
    if (!r.Id.isEmpty()) rels.push_back(r);
  }
  return rels;
}

namespace {
// Strict files are written back in transitional form, so their relationship types are too.
QString TransitionalType(const QString &AType) {
  static const QString strictBase = QStringLiteral("http://purl.oclc.org/ooxml/officeDocument/relationships/");
  if (!AType.startsWith(strictBase)) return AType;
  const QString rest = AType.mid(strictBase.size());
  if (rest == QLatin1String("metadata/core-properties"))
    return QStringLiteral("http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties");
  return QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships/") + rest;
}
} // namespace

QByteArray WriteRelationships(const std::vector<TXlsxRelationship> &ARels) {
  TXmlWriter w;
  w.Raw("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">");
  for (const TXlsxRelationship &r : ARels) {
    w.Raw("<Relationship").Attr("Id", r.Id).Attr("Type", TransitionalType(r.Type)).Attr("Target", r.Target);
    if (r.External) w.Raw(" TargetMode=\"External\"");
    w.Raw("/>");
  }
  w.Raw("</Relationships>");
  return w.Data;
}

QString RelsPartName(const QString &APart) {
  const qsizetype slash = APart.lastIndexOf(u'/');
  const QString dir = slash < 0 ? QString() : APart.left(slash + 1);
  return dir + QStringLiteral("_rels/") + APart.mid(slash + 1) + QStringLiteral(".rels");
}

QString ResolveTarget(const QString &ASourcePart, const QString &ATarget) {
  QString target = ATarget;
  target.replace(u'\\', u'/');
  QStringList parts;
  if (!target.startsWith(u'/')) {
    const qsizetype slash = ASourcePart.lastIndexOf(u'/');
    if (slash > 0) parts = ASourcePart.left(slash).split(u'/', Qt::SkipEmptyParts);
  }
  for (const QString &seg : target.split(u'/', Qt::SkipEmptyParts)) {
    if (seg == QLatin1String(".")) continue;
    if (seg == QLatin1String("..")) {
      if (!parts.isEmpty()) parts.removeLast();
      continue;
    }
    parts << seg;
  }
  return parts.join(u'/');
}

QString RelativeTarget(const QString &ASourcePart, const QString &ATargetPart) {
  const QStringList from = ASourcePart.split(u'/', Qt::SkipEmptyParts).mid(0, ASourcePart.count(u'/'));
  const QStringList to = ATargetPart.split(u'/', Qt::SkipEmptyParts);
  qsizetype common = 0;
  while (common < from.size() && common < to.size() - 1 && from[common] == to[common]) ++common;
  QStringList out;
  for (qsizetype i = common; i < from.size(); ++i) out << QStringLiteral("..");
  for (qsizetype i = common; i < to.size(); ++i) out << to[i];
  return out.join(u'/');
}

bool RelTypeIs(const QString &AType, const char *ASuffix) {
  const qsizetype slash = AType.lastIndexOf(u'/');
  return QStringView(AType).mid(slash + 1).compare(QLatin1String(ASuffix), Qt::CaseInsensitive) == 0;
}

TRelIdPool::TRelIdPool(const std::vector<TXlsxRelationship> &ARels) {
  for (const TXlsxRelationship &r : ARels) FUsed.insert(r.Id);
}

QString TRelIdPool::Take() {
  for (;;) {
    const QString id = QStringLiteral("rId%1").arg(FNext++);
    if (!FUsed.contains(id)) {
      FUsed.insert(id);
      return id;
    }
  }
}

void ReadContentTypes(const QByteArray &AXml, TXlsxWorkbookExtras &AExtras, const QString &AFile) {
  pugi::xml_document doc;
  LoadXmlDocument(doc, AXml, QStringLiteral("[Content_Types].xml"), AFile);
  for (pugi::xml_node n = doc.document_element().first_child(); n; n = n.next_sibling()) {
    if (XmlNodeName(n) == "Default")
      AExtras.DefaultTypes.insert(XmlText(XmlAttribute(n, "Extension").value()).toLower(),
                                  XmlText(XmlAttribute(n, "ContentType").value()));
    else if (XmlNodeName(n) == "Override") {
      QString name = XmlText(XmlAttribute(n, "PartName").value());
      while (name.startsWith(u'/')) name.remove(0, 1);
      AExtras.OverrideTypes.insert(name.toLower(), XmlText(XmlAttribute(n, "ContentType").value()));
    }
  }
}

QByteArray WriteContentTypes(const QHash<QString, QString> &ADefaults,
                             const std::vector<std::pair<QString, QString>> &AOverrides) {
  TXmlWriter w;
  w.Raw("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">");
  QStringList exts = ADefaults.keys();
  exts.sort();
  for (const QString &ext : exts)
    w.Raw("<Default").Attr("Extension", ext).Attr("ContentType", ADefaults.value(ext)).Raw("/>");
  for (const auto &[name, type] : AOverrides)
    w.Raw("<Override").Attr("PartName", QLatin1Char('/') + name).Attr("ContentType", type).Raw("/>");
  w.Raw("</Types>");
  return w.Data;
}
