// The checks of a task's draw rules against its imported list, and what the configuration
// windows offer for them: the fields of the title line, the values a field takes with their
// counts, the captions of the choices, the refusal of a rule that cannot work, the warning
// for an item left with fewer eligible candidates than it has winners, and the verdict on a
// preset winner. Texts are GBK.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/draw/DrawRules.h"

namespace config {

// The imported list the rules are written against: the heads of the title line and the
// candidate lines, in file order. A candidate's field is the one at the head's place in
// text::SplitFields of its line; a line too short for it has an empty field.
struct TRuleList {
  std::vector<std::string> Heads;
  std::vector<std::string> Lines;
};

// Reads the task's draw data file. False with the reader's error (also for a file without
// candidates); `list` is empty then.
bool ReadRuleList(std::string_view gbkPath, TRuleList& list, std::string& error);

// The place of `field` among the heads, -1 when the title line has no such head.
int FieldColumn(const TRuleList& list, std::string_view field);

// The field of candidate line `line` at `column`; empty past its last field.
std::string FieldOf(std::string_view line, int column);

struct TValueCount {
  std::string Value;
  int32_t Count = 0;
  bool operator==(const TValueCount&) const = default;
};

// The values the field takes in the list with the number of candidates having each, in
// bytewise order; empty fields are left out (a rule cannot name them). No such field: none.
std::vector<TValueCount> FieldValues(const TRuleList& list, std::string_view field);

// The most values the checklist offers one by one; a field with more (an id, a phone
// number) is no group to pick from.
inline constexpr size_t kMaxChecklistValues = 2000;

// The lines of the value checklist for `field` with `ticked` ticked: every value of the list
// (FieldValues), then the ticked ones no candidate has (count 0), so they can be unticked.
// Past kMaxChecklistValues only the ticked ones, and `note` says why; otherwise it is empty.
std::vector<TValueCount> ChecklistValues(const TRuleList& list, std::string_view field,
                                         const std::vector<std::string>& ticked, std::string& note);

// What the value checklist shows: "总部（12人）".
std::string ValueCaption(const TValueCount& v);

// The two kinds of condition, in the order the window offers them, and their captions
// "是其中之一" and "不是其中任何一个".
inline constexpr TConditionKind kConditionKinds[] = {TConditionKind::OneOf, TConditionKind::NoneOf};
std::string ConditionKindText(TConditionKind kind);

// The choice of no field in the field lists ("（不限）" for a quota, "（每人一张）" for tickets).
std::string NoQuotaText();
std::string NoTicketsText();

// One line for an item's conditions, as the item tab sums them up: each condition as
// "分公司不是其中任何一个：总部、深圳" joined by "；". Empty without conditions.
std::string ConditionsText(const TItemRules& item);

// The line under the item's checklist: "仅限：" and ConditionsText; without conditions
// "不限条件：所有人都可中此奖项", or, when no list was imported, "导入抽奖数据后才能设置中奖条件".
// A field with more than one condition (the checklist edits its first) is named after
// them, in the order of first use: "（[部门]有2个条件，勾选框只修改第一个，其余照旧保留）".
std::string ConditionsSummary(const TItemRules& item, bool listImported);

// A prize item and another task as the checks name them.
struct TRuleItem {
  int32_t ItemId = 0;
  std::string Name;
  int32_t LuckCount = 0;
};
struct TRuleTask {
  int32_t TaskId = 0;
  std::string Name;
};

// What the rules are checked against.
struct TRuleContext {
  int32_t TaskId = 0;  // the task the rules belong to
  TRuleList List;
  std::vector<TRuleItem> Items;  // the task's items; an item's rules are named by its name
  std::vector<TRuleTask> Tasks;  // every task of the database, this one included
  // Ids of the current winners of the excluded tasks (LoadExcludedIds), for the counts.
  std::vector<std::string> ExcludedIds;
};

// Fills what `context` holds but its list, for stored task `taskId`: its items as stored,
// every task of the database, and the current winners of the tasks `rules` excludes.
bool LoadRuleContext(int32_t taskId, const TTaskRules& rules, TRuleContext& context,
                     std::string& error);

// Refuses rules that cannot work on the list, with the first fault named:
//   a field (condition, quota, tickets) the title line does not have;
//   a condition without values, or with a value no candidate has;
//   a quota whose max is less than 1;
//   a tickets field whose value on some line is not a whole number of 0 to 2147483647 (the
//     line counted among the candidate lines from 1, with the candidate's id);
//   an excluded task that does not exist, or the task itself.
// Item rules are checked in item order, then the tickets, the task quota and the
// exclusions. Rules without anything to check pass on any list, also an empty one; other
// rules need an imported list.
bool CheckRules(const TTaskRules& rules, const TRuleContext& context, std::string& error);

// The number of candidates an item can draw from: those meeting its conditions, with more
// than 0 tickets when a tickets field is named (a ticket that does not parse counts as 0)
// and not among `context.ExcludedIds`.
int64_t EligibleCount(const TTaskRules& rules, int32_t itemId, const TRuleContext& context);

// The most winners the item's own quota lets it have among the eligible: the sum over the
// quota field's values of min(eligible with that value, max). EligibleCount without a quota.
int64_t QuotaReach(const TTaskRules& rules, int32_t itemId, const TRuleContext& context);

// The warning shown when the rules are saved, one line per item of `context.Items` (only
// item `itemId` when it is not 0) whose reach (QuotaReach) is below its 中奖个数, in the words
// the draw's set-up uses (drawtext::TooFewForRules); empty when every item has enough. An item is
// only named when rules apply to it (its own, the tickets or an exclusion).
std::string TooFewText(const TTaskRules& rules, const TRuleContext& context, int32_t itemId = 0);

// Asked before rules are saved that differ from the `stored` ones while a draw of task
// `taskId` is unfinished with batches drawn: that draw was fixed on the stored rules and
// cannot go on under others. Empty when there is nothing to ask. A No keeps the draw.
std::string RulesChangeQuestion(int32_t taskId, const TTaskRules& stored, const TTaskRules& edited);

// The stored rules of a task on the data module (config/TaskRules); false with the error,
// also when the data module is missing.
bool LoadRules(int32_t taskId, TTaskRules& rules, std::string& error);
bool SaveRules(int32_t taskId, const TTaskRules& rules, std::string& error);

// The ids (first fields) of the current winners of `tasks`: the lines after the title line
// of each of their items' winner files. A task without winner files adds nothing.
bool LoadExcludedIds(const std::vector<int32_t>& tasks, std::vector<std::string>& ids,
                     std::string& error);

// What the preset editor judges an item's presets by: the task's stored rules and the
// current winners of the tasks they exclude. Without a data module there is nothing stored
// to judge by: true with no rules.
bool LoadPresetRules(int32_t taskId, TTaskRules& rules, std::vector<std::string>& excludedIds,
                     std::string& error);

// Why candidate line `line` cannot be a preset winner of item `item` under `rules`: a
// condition of the item it fails, 0 tickets, a win in an excluded task (its id among
// `excludedIds`), or a full item quota given the item's presets `presets` (their candidate
// lines) already listed. `heads` are the title line's fields. True and an empty text when it
// may be drawn; false and the editor's text when not.
bool PresetKeepsRules(const TTaskRules& rules, const TRuleItem& item,
                      const std::vector<std::string>& heads, std::string_view line,
                      const std::vector<std::string>& presets,
                      const std::vector<std::string>& excludedIds, std::string& message);

}  // namespace config
