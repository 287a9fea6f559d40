#include "app/bulk_shipping_win.h"

#include <utility>

#include "app/edge_text_win.h"
#include "app/export_win.h"
#include "app/program_folder_win.h"
#include "sheet/list_export.h"
#include "sheet/read.h"
#include "shop/bulk_texts.h"
#include "shop/texts.h"
#include "shop/workflows.h"

namespace quillmere::app {
namespace {

// A record file beyond this is read as far as nothing: no shop writes that many lines.
constexpr std::size_t kRecordFileLimit = 64u << 20;
// Spacing between one row's requests (shop/bulk.h), three at most.
constexpr std::chrono::milliseconds kRowSpacing{3 * 300};

BulkRow view_of(const shop::BulkRow& row) {
  return {std::to_string(row.line), row.order_id, row.courier, row.tracking, row.check, row.result};
}

// The bytes of 发货记录.txt in the program's folder; none when it is missing or unreadable.
std::string record_file_bytes() {
  std::string bytes;
  const std::wstring path = program_directory() + L"/" + wide(shop::texts::kRecordFileName);
  if (read_file_bytes(path, kRecordFileLimit, &bytes) != 0) bytes.clear();
  return bytes;
}

std::string today_text() {
  SYSTEMTIME today{};
  GetLocalTime(&today);
  return sheet::padded_date_text(today.wYear, today.wMonth, today.wDay);
}

}  // namespace

std::chrono::milliseconds longest_bulk_row(std::chrono::milliseconds longest_delivery) {
  return 3 * longest_delivery + kRowSpacing;
}

// The job's reports, each handed to the window's thread by posting; dropped once it is gone.
class BulkShipping::PostedReport final : public shop::BulkReport {
 public:
  PostedReport(BulkShipping& owner, shop::Session& session, DeliveryPath& path)
      : owner_(owner), session_(session), path_(path) {}

  void row_done(const shop::BulkRowDone& done) override {
    owner_.thread_.post([&owner = owner_, done] { owner.row_done(done); });
  }
  void log(const std::string& line) override { owner_.main_window_.append_log(line); }
  // The last record line is written by now: the delivery path ends before the window hears it.
  void finished(const shop::BulkSummary& summary) override {
    session_.jobs().end_bulk_run();
    path_.delivery_path_ended();
    owner_.thread_.post([&owner = owner_, summary] { owner.run_finished(summary); });
  }

