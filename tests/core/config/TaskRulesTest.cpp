#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SqlRows.h"
#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/config/TaskRules.h"
#include "core/text/Gbk.h"

using text::G;

namespace {

class TaskRulesStore : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dm.DataModuleCreate());
    TaskDef t;
    t.items = {{G("一等奖"), 1, 1, ""}, {G("二等奖"), 2, 1, ""}};
    ids = BuildTask(dm, t);
    ASSERT_EQ(ids, (std::vector<int>{2001, 2002}));
  }
  TTaskRules Full() const {
    TTaskRules r;
    r.TicketsField = G("工龄");
    r.TaskQuota = {G("部门"), 5};
    r.ExcludeTasks = {1003, 1002};
    r.Items.push_back(TItemRules{
        2002, {TRuleCondition{G("分公司"), TConditionKind::NoneOf, {G("总部")}}}, {G("部门"), 2}});
    return r;
  }
  TempRoot root;
  TTombolixDataModule dm;
  std::vector<int> ids;
};

TEST_F(TaskRulesStore, SavedRulesSplitOverTheRowsAndLoadBackEqual) {
  std::string err;
  ASSERT_TRUE(config::SaveTaskRules(dm, 1001, Full(), err)) << err;
  sqlite3* h = dm.ADOConnection1.Handle();
  EXPECT_EQ(Rows(h, "select Rules from LuckTask where TaskId=1001"),
            (std::vector<std::string>{
                "TICKETS\t工龄\nTASKQUOTA\t部门\t5\nEXCLUDE\t1002\nEXCLUDE\t1003\n"}));
  EXPECT_EQ(Rows(h, "select ItemId, Rules from TaskItem order by ItemId"),
            (std::vector<std::string>{
                "2001|", "2002|ITEM\t2002\tNONEOF\t分公司\t总部\nITEMQUOTA\t2002\t部门\t2\n"}));
  TTaskRules back;
  ASSERT_TRUE(config::LoadTaskRules(dm, 1001, back, err)) << err;
  TTaskRules expected = Full();
  NormaliseRules(expected);
  EXPECT_EQ(back, expected);
  // Saving no rules clears every row.
  ASSERT_TRUE(config::SaveTaskRules(dm, 1001, TTaskRules{}, err)) << err;
  EXPECT_EQ(Rows(h, "select count(*) from TaskItem where Rules<>''"),
            (std::vector<std::string>{"0"}));
  ASSERT_TRUE(config::LoadTaskRules(dm, 1001, back, err));
  EXPECT_TRUE(back.Empty());
}

TEST_F(TaskRulesStore, ARuleForAForeignItemOrAMissingTaskStoresNothing) {
  std::string err;
  ASSERT_TRUE(config::SaveTaskRules(dm, 1001, Full(), err)) << err;
  sqlite3* h = dm.ADOConnection1.Handle();
  const std::vector<std::string> before = Rows(h, "select TaskId, Rules from LuckTask");
  const std::vector<std::string> itemsBefore = Rows(h, "select ItemId, Rules from TaskItem");
  TTaskRules other;
  other.TicketsField = G("积分");  // would be written first
  other.Items.push_back(TItemRules{2009, {}, {G("部门"), 1}});
  EXPECT_FALSE(config::SaveTaskRules(dm, 1001, other, err));
  EXPECT_EQ(err, G("奖项2009不属于抽奖任务1001，规则未保存。"));
  EXPECT_FALSE(config::SaveTaskRules(dm, 1077, Full(), err));
  EXPECT_EQ(err, G("抽奖任务1077不存在"));
  EXPECT_EQ(Rows(h, "select TaskId, Rules from LuckTask"), before);
  EXPECT_EQ(Rows(h, "select ItemId, Rules from TaskItem"), itemsBefore);
}

TEST_F(TaskRulesStore, AFailingUpdateRollsBackTheRowsAlreadyWritten) {
  std::string err;
  ASSERT_TRUE(config::SaveTaskRules(dm, 1001, Full(), err)) << err;
  ASSERT_TRUE(db::ExecRaw(dm.ADOConnection1,
                          "create trigger no_item before update on TaskItem when new.ItemId=2002 "
                          "begin select raise(abort, 'item is locked'); end",
                          err));
  EXPECT_FALSE(config::SaveTaskRules(dm, 1001, TTaskRules{}, err));
  EXPECT_NE(err.find("item is locked"), std::string::npos) << err;
  TTaskRules back;
  ASSERT_TRUE(config::LoadTaskRules(dm, 1001, back, err)) << err;
  TTaskRules expected = Full();
  NormaliseRules(expected);
  EXPECT_EQ(back, expected);  // the task row's update went back too
}

TEST_F(TaskRulesStore, DamagedOrMisplacedStoredTextIsReportedNotGuessed) {
  std::string err;
  ASSERT_TRUE(
      db::ExecRaw(dm.ADOConnection1,
                  "update TaskItem set Rules='ITEMQUOTA\t2001\t部门\t2\n' where ItemId=2002", err));
  TTaskRules back = Full();
  EXPECT_FALSE(config::LoadTaskRules(dm, 1001, back, err));
  EXPECT_EQ(err, G("奖项2002的抽奖规则已损坏：含有其他奖项或整个任务的规则。"));
  EXPECT_EQ(back.TicketsField, G("工龄"));  // left as it was
  ASSERT_TRUE(db::ExecRaw(
      dm.ADOConnection1, "update TaskItem set Rules=''; update LuckTask set Rules='TICKETS'", err));
  EXPECT_FALSE(config::LoadTaskRules(dm, 1001, back, err));
  EXPECT_EQ(err, G("抽奖任务1001的抽奖规则已损坏：抽奖规则第1行无法识别。"));
  EXPECT_FALSE(config::LoadTaskRules(dm, 1077, back, err));
  EXPECT_EQ(err, G("抽奖任务1077不存在"));
}

}  // namespace
