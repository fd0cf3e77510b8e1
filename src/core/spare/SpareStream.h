// The messages between the stage laptop and a spare that follows it over the LAN. The stage
// shows a code (16 characters of an alphabet without look-alikes, 80 bits); the spare types
// it, and both derive one key from it with PBKDF2-HMAC-SHA256, salted with the stream's salt
// that the stage hands out in clear. Each message is sealed with ChaCha20-Poly1305 under a
// fresh random nonce; its direction and number are authenticated with it, and each side takes
// only numbers above the last it took, so a captured message is never taken twice or out of
// order. The code never crosses the network.
//
// The spare asks "from these lengths" for each append-only entry (journal, check-in, claims),
// naming the hash of what it holds, and the hash of the set-up it holds; the stage answers with
// the new bytes of each (at most kMaxAnswerBytes in all), the set-up when its hash differs, and
// a heartbeat. The readers here take bytes from outside and trust no length in them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace spare {

// The entries that are appended to; the set-up is replaced whole.
enum class TEntry : uint8_t { Journal = 0, Checkin = 1, Claims = 2 };
inline constexpr size_t kEntries = 3;
// Their names in a spare folder and a relay package.
inline constexpr std::array<std::string_view, kEntries> kEntryNames = {"journal.txt", "checkin.txt",
                                                                       "claims.txt"};
inline constexpr std::string_view kSetupName = "setup.zip";
inline constexpr std::string_view kManifestName = "relay.txt";

inline constexpr size_t kCodeChars = 16;
// 32 characters, none taken for another: no 0/O, no 1/I.
inline constexpr std::string_view kCodeAlphabet = "23456789ABCDEFGHJKLMNPQRSTUVWXYZ";
inline constexpr uint32_t kKeyRounds = 20000;
inline constexpr size_t kSaltBytes = 16;
// The new bytes of one answer, all entries and the set-up together.
inline constexpr size_t kMaxAnswerBytes = 256 * 1024;
// A sealed message is never larger than this (an answer with its fields).
inline constexpr size_t kMaxMessageBytes = kMaxAnswerBytes + 4096;

using TStreamKey = std::array<uint8_t, 32>;

// A new code of kCodeChars from the system's CSPRNG; false with the error text (GBK).
bool NewStreamCode(std::string& code, std::string& error);
// The code as shown: four groups of four, a blank between.
std::string GroupedCode(std::string_view code);
// The code as typed (blanks and dashes anywhere, lower case) to its kCodeChars; false with a
// text (GBK) naming what is wrong.
bool ReadTypedCode(std::string_view typed, std::string& code, std::string& error);
// The key of `code` (normalised) and `salt`.
TStreamKey DeriveKey(std::string_view code, std::string_view salt);

// Who sends a message.
enum class TDirection : uint8_t { ToStage = 1, ToSpare = 2 };

// How opening a message went.
enum class TOpenResult {
  Opened,
  Malformed,       // too short or not a message of this stream
  WrongKey,        // does not authenticate: another code, or bytes changed on the way
  WrongDirection,  // a message of the other direction sent back
  Replayed,        // its number is not above the last one taken
};

// Seals `plain` as message number `number` of `direction`; false with the error (GBK) when
// the random source fails.
bool SealMessage(const TStreamKey& key, TDirection direction, uint64_t number,
                 std::string_view plain, std::string& message, std::string& error);
// Opens a message of `direction` whose number must be above `lastNumber`; on Opened gives its
// number and plain bytes.
TOpenResult OpenMessage(const TStreamKey& key, TDirection direction, uint64_t lastNumber,
                        std::string_view message, uint64_t& number, std::string& plain);
// What the spare's operator reads for a message that was not opened (GBK).
std::string OpenRefusal(TOpenResult result);

// What the spare holds of one append-only entry.
struct THeld {
  uint64_t Length = 0;
  std::string Sha256;  // lower-case hex of those bytes; empty when Length is 0
  bool operator==(const THeld&) const = default;
};

struct TRequest {
  std::array<THeld, kEntries> Held;
  std::string SetupSha256;  // of the whole set-up held, empty when none
  std::string PartSha256;   // the set-up being fetched, empty when none
  uint64_t PartLength = 0;  // its bytes fetched so far
  bool operator==(const TRequest&) const = default;
};

// New bytes of one entry.
struct TPiece {
  bool Present = false;  // the stage has the file; else the spare drops its own
  bool Restart = false;  // what the spare holds is not the start of the stage's file
  uint64_t Offset = 0;   // where Bytes go: the spare's length, or 0 on Restart
  uint64_t Total = 0;    // the stage's length
  std::string Bytes;
  bool operator==(const TPiece&) const = default;
};

struct THeartbeat {
  int32_t TaskId = 0;
  std::string TaskName;   // GBK
  std::string Machine;    // the stage laptop's name
  std::string StageTime;  // YYYY-MM-DD HH:MM:SS, the stage's local time
  uint32_t Batches = 0;   // revealed in the stage's journal
  uint32_t Checkins = 0;
  uint32_t Claims = 0;
  bool operator==(const THeartbeat&) const = default;
};

struct TAnswer {
  THeartbeat Beat;
  std::array<TPiece, kEntries> Pieces;
  std::string SetupSha256;  // the stage's set-up, empty when it has none yet
  uint64_t SetupTotal = 0;
  uint64_t SetupOffset = 0;  // where SetupBytes go in the set-up fetched
  std::string SetupBytes;    // empty when the spare holds that set-up already
  bool operator==(const TAnswer&) const = default;
};

std::string EncodeRequest(const TRequest& request);
// False with the error (GBK) on any bytes that are not a whole request.
bool DecodeRequest(std::string_view bytes, TRequest& request, std::string& error);
std::string EncodeAnswer(const TAnswer& answer);
bool DecodeAnswer(std::string_view bytes, TAnswer& answer, std::string& error);

// The spare's notice, sent sealed once it took the draw over, that it did so at `when`
// (YYYY-MM-DD HH:MM:SS); ReadTakenNotice is false on anything else. The stage answers it,
// sealed, with kTakenRecorded once its journal says so.
std::string FormatTakenNotice(std::string_view when);
bool ReadTakenNotice(std::string_view plain, std::string& when);
inline constexpr std::string_view kTakenRecorded = "TAKEN-RECORDED";

// The stage's greeting, in clear: the task and the stream's salt (hex), "TOMBOLIX-SPARE 1
// <TaskId> <salt>". ReadHello is false with the error (GBK) on anything else.
std::string FormatHello(int32_t taskId, std::string_view salt);
bool ReadHello(std::string_view text, int32_t& taskId, std::string& salt, std::string& error);

}  // namespace spare
