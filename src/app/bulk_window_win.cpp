#include "app/bulk_window_win.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shlobj.h>
#include <windowsx.h>

#include <algorithm>
#include <utility>

#include "app/control_ids.h"
#include "app/list_copy_win.h"
#include "text/gbk_literal.h"

namespace quillmere::app {
namespace {

constexpr std::string_view kCaption = "批量发货"_gbk;
// Opens with a client area of about 800 x 440; the list takes what the window gains or loses.
constexpr int kDesignLeft = 90, kDesignTop = 90, kOuterWidth = 816, kOuterHeight = 479;
// The smallest client area: the row of buttons, a few rows of the list, the bar and the summary.
constexpr app::Size kSmallest{424, 200};
// Where it opens from the main window's top left corner, at the main window's scale.
constexpr int kBesideMain = 40;

// Figures of the parts that follow the window's size: margins, the list's top, and the rows
// below it from the bottom edge up.
constexpr int kMargin = 8, kListTop = 40;
constexpr int kSummaryHeight = 24, kProgressHeight = 16, kGap = 4;

constexpr DWORD kButton = BS_PUSHBUTTON | WS_TABSTOP;
constexpr DWORD kReport = LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SINGLESEL | WS_TABSTOP;

// The buttons stay where they are; the list, the bar and the summary are placed here for the
// design's client area and follow the window's size (lay_out). The order is the Tab order.
const std::array<ControlLayout, 8> kLayout = {{
    {kBulkOpenButton, L"Button", kButton, 0, 0, 8, 8, 80, 24, "打开文件…"_gbk},
    {kBulkPasteButton, L"Button", kButton, 0, 0, 96, 8, 56, 24, "粘贴"_gbk},
    {kBulkStartButton, L"Button", kButton, 0, 0, 168, 8, 72, 24, "开始发货"_gbk},
    {kBulkStopButton, L"Button", kButton | WS_DISABLED, 0, 0, 248, 8, 56, 24, "停止"_gbk},
    {kBulkExportButton, L"Button", kButton, 0, 0, 320, 8, 96, 24, "导出未发货…"_gbk},
    {kBulkList, WC_LISTVIEWW, kReport, 0, 0, 8, 40, 784, 340, ""},
    {kBulkProgress, PROGRESS_CLASSW, 0, 0, 0, 8, 388, 784, 16, ""},
    {kBulkSummary, L"Static", SS_LEFTNOWORDWRAP | SS_CENTERIMAGE | SS_NOPREFIX, 0, 0, 8, 408, 784,
     24, ""},
}};

constexpr std::array<ListColumn, kBulkColumnCount> kColumns = {{
    {"行"_gbk, 36},
    {"订单号"_gbk, 116},
    {"快递公司"_gbk, 84},
    {"快递单号"_gbk, 116},
    {"检查"_gbk, 240},
    {"结果"_gbk, 170},
}};

constexpr std::string_view kSheetFiles = "表格文件 (*.xlsx;*.csv;*.txt)"_gbk;
constexpr std::string_view kAllFiles = "所有文件 (*.*)"_gbk;
constexpr std::string_view kFileTooLarge =
    "文件超过 32 MB，不像是发货表格。请选择 .xlsx、.csv 或 .txt 文件。"_gbk;
constexpr std::string_view kClipboardBusy = "剪贴板正被其他程序占用，请稍后再粘贴。"_gbk;
constexpr std::string_view kClipboardEmpty =
    "剪贴板里没有文字。请在 Excel 或 WPS 中选中要导入的单元格，复制后再粘贴。"_gbk;
constexpr std::string_view kPasteTooLarge = "剪贴板里的文字超过 32 MB，不像是发货表格。"_gbk;

// Another program may hold the clipboard for a moment; a third of a second is all it gets.
constexpr DWORD kClipboardPatienceMs = 300;
constexpr DWORD kClipboardPauseMs = 30;

std::wstring folder_of(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring documents_folder() {
  wchar_t path[MAX_PATH] = {};
  if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, path)))
    return path;
  return {};
}

