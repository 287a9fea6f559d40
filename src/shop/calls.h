#pragma once
// The calls that carry the access token, shared by every job that talks to the platform: the
// token renewed when it is about to expire or refused, and the requests sent and decoded.

#include <string>

#include "http/decode.h"
#include "shop/ports.h"
#include "shop/replies.h"
#include "shop/session.h"

namespace quillmere::shop {

// What a call that carries the token goes through.
struct Caller {
  Session& session;
  MainWindow& window;
  Network& network;
  Pacing& pacing;
  bool frequency_refused = false;  // some reply said the calls come too often
};

enum class Transport { wininet, winhttp };

// The token request of 登陆 again, with the remembered key and secret; one renewal at a time.
void renew_token(Caller& caller, bool after_refusal);

// Sends the request `build` makes from a token, decoded. Renews first when the token is about
// to expire; when the platform refuses the token, renews (unless a newer token is already
// there) and sends once more with the new token.
template <class Build>
std::string call_with_token(Caller& caller, Transport transport, const Build& build) {
  Session& session = caller.session;
  auto send = [&](const std::string& token) {
    const std::string url = build(token);
    // Replies arrive percent-encoded UTF-8.
    std::string reply =
        url_decode(transport == Transport::wininet ? caller.network.fetch_page(url)
                                                   : caller.network.winhttp_fetch(url),
                   true);
    if (is_frequency_refused(reply)) caller.frequency_refused = true;
    return reply;
  };
  if (session.renewal_due()) renew_token(caller, false);
  const std::string token = session.access_token();
  std::string reply = send(token);
  if (!is_token_refused(reply) || !session.has_remembered_login()) return reply;
  if (session.access_token() == token) renew_token(caller, true);
  const std::string current = session.access_token();
  if (current == token || !caller.window.alive()) return reply;
  return send(current);
}

// One page of a day's order ids, over WinInet.
std::string fetch_ids_page(Caller& caller, const std::string& order_date, int page_num);
// One order's detail reply, over WinInet.
std::string fetch_detail(Caller& caller, const std::string& order_id);
// One delivery request as 确定 sends it, over WinHttp: courier entry 0 (无需物流) sends no
// tracking number of its own. A refused token ships nothing, so the retry after a renewal cannot
// ship twice.
std::string send_delivery(Caller& caller, const std::string& order_id,
                          const std::string& express_code, int courier_index,
                          const std::string& tracking_number);

}  // namespace quillmere::shop
