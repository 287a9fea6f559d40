#pragma once
// The couriers of the express window's combo box, in their order there.

#include <array>
#include <string>
#include <string_view>

namespace quillmere::shop {

inline constexpr std::size_t kCourierCount = 75;

// Entry 0, "999:无需物流", means no shipping is needed. Codes are not sorted.
extern const std::array<std::string_view, kCourierCount> kCouriers;

// The part of an entry before its first ":" (the whole text without one).
std::string express_code(std::string_view courier_entry);

}  // namespace quillmere::shop
