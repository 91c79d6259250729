// The styles part (xl/styles.xml): number formats, fonts, fills, borders and cell formats into
// the style table. The writer patches the original part, so named styles, differential formats,
// table styles, the colour palette and extensions stay as they were.

#include "sheet/xlsx/XlsxParts.h"

#include "sheet/Styles.h"
#include "sheet/xlsx/XlsxXml.h"

#include <sstream>

namespace {

bool BoolValue(pugi::xml_node ANode, const char *AAttr, bool ADefault) {
  pugi::xml_attribute a = XmlAttribute(ANode, AAttr);
  if (!a) return ADefault;
  const std::string_view v = a.value();
  return v == "1" || v == "true";
}

// <b/>, <b val="0"/>: a flag element of a font.
bool FlagChild(pugi::xml_node AFont, const char *AName) {
  pugi::xml_node n = XmlChild(AFont, AName);
  return n && BoolValue(n, "val", true);
}

TColor ReadColor(pugi::xml_node ANode) {
  TColor c;
  if (!ANode) return c;
  if (pugi::xml_attribute a = XmlAttribute(ANode, "rgb")) {
    c.Kind = TColor::ckRgb;
    QString hex = XmlText(a.value());
    if (hex.size() == 6) hex.prepend(QStringLiteral("FF"));
    c.Argb = hex.toUInt(nullptr, 16);
  } else if (pugi::xml_attribute a = XmlAttribute(ANode, "theme")) {
    c.Kind = TColor::ckTheme;
    c.Index = a.as_int();
  } else if (pugi::xml_attribute a = XmlAttribute(ANode, "indexed")) {
    c.Kind = TColor::ckIndexed;
    c.Index = a.as_int();
  } else if (BoolValue(ANode, "auto", false)) {
    c.Kind = TColor::ckAuto;
  }
  if (c.Kind != TColor::ckNone) c.Tint = XmlAttribute(ANode, "tint").as_double(0);
  return c;
}

TFont ReadFont(pugi::xml_node ANode) {
  TFont f;
  f.Name = XmlText(XmlAttribute(XmlChild(ANode, "name"), "val").value());
  if (f.Name.isEmpty()) f.Name = XmlText(XmlAttribute(XmlChild(ANode, "rFont"), "val").value());
  f.Size = XmlAttribute(XmlChild(ANode, "sz"), "val").as_double(0);
  f.Bold = FlagChild(ANode, "b");
  f.Italic = FlagChild(ANode, "i");
  f.Strike = FlagChild(ANode, "strike");
  f.Outline = FlagChild(ANode, "outline");
  f.Shadow = FlagChild(ANode, "shadow");
  f.Condense = FlagChild(ANode, "condense");
  f.Extend = FlagChild(ANode, "extend");
  if (pugi::xml_node u = XmlChild(ANode, "u")) {
    f.Underline = XmlText(XmlAttribute(u, "val").value());
    if (f.Underline.isEmpty()) f.Underline = QStringLiteral("single");
  }
  f.VertAlign = XmlText(XmlAttribute(XmlChild(ANode, "vertAlign"), "val").value());
  f.Scheme = XmlText(XmlAttribute(XmlChild(ANode, "scheme"), "val").value());
  if (pugi::xml_node n = XmlChild(ANode, "family")) f.Family = XmlAttribute(n, "val").as_int(-1);
  if (pugi::xml_node n = XmlChild(ANode, "charset")) f.Charset = XmlAttribute(n, "val").as_int(-1);
  f.Color = ReadColor(XmlChild(ANode, "color"));
  return f;
}

TFill ReadFill(pugi::xml_node ANode) {
  TFill f;
  if (pugi::xml_node p = XmlChild(ANode, "patternFill")) {
    f.PatternType = XmlText(XmlAttribute(p, "patternType").value());
    if (f.PatternType.isEmpty()) f.PatternType = QStringLiteral("none");
    f.FgColor = ReadColor(XmlChild(p, "fgColor"));
    f.BgColor = ReadColor(XmlChild(p, "bgColor"));
  } else if (pugi::xml_node g = XmlChild(ANode, "gradientFill")) {
    std::ostringstream out;
    g.print(out, "", pugi::format_raw);
    f.Opaque = QByteArray::fromStdString(out.str());
  } else {
    f.PatternType = QStringLiteral("none");
  }
  return f;
}

TBorderLine ReadLine(pugi::xml_node ANode) {
  TBorderLine l;
  if (!ANode) return l;
  l.Style = XmlText(XmlAttribute(ANode, "style").value());
  if (l.Style == QLatin1String("none")) l.Style.clear();
  l.Color = ReadColor(XmlChild(ANode, "color"));
  return l;
}

TBorder ReadBorder(pugi::xml_node ANode) {
  TBorder b;
  b.Left = ReadLine(XmlChild(ANode, "left"));
  if (!XmlChild(ANode, "left")) b.Left = ReadLine(XmlChild(ANode, "start"));
  b.Right = ReadLine(XmlChild(ANode, "right"));
  if (!XmlChild(ANode, "right")) b.Right = ReadLine(XmlChild(ANode, "end"));
  b.Top = ReadLine(XmlChild(ANode, "top"));
  b.Bottom = ReadLine(XmlChild(ANode, "bottom"));
  b.Diagonal = ReadLine(XmlChild(ANode, "diagonal"));
  b.Vertical = ReadLine(XmlChild(ANode, "vertical"));
  b.Horizontal = ReadLine(XmlChild(ANode, "horizontal"));
  b.DiagonalUp = BoolValue(ANode, "diagonalUp", false);
  b.DiagonalDown = BoolValue(ANode, "diagonalDown", false);
  b.Outline = BoolValue(ANode, "outline", true);
  return b;
}

TCellFormat ReadXf(pugi::xml_node ANode) {
  TCellFormat x;
  x.NumFmtId = XmlAttribute(ANode, "numFmtId").as_int(0);
  x.FontId = XmlAttribute(ANode, "fontId").as_int(0);
  x.FillId = XmlAttribute(ANode, "fillId").as_int(0);
  x.BorderId = XmlAttribute(ANode, "borderId").as_int(0);
  x.XfId = XmlAttribute(ANode, "xfId").as_int(0);
  x.ApplyNumberFormat = BoolValue(ANode, "applyNumberFormat", false);
  x.ApplyFont = BoolValue(ANode, "applyFont", false);
  x.ApplyFill = BoolValue(ANode, "applyFill", false);
  x.ApplyBorder = BoolValue(ANode, "applyBorder", false);
  x.ApplyAlignment = BoolValue(ANode, "applyAlignment", false);
  x.ApplyProtection = BoolValue(ANode, "applyProtection", false);
  x.QuotePrefix = BoolValue(ANode, "quotePrefix", false);
  x.PivotButton = BoolValue(ANode, "pivotButton", false);
  if (pugi::xml_node a = XmlChild(ANode, "alignment")) {
    x.Alignment.Horizontal = XmlText(XmlAttribute(a, "horizontal").value());
    x.Alignment.Vertical = XmlText(XmlAttribute(a, "vertical").value());
    x.Alignment.TextRotation = XmlAttribute(a, "textRotation").as_int(0);
    x.Alignment.Indent = XmlAttribute(a, "indent").as_int(0);
    x.Alignment.RelativeIndent = XmlAttribute(a, "relativeIndent").as_int(0);
    x.Alignment.ReadingOrder = XmlAttribute(a, "readingOrder").as_int(0);
    x.Alignment.WrapText = BoolValue(a, "wrapText", false);
    x.Alignment.ShrinkToFit = BoolValue(a, "shrinkToFit", false);
    x.Alignment.JustifyLastLine = BoolValue(a, "justifyLastLine", false);
  }
  if (pugi::xml_node p = XmlChild(ANode, "protection")) {
    x.Protection.Locked = BoolValue(p, "locked", true);
    x.Protection.Hidden = BoolValue(p, "hidden", false);
  }
  return x;
}

} // namespace

