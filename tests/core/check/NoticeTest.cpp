#include "core/check/Notice.h"

#include <gtest/gtest.h>

#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/config/TaskRules.h"
#include "core/db/TombolixDB.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"

using text::G;

namespace {

std::string U(const std::string& gbk) { return text::GbkToUtf8(gbk); }

// Task 1001: 一等奖 (1, a TV) and 二等奖 (2, no prize) over a list of three.
class Notice : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dm.DataModuleCreate());
    m_def.items = {{G("一等奖"), 1, 1, G("电视机")}, {G("二等奖"), 2, 1, ""}};
    m_def.candidates = {"1 a", "2 b", "3 c"};
    m_items = BuildTask(m_dm, m_def);
    std::string error;
    ASSERT_TRUE(db::ExecRaw(m_dm.ADOConnection1,
                            "update LuckTask set TaskName='年会' where TaskId=1001", error));
  }

  check::TNotice Make() {
    check::TNotice n;
    std::string error;
    EXPECT_TRUE(check::MakeNotice(1001, {2026, 3, 9}, n, error)) << U(error);
    return n;
  }

  TempRoot m_root;
  TTombolixDataModule m_dm;
  TaskDef m_def;
  std::vector<int> m_items;
};

// The numbers are those of the file "BEGIN / COUNT=3 / ID_MAX_LENGTH=1 / id name / 1 a / 2 b
// / 3 c / END" (CR LF): its SHA-256, and the root of RFC 6962's tree over "1 a", "2 b", "3 c"
// with the count 3, worked out apart from the program (sha256sum and a few lines of Python).
TEST_F(Notice, SaysTheListsCountFingerprintAndRoot) {
  const check::TNotice n = Make();
  EXPECT_EQ(U(n.Title), "公示单");
  EXPECT_EQ(U(n.TaskName), "年会");
  EXPECT_EQ(n.Count, 3);
  EXPECT_EQ(n.Fingerprint, "e8081a182fbbeb843aa99c38f0b73eb8204cc21a7fe1246390b573432e71cebf");
  EXPECT_EQ(n.Root, "7808bbd7b3e232dcadff6f72adc9932624f4557493cfdd0fbe52a670952e4cbc");
  EXPECT_EQ(U(n.Voucher), "名单 e8081a182fbb  3人");
  EXPECT_EQ(U(n.Date), "2026年3月9日");
  ASSERT_EQ(n.Items.size(), 2u);
  EXPECT_EQ(U(check::ItemText(n.Items[0])), "一等奖  1名  奖品：电视机");
  EXPECT_EQ(U(check::ItemText(n.Items[1])), "二等奖  2名");
  ASSERT_EQ(n.Rules.size(), 3u);
  EXPECT_EQ(U(n.Rules[0]), "未设抽奖规则，名单中每个人都可以中奖");
  EXPECT_EQ(U(n.Rules[1]), "每人最多中奖一次");
  ASSERT_EQ(n.Steps.size(), 4u);
  EXPECT_EQ(U(n.Steps[0]),
            "开抽前，大屏幕上“抽奖凭证”一行显示“名单 e8081a182fbb  3人”，应与本单相同；"
            "请拍下这一行，连同其中的“承诺”和“本任务第N次开启”。");
  const std::vector<std::string> lines = check::NoticeLines(n);
  ASSERT_EQ(lines.size(), 19u);
  EXPECT_EQ(U(lines[0]), "年会 公示单");
  EXPECT_EQ(U(lines[9]), "人数：3人");
  EXPECT_EQ(U(lines[11]),
            "名单哈希树根值：7808bbd7b3e232dcadff6f72adc9932624f4557493cfdd0fbe52a670952e4cbc");
  EXPECT_EQ(U(lines.back()), "公示日期：2026年3月9日");
}

// The rules in the draw screen's words, a list checked in, repeated winning and presets.
TEST_F(Notice, SaysTheRulesInWords) {
  std::string error;
  TTaskRules rules;
  rules.Items = {{m_items[1], {{"name", TConditionKind::NoneOf, {"c"}}}, {}}};
  ASSERT_TRUE(config::SaveTaskRules(m_dm, 1001, rules, error)) << error;
  ASSERT_TRUE(db::ExecRaw(m_dm.ADOConnection1,
                          "update LuckTask set LuckAgain=1, CheckinOnly=1 where TaskId=1001",
                          error));
  WritePresets(1001, m_items[0], {"2"});
  const check::TNotice n = Make();
  ASSERT_EQ(n.Rules.size(), 5u);
  EXPECT_EQ(U(n.Rules[0]), "奖项[二等奖]：仅限：name不是c");
  EXPECT_EQ(U(n.Rules[1]), "只有到场签到的人参加抽奖");
  EXPECT_EQ(U(n.Rules[2]), "同一人可以多次中奖");
  EXPECT_EQ(U(n.Rules[3]), "设有指定中奖1人，在各奖项中先于随机抽取");
  EXPECT_EQ(n.Steps.size(), 5u);
}

// No notice of numbers the draw would not show: no list, an empty task, a list too short.
TEST_F(Notice, RefusesATaskWithoutAUsableList) {
  TaskDef bare;
  bare.taskId = 1002;
  bare.items = {{G("一等奖"), 1, 1, ""}};
  BuildTask(m_dm, bare);
  check::TNotice n;
  std::string error;
  EXPECT_FALSE(check::MakeNotice(1002, {2026, 3, 9}, n, error));
  EXPECT_EQ(U(error), "名单未导入，不能生成公示单，请先在抽奖配置中导入名单");
  EXPECT_TRUE(n.Root.empty());

  TaskDef few;
  few.taskId = 1003;
  few.items = {{G("一等奖"), 3, 1, ""}};
  few.candidates = {"1 a", "2 b"};
  BuildTask(m_dm, few);
  EXPECT_FALSE(check::MakeNotice(1003, {2026, 3, 9}, n, error));
  EXPECT_EQ(U(error).rfind("名单不能用于抽奖，不能生成公示单：", 0), 0u) << U(error);

  EXPECT_FALSE(check::MakeNotice(1009, {2026, 3, 9}, n, error));
  EXPECT_EQ(U(error), "不存在该抽奖任务,任务号=1009");
}

}  // namespace
