// The task's 大屏按键 settings: how long after a reveal a start key is ignored, and how long
// a roll runs before a stop key lands it (core/draw/StageKeys.h). Stored on the task's row
// (LuckTask.StageKeys), and so carried by the event package.
#pragma once

#include <cstdint>
#include <string>

#include "core/draw/StageKeys.h"

namespace config {

// The task's spans; the defaults for a task never changed. False with a GBK error when the
// task or the database cannot be read.
bool LoadStageKeyTimes(int32_t taskId, TStageKeys& keys, std::string& error);
// Stores the spans, each clamped to 0 … TStageKeys::kMaxMs. False with the database's text,
// and nothing changed.
bool SaveStageKeyTimes(int32_t taskId, const TStageKeys& keys, std::string& error);

}  // namespace config
