// Workbooks from anywhere: the zip itself, or the XML of a sheet and its shared strings packed
// into a sound zip, so that mutations reach the parser through the compression.
#include <cstdint>
#include <string>

#include "fuzz_input.h"
#include "sheet/read.h"
#include "sheet/zip_bytes.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  using namespace quillmere::sheet;
  ReadResult read;
  if ((data[0] & 1) == 0) {
    read = read_xlsx(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
  } else {
    // The sheet's XML, then 00 FF and the shared strings' XML.
    const auto parts = quillmere::fuzz::split_input(data + 1, size - 1, 2);
    read = read_xlsx(testing::zip_of({{"xl/worksheets/sheet1.xml", parts[0], (data[0] & 2) != 0},
                                      {"xl/sharedStrings.xml", parts[1], false}}));
  }
  if (!read.error.empty() && !read.table.rows.empty()) __builtin_trap();
  for (const auto& row : read.table.rows)
    if (row.size() > kMaxColumns) __builtin_trap();
  return 0;
}
