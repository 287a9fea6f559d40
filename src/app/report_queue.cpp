#include "app/report_queue.h"

#include <utility>

namespace quillmere::app {

void ReportQueue::open(Wake wake) {
  const std::lock_guard<std::mutex> hold(lock_);
  wake_ = std::move(wake);
  owner_ = std::this_thread::get_id();
  open_ = true;
  wake_pending_ = false;
}

void ReportQueue::close() {
  std::deque<Report> dropped;
  {
    const std::lock_guard<std::mutex> hold(lock_);
    open_ = false;
    dropped.swap(reports_);
  }
  // Destroyed outside the lock: a report may own what takes the lock again.
}

bool ReportQueue::is_open() const {
  const std::lock_guard<std::mutex> hold(lock_);
  return open_;
}

bool ReportQueue::on_owner_thread() const {
  const std::lock_guard<std::mutex> hold(lock_);
  return owner_ == std::this_thread::get_id();
}

void ReportQueue::post(Report report) {
  if (on_owner_thread()) {
    if (!is_open()) return;
    // What workers reported before comes first; inside a drain it already has.
    if (draining_ == 0) drain();
    if (is_open()) report();
    return;
  }
  Wake wake;
  {
    const std::lock_guard<std::mutex> hold(lock_);
    if (!open_) return;
    reports_.push_back(std::move(report));
    if (wake_pending_) return;
    wake_pending_ = true;
    wake = wake_;
  }
  if (wake && wake()) return;
  // Not asked: the next report asks again, and the owner looks now and then meanwhile.
  const std::lock_guard<std::mutex> hold(lock_);
  wake_pending_ = false;
  stalled_ = true;
}

void ReportQueue::drain_if_stalled() {
  {
    const std::lock_guard<std::mutex> hold(lock_);
    if (!stalled_ || draining_ != 0) return;
    stalled_ = false;
  }
  drain();
}

void ReportQueue::drain() {
  ++draining_;
  for (;;) {
    Report next;
    {
      const std::lock_guard<std::mutex> hold(lock_);
      if (!open_ || reports_.empty()) {
        wake_pending_ = false;
        stalled_ = false;
        break;
      }
      next = std::move(reports_.front());
      reports_.pop_front();
    }
    next();
  }
  --draining_;
}

}  // namespace quillmere::app
