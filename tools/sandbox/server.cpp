#include "server.h"

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <thread>

#include <arpa/inet.h>
#include <dirent.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <cstdlib>

#include "platform.h"
#include "query.h"

namespace quillmere::sandbox {

using namespace std::chrono;

clock_reading read_clock() {
  const auto utc = floor<seconds>(system_clock::now());
  const std::time_t since_epoch = system_clock::to_time_t(utc);
  std::tm local{};
  localtime_r(&since_epoch, &local);
  const local_days day{year(local.tm_year + 1900) / (local.tm_mon + 1) / local.tm_mday};
  return {utc, day + hours(local.tm_hour) + minutes(local.tm_min) + seconds(local.tm_sec),
          duration_cast<milliseconds>(steady_clock::now().time_since_epoch())};
}

namespace {

bool same_endpoint(const sockaddr_in& address, const std::string& host, int port) {
  char text[INET_ADDRSTRLEN] = {};
  if (inet_ntop(AF_INET, &address.sin_addr, text, sizeof text) == nullptr) return false;
  return host == text && ntohs(address.sin_port) == port;
}

// httplib offers no way to close a connection without answering, so find connections' sockets
// among the process's descriptors and shut them; httplib's own read or write then fails and it
// closes the descriptor as usual. With `only_this` the request's own connection is shut, else
// every other connection to the same local port.
bool shut_connections(const httplib::Request& request, bool only_this) {
  DIR* descriptors = opendir("/proc/self/fd");
  if (descriptors == nullptr) return false;
  bool shut = false;
  while (const dirent* entry = readdir(descriptors)) {
    char* end = nullptr;
    const long fd = std::strtol(entry->d_name, &end, 10);
    if (end == entry->d_name || *end != '\0' || fd == dirfd(descriptors)) continue;
    sockaddr_in local{};
    sockaddr_in peer{};
    socklen_t local_size = sizeof local;
    socklen_t peer_size = sizeof peer;
    if (getsockname(static_cast<int>(fd), reinterpret_cast<sockaddr*>(&local), &local_size) != 0 ||
        getpeername(static_cast<int>(fd), reinterpret_cast<sockaddr*>(&peer), &peer_size) != 0 ||
        local.sin_family != AF_INET || peer.sin_family != AF_INET ||
        !same_endpoint(local, request.local_addr, request.local_port)) {
      continue;
    }
    if (same_endpoint(peer, request.remote_addr, request.remote_port) != only_this) continue;
    shut = ::shutdown(static_cast<int>(fd), SHUT_RDWR) == 0 || shut;
    if (only_this) break;
  }
  closedir(descriptors);
  return shut;
}

}  // namespace

struct server::impl {
  explicit impl(server_options chosen)
      : options(std::move(chosen)), shop(make_demo_shop(read_clock().local, options.shop)) {}

  void write_log(const std::string& line) {
    if (options.log == nullptr) return;
    const std::string stamp = timestamp_text(read_clock().local).substr(11);
    const std::lock_guard guard(log_mutex);
    *options.log << stamp << ' ' << line << '\n' << std::flush;
  }

  httplib::Server::HandlerResponse serve(const httplib::Request& http_request,
                                         httplib::Response& http_reply) {
    reply out;
    {
      const std::lock_guard guard(shop_mutex);
      out = answer(shop, {http_request.method, http_request.target}, read_clock());
    }
    // Outside the lock: other clients and the controls are answered meanwhile.
    if (out.delay.count() > 0) std::this_thread::sleep_for(out.delay);
    if (out.drop) {
      if (shut_connections(http_request, true)) {
        write_log(out.log_line);
        // Nothing of this reaches the client: the connection is already shut.
        http_reply.status = 200;
      } else {
        write_log(out.log_line + " (could not drop it; refused instead)");
        http_reply.status = 500;
        http_reply.set_content(transport_refusal(500), kReplyContentType);
      }
      return httplib::Server::HandlerResponse::Handled;
    }
    if (out.close_other_connections) shut_connections(http_request, false);
    http_reply.status = out.http_status;
    http_reply.set_content(out.body, kReplyContentType);
    write_log(out.log_line);
    return httplib::Server::HandlerResponse::Handled;
  }

