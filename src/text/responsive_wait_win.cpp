#include "text/responsive_wait_win.h"

#include <windows.h>

#include <atomic>
#include <cmath>

#include "text/scoped_handle_win.h"

namespace quillmere {
namespace {

double milliseconds_per_step(int unit) {
  switch (unit) {
    case 0: return 1.0;
    case 1: return 1000.0;
    case 2: return 60000.0;
    case 3: return 3600000.0;
    default: return static_cast<double>(unit);
  }
}

std::atomic<MessageFilter> message_filter{nullptr};

// Dispatches the queue; false when it took a WM_QUIT, whose exit code lands in `quit_code`.
bool dispatch_queue(WPARAM* quit_code) {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      *quit_code = msg.wParam;
      return false;
    }
    dispatch_message(msg);
  }
  return true;
}

}  // namespace

void set_message_filter(MessageFilter filter) { message_filter.store(filter); }

void dispatch_message(MSG& message) {
  const MessageFilter filter = message_filter.load();
  if (filter != nullptr && filter(message)) return;
  TranslateMessage(&message);
  DispatchMessageW(&message);
}

// A quit taken here is posted again, so the thread's own message loop still ends.
void process_pending_messages() {
  WPARAM quit_code = 0;
  if (!dispatch_queue(&quit_code)) PostQuitMessage(static_cast<int>(quit_code));
}

bool responsive_wait(long long amount, int unit) {
  if (amount <= 0) return true;
  const double due = -(static_cast<double>(amount) * milliseconds_per_step(unit) * 10000.0);
  const Owned<HANDLE, CloseHandle> timer(CreateWaitableTimerW(nullptr, FALSE, nullptr));
  if (!timer) return true;
  const HANDLE timer_handle = timer.get();
  LARGE_INTEGER due_time;
  due_time.QuadPart = std::llround(due);
  if (!SetWaitableTimer(timer_handle, &due_time, 0, nullptr, nullptr, FALSE)) return true;
  bool quit = false;
  WPARAM quit_code = 0;
  for (;;) {
    const DWORD result = MsgWaitForMultipleObjects(1, &timer_handle, FALSE, INFINITE, 0xFF);
    if (result != WAIT_OBJECT_0 + 1) break;  // the timer fired, or the wait itself failed
    if (!quit && !dispatch_queue(&quit_code)) quit = true;
    // After a quit the queue is left alone; the wait then only ends with the timer.
  }
  if (quit) PostQuitMessage(static_cast<int>(quit_code));
  return true;
}

bool wait_for_object_responsively(void* handle, bool end_at_quit) {
  WPARAM quit_code = 0;
  bool quit = false;
  bool signalled = false;
  for (;;) {
    if (quit) {
      // The windows are gone: nothing is left to answer for.
      signalled = WaitForSingleObject(handle, INFINITE) == WAIT_OBJECT_0;
      break;
    }
    const DWORD result = MsgWaitForMultipleObjects(1, &handle, FALSE, INFINITE, QS_ALLINPUT);
    if (result != WAIT_OBJECT_0 + 1) {
      signalled = result == WAIT_OBJECT_0;
      break;
    }
    if (!dispatch_queue(&quit_code)) {
      quit = true;
      if (end_at_quit) break;
    }
  }
  if (quit) PostQuitMessage(static_cast<int>(quit_code));
  return signalled;
}

void responsive_wait_until(long long milliseconds, const std::function<bool()>& done) {
  // Short enough that a condition set by another thread is seen soon after.
  constexpr ULONGLONG kLookAgainMs = 10;
  const ULONGLONG deadline =
      GetTickCount64() + static_cast<ULONGLONG>(milliseconds > 0 ? milliseconds : 0);
  bool quit = false;
  WPARAM quit_code = 0;
  for (;;) {
    if (done()) break;
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) break;
    const ULONGLONG slice = deadline - now < kLookAgainMs ? deadline - now : kLookAgainMs;
    // MWMO_INPUTAVAILABLE: input already seen by an earlier peek still ends the wait.
    const DWORD result = MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(slice),
                                                     QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (result == WAIT_FAILED) break;
    // After a quit the queue is left alone; the wait then runs on by the clock alone.
    if (result == WAIT_OBJECT_0 && !quit && !dispatch_queue(&quit_code)) quit = true;
    if (quit && result == WAIT_OBJECT_0) Sleep(static_cast<DWORD>(slice));
  }
  if (quit) PostQuitMessage(static_cast<int>(quit_code));
}

}  // namespace quillmere
