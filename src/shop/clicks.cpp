#include "shop/clicks.h"

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

#include "shop/workflows.h"

namespace quillmere::shop {
namespace {

// Holds a started job back until its click has begun it, or tells it never to run.
struct Gate {
  enum class State { shut, go, never };
  std::mutex lock;
  std::condition_variable opened;
  State state = State::shut;

  void open(bool go) {
    {
      const std::lock_guard<std::mutex> hold(lock);
      state = go ? State::go : State::never;
    }
    opened.notify_all();
  }
  bool wait() {
    std::unique_lock<std::mutex> hold(lock);
    opened.wait(hold, [this] { return state != State::shut; });
    return state == State::go;
  }
};

}  // namespace

bool start_job(Threads& threads, const std::function<bool()>& begin, std::function<void()> work) {
  auto gate = std::make_shared<Gate>();
  // The thread first: a system out of threads leaves everything as it was. The wait below is
  // for this very click, which opens the gate before it returns and pumps nothing meanwhile.
  const bool started = threads.start_thread([gate, work = std::move(work)] {
    if (gate->wait()) work();
  });
  if (!started) return false;
  const bool go = begin();
  gate->open(go);
  return go;
}

bool click_login(ShopPorts& ports, std::string app_key, std::string secret) {
  if (ports.session.jobs().decide(Button::login) == Effect::refused) return false;
  auto ticket = std::make_shared<std::uint64_t>(0);
  return start_job(
      ports.threads,
      [&] {
        *ticket = ports.session.begin_login();
        ports.session.jobs().begin_login();
        return true;
      },
      [&session = ports.session, &window = ports.window, &network = ports.network, ticket,
       app_key = std::move(app_key), secret = std::move(secret)] {
        run_login(session, window, network, app_key, secret, *ticket);
        session.jobs().end_login();
      });
}

bool click_fetch_orders(ShopPorts& ports, Date day) {
  if (ports.session.jobs().decide(Button::fetch_orders) == Effect::refused) return false;
  auto ticket = std::make_shared<std::uint64_t>(0);
  return start_job(
      ports.threads,
      [&] {
        *ticket = ports.session.jobs().begin_retrieval();
        return true;
      },
      [&session = ports.session, &window = ports.window, &network = ports.network,
       &pacing = ports.pacing, ticket,
       day] { run_order_retrieval(session, window, network, pacing, day, *ticket); });
}

bool click_start_monitoring(ShopPorts& ports, Date day, std::function<void()> ended) {
  Session& session = ports.session;
  if (session.jobs().decide(Button::start_monitoring) == Effect::refused) return false;
  bool runs = false;
  const bool started = start_job(
      ports.threads,
      [&] {
        session.set_monitored_day(day);
        // A loop that runs takes the click itself (Jobs::start_monitoring): the thread is let go.
        runs = session.start_monitoring();
        return runs;
      },
      [&session, &window = ports.window, &network = ports.network, &pacing = ports.pacing,
       ended = std::move(ended)] {
        run_started_monitoring(session, window, network, pacing);
        if (ended) ended();
      });
  return started || session.jobs().monitoring_running();
}

void click_stop_monitoring(ShopPorts& ports) {
  if (ports.session.jobs().decide(Button::stop_monitoring) == Effect::refused) return;
  stop_monitoring(ports.session);
}

bool click_confirm(ShopPorts& ports, const ExpressChoice& choice, std::function<void()> ended) {
  if (ports.session.jobs().decide(Button::confirm) == Effect::refused) return false;
  std::optional<Delivery> delivery = take_delivery(ports.window, choice);
  if (!delivery) return false;
  return start_job(
      ports.threads, [&] { return begin_confirmation(ports.session, ports.express); },
      [&session = ports.session, &window = ports.window, &express = ports.express,
       &network = ports.network, &record_file = ports.record_file, &pacing = ports.pacing,
       delivery = std::move(*delivery), ended = std::move(ended)] {
        on_confirm_delivery(session, window, express, network, record_file, pacing, delivery);
        if (ended) ended();
      });
}

}  // namespace quillmere::shop
