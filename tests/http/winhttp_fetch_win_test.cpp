#include "http/winhttp_fetch.h"

#include <windows.h>
#include <winhttp.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "http/loopback_server.h"
#include "http/wire.h"
#include "test_support.h"

namespace quillmere {
namespace {

using quillmere::testing::gbk;
using testing::LoopbackServer;
using testing::ReceivedRequest;
using testing::Reply;
using testing::split_lines;

Reply ok(std::string body, std::string head = "HTTP/1.1 200 OK") {
  Reply r;
  r.head = std::move(head);
  r.body = std::move(body);
  return r;
}

// The request's header lines without those WinHttp itself writes.
std::vector<std::string> program_lines(const ReceivedRequest& request) {
  std::vector<std::string> lines;
  for (const std::string& line : split_lines(request.headers)) {
    if (line.rfind("Host:", 0) != 0 && line.rfind("Connection:", 0) != 0 &&
        line.rfind("Content-Length:", 0) != 0) {
      lines.push_back(line);
    }
  }
  return lines;
}

std::string header_value(const ReceivedRequest& request, const std::string& name) {
  for (const std::string& line : split_lines(request.headers)) {
    if (line.rfind(name + ": ", 0) == 0) return line.substr(name.size() + 2);
  }
  return "<absent>";
}

// Every out-argument of one call, preset so that a test sees which ones were written.
struct Outcome {
  std::string page;
  std::string new_cookies = "unset";
  std::string reply_headers = "unset";
  std::string location = "unset";
  std::string status = "unset";
  std::string body = "unset";
};

Outcome fetch(const std::string& url, int method = 0, const std::string& post_text = {},
              std::string* cookies = nullptr, const std::string& headers = {},
              bool no_redirect = false, int timeout = 0) {
  Outcome o;
  o.page = winhttp_fetch(url, method, post_text, cookies, &o.new_cookies, headers, &o.reply_headers,
                         no_redirect, {}, {}, {}, {}, {}, timeout, &o.location, &o.status, &o.body);
  return o;
}

const std::string kBadUrl = gbk(u8"701 解析URL地址失败!");
const std::string kSendFailed = gbk(u8"711 发送请求失败!");

TEST(winhttp_fetch, url_alone_sends_the_default_header_table_and_fills_every_out_argument) {
  LoopbackServer server(
      [](const ReceivedRequest&) { return ok("hello", "HTTP/1.1 200 OK\r\nX-Reply: 1"); });
  const Outcome o = fetch(server.url("/a/B?x=1"));
  EXPECT_EQ(o.page, "hello");
  EXPECT_EQ(o.body, "hello");
  EXPECT_EQ(o.status, "200 OK");
  EXPECT_EQ(o.reply_headers.rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
  EXPECT_NE(o.reply_headers.find("\r\nX-Reply: 1\r\n"), std::string::npos);
  EXPECT_EQ(o.reply_headers.substr(o.reply_headers.size() - 4), "\r\n\r\n");
  EXPECT_EQ(o.new_cookies, "");
  EXPECT_EQ(o.location, "unset");

  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].request_line, "GET /a/B?x=1 HTTP/1.1");
  EXPECT_EQ(program_lines(requests[0]),
            (std::vector<std::string>{
                "User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; "
                "Trident/5.0)",
                "Accept: text/html, application/xhtml+xml, */*", "Accept-Encoding: gbk, GB2312",
                "Accept-Language: zh-cn", "Content-Type: application/x-www-form-urlencoded",
                "Cache-Control: no-cache"}));
}

TEST(winhttp_fetch, verbs_bodies_and_paths_go_out_as_asked) {
  LoopbackServer server([](const ReceivedRequest&) { return ok("x"); });
  const std::string base = "http://127.0.0.1:" + std::to_string(server.port());
  fetch(server.url("/p"), 1, "a=1&b=2");
  fetch(server.url("/u"), 3, "put");
  fetch(server.url("/g"), 7);
  fetch(server.url("/m"), -1);
  fetch(base + "?q=1");
  fetch(server.url("/h"), 0, {}, nullptr, "user-agent: me\r\ncontent-type: text/plain");

  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 6u);
  EXPECT_EQ(requests[0].request_line, "POST /p HTTP/1.1");
  EXPECT_EQ(requests[0].body, "a=1&b=2");
  EXPECT_EQ(requests[1].request_line, "PUT /u HTTP/1.1");
  EXPECT_EQ(requests[1].body, "put");
  EXPECT_EQ(requests[2].request_line, "GET /g HTTP/1.1");
  EXPECT_EQ(requests[3].request_line, "GET /m HTTP/1.1");
  EXPECT_EQ(requests[4].request_line, "GET / HTTP/1.1");
  EXPECT_EQ(header_value(requests[5], "user-agent"), "me");
  EXPECT_EQ(header_value(requests[5], "User-Agent"), "<absent>");
}

