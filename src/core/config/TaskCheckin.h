// The task option "仅抽取已签到人员": the draw's pool is the list's candidates who checked in
// on the LAN, fixed when the draw screen opens.
#pragma once

#include <cstdint>
#include <string>

namespace config {

// Stores the option on the task's row (LuckTask.CheckinOnly). False with a GBK error when
// the task is missing or the database fails; nothing changes then.
bool SaveCheckinOnly(int32_t taskId, bool checkinOnly, std::string& error);

}  // namespace config
