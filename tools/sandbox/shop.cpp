#include "shop.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <utility>

#include "couriers.h"

namespace quillmere::sandbox {
namespace {

using namespace std::chrono;

struct catalogue_item {
  std::string_view item_id;
  std::string_view name;
  long long price_cents;
};

constexpr std::array<catalogue_item, 8> kCatalogue{{
    {"2108831", "云南古树普洱茶饼 357克", 16800},
    {"2108832", "杭州西湖龙井 明前特级 100克", 25800},
    {"2108833", "福建白茶 寿眉 200克", 9900},
    {"2108834", "手工红糖姜茶 500克", 3900},
    {"2108835", "景德镇青花瓷茶杯 两只装", 12800},
    {"2108836", "宁夏中宁枸杞 250克", 4500},
    {"2108837", "东北五常稻花香大米 5公斤", 8900},
    {"2108838", "苏绣团扇 桃花", 19900},
}};

struct buyer {
  std::string_view name;
  std::string_view phone;
  std::string_view address;
};

constexpr std::array<buyer, 6> kBuyers{{
    {"王芳", "13912345678", "浙江省杭州市西湖区文三路88号"},
    {"李伟", "13687654321", "上海市浦东新区世纪大道100号"},
    {"张敏", "15011112222", "北京市朝阳区建国路9号"},
    {"刘洋", "18622223333", "广东省广州市天河区体育西路6号"},
    {"陈静", "13799998888", "四川省成都市锦江区春熙路12号"},
    {"杨磊", "15855556666", "江苏省南京市鼓楼区中山路21号"},
}};

constexpr std::array<std::string_view, 6> kNotes{{
    "请尽快发货，谢谢！",
    "",
    "不要放快递柜，请放门卫室",
    "送人的，请不要放价格单",
    "周末不在家，请工作日送达",
    "麻烦包装结实一点",
}};

// How the demo shop starts: which day (days before today), paid or not, shipped with which
// courier and tracking number, and from which catalogue entry.
struct seed {
  int days_ago;
  bool paid;
  std::string_view express_type;  // empty: not shipped
  std::string_view express_no;
  std::size_t item;
  int quantity;
  std::optional<order_hold> hold = std::nullopt;
};

constexpr std::array<seed, 11> kSeed{{
    {3, true, "1", "SF1403928817365", 6, 1},
    {3, true, "", "", 2, 2},
    {1, true, "3", "78318820461537", 1, 1},
    {1, true, "", "", 4, 1},
    {1, false, "", "", 7, 1},
    {0, true, "", "", 0, 1},
    {0, true, "", "", 3, 2},
    {0, false, "", "", 1, 1},
    {0, true, "999", "1234566789", 5, 3},
    {3, true, "", "", 3, 1, order_hold::closed},
    {3, true, "", "", 0, 1, order_hold::refunding},
}};

// `from` moved on by `by`, but not past `now` (today's seeded orders cannot be paid in the future).
local_time later(local_time from, seconds by, local_time now) {
  return std::min(from + by, std::max(from, now));
}

int day_number(date day) { return static_cast<int>(sys_days(day).time_since_epoch().count()); }

}  // namespace

date date_of(local_time time) { return date(floor<days>(time)); }

std::string order_date_text(date day) {
  char text[32];
  std::snprintf(text, sizeof text, "%d-%u-%u", static_cast<int>(day.year()),
                static_cast<unsigned>(day.month()), static_cast<unsigned>(day.day()));
  return text;
}

std::optional<date> parse_order_date(std::string_view text) {
  int parts[3] = {};
  std::size_t digits[3] = {};
  const char* at = text.data();
  const char* const end = text.data() + text.size();
  for (int i = 0; i < 3; ++i) {
    if (i > 0) {
      if (at == end || *at != '-') return std::nullopt;
      ++at;
    }
    const char* const begin = at;
    while (at != end && *at >= '0' && *at <= '9' && at - begin < 4) ++at;
    digits[i] = static_cast<std::size_t>(at - begin);
    if (digits[i] == 0) return std::nullopt;
    std::from_chars(begin, at, parts[i]);
  }
  if (at != end || digits[0] != 4 || digits[1] > 2 || digits[2] > 2) return std::nullopt;
  const date day{year(parts[0]), month(static_cast<unsigned>(parts[1])),
                 std::chrono::day(static_cast<unsigned>(parts[2]))};
  if (!day.ok() || parts[0] < 1000) return std::nullopt;
  return day;
}

std::string timestamp_text(local_time time) {
  const auto midnight = floor<days>(time);
  const date day(midnight);
  const hh_mm_ss clock(time - midnight);
  char text[48];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u %02ld:%02ld:%02ld", static_cast<int>(day.year()),
                static_cast<unsigned>(day.month()), static_cast<unsigned>(day.day()),
                static_cast<long>(clock.hours().count()),
                static_cast<long>(clock.minutes().count()),
                static_cast<long>(clock.seconds().count()));
  return text;
}

