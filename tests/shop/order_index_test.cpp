#include "shop/order_index.h"

#include <gtest/gtest.h>

#include "fakes.h"

namespace quillmere::shop {
namespace {

using testing::FakeList;

int add_order(ReportList& list, const std::string& id) {
  const int row = list.insert_row();
  list.set_cell(row, 0, std::to_string(row + 1));
  list.set_cell(row, 1, id);
  return row;
}

TEST(IndexedOrderList, finds_key_rows_without_scanning) {
  FakeList rows;
  IndexedOrderList list(rows);
  add_order(list, "a");
  add_order(list, "b");
  add_order(list, "a");
  EXPECT_EQ(list.find_row(1, "a"), 0);
  EXPECT_EQ(list.find_row(1, "b"), 1);
  EXPECT_EQ(list.find_row(1, "c"), -1);
  EXPECT_EQ(list.find_row(1, "A"), -1);
  EXPECT_EQ(rows.scans, 0);
  // Other columns are the list's own business.
  EXPECT_EQ(list.find_row(0, "2"), 1);
  EXPECT_EQ(rows.scans, 1);
}

TEST(IndexedOrderList, follows_rewrites_and_delete_all) {
  FakeList rows;
  IndexedOrderList list(rows);
  add_order(list, "a");
  add_order(list, "a");
  list.set_cell(0, 1, "z");
  EXPECT_EQ(list.find_row(1, "a"), 1);
  EXPECT_EQ(list.find_row(1, "z"), 0);
  list.delete_all();
  EXPECT_EQ(list.find_row(1, "a"), -1);
  EXPECT_EQ(list.find_row(1, "z"), -1);
  add_order(list, "z");
  EXPECT_EQ(list.find_row(1, "z"), 0);
  EXPECT_EQ(list.row_count(), 1);
}

TEST(IndexedOrderList, a_fresh_row_has_an_empty_key) {
  FakeList rows;
  IndexedOrderList list(rows);
  list.insert_row();
  EXPECT_EQ(list.find_row(1, ""), 0);
  list.set_cell(0, 1, "x");
  EXPECT_EQ(list.find_row(1, ""), -1);
}

TEST(IndexedOrderList, rows_it_never_inserted_are_not_indexed) {
  FakeList rows;
  IndexedOrderList list(rows);
  add_order(list, "a");
  list.delete_all();
  list.set_cell(0, 1, "late");  // a writer that raced with the delete_all
  list.set_cell(2000000000, 1, "far");
  EXPECT_EQ(list.find_row(1, "late"), -1);
  EXPECT_EQ(list.find_row(1, "far"), -1);
}

TEST(IndexedOrderList, a_row_added_while_delete_all_runs_is_found) {
  FakeList rows;
  IndexedOrderList list(rows);
  add_order(list, "a");
  add_order(list, "b");
  rows.after_delete_all = [&] {
    rows.after_delete_all = nullptr;
    add_order(list, "c");
  };
  list.delete_all();
  ASSERT_EQ(rows.row_count(), 1);
  EXPECT_EQ(list.find_row(1, "c"), 0);
  EXPECT_EQ(list.find_row(1, "a"), -1);
}

TEST(IndexedOrderList, a_stale_entry_is_checked_against_the_list) {
  FakeList rows;
  IndexedOrderList list(rows);
  add_order(list, "a");
  add_order(list, "b");
  // The rows changed behind the index, as when a delete_all races with a writer.
  rows.rows.erase(rows.rows.begin());
  EXPECT_EQ(list.find_row(1, "a"), -1);
  EXPECT_EQ(list.find_row(1, "b"), 0);
}

}  // namespace
}  // namespace quillmere::shop
