#include "app/application_win.h"

#include <thread>

#include "app/win32_support_win.h"

namespace quillmere::app {
namespace {

// 发货记录.txt
constexpr std::string_view kRecordFileName = "\xb7\xa2\xbb\xf5\xbc\xc7\xc2\xbc.txt";

}  // namespace

Application::Application() : record_file_(program_directory() + L"/" + wide(kRecordFileName)) {}

bool Application::start(HINSTANCE instance) {
  if (!MainWindow::register_class(instance) || !ExpressWindow::register_class(instance))
    return false;
  express_window_.set_events(*this);
  return main_window_.create(instance, *this) != nullptr;
}

// Login and retrieval run on threads of their own that are never joined; each holds the
// application alive for as long as it runs, even past the window's end.
void Application::login_clicked() {
  std::thread([self = shared_from_this()] {
    // PENDING-SHOP: the login workflow.
  }).detach();
}

void Application::fetch_orders_clicked() {
  std::thread([self = shared_from_this()] {
    // PENDING-SHOP: the retrieval workflow.
  }).detach();
}

void Application::start_monitoring_clicked() {
  // PENDING-SHOP: the monitoring loop, on this thread.
}

void Application::stop_monitoring_clicked() {
  // PENDING-SHOP: stop monitoring.
}

void Application::deliver_clicked() {
  // PENDING-SHOP: the deliver button's check, then the express window.
  main_window_.open_express_window();
}

void Application::main_window_closing() {
  // PENDING-SHOP: clear the monitoring flag.
}

void Application::confirm_clicked() {
  // PENDING-SHOP: the delivery confirmation.
}

}  // namespace quillmere::app
