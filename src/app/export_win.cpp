#include "app/export_win.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shlobj.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "app/control_ids.h"
#include "app/win32_support_win.h"
#include "sheet/list_export.h"
#include "shop/requests.h"
#include "text/codepage.h"
#include "text/gbk_literal.h"

namespace quillmere::app {
namespace {

constexpr UINT kWarningFlags = MB_OK | MB_ICONEXCLAMATION;
constexpr std::string_view kCaption = "Quillmere";

// Where the next Save As opens in this run; nothing is kept between runs.
std::wstring last_folder;

std::wstring folder_of(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring(L".") : path.substr(0, slash);
}

std::wstring documents_folder() {
  wchar_t path[MAX_PATH] = {};
  if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, path)))
    return path;
  return {};
}

// A new, empty file beside `target` that no one else has, kept open by `file`.
DWORD create_temporary_beside(const std::wstring& target, std::wstring* name, HANDLE* file) {
  const std::wstring folder = folder_of(target);
  DWORD error = ERROR_FILE_EXISTS;
  for (unsigned attempt = 0; attempt < 100 && error == ERROR_FILE_EXISTS; ++attempt) {
    *name = folder + L"\\~quillmere-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(GetTickCount() + attempt) + L".tmp";
    // A plain file: it becomes the target, attributes and all.
    *file = CreateFileW(name->c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                        nullptr);
    error = *file == INVALID_HANDLE_VALUE ? GetLastError() : 0;
  }
  return error;
}

