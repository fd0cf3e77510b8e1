#include <gtest/gtest.h>

#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/draw/ProbDraw.h"
#include "core/text/Gbk.h"

using text::G;

namespace {

class ProbDraw : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_dm.DataModuleCreate()); }
  bool Make(int n, const std::vector<ItemDef>& items, const std::string& remain = "") {
    TaskDef s;
    s.taskId = m_next++;
    s.orderBy = 1;
    s.hideBegin = n;
    s.remainText = remain;
    s.items = items;
    BuildTask(m_dm, s);
    return m_engine.SetUp(s.taskId, m_failure);
  }
  TempRoot m_root;
  TTombolixDataModule m_dm;
  TRandom m_rng;
  TDrawSession m_session;
  TProbDraw m_engine{m_session, m_rng};
  TProbDraw::Failure m_failure;
  int m_next = 1001;
};

}  // namespace

TEST_F(ProbDraw, NMustExceedTheWinningNumbers) {
  EXPECT_FALSE(Make(6, {{"a", 1, 1, ""}, {"b", 2, 2, ""}, {"c", 3, 3, ""}}));
  EXPECT_EQ(m_failure.kind, MessageKind::Attention);
  EXPECT_EQ(m_failure.text, G("概率值太小,请重新配置"));
  EXPECT_TRUE(Make(7, {{"a", 1, 1, ""}, {"b", 2, 2, ""}, {"c", 3, 3, ""}}));
  EXPECT_FALSE(m_engine.SetUp(0, m_failure));
  EXPECT_EQ(m_failure.text, G("抽奖任务未选择,请重新选择"));
}

TEST_F(ProbDraw, RangesDecideTheResult) {
  ASSERT_TRUE(Make(100, {{G("一等奖"), 1, 1, G("电视")}, {G("二等奖"), 2, 2, ""}, {"c", 3, 3, "x"}},
                   G("下次好运")));
  EXPECT_EQ(m_engine.ResultText(0), G("一等奖,奖品:电视"));
  EXPECT_EQ(m_engine.ResultText(1), G("二等奖"));
  EXPECT_EQ(m_engine.ResultText(2), G("二等奖"));
  EXPECT_EQ(m_engine.ResultText(3), G("c,奖品:x"));
  EXPECT_EQ(m_engine.ResultText(5), G("c,奖品:x"));
  EXPECT_EQ(m_engine.ResultText(6), G("下次好运"));
  EXPECT_EQ(m_engine.ResultText(99), G("下次好运"));
}

TEST_F(ProbDraw, TheWonItemAndTheLadderFollowTheItems) {
  ASSERT_TRUE(
      Make(100, {{G("一等奖"), 1, 1, G("电视")}, {G("二等奖"), 2, 2, ""}, {"c", 3, 3, "x"}}));
  EXPECT_EQ(m_engine.WonItem(0), 0);
  EXPECT_EQ(m_engine.WonItem(1), 1);
  EXPECT_EQ(m_engine.WonItem(2), 1);
  EXPECT_EQ(m_engine.WonItem(3), 2);
  EXPECT_EQ(m_engine.WonItem(5), 2);
  EXPECT_EQ(m_engine.WonItem(6), -1);
  EXPECT_EQ(m_engine.WonItem(-1), -1);
  EXPECT_EQ(m_engine.LadderLines(),
            (std::vector<std::string>{G("一等奖  电视"), G("二等奖"), "c  x"}));
  EXPECT_EQ(m_engine.phase(), TProbDraw::Phase::Ready);
  m_engine.Press();
  EXPECT_EQ(m_engine.phase(), TProbDraw::Phase::Rolling);
  m_engine.Stop();
  EXPECT_EQ(m_engine.phase(), TProbDraw::Phase::Shown);
  EXPECT_FALSE(m_engine.Rolling());
}

TEST_F(ProbDraw, EmptyConsolationTextDefaults) {
  ASSERT_TRUE(Make(10, {{"a", 1, 1, ""}}));
  EXPECT_EQ(m_engine.RemainText(), G("谢谢您的参与"));
  EXPECT_EQ(m_engine.ResultText(5), G("谢谢您的参与"));
}

TEST_F(ProbDraw, PressFixesTheNumberFirstThenRollsNamesFromTheSameGenerator) {
  ASSERT_TRUE(Make(1000, {{"A", 5, 5, ""}, {"B", 30, 30, ""}}));
  // Seed 2027: each press takes the number from 0 … 999, then each tick a name from the
  // three texts (A, B, T for the consolation text), all from the one generator.
  m_rng.Randomize(2027);
  const std::vector<std::pair<int32_t, std::string>> presses = {
      {607, "TATBAATTTAAB"}, {489, "BAATATBATBBA"}, {809, "TTABATATATTA"},
      {799, "ABATAATBABAA"}, {829, "BTTBTBABATBT"},
  };
  for (const auto& [number, ticks] : presses) {
    m_engine.Press();
    EXPECT_TRUE(m_engine.Rolling());
    EXPECT_EQ(m_engine.DrawNumber(), number);
    for (char tick : ticks) {
      const std::string expected = tick == 'A' ? "A" : tick == 'B' ? "B" : G("谢谢您的参与");
      EXPECT_EQ(m_engine.RollText(), expected);
    }
    EXPECT_EQ(m_engine.Stop(), m_engine.ResultText(number));
    EXPECT_FALSE(m_engine.Rolling());
  }
  EXPECT_EQ(TProbDraw::ReadyText(), G("请点击[开始]按钮或按[回车]键开始抽奖"));
  EXPECT_EQ(TProbDraw::RollingText(), G("请点击[确定]按钮或按[回车]键确定抽奖"));
}

TEST_F(ProbDraw, HugeCountsDoNotWrapPastTheCheck) {
  std::vector<ItemDef> items;
  for (int i = 0; i < 300; ++i) items.push_back({"i", 9999999, 9999999, ""});
  EXPECT_FALSE(Make(99999999, items));
  EXPECT_EQ(m_failure.text, G("概率值太小,请重新配置"));
}
