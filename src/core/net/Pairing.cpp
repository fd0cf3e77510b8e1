#include "core/net/Pairing.h"

#include <algorithm>
#include <chrono>

#include "core/draw/DrawProof.h"

namespace net {

namespace {

int64_t SteadyMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// A code of kPairCodeDigits digits, uniform: 32-bit draws above the last whole multiple of
// 10^6 are thrown away.
std::string RandomCode() {
  constexpr uint32_t kRange = 1'000'000;
  constexpr uint32_t kLimit = 4294u * kRange;
  for (int round = 0; round < 4; ++round) {
    TDrawSecret secret;
    std::string error;
    if (!SystemSecret(secret, error)) return {};
    for (size_t i = 0; i + 4 <= secret.size(); i += 4) {
      const uint32_t v = uint32_t(secret[i]) << 24 | uint32_t(secret[i + 1]) << 16 |
                         uint32_t(secret[i + 2]) << 8 | uint32_t(secret[i + 3]);
      if (v >= kLimit) continue;
      std::string code = std::to_string(v % kRange);
      code.insert(0, kPairCodeDigits - code.size(), '0');
      return code;
    }
  }
  return {};
}

// Compares without stopping at the first difference.
bool SameCode(std::string_view a, const std::string& b) {
  if (a.size() != b.size() || b.empty()) return false;
  unsigned diff = 0;
  for (size_t i = 0; i < a.size(); ++i) diff |= static_cast<unsigned char>(a[i] ^ b[i]);
  return diff == 0;
}

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= 32) s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= 32) s.remove_suffix(1);
  return s;
}

void Expire(std::deque<int64_t>& times, int64_t now) {
  while (!times.empty() && now - times.front() >= kPairFailureWindowMs) times.pop_front();
}

}  // namespace

std::string NewToken() {
  TDrawSecret secret;
  std::string error;
  if (!SystemSecret(secret, error)) return {};
  return SecretHex(secret).substr(0, 32);
}

TPairing::TPairing() : m_now(SteadyMs) {}

void TPairing::SetClock(std::function<int64_t()> steadyMs) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_now = std::move(steadyMs);
}

std::string& TPairing::CodeLocked(TPairRole role) {
  return role == TPairRole::Host ? m_hostCode : m_deskCode;
}

bool TPairing::RenewLocked(TPairRole role) {
  const std::string& other =
      CodeLocked(role == TPairRole::Host ? TPairRole::Desk : TPairRole::Host);
  std::string code;
  // The two codes differ, so a code names its role.
  for (int i = 0; i < 8 && (code.empty() || code == other); ++i) code = RandomCode();
  CodeLocked(role) = code == other ? std::string() : code;
  Changed();
  return !CodeLocked(role).empty();
}

std::string TPairing::Code(TPairRole role) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (CodeLocked(role).empty()) RenewLocked(role);
  return CodeLocked(role);
}

void TPairing::Renew(TPairRole role) {
  std::lock_guard<std::mutex> lock(m_mutex);
  RenewLocked(role);
  m_lockedUntil = 0;
  m_failures.clear();
}

TPairAnswer TPairing::Pair(std::string_view address, std::string_view code) {
  std::lock_guard<std::mutex> lock(m_mutex);
  TPairAnswer answer;
  const int64_t now = m_now();
  if (now < m_lockedUntil) {
    answer.Outcome = TPairOutcome::Locked;
    return answer;
  }
  const std::string key(address);
  auto failures = m_addressFailures.find(key);
  if (failures == m_addressFailures.end() && m_addressFailures.size() >= kMaxPairAddresses) {
    for (auto it = m_addressFailures.begin(); it != m_addressFailures.end();) {
      Expire(it->second, now);
      it = it->second.empty() ? m_addressFailures.erase(it) : std::next(it);
    }
    // Still full: a flood of addresses; nobody new guesses until theirs expire.
    if (m_addressFailures.size() >= kMaxPairAddresses) {
      answer.Outcome = TPairOutcome::Locked;
      return answer;
    }
  }
  if (failures != m_addressFailures.end()) {
    Expire(failures->second, now);
    if (failures->second.size() >= static_cast<size_t>(kMaxAddressPairFailures)) {
      answer.Outcome = TPairOutcome::Locked;
      return answer;
    }
  }
  code = Trimmed(code);
  const bool host = SameCode(code, m_hostCode);
  const bool desk = !host && SameCode(code, m_deskCode);
  if (!host && !desk) {
    m_addressFailures[key].push_back(now);
    Expire(m_failures, now);
    m_failures.push_back(now);
    if (m_failures.size() >= static_cast<size_t>(kMaxPairFailures)) {
      // Someone is working through the codes: neither of them is worth guessing on.
      RenewLocked(TPairRole::Host);
      RenewLocked(TPairRole::Desk);
      m_failures.clear();
      m_lockedUntil = now + kPairLockMs;
    }
    answer.Outcome = TPairOutcome::WrongCode;
    return answer;
  }
  answer.Role = host ? TPairRole::Host : TPairRole::Desk;
  if (desk) {
    size_t desks = 0;
    for (const auto& h : m_holders) desks += h.second.role == TPairRole::Desk;
    if (desks >= kMaxDesks) {
      answer.Outcome = TPairOutcome::Full;
      return answer;
    }
  }
  std::string token = NewToken();
  if (token.empty()) {
    answer.Outcome = TPairOutcome::Failed;
    return answer;
  }
  RenewLocked(answer.Role);  // used once
  Holder holder;
  holder.role = answer.Role;
  holder.address = key;
  if (host && !m_host.empty()) {
    // A second host waits for the operator; an earlier one still waiting is dropped.
    if (!m_waiting.empty()) {
      m_holders.erase(m_waiting);
      Refused(m_waiting);
    }
    holder.waiting = true;
    m_waiting = token;
    answer.Outcome = TPairOutcome::Waiting;
  } else {
    if (host) m_host = token;
    answer.Outcome = TPairOutcome::Paired;
  }
  m_holders.emplace(token, std::move(holder));
  answer.Token = std::move(token);
  Changed();
  return answer;
}

