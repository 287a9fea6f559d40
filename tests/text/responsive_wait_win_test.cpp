#include "text/responsive_wait_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace quillmere {
namespace {

using Clock = std::chrono::steady_clock;

int g_dispatched = 0;

LRESULT CALLBACK counting_proc(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_APP) {
    ++g_dispatched;
    return 0;
  }
  return DefWindowProcW(window, message, w, l);
}

DWORD WINAPI post_later(LPVOID target) {
  Sleep(30);
  PostMessageW(static_cast<HWND>(target), WM_APP, 0, 0);
  return 0;
}

HWND make_window() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = counting_proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"responsive_wait_test";
  RegisterClassW(&wc);
  return CreateWindowW(L"responsive_wait_test", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                       wc.hInstance, nullptr);
}

TEST(responsive_wait, hundred_milliseconds_last_at_least_that_long) {
  const auto started = Clock::now();
  EXPECT_TRUE(responsive_wait(100));
  const auto took = Clock::now() - started;
  EXPECT_GE(took, std::chrono::milliseconds(99));
  EXPECT_LT(took, std::chrono::milliseconds(300));
}

TEST(responsive_wait, dispatches_posted_messages_before_returning) {
  HWND window = make_window();
  ASSERT_NE(window, nullptr);
  g_dispatched = 0;
  PostMessageW(window, WM_APP, 0, 0);
  responsive_wait(50);
  EXPECT_EQ(g_dispatched, 1);
  DestroyWindow(window);
}

TEST(responsive_wait, message_posted_from_another_thread_during_the_wait_is_handled) {
  HWND window = make_window();
  ASSERT_NE(window, nullptr);
  g_dispatched = 0;
  HANDLE poster = CreateThread(nullptr, 0, post_later, window, 0, nullptr);
  responsive_wait(150);
  EXPECT_EQ(g_dispatched, 1);
  WaitForSingleObject(poster, INFINITE);
  CloseHandle(poster);
  DestroyWindow(window);
}

TEST(responsive_wait, zero_or_negative_amount_returns_at_once) {
  const auto started = Clock::now();
  EXPECT_TRUE(responsive_wait(0));
  EXPECT_TRUE(responsive_wait(-5));
  EXPECT_LT(Clock::now() - started, std::chrono::milliseconds(50));
}

TEST(responsive_wait, units_scale_the_amount) {
  const auto started = Clock::now();
  EXPECT_TRUE(responsive_wait(1, 1));
  const auto took = Clock::now() - started;
  EXPECT_GE(took, std::chrono::milliseconds(990));
  EXPECT_LT(took, std::chrono::milliseconds(1500));
}

TEST(responsive_wait, quit_taken_during_the_wait_is_posted_again) {
  PostQuitMessage(7);
  responsive_wait(20);
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 7u);
}

// An event set by another thread after `delay_ms`.
struct LateEvent {
  explicit LateEvent(DWORD delay_ms) : delay(delay_ms) {
    thread = CreateThread(nullptr, 0, &LateEvent::run, this, 0, nullptr);
  }
  ~LateEvent() {
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    CloseHandle(event);
  }
  static DWORD WINAPI run(LPVOID self) {
    auto* late = static_cast<LateEvent*>(self);
    Sleep(late->delay);
    SetEvent(late->event);
    return 0;
  }
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  DWORD delay;
  HANDLE thread;
};

TEST(wait_for_object_responsively, handles_messages_until_the_object_is_signalled) {
  HWND window = make_window();
  ASSERT_NE(window, nullptr);
  g_dispatched = 0;
  LateEvent done(200);
  HANDLE poster = CreateThread(nullptr, 0, post_later, window, 0, nullptr);
  EXPECT_TRUE(wait_for_object_responsively(done.event, true));
  EXPECT_EQ(WaitForSingleObject(done.event, 0), WAIT_OBJECT_0);
  EXPECT_EQ(g_dispatched, 1) << "the message posted meanwhile was handled during the wait";
  WaitForSingleObject(poster, INFINITE);
  CloseHandle(poster);
  DestroyWindow(window);
}

