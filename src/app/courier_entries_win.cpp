#include "app/courier_entries_win.h"

namespace quillmere::app {

// PENDING-SHOP: fill from the shop module's courier table once it exists.
std::vector<std::string> courier_entries() { return {}; }

// PENDING-SHOP: ask the shop module; entry 0 is "no shipping needed".
bool courier_needs_tracking_number(int index) { return index >= 1; }

}  // namespace quillmere::app