// The Open dialog; false when the owner cancelled it.
bool ask_for_file(HWND owner, const std::wstring& start_folder, std::wstring* chosen) {
  // .xls is offered too, so that the owner who picks one is told to save it anew.
  std::wstring filter = wide(kSheetFiles);
  filter += L'\0';
  filter += L"*.xlsx;*.csv;*.txt;*.xls";
  filter += L'\0';
  filter += wide(kAllFiles);
  filter += L'\0';
  filter += L"*.*";
  filter += L'\0';
  std::vector<wchar_t> file(32768, L'\0');
  const std::wstring folder = start_folder.empty() ? documents_folder() : start_folder;

  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filter.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = static_cast<DWORD>(file.size());
  dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  dialog.Flags =
      OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
  if (!GetOpenFileNameW(&dialog)) return false;
  *chosen = file.data();
  return !chosen->empty();
}

enum class ClipboardRead { text, busy, no_text };

ClipboardRead read_clipboard_text(HWND owner, std::wstring* text) {
  text->clear();
  // By the clock, not by attempts: a failed attempt can itself take a while (seen under Wine).
  const DWORD started = GetTickCount();
  bool opened = OpenClipboard(owner) != FALSE;
  while (!opened && GetTickCount() - started < kClipboardPatienceMs) {
    Sleep(kClipboardPauseMs);
    opened = OpenClipboard(owner) != FALSE;
  }
  if (!opened) return ClipboardRead::busy;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* units = static_cast<const wchar_t*>(GlobalLock(data))) {
      // The block's size bounds the text: another program's block need not end in a zero.
      text->assign(units, wcsnlen(units, GlobalSize(data) / sizeof(wchar_t)));
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text->empty() ? ClipboardRead::no_text : ClipboardRead::text;
}

}  // namespace

DWORD read_file_bytes(const std::wstring& path, std::size_t limit, std::string* bytes) {
  bytes->clear();
  // Excel and WPS keep an open workbook open for writing; reading it beside them is harmless.
  FileHandle file(CreateFileW(
      path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file.valid()) return GetLastError();
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) return GetLastError();
  if (size.QuadPart > static_cast<LONGLONG>(limit)) return ERROR_FILE_TOO_LARGE;
  std::string content;
  content.reserve(static_cast<std::size_t>(size.QuadPart));
  // To its end as it is now: the file may have changed since its size was asked.
  std::vector<char> chunk(1 << 16);
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file.get(), chunk.data(), static_cast<DWORD>(chunk.size()), &read, nullptr))
      return GetLastError();
    if (read == 0) break;
    if (content.size() + read > limit) return ERROR_FILE_TOO_LARGE;
    content.append(chunk.data(), read);
  }
  *bytes = std::move(content);
  return 0;
}

// No owner: an ordinary top-level window of its own.
BulkWindow::BulkWindow(WindowThread& thread)
    : WindowBase({kBulkWindowClass,
                  WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                  kDesignLeft,
                  kDesignTop,
                  {kOuterWidth, kOuterHeight},
                  kSmallest}),
      list_(thread) {}

BulkWindow::~BulkWindow() { close(); }

bool BulkWindow::register_class(HINSTANCE instance) {
  // The progress bar's class is not among those start-up asks for.
  INITCOMMONCONTROLSEX classes{sizeof classes, ICC_PROGRESS_CLASS | ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&classes);
  return register_window_class(instance, kBulkWindowClass);
}

void BulkWindow::open(HWND main_window) {
  if (window_ != nullptr) {
    ShowWindow(window_, IsIconic(window_) ? SW_RESTORE : SW_SHOW);
    SetForegroundWindow(window_);
    return;
  }
  main_window_ = main_window;
  const auto instance =
      main_window != nullptr
          ? reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(main_window, GWLP_HINSTANCE))
          : GetModuleHandleW(nullptr);
  create_window(instance, kCaption);
}

