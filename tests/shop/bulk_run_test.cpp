// The bulk run against fakes: each order read afresh, sent once, recorded, reported.

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "shop/bulk.h"
#include "shop/bulk_texts.h"
#include "shop/couriers.h"
#include "shop/texts.h"
#include "shop_fixture.h"

namespace quillmere::shop::testing {
namespace {

class BulkRunTest : public ShopTest {
 protected:
  BulkRunTest() { session.set_access_token("tok"); }

  FakeBulkReport report;
  std::shared_ptr<std::atomic<bool>> stop = std::make_shared<std::atomic<bool>>(false);

  static BulkItem item(std::size_t row, const std::string& id, int courier = 1,
                       const std::string& tracking = "SF1") {
    return {row, id, express_code(kCouriers[static_cast<std::size_t>(courier)]), courier, tracking};
  }
  static std::string deliver_url(const BulkItem& sent, const std::string& token = "tok") {
    if (sent.courier_index == 0)
      return build_delivery_request(sent.order_id, sent.express_code, token);
    return build_delivery_request_with_courier(sent.order_id, sent.express_code,
                                               sent.tracking_number, token);
  }
  // What the order's detail reply says next (UTF-8 in, as the platform sends it); scripted
  // replies come in turn, the last one repeating.
  void platform_shows(const std::string& id, std::u8string_view state = u8"待发货",
                      const std::string& quantity = "1", const std::string& token = "tok") {
    DetailFields fields = order(id);
    fields.status_desc = utf8(state);
    fields.quantity = quantity;
    network.reply(build_order_detail_request(id, token), detail_reply(fields));
  }
  void accepts(const BulkItem& sent, const std::string& token = "tok") {
    network.reply(deliver_url(sent, token), std::string(texts::kDeliveryAcceptedReply));
  }
  void run(std::vector<BulkItem> items) {
    run_bulk_delivery({std::move(items), stop}, session, network, pacing, record_file, report);
  }
  std::vector<std::string> results() const {
    std::vector<std::string> out;
    for (const BulkRowDone& done : report.rows) out.push_back(done.result);
    return out;
  }
  int times_sent(const std::string& url) const {
    return static_cast<int>(std::count(network.winhttps.begin(), network.winhttps.end(), url));
  }
  const std::string shipped{texts::kDeliveredCell};
};

TEST_F(BulkRunTest,
       sends_each_row_after_reading_its_order_and_records_it_as_a_single_delivery_does) {
  const BulkItem first = item(0, "7001");
  const BulkItem second = item(3, "7002", 0, "ignored");
  platform_shows("7001", u8"待发货", "3");
  platform_shows("7002");
  accepts(first);
  accepts(second);
  run({first, second});

  EXPECT_EQ(network.pages, (std::vector<std::string>{detail_url("7001"), detail_url("7002")}));
  EXPECT_EQ(network.winhttps, (std::vector<std::string>{deliver_url(first), deliver_url(second)}));
  // Four requests, 300 ms apart.
  EXPECT_EQ(pacing.waits, (std::vector<int>{300, 300, 300}));
  EXPECT_EQ(record_file.content, "7001|3\r\n7002|1\r\n");

  ASSERT_EQ(report.rows.size(), 2u);
  EXPECT_EQ(report.rows[0].row, 0u);
  EXPECT_EQ(report.rows[1].row, 3u);
  EXPECT_EQ(results(), (std::vector<std::string>{shipped, shipped}));
  EXPECT_TRUE(report.rows[0].shipped);
  EXPECT_EQ(report.rows[0].order_id, "7001");
  EXPECT_EQ(report.rows[0].quantity, "3") << "the quantity of the detail reply";
  EXPECT_EQ(report.rows[0].progress_text, gbk(u8"已发 1 / 共 2 单，失败 0，跳过 0"));
  EXPECT_EQ(report.rows[1].progress_text, gbk(u8"已发 2 / 共 2 单，失败 0，跳过 0"));
  EXPECT_TRUE(report.logs.empty());
  ASSERT_EQ(report.summaries.size(), 1u);
  EXPECT_FALSE(report.summaries[0].stopped);
  EXPECT_EQ(report.summaries[0].log_line,
            gbk(u8"批量发货完成：成功 2 单，失败 0 单，跳过 0 单\r\n"));
}

TEST_F(BulkRunTest, an_order_the_platform_does_not_show_awaiting_shipment_is_skipped_unsent) {
  using Detail = std::function<std::string(const std::string& id)>;
  auto showing = [](std::u8string_view state, const std::string& status2 = order("").status2) {
    return Detail([=](const std::string& id) {
      DetailFields fields = order(id, status2);
      fields.status_desc = utf8(state);
      return detail_reply(fields);
    });
  };
  struct Case {
    const char* what;
    Detail detail;  // the reply to the order's detail request, UTF-8
    std::u8string_view result;
  };
  const std::vector<Case> cases = {
      {"no such order", [](const std::string&) { return refusal(20018, utf8(u8"订单不存在")); },
       u8"跳过：订单不存在"},
      {"no reply", [](const std::string&) { return std::string(); }, u8"跳过：无法连接微店平台"},
      {"another order's detail", [&](const std::string&) { return showing(u8"待发货")("7999"); },
       u8"跳过：无法识别的回复"},
      {"not paid", showing(u8"待付款", kUnpaidUtf8), u8"跳过：未付款"},
      {"shipped", showing(u8"已发货"), u8"跳过：已发货"},
      {"closed", showing(u8"已关闭"), u8"跳过：已关闭"},
      {"in refund", showing(u8"退款中"), u8"跳过：退款中"},
      {"no state", showing(u8""), u8"跳过：发货状态未知"},
  };
  std::vector<BulkItem> items;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const std::string id = "70" + std::to_string(i);
    network.reply(detail_url(id), cases[i].detail(id));
    items.push_back(item(i, id));
    accepts(items.back());
  }
  run(items);
  EXPECT_TRUE(network.winhttps.empty()) << "nothing is sent";
  ASSERT_EQ(report.rows.size(), cases.size());
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].what);
    EXPECT_EQ(report.rows[i].result, gbk(cases[i].result));
    EXPECT_FALSE(report.rows[i].shipped);
  }
  EXPECT_EQ(report.rows.back().progress_text, gbk(u8"已发 0 / 共 8 单，失败 0，跳过 8"));
  EXPECT_EQ(record_file.attempts, 0);
}

