#pragma once
// An index of one column beside a report list, so that finding a row by that column's text
// does not scan the list. Wrap the order list in it (key column 1, "订单号") and hand the
// wrapper to the workflows; every insert, set_cell and delete_all must go through the wrapper.
//
// Safe to call from any thread, as the list under it is. The index's own lock is never held
// while the list under it is called, so a list that passes its calls to the window's thread
// cannot deadlock against a workflow running there.

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
  // For the key column: the index, with the found row's cell checked against the list; a row
  // that no longer holds the text (a delete_all raced with a writer) falls back to a scan.
  int find_row(int column, std::string_view text) override;
  int selected_row() override;

 private:
  void grow_to(std::size_t rows);  // holds lock_
  void unlink(int row);            // holds lock_
  void link(int row);              // holds lock_

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
