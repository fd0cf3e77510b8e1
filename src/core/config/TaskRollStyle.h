// How a task's roll looks on the draw screen: 滚动号码 (the ids in large type, every task's
// way) or 名单球 (a sphere of cards of those who may still win). It changes nothing of who
// wins, so it lives outside the task's row and its versioned schema: a table of its own,
// made on the first save, which an older program passes over (its draws roll numbers).
#pragma once

#include <cstdint>
#include <string>

enum class TRollStyle { Numbers = 0, Sphere = 1 };

namespace config {

// The task's style; Numbers for a task never saved with another. False with a GBK error
// when the database fails.
bool LoadRollStyle(int32_t taskId, TRollStyle& style, std::string& error);
// Stores the task's style (Numbers makes no table where there is none). False with a GBK
// error when the database fails; nothing changes.
bool SaveRollStyle(int32_t taskId, TRollStyle style, std::string& error);

}  // namespace config
