#include "text/literal_pattern.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "text/gbk.h"
#include "text/text_between.h"

namespace quillmere::detail {
namespace {

bool is_meta(char c) {
  switch (c) {
    case '\\':
    case '.':
    case '*':
    case '+':
    case '?':
    case '(':
    case ')':
    case '[':
    case ']':
    case '{':
    case '}':
    case '|':
    case '^':
    case '$': return true;
    default: return false;
  }
}

// Reads a run of literal characters; false on anything outside plain ASCII text and escapes.
bool read_literal(std::string_view p, std::size_t& i, std::string& out) {
  while (i < p.size()) {
    const char c = p[i];
    if (static_cast<unsigned char>(c) >= 0x80) return false;
    if (c == '\\') {
      if (i + 1 >= p.size()) return false;
      const char e = p[i + 1];
      if (e == 'n')
        out.push_back('\n');
      else if (e == 'r')
        out.push_back('\r');
      else if (e == 't')
        out.push_back('\t');
      else if (e == 'f')
        out.push_back('\f');
      else if (e == 'v')
        out.push_back('\v');
      else if ((e >= '0' && e <= '9') || (e >= 'a' && e <= 'z') || (e >= 'A' && e <= 'Z') ||
               static_cast<unsigned char>(e) >= 0x80)
        return false;
      else
        out.push_back(e);
      i += 2;
    } else if (is_meta(c)) {
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

// Roughly how often a byte below 0x40 turns up in the platform's JSON replies.
int commonness(unsigned char c) {
  if (c == '"') return 6;
  if (c >= '0' && c <= '9') return 5;
  if (c == ' ') return 4;
  if (c == ',' || c == ':') return 3;
  if (c == '\n' || c == '\r' || c == '.' || c == '-' || c == '/') return 2;
  return 1;
}

bool is_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

}  // namespace

void LiteralPattern::choose_anchor(Literal& literal) {
  const std::string& t = literal.text;
  literal.jumps = static_cast<unsigned char>(t[0]) < 0x40;
  if (!literal.jumps) return;
  for (std::size_t k = 1; k < t.size(); ++k) {
    const auto c = static_cast<unsigned char>(t[k]);
    if (c < 0x40 && commonness(c) < commonness(static_cast<unsigned char>(t[literal.anchor])))
      literal.anchor = k;
  }
}

std::optional<LiteralPattern> LiteralPattern::compile(std::string_view pattern,
                                                      bool case_sensitive) {
  LiteralPattern lp;
  lp.case_sensitive_ = case_sensitive;
  std::size_t i = 0;
  if (!read_literal(pattern, i, lp.first_.text) || lp.first_.text.empty()) return std::nullopt;
  // Every skip ends in "?", so this is enough room.
  lp.segments_.reserve(static_cast<std::size_t>(std::count(pattern.begin(), pattern.end(), '?')));
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
    if (!read_literal(pattern, i, s.literal.text) || s.literal.text.empty()) return std::nullopt;
    if (s.capture) s.slot = lp.groups_++;
    lp.segments_.push_back(std::move(s));
  }
  if (!case_sensitive) {
    for (char& c : lp.first_.text) c = ascii_lower(c);
    for (Segment& s : lp.segments_)
      for (char& c : s.literal.text) c = ascii_lower(c);
  }
  choose_anchor(lp.first_);
  for (Segment& s : lp.segments_) choose_anchor(s.literal);

  // The bound counts a byte whose case cannot differ, the one that every match holds most often.
  std::size_t per_byte[128] = {};
  lp.shortest_match_ = lp.first_.text.size();
  for (char c : lp.first_.text) ++per_byte[static_cast<unsigned char>(c)];
  for (const Segment& s : lp.segments_) {
    lp.shortest_match_ += s.literal.text.size();
    for (char c : s.literal.text) ++per_byte[static_cast<unsigned char>(c)];
  }
  for (std::size_t c = 0; c < 128; ++c) {
    if (is_letter(static_cast<char>(c)) || per_byte[c] <= lp.bound_per_match_) continue;
    lp.bound_byte_ = static_cast<char>(c);
    lp.bound_per_match_ = per_byte[c];
  }
  return lp;
}

std::size_t LiteralPattern::match_bound(std::string_view subject) const {
  const std::size_t by_length = subject.size() / shortest_match_;
  if (bound_per_match_ == 0) return by_length;
  // Counted in runs short enough for a byte counter, which compilers turn into vector code.
  std::size_t held = 0;
  for (std::size_t at = 0; at < subject.size();) {
    const std::size_t run = std::min<std::size_t>(subject.size() - at, 255);
    unsigned char in_run = 0;
    for (std::size_t k = 0; k < run; ++k) in_run += subject[at + k] == bound_byte_ ? 1 : 0;
    held += in_run;
    at += run;
  }
  return std::min(by_length, held / bound_per_match_);
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
    if (pattern.case_sensitive_)
      return std::memcmp(subject.data() + at, literal.data(), literal.size()) == 0;
    for (std::size_t k = 0; k < literal.size(); ++k)
      if (ascii_lower(subject[at + k]) != literal[k]) return false;
    return true;
  }

  // The first place from `at` where a jumping literal can start: its anchor byte is there.
  // The subject's size when there is none.
  std::size_t next_candidate(std::size_t at, const Literal& literal) const {
    const std::size_t from = at + literal.anchor;
    if (from >= subject.size()) return subject.size();
    const void* hit =
        std::memchr(subject.data() + from, literal.text[literal.anchor], subject.size() - from);
    return hit == nullptr
               ? subject.size()
               : static_cast<std::size_t>(static_cast<const char*>(hit) - subject.data()) -
                     literal.anchor;
  }

  // The next place to try after `at` failed. A jumping literal can only match where its first
  // byte (below 0x40, so a character of its own) stands, so one byte on is safe; otherwise the
  // walk goes character by character.
  std::size_t after(std::size_t at, const Literal& literal) const {
    return literal.jumps ? at + 1 : at + gbk::char_width(subject, at);
  }

  // Matches segments [index, end) from `at`; on success `match_end` is where the match ends.
  bool match_from(std::size_t index, std::size_t at, std::size_t& match_end) {
    if (index == pattern.segments_.size()) {
      match_end = at;
      return true;
    }
    const Segment& seg = pattern.segments_[index];
    const std::string& text = seg.literal.text;
    std::size_t q = at;
    for (;;) {
      if (seg.literal.jumps) {
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
      if (literal_at(q, text) && match_from(index + 1, q + text.size(), match_end)) {
        if (seg.capture) {
          group_begin[seg.slot] = static_cast<std::uint32_t>(at);
          group_end[seg.slot] = static_cast<std::uint32_t>(q);
        }
        return true;
      }
      if (out_of_budget || q >= subject.size()) return false;
      if (seg.skip == Skip::line && subject[q] == '\n') return false;
      q = after(q, seg.literal);
    }
  }
};

bool LiteralPattern::find(std::string_view subject, bool global,
                          std::vector<MatchSpan>& spans) const {
  if (subject.size() >= std::numeric_limits<std::uint32_t>::max()) return false;
  Run run{*this, subject, std::vector<std::uint32_t>(groups_), std::vector<std::uint32_t>(groups_)};
  std::size_t at = 0;
  while (at < subject.size()) {
    if (first_.jumps) {
      at = run.next_candidate(at, first_);
      if (at >= subject.size()) break;
    }
    std::size_t end = 0;
    if (run.literal_at(at, first_.text) && run.match_from(0, at + first_.text.size(), end)) {
      spans.push_back({static_cast<std::uint32_t>(at), static_cast<std::uint32_t>(end)});
      for (std::size_t g = 0; g < groups_; ++g)
        spans.push_back({run.group_begin[g], run.group_end[g]});
      if (!global) break;
      at = end;  // matches are never empty: the first literal is not
      continue;
    }
    if (run.out_of_budget) return false;
    at = run.after(at, first_);
    if (run.budget-- == 0) return false;
  }
  return true;
}

}  // namespace quillmere::detail
