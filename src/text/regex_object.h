#pragma once
// One pattern run over one subject, with matches and groups handed out by 1-based index.
//
// Matching follows the program's pattern dialect: case ignored, multi-line and all matches by
// default; "." stops at a line feed while "[\s\S]" crosses it; \w and \d are ASCII. Texts are
// GBK bytes, matched as characters; returned texts are the subject's own bytes.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "text/literal_pattern.h"

namespace quillmere {

class regex_object {
 public:
  regex_object();
  ~regex_object();
  regex_object(const regex_object&) = delete;
  regex_object& operator=(const regex_object&) = delete;

  // Runs `pattern` over `subject`. False for an invalid pattern; a match that runs away
  // (backtracking, memory) keeps the matches found before it and still returns true.
  bool create(std::string_view pattern, std::string_view subject, bool case_sensitive = false,
              bool multi_line = true, bool global = true, bool quote_token = false);
  // As create, but reads `subject` where it lies instead of keeping a copy of it: the caller
  // keeps those bytes alive and unchanged until the object is destroyed or created again.
  bool create_in_place(std::string_view pattern, std::string_view subject,
                       bool case_sensitive = false, bool multi_line = true, bool global = true,
                       bool quote_token = false);

  std::string get_pattern() const;
  // The subject with the matches replaced; "$1", "$&", "$$" and the like are expanded.
  std::string replace(std::string_view replacement) const;
  int match_count() const;
  // `position` receives the 0-based byte offset of the returned text in the subject.
  std::string match_text(int match_index, int* position = nullptr) const;
  std::string submatch_text(int match_index, int group_index, int* position = nullptr) const;
  int submatch_count() const;

 private:
  using Span = detail::MatchSpan;
  const Span* span(int match_index, int group_index) const;
  std::string text_of(const Span* s, int* position) const;
  bool run(std::string_view pattern, bool case_sensitive, bool multi_line, bool global,
           bool quote_token);

  struct Engine;
  std::unique_ptr<Engine> engine_;
  std::string pattern_;
  std::string subject_;    // the copy that create keeps
  std::string_view view_;  // the subject being read: subject_ or the caller's bytes
  bool global_ = true;
  bool case_sensitive_ = false;
  bool multi_line_ = true;
  std::size_t groups_ = 0;   // capture groups per match
  std::vector<Span> spans_;  // (groups_ + 1) spans per match: the whole match, then each group
#ifdef _WIN32
  bool com_initialised_ = false;
#endif
};

}  // namespace quillmere
