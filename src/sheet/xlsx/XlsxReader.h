#pragma once
// Reads an .xlsx/.xlsm package into the workbook model (workbook, relationships, shared strings,
// styles, worksheets, comments) and keeps everything it does not consume for the writer.

#include <QByteArray>
#include <QString>

class TWorkbook;
class TProgressSink;

// Fills the (cleared) workbook from the package in AData, or from the file APath when AData is
// null. Throws TFileFormatError, TEncryptedWorkbookError or TFileIoError.
void ReadXlsxWorkbook(TWorkbook &AWorkbook, const QByteArray *AData, const QString &APath,
                      TProgressSink *AProgress);
