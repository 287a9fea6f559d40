#include "shop/order_index.h"

#include <gtest/gtest.h>

#include <thread>

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

// The window shows a row some time after a job wrote it: the jobs go by the index meanwhile.
TEST(IndexedOrderList, a_row_written_but_not_shown_yet_is_found_and_counted) {
  FakeList rows;
  IndexedOrderList list(rows);
  add_order(list, "a");
  add_order(list, "b");
  rows.rows.clear();  // nothing shown yet
  EXPECT_EQ(list.find_row(1, "a"), 0);
  EXPECT_EQ(list.find_row(1, "b"), 1);
  EXPECT_EQ(list.row_count(), 2);
  EXPECT_EQ(add_order(list, "c"), 2) << "a new row is numbered after the unshown ones";
}

TEST(IndexedOrderList, writers_racing_with_delete_all_leave_the_index_and_the_list_alike) {
  FakeList rows;
  IndexedOrderList list(rows);
  std::thread writer([&] {
    for (int i = 0; i < 300; ++i) add_order(list, "id" + std::to_string(i));
  });
  std::thread clearer([&] {
    for (int i = 0; i < 30; ++i) {
      list.delete_all();
      std::this_thread::yield();
    }
  });
  writer.join();
  clearer.join();
  ASSERT_EQ(list.row_count(), rows.row_count());
  for (int row = 0; row < rows.row_count(); ++row) {
    const std::string id = rows.cell(row, 1);
    EXPECT_EQ(list.find_row(1, id), row) << id;
    EXPECT_EQ(rows.cell(row, 0), std::to_string(row + 1));
  }
}

}  // namespace
}  // namespace quillmere::shop
