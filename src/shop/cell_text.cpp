#include "shop/cell_text.h"

#include "text/gbk.h"

namespace quillmere::shop {
namespace {

// GBK's row of full-width ASCII forms: 0xA3 0xA1 is ！ (U+FF01), up to 0xA3 0xFE; the trail
// byte less 0x80 is the ASCII character.
constexpr unsigned char kFullWidthRow = 0xA3;
// The ideographic space, 0xA1 0xA1.
constexpr unsigned char kIdeographicSpaceByte = 0xA1;

bool is_ascii_blank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// Whether the character of `width` bytes at `at` is a blank.
bool blank_at(std::string_view text, std::size_t at, std::size_t width) {
  if (width == 1) return is_ascii_blank(text[at]);
  return static_cast<unsigned char>(text[at]) == kIdeographicSpaceByte &&
         static_cast<unsigned char>(text[at + 1]) == kIdeographicSpaceByte;
}

// The ASCII character a full-width form stands for, or 0.
char full_width_ascii(std::string_view text, std::size_t at, std::size_t width) {
  if (width != 2 || static_cast<unsigned char>(text[at]) != kFullWidthRow) return 0;
  const auto trail = static_cast<unsigned char>(text[at + 1]);
  if (trail < 0xA1 || trail > 0xFE) return 0;
  return static_cast<char>(trail - 0x80);
}

bool is_letter_or_digit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

std::string trim_blanks(std::string_view text) {
  std::size_t begin = text.size();
  std::size_t end = 0;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t width = gbk::char_width(text, at);
    if (!blank_at(text, at, width)) {
      if (begin == text.size()) begin = at;
      end = at + width;
    }
    at += width;
  }
  if (begin >= end) return {};
  return std::string(text.substr(begin, end - begin));
}

bool has_blank(std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t width = gbk::char_width(text, at);
    if (blank_at(text, at, width)) return true;
    at += width;
  }
  return false;
}

std::string half_width_letters_digits(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t width = gbk::char_width(text, at);
    const char ascii = full_width_ascii(text, at, width);
    if (ascii != 0 && is_letter_or_digit(ascii)) {
      out.push_back(ascii);
    } else {
      out.append(text.substr(at, width));
    }
    at += width;
  }
  return out;
}

std::string folded_for_matching(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t width = gbk::char_width(text, at);
    char ascii = full_width_ascii(text, at, width);
    if (ascii == 0 && width == 2 && blank_at(text, at, width)) ascii = ' ';
    if (ascii == 0 && width == 1) ascii = text[at];
    if (ascii != 0) {
      out.push_back(ascii >= 'a' && ascii <= 'z' ? static_cast<char>(ascii - 'a' + 'A') : ascii);
    } else {
      out.append(text.substr(at, width));
    }
    at += width;
  }
  return out;
}

bool contains_characters(std::string_view text, std::string_view needle) {
  if (needle.empty()) return true;
  for (std::size_t at = 0; at + needle.size() <= text.size();) {
    if (text.compare(at, needle.size(), needle) == 0) return true;
    at += gbk::char_width(text, at);
  }
  return false;
}

}  // namespace quillmere::shop
