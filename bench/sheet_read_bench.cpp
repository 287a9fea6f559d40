// Reading the owner's list for 批量发货: a 5,000-row workbook made by libxlsxwriter (as 导出 makes
// one, with the courier columns filled in), and the same list as a CSV file.

#include <benchmark/benchmark.h>
#include <unistd.h>
#include <xlsxwriter.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "sheet/list_export.h"
#include "sheet/read.h"

namespace {

constexpr int kRows = 5000;

// 订单号, 商品名, 快递公司, 快递单号, 收件人, 手机号, 买家留言: ids and numbers as text cells, a
// quantity as a number, every row's texts different where a day's orders differ.
std::string workbook_bytes() {
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("sheet-read-bench-" + std::to_string(getpid()) + ".xlsx"))
                               .string();
  lxw_workbook* workbook = workbook_new(path.c_str());
  lxw_worksheet* sheet = workbook_add_worksheet(workbook, "2026-8-2");
  const char* titles[] = {"订单号",   "商品名", "销量",   "快递公司",
                          "快递单号", "收件人", "手机号", "买家留言"};
  for (int column = 0; column < 8; ++column)
    worksheet_write_string(sheet, 0, static_cast<lxw_col_t>(column), titles[column], nullptr);
  const char* couriers[] = {"顺丰速运", "中通快递", "圆通速递", "韵达快递", "1:顺丰速运"};
  for (int row = 1; row <= kRows; ++row) {
    const auto r = static_cast<lxw_row_t>(row);
    worksheet_write_string(sheet, r, 0, std::to_string(7203011234567890000LL + row).c_str(),
                           nullptr);
    worksheet_write_string(sheet, r, 1, "手工皂（薰衣草）礼盒装", nullptr);
    worksheet_write_number(sheet, r, 2, row % 5 + 1, nullptr);
    worksheet_write_string(sheet, r, 3, couriers[row % 5], nullptr);
    worksheet_write_string(sheet, r, 4, ("SF" + std::to_string(1400000000000LL + row * 7)).c_str(),
                           nullptr);
    worksheet_write_string(sheet, r, 5, ("买家" + std::to_string(row)).c_str(), nullptr);
    worksheet_write_string(sheet, r, 6, std::to_string(13800000000LL + row).c_str(), nullptr);
    worksheet_write_string(sheet, r, 7, "尽快发货，谢谢！周末不在家请放门卫", nullptr);
  }
  workbook_close(workbook);
  std::ifstream in(path, std::ios::binary);
  std::string bytes(std::istreambuf_iterator<char>(in), {});
  std::filesystem::remove(path);
  return bytes;
}

void xlsx_read(benchmark::State& state) {
  const std::string bytes = workbook_bytes();
  std::size_t rows = 0;
  for (auto _ : state) {
    const quillmere::sheet::ReadResult read = quillmere::sheet::read_xlsx(bytes);
    if (!read.error.empty()) state.SkipWithError("the workbook was refused");
    rows = read.table.rows.size();
    benchmark::DoNotOptimize(read.table.rows.data());
  }
  state.counters["rows"] = static_cast<double>(rows);
  state.counters["file_bytes"] = static_cast<double>(bytes.size());
}

void csv_read(benchmark::State& state) {
  // The same list as 导出 writes it to CSV: UTF-8 with a byte-order mark.
  quillmere::sheet::ExportTable table;
  const quillmere::sheet::ReadResult workbook = quillmere::sheet::read_xlsx(workbook_bytes());
  for (const quillmere::sheet::Cell& cell : workbook.table.rows.at(0))
    table.titles.push_back(cell.text);
  for (std::size_t row = 1; row < workbook.table.rows.size(); ++row) {
    table.rows.emplace_back();
    for (const quillmere::sheet::Cell& cell : workbook.table.rows[row])
      table.rows.back().push_back(cell.text);
  }
  const std::string bytes = quillmere::sheet::csv_text(table);
  std::size_t rows = 0;
  for (auto _ : state) {
    const quillmere::sheet::ReadResult read = quillmere::sheet::read_text_file(bytes);
    rows = read.table.rows.size();
    benchmark::DoNotOptimize(read.table.rows.data());
  }
  state.counters["rows"] = static_cast<double>(rows);
  state.counters["file_bytes"] = static_cast<double>(bytes.size());
}

BENCHMARK(xlsx_read)->Unit(benchmark::kMillisecond);
BENCHMARK(csv_read)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
