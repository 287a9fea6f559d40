#include "app/screen_dpi_win.h"

namespace quillmere::app {

namespace {

// Present from Windows 10 1607 on; declared here, since raising _WIN32_WINNT to get them would
// also change other constants (QS_ALLINPUT among them) for every older Windows.
using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
using GetSystemMetricsForDpiFunction = int(WINAPI*)(int, UINT);
using GetThreadDpiAwarenessContextFunction = HANDLE(WINAPI*)();
using GetAwarenessFromDpiAwarenessContextFunction = int(WINAPI*)(HANDLE);
constexpr int kPerMonitorAware = 2;  // DPI_AWARENESS_PER_MONITOR_AWARE, for v1 and v2 alike

template <class Function>
Function user32_function(const char* name) {
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  if (user32 == nullptr) return nullptr;
  // Through a pointer to a function without arguments, which casts to any function type.
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(user32, name)));
}

}  // namespace

int system_dpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSX) : app::kDesignDpi;
  if (screen != nullptr) ReleaseDC(nullptr, screen);
  return app::usable_dpi(dpi);
}

int window_dpi(HWND window) {
  static const auto get_dpi_for_window =
      user32_function<GetDpiForWindowFunction>("GetDpiForWindow");
  if (get_dpi_for_window != nullptr)
    return app::usable_dpi(static_cast<int>(get_dpi_for_window(window)));
  return system_dpi();
}

int system_metric_for_dpi(int index, int dpi) {
  static const auto get_metrics_for_dpi =
      user32_function<GetSystemMetricsForDpiFunction>("GetSystemMetricsForDpi");
  if (get_metrics_for_dpi != nullptr) return get_metrics_for_dpi(index, static_cast<UINT>(dpi));
  return GetSystemMetrics(index);
}

bool follows_screen_scale_changes() {
  static const auto thread_context =
      user32_function<GetThreadDpiAwarenessContextFunction>("GetThreadDpiAwarenessContext");
  static const auto awareness_of = user32_function<GetAwarenessFromDpiAwarenessContextFunction>(
      "GetAwarenessFromDpiAwarenessContext");
  if (thread_context == nullptr || awareness_of == nullptr) return false;
  return awareness_of(thread_context()) == kPerMonitorAware;
}

namespace {

app::Size outer_size(HWND window) {
  RECT outer{};
  GetWindowRect(window, &outer);
  return {outer.right - outer.left, outer.bottom - outer.top};
}

void resize(HWND window, app::Size size) {
  SetWindowPos(window, nullptr, 0, 0, size.width, size.height,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

void size_window(HWND window, app::Size outer, int dpi) {
  const app::Size wanted{app::scale_to_dpi(outer.width, dpi), app::scale_to_dpi(outer.height, dpi)};
  if (outer_size(window) != wanted) resize(window, wanted);
}

void grow_to_hold_content(HWND window, app::Size content, int dpi) {
  RECT client{};
  // A minimised window has no client area to measure.
  if (IsIconic(window) || !GetClientRect(window, &client)) return;
  const app::Size now = outer_size(window);
  const app::Size grown = app::grow_to_hold(
      now, {client.right - client.left, client.bottom - client.top},
      {app::scale_to_dpi(content.width, dpi), app::scale_to_dpi(content.height, dpi)});
  if (grown != now) resize(window, grown);
}

void take_suggested_rect(HWND window, LPARAM suggested) {
  const RECT& rect = *reinterpret_cast<const RECT*>(suggested);
  SetWindowPos(window, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace quillmere::app
