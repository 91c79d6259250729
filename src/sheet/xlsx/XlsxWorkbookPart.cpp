// The workbook part (xl/workbook.xml): sheet list, states, active sheet, date system and defined
// names. The writer patches the original part so everything else in it (calculation settings,
// pivot caches, external references, extension lists) stays as it was.

#include "sheet/xlsx/XlsxParts.h"

#include "sheet/Workbook.h"
#include "sheet/xlsx/XlsxXml.h"

#include <sstream>

namespace {

const char *const KMainNs = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const char *const KRelNs = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
const char *const KStrictMainNs = "http://purl.oclc.org/ooxml/spreadsheetml/main";

bool TrueValue(const char *A) {
  return std::strcmp(A, "1") == 0 || std::strcmp(A, "true") == 0 || std::strcmp(A, "on") == 0;
}

} // namespace

void ReadWorkbookPart(const QByteArray &AXml, TWorkbook &AWorkbook,
                      std::vector<TXlsxSheetEntry> &ASheets, bool &AStrict, int &AActiveTab, const QString &APart,
                      const QString &AFile) {
  pugi::xml_document doc;
  LoadXmlDocument(doc, AXml, APart, AFile);
  const pugi::xml_node root = doc.document_element();
  for (pugi::xml_attribute a = root.first_attribute(); a; a = a.next_attribute())
    if (std::strcmp(a.value(), KStrictMainNs) == 0) AStrict = true;
  if (pugi::xml_node pr = XmlChild(root, "workbookPr"))
    AWorkbook.SetDate1904(TrueValue(XmlAttribute(pr, "date1904").value()));
  if (pugi::xml_node views = XmlChild(root, "bookViews"))
    if (pugi::xml_node view = XmlChild(views, "workbookView"))
      AActiveTab = XmlAttribute(view, "activeTab").as_int(0);
  if (pugi::xml_node sheets = XmlChild(root, "sheets")) {
    for (pugi::xml_node s = sheets.first_child(); s; s = s.next_sibling()) {
      if (XmlNodeName(s) != "sheet") continue;
      TXlsxSheetEntry e;
      e.Name = XmlText(XmlAttribute(s, "name").value());
      e.SheetId = XmlAttribute(s, "sheetId").as_int(0);
      e.State = XmlText(XmlAttribute(s, "state").value());
      e.RelId = XmlText(XmlPrefixedAttribute(s, "id").value());
      ASheets.push_back(e);
    }
  }
  if (pugi::xml_node names = XmlChild(root, "definedNames")) {
    for (pugi::xml_node n = names.first_child(); n; n = n.next_sibling()) {
      if (XmlNodeName(n) != "definedName") continue;
      TDefinedName d;
      d.Formula = XmlText(n.child_value());
      for (pugi::xml_attribute a = n.first_attribute(); a; a = a.next_attribute()) {
        const std::string_view an = XmlLocalName(a.name());
        if (an == "name") d.Name = XmlText(a.value());
        else if (an == "localSheetId") d.LocalSheet = a.as_int(-1);
        else if (an == "hidden") d.Hidden = TrueValue(a.value());
        else d.Options.append({XmlText(a.name()), XmlText(a.value())});
      }
      if (!d.Name.isEmpty()) AWorkbook.DefinedNames().push_back(d);
    }
  }
}

namespace {

// Element name with the prefix the root element uses for the main namespace.
std::string Qualified(pugi::xml_node ARoot, const char *ALocal) {
  const std::string_view root = ARoot.name();
  const size_t colon = root.find(':');
  if (colon == std::string_view::npos) return ALocal;
  return std::string(root.substr(0, colon + 1)) + ALocal;
}

const char *RelPrefix(pugi::xml_node ARoot) {
  for (pugi::xml_attribute a = ARoot.first_attribute(); a; a = a.next_attribute()) {
    const std::string_view n = a.name();
    const std::string_view v = a.value();
    if (n.substr(0, 6) == "xmlns:" && v.find("relationships") != std::string_view::npos &&
        v.find("package") == std::string_view::npos)
      return a.name() + 6;
  }
  return nullptr;
}

// The first child whose name is one of ALocals, in document order; null when none.
pugi::xml_node FirstOf(pugi::xml_node AParent, std::initializer_list<const char *> ALocals) {
  for (pugi::xml_node c = AParent.first_child(); c; c = c.next_sibling())
    for (const char *l : ALocals)
      if (XmlNodeName(c) == l) return c;
  return {};
}

} // namespace

