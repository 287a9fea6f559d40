#include "sheet/list_export.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "text/codepage.h"
#include "text/gbk_literal.h"

namespace quillmere::sheet {
namespace {

// Excel holds at most this many characters in a cell; libxlsxwriter refuses longer ones.
constexpr std::size_t kMaxCellCharacters = 32767;
constexpr double kMinColumnWidth = 4, kMaxColumnWidth = 60;

// Every cell of the table in UTF-8, titles first. All cells go through one conversion, joined
// by NULs (a GBK character never holds a NUL byte), as one conversion per cell costs more than
// the rest of the export.
std::vector<std::vector<std::string>> utf8_table(const ExportTable& table) {
  std::string joined;
  std::size_t cells = 0;
  const auto add = [&](const std::vector<std::string>& row) {
    for (const std::string& cell : row) {
      joined += std::string_view(cell.data(), std::min(cell.size(), cell.find('\0')));
      joined += '\0';
      ++cells;
    }
  };
  add(table.titles);
  for (const std::vector<std::string>& row : table.rows) add(row);
  const std::string utf8 =
      utf16_to_multibyte(multibyte_to_utf16(joined, kCodePageGbk), kCodePageUtf8);

  std::vector<std::vector<std::string>> out;
  out.reserve(table.rows.size() + 1);
  std::size_t at = 0;
  const auto take = [&](std::size_t count) {
    std::vector<std::string> row;
    row.reserve(count);
    for (std::size_t column = 0; column < count; ++column) {
      const std::size_t end = std::min(utf8.find('\0', at), utf8.size());
      row.emplace_back(utf8, std::min(at, utf8.size()), end - std::min(at, end));
      at = end + 1;
    }
    out.push_back(std::move(row));
  };
  take(table.titles.size());
  for (const std::vector<std::string>& row : table.rows) take(row.size());
  return out;
}

bool is_continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The cell cut to what a workbook cell can hold, at a character's start.
std::string_view within_cell_limit(std::string_view utf8) {
  std::size_t characters = 0;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    if (is_continuation(static_cast<unsigned char>(utf8[i]))) continue;
    if (++characters > kMaxCellCharacters) return utf8.substr(0, i);
  }
  return utf8;
}

double display_width(std::string_view utf8) {
  double width = 0;
  for (unsigned char byte : utf8) {
    if (byte < 0x80)
      width += 1;
    else if (!is_continuation(byte))
      width += 2;
  }
  return width;
}

// Excel refuses these in a sheet's name, and more than 31 characters.
std::string sheet_name_from(const std::string& utf8) {
  std::string name;
  std::size_t characters = 0;
  for (unsigned char byte : utf8) {
    if (!is_continuation(byte) && ++characters > 31) break;
    name += std::string_view("[]:*?/\\").find(static_cast<char>(byte)) == std::string_view::npos
                ? static_cast<char>(byte)
                : '_';
  }
  // Leading or trailing apostrophes are refused as well.
  if (!name.empty() && name.front() == '\'') name.front() = '_';
  if (!name.empty() && name.back() == '\'') name.back() = '_';
  return name.empty() ? "Sheet1" : name;
}

constexpr std::string_view kOrderListName = "订单"_gbk;
constexpr std::string_view kDeliveryListName = "发货记录"_gbk;
// "已导出 N 行：" and the file's name.
constexpr std::string_view kExportedPrefix = "已导出 "_gbk;
constexpr std::string_view kExportedRows = " 行："_gbk;

struct WorkbookCloser {
  void operator()(lxw_workbook* workbook) const { workbook_close(workbook); }
};

}  // namespace

std::string_view order_list_export_name() { return kOrderListName; }
std::string_view delivery_list_export_name() { return kDeliveryListName; }

std::string padded_date_text(int year, int month, int day) {
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", year, month, day);
  return buffer;
}

std::string export_file_name(std::string_view list_name, std::string_view day) {
  std::string name(list_name);
  name += ' ';
  name += day;
  name += ".xlsx";
  return name;
}

