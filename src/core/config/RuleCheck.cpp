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
#include "core/draw/CandidatePool.h"
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

// The draw's own pool over the context's list under `rules`: every count here is the
// pool's, so the configuration window and the draw agree on who may win. Rules the list
// cannot index (a missing field, a ticket that is no number) count nobody; CheckRules
// names them.
class TRuleCount {
 public:
  TRuleCount(const TTaskRules& rules, const TRuleContext& context) {
    TPoolRules given;
    given.Rules = rules;
    for (const std::string& head : context.List.Heads)
      given.TitleLine += (given.TitleLine.empty() ? "" : " ") + head;
    given.ExcludedIds = context.ExcludedIds;
    std::string error;
    std::shared_ptr<const TRulesIndex> index = IndexRules(context.List.Lines, given, error);
    m_indexed = error.empty();
    m_pool = TCandidatePool(context.List.Lines, m_presets, false);
    m_pool.UseRules(std::move(index));
  }
  int64_t Eligible(int32_t itemId) const {
    return m_indexed ? m_pool.RuleEligibleCount(itemId) : 0;
  }
  int64_t Reach(int32_t itemId) const { return m_indexed ? m_pool.RuleQuotaReach(itemId) : 0; }
  int64_t TaskReach(const std::vector<int32_t>& itemIds) const {
    return m_indexed ? m_pool.TaskQuotaReach(itemIds) : 0;
  }

 private:
  TArrCheatId m_presets;  // none: the pool keeps a reference
  TCandidatePool m_pool;
  bool m_indexed = false;
};

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
      if (!ParseTickets(v, n)) {
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
  return TRuleCount(rules, context).Eligible(itemId);
}

int64_t QuotaReach(const TTaskRules& rules, int32_t itemId, const TRuleContext& context) {
  return TRuleCount(rules, context).Reach(itemId);
}

std::string TooFewText(const TTaskRules& rules, const TRuleContext& context, int32_t itemId) {
  std::string out;
  const bool taskWide = !rules.TicketsField.empty() || !rules.ExcludeTasks.empty() ||
                        !rules.ExcludeIds.empty() || rules.TaskQuota.IsSet();
  const TRuleCount count(rules, context);
  for (const TRuleItem& item : context.Items) {
    if (itemId != 0 && item.ItemId != itemId) continue;
    if (!rules.ItemRulesOf(item.ItemId) && !taskWide) continue;
    const std::string line = drawtext::TooFewForRules(item.Name, count.Eligible(item.ItemId),
                                                      count.Reach(item.ItemId), item.LuckCount);
    if (line.empty()) continue;
    if (!out.empty()) out += "\n";
    out += line;
  }
  // The task's quota over every item together: those who keep the rules of any item.
  if (itemId == 0 && rules.TaskQuota.IsSet() && context.Items.size() > 1) {
    int64_t wanted = 0;
    std::vector<int32_t> ids;
    for (const TRuleItem& item : context.Items) {
      wanted += item.LuckCount;
      ids.push_back(item.ItemId);
    }
    const std::string line = drawtext::TooFewForTaskQuota(count.TaskReach(ids), wanted);
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
  // The line alone, judged by the draw's own rule.
  TPoolRules given;
  given.Rules = rules;
  NormaliseRules(given.Rules);  // the verdict names a condition in this order
  for (const std::string& head : heads)
    given.TitleLine += (given.TitleLine.empty() ? "" : " ") + head;
  given.ExcludedIds = excludedIds;
  const TArraySring one{std::string(line)};
  std::string error;
  const std::shared_ptr<const TRulesIndex> index = IndexRules(one, given, error);
  if (!error.empty()) {
    message = who + error;
    return false;
  }
  const TRuleVerdict verdict = index ? RuleVerdict(*index, item.ItemId, 0) : TRuleVerdict{};
  switch (verdict.bar) {
    case TRuleBar::None:
      break;
    case TRuleBar::Condition: {
      TItemRules failed;
      failed.Conditions = {given.Rules.ItemRulesOf(item.ItemId)->Conditions.at(verdict.condition)};
      message = who + G("不符合中奖条件（") + ConditionsText(failed) + G("）");
      return false;
    }
    case TRuleBar::NoTickets:
      message = who + G("票数") + Bracketed(rules.TicketsField) + G("为0");
      return false;
    case TRuleBar::ExcludedTask:
      message = who + G("已在排除的抽奖任务中中奖");
      return false;
    case TRuleBar::ExcludedList:
    case TRuleBar::NotCheckedIn:
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
