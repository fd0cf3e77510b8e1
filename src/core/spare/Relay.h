// Relay content: what a spare laptop needs to go on with a running draw exactly, as a set of
// entries, each the bytes of one file: the task's event package (setup.zip), the draw's
// journal (journal.txt), its check-in file (checkin.txt) and claim file (claims.txt) when it
// has them, and last the manifest (relay.txt) that names them with their SHA-256. The same
// entries travel as a spare folder (<data root>/SPARE/<TaskId>/, kept up to date over the
// LAN) or as a relay package (接力包, a zip carried by hand). A relay holds the draw's
// secret: it is kept like the laptop itself.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace spare {

inline constexpr int32_t kRelayFormat = 1;
inline constexpr std::string_view kSetupEntry = "setup.zip";
inline constexpr std::string_view kJournalEntry = "journal.txt";
inline constexpr std::string_view kCheckinEntry = "checkin.txt";
inline constexpr std::string_view kClaimsEntry = "claims.txt";
inline constexpr std::string_view kManifestEntry = "relay.txt";

// relay.txt: GBK, CR LF, "format=1", "taskid=<id on the stage>" (a spare folder's only),
// "task=<name>", "machine=<stage machine>",
// "written=<YYYY-MM-DD HH:MM:SS local>", "batches=<revealed batches in the journal>", then
// "sha256 <entry> <64 lower-case hex>" per entry.
struct TRelayManifest {
  int32_t Format = kRelayFormat;
  int32_t TaskId = 0;    // the task's id on the stage; 0: not written (a relay package)
  std::string TaskName;  // GBK
  std::string Machine;   // GBK
  std::string WrittenAt;
  int32_t Batches = 0;
  std::vector<std::pair<std::string, std::string>> Hashes;  // entry, hex; in written order
};

struct TRelay {
  TRelayManifest Manifest;
  std::map<std::string, std::string> Entries;  // entry name -> bytes; the manifest not among them
  // The entry's bytes, or null when the relay has none.
  const std::string* Entry(std::string_view name) const;
};

// What a written relay holds, for the operator.
struct TRelaySummary {
  std::string TaskName;  // GBK
  int32_t Batches = 0;
  bool Checkins = false;
  bool Claims = false;
  std::string Text;  // GBK: where it went and what it holds
};

// This machine's name (GBK); "本机" when the system names none.
std::string MachineName();

// What a relay takes from the database: the task's name and its event package. Fixed
// once the draw began, so it is made once (on the thread that owns the database) and the
// relays written after each reveal read files only.
struct TRelaySetup {
  int32_t TaskId = 0;
  std::string TaskName;  // GBK
  std::string Setup;     // the event package's bytes
};
bool PrepareRelay(int32_t taskId, TRelaySetup& setup, std::string& error);

// The relay of the set-up's draw as it stands: the open journal (else the finished one),
// its check-in and claim files, each cut to its whole records (a write under way is left
// out, never half in), read check-ins and claims first and the journal last, so every claim
// names a winner the journal holds; and the manifest. Reads files only, no database: safe
// on a worker thread. False with the error (GBK) when the task has no draw journal or a
// file cannot be read.
bool GatherRelay(const TRelaySetup& setup, TRelay& relay, std::string& error);

// Gathers the relay and writes it as a relay package at `gbkZipPath` (written beside it and
// renamed into place; the manifest is the zip's last entry). False with the error; nothing
// is written then. The first form prepares the set-up too (database: its thread only).
bool WriteRelay(int32_t taskId, std::string_view gbkZipPath, TRelaySummary& summary,
                std::string& error);
bool WriteRelay(const TRelaySetup& setup, std::string_view gbkZipPath, TRelaySummary& summary,
                std::string& error);

// Writes the relay's entries as files of `gbkFolder`, each beside its name and renamed in,
// the manifest last: a reader finds either the whole earlier relay or the whole new one, or
// a manifest whose hashes refuse a mix.
bool WriteRelayFolder(const TRelay& relay, std::string_view gbkFolder, std::string& error);

// The manifest's text, and its reading (false with the error naming the line).
std::string FormatRelayManifest(const TRelayManifest& manifest);
bool ParseRelayManifest(std::string_view text, TRelayManifest& manifest, std::string& error);

// Reads a relay from a spare folder or a relay package, or a package's bytes: the manifest,
// and each entry it names with its hash checked. An entry missing, altered, unknown, twice
// or not named by the manifest, a manifest missing or of a newer format, a journal that does
// not read whole: refused with the error (GBK) naming it.
bool ReadRelayFolder(std::string_view gbkFolder, TRelay& relay, std::string& error);
bool ReadRelayPackage(std::string_view gbkZipPath, TRelay& relay, std::string& error);
bool ParseRelayPackage(std::string_view bytes, TRelay& relay, std::string& error);

}  // namespace spare
