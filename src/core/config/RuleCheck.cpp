#include "core/config/RuleCheck.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <unordered_map>
#include <unordered_set>

#include "core/config/ItemSettings.h"
#include "core/config/TaskList.h"
#include "core/config/TaskRules.h"
#include "core/db/TombolixDM.h"
#include "core/draw/DrawJournal.h"
#include "core/draw/DrawTexts.h"
#include "core/records/DrawDataFile.h"
#include "core/records/WinnerFiles.h"
#include "core/text/Gbk.h"
#include "core/text/LineReader.h"
#include "core/text/Paths.h"
#include "core/text/Text.h"

namespace config {

using text::G;

namespace {

// A ticket count: a whole number that fits 64 bits, as the draw reads it.
bool Tickets(std::string_view s, int64_t& n) {
  n = 0;
  if (!text::IsAllDigits(s)) return false;
  for (char c : s) {
    const int d = c - '0';
    if (n > (INT64_MAX - d) / 10) return false;
    n = n * 10 + d;
  }
  return true;
}

std::string Bracketed(std::string_view s) { return "[" + std::string(s) + "]"; }
std::string Quoted(std::string_view s) { return G("“") + std::string(s) + G("”"); }

std::string ItemName(const TRuleContext& c, int32_t itemId) {
  for (const TRuleItem& i : c.Items)
    if (i.ItemId == itemId) return i.Name;
  return std::to_string(itemId);
}

std::string NoField(std::string_view where, std::string_view field) {
  return std::string(where) + G("：抽奖数据中没有") + Bracketed(field) + G("这一列");
}

std::string QuotaFault(std::string_view where, const TRuleQuota& q, const TRuleList& list) {
  if (FieldColumn(list, q.Field) < 0) return NoField(where, q.Field);
  if (q.Max < 1)
    return std::string(where) + G("：每个") + Bracketed(q.Field) + G("最多中奖人数不能小于1");
  return {};
}

// The candidate meets every condition of the item (given the columns of its conditions).
bool MeetsConditions(std::string_view line, const TItemRules& item,
                     const std::vector<int>& columns) {
  for (size_t k = 0; k < item.Conditions.size(); ++k) {
    const TRuleCondition& c = item.Conditions[k];
    const std::string_view v = text::FieldAt(line, columns[k]);
    const bool listed = std::binary_search(c.Values.begin(), c.Values.end(), v);
    if (listed != (c.Kind == TConditionKind::OneOf)) return false;
  }
  return true;
}

// The item's candidates as the counts see them: for each eligible line, its quota value.
struct TEligible {
  int64_t count = 0;
  std::map<std::string, int64_t, std::less<>> perQuotaValue;
  std::map<std::string, int64_t, std::less<>> perTaskQuotaValue;
};

// `mark`, when given, gets a 1 at each eligible line's place.
TEligible Eligible(const TTaskRules& rules, int32_t itemId, const TRuleContext& context,
                   std::vector<uint8_t>* mark = nullptr) {
  TEligible out;
  const TItemRules* item = rules.ItemRulesOf(itemId);
  const TItemRules none;
  if (!item) item = &none;
  std::vector<int> columns;
  for (const TRuleCondition& c : item->Conditions)
    columns.push_back(FieldColumn(context.List, c.Field));
  const int ticketColumn =
      rules.TicketsField.empty() ? -1 : FieldColumn(context.List, rules.TicketsField);
  const int quotaColumn = item->Quota.IsSet() ? FieldColumn(context.List, item->Quota.Field) : -1;
  const int taskQuotaColumn =
      rules.TaskQuota.IsSet() ? FieldColumn(context.List, rules.TaskQuota.Field) : -1;
  // An empty id names nobody, as in the draw.
  std::unordered_set<std::string_view> excluded(context.ExcludedIds.begin(),
                                                context.ExcludedIds.end());
  excluded.insert(rules.ExcludeIds.begin(), rules.ExcludeIds.end());
  excluded.insert(item->ExcludeIds.begin(), item->ExcludeIds.end());
  excluded.erase(std::string_view());
  for (size_t k = 0; k < context.List.Lines.size(); ++k) {
    const std::string& line = context.List.Lines[k];
    if (!MeetsConditions(line, *item, columns)) continue;
    if (!rules.TicketsField.empty()) {
      int64_t n = 0;
      if (!Tickets(text::FieldAt(line, ticketColumn), n) || n == 0) continue;
    }
    if (!excluded.empty() && excluded.count(text::FirstField(line))) continue;
    ++out.count;
    if (mark) (*mark)[k] = 1;
    if (quotaColumn >= 0) ++out.perQuotaValue[std::string(text::FieldAt(line, quotaColumn))];
    if (taskQuotaColumn >= 0)
      ++out.perTaskQuotaValue[std::string(text::FieldAt(line, taskQuotaColumn))];
  }
  return out;
}

// The most winners one quota lets `perValue` have.
int64_t CappedSum(const std::map<std::string, int64_t, std::less<>>& perValue, int32_t max) {
  int64_t reach = 0;
  for (const auto& [value, n] : perValue) reach += std::min<int64_t>(n, max);
  return reach;
}

// The most winners the quotas let the item have among the eligible `e`: the item's own and
// the task's, each alone, the smaller of the two.
int64_t ReachOf(const TEligible& e, const TTaskRules& rules, const TItemRules* item) {
  int64_t reach = e.count;
  if (item && item->Quota.IsSet())
    reach = std::min(reach, CappedSum(e.perQuotaValue, item->Quota.Max));
  if (rules.TaskQuota.IsSet())
    reach = std::min(reach, CappedSum(e.perTaskQuotaValue, rules.TaskQuota.Max));
  return reach;
}

}  // namespace

bool ReadRuleList(std::string_view gbkPath, TRuleList& list, std::string& error) {
  list = {};
  int32_t idMaxLength = 0;
  std::string title;
  // No count is required here: the draw's own set-up judges the number of winners.
  if (!ReadDrawDataFile(gbkPath, 0, 1, list.Lines, idMaxLength, title, error)) {
    list = {};
    return false;
  }
  list.Heads = text::SplitFields(title);
  return true;
}

int FieldColumn(const TRuleList& list, std::string_view field) {
  for (size_t i = 0; i < list.Heads.size(); ++i)
    if (list.Heads[i] == field) return static_cast<int>(i);
  return -1;
}

std::string FieldOf(std::string_view line, int column) {
  return column < 0 ? std::string() : std::string(text::FieldAt(line, column));
}

std::vector<TValueCount> FieldValues(const TRuleList& list, std::string_view field) {
  const int column = FieldColumn(list, field);
  if (column < 0) return {};
  std::unordered_map<std::string_view, int32_t> counts;
  for (const std::string& line : list.Lines) {
    const std::string_view v = text::FieldAt(line, column);
    if (!v.empty()) ++counts[v];
  }
  std::vector<TValueCount> out;
  out.reserve(counts.size());
  for (const auto& [v, n] : counts) out.push_back({std::string(v), n});
  std::sort(out.begin(), out.end(),
            [](const TValueCount& a, const TValueCount& b) { return a.Value < b.Value; });
  return out;
}

std::vector<TValueCount> ChecklistValues(const TRuleList& list, std::string_view field,
                                         const std::vector<std::string>& ticked,
                                         std::string& note) {
  note.clear();
  std::vector<TValueCount> values = FieldValues(list, field);
  const auto has = [&values](const std::string& v) {
    return std::binary_search(
        values.begin(), values.end(), TValueCount{v, 0},
        [](const TValueCount& a, const TValueCount& b) { return a.Value < b.Value; });
  };
  std::vector<TValueCount> gone;
  for (const std::string& v : ticked)
    if (!has(v)) gone.push_back({v, 0});
  if (values.size() > kMaxChecklistValues) {
    note = Bracketed(field) + G("有") + std::to_string(values.size()) +
           G("个不同的值，不适合按值限定，请选择其他字段");
    std::vector<TValueCount> kept;
    for (const TValueCount& v : values)
      if (std::binary_search(ticked.begin(), ticked.end(), v.Value)) kept.push_back(v);
    values = std::move(kept);
  }
  values.insert(values.end(), gone.begin(), gone.end());
  return values;
}

std::string ValueCaption(const TValueCount& v) {
  return v.Value + G("（") + std::to_string(v.Count) + G("人）");
}

std::string ConditionKindText(TConditionKind kind) {
  return kind == TConditionKind::OneOf ? G("是其中之一") : G("不是其中任何一个");
}

std::string NoQuotaText() { return G("（不限）"); }
std::string NoTicketsText() { return G("（每人一张）"); }

std::string ConditionsText(const TItemRules& item) {
  std::string out;
  for (const TRuleCondition& c : item.Conditions) {
    if (!out.empty()) out += G("；");
    out += c.Field + ConditionKindText(c.Kind) + G("：");
    for (size_t i = 0; i < c.Values.size(); ++i) out += (i ? G("、") : std::string()) + c.Values[i];
  }
  return out;
}

std::string ConditionsSummary(const TItemRules& item, bool listImported) {
  const std::string text = ConditionsText(item);
  if (text.empty())
    return listImported ? G("不限条件：所有人都可中此奖项") : G("导入抽奖数据后才能设置中奖条件");
  std::string out = G("仅限：") + text;
  // The checklist edits one condition a field; the others on it are kept, and said here.
  std::vector<std::pair<std::string, int>> perField;
  for (const TRuleCondition& c : item.Conditions) {
    auto it = std::find_if(perField.begin(), perField.end(),
                           [&](const auto& f) { return f.first == c.Field; });
    if (it == perField.end())
      perField.emplace_back(c.Field, 1);
    else
      ++it->second;
  }
  for (const auto& [field, n] : perField)
    if (n > 1)
      out += G("（") + Bracketed(field) + G("有") + std::to_string(n) +
             G("个条件，勾选框只修改第一个，其余照旧保留）");
  return out;
}

bool CheckRules(const TTaskRules& rules, const TRuleContext& context, std::string& error) {
  error.clear();
  const TRuleList& list = context.List;
  // Exclusions name tasks, not fields: they are judged without a list.
  const bool needsList =
      !rules.Items.empty() || rules.TaskQuota.IsSet() || !rules.TicketsField.empty();
  if (needsList && list.Heads.empty()) {
    error = G("请先导入抽奖数据，再设置中奖条件和名额限制");
    return false;
  }
  for (const TItemRules& item : rules.Items) {
    const std::string where = G("奖项") + Bracketed(ItemName(context, item.ItemId));
    for (const TRuleCondition& c : item.Conditions) {
      const std::string here = where + G("的中奖条件");
      if (FieldColumn(list, c.Field) < 0) {
        error = NoField(here, c.Field);
        return false;
      }
      if (c.Values.empty()) {
        error = here + G("：请勾选") + Bracketed(c.Field) + G("的值");
        return false;
      }
      const std::vector<TValueCount> values = FieldValues(list, c.Field);
      for (const std::string& v : c.Values) {
        const bool someone = std::binary_search(
            values.begin(), values.end(), TValueCount{v, 0},
            [](const TValueCount& a, const TValueCount& b) { return a.Value < b.Value; });
        if (!someone) {
          error =
              here + G("：抽奖数据中没有") + Bracketed(c.Field) + G("为") + Quoted(v) + G("的人");
          return false;
        }
      }
    }
    if (item.Quota.IsSet()) {
      error = QuotaFault(where + G("的名额限制"), item.Quota, list);
      if (!error.empty()) return false;
    }
  }
  if (!rules.TicketsField.empty()) {
    const std::string where = G("票数字段");
    const int column = FieldColumn(list, rules.TicketsField);
    if (column < 0) {
      error = NoField(where, rules.TicketsField);
      return false;
    }
    int64_t sum = 0;
    for (size_t i = 0; i < list.Lines.size(); ++i) {
      const std::string_view v = text::FieldAt(list.Lines[i], column);
      const auto line = [&] {
        return drawtext::CandidatePlace(i) + Bracketed(text::FirstField(list.Lines[i]));
      };
      int64_t n = 0;
      if (!Tickets(v, n)) {
        error = where + G("：") + line() + G("的") + Bracketed(rules.TicketsField) +
                (text::IsAllDigits(v) ? Quoted(v) + G("过大(最多9223372036854775807)")
                                      : Quoted(v) + G("不是大于等于0的整数"));
        return false;
      }
      // The draw picks a number below the total: it must fit too.
      if (n > INT64_MAX - sum) {
        error = where + G("：票数总和到") + line() + G("超过了9223372036854775807");
        return false;
      }
      sum += n;
    }
  }
  if (rules.TaskQuota.IsSet()) {
    error = QuotaFault(G("全场名额限制"), rules.TaskQuota, list);
    if (!error.empty()) return false;
  }
  for (int32_t task : rules.ExcludeTasks) {
    if (task == context.TaskId) {
      error = G("排除中奖者：不能排除本任务自己的中奖者");
      return false;
    }
    const bool known = std::any_of(context.Tasks.begin(), context.Tasks.end(),
                                   [task](const TRuleTask& t) { return t.TaskId == task; });
    if (!known) {
      error = G("排除中奖者：抽奖任务") + Bracketed(std::to_string(task)) + G("不存在");
      return false;
    }
  }
  return true;
}

int64_t EligibleCount(const TTaskRules& rules, int32_t itemId, const TRuleContext& context) {
  return Eligible(rules, itemId, context).count;
}

int64_t QuotaReach(const TTaskRules& rules, int32_t itemId, const TRuleContext& context) {
  return ReachOf(Eligible(rules, itemId, context), rules, rules.ItemRulesOf(itemId));
}

std::string TooFewText(const TTaskRules& rules, const TRuleContext& context, int32_t itemId) {
  std::string out;
  const bool taskWide = !rules.TicketsField.empty() || !rules.ExcludeTasks.empty() ||
                        !rules.ExcludeIds.empty() || rules.TaskQuota.IsSet();
  for (const TRuleItem& item : context.Items) {
    if (itemId != 0 && item.ItemId != itemId) continue;
    const TItemRules* own = rules.ItemRulesOf(item.ItemId);
    if (!own && !taskWide) continue;
    const TEligible e = Eligible(rules, item.ItemId, context);
    const std::string line =
        drawtext::TooFewForRules(item.Name, e.count, ReachOf(e, rules, own), item.LuckCount);
    if (line.empty()) continue;
    if (!out.empty()) out += "\n";
    out += line;
  }
  // The task's quota over every item together: those who keep the rules of any item.
  if (itemId == 0 && rules.TaskQuota.IsSet() && context.Items.size() > 1) {
    const int column = FieldColumn(context.List, rules.TaskQuota.Field);
    std::map<std::string, int64_t, std::less<>> perValue;
    int64_t wanted = 0;
    for (const TRuleItem& item : context.Items) wanted += item.LuckCount;
    std::vector<uint8_t> any(context.List.Lines.size(), 0);
    for (const TRuleItem& item : context.Items) Eligible(rules, item.ItemId, context, &any);
    for (size_t k = 0; k < any.size(); ++k)
      if (any[k]) ++perValue[std::string(text::FieldAt(context.List.Lines[k], column))];
    const std::string line =
        drawtext::TooFewForTaskQuota(CappedSum(perValue, rules.TaskQuota.Max), wanted);
    if (!line.empty()) out += (out.empty() ? "" : "\n") + line;
  }
  return out;
}

std::string RulesChangeQuestion(int32_t taskId, const TTaskRules& stored,
                                const TTaskRules& edited) {
  if (FormatRules(stored) == FormatRules(edited)) return {};
  TJournal pending;
  std::string ignored;
  if (ReadJournal(paths::JournalPath(taskId), pending, ignored) != JournalRead::Ok ||
      pending.Batches.empty())
    return {};
  return G("该抽奖项目有一次未完成的抽奖（已抽出") + std::to_string(pending.WinnerCount()) +
         G("人）。保存修改后的抽奖规则后，这次抽奖将无法继续，已抽出的中奖者会转入历史记录。"
           "是否仍要保存？");
}

bool LoadRules(int32_t taskId, TTaskRules& rules, std::string& error) {
  if (!TombolixDataModule) {
    error = db::NotConnectedText();
    return false;
  }
  return LoadTaskRules(*TombolixDataModule, taskId, rules, error);
}

bool SaveRules(int32_t taskId, const TTaskRules& rules, std::string& error) {
  if (!TombolixDataModule) {
    error = db::NotConnectedText();
    return false;
  }
  return SaveTaskRules(*TombolixDataModule, taskId, rules, error);
}

bool LoadExcludedIds(const std::vector<int32_t>& tasks, std::vector<std::string>& ids,
                     std::string& error) {
  ids.clear();
  for (int32_t task : tasks)
    if (!CurrentWinnerIds(task, ids, error)) return false;
  std::sort(ids.begin(), ids.end());
  ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
  error.clear();
  return true;
}

bool LoadRuleContext(int32_t taskId, const TTaskRules& rules, TRuleContext& context,
                     std::string& error) {
  context.TaskId = taskId;
  context.Items.clear();
  context.Tasks.clear();
  std::vector<TItemRow> items;
  if (!SelectItems(taskId, items, error)) return false;
  for (const TItemRow& i : items) context.Items.push_back({i.ItemId, i.ItemName, i.LuckCount});
  TTaskList tasks;
  if (!tasks.Load(error)) return false;
  for (const TTaskRow& t : tasks.Rows()) context.Tasks.push_back({t.TaskId, t.TaskName});
  return LoadExcludedIds(rules.ExcludeTasks, context.ExcludedIds, error);
}

bool LoadPresetRules(int32_t taskId, TTaskRules& rules, std::vector<std::string>& excludedIds,
                     std::string& error) {
  rules = {};
  excludedIds.clear();
  error.clear();
  if (!TombolixDataModule) return true;
  TTaskRules stored;
  if (!LoadRules(taskId, stored, error) ||
      !LoadExcludedIds(stored.ExcludeTasks, excludedIds, error))
    return false;
  rules = std::move(stored);
  return true;
}

bool PresetKeepsRules(const TTaskRules& rules, const TRuleItem& item,
                      const std::vector<std::string>& heads, std::string_view line,
                      const std::vector<std::string>& presets,
                      const std::vector<std::string>& excludedIds, std::string& message) {
  message.clear();
  TRuleList list;
  list.Heads = heads;
  const std::string id(text::FirstField(line));
  const std::string who =
      Bracketed(id) + G("不能指定为奖项") + Bracketed(item.Name) + G("的中奖者：");
  const TItemRules* own = rules.ItemRulesOf(item.ItemId);
  if (own) {
    for (const TRuleCondition& c : own->Conditions) {
      TItemRules one;
      one.Conditions = {c};
      if (!MeetsConditions(line, one, {FieldColumn(list, c.Field)})) {
        message = who + G("不符合中奖条件（") + ConditionsText(one) + G("）");
        return false;
      }
    }
  }
  if (!rules.TicketsField.empty()) {
    int64_t n = 0;
    if (!Tickets(FieldOf(line, FieldColumn(list, rules.TicketsField)), n) || n == 0) {
      message = who + G("票数") + Bracketed(rules.TicketsField) + G("为0");
      return false;
    }
  }
  if (std::find(excludedIds.begin(), excludedIds.end(), id) != excludedIds.end()) {
    message = who + G("已在排除的抽奖任务中中奖");
    return false;
  }
  if (std::binary_search(rules.ExcludeIds.begin(), rules.ExcludeIds.end(), id) ||
      (own && std::binary_search(own->ExcludeIds.begin(), own->ExcludeIds.end(), id))) {
    message = who + G("在排除名单中");
    return false;
  }
  if (own && own->Quota.IsSet()) {
    const int column = FieldColumn(list, own->Quota.Field);
    const std::string value = FieldOf(line, column);
    const auto same = std::count_if(presets.begin(), presets.end(), [&](const std::string& p) {
      return FieldOf(p, column) == value;
    });
    if (same >= own->Quota.Max) {
      message = who + G("每个") + Bracketed(own->Quota.Field) + G("最多") +
                std::to_string(own->Quota.Max) + G("名，") + Quoted(value) + G("已指定") +
                std::to_string(same) + G("名");
      return false;
    }
  }
  return true;
}

}  // namespace config
