#pragma once
// Program texts written readably: "登陆成功\r\n"_gbk is that text's GBK bytes, made by the
// compiler. ASCII stays as it is; every other character is looked up in text/gbk_table.h,
// which scripts/gbk-table regenerates from the texts in src/. A character missing there stops
// the compilation at a call whose name says to run that script.
//
// The result is a constant with static storage: it converts to std::string_view (the bytes
// without the terminating zero) and has c_str(), so texts stay constexpr and nothing is
// converted at start-up.

#include <cstddef>
#include <string_view>

#include "text/gbk_table.h"

namespace quillmere {
namespace gbk_literal {

// The table is keyed by the characters the compiler reads from UTF-8 narrow literals; a build
// with another execution character set would look up the wrong bytes.
consteval bool narrow_literals_are_utf8() {
  constexpr char narrow[] = "登陆";
  constexpr char8_t utf8[] = u8"登陆";
  static_assert(sizeof narrow == sizeof utf8);
  for (std::size_t i = 0; i < sizeof narrow; ++i) {
    if (static_cast<char8_t>(narrow[i]) != utf8[i]) return false;
  }
  return true;
}
static_assert(narrow_literals_are_utf8(), "narrow string literals must be compiled as UTF-8");

// A literal's UTF-8 bytes as a template argument, terminating zero included.
template <std::size_t N>
struct Utf8 {
  char units[N]{};
  consteval Utf8(const char (&text)[N]) {
    for (std::size_t i = 0; i < N; ++i) units[i] = text[i];
  }
};

// GBK bytes and a terminating zero that size() leaves out.
template <std::size_t N>
struct Bytes {
  char data[N]{};
  constexpr std::size_t size() const { return N - 1; }
  constexpr const char* c_str() const { return data; }
  constexpr operator std::string_view() const { return {data, N - 1}; }
};

// Declared only: reaching one during constant evaluation is a compile error that names it.
void character_missing_from_gbk_table_run_scripts_gbk_table();
void literal_is_not_valid_utf8();

// The helpers are constexpr, not consteval: clang 14 refuses immediate calls on loop variables
// inside the templates below. kEncoded is a constexpr variable, so it is made at compile time.
struct Character {
  char32_t code;
  std::size_t length;  // UTF-8 bytes
};

constexpr Character decode_utf8(const char* units, std::size_t at, std::size_t end) {
  const auto lead = static_cast<unsigned char>(units[at]);
  if (lead < 0x80) return {lead, 1};
  std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
  if (length == 0 || at + length > end) literal_is_not_valid_utf8();
  char32_t code = lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(units[at + i]);
    if ((next & 0xC0) != 0x80) literal_is_not_valid_utf8();
    code = (code << 6) | (next & 0x3F);
  }
  return {code, length};
}

constexpr const TableEntry& table_entry(char32_t code) {
  std::size_t low = 0, high = sizeof kTable / sizeof kTable[0];
  while (low < high) {
    const std::size_t middle = (low + high) / 2;
    if (kTable[middle].code < code) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  if (low == sizeof kTable / sizeof kTable[0] || kTable[low].code != code) {
    character_missing_from_gbk_table_run_scripts_gbk_table();
  }
  return kTable[low];
}

template <Utf8 text>
consteval std::size_t gbk_size() {
  constexpr std::size_t end = sizeof text.units - 1;
  std::size_t size = 0;
  for (std::size_t at = 0; at < end;) {
    const Character character = decode_utf8(text.units, at, end);
    size += character.code < 0x80 ? 1 : 2;
    at += character.length;
  }
  return size;
}

template <Utf8 text>
consteval Bytes<gbk_size<text>() + 1> encode() {
  constexpr std::size_t end = sizeof text.units - 1;
  Bytes<gbk_size<text>() + 1> bytes;
  std::size_t out = 0;
  for (std::size_t at = 0; at < end;) {
    const Character character = decode_utf8(text.units, at, end);
    if (character.code < 0x80) {
      bytes.data[out++] = static_cast<char>(character.code);
    } else {
      const TableEntry& entry = table_entry(character.code);
      bytes.data[out++] = static_cast<char>(entry.lead);
      bytes.data[out++] = static_cast<char>(entry.trail);
    }
    at += character.length;
  }
  return bytes;
}

template <Utf8 text>
inline constexpr auto kEncoded = encode<text>();

}  // namespace gbk_literal

template <gbk_literal::Utf8 text>
constexpr const auto& operator""_gbk() {
  return gbk_literal::kEncoded<text>;
}

}  // namespace quillmere
