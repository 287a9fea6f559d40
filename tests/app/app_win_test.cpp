// The Windows shell's own pieces on real controls: reports queued for the window's thread, the
// list view as the workflows see it, the record file, fonts and text at the edge.

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>
#include <imm.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "app/attention_win.h"
#include "app/control_ids.h"
#include "app/dialog_keys_win.h"
#include "app/edge_text_win.h"
#include "app/express_window_win.h"
#include "app/fonts_win.h"
#include "app/main_window_win.h"
#include "app/messages_win.h"
#include "app/platform_win.h"
#include "app/report_list_win.h"
#include "app/screen_dpi_win.h"
#include "app/screen_scale.h"
#include "app/system_handles_win.h"
#include "app/system_message_win.h"
#include "app/window_thread_win.h"
#include "app_driver_win.h"
#include "test_support.h"

namespace quillmere::app {
namespace {

using quillmere::testing::gbk;

// A window that shows queued reports, as the main window does, and holds one list view.
class HostWindow {
 public:
  HostWindow() {
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = procedure;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.lpszClassName = L"app_win_test_host";
    RegisterClassW(&window_class);
    INITCOMMONCONTROLSEX classes{sizeof classes, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&classes);
    window = CreateWindowW(L"app_win_test_host", L"", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr,
                           nullptr, window_class.hInstance, this);
    creation_error = GetLastError();
    list_view = CreateWindowW(WC_LISTVIEWW, L"", WS_CHILD | LVS_REPORT, 0, 0, 300, 200, window,
                              nullptr, window_class.hInstance, nullptr);
    list.attach(list_view);
    list.add_column({"ID", 40});
    list.add_column({"\xb6\xa9\xb5\xa5\xba\xc5", 110});  // 订单号
  }
  ~HostWindow() {
    if (IsWindow(window)) DestroyWindow(window);
  }

  // Pumps this thread's messages until `done` holds.
  void pump_until(const std::atomic<bool>& done) {
    while (!done) {
      MSG message;
      while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
  }

  WindowThread thread;
  DWORD creation_error = 0;
  ReportListView list{thread};
  HWND window = nullptr;
  HWND list_view = nullptr;

 private:
  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_NCCREATE) {
      auto* self = static_cast<HostWindow*>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams);
      SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<HostWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self != nullptr && message == WM_CREATE) self->thread.attach(window);
    if (self != nullptr && self->thread.handle(message, w)) return 0;
    if (self != nullptr && message == WM_DESTROY) self->thread.detach();
    return DefWindowProcW(window, message, w, l);
  }
};

TEST(window_thread, a_workers_reports_run_in_order_on_the_window_thread_and_it_never_waits) {
  HostWindow host;
  ASSERT_NE(host.window, nullptr) << host.creation_error;
  const DWORD window_thread = GetCurrentThreadId();
  std::vector<int> shown;
  DWORD ran_on = 0;
  // The window's thread pumps nothing while the worker reports: the worker still finishes.
  std::thread worker([&] {
    for (int i = 0; i < 20; ++i) {
      host.thread.post([&, i] {
        shown.push_back(i);
        ran_on = GetCurrentThreadId();
      });
    }
  });
  worker.join();
  EXPECT_TRUE(shown.empty());
  std::atomic<bool> done{false};
  host.thread.post([&] { done = true; });  // on this thread: after what is queued
  EXPECT_TRUE(done);
  ASSERT_EQ(shown.size(), 20u);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(shown[static_cast<std::size_t>(i)], i);
  EXPECT_EQ(ran_on, window_thread);
}

TEST(window_thread, reports_reach_the_window_through_its_own_registered_message_only) {
  HostWindow host;
  std::atomic<int> ran{0};
  std::thread([&] { host.thread.post([&] { ++ran; }); }).join();
  // Somebody else's WM_APP+1 with a number where a pointer used to be read changes nothing.
  PostMessageW(host.window, WM_APP + 1, 0, 0x12345678);
  SendMessageW(host.window, WM_APP + 1, 0, 0x12345678);
  std::atomic<bool> done{false};
  std::thread([&] { host.thread.post([&] { done = true; }); }).join();
  host.pump_until(done);
  EXPECT_EQ(ran, 1);
}

