#pragma once
// Program text at the Windows edge: GBK as the W API wants it, and back.

#include <windows.h>

#include <string>
#include <string_view>

namespace quillmere::app {

// Program text (GBK) as the W API wants it, and back.
std::wstring wide(std::string_view gbk_text);
std::string gbk(std::wstring_view wide_text);

// The whole text of a window or control, as GBK.
std::string window_text(HWND window);
void set_window_text(HWND window, std::string_view gbk_text);

}  // namespace quillmere::app
