#include <gtest/gtest.h>

#include <string>

#include "TempRoot.h"
#include "core/config/TaskList.h"
#include "core/db/TombolixDM.h"
#include "core/records/ExampleTasks.h"
#include "core/text/Gbk.h"

using text::G;

TEST(TaskList, ReadsEveryTaskWithItsIdAndDrawTypeAndKeepsItsRowsOnFailure) {
  TempRoot root;
  TTombolixDataModule dm(SeedExampleTasks);
  ASSERT_TRUE(dm.DataModuleCreate());
  config::TTaskList list;
  std::string error;
  ASSERT_TRUE(list.Load(error)) << error;
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.At(0)->TaskId, 1001);
  EXPECT_EQ(list.At(0)->TaskName, G("年会抽奖示例"));
  EXPECT_EQ(list.At(0)->OrderBy, TDrawType::FromData);
  EXPECT_EQ(list.At(1)->TaskId, 1002);
  EXPECT_EQ(list.At(1)->OrderBy, TDrawType::ByProbability);
  EXPECT_EQ(list.At(2), nullptr);
  EXPECT_EQ(list.At(-1), nullptr);
  EXPECT_EQ(list.IndexOf(1002), 1);
  EXPECT_EQ(list.IndexOf(1003), -1);

  ASSERT_TRUE(db::ExecRaw(dm.ADOConnection1, "drop table LuckTask", error));
  EXPECT_FALSE(list.Load(error));
  EXPECT_NE(error.find("LuckTask"), std::string::npos);
  EXPECT_EQ(list.Count(), 2);
}

TEST(TaskList, TheRowAfterAReloadIsTheSavedTaskThenThePreviousThenItsPlace) {
  config::TTaskList list;
  EXPECT_EQ(config::RowAfterReload(list, 1001, 1001, 0), -1);
  for (int32_t id : {1001, 1002, 1003}) {
    config::TTaskRow r;
    r.TaskId = id;
    list.Append(r);
  }
  EXPECT_EQ(config::RowAfterReload(list, 1003, 1001, 0), 2);  // just saved or created
  EXPECT_EQ(config::RowAfterReload(list, 0, 1002, 1), 1);     // cancelled: as before
  EXPECT_EQ(config::RowAfterReload(list, 1009, 1002, 0), 1);  // saved, then deleted
  EXPECT_EQ(config::RowAfterReload(list, 0, 1004, 1), 1);     // deleted: its neighbour
  EXPECT_EQ(config::RowAfterReload(list, 0, 1004, 3), 2);     // the last one deleted
  EXPECT_EQ(config::RowAfterReload(list, 0, 0, -1), 0);       // nothing was selected
  list.Remove(0);
  list.Rename(0, "x");
  EXPECT_EQ(list.At(0)->TaskId, 1002);
  EXPECT_EQ(list.At(0)->TaskName, "x");
}