TEST(window_thread, after_the_window_is_gone_reports_are_dropped) {
  HostWindow host;
  bool ran = false;
  std::thread([&] { host.thread.post([&] { ran = true; }); }).join();
  DestroyWindow(host.window);
  EXPECT_FALSE(host.thread.alive());
  std::thread late([&] { host.thread.post([&] { ran = true; }); });
  late.join();
  host.thread.post([&] { ran = true; });
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  EXPECT_FALSE(ran);
  // The list's operations become harmless too.
  EXPECT_EQ(host.list.row_count(), 0);
  EXPECT_EQ(host.list.insert_row(), -1);
  EXPECT_EQ(host.list.cell(0, 0), "");
  EXPECT_EQ(host.list.find_row(1, "x"), -1);
  EXPECT_EQ(host.list.selected_row(), -1);
}

TEST(ascii_fields, open_no_input_method) {
  HostWindow host;
  HWND edit =
      CreateWindowW(L"Edit", L"", WS_CHILD, 0, 0, 50, 20, host.window, nullptr, nullptr, nullptr);
  refuse_input_method(edit);
  EXPECT_EQ(ImmGetContext(edit), nullptr);
  DestroyWindow(edit);
}

TEST(report_list_view, rows_and_cells_round_trip_gbk_text) {
  HostWindow host;
  shop::ReportList& list = host.list;
  EXPECT_EQ(list.insert_row(), 0);
  EXPECT_EQ(list.insert_row(), 1);
  list.set_cell(0, 0, "1");
  list.set_cell(0, 1, gbk(u8"订单甲"));
  list.set_cell(1, 1, "20260509");
  EXPECT_EQ(list.row_count(), 2);
  EXPECT_EQ(list.cell(0, 1), gbk(u8"订单甲"));
  EXPECT_EQ(list.cell(1, 0), "");
  // Rows and columns that do not exist read as empty text.
  EXPECT_EQ(list.cell(2, 0), "");
  EXPECT_EQ(list.cell(-1, 0), "");
  EXPECT_EQ(list.cell(0, 2), "");
  // A cell longer than any first guess at a buffer.
  const std::string long_text(3000, 'x');
  list.set_cell(1, 0, long_text);
  EXPECT_EQ(list.cell(1, 0), long_text);
}

TEST(report_list_view, find_row_matches_whole_cells_of_one_column) {
  HostWindow host;
  shop::ReportList& list = host.list;
  for (const char* id : {"100", "1001", "100"}) list.set_cell(list.insert_row(), 1, id);
  EXPECT_EQ(list.find_row(1, "100"), 0);
  EXPECT_EQ(list.find_row(1, "1001"), 1);
  EXPECT_EQ(list.find_row(1, "10"), -1);
  EXPECT_EQ(list.find_row(0, "100"), -1);
  list.delete_all();
  EXPECT_EQ(list.row_count(), 0);
  EXPECT_EQ(list.find_row(1, "100"), -1);
}

TEST(report_list_view, selected_row_follows_the_selection) {
  HostWindow host;
  shop::ReportList& list = host.list;
  list.insert_row();
  list.insert_row();
  EXPECT_EQ(list.selected_row(), -1);
  ListView_SetItemState(host.list_view, 1, LVIS_SELECTED, LVIS_SELECTED);
  EXPECT_EQ(list.selected_row(), 1);
}

TEST(report_list_view, a_workers_rows_show_in_order_once_the_window_thread_looks) {
  HostWindow host;
  std::thread worker([&] {
    for (int i = 0; i < 50; ++i) {
      EXPECT_EQ(host.list.insert_row(), -1) << "queued, not shown yet";
      host.list.set_cell(i, 0, std::to_string(i + 1));
    }
  });
  worker.join();
  EXPECT_EQ(ListView_GetItemCount(host.list_view), 0);
  ASSERT_EQ(host.list.row_count(), 50);  // on the window's thread: after what is queued
  EXPECT_EQ(host.list.cell(49, 0), "50");
  EXPECT_EQ(host.list.cell(0, 0), "1");
}

