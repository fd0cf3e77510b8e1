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

}  // namespace config
