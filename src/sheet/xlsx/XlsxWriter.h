#pragma once
// Writes the workbook model as an .xlsx/.xlsm package, putting back unchanged every part and
// sheet element the reader kept aside.

#include <QByteArray>
#include <QString>

class TWorkbook;

// Writes to the file *APath (its extension picks .xlsx or .xlsm), or into *AOut when APath is
// null. Throws TFileIoError.
void WriteXlsxWorkbook(const TWorkbook &AWorkbook, const QString *APath, QByteArray *AOut);
