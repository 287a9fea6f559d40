#include "shop/bulk.h"

#include <optional>
#include <utility>

#include "shop/bulk_texts.h"
#include "shop/calls.h"
#include "shop/cell_text.h"
#include "shop/couriers.h"
#include "shop/replies.h"
#include "shop/texts.h"

namespace quillmere::shop {
namespace {

// As retrieval spaces its requests.
constexpr int kRequestSpacingMs = 300;
// Excel keeps 15 significant digits of a number; the rest of a longer id is gone.
constexpr int kExactDigits = 15;
// How many candidates an ambiguous courier's 检查 names before "…".
constexpr std::size_t kCandidatesShown = 3;

// ---- Reading the table ----

const sheet::Cell* cell_at(const sheet::Row& row, int column) {
  if (column < 0 || static_cast<std::size_t>(column) >= row.size()) return nullptr;
  return &row[static_cast<std::size_t>(column)];
}

bool row_is_blank(const sheet::Row& row) {
  for (const sheet::Cell& cell : row) {
    if (!trim_blanks(cell.text).empty()) return false;
  }
  return true;
}

// The first column whose trimmed title is one of `titles`; -1 when none is.
template <std::size_t N>
int column_titled(const sheet::Row& row, const std::array<std::string_view, N>& titles) {
  for (std::size_t column = 0; column < row.size(); ++column) {
    const std::string title = trim_blanks(row[column].text);
    for (std::string_view wanted : titles) {
      if (title == wanted) return static_cast<int>(column);
    }
  }
  return -1;
}

// ---- Checking a row ----

bool all_digits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// "1.23456789012346E+17", "7.8E+13": a number Excel shows in scientific notation.
bool is_scientific(std::string_view text) {
  const std::size_t e = text.find_first_of("Ee");
  if (e == std::string_view::npos || e + 1 >= text.size() || text[e + 1] != '+') return false;
  std::string_view mantissa = text.substr(0, e);
  if (const std::size_t point = mantissa.find('.'); point != std::string_view::npos) {
    if (!all_digits(mantissa.substr(point + 1))) return false;
    mantissa = mantissa.substr(0, point);
  }
  return all_digits(mantissa) && all_digits(text.substr(e + 2));
}

// "7202612100001.0": a number cell's text with the decimal part a number format adds.
bool has_point_zero(std::string_view text) {
  const std::size_t point = text.find('.');
  if (point == std::string_view::npos || !all_digits(text.substr(0, point))) return false;
  const std::string_view decimals = text.substr(point + 1);
  return !decimals.empty() && decimals.find_first_not_of('0') == std::string_view::npos;
}

// The digits from the first that is not 0 on, the point left out: what a number cell had to
// keep exactly.
int significant_digits(std::string_view number) {
  int count = 0;
  for (char c : number) {
    if (c >= '1' && c <= '9')
      ++count;
    else if (c == '0' && count > 0)
      ++count;
  }
  return count;
}

std::string candidate_names(const std::vector<int>& candidates) {
  std::string names;
  for (std::size_t i = 0; i < candidates.size() && i < kCandidatesShown; ++i) {
    if (i > 0) names += " / ";
    names += courier_name(kCouriers[static_cast<std::size_t>(candidates[i])]);
  }
  if (candidates.size() > kCandidatesShown) names.append(" / ").append(texts::kMoreCandidates);
  return names;
}

std::string courier_problem(std::string_view cell, const CourierMatch& match) {
  std::string problem;
  if (match.kind == CourierMatch::Kind::ambiguous) {
    problem.append(texts::kCourierAmbiguous).append(cell).append(texts::kCourierCandidates);
    problem += candidate_names(match.candidates);
    return problem;
  }
  problem.append(texts::kCourierUnknown).append(cell);
  if (!match.candidates.empty()) {
    problem.append(texts::kCourierHintPrefix)
        .append(courier_name(kCouriers[static_cast<std::size_t>(match.candidates.front())]))
        .append(texts::kCourierHintSuffix);
  }
  return problem;
}

// What is wrong with an order id, or nothing.
std::string_view order_id_problem(std::string_view id, bool was_number) {
  if (id.empty()) return texts::kOrderIdEmpty;
  if (is_scientific(id)) return texts::kOrderIdScientific;
  if (has_point_zero(id)) return texts::kOrderIdPointZero;
  if (!all_digits(id)) return texts::kOrderIdNotDigits;
  if (was_number && significant_digits(id) > kExactDigits) return texts::kOrderIdLongNumber;
  return {};
}

// What is wrong with a tracking number that its courier needs, or nothing.
std::string_view tracking_problem(std::string_view tracking, bool was_number) {
  if (tracking.empty()) return texts::kTrackingEmpty;
  if (is_scientific(tracking)) return texts::kTrackingScientific;
  if (was_number && all_digits(tracking) && significant_digits(tracking) > kExactDigits)
    return texts::kTrackingLongNumber;
  if (has_blank(tracking)) return texts::kTrackingBlankInside;
  return {};
}

std::string joined(std::string_view a, std::string_view b, std::string_view c = {},
                   std::string_view d = {}) {
  std::string out;
  out.reserve(a.size() + b.size() + c.size() + d.size());
  out.append(a).append(b).append(c).append(d);
  return out;
}

// ---- Sending ----

// The job's renewals log through the report; the job has no window to ask about, and goes on
// after one closes so that the request out is recorded.
class NoList final : public ReportList {
 public:
  int row_count() override { return 0; }
  int insert_row() override { return -1; }
  void set_cell(int, int, std::string_view) override {}
  std::string cell(int, int) override { return {}; }
  void delete_all() override {}
  int find_row(int, std::string_view) override { return -1; }
  int selected_row() override { return -1; }
};

class ReportingWindow final : public MainWindow {
 public:
  explicit ReportingWindow(BulkReport& report) : report_(report) {}
  void append_log(std::string_view text) override { report_.log(std::string(text)); }
  ReportList& order_list() override { return none_; }
  ReportList& delivery_list() override { return none_; }
  void show_message(std::string_view, unsigned) override {}
  void open_express_window() override {}
  bool alive() override { return true; }
  void notify_new_orders(int) override {}
  void announce_new_orders(const std::vector<AddedOrder>&) override {}