TEST(wait_for_object_responsively, a_quit_ends_the_wait_at_once_only_when_asked) {
  {
    LateEvent done(400);
    PostQuitMessage(3);
    EXPECT_FALSE(wait_for_object_responsively(done.event, true));
    EXPECT_EQ(WaitForSingleObject(done.event, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 3u);
  }
  LateEvent done(200);
  PostQuitMessage(4);
  EXPECT_TRUE(wait_for_object_responsively(done.event, false));
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 4u);
}

std::vector<UINT> g_filtered;
bool take_app_messages(MSG& message) {
  g_filtered.push_back(message.message);
  return message.message == WM_APP;
}

TEST(message_filter, every_pump_gives_messages_to_the_filter_first) {
  HWND window = make_window();
  ASSERT_NE(window, nullptr);
  g_dispatched = 0;
  g_filtered.clear();
  set_message_filter(take_app_messages);
  PostMessageW(window, WM_APP, 0, 0);
  process_pending_messages();
  PostMessageW(window, WM_APP, 0, 0);
  responsive_wait(20);
  PostMessageW(window, WM_APP + 1, 0, 0);
  LateEvent done(50);
  wait_for_object_responsively(done.event, true);
  set_message_filter(nullptr);
  PostMessageW(window, WM_APP, 0, 0);
  process_pending_messages();
  EXPECT_EQ(g_filtered, (std::vector<UINT>{WM_APP, WM_APP, WM_APP + 1}));
  EXPECT_EQ(g_dispatched, 1) << "only the message given while no filter was set reached the window";
  DestroyWindow(window);
}

TEST(responsive_wait_until, ends_when_another_thread_makes_the_condition_true) {
  std::atomic<bool> done{false};
  std::thread setter([&] {
    Sleep(40);
    done = true;
  });
  const auto started = Clock::now();
  responsive_wait_until(5000, [&] { return done.load(); });
  const auto took = Clock::now() - started;
  setter.join();
  EXPECT_GE(took, std::chrono::milliseconds(35));
  EXPECT_LT(took, std::chrono::milliseconds(1000));
}

TEST(responsive_wait_until, handles_a_message_sent_from_another_thread_that_waits_for_it) {
  // A worker's log line is sent to the window's thread and waited for: the wait must take it.
  HWND window = make_window();
  ASSERT_NE(window, nullptr);
  g_dispatched = 0;
  std::atomic<bool> answered{false};
  std::thread worker([&] {
    Sleep(20);
    SendMessageW(window, WM_APP, 0, 0);
    answered = true;
  });
  responsive_wait_until(5000, [&] { return answered.load(); });
  worker.join();
  EXPECT_TRUE(answered);
  EXPECT_EQ(g_dispatched, 1);
  DestroyWindow(window);
}

TEST(responsive_wait_until, a_held_condition_returns_at_once_and_an_unheld_one_waits_it_all) {
  int tests = 0;
  auto started = Clock::now();
  responsive_wait_until(2000, [&] { return ++tests > 0; });
  EXPECT_EQ(tests, 1);
  EXPECT_LT(Clock::now() - started, std::chrono::milliseconds(50));

  started = Clock::now();
  responsive_wait_until(120, [] { return false; });
  const auto took = Clock::now() - started;
  EXPECT_GE(took, std::chrono::milliseconds(115));
  EXPECT_LT(took, std::chrono::milliseconds(600));
  responsive_wait_until(-1, [] { return false; });
}

TEST(responsive_wait_until, quit_taken_during_the_wait_is_posted_again) {
  PostQuitMessage(9);
  responsive_wait_until(30, [] { return false; });
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 9u);
}

}  // namespace
}  // namespace quillmere
