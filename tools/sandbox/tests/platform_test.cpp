// Every reply form checked against the texts and patterns with which the program reads it.

#include "platform.h"

#include "couriers.h"

#include <map>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "text/codepage.h"
#include "text/regex_object.h"
#include "text/text_between.h"

namespace quillmere::sandbox {
namespace {

using namespace std::chrono;
using namespace std::chrono_literals;

// The texts the program looks for, byte for byte (UTF-8 here; the program compares in GBK).
constexpr std::string_view kEmptyDay =
    R"({"status":{"status_code":0,"status_reason":""},"result":[]})";
constexpr std::string_view kMissingToken =
    "\n{\"status\":{\"status_code\":10007,\"status_reason\":\"参数错误，请参考API文档(参数:`access_token`不能为空) \"}}";
constexpr std::string_view kDelivered =
    R"({"result":"","status":{"status_code":0,"status_reason":"success"}})";
constexpr std::string_view kIdsPattern = R"re("(.*?)")re";
constexpr std::string_view kDetailPattern =
    R"re("order_id":"(.*?)","status2":"(.*?)","note":"(.*?)"[\s\S]*?"seller_phone":"(.*?)"[\s\S]*?"user_phone":"(.*?)"[\s\S]*?"status_desc":"(.*?)"[\s\S]*?"quantity":"(.*?)","total_price":"(.*?)"[\s\S]*?"item_name":"(.*?)")re";

std::string to_gbk(std::string_view utf8) {
  return utf16_to_multibyte(multibyte_to_utf16(utf8, kCodePageUtf8), kCodePageGbk);
}

// The order ids as the program reads them: every quoted string after the first five.
std::vector<std::string> read_ids(const std::string& reply) {
  regex_object ids;
  EXPECT_TRUE(ids.create(kIdsPattern, to_gbk(reply)));
  std::vector<std::string> found;
  for (int k = 6; k <= ids.match_count(); ++k) found.push_back(ids.submatch_text(k, 1));
  return found;
}

// The nine groups of each order-detail match, as GBK.
std::vector<std::vector<std::string>> read_details(const std::string& reply) {
  regex_object details;
  EXPECT_TRUE(details.create(kDetailPattern, to_gbk(reply)));
  std::vector<std::vector<std::string>> matches;
  for (int m = 1; m <= details.match_count(); ++m) {
    std::vector<std::string> groups;
    for (int g = 1; g <= 9; ++g) groups.push_back(details.submatch_text(m, g));
    matches.push_back(groups);
  }
  return matches;
}

// How WinHttp puts the program's URLs on the wire: braces and quotes escaped as well.
std::string escape_like_winhttp(std::string_view target) {
  std::string sent;
  for (char c : target) {
    if (c == '{')
      sent += "%7B";
    else if (c == '}')
      sent += "%7D";
    else if (c == '"')
      sent += "%22";
    else
      sent += c;
  }
  return sent;
}

class platform : public ::testing::Test {
 protected:
  static constexpr date kToday = 2026y / 12 / 9;
  clock_reading clock{sys_days(kToday) + 2h, local_days(kToday) + 10h};
  shop demo = make_demo_shop(clock.local, 3600s);

  reply get(const std::string& target) { return answer(demo, {"GET", target}, clock); }

  std::string log_in() {
    const reply token =
        get("/token?grant_type=client_credential&appkey=688001&secret=quillmere-demo-secret");
    return text_between(token.body, "access_token\":\"", "\"");
  }

  // The program's request texts, spliced the same way.
  static std::string ids_request(std::string_view day, std::string_view token) {
    return std::string("/api?param={\"page_num\":1,\"order_date\":\"") + std::string(day) +
           "\"}&public={\"method\":\"vdian.order.ids.get\",\"access_token\":\"" +
           std::string(token) + "\",\"version\":\"1.0\"}";
  }
  static std::string detail_request(std::string_view id, std::string_view token) {
    return std::string("/api?param={\"order_id\":\"") + std::string(id) +
           "\"}&public={\"method\":\"vdian.order.get\",\"access_token\":\"" + std::string(token) +
           "\",\"version\":\"1.0\",\"format\":\"json\"}";
  }
  static std::string deliver_request(std::string_view id, std::string_view express_type,
                                     std::string_view express_no, std::string_view token) {
    return std::string("/api?param={\"order_id\":\"") + std::string(id) + "\",\"express_type\":\"" +
           std::string(express_type) +
           "\",\"express_custom\":\"%E8%87%AA%E5%AE%9A%E4%B9%89%E5%BF%AB%E9%80%92%E5%85%AC%E5%8F%B8\",\"express_no\":\"" +
           std::string(express_no) +
           "\"}&public={\"method\":\"vdian.order.deliver\",\"access_token\":\"" +
           std::string(token) + "\",\"version\":\"1.0\",\"format\":\"json\"}";
  }

