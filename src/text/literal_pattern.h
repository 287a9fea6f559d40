#pragma once
// A fast matcher for the shape of pattern the program reads replies with: literal text joined
// by lazy skips, e.g. "\"(.*?)\"" or "\"a\":\"(.*?)\"[\s\S]*?\"b\":\"(.*?)\"". It walks the GBK
// bytes directly and gives exactly the matches a backtracking engine gives for such patterns;
// any other pattern is left to the general engine.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillmere::detail {

struct MatchSpan {
  std::uint32_t begin = 0;
  std::uint32_t end = 0;
  bool matched = false;
};

class LiteralPattern {
 public:
  // Empty when `pattern` is not of the supported shape: a non-empty ASCII literal, then any
  // number of "(.*?)", ".*?", "([\s\S]*?)" or "[\s\S]*?", each followed by a non-empty literal.
  static std::optional<LiteralPattern> compile(std::string_view pattern, bool case_sensitive);

  std::size_t group_count() const { return groups_; }

  // Appends group_count() + 1 spans per match (byte offsets). False when the work budget ran
  // out; the matches found before that stay appended.
  bool find(std::string_view subject, bool global, std::vector<MatchSpan>& spans) const;

 private:
  enum class Skip { line, any };
  struct Segment {
    Skip skip = Skip::line;
    bool capture = false;
    std::size_t slot = 0;  // which group, when it captures
    std::string literal;
  };
  struct Run;

  std::string first_;
  std::vector<Segment> segments_;
  std::size_t groups_ = 0;
  bool case_sensitive_ = false;
};

}  // namespace quillmere::detail
