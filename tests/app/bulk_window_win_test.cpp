// The bulk shipping window on real controls, at the screen scale of this run (ctest runs the
// BulkWindowAtScale cases at 120, 144 and 192 DPI too): its parts fit, its keys, what it hands
// to its events, and the view's operations.

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <span>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/bulk_window_win.h"
#include "app/control_ids.h"
#include "app/dialog_keys_win.h"
#include "app/screen_scale.h"
#include "app/win32_support_win.h"
#include "app_driver_win.h"
#include "test_support.h"

namespace quillmere::app {
namespace {

using namespace std::chrono_literals;
using quillmere::testing::gbk;

int at(int pixels, int dpi) { return app::scale_to_dpi(pixels, dpi); }

// This thread's messages as the program's loop takes them: keys to the dialog manager first.
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
  quillmere::testing::press(chord);
  pump_for(100ms);
}

struct RecordingEvents final : public BulkWindowEvents {
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

// Notes the text of each dialog box of a thread (a message box's is its item 0xFFFF) after
// `fill` has had it, and answers it with OK. Enumeration calls back in the system's calling
// convention, which a lambda lacks in a 32-bit program.
struct BoxWatch {
  const std::function<void(HWND)>& fill;
  std::vector<std::wstring> texts;
};

BOOL CALLBACK answer_box(HWND box, LPARAM context) {
  wchar_t name[16] = {}, text[1024] = {};
  GetClassNameW(box, name, 16);
  if (std::wstring_view(name) != L"#32770" || !IsWindowVisible(box)) return TRUE;
  auto& watch = *reinterpret_cast<BoxWatch*>(context);
  if (watch.fill) watch.fill(box);
  GetDlgItemTextW(box, 0xFFFF, text, 1024);
  watch.texts.push_back(text);
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  Sleep(200);  // gone before the next look
  return TRUE;
}

// Runs `action`, which shows dialog boxes on this thread, while another thread answers them;
// yields the boxes' texts.
std::vector<std::wstring> answering_boxes(const std::function<void()>& action,
                                          const std::function<void(HWND)>& fill = {}) {
  BoxWatch watch{fill, {}};
  std::atomic<bool> done{false};
  std::thread answerer([&, thread = GetCurrentThreadId()] {
    for (; !done; Sleep(30))
      EnumThreadWindows(thread, answer_box, reinterpret_cast<LPARAM>(&watch));
  });
  action();
  done = true;
  answerer.join();
  return watch.texts;
}

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

// The design at 96 DPI: each button's left edge and width, and the columns.
constexpr std::array<std::array<int, 3>, 5> kButtons = {{{kBulkOpenButton, 8, 80},
                                                         {kBulkPasteButton, 96, 56},
                                                         {kBulkStartButton, 168, 72},
                                                         {kBulkStopButton, 248, 56},
                                                         {kBulkExportButton, 320, 96}}};
constexpr std::array kParts = {kBulkOpenButton, kBulkPasteButton,  kBulkStartButton,
                               kBulkStopButton, kBulkExportButton, kBulkList,
                               kBulkProgress,   kBulkSummary};
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

RECT rect_of(HWND window, int id) {
  return quillmere::testing::client_rect_of(window, GetDlgItem(window, id));
}

// Every part inside the client area, none over another, lettered for `dpi`; the buttons where
// the design puts them with their captions whole, and the list between the side margins.
void expect_fits(HWND bulk, int dpi) {
  RECT client{};
  GetClientRect(bulk, &client);
  for (std::size_t i = 0; i < kParts.size(); ++i) {
    const RECT rect = rect_of(bulk, kParts[i]);
    EXPECT_TRUE(rect.left >= 0 && rect.top >= 0 && rect.right <= client.right &&
                rect.bottom <= client.bottom && rect.bottom > rect.top)
        << kParts[i] << " outside the client area at " << dpi;
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(GetDlgItem(bulk, kParts[i]), WM_GETFONT, 0, 0)),
               sizeof font, &font);
    EXPECT_EQ(font.lfHeight, -at(12, dpi)) << kParts[i];
    for (std::size_t j = i + 1; j < kParts.size(); ++j) {
      const RECT next = rect_of(bulk, kParts[j]);
      RECT both{};
      EXPECT_FALSE(IntersectRect(&both, &rect, &next))
          << kParts[i] << " over " << kParts[j] << " at " << dpi;
    }
  }
  for (const auto& [id, left, width] : kButtons) {
    const RECT rect = rect_of(bulk, id);
    EXPECT_EQ(rect.left, at(left, dpi));
    EXPECT_EQ(rect.top, at(8, dpi));
    EXPECT_EQ(rect.right - rect.left, at(width, dpi));
    // The caption in the button's own font, within the button's edges.
    HWND button = GetDlgItem(bulk, id);
    wchar_t caption[64] = {};
    const int length = GetWindowTextW(button, caption, 64);
    HDC canvas = GetDC(button);
    HGDIOBJ previous =
        SelectObject(canvas, reinterpret_cast<HFONT>(SendMessageW(button, WM_GETFONT, 0, 0)));
    SIZE extent{};
    GetTextExtentPoint32W(canvas, caption, length, &extent);
    SelectObject(canvas, previous);
    ReleaseDC(button, canvas);
    EXPECT_LE(extent.cx + at(6, dpi), rect.right - rect.left) << id << " cut at " << dpi;
  }
  const RECT list = rect_of(bulk, kBulkList);
  EXPECT_EQ(list.left, at(8, dpi));
  EXPECT_EQ(list.right, client.right - at(8, dpi));
  EXPECT_GE(list.bottom - list.top, at(90, dpi)) << "room for rows";
}

