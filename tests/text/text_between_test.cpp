#include "text/text_between.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace quillmere {
namespace {

using testing::gbk;

TEST(text_between, cuts_token_out_of_token_reply) {
  EXPECT_EQ(text_between(R"({"access_token":"abc","expire_in":7200})", "access_token\":\"", "\""),
            "abc");
}

TEST(text_between, keeps_blank_after_start_marker) {
  EXPECT_EQ(text_between("Set-Cookie: a=1; path=/", "Set-Cookie:", ";"), " a=1");
}

TEST(text_between, host_needs_slash_behind_it) {
  EXPECT_EQ(text_between("https://api.example.com/x", "https://", "/"), "api.example.com");
  EXPECT_EQ(text_between("https://api.example.com", "https://", "/"), "");
}

TEST(text_between, end_marker_only_counts_behind_start_marker) {
  EXPECT_EQ(text_between("]x[", "[", "]"), "");
  EXPECT_EQ(text_between("a\"b", "a\"", "\""), "");  // the end may not overlap the start
}

TEST(text_between, first_start_marker_wins) { EXPECT_EQ(text_between("<1><2>", "<", ">"), "1"); }

TEST(text_between, quote_token_stands_for_double_quote) {
  const std::string subject = "key=\"value\";";
  EXPECT_EQ(text_between(subject, gbk(u8"=#引号"), gbk(u8"#引号")), "value");
  EXPECT_EQ(text_between(subject, "=\"", "\""), "value");
}

TEST(text_between, start_position_and_ignore_case) {
  EXPECT_EQ(text_between("[a][b]", "[", "]", 3), "b");
  EXPECT_EQ(text_between("[a][b]", "[", "]", -4), "a");
  EXPECT_EQ(text_between("[a][b]", "[", "]", 99), "");
  EXPECT_EQ(text_between("X-User-Agent: ua/1\r\n", "user-agent:", "\r\n", 0, true), " ua/1");
  EXPECT_EQ(text_between("USER-AGENT: ua", "user-agent:", "\r\n"), "");
}

TEST(text_between, empty_markers_and_subjects_give_empty_text) {
  EXPECT_EQ(text_between("", "a", "b"), "");
  EXPECT_EQ(text_between("abc", "", "c"), "");
  EXPECT_EQ(text_between("abc", "a", ""), "");
}

TEST(text_between, works_on_gbk_bytes_and_embedded_zero_bytes) {
  const std::string subject = gbk(u8"名称：中文值。");
  EXPECT_EQ(text_between(subject, gbk(u8"："), gbk(u8"。")), gbk(u8"中文值"));
  const std::string with_zero("a\0[b\0c]", 7);
  EXPECT_EQ(text_between(with_zero, "[", "]"), std::string("b\0c", 3));
}

TEST(replace_all, replaces_every_occurrence_left_to_right) {
  EXPECT_EQ(replace_all("aaa", "aa", "b"), "ba");
  EXPECT_EQ(replace_all("x", "", "y"), "x");
  EXPECT_EQ(replace_all("2024年5月3日", "年", "-"), "2024-5月3日");
}

}  // namespace
}  // namespace quillmere
