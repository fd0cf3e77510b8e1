// An item added live with rules of its own (only some 部门, some ids left out): the record
// carries them, the engine draws by them with or without the task's rules, a replay and
// tombolix-verify replay them, and nobody eligible refuses the item.
#include <gtest/gtest.h>

#include <algorithm>

#include "DrawSetUp.h"
#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/config/TaskRules.h"
#include "core/draw/DataDraw.h"
#include "core/draw/PlanRecords.h"
#include "core/records/Loaders.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "core/text/Text.h"
#include "core/verify/AuditBundle.h"
#include "core/verify/DrawVerify.h"

using text::G;

namespace {

// Twenty people, ids 100 … 119; 部门 销售 for 100, 104, …, 市场 for 101, 105, …, else 技术.
// 一等奖 1, 二等奖 2 in one batch.
class AddedRules : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dm.DataModuleCreate());
    TaskDef def;
    def.items = {{G("一等奖"), 1, 1, ""}, {G("二等奖"), 2, 2, ""}};
    def.title = G("号码 姓名 部门");
    const std::string dept[] = {G("销售"), G("市场"), G("技术"), G("技术")};
    for (int i = 0; i < 20; ++i)
      def.candidates.push_back(std::to_string(100 + i) + " " + G("人") + std::to_string(i) + " " +
                               dept[i % 4]);
    m_ids = BuildTask(m_dm, def);
  }

  static void Batch(TDataDraw& e) {
    ASSERT_TRUE(e.BeginBatch());
    e.SelectBatchWinners();
    for (int r = 0; r < 5; ++r) e.RollStep();
    e.RevealBatch();
    e.EndBatch();
  }

  // The 特别奖 of `count` in one batch, drawn next, for `rules`.
  static TDataDraw::NewItem Special(int count, TItemRules rules) {
    return {G("特别奖"), count, count, G("手机"), std::move(rules)};
  }

  // The winners of item `itemId` as "id:部门" in draw order.
  static std::string WinnersOf(const TDataDraw& e, int32_t itemId) {
    std::string s;
    for (const TLuckId& w : e.Session().Winners) {
      if (w.ItemId != itemId) continue;
      const std::vector<std::string> f = text::SplitFields(w.CandidateLine);
      s += f[0] + ":" + text::GbkToUtf8(f[2]) + " ";
    }
    return s;
  }

  static std::string U(const std::string& gbk) { return text::GbkToUtf8(gbk); }

  TempRoot m_root;
  TTombolixDataModule m_dm;
  std::vector<int> m_ids;
};

}  // namespace

TEST_F(AddedRules, TheRecordCarriesTheRulesAndOldRecordsStillRead) {
  TPlanRecord add;
  add.Kind = TPlanKind::Add;
  add.ItemId = 7;
  add.Name = G("特别奖");
  add.LuckCount = 2;
  add.ListCount = 1;
  add.Rules = AddedRulesOf(G("部门"), G("销售，市场"), "100 , 104");
  add.Rules.ItemId = 7;
  const std::string line = FormatPlanRecord(add);
  EXPECT_NE(line.find("\trules=ITEM%097%09ONEOF%09" + G("部门") + "%09" + G("市场") + "%09" +
                      G("销售") + "%0AITEMEXCLUDEIDS%097%09100%09104%0A"),
            std::string::npos)
      << U(line);
  TPlanRecord back;
  ASSERT_EQ(ParsePlanRecord(line.substr(0, line.size() - 2), back), PlanParse::Ok);
  EXPECT_EQ(back, add);

  // Written before items had rules: no field, no rules.
  const std::string old =
      SealJournalRecord("ADD\titem=7\tname=" + G("特别奖") + "\tcount=2\tper=1\tgift=");
  ASSERT_EQ(ParsePlanRecord(old.substr(0, old.size() - 2), back), PlanParse::Ok);
  EXPECT_TRUE(back.Rules.Empty());
  EXPECT_EQ(back.Name, G("特别奖"));

  // Another item's rules, a quota, a bad escape: not a record this program wrote.
  for (const std::string rules :
       {"ITEM%098%09ONEOF%09a%09b%0A", "ITEMQUOTA%097%09a%091%0A", "ITEM%097%09ONEOF%09a%0"}) {
    const std::string bad =
        SealJournalRecord("ADD\titem=7\tname=x\tcount=2\tper=1\tgift=\trules=" + rules);
    EXPECT_EQ(ParsePlanRecord(bad.substr(0, bad.size() - 2), back), PlanParse::Bad) << rules;
  }
}

