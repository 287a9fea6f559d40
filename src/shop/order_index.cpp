#include "shop/order_index.h"

#include <algorithm>

namespace quillmere::shop {

IndexedOrderList::IndexedOrderList(ReportList& rows, int key_column)
    : rows_(rows), key_column_(key_column) {}

int IndexedOrderList::row_count() {
  const std::lock_guard<std::mutex> hold(lock_);
  return static_cast<int>(keys_.size());
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
  const std::lock_guard<std::mutex> hold(lock_);
  rows_.insert_row();
  const int row = static_cast<int>(keys_.size());
  keys_.emplace_back();
  link(row);
  return row;
}

void IndexedOrderList::set_cell(int row, int column, std::string_view text) {
  const std::lock_guard<std::mutex> hold(lock_);
  if (row < 0 || static_cast<std::size_t>(row) >= keys_.size()) return;
  rows_.set_cell(row, column, text);
  if (column != key_column_ || keys_[static_cast<std::size_t>(row)] == text) return;
  unlink(row);
  keys_[static_cast<std::size_t>(row)].assign(text);
  link(row);
}

std::string IndexedOrderList::cell(int row, int column) { return rows_.cell(row, column); }

void IndexedOrderList::delete_all() {
  const std::lock_guard<std::mutex> hold(lock_);
  keys_.clear();
  rows_by_key_.clear();
  rows_.delete_all();
}

int IndexedOrderList::find_row(int column, std::string_view text) {
  if (column != key_column_) return rows_.find_row(column, text);
  const std::lock_guard<std::mutex> hold(lock_);
  const auto found = rows_by_key_.find(text);
  return found == rows_by_key_.end() || found->second.empty() ? -1 : found->second.front();
}

int IndexedOrderList::selected_row() { return rows_.selected_row(); }

}  // namespace quillmere::shop
