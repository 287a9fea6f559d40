// Percent-decoding and the code-page conversions over arbitrary bytes.
#include <cstdint>
#include <string>

#include "http/charset.h"
#include "http/decode.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::string plain = quillmere::url_decode(text);
  if (plain.size() > text.size()) __builtin_trap();
  quillmere::url_decode(text, true);
  quillmere::utf8_to_gbk(text);
  const std::u16string wide = quillmere::to_wide(text);
  quillmere::from_wide(wide, quillmere::kCodePageGbk);
  quillmere::to_wide(text, quillmere::kCodePageGbk);
  const std::string units = quillmere::gbk_to_wide(text);
  if (units.size() % 2 != 0) __builtin_trap();
  quillmere::wide_to_gbk(units);
  quillmere::wide_to_gbk(text);  // odd lengths and lone surrogates included
  quillmere::gbk_to_wide(text, true);
  return 0;
}
