// The bulk shipping window on real controls, at the screen scale of this run (ctest runs the
// BulkWindowAtScale cases at 120, 144 and 192 DPI too): its parts fit, its keys, what it hands
// to its events, and the view's operations.

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/bulk_window_win.h"
#include "app/control_ids.h"
#include "app/dialog_keys_win.h"
#include "app/main_window_win.h"
#include "app/screen_scale.h"
#include "app/win32_support_win.h"
#include "app_driver_win.h"
#include "test_support.h"

namespace quillmere::app {
namespace {

using quillmere::testing::gbk;
using quillmere::testing::press;

int at(int pixels, int dpi) { return shop::scale_to_dpi(pixels, dpi); }

int expected_dpi() {
  const char* wanted = std::getenv("QUILLMERE_EXPECT_DPI");
  return wanted != nullptr ? std::atoi(wanted) : shop::kDesignDpi;
}

// This thread's messages as the program's loop handles them: keys to the dialog manager first.
void pump_for(std::chrono::milliseconds span) {
  const auto end = std::chrono::steady_clock::now() + span;
  do {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (give_to_dialog_manager(message)) continue;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    Sleep(5);
  } while (std::chrono::steady_clock::now() < end);
}

void keys(std::initializer_list<WORD> chord) {
  press(chord);
  pump_for(std::chrono::milliseconds(100));
}

class RecordingEvents final : public BulkWindowEvents {
 public:
  void bulk_file_read(std::wstring_view path, std::string bytes) override {
    files.emplace_back(std::wstring(path), std::move(bytes));
  }
  void bulk_text_pasted(std::string text) override { pastes.push_back(std::move(text)); }
  void start_clicked() override { ++starts; }
  void stop_clicked() override { ++stops; }
  void export_clicked() override { ++exports; }
  bool close_requested() override {
    ++close_requests;
    return allow_close;
  }

  std::vector<std::pair<std::wstring, std::string>> files;
  std::vector<std::string> pastes;
  int starts = 0, stops = 0, exports = 0, close_requests = 0;
  bool allow_close = true;
};

// Answers the dialog boxes this thread shows while the test waits in them: notes each box's
// text and presses `button`, or lets `fill` handle a box (the Open dialog).
class DialogAnswerer {
 public:
  explicit DialogAnswerer(int button = IDOK, std::function<void(HWND)> fill = nullptr)
      : thread_id_(GetCurrentThreadId()), button_(button), fill_(std::move(fill)) {
    worker_ = std::thread([this] {
      while (!done_) {
        EnumThreadWindows(thread_id_, answer, reinterpret_cast<LPARAM>(this));
        Sleep(30);
      }
    });
  }
  ~DialogAnswerer() {
    done_ = true;
    worker_.join();
  }
  std::vector<std::wstring> texts() {
    std::lock_guard lock(mutex_);
    return texts_;
  }

 private:
  static BOOL CALLBACK answer(HWND window, LPARAM context) {
    auto& self = *reinterpret_cast<DialogAnswerer*>(context);
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (std::wstring_view(name) != L"#32770" || !IsWindowVisible(window)) return TRUE;
    if (self.fill_) {
      self.fill_(window);
    } else {
      wchar_t text[1024] = {};
      GetDlgItemTextW(window, 0xFFFF, text, 1024);  // a message box's text
      std::lock_guard lock(self.mutex_);
      self.texts_.push_back(text);
    }
    PostMessageW(window, WM_COMMAND, self.button_, 0);
    Sleep(200);  // the box goes before it is seen again
    return TRUE;
  }

