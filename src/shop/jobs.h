#pragma once
// What a button does while jobs run: one table, asked by every button. Every job runs on a
// thread of its own; the window's thread asks here whether to start one, hands it its inputs as
// values, and never waits for one (closing waits out a delivery or a bulk run, with the windows
// gone). The table, as the README gives it (columns: the job that runs):
//
//   button          登陆          订单查询       监控            发货 (确定)     批量发货
//   登陆            takes_over    runs          runs           runs           runs
//   订单查询        runs          takes_over    runs (1)       runs           runs
//   开始监控        runs          runs          joins          runs           runs
//   停止监控        runs          runs          stops          runs           runs
//   发货            runs          runs          runs           runs           runs
//   确定            runs          runs          runs           refused        refused
//   导出            runs          runs          runs           runs           runs
//   开始发货        runs          runs          runs           refused        refused
//   关闭            abandons      abandons      abandons       waits_out      waits_out
//
//   (1) monitoring adds no row while a retrieval lists the day, and numbers its rows after it.
//   A token renewal is due: one renewal at a time, on a job's thread (Session::claim_renewal).

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace quillmere::shop {

enum class Job { login, retrieval, monitoring, delivery, bulk_run };
inline constexpr int kJobKinds = 5;

enum class Button {
  login,             // 登陆 (and Enter in the login fields)
  fetch_orders,      // 订单查询
  start_monitoring,  // 开始监控
  stop_monitoring,   // 停止监控 (also from the tray icon's menu)
  deliver,           // 发货: opens the express window
  confirm,           // 确定 (and Enter) in the express window
  export_list,       // 导出 (Ctrl+S)
  start_bulk_run,    // 开始发货 in the 批量发货 window
  close,             // the close box, 退出, and Windows closing the program
};
inline constexpr int kButtonKinds = 9;

// What a click does beside a running job, weakest first: with several jobs running the
// strongest answer holds.
enum class Effect {
  runs,        // what the button always does, beside the job
  stops,       // the loop ends after the pass under way
  takes_over,  // a job of the same kind starts; the earlier one writes nothing more
  joins,       // no second job: the one running goes on and takes the click
  abandons,    // the job is dropped with the process
  waits_out,   // the process stays, windowless, until the job has written its outcome
  refused,     // nothing: the button is disabled while the job is out
};

// One cell of the table.
Effect job_rule(Job running, Button clicked);

class Jobs {
 public:
  // What `clicked` does now: the strongest rule of the jobs running, `runs` when none runs.
  Effect decide(Button clicked) const;
  bool running(Job job) const;

  // 登陆: one login job more, or one fewer.
  void begin_login() { started(Job::login); }
  void end_login() { ended(Job::login); }

  // 订单查询, on the window's thread: the latest click's ticket. An earlier retrieval sees
  // that it was overtaken at its next write and ends there.
  std::uint64_t begin_retrieval();
  bool retrieval_current(std::uint64_t ticket) const { return retrieval_ticket_.load() == ticket; }
  std::uint64_t latest_retrieval() const { return retrieval_ticket_.load(); }

  // A retrieval's write to the order list or the log: runs `write` only while `ticket` is the
  // latest, and from the first such write until that retrieval ends monitoring adds no rows (the
  // retrieval lists the day whole). False when overtaken: the retrieval ends.
  template <class Write>
  bool retrieval_write(std::uint64_t ticket, const Write& write) {
    const std::lock_guard<std::mutex> hold(orders_lock_);
    if (retrieval_ticket_.load() != ticket) return false;
    listing_ = true;
    listing_ticket_ = ticket;
    write();
    return true;
  }
  // The retrieval ended, whichever way; monitoring adds rows again unless a later retrieval
  // lists the day by now.
  void end_retrieval(std::uint64_t ticket);
  // Monitoring adds a row: `add` runs unless a retrieval is listing the day. Whether the id is
  // known is to be tested inside `add`, against the shared index, so that nothing lists it in
  // between.
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
  bool monitoring_running() const { return running(Job::monitoring); }

  // 确定 (or Enter) in the express window: true when the table lets it (no delivery and no
  // bulk run out), and one delivery now is. The delivery's job ends it once its record line is
  // written, before it reports.
  bool begin_delivery();
  void end_delivery() { ended(Job::delivery); }
  bool delivery_out() const { return running(Job::delivery); }

  // 开始发货 in the 批量发货 window, on the window's thread: true when the table lets it (no
  // delivery and no other bulk run out), and the bulk run now is. Its job calls end_bulk_run
  // once its last record line is written. While it is out 确定 is refused, closing waits it
  // out, and Windows is told "正在批量发货，请稍候" (the application's delivery_path_began).
  bool begin_bulk_run();
  void end_bulk_run() { ended(Job::bulk_run); }

  // A delivery or a bulk run: what closing and the end of the session wait out.
  bool delivery_path_out() const;
  // Until no delivery and no bulk run is out, or `longest` has passed: true when none is.
  bool wait_for_delivery_path(std::chrono::milliseconds longest);

 private:
  void started(Job job);
  void ended(Job job);
  Effect decide_locked(Button clicked) const;  // holds lock_
  bool delivery_path_locked() const;           // holds lock_

  std::atomic<std::uint64_t> retrieval_ticket_{0};
  std::mutex orders_lock_;            // order-list writes of retrieval and monitoring
  bool listing_ = false;              // a retrieval lists the day:
  std::uint64_t listing_ticket_ = 0;  // this one

  mutable std::mutex lock_;
  std::condition_variable delivery_path_done_;
  std::array<int, kJobKinds> running_{};  // jobs of each kind under way
};

}  // namespace quillmere::shop