void ReadStyles(const QByteArray &AXml, TStyleTable &AStyles, const QString &APart, const QString &AFile) {
  pugi::xml_document doc;
  LoadXmlDocument(doc, AXml, APart, AFile);
  const pugi::xml_node root = doc.document_element();
  AStyles.ClearAll();
  for (pugi::xml_node n : XmlChild(root, "numFmts").children())
    if (XmlNodeName(n) == "numFmt")
      AStyles.NumberFormats[XmlAttribute(n, "numFmtId").as_int(-1)] = XmlText(XmlAttribute(n, "formatCode").value());
  for (pugi::xml_node n : XmlChild(root, "fonts").children())
    if (XmlNodeName(n) == "font") AStyles.Fonts.push_back(ReadFont(n));
  for (pugi::xml_node n : XmlChild(root, "fills").children())
    if (XmlNodeName(n) == "fill") AStyles.Fills.push_back(ReadFill(n));
  for (pugi::xml_node n : XmlChild(root, "borders").children())
    if (XmlNodeName(n) == "border") AStyles.Borders.push_back(ReadBorder(n));
  for (pugi::xml_node n : XmlChild(root, "cellStyleXfs").children())
    if (XmlNodeName(n) == "xf") AStyles.StyleFormats.push_back(ReadXf(n));
  for (pugi::xml_node n : XmlChild(root, "cellXfs").children())
    if (XmlNodeName(n) == "xf") AStyles.CellFormats.push_back(ReadXf(n));
  // Excel needs at least the defaults; a file without them gets them.
  TStyleTable defaults;
  if (AStyles.Fonts.empty()) AStyles.Fonts = defaults.Fonts;
  if (AStyles.Fills.empty()) AStyles.Fills = defaults.Fills;
  if (AStyles.Borders.empty()) AStyles.Borders = defaults.Borders;
  if (AStyles.StyleFormats.empty()) AStyles.StyleFormats = defaults.StyleFormats;
  if (AStyles.CellFormats.empty()) AStyles.CellFormats = defaults.CellFormats;
}

