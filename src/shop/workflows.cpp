#include "shop/workflows.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "http/decode.h"
#include "shop/calls.h"
#include "shop/couriers.h"
#include "shop/replies.h"
#include "shop/requests.h"
#include "shop/texts.h"

namespace quillmere::shop {
namespace {

constexpr int kRequestSpacingMs = 300;
constexpr int kPassSpacingMs = 100;
// Monitoring's ids requests start at least this far apart; after a frequency refusal the gap
// doubles up to the longest.
constexpr int kIdsRequestGapMs = 1000;
constexpr int kLongestIdsRequestGapMs = 30000;
// A page with this many ids may have a next one.
constexpr std::size_t kFullPage = 10;
constexpr int kLastPage = 100;

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
  if (kind == IdsReplyKind::success || kind == IdsReplyKind::empty_day)
    return read_order_ids(ids_reply);
  return {};
}

bool is_failure(IdsReplyKind kind) {
  return kind == IdsReplyKind::no_reply || kind == IdsReplyKind::refusal ||
         kind == IdsReplyKind::missing_token;
}

// The ids of a day over all its pages, in page order; a later page adds only ids that no
// earlier page had. Page 1's ids stay as they came, so a day of one page goes as it always did.
struct DayIds {
  std::deque<std::string> ids;                // stays in place for `seen`
  std::unordered_set<std::string_view> seen;  // made once a later page brings ids
  std::string failed_reply;                   // the later page that failed
  bool later_page_failed = false;

  // Whether the next page is to be asked for: this one was full.
  bool add_first_page(std::vector<std::string> page) {
    for (std::string& id : page) ids.push_back(std::move(id));
    return page.size() >= kFullPage;
  }
  // Whether the next page is to be asked for: this one was full and brought something new (a
  // platform that ignores page_num sends page 1 again).
  bool add_later_page(std::vector<std::string> page) {
    if (page.empty()) return false;
    if (seen.empty()) seen.insert(ids.begin(), ids.end());
    bool fresh = false;
    for (std::string& id : page) {
      if (seen.count(id) != 0) continue;
      ids.push_back(std::move(id));
      seen.insert(ids.back());
      fresh = true;
    }
    return fresh && page.size() >= kFullPage;
  }
};

// Pages 2, 3, ... while each one asks for the next. Retrieval waits after every page, as after
// page 1; monitoring waits between pages. Ends at once when the window is gone.
void read_later_pages(Caller& caller, const std::string& order_date, DayIds& day, bool wait_after) {
  for (int page_num = 2; page_num <= kLastPage; ++page_num) {
    if (!wait_after) caller.pacing.wait_ms(kRequestSpacingMs);
    if (!caller.window.alive()) return;
    const std::string reply = fetch_ids_page(caller, order_date, page_num);
    if (wait_after) caller.pacing.wait_ms(kRequestSpacingMs);
    if (!caller.window.alive()) return;
    const IdsReplyKind kind = classify_ids_reply(reply);
    if (is_failure(kind)) {
      day.later_page_failed = true;
      day.failed_reply = reply;
      return;
    }
    // A later page's empty-day reply is the end of the day, not news.
    if (!day.add_later_page(ids_to_read(kind, reply)) || kind == IdsReplyKind::empty_day) return;
  }
}

void report_record_failure(MainWindow& window, const RecordResult& result) {
  if (result.status == RecordStatus::failed)
    window.append_log(concat(texts::kRecordWriteFailed, result.reason, "\r\n"));
}

// On the window's thread, once the record line is written (or not taken).
void show_delivery_outcome(MainWindow& window, bool accepted, const std::string& order_id,
                           const std::string& order_second_cell, const RecordResult& recorded) {
  if (!accepted) {
    window.append_log(texts::kDeliveryFailed);
    return;
  }
  window.append_log(texts::kDeliverySucceeded);
  add_delivery_row(window.delivery_list(), order_id, order_second_cell);
  // The delivery is done on the platform either way; a line the file did not take is told, so
  // that the owner can write it down before it is forgotten.
  report_record_failure(window, recorded);
}

}  // namespace

void run_login(Session& session, MainWindow& window, Network& network, const std::string& app_key,
               const std::string& secret, std::uint64_t ticket) {
  const std::string reply = network.fetch_page(build_token_request(app_key, secret));
  const std::string token = read_token(reply);
  const bool succeeded = login_succeeded(token, reply);
  if (!session.end_login(ticket, token, succeeded, app_key, secret, read_expire_in(reply))) return;
  window.append_log(succeeded ? texts::kLoginSucceeded : texts::kLoginFailed);
}

