#include "app/list_copy_win.h"

#include <commctrl.h>

#include <string>
#include <vector>

#include "app/edge_text_win.h"
#include "app/export_win.h"
#include "text/codepage.h"
#include "text/gbk_literal.h"

namespace quillmere::app {
namespace {

// The menu's command ids: the scope plus one, as TrackPopupMenu gives 0 for no choice.
constexpr UINT command_of(app::CopyScope scope) { return static_cast<UINT>(scope) + 1; }

std::vector<std::string> utf8_cells(const std::vector<std::wstring>& cells) {
  std::vector<std::string> out;
  out.reserve(cells.size());
  for (const std::wstring& cell : cells) out.push_back(bytes_from(cell, kCodePageUtf8));
  return out;
}

// A movable global block holding `size` bytes from `data`, as the clipboard takes them.
HGLOBAL global_copy(const void* data, std::size_t size) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
  if (block == nullptr) return nullptr;
  void* target = GlobalLock(block);
  if (target == nullptr) {
    GlobalFree(block);
    return nullptr;
  }
  CopyMemory(target, data, size);
  GlobalUnlock(block);
  return block;
}

void set_clipboard_block(UINT format, const void* data, std::size_t size) {
  HGLOBAL block = global_copy(data, size);
  if (block != nullptr && SetClipboardData(format, block) == nullptr) GlobalFree(block);
}

// Another program may hold the clipboard for a moment.
bool open_clipboard(HWND owner) {
  for (int attempt = 0; attempt < 5; ++attempt) {
    if (OpenClipboard(owner)) return true;
    Sleep(20);
  }
  return false;
}

void select_row_at(HWND list, POINT screen_point) {
  LVHITTESTINFO hit{};
  hit.pt = screen_point;
  ScreenToClient(list, &hit.pt);
  const int row = ListView_HitTest(list, &hit);
  if (row < 0) return;
  ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
  ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

// Below the selected row's start, or the list's corner when no row is selected or in view.
POINT keyboard_menu_point(HWND list) {
  POINT point{0, 0};
  RECT row{};
  const int selected = ListView_GetNextItem(list, -1, LVNI_SELECTED);
  if (selected >= 0 && ListView_GetItemRect(list, selected, &row, LVIR_LABEL)) {
    RECT client{};
    GetClientRect(list, &client);
    if (row.bottom > client.top && row.top < client.bottom) point = {row.left, row.bottom};
  }
  ClientToScreen(list, &point);
  return point;
}

}  // namespace

void copy_from_list(HWND owner, const ReportListView& list, app::CopyScope scope) {
  std::vector<std::vector<std::string>> rows;
  for (const std::vector<std::wstring>& row : list.rows_on_window_thread())
    rows.push_back(utf8_cells(row));
  const app::CopiedCells cells =
      app::cells_to_copy(scope, utf8_cells(list.titles_on_window_thread()), rows,
                         ListView_GetNextItem(list.handle(), -1, LVNI_SELECTED));
  if (cells.rows.empty() || !open_clipboard(owner)) return;
  EmptyClipboard();
  const std::wstring text = wstring_from(app::plain_text(cells), kCodePageUtf8);
  set_clipboard_block(CF_UNICODETEXT, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
  const std::string html = app::html_clipboard_text(cells);
  if (const UINT html_format = RegisterClipboardFormatW(L"HTML Format"))
    set_clipboard_block(html_format, html.c_str(), html.size() + 1);
  CloseClipboard();
}

void open_copy_menu(HWND owner, const ReportListView& list, POINT screen_point) {
  HWND list_view = list.handle();
  const bool from_keyboard = screen_point.x == -1 && screen_point.y == -1;
  if (from_keyboard) {
    screen_point = keyboard_menu_point(list_view);
  } else {
    select_row_at(list_view, screen_point);
  }
  HMENU menu = CreatePopupMenu();
  if (menu == nullptr) return;
  const UINT row_items =
      ListView_GetNextItem(list_view, -1, LVNI_SELECTED) >= 0 ? MF_ENABLED : MF_GRAYED;
  AppendMenuW(menu, MF_STRING | row_items, command_of(app::CopyScope::order_id),
              wide("复制订单号"_gbk).c_str());
  AppendMenuW(menu, MF_STRING | row_items, command_of(app::CopyScope::row),
              wide("复制整行"_gbk).c_str());
  AppendMenuW(menu, MF_STRING, command_of(app::CopyScope::all), wide("复制全部"_gbk).c_str());
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu, MF_STRING, kExportCommand, wide("导出…"_gbk).c_str());
  const UINT chosen =
      static_cast<UINT>(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY,
                                       screen_point.x, screen_point.y, 0, owner, nullptr));
  DestroyMenu(menu);
  for (app::CopyScope scope :
       {app::CopyScope::order_id, app::CopyScope::row, app::CopyScope::all}) {
    if (chosen == command_of(scope)) copy_from_list(owner, list, scope);
  }
  if (chosen == kExportCommand) export_list(owner, list);
}

}  // namespace quillmere::app
