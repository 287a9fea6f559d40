#pragma once
// Platform replies in the forms the shop code reads, as UTF-8 like the platform sends them.

#include <string>
#include <vector>

namespace quillmere::shop::testing {

inline std::string ids_reply(const std::vector<std::string>& ids) {
  std::string out = "{\"status\":{\"status_code\":0,\"status_reason\":\"success\"},\"result\":[";
  for (std::size_t i = 0; i < ids.size(); ++i) {
    if (i != 0) out += ',';
    out += '"' + ids[i] + '"';
  }
  return out + "]}";
}

struct DetailFields {
  std::string order_id;
  std::string status2 = "\xe5\xb7\xb2\xe4\xbb\x98\xe6\xac\xbe";  // 已付款 in UTF-8
  std::string note = "note";
  std::string seller_phone = "13800000000";
  std::string user_phone = "13900000000";
  std::string status_desc = "desc";
  std::string quantity = "1";
  std::string total_price = "9.90";
  std::string item_name = "item";
};

// One order object as the detail pattern expects it, keys in their order with other keys
// and a line break in between.
inline std::string order_object(const DetailFields& f) {
  return "{\"order_id\":\"" + f.order_id + "\",\"status2\":\"" + f.status2 + "\",\"note\":\"" +
         f.note + "\",\"buyer_info\":{\"name\":\"x\",\"seller_phone\":\"" + f.seller_phone +
         "\"},\n\"user_phone\":\"" + f.user_phone + "\",\"express\":\"\",\"status_desc\":\"" +
         f.status_desc + "\",\"items\":[{\"quantity\":\"" + f.quantity + "\",\"total_price\":\"" +
         f.total_price + "\",\"sku\":\"s\",\"item_name\":\"" + f.item_name + "\"}]}";
}

inline std::string detail_reply(const DetailFields& f) {
  return "{\"result\":" + order_object(f) +
         ",\"status\":{\"status_code\":0,\"status_reason\":\"success\"}}";
}

inline DetailFields order(std::string id,
                          std::string status2 = "\xe5\xb7\xb2\xe4\xbb\x98\xe6\xac\xbe") {
  DetailFields f;
  f.order_id = std::move(id);
  f.status2 = std::move(status2);
  return f;
}

// A refusal in the platform's style: a non-zero code and a reason (UTF-8).
inline std::string refusal(int code, const std::string& reason) {
  return "{\"status\":{\"status_code\":" + std::to_string(code) + ",\"status_reason\":\"" + reason +
         "\"}}";
}

inline std::string token_reply(const std::string& token, long long expire_in) {
  return "{\"result\":{\"access_token\":\"" + token +
         "\",\"expire_in\":" + std::to_string(expire_in) +
         "},\"status\":{\"status_code\":0,\"status_reason\":\"success\"}}";
}

// 未付款 in UTF-8.
inline const std::string kUnpaidUtf8 = "\xe6\x9c\xaa\xe4\xbb\x98\xe6\xac\xbe";

}  // namespace quillmere::shop::testing
