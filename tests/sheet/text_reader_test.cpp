// CSV and tab-separated text from a file or the clipboard: encodings, separators, quotes.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sheet/read.h"
#include "test_support.h"

namespace quillmere::sheet {
namespace {

using testing::gbk;
using Texts = std::vector<std::vector<std::string>>;

std::string bytes(std::u8string_view utf8) { return std::string(utf8.begin(), utf8.end()); }

Texts texts_of(const Table& table) {
  Texts out;
  for (const Row& row : table.rows) {
    std::vector<std::string> texts;
    for (const Cell& cell : row) {
      EXPECT_FALSE(cell.number);
      texts.push_back(cell.text);
    }
    out.push_back(texts);
  }
  return out;
}

TEST(read_text_file, encodings) {
  const std::string gbk_title = gbk(u8"订单号,快递公司");
  const std::string utf16le("\xFF\xFE\xA2\x8B\x55\x53\xF7\x53\x2C\x00\x31\x00", 12);  // 订单号,1
  const std::string utf16be("\xFE\xFF\x8B\xA2\x53\x55\x53\xF7\x00\x2C\x00\x31", 12);
  struct Case {
    const char* name;
    std::string input;
    Texts expected;
  };
  const Case cases[] = {
      {"UTF-8 with a byte-order mark",
       "\xEF\xBB\xBF" + bytes(u8"订单号,快递公司\r\n"),
       {{gbk(u8"订单号"), gbk(u8"快递公司")}}},
      {"UTF-8 without one", bytes(u8"订单号,顺丰速运\n"), {{gbk(u8"订单号"), gbk(u8"顺丰速运")}}},
      // What Excel and WPS on a Chinese Windows save as CSV: kept byte for byte.
      {"GBK", gbk_title + "\r\n", {{gbk(u8"订单号"), gbk(u8"快递公司")}}},
      // Valid as UTF-8 by chance would be a misreading; 中文 in GBK is not valid UTF-8.
      {"GBK with a trail byte like ASCII", gbk(u8"中文,表格"), {{gbk(u8"中文"), gbk(u8"表格")}}},
      {"UTF-16 LE (Excel's Unicode text)", utf16le, {{gbk(u8"订单号"), "1"}}},
      {"UTF-16 BE", utf16be, {{gbk(u8"订单号"), "1"}}},
      {"ASCII", "a,b", {{"a", "b"}}},
      {"a character GBK lacks", bytes(u8"\u0E01,x"), {{"?", "x"}}},
  };
  for (const Case& c : cases) {
    const ReadResult read = read_text_file(c.input);
    EXPECT_EQ(read.error, "") << c.name;
    EXPECT_EQ(texts_of(read.table), c.expected) << c.name;
  }
}

TEST(read_text_file, separators_quotes_and_line_ends) {
  struct Case {
    const char* name;
    std::string input;
    Texts expected;
  };
  const Case cases[] = {
      {"commas", "a,b,c\r\n1,2,3\r\n", {{"a", "b", "c"}, {"1", "2", "3"}}},
      {"tabs win when the first line has one", "a\tb,c\n1\t2,3\n", {{"a", "b,c"}, {"1", "2,3"}}},
      {"a tab inside quotes on the first line decides nothing",
       "\"a\tb\",c\n1,2",
       {{"a\tb", "c"}, {"1", "2"}}},
      {"a tab on a later line does not decide", "a,b\n1\t2,3", {{"a", "b"}, {"1\t2", "3"}}},
      {"LF, CRLF and CR alike", "a\nb\r\nc\rd", {{"a"}, {"b"}, {"c"}, {"d"}}},
      {"quoted commas", "\"7203,1\",x", {{"7203,1", "x"}}},
      {"doubled quotes", "\"say \"\"hi\"\"\",x", {{"say \"hi\"", "x"}}},
      {"line breaks inside quotes", "\"a\r\nb\",c\r\nd,e", {{"a\r\nb", "c"}, {"d", "e"}}},
      {"a quote inside an unquoted field is text", "ab\"c,d", {{"ab\"c", "d"}}},
      {"text after a closing quote is kept", "\"ab\"c,d", {{"abc", "d"}}},
      {"an unclosed quote runs to the end", "\"ab,c\nd", {{"ab,c\nd"}}},
      {"empty fields", ",a,,\n", {{"", "a", "", ""}}},
      {"empty lines in the middle stay", "a\n\nb", {{"a"}, {""}, {"b"}}},
      {"empty lines at the end go", "a\r\n\r\n,,\r\n\n", {{"a"}}},
      {"no final line break", "a,b", {{"a", "b"}}},
      {"long ids stay digit for digit",
       "720301123456789012345,1.23E+17",
       {{"720301123456789012345", "1.23E+17"}}},
      {"NUL bytes dropped", std::string("a\0b,c", 5), {{"ab", "c"}}},
      {"nothing at all", "", {}},
  };
  for (const Case& c : cases) {
    const ReadResult read = read_text_file(c.input);
    EXPECT_EQ(read.error, "") << c.name;
    EXPECT_EQ(texts_of(read.table), c.expected) << c.name;
  }
}

TEST(read_pasted_text, excel_ranges) {
  struct Case {
    const char* name;
    std::string input;
    Texts expected;
  };
  const Case cases[] = {
      {"a copied range",
       gbk(u8"订单号\t快递\r\n7203\t顺丰\r\n"),
       {{gbk(u8"订单号"), gbk(u8"快递")}, {"7203", gbk(u8"顺丰")}}},
      // Commas are text on the clipboard, even on the first line.
      {"commas are text", "a,b\tc\r\n", {{"a,b", "c"}}},
      {"a cell holding a line break, quoted", "\"a\nb\"\tc\r\n", {{"a\nb", "c"}}},
      {"a cell holding a quote", "\"5\"\" box\"\tc", {{"5\" box", "c"}}},
      {"empty cells at the row's end", "a\t\t\r\nb\t\t\r\n", {{"a", "", ""}, {"b", "", ""}}},
      {"one cell", "7203", {{"7203"}}},
  };
  for (const Case& c : cases) {
    const ReadResult read = read_pasted_text(c.input);
    EXPECT_EQ(read.error, "") << c.name;
    EXPECT_EQ(texts_of(read.table), c.expected) << c.name;
  }
}

TEST(read_text_file, refuses_what_would_not_fit) {
  const std::string wide(kMaxColumns, ',');  // kMaxColumns + 1 fields
  EXPECT_NE(read_text_file(wide).error, "");
  std::string fits = wide;
  fits.back() = 'x';
  EXPECT_EQ(read_text_file(fits).table.rows.at(0).size(), kMaxColumns);
  std::string tall;
  for (std::size_t i = 0; i <= kMaxCells / 8; ++i) tall += "1,2,3,4,5,6,7,8\n";
  const ReadResult read = read_text_file(tall);
  EXPECT_TRUE(read.table.rows.empty());
  EXPECT_EQ(read.error, gbk(u8"表格太大，无法读取：最多 1048576 行、16384 列、2000000 个单元格。"));
}

TEST(read_sheet_file, told_by_content_not_name) {
  const std::string compound_file("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1\0\0\0\0", 12);
  EXPECT_TRUE(is_legacy_xls(compound_file));
  EXPECT_FALSE(is_legacy_xls(compound_file.substr(0, 7)));
  EXPECT_FALSE(is_legacy_xls("PK\x03\x04"));
  // A real .xls named .csv gets the message, whichever reader the name picked.
  for (const ReadResult& read :
       {read_sheet_file(compound_file), read_text_file(compound_file), read_xlsx(compound_file)}) {
    EXPECT_EQ(read.error, legacy_xls_message());
    EXPECT_TRUE(read.table.rows.empty());
  }
  EXPECT_NE(legacy_xls_message().find(".xlsx"), std::string_view::npos);
  EXPECT_EQ(texts_of(read_sheet_file("a,b").table), (Texts{{"a", "b"}}));
  // A zip's signature sends the bytes to the workbook reader.
  EXPECT_NE(read_sheet_file(std::string("PK\x03\x04garbage", 11)).error, "");
}

}  // namespace
}  // namespace quillmere::sheet
