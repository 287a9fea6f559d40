#pragma once
// The program-wide state the workflows share. The application owns one Session for its whole
// run and hands it to every workflow.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "shop/jobs.h"
#include "shop/ports.h"

namespace quillmere::shop {

class Session {
 public:
  // Times follow a steady clock of the standard library.
  Session();
  explicit Session(Clock& clock);
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  Clock& clock() { return *clock_; }

  // Read and replaced as a whole from any thread: a reader sees the old or the new token.
  std::string access_token() const;
  void set_access_token(std::string_view token);

  // Login and renewal. A successful login keeps its app key and secret in memory (never on
  // disk) with the time its token expires, so that the token can be renewed without the owner.

  // A click on 登陆, on the window's thread: its ticket. A renewal under way is thrown away when
  // it finishes, and so is the outcome of every login clicked before.
  std::uint64_t begin_login();
  // The login's outcome: the token replaces the session's whatever it is; `succeeded` keeps the
  // key, the secret and the expiry (`expire_in` seconds from now, none when absent), otherwise
  // they are forgotten. False, changing nothing, when 登陆 was clicked again since `ticket`.
  bool end_login(std::uint64_t ticket, std::string_view token, bool succeeded,
                 std::string_view app_key, std::string_view secret,
                 std::optional<long long> expire_in);
  bool has_remembered_login() const;
  // A remembered login whose token has less than a tenth of its lifetime, or 10 minutes,
  // whichever is less, left, or has expired.
  bool renewal_due();

  struct Renewal {
    std::string app_key;
    std::string secret;
    std::uint64_t generation = 0;
  };
  enum class Claim {
    claimed,    // this caller renews, with `renewal`'s key and secret
    under_way,  // another thread renews: wait until renewal_under_way() is false
    too_soon,   // a renewal after a refused token ran less than a minute ago
    no_login,   // nothing remembered to renew with
  };
  // One renewal at a time across threads. `after_refusal`: the platform refused the token.
  Claim claim_renewal(bool after_refusal, Renewal* renewal);
  bool renewal_under_way() const;
  enum class Outcome { renewed, failed, failed_again, thrown_away };
  // Ends the claimed renewal: a new token (empty when the renewal failed) and its expire_in. A
  // failure keeps the old token and the remembered login; `failed_again` when the renewal
  // before it failed as well. `thrown_away` when 登陆 was clicked since the claim.
  Outcome finish_renewal(const Renewal& renewal, std::string_view token,
                         std::optional<long long> expire_in);

  // 1 while monitoring runs, 0 otherwise.
  int monitoring_flag() const { return monitoring_flag_.load(); }
  void set_monitoring_flag(int value) { monitoring_flag_.store(value); }
  // 开始监控: true when the caller runs the one loop (Jobs::start_monitoring).
  bool start_monitoring() { return jobs_.start_monitoring(monitoring_flag_); }
  bool finish_monitoring(bool window_gone) {
    return jobs_.finish_monitoring(monitoring_flag_, window_gone);
  }

  Jobs& jobs() { return jobs_; }

  // The day monitoring watches: set by the window's thread at 开始监控 and whenever the owner
  // picks another day; each pass reads it afresh, so a new day counts from the next pass.
  Date monitored_day() const;
  void set_monitored_day(Date day);

  // Order ids found by the latest monitoring pass that found any.
  int order_id_count() const { return order_id_count_.load(); }
  void set_order_id_count(int value) { order_id_count_.store(value); }

  // Whether the latest monitoring pass of this run failed to get the day's ids: a run of
  // failing passes is logged once, and the first good pass after it says so.
  bool monitoring_failing() const { return monitoring_failing_.load(); }
  void set_monitoring_failing(bool value) { monitoring_failing_.store(value); }

  // Monitoring's request rate, on monitoring's thread: when its latest ids request went out and
  // how long the next one waits after it.
  std::optional<std::uint64_t> last_ids_request_ms() const { return last_ids_request_ms_; }
  void set_last_ids_request_ms(std::uint64_t at) { last_ids_request_ms_ = at; }
  int ids_request_gap_ms() const { return ids_request_gap_ms_; }
  void set_ids_request_gap_ms(int gap) { ids_request_gap_ms_ = gap; }

 private:
  void set_expiry(std::optional<long long> expire_in);

  Clock* clock_;
  mutable std::mutex token_lock_;  // guards everything below up to the monitoring state
  std::string access_token_;
  bool remembered_ = false;
  std::string app_key_;
  std::string secret_;
  std::uint64_t login_generation_ = 0;  // moves at every click on 登陆 and every login's end
  std::uint64_t login_ticket_ = 0;      // moves at every click on 登陆
  std::optional<std::uint64_t> expires_at_ms_;
  std::uint64_t lifetime_ms_ = 0;
  bool renewing_ = false;
  bool last_renewal_failed_ = false;
  std::optional<std::uint64_t> last_refusal_renewal_ms_;

  mutable std::mutex day_lock_;
  Date monitored_day_;
  std::atomic<int> monitoring_flag_{0};
  std::atomic<int> order_id_count_{0};
  std::atomic<bool> monitoring_failing_{false};
  std::optional<std::uint64_t> last_ids_request_ms_;
  int ids_request_gap_ms_ = 1000;
  Jobs jobs_;
};

}  // namespace quillmere::shop