void BulkWindow::close() {
  if (window_ != nullptr) DestroyWindow(window_);
}

LRESULT BulkWindow::handle(UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_CREATE: return on_create() ? 0 : -1;
    case WM_COMMAND: on_command(GET_WM_COMMAND_ID(w, l), GET_WM_COMMAND_CMD(w, l)); return 0;
    case WM_SIZE: lay_out(); return 0;
    case WM_GETMINMAXINFO: on_min_max_info(*reinterpret_cast<MINMAXINFO*>(l)); return 0;
    case WM_CLOSE: on_close(); return 0;
    case WM_DESTROY: on_destroy(); return 0;
    case kTranslateKeys: {
      MSG* given = take_key_message();
      return given != nullptr && translate_keys(*given) ? 1 : 0;
    }
    case WM_ACTIVATE:
      if (focus_.on_activate(window_, w)) return 0;
      break;
  }
  return DefWindowProcW(window_, message, w, l);
}

bool BulkWindow::on_create() {
  dpi_ = window_dpi(window_);
  control_font_.reset(create_control_font(dpi_));
  create_controls();
  if (list_.handle() == nullptr) return false;
  icons_.apply(window_, dpi_);
  ask_for_dialog_keys(window_);
  focus_.set_first(GetDlgItem(window_, kBulkOpenButton));
  fill_list();
  set_progress(progress_done_, progress_total_);
  set_summary(summary_);
  apply_button_states();
  lay_out();
  place_beside(main_window_);
  return true;
}

