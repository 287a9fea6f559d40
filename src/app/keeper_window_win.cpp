#include "app/keeper_window_win.h"

#include "app/control_ids.h"
#include "app/edge_text_win.h"

namespace quillmere::app {

KeeperWindow::~KeeperWindow() {
  if (HWND window = window_.load()) DestroyWindow(window);
}

bool KeeperWindow::register_class(HINSTANCE instance) {
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = procedure;
  window_class.hInstance = instance;
  window_class.lpszClassName = kKeeperWindowClass;
  return RegisterClassExW(&window_class) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

bool KeeperWindow::create(HINSTANCE instance, std::string_view reason,
                          std::chrono::milliseconds longest) {
  longest_ = longest;
  look_again_ = RegisterWindowMessageW(L"Quillmere.JobEnded");
  // Top-level (no parent, not message-only, which hears no broadcasts), never shown, and kept
  // off the taskbar.
  HWND window = CreateWindowExW(WS_EX_TOOLWINDOW, kKeeperWindowClass, L"Quillmere", WS_POPUP, 0, 0,
                                0, 0, nullptr, nullptr, instance, this);
  if (window == nullptr) return false;
  ShutdownBlockReasonCreate(window, wide(reason).c_str());
  window_.store(window);
  // The job may have ended before the window was there to hear of it.
  end_when_done();
  return true;
}

void KeeperWindow::job_ended() {
  HWND window = window_.load();
  if (window != nullptr && look_again_ != 0) PostMessageW(window, look_again_, 0, 0);
}

void KeeperWindow::end_when_done() {
  HWND window = window_.load();
  if (window != nullptr && !jobs_.delivery_path_out()) DestroyWindow(window);
}

LRESULT CALLBACK KeeperWindow::procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<KeeperWindow*>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<KeeperWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(window, message, w, l);
  return self->handle(window, message, w, l);
}

LRESULT KeeperWindow::handle(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (look_again_ != 0 && message == look_again_) {
    end_when_done();
    return 0;
  }
  switch (message) {
    // Nothing is lost by ending: the job is waited out at WM_ENDSESSION.
    case WM_QUERYENDSESSION: return TRUE;
    case WM_ENDSESSION:
      if (w != FALSE) jobs_.wait_for_delivery_path(longest_);
      return 0;
    // Whoever asks the program to close gets what the close box got: the job ends first.
    case WM_CLOSE: return 0;
    case WM_DESTROY:
      ShutdownBlockReasonDestroy(window);
      window_.store(nullptr);
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window, message, w, l);
}

}  // namespace quillmere::app
