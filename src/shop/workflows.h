#pragma once
// The four workflows the buttons start, over the ports of shop/ports.h.
//
// Every workflow runs on a thread of its own (shop/jobs.h says what a click does while one
// runs; shop/clicks.h starts them) with its inputs taken at the click; none waits on the
// window's thread. Each reads the access token from the session whenever
// it builds a request. A call that carries the token renews it first with the remembered login when
// it is about to expire, and renews and goes once more when the platform refuses the token; one
// renewal runs at a time, through Network::fetch_page like login, and logs "自动重新登陆成功" or
// "自动重新登陆失败".

#include <cstdint>
#include <optional>
#include <string>

#include "shop/ports.h"
#include "shop/session.h"

namespace quillmere::shop {

// 按钮_登陆, for the click that took `ticket` (Session::begin_login), with the key and secret
// the fields held then: token request; the token replaces the session's; logs "登陆成功" or
// "登陆失败". Success keeps the key and secret in memory for renewals. When 登陆 was clicked
// again before the reply came, the reply changes nothing and logs nothing.
void run_login(Session& session, MainWindow& window, Network& network, const std::string& app_key,
               const std::string& secret, std::uint64_t ticket);

// 按钮_获取订单, for the click that took `ticket` (Jobs::begin_retrieval), with the day chosen
// then: empties the order list and lists every order of `order_day`, over every page of its ids.
// Overtaken by a later click, it writes nothing more. Ends the retrieval (Jobs::end_retrieval).
void run_order_retrieval(Session& session, MainWindow& window, Network& network, Pacing& pacing,
                         Date order_day, std::uint64_t ticket);

// One pass over the ids of the session's monitored day, adding paid orders the order list does not
// hold yet; a pass that added rows ends with notify_new_orders, then announce_new_orders with those
// rows. Ends at once when the main window is gone.
void monitoring_pass(Session& session, MainWindow& window, Network& network, Pacing& pacing);

// 按钮_开始监控: passes until the monitoring flag is 0 or the main window is gone. A start while
// the loop runs returns at once and keeps the loop running. Logs "开始监控" when monitoring
// starts and "停止监控" when it has stopped. Passes start at least 1 s apart (longer after
// frequency refusals), in waits that a stop cuts short.
void run_monitoring(Session& session, MainWindow& window, Network& network, Pacing& pacing);
// The loop alone, once Session::start_monitoring has said that the caller runs it.
void run_started_monitoring(Session& session, MainWindow& window, Network& network, Pacing& pacing);

// 按钮_停止监控: running loops end after their pass under way.
void stop_monitoring(Session& session);

// The main window is closing.
void on_main_window_closed(Session& session);

// 按钮_发货: opens the express window when an order is selected.
void on_deliver_button(MainWindow& window);

// What 确定 ships, taken on the window's thread at the click.
struct Delivery {
  std::string express_code;
  int courier_index = 0;
  std::string tracking_number;    // empty for entry 0, which sends none of its own
  std::string order_id;           // the selected row's 订单号
  std::string order_second_cell;  // its 销量: the record line's second field
};

// 按钮_确定发货 or Enter, on the window's thread: the delivery the express window and the
// selected row describe now. None, after the box and the log line that say why, when a courier
// needs a tracking number and the box is empty, or when no courier is chosen.
std::optional<Delivery> take_delivery(MainWindow& window, const ExpressChoice& choice);

// On the window's thread: false, and nothing happens, while a delivery or a bulk run is out.
// Otherwise a delivery is now out and 确定 is held; on_confirm_delivery is to run on a thread
// of its own.
bool begin_confirmation(Session& session, ExpressWindow& express);

// 按钮_确定发货: sends `delivery`; on success writes the line to the record file, then ends the
// delivery (Jobs::end_delivery) and reports: the log line, the delivery row, a line the file did
// not take, and 确定 given back, in one step of the window's thread.
void on_confirm_delivery(Session& session, MainWindow& window, ExpressWindow& express,
                         Network& network, RecordFile& record_file, Pacing& pacing,
                         const Delivery& delivery);

// A shipped order's row at the end of the delivery list, as 确定 and a bulk run both add it:
// its number (the list's row count), the 订单号, the second cell of the record line (销量) and
// 发货成功.
void add_delivery_row(ReportList& deliveries, std::string_view order_id,
                      std::string_view order_second_cell);

// Start-up: a record file that exists but cannot be appended to is reported once, so that the
// owner learns it before the first delivery. Nothing is written to the file.
void check_record_file(MainWindow& window, RecordFile& record_file);

}  // namespace quillmere::shop
