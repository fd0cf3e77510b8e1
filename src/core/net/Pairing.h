// Pairing of phones that may do more than read: the host's remote and the prize desks. The
// operator's window shows a one-time code per role; a phone that sends it gets a token
// that every later request carries. Codes are 6 digits from the system's CSPRNG, used once,
// and guessing is limited per address and in total (too many wrong codes renew both codes
// and lock pairing for a while). One host at a time: while one is paired, a second pairing
// waits for the operator to allow it (the first host is then dropped) or refuse it. Several
// desks. Tokens are 128 random bits in hex; each request also carries a number higher than
// the last one taken from its token, so a replayed request is refused. Safe to call from
// the server's threads and the window's at once.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace net {

enum class TPairRole { Host, Desk };

// How a pairing attempt ended.
enum class TPairOutcome {
  Paired,     // the token is good from now on
  Waiting,    // a host is paired already: the operator allows or refuses this one
  WrongCode,  // no such code (or it was used)
  Locked,     // too many wrong codes: from this address, or in total
  Full,       // as many desks as allowed are paired
  Failed,     // the random source failed
};

// What a token stands for now.
enum class TTokenState {
  Unknown,  // never given, unpaired, replaced, or ended
  Waiting,  // a second host waiting for the operator
  Refused,  // the operator refused that host (told once, then Unknown)
  Paired,
};

// A request refused for its token or its number.
enum class TTokenCheck {
  Taken,     // paired in the role asked, the number is new: the request goes on
  Unpaired,  // unknown token, another role, or still waiting
  Replayed,  // the number was not above the last one taken
};

struct TPairAnswer {
  TPairOutcome Outcome = TPairOutcome::WrongCode;
  TPairRole Role = TPairRole::Host;
  std::string Token;  // with Paired and Waiting
};

// What the operator's window shows.
struct TPairingView {
  std::string HostCode;  // 6 digits
  std::string DeskCode;
  bool HostPaired = false;
  std::string HostAddress;
  bool HostWaiting = false;  // a second host asks
  std::string WaitingAddress;
  size_t Desks = 0;
  int64_t LockedSeconds = 0;  // pairing locked for everyone, seconds left
  uint64_t Generation = 0;    // raised on every change
};

inline constexpr size_t kPairCodeDigits = 6;
// Wrong codes from one address within the window lock that address for the window.
inline constexpr int kMaxAddressPairFailures = 5;
inline constexpr int64_t kPairFailureWindowMs = 10 * 60'000;
// Wrong codes from anywhere within the window: both codes are renewed and pairing is
// locked for kPairLockMs (the operator's new code lifts it).
inline constexpr int kMaxPairFailures = 20;
inline constexpr int64_t kPairLockMs = 60'000;
inline constexpr size_t kMaxDesks = 32;
inline constexpr size_t kMaxPairAddresses = 4096;

class TPairing {
 public:
  TPairing();
  TPairing(const TPairing&) = delete;
  TPairing& operator=(const TPairing&) = delete;

  // The code of `role` shown now; made on first use. Empty when the random source failed.
  std::string Code(TPairRole role);
  // A fresh code for `role` (the old one no longer pairs); lifts the lock in total.
  void Renew(TPairRole role);

  // A phone at `address` sends `code` (ASCII digits; blanks around are ignored). A right
  // code is used up at once, whatever follows.
  TPairAnswer Pair(std::string_view address, std::string_view code);

  // What `token` stands for; a Refused token is told once and then forgotten.
  TTokenState StateOf(std::string_view token);
  // The role of a paired token.
  std::optional<TPairRole> RoleOf(std::string_view token) const;
  // A request of `role` carrying `token` and its number `seq`: taken only when the token is
  // paired in that role and `seq` is above every number taken from it before.
  TTokenCheck Take(std::string_view token, TPairRole role, uint64_t seq);
  // The last number taken from `token` (0 when none): a reloaded page goes on from it.
  uint64_t LastSeq(std::string_view token) const;

  // The operator's answer to a waiting host: allowed, it replaces the host paired; refused,
  // its token ends. False when none waits.
  bool Allow();
  bool Refuse();
  // Unpairs the host (and one waiting), or every desk.
  void Unpair(TPairRole role);
  // Unpairs one token, of either role.
  void Unpair(std::string_view token);

  TPairingView View() const;

  // For tests: the clock (ms, steady).
  void SetClock(std::function<int64_t()> steadyMs);

 private:
  struct Holder {
    TPairRole role = TPairRole::Host;
    std::string address;
    uint64_t seq = 0;
    bool waiting = false;
  };
  std::string& CodeLocked(TPairRole role);
  bool RenewLocked(TPairRole role);
  void Changed() { ++m_generation; }
  void Refused(const std::string& token);

  mutable std::mutex m_mutex;
  std::function<int64_t()> m_now;
  std::string m_hostCode;
  std::string m_deskCode;
  std::unordered_map<std::string, Holder> m_holders;  // token → holder
  std::string m_host;                                 // the host's token, or empty
  std::string m_waiting;                              // the waiting host's token, or empty
  std::deque<std::string> m_refused;                  // tokens refused, told once
  std::unordered_map<std::string, std::deque<int64_t>> m_addressFailures;
  std::deque<int64_t> m_failures;
  int64_t m_lockedUntil = 0;
  uint64_t m_generation = 0;
};

// 128 bits from the system's CSPRNG as 32 lower-case hex digits; empty when it failed.
std::string NewToken();

}  // namespace net
