#include "app/application_win.h"

#include <cstdint>
#include <system_error>
#include <thread>

#include "app/bulk_window_win.h"
#include "app/win32_support_win.h"
#include "shop/texts.h"
#include "shop/workflows.h"

namespace quillmere::app {
namespace {

// False when no thread could be started (the system is out of them): the click then does
// nothing, rather than running a job that waits on the window's thread.
template <class Work>
bool run_on_worker(Work work) {
  try {
    std::thread(std::move(work)).detach();
    return true;
  } catch (const std::system_error&) {
    return false;
  }
}

// The exchanges' own timeouts end a delivery: 30 s for each of resolving, connecting, sending
// and receiving, twice after a refused token, with the renewal's exchange between.
constexpr unsigned long kLongestDeliveryMs = 6 * 60 * 1000;

}  // namespace

Application::Application()
    : record_file_(program_directory() + L"/" + wide(shop::texts::kRecordFileName)) {}

bool Application::start(HINSTANCE instance) {
  if (!MainWindow::register_class(instance) || !ExpressWindow::register_class(instance) ||
      !BulkWindow::register_class(instance))
    return false;
  express_window_.set_events(*this);
  if (main_window_.create(instance, *this) == nullptr) return false;
  shop::check_record_file(main_window_, record_file_);
  return true;
}

// Every job runs on a thread of its own that is never joined; each holds the application alive
// for as long as it runs, even past the window's end. The tickets are taken here, in the order
// of the clicks, so that the later click wins whichever thread gets going first.
void Application::login_clicked() {
  const std::uint64_t ticket = session_.begin_login();
  run_on_worker([self = shared_from_this(), ticket] {
    shop::run_login(self->session_, self->main_window_, self->network_, ticket);
  });
}

void Application::fetch_orders_clicked() {
  const std::uint64_t ticket = session_.jobs().begin_retrieval();
  run_on_worker([self = shared_from_this(), ticket] {
    shop::run_order_retrieval(self->session_, self->main_window_, self->network_, self->pacing_,
                              ticket);
  });
}

void Application::start_monitoring_clicked() {
  main_window_.show_monitoring_icon();
  // The flag is set here, in the order of the clicks: a loop that is ending sees it and goes on,
  // and takes this click itself (shop::Jobs::start_monitoring).
  session_.set_monitoring_flag(1);
  const bool started = run_on_worker([self = shared_from_this()] {
    shop::run_monitoring(self->session_, self->main_window_, self->network_, self->pacing_);
    self->monitoring_ended();
  });
  if (!started) {
    session_.set_monitoring_flag(0);
    monitoring_ended();
  }
}

void Application::stop_monitoring_clicked() {
  shop::stop_monitoring(session_);
  main_window_.hide_monitoring_icon();
}

// On the window's thread, where 开始监控 shows the icon: a click since the loop ended keeps it.
void Application::monitoring_ended() {
  thread_.run([this] {
    if (!session_.jobs().monitoring_running() && session_.monitoring_flag() == 0)
      main_window_.hide_monitoring_icon();
  });
}

void Application::deliver_clicked() { shop::on_deliver_button(main_window_); }

void Application::main_window_closing() { shop::on_main_window_closed(session_); }

// Windows ends the session and will end the process once this returns: a delivery under way is
// waited out first, so that its record line is written.
void Application::session_ending() {
  shop::on_main_window_closed(session_);
  wait_out_delivery(session_.jobs(), kLongestDeliveryMs);
}

void Application::wait_out_delivery_at_exit() {
  wait_out_delivery(session_.jobs(), kLongestDeliveryMs);
}

// 确定 (or Enter) while a delivery is out does nothing; 确定 stays disabled until the outcome is
// shown, and Windows is told why the session should not end meanwhile.
void Application::confirm_clicked() {
  if (!shop::begin_confirmation(session_, express_window_)) return;
  main_window_.block_shutdown(true);
  const bool started = run_on_worker([self = shared_from_this()] {
    shop::on_confirm_delivery(self->session_, self->main_window_, self->express_window_,
                              self->network_, self->record_file_, self->pacing_);
    self->thread_.run([&self] { self->main_window_.block_shutdown(false); });
  });
  if (started) return;
  session_.jobs().end_delivery();
  express_window_.hold_confirm(false);
  main_window_.block_shutdown(false);
}

}  // namespace quillmere::app