TEST_F(BulkRunTest, a_refusal_is_written_with_the_platforms_reason_and_the_run_goes_on) {
  const BulkItem refused = item(0, "7001");
  const BulkItem next = item(1, "7002");
  platform_shows("7001");
  platform_shows("7002");
  network.reply(deliver_url(refused), refusal(20017, utf8(u8"订单未付款，不能发货")));
  accepts(next);
  run({refused, next});
  EXPECT_EQ(results(),
            (std::vector<std::string>{gbk(u8"发货失败：订单未付款，不能发货"), shipped}));
  EXPECT_EQ(times_sent(deliver_url(refused)), 1);
  EXPECT_EQ(record_file.content, "7002|1\r\n");
  EXPECT_EQ(report.summaries.at(0).log_line,
            gbk(u8"批量发货完成：成功 1 单，失败 1 单，跳过 0 单\r\n"));
}

TEST_F(BulkRunTest, an_unknown_outcome_is_never_sent_again_and_the_order_itself_decides) {
  struct Case {
    const char* what;
    std::string reply;               // to the delivery
    std::u8string_view state_after;  // what the order shows when read again
    bool shipped;
  };
  const std::vector<Case> cases = {
      {"dropped, then shipped", "", u8"已发货", true},
      {"dropped, not shipped", "", u8"待发货", false},
      {"cut off, then shipped", "{\"result\":\"\",\"status\":{\"status_co", u8"已发货", true},
      {"a yes in another form", "{\"status\":{\"status_code\":0},\"result\":\"\"}", u8"待发货",
       false},
  };
  std::vector<BulkItem> items;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const std::string id = "70" + std::to_string(i);
    items.push_back(item(i, id));
    platform_shows(id, u8"待发货", "2");
    platform_shows(id, cases[i].state_after, "2");
    network.reply(deliver_url(items.back()), cases[i].reply);
  }
  run(items);
  ASSERT_EQ(report.rows.size(), cases.size());
  std::string recorded;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].what);
    EXPECT_EQ(times_sent(deliver_url(items[i])), 1);
    EXPECT_EQ(std::count(network.pages.begin(), network.pages.end(), detail_url(items[i].order_id)),
              2);
    EXPECT_EQ(report.rows[i].result,
              cases[i].shipped ? shipped : std::string(texts::kOutcomeUnknown));
    EXPECT_EQ(report.rows[i].shipped, cases[i].shipped);
    if (cases[i].shipped) recorded += items[i].order_id + "|2\r\n";
  }
  EXPECT_EQ(record_file.content, recorded);
  EXPECT_EQ(report.summaries.at(0).log_line,
            gbk(u8"批量发货完成：成功 2 单，失败 2 单，跳过 0 单\r\n"));
}

