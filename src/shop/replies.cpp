#include "shop/replies.h"

#include "shop/texts.h"
#include "text/codepage.h"
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

namespace {

bool is_gbk_lead(unsigned char c) { return c >= 0x81 && c <= 0xFE; }
bool is_gbk_trail(unsigned char c) { return c >= 0x40 && c <= 0xFE && c != 0x7F; }

// Where the JSON string whose text starts at `at` ends: its first double quote that no
// backslash escapes. A double-byte character is passed whole, as its trail byte may be a
// backslash. npos when a line feed (which no JSON string holds) or the reply's end comes first.
std::size_t string_end(std::string_view reply, std::size_t at) {
  while (at < reply.size()) {
    const auto c = static_cast<unsigned char>(reply[at]);
    if (c == '"') return at;
    if (c == '\n') return std::string_view::npos;
    const bool pair = at + 1 < reply.size() && reply[at + 1] != '\n' &&
                      (c == '\\' || (is_gbk_lead(c) && is_gbk_trail(reply[at + 1])));
    at += pair ? 2 : 1;
  }
  return std::string_view::npos;
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The UTF-16 unit of "\uXXXX" at `at`; none for fewer than four hex digits, and for U+0000,
// which no cell could show.
std::optional<char16_t> unit_at(std::string_view text, std::size_t at) {
  if (at + 6 > text.size() || text[at + 1] != 'u') return std::nullopt;
  unsigned value = 0;
  for (std::size_t i = at + 2; i < at + 6; ++i) {
    const int digit = hex_digit(text[i]);
    if (digit < 0) return std::nullopt;
    value = value * 16 + static_cast<unsigned>(digit);
  }
  if (value == 0) return std::nullopt;
  return static_cast<char16_t>(value);
}

// A field's JSON escapes as the characters they stand for, in GBK. A run of "\u" escapes is
// converted as one text, so surrogate pairs join, and a character GBK lacks becomes what the
// conversion of a whole reply makes of it. Anything that is no escape stays as it is.
std::string decode_escapes(std::string_view field) {
  std::string out;
  out.reserve(field.size());
  std::u16string units;
  const auto flush_units = [&] {
    if (units.empty()) return;
    out += utf16_to_multibyte(units, kCodePageGbk);
    units.clear();
  };
  std::size_t at = 0;
  while (at < field.size()) {
    const auto c = static_cast<unsigned char>(field[at]);
    if (c == '\\' && at + 1 < field.size()) {
      if (const std::optional<char16_t> unit = unit_at(field, at)) {
        units.push_back(*unit);
        at += 6;
        continue;
      }
      static constexpr std::string_view kEscaped = "\"\\/bfnrt";
      static constexpr std::string_view kMeant = "\"\\/\b\f\n\r\t";
      if (const std::size_t which = kEscaped.find(field[at + 1]); which != std::string_view::npos) {
        flush_units();
        out.push_back(kMeant[which]);
        at += 2;
        continue;
      }
    }
    flush_units();
    const bool pair = is_gbk_lead(c) && at + 1 < field.size() && is_gbk_trail(field[at + 1]);
    out.append(field.substr(at, pair ? 2 : 1));
    at += pair ? 2 : 1;
  }
  flush_units();
  return out;
}

// How the pattern ends a field's group: at the next key (which an escaped quote cannot imitate),
// or at its first double quote, also an escaped one.
enum class GroupEnd { at_key, at_quote };

// Group `group` of match `k` as the field's text. A group that ended at an escaped quote runs
// on to the quote that really ends the field. A field without a backslash is the group's bytes,
// exactly.
std::string field_text(const regex_object& matcher, int k, int group, std::string_view reply,
                       GroupEnd end_of_group) {
  int position = 0;
  std::string text = matcher.submatch_text(k, group, &position);
  if (text.find('\\') == std::string::npos || position < 0) return text;
  const auto begin = static_cast<std::size_t>(position);
  if (const std::size_t end = string_end(reply, begin); end_of_group == GroupEnd::at_quote &&
                                                        end != std::string_view::npos &&
                                                        end > begin + text.size()) {
    text.assign(reply.substr(begin, end - begin));
  }
  return decode_escapes(text);
}

}  // namespace

std::vector<OrderDetail> read_order_details(std::string_view detail_reply) {
  std::vector<OrderDetail> details;
  regex_object matcher;
  if (!matcher.create_in_place(kDetailPattern, detail_reply)) return details;
  const int count = matcher.match_count();
  for (int k = 1; k <= count; ++k) {
    OrderDetail d;
    // The order id and the quantity are the platform's digits, sent back and recorded as they
    // came: they are taken as they stand.
    d.order_id = matcher.submatch_text(k, 1);
    d.status2 = field_text(matcher, k, 2, detail_reply, GroupEnd::at_key);
    d.note = field_text(matcher, k, 3, detail_reply, GroupEnd::at_quote);
    d.seller_phone = field_text(matcher, k, 4, detail_reply, GroupEnd::at_quote);
    d.user_phone = field_text(matcher, k, 5, detail_reply, GroupEnd::at_quote);
    d.status_desc = field_text(matcher, k, 6, detail_reply, GroupEnd::at_quote);
    d.quantity = matcher.submatch_text(k, 7);
    d.total_price = field_text(matcher, k, 8, detail_reply, GroupEnd::at_quote);
    d.item_name = field_text(matcher, k, 9, detail_reply, GroupEnd::at_quote);
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
