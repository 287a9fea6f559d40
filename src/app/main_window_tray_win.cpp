// The main window's side of the notification-area icon: up while monitoring runs, a notice
// for new orders while the window is not in front, and the way back to the window.

#include "app/main_window_win.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include "app/edge_text_win.h"
#include "app/new_order_notice.h"
#include "shop/requests.h"
#include "text/gbk_literal.h"

namespace quillmere::app {
namespace {

// Menu command ids; TrackPopupMenuEx gives 0 for no choice.
enum TrayCommand : UINT { kShowWindowCommand = 1, kStopMonitoringCommand, kExitCommand };

constexpr std::string_view kShowWindowItem = "显示窗口"_gbk;
constexpr std::string_view kStopMonitoringItem = "停止监控"_gbk;
constexpr std::string_view kExitItem = "退出"_gbk;

}  // namespace

void MainWindow::show_monitoring_icon() {
  thread_.post([this] { tray_.show(window_, monitoring_tip_text()); });
}

void MainWindow::hide_monitoring_icon() {
  thread_.post([this] { tray_.hide(); });
}

// The day the date box shows now, which monitoring's next pass watches.
std::wstring MainWindow::monitoring_tip_text() {
  SYSTEMTIME chosen{};
  shop::Date date;
  if (DateTime_GetSystemtime(date_picker_, &chosen) == GDT_VALID)
    date = {chosen.wYear, chosen.wMonth, chosen.wDay};
  return wide(app::monitoring_tip(shop::order_date_text(date)));
}

void MainWindow::update_monitoring_tip() {
  if (tray_.wanted()) tray_.show(window_, monitoring_tip_text());
}

// Where the flash and the sound go, the notice goes too; in front the new rows are in view.
void MainWindow::announce_new_orders(const std::vector<shop::AddedOrder>& orders) {
  if (orders.empty()) return;
  const app::Notice notice = app::new_order_notice(orders);
  thread_.post([this, title = wide(notice.title), text = wide(notice.text),
                first = orders.front().order_id] {
    HWND front = attention_.foreground_window();
    if (front != nullptr && (front == window_ || GetAncestor(front, GA_ROOTOWNER) == window_))
      return;
    if (tray_.notify(title, text)) notice_order_id_ = first;
  });
}

// Version 4 of the icon's messages: the event in the low word of l, the anchor point (screen
// coordinates, negative left of or above the main screen) in w.
LRESULT MainWindow::on_tray_icon(WPARAM w, LPARAM l) {
  switch (LOWORD(l)) {
    case NIN_SELECT:
    case NIN_KEYSELECT:
    case NIN_BALLOONUSERCLICK: bring_forward_from_tray(); break;
    case WM_CONTEXTMENU: open_tray_menu(POINT{GET_X_LPARAM(w), GET_Y_LPARAM(w)}); break;
  }
  return 0;
}

void MainWindow::bring_forward_from_tray() {
  ShowWindow(window_, IsIconic(window_) ? SW_RESTORE : SW_SHOW);
  SetForegroundWindow(window_);
  if (notice_order_id_.empty()) return;
  const int row = indexed_orders_.find_row(1, notice_order_id_);
  notice_order_id_.clear();
  if (row < 0) return;
  TabCtrl_SetCurSel(tabs_, 0);
  show_page(0);
  HWND list = order_list_.handle();
  ListView_SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
  ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  ListView_EnsureVisible(list, row, FALSE);
  SetFocus(list);
}

// The menu's window must be in front, or the menu stays up after a click elsewhere; the
// WM_NULL after it lets a second opening work (both as Microsoft documents for this case).
void MainWindow::open_tray_menu(POINT at) {
  HMENU menu = CreatePopupMenu();
  if (menu == nullptr) return;
  AppendMenuW(menu, MF_STRING, kShowWindowCommand, wide(kShowWindowItem).c_str());
  AppendMenuW(menu, MF_STRING, kStopMonitoringCommand, wide(kStopMonitoringItem).c_str());
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu, MF_STRING, kExitCommand, wide(kExitItem).c_str());
  SetForegroundWindow(window_);
  const UINT align = GetSystemMetrics(SM_MENUDROPALIGNMENT) != 0 ? TPM_RIGHTALIGN : TPM_LEFTALIGN;
  const auto chosen = static_cast<UINT>(TrackPopupMenuEx(
      menu, align | TPM_BOTTOMALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY, at.x, at.y,
      window_, nullptr));
  PostMessageW(window_, WM_NULL, 0, 0);
  DestroyMenu(menu);
  switch (chosen) {
    case kShowWindowCommand: bring_forward_from_tray(); break;
    case kStopMonitoringCommand:
      if (events_ != nullptr) events_->stop_monitoring_clicked();
      break;
    case kExitCommand:
      // As the close button: monitoring stops and the program ends.
      PostMessageW(window_, WM_CLOSE, 0, 0);
      break;
  }
}

}  // namespace quillmere::app
