#pragma once
// The program: both windows, the ports the workflows use, and which workflow each event runs.
// Every workflow runs on a thread of its own; a click only asks shop::Jobs whether to start one
// and returns, so the start-up loop is the only one that takes the window's messages.

#include <windows.h>

#include <memory>

#include "app/express_window_win.h"
#include "app/main_window_win.h"
#include "app/platform_win.h"
#include "app/window_thread_win.h"
#include "shop/session.h"

namespace quillmere::app {

class Application final : public MainWindowEvents,
                          public ExpressWindowEvents,
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
  void main_window_closing() override;
  void session_ending() override;
  void confirm_clicked() override;

  // After the start-up loop: waits out a delivery still under way, so that its outcome is
  // recorded before the process ends.
  void wait_out_delivery_at_exit();

 private:
  void monitoring_ended();

  WindowThread thread_;
  ExpressWindow express_window_{thread_};
  MainWindow main_window_{thread_, express_window_};
  InternetNetwork network_;
  ResponsivePacing pacing_;
  AppendOnlyRecordFile record_file_;
  TickClock clock_;
  shop::Session session_{clock_};
};

}  // namespace quillmere::app
