#include "text/literal_pattern.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "text/gbk.h"

namespace quillmere::detail {
namespace {

constexpr std::string_view kMeta = "\\.*+?()[]{}|^$";

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// Reads a run of literal characters; false on anything outside plain ASCII text and escapes.
bool read_literal(std::string_view p, std::size_t& i, std::string& out) {
  while (i < p.size()) {
    const char c = p[i];
    if (static_cast<unsigned char>(c) >= 0x80) return false;
    if (c == '\\') {
      if (i + 1 >= p.size()) return false;
      const char e = p[i + 1];
      if (e == 'n') out.push_back('\n');
      else if (e == 'r') out.push_back('\r');
      else if (e == 't') out.push_back('\t');
      else if (e == 'f') out.push_back('\f');
      else if (e == 'v') out.push_back('\v');
      else if ((e >= '0' && e <= '9') || (e >= 'a' && e <= 'z') || (e >= 'A' && e <= 'Z') ||
               static_cast<unsigned char>(e) >= 0x80)
        return false;
      else out.push_back(e);
      i += 2;
    } else if (kMeta.find(c) != std::string_view::npos) {
      break;
    } else {
      out.push_back(c);
      ++i;
    }
    // A quantifier would bind to the last character alone.
    if (i < p.size() && (p[i] == '*' || p[i] == '+' || p[i] == '?' || p[i] == '{')) return false;
  }
  return true;
}

bool take(std::string_view p, std::size_t& i, std::string_view piece) {
  if (p.substr(i, piece.size()) != piece) return false;
  i += piece.size();
  return true;
}

}  // namespace

std::optional<LiteralPattern> LiteralPattern::compile(std::string_view pattern,
                                                      bool case_sensitive) {
  LiteralPattern lp;
  lp.case_sensitive_ = case_sensitive;
  std::size_t i = 0;
  if (!read_literal(pattern, i, lp.first_) || lp.first_.empty()) return std::nullopt;
  while (i < pattern.size()) {
    Segment s;
    if (take(pattern, i, "(.*?)")) {
      s.skip = Skip::line, s.capture = true;
    } else if (take(pattern, i, ".*?")) {
      s.skip = Skip::line;
    } else if (take(pattern, i, "([\\s\\S]*?)") || take(pattern, i, "([\\S\\s]*?)")) {
      s.skip = Skip::any, s.capture = true;
    } else if (take(pattern, i, "[\\s\\S]*?") || take(pattern, i, "[\\S\\s]*?")) {
      s.skip = Skip::any;
    } else {
      return std::nullopt;
    }
    if (!read_literal(pattern, i, s.literal) || s.literal.empty()) return std::nullopt;
    if (s.capture) s.slot = lp.groups_++;
    lp.segments_.push_back(std::move(s));
  }
  if (!case_sensitive) {
    for (char& c : lp.first_) c = lower(c);
    for (Segment& s : lp.segments_)
      for (char& c : s.literal) c = lower(c);
  }
  return lp;
}

// One search over one subject: backtracking over the positions where each literal occurs,
// in the order a lazy quantifier tries them.
struct LiteralPattern::Run {
  const LiteralPattern& pattern;
  std::string_view subject;
  std::vector<std::uint32_t> group_begin;
  std::vector<std::uint32_t> group_end;
  std::uint64_t budget = 200'000'000;  // character steps before the search gives up
  bool out_of_budget = false;

  bool literal_at(std::size_t at, const std::string& literal) const {
    if (literal.size() > subject.size() - at) return false;
    if (pattern.case_sensitive_) return std::memcmp(subject.data() + at, literal.data(), literal.size()) == 0;
    for (std::size_t k = 0; k < literal.size(); ++k)
      if (lower(subject[at + k]) != literal[k]) return false;
    return true;
  }

  // Where the next attempt of `literal` can be, from `at` (a character boundary): a byte
  // below 0x40 is never part of a double-byte character, so it can be looked for directly.
  std::size_t next_candidate(std::size_t at, const std::string& literal) const {
    const char first = literal[0];
    if (static_cast<unsigned char>(first) < 0x40) {
      const void* hit = std::memchr(subject.data() + at, first, subject.size() - at);
      return hit == nullptr ? subject.size() : static_cast<std::size_t>(static_cast<const char*>(hit) - subject.data());
    }
    return at;
  }

  bool can_jump(const std::string& literal) const {
    return static_cast<unsigned char>(literal[0]) < 0x40;
  }

  // Matches segments [index, end) from `at`; on success `match_end` is where the match ends.
  bool match_from(std::size_t index, std::size_t at, std::size_t& match_end) {
    if (index == pattern.segments_.size()) {
      match_end = at;
      return true;
    }
    const Segment& seg = pattern.segments_[index];
    std::size_t q = at;
    for (;;) {
      if (can_jump(seg.literal)) {
        const std::size_t next = next_candidate(q, seg.literal);
        if (seg.skip == Skip::line) {
          const void* nl = std::memchr(subject.data() + q, '\n', next - q);
          if (nl != nullptr) return false;
        }
        if (next >= subject.size()) return false;
        budget -= std::min<std::uint64_t>(budget, next - q);
        q = next;
      }
      if (budget == 0) {
        out_of_budget = true;
        return false;
      }
      --budget;
      if (literal_at(q, seg.literal) && match_from(index + 1, q + seg.literal.size(), match_end)) {
        if (seg.capture) {
          group_begin[seg.slot] = static_cast<std::uint32_t>(at);
          group_end[seg.slot] = static_cast<std::uint32_t>(q);
        }
        return true;
      }
      if (out_of_budget || q >= subject.size()) return false;
      if (seg.skip == Skip::line && subject[q] == '\n') return false;
      q += gbk::char_width(subject, q);
    }
  }

};

bool LiteralPattern::find(std::string_view subject, bool global,
                          std::vector<MatchSpan>& spans) const {
  if (subject.size() >= std::numeric_limits<std::uint32_t>::max()) return false;
  Run run{*this, subject, std::vector<std::uint32_t>(groups_), std::vector<std::uint32_t>(groups_)};
  std::size_t at = 0;
  while (at < subject.size()) {
    if (run.can_jump(first_)) {
      at = run.next_candidate(at, first_);
      if (at >= subject.size()) break;
    }
    std::size_t end = 0;
    if (run.literal_at(at, first_) && run.match_from(0, at + first_.size(), end)) {
      spans.push_back({static_cast<std::uint32_t>(at), static_cast<std::uint32_t>(end), true});
      for (std::size_t g = 0; g < groups_; ++g) spans.push_back({run.group_begin[g], run.group_end[g], true});
      if (!global) break;
      at = end;  // matches are never empty: the first literal is not
      continue;
    }
    if (run.out_of_budget) return false;
    at += gbk::char_width(subject, at);
    if (run.budget-- == 0) return false;
  }
  return true;
}

}  // namespace quillmere::detail
