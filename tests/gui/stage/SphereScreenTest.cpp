// 名单球 on the real draw screen: the sphere stands in the roll labels' place with exactly
// those who may still win, its winners leave it, and a seeded draw gives the same winners
// whichever way it rolls.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <functional>

#include "DialogRecorder.h"
#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/config/TaskRollStyle.h"
#include "core/draw/DrawSession.h"
#include "core/text/Gbk.h"
#include "gui/stage/GetLuckMainFrm.h"
#include "gui/stage/SphereRoll.h"

using text::G;

namespace {

class SphereScreen : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dm.DataModuleCreate());
    TaskDef def;
    def.title = G("工号 姓名");
    // Two batches of two for 一等奖, then one for 二等奖.
    def.items = {{G("一等奖"), 4, 2, ""}, {G("二等奖"), 1, 1, ""}};
    for (int i = 0; i < 10; ++i)
      def.candidates.push_back(std::to_string(201 + i) + G(" 员工") + std::to_string(i));
    BuildTask(m_dm, def);
  }

  // Draws the task to its end with five roll ticks a batch; the winners' ids in draw order.
  // `during` is called while each batch rolls.
  std::vector<std::string> DrawAll(TRollStyle style,
                                   const std::function<void(TGetLuckMainForm&)>& during = {}) {
    std::string error;
    EXPECT_TRUE(config::SaveRollStyle(1001, style, error)) << error;
    TDrawSession session;
    TGetLuckMainForm screen(session, nullptr, 77u);
    EXPECT_EQ(screen.SetUpDraw(1001), 1);
    screen.resize(1280, 720);
    screen.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&screen));
    for (int guard = 0; guard < 10 && screen.Engine().state() != TDataDraw::State::Finished;
         ++guard) {
      screen.SBeginClick();
      EXPECT_TRUE(
          QTest::qWaitFor([&] { return screen.Engine().state() == TDataDraw::State::Rolling; }));
      screen.TMRoll->stop();  // the ticks are counted here, not by the clock
      for (int t = 0; t < 5; ++t) screen.RollTick();
      if (during) during(screen);
      screen.EKeyCtrlKeyPress();
      screen.ShowReveal();
    }
    std::vector<std::string> ids;
    for (const TLuckId& w : screen.Engine().Session().Winners)
      ids.emplace_back(w.CandidateLine.substr(0, 3));
    return ids;
  }

  TempRoot m_root;
  TTombolixDataModule m_dm;
  DialogRecorder m_dialogs;
};

// A widget's place among its siblings, bottom first.
int StackPlace(const QWidget* w) {
  return static_cast<int>(w->parentWidget()->children().indexOf(const_cast<QWidget*>(w)));
}

}  // namespace

TEST_F(SphereScreen, RollsWhoMayStillWinInTheLabelsPlaceAndDrawsTheSameWinners) {
  const std::vector<std::string> numbers = DrawAll(TRollStyle::Numbers);
  std::vector<size_t> counts;
  std::vector<std::vector<int32_t>> onCards;
  const std::vector<std::string> sphere = DrawAll(TRollStyle::Sphere, [&](TGetLuckMainForm& s) {
    TSphereRoll* roll = s.findChild<TSphereRoll*>();
    ASSERT_NE(roll, nullptr);
    EXPECT_TRUE(roll->isVisible());
    EXPECT_EQ(roll->motion(), TSphereRoll::Motion::Fast);
    for (QLabel* l : s.RollLabels) EXPECT_FALSE(l->isVisible());
    counts.push_back(roll->Population().Count());
    onCards.push_back(roll->CardMembers());
  });
  EXPECT_EQ(sphere, numbers);
  ASSERT_EQ(sphere.size(), 5u);
  // 10, then 8 after the first batch; 二等奖 rolls the 6 who have not won.
  EXPECT_EQ(counts, (std::vector<size_t>{10, 8, 6}));
  // Ten people fit on the sphere: every one who may win has a card, no winner ever again.
  ASSERT_EQ(onCards.size(), 3u);
  EXPECT_EQ(onCards[0].size(), 10u);
  for (const std::string& id : {sphere[0], sphere[1]})
    EXPECT_EQ(std::count(onCards[1].begin(), onCards[1].end(), std::stoi(id) - 201), 0) << id;
  EXPECT_EQ(onCards[2].size(), 6u);
}

TEST_F(SphereScreen, TheStopKeyJournalsFirstAndTheWinnersFlyOutOfTheSphere) {
  std::string error;
  ASSERT_TRUE(config::SaveRollStyle(1001, TRollStyle::Sphere, error));
  TDrawSession session;
  TGetLuckMainForm screen(session, nullptr, 5u);
  ASSERT_EQ(screen.SetUpDraw(1001), 1);
  screen.resize(1024, 768);
  screen.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&screen));
  TSphereRoll* roll = screen.findChild<TSphereRoll*>();
  ASSERT_NE(roll, nullptr);
  // On the Ready band it turns slowly behind the next item's lines, faint.
  EXPECT_TRUE(roll->isVisible());
  EXPECT_TRUE(roll->Veiled());
  EXPECT_EQ(roll->motion(), TSphereRoll::Motion::Idle);
  EXPECT_LT(StackPlace(roll), StackPlace(screen.LbNextItem));
  // Ten people: one ring of cards as large as the band lets them.
  EXPECT_EQ(roll->CardSize().height(), static_cast<int>(roll->height() * 0.80));
  screen.SBeginClick();
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return screen.Engine().state() == TDataDraw::State::Rolling; }));
  screen.EKeyCtrlKeyPress();
  // On disk before anything flies.
  EXPECT_NE(ReadAll(m_root.dir() / "LUCK_FILE/JOURNAL_1001.txt").find("BATCH\t"),
            std::string::npos);
  EXPECT_TRUE(roll->Flying());
  EXPECT_EQ(roll->Population().Count(), 8u);
  ASSERT_TRUE(QTest::qWaitFor([&] { return screen.PLuckNow->isVisible(); }, 3000));
  // Between batches it stands still and faint behind the batch's cards, with those who may
  // still win.
  EXPECT_EQ(roll->motion(), TSphereRoll::Motion::Still);
  EXPECT_TRUE(roll->isVisible());
  EXPECT_TRUE(roll->Veiled());
  EXPECT_LT(StackPlace(roll), StackPlace(screen.PLuckNow));
  EXPECT_EQ(roll->Population().Count(), 8u);
}

// With many who may win the sphere holds three rings of smaller cards, and a sample of them.
TEST_F(SphereScreen, FewerPeopleGetLargerCards) {
  TaskDef def;
  def.taskId = 1002;
  def.title = G("工号 姓名");
  def.items = {{G("一等奖"), 1, 1, ""}};
  for (int i = 0; i < 600; ++i)
    def.candidates.push_back(std::to_string(1000 + i) + G(" 员工") + std::to_string(i));
  BuildTask(m_dm, def);
  std::string error;
  ASSERT_TRUE(config::SaveRollStyle(1002, TRollStyle::Sphere, error));
  TDrawSession session;
  TGetLuckMainForm screen(session, nullptr, 5u);
  ASSERT_EQ(screen.SetUpDraw(1002), 1);
  screen.resize(1920, 1080);
  screen.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&screen));
  TSphereRoll* roll = screen.findChild<TSphereRoll*>();
  ASSERT_NE(roll, nullptr);
  EXPECT_EQ(roll->CardSize().height(), static_cast<int>(roll->height() * 0.34));
  const size_t cards = roll->CardMembers().size();
  EXPECT_GT(cards, 60u);
  EXPECT_LT(cards, 600u);
}
