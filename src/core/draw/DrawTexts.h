// The texts the draw screen from imported data shows: its captions, the progress after each
// batch, the questions it asks and its messages. GBK, exactly as the screen shows them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/records/Records.h"

namespace drawtext {

// Before the first batch: the first item's name after the call to start.
std::string Ready(const TArrLuckItem& items);
// ItemName + "奖品:" + AwardName, or empty when the item has no award.
std::string Prize(const TLuckItem& item);
std::string Selecting();
std::string Rolling();

// After a batch that left the item incomplete.
std::string ItemGoesOn(const TLuckItem& item);
// After the batch that completed `done`; `left` items remain, `next` first.
std::string NextItem(const TLuckItem& done, const TLuckItem& next, int32_t left);
// After the last item.
std::string AllDrawn();
// The message the stage tells once every item is drawn and the winner files are written.
std::string FinishMessage();
// No eligible candidate left for the item.
std::string Exhausted(std::string_view itemName);

// The absent-winner question naming the winner's id and prize item, and the answer when
// nobody is left to replace.
std::string AbsentQuestion(std::string_view itemName, std::string_view winnerId);
std::string NoReplacement(std::string_view itemName);
// The mark after an absent winner's line in the winners list.
std::string AbsentMark();

// An earlier, unfinished draw holding `winners` winners: go on with it?
std::string ResumeQuestion(int32_t winners);
std::string PendingMismatch();
std::string PendingDamaged();
std::string ResultsQuestion();

}  // namespace drawtext

// The name of the prize item `itemId` among `items`, empty when none has it.
std::string ItemNameOf(const TArrLuckItem& items, int32_t itemId);
