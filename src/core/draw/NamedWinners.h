// Which winners of a task's draw were handed a named award (指定颁奖): what the journal's
// head fixed before the first batch, so that a list edited after the draw changes no mark.
#pragma once

#include <cstdint>
#include <string>

#include "core/records/NamedAwardFile.h"

// The named winners of the task's finished draw (LUCK_FILE/JOURNAL_<TaskId>_DONE.txt), or,
// without one, of the draw under way; none when neither is there or names any. False with
// the reader's text when a journal is there but cannot be read (then none): the rows are
// shown and exported all the same, without the mark.
bool LoadNamedWinners(int32_t taskId, TNamedWinners& named, std::string& error);
