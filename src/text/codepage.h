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

}  // namespace quillmere
