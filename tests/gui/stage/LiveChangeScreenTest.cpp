// Live changes on the draw screen: the operator's keys open a window off the stage, its
// values go to the stage, and the screen shows the stage's answer.
#include <gtest/gtest.h>

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include "DialogRecorder.h"
#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/draw/DrawSession.h"
#include "core/draw/DrawTexts.h"
#include "core/text/Gbk.h"
#include "gui/stage/GetLuckMainFrm.h"
#include "gui/stage/LiveChangeDlg.h"
#include "gui/stage/RevealCards.h"

using text::G;

namespace {

class LiveChangeScreen : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dm.DataModuleCreate());
    TaskDef def;
    def.items = {{G("一等奖"), 1, 1, ""}, {G("二等奖"), 2, 2, G("手机")}};
    for (int i = 0; i < 10; ++i)
      def.candidates.push_back(std::to_string(13900000000LL + i) + G(" 员工") + std::to_string(i));
    m_taskId = def.taskId;
    BuildTask(m_dm, def);
  }
  // Enter starts, Enter stops; true once the batch is on the screen.
  static bool Batch(TGetLuckMainForm& s) {
    QTest::keyClick(s.EKeyCtrl, Qt::Key_Return);
    QCoreApplication::processEvents();  // the selection the key scheduled
    QTest::keyClick(s.EKeyCtrl, Qt::Key_Return);
    return QTest::qWaitFor([&] { return s.PLuckNow->isVisible(); }, 3000);
  }

  TempRoot m_root;
  TDrawSession m_session;
  int32_t m_taskId = 0;
  TTombolixDataModule m_dm;
  DialogRecorder m_dialogs;
};

}  // namespace

TEST_F(LiveChangeScreen, AnItemAddedByKeysIsOnTheBandAndDrawnNext) {
  TGetLuckMainForm screen(m_session, nullptr, 31u);
  ASSERT_EQ(screen.SetUpDraw(m_taskId), 1);
  screen.resize(1280, 720);
  screen.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&screen));
  // Before the first batch the stage refuses, and says why.
  QTest::keyClick(screen.EKeyCtrl, Qt::Key_F2);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !m_dialogs.messages().empty(); }));
  EXPECT_EQ(m_dialogs.messages().back().second,
            QStringLiteral("第一批揭晓后才能修改奖项;开始前请关闭抽奖窗口修改任务设置"));
  EXPECT_EQ(screen.findChild<TPlanChangeDialog*>(), nullptr);

  ASSERT_TRUE(Batch(screen));
  QTest::keyClick(screen.EKeyCtrl, Qt::Key_F2);
  TPlanChangeDialog* d = nullptr;
  ASSERT_TRUE(QTest::qWaitFor([&] {
    d = screen.findChild<TPlanChangeDialog*>();
    return d && d->isVisible();
  }));
  // The operator's window is not moved onto the middle of the stage.
  EXPECT_FALSE(d->geometry().contains(screen.geometry().center()));
  d->EdName->setText(QStringLiteral("特别奖"));
  d->SpCount->setValue(3);
  d->SpPerPress->setValue(3);
  d->EdGift->setText(QStringLiteral("平板电脑"));
  QTest::keyClick(d->EdName, Qt::Key_Return);
  ASSERT_TRUE(QTest::qWaitFor([&] { return screen.LbNextItem->isVisible(); }));
  EXPECT_EQ(screen.LbNextItem->text(), QStringLiteral("临时加奖：特别奖 3名"));
  EXPECT_EQ(screen.LbNextGift->text(), QStringLiteral("接下来：特别奖　共3名　奖品：平板电脑"));
  EXPECT_EQ(screen.LGet->text(), QStringLiteral("特别奖奖品：平板电脑"));
  EXPECT_FALSE(screen.PLuckNow->isVisible());  // the cards made way for the band
  ASSERT_FALSE(screen.Engine().PlanChanges().empty());
  EXPECT_EQ(screen.Engine().PlanChanges().front().Kind, TPlanKind::Add);

  // The next batch is the added item's three, and the band makes way for them.
  ASSERT_TRUE(Batch(screen));
  EXPECT_FALSE(screen.LbNextItem->isVisible());
  EXPECT_EQ(screen.CardsNow->Cards().size(), 3u);
  ASSERT_EQ(m_session.Winners.size(), 4u);
  EXPECT_EQ(ItemNameOf(m_session.Items, m_session.Winners[3].ItemId), G("特别奖"));

  // F3: the first of them voided, the place left empty on the cards.
  QTest::keyClick(screen.EKeyCtrl, Qt::Key_F3);
  TVoidDialog* v = nullptr;
  ASSERT_TRUE(QTest::qWaitFor([&] {
    v = screen.findChild<TVoidDialog*>();
    return v && v->isVisible();
  }));
  ASSERT_EQ(v->CbWho->count(), 4);  // the three on the cards, and the whole batch
  v->CbWho->setCurrentIndex(0);
  v->CbRedraw->setChecked(false);
  const std::string voided = m_session.Winners[1].CandidateLine;
  QTest::keyClick(v->CbWho, Qt::Key_Return);
  ASSERT_TRUE(QTest::qWaitFor([&] { return screen.CardsNow->Cards().size() == 2u; }));
  EXPECT_FALSE(screen.LbNextItem->isVisible());
  ASSERT_EQ(screen.Engine().Voids().size(), 1u);
  EXPECT_EQ(screen.Engine().Voids()[0].CandidateLine, voided);
  EXPECT_EQ(screen.Engine().Voids()[0].Reason, G("误抽"));
  EXPECT_TRUE(screen.LbShowList->text().startsWith(QStringLiteral("作废：特别奖 员工")));
  EXPECT_TRUE(screen.LbShowList->text().endsWith(QStringLiteral("（误抽），名额空缺")));

  // A count raised (the band says so), then a void at once: the band makes way for the cards.
  QTest::keyClick(screen.EKeyCtrl, Qt::Key_F2);
  ASSERT_TRUE(QTest::qWaitFor([&] {
    d = screen.findChild<TPlanChangeDialog*>();
    return d && d->isVisible();
  }));
  d->Tabs->setCurrentIndex(1);
  d->SpNewCount->setValue(d->SpNewCount->value() + 1);
  QTest::keyClick(d->SpNewCount, Qt::Key_Return);
  ASSERT_TRUE(QTest::qWaitFor([&] { return screen.LbNextItem->isVisible(); }));
  EXPECT_TRUE(screen.LbNextItem->text().startsWith(QStringLiteral("改名额：")));
  QTest::keyClick(screen.EKeyCtrl, Qt::Key_F3);
  ASSERT_TRUE(QTest::qWaitFor([&] {
    v = screen.findChild<TVoidDialog*>();
    return v && v->isVisible();
  }));
  v->CbRedraw->setChecked(false);
  QTest::keyClick(v->CbWho, Qt::Key_Return);
  ASSERT_TRUE(QTest::qWaitFor([&] { return screen.Engine().Voids().size() == 2u; }));
  EXPECT_FALSE(screen.LbNextItem->isVisible());
  EXPECT_TRUE(screen.PLuckNow->isVisible());
}