TEST(winhttp_fetch, cookies_travel_between_calls_through_the_callers_variable) {
  LoopbackServer server([](const ReceivedRequest& request) {
    if (request.request_line.find("/first") != std::string::npos) {
      return ok("1", "HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\nset-cookie: b=2");
    }
    return ok("2");
  });
  std::string cookies;
  const Outcome first = fetch(server.url("/first"), 0, {}, &cookies);
  EXPECT_EQ(cookies, "a=1; b=2");
  EXPECT_EQ(first.new_cookies, "a=1;b=2");  // the merge took its spaces out
  EXPECT_NE(first.reply_headers.find("\r\nSet-Cookie: a=1; path=/\r\n"), std::string::npos);
  EXPECT_NE(first.reply_headers.find("\r\nSet-Cookie: b=2\r\n"), std::string::npos);

  const Outcome second = fetch(server.url("/second"), 0, {}, &cookies);
  EXPECT_EQ(cookies, "a=1; b=2");
  EXPECT_EQ(second.new_cookies, "");

  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(header_value(requests[0], "Cookie"), "<absent>");
  EXPECT_EQ(header_value(requests[1], "Cookie"), "a=1; b=2");
}

TEST(winhttp_fetch, without_a_cookie_variable_new_cookies_keep_their_spaces) {
  LoopbackServer server([](const ReceivedRequest&) {
    return ok("", "HTTP/1.1 200 OK\r\nSET-COOKIE: s=1; HttpOnly\r\nSet-Cookie: t=2");
  });
  EXPECT_EQ(fetch(server.url("/")).new_cookies, "s=1; t=2");
}

