#pragma once
// The platform's side of one exchange: a request in, the reply and its log line out.
//
// "/token" and "/api" answer as the shop platform does, in its reply forms; "/sandbox/..." are
// the controls for tests and demos (see README). Refusals carry a non-zero status code and a
// reason, with the platform's documented codes wherever one fits:
//   10001 system error (a test refuses new tokens)   10022 wrong app key or secret
//   10005 too many calls a second with one token     10007 a parameter is missing or bad
//   10010 request too long                           10011 no such API method or path
//   10013 unknown or expired access token            20017 order already shipped or not paid
//   20018 no such order                              20021 tracking number missing
// and its own where none does:
//   10000 internal error                             10009 unreadable request
//   20004 courier code not accepted                  20005 order details unavailable (a test)

#include <chrono>
#include <string>

#include "shop.h"

namespace quillmere::sandbox {

struct request {
  std::string method;  // HTTP method
  std::string target;  // path and raw query, as sent
};

struct reply {
  int http_status = 200;
  std::string body;  // UTF-8
  std::string log_line;
  bool drop = false;  // close the connection without any reply, as a failing network would
  // Close every other client connection first: a client retries a request that dies on a
  // kept-alive connection (WinInet does), so a dropped call must find none to reuse.
  bool close_other_connections = false;
  // How long to hold the reply back before sending it (or dropping the connection).
  std::chrono::milliseconds delay{0};
};

inline constexpr const char* kReplyContentType = "application/json;charset=UTF-8";

// Never throws for any request text; a request it cannot read gets a refusal.
reply answer(shop& shop, const request& request, const clock_reading& clock);

// The body of a refusal the HTTP layer gives before any request reaches `answer` (a request line
// that is too long or cannot be read), in the platform's style.
std::string transport_refusal(int http_status);

// The platform's status object alone with `code` and `reason`: {"status":{...}}.
std::string refusal(int code, std::string_view reason);

}  // namespace quillmere::sandbox
