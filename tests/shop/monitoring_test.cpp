// The monitoring pass and loop against fakes.

#include "shop/texts.h"
#include "shop_fixture.h"

namespace quillmere::shop::testing {
namespace {

class MonitoringTest : public ShopTest {
 protected:
  // Clears the flag as the stop button would, once the n-th ids request goes out.
  void stop_at_ids_request(int n) {
    network.during_exchange = [this, n](const std::string& url) {
      if (url.find("vdian.order.ids.get") != std::string::npos && ids_requests() == n)
        stop_monitoring(session);
    };
  }
  std::string started_then_stopped(std::string_view between = {}) {
    return std::string(texts::kMonitoringStarted) + std::string(between) +
           std::string(texts::kMonitoringStopped);
  }
};

TEST_F(MonitoringTest, an_order_paid_between_passes_is_added_in_the_next_pass) {
  window.add_order({"1", "A", "1", "x", gbk(u8"未付款")});
  window.add_order({"2", "B"});
  network.reply(ids_url(), ids_reply({"A", "B", "C"}));
  network.reply(detail_url("C"), detail_reply(order("C", kUnpaidUtf8)));
  network.reply(detail_url("C"), detail_reply(order("C")));
  stop_at_ids_request(2);
  run_monitoring();

  // Known orders are never asked for; the unpaid one is asked for again.
  EXPECT_EQ(network.pages,
            (std::vector<std::string>{ids_url(), detail_url("C"), ids_url(), detail_url("C")}));
  ASSERT_EQ(window.orders.row_count(), 3);
  EXPECT_EQ(window.orders.rows[2], (std::vector<std::string>{"3", "C", "1", "item", gbk(u8"已付款"),
                                                             "desc", "note", "13800000000"}));
  EXPECT_EQ(window.log, started_then_stopped(texts::kNewOrders));
  EXPECT_EQ(session.monitoring_flag(), 0);
  EXPECT_FALSE(session.jobs().monitoring_running());
  EXPECT_EQ(pacing.waits, (std::vector<int>{300, 300, 300, 100, 300, 300, 300, 100}));
}

TEST_F(MonitoringTest, unpaid_orders_add_nothing_and_are_asked_for_every_pass) {
  network.reply(ids_url(), ids_reply({"A", "B"}));
  network.reply(detail_url("A"), detail_reply(order("A", kUnpaidUtf8)));
  network.reply(detail_url("B"), detail_reply(order("B", kUnpaidUtf8)));
  stop_at_ids_request(3);
  run_monitoring();
  EXPECT_EQ(network.pages.size(), 9u);
  EXPECT_EQ(window.orders.row_count(), 0);
}

TEST_F(MonitoringTest, stop_in_the_middle_of_a_pass_lets_the_pass_finish) {
  network.reply(ids_url(), ids_reply({"A", "B"}));
  pacing.on_messages = [&] {
    if (network.pages.back() == detail_url("A")) stop_monitoring(session);
  };
  run_monitoring();
  EXPECT_EQ(network.pages, (std::vector<std::string>{ids_url(), detail_url("A"), detail_url("B")}));
  EXPECT_EQ(window.log, started_then_stopped(texts::kNewOrders));
}

TEST_F(MonitoringTest, a_start_while_the_loop_runs_starts_nothing_and_one_stop_ends_it) {
  network.reply(ids_url(), ids_reply({"A"}));
  network.reply(detail_url("A"), detail_reply(order("A", kUnpaidUtf8)));
  bool clicked = false;
  bool running_during_pass = false;
  pacing.on_messages = [&] {
    if (!clicked) {
      clicked = true;
      running_during_pass = session.jobs().monitoring_running();
      run_monitoring();  // the start button, clicked while the loop runs: returns at once
    }
  };
  stop_at_ids_request(3);
  run_monitoring();
  EXPECT_TRUE(running_during_pass);
  EXPECT_EQ(ids_requests(), 3);
  EXPECT_EQ(window.log, started_then_stopped(texts::kNewOrders));
  EXPECT_FALSE(session.jobs().monitoring_running());
}

TEST_F(MonitoringTest, closing_the_window_ends_the_pass_at_once) {
  network.reply(ids_url(), ids_reply({"A", "B"}));
  network.reply(detail_url("A"), detail_reply(order("A")));
  network.during_exchange = [&](const std::string& url) {
    if (url == detail_url("A")) {
      on_main_window_closed(session);
      window.is_alive = false;
    }
  };
  run_monitoring();
  EXPECT_EQ(network.pages, (std::vector<std::string>{ids_url(), detail_url("A")}));
  EXPECT_EQ(window.orders.row_count(), 0);
  EXPECT_EQ(window.log, std::string(texts::kMonitoringStarted) + std::string(texts::kNewOrders));
  EXPECT_EQ(session.monitoring_flag(), 0);
}

TEST_F(MonitoringTest, before_login_it_says_so_once_and_runs_until_stopped) {
  network.reply(ids_url(),
                utf8(u8"\n{\"status\":{\"status_code\":10007,\"status_reason\":\"参数错误，"
                     u8"请参考API文档(参数:`access_token`不能为空) \"}}"));
  stop_at_ids_request(4);
  run_monitoring();
  EXPECT_EQ(network.pages.size(), 4u);
  EXPECT_TRUE(window.messages.empty());
  EXPECT_EQ(window.orders.row_count(), 0);
  EXPECT_EQ(
      window.log,
      started_then_stopped(
          gbk(u8"监控：获取订单失败：参数错误，请参考API文档(参数:`access_token`不能为空) \r\n")));
}

TEST_F(MonitoringTest, the_notice_tells_of_more_ids_than_the_previous_pass_found) {
  const std::string url = ids_url();
  network.reply(url, ids_reply({"A"}));
  network.reply(url, ids_reply({"A"}));
  network.reply(url, "");
  network.reply(url, ids_reply({"A", "B"}));
  window.add_order({"1", "A"});
  window.add_order({"2", "B"});
  stop_at_ids_request(4);
  run_monitoring();
  EXPECT_EQ(window.log, started_then_stopped(std::string(texts::kNewOrders) +
                                             gbk(u8"监控：获取订单失败：无法连接微店平台\r\n") +
                                             std::string(texts::kMonitoringRecovered) +
                                             std::string(texts::kNewOrders)));
  EXPECT_EQ(session.order_id_count(), 2);
}

TEST_F(MonitoringTest, a_run_of_failing_passes_is_one_line_and_recovery_another) {
  const std::string url = ids_url();
  network.reply(url, ids_reply({"A"}));
  network.reply(url, "");  // connection lost
  network.reply(
      url, utf8(u8"{\"status\":{\"status_code\":10014,\"status_reason\":\"access_token已过期\"},"
                u8"\"result\":[\"X\",\"Y\",\"Z\"]}"));  // its strings are no ids
  network.reply(url, std::string(texts::kMissingTokenReply));
  network.reply(url, ids_reply({"A", "B"}));  // logged in again
  network.reply(url, "");
  network.reply(url, std::string(texts::kEmptyDayReply));  // a good pass with no ids
  network.reply(url, ids_reply({"A", "B"}));
  window.add_order({"1", "A"});
  network.reply(detail_url("B"), detail_reply(order("B", kUnpaidUtf8)));
  network.reply(detail_url("B"), "");  // detail failures are asked again, silently
  network.reply(detail_url("B"), detail_reply(order("B")));
  std::vector<int> counts;
  network.during_exchange = [&](const std::string& requested) {
    if (requested.find("vdian.order.ids.get") == std::string::npos) return;
    counts.push_back(session.order_id_count());
    if (ids_requests() == 8) stop_monitoring(session);
  };
  run_monitoring();

  EXPECT_EQ(window.log, started_then_stopped(std::string(texts::kNewOrders) +
                                             gbk(u8"监控：获取订单失败：无法连接微店平台\r\n") +
                                             std::string(texts::kMonitoringRecovered) +
                                             std::string(texts::kNewOrders) +
                                             gbk(u8"监控：获取订单失败：无法连接微店平台\r\n") +
                                             std::string(texts::kMonitoringRecovered)));
  // The count moves only with a good reply; the failing passes asked for no details.
  EXPECT_EQ(counts, (std::vector<int>{0, 1, 1, 1, 1, 2, 2, 2}));
  EXPECT_EQ(network.pages, (std::vector<std::string>{url, url, url, url, url, detail_url("B"), url,
                                                     url, url, detail_url("B")}));
  EXPECT_EQ(window.orders.row_count(), 1);  // B was never seen paid: its second detail failed

  // A new run says again that it fails, even though the last run ended failing.
  window.date = {2026, 5, 4};  // nothing scripted for that day: every exchange fails
  stop_at_ids_request(9);
  window.log.clear();
  run_monitoring();
  EXPECT_EQ(window.log, started_then_stopped(gbk(u8"监控：获取订单失败：无法连接微店平台\r\n")));
}

TEST_F(MonitoringTest, a_pass_that_adds_rows_asks_for_attention_once_with_their_number) {
  window.add_order({"1", "A"});
  const std::string url = ids_url();
  network.reply(url, ids_reply({"A", "B", "C"}));
  network.reply(detail_url("B"), detail_reply(order("B", kUnpaidUtf8)));
  network.reply(detail_url("B"), detail_reply(order("B")));
  network.reply(detail_url("C"), order_object(order("C")) + order_object(order("C2")) +
                                     order_object(order("C3", kUnpaidUtf8)));
  stop_at_ids_request(3);
  run_monitoring();
  // Pass 1: C and C2 paid (B not yet); pass 2: B; pass 3: nothing new.
  EXPECT_EQ(window.notified, (std::vector<int>{2, 1}));
  EXPECT_EQ(window.orders.row_count(), 4);
  // The log is as it always was.
  EXPECT_EQ(window.log, started_then_stopped(texts::kNewOrders));
}

TEST_F(MonitoringTest,
       no_attention_for_passes_without_rows_for_retrieval_or_after_the_window_is_gone) {
  // The notice of more ids alone, with nothing paid: no attention.
  network.reply(ids_url(), ids_reply({"A"}));
  network.reply(detail_url("A"), detail_reply(order("A", kUnpaidUtf8)));
  stop_at_ids_request(2);
  run_monitoring();
  EXPECT_NE(window.log.find(texts::kNewOrders), std::string::npos);
  EXPECT_TRUE(window.notified.empty());

  window.date = {2026, 5, 4};
  network.reply(ids_url("2026-5-4"), ids_reply({"P"}));
  network.reply(detail_url("P"), detail_reply(order("P")));
  retrieve();
  EXPECT_EQ(window.orders.row_count(), 1);
  EXPECT_TRUE(window.notified.empty());

  // The row goes in, then the window goes while the pass handles messages.
  window.order_list().delete_all();
  window.date = {2026, 5, 5};
  network.reply(ids_url("2026-5-5"), ids_reply({"Q"}));
  network.reply(detail_url("Q"), detail_reply(order("Q")));
  pacing.on_messages = [&] {
    if (window.orders.row_count() == 1) window.is_alive = false;
  };
  run_monitoring();
  EXPECT_EQ(window.orders.row_count(), 1);
  EXPECT_TRUE(window.notified.empty());
}

TEST_F(MonitoringTest, the_date_is_read_afresh_every_pass) {
  // The owner picks another day during the first pass: the window's thread hands it over.
  network.during_exchange = [&](const std::string&) {
    session.set_monitored_day({2026, 5, 4});
    if (ids_requests() == 2) stop_monitoring(session);
  };
  run_monitoring();
  EXPECT_EQ(network.pages, (std::vector<std::string>{ids_url("2026-5-3"), ids_url("2026-5-4")}));
}

TEST_F(MonitoringTest, a_busy_day_is_walked_over_all_its_pages_and_counted_whole) {
  std::vector<std::string> first, second;
  // Appended, not "A" + std::to_string(i): g++ 12 takes that for an overlapping copy.
  for (int i = 0; i < 20; ++i) first.push_back(std::string("A").append(std::to_string(i)));
  for (int i = 0; i < 5; ++i) second.push_back(std::string("B").append(std::to_string(i)));
  for (const auto& id : first) window.add_order({"", id});
  const std::string page2 = build_order_ids_request("2026-5-3", session.access_token(), 2);
  network.reply(ids_url(), ids_reply(first));
  network.reply(page2, ids_reply(second));
  network.reply(detail_url("B0"), detail_reply(order("B0")));
  stop_at_ids_request(1);
  run_monitoring();
  EXPECT_EQ(network.pages[0], ids_url());
  EXPECT_EQ(network.pages[1], page2);
  EXPECT_EQ(network.pages[2], detail_url("B0"));
  EXPECT_EQ(session.order_id_count(), 25);
  // 300 ms between the pages, then one wait per id.
  EXPECT_EQ(pacing.waits.front(), 300);
  EXPECT_EQ(pacing.waits.size(), 1u + 25u + 1u);
  EXPECT_EQ(window.orders.row_count(), 21);

  // Page 2 fails: the pass fails once, walks what it has, and the count stands.
  network.forget(page2);
  network.reply(page2, "");
  window.log.clear();
  network.pages.clear();
  stop_at_ids_request(4);
  run_monitoring();
  EXPECT_EQ(window.log, started_then_stopped(gbk(u8"监控：获取订单失败：无法连接微店平台\r\n")));
  EXPECT_EQ(session.order_id_count(), 25);
  EXPECT_EQ(ids_requests(), 4);
}

class MonitoringRateTest : public MonitoringTest {
 protected:
  MonitoringRateTest() {
    network.clock = &clock;
    network.round_trip_ms = 40;
    network.during_exchange = [this](const std::string& url) {
      if (url.find("vdian.order.ids.get") == std::string::npos) return;
      ids_times.push_back(clock.now_ms());
      if (ids_requests() == stop_after) stop_monitoring(session);
    };
  }
  std::vector<std::uint64_t> gaps() const {
    std::vector<std::uint64_t> out;
    for (std::size_t i = 1; i < ids_times.size(); ++i)
      out.push_back(ids_times[i] - ids_times[i - 1]);
    return out;
  }
  std::vector<std::uint64_t> ids_times;
  int stop_after = 4;
};

TEST_F(MonitoringRateTest, a_quiet_day_asks_once_a_second_and_a_busy_one_as_before) {
  network.reply(ids_url(), std::string(texts::kEmptyDayReply));
  run_monitoring();
  EXPECT_EQ(gaps(), (std::vector<std::uint64_t>{1000, 1000, 1000}));

  // Three known orders already take a second a pass: no wait is added.
  window.date = {2026, 5, 4};
  for (const char* id : {"A", "B", "C"}) window.add_order({"", id});
  network.reply(ids_url("2026-5-4"), ids_reply({"A", "B", "C"}));
  ids_times.clear();
  pacing.waits.clear();
  clock.advance(1000);  // long after the first run's last request
  stop_after = 8;
  run_monitoring();
  EXPECT_EQ(gaps(), (std::vector<std::uint64_t>{1040, 1040, 1040}));
  EXPECT_EQ(std::vector<int>(pacing.waits.begin(), pacing.waits.begin() + 8),
            (std::vector<int>{300, 300, 300, 100, 300, 300, 300, 100}));
}

TEST_F(MonitoringRateTest, frequency_refusals_double_the_gap_up_to_30_s_and_a_success_restores_it) {
  const std::string too_often =
      utf8(u8"{\"status\":{\"status_code\":10005,\"status_reason\":\"用户请求频次超过上限\"}}");
  for (int i = 0; i < 7; ++i)
    network.reply(ids_url(), i == 3 ? utf8(u8"{\"status\":{\"status_code\":10004}}") : too_often);
  network.reply(ids_url(), std::string(texts::kEmptyDayReply));
  stop_after = 10;
  run_monitoring();
  EXPECT_EQ(gaps(),
            (std::vector<std::uint64_t>{2000, 4000, 8000, 16000, 30000, 30000, 30000, 1000, 1000}));
  // One failure line for the run of refusals, one for the recovery.
  EXPECT_EQ(window.log, started_then_stopped(gbk(u8"监控：获取订单失败：用户请求频次超过上限\r\n") +
                                             std::string(texts::kMonitoringRecovered)));
}

TEST_F(MonitoringRateTest, stop_and_close_cut_the_gap_short) {
  network.reply(ids_url(), std::string(texts::kEmptyDayReply));
  stop_after = 0;
  pacing.on_wait_until = [&] {
    if (ids_requests() == 2) stop_monitoring(session);
  };
  run_monitoring();
  EXPECT_EQ(ids_requests(), 2);
  // The gap after the second request ended at once: the clock did not move through it.
  EXPECT_EQ(clock.now_ms(), ids_times[1] + 40);

  // A loop started again at once still keeps the second since the last request.
  pacing.on_wait_until = [&] {
    if (ids_requests() == 3) {
      window.is_alive = false;
      on_main_window_closed(session);
    }
  };
  run_monitoring();
  EXPECT_EQ(gaps(), (std::vector<std::uint64_t>{1000, 1000}));
  EXPECT_EQ(ids_requests(), 3);
}

TEST_F(MonitoringTest, the_index_spares_scanning_the_list) {
  for (int i = 0; i < 200; ++i)
    window.order_list().set_cell(window.order_list().insert_row(), 1, std::to_string(i));
  std::vector<std::string> ids;
  for (int i = 0; i < 200; ++i) ids.push_back(std::to_string(i));
  network.reply(ids_url(), ids_reply(ids));
  network.reply(build_order_ids_request("2026-5-3", session.access_token(), 2),
                std::string(texts::kEmptyDayReply));
  stop_at_ids_request(1);
  run_monitoring();
  EXPECT_EQ(network.pages.size(), 2u);  // both pages, no detail
  EXPECT_EQ(window.orders.scans, 0);
}

TEST_F(MonitoringTest, each_pass_hands_over_the_names_and_quantities_of_the_rows_it_added) {
  const std::string url = ids_url();
  network.reply(url, ids_reply({"B", "C"}));
  network.reply(url, ids_reply({"B", "C"}));
  network.reply(url, ids_reply({"B", "C", "D"}));
  DetailFields b = order("B", kUnpaidUtf8);
  network.reply(detail_url("B"), detail_reply(b));
  b.status2 = order("B").status2;
  b.item_name = utf8(u8"手工皂");
  b.quantity = "3";
  network.reply(detail_url("B"), detail_reply(b));
  DetailFields c2 = order("C2");
  c2.item_name = utf8(u8"香皂 × 2");
  network.reply(detail_url("C"), order_object(order("C")) + order_object(c2));
  network.reply(detail_url("D"), detail_reply(order("D", kUnpaidUtf8)));
  stop_at_ids_request(3);
  run_monitoring();

  // Pass 1: C and C2 in reply order; pass 2: B, now paid; pass 3: nothing paid, nothing told.
  ASSERT_EQ(window.announced.size(), 2u);
  ASSERT_EQ(window.announced[0].size(), 2u);
  EXPECT_EQ(window.announced[0][0].order_id, "C");
  EXPECT_EQ(window.announced[0][0].item_name, "item");
  EXPECT_EQ(window.announced[0][1].order_id, "C2");
  EXPECT_EQ(window.announced[0][1].item_name, gbk(u8"香皂 × 2"));
  ASSERT_EQ(window.announced[1].size(), 1u);
  EXPECT_EQ(window.announced[1][0].order_id, "B");
  EXPECT_EQ(window.announced[1][0].item_name, gbk(u8"手工皂"));
  EXPECT_EQ(window.announced[1][0].quantity, "3");
  EXPECT_EQ(window.notified, (std::vector<int>{2, 1}));
}

}  // namespace
}  // namespace quillmere::shop::testing