 private:
  BulkReport& report_;
  NoList none_;
};

// The detail of `order_id` in a detail reply; none when the reply holds no such order.
std::optional<OrderDetail> detail_of(std::string_view reply, const std::string& order_id) {
  for (OrderDetail& order : read_order_details(reply)) {
    if (order.order_id == order_id) return std::move(order);
  }
  return std::nullopt;
}

// Why an order is not to be sent, or nothing.
std::string skip_reason(std::string_view reply, const std::optional<OrderDetail>& order) {
  if (!order) return joined(texts::kSkippedBecause, failure_reason(reply));
  if (order->status2 != texts::kPaid) return joined(texts::kSkippedBecause, texts::kNotPaid);
  if (order->status_desc != texts::kAwaitingShipment) {
    return joined(texts::kSkippedBecause,
                  order->status_desc.empty() ? texts::kStateUnknown : order->status_desc);
  }
  return {};
}

bool shows_shipped(const std::optional<OrderDetail>& order) {
  return order && contains_characters(order->status_desc, texts::kShippedState);
}

// The platform answered and said no: nothing was shipped. Anything else that is not the yes
// (no reply, a cut reply, a success in another form) may have shipped.
bool is_refusal(std::string_view reply) { return status_code(reply) > 0; }

}  // namespace

std::unordered_set<std::string> recorded_order_ids(std::string_view record_text) {
  std::unordered_set<std::string> ids;
  while (!record_text.empty()) {
    std::size_t end = record_text.find('\n');
    std::string_view line = record_text.substr(0, end);
    record_text = end == std::string_view::npos ? std::string_view() : record_text.substr(end + 1);
    const std::size_t bar = line.find('|');
    if (bar == std::string_view::npos) continue;
    const std::string id = trim_blanks(line.substr(0, bar));
    if (!id.empty()) ids.insert(id);
  }
  return ids;
}

BulkCheckInputs bulk_check_inputs(std::string_view record_text, ReportList& delivery_list,
                                  ReportList& order_list) {
  BulkCheckInputs inputs;
  inputs.recorded = recorded_order_ids(record_text);
  for (int row = 0, rows = delivery_list.row_count(); row < rows; ++row) {
    std::string id = delivery_list.cell(row, 1);
    if (!id.empty()) inputs.delivered.insert(std::move(id));
  }
  for (int row = 0, rows = order_list.row_count(); row < rows; ++row) {
    std::string id = order_list.cell(row, 1);
    if (!id.empty()) inputs.order_states.emplace(std::move(id), order_list.cell(row, 5));
  }
  return inputs;
}

BulkImport BulkList::add(const sheet::Table& table) {
  BulkImport import;
  std::size_t first = 0;
  while (first < table.rows.size() && row_is_blank(table.rows[first])) ++first;
  int order_column = 0;
  int courier_column = 1;
  int tracking_column = 2;
  std::size_t data = first;
  if (first < table.rows.size()) {
    const sheet::Row& titles = table.rows[first];
    const int order_titled = column_titled(titles, texts::kOrderIdTitles);
    const int courier_titled = column_titled(titles, texts::kCourierTitles);
    const int tracking_titled = column_titled(titles, texts::kTrackingTitles);
    if (order_titled >= 0 || courier_titled >= 0 || tracking_titled >= 0) {
      if (order_titled < 0) import.error = texts::kNoOrderIdColumn;
      if (courier_titled < 0) import.error = texts::kNoCourierColumn;
      if (!import.error.empty()) return import;
      // Without a tracking column every row says what it lacks, unless it needs none.
      order_column = order_titled;
      courier_column = courier_titled;
      tracking_column = tracking_titled;
      data = first + 1;
    }
  }

  for (std::size_t r = data; r < table.rows.size(); ++r) {
    const sheet::Row& source = table.rows[r];
    BulkRow row;
    row.line = static_cast<int>(r + 1);
    if (const sheet::Cell* cell = cell_at(source, order_column)) {
      row.order_id = trim_blanks(cell->text);
      row.order_id_was_number = cell->number;
    }
    if (const sheet::Cell* cell = cell_at(source, courier_column))
      row.courier = trim_blanks(cell->text);
    if (const sheet::Cell* cell = cell_at(source, tracking_column)) {
      row.tracking = trim_blanks(cell->text);
      row.tracking_was_number = cell->number;
    }
    if (row.order_id.empty() && row.courier.empty() && row.tracking.empty()) continue;
    // The unit separator cannot stand in a cell's GBK text, so the key is unambiguous.
    std::string key = joined(row.order_id, "\x1f", row.courier, "\x1f");
    key += row.tracking;
    if (!keys_.insert(std::move(key)).second) {
      ++import.repeated;
      continue;
    }
    rows_.push_back(std::move(row));
    ++import.added;
  }
  return import;
}

void BulkList::check(const BulkCheckInputs& inputs) {
  std::unordered_map<std::string, int> first_line;  // order id → 行 of the first row with it
  first_line.reserve(rows_.size());
  for (BulkRow& row : rows_) {
    std::string problems;
    auto add_problem = [&](std::string_view problem) {
      if (!problems.empty()) problems += texts::kProblemSeparator;
      problems += problem;
    };
    row.send_order_id.clear();
    row.express_code.clear();
    row.courier_index = -1;
    row.send_tracking.clear();

    const std::string id = half_width_letters_digits(row.order_id);
    const std::string_view id_problem = order_id_problem(id, row.order_id_was_number);
    if (!id_problem.empty()) add_problem(id_problem);

    const CourierMatch courier = match_courier(row.courier);
    if (row.courier.empty()) {
      add_problem(texts::kCourierEmpty);
    } else if (courier.kind != CourierMatch::Kind::found) {
      add_problem(courier_problem(row.courier, courier));
    }
    const bool no_logistics = courier.kind == CourierMatch::Kind::found && courier.index == 0;
    const std::string tracking = half_width_letters_digits(row.tracking);
    if (!no_logistics) {
      const std::string_view problem = tracking_problem(tracking, row.tracking_was_number);
      if (!problem.empty()) add_problem(problem);
    }

    bool recorded = false;
    if (id_problem.empty()) {
      const auto [earlier, first] = first_line.emplace(id, row.line);
      if (!first) {
        add_problem(
            joined(texts::kRepeatsPrefix, std::to_string(earlier->second), texts::kRepeatsSuffix));
      }
      recorded = inputs.recorded.count(id) != 0 || inputs.delivered.count(id) != 0;
      const auto listed = inputs.order_states.find(id);
      if (listed != inputs.order_states.end() && listed->second != texts::kAwaitingShipment) {
        add_problem(listed->second.empty() ? texts::kStateUnknown
                                           : joined(texts::kListedState, listed->second));
      }
    }

    if (recorded) {
      row.verdict = BulkVerdict::recorded;
      row.check = texts::kAlreadyRecorded;
    } else if (!problems.empty()) {
      row.verdict = BulkVerdict::problem;
      row.check = std::move(problems);
    } else {
      row.verdict = BulkVerdict::ready;
      row.check = texts::kReadyToSend;
      row.send_order_id = id;
      row.express_code = express_code(kCouriers[static_cast<std::size_t>(courier.index)]);
      row.courier_index = courier.index;
      if (!no_logistics) row.send_tracking = tracking;
    }

    if (row.verdict == BulkVerdict::recorded) {
      if (row.result.empty()) {
        row.result = texts::kSkipped;
        row.result_from_check = true;
      }
    } else if (row.result_from_check) {
      row.result.clear();
      row.result_from_check = false;
    }
  }
}

void BulkList::clear() {
  rows_.clear();
  keys_.clear();
}

std::vector<BulkItem> BulkList::items_to_send() const {
  std::vector<BulkItem> items;
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    const BulkRow& row = rows_[i];
    if (row.verdict != BulkVerdict::ready || row.result == texts::kDeliveredCell) continue;
    items.push_back({i, row.send_order_id, row.express_code, row.courier_index, row.send_tracking});
  }
  return items;
}