void TPairing::Refused(const std::string& token) {
  m_refused.push_back(token);
  if (m_refused.size() > 16) m_refused.pop_front();
}

TTokenState TPairing::StateOf(std::string_view token) {
  std::lock_guard<std::mutex> lock(m_mutex);
  const auto it = m_holders.find(std::string(token));
  if (it != m_holders.end()) return it->second.waiting ? TTokenState::Waiting : TTokenState::Paired;
  const auto refused = std::find(m_refused.begin(), m_refused.end(), token);
  if (refused == m_refused.end() || token.empty()) return TTokenState::Unknown;
  m_refused.erase(refused);
  return TTokenState::Refused;
}

std::optional<TPairRole> TPairing::RoleOf(std::string_view token) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  const auto it = m_holders.find(std::string(token));
  if (it == m_holders.end() || it->second.waiting) return std::nullopt;
  return it->second.role;
}

TTokenCheck TPairing::Take(std::string_view token, TPairRole role, uint64_t seq) {
  std::lock_guard<std::mutex> lock(m_mutex);
  const auto it = m_holders.find(std::string(token));
  if (it == m_holders.end() || it->second.waiting || it->second.role != role)
    return TTokenCheck::Unpaired;
  if (seq <= it->second.seq) return TTokenCheck::Replayed;
  it->second.seq = seq;
  return TTokenCheck::Taken;
}

uint64_t TPairing::LastSeq(std::string_view token) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  const auto it = m_holders.find(std::string(token));
  return it == m_holders.end() ? 0 : it->second.seq;
}

bool TPairing::Allow() {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_waiting.empty()) return false;
  if (!m_host.empty()) m_holders.erase(m_host);
  m_host = std::move(m_waiting);
  m_waiting.clear();
  m_holders[m_host].waiting = false;
  Changed();
  return true;
}

bool TPairing::Refuse() {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_waiting.empty()) return false;
  m_holders.erase(m_waiting);
  Refused(m_waiting);
  m_waiting.clear();
  Changed();
  return true;
}

void TPairing::Unpair(TPairRole role) {
  std::lock_guard<std::mutex> lock(m_mutex);
  std::erase_if(m_holders, [role](const auto& h) { return h.second.role == role; });
  if (role == TPairRole::Host) {
    m_host.clear();
    m_waiting.clear();
  }
  Changed();
}

void TPairing::Unpair(std::string_view token) {
  std::lock_guard<std::mutex> lock(m_mutex);
  const std::string key(token);
  if (m_holders.erase(key) == 0) return;
  if (m_host == key) m_host.clear();
  if (m_waiting == key) m_waiting.clear();
  Changed();
}

TPairingView TPairing::View() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  TPairingView v;
  v.HostCode = m_hostCode;
  v.DeskCode = m_deskCode;
  v.HostPaired = !m_host.empty();
  if (v.HostPaired) v.HostAddress = m_holders.at(m_host).address;
  v.HostWaiting = !m_waiting.empty();
  if (v.HostWaiting) v.WaitingAddress = m_holders.at(m_waiting).address;
  for (const auto& h : m_holders) v.Desks += h.second.role == TPairRole::Desk;
  const int64_t left = m_lockedUntil - m_now();
  v.LockedSeconds = left > 0 ? (left + 999) / 1000 : 0;
  v.Generation = m_generation;
  return v;
}

}  // namespace net
