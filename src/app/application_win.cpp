#include "app/application_win.h"

#include <system_error>
#include <thread>

#include "app/bulk_window_win.h"
#include "app/edge_text_win.h"
#include "app/program_folder_win.h"
#include "shop/bulk_texts.h"
#include "shop/texts.h"
#include "shop/workflows.h"
#include "text/gbk_literal.h"

namespace quillmere::app {
namespace {

constexpr std::string_view kDeliveryUnderWay = "正在发货，请稍候"_gbk;

// The longest a delivery takes, each exchange ending by its own time-outs (README, "Closing and
// the end of the session"): a renewal, or the wait for another job's, before the request; the
// request; after a refused token one more renewal and the request again. Each exchange: name
// lookup, connecting (30 s for each of at most two addresses), sending and the reply, 30 s each.
constexpr std::chrono::milliseconds kExchangeMs{5 * 30 * 1000};
constexpr std::chrono::milliseconds kLongestDelivery = 4 * kExchangeMs;

}  // namespace

Application::Application()
    : record_file_(program_directory() + L"/" + wide(shop::texts::kRecordFileName)),
      bulk_(thread_, main_window_, express_window_, ports_, *this,
            longest_bulk_row(kLongestDelivery)) {}

bool Application::start(HINSTANCE instance) {
  instance_ = instance;
  if (!MainWindow::register_class(instance) || !ExpressWindow::register_class(instance) ||
      !BulkWindow::register_class(instance) || !KeeperWindow::register_class(instance))
    return false;
  express_window_.set_events(*this);
  if (main_window_.create(instance, *this) == nullptr) return false;
  session_.set_monitored_day(main_window_.chosen_day());
  shop::check_record_file(main_window_, record_file_);
  return true;
}

bool Application::start_thread(std::function<void()> work) {
  try {
    std::thread([self = shared_from_this(), work = std::move(work)] { work(); }).detach();
    return true;
  } catch (const std::system_error&) {
    return false;  // the system is out of threads: the click does nothing
  }
}

void Application::login_clicked() {
  LoginFields fields = main_window_.login_fields();
  shop::click_login(ports_, std::move(fields.app_key), std::move(fields.secret));
}

void Application::fetch_orders_clicked() {
  shop::click_fetch_orders(ports_, main_window_.chosen_day());
}

void Application::start_monitoring_clicked() {
  const bool runs = shop::click_start_monitoring(
      ports_, main_window_.chosen_day(),
      [self = shared_from_this()] { self->thread_.post([self] { self->monitoring_ended(); }); });
  if (runs) main_window_.show_monitoring_icon();
}

void Application::stop_monitoring_clicked() {
  shop::click_stop_monitoring(ports_);
  main_window_.hide_monitoring_icon();
}

// On the window's thread, where 开始监控 shows the icon: a loop started since keeps it.
void Application::monitoring_ended() {
  if (!session_.jobs().monitoring_running()) main_window_.hide_monitoring_icon();
}

void Application::deliver_clicked() {
  if (allowed(shop::Button::deliver)) shop::on_deliver_button(main_window_);
}

void Application::bulk_shipping_clicked() { bulk_.open(main_window_.handle()); }

void Application::day_changed(shop::Date day) { session_.set_monitored_day(day); }

bool Application::allowed(shop::Button button) {
  return session_.jobs().decide(button) != shop::Effect::refused;
}

bool Application::main_window_may_close() { return bulk_.main_window_may_close(); }

// A bulk run stops after the request that is out; closing then waits that out.
void Application::main_window_closing() {
  shop::on_main_window_closed(session_);
  bulk_.stop_for_exit();
  bulk_.close_window();
}

// Windows ends the session and will end the process once this returns: a delivery under way is
// waited out first, so that its record line is written.
void Application::session_ending() {
  shop::on_main_window_closed(session_);
  bulk_.stop_for_exit();
  session_.jobs().wait_for_delivery_path(longest_wait_);
}

// With a delivery out the process stays, windowless to the owner, until it has ended.
void Application::main_window_destroyed() {
  if (session_.jobs().decide(shop::Button::close) == shop::Effect::waits_out &&
      keeper_.create(instance_, block_reason_, longest_wait_))
    return;
  PostQuitMessage(0);
}

void Application::wait_out_delivery_at_exit() {
  session_.jobs().wait_for_delivery_path(longest_wait_);
}

// 确定 (or Enter): what the express window and the selected row hold now is what ships.
void Application::confirm_clicked() {
  const bool out =
      shop::click_confirm(ports_, express_window_.choice(),
                          [self = shared_from_this()] { self->delivery_path_ended(); });
  if (out) {
    delivery_path_began(kDeliveryUnderWay, kLongestDelivery);
    bulk_.follow_jobs();
  }
}

void Application::delivery_path_began(std::string_view reason, std::chrono::milliseconds longest) {
  block_reason_.assign(reason);
  longest_wait_ = longest;
  main_window_.block_shutdown(reason);
}

void Application::delivery_path_ended() {
  thread_.post([self = shared_from_this()] { self->settle_delivery_path(); });
  keeper_.job_ended();
}

void Application::settle_delivery_path() {
  if (!session_.jobs().delivery_path_out()) main_window_.block_shutdown({});
  bulk_.follow_jobs();
}

}  // namespace quillmere::app
