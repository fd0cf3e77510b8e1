// Pairing of phones that may do more than read: the host's remote and the prize desks. The
// operator's window shows a one-time code per role (and its key in a QR code); a phone proves
// it holds one by signing its pairing request with the key (PairKey.h), and gets a token that
// names its key from then on. Neither code nor key crosses the network. Codes are used once,
// and wrong ones are limited per address and in total (too many renew both codes and lock
// pairing for a while). One host at a time: while one is paired, a second pairing waits for
// the operator to allow it (the first host is then dropped) or refuse it. Several desks.
// Every later request is checked by Check, the one test of a signed request: the token's key
// must sign it and its counter must rise. Safe to call from the server's threads and the
// window's at once.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/net/Http.h"
#include "core/net/PairKey.h"

namespace net {

// How a pairing attempt ended.
enum class TPairOutcome {
  Paired,     // the token is good from now on
  Waiting,    // a host is paired already: the operator allows or refuses this one
  WrongCode,  // signed with no code's key (a wrong code, or one used already)
  WrongRole,  // the other role's code: not used up
  Unsigned,   // not a signed request (a page from before signing): scan the QR code again
  Locked,     // too many wrong codes: from this address, or in total
  Full,       // as many desks as allowed are paired
  Failed,     // the random source failed
};

// How Check judged a request.
enum class TSignedCheck {
  Taken,      // signed by a token paired in the role asked, counter new: the request goes on
  Waiting,    // the same from a second host that waits for the operator (counter taken)
  Refused,    // the operator refused that host (told once)
  Unpaired,   // an unknown token, or one of the other role
  Forged,     // the token's key did not sign it
  Replayed,   // signed, but the counter was not above the last one taken
  Unsigned,   // a form without a signature (a page from before signing)
  Malformed,  // not a form at all
};

struct TSignedAnswer {
  TSignedCheck Check = TSignedCheck::Unpaired;
  std::string Token;
  uint64_t Last = 0;  // the last counter taken from the token, with Taken and Replayed
  std::map<std::string, std::string> Form;  // the signed payload's fields, with Taken
};

struct TPairAnswer {
  TPairOutcome Outcome = TPairOutcome::WrongCode;
  TPairRole Role = TPairRole::Host;
  std::string Token;  // with Paired and Waiting
};

// What the operator's window shows.
struct TPairingView {
  std::string HostCode;  // kPairCodeChars characters, ungrouped
  std::string DeskCode;
  bool HostPaired = false;
  std::string HostAddress;
  bool HostWaiting = false;  // a second host asks
  std::string WaitingAddress;
  size_t Desks = 0;
  int64_t LockedSeconds = 0;  // pairing locked for everyone, seconds left
  uint64_t Generation = 0;    // raised on every change
};

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
  // The key of that code, for the QR code's address; false when there is no code.
  bool Key(TPairRole role, TPairKey& key);
  // A fresh code for `role` (the old one no longer pairs); lifts the lock in total.
  void Renew(TPairRole role);

  // A phone asks to pair as `role` with a signed request (empty token) from its address. Signed
  // with the key of that role's code, the code is used up at once, whatever follows, and the
  // token gets that key and the request's counter; signed with the other role's, WrongRole.
  TPairAnswer Pair(const THttpRequest& request, TPairRole role);

  // The one test of a request of `role` after pairing: its token is paired in that role,
  // the token's key signed role|method|path|counter|payload, and the counter is above every
  // one taken from the token before. Only then is the counter taken (Taken or Waiting) and
  // the payload's fields handed back. A Refused token is told once and then forgotten.
  TSignedAnswer Check(const THttpRequest& request, TPairRole role);

  // The last counter taken from `token` (0 when none): a reloaded page goes on from it.
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
    TPairKey key{};
    uint64_t seq = 0;
    bool waiting = false;
  };
  struct Secret {
    std::string code;
    TPairKey key{};
  };
  Secret& SecretLocked(TPairRole role);
  bool RenewLocked(TPairRole role);
  void Changed() { ++m_generation; }
  void Refused(const std::string& token, const TPairKey& key);

  mutable std::mutex m_mutex;
  std::function<int64_t()> m_now;
  Secret m_hostSecret;
  Secret m_deskSecret;
  std::unordered_map<std::string, Holder> m_holders;       // token → holder
  std::string m_host;                                      // the host's token, or empty
  std::string m_waiting;                                   // the waiting host's token, or empty
  std::deque<std::pair<std::string, TPairKey>> m_refused;  // hosts refused, told once
  std::unordered_map<std::string, std::deque<int64_t>> m_addressFailures;
  std::deque<int64_t> m_failures;
  int64_t m_lockedUntil = 0;
  uint64_t m_generation = 0;
};

// The answer to a request Check did not take (Waiting included), as JSON {kind, text} with
// the counter last taken when replayed: the page goes on above it.
THttpResponse SignedRefusal(const TSignedAnswer& answer);

// 128 bits from the system's CSPRNG as 32 lower-case hex digits; empty when it failed.
std::string NewToken();

}  // namespace net
