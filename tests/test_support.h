#pragma once
// Helpers shared by the test programs.

#include <string>
#include <string_view>

#include "text/codepage.h"

namespace quillmere::testing {

// A UTF-8 literal as the program's GBK text, so tests can be written readably.
inline std::string gbk(std::u8string_view utf8) {
  const std::string_view bytes(reinterpret_cast<const char*>(utf8.data()), utf8.size());
  return utf16_to_multibyte(multibyte_to_utf16(bytes, kCodePageUtf8), kCodePageGbk);
}

}  // namespace quillmere::testing
