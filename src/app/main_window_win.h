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
#include "app/report_list_win.h"
#include "app/win32_support_win.h"
#include "app/window_thread_win.h"
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
  virtual void main_window_closing() = 0;
};

class MainWindow final : public shop::MainWindow {
 public:
  MainWindow(WindowThread& thread, ExpressWindow& express_window,
             Attention& attention = system_attention())
      : thread_(thread), express_window_(express_window), attention_(attention),
        order_list_(thread), delivery_list_(thread) {}
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  static bool register_class(HINSTANCE instance);
  // Creates and shows the window; null when that failed.
  HWND create(HINSTANCE instance, MainWindowEvents& events);

  std::string appkey_text() override;
  std::string secret_text() override;
  shop::Date chosen_date() override;
  void append_log(std::string_view text) override;
  shop::ReportList& order_list() override { return indexed_orders_; }
  shop::ReportList& delivery_list() override { return delivery_list_; }
  void show_message(std::string_view text, unsigned flags) override;
  void open_express_window() override;
  bool alive() override { return thread_.alive(); }
  void notify_new_orders(int count) override;

 private:
  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM w, LPARAM l);
  LRESULT handle(UINT message, WPARAM w, LPARAM l);
  bool on_create();
  void on_command(int id, int code);
  LRESULT on_notify(const NMHDR& header);
  void on_close();
  void on_destroy();
  void on_dpi_changed(int dpi, LPARAM suggested);

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

  WindowThread& thread_;
  ExpressWindow& express_window_;
  Attention& attention_;
  MainWindowEvents* events_ = nullptr;
  HWND window_ = nullptr;
  int dpi_ = shop::kDesignDpi;
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
};

}  // namespace quillmere::app
