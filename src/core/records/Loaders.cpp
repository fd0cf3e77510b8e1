#include "core/records/Loaders.h"

#include <algorithm>
#include <cstdint>

#include "core/db/TombolixDM.h"
#include "core/text/Gbk.h"

namespace {

db::TQuery* SharedQuery(std::string& error) {
  if (!TombolixDataModule) {
    error = db::NotConnectedText();
    return nullptr;
  }
  return &TombolixDataModule->ARryPub;
}

}  // namespace

void ReadLuckTask(const db::TQuery& q, TLuckTask& task) {
  task.TaskId = q.FieldAsInteger("TaskId");
  task.TaskName = q.FieldAsString("TaskName");
  task.MainImageName = q.FieldAsString("MainImageName");
  task.IdType = IdTypeOfColumn(q.FieldAsInteger("IdType"));
  task.MainTitle = q.FieldAsString("MainTitle");
  task.FontSize = q.FieldAsInteger("FontSize");
  task.FontColor = q.FieldAsString("FontColor");
  task.RemainText = q.FieldAsString("RemainText");
  task.HideBegin = q.FieldAsInteger("HideBegin");
  task.HideEnd = q.FieldAsInteger("HideEnd");
  task.PassWd = q.FieldAsString("PassWd");
  task.OrderBy = DrawTypeOfColumn(q.FieldAsInteger("OrderBy"));
  task.DataFilePath = q.FieldAsString("DataFilePath");
  task.LuckAgain = q.FieldAsInteger("LuckAgain");
  task.MusicFilePath = q.FieldAsString("MusicFilePath");
  task.ShowLuck = q.FieldAsInteger("ShowLuck");
}

void ReadItemRecord(const db::TQuery& q, TItemRecord& item) {
  item.ItemId = q.FieldAsInteger("ItemId");
  item.ItemName = q.FieldAsString("ItemName");
  item.TaskId = q.FieldAsInteger("TaskId");
  item.LuckCount = q.FieldAsInteger("LuckCount");
  item.ListCount = q.FieldAsInteger("ListCount");
  item.AwardName = q.FieldAsString("AwardName");
  item.AwardImageName = q.FieldAsString("AwardImageName");
}

bool LoadLuckTask(int taskId, TLuckTask& task, std::string& error) {
  db::TQuery* q = SharedQuery(error);
  if (!q || !db::OpenSql(*q, db::sql::kSelectTask, {int64_t{taskId}}, error)) return false;
  q->First();
  if (q->Eof()) {
    error = text::G("不存在该抽奖任务,任务号=") + std::to_string(taskId);
    return false;
  }
  ReadLuckTask(*q, task);
  error.clear();
  return true;
}

bool LoadLuckItems(int taskId, TArrLuckItem& items, int32_t& count, int32_t& sum,
                   std::string& error) {
  items.clear();
  db::TQuery* q = SharedQuery(error);
  if (!q || !db::OpenSql(*q, db::sql::kSelectItems, {int64_t{taskId}}, error)) return false;
  if (q->RecordCount() == 0) {
    error = text::G("该抽奖项目尚未配置抽奖奖项,请配置抽奖奖项,任务号=") + std::to_string(taskId);
    return false;
  }
  // Summed wide and held at the 32-bit limit: many large counts must not wrap round.
  auto clamp32 = [](int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
  };
  count = 0;
  int64_t total = 0;
  int64_t r = 0;
  items.reserve(static_cast<size_t>(q->RecordCount()));
  for (q->First(); !q->Eof(); q->Next()) {
    TLuckItem it;
    ReadItemRecord(*q, it);
    it.DrawnCount = 0;
    ++count;
    total += it.LuckCount;
    it.FirstNumber = clamp32(r);
    it.LastNumber = clamp32(r + it.LuckCount - 1);
    r += it.LuckCount;
    items.push_back(std::move(it));
  }
  sum = clamp32(total);
  error.clear();
  return true;
}

bool LoadRulesText(int taskId, std::string& rulesText, std::string& error) {
  db::TQuery* q = SharedQuery(error);
  if (!q || !db::OpenSql(*q, db::sql::kSelectTaskRules, {int64_t{taskId}}, error)) return false;
  q->First();
  if (q->Eof()) {
    error = text::G("不存在该抽奖任务,任务号=") + std::to_string(taskId);
    return false;
  }
  std::string all = q->FieldAsString("Rules");
  if (!db::OpenSql(*q, db::sql::kSelectItemRules, {int64_t{taskId}}, error)) return false;
  for (q->First(); !q->Eof(); q->Next()) {
    const std::string one = q->FieldAsString("Rules");
    if (!all.empty() && all.back() != '\n') all += '\n';
    all += one;
  }
  rulesText = std::move(all);
  error.clear();
  return true;
}

bool LoadStageColumns(int taskId, std::string& stored, std::string& error) {
  db::TQuery* q = SharedQuery(error);
  if (!q || !db::OpenSql(*q, db::sql::kSelectStageColumns, {int64_t{taskId}}, error)) return false;
  q->First();
  if (q->Eof()) {
    error = text::G("不存在该抽奖任务,任务号=") + std::to_string(taskId);
    return false;
  }
  stored = q->FieldAsString("StageColumns");
  error.clear();
  return true;
}

bool LoadStageKeys(int taskId, std::string& stored, std::string& error) {
  db::TQuery* q = SharedQuery(error);
  if (!q || !db::OpenSql(*q, db::sql::kSelectStageKeys, {int64_t{taskId}}, error)) return false;
  q->First();
  if (q->Eof()) {
    error = text::G("不存在该抽奖任务,任务号=") + std::to_string(taskId);
    return false;
  }
  stored = q->FieldAsString("StageKeys");
  error.clear();
  return true;
}

bool LoadCheckinOnly(int taskId, bool& checkinOnly, std::string& error) {
  db::TQuery* q = SharedQuery(error);
  if (!q || !db::OpenSql(*q, db::sql::kSelectCheckinOnly, {int64_t{taskId}}, error)) return false;
  q->First();
  if (q->Eof()) {
    error = text::G("不存在该抽奖任务,任务号=") + std::to_string(taskId);
    return false;
  }
  checkinOnly = q->FieldAsInteger("CheckinOnly") != 0;
  error.clear();
  return true;
}

bool LoadHideExcludeCount(int taskId, bool& hide, std::string& error) {
  hide = false;
  db::TQuery* q = SharedQuery(error);
  if (!q || !db::OpenSql(*q, "select HideExcludeCount from LuckTask where TaskId=?",
                         {int64_t{taskId}}, error))
    return false;
  q->First();
  hide = !q->Eof() && q->FieldAsInteger("HideExcludeCount") != 0;
  error.clear();
  return true;
}