  std::string first_unpaid_today() const {
    for (const order& each : demo.orders()) {
      if (each.day == kToday && !each.paid()) return each.order_id;
    }
    return {};
  }
};

TEST_F(platform, token_reply_holds_the_token_where_the_program_cuts_it_out) {
  const reply token =
      get("/token?grant_type=client_credential&appkey=688001&secret=quillmere-demo-secret");
  EXPECT_EQ(token.http_status, 200);
  const std::string access_token = text_between(token.body, "access_token\":\"", "\"");
  ASSERT_EQ(access_token.size(), 42u);
  EXPECT_EQ(access_token.find_first_not_of("0123456789abcdef"), std::string::npos);
  EXPECT_EQ(token.body,
            R"({"result":{"access_token":")" + access_token +
                R"(","expire_in":3600},"status":{"status_code":0,"status_reason":"success"}})");
  EXPECT_EQ(demo.check_token(access_token, clock.utc), token_check::valid);
  EXPECT_EQ(token.log_line, "GET /token appkey=688001 -> 0");
}

TEST_F(platform, wrong_key_or_secret_is_refused_without_a_token) {
  for (const char* target :
       {"/token?grant_type=client_credential&appkey=688001&secret=x",
        "/token?grant_type=client_credential&appkey=1&secret=quillmere-demo-secret",
        "/token?grant_type=client_credential&appkey=&secret=",
        "/token?grant_type=client_credential",
        "/token?grant_type=client_credential&appkey=688001&secret=quillmere-demo-secret+"}) {
    const reply refused = get(target);
    EXPECT_EQ(refused.body,
              R"({"status":{"status_code":10022,"status_reason":"appkey或secret错误"}})")
        << target;
  }
  EXPECT_EQ(
      get("/token?appkey=688001&secret=quillmere-demo-secret").body,
      R"({"status":{"status_code":10007,"status_reason":"参数错误，请参考API文档(参数:`grant_type`不能为空) "}})");
}

TEST_F(platform, ids_reply_has_five_strings_before_the_ids) {
  const std::string token = log_in();
  const reply ids = get(ids_request("2026-12-9", token));
  const std::vector<std::string> expected = demo.order_ids(kToday);
  ASSERT_EQ(expected.size(), 4u);
  EXPECT_EQ(ids.body, R"({"status":{"status_code":0,"status_reason":""},"result":[")" +
                          expected[0] + R"(",")" + expected[1] + R"(",")" + expected[2] + R"(",")" +
                          expected[3] + R"("]})");
  EXPECT_EQ(read_ids(ids.body), expected);
  EXPECT_EQ(ids.log_line,
            R"(GET /api vdian.order.ids.get param={"page_num":1,"order_date":"2026-12-9"} -> 0)");
}

TEST_F(platform, a_day_without_orders_gets_the_empty_day_text_exactly) {
  const std::string token = log_in();
  const reply empty = get(ids_request("2026-12-7", token));
  EXPECT_EQ(empty.body, kEmptyDay);
  EXPECT_TRUE(read_ids(empty.body).empty());
  // Far pages of a full day read the same.
  EXPECT_EQ(get("/api?param={\"page_num\":2,\"order_date\":\"2026-12-9\"}&public={\"method\":"
                "\"vdian.order.ids.get\",\"access_token\":\"" +
                token + "\",\"version\":\"1.0\"}")
                .body,
            kEmptyDay);
}

TEST_F(platform, an_empty_token_gets_the_missing_token_text_exactly_for_every_call) {
  const std::string id = demo.order_ids(kToday).front();
  for (const std::string& target :
       {ids_request("2026-12-9", ""), detail_request(id, ""),
        deliver_request(id, "999", "1234566789", ""),
        std::string("/api?param={}&public={\"method\":\"vdian.order.get\"}")}) {
    const reply refused = get(target);
    EXPECT_EQ(refused.body, kMissingToken) << target;
    EXPECT_NE(to_gbk(refused.body).find(to_gbk(kMissingToken)), std::string::npos);
  }
  EXPECT_TRUE(demo.deliveries().empty());
}

TEST_F(platform, unknown_and_expired_tokens_are_refused_with_no_ids_to_read) {
  const std::string token = log_in();
  const reply unknown = get(ids_request("2026-12-9", "f" + token));
  EXPECT_EQ(unknown.body,
            R"({"status":{"status_code":10013,"status_reason":"access_token无效(access_token:f)" +
                token + R"( 无效) "}})");
  EXPECT_TRUE(read_ids(unknown.body).empty());

  clock.utc += 3600s;
  const reply expired = get(ids_request("2026-12-9", token));
  EXPECT_EQ(expired.body, R"({"status":{"status_code":10013,"status_reason":"access_token过期"}})");
  EXPECT_TRUE(read_ids(expired.body).empty());
  EXPECT_EQ(read_ids(get(ids_request("2026-12-9", log_in())).body).size(), 4u);
}

