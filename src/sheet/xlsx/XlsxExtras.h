#pragma once
// What the .xlsx reader keeps aside for the writer: package parts the model does not consume,
// content types, relationships and the original XML of parts the writer patches, and per sheet
// the raw elements of the sheet part in their original order.

#include "sheet/Sheet.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <set>
#include <vector>

struct TXlsxRelationship {
  QString Id, Type, Target; // Target as written in the .rels part
  bool External = false;
};

struct TXlsxPart {
  QString Name; // stored member name
  QByteArray Data;
};

class TXlsxWorkbookExtras : public TFormatExtras {
public:
  std::vector<TXlsxPart> Parts;             // members not consumed, bytes as read
  QHash<QString, QString> DefaultTypes;     // extension (lower case) -> content type
  QHash<QString, QString> OverrideTypes;    // part name (lower case, no leading '/') -> type
  QString WorkbookPart;                     // "xl/workbook.xml"
  QByteArray WorkbookXml;                   // original, patched by the writer
  QString StylesPart, SharedStringsPart;
  QByteArray StylesXml;                     // original, patched by the writer
  std::vector<TXlsxRelationship> WorkbookRels; // relationships of the workbook part kept as they are
  bool Strict = false;
};

class TXlsxSheetExtras : public TFormatExtras {
public:
  // One child of <worksheet> in file order: raw XML, or (Xml empty) a section the model owns.
  struct TItem {
    QByteArray Name; // local name ("sheetPr", "cols", "sheetData", "AlternateContent")
    QByteArray Xml;
  };
  QString PartName;   // "xl/worksheets/sheet1.xml"
  QString RelId;      // id of the workbook relationship to this sheet
  QString RelType;    // relationship type of that relationship
  int SheetId = 0;
  QByteArray RootAttributes; // attributes of the root element (namespaces, mc:Ignorable)
  std::vector<TItem> Items;
  std::vector<TXlsxRelationship> Rels; // relationships of the sheet part kept as they are
  // Legacy comments: the VML drawing that places their boxes is kept when the commented cells
  // did not change; its relationship id and part name.
  QString VmlRelId, VmlPart;
  std::set<std::pair<int, int>> CommentCells;
};
