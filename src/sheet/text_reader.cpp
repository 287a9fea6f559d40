// CSV and tab-separated text, from a file or the clipboard.

#include <string>

#include "sheet/read.h"
#include "sheet/read_limits.h"
#include "text/codepage.h"

namespace quillmere::sheet {
namespace {

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool is_valid_utf8(std::string_view bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  for (std::size_t i = 0; i < n;) {
    const unsigned char lead = p[i];
    if (lead < 0x80) {
      ++i;
      continue;
    }
    std::size_t length;
    unsigned char low = 0x80, high = 0xBF;  // the second byte's range
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    if (n - i < length || p[i + 1] < low || p[i + 1] > high) return false;
    for (std::size_t k = 2; k < length; ++k)
      if ((p[i + k] & 0xC0) != 0x80) return false;
    i += length;
  }
  return true;
}

std::string gbk_from_utf16(std::string_view bytes, bool big_endian) {
  std::u16string units;
  units.reserve(bytes.size() / 2);
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto first = static_cast<unsigned char>(bytes[i]);
    const auto second = static_cast<unsigned char>(bytes[i + 1]);
    units += static_cast<char16_t>(big_endian ? (first << 8 | second) : (second << 8 | first));
  }
  return utf16_to_multibyte(units, kCodePageGbk);
}

// The file's text as GBK.
std::string gbk_text_of(std::string_view bytes) {
  const auto starts_with = [&](std::string_view mark) {
    return bytes.substr(0, mark.size()) == mark;
  };
  if (starts_with("\xEF\xBB\xBF")) return recode(bytes.substr(3), kCodePageUtf8, kCodePageGbk);
  if (starts_with("\xFF\xFE")) return gbk_from_utf16(bytes.substr(2), false);
  if (starts_with("\xFE\xFF")) return gbk_from_utf16(bytes.substr(2), true);
  if (is_valid_utf8(bytes)) return recode(bytes, kCodePageUtf8, kCodePageGbk);
  return std::string(bytes);
}

// A tab outside quotes on the first line (which quotes may stretch over several) makes the text
// tab-separated: a tab is never part of ordinary cell text, while commas are.
char separator_of(std::string_view text) {
  bool quoted = false;
  for (const char c : text) {
    if (c == '"') quoted = !quoted;
    if (quoted) continue;
    if (c == '\t') return '\t';
    if (c == '\r' || c == '\n') break;
  }
  return ',';
}

bool is_empty(const Row& row) {
  for (const Cell& cell : row)
    if (!cell.text.empty()) return false;
  return true;
}

// RFC 4180, leniently as spreadsheets read it: a quote opens a quoted field only at the field's
// start; what follows a closing quote up to the separator is kept; an unclosed quote runs to the
// end. Bytes of GBK's second half are never a separator, quote or line break, so the text is
// split byte by byte. NUL bytes are dropped, as a program text ends at its first one.
ReadResult parse_delimited(std::string_view text, char separator) {
  ReadResult result;
  std::vector<Row>& rows = result.table.rows;
  CellBudget budget;
  Row row;
  std::string field;
  bool quoted = false, field_started = false, line_started = false;
  const auto end_field = [&] {
    if (!budget.take(row.size() + 1)) return false;
    row.push_back(Cell{std::move(field), false});
    field.clear();
    field_started = false;
    return true;
  };
  const auto end_line = [&] {
    if (!end_field() || rows.size() >= kMaxRows) return false;
    rows.push_back(std::move(row));
    row.clear();
    line_started = false;
    return true;
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\0') continue;
    line_started = true;
    if (quoted) {
      if (c != '"') {
        field += c;
      } else if (i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        ++i;
      } else {
        quoted = false;
      }
      continue;
    }
    if (c == separator) {
      if (!end_field()) return budget.refused();
    } else if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      if (!end_line()) return budget.refused();
    } else if (c == '"' && !field_started) {
      quoted = true;
      field_started = true;
    } else {
      field += c;
      field_started = true;
    }
  }
  if (line_started && !end_line()) return budget.refused();
  while (!rows.empty() && is_empty(rows.back())) rows.pop_back();
  return result;
}

}  // namespace

ReadResult read_text_file(std::string_view bytes) {
  if (is_legacy_xls(bytes)) return ReadResult{{}, std::string(legacy_xls_message())};
  const std::string text = gbk_text_of(bytes);
  return parse_delimited(text, separator_of(text));
}

ReadResult read_pasted_text(std::string_view gbk) { return parse_delimited(gbk, '\t'); }

}  // namespace quillmere::sheet
