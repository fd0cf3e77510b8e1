#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/config/ItemSettings.h"
#include "core/db/TombolixDM.h"
#include "core/text/Gbk.h"

using config::ItemField;
using text::G;

namespace {

config::TItemSettings Item(const std::string& name, const std::string& luck,
                           const std::string& list) {
  config::TItemSettings s;
  s.TaskId = "1001";
  s.Name = name;
  s.LuckCount = luck;
  s.ListCount = list;
  return s;
}

// "name:ListIndex" of the task's items in draw order.
std::vector<std::string> Order(TTombolixDataModule& dm, int taskId = 1001) {
  std::vector<std::string> out;
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(dm.ADOConnection1.Handle(),
                     "select ItemName, ListIndex from TaskItem where TaskId=? order by ListIndex, "
                     "ItemName",
                     -1, &st, nullptr);
  sqlite3_bind_int(st, 1, taskId);
  while (sqlite3_step(st) == SQLITE_ROW)
    out.push_back(text::Utf8ToGbk(reinterpret_cast<const char*>(sqlite3_column_text(st, 0))) + ":" +
                  std::to_string(sqlite3_column_int(st, 1)));
  sqlite3_finalize(st);
  return out;
}

class ItemStore : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dm.DataModuleCreate());
    TaskDef t;
    BuildTask(dm, t);
  }
  // Saves a new item last, as the tab does.
  std::string Add(const std::string& name, int count) {
    config::TItemSettings s = Item(name, "3", "1");
    config::TItemFailure f;
    EXPECT_TRUE(config::SaveItem(s, false, count, f)) << f.text;
    return s.ItemId;
  }
  TempRoot root;
  TTombolixDataModule dm;
};

}  // namespace

TEST(ItemChecks, RefuseInTheirOrder) {
  struct Case {
    const char* what;
    config::TItemSettings s;
    bool prob;
    const char* text;
    ItemField focus;
  };
  config::TItemSettings noTask = Item("", "", "");
  noTask.TaskId = " ";
  const std::vector<Case> cases = {
      {"no task yet", noTask, false, "", ItemField::None},
      {"empty name", Item("", "", ""), false, "请输入奖项名称!", ItemField::Name},
      {"blank name", Item("   ", "5", "5"), false, "请输入奖项名称!", ItemField::Name},
      {"no count", Item(G("一等奖"), "", "1"), false, "请输入中奖个数!", ItemField::LuckCount},
      {"count pasted", Item(G("一等奖"), "5x", "1"), false, "[中奖个数]只能输入数字,请重新输入!",
       ItemField::LuckCount},
      {"count too big", Item(G("一等奖"), "10000000", "1"), false,
       "[中奖个数]不能大于9999999,请重新输入!", ItemField::LuckCount},
      {"no per-press count", Item(G("一等奖"), "5", " "), false, "请输入每次抽取个数!",
       ItemField::ListCount},
      {"per-press pasted", Item(G("一等奖"), "5", "a"), false,
       "[每次抽取个数]只能输入数字,请重新输入!", ItemField::ListCount},
      {"more per press than in all", Item(G("一等奖"), "5", "6"), false,
       "[每次抽取个数]不能大于[中奖个数],请重新选择", ItemField::ListCount},
      {"nobody to draw", Item(G("一等奖"), "0", "0"), false, "[中奖个数]必须大于0,请重新输入!",
       ItemField::LuckCount},
      {"nobody per press", Item(G("一等奖"), "5", "00"), false,
       "[每次抽取个数]必须大于0,请重新输入!", ItemField::ListCount},
  };
  for (Case c : cases) {
    config::TItemFailure f;
    EXPECT_FALSE(config::CheckItem(c.s, c.prob, f)) << c.what;
    EXPECT_EQ(f.kind, MessageKind::Attention) << c.what;
    EXPECT_EQ(f.text, G(c.text)) << c.what;
    EXPECT_EQ(f.focus, c.focus) << c.what;
  }
  config::TItemFailure f;
  config::TItemSettings equal = Item(G("一等奖"), "5", "5");
  EXPECT_TRUE(config::CheckItem(equal, false, f));
  // A probability task has no per-press count: it is the total.
  config::TItemSettings prob = Item(G("一等奖"), "5", "");
  EXPECT_TRUE(config::CheckItem(prob, true, f));
  EXPECT_EQ(prob.ListCount, "5");
  // A prize of a probability task may be out of stock: it then never wins.
  config::TItemSettings none = Item(G("一等奖"), "0", "");
  EXPECT_TRUE(config::CheckItem(none, true, f));
}

