#include "text/gbk.h"

#include <array>
#include <memory>
#include <vector>

#include "text/codepage.h"

namespace quillmere::gbk {
namespace {

constexpr std::uint32_t kEscapeBase = 0xF700;  // byte b >= 0x80 escapes to kEscapeBase + b

struct Tables {
  // Double-byte character (lead << 8 | trail) to its unit; 0 when the pair is not a character.
  std::vector<std::uint16_t> to_unicode = std::vector<std::uint16_t>(0x10000, 0);
  // Unit to its double-byte character; 0 when GBK has none.
  std::vector<std::uint16_t> from_unicode = std::vector<std::uint16_t>(0x10000, 0);
};

// Built once from the platform's own code page 936, so matching agrees with its conversions.
const Tables& tables() {
  static const std::unique_ptr<Tables> built = [] {
    auto t = std::make_unique<Tables>();
    // One conversion of every candidate pair, each followed by a line feed: a pair that does not
    // decode cannot swallow its neighbours, since 0x0A is never a trail byte.
    std::string pairs;
    std::vector<std::uint16_t> codes;
    for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
      for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
        if (trail == 0x7F) continue;
        pairs.push_back(static_cast<char>(lead));
        pairs.push_back(static_cast<char>(trail));
        pairs.push_back('\n');
        codes.push_back(static_cast<std::uint16_t>(lead << 8 | trail));
      }
    }
    const std::u16string units = multibyte_to_utf16(pairs, kCodePageGbk);
    std::size_t pos = 0;
    for (const std::uint16_t code : codes) {
      const std::size_t end = units.find(u'\n', pos);
      if (end == std::u16string::npos) break;
      if (end == pos + 1) {
        const std::uint16_t u = units[pos];
        const bool usable =
            u >= 0x80 && u != 0xFFFD && u != 0x30FB && !(u >= 0xF780 && u <= 0xF7FF);
        if (usable && t->from_unicode[u] == 0) {  // the first pair of a unit wins
          t->to_unicode[code] = u;
          t->from_unicode[u] = code;
        }
      }
      pos = end + 1;
    }
    return t;
  }();
  return *built;
}

}  // namespace

std::wstring decode(std::string_view bytes) {
  const Tables& t = tables();
  std::wstring out(bytes.size(), L'\0');
  std::size_t n = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (b < 0x80) {
      out[n++] = static_cast<wchar_t>(b);
      continue;
    }
    if (i + 1 < bytes.size()) {
      const auto trail = static_cast<unsigned char>(bytes[i + 1]);
      if (const std::uint16_t u = t.to_unicode[b << 8 | trail]) {
        out[n++] = static_cast<wchar_t>(u);
        ++i;
        continue;
      }
    }
    out[n++] = static_cast<wchar_t>(kEscapeBase + b);
  }
  out.resize(n);
  return out;
}

std::string encode(std::wstring_view text) {
  const Tables& t = tables();
  std::string out;
  out.reserve(text.size() * 2);
  for (const wchar_t w : text) {
    const auto u = static_cast<std::uint32_t>(w);
    if (u < 0x80) {
      out.push_back(static_cast<char>(u));
    } else if (u >= kEscapeBase + 0x80 && u <= kEscapeBase + 0xFF) {
      out.push_back(static_cast<char>(u - kEscapeBase));
    } else if (u < 0x10000 && t.from_unicode[u] != 0) {
      out.push_back(static_cast<char>(t.from_unicode[u] >> 8));
      out.push_back(static_cast<char>(t.from_unicode[u] & 0xFF));
    } else {
      out.push_back('?');
    }
  }
  return out;
}

}  // namespace quillmere::gbk

namespace quillmere::gbk {

std::size_t char_width(std::string_view bytes, std::size_t at) {
  const auto b = static_cast<unsigned char>(bytes[at]);
  if (b < 0x81 || at + 1 >= bytes.size()) return 1;
  const auto trail = static_cast<unsigned char>(bytes[at + 1]);
  return tables().to_unicode[b << 8 | trail] != 0 ? 2 : 1;
}

}  // namespace quillmere::gbk
