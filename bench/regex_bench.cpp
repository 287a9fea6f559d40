// Reading replies: the order ids of an ids reply and the fields of an order-detail reply, with
// this program's regex_object against PCRE2 (JIT) and std::regex on the same bytes.
//
// Beside the times: peak_bytes, the most heap bytes one call held at once beyond what it started
// with (everything the call allocates, the collected strings included), peak_per_byte the same
// over the reply's size, and faults the minor page faults per call. For regex_object,
// create_peak_bytes and create_per_byte count its create call alone.
#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdlib>
#include <new>
#include <regex>
#include <string>
#include <vector>

#include "shop/replies.h"
#include "text/regex_object.h"

namespace {

// Heap accounting through the replaced operator new below; the benchmarks run on one thread.
std::size_t live_bytes = 0;
std::size_t peak_live_bytes = 0;

long minor_faults() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_minflt;
}

// Measures the calls of one benchmark: the largest peak of any call, and the faults overall.
class CallMeter {
 public:
  CallMeter() : faults_at_start_(minor_faults()) {}
  // Meters nest: an inner one leaves the outer one's peak standing.
  void start() {
    outer_peak_ = peak_live_bytes;
    base_ = peak_live_bytes = live_bytes;
  }
  void stop() {
    peak_ = std::max(peak_, peak_live_bytes - base_);
    peak_live_bytes = std::max(peak_live_bytes, outer_peak_);
  }
  void report(benchmark::State& state, std::size_t subject_bytes) const {
    const auto calls = static_cast<double>(state.iterations());
    state.counters["peak_bytes"] = static_cast<double>(peak_);
    state.counters["peak_per_byte"] =
        static_cast<double>(peak_) / static_cast<double>(subject_bytes);
    state.counters["faults"] = static_cast<double>(minor_faults() - faults_at_start_) / calls;
  }
  void report_create(benchmark::State& state, std::size_t subject_bytes) const {
    state.counters["create_peak_bytes"] = static_cast<double>(peak_);
    state.counters["create_per_byte"] =
        static_cast<double>(peak_) / static_cast<double>(subject_bytes);
  }

 private:
  long faults_at_start_;
  std::size_t base_ = 0;
  std::size_t outer_peak_ = 0;
  std::size_t peak_ = 0;
};

const std::string kIdsPattern = "\"(.*?)\"";
const std::string kDetailPattern =
    "\"order_id\":\"(.*?)\",\"status2\":\"(.*?)\",\"note\":\"(.*?)\"[\\s\\S]*?\"seller_phone\":\"(.*?)\""
    "[\\s\\S]*?\"user_phone\":\"(.*?)\"[\\s\\S]*?\"status_desc\":\"(.*?)\"[\\s\\S]*?\"quantity\":\"(.*?)\","
    "\"total_price\":\"(.*?)\"[\\s\\S]*?\"item_name\":\"(.*?)\"";

std::string ids_reply(int count) {
  std::string s = "{\"status\":{\"status_code\":0,\"status_reason\":\"success\"},\"result\":[";
  for (int i = 0; i < count; ++i) {
    if (i > 0) s += ",";
    // Appended piece by piece: g++ 12 takes a prepend for an overlapping copy (-Wrestrict).
    s += '"';
    s += std::to_string(790000000 + i);
    s += '"';
  }
  return s + "]}";
}

// About 4 KB: one order with the keys in reply order, the item block padded with the kind of
// fields a real reply carries. GBK text in the values.
std::string detail_reply() {
  std::string s =
      "{\"status\":{\"status_code\":0,\"status_reason\":\"success\"},\"result\":{"
      "\"order_id\":\"790000123\",\"status2\":\"\xd2\xd1\xb8\xb6\xbf\xee\",\"note\":\"\xbe\xa1\xbf\xec\xb7\xa2\xbb\xf5\","
      "\"buyer_info\":{\"name\":\"\xd5\xc5\xc8\xfd\",\"address\":\"\xb1\xb1\xbe\xa9\xca\xd0\",\"seller_phone\":\"13800000000\","
      "\"user_phone\":\"13900000000\"},\"status_desc\":\"\xb4\xfd\xb7\xa2\xbb\xf5\",";
  while (s.size() < 3800) {
    const std::string number = std::to_string(s.size());
    s += "\"extra_field_";
    s += number;
    s += "\":\"0123456789abcdef\",\n";
  }
  s +=
      "\"items\":[{\"quantity\":\"2\",\"total_price\":\"19.80\",\"item_id\":\"55\",\"item_name\":\"\xc2\xcc\xb2\xe8\"}]}}";
  return s;
}

