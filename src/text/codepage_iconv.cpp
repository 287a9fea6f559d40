#include <iconv.h>

#include <cerrno>
#include <cstring>

#include "text/codepage.h"

namespace quillmere {
namespace {

// The program's ANSI code page is GBK; natively there is no system setting to consult.
const char* iconv_name(unsigned code_page) {
  switch (code_page) {
    case kCodePageUtf8: return "UTF-8";
    case 1252: return "CP1252";
    case 20127: return "ASCII";
    case 28591: return "ISO-8859-1";
    case 950: return "CP950";
    case 932: return "CP932";
    case 949: return "CP949";
    case 54936: return "GB18030";
    case kCodePageAnsi:
    case kCodePageGbk:
    default: return "CP936";
  }
}

class Converter {
 public:
  Converter(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
  ~Converter() {
    if (ok()) iconv_close(handle_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool ok() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

  // Converts as much as possible; returns false at a byte sequence it cannot convert,
  // leaving `in`/`in_left` at it.
  bool run(char*& in, std::size_t& in_left, std::string& out) {
    char buffer[4096];
    while (in_left > 0) {
      char* dst = buffer;
      std::size_t dst_left = sizeof buffer;
      const std::size_t r = iconv(handle_, &in, &in_left, &dst, &dst_left);
      out.append(buffer, static_cast<std::size_t>(dst - buffer));
      if (r == static_cast<std::size_t>(-1) && errno != E2BIG) return false;
    }
    return true;
  }

 private:
  iconv_t handle_;
};

}  // namespace

std::u16string multibyte_to_utf16(std::string_view bytes, unsigned code_page) {
  Converter conv("UTF-16LE", iconv_name(code_page));
  if (!conv.ok() || bytes.empty()) return {};
  std::string copy(bytes);
  char* in = copy.data();
  std::size_t in_left = copy.size();
  std::string out;
  out.reserve(copy.size() * 2);
  while (!conv.run(in, in_left, out)) {
    out.append("\xfd\xff", 2);  // U+FFFD, little-endian
    ++in;
    --in_left;
  }
  std::u16string units(out.size() / 2, u'\0');
  std::memcpy(units.data(), out.data(), units.size() * 2);
  return units;
}

std::string utf16_to_multibyte(std::u16string_view units, unsigned code_page, unsigned long) {
  Converter conv(iconv_name(code_page), "UTF-16LE");
  if (!conv.ok() || units.empty()) return {};
  std::string copy(units.size() * 2, '\0');
  std::memcpy(copy.data(), units.data(), copy.size());
  char* in = copy.data();
  std::size_t in_left = copy.size();
  std::string out;
  out.reserve(units.size() * 2);
  while (!conv.run(in, in_left, out)) {
    out.push_back('?');
    const std::size_t skip = in_left >= 2 ? 2 : in_left;
    in += skip;
    in_left -= skip;
  }
  return out;
}

}  // namespace quillmere
