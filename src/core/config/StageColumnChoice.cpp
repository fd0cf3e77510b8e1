#include "core/config/StageColumnChoice.h"

#include "core/config/ConfigStore.h"
#include "core/db/TombolixDB.h"
#include "core/records/DrawDataFile.h"
#include "core/records/Loaders.h"
#include "core/text/Gbk.h"
#include "core/text/LineReader.h"
#include "core/text/Paths.h"
#include "core/text/Text.h"

namespace config {

bool LoadColumnChoices(int32_t taskId, std::vector<TColumnChoice>& columns, std::string& error) {
  columns.clear();
  TLuckTask task;
  std::string stored;
  if (!LoadLuckTask(taskId, task, error) || !LoadStageColumns(taskId, stored, error)) return false;
  const std::string path = DrawDataFileOf(task);
  if (task.DataFilePath.empty() || !paths::FileExists(path)) {
    error = text::G("请先导入抽奖数据");
    return false;
  }
  LineReader in;
  if (!in.Open(path, error)) return false;
  TDrawDataHead head;
  ReadDrawDataHead(in, head);
  if (head.linesRead < 4 || !head.begin) {
    error = head.linesRead < 4 && !in.Error().empty() ? in.Error()
                                                      : text::G("文件格式错误,请重新导入数据");
    return false;
  }
  const std::vector<TColumnShow> shows = ParseColumnShows(stored);
  for (std::string& title : text::SplitFields(head.titleLine)) {
    const size_t i = columns.size();
    columns.push_back({std::move(title), i < shows.size() ? shows[i] : TColumnShow::Shown});
  }
  error.clear();
  return true;
}

bool SaveColumnChoices(int32_t taskId, const std::vector<TColumnChoice>& columns,
                       std::string& error) {
  std::vector<TColumnShow> shows;
  for (const TColumnChoice& c : columns) shows.push_back(c.show);
  db::TQuery* q = detail::SharedQuery(error);
  return q && db::ExecSql(*q, db::sql::kUpdateStageColumns,
                          {FormatColumnShows(shows), int64_t{taskId}}, error);
}

}  // namespace config
