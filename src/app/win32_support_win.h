#pragma once
// Small pieces every window file uses: GBK <-> UTF-16 at the Windows edge, owners of fonts,
// COM and file handles, and building controls from a layout table.

#include <windows.h>

#include <objbase.h>

#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "app/screen_scale.h"
#include "text/scoped_handle_win.h"

namespace quillmere::app {

// Program text (GBK) as the W API wants it, and back.
std::wstring wide(std::string_view gbk_text);
std::string gbk(std::wstring_view wide_text);

// The system's own words for an error code, as GBK, without their closing line break: in the
// user's language (language 0 lets FormatMessageW fall back from the thread's language to the
// user's and the system's). The code in decimal when the system has no words for it.
std::string system_message(DWORD error);

// The whole text of a window or control, as GBK.
std::string window_text(HWND window);
void set_window_text(HWND window, std::string_view gbk_text);

// The folder of the running program, without a trailing backslash.
std::wstring program_directory();

// The program's own icon at the size of `size_metric` (SM_CXICON, SM_CXSMICON), for window
// classes; the stock application icon when the module carries none (test programs).
HICON program_icon(HINSTANCE instance, int size_metric);

// Screen scale. Windows 7 and 8.1 know one DPI for every window (the system's); Windows 10
// 1607 and later know one per screen, through functions that older systems lack and that are
// therefore looked up when first needed.

// The DPI of the screen that `window` is on; the system's where Windows has no per-window DPI.
int window_dpi(HWND window);
// The system's DPI (GetDeviceCaps LOGPIXELSX of the screen).
int system_dpi();
// GetSystemMetrics for `dpi` where Windows can tell (10 1607 on), else for the system's DPI.
int system_metric_for_dpi(int index, int dpi);
// Whether this thread's windows are per-monitor aware and so must lay themselves out anew on
// WM_DPICHANGED. Windows scales the windows of a system-aware thread itself (Windows 7 and 8.1
// here), and such a thread may still get the message, to be ignored.
bool follows_screen_scale_changes();

// The program's icon for one window's caption and taskbar button at that window's DPI, owned
// by the holder. Without an icon in the module the class's icons stay.
class WindowIcons {
 public:
  WindowIcons() = default;
  WindowIcons(const WindowIcons&) = delete;
  WindowIcons& operator=(const WindowIcons&) = delete;
  ~WindowIcons() { release(); }
  void apply(HWND window, int dpi);
  void release();

 private:
  HICON big_ = nullptr;
  HICON small_ = nullptr;
};

using FontHolder = Owned<HFONT, DeleteObject>;

// "SimSun", 12 pixels (at 96 DPI), weight 400, GB2312: the tab captions' font.
HFONT create_tab_caption_font(int dpi = shop::kDesignDpi);
// A font with Chinese glyphs for every other control, 12 pixels at 96 DPI: the first installed
// of the faces the shop owner's Windows is likely to have; the font mapper picks a GB2312 face
// otherwise.
HFONT create_control_font(int dpi = shop::kDesignDpi);

// -1: INVALID_HANDLE_VALUE, what CreateFileW gives when it fails.
using FileHandle = Owned<HANDLE, CloseHandle, -1>;

// COM for the calling thread for the holder's lifetime.
class ComApartment {
 public:
  ComApartment() : initialised_(SUCCEEDED(CoInitialize(nullptr))) {}
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  ~ComApartment() {
    if (initialised_) CoUninitialize();
  }

 private:
  bool initialised_;
};

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
                    int dpi = shop::kDesignDpi);

// The screen scale changed: every control of `layout` moves to its place at `dpi` and takes
// the font that `font_for` gives for its id.
void place_controls(HWND parent, std::span<const ControlLayout> layout, int dpi,
                    const std::function<HFONT(int id)>& font_for);

// Gives `window` the outer size `outer` (96-DPI figures) at `dpi`; nothing when it has it.
void size_window(HWND window, shop::Size outer, int dpi);
// Grows `window` by what its client area lacks of `content` (the right and bottom edges of its
// controls, 96-DPI figures) at `dpi`: a frame larger than the design's must not cut the lowest
// controls off. A frame that fits leaves the outer size as it is.
void grow_to_hold_content(HWND window, shop::Size content, int dpi);
// Takes the rectangle that WM_DPICHANGED suggests (its lParam).
void take_suggested_rect(HWND window, LPARAM suggested);

}  // namespace quillmere::app