ExportFormat export_format_of(std::string_view file_name, int chosen_type) {
  const auto ends_with = [&](std::string_view extension) {
    if (file_name.size() < extension.size()) return false;
    const std::string_view tail = file_name.substr(file_name.size() - extension.size());
    return std::equal(tail.begin(), tail.end(), extension.begin(), [](char a, char b) {
      return (a >= 'A' && a <= 'Z' ? static_cast<char>(a - 'A' + 'a') : a) == b;
    });
  };
  if (ends_with(".csv")) return ExportFormat::csv;
  if (ends_with(".xlsx")) return ExportFormat::xlsx;
  return chosen_type == 2 ? ExportFormat::csv : ExportFormat::xlsx;
}

std::string csv_field(std::string_view cell) {
  std::string field;
  if (!cell.empty() && std::string_view("=+-@\t\r").find(cell.front()) != std::string_view::npos)
    field += '\'';
  field += cell;
  if (field.find_first_of(",\"\r\n") == std::string::npos) return field;
  std::string quoted = "\"";
  for (char c : field) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

std::string csv_text(const ExportTable& table) {
  // The byte-order mark, by which Excel and WPS know UTF-8.
  constexpr char kByteOrderMark[] = {'\xEF', '\xBB', '\xBF'};
  std::string out(kByteOrderMark, sizeof kByteOrderMark);
  for (const std::vector<std::string>& row : utf8_table(table)) {
    for (std::size_t column = 0; column < row.size(); ++column) {
      if (column > 0) out += ',';
      out += csv_field(row[column]);
    }
    out += "\r\n";
  }
  return out;
}

std::vector<double> column_widths(const ExportTable& table) {
  std::vector<double> widths;
  for (const std::vector<std::string>& row : utf8_table(table)) {
    if (widths.size() < row.size()) widths.resize(row.size(), kMinColumnWidth);
    for (std::size_t column = 0; column < row.size(); ++column)
      widths[column] = std::max(widths[column], display_width(row[column]) + 1);
  }
  for (double& width : widths) width = std::min(width, kMaxColumnWidth);
  return widths;
}

bool write_xlsx(const std::string& utf8_path, std::string_view sheet_name, const ExportTable& table,
                std::string* error) {
  const auto fail = [&](lxw_error code) {
    if (error != nullptr) *error = lxw_strerror(code);
    return false;
  };
  const std::vector<std::vector<std::string>> cells = utf8_table(table);
  std::unique_ptr<lxw_workbook, WorkbookCloser> workbook(workbook_new(utf8_path.c_str()));
  if (workbook == nullptr) return fail(LXW_ERROR_MEMORY_MALLOC_FAILED);
  const std::string name = sheet_name_from(
      utf16_to_multibyte(multibyte_to_utf16(sheet_name, kCodePageGbk), kCodePageUtf8));
  lxw_worksheet* sheet = workbook_add_worksheet(workbook.get(), name.c_str());
  if (sheet == nullptr) sheet = workbook_add_worksheet(workbook.get(), nullptr);
  lxw_format* text = workbook_add_format(workbook.get());
  lxw_format* title = workbook_add_format(workbook.get());
  if (sheet == nullptr || text == nullptr || title == nullptr)
    return fail(LXW_ERROR_MEMORY_MALLOC_FAILED);
  // "@": what is typed into these cells later stays text as well.
  format_set_num_format(text, "@");
  format_set_num_format(title, "@");
  format_set_bold(title);

  const std::vector<double> widths = column_widths(table);
  for (std::size_t column = 0; column < widths.size() && column < LXW_COL_MAX; ++column) {
    const auto col = static_cast<lxw_col_t>(column);
    worksheet_set_column(sheet, col, col, widths[column], text);
  }
  worksheet_freeze_panes(sheet, 1, 0);
  for (std::size_t row = 0; row < cells.size() && row < LXW_ROW_MAX; ++row) {
    for (std::size_t column = 0; column < cells[row].size() && column < LXW_COL_MAX; ++column) {
      const std::string cell(within_cell_limit(cells[row][column]));
      const lxw_error written =
          worksheet_write_string(sheet, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(column),
                                 cell.c_str(), row == 0 ? title : text);
      if (written != LXW_NO_ERROR) return fail(written);
    }
  }
  const lxw_error closed = workbook_close(workbook.release());
  return closed == LXW_NO_ERROR || fail(closed);
}

std::string exported_log_line(std::size_t rows, std::string_view file_name) {
  std::string line(kExportedPrefix);
  line += std::to_string(rows);
  line += kExportedRows;
  line += file_name;
  line += "\r\n";
  return line;
}

}  // namespace quillmere::sheet
