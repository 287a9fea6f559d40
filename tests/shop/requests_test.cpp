#include "shop/requests.h"

#include <gtest/gtest.h>

#include "http/decode.h"
#include "shop/couriers.h"
#include "test_support.h"

namespace quillmere::shop {
namespace {

using quillmere::testing::gbk;

const std::string kBase(api_base());
// 自定义快递公司 as percent-encoded UTF-8.
const std::string kCustomOnWire = "%E8%87%AA%E5%AE%9A%E4%B9%89%E5%BF%AB%E9%80%92%E5%85%AC%E5%8F%B8";

TEST(order_date_text, four_digit_year_then_month_and_day_without_leading_zeros) {
  EXPECT_EQ(order_date_text({2026, 5, 3}), "2026-5-3");
  EXPECT_EQ(order_date_text({2026, 12, 25}), "2026-12-25");
  EXPECT_EQ(order_date_text({987, 1, 1}), "0987-1-1");
}

TEST(requests, ordinary_values_give_the_template_text_byte_for_byte) {
  EXPECT_EQ(build_token_request("ak123", "S-9x"),
            kBase + "/token?grant_type=client_credential&appkey=ak123&secret=S-9x");
  EXPECT_EQ(build_order_ids_request("2026-5-3", "tok-1"),
            kBase +
                "/api?param={\"page_num\":1,\"order_date\":\"2026-5-3\"}&public={\"method\":"
                "\"vdian.order.ids.get\",\"access_token\":\"tok-1\",\"version\":\"1.0\"}");
  EXPECT_EQ(build_order_detail_request("7788", "tok-1"),
            kBase +
                "/api?param={\"order_id\":\"7788\"}&public={\"method\":\"vdian.order.get\","
                "\"access_token\":\"tok-1\",\"version\":\"1.0\",\"format\":\"json\"}");
  EXPECT_EQ(build_delivery_request("7788", "999", "tok-1"),
            kBase +
                "/api?param={\"order_id\":\"7788\",\"express_type\":\"999\",\"express_custom\":\"" +
                kCustomOnWire +
                "\",\"express_no\":\"1234566789\"}&public={\"method\":\"vdian.order.deliver\","
                "\"access_token\":\"tok-1\",\"version\":\"1.0\",\"format\":\"json\"}");
  EXPECT_EQ(build_delivery_request_with_courier("7788", "1", "SF100-2", "tok-1"),
            kBase +
                "/api?param={\"order_id\":\"7788\",\"express_type\":\"1\",\"express_custom\":\"" +
                kCustomOnWire +
                "\",\"express_no\":\"SF100-2\"}&public={\"method\":\"vdian.order.deliver\","
                "\"access_token\":\"tok-1\",\"version\":\"1.0\",\"format\":\"json\"}");
}

TEST(requests, empty_values_are_sent_empty) {
  EXPECT_EQ(build_token_request("", ""),
            kBase + "/token?grant_type=client_credential&appkey=&secret=");
  EXPECT_NE(build_order_ids_request("2026-5-3", "").find("\"access_token\":\"\","),
            std::string::npos);
}

TEST(requests, a_hostile_tracking_number_cannot_change_the_request) {
  const std::string hostile = "1\"}&public={\"method\":\"x\"}# %+\x01\\";
  const std::string url = build_delivery_request_with_courier("7788", "1", hostile, "tok");
  // Still exactly one param and one public part, no fragment, nothing a transport would rewrite.
  EXPECT_EQ(url.find('&'), url.rfind('&'));
  EXPECT_EQ(url.find('#'), std::string::npos);
  EXPECT_EQ(url.find(' '), std::string::npos);
  EXPECT_EQ(url.find('+'), std::string::npos);
  EXPECT_EQ(url.find('\x01'), std::string::npos);
  EXPECT_EQ(url.find('\\'), std::string::npos);
  // Percent-decoded, the value is the JSON string of the typed text.
  const std::string marker = "\"express_no\":\"";
  const auto begin = url.find(marker) + marker.size();
  const auto end = url.find("\"}&public=");
  EXPECT_EQ(url_decode(url.substr(begin, end - begin)),
            "1\\\"}&public={\\\"method\\\":\\\"x\\\"}# %+\\u0001\\\\");
}

TEST(requests, token_request_values_are_query_values_not_json) {
  EXPECT_EQ(build_token_request("a&b=c", "x\"y"),
            kBase + "/token?grant_type=client_credential&appkey=a%26b%3Dc&secret=x%22y");
}

TEST(requests, non_ascii_text_goes_out_as_percent_encoded_utf8) {
  EXPECT_EQ(percent_encode(gbk(u8"中")), "%E4%B8%AD");
  EXPECT_EQ(json_value(gbk(u8"顺丰 1")), "%E9%A1%BA%E4%B8%B0%201");
  const std::string url = build_delivery_request_with_courier("1", "1", gbk(u8"单号"), "t");
  EXPECT_NE(url.find("\"express_no\":\"%E5%8D%95%E5%8F%B7\""), std::string::npos);
  for (const unsigned char c : url) EXPECT_LT(c, 0x80);
}

TEST(couriers, seventy_five_entries_in_their_order) {
  ASSERT_EQ(kCouriers.size(), 75u);
  EXPECT_EQ(kCouriers[0], gbk(u8"999:无需物流"));
  EXPECT_EQ(kCouriers[1], gbk(u8"1:顺丰速运"));
  EXPECT_EQ(kCouriers[9], "9:EMS");
  EXPECT_EQ(kCouriers[21], gbk(u8"600:DHL（国际件）"));
  EXPECT_EQ(kCouriers[67], gbk(u8"301466:泰国138国际物流"));
  EXPECT_EQ(kCouriers[71], "301470:PCA Express");
  EXPECT_EQ(kCouriers[73], gbk(u8"341539:邮政小包"));
  EXPECT_EQ(kCouriers[74], gbk(u8"103032:马虎快递公司"));
  for (const auto entry : kCouriers) {
    const std::string code = express_code(entry);
    EXPECT_FALSE(code.empty());
    EXPECT_EQ(code.find_first_not_of("0123456789"), std::string::npos) << entry;
  }
}

TEST(couriers, express_code_is_the_text_before_the_first_colon) {
  EXPECT_EQ(express_code(gbk(u8"1:顺丰速运")), "1");
  EXPECT_EQ(express_code("12:a:b"), "12");
  EXPECT_EQ(express_code("no colon"), "no colon");
  EXPECT_EQ(express_code(""), "");
}

}  // namespace
}  // namespace quillmere::shop
