#pragma once
// What the two request routines put on the wire and read back from it, decided apart from
// WinInet and WinHttp so that it can be tested without them.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quillmere {

// A body larger than this is cut here: a server that never stops sending would otherwise
// exhaust the 32-bit address space.
inline constexpr std::size_t kMaxBodyBytes = 16u << 20;

// --- both routines ---

// The proxy list or name: empty without a proxy, the proxy itself for a secure URL,
// "http=" and the proxy otherwise.
std::string proxy_name(std::string_view proxy, bool secure);

// Every "Set-Cookie", in any letter case, spelled exactly "Set-Cookie".
std::string normalise_set_cookie(std::string_view header_block);

// The lines of a header block, split at every "\r\n".
std::vector<std::string_view> header_lines(std::string_view header_block);

// Whether a reply header line sets a cookie, and the name=value item it gives if so.
// `line` must already have its Set-Cookie spelling normalised.
bool set_cookie_item(std::string_view line, std::string& item);

// The items of every cookie-setting line of a normalised header block, joined by "; ".
// `each_line`, when given, sees every line after its cookie has been taken.
std::string cookies_from_reply_headers(
    std::string_view header_block,
    const std::function<void(std::string_view line)>& each_line = {});

// --- WinInet page fetch ---

inline constexpr std::string_view kWinInetDefaultAgent =
    "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

// "GET", "POST" or "HEAD"; any other number is GET.
std::string_view wininet_verb(int method);

std::uint32_t wininet_request_flags(bool secure, bool cookies_supplied, bool no_redirect);

// The value of a "User-Agent:" line (any letter case) in `headers`, else the default agent.
std::string wininet_agent(std::string_view headers);

// Completes the caller's header block in place with the lines it lacks.
void complete_wininet_headers(std::string& headers, std::string_view url, std::string_view cookies);

// --- WinHttp exchange ---

// "GET", "POST", "HEAD" or "PUT"; any other number is GET.
std::string_view winhttp_verb(int method);

// WinHttp's secure-protocol bits (WINHTTP_FLAG_SECURE_PROTOCOL_*).
inline constexpr std::uint32_t kWinHttpTls1_2 = 0x00000800;
inline constexpr std::uint32_t kWinHttpTls1_3 = 0x00002000;

// Asks `set_protocols` for TLS 1.2 with 1.3, then for TLS 1.2 alone, until one is taken: WinHttp
// on Windows 7 and 8 offers no more than TLS 1.0 unless asked, and older systems refuse the 1.3
// bit. TLS 1.0 and 1.1 are never asked for; when both choices are refused the system's own
// default stays. The protocols taken, 0 when none were.
std::uint32_t ask_for_modern_tls(const std::function<bool(std::uint32_t protocols)>& set_protocols);

// The time-out of each phase in milliseconds: 30 s for 0 or less.
int winhttp_timeout_ms(int timeout_seconds);

// The block handed to WinHttpAddRequestHeaders: the caller's lines, then each default the
// caller did not give, then the Cookie line; every line ends in "\r\n".
std::string winhttp_request_headers(std::string_view headers, std::string_view cookies);

// The status line from its 10th character up to its "\r\n" ("200 OK"); empty without "\r\n".
std::string status_text(std::string_view reply_headers);

// Whether `line` is a "Location: " line (any letter case), and its value if so.
bool location_value(std::string_view line, std::string& value);

}  // namespace quillmere
