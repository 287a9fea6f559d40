#pragma once
// A fast matcher for the shape of pattern the program reads replies with: literal text joined
// by lazy skips, e.g. "\"(.*?)\"" or "\"a\":\"(.*?)\"[\s\S]*?\"b\":\"(.*?)\"". It walks the GBK
// bytes directly and gives exactly the matches a backtracking engine gives for such patterns;
// any other pattern is left to the general engine.

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillmere::detail {

struct MatchSpan {
  static constexpr std::uint32_t none = std::numeric_limits<std::uint32_t>::max();
  std::uint32_t begin = none;  // none: the group took no part in the match
  std::uint32_t end = none;
  bool matched() const { return begin != none; }
};

class LiteralPattern {
 public:
  // Empty when `pattern` is not of the supported shape: a non-empty ASCII literal, then any
  // number of "(.*?)", ".*?", "([\s\S]*?)" or "[\s\S]*?", each followed by a non-empty literal.
  static std::optional<LiteralPattern> compile(std::string_view pattern, bool case_sensitive);

  std::size_t group_count() const { return groups_; }

  // No subject holds more matches than this; a count of one byte, so results can be sized
  // before the search.
  std::size_t match_bound(std::string_view subject) const;

  // Appends group_count() + 1 spans per match (byte offsets). False when the work budget ran
  // out; the matches found before that stay appended.
  bool find(std::string_view subject, bool global, std::vector<MatchSpan>& spans) const;

 private:
  enum class Skip { line, any };
  struct Literal {
    std::string text;
    // When the text starts below 0x40 (never inside a double-byte character), candidates are
    // found by looking for its rarest such byte, `anchor` bytes in.
    bool jumps = false;
    std::size_t anchor = 0;
  };
  struct Segment {
    Skip skip = Skip::line;
    bool capture = false;
    std::size_t slot = 0;  // which group, when it captures
    Literal literal;
  };
  struct Run;

  static void choose_anchor(Literal& literal);

  Literal first_;
  std::vector<Segment> segments_;
  std::size_t groups_ = 0;
  bool case_sensitive_ = false;
  std::size_t shortest_match_ = 1;   // the literals' lengths together
  char bound_byte_ = 0;              // the byte match_bound counts
  std::size_t bound_per_match_ = 0;  // how often every match holds it; 0: no such byte
};

}  // namespace quillmere::detail
