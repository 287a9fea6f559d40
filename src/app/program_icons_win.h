#pragma once
// The program's own icon for window classes and for each window at its screen scale.

#include <windows.h>

namespace quillmere::app {

// The program's own icon at the size of `size_metric` (SM_CXICON, SM_CXSMICON), for window
// classes; the stock application icon when the module carries none (test programs).
HICON program_icon(HINSTANCE instance, int size_metric);

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

}  // namespace quillmere::app
