#include "http/cookies.h"

#include "text/text_between.h"

#include <string_view>
#include <unordered_set>
#include <vector>

namespace quillmere {
namespace {

std::string_view trim_spaces(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const std::size_t last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

void remove_spaces(std::string& text) { std::erase(text, ' '); }

}  // namespace

std::string cookie_name(std::string_view item) {
  return std::string(trim_spaces(item.substr(0, item.find('='))));
}

std::string merge_cookies(std::string& cookies, std::string& new_cookies) {
  remove_spaces(cookies);
  remove_spaces(new_cookies);

  // New items first; a held item joins only when no item of its name is there yet.
  std::vector<std::string_view> combined;
  std::unordered_set<std::string> names;
  // Empty items (an empty text, ";;") carry no cookie and are passed over.
  for (const std::string_view item : split(new_cookies, ";")) {
    if (item.empty()) continue;
    combined.push_back(item);
    names.insert(cookie_name(item));
  }
  for (const std::string_view item : split(cookies, ";")) {
    if (!item.empty() && names.insert(cookie_name(item)).second) combined.push_back(item);
  }

  // Joined by "; " with "=deleted" items left out, then exact duplicates dropped.
  std::string joined;
  for (const std::string_view item : combined) {
    if (item.size() >= 8 && item.substr(item.size() - 8) == "=deleted") continue;
    joined.append(item);
    joined.append("; ");
  }
  if (joined.size() >= 2) joined.resize(joined.size() - 2);

  std::string merged;
  std::unordered_set<std::string_view> seen;
  bool first = true;
  for (const std::string_view item : split(joined, "; ")) {
    if (!seen.insert(item).second) continue;
    if (!first) merged.append("; ");
    merged.append(item);
    first = false;
  }
  cookies = merged;
  return merged;
}

}  // namespace quillmere
