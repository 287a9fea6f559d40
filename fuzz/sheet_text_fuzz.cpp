// CSV and tab-separated text as any file or clipboard may hold it.
#include <cstdint>
#include <string_view>

#include "sheet/read.h"

namespace {

void check(const quillmere::sheet::ReadResult& read) {
  // A refused input is refused whole; a read one keeps within the limits.
  if (!read.error.empty() && !read.table.rows.empty()) __builtin_trap();
  if (read.table.rows.size() > quillmere::sheet::kMaxRows) __builtin_trap();
  for (const auto& row : read.table.rows)
    if (row.size() > quillmere::sheet::kMaxColumns) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  check(quillmere::sheet::read_text_file(bytes));
  check(quillmere::sheet::read_pasted_text(bytes));
  check(quillmere::sheet::read_sheet_file(bytes));
  return 0;
}
