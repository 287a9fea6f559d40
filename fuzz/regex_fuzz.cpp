// The program's own patterns over arbitrary subjects, plus arbitrary patterns over short ones.
#include <cstdint>

#include "fuzz_input.h"
#include "text/regex_object.h"

namespace {

const char* const kPatterns[] = {
    "\"(.*?)\"",
    "\"order_id\":\"(.*?)\",\"status2\":\"(.*?)\",\"note\":\"(.*?)\"[\\s\\S]*?\"seller_phone\":\"(.*?)\""
    "[\\s\\S]*?\"user_phone\":\"(.*?)\"[\\s\\S]*?\"status_desc\":\"(.*?)\"[\\s\\S]*?\"quantity\":\"(.*?)\","
    "\"total_price\":\"(.*?)\"[\\s\\S]*?\"item_name\":\"(.*?)\"",
    "<meta.+?charset=[^\\w]?([-\\w]+)",
};

void exercise(quillmere::regex_object& re) {
  const int n = re.match_count();
  const int groups = re.submatch_count();
  for (int m = 0; m <= n + 1 && m < 64; ++m) {
    int position = -1;
    const std::string whole = re.match_text(m, &position);
    for (int g = 0; g <= groups + 1; ++g) re.submatch_text(m, g, &position);
    (void)whole;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto parts = quillmere::fuzz::split_input(data, size, 2);
  quillmere::regex_object re;
  for (const char* pattern : kPatterns) {
    if (re.create(pattern, parts[0] + parts[1])) exercise(re);
  }
  // A fuzzed pattern, kept short so that one input stays fast.
  if (parts[0].size() <= 64 && parts[1].size() <= 4096) {
    if (re.create(parts[0], parts[1])) {
      exercise(re);
      re.replace("$1-$&");
    }
  }
  return 0;
}
