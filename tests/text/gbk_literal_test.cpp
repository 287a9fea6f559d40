#include "text/gbk_literal.h"

#include <gtest/gtest.h>

#include <string>

#include "test_support.h"
#include "text/codepage.h"

namespace quillmere {
namespace {

using testing::gbk;

// The table is made by a script from Python's cp936; the program reads and writes texts through
// the code-page layer. Both must agree on every character the texts use, in both builds.
TEST(gbk_literal, every_table_entry_is_what_code_page_936_makes_of_its_character) {
  char32_t previous = 0;
  for (const gbk_literal::TableEntry& entry : gbk_literal::kTable) {
    const auto code = static_cast<unsigned>(entry.code);
    ASSERT_LT(code, 0x10000u);
    EXPECT_LT(previous, entry.code) << "table not sorted at U+" << std::hex << code;
    previous = entry.code;
    const std::u16string unit(1, static_cast<char16_t>(entry.code));
    const std::string bytes{static_cast<char>(entry.lead), static_cast<char>(entry.trail)};
    EXPECT_EQ(utf16_to_multibyte(unit, kCodePageGbk), bytes) << "U+" << std::hex << code;
    EXPECT_EQ(multibyte_to_utf16(bytes, kCodePageGbk), unit) << "U+" << std::hex << code;
  }
}

TEST(gbk_literal, ascii_and_escapes_stay_as_written) {
  constexpr std::string_view text = "a\"b\\c\r\n\t{}"_gbk;
  EXPECT_EQ(text, std::string_view("a\"b\\c\r\n\t{}"));
  EXPECT_EQ(""_gbk.size(), 0u);
}

TEST(gbk_literal, mixed_text_matches_runtime_conversion) {
  EXPECT_EQ(std::string_view("请登陆微店API,在获取订单"_gbk), gbk(u8"请登陆微店API,在获取订单"));
  EXPECT_EQ(std::string_view("600:DHL（国际件）"_gbk), gbk(u8"600:DHL（国际件）"));
  // Adjacent pieces are joined before conversion, so a character may not be split.
  EXPECT_EQ(std::string_view("\"status_reason\":\""
                             "参数错误，"_gbk),
            gbk(u8"\"status_reason\":\"参数错误，"));
}

TEST(gbk_literal, is_a_zero_terminated_constant) {
  constexpr std::string_view view = "登陆成功\r\n"_gbk;
  static_assert(view.size() == 10);
  constexpr const char* text = "登陆"_gbk.c_str();
  EXPECT_EQ(std::string(text), gbk(u8"登陆"));
}

}  // namespace
}  // namespace quillmere
