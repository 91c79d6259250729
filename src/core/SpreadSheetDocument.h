#pragma once
// What the safe save needs of a workbook document: that it can write itself to a path, choosing
// the format by the path's extension. The spreadsheet engine's workbook implements it.

#include <QString>

class TSpreadSheetDocument {
public:
  virtual ~TSpreadSheetDocument() = default;
  // Writes the whole document to APath; raises a TTabulyxError subtype on failure.
  virtual void SaveToFile(const QString &APath) const = 0;
};
