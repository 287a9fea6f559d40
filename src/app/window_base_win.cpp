#include "app/window_base_win.h"
#include "app/edge_text_win.h"
#include "app/program_icons_win.h"
#include "app/screen_dpi_win.h"

namespace quillmere::app {

bool WindowBase::register_window_class(HINSTANCE instance, const wchar_t* window_class) {
  WNDCLASSEXW description{};
  description.cbSize = sizeof description;
  description.lpfnWndProc = procedure;
  description.hInstance = instance;
  description.hIcon = program_icon(instance, SM_CXICON);
  description.hIconSm = program_icon(instance, SM_CXSMICON);
  description.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  description.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  description.lpszClassName = window_class;
  return RegisterClassExW(&description) != 0;
}

HWND WindowBase::create_window(HINSTANCE instance, std::string_view caption) {
  // The window's own DPI is known once it is on a screen; until then the system's stands in.
  const int dpi = system_dpi();
  const auto at = [dpi](int pixels) { return app::scale_to_dpi(pixels, dpi); };
  HWND window = CreateWindowExW(0, design_.window_class, wide(caption).c_str(), design_.style,
                                at(design_.left), at(design_.top), at(design_.outer.width),
                                at(design_.outer.height), nullptr, nullptr, instance,
                                static_cast<WindowBase*>(this));
  if (window == nullptr) return nullptr;
  size_window(window, design_.outer, dpi_);
  grow_to_hold_content(window, design_.content, dpi_);
  ShowWindow(window, SW_SHOWNORMAL);
  UpdateWindow(window);
  return window;
}

LRESULT CALLBACK WindowBase::procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<WindowBase*>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams);
    self->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<WindowBase*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(window, message, w, l);
  // A system-aware thread may get the message too; Windows scales its windows itself.
  if (message == WM_DPICHANGED && follows_screen_scale_changes()) {
    self->on_dpi_changed(LOWORD(w), l);
    return 0;
  }
  return self->handle(message, w, l);
}

// Moved to a screen of another scale: everything is laid out and lettered anew for it.
void WindowBase::on_dpi_changed(int dpi, LPARAM suggested) {
  const int old_dpi = dpi_;
  dpi_ = app::usable_dpi(dpi);
  take_suggested_rect(window_, suggested);
  rescale(old_dpi);
  grow_to_hold_content(window_, design_.content, dpi_);
}

}  // namespace quillmere::app
