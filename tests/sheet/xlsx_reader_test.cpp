// The first sheet of a workbook: as libxlsxwriter (and so 导出) writes one, as a second producer
// lays one out by hand, and damaged or hostile ones.

#include <xlsxwriter.h>
#include <zlib.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "sheet/list_export.h"
#include "sheet/read.h"
#include "sheet/zip_bytes.h"
#include "test_support.h"

namespace quillmere::sheet {
namespace {

using ::quillmere::testing::gbk;
using testing::zip_of;
using testing::ZipEntry;

// A cell as expected: its text (UTF-8 here, GBK in the table) and whether it was a number.
struct Expected {
  std::u8string_view text;
  bool number = false;
};

void expect_table(const ReadResult& read, const std::vector<std::vector<Expected>>& rows,
                  const char* name) {
  SCOPED_TRACE(name);
  EXPECT_EQ(read.error, "");
  ASSERT_EQ(read.table.rows.size(), rows.size());
  for (std::size_t r = 0; r < rows.size(); ++r) {
    ASSERT_EQ(read.table.rows[r].size(), rows[r].size()) << "row " << r;
    for (std::size_t c = 0; c < rows[r].size(); ++c) {
      EXPECT_EQ(read.table.rows[r][c].text, gbk(rows[r][c].text)) << "row " << r << " column " << c;
      EXPECT_EQ(read.table.rows[r][c].number, rows[r][c].number) << "row " << r << " column " << c;
    }
  }
}

std::string u8(std::u8string_view text) { return std::string(text.begin(), text.end()); }

class WorkbookFile : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ =
        (std::filesystem::temp_directory_path() / ("sheet-read-" + std::to_string(ticks) + ".xlsx"))
            .string();
  }
  void TearDown() override { std::filesystem::remove(path_); }
  std::string bytes() const {
    std::ifstream in(path_, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::string path_;
};

TEST_F(WorkbookFile, written_by_libxlsxwriter) {
  lxw_workbook* workbook = workbook_new(path_.c_str());
  ASSERT_NE(workbook, nullptr);
  lxw_worksheet* first = workbook_add_worksheet(workbook, "订单");
  lxw_worksheet* second = workbook_add_worksheet(workbook, nullptr);
  worksheet_write_string(first, 0, 0, u8(u8"订单号").c_str(), nullptr);
  worksheet_write_string(first, 0, 2, u8(u8"快递单号").c_str(), nullptr);
  // Excel keeps 15 significant digits of such a number; the reader must show what is stored.
  worksheet_write_number(first, 1, 0, 123456789012345678.0, nullptr);
  worksheet_write_string(first, 1, 2, "SF1234567890123", nullptr);
  worksheet_write_number(first, 3, 1, 42, nullptr);
  worksheet_write_boolean(first, 3, 3, 1, nullptr);
  worksheet_write_string(second, 0, 0, "not the first sheet", nullptr);
  ASSERT_EQ(workbook_close(workbook), LXW_NO_ERROR);

  ReadResult read = read_xlsx(bytes());
  ASSERT_EQ(read.error, "");
  ASSERT_GE(read.table.rows.size(), 2u);
  ASSERT_GE(read.table.rows[1].size(), 1u);
  // Digits already lost: shown as stored, never as 123456789012345678.
  Cell& id = read.table.rows[1][0];
  EXPECT_TRUE(id.number);
  EXPECT_TRUE(id.text.starts_with("1.23456789012345") && id.text.ends_with("E+17")) << id.text;
  id.text = "id";
  expect_table(read,
               {{{u8"订单号"}, {u8""}, {u8"快递单号"}},
                {{u8"id", true}, {u8""}, {u8"SF1234567890123"}},
                {},
                {{u8""}, {u8"42", true}, {u8""}, {u8"TRUE"}}},
               "libxlsxwriter");
}

// 导出's workbook, two columns filled in by the owner, reads back cell for cell.
TEST_F(WorkbookFile, written_by_export_reads_back) {
  ExportTable table;
  table.titles = {gbk(u8"订单号"), gbk(u8"商品名"), gbk(u8"快递公司"), gbk(u8"快递单号")};
  table.rows = {{"720301123456789012345", gbk(u8"手工皂（薰衣草）"), gbk(u8"顺丰"), "SF1"},
                {"7203", "=1+2", "", ""}};
  std::string error;
  ASSERT_TRUE(write_xlsx(path_, "2026-8-2", table, &error)) << error;
  const ReadResult read = read_sheet_file(bytes());
  expect_table(read,
               {{{u8"订单号"}, {u8"商品名"}, {u8"快递公司"}, {u8"快递单号"}},
                {{u8"720301123456789012345"}, {u8"手工皂（薰衣草）"}, {u8"顺丰"}, {u8"SF1"}},
                // Empty cells are written blank, and a row ends at its last value.
                {{u8"7203"}, {u8"=1+2"}}},
               "export");
}

constexpr std::string_view kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr std::string_view kRelations =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

std::string workbook_xml() {
  // The first sheet listed is not sheet1.xml: it is found through the relationships.
  return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><workbook xmlns=\"") +
         std::string(kMain) + "\" xmlns:r=\"" + std::string(kRelations) +
         "\"><sheets><sheet name=\"" + u8(u8"发货") +
         "\" sheetId=\"3\" r:id=\"rId7\"/><sheet name=\"b\" sheetId=\"1\" r:id=\"rId1\"/>"
         "</sheets></workbook>";
}

std::string relationships_xml() {
  const std::string type = std::string(kRelations) + "/";
  return "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
         "<Relationship Id=\"rId1\" Type=\"" +
         type + "worksheet\" Target=\"worksheets/sheet1.xml\"/><Relationship Id=\"rId7\" Type=\"" +
         type + "worksheet\" Target=\"/xl/worksheets/../worksheets/shipping.xml\"/>" +
         "<Relationship Id=\"rId9\" Type=\"" + type +
         "sharedStrings\" Target=\"strings.xml\"/></Relationships>";
}

std::string shared_strings_xml() {
  return "<sst xmlns=\"" + std::string(kMain) + "\" count=\"3\" uniqueCount=\"3\">" +
         u8(u8"<si><t>订单号</t></si>") +
         // Rich text: runs joined, the phonetic guide left out, spaces kept.
         u8(u8"<si><r><rPr><b/></rPr><t>快递</t></r><r><t xml:space=\"preserve\">公司 </t></r>"
            u8"<rPh sb=\"0\" eb=\"1\"><t>kuai</t></rPh></si>") +
         "<si><t>a&amp;b &lt;c&gt;</t></si></sst>";
}

// Cells with and without references, gaps, and every kind of value; a namespace prefix.
std::string shipping_sheet_xml() {
  return "<x:worksheet xmlns:x=\"" + std::string(kMain) +
         "\"><x:dimension ref=\"A1:E5\"/><x:sheetData>"
         "<x:row r=\"1\"><x:c r=\"A1\" t=\"s\"><x:v>0</x:v></x:c>"
         "<x:c r=\"C1\" t=\"s\" s=\"2\"><x:v>1</x:v></x:c><x:c r=\"D1\" s=\"3\"/></x:row>"
         "<x:row r=\"3\"><x:c r=\"A3\" t=\"inlineStr\"><x:is><x:t>" +
         u8(u8"中文") +
         "</x:t></x:is></x:c><x:c r=\"B3\"><x:v>1.23456789012346E+17</x:v></x:c>"
         "<x:c r=\"C3\" t=\"b\"><x:v>0</x:v></x:c><x:c r=\"D3\" t=\"e\"><x:v>#N/A</x:v></x:c>"
         "<x:c r=\"E3\" t=\"str\"><x:f>A3</x:f><x:v>x</x:v></x:c></x:row>"
         "<x:row><x:c t=\"s\"><x:v>2</x:v></x:c><x:c><x:v>12</x:v></x:c>"
         "<x:c t=\"inlineStr\"><x:is><x:r><x:t>S</x:t></x:r><x:r><x:t>F</x:t></x:r></x:is></x:c>"
         "</x:row><x:row><x:c r=\"B5\" t=\"n\"><x:v>7</x:v></x:c></x:row>"
         "<x:row r=\"9\"><x:c r=\"A9\" s=\"1\"/></x:row></x:sheetData></x:worksheet>";
}

std::vector<ZipEntry> hand_made(bool deflate) {
  return {{"[Content_Types].xml", "<Types/>", deflate},
          {"xl/workbook.xml", workbook_xml(), deflate},
          {"xl/_rels/workbook.xml.rels", relationships_xml(), deflate},
          {"xl/strings.xml", shared_strings_xml(), deflate},
          {"xl/worksheets/sheet1.xml",
           "<worksheet><sheetData><row><c t=\"inlineStr\"><is><t>wrong"
           "</t></is></c></row></sheetData></worksheet>",
           deflate},
          {"xl/worksheets/shipping.xml", shipping_sheet_xml(), deflate}};
}

TEST(read_xlsx, second_producer) {
  const std::vector<std::vector<Expected>> expected = {
      {{u8"订单号"}, {u8""}, {u8"快递公司 "}},
      {},
      {{u8"中文"}, {u8"1.23456789012346E+17", true}, {u8"FALSE"}, {u8"#N/A"}, {u8"x"}},
      {{u8"a&b <c>"}, {u8"12", true}, {u8"SF"}},
      {{u8""}, {u8"7", true}}};
  expect_table(read_xlsx(zip_of(hand_made(false))), expected, "stored");
  expect_table(read_xlsx(zip_of(hand_made(true))), expected, "deflated");
}

TEST(read_xlsx, without_listing_takes_sheet1) {
  expect_table(read_xlsx(zip_of({{"xl/worksheets/sheet1.xml",
                                  "<worksheet><sheetData><row><c r=\"B2\"><v>5</v></c></row>"
                                  "</sheetData></worksheet>"}})),
               {{{u8""}, {u8"5", true}}}, "sheet1 only");
}

// What the owner is told for each kind of bad file; none crashes or is read in part.
TEST(read_xlsx, damaged_and_hostile_files) {
  const std::string not_zip = gbk(u8"文件不是有效的 .xlsx 工作簿（无法解压）。");
  const std::string no_sheet = gbk(u8"文件不是有效的 .xlsx 工作簿（找不到工作表）。");
  const std::string damaged = gbk(u8"文件不是有效的 .xlsx 工作簿（内容已损坏）。");
  const std::string doctype = gbk(u8"文件不是有效的 .xlsx 工作簿（含有不允许的 DTD 声明）。");
  const std::string too_large =
      gbk(u8"表格太大，无法读取：最多 1048576 行、16384 列、2000000 个单元格。");
  const auto sheet = [](const std::string& xml) {
    return zip_of({{"xl/worksheets/sheet1.xml", xml, true}});
  };
  const std::string good = zip_of(hand_made(true));
  std::string flipped = zip_of(hand_made(false));
  flipped[flipped.find("1.23456789012346E+17")] = '2';  // a stored part whose checksum fails
  const std::string laughs =
      "<?xml version=\"1.0\"?><!DOCTYPE l [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b "
      "\"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">]>"
      "<worksheet><sheetData><row><c t=\"inlineStr\"><is><t>&c;</t></is></c></row></sheetData>"
      "</worksheet>";
  struct Case {
    const char* name;
    std::string bytes;
    std::string error;
  };
  const Case cases[] = {
      {"empty", "", not_zip},
      {"text", "order,courier", not_zip},
      {"half a workbook", good.substr(0, good.size() / 2), not_zip},
      {"a zip without a sheet", zip_of({{"a.txt", "a"}}), no_sheet},
      {"a checksum that fails", flipped, damaged},
      {"XML cut short", sheet("<worksheet><sheetData><row>"), damaged},
      {"not XML", sheet("\x01\x02 garbage"), damaged},
      {"an undefined entity", sheet("<worksheet>&x;</worksheet>"), damaged},
      {"a DOCTYPE", sheet("<!DOCTYPE worksheet SYSTEM \"file:///etc/passwd\"><worksheet/>"),
       doctype},
      {"entities multiplying", sheet(laughs), doctype},
      {"a shared string that is not there",
       sheet("<worksheet><sheetData><row><c t=\"s\"><v>0</v></c></row></sheetData></worksheet>"),
       damaged},
      {"a column past XFD",
       sheet("<worksheet><sheetData><row><c r=\"XFE1\"><v>1</v></c></row></sheetData></worksheet>"),
       too_large},
      {"a row past 1048576",
       sheet("<worksheet><sheetData><row r=\"1048577\"><c><v>1</v></c></row></sheetData>"
             "</worksheet>"),
       too_large},
  };
  for (const Case& c : cases) {
    const ReadResult read = read_xlsx(c.bytes);
    EXPECT_EQ(read.error, c.error) << c.name;
    EXPECT_TRUE(read.table.rows.empty()) << c.name;
  }
}

TEST(read_xlsx, refuses_a_zip_bomb) {
  // About 200 KB that unpack to just over the limit.
  const std::string block(1 << 20, ' ');
  const std::size_t repeats = kMaxUnpackedBytes / block.size() + 1;
  uLong crc = crc32(0, nullptr, 0);
  for (std::size_t i = 0; i < repeats; ++i)
    crc = crc32(crc, reinterpret_cast<const Bytef*>(block.data()), static_cast<uInt>(block.size()));
  const std::string bomb =
      testing::zip_of_raw({{"xl/worksheets/sheet1.xml", testing::deflated(block, repeats),
                            static_cast<std::uint32_t>(crc), repeats * block.size(), true}});
  EXPECT_LT(bomb.size(), 1u << 20);
  EXPECT_EQ(read_xlsx(bomb).error, gbk(u8"工作簿解压后超过 200 MB，无法读取。"));
}

}  // namespace
}  // namespace quillmere::sheet