std::vector<bool> enabled_buttons(HWND bulk) {
  std::vector<bool> enabled;
  for (const auto& button : kButtons)
    enabled.push_back(IsWindowEnabled(GetDlgItem(bulk, button[0])));
  return enabled;
}

class BulkWindowAtScale : public ::testing::Test {
 protected:
  void SetUp() override {
    BulkWindow::register_class(GetModuleHandleW(nullptr));
    window_.set_events(events_);
    window_.open(nullptr);
    bulk_ = window_.window_handle();
    ASSERT_NE(bulk_, nullptr);
    const char* wanted = std::getenv("QUILLMERE_EXPECT_DPI");
    dpi_ = wanted != nullptr ? std::atoi(wanted) : app::kDesignDpi;
    ASSERT_EQ(window_dpi(bulk_), dpi_) << "the prefix's LogPixels did not reach the window";
    pump_for(50ms);
  }
  void TearDown() override {
    window_.close();
    pump_for(20ms);
  }

  bool bring_forward() {
    for (int i = 0; i < 100 && GetForegroundWindow() != bulk_; ++i) {
      SetForegroundWindow(bulk_);
      pump_for(20ms);
    }
    return GetForegroundWindow() == bulk_;
  }
  int focused() { return GetDlgCtrlID(GetFocus()); }
  std::string cell(int row, int column) {
    wchar_t text[256] = {};
    ListView_GetItemText(GetDlgItem(bulk_, kBulkList), row, column, text, 256);
    return app::gbk(std::wstring_view(text));
  }

  WindowThread thread_;
  RecordingEvents events_;
  BulkWindow window_{thread_};
  HWND bulk_ = nullptr;
  int dpi_ = app::kDesignDpi;
};

TEST_F(BulkWindowAtScale, opens_once_comes_to_the_front_again_and_shows_what_it_was_given_closed) {
  HWND other = CreateWindowW(L"Static", L"", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                             nullptr, nullptr);
  SetForegroundWindow(other);
  window_.open(nullptr);
  pump_for(50ms);
  EXPECT_EQ(window_.window_handle(), bulk_);
  EXPECT_EQ(GetForegroundWindow(), bulk_);
  EXPECT_EQ(FindWindowExW(nullptr, nullptr, kBulkWindowClass, nullptr), bulk_);
  EXPECT_EQ(FindWindowExW(nullptr, bulk_, kBulkWindowClass, nullptr), nullptr);
  DestroyWindow(other);

  window_.close();
  EXPECT_FALSE(window_.is_open());
  window_.replace_rows(mixed_rows());
  window_.set_progress(3, 4);
  window_.set_running(true);
  window_.open(nullptr);
  bulk_ = window_.window_handle();
  ASSERT_NE(bulk_, nullptr);
  EXPECT_EQ(ListView_GetItemCount(GetDlgItem(bulk_, kBulkList)), 8);
  EXPECT_EQ(cell(1, 5), gbk(u8"发货失败：无法连接微店平台"));
  EXPECT_EQ(SendMessageW(GetDlgItem(bulk_, kBulkProgress), PBM_GETPOS, 0, 0), 3);
  EXPECT_EQ(enabled_buttons(bulk_), (std::vector<bool>{false, false, false, true, true}));
}

