#include "app/win32_support_win.h"

#include <array>
#include <utility>
#include <vector>

#include "app/resources.h"
#include "text/codepage.h"

namespace quillmere::app {

std::wstring wide(std::string_view gbk_text) { return wstring_from(gbk_text, kCodePageGbk); }

std::string gbk(std::wstring_view wide_text) { return bytes_from(wide_text, kCodePageGbk); }

std::string system_message(DWORD error) {
  wchar_t* text = nullptr;
  // Without IGNORE_INSERTS a message with %1 in it would read arguments that are not there.
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message(text != nullptr ? text : L"", text != nullptr ? length : 0);
  if (text != nullptr) LocalFree(text);
  while (!message.empty() && (message.back() == L'\r' || message.back() == L'\n'))
    message.pop_back();
  return message.empty() ? std::to_string(error) : gbk(message);
}

std::string window_text(HWND window) {
  const int length = GetWindowTextLengthW(window);
  if (length <= 0) return {};
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(window, text.data(), length + 1);
  text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
  return gbk(text);
}

void set_window_text(HWND window, std::string_view gbk_text) {
  SetWindowTextW(window, wide(gbk_text).c_str());
}

std::wstring program_directory() {
  std::vector<wchar_t> path(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return L".";
    if (n < path.size()) {
      std::wstring full(path.data(), n);
      const auto slash = full.find_last_of(L"\\/");
      return slash == std::wstring::npos ? L"." : full.substr(0, slash);
    }
    path.resize(path.size() * 2);  // long paths come back truncated
  }
}

namespace {

// Present from Windows 10 1607 on; declared here, since raising _WIN32_WINNT to get them would
// also change other constants (QS_ALLINPUT among them) for every older Windows.
using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
using GetSystemMetricsForDpiFunction = int(WINAPI*)(int, UINT);
using GetThreadDpiAwarenessContextFunction = HANDLE(WINAPI*)();
using GetAwarenessFromDpiAwarenessContextFunction = int(WINAPI*)(HANDLE);
constexpr int kPerMonitorAware = 2;  // DPI_AWARENESS_PER_MONITOR_AWARE, for v1 and v2 alike

template <class Function>
Function user32_function(const char* name) {
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  if (user32 == nullptr) return nullptr;
  // Through a pointer to a function without arguments, which casts to any function type.
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(user32, name)));
}

HICON load_program_icon(HINSTANCE instance, int size) {
  // Not shared: these sizes vary with the screen, and a shared icon keeps its first size.
  return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(QUILLMERE_ICON), IMAGE_ICON, size,
                                       size, LR_DEFAULTCOLOR));
}

}  // namespace

int system_dpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSX) : shop::kDesignDpi;
  if (screen != nullptr) ReleaseDC(nullptr, screen);
  return shop::usable_dpi(dpi);
}

int window_dpi(HWND window) {
  static const auto get_dpi_for_window =
      user32_function<GetDpiForWindowFunction>("GetDpiForWindow");
  if (get_dpi_for_window != nullptr)
    return shop::usable_dpi(static_cast<int>(get_dpi_for_window(window)));
  return system_dpi();
}

int system_metric_for_dpi(int index, int dpi) {
  static const auto get_metrics_for_dpi =
      user32_function<GetSystemMetricsForDpiFunction>("GetSystemMetricsForDpi");
  if (get_metrics_for_dpi != nullptr) return get_metrics_for_dpi(index, static_cast<UINT>(dpi));
  return GetSystemMetrics(index);
}

bool follows_screen_scale_changes() {
  static const auto thread_context =
      user32_function<GetThreadDpiAwarenessContextFunction>("GetThreadDpiAwarenessContext");
  static const auto awareness_of = user32_function<GetAwarenessFromDpiAwarenessContextFunction>(
      "GetAwarenessFromDpiAwarenessContext");
  if (thread_context == nullptr || awareness_of == nullptr) return false;
  return awareness_of(thread_context()) == kPerMonitorAware;
}

void WindowIcons::apply(HWND window, int dpi) {
  const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window, GWLP_HINSTANCE));
  HICON big = load_program_icon(instance, system_metric_for_dpi(SM_CXICON, dpi));
  HICON small = load_program_icon(instance, system_metric_for_dpi(SM_CXSMICON, dpi));
  if (big != nullptr) SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
  if (small != nullptr)
    SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
  // The window has let go of the old ones now.
  if (big != nullptr) std::swap(big, big_);
  if (small != nullptr) std::swap(small, small_);
  if (big != nullptr) DestroyIcon(big);
  if (small != nullptr) DestroyIcon(small);
}

void WindowIcons::release() {
  if (big_ != nullptr) DestroyIcon(big_);
  if (small_ != nullptr) DestroyIcon(small_);
  big_ = small_ = nullptr;
}

