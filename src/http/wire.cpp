#include "http/wire.h"

#include <climits>

#include "text/text_between.h"

namespace quillmere {
namespace {

constexpr std::string_view kCrLf = "\r\n";

std::string_view trim_blanks(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool contains(std::string_view text, std::string_view needle) {
  return text.find(needle) != std::string_view::npos;
}

bool contains_ignore_case(std::string_view text, std::string_view needle) {
  return find_ignore_case(text, needle) != std::string_view::npos;
}

}  // namespace

std::string proxy_name(std::string_view proxy, bool secure) {
  if (proxy.empty()) return {};
  if (secure) return std::string(proxy);
  return "http=" + std::string(proxy);
}

std::string normalise_set_cookie(std::string_view header_block) {
  return replace_all(header_block, "Set-Cookie", "Set-Cookie", true);
}

std::vector<std::string_view> header_lines(std::string_view header_block) {
  return split(header_block, kCrLf);
}

bool set_cookie_item(std::string_view line, std::string& item) {
  if (!contains(line, "Set-Cookie")) return false;
  if (contains(line, ";")) {
    item = std::string(trim_blanks(text_between(line, "Set-Cookie:", ";")));
  } else {
    item = std::string(trim_blanks(replace_all(line, "Set-Cookie:", "", true)));
  }
  return true;
}

std::string cookies_from_reply_headers(
    std::string_view header_block, const std::function<void(std::string_view line)>& each_line) {
  std::string joined;
  std::string item;
  for (const std::string_view line : header_lines(header_block)) {
    if (set_cookie_item(line, item)) {
      joined.append(item);
      joined.append("; ");
    }
    if (each_line) each_line(line);
  }
  if (joined.size() >= 2) joined.resize(joined.size() - 2);
  return joined;
}

std::string_view wininet_verb(int method) {
  switch (method) {
    case 1: return "POST";
    case 2: return "HEAD";
    default: return "GET";
  }
}

std::uint32_t wininet_request_flags(bool secure, bool cookies_supplied, bool no_redirect) {
  // The replies carry the token and the buyers' data and the token URL carries the secret:
  // nothing of them may stay in the user's URL cache. NO_CACHE_WRITE alone is not enough,
  // INTERNET_FLAG_NEED_FILE would still have WinInet keep the body in a file of its own.
  std::uint32_t flags = 0x80000000u            // INTERNET_FLAG_RELOAD
                        | 0x04000000u;         // INTERNET_FLAG_NO_CACHE_WRITE
  if (cookies_supplied) flags |= 0x00080000u;  // INTERNET_FLAG_NO_COOKIES
  if (no_redirect) flags |= 0x00200000u;       // INTERNET_FLAG_NO_AUTO_REDIRECT
  flags |= secure ? 0x00800000u                // INTERNET_FLAG_SECURE
                  : 0x00004000u;               // INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS
  return flags;
}

std::string wininet_agent(std::string_view headers) {
  constexpr std::string_view key = "User-Agent:";
  const std::size_t hit = find_ignore_case(headers, key);
  if (hit == std::string_view::npos) return std::string(kWinInetDefaultAgent);
  std::string_view rest = headers.substr(hit + key.size());
  rest = rest.substr(0, rest.find(kCrLf));
  return std::string(trim_blanks(rest));
}

void complete_wininet_headers(std::string& headers, std::string_view url,
                              std::string_view cookies) {
  if (headers.empty()) {
    headers = "Accept: */*";
  } else if (!contains(headers, "Accept:")) {
    headers += "\r\nAccept: */*";
  }
  if (!contains(headers, "Referer:")) {
    headers += "\r\nReferer: ";
    headers += url;
  }
  if (!contains(headers, "Accept-Language:")) headers += "\r\nAccept-Language: zh-cn";
  if (!contains(headers, "Content-Type:")) {
    headers += "\r\nContent-Type: application/x-www-form-urlencoded";
  }
  if (!cookies.empty()) {
    headers += "\r\nCookie: ";
    headers += cookies;
  }
}

std::string_view winhttp_verb(int method) {
  switch (method) {
    case 1: return "POST";
    case 2: return "HEAD";
    case 3: return "PUT";
    default: return "GET";
  }
}

std::uint32_t ask_for_modern_tls(
    const std::function<bool(std::uint32_t protocols)>& set_protocols) {
  for (const std::uint32_t protocols : {kWinHttpTls1_2 | kWinHttpTls1_3, kWinHttpTls1_2}) {
    if (set_protocols(protocols)) return protocols;
  }
  return 0;
}

int winhttp_timeout_ms(int timeout_seconds) {
  if (timeout_seconds <= 0) return 30000;
  // Beyond this the product would overflow; such a time-out means "wait as long as possible".
  if (timeout_seconds > INT_MAX / 1000) return INT_MAX / 1000 * 1000;
  return timeout_seconds * 1000;
}

std::string winhttp_request_headers(std::string_view headers, std::string_view cookies) {
  struct Default {
    std::string_view key;
    bool ignore_case;
    std::string_view line;
  };
  static constexpr Default defaults[] = {
      {"User-Agent: ", true,
       "User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)\r\n"},
      {"Accept: ", true, "Accept: text/html, application/xhtml+xml, */*\r\n"},
      {"Accept-Encoding: ", true, "Accept-Encoding: gbk, GB2312\r\n"},
      {"Accept-Language: ", true, "Accept-Language: zh-cn\r\n"},
      {"Content-Type:", false, "Content-Type: application/x-www-form-urlencoded\r\n"},
      {"Cache-Control: ", true, "Cache-Control: no-cache\r\n"},
  };
  std::string block;
  if (!headers.empty()) {
    block.append(headers);
    block.append(kCrLf);
  }
  for (const Default& d : defaults) {
    const bool present =
        d.ignore_case ? contains_ignore_case(block, d.key) : contains(block, d.key);
    if (!present) block.append(d.line);
  }
  if (!cookies.empty() && !contains_ignore_case(block, "Cookie: ")) {
    block.append("Cookie: ");
    block.append(cookies);
    block.append(kCrLf);
  }
  return block;
}

std::string status_text(std::string_view reply_headers) {
  if (reply_headers.size() < 10) return {};
  const std::size_t end = reply_headers.find(kCrLf, 9);
  if (end == std::string_view::npos) return {};
  return std::string(reply_headers.substr(9, end - 9));
}

bool location_value(std::string_view line, std::string& value) {
  constexpr std::string_view key = "Location: ";
  if (line.size() < key.size() || find_ignore_case(line.substr(0, key.size()), key) != 0) {
    return false;
  }
  value = std::string(line.substr(key.size()));
  return true;
}

}  // namespace quillmere
