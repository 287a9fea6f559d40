#pragma once
// The readers' shared guard against input that would take more memory than any sheet the owner
// keeps (internal to src/sheet).

#include <cstddef>
#include <string>
#include <string_view>

#include "sheet/read.h"

namespace quillmere::sheet {

// "表格太大…" (GBK).
std::string_view too_large_message();

// Counts the cells a reader has made.
class CellBudget {
 public:
  // `added` more cells, in a row now `columns` wide; false once a limit is passed.
  bool take(std::size_t columns, std::size_t added = 1) {
    cells_ += added;
    return columns <= kMaxColumns && cells_ <= kMaxCells;
  }
  static ReadResult refused() { return ReadResult{{}, std::string(too_large_message())}; }

 private:
  std::size_t cells_ = 0;
};

}  // namespace quillmere::sheet
