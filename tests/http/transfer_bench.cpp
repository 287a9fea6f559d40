// Transfer speed of both request routines for a 10 MB body on loopback. Prints MB/s
// (10^6 bytes per second) of each routine, then the URL it keeps serving until a line arrives
// on standard input, so that tests/http/transfer-bench.sh can measure curl on the same server.
#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "http/fetch_page.h"
#include "http/loopback_server.h"
#include "http/winhttp_fetch.h"

namespace {

using quillmere::testing::LoopbackServer;
using quillmere::testing::ReceivedRequest;
using quillmere::testing::Reply;

constexpr std::size_t kBodyBytes = 10'000'000;
constexpr int kRuns = 5;

// Best and median MB/s over the runs, after one warm-up.
void measure(const char* name, const std::function<std::size_t()>& fetch) {
  if (fetch() != kBodyBytes) {
    std::printf("%-14s FAILED: wrong body size\n", name);
    return;
  }
  std::vector<double> rates;
  for (int i = 0; i < kRuns; ++i) {
    const auto started = std::chrono::steady_clock::now();
    const std::size_t size = fetch();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
    if (size != kBodyBytes) {
      std::printf("%-14s FAILED: wrong body size\n", name);
      return;
    }
    rates.push_back(static_cast<double>(size) / 1e6 / took.count());
  }
  std::sort(rates.begin(), rates.end());
  std::printf("%-14s best %7.1f MB/s   median %7.1f MB/s   (%d runs of 10 MB)\n", name,
              rates.back(), rates[rates.size() / 2], kRuns);
  std::fflush(stdout);
}

}  // namespace

int main() {
  const std::string body(kBodyBytes, 'b');
  LoopbackServer server([&](const ReceivedRequest&) {
    Reply r;
    r.body = body;
    return r;
  });
  if (!server.listening()) {
    std::printf("cannot listen on loopback\n");
    return 1;
  }
  const std::string url = server.url("/10mb");

  measure("fetch_page", [&] { return quillmere::fetch_page(url).size(); });
  measure("winhttp_fetch", [&] {
    std::string received;
    quillmere::winhttp_fetch(url, 0, {}, nullptr, nullptr, {}, nullptr, false, {}, {}, {}, {}, {},
                             0, nullptr, nullptr, &received);
    return received.size();
  });

  // The server's own copy of the body and one received body (10 MB each) are the floor.
  PROCESS_MEMORY_COUNTERS memory{};
  if (GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory)) {
    std::printf("peak working set %.1f MB\n", static_cast<double>(memory.PeakWorkingSetSize) / 1e6);
  }
  std::printf("serving %s\n", url.c_str());
  std::fflush(stdout);
  std::string line;
  std::getline(std::cin, line);
  return 0;
}
