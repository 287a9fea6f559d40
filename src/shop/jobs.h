#pragma once
// What a button does while jobs run. Every job runs on a thread of its own; the window's thread
// only asks here whether to start one, and never waits for one (closing waits out a delivery
// once the windows are gone). The table, as the README gives it:
//
//   while                         the owner                 gets
//   a delivery is out             presses 确定 or Enter      nothing: 确定 is disabled until
//                                                           the outcome is shown
//   a delivery is out             does anything else        the outcome written when the reply
//                                                           arrives
//   monitoring runs               clicks 开始监控             nothing: one loop, no second line
//   monitoring or a retrieval     clicks 订单查询             one row per order id, numbered
//   runs                                                    1..n in the order added; the later
//                                                           retrieval takes over, the earlier
//                                                           adds nothing more
//   a login is out                clicks 登陆 again           the later click wins; an earlier
//                                                           reply changes nothing, logs nothing
//   a token renewal is due        uses any job              one renewal at a time, on a job's
//                                                           thread (Session::claim_renewal)

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace quillmere::shop {

class Jobs {
 public:
  // 订单查询, on the window's thread: the latest click's ticket. An earlier retrieval sees
  // that it was overtaken at its next write and ends there.
  std::uint64_t begin_retrieval() { return ++retrieval_ticket_; }
  bool retrieval_current(std::uint64_t ticket) const { return retrieval_ticket_.load() == ticket; }
  std::uint64_t latest_retrieval() const { return retrieval_ticket_.load(); }

  // A retrieval's write to the order list or the log: runs `write` only while `ticket` is the
  // latest, and from the first such write until the retrieval ends monitoring adds no rows (the
  // retrieval lists the day whole). False when overtaken: the retrieval ends.
  template <class Write>
  bool retrieval_write(std::uint64_t ticket, const Write& write) {
    const std::lock_guard<std::mutex> hold(orders_lock_);
    if (retrieval_ticket_.load() != ticket) return false;
    listing_ = true;
    write();
    return true;
  }
  // The retrieval ended, whichever way.
  void end_retrieval(std::uint64_t ticket) {
    const std::lock_guard<std::mutex> hold(orders_lock_);
    if (retrieval_ticket_.load() == ticket) listing_ = false;
  }
  // Monitoring adds a row: `add` runs unless a retrieval is listing the day. Whether the id is
  // known is to be tested inside `add`, so that nothing lists it in between.
  template <class Add>
  bool monitoring_write(const Add& add) {
    const std::lock_guard<std::mutex> hold(orders_lock_);
    if (listing_) return false;
    add();
    return true;
  }

  // 开始监控: sets the monitoring flag; true when the caller is to run the loop, false when a
  // loop already runs (it then goes on, even if it was about to stop).
  bool start_monitoring(std::atomic<int>& flag);
  // The loop saw the flag at 0, or the window gone: true when it ends now, false when 开始监控
  // was clicked since (a gone window ends it all the same).
  bool finish_monitoring(const std::atomic<int>& flag, bool window_gone);
  bool monitoring_running() const;

  // 确定 (or Enter) in the express window: true when no delivery is out, and one now is.
  bool begin_delivery();
  void end_delivery();
  bool delivery_out() const;
  // Until no delivery is out, or `longest` has passed: true when none is.
  bool wait_for_delivery(std::chrono::milliseconds longest);

 private:
  std::atomic<std::uint64_t> retrieval_ticket_{0};
  std::mutex orders_lock_;  // order-list writes of retrieval and monitoring
  bool listing_ = false;

  mutable std::mutex lock_;
  std::condition_variable delivery_done_;
  bool monitoring_ = false;
  bool delivering_ = false;
};

}  // namespace quillmere::shop
