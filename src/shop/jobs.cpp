#include "shop/jobs.h"

#include <algorithm>

namespace quillmere::shop {
namespace {

constexpr std::size_t index_of(Job job) { return static_cast<std::size_t>(job); }

// clang-format off
// Rows: the buttons in the order of Button; columns: the running job in the order of Job.
constexpr std::array<std::array<Effect, kJobKinds>, kButtonKinds> kTable = {{
    //  login               retrieval           monitoring        delivery            bulk_run
    {Effect::takes_over, Effect::runs,       Effect::runs,     Effect::runs,      Effect::runs},       // login
    {Effect::runs,       Effect::takes_over, Effect::runs,     Effect::runs,      Effect::runs},       // fetch_orders
    {Effect::runs,       Effect::runs,       Effect::joins,    Effect::runs,      Effect::runs},       // start_monitoring
    {Effect::runs,       Effect::runs,       Effect::stops,    Effect::runs,      Effect::runs},       // stop_monitoring
    {Effect::runs,       Effect::runs,       Effect::runs,     Effect::runs,      Effect::runs},       // deliver
    {Effect::runs,       Effect::runs,       Effect::runs,     Effect::refused,   Effect::refused},    // confirm
    {Effect::runs,       Effect::runs,       Effect::runs,     Effect::runs,      Effect::runs},       // export_list
    {Effect::runs,       Effect::runs,       Effect::runs,     Effect::refused,   Effect::refused},    // start_bulk_run
    {Effect::abandons,   Effect::abandons,   Effect::abandons, Effect::waits_out, Effect::waits_out},  // close
}};
// clang-format on

}  // namespace

Effect job_rule(Job running, Button clicked) {
  return kTable[static_cast<std::size_t>(clicked)][index_of(running)];
}

Effect Jobs::decide(Button clicked) const {
  const std::lock_guard<std::mutex> hold(lock_);
  return decide_locked(clicked);
}

Effect Jobs::decide_locked(Button clicked) const {
  Effect strongest = Effect::runs;
  for (int job = 0; job < kJobKinds; ++job) {
    if (running_[static_cast<std::size_t>(job)] > 0)
      strongest = std::max(strongest, job_rule(static_cast<Job>(job), clicked));
  }
  return strongest;
}

bool Jobs::running(Job job) const {
  const std::lock_guard<std::mutex> hold(lock_);
  return running_[index_of(job)] > 0;
}

void Jobs::started(Job job) {
  const std::lock_guard<std::mutex> hold(lock_);
  ++running_[index_of(job)];
}

void Jobs::ended(Job job) {
  {
    const std::lock_guard<std::mutex> hold(lock_);
    if (running_[index_of(job)] > 0) --running_[index_of(job)];
  }
  if (job == Job::delivery || job == Job::bulk_run) delivery_path_done_.notify_all();
}

std::uint64_t Jobs::begin_retrieval() {
  started(Job::retrieval);
  return ++retrieval_ticket_;
}

void Jobs::end_retrieval(std::uint64_t ticket) {
  {
    const std::lock_guard<std::mutex> hold(orders_lock_);
    // Only the retrieval that lists the day lets monitoring add again: an overtaken one that
    // never wrote leaves the later one's listing in place, and one that did hands it back.
    if (listing_ && listing_ticket_ == ticket) listing_ = false;
  }
  ended(Job::retrieval);
}

bool Jobs::start_monitoring(std::atomic<int>& flag) {
  const std::lock_guard<std::mutex> hold(lock_);
  flag.store(1);
  if (running_[index_of(Job::monitoring)] > 0) return false;
  running_[index_of(Job::monitoring)] = 1;
  return true;
}

bool Jobs::finish_monitoring(const std::atomic<int>& flag, bool window_gone) {
  const std::lock_guard<std::mutex> hold(lock_);
  if (flag.load() != 0 && !window_gone) return false;
  running_[index_of(Job::monitoring)] = 0;
  return true;
}

bool Jobs::begin_delivery() {
  const std::lock_guard<std::mutex> hold(lock_);
  if (decide_locked(Button::confirm) == Effect::refused) return false;
  ++running_[index_of(Job::delivery)];
  return true;
}

bool Jobs::begin_bulk_run() {
  const std::lock_guard<std::mutex> hold(lock_);
  if (decide_locked(Button::start_bulk_run) == Effect::refused) return false;
  ++running_[index_of(Job::bulk_run)];
  return true;
}

bool Jobs::delivery_path_locked() const {
  return running_[index_of(Job::delivery)] > 0 || running_[index_of(Job::bulk_run)] > 0;
}

bool Jobs::delivery_path_out() const {
  const std::lock_guard<std::mutex> hold(lock_);
  return delivery_path_locked();
}

bool Jobs::wait_for_delivery_path(std::chrono::milliseconds longest) {
  std::unique_lock<std::mutex> hold(lock_);
  return delivery_path_done_.wait_for(hold, longest, [this] { return !delivery_path_locked(); });
}

}  // namespace quillmere::shop
