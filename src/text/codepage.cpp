#include "text/codepage.h"

namespace quillmere {
namespace {

bool is_ascii(std::string_view text) {
  for (const unsigned char c : text) {
    if (c >= 0x80) return false;
  }
  return true;
}

bool keeps_ascii(unsigned code_page) {
  return code_page == kCodePageGbk || code_page == kCodePageUtf8;
}

}  // namespace

std::string recode(std::string_view bytes, unsigned from, unsigned to, unsigned long flags) {
  // Request texts are mostly plain ASCII, which GBK and UTF-8 write alike.
  if (keeps_ascii(from) && keeps_ascii(to) && is_ascii(bytes)) return std::string(bytes);
  return utf16_to_multibyte(multibyte_to_utf16(bytes, from), to, flags);
}

}  // namespace quillmere
