#include "http/charset.h"

#include <algorithm>
#include <array>
#include <bit>
#include <initializer_list>

#include "text/codepage.h"
#include "text/regex_object.h"
#include "text/text_between.h"

namespace quillmere {
namespace {

static_assert(std::endian::native == std::endian::little, "wide buffers are UTF-16LE");

constexpr unsigned long kCompositeCheck = 0x200;  // WC_COMPOSITECHECK
constexpr std::size_t kDetectionWindow = 1024;
constexpr std::string_view kCharsetPattern = R"(<meta.+?charset=[^\w]?([-\w]+))";

struct Charset {
  std::string_view name;  // lower case
  unsigned code_page;
};

// Charset names as pages declare them, with the Windows code page that decodes each. Names are
// matched without regard to case, as the platform's own charset registry does. One line per
// family of names.
// clang-format off
constexpr std::array kCharsets = std::to_array<Charset>({
    {"utf-8", kCodePageUtf8}, {"utf8", kCodePageUtf8}, {"unicode-1-1-utf-8", kCodePageUtf8},
    {"unicode-2-0-utf-8", kCodePageUtf8}, {"x-unicode20utf8", kCodePageUtf8},
    {"gbk", kCodePageGbk}, {"gb2312", kCodePageGbk}, {"x-gbk", kCodePageGbk},
    {"cp936", kCodePageGbk}, {"windows-936", kCodePageGbk}, {"gb_2312-80", kCodePageGbk},
    {"csgb2312", kCodePageGbk}, {"chinese", kCodePageGbk}, {"iso-ir-58", kCodePageGbk},
    {"gb18030", 54936},
    {"big5", 950}, {"cn-big5", 950}, {"x-x-big5", 950}, {"csbig5", 950}, {"cp950", 950},
    {"shift_jis", 932}, {"shift-jis", 932}, {"sjis", 932}, {"x-sjis", 932}, {"ms_kanji", 932},
    {"csshiftjis", 932}, {"windows-31j", 932}, {"cp932", 932},
    {"euc-jp", 20932}, {"x-euc-jp", 20932},
    {"euc-kr", 949}, {"ks_c_5601-1987", 949}, {"ks_c_5601", 949}, {"korean", 949},
    {"csksc56011987", 949}, {"cp949", 949}, {"windows-949", 949},
    {"iso-8859-1", 28591}, {"iso8859-1", 28591}, {"iso_8859-1", 28591}, {"latin1", 28591},
    {"l1", 28591}, {"cp819", 28591}, {"csisolatin1", 28591},
    {"iso-8859-2", 28592}, {"latin2", 28592}, {"iso-8859-3", 28593}, {"iso-8859-4", 28594},
    {"iso-8859-5", 28595}, {"iso-8859-6", 28596}, {"iso-8859-7", 28597}, {"iso-8859-8", 28598},
    {"iso-8859-9", 28599}, {"latin5", 28599}, {"iso-8859-13", 28603}, {"iso-8859-15", 28605},
    {"latin-9", 28605},
    {"windows-1250", 1250}, {"windows-1251", 1251}, {"windows-1252", 1252},
    {"windows-1253", 1253}, {"windows-1254", 1254}, {"windows-1255", 1255},
    {"windows-1256", 1256}, {"windows-1257", 1257}, {"windows-1258", 1258},
    {"cp1250", 1250}, {"cp1251", 1251}, {"cp1252", 1252}, {"cp1253", 1253}, {"cp1254", 1254},
    {"cp1255", 1255}, {"cp1256", 1256}, {"cp1257", 1257}, {"cp1258", 1258},
    {"windows-874", 874}, {"tis-620", 874}, {"iso-8859-11", 874},
    {"us-ascii", 20127}, {"ascii", 20127}, {"ansi_x3.4-1968", 20127}, {"iso646-us", 20127},
    {"koi8-r", 20866}, {"cskoi8r", 20866}, {"koi8-u", 21866},
});
// clang-format on

bool same_name(std::string_view declared, std::string_view lower) {
  return std::equal(declared.begin(), declared.end(), lower.begin(), lower.end(),
                    [](char a, char b) { return ascii_lower(a) == b; });
}

unsigned code_page_of(std::string_view charset) {
  for (const Charset& c : kCharsets) {
    if (same_name(charset, c.name)) return c.code_page;
  }
  return 0;
}

// `text` decoded from the declared charset and encoded as GBK; empty when the charset is
// unknown or the system cannot decode it.
std::string redecode(std::string_view text, std::string_view charset) {
  const unsigned code_page = code_page_of(charset);
  if (code_page == 0) return {};
  std::u16string units = multibyte_to_utf16(text, code_page);
  // Systems without the GB18030 tables still decode its GBK part, which is what such pages
  // nearly always hold.
  if (units.empty() && code_page == 54936) units = multibyte_to_utf16(text, kCodePageGbk);
  std::u16string_view view = units;
  // A text reader of UTF-8 swallows the byte-order mark; it is no character of the page.
  if (code_page == kCodePageUtf8 && !view.empty() && view.front() == u'\xFEFF') {
    view.remove_prefix(1);
  }
  return utf16_to_multibyte(view, kCodePageGbk);
}

}  // namespace

std::string gbk_to_wide(std::string_view text, bool drop_terminator) {
  text = up_to_zero(text);
  if (text.empty()) return {};
  const std::u16string units = multibyte_to_utf16(text, kCodePageGbk);
  if (units.empty()) return {};
  std::string bytes(reinterpret_cast<const char*>(units.data()), units.size() * 2);
  if (!drop_terminator) bytes.append(2, '\0');
  return bytes;
}

std::string wide_to_gbk(std::string_view wide_bytes) {
  std::u16string units(wide_bytes.size() / 2, u'\0');
  std::copy_n(wide_bytes.data(), units.size() * 2, reinterpret_cast<char*>(units.data()));
  // The text ends at its first zero byte, and only a zero unit gives one.
  const std::u16string_view text = std::u16string_view(units).substr(0, units.find(u'\0'));
  return utf16_to_multibyte(text, kCodePageGbk, kCompositeCheck);
}

std::string decode_page(std::string_view body, regex_object& regex) {
  std::string page(up_to_zero(body));
  const std::string_view window = std::string_view(page).substr(0, kDetectionWindow);
  if (!regex.create(kCharsetPattern, window)) return page;
  const std::string charset = regex.submatch_text(1, 1);
  // The native names are compared exactly: "GBK" is decoded again, to the same text.
  if (charset.empty() || charset == "gbk" || charset == "gb2312") return page;
  return redecode(page, charset);
}

}  // namespace quillmere
