#pragma once
// The shop behind the sandbox: its orders, the tokens it has issued and what it was asked to
// ship. Not thread-safe; the server keeps one lock around it. Texts are UTF-8.

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace quillmere::sandbox {

// Dates and order times follow the machine's wall clock; token expiry follows UTC.
using local_time = std::chrono::local_seconds;
using utc_time = std::chrono::sys_seconds;
using date = std::chrono::year_month_day;

struct clock_reading {
  utc_time utc;
  local_time local;
  // A clock that only moves forward, finer than the other two: for the frequency limit.
  std::chrono::milliseconds steady{0};
};

date date_of(local_time time);
// "YYYY-M-D", no leading zeros: the form the program sends.
std::string order_date_text(date day);
// Reads "YYYY-M-D" (leading zeros allowed, four-digit year); nothing for anything else or for a
// day that does not exist.
std::optional<date> parse_order_date(std::string_view text);
// "YYYY-MM-DD hh:mm:ss".
std::string timestamp_text(local_time time);
// "12.50" for 1250.
std::string money_text(long long cents);

struct order {
  std::string order_id;
  date day;
  local_time placed_at;
  std::optional<local_time> paid_at;
  std::optional<local_time> shipped_at;
  std::string item_id;
  std::string item_name;
  int quantity = 1;
  long long price_cents = 0;  // of one item
  std::string note;
  std::string buyer_name;
  std::string buyer_phone;
  std::string address;
  std::string express_type;
  std::string express_no;
  // Taken out of the normal course before shipping: closed, or a refund under way.
  bool closed = false;
  bool refunding = false;

  bool paid() const { return paid_at.has_value(); }
  bool shipped() const { return shipped_at.has_value(); }
  long long total_cents() const { return price_cents * quantity; }
};

// One accepted delivery call, as received.
struct delivery {
  std::string order_id;
  std::string express_type;
  std::string express_custom;
  std::string express_no;
  local_time at;
};

// What a caller fixes of a new order; everything left open comes from the shop's catalogue.
struct order_request {
  std::optional<date> day;  // today when empty
  bool paid = true;
  std::optional<std::string> item_name;
  std::optional<std::string> note;
  int quantity = 0;            // 0: the catalogue's
  long long price_cents = -1;  // negative: the catalogue's
};

// What the shop's owner of the sandbox can change while it runs; `/sandbox/reset` goes back to
// the values it started with.
struct shop_settings {
  std::chrono::seconds token_lifetime{90000};
  std::size_t page_size = 20;    // order ids per page of vdian.order.ids.get
  int max_calls_per_second = 0;  // per token; 0: no limit
  bool refuse_tokens = false;    // the token call is refused even with the right key
};

enum class token_check { valid, unknown, expired };
enum class pay_outcome { paid, unknown_order, already_paid };
enum class deliver_outcome {
  delivered,
  unknown_order,
  unknown_courier,
  missing_tracking_number,
  already_shipped,
  not_paid,
  closed,
  refunding,
};
enum class order_hold { closed, refunding };

class shop {
 public:
  shop(std::string app_key, std::string secret, shop_settings settings);

  std::chrono::seconds token_lifetime() const { return settings_.token_lifetime; }
  const shop_settings& settings() const { return settings_; }
  void change_settings(const shop_settings& settings) { settings_ = settings; }

  // A new token valid for the token lifetime, or nothing when the key or the secret is wrong.
  // Tokens are 42 characters, as the platform's: 32 hex digits and the shop's own suffix.
  std::optional<std::string> issue_token(std::string_view app_key, std::string_view secret,
                                         utc_time now);
  token_check check_token(std::string_view token, utc_time now) const;
  // Every token issued so far expires now.
  void expire_tokens(utc_time now);
  // Every token issued so far, expired ones included, in the order of their texts.
  std::vector<std::string> issued_tokens() const;

  // The day's order ids in the order the orders were placed.
  std::vector<std::string> order_ids(date day) const;
  // Page `page_num` (from 1) of them, `settings().page_size` to a page; empty past the end.
  std::vector<std::string> order_ids_page(date day, std::uint64_t page_num) const;
  // Counts one method call made with `token` at `now`; false when the token has already made
  // `max_calls_per_second` calls in the second before (the call is then refused, not counted).
  bool take_call(std::string_view token, std::chrono::milliseconds now);
  const order* find_order(std::string_view order_id) const;
  const std::vector<order>& orders() const { return orders_; }
  order add_order(const order_request& request, local_time now);
  pay_outcome pay(std::string_view order_id, local_time now);
  deliver_outcome deliver(std::string_view order_id, std::string_view express_type,
                          std::string_view express_custom, std::string_view express_no,
                          local_time now);
  const std::vector<delivery>& deliveries() const { return deliveries_; }
  // Closes an order or starts a refund on it; false for an unknown order.
  bool hold_order(std::string_view order_id, order_hold hold);

  // One beat of the shop's day: the oldest unpaid order of today gets paid, then a new order
  // arrives for today, every other one unpaid (so a later beat pays it).
  struct tick_result {
    std::optional<std::string> paid_order_id;
    order arrived;
  };
  tick_result tick(local_time now);
  // Back to the seeded orders of the demo shop with no deliveries and no faults, and to the
  // settings it started with; issued tokens stay valid.
  void reseed(local_time now);

  // Faults for tests. The next `count` method calls get no reply at all (replacing any count
  // still pending); take_dropped_call() says whether the call now arriving is one of them.
  void drop_next_calls(int count) { calls_to_drop_ = count; }
  bool take_dropped_call();
  int calls_to_drop() const { return calls_to_drop_; }
  // The next `count` vdian.order.deliver calls are carried out as usual (an accepted one ships
  // the order) and then get no reply, as when the line drops after the platform acted.
  void drop_next_deliver_replies(int count) { deliver_replies_to_drop_ = count; }
  bool take_dropped_deliver_reply();
  int deliver_replies_to_drop() const { return deliver_replies_to_drop_; }
  // Detail calls for this order are refused from now on.
  void refuse_detail(std::string_view order_id) { refused_details_.emplace(order_id); }
  bool detail_refused(std::string_view order_id) const {
    return refused_details_.find(order_id) != refused_details_.end();
  }
  // Every /token and /api reply from now on is held back this long, as a slow line would;
  // 0 answers at once. The server sleeps outside its shop lock.
  void set_reply_delay(std::chrono::milliseconds delay) { reply_delay_ = delay; }
  std::chrono::milliseconds reply_delay() const { return reply_delay_; }

 private:
  order* mutable_order(std::string_view order_id);
  std::string next_order_id(date day);

  std::string app_key_;
  std::string secret_;
  std::string token_suffix_;
  shop_settings startup_settings_;
  shop_settings settings_;
  std::map<std::string, utc_time, std::less<>> token_expiry_;
  // Per token, the times of its calls within the last second.
  std::map<std::string, std::deque<std::chrono::milliseconds>, std::less<>> recent_calls_;
  std::mt19937_64 token_source_;
  std::vector<order> orders_;
  std::map<int, int> last_sequence_;  // per day (days since the epoch): last order number used
  std::vector<delivery> deliveries_;
  std::uint64_t ticks_ = 0;
  int calls_to_drop_ = 0;
  int deliver_replies_to_drop_ = 0;
  std::set<std::string, std::less<>> refused_details_;
  std::chrono::milliseconds reply_delay_{0};
};

// The demo shop's credentials, also printed at start and written in the README.
inline constexpr std::string_view kDemoAppKey = "688001";
inline constexpr std::string_view kDemoSecret = "quillmere-demo-secret";
// The shop's own phone, which every order detail carries as "seller_phone".
inline constexpr std::string_view kSellerPhone = "13800571234";

// The demo shop, seeded relative to `now`: orders today, yesterday and three days ago, paid and
// unpaid, some shipped, and three days ago one closed and one in refund; none the day before
// yesterday.
shop make_demo_shop(local_time now, shop_settings settings = {});
shop make_demo_shop(local_time now, std::chrono::seconds token_lifetime);

}  // namespace quillmere::sandbox