// Records what would have reached the taskbar and the speaker; the window in front is the real
// one unless a test names another.
class RecordingAttention final : public Attention {
 public:
  HWND pretend_foreground = nullptr;
  bool pretend = false;
  std::vector<HWND> flashed;
  int sounds = 0;
  DWORD flashed_on = 0;

  HWND foreground_window() override {
    return pretend ? pretend_foreground : Attention::foreground_window();
  }
  void flash_taskbar_button(HWND window) override {
    flashed.push_back(window);
    flashed_on = GetCurrentThreadId();
  }
  void play_notification_sound() override { ++sounds; }
};

TEST(attention, flashes_and_sounds_once_only_while_another_window_is_in_front) {
  HostWindow host;
  HostWindow other;
  RecordingAttention attention;
  attention.pretend = true;
  attention.pretend_foreground = other.window;
  ask_for_attention(host.thread, host.window, attention);
  EXPECT_EQ(attention.flashed, std::vector<HWND>{host.window});
  EXPECT_EQ(attention.sounds, 1);

  attention.pretend_foreground = nullptr;  // nothing in front, as after a minimise
  ask_for_attention(host.thread, host.window, attention);
  EXPECT_EQ(attention.flashed.size(), 2u);

  attention.pretend_foreground = host.window;
  ask_for_attention(host.thread, host.window, attention);
  // A message box of the window's own is as good as the window in front.
  attention.pretend_foreground = CreateWindowW(L"Static", L"", WS_POPUP, 0, 0, 10, 10, host.window,
                                               nullptr, GetModuleHandleW(nullptr), nullptr);
  ask_for_attention(host.thread, host.window, attention);
  EXPECT_EQ(attention.flashed.size(), 2u);
  EXPECT_EQ(attention.sounds, 2);
}

TEST(attention, asks_the_real_foreground_window) {
  HostWindow host;
  ShowWindow(host.window, SW_SHOW);
  SetForegroundWindow(host.window);
  RecordingAttention attention;
  ask_for_attention(host.thread, host.window, attention);
  ASSERT_EQ(GetForegroundWindow(), host.window);
  EXPECT_TRUE(attention.flashed.empty());
  HostWindow other;
  ShowWindow(other.window, SW_SHOW);
  SetForegroundWindow(other.window);
  ASSERT_NE(GetForegroundWindow(), host.window);
  ask_for_attention(host.thread, host.window, attention);
  EXPECT_EQ(attention.flashed, std::vector<HWND>{host.window});
  // The system's own calls do no harm, wherever they end up.
  ask_for_attention(host.thread, host.window, system_attention());
}

TEST(attention, from_a_worker_it_runs_on_the_window_thread_and_not_at_all_once_the_window_is_gone) {
  HostWindow host;
  HostWindow other;
  RecordingAttention attention;
  attention.pretend = true;
  attention.pretend_foreground = other.window;
  std::atomic<bool> done{false};
  std::thread worker([&] { ask_for_attention(host.thread, host.window, attention); });
  worker.join();
  EXPECT_TRUE(attention.flashed.empty()) << "the worker never waits for the window";
  std::thread([&] { host.thread.post([&] { done = true; }); }).join();
  host.pump_until(done);
  EXPECT_EQ(attention.flashed_on, GetCurrentThreadId());

  DestroyWindow(host.window);
  ask_for_attention(host.thread, host.window, attention);
  std::thread late([&] { ask_for_attention(host.thread, host.window, attention); });
  late.join();
  EXPECT_EQ(attention.flashed.size(), 1u);
  EXPECT_EQ(attention.sounds, 1);
}

class RecordFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    path_ = std::wstring(folder) + L"quillmere-record-" + std::to_wstring(GetCurrentProcessId()) +
            wide(gbk(u8"发货记录.txt"));
    DeleteFileW(path_.c_str());
  }
  void TearDown() override { DeleteFileW(path_.c_str()); }

  std::string contents() const {
    FileHandle file(CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr));
    if (!file.valid()) return "<missing>";
    std::string bytes(4096, '\0');
    DWORD read = 0;
    ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    bytes.resize(read);
    return bytes;
  }

  void create(const std::string& bytes) {
    FileHandle file(CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    DWORD written = 0;
    WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  }
  FILETIME last_written() const {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(path_.c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
  }

  std::wstring path_;
};

TEST_F(RecordFileTest, a_missing_file_is_not_created_and_is_no_failure) {
  AppendOnlyRecordFile record(path_);
  EXPECT_EQ(record.append_if_exists("1|2\r\n").status, shop::RecordStatus::missing);
  EXPECT_EQ(record.check_appendable().status, shop::RecordStatus::missing);
  EXPECT_EQ(contents(), "<missing>");
}

TEST_F(RecordFileTest, lines_go_after_what_the_file_holds) {
  create("old\r\n");
  AppendOnlyRecordFile record(path_);
  EXPECT_EQ(record.append_if_exists("123|2\r\n").status, shop::RecordStatus::ok);
  EXPECT_EQ(record.append_if_exists(gbk(u8"456|手机\r\n")).status, shop::RecordStatus::ok);
  EXPECT_EQ(contents(), "old\r\n123|2\r\n" + gbk(u8"456|手机\r\n"));
}

TEST_F(RecordFileTest, the_start_up_check_writes_nothing) {
  create("old\r\n");
  const FILETIME before = last_written();
  Sleep(20);
  AppendOnlyRecordFile record(path_);
  const shop::RecordResult checked = record.check_appendable();
  EXPECT_EQ(checked.status, shop::RecordStatus::ok);
  EXPECT_EQ(checked.reason, "");
  EXPECT_EQ(contents(), "old\r\n");
  const FILETIME after = last_written();
  EXPECT_EQ(CompareFileTime(&before, &after), 0);
}

TEST_F(RecordFileTest, a_file_held_open_without_sharing_fails_with_the_systems_reason) {
  create("old\r\n");
  AppendOnlyRecordFile record(path_);
  shop::RecordResult appended;
  shop::RecordResult checked;
  {
    // An editor that locks the file it has open.
    FileHandle holder(
        CreateFileW(path_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder.valid());
    appended = record.append_if_exists("123|2\r\n");
    checked = record.check_appendable();
  }
  const std::string reason = system_message(ERROR_SHARING_VIOLATION);
  EXPECT_EQ(appended.status, shop::RecordStatus::failed);
  EXPECT_EQ(appended.reason, reason);
  EXPECT_EQ(checked.status, shop::RecordStatus::failed);
  EXPECT_EQ(checked.reason, reason);
  EXPECT_EQ(contents(), "old\r\n");

  // Released, the file takes lines again.
  EXPECT_EQ(record.append_if_exists("123|2\r\n").status, shop::RecordStatus::ok);
  EXPECT_EQ(contents(), "old\r\n123|2\r\n");
}

TEST(system_message, is_the_systems_text_without_its_line_break_or_the_bare_code) {
  const std::string sharing = system_message(ERROR_SHARING_VIOLATION);
  ASSERT_FALSE(sharing.empty());
  EXPECT_NE(sharing, "32");
  EXPECT_NE(sharing.back(), '\n');
  EXPECT_NE(sharing.back(), '\r');
  EXPECT_EQ(sharing.find('\r'), std::string::npos);
  // A message that names an insert comes back with the insert as it is.
  EXPECT_NE(system_message(ERROR_BAD_EXE_FORMAT).find("%1"), std::string::npos);
  EXPECT_EQ(system_message(0x2000FFFF), "536936447");
}

TEST(fonts, tab_captions_use_simsun_12_pixels_normal_weight_gb2312) {
  FontHolder font(create_tab_caption_font());
  LOGFONTW described{};
  ASSERT_NE(GetObjectW(font.get(), sizeof described, &described), 0);
  EXPECT_STREQ(described.lfFaceName, L"SimSun");
  EXPECT_EQ(described.lfHeight, -12);
  EXPECT_EQ(described.lfWeight, 400);
  EXPECT_EQ(described.lfCharSet, GB2312_CHARSET);
}

TEST(fonts, the_control_font_has_chinese_glyphs) {
  FontHolder font(create_control_font());
  HDC screen = GetDC(nullptr);
  HGDIOBJ previous = SelectObject(screen, font.get());
  WORD glyph = 0xFFFF;
  GetGlyphIndicesW(screen, L"\u4e2d", 1, &glyph, GGI_MARK_NONEXISTING_GLYPHS);
  SelectObject(screen, previous);
  ReleaseDC(nullptr, screen);
  EXPECT_NE(glyph, 0xFFFF);
}

// The icon drawn at `size` over white, sampled near the left edge halfway down: the red tile
// of the program's icon, where the stock application icon is white or grey.
COLORREF left_edge_colour(HICON icon, int size) {
  HDC screen = GetDC(nullptr);
  HDC canvas = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, size, size);
  HGDIOBJ previous = SelectObject(canvas, bitmap);
  const RECT all{0, 0, size, size};
  FillRect(canvas, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  DrawIconEx(canvas, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
  const COLORREF colour = GetPixel(canvas, size / 16, size / 2);
  SelectObject(canvas, previous);
  DeleteObject(bitmap);
  DeleteDC(canvas);
  ReleaseDC(nullptr, screen);
  return colour;
}

bool is_tile_red(COLORREF colour) {
  return GetRValue(colour) > 150 && GetGValue(colour) < 100 && GetBValue(colour) < 100;
}

// This test program carries the program's icon resource, as quillmere.exe does.
TEST(window_icons, both_window_classes_show_the_programs_icon_in_caption_and_taskbar_sizes) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  MainWindow::register_class(instance);
  ExpressWindow::register_class(instance);
  for (const wchar_t* name : {kMainWindowClass, kExpressWindowClass}) {
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof window_class;
    ASSERT_TRUE(GetClassInfoExW(instance, name, &window_class));
    ASSERT_NE(window_class.hIcon, nullptr);
    ASSERT_NE(window_class.hIconSm, nullptr);
    EXPECT_TRUE(is_tile_red(left_edge_colour(window_class.hIcon, GetSystemMetrics(SM_CXICON))));
    EXPECT_TRUE(is_tile_red(left_edge_colour(window_class.hIconSm, GetSystemMetrics(SM_CXSMICON))));
  }
}

// --- Both windows at the screen scale of this run ---
//
// ctest runs this program once more in a Wine prefix of its own at 120, 144 and 192 DPI
// (QUILLMERE_EXPECT_DPI says which); the plain run is at 96, where every figure must be the
// design's own.

int expected_dpi() {
  const char* wanted = std::getenv("QUILLMERE_EXPECT_DPI");
  return wanted != nullptr ? std::atoi(wanted) : app::kDesignDpi;
}

int at(int pixels, int dpi) { return app::scale_to_dpi(pixels, dpi); }

using quillmere::testing::kExpressPlaced;
using quillmere::testing::kMainPlaced;
using quillmere::testing::Placed;

constexpr int kOrderWidths[] = {40, 110, 40, 170, 60, 60, 60, 75};
constexpr int kDeliveryWidths[] = {50, 115, 115, 130, 120, 80};

RECT outer_rect(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  return rect;
}

LONG font_height(HWND control) {
  LOGFONTW font{};
  const auto handle = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
  return handle != nullptr && GetObjectW(handle, sizeof font, &font) != 0 ? font.lfHeight : 0;
}

int icon_width(HWND window, WPARAM which) {
  const auto icon = reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, which, 0));
  ICONINFO info{};
  if (icon == nullptr || !GetIconInfo(icon, &info)) return 0;
  BITMAP bitmap{};
  GetObjectW(info.hbmColor != nullptr ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
  if (info.hbmColor != nullptr) DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  return bitmap.bmWidth;
}

// Every control where the design puts it at `dpi`, lettered at 12 pixels scaled; the client
// area holds the content (96-DPI figures), and the outer size is `outer` (pixels) grown by the
// client area's shortfall only.
void expect_laid_out(HWND window, std::span<const Placed> placed, SIZE outer, SIZE content, int dpi,
                     const char* which) {
  std::string measured;
  for (const Placed& p : placed) {
    const RECT rect = quillmere::testing::client_rect_of(window, GetDlgItem(window, p.id));
    char line[64];
    std::snprintf(line, sizeof line, " %d:(%ld,%ld) %ldx%ld", p.id, rect.left, rect.top,
                  rect.right - rect.left, rect.bottom - rect.top);
    measured += line;
    EXPECT_EQ(rect.left, at(p.left, dpi)) << which << " control " << p.id << " at " << dpi;
    EXPECT_EQ(rect.top, at(p.top, dpi)) << which << " control " << p.id << " at " << dpi;
    EXPECT_EQ(rect.right - rect.left, at(p.width, dpi))
        << which << " control " << p.id << " at " << dpi;
    if (p.height >= 0) {
      EXPECT_EQ(rect.bottom - rect.top, at(p.height, dpi))
          << which << " control " << p.id << " at " << dpi;
    }
    EXPECT_EQ(font_height(GetDlgItem(window, p.id)), -at(12, dpi)) << which << " control " << p.id;
  }
  RECT client{};
  GetClientRect(window, &client);
  const RECT frame = outer_rect(window);
  std::printf(
      "%s window at %d DPI: outer %ldx%ld, client %ldx%ld; controls (id:(left,top) "
      "width x height):%s\n",
      which, dpi, frame.right - frame.left, frame.bottom - frame.top, client.right, client.bottom,
      measured.c_str());
  const LONG width = frame.right - frame.left, height = frame.bottom - frame.top;
  EXPECT_GE(client.right, at(content.cx, dpi)) << which;
  EXPECT_GE(client.bottom, at(content.cy, dpi)) << which;
  EXPECT_GE(width, outer.cx) << which;
  EXPECT_GE(height, outer.cy) << which;
  if (width > outer.cx) {
    EXPECT_EQ(client.right, at(content.cx, dpi)) << which;
  }
  if (height > outer.cy) {
    EXPECT_EQ(client.bottom, at(content.cy, dpi)) << which;
  }
}

void expect_columns(HWND list, std::span<const int> widths, int dpi) {
  for (std::size_t column = 0; column < widths.size(); ++column)
    EXPECT_EQ(ListView_GetColumnWidth(list, static_cast<int>(column)), at(widths[column], dpi))
        << "column " << column << " at " << dpi;
}

class NoEvents final : public MainWindowEvents {
  void login_clicked() override {}
  void fetch_orders_clicked() override {}
  void start_monitoring_clicked() override {}
  void stop_monitoring_clicked() override {}
  void deliver_clicked() override {}
  void main_window_closing() override {}
};

// Window enumeration calls back in the system's calling convention, which a lambda does not
// have in a 32-bit program: named CALLBACK functions, then.
struct ClassSearch {
  const wchar_t* window_class;
  HWND found;
};

BOOL CALLBACK stop_at_class(HWND window, LPARAM context) {
  auto& wanted = *reinterpret_cast<ClassSearch*>(context);
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  if (std::wstring_view(name) != wanted.window_class) return TRUE;
  wanted.found = window;
  return FALSE;
}

BOOL CALLBACK confirm_message_box(HWND window, LPARAM) {
  wchar_t name[16] = {};
  GetClassNameW(window, name, 16);
  if (std::wstring_view(name) == L"#32770") PostMessageW(window, WM_COMMAND, IDOK, 0);
  return TRUE;
}

HWND own_window_of_class(const wchar_t* window_class) {
  ClassSearch search{window_class, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), stop_at_class, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The real main window in this process. Its database warning (there is no Jet provider under
// Wine) is answered from another thread while creation waits in the box's own loop.
class ScaledWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    INITCOMMONCONTROLSEX classes{sizeof classes, ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES |
                                                     ICC_TAB_CLASSES | ICC_DATE_CLASSES};
    InitCommonControlsEx(&classes);
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    MainWindow::register_class(instance);
    ExpressWindow::register_class(instance);
    std::atomic<bool> created{false};
    std::thread answer([&, thread = GetCurrentThreadId()] {
      while (!created) {
        EnumThreadWindows(thread, confirm_message_box, 0);
        Sleep(20);
      }
    });
    main_ = main_window_.create(instance, events_);
    created = true;
    answer.join();
    ASSERT_NE(main_, nullptr);
    dpi_ = expected_dpi();
    ASSERT_EQ(window_dpi(main_), dpi_) << "the prefix's LogPixels did not reach the window";
  }
  void TearDown() override {
    if (IsWindow(main_)) DestroyWindow(main_);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  }

  HWND open_express_window() {
    express_window_.open(main_);
    return own_window_of_class(kExpressWindowClass);
  }

  void screenshot(HWND window, const wchar_t* name) {
    wchar_t folder[MAX_PATH] = {};
    if (!GetEnvironmentVariableW(L"QUILLMERE_SCREENSHOT_DIR", folder, MAX_PATH)) return;
    SetForegroundWindow(window);
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
    for (int i = 0; i < 50; ++i) {
      MSG message;
      while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
      Sleep(10);
    }
    quillmere::testing::save_window_bitmap(window, std::wstring(folder) + L"\\" + name);
  }

  WindowThread thread_;
  ExpressWindow express_window_;
  MainWindow main_window_{thread_, express_window_};
  NoEvents events_;
  HWND main_ = nullptr;
  int dpi_ = app::kDesignDpi;
};

TEST_F(ScaledWindows, the_main_window_is_laid_out_lettered_and_sized_for_the_screen_scale) {
  expect_laid_out(main_, kMainPlaced, {at(677, dpi_), at(573, dpi_)}, {648, 544}, dpi_, "main");
  const RECT outer = outer_rect(main_);
  EXPECT_EQ(outer.left, at(50, dpi_));
  EXPECT_EQ(outer.top, at(50, dpi_));
  LOGFONTW tab_font{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(GetDlgItem(main_, kTabs), WM_GETFONT, 0, 0)),
             sizeof tab_font, &tab_font);
  EXPECT_STREQ(tab_font.lfFaceName, L"SimSun");
  expect_columns(GetDlgItem(main_, kOrderList), kOrderWidths, dpi_);
  expect_columns(GetDlgItem(main_, kDeliveryList), kDeliveryWidths, dpi_);
  // Caption and taskbar icons of the screen's own size, not a stretched one.
  EXPECT_EQ(icon_width(main_, ICON_SMALL), system_metric_for_dpi(SM_CXSMICON, dpi_));
  EXPECT_EQ(icon_width(main_, ICON_BIG), system_metric_for_dpi(SM_CXICON, dpi_));
  EXPECT_EQ(system_metric_for_dpi(SM_CXSMICON, dpi_), at(16, dpi_));
  EXPECT_TRUE(is_tile_red(left_edge_colour(
      reinterpret_cast<HICON>(SendMessageW(main_, WM_GETICON, ICON_SMALL, 0)), at(16, dpi_))));
  screenshot(main_, L"main-window-scaled.bmp");
}

