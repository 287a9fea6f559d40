#pragma once
// The four workflows the buttons start, over the ports of shop/ports.h.
//
// Login and order retrieval run on worker threads of their own; monitoring and delivery on the
// window's thread. Each reads the access token from the session whenever it builds a request.
// A call that carries the token renews it first with the remembered login when it is about to
// expire, and renews and goes once more when the platform refuses the token; one renewal runs
// at a time, through Network::fetch_page like login, and logs "自动重新登陆成功" or
// "自动重新登陆失败".

#include "shop/ports.h"
#include "shop/session.h"

namespace quillmere::shop {

// 按钮_登陆: token request from the app key and secret; the token replaces the session's;
// logs "登陆成功" or "登陆失败". Success keeps the key and secret in memory for renewals.
void run_login(Session& session, MainWindow& window, Network& network);

// 按钮_获取订单: empties the order list and lists every order of the chosen day, over every
// page of its ids.
void run_order_retrieval(Session& session, MainWindow& window, Network& network, Pacing& pacing);

// One pass over the chosen day's ids, adding paid orders the order list does not hold yet;
// a pass that added rows ends with notify_new_orders, then announce_new_orders with those rows.
// Ends at once when the main window is gone.
void monitoring_pass(Session& session, MainWindow& window, Network& network, Pacing& pacing);

// 按钮_开始监控: passes until the monitoring flag is 0 or the main window is gone. A second
// start inside this one's message handling runs nested and shares the flag. Logs "开始监控"
// when monitoring starts and "停止监控" when the outermost loop has stopped. Passes start at
// least 1 s apart (longer after frequency refusals), in waits that a stop cuts short.
void run_monitoring(Session& session, MainWindow& window, Network& network, Pacing& pacing);

// 按钮_停止监控: running loops end after their pass under way.
void stop_monitoring(Session& session);

// The main window is closing.
void on_main_window_closed(Session& session);

// 按钮_发货: opens the express window when an order is selected.
void on_deliver_button(MainWindow& window);

// 按钮_确定发货: delivers the selected order with the chosen courier; on success adds a row to
// the delivery list and a line to the record file, and reports a line the file did not take.
void on_confirm_delivery(Session& session, MainWindow& window, ExpressWindow& express,
                         Network& network, RecordFile& record_file, Pacing& pacing);

// Start-up: a record file that exists but cannot be appended to is reported once, so that the
// owner learns it before the first delivery. Nothing is written to the file.
void check_record_file(MainWindow& window, RecordFile& record_file);

}  // namespace quillmere::shop
