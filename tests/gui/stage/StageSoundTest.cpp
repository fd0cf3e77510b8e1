#include "gui/stage/StageSound.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>

#include "DialogRecorder.h"
#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/config/TaskSounds.h"
#include "core/text/Gbk.h"
#include "gui/stage/GetLuckMainFrm.h"

using text::G;

namespace {

// Two items of one winner each, with a hit and a fanfare of their own files.
class StageSoundScreen : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dm.DataModuleCreate());
    TaskDef def;
    def.items = {{G("二等奖"), 1, 1, ""}, {G("一等奖"), 1, 1, ""}};
    for (int i = 0; i < 6; ++i) def.candidates.push_back(std::to_string(100 + i) + " p");
    BuildTask(m_dm, def);
    WriteAll(m_root.dir() / "hit.wav", std::string("RIFF\x10\0\0\0WAVEfmt ", 16));
    WriteAll(m_root.dir() / "fanfare.wav", std::string("RIFF\x10\0\0\0WAVEfmt ", 16));
    TSoundSettings s;
    s.Of(TSoundCue::Hit).path = m_root.path("hit.wav");
    s.Of(TSoundCue::Fanfare).path = m_root.path("fanfare.wav");
    std::string error;
    ASSERT_TRUE(config::SaveTaskSounds(1001, s, error)) << error;
  }

  // One batch: started, rolled, stopped, and waited for until the hall sees it.
  static void DrawBatch(TGetLuckMainForm& screen, TSoundCue heard) {
    QTest::keyClick(screen.EKeyCtrl, Qt::Key_Return);
    QCoreApplication::processEvents();
    QTest::keyClick(screen.EKeyCtrl, Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
          const auto& shots = screen.Sound()->Shots();
          return !shots.empty() && shots.back() == heard;
        },
        5000));
  }

  TempRoot m_root;
  TDrawSession m_session;
  TTombolixDataModule m_dm;
  DialogRecorder m_dialogs;
};

}  // namespace

// The stage's moments pick their cues on the real screen: the roll's loop, the hit, the
// fanfare at the first reveal and the longer one at the grand prize (the fanfare's file, as
// none of its own is set); M mutes, and a muted reveal sends nothing to the players.
TEST_F(StageSoundScreen, ARevealPicksTheFanfareAndMKeyMutes) {
  TGetLuckMainForm screen(m_session, nullptr, 11u);
  ASSERT_EQ(screen.SetUpDraw(1001), 1);
  screen.resize(1024, 768);
  screen.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&screen));
  ASSERT_NE(screen.Sound(), nullptr);
  const int made = SoundPlayersMade();

  DrawBatch(screen, TSoundCue::Fanfare);
  EXPECT_EQ(screen.Sound()->Shots(), (std::vector<TSoundCue>{TSoundCue::Hit, TSoundCue::Fanfare}));
  EXPECT_EQ(screen.Sound()->Loops(), (std::vector<TSoundPlay>{{TSoundCue::RollLoop, 0}}));
  EXPECT_EQ(screen.Sound()->Sent(), 2);  // no roll loop is set: the hit and the fanfare
  // The players are made on their own thread, after the keys were answered.
  EXPECT_TRUE(QTest::qWaitFor([&] { return SoundPlayersMade() >= made + 2; }, 5000));

  QTest::keyClick(screen.EKeyCtrl, Qt::Key_M);
  EXPECT_TRUE(screen.Sound()->Muted());
  DrawBatch(screen, TSoundCue::GrandFanfare);
  EXPECT_EQ(screen.Sound()->Sent(), 2);
  QTest::keyClick(screen.EKeyCtrl, Qt::Key_M);
  EXPECT_FALSE(screen.Sound()->Muted());
  EXPECT_TRUE(m_dialogs.messages().empty());
}
