#include "platform.h"

#include <charconv>
#include <optional>
#include <string_view>

#include <nlohmann/json.hpp>

#include "couriers.h"
#include "query.h"

namespace quillmere::sandbox {
namespace {

using json = nlohmann::ordered_json;

// The three replies the program recognises as whole texts; they must stay byte for byte.
constexpr std::string_view kEmptyDayReply =
    R"({"status":{"status_code":0,"status_reason":""},"result":[]})";
constexpr std::string_view kEmptyTokenReply =
    "\n{\"status\":{\"status_code\":10007,\"status_reason\":\"参数错误，请参考API文档(参数:`access_token`不能为空) \"}}";
constexpr std::string_view kDeliveredReply =
    "{\"result\":\"\",\"status\":{\"status_code\":0,\"status_reason\":\"success\"}}";

enum code : int {
  kSuccess = 0,
  kInternalError = 10000,
  kSystemError = 10001,
  kTooFrequent = 10005,
  kBadParameter = 10007,
  kMalformedRequest = 10009,
  kRequestTooLong = 10010,
  kNoSuchMethod = 10011,
  kBadToken = 10013,
  kWrongCredentials = 10022,
  kUnknownCourier = 20004,
  kDetailUnavailable = 20005,
  kNotAwaitingShipment = 20017,
  kNoSuchOrder = 20018,
  kTrackingNumberNeeded = 20021,
};

// Request texts are not trusted to be UTF-8, so nothing here may throw while writing them out.
std::string to_text(const json& value) {
  return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

json status_object(int status_code, std::string_view reason) {
  json status = json::object();
  status["status_code"] = status_code;
  status["status_reason"] = std::string(reason);
  return status;
}

struct outcome {
  int code = kSuccess;
  std::string body;
  int http_status = 200;
};

outcome refused(int status_code, std::string_view reason, int http_status = 200) {
  return {status_code, refusal(status_code, reason), http_status};
}

// The platform words every parameter complaint like its missing-token reply.
outcome bad_parameter(std::string_view name, std::string_view complaint, int http_status = 200) {
  std::string reason = "参数错误，请参考API文档(参数:`";
  reason += name;
  reason += '`';
  reason += complaint;
  reason += ") ";
  return refused(kBadParameter, reason, http_status);
}

constexpr std::string_view kMissing = "不能为空";
constexpr std::string_view kMalformed = "格式错误";
constexpr std::string_view kNotJson = "不是合法的JSON";

std::optional<json> parse_object(const std::string& text) {
  json parsed = json::parse(text, nullptr, /*allow_exceptions=*/false);
  if (parsed.is_discarded() || !parsed.is_object()) return std::nullopt;
  return parsed;
}

// A text argument of a call; the platform also takes a whole number where it wants a text.
struct text_argument {
  enum { absent, malformed, present } state = absent;
  std::string text;
};

text_argument read_text(const json& object, const char* key) {
  const auto found = object.find(key);
  if (found == object.end() || found->is_null()) return {};
  if (found->is_string()) return {text_argument::present, found->get<std::string>()};
  if (found->is_number_integer()) return {text_argument::present, found->dump()};
  return {text_argument::malformed, {}};
}

// The order's state as the shop owner reads it.
std::string_view payment_text(const order& each) { return each.paid() ? "已付款" : "未付款"; }
std::string_view state_text(const order& each) {
  if (each.refunding) return "退款中";
  if (each.closed) return "已关闭";
  if (each.shipped()) return "已发货";
  return each.paid() ? "待发货" : "待付款";
}
std::string_view state_code(const order& each) {
  if (each.refunding) return "refunding";
  if (each.closed) return "close";
  if (each.shipped()) return "ship";
  return each.paid() ? "pay" : "unpay";
}

outcome token_call(shop& shop, std::string_view query, const clock_reading& clock) {
  const auto grant_type = query_value(query, "grant_type");
  if (!grant_type || grant_type->empty()) return bad_parameter("grant_type", kMissing);
  if (*grant_type != "client_credential") return bad_parameter("grant_type", kMalformed);
  if (shop.settings().refuse_tokens) return refused(kSystemError, "系统错误");
  const auto token = shop.issue_token(query_value(query, "appkey").value_or(""),
                                      query_value(query, "secret").value_or(""), clock.utc);
  if (!token) return refused(kWrongCredentials, "appkey或secret错误");
  json result = json::object();
  result["access_token"] = *token;
  result["expire_in"] = shop.token_lifetime().count();
  json reply = json::object();
  reply["result"] = std::move(result);
  reply["status"] = status_object(kSuccess, "success");
  return {kSuccess, to_text(reply)};
}

outcome order_ids_call(const shop& shop, const json& param) {
  const text_argument order_date = read_text(param, "order_date");
  if (order_date.state == text_argument::absent) return bad_parameter("order_date", kMissing);
  const auto day =
      order_date.state == text_argument::present ? parse_order_date(order_date.text) : std::nullopt;
  if (!day) return bad_parameter("order_date", kMalformed);
  std::uint64_t page_num = 1;
  if (const auto found = param.find("page_num"); found != param.end()) {
    // Whole numbers from 1 up; JSON reads them as unsigned.
    if (!found->is_number_unsigned() || found->get<std::uint64_t>() == 0) {
      return bad_parameter("page_num", kMalformed);
    }
    page_num = found->get<std::uint64_t>();
  }
  const std::vector<std::string> page = shop.order_ids_page(*day, page_num);
  // A page past the end reads as a day without orders.
  if (page.empty()) return {kSuccess, std::string(kEmptyDayReply)};
  json ids = json::array();
  for (const std::string& id : page) ids.push_back(id);
  // Exactly five quoted strings before the ids: the program skips that many.
  json reply = json::object();
  reply["status"] = status_object(kSuccess, "");
  reply["result"] = std::move(ids);
  return {kSuccess, to_text(reply)};
}

json order_detail(const order& each) {
  // The program reads this reply with one pattern: "order_id", "status2" and "note" must stay
  // adjacent in this order, as must "quantity" and "total_price", and the keys it picks out
  // must keep this order.
  json item = json::object();
  item["item_id"] = each.item_id;
  item["quantity"] = std::to_string(each.quantity);
  item["total_price"] = money_text(each.total_cents());
  item["price"] = money_text(each.price_cents);
  item["item_name"] = each.item_name;
  item["sku_title"] = "";

  json buyer = json::object();
  buyer["name"] = each.buyer_name;
  buyer["address"] = each.address;

  json result = json::object();
  result["order_id"] = each.order_id;
  result["status2"] = std::string(payment_text(each));
  result["note"] = each.note;
  result["status"] = std::string(state_code(each));
  result["add_time"] = timestamp_text(each.placed_at);
  result["pay_time"] = each.paid_at ? timestamp_text(*each.paid_at) : "";
  result["seller_phone"] = std::string(kSellerPhone);
  result["buyer_info"] = std::move(buyer);
  result["user_phone"] = each.buyer_phone;
  result["status_desc"] = std::string(state_text(each));
  result["send_time"] = each.shipped_at ? timestamp_text(*each.shipped_at) : "";
  result["express_type"] = each.express_type;
  result["express_no"] = each.express_no;
  result["items"] = json::array({std::move(item)});
  result["total"] = money_text(each.total_cents());
  result["express_fee"] = "0.00";
  return result;
}

outcome order_detail_call(const shop& shop, const json& param) {
  const text_argument order_id = read_text(param, "order_id");
  if (order_id.state == text_argument::absent || order_id.text.empty()) {
    return order_id.state == text_argument::malformed ? bad_parameter("order_id", kMalformed)
                                                      : bad_parameter("order_id", kMissing);
  }
  const order* found = shop.find_order(order_id.text);
  if (found == nullptr) return refused(kNoSuchOrder, "订单不存在");
  if (shop.detail_refused(order_id.text))
    return refused(kDetailUnavailable, "订单详情暂时无法获取");
  json reply = json::object();
  reply["result"] = order_detail(*found);
  reply["status"] = status_object(kSuccess, "success");
  return {kSuccess, to_text(reply)};
}

outcome deliver_call(shop& shop, const json& param, const clock_reading& clock) {
  const text_argument order_id = read_text(param, "order_id");
  const text_argument express_type = read_text(param, "express_type");
  const text_argument express_no = read_text(param, "express_no");
  const text_argument express_custom = read_text(param, "express_custom");
  if (order_id.state == text_argument::malformed) return bad_parameter("order_id", kMalformed);
  if (order_id.text.empty()) return bad_parameter("order_id", kMissing);
  if (express_type.state == text_argument::malformed)
    return bad_parameter("express_type", kMalformed);
  if (express_type.text.empty()) return bad_parameter("express_type", kMissing);
  if (express_no.state == text_argument::malformed) return bad_parameter("express_no", kMalformed);
  if (express_custom.state == text_argument::malformed) {
    return bad_parameter("express_custom", kMalformed);
  }
  switch (shop.deliver(order_id.text, express_type.text, express_custom.text, express_no.text,
                       clock.local)) {
    case deliver_outcome::delivered: return {kSuccess, std::string(kDeliveredReply)};
    case deliver_outcome::unknown_order: return refused(kNoSuchOrder, "订单不存在");
    case deliver_outcome::unknown_courier: return refused(kUnknownCourier, "不支持的快递公司编码");
    case deliver_outcome::missing_tracking_number:
      return refused(kTrackingNumberNeeded, "除无需物流外必须填写快递单号");
    case deliver_outcome::already_shipped:
      return refused(kNotAwaitingShipment, "订单已发货，不能重复发货");
    case deliver_outcome::not_paid: return refused(kNotAwaitingShipment, "订单未付款，不能发货");
    case deliver_outcome::closed: return refused(kNotAwaitingShipment, "订单已关闭，不能发货");
    case deliver_outcome::refunding: return refused(kNotAwaitingShipment, "订单退款中，不能发货");
  }
  return refused(kInternalError, "系统繁忙");
}

outcome method_call(shop& shop, std::string_view query, const clock_reading& clock,
                    std::string& method_name) {
  const auto public_text = query_value(query, "public");
  if (!public_text || public_text->empty()) return bad_parameter("public", kMissing);
  const auto common = parse_object(*public_text);
  if (!common) return bad_parameter("public", kNotJson);
  if (const text_argument method = read_text(*common, "method");
      method.state == text_argument::present) {
    method_name = method.text;
  }

  const text_argument token = read_text(*common, "access_token");
  if (token.state == text_argument::malformed) return bad_parameter("access_token", kMalformed);
  if (token.text.empty()) return {kBadParameter, std::string(kEmptyTokenReply)};
  switch (shop.check_token(token.text, clock.utc)) {
    case token_check::valid: break;
    case token_check::unknown: {
      // The platform names the refused token in brackets and ends the reason with a space.
      std::string reason = "access_token无效(access_token:";
      reason += token.text.substr(0, 64);
      reason += " 无效) ";
      return refused(kBadToken, reason);
    }
    case token_check::expired: return refused(kBadToken, "access_token过期");
  }
  if (!shop.take_call(token.text, clock.steady))
    return refused(kTooFrequent, "用户请求频次超过上限");

  if (method_name.empty()) return bad_parameter("method", kMissing);
  const bool known = method_name == "vdian.order.ids.get" || method_name == "vdian.order.get" ||
                     method_name == "vdian.order.deliver";
  if (!known) return refused(kNoSuchMethod, "API不存在");

  const auto param_text = query_value(query, "param");
  if (!param_text || param_text->empty()) return bad_parameter("param", kMissing);
  const auto param = parse_object(*param_text);
  if (!param) return bad_parameter("param", kNotJson);

  if (method_name == "vdian.order.ids.get") return order_ids_call(shop, *param);
  if (method_name == "vdian.order.get") return order_detail_call(shop, *param);
  return deliver_call(shop, *param, clock);
}

// Controls for tests and demos.

json success_envelope(json result) {
  json reply = json::object();
  reply["status"] = status_object(kSuccess, "success");
  reply["result"] = std::move(result);
  return reply;
}

json order_summary(const order& each) {
  json summary = json::object();
  summary["order_id"] = each.order_id;
  summary["order_date"] = order_date_text(each.day);
  summary["status2"] = std::string(payment_text(each));
  summary["status_desc"] = std::string(state_text(each));
  summary["item_name"] = each.item_name;
  summary["quantity"] = std::to_string(each.quantity);
  summary["total_price"] = money_text(each.total_cents());
  summary["note"] = each.note;
  summary["add_time"] = timestamp_text(each.placed_at);
  summary["pay_time"] = each.paid_at ? timestamp_text(*each.paid_at) : "";
  summary["express_type"] = each.express_type;
  summary["express_no"] = each.express_no;
  return summary;
}

std::optional<long long> parse_whole(std::string_view text, long long low, long long high) {
  long long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < low || value > high) {
    return std::nullopt;
  }
  return value;
}

// "39", "39.5" or "39.50" yuan, as cents.
std::optional<long long> parse_money(std::string_view text) {
  const std::size_t point = text.find('.');
  const auto yuan = parse_whole(text.substr(0, point), 0, 100'000'000);
  if (!yuan || text.substr(0, point).empty() || text[0] == '+' || text[0] == '-')
    return std::nullopt;
  long long cents = *yuan * 100;
  if (point != std::string_view::npos) {
    const std::string_view fraction = text.substr(point + 1);
    if (fraction.empty() || fraction.size() > 2 || fraction[0] == '+' || fraction[0] == '-') {
      return std::nullopt;
    }
    const auto value = parse_whole(fraction, 0, 99);
    if (!value) return std::nullopt;
    cents += fraction.size() == 1 ? *value * 10 : *value;
  }
  return cents;
}

outcome control_text_error(std::string_view name) { return bad_parameter(name, kMalformed, 400); }

outcome add_order_control(shop& shop, std::string_view query, const clock_reading& clock) {
  order_request wanted;
  if (const auto text = query_value(query, "date")) {
    wanted.day = parse_order_date(*text);
    if (!wanted.day) return control_text_error("date");
  }
  if (const auto text = query_value(query, "paid")) {
    if (*text == "1" || *text == "true") {
      wanted.paid = true;
    } else if (*text == "0" || *text == "false") {
      wanted.paid = false;
    } else {
      return control_text_error("paid");
    }
  }
  for (auto [name, field] :
       {std::pair{"item_name", &wanted.item_name}, std::pair{"note", &wanted.note}}) {
    if (auto text = query_value(query, name)) {
      if (!is_utf8(*text)) return control_text_error(name);
      *field = std::move(*text);
    }
  }
  if (const auto text = query_value(query, "quantity")) {
    const auto quantity = parse_whole(*text, 1, 9999);
    if (!quantity) return control_text_error("quantity");
    wanted.quantity = static_cast<int>(*quantity);
  }
  if (const auto text = query_value(query, "price")) {
    const auto cents = parse_money(*text);
    if (!cents) return control_text_error("price");
    wanted.price_cents = *cents;
  }
  return {kSuccess, to_text(success_envelope(order_summary(shop.add_order(wanted, clock.local))))};
}

outcome pay_control(shop& shop, std::string_view query, const clock_reading& clock) {
  const std::string order_id = query_value(query, "order_id").value_or("");
  if (order_id.empty()) return bad_parameter("order_id", kMissing, 400);
  switch (shop.pay(order_id, clock.local)) {
    case pay_outcome::paid:
      return {kSuccess, to_text(success_envelope(order_summary(*shop.find_order(order_id))))};
    case pay_outcome::unknown_order: return refused(kNoSuchOrder, "订单不存在", 404);
    case pay_outcome::already_paid: return refused(kBadParameter, "订单已付款", 409);
  }
  return refused(kInternalError, "系统繁忙", 500);
}

outcome drop_calls_control(shop& shop, std::string_view query) {
  int count = 1;
  if (const auto text = query_value(query, "count")) {
    const auto wanted = parse_whole(*text, 0, 1000);
    if (!wanted) return control_text_error("count");
    count = static_cast<int>(*wanted);
  }
  shop.drop_next_calls(count);
  json result = json::object();
  result["pending"] = count;
  return {kSuccess, to_text(success_envelope(std::move(result)))};
}

outcome drop_deliver_replies_control(shop& shop, std::string_view query) {
  int count = 1;
  if (const auto text = query_value(query, "count")) {
    const auto wanted = parse_whole(*text, 0, 1000);
    if (!wanted) return control_text_error("count");
    count = static_cast<int>(*wanted);
  }
  shop.drop_next_deliver_replies(count);
  json result = json::object();
  result["pending"] = count;
  return {kSuccess, to_text(success_envelope(std::move(result)))};
}

outcome hold_order_control(shop& shop, std::string_view query) {
  const std::string order_id = query_value(query, "order_id").value_or("");
  if (order_id.empty()) return bad_parameter("order_id", kMissing, 400);
  const std::string state = query_value(query, "state").value_or("");
  order_hold hold = order_hold::closed;
  if (state == "closed") {
    hold = order_hold::closed;
  } else if (state == "refunding") {
    hold = order_hold::refunding;
  } else {
    return control_text_error("state");
  }
  if (!shop.hold_order(order_id, hold)) return refused(kNoSuchOrder, "订单不存在", 404);
  return {kSuccess, to_text(success_envelope(order_summary(*shop.find_order(order_id))))};
}

outcome slow_control(shop& shop, std::string_view query) {
  const auto delay = parse_whole(query_value(query, "ms").value_or(""), 0, 600000);
  if (!delay) return control_text_error("ms");
  shop.set_reply_delay(std::chrono::milliseconds(*delay));
  json result = json::object();
  result["ms"] = *delay;
  return {kSuccess, to_text(success_envelope(std::move(result)))};
}

outcome refuse_detail_control(shop& shop, std::string_view query) {
  const std::string order_id = query_value(query, "order_id").value_or("");
  if (order_id.empty()) return bad_parameter("order_id", kMissing, 400);
  const order* found = shop.find_order(order_id);
  if (found == nullptr) return refused(kNoSuchOrder, "订单不存在", 404);
  shop.refuse_detail(order_id);
  return {kSuccess, to_text(success_envelope(order_summary(*found)))};
}

json settings_result(const shop_settings& settings) {
  json result = json::object();
  result["token_seconds"] = settings.token_lifetime.count();
  result["page_size"] = settings.page_size;
  result["max_calls_per_second"] = settings.max_calls_per_second;
  result["refuse_tokens"] = settings.refuse_tokens;
  return result;
}

// Changes what is given and leaves the rest; nothing at all when any value is bad.
outcome settings_control(shop& shop, std::string_view query) {
  shop_settings wanted = shop.settings();
  if (const auto text = query_value(query, "token_seconds")) {
    const auto seconds = parse_whole(*text, 1, 10LL * 365 * 86400);
    if (!seconds) return control_text_error("token_seconds");
    wanted.token_lifetime = std::chrono::seconds(*seconds);
  }
  if (const auto text = query_value(query, "page_size")) {
    const auto size = parse_whole(*text, 1, 100'000);
    if (!size) return control_text_error("page_size");
    wanted.page_size = static_cast<std::size_t>(*size);
  }
  if (const auto text = query_value(query, "max_calls_per_second")) {
    const auto calls = parse_whole(*text, 0, 100'000);
    if (!calls) return control_text_error("max_calls_per_second");
    wanted.max_calls_per_second = static_cast<int>(*calls);
  }
  if (const auto text = query_value(query, "refuse_tokens")) {
    if (*text != "0" && *text != "1") return control_text_error("refuse_tokens");
    wanted.refuse_tokens = *text == "1";
  }
  shop.change_settings(wanted);
  return {kSuccess, to_text(success_envelope(settings_result(wanted)))};
}

outcome orders_control(const shop& shop, std::string_view query) {
  std::optional<date> day;
  if (const auto text = query_value(query, "date")) {
    day = parse_order_date(*text);
    if (!day) return control_text_error("date");
  }
  json list = json::array();
  for (const order& each : shop.orders()) {
    if (!day || each.day == *day) list.push_back(order_summary(each));
  }
  return {kSuccess, to_text(success_envelope(std::move(list)))};
}

outcome deliveries_control(const shop& shop) {
  json list = json::array();
  for (const delivery& each : shop.deliveries()) {
    json entry = json::object();
    entry["order_id"] = each.order_id;
    entry["express_type"] = each.express_type;
    entry["express_custom"] = each.express_custom;
    entry["express_no"] = each.express_no;
    entry["time"] = timestamp_text(each.at);
    list.push_back(std::move(entry));
  }
  return {kSuccess, to_text(success_envelope(std::move(list)))};
}

outcome dispatch(shop& shop, std::string_view path, std::string_view query,
                 const clock_reading& clock, std::string& method_name) {
  if (path == "/token") return token_call(shop, query, clock);
  if (path == "/api") return method_call(shop, query, clock, method_name);
  if (path == "/sandbox/add-order") return add_order_control(shop, query, clock);
  if (path == "/sandbox/pay") return pay_control(shop, query, clock);
  if (path == "/sandbox/orders") return orders_control(shop, query);
  if (path == "/sandbox/deliveries") return deliveries_control(shop);
  if (path == "/sandbox/drop-calls") return drop_calls_control(shop, query);
  if (path == "/sandbox/refuse-detail") return refuse_detail_control(shop, query);
  if (path == "/sandbox/slow") return slow_control(shop, query);
  if (path == "/sandbox/drop-deliver-replies") return drop_deliver_replies_control(shop, query);
  if (path == "/sandbox/order-state") return hold_order_control(shop, query);
  if (path == "/sandbox/tick") {
    const shop::tick_result beat = shop.tick(clock.local);
    json result = json::object();
    result["paid_order_id"] = beat.paid_order_id.value_or("");
    result["new_order"] = order_summary(beat.arrived);
    return {kSuccess, to_text(success_envelope(std::move(result)))};
  }
  if (path == "/sandbox/tokens") {
    json list = json::array();
    for (const std::string& token : shop.issued_tokens()) list.push_back(token);
    return {kSuccess, to_text(success_envelope(std::move(list)))};
  }
  if (path == "/sandbox/settings") return settings_control(shop, query);
  if (path == "/sandbox/expire-tokens") {
    shop.expire_tokens(clock.utc);
    return {kSuccess, to_text(success_envelope(""))};
  }
  if (path == "/sandbox/reset") {
    shop.reseed(clock.local);
    return {kSuccess, to_text(success_envelope(""))};
  }
  return refused(kNoSuchMethod, "API不存在", 404);
}

}  // namespace

std::string refusal(int code, std::string_view reason) {
  json reply = json::object();
  reply["status"] = status_object(code, reason);
  return to_text(reply);
}

std::string transport_refusal(int http_status) {
  if (http_status == 414 || http_status == 431) return refusal(kRequestTooLong, "请求过长");
  if (http_status == 404) return refusal(kNoSuchMethod, "API不存在");
  if (http_status >= 500) return refusal(kInternalError, "系统繁忙");
  return refusal(kMalformedRequest, "请求格式错误");
}

reply answer(shop& shop, const request& request, const clock_reading& clock) {
  const target_parts target = split_target(request.target);
  std::string method_name;
  outcome result;
  const bool drop = target.path == "/api" && shop.take_dropped_call();
  const bool platform_path = target.path == "/api" || target.path == "/token";
  const std::chrono::milliseconds delay =
      platform_path ? shop.reply_delay() : std::chrono::milliseconds(0);
  try {
    if (!drop) {
      result = dispatch(shop, target.path, target.query, clock, method_name);
    } else if (const auto common = parse_object(query_value(target.query, "public").value_or(""))) {
      // Named in the log line, so a reader sees which call was lost.
      const text_argument method = read_text(*common, "method");
      if (method.state == text_argument::present) method_name = method.text;
    }
  } catch (...) {
    result = refused(kInternalError, "系统繁忙", 500);
  }

  std::string line = printable(request.method, 16) + ' ' + printable(target.path, 200);
  if (target.path == "/api") {
    line += ' ' + (method_name.empty() ? std::string("-") : printable(method_name, 100));
    line += " param=" + printable(query_value(target.query, "param").value_or(""));
  } else if (target.path == "/token") {
    line += " appkey=" + printable(query_value(target.query, "appkey").value_or(""), 200);
  } else if (!target.query.empty()) {
    line += ' ' + printable(percent_decode(target.query));
  }
  if (drop) return {0, {}, line + " -> dropped", true, false, delay};
  line += " -> " + std::to_string(result.code);
  // Carried out, then unanswered. Other connections stay: whether the client sends the call
  // again on a connection it reuses is what such a test looks at.
  if (method_name == "vdian.order.deliver" && shop.take_dropped_deliver_reply())
    return {0, {}, line + ", reply dropped", true, false, delay};
  const bool arms_drops = target.path == "/sandbox/drop-calls" && result.http_status == 200;
  return {result.http_status, std::move(result.body), std::move(line), false, arms_drops, delay};
}

}  // namespace quillmere::sandbox
