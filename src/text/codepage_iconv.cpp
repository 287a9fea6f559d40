#include <iconv.h>

#include <bit>
#include <cerrno>
#include <cstring>
#include <vector>

#include "text/codepage.h"

namespace quillmere {
namespace {

// The program's ANSI code page is GBK; natively there is no system setting to consult.
// A code page missing here is not installed: the conversion fails, as MultiByteToWideChar
// fails for it, rather than quietly decoding as something else.
const char* iconv_name(unsigned code_page) {
  switch (code_page) {
    case kCodePageAnsi:
    case kCodePageGbk: return "CP936";
    case kCodePageUtf8: return "UTF-8";
    case 54936: return "GB18030";
    case 950: return "CP950";
    case 932: return "CP932";
    case 949: return "CP949";
    case 874: return "CP874";
    case 1250: return "CP1250";
    case 1251: return "CP1251";
    case 1252: return "CP1252";
    case 1253: return "CP1253";
    case 1254: return "CP1254";
    case 1255: return "CP1255";
    case 1256: return "CP1256";
    case 1257: return "CP1257";
    case 1258: return "CP1258";
    case 20127: return "ASCII";
    case 20866: return "KOI8-R";
    case 21866: return "KOI8-U";
    case 20932: return "EUC-JP";
    case 28591: return "ISO-8859-1";
    case 28592: return "ISO-8859-2";
    case 28593: return "ISO-8859-3";
    case 28594: return "ISO-8859-4";
    case 28595: return "ISO-8859-5";
    case 28596: return "ISO-8859-6";
    case 28597: return "ISO-8859-7";
    case 28598: return "ISO-8859-8";
    case 28599: return "ISO-8859-9";
    case 28603: return "ISO-8859-13";
    case 28605: return "ISO-8859-15";
    default: return nullptr;
  }
}

bool is_double_byte(unsigned code_page) {
  return code_page == kCodePageAnsi || code_page == kCodePageGbk || code_page == 932 ||
         code_page == 949 || code_page == 950;
}

// Length of the longest start of a well-formed UTF-8 sequence at `p` (at least 1): the bytes
// that one U+FFFD stands for, as Windows and the Unicode standard replace them.
std::size_t utf8_bad_length(const unsigned char* p, std::size_t left) {
  const unsigned char b = p[0];
  std::size_t need;
  unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
  if (b >= 0xC2 && b <= 0xDF) {
    need = 2;
  } else if (b >= 0xE0 && b <= 0xEF) {
    need = 3;
    if (b == 0xE0) low = 0xA0;
    if (b == 0xED) high = 0x9F;
  } else if (b >= 0xF0 && b <= 0xF4) {
    need = 4;
    if (b == 0xF0) low = 0x90;
    if (b == 0xF4) high = 0x8F;
  } else {
    return 1;
  }
  std::size_t n = 1;
  for (; n < need && n < left; ++n) {
    const unsigned char lo = n == 1 ? low : 0x80, hi = n == 1 ? high : 0xBF;
    if (p[n] < lo || p[n] > hi) break;
  }
  return n;
}

// iconv_open costs more than converting a short text, so each thread keeps the converters it
// opened, reset to their initial state before each use.
class OpenConverters {
 public:
  ~OpenConverters() {
    for (const Entry& entry : entries_) iconv_close(entry.handle);
  }
  iconv_t get(const char* to, const char* from) {
    for (const Entry& entry : entries_) {
      if (std::strcmp(entry.to, to) == 0 && std::strcmp(entry.from, from) == 0) {
        iconv(entry.handle, nullptr, nullptr, nullptr, nullptr);
        return entry.handle;
      }
    }
    const iconv_t handle = iconv_open(to, from);
    if (handle != reinterpret_cast<iconv_t>(-1)) entries_.push_back({to, from, handle});
    return handle;
  }

