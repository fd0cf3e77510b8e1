// What makes a draw checkable by anyone: a secret drawn from the system's cryptographic
// random source, its commitment shown before the draw, and the generator's seed derived
// from the secret, the audience's number and what the draw is drawn from.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using TDrawSecret = std::array<uint8_t, 32>;

// 32 bytes from the operating system's CSPRNG (getrandom, BCryptGenRandom); false with the
// error text when the source fails.
bool SystemSecret(TDrawSecret& secret, std::string& error);

// A secret made from a number, for replaying a draw exactly (tests, pictures): never used
// when no number is given from outside.
TDrawSecret NumberedSecret(uint32_t n);

// Lower-case hex of the 32 bytes; and back (64 hex digits, either case).
std::string SecretHex(const TDrawSecret& secret);
bool ParseSecretHex(std::string_view hex, TDrawSecret& secret);

// The commitment: SHA-256 of the secret's 32 bytes, lower-case hex.
std::string Commitment(const TDrawSecret& secret);

// The longest number the audience may give.
constexpr size_t kMaxAudienceDigits = 18;
// Empty (no number) or 1 … 18 ASCII digits, leading zeros kept as typed.
bool ValidAudienceNumber(std::string_view digits);

// The prize items as the derivation and the journal name them: "ItemId/LuckCount/ListCount"
// in draw order, joined by commas.
struct TProofItem {
  int32_t ItemId = 0;
  int32_t LuckCount = 0;
  int32_t ListCount = 0;
  bool operator==(const TProofItem&) const = default;
};
std::string ItemsText(const std::vector<TProofItem>& items);

// The text whose SHA-256 gives the seed (ASCII, one "key=value" a line, LF). A draw with
// rules adds the rules' fingerprint and that of the excluded ids as two more lines; one
// without (empty `rulesHash`) has exactly the lines it always had. A draw of those checked
// in adds "checkin=<fingerprint of their ids>" (none when `checkinHash` is empty); one with
// named awards "named=<fingerprint of the named text>" last.
std::string SeedInput(std::string_view secretHex, std::string_view audience,
                      std::string_view dataHash, std::string_view presetHash,
                      std::string_view itemsText, std::string_view rulesHash = {},
                      std::string_view excludedHash = {}, std::string_view checkinHash = {},
                      std::string_view namedHash = {});
// The generator's seed: the first four bytes of SHA-256(SeedInput), big-endian.
uint32_t DeriveSeed(std::string_view secretHex, std::string_view audience,
                    std::string_view dataHash, std::string_view presetHash,
                    std::string_view itemsText, std::string_view rulesHash = {},
                    std::string_view excludedHash = {}, std::string_view checkinHash = {},
                    std::string_view namedHash = {});

// The SHA-256 of the excluded ids: each id (GBK) followed by a LF, in the order given
// (ascending bytewise, no duplicates).
std::string ExcludedHashOf(const std::vector<std::string>& ids);

// The SHA-256 of the preset entries as (ItemId, id text) pairs in load order: each entry
// as its ItemId in decimal, a TAB, the text and a LF.
std::string PresetHashOf(const std::vector<std::pair<int32_t, std::string>>& entries);
