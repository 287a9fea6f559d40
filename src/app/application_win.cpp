#include "app/application_win.h"

#include <system_error>
#include <thread>

#include "app/win32_support_win.h"
#include "shop/texts.h"
#include "shop/workflows.h"

namespace quillmere::app {
namespace {

// A thread that cannot be started (the system is out of them) leaves the work to the window's
// thread, where every control operation runs directly: slower to answer, but nothing is lost.
template <class Work>
void run_on_worker(Work work) {
  try {
    std::thread(work).detach();
  } catch (const std::system_error&) {
    work();
  }
}

}  // namespace

Application::Application()
    : record_file_(program_directory() + L"/" + wide(shop::texts::kRecordFileName)) {}

bool Application::start(HINSTANCE instance) {
  if (!MainWindow::register_class(instance) || !ExpressWindow::register_class(instance))
    return false;
  express_window_.set_events(*this);
  network_.hold_while_exchanging(weak_from_this());
  if (main_window_.create(instance, *this) == nullptr) return false;
  shop::check_record_file(main_window_, record_file_);
  return true;
}

// Login and retrieval run on threads of their own that are never joined; each holds the
// application alive for as long as it runs, even past the window's end.
void Application::login_clicked() {
  run_on_worker([self = shared_from_this()] {
    shop::run_login(self->session_, self->main_window_, self->network_);
  });
}

void Application::fetch_orders_clicked() {
  run_on_worker([self = shared_from_this()] {
    shop::run_order_retrieval(self->session_, self->main_window_, self->network_, self->pacing_);
  });
}

void Application::start_monitoring_clicked() {
  main_window_.show_monitoring_icon();
  shop::run_monitoring(session_, main_window_, network_, pacing_);
  monitoring_ended();
}

void Application::stop_monitoring_clicked() {
  shop::stop_monitoring(session_);
  main_window_.hide_monitoring_icon();
}

// A loop that returns inside another leaves the icon to the outer one.
void Application::monitoring_ended() {
  if (session_.monitoring_depth() == 0) main_window_.hide_monitoring_icon();
}

void Application::deliver_clicked() {
  shop::on_deliver_button(main_window_);
}

void Application::main_window_closing() {
  shop::on_main_window_closed(session_);
}

void Application::confirm_clicked() {
  shop::on_confirm_delivery(session_, main_window_, express_window_, network_, record_file_, pacing_);
}

}  // namespace quillmere::app
