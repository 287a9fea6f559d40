// quillmere-sandbox: the shop platform on loopback, for the demo and the end-to-end tests.

#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <string_view>
#include <thread>

#include "server.h"

namespace {

using namespace quillmere::sandbox;

constexpr const char* kUsage =
    "usage: quillmere-sandbox [--port N] [--tick-seconds N] [--token-seconds N] [--page-size N]\n"
    "                         [--max-calls-per-second N]\n"
    "  --port N           port on 127.0.0.1 (default 8750; 0 picks a free one)\n"
    "  --tick-seconds N   a new order arrives and an unpaid one is paid every N seconds\n"
    "                     (default 20; 0: never, the shop changes only through /sandbox/...)\n"
    "  --token-seconds N  how long an access token stays valid (default 90000)\n"
    "  --page-size N      order ids per page of vdian.order.ids.get (default 20)\n"
    "  --max-calls-per-second N\n"
    "                     method calls one token may make in any second; more are refused\n"
    "                     with 10005 (default 0: no limit)\n";

std::optional<long> whole_number(std::string_view text, long low, long high) {
  long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < low || value > high) {
    return std::nullopt;
  }
  return value;
}

std::optional<server_options> parse_arguments(int argc, char** argv) {
  server_options options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view name = argv[i];
    if (name == "--help" || name == "-h") {
      std::fputs(kUsage, stdout);
      std::exit(0);
    }
    if (i + 1 >= argc) return std::nullopt;
    const std::string_view value = argv[++i];
    if (name == "--port") {
      const auto port = whole_number(value, 0, 65535);
      if (!port) return std::nullopt;
      options.port = static_cast<int>(*port);
    } else if (name == "--tick-seconds") {
      const auto tick = whole_number(value, 0, 86400);
      if (!tick) return std::nullopt;
      options.tick = std::chrono::seconds(*tick);
    } else if (name == "--token-seconds") {
      const auto lifetime = whole_number(value, 1, 10L * 365 * 86400);
      if (!lifetime) return std::nullopt;
      options.shop.token_lifetime = std::chrono::seconds(*lifetime);
    } else if (name == "--page-size") {
      const auto size = whole_number(value, 1, 100000);
      if (!size) return std::nullopt;
      options.shop.page_size = static_cast<std::size_t>(*size);
    } else if (name == "--max-calls-per-second") {
      const auto calls = whole_number(value, 0, 100000);
      if (!calls) return std::nullopt;
      options.shop.max_calls_per_second = static_cast<int>(*calls);
    } else {
      return std::nullopt;
    }
  }
  return options;
}

}  // namespace

int main(int argc, char** argv) {
  auto options = parse_arguments(argc, argv);
  if (!options) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  options->log = &std::cout;

  // Signals are taken by one thread with sigwait, so every other thread runs with them blocked.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  server sandbox(*options);
  const int port = sandbox.bind();
  if (port < 0) {
    std::cerr << "quillmere-sandbox: cannot listen on " << options->host << ':' << options->port
              << " (is another sandbox running?)\n";
    return 1;
  }

  const date today = date_of(read_clock().local);
  std::cout << "quillmere-sandbox listening on http://" << options->host << ':' << port << '\n'
            << "  app key: " << kDemoAppKey << '\n'
            << "  secret:  " << kDemoSecret << '\n'
            << "  today " << order_date_text(today) << ": " << sandbox.order_count(today)
            << " orders; ";
  if (options->tick.count() > 0) {
    std::cout << "a new order every " << options->tick.count() << " s\n";
  } else {
    std::cout << "no new orders on their own\n";
  }
  std::cout << "  Ctrl+C stops it" << std::endl;

  std::atomic<bool> finished{false};
  std::thread signal_watcher([&] {
    const timespec poll{0, 200'000'000};
    while (!finished) {
      if (sigtimedwait(&stop_signals, nullptr, &poll) > 0) {
        sandbox.stop();
        return;
      }
    }
  });
  const bool served = sandbox.run();
  finished = true;
  signal_watcher.join();
  std::cout << "quillmere-sandbox stopped" << std::endl;
  return served ? 0 : 1;
}
