#pragma once
// 批量发货 behind its window: what each of the window's buttons does, on the window's thread, and
// what the bulk run reports, shown there. The list and its checks are the shop's (shop/bulk.h);
// this only reads what the windows hold at the click, starts the job and shows its reports.

#include <windows.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>

#include "app/bulk_window_win.h"
#include "app/express_window_win.h"
#include "app/main_window_win.h"
#include "app/window_thread_win.h"
#include "shop/bulk.h"
#include "shop/clicks.h"

namespace quillmere::app {

// Where a bulk run reaches the application: the delivery path's block reason and its end.
class DeliveryPath {
 public:
  virtual ~DeliveryPath() = default;
  // On the window's thread, once the jobs table let the run begin.
  virtual void delivery_path_began(std::string_view reason, std::chrono::milliseconds longest) = 0;
  // From the job's thread, after Jobs::end_bulk_run.
  virtual void delivery_path_ended() = 0;
};

// The longest the rest of a run takes once it is told to stop: the row under way, whose order is
// read, delivered and perhaps read again, each exchange as long as a single delivery may take
// (renewals included), and the spacing between them.
std::chrono::milliseconds longest_bulk_row(std::chrono::milliseconds longest_delivery);

class BulkShipping final : public BulkWindowEvents {
 public:
  BulkShipping(WindowThread& thread, MainWindow& main_window, ExpressWindow& express_window,
               shop::ShopPorts& ports, DeliveryPath& path, std::chrono::milliseconds longest_row);
  BulkShipping(const BulkShipping&) = delete;
  BulkShipping& operator=(const BulkShipping&) = delete;

  // 批量发货 in the main window: opens the window, or brings it to the front.
  void open(HWND main_window);
  // The main window's close box while a run is out: true to close ("停止并关闭？" answered yes,
  // or no run out).
  bool main_window_may_close();
  // The program is closing or the session ends: the run stops after the request that is out.
  void stop_for_exit();
  // On the window's thread whenever a job of the delivery path began or ended: 确定 in 快递发货
  // and 开始发货 follow the jobs table.
  void follow_jobs();
  // The main window is gone.
  void close_window();

  void bulk_file_read(std::wstring_view path, std::string bytes) override;
  void bulk_text_pasted(std::string text) override;
  void start_clicked() override;
  void stop_clicked() override;
  void export_clicked() override;
  bool close_requested() override;

 private:
  class PostedReport;

  void take_table(const sheet::ReadResult& read);
  void check_rows();
  void show_rows();
  void show_row(std::size_t row);
  void row_done(const shop::BulkRowDone& done);
  void run_finished(const shop::BulkSummary& summary);
  bool running() const { return stop_ != nullptr; }

  WindowThread& thread_;
  MainWindow& main_window_;
  ExpressWindow& express_window_;
  shop::ShopPorts& ports_;
  DeliveryPath& path_;
  std::chrono::milliseconds longest_row_;
  BulkWindow window_;
  shop::BulkList list_;
  // The run out, from 开始发货 until its finished report shows; null when none.
  std::shared_ptr<std::atomic<bool>> stop_;
  bool close_after_run_ = false;
};

}  // namespace quillmere::app
