// Who may win what in a draw from imported data: conditions on the fields of a candidate
// line per prize item, quotas per field value for an item and for the whole task, the
// winners of other tasks left out, and a field that gives each candidate's tickets. Every
// rule is optional; a task without rules draws as one flat list.
//
// Fields are named by their head in the title line and compared byte for byte (GBK) with
// the candidate's field at the same place (text::SplitFields of both lines). Field values
// hold no blank, since blanks split them, so the rules' text can use TAB between values.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum class TConditionKind {
  OneOf,   // the field is one of the values
  NoneOf,  // the field is none of the values
};

struct TRuleCondition {
  std::string Field;  // head in the title line (GBK)
  TConditionKind Kind = TConditionKind::OneOf;
  std::vector<std::string> Values;  // GBK; kept sorted bytewise, no duplicates
  bool operator==(const TRuleCondition&) const = default;
};

// At most `Max` winners per value of `Field`; no quota when the field is empty.
struct TRuleQuota {
  std::string Field;
  int32_t Max = 0;
  bool IsSet() const { return !Field.empty(); }
  bool operator==(const TRuleQuota&) const = default;
};

struct TItemRules {
  int32_t ItemId = 0;
  std::vector<TRuleCondition> Conditions;  // all must hold
  TRuleQuota Quota;
  // Ids (first fields) that may not win this item, from a list the operator chose (last
  // year's winners, say); kept sorted bytewise, no duplicates.
  // Initialised, so that {id, conditions, quota} needs no fourth part.
  std::vector<std::string> ExcludeIds = {};
  bool Empty() const { return Conditions.empty() && !Quota.IsSet() && ExcludeIds.empty(); }
  bool operator==(const TItemRules&) const = default;
};

struct TTaskRules {
  TRuleQuota TaskQuota;               // over all items of the task
  std::vector<int32_t> ExcludeTasks;  // their current winners may not win; kept sorted
  // Ids that may not win any item: a fixed list, kept sorted bytewise, no duplicates. Unlike
  // ExcludeTasks it never follows another task's later draws.
  std::vector<std::string> ExcludeIds;
  std::string TicketsField;       // empty: one ticket each
  std::vector<TItemRules> Items;  // sorted by ItemId, none Empty()
  bool Empty() const {
    return !TaskQuota.IsSet() && ExcludeTasks.empty() && ExcludeIds.empty() &&
           TicketsField.empty() && Items.empty();
  }
  // The item's rules, or nullptr when it has none.
  const TItemRules* ItemRulesOf(int32_t itemId) const;
  bool operator==(const TTaskRules&) const = default;
};

// Sorts and de-duplicates values, exclusions and items, and drops empty item rules, so
// equal rules have equal text.
void NormaliseRules(TTaskRules& rules);

// The rules as GBK text, one rule a line ending in LF, after NormaliseRules; empty for no
// rules. The lines, TAB-separated:
//   TICKETS <field>
//   TASKQUOTA <field> <max>
//   EXCLUDE <taskId>                       one line per task, ascending
//   EXCLUDEIDS <id>...                     the task's fixed exclusion list, one line
//   ITEM <itemId> ONEOF|NONEOF <field> <value>...   one line per condition
//   ITEMEXCLUDEIDS <itemId> <id>...        the item's fixed exclusion list, one line
//   ITEMQUOTA <itemId> <field> <max>
// in that order, item by item ascending (its ITEM lines, then ITEMEXCLUDEIDS, then
// ITEMQUOTA). This text is what is stored, journalled and hashed.
std::string FormatRules(const TTaskRules& rules);

// Reads FormatRules text (lines in any order; CR LF or LF). False with a GBK error naming
// the line when a line is not one of the forms above.
bool ParseRules(std::string_view text, TTaskRules& rules, std::string& error);

// Why `text` is not the canonical FormatRules text of what it parses to, in the operator's
// words (GBK): the parse error, or the first line that differs and what it should be.
// Empty when it is canonical.
std::string RulesTextFault(std::string_view text);

// A candidate's tickets as the draw reads them: a whole number of decimal digits that fits
// 2^63 - 1. False for anything else (blank, sign, other characters, too large); `n` is then 0.
bool ParseTickets(std::string_view text, int64_t& n);

// SHA-256 (hex) of FormatRules; empty when there are no rules.
std::string RulesHash(const TTaskRules& rules);
