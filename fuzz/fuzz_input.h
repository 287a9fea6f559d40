#pragma once
// Splits one fuzz input into several texts at 0x00 0xFF pairs, so a target can vary each
// argument of the routine it drives.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillmere::fuzz {

inline std::vector<std::string> split_input(const std::uint8_t* data, std::size_t size,
                                            std::size_t parts) {
  std::vector<std::string> out(parts);
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  for (std::size_t i = 0; i + 1 < parts; ++i) {
    const std::size_t cut = rest.find(std::string_view("\0\xff", 2));
    if (cut == std::string_view::npos) {
      out[i] = std::string(rest);
      return out;
    }
    out[i] = std::string(rest.substr(0, cut));
    rest.remove_prefix(cut + 2);
  }
  out[parts - 1] = std::string(rest);
  return out;
}

}  // namespace quillmere::fuzz
