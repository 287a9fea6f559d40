#pragma once
// The program's private window messages, all in one place so that no two share a number.

#include <windows.h>

namespace quillmere::app {

// The jobs' reports and the end of a job reach the windows through messages registered by
// name (window_thread_win.h, keeper_window_win.h), which carry nothing in their parameters.

// Sent to a window that asked for dialog keys, with nothing in its parameters: the window takes
// the key message from take_key_message. Nonzero when the window took it, which is then neither
// translated nor dispatched (dialog_keys_win.h).
inline constexpr UINT kTranslateKeys = WM_APP + 0x20;

// The notification-area icon's callback message, and the timer that retries its first add, on
// the main window (tray_icon_win.h).
inline constexpr UINT kTrayIconMessage = WM_APP + 0x30;
inline constexpr UINT_PTR kTrayAddRetryTimer = 0x7130;

// Each window of the jobs' reports looks at its queue with this timer when a wake-up could not
// be posted (window_thread_win.h).
inline constexpr UINT_PTR kReportsLookAgainTimer = 0x7131;

}  // namespace quillmere::app