std::string BulkList::confirmation_text() const {
  std::size_t problems = 0;
  for (const BulkRow& row : rows_) {
    problems += row.verdict != BulkVerdict::ready && row.result != texts::kDeliveredCell;
  }
  return joined(texts::kConfirmPrefix, std::to_string(items_to_send().size()),
                texts::kConfirmMiddle, joined(std::to_string(problems), texts::kConfirmSuffix));
}

void BulkList::set_result(std::size_t row, std::string_view result) {
  if (row >= rows_.size()) return;
  rows_[row].result = result;
  rows_[row].result_from_check = false;
}

BulkTable BulkList::unsent_table() const {
  BulkTable table;
  table.titles = {std::string(texts::kOrderIdTitles[0]), std::string(texts::kCourierTitles[0]),
                  std::string(texts::kTrackingTitles[0]), std::string(texts::kReasonTitle)};
  for (const BulkRow& row : rows_) {
    if (row.result == texts::kDeliveredCell) continue;
    std::string reason;
    if (!row.result.empty() && row.result != texts::kSkipped) {
      reason = row.result;
    } else if (row.verdict != BulkVerdict::ready) {
      reason = row.check;
    } else {
      reason = texts::kNotSent;
    }
    table.rows.push_back({row.order_id, row.courier, row.tracking, std::move(reason)});
  }
  return table;
}

