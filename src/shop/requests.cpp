#include "shop/requests.h"

#include <cstdio>
#include <string>

#include "shop/texts.h"
#include "text/codepage.h"

#ifndef QUILLMERE_API_BASE
#define QUILLMERE_API_BASE "https://api.vdian.com"
#endif

namespace quillmere::shop {
namespace {

bool is_unreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_' || c == '~';
}

// The platform reads UTF-8; program texts are GBK.
std::string to_utf8(std::string_view gbk_text) {
  return recode(gbk_text, kCodePageGbk, kCodePageUtf8);
}

std::string percent_encode_bytes(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size());
  for (const unsigned char c : bytes) {
    if (is_unreserved(c)) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0x0F];
    }
  }
  return out;
}

std::string json_escape(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (const unsigned char c : utf8) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c == 0x7F) {
          char buffer[8];
          std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
          out += buffer;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out;
}

std::string method_call(std::string_view param, std::string_view method,
                        std::string_view access_token, bool with_format) {
  std::string url(api_base());
  url += "/api?param={";
  url += param;
  url += "}&public={\"method\":\"";
  url += method;
  url += "\",\"access_token\":\"";
  url += json_value(access_token);
  url += "\",\"version\":\"1.0\"";
  if (with_format) url += ",\"format\":\"json\"";
  url += '}';
  return url;
}

std::string delivery_param(std::string_view order_id, std::string_view express_code,
                           std::string_view tracking_number) {
  std::string param = "\"order_id\":\"";
  param += json_value(order_id);
  param += "\",\"express_type\":\"";
  param += json_value(express_code);
  param += "\",\"express_custom\":\"";
  param += json_value(texts::kCustomExpress);
  param += "\",\"express_no\":\"";
  param += json_value(tracking_number);
  param += '"';
  return param;
}

}  // namespace

std::string_view api_base() { return QUILLMERE_API_BASE; }

std::string percent_encode(std::string_view text) { return percent_encode_bytes(to_utf8(text)); }

std::string json_value(std::string_view text) {
  return percent_encode_bytes(json_escape(to_utf8(text)));
}

std::string order_date_text(const Date& date) {
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%04d-%d-%d", date.year, date.month, date.day);
  return buffer;
}

std::string build_token_request(std::string_view app_key, std::string_view secret) {
  std::string url(api_base());
  url += "/token?grant_type=client_credential&appkey=";
  url += percent_encode(app_key);
  url += "&secret=";
  url += percent_encode(secret);
  return url;
}

std::string build_order_ids_request(std::string_view order_date, std::string_view access_token,
                                    int page_num) {
  std::string param = "\"page_num\":";
  param += std::to_string(page_num);
  param += ",\"order_date\":\"";
  param += json_value(order_date);
  param += '"';
  return method_call(param, "vdian.order.ids.get", access_token, false);
}

std::string build_order_detail_request(std::string_view order_id, std::string_view access_token) {
  std::string param = "\"order_id\":\"";
  param += json_value(order_id);
  param += '"';
  return method_call(param, "vdian.order.get", access_token, true);
}

std::string build_delivery_request(std::string_view order_id, std::string_view express_code,
                                   std::string_view access_token) {
  return method_call(delivery_param(order_id, express_code, texts::kNoLogisticsTrackingNumber),
                     "vdian.order.deliver", access_token, true);
}

std::string build_delivery_request_with_courier(std::string_view order_id,
                                                std::string_view express_code,
                                                std::string_view tracking_number,
                                                std::string_view access_token) {
  return method_call(delivery_param(order_id, express_code, tracking_number), "vdian.order.deliver",
                     access_token, true);
}

}  // namespace quillmere::shop
