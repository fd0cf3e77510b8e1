// The journal of a draw from imported data (LUCK_FILE/JOURNAL_<TaskId>.txt): GBK text, one
// record a line, each line ending in its own check value. The first record names what the
// draw was drawn from; each later one is a batch, written and flushed to disk before its
// reveal is shown, with everything needed to continue the draw exactly after it.
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
  uint32_t Seed = 0;  // the generator's seed when the draw was set up
  std::vector<TJournalItem> Items;

  // Same task, data, presets, repeat rule and prize items; the seed may differ.
  bool SameDraw(const TJournalHead& other) const;
};

struct TJournalBatch {
  int32_t ItemId = 0;
  int32_t Drawn = 0;             // the item's DrawnCount after the batch
  bool Closed = false;           // the item ran out of eligible candidates in this batch
  int32_t PresetsUsed = 0;       // the item's preset entries used up so far
  uint32_t Rng = 0;              // the generator's state when the batch was revealed
  std::vector<int32_t> Winners;  // candidate indices in pick order
  bool operator==(const TJournalBatch&) const = default;
};

// A revealed winner marked absent and the one replacement drawn for the place, written
// and flushed before the replacement is revealed, like a batch.
struct TJournalAbsence {
  size_t AfterBatches = 0;  // the batches before it in the journal
  int32_t ItemId = 0;
  int32_t Place = 0;        // the winner's place among all winners, in draw order
  int32_t Absent = 0;       // candidate index of the absent winner
  int32_t Replacement = 0;  // candidate index of the replacement
  uint32_t Rng = 0;         // the generator's state when the replacement was revealed
  bool operator==(const TJournalAbsence&) const = default;
};

struct TJournal {
  TJournalHead Head;
  std::vector<TJournalBatch> Batches;
  std::vector<TJournalAbsence> Absences;  // in the order written
  // Winners revealed: every batch's, and one replacement per absence.
  int32_t WinnerCount() const;
  // The generator's state after the last record.
  uint32_t LastRng() const;
};

// One record's line, CR LF included.
std::string FormatJournalHead(const TJournalHead& head);
std::string FormatJournalBatch(const TJournalBatch& batch);
std::string FormatJournalAbsence(const TJournalAbsence& absence);

enum class JournalRead {
  Missing,     // no journal
  Empty,       // not even its first record was written whole
  Ok,          // the head and every whole batch line
  Unreadable,  // its first record is not a head, or a record does not parse
};

// Reads the journal. A last line without its line end, or any line whose check value
// fails, is a write cut short: it is ignored and everything else kept.
JournalRead ReadJournal(std::string_view gbkPath, TJournal& journal, std::string& error);
// The same for the journal's text; `gbkPath` only names it in the error text.
JournalRead ParseJournal(std::string_view text, TJournal& journal, std::string_view gbkPath,
                         std::string& error);

// Appends records and flushes them to disk.
bool AppendJournal(std::string_view gbkPath, std::string_view lines, std::string& error);
