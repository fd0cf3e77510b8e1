#include "TaskBuilder.h"

#include <gtest/gtest.h>

#include "TempRoot.h"
#include "core/records/DrawDataFile.h"
#include "core/text/Paths.h"

std::vector<int> BuildTask(TTombolixDataModule& dm, const TaskDef& s) {
  std::string err;
  auto N = [](int64_t v) { return db::Value(v); };
  const db::Params p = {
      N(s.taskId),   std::string("task"), s.mainImage,    N(s.idType),    std::string("title"),
      N(36),         s.fontColor,         s.remainText,   N(s.hideBegin), N(s.hideEnd),
      std::string(), N(s.orderBy),        N(s.luckAgain), s.music,        N(s.showLuck)};
  EXPECT_TRUE(db::ExecSql(dm.ARryPub, db::sql::kInsertTask, p, err)) << err;
  EXPECT_TRUE(db::ExecSql(dm.ARryPub, db::sql::kUpdateStageKeys, {s.stageKeys, N(s.taskId)}, err))
      << err;
  std::vector<int> ids;
  for (size_t i = 0; i < s.items.size(); ++i) {
    const int itemId = 2001 + static_cast<int>(i) + (s.taskId - 1001) * 100;
    const ItemDef& it = s.items[i];
    EXPECT_TRUE(db::ExecSql(dm.ARryPub, db::sql::kInsertItem,
                            {N(itemId), it.name, N(s.taskId), N(it.luckCount), N(it.listCount),
                             it.award, it.awardImage, N(static_cast<int64_t>(i) + 1)},
                            err))
        << err;
    ids.push_back(itemId);
  }
  if (!s.candidates.empty()) {
    const std::string path = paths::DrawDataPath(s.taskId);
    EXPECT_TRUE(WriteDrawDataFile(path, s.title, s.candidates, LongestIdLength(s.candidates), err));
    EXPECT_TRUE(db::ExecSql(dm.ARryPub, db::sql::kUpdateDataFilePath, {path, N(s.taskId)}, err));
  }
  return ids;
}

void NoStageKeyTimes(TTombolixDataModule& dm) {
  std::string err;
  EXPECT_TRUE(db::ExecSql(dm.ARryPub, "update LuckTask set StageKeys='0 0'", {}, err)) << err;
}

void WritePresets(int taskId, int itemId, const std::vector<std::string>& lines) {
  std::string content;
  for (const std::string& l : lines) content += l + "\r\n";
  WriteAll(paths::NativePath(paths::PresetFilePath(taskId, itemId)), content);
}
