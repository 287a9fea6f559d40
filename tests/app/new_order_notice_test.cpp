// The texts of the notification-area icon: its tooltip and the new-order notice.

#include "app/new_order_notice.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "test_support.h"

namespace quillmere::app::testing {
namespace {

using quillmere::testing::gbk;

shop::AddedOrder added(std::u8string_view name, std::string quantity = "1") {
  return {"id", gbk(name), std::move(quantity)};
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t from = 0;
  for (std::size_t at; (at = text.find('\n', from)) != std::string::npos; from = at + 1)
    lines.push_back(text.substr(from, at - from));
  lines.push_back(text.substr(from));
  return lines;
}

// Every byte of the text read back as whole characters: the cut took none apart.
bool whole_characters(const std::string& text) {
  return quillmere::utf16_to_multibyte(quillmere::multibyte_to_utf16(text, kCodePageGbk),
                                       kCodePageGbk) == text;
}

TEST(new_order_notice, names_up_to_three_orders_a_line_then_the_number_of_all) {
  const Notice one = new_order_notice({added(u8"手工皂", "2")});
  EXPECT_EQ(one.title, gbk(u8"新订单"));
  EXPECT_EQ(one.text, gbk(u8"手工皂 × 2"));

  const std::vector<shop::AddedOrder> three = {added(u8"手工皂", "2"), added(u8"香薰", "1"),
                                               added(u8"礼盒", "10")};
  EXPECT_EQ(new_order_notice(three).text, gbk(u8"手工皂 × 2\n香薰 × 1\n礼盒 × 10"));

  std::vector<shop::AddedOrder> five = three;
  five.push_back(added(u8"不显示"));
  five.push_back(added(u8"也不显示"));
  EXPECT_EQ(new_order_notice(five).text, gbk(u8"手工皂 × 2\n香薰 × 1\n礼盒 × 10\n等 5 单"));
}

TEST(new_order_notice, a_name_keeps_its_times_sign_and_tabs_and_line_breaks_become_spaces) {
  const Notice notice =
      new_order_notice({added(u8"皂 × 2 块\t装\r\n礼盒", "3\n"), added(u8"A\rB")});
  EXPECT_EQ(notice.text, gbk(u8"皂 × 2 块 装  礼盒 × 3 \nA B × 1"));
  EXPECT_EQ(lines_of(notice.text).size(), 2u);
}

TEST(new_order_notice, long_names_share_the_limit_and_every_line_stays) {
  const std::u8string long_name(300, u8'x');
  std::u8string chinese;
  for (int i = 0; i < 200; ++i) chinese += u8"皂";
  const std::vector<shop::AddedOrder> orders = {added(long_name), added(u8"短名", "2"),
                                                added(chinese, "5"), added(u8"第四")};
  const Notice notice = new_order_notice(orders);
  EXPECT_EQ(utf16_units(notice.text), kNoticeTextUnits) << "the room is used to the last unit";
  EXPECT_TRUE(whole_characters(notice.text));
  const std::vector<std::string> lines = lines_of(notice.text);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[1], gbk(u8"短名 × 2")) << "a short name is not cut for the long ones";
  EXPECT_EQ(lines[3], gbk(u8"等 4 单"));
  // The two long names end in an ellipsis before their quantities, and get the same room.
  const std::string first_tail = gbk(u8"… × 1");
  const std::string third_tail = gbk(u8"… × 5");
  ASSERT_GE(lines[0].size(), first_tail.size());
  EXPECT_EQ(lines[0].substr(lines[0].size() - first_tail.size()), first_tail);
  EXPECT_EQ(lines[2].substr(lines[2].size() - third_tail.size()), third_tail);
  const std::size_t first_units = utf16_units(lines[0]), third_units = utf16_units(lines[2]);
  EXPECT_LE(std::max(first_units, third_units) - std::min(first_units, third_units), 1u)
      << "one character apart at most";

  // One name alone, longer than the limit.
  const Notice alone = new_order_notice({added(chinese + chinese, "1")});
  EXPECT_EQ(utf16_units(alone.text), kNoticeTextUnits);
  EXPECT_TRUE(whole_characters(alone.text));
  EXPECT_EQ(alone.text.substr(alone.text.size() - first_tail.size()), first_tail);
}

TEST(new_order_notice, an_overlong_quantity_is_shortened_and_leaves_the_name_its_room) {
  const Notice notice = new_order_notice({added(u8"皂", std::string(400, '9'))});
  EXPECT_EQ(notice.text, gbk(u8"皂 × 999999999999999…"));
}

TEST(cut_to_units, counts_a_character_as_one_unit_and_never_splits_one) {
  const std::string text = gbk(u8"ab皂×c");
  EXPECT_EQ(utf16_units(text), 5u);
  EXPECT_EQ(cut_to_units(text, 3), gbk(u8"ab皂"));
  EXPECT_EQ(cut_to_units(text, 2), "ab");
  EXPECT_EQ(cut_to_units(text, 99), text);
  EXPECT_EQ(cut_to_units(text, 0), "");
  // A lead byte with no trail after it counts as one unit of its own.
  const std::string stray = "a\xd4";  // half of a character, as a cut reply may end
  EXPECT_EQ(utf16_units(stray), 2u);
  EXPECT_EQ(cut_to_units(stray, 1), "a");
}

TEST(monitoring_tip, names_the_program_and_the_watched_day_within_its_limit) {
  EXPECT_EQ(monitoring_tip("2030-4-9"), gbk(u8"Quillmere 监控中 2030-4-9"));
  const std::string tip = monitoring_tip(std::string(300, '9'));
  EXPECT_EQ(utf16_units(tip), kTipUnits);
}

}  // namespace
}  // namespace quillmere::app::testing
