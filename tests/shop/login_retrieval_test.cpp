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
  login(session.begin_login());
  EXPECT_EQ(session.access_token(), "T0K");
  EXPECT_EQ(window.log, texts::kLoginSucceeded);
  EXPECT_EQ(network.pages, std::vector<std::string>{build_token_request("ak", "sk")});
  EXPECT_TRUE(network.winhttps.empty());
}

TEST_F(LoginTest, a_refusal_or_an_unreachable_platform_empties_the_token) {
  session.set_access_token("old");
  network.reply(build_token_request("", ""), "{\"status\":{\"status_code\":10001}}");
  login(session.begin_login());
  EXPECT_EQ(session.access_token(), "");
  EXPECT_EQ(window.log, texts::kLoginFailed);

  window.appkey = "ak";
  session.set_access_token("old");
  login(session.begin_login());  // nothing scripted: the exchange failed
  EXPECT_EQ(session.access_token(), "");
  EXPECT_EQ(window.log, std::string(texts::kLoginFailed) + std::string(texts::kLoginFailed));
}

TEST_F(LoginTest, a_later_login_restores_the_token_and_leaves_the_orders_alone) {
  window.orders.add({"1", "A"});
  login(session.begin_login());
  network.reply(build_token_request("", ""), "\"access_token\":\"good\"");
  login(session.begin_login());
  EXPECT_EQ(session.access_token(), "good");
  EXPECT_EQ(window.log, std::string(texts::kLoginFailed) + std::string(texts::kLoginSucceeded));
  EXPECT_EQ(window.orders.row_count(), 1);
}

class RenewalTest : public ShopTest {
 protected:
  const std::string token_url = build_token_request("ak", "sk");
  std::string token_refused() {
    return utf8(u8"{\"status\":{\"status_code\":10013,\"status_reason\":\"access_token过期\"}}");
  }
  std::string renewed() const { return std::string(texts::kRenewalSucceeded); }
};

