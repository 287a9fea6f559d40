#include "app/express_window_win.h"

#include <windowsx.h>

#include <array>
#include <cmath>

#include "app/control_ids.h"
#include "app/control_layout_win.h"
#include "app/edge_text_win.h"
#include "app/fonts_win.h"
#include "app/screen_dpi_win.h"
#include "shop/couriers.h"
#include "text/gbk_literal.h"

namespace quillmere::app {
namespace {

constexpr std::string_view kCaption = "快递发货"_gbk;
constexpr int kDesignLeft = 50, kDesignTop = 50, kOuterWidth = 307, kOuterHeight = 132;
constexpr int kBelowMainTop = 150;
// The frame's right and bottom edges.
constexpr app::Size kContent{296, 96};

constexpr int kFrameLeft = 8, kFrameTop = 8;
constexpr DWORD kLabel = SS_LEFTNOWORDWRAP | SS_CENTERIMAGE;
// The combo box's given height is that of its closed field; the list drops below it.
constexpr int kDroppedListHeight = 300;

const std::array<ControlLayout, 6> kLayout = {{
    {kExpressFrame, L"Button", BS_GROUPBOX, 0, 0, kFrameLeft, kFrameTop, 288, 88, ""},
    {kCourierLabel, L"Static", kLabel, kFrameLeft, kFrameTop, 32, 24, 48, 24, "快递名："_gbk},
    {kCourierCombo, L"ComboBox", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, kFrameLeft, kFrameTop,
     80, 24, 120, 20 + kDroppedListHeight, ""},
    {kTrackingLabel, L"Static", kLabel, kFrameLeft, kFrameTop, 8, 48, 72, 24, "快递订单号："_gbk},
    {kTrackingEdit, L"Edit", ES_AUTOHSCROLL | WS_TABSTOP, kFrameLeft, kFrameTop, 80, 48, 120, 24,
     ""},
    {kConfirmButton, L"Button", BS_PUSHBUTTON | WS_TABSTOP, kFrameLeft, kFrameTop, 208, 32, 56, 32,
     "确定"_gbk},
}};

}  // namespace

// No owner: an ordinary top-level window of its own.
ExpressWindow::ExpressWindow()
    : WindowBase({kExpressWindowClass,
                  WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU,
                  kDesignLeft,
                  kDesignTop,
                  {kOuterWidth, kOuterHeight},
                  kContent}) {}

ExpressWindow::~ExpressWindow() { close(); }

bool ExpressWindow::register_class(HINSTANCE instance) {
  return register_window_class(instance, kExpressWindowClass);
}

void ExpressWindow::open(HWND main_window) {
  if (window_ != nullptr) {
    ShowWindow(window_, SW_SHOWNORMAL);
    SetForegroundWindow(window_);
    return;
  }
  main_window_ = main_window;
  const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(main_window, GWLP_HINSTANCE));
  create_window(instance, kCaption);
}

void ExpressWindow::close() {
  if (window_ != nullptr) DestroyWindow(window_);
}

void ExpressWindow::hold_confirm(bool held) {
  confirm_held_ = held;
  if (window_ == nullptr) return;
  HWND confirm = GetDlgItem(window_, kConfirmButton);
  // A disabled button keeps no focus: Tab and the keys go on from the next control.
  if (held && GetFocus() == confirm) {
    if (HWND next = GetNextDlgTabItem(window_, confirm, FALSE)) SetFocus(next);
  }
  EnableWindow(confirm, held ? FALSE : TRUE);
}

LRESULT ExpressWindow::handle(UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_CREATE: return on_create() ? 0 : -1;
    case WM_COMMAND: on_command(GET_WM_COMMAND_ID(w, l), GET_WM_COMMAND_CMD(w, l)); return 0;
    case WM_DESTROY: on_destroy(); return 0;
    case kTranslateKeys: {
      MSG* given = take_key_message();
      return given != nullptr && translate_keys(*given) ? 1 : 0;
    }
    case DM_GETDEFID: return MAKELRESULT(kConfirmButton, DC_HASDEFID);
    case WM_ACTIVATE:
      if (focus_.on_activate(window_, w)) return 0;
      break;
  }
  return DefWindowProcW(window_, message, w, l);
}

