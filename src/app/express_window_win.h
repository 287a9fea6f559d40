#pragma once
// The express window "快递发货": the courier, the tracking number and the confirm button.
// A top-level window of its own, made anew whenever it is opened while closed.

#include <windows.h>

#include <string>
#include <string_view>

#include "app/dialog_keys_win.h"
#include "app/fonts_win.h"
#include "app/program_icons_win.h"
#include "app/window_base_win.h"
#include "shop/ports.h"

namespace quillmere::app {

class ExpressWindowEvents {
 public:
  virtual ~ExpressWindowEvents() = default;
  virtual void confirm_clicked() = 0;
};

class ExpressWindow final : public shop::ExpressWindow, private WindowBase {
 public:
  ExpressWindow();
  ExpressWindow(const ExpressWindow&) = delete;
  ExpressWindow& operator=(const ExpressWindow&) = delete;
  ~ExpressWindow();

  static bool register_class(HINSTANCE instance);
  void set_events(ExpressWindowEvents& events) { events_ = &events; }
  // Shows the window, placed 150 pixels (at the main window's scale) below `main_window`'s top
  // edge when it is created;
  // one already open is brought to the front as it is.
  void open(HWND main_window);
  void close();
  // On the window's thread: 确定 disabled while a delivery is out, in this window and in one
  // opened meanwhile. Enter does nothing either then.
  void hold_confirm(bool held) override;

  // On the window's thread, at the click on 确定: what the window holds now (nothing chosen
  // when it is closed).
  shop::ExpressChoice choice() const;

 private:
  LRESULT handle(UINT message, WPARAM w, LPARAM l) override;
  void rescale(int old_dpi) override;
  bool on_create();
  void on_command(int id, int code);
  void on_destroy();

  void create_controls();
  void place_below(HWND main_window);
  void on_courier_chosen();
  bool translate_keys(MSG& message);

  ExpressWindowEvents* events_ = nullptr;
  HWND main_window_ = nullptr;
  FontHolder control_font_;
  WindowIcons icons_;
  HWND courier_combo_ = nullptr;
  HWND tracking_edit_ = nullptr;
  bool confirm_held_ = false;
  FocusKeeper focus_{nullptr};
};

}  // namespace quillmere::app
