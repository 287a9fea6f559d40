// The shop's reply readers over arbitrary replies, and request building with arbitrary values:
// a spliced value must come out as unreserved characters and %XX escapes only. Every reply
// falls in exactly one kind, and a failure always has a reason fit for one log line. The detail
// reader gives the pattern's groups byte for byte when a reply holds no backslash, keeps the
// order id and quantity as they stand always, and reads back any note written with escapes.
#include <cstdint>
#include <string>

#include "fuzz_input.h"
#include "shop/replies.h"
#include "shop/requests.h"
#include "text/regex_object.h"

namespace {

bool only_url_safe(const std::string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                            (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~';
    if (unreserved) continue;
    if (c != '%' || i + 2 >= text.size()) return false;
    i += 2;
  }
  return true;
}

constexpr std::string_view kDetailPattern =
    R"re("order_id":"(.*?)","status2":"(.*?)","note":"(.*?)"[\s\S]*?"seller_phone":"(.*?)")re"
    R"re([\s\S]*?"user_phone":"(.*?)"[\s\S]*?"status_desc":"(.*?)")re"
    R"re([\s\S]*?"quantity":"(.*?)","total_price":"(.*?)"[\s\S]*?"item_name":"(.*?)")re";

void check_details_against_groups(const std::string& reply) {
  using quillmere::shop::OrderDetail;
  const std::vector<OrderDetail> details = quillmere::shop::read_order_details(reply);
  quillmere::regex_object groups;
  if (!groups.create(kDetailPattern, reply)) __builtin_trap();
  if (static_cast<int>(details.size()) != groups.match_count()) __builtin_trap();
  const bool plain = reply.find('\\') == std::string::npos;
  for (int k = 1; k <= groups.match_count(); ++k) {
    const OrderDetail& d = details[static_cast<std::size_t>(k - 1)];
    if (d.order_id != groups.submatch_text(k, 1) || d.quantity != groups.submatch_text(k, 7))
      __builtin_trap();
    if (!plain) continue;
    const std::string* fields[] = {&d.order_id,     &d.status2,     &d.note,
                                   &d.seller_phone, &d.user_phone,  &d.status_desc,
                                   &d.quantity,     &d.total_price, &d.item_name};
    for (int g = 1; g <= 9; ++g)
      if (*fields[g - 1] != groups.submatch_text(k, g)) __builtin_trap();
  }
}

// `value` written into a JSON string as the platform would escape it; false when it is no
// clean GBK text (a stray byte could pair with the escape's backslash).
bool json_escaped(const std::string& value, std::string* out) {
  static constexpr char kHex[] = "0123456789abcdef";
  for (std::size_t i = 0; i < value.size(); ++i) {
    const auto c = static_cast<unsigned char>(value[i]);
    if (c >= 0x81 && c <= 0xFE) {
      if (i + 1 >= value.size()) return false;
      const auto trail = static_cast<unsigned char>(value[i + 1]);
      if (trail < 0x40 || trail == 0x7F || trail == 0xFF) return false;
      out->append(value, i, 2);
      ++i;
    } else if (c == 0 || c >= 0x80) {
      return false;
    } else if (c == '"' || c == '\\') {
      *out += '\\';
      *out += static_cast<char>(c);
    } else if (c == '\n') {
      *out += "\\n";
    } else if (c < 0x20) {
      *out += "\\u00";
      *out += kHex[c >> 4];
      *out += kHex[c & 15];
    } else {
      *out += static_cast<char>(c);
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillmere::shop;
  const auto parts = quillmere::fuzz::split_input(data, size, 2);
  const std::string& reply = parts[0];

  const std::string token = read_token(reply);
  login_succeeded(token, reply);
  read_order_ids(reply);
  check_details_against_groups(reply);
  is_empty_day_reply(reply);
  is_missing_token_reply(reply);
  is_delivery_accepted(reply);
  // The numbers the renewal and the back-off read are bounded, whatever digits follow.
  const int code = status_code(reply);
  if (code < -1 || code > 999'999'999) __builtin_trap();
  if (is_token_refused(reply) && is_frequency_refused(reply)) __builtin_trap();
  if (const auto expire_in = read_expire_in(reply);
      expire_in && (*expire_in <= 0 || *expire_in > 999'999'999'999LL))
    __builtin_trap();

  const IdsReplyKind kind = classify_ids_reply(reply);
  if ((kind == IdsReplyKind::no_reply) != reply.empty()) __builtin_trap();
  const bool literal = is_empty_day_reply(reply) || is_missing_token_reply(reply);
  if (kind == IdsReplyKind::refusal && (literal || is_success_reply(reply))) __builtin_trap();
  if (kind == IdsReplyKind::success && (literal || !is_success_reply(reply))) __builtin_trap();
  const std::string reason = failure_reason(reply);
  if (reason.empty() || reason.find('"') != std::string::npos) __builtin_trap();

  const std::string& value = parts[1];
  if (std::string escaped; json_escaped(value, &escaped)) {
    const std::string detail = "{\"order_id\":\"1\",\"status2\":\"\",\"note\":\"" + escaped +
                               "\",\"seller_phone\":\"\",\"user_phone\":\"\",\"status_desc\":\"\","
                               "\"quantity\":\"1\",\"total_price\":\"\",\"item_name\":\"" +
                               escaped + "\"}";
    const auto details = read_order_details(detail);
    if (details.size() != 1 || details[0].note != value || details[0].item_name != value)
      __builtin_trap();
  }
  if (!only_url_safe(json_value(value)) || !only_url_safe(percent_encode(value))) __builtin_trap();
  const std::string url = build_delivery_request_with_courier(value, value, value, value);
  // However odd the value, the request keeps its two query keys and nothing more.
  if (url.find("&public=") == std::string::npos || url.find('&') != url.rfind('&'))
    __builtin_trap();
  if (url.find('#') != std::string::npos || url.find(' ') != std::string::npos) __builtin_trap();
  build_token_request(value, value);
  build_order_ids_request(value, value);
  build_order_detail_request(value, value);
  build_delivery_request(value, value, value);
  return 0;
}
