// Legacy comment parts (xl/commentsN.xml) and the VML drawing that places their boxes.

#include "sheet/xlsx/XlsxParts.h"

#include "sheet/Sheet.h"
#include "sheet/xlsx/XlsxXml.h"

#include <QHash>
#include <sstream>

void AppendXlsxText(QByteArray &AOut, QStringView AText); // XlsxSharedStrings.cpp

namespace {

// Real comment texts nest three levels (text, r, t); deeper is hostile and simply not read.
void CollectText(pugi::xml_node ANode, QString &AText, bool &ARich, int ADepth = 0) {
  if (ADepth > 8) return;
  for (pugi::xml_node c = ANode.first_child(); c; c = c.next_sibling()) {
    if (c.type() != pugi::node_element) continue;
    const std::string_view n = XmlNodeName(c);
    if (n == "rPh") continue;
    if (n == "r") ARich = true;
    if (n == "t") AText += XmlText(c.child_value());
    else CollectText(c, AText, ARich, ADepth + 1);
  }
}

} // namespace

void ReadComments(const QByteArray &AXml, TSheet &ASheet, const QString &APart, const QString &AFile) {
  pugi::xml_document doc;
  LoadXmlDocument(doc, AXml, APart, AFile);
  const pugi::xml_node root = doc.document_element();
  QStringList authors;
  for (pugi::xml_node a : XmlChild(root, "authors").children())
    if (XmlNodeName(a) == "author") authors << XmlText(a.child_value());
  for (pugi::xml_node c : XmlChild(root, "commentList").children()) {
    if (XmlNodeName(c) != "comment") continue;
    int row, col;
    if (!ParseCellRef(XmlText(XmlAttribute(c, "ref").value()), row, col)) continue;
    TComment comment;
    const int author = XmlAttribute(c, "authorId").as_int(-1);
    if (author >= 0 && author < authors.size()) comment.Author = authors[author];
    bool rich = false;
    const pugi::xml_node text = XmlChild(c, "text");
    CollectText(text, comment.Text, rich);
    if (rich) {
      // Without the source part's prefixes, as the writer puts runs under its default namespace.
      for (pugi::xml_node n = text.first_child(); n;) {
        if (n.type() == pugi::node_element) {
          const std::string local(XmlLocalName(n.name()));
          n.set_name(local.c_str());
        }
        if (n.first_child()) { n = n.first_child(); continue; }
        while (n && !n.next_sibling() && n != text) n = n.parent();
        if (!n || n == text) break;
        n = n.next_sibling();
      }
      std::ostringstream out;
      for (pugi::xml_node k = text.first_child(); k; k = k.next_sibling()) k.print(out, "", pugi::format_raw);
      comment.RichBlob = QByteArray::fromStdString(out.str());
    }
    if (pugi::xml_node pr = XmlChild(c, "commentPr")) comment.Description = XmlText(XmlAttribute(pr, "altText").value());
    ASheet.SetComment(row, col, comment);
  }
}

void ReadVmlCommentAltTexts(const QByteArray &AVml, TSheet &ASheet) {
  pugi::xml_document doc;
  // Old VML is often not well-formed; whatever cannot be read simply adds nothing.
  if (!doc.load_buffer(AVml.constData(), size_t(AVml.size()))) return;
  // Shapes sit at the top or inside a group; a plain walk finds them without recursion.
  std::vector<pugi::xml_node> shapes;
  for (pugi::xml_node n = doc.first_child(); n;) {
    if (n.type() == pugi::node_element && XmlNodeName(n) == "shape") shapes.push_back(n);
    if (n.first_child()) { n = n.first_child(); continue; }
    while (n && !n.next_sibling()) n = n.parent();
    if (n) n = n.next_sibling();
  }
  for (const pugi::xml_node shape : shapes) {
    const QString alt = XmlText(shape.attribute("alt").value());
    if (alt.isEmpty()) continue;
    const pugi::xml_node data = XmlChild(shape, "ClientData");
    if (!data) continue;
    const int row = QString::fromUtf8(XmlChild(data, "Row").child_value()).trimmed().toInt();
    const int col = QString::fromUtf8(XmlChild(data, "Column").child_value()).trimmed().toInt();
    if (const TComment *c = ASheet.Comment(row, col)) {
      if (!c->Description.isEmpty()) continue;
      TComment copy = *c;
      copy.Description = alt;
      ASheet.SetComment(row, col, copy);
    }
  }
}

