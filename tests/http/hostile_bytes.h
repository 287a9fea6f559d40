#pragma once
// Deterministic streams of short byte strings made of the bytes that trip text code: escapes,
// separators, zero bytes, UTF-8 and GBK lead and trail bytes.

#include <cstdint>
#include <random>
#include <string>
#include <string_view>

namespace quillmere::testing {

class hostile_bytes {
 public:
  explicit hostile_bytes(std::uint32_t seed) : engine_(seed) {}

  std::string next(std::size_t max_size = 48) {
    static constexpr std::string_view kAlphabet(
        "%%%0aF9g/:;= htps.H\0\x80\x81\xa1\xbf\xc0\xd6\xd0\xe4\xb8\xad\xed\xf0\xff\x7f\x40", 34);
    std::uniform_int_distribution<std::size_t> size(0, max_size);
    std::uniform_int_distribution<std::size_t> pick(0, kAlphabet.size() - 1);
    std::string text(size(engine_), '\0');
    for (char& c : text) c = kAlphabet[pick(engine_)];
    return text;
  }

 private:
  std::mt19937 engine_;
};

}  // namespace quillmere::testing
