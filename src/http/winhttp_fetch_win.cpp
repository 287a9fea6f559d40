#include "http/winhttp_fetch.h"

#include <windows.h>
#include <winhttp.h>

#include "http/charset.h"
#include "http/cookies.h"
#include "http/wire.h"
#include "text/codepage.h"
#include "text/gbk_literal.h"
#include "text/regex_object.h"
#include "text/scoped_handle_win.h"

namespace quillmere {
namespace {

using WinHttpHandle = Owned<HINTERNET, WinHttpCloseHandle>;

// A program text as the zero-terminated UTF-16 string WinHttp takes; empty stays empty.
std::wstring wide(std::string_view text) { return wstring_from(up_to_zero(text)); }

std::string narrow(const wchar_t* units, std::size_t count) {
  return wide_to_gbk(std::string_view(reinterpret_cast<const char*>(units), count * 2));
}

// Failure texts, GBK.
constexpr const char* kNoPlatform = "700 当前系统不支持WinHttp服务!"_gbk.c_str();
constexpr const char* kBadUrl = "701 解析URL地址失败!"_gbk.c_str();
constexpr const char* kNoSession = "702 创建WinHttp会话失败!"_gbk.c_str();
constexpr const char* kNoConnection = "703 创建WinHttp连接失败!"_gbk.c_str();
constexpr const char* kNoRequest = "704 创建WinHttp请求失败!"_gbk.c_str();
constexpr const char* kNoTimeouts = "705 设置超时时间失败!"_gbk.c_str();
constexpr const char* kNoCredentials = "707 设置代理凭证失败!"_gbk.c_str();
constexpr const char* kNoCookieOption = "708 禁止自动设置Cookies失败!"_gbk.c_str();
constexpr const char* kNoRedirectOption = "709 重定向设置失败!"_gbk.c_str();
constexpr const char* kNoHeaders = "710 设置协议头失败!"_gbk.c_str();
constexpr const char* kNoSend = "711 发送请求失败!"_gbk.c_str();
constexpr const char* kNoResponse = "712 服务器未响应!"_gbk.c_str();
constexpr const char* kReadFailed = "713 读取数据失败!"_gbk.c_str();

bool set_dword_option(HINTERNET handle, DWORD option, DWORD value) {
  return WinHttpSetOption(handle, option, &value, sizeof value) != FALSE;
}

// The handles of one exchange, closed request first.
struct Exchange {
  WinHttpHandle session;
  WinHttpHandle connection;
  WinHttpHandle request;

