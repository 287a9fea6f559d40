#pragma once
// A lossless GBK codec for matching: every byte string decodes to one wide character per GBK
// character, and encodes back to the same bytes. Bytes that do not form a GBK character decode
// to U+F780 + (byte - 0x80), private-use characters that no GBK character maps to.

#include <cstdint>
#include <string>
#include <string_view>

namespace quillmere::gbk {

// The wide text of `bytes`, one unit per character.
std::wstring decode(std::string_view bytes);

// How many bytes the character `unit` (a result of `decode`) took in the subject: 1 or 2.
inline std::size_t byte_width(wchar_t unit) {
  const auto u = static_cast<std::uint32_t>(unit);
  return (u < 0x80 || (u >= 0xF780 && u <= 0xF7FF)) ? 1 : 2;
}

// The bytes of `text`; characters that GBK cannot represent become '?'.
std::string encode(std::wstring_view text);

}  // namespace quillmere::gbk

namespace quillmere::gbk {

// How many bytes the character at `at` takes, by the same rule as `decode`: 2 for a lead
// byte whose pair is a GBK character, else 1. `at` must lie inside `bytes`.
std::size_t char_width(std::string_view bytes, std::size_t at);

}  // namespace quillmere::gbk
