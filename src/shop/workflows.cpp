#include "shop/workflows.h"

#include <string>

#include "http/decode.h"
#include "shop/couriers.h"
#include "shop/replies.h"
#include "shop/requests.h"
#include "shop/texts.h"

namespace quillmere::shop {
namespace {

constexpr int kRequestSpacingMs = 300;
constexpr int kPassSpacingMs = 100;

// Ids and detail replies arrive percent-encoded UTF-8.
std::string fetch_decoded(Network& network, const std::string& url) {
  return url_decode(network.fetch_page(url), true);
}

// Columns 1 to 7 of an order-list row; column 0 is written by the caller first.
void write_order_cells(ReportList& list, int row, const OrderDetail& order) {
  list.set_cell(row, 1, order.order_id);
  list.set_cell(row, 2, order.quantity);
  list.set_cell(row, 3, order.item_name);
  list.set_cell(row, 4, order.status2);
  list.set_cell(row, 5, order.status_desc);
  list.set_cell(row, 6, order.note);
  list.set_cell(row, 7, order.seller_phone);
}

std::string concat(std::string_view a, std::string_view b, std::string_view c = {}) {
  std::string out;
  out.reserve(a.size() + b.size() + c.size());
  out.append(a).append(b).append(c);
  return out;
}

// A refusal's quoted strings are no order ids, whatever their number.
std::vector<std::string> ids_to_read(IdsReplyKind kind, std::string_view ids_reply) {
  if (kind == IdsReplyKind::success || kind == IdsReplyKind::empty_day) return read_order_ids(ids_reply);
  return {};
}

}  // namespace

void run_login(Session& session, MainWindow& window, Network& network) {
  const std::string app_key = window.appkey_text();
  const std::string secret = window.secret_text();
  const std::string reply = network.fetch_page(build_token_request(app_key, secret));
  const std::string token = read_token(reply);
  session.set_access_token(token);
  window.append_log(login_succeeded(token, reply) ? texts::kLoginSucceeded : texts::kLoginFailed);
}

void run_order_retrieval(Session& session, MainWindow& window, Network& network, Pacing& pacing) {
  const std::string order_date = order_date_text(window.chosen_date());
  ReportList& orders = window.order_list();
  orders.delete_all();
  const std::string ids_reply =
      fetch_decoded(network, build_order_ids_request(order_date, session.access_token()));
  pacing.wait_ms(kRequestSpacingMs);
  if (!window.alive()) return;

  const IdsReplyKind kind = classify_ids_reply(ids_reply);
  switch (kind) {
    case IdsReplyKind::empty_day:
      window.append_log(concat(order_date, texts::kNoOrdersYet));
      break;
    case IdsReplyKind::missing_token:
      window.show_message(texts::kPleaseLogIn, kMessageOk);
      break;
    case IdsReplyKind::success:
      window.append_log(concat(texts::kFetchedPrefix, order_date, texts::kFetchedSuffix));
      break;
    case IdsReplyKind::no_reply:
    case IdsReplyKind::refusal:
      window.append_log(concat(texts::kFetchFailedPrefix, order_date,
                               concat(texts::kFetchFailedMiddle, failure_reason(ids_reply), "\r\n")));
      break;
  }

  int row_counter = 0;
  for (const std::string& id : ids_to_read(kind, ids_reply)) {
    if (!window.alive()) return;
    const std::string detail_reply =
        fetch_decoded(network, build_order_detail_request(id, session.access_token()));
    pacing.wait_ms(kRequestSpacingMs);
    if (!window.alive()) return;
    const std::vector<OrderDetail> details = read_order_details(detail_reply);
    if (details.empty()) {
      window.append_log(concat(texts::kDetailFailedPrefix, id,
                               concat(texts::kDetailFailedMiddle, failure_reason(detail_reply), "\r\n")));
    }
    for (const OrderDetail& order : details) {
      const int row = orders.insert_row();
      ++row_counter;
      orders.set_cell(row, 0, std::to_string(row_counter));
      write_order_cells(orders, row, order);
    }
  }
}

void monitoring_pass(Session& session, MainWindow& window, Network& network, Pacing& pacing) {
  if (!window.alive()) return;
  const std::string order_date = order_date_text(window.chosen_date());
  const std::string ids_reply =
      fetch_decoded(network, build_order_ids_request(order_date, session.access_token()));
  if (!window.alive()) return;
  const IdsReplyKind kind = classify_ids_reply(ids_reply);
  const bool failed = kind == IdsReplyKind::no_reply || kind == IdsReplyKind::refusal ||
                      kind == IdsReplyKind::missing_token;
  if (failed && !session.monitoring_failing()) {
    window.append_log(concat(texts::kMonitoringFailedPrefix, failure_reason(ids_reply), "\r\n"));
  } else if (!failed && session.monitoring_failing()) {
    window.append_log(texts::kMonitoringRecovered);
  }
  session.set_monitoring_failing(failed);
  const std::vector<std::string> ids = ids_to_read(kind, ids_reply);
  if (!ids.empty()) {
    const int count = static_cast<int>(ids.size());
    if (count > session.order_id_count()) window.append_log(texts::kNewOrders);
    session.set_order_id_count(count);
  }

  ReportList& orders = window.order_list();
  int rows_added = 0;
  auto handle_messages = [&] {
    pacing.process_pending_messages();
    return window.alive();
  };
  for (const std::string& id : ids) {
    pacing.wait_ms(kRequestSpacingMs);
    if (!window.alive()) return;
    if (orders.find_row(1, id) != -1) {
      if (!handle_messages()) return;
      continue;
    }
    const std::string detail_reply =
        fetch_decoded(network, build_order_detail_request(id, session.access_token()));
    if (!window.alive()) return;
    for (const OrderDetail& order : read_order_details(detail_reply)) {
      if (order.status2 == texts::kPaid) {
        const int row = orders.insert_row();
        orders.set_cell(row, 0, std::to_string(orders.row_count()));
        write_order_cells(orders, row, order);
        ++rows_added;
      }
      if (!handle_messages()) return;
    }
    if (!handle_messages()) return;
  }
  // Once per pass, not per row: one flash and one sound however many orders came in.
  if (rows_added > 0 && window.alive()) window.notify_new_orders(rows_added);
}

void run_monitoring(Session& session, MainWindow& window, Network& network, Pacing& pacing) {
  const MonitoringDepth depth(session);
  session.set_monitoring_flag(1);
  if (depth.outermost()) {
    // A new run tells of a failure even if the previous run stopped while failing.
    session.set_monitoring_failing(false);
    window.append_log(texts::kMonitoringStarted);
  }
  while (session.monitoring_flag() != 0 && window.alive()) {
    monitoring_pass(session, window, network, pacing);
    if (!window.alive()) break;
    pacing.wait_ms(kPassSpacingMs);
    if (!window.alive()) break;
    pacing.process_pending_messages();
  }
  if (depth.outermost() && window.alive()) window.append_log(texts::kMonitoringStopped);
}

void stop_monitoring(Session& session) { session.set_monitoring_flag(0); }

void on_main_window_closed(Session& session) { session.set_monitoring_flag(0); }

void on_deliver_button(MainWindow& window) {
  if (window.order_list().selected_row() == -1) {
    window.show_message(texts::kChooseOrder, kMessageOk);
    return;
  }
  window.open_express_window();
}

void on_confirm_delivery(Session& session, MainWindow& window, ExpressWindow& express,
                         Network& network, RecordFile& record_file) {
  const std::string code = express_code(express.courier_text());
  const int courier = express.courier_index();
  ReportList& orders = window.order_list();

  // The order as it stood when the request was built: the delivery row and the record line
  // describe the order that was delivered, even if the selection moves during the exchange.
  std::string order_id;
  std::string order_second_cell;
  auto take_selected_order = [&] {
    const int row = orders.selected_row();
    order_id = orders.cell(row, 1);
    order_second_cell = orders.cell(row, 2);
  };

  std::string reply;
  if (courier == 0) {
    take_selected_order();
    reply = url_decode(
        network.winhttp_fetch(build_delivery_request(order_id, code, session.access_token())), true);
  } else if (courier >= 1) {
    const std::string tracking_number = express.tracking_text();
    if (tracking_number.empty()) {
      window.show_message(texts::kEnterTrackingNumber, kMessageOk);
    } else {
      take_selected_order();
      reply = url_decode(network.winhttp_fetch(build_delivery_request_with_courier(
                             order_id, code, tracking_number, session.access_token())),
                         true);
    }
  }

  const bool accepted = is_delivery_accepted(reply);
  // The window may have been closed during the exchange: then only the record file is left to
  // tell of a delivery the platform accepted.
  if (window.alive()) {
    if (!accepted) {
      window.append_log(texts::kDeliveryFailed);
      return;
    }
    window.append_log(texts::kDeliverySucceeded);
    ReportList& deliveries = window.delivery_list();
    const int row = deliveries.insert_row();
    deliveries.set_cell(row, 0, std::to_string(deliveries.row_count()));
    deliveries.set_cell(row, 1, order_id);
    deliveries.set_cell(row, 2, order_second_cell);
    deliveries.set_cell(row, 3, texts::kDeliveredCell);
  }
  // A failed write is not reported: the delivery is done on the platform either way.
  if (accepted) record_file.append_if_exists(concat(order_id, "|", concat(order_second_cell, "\r\n")));
}

}  // namespace quillmere::shop