// Writes a temporary file beside `target` through `write`, then puts it in the target's place.
DWORD replace_file(
    const std::wstring& target,
    const std::function<DWORD(const std::wstring& temporary, FileHandle& file)>& write) {
  std::wstring temporary;
  HANDLE handle = INVALID_HANDLE_VALUE;
  if (const DWORD error = create_temporary_beside(target, &temporary, &handle)) return error;
  FileHandle file(handle);
  DWORD error = write(temporary, file);
  // Closing can fail (data the system had not yet written), and is told.
  const HANDLE still_open = file.release();
  if (still_open != INVALID_HANDLE_VALUE && !CloseHandle(still_open) && error == 0)
    error = GetLastError();
  if (error == 0 && !MoveFileExW(temporary.c_str(), target.c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    error = GetLastError();
  if (error != 0) DeleteFileW(temporary.c_str());
  return error;
}

DWORD write_csv(const std::wstring& target, const sheet::ExportTable& table) {
  return replace_file_with(target, sheet::csv_text(table));
}

// `reason` receives libxlsxwriter's own words when it refused.
DWORD write_workbook(const std::wstring& target, std::string_view day,
                     const sheet::ExportTable& table, std::string* reason) {
  return replace_file(target, [&](const std::wstring& temporary, FileHandle& file) -> DWORD {
    // libxlsxwriter opens the file itself, by name.
    file.reset();
    SetLastError(0);
    if (sheet::write_xlsx(bytes_from(temporary, kCodePageUtf8), day, table, reason)) return 0;
    const DWORD error = GetLastError();
    return error != 0 ? error : ERROR_WRITE_FAULT;
  });
}

// The order list's day is the date chosen; the delivery list is today's.
std::string export_day(HWND owner, bool orders) {
  SYSTEMTIME day{};
  if (!orders || DateTime_GetSystemtime(GetDlgItem(owner, kDatePicker), &day) != GDT_VALID)
    GetLocalTime(&day);
  const shop::Date date{day.wYear, day.wMonth, day.wDay};
  return orders ? shop::order_date_text(date)
                : sheet::padded_date_text(date.year, date.month, date.day);
}

void append_to_log(HWND owner, std::string_view text) {
  HWND log = GetDlgItem(owner, kLogEdit);
  const std::wstring units = wide(text);
  const int end = GetWindowTextLengthW(log);
  SendMessageW(log, EM_SETSEL, end, end);
  SendMessageW(log, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(units.c_str()));
  SendMessageW(log, EM_SCROLLCARET, 0, 0);
}

// The Save As dialog; false when the owner cancelled it.
bool ask_for_file(HWND owner, const std::string& proposed, std::wstring* chosen, int* type) {
  // Two types, each a caption and a pattern, ended by an empty one.
  std::wstring filter = wide("Excel 工作簿 (*.xlsx)"_gbk);
  filter += L'\0';
  filter += L"*.xlsx";
  filter += L'\0';
  filter += L"CSV UTF-8 (*.csv)";
  filter += L'\0';
  filter += L"*.csv";
  filter += L'\0';
  std::vector<wchar_t> file(32768, L'\0');
  const std::wstring name = wide(proposed);
  name.copy(file.data(), file.size() - 1);
  const std::wstring folder = last_folder.empty() ? documents_folder() : last_folder;

  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filter.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = static_cast<DWORD>(file.size());
  dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  dialog.lpstrDefExt = L"xlsx";
  dialog.Flags =
      OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
  if (!GetSaveFileNameW(&dialog)) return false;
  *chosen = file.data();
  *type = static_cast<int>(dialog.nFilterIndex);
  return true;
}

sheet::ExportTable table_of(const ReportListView& list) {
  sheet::ExportTable table;
  for (const std::wstring& title : list.titles_on_window_thread())
    table.titles.push_back(gbk(title));
  const std::vector<std::vector<std::wstring>> rows = list.rows_on_window_thread();
  table.rows.reserve(rows.size());
  for (const std::vector<std::wstring>& row : rows) {
    std::vector<std::string> cells;
    cells.reserve(row.size());
    for (const std::wstring& cell : row) cells.push_back(gbk(cell));
    table.rows.push_back(std::move(cells));
  }
  return table;
}

}  // namespace

DWORD replace_file_with(const std::wstring& target, const std::string& bytes) {
  return replace_file(target, [&](const std::wstring&, FileHandle& file) -> DWORD {
    std::size_t written = 0;
    while (written < bytes.size()) {
      const DWORD chunk =
          static_cast<DWORD>(std::min<std::size_t>(bytes.size() - written, 1 << 20));
      DWORD done = 0;
      if (!WriteFile(file.get(), bytes.data() + written, chunk, &done, nullptr))
        return GetLastError();
      if (done == 0) return ERROR_WRITE_FAULT;
      written += done;
    }
    return FlushFileBuffers(file.get()) ? 0 : GetLastError();
  });
}

void export_list(HWND owner, const ReportListView& list) {
  // Read before the dialog: the lists may change while it is open.
  const sheet::ExportTable table = table_of(list);
  const bool orders = GetDlgCtrlID(list.handle()) == kOrderList;
  const std::string day = export_day(owner, orders);
  const std::string proposed = sheet::export_file_name(
      orders ? sheet::order_list_export_name() : sheet::delivery_list_export_name(), day);
  export_table(owner, owner, table, proposed, day);
}

void export_table(HWND owner, HWND main_window, const sheet::ExportTable& table,
                  const std::string& proposed, const std::string& day) {
  std::wstring target;
  int type = 1;
  if (!ask_for_file(owner, proposed, &target, &type)) return;
  last_folder = folder_of(target);

  std::string reason;
  const DWORD error = sheet::export_format_of(gbk(target), type) == sheet::ExportFormat::csv
                          ? write_csv(target, table)
                          : write_workbook(target, day, table, &reason);
  if (error != 0) {
    std::wstring text = target + L"\r\n\r\n";
    if (!reason.empty()) text += wide(reason) + L"\r\n";
    text += wide(system_message(error));
    MessageBoxW(owner, text.c_str(), wide(kCaption).c_str(), kWarningFlags);
    return;
  }
  append_to_log(main_window, sheet::exported_log_line(table.rows.size(), gbk(target)));
}

}  // namespace quillmere::app