std::string progress_text(const BulkProgress& progress) {
  return joined(joined(texts::kProgressSent, std::to_string(progress.succeeded),
                       texts::kProgressTotal, std::to_string(progress.total)),
                joined(texts::kProgressFailed, std::to_string(progress.failed),
                       texts::kProgressSkipped, std::to_string(progress.skipped)));
}

void run_bulk_delivery(BulkRun run, Session& session, Network& network, Pacing& pacing,
                       RecordFile& record_file, BulkReport& report) {
  ReportingWindow window(report);
  Caller caller{session, window, network, pacing};
  BulkProgress progress;
  progress.total = static_cast<int>(run.items.size());
  bool asked_before = false;
  auto space_request = [&] {
    if (asked_before) pacing.wait_ms(kRequestSpacingMs);
    asked_before = true;
  };
  auto stop_requested = [&] { return run.stop && run.stop->load(); };

  bool stopped = false;
  for (const BulkItem& item : run.items) {
    if (stop_requested()) {
      stopped = true;
      break;
    }
    BulkRowDone done;
    done.row = item.row;
    space_request();
    const std::string before = fetch_detail(caller, item.order_id);
    const std::optional<OrderDetail> order = detail_of(before, item.order_id);
    std::string skip = skip_reason(before, order);
    if (!skip.empty()) {
      ++progress.skipped;
      done.result = std::move(skip);
    } else {
      // Nothing is out between the read and the delivery: a stop here sends nothing more.
      if (stop_requested()) {
        stopped = true;
        break;
      }
      space_request();
      const std::string reply = send_delivery(caller, item.order_id, item.express_code,
                                              item.courier_index, item.tracking_number);
      std::string quantity = order->quantity;
      bool shipped = is_delivery_accepted(reply);
      if (!shipped && is_refusal(reply)) {
        done.result = joined(texts::kBulkDeliveryFailed, failure_reason(reply));
      } else if (!shipped) {
        // Sent once and never again: the order itself says whether it went.
        space_request();
        const std::optional<OrderDetail> after =
            detail_of(fetch_detail(caller, item.order_id), item.order_id);
        shipped = shows_shipped(after);
        if (shipped && !after->quantity.empty()) quantity = after->quantity;
        if (!shipped) done.result = texts::kOutcomeUnknown;
      }
      if (shipped) {
        ++progress.succeeded;
        done.result = texts::kDeliveredCell;
        done.shipped = true;
        done.order_id = item.order_id;
        done.quantity = quantity;
        // Written before anything is reported, so that it never waits on the window.
        const RecordResult recorded =
            record_file.append_if_exists(joined(item.order_id, "|", quantity, "\r\n"));
        if (recorded.status == RecordStatus::failed)
          report.log(joined(texts::kRecordWriteFailed, recorded.reason, "\r\n"));
      } else {
        ++progress.failed;
      }
    }
    done.progress = progress;
    done.progress_text = progress_text(progress);
    report.row_done(done);
  }

  BulkSummary summary;
  summary.progress = progress;
  summary.stopped = stopped;
  summary.log_line =
      joined(joined(texts::kBulkDonePrefix, std::to_string(progress.succeeded),
                    texts::kBulkDoneFailed, std::to_string(progress.failed)),
             texts::kBulkDoneSkipped, std::to_string(progress.skipped), texts::kBulkDoneSuffix);
  report.finished(summary);
}

}  // namespace quillmere::shop