QByteArray WriteWorkbookPart(const TWorkbook &AWorkbook, const QByteArray &AOriginal,
                             const std::vector<std::pair<QString, int>> &ASheetRefs) {
  pugi::xml_document doc;
  bool parsed = false;
  if (!AOriginal.isEmpty())
    parsed = doc.load_buffer(AOriginal.constData(), size_t(AOriginal.size()),
                             pugi::parse_default | pugi::parse_ws_pcdata_single);
  pugi::xml_node root = doc.document_element();
  bool strict = false;
  if (parsed && root)
    for (pugi::xml_attribute a = root.first_attribute(); a; a = a.next_attribute())
      if (std::strcmp(a.value(), KStrictMainNs) == 0) strict = true;
  if (!parsed || !root || strict) {
    // Strict files are written in transitional form (what Excel itself saves by default).
    doc.reset();
    root = doc.append_child("workbook");
    root.append_attribute("xmlns") = KMainNs;
    root.append_attribute("xmlns:r") = KRelNs;
    root.append_child("workbookPr");
    root.append_child("bookViews").append_child("workbookView");
    root.append_child("sheets");
  }
  const char *relPrefix = RelPrefix(root);
  std::string relAttr = relPrefix ? std::string(relPrefix) + ":id" : std::string("r:id");
  if (!relPrefix) root.append_attribute("xmlns:r") = KRelNs;

  // workbookPr: date system.
  pugi::xml_node pr = XmlChild(root, "workbookPr");
  if (!pr) pr = root.insert_child_before(Qualified(root, "workbookPr").c_str(),
                                         FirstOf(root, {"workbookProtection", "bookViews", "sheets"}));
  pugi::xml_attribute d1904 = XmlAttribute(pr, "date1904");
  if (AWorkbook.Date1904()) {
    if (!d1904) d1904 = pr.append_attribute("date1904");
    d1904.set_value("1");
  } else if (d1904) {
    pr.remove_attribute(d1904);
  }

  // Active sheet.
  pugi::xml_node views = XmlChild(root, "bookViews");
  if (!views) views = root.insert_child_before(Qualified(root, "bookViews").c_str(), FirstOf(root, {"sheets"}));
  pugi::xml_node view = XmlChild(views, "workbookView");
  if (!view) view = views.append_child(Qualified(root, "workbookView").c_str());
  pugi::xml_attribute tab = XmlAttribute(view, "activeTab");
  if (AWorkbook.ActiveSheetIndex() > 0) {
    if (!tab) tab = view.append_attribute("activeTab");
    tab.set_value(AWorkbook.ActiveSheetIndex());
  } else if (tab) {
    view.remove_attribute(tab);
  }
  if (pugi::xml_attribute first = XmlAttribute(view, "firstSheet"))
    if (first.as_int() >= AWorkbook.SheetCount()) view.remove_attribute(first);

  // Sheets.
  pugi::xml_node sheets = XmlChild(root, "sheets");
  if (sheets) {
    while (sheets.first_child()) sheets.remove_child(sheets.first_child());
  } else {
    sheets = root.insert_child_after(Qualified(root, "sheets").c_str(), views);
  }
  for (int i = 0; i < AWorkbook.SheetCount(); ++i) {
    const TSheet &s = AWorkbook.Sheet(i);
    pugi::xml_node n = sheets.append_child(Qualified(root, "sheet").c_str());
    n.append_attribute("name") = s.Name().toUtf8().constData();
    n.append_attribute("sheetId") = ASheetRefs[size_t(i)].second;
    if (s.State() == TSheetState::ssHidden) n.append_attribute("state") = "hidden";
    if (s.State() == TSheetState::ssVeryHidden) n.append_attribute("state") = "veryHidden";
    n.append_attribute(relAttr.c_str()) = ASheetRefs[size_t(i)].first.toUtf8().constData();
  }

  // Defined names.
  pugi::xml_node names = XmlChild(root, "definedNames");
  if (names) root.remove_child(names);
  if (!AWorkbook.DefinedNames().empty()) {
    pugi::xml_node after = sheets;
    if (pugi::xml_node ext = XmlChild(root, "externalReferences")) after = ext;
    if (pugi::xml_node fg = XmlChild(root, "functionGroups")) after = after == sheets ? fg : after;
    names = root.insert_child_after(Qualified(root, "definedNames").c_str(), after);
    for (const TDefinedName &d : AWorkbook.DefinedNames()) {
      if (d.LocalSheet >= AWorkbook.SheetCount()) continue;
      pugi::xml_node n = names.append_child(Qualified(root, "definedName").c_str());
      n.append_attribute("name") = d.Name.toUtf8().constData();
      if (d.LocalSheet >= 0) n.append_attribute("localSheetId") = d.LocalSheet;
      if (d.Hidden) n.append_attribute("hidden") = "1";
      for (const auto &[k, v] : d.Options) n.append_attribute(k.toUtf8().constData()) = v.toUtf8().constData();
      n.text().set(d.Formula.toUtf8().constData());
    }
  }

  std::ostringstream out;
  doc.save(out, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
  const std::string body = out.str();
  QByteArray result("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n");
  result.append(body.data(), qsizetype(body.size()));
  return result;
}
