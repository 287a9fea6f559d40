#include "text/regex_object.h"

#include <algorithm>
#include <array>
#include <exception>
#include <limits>
#include <optional>

#include <boost/regex.hpp>

#include "text/gbk.h"
#include "text/text_between.h"

#ifdef _WIN32
#include <objbase.h>
#endif

namespace quillmere {
namespace {

bool is_hex(wchar_t c) {
  return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}

// Rewrites the program's dialect into Boost's Perl syntax: "." never matches a line feed
// (Boost would also stop at \r and other separators), \w and \d stay ASCII whatever the
// locale, and \uXXXX escapes are spelled the Boost way.
std::wstring translate_pattern(std::wstring_view p) {
  std::wstring out;
  out.reserve(p.size() + 16);
  bool in_class = false;
  std::size_t class_start = 0;  // index in `p` just after "[" or "[^"
  for (std::size_t i = 0; i < p.size(); ++i) {
    const wchar_t c = p[i];
    if (c == L'\\' && i + 1 < p.size()) {
      const wchar_t d = p[++i];
      if (d == L'u' && i + 4 < p.size() && is_hex(p[i + 1]) && is_hex(p[i + 2]) &&
          is_hex(p[i + 3]) && is_hex(p[i + 4])) {
        out += L"\\x{";
        out.append(p.substr(i + 1, 4));
        out += L'}';
        i += 4;
      } else if (d == L'w') {
        out += in_class ? L"A-Za-z0-9_" : L"[A-Za-z0-9_]";
      } else if (d == L'd') {
        out += in_class ? L"0-9" : L"[0-9]";
      } else if (d == L'W' && !in_class) {
        out += L"[^A-Za-z0-9_]";
      } else if (d == L'D' && !in_class) {
        out += L"[^0-9]";
      } else {
        out += c;
        out += d;
      }
      continue;
    }
    if (in_class) {
      if (c == L']' && i != class_start) in_class = false;
      out += c;
    } else if (c == L'[') {
      in_class = true;
      class_start = i + 1;
      if (class_start < p.size() && p[class_start] == L'^') ++class_start;
      out += c;
    } else if (c == L'.') {
      out += L"[^\\n]";
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

struct regex_object::Engine {
  std::optional<detail::LiteralPattern> literal;  // the fast path, when the pattern allows it
  boost::wregex expression;                       // otherwise the general engine
};

namespace {

boost::wregex compile_general(const std::string& pattern, bool case_sensitive, bool multi_line) {
  boost::regex_constants::syntax_option_type flags = boost::regex_constants::perl;
  if (!case_sensitive) flags |= boost::regex_constants::icase;
  if (!multi_line) flags |= boost::regex_constants::no_mod_m;
  return boost::wregex(translate_pattern(gbk::decode(pattern)), flags);
}

}  // namespace

regex_object::regex_object() {
#ifdef _WIN32
  // Callers rely on the object holding COM for its lifetime on this thread.
  com_initialised_ = SUCCEEDED(CoInitialize(nullptr));
#endif
}

regex_object::~regex_object() {
  engine_.reset();
  spans_.clear();
  subject_.clear();
  view_ = {};
#ifdef _WIN32
  if (com_initialised_) CoUninitialize();
#endif
}

bool regex_object::create(std::string_view pattern, std::string_view subject, bool case_sensitive,
                          bool multi_line, bool global, bool quote_token) {
  subject_.assign(subject);
  view_ = subject_;
  return run(pattern, case_sensitive, multi_line, global, quote_token);
}

bool regex_object::create_in_place(std::string_view pattern, std::string_view subject,
                                   bool case_sensitive, bool multi_line, bool global,
                                   bool quote_token) {
  std::string().swap(subject_);
  view_ = subject;
  return run(pattern, case_sensitive, multi_line, global, quote_token);
}

bool regex_object::run(std::string_view pattern, bool case_sensitive, bool multi_line, bool global,
                       bool quote_token) {
  engine_.reset();
  spans_.clear();
  groups_ = 0;
  global_ = global;
  pattern_ = quote_token ? replace_all(pattern, kQuoteToken, "\"") : std::string(pattern);
  if (view_.size() >= std::numeric_limits<std::uint32_t>::max()) return false;

  case_sensitive_ = case_sensitive;
  multi_line_ = multi_line;

  auto engine = std::make_unique<Engine>();
  engine->literal = detail::LiteralPattern::compile(pattern_, case_sensitive);
  if (engine->literal) {
    groups_ = engine->literal->group_count();
    engine_ = std::move(engine);
    // The spans are sized once, so a large reply's are neither moved nor touched twice. The
    // cap keeps a subject whose bound is far above its real matches from reserving more than
    // its size twice over; past it the storage grows as usual.
    const std::size_t stride = groups_ + 1;
    const std::size_t cap = view_.size() / (stride * sizeof(Span)) * 2 + 1;
    spans_.reserve(stride * (global ? std::min(engine_->literal->match_bound(view_), cap) : 1));
    engine_->literal->find(view_, global, spans_);  // out of budget: the matches so far stand
    return true;
  }
  try {
    engine->expression = compile_general(pattern_, case_sensitive, multi_line);
  } catch (const std::exception&) {
    return false;
  }
  groups_ = engine->expression.mark_count();
  engine_ = std::move(engine);

  const std::wstring wide = gbk::decode(view_);
  const std::size_t stride = groups_ + 1;
  // Character offsets are turned into byte offsets by walking the subject once, in order.
  std::size_t cursor_char = 0;
  std::size_t cursor_byte = 0;
  std::vector<std::pair<std::size_t, std::size_t>> marks;  // (char offset, slot)
  auto record = [&](const boost::wsmatch& m) {
    const std::size_t base = spans_.size();
    spans_.resize(base + stride);
    marks.clear();
    for (std::size_t g = 0; g < stride; ++g) {
      if (!m[static_cast<int>(g)].matched) continue;
      marks.emplace_back(static_cast<std::size_t>(m[static_cast<int>(g)].first - wide.begin()),
                         2 * g);
      marks.emplace_back(static_cast<std::size_t>(m[static_cast<int>(g)].second - wide.begin()),
                         2 * g + 1);
    }
    std::sort(marks.begin(), marks.end());
    // Match starts never move backwards, so the cursor only ever walks forward from one.
    std::size_t walk_char = cursor_char;
    std::size_t walk_byte = cursor_byte;
    for (std::size_t k = 0; k < marks.size(); ++k) {
      for (; walk_char < marks[k].first; ++walk_char) walk_byte += gbk::byte_width(wide[walk_char]);
      Span& s = spans_[base + marks[k].second / 2];
      (marks[k].second % 2 == 0 ? s.begin : s.end) = static_cast<std::uint32_t>(walk_byte);
      if (marks[k].second == 0) {
        cursor_char = walk_char;
        cursor_byte = walk_byte;
      }
    }
  };

  try {
    if (global) {
      boost::wsregex_iterator it(wide.begin(), wide.end(), engine_->expression);
      for (const boost::wsregex_iterator end; it != end; ++it) record(*it);
    } else {
      boost::wsmatch m;
      if (boost::regex_search(wide.begin(), wide.end(), m, engine_->expression)) record(m);
    }
  } catch (const std::exception&) {
    // Too complex or too deep: the matches found so far stand.
  }
  return true;
}

std::string regex_object::get_pattern() const { return pattern_; }

std::string regex_object::replace(std::string_view replacement) const {
  if (!engine_) return {};
  try {
    auto flags = boost::regex_constants::format_default;
    if (!global_) flags |= boost::regex_constants::format_first_only;
    const std::wstring wide = gbk::decode(view_);
    const boost::wregex expression = engine_->literal
                                         ? compile_general(pattern_, case_sensitive_, multi_line_)
                                         : engine_->expression;
    return gbk::encode(boost::regex_replace(wide, expression, gbk::decode(replacement), flags));
  } catch (const std::exception&) {
    return {};
  }
}

int regex_object::match_count() const {
  if (groups_ + 1 == 0 || spans_.empty()) return 0;
  const std::size_t n = spans_.size() / (groups_ + 1);
  return n > static_cast<std::size_t>(std::numeric_limits<int>::max())
             ? std::numeric_limits<int>::max()
             : static_cast<int>(n);
}

const regex_object::Span* regex_object::span(int match_index, int group_index) const {
  if (match_index < 1 || match_index > match_count()) return nullptr;
  if (group_index < 0 || static_cast<std::size_t>(group_index) > groups_) return nullptr;
  return &spans_[static_cast<std::size_t>(match_index - 1) * (groups_ + 1) +
                 static_cast<std::size_t>(group_index)];
}

std::string regex_object::text_of(const Span* s, int* position) const {
  if (s == nullptr || !s->matched()) return {};
  if (position != nullptr) *position = static_cast<int>(s->begin);
  return std::string(view_.substr(s->begin, s->end - s->begin));
}

std::string regex_object::match_text(int match_index, int* position) const {
  return text_of(span(match_index, 0), position);
}

std::string regex_object::submatch_text(int match_index, int group_index, int* position) const {
  if (group_index < 1) return {};
  return text_of(span(match_index, group_index), position);
}

int regex_object::submatch_count() const {
  return match_count() > 0 ? static_cast<int>(groups_) : 0;
}

}  // namespace quillmere
