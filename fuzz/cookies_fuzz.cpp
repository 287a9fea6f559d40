#include <cstdint>

#include "fuzz_input.h"
#include "http/cookies.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto parts = quillmere::fuzz::split_input(data, size, 2);
  const std::string merged = quillmere::merge_cookies(parts[0], parts[1]);
  if (merged != parts[0]) __builtin_trap();
  if (parts[1].find(' ') != std::string::npos) __builtin_trap();
  if (merged.find(' ') != std::string::npos && merged.find("; ") == std::string::npos)
    __builtin_trap();
  return 0;
}
