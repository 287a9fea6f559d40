// Which reader a file needs, told by its first bytes.

#include "sheet/read.h"
#include "sheet/read_limits.h"
#include "text/gbk_literal.h"

namespace quillmere::sheet {
namespace {

constexpr std::string_view kLegacyXls =
    "这是旧版 Excel 文件（.xls）或加了密码的工作簿，无法直接读取。请在 Excel 或 WPS 中打开它，另存为 .xlsx 或 .csv 后再导入。"_gbk;
constexpr std::string_view kTooLarge =
    "表格太大，无法读取：最多 1048576 行、16384 列、2000000 个单元格。"_gbk;

// Every OLE compound file begins so; every zip (and so every .xlsx) with a local header.
constexpr std::string_view kCompoundFileSignature = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
constexpr std::string_view kZipSignature = "PK\x03\x04";

}  // namespace

std::string_view too_large_message() { return kTooLarge; }

bool is_legacy_xls(std::string_view bytes) { return bytes.starts_with(kCompoundFileSignature); }

std::string_view legacy_xls_message() { return kLegacyXls; }

ReadResult read_sheet_file(std::string_view bytes) {
  if (is_legacy_xls(bytes)) return ReadResult{{}, std::string(kLegacyXls)};
  if (bytes.starts_with(kZipSignature)) return read_xlsx(bytes);
  return read_text_file(bytes);
}

}  // namespace quillmere::sheet