  // Requests the HTTP layer turned away before they reached `serve`.
  httplib::Server::HandlerResponse refuse(const httplib::Request& http_request,
                                          httplib::Response& http_reply) {
    if (!http_reply.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
    http_reply.set_content(transport_refusal(http_reply.status), kReplyContentType);
    write_log(printable(http_request.method.empty() ? "-" : http_request.method, 16) + ' ' +
              printable(http_request.path.empty() ? "-" : http_request.path, 200) + " -> HTTP " +
              std::to_string(http_reply.status));
    return httplib::Server::HandlerResponse::Handled;
  }

  void beat() {
    std::unique_lock wait_guard(beat_mutex);
    while (!stopping) {
      if (beat_wakeup.wait_for(wait_guard, options.tick, [&] { return stopping.load(); })) break;
      shop::tick_result result;
      {
        const std::lock_guard guard(shop_mutex);
        result = shop.tick(read_clock().local);
      }
      std::string line = "beat: new order " + result.arrived.order_id +
                         (result.arrived.paid() ? " (paid)" : " (unpaid)");
      if (result.paid_order_id) line += ", paid " + *result.paid_order_id;
      write_log(line);
    }
  }

  server_options options;
  httplib::Server http;
  std::mutex shop_mutex;
  sandbox::shop shop;
  std::mutex log_mutex;
  std::mutex beat_mutex;
  std::condition_variable beat_wakeup;
  std::atomic<bool> stopping{false};
  std::atomic<bool> run_started{false};
  std::atomic<bool> run_finished{false};
};

server::server(server_options options) : impl_(std::make_unique<impl>(std::move(options))) {
  impl& self = *impl_;
  self.http.set_pre_routing_handler(
      [&self](const httplib::Request& request, httplib::Response& response) {
        return self.serve(request, response);
      });
  self.http.set_error_handler(httplib::Server::HandlerWithResponse(
      [&self](const httplib::Request& request, httplib::Response& response) {
        return self.refuse(request, response);
      }));
  // httplib's default adds SO_REUSEPORT, which would let a second sandbox share the port and
  // take half of the requests; a restart only needs SO_REUSEADDR.
  self.http.set_socket_options([](socket_t sock) {
    int yes = 1;
    ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  // The program never sends a body; a large one is refused before it is read.
  self.http.set_payload_max_length(64 * 1024);
}

server::~server() { stop(); }

int server::bind() {
  if (impl_->options.port == 0) return impl_->http.bind_to_any_port(impl_->options.host);
  return impl_->http.bind_to_port(impl_->options.host, impl_->options.port) ? impl_->options.port
                                                                            : -1;
}

bool server::run() {
  impl& self = *impl_;
  self.run_started = true;
  if (self.stopping) {
    self.run_finished = true;
    return true;
  }
  std::thread beat_thread;
  if (self.options.tick > seconds(0)) beat_thread = std::thread([&self] { self.beat(); });
  const bool served = self.http.listen_after_bind();
  {
    const std::lock_guard guard(self.beat_mutex);
    self.stopping = true;
  }
  self.beat_wakeup.notify_all();
  if (beat_thread.joinable()) beat_thread.join();
  self.run_finished = true;
  return served;
}

void server::stop() {
  impl& self = *impl_;
  {
    const std::lock_guard guard(self.beat_mutex);
    self.stopping = true;
  }
  self.beat_wakeup.notify_all();
  // httplib ignores a stop that comes before its listening loop has begun.
  while (self.run_started && !self.run_finished && !self.http.is_running()) {
    std::this_thread::sleep_for(milliseconds(5));
  }
  self.http.stop();
}

std::size_t server::order_count(date day) {
  const std::lock_guard guard(impl_->shop_mutex);
  return impl_->shop.order_ids(day).size();
}

}  // namespace quillmere::sandbox
