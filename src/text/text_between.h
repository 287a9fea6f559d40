#pragma once
// Cuts the text that lies between two markers out of a larger text.

#include <string>
#include <string_view>
#include <vector>

#include "text/gbk_literal.h"

namespace quillmere {

// Stands for one double quote in markers and patterns.
inline constexpr std::string_view kQuoteToken = "#引号"_gbk;

// The bytes after the first `start_marker` (searched from byte `start_position`, counted from 1;
// below 1 means the beginning) up to the first `end_marker` behind it. Empty when either marker
// is missing or either marker is empty. The token "#引号" in a marker stands for one '"'.
std::string text_between(std::string_view subject, std::string_view start_marker,
                         std::string_view end_marker, int start_position = 0,
                         bool ignore_case = false);

// Every occurrence of `from` replaced by `to`, left to right, matching case unless
// `ignore_case` (ASCII letters only). An empty `from` replaces nothing.
std::string replace_all(std::string_view text, std::string_view from, std::string_view to,
                        bool ignore_case = false);

// The pieces of `text` between occurrences of `separator` (not empty), in order; a text
// without the separator is one piece.
std::vector<std::string_view> split(std::string_view text, std::string_view separator);

// ASCII letters in lower case; every other byte, GBK ones included, as it is.
inline char ascii_lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
std::string ascii_lower(std::string_view text);

// Byte search that ignores ASCII letter case; npos when absent.
std::size_t find_ignore_case(std::string_view text, std::string_view needle, std::size_t from = 0);

}  // namespace quillmere
