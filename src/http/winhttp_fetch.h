#pragma once
// One HTTP or HTTPS exchange over WinHttp (Windows only).

#include <string>

namespace quillmere {

// Returns the page text, empty on failure; `status` gets the reply's status text or a
// numbered failure text ("701 ..."). `cookies` null means "not supplied".
std::string winhttp_fetch(const std::string& url, int method = 0, const std::string& post_text = {},
                          std::string* cookies = nullptr, std::string* new_cookies = nullptr,
                          const std::string& headers = {}, std::string* reply_headers = nullptr,
                          bool no_redirect = false, const std::string& user = {},
                          const std::string& password = {}, const std::string& proxy = {},
                          const std::string& proxy_user = {},
                          const std::string& proxy_password = {}, int timeout = 0,
                          std::string* location = nullptr, std::string* status = nullptr,
                          std::string* body = nullptr);

}  // namespace quillmere