// The 临时加奖 panel's 仅限 and 排除号码: the item is drawn among those they let in.
TEST_F(LiveChangeScreen, AnItemAddedWithRulesIsDrawnAmongThoseTheyLetIn) {
  TGetLuckMainForm screen(m_session, nullptr, 31u);
  ASSERT_EQ(screen.SetUpDraw(m_taskId), 1);
  screen.resize(1280, 720);
  screen.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&screen));
  ASSERT_TRUE(Batch(screen));
  QTest::keyClick(screen.EKeyCtrl, Qt::Key_F2);
  TPlanChangeDialog* d = nullptr;
  ASSERT_TRUE(QTest::qWaitFor([&] {
    d = screen.findChild<TPlanChangeDialog*>();
    return d && d->isVisible();
  }));
  // The list's fields after the id.
  ASSERT_EQ(d->CbRuleField->count(), 2);
  EXPECT_EQ(d->CbRuleField->itemText(1), QStringLiteral("name"));
  EXPECT_FALSE(d->EdRuleValues->isEnabled());
  d->EdName->setText(QStringLiteral("特别奖"));
  d->SpCount->setValue(2);
  d->SpPerPress->setValue(2);
  d->CbRuleField->setCurrentIndex(1);
  EXPECT_TRUE(d->EdRuleValues->isEnabled());
  // Two the first batch did not draw, and 员工7, left out by id.
  const auto line = [](int i) {
    return "1390000000" + std::to_string(i) + " " + G("员工") + std::to_string(i);
  };
  std::vector<std::string> want;
  QStringList names;
  for (int i : {3, 5, 8})
    if (want.size() < 2 && m_session.Winners[0].CandidateLine != line(i)) {
      want.push_back(line(i));
      names << QStringLiteral("员工%1").arg(i);
    }
  d->EdRuleValues->setText(names.join(QStringLiteral("，")) + QStringLiteral(" 员工7"));
  d->EdExcludeIds->setText(QStringLiteral("13900000007"));
  QTest::keyClick(d->EdName, Qt::Key_Return);
  ASSERT_TRUE(QTest::qWaitFor([&] { return screen.LbNextItem->isVisible(); }));
  ASSERT_TRUE(Batch(screen));
  ASSERT_EQ(m_session.Winners.size(), 3u);
  std::vector<std::string> got = {m_session.Winners[1].CandidateLine,
                                  m_session.Winners[2].CandidateLine};
  std::sort(got.begin(), got.end());
  EXPECT_EQ(got, want);
  ASSERT_FALSE(screen.Engine().PlanChanges().empty());
  EXPECT_EQ(screen.Engine().PlanChanges().front().Rules.ExcludeIds,
            std::vector<std::string>{"13900000007"});
}
