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

// Compares without stopping at the first difference.
bool SameCode(std::string_view a, const std::string& b) {
  if (a.size() != b.size() || b.empty()) return false;
  unsigned diff = 0;
  for (size_t i = 0; i < a.size(); ++i) diff |= static_cast<unsigned char>(a[i] ^ b[i]);
  return diff == 0;
}

void Expire(std::deque<int64_t>& times, int64_t now) {
  while (!times.empty() && now - times.front() >= kPairFailureWindowMs) times.pop_front();
}

}  // namespace

THttpResponse SignedRefusal(const TSignedAnswer& answer) {
  const char* kind = "unpaired";
  const char* text = "本机未配对或已解除配对，请重新扫码或输入配对码";
  int status = 403;
  std::string extra;
  switch (answer.Check) {
    case TSignedCheck::Taken:
    case TSignedCheck::Unpaired:
      break;
    case TSignedCheck::Waiting:
      kind = "waiting";
      text = "已有主持人配对，请等操作员允许";
      status = 200;
      break;
    case TSignedCheck::Refused:
      kind = "refused";
      text = "操作员没有允许本机配对";
      break;
    case TSignedCheck::Forged:
      kind = "forged";
      text = "请求的签名不对，已拒绝；请重新扫码或输入配对码";
      break;
    case TSignedCheck::Replayed:
      kind = "replayed";
      text = "这个请求已经收到过";
      status = 409;
      extra = ",\"last\":" + std::to_string(answer.Last);
      break;
    case TSignedCheck::Unsigned:
      // An old page's token: "unpaired", so that it forgets the token and asks again.
      text = "配对方式已更新，请重新扫描操作电脑上的二维码（或输入新的配对码）";
      break;
    case TSignedCheck::Malformed:
      return PlainResponse(400, "请求无效");
  }
  return JsonResponse(
      std::string("{\"kind\":\"") + kind + "\",\"text\":" + JsonString(text) + extra + "}", status);
}

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

TPairing::Secret& TPairing::SecretLocked(TPairRole role) {
  return role == TPairRole::Host ? m_hostSecret : m_deskSecret;
}

bool TPairing::RenewLocked(TPairRole role) {
  const std::string& other =
      SecretLocked(role == TPairRole::Host ? TPairRole::Desk : TPairRole::Host).code;
  std::string code;
  // The two codes differ, so a key names its role.
  for (int i = 0; i < 8 && (code.empty() || code == other); ++i) code = NewPairCode();
  Secret& secret = SecretLocked(role);
  secret.code = code == other ? std::string() : code;
  secret.key = secret.code.empty() ? TPairKey{} : PairKeyOf(secret.code);
  Changed();
  return !secret.code.empty();
}

std::string TPairing::Code(TPairRole role) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (SecretLocked(role).code.empty()) RenewLocked(role);
  return SecretLocked(role).code;
}

bool TPairing::Key(TPairRole role, TPairKey& key) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (SecretLocked(role).code.empty() && !RenewLocked(role)) return false;
  key = SecretLocked(role).key;
  return true;
}

void TPairing::Renew(TPairRole role) {
  std::lock_guard<std::mutex> lock(m_mutex);
  RenewLocked(role);
  m_lockedUntil = 0;
  m_failures.clear();
}

TPairAnswer TPairing::Pair(const THttpRequest& request, TPairRole role) {
  std::lock_guard<std::mutex> lock(m_mutex);
  TPairAnswer answer;
  answer.Role = role;
  TSignedBody body;
  if (!SplitSignedBody(request.Body, body) || !body.Token.empty()) {
    answer.Outcome = TPairOutcome::Unsigned;
    return answer;
  }
  const int64_t now = m_now();
  if (now < m_lockedUntil) {
    answer.Outcome = TPairOutcome::Locked;
    return answer;
  }
  const std::string address(request.Address);
  auto failures = m_addressFailures.find(address);
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
  const std::string text =
      SignedText(role, request.Method, request.Path, body.Counter, body.Payload);
  const TPairRole other = role == TPairRole::Host ? TPairRole::Desk : TPairRole::Host;
  const Secret& mine = SecretLocked(role);
  const bool right = !mine.code.empty() && SameCode(body.Signature, SignatureOf(mine.key, text));
  if (!right) {
    const Secret& theirs = SecretLocked(other);
    if (!theirs.code.empty() && SameCode(body.Signature, SignatureOf(theirs.key, text))) {
      // Whoever holds the other code may pair with it on the other page.
      answer.Outcome = TPairOutcome::WrongRole;
      return answer;
    }
    m_addressFailures[address].push_back(now);
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
  const bool host = role == TPairRole::Host;
  if (!host) {
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
  Holder holder;
  holder.role = role;
  holder.address = address;
  holder.key = mine.key;
  holder.seq = body.Counter;
  RenewLocked(role);  // used once
  if (host && !m_host.empty()) {
    // A second host waits for the operator; an earlier one still waiting is dropped.
    if (!m_waiting.empty()) {
      Refused(m_waiting, m_holders.at(m_waiting).key);
      m_holders.erase(m_waiting);
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

void TPairing::Refused(const std::string& token, const TPairKey& key) {
  m_refused.emplace_back(token, key);
  if (m_refused.size() > 16) m_refused.pop_front();
}

TSignedAnswer TPairing::Check(const THttpRequest& request, TPairRole role) {
  TSignedAnswer answer;
  TSignedBody body;
  std::map<std::string, std::string> form;
  if (!ParseForm(request.Body, form)) {
    answer.Check = TSignedCheck::Malformed;
    return answer;
  }
  if (!SplitSignedBody(request.Body, body) || body.Token.empty()) {
    answer.Check = TSignedCheck::Unsigned;
    return answer;
  }
  answer.Token = body.Token;
  const std::string text =
      SignedText(role, request.Method, request.Path, body.Counter, body.Payload);
  std::lock_guard<std::mutex> lock(m_mutex);
  const auto it = m_holders.find(body.Token);
  if (it == m_holders.end()) {
    const auto refused = std::find_if(m_refused.begin(), m_refused.end(),
                                      [&](const auto& r) { return r.first == body.Token; });
    // Told to the refused phone itself, not to whoever repeats its token.
    if (refused != m_refused.end() && role == TPairRole::Host &&
        SameCode(body.Signature, SignatureOf(refused->second, text))) {
      m_refused.erase(refused);
      answer.Check = TSignedCheck::Refused;
      return answer;
    }
    answer.Check = TSignedCheck::Unpaired;
    return answer;
  }
  Holder& holder = it->second;
  if (holder.role != role) {
    answer.Check = TSignedCheck::Unpaired;
    return answer;
  }
  if (!SameCode(body.Signature, SignatureOf(holder.key, text))) {
    answer.Check = TSignedCheck::Forged;
    return answer;
  }
  if (body.Counter <= holder.seq) {
    answer.Check = TSignedCheck::Replayed;
    answer.Last = holder.seq;
    return answer;
  }
  holder.seq = body.Counter;
  answer.Last = holder.seq;
  answer.Check = holder.waiting ? TSignedCheck::Waiting : TSignedCheck::Taken;
  if (answer.Check == TSignedCheck::Taken) {
    form.erase("t");
    form.erase("n");
    form.erase("s");
    answer.Form = std::move(form);
  }
  return answer;
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
  Refused(m_waiting, m_holders.at(m_waiting).key);
  m_holders.erase(m_waiting);
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
  v.HostCode = m_hostSecret.code;
  v.DeskCode = m_deskSecret.code;
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
