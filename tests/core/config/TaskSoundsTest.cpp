#include "core/config/TaskSounds.h"

#include <gtest/gtest.h>

#include "SqlRows.h"
#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/config/TaskSettings.h"
#include "core/db/TombolixDM.h"
#include "core/records/Loaders.h"
#include "core/text/Gbk.h"

using text::G;

namespace {

// Task 1001 with background music and two items.
class TaskSounds : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dm.DataModuleCreate());
    TaskDef def;
    def.music = G("/音乐/旧.mp3");
    def.items = {{G("一等奖"), 1, 1, ""}, {G("二等奖"), 2, 1, ""}};
    m_items = BuildTask(m_dm, def);
  }
  TSoundSettings Load() {
    TLuckTask task;
    std::string error;
    EXPECT_TRUE(LoadLuckTask(1001, task, error)) << error;
    TSoundSettings s;
    EXPECT_TRUE(config::LoadTaskSounds(task, s, error)) << error;
    return s;
  }

  TempRoot m_root;
  TTombolixDataModule m_dm;
  std::vector<int> m_items;
};

}  // namespace

// A task never saved with sounds plays its music as the roll loop, with the program's
// fanfare, and no table is made for it.
TEST_F(TaskSounds, AnOldTaskKeepsItsMusicAndFanfare) {
  const TSoundSettings s = Load();
  EXPECT_EQ(s.Of(TSoundCue::RollLoop).path, G("/音乐/旧.mp3"));
  EXPECT_TRUE(s.Of(TSoundCue::Fanfare).builtIn);
  EXPECT_EQ(
      Rows(m_dm.ADOConnection1.Handle(), "select name from sqlite_master where name='TaskSounds'"),
      std::vector<std::string>{});
}

// Saved and read back: each cue's file and volume (clamped), the items' pieces, the roll loop
// as the task's music; a task saved silent stays silent rather than falling back.
TEST_F(TaskSounds, SavedSoundsComeBackAndSilenceStays) {
  TSoundSettings s;
  s.Of(TSoundCue::RollLoop) = {G(" /音乐/新.mp3 "), false, 60};
  s.Of(TSoundCue::Hit) = {"/s/hit.wav", false, 140};
  s.Of(TSoundCue::GrandFanfare) = {"/s/grand.mp3", false, -5};
  s.items[m_items[1]] = {"/s/two.wma", false, 30};
  std::string error;
  ASSERT_TRUE(config::SaveTaskSounds(1001, s, error)) << error;
  const TSoundSettings back = Load();
  EXPECT_EQ(back.Of(TSoundCue::RollLoop), (TCueSound{G("/音乐/新.mp3"), false, 60}));
  EXPECT_EQ(back.Of(TSoundCue::Hit), (TCueSound{"/s/hit.wav", false, 100}));
  EXPECT_EQ(back.Of(TSoundCue::GrandFanfare), (TCueSound{"/s/grand.mp3", false, 0}));
  EXPECT_FALSE(back.Of(TSoundCue::Fanfare).Set());
  ASSERT_EQ(back.items.size(), 1u);
  EXPECT_EQ(back.items.at(m_items[1]), (TCueSound{"/s/two.wma", false, 30}));
  EXPECT_EQ(
      Rows(m_dm.ADOConnection1.Handle(), "select MusicFilePath from LuckTask where TaskId=1001"),
      std::vector<std::string>{"/音乐/新.mp3"});  // stored as UTF-8

  ASSERT_TRUE(config::SaveTaskSounds(1001, TSoundSettings{}, error)) << error;
  EXPECT_TRUE(Load().Empty());
}

// The background music changed elsewhere (the package, an older program) is the roll loop.
TEST_F(TaskSounds, TheRollLoopFollowsTheTasksMusic) {
  std::string error;
  ASSERT_TRUE(config::SaveTaskSounds(1001, LegacySounds("/a.mp3"), error)) << error;
  ASSERT_TRUE(db::ExecSql(m_dm.ARryPub, "update LuckTask set MusicFilePath='/b.mp3'", {}, error));
  const TSoundSettings s = Load();
  EXPECT_EQ(s.Of(TSoundCue::RollLoop).path, "/b.mp3");
  EXPECT_TRUE(s.Of(TSoundCue::Fanfare).builtIn);
}

// Deleting the task removes its sounds.
TEST_F(TaskSounds, DeletingTheTaskRemovesItsSounds) {
  TSoundSettings s;
  s.Of(TSoundCue::Applause).path = "/s/clap.mp3";
  std::string error;
  ASSERT_TRUE(config::SaveTaskSounds(1001, s, error)) << error;
  bool deleted = false;
  ASSERT_TRUE(config::DeleteTask(1001, deleted, error)) << error;
  EXPECT_EQ(Rows(m_dm.ADOConnection1.Handle(), "select count(*) from TaskSounds"),
            std::vector<std::string>{"0"});
}
