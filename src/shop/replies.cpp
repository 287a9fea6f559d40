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