TEST_F(BulkWindowAtScale, every_part_fits_at_this_scale_resized_and_after_a_change_of_scale) {
  window_.replace_rows(mixed_rows());
  window_.set_progress(4, 4);
  window_.set_summary(gbk(u8"已发 4 / 共 4 单，失败 1，跳过 1"));
  expect_fits(bulk_, dpi_);
  HWND list = GetDlgItem(bulk_, kBulkList);
  for (int column = 0; column < 6; ++column)
    EXPECT_EQ(ListView_GetColumnWidth(list, column), at(kColumnWidths[column], dpi_));
  // The guide's picture. Without a window manager Wine leaves the frame to it and draws none;
  // run inside a Wine desktop (explorer /desktop=shot,1000x600 app_tests.exe) to have one.
  if (const wchar_t* folder = _wgetenv(L"QUILLMERE_SCREENSHOT_DIR"); folder && dpi_ == 96) {
    bring_forward();
    pump_for(700ms);
    quillmere::testing::save_window_bitmap(bulk_, std::wstring(folder) + L"\\bulk-window.bmp");
  }

  // Shrunk as far as it goes, the window keeps room for every part.
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
  RECT outer{};
  GetWindowRect(bulk_, &outer);
  RECT suggested{outer.left, outer.top, outer.left + MulDiv(outer.right - outer.left, other, dpi_),
                 outer.top + MulDiv(outer.bottom - outer.top, other, dpi_)};
  SendMessageW(bulk_, WM_DPICHANGED, MAKEWPARAM(other, other),
               reinterpret_cast<LPARAM>(&suggested));
  expect_fits(bulk_, other);
  EXPECT_EQ(ListView_GetColumnWidth(list, 4), at(kColumnWidths[4], other));
}

TEST_F(BulkWindowAtScale, tab_reaches_every_enabled_button_and_the_list_in_order) {
  ASSERT_TRUE(bring_forward());
  const std::vector<int> idle = {kBulkPasteButton, kBulkStartButton, kBulkExportButton, kBulkList,
                                 kBulkOpenButton};
  const std::vector<int> running = {kBulkExportButton, kBulkList, kBulkStopButton};
  for (const auto& [sending, order] : {std::pair(false, idle), std::pair(true, running)}) {
    window_.set_running(sending);
    SetFocus(GetDlgItem(bulk_, order.back()));
    std::vector<int> seen;
    for (std::size_t i = 0; i < order.size(); ++i) {
      keys({VK_TAB});
      seen.push_back(focused());
    }
    EXPECT_EQ(seen, order) << (sending ? "running" : "idle");
  }
  keys({VK_SHIFT, VK_TAB});
  EXPECT_EQ(focused(), kBulkList);
  // A button that is disabled under the focus hands it on.
  SetFocus(GetDlgItem(bulk_, kBulkStopButton));
  window_.set_running(false);
  EXPECT_EQ(focused(), kBulkExportButton);
}

