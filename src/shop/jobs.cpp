#include "shop/jobs.h"

namespace quillmere::shop {

bool Jobs::start_monitoring(std::atomic<int>& flag) {
  const std::lock_guard<std::mutex> hold(lock_);
  flag.store(1);
  if (monitoring_) return false;
  monitoring_ = true;
  return true;
}

bool Jobs::finish_monitoring(const std::atomic<int>& flag, bool window_gone) {
  const std::lock_guard<std::mutex> hold(lock_);
  if (flag.load() != 0 && !window_gone) return false;
  monitoring_ = false;
  return true;
}

bool Jobs::monitoring_running() const {
  const std::lock_guard<std::mutex> hold(lock_);
  return monitoring_;
}

bool Jobs::begin_delivery() {
  const std::lock_guard<std::mutex> hold(lock_);
  if (delivering_) return false;
  delivering_ = true;
  return true;
}

void Jobs::end_delivery() {
  {
    const std::lock_guard<std::mutex> hold(lock_);
    delivering_ = false;
  }
  delivery_done_.notify_all();
}

bool Jobs::delivery_out() const {
  const std::lock_guard<std::mutex> hold(lock_);
  return delivering_;
}

bool Jobs::wait_for_delivery(std::chrono::milliseconds longest) {
  std::unique_lock<std::mutex> hold(lock_);
  return delivery_done_.wait_for(hold, longest, [this] { return !delivering_; });
}

}  // namespace quillmere::shop
