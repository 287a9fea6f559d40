// The deliver button and the confirmation against fakes.

#include "shop/couriers.h"
#include "shop/texts.h"
#include "shop/workflows.h"
#include "shop_fixture.h"

namespace quillmere::shop::testing {
namespace {

class DeliveryTest : public ShopTest {
 protected:
  void SetUp() override {
    session.set_access_token("tok");
    window.orders.add({"1", "7788", "2", "cup"});
    window.orders.add({"2", "9900", "5", "pen"});
    window.orders.selected = 0;
  }
  void accept(const std::string& url) {
    network.reply(url, std::string(texts::kDeliveryAcceptedReply));
  }
  void choose(int index, std::string tracking = {}) {
    express.index = index;
    express.courier = std::string(kCouriers[static_cast<std::size_t>(index)]);
    express.tracking = std::move(tracking);
  }
};

TEST_F(DeliveryTest, the_deliver_button_needs_a_selected_order) {
  window.orders.selected = -1;
  on_deliver_button(window);
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0], std::make_pair(std::string(texts::kChooseOrder), kMessageOk));
  EXPECT_EQ(window.express_opened, 0);

  window.orders.selected = 1;
  on_deliver_button(window);
  EXPECT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.express_opened, 1);
}

TEST_F(DeliveryTest, no_shipping_needed_sends_the_fixed_tracking_number) {
  choose(0, "typed but unused");
  accept(build_delivery_request("7788", "999", "tok"));
  confirm();
  EXPECT_EQ(network.winhttps,
            std::vector<std::string>{build_delivery_request("7788", "999", "tok")});
  EXPECT_NE(network.winhttps[0].find("\"express_no\":\"1234566789\""), std::string::npos);
  EXPECT_TRUE(network.pages.empty());
  EXPECT_EQ(window.log, texts::kDeliverySucceeded);
  EXPECT_EQ(window.deliveries.rows, (std::vector<std::vector<std::string>>{
                                        {"1", "7788", "2", std::string(texts::kDeliveredCell)}}));
  EXPECT_EQ(record_file.content, "7788|2\r\n");
}

TEST_F(DeliveryTest, a_courier_sends_the_typed_tracking_number) {
  choose(1, "SF-100");
  accept(build_delivery_request_with_courier("7788", "1", "SF-100", "tok"));
  confirm();
  EXPECT_EQ(network.winhttps.size(), 1u);
  EXPECT_NE(network.winhttps[0].find("\"express_type\":\"1\""), std::string::npos);
  EXPECT_EQ(window.log, texts::kDeliverySucceeded);
  EXPECT_EQ(record_file.content, "7788|2\r\n");
}

TEST_F(DeliveryTest, two_deliveries_number_their_rows_and_lines) {
  choose(21, "DHL1");
  accept(build_delivery_request_with_courier("7788", "600", "DHL1", "tok"));
  accept(build_delivery_request_with_courier("9900", "600", "DHL1", "tok"));
  confirm();
  window.orders.selected = 1;
  confirm();
  ASSERT_EQ(window.deliveries.row_count(), 2);
  EXPECT_EQ(window.deliveries.rows[0][0], "1");
  EXPECT_EQ(window.deliveries.rows[1][0], "2");
  EXPECT_EQ(window.deliveries.rows[1][1], "9900");
  EXPECT_EQ(record_file.content, "7788|2\r\n9900|5\r\n");
}

// A bulk run adds its rows through the same routine: one numbering, the same cells.
TEST_F(DeliveryTest, rows_of_a_bulk_run_and_of_confirm_share_one_numbering_and_form) {
  add_delivery_row(window.deliveries, "5511", "3");
  choose(21, "DHL1");
  accept(build_delivery_request_with_courier("7788", "600", "DHL1", "tok"));
  confirm();
  add_delivery_row(window.deliveries, "5522", "1");
  const std::vector<std::vector<std::string>> expected = {
      {"1", "5511", "3", std::string(texts::kDeliveredCell)},
      {"2", "7788", "2", std::string(texts::kDeliveredCell)},
      {"3", "5522", "1", std::string(texts::kDeliveredCell)},
  };
  EXPECT_EQ(window.deliveries.rows, expected);
}

TEST_F(DeliveryTest, an_empty_tracking_box_asks_for_it_and_sends_nothing) {
  choose(1);
  confirm();
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0],
            std::make_pair(std::string(texts::kEnterTrackingNumber), kMessageOk));
  EXPECT_EQ(window.log, texts::kDeliveryFailed);
  EXPECT_TRUE(network.winhttps.empty());
  EXPECT_EQ(window.deliveries.row_count(), 0);
}

