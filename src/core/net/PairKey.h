// The secrets of pairing and of every signed request of the host and the desks. Neither the
// code nor the key ever crosses the network: the QR code carries the key in the address's
// fragment (which a browser never sends), a code typed by hand gives the same key through
// PBKDF2 on the phone and here. Each request then carries its token, a rising counter and
// HMAC-SHA256(key, role|method|path|counter|payload), so a captured request is good for
// nothing: not again, not with another counter, not for another request.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace net {

// Who a phone is paired as: the host's remote or a prize desk.
enum class TPairRole { Host, Desk };

using TPairKey = std::array<uint8_t, 32>;

// 16 characters of 32 (no 0/O, 1/I): 80 bits, out of reach of an offline guess.
inline constexpr std::string_view kPairCodeAlphabet = "23456789ABCDEFGHJKLMNPQRSTUVWXYZ";
inline constexpr size_t kPairCodeChars = 16;
// PBKDF2-HMAC-SHA256 of the code: its rounds and salt (the page's script uses the same).
inline constexpr unsigned kPairKeyRounds = 10000;
inline constexpr std::string_view kPairKeySalt = "tombolix-pair-1";

// A fresh code from the system's CSPRNG; empty when it failed.
std::string NewPairCode();
// The code as typed: blanks and dashes dropped, lower case raised. False when what is left
// is not kPairCodeChars characters of the alphabet.
bool NormalizePairCode(std::string_view typed, std::string& code);
// "ABCD EFGH JKMN PQRS": a code as shown.
std::string ShownPairCode(std::string_view code);
// The key of a (normalized) code.
TPairKey PairKeyOf(std::string_view code);

// 64 lower-case hex digits, and back (false on anything else).
std::string PairKeyHex(const TPairKey& key);
bool ParsePairKeyHex(std::string_view hex, TPairKey& key);

// The address a QR code shows: the page's address with the key in its fragment.
std::string PairAddress(std::string_view pageUrl, const TPairKey& key);

// "host" or "desk": the role's name in the signed text.
std::string_view PairRoleName(TPairRole role);
// The text a request signs.
std::string SignedText(TPairRole role, std::string_view method, std::string_view path,
                       uint64_t counter, std::string_view payload);
// HMAC-SHA256(key, text) in lower-case hex.
std::string SignatureOf(const TPairKey& key, std::string_view text);

// A signed request's body: "t=<token>&n=<counter>&s=<signature>", then "&<payload>" when
// the request has fields of its own. The token is empty when the request pairs.
struct TSignedBody {
  std::string Token;
  uint64_t Counter = 0;
  std::string Signature;
  std::string_view Payload;  // into the body
};
// False when `body` does not start with the three fields in that form.
bool SplitSignedBody(std::string_view body, TSignedBody& out);
// The body of a request of `role` to `method` `path`, signed with `key`.
std::string SignedBody(const TPairKey& key, TPairRole role, std::string_view method,
                       std::string_view path, std::string_view token, uint64_t counter,
                       std::string_view payload);

}  // namespace net
