#pragma once
// The couriers of the express window's combo box, in their order there.

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace quillmere::shop {

inline constexpr std::size_t kCourierCount = 75;

// Entry 0, "999:无需物流", means no shipping is needed. Codes are not sorted.
extern const std::array<std::string_view, kCourierCount> kCouriers;

// The part of an entry before its first ":" (the whole text without one).
std::string express_code(std::string_view courier_entry);

// The part of an entry after its first ":" ("顺丰速运" of "1:顺丰速运").
std::string_view courier_name(std::string_view courier_entry);

// What a courier cell of a bulk list names.
struct CourierMatch {
  enum class Kind { found, unknown, ambiguous };
  Kind kind = Kind::unknown;
  int index = -1;  // found: the entry's index in kCouriers
  // ambiguous: the entries it may mean; unknown: the one entry whose name holds it, if any.
  // Domestic couriers first, then the international ones, each in table order.
  std::vector<int> candidates;
};

// Takes, with blanks at either end trimmed and full-width forms read as ASCII (so "１" is 1), and
// ASCII letters in any case: the code ("1"), the name ("顺丰速运"), the combo box's own text
// ("1:顺丰速运", code and name of one entry), 999 and 无需物流 alike, and a name without its
// suffix (快递, 速递, 速运, 快运, 物流) when that stem is the stem of exactly one entry: 顺丰 and
// 中通快递 find 1:顺丰速运 and 3:中通速递. A stem shared by several entries, or a text that several
// names hold (邮政), is ambiguous.
CourierMatch match_courier(std::string_view text);

}  // namespace quillmere::shop
