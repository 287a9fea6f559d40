// What a click does while jobs run, row by row, with the jobs on real threads.

#include <atomic>
#include <chrono>
#include <thread>

#include "shop/texts.h"
#include "shop_fixture.h"

namespace quillmere::shop::testing {
namespace {

using namespace std::chrono_literals;

// Spins until `done` holds or 5 s have passed; false on the timeout, so a broken job fails the
// test instead of hanging it.
template <class Done>
bool eventually(const Done& done) {
  for (int i = 0; i < 5000; ++i) {
    if (done()) return true;
    std::this_thread::sleep_for(1ms);
  }
  return done();
}

class JobsTest : public ShopTest {
 protected:
  JobsTest() { session.set_access_token("tok"); }
  // The first exchange for `url` waits until `release` is set.
  void hold(const std::string& url, std::atomic<bool>& release) {
    network.during_exchange = [this, url, &release](const std::string& sent) {
      if (sent != url || network.sent(url) != 1) return;
      eventually([&] { return release.load(); });
    };
  }
  int ids_sent() { return network.sent("vdian.order.ids.get"); }
  int count(const std::string& text, std::string_view part) {
    int n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
      ++n;
    return n;
  }
  // The order list's ids and numbers, row by row.
  std::vector<std::pair<std::string, std::string>> listed() {
    std::vector<std::pair<std::string, std::string>> out;
    for (int r = 0; r < window.orders.row_count(); ++r)
      out.emplace_back(window.orders.cell(r, 0), window.orders.cell(r, 1));
    return out;
  }
};

TEST_F(JobsTest, a_second_confirmation_while_a_delivery_is_out_sends_nothing) {
  Jobs& jobs = session.jobs();
  ASSERT_TRUE(jobs.begin_delivery());
  // Enter and 确定 at once, from two threads: neither starts a second delivery.
  std::atomic<int> begun{0};
  std::thread enter([&] { begun += jobs.begin_delivery(); });
  std::thread button([&] { begun += jobs.begin_delivery(); });
  enter.join();
  button.join();
  EXPECT_EQ(begun, 0);
  EXPECT_TRUE(jobs.delivery_out());
  jobs.end_delivery();
  EXPECT_FALSE(jobs.delivery_out());
  EXPECT_TRUE(jobs.begin_delivery()) << "once the outcome is in, 确定 works again";
  jobs.end_delivery();
}

TEST_F(JobsTest, confirm_is_held_from_the_click_until_the_outcome_shows) {
  window.orders.add({"1", "7788", "2", "cup"});
  window.orders.selected = 0;
  express.index = 0;
  express.courier = "999:x";
  network.reply(build_delivery_request("7788", "999", "tok"),
                std::string(texts::kDeliveryAcceptedReply));
  const std::optional<Delivery> delivery = take_delivery(window, express.choice());
  ASSERT_TRUE(delivery);
  ASSERT_TRUE(begin_confirmation(session, express));
  EXPECT_FALSE(begin_confirmation(session, express)) << "the second click does nothing";
  EXPECT_EQ(express.holds, std::vector<bool>{true});
  std::thread job([&] {
    on_confirm_delivery(session, window, express, network, record_file, pacing, *delivery);
  });
  job.join();
  EXPECT_EQ(express.holds, (std::vector<bool>{true, false}));
  EXPECT_FALSE(session.jobs().delivery_out());
  EXPECT_EQ(window.log, texts::kDeliverySucceeded);
  EXPECT_EQ(network.sent("vdian.order.deliver"), 1);

  // A refused one gives 确定 back as well.
  ASSERT_TRUE(begin_confirmation(session, express));
  on_confirm_delivery(session, window, express, network, record_file, pacing,
                      Delivery{"999", 0, "", "unknown", "1"});
  EXPECT_EQ(express.holds, (std::vector<bool>{true, false, true, false}));
  EXPECT_FALSE(session.jobs().delivery_out());
}

TEST_F(JobsTest, closing_waits_out_a_delivery_and_no_longer_than_it_takes) {
  Jobs& jobs = session.jobs();
  EXPECT_TRUE(jobs.wait_for_delivery_path(0ms)) << "nothing out: no wait";
  ASSERT_TRUE(jobs.begin_delivery());
  EXPECT_FALSE(jobs.wait_for_delivery_path(20ms));
  std::thread reply([&] {
    std::this_thread::sleep_for(30ms);
    jobs.end_delivery();
  });
  const auto started = std::chrono::steady_clock::now();
  EXPECT_TRUE(jobs.wait_for_delivery_path(5s));
  EXPECT_LT(std::chrono::steady_clock::now() - started, 2s);
  reply.join();
}

TEST_F(JobsTest, a_delivery_out_during_monitoring_is_written_when_its_reply_arrives) {
  window.orders.add({"1", "7788", "2", "cup"});
  window.orders.selected = 0;
  express.index = 0;
  express.courier = "999:x";
  const std::string deliver = build_delivery_request("7788", "999", "tok");
  network.reply(deliver, std::string(texts::kDeliveryAcceptedReply));
  network.reply(ids_url(), std::string(texts::kEmptyDayReply));
  std::atomic<bool> release{false};
  hold(deliver, release);
  FakePacing monitoring_pacing;
  monitoring_pacing.yield_in_waits = true;
  session.set_monitored_day(window.date);
  std::thread monitoring(
      [&] { shop::run_monitoring(session, window, network, monitoring_pacing); });
  ASSERT_TRUE(eventually([&] { return ids_sent() >= 1; }));

  const std::optional<Delivery> taken = take_delivery(window, express.choice());
  ASSERT_TRUE(taken && begin_confirmation(session, express));
  std::thread delivery(
      [&] { on_confirm_delivery(session, window, express, network, record_file, pacing, *taken); });
  // Monitoring goes on while the delivery waits for its reply.
  const int before = ids_sent();
  EXPECT_TRUE(eventually([&] { return ids_sent() >= before + 2; }));
  release = true;
  delivery.join();
  // The outcome is in while monitoring still runs: nothing holds it until 停止监控.
  EXPECT_EQ(session.monitoring_flag(), 1);
  {
    const std::lock_guard<std::mutex> hold_log(window.log_lock);
    EXPECT_NE(window.log.find(texts::kDeliverySucceeded), std::string::npos) << window.log;
  }
  EXPECT_EQ(window.deliveries.row_count(), 1);
  EXPECT_EQ(record_file.content, "7788|2\r\n");
  stop_monitoring(session);
  monitoring.join();
  EXPECT_EQ(network.sent("vdian.order.deliver"), 1);
}

TEST_F(JobsTest, a_start_while_monitoring_runs_is_one_loop_and_one_line) {
  network.reply(ids_url(), std::string(texts::kEmptyDayReply));
  // The loop's second ids request waits, so the clicks below land inside a pass.
  std::atomic<bool> release{false};
  network.during_exchange = [&](const std::string& url) {
    if (url == ids_url() && ids_sent() == 2) eventually([&] { return release.load(); });
  };
  FakePacing monitoring_pacing;
  monitoring_pacing.yield_in_waits = true;
  session.set_monitored_day(window.date);
  std::thread monitoring(
      [&] { shop::run_monitoring(session, window, network, monitoring_pacing); });
  ASSERT_TRUE(eventually([&] { return ids_sent() == 2; }));
  FakePacing second_pacing;
  shop::run_monitoring(session, window, network, second_pacing);  // returns at once
  EXPECT_TRUE(second_pacing.waits.empty());
  EXPECT_TRUE(session.jobs().monitoring_running());

  // 停止监控 then 开始监控 before the loop has seen the stop: it simply goes on.
  stop_monitoring(session);
  shop::run_monitoring(session, window, network, second_pacing);
  EXPECT_TRUE(second_pacing.waits.empty());
  release = true;
  EXPECT_TRUE(eventually([&] { return ids_sent() >= 4; }));
  stop_monitoring(session);
  monitoring.join();
  EXPECT_FALSE(session.jobs().monitoring_running());
  EXPECT_EQ(window.log,
            std::string(texts::kMonitoringStarted) + std::string(texts::kMonitoringStopped));
}

TEST_F(JobsTest, a_later_retrieval_takes_over_and_the_earlier_adds_nothing_more) {
  network.reply(ids_url(), ids_reply({"A", "B", "C"}));
  for (const char* id : {"A", "B", "C"}) network.reply(detail_url(id), detail_reply(order(id)));
  std::atomic<bool> release{false};
  hold(detail_url("B"), release);
  FakePacing first_pacing;
  Jobs& jobs = session.jobs();
  const std::uint64_t first_ticket = jobs.begin_retrieval();
  std::thread first([&] {
    run_order_retrieval(session, window, network, first_pacing, window.date, first_ticket);
  });
  ASSERT_TRUE(eventually([&] { return network.sent(detail_url("B")) == 1; }));

  // The second click; the first one's exchange for B comes back only after it has listed all.
  const std::uint64_t second_ticket = jobs.begin_retrieval();
  std::thread second([&] {
    run_order_retrieval(session, window, network, pacing, window.date, second_ticket);
    release = true;
  });
  second.join();
  first.join();
  EXPECT_EQ(listed(),
            (std::vector<std::pair<std::string, std::string>>{{"1", "A"}, {"2", "B"}, {"3", "C"}}));
  EXPECT_EQ(count(window.log, gbk(u8"成功获取2026-5-3订单\r\n")), 2);
  EXPECT_EQ(network.sent(detail_url("C")), 1) << "the overtaken retrieval asked for nothing more";
}

TEST_F(JobsTest, a_retrieval_during_monitoring_lists_each_order_once_numbered_in_order) {
  // The day as monitoring first sees it: A known, B newly paid.
  window.add_order({"1", "A"});
  network.reply(ids_url(), ids_reply({"A", "B"}));
  network.reply(detail_url("A"), detail_reply(order("A")));
  network.reply(detail_url("B"), detail_reply(order("B")));
  // Monitoring's exchange for B is held until the retrieval has emptied the list and begun.
  std::atomic<bool> release{false};
  hold(detail_url("B"), release);
  FakePacing monitoring_pacing;
  monitoring_pacing.yield_in_waits = true;
  session.set_monitored_day(window.date);
  std::thread monitoring(
      [&] { shop::run_monitoring(session, window, network, monitoring_pacing); });
  ASSERT_TRUE(eventually([&] { return network.sent(detail_url("B")) == 1; }));

  // Monitoring's reply comes while the retrieval lists the day it has just emptied.
  std::thread retrieval([&] { retrieve(); });
  ASSERT_TRUE(eventually([&] { return network.sent(detail_url("A")) == 1; }));
  release = true;
  retrieval.join();
  // Monitoring passes on after the retrieval: it adds nothing, every id being listed.
  const int before = ids_sent();
  EXPECT_TRUE(eventually([&] { return ids_sent() >= before + 2; }));
  stop_monitoring(session);
  monitoring.join();
  EXPECT_EQ(listed(), (std::vector<std::pair<std::string, std::string>>{{"1", "A"}, {"2", "B"}}));
}

TEST_F(JobsTest, an_earlier_login_whose_reply_comes_last_changes_nothing_and_logs_nothing) {
  const std::string first_url = build_token_request("ak", "sk");
  const std::string second_url = build_token_request("bk", "sk");
  network.reply(first_url, token_reply("OLD-SHOP", 90000));
  network.reply(second_url, token_reply("NEW-SHOP", 90000));
  std::atomic<bool> release{false};
  hold(first_url, release);
  window.appkey = "ak";
  window.secret = "sk";
  const std::uint64_t first_ticket = session.begin_login();
  std::thread first([&] { run_login(session, window, network, "ak", "sk", first_ticket); });
  ASSERT_TRUE(eventually([&] { return network.sent(first_url) == 1; }));

  window.appkey = "bk";
  const std::uint64_t second_ticket = session.begin_login();
  run_login(session, window, network, "bk", "sk", second_ticket);
  release = true;
  first.join();
  EXPECT_EQ(session.access_token(), "NEW-SHOP");
  EXPECT_EQ(window.log, texts::kLoginSucceeded);

  // The key kept for renewal is the later shop's.
  clock.advance(90'000'000);
  network.forget(second_url);
  network.reply(second_url, token_reply("NEW-SHOP-2", 90000));
  network.reply(build_order_ids_request("2026-5-3", "NEW-SHOP-2"),
                std::string(texts::kEmptyDayReply));
  retrieve();
  EXPECT_EQ(session.access_token(), "NEW-SHOP-2");
  EXPECT_EQ(network.sent(first_url), 1);
}

}  // namespace
}  // namespace quillmere::shop::testing
