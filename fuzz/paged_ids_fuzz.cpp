// A day's ids over several pages, as retrieval and a monitoring pass read them, with every page
// an arbitrary reply (pages 1 to 6 from the input, page 7 repeating page 6, later pages none).
// Whatever the pages say, pages are asked for in order, a next one only after a full one, and a
// page that repeats an earlier one ends the paging.
#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "http/decode.h"
#include "shop/fakes.h"
#include "shop/platform_replies.h"
#include "shop/replies.h"
#include "shop/requests.h"
#include "shop/session.h"
#include "shop/workflows.h"

namespace {

using namespace quillmere::shop;
using namespace quillmere::shop::testing;

constexpr std::size_t kPages = 6;
constexpr std::size_t kFullPage = 10;
const std::string kDate = "2026-5-3";

// The page numbers of the ids requests sent, in order; 0 for a page past the scripted ones.
std::vector<int> pages_asked(const FakeNetwork& network, const std::map<std::string, int>& pages) {
  std::vector<int> asked;
  for (const std::string& url : network.pages) {
    // By the method key: an order id (any text without a quote) may hold a method's name.
    if (url.find(R"("method":"vdian.order.ids.get")") == std::string::npos) continue;
    const auto found = pages.find(url);
    asked.push_back(found != pages.end() ? found->second : 0);
  }
  return asked;
}

// Pages are asked for 1, 2, 3, ... and each after page 1 only when the one before was full.
void check_paging(const std::vector<int>& asked, const std::vector<std::string>& pages) {
  for (std::size_t i = 0; i < asked.size(); ++i) {
    if (asked[i] != static_cast<int>(i) + 1) __builtin_trap();
    if (i == 0) continue;
    const std::size_t before = i - 1;
    const std::string& page = pages[std::min(before, pages.size() - 1)];
    const std::string reply = quillmere::url_decode(page, true);
    if (read_order_ids(reply).size() < kFullPage) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::string> pages = quillmere::fuzz::split_input(data, size, kPages);
  FakeClock clock;
  Session session{clock};
  FakeWindow window;
  FakeNetwork network;
  FakePacing pacing;
  network.reply(build_token_request("ak", "sk"), token_reply("T", 90000));
  run_login(session, window, network, "ak", "sk", session.begin_login());
  // One page past the input's repeats its last page: a platform that ignores page_num.
  std::map<std::string, int> page_urls;
  for (std::size_t page = 1; page <= pages.size() + 1; ++page) {
    const std::string url =
        build_order_ids_request(kDate, session.access_token(), static_cast<int>(page));
    page_urls[url] = static_cast<int>(page);
    network.reply(url, pages[std::min(page, pages.size()) - 1]);
  }

  // The paging is what is fuzzed here: the window closes at the first order's details, which
  // ends the walk over the ids.
  network.during_exchange = [&](const std::string& url) {
    if (url.find(R"("method":"vdian.order.get")") != std::string::npos) window.is_alive = false;
  };
  run_order_retrieval(session, window, network, pacing, window.date, 0);
  check_paging(pages_asked(network, page_urls), pages);

  network.pages.clear();
  window.is_alive = true;
  session.set_monitored_day(window.date);
  monitoring_pass(session, window, network, pacing);
  check_paging(pages_asked(network, page_urls), pages);
  return 0;
}
