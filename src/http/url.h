#pragma once
// Takes a request URL apart for the WinInet page fetch, by plain text searches.

#include <string>
#include <string_view>

namespace quillmere {

// True when the first five characters, lower-cased, are "https".
bool starts_with_https(std::string_view url);

// The host in lower case; with `keep_port`, host, colon and port as the URL writes them.
std::string url_host(std::string_view url, bool keep_port = false);
// The port after the last colon of the authority, else 443 for "https" URLs, else 80.
int url_port(std::string_view url);
// From the first "/" after the host to the end, letter case kept; "/" when there is none.
std::string url_path(std::string_view url);

}  // namespace quillmere
