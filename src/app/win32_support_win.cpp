#include "app/win32_support_win.h"

#include <array>
#include <vector>

#include "app/resources.h"
#include "text/codepage.h"

namespace quillmere::app {

std::wstring wide(std::string_view gbk_text) {
  const std::u16string units = multibyte_to_utf16(gbk_text, kCodePageGbk);
  return {units.begin(), units.end()};
}

std::string gbk(std::wstring_view wide_text) {
  return utf16_to_multibyte(std::u16string_view(reinterpret_cast<const char16_t*>(wide_text.data()),
                                                wide_text.size()),
                            kCodePageGbk);
}

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

HFONT create_tab_caption_font() { return create_font(L"SimSun", 12); }

HFONT create_control_font() {
  static constexpr std::array kFaces = {L"SimSun", L"Microsoft YaHei", L"NSimSun",
                                        L"WenQuanYi Micro Hei", L"Noto Sans CJK SC"};
  for (const wchar_t* face : kFaces) {
    if (font_installed(face)) return create_font(face, 12);
  }
  return create_font(L"SimSun", 12);
}

HWND create_control(HWND parent, const ControlLayout& layout, HFONT font) {
  const DWORD ex_style = layout.window_class == std::wstring_view(L"Edit") ||
                                 layout.window_class == std::wstring_view(L"SysListView32")
                             ? WS_EX_CLIENTEDGE
                             : 0;
  HWND control = CreateWindowExW(
      ex_style, layout.window_class, wide(layout.text).c_str(),
      WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | layout.style,
      layout.container_left + layout.left, layout.container_top + layout.top, layout.width,
      layout.height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(layout.id)),
      reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE)), nullptr);
  if (control != nullptr && font != nullptr)
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return control;
}

}  // namespace quillmere::app
