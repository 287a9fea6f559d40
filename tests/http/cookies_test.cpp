#include "http/cookies.h"

#include <gtest/gtest.h>

#include <string>

#include "http/hostile_bytes.h"
namespace quillmere {
namespace {

std::string merged(std::string held, std::string fresh) { return merge_cookies(held, fresh); }

TEST(merge_cookies, new_item_wins_over_held_item_and_comes_first) {
  EXPECT_EQ(merged("a=1; b=2; c=3", "b=9; d=4"), "b=9; d=4; a=1; c=3");
}

TEST(merge_cookies, deleted_items_vanish) {
  EXPECT_EQ(merged("a=1; b=2", "a=deleted"), "b=2");
  EXPECT_EQ(merged("a=deleted; b=2", ""), "b=2");
  EXPECT_EQ(merged("", "=deleted"), "");
  EXPECT_EQ(merged("a=undeleted", ""), "a=undeleted");  // only "=deleted" at the end counts
  EXPECT_EQ(merged("a=deletedx; b=deleted", ""), "a=deletedx");
}

TEST(merge_cookies, duplicates) {
  EXPECT_EQ(merged("", "a=1; a=1"), "a=1");
  EXPECT_EQ(merged("", "a=1; a=2"), "a=1; a=2");       // new items of one name all stay
  EXPECT_EQ(merged("a=1; a=2; b=3", ""), "a=1; b=3");  // of held ones only the first
}

TEST(merge_cookies, empty_texts_and_empty_items) {
  EXPECT_EQ(merged("a=1", ""), "a=1");
  EXPECT_EQ(merged("", ""), "");
  EXPECT_EQ(merged("", "a=1"), "a=1");
  EXPECT_EQ(merged(";a=1;;b=2;", " ; "), "a=1; b=2");
}

TEST(merge_cookies, names_are_case_sensitive_and_end_at_first_equals) {
  EXPECT_EQ(merged("SID=1", "sid=2"), "sid=2; SID=1");
  EXPECT_EQ(merged("t=a=b; flag", "t=c; flag"), "t=c; flag");
  EXPECT_EQ(cookie_name(" name =value=x"), "name");
  EXPECT_EQ(cookie_name("flag"), "flag");
}

TEST(merge_cookies, removes_spaces_from_both_arguments_in_place) {
  std::string held = "x=hello world";
  std::string fresh = "p=1; q=2";
  const std::string result = merge_cookies(held, fresh);
  EXPECT_EQ(result, "p=1; q=2; x=helloworld");
  EXPECT_EQ(held, result);
  EXPECT_EQ(fresh, "p=1;q=2");
}

TEST(merge_cookies, ten_thousand_items_merge_in_linear_time) {
  std::string held, fresh, expected_new, expected_held;
  for (int i = 0; i < 10000; ++i) {
    const std::string n = std::to_string(i);
    held += "h" + n + "=" + n + "; ";
    fresh += "n" + n + "=" + n + ";";
    expected_new += "n" + n + "=" + n + "; ";
    expected_held += "h" + n + "=" + n + "; ";
  }
  held += "n5=old";
  const std::string expected = expected_new + expected_held.substr(0, expected_held.size() - 2);
  EXPECT_EQ(merge_cookies(held, fresh), expected);

  std::string same(60000, ';'), repeated;
  for (int i = 0; i < 10000; ++i) repeated += "k=v;";
  EXPECT_EQ(merge_cookies(same, repeated), "k=v");
}

TEST(merge_cookies, takes_any_bytes) {
  std::string held("a=\0\xff;\x81=\x81", 8);
  std::string fresh("\0=1", 3);
  EXPECT_EQ(merge_cookies(held, fresh), std::string("\0=1; a=\0\xff; \x81=\x81", 14));
}

TEST(merge_cookies, any_bytes_give_space_free_texts) {
  testing::hostile_bytes inputs(2);
  for (int i = 0; i < 3000; ++i) {
    std::string held = inputs.next();
    std::string fresh = inputs.next();
    const std::string result = merge_cookies(held, fresh);
    EXPECT_EQ(held, result);
    // Spaces only in the separators, no empty items, no deleted ones.
    for (std::size_t at = result.find(' '); at != std::string::npos;
         at = result.find(' ', at + 1)) {
      ASSERT_TRUE(at > 0 && result[at - 1] == ';' && at + 1 < result.size()) << i;
    }
    EXPECT_EQ(result.find(";;"), std::string::npos);
    EXPECT_EQ(result.find("; ;"), std::string::npos);
    if (!result.empty()) {
      EXPECT_TRUE(result.front() != ';' && result.back() != ';') << i;
    }
    EXPECT_EQ(result.find("=deleted; "), std::string::npos);
    EXPECT_EQ(fresh.find(' '), std::string::npos);
  }
}

}  // namespace
}  // namespace quillmere
