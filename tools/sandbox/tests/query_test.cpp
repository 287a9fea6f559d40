#include "query.h"

#include <gtest/gtest.h>

namespace quillmere::sandbox {
namespace {

TEST(percent_decode, turns_escapes_into_bytes_and_leaves_everything_else) {
  struct example {
    std::string_view sent;
    std::string_view decoded;
  };
  const example examples[] = {
      {"%7B%22page_num%22%3A1%7D", R"({"page_num":1})"},
      {R"({"page_num":1})", R"({"page_num":1})"},
      {"%e4%B8%ad", "\xE4\xB8\xAD"},
      {"a+b", "a+b"},
      {"%2B", "+"},
      {"100%", "100%"},
      {"%4", "%4"},
      {"%zz%41", "%zzA"},
      {"%%41", "%A"},
      {"%00x", std::string_view("\0x", 2)},
  };
  for (const example& each : examples) {
    EXPECT_EQ(percent_decode(each.sent), each.decoded) << each.sent;
  }
}

TEST(query_value, finds_the_first_item_of_a_key_and_decodes_it) {
  const std::string_view query = "grant_type=client_credential&app%6Bey=6%38&secret=a=b&appkey=2";
  EXPECT_EQ(query_value(query, "appkey"), "68");
  EXPECT_EQ(query_value(query, "secret"), "a=b");
  EXPECT_EQ(query_value(query, "grant_type"), "client_credential");
  EXPECT_EQ(query_value(query, "missing"), std::nullopt);
  EXPECT_EQ(query_value("flag&x=1", "flag"), "");
  EXPECT_EQ(query_value("", "x"), std::nullopt);
  EXPECT_EQ(query_value("x=&y", "x"), "");
}

TEST(split_target, decodes_the_path_and_keeps_the_query_raw) {
  const target_parts parts = split_target("/%61pi?param=%7B%7D&public=x?y");
  EXPECT_EQ(parts.path, "/api");
  EXPECT_EQ(parts.query, "param=%7B%7D&public=x?y");
  EXPECT_EQ(split_target("/token").query, "");
}

TEST(is_utf8, accepts_well_formed_text_and_rejects_everything_else) {
  EXPECT_TRUE(is_utf8(""));
  EXPECT_TRUE(is_utf8("plain"));
  EXPECT_TRUE(is_utf8("已付款"));
  EXPECT_TRUE(is_utf8("\xF0\x9F\x98\x80"));
  EXPECT_FALSE(is_utf8("\xFF"));
  EXPECT_FALSE(is_utf8("\xC0\x80"));          // overlong
  EXPECT_FALSE(is_utf8("\xED\xA0\x80"));      // surrogate
  EXPECT_FALSE(is_utf8("\xF4\x90\x80\x80"));  // past U+10FFFF
  EXPECT_FALSE(is_utf8("\xE4\xB8"));          // cut short
  EXPECT_FALSE(is_utf8("\xD2\xD1\xB8\xB6"));  // 已付 in GBK
}

TEST(printable, escapes_what_would_break_a_log_line_and_keeps_chinese) {
  EXPECT_EQ(printable("备注\r\n\xFF ok"), "备注\\x0D\\x0A\\xFF ok");
  EXPECT_EQ(printable(std::string(50, 'a'), 10), std::string(10, 'a') + "...");
  EXPECT_EQ(printable("短", 10), "短");
}

}  // namespace
}  // namespace quillmere::sandbox
