// The operator's side of the draw screen: 黑屏 over the projector, the one screen's overlay,
// and the console on the laptop's screen when the stage stands on another.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include "DialogRecorder.h"
#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/db/TombolixDB.h"
#include "core/draw/DrawSession.h"
#include "core/text/Gbk.h"
#include "gui/stage/ConsoleFrm.h"
#include "gui/stage/DrawScreenArt.h"
#include "gui/stage/GetLuckMainFrm.h"
#include "gui/stage/LiveChangeDlg.h"
#include "gui/stage/StagePrompt.h"

using text::G;

namespace {

// Ten candidates; 一等奖 2 in one batch, 二等奖 2 in one batch.
class ConsoleScreen : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dm.DataModuleCreate());
    TaskDef def;
    def.items = {{G("一等奖"), 2, 2, G("电脑")}, {G("二等奖"), 2, 2, G("手机")}};
    for (int i = 0; i < 10; ++i)
      def.candidates.push_back(std::to_string(13900000000LL + i) + G(" 员工") + std::to_string(i));
    BuildTask(m_dm, def);
  }
  static void Key(QWidget* w, Qt::Key key) {
    QTest::keyClick(w, key);
    QCoreApplication::processEvents();  // the selection an Enter scheduled
  }
  static bool In(const TGetLuckMainForm& s, TStagePhase p) {
    return QTest::qWaitFor([&] { return s.Stage().Phase() == p; });
  }
  // The middle pixel of the stage as the projector shows it.
  static QColor Middle(TGetLuckMainForm& s) {
    const QImage shot = s.grab().toImage();
    return shot.pixelColor(shot.width() / 2, shot.height() / 2);
  }

  TempRoot m_root;
  TDrawSession m_session;
  TTombolixDataModule m_dm;
  DialogRecorder m_dialogs;
};

}  // namespace

TEST_F(ConsoleScreen, BlankCoversTheStageAndNoRollStartsUnderIt) {
  TGetLuckMainForm screen(m_session, nullptr, 31u);
  ASSERT_EQ(screen.SetUpDraw(1001), 1);
  screen.resize(1024, 768);
  screen.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&screen));
  EXPECT_EQ(screen.Console(), nullptr);  // one screen: no console
  EXPECT_NE(Middle(screen), QColor(Qt::black));

  Key(screen.EKeyCtrl, Qt::Key_B);
  ASSERT_TRUE(screen.BlankCover()->isVisible());
  EXPECT_EQ(screen.BlankCover()->geometry(), screen.rect());
  EXPECT_EQ(Middle(screen), QColor(Qt::black));  // no task picture: black

  // The start key is refused; the one screen shows why in its corner, nothing else.
  Key(screen.EKeyCtrl, Qt::Key_Return);
  EXPECT_EQ(screen.Stage().Phase(), TStagePhase::Ready);
  EXPECT_TRUE(m_session.Winners.empty());
  ASSERT_TRUE(screen.Overlay()->isVisible());
  EXPECT_TRUE(screen.Overlay()->text().contains(QStringLiteral("请先按B恢复投影")));
  EXPECT_TRUE(m_dialogs.messages().empty());
  EXPECT_FALSE(screen.Prompt()->IsOpen());

  Key(screen.EKeyCtrl, Qt::Key_B);
  EXPECT_FALSE(screen.BlankCover()->isVisible());
  Key(screen.EKeyCtrl, Qt::Key_Return);
  ASSERT_TRUE(In(screen, TStagePhase::Rolling));
  // Not while the roll runs: the key does nothing.
  Key(screen.EKeyCtrl, Qt::Key_B);
  EXPECT_FALSE(screen.BlankCover()->isVisible());
  EXPECT_EQ(screen.Stage().Phase(), TStagePhase::Rolling);
}

TEST_F(ConsoleScreen, TheOverlayComesAtTheOperatorsRequestAwayFromTheWinners) {
  TGetLuckMainForm screen(m_session, nullptr, 31u);
  ASSERT_EQ(screen.SetUpDraw(1001), 1);
  screen.resize(1024, 768);
  screen.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&screen));
  EXPECT_FALSE(screen.Overlay()->isVisible());
  Key(screen.EKeyCtrl, Qt::Key_I);
  ASSERT_TRUE(screen.Overlay()->isVisible());
  EXPECT_TRUE(screen.Overlay()->text().startsWith(QStringLiteral("准备开始")));
  EXPECT_TRUE(screen.rect().contains(screen.Overlay()->geometry()));

  // A batch takes it away: the roll, the landing and the reveal stay clear.
  Key(screen.EKeyCtrl, Qt::Key_Return);
  ASSERT_TRUE(In(screen, TStagePhase::Rolling));
  EXPECT_FALSE(screen.Overlay()->isVisible());
  Key(screen.EKeyCtrl, Qt::Key_Return);
  ASSERT_TRUE(In(screen, TStagePhase::Revealed));
  EXPECT_FALSE(screen.Overlay()->isVisible());

  Key(screen.EKeyCtrl, Qt::Key_I);
  ASSERT_TRUE(screen.Overlay()->isVisible());
  EXPECT_TRUE(screen.Overlay()->text().contains(QStringLiteral("上一批")));
  // Beside the winners list, below the cards.
  ASSERT_TRUE(screen.PUser2->isVisible());
  EXPECT_FALSE(screen.Overlay()->geometry().intersects(screen.PUser2->geometry()));
  EXPECT_FALSE(screen.Overlay()->geometry().intersects(screen.PLuckNow->geometry()));
  Key(screen.EKeyCtrl, Qt::Key_I);
  EXPECT_FALSE(screen.Overlay()->isVisible());
}

