#pragma once
// The keyboard as in a dialog box, for the program's own top-level windows: the message loop
// hands each key message to the window it belongs to, which tries its own shortcuts and then
// the dialog manager (Tab, Enter as IDOK, Esc as IDCANCEL). Other windows of the thread, such
// as the date picker's drop-down calendar, keep their keys.

#include <windows.h>

#include "app/messages_win.h"

namespace quillmere::app {

// On WM_CREATE and WM_DESTROY of such a window.
void ask_for_dialog_keys(HWND window);
void stop_dialog_keys(HWND window);

// For the message loop, before translating and dispatching: true when the message was taken.
bool give_to_dialog_manager(MSG& message);
// For the window's kTranslateKeys: the key message the loop is handing over, once; null when the
// message came from anywhere else (another process, or a nested loop while the first is handled).
MSG* take_key_message();

// A key press of `key` with Ctrl held, and neither Alt nor Shift unless `shift`.
bool is_control_chord(const MSG& message, UINT key, bool shift = false);
bool is_shift_held();

// Ctrl+A in an edit box selects all of its text; true when it did.
bool select_all_on_ctrl_a(const MSG& message);

// The focused control of `window` while it is deactivated, given back when it is activated
// again, so Alt+Tab returns to the same box.
class FocusKeeper {
 public:
  explicit FocusKeeper(HWND first) : saved_(first) {}
  // For WM_ACTIVATE; true when the message was handled (return 0 then).
  bool on_activate(HWND window, WPARAM w);
  void forget(HWND control) {
    if (saved_ == control) saved_ = nullptr;
  }
  void set_first(HWND first) { saved_ = first; }

 private:
  HWND saved_;
};

// No input-method composition in an ASCII field: a Chinese input method left on would
// otherwise take the keys.
void refuse_input_method(HWND edit);

}  // namespace quillmere::app
