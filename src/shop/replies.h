#pragma once
// Reading the platform's replies: by text search and patterns, never as JSON.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillmere::shop {

// The token between the first "access_token\":\"" and the next "\""; empty when either is missing.
std::string read_token(std::string_view token_reply);

// The whole seconds after the first "\"expire_in\":"; none when they are missing, 0 or absurdly
// many.
std::optional<long long> read_expire_in(std::string_view token_reply);

// Login worked when the token is not empty and stands in the reply.
bool login_succeeded(std::string_view token, std::string_view token_reply);

// Group 1 of every match of "\"(.*?)\"" after the first five, in reply order.
std::vector<std::string> read_order_ids(std::string_view ids_reply);

// One match of the order-detail pattern, its nine groups in order.
struct OrderDetail {
  std::string order_id;      // 1
  std::string status2;       // 2: payment state, "已付款" when paid
  std::string note;          // 3: buyer's message
  std::string seller_phone;  // 4
  std::string user_phone;    // 5
  std::string status_desc;   // 6
  std::string quantity;      // 7
  std::string total_price;   // 8
  std::string item_name;     // 9
};
std::vector<OrderDetail> read_order_details(std::string_view detail_reply);

// The three literal tests (exact, case-sensitive substrings).
bool is_empty_day_reply(std::string_view ids_reply);
bool is_missing_token_reply(std::string_view ids_reply);
bool is_delivery_accepted(std::string_view delivery_reply);

// The platform said yes: "\"status_code\":0" followed by a character that is not a digit.
bool is_success_reply(std::string_view reply);

// The number after the first "\"status_code\":"; -1 when there is none.
int status_code(std::string_view reply);
// 10013: the token is invalid or expired, whatever the reason text says.
bool is_token_refused(std::string_view reply);
// 10004 or 10005: too many calls, from this address or this shop.
bool is_frequency_refused(std::string_view reply);

// What an order-ids reply is, tested in this order; only the first and third hold ids to read.
enum class IdsReplyKind {
  empty_day,      // the empty-day literal
  missing_token,  // the missing-token literal
  success,
  no_reply,  // empty text: the exchange failed
  refusal,   // anything else
};
IdsReplyKind classify_ids_reply(std::string_view ids_reply);

// Why a reply brought no ids or no order, for the log: "无法连接微店平台" for an empty text,
// "无法识别的回复" for a success reply (it should have matched) or a refusal without a reason,
// else the text between the first "\"status_reason\":\"" and the next "\"".
std::string failure_reason(std::string_view reply);

}  // namespace quillmere::shop
