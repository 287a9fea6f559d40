#pragma once
// One set of fakes wired like the application wires the real ports.

#include <gtest/gtest.h>

#include "fakes.h"
#include "platform_replies.h"
#include "shop/requests.h"
#include "shop/session.h"
#include "shop/workflows.h"
#include "test_support.h"

namespace quillmere::shop::testing {

using quillmere::testing::gbk;

class ShopTest : public ::testing::Test {
 protected:
  ShopTest() {
    pacing.clock = &clock;
    // A click lands once the job has asked the platform something.
    window.on_alive = [this] {
      if (pacing.on_messages && network.sent("") > 0) pacing.on_messages();
    };
  }

  FakeClock clock;
  Session session{clock};
  FakeWindow window;
  FakeNetwork network;
  FakePacing pacing;
  FakeExpress express;
  FakeRecordFile record_file;

  std::string ids_url(const std::string& date = "2026-5-3") {
    return build_order_ids_request(date, session.access_token());
  }
  std::string detail_url(const std::string& id) {
    return build_order_detail_request(id, session.access_token());
  }
  // Counts the order-ids requests sent so far.
  int ids_requests() const {
    int n = 0;
    for (const auto& url : network.pages) n += url.find("vdian.order.ids.get") != std::string::npos;
    return n;
  }
  // The monitored day is the date box's, as 开始监控 hands it over.
  void run_monitoring() {
    session.set_monitored_day(window.date);
    shop::run_monitoring(session, window, network, pacing);
  }
  void retrieve() {
    run_order_retrieval(session, window, network, pacing, window.date,
                        session.jobs().latest_retrieval());
  }
  void login(std::uint64_t ticket) {
    run_login(session, window, network, window.appkey, window.secret, ticket);
  }
  // 确定 and its delivery, one after the other on this thread.
  void confirm() {
    const std::optional<Delivery> delivery = take_delivery(window, express.choice());
    if (!delivery || !begin_confirmation(session, express)) return;
    on_confirm_delivery(session, window, express, network, record_file, pacing, *delivery);
  }
  // A successful 登陆 with key "ak" and secret "sk", whose token lasts `expire_in` seconds.
  void log_in(const std::string& token, long long expire_in = 90000) {
    window.appkey = "ak";
    window.secret = "sk";
    network.forget(build_token_request("ak", "sk"));
    network.reply(build_token_request("ak", "sk"), token_reply(token, expire_in));
    login(session.begin_login());
    network.forget(build_token_request("ak", "sk"));  // what a renewal gets is the test's to say
  }
};

}  // namespace quillmere::shop::testing