TEST_F(BulkRunTest, a_failed_reading_after_an_unknown_outcome_leaves_it_unknown) {
  const BulkItem sent = item(0, "7001");
  platform_shows("7001");
  network.reply(detail_url("7001"), "");
  run({sent});
  EXPECT_EQ(times_sent(deliver_url(sent)), 1);
  EXPECT_EQ(results(), (std::vector<std::string>{std::string(texts::kOutcomeUnknown)}));
  EXPECT_EQ(record_file.attempts, 0);
}

TEST_F(BulkRunTest, stop_lets_the_request_out_finish_and_be_recorded_and_a_later_run_goes_on) {
  BulkList list;
  sheet::Table table;
  for (const char* id : {"7001", "7002", "7003"}) {
    table.rows.push_back({{id, false}, {"1", false}, {std::string("SF") + id, false}});
    platform_shows(id);
    accepts(item(0, id, 1, std::string("SF") + id));
  }
  list.add(table);
  list.check({});
  // 停止 is clicked while the first delivery is out.
  network.during_exchange = [&](const std::string& url) {
    if (url.find("vdian.order.deliver") != std::string::npos) stop->store(true);
  };
  run(list.items_to_send());
  ASSERT_EQ(report.rows.size(), 1u);
  EXPECT_EQ(report.rows[0].result, shipped);
  EXPECT_EQ(record_file.content, "7001|1\r\n");
  EXPECT_TRUE(report.summaries.at(0).stopped);
  EXPECT_EQ(report.summaries[0].log_line,
            gbk(u8"批量发货完成：成功 1 单，失败 0 单，跳过 0 单\r\n"));
  for (const BulkRowDone& done : report.rows) list.set_result(done.row, done.result);
  EXPECT_EQ(list.rows()[1].result, "") << "unsent rows keep an empty 结果";

  // 开始发货 again: the rest, and never the shipped one.
  network.during_exchange = nullptr;
  stop->store(false);
  report = FakeBulkReport{};
  run(list.items_to_send());
  ASSERT_EQ(report.rows.size(), 2u);
  EXPECT_EQ(report.rows[0].row, 1u);
  EXPECT_EQ(report.rows[0].progress_text, gbk(u8"已发 1 / 共 2 单，失败 0，跳过 0"));
  for (const BulkRowDone& done : report.rows) list.set_result(done.row, done.result);
  EXPECT_TRUE(list.items_to_send().empty());
  for (const char* id : {"7001", "7002", "7003"})
    EXPECT_EQ(times_sent(deliver_url(item(0, id, 1, std::string("SF") + id))), 1) << id;
  EXPECT_EQ(record_file.content, "7001|1\r\n7002|1\r\n7003|1\r\n");
}

