#pragma once
// The shell's small pieces, one file per topic, for a file that still asks for them all at once
// (the export's window, which moves on its own).

#include "app/control_layout_win.h"
#include "app/edge_text_win.h"
#include "app/fonts_win.h"
#include "app/program_folder_win.h"
#include "app/program_icons_win.h"
#include "app/screen_dpi_win.h"
#include "app/system_handles_win.h"
#include "app/system_message_win.h"
