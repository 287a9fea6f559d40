// The fast path for literal-and-lazy-skip patterns against the general engine: the same
// pattern wrapped in "(?:...)" must give the same matches, groups and positions. The fast side
// reads the subject in place, the general side from its own copy.
#include <cstdint>
#include <string>

#include "text/regex_object.h"

namespace {

const char* const kPatterns[] = {
    "\"(.*?)\"",
    "\"order_id\":\"(.*?)\",\"status2\":\"(.*?)\",\"note\":\"(.*?)\"[\\s\\S]*?\"seller_phone\":\"(.*?)\""
    "[\\s\\S]*?\"user_phone\":\"(.*?)\"[\\s\\S]*?\"status_desc\":\"(.*?)\"[\\s\\S]*?\"quantity\":\"(.*?)\","
    "\"total_price\":\"(.*?)\"[\\s\\S]*?\"item_name\":\"(.*?)\"",
    "a(.*?)b.*?A([\\s\\S]*?)\"",
    "k\\\"(.*?)\\n",
    "\"a\":\"(.*?)\"[\\s\\S]*?,\"B\":(.*?)\"",
};

std::string flatten(quillmere::regex_object& re) {
  std::string out =
      std::to_string(re.match_count()) + "/" + std::to_string(re.submatch_count()) + ":";
  for (int m = 1; m <= re.match_count(); ++m) {
    for (int g = 0; g <= re.submatch_count(); ++g) {
      int position = -1;
      const std::string text =
          g == 0 ? re.match_text(m, &position) : re.submatch_text(m, g, &position);
      out += std::to_string(position) + "=" + text + "|";
    }
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1 || size > 8192) return 0;
  const std::string subject(reinterpret_cast<const char*>(data) + 1, size - 1);
  const bool case_sensitive = data[0] & 1;
  const bool global = !(data[0] & 2);
  const char* pattern = kPatterns[(data[0] >> 2) % std::size(kPatterns)];
  quillmere::regex_object fast;
  quillmere::regex_object general;
  fast.create_in_place(pattern, subject, case_sensitive, true, global);
  general.create(std::string("(?:") + pattern + ")", subject, case_sensitive, true, global);
  if (flatten(fast) != flatten(general)) __builtin_trap();
  return 0;
}
