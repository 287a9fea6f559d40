#pragma once
// Percent-decoding of replies and conversion between code pages.

#include <string>
#include <string_view>

#include "text/codepage.h"

namespace quillmere {

// Resolves "%XX" escapes ("+" stays "+"); with `from_utf8`, converts the result from UTF-8
// to code page 936.
std::string url_decode(std::string_view text, bool from_utf8 = false);

std::string utf8_to_gbk(std::string_view utf8);

// UTF-16 units of `text` in `code_page`, its terminator included.
std::u16string to_wide(std::string_view text, unsigned code_page = kCodePageUtf8);

// The units up to their first terminator, in `code_page`.
std::string from_wide(std::u16string_view units, unsigned code_page = kCodePageAnsi);

}  // namespace quillmere
