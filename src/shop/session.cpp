#include "shop/session.h"

namespace quillmere::shop {

std::string Session::access_token() const {
  const std::lock_guard<std::mutex> hold(token_lock_);
  return access_token_;
}

void Session::set_access_token(std::string_view token) {
  std::string fresh(token);
  const std::lock_guard<std::mutex> hold(token_lock_);
  access_token_.swap(fresh);
}

}  // namespace quillmere::shop
