// The texts the draw screen from imported data shows: its captions, the progress after each
// batch, the questions it asks and its messages. GBK, exactly as the screen shows them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include <vector>

#include "core/draw/DrawRules.h"
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

// The rules of item `itemId` in one short line for the band before its batches, each rule
// kind in a few words, separated by full-width blanks:
//   仅限：分公司不是总部，员工类型是实习、试用　每部门最多2名　每部门全场最多5名
//   不含午宴中奖者　排除名单128人　按工龄计票
// Value lists over three show the first three and "等N项". Empty when no rule applies.
// `excludedNames` names the excluded tasks, in the rules' order. `listedPeople` counts the
// people of the draw's list whom the exclusion lists (the task's and the item's) shut out,
// not the ids the lists name (a title row or last year's leavers are no one here); the part
// is left out when it is 0 or `showExcludeList` is off.
std::string RulesLine(const TTaskRules& rules, int32_t itemId,
                      const std::vector<std::string>& excludedNames, int64_t listedPeople,
                      bool showExcludeList = true);
// An item whose rules leave it fewer winners than its 中奖个数 `luckCount`, the same words
// at set-up and when the rules are saved: `eligible` candidates keep its rules, of whom its
// own quota lets at most `reach` win (reach <= eligible; equal without a quota):
//   奖项[新人奖]符合条件的只有1人，少于中奖个数2，抽完这些人后该奖项即结束
//   奖项[一等奖]符合条件的有6人，按名额限制最多抽出4人，少于中奖个数5，抽完这些人后该奖项即结束
// Empty when `reach` is not below `luckCount`.
std::string TooFewForRules(std::string_view itemName, int64_t eligible, int64_t reach,
                           int64_t luckCount);

// The task's quota lets fewer win than all items together want, or empty:
//   全场名额限制最多抽出3人，少于各奖项中奖个数之和6，抽完这些人后抽奖即结束
std::string TooFewForTaskQuota(int64_t reach, int64_t luckCounts);

// Candidate `k` (from 0) as the operator finds it: "第5名候选人（抽奖数据文件第9行）". The
// draw data file has four lines before its first candidate.
std::string CandidatePlace(size_t k);

// Why a tickets value is refused: "票数[12a]不是0或正整数" or, for digits past
// 9223372036854775807, "票数[…]过大(最多9223372036854775807)".
std::string TicketsFault(std::string_view value);

// Set-up: preset entries of the item that its rules shut out.
std::string PresetsAgainstRules(std::string_view itemName, int32_t count);
// A batch passed over preset entries the rules or the draw so far shut out.
std::string PresetsSkipped(std::string_view itemName, int32_t count);
// The winner files of an excluded task cannot be read.
std::string ExcludedUnreadable(int32_t taskId, std::string_view error);

// The absent-winner question, in words the hall may read: the prize item and the winner as
// TStage::PersonText names them. The answer when nobody is left to replace.
std::string AbsentQuestion(std::string_view itemName, std::string_view person);
std::string NoReplacement(std::string_view itemName);
// The status line while a replacement for the item rolls: "[五等奖] 替补".
std::string ReplacementRolling(std::string_view itemName);
// The mark after an absent winner's line in the winners list.
std::string AbsentMark();

// An earlier, unfinished draw holding `winners` winners: go on with it?
std::string ResumeQuestion(int32_t winners);
std::string PendingMismatch();
std::string PendingDamaged();
std::string ResultsQuestion();
// Leaving with winners revealed and items still to draw.
std::string LeaveQuestion();

}  // namespace drawtext

// The name of the prize item `itemId` among `items`, empty when none has it.
std::string ItemNameOf(const TArrLuckItem& items, int32_t itemId);