void BulkWindow::create_controls() {
  for (const ControlLayout& layout : kLayout) {
    HWND control = create_control(window_, layout, control_font_.get(), dpi_);
    if (layout.id == kBulkList) list_.attach(control);
  }
  if (list_.handle() == nullptr) return;
  for (const ListColumn& column : kColumns) list_.add_column(column, dpi_);
  ListView_SetExtendedListViewStyle(list_.handle(), LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
}

void BulkWindow::lay_out() {
  RECT client{};
  if (list_.handle() == nullptr || IsIconic(window_) || !GetClientRect(window_, &client)) return;
  const auto at = [this](int pixels) { return app::scale_to_dpi(pixels, dpi_); };
  const int left = at(kMargin);
  const int width = std::max(static_cast<int>(client.right) - at(kMargin) - left, 0);
  const int summary_top = static_cast<int>(client.bottom) - at(kMargin + kSummaryHeight);
  const int progress_top = summary_top - at(kGap + kProgressHeight);
  const int list_top = at(kListTop);
  const int list_bottom = progress_top - at(kGap);
  const auto place = [&](int id, int top, int height) {
    SetWindowPos(GetDlgItem(window_, id), nullptr, left, top, width, std::max(height, 0),
                 SWP_NOZORDER | SWP_NOACTIVATE);
  };
  place(kBulkList, list_top, list_bottom - list_top);
  place(kBulkProgress, progress_top, at(kProgressHeight));
  place(kBulkSummary, summary_top, at(kSummaryHeight));
}

void BulkWindow::on_min_max_info(MINMAXINFO& info) const {
  RECT outer{}, client{};
  if (window_ == nullptr || IsIconic(window_) || !GetWindowRect(window_, &outer) ||
      !GetClientRect(window_, &client))
    return;
  const int frame_width = (outer.right - outer.left) - client.right;
  const int frame_height = (outer.bottom - outer.top) - client.bottom;
  info.ptMinTrackSize.x = app::scale_to_dpi(kSmallest.width, dpi_) + frame_width;
  info.ptMinTrackSize.y = app::scale_to_dpi(kSmallest.height, dpi_) + frame_height;
}

void BulkWindow::place_beside(HWND main_window) {
  RECT main_rect{}, own_rect{};
  if (main_window == nullptr || !GetWindowRect(main_window, &main_rect) ||
      !GetWindowRect(window_, &own_rect))
    return;
  const int offset = app::scale_to_dpi(kBesideMain, window_dpi(main_window));
  SetWindowPos(window_, nullptr, main_rect.left + offset, main_rect.top + offset, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void BulkWindow::rescale(int old_dpi) {
  HFONT font = create_control_font(dpi_);
  place_controls(window_, kLayout, dpi_, [font](int) { return font; });
  control_font_.reset(font);
  list_.rescale_columns(old_dpi, dpi_);
  icons_.apply(window_, dpi_);
  lay_out();
}

void BulkWindow::on_command(int id, int code) {
  if (code != BN_CLICKED) return;
  // A click that reaches a disabled button by a message does nothing either.
  if (id != IDCANCEL && !IsWindowEnabled(GetDlgItem(window_, id))) return;
  switch (id) {
    case kBulkOpenButton: open_file(); break;
    case kBulkPasteButton: paste(); break;
    case kBulkStartButton:
      if (events_ != nullptr) events_->start_clicked();
      break;
    case kBulkStopButton:
      if (events_ != nullptr) events_->stop_clicked();
      break;
    case kBulkExportButton:
      if (events_ != nullptr) events_->export_clicked();
      break;
    // Esc closes the window as its close box does, but not while rows are being sent.
    case IDCANCEL:
      if (!running_) SendMessageW(window_, WM_CLOSE, 0, 0);
      break;
  }
}

void BulkWindow::on_close() {
  if (events_ != nullptr && !events_->close_requested()) return;
  DestroyWindow(window_);
}

void BulkWindow::on_destroy() {
  stop_dialog_keys(window_);
  icons_.release();
  list_.attach(nullptr);
  window_ = nullptr;
}

bool BulkWindow::translate_keys(MSG& message) {
  if (is_control_chord(message, 'V')) {
    paste();
    return true;
  }
  if (is_control_chord(message, 'O')) {
    open_file();
    return true;
  }
  if (is_control_chord(message, 'C') && message.hwnd == list_.handle()) {
    copy_from_list(window_, list_, app::CopyScope::row);
    return true;
  }
  return IsDialogMessageW(window_, &message) != FALSE;
}

void BulkWindow::open_file() {
  if (running_ || events_ == nullptr) return;
  std::wstring path;
  if (!ask_for_file(window_, last_folder_, &path)) return;
  last_folder_ = folder_of(path);
  std::string bytes;
  const DWORD error = read_file_bytes(path, kBulkInputLimit, &bytes);
  if (error != 0) {
    const std::string reason =
        error == ERROR_FILE_TOO_LARGE ? std::string(kFileTooLarge) : system_message(error);
    const std::wstring text = path + L"\r\n\r\n" + wide(reason);
    MessageBoxW(window_, text.c_str(), wide(kCaption).c_str(), MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  events_->bulk_file_read(path, std::move(bytes));
}

void BulkWindow::paste() {
  if (running_ || events_ == nullptr) return;
  std::wstring text;
  switch (read_clipboard_text(window_, &text)) {
    case ClipboardRead::busy: show_message(kClipboardBusy); return;
    case ClipboardRead::no_text: show_message(kClipboardEmpty); return;
    case ClipboardRead::text: break;
  }
  std::string converted = text.size() > kBulkInputLimit ? std::string() : gbk(text);
  if (text.size() > kBulkInputLimit || converted.size() > kBulkInputLimit) {
    show_message(kPasteTooLarge);
    return;
  }
  if (converted.empty()) {
    show_message(kClipboardEmpty);
    return;
  }
  events_->bulk_text_pasted(std::move(converted));
}

void BulkWindow::fill_list() {
  HWND list = list_.handle();
  if (list == nullptr) return;
  SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  ListView_DeleteAllItems(list);
  ListView_SetItemCount(list, static_cast<int>(rows_.size()));
  for (std::size_t index = 0; index < rows_.size(); ++index) {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(index);
    item.pszText = const_cast<wchar_t*>(L"");
    if (ListView_InsertItem(list, &item) < 0) break;
    set_list_row(static_cast<int>(index), rows_[index], nullptr);
  }
  SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
}

void BulkWindow::set_list_row(int index, const BulkRow& row, const BulkRow* before) {
  for (std::size_t column = 0; column < row.size(); ++column) {
    if (before != nullptr && (*before)[column] == row[column]) continue;
    if (before == nullptr && row[column].empty()) continue;
    std::wstring units = wide(row[column]);
    ListView_SetItemText(list_.handle(), index, static_cast<int>(column), units.data());
  }
}

void BulkWindow::replace_rows(std::span<const BulkRow> rows) {
  rows_.assign(rows.begin(), rows.end());
  fill_list();
}

void BulkWindow::append_rows(std::span<const BulkRow> rows) {
  const std::size_t first = rows_.size();
  rows_.insert(rows_.end(), rows.begin(), rows.end());
  HWND list = list_.handle();
  if (list == nullptr || rows.empty()) return;
  SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  for (std::size_t index = first; index < rows_.size(); ++index) {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(index);
    item.pszText = const_cast<wchar_t*>(L"");
    if (ListView_InsertItem(list, &item) < 0) break;
    set_list_row(static_cast<int>(index), rows_[index], nullptr);
  }
  SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
}

void BulkWindow::update_row(int index, const BulkRow& row) {
  if (index < 0 || static_cast<std::size_t>(index) >= rows_.size()) return;
  const BulkRow before = std::exchange(rows_[static_cast<std::size_t>(index)], row);
  if (list_.handle() != nullptr) set_list_row(index, row, &before);
}

void BulkWindow::reveal_row(int index) {
  if (list_.handle() != nullptr) ListView_EnsureVisible(list_.handle(), index, FALSE);
}

void BulkWindow::set_progress(int done, int total) {
  progress_total_ = std::max(total, 0);
  progress_done_ = std::clamp(done, 0, progress_total_);
  if (window_ == nullptr) return;
  HWND bar = GetDlgItem(window_, kBulkProgress);
  // An empty range would be refused; nothing to send shows as an empty bar.
  SendMessageW(bar, PBM_SETRANGE32, 0, std::max(progress_total_, 1));
  SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(progress_done_), 0);
}

void BulkWindow::set_summary(std::string_view text) {
  summary_ = text;
  if (window_ != nullptr) set_window_text(GetDlgItem(window_, kBulkSummary), summary_);
}

void BulkWindow::set_running(bool running) {
  running_ = running;
  apply_button_states();
}

void BulkWindow::hold_start(bool held) {
  start_held_ = held;
  apply_button_states();
}

void BulkWindow::apply_button_states() {
  if (window_ == nullptr) return;
  const std::pair<int, bool> states[] = {
      {kBulkOpenButton, !running_},
      {kBulkPasteButton, !running_},
      {kBulkStartButton, !running_ && !start_held_},
      {kBulkStopButton, running_},
      {kBulkExportButton, true},
  };
  // The enabled ones first, so that the focus on a button about to be disabled has somewhere
  // to go: a disabled button keeps no focus, and Tab and the keys go on from the next control.
  for (const auto& [id, enabled] : states) {
    if (enabled) EnableWindow(GetDlgItem(window_, id), TRUE);
  }
  for (const auto& [id, enabled] : states) {
    if (enabled) continue;
    HWND button = GetDlgItem(window_, id);
    if (GetFocus() == button) {
      if (HWND next = GetNextDlgTabItem(window_, button, FALSE)) SetFocus(next);
    }
    EnableWindow(button, FALSE);
  }
}

bool BulkWindow::ask_yes_no(std::string_view question) {
  return MessageBoxW(window_, wide(question).c_str(), wide(kCaption).c_str(),
                     MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void BulkWindow::show_message(std::string_view text, UINT flags) {
  MessageBoxW(window_, wide(text).c_str(), wide(kCaption).c_str(), flags);
}

}  // namespace quillmere::app