  void close() {
    request.reset();
    connection.reset();
    session.reset();
  }
  std::string finish(std::string page) {
    close();
    return page;
  }
  // For the option failures.
  std::string abandon(std::string& status, const char* text) {
    close();
    status = text;
    return {};
  }
};

}  // namespace

std::string winhttp_fetch(const std::string& url, int method, const std::string& post_text,
                          std::string* cookies, std::string* new_cookies,
                          const std::string& headers, std::string* reply_headers, bool no_redirect,
                          const std::string& user, const std::string& password,
                          const std::string& proxy, const std::string& proxy_user,
                          const std::string& proxy_password, int timeout, std::string* location,
                          std::string* status, std::string* body) {
  regex_object regex;  // holds COM on this thread for the whole exchange
  std::string status_held;
  std::string& status_out = status != nullptr ? *status : status_held;

  if (!WinHttpCheckPlatform()) {
    status_out = kNoPlatform;
    return {};
  }
  Exchange exchange;
  auto fail = [&](const char* text) {
    status_out = text;
    return exchange.finish({});
  };

  const std::wstring url_wide = wide(url);
  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof parts;
  static_assert(sizeof(URL_COMPONENTS) == 60 || sizeof(void*) != 4);
  parts.dwSchemeLength = static_cast<DWORD>(-1);
  parts.dwHostNameLength = static_cast<DWORD>(-1);
  parts.dwUrlPathLength = static_cast<DWORD>(-1);
  parts.dwExtraInfoLength = static_cast<DWORD>(-1);
  if (!WinHttpCrackUrl(url_wide.c_str(), 0, 0, &parts)) return fail(kBadUrl);
  const std::string host = narrow(parts.lpszHostName, parts.dwHostNameLength);
  const INTERNET_PORT port = parts.nPort;
  const bool secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
  std::wstring object = L"/";
  if (parts.dwUrlPathLength > 0) {
    object.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
    if (parts.lpszExtraInfo != nullptr) object.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  }

  // Without a proxy WinHttpOpen wants no proxy name at all, not an empty one.
  const std::wstring proxy_wide = wide(proxy_name(proxy, secure));
  exchange.session.reset(WinHttpOpen(
      nullptr, proxy.empty() ? WINHTTP_ACCESS_TYPE_NO_PROXY : WINHTTP_ACCESS_TYPE_NAMED_PROXY,
      proxy.empty() ? WINHTTP_NO_PROXY_NAME : proxy_wide.c_str(), WINHTTP_NO_PROXY_BYPASS, 0));
  if (!exchange.session) return fail(kNoSession);
  // A refusal leaves the system's default protocols; the exchange goes on either way.
  ask_for_modern_tls([&](std::uint32_t protocols) {
    return set_dword_option(exchange.session.get(), WINHTTP_OPTION_SECURE_PROTOCOLS, protocols);
  });

  exchange.connection.reset(WinHttpConnect(exchange.session.get(), wide(host).c_str(), port, 0));
  if (!exchange.connection) return fail(kNoConnection);

  exchange.request.reset(WinHttpOpenRequest(
      exchange.connection.get(), wide(winhttp_verb(method)).c_str(), object.c_str(), nullptr,
      WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, secure ? WINHTTP_FLAG_SECURE : 0));
  if (!exchange.request) return fail(kNoRequest);
  HINTERNET request = exchange.request.get();

  const int timeout_ms = winhttp_timeout_ms(timeout);
  if (!WinHttpSetTimeouts(request, timeout_ms, timeout_ms, timeout_ms, timeout_ms)) {
    return fail(kNoTimeouts);
  }

  if (!user.empty() && !password.empty() &&
      !WinHttpSetCredentials(request, WINHTTP_AUTH_TARGET_SERVER, WINHTTP_AUTH_SCHEME_BASIC,
                             wide(user).c_str(), wide(password).c_str(), nullptr)) {
    return exchange.abandon(status_out, kNoCredentials);
  }
  if (!proxy_user.empty() && !proxy_password.empty() &&
      !WinHttpSetCredentials(request, WINHTTP_AUTH_TARGET_PROXY, WINHTTP_AUTH_SCHEME_BASIC,
                             wide(proxy_user).c_str(), wide(proxy_password).c_str(), nullptr)) {
    return exchange.abandon(status_out, kNoCredentials);
  }
  // With caller's cookies WinHttp's own handling may stay on: it only matters across the
  // redirects of this one exchange, whose session is new.
  if (cookies == nullptr &&
      !set_dword_option(request, WINHTTP_OPTION_DISABLE_FEATURE, WINHTTP_DISABLE_COOKIES)) {
    return exchange.abandon(status_out, kNoCookieOption);
  }
  if (no_redirect &&
      !set_dword_option(request, WINHTTP_OPTION_DISABLE_FEATURE, WINHTTP_DISABLE_REDIRECTS)) {
    return exchange.abandon(status_out, kNoRedirectOption);
  }

  // Deliveries go out through here, and one must reach the platform once. A kept connection
  // that the server has closed in the meantime is where a stack sends a request again by
  // itself; with keep-alive off, every exchange has a connection of its own (its session is
  // new too) and asks the server to close it after the reply. A refusal changes nothing else.
  set_dword_option(request, WINHTTP_OPTION_DISABLE_FEATURE, WINHTTP_DISABLE_KEEP_ALIVE);

  const std::wstring block =
      wide(winhttp_request_headers(headers, cookies != nullptr ? *cookies : std::string()));
  if (!WinHttpAddRequestHeaders(request, block.c_str(), static_cast<DWORD>(block.size()),
                                WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE)) {
    return fail(kNoHeaders);
  }

  const DWORD body_length = static_cast<DWORD>(post_text.size());
  if (!WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                          post_text.empty() ? nullptr : const_cast<char*>(post_text.data()),
                          body_length, body_length, 0)) {
    return fail(kNoSend);
  }

  if (!WinHttpReceiveResponse(request, nullptr)) return fail(kNoResponse);

  std::string received;
  std::string chunk;
  for (;;) {
    DWORD available = 0;
    if (!WinHttpQueryDataAvailable(request, &available) || available < 1) break;
    chunk.resize(available);
    DWORD read = 0;
    if (!WinHttpReadData(request, chunk.data(), available, &read)) {
      status_out = kReadFailed;
      break;
    }
    received.append(chunk.data(), read);
    if (received.size() >= kMaxBodyBytes) break;
  }

  DWORD header_bytes = 0;
  DWORD index = 0;
  WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                      WINHTTP_NO_OUTPUT_BUFFER, &header_bytes, &index);
  std::string raw(header_bytes, '\0');
  index = 0;
  if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                           raw.data(), &header_bytes, &index)) {
    return exchange.finish({});
  }
  raw.resize(header_bytes);

  std::string reply = wide_to_gbk(raw);
  status_out = status_text(reply);
  reply = normalise_set_cookie(reply);

  std::string value;
  std::string cookies_set = cookies_from_reply_headers(reply, [&](std::string_view line) {
    if (location != nullptr && location_value(line, value)) *location = value;
  });
  if (cookies != nullptr) merge_cookies(*cookies, cookies_set);
  if (new_cookies != nullptr) *new_cookies = std::move(cookies_set);
  if (reply_headers != nullptr) *reply_headers = std::move(reply);

  std::string page = decode_page(received, regex);
  if (body != nullptr) *body = std::move(received);
  return exchange.finish(std::move(page));
}

}  // namespace quillmere
