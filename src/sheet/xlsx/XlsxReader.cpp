#include "sheet/xlsx/XlsxReader.h"

#include "sheet/Workbook.h"
#include "sheet/xlsx/XlsxPackage.h"

void ReadXlsxWorkbook(TWorkbook &AWorkbook, const QByteArray *AData, const QString &APath,
                      TProgressSink *AProgress) {
  TZipReader zip(AData, APath);
  (void)AWorkbook;
  (void)AProgress;
}
