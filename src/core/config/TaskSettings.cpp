#include "core/config/TaskSettings.h"

#include "core/config/ConfigStore.h"
#include "core/config/Refusal.h"
#include "core/config/TaskIds.h"
#include "core/config/TaskSounds.h"
#include "core/db/TombolixDM.h"
#include "core/records/Colour.h"
#include "core/records/FileHash.h"
#include "core/records/Loaders.h"
#include "core/records/ResultsHistory.h"
#include "core/records/WinnerFiles.h"
#include "core/text/FileWrite.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "core/text/Text.h"

namespace config {

using text::G;
using text::Trim;

namespace {

// A hide position: empty and "0" mean none; otherwise a number of at most two digits.
bool HidePosition(std::string& field, std::string_view label, TaskField focus, int32_t& value,
                  TTaskFailure& f) {
  field = Trim(field);
  value = 0;
  if (field.empty() || field == "0") {
    field = "0";
    return true;
  }
  std::string message;
  if (!detail::NumberField(field, kMaxHidePosition, label, value, message))
    return Refuse(f, MessageKind::Attention, message, focus);
  return true;
}

}  // namespace

bool CheckTask(TTaskSettings& s, TLuckTask& row, TTaskFailure& f) {
  f = {};
  row = {};
  const bool update = !Trim(s.TaskId).empty();
  if (update && !text::ParseInt32(Trim(s.TaskId), row.TaskId))
    return Refuse(f, MessageKind::Attention, {}, TaskField::None);
  // A name of blanks only would be stored empty and show as an empty row in every list.
  if (Trim(s.TaskName).empty())
    return Refuse(f, MessageKind::Attention, G("请输入抽奖名称!"), TaskField::TaskName);
  if (Trim(s.FontSize).empty()) s.FontSize = "36";
  std::string message;
  if (!detail::NumberField(Trim(s.FontSize), kMaxFontSize, "标题字体大小", row.FontSize, message))
    return Refuse(f, MessageKind::Attention, message, TaskField::FontSize);
  if (row.FontSize < kMinFontSize)
    return Refuse(f, MessageKind::Attention,
                  G("[标题字体大小]不能小于") + std::to_string(kMinFontSize) + G(",请重新输入!"),
                  TaskField::FontSize);
  if (!s.OrderBy)
    return Refuse(f, MessageKind::Attention, G("请选择抽奖类型!"), TaskField::OrderBy);

  if (*s.OrderBy == TDrawType::ByProbability) {
    s.HideBegin = "0";
    s.HideEnd = "0";
    const std::string prob = Trim(s.Prob);
    if (prob.empty()) return Refuse(f, MessageKind::Attention, G("请输入概率值!"), TaskField::Prob);
    if (!detail::NumberField(prob, kMaxProbability, "中奖概率值", row.HideBegin, message))
      return Refuse(f, MessageKind::Attention, message, TaskField::Prob);
    if (row.HideBegin < 1)
      return Refuse(f, MessageKind::Attention, G("概率值不正确,请重新输入!"), TaskField::Prob);
    row.HideEnd = 0;
  } else {
    // The positions count characters (a Chinese one is one position), so any pair is whole.
    if (!HidePosition(s.HideBegin, "抽奖序号隐藏起始位置", TaskField::HideBegin, row.HideBegin, f))
      return false;
    if (!HidePosition(s.HideEnd, "抽奖序号隐藏截至位置", TaskField::HideEnd, row.HideEnd, f))
      return false;
    if (row.HideEnd < row.HideBegin)
      return Refuse(f, MessageKind::Error, G("隐藏起始位不能大于截止位!"), TaskField::HideBegin);
  }
  if (!s.IdType)
    return Refuse(f, MessageKind::Attention, G("请选择抽奖序号类型!"), TaskField::IdType);
  if (s.LuckAgain < 0)
    return Refuse(f, MessageKind::Attention, G("请选是否重复中奖!"), TaskField::LuckAgain);

  row.TaskName = Trim(s.TaskName);
  row.MainImageName = Trim(s.MainImage);
  row.IdType = *s.IdType;
  row.MainTitle = Trim(s.MainTitle);
  row.FontColor = Trim(s.FontColor);
  row.RemainText = Trim(s.RemainText);
  row.PassWd = Trim(s.PassWord);
  row.OrderBy = *s.OrderBy;
  // A new task never has draw data yet.
  row.DataFilePath = update ? Trim(s.DataFilePath) : std::string();
  row.LuckAgain = s.LuckAgain;
  row.MusicFilePath = Trim(s.MusicFilePath);
  row.ShowLuck = s.ShowLuck ? 0 : 1;
  return true;
}

bool SaveTask(TTaskSettings& s, TTaskFailure& f) {
  TLuckTask row;
  if (!CheckTask(s, row, f)) return false;
  const bool insert = Trim(s.TaskId).empty();
  std::string error;
  db::TQuery* q = detail::SharedQuery(error);
  if (!q) return Refuse(f, MessageKind::Error, error, TaskField::None);
  using N = int64_t;
  bool ok;
  if (insert) {
    // Never an id whose files an older task left (an unfinished draw's journal, say).
    const int id = NextFreeTaskId(error);
    // The allocator has shown its own failure; a task is never stored under id -1.
    if (id < 0) return Refuse(f, MessageKind::Error, error, TaskField::None);
    row.TaskId = id;
    s.TaskId = std::to_string(id);
    ok = db::ExecSql(*q, db::sql::kInsertTask,
                     {N{row.TaskId}, row.TaskName, row.MainImageName, N{ColumnOf(row.IdType)},
                      row.MainTitle, N{row.FontSize}, row.FontColor, row.RemainText,
                      N{row.HideBegin}, N{row.HideEnd}, row.PassWd, N{ColumnOf(row.OrderBy)},
                      N{row.LuckAgain}, row.MusicFilePath, N{row.ShowLuck}},
                     error);
    if (!ok) s.TaskId.clear();
  } else {
    ok = db::ExecSql(*q, db::sql::kUpdateTask,
                     {row.TaskName, row.MainImageName, N{ColumnOf(row.IdType)}, row.MainTitle,
                      N{row.FontSize}, row.FontColor, row.RemainText, N{row.HideBegin},
                      N{row.HideEnd}, N{ColumnOf(row.OrderBy)}, row.DataFilePath, N{row.LuckAgain},
                      row.PassWd, row.MusicFilePath, N{row.ShowLuck}, N{row.TaskId}},
                     error);
  }
  if (!ok) return Refuse(f, MessageKind::Error, error, TaskField::None);
  return true;
}

bool SelectTask(int taskId, TLuckTask& task, bool& found, std::string& error) {
  found = false;
  db::TQuery* q = detail::TaskQuery(error);
  if (!q || !db::OpenSql(*q, db::sql::kSelectTask, {int64_t{taskId}}, error)) return false;
  q->First();
  if (q->Eof()) return true;
  found = true;
  ReadLuckTask(*q, task);
  return true;
}

DataState DataStateOf(TDrawType orderBy, std::string_view dataFilePath) {
  if (orderBy != TDrawType::FromData) return DataState::NotNeeded;
  const std::string path = Trim(dataFilePath);
  if (!path.empty() && paths::FileExists(path)) return DataState::Imported;
  return DataState::NotImported;
}

std::string DataFlagText(DataState state) {
  switch (state) {
    case DataState::NotNeeded:
      return G("无需导入抽奖数据");
    case DataState::Imported:
      return G("抽奖数据已导入");
    case DataState::NotImported:
      break;
  }
  return G("抽奖数据未导入,请到\"抽奖数据导入\"页面导入抽奖数据");
}

std::string DataLabelText(DataState state) {
  switch (state) {
    case DataState::NotNeeded:
      return G("无需导入抽奖数据!");
    case DataState::Imported:
      return G("抽奖数据已经导入,如需更换数据,请重新选择文件导入数据!");
    case DataState::NotImported:
      break;
  }
  return G("抽奖数据尚未导入,抽奖前请先导入抽奖数据!");
}

bool RemoveTaskFiles(int taskId, const std::vector<int>& itemIds, std::string& error) {
  const std::string task = std::to_string(taskId);
  if (!DeleteTaskFile(task, "", 1, error)) return false;
  // The list's fingerprint goes with the list.
  if (paths::FileExists(ListFingerprintPath(taskId))) {
    std::string ignored;
    files::RemoveFile(ListFingerprintPath(taskId), ignored);
  }
  for (int itemId : itemIds) {
    std::string ignored;
    DeleteTaskFile(task, std::to_string(itemId), 3, ignored);
  }
  // Results are never deleted: the winner files and journals go to the history (and stay
  // where they are when they cannot be moved).
  std::string ignored;
  MoveTaskResultsToHistory(taskId, ignored);
  return true;
}

bool DeleteTask(int taskId, bool& rowsDeleted, std::string& error) {
  rowsDeleted = false;
  std::vector<int> itemIds;
  db::TQuery* q = detail::SharedQuery(error);
  if (!q) return false;
  // The item ids name the files; read before the rows go.
  if (db::OpenSql(*q, db::sql::kSelectItems, {int64_t{taskId}}, error)) {
    for (q->First(); !q->Eof(); q->Next()) itemIds.push_back(q->FieldAsInteger("ItemId"));
  }
  error.clear();
  // Both deletions or neither: a task row without its items, or items without their task,
  // would be left behind otherwise.
  const bool ok = detail::AllOrNothing(
      [taskId](db::TQuery& query, std::string& err) {
        return db::ExecSql(query, db::sql::kDeleteTask, {int64_t{taskId}}, err) &&
               db::ExecSql(query, db::sql::kDeleteTaskItems, {int64_t{taskId}}, err);
      },
      error);
  if (!ok) return false;
  rowsDeleted = true;
  // Sounds left behind would name files of a task that is gone; nothing else reads them.
  std::string ignored;
  DeleteTaskSounds(taskId, ignored);
  return RemoveTaskFiles(taskId, itemIds, error);
}

bool DigitKeyPasses(char32_t c) {
  return (c >= U'0' && c <= U'9') || c == 8 || c == 13 || c == 3 || c == 22 || c == 24;
}

int WhiteColourIndex() {
  const auto& list = NamedColours();
  for (size_t i = 0; i < list.size(); ++i) {
    if (list[i].rgb == 0xFFFFFF) return static_cast<int>(i);
  }
  return 0;
}

int ColourListIndex(std::string_view name) {
  uint32_t rgb = 0;
  if (!ColourFromName(name, rgb)) return WhiteColourIndex();
  const auto& list = NamedColours();
  for (size_t i = 0; i < list.size(); ++i) {
    if (list[i].rgb == rgb) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace config
