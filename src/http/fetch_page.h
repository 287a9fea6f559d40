#pragma once
// One HTTP or HTTPS exchange over WinInet (Windows only).

#include <string>

namespace quillmere {

// Returns the reply body. `cookies` null means "not supplied" (WinInet keeps its own cookie
// handling); supplied, even empty, it is sent and then replaced by the merged cookie set.
std::string fetch_page(const std::string& url, int method = 0, const std::string& post_text = {},
                       std::string* cookies = nullptr, std::string* new_cookies = nullptr,
                       std::string* headers = nullptr, std::string* reply_headers = nullptr,
                       bool no_redirect = false, std::string* post_data = nullptr,
                       const std::string& proxy = {});

}  // namespace quillmere
