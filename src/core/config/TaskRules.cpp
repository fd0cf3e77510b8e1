#include "core/config/TaskRules.h"

#include <algorithm>
#include <vector>

#include "core/text/Gbk.h"

namespace config {

namespace {

TTaskRules TaskWidePart(const TTaskRules& rules) {
  TTaskRules part = rules;
  part.Items.clear();
  return part;
}

TTaskRules ItemPart(const TItemRules& item) {
  TTaskRules part;
  part.Items.push_back(item);
  return part;
}

bool ReadItemIds(db::TQuery& q, int32_t taskId, std::vector<int32_t>& ids, std::string& error) {
  if (!db::OpenSql(q, db::sql::kSelectItemRules, {int64_t{taskId}}, error)) return false;
  for (q.First(); !q.Eof(); q.Next()) ids.push_back(q.FieldAsInteger("ItemId"));
  return true;
}

bool TaskExists(db::TQuery& q, int32_t taskId, bool& exists, std::string& error) {
  if (!db::OpenSql(q, db::sql::kSelectTaskRules, {int64_t{taskId}}, error)) return false;
  exists = q.RecordCount() > 0;
  return true;
}

std::string MissingTaskText(int32_t taskId) {
  return text::G("抽奖任务") + std::to_string(taskId) + text::G("不存在");
}

}  // namespace

bool LoadTaskRules(TTombolixDB& dm, int32_t taskId, TTaskRules& out, std::string& error) {
  db::TQuery q{dm.ADOConnection1};
  if (!db::OpenSql(q, db::sql::kSelectTaskRules, {int64_t{taskId}}, error)) return false;
  if (q.RecordCount() == 0) {
    error = MissingTaskText(taskId);
    return false;
  }
  TTaskRules rules;
  std::string why;
  if (!ParseRules(q.FieldAsString("Rules"), rules, why) || !rules.Items.empty()) {
    error = text::G("抽奖任务") + std::to_string(taskId) + text::G("的抽奖规则已损坏：") +
            (why.empty() ? text::G("含有奖项的规则。") : why);
    return false;
  }
  if (!db::OpenSql(q, db::sql::kSelectItemRules, {int64_t{taskId}}, error)) return false;
  for (q.First(); !q.Eof(); q.Next()) {
    const int32_t itemId = q.FieldAsInteger("ItemId");
    TTaskRules itemRules;
    why.clear();
    const bool parsed = ParseRules(q.FieldAsString("Rules"), itemRules, why);
    const bool own = parsed && itemRules.TicketsField.empty() && !itemRules.TaskQuota.IsSet() &&
                     itemRules.ExcludeTasks.empty() && itemRules.ExcludeIds.empty() &&
                     std::all_of(itemRules.Items.begin(), itemRules.Items.end(),
                                 [itemId](const TItemRules& r) { return r.ItemId == itemId; });
    if (!own) {
      error = text::G("奖项") + std::to_string(itemId) + text::G("的抽奖规则已损坏：") +
              (why.empty() ? text::G("含有其他奖项或整个任务的规则。") : why);
      return false;
    }
    for (TItemRules& r : itemRules.Items) rules.Items.push_back(std::move(r));
  }
  NormaliseRules(rules);
  out = std::move(rules);
  return true;
}

bool SaveTaskRules(TTombolixDB& dm, int32_t taskId, const TTaskRules& given, std::string& error) {
  TTaskRules rules = given;
  NormaliseRules(rules);
  db::TConnection& c = dm.ADOConnection1;
  db::TQuery q{c};
  if (!db::ExecRaw(c, "savepoint task_rules", error)) return false;
  const auto statements = [&]() -> bool {
    bool exists = false;
    if (!TaskExists(q, taskId, exists, error)) return false;
    if (!exists) {
      error = MissingTaskText(taskId);
      return false;
    }
    std::vector<int32_t> ids;
    if (!ReadItemIds(q, taskId, ids, error)) return false;
    for (const TItemRules& item : rules.Items)
      if (std::find(ids.begin(), ids.end(), item.ItemId) == ids.end()) {
        error = text::G("奖项") + std::to_string(item.ItemId) + text::G("不属于抽奖任务") +
                std::to_string(taskId) + text::G("，规则未保存。");
        return false;
      }
    if (!db::ExecSql(q, db::sql::kUpdateTaskRules,
                     {FormatRules(TaskWidePart(rules)), int64_t{taskId}}, error))
      return false;
    for (int32_t id : ids) {
      const TItemRules* item = rules.ItemRulesOf(id);
      const std::string itemText = item ? FormatRules(ItemPart(*item)) : std::string();
      if (!db::ExecSql(q, db::sql::kUpdateItemRules, {itemText, int64_t{taskId}, int64_t{id}},
                       error))
        return false;
    }
    return true;
  };
  if (statements() && db::ExecRaw(c, "release task_rules", error)) return true;
  std::string ignored;
  db::ExecRaw(c, "rollback to task_rules", ignored);
  db::ExecRaw(c, "release task_rules", ignored);
  return false;
}

bool SaveHideExcludeCount(TTombolixDB& dm, int32_t taskId, bool hide, std::string& error) {
  db::TQuery q{dm.ADOConnection1};
  return db::ExecSql(q, "update LuckTask set HideExcludeCount=? where TaskId=?",
                     {int64_t{hide ? 1 : 0}, int64_t{taskId}}, error);
}

}  // namespace config