void run_order_retrieval(Session& session, MainWindow& window, Network& network, Pacing& pacing,
                         Date order_day, std::uint64_t ticket) {
  Jobs& jobs = session.jobs();
  struct Ended {
    Jobs& jobs;
    std::uint64_t ticket;
    ~Ended() { jobs.end_retrieval(ticket); }
  } ended{jobs, ticket};
  // A retrieval overtaken by a later click writes nothing more, and ends.
  auto current = [&] { return window.alive() && jobs.retrieval_current(ticket); };

  Caller caller{session, window, network, pacing};
  const std::string order_date = order_date_text(order_day);
  ReportList& orders = window.order_list();
  if (!jobs.retrieval_write(ticket, [&] { orders.delete_all(); })) return;
  const std::string ids_reply = fetch_ids_page(caller, order_date, 1);
  pacing.wait_ms(kRequestSpacingMs);
  if (!current()) return;

  auto log_fetch_failure = [&](std::string_view reply) {
    window.append_log(concat(texts::kFetchFailedPrefix, order_date,
                             concat(texts::kFetchFailedMiddle, failure_reason(reply), "\r\n")));
  };
  const IdsReplyKind kind = classify_ids_reply(ids_reply);
  switch (kind) {
    case IdsReplyKind::empty_day: window.append_log(concat(order_date, texts::kNoOrdersYet)); break;
    case IdsReplyKind::missing_token: window.show_message(texts::kPleaseLogIn, kMessageOk); break;
    case IdsReplyKind::success:
      window.append_log(concat(texts::kFetchedPrefix, order_date, texts::kFetchedSuffix));
      break;
    case IdsReplyKind::no_reply:
    case IdsReplyKind::refusal: log_fetch_failure(ids_reply); break;
  }

  DayIds day;
  if (day.add_first_page(ids_to_read(kind, ids_reply)))
    read_later_pages(caller, order_date, day, true);
  if (!current()) return;
  // The list below is then short of the later pages' orders: the owner must know.
  if (day.later_page_failed) log_fetch_failure(day.failed_reply);

  int row_counter = 0;
  for (const std::string& id : day.ids) {
    if (!current()) return;
    const std::string detail_reply = fetch_detail(caller, id);
    pacing.wait_ms(kRequestSpacingMs);
    if (!current()) return;
    const std::vector<OrderDetail> details = read_order_details(detail_reply);
    if (details.empty()) {
      window.append_log(
          concat(texts::kDetailFailedPrefix, id,
                 concat(texts::kDetailFailedMiddle, failure_reason(detail_reply), "\r\n")));
    }
    for (const OrderDetail& order : details) {
      const bool written = jobs.retrieval_write(ticket, [&] {
        const int row = orders.insert_row();
        ++row_counter;
        orders.set_cell(row, 0, std::to_string(row_counter));
        write_order_cells(orders, row, order);
      });
      if (!written) return;
    }
  }
}

void monitoring_pass(Session& session, MainWindow& window, Network& network, Pacing& pacing) {
  if (!window.alive()) return;
  Caller caller{session, window, network, pacing};
  const std::string order_date = order_date_text(session.monitored_day());
  session.set_last_ids_request_ms(session.clock().now_ms());
  const std::string ids_reply = fetch_ids_page(caller, order_date, 1);
  if (!window.alive()) return;
  const IdsReplyKind kind = classify_ids_reply(ids_reply);
  DayIds day;
  if (day.add_first_page(ids_to_read(kind, ids_reply)))
    read_later_pages(caller, order_date, day, false);
  if (!window.alive()) return;

  const bool failed = is_failure(kind) || day.later_page_failed;
  if (failed && !session.monitoring_failing()) {
    const std::string_view failed_reply = is_failure(kind) ? ids_reply : day.failed_reply;
    window.append_log(concat(texts::kMonitoringFailedPrefix, failure_reason(failed_reply), "\r\n"));
  } else if (!failed && session.monitoring_failing()) {
    window.append_log(texts::kMonitoringRecovered);
  }
  session.set_monitoring_failing(failed);
  // A day seen only in part says nothing about how many orders it has.
  if (!failed && !day.ids.empty()) {
    const int count = static_cast<int>(day.ids.size());
    if (count > session.order_id_count()) window.append_log(texts::kNewOrders);
    session.set_order_id_count(count);
  }

  ReportList& orders = window.order_list();
  int rows_added = 0;
  std::vector<AddedOrder> added;
  for (const std::string& id : day.ids) {
    pacing.wait_ms(kRequestSpacingMs);
    if (!window.alive()) return;
    if (orders.find_row(1, id) != -1) continue;
    const std::string detail_reply = fetch_detail(caller, id);
    if (!window.alive()) return;
    const std::vector<OrderDetail> details = read_order_details(detail_reply);
    // While a retrieval lists the day nothing is added: it lists this order as well. Nor is an
    // order added that something listed during the exchange.
    session.jobs().monitoring_write([&] {
      if (orders.find_row(1, id) != -1) return;
      for (const OrderDetail& order : details) {
        if (order.status2 != texts::kPaid) continue;
        const int row = orders.insert_row();
        orders.set_cell(row, 0, std::to_string(orders.row_count()));
        write_order_cells(orders, row, order);
        ++rows_added;
        added.push_back({order.order_id, order.item_name, order.quantity});
      }
    });
    if (!window.alive()) return;
  }
  // Backs off while the platform says the calls come too often, and no longer than that.
  if (caller.frequency_refused) {
    session.set_ids_request_gap_ms(
        std::min(session.ids_request_gap_ms() * 2, kLongestIdsRequestGapMs));
  } else if (!failed) {
    session.set_ids_request_gap_ms(kIdsRequestGapMs);
  }
  // Once per pass, not per row: one flash and one sound however many orders came in.
  if (rows_added > 0 && window.alive()) window.notify_new_orders(rows_added);
  if (!added.empty() && window.alive()) window.announce_new_orders(added);
}

