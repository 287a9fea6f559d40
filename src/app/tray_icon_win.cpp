#include "app/tray_icon_win.h"

#include <commctrl.h>
#include <shellapi.h>

#include "app/resources.h"

namespace quillmere::app {
namespace {

constexpr UINT kIconId = 1;
// Explorer that is still starting takes an add a few seconds later.
constexpr UINT kRetryMs = 500;
constexpr int kRetries = 10;

NOTIFYICONDATAW icon_data(HWND owner, UINT flags) {
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof data;
  data.hWnd = owner;
  data.uID = kIconId;
  data.uFlags = flags;
  return data;
}

template <std::size_t N>
void copy_text(wchar_t (&field)[N], const std::wstring& text) {
  lstrcpynW(field, text.c_str(), static_cast<int>(N));
}

HICON load_icon(HINSTANCE instance, int metric) {
  HICON icon = nullptr;
  if (SUCCEEDED(LoadIconMetric(instance, MAKEINTRESOURCEW(QUILLMERE_ICON), metric, &icon)))
    return icon;
  // A module without the program's icon (a test program) shows the stock one.
  if (SUCCEEDED(LoadIconMetric(nullptr, IDI_APPLICATION, metric, &icon))) return icon;
  return nullptr;
}

}  // namespace

TrayIcon::~TrayIcon() {
  hide();
  release_icons();
}

void TrayIcon::release_icons() {
  if (small_icon_ != nullptr) DestroyIcon(small_icon_);
  if (large_icon_ != nullptr) DestroyIcon(large_icon_);
  small_icon_ = nullptr;
  large_icon_ = nullptr;
}

// The flags change with the shell call, before anything else can run on this thread.
void TrayIcon::show(HWND owner, const std::wstring& tip) {
  if (owner_ != nullptr && owner_ != owner) hide();
  owner_ = owner;
  wanted_ = true;
  tip_ = tip;
  load_icons();
  add_or_retry();
}

void TrayIcon::add_or_retry() {
  if (add()) return;
  retries_left_ = kRetries;
  SetTimer(owner_, kTrayAddRetryTimer, kRetryMs, nullptr);
}

void TrayIcon::hide() {
  if (owner_ == nullptr) return;
  wanted_ = false;
  added_ = false;
  KillTimer(owner_, kTrayAddRetryTimer);
  NOTIFYICONDATAW data = icon_data(owner_, 0);
  Shell_NotifyIconW(NIM_DELETE, &data);
}

void TrayIcon::reload_icons() {
  if (small_icon_ == nullptr) return;  // none loaded yet: the next show loads them
  release_icons();
  load_icons();
  if (wanted_ && added_) add();
}

void TrayIcon::on_taskbar_created() {
  if (!wanted_) return;
  added_ = false;
  add_or_retry();
}

void TrayIcon::on_retry_timer() {
  if (!wanted_ || add() || --retries_left_ <= 0) KillTimer(owner_, kTrayAddRetryTimer);
}

bool TrayIcon::notify(const std::wstring& title, const std::wstring& text) {
  if (!wanted_ || !added_) return false;
  // The tip goes along, so that no version of the shell drops it for this change.
  NOTIFYICONDATAW data = icon_data(owner_, NIF_INFO | NIF_TIP | NIF_SHOWTIP);
  copy_text(data.szTip, tip_);
  copy_text(data.szInfoTitle, title);
  copy_text(data.szInfo, text);
  data.dwInfoFlags = NIIF_USER | NIIF_LARGE_ICON | NIIF_RESPECT_QUIET_TIME;
  data.hBalloonIcon = large_icon_;
  return Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

// An add, or a change when the shell still has the icon (Wine keeps it over "TaskbarCreated";
// a show while it is up). The version is set again after every add, as Windows forgets it.
bool TrayIcon::add() {
  NOTIFYICONDATAW data = icon_data(owner_, NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP);
  data.uCallbackMessage = kTrayIconMessage;
  data.hIcon = small_icon_;
  copy_text(data.szTip, tip_);
  if (added_ && Shell_NotifyIconW(NIM_MODIFY, &data)) return true;
  if (!Shell_NotifyIconW(NIM_ADD, &data) && !Shell_NotifyIconW(NIM_MODIFY, &data)) return false;
  added_ = true;
  data.uVersion = NOTIFYICON_VERSION_4;
  Shell_NotifyIconW(NIM_SETVERSION, &data);
  KillTimer(owner_, kTrayAddRetryTimer);
  return true;
}

// The sizes Windows asks for now; the notice's icon is the large one.
void TrayIcon::load_icons() {
  if (small_icon_ != nullptr) return;
  const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(owner_, GWLP_HINSTANCE));
  small_icon_ = load_icon(instance, LIM_SMALL);
  large_icon_ = load_icon(instance, LIM_LARGE);
}

}  // namespace quillmere::app
