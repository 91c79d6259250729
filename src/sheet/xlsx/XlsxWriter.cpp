#include "sheet/xlsx/XlsxWriter.h"

#include "sheet/Workbook.h"
#include "sheet/xlsx/XlsxPackage.h"

void WriteXlsxWorkbook(const TWorkbook &AWorkbook, const QString *APath, QByteArray *AOut) {
  (void)AWorkbook;
  TZipWriter zip(APath, AOut);
  zip.Commit();
}
