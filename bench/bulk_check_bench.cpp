// 批量发货's check of a 5,000-row list, on the window's thread right after a paste or a file:
// every row's 检查 against the record file, the delivery list and the order list, and the
// paste itself (columns found, rows added) followed by the check. It has to feel instant: under
// 100 ms for 5,000 rows.

#include <benchmark/benchmark.h>

#include <array>
#include <string>

#include "shop/bulk.h"
#include "text/codepage.h"

namespace {

std::string gbk(std::string_view utf8) {
  return quillmere::utf16_to_multibyte(
      quillmere::multibyte_to_utf16(utf8, quillmere::kCodePageUtf8), quillmere::kCodePageGbk);
}

quillmere::sheet::Row row_of(std::initializer_list<std::string> cells) {
  quillmere::sheet::Row row;
  for (const std::string& cell : cells) row.push_back({cell, false});
  return row;
}

// A day's list as the label software and the owner make it: the order list exported with two
// columns added, couriers in every accepted form and some that are not, some damaged ids and
// tracking numbers, some repeats.
quillmere::sheet::Table day_list(int rows) {
  const std::array<std::string, 10> couriers = {
      gbk("顺丰"),     gbk("中通快递"), "1",         gbk("1:顺丰速运"),
      gbk("韵达"),     gbk("圆通速递"), gbk("邮政"), gbk("无需物流"),
      gbk("火星快递"), "EMS",
  };
  quillmere::sheet::Table table;
  table.rows.push_back(
      row_of({"ID", gbk("订单号"), gbk("销量"), gbk("商品名"), gbk("付款状态"), gbk("发货状态"),
              gbk("买家留言"), gbk("买家微信号"), gbk("快递公司"), gbk("快递单号")}));
  const std::string item = gbk("手工皂（薰衣草）礼盒装");
  const std::string paid = gbk("已付款");
  const std::string waiting = gbk("待发货");
  for (int r = 1; r <= rows; ++r) {
    std::string id = std::to_string(7203011234567000LL + (r % 97 == 0 ? r - 1 : r));
    if (r % 251 == 0) id = "7.20301E+15";
    std::string tracking = "SF" + std::to_string(1403928817365LL + r);
    if (r % 173 == 0) tracking = gbk("ＳＦ１４０３９２８８１７");
    table.rows.push_back(
        row_of({std::to_string(r), id, "1", item, paid, waiting, "", "wx_" + std::to_string(r),
                couriers[r % couriers.size()], tracking}));
  }
  return table;
}

// What the check compares with: a record file of earlier days, today's delivery list so far and
// today's order list.
quillmere::shop::BulkCheckInputs inputs_for(int rows) {
  std::string record;
  for (int r = 0; r < rows; ++r) record += std::to_string(7203011230000000LL + r) + "|1\r\n";
  for (int r = 1; r <= rows; r += 50) record += std::to_string(7203011234567000LL + r) + "|1\r\n";
  quillmere::shop::BulkCheckInputs inputs;
  inputs.recorded = quillmere::shop::recorded_order_ids(record);
  for (int r = 3; r <= rows; r += 40)
    inputs.delivered.insert(std::to_string(7203011234567000LL + r));
  const std::string waiting = gbk("待发货");
  const std::string closed = gbk("已关闭");
  for (int r = 1; r <= rows; ++r)
    inputs.order_states.emplace(std::to_string(7203011234567000LL + r),
                                r % 61 == 0 ? closed : waiting);
  return inputs;
}

void bulk_check(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  quillmere::shop::BulkList list;
  list.add(day_list(rows));
  const quillmere::shop::BulkCheckInputs inputs = inputs_for(rows);
  std::size_t ready = 0;
  for (auto _ : state) {
    list.check(inputs);
    ready = list.items_to_send().size();
    benchmark::DoNotOptimize(ready);
  }
  state.counters["rows"] = static_cast<double>(list.rows().size());
  state.counters["ready"] = static_cast<double>(ready);
}

void bulk_paste_and_check(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  const quillmere::sheet::Table table = day_list(rows);
  const quillmere::shop::BulkCheckInputs inputs = inputs_for(rows);
  for (auto _ : state) {
    quillmere::shop::BulkList list;
    list.add(table);
    list.check(inputs);
    benchmark::DoNotOptimize(list.rows().data());
  }
}

// The record file is read into its ids before every check.
void record_file_ids(benchmark::State& state) {
  const int lines = static_cast<int>(state.range(0));
  std::string record;
  for (int r = 0; r < lines; ++r) record += std::to_string(7203011230000000LL + r) + "|1\r\n";
  for (auto _ : state) {
    const auto ids = quillmere::shop::recorded_order_ids(record);
    benchmark::DoNotOptimize(ids.size());
  }
}

}  // namespace

BENCHMARK(bulk_check)->Arg(5000)->Unit(benchmark::kMillisecond);
BENCHMARK(bulk_paste_and_check)->Arg(5000)->Unit(benchmark::kMillisecond);
BENCHMARK(record_file_ids)->Arg(5000)->Arg(50000)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
