// The check-ins of a task's draw as the exports list them: the check-in file read through
// the draw's journal, apart from the check-in service so a reader of the records needs
// neither the server nor the desks.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace checkin {

// The task's check-ins as the 签到名单 export lists them (id, time): for a draw of those
// checked in, the ones its journal fixed (a check-in file that grew afterwards changes
// nothing); else every record. False with the reader's error.
bool CheckinsOfDraw(int32_t taskId, std::vector<std::pair<std::string, std::string>>& rows,
                    std::string& error);

}  // namespace checkin