TEST_F(platform, a_busy_day_pages_its_ids_in_placing_order_and_past_the_end_reads_empty) {
  const std::string token = log_in();
  std::vector<std::string> placed = demo.order_ids(kToday);
  while (placed.size() < 45) placed.push_back(demo.add_order({}, clock.local).order_id);
  auto page = [&](int page_num) {
    std::string target = ids_request("2026-12-9", token);
    target.replace(target.find("\"page_num\":1"), 12, "\"page_num\":" + std::to_string(page_num));
    return get(target).body;
  };
  std::vector<std::string> read;
  for (int k = 1; k <= 3; ++k) {
    const std::vector<std::string> ids = read_ids(page(k));
    EXPECT_EQ(ids.size(), k < 3 ? 20u : 5u) << k;
    read.insert(read.end(), ids.begin(), ids.end());
  }
  EXPECT_EQ(read, placed);
  EXPECT_EQ(read_ids(get(ids_request("2026-12-9", token)).body).size(), 20u);
  for (const int past : {4, 1000000}) EXPECT_EQ(page(past), kEmptyDay) << past;
  // The largest page number JSON can carry is simply past the end.
  std::string huge = ids_request("2026-12-9", token);
  huge.replace(huge.find("\"page_num\":1"), 12, "\"page_num\":18446744073709551615");
  EXPECT_EQ(get(huge).body, kEmptyDay);
}

TEST_F(platform, a_token_over_its_calls_a_second_is_refused_with_10005_until_the_second_passes) {
  shop_settings limited = demo.settings();
  limited.max_calls_per_second = 3;
  demo.change_settings(limited);
  const std::string token = log_in();
  const std::string other = log_in();
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(read_ids(get(ids_request("2026-12-9", token)).body).size(), 4u) << i;
  const reply refused = get(ids_request("2026-12-9", token));
  EXPECT_EQ(refused.body,
            R"({"status":{"status_code":10005,"status_reason":"用户请求频次超过上限"}})");
  EXPECT_TRUE(read_ids(refused.body).empty());
  // Each token counts its own calls, and a refused call is not counted.
  EXPECT_EQ(read_ids(get(ids_request("2026-12-9", other)).body).size(), 4u);
  clock.steady += 999ms;
  EXPECT_NE(get(ids_request("2026-12-9", token)).body.find("10005"), std::string::npos);
  clock.steady += 1ms;
  EXPECT_EQ(read_ids(get(ids_request("2026-12-9", token)).body).size(), 4u);
  // Logging in is never limited.
  for (int i = 0; i < 5; ++i) EXPECT_EQ(log_in().size(), 42u);
}

TEST_F(platform, order_detail_gives_the_program_its_nine_groups) {
  const std::string token = log_in();
  const std::string id = demo.order_ids(kToday).front();
  const reply detail = get(detail_request(id, token));
  const auto matches = read_details(detail.body);
  ASSERT_EQ(matches.size(), 1u) << detail.body;
  const std::vector<std::string> expected = {id,
                                             to_gbk("已付款"),
                                             to_gbk("麻烦包装结实一点"),
                                             "13800571234",
                                             "15855556666",
                                             to_gbk("待发货"),
                                             "1",
                                             "168.00",
                                             to_gbk("云南古树普洱茶饼 357克")};
  EXPECT_EQ(matches[0], expected);
  EXPECT_EQ(detail.body.find('%'), std::string::npos) << "the program percent-decodes replies";
}

TEST_F(platform, an_unpaid_order_reads_unpaid_until_it_is_paid) {
  const std::string token = log_in();
  const std::string id = first_unpaid_today();
  auto groups = read_details(get(detail_request(id, token)).body);
  ASSERT_EQ(groups.size(), 1u);
  EXPECT_EQ(groups[0][1], to_gbk("未付款"));
  EXPECT_EQ(groups[0][5], to_gbk("待付款"));

  EXPECT_EQ(get("/sandbox/pay?order_id=" + id).http_status, 200);
  groups = read_details(get(detail_request(id, token)).body);
  ASSERT_EQ(groups.size(), 1u);
  EXPECT_EQ(groups[0][1], to_gbk("已付款"));
  EXPECT_EQ(groups[0][5], to_gbk("待发货"));
}

TEST_F(platform, every_seeded_order_matches_the_detail_pattern_once) {
  const std::string token = log_in();
  for (const order& each : demo.orders()) {
    const auto matches = read_details(get(detail_request(each.order_id, token)).body);
    ASSERT_EQ(matches.size(), 1u) << each.order_id;
    EXPECT_EQ(matches[0][0], each.order_id);
    EXPECT_EQ(matches[0][8], to_gbk(each.item_name));
    EXPECT_EQ(matches[0][2], to_gbk(each.note));
  }
}

TEST_F(platform, an_unknown_order_is_refused) {
  const std::string token = log_in();
  const reply refused = get(detail_request("7000000000000", token));
  EXPECT_EQ(refused.body, R"({"status":{"status_code":20018,"status_reason":"订单不存在"}})");
  EXPECT_TRUE(read_details(refused.body).empty());
  EXPECT_EQ(
      get(detail_request("", token)).body,
      R"({"status":{"status_code":10007,"status_reason":"参数错误，请参考API文档(参数:`order_id`不能为空) "}})");
}