TEST_F(DeliveryTest, no_courier_chosen_sends_nothing) {
  express.index = -1;
  express.courier = "";
  confirm();
  EXPECT_TRUE(network.winhttps.empty());
  EXPECT_TRUE(window.messages.empty());
  EXPECT_EQ(window.log, texts::kDeliveryFailed);
}

TEST_F(DeliveryTest, a_refused_failed_or_huge_reply_is_a_failure) {
  choose(1, "SF-1");
  const std::string url = build_delivery_request_with_courier("7788", "1", "SF-1", "tok");
  network.reply(url, "{\"result\":\"\",\"status\":{\"status_code\":1,\"status_reason\":\"no\"}}");
  network.reply(url, "");
  network.reply(url, std::string(5 * 1024 * 1024, '%'));
  confirm();
  confirm();
  confirm();
  const std::string failed(texts::kDeliveryFailed);
  EXPECT_EQ(window.log, failed + failed + failed);
  EXPECT_EQ(window.deliveries.row_count(), 0);
  EXPECT_EQ(record_file.attempts, 0);
}

TEST_F(DeliveryTest, a_missing_record_file_is_no_failure_and_says_nothing) {
  choose(0);
  accept(build_delivery_request("7788", "999", "tok"));
  record_file.exists = false;
  confirm();
  EXPECT_EQ(window.log, texts::kDeliverySucceeded);
  EXPECT_EQ(window.deliveries.row_count(), 1);
  EXPECT_EQ(record_file.attempts, 1);
  EXPECT_EQ(record_file.content, "");
}

TEST_F(DeliveryTest, a_line_the_record_file_did_not_take_is_reported_after_the_success) {
  struct Case {
    const char* what;
    std::string FakeRecordFile::*failure;
  };
  for (const Case& c : {Case{"refused open", &FakeRecordFile::refused_open},
                        Case{"failed write", &FakeRecordFile::failed_write},
                        Case{"short write", &FakeRecordFile::short_write}}) {
    SCOPED_TRACE(c.what);
    window.log.clear();
    window.deliveries.rows.clear();
    record_file = FakeRecordFile{};
    record_file.content = "earlier|1\r\n";
    record_file.*c.failure = gbk(u8"另一个程序正在使用此文件，进程无法访问。");
    choose(0);
    accept(build_delivery_request("7788", "999", "tok"));
    confirm();
    EXPECT_EQ(window.log, std::string(texts::kDeliverySucceeded) +
                              std::string(texts::kRecordWriteFailed) +
                              gbk(u8"另一个程序正在使用此文件，进程无法访问。\r\n"));
    // The delivery stands, and what the file held is untouched.
    EXPECT_EQ(window.deliveries.row_count(), 1);
    EXPECT_EQ(record_file.content, "earlier|1\r\n");

    // Each delivery tries afresh: once the file takes lines again, nothing more is said.
    record_file.*c.failure = "";
    confirm();
    EXPECT_EQ(window.log.substr(window.log.size() - texts::kDeliverySucceeded.size()),
              texts::kDeliverySucceeded);
    EXPECT_EQ(record_file.content, "earlier|1\r\n7788|2\r\n");
  }
}

TEST(record_file_check, an_existing_file_that_cannot_be_opened_is_reported_once_at_start) {
  FakeWindow window;
  FakeRecordFile record_file;
  record_file.content = "kept\r\n";
  check_record_file(window, record_file);
  EXPECT_EQ(window.log, "");

  record_file.refused_open = "Access denied.";
  check_record_file(window, record_file);
  EXPECT_EQ(window.log, std::string(texts::kRecordWriteFailed) + "Access denied.\r\n");

  window.log.clear();
  record_file.exists = false;
  check_record_file(window, record_file);
  EXPECT_EQ(window.log, "");
  EXPECT_EQ(record_file.checks, 3);
  EXPECT_EQ(record_file.attempts, 0) << "the check writes nothing";
  EXPECT_EQ(record_file.content, "kept\r\n");
}

TEST_F(DeliveryTest, the_row_and_line_describe_the_order_that_was_delivered) {
  choose(0);
  accept(build_delivery_request("7788", "999", "tok"));
  // Another click moves the selection while the exchange pumps messages.
  network.during_exchange = [&](const std::string&) { window.orders.selected = 1; };
  confirm();
  EXPECT_EQ(window.deliveries.rows[0][1], "7788");
  EXPECT_EQ(window.deliveries.rows[0][2], "2");
  EXPECT_EQ(record_file.content, "7788|2\r\n");
}

