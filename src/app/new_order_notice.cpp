#include "app/new_order_notice.h"

#include <algorithm>
#include <numeric>

#include "text/gbk.h"
#include "text/gbk_literal.h"

namespace quillmere::app {
namespace {

constexpr std::string_view kTipPrefix = "Quillmere 监控中 "_gbk;
constexpr std::string_view kNoticeTitle = "新订单"_gbk;
constexpr std::string_view kTimes = " × "_gbk;
constexpr std::string_view kMorePrefix = "等 "_gbk;
constexpr std::string_view kMoreSuffix = " 单"_gbk;
constexpr std::string_view kEllipsis = "…"_gbk;
constexpr std::string_view kLineBreak = "\n";
// A quantity is a few digits; one longer than this would crowd the names out.
constexpr std::size_t kQuantityUnits = 16;

// Control bytes never sit inside a GBK character (trail bytes start at 0x40), so they are
// replaced byte by byte.
std::string one_line(std::string_view text) {
  std::string line(text);
  for (char& c : line) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7F) c = ' ';
  }
  return line;
}

// At most `units` units, the last of them "…" when something was cut off.
std::string shortened(const std::string& text, std::size_t units) {
  if (utf16_units(text) <= units) return text;
  if (units == 0) return {};
  std::string cut(cut_to_units(text, units - 1));
  return cut.append(kEllipsis);
}

// How many units each name may keep so that all of them together take at most `budget`:
// short names whole, the long ones sharing the rest evenly.
std::vector<std::size_t> name_shares(const std::vector<std::size_t>& lengths, std::size_t budget) {
  std::vector<std::size_t> shares(lengths.size(), 0);
  std::vector<std::size_t> order(lengths.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return lengths[a] < lengths[b]; });
  std::size_t left = budget;
  for (std::size_t k = 0; k < order.size(); ++k) {
    const std::size_t others = order.size() - k;
    const std::size_t share = left / others;
    const std::size_t i = order[k];
    shares[i] = std::min(lengths[i], share);
    left -= shares[i];
  }
  return shares;
}

}  // namespace

std::size_t utf16_units(std::string_view text) {
  std::size_t units = 0;
  for (std::size_t at = 0; at < text.size(); at += gbk::char_width(text, at)) ++units;
  return units;
}

std::string_view cut_to_units(std::string_view text, std::size_t units) {
  std::size_t at = 0;
  for (std::size_t taken = 0; at < text.size() && taken < units; ++taken)
    at += gbk::char_width(text, at);
  return text.substr(0, at);
}

std::string monitoring_tip(std::string_view order_date) {
  std::string tip(kTipPrefix);
  tip.append(one_line(order_date));
  return std::string(cut_to_units(tip, kTipUnits));
}

Notice new_order_notice(const std::vector<shop::AddedOrder>& orders) {
  Notice notice{std::string(cut_to_units(kNoticeTitle, kNoticeTitleUnits)), {}};
  const std::size_t named = std::min(orders.size(), kNoticeOrderLines);

  std::vector<std::string> names;
  std::vector<std::string> tails;  // " × 数量", with the line break before the next line
  for (std::size_t i = 0; i < named; ++i) {
    names.push_back(one_line(orders[i].item_name));
    std::string tail(kTimes);
    tail.append(shortened(one_line(orders[i].quantity), kQuantityUnits));
    if (i + 1 < named || orders.size() > named) tail.append(kLineBreak);
    tails.push_back(std::move(tail));
  }
  std::string more;
  if (orders.size() > named) {
    more.append(kMorePrefix).append(std::to_string(orders.size())).append(kMoreSuffix);
  }

  std::size_t fixed = utf16_units(more);
  std::vector<std::size_t> lengths;
  for (std::size_t i = 0; i < named; ++i) {
    fixed += utf16_units(tails[i]);
    lengths.push_back(utf16_units(names[i]));
  }
  const std::size_t budget = fixed < kNoticeTextUnits ? kNoticeTextUnits - fixed : 0;
  const std::vector<std::size_t> shares = name_shares(lengths, budget);

  std::string text;
  for (std::size_t i = 0; i < named; ++i) {
    text.append(shortened(names[i], shares[i])).append(tails[i]);
  }
  text.append(more);
  // Only a count of orders beyond reason could overrun still: then the end goes.
  notice.text = std::string(cut_to_units(text, kNoticeTextUnits));
  return notice;
}

}  // namespace quillmere::app
