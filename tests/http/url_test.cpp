#include "http/url.h"

#include <gtest/gtest.h>

#include <string>

#include "http/hostile_bytes.h"
namespace quillmere {
namespace {

struct UrlCase {
  const char* url;
  const char* host;
  const char* host_with_port;
  int port;
  const char* path;
};

class url_splitting : public ::testing::TestWithParam<UrlCase> {};

TEST_P(url_splitting, gives_host_port_and_path) {
  const UrlCase& c = GetParam();
  EXPECT_EQ(url_host(c.url), c.host);
  EXPECT_EQ(url_host(c.url, true), c.host_with_port);
  EXPECT_EQ(url_port(c.url), c.port);
  EXPECT_EQ(url_path(c.url), c.path);
}

INSTANTIATE_TEST_SUITE_P(
    urls, url_splitting,
    ::testing::Values(
        UrlCase{"https://Api.Example.COM:8443/a/B?x=1", "api.example.com", "api.example.com:8443",
                8443, "/a/B?x=1"},
        UrlCase{"api.example.com", "api.example.com", "api.example.com", 80, "/"},
        UrlCase{"http://api.example.com", "api.example.com", "api.example.com", 80, "/"},
        UrlCase{"HTTPS://Api.Example.com/token?x=Y", "api.example.com", "api.example.com", 443,
                "/token?x=Y"},
        UrlCase{"http://api.example.com:81", "api.example.com", "api.example.com:81", 81, "/"},
        UrlCase{"", "", "", 80, "/"},
        UrlCase{"https://api.vdian.com/api?param={\"a\":\"/b\"}&public={}", "api.vdian.com",
                "api.vdian.com", 443, "/api?param={\"a\":\"/b\"}&public={}"},
        // No scheme but a path: the whole text before the first slash is the authority.
        UrlCase{"Host:8080/x/Y", "host", "host:8080", 8080, "/x/Y"},
        // "http://" further in counts as the scheme marker, as a plain text search finds it.
        UrlCase{"see http://h.example/p", "h.example", "h.example", 80, "/p"}));

TEST(url_port, unusable_port_text_falls_back_to_scheme_default) {
  EXPECT_EQ(url_port("https://h.example:/x"), 443);
  EXPECT_EQ(url_port("http://h.example:abc/x"), 80);
  EXPECT_EQ(url_port("https://h.example:0/x"), 443);
  EXPECT_EQ(url_port("https://h.example:65536/x"), 443);
  EXPECT_EQ(url_port("https://h.example:99999999999999999999/x"), 443);
  EXPECT_EQ(url_port("http://h.example:65535/x"), 65535);
  EXPECT_EQ(url_port("http://h.example:8080abc/x"), 8080);  // leading digits count
}

TEST(url_port, takes_number_after_last_colon_of_authority) {
  EXPECT_EQ(url_port("http://user:pw@h.example:8081/x"), 8081);
  EXPECT_EQ(url_port("http://h.example/a:99"), 80);  // a colon in the path is not a port
}

TEST(url_path, skips_port_and_keeps_letter_case) {
  EXPECT_EQ(url_path("http://H.example:8080/Index.HTML"), "/Index.HTML");
  EXPECT_EQ(url_path("http://h.example?q=/x"), "/x");  // the first slash after the host
}

// Big results are compared with EXPECT_TRUE so that a failure does not print a megabyte.
TEST(url_splitting, survives_hostile_input) {
  // A megabyte without a slash: the host is as long as the URL.
  const std::string long_host = "http://" + std::string(1 << 20, 'a');
  EXPECT_EQ(url_host(long_host).size(), std::size_t{1} << 20);
  EXPECT_EQ(url_path(long_host), "/");

  // The host repeats the text in front of it, where its search finds it first: a naive search
  // would take some 10^11 steps on the way.
  const std::string half(1 << 19, 'a');
  const std::string repetitive = half + "http://" + half + "/tail";
  EXPECT_TRUE(url_host(repetitive) == half);
  EXPECT_TRUE(url_path(repetitive) == "//" + half + "/tail");
  const std::string almost = std::string((1 << 19) - 1, 'a') + "b" + "http://" + half + "/tail";
  EXPECT_TRUE(url_path(almost) == "/tail");

  const std::string bytes("http://h\0st\xff\x81:8\0/p\xfe", 19);
  EXPECT_EQ(url_host(bytes, true), std::string("h\0st\xff\x81:8\0", 9));
  EXPECT_EQ(url_port(bytes), 8);
  EXPECT_EQ(url_path(bytes), "/p\xfe");
  EXPECT_EQ(url_path(std::string(1 << 20, '/')).size(), std::size_t{1} << 20);
  EXPECT_EQ(url_port(std::string(1 << 20, ':')), 80);
}

TEST(url_splitting, any_bytes_give_a_port_and_a_path) {
  testing::hostile_bytes inputs(1);
  for (int i = 0; i < 3000; ++i) {
    const std::string url = inputs.next();
    const int port = url_port(url);
    EXPECT_TRUE(port >= 1 && port <= 65535) << port;
    EXPECT_EQ(url_path(url).front(), '/');
    EXPECT_LE(url_host(url).size(), url_host(url, true).size());
  }
}

}  // namespace
}  // namespace quillmere