TEST(winhttp_fetch, a_redirect_is_reported_when_forbidden_and_followed_otherwise) {
  LoopbackServer server([](const ReceivedRequest& request) {
    if (request.request_line.find("/moved") != std::string::npos) {
      return ok("moved", "HTTP/1.1 302 Found\r\nLocation: /final?a=%41");
    }
    return ok("final");
  });
  const Outcome held = fetch(server.url("/moved"), 0, {}, nullptr, {}, true);
  EXPECT_EQ(held.status, "302 Found");
  EXPECT_EQ(held.location, "/final?a=%41");
  EXPECT_EQ(held.body, "moved");

  const Outcome followed = fetch(server.url("/moved"));
  EXPECT_EQ(followed.status, "200 OK");
  EXPECT_EQ(followed.location, "unset");
  EXPECT_EQ(followed.page, "final");
  EXPECT_EQ(followed.reply_headers.rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
}

TEST(winhttp_fetch, an_error_status_still_returns_body_and_headers) {
  LoopbackServer server(
      [](const ReceivedRequest&) { return ok("missing", "HTTP/1.1 404 Not Found"); });
  const Outcome o = fetch(server.url("/x"));
  EXPECT_EQ(o.status, "404 Not Found");
  EXPECT_EQ(o.body, "missing");
  EXPECT_EQ(o.page, "missing");
  EXPECT_EQ(o.reply_headers.rfind("HTTP/1.1 404 Not Found\r\n", 0), 0u);
}

TEST(winhttp_fetch, a_body_cut_off_mid_way_is_returned_in_part_with_the_replys_status) {
  LoopbackServer server([](const ReceivedRequest&) {
    Reply r = ok(std::string(3000, 'p'));
    r.announced_length = 10000;
    r.reset_after_body = true;
    return r;
  });
  const Outcome o = fetch(server.url("/cut"));
  EXPECT_EQ(o.body, std::string(3000, 'p'));
  EXPECT_EQ(o.status, "200 OK");
}

TEST(winhttp_fetch, failures_give_their_numbered_text_and_leave_the_out_arguments_alone) {
  std::string cookies = "a=1";
  Outcome o =
      fetch("http://127.0.0.1:" + std::to_string(testing::unused_port()) + "/", 0, {}, &cookies);
  EXPECT_EQ(o.page, "");
  EXPECT_EQ(o.status, kSendFailed);
  EXPECT_EQ(o.body, "unset");
  EXPECT_EQ(o.reply_headers, "unset");
  EXPECT_EQ(o.new_cookies, "unset");
  EXPECT_EQ(cookies, "a=1");

  for (const std::string url : {"", "not a url", "ftp://127.0.0.1/"}) {
    o = fetch(url);
    EXPECT_EQ(o.status, kBadUrl) << url;
    EXPECT_EQ(o.page, "");
  }
}

TEST(winhttp_fetch, server_credentials_go_out_only_as_a_complete_pair) {
  LoopbackServer server([](const ReceivedRequest& request) {
    if (request.headers.find("Authorization: ") == std::string::npos) {
      return ok("who?", "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"q\"");
    }
    return ok("welcome");
  });
  std::string status;
  EXPECT_EQ(winhttp_fetch(server.url("/pair"), 0, {}, nullptr, nullptr, {}, nullptr, false, "u",
                          "p", {}, {}, {}, 0, nullptr, &status),
            "welcome");
  EXPECT_EQ(status, "200 OK");
  EXPECT_EQ(winhttp_fetch(server.url("/half"), 0, {}, nullptr, nullptr, {}, nullptr, false, "u", {},
                          {}, {}, {}, 0, nullptr, &status),
            "who?");
  EXPECT_EQ(status, "401 Unauthorized");

  const auto requests = server.requests();
  ASSERT_FALSE(requests.empty());
  EXPECT_EQ(header_value(requests[requests.size() - 2], "Authorization"), "Basic dTpw");  // u:p
  EXPECT_EQ(header_value(requests.back(), "Authorization"), "<absent>");
}

// About 100 KB of header lines.
std::string big_block() {
  std::string block;
  for (int i = 0; i < 1000; ++i)
    block += "\r\nX-Fill-" + std::to_string(i) + ": " + std::string(90, 'h');
  return block;
}

TEST(winhttp_fetch, oversized_and_endless_replies_end_without_harm) {
  LoopbackServer server([](const ReceivedRequest& request) {
    if (request.request_line.find("/big-line") != std::string::npos) {
      return ok("b", "HTTP/1.1 200 OK\r\nX-Big: " + std::string(100 * 1024, 'h'));
    }
    if (request.request_line.find("/big-block") != std::string::npos) {
      return ok("b", "HTTP/1.1 200 OK" + big_block());
    }
    if (request.request_line.find("/cookies") != std::string::npos) {
      std::string head = "HTTP/1.1 200 OK";
      for (int i = 0; i < 1000; ++i) head += "\r\nSet-Cookie: c" + std::to_string(i) + "=v; path=/";
      return ok("c", head);
    }
    Reply r = ok("");
    r.endless = true;
    return r;
  });
  // How much of one overlong line the stack keeps is its own affair; the exchange must go on.
  const Outcome line = fetch(server.url("/big-line"));
  EXPECT_EQ(line.body, "b");
  EXPECT_EQ(line.status, "200 OK");
  const Outcome block = fetch(server.url("/big-block"));
  EXPECT_EQ(block.body, "b");
  EXPECT_NE(block.reply_headers.find(big_block() + "\r\n"), std::string::npos);

  const Outcome cookies = fetch(server.url("/cookies"));
  EXPECT_EQ(cookies.page, "c");
  EXPECT_EQ(cookies.new_cookies.rfind("c0=v; c1=v; ", 0), 0u);
  EXPECT_EQ(cookies.new_cookies.substr(cookies.new_cookies.size() - 8), "; c999=v");

  const Outcome endless = fetch(server.url("/endless"));
  EXPECT_GE(endless.body.size(), kMaxBodyBytes);
  EXPECT_EQ(endless.status, "200 OK");
}

// GET `path` on `connection`, its reply read whole; false when no reply came.
bool raw_get(HINTERNET connection, const wchar_t* path) {
  HINTERNET request = WinHttpOpenRequest(connection, L"GET", path, nullptr, WINHTTP_NO_REFERER,
                                         WINHTTP_DEFAULT_ACCEPT_TYPES, 0);
  bool answered = request != nullptr &&
                  WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, nullptr, 0, 0, 0) &&
                  WinHttpReceiveResponse(request, nullptr);
  char buffer[4096];
  DWORD read = 0;
  while (answered && WinHttpReadData(request, buffer, sizeof buffer, &read) && read > 0) {
  }
  if (request != nullptr) WinHttpCloseHandle(request);
  return answered;
}

