// The prize claims of one draw (LUCK_FILE/CLAIM_<TaskId>_<key>.txt, <key> the first 16 hex
// digits of the draw's key): GBK, CR LF, a head line "CLAIM<TAB><TaskId><TAB><draw key>" and
// one claim a line, "<id><TAB><ItemId><TAB><YYYY-MM-DD HH:MM:SS><TAB><desk>", appended and
// flushed to disk before the desk is told. Only a line that ends in its line end is a claim;
// what follows the last one is a write cut short, cut back before the next append.
//
// The draw key is the SHA-256 of the first line of the draw's journal, which no later write
// changes, so every draw of a task keeps claims of its own: a new draw's results moving the
// old ones to the history take that draw's claims along, and never the new draw's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace claims {

// Longest id and desk name a claim may hold, in GBK bytes.
inline constexpr size_t kMaxIdBytes = 64;
inline constexpr size_t kMaxDeskBytes = 32;
inline constexpr std::string_view kClaimPrefix = "CLAIM_";  // in LUCK_FILE/

struct TClaimRecord {
  std::string Id;  // GBK, as on the list
  int32_t ItemId = 0;
  std::string Time;  // YYYY-MM-DD HH:MM:SS, local time
  std::string Desk;  // GBK: the paired desk's name, or the results window's
  bool operator==(const TClaimRecord&) const = default;
};

struct TClaimFile {
  int32_t TaskId = 0;
  std::string DrawKey;
  std::vector<TClaimRecord> Records;  // in file order; a repeated claim keeps its first
  size_t WholeBytes = 0;              // bytes of the head and whole records
  bool TornTail = false;
};

// The key of the draw whose journal is at `gbkJournalPath` (64 hex digits); empty when the
// file is missing or holds no whole line yet.
std::string JournalDrawKey(std::string_view gbkJournalPath);
// The key of a task's results drawn without a journal.
std::string NoJournalKey();
// The draw on stage or last drawn: the open journal's key, else the finished one's, else
// NoJournalKey.
std::string CurrentDrawKey(int32_t taskId);
// The draw the task's winner files come from: the finished journal's key, else the open
// one's (a draw killed between its files and the journal's rename), else NoJournalKey.
std::string ResultsDrawKey(int32_t taskId);

// LUCK_FILE/CLAIM_<TaskId>_<key16>.txt of the current data root, or of `root` (with its
// trailing separator; empty gives the name within any root).
std::string ClaimFilePath(int32_t taskId, std::string_view drawKey);
std::string ClaimFilePath(std::string_view root, int32_t taskId, std::string_view drawKey);
// Every claim file of the task in LUCK_FILE (GBK paths, sorted).
std::vector<std::string> TaskClaimFiles(int32_t taskId);
// Those of draws other than the open journal's (all of them without one): what goes to the
// history when the open draw's results replace the earlier ones.
std::vector<std::string> StaleClaimFiles(int32_t taskId);

std::string FormatClaimHead(int32_t taskId, std::string_view drawKey);
std::string FormatClaimRecord(const TClaimRecord& record);

// Reads the file's text. A missing head is an empty file (nothing whole yet); a head of
// another task or draw, or a line that is no claim before the last whole line, is an error
// (GBK) naming the file and line: such a file is not ours to append to.
bool ParseClaimFile(std::string_view text, TClaimFile& file, std::string_view gbkPath,
                    std::string& error);
// The same from disk; a missing file is an empty one.
bool ReadClaimFile(std::string_view gbkPath, TClaimFile& file, std::string& error);
// The claims of the draw (task and key) from its file, checked to be that draw's: false with
// the error of a file that belongs elsewhere or is damaged.
bool ReadDrawClaims(int32_t taskId, std::string_view drawKey, TClaimFile& file, std::string& error);

// The claims of the draw whose winner files the results show, by (id, ItemId).
using TClaimsByWinner = std::map<std::pair<std::string, int32_t>, TClaimRecord>;
bool ResultsClaims(int32_t taskId, TClaimsByWinner& claims, std::string& error);

// The results window's 领取 column for the item's winner rows (their first field is the id):
// "<HH:MM> <desk>" for a claimed winner, empty for the others.
std::vector<std::string> ClaimMarks(const TClaimsByWinner& claims, int32_t itemId,
                                    const std::vector<std::vector<std::string>>& rows);
// The head of that column and of the export's, and the export's sheet name.
std::string ClaimColumnHead();  // 领取
std::string ClaimExportHead();  // 领奖
// "HH:MM" of a claim's time.
std::string ClockOf(std::string_view time);

// Appends claims to the file, first writing the head when it holds nothing whole yet and
// cutting back a torn tail; flushed to disk before it returns. False with the error when
// nothing new is whole on disk.
class TClaimWriter {
 public:
  void Continue(std::string path, int32_t taskId, std::string drawKey, size_t wholeBytes);
  bool Append(std::string_view records, std::string& error);

 private:
  std::string m_path;
  int32_t m_taskId = 0;
  std::string m_drawKey;
  size_t m_wholeBytes = 0;
};

}  // namespace claims
