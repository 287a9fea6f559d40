#pragma once
// Copying out of a report list: its context menu and the clipboard. On the window's thread.

#include <windows.h>

#include "app/list_copy.h"
#include "app/report_list_win.h"

namespace quillmere::app {

// Puts the list's cells of `scope` on the clipboard as Unicode text and as "HTML Format";
// nothing when the scope finds no cells or the clipboard cannot be had.
void copy_from_list(HWND owner, const ReportListView& list, app::CopyScope scope);

// The menu of a right-click or of the menu key on the list. `screen_point` is where the mouse
// was, or (-1, -1) from the keyboard; a right-click selects the row under it first.
void open_copy_menu(HWND owner, const ReportListView& list, POINT screen_point);

}  // namespace quillmere::app
