// The bulk list: rows brought in from a sheet, and every row checked before anything is sent.

#include <gtest/gtest.h>

#include "fakes.h"
#include "shop/bulk.h"
#include "shop/bulk_texts.h"
#include "shop/texts.h"
#include "test_support.h"

namespace quillmere::shop {
namespace {

using quillmere::testing::gbk;

// A sheet row of text cells, written readably.
sheet::Row row_of(std::initializer_list<std::u8string_view> cells) {
  sheet::Row row;
  for (std::u8string_view cell : cells) row.push_back({gbk(cell), false});
  return row;
}

sheet::Table table_of(std::initializer_list<sheet::Row> rows) { return {rows}; }

const sheet::Row kTitles = row_of({u8"订单号", u8"快递公司", u8"快递单号"});

// The three cells and the line of every row the list holds.
std::vector<std::vector<std::string>> held(const BulkList& list) {
  std::vector<std::vector<std::string>> out;
  for (const BulkRow& row : list.rows())
    out.push_back({std::to_string(row.line), row.order_id, row.courier, row.tracking});
  return out;
}

TEST(bulk_import, finds_the_columns_by_their_titles_in_any_order_among_others) {
  struct Case {
    const char* what;
    sheet::Table table;
    std::vector<std::string> first;  // line, order id, courier, tracking of the first row
  };
  const std::vector<std::string> expected = {"2", "7001", gbk(u8"顺丰"), "SF1"};
  for (const Case& c : {
           Case{"plain", table_of({kTitles, row_of({u8"7001", u8"顺丰", u8"SF1"})}), expected},
           Case{"the program's own order list with two columns added",
                table_of(
                    {row_of({u8"ID", u8"订单号", u8"销量", u8"商品名", u8"付款状态", u8"发货状态",
                             u8"买家留言", u8"买家微信号", u8"快递公司", u8"快递单号"}),
                     row_of({u8"1", u8"7001", u8"2", u8"茶", u8"已付款", u8"待发货", u8"", u8"138",
                             u8"顺丰", u8"SF1"})}),
                expected},
           Case{"other titles, other order, blanks around them",
                table_of({row_of({u8" 运单号 ", u8"备注", u8"　物流公司", u8"订单编号\t"}),
                          row_of({u8"SF1", u8"x", u8"顺丰", u8"7001"})}),
                expected},
           Case{"快递 and 物流单号",
                table_of({row_of({u8"物流单号", u8"快递", u8"订单号"}),
                          row_of({u8"SF1", u8"顺丰", u8"7001"})}),
                expected},
           Case{"empty rows above the titles",
                table_of({row_of({}), row_of({u8" ", u8""}), kTitles,
                          row_of({u8"7001", u8"顺丰", u8"SF1"})}),
                {"4", "7001", gbk(u8"顺丰"), "SF1"}},
           Case{"no title row: the first three columns",
                table_of({row_of({u8"7001", u8"顺丰", u8"SF1", u8"note"})}),
                {"1", "7001", gbk(u8"顺丰"), "SF1"}},
           Case{"no tracking column: every row lacks one",
                table_of({row_of({u8"订单号", u8"快递公司"}), row_of({u8"7001", u8"无需物流"})}),
                {"2", "7001", gbk(u8"无需物流"), ""}},
           Case{"short rows", table_of({kTitles, row_of({u8"7001"})}), {"2", "7001", "", ""}},
       }) {
    SCOPED_TRACE(c.what);
    BulkList list;
    const BulkImport import = list.add(c.table);
    EXPECT_EQ(import.error, "");
    ASSERT_EQ(import.added, 1);
    EXPECT_EQ(held(list).front(), c.first);
  }
}

TEST(bulk_import, refuses_a_title_row_without_an_order_or_a_courier_column) {
  BulkList list;
  BulkImport import =
      list.add(table_of({row_of({u8"单号", u8"快递公司"}), row_of({u8"7001", u8"顺丰"})}));
  EXPECT_EQ(import.error, texts::kNoOrderIdColumn);
  import = list.add(table_of({row_of({u8"订单号", u8"快递单号"}), row_of({u8"7001", u8"SF1"})}));
  EXPECT_EQ(import.error, texts::kNoCourierColumn);
  EXPECT_EQ(import.added, 0);
  EXPECT_TRUE(list.rows().empty());
}

TEST(bulk_import, appends_skips_empty_rows_and_never_adds_the_same_row_twice) {
  BulkList list;
  BulkImport first = list.add(table_of(
      {kTitles, row_of({u8"7001", u8"顺丰", u8"SF1"}), row_of({u8"", u8" ", u8"　"}), row_of({}),
       row_of({u8"7002", u8"中通", u8"ZT2"}), row_of({u8" 7001 ", u8"顺丰", u8"SF1"})}));
  EXPECT_EQ(first.added, 2);
  EXPECT_EQ(first.repeated, 1) << "the same cells once trimmed";
  // A second paste adds what is new; a row for an order the list holds unshipped is the owner's
  // correction and takes that row's place, while one the list shipped stays a repeat to flag.
  list.set_result(1, texts::kDeliveredCell);
  BulkImport second = list.add(
      table_of({row_of({u8"7002", u8"中通", u8"ZT2"}), row_of({u8"7001", u8"顺丰", u8"SF9"}),
                row_of({u8"7002", u8"中通", u8"ZT3"}), row_of({u8"7003", u8"中通", u8"ZT4"})}));
  EXPECT_EQ(second.added, 2);
  EXPECT_EQ(second.replaced, 1);
  EXPECT_EQ(second.repeated, 1);
  EXPECT_EQ(held(list), (std::vector<std::vector<std::string>>{
                            {"2", "7001", gbk(u8"顺丰"), "SF9"},
                            {"5", "7002", gbk(u8"中通"), "ZT2"},
                            {"3", "7002", gbk(u8"中通"), "ZT3"},
                            {"4", "7003", gbk(u8"中通"), "ZT4"},
                        }));
  // The replaced row's cells are no longer held: they may come back.
  EXPECT_EQ(list.add(table_of({row_of({u8"7001", u8"顺丰", u8"SF1"})})).replaced, 1);
  list.clear();
  EXPECT_EQ(list.add(table_of({row_of({u8"7002", u8"中通", u8"ZT2"})})).added, 1);
}

// One row checked alone.
struct Checked {
  BulkVerdict verdict;
  std::string check;
  std::string order_id;  // what it sends
  std::string code;
  std::string tracking;
};

Checked check_one(sheet::Row row, const BulkCheckInputs& inputs = {}) {
  BulkList list;
  list.add(table_of({kTitles, std::move(row)}));
  list.check(inputs);
  const BulkRow& checked = list.rows().at(0);
  return {checked.verdict, checked.check, checked.send_order_id, checked.express_code,
          checked.send_tracking};
}

TEST(bulk_check, says_what_is_wrong_with_each_field_in_words_the_owner_can_act_on) {
  struct Case {
    sheet::Row row;
    std::string check;
  };
  const std::string ready(texts::kReadyToSend);
  const sheet::Cell number_cell_17{"12345678901234567", true};
  for (const Case& c : {
           Case{row_of({u8"7202612100001", u8"顺丰", u8"SF1"}), ready},
           // 订单号
           Case{row_of({u8"", u8"顺丰", u8"SF1"}), std::string(texts::kOrderIdEmpty)},
           Case{row_of({u8"72026121OOOO1", u8"顺丰", u8"SF1"}),
                std::string(texts::kOrderIdNotDigits)},
           Case{row_of({u8"-7001", u8"顺丰", u8"SF1"}), std::string(texts::kOrderIdNotDigits)},
           Case{row_of({u8"7 001", u8"顺丰", u8"SF1"}), std::string(texts::kOrderIdNotDigits)},
           Case{row_of({u8"1.23457E+17", u8"顺丰", u8"SF1"}),
                std::string(texts::kOrderIdScientific)},
           Case{row_of({u8"1E+17", u8"顺丰", u8"SF1"}), std::string(texts::kOrderIdScientific)},
           Case{row_of({u8"7202612100001.0", u8"顺丰", u8"SF1"}),
                std::string(texts::kOrderIdPointZero)},
           Case{row_of({u8"7202612100001.00", u8"顺丰", u8"SF1"}),
                std::string(texts::kOrderIdPointZero)},
           Case{row_of({u8"7202612100001.5", u8"顺丰", u8"SF1"}),
                std::string(texts::kOrderIdNotDigits)},
           Case{{number_cell_17, {gbk(u8"顺丰"), false}, {"SF1", false}},
                std::string(texts::kOrderIdLongNumber)},
           // 快递公司
           Case{row_of({u8"7001", u8"", u8"SF1"}), std::string(texts::kCourierEmpty)},
           Case{row_of({u8"7001", u8"火星快递", u8"SF1"}), gbk(u8"无法识别的快递公司：火星快递")},
           Case{row_of({u8"7001", u8"DHL", u8"SF1"}),
                gbk(u8"无法识别的快递公司：DHL（是否为DHL（国际件）？）")},
           Case{row_of({u8"7001", u8"邮政", u8"SF1"}),
                gbk(u8"快递公司不明确：邮政，可能是 中国邮政 / 邮政快包 / 邮政小包 / …")},
           Case{row_of({u8"7001", u8"中铁", u8"SF1"}),
                gbk(u8"快递公司不明确：中铁，可能是 中铁物流 / 中铁快运")},
           // 快递单号
           Case{row_of({u8"7001", u8"顺丰", u8""}), std::string(texts::kTrackingEmpty)},
           Case{row_of({u8"7001", u8"顺丰", u8"7.83188E+13"}),
                std::string(texts::kTrackingScientific)},
           Case{row_of({u8"7001", u8"顺丰", u8"SF 1"}), std::string(texts::kTrackingBlankInside)},
           Case{row_of({u8"7001", u8"顺丰", u8"SF　1"}), std::string(texts::kTrackingBlankInside)},
           Case{{{"7001", false}, {gbk(u8"顺丰"), false}, number_cell_17},
                std::string(texts::kTrackingLongNumber)},
           Case{row_of({u8"7001", u8"顺丰", u8"12E3"}), ready},  // letters are no notation
           // 无需物流 needs no tracking number, and ignores one.
           Case{row_of({u8"7001", u8"无需物流", u8""}), ready},
           Case{row_of({u8"7001", u8"999", u8"not a number"}), ready},
           // Everything at once, in the columns' order.
           Case{row_of({u8"1.0", u8"火星", u8"a b"}),
                gbk(u8"订单号末尾多了 .0：请把该列设为文本，再重新填写订单号；"
                    u8"无法识别的快递公司：火星；快递单号中间有空格")},
       }) {
    SCOPED_TRACE(c.check);
    const Checked checked = check_one(c.row);
    EXPECT_EQ(checked.check, c.check);
    EXPECT_EQ(checked.verdict, c.check == ready ? BulkVerdict::ready : BulkVerdict::problem);
    if (checked.verdict != BulkVerdict::ready) {
      EXPECT_EQ(checked.order_id, "");
    }
  }
}

TEST(bulk_check, keeps_the_digits_as_given_and_makes_full_width_forms_half_width) {
  struct Case {
    sheet::Row row;
    Checked sent;
  };
  const std::string ready(texts::kReadyToSend);
  for (const Case& c : {
           // A text cell or a pasted id is taken digit for digit, however long.
           Case{row_of({u8"000123456789012345678901", u8"1", u8"SF1"}),
                {BulkVerdict::ready, ready, "000123456789012345678901", "1", "SF1"}},
           // A number cell that kept all its digits.
           Case{{{"720261210000123", true}, {"1", false}, {"SF1", false}},
                {BulkVerdict::ready, ready, "720261210000123", "1", "SF1"}},
           Case{row_of({u8"７２０２６", u8"中通快递", u8"ｓｆ１２３ａＢ"}),
                {BulkVerdict::ready, ready, "72026", "3", "sf123aB"}},
           Case{row_of({u8" 7001\t", u8" 1:顺丰速运 ", u8"　SF-1/2　"}),
                {BulkVerdict::ready, ready, "7001", "1", "SF-1/2"}},
           Case{row_of({u8"7001", u8"无需物流", u8"SF1"}),
                {BulkVerdict::ready, ready, "7001", "999", ""}},
       }) {
    const Checked checked = check_one(c.row);
    SCOPED_TRACE(checked.check);
    EXPECT_EQ(checked.verdict, c.sent.verdict);
    EXPECT_EQ(checked.order_id, c.sent.order_id);
    EXPECT_EQ(checked.code, c.sent.code);
    EXPECT_EQ(checked.tracking, c.sent.tracking);
  }
}

class BulkListTest : public ::testing::Test {
 protected:
  BulkList list;
  std::vector<std::string> checks() const {
    std::vector<std::string> out;
    for (const BulkRow& row : list.rows()) out.push_back(row.check);
    return out;
  }
  std::vector<std::string> results() const {
    std::vector<std::string> out;
    for (const BulkRow& row : list.rows()) out.push_back(row.result);
    return out;
  }
  const std::string ready{texts::kReadyToSend};
  const std::string recorded{texts::kAlreadyRecorded};
  const std::string skipped{texts::kSkipped};
  const std::string shipped{texts::kDeliveredCell};
};

TEST_F(BulkListTest, later_rows_of_one_order_name_the_row_they_repeat) {
  list.add(table_of({kTitles, row_of({u8"7001", u8"顺丰", u8"SF1"}),
                     row_of({u8"7002", u8"顺丰", u8"SF2"}), row_of({u8"7001", u8"中通", u8"ZT1"}),
                     row_of({u8"７００１", u8"顺丰", u8"SF3"}), row_of({u8"", u8"顺丰", u8"SF4"}),
                     row_of({u8"", u8"顺丰", u8"SF5"})}));
  list.check({});
  EXPECT_EQ(checks(), (std::vector<std::string>{
                          ready, ready, gbk(u8"与第 2 行订单号重复"), gbk(u8"与第 2 行订单号重复"),
                          std::string(texts::kOrderIdEmpty), std::string(texts::kOrderIdEmpty)}));
  EXPECT_EQ(list.items_to_send().size(), 2u);
}

TEST_F(BulkListTest, an_order_this_program_shipped_is_skipped_and_a_listed_state_is_named) {
  list.add(table_of({kTitles, row_of({u8"7001", u8"顺丰", u8"SF1"}),
                     row_of({u8"7002", u8"顺丰", u8"SF2"}), row_of({u8"7003", u8"顺丰", u8"SF3"}),
                     row_of({u8"7004", u8"顺丰", u8"SF4"}), row_of({u8"7005", u8"顺丰", u8"SF5"}),
                     row_of({u8"7006", u8"顺丰", u8"SF6"})}));
  BulkCheckInputs inputs;
  inputs.recorded = recorded_order_ids("7001|2\r\nbroken line\r\n 7009 |1\r\n|3\r\n7002|1");
  EXPECT_EQ(inputs.recorded, (std::unordered_set<std::string>{"7001", "7009", "7002"}));
  inputs.delivered = {"7003"};
  inputs.order_states = {{"7004", gbk(u8"已关闭")},
                         {"7005", gbk(u8"待发货")},
                         {"7006", ""},
                         {"7001", gbk(u8"已发货")}};
  list.check(inputs);
  EXPECT_EQ(checks(),
            (std::vector<std::string>{recorded, recorded, recorded, gbk(u8"发货状态为已关闭"),
                                      ready, std::string(texts::kStateUnknown)}));
  EXPECT_EQ(results(), (std::vector<std::string>{skipped, skipped, skipped, "", "", ""}));

  // The file was emptied by hand: a later check takes its own 跳过 back, and nothing else.
  list.set_result(1, shipped);
  list.check({});
  EXPECT_EQ(results(), (std::vector<std::string>{"", shipped, "", "", "", ""}));
  EXPECT_EQ(checks()[0], ready);
}

TEST(bulk_check_inputs, come_from_the_record_file_and_the_two_lists_as_shown) {
  testing::FakeList deliveries;
  deliveries.add({"1", "7003", "2", gbk(u8"发货成功")});
  deliveries.add({"2", ""});
  testing::FakeList orders;
  orders.add({"1", "7004", "1", "tea", gbk(u8"已付款"), gbk(u8"已关闭")});
  orders.add({"2", "7005", "1", "tea", gbk(u8"已付款"), gbk(u8"待发货")});
  orders.add({"3", "7004", "1", "tea", gbk(u8"已付款"), gbk(u8"待发货")});  // the first row counts
  const BulkCheckInputs inputs = bulk_check_inputs("7001|1\r\n", deliveries, orders);
  EXPECT_EQ(inputs.recorded, (std::unordered_set<std::string>{"7001"}));
  EXPECT_EQ(inputs.delivered, (std::unordered_set<std::string>{"7003"}));
  EXPECT_EQ(inputs.order_states, (std::unordered_map<std::string, std::string>{
                                     {"7004", gbk(u8"已关闭")}, {"7005", gbk(u8"待发货")}}));
}

TEST_F(BulkListTest, the_confirmation_counts_what_goes_and_what_does_not) {
  list.add(
      table_of({kTitles, row_of({u8"7001", u8"顺丰", u8"SF1"}), row_of({u8"7002", u8"顺丰", u8""}),
                row_of({u8"7003", u8"无需物流", u8""}), row_of({u8"7004", u8"顺丰", u8"SF4"}),
                row_of({u8"1E+17", u8"顺丰", u8"SF5"})}));
  BulkCheckInputs inputs;
  inputs.recorded = {"7004"};
  list.check(inputs);
  EXPECT_EQ(list.confirmation_text(),
            gbk(u8"将发货 2 单（另有 3 行有问题，不会发送），确定开始？"));
  const std::vector<BulkItem> items = list.items_to_send();
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].row, 0u);
  EXPECT_EQ(items[0].order_id, "7001");
  EXPECT_EQ(items[0].express_code, "1");
  EXPECT_EQ(items[0].courier_index, 1);
  EXPECT_EQ(items[0].tracking_number, "SF1");
  EXPECT_EQ(items[1].row, 2u);
  EXPECT_EQ(items[1].express_code, "999");
  EXPECT_EQ(items[1].courier_index, 0);