// A delivery is sent once: the platform may have acted on a request whose reply never came,
// so neither the routine nor WinHttp below it may send it again on another connection.
TEST(winhttp_fetch, a_delivery_whose_connection_drops_after_sending_reaches_the_server_once) {
  LoopbackServer server([](const ReceivedRequest& request) {
    Reply reply = ok("warm");
    reply.drop = request.request_line.find("vdian.order.deliver") != std::string::npos;
    return reply;
  });
  const auto arrivals = [&](const std::string& path) {
    int count = 0;
    for (const ReceivedRequest& r : server.requests())
      count += r.request_line.find(path) != std::string::npos;
    return count;
  };

  // WinHttp itself, on one session: a connection kept alive by a first exchange, then a
  // request that the server reads and drops. What the stack does then is printed.
  HINTERNET session = WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                  WINHTTP_NO_PROXY_BYPASS, 0);
  HINTERNET connection = WinHttpConnect(session, L"127.0.0.1", server.port(), 0);
  EXPECT_TRUE(raw_get(connection, L"/kept"));
  const bool answered = raw_get(connection, L"/stack?method=vdian.order.deliver");
  WinHttpCloseHandle(connection);
  WinHttpCloseHandle(session);
  EXPECT_FALSE(answered);
  // When WinHttp reached nobody there is no connection to count.
  const std::vector<int> used = server.request_connections();
  std::cout << "WinHttp, a request dropped on a reused connection: it reached the server "
            << arrivals("/stack?") << " time(s), connections used "
            << (used.empty() ? 0 : used.back()) << "\n";

  // The routine: an exchange before, then the delivery, whose reply never comes.
  const std::size_t before = server.requests().size();
  fetch(server.url("/before"));
  const Outcome o = fetch(server.url("/deliver?method=vdian.order.deliver&public=x"));
  EXPECT_EQ(o.status, gbk(u8"712 服务器未响应!"));
  EXPECT_EQ(o.page, "");
  ASSERT_EQ(arrivals("/deliver?"), 1);
  const auto requests = server.requests();
  const auto on = server.request_connections();
  ASSERT_EQ(requests.size(), before + 2);
  // On a connection of its own, never one kept from an earlier exchange. (Windows also sends
  // "Connection: Close" for it, as keep-alive is off; Wine 8 ignores that option.)
  EXPECT_NE(on[before + 1], on[before]);
  EXPECT_EQ(std::count(on.begin(), on.end(), on[before + 1]), 1);
}

}  // namespace
}  // namespace quillmere
