// Named awards (指定颁奖): an item whose winners are named before the event, by their ids on
// the list, and handed out by name, never drawn. The ids of an item are kept beside its
// preset list, in DATA_FILE/NAMED_<TaskId>_<ItemId>.txt: GBK, one id a line, CR LF. An item
// without the file is drawn as always; the preset list (which rolls) is a different thing.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/text/Messages.h"

inline constexpr std::string_view kNamedPrefix = "NAMED_";  // in DATA_FILE/

std::string NamedAwardPath(int taskId, int itemId);

// The item's named ids in file order (lines trimmed of bytes 0x00 to 0x20, empty ones
// skipped); none when there is no file. False with the reader's text.
bool LoadNamedIds(int taskId, int itemId, std::vector<std::string>& ids, std::string& error);

// Writes the item's ids (an empty list removes the file), written beside it and renamed into
// place. An id that is empty, holds a blank or is given twice is refused with its text.
bool SaveNamedIds(int taskId, int itemId, const std::vector<std::string>& ids, std::string& error);

// The candidates `ids` name on `lines` (the first line whose first field is the id), in the
// order of `ids`. False with a GBK message naming `itemName` and the first id that is not
// on the list or is named twice.
bool NamedCandidates(const std::vector<std::string>& ids, const std::vector<std::string>& lines,
                     std::string_view itemName, std::vector<int32_t>& candidates,
                     std::string& error);

// One item's named award as checked: the item and the ids named for it (none: it is drawn).
struct TNamedItem {
  int32_t ItemId = 0;
  std::string ItemName;
  int32_t LuckCount = 0;
  std::vector<std::string> Ids;
};

// The named awards of a task's items, in item order, against the list `lines` and each
// other: every id on the list once (NamedCandidates), as many ids as the item's 中奖人数, and,
// unless winners may win again, nobody named for two items. The one rule of the draw's
// set-up and of the configuration window. Fills `candidates` per named item id; false with
// the first refusal's kind and GBK text.
bool CheckNamedAwards(const std::vector<TNamedItem>& items, const std::vector<std::string>& lines,
                      bool mayWinAgain, std::map<int32_t, std::vector<int32_t>>& candidates,
                      MessageKind& kind, std::string& error);

// The winners a draw handed a named award, as (ItemId, id), as its journal's head fixed
// them (LoadNamedWinners in core/draw/NamedWinners.h).
using TNamedWinners = std::set<std::pair<int32_t, std::string>>;

// The column that marks a named winner's row in 结果查询 and both exports, and its mark
// (GBK): 颁奖方式, 指定.
std::string NamedColumnHead();
std::string NamedMark();

// The mark of each winner of item `itemId` whose id (first field) is `ids[i]`: NamedMark()
// or empty; no marks at all when none of them is named, so that no column is added.
std::vector<std::string> NamedMarks(const TNamedWinners& named, int32_t itemId,
                                    const std::vector<std::string>& ids);