TEST_F(ScaledWindows,
       the_express_window_is_scaled_and_opens_the_scaled_offset_below_the_main_window) {
  HWND express = open_express_window();
  ASSERT_NE(express, nullptr);
  expect_laid_out(express, kExpressPlaced, {at(307, dpi_), at(132, dpi_)}, {296, 96}, dpi_,
                  "express");
  EXPECT_EQ(outer_rect(express).top, outer_rect(main_).top + at(150, dpi_));
  EXPECT_EQ(icon_width(express, ICON_SMALL), system_metric_for_dpi(SM_CXSMICON, dpi_));
  SendMessageW(GetDlgItem(express, kCourierCombo), CB_SETCURSEL, 0, 0);
  screenshot(express, L"express-window-scaled.bmp");
  DestroyWindow(express);
}

// Any process can post the dialog keys' message with a number of its own: it must not be read
// as the key message, while the loop's own hand-over still works.
TEST_F(ScaledWindows, a_foreign_dialog_keys_message_is_ignored_and_the_loops_own_still_taken) {
  HWND express = open_express_window();
  ASSERT_NE(express, nullptr);
  for (HWND window : {main_, express}) {
    EXPECT_EQ(SendMessageW(window, kTranslateKeys, 0, 0x12345678), 0);
    PostMessageW(window, kTranslateKeys, 0, 0x12345678);
  }
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  HWND secret = GetDlgItem(main_, kSecretEdit);
  SetFocus(secret);
  MSG tab{secret, WM_KEYDOWN, VK_TAB, 0, 0, {}};
  EXPECT_TRUE(give_to_dialog_manager(tab)) << "Tab in a login field goes to the dialog manager";
  DestroyWindow(express);
}

