// The page text of arbitrary reply bodies, with and without a charset declaration in front.
#include <cstdint>
#include <string>

#include "http/charset.h"
#include "text/regex_object.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string body(reinterpret_cast<const char*>(data), size);
  quillmere::regex_object regex;
  quillmere::decode_page(body, regex);
  // The same bytes behind a declaration naming the start of the input as charset.
  const std::string declared = "<meta charset=" + body.substr(0, 12) + ">" + body;
  quillmere::decode_page(declared, regex);
  return 0;
}
