#pragma once
// 批量发货: the list of rows to ship, every row checked before anything is sent, and the job that
// sends the rows that passed, one at a time.
//
// The list lives on the window's thread. The job takes its rows as values when it starts, reads
// no control and reports through BulkReport, whose calls the window turns into posted messages.
// Texts are GBK.

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "sheet/table.h"
#include "shop/ports.h"
#include "shop/session.h"

namespace quillmere::shop {

enum class BulkVerdict {
  ready,     // 可发货
  problem,   // 检查 names what to fix
  recorded,  // 已发货（记录）: shipped before by this program
};

// One row of the list: the three cells as given (blanks at either end trimmed), then what the
// check made of them and what sending made of the row.
struct BulkRow {
  int line = 0;  // the row's line in its file or paste, from 1: the 行 column
  std::string order_id;
  std::string courier;
  std::string tracking;
  bool order_id_was_number = false;  // an .xlsx number cell
  bool tracking_was_number = false;

  BulkVerdict verdict = BulkVerdict::problem;
  std::string check;  // 检查
  // What a ready row sends.
  std::string send_order_id;
  std::string express_code;
  int courier_index = -1;
  std::string send_tracking;

  std::string result;              // 结果: empty until the row was sent or skipped
  bool result_from_check = false;  // the 跳过 of a recorded row, which a later check may clear
};

struct BulkImport {
  int added = 0;
  int repeated = 0;   // rows identical to one already in the list
  int replaced = 0;   // rows that took the place of an unshipped row of an earlier import
  std::string error;  // the columns could not be found: nothing was added
};

// What the check compares the rows with, taken when it runs.
struct BulkCheckInputs {
  std::unordered_set<std::string> recorded;                   // ids in 发货记录.txt
  std::unordered_set<std::string> delivered;                  // the delivery list's 订单号 cells
  std::unordered_map<std::string, std::string> order_states;  // 订单号 → the order list's 发货状态
};

// The ids of the record file's lines ("订单号|销量\r\n"), from the file's bytes.
std::unordered_set<std::string> recorded_order_ids(std::string_view record_text);

// The inputs from the record file's bytes and the two lists as the window's thread sees them:
// the delivery list's 订单号 (column 1), the order list's 订单号 and 发货状态 (columns 1 and 5).
BulkCheckInputs bulk_check_inputs(std::string_view record_text, ReportList& delivery_list,
                                  ReportList& order_list);

// One row as the job sends it.
struct BulkItem {
  std::size_t row = 0;  // its index in the list, for the report
  std::string order_id;
  std::string express_code;
  int courier_index = -1;
  std::string tracking_number;
};

// A table for the existing export: titles and rows, GBK.
struct BulkTable {
  std::vector<std::string> titles;
  std::vector<std::vector<std::string>> rows;
};

class BulkList {
 public:
  // Appends the table's rows. Columns are found by their titles (订单号 or 订单编号; 快递公司,
  // 物流公司 or 快递; 快递单号, 运单号 or 物流单号) in any order among others, when the first
  // row that is not empty holds one of them; otherwise the first three columns are taken in that
  // order. Empty rows, and rows identical to one the list holds, are left out. A row whose 订单号
  // an earlier import brought and that has not been shipped takes that row's place: the owner
  // fixed the row (after 导出未发货…) and brings it back. The rows added are unchecked until
  // check().
  BulkImport add(const sheet::Table& table);

  // Every row's 检查 (and the 跳过 of a recorded row), at once. Rows keep a 结果 they have.
  void check(const BulkCheckInputs& inputs);

  const std::vector<BulkRow>& rows() const { return rows_; }
  void clear();

  // The rows 开始发货 sends, in list order: ready ones not yet 发货成功.
  std::vector<BulkItem> items_to_send() const;
  // "将发货 N 单（另有 M 行有问题，不会发送），确定开始？": N the rows to send, M the rows the
  // check did not pass that have not been shipped from this list.
  std::string confirmation_text() const;

  // A row's 结果, as the job reported it.
  void set_result(std::size_t row, std::string_view result);

  // The rows without 发货成功, for 导出未发货…: 订单号, 快递公司, 快递单号 as given and 原因,
  // so that the owner can fix them and import the file again.
  BulkTable unsent_table() const;

 private:
  std::vector<BulkRow> rows_;
  std::unordered_set<std::string> keys_;  // the three cells of every row, for identical rows
};

// What a run has done so far.
struct BulkProgress {
  int total = 0;
  int succeeded = 0;
  int failed = 0;  // refused, or the outcome is unknown
  int skipped = 0;
  int done() const { return succeeded + failed + skipped; }
};
// "已发 N / 共 M 单，失败 K，跳过 S"
std::string progress_text(const BulkProgress& progress);

// One row done, with what the window shows for it in one step.
struct BulkRowDone {
  std::size_t row = 0;
  std::string result;  // 结果
  // The order shipped: the delivery list gains a row as after 确定 (its number, order_id,
  // quantity, 发货成功); the record line is already written.
  bool shipped = false;
  std::string order_id;
  std::string quantity;
  BulkProgress progress;
  std::string progress_text;
};

struct BulkSummary {
  BulkProgress progress;
  bool stopped = false;  // 停止 ended it before the last row
  std::string log_line;  // "批量发货完成：成功 N 单，失败 K 单，跳过 S 单\r\n"
};

// Where the job reports. Calls come from the job's thread, in order; the window posts them.
class BulkReport {
 public:
  virtual ~BulkReport() = default;
  virtual void row_done(const BulkRowDone& done) = 0;
  // A log line, "\r\n" included: a token renewal, a record line the file did not take.
  virtual void log(const std::string& line) = 0;
  // The last call of a run.
  virtual void finished(const BulkSummary& summary) = 0;
};

// What a run takes when it starts.
struct BulkRun {
  std::vector<BulkItem> items;
  // Set by 停止 (or a closing window): the request that is out finishes and is recorded, then
  // the run ends; the rows after it keep an empty 结果.
  std::shared_ptr<const std::atomic<bool>> stop;
};

// Sends the items one at a time, in order, on the calling thread (a job's own). Before each it
// reads the order afresh and skips, with the reason, an order that cannot be read, is not paid
// or is not 待发货. Requests go at least 300 ms apart, every one with the session's current
// token, renewed as every job renews it. A success writes the record line (the quantity from
// the detail reply) and reports the delivery row; a refusal reads 发货失败： and the platform's
// reason, and the run goes on. A delivery whose outcome is unknown (no reply, or one that is
// neither a yes nor a refusal) is never sent again: the order is read once more, and counts as
// shipped when it shows 已发货, else 结果未知，请核对后再发.
void run_bulk_delivery(BulkRun run, Session& session, Network& network, Pacing& pacing,
                       RecordFile& record_file, BulkReport& report);

}  // namespace quillmere::shop