// ---------------------------------------------------------------- writing

namespace {

void WriteColor(TXmlWriter &W, const char *AName, const TColor &AColor) {
  if (!AColor.IsSet()) return;
  W.Raw("<").Raw(AName);
  switch (AColor.Kind) {
  case TColor::ckAuto: W.Raw(" auto=\"1\""); break;
  case TColor::ckRgb: W.Attr("rgb", QStringLiteral("%1").arg(AColor.Argb, 8, 16, QLatin1Char('0')).toUpper()); break;
  case TColor::ckIndexed: W.Attr("indexed", AColor.Index); break;
  case TColor::ckTheme: W.Attr("theme", AColor.Index); break;
  default: break;
  }
  if (AColor.Tint != 0) W.AttrNum("tint", AColor.Tint);
  W.Raw("/>");
}

void WriteFont(TXmlWriter &W, const TFont &F) {
  W.Raw("<font>");
  if (F.Bold) W.Raw("<b/>");
  if (F.Italic) W.Raw("<i/>");
  if (F.Strike) W.Raw("<strike/>");
  if (F.Condense) W.Raw("<condense/>");
  if (F.Extend) W.Raw("<extend/>");
  if (F.Outline) W.Raw("<outline/>");
  if (F.Shadow) W.Raw("<shadow/>");
  if (!F.Underline.isEmpty()) {
    if (F.Underline == QLatin1String("single")) W.Raw("<u/>");
    else W.Raw("<u").Attr("val", F.Underline).Raw("/>");
  }
  if (!F.VertAlign.isEmpty()) W.Raw("<vertAlign").Attr("val", F.VertAlign).Raw("/>");
  if (F.Size > 0) W.Raw("<sz").AttrNum("val", F.Size).Raw("/>");
  WriteColor(W, "color", F.Color);
  if (!F.Name.isEmpty()) W.Raw("<name").Attr("val", F.Name).Raw("/>");
  if (F.Family >= 0) W.Raw("<family").Attr("val", F.Family).Raw("/>");
  if (F.Charset >= 0) W.Raw("<charset").Attr("val", F.Charset).Raw("/>");
  if (!F.Scheme.isEmpty()) W.Raw("<scheme").Attr("val", F.Scheme).Raw("/>");
  W.Raw("</font>");
}

void WriteFill(TXmlWriter &W, const TFill &F) {
  W.Raw("<fill>");
  if (!F.Opaque.isEmpty()) {
    W.Raw(F.Opaque);
  } else {
    W.Raw("<patternFill").Attr("patternType", F.PatternType.isEmpty() ? QStringLiteral("none") : F.PatternType);
    if (F.FgColor.IsSet() || F.BgColor.IsSet()) {
      W.Raw(">");
      WriteColor(W, "fgColor", F.FgColor);
      WriteColor(W, "bgColor", F.BgColor);
      W.Raw("</patternFill>");
    } else {
      W.Raw("/>");
    }
  }
  W.Raw("</fill>");
}

void WriteLine(TXmlWriter &W, const char *AName, const TBorderLine &L, bool AAlways) {
  if (L.Style.isEmpty() && !L.Color.IsSet()) {
    if (AAlways) W.Raw("<").Raw(AName).Raw("/>");
    return;
  }
  W.Raw("<").Raw(AName);
  if (!L.Style.isEmpty()) W.Attr("style", L.Style);
  if (L.Color.IsSet()) {
    W.Raw(">");
    WriteColor(W, "color", L.Color);
    W.Raw("</").Raw(AName).Raw(">");
  } else {
    W.Raw("/>");
  }
}

void WriteBorder(TXmlWriter &W, const TBorder &B) {
  W.Raw("<border");
  if (B.DiagonalUp) W.Raw(" diagonalUp=\"1\"");
  if (B.DiagonalDown) W.Raw(" diagonalDown=\"1\"");
  if (!B.Outline) W.Raw(" outline=\"0\"");
  W.Raw(">");
  WriteLine(W, "left", B.Left, true);
  WriteLine(W, "right", B.Right, true);
  WriteLine(W, "top", B.Top, true);
  WriteLine(W, "bottom", B.Bottom, true);
  WriteLine(W, "diagonal", B.Diagonal, true);
  WriteLine(W, "vertical", B.Vertical, false);
  WriteLine(W, "horizontal", B.Horizontal, false);
  W.Raw("</border>");
}

void WriteXf(TXmlWriter &W, const TCellFormat &X, bool ACellXf) {
  W.Raw("<xf").Attr("numFmtId", X.NumFmtId).Attr("fontId", X.FontId).Attr("fillId", X.FillId).Attr("borderId", X.BorderId);
  if (ACellXf) W.Attr("xfId", X.XfId);
  if (X.QuotePrefix) W.Raw(" quotePrefix=\"1\"");
  if (X.PivotButton) W.Raw(" pivotButton=\"1\"");
  if (X.ApplyNumberFormat) W.Raw(" applyNumberFormat=\"1\"");
  if (X.ApplyFont) W.Raw(" applyFont=\"1\"");
  if (X.ApplyFill) W.Raw(" applyFill=\"1\"");
  if (X.ApplyBorder) W.Raw(" applyBorder=\"1\"");
  if (X.ApplyAlignment) W.Raw(" applyAlignment=\"1\"");
  if (X.ApplyProtection) W.Raw(" applyProtection=\"1\"");
  if (X.Alignment.IsDefault() && X.Protection.IsDefault()) {
    W.Raw("/>");
    return;
  }
  W.Raw(">");
  if (!X.Alignment.IsDefault()) {
    const TAlignment &A = X.Alignment;
    W.Raw("<alignment");
    if (!A.Horizontal.isEmpty()) W.Attr("horizontal", A.Horizontal);
    if (!A.Vertical.isEmpty()) W.Attr("vertical", A.Vertical);
    if (A.TextRotation) W.Attr("textRotation", A.TextRotation);
    if (A.WrapText) W.Raw(" wrapText=\"1\"");
    if (A.Indent) W.Attr("indent", A.Indent);
    if (A.RelativeIndent) W.Attr("relativeIndent", A.RelativeIndent);
    if (A.JustifyLastLine) W.Raw(" justifyLastLine=\"1\"");
    if (A.ShrinkToFit) W.Raw(" shrinkToFit=\"1\"");
    if (A.ReadingOrder) W.Attr("readingOrder", A.ReadingOrder);
    W.Raw("/>");
  }
  if (!X.Protection.IsDefault()) {
    W.Raw("<protection");
    if (!X.Protection.Locked) W.Raw(" locked=\"0\"");
    if (X.Protection.Hidden) W.Raw(" hidden=\"1\"");
    W.Raw("/>");
  }
  W.Raw("</xf>");
}

template <class T, class F>
QByteArray Section(const char *AName, const std::vector<T> &AItems, F AWrite) {
  TXmlWriter w;
  w.Raw("<").Raw(AName).Attr("count", qint64(AItems.size())).Raw(">");
  for (const T &item : AItems) AWrite(w, item);
  w.Raw("</").Raw(AName).Raw(">");
  return w.Data;
}

} // namespace

