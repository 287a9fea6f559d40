#include "shop/calls.h"

#include "shop/requests.h"
#include "shop/texts.h"

namespace quillmere::shop {
namespace {

// How often a wait for another thread's renewal looks again.
constexpr int kRenewalPollMs = 50;

}  // namespace

// The token request of 登陆 again, with the remembered key and secret. A second caller waits
// for the first one's result, which takes no longer than its exchange; every caller is a job's
// thread, never the window's.
void renew_token(Caller& caller, bool after_refusal) {
  Session& session = caller.session;
  Session::Renewal renewal;
  switch (session.claim_renewal(after_refusal, &renewal)) {
    case Session::Claim::claimed: break;
    case Session::Claim::under_way:
      while (session.renewal_under_way()) {
        caller.pacing.wait_until(kRenewalPollMs, [&] { return !session.renewal_under_way(); });
      }
      return;
    case Session::Claim::too_soon:
    case Session::Claim::no_login: return;
  }
  const std::string reply =
      caller.network.fetch_page(build_token_request(renewal.app_key, renewal.secret));
  const std::string token = read_token(reply);
  const bool renewed = login_succeeded(token, reply);
  switch (session.finish_renewal(renewal, renewed ? token : std::string(), read_expire_in(reply))) {
    case Session::Outcome::renewed: caller.window.append_log(texts::kRenewalSucceeded); break;
    case Session::Outcome::failed: caller.window.append_log(texts::kRenewalFailed); break;
    case Session::Outcome::failed_again:  // said once for a run of failures
    case Session::Outcome::thrown_away: break;
  }
}

std::string fetch_ids_page(Caller& caller, const std::string& order_date, int page_num) {
  return call_with_token(caller, Transport::wininet, [&](const std::string& token) {
    return build_order_ids_request(order_date, token, page_num);
  });
}

std::string fetch_detail(Caller& caller, const std::string& order_id) {
  return call_with_token(caller, Transport::wininet, [&](const std::string& token) {
    return build_order_detail_request(order_id, token);
  });
}

std::string send_delivery(Caller& caller, const std::string& order_id,
                          const std::string& express_code, int courier_index,
                          const std::string& tracking_number) {
  if (courier_index == 0) {
    return call_with_token(caller, Transport::winhttp, [&](const std::string& token) {
      return build_delivery_request(order_id, express_code, token);
    });
  }
  return call_with_token(caller, Transport::winhttp, [&](const std::string& token) {
    return build_delivery_request_with_courier(order_id, express_code, tracking_number, token);
  });
}

}  // namespace quillmere::shop
