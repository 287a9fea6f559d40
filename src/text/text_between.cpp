#include "text/text_between.h"

#include <algorithm>

namespace quillmere {
namespace {

std::size_t find_from(std::string_view text, std::string_view needle, std::size_t from,
                      bool ignore_case) {
  return ignore_case ? find_ignore_case(text, needle, from) : text.find(needle, from);
}

}  // namespace

std::string replace_all(std::string_view text, std::string_view from, std::string_view to,
                        bool ignore_case) {
  if (from.empty()) return std::string(text);
  std::string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  for (std::size_t hit; (hit = find_from(text, from, pos, ignore_case)) != std::string_view::npos;
       pos = hit + from.size()) {
    out.append(text.substr(pos, hit - pos));
    out.append(to);
  }
  out.append(text.substr(pos));
  return out;
}

std::string ascii_lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = ascii_lower(c);
  return out;
}

std::vector<std::string_view> split(std::string_view text, std::string_view separator) {
  std::vector<std::string_view> parts;
  std::size_t pos = 0;
  for (std::size_t hit; (hit = text.find(separator, pos)) != std::string_view::npos;
       pos = hit + separator.size()) {
    parts.push_back(text.substr(pos, hit - pos));
  }
  parts.push_back(text.substr(pos));
  return parts;
}

std::size_t find_ignore_case(std::string_view text, std::string_view needle, std::size_t from) {
  if (from > text.size()) return std::string_view::npos;
  auto it =
      std::search(text.begin() + static_cast<std::ptrdiff_t>(from), text.end(), needle.begin(),
                  needle.end(), [](char a, char b) { return ascii_lower(a) == ascii_lower(b); });
  return it == text.end() && !needle.empty() ? std::string_view::npos
                                             : static_cast<std::size_t>(it - text.begin());
}

std::string text_between(std::string_view subject, std::string_view start_marker,
                         std::string_view end_marker, int start_position, bool ignore_case) {
  const std::string start = replace_all(start_marker, kQuoteToken, "\"");
  const std::string end = replace_all(end_marker, kQuoteToken, "\"");
  // An empty marker would "match" everywhere; no caller wants that, so it finds nothing.
  if (start.empty() || end.empty()) return {};
  const std::size_t from = start_position < 1 ? 0 : static_cast<std::size_t>(start_position - 1);
  if (from >= subject.size()) return {};
  std::size_t p = find_from(subject, start, from, ignore_case);
  if (p == std::string_view::npos) return {};
  p += start.size();
  const std::size_t q = find_from(subject, end, p, ignore_case);
  if (q == std::string_view::npos) return {};
  return std::string(subject.substr(p, q - p));
}

}  // namespace quillmere
