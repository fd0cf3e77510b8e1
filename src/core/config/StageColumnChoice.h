// The operator's choice, per column of a task's imported list, of what the stage shows:
// 在大屏显示 (shown or hidden) and whether the task's mask covers the column. Stored on the
// task's row (LuckTask.StageColumns) and so carried by the event package; the winner files
// and the exports keep every column whole.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/draw/StageColumns.h"

namespace config {

struct TColumnChoice {
  std::string title;  // the list's title of the column (GBK)
  TColumnShow show = TColumnShow::Shown;
};

// The columns of the task's list, in order, each with its stored choice. False with the
// system's text when the task or its list cannot be read (no list yet: "请先导入抽奖数据").
bool LoadColumnChoices(int32_t taskId, std::vector<TColumnChoice>& columns, std::string& error);
// Stores the choice; false with the database's text, and nothing changed.
bool SaveColumnChoices(int32_t taskId, const std::vector<TColumnChoice>& columns,
                       std::string& error);

// A list just imported keeps phone numbers off the projector: while the task's choice is still
// the default (every column shown), each column past the id whose values are all eleven
// digits (and not all empty) is hidden, and `note` says which, in the operator's words; empty
// when nothing changed. The id column keeps the task's mask. False with the error text when
// the list or the database cannot be read or written (the choice is then as it was).
bool HidePhoneColumns(int32_t taskId, std::string& note, std::string& error);

}  // namespace config
