#pragma once
// Building a window's controls from a layout table, and placing them anew at another scale.

#include <windows.h>

#include <functional>
#include <span>
#include <string_view>

#include "app/screen_scale.h"

namespace quillmere::app {

// One row of a window's layout: a control placed relative to its container, whose own
// offset in the window's client area is `container_left`, `container_top`.
struct ControlLayout {
  int id;
  const wchar_t* window_class;
  DWORD style;
  int container_left, container_top;
  int left, top, width, height;
  std::string_view text;  // GBK
};

// Figures of the layout are pixels at 96 DPI; the control is placed at `dpi`.
HWND create_control(HWND parent, const ControlLayout& layout, HFONT font,
                    int dpi = app::kDesignDpi);

// The screen scale changed: every control of `layout` moves to its place at `dpi` and takes
// the font that `font_for` gives for its id.
void place_controls(HWND parent, std::span<const ControlLayout> layout, int dpi,
                    const std::function<HFONT(int id)>& font_for);

}  // namespace quillmere::app
