#pragma once
// The main window "Quillmere": login fields, monitoring controls, the two lists on their tab
// pages and the log. Clicks go out through MainWindowEvents; the workflows come back in
// through the shop::MainWindow operations, from any thread.

#include <windows.h>

#include <string>
#include <string_view>

#include "app/attention_win.h"
#include "app/database_win.h"
#include "app/dialog_keys_win.h"
#include "app/express_window_win.h"
#include "app/fonts_win.h"
#include "app/program_icons_win.h"
#include "app/report_list_win.h"
#include "app/tray_icon_win.h"
#include "app/window_base_win.h"
#include "app/window_thread_win.h"
#include "shop/jobs.h"
#include "shop/order_index.h"
#include "shop/ports.h"

namespace quillmere::app {

class MainWindowEvents {
 public:
  virtual ~MainWindowEvents() = default;
  virtual void login_clicked() = 0;
  virtual void fetch_orders_clicked() = 0;
  virtual void start_monitoring_clicked() = 0;
  virtual void stop_monitoring_clicked() = 0;
  virtual void deliver_clicked() = 0;
  // 批量发货: the bulk shipping window is wanted.
  virtual void bulk_shipping_clicked() {}
  // The close box, Alt+F4 or 退出: false keeps the window open (the owner said no to stopping a
  // job that asks first).
  virtual bool main_window_may_close() { return true; }
  virtual void main_window_closing() = 0;
  // Windows ends the session: the process is ended once WM_ENDSESSION has been answered.
  virtual void session_ending() {}
  // The owner picked another day in the date box.
  virtual void day_changed(shop::Date) {}
  // Whether a button that starts no job of its own (导出) does anything now (shop::Jobs).
  virtual bool allowed(shop::Button) { return true; }
  // The window is gone (WM_DESTROY): the program ends, or waits out a job first.
  virtual void main_window_destroyed() { PostQuitMessage(0); }
};

// What the login fields hold, read at the click.
struct LoginFields {
  std::string app_key;
  std::string secret;
};

class MainWindow final : public shop::MainWindow, private WindowBase {
 public:
  MainWindow(WindowThread& thread, ExpressWindow& express_window,
             Attention& attention = system_attention());
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  static bool register_class(HINSTANCE instance);
  // Creates and shows the window; null when that failed.
  HWND create(HINSTANCE instance, MainWindowEvents& events);

  HWND handle() const { return window_; }

  // On the window's thread, at a click: what the controls hold now.
  LoginFields login_fields() const;
  shop::Date chosen_day() const;

  void append_log(std::string_view text) override;
  shop::ReportList& order_list() override { return indexed_orders_; }
  shop::ReportList& delivery_list() override { return delivery_list_; }
  void show_message(std::string_view text, unsigned flags) override;
  void open_express_window() override;
  bool alive() override { return thread_.alive(); }
  void notify_new_orders(int count) override;
  void at_once(std::function<void()> changes) override;
  void announce_new_orders(const std::vector<shop::AddedOrder>& orders) override;

  // On the window's thread: while a delivery or a bulk run is out, Windows is told why the
  // session should not end yet (GBK); empty text takes the reason back.
  void block_shutdown(std::string_view reason);

  // The notification-area icon while monitoring runs; on the window's thread.
  void show_monitoring_icon();
  void hide_monitoring_icon();

 private:
  LRESULT handle(UINT message, WPARAM w, LPARAM l) override;
  void rescale(int old_dpi) override;
  bool on_create();
  void on_command(int id, int code);
  LRESULT on_notify(const NMHDR& header);
  void on_close();
  void on_destroy();

  void create_controls();
  HFONT font_for(int id) const;
  void show_page(int page);

  // Keyboard.
  bool translate_keys(MSG& message);
  void arrange_tab_order();
  void switch_page(int step);
  void on_ok();
  const ReportListView* list_of(HWND control) const;
  void export_page_in_front();
  void open_database();

  // The notification-area icon (main_window_tray_win.cpp).
  LRESULT on_tray_icon(WPARAM w, LPARAM l);
  void open_tray_menu(POINT at);
  void bring_forward_from_tray();
  void update_monitoring_tip();
  std::wstring monitoring_tip_text();

  WindowThread& thread_;
  ExpressWindow& express_window_;
  Attention& attention_;
  MainWindowEvents* events_ = nullptr;
  FontHolder control_font_;
  FontHolder tab_font_;
  WindowIcons icons_;
  HWND appkey_edit_ = nullptr;
  HWND secret_edit_ = nullptr;
  HWND date_picker_ = nullptr;
  HWND tabs_ = nullptr;
  HWND log_edit_ = nullptr;
  ReportListView order_list_;
  shop::IndexedOrderList indexed_orders_{order_list_};
  ReportListView delivery_list_;
  DatabaseConnection database_;
  FocusKeeper focus_{nullptr};
  TrayIcon tray_;
  UINT taskbar_created_ = 0;     // "TaskbarCreated", registered at creation
  std::string notice_order_id_;  // the first order of the last notice, until a click shows it
};

}  // namespace quillmere::app
