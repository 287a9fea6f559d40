#include <cstdint>

#include "fuzz_input.h"
#include "text/text_between.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto parts = quillmere::fuzz::split_input(data, size, 4);
  const int start = parts[3].empty() ? 0 : static_cast<signed char>(parts[3][0]);
  const std::string a = quillmere::text_between(parts[0], parts[1], parts[2], start, false);
  const std::string b = quillmere::text_between(parts[0], parts[1], parts[2], start, true);
  if (a.size() > parts[0].size() || b.size() > parts[0].size()) __builtin_trap();
  quillmere::replace_all(parts[0], parts[1], parts[2]);
  return 0;
}
