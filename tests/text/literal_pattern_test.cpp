// The fast path must give exactly what the general engine gives. Wrapping a pattern in "(?:...)"
// keeps its meaning but sends it to the general engine, so each case runs both ways.
#include "text/literal_pattern.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "test_support.h"
#include "text/regex_object.h"

namespace quillmere {
namespace {

using testing::gbk;

const std::string kDetailPattern =
    "\"order_id\":\"(.*?)\",\"status2\":\"(.*?)\",\"note\":\"(.*?)\"[\\s\\S]*?\"seller_phone\":\"(.*?)\""
    "[\\s\\S]*?\"user_phone\":\"(.*?)\"[\\s\\S]*?\"status_desc\":\"(.*?)\"[\\s\\S]*?\"quantity\":\"(.*?)\","
    "\"total_price\":\"(.*?)\"[\\s\\S]*?\"item_name\":\"(.*?)\"";

struct Outcome {
  std::vector<std::string> texts;
  std::vector<int> positions;
  bool operator==(const Outcome&) const = default;
};

Outcome run(const std::string& pattern, const std::string& subject, bool case_sensitive = false,
            bool global = true) {
  regex_object re;
  Outcome out;
  if (!re.create(pattern, subject, case_sensitive, true, global)) {
    out.texts.push_back("<create failed>");
    return out;
  }
  for (int m = 1; m <= re.match_count(); ++m) {
    for (int g = 0; g <= re.submatch_count(); ++g) {
      int position = -1;
      out.texts.push_back(g == 0 ? re.match_text(m, &position) : re.submatch_text(m, g, &position));
      out.positions.push_back(position);
    }
  }
  return out;
}

void expect_same_both_ways(const std::string& pattern, const std::string& subject,
                           bool case_sensitive = false, bool global = true) {
  ASSERT_TRUE(detail::LiteralPattern::compile(pattern, case_sensitive).has_value()) << pattern;
  const Outcome fast = run(pattern, subject, case_sensitive, global);
  const Outcome general = run("(?:" + pattern + ")", subject, case_sensitive, global);
  EXPECT_EQ(fast, general) << "pattern " << pattern << "\nsubject " << subject;
}

TEST(literal_pattern, takes_only_literals_joined_by_lazy_skips) {
  for (const char* p :
       {"\"(.*?)\"", "a.*?b", "x([\\s\\S]*?)y", "\\\"k\\\":[\\S\\s]*?;", "a\\nb(.*?)c"})
    EXPECT_TRUE(detail::LiteralPattern::compile(p, false).has_value()) << p;
  EXPECT_TRUE(detail::LiteralPattern::compile(kDetailPattern, false).has_value());
  for (const char* p : {"(.*?)\"", "\"(.*?)", "a+", "ab?", "\\d(.*?)x", "a(.*)b", "a(.+?)b", "a|b",
                        "<meta.+?charset=[^\\w]?([-\\w]+)", "^a", "a\\wb", "", "a(?:b)"})
    EXPECT_FALSE(detail::LiteralPattern::compile(p, false).has_value()) << p;
  EXPECT_FALSE(detail::LiteralPattern::compile(gbk(u8"付款(.*?)\""), false).has_value());
}

TEST(literal_pattern, agrees_with_general_engine_on_reply_shapes) {
  const std::string ids =
      R"({"status":{"status_code":0,"status_reason":"success"},"result":["1","22","333"]})";
  expect_same_both_ways("\"(.*?)\"", ids);
  expect_same_both_ways("\"(.*?)\"", "\"a\nb\" \"c\" \"\" \"d");
  expect_same_both_ways("\"(.*?)\"", "", false, true);
  expect_same_both_ways("\"(.*?)\"", ids, false, false);
  const std::string order =
      gbk(u8"{\"order_id\":\"1001\",\"status2\":\"已付款\",\"note\":\"尽快\",\n"
          u8"\"seller_phone\":\"138\",\"x\":1,\n\"user_phone\":\"139\",\"status_desc\":\"待发货\","
          u8"\"quantity\":\"2\",\"total_price\":\"9.90\",\"items\":[{\"item_name\":\"绿茶\"}]}");
  expect_same_both_ways(kDetailPattern, order);
  expect_same_both_ways(kDetailPattern, order + order);
  std::string upper = order;
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  expect_same_both_ways(kDetailPattern, upper);
  expect_same_both_ways(kDetailPattern, upper, true);
  // "status2" not right after the order id value: no match for that order.
  expect_same_both_ways(kDetailPattern, gbk(u8"{\"order_id\":\"1\",\"x\":\"\",\"status2\":\"a\"}"));
}

TEST(literal_pattern, double_byte_characters_are_never_split) {
  // 0x5C and 0x22-like letters inside double-byte characters: "A" (0x41) is the trail byte of
  // some characters, so a literal starting with "A" must not match in the middle of one.
  std::string subject;
  subject += "\x81\x41";  // one GBK character whose trail byte is 'A'
  subject +=
      "Ab\x81\x41"
      "b";
  expect_same_both_ways("A(.*?)b", subject);
  expect_same_both_ways("a.*?b", subject);
  expect_same_both_ways("b(.*?)b", gbk(u8"b中文b") + "\xff" + "b\x81");
}

TEST(literal_pattern, literal_found_by_a_later_byte_starts_where_the_general_engine_does) {
  // ':' is rarer than '"', so these literals are looked for by a byte inside them: the match
  // must still begin at the literal's first byte, never before the skip's start, never across
  // a line feed for ".*?", and case must still be ignored around that byte.
  expect_same_both_ways("\"k\":\"(.*?)\"", "\"k\":\"1\",\"k\":\"22\"");
  expect_same_both_ways("\"k\":(.*?)\"v\":", "\"k\":\"v\":\"k\":x\"v\":");
  expect_same_both_ways("\"k\":(.*?)\"v\":", "\"k\":x\n\"v\":\"k\":y\"v\":");
  expect_same_both_ways("\"k\":(.*?)\"v\":", "\"k\":x\"\nv\":\"v\":");
  expect_same_both_ways("\"k\":[\\s\\S]*?\"v\":", "\"k\":x\n\"v\":");
  expect_same_both_ways("\"Key\":(.*?)\"Val\":", "\"KEY\":1\"vAL\":\"key\":2\"val\":");
  expect_same_both_ways("\"Key\":(.*?)\"Val\":", "\"KEY\":1\"vAL\":\"key\":2\"val\":", true);
  // The anchor byte right at the skip's start, and a literal longer than what is left.
  expect_same_both_ways("\":(.*?)\":", "\":\":\":");
  expect_same_both_ways("a\"(.*?)\"bc:", "a\"\"bc");
  // Letters of the literal that stand as trail bytes of double-byte characters.
  expect_same_both_ways("\"(.*?)\"k:", "\"\x81k:\"\x81\"k:\"");
}

TEST(literal_pattern, large_subjects_agree_with_general_engine) {
  // Results are sized before the search from a count of one byte; here the count is large.
  std::string ids = R"({"status":{"status_code":0,"status_reason":"success"},"result":[)";
  // Appended piece by piece: g++ 12 takes "\"" + std::to_string(...) for an overlapping copy.
  for (int i = 0; ids.size() < 100'000; ++i) {
    ids.append("\"").append(std::to_string(790000000 + i)).append("\",");
  }
  ids += "\"x\"]}";
  expect_same_both_ways("\"(.*?)\"", ids);
  expect_same_both_ways("\"(.*?)\",", ids, true);
  // No byte of the literals is case-proof: the bound comes from the literals' length.
  std::string letters;
  while (letters.size() < 70'000) letters += "aXbAxB\n";
  expect_same_both_ways("a(.*?)b", letters);
  expect_same_both_ways("a(.*?)b", letters, true);
  // Far fewer matches than counted bytes.
  expect_same_both_ways("\"\"\"(.*?)!", std::string(80'000, '"') + "!");
}

TEST(literal_pattern, random_subjects_agree_with_general_engine) {
  std::mt19937 rng(12345);
  const std::string alphabet[] = {"\"", "a", "A",        "b",        ":",    "\n",
                                  "\r", " ", "\x81\x41", "\xd6\xd0", "\xff", "\x81"};
  const std::string patterns[] = {"\"(.*?)\"",           "a(.*?)b",
                                  "a[\\s\\S]*?b(.*?)\"", "\"a\":(.*?),",
                                  "b.*?a([\\s\\S]*?)\"", "\"a\":\"(.*?)\"[\\s\\S]*?\"b:"};
  for (int round = 0; round < 400; ++round) {
    std::string subject;
    const int length = static_cast<int>(rng() % 40);
    for (int i = 0; i < length; ++i) subject += alphabet[rng() % std::size(alphabet)];
    for (const std::string& pattern : patterns) {
      expect_same_both_ways(pattern, subject, round % 3 == 0, round % 5 != 0);
      if (HasFailure()) return;
    }
  }
}

TEST(literal_pattern, failing_detail_search_over_many_orders_ends) {
  // Every order lacks its last key, so each attempt scans to the end: the search must finish
  // (or give up) instead of running for hours.
  std::string subject;
  for (int i = 0; i < 2000; ++i)
    subject +=
        "\"order_id\":\"1\",\"status2\":\"a\",\"note\":\"\",\"seller_phone\":\"1\",\"user_phone\":\"2\","
        "\"status_desc\":\"d\",\"quantity\":\"1\",\"total_price\":\"1\",";
  regex_object re;
  EXPECT_TRUE(re.create(kDetailPattern, subject));
  EXPECT_EQ(re.match_count(), 0);
}

}  // namespace
}  // namespace quillmere
