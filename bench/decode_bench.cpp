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

// The floor: one iconv conversion from UTF-8 straight to GBK, into a buffer made once.
void iconv_utf8_to_gbk(benchmark::State& state) {
  std::string reply = reply_of(static_cast<std::size_t>(state.range(0)));
  std::string out(reply.size() * 2, '\0');
  const iconv_t cd = iconv_open("CP936", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    state.SkipWithError("iconv cannot convert UTF-8 to CP936");
    return;
  }
  for (auto _ : state) {
    char* in = reply.data();
    std::size_t in_left = reply.size();
    char* dst = out.data();
    std::size_t dst_left = out.size();
    while (in_left > 0 && iconv(cd, &in, &in_left, &dst, &dst_left) == static_cast<std::size_t>(-1)) {
      ++in;  // only the end of the sample, cut inside a character, gets here
      --in_left;
    }
    benchmark::DoNotOptimize(dst);
  }
  iconv_close(cd);
  set_throughput(state, reply.size());
}

constexpr std::int64_t kOneMegabyte = 1 << 20;
constexpr std::int64_t kTenMegabytes = 10 << 20;

}  // namespace

// 1 MB and 10 MB: equal MB/s at both sizes shows the work grows linearly with the reply.
BENCHMARK(url_decode_to_gbk)->Arg(kOneMegabyte)->Arg(kTenMegabytes)->Unit(benchmark::kMillisecond);
BENCHMARK(url_decode_bytes_only)->Arg(kOneMegabyte)->Arg(kTenMegabytes)->Unit(benchmark::kMillisecond);
BENCHMARK(iconv_utf8_to_gbk)->Arg(kOneMegabyte)->Arg(kTenMegabytes)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
