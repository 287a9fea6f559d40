#pragma once
// The program-wide state the workflows share. The application owns one Session for its whole
// run and hands it to every workflow.

#include <atomic>
#include <mutex>
#include <string>
#include <string_view>

namespace quillmere::shop {

class Session {
 public:
  // Read and replaced as a whole from any thread: a reader sees the old or the new token.
  std::string access_token() const;
  void set_access_token(std::string_view token);

  // 1 while monitoring runs, 0 otherwise.
  int monitoring_flag() const { return monitoring_flag_.load(); }
  void set_monitoring_flag(int value) { monitoring_flag_.store(value); }

  // Order ids found by the latest monitoring pass that found any.
  int order_id_count() const { return order_id_count_.load(); }
  void set_order_id_count(int value) { order_id_count_.store(value); }

  // Whether the latest monitoring pass of this run failed to get the day's ids: a run of
  // failing passes is logged once, and the first good pass after it says so.
  bool monitoring_failing() const { return monitoring_failing_.load(); }
  void set_monitoring_failing(bool value) { monitoring_failing_.store(value); }

  // How many monitoring loops are running, one inside the other, on the window's thread.
  int monitoring_depth() const { return monitoring_depth_.load(); }

 private:
  friend class MonitoringDepth;
  mutable std::mutex token_lock_;
  std::string access_token_;
  std::atomic<int> monitoring_flag_{0};
  std::atomic<int> order_id_count_{0};
  std::atomic<bool> monitoring_failing_{false};
  std::atomic<int> monitoring_depth_{0};
};

// Counts one running monitoring loop for its lifetime.
class MonitoringDepth {
 public:
  explicit MonitoringDepth(Session& session) : session_(session) { ++session_.monitoring_depth_; }
  ~MonitoringDepth() { --session_.monitoring_depth_; }
  MonitoringDepth(const MonitoringDepth&) = delete;
  MonitoringDepth& operator=(const MonitoringDepth&) = delete;
  bool outermost() const { return session_.monitoring_depth_.load() == 1; }

 private:
  Session& session_;
};

}  // namespace quillmere::shop
