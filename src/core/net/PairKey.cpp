#include "core/net/PairKey.h"

#include <nettle/hmac.h>
#include <nettle/pbkdf2.h>

#include <charconv>

#include "core/draw/DrawProof.h"

namespace net {

namespace {

const char kHex[] = "0123456789abcdef";

std::string Hex(const uint8_t* bytes, size_t n) {
  std::string out;
  out.reserve(2 * n);
  for (size_t i = 0; i < n; ++i) {
    out += kHex[bytes[i] >> 4];
    out += kHex[bytes[i] & 15];
  }
  return out;
}

bool IsLowerHex(std::string_view s, size_t size) {
  return s.size() == size && s.find_first_not_of(kHex) == std::string_view::npos;
}

}  // namespace

std::string NewPairCode() {
  TDrawSecret secret;
  std::string error;
  if (!SystemSecret(secret, error)) return {};
  std::string code;
  // 256 is a multiple of 32: five bits of each byte are uniform.
  for (size_t i = 0; i < kPairCodeChars; ++i) code += kPairCodeAlphabet[secret[i] & 31];
  return code;
}

bool NormalizePairCode(std::string_view typed, std::string& code) {
  code.clear();
  for (const char c : typed) {
    if (c == ' ' || c == '-' || c == '\t' || c == '\r' || c == '\n') continue;
    const char up = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    if (kPairCodeAlphabet.find(up) == std::string_view::npos || code.size() == kPairCodeChars) {
      code.clear();
      return false;
    }
    code += up;
  }
  if (code.size() == kPairCodeChars) return true;
  code.clear();
  return false;
}

std::string ShownPairCode(std::string_view code) {
  std::string out;
  for (size_t i = 0; i < code.size(); ++i) {
    if (i && i % 4 == 0) out += ' ';
    out += code[i];
  }
  return out;
}

TPairKey PairKeyOf(std::string_view code) {
  TPairKey key{};
  pbkdf2_hmac_sha256(code.size(), reinterpret_cast<const uint8_t*>(code.data()), kPairKeyRounds,
                     kPairKeySalt.size(), reinterpret_cast<const uint8_t*>(kPairKeySalt.data()),
                     key.size(), key.data());
  return key;
}

std::string PairKeyHex(const TPairKey& key) { return Hex(key.data(), key.size()); }

bool ParsePairKeyHex(std::string_view hex, TPairKey& key) {
  if (!IsLowerHex(hex, 2 * key.size())) return false;
  for (size_t i = 0; i < key.size(); ++i)
    key[i] = static_cast<uint8_t>(std::string_view(kHex).find(hex[2 * i]) << 4 |
                                  std::string_view(kHex).find(hex[2 * i + 1]));
  return true;
}

std::string PairAddress(std::string_view pageUrl, const TPairKey& key) {
  return std::string(pageUrl) + "#k=" + PairKeyHex(key);
}

std::string_view PairRoleName(TPairRole role) { return role == TPairRole::Host ? "host" : "desk"; }

std::string SignedText(TPairRole role, std::string_view method, std::string_view path,
                       uint64_t counter, std::string_view payload) {
  std::string text(PairRoleName(role));
  text += '|';
  text += method;
  text += '|';
  text += path;
  text += '|';
  text += std::to_string(counter);
  text += '|';
  text += payload;
  return text;
}

std::string SignatureOf(const TPairKey& key, std::string_view text) {
  hmac_sha256_ctx ctx;
  hmac_sha256_set_key(&ctx, key.size(), key.data());
  hmac_sha256_update(&ctx, text.size(), reinterpret_cast<const uint8_t*>(text.data()));
  uint8_t mac[SHA256_DIGEST_SIZE];
  hmac_sha256_digest(&ctx, sizeof mac, mac);
  return Hex(mac, sizeof mac);
}

bool SplitSignedBody(std::string_view body, TSignedBody& out) {
  static constexpr std::string_view kNames[3] = {"t=", "n=", "s="};
  std::string_view values[3];
  for (size_t i = 0; i < 3; ++i) {
    const size_t amp = body.find('&');
    const std::string_view field = body.substr(0, amp);
    if (!field.starts_with(kNames[i])) return false;
    values[i] = field.substr(2);
    if (amp == std::string_view::npos) {
      if (i < 2) return false;
      body = {};
    } else {
      body.remove_prefix(amp + 1);
      if (body.empty()) return false;  // a '&' with no payload after it
    }
  }
  const std::string_view token = values[0], counter = values[1], signature = values[2];
  // Tokens are 32 hex digits; counters 1 … 15 digits without leading zeros, so that a
  // counter has one spelling only.
  if (!(token.empty() || IsLowerHex(token, 32)) || !IsLowerHex(signature, 64) || counter.empty() ||
      counter.size() > 15 || counter[0] == '0')
    return false;
  uint64_t n = 0;
  const auto [end, ec] = std::from_chars(counter.data(), counter.data() + counter.size(), n);
  if (ec != std::errc() || end != counter.data() + counter.size()) return false;
  out.Token = std::string(token);
  out.Counter = n;
  out.Signature = std::string(signature);
  out.Payload = body;
  return true;
}

std::string SignedBody(const TPairKey& key, TPairRole role, std::string_view method,
                       std::string_view path, std::string_view token, uint64_t counter,
                       std::string_view payload) {
  std::string body = "t=" + std::string(token) + "&n=" + std::to_string(counter) +
                     "&s=" + SignatureOf(key, SignedText(role, method, path, counter, payload));
  if (!payload.empty()) body += "&" + std::string(payload);
  return body;
}

}  // namespace net
