#include "http/wininet_probe.h"

#include <windows.h>
#include <wininet.h>

#include "http/url.h"
#include "http/wire.h"

namespace quillmere::testing {

std::string get_with_flags(const std::string& url, unsigned long flags) {
  std::string body;
  HINTERNET internet = InternetOpenA(std::string(kWinInetDefaultAgent).c_str(),
                                     INTERNET_OPEN_TYPE_DIRECT, "", "", 0);
  HINTERNET connection =
      InternetConnectA(internet, url_host(url).c_str(), static_cast<INTERNET_PORT>(url_port(url)),
                       "", "", INTERNET_SERVICE_HTTP, 0, 0);
  HINTERNET request = HttpOpenRequestA(connection, "GET", url_path(url).c_str(), "HTTP/1.1",
                                       nullptr, nullptr, flags, 0);
  std::string headers;
  complete_wininet_headers(headers, url, "");
  if (request != nullptr &&
      HttpSendRequestA(request, headers.data(), static_cast<DWORD>(headers.size()), nullptr, 0)) {
    char chunk[1024];
    DWORD delivered = 0;
    while (InternetReadFile(request, chunk, sizeof chunk, &delivered) && delivered > 0)
      body.append(chunk, delivered);
  }
  for (HINTERNET handle : {request, connection, internet})
    if (handle != nullptr) InternetCloseHandle(handle);
  return body;
}

bool cached(const std::string& url) {
  DWORD size = 0;
  return GetUrlCacheEntryInfoA(url.c_str(), nullptr, &size) ||
         GetLastError() == ERROR_INSUFFICIENT_BUFFER;
}

void forget_cached(const std::string& url) { DeleteUrlCacheEntryA(url.c_str()); }

}  // namespace quillmere::testing