// Runs where the platform gives two screens side by side (the offscreen two-screen
// configuration, or Xvfb with xinerama); skipped on one.
TEST_F(ConsoleScreen, TwoScreensConsoleFollowsTheStageAndBlankLeavesItInSight) {
  const QList<QScreen*> screens = QGuiApplication::screens();
  if (screens.size() < 2) GTEST_SKIP() << "one screen only";
  QWidget owner;
  owner.setGeometry(QRect(screens[0]->geometry().topLeft() + QPoint(20, 20), QSize(800, 600)));
  owner.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
  TGetLuckMainForm screen(m_session, &owner, 31u);
  ASSERT_EQ(screen.SetUpDraw(1001), 1);
  ShowOnWholeScreen(&screen);
  screen.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&screen));
  ASSERT_TRUE(QTest::qWaitFor([&] { return screen.Console() && screen.Console()->isVisible(); }));
  TConsoleForm* c = screen.Console();
  EXPECT_EQ(c->screen(), screens[0]);
  EXPECT_EQ(screen.screen(), screens[1]);
  EXPECT_EQ(c->LbPhase->text(), QStringLiteral("准备开始"));
  EXPECT_EQ(c->LbNextKey->text(), QStringLiteral("回车：开始抽奖　数字键：现场号码"));
  EXPECT_TRUE(c->LbItems->text().startsWith(
      QStringLiteral("现场号码（可选）：输入数字后按回车开始\n▶ 一等奖　已抽0/2　还剩2")));
  ASSERT_TRUE(QTest::qWaitFor([&] { return c->Pictures() > 0; }));

  // The console's keys are the stage's: Enter starts and stops, the picture follows.
  Key(c, Qt::Key_Return);
  ASSERT_TRUE(In(screen, TStagePhase::Rolling));
  EXPECT_EQ(c->LbPhase->text(), QStringLiteral("滚动中"));
  const int before = c->Pictures();
  EXPECT_TRUE(QTest::qWaitFor([&] { return c->Pictures() >= before + 2; }));
  Key(c, Qt::Key_Return);
  ASSERT_TRUE(In(screen, TStagePhase::Revealed));
  EXPECT_EQ(c->LbPhase->text(), QStringLiteral("已揭晓"));
  EXPECT_TRUE(c->LbBatches->text().contains(QStringLiteral("一等奖：")));
  EXPECT_TRUE(c->LbItems->text().contains(QStringLiteral("▶ 二等奖　已抽0/2　还剩2")));
  EXPECT_TRUE(c->LbItems->text().contains(QStringLiteral("可随机抽中[二等奖]的还有8人")));

  // The console's buttons are the stage's keys: 标记缺席 opens the choice on the stage, 作废
  // the void window on the operator's screen.
  c->BtAbsent->click();
  ASSERT_TRUE(In(screen, TStagePhase::Choosing));
  Key(c, Qt::Key_Escape);
  ASSERT_TRUE(In(screen, TStagePhase::Revealed));
  c->BtVoid->click();
  TVoidDialog* voiding = nullptr;
  ASSERT_TRUE(QTest::qWaitFor([&] {
    voiding = screen.findChild<TVoidDialog*>();
    return voiding && voiding->isVisible();
  }));
  EXPECT_EQ(voiding->screen(), screens[0]);
  voiding->reject();
  EXPECT_EQ(screen.Stage().Phase(), TStagePhase::Revealed);

  // 黑屏 from the console: only the projector goes black.
  Key(c, Qt::Key_B);
  ASSERT_TRUE(screen.BlankCover()->isVisible());
  EXPECT_EQ(Middle(screen), QColor(Qt::black));
  EXPECT_TRUE(c->LbBlank->isVisible());
  EXPECT_EQ(c->BtBlank->text(), QStringLiteral("恢复投影 (B)"));
  EXPECT_TRUE(c->isVisible());
  EXPECT_FALSE(screen.Overlay()->isVisible());  // the console says it, not the projector
  // A start key is refused, said on the console.
  Key(c, Qt::Key_Return);
  EXPECT_EQ(screen.Stage().Phase(), TStagePhase::Revealed);
  EXPECT_EQ(c->LbNote->text(), QStringLiteral("投影已黑屏，不能开始抽奖：请先按B恢复投影"));
  // Other keys still reach the draw under the cover: Q opens the choice, Esc leaves it.
  Key(c, Qt::Key_Q);
  ASSERT_TRUE(In(screen, TStagePhase::Choosing));
  EXPECT_TRUE(screen.BlankCover()->isVisible());
  Key(c, Qt::Key_Escape);
  ASSERT_TRUE(In(screen, TStagePhase::Revealed));
  // The draw screen's own keys too.
  Key(screen.EKeyCtrl, Qt::Key_B);
  EXPECT_FALSE(screen.BlankCover()->isVisible());
  EXPECT_FALSE(c->LbBlank->isVisible());
  Key(c, Qt::Key_Return);
  EXPECT_TRUE(In(screen, TStagePhase::Rolling));
}

