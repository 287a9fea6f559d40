#include "query.h"

#include <cstdint>

namespace quillmere::sandbox {
namespace {

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Length of the well-formed UTF-8 sequence at the start of `bytes`, 0 when there is none.
std::size_t utf8_sequence_length(std::string_view bytes) {
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(bytes[i]); };
  const std::uint8_t lead = byte(0);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  std::uint8_t low = 0x80, high = 0xBF;  // allowed range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // overlong
    if (lead == 0xED) high = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;   // overlong
    if (lead == 0xF4) high = 0x8F;  // beyond U+10FFFF
  } else {
    return 0;
  }
  if (bytes.size() < length) return 0;
  if (byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  return length;
}

}  // namespace

std::string percent_decode(std::string_view text) {
  std::string decoded;
  decoded.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && text.size() - i >= 3) {
      const int high = hex_value(text[i + 1]);
      const int low = hex_value(text[i + 2]);
      if (high >= 0 && low >= 0) {
        decoded.push_back(static_cast<char>(high * 16 + low));
        i += 2;
        continue;
      }
    }
    decoded.push_back(text[i]);
  }
  return decoded;
}

target_parts split_target(std::string_view target) {
  const std::size_t question = target.find('?');
  if (question == std::string_view::npos) return {percent_decode(target), {}};
  return {percent_decode(target.substr(0, question)), std::string(target.substr(question + 1))};
}

std::optional<std::string> query_value(std::string_view query, std::string_view key) {
  std::size_t begin = 0;
  while (begin <= query.size()) {
    std::size_t end = query.find('&', begin);
    if (end == std::string_view::npos) end = query.size();
    const std::string_view item = query.substr(begin, end - begin);
    const std::size_t equals = item.find('=');
    const std::string_view raw_key = item.substr(0, equals);
    if (percent_decode(raw_key) == key) {
      if (equals == std::string_view::npos) return std::string();
      return percent_decode(item.substr(equals + 1));
    }
    begin = end + 1;
  }
  return std::nullopt;
}

bool is_utf8(std::string_view bytes) {
  while (!bytes.empty()) {
    const std::size_t length = utf8_sequence_length(bytes);
    if (length == 0) return false;
    bytes.remove_prefix(length);
  }
  return true;
}

std::string printable(std::string_view bytes, std::size_t max_bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  while (!bytes.empty()) {
    if (out.size() >= max_bytes) {
      out += "...";
      break;
    }
    const std::size_t length = utf8_sequence_length(bytes);
    const auto lead = static_cast<std::uint8_t>(bytes[0]);
    if (length == 0 || lead < 0x20 || lead == 0x7F) {
      out += "\\x";
      out.push_back(kHex[lead >> 4]);
      out.push_back(kHex[lead & 0xF]);
      bytes.remove_prefix(1);
    } else {
      out.append(bytes.substr(0, length));
      bytes.remove_prefix(length);
    }
  }
  return out;
}

}  // namespace quillmere::sandbox
