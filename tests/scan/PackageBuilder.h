#pragma once
// Small .xlsx packages for the scan tests, zipped from XML strings: a workbook part, its
// relationships, worksheet parts and an optional shared-string table.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <zip.h>
#include <utility>
#include <vector>

using TMembers = std::vector<std::pair<QString, QByteArray>>;

inline const QByteArray KMainNs = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
inline const QByteArray KRelNs = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

struct TSheetSpec {
  QByteArray Name;
  QByteArray Xml;                          // the worksheet part ("" for none)
  QByteArray State = "";                   // state attribute ("" for none)
  QByteArray Target = "";                  // relationship target ("" = worksheets/sheetN.xml)
  QByteArray Type = "worksheet";           // relationship type's last segment
};

inline TMembers Package(const std::vector<TSheetSpec> &ASheets, const QByteArray &AShared = QByteArray()) {
  QByteArray wb = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<workbook xmlns=\"" + KMainNs + "\" xmlns:r=\"" + KRelNs +
                  "\"><sheets>";
  QByteArray rels = "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
  QByteArray types = "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                     "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
                     "<Default Extension=\"xml\" ContentType=\"application/xml\"/><Override PartName=\"/xl/workbook.xml\" "
                     "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>";
  TMembers members;
  for (size_t i = 0; i < ASheets.size(); ++i) {
    const TSheetSpec &s = ASheets[i];
    const QByteArray id = "rId" + QByteArray::number(static_cast<int>(i) + 1);
    const QByteArray file = "worksheets/sheet" + QByteArray::number(static_cast<int>(i) + 1) + ".xml";
    wb += "<sheet name=\"" + s.Name + "\" sheetId=\"" + QByteArray::number(static_cast<int>(i) + 1) + "\"" +
          (s.State.isEmpty() ? QByteArray() : " state=\"" + s.State + "\"") + " r:id=\"" + id + "\"/>";
    rels += "<Relationship Id=\"" + id + "\" Type=\"" + KRelNs + "/" + s.Type + "\" Target=\"" +
            (s.Target.isEmpty() ? file : s.Target) + "\"/>";
    if (!s.Xml.isEmpty()) {
      members.emplace_back(QStringLiteral("xl/") + QString::fromUtf8(file), s.Xml);
      types += "<Override PartName=\"/xl/" + file + "\" ContentType=\"application/vnd.openxmlformats-officedocument."
               "spreadsheetml." + (s.Type == "worksheet" ? "worksheet" : "chartsheet") + "+xml\"/>";
    }
  }
  members.emplace_back(QStringLiteral("xl/workbook.xml"), wb + "</sheets></workbook>");
  if (!AShared.isEmpty()) {
    members.emplace_back(QStringLiteral("xl/sharedStrings.xml"), AShared);
    rels += "<Relationship Id=\"rIdS\" Type=\"" + KRelNs + "/sharedStrings\" Target=\"sharedStrings.xml\"/>";
    types += "<Override PartName=\"/xl/sharedStrings.xml\" ContentType=\"application/vnd.openxmlformats-officedocument."
             "spreadsheetml.sharedStrings+xml\"/>";
  }
  members.emplace_back(QStringLiteral("xl/_rels/workbook.xml.rels"), rels + "</Relationships>");
  members.emplace_back(QStringLiteral("[Content_Types].xml"), types + "</Types>");
  members.emplace_back(QStringLiteral("_rels/.rels"),
                       "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                       "<Relationship Id=\"rId1\" Type=\"" + KRelNs + "/officeDocument\" Target=\"xl/workbook.xml\"/>"
                       "</Relationships>");
  return members;
}

inline QByteArray Sheet(const QByteArray &ADimension, const QByteArray &ARows) {
  return "<?xml version=\"1.0\"?>\n<worksheet xmlns=\"" + KMainNs + "\">" +
         (ADimension.isNull() ? QByteArray() : "<dimension ref=\"" + ADimension + "\"/>") +
         "<sheetViews><sheetView workbookViewId=\"0\"/></sheetViews><cols><col min=\"1\" max=\"3\" width=\"9\"/></cols>"
         "<sheetData>" +
         ARows + "</sheetData></worksheet>";
}


// Writes the members without compression (method "stored"), as some writers do.
inline bool WriteStoredZip(const QString &APath, const TMembers &AMembers) {
  int err = 0;
  zip_t *za = zip_open(QFile::encodeName(APath).constData(), ZIP_CREATE | ZIP_TRUNCATE, &err);
  if (!za)
    return false;
  for (const auto &[name, data] : AMembers) {
    zip_source_t *src = zip_source_buffer(za, data.constData(), static_cast<zip_uint64_t>(data.size()), 0);
    const zip_int64_t index = zip_file_add(za, name.toUtf8().constData(), src, ZIP_FL_OVERWRITE);
    if (index < 0 || zip_set_file_compression(za, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0) < 0) {
      zip_discard(za);
      return false;
    }
  }
  return zip_close(za) == 0;
}
