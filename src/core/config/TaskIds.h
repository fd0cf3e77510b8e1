// Task ids in use: a task row, or any file or folder a task leaves under its id. A new
// task or an imported one never gets an id in use, so nothing of an older task (its list,
// its winners, a journal of a draw left unfinished) is ever taken for a new one's.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace config {

// What names task `id` on this machine, GBK: "LuckTask" for its row, else the paths of
// DATA_FILE/<id>.txt, <id>.sha256, CHEAT_<id>_*.txt, PHOTO_<id>/ and MEDIA_<id>/, and of
// LUCK_FILE/<id>_*.txt, JOURNAL_<id>.txt, JOURNAL_<id>_DONE.txt and CHECKIN_<id>.txt that
// exist. False with the error when the database cannot be asked.
bool TaskIdUsers(int32_t id, std::vector<std::string>& users, std::string& error);

// The next id from the task counter that nothing uses; -1 after the allocator's own
// failure (already shown) or with `error` when the database cannot be asked.
int32_t NextFreeTaskId(std::string& error);

}  // namespace config
