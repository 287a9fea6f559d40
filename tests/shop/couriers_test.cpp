// What a courier cell of a bulk list names.

#include "shop/couriers.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace quillmere::shop {
namespace {

using quillmere::testing::gbk;
using Kind = CourierMatch::Kind;

// The codes of the entries a match names, in its order.
std::vector<std::string> codes_of(const std::vector<int>& indexes) {
  std::vector<std::string> codes;
  for (int index : indexes)
    codes.push_back(express_code(kCouriers[static_cast<std::size_t>(index)]));
  return codes;
}

TEST(match_courier, every_entry_is_found_by_its_code_its_name_and_its_text) {
  for (std::size_t i = 0; i < kCouriers.size(); ++i) {
    SCOPED_TRACE(i);
    for (const std::string& form :
         {express_code(kCouriers[i]), std::string(courier_name(kCouriers[i])),
          std::string(kCouriers[i])}) {
      const CourierMatch match = match_courier(form);
      EXPECT_EQ(match.kind, Kind::found) << form;
      EXPECT_EQ(match.index, static_cast<int>(i)) << form;
    }
  }
}

TEST(match_courier, takes_the_forms_an_owner_writes) {
  struct Case {
    std::u8string_view text;
    std::string code;
  };
  for (const Case& c : {
           Case{u8"1", "1"},
           Case{u8"  1\t", "1"},
           Case{u8"１", "1"},                 // a Chinese keyboard's digits
           Case{u8"３０１４７０", "301470"},  // all of them
           Case{u8"顺丰速运", "1"},
           Case{u8"　顺丰速运　", "1"},  // ideographic spaces
           Case{u8"1:顺丰速运", "1"},
           Case{u8"1：顺丰速运", "1"},  // full-width colon
           Case{u8" 3 : 中通速递 ", "3"},
           Case{u8"999", "999"},
           Case{u8"无需物流", "999"},
           Case{u8"999:无需物流", "999"},
           Case{u8"顺丰", "1"},      // the stem of one entry
           Case{u8"中通快递", "3"},  // another suffix on the same stem
           Case{u8"中通", "3"},
           Case{u8"德邦物流", "24"},
           Case{u8"韵达速递", "6"},
           Case{u8"汇通", "5"},  // 百世汇通's stem is itself
           Case{u8"ems", "9"},   // ASCII in any case
           Case{u8"ＥＭＳ", "9"},
           Case{u8"ups", "608"},
           Case{u8"pca express", "301470"},
           Case{u8"马虎快递公司", "103032"},
       }) {
    const std::string text = gbk(c.text);
    const CourierMatch match = match_courier(text);
    ASSERT_EQ(match.kind, Kind::found) << text;
    EXPECT_EQ(express_code(kCouriers[static_cast<std::size_t>(match.index)]), c.code) << text;
  }
}

TEST(match_courier, names_the_candidates_when_it_cannot_tell) {
  struct Case {
    std::u8string_view text;
    Kind kind;
    std::vector<std::string> codes;  // the candidates, domestic first
  };
  for (const Case& c : {
           // A part of many names: the domestic ones come first.
           Case{u8"邮政",
                Kind::ambiguous,
                {"25", "329724", "341539", "611", "612", "613", "614", "615", "616", "617", "618",
                 "619", "620"}},
           // One stem, two entries.
           Case{u8"中铁", Kind::ambiguous, {"260703", "260704"}},
           Case{u8"中铁快递", Kind::ambiguous, {"260703", "260704"}},
           Case{u8"fedex", Kind::ambiguous, {"602", "603", "604"}},
           // One name holds it: a hint, not a guess.
           Case{u8"DHL", Kind::unknown, {"600"}},
           Case{u8"宅急", Kind::unknown, {"7"}},
           Case{u8"火星快递", Kind::unknown, {}},
           // Code and name of different entries.
           Case{u8"1:中通速递", Kind::unknown, {}},
           Case{u8"88:顺丰速运", Kind::unknown, {}},
           Case{u8"", Kind::unknown, {}},
           Case{u8"   ", Kind::unknown, {}},
           Case{u8"快递", Kind::unknown, {}},  // a suffix alone names nothing
           Case{u8"0", Kind::unknown, {}},
           Case{u8"S", Kind::unknown, {}},  // one letter is in too many names to say
           Case{u8"1.0", Kind::unknown, {}},
       }) {
    const std::string text = gbk(c.text);
    const CourierMatch match = match_courier(text);
    EXPECT_EQ(match.kind, c.kind) << text;
    EXPECT_EQ(match.index, -1) << text;
    EXPECT_EQ(codes_of(match.candidates), c.codes) << text;
  }
}

TEST(match_courier, finds_nothing_in_bytes_that_are_no_text) {
  for (std::string_view bytes : {std::string_view("\xFF\xFF"), std::string_view("\x81"),
                                 std::string_view("1\xB5"), std::string_view("\0", 1)}) {
    EXPECT_EQ(match_courier(bytes).kind, Kind::unknown);
  }
}

}  // namespace
}  // namespace quillmere::shop
