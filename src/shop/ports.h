#pragma once
// What the shop workflows need from the outside: the windows they report to, the network, the
// waits, the record file and a way to start threads. The Windows program implements these over
// real controls and WinInet/WinHttp; tests implement them with fakes.
//
// Texts are GBK bytes. A job gets its inputs as values at the click and never reads a control:
// what it reports (rows, log lines, outcomes) is queued for the window's thread and shown in the
// order it was reported. Every report is safe to make from any thread, never waits for the
// window's thread, and is dropped once its window is gone.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quillmere::shop {

struct Date {
  int year = 0;
  int month = 0;
  int day = 0;
};

// A report-style list view. Rows and columns count from 0; -1 means none. Writes (insert_row,
// set_cell, delete_all) and row_count may come from any thread: the row count is the list's as
// written so far, shown or not. Reads of cells and of the selection are the window's thread's.
class ReportList {
 public:
  virtual ~ReportList() = default;
  virtual int row_count() = 0;
  // Appends an empty row at the end and yields its index.
  virtual int insert_row() = 0;
  virtual void set_cell(int row, int column, std::string_view text) = 0;
  // Empty text for a row or column that does not exist.
  virtual std::string cell(int row, int column) = 0;
  virtual void delete_all() = 0;
  // The first row whose cell in `column` equals `text` exactly; -1 when none.
  virtual int find_row(int column, std::string_view text) = 0;
  // The selected row; -1 when none.
  virtual int selected_row() = 0;
};

// Message-box flags as the workflows pass them.
inline constexpr unsigned kMessageOk = 0x00;
inline constexpr unsigned kMessageWarning = 0x30;

// One row a monitoring pass added.
struct AddedOrder {
  std::string order_id;
  std::string item_name;
  std::string quantity;
};

class MainWindow {
 public:
  virtual ~MainWindow() = default;
  // Adds `text` at the end of the log box; callers end lines with "\r\n".
  virtual void append_log(std::string_view text) = 0;
  // The order list wrapped in an IndexedOrderList (shop/order_index.h), so that monitoring
  // finds known orders without scanning the rows.
  virtual ReportList& order_list() = 0;
  virtual ReportList& delivery_list() = 0;
  // Shows a message box; on the window's thread it returns when the box has been dismissed.
  virtual void show_message(std::string_view text, unsigned flags) = 0;
  // Shows the express window (ordinary, not modal, no owner).
  virtual void open_express_window() = 0;
  // False once the main window has been destroyed: workflows stop touching controls then.
  virtual bool alive() = 0;
  // A monitoring pass added `count` rows: catch the owner's eye if the window is not in
  // front. Harmless once the window is gone.
  virtual void notify_new_orders(int count) = 0;
  // Runs `changes` later as one step of the window's thread, so that whoever looks at the
  // windows sees none or all of them; never once the window is gone. `changes` must own what it
  // uses, beyond the ports themselves.
  virtual void at_once(std::function<void()> changes) { changes(); }
  // The rows that notify_new_orders just counted, in the order they were added: what a notice
  // names. Harmless once the window is gone.
  virtual void announce_new_orders(const std::vector<AddedOrder>& orders) = 0;
};

// What the express window held at the click on 确定.
struct ExpressChoice {
  std::string courier_text;  // the chosen entry ("1:顺丰速运"), empty when none
  int courier_index = -1;    // -1 when none is chosen
  std::string tracking_text;
};

class ExpressWindow {
 public:
  virtual ~ExpressWindow() = default;
  // On the window's thread: 确定 disabled (held) while a delivery is out, enabled again when its
  // outcome shows.
  virtual void hold_confirm(bool held) = 0;
};

// Starts `work` on a thread of its own that is never joined; false when the system could not
// start one (nothing of `work` then runs).
class Threads {
 public:
  virtual ~Threads() = default;
  virtual bool start_thread(std::function<void()> work) = 0;
};

class Network {
 public:
  virtual ~Network() = default;
  // The body bytes of `fetch_page` called with the URL alone.
  virtual std::string fetch_page(const std::string& url) = 0;
  // The page text of `winhttp_fetch` called with the URL alone.
  virtual std::string winhttp_fetch(const std::string& url) = 0;
};

class Pacing {
 public:
  virtual ~Pacing() = default;
  // A wait of that many milliseconds, on a job's thread.
  virtual void wait_ms(int milliseconds) = 0;
  // A wait like wait_ms of at most that many milliseconds that ends as soon as `done` holds.
  // `done` is tested first, then at least every few milliseconds, on the calling thread;
  // another thread may be what makes it true.
  virtual void wait_until(int milliseconds, const std::function<bool()>& done) = 0;
};

// What became of a record line, or of the check that the file can take one.
enum class RecordStatus { ok, missing, failed };
struct RecordResult {
  RecordStatus status = RecordStatus::missing;
  std::string reason;  // when failed: the system's own words for the error, GBK
};

// Milliseconds on a clock that only moves forward (GetTickCount64 on Windows): token expiry and
// monitoring's request rate follow it, not the wall clock, which the owner may set.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual std::uint64_t now_ms() = 0;
};

class RecordFile {
 public:
  virtual ~RecordFile() = default;
  // Appends `line` to "发货记录.txt" in the program's directory when that file exists. Opens the
  // existing file for appending only (never creates it, never reads or rewrites it) and writes
  // the line in one write; a write that fails part-way leaves the file at its earlier length.
  // `missing` when there is no such file, `failed` when it exists but did not take the line.
  virtual RecordResult append_if_exists(std::string_view line) = 0;
  // Opens the existing file for appending and closes it again, writing nothing: `failed` when
  // a line could not be appended now, `missing` when there is no such file.
  virtual RecordResult check_appendable() = 0;
};

}  // namespace quillmere::shop
