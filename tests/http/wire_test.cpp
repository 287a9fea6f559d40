#include "http/wire.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "http/url.h"

namespace quillmere {
namespace {

TEST(request_flags, url_alone_opens_with_reload_no_cache_write_and_the_scheme_flag) {
  EXPECT_EQ(wininet_request_flags(true, false, false), 0x84800000u);
  EXPECT_EQ(wininet_request_flags(false, false, false), 0x84004000u);
  EXPECT_EQ(wininet_request_flags(false, true, true), 0x84284000u);
  EXPECT_EQ(wininet_request_flags(true, true, false), 0x84880000u);
}

TEST(request_flags, no_combination_asks_wininet_for_a_file_of_the_body) {
  for (const bool secure : {false, true})
    for (const bool cookies : {false, true})
      for (const bool no_redirect : {false, true}) {
        const std::uint32_t flags = wininet_request_flags(secure, cookies, no_redirect);
        EXPECT_EQ(flags & 0x00000010u, 0u);           // INTERNET_FLAG_NEED_FILE
        EXPECT_EQ(flags & 0x04000000u, 0x04000000u);  // INTERNET_FLAG_NO_CACHE_WRITE
      }
}

TEST(request_flags, secure_is_decided_by_the_first_five_characters_in_any_case) {
  EXPECT_TRUE(starts_with_https("https://a"));
  EXPECT_TRUE(starts_with_https("HTTPS://a"));
  EXPECT_TRUE(starts_with_https("httpsx"));
  EXPECT_FALSE(starts_with_https("http://a"));
  EXPECT_FALSE(starts_with_https("a.com/https"));
  EXPECT_FALSE(starts_with_https("http"));
}

TEST(verbs, numbers_outside_each_table_send_get) {
  EXPECT_EQ(wininet_verb(1), "POST");
  EXPECT_EQ(wininet_verb(2), "HEAD");
  EXPECT_EQ(wininet_verb(3), "GET");
  EXPECT_EQ(wininet_verb(-1), "GET");
  EXPECT_EQ(winhttp_verb(3), "PUT");
  EXPECT_EQ(winhttp_verb(7), "GET");
  EXPECT_EQ(winhttp_verb(-1), "GET");
}

TEST(proxy_name, plain_urls_get_the_http_prefix_and_secure_urls_the_bare_address) {
  EXPECT_EQ(proxy_name("", false), "");
  EXPECT_EQ(proxy_name("", true), "");
  EXPECT_EQ(proxy_name("10.0.0.1:8080", false), "http=10.0.0.1:8080");
  EXPECT_EQ(proxy_name("10.0.0.1:8080", true), "10.0.0.1:8080");
}

TEST(wininet_agent, user_agent_line_in_any_case_gives_its_trimmed_value) {
  EXPECT_EQ(wininet_agent(""), kWinInetDefaultAgent);
  EXPECT_EQ(wininet_agent("User-Agent: tool/1.0"), "tool/1.0");
  EXPECT_EQ(wininet_agent("Accept: */*\r\nuser-agent:  tool/2 \r\nX: y"), "tool/2");
  EXPECT_EQ(wininet_agent("USER-AGENT:"), "");
}

TEST(complete_wininet_headers, empty_block_becomes_the_four_default_lines_without_trailing_crlf) {
  std::string headers;
  complete_wininet_headers(headers, "http://h/p?q=1", "");
  EXPECT_EQ(headers,
            "Accept: */*\r\nReferer: http://h/p?q=1\r\nAccept-Language: zh-cn\r\n"
            "Content-Type: application/x-www-form-urlencoded");
}

TEST(complete_wininet_headers, searches_match_letter_case_exactly) {
  std::string headers = "Accept: text/html";
  complete_wininet_headers(headers, "u", "");
  EXPECT_EQ(headers,
            "Accept: text/html\r\nReferer: u\r\nAccept-Language: zh-cn\r\n"
            "Content-Type: application/x-www-form-urlencoded");

  headers = "accept: text/html";
  complete_wininet_headers(headers, "u", "");
  EXPECT_EQ(headers.rfind("accept: text/html\r\nAccept: */*\r\nReferer: u", 0), 0u);
}

TEST(complete_wininet_headers, cookie_line_is_added_even_beside_a_callers_cookie_line) {
  std::string headers =
      "Cookie: x=1\r\nReferer: r\r\nAccept: a\r\nAccept-Language: en\r\n"
      "Content-Type: t";
  complete_wininet_headers(headers, "u", "a=1; b=2");
  EXPECT_EQ(headers,
            "Cookie: x=1\r\nReferer: r\r\nAccept: a\r\nAccept-Language: en\r\n"
            "Content-Type: t\r\nCookie: a=1; b=2");
}

constexpr const char* kDefaultBlock =
    "User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)\r\n"
    "Accept: text/html, application/xhtml+xml, */*\r\n"
    "Accept-Encoding: gbk, GB2312\r\n"
    "Accept-Language: zh-cn\r\n"
    "Content-Type: application/x-www-form-urlencoded\r\n"
    "Cache-Control: no-cache\r\n";

TEST(winhttp_request_headers, no_headers_and_no_cookies_give_the_default_table) {
  EXPECT_EQ(winhttp_request_headers("", ""), kDefaultBlock);
  EXPECT_EQ(winhttp_request_headers("", "a=1"), std::string(kDefaultBlock) + "Cookie: a=1\r\n");
}

TEST(winhttp_request_headers, keys_are_found_anywhere_and_only_content_type_minds_case) {
  const std::string block =
      winhttp_request_headers("user-agent: me\r\ncontent-type: text/plain", "");
  EXPECT_EQ(block.find("User-Agent: Mozilla"), std::string::npos);
  EXPECT_NE(block.find("content-type: text/plain\r\n"), std::string::npos);
  EXPECT_NE(block.find("Content-Type: application/x-www-form-urlencoded\r\n"), std::string::npos);

  EXPECT_EQ(winhttp_request_headers("X-User-Agent: a", "").find("User-Agent: Mozilla"),
            std::string::npos);
  // The key carries its blank: "User-Agent:me" does not count.
  EXPECT_NE(winhttp_request_headers("User-Agent:me", "").find("User-Agent: Mozilla"),
            std::string::npos);
}

TEST(winhttp_request_headers, a_trailing_crlf_of_the_caller_leaves_an_empty_line) {
  EXPECT_EQ(winhttp_request_headers("X: 1\r\n", "").rfind("X: 1\r\n\r\nUser-Agent: ", 0), 0u);
}

TEST(winhttp_request_headers, any_cookie_line_of_the_caller_suppresses_the_cookie_line) {
  EXPECT_EQ(winhttp_request_headers("cookie: z=9", "a=1").find("a=1"), std::string::npos);
  EXPECT_EQ(winhttp_request_headers("Set-Cookie: z=9", "a=1").find("a=1"), std::string::npos);
  EXPECT_EQ(winhttp_request_headers("X: 1", "").find("Cookie"), std::string::npos);
}

// What each Windows answers when asked for secure protocols, and what the session ends up with.
TEST(ask_for_modern_tls, falls_back_to_tls_1_2_then_to_the_system_default_and_never_asks_for_less) {
  constexpr std::uint32_t kTls1_0 = 0x80, kTls1_1 = 0x200;
  struct Case {
    const char* system;
    std::vector<bool> answers;  // one per request, in order
    std::uint32_t taken;
    std::size_t asked;
  };
  const Case cases[] = {
      {"Windows 11: both taken", {true}, kWinHttpTls1_2 | kWinHttpTls1_3, 1},
      {"Windows 7 with KB3140245: the 1.3 bit refused", {false, true}, kWinHttpTls1_2, 2},
      {"Windows 7 without the update: every request refused", {false, false}, 0, 2},
  };
  for (const Case& c : cases) {
    std::vector<std::uint32_t> asked;
    const std::uint32_t taken = ask_for_modern_tls([&](std::uint32_t protocols) {
      asked.push_back(protocols);
      return asked.size() <= c.answers.size() && c.answers[asked.size() - 1];
    });
    EXPECT_EQ(taken, c.taken) << c.system;
    ASSERT_EQ(asked.size(), c.asked) << c.system;
    EXPECT_EQ(asked[0], kWinHttpTls1_2 | kWinHttpTls1_3) << c.system;
    for (std::uint32_t protocols : asked) {
      EXPECT_TRUE(protocols & kWinHttpTls1_2) << c.system;
      EXPECT_EQ(protocols & (kTls1_0 | kTls1_1), 0u) << c.system;
    }
  }
}

TEST(winhttp_timeout_ms, zero_or_less_is_thirty_seconds_and_huge_values_do_not_wrap) {
  EXPECT_EQ(winhttp_timeout_ms(0), 30000);
  EXPECT_EQ(winhttp_timeout_ms(-5), 30000);
  EXPECT_EQ(winhttp_timeout_ms(10), 10000);
  EXPECT_GE(winhttp_timeout_ms(2147483647), 2147483000);
}

TEST(status_text, runs_from_the_tenth_character_to_the_line_end) {
  EXPECT_EQ(status_text("HTTP/1.1 200 OK\r\nA: b\r\n\r\n"), "200 OK");
  EXPECT_EQ(status_text("HTTP/1.1 404 Not Found\r\n"), "404 Not Found");
  EXPECT_EQ(status_text("HTTP/1.1 200 OK"), "");
  EXPECT_EQ(status_text("HTTP/1.1\r\n"), "");
  EXPECT_EQ(status_text(""), "");
}

TEST(location_value, first_ten_characters_decide_in_any_case) {
  std::string value = "kept";
  EXPECT_TRUE(location_value("location: /next?a=1", value));
  EXPECT_EQ(value, "/next?a=1");
  value = "kept";
  EXPECT_FALSE(location_value("Content-Location: /x", value));
  EXPECT_FALSE(location_value("Location:/x", value));
  EXPECT_EQ(value, "kept");
}

TEST(reply_cookies, mixed_case_lines_are_respelled_and_give_their_name_value_items) {
  const std::string block = normalise_set_cookie(
      "HTTP/1.1 200 OK\r\nset-cookie: a=1; path=/\r\nSET-COOKIE: b=2\r\nX: y\r\n\r\n");
  EXPECT_EQ(block, "HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\nSet-Cookie: b=2\r\nX: y\r\n\r\n");
  EXPECT_EQ(cookies_from_reply_headers(block), "a=1; b=2");
  EXPECT_EQ(cookies_from_reply_headers("HTTP/1.1 200 OK\r\nX: y\r\n\r\n"), "");
}

TEST(reply_cookies, lines_that_merely_mention_set_cookie_still_give_an_item) {
  std::string item;
  EXPECT_TRUE(set_cookie_item("X-Set-Cookie-Note: v", item));
  EXPECT_EQ(item, "X-Set-Cookie-Note: v");
  EXPECT_TRUE(set_cookie_item("X-Set-Cookie-Note: a; b", item));
  EXPECT_EQ(item, "");
  EXPECT_FALSE(set_cookie_item("Cookie: a=1", item));
}

TEST(reply_cookies, each_line_is_seen_after_its_cookie_in_order) {
  std::vector<std::string> seen;
  const std::string cookies =
      cookies_from_reply_headers("HTTP/1.1 302 Found\r\nSet-Cookie: s=1;\r\nLocation: /b",
                                 [&](std::string_view line) { seen.emplace_back(line); });
  EXPECT_EQ(cookies, "s=1");
  EXPECT_EQ(seen,
            (std::vector<std::string>{"HTTP/1.1 302 Found", "Set-Cookie: s=1;", "Location: /b"}));
}

TEST(reply_cookies, a_thousand_cookie_lines_are_all_kept) {
  std::string block = "HTTP/1.1 200 OK";
  for (int i = 0; i < 1000; ++i) block += "\r\nset-cookie: c" + std::to_string(i) + "=v; path=/";
  const std::string cookies = cookies_from_reply_headers(normalise_set_cookie(block));
  EXPECT_EQ(cookies.rfind("c0=v; c1=v; ", 0), 0u);
  EXPECT_EQ(cookies.substr(cookies.size() - 8), "; c999=v");
}

}  // namespace
}  // namespace quillmere
