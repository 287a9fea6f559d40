#include <windows.h>

#include "text/codepage.h"

namespace quillmere {

std::u16string multibyte_to_utf16(std::string_view bytes, unsigned code_page) {
  if (bytes.empty() || bytes.size() > 0x7fffffff) return {};
  const int size = static_cast<int>(bytes.size());
  const int n = MultiByteToWideChar(code_page, 0, bytes.data(), size, nullptr, 0);
  if (n <= 0) return {};
  std::u16string units(static_cast<std::size_t>(n), u'\0');
  MultiByteToWideChar(code_page, 0, bytes.data(), size, reinterpret_cast<wchar_t*>(units.data()),
                      n);
  return units;
}

std::string utf16_to_multibyte(std::u16string_view units, unsigned code_page, unsigned long flags) {
  if (units.empty() || units.size() > 0x3fffffff) return {};
  const auto* src = reinterpret_cast<const wchar_t*>(units.data());
  const int size = static_cast<int>(units.size());
  const int n = WideCharToMultiByte(code_page, flags, src, size, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string bytes(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(code_page, flags, src, size, bytes.data(), n, nullptr, nullptr);
  return bytes;
}

}  // namespace quillmere
