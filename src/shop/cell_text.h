#pragma once
// What an owner's spreadsheet cell holds once the blanks around it and the full-width forms of
// a Chinese keyboard are out of the way. Texts are GBK; every step walks whole characters, so a
// double-byte character's second byte is never taken for an ASCII one.

#include <string>
#include <string_view>

namespace quillmere::shop {

// Spaces, tabs, line breaks and the ideographic space (　) at either end removed.
std::string trim_blanks(std::string_view text);

// Whether `text` holds a space, a tab, a line break or an ideographic space.
bool has_blank(std::string_view text);

// Full-width letters and digits (Ａ, ｂ, ９) as their ASCII forms; everything else as it was.
std::string half_width_letters_digits(std::string_view text);

// Every full-width ASCII form (！ to ～, so also ： and （）) as ASCII, the ideographic space as
// a space, and ASCII letters in upper case: what two spellings of a name are compared as.
std::string folded_for_matching(std::string_view text);

// Whether `needle` occurs in `text` starting at a character boundary.
bool contains_characters(std::string_view text, std::string_view needle);

}  // namespace quillmere::shop
