#include "app/list_copy.h"

#include <cstdio>
#include <string_view>

namespace quillmere::app {
namespace {

std::string flattened(std::string_view cell) {
  std::string out(cell);
  for (char& c : out) {
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  }
  return out;
}

std::string html_escaped(std::string_view cell) {
  std::string out;
  out.reserve(cell.size());
  for (char c : flattened(cell)) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

// The header's offsets are written with a fixed width, so its length is known before them.
std::string offset_text(std::size_t offset) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%010zu", offset);
  return digits;
}

}  // namespace

CopiedCells cells_to_copy(CopyScope scope, const std::vector<std::string>& titles,
                          const std::vector<std::vector<std::string>>& rows, int selected) {
  CopiedCells copied;
  if (scope == CopyScope::all) {
    copied.rows.push_back(titles);
    copied.rows.insert(copied.rows.end(), rows.begin(), rows.end());
    return copied;
  }
  if (selected < 0 || static_cast<std::size_t>(selected) >= rows.size()) return copied;
  const std::vector<std::string>& row = rows[static_cast<std::size_t>(selected)];
  if (scope == CopyScope::row) {
    copied.rows.push_back(row);
    return copied;
  }
  copied.rows.push_back({row.size() > kOrderIdColumn ? row[kOrderIdColumn] : std::string()});
  copied.single_value = true;
  return copied;
}

std::string plain_text(const CopiedCells& cells) {
  if (cells.single_value && !cells.rows.empty() && !cells.rows.front().empty())
    return flattened(cells.rows.front().front());
  std::string out;
  for (const std::vector<std::string>& row : cells.rows) {
    for (std::size_t column = 0; column < row.size(); ++column) {
      if (column > 0) out += '\t';
      out += flattened(row[column]);
    }
    out += "\r\n";
  }
  return out;
}

std::string html_clipboard_text(const CopiedCells& cells) {
  std::string fragment = "<table>";
  for (const std::vector<std::string>& row : cells.rows) {
    fragment += "<tr>";
    for (const std::string& cell : row) {
      fragment += "<td style='mso-number-format:\"\\@\"'>";
      fragment += html_escaped(cell);
      fragment += "</td>";
    }
    fragment += "</tr>";
  }
  fragment += "</table>";

  constexpr std::string_view kBefore =
      "<html><head><meta charset=\"utf-8\"></head><body>\r\n<!--StartFragment-->";
  constexpr std::string_view kAfter = "<!--EndFragment-->\r\n</body></html>";
  const std::string header_form =
      "Version:0.9\r\nStartHTML:" + offset_text(0) + "\r\nEndHTML:" + offset_text(0) +
      "\r\nStartFragment:" + offset_text(0) + "\r\nEndFragment:" + offset_text(0) + "\r\n";
  const std::size_t start_html = header_form.size();
  const std::size_t start_fragment = start_html + kBefore.size();
  const std::size_t end_fragment = start_fragment + fragment.size();
  const std::size_t end_html = end_fragment + kAfter.size();
  std::string out = "Version:0.9\r\nStartHTML:" + offset_text(start_html) +
                    "\r\nEndHTML:" + offset_text(end_html) +
                    "\r\nStartFragment:" + offset_text(start_fragment) +
                    "\r\nEndFragment:" + offset_text(end_fragment) + "\r\n";
  out.reserve(end_html);
  out.append(kBefore).append(fragment).append(kAfter);
  return out;
}

}  // namespace quillmere::app
