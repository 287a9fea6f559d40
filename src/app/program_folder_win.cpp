#include "app/program_folder_win.h"

#include <windows.h>

#include <vector>

namespace quillmere::app {

std::wstring program_directory() {
  std::vector<wchar_t> path(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return L".";
    if (n < path.size()) {
      std::wstring full(path.data(), n);
      const auto slash = full.find_last_of(L"\\/");
      return slash == std::wstring::npos ? L"." : full.substr(0, slash);
    }
    path.resize(path.size() * 2);  // long paths come back truncated
  }
}

}  // namespace quillmere::app
