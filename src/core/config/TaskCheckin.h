// The task option "仅抽取已签到人员": the draw's pool is the list's candidates who checked in
// on the LAN, fixed when the draw screen opens.
#pragma once

#include <cstdint>
#include <string>

namespace config {

// Stores the option on the task's row (LuckTask.CheckinOnly). False with a GBK error when
// the task is missing or the database fails; nothing changes then.
bool SaveCheckinOnly(int32_t taskId, bool checkinOnly, std::string& error);

// A draw of those checked in needs their check-ins on this machine, and they stay where
// check-in ran (LUCK_FILE/CHECKIN_<TaskId>.txt): no event package carries them. The operator's
// warning (GBK) when the task draws only those checked in and this machine holds nobody
// checked in for it, or its check-in file does not read; empty otherwise (and for a task
// that cannot be read, whose draw says why itself).
std::string CheckinMissingText(int32_t taskId);
// The same asked before the draw screen opens; Yes opens it all the same.
std::string CheckinMissingQuestion(int32_t taskId);

}  // namespace config
