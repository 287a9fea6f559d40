#pragma once
// The network, the waits and the record file as the workflows see them.

#include <memory>
#include <string>
#include <string_view>

#include "app/window_thread_win.h"
#include "shop/jobs.h"
#include "shop/ports.h"

namespace quillmere::app {

class InternetNetwork final : public shop::Network {
 public:
  std::string fetch_page(const std::string& url) override;
  std::string winhttp_fetch(const std::string& url) override;
};

// The exchanges asked for on the window's thread run on a thread of their own, while the
// window's thread goes on handling its messages as `responsive_wait` does; asked for on any
// other thread they run there directly. The program itself no longer needs it: no workflow
// runs on the window's thread.
class OffWindowNetwork final : public shop::Network {
 public:
  OffWindowNetwork(shop::Network& exchanges, const WindowThread& thread)
      : exchanges_(exchanges), thread_(thread) {}
  // An exchange's thread holds `owner` for as long as it runs, so that nothing it uses is freed
  // under it when the program ends meanwhile.
  void hold_while_exchanging(std::weak_ptr<const void> owner) { owner_ = std::move(owner); }

  // Monitoring's requests: once the windows are closed nothing waits for the reply, which is
  // then empty.
  std::string fetch_page(const std::string& url) override;
  // A delivery: it is waited out even after the windows are closed, so that a delivery the
  // platform accepted is still recorded.
  std::string winhttp_fetch(const std::string& url) override;

 private:
  std::string exchange(std::string (shop::Network::*call)(const std::string&),
                       const std::string& url, bool abandon_when_closed);

  shop::Network& exchanges_;
  const WindowThread& thread_;
  std::weak_ptr<const void> owner_;
};

// The waits of the jobs, each on a thread of its own (never the window's).
class ResponsivePacing final : public shop::Pacing {
 public:
  void wait_ms(int milliseconds) override;
  void wait_until(int milliseconds, const std::function<bool()>& done) override;
};

// The window's thread waits for a delivery's outcome once nothing is left to click (the window
// closed, or Windows ending the session). Only messages that other threads send are handled
// meanwhile, so that a job's control call returns (a no-op once the window is gone) and no click
// can run. True when no delivery is out any more; false after `longest_ms`.
bool wait_out_delivery(shop::Jobs& jobs, unsigned long longest_ms);

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
