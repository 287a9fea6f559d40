#include "app/report_list_win.h"

#include <commctrl.h>

#include <algorithm>

#include "app/edge_text_win.h"

namespace quillmere::app {

void ReportListView::add_column(const ListColumn& column, int dpi) {
  std::wstring title = wide(column.title);
  LVCOLUMNW column_info{};
  column_info.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
  column_info.pszText = title.data();
  column_info.cx = app::scale_to_dpi(column.width, dpi);
  column_info.iSubItem = column_count();
  if (ListView_InsertColumn(list_view_, column_info.iSubItem, &column_info) >= 0)
    design_widths_.push_back(column.width);
}

void ReportListView::rescale_columns(int old_dpi, int new_dpi) {
  const int count = std::min(column_count(), static_cast<int>(design_widths_.size()));
  for (int column = 0; column < count; ++column) {
    const int design = design_widths_[static_cast<std::size_t>(column)];
    const int width = ListView_GetColumnWidth(list_view_, column);
    // Scaling the scaled width again would drift by a pixel at every move.
    ListView_SetColumnWidth(list_view_, column,
                            width == app::scale_to_dpi(design, old_dpi)
                                ? app::scale_to_dpi(design, new_dpi)
                                : MulDiv(width, new_dpi, old_dpi));
  }
}

int ReportListView::column_count() const {
  return Header_GetItemCount(ListView_GetHeader(list_view_));
}

std::wstring ReportListView::cell_text(int row, int column) const {
  if (row < 0 || row >= ListView_GetItemCount(list_view_) || column < 0 || column >= column_count())
    return {};
  std::wstring text(256, L'\0');
  for (;;) {
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = text.data();
    item.cchTextMax = static_cast<int>(text.size());
    const auto copied = static_cast<std::size_t>(
        SendMessageW(list_view_, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item)));
    if (copied + 1 < text.size()) {
      text.resize(copied);
      return text;
    }
    text.resize(text.size() * 4);  // the cell may be longer than the buffer
  }
}

std::vector<std::wstring> ReportListView::titles_on_window_thread() const {
  std::vector<std::wstring> titles;
  const int columns = column_count();
  for (int column = 0; column < columns; ++column) {
    std::wstring title(256, L'\0');
    LVCOLUMNW column_info{};
    column_info.mask = LVCF_TEXT;
    column_info.pszText = title.data();
    column_info.cchTextMax = static_cast<int>(title.size());
    if (!ListView_GetColumn(list_view_, column, &column_info)) title.clear();
    title.resize(wcsnlen(title.c_str(), title.size()));
    titles.push_back(std::move(title));
  }
  return titles;
}

std::vector<std::vector<std::wstring>> ReportListView::rows_on_window_thread() const {
  std::vector<std::vector<std::wstring>> rows;
  const int count = ListView_GetItemCount(list_view_);
  const int columns = column_count();
  rows.reserve(static_cast<std::size_t>(count));
  for (int row = 0; row < count; ++row) {
    std::vector<std::wstring>& cells = rows.emplace_back();
    for (int column = 0; column < columns; ++column) cells.push_back(cell_text(row, column));
  }
  return rows;
}

int ReportListView::row_count() {
  if (!thread_.on_window_thread()) return 0;
  int count = 0;
  thread_.post([&] { count = ListView_GetItemCount(list_view_); });
  return count;
}

int ReportListView::insert_now() {
  LVITEMW item{};
  item.mask = LVIF_TEXT;
  item.iItem = ListView_GetItemCount(list_view_);
  item.pszText = const_cast<wchar_t*>(L"");
  return ListView_InsertItem(list_view_, &item);
}

int ReportListView::insert_row() {
  if (!thread_.on_window_thread()) {
    thread_.post([this] { insert_now(); });
    return -1;
  }
  int row = -1;
  thread_.post([&] { row = insert_now(); });
  return row;
}

void ReportListView::set_cell(int row, int column, std::string_view text) {
  thread_.post([this, row, column, units = wide(text)]() mutable {
    if (row < 0 || row >= ListView_GetItemCount(list_view_)) return;
    ListView_SetItemText(list_view_, row, column, units.data());
  });
}

std::string ReportListView::cell(int row, int column) {
  if (!thread_.on_window_thread() || !thread_.alive()) return {};
  return gbk(cell_text(row, column));
}

void ReportListView::delete_all() {
  thread_.post([this] { ListView_DeleteAllItems(list_view_); });
}

int ReportListView::find_row(int column, std::string_view text) {
  if (!thread_.on_window_thread() || !thread_.alive()) return -1;
  const std::wstring wanted = wide(text);
  const int rows = ListView_GetItemCount(list_view_);
  for (int row = 0; row < rows; ++row) {
    if (cell_text(row, column) == wanted) return row;
  }
  return -1;
}

int ReportListView::selected_row() {
  if (!thread_.on_window_thread() || !thread_.alive()) return -1;
  return ListView_GetNextItem(list_view_, -1, LVNI_SELECTED);
}

}  // namespace quillmere::app
