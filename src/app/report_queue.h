#pragma once
// What the jobs report to a window, queued for the window's thread: a job never waits for that
// thread. One wake-up (a posted message) drains everything queued so far, in the order it was
// reported; once the window is gone every report is dropped, so a job that outlives the window
// never touches a dead control.

#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace quillmere::app {

class ReportQueue {
 public:
  using Report = std::function<void()>;
  // Asks the owner's thread to drain soon; false when it could not be asked.
  using Wake = std::function<bool()>;

  // On the owner's thread (the window's), when its window is made.
  void open(Wake wake);
  // On the owner's thread, when its window is destroyed: what is queued is dropped, and so is
  // every later report.
  void close();
  bool is_open() const;
  bool on_owner_thread() const;

  // From any thread; never waits for the owner's thread. On that thread itself the report runs
  // at once, after what is queued.
  void post(Report report);
  // On the owner's thread, for the wake-up: runs what is queued, in order, including what is
  // reported meanwhile.
  void drain();
  // On the owner's thread, now and then: drains when a wake-up could not be asked for (the
  // owner's message queue was full) and nothing has asked since, so that a job's last report
  // is not left waiting for a report that never comes.
  void drain_if_stalled();

 private:
  mutable std::mutex lock_;
  std::deque<Report> reports_;
  Wake wake_;
  std::thread::id owner_;
  bool open_ = false;
  bool wake_pending_ = false;
  bool stalled_ = false;  // reports queued that no wake-up was asked for
  int draining_ = 0;      // the owner's thread only
};

}  // namespace quillmere::app