// Dragged to a screen of another scale: the suggested rectangle is taken, then everything is
// laid out and lettered for the new DPI, and the client area still holds the content.
TEST_F(ScaledWindows, a_change_of_screen_scale_lays_both_windows_out_anew) {
  HWND express = open_express_window();
  ASSERT_NE(express, nullptr);
  // Another scale whose main window still fits the test screen.
  const int other = dpi_ == 144 ? 120 : 144;
  // A column the owner dragged wider keeps its share of the list.
  HWND orders = GetDlgItem(main_, kOrderList);
  ListView_SetColumnWidth(orders, 3, at(200, dpi_));
  SIZE suggested_size[2] = {};
  for (int i = 0; i < 2; ++i) {
    HWND window = i == 0 ? main_ : express;
    const RECT now = outer_rect(window);
    suggested_size[i] = {MulDiv(now.right - now.left, other, dpi_),
                         MulDiv(now.bottom - now.top, other, dpi_)};
    RECT suggested{now.left + 10, now.top + 20, now.left + 10 + suggested_size[i].cx,
                   now.top + 20 + suggested_size[i].cy};
    SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(other, other),
                 reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(outer_rect(window).left, suggested.left);
    EXPECT_EQ(outer_rect(window).top, suggested.top);
  }
  expect_laid_out(main_, kMainPlaced, suggested_size[0], {648, 544}, other, "main");
  expect_laid_out(express, kExpressPlaced, suggested_size[1], {296, 96}, other, "express");
  EXPECT_EQ(ListView_GetColumnWidth(orders, 3), MulDiv(at(200, dpi_), other, dpi_));
  ListView_SetColumnWidth(orders, 3, at(170, other));
  expect_columns(orders, kOrderWidths, other);
  expect_columns(GetDlgItem(main_, kDeliveryList), kDeliveryWidths, other);
  EXPECT_EQ(font_height(GetDlgItem(main_, kTabs)), -at(12, other));
  EXPECT_EQ(icon_width(main_, ICON_SMALL), system_metric_for_dpi(SM_CXSMICON, other));
  DestroyWindow(express);
}

TEST(screen_scale, the_portable_rounding_is_windows_muldiv) {
  for (int dpi : {72, 96, 120, 144, 168, 192, 240, 288}) {
    for (int pixels = -700; pixels <= 1400; ++pixels)
      ASSERT_EQ(app::scale_to_dpi(pixels, dpi), MulDiv(pixels, dpi, 96)) << pixels << " at " << dpi;
  }
}

TEST(edge_text, gbk_turns_into_utf16_and_back) {
  EXPECT_EQ(wide("\xd6\xd0"), L"\u4e2d");  // 中
  EXPECT_EQ(app::gbk(std::wstring_view(L"\u4e2d\u6587 ok")), "\xd6\xd0\xce\xc4 ok");
  EXPECT_EQ(wide(""), L"");
  EXPECT_EQ(app::gbk(std::wstring_view(L"\u4e2d")), "\xd6\xd0");
}

}  // namespace
}  // namespace quillmere::app
