#include "http/charset.h"

#include <gtest/gtest.h>

#include <string>

#include "http/hostile_bytes.h"
#include "test_support.h"
#include "text/regex_object.h"

namespace quillmere {
namespace {

using testing::gbk;

std::string utf8(std::u8string_view text) {
  return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

std::string bytes(std::initializer_list<unsigned char> list) {
  return std::string(list.begin(), list.end());
}

std::string page_of(std::string_view body) {
  regex_object regex;
  return decode_page(body, regex);
}

TEST(gbk_to_wide, gives_utf16le_bytes_with_terminator_unless_dropped) {
  EXPECT_EQ(gbk_to_wide("ab"), bytes({0x61, 0, 0x62, 0, 0, 0}));
  EXPECT_EQ(gbk_to_wide("ab", true), bytes({0x61, 0, 0x62, 0}));
  EXPECT_EQ(gbk_to_wide("\xd6\xd0"), bytes({0x2d, 0x4e, 0, 0}));
  EXPECT_EQ(gbk_to_wide(""), "");
  EXPECT_EQ(gbk_to_wide("", true), "");
  EXPECT_EQ(gbk_to_wide(std::string("a\0b", 3)), bytes({0x61, 0, 0, 0}));
  EXPECT_EQ(gbk_to_wide(std::string(1, '\0')), "");
}

TEST(gbk_to_wide, bytes_that_are_no_gbk_character_become_question_marks) {
  EXPECT_EQ(gbk_to_wide("a\x81"), bytes({0x61, 0, '?', 0, 0, 0}));     // lone lead byte at the end
  EXPECT_EQ(gbk_to_wide("\x81\x30z"), bytes({'?', 0, 'z', 0, 0, 0}));  // the pair goes together
  EXPECT_EQ(gbk_to_wide("\x80"), bytes({0xac, 0x20, 0, 0}));           // the euro sign
}

TEST(wide_to_gbk, stops_at_terminator_or_buffer_end) {
  EXPECT_EQ(wide_to_gbk(bytes({0x2d, 0x4e, 0, 0})), "\xd6\xd0");
  EXPECT_EQ(wide_to_gbk(bytes({0x2d, 0x4e})), "\xd6\xd0");
  EXPECT_EQ(wide_to_gbk(bytes({0x2d, 0x4e, 0x41})), "\xd6\xd0");  // a stray odd byte is no unit
  EXPECT_EQ(wide_to_gbk(bytes({'a', 0, 'b', 0, 0, 0, 'c', 0})), "ab");
  EXPECT_EQ(wide_to_gbk(""), "");
  EXPECT_EQ(wide_to_gbk(bytes({0x00, 0xd8, 'x', 0})), "?x");  // lone surrogate
  EXPECT_EQ(wide_to_gbk(gbk_to_wide(gbk(u8"发货成功：顺丰"))), gbk(u8"发货成功：顺丰"));
}

TEST(decode_page, utf8_page_is_decoded_again) {
  const std::string head =
      "<html><head><meta http-equiv=Content-Type content=text/html;charset=utf-8>";
  EXPECT_EQ(page_of(head + utf8(u8"<title>微店订单</title>")),
            head + gbk(u8"<title>微店订单</title>"));
  const std::string quoted =
      "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=\"UTF-8\"\">";
  EXPECT_EQ(page_of(quoted + utf8(u8"中")), quoted + "\xd6\xd0");
  // A UTF-8 reader drops the byte-order mark.
  EXPECT_EQ(page_of("\xef\xbb\xbf<meta charset=utf-8>" + utf8(u8"中")),
            "<meta charset=utf-8>\xd6\xd0");
}

TEST(decode_page, native_names_keep_the_body_bytes) {
  const std::string body = "\x81<meta charset='gb2312'>\xd6\xd0";
  EXPECT_EQ(page_of(body), body);  // not even the stray byte is touched
  EXPECT_EQ(page_of("<meta charset=gbk>\x81"), "<meta charset=gbk>\x81");
  // Any other spelling is decoded as GBK again, to the same characters.
  EXPECT_EQ(page_of("<META CHARSET=GBK>\xd6\xd0"), "<META CHARSET=GBK>\xd6\xd0");
  EXPECT_EQ(page_of("<meta charset=GB2312>\xd6\xd0\x81"), "<meta charset=GB2312>\xd6\xd0?");
}

TEST(decode_page, other_charsets_through_their_code_pages) {
  EXPECT_EQ(page_of("<meta charset=iso-8859-1>caf\xe9"), "<meta charset=iso-8859-1>caf\xa8\xa6");
  EXPECT_EQ(page_of("<meta charset=windows-1251>\xcf"), "<meta charset=windows-1251>\xa7\xb1");
  EXPECT_EQ(page_of("<meta charset=Shift_JIS>\x82\xa0"), "<meta charset=Shift_JIS>\xa4\xa2");
  EXPECT_EQ(page_of("<meta charset=big5>\xa4\xa4"), "<meta charset=big5>\xd6\xd0");
  EXPECT_EQ(page_of("<meta charset=gb18030>\xd6\xd0"), "<meta charset=gb18030>\xd6\xd0");
  EXPECT_EQ(page_of("<meta charset=koi8-r>\xf0"), "<meta charset=koi8-r>\xa7\xb1");
}

TEST(decode_page, undecodable_charset_gives_empty_text) {
  EXPECT_EQ(page_of("<meta charset=x-klingon>abc"), "");
  EXPECT_EQ(page_of("<meta charset=\"\">abc"), "<meta charset=\"\">abc");  // no name at all
}

TEST(decode_page, looks_only_at_first_1024_bytes_of_one_line) {
  const std::string late = std::string(1024, ' ') + "<meta charset=utf-8>" + utf8(u8"中");
  EXPECT_EQ(page_of(late), late);
  // Cut by the limit, the name reads "utf", which nothing decodes.
  std::string cut = std::string(1024 - 17, ' ') + "<meta charset=utf-8>";
  ASSERT_EQ(cut.substr(1021, 3), "utf");
  EXPECT_EQ(page_of(cut), "");
  const std::string split = "<meta\ncharset=utf-8>" + utf8(u8"中");
  EXPECT_EQ(page_of(split), split);
}

TEST(decode_page, bodies_without_declaration_stay_as_they_are) {
  const std::string json = utf8(u8R"({"status":{"status_code":0},"result":{"name":"张三"}})");
  EXPECT_EQ(page_of(json), json);
  EXPECT_EQ(page_of(""), "");
  EXPECT_EQ(page_of(std::string("ab\0<meta charset=utf-8>", 23)), "ab");
  EXPECT_EQ(page_of(std::string("<meta charset=utf-8>\0x", 22)), "<meta charset=utf-8>");
}

TEST(decode_page, large_body_is_converted_whole) {
  std::string body = "<meta charset=utf-8>";
  std::string expected = body;
  for (int i = 0; i < 100000; ++i) {
    body += utf8(u8"订单号：12345\r\n");
    expected += gbk(u8"订单号：12345\r\n");
  }
  EXPECT_TRUE(page_of(body) == expected);  // not EXPECT_EQ: a failure would print it all
}

TEST(decode_page, any_bytes_are_taken) {
  testing::hostile_bytes inputs(4);
  regex_object regex;
  for (int i = 0; i < 1000; ++i) {
    const std::string text = inputs.next();
    const std::string wide = gbk_to_wide(text);
    EXPECT_EQ(wide.size() % 2, 0u);
    if (!wide.empty()) {
      EXPECT_EQ(wide.substr(wide.size() - 2), std::string(2, '\0'));
    }
    EXPECT_EQ(wide_to_gbk(text).find('\0'), std::string::npos);
    const std::string body = "<meta charset=" + inputs.next(12) + ">" + text;
    EXPECT_EQ(decode_page(body, regex).find('\0'), std::string::npos);
  }
}

}  // namespace
}  // namespace quillmere
