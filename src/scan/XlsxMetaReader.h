#pragma once
// The fast metadata reader for .xlsx packages: sheet names, order, visibility, the stored
// dimension, the first (header) rows and optionally one column's values, found by plain text
// search over the package parts instead of a full load. Callers fall back to the full load when
// it returns false or raises.
//
// The reader builds no XML tree and validates nothing: it looks for fixed tag and attribute
// spellings (with the element prefix the part's root element uses, so "x:sheet" packages read
// too) and takes what it finds. Only the first 1 MiB of a worksheet part is ever considered for
// the dimension and header rows, and of that only as much is inflated as those need, so the time
// per sheet does not grow with the sheet. The texts are the stored cell values: shared strings
// resolved, numbers and dates unformatted ("3.1400000000000001"), booleans as "TRUE"/"FALSE".
//
// All searching works on the UTF-8 bytes of a part. Every pattern is ASCII and every cut falls on
// an ASCII character, so this gives the same texts as searching the decoded characters.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <memory>
#include <string_view>
#include <vector>

class TZipArchive;

// What the reader learnt about one "<sheet" entry of the workbook.
class TXlsxSheetMeta {
public:
  int SheetIndex = 0;       // position of the entry in xl/workbook.xml
  QString SheetName;        // entities decoded
  bool IsHidden = false;    // state "hidden" or "veryHidden", any letter case
  QString SheetState;       // the state attribute as stored ("" when absent)
  QString SheetKind;        // last segment of the relationship type ("worksheet", "chartsheet", ...)
  QString DimensionRef;     // the dimension's ref attribute as stored ("" when none was found)
  int DimLeft = 0;          // zero-based, inclusive
  int DimTop = 0;
  int DimRight = -1;
  int DimBottom = -1;
  bool IsEmptySheet = true; // no usable dimension, or the sheet part could not be read
  // [row][column]: row = sheet row number - 1 (rows 1..header rows), column = column - DimLeft.
  std::vector<QStringList> HeaderTexts;
  // Group column values for rows DimTop + header rows ... DimBottom, index 0 = the first of them.
  QStringList GroupColTexts;
};

using TXlsxProgressCallback = std::function<void(int APercent)>;

// Reads the sheets of the .xlsx at AFileName into AResult (cleared first; one entry per "<sheet"
// element, hidden sheets included). AHeaderRows header rows are read (at least 1); AGroupCol >= 0
// also reads that zero-based column for the rows below the header rows, reporting progress of
// that read to AProgress. Returns false when the package cannot be used (no file, not a ZIP,
// no workbook or workbook relationships part); the list is then to be discarded. A broken sheet
// only comes back empty. Throws when a workbook-level part cannot be parsed.
bool ReadXlsxSheetMetas(const QString &AFileName, int AHeaderRows, int &ASheetCount,
                        const TXlsxProgressCallback &AProgress, int AGroupCol,
                        std::vector<std::unique_ptr<TXlsxSheetMeta>> &AResult);

// The same over an archive that is already open (the fuzz target reads packages from memory).
bool ReadXlsxSheetMetasFromArchive(TZipArchive &AArchive, int AHeaderRows, int &ASheetCount,
                                   const TXlsxProgressCallback &AProgress, int AGroupCol,
                                   std::vector<std::unique_ptr<TXlsxSheetMeta>> &AResult);

// The text-search building blocks, public so that their edge cases can be tested on their own.
namespace XlsxMeta {

// One "<sheet" element of the workbook part.
struct TSheetEntry {
  QString Name;
  QString State;
  QString RId;
};

// One relationship of the workbook part that points at a sheet.
struct TSheetRel {
  QByteArray Id;
  QByteArray Target;
  QByteArray Type;
};

// "A1" style reference to zero-based column and row. Letters (either case) then digits; "$",
// a letter after a digit, no digits, or a zero column/row fail. Throws TFileFormatError when a
// number overflows.
bool ParseCellRef(std::string_view AText, int &ACol, int &ARow);
// Value of attribute AName in the tag text (name preceded by a blank, tab, LF or CR, directly
// followed by "=" and a quote), entities decoded; "" when absent or unterminated.
QByteArray GetXmlAttr(std::string_view ATag, std::string_view AName);
// &lt; &gt; &quot; &apos; &amp; and numeric references, in one pass ("&amp;lt;" gives "&lt;").
QByteArray DecodeXmlEntities(std::string_view AText);

// The element prefix ("x:" or "") of the part's root element.
QByteArray RootPrefix(std::string_view AText);
std::vector<TSheetEntry> ParseWorkbookSheets(std::string_view AText);
// Relationships whose Id and Target are not empty, in document order.
std::vector<TSheetRel> ParseWorkbookRels(std::string_view AText);
QStringList ParseSharedStrings(std::string_view AText);

// A cell's text before shared strings are resolved: for t="s" the index to look up.
struct TCellValue {
  QString Text;
  qint64 SharedIndex = -1; // >= 0: the text is shared string number SharedIndex
};

// Header cells holding a shared-string index, by (row, column slot), resolved after all sheets.
using TPendingShared = std::map<std::pair<int, int>, qint64>;

// Dimension and header rows from a prefix of a worksheet part. AComplete says whether the prefix
// is all there is (the member's end or the 1 MiB bound). Returns false when the outcome could
// still change with more bytes; the caller then supplies a longer prefix. Resets AMeta's
// dimension and header fields first.
bool ParseSheetHeader(std::string_view AText, bool AComplete, int AHeaderRows, TXlsxSheetMeta &AMeta,
                      TPendingShared &APending);

} // namespace XlsxMeta
