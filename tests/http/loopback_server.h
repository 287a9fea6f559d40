#pragma once
// A scripted HTTP server on 127.0.0.1 for the Windows tests and the transfer benchmark. It
// records each request exactly as it arrived and answers with whatever the handler scripts,
// including replies that a real server would never send (cut short, endless).

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quillmere::testing {

struct ReceivedRequest {
  std::string request_line;  // "GET /p HTTP/1.1"
  std::string headers;       // the header block, lines joined by "\r\n", no trailing "\r\n"
  std::string body;
};

struct Reply {
  std::string head = "HTTP/1.1 200 OK";  // status line and header lines, joined by "\r\n"
  std::string body;
  // Content-Length announced; -1 announces the body's own size, -2 announces none.
  long long announced_length = -1;
  bool endless = false;           // after `body`, keeps sending until the client goes away
  bool reset_after_body = false;  // ends the connection with a reset instead of a close
  bool drop = false;              // reads the request, then closes without a word of reply
};

inline std::vector<std::string> split_lines(const std::string& block) {
  std::vector<std::string> lines;
  std::size_t pos = 0;
  for (std::size_t hit; (hit = block.find("\r\n", pos)) != std::string::npos; pos = hit + 2) {
    lines.push_back(block.substr(pos, hit - pos));
  }
  lines.push_back(block.substr(pos));
  return lines;
}

class LoopbackServer {
 public:
  using Handler = std::function<Reply(const ReceivedRequest&)>;

  explicit LoopbackServer(Handler handler, unsigned short port = 0) : handler_(std::move(handler)) {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (port != 0) {
      BOOL reuse = TRUE;
      setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&reuse),
                 sizeof reuse);
    }
    if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener_, 16) != 0) {
      closesocket(listener_);
      listener_ = INVALID_SOCKET;
      return;
    }
    int size = sizeof address;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
    acceptor_ = std::thread([this] { accept_loop(); });
  }

  ~LoopbackServer() {
    stopping_ = true;
    if (acceptor_.joinable()) acceptor_.join();
    for (std::thread& t : connections_) t.join();
    if (listener_ != INVALID_SOCKET) closesocket(listener_);
    WSACleanup();
  }

  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  bool listening() const { return port_ != 0; }
  unsigned short port() const { return port_; }
  std::string url(const std::string& path = "/") const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }

  std::vector<ReceivedRequest> requests() {
    std::lock_guard lock(mutex_);
    return requests_;
  }
  // For each request in order, the number of the connection it came on (1 = the first accepted).
  std::vector<int> request_connections() {
    std::lock_guard lock(mutex_);
    return request_connections_;
  }

 private:
  void accept_loop() {
    while (!stopping_) {
      fd_set ready;
      FD_ZERO(&ready);
      FD_SET(listener_, &ready);
      timeval wait{0, 50 * 1000};
      if (select(0, &ready, nullptr, nullptr, &wait) <= 0) continue;
      SOCKET peer = accept(listener_, nullptr, nullptr);
      if (peer == INVALID_SOCKET) continue;
      const int number = static_cast<int>(connections_.size()) + 1;
      connections_.emplace_back([this, peer, number] { serve(peer, number); });
    }
  }

  // recv with a short time-out so that a stopping server never waits on an idle client.
  int receive(SOCKET peer, char* buffer, int size) {
    while (!stopping_) {
      fd_set ready;
      FD_ZERO(&ready);
      FD_SET(peer, &ready);
      timeval wait{0, 50 * 1000};
      const int n = select(0, &ready, nullptr, nullptr, &wait);
      if (n < 0) return -1;
      if (n > 0) return recv(peer, buffer, size, 0);
    }
    return -1;
  }

  bool send_all(SOCKET peer, const char* data, std::size_t size) {
    while (size > 0 && !stopping_) {
      const int n = send(peer, data, static_cast<int>(std::min<std::size_t>(size, 1 << 20)), 0);
      if (n <= 0) return false;
      data += n;
      size -= static_cast<std::size_t>(n);
    }
    return size == 0;
  }

  static long long content_length(const std::string& headers) {
    for (const std::string& line : split_lines(headers)) {
      std::string lower = line;
      std::transform(lower.begin(), lower.end(), lower.begin(),
                     [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
      if (lower.rfind("content-length:", 0) == 0) return std::atoll(line.c_str() + 15);
    }
    return 0;
  }

  void serve(SOCKET peer, int number) {
    // A client that stops reading an endless body without closing must not hold the server.
    DWORD send_wait_ms = 3000;
    setsockopt(peer, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&send_wait_ms),
               sizeof send_wait_ms);
    std::string pending;
    char buffer[16384];
    bool open = true;
    while (open && !stopping_) {
      std::size_t end;
      while ((end = pending.find("\r\n\r\n")) == std::string::npos) {
        const int n = receive(peer, buffer, sizeof buffer);
        if (n <= 0) {
          open = false;
          break;
        }
        pending.append(buffer, static_cast<std::size_t>(n));
      }
      if (!open) break;
      ReceivedRequest request;
      const std::string head = pending.substr(0, end);
      pending.erase(0, end + 4);
      const std::size_t line_end = head.find("\r\n");
      request.request_line = head.substr(0, line_end);
      if (line_end != std::string::npos) request.headers = head.substr(line_end + 2);
      const auto length = static_cast<std::size_t>(content_length(request.headers));
      while (pending.size() < length) {
        const int n = receive(peer, buffer, sizeof buffer);
        if (n <= 0) break;
        pending.append(buffer, static_cast<std::size_t>(n));
      }
      request.body = pending.substr(0, length);
      pending.erase(0, std::min(length, pending.size()));
      {
        std::lock_guard lock(mutex_);
        requests_.push_back(request);
        request_connections_.push_back(number);
      }
      open = answer(peer, handler_(request), request.request_line.rfind("HEAD ", 0) == 0);
    }
    closesocket(peer);
  }

  // False when the connection must end after this reply.
  bool answer(SOCKET peer, const Reply& reply, bool head_request) {
    if (reply.drop) return false;
    std::string out = reply.head;
    const bool closes = reply.endless || reply.reset_after_body || reply.announced_length == -2;
    if (reply.announced_length == -1 && !reply.endless) {
      out += "\r\nContent-Length: " + std::to_string(reply.body.size());
    } else if (reply.announced_length >= 0) {
      out += "\r\nContent-Length: " + std::to_string(reply.announced_length);
    }
    if (closes) out += "\r\nConnection: close";
    out += "\r\n\r\n";
    if (!head_request) out += reply.body;
    if (!send_all(peer, out.data(), out.size())) return false;
    if (reply.endless) {
      const std::string filler(64 * 1024, 'x');
      while (send_all(peer, filler.data(), filler.size())) {
      }
    }
    if (reply.reset_after_body) {
      linger abort{1, 0};
      setsockopt(peer, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort), sizeof abort);
    }
    return !closes;
  }

  Handler handler_;
  SOCKET listener_ = INVALID_SOCKET;
  unsigned short port_ = 0;
  std::atomic<bool> stopping_{false};
  std::thread acceptor_;
  std::vector<std::thread> connections_;  // touched only by the acceptor until it is joined
  std::mutex mutex_;
  std::vector<ReceivedRequest> requests_;
  std::vector<int> request_connections_;
};

// A port on which nothing listens (bound once, then released).
inline unsigned short unused_port() {
  WSADATA data;
  WSAStartup(MAKEWORD(2, 2), &data);
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
  int size = sizeof address;
  getsockname(s, reinterpret_cast<sockaddr*>(&address), &size);
  closesocket(s);
  WSACleanup();
  return ntohs(address.sin_port);
}

}  // namespace quillmere::testing
