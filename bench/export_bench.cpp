// 导出 of a 10,000-row order list: the CSV text and the workbook written to a file, each from
// the list's GBK cells, as the window's thread does it after the Save As dialog.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "sheet/list_export.h"
#include "text/codepage.h"

namespace {

std::string gbk(std::string_view utf8) {
  return quillmere::utf16_to_multibyte(
      quillmere::multibyte_to_utf16(utf8, quillmere::kCodePageUtf8), quillmere::kCodePageGbk);
}

// The order list's columns, every row different where the program's rows are.
quillmere::sheet::ExportTable order_list(int rows) {
  quillmere::sheet::ExportTable table;
  for (const char* title :
       {"ID", "订单号", "销量", "商品名", "付款状态", "发货状态", "买家留言", "买家微信号"})
    table.titles.push_back(gbk(title));
  const std::string item = gbk("手工皂（薰衣草）礼盒装");
  const std::string paid = gbk("已付款");
  const std::string waiting = gbk("待发货");
  const std::string note = gbk("尽快发货，谢谢！周末不在家请放门卫");
  for (int row = 1; row <= rows; ++row) {
    table.rows.push_back({std::to_string(row), std::to_string(7203011234567890000LL + row),
                          std::to_string(row % 5 + 1), item, paid, waiting,
                          row % 3 == 0 ? "=1+2" : note, "wx_" + std::to_string(row * 7919)});
  }
  return table;
}

void csv_export(benchmark::State& state) {
  const auto table = order_list(static_cast<int>(state.range(0)));
  std::size_t bytes = 0;
  for (auto _ : state) {
    const std::string text = quillmere::sheet::csv_text(table);
    bytes = text.size();
    benchmark::DoNotOptimize(text.data());
  }
  state.counters["file_bytes"] = static_cast<double>(bytes);
}

void xlsx_export(benchmark::State& state) {
  const auto table = order_list(static_cast<int>(state.range(0)));
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("export-bench-" + std::to_string(getpid()) + ".xlsx"))
                               .string();
  for (auto _ : state) {
    std::string error;
    if (!quillmere::sheet::write_xlsx(path, "2026-8-2", table, &error))
      state.SkipWithError(error.c_str());
  }
  state.counters["file_bytes"] = static_cast<double>(std::filesystem::file_size(path));
  std::filesystem::remove(path);
}

BENCHMARK(csv_export)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(xlsx_export)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
