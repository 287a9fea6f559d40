#include "app_driver_win.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <thread>

namespace quillmere::testing {
namespace {

struct FoundWindow {
  DWORD process;
  const wchar_t* window_class;
  HWND found;
  HWND except = nullptr;
};

BOOL CALLBACK match_top_window(HWND window, LPARAM context) {
  auto& wanted = *reinterpret_cast<FoundWindow*>(context);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  if (process == wanted.process && IsWindowVisible(window) && window != wanted.except &&
      lstrcmpiW(name, wanted.window_class) == 0) {
    wanted.found = window;
    return FALSE;
  }
  return TRUE;
}

HWND find_top_window(DWORD process, const wchar_t* window_class, HWND except = nullptr) {
  FoundWindow wanted{process, window_class, nullptr, except};
  EnumWindows(match_top_window, reinterpret_cast<LPARAM>(&wanted));
  return wanted.found;
}

BOOL CALLBACK note_visible_icon(HWND child, LPARAM found) {
  wchar_t name[16] = {};
  GetClassNameW(child, name, 16);
  const LONG style = GetWindowLongW(child, GWL_STYLE);
  if (lstrcmpiW(name, L"Static") == 0 && (style & SS_TYPEMASK) == SS_ICON &&
      IsWindowVisible(child) && send_message(child, STM_GETICON, 0, 0) != 0)
    *reinterpret_cast<bool*>(found) = true;
  return TRUE;
}

constexpr wchar_t kWineTrayClass[] = L"__winex11_standalone_tray";
constexpr wchar_t kWineTrayIconClass[] = L"__winex11_tray_icon";

BOOL CALLBACK note_tray_icon(HWND child, LPARAM found) {
  wchar_t name[32] = {};
  GetClassNameW(child, name, 32);
  if (lstrcmpiW(name, kWineTrayIconClass) == 0 && IsWindowVisible(child))
    reinterpret_cast<std::vector<HWND>*>(found)->push_back(child);
  return TRUE;
}

struct NoticeSearch {
  HWND tray;
  HWND found;
};

BOOL CALLBACK match_notice(HWND window, LPARAM context) {
  auto& search = *reinterpret_cast<NoticeSearch*>(context);
  wchar_t name[32] = {};
  GetClassNameW(window, name, 32);
  HWND owner = GetWindow(window, GW_OWNER);
  if (lstrcmpiW(name, L"tooltips_class32") == 0 && IsWindowVisible(window) && owner != nullptr &&
      (owner == search.tray || GetAncestor(owner, GA_ROOT) == search.tray)) {
    search.found = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

std::vector<HWND> tray_icon_windows() {
  std::vector<HWND> icons;
  if (HWND tray = FindWindowW(kWineTrayClass, nullptr))
    EnumChildWindows(tray, note_tray_icon, reinterpret_cast<LPARAM>(&icons));
  return icons;
}

HWND new_tray_icon(const std::vector<HWND>& before) {
  HWND found = nullptr;
  for (HWND icon : tray_icon_windows()) {
    if (std::find(before.begin(), before.end(), icon) != before.end()) continue;
    if (found != nullptr) return nullptr;
    found = icon;
  }
  return found;
}

HWND visible_notice() {
  NoticeSearch search{FindWindowW(kWineTrayClass, nullptr), nullptr};
  if (search.tray == nullptr) return nullptr;
  EnumWindows(match_notice, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

void click_tray_icon(HWND icon, UINT down, UINT up) {
  PostMessageW(icon, down, down == WM_RBUTTONDOWN ? MK_RBUTTON : MK_LBUTTON, MAKELPARAM(4, 4));
  PostMessageW(icon, up, 0, MAKELPARAM(4, 4));
}

HWND open_menu_of(DWORD process) { return find_top_window(process, L"#32768"); }

void broadcast_taskbar_created() {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(HWND_BROADCAST, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0,
                      SMTO_ABORTIFHUNG, 5000, &result);
}

bool wait_until(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() > end) return condition();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

std::wstring utf16(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring units(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), units.data(), n);
  return units;
}

std::string utf8(const std::wstring& units) {
  if (units.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, units.data(), static_cast<int>(units.size()),
                                    nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, units.data(), static_cast<int>(units.size()), bytes.data(), n,
                      nullptr, nullptr);
  return bytes;
}

LRESULT send_message(HWND window, UINT message, WPARAM w, LPARAM l,
                     std::chrono::milliseconds limit) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(window, message, w, l, SMTO_NORMAL, static_cast<UINT>(limit.count()),
                           &result)) {
    // A window that is gone fails at once; only one that does not answer is a fault.
    if (IsWindow(window))
      ADD_FAILURE() << "message 0x" << std::hex << message << std::dec << " unanswered after "
                    << limit.count() << " ms";
    return 0;
  }
  return static_cast<LRESULT>(result);
}

std::wstring text_of(HWND window) {
  const auto length = send_message(window, WM_GETTEXTLENGTH, 0, 0);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const auto copied =
      send_message(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<std::size_t>(copied));
  return text;
}

void set_text(HWND window, const std::wstring& text) {
  send_message(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void click(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

class AppProcess::RemoteBuffer {
 public:
  RemoteBuffer(HANDLE process, std::size_t size)
      : process_(process),
        address_(VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)) {
  }
  ~RemoteBuffer() {
    if (address_ != nullptr) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
  }
  RemoteBuffer(const RemoteBuffer&) = delete;
  RemoteBuffer& operator=(const RemoteBuffer&) = delete;

  char* at(std::size_t offset) const { return static_cast<char*>(address_) + offset; }
  void write(std::size_t offset, const void* data, std::size_t size) const {
    WriteProcessMemory(process_, at(offset), data, size, nullptr);
  }
  void read(std::size_t offset, void* data, std::size_t size) const {
    ReadProcessMemory(process_, at(offset), data, size, nullptr);
  }

 private:
  HANDLE process_;
  void* address_;
};

AppProcess::AppProcess(const std::wstring& program, const std::wstring& folder) {
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring copy = folder + L"\\quillmere.exe";
  if (!CopyFileW(program.c_str(), copy.c_str(), FALSE)) return;
  std::wstring command = L"\"" + copy + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  if (!CreateProcessW(copy.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      folder.c_str(), &startup, &process_))
    process_ = {};
}

AppProcess::~AppProcess() {
  if (process_.hProcess == nullptr) return;
  if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
    TerminateProcess(process_.hProcess, 99);
    WaitForSingleObject(process_.hProcess, 5000);
  }
  CloseHandle(process_.hThread);
  CloseHandle(process_.hProcess);
}

MessageBoxSeen AppProcess::message_box(std::chrono::milliseconds limit, HWND except) {
  MessageBoxSeen seen;
  wait_until([&] { return (seen.box = find_top_window(id(), L"#32770", except)) != nullptr; },
             limit);
  if (seen.box == nullptr) return seen;
  // The text control of a message box has the id 0xFFFF on Windows and under Wine.
  wait_until([&] { return !(seen.text = text_of(GetDlgItem(seen.box, 0xFFFF))).empty(); }, 2s);
  EnumChildWindows(seen.box, note_visible_icon, reinterpret_cast<LPARAM>(&seen.has_icon));
  return seen;
}

void AppProcess::dismiss(const MessageBoxSeen& seen) {
  if (seen.box == nullptr) return;
  PostMessageW(seen.box, WM_COMMAND, IDOK, 0);
  wait_until([&] { return !IsWindow(seen.box); }, 5s);
}

HWND AppProcess::top_window(const wchar_t* window_class, std::chrono::milliseconds limit) {
  HWND found = nullptr;
  wait_until([&] { return (found = find_top_window(id(), window_class)) != nullptr; }, limit);
  return found;
}

long AppProcess::exit_code(std::chrono::milliseconds limit) {
  if (WaitForSingleObject(process_.hProcess, static_cast<DWORD>(limit.count())) != WAIT_OBJECT_0)
    return -1;
  DWORD code = 0;
  GetExitCodeProcess(process_.hProcess, &code);
  return static_cast<long>(code);
}

int AppProcess::row_count(HWND list) const {
  return static_cast<int>(send_message(list, LVM_GETITEMCOUNT, 0, 0));
}

std::wstring AppProcess::cell(HWND list, int row, int column) const {
  constexpr int kChars = 1024;
  RemoteBuffer remote(process_.hProcess, sizeof(LVITEMW) + kChars * sizeof(wchar_t));
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = reinterpret_cast<wchar_t*>(remote.at(sizeof(LVITEMW)));
  item.cchTextMax = kChars;
  remote.write(0, &item, sizeof item);
  const auto copied =
      send_message(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(remote.at(0)));
  std::wstring text(static_cast<std::size_t>(copied), L'\0');
  remote.read(sizeof(LVITEMW), text.data(), text.size() * sizeof(wchar_t));
  return text;
}

std::wstring AppProcess::column_title(HWND list, int column) const {
  constexpr int kChars = 256;
  RemoteBuffer remote(process_.hProcess, sizeof(LVCOLUMNW) + kChars * sizeof(wchar_t));
  LVCOLUMNW column_info{};
  column_info.mask = LVCF_TEXT;
  column_info.pszText = reinterpret_cast<wchar_t*>(remote.at(sizeof(LVCOLUMNW)));
  column_info.cchTextMax = kChars;
  remote.write(0, &column_info, sizeof column_info);
  if (!send_message(list, LVM_GETCOLUMNW, column, reinterpret_cast<LPARAM>(remote.at(0))))
    return {};
  std::wstring text(kChars, L'\0');
  remote.read(sizeof(LVCOLUMNW), text.data(), text.size() * sizeof(wchar_t));
  text.resize(wcsnlen(text.c_str(), kChars));
  return text;
}

int AppProcess::column_width(HWND list, int column) const {
  return static_cast<int>(send_message(list, LVM_GETCOLUMNWIDTH, column, 0));
}

void AppProcess::select_row(HWND list, int row) const {
  RemoteBuffer remote(process_.hProcess, sizeof(LVITEMW));
  LVITEMW item{};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  remote.write(0, &item, sizeof item);
  send_message(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(remote.at(0)));
}

void AppProcess::post_select_row(HWND list, int row) const {
  void* remote = VirtualAllocEx(process_.hProcess, nullptr, sizeof(LVITEMW),
                                MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  LVITEMW item{};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  WriteProcessMemory(process_.hProcess, remote, &item, sizeof item, nullptr);
  PostMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(remote));
}

namespace {

struct WindowsOf {
  DWORD process;
  std::vector<HWND> found;
};

BOOL CALLBACK collect_window_of(HWND window, LPARAM l) {
  auto* search = reinterpret_cast<WindowsOf*>(l);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == search->process) search->found.push_back(window);
  return TRUE;
}

}  // namespace

std::vector<HWND> AppProcess::top_windows() const {
  WindowsOf search{process_.dwProcessId, {}};
  EnumWindows(collect_window_of, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

int AppProcess::selected_row(HWND list) const {
  return static_cast<int>(
      SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void AppProcess::clear_selection(HWND list) const {
  RemoteBuffer remote(process_.hProcess, sizeof(LVITEMW));
  LVITEMW item{};
  item.stateMask = LVIS_SELECTED;
  remote.write(0, &item, sizeof item);
  send_message(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1),
               reinterpret_cast<LPARAM>(remote.at(0)));
}

void AppProcess::set_date(HWND picker, int year, int month, int day) const {
  RemoteBuffer remote(process_.hProcess, sizeof(SYSTEMTIME));
  SYSTEMTIME chosen{};
  chosen.wYear = static_cast<WORD>(year);
  chosen.wMonth = static_cast<WORD>(month);
  chosen.wDay = static_cast<WORD>(day);
  chosen.wHour = 12;
  remote.write(0, &chosen, sizeof chosen);
  send_message(picker, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(remote.at(0)));
}

RECT AppProcess::row_rect(HWND list, int row) const {
  RemoteBuffer remote(process_.hProcess, sizeof(RECT));
  RECT rect{};
  rect.left = LVIR_LABEL;
  remote.write(0, &rect, sizeof rect);
  send_message(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(remote.at(0)));
  remote.read(0, &rect, sizeof rect);
  return rect;
}

void AppProcess::choose_entry(HWND combo, int index) const {
  send_message(combo, CB_SETCURSEL, index, 0);
  send_message(GetParent(combo), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(combo));
}

std::wstring AppProcess::entry_text(HWND combo, int index) const {
  const auto length = send_message(combo, CB_GETLBTEXTLEN, index, 0);
  if (length <= 0) return {};
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  send_message(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<std::size_t>(length));
  return text;
}

void press(std::initializer_list<WORD> keys) {
  std::vector<INPUT> inputs;
  for (WORD key : keys) {
    INPUT down{};
    down.type = INPUT_KEYBOARD;
    down.ki.wVk = key;
    inputs.push_back(down);
  }
  for (auto key = std::rbegin(keys); key != std::rend(keys); ++key) {
    INPUT up{};
    up.type = INPUT_KEYBOARD;
    up.ki.wVk = *key;
    up.ki.dwFlags = KEYEVENTF_KEYUP;
    inputs.push_back(up);
  }
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  // The program's thread takes the keys in its own time.
  Sleep(150);
}

void type_text(const std::wstring& text) {
  std::vector<INPUT> inputs;
  for (wchar_t unit : text) {
    for (DWORD flags : {DWORD{KEYEVENTF_UNICODE}, DWORD{KEYEVENTF_UNICODE | KEYEVENTF_KEYUP}}) {
      INPUT key{};
      key.type = INPUT_KEYBOARD;
      key.ki.wScan = unit;
      key.ki.dwFlags = flags;
      inputs.push_back(key);
    }
  }
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  Sleep(150);
}

bool bring_to_front(HWND window) {
  return wait_until(
      [&] {
        if (GetForegroundWindow() != window) SetForegroundWindow(window);
        return GetForegroundWindow() == window;
      },
      3s);
}

HWND focused(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

int wait_for_focus(HWND window, int id, std::chrono::milliseconds limit) {
  int now = 0;
  wait_until([&] { return (now = GetDlgCtrlID(focused(window))) == id; }, limit);
  return now;
}

void right_click(HWND window, POINT point) {
  ClientToScreen(window, &point);
  const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  INPUT inputs[3] = {};
  for (INPUT& input : inputs) {
    input.type = INPUT_MOUSE;
    input.mi.dx = static_cast<LONG>((point.x * 65535LL + width / 2) / (width - 1));
    input.mi.dy = static_cast<LONG>((point.y * 65535LL + height / 2) / (height - 1));
  }
  inputs[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  inputs[1].mi.dwFlags = MOUSEEVENTF_RIGHTDOWN | MOUSEEVENTF_ABSOLUTE;
  inputs[2].mi.dwFlags = MOUSEEVENTF_RIGHTUP | MOUSEEVENTF_ABSOLUTE;
  SendInput(3, inputs, sizeof(INPUT));
  Sleep(300);
}

namespace {

// The clipboard's block of `format`, copied out; empty when it holds none.
std::string clipboard_bytes(UINT format) {
  std::string bytes;
  if (!OpenClipboard(nullptr)) return bytes;
  if (HANDLE block = GetClipboardData(format)) {
    if (const void* data = GlobalLock(block)) {
      bytes.assign(static_cast<const char*>(data), GlobalSize(block));
      GlobalUnlock(block);
    }
  }
  CloseClipboard();
  return bytes;
}

}  // namespace

std::wstring clipboard_text() {
  const std::string bytes = clipboard_bytes(CF_UNICODETEXT);
  std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
  if (!text.empty()) CopyMemory(text.data(), bytes.data(), text.size() * sizeof(wchar_t));
  text.resize(wcsnlen(text.c_str(), text.size()));
  return text;
}

std::string clipboard_html() {
  std::string bytes = clipboard_bytes(RegisterClipboardFormatW(L"HTML Format"));
  bytes.resize(strnlen(bytes.c_str(), bytes.size()));
  return bytes;
}

void empty_clipboard() {
  if (!OpenClipboard(nullptr)) return;
  EmptyClipboard();
  CloseClipboard();
}

std::chrono::duration<double, std::milli> answer_time(HWND window,
                                                      std::chrono::milliseconds limit) {
  const auto started = std::chrono::steady_clock::now();
  DWORD_PTR ignored = 0;
  if (!SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, static_cast<UINT>(limit.count()),
                           &ignored))
    return limit;
  return std::chrono::steady_clock::now() - started;
}

AnswerFigures measure_answer_times(HWND window, std::chrono::milliseconds span,
                                   std::chrono::milliseconds pause) {
  // Each probe starts on time on a thread of its own, so a window that is held for a while
  // answers every probe sent meanwhile late, as a person clicking at that moment would see it.
  std::vector<double> times;
  times.reserve(static_cast<std::size_t>(span / pause) + 1);
  std::vector<std::thread> probes;
  const auto start = std::chrono::steady_clock::now();
  for (auto at = start; at < start + span; at += pause) {
    std::this_thread::sleep_until(at);
    times.push_back(0);
    probes.emplace_back([window, &slot = times.back()] { slot = answer_time(window).count(); });
  }
  for (std::thread& probe : probes) probe.join();
  AnswerFigures figures;
  figures.samples = static_cast<int>(times.size());
  if (times.empty()) return figures;
  std::sort(times.begin(), times.end());
  figures.median_ms = times[times.size() / 2];
  figures.worst_ms = times.back();
  return figures;
}

RECT client_rect_of(HWND window, HWND control) {
  RECT rect{};
  GetWindowRect(control, &rect);
  MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

bool save_window_bitmap(HWND window, const std::wstring& path) {
  RECT rect{};
  GetWindowRect(window, &rect);
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
  SelectObject(memory, previous);

  BITMAPINFOHEADER info{};
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  const DWORD stride = ((static_cast<DWORD>(width) * 3 + 3) / 4) * 4;
  std::vector<char> pixels(stride * static_cast<DWORD>(height));
  GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(),
            reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);

  BITMAPFILEHEADER file_header{};
  file_header.bfType = 0x4D42;
  file_header.bfOffBits = sizeof file_header + sizeof info;
  file_header.bfSize = file_header.bfOffBits + static_cast<DWORD>(pixels.size());
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(file, &file_header, sizeof file_header, &written, nullptr) &&
            WriteFile(file, &info, sizeof info, &written, nullptr) &&
            WriteFile(file, pixels.data(), static_cast<DWORD>(pixels.size()), &written, nullptr);
  CloseHandle(file);
  return ok;
}

}  // namespace quillmere::testing
