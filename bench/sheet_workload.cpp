// Writes the spreadsheet benchmark workload with libxlsxwriter, a writer independent of ours whose
// files are shaped like Excel's own (shared strings, styles, cached formula values).
//
//   sheet_workload big OUT.xlsx [--constant-memory]   one sheet, 300,000 rows x 20 columns
//   sheet_workload small DIR                          300 workbooks of 3-5 small sheets
//
// Everything is derived from a fixed seed, so two runs write the same cells. With
// --constant-memory the same cells are written in libxlsxwriter's streaming mode (inline strings,
// rows flushed as they are written); the runner times that as the peer for our save.
// Prints one line "cells=N" (non-empty cells written) on success.

#include "WorkloadRandom.h"

#include <xlsxwriter.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

namespace {

using TRandom = TWorkloadRandom;

const char *const KSurnames[] = {"王", "李", "张", "刘", "陈", "杨", "黄", "赵", "吴", "周",
                                 "徐", "孙", "马", "朱", "胡", "郭", "何", "高", "林", "罗"};
const char *const KGiven[] = {"伟", "芳", "娜", "敏", "静", "丽", "强", "磊", "军", "洋",
                              "勇", "艳", "杰", "娟", "涛", "明", "超", "秀英", "霞", "平",
                              "刚", "桂英", "建华", "文", "华", "红", "玉兰", "飞", "鹏", "辉"};
const char *const KCities[] = {"北京", "上海", "广州", "深圳", "杭州", "南京", "成都", "武汉",
                               "西安", "重庆", "天津", "苏州", "长沙", "郑州", "青岛", "沈阳",
                               "宁波", "厦门", "Dalian", "Harbin", "Kunming", "Hefei", "Fuzhou",
                               "Jinan", "Nanning"};
const char *const KWords[] = {"订单", "发货", "退款", "审核", "已完成", "待处理", "客户",
                              "供应商", "合同", "付款", "invoice", "shipment", "pending",
                              "approved", "库存", "采购", "销售", "备注", "紧急", "常规"};

std::vector<std::string> MakePool(TRandom &ARandom, int ACount, int AWords) {
  std::vector<std::string> pool;
  pool.reserve(size_t(ACount));
  for (int i = 0; i < ACount; ++i) {
    std::string s;
    for (int w = 0; w < AWords; ++w) {
      if (w)
        s += ' ';
      s += KWords[ARandom.Below(int(std::size(KWords)))];
    }
    s += " #" + std::to_string(i);
    pool.push_back(std::move(s));
  }
  return pool;
}

std::string PersonName(TRandom &ARandom) {
  return std::string(KSurnames[ARandom.Below(int(std::size(KSurnames)))]) +
         KGiven[ARandom.Below(int(std::size(KGiven)))];
}

struct TFormats {
  lxw_format *Money = nullptr, *Date = nullptr, *DateTime = nullptr, *Percent = nullptr,
             *Time = nullptr, *Header = nullptr;
};

TFormats AddFormats(lxw_workbook *ABook) {
  TFormats f;
  f.Money = workbook_add_format(ABook);
  format_set_num_format(f.Money, "#,##0.00");
  f.Date = workbook_add_format(ABook);
  format_set_num_format(f.Date, "yyyy-mm-dd");
  f.DateTime = workbook_add_format(ABook);
  format_set_num_format(f.DateTime, "yyyy-mm-dd hh:mm:ss");
  f.Percent = workbook_add_format(ABook);
  format_set_num_format(f.Percent, "0.00%");
  f.Time = workbook_add_format(ABook);
  format_set_num_format(f.Time, "h:mm");
  f.Header = workbook_add_format(ABook);
  format_set_bold(f.Header);
  return f;
}

// "=D2*G2": the product of two cells of one row.
const char *ProductFormula(char (&ABuf)[64], int ARow, int ALeft, int ARight) {
  char a[16], b[16];
  lxw_rowcol_to_cell(a, lxw_row_t(ARow), lxw_col_t(ALeft));
  lxw_rowcol_to_cell(b, lxw_row_t(ARow), lxw_col_t(ARight));
  std::snprintf(ABuf, sizeof ABuf, "=%s*%s", a, b);
  return ABuf;
}

const char *RoundFormula(char (&ABuf)[64], int ARow, int ACol) {
  char a[16];
  lxw_rowcol_to_cell(a, lxw_row_t(ARow), lxw_col_t(ACol));
  std::snprintf(ABuf, sizeof ABuf, "=ROUND(%s,0)", a);
  return ABuf;
}

// ------------------------------------------------------------------------------------------------
// One big sheet
// ------------------------------------------------------------------------------------------------

constexpr int KBigRows = 300000;  // including the header row
constexpr int KBigCols = 20;

long long WriteBig(const char *APath, bool AConstantMemory) {
  lxw_workbook_options options = {};
  options.constant_memory = AConstantMemory ? LXW_TRUE : LXW_FALSE;
  options.use_zip64 = LXW_TRUE;
  lxw_workbook *book = workbook_new_opt(APath, &options);
  if (!book)
    return -1;
  const TFormats f = AddFormats(book);
  lxw_worksheet *ws = workbook_add_worksheet(book, "数据");
  TRandom random(20261211);
  const std::vector<std::string> names = [&] {
    std::vector<std::string> v;
    for (int i = 0; i < 1000; ++i)
      v.push_back(PersonName(random) + std::to_string(i % 7));
    return v;
  }();
  const std::vector<std::string> notes = MakePool(random, 10000, 3);
  const std::vector<std::string> sentences = MakePool(random, 200, 8);
  static const char *const headers[KBigCols] = {
      "编号", "姓名", "城市", "金额", "日期", "已付", "数量", "合计", "折扣", "时间戳",
      "SKU", "可选数值", "备注", "测量值", "差额", "可选文本", "时刻", "取整", "评分", "说明"};
  long long cells = 0;
  for (int c = 0; c < KBigCols; ++c, ++cells)
    worksheet_write_string(ws, 0, lxw_col_t(c), headers[c], f.Header);
  for (int r = 1; r < KBigRows; ++r) {
    const lxw_row_t row = lxw_row_t(r);
    const double amount = double(random.Below(100000000)) / 100.0;
    const int quantity = 1 + random.Below(1000);
    worksheet_write_number(ws, row, 0, r, nullptr);
    worksheet_write_string(ws, row, 1, names[size_t(random.Below(1000))].c_str(), nullptr);
    worksheet_write_string(ws, row, 2, KCities[random.Below(int(std::size(KCities)))], nullptr);
    worksheet_write_number(ws, row, 3, amount, f.Money);
    worksheet_write_number(ws, row, 4, 36526 + random.Below(9500), f.Date);
    worksheet_write_boolean(ws, row, 5, random.Below(2), nullptr);
    worksheet_write_number(ws, row, 6, quantity, nullptr);
    char formula[64];
    worksheet_write_formula_num(ws, row, 7, ProductFormula(formula, r, 3, 6), nullptr,
                                amount * quantity);
    worksheet_write_number(ws, row, 8, random.Unit() * 0.5, f.Percent);
    worksheet_write_number(ws, row, 9, 36526 + random.Unit() * 9500, f.DateTime);
    char sku[32];
    std::snprintf(sku, sizeof sku, "SKU-%08d", random.Below(2000000));
    worksheet_write_string(ws, row, 10, sku, nullptr);
    cells += 11;
    if (random.Below(2)) {
      worksheet_write_number(ws, row, 11, random.Below(1000) - 500, nullptr);
      ++cells;
    }
    worksheet_write_string(ws, row, 12, notes[size_t(random.Below(10000))].c_str(), nullptr);
    worksheet_write_number(ws, row, 13, std::exp((random.Unit() - 0.3) * 20), nullptr);
    worksheet_write_number(ws, row, 14, random.Below(2000001) - 1000000, nullptr);
    cells += 3;
    if (random.Below(5) == 0) {
      worksheet_write_string(ws, row, 15, KWords[random.Below(int(std::size(KWords)))], nullptr);
      ++cells;
    }
    worksheet_write_number(ws, row, 16, random.Below(1440) / 1440.0, f.Time);
    worksheet_write_formula_num(ws, row, 17, RoundFormula(formula, r, 3), nullptr,
                                double(std::llround(amount)));
    worksheet_write_number(ws, row, 18, random.Below(101) / 10.0, nullptr);
    worksheet_write_string(ws, row, 19, sentences[size_t(random.Below(200))].c_str(), nullptr);
    cells += 4;
  }
  worksheet_set_column(ws, 0, KBigCols - 1, 12, nullptr);
  if (workbook_close(book) != LXW_NO_ERROR)
    return -1;
  return cells;
}

// ------------------------------------------------------------------------------------------------
// Many small workbooks
// ------------------------------------------------------------------------------------------------

constexpr int KSmallBooks = 300;

long long WriteSmallBook(const std::string &APath, int AIndex) {
  lxw_workbook *book = workbook_new(APath.c_str());
  if (!book)
    return -1;
  const TFormats f = AddFormats(book);
  TRandom random(1000 + std::uint64_t(AIndex));
  const int sheets = 3 + random.Below(3);
  long long cells = 0;
  for (int s = 0; s < sheets; ++s) {
    const std::string name = s == 0 ? "汇总" : "Sheet" + std::to_string(s + 1);
    lxw_worksheet *ws = workbook_add_worksheet(book, name.c_str());
    const int cols = 6 + random.Below(5);
    const int rows = 24 + random.Below(60);
    static const char *const headers[] = {"编号", "姓名", "城市", "金额", "日期",
                                          "数量", "合计", "备注", "已付", "比例"};
    for (int c = 0; c < cols; ++c, ++cells)
      worksheet_write_string(ws, 0, lxw_col_t(c), headers[c], f.Header);
    for (int r = 1; r <= rows; ++r) {
      const lxw_row_t row = lxw_row_t(r);
      const double amount = double(random.Below(1000000)) / 100.0;
      const int quantity = 1 + random.Below(100);
      for (int c = 0; c < cols; ++c) {
        const lxw_col_t col = lxw_col_t(c);
        switch (c) {
        case 0: worksheet_write_number(ws, row, col, r, nullptr); break;
        case 1: worksheet_write_string(ws, row, col, PersonName(random).c_str(), nullptr); break;
        case 2: worksheet_write_string(ws, row, col, KCities[random.Below(int(std::size(KCities)))], nullptr); break;
        case 3: worksheet_write_number(ws, row, col, amount, f.Money); break;
        case 4: worksheet_write_number(ws, row, col, 40000 + random.Below(6000), f.Date); break;
        case 5: worksheet_write_number(ws, row, col, quantity, nullptr); break;
        case 6: {
          char formula[64];
          worksheet_write_formula_num(ws, row, col, ProductFormula(formula, r, 3, 5), nullptr,
                                      amount * quantity);
          break;
        }
        case 7: worksheet_write_string(ws, row, col, KWords[random.Below(int(std::size(KWords)))], nullptr); break;
        case 8: worksheet_write_boolean(ws, row, col, random.Below(2), nullptr); break;
        default: worksheet_write_number(ws, row, col, random.Unit(), f.Percent); break;
        }
        ++cells;
      }
    }
    if (random.Below(3) == 0)
      worksheet_merge_range(ws, lxw_row_t(rows + 2), 0, lxw_row_t(rows + 2), 3, "合计行", nullptr);
  }
  if (workbook_close(book) != LXW_NO_ERROR)
    return -1;
  return cells;
}

long long WriteSmall(const std::string &ADir) {
  long long total = 0;
  for (int i = 0; i < KSmallBooks; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "/book_%03d.xlsx", i);
    const long long cells = WriteSmallBook(ADir + name, i);
    if (cells < 0)
      return -1;
    total += cells;
  }
  return total;
}

} // namespace

int main(int argc, char **argv) {
  if (argc < 3 || (std::strcmp(argv[1], "big") != 0 && std::strcmp(argv[1], "small") != 0)) {
    std::fprintf(stderr, "usage: %s big OUT.xlsx [--constant-memory] | small DIR\n", argv[0]);
    return 2;
  }
  long long cells = -1;
  if (std::strcmp(argv[1], "big") == 0)
    cells = WriteBig(argv[2], argc > 3 && std::strcmp(argv[3], "--constant-memory") == 0);
  else
    cells = WriteSmall(argv[2]);
  if (cells < 0) {
    std::fprintf(stderr, "sheet_workload: writing %s failed\n", argv[2]);
    return 1;
  }
  std::printf("cells=%lld\n", cells);
  return 0;
}
