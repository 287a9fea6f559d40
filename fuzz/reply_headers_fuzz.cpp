// The readers of a reply's header block over arbitrary blocks and lines. The block is what the
// server sent, so no byte of it may crash them, and what they keep must come from it.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_input.h"
#include "http/wire.h"
#include "text/text_between.h"

namespace {

bool has_blank_edge(std::string_view text) {
  return !text.empty() &&
         (text.front() == ' ' || text.front() == '\t' || text.back() == ' ' || text.back() == '\t');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillmere;
  const auto parts = fuzz::split_input(data, size, 2);
  const std::string& block = parts[0];

  const std::string status = status_text(block);
  if (status.size() > block.size() || status.find("\r\n") != std::string::npos) __builtin_trap();
  if (!status.empty() && block.compare(9, status.size() + 2, status + "\r\n") != 0)
    __builtin_trap();

  // Only the letter case of the header's name changes.
  const std::string normalised = normalise_set_cookie(block);
  if (ascii_lower(normalised) != ascii_lower(block)) __builtin_trap();
  for (std::size_t at = find_ignore_case(normalised, "set-cookie"); at != std::string::npos;
       at = find_ignore_case(normalised, "set-cookie", at + 1)) {
    if (normalised.compare(at, 10, "Set-Cookie") != 0) __builtin_trap();
  }

  std::size_t lines = 0;
  std::size_t items = 0;
  std::string item;
  for (const std::string_view line : header_lines(normalised)) {
    ++lines;
    if (line.find("\r\n") != std::string_view::npos) __builtin_trap();
    if (set_cookie_item(line, item)) {
      if (line.find("Set-Cookie") == std::string_view::npos || has_blank_edge(item))
        __builtin_trap();
      ++items;
    }
    std::string value;
    if (location_value(line, value) && value.size() + 10 != line.size()) __builtin_trap();
  }
  std::size_t seen = 0;
  const std::string joined =
      cookies_from_reply_headers(normalised, [&](std::string_view) { ++seen; });
  if (seen != lines) __builtin_trap();
  if (items == 0 && !joined.empty()) __builtin_trap();

  // A line on its own, as the request routines hand them over.
  const std::string& line = parts[1];
  std::string value;
  const bool is_location = line.size() >= 10 && ascii_lower(line.substr(0, 10)) == "location: ";
  if (location_value(line, value) != is_location) __builtin_trap();
  set_cookie_item(line, item);
  return 0;
}