TEST_F(BulkWindowAtScale, ctrl_v_and_paste_hand_the_clipboards_text_to_the_events_as_gbk) {
  ASSERT_TRUE(bring_forward());
  SetFocus(GetDlgItem(bulk_, kBulkList));
  // As Excel or WPS copies a range: tabs, CRLF, an order number longer than any number holds.
  set_clipboard_text(bulk_,
                     L"\u8ba2\u5355\u53f7\t\u5feb\u9012\r\n"
                     L"1234567890123456789012345\t\u987a\u4e30\u901f\u8fd0\r\n");
  const std::string pasted = gbk(u8"订单号\t快递\r\n1234567890123456789012345\t顺丰速运\r\n");
  keys({VK_CONTROL, 'V'});
  SendMessageW(GetDlgItem(bulk_, kBulkPasteButton), BM_CLICK, 0, 0);
  window_.set_running(true);  // nothing while a run is out
  keys({VK_CONTROL, 'V'});
  SendMessageW(GetDlgItem(bulk_, kBulkPasteButton), BM_CLICK, 0, 0);
  window_.set_running(false);
  EXPECT_EQ(events_.pastes, (std::vector<std::string>{pasted, pasted}));

  // No text, and a clipboard that another program holds: the owner is told, nothing is pasted,
  // and the window is not held up.
  set_clipboard_text(bulk_, L"");
  std::atomic<bool> holding{false}, release{false};
  std::thread holder;
  const std::vector<std::wstring> told = answering_boxes([&] {
    keys({VK_CONTROL, 'V'});
    holder = std::thread([&] {
      holding = OpenClipboard(nullptr) != FALSE;
      while (!release) Sleep(10);
      if (holding) CloseClipboard();
    });
    while (!holding) pump_for(5ms);  // Wine's OpenClipboard may ask the owner, this thread
    const auto started = std::chrono::steady_clock::now();
    SendMessageW(GetDlgItem(bulk_, kBulkPasteButton), BM_CLICK, 0, 0);
    // Most of it is the box, which Wine takes about 2 s to show and take away.
    EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
  });
  release = true;
  holder.join();
  ASSERT_EQ(told.size(), 2u);
  EXPECT_EQ(app::gbk(told[0]).substr(0, 12), gbk(u8"剪贴板里没有"));
  EXPECT_EQ(app::gbk(told[1]).substr(0, 12), gbk(u8"剪贴板正被其"));
  EXPECT_EQ(events_.pastes.size(), 2u);
}

TEST_F(BulkWindowAtScale, buttons_and_esc_follow_the_run_and_only_enabled_buttons_click) {
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
    for (int id : {kBulkStartButton, kBulkStopButton, kBulkExportButton})
      SendMessageW(GetDlgItem(bulk_, id), BM_CLICK, 0, 0);
  }
  EXPECT_EQ(events_.starts, 1);
  EXPECT_EQ(events_.stops, 2);
  EXPECT_EQ(events_.exports, 4);

  // Esc closes only when nothing is being sent; every close asks first.
  ASSERT_TRUE(bring_forward());
  SetFocus(GetDlgItem(bulk_, kBulkList));
  keys({VK_ESCAPE});
  EXPECT_EQ(events_.close_requests, 0) << "Esc does nothing during a run";
  events_.allow_close = false;  // the close box during a run: asked, and kept open
  SendMessageW(bulk_, WM_CLOSE, 0, 0);
  EXPECT_EQ(events_.close_requests, 1);
  window_.set_running(false);
  events_.allow_close = true;
  keys({VK_ESCAPE});
  EXPECT_EQ(events_.close_requests, 2);
  EXPECT_FALSE(IsWindow(bulk_));
  EXPECT_FALSE(window_.is_open());
}

// The rows and cells the list is told to change.
std::vector<std::pair<int, int>> changes;
WNDPROC list_procedure = nullptr;

LRESULT CALLBACK note_changes(HWND list, UINT message, WPARAM w, LPARAM l) {
  if (message == LVM_SETITEMTEXTW)
    changes.emplace_back(static_cast<int>(w), reinterpret_cast<const LVITEMW*>(l)->iSubItem);
  if (message == LVM_SETITEMW || message == LVM_INSERTITEMW || message == LVM_DELETEALLITEMS)
    changes.emplace_back(-1, -1);
  return CallWindowProcW(list_procedure, list, message, w, l);
}

