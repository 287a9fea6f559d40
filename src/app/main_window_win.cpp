#include "app/main_window_win.h"

#include <commctrl.h>
#include <windowsx.h>

#include <array>

#include "app/control_ids.h"
#include "app/control_layout_win.h"
#include "app/edge_text_win.h"
#include "app/export_win.h"
#include "app/fonts_win.h"
#include "app/list_copy_win.h"
#include "app/program_folder_win.h"
#include "app/screen_dpi_win.h"
#include "text/gbk_literal.h"

namespace quillmere::app {
namespace {

constexpr std::string_view kCaption = "Quillmere";
constexpr int kDesignLeft = 50, kDesignTop = 50, kOuterWidth = 677, kOuterHeight = 573;
// The right edge of the tab control and the bottom of the log frame.
constexpr app::Size kContent{648, 544};

// Containers' offsets in the client area.
constexpr int kLoginFrameLeft = 8, kLoginFrameTop = 8;
constexpr int kFunctionFrameLeft = 224, kFunctionFrameTop = 8;
constexpr int kTabsLeft = 8, kTabsTop = 104;
constexpr int kLogFrameLeft = 8, kLogFrameTop = 400;

constexpr DWORD kLabel = SS_LEFTNOWORDWRAP | SS_CENTERIMAGE;
constexpr DWORD kButton = BS_PUSHBUTTON | WS_TABSTOP;
constexpr DWORD kLineEdit = ES_AUTOHSCROLL | WS_TABSTOP;
constexpr DWORD kReport = LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SINGLESEL | WS_TABSTOP;

// Texts are GBK.
const std::array<ControlLayout, 19> kLayout = {{
    {kLoginFrame, L"Button", BS_GROUPBOX, 0, 0, kLoginFrameLeft, kLoginFrameTop, 216, 80, ""},
    {kAppKeyLabel, L"Static", kLabel, kLoginFrameLeft, kLoginFrameTop, 8, 16, 40, 24,
     "APPKEY："_gbk},
    {kAppKeyEdit, L"Edit", kLineEdit, kLoginFrameLeft, kLoginFrameTop, 56, 16, 64, 24, ""},
    {kLoginButton, L"Button", kButton, kLoginFrameLeft, kLoginFrameTop, 136, 16, 56, 24,
     "登陆"_gbk},
    {kSecretLabel, L"Static", kLabel, kLoginFrameLeft, kLoginFrameTop, 8, 48, 48, 24,
     "SECRET："_gbk},
    {kSecretEdit, L"Edit", kLineEdit, kLoginFrameLeft, kLoginFrameTop, 56, 48, 144, 24, ""},
    {kFunctionFrame, L"Button", BS_GROUPBOX, 0, 0, kFunctionFrameLeft, kFunctionFrameTop, 304, 80,
     "功能区"_gbk},
    {kStartMonitorButton, L"Button", kButton, kFunctionFrameLeft, kFunctionFrameTop, 16, 48, 64, 24,
     "开始监控"_gbk},
    {kStopMonitorButton, L"Button", kButton, kFunctionFrameLeft, kFunctionFrameTop, 88, 48, 56, 24,
     "停止监控"_gbk},
    {kAddCardButton, L"Button", kButton | WS_DISABLED, kFunctionFrameLeft, kFunctionFrameTop, 152,
     16, 80, 24, "添加卡密"_gbk},  // never enabled
    {kDatePicker, DATETIMEPICK_CLASSW, DTS_SHORTDATEFORMAT | WS_TABSTOP, kFunctionFrameLeft,
     kFunctionFrameTop, 160, 48, 112, 24, ""},
    {kFetchOrdersButton, L"Button", kButton, 0, 0, 240, 24, 64, 24, "订单查询"_gbk},
    {kDeliverButton, L"Button", kButton, 0, 0, 312, 24, 56, 24, "发货"_gbk},
    {kBulkShipButton, L"Button", kButton, kFunctionFrameLeft, kFunctionFrameTop, 240, 16, 56, 24,
     "批量发货"_gbk},
    {kTabs, WC_TABCONTROLW, WS_TABSTOP, 0, 0, kTabsLeft, kTabsTop, 640, 288, ""},
    {kOrderList, WC_LISTVIEWW, kReport, kTabsLeft, kTabsTop, 8, 32, 624, 248, ""},
    {kDeliveryList, WC_LISTVIEWW, kReport, kTabsLeft, kTabsTop, 8, 32, 624, 248, ""},
    {kLogFrame, L"Button", BS_GROUPBOX, 0, 0, kLogFrameLeft, kLogFrameTop, 400, 144, "工作区"_gbk},
    {kLogEdit, L"Edit", ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY | WS_VSCROLL, kLogFrameLeft,
     kLogFrameTop, 16, 16, 368, 112, ""},
}};

constexpr std::array<std::string_view, 2> kPages = {
    "订单状态"_gbk,
    "发货状态"_gbk,
};

constexpr std::array<ListColumn, 8> kOrderColumns = {{
    {"ID", 40},
    {"订单号"_gbk, 110},
    {"销量"_gbk, 40},
    {"商品名"_gbk, 170},
    {"付款状态"_gbk, 60},
    {"发货状态"_gbk, 60},
    {"买家留言"_gbk, 60},
    {"买家微信号"_gbk, 75},
}};

constexpr std::array<ListColumn, 6> kDeliveryColumns = {{
    {"序号"_gbk, 50},
    {"订单号"_gbk, 115},
    {"手机号"_gbk, 115},
    {"卡密"_gbk, 130},
    {"商品名"_gbk, 120},
    {"状态"_gbk, 80},
}};

constexpr std::string_view kDatabaseOpenFailed = "数据库打开失败！"_gbk;

constexpr UINT kWarningFlags = 0x30;  // OK button, exclamation icon

}  // namespace

MainWindow::MainWindow(WindowThread& thread, ExpressWindow& express_window, Attention& attention)
    : WindowBase({kMainWindowClass,
                  WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                  kDesignLeft,
                  kDesignTop,
                  {kOuterWidth, kOuterHeight},
                  kContent}),
      thread_(thread),
      express_window_(express_window),
      attention_(attention),
      order_list_(thread),
      delivery_list_(thread) {}

bool MainWindow::register_class(HINSTANCE instance) {
  return register_window_class(instance, kMainWindowClass);
}

HWND MainWindow::create(HINSTANCE instance, MainWindowEvents& events) {
  events_ = &events;
  return create_window(instance, kCaption);
}

LRESULT MainWindow::handle(UINT message, WPARAM w, LPARAM l) {
  if (thread_.handle(message, w)) return 0;
  if (taskbar_created_ != 0 && message == taskbar_created_) {
    tray_.on_taskbar_created();
    return 0;
  }
  switch (message) {
    case WM_CREATE: return on_create() ? 0 : -1;
    case WM_COMMAND: on_command(GET_WM_COMMAND_ID(w, l), GET_WM_COMMAND_CMD(w, l)); return 0;
    case WM_NOTIFY: return on_notify(*reinterpret_cast<const NMHDR*>(l));
    case WM_CTLCOLORSTATIC:
      // The read-only log keeps the look of a page, not of a disabled box.
      if (reinterpret_cast<HWND>(l) == log_edit_) {
        SetBkColor(reinterpret_cast<HDC>(w), GetSysColor(COLOR_WINDOW));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
      }
      break;
    case kTranslateKeys: {
      MSG* given = take_key_message();
      return given != nullptr && translate_keys(*given) ? 1 : 0;
    }
    case WM_ACTIVATE:
      if (focus_.on_activate(window_, w)) return 0;
      break;
    case WM_CONTEXTMENU:
      if (const ReportListView* list = list_of(reinterpret_cast<HWND>(w))) {
        open_copy_menu(window_, *list, POINT{GET_X_LPARAM(l), GET_Y_LPARAM(l)});
        return 0;
      }
      break;
    case WM_CLOSE:
      if (events_ == nullptr || events_->main_window_may_close()) on_close();
      return 0;
    // Nothing is lost by ending: a delivery under way is waited out at WM_ENDSESSION.
    case WM_QUERYENDSESSION: return TRUE;
    case WM_ENDSESSION:
      if (w == FALSE) return 0;
      // The Restart Manager closes the program, as the close box does; the session goes on.
      if ((l & ENDSESSION_CLOSEAPP) != 0) {
        on_close();
        return 0;
      }
      // The process ends without WM_DESTROY: the icon must not outlive it.
      tray_.hide();
      if (events_ != nullptr) events_->session_ending();
      return 0;
    case WM_DESTROY: on_destroy(); return 0;
    case kTrayIconMessage: return on_tray_icon(w, l);
    case WM_TIMER:
      if (w != kTrayAddRetryTimer) break;
      tray_.on_retry_timer();
      return 0;
  }
  return DefWindowProcW(window_, message, w, l);
}

bool MainWindow::on_create() {
  thread_.attach(window_);
  dpi_ = window_dpi(window_);
  control_font_.reset(create_control_font(dpi_));
  tab_font_.reset(create_tab_caption_font(dpi_));
  create_controls();
  if (appkey_edit_ == nullptr || tabs_ == nullptr || log_edit_ == nullptr) return false;
  arrange_tab_order();
  ask_for_dialog_keys(window_);
  refuse_input_method(appkey_edit_);
  refuse_input_method(secret_edit_);
  focus_.set_first(appkey_edit_);
  icons_.apply(window_, dpi_);
  taskbar_created_ = RegisterWindowMessageW(L"TaskbarCreated");
  // An elevated program hears Explorer's restart only when it lets the message through.
  if (taskbar_created_ != 0)
    ChangeWindowMessageFilterEx(window_, taskbar_created_, MSGFLT_ALLOW, nullptr);
  open_database();
  return true;
}

void MainWindow::create_controls() {
  for (const ControlLayout& layout : kLayout) {
    HWND control = create_control(window_, layout, font_for(layout.id), dpi_);
    switch (layout.id) {
      case kAppKeyEdit: appkey_edit_ = control; break;
      case kSecretEdit: secret_edit_ = control; break;
      case kDatePicker: date_picker_ = control; break;
      case kTabs: tabs_ = control; break;
      case kOrderList: order_list_.attach(control); break;
      case kDeliveryList: delivery_list_.attach(control); break;
      case kLogEdit: log_edit_ = control; break;
    }
  }
  // Frames and the tab control lie under the controls placed on them.
  for (int container : {kLoginFrame, kFunctionFrame, kLogFrame, kTabs}) {
    SetWindowPos(GetDlgItem(window_, container), HWND_BOTTOM, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }

  for (std::size_t page = 0; page < kPages.size(); ++page) {
    std::wstring caption = wide(kPages[page]);
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = caption.data();
    TabCtrl_InsertItem(tabs_, static_cast<int>(page), &item);
  }
  for (const ListColumn& column : kOrderColumns) order_list_.add_column(column, dpi_);
  for (const ListColumn& column : kDeliveryColumns) delivery_list_.add_column(column, dpi_);
  // The delivery action picks an order by its row, so a click anywhere on the row selects it.
  ListView_SetExtendedListViewStyle(order_list_.handle(), LVS_EX_FULLROWSELECT);
  show_page(0);

  // A long day's log outgrows the default 32K characters.
  SendMessageW(log_edit_, EM_SETLIMITTEXT, 0, 0);
}

HFONT MainWindow::font_for(int id) const {
  return id == kTabs ? tab_font_.get() : control_font_.get();
}

void MainWindow::rescale(int old_dpi) {
  // The controls let go of the old fonts before these are deleted.
  HFONT control_font = create_control_font(dpi_);
  HFONT tab_font = create_tab_caption_font(dpi_);
  place_controls(window_, kLayout, dpi_,
                 [&](int id) { return id == kTabs ? tab_font : control_font; });
  control_font_.reset(control_font);
  tab_font_.reset(tab_font);
  order_list_.rescale_columns(old_dpi, dpi_);
  delivery_list_.rescale_columns(old_dpi, dpi_);
  icons_.apply(window_, dpi_);
  tray_.reload_icons();
}

void MainWindow::open_database() {
  if (!database_.open(program_directory() + L"\\mydata.mdb"))
    MessageBoxW(window_, wide(kDatabaseOpenFailed).c_str(), wide(kCaption).c_str(), kWarningFlags);
}

void MainWindow::show_page(int page) {
  HWND shown = page == 0 ? order_list_.handle() : delivery_list_.handle();
  HWND hidden = page == 0 ? delivery_list_.handle() : order_list_.handle();
  const bool focus_on_hidden = GetFocus() == hidden;
  ShowWindow(shown, SW_SHOW);
  ShowWindow(hidden, SW_HIDE);
  // A hidden list keeps the focus it had; give it to the one now in view.
  if (focus_on_hidden) SetFocus(shown);
}

void MainWindow::on_command(int id, int code) {
  if (code != BN_CLICKED || events_ == nullptr) return;
  switch (id) {
    case IDOK: on_ok(); break;
    case kLoginButton: events_->login_clicked(); break;
    case kFetchOrdersButton: events_->fetch_orders_clicked(); break;
    case kStartMonitorButton: events_->start_monitoring_clicked(); break;
    case kStopMonitorButton: events_->stop_monitoring_clicked(); break;
    case kDeliverButton: events_->deliver_clicked(); break;
    case kBulkShipButton: events_->bulk_shipping_clicked(); break;
  }
}

LRESULT MainWindow::on_notify(const NMHDR& header) {
  if (header.hwndFrom == tabs_ && header.code == TCN_SELCHANGE) show_page(TabCtrl_GetCurSel(tabs_));
  if (header.hwndFrom == date_picker_ && header.code == DTN_DATETIMECHANGE) {
    if (events_ != nullptr) events_->day_changed(chosen_day());
    update_monitoring_tip();
  }
  return 0;
}

void MainWindow::on_close() {
  if (events_ != nullptr) events_->main_window_closing();
  DestroyWindow(window_);
}

void MainWindow::on_destroy() {
  stop_dialog_keys(window_);
  thread_.detach();
  tray_.hide();
  icons_.release();
  express_window_.close();
  database_.close();
  if (events_ != nullptr) {
    events_->main_window_destroyed();
  } else {
    PostQuitMessage(0);
  }
}

// The dialog manager moves the focus in z-order; this is the order Tab follows. Only the
// stacking changes: no two of these controls overlap, so nothing is drawn differently.
void MainWindow::arrange_tab_order() {
  // The log takes the focus as well, so its text can be selected and copied.
  SetWindowLongPtrW(log_edit_, GWL_STYLE, GetWindowLongPtrW(log_edit_, GWL_STYLE) | WS_TABSTOP);
  static constexpr std::array kTabOrder = {
      kAppKeyEdit,     kSecretEdit,         kLoginButton,       kFetchOrdersButton, kDeliverButton,
      kBulkShipButton, kStartMonitorButton, kStopMonitorButton, kAddCardButton,     kDatePicker,
      kOrderList,      kDeliveryList,       kLogEdit,
  };
  HWND above = HWND_TOP;
  for (int id : kTabOrder) {
    HWND control = GetDlgItem(window_, id);
    SetWindowPos(control, above, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    above = control;
  }
}

bool MainWindow::translate_keys(MSG& message) {
  if (is_control_chord(message, VK_TAB, true)) {
    switch_page(is_shift_held() ? -1 : 1);
    return true;
  }
  if (select_all_on_ctrl_a(message)) return true;
  if (is_control_chord(message, 'S')) {
    export_page_in_front();
    return true;
  }
  if (is_control_chord(message, 'C')) {
    if (const ReportListView* list = list_of(message.hwnd)) {
      copy_from_list(window_, *list, app::CopyScope::row);
      return true;
    }
  }
  // Esc does nothing here. The dialog manager would hand it to the log, and a multi-line box
  // closes the window it sits in on Esc.
  if (message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE) return true;
  // A multi-line box wants every key, Tab included; the log has nothing to indent.
  if (message.hwnd == log_edit_ && message.message == WM_KEYDOWN && message.wParam == VK_TAB &&
      (GetKeyState(VK_CONTROL) & 0x8000) == 0) {
    if (HWND next = GetNextDlgTabItem(window_, log_edit_, is_shift_held())) SetFocus(next);
    return true;
  }
  return IsDialogMessageW(window_, &message) != FALSE;
}

void MainWindow::switch_page(int step) {
  const int pages = static_cast<int>(kPages.size());
  const int page = ((TabCtrl_GetCurSel(tabs_) + step) % pages + pages) % pages;
  TabCtrl_SetCurSel(tabs_, page);
  show_page(page);
}

const ReportListView* MainWindow::list_of(HWND control) const {
  if (control == nullptr) return nullptr;
  if (control == order_list_.handle()) return &order_list_;
  if (control == delivery_list_.handle()) return &delivery_list_;
  return nullptr;
}

// Enter in the login fields logs in, as a click on 登陆 does; elsewhere it does nothing.
void MainWindow::on_ok() {
  HWND focus = GetFocus();
  if (focus == appkey_edit_ || focus == secret_edit_) events_->login_clicked();
}

LoginFields MainWindow::login_fields() const {
  return {window_text(appkey_edit_), window_text(secret_edit_)};
}

shop::Date MainWindow::chosen_day() const {
  SYSTEMTIME chosen{};
  if (DateTime_GetSystemtime(date_picker_, &chosen) != GDT_VALID) return shop::Date{};
  return shop::Date{chosen.wYear, chosen.wMonth, chosen.wDay};
}

void MainWindow::append_log(std::string_view text) {
  thread_.post([this, units = wide(text)] {
    const int end = GetWindowTextLengthW(log_edit_);
    SendMessageW(log_edit_, EM_SETSEL, end, end);
    SendMessageW(log_edit_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(units.c_str()));
    SendMessageW(log_edit_, EM_SCROLLCARET, 0, 0);
  });
}

void MainWindow::show_message(std::string_view text, unsigned flags) {
  thread_.post([this, units = wide(text), flags] {
    MessageBoxW(window_, units.c_str(), wide(kCaption).c_str(), flags);
  });
}

void MainWindow::notify_new_orders(int count) {
  if (count > 0) ask_for_attention(thread_, window_, attention_);
}

void MainWindow::at_once(std::function<void()> changes) { thread_.post(std::move(changes)); }

void MainWindow::block_shutdown(std::string_view reason) {
  if (window_ == nullptr) return;
  if (!reason.empty()) {
    ShutdownBlockReasonCreate(window_, wide(reason).c_str());
  } else {
    ShutdownBlockReasonDestroy(window_);
  }
}

void MainWindow::open_express_window() {
  thread_.post([this] { express_window_.open(window_); });
}

// Ctrl+S: 导出 of the list on the page in front.
void MainWindow::export_page_in_front() {
  if (events_ != nullptr && !events_->allowed(shop::Button::export_list)) return;
  export_list(window_, TabCtrl_GetCurSel(tabs_) == 1 ? delivery_list_ : order_list_);
}

}  // namespace quillmere::app
