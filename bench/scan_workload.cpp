// Writes the workload of the workbook-scan benchmark with libxlsxwriter, a writer independent of
// ours whose packages are laid out like Excel's (dimension first, shared strings after the sheets).
//
//   scan_workload books DIR [COUNT]   COUNT (default 300) workbooks of 3-5 sheets, 100-1,600 rows
//   scan_workload tall OUT ROWS       one workbook whose first sheet has ROWS rows
//
// Everything follows from fixed seeds, so two runs write the same cells.

#include "WorkloadRandom.h"

#include <xlsxwriter.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using TRandom = TWorkloadRandom;

const char *const KHeads[] = {"订单号", "客户", "城市", "金额", "数量", "日期", "状态", "备注",
                              "Product", "Region", "单价", "折扣", "供应商", "联系人", "电话"};
const char *const KWords[] = {"北京", "上海", "广州", "深圳", "杭州", "已完成", "待处理", "退款",
                              "invoice", "shipment", "pending", "approved", "库存", "采购", "销售"};

void WriteSheet(lxw_workbook *ABook, lxw_format *ADate, TRandom &ARandom, const std::string &AName, int ARows,
                bool AHidden) {
  lxw_worksheet *ws = workbook_add_worksheet(ABook, AName.c_str());
  const int cols = 8 + ARandom.Below(8);
  for (int c = 0; c < cols; ++c)
    worksheet_write_string(ws, 0, lxw_col_t(c), KHeads[c % 15], nullptr);
  for (int r = 1; r < ARows; ++r) {
    for (int c = 0; c < cols; ++c) {
      switch (c % 4) {
      case 0:
        worksheet_write_number(ws, lxw_row_t(r), lxw_col_t(c), r * 17 + c, nullptr);
        break;
      case 1: {
        const std::string s = std::string(KWords[ARandom.Below(15)]) + "-" + std::to_string(ARandom.Below(5000));
        worksheet_write_string(ws, lxw_row_t(r), lxw_col_t(c), s.c_str(), nullptr);
        break;
      }
      case 2:
        worksheet_write_number(ws, lxw_row_t(r), lxw_col_t(c), 44000 + ARandom.Below(2000), ADate);
        break;
      default:
        worksheet_write_number(ws, lxw_row_t(r), lxw_col_t(c), ARandom.Below(1000000) / 100.0, nullptr);
      }
    }
  }
  if (AHidden)
    worksheet_hide(ws);
}

int WriteBook(const std::string &APath, std::uint64_t ASeed, int AFirstRows) {
  lxw_workbook *book = workbook_new(APath.c_str());
  if (!book)
    return 1;
  lxw_format *date = workbook_add_format(book);
  format_set_num_format(date, "yyyy-mm-dd");
  TRandom random(ASeed);
  const int sheets = AFirstRows > 0 ? 1 : 3 + random.Below(3);
  for (int s = 0; s < sheets; ++s) {
    const std::string name = s == 0 ? "汇总" : "Sheet" + std::to_string(s + 1);
    const int rows = AFirstRows > 0 ? AFirstRows : 100 + random.Below(1500);
    WriteSheet(book, date, random, name, rows, s > 0 && random.Below(10) == 0);
  }
  return workbook_close(book) == LXW_NO_ERROR ? 0 : 1;
}

} // namespace

int main(int argc, char **argv) {
  const std::string mode = argc > 2 ? argv[1] : "";
  if (mode == "books") {
    const int count = argc > 3 ? std::atoi(argv[3]) : 300;
    for (int i = 0; i < count; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "/book%03d.xlsx", i);
      if (WriteBook(argv[2] + std::string(name), 7000 + std::uint64_t(i), 0) != 0)
        return 1;
    }
    return 0;
  }
  if (mode == "tall" && argc > 3)
    return WriteBook(argv[2], 42, std::atoi(argv[3]));
  std::fputs("usage: scan_workload books DIR [COUNT] | tall OUT ROWS\n", stderr);
  return 2;
}