bool ExpressWindow::on_create() {
  dpi_ = window_dpi(window_);
  control_font_.reset(create_control_font(dpi_));
  create_controls();
  if (courier_combo_ == nullptr || tracking_edit_ == nullptr) return false;
  icons_.apply(window_, dpi_);
  EnableWindow(tracking_edit_, FALSE);
  ask_for_dialog_keys(window_);
  refuse_input_method(tracking_edit_);
  // 确定 is the default button: Enter confirms.
  SendMessageW(GetDlgItem(window_, kConfirmButton), BM_SETSTYLE, BS_DEFPUSHBUTTON, FALSE);
  if (confirm_held_) EnableWindow(GetDlgItem(window_, kConfirmButton), FALSE);
  focus_.set_first(courier_combo_);
  place_below(main_window_);
  return true;
}

void ExpressWindow::create_controls() {
  for (const ControlLayout& layout : kLayout) {
    HWND control = create_control(window_, layout, control_font_.get(), dpi_);
    if (layout.id == kCourierCombo) courier_combo_ = control;
    if (layout.id == kTrackingEdit) tracking_edit_ = control;
  }
  SetWindowPos(GetDlgItem(window_, kExpressFrame), HWND_BOTTOM, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  for (std::string_view entry : shop::kCouriers)
    ComboBox_AddString(courier_combo_, wide(entry).c_str());
}

void ExpressWindow::place_below(HWND main_window) {
  RECT main_rect{}, own_rect{};
  if (!GetWindowRect(main_window, &main_rect) || !GetWindowRect(window_, &own_rect)) return;
  const int below = app::scale_to_dpi(kBelowMainTop, window_dpi(main_window));
  const int top = static_cast<int>(std::lround(static_cast<double>(main_rect.top) + below));
  SetWindowPos(window_, nullptr, own_rect.left, top, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void ExpressWindow::on_command(int id, int code) {
  if (id == kCourierCombo && code == CBN_SELCHANGE) on_courier_chosen();
  // The dialog manager hands Enter to the default button even while it is disabled.
  if (id == kConfirmButton && code == BN_CLICKED && events_ != nullptr && !confirm_held_)
    events_->confirm_clicked();
  // Esc closes the window as its close box does.
  if (id == IDCANCEL && code == BN_CLICKED) SendMessageW(window_, WM_CLOSE, 0, 0);
}

bool ExpressWindow::translate_keys(MSG& message) {
  if (select_all_on_ctrl_a(message)) return true;
  return IsDialogMessageW(window_, &message) != FALSE;
}

void ExpressWindow::on_courier_chosen() {
  const int index = ComboBox_GetCurSel(courier_combo_);
  if (index < 0) return;  // nothing chosen: the box keeps its state
  // Entry 0 ships without logistics, so there is no tracking number to type.
  EnableWindow(tracking_edit_, index >= 1);
}

void ExpressWindow::rescale(int) {
  HFONT font = create_control_font(dpi_);
  place_controls(window_, kLayout, dpi_, [font](int) { return font; });
  control_font_.reset(font);
  icons_.apply(window_, dpi_);
}

void ExpressWindow::on_destroy() {
  stop_dialog_keys(window_);
  icons_.release();
  window_ = nullptr;
  courier_combo_ = nullptr;
  tracking_edit_ = nullptr;
}

shop::ExpressChoice ExpressWindow::choice() const {
  shop::ExpressChoice choice;
  if (courier_combo_ == nullptr) return choice;
  choice.courier_index = ComboBox_GetCurSel(courier_combo_);
  if (choice.courier_index >= 0) {
    const int length = ComboBox_GetLBTextLen(courier_combo_, choice.courier_index);
    if (length > 0) {
      std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
      ComboBox_GetLBText(courier_combo_, choice.courier_index, text.data());
      text.resize(static_cast<std::size_t>(length));
      choice.courier_text = gbk(text);
    }
  }
  if (tracking_edit_ != nullptr) choice.tracking_text = window_text(tracking_edit_);
  return choice;
}

}  // namespace quillmere::app
