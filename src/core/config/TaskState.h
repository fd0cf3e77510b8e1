// What the main list tells of each task at a glance: how it draws, how many candidates it
// has, and whether it was drawn, is not yet, or has a draw waiting to go on. Answered from
// the task's files (draw data file, winner files, journal), never from the whole list.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/config/TaskList.h"

namespace config {

enum class TTaskPhase {
  NotDrawn,   // no winner file and no waiting journal
  Drawn,      // winner files (or a journal whose batches complete every prize item)
  Resumable,  // a journal of this very list holds batches of a draw that did not finish
};

enum class TListState {
  NotNeeded,   // a task drawn by probability has no list
  Missing,     // no draw data file
  Unreadable,  // a file whose head is not that of a draw data file
  Imported,
};

struct TTaskState {
  TDrawType DrawType = TDrawType::FromData;
  TListState List = TListState::Missing;
  int32_t Candidates = 0;  // the count in the draw data file's head
  TTaskPhase Phase = TTaskPhase::NotDrawn;
  int32_t Winners = 0;  // drawn: lines of the winner files; resumable: winners revealed
  std::string DrawnAt;  // "YYYY-MM-DD HH:MM", local time of the newest result file
};

// The state of one task from its files under the current data root; `dataFilePath` is the
// task's stored DataFilePath (GBK). Reads the first bytes of the draw data file, the winner
// files (a line each) and the journal; the candidate list itself is never read. A waiting
// journal is hashed against the draw data file, so one of an earlier list does not count.
TTaskState ReadTaskState(int32_t taskId, TDrawType type, const std::string& dataFilePath);

// The same for every row of `list`, in its order, listing LUCK_FILE once. False with the
// error text when the tasks' data file paths cannot be read; `states` is then empty.
bool ReadTaskStates(const TTaskList& list, std::vector<TTaskState>& states, std::string& error);

// The three texts of the list's columns, GBK: "按导入数据抽奖" / "按概率抽奖"; the number of
// candidates, "未导入" or "名单无法读取" ("—" without a list); "未抽奖", "已抽奖（<date>，<n>人）"
// or "未完成，可继续（已抽出<n>人）" ("—" by probability: such a draw keeps no results).
std::string DrawTypeText(const TTaskState& state);
std::string CandidatesText(const TTaskState& state);
std::string PhaseText(const TTaskState& state);

// The row the main list opens on: the first task whose draw is unfinished and can go on (after
// a crash that is the draw to continue, and the habitual Enter opens it), else the first row;
// -1 for an empty list.
int OpeningRow(const std::vector<TTaskState>& states, int rows);

}  // namespace config
