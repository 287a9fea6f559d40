#pragma once
// Reading a sheet the owner already has: a CSV or text file, the clipboard's copied range, or the
// first sheet of an .xlsx workbook. Every reader takes the bytes in memory (the shell reads the
// file by its wide path), never throws, and answers bad input with an error for the owner.

#include <string_view>

#include "sheet/table.h"

namespace quillmere::sheet {

// What a reader accepts at most; beyond it the input is refused rather than read in part.
inline constexpr std::size_t kMaxRows = 1048576;  // Excel's own limits
inline constexpr std::size_t kMaxColumns = 16384;
inline constexpr std::size_t kMaxCells = 2000000;
// The parts of a workbook unpacked, together.
inline constexpr std::size_t kMaxUnpackedBytes = 200u * 1024 * 1024;

// A .csv or .txt file. The encoding: UTF-8 after a byte-order mark; UTF-16 after its mark (Excel's
// "Unicode 文本"); else UTF-8 when the bytes are valid UTF-8, else GBK (what Excel and WPS on a
// Chinese Windows write as "CSV (逗号分隔)"). The separator: a tab when the first line holds a tab
// outside quotes, else a comma. Fields follow RFC 4180 (quoted fields hold separators, line
// breaks and doubled quotes); lines end in CRLF, LF or CR; empty lines at the end are dropped.
ReadResult read_text_file(std::string_view bytes);

// The clipboard's text, already GBK: tab-separated, cells holding a tab, a line break or a quote
// quoted as Excel and WPS put a copied range there.
ReadResult read_pasted_text(std::string_view gbk);

// The first sheet of an .xlsx workbook. Text cells (shared, inline and formula strings) come as
// their text, booleans as TRUE or FALSE, numbers as the digits the file stores with
// Cell::number set. A workbook declaring a DTD, damaged, or unpacking to more than
// kMaxUnpackedBytes is refused.
ReadResult read_xlsx(std::string_view bytes);

// An Excel 97-2003 workbook (an OLE compound file), which no reader here reads.
bool is_legacy_xls(std::string_view bytes);

// What the owner is told about such a file (GBK).
std::string_view legacy_xls_message();

// A file of any of the kinds above, told by its content rather than its name: an .xlsx renamed
// .xls reads as a workbook, a real .xls named .csv gets legacy_xls_message().
ReadResult read_sheet_file(std::string_view bytes);

}  // namespace quillmere::sheet
