// The texts a copy from the lists puts on the clipboard.

#include "app/list_copy.h"

#include <gtest/gtest.h>

#include <string>

namespace quillmere::app {
namespace {

const std::vector<std::string> kTitles = {"ID", "order", "qty"};
const std::vector<std::vector<std::string>> kRows = {
    {"1", "7203011234567", "2"},
    {"2", "7203019999999", "1\tand\r\nmore"},
};

TEST(list_copy, each_scope_takes_its_cells) {
  EXPECT_EQ(cells_to_copy(CopyScope::order_id, kTitles, kRows, 1).rows,
            (std::vector<std::vector<std::string>>{{"7203019999999"}}));
  EXPECT_TRUE(cells_to_copy(CopyScope::order_id, kTitles, kRows, 1).single_value);
  EXPECT_EQ(cells_to_copy(CopyScope::row, kTitles, kRows, 0).rows,
            (std::vector<std::vector<std::string>>{kRows[0]}));
  EXPECT_FALSE(cells_to_copy(CopyScope::row, kTitles, kRows, 0).single_value);
  const CopiedCells all = cells_to_copy(CopyScope::all, kTitles, kRows, -1);
  ASSERT_EQ(all.rows.size(), 3u);
  EXPECT_EQ(all.rows[0], kTitles);
  EXPECT_EQ(all.rows[2], kRows[1]);
  // An empty list still copies its titles.
  EXPECT_EQ(cells_to_copy(CopyScope::all, kTitles, {}, -1).rows.size(), 1u);
}

TEST(list_copy, without_a_selected_row_only_all_copies_anything) {
  for (int selected : {-1, 2, -7}) {
    EXPECT_TRUE(cells_to_copy(CopyScope::order_id, kTitles, kRows, selected).rows.empty())
        << selected;
    EXPECT_TRUE(cells_to_copy(CopyScope::row, kTitles, kRows, selected).rows.empty()) << selected;
  }
  EXPECT_EQ(plain_text(cells_to_copy(CopyScope::row, kTitles, kRows, -1)), "");
  // A row shorter than the order id column yields an empty value, not a crash.
  EXPECT_EQ(plain_text(cells_to_copy(CopyScope::order_id, kTitles, {{"1"}}, 0)), "");
}

TEST(list_copy, plain_text_has_tabs_between_cells_and_crlf_after_every_row_but_a_single_value) {
  EXPECT_EQ(plain_text(cells_to_copy(CopyScope::order_id, kTitles, kRows, 0)), "7203011234567");
  EXPECT_EQ(plain_text(cells_to_copy(CopyScope::row, kTitles, kRows, 0)),
            "1\t7203011234567\t2\r\n");
  EXPECT_EQ(plain_text(cells_to_copy(CopyScope::all, kTitles, kRows, -1)),
            "ID\torder\tqty\r\n1\t7203011234567\t2\r\n2\t7203019999999\t1 and  more\r\n");
  // GBK passes through byte for byte: 商品 (C9 CC C6 B7).
  EXPECT_EQ(plain_text(CopiedCells{{{"\xC9\xCC\xC6\xB7", "x"}}, false}), "\xC9\xCC\xC6\xB7\tx\r\n");
}

// The header's offsets, read back as a paster reads them.
std::size_t header_offset(const std::string& text, const std::string& key) {
  const std::size_t at = text.find(key + ":");
  if (at == std::string::npos) return std::string::npos;
  return std::stoul(text.substr(at + key.size() + 1, 10));
}

TEST(list_copy, html_offsets_point_at_the_document_and_the_fragment) {
  const std::string html = html_clipboard_text(cells_to_copy(CopyScope::all, kTitles, kRows, -1));
  ASSERT_EQ(html.rfind("Version:0.9\r\n", 0), 0u);
  const std::size_t start_html = header_offset(html, "StartHTML");
  const std::size_t end_html = header_offset(html, "EndHTML");
  const std::size_t start_fragment = header_offset(html, "StartFragment");
  const std::size_t end_fragment = header_offset(html, "EndFragment");
  EXPECT_EQ(html.compare(start_html, 6, "<html>"), 0) << html;
  EXPECT_EQ(end_html, html.size());
  EXPECT_EQ(html.substr(start_fragment - 20, 20), "<!--StartFragment-->");
  EXPECT_EQ(html.compare(end_fragment, 18, "<!--EndFragment-->"), 0);
  const std::string fragment = html.substr(start_fragment, end_fragment - start_fragment);
  EXPECT_EQ(fragment.rfind("<table><tr>", 0), 0u) << fragment;
  EXPECT_EQ(fragment.substr(fragment.size() - 13), "</tr></table>");
}

TEST(list_copy, html_cells_are_marked_as_text_and_escaped) {
  const std::string html =
      html_clipboard_text(CopiedCells{{{"7203011234567", "<b>&\"x\"\t\n"}}, false});
  EXPECT_NE(html.find("<td style='mso-number-format:\"\\@\"'>7203011234567</td>"),
            std::string::npos)
      << html;
  EXPECT_NE(html.find(">&lt;b&gt;&amp;&quot;x&quot;  </td>"), std::string::npos) << html;
  // UTF-8 goes through untouched and the offsets count its bytes.
  const std::string chinese =
      html_clipboard_text(CopiedCells{{{"\xE6\x89\x8B\xE5\xB7\xA5"}}, true});
  EXPECT_EQ(header_offset(chinese, "EndHTML"), chinese.size());
  EXPECT_NE(chinese.find(">\xE6\x89\x8B\xE5\xB7\xA5</td>"), std::string::npos);
}

}  // namespace
}  // namespace quillmere::app