 private:
  struct Entry {
    const char* to;  // names from iconv_name, which live as long as the program
    const char* from;
    iconv_t handle;
  };
  std::vector<Entry> entries_;
};

class Converter {
 public:
  Converter(const char* to, const char* from)
      : handle_(to && from ? converters().get(to, from) : reinterpret_cast<iconv_t>(-1)) {}
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool ok() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

  // Converts from `in` into the bytes of `out` (which grows as needed) until the input ends or
  // a sequence cannot be converted; returns false in the latter case with `in`/`in_left` at that
  // sequence. `used` counts the bytes of `out` filled so far.
  template <typename Buffer>
  bool run(const char*& in, std::size_t& in_left, Buffer& out, std::size_t& used) {
    constexpr std::size_t unit = sizeof(typename Buffer::value_type);
    while (in_left > 0) {
      if (out.size() * unit - used < 16) out.resize(out.size() * 2 + 64);
      // iconv never writes through its input pointer; POSIX only declares it non-const.
      char* src = const_cast<char*>(in);
      char* base = reinterpret_cast<char*>(out.data());
      char* dst = base + used;
      std::size_t dst_left = out.size() * unit - used;
      const std::size_t r = iconv(handle_, &src, &in_left, &dst, &dst_left);
      in = src;
      used = static_cast<std::size_t>(dst - base);
      if (r == static_cast<std::size_t>(-1)) {
        if (errno != E2BIG) return false;
        out.resize(out.size() * 2 + 64);
      }
    }
    return true;
  }

 private:
  static OpenConverters& converters() {
    thread_local OpenConverters open;
    return open;
  }
  iconv_t handle_;
};

}  // namespace

std::u16string multibyte_to_utf16(std::string_view bytes, unsigned code_page) {
  Converter conv("UTF-16LE", iconv_name(code_page));
  if (!conv.ok() || bytes.empty()) return {};
  static_assert(std::endian::native == std::endian::little, "units are written as UTF-16LE");
  const char* in = bytes.data();
  std::size_t in_left = bytes.size();
  // No code page takes fewer than one byte per unit, so this rarely grows.
  std::u16string units(bytes.size() + 8, u'\0');
  std::size_t used = 0;  // bytes
  while (!conv.run(in, in_left, units, used)) {
    // Replace the undecodable bytes the way MultiByteToWideChar does.
    const auto* p = reinterpret_cast<const unsigned char*>(in);
    std::size_t skip = 1;
    char16_t replacement = u'\xFFFD';
    if (code_page == kCodePageUtf8) {
      skip = utf8_bad_length(p, in_left);
    } else if (is_double_byte(code_page)) {
      replacement = u'?';
      // A lead byte takes its neighbour with it, unless that is the end or a zero byte.
      if (p[0] >= 0x81 && p[0] <= 0xFE && in_left >= 2 && p[1] != 0) skip = 2;
      if (p[0] == 0xFF && (code_page == kCodePageGbk || code_page == kCodePageAnsi)) {
        replacement = u'\xF8F5';
      }
    }
    if (used / 2 >= units.size()) units.resize(units.size() * 2 + 64);
    units[used / 2] = replacement;
    used += 2;
    in += skip;
    in_left -= skip;
  }
  units.resize(used / 2);
  return units;
}

std::string utf16_to_multibyte(std::u16string_view units, unsigned code_page, unsigned long) {
  Converter conv(iconv_name(code_page), "UTF-16LE");
  if (!conv.ok() || units.empty()) return {};
  const char* in = reinterpret_cast<const char*>(units.data());
  std::size_t in_left = units.size() * 2;
  std::string out(units.size() * 2 + 16, '\0');
  std::size_t used = 0;
  while (!conv.run(in, in_left, out, used)) {
    if (out.size() - used < 1) out.resize(out.size() * 2 + 64);
    out[used++] = '?';
    const std::size_t skip = in_left >= 2 ? 2 : in_left;
    in += skip;
    in_left -= skip;
  }
  out.resize(used);
  return out;
}

}  // namespace quillmere