  DWORD thread_id_;
  int button_;
  std::function<void(HWND)> fill_;
  std::atomic<bool> done_{false};
  std::mutex mutex_;
  std::vector<std::wstring> texts_;
  std::thread worker_;
};

void set_clipboard_text(HWND owner, const std::wstring& text) {
  ASSERT_TRUE(OpenClipboard(owner));
  EmptyClipboard();
  if (!text.empty()) {
    const std::size_t size = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    CopyMemory(GlobalLock(block), text.c_str(), size);
    GlobalUnlock(block);
    SetClipboardData(CF_UNICODETEXT, block);
  }
  CloseClipboard();
}

constexpr std::array kButtons = {kBulkOpenButton, kBulkPasteButton, kBulkStartButton,
                                 kBulkStopButton, kBulkExportButton};
constexpr std::array kParts = {kBulkOpenButton, kBulkPasteButton,  kBulkStartButton,
                               kBulkStopButton, kBulkExportButton, kBulkList,
                               kBulkProgress,   kBulkSummary};
// The design's places of the buttons at 96 DPI: left, width.
constexpr std::array<std::pair<int, int>, 5> kButtonPlaces = {
    {{8, 80}, {96, 56}, {168, 72}, {248, 56}, {320, 96}}};
constexpr int kColumnWidths[] = {36, 116, 84, 116, 240, 170};

BulkRow row_of(std::initializer_list<const char8_t*> cells) {
  BulkRow row;
  std::size_t column = 0;
  for (const char8_t* cell : cells) row[column++] = gbk(cell);
  return row;
}

// What the guide shows: a run that shipped some rows, failed one and skipped others.
std::vector<BulkRow> mixed_rows() {
  return {
      row_of({u8"1", u8"7203003070001", u8"顺丰速运", u8"SF1234567890", u8"可发货", u8"发货成功"}),
      row_of({u8"2", u8"7203003070002", u8"3:中通快递", u8"78123456789012", u8"可发货",
              u8"发货失败：无法连接微店平台"}),
      row_of({u8"3", u8"7.20300307E+12", u8"韵达", u8"4312345678901",
              u8"订单号是科学计数法，请设为文本后重填", u8""}),
      row_of({u8"4", u8"7203003070004", u8"邮政", u8"9876543210987",
              u8"快递公司不明确：中国邮政/邮政快包/…", u8""}),
      row_of({u8"5", u8"7203003070001", u8"顺丰速运", u8"SF1234567890", u8"与第 1 行重复", u8""}),
      row_of({u8"6", u8"7203003070005", u8"无需物流", u8"", u8"已发货（记录）", u8"跳过"}),
      row_of({u8"7", u8"7203003070006", u8"韵达快递", u8"4312345678902", u8"可发货",
              u8"跳过：订单未付款"}),
      row_of({u8"8", u8"7203003070007", u8"1", u8"SF1234567892", u8"可发货", u8"发货成功"}),
  };
}

// Window enumeration calls back in the system's calling convention: a named CALLBACK function.
BOOL CALLBACK count_bulk_window(HWND window, LPARAM count) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  if (std::wstring_view(name) == kBulkWindowClass) ++*reinterpret_cast<int*>(count);
  return TRUE;
}

int bulk_windows_of_this_thread() {
  int count = 0;
  EnumThreadWindows(GetCurrentThreadId(), count_bulk_window, reinterpret_cast<LPARAM>(&count));
  return count;
}

RECT client_rect_of(HWND window, int id) {
  return quillmere::testing::client_rect_of(window, GetDlgItem(window, id));
}

bool overlap(const RECT& a, const RECT& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

LONG font_height(HWND control) {
  LOGFONTW font{};
  const auto handle = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
  return handle != nullptr && GetObjectW(handle, sizeof font, &font) != 0 ? font.lfHeight : 0;
}

// The caption as drawn in the button's font, with the button's edges, within its width.
void expect_caption_fits(HWND button, int dpi) {
  wchar_t caption[64] = {};
  const int length = GetWindowTextW(button, caption, 64);
  HDC canvas = GetDC(button);
  HGDIOBJ previous =
      SelectObject(canvas, reinterpret_cast<HFONT>(SendMessageW(button, WM_GETFONT, 0, 0)));
  SIZE extent{};
  GetTextExtentPoint32W(canvas, caption, length, &extent);
  SelectObject(canvas, previous);
  ReleaseDC(button, canvas);
  RECT rect{};
  GetClientRect(button, &rect);
  EXPECT_LE(extent.cx + 2 * at(3, dpi), rect.right) << "caption cut at " << dpi << " DPI";
  EXPECT_LE(extent.cy, rect.bottom) << "caption cut at " << dpi << " DPI";
}

// Every part inside the client area, none over another, lettered for `dpi`; the buttons where
// the design puts them and the list filling the width between the margins.
void expect_fits(HWND bulk, int dpi) {
  RECT client{};
  GetClientRect(bulk, &client);
  for (std::size_t i = 0; i < kParts.size(); ++i) {
    const RECT rect = client_rect_of(bulk, kParts[i]);
    EXPECT_GE(rect.left, 0) << kParts[i] << " at " << dpi;
    EXPECT_GE(rect.top, 0) << kParts[i] << " at " << dpi;
    EXPECT_LE(rect.right, client.right) << kParts[i] << " at " << dpi;
    EXPECT_LE(rect.bottom, client.bottom) << kParts[i] << " at " << dpi;
    EXPECT_GT(rect.bottom - rect.top, 0) << kParts[i] << " at " << dpi;
    EXPECT_EQ(font_height(GetDlgItem(bulk, kParts[i])), -at(12, dpi)) << kParts[i];
    for (std::size_t j = i + 1; j < kParts.size(); ++j)
      EXPECT_FALSE(overlap(rect, client_rect_of(bulk, kParts[j])))
          << kParts[i] << " and " << kParts[j] << " at " << dpi;
  }
  for (std::size_t i = 0; i < kButtons.size(); ++i) {
    const RECT rect = client_rect_of(bulk, kButtons[i]);
    EXPECT_EQ(rect.left, at(kButtonPlaces[i].first, dpi));
    EXPECT_EQ(rect.top, at(8, dpi));
    EXPECT_EQ(rect.right - rect.left, at(kButtonPlaces[i].second, dpi));
    expect_caption_fits(GetDlgItem(bulk, kButtons[i]), dpi);
  }
  const RECT list = client_rect_of(bulk, kBulkList);
  EXPECT_EQ(list.left, at(8, dpi));
  EXPECT_EQ(list.right, client.right - at(8, dpi));
  EXPECT_GE(list.bottom - list.top, at(90, dpi)) << "the list keeps room for rows";
}

std::vector<bool> enabled_buttons(HWND bulk) {
  std::vector<bool> enabled;
  for (int id : kButtons) enabled.push_back(IsWindowEnabled(GetDlgItem(bulk, id)) != FALSE);
  return enabled;
}

class BulkWindowAtScale : public ::testing::Test {
 protected:
  void SetUp() override {
    INITCOMMONCONTROLSEX classes{sizeof classes, ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&classes);
    BulkWindow::register_class(GetModuleHandleW(nullptr));
    window_.set_events(events_);
    window_.open(nullptr);
    bulk_ = window_.window_handle();
    ASSERT_NE(bulk_, nullptr);
    dpi_ = expected_dpi();
    ASSERT_EQ(window_dpi(bulk_), dpi_) << "the prefix's LogPixels did not reach the window";
    pump_for(std::chrono::milliseconds(50));
  }
  void TearDown() override {
    window_.close();
    pump_for(std::chrono::milliseconds(20));
  }

  bool bring_forward() {
    for (int i = 0; i < 100 && GetForegroundWindow() != bulk_; ++i) {
      SetForegroundWindow(bulk_);
      pump_for(std::chrono::milliseconds(20));
    }
    return GetForegroundWindow() == bulk_;
  }
  int focused_id() { return GetDlgCtrlID(GetFocus()); }
  std::wstring cell(int row, int column) {
    wchar_t text[256] = {};
    ListView_GetItemText(GetDlgItem(bulk_, kBulkList), row, column, text, 256);
    return text;
  }
  std::vector<std::wstring> row_texts(int row) {
    std::vector<std::wstring> texts;
    for (int column = 0; column < static_cast<int>(kBulkColumnCount); ++column)
      texts.push_back(cell(row, column));
    return texts;
  }

  WindowThread thread_;
  RecordingEvents events_;
  BulkWindow window_{thread_};
  HWND bulk_ = nullptr;
  int dpi_ = shop::kDesignDpi;
};

TEST_F(BulkWindowAtScale,
       opens_once_a_second_open_brings_it_to_the_front_and_a_reopened_one_shows_what_it_had) {
  HWND other = CreateWindowW(L"Static", L"", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
  SetForegroundWindow(other);
  pump_for(std::chrono::milliseconds(50));
  window_.open(nullptr);
  pump_for(std::chrono::milliseconds(50));
  EXPECT_EQ(window_.window_handle(), bulk_);
  EXPECT_EQ(bulk_windows_of_this_thread(), 1);
  EXPECT_EQ(GetForegroundWindow(), bulk_);
  DestroyWindow(other);

  wchar_t caption[16] = {};
  GetWindowTextW(bulk_, caption, 16);
  EXPECT_EQ(gbk(std::u8string_view(u8"批量发货")), app::gbk(std::wstring_view(caption)));

  // Given while closed, shown when made anew.
  window_.close();
  EXPECT_FALSE(window_.is_open());
  window_.replace_rows(mixed_rows());
  window_.set_summary(gbk(u8"已发 3 / 共 4 单，失败 1，跳过 1"));
  window_.set_progress(3, 4);
  window_.set_running(true);
  window_.open(nullptr);
  bulk_ = window_.window_handle();
  ASSERT_NE(bulk_, nullptr);
  EXPECT_EQ(ListView_GetItemCount(GetDlgItem(bulk_, kBulkList)), 8);
  EXPECT_EQ(app::gbk(cell(1, 5)), gbk(u8"发货失败：无法连接微店平台"));
  EXPECT_EQ(window_text(GetDlgItem(bulk_, kBulkSummary)),
            gbk(u8"已发 3 / 共 4 单，失败 1，跳过 1"));
  EXPECT_EQ(SendMessageW(GetDlgItem(bulk_, kBulkProgress), PBM_GETPOS, 0, 0), 3);
  EXPECT_EQ(SendMessageW(GetDlgItem(bulk_, kBulkProgress), PBM_GETRANGE, FALSE, 0), 4);
  EXPECT_EQ(enabled_buttons(bulk_), (std::vector<bool>{false, false, false, true, true}));
}

TEST_F(BulkWindowAtScale, every_part_fits_at_this_scale_when_resized_and_after_a_change_of_scale) {
  window_.replace_rows(mixed_rows());
  window_.set_progress(4, 4);
  window_.set_summary(gbk(u8"已发 4 / 共 4 单，失败 1，跳过 1"));
  expect_fits(bulk_, dpi_);
  HWND list = GetDlgItem(bulk_, kBulkList);
  for (std::size_t column = 0; column < std::size(kColumnWidths); ++column)
    EXPECT_EQ(ListView_GetColumnWidth(list, static_cast<int>(column)),
              at(kColumnWidths[column], dpi_));
  // The whole of the design's columns is in view without scrolling.
  RECT list_client{};
  GetClientRect(list, &list_client);
  EXPECT_GE(list_client.right, at(762, dpi_));

  // The guide's picture. Without a window manager Wine leaves the frame to it and draws none;
  // run inside a Wine desktop (explorer /desktop=shot,1000x600 app_tests.exe) to have one.
  if (const wchar_t* folder = _wgetenv(L"QUILLMERE_SCREENSHOT_DIR");
      folder != nullptr && dpi_ == 96) {
    bring_forward();
    RedrawWindow(bulk_, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
    pump_for(std::chrono::milliseconds(700));
    quillmere::testing::save_window_bitmap(bulk_, std::wstring(folder) + L"\\bulk-window.bmp");
  }

  // Wider and taller: the list takes it all.
  RECT outer{};
  GetWindowRect(bulk_, &outer);
  const RECT list_before = client_rect_of(bulk_, kBulkList);
  SetWindowPos(bulk_, nullptr, 0, 0, outer.right - outer.left + 100, outer.bottom - outer.top + 60,
               SWP_NOMOVE | SWP_NOZORDER);
  const RECT list_after = client_rect_of(bulk_, kBulkList);
  EXPECT_EQ(list_after.right - list_after.left, list_before.right - list_before.left + 100);
  EXPECT_EQ(list_after.bottom - list_after.top, list_before.bottom - list_before.top + 60);
  expect_fits(bulk_, dpi_);

  // No smaller than what holds the buttons and a few rows, where everything still fits.
  MINMAXINFO limits{};
  SendMessageW(bulk_, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
  SetWindowPos(bulk_, nullptr, 0, 0, limits.ptMinTrackSize.x, limits.ptMinTrackSize.y,
               SWP_NOMOVE | SWP_NOZORDER);
  RECT client{};
  GetClientRect(bulk_, &client);
  EXPECT_EQ(client.right, at(424, dpi_));
  EXPECT_EQ(client.bottom, at(200, dpi_));
  expect_fits(bulk_, dpi_);

  // Dragged to a screen of another scale.
  const int other = dpi_ == 144 ? 120 : 144;
  GetWindowRect(bulk_, &outer);
  RECT suggested{outer.left, outer.top, outer.left + MulDiv(outer.right - outer.left, other, dpi_),
                 outer.top + MulDiv(outer.bottom - outer.top, other, dpi_)};
  SendMessageW(bulk_, WM_DPICHANGED, MAKEWPARAM(other, other),
               reinterpret_cast<LPARAM>(&suggested));
  expect_fits(bulk_, other);
  for (std::size_t column = 0; column < std::size(kColumnWidths); ++column)
    EXPECT_EQ(ListView_GetColumnWidth(list, static_cast<int>(column)),
              at(kColumnWidths[column], other));
}

// The main window's own database warning (no Jet provider under Wine) is answered meanwhile.
TEST_F(BulkWindowAtScale,
       the_main_windows_button_fits_its_control_area_and_opens_through_its_event) {
  struct Events final : public MainWindowEvents {
    void login_clicked() override {}
    void fetch_orders_clicked() override {}
    void start_monitoring_clicked() override {}
    void stop_monitoring_clicked() override {}
    void deliver_clicked() override {}
    void main_window_closing() override {}
    void bulk_shipping_clicked() override { ++bulk; }
    int bulk = 0;
  } events;
  INITCOMMONCONTROLSEX classes{sizeof classes, ICC_TAB_CLASSES | ICC_DATE_CLASSES};
  InitCommonControlsEx(&classes);
  MainWindow::register_class(GetModuleHandleW(nullptr));
  ExpressWindow::register_class(GetModuleHandleW(nullptr));
  WindowThread thread;
  ExpressWindow express(thread);
  MainWindow main_window(thread, express);
  HWND main = nullptr;
  {
    DialogAnswerer answerer;
    main = main_window.create(GetModuleHandleW(nullptr), events);
  }
  ASSERT_NE(main, nullptr);
  HWND button = GetDlgItem(main, kBulkShipButton);
  const RECT frame = quillmere::testing::client_rect_of(main, GetDlgItem(main, kFunctionFrame));
  const RECT placed = quillmere::testing::client_rect_of(main, button);
  EXPECT_GT(placed.left, frame.left);
  EXPECT_LT(placed.right, frame.right);
  EXPECT_GT(placed.top, frame.top);
  EXPECT_LT(placed.bottom, frame.bottom);
  for (int id = kLoginFrame; id < kBulkShipButton; ++id) {
    if (id == kLoginFrame || id == kFunctionFrame || id == kTabs || id == kLogFrame) continue;
    EXPECT_FALSE(overlap(placed, quillmere::testing::client_rect_of(main, GetDlgItem(main, id))))
        << "over control " << id;
  }
  expect_caption_fits(button, dpi_);
  EXPECT_TRUE(GetWindowLongPtrW(button, GWL_STYLE) & WS_TABSTOP);
  // After 发货 in the Tab order.
  EXPECT_EQ(GetNextDlgTabItem(main, GetDlgItem(main, kDeliverButton), FALSE), button);
  SendMessageW(button, BM_CLICK, 0, 0);
  EXPECT_EQ(events.bulk, 1);
  DestroyWindow(main);
  pump_for(std::chrono::milliseconds(20));
}

TEST_F(BulkWindowAtScale, tab_reaches_every_enabled_button_and_the_list_in_order) {
  ASSERT_TRUE(bring_forward());
  SetFocus(GetDlgItem(bulk_, kBulkOpenButton));
  struct Case {
    bool running;
    std::vector<int> order;  // from 打开文件… (or 停止 while running), Tab after Tab
  };
  const Case cases[] = {
      {false, {kBulkPasteButton, kBulkStartButton, kBulkExportButton, kBulkList, kBulkOpenButton}},
      {true, {kBulkExportButton, kBulkList, kBulkStopButton}},
  };
  for (const Case& c : cases) {
    window_.set_running(c.running);
    SetFocus(GetDlgItem(bulk_, c.running ? kBulkStopButton : kBulkOpenButton));
    std::vector<int> seen;
    for (std::size_t i = 0; i < c.order.size(); ++i) {
      keys({VK_TAB});
      seen.push_back(focused_id());
    }
    EXPECT_EQ(seen, c.order) << (c.running ? "running" : "idle");
  }
  keys({VK_SHIFT, VK_TAB});
  EXPECT_EQ(focused_id(), kBulkList);
  // The focus on a button that is disabled moves on to the next.
  SetFocus(GetDlgItem(bulk_, kBulkStopButton));
  window_.set_running(false);
  EXPECT_EQ(focused_id(), kBulkExportButton);
}

TEST_F(BulkWindowAtScale, ctrl_v_and_paste_hand_the_clipboards_text_to_the_events_as_gbk) {
  ASSERT_TRUE(bring_forward());
  SetFocus(GetDlgItem(bulk_, kBulkList));
  // As Excel or WPS copies a range: tabs, CRLF, a long order number that no number can hold.
  const std::wstring copied =
      L"\u8ba2\u5355\u53f7\t\u5feb\u9012\u516c\u53f8\t\u5feb\u9012\u5355\u53f7\r\n"
      L"1234567890123456789012345\t\u987a\u4e30\u901f\u8fd0\tSF1234567890\r\n";
  const std::string expected =
      gbk(u8"订单号\t快递公司\t快递单号\r\n1234567890123456789012345\t顺丰速运\tSF1234567890\r\n");
  set_clipboard_text(bulk_, copied);
  keys({VK_CONTROL, 'V'});
  SendMessageW(GetDlgItem(bulk_, kBulkPasteButton), BM_CLICK, 0, 0);
  EXPECT_EQ(events_.pastes, (std::vector<std::string>{expected, expected}));

  // Nothing while a run is out.
  window_.set_running(true);
  keys({VK_CONTROL, 'V'});
  SendMessageW(GetDlgItem(bulk_, kBulkPasteButton), BM_CLICK, 0, 0);
  window_.set_running(false);
  EXPECT_EQ(events_.pastes.size(), 2u);

  // No text, and a clipboard that another program holds: the owner is told, nothing is pasted,
  // and the window is not held up.
  set_clipboard_text(bulk_, L"");
  std::atomic<bool> holding{false}, release{false};
  std::thread holder;
  {
    DialogAnswerer answerer;
    keys({VK_CONTROL, 'V'});
    holder = std::thread([&] {
      holding = OpenClipboard(nullptr) != FALSE;
      while (!release) Sleep(10);
      if (holding) CloseClipboard();
    });
    // Wine's OpenClipboard may ask the clipboard's owner, this thread, first.
    while (!holding) pump_for(std::chrono::milliseconds(5));
    const auto started = std::chrono::steady_clock::now();
    SendMessageW(GetDlgItem(bulk_, kBulkPasteButton), BM_CLICK, 0, 0);
    // Most of it is the box, which Wine takes about 2 s to show and take away.
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    release = true;
    holder.join();
    const std::vector<std::wstring> told = answerer.texts();
    ASSERT_EQ(told.size(), 2u);
    EXPECT_EQ(app::gbk(told[0]).substr(0, 12), gbk(u8"剪贴板里没有"));
    EXPECT_EQ(app::gbk(told[1]).substr(0, 12), gbk(u8"剪贴板正被其"));
  }
  EXPECT_EQ(events_.pastes.size(), 2u);
}

TEST_F(BulkWindowAtScale,
       esc_closes_only_when_nothing_is_being_sent_and_every_close_asks_the_events) {
  ASSERT_TRUE(bring_forward());
  SetFocus(GetDlgItem(bulk_, kBulkList));
  window_.set_running(true);
  keys({VK_ESCAPE});
  EXPECT_TRUE(IsWindow(bulk_));
  EXPECT_EQ(events_.close_requests, 0) << "Esc does nothing during a run";
  // The close box and Alt+F4 ask; a run that is not over keeps the window.
  events_.allow_close = false;
  SendMessageW(bulk_, WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindow(bulk_));
  EXPECT_EQ(events_.close_requests, 1);

  window_.set_running(false);
  events_.allow_close = true;
  keys({VK_ESCAPE});
  EXPECT_EQ(events_.close_requests, 2);
  EXPECT_FALSE(IsWindow(bulk_));
  EXPECT_FALSE(window_.is_open());
}

TEST_F(BulkWindowAtScale,
       the_buttons_follow_the_run_and_the_held_start_and_click_through_to_the_events) {
  struct Case {
    bool running, held;
    std::vector<bool> enabled;  // 打开文件…, 粘贴, 开始发货, 停止, 导出未发货…
  };
  const Case cases[] = {
      {false, false, {true, true, true, false, true}},
      {false, true, {true, true, false, false, true}},
      {true, false, {false, false, false, true, true}},
      {true, true, {false, false, false, true, true}},
  };
  for (const Case& c : cases) {
    window_.set_running(c.running);
    window_.hold_start(c.held);
    EXPECT_EQ(enabled_buttons(bulk_), c.enabled) << c.running << c.held;
  }
  window_.set_running(false);
  window_.hold_start(false);
  for (int id : {kBulkStartButton, kBulkExportButton})
    SendMessageW(GetDlgItem(bulk_, id), BM_CLICK, 0, 0);
  window_.set_running(true);
  for (int id : {kBulkStartButton, kBulkStopButton})
    SendMessageW(GetDlgItem(bulk_, id), BM_CLICK, 0, 0);
  EXPECT_EQ(events_.starts, 1);
  EXPECT_EQ(events_.stops, 1);
  EXPECT_EQ(events_.exports, 1);
}

// Which rows and cells the list was told to change.
struct TextChange {
  int row, column;
  friend bool operator==(const TextChange&, const TextChange&) = default;
};
std::vector<TextChange> changes;
WNDPROC list_procedure = nullptr;

LRESULT CALLBACK note_changes(HWND list, UINT message, WPARAM w, LPARAM l) {
  if (message == LVM_SETITEMTEXTW)
    changes.push_back({static_cast<int>(w), reinterpret_cast<const LVITEMW*>(l)->iSubItem});
  if (message == LVM_SETITEMW || message == LVM_INSERTITEMW || message == LVM_DELETEALLITEMS)
    changes.push_back({-1, -1});
  return CallWindowProcW(list_procedure, list, message, w, l);
}

TEST_F(BulkWindowAtScale, a_row_update_changes_that_rows_differing_cells_only) {
  HWND list = GetDlgItem(bulk_, kBulkList);
  const std::vector<BulkRow> rows = mixed_rows();
  window_.replace_rows(std::span(rows).first(3));
  window_.append_rows(std::span(rows).subspan(3));
  ASSERT_EQ(ListView_GetItemCount(list), 8);
  ListView_SetItemState(list, 6, LVIS_SELECTED, LVIS_SELECTED);
  std::vector<std::vector<std::wstring>> before;
  for (int row = 0; row < 8; ++row) before.push_back(row_texts(row));

  list_procedure = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(note_changes)));
  changes.clear();
  BulkRow sent = rows[2];
  sent[4] = gbk(u8"可发货");
  sent[5] = gbk(u8"发货成功");
  window_.update_row(2, sent);
  window_.update_row(2, sent);  // the same again: nothing to change
  window_.update_row(8, sent);
  window_.update_row(-1, sent);
  SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(list_procedure));
  EXPECT_EQ(changes, (std::vector<TextChange>{{2, 4}, {2, 5}}));

  for (int row = 0; row < 8; ++row) {
    if (row == 2) continue;
    EXPECT_EQ(row_texts(row), before[static_cast<std::size_t>(row)]) << "row " << row;
  }
  EXPECT_EQ(app::gbk(cell(2, 4)), gbk(u8"可发货"));
  EXPECT_EQ(app::gbk(cell(2, 5)), gbk(u8"发货成功"));
  EXPECT_EQ(app::gbk(cell(2, 1)), gbk(u8"7.20300307E+12"));
  EXPECT_EQ(ListView_GetNextItem(list, -1, LVNI_SELECTED), 6) << "the selection stays";

  // Hundreds of rows, each result set in turn as a run would.
  std::vector<BulkRow> many(600, rows[0]);
  window_.replace_rows(many);
  const auto started = std::chrono::steady_clock::now();
  for (int row = 0; row < 600; ++row) {
    many[static_cast<std::size_t>(row)][5] = gbk(u8"发货失败：系统繁忙");
    window_.update_row(row, many[static_cast<std::size_t>(row)]);
  }
  const auto spent =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started);
  std::printf("600 row updates: %.1f ms\n", spent.count());
  EXPECT_LT(spent.count(), 3000.0);
  EXPECT_EQ(app::gbk(cell(599, 5)), gbk(u8"发货失败：系统繁忙"));
  window_.replace_rows({});
  EXPECT_EQ(ListView_GetItemCount(list), 0);
}

// A folder and a file with Chinese names, as the owner's desktop may have them.
class ChineseFolder {
 public:
  ChineseFolder() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    folder =
        std::wstring(temp) + L"\u6279\u91cf\u53d1\u8d27-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
  }
  ~ChineseFolder() {
    for (const std::wstring& file : files) DeleteFileW(file.c_str());
    RemoveDirectoryW(folder.c_str());
  }
  std::wstring write(const std::wstring& name, const std::string& bytes) {
    const std::wstring path = folder + L"\\" + name;
    FileHandle file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    files.push_back(path);
    return path;
  }
  std::wstring folder;
  std::vector<std::wstring> files;
};

