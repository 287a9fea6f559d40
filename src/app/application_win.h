#pragma once
// The program: both windows, the ports the workflows use, and which workflow each event runs.
// Every workflow runs on a thread of its own; a click asks the jobs table (shop/jobs.h), takes
// its inputs and returns (shop/clicks.h), so the start-up loop is the only one that takes the
// window's messages.

#include <windows.h>

#include <chrono>
#include <memory>
#include <string>
#include <string_view>

#include "app/bulk_shipping_win.h"
#include "app/express_window_win.h"
#include "app/keeper_window_win.h"
#include "app/main_window_win.h"
#include "app/platform_win.h"
#include "app/window_thread_win.h"
#include "shop/clicks.h"
#include "shop/session.h"

namespace quillmere::app {

class Application final : public MainWindowEvents,
                          public ExpressWindowEvents,
                          public DeliveryPath,
                          public shop::Threads,
                          public std::enable_shared_from_this<Application> {
 public:
  Application();

  // Creates and shows the main window; false when it could not be made.
  bool start(HINSTANCE instance);

  void login_clicked() override;
  void fetch_orders_clicked() override;
  void start_monitoring_clicked() override;
  void stop_monitoring_clicked() override;
  void deliver_clicked() override;
  void bulk_shipping_clicked() override;
  bool main_window_may_close() override;
  void main_window_closing() override;
  void session_ending() override;
  void day_changed(shop::Date day) override;
  bool allowed(shop::Button button) override;
  void main_window_destroyed() override;
  void confirm_clicked() override;

  // Every job's thread holds the application alive for as long as it runs.
  bool start_thread(std::function<void()> work) override;

  // The delivery path: a job that ships (a delivery from 确定, a bulk run from 开始发货) and
  // must be waited out before the process ends, so that its record lines are written.
  //
  // On the window's thread, right after the job's Jobs::begin_delivery or begin_bulk_run said
  // yes: Windows is told `reason` (GBK: "正在发货，请稍候", "正在批量发货，请稍候") while the
  // job is out, and the end of the session, or closing, waits for it at most `longest`.
  void delivery_path_began(std::string_view reason, std::chrono::milliseconds longest) override;
  // From the job's thread, once it has called Jobs::end_delivery or end_bulk_run: the reason
  // goes, and with the main window closed the program ends.
  void delivery_path_ended() override;

  // After the start-up loop: waits out a delivery still under way when no window was left to
  // keep (the hidden one could not be made), so that its outcome is recorded.
  void wait_out_delivery_at_exit();

  shop::Session& session() { return session_; }
  MainWindow& main_window() { return main_window_; }
  shop::ShopPorts& ports() { return ports_; }

 private:
  void monitoring_ended();
  void settle_delivery_path();

  HINSTANCE instance_ = nullptr;
  WindowThread thread_;
  ExpressWindow express_window_;
  MainWindow main_window_{thread_, express_window_};
  InternetNetwork network_;
  JobPacing pacing_;
  AppendOnlyRecordFile record_file_;
  TickClock clock_;
  shop::Session session_{clock_};
  KeeperWindow keeper_{session_.jobs()};
  shop::ShopPorts ports_{session_,     main_window_, express_window_, network_, pacing_,
                         record_file_, *this};
  BulkShipping bulk_;
  // The delivery path's reason and longest wait, the window's thread's.
  std::string block_reason_;
  std::chrono::milliseconds longest_wait_{0};
};

}  // namespace quillmere::app
