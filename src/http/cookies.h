#pragma once
// Cookie texts: name=value items joined by "; ".

#include <string>
#include <string_view>

namespace quillmere {

// The text before an item's first "=", trimmed of spaces.
std::string cookie_name(std::string_view item);

// Updates `cookies` from `new_cookies`: new items win over held items of the same name,
// "=deleted" items vanish, exact duplicates go. Removes every space from both arguments;
// returns the merged text, which `cookies` also holds.
std::string merge_cookies(std::string& cookies, std::string& new_cookies);

}  // namespace quillmere
