// The sandbox over real sockets, in process and as its own program.

#include "server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sstream>
#include <thread>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "text/text_between.h"

extern char** environ;

namespace quillmere::sandbox {
namespace {

using namespace std::chrono_literals;

struct http_reply {
  int status = 0;
  std::string headers;
  std::string body;
};

// One request written byte for byte, so tests choose exactly what goes on the wire.
// A keep-alive connection to the sandbox; -1 when it could not be made.
int open_connection(int port) {
  const int sock = ::socket(AF_INET, SOCK_STREAM, 0);
  if (sock < 0) return -1;
  timeval timeout{10, 0};
  ::setsockopt(sock, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(sock);
    return -1;
  }
  return sock;
}

http_reply send_raw(int port, const std::string& request_bytes) {
  http_reply reply;
  const int sock = open_connection(port);
  if (sock < 0) return reply;
  std::string received;
  if (::send(sock, request_bytes.data(), request_bytes.size(), MSG_NOSIGNAL) ==
      static_cast<ssize_t>(request_bytes.size())) {
    char buffer[4096];
    ssize_t got;
    // Refusals of unreadable requests leave the connection open, so stop at the body's end.
    while ((got = ::recv(sock, buffer, sizeof buffer, 0)) > 0) {
      received.append(buffer, got);
      const std::size_t head = received.find("\r\n\r\n");
      const std::size_t length = received.find("Content-Length: ");
      if (head != std::string::npos && length != std::string::npos && length < head &&
          received.size() >= head + 4 + std::stoul(received.substr(length + 16))) {
        break;
      }
    }
  }
  ::close(sock);
  const std::size_t head_end = received.find("\r\n\r\n");
  if (received.rfind("HTTP/1.1 ", 0) != 0 || head_end == std::string::npos) return reply;
  reply.status = std::stoi(received.substr(9, 3));
  reply.headers = received.substr(0, head_end);
  reply.body = received.substr(head_end + 4);
  return reply;
}

http_reply get(int port, const std::string& target) {
  return send_raw(port,
                  "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
}

std::string log_in(int port) {
  return text_between(
      get(port, "/token?grant_type=client_credential&appkey=688001&secret=quillmere-demo-secret")
          .body,
      "access_token\":\"", "\"");
}

std::string ids_request(const std::string& day, const std::string& token) {
  return "/api?param={\"page_num\":1,\"order_date\":\"" + day +
         "\"}&public={\"method\":\"vdian.order.ids.get\",\"access_token\":\"" + token +
         "\",\"version\":\"1.0\"}";
}

std::string today() { return order_date_text(date_of(read_clock().local)); }

class served : public ::testing::Test {
 protected:
  void SetUp() override {
    server_options options;
    options.port = 0;
    options.tick = 0s;
    options.log = &log;
    sandbox = std::make_unique<server>(options);
    port = sandbox->bind();
    ASSERT_GT(port, 0);
    serving = std::thread([this] { sandbox->run(); });
  }
  void TearDown() override {
    sandbox->stop();
    if (serving.joinable()) serving.join();
  }

  std::ostringstream log;
  std::unique_ptr<server> sandbox;
  std::thread serving;
  int port = 0;
};

TEST_F(served, answers_the_program_whether_braces_come_raw_or_escaped) {
  const std::string token = log_in(port);
  ASSERT_EQ(token.size(), 42u);
  const http_reply raw = get(port, ids_request(today(), token));
  EXPECT_EQ(raw.status, 200);
  EXPECT_NE(raw.headers.find("Content-Type: application/json;charset=UTF-8"), std::string::npos);
  EXPECT_EQ(raw.body.rfind(R"({"status":{"status_code":0,"status_reason":""},"result":[")", 0), 0u)
      << raw.body;

  std::string escaped = ids_request(today(), token);
  for (auto [from, to] : {std::pair{"{", "%7B"}, std::pair{"}", "%7D"}, std::pair{"\"", "%22"}}) {
    escaped = replace_all(escaped, from, to);
  }
  EXPECT_EQ(get(port, escaped).body, raw.body);
}

TEST_F(served, requests_the_http_layer_cannot_take_still_get_a_platform_refusal) {
  const http_reply too_long = get(port, "/api?param=" + std::string(9000, 'a'));
  EXPECT_EQ(too_long.status, 414);
  EXPECT_EQ(too_long.body, R"({"status":{"status_code":10010,"status_reason":"请求过长"}})");

  const http_reply garbage = send_raw(port, "\x01\x02 nonsense\r\n\r\n");
  EXPECT_EQ(garbage.status, 400);
  EXPECT_EQ(garbage.body, R"({"status":{"status_code":10009,"status_reason":"请求格式错误"}})");

  const http_reply gbk_bytes = get(port,
                                   "/api?param={\"order_id\":\"\xD6\xD0\"}&public={\"method\":"
                                   "\"vdian.order.get\",\"access_token\":\"" +
                                       log_in(port) + "\"}");
  EXPECT_EQ(gbk_bytes.status, 200);
  EXPECT_NE(gbk_bytes.body.find("\"status_code\":10007"), std::string::npos) << gbk_bytes.body;

  const http_reply unknown = get(port, "/favicon.ico");
  EXPECT_EQ(unknown.status, 404);
  EXPECT_EQ(unknown.body, R"({"status":{"status_code":10011,"status_reason":"API不存在"}})");

  // Still serving after all that.
  EXPECT_EQ(log_in(port).size(), 42u);
}

TEST_F(served, logs_one_line_per_request) {
  log_in(port);
  get(port, "/sandbox/add-order?note=%E5%BF%AB");
  get(port, "/api?param=" + std::string(9000, 'a'));
  sandbox->stop();
  serving.join();
  std::istringstream lines(log.str());
  std::vector<std::string> seen;
  for (std::string line; std::getline(lines, line);)
    seen.push_back(line.substr(9));  // after hh:mm:ss
  const std::vector<std::string> expected = {
      "GET /token appkey=688001 -> 0", "GET /sandbox/add-order note=快 -> 0", "- - -> HTTP 414"};
  EXPECT_EQ(seen, expected) << log.str();
}

// Sends a GET without "Connection: close"; what came back before the connection ended or went
// quiet for a second.
std::string exchange_kept_alive(int sock, const std::string& target) {
  const std::string request = "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
  if (::send(sock, request.data(), request.size(), MSG_NOSIGNAL) !=
      static_cast<ssize_t>(request.size()))
    return {};
  std::string received;
  char buffer[4096];
  pollfd ready{sock, POLLIN, 0};
  while (::poll(&ready, 1, 1000) > 0) {
    const ssize_t got = ::recv(sock, buffer, sizeof buffer, 0);
    if (got <= 0) break;
    received.append(buffer, got);
  }
  return received;
}

TEST_F(served, a_dropped_call_closes_the_connection_without_a_reply) {
  const std::string token = log_in(port);
  // A client's idle kept-alive connection is closed when drops are armed, so the client cannot
  // quietly retry the dropped call on it.
  const int idle = open_connection(port);
  ASSERT_GE(idle, 0);
  ASSERT_EQ(exchange_kept_alive(idle, "/sandbox/orders?date=2000-1-1").rfind("HTTP/1.1 200", 0),
            0u);
  ASSERT_EQ(get(port, "/sandbox/drop-calls?count=1").status, 200);
  char buffer[256];
  EXPECT_EQ(::recv(idle, buffer, sizeof buffer, 0), 0) << "the idle connection was closed";
  ::close(idle);

  const int sock = open_connection(port);
  ASSERT_GE(sock, 0);
  EXPECT_EQ(exchange_kept_alive(sock, ids_request(today(), token)), "") << "no byte of a reply";
  EXPECT_EQ(::recv(sock, buffer, sizeof buffer, 0), 0) << "the connection ended";
  ::close(sock);

  // The next call is answered again.
  EXPECT_EQ(get(port, ids_request(today(), token)).status, 200);
  sandbox->stop();
  serving.join();
  EXPECT_NE(log.str().find("vdian.order.ids.get param={\"page_num\":1,\"order_date\":\"" + today() +
                           "\"} -> dropped\n"),
            std::string::npos)
      << log.str();
  EXPECT_EQ(log.str().find("HTTP 500"), std::string::npos) << log.str();
}

TEST_F(served, a_dropped_delivery_reply_ships_the_order_and_sends_no_byte) {
  const std::string token = log_in(port);
  const auto orders =
      nlohmann::json::parse(get(port, "/sandbox/orders?date=" + today()).body)["result"];
  std::string id;
  for (const auto& each : orders) {
    if (each["status_desc"] == "待发货") id = each["order_id"];
  }
  ASSERT_FALSE(id.empty());
  ASSERT_EQ(get(port, "/sandbox/drop-deliver-replies?count=1").status, 200);
  const int sock = open_connection(port);
  ASSERT_GE(sock, 0);
  const std::string deliver = "/api?param={\"order_id\":\"" + id +
                              "\",\"express_type\":\"999\",\"express_no\":\"1234566789\"}"
                              "&public={\"method\":\"vdian.order.deliver\",\"access_token\":\"" +
                              token + "\",\"version\":\"1.0\",\"format\":\"json\"}";
  EXPECT_EQ(exchange_kept_alive(sock, deliver), "") << "no byte of a reply";
  char buffer[256];
  EXPECT_EQ(::recv(sock, buffer, sizeof buffer, 0), 0) << "the connection ended";
  ::close(sock);
  const auto shipped = nlohmann::json::parse(get(port, "/sandbox/deliveries").body)["result"];
  ASSERT_EQ(shipped.size(), 1u);
  EXPECT_EQ(shipped[0]["order_id"], id);
}

TEST_F(served, a_slow_reply_holds_back_only_its_own_client) {
  const std::string token = log_in(port);
  ASSERT_EQ(get(port, "/sandbox/slow?ms=2000").status, 200);
  const auto started = std::chrono::steady_clock::now();
  std::atomic<bool> slow_answered{false};
  std::thread slow_client([&] {
    EXPECT_EQ(get(port, ids_request(today(), token)).status, 200);
    slow_answered = true;
  });
  std::this_thread::sleep_for(200ms);
  // The slow reply does not hold the shop's lock while it waits: the controls still answer.
  EXPECT_EQ(get(port, "/sandbox/orders?date=2000-1-1").status, 200);
  EXPECT_FALSE(slow_answered) << "the control was answered before the slow reply";
  slow_client.join();
  EXPECT_GE(std::chrono::steady_clock::now() - started, 2000ms);
}

TEST_F(served, keeps_its_shop_whole_under_parallel_clients) {
  const std::string token = log_in(port);
  std::vector<std::thread> clients;
  std::atomic<int> good{0};
  for (int c = 0; c < 4; ++c) {
    clients.emplace_back([&] {
      for (int i = 0; i < 10; ++i) {
        if (get(port, "/sandbox/add-order?paid=1").status == 200) ++good;
        const auto ids =
            nlohmann::json::parse(get(port, ids_request(today(), token)).body, nullptr, false);
        if (ids.is_object() && ids["result"].is_array()) ++good;
      }
    });
  }
  for (auto& client : clients) client.join();
  EXPECT_EQ(good, 80);
  // More than a page of ids now: the shop's own list says how many.
  const auto orders =
      nlohmann::json::parse(get(port, "/sandbox/orders?date=" + today()).body)["result"];
  EXPECT_GE(orders.size(), 44u);
}

TEST(server, stop_before_run_returns_at_once) {
  server_options options;
  options.port = 0;
  server sandbox(options);
  ASSERT_GT(sandbox.bind(), 0);
  sandbox.stop();
  EXPECT_TRUE(sandbox.run());
}

// The program itself: start-up banner, the beat, a clean stop on SIGTERM.
class sandbox_process {
 public:
  explicit sandbox_process(std::vector<std::string> arguments) {
    int pipe_ends[2];
    if (::pipe(pipe_ends) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe_ends[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, pipe_ends[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipe_ends[0]);
    arguments.insert(arguments.begin(), QUILLMERE_SANDBOX_EXE);
    std::vector<char*> argv;
    for (std::string& each : arguments) argv.push_back(each.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, QUILLMERE_SANDBOX_EXE, &actions, nullptr, argv.data(), environ) != 0) {
      pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipe_ends[1]);
    output_ = pipe_ends[0];
  }
  ~sandbox_process() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (output_ >= 0) ::close(output_);
  }

  // The next line of its output, or nothing when none comes within `patience`.
  std::optional<std::string> next_line(std::chrono::milliseconds patience = 10s) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    for (;;) {
      if (const std::size_t end = pending_.find('\n'); end != std::string::npos) {
        std::string line = pending_.substr(0, end);
        pending_.erase(0, end + 1);
        return line;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      pollfd ready{output_, POLLIN, 0};
      if (left <= 0ms || ::poll(&ready, 1, static_cast<int>(left.count())) <= 0)
        return std::nullopt;
      char buffer[1024];
      const ssize_t got = ::read(output_, buffer, sizeof buffer);
      if (got <= 0) return std::nullopt;
      pending_.append(buffer, got);
    }
  }

  // Its exit code once it has ended.
  int wait() {
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  void terminate() const { ::kill(pid_, SIGTERM); }

 private:
  pid_t pid_ = -1;
  int output_ = -1;
  std::string pending_;
};

TEST(sandbox_program, prints_how_to_reach_it_brings_orders_and_stops_cleanly) {
  sandbox_process sandbox({"--port", "0", "--tick-seconds", "1"});
  const auto first = sandbox.next_line();
  ASSERT_TRUE(first);
  const std::string prefix = "quillmere-sandbox listening on http://127.0.0.1:";
  ASSERT_EQ(first->rfind(prefix, 0), 0u) << *first;
  const int port = std::stoi(first->substr(prefix.size()));
  EXPECT_EQ(sandbox.next_line(), "  app key: 688001");
  EXPECT_EQ(sandbox.next_line(), "  secret:  quillmere-demo-secret");

  const std::string token = log_in(port);
  ASSERT_EQ(token.size(), 42u);
  const auto before = nlohmann::json::parse(get(port, ids_request(today(), token)).body)["result"];
  bool beat = false;
  while (auto line = sandbox.next_line(5s)) {
    if (line->find("beat: new order") != std::string::npos) {
      beat = true;
      break;
    }
  }
  EXPECT_TRUE(beat);
  const auto after = nlohmann::json::parse(get(port, ids_request(today(), token)).body)["result"];
  EXPECT_GT(after.size(), before.size());

  sandbox.terminate();
  bool said_stopped = false;
  while (auto line = sandbox.next_line(5s)) said_stopped |= *line == "quillmere-sandbox stopped";
  EXPECT_TRUE(said_stopped);
  EXPECT_EQ(sandbox.wait(), 0);
}

TEST(sandbox_program, refuses_a_port_already_taken_and_bad_arguments) {
  sandbox_process first({"--port", "0", "--tick-seconds", "0"});
  const auto banner = first.next_line();
  ASSERT_TRUE(banner);
  const std::string port = banner->substr(banner->rfind(':') + 1);

  sandbox_process second({"--port", port});
  EXPECT_EQ(second.wait(), 1);
  sandbox_process wrong({"--port", "http"});
  EXPECT_EQ(wrong.wait(), 2);
  sandbox_process dangling({"--tick-seconds"});
  EXPECT_EQ(dangling.wait(), 2);
}

}  // namespace
}  // namespace quillmere::sandbox
