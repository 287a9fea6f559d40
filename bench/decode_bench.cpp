// Throughput of reply decoding: url_decode with and without the UTF-8 to GBK conversion, next to
// one plain iconv pass over the same bytes, so a slowdown of the decoder shows against its floor.

#include <benchmark/benchmark.h>
#include <iconv.h>

#include <string>

#include "http/decode.h"

namespace {

// A platform reply as it arrives: JSON in UTF-8 with Chinese text and some percent escapes.
std::string reply_of(std::size_t size) {
  const std::string record =
      "{\"order_id\":\"791234567890\",\"buyer_name\":\"\xe5\xbc\xa0\xe4\xb8\x89\","
      "\"address\":\"\xe5\x8c\x97\xe4\xba\xac\xe5\xb8\x82%20\xe6\x9c\x9d\xe9\x98\xb3\xe5\x8c\xba\","
      "\"note\":\"%E5%B0%BD%E5%BF%AB%E5%8F%91%E8%B4%A7\",\"status\":\"pay\"},";
  std::string text;
  text.reserve(size + record.size());
  while (text.size() < size) text += record;
  text.resize(size);
  return text;
}

void set_throughput(benchmark::State& state, std::size_t bytes) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

void url_decode_to_gbk(benchmark::State& state) {
  const std::string reply = reply_of(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(quillmere::url_decode(reply, true));
  set_throughput(state, reply.size());
}

void url_decode_bytes_only(benchmark::State& state) {
  const std::string reply = reply_of(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(quillmere::url_decode(reply));
  set_throughput(state, reply.size());
}

// Raw iconv passes over the same bytes, into buffers made once: the floor of each route.
// `via` names an intermediate encoding ("UTF-16LE", the route the program's conversion takes
// because Windows offers no other) or nothing for the direct conversion.
void iconv_passes(benchmark::State& state, const char* via) {
  std::string reply = reply_of(static_cast<std::size_t>(state.range(0)));
  std::string middle(reply.size() * 2 + 16, '\0');
  std::string out(reply.size() * 2 + 16, '\0');
  const char* first_target = via ? via : "CP936";
  const iconv_t first = iconv_open(first_target, "UTF-8");
  const iconv_t second = via ? iconv_open("CP936", via) : reinterpret_cast<iconv_t>(-1);
  if (first == reinterpret_cast<iconv_t>(-1) || (via && second == reinterpret_cast<iconv_t>(-1))) {
    state.SkipWithError("iconv cannot make this conversion");
    return;
  }
  // Only the end of the sample, cut inside a character, fails to convert; it is skipped.
  const auto pass = [](iconv_t cd, char* in, std::size_t in_left, std::string& to) {
    char* dst = to.data();
    std::size_t dst_left = to.size();
    while (in_left > 0 &&
           iconv(cd, &in, &in_left, &dst, &dst_left) == static_cast<std::size_t>(-1)) {
      ++in;
      --in_left;
    }
    return static_cast<std::size_t>(dst - to.data());
  };
  for (auto _ : state) {
    std::size_t size = pass(first, reply.data(), reply.size(), via ? middle : out);
    if (via) size = pass(second, middle.data(), size, out);
    benchmark::DoNotOptimize(size);
  }
  iconv_close(first);
  if (via) iconv_close(second);
  set_throughput(state, reply.size());
}

constexpr std::int64_t kOneMegabyte = 1 << 20;
constexpr std::int64_t kTenMegabytes = 10 << 20;

}  // namespace

// 1 MB and 10 MB: equal MB/s at both sizes shows the work grows linearly with the reply.
BENCHMARK(url_decode_to_gbk)->Arg(kOneMegabyte)->Arg(kTenMegabytes)->Unit(benchmark::kMillisecond);
BENCHMARK(url_decode_bytes_only)
    ->Arg(kOneMegabyte)
    ->Arg(kTenMegabytes)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(iconv_passes, utf8_to_gbk_direct, nullptr)
    ->Arg(kOneMegabyte)
    ->Arg(kTenMegabytes)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(iconv_passes, utf8_to_gbk_via_utf16, "UTF-16LE")
    ->Arg(kOneMegabyte)
    ->Arg(kTenMegabytes)
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
