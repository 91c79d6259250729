#include "sheet/Workbook.h"

#include <gtest/gtest.h>

TEST(SheetModel, NewWorkbookHasOneEmptySheet) {
  TWorkbook wb;
  ASSERT_EQ(wb.SheetCount(), 1);
  EXPECT_EQ(wb.Sheet(0).Name(), QStringLiteral("Sheet1"));
  EXPECT_TRUE(wb.Sheet(0).UsedArea().IsEmpty());
}
