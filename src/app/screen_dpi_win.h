#pragma once
// The screen scale (DPI) as Windows tells it, and the window sizes that follow it.

#include <windows.h>

#include "app/screen_scale.h"

namespace quillmere::app {

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

// Gives `window` the outer size `outer` (96-DPI figures) at `dpi`; nothing when it has it.
void size_window(HWND window, app::Size outer, int dpi);
// Grows `window` by what its client area lacks of `content` (the right and bottom edges of its
// controls, 96-DPI figures) at `dpi`: a frame larger than the design's must not cut the lowest
// controls off. A frame that fits leaves the outer size as it is.
void grow_to_hold_content(HWND window, app::Size content, int dpi);
// Takes the rectangle that WM_DPICHANGED suggests (its lParam).
void take_suggested_rect(HWND window, LPARAM suggested);

}  // namespace quillmere::app
