#pragma once
// The courier combo box's entries and the tracking box's rule, from the shop's courier table.

#include <string>
#include <vector>

namespace quillmere::app {

// GBK texts such as "1:顺丰速运", in the table's order.
std::vector<std::string> courier_entries();

// Whether the entry at `index` (0 or more) ships with a tracking number.
bool courier_needs_tracking_number(int index);

}  // namespace quillmere::app