// A draw without the task's rules: 特别奖 only for 销售, 104 left out.
TEST_F(AddedRules, AnAddedItemDrawsOnlyThoseItsRulesLetInAndVerifies) {
  int32_t added = 0;
  {
    auto run = StartDraw(11u);
    TDataDraw& e = run->e;
    TDataDraw::BatchEnd end;
    std::string message;
    Batch(e);
    ASSERT_TRUE(
        e.AddItem(Special(3, AddedRulesOf(G("部门"), G("销售"), "104")), true, "", end, message))
        << U(message);
    added = e.Session().Items[static_cast<size_t>(e.CurItemIndex())].ItemId;
    Batch(e);
    // Three of 100, 108, 112, 116: 销售 all, 104 never.
    const std::string winners = WinnersOf(e, added);
    ASSERT_EQ(winners.size(), std::string("100:销售 ").size() * 3) << winners;
    EXPECT_EQ(winners.find("104:"), std::string::npos) << winners;
    EXPECT_EQ(winners.find("市场"), std::string::npos) << winners;
    EXPECT_EQ(winners.find("技术"), std::string::npos) << winners;
    Batch(e);
    ASSERT_EQ(e.state(), TDataDraw::State::Finished);
  }
  const TVerifyResult r = VerifyDrawFolder(paths::DataRoot(), 1001);
  std::string all;
  for (const std::string& l : r.Lines) all += U(l) + "\n";
  EXPECT_TRUE(r.Passed) << all;
  EXPECT_NE(all.find("第1项改动 临时加奖 奖项" + std::to_string(added) +
                     " 特别奖 3名(每次3名), 仅限: 部门须是销售; 排除 104  一致"),
            std::string::npos)
      << all;
  // The report of the audit bundle names the rules with the change.
  TAuditRows rows;
  std::string error;
  TLuckTask task;
  ASSERT_TRUE(LoadLuckTask(1001, task, error)) << U(error);
  ASSERT_TRUE(AuditReport(task, rows, error)) << U(error);
  const auto change = std::find_if(rows.begin(), rows.end(),
                                   [](const auto& row) { return row.first == G("改动"); });
  ASSERT_NE(change, rows.end());
  EXPECT_EQ(U(change->second), "临时加奖：特别奖 3名, 仅限部门为销售, 排除 104");
  // The finished draw opens again: the record replays with its rules.
  auto again = StartDraw(11u);
  ASSERT_TRUE(again->e.OpenFinished(error)) << U(error);
  EXPECT_EQ(again->e.state(), TDataDraw::State::Finished);
}

// With the task's rules (一等奖 not for 技术), the added item keeps both: only 市场, and an
// absent winner's replacement too.
TEST_F(AddedRules, UnderTheTasksRulesAnAddedItemKeepsItsOwn) {
  TTaskRules rules;
  rules.Items.push_back({m_ids[0], {{G("部门"), TConditionKind::NoneOf, {G("技术")}}}, {}});
  std::string err;
  ASSERT_TRUE(config::SaveTaskRules(m_dm, 1001, rules, err)) << U(err);
  auto run = StartDraw(23u);
  TDataDraw& e = run->e;
  TDataDraw::BatchEnd end;
  std::string message;
  Batch(e);
  ASSERT_TRUE(e.AddItem(Special(2, AddedRulesOf(G("部门"), G("市场"), "")), true, "", end, message))
      << U(message);
  const int32_t added = e.Session().Items[static_cast<size_t>(e.CurItemIndex())].ItemId;
  Batch(e);
  const std::string winners = WinnersOf(e, added);
  EXPECT_EQ(winners.size(), std::string("101:市场 ").size() * 2) << winners;
  EXPECT_EQ(winners.find("销售"), std::string::npos) << winners;
  EXPECT_EQ(winners.find("技术"), std::string::npos) << winners;
  // The second is absent: the replacement is 市场 as well.
  const size_t place = e.Session().Winners.size() - 1;
  ASSERT_TRUE(e.BeginReplacement(place, message)) << U(message);
  for (int r = 0; r < 3; ++r) e.RollStep();
  e.RevealBatch();
  e.EndBatch();
  const std::vector<std::string> f = text::SplitFields(e.Session().Winners[place].CandidateLine);
  EXPECT_EQ(f[2], G("市场"));
  Batch(e);
  ASSERT_EQ(e.state(), TDataDraw::State::Finished);
  const TVerifyResult r = VerifyDrawFolder(paths::DataRoot(), 1001);
  std::string all;
  for (const std::string& l : r.Lines) all += U(l) + "\n";
  EXPECT_TRUE(r.Passed) << all;
  EXPECT_NE(all.find("仅限: 部门须是市场  一致"), std::string::npos) << all;
}

TEST_F(AddedRules, NobodyEligibleOrAFieldNotOnTheListIsRefused) {
  auto run = StartDraw(5u);
  TDataDraw& e = run->e;
  TDataDraw::BatchEnd end;
  std::string message;
  Batch(e);
  const std::string before = ReadAll(paths::NativePath(paths::JournalPath(1001)));
  EXPECT_FALSE(
      e.AddItem(Special(1, AddedRulesOf(G("部门"), G("财务"), "")), true, "", end, message));
  EXPECT_EQ(U(message), "[特别奖]的规则下名单中没有可以中奖的人,不能加奖");
  // Every 市场 left out by id: nobody either.
  EXPECT_FALSE(e.AddItem(Special(1, AddedRulesOf(G("部门"), G("市场"), "101 105 109 113 117")),
                         true, "", end, message));
  EXPECT_EQ(U(message), "[特别奖]的规则下名单中没有可以中奖的人,不能加奖");
  EXPECT_FALSE(e.AddItem(Special(1, AddedRulesOf(G("楼层"), "3", "")), true, "", end, message));
  EXPECT_EQ(U(message), "抽奖规则中的字段[楼层]不在名单的标题行中");
  EXPECT_FALSE(e.AddItem(Special(1, AddedRulesOf(G("部门"), "", "")), true, "", end, message));
  EXPECT_EQ(U(message), "临时加奖的条件须有字段和至少一个值");
  EXPECT_EQ(ReadAll(paths::NativePath(paths::JournalPath(1001))), before);
  EXPECT_EQ(e.Session().Items.size(), 2u);
}
