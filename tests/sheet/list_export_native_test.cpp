// A workbook written by 导出, unzipped and read back as Excel reads it.

#include "sheet/list_export.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "test_support.h"

namespace quillmere::sheet {
namespace {

using testing::gbk;

std::string utf8(std::u8string_view text) { return std::string(text.begin(), text.end()); }

class WrittenWorkbook : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::filesystem::temp_directory_path() / ("list-export-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder_);
    path_ = (folder_ / utf8(u8"订单 2026-8-2.xlsx")).string();
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  // One member of the zip, by Info-ZIP's unzip.
  std::string member(const std::string& name) const {
    const std::string command = "unzip -p '" + path_ + "' '" + name + "'";
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
      char buffer[4096];
      while (std::size_t got = std::fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, got);
      pclose(pipe);
    }
    return out;
  }

  std::filesystem::path folder_;
  std::string path_;
};

TEST_F(WrittenWorkbook, every_cell_is_text_and_numbers_stay_whole) {
  const ExportTable table{{"ID", gbk(u8"订单号"), gbk(u8"买家留言"), gbk(u8"销量")},
                          {{"1", "7203011234567890123", gbk(u8"=HYPERLINK(\"http://x\")"), "2"},
                           {"2", "000123", "<b>&amp;</b>", "1.50"},
                           {"3", "", "-1", "1E5"}}};
  std::string error;
  ASSERT_TRUE(write_xlsx(path_, "2026-8-2", table, &error)) << error;

  const std::string sheet = member("xl/worksheets/sheet1.xml");
  const std::string strings = member("xl/sharedStrings.xml");
  ASSERT_FALSE(sheet.empty());
  EXPECT_EQ(sheet.find("<f>"), std::string::npos) << sheet;
  EXPECT_EQ(sheet.find("<f "), std::string::npos);
  // Every cell with a value says it holds a string, shared or inline; an empty cell is left
  // blank (it keeps its text format and has no value).
  int cells = 0;
  for (std::size_t at = sheet.find("<c "); at != std::string::npos;
       at = sheet.find("<c ", at + 1)) {
    const std::string tag = sheet.substr(at, sheet.find('>', at) + 1 - at);
    if (tag.ends_with("/>")) continue;
    EXPECT_TRUE(tag.find(" t=\"s\"") != std::string::npos ||
                tag.find(" t=\"inlineStr\"") != std::string::npos)
        << tag;
    ++cells;
  }
  EXPECT_EQ(cells, 15);
  for (const std::string& text :
       {utf8(u8"<t>订单号</t>"), std::string("<t>7203011234567890123</t>"),
        std::string("<t>000123</t>"), std::string("<t>1.50</t>"), std::string("<t>1E5</t>"),
        std::string("<t>-1</t>"), std::string("<t>&lt;b&gt;&amp;amp;&lt;/b&gt;</t>")})
    EXPECT_NE(strings.find(text), std::string::npos) << text << "\n" << strings;

  // Named after the day, with its header row frozen, bold and sized to the content.
  EXPECT_NE(member("xl/workbook.xml").find("name=\"2026-8-2\""), std::string::npos);
  EXPECT_NE(
      sheet.find(
          "<pane ySplit=\"1\" topLeftCell=\"A2\" activePane=\"bottomLeft\" state=\"frozen\"/>"),
      std::string::npos)
      << sheet;
  EXPECT_NE(member("xl/styles.xml").find("<b/>"), std::string::npos);
  EXPECT_NE(sheet.find("<col min=\"2\" max=\"2\" width=\""), std::string::npos);
}

TEST_F(WrittenWorkbook, an_unwritable_path_fails_with_a_reason) {
  std::string error;
  EXPECT_FALSE(write_xlsx((folder_ / "missing" / "x.xlsx").string(), "d", {{"a"}, {}}, &error));
  EXPECT_FALSE(error.empty());
  // A hostile sheet name is made acceptable rather than refused.
  EXPECT_TRUE(write_xlsx(path_, "a[b]:c*d?e/f\\g'", {{"a"}, {{"1"}}}, &error)) << error;
  EXPECT_NE(member("xl/workbook.xml").find("name=\"a_b__c_d_e_f_g_\""), std::string::npos);
}

}  // namespace
}  // namespace quillmere::sheet
