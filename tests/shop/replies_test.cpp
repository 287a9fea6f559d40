#include "shop/replies.h"

#include <gtest/gtest.h>

#include "http/decode.h"
#include "platform_replies.h"
#include "shop/texts.h"
#include "test_support.h"
#include "text/regex_object.h"

namespace quillmere::shop {
namespace {

using quillmere::testing::gbk;

// A UTF-8 literal's bytes, as the platform sends them.
std::string u8str(std::u8string_view utf8) {
  return std::string(reinterpret_cast<const char*>(utf8.data()), utf8.size());
}
using namespace quillmere::shop::testing;

TEST(texts, literals_read_as_written) {
  EXPECT_EQ(texts::kMissingTokenReply,
            gbk(u8"\n{\"status\":{\"status_code\":10007,\"status_reason\":\"参数错误，请参考API文档"
                u8"(参数:`access_token`不能为空) \"}}"));
  EXPECT_EQ(texts::kPleaseLogIn, gbk(u8"请登陆微店API,在获取订单"));
  EXPECT_EQ(texts::kNewOrders, gbk(u8"您有新的订单\r\n"));
  EXPECT_EQ(texts::kCustomExpress, gbk(u8"自定义快递公司"));
  EXPECT_EQ(texts::kRecordFileName, gbk(u8"发货记录.txt"));
  EXPECT_EQ(std::string(texts::kFetchFailedPrefix) + "D" + std::string(texts::kFetchFailedMiddle),
            gbk(u8"获取D订单失败："));
  EXPECT_EQ(std::string(texts::kDetailFailedPrefix) + "7" + std::string(texts::kDetailFailedMiddle),
            gbk(u8"订单7详情获取失败："));
  EXPECT_EQ(texts::kMonitoringFailedPrefix, gbk(u8"监控：获取订单失败："));
  EXPECT_EQ(texts::kMonitoringRecovered, gbk(u8"监控：已恢复\r\n"));
  EXPECT_EQ(texts::kUnrecognisedReply, gbk(u8"无法识别的回复"));
  EXPECT_EQ(texts::kCannotReachPlatform, gbk(u8"无法连接微店平台"));
}

TEST(read_token, text_between_marker_and_next_quote) {
  EXPECT_EQ(read_token("{\"access_token\":\"abc\",\"expire_in\":90000}"), "abc");
  EXPECT_EQ(read_token("\"access_token\":\"first\" \"access_token\":\"second\""), "first");
  EXPECT_EQ(read_token("{\"status\":{\"status_code\":10001}}"), "");
  EXPECT_EQ(read_token("\"access_token\":\"unterminated"), "");
  EXPECT_EQ(read_token("\"ACCESS_TOKEN\":\"abc\""), "");
  EXPECT_EQ(read_token(""), "");
}

TEST(login_succeeded, needs_a_non_empty_token_found_in_the_reply) {
  EXPECT_TRUE(login_succeeded("abc", "x abc y"));
  EXPECT_FALSE(login_succeeded("", "anything"));
  EXPECT_FALSE(login_succeeded("abc", "x ab y"));
}

TEST(read_order_ids, the_five_leading_strings_are_skipped) {
  EXPECT_TRUE(read_order_ids(std::string(texts::kEmptyDayReply)).empty());
  EXPECT_EQ(read_order_ids(ids_reply({"1001", "1002"})),
            (std::vector<std::string>{"1001", "1002"}));
  EXPECT_TRUE(read_order_ids("").empty());
  EXPECT_TRUE(read_order_ids("\"a\" \"b\"").empty());
  // Any other error reply: quoted strings beyond the fifth read as ids.
  EXPECT_EQ(read_order_ids("\"1\"\"2\"\"3\"\"4\"\"5\"\"6\""), (std::vector<std::string>{"6"}));
}

TEST(read_order_ids, quotes_pair_up_within_a_line) {
  // The unpaired quote before the line break starts no match; pairing resumes after it.
  EXPECT_EQ(read_order_ids("\"1\"\"2\"\"3\"\"4\"\"5\" \"x\n\"7\""),
            (std::vector<std::string>{"7"}));
}

TEST(read_order_details, nine_groups_in_order) {
  DetailFields f = order("880011");
  f.note = "hello";
  f.seller_phone = "138";
  f.user_phone = "139";
  f.status_desc = "wait";
  f.quantity = "2";
  f.total_price = "19.80";
  f.item_name = "cup";
  const auto details = read_order_details(detail_reply(f));
  ASSERT_EQ(details.size(), 1u);
  const OrderDetail& d = details[0];
  EXPECT_EQ(d.order_id, "880011");
  EXPECT_EQ(d.status2, f.status2);
  EXPECT_EQ(d.note, "hello");
  EXPECT_EQ(d.seller_phone, "138");
  EXPECT_EQ(d.user_phone, "139");
  EXPECT_EQ(d.status_desc, "wait");
  EXPECT_EQ(d.quantity, "2");
  EXPECT_EQ(d.total_price, "19.80");
  EXPECT_EQ(d.item_name, "cup");
}

// The fields of an order whose text fields hold JSON escapes, as the reply (UTF-8) has them,
// and what each reads as (GBK).
TEST(read_order_details, json_escapes_read_as_their_characters) {
  const struct {
    std::string raw;       // in the reply
    std::string expected;  // read
  } cases[] = {
      {u8str(u8R"(包装,请用\"加厚\"纸箱)"), gbk(u8"包装,请用\"加厚\"纸箱")},
      {R"(a\\b\/c)", "a\\b/c"},
      {R"(\b\f\n\r\t)", "\b\f\n\r\t"},
      {R"(\\)", "\\"},
      {R"(end\\\")", "end\\\""},
      {R"(\u4e2d\u6587)", gbk(u8"中文")},
      {R"(\u4E2D!)", gbk(u8"中!")},
      {R"(\"\u0041\")", "\"A\""},
      // A pair joins; a character outside GBK, or half a pair, becomes what the code-page
      // conversion makes of it.
      {R"(\ud83d\ude00x)", utf8_to_gbk(u8str(u8"😀x"))},
      {R"(\ud83dx)", "?x"},
      {R"(\u00e9)", utf8_to_gbk(u8str(u8"é"))},
      // Not escapes: left as they stand.
      {R"(\u12)", "\\u12"},
      {R"(\u0000)", "\\u0000"},
      {R"(\x)", "\\x"},
  };
  for (const auto& c : cases) {
    for (const int field : {0, 1}) {
      DetailFields f = order("88001");
      (field == 0 ? f.note : f.item_name) = c.raw;
      const auto details = read_order_details(utf8_to_gbk(detail_reply(f)));
      ASSERT_EQ(details.size(), 1u) << c.raw;
      EXPECT_EQ(field == 0 ? details[0].note : details[0].item_name, c.expected) << c.raw;
      EXPECT_EQ(details[0].order_id, "88001");
      EXPECT_EQ(details[0].quantity, "1");
      EXPECT_EQ(details[0].status_desc, "desc") << c.raw;
    }
  }
}

TEST(read_order_details, every_text_field_decodes_and_the_digits_stay_as_sent) {
  DetailFields f = order("00123", R"(\u5df2\u4ed8\u6b3e)");  // 已付款
  f.note = R"(say \"hi\")";
  f.seller_phone = R"(138\/0)";
  f.user_phone = R"(139\"0)";
  f.status_desc = R"(\"wait\")";
  f.quantity = "02";
  f.total_price = R"(9\".90)";
  f.item_name = R"(\"cup\")";
  const auto details = read_order_details(utf8_to_gbk(detail_reply(f)));
  ASSERT_EQ(details.size(), 1u);
  const OrderDetail& d = details[0];
  EXPECT_EQ(d.order_id, "00123");
  EXPECT_EQ(d.status2, gbk(u8"已付款"));
  EXPECT_EQ(d.note, "say \"hi\"");
  EXPECT_EQ(d.seller_phone, "138/0");
  EXPECT_EQ(d.user_phone, "139\"0");
  EXPECT_EQ(d.status_desc, "\"wait\"");
  EXPECT_EQ(d.quantity, "02");
  EXPECT_EQ(d.total_price, "9\".90");
  EXPECT_EQ(d.item_name, "\"cup\"");
}

TEST(read_order_details, replies_without_escapes_read_byte_for_byte_as_the_groups) {
  // Texts a backslash-free field may hold: GBK whose trail byte is 0x5C (乗 is 81 5C, 表 is
  // B1 ED), stray bytes, an unpaired quote on another line.
  const std::string tricky[] = {
      "\x81\x5c",           // a trail byte that is a backslash, right before the closing quote
      "a\x81\x5c\x81\x5c",  // two of them
      "\xb1\xed\x80\xff",   // a character, then stray bytes
      "plain",
  };
  for (const std::string& text : tricky) {
    DetailFields f = order("7");
    f.note = text;
    f.item_name = text;
    const std::string reply = detail_reply(f);  // the bytes as they are, already GBK
    regex_object groups;
    ASSERT_TRUE(groups.create(
        R"re("order_id":"(.*?)","status2":"(.*?)","note":"(.*?)"[\s\S]*?"seller_phone":"(.*?)")re"
        R"re([\s\S]*?"user_phone":"(.*?)"[\s\S]*?"status_desc":"(.*?)")re"
        R"re([\s\S]*?"quantity":"(.*?)","total_price":"(.*?)"[\s\S]*?"item_name":"(.*?)")re",
        reply));
    const auto details = read_order_details(reply);
    ASSERT_EQ(details.size(), 1u);
    EXPECT_EQ(details[0].note, groups.submatch_text(1, 3));
    EXPECT_EQ(details[0].note, text);
    EXPECT_EQ(details[0].item_name, groups.submatch_text(1, 9));
    EXPECT_EQ(details[0].seller_phone, groups.submatch_text(1, 4));
  }
}

TEST(read_order_details, an_escaped_quote_never_runs_a_field_past_its_line_or_reply) {
  DetailFields f = order("5");
  f.item_name = R"(cut\")";
  std::string reply = detail_reply(f);
  // The reply ends (or a line breaks) before the string does: the field keeps what the
  // pattern gave, its last backslash a plain one.
  const std::string unfinished = reply.substr(0, reply.find("cut\\\"") + 5);
  for (const std::string& cut : {unfinished + "\nmore\"", unfinished}) {
    const auto details = read_order_details(cut);
    ASSERT_EQ(details.size(), 1u);
    EXPECT_EQ(details[0].item_name, "cut\\");
  }
}

TEST(read_order_details, keys_out_of_place_give_no_match) {
  std::string reply = detail_reply(order("1"));
  std::string moved = reply;
  moved.replace(moved.find(",\"status2\""), 0, "\n");
  EXPECT_TRUE(read_order_details(moved).empty());
  // Key names match in any letter case.
  std::string upper = reply;
  upper.replace(upper.find("item_name"), 9, "ITEM_NAME");
  EXPECT_EQ(read_order_details(upper).size(), 1u);
  EXPECT_EQ(read_order_details(order_object(order("1")) + order_object(order("2"))).size(), 2u);
  EXPECT_TRUE(read_order_details("").empty());
}

TEST(reply_literals, exact_substrings_only) {
  const std::string accepted(texts::kDeliveryAcceptedReply);
  EXPECT_TRUE(is_delivery_accepted(accepted));
  EXPECT_TRUE(is_delivery_accepted("xx" + accepted + "\r\n"));
  EXPECT_FALSE(is_delivery_accepted(
      "{\"status\":{\"status_code\":0,\"status_reason\":\"success\"},\"result\":\"\"}"));
  EXPECT_FALSE(is_delivery_accepted(
      "{\"result\":\"\", \"status\":{\"status_code\":0,\"status_reason\":\"success\"}}"));
  EXPECT_FALSE(is_delivery_accepted(""));

  const std::string missing(texts::kMissingTokenReply);
  EXPECT_TRUE(is_missing_token_reply(missing));
  EXPECT_TRUE(is_missing_token_reply("HTTP" + missing));
  EXPECT_FALSE(is_missing_token_reply(missing.substr(1)));

  EXPECT_TRUE(is_empty_day_reply(std::string(texts::kEmptyDayReply)));
  EXPECT_FALSE(is_empty_day_reply(ids_reply({})));
}

TEST(classify_ids_reply, five_kinds_literals_first) {
  const std::string empty_day(texts::kEmptyDayReply);
  const std::string missing(texts::kMissingTokenReply);
  const struct {
    std::string reply;
    IdsReplyKind kind;
  } cases[] = {
      {empty_day, IdsReplyKind::empty_day},
      {missing + empty_day, IdsReplyKind::empty_day},
      {missing, IdsReplyKind::missing_token},
      {missing.substr(1), IdsReplyKind::refusal},  // no leading line feed: an ordinary refusal
      {ids_reply({"A"}), IdsReplyKind::success},
      {ids_reply({}), IdsReplyKind::success},
      {"\"status_code\":0}", IdsReplyKind::success},
      {"\"status_code\":0 ", IdsReplyKind::success},
      {"\"status_code\":01,", IdsReplyKind::refusal},
      {"\"status_code\":0", IdsReplyKind::refusal},  // cut off: the code may go on
      {"\"status_code\":00 \"status_code\":0,", IdsReplyKind::success},
      {"\"status_code\": 0,", IdsReplyKind::refusal},
      {"\"STATUS_CODE\":0,", IdsReplyKind::refusal},
      {refusal(10013, "x"), IdsReplyKind::refusal},
      {refusal(100, "x"), IdsReplyKind::refusal},
      {"<html>502 Bad Gateway</html>", IdsReplyKind::refusal},
      {std::string(1, '\0'), IdsReplyKind::refusal},
      {"", IdsReplyKind::no_reply},
  };
  for (const auto& c : cases) EXPECT_EQ(classify_ids_reply(c.reply), c.kind) << c.reply;
}

TEST(failure_reason, the_platforms_reason_or_a_word_of_our_own) {
  EXPECT_EQ(failure_reason(""), gbk(u8"无法连接微店平台"));
  EXPECT_EQ(failure_reason(gbk(
                u8"{\"status\":{\"status_code\":10013,\"status_reason\":\"access_token无效\"}}")),
            gbk(u8"access_token无效"));
  EXPECT_EQ(failure_reason(std::string(texts::kMissingTokenReply)),
            gbk(u8"参数错误，请参考API文档(参数:`access_token`不能为空) "));
  EXPECT_EQ(failure_reason("\"status_reason\":\"first\" \"status_reason\":\"second\""), "first");
  // A success that still gave nothing to read is no reason at all.
  EXPECT_EQ(failure_reason(
                "{\"result\":{},\"status\":{\"status_code\":0,\"status_reason\":\"success\"}}"),
            gbk(u8"无法识别的回复"));
  for (const std::string unreadable :
       {"{\"status\":{\"status_code\":1}}", "\"status_reason\":\"unterminated",
        "\"status_reason\":\"\"", "\"status_reason\": \"spaced\"", "<html>502</html>"}) {
    EXPECT_EQ(failure_reason(unreadable), gbk(u8"无法识别的回复")) << unreadable;
  }
}

std::string broken_reply() {
  std::string broken(5 * 1024 * 1024, 'x');
  for (std::size_t i = 0; i < broken.size(); i += 97) broken[i] = '"';
  for (std::size_t i = 13; i < broken.size(); i += 4099) broken[i] = '\n';
  return broken;
}

TEST(replies, huge_broken_reply_yields_ids_and_no_token) {
  const std::string broken = broken_reply();
  EXPECT_GT(read_order_ids(broken).size(), 25000u);  // quotes pair up
  EXPECT_TRUE(read_token(broken).empty());
  EXPECT_TRUE(read_order_details(broken).empty());
  EXPECT_EQ(classify_ids_reply(broken), IdsReplyKind::refusal);
  EXPECT_EQ(failure_reason(broken), gbk(u8"无法识别的回复"));
}

TEST(replies, huge_reply_of_unfinished_orders_ends_without_a_match) {
  std::string openers;
  const std::string head = "\"order_id\":\"1\",\"status2\":\"2\",\"note\":\"3\" ";
  while (openers.size() < 5 * 1024 * 1024) openers += head;
  EXPECT_TRUE(read_order_details(openers).empty());
}

}  // namespace
}  // namespace quillmere::shop