TEST_F(ConsoleScreen, MuteIsMarkedInTheOneScreensCornerUntilUnmuted) {
  TGetLuckMainForm screen(m_session, nullptr, 31u);
  ASSERT_EQ(screen.SetUpDraw(1001), 1);
  screen.resize(1024, 768);
  screen.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&screen));
  EXPECT_FALSE(screen.Overlay()->isVisible());
  Key(screen.EKeyCtrl, Qt::Key_M);
  EXPECT_TRUE(screen.Sound()->Muted());
  ASSERT_TRUE(screen.Overlay()->isVisible());
  EXPECT_EQ(screen.Overlay()->text(), QStringLiteral("已静音（按M恢复声音）"));
  // The mark stays through the batch, away from the cards and the winners.
  Key(screen.EKeyCtrl, Qt::Key_Return);
  ASSERT_TRUE(In(screen, TStagePhase::Rolling));
  EXPECT_TRUE(screen.Overlay()->isVisible());
  Key(screen.EKeyCtrl, Qt::Key_Return);
  ASSERT_TRUE(In(screen, TStagePhase::Revealed));
  ASSERT_TRUE(screen.Overlay()->isVisible());
  ASSERT_TRUE(screen.PUser2->isVisible());
  EXPECT_FALSE(screen.Overlay()->geometry().intersects(screen.PUser2->geometry()));
  EXPECT_FALSE(screen.Overlay()->geometry().intersects(screen.PLuckNow->geometry()));
  // With the facts asked for it heads them.
  Key(screen.EKeyCtrl, Qt::Key_I);
  EXPECT_TRUE(screen.Overlay()->text().startsWith(QStringLiteral("已静音（按M恢复声音）\n已揭晓")));
  Key(screen.EKeyCtrl, Qt::Key_M);
  EXPECT_FALSE(screen.Sound()->Muted());
  EXPECT_TRUE(screen.Overlay()->text().startsWith(QStringLiteral("已揭晓")));
  Key(screen.EKeyCtrl, Qt::Key_I);
  EXPECT_FALSE(screen.Overlay()->isVisible());
  EXPECT_TRUE(m_dialogs.messages().empty());
}

// Two screens as ConsoleScreen.TwoScreens* runs them; skipped on one.
TEST_F(ConsoleScreen, TwoScreensMuteButtonPressesTheStagesKeyAndTheConsoleMarksIt) {
  const QList<QScreen*> screens = QGuiApplication::screens();
  if (screens.size() < 2) GTEST_SKIP() << "one screen only";
  QWidget owner;
  owner.setGeometry(QRect(screens[0]->geometry().topLeft() + QPoint(20, 20), QSize(800, 600)));
  owner.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
  TGetLuckMainForm screen(m_session, &owner, 31u);
  ASSERT_EQ(screen.SetUpDraw(1001), 1);
  ShowOnWholeScreen(&screen);
  screen.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&screen));
  ASSERT_TRUE(QTest::qWaitFor([&] { return screen.Console() && screen.Console()->isVisible(); }));
  TConsoleForm* c = screen.Console();
  EXPECT_TRUE(c->BtMute->isEnabled());
  EXPECT_EQ(c->BtMute->text(), QStringLiteral("静音 (M)"));
  EXPECT_FALSE(c->LbMute->isVisible());

  c->BtMute->click();
  EXPECT_TRUE(screen.Sound()->Muted());
  EXPECT_TRUE(c->LbMute->isVisible());
  EXPECT_EQ(c->LbMute->text(), QStringLiteral("已静音：抽奖声音已关闭，按M恢复"));
  EXPECT_EQ(c->BtMute->text(), QStringLiteral("恢复声音 (M)"));
  EXPECT_FALSE(screen.Overlay()->isVisible());  // the console says it, not the projector
  Key(c, Qt::Key_M);
  EXPECT_FALSE(screen.Sound()->Muted());
  EXPECT_FALSE(c->LbMute->isVisible());
  EXPECT_EQ(c->BtMute->text(), QStringLiteral("静音 (M)"));
  // The stage's own M shows on the console too.
  Key(screen.EKeyCtrl, Qt::Key_M);
  EXPECT_TRUE(c->LbMute->isVisible());
  Key(screen.EKeyCtrl, Qt::Key_M);
  EXPECT_FALSE(c->LbMute->isVisible());
  EXPECT_TRUE(m_dialogs.messages().empty());
}