// The same reply with JSON escapes in the note and the item's name, as a buyer's quotes and the
// platform's \u escapes make them.
std::string escaped_detail_reply() {
  std::string s = detail_reply();
  s.replace(s.find("\"note\":\"") + 8, 0, R"(\"\u52a0\u539a\"\n)");
  s.replace(s.find("\"item_name\":\"") + 13, 0, R"(\"\ud83d\ude00\")");
  return s;
}

// JSON strings with their escapes, for PCRE2: the peer of the program's whole detail reader.
const std::string kEscapedDetailPattern = [] {
  std::string pattern = kDetailPattern;
  for (std::size_t at = 0; (at = pattern.find("(.*?)", at)) != std::string::npos;)
    pattern.replace(at, 5, "((?:[^\"\\\\\\n]|\\\\.)*)");
  return pattern;
}();

// As the program's ids reader does it: the reply read in place, the ids collected into storage
// sized from the match count.
void BM_ids_regex_object(benchmark::State& state, const std::string& pattern) {
  const std::string reply = ids_reply(static_cast<int>(state.range(0)));
  std::size_t total = 0;
  CallMeter meter;
  CallMeter create_meter;
  for (auto _ : state) {
    meter.start();
    quillmere::regex_object re;
    create_meter.start();
    re.create_in_place(pattern, reply);
    create_meter.stop();
    std::vector<std::string> ids;
    const int count = re.match_count();
    if (count > 5) ids.reserve(static_cast<std::size_t>(count - 5));
    for (int k = 6; k <= count; ++k) ids.push_back(re.submatch_text(k, 1));
    total += ids.size();
    benchmark::DoNotOptimize(ids.data());
    meter.stop();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * reply.size()));
  state.counters["ids"] = static_cast<double>(total) / static_cast<double>(state.iterations());
  meter.report(state, reply.size());
  create_meter.report_create(state, reply.size());
}

struct Pcre2 {
  pcre2_code* code = nullptr;
  pcre2_match_data* data = nullptr;
  explicit Pcre2(const std::string& pattern) {
    int error = 0;
    PCRE2_SIZE offset = 0;
    code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.c_str()), pattern.size(),
                         PCRE2_CASELESS | PCRE2_MULTILINE, &error, &offset, nullptr);
    pcre2_jit_compile(code, PCRE2_JIT_COMPLETE);
    data = pcre2_match_data_create_from_pattern(code, nullptr);
  }
  ~Pcre2() {
    pcre2_match_data_free(data);
    pcre2_code_free(code);
  }
  // The groups of every match after the first `skip`, one string each in match order, as a
  // caller would collect them in one pass (the count is not known before).
  std::vector<std::string> groups(const std::string& subject, std::size_t skip = 0) const {
    std::vector<std::string> out;
    PCRE2_SIZE at = 0;
    for (std::size_t match = 0; at <= subject.size(); ++match) {
      const int rc = pcre2_jit_match(code, reinterpret_cast<PCRE2_SPTR>(subject.data()),
                                     subject.size(), at, 0, data, nullptr);
      if (rc <= 0) break;
      const PCRE2_SIZE* v = pcre2_get_ovector_pointer(data);
      if (match >= skip)
        for (int g = 1; g < rc; ++g) out.emplace_back(subject, v[2 * g], v[2 * g + 1] - v[2 * g]);
      at = v[1] > v[0] ? v[1] : v[1] + 1;
    }
    return out;
  }
};

void BM_ids_pcre2_jit(benchmark::State& state) {
  const std::string reply = ids_reply(static_cast<int>(state.range(0)));
  const Pcre2 re(kIdsPattern);
  std::size_t total = 0;
  CallMeter meter;
  for (auto _ : state) {
    meter.start();
    const std::vector<std::string> ids = re.groups(reply, 5);
    total += ids.size();
    benchmark::DoNotOptimize(ids.data());
    meter.stop();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * reply.size()));
  state.counters["ids"] = static_cast<double>(total) / static_cast<double>(state.iterations());
  meter.report(state, reply.size());
}

void BM_ids_std_regex(benchmark::State& state) {
  const std::string reply = ids_reply(static_cast<int>(state.range(0)));
  const std::regex re("\"([^\\n]*?)\"", std::regex::ECMAScript | std::regex::icase);
  for (auto _ : state) {
    std::vector<std::string> ids;
    std::size_t k = 0;
    for (std::sregex_iterator it(reply.begin(), reply.end(), re), end; it != end; ++it)
      if (++k > 5) ids.push_back((*it)[1].str());
    benchmark::DoNotOptimize(ids.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * reply.size()));
}

