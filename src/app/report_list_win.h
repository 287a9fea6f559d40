#pragma once
// A report-style list view as the workflows see it. Writes come from any thread and are shown
// by the window's thread in the order they were made; reads are the window's thread's (other
// threads get empty text, 0 or -1, as from a list that is gone).

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "app/screen_scale.h"
#include "app/window_thread_win.h"
#include "shop/ports.h"

namespace quillmere::app {

struct ListColumn {
  std::string_view title;  // GBK
  int width;               // pixels at 96 DPI
};

class ReportListView final : public shop::ReportList {
 public:
  explicit ReportListView(WindowThread& thread) : thread_(thread) {}

  // On the window's thread, once the control exists.
  void attach(HWND list_view) { list_view_ = list_view; }
  void add_column(const ListColumn& column, int dpi = app::kDesignDpi);
  // The screen scale changed: a column at its design width takes the design width at the new
  // scale; one the owner dragged keeps its share of the list.
  void rescale_columns(int old_dpi, int new_dpi);
  HWND handle() const { return list_view_; }
  // What the list shows, for a copy; on the window's thread.
  std::vector<std::wstring> titles_on_window_thread() const;
  std::vector<std::vector<std::wstring>> rows_on_window_thread() const;

  // The rows shown, after what is queued; 0 on other threads.
  int row_count() override;
  // The new row's index on the window's thread; -1 on other threads, where the row is queued.
  int insert_row() override;
  void set_cell(int row, int column, std::string_view text) override;
  std::string cell(int row, int column) override;
  void delete_all() override;
  int find_row(int column, std::string_view text) override;
  int selected_row() override;

 private:
  // On the window's thread.
  std::wstring cell_text(int row, int column) const;
  int column_count() const;
  int insert_now();

  WindowThread& thread_;
  HWND list_view_ = nullptr;
  std::vector<int> design_widths_;
};

}  // namespace quillmere::app
