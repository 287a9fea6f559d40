#include "app/report_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace quillmere::app {
namespace {

// The owner's side: wake-ups are counted, and the test drains when it likes.
struct Owner {
  ReportQueue queue;
  std::atomic<int> wakes{0};
  bool wake_works = true;
  std::vector<int> shown;

  Owner() {
    queue.open([this] {
      ++wakes;
      return wake_works;
    });
  }
};

TEST(report_queue, reports_from_workers_show_in_order_after_one_wake_up) {
  Owner owner;
  std::thread first([&] {
    for (int i = 0; i < 100; ++i) owner.queue.post([&owner, i] { owner.shown.push_back(i); });
  });
  first.join();
  EXPECT_TRUE(owner.shown.empty()) << "nothing runs on the worker";
  EXPECT_EQ(owner.wakes, 1);
  owner.queue.drain();
  ASSERT_EQ(owner.shown.size(), 100u);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(owner.shown[static_cast<std::size_t>(i)], i);
  // The next report asks again.
  std::thread([&] { owner.queue.post([&] { owner.shown.push_back(100); }); }).join();
  EXPECT_EQ(owner.wakes, 2);
}

TEST(report_queue, on_the_owners_thread_a_report_runs_at_once_after_what_is_queued) {
  Owner owner;
  std::thread([&] { owner.queue.post([&] { owner.shown.push_back(1); }); }).join();
  owner.queue.post([&] {
    owner.shown.push_back(2);
    // Reported from inside a report: it runs right there, not after the queue.
    owner.queue.post([&] { owner.shown.push_back(3); });
    owner.shown.push_back(4);
  });
  EXPECT_EQ(owner.shown, (std::vector<int>{1, 2, 3, 4}));
}

TEST(report_queue, a_failed_wake_up_is_asked_again_by_the_next_report) {
  Owner owner;
  owner.wake_works = false;
  std::thread([&] { owner.queue.post([&] { owner.shown.push_back(1); }); }).join();
  owner.wake_works = true;
  std::thread([&] { owner.queue.post([&] { owner.shown.push_back(2); }); }).join();
  EXPECT_EQ(owner.wakes, 2);
  owner.queue.drain();
  EXPECT_EQ(owner.shown, (std::vector<int>{1, 2}));
}

// A job's last report whose wake-up failed (the owner's queue full) is shown at the owner's next
// look, with no report after it; a look while a wake-up is on its way does nothing, so that the
// timer never runs reports inside another drain.
TEST(report_queue, a_report_left_without_a_wake_up_is_shown_at_the_next_look) {
  Owner owner;
  std::thread([&] { owner.queue.post([&] { owner.shown.push_back(1); }); }).join();
  owner.queue.drain_if_stalled();
  EXPECT_TRUE(owner.shown.empty()) << "the wake-up is on its way";
  owner.queue.drain();
  owner.wake_works = false;
  std::thread([&] { owner.queue.post([&] { owner.shown.push_back(2); }); }).join();
  owner.queue.drain_if_stalled();
  EXPECT_EQ(owner.shown, (std::vector<int>{1, 2}));
  owner.queue.drain_if_stalled();
  EXPECT_EQ(owner.shown.size(), 2u) << "nothing twice";
}

// The window goes while jobs still report: what is queued and what comes later is dropped, and
// dropped reports release what they own.
TEST(report_queue, reports_after_the_window_is_gone_are_dropped_safely) {
  Owner owner;
  auto owned = std::make_shared<int>(7);
  std::thread([&, owned] {
    owner.queue.post([&owner, owned] { owner.shown.push_back(*owned); });
  }).join();
  owner.queue.close();
  EXPECT_FALSE(owner.queue.is_open());
  std::atomic<bool> stop{false};
  std::vector<std::thread> jobs;
  for (int j = 0; j < 4; ++j) {
    jobs.emplace_back([&, owned] {
      while (!stop) owner.queue.post([&owner, owned] { owner.shown.push_back(*owned); });
    });
  }
  owner.queue.drain();
  owner.queue.post([&] { owner.shown.push_back(1); });
  stop = true;
  for (std::thread& job : jobs) job.join();
  EXPECT_TRUE(owner.shown.empty());
  EXPECT_EQ(owned.use_count(), 1) << "every dropped report let go of what it held";
}

TEST(report_queue, closing_while_workers_report_loses_no_report_made_before_it) {
  Owner owner;
  std::atomic<int> posted{0};
  std::thread worker([&] {
    for (int i = 0; i < 1000; ++i) {
      owner.queue.post([&owner, i] { owner.shown.push_back(i); });
      ++posted;
    }
  });
  while (posted < 500) std::this_thread::yield();
  owner.queue.drain();
  const std::size_t shown_before_close = owner.shown.size();
  owner.queue.close();
  worker.join();
  owner.queue.drain();
  EXPECT_EQ(owner.shown.size(), shown_before_close);
  EXPECT_GE(shown_before_close, 500u);
  for (std::size_t i = 0; i < owner.shown.size(); ++i)
    EXPECT_EQ(owner.shown[i], static_cast<int>(i));
}

}  // namespace
}  // namespace quillmere::app