TEST_F(platform, an_accepted_delivery_gets_the_success_text_and_the_order_reads_shipped) {
  const std::string token = log_in();
  const std::string id = demo.order_ids(kToday).front();
  const reply accepted = get(deliver_request(id, "1", "SF1403928817", token));
  EXPECT_EQ(accepted.body, kDelivered);

  const auto groups = read_details(get(detail_request(id, token)).body);
  ASSERT_EQ(groups.size(), 1u);
  EXPECT_EQ(groups[0][5], to_gbk("已发货"));
  ASSERT_EQ(demo.deliveries().size(), 1u);
  EXPECT_EQ(demo.deliveries()[0].order_id, id);
  EXPECT_EQ(demo.deliveries()[0].express_type, "1");
  EXPECT_EQ(demo.deliveries()[0].express_no, "SF1403928817");
  EXPECT_EQ(demo.deliveries()[0].express_custom, "自定义快递公司");

  const reply again = get(deliver_request(id, "1", "SF1403928817", token));
  EXPECT_EQ(again.body,
            R"({"status":{"status_code":20017,"status_reason":"订单已发货，不能重复发货"}})");
  EXPECT_EQ(demo.deliveries().size(), 1u);
}

TEST_F(platform, delivery_without_logistics_is_accepted_with_the_fixed_number) {
  const std::string token = log_in();
  const std::string id = demo.order_ids(kToday)[1];
  EXPECT_EQ(get(deliver_request(id, "999", "1234566789", token)).body, kDelivered);
  EXPECT_EQ(demo.deliveries().at(0).express_no, "1234566789");
}

TEST_F(platform, deliveries_the_platform_would_not_take_are_refused) {
  const std::string token = log_in();
  const std::string id = demo.order_ids(kToday).front();
  struct example {
    std::string target;
    std::string_view body;
  };
  const example examples[] = {
      {deliver_request(id, "1000", "SF1", token),
       R"({"status":{"status_code":20004,"status_reason":"不支持的快递公司编码"}})"},
      {deliver_request(id, "1", "", token),
       R"({"status":{"status_code":20021,"status_reason":"除无需物流外必须填写快递单号"}})"},
      {deliver_request("7000000000000", "1", "SF1", token),
       R"({"status":{"status_code":20018,"status_reason":"订单不存在"}})"},
      {deliver_request(first_unpaid_today(), "1", "SF1", token),
       R"({"status":{"status_code":20017,"status_reason":"订单未付款，不能发货"}})"},
      {deliver_request("", "1", "SF1", token),
       R"({"status":{"status_code":10007,"status_reason":"参数错误，请参考API文档(参数:`order_id`不能为空) "}})"},
  };
  for (const example& each : examples) {
    const reply refused = get(each.target);
    EXPECT_EQ(refused.body, each.body) << each.target;
    EXPECT_EQ(refused.body.find(kDelivered), std::string::npos);
  }
  EXPECT_TRUE(demo.deliveries().empty());
  EXPECT_EQ(read_details(get(detail_request(id, token)).body).at(0)[5], to_gbk("待发货"));
}

TEST_F(platform, every_courier_the_program_offers_is_accepted) {
  const std::string token = log_in();
  for (const courier& each : courier_table()) {
    const std::string id = demo.add_order({}, clock.local).order_id;
    EXPECT_EQ(get(deliver_request(id, each.code, "T1", token)).body, kDelivered) << each.code;
  }
  EXPECT_EQ(courier_table().size(), 75u);
  EXPECT_EQ(courier_table().back().code, "103032");
}

TEST_F(platform, braces_and_quotes_read_the_same_raw_or_escaped) {
  const std::string token = log_in();
  const std::string id = demo.order_ids(kToday).front();
  for (const std::string& target : {ids_request("2026-12-9", token), detail_request(id, token)}) {
    EXPECT_EQ(get(escape_like_winhttp(target)).body, get(target).body) << target;
  }
  EXPECT_EQ(get(escape_like_winhttp(deliver_request(id, "2", "YT%2B1", token))).body, kDelivered);
  EXPECT_EQ(demo.deliveries().at(0).express_no, "YT+1");
}

TEST_F(platform, a_plus_sign_stays_a_plus_sign) {
  const std::string token = log_in();
  const std::string id = demo.order_ids(kToday).front();
  EXPECT_EQ(get(deliver_request(id, "2", "YT+1 2", token)).body, kDelivered);
  EXPECT_EQ(demo.deliveries().at(0).express_no, "YT+1 2");
}

