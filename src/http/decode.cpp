#include "http/decode.h"

#include <algorithm>

namespace quillmere {
namespace {

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::string url_decode(std::string_view text, bool from_utf8) {
  text = up_to_zero(text);
  std::string out;
  out.reserve(text.size());
  const std::size_t size = text.size();
  std::size_t i = 0;
  while (i < size) {
    // Copy the run up to the next "%" in one piece: replies are mostly plain bytes.
    const std::size_t percent = std::min(text.find('%', i), size);
    out.append(text, i, percent - i);
    if (percent == size) break;
    // The two bytes after "%" always belong to the escape, even when they are no hex digits;
    // such an escape stays a plain "%" so that "100%" or "%zz" still reads as percent.
    const int high = percent + 1 < size ? hex_value(text[percent + 1]) : -1;
    const int low = percent + 2 < size ? hex_value(text[percent + 2]) : -1;
    i = std::min(percent + 3, size);
    if (high < 0 || low < 0) {
      out.push_back('%');
    } else if (const int value = high * 16 + low; value != 0) {
      out.push_back(static_cast<char>(value));
    }
  }
  return from_utf8 ? utf8_to_gbk(out) : out;
}

std::string utf8_to_gbk(std::string_view utf8) {
  // to_wide then from_wide, without the terminator that one adds and the other strips.
  return recode(up_to_zero(utf8), kCodePageUtf8, kCodePageGbk);
}

std::u16string to_wide(std::string_view text, unsigned code_page) {
  std::u16string units = multibyte_to_utf16(up_to_zero(text), code_page);
  units.push_back(u'\0');
  return units;
}

std::string from_wide(std::u16string_view units, unsigned code_page) {
  return utf16_to_multibyte(up_to_zero(units), code_page);
}

}  // namespace quillmere