namespace {

// What is left of the gap monitoring keeps between its ids requests.
int ids_gap_left_ms(Session& session) {
  const std::optional<std::uint64_t> last = session.last_ids_request_ms();
  if (!last) return 0;
  const std::uint64_t since = session.clock().now_ms() - *last;
  const auto gap = static_cast<std::uint64_t>(session.ids_request_gap_ms());
  return since >= gap ? 0 : static_cast<int>(gap - since);
}

}  // namespace

void run_monitoring(Session& session, MainWindow& window, Network& network, Pacing& pacing) {
  // One loop: a start while it runs only keeps it running.
  if (session.start_monitoring()) run_started_monitoring(session, window, network, pacing);
}

void run_started_monitoring(Session& session, MainWindow& window, Network& network,
                            Pacing& pacing) {
  // A new run tells of a failure even if the previous run stopped while failing.
  session.set_monitoring_failing(false);
  window.append_log(texts::kMonitoringStarted);
  // 停止监控 and closing the window end the waits between passes at once.
  auto stopped = [&] { return session.monitoring_flag() == 0 || !window.alive(); };
  while (!stopped() || !session.finish_monitoring(!window.alive())) {
    // A loop started again soon after one keeps the gap as well.
    if (const int left = ids_gap_left_ms(session); left > 0) {
      pacing.wait_until(left, stopped);
      if (stopped()) continue;
    }
    monitoring_pass(session, window, network, pacing);
    if (!window.alive()) continue;
    // A quiet day asks no more than once a gap; a busy one already takes longer per pass.
    pacing.wait_until(std::max(kPassSpacingMs, ids_gap_left_ms(session)), stopped);
  }
  if (window.alive()) window.append_log(texts::kMonitoringStopped);
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

std::optional<Delivery> take_delivery(MainWindow& window, const ExpressChoice& choice) {
  Delivery delivery;
  delivery.express_code = express_code(choice.courier_text);
  delivery.courier_index = choice.courier_index;
  if (choice.courier_index < 0) {
    window.append_log(texts::kDeliveryFailed);
    return std::nullopt;
  }
  if (choice.courier_index >= 1) {
    if (choice.tracking_text.empty()) {
      window.show_message(texts::kEnterTrackingNumber, kMessageOk);
      window.append_log(texts::kDeliveryFailed);
      return std::nullopt;
    }
    delivery.tracking_number = choice.tracking_text;
  }
  // No row selected reads as empty cells: the request goes with an empty order id, and fails.
  ReportList& orders = window.order_list();
  const int row = orders.selected_row();
  delivery.order_id = orders.cell(row, 1);
  delivery.order_second_cell = orders.cell(row, 2);
  return delivery;
}

bool begin_confirmation(Session& session, ExpressWindow& express) {
  if (!session.jobs().begin_delivery()) return false;
  express.hold_confirm(true);
  return true;
}

void on_confirm_delivery(Session& session, MainWindow& window, ExpressWindow& express,
                         Network& network, RecordFile& record_file, Pacing& pacing,
                         const Delivery& delivery) {
  Caller caller{session, window, network, pacing};
  const std::string reply = send_delivery(caller, delivery.order_id, delivery.express_code,
                                          delivery.courier_index, delivery.tracking_number);
  const bool accepted = is_delivery_accepted(reply);
  // Written here, before anything is reported: the line never waits for the window, which may
  // be gone by now.
  RecordResult recorded;
  if (accepted) {
    recorded = record_file.append_if_exists(
        concat(delivery.order_id, "|", concat(delivery.order_second_cell, "\r\n")));
  }
  session.jobs().end_delivery();
  // Whoever looks sees no outcome or all of it, and 确定 works again as soon as it shows.
  window.at_once([&session, &window, &express, accepted, recorded, order_id = delivery.order_id,
                  second_cell = delivery.order_second_cell] {
    show_delivery_outcome(window, accepted, order_id, second_cell, recorded);
    express.hold_confirm(session.jobs().decide(Button::confirm) == Effect::refused);
  });
}

void add_delivery_row(ReportList& deliveries, std::string_view order_id,
                      std::string_view order_second_cell) {
  const int row = deliveries.insert_row();
  deliveries.set_cell(row, 0, std::to_string(deliveries.row_count()));
  deliveries.set_cell(row, 1, order_id);
  deliveries.set_cell(row, 2, order_second_cell);
  deliveries.set_cell(row, 3, texts::kDeliveredCell);
}

void check_record_file(MainWindow& window, RecordFile& record_file) {
  report_record_failure(window, record_file.check_appendable());
}

}  // namespace quillmere::shop
