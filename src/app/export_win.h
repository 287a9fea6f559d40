#pragma once
// 导出: one of the main window's lists into an .xlsx or .csv file the owner names in the Save As
// dialog. On the window's thread; the dialog runs its own modal loop meanwhile.

#include <windows.h>

#include <string>

#include "app/report_list_win.h"
#include "sheet/list_export.h"

namespace quillmere::app {

// The command id of 导出… in the lists' menu, clear of the copy scopes' ids.
inline constexpr UINT kExportCommand = 0x100;

// Asks for a file and writes the list there whole, or leaves the file as it was and says why in
// a message box. `owner` is the main window: its date picker names the orders' day and its log
// gets the line of a written file.
void export_list(HWND owner, const ReportListView& list);

// Asks for a file, proposing the name `proposed` (GBK), and writes `table` there whole (`day`
// names the workbook's day), or leaves the file as it was and says why in a message box over
// `owner`. The line of a written file goes to the log of `main_window`.
void export_table(HWND owner, HWND main_window, const sheet::ExportTable& table,
                  const std::string& proposed, const std::string& day);

// The file replaced in one step by `bytes`, or the system's error code (0 when written).
// The target is untouched until the new content is whole on disk beside it.
DWORD replace_file_with(const std::wstring& target, const std::string& bytes);

}  // namespace quillmere::app
