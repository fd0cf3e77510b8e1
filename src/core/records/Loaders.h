// Loading a draw task and its prize items from the database into the records.
#pragma once

#include <string>

#include "core/records/Records.h"

namespace db {
class TQuery;
}

// Copies the LuckTask row the query stands on into `task`.
void ReadLuckTask(const db::TQuery& q, TLuckTask& task);

// Copies the TaskItem row the query stands on into `item` (all but ListIndex).
void ReadItemRecord(const db::TQuery& q, TItemRecord& item);

// Fills `task` from LuckTask; without a row the record keeps its contents.
bool LoadLuckTask(int taskId, TLuckTask& task, std::string& error);

// Fills `items` in ascending ListIndex with their number ranges; `items` is emptied first,
// so it is empty after every failure. `count` and `sum` change only on success.
bool LoadLuckItems(int taskId, TArrLuckItem& items, int32_t& count, int32_t& sum,
                   std::string& error);