TEST_F(DeliveryTest, closing_the_window_during_the_exchange_still_records_an_accepted_delivery) {
  choose(0);
  accept(build_delivery_request("7788", "999", "tok"));
  network.during_exchange = [&](const std::string&) { window.is_alive = false; };
  confirm();
  EXPECT_EQ(record_file.content, "7788|2\r\n");
  EXPECT_EQ(window.log, "") << "no control of the closed window is touched";
  EXPECT_EQ(window.deliveries.row_count(), 0);

  // A refused one closed the same way leaves the file alone.
  window.orders.selected = 1;
  confirm();
  EXPECT_EQ(record_file.attempts, 1);
  EXPECT_EQ(record_file.content, "7788|2\r\n");
}

TEST_F(DeliveryTest, a_delivery_refused_for_its_token_goes_again_after_the_renewal) {
  log_in("T1");
  network.reply(build_token_request("ak", "sk"), token_reply("T2", 90000));
  choose(1, "SF-1");
  network.reply(
      build_delivery_request_with_courier("7788", "1", "SF-1", "T1"),
      utf8(
          u8"{\"status\":{\"status_code\":10013,\"status_reason\":\"access_token无效(access_token:T1 无效) \"}}"));
  accept(build_delivery_request_with_courier("7788", "1", "SF-1", "T2"));
  window.log.clear();
  confirm();
  EXPECT_EQ(network.winhttps, (std::vector<std::string>{
                                  build_delivery_request_with_courier("7788", "1", "SF-1", "T1"),
                                  build_delivery_request_with_courier("7788", "1", "SF-1", "T2")}));
  // The renewal goes the way of 登陆, not through WinHttp.
  EXPECT_EQ(network.pages.back(), build_token_request("ak", "sk"));
  EXPECT_EQ(window.log,
            std::string(texts::kRenewalSucceeded) + std::string(texts::kDeliverySucceeded));
  EXPECT_EQ(window.deliveries.row_count(), 1);
  EXPECT_EQ(record_file.content, "7788|2\r\n");
}

TEST_F(DeliveryTest,
       a_confirmation_during_monitorings_renewal_waits_for_it_and_takes_the_new_token) {
  // Monitoring renews on its thread while the owner confirms: one renewal, and the delivery
  // is held no longer than that exchange.
  log_in("T1", 20);
  clock.advance(19'000);
  network.reply(build_token_request("ak", "sk"), token_reply("T2", 20));
  choose(0);
  accept(build_delivery_request("7788", "999", "T2"));
  std::atomic<bool> delivery_waits{false};
  FakePacing delivery_pacing;
  delivery_pacing.yield_in_waits = true;
  delivery_pacing.on_wait_until = [&] { delivery_waits = true; };
  std::thread delivery;
  std::atomic<bool> confirmed{false};
  network.during_exchange = [&](const std::string& url) {
    if (url != build_token_request("ak", "sk") || confirmed.exchange(true)) return;
    const std::optional<Delivery> taken = take_delivery(window, express.choice());
    ASSERT_TRUE(taken && begin_confirmation(session, express));
    delivery = std::thread([&, taken] {
      on_confirm_delivery(session, window, express, network, record_file, delivery_pacing, *taken);
    });
    for (int i = 0; i < 5000 && !delivery_waits; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  };
  window.log.clear();
  session.set_monitored_day(window.date);
  monitoring_pass(session, window, network, pacing);
  delivery.join();
  EXPECT_TRUE(delivery_waits);
  EXPECT_EQ(network.sent("/token?"), 2);  // the login's and the one renewal
  EXPECT_EQ(network.winhttps,
            std::vector<std::string>{build_delivery_request("7788", "999", "T2")});
  EXPECT_NE(window.log.find(texts::kDeliverySucceeded), std::string::npos) << window.log;
  EXPECT_NE(window.log.find(texts::kRenewalSucceeded), std::string::npos) << window.log;
  EXPECT_EQ(record_file.content, "7788|2\r\n");
  EXPECT_EQ(session.access_token(), "T2");
}

TEST_F(DeliveryTest, no_selection_at_confirmation_sends_an_empty_order_id) {
  window.orders.selected = -1;
  choose(0);
  confirm();
  EXPECT_EQ(network.winhttps, std::vector<std::string>{build_delivery_request("", "999", "tok")});
  EXPECT_EQ(window.log, texts::kDeliveryFailed);
}

}  // namespace
}  // namespace quillmere::shop::testing