TEST_F(platform, malformed_requests_get_a_refusal_and_never_a_crash) {
  const std::string token = log_in();
  const std::string good_public =
      "{\"method\":\"vdian.order.get\",\"access_token\":\"" + token + "\",\"version\":\"1.0\"}";
  const std::string targets[] = {
      "/api",
      "/api?",
      "/api?public=",
      "/api?param={\"order_id\":\"1\"}",
      "/api?param={\"order_id\":\"1\"}&public={\"method\":",
      "/api?param={\"order_id\":\"1\"}&public=[1,2]",
      "/api?param={\"order_id\":\"1\"}&public=null",
      "/api?param={\"order_id\":\"1\"}&public={\"method\":\"vdian.shop.get\",\"access_token\":\"" +
          token + "\"}",
      "/api?param={\"order_id\":\"1\"}&public={\"access_token\":\"" + token + "\"}",
      "/api?param={\"order_id\":\"1\"}&public={\"method\":7,\"access_token\":\"" + token + "\"}",
      "/api?param={\"order_id\":\"1\"}&public={\"method\":\"vdian.order.get\",\"access_token\":[]}",
      "/api?param={\"order_id\":\"1\"&public=" + good_public,
      "/api?param={\"order_id\":true}&public=" + good_public,
      "/api?param={\"order_id\":{}}&public=" + good_public,
      "/api?param=\"1\"&public=" + good_public,
      "/api?param={\"order_id\":\"%FF%FE\"}&public=" + good_public,
      "/api?param={\"order_id\":\"\xFF\"}&public=" + good_public,
      "/api?param={\"order_id\":\"\\ud800\"}&public=" + good_public,
      "/api?param=" + std::string(4000, '[') + "&public=" + good_public,
      "/api?param={\"a\":" + std::string(20000, '1') + "}&public=" + good_public,
      "/api?param={\"page_num\":1}&public={\"method\":\"vdian.order.ids.get\",\"access_token\":\"" +
          token + "\"}",
      "/api?param={\"page_num\":0,\"order_date\":\"2026-12-9\"}&public={\"method\":\"vdian.order.ids.get\",\"access_token\":\"" +
          token + "\"}",
      "/api?param={\"page_num\":\"1\",\"order_date\":\"2026-12-9\"}&public={\"method\":\"vdian.order.ids.get\",\"access_token\":\"" +
          token + "\"}",
      "/api?param={\"page_num\":1,\"order_date\":\"2026-2-30\"}&public={\"method\":\"vdian.order.ids.get\",\"access_token\":\"" +
          token + "\"}",
      "/api?param={\"page_num\":1,\"order_date\":20261209}&public={\"method\":\"vdian.order.ids.get\",\"access_token\":\"" +
          token + "\"}",
      "/api?param={\"order_id\":\"1\",\"express_type\":1.5}&public={\"method\":\"vdian.order.deliver\",\"access_token\":\"" +
          token + "\"}",
      "/token?grant_type=password",
      "/tokens",
      "/",
      "/sandbox/pay",
      "/sandbox/add-order?date=yesterday",
      "/sandbox/add-order?quantity=0",
      "/sandbox/add-order?price=-1",
      "/sandbox/add-order?price=1.234",
      "/sandbox/add-order?paid=maybe",
      "/sandbox/add-order?note=%FF",
  };
  for (const std::string& target : targets) {
    const reply refused = get(target);
    const auto parsed = nlohmann::json::parse(refused.body, nullptr, false);
    ASSERT_TRUE(parsed.is_object()) << target << "\n" << refused.body;
    EXPECT_NE(parsed["status"]["status_code"], 0) << target << "\n" << refused.body;
    EXPECT_TRUE(read_ids(refused.body).empty()) << target;
    EXPECT_TRUE(read_details(refused.body).empty()) << target;
  }
}

TEST_F(platform, numbers_are_taken_where_texts_are_expected) {
  const std::string token = log_in();
  const std::string id = demo.order_ids(kToday).front();
  const std::string target = "/api?param={\"order_id\":" + id +
                             ",\"express_type\":3,\"express_no\":\"ZT1\"}"
                             "&public={\"method\":\"vdian.order.deliver\",\"access_token\":\"" +
                             token + "\"}";
  EXPECT_EQ(get(target).body, kDelivered);
}

TEST_F(platform, log_line_shows_the_decoded_param_on_one_line) {
  const std::string token = log_in();
  const reply detail = get(escape_like_winhttp(detail_request("%E8%AE%A2%201", token)));
  EXPECT_EQ(detail.log_line, "GET /api vdian.order.get param={\"order_id\":\"订 1\"} -> 20018");
  EXPECT_EQ(get("/api?param=a%0D%0Ab%FF&public={").log_line,
            "GET /api - param=a\\x0D\\x0Ab\\xFF -> 10007");
}

class controls : public platform {};