 private:
  BulkShipping& owner_;
  shop::Session& session_;
  DeliveryPath& path_;
};

BulkShipping::BulkShipping(WindowThread& thread, MainWindow& main_window,
                           ExpressWindow& express_window, shop::ShopPorts& ports,
                           DeliveryPath& path, std::chrono::milliseconds longest_row)
    : thread_(thread),
      main_window_(main_window),
      express_window_(express_window),
      ports_(ports),
      path_(path),
      longest_row_(longest_row),
      window_(thread) {
  window_.set_events(*this);
}

void BulkShipping::open(HWND main_window) {
  window_.open(main_window);
  follow_jobs();
}

void BulkShipping::follow_jobs() {
  const shop::Jobs& jobs = ports_.session.jobs();
  express_window_.hold_confirm(jobs.decide(shop::Button::confirm) == shop::Effect::refused);
  window_.hold_start(jobs.decide(shop::Button::start_bulk_run) == shop::Effect::refused);
}

void BulkShipping::bulk_file_read(std::wstring_view, std::string bytes) {
  take_table(sheet::read_sheet_file(bytes));
}

void BulkShipping::bulk_text_pasted(std::string text) { take_table(sheet::read_pasted_text(text)); }

void BulkShipping::take_table(const sheet::ReadResult& read) {
  if (!read.error.empty()) {
    const bool legacy = read.error == sheet::legacy_xls_message();
    window_.show_message(read.error,
                         legacy ? MB_OK | MB_ICONINFORMATION : MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  const shop::BulkImport import = list_.add(read.table);
  if (!import.error.empty()) {
    window_.show_message(import.error);
    return;
  }
  check_rows();
}

// Against what the record file and the two lists hold now, on the window's thread.
void BulkShipping::check_rows() {
  const std::string recorded = record_file_bytes();
  list_.check(
      shop::bulk_check_inputs(recorded, main_window_.delivery_list(), main_window_.order_list()));
  show_rows();
}

void BulkShipping::show_rows() {
  std::vector<BulkRow> rows;
  rows.reserve(list_.rows().size());
  for (const shop::BulkRow& row : list_.rows()) rows.push_back(view_of(row));
  window_.replace_rows(rows);
}

void BulkShipping::show_row(std::size_t row) {
  if (row < list_.rows().size())
    window_.update_row(static_cast<int>(row), view_of(list_.rows()[row]));
}

void BulkShipping::start_clicked() {
  if (running() ||
      ports_.session.jobs().decide(shop::Button::start_bulk_run) == shop::Effect::refused)
    return;
  check_rows();
  std::vector<shop::BulkItem> items = list_.items_to_send();
  if (items.empty()) {
    window_.show_message(shop::texts::kNothingToSend, MB_OK | MB_ICONINFORMATION);
    return;
  }
  if (!window_.ask_yes_no(list_.confirmation_text())) return;
  // The question's own loop may have let another job of the path begin.
  if (running()) return;

  auto stop = std::make_shared<std::atomic<bool>>(false);
  shop::BulkRun run{std::move(items), stop};
  const int total = static_cast<int>(run.items.size());
  const bool out = shop::start_job(
      ports_.threads,
      [&] {
        if (!ports_.session.jobs().begin_bulk_run()) return false;
        stop_ = stop;
        close_after_run_ = false;
        path_.delivery_path_began(shop::texts::kBulkUnderWay, longest_row_);
        window_.set_running(true);
        window_.set_progress(0, total);
        window_.set_summary(shop::progress_text(shop::BulkProgress{total, 0, 0, 0}));
        follow_jobs();
        return true;
      },
      [this, run = std::move(run)]() mutable {
        PostedReport report(*this, ports_.session, path_);
        shop::run_bulk_delivery(std::move(run), ports_.session, ports_.network, ports_.pacing,
                                ports_.record_file, report);
      });
  if (!out) follow_jobs();
}

void BulkShipping::stop_clicked() {
  if (stop_ != nullptr) stop_->store(true);
}

void BulkShipping::stop_for_exit() { stop_clicked(); }

void BulkShipping::row_done(const shop::BulkRowDone& done) {
  list_.set_result(done.row, done.result);
  show_row(done.row);
  window_.reveal_row(static_cast<int>(done.row));
  window_.set_progress(done.progress.done(), done.progress.total);
  window_.set_summary(done.progress_text);
  if (done.shipped)
    shop::add_delivery_row(main_window_.delivery_list(), done.order_id, done.quantity);
}

void BulkShipping::run_finished(const shop::BulkSummary& summary) {
  stop_.reset();
  main_window_.append_log(summary.log_line);
  window_.set_running(false);
  window_.set_summary(shop::progress_text(summary.progress));
  check_rows();
  follow_jobs();
  if (close_after_run_) {
    close_after_run_ = false;
    window_.close();
  }
}

void BulkShipping::export_clicked() {
  const shop::BulkTable unsent = list_.unsent_table();
  const sheet::ExportTable table{unsent.titles, unsent.rows};
  const std::string day = today_text();
  export_table(window_.window_handle(), main_window_.handle(), table,
               sheet::export_file_name(shop::texts::kUnsentExportName, day), day);
}

bool BulkShipping::close_requested() {
  if (!running()) return true;
  if (close_after_run_) return false;  // already stopping, and closing once the run ends
  if (!window_.ask_yes_no(shop::texts::kStopAndClose)) return false;
  // The run may have ended while the question was up.
  if (!running()) return true;
  stop_clicked();
  close_after_run_ = true;
  return false;
}

bool BulkShipping::main_window_may_close() {
  if (!running()) return true;
  if (!window_.ask_yes_no(shop::texts::kStopAndClose)) return false;
  stop_clicked();
  return true;
}

void BulkShipping::close_window() { window_.close(); }

}  // namespace quillmere::app
