#include "http/url.h"

#include <algorithm>
#include <vector>

#include "text/text_between.h"

namespace quillmere {
namespace {

// First position of `needle` in `text` (both lower case), in linear time whatever the input:
// a host can be as long as the URL, and a naive search over a long, repetitive URL is quadratic.
std::size_t find_linear(std::string_view text, std::string_view needle) {
  if (needle.empty()) return 0;
  std::vector<std::size_t> border(needle.size(), 0);
  for (std::size_t i = 1, k = 0; i < needle.size(); ++i) {
    while (k > 0 && needle[i] != needle[k]) k = border[k - 1];
    if (needle[i] == needle[k]) ++k;
    border[i] = k;
  }
  for (std::size_t i = 0, k = 0; i < text.size(); ++i) {
    while (k > 0 && text[i] != needle[k]) k = border[k - 1];
    if (text[i] == needle[k]) ++k;
    if (k == needle.size()) return i + 1 - k;
  }
  return std::string_view::npos;
}

}  // namespace

bool starts_with_https(std::string_view url) { return ascii_lower(url.substr(0, 5)) == "https"; }

std::string url_host(std::string_view url, bool keep_port) {
  std::string copy = ascii_lower(url);
  if (copy.empty() || copy.back() != '/') copy.push_back('/');
  std::string authority;
  if (copy.compare(0, 8, "https://") == 0) {
    authority = text_between(copy, "https://", "/");
  } else {
    if (copy.find("http://") == std::string::npos) copy.insert(0, "http://");
    authority = text_between(copy, "http://", "/");
  }
  if (keep_port) return authority;
  const std::size_t colon = authority.find(':');
  return colon == std::string::npos ? authority : authority.substr(0, colon);
}

int url_port(std::string_view url) {
  const std::string authority = url_host(url, true);
  const std::size_t colon = authority.rfind(':');
  if (colon == std::string::npos) return starts_with_https(url) ? 443 : 80;
  // Leading decimal digits only; a port that is missing, not a number or out of range
  // falls back to the scheme's default, so a connection never goes to port 0.
  long value = 0;
  std::size_t digits = 0;
  for (std::size_t i = colon + 1;
       i < authority.size() && authority[i] >= '0' && authority[i] <= '9'; ++i) {
    value = value * 10 + (authority[i] - '0');
    if (value > 65535) break;
    ++digits;
  }
  if (digits == 0 || value < 1 || value > 65535) return starts_with_https(url) ? 443 : 80;
  return static_cast<int>(value);
}

std::string url_path(std::string_view url) {
  const std::string host = url_host(url);
  const std::size_t at = find_linear(ascii_lower(url), host);
  if (at == std::string_view::npos) return "/";
  const std::size_t slash = url.find('/', at + host.size());
  return slash == std::string_view::npos ? std::string("/") : std::string(url.substr(slash));
}

}  // namespace quillmere
