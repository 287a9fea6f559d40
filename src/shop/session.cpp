#include "shop/session.h"

#include <algorithm>
#include <chrono>

namespace quillmere::shop {
namespace {

// A 25-hour token renews 10 minutes early, one of 20 s 2 s early.
constexpr std::uint64_t kLongestRenewalMarginMs = 10 * 60 * 1000;
constexpr std::uint64_t kRefusalRenewalSpacingMs = 60 * 1000;
// Ten years: a larger expire_in is read as no expiry rather than overflow.
constexpr long long kLongestLifetimeSeconds = 10LL * 365 * 24 * 3600;

class SteadyClock final : public Clock {
 public:
  std::uint64_t now_ms() override {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
  }
};

SteadyClock& steady_clock() {
  static SteadyClock clock;
  return clock;
}

}  // namespace

Session::Session() : clock_(&steady_clock()) {}

Session::Session(Clock& clock) : clock_(&clock) {}

std::string Session::access_token() const {
  const std::lock_guard<std::mutex> hold(token_lock_);
  return access_token_;
}

void Session::set_access_token(std::string_view token) {
  std::string fresh(token);
  const std::lock_guard<std::mutex> hold(token_lock_);
  access_token_.swap(fresh);
}

// Called with the lock held.
void Session::set_expiry(std::optional<long long> expire_in) {
  if (expire_in && *expire_in > 0 && *expire_in <= kLongestLifetimeSeconds) {
    lifetime_ms_ = static_cast<std::uint64_t>(*expire_in) * 1000;
    expires_at_ms_ = clock_->now_ms() + lifetime_ms_;
  } else {
    lifetime_ms_ = 0;
    expires_at_ms_.reset();
  }
}

std::uint64_t Session::begin_login() {
  const std::lock_guard<std::mutex> hold(token_lock_);
  ++login_generation_;
  return ++login_ticket_;
}

bool Session::end_login(std::uint64_t ticket, std::string_view token, bool succeeded,
                        std::string_view app_key, std::string_view secret,
                        std::optional<long long> expire_in) {
  std::string fresh(token);
  const std::lock_guard<std::mutex> hold(token_lock_);
  // 登陆 was clicked again, perhaps for another shop: that login decides.
  if (ticket != login_ticket_) return false;
  // A renewal that started while this login was under way must not outlive it either.
  ++login_generation_;
  access_token_.swap(fresh);
  remembered_ = succeeded;
  last_renewal_failed_ = false;
  last_refusal_renewal_ms_.reset();
  if (succeeded) {
    app_key_.assign(app_key);
    secret_.assign(secret);
    set_expiry(expire_in);
  } else {
    app_key_.clear();
    secret_.clear();
    set_expiry(std::nullopt);
  }
  return true;
}

bool Session::has_remembered_login() const {
  const std::lock_guard<std::mutex> hold(token_lock_);
  return remembered_;
}

bool Session::renewal_due() {
  const std::lock_guard<std::mutex> hold(token_lock_);
  if (!remembered_ || !expires_at_ms_) return false;
  const std::uint64_t margin = std::min(lifetime_ms_ / 10, kLongestRenewalMarginMs);
  return clock_->now_ms() + margin >= *expires_at_ms_;
}

Session::Claim Session::claim_renewal(bool after_refusal, Renewal* renewal) {
  const std::lock_guard<std::mutex> hold(token_lock_);
  if (renewing_) return Claim::under_way;
  if (!remembered_) return Claim::no_login;
  const std::uint64_t now = clock_->now_ms();
  if (after_refusal) {
    if (last_refusal_renewal_ms_ && now - *last_refusal_renewal_ms_ < kRefusalRenewalSpacingMs) {
      return Claim::too_soon;
    }
    last_refusal_renewal_ms_ = now;
  }
  renewing_ = true;
  renewal->app_key = app_key_;
  renewal->secret = secret_;
  renewal->generation = login_generation_;
  return Claim::claimed;
}

bool Session::renewal_under_way() const {
  const std::lock_guard<std::mutex> hold(token_lock_);
  return renewing_;
}

Session::Outcome Session::finish_renewal(const Renewal& renewal, std::string_view token,
                                         std::optional<long long> expire_in) {
  std::string fresh(token);
  const std::lock_guard<std::mutex> hold(token_lock_);
  renewing_ = false;
  // The owner clicked 登陆 meanwhile, perhaps for another shop: that login decides.
  if (renewal.generation != login_generation_) return Outcome::thrown_away;
  if (fresh.empty()) {
    const bool again = last_renewal_failed_;
    last_renewal_failed_ = true;
    return again ? Outcome::failed_again : Outcome::failed;
  }
  last_renewal_failed_ = false;
  access_token_.swap(fresh);
  set_expiry(expire_in);
  return Outcome::renewed;
}

Date Session::monitored_day() const {
  const std::lock_guard<std::mutex> hold(day_lock_);
  return monitored_day_;
}

void Session::set_monitored_day(Date day) {
  const std::lock_guard<std::mutex> hold(day_lock_);
  monitored_day_ = day;
}

}  // namespace quillmere::shop
