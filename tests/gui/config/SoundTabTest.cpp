#include "gui/config/SoundTab.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>

#include "DialogRecorder.h"
#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/config/TaskSounds.h"
#include "core/records/Loaders.h"
#include "core/text/Gbk.h"
#include "gui/app/MainFrm.h"
#include "gui/config/LuckConfigFrm.h"

using text::G;

namespace {

// Task 1001 with background music and two items, its window on the 音效 tab.
class SoundTab : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dm.DataModuleCreate());
    TaskDef def;
    def.music = m_root.path("old.mp3");
    def.items = {{G("二等奖"), 1, 1, ""}, {G("一等奖"), 1, 1, ""}};
    m_items = BuildTask(m_dm, def);
  }
  TSoundSettings Stored() {
    TLuckTask task;
    TSoundSettings s;
    std::string error;
    EXPECT_TRUE(LoadLuckTask(1001, task, error)) << error;
    EXPECT_TRUE(config::LoadTaskSounds(task, s, error)) << error;
    return s;
  }

  TempRoot m_root;
  TTombolixDataModule m_dm;
  DialogRecorder m_dialogs;
  std::vector<int> m_items;
};

}  // namespace

// An old task shows its music as the roll loop and the program's fanfare; a file chosen,
// a volume set and a cue cleared are saved with the task; a cancelled choice keeps the file.
TEST_F(SoundTab, ShowsChoosesClearsAndSaves) {
  TMainForm main;
  TLuckConfigForm f(&main);
  f.show();
  f.PageControl1->setCurrentWidget(f.TSSound);
  TSoundTab& tab = *f.TSSound;
  ASSERT_EQ(tab.Rows().size(), 7u);  // five cues and the two items
  EXPECT_EQ(tab.Rows()[5].name->text(), QStringLiteral("奖项[二等奖]"));
  const TSoundTab::Row* loop = tab.RowOf(TSoundCue::RollLoop);
  const TSoundTab::Row* fanfare = tab.RowOf(TSoundCue::Fanfare);
  ASSERT_TRUE(loop && fanfare);
  EXPECT_EQ(loop->path->text(), QString::fromStdString(m_root.path("old.mp3")));
  EXPECT_EQ(fanfare->path->text(), QString());
  EXPECT_EQ(fanfare->path->placeholderText(), QStringLiteral("程序自带的揭晓音乐"));
  EXPECT_FALSE(tab.Edited());

  const TSoundTab::Row* hit = tab.RowOf(TSoundCue::Hit);
  const TSoundTab::Row* piece = tab.RowOf(TSoundCue::ItemPiece, m_items[1]);
  ASSERT_TRUE(hit && piece);
  // The file dialog gives only files that are there.
  WriteAll(m_root.dir() / "hit.wav", "RIFF");
  WriteAll(m_root.dir() / "one.mp3", "ID3");
  m_dialogs.files = {QString::fromStdString(m_root.path("hit.wav"))};
  QTest::mouseClick(hit->choose, Qt::LeftButton);
  m_dialogs.files = {std::nullopt};  // cancelled
  QTest::mouseClick(hit->choose, Qt::LeftButton);
  EXPECT_EQ(hit->path->text(), QString::fromStdString(m_root.path("hit.wav")));
  hit->volume->setValue(40);
  m_dialogs.files = {QString::fromStdString(m_root.path("one.mp3"))};
  QTest::mouseClick(piece->choose, Qt::LeftButton);
  QTest::mouseClick(fanfare->clear, Qt::LeftButton);
  EXPECT_TRUE(tab.Edited());
  QTest::mouseClick(tab.BtnSaveSound, Qt::LeftButton);
  ASSERT_FALSE(m_dialogs.messages().empty());
  EXPECT_EQ(m_dialogs.messages().back(),
            std::make_pair(MessageKind::Information, QStringLiteral("保存成功")));

  const TSoundSettings s = Stored();
  EXPECT_EQ(s.Of(TSoundCue::RollLoop).path, m_root.path("old.mp3"));
  EXPECT_EQ(s.Of(TSoundCue::Hit), (TCueSound{m_root.path("hit.wav"), false, 40}));
  EXPECT_FALSE(s.Of(TSoundCue::Fanfare).Set());  // cleared: no fanfare any more
  ASSERT_EQ(s.items.size(), 1u);
  EXPECT_EQ(s.items.at(m_items[1]).path, m_root.path("one.mp3"));
  EXPECT_FALSE(tab.Edited());
}