QByteArray WriteStyles(const TStyleTable &AStyles, const QByteArray &AOriginal) {
  // Sections the writer owns, in schema order; the rest of the original part stays.
  std::vector<std::pair<const char *, QByteArray>> owned;
  {
    TXmlWriter w;
    w.Raw("<numFmts").Attr("count", qint64(AStyles.NumberFormats.size())).Raw(">");
    for (const auto &[id, code] : AStyles.NumberFormats)
      w.Raw("<numFmt").Attr("numFmtId", id).Attr("formatCode", code).Raw("/>");
    w.Raw("</numFmts>");
    owned.push_back({"numFmts", AStyles.NumberFormats.empty() ? QByteArray() : w.Data});
  }
  owned.push_back({"fonts", Section("fonts", AStyles.Fonts, WriteFont)});
  owned.push_back({"fills", Section("fills", AStyles.Fills, WriteFill)});
  owned.push_back({"borders", Section("borders", AStyles.Borders, WriteBorder)});
  owned.push_back({"cellStyleXfs", Section("cellStyleXfs", AStyles.StyleFormats,
                                           [](TXmlWriter &W, const TCellFormat &X) { WriteXf(W, X, false); })});
  owned.push_back({"cellXfs", Section("cellXfs", AStyles.CellFormats,
                                      [](TXmlWriter &W, const TCellFormat &X) { WriteXf(W, X, true); })});

  // Collect the original's other top-level elements as raw XML, with their namespace context.
  QByteArray rootAttrs = " xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"";
  std::vector<std::pair<std::string, QByteArray>> others; // name, xml (in original order)
  pugi::xml_document doc;
  if (!AOriginal.isEmpty() && doc.load_buffer(AOriginal.constData(), size_t(AOriginal.size()),
                                              pugi::parse_default | pugi::parse_ws_pcdata_single)) {
    const pugi::xml_node root = doc.document_element();
    bool strict = false;
    QByteArray attrs;
    for (pugi::xml_attribute a = root.first_attribute(); a; a = a.next_attribute()) {
      if (std::strstr(a.value(), "purl.oclc.org")) strict = true;
      attrs.append(' ').append(a.name()).append("=\"");
      AppendEscapedUtf8(attrs, a.value(), true);
      attrs.append('"');
    }
    if (!strict) {
      // A prefixed root ("x:styleSheet") declares its prefix; the sections written here go
      // under the default namespace, so that is declared too.
      if (!attrs.contains(" xmlns=\"")) attrs.prepend(" xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"");
      rootAttrs = attrs;
      for (pugi::xml_node c = root.first_child(); c; c = c.next_sibling()) {
        if (c.type() != pugi::node_element) continue;
        std::ostringstream out;
        c.print(out, "", pugi::format_raw);
        others.push_back({std::string(XmlNodeName(c)), QByteArray::fromStdString(out.str())});
      }
    }
  }
  static const char *const KOrder[] = {"numFmts", "fonts", "fills", "borders", "cellStyleXfs", "cellXfs",
                                       "cellStyles", "dxfs", "tableStyles", "colors", "extLst"};
  auto rank = [](std::string_view AName) {
    for (int i = 0; i < int(std::size(KOrder)); ++i)
      if (AName == KOrder[i]) return i;
    return int(std::size(KOrder));
  };
  TXmlWriter w;
  w.Raw("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<styleSheet").Raw(rootAttrs).Raw(">");
  size_t nextOwned = 0;
  auto flushOwned = [&](int AUpToRank) {
    while (nextOwned < owned.size() && rank(owned[nextOwned].first) < AUpToRank) w.Raw(owned[nextOwned++].second);
  };
  bool sawCellStyles = false;
  for (const auto &[name, xml] : others) {
    const int r = rank(name);
    if (r <= 5) continue; // an owned section: written from the model
    flushOwned(r);
    if (name == "cellStyles") sawCellStyles = true;
    w.Raw(xml);
  }
  flushOwned(1000);
  if (!sawCellStyles && others.empty())
    w.Raw("<cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles>");
  w.Raw("</styleSheet>");
  return w.Data;
}
