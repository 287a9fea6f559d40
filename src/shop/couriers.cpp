#include "shop/couriers.h"

#include <algorithm>
#include <unordered_map>

#include "shop/cell_text.h"
#include "text/gbk.h"
#include "text/gbk_literal.h"

namespace quillmere::shop {

const std::array<std::string_view, kCourierCount> kCouriers = {
    "999:无需物流"_gbk,
    "1:顺丰速运"_gbk,
    "2:圆通速递"_gbk,
    "3:中通速递"_gbk,
    "4:申通快递"_gbk,
    "5:汇通快运"_gbk,
    "6:韵达快递"_gbk,
    "7:宅急送"_gbk,
    "8:联邦快递"_gbk,
    "9:EMS",
    "20:全峰快递"_gbk,
    "21:百世汇通"_gbk,
    "22:优速快递"_gbk,
    "23:快捷快递"_gbk,
    "24:德邦"_gbk,
    "25:中国邮政"_gbk,
    "26:微特派"_gbk,
    "27:龙邦速递"_gbk,
    "28:速尔快递"_gbk,
    "29:万象物流"_gbk,
    "30:大洋物流"_gbk,
    "600:DHL（国际件）"_gbk,
    "601:EMS（国际件）"_gbk,
    "602:Fedex（国际件）"_gbk,
    "603:Fedex（美国件）"_gbk,
    "604:Fedex（英国件）"_gbk,
    "605:TNT",
    "606:TNT（澳大利亚件）"_gbk,
    "607:TNT（英国件）"_gbk,
    "608:UPS",
    "609:USPS",
    "610:Skynet",
    "611:日本邮政"_gbk,
    "612:韩国邮政"_gbk,
    "613:澳大利亚邮政"_gbk,
    "614:香港邮政"_gbk,
    "615:新加坡邮政大包"_gbk,
    "616:新加坡邮政小包"_gbk,
    "617:英国邮政大包"_gbk,
    "618:马来西亚邮政大包"_gbk,
    "619:马来西亚邮政小包"_gbk,
    "620:新西兰邮政"_gbk,
    "38248:国通快递"_gbk,
    "42975:天天快递"_gbk,
    "260702:增益"_gbk,
    "260703:中铁物流"_gbk,
    "260704:中铁快运"_gbk,
    "260705:能达"_gbk,
    "260706:一统飞鸿"_gbk,
    "260707:如风达"_gbk,
    "260708:赛澳递"_gbk,
    "260709:海红网送"_gbk,
    "260710:通和天下"_gbk,
    "260711:郑州建华"_gbk,
    "260712:红马甲"_gbk,
    "260713:芝麻开门"_gbk,
    "260714:乐捷递"_gbk,
    "260715:立即送"_gbk,
    "260716:银捷"_gbk,
    "260717:门对门"_gbk,
    "260718:河北建华"_gbk,
    "260719:风行天下"_gbk,
    "260720:尚橙"_gbk,
    "260721:新蛋奥硕"_gbk,
    "262919:人人快递"_gbk,
    "275869:闪送"_gbk,
    "301465:佳吉快运"_gbk,
    "301466:泰国138国际物流"_gbk,
    "301467:程光快递"_gbk,
    "301468:长江国际速递"_gbk,
    "301469:蓝天快递"_gbk,
    "301470:PCA Express",
    "329724:邮政快包"_gbk,
    "341539:邮政小包"_gbk,
    "103032:马虎快递公司"_gbk,
};

std::string express_code(std::string_view courier_entry) {
  return std::string(courier_entry.substr(0, courier_entry.find(':')));
}

std::string_view courier_name(std::string_view courier_entry) {
  const std::size_t colon = courier_entry.find(':');
  return colon == std::string_view::npos ? courier_entry : courier_entry.substr(colon + 1);
}

namespace {

// Words that end a courier's name and that owners leave out or swap for one another.
constexpr std::array<std::string_view, 5> kNameSuffixes = {
    "快递"_gbk, "速递"_gbk, "速运"_gbk, "快运"_gbk, "物流"_gbk,
};

// The codes 600 to 699 are the international services.
bool is_international(int index) {
  const std::string code = express_code(kCouriers[static_cast<std::size_t>(index)]);
  return code.size() == 3 && code[0] == '6';
}

// A folded name without one of the suffixes; the name itself when it has none or is nothing else.
std::string_view stem_of(std::string_view folded_name) {
  for (std::string_view suffix : kNameSuffixes) {
    if (folded_name.size() <= suffix.size() || !folded_name.ends_with(suffix)) continue;
    const std::size_t cut = folded_name.size() - suffix.size();
    // The suffix must begin on a character of its own, not on the second byte of another.
    std::size_t at = 0;
    while (at < cut) at += gbk::char_width(folded_name, at);
    if (at == cut) return folded_name.substr(0, cut);
  }
  return folded_name;
}

// The table folded once, for lookups by code, name and stem.
struct CourierIndex {
  std::array<std::string, kCourierCount> names;  // folded
  std::unordered_map<std::string, int> by_code;
  std::unordered_map<std::string, int> by_name;
  std::unordered_map<std::string, std::vector<int>> by_stem;

