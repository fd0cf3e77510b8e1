#include "core/spare/SpareStream.h"

#include <nettle/chacha-poly1305.h>
#include <nettle/memops.h>
#include <nettle/pbkdf2.h>

#include <cstring>

#include "core/draw/DrawProof.h"
#include "core/text/Format.h"
#include "core/text/Gbk.h"

namespace spare {

namespace {

constexpr std::string_view kMagic = "TSS1";
constexpr size_t kNonceBytes = CHACHA_POLY1305_NONCE_SIZE;
constexpr size_t kTagBytes = CHACHA_POLY1305_DIGEST_SIZE;
constexpr size_t kHeaderBytes = 4 + 1 + 8 + kNonceBytes;
constexpr uint8_t kRequestKind = 'Q';
constexpr uint8_t kAnswerKind = 'A';
// Longest text field of a message (hashes, names, times).
constexpr size_t kMaxTextBytes = 512;

void PutU64(std::string& out, uint64_t v) {
  for (int i = 7; i >= 0; --i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
void PutU32(std::string& out, uint32_t v) {
  for (int i = 3; i >= 0; --i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
void PutBytes(std::string& out, std::string_view b) {
  PutU32(out, static_cast<uint32_t>(b.size()));
  out.append(b);
}

uint64_t GetU64At(std::string_view s, size_t at) {
  uint64_t v = 0;
  for (size_t i = 0; i < 8; ++i) v = (v << 8) | static_cast<uint8_t>(s[at + i]);
  return v;
}

// Reads outside bytes field by field; any field past the end, or longer than allowed, fails
// the whole read.
class TReader {
 public:
  explicit TReader(std::string_view s) : m_s(s) {}
  bool U8(uint8_t& v) {
    if (m_s.size() - m_at < 1) return m_ok = false;
    v = static_cast<uint8_t>(m_s[m_at++]);
    return m_ok;
  }
  bool Flag(bool& v) {
    uint8_t b = 0;
    if (!U8(b) || b > 1) return m_ok = false;
    v = b == 1;
    return m_ok;
  }
  bool U32(uint32_t& v) {
    if (m_s.size() - m_at < 4) return m_ok = false;
    v = 0;
    for (size_t i = 0; i < 4; ++i) v = (v << 8) | static_cast<uint8_t>(m_s[m_at + i]);
    m_at += 4;
    return m_ok;
  }
  bool U64(uint64_t& v) {
    if (m_s.size() - m_at < 8) return m_ok = false;
    v = GetU64At(m_s, m_at);
    m_at += 8;
    return m_ok;
  }
  bool Bytes(std::string& v, size_t most) {
    uint32_t n = 0;
    if (!U32(n) || n > most || n > m_s.size() - m_at) return m_ok = false;
    v.assign(m_s.substr(m_at, n));
    m_at += n;
    return m_ok;
  }
  bool Done() const { return m_ok && m_at == m_s.size(); }

 private:
  std::string_view m_s;
  size_t m_at = 0;
  bool m_ok = true;
};

bool IsHex64(std::string_view s) {
  if (s.empty()) return true;
  if (s.size() != 64) return false;
  for (char c : s)
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  return true;
}

bool RandomBytes(uint8_t* out, size_t n, std::string& error) {
  while (n > 0) {
    TDrawSecret s{};
    if (!SystemSecret(s, error)) return false;
    const size_t take = n < s.size() ? n : s.size();
    std::memcpy(out, s.data(), take);
    out += take;
    n -= take;
  }
  return true;
}

std::string BadMessage() { return text::G("热备跟随的消息不完整或格式不对，已丢弃"); }

}  // namespace

bool NewStreamCode(std::string& code, std::string& error) {
  uint8_t r[kCodeChars];
  if (!RandomBytes(r, sizeof r, error)) return false;
  code.clear();
  // 256 is a multiple of 32: every character is equally likely.
  for (uint8_t b : r) code.push_back(kCodeAlphabet[b % kCodeAlphabet.size()]);
  return true;
}

std::string GroupedCode(std::string_view code) {
  std::string out;
  for (size_t i = 0; i < code.size(); ++i) {
    if (i > 0 && i % 4 == 0) out.push_back(' ');
    out.push_back(code[i]);
  }
  return out;
}

bool ReadTypedCode(std::string_view typed, std::string& code, std::string& error) {
  code.clear();
  for (char c : typed) {
    if (c == ' ' || c == '-' || c == '\t') continue;
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (kCodeAlphabet.find(c) == std::string_view::npos) {
      error = text::G("配对码只含数字 2-9 和字母（没有 0、1、O、I），请照主机屏幕上的配对码输入");
      return false;
    }
    code.push_back(c);
  }
  if (code.size() != kCodeChars) {
    error = text::G("配对码应为 16 个字符（4 组，每组 4 个），现在是 ") +
            std::to_string(code.size()) + text::G(" 个");
    return false;
  }
  return true;
}

TStreamKey DeriveKey(std::string_view code, std::string_view salt) {
  TStreamKey key{};
  pbkdf2_hmac_sha256(code.size(), reinterpret_cast<const uint8_t*>(code.data()), kKeyRounds,
                     salt.size(), reinterpret_cast<const uint8_t*>(salt.data()), key.size(),
                     key.data());
  return key;
}

bool SealMessage(const TStreamKey& key, TDirection direction, uint64_t number,
                 std::string_view plain, std::string& message, std::string& error) {
  uint8_t nonce[kNonceBytes];
  if (!RandomBytes(nonce, sizeof nonce, error)) return false;
  message.assign(kMagic);
  message.push_back(static_cast<char>(direction));
  PutU64(message, number);
  message.append(reinterpret_cast<const char*>(nonce), sizeof nonce);
  chacha_poly1305_ctx ctx;
  chacha_poly1305_set_key(&ctx, key.data());
  chacha_poly1305_set_nonce(&ctx, nonce);
  // The magic, direction and number are authenticated with the bytes.
  chacha_poly1305_update(&ctx, 4 + 1 + 8, reinterpret_cast<const uint8_t*>(message.data()));
  const size_t at = message.size();
  message.resize(at + plain.size() + kTagBytes);
  auto* out = reinterpret_cast<uint8_t*>(message.data() + at);
  chacha_poly1305_encrypt(&ctx, plain.size(), out, reinterpret_cast<const uint8_t*>(plain.data()));
  chacha_poly1305_digest(&ctx, kTagBytes, out + plain.size());
  return true;
}

TOpenResult OpenMessage(const TStreamKey& key, TDirection direction, uint64_t lastNumber,
                        std::string_view message, uint64_t& number, std::string& plain) {
  if (message.size() < kHeaderBytes + kTagBytes || message.size() > kMaxMessageBytes ||
      message.substr(0, 4) != kMagic)
    return TOpenResult::Malformed;
  const auto dir = static_cast<uint8_t>(message[4]);
  if (dir != static_cast<uint8_t>(TDirection::ToStage) &&
      dir != static_cast<uint8_t>(TDirection::ToSpare))
    return TOpenResult::Malformed;
  const uint64_t n = GetU64At(message, 5);
  const auto* nonce = reinterpret_cast<const uint8_t*>(message.data() + 13);
  const size_t bodyBytes = message.size() - kHeaderBytes - kTagBytes;
  const auto* body = reinterpret_cast<const uint8_t*>(message.data() + kHeaderBytes);
  chacha_poly1305_ctx ctx;
  chacha_poly1305_set_key(&ctx, key.data());
  chacha_poly1305_set_nonce(&ctx, nonce);
  chacha_poly1305_update(&ctx, 4 + 1 + 8, reinterpret_cast<const uint8_t*>(message.data()));
  std::string out(bodyBytes, '\0');
  chacha_poly1305_decrypt(&ctx, bodyBytes, reinterpret_cast<uint8_t*>(out.data()), body);
  uint8_t tag[kTagBytes];
  chacha_poly1305_digest(&ctx, kTagBytes, tag);
  if (!memeql_sec(tag, body + bodyBytes, kTagBytes)) return TOpenResult::WrongKey;
  // Authentic from here on: the direction and number are the sender's.
  if (dir != static_cast<uint8_t>(direction)) return TOpenResult::WrongDirection;
  if (n <= lastNumber) return TOpenResult::Replayed;
  number = n;
  plain = std::move(out);
  return TOpenResult::Opened;
}

std::string OpenRefusal(TOpenResult result) {
  switch (result) {
    case TOpenResult::Opened:
      return {};
    case TOpenResult::Malformed:
      return BadMessage();
    case TOpenResult::WrongKey:
      return text::G(
          "配对码不对，或消息在路上被改动过，已拒绝。请核对主机屏幕上“热备跟随”的配对码");
    case TOpenResult::WrongDirection:
      return text::G("收到本机自己发出的消息，已拒绝");
    case TOpenResult::Replayed:
      return text::G("收到重复或过时的消息（编号不是新的），已拒绝");
  }
  return BadMessage();
}

std::string EncodeRequest(const TRequest& request) {
  std::string out(1, static_cast<char>(kRequestKind));
  for (const THeld& h : request.Held) {
    PutU64(out, h.Length);
    PutBytes(out, h.Sha256);
  }
  PutBytes(out, request.SetupSha256);
  PutBytes(out, request.PartSha256);
  PutU64(out, request.PartLength);
  return out;
}

bool DecodeRequest(std::string_view bytes, TRequest& request, std::string& error) {
  TReader r(bytes);
  TRequest q;
  uint8_t kind = 0;
  bool ok = r.U8(kind) && kind == kRequestKind;
  for (THeld& h : q.Held)
    ok = ok && r.U64(h.Length) && r.Bytes(h.Sha256, 64) && IsHex64(h.Sha256) &&
         (h.Length == 0) == h.Sha256.empty();
  ok = ok && r.Bytes(q.SetupSha256, 64) && IsHex64(q.SetupSha256) && r.Bytes(q.PartSha256, 64) &&
       IsHex64(q.PartSha256) && r.U64(q.PartLength) && r.Done();
  if (!ok) {
    error = BadMessage();
    return false;
  }
  request = std::move(q);
  return true;
}

std::string EncodeAnswer(const TAnswer& a) {
  std::string out(1, static_cast<char>(kAnswerKind));
  PutU32(out, static_cast<uint32_t>(a.Beat.TaskId));
  PutBytes(out, a.Beat.TaskName);
  PutBytes(out, a.Beat.Machine);
  PutBytes(out, a.Beat.StageTime);
  PutU32(out, a.Beat.Batches);
  PutU32(out, a.Beat.Checkins);
  PutU32(out, a.Beat.Claims);
  for (const TPiece& p : a.Pieces) {
    out.push_back(static_cast<char>(p.Present ? 1 : 0));
    out.push_back(static_cast<char>(p.Restart ? 1 : 0));
    PutU64(out, p.Offset);
    PutU64(out, p.Total);
    PutBytes(out, p.Bytes);
  }
  PutBytes(out, a.SetupSha256);
  PutU64(out, a.SetupTotal);
  PutU64(out, a.SetupOffset);
  PutBytes(out, a.SetupBytes);
  return out;
}

bool DecodeAnswer(std::string_view bytes, TAnswer& answer, std::string& error) {
  TReader r(bytes);
  TAnswer a;
  uint8_t kind = 0;
  uint32_t task = 0;
  bool ok = r.U8(kind) && kind == kAnswerKind && r.U32(task) &&
            r.Bytes(a.Beat.TaskName, kMaxTextBytes) && r.Bytes(a.Beat.Machine, kMaxTextBytes) &&
            r.Bytes(a.Beat.StageTime, kMaxTextBytes) && r.U32(a.Beat.Batches) &&
            r.U32(a.Beat.Checkins) && r.U32(a.Beat.Claims);
  a.Beat.TaskId = static_cast<int32_t>(task);
  size_t carried = 0;
  for (TPiece& p : a.Pieces) {
    ok = ok && r.Flag(p.Present) && r.Flag(p.Restart) && r.U64(p.Offset) && r.U64(p.Total) &&
         r.Bytes(p.Bytes, kMaxAnswerBytes);
    // The bytes end within the stage's file, and a missing file carries none.
    ok = ok && p.Offset <= p.Total && p.Bytes.size() <= p.Total - p.Offset &&
         (p.Present || (p.Total == 0 && p.Bytes.empty())) && (!p.Restart || p.Offset == 0);
    carried += p.Bytes.size();
  }
  ok = ok && r.Bytes(a.SetupSha256, 64) && IsHex64(a.SetupSha256) && r.U64(a.SetupTotal) &&
       r.U64(a.SetupOffset) && r.Bytes(a.SetupBytes, kMaxAnswerBytes) && r.Done();
  ok = ok && a.SetupOffset <= a.SetupTotal && a.SetupBytes.size() <= a.SetupTotal - a.SetupOffset &&
       (!a.SetupSha256.empty() || a.SetupTotal == 0);
  carried += a.SetupBytes.size();
  if (!ok || carried > kMaxAnswerBytes) {
    error = BadMessage();
    return false;
  }
  answer = std::move(a);
  return true;
}

std::string FormatHello(int32_t taskId, std::string_view salt) {
  static const char* kHex = "0123456789abcdef";
  std::string hex;
  for (char c : salt) {
    hex.push_back(kHex[(static_cast<uint8_t>(c) >> 4) & 0xF]);
    hex.push_back(kHex[static_cast<uint8_t>(c) & 0xF]);
  }
  return "TOMBOLIX-SPARE 1 " + std::to_string(taskId) + " " + hex;
}

bool ReadHello(std::string_view text, int32_t& taskId, std::string& salt, std::string& error) {
  constexpr std::string_view head = "TOMBOLIX-SPARE 1 ";
  error = text::G("该地址不是 Qarvo抽奖软件 主机的热备跟随服务，请核对主机地址");
  if (text.size() > 128 || text.substr(0, head.size()) != head) return false;
  text.remove_prefix(head.size());
  const size_t blank = text.find(' ');
  if (blank == std::string_view::npos || blank == 0 || blank > 9) return false;
  int32_t id = 0;
  for (char c : text.substr(0, blank)) {
    if (c < '0' || c > '9') return false;
    id = id * 10 + (c - '0');
  }
  const std::string_view hex = text.substr(blank + 1);
  if (hex.size() != 2 * kSaltBytes) return false;
  std::string s;
  for (size_t i = 0; i < hex.size(); i += 2) {
    const int hi = text::HexDigit(hex[i]), lo = text::HexDigit(hex[i + 1]);
    if (hi < 0 || lo < 0) return false;
    s.push_back(static_cast<char>(hi * 16 + lo));
  }
  taskId = id;
  salt = std::move(s);
  error.clear();
  return true;
}

std::string FormatTakenNotice(std::string_view when) { return "TAKEN " + std::string(when); }

bool ReadTakenNotice(std::string_view plain, std::string& when) {
  when.clear();
  if (!plain.starts_with("TAKEN ")) return false;
  const std::string_view t = plain.substr(6);
  // YYYY-MM-DD HH:MM:SS and nothing else: it goes into a journal line as it is.
  constexpr std::string_view shape = "0000-00-00 00:00:00";
  if (t.size() != shape.size()) return false;
  for (size_t i = 0; i < t.size(); ++i) {
    const bool digit = t[i] >= '0' && t[i] <= '9';
    if (shape[i] == '0' ? !digit : t[i] != shape[i]) return false;
  }
  when = std::string(t);
  return true;
}

}  // namespace spare
