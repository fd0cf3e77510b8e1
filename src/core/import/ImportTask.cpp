#include "core/import/ImportTask.h"

#include "core/config/RuleCheck.h"
#include "core/config/StageColumnChoice.h"
#include "core/db/TombolixDB.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "core/text/Text.h"

namespace dataimport {

using text::G;

namespace {

// What the task's saved rules make of the new list, in the words of the rules' own checks;
// empty when they hold (or there are none). The list is in either way: the rule is the
// operator's to mend, now rather than when the draw's set-up refuses it.
std::string RulesAgainst(int32_t taskId, const std::string& dataFile) {
  TTaskRules rules;
  config::TRuleContext context;
  std::string error;
  if (!config::LoadRules(taskId, rules, error)) return G("无法检查已保存的抽奖规则：") + error;
  if (rules.Empty()) return {};
  if (!config::LoadRuleContext(taskId, rules, context, error) ||
      !config::ReadRuleList(dataFile, context.List, error))
    return G("无法检查已保存的抽奖规则：") + error;
  if (!config::CheckRules(rules, context, error))
    return G("已保存的抽奖规则与新名单不符，请修改规则：") + error;
  return config::TooFewText(rules, context);
}

// The message of an import that succeeded: "导入成功!" only when every row with data is in.
void TellOutcome(const Notes& notes, const std::string& rules, Outcome& out) {
  const std::string count = G("共导入") + std::to_string(notes.imported) + G("行");
  if (notes.rowsWithoutId > 0) {
    out.message = G("导入完成，但有") + notes.rowsWithoutIdText + G("。") + count + G("。");
  } else {
    out.message = G("导入成功!");
    if (notes.emptyRows > 0) out.message += count + G("，") + notes.emptyRowsText + G("。");
  }
  if (notes.rowsWithoutId > 0 && notes.emptyRows > 0)
    out.message += "\n" + notes.emptyRowsText + G("。");
  std::vector<std::string> warnings = notes.warnings;
  if (!rules.empty()) warnings.push_back(rules);
  for (const std::string& w : warnings) out.message += "\n" + w;
  out.messageKind = notes.rowsWithoutId > 0 || !warnings.empty() ? MessageKind::Warning
                                                                 : MessageKind::Information;
}

}  // namespace

Outcome ImportForTask(db::TQuery& query, std::string_view taskIdText, std::string_view source,
                      SourceKind kind, TIdType idType, const Callbacks& callbacks) {
  Outcome out;
  const std::string id = text::Trim(taskIdText);
  int32_t taskId = 0;
  if (!text::IsAllDigits(id) || !text::ParseInt32(id, taskId)) return out;
  out.ran = true;
  const auto log = [&](const std::string& line) {
    if (callbacks.log) callbacks.log(line);
  };
  const std::string path = text::Trim(source);
  if (path.empty() || !paths::FileExists(path)) {
    out.messageKind = MessageKind::Error;
    out.message = G("文件不存在,请重新选择文件!");
    return out;
  }
  log(G("开始导入文件..."));
  log(G("正在导入文件:") + path);
  std::string target, error;
  Notes notes;
  const bool ok = kind == SourceKind::Text
                      ? ImportTextFile(path, taskId, idType, callbacks, target, error, &notes)
                      : ImportSpreadsheet(path, taskId, idType, callbacks, target, error, &notes);
  if (!ok) {
    out.messageKind = MessageKind::Error;
    out.message = error;
    return out;
  }
  out.targetPath = target;
  if (!db::ExecSql(query, db::sql::kUpdateDataFilePath, {target, int64_t{taskId}}, error)) {
    log(G("导入文件出错,") + error);
    out.messageKind = MessageKind::Error;
    out.message = error;
    return out;
  }
  out.imported = true;
  const std::string rules = RulesAgainst(taskId, target);
  if (!rules.empty()) log(G("警告:") + rules);
  log(notes.rowsWithoutId > 0
          ? G("导入文件完成,有") + std::to_string(notes.rowsWithoutId) + G("行未导入!")
          : G("导入文件成功!"));
  TellOutcome(notes, rules, out);
  // The columns are known now: phone numbers start off the stage, and the operator hears so.
  std::string columns;
  if (!config::HidePhoneColumns(taskId, columns, error)) {
    columns = G("无法设置大屏显示列：") + error;
    out.messageKind = MessageKind::Warning;
  }
  if (!columns.empty()) out.message += "\n" + columns;
  return out;
}

}  // namespace dataimport
