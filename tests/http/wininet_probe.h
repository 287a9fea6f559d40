#pragma once
// WinInet used directly beside fetch_page: the same GET opened with flags of the test's
// choosing, and what the user's URL cache holds for a URL.

#include <gtest/gtest.h>

#include <string>

#include "http/fetch_page.h"
#include "http/loopback_server.h"

// Declared apart from wininet.h (defined in wininet_probe_win.cpp), so that a test file that
// speaks to WinHttp as well can use them.
namespace quillmere::testing {

// The flags fetch_page opened its requests with before it kept replies out of the cache.
inline constexpr unsigned long kFormerPlainFlags =
    0x80004010;  // RELOAD | NEED_FILE | IGNORE_REDIRECT_TO_HTTPS
inline constexpr unsigned long kFormerSecureFlags = 0x80800010;  // RELOAD | NEED_FILE | SECURE

// A GET of `url` with fetch_page's agent and default header block, its request opened with
// `flags`; the body.
std::string get_with_flags(const std::string& url, unsigned long flags);

// Whether the URL cache holds an entry for `url`.
bool cached(const std::string& url);

void forget_cached(const std::string& url);

// fetch_page of `url`, then the same GET opened with `former_flags`, both answered `body` by
// `server`: fetch_page leaves no cache entry where the former flags leave one (so the probe
// does see entries), and the server got the same request line and the same header block,
// WinInet's own lines included.
inline void expect_nothing_cached_and_the_former_request(LoopbackServer& server,
                                                         const std::string& url,
                                                         unsigned long former_flags,
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
