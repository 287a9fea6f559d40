#pragma once
// The network, the waits and the record file as the workflows see them.

#include <string>
#include <string_view>

#include "shop/ports.h"

namespace quillmere::app {

class InternetNetwork final : public shop::Network {
 public:
  std::string fetch_page(const std::string& url) override;
  std::string winhttp_fetch(const std::string& url) override;
};

// The waits of the jobs, each on a thread of its own that owns no window: nothing to pump.
class JobPacing final : public shop::Pacing {
 public:
  void wait_ms(int milliseconds) override;
  void wait_until(int milliseconds, const std::function<bool()>& done) override;
};

// GetTickCount64: milliseconds since start-up, never set back.
class TickClock final : public shop::Clock {
 public:
  std::uint64_t now_ms() override;
};

// A text file that is only ever appended to, and only when it already exists. A failure's
// reason is the system's message for its error.
class AppendOnlyRecordFile final : public shop::RecordFile {
 public:
  explicit AppendOnlyRecordFile(std::wstring path) : path_(std::move(path)) {}
  shop::RecordResult append_if_exists(std::string_view line) override;
  shop::RecordResult check_appendable() override;

 private:
  void cut_back(long long length);

  std::wstring path_;
};

}  // namespace quillmere::app
