#pragma once
// What the notification-area icon says: its tooltip while monitoring runs, and the notice of a
// monitoring pass that added orders. Texts are GBK; the shell converts them at the edge.
//
// Windows counts the limits in UTF-16 units, closing zero included (szTip[128],
// szInfoTitle[64], szInfo[256]). Code page 936 gives one unit per GBK character (none lies
// outside the Basic Multilingual Plane), and at most one per byte that forms no character, so
// these texts are counted that way and cut only between characters.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "shop/ports.h"

namespace quillmere::app {

// The most UTF-16 units each text may hold, without the closing zero.
inline constexpr std::size_t kTipUnits = 127;
inline constexpr std::size_t kNoticeTitleUnits = 63;
inline constexpr std::size_t kNoticeTextUnits = 255;
// Orders named in a notice; more are summed up in a last line.
inline constexpr std::size_t kNoticeOrderLines = 3;

// How many UTF-16 units `text` takes at most once converted from code page 936.
std::size_t utf16_units(std::string_view text);
// The longest head of `text` that takes at most `units` UTF-16 units and ends between two
// characters.
std::string_view cut_to_units(std::string_view text, std::size_t units);

// "Quillmere 监控中 " and the order date text, within the tooltip's limit.
std::string monitoring_tip(std::string_view order_date);

struct Notice {
  std::string title;
  std::string text;
};

// Title "新订单"; text: the first orders as "商品名 × 数量", one a line, then "等 N 单" (N all
// the orders) when there are more. Tabs and line breaks inside a name or a quantity become
// spaces, so that every order keeps one line. Names too long for the limit share what is left
// of it and end in "…"; every line that has room is kept.
Notice new_order_notice(const std::vector<shop::AddedOrder>& orders);

}  // namespace quillmere::app
