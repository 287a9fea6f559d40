#include "shop.h"

#include <set>

#include <gtest/gtest.h>

namespace quillmere::sandbox {
namespace {

using namespace std::chrono;
using namespace std::chrono_literals;

constexpr date kToday = 2026y / 12 / 9;
const local_time kMorning = local_days(kToday) + 10h;

TEST(order_date, is_written_without_leading_zeros) {
  EXPECT_EQ(order_date_text(2026y / 5 / 3), "2026-5-3");
  EXPECT_EQ(order_date_text(2026y / 12 / 25), "2026-12-25");
}

TEST(order_date, reads_the_program_form_and_refuses_other_text) {
  EXPECT_EQ(parse_order_date("2026-12-9"), kToday);
  EXPECT_EQ(parse_order_date("2026-05-03"), 2026y / 5 / 3);
  EXPECT_EQ(parse_order_date("2028-2-29"), 2028y / 2 / 29);
  for (std::string_view wrong :
       {"", "2026-2-30", "2026-13-1", "2026-0-1", "26-1-1", "2026-1-1 ", "2026/1/1", "2026-1",
        "2026-1-1-1", "20261-1-1", "+2026-1-1", "2026-001-1", "0999-1-1", "２０２６-1-1"}) {
    EXPECT_EQ(parse_order_date(wrong), std::nullopt) << wrong;
  }
}

TEST(money_text, has_two_decimals) {
  EXPECT_EQ(money_text(16800), "168.00");
  EXPECT_EQ(money_text(5), "0.05");
  EXPECT_EQ(money_text(0), "0.00");
}

TEST(demo_shop, has_paid_and_unpaid_orders_today_and_on_earlier_days_but_one_empty_day) {
  const shop demo = make_demo_shop(kMorning, 1h);
  const auto count_on = [&](date day, bool paid) {
    int count = 0;
    for (const order& each : demo.orders()) count += each.day == day && each.paid() == paid;
    return count;
  };
  const date yesterday = sys_days(kToday) - days(1);
  EXPECT_GE(count_on(kToday, true), 2);
  EXPECT_GE(count_on(kToday, false), 1);
  EXPECT_GE(count_on(yesterday, true), 1);
  EXPECT_GE(count_on(yesterday, false), 1);
  EXPECT_TRUE(demo.order_ids(sys_days(kToday) - days(2)).empty());
  EXPECT_FALSE(demo.order_ids(sys_days(kToday) - days(3)).empty());

  std::set<std::string> ids;
  for (const order& each : demo.orders()) {
    EXPECT_TRUE(ids.insert(each.order_id).second) << each.order_id;
    EXPECT_LE(each.placed_at, kMorning);
    if (each.paid()) {
      EXPECT_LE(*each.paid_at, kMorning);
    }
    if (each.shipped()) {
      EXPECT_TRUE(each.paid());
    }
  }
}

TEST(demo_shop, is_the_same_at_every_start_and_after_a_reset) {
  shop first = make_demo_shop(kMorning, 1h);
  const shop second = make_demo_shop(kMorning, 1h);
  ASSERT_EQ(first.orders().size(), second.orders().size());
  const auto same = [](const order& a, const order& b) {
    return a.order_id == b.order_id && a.item_name == b.item_name && a.note == b.note &&
           a.quantity == b.quantity && a.paid_at == b.paid_at && a.shipped_at == b.shipped_at;
  };
  const std::vector<order> seeded = first.orders();
  for (std::size_t i = 0; i < seeded.size(); ++i) EXPECT_TRUE(same(seeded[i], second.orders()[i]));

  first.tick(kMorning + 1min);
  ASSERT_EQ(first.deliver(seeded[5].order_id, "1", "", "SF1", kMorning),
            deliver_outcome::delivered);
  first.reseed(kMorning);
  ASSERT_EQ(first.orders().size(), seeded.size());
  for (std::size_t i = 0; i < seeded.size(); ++i) EXPECT_TRUE(same(seeded[i], first.orders()[i]));
  EXPECT_TRUE(first.deliveries().empty());
}

TEST(demo_shop, todays_seeded_orders_never_date_before_midnight) {
  const local_time just_after_midnight = local_days(kToday) + 2min;
  const shop demo = make_demo_shop(just_after_midnight, 1h);
  for (const order& each : demo.orders()) {
    EXPECT_EQ(date_of(each.placed_at), each.day) << each.order_id;
  }
}

TEST(beat, pays_the_oldest_unpaid_order_of_today_and_brings_a_new_one) {
  shop demo = make_demo_shop(kMorning, 1h);
  const std::size_t before = demo.order_ids(kToday).size();
  std::vector<std::string> unpaid_today;
  for (const order& each : demo.orders()) {
    if (each.day == kToday && !each.paid()) unpaid_today.push_back(each.order_id);
  }
  ASSERT_FALSE(unpaid_today.empty());

  const shop::tick_result first = demo.tick(kMorning + 20s);
  EXPECT_EQ(first.paid_order_id, unpaid_today.front());
  EXPECT_TRUE(demo.find_order(unpaid_today.front())->paid());
  EXPECT_EQ(first.arrived.day, kToday);
  EXPECT_FALSE(first.arrived.paid());

  // The order that came unpaid is the one paid next.
  const shop::tick_result second = demo.tick(kMorning + 40s);
  EXPECT_EQ(second.paid_order_id, first.arrived.order_id);
  EXPECT_TRUE(second.arrived.paid());
  EXPECT_EQ(demo.order_ids(kToday).size(), before + 2);
  EXPECT_EQ(demo.order_ids(kToday).back(), second.arrived.order_id);
}

TEST(beat, follows_the_clock_into_the_next_day) {
  shop demo = make_demo_shop(kMorning, 1h);
  const date tomorrow = sys_days(kToday) + days(1);
  const shop::tick_result result = demo.tick(local_days(tomorrow) + 1s);
  EXPECT_EQ(result.paid_order_id, std::nullopt);
  EXPECT_EQ(demo.order_ids(tomorrow), std::vector<std::string>{result.arrived.order_id});
}

TEST(tokens, are_issued_only_for_the_right_key_and_secret_and_expire) {
  shop demo = make_demo_shop(kMorning, 1h);
  const utc_time now = sys_days(kToday) + 2h;
  EXPECT_EQ(demo.issue_token("688001", "wrong", now), std::nullopt);
  EXPECT_EQ(demo.issue_token("wrong", std::string(kDemoSecret), now), std::nullopt);
  EXPECT_EQ(demo.issue_token("", "", now), std::nullopt);
  EXPECT_EQ(demo.issue_token(" 688001", std::string(kDemoSecret), now), std::nullopt);

  const auto token = demo.issue_token(kDemoAppKey, kDemoSecret, now);
  ASSERT_TRUE(token);
  EXPECT_EQ(token->find_first_not_of("0123456789abcdef"), std::string::npos);
  EXPECT_EQ(token->size(), 42u);
  const auto other = demo.issue_token(kDemoAppKey, kDemoSecret, now);
  EXPECT_NE(token, other);

  EXPECT_EQ(demo.check_token(*token, now + 59min), token_check::valid);
  EXPECT_EQ(demo.check_token(*token, now + 1h), token_check::expired);
  EXPECT_EQ(demo.check_token("0" + *token, now), token_check::unknown);
  EXPECT_EQ(demo.check_token("", now), token_check::unknown);

  demo.expire_tokens(now);
  EXPECT_EQ(demo.check_token(*other, now), token_check::expired);
}

TEST(delivery, is_refused_for_each_fault_and_accepted_once) {
  shop demo = make_demo_shop(kMorning, 1h);
  order_request paid;
  const std::string id = demo.add_order(paid, kMorning).order_id;
  order_request unpaid;
  unpaid.paid = false;
  const std::string unpaid_id = demo.add_order(unpaid, kMorning).order_id;

  EXPECT_EQ(demo.deliver("nope", "1", "", "SF1", kMorning), deliver_outcome::unknown_order);
  EXPECT_EQ(demo.deliver("", "1", "", "SF1", kMorning), deliver_outcome::unknown_order);
  EXPECT_EQ(demo.deliver(id, "10", "", "SF1", kMorning), deliver_outcome::unknown_courier);
  EXPECT_EQ(demo.deliver(id, "", "", "SF1", kMorning), deliver_outcome::unknown_courier);
  EXPECT_EQ(demo.deliver(id, "1 ", "", "SF1", kMorning), deliver_outcome::unknown_courier);
  EXPECT_EQ(demo.deliver(id, "1", "", "", kMorning), deliver_outcome::missing_tracking_number);
  EXPECT_EQ(demo.deliver(unpaid_id, "1", "", "SF1", kMorning), deliver_outcome::not_paid);
  EXPECT_TRUE(demo.deliveries().empty());

  EXPECT_EQ(demo.deliver(id, "103032", "自定义快递公司", "MH-1", kMorning + 5min),
            deliver_outcome::delivered);
  EXPECT_EQ(demo.deliver(id, "1", "", "SF1", kMorning), deliver_outcome::already_shipped);
  ASSERT_EQ(demo.deliveries().size(), 1u);
  EXPECT_EQ(demo.deliveries()[0].express_custom, "自定义快递公司");
  EXPECT_EQ(demo.find_order(id)->express_no, "MH-1");
  EXPECT_EQ(demo.find_order(id)->shipped_at, kMorning + 5min);
}

TEST(delivery, without_logistics_needs_no_tracking_number) {
  shop demo = make_demo_shop(kMorning, 1h);
  const std::string id = demo.add_order({}, kMorning).order_id;
  EXPECT_EQ(demo.deliver(id, "999", "", "", kMorning), deliver_outcome::delivered);
}

TEST(add_order, takes_what_is_given_and_numbers_ids_by_day) {
  shop demo = make_demo_shop(kMorning, 1h);
  order_request wanted;
  wanted.day = 2026y / 11 / 30;
  wanted.paid = false;
  wanted.item_name = "桂花酒酿 6罐";
  wanted.note = "";
  wanted.quantity = 6;
  wanted.price_cents = 1250;
  const order made = demo.add_order(wanted, kMorning);
  EXPECT_EQ(made.order_id, "7202611300001");
  EXPECT_EQ(made.day, wanted.day);
  EXPECT_FALSE(made.paid());
  EXPECT_EQ(made.item_name, "桂花酒酿 6罐");
  EXPECT_EQ(made.note, "");
  EXPECT_EQ(made.total_cents(), 7500);
  EXPECT_EQ(demo.add_order(wanted, kMorning).order_id, "7202611300002");
  EXPECT_EQ(demo.order_ids(2026y / 11 / 30).size(), 2u);
}

}  // namespace
}  // namespace quillmere::sandbox