TEST_F(RenewalTest, a_token_renews_before_it_expires_and_the_request_carries_the_new_one) {
  log_in("T1", 20);
  network.reply(token_url, token_reply("T2", 20));
  network.reply(ids_url(), std::string(texts::kEmptyDayReply));
  network.reply(build_order_ids_request("2026-5-3", "T2"), std::string(texts::kEmptyDayReply));
  // A 20 s token renews in its last 2 s.
  clock.advance(17'999);
  EXPECT_FALSE(session.renewal_due());
  retrieve();
  clock.advance(1);
  EXPECT_TRUE(session.renewal_due());
  network.pages.clear();
  window.log.clear();
  retrieve();
  EXPECT_EQ(network.pages,
            (std::vector<std::string>{token_url, build_order_ids_request("2026-5-3", "T2")}));
  EXPECT_EQ(session.access_token(), "T2");
  EXPECT_EQ(window.log, renewed() + gbk(u8"2026-5-3暂时还没有订单\r\n"));
  // The new token's lifetime counts from its own receipt (a 300 ms wait ago).
  clock.advance(17'000);
  EXPECT_FALSE(session.renewal_due());

  // A 25-hour token renews 10 minutes early; a reply without expire_in never renews early.
  log_in("L", 90000);
  clock.advance(90000'000 - 600'000 - 1);
  EXPECT_FALSE(session.renewal_due());
  clock.advance(1);
  EXPECT_TRUE(session.renewal_due());
  network.reply(token_url, "{\"access_token\":\"N\"}");
  login(session.begin_login());
  clock.advance(10ULL * 365 * 24 * 3600 * 1000);
  EXPECT_FALSE(session.renewal_due());
  EXPECT_TRUE(session.has_remembered_login());
}

TEST_F(RenewalTest, a_refused_token_renews_once_and_the_call_goes_again_at_most_once_a_minute) {
  log_in("T1");
  const std::string refused_ids = ids_url();
  network.reply(refused_ids, token_refused());
  network.reply(token_url, token_reply("T2", 90000));
  network.reply(token_url, token_reply("T3", 90000));
  network.reply(build_order_ids_request("2026-5-3", "T2"), ids_reply({"A"}));
  network.reply(build_order_detail_request("A", "T2"), detail_reply(order("A")));
  window.log.clear();
  retrieve();
  EXPECT_EQ(network.pages, (std::vector<std::string>{token_url, refused_ids, token_url,
                                                     build_order_ids_request("2026-5-3", "T2"),
                                                     build_order_detail_request("A", "T2")}));
  EXPECT_EQ(window.log, renewed() + gbk(u8"成功获取2026-5-3订单\r\n"));
  EXPECT_EQ(window.orders.row_count(), 1);

  // T2 is refused too, within the minute: no token request, the refusal shows as today.
  network.pages.clear();
  window.log.clear();
  window.date = {2026, 5, 4};
  network.reply(build_order_ids_request("2026-5-4", "T2"), token_refused());
  clock.advance(59'000);
  retrieve();
  EXPECT_EQ(network.pages, std::vector<std::string>{build_order_ids_request("2026-5-4", "T2")});
  EXPECT_EQ(window.log, gbk(u8"获取2026-5-4订单失败：access_token过期\r\n"));

  // A minute after the last renewal the next refusal renews again; the call goes once more
  // only, even when the new token is refused as well.
  network.pages.clear();
  clock.advance(1'000);
  network.reply(build_order_ids_request("2026-5-4", "T3"), token_refused());
  retrieve();
  EXPECT_EQ(network.pages,
            (std::vector<std::string>{build_order_ids_request("2026-5-4", "T2"), token_url,
                                      build_order_ids_request("2026-5-4", "T3")}));
  EXPECT_EQ(session.access_token(), "T3");
}

TEST_F(RenewalTest, a_call_refused_with_a_token_older_than_the_latest_is_just_sent_again) {
  log_in("T1");
  network.reply(ids_url(), token_refused());
  network.reply(build_order_ids_request("2026-5-3", "T9"), std::string(texts::kEmptyDayReply));
  // Another thread renewed while this call was out.
  network.during_exchange = [&](const std::string& url) {
    if (url == build_order_ids_request("2026-5-3", "T1")) session.set_access_token("T9");
  };
  retrieve();
  EXPECT_EQ(network.pages,
            (std::vector<std::string>{token_url, build_order_ids_request("2026-5-3", "T1"),
                                      build_order_ids_request("2026-5-3", "T9")}));
  EXPECT_EQ(window.log, std::string(texts::kLoginSucceeded) + gbk(u8"2026-5-3暂时还没有订单\r\n"));
}

TEST_F(RenewalTest, a_failed_renewal_keeps_the_login_and_the_token_and_says_so_once_per_run) {
  log_in("T1", 20);
  clock.advance(19'000);
  network.reply(token_url, "{\"status\":{\"status_code\":10001,\"status_reason\":\"x\"}}");
  network.reply(ids_url(), std::string(texts::kEmptyDayReply));
  window.log.clear();
  retrieve();
  retrieve();
  // Each request still tries first (the token is about to expire), but one line tells of it.
  EXPECT_EQ(network.sent("/token?"), 3);
  EXPECT_EQ(session.access_token(), "T1");
  EXPECT_TRUE(session.has_remembered_login());
  const std::string empty_day = gbk(u8"2026-5-3暂时还没有订单\r\n");
  EXPECT_EQ(window.log, std::string(texts::kRenewalFailed) + empty_day + empty_day);

  network.forget(token_url);
  network.reply(token_url, token_reply("T2", 20));
  network.reply(build_order_ids_request("2026-5-3", "T2"), std::string(texts::kEmptyDayReply));
  window.log.clear();
  retrieve();
  EXPECT_EQ(window.log, renewed() + empty_day);
  EXPECT_EQ(session.access_token(), "T2");
}

TEST_F(RenewalTest, without_a_successful_login_nothing_renews) {
  network.reply(ids_url(), token_refused());
  retrieve();  // never logged in
  window.appkey = "ak";
  window.secret = "sk";
  session.set_access_token("T1");
  login(session.begin_login());  // refused: forgets even a key that once worked
  network.reply(ids_url(), token_refused());
  retrieve();
  EXPECT_EQ(network.sent("/token?"), 1);
  EXPECT_FALSE(session.has_remembered_login());
  EXPECT_EQ(session.access_token(), "");
}

TEST_F(RenewalTest, a_renewal_that_ends_after_a_new_login_is_thrown_away) {
  log_in("T1", 20);
  clock.advance(19'000);
  network.reply(token_url, token_reply("OLD-SHOP", 20));
  network.reply(build_token_request("bk", "sk"), token_reply("NEW-SHOP", 90000));
  network.during_exchange = [&](const std::string& url) {
    if (url != token_url) return;
    network.during_exchange = nullptr;
    window.appkey = "bk";  // the owner changes shop and clicks 登陆 meanwhile
    login(session.begin_login());
  };
  window.log.clear();
  retrieve();
  EXPECT_EQ(session.access_token(), "NEW-SHOP");
  EXPECT_EQ(window.log.find(texts::kRenewalSucceeded), std::string::npos) << window.log;
  EXPECT_EQ(network.pages.back(), build_order_ids_request("2026-5-3", "NEW-SHOP"));
  EXPECT_FALSE(session.renewal_due());
}

TEST_F(RenewalTest, two_threads_due_at_once_share_one_renewal) {
  log_in("T1", 20);
  clock.advance(19'000);
  network.reply(token_url, token_reply("T2", 20));
  network.reply(build_order_ids_request("2026-5-3", "T2"), std::string(texts::kEmptyDayReply));
  // The first renewal holds its exchange until the second caller waits for it.
  std::atomic<bool> second_waits{false};
  network.during_exchange = [&](const std::string& url) {
    if (url != token_url) return;
    for (int i = 0; i < 5000 && !second_waits; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  };
  FakeWindow other_window;
  FakePacing first_pacing;
  FakePacing second_pacing;
  second_pacing.yield_in_waits = true;
  second_pacing.on_wait_until = [&] { second_waits = true; };
  std::thread worker(
      [&] { run_order_retrieval(session, window, network, first_pacing, window.date, 0); });
  while (network.sent("/token?") < 2) std::this_thread::yield();  // login's and the renewal's
  run_order_retrieval(session, other_window, network, second_pacing, window.date, 0);
  worker.join();

  EXPECT_TRUE(second_waits);
  EXPECT_EQ(network.sent("/token?"), 2);
  EXPECT_EQ(network.sent("T1"), 0);
  EXPECT_EQ(network.sent(build_order_ids_request("2026-5-3", "T2")), 2);
  EXPECT_EQ(window.log,
            std::string(texts::kLoginSucceeded) + renewed() + gbk(u8"2026-5-3暂时还没有订单\r\n"));
  EXPECT_EQ(other_window.log, gbk(u8"2026-5-3暂时还没有订单\r\n"));
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
  EXPECT_EQ(network.pages, (std::vector<std::string>{ids_url(), detail_url("A1"), detail_url("B2"),
                                                     detail_url("C3")}));
  EXPECT_EQ(pacing.waits, (std::vector<int>{300, 300, 300, 300}));
  // Known through the index as well.
  EXPECT_EQ(window.order_list().find_row(1, "B2"), 1);
  EXPECT_EQ(window.order_list().find_row(1, "stale"), -1);
}

class PagingTest : public ShopTest {
 protected:
  std::string page_url(int page_num, const std::string& date = "2026-5-3") {
    return build_order_ids_request(date, session.access_token(), page_num);
  }
  // Ids "first" to "first + count - 1", each with a paid detail reply.
  std::vector<std::string> make_ids(int first, int count) {
    std::vector<std::string> ids;
    for (int i = first; i < first + count; ++i) {
      ids.push_back(std::string("P").append(std::to_string(i)));  // g++ 12 -Wrestrict on "P" + ...
      network.reply(detail_url(ids.back()), detail_reply(order(ids.back())));
    }
    return ids;
  }
  std::vector<std::string> listed_ids() {
    std::vector<std::string> ids;
    for (const auto& row : window.orders.rows) ids.push_back(row.at(1));
    return ids;
  }
};

TEST_F(PagingTest, a_busy_day_is_listed_whole_over_pages_of_twenty) {
  const std::vector<std::string> first = make_ids(1, 20), second = make_ids(21, 20),
                                 third = make_ids(41, 5);
  network.reply(page_url(1), ids_reply(first));
  network.reply(page_url(2), ids_reply(second));
  network.reply(page_url(3), ids_reply(third));
  retrieve();
  std::vector<std::string> all = first;
  all.insert(all.end(), second.begin(), second.end());
  all.insert(all.end(), third.begin(), third.end());
  EXPECT_EQ(listed_ids(), all);
  EXPECT_EQ(window.orders.rows.back()[0], "45");
  // Every page before any order's details, each followed by the same wait.
  EXPECT_EQ(std::vector<std::string>(network.pages.begin(), network.pages.begin() + 4),
            (std::vector<std::string>{page_url(1), page_url(2), page_url(3), detail_url("P1")}));
  EXPECT_NE(page_url(2).find("\"page_num\":2,"), std::string::npos);
  EXPECT_EQ(network.pages.size(), 48u);
  EXPECT_EQ(pacing.waits, std::vector<int>(48, 300));
  EXPECT_EQ(window.log, gbk(u8"成功获取2026-5-3订单\r\n"));
}

TEST_F(PagingTest, pages_end_at_a_short_page_a_repeat_an_empty_day_or_page_100) {
  // Nine ids: no second page, the requests are as they always were.
  network.reply(page_url(1), ids_reply(make_ids(1, 9)));
  retrieve();
  EXPECT_EQ(ids_requests(), 1);

  // A platform that ignores page_num costs one request more, and repeats nothing.
  window.date = {2026, 5, 4};
  network.reply(page_url(1, "2026-5-4"), ids_reply(make_ids(1, 20)));
  network.reply(page_url(2, "2026-5-4"), ids_reply(make_ids(1, 20)));
  network.pages.clear();
  retrieve();
  EXPECT_EQ(ids_requests(), 2);
  EXPECT_EQ(window.orders.row_count(), 20);

  // Exactly full pages end with the empty day's reply, which writes nothing.
  window.date = {2026, 5, 5};
  network.reply(page_url(1, "2026-5-5"), ids_reply(make_ids(1, 10)));
  network.reply(page_url(2, "2026-5-5"), std::string(texts::kEmptyDayReply));
  network.pages.clear();
  window.log.clear();
  retrieve();
  EXPECT_EQ(ids_requests(), 2);
  EXPECT_EQ(window.orders.row_count(), 10);
  EXPECT_EQ(window.log, gbk(u8"成功获取2026-5-5订单\r\n"));

  // A platform whose every page brings new ids is asked for 100 pages and no more.
  window.date = {2026, 5, 6};
  for (int k = 1; k <= 101; ++k)
    network.reply(page_url(k, "2026-5-6"), ids_reply(make_ids(k * 10, 10)));
  network.pages.clear();
  retrieve();
  EXPECT_EQ(ids_requests(), 100);
  EXPECT_EQ(window.orders.row_count(), 1000);
}

TEST_F(PagingTest, a_failed_later_page_is_reported_and_the_earlier_pages_are_listed) {
  const std::vector<std::string> first = make_ids(1, 20);
  network.reply(page_url(1), ids_reply(first));
  network.reply(page_url(2),
                utf8(u8"{\"status\":{\"status_code\":10001,\"status_reason\":\"系统错误\"}}"));
  retrieve();
  EXPECT_EQ(window.log, gbk(u8"成功获取2026-5-3订单\r\n获取2026-5-3订单失败：系统错误\r\n"));
  EXPECT_EQ(listed_ids(), first);
  EXPECT_EQ(ids_requests(), 2);
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
  network.reply(ids_url(),
                utf8(u8"\n{\"status\":{\"status_code\":10007,\"status_reason\":\"参数错误，"
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
  network.reply(ids_url(),
                utf8(u8"{\"status\":{\"status_code\":10007,\"status_reason\":\"参数错误，"
                     u8"请参考API文档(参数:`access_token`不能为空) \"}}"));
  retrieve();
  EXPECT_TRUE(window.messages.empty());
  EXPECT_EQ(
      window.log,
      gbk(u8"获取2026-5-3订单失败：参数错误，请参考API文档(参数:`access_token`不能为空) \r\n"));
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
  network.reply(ids_url(),
                utf8(u8"{\"status\":{\"status_code\":10013,\"status_reason\":\"access_token无效\"},"
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
  network.reply(
      detail_url("none"),
      utf8(u8"{\"status\":{\"status_code\":20005,\"status_reason\":\"订单详情暂不可用\"}}"));
  network.reply(detail_url("two"), order_object(order("t1")) + order_object(order("t2")));
  // "gone" is not scripted: its exchange fails.
  network.reply(
      detail_url("odd"),
      "{\"result\":{\"order_id\":\"odd\"},\"status\":{\"status_code\":0,\"status_reason\":\"success\"}}");
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
  network.reply(
      ids_url(),
      "{\"status\":{\"status_code\":0,\"status_reason\":\"success\"},\"result\":[\"A\",\"B");
  network.reply(detail_url("A"),
                "{\"result\":{\"order_id\":\"A\",\"status2\":\"%E5%B7\",\"note\":");
  retrieve();
  EXPECT_EQ(network.pages, (std::vector<std::string>{ids_url(), detail_url("A")}));
  EXPECT_EQ(window.orders.row_count(), 0);
  EXPECT_EQ(window.log, gbk(u8"成功获取2026-5-3订单\r\n订单A详情获取失败：无法识别的回复\r\n"));

  std::string huge = ids_reply({"A"});
  huge.insert(huge.size() - 2, ",\"" + std::string(5 * 1024 * 1024, '%') + "\"");
  FakeNetwork big;
  big.reply(ids_url(), huge);
  big.reply(detail_url("A"), std::string(5 * 1024 * 1024, '{'));
  run_order_retrieval(session, window, big, pacing, window.date, 0);
  // A run-away match may end the matching early; what was found before it stands.
  ASSERT_GE(big.pages.size(), 2u);
  EXPECT_EQ(big.pages[1], detail_url("A"));
  EXPECT_EQ(window.orders.row_count(), 0);
}

}  // namespace
}  // namespace quillmere::shop::testing