std::string money_text(long long cents) {
  char text[48];
  std::snprintf(text, sizeof text, "%s%lld.%02lld", cents < 0 ? "-" : "",
                (cents < 0 ? -cents : cents) / 100, (cents < 0 ? -cents : cents) % 100);
  return text;
}

namespace {

// Ten digits that stay the same for one shop, as the platform's tokens end in the shop's own.
std::string shop_suffix(std::string_view app_key) {
  std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (const unsigned char c : app_key) hash = (hash ^ c) * 1099511628211ull;
  char text[16];
  std::snprintf(text, sizeof text, "%010llu",
                static_cast<unsigned long long>(hash % 10'000'000'000ull));
  return text;
}

}  // namespace

shop::shop(std::string app_key, std::string secret, shop_settings settings)
    : app_key_(std::move(app_key)),
      secret_(std::move(secret)),
      token_suffix_(shop_suffix(app_key_)),
      startup_settings_(settings),
      settings_(settings),
      token_source_(std::random_device{}()) {}

std::optional<std::string> shop::issue_token(std::string_view app_key, std::string_view secret,
                                             utc_time now) {
  if (app_key != app_key_ || secret != secret_) return std::nullopt;
  static constexpr char kHex[] = "0123456789abcdef";
  std::string token;
  do {
    token.clear();
    for (int half = 0; half < 2; ++half) {
      std::uint64_t bits = token_source_();
      for (int i = 0; i < 16; ++i, bits >>= 4) token.push_back(kHex[bits & 0xF]);
    }
    token += token_suffix_;
  } while (token_expiry_.count(token) != 0);
  token_expiry_.emplace(token, now + settings_.token_lifetime);
  return token;
}

token_check shop::check_token(std::string_view token, utc_time now) const {
  const auto found = token_expiry_.find(token);
  if (found == token_expiry_.end()) return token_check::unknown;
  return now < found->second ? token_check::valid : token_check::expired;
}

void shop::expire_tokens(utc_time now) {
  for (auto& [token, expiry] : token_expiry_) expiry = std::min(expiry, now);
}

std::vector<std::string> shop::issued_tokens() const {
  std::vector<std::string> tokens;
  for (const auto& [token, expiry] : token_expiry_) tokens.push_back(token);
  return tokens;
}

std::vector<std::string> shop::order_ids(date day) const {
  std::vector<std::string> ids;
  for (const order& each : orders_) {
    if (each.day == day) ids.push_back(each.order_id);
  }
  return ids;
}

std::vector<std::string> shop::order_ids_page(date day, std::uint64_t page_num) const {
  std::vector<std::string> all = order_ids(day);
  const std::uint64_t size = std::max<std::uint64_t>(settings_.page_size, 1);
  // Compared before multiplying, so no page number can overflow.
  if (page_num == 0 || page_num - 1 >= (all.size() + size - 1) / size) return {};
  const auto first = static_cast<std::ptrdiff_t>((page_num - 1) * size);
  const auto last =
      static_cast<std::ptrdiff_t>(std::min<std::uint64_t>(all.size(), page_num * size));
  return {std::make_move_iterator(all.begin() + first),
          std::make_move_iterator(all.begin() + last)};
}

bool shop::take_call(std::string_view token, std::chrono::milliseconds now) {
  if (settings_.max_calls_per_second <= 0) return true;
  auto found = recent_calls_.find(token);
  if (found == recent_calls_.end())
    found = recent_calls_.emplace(std::string(token), std::deque<milliseconds>{}).first;
  std::deque<milliseconds>& calls = found->second;
  while (!calls.empty() && now - calls.front() >= seconds(1)) calls.pop_front();
  if (calls.size() >= static_cast<std::size_t>(settings_.max_calls_per_second)) return false;
  calls.push_back(now);
  return true;
}

const order* shop::find_order(std::string_view order_id) const {
  const auto found = std::find_if(orders_.begin(), orders_.end(),
                                  [&](const order& each) { return each.order_id == order_id; });
  return found == orders_.end() ? nullptr : &*found;
}

order* shop::mutable_order(std::string_view order_id) {
  return const_cast<order*>(std::as_const(*this).find_order(order_id));
}

std::string shop::next_order_id(date day) {
  const int sequence = ++last_sequence_[day_number(day)];
  char text[48];
  // The day is part of the id, so ids never repeat across days.
  std::snprintf(text, sizeof text, "7%04d%02u%02u%04d", static_cast<int>(day.year()),
                static_cast<unsigned>(day.month()), static_cast<unsigned>(day.day()), sequence);
  return text;
}

order shop::add_order(const order_request& request, local_time now) {
  const std::size_t number = orders_.size();
  const catalogue_item& item = kCatalogue[(number * 3) % kCatalogue.size()];
  const buyer& who = kBuyers[number % kBuyers.size()];
  order made;
  made.day = request.day.value_or(date_of(now));
  made.order_id = next_order_id(made.day);
  made.placed_at = now;
  if (made.day != date_of(now)) made.placed_at = local_days(made.day) + hours(10);
  if (request.paid) made.paid_at = made.placed_at;
  made.item_id = item.item_id;
  made.item_name = request.item_name.value_or(std::string(item.name));
  made.quantity = request.quantity > 0 ? request.quantity : 1;
  made.price_cents = request.price_cents >= 0 ? request.price_cents : item.price_cents;
  made.note = request.note.value_or(std::string(kNotes[number % kNotes.size()]));
  made.buyer_name = who.name;
  made.buyer_phone = who.phone;
  made.address = who.address;
  orders_.push_back(made);
  return made;
}

pay_outcome shop::pay(std::string_view order_id, local_time now) {
  order* found = mutable_order(order_id);
  if (found == nullptr) return pay_outcome::unknown_order;
  if (found->paid()) return pay_outcome::already_paid;
  found->paid_at = now;
  return pay_outcome::paid;
}

deliver_outcome shop::deliver(std::string_view order_id, std::string_view express_type,
                              std::string_view express_custom, std::string_view express_no,
                              local_time now) {
  order* found = mutable_order(order_id);
  if (found == nullptr) return deliver_outcome::unknown_order;
  if (find_courier(express_type) == nullptr) return deliver_outcome::unknown_courier;
  if (express_no.empty() && express_type != kNoLogisticsCode) {
    return deliver_outcome::missing_tracking_number;
  }
  if (found->shipped()) return deliver_outcome::already_shipped;
  if (found->closed) return deliver_outcome::closed;
  if (found->refunding) return deliver_outcome::refunding;
  if (!found->paid()) return deliver_outcome::not_paid;
  found->shipped_at = now;
  found->express_type = express_type;
  found->express_no = express_no;
  deliveries_.push_back({std::string(order_id), std::string(express_type),
                         std::string(express_custom), std::string(express_no), now});
  return deliver_outcome::delivered;
}

shop::tick_result shop::tick(local_time now) {
  tick_result result;
  const date today = date_of(now);
  for (order& each : orders_) {
    if (each.day == today && !each.paid()) {
      each.paid_at = now;
      result.paid_order_id = each.order_id;
      break;
    }
  }
  order_request arrival;
  arrival.paid = ticks_ % 2 == 1;
  ++ticks_;
  result.arrived = add_order(arrival, now);
  return result;
}

bool shop::hold_order(std::string_view order_id, order_hold hold) {
  order* found = mutable_order(order_id);
  if (found == nullptr) return false;
  (hold == order_hold::closed ? found->closed : found->refunding) = true;
  return true;
}

bool shop::take_dropped_deliver_reply() {
  if (deliver_replies_to_drop_ <= 0) return false;
  --deliver_replies_to_drop_;
  return true;
}

bool shop::take_dropped_call() {
  if (calls_to_drop_ <= 0) return false;
  --calls_to_drop_;
  return true;
}

void shop::reseed(local_time now) {
  orders_.clear();
  last_sequence_.clear();
  deliveries_.clear();
  ticks_ = 0;
  calls_to_drop_ = 0;
  deliver_replies_to_drop_ = 0;
  refused_details_.clear();
  reply_delay_ = std::chrono::milliseconds(0);
  settings_ = startup_settings_;
  recent_calls_.clear();
  const local_days today = floor<days>(now);
  const auto todays =
      std::count_if(kSeed.begin(), kSeed.end(), [](const seed& s) { return s.days_ago == 0; });
  int earlier_index = 0;
  int today_index = 0;
  for (const seed& s : kSeed) {
    const local_days day = today - days(s.days_ago);
    local_time placed;
    if (s.days_ago == 0) {
      // Today's seeded orders came in over the last hour, never before midnight.
      placed = std::max(now - minutes(9) * (todays - today_index),
                        local_time(day) + minutes(today_index));
      ++today_index;
    } else {
      placed = day + hours(9) + minutes(97) * earlier_index++;
    }
    const catalogue_item& item = kCatalogue[s.item];
    order made;
    made.day = date(day);
    made.order_id = next_order_id(made.day);
    made.placed_at = placed;
    if (s.paid) made.paid_at = later(placed, minutes(2), now);
    made.item_id = item.item_id;
    made.item_name = item.name;
    made.quantity = s.quantity;
    made.price_cents = item.price_cents;
    const std::size_t number = orders_.size();
    made.note = kNotes[number % kNotes.size()];
    const buyer& who = kBuyers[number % kBuyers.size()];
    made.buyer_name = who.name;
    made.buyer_phone = who.phone;
    made.address = who.address;
    if (s.hold) (*s.hold == order_hold::closed ? made.closed : made.refunding) = true;
    if (!s.express_type.empty()) {
      made.shipped_at = later(placed, hours(3), now);
      made.express_type = s.express_type;
      made.express_no = s.express_no;
    }
    orders_.push_back(made);
  }
}

shop make_demo_shop(local_time now, shop_settings settings) {
  shop demo(std::string(kDemoAppKey), std::string(kDemoSecret), settings);
  demo.reseed(now);
  return demo;
}

shop make_demo_shop(local_time now, std::chrono::seconds token_lifetime) {
  shop_settings settings;
  settings.token_lifetime = token_lifetime;
  return make_demo_shop(now, settings);
}

}  // namespace quillmere::sandbox
