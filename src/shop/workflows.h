#pragma once
// The four workflows the buttons start, over the ports of shop/ports.h.
//
// Every workflow runs on a thread of its own (shop/jobs.h says what a click does while one
// runs); none waits on the window's thread. Each reads the access token from the session whenever
// it builds a request. A call that carries the token renews it first with the remembered login when
// it is about to expire, and renews and goes once more when the platform refuses the token; one
// renewal runs at a time, through Network::fetch_page like login, and logs "自动重新登陆成功" or
// "自动重新登陆失败".

#include <cstdint>

#include "shop/ports.h"
#include "shop/session.h"

namespace quillmere::shop {

// 按钮_登陆: token request from the app key and secret; the token replaces the session's;
// logs "登陆成功" or "登陆失败". Success keeps the key and secret in memory for renewals.
void run_login(Session& session, MainWindow& window, Network& network);
// The same for the click that took `ticket` (Session::begin_login): when 登陆 was clicked again
// before the reply came, the reply changes nothing and logs nothing.
void run_login(Session& session, MainWindow& window, Network& network, std::uint64_t ticket);

// 按钮_获取订单: empties the order list and lists every order of the chosen day, over every
// page of its ids. This form takes no ticket of its own: it runs beside the latest click's.
void run_order_retrieval(Session& session, MainWindow& window, Network& network, Pacing& pacing);
// The same for the click that took `ticket` (Jobs::begin_retrieval): overtaken by a later
// click, it writes nothing more.
void run_order_retrieval(Session& session, MainWindow& window, Network& network, Pacing& pacing,
                         std::uint64_t ticket);

// One pass over the chosen day's ids, adding paid orders the order list does not hold yet;
// a pass that added rows ends with notify_new_orders, then announce_new_orders with those rows.
// Ends at once when the main window is gone.
void monitoring_pass(Session& session, MainWindow& window, Network& network, Pacing& pacing);

// 按钮_开始监控: passes until the monitoring flag is 0 or the main window is gone. A start while
// the loop runs returns at once and keeps the loop running. Logs "开始监控" when monitoring
// starts and "停止监控" when it has stopped. Passes start at least 1 s apart (longer after
// frequency refusals), in waits that a stop cuts short.
void run_monitoring(Session& session, MainWindow& window, Network& network, Pacing& pacing);

// 按钮_停止监控: running loops end after their pass under way.
void stop_monitoring(Session& session);

// The main window is closing.
void on_main_window_closed(Session& session);

// 按钮_发货: opens the express window when an order is selected.
void on_deliver_button(MainWindow& window);

// 按钮_确定发货 or Enter in the express window, on the window's thread: false, and nothing
// happens, while a delivery is out. Otherwise a delivery is now out and 确定 is held; the
// caller starts on_confirm_delivery on a thread of its own.
bool begin_confirmation(Session& session, ExpressWindow& express);

// 按钮_确定发货: delivers the selected order with the chosen courier; on success adds a row to
// the delivery list and a line to the record file, and reports a line the file did not take.
// The outcome shows in one step, which also ends the delivery and gives 确定 back.
void on_confirm_delivery(Session& session, MainWindow& window, ExpressWindow& express,
                         Network& network, RecordFile& record_file, Pacing& pacing);

// Start-up: a record file that exists but cannot be appended to is reported once, so that the
// owner learns it before the first delivery. Nothing is written to the file.
void check_record_file(MainWindow& window, RecordFile& record_file);

}  // namespace quillmere::shop