TEST_F(controls, add_order_puts_a_new_order_on_the_chosen_day) {
  const std::string token = log_in();
  const reply added =
      get("/sandbox/add-order?date=2026-12-7&paid=0&item_name=%E6%A1%82%E8%8A%B1%E9%85%92%E9%85%BF"
          "&note=%E8%AF%B7%E5%BF%AB%E7%82%B9&quantity=2&price=12.5");
  ASSERT_EQ(added.http_status, 200) << added.body;
  const auto result = nlohmann::json::parse(added.body)["result"];
  const std::string id = result["order_id"];
  EXPECT_EQ(result["total_price"], "25.00");
  EXPECT_EQ(read_ids(get(ids_request("2026-12-7", token)).body), std::vector<std::string>{id});
  const auto groups = read_details(get(detail_request(id, token)).body);
  ASSERT_EQ(groups.size(), 1u);
  const std::vector<std::string> expected = {
      id,  to_gbk("未付款"), to_gbk("请快点"),  "13800571234", groups[0][4], to_gbk("待付款"),
      "2", "25.00",          to_gbk("桂花酒酿")};
  EXPECT_EQ(groups[0], expected);
}

TEST_F(controls, add_order_defaults_to_a_paid_order_today) {
  const reply added = get("/sandbox/add-order");
  const auto result = nlohmann::json::parse(added.body)["result"];
  EXPECT_EQ(result["order_date"], "2026-12-9");
  EXPECT_EQ(result["status2"], "已付款");
  EXPECT_EQ(demo.order_ids(kToday).back(), result["order_id"]);
}

TEST_F(controls, pay_refuses_unknown_and_paid_orders) {
  EXPECT_EQ(get("/sandbox/pay?order_id=7000000000000").http_status, 404);
  EXPECT_EQ(get("/sandbox/pay?order_id=" + demo.order_ids(kToday).front()).http_status, 409);
}

TEST_F(controls, deliveries_lists_what_the_platform_accepted) {
  const std::string token = log_in();
  const std::string id = demo.order_ids(kToday).front();
  ASSERT_EQ(get(deliver_request(id, "999", "1234566789", token)).body, kDelivered);
  const auto list = nlohmann::json::parse(get("/sandbox/deliveries").body)["result"];
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0]["order_id"], id);
  EXPECT_EQ(list[0]["express_type"], "999");
  EXPECT_EQ(list[0]["express_no"], "1234566789");
  EXPECT_EQ(list[0]["express_custom"], "自定义快递公司");
  EXPECT_EQ(list[0]["time"], "2026-12-09 10:00:00");
}

TEST_F(controls, tick_expire_and_reset_drive_the_shop) {
  const std::string token = log_in();
  const std::string unpaid = first_unpaid_today();
  const auto beat = nlohmann::json::parse(get("/sandbox/tick").body)["result"];
  EXPECT_EQ(beat["paid_order_id"], unpaid);
  EXPECT_EQ(demo.order_ids(kToday).back(), beat["new_order"]["order_id"]);
  EXPECT_EQ(nlohmann::json::parse(get("/sandbox/orders?date=2026-12-9").body)["result"].size(), 5u);

  get("/sandbox/expire-tokens");
  EXPECT_EQ(demo.check_token(token, clock.utc), token_check::expired);
  // Expired tokens are still listed: a test looks for every token that was ever handed out.
  EXPECT_EQ(nlohmann::json::parse(get("/sandbox/tokens").body)["result"],
            nlohmann::json::array({token}));

  const std::string fresh = log_in();
  get("/sandbox/reset");
  EXPECT_EQ(demo.order_ids(kToday).size(), 4u);
  EXPECT_EQ(demo.check_token(fresh, clock.utc), token_check::valid);
}

TEST_F(controls, settings_change_tokens_pages_and_limits_until_reset) {
  const auto changed = nlohmann::json::parse(
      get("/sandbox/settings?token_seconds=20&page_size=2&max_calls_per_second=7").body)["result"];
  EXPECT_EQ(
      changed,
      nlohmann::json::parse(
          R"({"token_seconds":20,"page_size":2,"max_calls_per_second":7,"refuse_tokens":false})"));
  const reply token =
      get("/token?grant_type=client_credential&appkey=688001&secret=quillmere-demo-secret");
  EXPECT_NE(token.body.find(R"("expire_in":20})"), std::string::npos) << token.body;
  const std::string access_token = text_between(token.body, "access_token\":\"", "\"");
  EXPECT_EQ(read_ids(get(ids_request("2026-12-9", access_token)).body).size(), 2u);
  clock.utc += 20s;
  EXPECT_EQ(get(ids_request("2026-12-9", access_token)).body,
            R"({"status":{"status_code":10013,"status_reason":"access_token过期"}})");

  // A login refused whatever the key, as when the platform is down for logins.
  get("/sandbox/settings?refuse_tokens=1");
  EXPECT_EQ(
      get("/token?grant_type=client_credential&appkey=688001&secret=quillmere-demo-secret").body,
      R"({"status":{"status_code":10001,"status_reason":"系统错误"}})");
  for (const char* bad : {"token_seconds=0", "page_size=0", "max_calls_per_second=-1",
                          "refuse_tokens=yes", "page_size=x"}) {
    EXPECT_EQ(get(std::string("/sandbox/settings?") + bad + "&refuse_tokens=0").http_status, 400)
        << bad;
  }
  EXPECT_TRUE(demo.settings().refuse_tokens) << "a bad value changes nothing";

  get("/sandbox/reset");
  EXPECT_EQ(demo.settings().token_lifetime, 3600s);
  EXPECT_EQ(demo.settings().page_size, 20u);
  EXPECT_EQ(demo.settings().max_calls_per_second, 0);
  EXPECT_EQ(log_in().size(), 42u);
}

