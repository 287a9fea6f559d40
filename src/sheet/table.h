#pragma once
// A sheet of cells as read from a file or the clipboard, before anything decides what the cells
// mean. Texts are GBK, like every program text; a character that GBK lacks becomes what the
// code-page conversion gives for it.

#include <string>
#include <vector>

namespace quillmere::sheet {

struct Cell {
  std::string text;
  // The cell was a number in a workbook: `text` is the number as the file stores it
  // ("1.23456789012345E+17", "12345"), so a caller can tell digits that were lost.
  bool number = false;
};

// Rows in file order, cells in column order; a workbook's gaps are empty cells, so that column k
// of every row is the same column of the sheet. Rows may differ in length.
using Row = std::vector<Cell>;

struct Table {
  std::vector<Row> rows;
};

// What a reader made of its input: the table, or why there is none (GBK, for the owner).
struct ReadResult {
  Table table;
  std::string error;  // empty when the input was read
};

}  // namespace quillmere::sheet
