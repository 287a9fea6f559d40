#pragma once
// The couriers the platform accepts in "express_type": the same 75 that the program offers.

#include <span>
#include <string_view>

namespace quillmere::sandbox {

struct courier {
  std::string_view code;
  std::string_view name;  // UTF-8
};

// In the program's order, "999" (no shipping needed) first.
std::span<const courier> courier_table();

// The courier whose code is exactly `code`, or null.
const courier* find_courier(std::string_view code);

// The code of "no shipping needed": no tracking number is required with it.
inline constexpr std::string_view kNoLogisticsCode = "999";

}  // namespace quillmere::sandbox
