#pragma once
// What a copy from one of the report lists puts on the clipboard: the cells it takes, and
// those cells as plain text and as an HTML table. The texts' encoding is the caller's (GBK or
// UTF-8): only ASCII bytes are looked at, and neither encoding has them inside a character.

#include <string>
#include <vector>

namespace quillmere::app {

enum class CopyScope {
  order_id,  // 复制订单号: the selected row's 订单号 cell
  row,       // 复制整行 and Ctrl+C: the selected row
  all,       // 复制全部: the column titles, then every row
};

// 订单号 is the second column of both lists.
inline constexpr int kOrderIdColumn = 1;

struct CopiedCells {
  std::vector<std::vector<std::string>> rows;
  bool single_value = false;  // one cell, copied without a line end
};

// Nothing (no rows) when the scope needs a selected row and `selected` is -1 or out of range.
CopiedCells cells_to_copy(CopyScope scope, const std::vector<std::string>& titles,
                          const std::vector<std::vector<std::string>>& rows, int selected);

// Cells separated by tabs, every row ending in CRLF; a single value alone. A tab or line break
// inside a cell becomes a space.
std::string plain_text(const CopiedCells& cells);

// The "HTML Format" clipboard text: its header of byte offsets, then a table of the same
// cells, each marked as text so that a spreadsheet keeps a long order number as it is.
// Cells in UTF-8; the result is UTF-8.
std::string html_clipboard_text(const CopiedCells& cells);

}  // namespace quillmere::app