  CourierIndex() {
    for (std::size_t i = 0; i < kCourierCount; ++i) {
      const int index = static_cast<int>(i);
      names[i] = folded_for_matching(courier_name(kCouriers[i]));
      by_code.emplace(express_code(kCouriers[i]), index);
      by_name.emplace(names[i], index);
      by_stem[std::string(stem_of(names[i]))].push_back(index);
    }
  }
};

const CourierIndex& courier_index() {
  static const CourierIndex index;
  return index;
}

std::vector<int> ranked(std::vector<int> candidates) {
  std::stable_partition(candidates.begin(), candidates.end(),
                        [](int index) { return !is_international(index); });
  return candidates;
}

CourierMatch found(int index) { return {CourierMatch::Kind::found, index, {}}; }

}  // namespace

CourierMatch match_courier(std::string_view text) {
  const CourierIndex& table = courier_index();
  const std::string folded = trim_blanks(folded_for_matching(text));
  if (folded.empty()) return {};
  if (const auto code = table.by_code.find(folded); code != table.by_code.end())
    return found(code->second);
  if (const auto name = table.by_name.find(folded); name != table.by_name.end())
    return found(name->second);

  // The combo box's text: code and name must name the same entry.
  if (const std::size_t colon = folded.find(':'); colon != std::string::npos) {
    const auto code = table.by_code.find(trim_blanks(folded.substr(0, colon)));
    if (code == table.by_code.end()) return {};
    const std::string name = trim_blanks(folded.substr(colon + 1));
    if (name == table.names[static_cast<std::size_t>(code->second)]) return found(code->second);
    return {};
  }

  const std::string stem(stem_of(folded));
  if (const auto same = table.by_stem.find(stem); same != table.by_stem.end()) {
    if (same->second.size() == 1) return found(same->second.front());
    return {CourierMatch::Kind::ambiguous, -1, ranked(same->second)};
  }

  // A part of names: the owner is shown which ones. One ASCII letter, or a suffix alone, is in
  // too many to say.
  std::vector<int> holding;
  const bool suffix_alone =
      std::find(kNameSuffixes.begin(), kNameSuffixes.end(), stem) != kNameSuffixes.end();
  if (stem.size() >= 2 && !suffix_alone) {
    for (std::size_t i = 0; i < kCourierCount; ++i) {
      if (contains_characters(table.names[i], stem)) holding.push_back(static_cast<int>(i));
    }
  }
  const CourierMatch::Kind kind =
      holding.size() >= 2 ? CourierMatch::Kind::ambiguous : CourierMatch::Kind::unknown;
  return {kind, -1, ranked(std::move(holding))};
}

}  // namespace quillmere::shop