HICON program_icon(HINSTANCE instance, int size_metric) {
  const int size = GetSystemMetrics(size_metric);
  // Shared: the system owns the handle, so a window class may keep it for the whole run.
  auto icon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(QUILLMERE_ICON), IMAGE_ICON,
                                            size, size, LR_DEFAULTCOLOR | LR_SHARED));
  return icon != nullptr ? icon : LoadIconW(nullptr, IDI_APPLICATION);
}

namespace {

HFONT create_font(const wchar_t* face, int height) {
  LOGFONTW font{};
  font.lfHeight = -height;  // character height, not cell height
  font.lfWeight = FW_NORMAL;
  font.lfCharSet = GB2312_CHARSET;
  font.lfOutPrecision = OUT_DEFAULT_PRECIS;
  font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  font.lfQuality = DEFAULT_QUALITY;
  font.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
  lstrcpynW(font.lfFaceName, face, LF_FACESIZE);
  return CreateFontIndirectW(&font);
}

int CALLBACK note_found(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

bool font_installed(const wchar_t* face) {
  HDC screen = GetDC(nullptr);
  LOGFONTW wanted{};
  wanted.lfCharSet = GB2312_CHARSET;
  lstrcpynW(wanted.lfFaceName, face, LF_FACESIZE);
  bool found = false;
  EnumFontFamiliesExW(screen, &wanted, note_found, reinterpret_cast<LPARAM>(&found), 0);
  ReleaseDC(nullptr, screen);
  return found;
}

}  // namespace

HFONT create_tab_caption_font(int dpi) {
  return create_font(L"SimSun", shop::scale_to_dpi(12, dpi));
}

HFONT create_control_font(int dpi) {
  static constexpr std::array kFaces = {L"SimSun", L"Microsoft YaHei", L"NSimSun",
                                        L"WenQuanYi Micro Hei", L"Noto Sans CJK SC"};
  const int height = shop::scale_to_dpi(12, dpi);
  for (const wchar_t* face : kFaces) {
    if (font_installed(face)) return create_font(face, height);
  }
  return create_font(L"SimSun", height);
}

namespace {

// Where a layout row puts its control in the parent's client area at `dpi`: the container's
// offset and the control's own, each scaled as the figure it is.
RECT placed(const ControlLayout& layout, int dpi) {
  const auto at = [dpi](int pixels) { return shop::scale_to_dpi(pixels, dpi); };
  const int left = at(layout.container_left) + at(layout.left);
  const int top = at(layout.container_top) + at(layout.top);
  return {left, top, left + at(layout.width), top + at(layout.height)};
}

}  // namespace

HWND create_control(HWND parent, const ControlLayout& layout, HFONT font, int dpi) {
  const DWORD ex_style = layout.window_class == std::wstring_view(L"Edit") ||
                                 layout.window_class == std::wstring_view(L"SysListView32")
                             ? WS_EX_CLIENTEDGE
                             : 0;
  const RECT place = placed(layout, dpi);
  HWND control = CreateWindowExW(
      ex_style, layout.window_class, wide(layout.text).c_str(),
      WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | layout.style, place.left, place.top,
      place.right - place.left, place.bottom - place.top, parent,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(layout.id)),
      reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE)), nullptr);
  if (control != nullptr && font != nullptr)
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return control;
}

void place_controls(HWND parent, std::span<const ControlLayout> layout, int dpi,
                    const std::function<HFONT(int id)>& font_for) {
  for (const ControlLayout& row : layout) {
    HWND control = GetDlgItem(parent, row.id);
    if (control == nullptr) continue;
    const RECT place = placed(row, dpi);
    SetWindowPos(control, nullptr, place.left, place.top, place.right - place.left,
                 place.bottom - place.top, SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_for(row.id)), TRUE);
  }
}

namespace {

shop::Size outer_size(HWND window) {
  RECT outer{};
  GetWindowRect(window, &outer);
  return {outer.right - outer.left, outer.bottom - outer.top};
}

void resize(HWND window, shop::Size size) {
  SetWindowPos(window, nullptr, 0, 0, size.width, size.height,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

void size_window(HWND window, shop::Size outer, int dpi) {
  const shop::Size wanted{shop::scale_to_dpi(outer.width, dpi),
                          shop::scale_to_dpi(outer.height, dpi)};
  if (outer_size(window) != wanted) resize(window, wanted);
}

void grow_to_hold_content(HWND window, shop::Size content, int dpi) {
  RECT client{};
  // A minimised window has no client area to measure.
  if (IsIconic(window) || !GetClientRect(window, &client)) return;
  const shop::Size now = outer_size(window);
  const shop::Size grown = shop::grow_to_hold(
      now, {client.right - client.left, client.bottom - client.top},
      {shop::scale_to_dpi(content.width, dpi), shop::scale_to_dpi(content.height, dpi)});
  if (grown != now) resize(window, grown);
}

void take_suggested_rect(HWND window, LPARAM suggested) {
  const RECT& rect = *reinterpret_cast<const RECT*>(suggested);
  SetWindowPos(window, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace quillmere::app
