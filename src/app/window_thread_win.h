#pragma once
// Runs control operations on the thread that owns the main window, from whichever thread asks.
// This is the only way a job reaches the windows.
//
// A worker's call is sent to the window as a private message and waited for; a call from the
// window's own thread runs at once. Once the window is destroyed every call is a no-op that
// yields its fallback, so a worker that outlives the window never touches a dead control.

#include <windows.h>

#include <atomic>
#include <functional>
#include <utility>

#include "app/messages_win.h"

namespace quillmere::app {

class WindowThread {
 public:
  // On the window's thread, while the window is being created.
  void attach(HWND window) {
    thread_id_ = GetCurrentThreadId();
    window_.store(window);
  }
  // On the window's thread, when the window is being destroyed.
  void detach() { window_.store(nullptr); }

  bool alive() const { return window_.load() != nullptr; }
  // The thread that made the window, also once the window is gone.
  bool on_window_thread() const { return thread_id_ != 0 && GetCurrentThreadId() == thread_id_; }

  // Call from the window procedure for kRunOnWindowThread.
  void run_sent(LPARAM call) const {
    if (alive()) (*reinterpret_cast<const std::function<void()>*>(call))();
  }

  template <class Operation, class Result = std::invoke_result_t<Operation>>
  Result call(Operation&& operation, Result fallback = Result{}) const {
    HWND window = window_.load();
    if (window == nullptr) return fallback;
    if (GetCurrentThreadId() == thread_id_) return operation();
    Result result = std::move(fallback);
    const std::function<void()> task = [&] { result = operation(); };
    SendMessageW(window, kRunOnWindowThread, 0, reinterpret_cast<LPARAM>(&task));
    return result;
  }

  template <class Operation>
  void run(Operation&& operation) const {
    call(
        [&] {
          operation();
          return true;
        },
        false);
  }

 private:
  std::atomic<HWND> window_{nullptr};
  DWORD thread_id_ = 0;
};

}  // namespace quillmere::app