TEST(read_file_bytes,
     reads_whole_files_from_any_folder_beside_a_writer_and_refuses_what_is_too_large) {
  ChineseFolder place;
  // Bytes as they come: a BOM, GBK, a zero byte, CRLF.
  const std::string bytes =
      "\xef\xbb\xbf" + gbk(u8"订单号,快递公司\r\n") + std::string("1\0,2\r\n", 6);
  const std::wstring path = place.write(L"\u53d1\u8d27\u5355.csv", bytes);
  const std::wstring empty = place.write(L"empty.txt", "");
  struct Case {
    std::wstring path;
    std::size_t limit;
    DWORD error;
    std::string read;
  };
  const Case cases[] = {
      {path, kBulkInputLimit, 0, bytes},
      {path, bytes.size(), 0, bytes},
      {path, bytes.size() - 1, ERROR_FILE_TOO_LARGE, ""},
      {empty, kBulkInputLimit, 0, ""},
      {place.folder + L"\\missing.csv", kBulkInputLimit, ERROR_FILE_NOT_FOUND, ""},
  };
  for (const Case& c : cases) {
    std::string read = "left over";
    EXPECT_EQ(read_file_bytes(c.path, c.limit, &read), c.error) << c.limit;
    EXPECT_EQ(read, c.read) << c.limit;
  }
  // Excel keeps an open workbook open for writing, sharing it for reading only.
  FileHandle writer(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(writer.valid());
  std::string read;
  EXPECT_EQ(read_file_bytes(path, kBulkInputLimit, &read), 0u);
  EXPECT_EQ(read, bytes);
}

TEST_F(BulkWindowAtScale, the_open_dialog_hands_the_chosen_files_path_and_bytes_to_the_events) {
  ChineseFolder place;
  const std::string bytes = gbk(u8"订单号\t快递公司\t快递单号\r\n7203003070001\t顺丰\tSF1\r\n");
  const std::wstring path = place.write(L"\u53d1\u8d27\u5355.txt", bytes);
  {
    // The file name box of the Open dialog (cmb13, or edt1 in the old style) takes the path.
    DialogAnswerer answerer(IDOK, [&](HWND dialog) {
      for (int box : {0x47C, 0x480}) SetDlgItemTextW(dialog, box, path.c_str());
    });
    ASSERT_TRUE(bring_forward());
    keys({VK_CONTROL, 'O'});
  }
  ASSERT_EQ(events_.files.size(), 1u);
  EXPECT_EQ(events_.files[0].first, path);
  EXPECT_EQ(events_.files[0].second, bytes);
}

}  // namespace
}  // namespace quillmere::app
