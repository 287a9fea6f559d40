#pragma once
// The only way a job reaches the windows: what it reports is queued (app/report_queue.h) and
// shown by the window's thread, which one posted message wakes. Nothing is ever sent and
// waited for, so a job never waits for the window's thread, and nothing a job reports runs
// inside another call of that thread (a click, a shell call, a message box).
//
// The wake-up is a message registered by name for this program, with nothing in its
// parameters: another process that posts it, or any other message, can at most make the
// window look at its own queue.

#include <windows.h>

#include <atomic>
#include <utility>

#include "app/messages_win.h"
#include "app/report_queue.h"

namespace quillmere::app {

class WindowThread {
 public:
  // On the window's thread, while the window is being created.
  void attach(HWND window) {
    wake_message_ = RegisterWindowMessageW(L"Quillmere.ShowReports");
    window_.store(window);
    queue_.open([this] {
      HWND target = window_.load();
      return target != nullptr && wake_message_ != 0 &&
             PostMessageW(target, wake_message_, 0, 0) != FALSE;
    });
    // A posted wake-up fails once the queue holds 10,000 messages, which any process can post;
    // a timer is no posted message, and looks again.
    SetTimer(window, kReportsLookAgainTimer, kLookAgainMs, nullptr);
  }
  // On the window's thread, when the window is being destroyed.
  void detach() {
    if (HWND window = window_.exchange(nullptr)) KillTimer(window, kReportsLookAgainTimer);
    queue_.close();
  }

  bool alive() const { return window_.load() != nullptr; }
  bool on_window_thread() const { return queue_.on_owner_thread(); }

  // From the window procedure: true when `message` was the wake-up or the look-again timer,
  // which it then handled.
  bool handle(UINT message, WPARAM w) {
    if (message == WM_TIMER && w == kReportsLookAgainTimer) {
      queue_.drain_if_stalled();
      return true;
    }
    if (wake_message_ == 0 || message != wake_message_) return false;
    queue_.drain();
    return true;
  }

  // From any thread: `report` runs on the window's thread, after what was reported before; at
  // once when called there. Dropped once the window is gone.
  template <class Report>
  void post(Report&& report) {
    queue_.post(std::forward<Report>(report));
  }

 private:
  static constexpr UINT kLookAgainMs = 1000;

  std::atomic<HWND> window_{nullptr};
  UINT wake_message_ = 0;
  ReportQueue queue_;
};

}  // namespace quillmere::app
