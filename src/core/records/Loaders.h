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

// The task's stored rules text: its LuckTask row's, then each prize item's in ItemId order
// (FormatRules lines, empty when the task has none). False with the database's text, or
// when the task row is missing.
bool LoadRulesText(int taskId, std::string& rulesText, std::string& error);

// The task's option to draw only those checked in on the LAN (LuckTask.CheckinOnly). False
// with the database's text, or naming the task when its row is missing.
bool LoadCheckinOnly(int taskId, bool& checkinOnly, std::string& error);

// The task's option to leave the exclusion lists' count off the draw screen's rules line
// (LuckTask.HideExcludeCount). False with the database's text; a missing row reads as shown.
bool LoadHideExcludeCount(int taskId, bool& hide, std::string& error);

// The operator's choice of the columns the stage shows (LuckTask.StageColumns, see
// core/draw/StageColumns.h); empty when every column shows. False as LoadCheckinOnly.
bool LoadStageColumns(int taskId, std::string& stored, std::string& error);

// How the stage takes the operator's keys in time (LuckTask.StageKeys, see
// core/draw/StageKeys.h); empty for the defaults. False as LoadCheckinOnly.
bool LoadStageKeys(int taskId, std::string& stored, std::string& error);
