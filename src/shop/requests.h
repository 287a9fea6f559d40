#pragma once
// The platform's request texts and the order date text.
//
// Every spliced value is carried as exactly the text it is: it is converted from GBK to UTF-8,
// JSON-escaped where it stands inside a JSON string, and every byte that is not an unreserved
// URL character (A-Z a-z 0-9 - . _ ~) is percent-encoded. Values made of unreserved characters
// therefore leave the URL exactly as the template reads, and no value can change a request's
// structure. The fixed piece "自定义快递公司" goes out as percent-encoded UTF-8 as well.

#include <string>
#include <string_view>

#include "shop/ports.h"

namespace quillmere::shop {

// The platform's scheme and host, as configured at build time.
std::string_view api_base();

// Four-digit year, "-", month, "-", day, without leading zeros: 2026-5-3.
std::string order_date_text(const Date& date);

std::string build_token_request(std::string_view app_key, std::string_view secret);
// Page 1 unless told otherwise; the page number goes in as a bare number.
std::string build_order_ids_request(std::string_view order_date, std::string_view access_token,
                                    int page_num = 1);
std::string build_order_detail_request(std::string_view order_id, std::string_view access_token);
// No shipping needed: sends the fixed tracking number "1234566789".
std::string build_delivery_request(std::string_view order_id, std::string_view express_code,
                                   std::string_view access_token);
std::string build_delivery_request_with_courier(std::string_view order_id,
                                                std::string_view express_code,
                                                std::string_view tracking_number,
                                                std::string_view access_token);

// GBK text as a URL query value: UTF-8, every byte but the unreserved ones as %XX.
std::string percent_encode(std::string_view text);
// GBK text as the inside of a JSON string, then as a URL query value.
std::string json_value(std::string_view text);

}  // namespace quillmere::shop
