#include "app/edge_text_win.h"

#include "text/codepage.h"

namespace quillmere::app {

std::wstring wide(std::string_view gbk_text) { return wstring_from(gbk_text, kCodePageGbk); }

std::string gbk(std::wstring_view wide_text) { return bytes_from(wide_text, kCodePageGbk); }

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

}  // namespace quillmere::app
