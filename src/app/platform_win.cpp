#include "app/platform_win.h"

#include <windows.h>

#include "app/win32_support_win.h"
#include "http/fetch_page.h"
#include "http/winhttp_fetch.h"
#include "text/responsive_wait.h"

namespace quillmere::app {

std::string InternetNetwork::fetch_page(const std::string& url) { return quillmere::fetch_page(url); }

std::string InternetNetwork::winhttp_fetch(const std::string& url) {
  return quillmere::winhttp_fetch(url);
}

void ResponsivePacing::wait_ms(int milliseconds) { responsive_wait(milliseconds); }

void ResponsivePacing::process_pending_messages() { quillmere::process_pending_messages(); }

bool AppendOnlyRecordFile::append_if_exists(std::string_view line) {
  // FILE_APPEND_DATA alone: every write lands at the end, so what the file holds stays as it is.
  FileHandle file(CreateFileW(path_.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return false;
  std::size_t written_total = 0;
  while (written_total < line.size()) {
    DWORD written = 0;
    const auto remaining = static_cast<DWORD>(line.size() - written_total);
    if (!WriteFile(file.get(), line.data() + written_total, remaining, &written, nullptr) ||
        written == 0)
      return false;
    written_total += written;
  }
  return true;
}

}  // namespace quillmere::app
