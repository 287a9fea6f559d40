#pragma once
// The character-set work of the WinHttp exchange: program texts to and from the UTF-16
// strings WinHttp takes, and the page text of a reply body.

#include <string>
#include <string_view>

namespace quillmere {

class regex_object;

// UTF-16LE bytes of a GBK text, with the terminating zero unit unless `drop_terminator`.
// An empty text gives no bytes at all.
std::string gbk_to_wide(std::string_view text, bool drop_terminator = false);

// The GBK text of UTF-16LE bytes (with or without terminator), up to its first zero byte.
std::string wide_to_gbk(std::string_view wide_bytes);

// The body as GBK text, or, when a meta tag in its first 1024 bytes declares another charset,
// the body decoded from that charset. A charset that cannot be decoded gives empty text.
std::string decode_page(std::string_view body, regex_object& regex);

}  // namespace quillmere
