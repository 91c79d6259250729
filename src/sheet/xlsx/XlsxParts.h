#pragma once
// The per-part readers and writers of the .xlsx package (relationships, content types, workbook,
// shared strings, styles, worksheets, comments). XlsxReader and XlsxWriter drive them; the
// package itself (XlsxPackage) is the only piece that touches the ZIP archive.

#include "sheet/xlsx/XlsxExtras.h"
#include "sheet/xlsx/XlsxPackage.h"

#include <QByteArray>
#include <QSet>
#include <QString>
#include <vector>

class TWorkbook;
class TSheet;
class TStringTable;
class TStyleTable;
class TProgressSink;

// ---- relationships (XlsxRelationships.cpp)
std::vector<TXlsxRelationship> ReadRelationships(const QByteArray &AXml, const QString &APart,
                                                 const QString &AFile);
QByteArray WriteRelationships(const std::vector<TXlsxRelationship> &ARels);
// "xl/worksheets/sheet1.xml" -> "xl/worksheets/_rels/sheet1.xml.rels".
QString RelsPartName(const QString &APart);
// The part a target names, relative to the part that holds the relationship; no leading '/'.
QString ResolveTarget(const QString &ASourcePart, const QString &ATarget);
// The target text that names ATargetPart from ASourcePart.
QString RelativeTarget(const QString &ASourcePart, const QString &ATargetPart);
// True when the relationship type ends in "/" + ASuffix (transitional and strict alike).
bool RelTypeIs(const QString &AType, const char *ASuffix);
// Hands out relationship ids ("rIdN") that none of the given relationships uses yet.
class TRelIdPool {
public:
  explicit TRelIdPool(const std::vector<TXlsxRelationship> &ARels = {});
  void Reserve(const QString &AId) { FUsed.insert(AId); }
  QString Take();

private:
  QSet<QString> FUsed;
  int FNext = 1;
};

// ---- content types (XlsxRelationships.cpp)
void ReadContentTypes(const QByteArray &AXml, TXlsxWorkbookExtras &AExtras, const QString &AFile);
QByteArray WriteContentTypes(const QHash<QString, QString> &ADefaults,
                             const std::vector<std::pair<QString, QString>> &AOverrides);

// ---- workbook part (XlsxWorkbookPart.cpp)
struct TXlsxSheetEntry {
  QString Name, RelId, State;
  int SheetId = 0;
};
void ReadWorkbookPart(const QByteArray &AXml, TWorkbook &AWorkbook,
                      std::vector<TXlsxSheetEntry> &ASheets, bool &AStrict, int &AActiveTab, const QString &APart,
                      const QString &AFile);
// ASheetRefs: per sheet its relationship id and sheetId, in workbook order.
QByteArray WriteWorkbookPart(const TWorkbook &AWorkbook, const QByteArray &AOriginal,
                             const std::vector<std::pair<QString, int>> &ASheetRefs);

// ---- shared strings (XlsxSharedStrings.cpp)
void ReadSharedStrings(const TZipReader &AZip, const QString &APart, TStringTable &AStrings);
// Writes the entries AUsed lists (in that order).
TZipWriter::TProducer SharedStringsProducer(const TStringTable &AStrings, std::vector<int> AUsed,
                                            long long ARefCount);

// ---- styles (XlsxStyles.cpp)
void ReadStyles(const QByteArray &AXml, TStyleTable &AStyles, const QString &APart,
                const QString &AFile);
QByteArray WriteStyles(const TStyleTable &AStyles, const QByteArray &AOriginal);

// ---- worksheets (XlsxSheetPart.cpp)
// Pending hyperlinks carry the relationship id until the sheet's relationships are known.
struct TXlsxPendingLink {
  THyperlink Link;
  QString RelId;
};
void ReadWorksheet(const TZipReader &AZip, const QString &APart, TSheet &ASheet,
                   TXlsxSheetExtras &AExtras, std::vector<TXlsxPendingLink> &ALinks,
                   const std::function<void(qint64)> &AOnBytes);
// Everything the sheet writer needs besides the sheet.
struct TXlsxSheetWriteContext {
  const std::vector<int> *StringMap = nullptr; // old string index -> new index
  QString LegacyDrawingRelId;                  // regenerated VML drawing ("" when none)
  bool DropVml = false;                        // the comments are gone: drop their drawing
  bool Active = false;                         // the workbook's active sheet
  std::vector<QString> HyperlinkRelIds;        // per hyperlink, "" for internal ones
};
TZipWriter::TProducer WorksheetProducer(const TSheet &ASheet, const TXlsxSheetExtras *AExtras,
                                        TXlsxSheetWriteContext AContext);

// ---- comments (XlsxComments.cpp)
void ReadComments(const QByteArray &AXml, TSheet &ASheet, const QString &APart, const QString &AFile);
void ReadVmlCommentAltTexts(const QByteArray &AVml, TSheet &ASheet);
QByteArray WriteComments(const TSheet &ASheet);
QByteArray WriteCommentsVml(const TSheet &ASheet);
