#pragma once
// What is left of the program while a delivery or a bulk run is out after the main window has
// closed: a hidden top-level window. Windows sends WM_QUERYENDSESSION and WM_ENDSESSION only to
// top-level windows, and ends a process that has none without a word; this one carries the
// block reason, answers both, and waits the job out at WM_ENDSESSION so that its record line is
// written. It ends the program (WM_QUIT) as soon as the job has ended.

#include <windows.h>

#include <atomic>
#include <chrono>
#include <string_view>

#include "shop/jobs.h"

namespace quillmere::app {

class KeeperWindow {
 public:
  explicit KeeperWindow(shop::Jobs& jobs) : jobs_(jobs) {}
  KeeperWindow(const KeeperWindow&) = delete;
  KeeperWindow& operator=(const KeeperWindow&) = delete;
  ~KeeperWindow();

  static bool register_class(HINSTANCE instance);
  // On the window's thread, once the main window is gone: made hidden, telling Windows `reason`
  // (GBK); WM_ENDSESSION waits at most `longest` for the job. False when it could not be made.
  // Made with no job out any more, it is gone again at once and the program ends.
  bool create(HINSTANCE instance, std::string_view reason, std::chrono::milliseconds longest);
  // From any thread, once a delivery or a bulk run has ended: the window looks again.
  void job_ended();
  HWND handle() const { return window_.load(); }

 private:
  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM w, LPARAM l);
  LRESULT handle(HWND window, UINT message, WPARAM w, LPARAM l);
  void end_when_done();

  shop::Jobs& jobs_;
  std::atomic<HWND> window_{nullptr};
  UINT look_again_ = 0;  // "Quillmere.JobEnded", registered at creation
  std::chrono::milliseconds longest_{0};
};

}  // namespace quillmere::app
