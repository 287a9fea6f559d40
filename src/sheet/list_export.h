#pragma once
// What 导出 writes from one of the report lists: the file's proposed name, the CSV text and the
// workbook. Cells come in as the lists hold them (GBK) and go out as UTF-8; every cell stays
// text, so a spreadsheet never turns a long order number into a rounded figure.

#include <string>
#include <string_view>
#include <vector>

namespace quillmere::sheet {

enum class ExportFormat { xlsx, csv };

// A list as it is shown: its column titles and its rows, GBK.
struct ExportTable {
  std::vector<std::string> titles;
  std::vector<std::vector<std::string>> rows;
};

// The names the file takes after the list: "订单" and "发货记录" (GBK).
std::string_view order_list_export_name();
std::string_view delivery_list_export_name();

// Four-digit year, "-", two-digit month, "-", two-digit day: 2026-12-09.
std::string padded_date_text(int year, int month, int day);

// "订单 2026-8-2.xlsx": the list's name, a space, the day, the extension (GBK).
std::string export_file_name(std::string_view list_name, std::string_view day);

// The format a chosen file name asks for: its extension (.csv or .xlsx, any case), else the
// type chosen in the Save As dialog (1 the workbook, 2 CSV).
ExportFormat export_format_of(std::string_view file_name, int chosen_type);

// One CSV field from a UTF-8 cell: a cell that a spreadsheet would take as a formula (it begins
// with = + - @, a tab or a CR) gets a leading ', then the field is quoted when it holds a
// comma, a quote or a line break.
std::string csv_field(std::string_view cell);

// The whole CSV file: UTF-8 with a byte-order mark, the titles first, every row ending in CRLF.
std::string csv_text(const ExportTable& table);

// Column widths in Excel's character units, from the widest cell of each column (a Chinese
// character counts two).
std::vector<double> column_widths(const ExportTable& table);

// Writes the table as a workbook at `utf8_path` with one sheet named `sheet_name` (GBK): a bold,
// frozen header row, columns sized to their content, every cell a text cell. False when the
// file could not be written; `error` then holds libxlsxwriter's reason.
bool write_xlsx(const std::string& utf8_path, std::string_view sheet_name, const ExportTable& table,
                std::string* error);

// "已导出 N 行：", the file's name, CRLF (GBK); N counts the rows without the titles.
std::string exported_log_line(std::size_t rows, std::string_view file_name);

}  // namespace quillmere::sheet
