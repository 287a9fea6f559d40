#pragma once
// An index of one column beside a report list, so that finding a row by that column's text
// does not scan the list. Wrap the order list in it (key column 1, "订单号") and hand the
// wrapper to the workflows; every insert, set_cell and delete_all must go through the wrapper.
//
// The index is what the jobs agree on: which order ids are listed, and how many rows there are,
// as written so far. A row reported to the window but not shown yet is already here, so no job
// lists it twice. Safe to call from any thread; the list under it is called with the index's
// lock held, so it must never wait for another thread (the window's list queues its writes).

#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "shop/ports.h"

namespace quillmere::shop {

class IndexedOrderList final : public ReportList {
 public:
  explicit IndexedOrderList(ReportList& rows, int key_column = 1);

  int row_count() override;
  int insert_row() override;
  void set_cell(int row, int column, std::string_view text) override;
  std::string cell(int row, int column) override;
  void delete_all() override;
  // For the key column: the index alone. Other columns: the list (the window's thread only).
  int find_row(int column, std::string_view text) override;
  int selected_row() override;

 private:
  void unlink(int row);  // holds lock_
  void link(int row);    // holds lock_

  struct Hash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };

  ReportList& rows_;
  const int key_column_;
  std::mutex lock_;
  std::vector<std::string> keys_;  // the key cell of each row, as written through here
  // Rows holding each key text, ascending.
  std::unordered_map<std::string, std::vector<int>, Hash, std::equal_to<>> rows_by_key_;
};

}  // namespace quillmere::shop