TEST_F(BulkWindowAtScale, a_row_update_changes_that_rows_differing_cells_only) {
  HWND list = GetDlgItem(bulk_, kBulkList);
  const std::vector<BulkRow> rows = mixed_rows();
  window_.replace_rows(std::span(rows).first(3));
  window_.append_rows(std::span(rows).subspan(3));
  ASSERT_EQ(ListView_GetItemCount(list), 8);
  ListView_SetItemState(list, 6, LVIS_SELECTED, LVIS_SELECTED);

  list_procedure = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(note_changes)));
  BulkRow sent = rows[2];
  sent[4] = gbk(u8"可发货");
  sent[5] = gbk(u8"发货成功");
  for (int index : {2, 2, 8, -1}) window_.update_row(index, sent);  // again, then past the ends
  SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(list_procedure));
  EXPECT_EQ(changes, (std::vector<std::pair<int, int>>{{2, 4}, {2, 5}}));

  for (int row = 0; row < 8; ++row) {
    const BulkRow& shown = row == 2 ? sent : rows[static_cast<std::size_t>(row)];
    for (int column = 0; column < 6; ++column)
      EXPECT_EQ(cell(row, column), shown[static_cast<std::size_t>(column)]) << row << column;
  }
  EXPECT_EQ(ListView_GetNextItem(list, -1, LVNI_SELECTED), 6) << "the selection stays";
  window_.replace_rows({});
  EXPECT_EQ(ListView_GetItemCount(list), 0);
}

// A folder and files with Chinese names, as the owner's desktop may have them.
struct ChineseFolder {
  ChineseFolder() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    folder = temp + (L"\u6279\u91cf\u53d1\u8d27-" + std::to_wstring(GetCurrentProcessId()));
    CreateDirectoryW(folder.c_str(), nullptr);
  }
  ~ChineseFolder() {
    for (const std::wstring& file : files) DeleteFileW(file.c_str());
    RemoveDirectoryW(folder.c_str());
  }
  std::wstring write(const std::wstring& name, const std::string& bytes) {
    files.push_back(folder + L"\\" + name);
    FileHandle file(
        CreateFileW(files.back().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    return files.back();
  }
  std::wstring folder;
  std::vector<std::wstring> files;
};

TEST(read_file_bytes, reads_whole_files_from_any_folder_beside_a_writer_up_to_the_limit) {
  ChineseFolder place;
  // Bytes as they come: a BOM, GBK, a zero byte, CRLF.
  const std::string bytes = "\xef\xbb\xbf" + gbk(u8"订单号,快递\r\n") + std::string("1\0,2\r\n", 6);
  const std::wstring path = place.write(L"\u53d1\u8d27\u5355.csv", bytes);
  const struct {
    std::wstring path;
    std::size_t limit;
    DWORD error;
    std::string read;
  } cases[] = {
      {path, kBulkInputLimit, 0, bytes},
      {path, bytes.size(), 0, bytes},
      {path, bytes.size() - 1, ERROR_FILE_TOO_LARGE, ""},
      {place.write(L"empty.txt", ""), kBulkInputLimit, 0, ""},
      {place.folder + L"\\missing.csv", kBulkInputLimit, ERROR_FILE_NOT_FOUND, ""},
  };
  for (const auto& c : cases) {
    std::string read = "left over";
    EXPECT_EQ(read_file_bytes(c.path, c.limit, &read), c.error) << c.limit;
    EXPECT_EQ(read, c.read) << c.limit;
  }
  // Excel keeps an open workbook open for writing, shared for reading only.
  FileHandle writer(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(writer.valid());
  std::string read;
  EXPECT_EQ(read_file_bytes(path, kBulkInputLimit, &read), 0u);
  EXPECT_EQ(read, bytes);
}

TEST_F(BulkWindowAtScale, ctrl_o_hands_the_chosen_files_path_and_bytes_to_the_events) {
  ChineseFolder place;
  const std::string bytes = gbk(u8"订单号\t快递公司\t快递单号\r\n7203003070001\t顺丰\tSF1\r\n");
  const std::wstring path = place.write(L"\u53d1\u8d27\u5355.txt", bytes);
  ASSERT_TRUE(bring_forward());
  // The Open dialog's file name box (cmb13, or edt1 in the old style) takes the path.
  answering_boxes(
      [&] {
        keys({VK_CONTROL, 'O'});
      },
      [&](HWND dialog) {
        for (int box : {0x47C, 0x480}) SetDlgItemTextW(dialog, box, path.c_str());
      });
  EXPECT_EQ(events_.files, (std::vector<std::pair<std::wstring, std::string>>{{path, bytes}}));
}

}  // namespace
}  // namespace quillmere::app
