// Login and order retrieval against fakes.

#include "shop/texts.h"
#include "shop_fixture.h"

namespace quillmere::shop::testing {
namespace {

using LoginTest = ShopTest;
using RetrievalTest = ShopTest;

TEST_F(LoginTest, a_token_in_the_reply_becomes_the_session_token) {
  window.appkey = "ak";
  window.secret = "sk";
  network.reply(build_token_request("ak", "sk"), "{\"access_token\":\"T0K\",\"expire_in\":7200}");
  run_login(session, window, network);
  EXPECT_EQ(session.access_token(), "T0K");
  EXPECT_EQ(window.log, texts::kLoginSucceeded);
  EXPECT_EQ(network.pages, std::vector<std::string>{build_token_request("ak", "sk")});
  EXPECT_TRUE(network.winhttps.empty());
}

TEST_F(LoginTest, a_refusal_or_an_unreachable_platform_empties_the_token) {
  session.set_access_token("old");
  network.reply(build_token_request("", ""), "{\"status\":{\"status_code\":10001}}");
  run_login(session, window, network);
  EXPECT_EQ(session.access_token(), "");
  EXPECT_EQ(window.log, texts::kLoginFailed);

  window.appkey = "ak";
  session.set_access_token("old");
  run_login(session, window, network);  // nothing scripted: the exchange failed
  EXPECT_EQ(session.access_token(), "");
  EXPECT_EQ(window.log, std::string(texts::kLoginFailed) + std::string(texts::kLoginFailed));
}

TEST_F(LoginTest, a_later_login_restores_the_token_and_leaves_the_orders_alone) {
  window.orders.add({"1", "A"});
  run_login(session, window, network);
  network.reply(build_token_request("", ""), "\"access_token\":\"good\"");
  run_login(session, window, network);
  EXPECT_EQ(session.access_token(), "good");
  EXPECT_EQ(window.log, std::string(texts::kLoginFailed) + std::string(texts::kLoginSucceeded));
  EXPECT_EQ(window.orders.row_count(), 1);
}

TEST_F(RetrievalTest, a_day_with_orders_fills_the_list_in_reply_order) {
  session.set_access_token("tok");
  window.orders.add({"9", "stale"});
  network.reply(ids_url(), ids_reply({"A1", "B2", "C3"}));
  DetailFields a = order("A1");
  a.item_name = "%E6%9D%AF";  // 杯, percent-encoded by the platform
  a.note = utf8(u8"尽快");
  network.reply(detail_url("A1"), detail_reply(a));
  network.reply(detail_url("B2"), detail_reply(order("B2", kUnpaidUtf8)));
  network.reply(detail_url("C3"), detail_reply(order("C3")));
  retrieve();

  EXPECT_EQ(window.log, gbk(u8"成功获取2026-5-3订单\r\n"));
  ASSERT_EQ(window.orders.row_count(), 3);
  EXPECT_EQ(window.orders.rows[0],
            (std::vector<std::string>{"1", "A1", "1", gbk(u8"杯"), gbk(u8"已付款"), "desc",
                                      gbk(u8"尽快"), "13800000000"}));
  EXPECT_EQ(window.orders.rows[1][0], "2");
  EXPECT_EQ(window.orders.rows[1][4], gbk(u8"未付款"));
  EXPECT_EQ(window.orders.rows[2][0], "3");
  EXPECT_EQ(window.orders.rows[2][1], "C3");
  EXPECT_EQ(network.pages,
            (std::vector<std::string>{ids_url(), detail_url("A1"), detail_url("B2"), detail_url("C3")}));
  EXPECT_EQ(pacing.waits, (std::vector<int>{300, 300, 300, 300}));
  // Known through the index as well.
  EXPECT_EQ(window.order_list().find_row(1, "B2"), 1);
  EXPECT_EQ(window.order_list().find_row(1, "stale"), -1);
}

TEST_F(RetrievalTest, an_empty_day_empties_the_list_and_says_so) {
  window.orders.add({"1", "old"});
  window.date = {2026, 12, 25};
  network.reply(ids_url("2026-12-25"), std::string(texts::kEmptyDayReply));
  retrieve();
  EXPECT_EQ(window.log, gbk(u8"2026-12-25暂时还没有订单\r\n"));
  EXPECT_EQ(window.orders.row_count(), 0);
  EXPECT_EQ(network.pages.size(), 1u);
  EXPECT_TRUE(window.messages.empty());
}

TEST_F(RetrievalTest, a_missing_token_reply_asks_for_login) {
  network.reply(ids_url(), utf8(u8"\n{\"status\":{\"status_code\":10007,\"status_reason\":\"参数错误，"
                                u8"请参考API文档(参数:`access_token`不能为空) \"}}"));
  retrieve();
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].first, texts::kPleaseLogIn);
  EXPECT_EQ(window.messages[0].second, kMessageOk);
  EXPECT_EQ(window.log, "");
  EXPECT_EQ(window.orders.row_count(), 0);
  EXPECT_NE(network.pages[0].find("\"access_token\":\"\""), std::string::npos);
}

TEST_F(RetrievalTest, without_its_leading_line_feed_the_missing_token_reply_is_a_plain_refusal) {
  network.reply(ids_url(), utf8(u8"{\"status\":{\"status_code\":10007,\"status_reason\":\"参数错误，"
                                u8"请参考API文档(参数:`access_token`不能为空) \"}}"));
  retrieve();
  EXPECT_TRUE(window.messages.empty());
  EXPECT_EQ(window.log, gbk(u8"获取2026-5-3订单失败：参数错误，请参考API文档(参数:`access_token`不能为空) \r\n"));
}