TEST_F(controls, drop_calls_loses_the_next_method_calls_and_nothing_else) {
  const std::string token = log_in();
  ASSERT_EQ(get("/sandbox/drop-calls?count=2").http_status, 200);
  // Logging in and the controls still answer; only method calls are lost.
  EXPECT_EQ(log_in().size(), 42u);
  EXPECT_FALSE(get("/sandbox/orders").drop);
  const reply lost = get(ids_request("2026-12-9", token));
  EXPECT_TRUE(lost.drop);
  EXPECT_TRUE(lost.body.empty());
  EXPECT_NE(lost.log_line.find("vdian.order.ids.get"), std::string::npos) << lost.log_line;
  EXPECT_NE(lost.log_line.find("-> dropped"), std::string::npos) << lost.log_line;
  // A dropped call changes nothing in the shop.
  const std::string id = demo.order_ids(kToday).front();
  EXPECT_TRUE(get(deliver_request(id, "999", "1234566789", token)).drop);
  EXPECT_TRUE(demo.deliveries().empty());
  EXPECT_FALSE(get(ids_request("2026-12-9", token)).drop);

  get("/sandbox/drop-calls");          // one by default
  get("/sandbox/drop-calls?count=0");  // and none again
  EXPECT_FALSE(get(ids_request("2026-12-9", token)).drop);
  for (const char* bad : {"-1", "1001", "x", ""}) {
    EXPECT_EQ(get(std::string("/sandbox/drop-calls?count=") + bad).http_status, 400) << bad;
  }
  get("/sandbox/drop-calls?count=5");
  get("/sandbox/reset");
  EXPECT_FALSE(get(ids_request("2026-12-9", token)).drop);
}

TEST_F(controls, drop_deliver_replies_ships_the_order_and_then_answers_nothing) {
  const std::string token = log_in();
  const std::string id = demo.order_ids(kToday).front();
  ASSERT_EQ(
      nlohmann::json::parse(get("/sandbox/drop-deliver-replies?count=1").body)["result"]["pending"],
      1);
  // Other calls are answered while it waits for a delivery.
  EXPECT_FALSE(get(detail_request(id, token)).drop);
  EXPECT_FALSE(get(ids_request("2026-12-9", token)).drop);
  const reply lost = get(deliver_request(id, "1", "SF1", token));
  EXPECT_TRUE(lost.drop);
  EXPECT_TRUE(lost.body.empty());
  EXPECT_FALSE(lost.close_other_connections) << "a client may reuse its connection";
  EXPECT_NE(lost.log_line.find("vdian.order.deliver"), std::string::npos) << lost.log_line;
  EXPECT_NE(lost.log_line.find("-> 0, reply dropped"), std::string::npos) << lost.log_line;
  // The platform acted: the order is shipped, and a second try is refused as for any order.
  ASSERT_EQ(demo.deliveries().size(), 1u);
  EXPECT_EQ(read_details(get(detail_request(id, token)).body).at(0)[5], to_gbk("已发货"));
  const reply again = get(deliver_request(id, "1", "SF1", token));
  EXPECT_FALSE(again.drop);
  EXPECT_EQ(again.body,
            R"({"status":{"status_code":20017,"status_reason":"订单已发货，不能重复发货"}})");

  // A refused delivery's reply is dropped as well, and the count and reset hold as for calls.
  get("/sandbox/drop-deliver-replies?count=2");
  EXPECT_TRUE(get(deliver_request(id, "1", "SF1", token)).drop);
  get("/sandbox/reset");
  EXPECT_FALSE(get(deliver_request(demo.order_ids(kToday).front(), "1", "SF1", token)).drop);
  for (const char* bad : {"-1", "1001", "x", ""}) {
    EXPECT_EQ(get(std::string("/sandbox/drop-deliver-replies?count=") + bad).http_status, 400)
        << bad;
  }
}

