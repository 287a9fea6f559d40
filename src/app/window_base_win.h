#pragma once
// What the program's top-level windows share: their window class, their creation at the
// screen's scale, the window procedure that hands every message to the window's object, and
// laying out anew when the screen's scale changes. A window adds its controls and handlers.

#include <windows.h>

#include <string_view>

#include "app/screen_scale.h"

namespace quillmere::app {

class WindowBase {
 public:
  WindowBase(const WindowBase&) = delete;
  WindowBase& operator=(const WindowBase&) = delete;

 protected:
  // The figures of one window at 96 DPI: where it opens, its outer size, and the right and
  // bottom edges of its controls.
  struct Design {
    const wchar_t* window_class;
    DWORD style;
    int left, top;
    app::Size outer;
    app::Size content;
  };

  explicit WindowBase(const Design& design) : design_(design) {}
  ~WindowBase() = default;

  // The class, with the program's icon and the dialog's face colour.
  static bool register_window_class(HINSTANCE instance, const wchar_t* window_class);
  // Creates the window at the system's scale, fits it to its screen's and shows it; null when
  // that failed.
  HWND create_window(HINSTANCE instance, std::string_view caption);

  // This window's messages; what it leaves goes to DefWindowProcW.
  virtual LRESULT handle(UINT message, WPARAM w, LPARAM l) = 0;
  // The scale changed from `old_dpi` to dpi_ and the window took its new rectangle: fonts,
  // controls and icons for the new scale.
  virtual void rescale(int old_dpi) = 0;

  HWND window_ = nullptr;
  int dpi_ = app::kDesignDpi;

 private:
  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM w, LPARAM l);
  void on_dpi_changed(int dpi, LPARAM suggested);

  Design design_;
};

}  // namespace quillmere::app
