#pragma once
// The controls' fonts, at a screen scale, and their owner.

#include <windows.h>

#include "app/screen_scale.h"
#include "text/scoped_handle_win.h"

namespace quillmere::app {

using FontHolder = Owned<HFONT, DeleteObject>;

// "SimSun", 12 pixels (at 96 DPI), weight 400, GB2312: the tab captions' font.
HFONT create_tab_caption_font(int dpi = app::kDesignDpi);
// A font with Chinese glyphs for every other control, 12 pixels at 96 DPI: the first installed
// of the faces the shop owner's Windows is likely to have; the font mapper picks a GB2312 face
// otherwise.
HFONT create_control_font(int dpi = app::kDesignDpi);

}  // namespace quillmere::app
