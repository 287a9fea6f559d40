#pragma once
// The clicks that start jobs, on the window's thread. Each asks the jobs table (shop/jobs.h),
// takes what its job needs as values, starts the job on a thread of its own and returns; none
// waits for a job. A click whose thread cannot be started changes nothing: no ticket, no flag,
// no hold.

#include <functional>
#include <string>

#include "shop/ports.h"
#include "shop/session.h"

namespace quillmere::shop {

// What the jobs run on. All of it outlives every job (the application holds itself alive for
// as long as a job runs).
struct ShopPorts {
  Session& session;
  MainWindow& window;
  ExpressWindow& express;
  Network& network;
  Pacing& pacing;
  RecordFile& record_file;
  Threads& threads;
};

// Starts a thread for `work`, then runs `begin` here; `work` runs only when `begin` said yes,
// and only after it, so that what `begin` took (a ticket) is there for it. False when no thread
// could be started (`begin` then never ran) or when `begin` said no.
bool start_job(Threads& threads, const std::function<bool()>& begin, std::function<void()> work);

// 登陆 (or Enter in a login field), with what the two fields hold now.
bool click_login(ShopPorts& ports, std::string app_key, std::string secret);
// 订单查询, for the day the date box shows now.
bool click_fetch_orders(ShopPorts& ports, Date day);
// 开始监控, watching `day` (later days through Session::set_monitored_day). True when the loop
// runs now, started by this click or going on. `ended` runs on the loop's thread once a loop
// started by this click has ended.
bool click_start_monitoring(ShopPorts& ports, Date day, std::function<void()> ended);
// 停止监控: the loop ends after the pass under way.
void click_stop_monitoring(ShopPorts& ports);
// 确定 (or Enter) in the express window, with what it holds now and the row selected now.
// True when a delivery is now out; `ended` then runs on its thread once it has ended (after its
// record line, with its outcome reported).
bool click_confirm(ShopPorts& ports, const ExpressChoice& choice, std::function<void()> ended);

}  // namespace quillmere::shop
