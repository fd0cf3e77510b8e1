// The stored rules of a draw task: the task-wide lines (TICKETS, TASKQUOTA, EXCLUDE) in the
// LuckTask row's Rules column and each prize item's lines (ITEM, ITEMQUOTA) in its TaskItem
// row, all in FormatRules text, so what is stored is what the draw journals and hashes.
#pragma once

#include <cstdint>
#include <string>

#include "core/db/TombolixDM.h"
#include "core/draw/DrawRules.h"

// The data module under the name the rule routines take it by.
using TTombolixDB = TTombolixDataModule;

namespace config {

// Reads the task's rules from its row and its items' rows, normalised. False with a GBK
// error when the task row is missing, the database fails or a stored text does not parse
// (naming the task or item); `rules` is left as it was then. Rules of an item are only
// read from that item's own row: an ITEM line naming another item is refused.
bool LoadTaskRules(TTombolixDB& db, int32_t taskId, TTaskRules& rules, std::string& error);

// Stores the rules, all or nothing in one savepoint: the task-wide text on the task row,
// each item's text on its row and an empty text on every other item of the task. Refused
// with a GBK error, storing nothing, when the task is missing or a rule names an item the
// task does not have.
bool SaveTaskRules(TTombolixDB& db, int32_t taskId, const TTaskRules& rules, std::string& error);

// Stores the task option to leave the exclusion lists' count ("排除名单128人") off the draw
// screen's rules line (read by LoadHideExcludeCount). False with a GBK error when the
// database fails.
bool SaveHideExcludeCount(TTombolixDB& db, int32_t taskId, bool hide, std::string& error);

}  // namespace config
