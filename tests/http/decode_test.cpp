#include "http/decode.h"

#include <gtest/gtest.h>

#include <string>

#include "http/hostile_bytes.h"
#include "test_support.h"

namespace quillmere {
namespace {

using testing::gbk;

std::string utf8(std::u8string_view text) {
  return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

TEST(url_decode, resolves_escapes_in_either_letter_case) {
  EXPECT_EQ(url_decode("a%41b"), "aAb");
  EXPECT_EQ(url_decode("%2f%2F"), "//");
  EXPECT_EQ(url_decode("%7b%22a%22%3A1%7D"), "{\"a\":1}");
}

TEST(url_decode, leaves_other_bytes_alone) {
  EXPECT_EQ(url_decode("a+b"), "a+b");
  EXPECT_EQ(url_decode("{\"k\":\"v w\"}"), "{\"k\":\"v w\"}");
  EXPECT_EQ(url_decode("\xd6\xd0\xff\x80"), "\xd6\xd0\xff\x80");
  EXPECT_EQ(url_decode(""), "");
  EXPECT_EQ(url_decode("", true), "");
}

TEST(url_decode, zero_bytes_end_nothing_early_when_escaped) {
  EXPECT_EQ(url_decode("a%00b"), "ab");
  EXPECT_EQ(url_decode("%00"), "");
  // A raw zero byte ends the text, as it ends every program text.
  EXPECT_EQ(url_decode(std::string("a\0%41", 5)), "a");
}

TEST(url_decode, malformed_escape_takes_two_bytes_and_leaves_a_percent) {
  EXPECT_EQ(url_decode("100%"), "100%");
  EXPECT_EQ(url_decode("%4"), "%");
  EXPECT_EQ(url_decode("%zz!"), "%!");
  EXPECT_EQ(url_decode("%4g1"), "%1");
  EXPECT_EQ(url_decode("%%41"), "%1");
  EXPECT_EQ(url_decode("%\xd6\xd0x"), "%x");
  EXPECT_EQ(url_decode("50%", true), "50%");
}

TEST(url_decode, converts_utf8_to_gbk_when_asked) {
  EXPECT_EQ(url_decode("%E4%B8%AD", true), "\xd6\xd0");
  EXPECT_EQ(url_decode(utf8(u8"中"), true), "\xd6\xd0");
  EXPECT_EQ(url_decode("%E4%B8%AD"), "\xe4\xb8\xad");
  EXPECT_EQ(url_decode(utf8(u8"{\"name\":\"张三\",\"addr\":\"北京市%20朝阳区·1号\"}"), true),
            gbk(u8"{\"name\":\"张三\",\"addr\":\"北京市 朝阳区·1号\"}"));
}

TEST(url_decode, unconvertible_input_becomes_question_marks) {
  EXPECT_EQ(url_decode("a%E4%B8b", true), "a?b");  // a cut-off character
  EXPECT_EQ(url_decode("a\xe4\xb8", true), "a?");
  EXPECT_EQ(url_decode("\xff\x80\x80", true), "???");
  EXPECT_EQ(url_decode("%C0%80", true), "??");         // overlong zero byte
  EXPECT_EQ(url_decode(utf8(u8"x😀y"), true), "x??y");  // no GBK for it: one mark per unit
  EXPECT_EQ(url_decode(utf8(u8"\u00a9"), true), "?");
}

TEST(url_decode, large_hostile_input) {
  const std::string percents(1 << 20, '%');
  EXPECT_TRUE(url_decode(percents, true) == std::string(349526, '%'));

  std::string reply;
  for (int i = 0; i < 20000; ++i) reply += utf8(u8"%E4%B8%AD文\xe4");
  const std::string decoded = url_decode(reply, true);
  std::string expected;
  for (int i = 0; i < 20000; ++i) expected += gbk(u8"中文") + "?";
  EXPECT_TRUE(decoded == expected);  // not EXPECT_EQ: a failure would print it all
}

TEST(utf8_to_gbk, converts_characters) {
  EXPECT_EQ(utf8_to_gbk(utf8(u8"中文 abc，€")), gbk(u8"中文 abc，€"));
  EXPECT_EQ(utf8_to_gbk(""), "");
  EXPECT_EQ(utf8_to_gbk(std::string("a\0b", 3)), "a");
}

TEST(to_wide, includes_terminator) {
  EXPECT_EQ(to_wide("ab"), std::u16string(u"ab\0", 3));
  EXPECT_EQ(to_wide(""), std::u16string(1, u'\0'));
  EXPECT_EQ(to_wide(utf8(u8"中")), std::u16string(u"中\0", 2));
  EXPECT_EQ(to_wide("\xd6\xd0", kCodePageGbk), std::u16string(u"中\0", 2));
  EXPECT_EQ(to_wide(std::string("a\0b", 3)), std::u16string(u"a\0", 2));
  EXPECT_EQ(to_wide("x", 12345), std::u16string(1, u'\0'));  // no such code page
}

TEST(from_wide, stops_at_terminator) {
  EXPECT_EQ(from_wide(u"中", kCodePageGbk), "\xd6\xd0");
  EXPECT_EQ(from_wide(std::u16string(u"ab\0cd", 5), kCodePageGbk), "ab");
  EXPECT_EQ(from_wide(u"中", kCodePageUtf8), utf8(u8"中"));
  EXPECT_EQ(from_wide(u"plain"), "plain");
  EXPECT_EQ(from_wide(u""), "");
  EXPECT_EQ(from_wide(u"x", 12345), "");
  EXPECT_EQ(from_wide(std::u16string(1, u'\xd800'), kCodePageGbk), "?");  // lone surrogate
}

TEST(url_decode, any_bytes_give_no_longer_text_without_zero_bytes) {
  testing::hostile_bytes inputs(3);
  for (int i = 0; i < 3000; ++i) {
    const std::string text = inputs.next();
    const std::string plain = url_decode(text);
    EXPECT_LE(plain.size(), text.size());
    EXPECT_EQ(plain.find('\0'), std::string::npos);
    EXPECT_EQ(url_decode(text, true).find('\0'), std::string::npos);
    EXPECT_EQ(to_wide(text).back(), u'\0');
  }
}

}  // namespace
}  // namespace quillmere
