#pragma once
// Fakes of the shop ports that record every call and replay scripted platform replies.

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "shop/bulk.h"
#include "shop/order_index.h"
#include "shop/ports.h"

namespace quillmere::shop::testing {

// UTF-8 bytes of a u8 literal, as the platform sends them.
inline std::string utf8(std::u8string_view text) {
  return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

// Time moves only when a fake wait or exchange says so; safe from any thread.
struct FakeClock final : Clock {
  std::atomic<std::uint64_t> now{1'000'000};
  std::uint64_t now_ms() override { return now.load(); }
  void advance(std::uint64_t milliseconds) { now += milliseconds; }
};

// Safe from several threads, as the window's list is; tests read `rows` once the jobs are done.
class FakeList final : public ReportList {
 public:
  std::vector<std::vector<std::string>> rows;
  int selected = -1;
  int scans = 0;  // find_row calls

  int row_count() override {
    const std::lock_guard<std::recursive_mutex> hold(lock_);
    return static_cast<int>(rows.size());
  }
  int insert_row() override {
    const std::lock_guard<std::recursive_mutex> hold(lock_);
    rows.emplace_back();
    return static_cast<int>(rows.size()) - 1;
  }
  void set_cell(int row, int column, std::string_view text) override {
    const std::lock_guard<std::recursive_mutex> hold(lock_);
    if (row < 0 || row >= row_count() || column < 0) return;
    auto& cells = rows[static_cast<std::size_t>(row)];
    if (cells.size() <= static_cast<std::size_t>(column))
      cells.resize(static_cast<std::size_t>(column) + 1);
    cells[static_cast<std::size_t>(column)].assign(text);
  }
  std::string cell(int row, int column) override {
    const std::lock_guard<std::recursive_mutex> hold(lock_);
    if (row < 0 || row >= row_count() || column < 0) return {};
    const auto& cells = rows[static_cast<std::size_t>(row)];
    return static_cast<std::size_t>(column) < cells.size() ? cells[static_cast<std::size_t>(column)]
                                                           : std::string();
  }
  std::function<void()> after_delete_all;  // another thread's write, landing right then
  void delete_all() override {
    {
      const std::lock_guard<std::recursive_mutex> hold(lock_);
      rows.clear();
    }
    if (after_delete_all) after_delete_all();
  }
  int find_row(int column, std::string_view text) override {
    const std::lock_guard<std::recursive_mutex> hold(lock_);
    ++scans;
    for (int r = 0; r < row_count(); ++r) {
      if (cell(r, column) == text) return r;
    }
    return -1;
  }
  int selected_row() override { return selected; }

  // Appends a row with the given cells.
  int add(std::vector<std::string> cells) {
    const std::lock_guard<std::recursive_mutex> hold(lock_);
    rows.push_back(std::move(cells));
    return row_count() - 1;
  }

 private:
  std::recursive_mutex lock_;
};

// The main window's reports, taken at once on the calling thread. `appkey`, `secret` and `date`
// are what its controls hold: the tests hand them to the jobs, as the clicks do.
struct FakeWindow final : MainWindow {
  std::string appkey;
  std::string secret;
  Date date{2026, 5, 3};
  std::string log;
  std::vector<std::pair<std::string, unsigned>> messages;
  int express_opened = 0;
  bool is_alive = true;
  std::vector<int> notified;                       // notify_new_orders, one count per call
  std::vector<std::vector<AddedOrder>> announced;  // announce_new_orders, one list per call
  FakeList orders;
  IndexedOrderList indexed_orders{orders};
  FakeList deliveries;
  std::function<void()> on_message;  // runs while a message box is up

  void append_log(std::string_view text) override {
    const std::lock_guard<std::mutex> hold(log_lock);
    log.append(text);
  }
  std::mutex log_lock;  // renewals log from whichever thread renewed
  ReportList& order_list() override { return indexed_orders; }
  ReportList& delivery_list() override { return deliveries; }
  void show_message(std::string_view text, unsigned flags) override {
    messages.emplace_back(std::string(text), flags);
    if (on_message) on_message();
  }
  void open_express_window() override { ++express_opened; }
  // A row written the way the workflows write them, through the index.
  void add_order(const std::vector<std::string>& cells) {
    const int row = indexed_orders.insert_row();
    for (std::size_t c = 0; c < cells.size(); ++c)
      indexed_orders.set_cell(row, static_cast<int>(c), cells[c]);
  }
  std::function<void()> on_alive;  // runs whenever a workflow asks whether the window is there
  bool alive() override {
    if (on_alive) on_alive();
    return is_alive;
  }
  void notify_new_orders(int count) override { notified.push_back(count); }
  // A window that is gone drops the step, as the real one does.
  void at_once(std::function<void()> changes) override {
    if (is_alive) changes();
  }
  void announce_new_orders(const std::vector<AddedOrder>& added) override {
    announced.push_back(added);
  }
};

// `courier`, `index` and `tracking` are what the express window's controls hold.
struct FakeExpress final : ExpressWindow {
  std::string courier = "1:\xcb\xb3\xb7\xe1\xcb\xd9\xd4\xcb";  // 1:顺丰速运
  int index = 1;
  std::string tracking;
  std::vector<bool> holds;  // hold_confirm, one per call

  ExpressChoice choice() const { return {courier, index, tracking}; }
  void hold_confirm(bool held) override {
    const std::lock_guard<std::mutex> hold(lock);
    holds.push_back(held);
  }
  std::mutex lock;
};

// Real threads, joined by join_all; with `fail` no thread starts, as when the system is out of
// them.
struct FakeThreads final : Threads {
  bool fail = false;
  int started = 0;
  std::vector<std::thread> threads;

  bool start_thread(std::function<void()> work) override {
    if (fail) return false;
    ++started;
    threads.emplace_back(std::move(work));
    return true;
  }
  void join_all() {
    for (std::thread& thread : threads) thread.join();
    threads.clear();
  }
  ~FakeThreads() override { join_all(); }
};

// Replies by URL; a URL with several scripted replies gives them in turn and then repeats the
// last. Unknown URLs get the empty reply of a failed exchange. Safe from several threads; each
// exchange takes `round_trip_ms` on `clock` when one is given.
class FakeNetwork final : public Network {
 public:
  std::vector<std::string> pages;     // URLs sent through fetch_page, in order
  std::vector<std::string> winhttps;  // URLs sent through winhttp_fetch, in order
  std::function<void(const std::string&)> during_exchange;  // runs outside the lock
  FakeClock* clock = nullptr;
  std::uint64_t round_trip_ms = 0;

  void reply(const std::string& url, std::string body) {
    const std::lock_guard<std::mutex> hold(lock_);
    script_[url].push_back(std::move(body));
  }
  // Drops what is still scripted for `url`.
  void forget(const std::string& url) {
    const std::lock_guard<std::mutex> hold(lock_);
    script_.erase(url);
  }

  std::string fetch_page(const std::string& url) override { return answer(url, pages); }
  std::string winhttp_fetch(const std::string& url) override { return answer(url, winhttps); }

  // How many URLs sent so far hold `part`.
  int sent(std::string_view part) {
    const std::lock_guard<std::mutex> hold(lock_);
    int n = 0;
    for (const auto* list : {&pages, &winhttps})
      for (const std::string& url : *list) n += url.find(part) != std::string::npos;
    return n;
  }

 private:
  std::string answer(const std::string& url, std::vector<std::string>& sent_list) {
    {
      const std::lock_guard<std::mutex> hold(lock_);
      sent_list.push_back(url);
    }
    if (during_exchange) during_exchange(url);
    if (clock != nullptr) clock->advance(round_trip_ms);
    const std::lock_guard<std::mutex> hold(lock_);
    auto found = script_.find(url);
    if (found == script_.end() || found->second.empty()) return {};
    std::string body = found->second.front();
    if (found->second.size() > 1) found->second.pop_front();
    return body;
  }
  std::mutex lock_;
  std::map<std::string, std::deque<std::string>> script_;
};

// Waits take no time unless a clock is given, which they then move on. `on_messages` is a
// scripted click that lands while a job runs (the fixture runs it whenever a workflow asks
// whether the window is still there). wait_until records what it was asked to wait and moves the
// clock only when `done` does not already hold; with `yield_in_waits` it also lets other threads
// run.
struct FakePacing final : Pacing {
  std::vector<int> waits;
  std::function<void()> on_messages;
  std::function<void()> on_wait_until;  // runs at the start of every wait_until
  FakeClock* clock = nullptr;
  bool yield_in_waits = false;

  void wait_ms(int milliseconds) override {
    waits.push_back(milliseconds);
    if (clock != nullptr) clock->advance(static_cast<std::uint64_t>(milliseconds));
  }
  void wait_until(int milliseconds, const std::function<bool()>& done) override {
    waits.push_back(milliseconds);
    if (on_wait_until) on_wait_until();
    if (done()) return;
    if (yield_in_waits) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (clock != nullptr && milliseconds > 0)
      clock->advance(static_cast<std::uint64_t>(milliseconds));
  }
};

// The record file as the system may treat it. Each failure carries the system's words for it;
// an empty text means that failure does not happen.
struct FakeRecordFile final : RecordFile {
  bool exists = true;
  std::string refused_open;  // the file cannot be opened for appending (locked, read-only, ...)
  std::string failed_write;  // the write fails before any byte lands
  std::string short_write;   // the write stops half-way; the half is taken back out
  std::string content;
  int attempts = 0;
  int checks = 0;

  RecordResult append_if_exists(std::string_view line) override {
    ++attempts;
    if (!exists) return {RecordStatus::missing, {}};
    if (!refused_open.empty()) return {RecordStatus::failed, refused_open};
    if (!failed_write.empty()) return {RecordStatus::failed, failed_write};
    if (!short_write.empty()) {
      const std::size_t earlier = content.size();
      content.append(line.substr(0, line.size() / 2));
      content.resize(earlier);
      return {RecordStatus::failed, short_write};
    }
    content.append(line);
    return {RecordStatus::ok, {}};
  }
  RecordResult check_appendable() override {
    ++checks;
    if (!exists) return {RecordStatus::missing, {}};
    if (!refused_open.empty()) return {RecordStatus::failed, refused_open};
    return {RecordStatus::ok, {}};
  }
};

// What a bulk run reported, in order. `on_row` runs after each row is kept (a click on 停止
// landing then).
struct FakeBulkReport final : BulkReport {
  std::vector<BulkRowDone> rows;
  std::vector<std::string> logs;
  std::vector<BulkSummary> summaries;
  std::function<void(const BulkRowDone&)> on_row;

  void row_done(const BulkRowDone& done) override {
    rows.push_back(done);
    if (on_row) on_row(done);
  }
  void log(const std::string& line) override { logs.push_back(line); }
  void finished(const BulkSummary& summary) override { summaries.push_back(summary); }
};

}  // namespace quillmere::shop::testing
