#include "shop/replies.h"

#include "shop/texts.h"
#include "text/regex_object.h"
#include "text/text_between.h"

namespace quillmere::shop {
namespace {

// The quoted strings before the result list: "status", "status_code", "status_reason", the
// reason, "result".
constexpr int kLeadingStrings = 5;

constexpr std::string_view kIdsPattern = "\"(.*?)\"";

constexpr std::string_view kDetailPattern =
    R"re("order_id":"(.*?)","status2":"(.*?)","note":"(.*?)"[\s\S]*?"seller_phone":"(.*?)")re"
    R"re([\s\S]*?"user_phone":"(.*?)"[\s\S]*?"status_desc":"(.*?)")re"
    R"re([\s\S]*?"quantity":"(.*?)","total_price":"(.*?)"[\s\S]*?"item_name":"(.*?)")re";

}  // namespace

// The replies below outlive their matchers, so the matchers read them where they lie.

std::string read_token(std::string_view token_reply) {
  return text_between(token_reply, "access_token\":\"", "\"");
}

namespace {

// The digits at `at`, up to `max_digits` of them; none when there is no digit there or more.
std::optional<long long> digits_at(std::string_view text, std::size_t at, int max_digits) {
  long long value = 0;
  int count = 0;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
    if (++count > max_digits) return std::nullopt;
    value = value * 10 + (text[at] - '0');
  }
  if (count == 0) return std::nullopt;
  return value;
}

std::optional<long long> number_after(std::string_view text, std::string_view key, int max_digits) {
  const std::size_t at = text.find(key);
  if (at == std::string_view::npos) return std::nullopt;
  return digits_at(text, at + key.size(), max_digits);
}

}  // namespace

std::optional<long long> read_expire_in(std::string_view token_reply) {
  const std::optional<long long> seconds = number_after(token_reply, "\"expire_in\":", 12);
  if (!seconds || *seconds == 0) return std::nullopt;
  return seconds;
}

bool login_succeeded(std::string_view token, std::string_view token_reply) {
  return !token.empty() && token_reply.find(token) != std::string_view::npos;
}

std::vector<std::string> read_order_ids(std::string_view ids_reply) {
  std::vector<std::string> ids;
  regex_object matcher;
  if (!matcher.create_in_place(kIdsPattern, ids_reply)) return ids;
  const int count = matcher.match_count();
  if (count > kLeadingStrings) ids.reserve(static_cast<std::size_t>(count - kLeadingStrings));
  for (int k = kLeadingStrings + 1; k <= count; ++k) ids.push_back(matcher.submatch_text(k, 1));
  return ids;
}

std::vector<OrderDetail> read_order_details(std::string_view detail_reply) {
  std::vector<OrderDetail> details;
  regex_object matcher;
  if (!matcher.create_in_place(kDetailPattern, detail_reply)) return details;
  const int count = matcher.match_count();
  for (int k = 1; k <= count; ++k) {
    OrderDetail d;
    d.order_id = matcher.submatch_text(k, 1);
    d.status2 = matcher.submatch_text(k, 2);
    d.note = matcher.submatch_text(k, 3);
    d.seller_phone = matcher.submatch_text(k, 4);
    d.user_phone = matcher.submatch_text(k, 5);
    d.status_desc = matcher.submatch_text(k, 6);
    d.quantity = matcher.submatch_text(k, 7);
    d.total_price = matcher.submatch_text(k, 8);
    d.item_name = matcher.submatch_text(k, 9);
    details.push_back(std::move(d));
  }
  return details;
}

bool is_empty_day_reply(std::string_view ids_reply) {
  return ids_reply.find(texts::kEmptyDayReply) != std::string_view::npos;
}

bool is_missing_token_reply(std::string_view ids_reply) {
  return ids_reply.find(texts::kMissingTokenReply) != std::string_view::npos;
}

bool is_delivery_accepted(std::string_view delivery_reply) {
  return delivery_reply.find(texts::kDeliveryAcceptedReply) != std::string_view::npos;
}

bool is_success_reply(std::string_view reply) {
  constexpr std::string_view kCodeZero = "\"status_code\":0";
  for (std::size_t at = reply.find(kCodeZero); at != std::string_view::npos;
       at = reply.find(kCodeZero, at + 1)) {
    const std::size_t next = at + kCodeZero.size();
    // A code such as 0123 is not 0, and a reply cut off right after the 0 proves nothing.
    if (next < reply.size() && (reply[next] < '0' || reply[next] > '9')) return true;
  }
  return false;
}

int status_code(std::string_view reply) {
  const std::optional<long long> code = number_after(reply, "\"status_code\":", 9);
  return code ? static_cast<int>(*code) : -1;
}

bool is_token_refused(std::string_view reply) { return status_code(reply) == 10013; }

bool is_frequency_refused(std::string_view reply) {
  const int code = status_code(reply);
  return code == 10004 || code == 10005;
}

IdsReplyKind classify_ids_reply(std::string_view ids_reply) {
  if (is_empty_day_reply(ids_reply)) return IdsReplyKind::empty_day;
  if (is_missing_token_reply(ids_reply)) return IdsReplyKind::missing_token;
  if (is_success_reply(ids_reply)) return IdsReplyKind::success;
  if (ids_reply.empty()) return IdsReplyKind::no_reply;
  return IdsReplyKind::refusal;
}

std::string failure_reason(std::string_view reply) {
  if (reply.empty()) return std::string(texts::kCannotReachPlatform);
  if (!is_success_reply(reply)) {
    std::string reason = text_between(reply, "\"status_reason\":\"", "\"");
    if (!reason.empty()) return reason;
  }
  return std::string(texts::kUnrecognisedReply);
}

}  // namespace quillmere::shop
