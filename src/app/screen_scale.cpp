#include "app/screen_scale.h"

#include <cstdint>

namespace quillmere::app {

int scale_to_dpi(int pixels, int dpi) {
  const std::int64_t product = static_cast<std::int64_t>(pixels) * dpi;
  const std::int64_t half = product < 0 ? -kDesignDpi / 2 : kDesignDpi / 2;
  return static_cast<int>((product + half) / kDesignDpi);
}

int usable_dpi(int reported) {
  // Windows scales to at most 500 %; anything beyond is a bad answer, not a screen.
  return reported >= kDesignDpi / 2 && reported <= kDesignDpi * 5 ? reported : kDesignDpi;
}

Size grow_to_hold(Size outer, Size client, Size needed) {
  if (client.width < needed.width) outer.width += needed.width - client.width;
  if (client.height < needed.height) outer.height += needed.height - client.height;
  return outer;
}

}  // namespace quillmere::app
