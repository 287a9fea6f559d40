#include "app/program_icons_win.h"

#include <utility>

#include "app/resources.h"
#include "app/screen_dpi_win.h"

namespace quillmere::app {

namespace {

HICON load_program_icon(HINSTANCE instance, int size) {
  // Not shared: these sizes vary with the screen, and a shared icon keeps its first size.
  return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(QUILLMERE_ICON), IMAGE_ICON, size,
                                       size, LR_DEFAULTCOLOR));
}

}  // namespace

void WindowIcons::apply(HWND window, int dpi) {
  const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window, GWLP_HINSTANCE));
  HICON big = load_program_icon(instance, system_metric_for_dpi(SM_CXICON, dpi));
  HICON small = load_program_icon(instance, system_metric_for_dpi(SM_CXSMICON, dpi));
  if (big != nullptr) SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
  if (small != nullptr)
    SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
  // The window has let go of the old ones now.
  if (big != nullptr) std::swap(big, big_);
  if (small != nullptr) std::swap(small, small_);
  if (big != nullptr) DestroyIcon(big);
  if (small != nullptr) DestroyIcon(small);
}

void WindowIcons::release() {
  if (big_ != nullptr) DestroyIcon(big_);
  if (small_ != nullptr) DestroyIcon(small_);
  big_ = small_ = nullptr;
}

HICON program_icon(HINSTANCE instance, int size_metric) {
  const int size = GetSystemMetrics(size_metric);
  // Shared: the system owns the handle, so a window class may keep it for the whole run.
  auto icon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(QUILLMERE_ICON), IMAGE_ICON,
                                            size, size, LR_DEFAULTCOLOR | LR_SHARED));
  return icon != nullptr ? icon : LoadIconW(nullptr, IDI_APPLICATION);
}

}  // namespace quillmere::app
