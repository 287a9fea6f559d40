#include "text/regex_object.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "test_support.h"

namespace quillmere {
namespace {

using testing::gbk;

TEST(regex_object, counts_matches_and_reads_groups_by_one_based_index) {
  regex_object re;
  ASSERT_TRUE(re.create("<(\\d)>", "<1> <2> <3>"));
  EXPECT_EQ(re.match_count(), 3);
  EXPECT_EQ(re.submatch_count(), 1);
  EXPECT_EQ(re.submatch_text(3, 1), "3");
  EXPECT_EQ(re.match_text(2), "<2>");
  EXPECT_EQ(re.submatch_text(4, 1), "");
  EXPECT_EQ(re.submatch_text(1, 2), "");
  EXPECT_EQ(re.submatch_text(0, 1), "");
  EXPECT_EQ(re.submatch_text(1, 0), "");
  EXPECT_EQ(re.match_text(0), "");
}

TEST(regex_object, no_match_is_a_successful_create) {
  regex_object re;
  EXPECT_TRUE(re.create("zzz", "abc"));
  EXPECT_EQ(re.match_count(), 0);
  EXPECT_EQ(re.submatch_count(), 0);
}

TEST(regex_object, invalid_pattern_fails_and_object_stays_usable) {
  regex_object re;
  EXPECT_FALSE(re.create("(unclosed", "unclosed"));
  EXPECT_EQ(re.match_count(), 0);
  EXPECT_EQ(re.submatch_text(1, 1), "");
  EXPECT_EQ(re.replace("x"), "");
  EXPECT_FALSE(re.create("[z-a]", "abc"));
  EXPECT_TRUE(re.create("b", "abc"));
  EXPECT_EQ(re.match_count(), 1);
}

TEST(regex_object, options_case_multiline_global) {
  regex_object re;
  ASSERT_TRUE(re.create("abc", "xABCx"));
  EXPECT_EQ(re.match_count(), 1);  // case ignored by default
  ASSERT_TRUE(re.create("abc", "xABCx", true));
  EXPECT_EQ(re.match_count(), 0);
  ASSERT_TRUE(re.create("^b", "a\nb"));
  EXPECT_EQ(re.match_count(), 1);
  ASSERT_TRUE(re.create("^b", "a\nb", false, false));
  EXPECT_EQ(re.match_count(), 0);
  ASSERT_TRUE(re.create("a", "aaa", false, true, false));
  EXPECT_EQ(re.match_count(), 1);
}

TEST(regex_object, dot_stops_at_line_feed_but_class_crosses_it) {
  regex_object re;
  ASSERT_TRUE(re.create("a.b", "a\nb"));
  EXPECT_EQ(re.match_count(), 0);
  ASSERT_TRUE(re.create("a.b", "a\rb"));  // only the line feed stops "."
  EXPECT_EQ(re.match_count(), 1);
  ASSERT_TRUE(re.create("a[\\s\\S]*?b", "a\n\nb"));
  EXPECT_EQ(re.match_count(), 1);
  ASSERT_TRUE(re.create("\"(.*?)\"", "\"a\nb\" \"c\""));
  // The first quote finds no partner on its line, so pairing starts again at the second.
  ASSERT_EQ(re.match_count(), 1);
  EXPECT_EQ(re.submatch_text(1, 1), " ");
}

TEST(regex_object, word_class_is_ascii) {
  regex_object re;
  ASSERT_TRUE(re.create("charset=[^\\w]?([-\\w]+)", gbk(u8"charset=\"utf-8\"中")));
  EXPECT_EQ(re.submatch_text(1, 1), "utf-8");
  ASSERT_TRUE(re.create("(\\w+)", gbk(u8"中文abc")));
  EXPECT_EQ(re.submatch_text(1, 1), "abc");
}

TEST(regex_object, quote_token_turns_into_double_quote) {
  const std::string pattern = gbk(u8"#引号(.*?)#引号");
  regex_object re;
  ASSERT_TRUE(re.create(pattern, "say \"hi\" now", false, true, true, true));
  EXPECT_EQ(re.get_pattern(), "\"(.*?)\"");
  EXPECT_EQ(re.submatch_text(1, 1), "hi");
  ASSERT_TRUE(re.create(pattern, gbk(u8"x#引号y#引号")));
  EXPECT_EQ(re.submatch_text(1, 1), "y");
}

TEST(regex_object, gbk_groups_come_back_as_subject_bytes_with_byte_positions) {
  const std::string subject = gbk(u8"名:\"已付款\",名:\"未付款\"");
  regex_object re;
  ASSERT_TRUE(re.create("\"(.*?)\"", subject));
  ASSERT_EQ(re.match_count(), 2);
  int position = -1;
  EXPECT_EQ(re.submatch_text(2, 1, &position), gbk(u8"未付款"));
  EXPECT_EQ(subject.substr(static_cast<std::size_t>(position), 6), gbk(u8"未付款"));
  EXPECT_EQ(re.match_text(1, &position), gbk(u8"\"已付款\""));
  EXPECT_EQ(position, 3);
  // A character class counts a GBK character once.
  ASSERT_TRUE(re.create("^(.)", gbk(u8"中")));
  EXPECT_EQ(re.submatch_text(1, 1), gbk(u8"中"));
}

TEST(regex_object, stray_bytes_are_matched_and_returned_unchanged) {
  const std::string subject = "\"\x81\"\"\xff\x80\"";
  regex_object re;
  ASSERT_TRUE(re.create("\"(.*?)\"", subject));
  ASSERT_EQ(re.match_count(), 2);
  EXPECT_EQ(re.submatch_text(1, 1), "\x81");
  EXPECT_EQ(re.submatch_text(2, 1), "\xff\x80");
}

TEST(regex_object, group_that_took_no_part_reads_empty) {
  regex_object re;
  ASSERT_TRUE(re.create("(a)|(b)", "b"));
  EXPECT_EQ(re.submatch_count(), 2);
  EXPECT_EQ(re.submatch_text(1, 1), "");
  EXPECT_EQ(re.submatch_text(1, 2), "b");
}

TEST(regex_object, replace_expands_groups) {
  regex_object re;
  ASSERT_TRUE(re.create("(\\d+)", "a1b22"));
  EXPECT_EQ(re.replace("<$1>"), "a<1>b<22>");
  ASSERT_TRUE(re.create("(\\d+)", "a1b22", false, true, false));
  EXPECT_EQ(re.replace("#"), "a#b22");
  ASSERT_TRUE(re.create(gbk(u8"付"), gbk(u8"已付款")));
  EXPECT_EQ(re.replace(gbk(u8"退")), gbk(u8"已退款"));
}

TEST(regex_object, create_in_place_answers_as_create_does_on_both_engines) {
  const std::string subject = gbk(u8"名:\"已付款\",\n名:\"未付款\" \"x\"");
  for (const std::string pattern : {"\"(.*?)\"", "(?:\"(.*?)\")", "(\\d+)|\"([^\"]*)\""}) {
    regex_object copied;
    regex_object in_place;
    ASSERT_TRUE(copied.create(pattern, subject));
    ASSERT_TRUE(in_place.create_in_place(pattern, subject));
    ASSERT_EQ(in_place.match_count(), copied.match_count()) << pattern;
    EXPECT_EQ(in_place.submatch_count(), copied.submatch_count());
    for (int m = 0; m <= copied.match_count() + 1; ++m) {
      for (int g = 0; g <= copied.submatch_count() + 1; ++g) {
        int copied_at = -1;
        int in_place_at = -1;
        EXPECT_EQ(in_place.submatch_text(m, g, &in_place_at),
                  copied.submatch_text(m, g, &copied_at));
        EXPECT_EQ(in_place_at, copied_at);
      }
      EXPECT_EQ(in_place.match_text(m), copied.match_text(m));
    }
    EXPECT_EQ(in_place.replace("<$1>"), copied.replace("<$1>"));
  }
  regex_object re;
  EXPECT_FALSE(re.create_in_place("(unclosed", subject));
  EXPECT_EQ(re.match_count(), 0);
  EXPECT_EQ(re.replace("x"), "");
}

TEST(regex_object, create_after_create_in_place_keeps_its_own_copy_again) {
  regex_object re;
  std::string lent = "\"a\" \"b\"";
  ASSERT_TRUE(re.create_in_place("\"(.*?)\"", lent));
  EXPECT_EQ(re.submatch_text(2, 1), "b");
  ASSERT_TRUE(re.create("\"(.*?)\"", std::string("\"c\"")));  // the temporary is gone
  lent.assign(64, 'z');
  EXPECT_EQ(re.submatch_text(1, 1), "c");
  EXPECT_EQ(re.replace("-"), "-");
}

TEST(regex_object, ten_megabyte_subject_is_matched_completely) {
  std::string subject;
  subject.reserve(10'500'000);
  while (subject.size() < 10'000'000) subject += "\"12345678901234567890\",";
  regex_object re;
  ASSERT_TRUE(re.create("\"(.*?)\"", subject));
  EXPECT_EQ(static_cast<std::size_t>(re.match_count()), subject.size() / 23);
  EXPECT_EQ(re.submatch_text(re.match_count(), 1), "12345678901234567890");
  // One lazy group that has to cross the whole subject.
  std::string single = "\"" + std::string(10'000'000, 'x') + "\"";
  ASSERT_TRUE(re.create("\"([\\s\\S]*?)\"", single));
  EXPECT_EQ(re.match_count(), 1);
  EXPECT_EQ(re.submatch_text(1, 1).size(), 10'000'000u);
}

TEST(regex_object, runaway_backtracking_ends_without_hanging) {
  const auto started = std::chrono::steady_clock::now();
  regex_object re;
  // Exponential in a backtracking engine; it must end with what it has, not hang or crash.
  const bool created = re.create("(a+)+b", std::string(40, 'a') + "c");
  EXPECT_EQ(re.match_count(), 0);
  (void)created;
  const std::string nested = "(x*)*y";
  re.create(nested, std::string(5000, 'x'));
  EXPECT_EQ(re.match_count(), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(60));
  EXPECT_TRUE(re.create("a", "a"));
  EXPECT_EQ(re.match_count(), 1);
}

}  // namespace
}  // namespace quillmere
