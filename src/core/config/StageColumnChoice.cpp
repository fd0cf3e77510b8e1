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

namespace {

bool ElevenDigits(std::string_view v) {
  if (v.size() != 11) return false;
  for (char c : v)
    if (c < '0' || c > '9') return false;
  return true;
}

}  // namespace

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

bool HidePhoneColumns(int32_t taskId, std::string& note, std::string& error) {
  note.clear();
  TLuckTask task;
  std::string stored;
  if (!LoadLuckTask(taskId, task, error) || !LoadStageColumns(taskId, stored, error)) return false;
  // The operator chose already: the choice stands.
  if (!FormatColumnShows(ParseColumnShows(stored)).empty()) return true;
  LineReader in;
  if (!in.Open(DrawDataFileOf(task), error)) return false;
  TDrawDataHead head;
  ReadDrawDataHead(in, head);
  if (head.linesRead < 4 || !head.begin) {
    error = !in.Error().empty() ? in.Error() : text::G("文件格式错误,请重新导入数据");
    return false;
  }
  const std::vector<std::string> titles = text::SplitFields(head.titleLine);
  // Per column: still a phone column, and a value seen.
  std::vector<uint8_t> phone(titles.size(), 1), seen(titles.size(), 0);
  std::string_view line;
  while (in.Next(line)) {
    if (line == "END") break;
    text::ForEachField(line, [&](size_t i, std::string_view f) {
      if (i == 0 || i >= titles.size() || f.empty()) return true;
      seen[i] = 1;
      if (!ElevenDigits(f)) phone[i] = 0;
      return true;
    });
  }
  if (in.Failed()) {
    error = in.Error();
    return false;
  }
  std::vector<TColumnChoice> columns;
  std::string names;
  for (size_t i = 0; i < titles.size(); ++i) {
    const bool hide = i > 0 && phone[i] && seen[i];
    columns.push_back({titles[i], hide ? TColumnShow::Hidden : TColumnShow::Shown});
    if (hide) names += (names.empty() ? "" : text::G("、")) + titles[i];
  }
  if (names.empty()) return true;
  if (!SaveColumnChoices(taskId, columns, error)) return false;
  note = text::G("手机号码不在大屏显示：") + names +
         text::G("列已设为不显示，可在基本配置的“大屏显示列...”中更改。");
  return true;
}

}  // namespace config