TEST_F(BulkRunTest, stop_from_the_window_thread_ends_a_run_on_its_own_thread) {
  std::vector<BulkItem> items;
  for (const char* id : {"7001", "7002", "7003"}) {
    items.push_back(item(items.size(), id));
    platform_shows(id);
    accepts(items.back());
  }
  std::atomic<bool> delivery_out{false};
  std::atomic<bool> release{false};
  network.during_exchange = [&](const std::string& url) {
    if (url != deliver_url(items[0])) return;
    delivery_out = true;
    for (int i = 0; i < 5000 && !release; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  };
  std::thread job([&] { run(items); });
  for (int i = 0; i < 5000 && !delivery_out; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  stop->store(true);  // 停止, while the first delivery is out
  release = true;
  job.join();
  EXPECT_EQ(results(), (std::vector<std::string>{shipped}));
  EXPECT_EQ(record_file.content, "7001|1\r\n");
  EXPECT_EQ(network.winhttps.size(), 1u);
  ASSERT_EQ(report.summaries.size(), 1u);
  EXPECT_TRUE(report.summaries[0].stopped);
}

TEST_F(BulkRunTest, stop_before_a_row_or_between_its_reading_and_its_delivery_sends_nothing_more) {
  platform_shows("7001");
  stop->store(true);
  run({item(0, "7001")});
  EXPECT_TRUE(network.pages.empty());
  EXPECT_TRUE(report.rows.empty());
  ASSERT_EQ(report.summaries.size(), 1u);
  EXPECT_TRUE(report.summaries[0].stopped);

  stop->store(false);
  network.during_exchange = [&](const std::string&) { stop->store(true); };
  run({item(0, "7001")});
  EXPECT_EQ(network.pages.size(), 1u);
  EXPECT_TRUE(network.winhttps.empty());
  EXPECT_TRUE(report.rows.empty()) << "the row stays unsent";
}

TEST_F(BulkRunTest, a_token_refused_midway_is_renewed_and_the_row_ships_once) {
  log_in("T1");
  network.reply(build_token_request("ak", "sk"), token_reply("T2", 90000));
  const BulkItem first = item(0, "7001");
  const BulkItem second = item(1, "7002");
  platform_shows("7001", u8"待发货", "1", "T1");
  network.reply(deliver_url(first, "T1"),
                refusal(10013, utf8(u8"access_token无效(access_token:T1 无效) ")));
  accepts(first, "T2");
  platform_shows("7002", u8"待发货", "1", "T2");
  accepts(second, "T2");
  window.log.clear();
  run({first, second});
  EXPECT_EQ(network.winhttps,
            (std::vector<std::string>{deliver_url(first, "T1"), deliver_url(first, "T2"),
                                      deliver_url(second, "T2")}));
  EXPECT_EQ(results(), (std::vector<std::string>{shipped, shipped}));
  EXPECT_EQ(report.logs, (std::vector<std::string>{std::string(texts::kRenewalSucceeded)}));
  EXPECT_EQ(window.log, "") << "the job reports, it touches no window";
  EXPECT_EQ(record_file.content, "7001|1\r\n7002|1\r\n");
}

TEST_F(BulkRunTest, a_later_login_is_used_from_the_next_row_on) {
  const BulkItem first = item(0, "7001");
  const BulkItem second = item(1, "7002");
  platform_shows("7001");
  accepts(first);
  platform_shows("7002", u8"待发货", "1", "NEW");
  accepts(second, "NEW");
  // 登陆 ends while the first delivery is out.
  network.during_exchange = [&](const std::string& url) {
    if (url == deliver_url(first)) session.set_access_token("NEW");
  };
  run({first, second});
  EXPECT_EQ(network.winhttps,
            (std::vector<std::string>{deliver_url(first), deliver_url(second, "NEW")}));
  EXPECT_EQ(results(), (std::vector<std::string>{shipped, shipped}));
}

TEST_F(BulkRunTest, a_line_the_record_file_did_not_take_is_reported_and_the_row_stays_shipped) {
  const BulkItem sent = item(0, "7001");
  platform_shows("7001");
  accepts(sent);
  record_file.failed_write = "Disk full.";
  run({sent});
  EXPECT_EQ(results(), (std::vector<std::string>{shipped}));
  EXPECT_EQ(report.logs,
            (std::vector<std::string>{std::string(texts::kRecordWriteFailed) + "Disk full.\r\n"}));

  // No record file at all is no failure.
  report = FakeBulkReport{};
  const BulkItem next = item(0, "7002");
  platform_shows("7002");
  accepts(next);
  record_file = FakeRecordFile{};
  record_file.exists = false;
  run({next});
  EXPECT_EQ(results(), (std::vector<std::string>{shipped}));
  EXPECT_TRUE(report.logs.empty());
}

}  // namespace
}  // namespace quillmere::shop::testing
