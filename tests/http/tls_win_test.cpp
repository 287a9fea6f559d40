#include <gtest/gtest.h>

#include <windows.h>
#include <winhttp.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "http/fetch_page.h"
#include "http/loopback_server.h"
#include "http/winhttp_fetch.h"
#include "http/wininet_probe.h"

namespace quillmere {
namespace {

using testing::LoopbackServer;
using testing::ReceivedRequest;
using testing::Reply;

// The ports of the loopback TLS peers that ctest's fixture starts: a certificate signed by
// a CA trusted in this Wine prefix, one that nothing trusts, the plain port behind them all,
// and two with the trusted certificate that speak only TLS 1.2 and only TLS 1.0.
struct TlsPorts {
  int trusted = 0;
  int untrusted = 0;
  int plain = 0;
  int tls1_2_only = 0;
  int tls1_0_only = 0;
};

bool read_ports(TlsPorts& ports) {
  const char* file = std::getenv("QUILLMERE_TLS_PORTS");
  if (file == nullptr) return false;
  std::ifstream in(std::string("Z:") + file);
  return static_cast<bool>(in >> ports.trusted >> ports.untrusted >> ports.plain >>
                           ports.tls1_2_only >> ports.tls1_0_only);
}

class tls : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::getenv("QUILLMERE_TLS_PORTS") == nullptr) {
      GTEST_SKIP() << "run through ctest, whose fixture starts the TLS peers";
    }
    ASSERT_TRUE(read_ports(ports_));
  }
  std::string url(int port, const std::string& path) const {
    return "https://localhost:" + std::to_string(port) + path;
  }
  TlsPorts ports_;
};

Reply secret(const ReceivedRequest&) {
  Reply r;
  r.head = "HTTP/1.1 200 OK\r\nSet-Cookie: t=1; Secure";
  r.body = "secret";
  return r;
}

TEST_F(tls, both_routines_complete_an_exchange_with_a_trusted_peer) {
  LoopbackServer server(secret, static_cast<unsigned short>(ports_.plain));
  ASSERT_TRUE(server.listening());

  std::string new_cookies;
  EXPECT_EQ(fetch_page(url(ports_.trusted, "/wininet?x=1"), 0, {}, nullptr, &new_cookies),
            "secret");
  EXPECT_EQ(new_cookies, "t=1");

  std::string status;
  std::string body;
  EXPECT_EQ(winhttp_fetch(url(ports_.trusted, "/winhttp?y=2"), 1, "a=1", nullptr, nullptr, {},
                          nullptr, false, {}, {}, {}, {}, {}, 0, nullptr, &status, &body),
            "secret");
  EXPECT_EQ(status, "200 OK");
  EXPECT_EQ(body, "secret");

  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].request_line, "GET /wininet?x=1 HTTP/1.1");
  EXPECT_EQ(requests[1].request_line, "POST /winhttp?y=2 HTTP/1.1");
  EXPECT_EQ(requests[1].body, "a=1");
}

// Windows keeps encrypted replies in the URL cache as well unless told not to.
TEST_F(tls, a_secure_exchange_leaves_no_cache_entry_and_sends_the_former_header_block) {
  // No cookie in the reply: WinInet's own jar would add it to the second request.
  LoopbackServer server(
      [](const ReceivedRequest&) {
        Reply r;
        r.body = "token";
        return r;
      },
      static_cast<unsigned short>(ports_.plain));
  ASSERT_TRUE(server.listening());
  testing::expect_nothing_cached_and_the_former_request(
      server, url(ports_.trusted, "/token?appkey=1&secret=s3cr3t"), testing::kFormerSecureFlags,
      "token");
}

TEST_F(tls, an_untrusted_certificate_gives_nothing_back) {
  LoopbackServer server(secret, static_cast<unsigned short>(ports_.plain));
  ASSERT_TRUE(server.listening());

  std::string new_cookies = "unset";
  EXPECT_EQ(fetch_page(url(ports_.untrusted, "/wininet"), 0, {}, nullptr, &new_cookies), "");
  EXPECT_EQ(new_cookies, "");

  std::string status;
  std::string body = "unset";
  EXPECT_EQ(winhttp_fetch(url(ports_.untrusted, "/winhttp"), 0, {}, nullptr, nullptr, {}, nullptr,
                          false, {}, {}, {}, {}, {}, 0, nullptr, &status, &body),
            "");
  EXPECT_EQ(status.substr(0, 4), "711 ") << status;
  EXPECT_EQ(body, "unset");

  EXPECT_TRUE(server.requests().empty());
}

// A bare WinHttp GET that asks for `protocols` only: whether a reply came back.
bool winhttp_get_with_protocols(int port, DWORD protocols) {
  HINTERNET session = WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                  WINHTTP_NO_PROXY_BYPASS, 0);
  HINTERNET connection = nullptr, request = nullptr;
  bool replied = false;
  if (session != nullptr &&
      WinHttpSetOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols)) {
    connection = WinHttpConnect(session, L"localhost", static_cast<INTERNET_PORT>(port), 0);
  }
  if (connection != nullptr) {
    request = WinHttpOpenRequest(connection, L"GET", L"/control", nullptr, WINHTTP_NO_REFERER,
                                 WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_SECURE);
  }
  if (request != nullptr) {
    replied = WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, nullptr, 0, 0, 0) &&
              WinHttpReceiveResponse(request, nullptr);
  }
  for (HINTERNET handle : {request, connection, session})
    if (handle != nullptr) WinHttpCloseHandle(handle);
  return replied;
}

// Windows 7 offers TLS 1.2 only when asked; a peer that speaks nothing older than 1.2 must
// therefore work, and one that speaks nothing newer than 1.0 must not.
TEST_F(tls, delivery_requests_speak_tls_1_2_and_never_fall_back_to_tls_1_0) {
  LoopbackServer server(secret, static_cast<unsigned short>(ports_.plain));
  ASSERT_TRUE(server.listening());

  std::string status;
  EXPECT_EQ(winhttp_fetch(url(ports_.tls1_2_only, "/tls12"), 0, {}, nullptr, nullptr, {}, nullptr,
                          false, {}, {}, {}, {}, {}, 0, nullptr, &status),
            "secret");
  EXPECT_EQ(status, "200 OK");

  std::string body = "unset";
  EXPECT_EQ(winhttp_fetch(url(ports_.tls1_0_only, "/tls10"), 0, {}, nullptr, nullptr, {}, nullptr,
                          false, {}, {}, {}, {}, {}, 0, nullptr, &status, &body),
            "");
  EXPECT_EQ(status.substr(0, 4), "711 ") << status;
  EXPECT_EQ(body, "unset");

  // The TLS 1.0 peer does answer a client that asks for TLS 1.0, so the refusal above is the
  // routine's own choice of protocols, not a peer that answers nobody.
  EXPECT_TRUE(winhttp_get_with_protocols(ports_.tls1_0_only, WINHTTP_FLAG_SECURE_PROTOCOL_TLS1));

  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].request_line, "GET /tls12 HTTP/1.1");
  EXPECT_EQ(requests[1].request_line, "GET /control HTTP/1.1");
}

}  // namespace
}  // namespace quillmere
