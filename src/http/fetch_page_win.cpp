#include "http/fetch_page.h"

#include <windows.h>
#include <wininet.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "http/cookies.h"
#include "http/url.h"
#include "http/wire.h"
#include "text/scoped_handle_win.h"

namespace quillmere {
namespace {

using InternetHandle = Owned<HINTERNET, InternetCloseHandle>;

constexpr DWORD kReadChunk = 1024;
constexpr DWORD kReplyHeaderRoom = 5000;

std::string read_body(HINTERNET request) {
  std::string body;
  char chunk[kReadChunk];
  for (;;) {
    DWORD delivered = 0;
    if (!InternetReadFile(request, chunk, kReadChunk, &delivered)) delivered = 0;
    if (delivered == 0) break;
    body.append(chunk, delivered);
    if (body.size() >= kMaxBodyBytes) break;
  }
  return body;
}

std::string query_raw_headers(HINTERNET request) {
  std::string block(kReplyHeaderRoom, '\0');
  DWORD size = kReplyHeaderRoom;
  if (!HttpQueryInfoA(request, HTTP_QUERY_RAW_HEADERS_CRLF, block.data(), &size, nullptr)) {
    // A block larger than the usual room still carries the reply's cookies: ask once more
    // with the room WinInet says it needs rather than dropping them.
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size <= kReplyHeaderRoom) return {};
    block.assign(size, '\0');
    if (!HttpQueryInfoA(request, HTTP_QUERY_RAW_HEADERS_CRLF, block.data(), &size, nullptr)) {
      return {};
    }
  }
  block.resize(block.find('\0') == std::string::npos ? block.size() : block.find('\0'));
  return block;
}

// WinInet's own timeouts differ between versions and settings of Windows: every exchange gets
// the 30 s per stage that WinHttp has by default, so that a platform gone silent ends the
// exchange rather than holding its job. No byte on the wire changes; a handle that refuses an
// option keeps WinInet's own value.
constexpr DWORD kStageTimeoutMs = 30000;
constexpr DWORD kConnectAttempts = 2;

void set_timeouts(HINTERNET internet) {
  for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                       INTERNET_OPTION_RECEIVE_TIMEOUT}) {
    DWORD timeout = kStageTimeoutMs;
    InternetSetOptionA(internet, option, &timeout, sizeof timeout);
  }
  // The connect time-out holds for each address tried, and WinInet tries as many as its retry
  // count allows (5 by default, up to 100 by machine policy): two, so that connecting ends
  // within 60 s while a second address still stands in for a dead first one.
  DWORD attempts = kConnectAttempts;
  InternetSetOptionA(internet, INTERNET_OPTION_CONNECT_RETRIES, &attempts, sizeof attempts);
}

// WinInet has no time-out for looking up the platform's name, which a broken resolver can hold
// for minutes. The name is looked up first, here, on a thread that may outlive the wait; WinInet
// then finds it in the system's cache. False when the lookup had not ended after a stage's time:
// the exchange then fails as a silent platform's does. A name not found is left for WinInet to
// fail on, as before.
//
// A lookup still hanging is waited on again rather than joined by another thread: monitoring asks
// every few seconds, and a thread per exchange against a resolver that never answers would pile
// up until the process has no room for more.
struct NameLookup {
  std::mutex lock;
  std::condition_variable ended;
  bool done = false;
};