TEST_F(platform, closed_and_refunding_orders_show_it_and_refuse_delivery) {
  const std::string token = log_in();
  const date three_days_ago = sys_days(kToday) - days(3);
  std::map<std::string, std::string> held;  // id → status_desc, of the seeded ones
  for (const std::string& id : demo.order_ids(three_days_ago)) {
    const auto groups = read_details(get(detail_request(id, token)).body);
    ASSERT_EQ(groups.size(), 1u) << id;
    if (groups[0][5] == to_gbk("已关闭") || groups[0][5] == to_gbk("退款中")) {
      EXPECT_EQ(groups[0][1], to_gbk("已付款")) << "paid, and still not to be shipped";
      held.emplace(id, groups[0][5]);
    }
  }
  ASSERT_EQ(held.size(), 2u);
  for (const auto& [id, state] : held) {
    const std::string refusal = get(deliver_request(id, "1", "SF1", token)).body;
    EXPECT_EQ(refusal,
              state == to_gbk("已关闭")
                  ? R"({"status":{"status_code":20017,"status_reason":"订单已关闭，不能发货"}})"
                  : R"({"status":{"status_code":20017,"status_reason":"订单退款中，不能发货"}})");
  }
  EXPECT_TRUE(demo.deliveries().empty());

  // Any order can be put in either state.
  const std::string id = demo.order_ids(kToday).front();
  const auto summary =
      nlohmann::json::parse(get("/sandbox/order-state?order_id=" + id + "&state=refunding").body);
  EXPECT_EQ(summary["result"]["status_desc"], "退款中");
  EXPECT_EQ(get(deliver_request(id, "999", "1234566789", token)).body,
            R"({"status":{"status_code":20017,"status_reason":"订单退款中，不能发货"}})");
  EXPECT_EQ(get("/sandbox/order-state?order_id=" + id + "&state=closed").http_status, 200);
  EXPECT_EQ(get("/sandbox/order-state?order_id=7000000000000&state=closed").http_status, 404);
  EXPECT_EQ(get("/sandbox/order-state?order_id=" + id + "&state=open").http_status, 400);
  EXPECT_EQ(get("/sandbox/order-state?state=closed").http_status, 400);
  get("/sandbox/reset");
  EXPECT_EQ(read_details(get(detail_request(id, token)).body).at(0)[5], to_gbk("待发货"));
}

TEST_F(controls, slow_holds_back_platform_replies_only_until_reset) {
  const std::string token = log_in();
  const reply set = get("/sandbox/slow?ms=2000");
  ASSERT_EQ(set.http_status, 200);
  EXPECT_EQ(set.delay.count(), 0) << "the control itself answers at once";
  EXPECT_EQ(nlohmann::json::parse(set.body)["result"]["ms"], 2000);
  EXPECT_EQ(get("/token?grant_type=client_credential&appkey=688001&secret=quillmere-demo-secret")
                .delay.count(),
            2000);
  EXPECT_EQ(get(ids_request("2026-12-9", token)).delay.count(), 2000);
  EXPECT_EQ(get("/sandbox/orders").delay.count(), 0);
  EXPECT_EQ(get("/favicon.ico").delay.count(), 0);
  // A lost call is lost as late as a slow one would be answered.
  get("/sandbox/drop-calls?count=1");
  const reply lost = get(ids_request("2026-12-9", token));
  EXPECT_TRUE(lost.drop);
  EXPECT_EQ(lost.delay.count(), 2000);
  for (const char* bad : {"", "-1", "600001", "x", "1.5"}) {
    EXPECT_EQ(get(std::string("/sandbox/slow?ms=") + bad).http_status, 400) << bad;
  }
  EXPECT_EQ(get("/sandbox/slow").http_status, 400);
  EXPECT_EQ(get(ids_request("2026-12-9", token)).delay.count(), 2000)
      << "a bad control changes nothing";
  get("/sandbox/reset");
  EXPECT_EQ(get(ids_request("2026-12-9", token)).delay.count(), 0);
  get("/sandbox/slow?ms=50");
  get("/sandbox/slow?ms=0");
  EXPECT_EQ(get(ids_request("2026-12-9", token)).delay.count(), 0);
}

TEST_F(controls, refuse_detail_refuses_that_order_only_until_reset) {
  const std::string token = log_in();
  const std::vector<std::string> ids = demo.order_ids(kToday);
  ASSERT_GE(ids.size(), 2u);
  EXPECT_EQ(get("/sandbox/refuse-detail?order_id=7000000000000").http_status, 404);
  EXPECT_EQ(get("/sandbox/refuse-detail").http_status, 400);
  ASSERT_EQ(get("/sandbox/refuse-detail?order_id=" + ids[0]).http_status, 200);

  const reply refused = get(detail_request(ids[0], token));
  EXPECT_EQ(refused.body,
            R"({"status":{"status_code":20005,"status_reason":"订单详情暂时无法获取"}})");
  EXPECT_TRUE(read_details(refused.body).empty());
  EXPECT_EQ(get(detail_request(ids[0], token)).body, refused.body);
  EXPECT_EQ(read_details(get(detail_request(ids[1], token)).body).size(), 1u);
  // The order is still listed, and a bad token is still refused as such.
  EXPECT_EQ(read_ids(get(ids_request("2026-12-9", token)).body), ids);
  EXPECT_NE(get(detail_request(ids[0], "nope")).body.find("10013"), std::string::npos);

  get("/sandbox/reset");
  EXPECT_EQ(read_details(get(detail_request(demo.order_ids(kToday)[0], token)).body).size(), 1u);
}

}  // namespace
}  // namespace quillmere::sandbox
