// Winner files (LUCK_FILE/<TaskId>_<ItemId>.txt), preset-winner files
// (DATA_FILE/CHEAT_<TaskId>_<ItemId>.txt) and the text export of winners.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/records/NamedAwardFile.h"
#include "core/records/Records.h"
#include "core/records/VoidFile.h"

// Writes one winner file per prize item: the title line, then the candidate lines of the
// item's winners in draw order. The task's previous winner files and finished journal move
// to a dated folder of the results history first. Either every file is written or none
// is: on a failure the previous files are back in place.
bool SaveWinnerFiles(const TArrLuckItem& items, const TArrLuckId& winners,
                     std::string_view titleLine, std::string& error);

// The same with the absent winners: each item with absent winners also gets its absent file
// (LUCK_FILE/ABSENT_<TaskId>_<ItemId>.txt: the title line, then one line per absent winner
// in the order marked). With `intoHistory` false the files of the same draw are replaced
// where they are (after a replacement on the finished screen), nothing moves.
bool SaveDrawFiles(const TArrLuckItem& items, const TArrLuckId& winners,
                   const TArrAbsentId& absences, std::string_view titleLine, bool intoHistory,
                   std::string& error);
// The same with the voided winners: each item with voided winners also gets its void file.
bool SaveDrawFiles(const TArrLuckItem& items, const TArrLuckId& winners,
                   const TArrAbsentId& absences, const TArrVoidId& voids,
                   std::string_view titleLine, bool intoHistory, std::string& error);

// An absent file's line: the absent winner's candidate line, a blank and "替补:" with the
// replacement's id.
std::string AbsentLine(const TAbsentId& absence);
// The field an absent line ends with, "替补:" + id; the rest is the candidate line.
bool SplitAbsentLine(std::string_view line, std::string& candidateLine, std::string& replacementId);

// True when the task's results are exactly the winner files SaveWinnerFiles would write
// now, and nothing else (a draw killed after writing them, before finishing its journal).
bool WinnerFilesInPlace(const TArrLuckItem& items, const TArrLuckId& winners,
                        std::string_view titleLine);
// The same with the absent files SaveDrawFiles would write.
bool DrawFilesInPlace(const TArrLuckItem& items, const TArrLuckId& winners,
                      const TArrAbsentId& absences, std::string_view titleLine);
bool DrawFilesInPlace(const TArrLuckItem& items, const TArrLuckId& winners,
                      const TArrAbsentId& absences, const TArrVoidId& voids,
                      std::string_view titleLine);

// True when some of the draw files stand as the `before` winners and absences would write
// them and every other one as the `after` ones would: a rewrite for one more replacement that
// was cut short. A file `before` would not write may be missing.
bool DrawFilesBehind(const TArrLuckItem& items, const TArrLuckId& winners,
                     const TArrAbsentId& absences, const TArrLuckId& winnersBefore,
                     const TArrAbsentId& absencesBefore, std::string_view titleLine);

// The ids (first fields) of the task's current winners: every line after the title line of
// each of its winner files in LUCK_FILE/ (<TaskId>_<n>.txt), appended to `ids`. A task
// without winner files adds nothing; a file that cannot be read fails with its text.
bool CurrentWinnerIds(int taskId, std::vector<std::string>& ids, std::string& error);

// Appends the non-empty trimmed lines of the item's preset-winner file; a missing file adds
// nothing and is no error.
bool LoadPresetEntries(int taskId, int itemId, TArrCheatId& entries, std::string& error);

// A winner file split into fields, as a grid shows it.
struct TWinnerFile {
  bool exists = false;
  std::vector<std::string> head;               // fields of the title line
  std::vector<std::vector<std::string>> rows;  // at most kMaxWinnerRows
};

inline constexpr int kMaxWinnerRows = 1000;

// Reads the item's winner file. A missing file gives true with `exists` false. More than
// kMaxWinnerRows winners gives true with the warning in `error`.
bool LoadWinnerFile(int taskId, int itemId, TWinnerFile& file, std::string& error);

// The item's absent file split into fields as a grid shows them: the title line's fields,
// and per absent winner the fields of its candidate line and the replacement's id. A missing
// file gives true with `exists` false.
struct TAbsentFile {
  bool exists = false;
  std::vector<std::string> head;
  struct Row {
    std::vector<std::string> fields;
    std::string replacementId;
  };
  std::vector<Row> rows;
};
bool LoadAbsentFile(int taskId, int itemId, TAbsentFile& file, std::string& error);

// The check-ins of the task's check-in file, in file order: (id, "YYYY-MM-DD HH:MM:SS").
// Empty when the task has none. False with the reader's error.
bool CheckinRows(int32_t taskId, std::vector<std::pair<std::string, std::string>>& rows,
                 std::string& error);

// Writes the task name and, for each item (or only `itemId` when it is 0 or more) whose
// winner file exists, an empty line, the item name and the winner file's lines; when the
// item has an absent file, then an empty line, the item name with "缺席名单" and that file's
// lines; when it has a void file, then an empty line, the item name with "作废名单", the title
// line and per voided winner its line, "作废:" and the reason, the time, and "重抽:" with the
// id drawn for the place or "名额空缺". A whole task's export (`itemId` below 0) of a task with
// check-ins ends with an empty line, "签到名单", the line "号码 签到日期 签到时间" and one line a
// check-in. An item with winners in `named` has NamedColumnHead() after its title line and
// NamedMark() after each named winner's line, a blank before each.
bool ExportWinnersText(const TArrLuckItem& items, const TLuckTask& task, int itemId,
                       std::string_view gbkPath, std::string& error,
                       const TNamedWinners& named = {});

// Deletes a task's file: kind 1 the draw data file, 2 the winner file, 3 the preset-winner
// file. A missing file, or any other kind, is no error.
bool DeleteTaskFile(std::string_view taskId, std::string_view itemId, int kind, std::string& error);
