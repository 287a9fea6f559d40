// A monitoring pass over a day whose 10,000 orders are all in the order list already: the CPU
// time the pass spends outside its waits (the waits themselves take no time here), with the
// order-number index and with a scan of the list for every id.

#include <benchmark/benchmark.h>

#include <functional>
#include <string>
#include <vector>

#include "http/decode.h"
#include "shop/order_index.h"
#include "shop/ports.h"
#include "shop/replies.h"
#include "shop/session.h"
#include "shop/workflows.h"

namespace {

using namespace quillmere::shop;

constexpr int kKnownOrders = 10000;

std::string order_id(int i) { return std::to_string(787000000000LL + i * 7919LL); }

class Rows final : public ReportList {
 public:
  int row_count() override { return static_cast<int>(rows_.size()); }
  int insert_row() override {
    rows_.emplace_back(8);
    return row_count() - 1;
  }
  void set_cell(int row, int column, std::string_view text) override {
    if (row >= 0 && row < row_count() && column >= 0 && column < 8) rows_[row][column].assign(text);
  }
  std::string cell(int row, int column) override {
    if (row < 0 || row >= row_count() || column < 0 || column >= 8) return {};
    return rows_[row][column];
  }
  void delete_all() override { rows_.clear(); }
  int find_row(int column, std::string_view text) override {
    for (int r = 0; r < row_count(); ++r) {
      if (rows_[r][column] == text) return r;
    }
    return -1;
  }
  int selected_row() override { return -1; }

 private:
  std::vector<std::vector<std::string>> rows_;
};

class Window final : public MainWindow {
 public:
  explicit Window(ReportList& orders) : orders_(orders) {}
  void append_log(std::string_view) override {}
  ReportList& order_list() override { return orders_; }
  ReportList& delivery_list() override { return deliveries_; }
  void show_message(std::string_view, unsigned) override {}
  void open_express_window() override {}
  bool alive() override { return true; }
  void notify_new_orders(int) override {}
  void announce_new_orders(const std::vector<AddedOrder>&) override {}

 private:
  ReportList& orders_;
  Rows deliveries_;
};

class Platform final : public Network {
 public:
  Platform() {
    ids_reply_ = "{\"status\":{\"status_code\":0,\"status_reason\":\"success\"},\"result\":[";
    for (int i = 0; i < kKnownOrders; ++i) ids_reply_ += (i ? ",\"" : "\"") + order_id(i) + "\"";
    ids_reply_ += "]}";
  }
  std::string fetch_page(const std::string& url) override {
    // One page holds the whole day; the page after it is the empty day's reply.
    if (url.find("vdian.order.ids.get") != std::string::npos) {
      const bool later_page = url.find("\"page_num\":") != std::string::npos &&
                              url.find("\"page_num\":1,") == std::string::npos;
      return later_page ? "{\"status\":{\"status_code\":0,\"status_reason\":\"\"},\"result\":[]}"
                        : ids_reply_;
    }
    ++detail_requests;
    return {};
  }
  std::string winhttp_fetch(const std::string&) override { return {}; }
  int detail_requests = 0;

 private:
  std::string ids_reply_;
};

struct NoWaits final : Pacing {
  void wait_ms(int) override {}
  void wait_until(int, const std::function<bool()>&) override {}
};

void fill(ReportList& list) {
  for (int i = 0; i < kKnownOrders; ++i) {
    const int row = list.insert_row();
    list.set_cell(row, 0, std::to_string(row + 1));
    list.set_cell(row, 1, order_id(i));
  }
}

void run_passes(benchmark::State& state, ReportList& orders, Rows& rows) {
  fill(orders);
  Session session;
  session.set_monitored_day({2026, 5, 3});
  Window window(orders);
  Platform platform;
  NoWaits pacing;
  for (auto _ : state) monitoring_pass(session, window, platform, pacing);
  if (platform.detail_requests != 0 || rows.row_count() != kKnownOrders)
    state.SkipWithError("an order was not recognised as known");
  state.counters["known_orders"] = kKnownOrders;
}

void BM_monitoring_pass_indexed(benchmark::State& state) {
  Rows rows;
  IndexedOrderList indexed(rows);
  run_passes(state, indexed, rows);
}

void BM_monitoring_pass_linear_scan(benchmark::State& state) {
  Rows rows;
  run_passes(state, rows, rows);
}

// The part of every pass that no index can spare: decoding and reading the ids reply.
void BM_ids_reply_reading(benchmark::State& state) {
  Platform platform;
  const std::string reply = platform.fetch_page("vdian.order.ids.get");
  for (auto _ : state) benchmark::DoNotOptimize(read_order_ids(quillmere::url_decode(reply, true)));
}

}  // namespace

BENCHMARK(BM_ids_reply_reading)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_monitoring_pass_indexed)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_monitoring_pass_linear_scan)->Unit(benchmark::kMillisecond)->Iterations(5);

BENCHMARK_MAIN();
