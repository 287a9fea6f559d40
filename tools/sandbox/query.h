#pragma once
// Reading request targets the way the platform reads them.

#include <optional>
#include <string>
#include <string_view>

namespace quillmere::sandbox {

// Every "%" followed by two hexadecimal digits becomes the byte they name; any other "%" stays.
// "+" stays "+": the program splices values into the query verbatim and never form-encodes, so
// a plus sign in a secret or a tracking number is meant literally.
std::string percent_decode(std::string_view text);

// A request target split at its first "?"; the path percent-decoded, the query left raw.
struct target_parts {
  std::string path;
  std::string query;
};
target_parts split_target(std::string_view target);

// The decoded value of the first item of `query` whose decoded key is `key`; nothing when no
// item has that key. Items are separated by "&", key and value by the first "=".
std::optional<std::string> query_value(std::string_view query, std::string_view key);

// Whether `bytes` is well-formed UTF-8 (no overlong forms, no surrogates, nothing past U+10FFFF).
bool is_utf8(std::string_view bytes);

// `bytes` made safe for one line of a log: control characters and bytes that are not part of
// well-formed UTF-8 become \xNN, and the result stops near `max_bytes` with "...".
std::string printable(std::string_view bytes, std::size_t max_bytes = 2000);

}  // namespace quillmere::sandbox