QByteArray WriteComments(const TSheet &ASheet) {
  QStringList authors;
  QHash<QString, int> authorIndex;
  for (const auto &[pos, c] : ASheet.Comments())
    if (!authorIndex.contains(c.Author)) {
      authorIndex.insert(c.Author, int(authors.size()));
      authors << c.Author;
    }
  TXmlWriter w;
  w.Raw("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<comments xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><authors>");
  for (const QString &a : authors) w.Raw("<author>").Text(a).Raw("</author>");
  w.Raw("</authors><commentList>");
  for (const auto &[pos, c] : ASheet.Comments()) {
    w.Raw("<comment").Attr("ref", CellRefName(pos.first, pos.second)).Attr("authorId", authorIndex.value(c.Author));
    w.Raw(" shapeId=\"0\"><text>");
    if (!c.RichBlob.isEmpty()) w.Raw(c.RichBlob);
    else AppendXlsxText(w.Data, c.Text);
    w.Raw("</text></comment>");
  }
  w.Raw("</commentList></comments>");
  return w.Data;
}

QByteArray WriteCommentsVml(const TSheet &ASheet) {
  TXmlWriter w;
  w.Raw("<xml xmlns:v=\"urn:schemas-microsoft-com:vml\" xmlns:o=\"urn:schemas-microsoft-com:office:office\" "
        "xmlns:x=\"urn:schemas-microsoft-com:office:excel\">"
        "<o:shapelayout v:ext=\"edit\"><o:idmap v:ext=\"edit\" data=\"1\"/></o:shapelayout>"
        "<v:shapetype id=\"_x0000_t202\" coordsize=\"21600,21600\" o:spt=\"202\" path=\"m,l,21600r21600,l21600,xe\">"
        "<v:stroke joinstyle=\"miter\"/><v:path gradientshapeok=\"t\" o:connecttype=\"rect\"/></v:shapetype>");
  int id = 1025;
  for (const auto &[pos, c] : ASheet.Comments()) {
    const int row = pos.first, col = pos.second;
    w.Raw("<v:shape").Attr("id", QStringLiteral("_x0000_s%1").arg(id++)).Raw(" type=\"#_x0000_t202\"");
    w.Raw(" style=\"position:absolute;margin-left:59.25pt;margin-top:1.5pt;width:108pt;height:59.25pt;z-index:1;visibility:hidden\"");
    if (!c.Description.isEmpty()) w.Attr("alt", c.Description);
    w.Raw(" fillcolor=\"#ffffe1\" o:insetmode=\"auto\"><v:fill color2=\"#ffffe1\"/>"
          "<v:shadow on=\"t\" color=\"black\" obscured=\"t\"/><v:path o:connecttype=\"none\"/>"
          "<v:textbox style=\"mso-direction-alt:auto\"><div style=\"text-align:left\"></div></v:textbox>"
          "<x:ClientData ObjectType=\"Note\"><x:MoveWithCells/><x:SizeWithCells/>");
    w.Raw("<x:Anchor>")
        .Raw(QStringLiteral("%1, 15, %2, 2, %3, 15, %4, 16").arg(col + 1).arg(row).arg(col + 3).arg(row + 3).toLatin1())
        .Raw("</x:Anchor><x:AutoFill>False</x:AutoFill>");
    w.Raw("<x:Row>").Raw(QByteArray::number(row)).Raw("</x:Row><x:Column>").Raw(QByteArray::number(col)).Raw("</x:Column>");
    w.Raw("</x:ClientData></v:shape>");
  }
  w.Raw("</xml>");
  return w.Data;
}
