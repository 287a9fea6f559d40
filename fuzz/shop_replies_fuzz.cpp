// The shop's reply readers over arbitrary replies, and request building with arbitrary values:
// a spliced value must come out as unreserved characters and %XX escapes only. Every reply
// falls in exactly one kind, and a failure always has a reason fit for one log line.
#include <cstdint>
#include <string>

#include "fuzz_input.h"
#include "shop/replies.h"
#include "shop/requests.h"

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillmere::shop;
  const auto parts = quillmere::fuzz::split_input(data, size, 2);
  const std::string& reply = parts[0];

  const std::string token = read_token(reply);
  login_succeeded(token, reply);
  read_order_ids(reply);
  read_order_details(reply);
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