TEST_F(ItemStore, InsertGoesLastAndUpdateKeepsThePlace) {
  Add("A", 0);
  Add("B", 1);
  config::TItemSettings s = Item(G(" 特等奖 'VIP' "), " 7 ", "2");
  s.AwardName = G("笔记本 \"Pro\" ");
  s.AwardImage = G(" /图/奖's.jpg");
  config::TItemFailure f;
  ASSERT_TRUE(config::SaveItem(s, false, 2, f)) << f.text;
  EXPECT_EQ(Order(dm), (std::vector<std::string>{"A:1", "B:2", G("特等奖 'VIP'") + ":3"}));

  config::TItemRow row;
  bool found = false;
  std::string err;
  ASSERT_TRUE(config::SelectItemByName(1001, G("特等奖 'VIP'"), row, found, err)) << err;
  ASSERT_TRUE(found);
  EXPECT_EQ(std::to_string(row.ItemId), s.ItemId);
  EXPECT_EQ(row.LuckCount, 7);
  EXPECT_EQ(row.ListCount, 2);
  EXPECT_EQ(row.AwardName, G("笔记本 \"Pro\""));
  EXPECT_EQ(row.AwardImageName, G("/图/奖's.jpg"));

  s.Name = G("一等奖");
  s.LuckCount = "9";
  ASSERT_TRUE(config::SaveItem(s, false, 3, f)) << f.text;
  EXPECT_EQ(Order(dm), (std::vector<std::string>{"A:1", "B:2", G("一等奖") + ":3"}));
  std::vector<config::TItemRow> rows;
  ASSERT_TRUE(config::SelectItems(1001, rows, err));
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[2].LuckCount, 9);
}

TEST_F(ItemStore, ANameIsUsedOncePerTask) {
  const std::string a = Add("A", 0);
  Add("B", 1);
  config::TItemSettings dup = Item(" A ", "1", "1");
  config::TItemFailure f;
  EXPECT_FALSE(config::SaveItem(dup, false, 2, f));
  EXPECT_EQ(f.text, G("该抽奖任务已有奖项[A],请输入其他奖项名称!"));
  EXPECT_EQ(f.focus, ItemField::Name);
  EXPECT_EQ(dup.ItemId, "");
  // Renaming B to A is refused too; saving A under its own name is not.
  config::TItemSettings rename = Item("A", "1", "1");
  rename.ItemId = std::to_string(std::stoi(a) + 1);
  EXPECT_FALSE(config::SaveItem(rename, false, 2, f));
  config::TItemSettings same = Item("A", "4", "1");
  same.ItemId = a;
  EXPECT_TRUE(config::SaveItem(same, false, 2, f)) << f.text;
  // Another task may use the name.
  TaskDef other;
  other.taskId = 1002;
  BuildTask(dm, other);
  config::TItemSettings elsewhere = Item("A", "1", "1");
  elsewhere.TaskId = "1002";
  EXPECT_TRUE(config::SaveItem(elsewhere, false, 0, f)) << f.text;
  EXPECT_EQ(Order(dm), (std::vector<std::string>{"A:1", "B:2"}));
}

TEST_F(ItemStore, RenumberAfterMovesAndDeletes) {
  Add("A", 0);
  const std::string b = Add("B", 1);
  const std::string c = Add("C", 2);
  std::string err;
  // B moved up: the list reads B, A, C.
  ASSERT_TRUE(config::RenumberItems(1001, {"B", "A", "C"}, 1, 0, err)) << err;
  EXPECT_EQ(Order(dm), (std::vector<std::string>{"B:1", "A:2", "C:3"}));
  // Delete the middle one (A): C follows up to 2.
  ASSERT_TRUE(config::DeleteItem(1001, std::stoi(b) - 1, {"B", "C"}, 1, err)) << err;
  EXPECT_EQ(Order(dm), (std::vector<std::string>{"B:1", "C:2"}));
  // Delete the last one: the new last keeps its index.
  ASSERT_TRUE(config::DeleteItem(1001, std::stoi(c), {"B"}, 0, err)) << err;
  EXPECT_EQ(Order(dm), (std::vector<std::string>{"B:1"}));
  ASSERT_TRUE(config::DeleteItem(1001, std::stoi(b), {}, 0, err)) << err;
  EXPECT_TRUE(Order(dm).empty());
}

TEST_F(ItemStore, AFailedRenumberingOrDeleteWritesNothing) {
  const std::string a = Add("A", 0);
  Add("B", 1);
  Add("C", 2);
  std::string err;
  ASSERT_TRUE(db::ExecRaw(dm.ADOConnection1,
                          "create trigger no_third before update of ListIndex on TaskItem "
                          "when new.ListIndex = 3 begin select raise(abort, 'busy'); end",
                          err));
  // C moved to the front: A and B are written before C's statement fails.
  EXPECT_FALSE(config::RenumberItems(1001, {"C", "A", "B"}, 0, -1, err));
  EXPECT_EQ(err, "busy");
  EXPECT_EQ(Order(dm), (std::vector<std::string>{"A:1", "B:2", "C:3"}));
  // Deleting A deletes, renumbers B, then fails on C: A is still there.
  ASSERT_TRUE(db::ExecRaw(dm.ADOConnection1,
                          "drop trigger no_third; create trigger keep_c before update of "
                          "ListIndex on TaskItem when new.ItemName = 'C' "
                          "begin select raise(abort, 'busy'); end",
                          err));
  EXPECT_FALSE(config::DeleteItem(1001, std::stoi(a), {"B", "C"}, 0, err));
  EXPECT_EQ(Order(dm), (std::vector<std::string>{"A:1", "B:2", "C:3"}));
}
