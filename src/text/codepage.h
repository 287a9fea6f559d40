#pragma once
// Code-page conversion: MultiByteToWideChar / WideCharToMultiByte on Windows, iconv natively,
// with the same results for the code pages the program uses (936, 65001, 1252).

#include <string>
#include <string_view>

namespace quillmere {

inline constexpr unsigned kCodePageAnsi = 0;
inline constexpr unsigned kCodePageGbk = 936;
inline constexpr unsigned kCodePageUtf8 = 65001;

// Bytes in `code_page` to UTF-16 units. What cannot be decoded is replaced as Windows does:
// one U+FFFD per broken UTF-8 sequence; '?' for a double-byte lead byte without its partner.
// An unknown code page gives an empty result.
std::u16string multibyte_to_utf16(std::string_view bytes, unsigned code_page);

// UTF-16 units to bytes in `code_page`. Units the code page cannot represent become '?'.
// `flags` is passed to WideCharToMultiByte on Windows and ignored natively.
std::string utf16_to_multibyte(std::u16string_view units, unsigned code_page,
                               unsigned long flags = 0);

// `bytes` in code page `from` as bytes in code page `to`, through UTF-16, by the two rules above.
std::string recode(std::string_view bytes, unsigned from, unsigned to, unsigned long flags = 0);

// Program texts end at their first zero byte, wide texts at their first zero unit.
inline std::string_view up_to_zero(std::string_view text) {
  return text.substr(0, text.find('\0'));
}
inline std::u16string_view up_to_zero(std::u16string_view units) {
  return units.substr(0, units.find(u'\0'));
}

#ifdef _WIN32
static_assert(sizeof(wchar_t) == sizeof(char16_t), "the W functions take UTF-16");

// Text for the W functions, and back.
inline std::wstring wstring_from(std::string_view bytes, unsigned code_page = kCodePageGbk) {
  const std::u16string units = multibyte_to_utf16(bytes, code_page);
  return {units.begin(), units.end()};
}
inline std::string bytes_from(std::wstring_view units, unsigned code_page = kCodePageGbk,
                              unsigned long flags = 0) {
  return utf16_to_multibyte(
      std::u16string_view(reinterpret_cast<const char16_t*>(units.data()), units.size()), code_page,
      flags);
}
#endif

}  // namespace quillmere
