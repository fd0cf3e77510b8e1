// The journal of a draw from imported data (LUCK_FILE/JOURNAL_<TaskId>.txt): GBK text, one
// record a line, each line ending in its own check value. The first record (DRAW) names what
// the draw is drawn from and the commitment to its secret; START gives the audience's number
// and the generator's seed; each BATCH is written and flushed to disk before its reveal is
// shown, with everything needed to continue the draw exactly after it and to replay it.
// Records of other kinds are kept in their place for the readers that know them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct TJournalItem {
  int32_t ItemId = 0;
  int32_t LuckCount = 0;
  int32_t ListCount = 0;
  bool operator==(const TJournalItem&) const = default;
};

// What the draw was drawn from; a journal continues only a draw with the same head.
struct TJournalHead {
  int32_t TaskId = 0;
  std::string DataHash;    // SHA-256 of the draw data file
  std::string PresetHash;  // SHA-256 of the preset entries in load order
  int32_t LuckAgain = 0;
  // Journals written before the draw could be checked: the generator's seed at set-up.
  // Later ones leave it 0 here and give the derived seed in their START record.
  uint32_t Seed = 0;
  std::vector<TJournalItem> Items;
  std::string Commit;  // SHA-256 of the secret (hex); empty in older journals
  std::string Secret;  // the 32-byte secret (hex)
  // A draw with rules: their FormatRules text, its RulesHash, and the ids of the excluded
  // tasks' winners (ascending, no duplicates). All empty for a draw without rules, whose
  // head then reads exactly as before.
  std::string Rules;
  std::string RulesHash;
  std::vector<std::string> Excluded;
  // A draw of those checked in only: the ids checked in that are on the list (ascending,
  // no duplicates) and their fingerprint (ExcludedHashOf of them). Off, the head reads as
  // before.
  bool CheckinOnly = false;
  std::vector<std::string> Present;
  std::string PresentHash;
  // The how-manieth opening of the task's draw this head began (1 for the first), and the
  // key (JournalHeadKey) of the head the previous opening wrote: empty for the first opening.
  // Both absent (0, empty) in journals written before openings were counted.
  int32_t Opening = 0;
  std::string PrevHead;
  // Named awards: per named winner "<ItemId> TAB <id> LF", items in draw order, and the
  // SHA-256 of that text. Empty without named awards, and the head reads as before.
  std::string Named;
  std::string NamedHash;

  // Same task, data, presets, repeat rule, prize items, rules, check-in list and named
  // awards; the seed may differ.
  bool SameDraw(const TJournalHead& other) const;
};

// The moment the first batch began: the audience's number (may be empty) and the seed.
struct TJournalStart {
  std::string Audience;
  uint32_t Seed = 0;
  bool operator==(const TJournalStart&) const = default;
};

struct TJournalBatch {
  int32_t ItemId = 0;
  int32_t Drawn = 0;             // the item's DrawnCount after the batch
  bool Closed = false;           // the item ran out of eligible candidates in this batch
  int32_t PresetsUsed = 0;       // the item's preset entries used up so far
  uint32_t Rng = 0;              // the generator's state when the batch was revealed
  std::vector<int32_t> Winners;  // candidate indices in pick order
  int32_t Rolls = -1;            // roll ticks before the reveal; -1 in older journals
  bool operator==(const TJournalBatch&) const = default;
};

// A revealed winner marked absent and the one replacement drawn for the place (ABSENT),
// written and flushed before the replacement is revealed, like a batch.
struct TJournalAbsence {
  size_t AfterBatches = 0;  // the batches before it in the journal
  int32_t ItemId = 0;
  int32_t Place = 0;        // the winner's place among all winners, in draw order
  int32_t Absent = 0;       // candidate index of the absent winner
  int32_t Replacement = 0;  // candidate index of the replacement
  uint32_t Rng = 0;         // the generator's state when the replacement was revealed
  int32_t Rolls = -1;       // roll ticks before the reveal; -1 when not counted
  bool operator==(const TJournalAbsence&) const = default;
};

// A whole record of a kind this reader does not know, after `AfterBatches` batches.
struct TJournalOther {
  size_t AfterBatches = 0;
  size_t AfterAbsences = 0;  // the absences before it: with AfterBatches, its place
  std::string Line;          // without its line end
};

struct TJournal {
  TJournalHead Head;
  bool Started = false;  // a START record was written
  TJournalStart Start;
  std::vector<TJournalBatch> Batches;
  std::vector<TJournalAbsence> Absences;  // in the order written
  std::vector<TJournalOther> Others;
  // Bytes of the whole records from the start of the file; a torn tail lies beyond them.
  size_t WholeBytes = 0;
  bool TornTail = false;
  // Winners revealed: every batch's, and one replacement per absence.
  int32_t WinnerCount() const;
  // The generator's state after the last batch or replacement.
  uint32_t LastRng() const;
  // The generator's seed the draw started from.
  uint32_t DrawSeed() const { return Started ? Start.Seed : Head.Seed; }
};

// A record line of any kind from its TAB-separated fields: the fields, the check value and
// CR LF. Readers that do not know the kind keep it in its place.
std::string SealJournalRecord(std::string body);

// The key of a journal's head: SHA-256 (lower-case hex) of its first line, line end included.
std::string JournalHeadKey(std::string_view headLine);

// One record's line, CR LF included.
std::string FormatJournalHead(const TJournalHead& head);
std::string FormatJournalStart(const TJournalStart& start);
std::string FormatJournalBatch(const TJournalBatch& batch);
std::string FormatJournalAbsence(const TJournalAbsence& absence);

enum class JournalRead {
  Missing,     // no journal
  Empty,       // not even its first record was written whole
  Ok,          // the head and every whole record; a torn tail is left out
  Damaged,     // a record before the last whole one fails its check or does not parse
  Unreadable,  // the file cannot be read, or its first record is not a head
};

// Reads the journal. What follows the last record that passes its check (a line without
// its line end, or lines whose check fails) is a write cut short: the tail, left out and
// named by WholeBytes and TornTail. A failing line with a whole record after it is damage
// that no write of ours leaves: the journal cannot be continued exactly.
JournalRead ReadJournal(std::string_view gbkPath, TJournal& journal, std::string& error);
// The same for the journal's text; `gbkPath` only names it in the error text.
JournalRead ParseJournal(std::string_view text, TJournal& journal, std::string_view gbkPath,
                         std::string& error);

// Appends records and flushes them to disk.
bool AppendJournal(std::string_view gbkPath, std::string_view lines, std::string& error);

// Cuts the journal back to its first `wholeBytes` bytes, atomically (written beside it and
// renamed over it), when it is longer; the bytes kept are those read now. True when the
// file holds exactly those bytes afterwards.
bool CutJournalTail(std::string_view gbkPath, size_t wholeBytes, std::string& error);

// The size of a file in bytes; -1 when it is missing or cannot be read.
int64_t JournalSize(std::string_view gbkPath);
