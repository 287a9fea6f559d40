#include "shop/order_index.h"

#include <algorithm>

namespace quillmere::shop {

IndexedOrderList::IndexedOrderList(ReportList& rows, int key_column)
    : rows_(rows), key_column_(key_column) {}

int IndexedOrderList::row_count() { return rows_.row_count(); }

void IndexedOrderList::grow_to(std::size_t rows) {
  if (rows <= keys_.size()) return;
  const std::size_t first = keys_.size();
  keys_.resize(rows);
  auto& empty = rows_by_key_[std::string()];
  for (std::size_t r = first; r < rows; ++r) empty.push_back(static_cast<int>(r));
}

void IndexedOrderList::unlink(int row) {
  const auto found = rows_by_key_.find(keys_[static_cast<std::size_t>(row)]);
  if (found == rows_by_key_.end()) return;
  auto& rows = found->second;
  const auto at = std::lower_bound(rows.begin(), rows.end(), row);
  if (at != rows.end() && *at == row) rows.erase(at);
  if (rows.empty()) rows_by_key_.erase(found);
}

void IndexedOrderList::link(int row) {
  auto& rows = rows_by_key_[keys_[static_cast<std::size_t>(row)]];
  rows.insert(std::lower_bound(rows.begin(), rows.end(), row), row);
}

int IndexedOrderList::insert_row() {
  const int row = rows_.insert_row();
  if (row >= 0) {
    const std::lock_guard<std::mutex> hold(lock_);
    grow_to(static_cast<std::size_t>(row) + 1);
  }
  return row;
}

void IndexedOrderList::set_cell(int row, int column, std::string_view text) {
  rows_.set_cell(row, column, text);
  if (column != key_column_ || row < 0) return;
  const std::lock_guard<std::mutex> hold(lock_);
  // A row not inserted through here (one cleared by a racing delete_all) is not indexed.
  if (static_cast<std::size_t>(row) >= keys_.size()) return;
  if (keys_[static_cast<std::size_t>(row)] == text) return;
  unlink(row);
  keys_[static_cast<std::size_t>(row)].assign(text);
  link(row);
}

std::string IndexedOrderList::cell(int row, int column) { return rows_.cell(row, column); }

void IndexedOrderList::delete_all() {
  // The index first: a row another thread adds once the rows are gone is then indexed afresh,
  // while an entry left by a row added in between fails the check against the list in find_row.
  {
    const std::lock_guard<std::mutex> hold(lock_);
    keys_.clear();
    rows_by_key_.clear();
  }
  rows_.delete_all();
}

int IndexedOrderList::find_row(int column, std::string_view text) {
  if (column != key_column_) return rows_.find_row(column, text);
  int candidate = -1;
  {
    const std::lock_guard<std::mutex> hold(lock_);
    const auto found = rows_by_key_.find(text);
    if (found != rows_by_key_.end() && !found->second.empty()) candidate = found->second.front();
  }
  if (candidate < 0) return -1;
  if (rows_.cell(candidate, column) == text) return candidate;
  return rows_.find_row(column, text);
}

int IndexedOrderList::selected_row() { return rows_.selected_row(); }

}  // namespace quillmere::shop
