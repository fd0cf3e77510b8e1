// The configuration window's side of named awards (指定颁奖): the ids as a person types or
// pastes them, and the item as typed checked by the very rule the draw's set-up applies.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/text/Messages.h"

namespace config {

// The ids in `gbkText`, in order: separated by blanks, line ends, commas, semicolons and
// their full-width forms (，、；　), empty pieces skipped. An id named twice stays twice, for
// the check to name it.
std::vector<std::string> SplitNamedIds(std::string_view gbkText);

// Item `itemId` of stored task `taskId` (0 for an item not stored yet) named `itemName` with
// 中奖人数 `luckCount` and the named `ids`, checked with the task's other items and their stored
// named awards against the candidate lines `lines`, as the draw's set-up checks them
// (CheckNamedAwards). False with the kind and the set-up's own words, or a reader's error.
bool CheckNamedAward(int32_t taskId, int32_t itemId, const std::string& itemName, int32_t luckCount,
                     const std::vector<std::string>& ids, const std::vector<std::string>& lines,
                     MessageKind& kind, std::string& error);

// What the window says of the ids entered while they hold: "已指定2人,中奖个数2" (GBK).
std::string NamedCountText(size_t named, int32_t luckCount);

// The question before an item stops being a named award and its `count` ids are dropped.
std::string NamedDropQuestion(size_t count);

}  // namespace config
