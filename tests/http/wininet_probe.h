#pragma once
// WinInet used directly beside fetch_page: the same GET opened with flags of the test's
// choosing, and what the user's URL cache holds for a URL.

#include <windows.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include <string>

#include "http/fetch_page.h"
#include "http/loopback_server.h"
#include "http/url.h"
#include "http/wire.h"

namespace quillmere::testing {

// The flags fetch_page opened its requests with before it kept replies out of the cache.
inline constexpr DWORD kFormerPlainFlags = 0x80004010;   // RELOAD | NEED_FILE | IGNORE_REDIRECT_TO_HTTPS
inline constexpr DWORD kFormerSecureFlags = 0x80800010;  // RELOAD | NEED_FILE | SECURE

// A GET of `url` with fetch_page's agent and default header block, its request opened with
// `flags`; the body.
inline std::string get_with_flags(const std::string& url, DWORD flags) {
  std::string body;
  HINTERNET internet = InternetOpenA(std::string(kWinInetDefaultAgent).c_str(),
                                     INTERNET_OPEN_TYPE_DIRECT, "", "", 0);
  HINTERNET connection = InternetConnectA(internet, url_host(url).c_str(),
                                          static_cast<INTERNET_PORT>(url_port(url)), "", "",
                                          INTERNET_SERVICE_HTTP, 0, 0);
  HINTERNET request = HttpOpenRequestA(connection, "GET", url_path(url).c_str(), "HTTP/1.1",
                                       nullptr, nullptr, flags, 0);
  std::string headers;
  complete_wininet_headers(headers, url, "");
  if (request != nullptr &&
      HttpSendRequestA(request, headers.data(), static_cast<DWORD>(headers.size()), nullptr, 0)) {
    char chunk[1024];
    DWORD delivered = 0;
    while (InternetReadFile(request, chunk, sizeof chunk, &delivered) && delivered > 0)
      body.append(chunk, delivered);
  }
  for (HINTERNET handle : {request, connection, internet})
    if (handle != nullptr) InternetCloseHandle(handle);
  return body;
}

// Whether the URL cache holds an entry for `url`.
inline bool cached(const std::string& url) {
  DWORD size = 0;
  return GetUrlCacheEntryInfoA(url.c_str(), nullptr, &size) ||
         GetLastError() == ERROR_INSUFFICIENT_BUFFER;
}

inline void forget_cached(const std::string& url) { DeleteUrlCacheEntryA(url.c_str()); }

// fetch_page of `url`, then the same GET opened with `former_flags`, both answered `body` by
// `server`: fetch_page leaves no cache entry where the former flags leave one (so the probe
// does see entries), and the server got the same request line and the same header block,
// WinInet's own lines included.
inline void expect_nothing_cached_and_the_former_request(LoopbackServer& server,
                                                         const std::string& url,
                                                         DWORD former_flags,
                                                         const std::string& body) {
  forget_cached(url);
  EXPECT_EQ(fetch_page(url), body);
  EXPECT_FALSE(cached(url)) << url;
  EXPECT_EQ(get_with_flags(url, former_flags), body);
  EXPECT_TRUE(cached(url)) << "the probe sees no entries at all";
  forget_cached(url);

  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].request_line, requests[1].request_line);
  EXPECT_EQ(requests[0].headers, requests[1].headers);
}

}  // namespace quillmere::testing