  // After a run: a shipped row is never sent again, whatever a check says of it later; a row
  // whose outcome was unknown or that failed goes again (the run reads the order first).
  list.set_result(0, shipped);
  list.set_result(2, texts::kOutcomeUnknown);
  list.set_result(99, shipped);  // no such row: nothing happens
  EXPECT_EQ(list.items_to_send().size(), 1u);
  EXPECT_EQ(list.items_to_send()[0].row, 2u);
  inputs.recorded.insert("7001");
  list.check(inputs);
  EXPECT_EQ(list.confirmation_text(),
            gbk(u8"将发货 1 单（另有 3 行有问题，不会发送），确定开始？"));
}

TEST_F(BulkListTest, the_unsent_rows_export_with_their_reason_and_import_again) {
  list.add(
      table_of({kTitles, row_of({u8"7001", u8"顺丰", u8"SF1"}),
                row_of({u8"7002", u8"火星", u8"X2"}), row_of({u8"7003", u8"顺丰", u8"SF3"}),
                row_of({u8"7004", u8"顺丰", u8"SF4"}), row_of({u8"7005", u8"顺丰", u8"SF5"})}));
  BulkCheckInputs inputs;
  inputs.recorded = {"7004"};
  list.check(inputs);
  list.set_result(0, shipped);
  list.set_result(2, gbk(u8"发货失败：订单未付款，不能发货"));
  const BulkTable table = list.unsent_table();
  EXPECT_EQ(table.titles, (std::vector<std::string>{gbk(u8"订单号"), gbk(u8"快递公司"),
                                                    gbk(u8"快递单号"), gbk(u8"原因")}));
  EXPECT_EQ(table.rows, (std::vector<std::vector<std::string>>{
                            {"7002", gbk(u8"火星"), "X2", gbk(u8"无法识别的快递公司：火星")},
                            {"7003", gbk(u8"顺丰"), "SF3", gbk(u8"发货失败：订单未付款，不能发货")},
                            {"7004", gbk(u8"顺丰"), "SF4", recorded},
                            {"7005", gbk(u8"顺丰"), "SF5", gbk(u8"未发送")},
                        }));

  // Fixed and read back into an empty list, the file is the same four rows.
  sheet::Table back{{row_of({u8"订单号", u8"快递公司", u8"快递单号", u8"原因"})}};
  for (const auto& cells : table.rows) {
    sheet::Row row;
    for (const std::string& cell : cells) row.push_back({cell, false});
    back.rows.push_back(std::move(row));
  }
  BulkList again;
  EXPECT_EQ(again.add(back).added, 4);
  EXPECT_EQ(again.rows()[1].courier, gbk(u8"顺丰"));
}

}  // namespace
}  // namespace quillmere::shop
