#pragma once
// The spreadsheet document: an ordered list of sheets sharing one string table and one style
// table, loaded from and saved to workbook files (the format follows the file's extension).
//
// Usage:
//   TWorkbook wb;                          // a new document with one empty sheet "Sheet1"
//   wb.LoadFromFile(path);                 // throws TFileFormatError, TEncryptedWorkbookError,
//                                          // TUnsupportedError, TFileIoError (messages in Chinese)
//   for (int i = 0; i < wb.SheetCount(); ++i)
//     if (wb.Sheet(i).IsTableView()) qDebug() << wb.Sheet(i).Name() << wb.Sheet(i).UsedArea().Bottom;
//   wb.Sheet(0).SetString(0, 0, QStringLiteral("合计"));
//   wb.SaveToFile(outPath);                // ".xlsx"/".xlsm" written; everything the model does
//                                          // not understand travels through unchanged
//
// Caveats:
// - Loading replaces the whole content; on failure the document is left empty (one blank sheet).
// - Not thread-safe; one document belongs to one thread.

#include "core/SpreadSheetDocument.h"
#include "sheet/CellTypes.h"
#include "sheet/Sheet.h"
#include "sheet/StringTable.h"
#include "sheet/Styles.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <vector>

class TProgressSink;

struct TDefinedName {
  QString Name;
  QString Formula;       // without '='
  int LocalSheet = -1;   // sheet index for a sheet-local name, -1 for a workbook name
  bool Hidden = false;
  QList<QPair<QString, QString>> Options; // further attributes by name (comment, function, ...)
};

class TWorkbook : public TSpreadSheetDocument {
public:
  TWorkbook();
  ~TWorkbook() override;
  TWorkbook(const TWorkbook &) = delete;
  TWorkbook &operator=(const TWorkbook &) = delete;

  // Back to a new empty document with one worksheet "Sheet1".
  void CreateNew();
  // Replaces the content with the workbook at APath. AProgress (optional) gets percentages.
  void LoadFromFile(const QString &APath, TProgressSink *AProgress = nullptr);
  // The same from bytes in memory (AFileName only names the source in error messages and picks
  // nothing: the format is recognised from the bytes).
  void LoadFromBytes(const QByteArray &AData, const QString &AFileName = QString(),
                     TProgressSink *AProgress = nullptr);
  // Writes the workbook; the format follows the extension (".xlsx", ".xlsm").
  void SaveToFile(const QString &APath) const override;
  // The .xlsx package as bytes.
  QByteArray SaveToBytes() const;

  // ---- sheets
  int SheetCount() const { return static_cast<int>(FSheets.size()); }
  const TSheet &Sheet(int AIndex) const { return *FSheets.at(static_cast<size_t>(AIndex)); }
  TSheet &Sheet(int AIndex) { return *FSheets.at(static_cast<size_t>(AIndex)); }
  // Sheet names compare without regard to letter case, as in Excel. Null when absent.
  TSheet *SheetByName(const QString &AName);
  const TSheet *SheetByName(const QString &AName) const;
  int SheetIndexByName(const QString &AName) const; // -1 when absent
  int IndexOfSheet(const TSheet *ASheet) const;
  // Appends a sheet.
  TSheet &AddSheet(const QString &AName, TSheetKind AKind = TSheetKind::skWorksheet);
  TSheet &InsertSheet(int AIndex, const QString &AName,
                      TSheetKind AKind = TSheetKind::skWorksheet);
  // Moves a sheet to a new position (the others keep their order).
  void MoveSheet(int AFrom, int ATo);
  void DeleteSheet(int AIndex);
  int ActiveSheetIndex() const { return FActiveSheet; }
  void SetActiveSheetIndex(int AIndex);
  TSheet &ActiveSheet() { return Sheet(FActiveSheet); }

  // ---- shared tables and workbook settings
  TStringTable &Strings() { return FStrings; }
  const TStringTable &Strings() const { return FStrings; }
  TStyleTable &Styles() { return FStyles; }
  const TStyleTable &Styles() const { return FStyles; }
  bool Date1904() const { return FDate1904; }
  void SetDate1904(bool A) { FDate1904 = A; }
  std::vector<TDefinedName> &DefinedNames() { return FDefinedNames; }
  const std::vector<TDefinedName> &DefinedNames() const { return FDefinedNames; }

  // Format-specific data kept for the writer of the same format; may be null.
  std::shared_ptr<TFormatExtras> Extras;

  // Readers use this to start from nothing (no sheets, empty tables).
  void ClearForLoad();

private:
  void LoadPackage(const QByteArray *AData, const QString &APath, TProgressSink *AProgress);

  std::vector<std::unique_ptr<TSheet>> FSheets;
  TStringTable FStrings;
  TStyleTable FStyles;
  std::vector<TDefinedName> FDefinedNames;
  int FActiveSheet = 0;
  bool FDate1904 = false;
};
