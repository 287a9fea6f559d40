#pragma once
// The sandbox on the network: an HTTP server around one shop, a beat that moves the shop's day
// on, and the request log.

#include <chrono>
#include <memory>
#include <ostream>
#include <string>

#include "shop.h"

namespace quillmere::sandbox {

inline constexpr int kDefaultPort = 8750;

struct server_options {
  std::string host = "127.0.0.1";
  int port = kDefaultPort;        // 0: any free port
  std::chrono::seconds tick{20};  // 0: no beat; the shop changes only through the controls
  shop_settings shop;             // token lifetime, ids page size, frequency limit
  std::ostream* log = nullptr;    // one line per request and per beat; none when null
};

class server {
 public:
  explicit server(server_options options);
  // Stops serving; a thread inside run() must have returned before the server is destroyed.
  ~server();
  server(const server&) = delete;
  server& operator=(const server&) = delete;

  // Opens the listening socket: the port it got, or -1.
  int bind();
  // Serves until stop(); false when it could not serve at all.
  bool run();
  // Safe from any thread, also before run() has begun; run() returns soon after.
  void stop();

  // What the seeded shop holds for `day`, for the start-up banner.
  std::size_t order_count(date day);

 private:
  struct impl;
  std::unique_ptr<impl> impl_;
};

// The machine's clock now, in UTC and in local wall time, to the second.
clock_reading read_clock();

}  // namespace quillmere::sandbox
