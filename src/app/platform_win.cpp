#include "app/platform_win.h"

#include <windows.h>

#include "app/system_handles_win.h"
#include "app/system_message_win.h"
#include "http/fetch_page.h"
#include "http/winhttp_fetch.h"

namespace quillmere::app {

std::string InternetNetwork::fetch_page(const std::string& url) {
  return quillmere::fetch_page(url);
}

std::string InternetNetwork::winhttp_fetch(const std::string& url) {
  return quillmere::winhttp_fetch(url);
}

void JobPacing::wait_ms(int milliseconds) {
  if (milliseconds > 0) Sleep(static_cast<DWORD>(milliseconds));
}

void JobPacing::wait_until(int milliseconds, const std::function<bool()>& done) {
  // Short enough that a stop set by another thread is seen soon after.
  constexpr ULONGLONG kLookAgainMs = 10;
  const ULONGLONG deadline =
      GetTickCount64() + static_cast<ULONGLONG>(milliseconds > 0 ? milliseconds : 0);
  for (;;) {
    if (done()) return;
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) return;
    Sleep(static_cast<DWORD>(deadline - now < kLookAgainMs ? deadline - now : kLookAgainMs));
  }
}

std::uint64_t TickClock::now_ms() { return GetTickCount64(); }

namespace {

// FILE_APPEND_DATA alone: a write lands at the end whatever happens, so what the file holds
// stays as it is; OPEN_EXISTING, so a missing file is never created.
HANDLE open_for_appending(const std::wstring& path) {
  return CreateFileW(path.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

shop::RecordResult failure(DWORD error) {
  return {shop::RecordStatus::failed, system_message(error)};
}

// Only a file that is not there is no failure: a locked, read-only, refused or offline file
// exists, and the owner must hear that it takes no lines.
shop::RecordResult open_failure(DWORD error) {
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
    return {shop::RecordStatus::missing, {}};
  }
  return failure(error);
}

}  // namespace

shop::RecordResult AppendOnlyRecordFile::append_if_exists(std::string_view line) {
  FileHandle file(open_for_appending(path_));
  if (!file.valid()) return open_failure(GetLastError());
  if (line.size() > MAXDWORD) return failure(ERROR_INVALID_PARAMETER);
  LARGE_INTEGER earlier_length{};
  if (!GetFileSizeEx(file.get(), &earlier_length)) return failure(GetLastError());
  DWORD written = 0;
  if (!WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr)) {
    const DWORD error = GetLastError();
    if (written > 0) cut_back(earlier_length.QuadPart);
    return failure(error);
  }
  if (written == line.size()) return {shop::RecordStatus::ok, {}};
  // A write that reports success with bytes missing has no error code of its own.
  cut_back(earlier_length.QuadPart);
  return failure(ERROR_WRITE_FAULT);
}

shop::RecordResult AppendOnlyRecordFile::check_appendable() {
  FileHandle file(open_for_appending(path_));
  if (!file.valid()) return open_failure(GetLastError());
  return {shop::RecordStatus::ok, {}};
}

// A line cut short by a full disk would glue itself to the next one: take it back out.
void AppendOnlyRecordFile::cut_back(long long length) {
  FileHandle file(CreateFileW(path_.c_str(), FILE_WRITE_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return;
  LARGE_INTEGER end{};
  end.QuadPart = length;
  if (SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN)) SetEndOfFile(file.get());
}

}  // namespace quillmere::app
