#include "core/draw/DrawProof.h"

#include <nettle/sha2.h>

#include <cerrno>
#include <cstring>

#include "core/records/FileHash.h"
#include "core/text/Format.h"
#include "core/text/Gbk.h"

#ifdef _WIN32
#include <windows.h>
//
#include <bcrypt.h>
#else
#include <sys/random.h>
#endif

bool SystemSecret(TDrawSecret& secret, std::string& error) {
#ifdef _WIN32
  if (BCryptGenRandom(nullptr, secret.data(), static_cast<ULONG>(secret.size()),
                      BCRYPT_USE_SYSTEM_PREFERRED_RNG) != 0) {
    error = text::G("无法从系统取得随机数");
    return false;
  }
  return true;
#else
  size_t got = 0;
  while (got < secret.size()) {
    const ssize_t n = getrandom(secret.data() + got, secret.size() - got, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      error = text::G("无法从系统取得随机数：") + text::Utf8ToGbk(std::strerror(errno));
      return false;
    }
    got += static_cast<size_t>(n);
  }
  return true;
#endif
}

TDrawSecret NumberedSecret(uint32_t n) {
  const std::string text = "tombolix-numbered-secret-" + std::to_string(n);
  TDrawSecret s{};
  sha256_ctx ctx;
  sha256_init(&ctx);
  sha256_update(&ctx, text.size(), reinterpret_cast<const uint8_t*>(text.data()));
  sha256_digest(&ctx, s.size(), s.data());
  return s;
}

std::string SecretHex(const TDrawSecret& secret) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (uint8_t b : secret) {
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

bool ParseSecretHex(std::string_view hex, TDrawSecret& secret) {
  if (hex.size() != secret.size() * 2) return false;
  TDrawSecret s{};
  for (size_t i = 0; i < s.size(); ++i) {
    const int hi = text::HexDigit(hex[2 * i]);
    const int lo = text::HexDigit(hex[2 * i + 1]);
    if (hi < 0 || lo < 0) return false;
    s[i] = static_cast<uint8_t>(hi * 16 + lo);
  }
  secret = s;
  return true;
}

std::string Commitment(const TDrawSecret& secret) {
  return Sha256Hex(std::string_view(reinterpret_cast<const char*>(secret.data()), secret.size()));
}

bool ValidAudienceNumber(std::string_view digits) {
  if (digits.size() > kMaxAudienceDigits) return false;
  for (char c : digits)
    if (c < '0' || c > '9') return false;
  return true;
}

std::string ItemsText(const std::vector<TProofItem>& items) {
  std::string s;
  for (size_t i = 0; i < items.size(); ++i) {
    if (i) s += ',';
    s += std::to_string(items[i].ItemId) + "/" + std::to_string(items[i].LuckCount) + "/" +
         std::to_string(items[i].ListCount);
  }
  return s;
}

std::string SeedInput(std::string_view secretHex, std::string_view audience,
                      std::string_view dataHash, std::string_view presetHash,
                      std::string_view itemsText, std::string_view rulesHash,
                      std::string_view excludedHash, std::string_view checkinHash,
                      std::string_view namedHash) {
  std::string s = "tombolix-seed-1\n";
  s.append("secret=").append(secretHex).append("\n");
  s.append("audience=").append(audience).append("\n");
  s.append("data=").append(dataHash).append("\n");
  s.append("presets=").append(presetHash).append("\n");
  s.append("items=").append(itemsText).append("\n");
  if (!rulesHash.empty()) {
    s.append("rules=").append(rulesHash).append("\n");
    s.append("excluded=").append(excludedHash).append("\n");
  }
  if (!checkinHash.empty()) s.append("checkin=").append(checkinHash).append("\n");
  if (!namedHash.empty()) s.append("named=").append(namedHash).append("\n");
  return s;
}

uint32_t DeriveSeed(std::string_view secretHex, std::string_view audience,
                    std::string_view dataHash, std::string_view presetHash,
                    std::string_view itemsText, std::string_view rulesHash,
                    std::string_view excludedHash, std::string_view checkinHash,
                    std::string_view namedHash) {
  const std::string input = SeedInput(secretHex, audience, dataHash, presetHash, itemsText,
                                      rulesHash, excludedHash, checkinHash, namedHash);
  uint8_t d[SHA256_DIGEST_SIZE];
  sha256_ctx ctx;
  sha256_init(&ctx);
  sha256_update(&ctx, input.size(), reinterpret_cast<const uint8_t*>(input.data()));
  sha256_digest(&ctx, sizeof d, d);
  return (uint32_t{d[0]} << 24) | (uint32_t{d[1]} << 16) | (uint32_t{d[2]} << 8) | uint32_t{d[3]};
}

std::string PresetHashOf(const std::vector<std::pair<int32_t, std::string>>& entries) {
  std::string all;
  for (const auto& [itemId, text] : entries) all += std::to_string(itemId) + "\t" + text + "\n";
  return Sha256Hex(all);
}

std::string ExcludedHashOf(const std::vector<std::string>& ids) {
  std::string all;
  for (const std::string& id : ids) all += id + "\n";
  return Sha256Hex(all);
}
