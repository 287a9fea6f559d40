#pragma once
// Getting the shop owner's attention when new paid orders come in while the window is behind
// others. The system calls sit behind Attention so a test can see them: Wine under Xvfb has no
// taskbar to flash.

#include <windows.h>

#include "app/window_thread_win.h"

namespace quillmere::app {

class Attention {
 public:
  virtual ~Attention() = default;
  virtual HWND foreground_window();
  // Flashes the taskbar button until the window comes to the front.
  virtual void flash_taskbar_button(HWND window);
  // The system's notification sound, once.
  virtual void play_notification_sound();
};

// The system's own calls.
Attention& system_attention();

// On the window's thread, after what is reported before: flashes and sounds once, unless
// `window` is already in front, where the new rows are in view. Nothing at all once the window
// is gone. `attention` must outlive the window.
void ask_for_attention(WindowThread& thread, HWND window, Attention& attention);

}  // namespace quillmere::app
