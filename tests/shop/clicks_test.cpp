// The jobs table cell by cell, and the clicks that start jobs on real threads over the fakes.

#include "shop/clicks.h"

#include <atomic>
#include <chrono>
#include <thread>

#include "shop/texts.h"
#include "shop_fixture.h"

namespace quillmere::shop::testing {
namespace {

using namespace std::chrono_literals;

template <class Done>
bool eventually(const Done& done) {
  for (int i = 0; i < 5000; ++i) {
    if (done()) return true;
    std::this_thread::sleep_for(1ms);
  }
  return done();
}

// Puts one job of `job`'s kind under way through the calls its click makes.
void begin(Jobs& jobs, Job job, std::atomic<int>& monitoring_flag) {
  switch (job) {
    case Job::login: jobs.begin_login(); break;
    case Job::retrieval: jobs.begin_retrieval(); break;
    case Job::monitoring: ASSERT_TRUE(jobs.start_monitoring(monitoring_flag)); break;
    case Job::delivery: ASSERT_TRUE(jobs.begin_delivery()); break;
    case Job::bulk_run: ASSERT_TRUE(jobs.begin_bulk_run()); break;
  }
}

void end(Jobs& jobs, Job job, std::atomic<int>& monitoring_flag) {
  switch (job) {
    case Job::login: jobs.end_login(); break;
    case Job::retrieval: jobs.end_retrieval(jobs.latest_retrieval()); break;
    case Job::monitoring:
      monitoring_flag = 0;
      ASSERT_TRUE(jobs.finish_monitoring(monitoring_flag, false));
      break;
    case Job::delivery: jobs.end_delivery(); break;
    case Job::bulk_run: jobs.end_bulk_run(); break;
  }
}

constexpr Effect R = Effect::runs, S = Effect::stops, T = Effect::takes_over, J = Effect::joins,
                 A = Effect::abandons, W = Effect::waits_out, X = Effect::refused;

struct Row {
  Button button;
  std::array<Effect, kJobKinds> while_running;  // login, retrieval, monitoring, delivery, bulk
};

// clang-format off
const Row kExpected[] = {
    {Button::login,            {T, R, R, R, R}},
    {Button::fetch_orders,     {R, T, R, R, R}},
    {Button::start_monitoring, {R, R, J, R, R}},
    {Button::stop_monitoring,  {R, R, S, R, R}},
    {Button::deliver,          {R, R, R, R, R}},
    {Button::confirm,          {R, R, R, X, X}},
    {Button::export_list,      {R, R, R, R, R}},
    {Button::start_bulk_run,   {R, R, R, X, X}},
    {Button::close,            {A, A, A, W, W}},
};
// clang-format on

TEST(jobs_table, every_cell_with_that_one_job_running_and_none_without) {
  ASSERT_EQ(std::size(kExpected), static_cast<std::size_t>(kButtonKinds));
  for (const Row& row : kExpected) {
    for (int column = 0; column < kJobKinds; ++column) {
      const Job job = static_cast<Job>(column);
      SCOPED_TRACE(::testing::Message()
                   << "button " << static_cast<int>(row.button) << ", job " << column);
      Jobs jobs;
      std::atomic<int> flag{0};
      EXPECT_EQ(jobs.decide(row.button), Effect::runs) << "nothing runs";
      begin(jobs, job, flag);
      EXPECT_EQ(job_rule(job, row.button), row.while_running[static_cast<std::size_t>(column)]);
      EXPECT_EQ(jobs.decide(row.button), row.while_running[static_cast<std::size_t>(column)]);
      end(jobs, job, flag);
      EXPECT_EQ(jobs.decide(row.button), Effect::runs) << "the job ended";
    }
  }
}

TEST(jobs_table, with_several_jobs_running_the_strongest_rule_holds) {
  Jobs jobs;
  std::atomic<int> flag{0};
  ASSERT_TRUE(jobs.start_monitoring(flag));
  jobs.begin_login();
  EXPECT_EQ(jobs.decide(Button::login), Effect::takes_over);
  EXPECT_EQ(jobs.decide(Button::close), Effect::abandons);
  ASSERT_TRUE(jobs.begin_bulk_run());
  EXPECT_EQ(jobs.decide(Button::close), Effect::waits_out);
  EXPECT_EQ(jobs.decide(Button::confirm), Effect::refused);
  EXPECT_EQ(jobs.decide(Button::start_monitoring), Effect::joins);
  EXPECT_FALSE(jobs.begin_delivery()) << "a bulk run refuses 确定";
  EXPECT_FALSE(jobs.begin_bulk_run()) << "one bulk run at a time";
  EXPECT_TRUE(jobs.delivery_path_out());
  jobs.end_bulk_run();
  EXPECT_FALSE(jobs.delivery_path_out());
  ASSERT_TRUE(jobs.begin_delivery());
  EXPECT_FALSE(jobs.begin_bulk_run()) << "a delivery refuses 开始发货";
  EXPECT_TRUE(jobs.delivery_path_out());
  jobs.end_delivery();
  EXPECT_TRUE(jobs.wait_for_delivery_path(0ms));
}

TEST(jobs_table, a_bulk_run_is_waited_out_like_a_delivery) {
  Jobs jobs;
  ASSERT_TRUE(jobs.begin_bulk_run());
  std::thread run([&] {
    std::this_thread::sleep_for(30ms);
    jobs.end_bulk_run();
  });
  EXPECT_FALSE(jobs.wait_for_delivery_path(1ms));
  EXPECT_TRUE(jobs.wait_for_delivery_path(5s));
  run.join();
}

class ClicksTest : public ShopTest {
 protected:
  ClicksTest() {
    session.set_access_token("tok");
    window.add_order({"1", "7788", "2", "cup"});
    window.add_order({"2", "9900", "5", "pen"});
    window.orders.selected = 0;
    express.index = 0;
    express.courier = std::string("999:") + "x";
  }
  FakeThreads threads;
  ShopPorts ports{session, window, express, network, pacing, record_file, threads};
};

TEST_F(ClicksTest, the_order_selected_at_confirm_is_shipped_and_recorded_whatever_follows) {
  const std::string first = build_delivery_request("7788", "999", "tok");
  network.reply(first, std::string(texts::kDeliveryAcceptedReply));
  std::atomic<bool> release{false};
  network.during_exchange = [&](const std::string&) { eventually([&] { return release.load(); }); };
  std::atomic<int> ended{0};
  ASSERT_TRUE(click_confirm(ports, express.choice(), [&] { ++ended; }));
  // The owner clicks another row and changes the courier right after 确定.
  window.orders.selected = 1;
  express.index = 1;
  express.tracking = "SF-1";
  release = true;
  threads.join_all();
  EXPECT_EQ(network.winhttps, std::vector<std::string>{first});
  EXPECT_EQ(record_file.content, "7788|2\r\n");
  EXPECT_EQ(window.deliveries.rows.at(0).at(1), "7788");
  EXPECT_EQ(ended, 1);
  EXPECT_EQ(express.holds, (std::vector<bool>{true, false}));
}

TEST_F(ClicksTest, a_second_confirm_while_the_first_is_out_starts_no_thread) {
  std::atomic<bool> release{false};
  network.during_exchange = [&](const std::string&) { eventually([&] { return release.load(); }); };
  ASSERT_TRUE(click_confirm(ports, express.choice(), nullptr));
  EXPECT_FALSE(click_confirm(ports, express.choice(), nullptr));
  EXPECT_EQ(threads.started, 1);
  release = true;
  threads.join_all();
  EXPECT_EQ(network.sent("vdian.order.deliver"), 1);
}

TEST_F(ClicksTest, validation_shows_its_box_before_any_job_exists) {
  express.index = 1;
  express.tracking.clear();
  EXPECT_FALSE(click_confirm(ports, express.choice(), nullptr));
  EXPECT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.log, texts::kDeliveryFailed);
  EXPECT_EQ(threads.started, 0);
  EXPECT_FALSE(session.jobs().delivery_out()) << "a shutdown meanwhile waits for nothing";
  EXPECT_TRUE(express.holds.empty());
}

// Each click, on a system out of threads: no ticket, flag, hold or job is left behind.
TEST_F(ClicksTest, a_failed_thread_start_changes_nothing) {
  threads.fail = true;
  Jobs& jobs = session.jobs();
  const std::uint64_t retrieval_before = jobs.latest_retrieval();
  const std::string token_before = session.access_token();

  EXPECT_FALSE(click_login(ports, "ak", "sk"));
  EXPECT_FALSE(click_fetch_orders(ports, window.date));
  EXPECT_FALSE(click_start_monitoring(ports, window.date, nullptr));
  EXPECT_FALSE(click_confirm(ports, express.choice(), nullptr));

  EXPECT_EQ(jobs.latest_retrieval(), retrieval_before);
  EXPECT_EQ(session.monitoring_flag(), 0);
  for (int job = 0; job < kJobKinds; ++job) EXPECT_FALSE(jobs.running(static_cast<Job>(job)));
  EXPECT_TRUE(express.holds.empty());
  EXPECT_EQ(session.access_token(), token_before);
  EXPECT_TRUE(network.pages.empty());
  EXPECT_TRUE(network.winhttps.empty());

  // Monitoring still adds rows afterwards: no retrieval was left listing the day.
  threads.fail = false;
  network.reply(ids_url(), ids_reply({"7788", "N1"}));
  network.reply(detail_url("N1"), detail_reply(order("N1")));
  session.set_monitored_day(window.date);
  monitoring_pass(session, window, network, pacing);
  EXPECT_EQ(window.orders.row_count(), 3);
}

TEST_F(ClicksTest, an_overtaken_retrieval_hands_the_day_back_to_monitoring) {
  network.reply(ids_url(), ids_reply({"A", "B"}));
  network.reply(detail_url("A"), detail_reply(order("A")));
  network.reply(detail_url("B"), detail_reply(order("B")));
  std::atomic<bool> release{false};
  network.during_exchange = [&](const std::string& url) {
    if (url == detail_url("A")) eventually([&] { return release.load(); });
  };
  ASSERT_TRUE(click_fetch_orders(ports, window.date));
  ASSERT_TRUE(eventually([&] { return network.sent(detail_url("A")) == 1; }));
  // A later 订单查询 whose thread cannot start: the first one lists on, and monitoring after it.
  threads.fail = true;
  EXPECT_FALSE(click_fetch_orders(ports, window.date));
  release = true;
  threads.join_all();
  EXPECT_EQ(window.orders.row_count(), 2);
  network.during_exchange = nullptr;
  network.forget(ids_url());
  network.reply(ids_url(), ids_reply({"A", "B", "C"}));
  network.reply(detail_url("C"), detail_reply(order("C")));
  session.set_monitored_day(window.date);
  monitoring_pass(session, window, network, pacing);
  EXPECT_EQ(window.orders.row_count(), 3);
}

TEST_F(ClicksTest, start_monitoring_follows_the_day_handed_over_and_joins_a_running_loop) {
  network.reply(ids_url("2026-5-3"), std::string(texts::kEmptyDayReply));
  network.reply(ids_url("2026-5-4"), std::string(texts::kEmptyDayReply));
  pacing.yield_in_waits = true;
  std::atomic<int> ended{0};
  ASSERT_TRUE(click_start_monitoring(ports, {2026, 5, 3}, [&] { ++ended; }));
  session.set_monitored_day({2026, 5, 4});
  ASSERT_TRUE(eventually([&] { return network.sent("2026-5-4") >= 1; }));
  EXPECT_TRUE(click_start_monitoring(ports, {2026, 5, 4}, [&] { ++ended; }));
  EXPECT_EQ(threads.started, 2) << "the second thread is let go at once";
  click_stop_monitoring(ports);
  threads.join_all();
  EXPECT_EQ(ended, 1);
  EXPECT_EQ(window.log,
            std::string(texts::kMonitoringStarted) + std::string(texts::kMonitoringStopped));
}

TEST_F(ClicksTest, the_later_login_wins_with_the_fields_as_they_were_at_each_click) {
  const std::string first_url = build_token_request("ak", "sk");
  network.reply(first_url, token_reply("OLD", 90000));
  network.reply(build_token_request("bk", "sk"), token_reply("NEW", 90000));
  std::atomic<bool> release{false};
  network.during_exchange = [&](const std::string& url) {
    if (url == first_url) eventually([&] { return release.load(); });
  };
  ASSERT_TRUE(click_login(ports, "ak", "sk"));
  ASSERT_TRUE(eventually([&] { return network.sent(first_url) == 1; }));
  ASSERT_TRUE(click_login(ports, "bk", "sk"));
  ASSERT_TRUE(eventually([&] { return session.access_token() == "NEW"; }));
  EXPECT_EQ(session.jobs().decide(Button::login), Effect::takes_over);
  release = true;
  threads.join_all();
  EXPECT_EQ(session.access_token(), "NEW");
  EXPECT_EQ(session.jobs().decide(Button::login), Effect::runs);
}

}  // namespace
}  // namespace quillmere::shop::testing
