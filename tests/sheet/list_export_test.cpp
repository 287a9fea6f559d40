// What 导出 writes: the file's name and the CSV text.

#include "sheet/list_export.h"

#include <gtest/gtest.h>

#include <string>

#include "test_support.h"

namespace quillmere::sheet {
namespace {

using testing::gbk;

std::string utf8(std::u8string_view text) { return std::string(text.begin(), text.end()); }

TEST(list_export, file_names_and_formats) {
  EXPECT_EQ(export_file_name(order_list_export_name(), "2026-8-2"), gbk(u8"订单 2026-8-2.xlsx"));
  EXPECT_EQ(export_file_name(delivery_list_export_name(), padded_date_text(2026, 12, 9)),
            gbk(u8"发货记录 2026-12-09.xlsx"));
  // The extension typed wins over the type chosen; without one the type decides.
  EXPECT_EQ(export_format_of("a.CSV", 1), ExportFormat::csv);
  EXPECT_EQ(export_format_of("a.xlsx", 2), ExportFormat::xlsx);
  EXPECT_EQ(export_format_of("csv", 1), ExportFormat::xlsx);
  EXPECT_EQ(export_format_of("a.txt", 2), ExportFormat::csv);
  EXPECT_EQ(export_format_of("", 0), ExportFormat::xlsx);
}

TEST(list_export, csv_fields_that_a_spreadsheet_would_run_are_defused_and_quoted) {
  // Buyers write the note: every formula start gets the apostrophe, wherever the field is.
  for (const char* hostile : {"=1+2", "+1", "-1", "@SUM(A1)", "\tx", "\rx"})
    EXPECT_EQ(csv_field(hostile).find('\''), csv_field(hostile).front() == '"' ? 1u : 0u)
        << hostile;
  EXPECT_EQ(csv_field("=HYPERLINK(\"http://x\",\"y\")"),
            "\"'=HYPERLINK(\"\"http://x\"\",\"\"y\"\")\"");
  EXPECT_EQ(csv_field("\r\n=1"), "\"'\r\n=1\"");
  // Only the first character counts; a formula sign inside is plain text.
  EXPECT_EQ(csv_field("a=1-2"), "a=1-2");
  EXPECT_EQ(csv_field("a,b"), "\"a,b\"");
  EXPECT_EQ(csv_field("say \"hi\""), "\"say \"\"hi\"\"\"");
  EXPECT_EQ(csv_field("two\nlines"), "\"two\nlines\"");
  EXPECT_EQ(csv_field(""), "");
  // Long order numbers go out digit for digit.
  EXPECT_EQ(csv_field("1234567890123456789"), "1234567890123456789");
}

TEST(list_export, csv_text_is_utf8_with_a_byte_order_mark_and_crlf_rows) {
  const ExportTable table{{"ID", gbk(u8"订单号"), gbk(u8"买家留言")},
                          {{"1", "7203011234567890123", gbk(u8"=尽快发货，谢谢")},
                           {"2", "7203019999999", gbk(u8"包装\"结实\"\r\n别压")},
                           {"3", "", ""}}};
  EXPECT_EQ(csv_text(table),
            "\xEF\xBB\xBF" + utf8(u8"ID,订单号,买家留言\r\n"
                                  u8"1,7203011234567890123,'=尽快发货，谢谢\r\n"
                                  u8"2,7203019999999,\"包装\"\"结实\"\"\r\n别压\"\r\n"
                                  u8"3,,\r\n"));
  // An empty list still has its titles; rows of any length are written as they are.
  EXPECT_EQ(csv_text({{"a"}, {}}),
            "\xEF\xBB\xBF"
            "a\r\n");
  EXPECT_EQ(csv_text({{"a", "b"}, {{"1"}, {"1", "2", "3"}}}),
            "\xEF\xBB\xBF"
            "a,b\r\n1\r\n1,2,3\r\n");
  // Bytes that are not GBK become what the code page gives for them, never a crash; the
  // cells around them keep their places.
  const std::string broken = csv_text({{"x", "y"}, {{"\xD6", "ok"}}});
  EXPECT_EQ(broken.substr(broken.size() - 5), ",ok\r\n");
}

TEST(list_export, columns_are_as_wide_as_their_widest_cell) {
  const std::vector<double> widths =
      column_widths({{"ID", gbk(u8"商品名")}, {{"12345678901234567890", gbk(u8"手工皂")}, {"1"}}});
  ASSERT_EQ(widths.size(), 2u);
  EXPECT_EQ(widths[0], 21);  // twenty digits and a margin
  EXPECT_EQ(widths[1], 7);   // three Chinese characters count six
  EXPECT_EQ(column_widths({{std::string(500, 'x')}, {}}).front(), 60);
}

TEST(list_export, log_line_counts_the_rows) {
  EXPECT_EQ(exported_log_line(3, gbk(u8"C:\\订单 2026-8-2.xlsx")),
            gbk(u8"已导出 3 行：C:\\订单 2026-8-2.xlsx\r\n"));
}

}  // namespace
}  // namespace quillmere::sheet
