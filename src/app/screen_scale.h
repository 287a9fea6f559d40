#pragma once
// The windows' figures are pixels at 96 DPI (100 %); on a scaled screen each is that many
// pixels at the window's DPI. Kept apart from the window code so that the rounding and the
// growth rule are tested natively.

namespace quillmere::app {

inline constexpr int kDesignDpi = 96;

// `pixels` at 96 DPI as pixels at `dpi`: pixels × dpi / 96 rounded half away from zero, which is
// what Windows' MulDiv gives. Exact at 96.
int scale_to_dpi(int pixels, int dpi);

// The DPI a window reports, or 96 when the report makes no sense (a failed query gives 0).
int usable_dpi(int reported);

struct Size {
  int width = 0;
  int height = 0;
  friend bool operator==(const Size&, const Size&) = default;
};

// The outer size whose client area holds `needed`: `outer` grown in each direction by as much
// as `client` falls short there, and by nothing where it does not.
Size grow_to_hold(Size outer, Size client, Size needed);

}  // namespace quillmere::app