TEST_F(RetrievalTest, an_unreachable_platform_is_reported_as_a_failure_with_no_rows) {
  window.orders.add({"1", "old"});
  retrieve();
  EXPECT_EQ(window.log, gbk(u8"获取2026-5-3订单失败：无法连接微店平台\r\n"));
  EXPECT_EQ(window.orders.row_count(), 0);
  EXPECT_EQ(pacing.waits, std::vector<int>{300});
}

TEST_F(RetrievalTest, a_refusal_is_never_read_as_a_list_of_orders) {
  session.set_access_token("stale");
  // Seven quoted strings: read as a list, the last two would be ids.
  network.reply(ids_url(), utf8(u8"{\"status\":{\"status_code\":10013,\"status_reason\":\"access_token无效\"},"
                                u8"\"result\":[\"A\",\"B\"]}"));
  network.reply(detail_url("A"), detail_reply(order("A")));
  retrieve();
  EXPECT_EQ(window.log, gbk(u8"获取2026-5-3订单失败：access_token无效\r\n"));
  EXPECT_EQ(network.pages, std::vector<std::string>{ids_url()});
  EXPECT_EQ(window.orders.row_count(), 0);

  // Without a reason to quote, the line still says it failed.
  window.log.clear();
  window.date = {2026, 5, 4};
  network.reply(ids_url("2026-5-4"), "<html><body>502 Bad Gateway</body></html>");
  retrieve();
  EXPECT_EQ(window.log, gbk(u8"获取2026-5-4订单失败：无法识别的回复\r\n"));
}

TEST_F(RetrievalTest, an_order_without_details_is_named_and_not_counted) {
  network.reply(ids_url(), ids_reply({"none", "two", "gone", "odd", "last"}));
  network.reply(detail_url("none"), utf8(u8"{\"status\":{\"status_code\":20005,\"status_reason\":\"订单详情暂不可用\"}}"));
  network.reply(detail_url("two"), order_object(order("t1")) + order_object(order("t2")));
  // "gone" is not scripted: its exchange fails.
  network.reply(detail_url("odd"), "{\"result\":{\"order_id\":\"odd\"},\"status\":{\"status_code\":0,\"status_reason\":\"success\"}}");
  network.reply(detail_url("last"), detail_reply(order("last")));
  retrieve();
  EXPECT_EQ(window.log, gbk(u8"成功获取2026-5-3订单\r\n"
                            u8"订单none详情获取失败：订单详情暂不可用\r\n"
                            u8"订单gone详情获取失败：无法连接微店平台\r\n"
                            u8"订单odd详情获取失败：无法识别的回复\r\n"));
  ASSERT_EQ(window.orders.row_count(), 3);
  EXPECT_EQ(window.orders.rows[0][0], "1");
  EXPECT_EQ(window.orders.rows[0][1], "t1");
  EXPECT_EQ(window.orders.rows[1][0], "2");
  EXPECT_EQ(window.orders.rows[1][1], "t2");
  EXPECT_EQ(window.orders.rows[2][0], "3");
  EXPECT_EQ(window.orders.rows[2][1], "last");
  EXPECT_EQ(network.pages.size(), 6u);
}

TEST_F(RetrievalTest, each_request_carries_the_token_current_when_it_is_built) {
  session.set_access_token("first");
  network.reply(ids_url(), ids_reply({"A"}));
  network.during_exchange = [&](const std::string&) { session.set_access_token("second"); };
  retrieve();
  ASSERT_EQ(network.pages.size(), 2u);
  EXPECT_EQ(network.pages[1], build_order_detail_request("A", "second"));
}

TEST_F(RetrievalTest, a_closed_window_ends_the_retrieval) {
  network.reply(ids_url(), ids_reply({"A", "B"}));
  network.reply(detail_url("A"), detail_reply(order("A")));
  network.during_exchange = [&](const std::string& url) {
    if (url == detail_url("A")) window.is_alive = false;
  };
  retrieve();
  EXPECT_EQ(network.pages.size(), 2u);
  EXPECT_EQ(window.orders.row_count(), 0);
}

TEST_F(RetrievalTest, broken_or_huge_replies_end_quietly) {
  network.reply(ids_url(),
                "{\"status\":{\"status_code\":0,\"status_reason\":\"success\"},\"result\":[\"A\",\"B");
  network.reply(detail_url("A"), "{\"result\":{\"order_id\":\"A\",\"status2\":\"%E5%B7\",\"note\":");
  retrieve();
  EXPECT_EQ(network.pages, (std::vector<std::string>{ids_url(), detail_url("A")}));
  EXPECT_EQ(window.orders.row_count(), 0);
  EXPECT_EQ(window.log, gbk(u8"成功获取2026-5-3订单\r\n订单A详情获取失败：无法识别的回复\r\n"));

  std::string huge = ids_reply({"A"});
  huge.insert(huge.size() - 2, ",\"" + std::string(5 * 1024 * 1024, '%') + "\"");
  FakeNetwork big;
  big.reply(ids_url(), huge);
  big.reply(detail_url("A"), std::string(5 * 1024 * 1024, '{'));
  run_order_retrieval(session, window, big, pacing);
  // A run-away match may end the matching early; what was found before it stands.
  ASSERT_GE(big.pages.size(), 2u);
  EXPECT_EQ(big.pages[1], detail_url("A"));
  EXPECT_EQ(window.orders.row_count(), 0);
}

}  // namespace
}  // namespace quillmere::shop::testing
