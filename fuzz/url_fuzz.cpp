#include <cstdint>
#include <string>

#include "http/url.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string url(reinterpret_cast<const char*>(data), size);
  const std::string host = quillmere::url_host(url);
  const std::string authority = quillmere::url_host(url, true);
  const int port = quillmere::url_port(url);
  const std::string path = quillmere::url_path(url);
  if (port < 1 || port > 65535) __builtin_trap();
  if (path.empty() || path.size() > url.size() + 1) __builtin_trap();
  (void)host;
  (void)authority;
  return 0;
}