void BM_detail_regex_object(benchmark::State& state, const std::string& pattern) {
  const std::string reply = detail_reply();
  CallMeter meter;
  CallMeter create_meter;
  for (auto _ : state) {
    meter.start();
    quillmere::regex_object re;
    create_meter.start();
    re.create_in_place(pattern, reply);
    create_meter.stop();
    std::vector<std::string> fields;
    fields.reserve(9);
    for (int g = 1; g <= 9; ++g) fields.push_back(re.submatch_text(1, g));
    benchmark::DoNotOptimize(fields.data());
    meter.stop();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * reply.size()));
  meter.report(state, reply.size());
  create_meter.report_create(state, reply.size());
}

void BM_detail_pcre2_jit(benchmark::State& state) {
  const std::string reply = detail_reply();
  const Pcre2 re(kDetailPattern);
  CallMeter meter;
  for (auto _ : state) {
    meter.start();
    const std::vector<std::string> fields = re.groups(reply);
    benchmark::DoNotOptimize(fields.data());
    meter.stop();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * reply.size()));
  meter.report(state, reply.size());
}

// The program's detail reader as the shop calls it: the pattern, then the fields' escapes.
void BM_read_order_details(benchmark::State& state, bool escaped) {
  const std::string reply = escaped ? escaped_detail_reply() : detail_reply();
  CallMeter meter;
  for (auto _ : state) {
    meter.start();
    const auto details = quillmere::shop::read_order_details(reply);
    benchmark::DoNotOptimize(details.data());
    meter.stop();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * reply.size()));
  meter.report(state, reply.size());
}

// PCRE2-JIT with a pattern that keeps escaped quotes inside the fields (it decodes nothing).
void BM_detail_pcre2_jit_escapes(benchmark::State& state, bool escaped) {
  const std::string reply = escaped ? escaped_detail_reply() : detail_reply();
  const Pcre2 re(kEscapedDetailPattern);
  CallMeter meter;
  for (auto _ : state) {
    meter.start();
    const std::vector<std::string> fields = re.groups(reply);
    if (fields.size() != 9) state.SkipWithError("no match");
    benchmark::DoNotOptimize(fields.data());
    meter.stop();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * reply.size()));
  meter.report(state, reply.size());
}

void BM_detail_std_regex(benchmark::State& state) {
  const std::string reply = detail_reply();
  // ECMAScript's "." already stops at line ends, so the program's pattern serves as it is.
  const std::regex re(kDetailPattern, std::regex::ECMAScript | std::regex::icase);
  for (auto _ : state) {
    std::vector<std::string> fields;
    for (std::sregex_iterator it(reply.begin(), reply.end(), re), end; it != end; ++it)
      for (int g = 1; g <= 9; ++g) fields.push_back((*it)[g].str());
    benchmark::DoNotOptimize(fields.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * reply.size()));
}

}  // namespace

// The program's own patterns take the fast path; wrapped in "(?:...)" they run on the general
// (Boost) engine, shown for comparison.
BENCHMARK_CAPTURE(BM_ids_regex_object, fast_path, kIdsPattern)
    ->RangeMultiplier(10)
    ->Range(1000, 100000);
BENCHMARK_CAPTURE(BM_ids_regex_object, general_engine, "(?:" + kIdsPattern + ")")
    ->RangeMultiplier(10)
    ->Range(1000, 100000);
BENCHMARK(BM_ids_pcre2_jit)->RangeMultiplier(10)->Range(1000, 100000);
BENCHMARK(BM_ids_std_regex)->RangeMultiplier(10)->Range(1000, 100000);
BENCHMARK_CAPTURE(BM_detail_regex_object, fast_path, kDetailPattern);
BENCHMARK_CAPTURE(BM_detail_regex_object, general_engine, "(?:" + kDetailPattern + ")");
BENCHMARK(BM_detail_pcre2_jit);
BENCHMARK(BM_detail_std_regex);
BENCHMARK_CAPTURE(BM_read_order_details, plain, false);
BENCHMARK_CAPTURE(BM_read_order_details, escaped, true);
BENCHMARK_CAPTURE(BM_detail_pcre2_jit_escapes, plain, false);
BENCHMARK_CAPTURE(BM_detail_pcre2_jit_escapes, escaped, true);

// Every allocation of the program, counted by the bytes malloc actually handed out.
void* operator new(std::size_t size) {
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  live_bytes += malloc_usable_size(p);
  peak_live_bytes = std::max(peak_live_bytes, live_bytes);
  return p;
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept {
  if (p == nullptr) return;
  live_bytes -= malloc_usable_size(p);
  std::free(p);
}
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }
void operator delete[](void* p, std::size_t) noexcept { operator delete(p); }

BENCHMARK_MAIN();