bool name_lookup_ends_in_time(const std::string& host) {
  struct Pending {
    std::mutex lock;
    std::map<std::string, std::shared_ptr<NameLookup>> lookups;
  };
  // Never destroyed: a lookup's thread may outlive the program's exit.
  static Pending* const pending = new Pending;
  std::shared_ptr<NameLookup> lookup;
  {
    const std::lock_guard<std::mutex> hold_pending(pending->lock);
    auto& slot = pending->lookups[host];
    if (slot) {
      lookup = slot;
    } else {
      lookup = std::make_shared<NameLookup>();
      try {
        std::thread([lookup, host] {
          WSADATA data;
          if (WSAStartup(MAKEWORD(2, 2), &data) == 0) {
            addrinfo* found = nullptr;
            if (getaddrinfo(host.c_str(), nullptr, nullptr, &found) == 0) freeaddrinfo(found);
            WSACleanup();
          }
          {
            const std::lock_guard<std::mutex> hold_ended(pending->lock);
            pending->lookups.erase(host);
          }
          const std::lock_guard<std::mutex> hold(lookup->lock);
          lookup->done = true;
          lookup->ended.notify_all();
        }).detach();
      } catch (const std::system_error&) {
        pending->lookups.erase(host);
        return true;  // no thread to spare: WinInet looks the name up itself
      }
      slot = lookup;
    }
  }
  std::unique_lock<std::mutex> hold(lookup->lock);
  return lookup->ended.wait_for(hold, std::chrono::milliseconds(kStageTimeoutMs),
                                [&] { return lookup->done; });
}

}  // namespace

std::string fetch_page(const std::string& url, int method, const std::string& post_text,
                       std::string* cookies, std::string* new_cookies, std::string* headers,
                       std::string* reply_headers, bool no_redirect, std::string* post_data,
                       const std::string& proxy) {
  const std::string_view verb = wininet_verb(method);
  const bool secure = starts_with_https(url);

  std::string headers_held;
  std::string& header_block = headers != nullptr ? *headers : headers_held;
  const std::string agent = wininet_agent(header_block);

  const std::string proxy_list = proxy_name(proxy, secure);
  InternetHandle internet(
      proxy.empty()
          ? InternetOpenA(agent.c_str(), INTERNET_OPEN_TYPE_DIRECT, "", "", 0)
          : InternetOpenA(agent.c_str(), INTERNET_OPEN_TYPE_PROXY, proxy_list.c_str(), "", 0));
  if (!internet) return {};
  set_timeouts(internet.get());
  // Through a proxy the proxy's name is WinInet's to look up.
  if (proxy.empty() && !name_lookup_ends_in_time(url_host(url))) return {};

  InternetHandle connection(InternetConnectA(internet.get(), url_host(url).c_str(),
                                             static_cast<INTERNET_PORT>(url_port(url)), "", "",
                                             INTERNET_SERVICE_HTTP, 0, 0));
  if (!connection) return {};

  const DWORD flags = wininet_request_flags(secure, cookies != nullptr, no_redirect);
  const std::string verb_text(verb);
  InternetHandle request(HttpOpenRequestA(connection.get(), verb_text.c_str(),
                                          url_path(url).c_str(), "HTTP/1.1", nullptr, nullptr,
                                          flags, 0));
  if (!request) return {};

  complete_wininet_headers(header_block, url, cookies != nullptr ? *cookies : std::string());

  if (method == 1 || method == 2) {
    std::string post_held;
    std::string& post_body = post_data != nullptr ? *post_data : post_held;
    if (post_body.empty()) post_body = post_text;
    HttpSendRequestA(request.get(), header_block.data(), static_cast<DWORD>(header_block.size()),
                     post_body.empty() ? nullptr : post_body.data(),
                     static_cast<DWORD>(post_body.size()));
  } else {
    HttpSendRequestA(request.get(), header_block.data(), static_cast<DWORD>(header_block.size()),
                     nullptr, 0);
  }

  std::string body = read_body(request.get());
  const std::string raw_headers = normalise_set_cookie(query_raw_headers(request.get()));

  request.reset();
  connection.reset();
  internet.reset();

  std::string cookies_set = cookies_from_reply_headers(raw_headers);
  if (cookies != nullptr) merge_cookies(*cookies, cookies_set);
  if (new_cookies != nullptr) *new_cookies = std::move(cookies_set);
  if (reply_headers != nullptr) *reply_headers = raw_headers;
  return body;
}

}  // namespace quillmere
