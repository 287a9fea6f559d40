#include "app/attention_win.h"

namespace quillmere::app {

HWND Attention::foreground_window() { return GetForegroundWindow(); }

void Attention::flash_taskbar_button(HWND window) {
  FLASHWINFO flash{};
  flash.cbSize = sizeof flash;
  flash.hwnd = window;
  flash.dwFlags = FLASHW_TRAY | FLASHW_TIMERNOFG;
  FlashWindowEx(&flash);
}

void Attention::play_notification_sound() { MessageBeep(MB_ICONINFORMATION); }

Attention& system_attention() {
  static Attention calls;
  return calls;
}

void ask_for_attention(WindowThread& thread, HWND window, Attention& attention) {
  thread.post([window, &attention] {
    if (window == nullptr) return;
    // A message box of the window's own counts as the window itself being in front.
    HWND front = attention.foreground_window();
    if (front != nullptr && (front == window || GetAncestor(front, GA_ROOTOWNER) == window)) return;
    attention.flash_taskbar_button(window);
    attention.play_notification_sound();
  });
}

}  // namespace quillmere::app
