#pragma once
// The bulk shipping window "批量发货": rows brought in from a file or the clipboard, their checks
// and results, a progress bar and a one-line summary. A view only: what the rows mean, and what
// each button starts, is decided by whoever implements BulkWindowEvents.

#include <windows.h>

#include <array>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/dialog_keys_win.h"
#include "app/report_list_win.h"
#include "app/win32_support_win.h"
#include "app/window_base_win.h"
#include "app/window_thread_win.h"

namespace quillmere::app {

// One row as the list shows it, GBK: 行, 订单号, 快递公司, 快递单号, 检查, 结果.
inline constexpr std::size_t kBulkColumnCount = 6;
using BulkRow = std::array<std::string, kBulkColumnCount>;

// A file or a paste larger than this is no shipping list; it is refused before it is read.
inline constexpr std::size_t kBulkInputLimit = 32u << 20;

// What the owner does in the window. Called on the window's thread.
class BulkWindowEvents {
 public:
  virtual ~BulkWindowEvents() = default;
  // A file chosen with 打开文件… (or Ctrl+O) and read whole: its full path and its bytes. Files
  // that could not be read were already explained to the owner and never come here.
  virtual void bulk_file_read(std::wstring_view path, std::string bytes) = 0;
  // The clipboard's Unicode text after 粘贴 (or Ctrl+V), as GBK; never empty.
  virtual void bulk_text_pasted(std::string text) = 0;
  virtual void start_clicked() = 0;
  virtual void stop_clicked() = 0;
  virtual void export_clicked() = 0;
  // The close box, Alt+F4, or Esc while nothing is being sent: true closes the window now.
  // False keeps it open; close() ends it later.
  virtual bool close_requested() = 0;
};

class BulkWindow final : private WindowBase {
 public:
  explicit BulkWindow(WindowThread& thread);
  BulkWindow(const BulkWindow&) = delete;
  BulkWindow& operator=(const BulkWindow&) = delete;
  ~BulkWindow();

  static bool register_class(HINSTANCE instance);
  void set_events(BulkWindowEvents& events) { events_ = &events; }
  // Shows the window, a little below and to the right of `main_window` when it is made; one
  // already open is brought to the front as it is.
  void open(HWND main_window);
  void close();
  bool is_open() const { return window_ != nullptr; }
  HWND window_handle() const { return window_; }

  // The view, on the window's thread. What it is given is kept while the window is closed and
  // shown again when it is opened.
  void replace_rows(std::span<const BulkRow> rows);
  void append_rows(std::span<const BulkRow> rows);
  // Changes the cells of one row that differ; an index outside the list is ignored.
  void update_row(int index, const BulkRow& row);
  // Scrolls the row into view, as the row being sent.
  void reveal_row(int index);
  void set_progress(int done, int total);
  void set_summary(std::string_view text);
  // While a run is out: 打开文件…, 粘贴, 开始发货 and Esc do nothing, 停止 is enabled.
  void set_running(bool running);
  // 开始发货 disabled for another reason (a single delivery is out).
  void hold_start(bool held);
  // A question with 是 and 否 over this window (over none while it is closed); true for 是.
  bool ask_yes_no(std::string_view question);
  void show_message(std::string_view text, UINT flags = MB_OK | MB_ICONEXCLAMATION);

 private:
  LRESULT handle(UINT message, WPARAM w, LPARAM l) override;
  void rescale(int old_dpi) override;
  bool on_create();
  void on_command(int id, int code);
  void on_close();
  void on_destroy();
  void on_min_max_info(MINMAXINFO& info) const;

  void create_controls();
  void lay_out();
  void fill_list();
  void set_list_row(int index, const BulkRow& row, const BulkRow* before);
  void apply_button_states();
  void place_beside(HWND main_window);
  bool translate_keys(MSG& message);

  void open_file();
  void paste();

  BulkWindowEvents* events_ = nullptr;
  HWND main_window_ = nullptr;
  FontHolder control_font_;
  WindowIcons icons_;
  ReportListView list_;
  FocusKeeper focus_{nullptr};

  std::vector<BulkRow> rows_;
  int progress_done_ = 0;
  int progress_total_ = 0;
  std::string summary_;
  bool running_ = false;
  bool start_held_ = false;
  std::wstring last_folder_;  // where the next 打开文件… starts, in this run only
};

// Reads the whole file at `path` (any folder, names in any language) into `bytes`. 0 when read;
// ERROR_FILE_TOO_LARGE beyond `limit` bytes; the system's error code otherwise. A file that
// another program (Excel, WPS) holds open for writing is still read.
DWORD read_file_bytes(const std::wstring& path, std::size_t limit, std::string* bytes);

}  // namespace quillmere::app
