#include "core/check/ShowCheck.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/mount.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "SqlRows.h"
#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/config/TaskRules.h"
#include "core/config/TaskSounds.h"
#include "core/db/TombolixDB.h"
#include "core/import/Import.h"
#include "core/records/FileHash.h"
#include "core/records/WinnerPhotos.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"

using check::TMark;
using text::G;

namespace {

// Task 1001: two items (2 and 1 winners); its list of five imported through the real import.
class ShowCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dm.DataModuleCreate());
    TaskDef def;
    def.items = {{G("一等奖"), 2, 1, ""}, {G("二等奖"), 1, 1, ""}};
    m_items = BuildTask(m_dm, def);
    WriteAll(m_root.dir() / "list.txt", "id name\r\n1 a\r\n2 b\r\n3 c\r\n4 d\r\n5 e\r\n");
    std::string target, error;
    ASSERT_TRUE(dataimport::ImportTextFile(m_root.path("list.txt"), 1001, TIdType::Numeric, {},
                                           target, error))
        << error;
    ASSERT_TRUE(
        db::ExecSql(m_dm.ARryPub, db::sql::kUpdateDataFilePath, {target, int64_t{1001}}, error));
  }

  check::TShowCheck Run() {
    check::TShowCheck c;
    std::string error;
    EXPECT_TRUE(check::CheckShow(1001, c, error)) << error;
    EXPECT_GE(c.Findings.size(), 5u);
    return c;
  }
  void SetTask(const std::string& column, const std::string& value) {
    std::string error;
    ASSERT_TRUE(db::ExecSql(m_dm.ARryPub, "update LuckTask set " + column + "=? where TaskId=1001",
                            {value}, error))
        << error;
  }
  static const check::TFinding& Topic(const check::TShowCheck& c, const char* topic) {
    for (const check::TFinding& f : c.Findings)
      if (f.Topic == G(topic)) return f;
    static check::TFinding none{TMark::Warning, "?", "?"};
    return none;
  }

  TempRoot m_root;
  TTombolixDataModule m_dm;
  std::vector<int> m_items;
};

}  // namespace

TEST_F(ShowCheck, AFreshImportPassesAndNothingUnusedIsWarned) {
  const auto c = Run();
  EXPECT_EQ(c.Candidates, 5);
  const auto& list = Topic(c, "名单");
  EXPECT_EQ(list.Mark, TMark::Ok) << text::GbkToUtf8(list.Text);
  EXPECT_EQ(list.Text.rfind(G("名单已导入，共5人，导入后未被改动（指纹 "), 0), 0u);
  EXPECT_EQ(Topic(c, "预设名单").Mark, TMark::NotUsed);
  EXPECT_EQ(Topic(c, "照片").Mark, TMark::NotUsed);
  EXPECT_EQ(Topic(c, "背景音乐").Text, G("未设背景音乐"));
  EXPECT_EQ(Topic(c, "磁盘空间").Mark, TMark::Ok);
  EXPECT_TRUE(c.Pictures.empty());
}

TEST_F(ShowCheck, AListChangedAfterTheImportOrWithoutFingerprintIsWarned) {
  const std::filesystem::path data = paths::NativePath(paths::DrawDataPath(1001));
  std::string bytes = ReadAll(data);
  bytes.replace(bytes.find("3 c"), 3, "3 x");
  WriteAll(data, bytes);
  auto list = Topic(Run(), "名单");
  EXPECT_EQ(list.Mark, TMark::Warning);
  EXPECT_EQ(list.Text, G("名单文件在导入后被改动过（指纹与导入时不符），请重新导入名单"));

  std::filesystem::remove(paths::NativePath(ListFingerprintPath(1001)));
  list = Topic(Run(), "名单");
  EXPECT_EQ(list.Mark, TMark::Warning);
  EXPECT_NE(list.Text.find(G("没有导入时的指纹")), std::string::npos);

  std::filesystem::remove(data);
  list = Topic(Run(), "名单");
  EXPECT_EQ(list.Text, G("名单未导入，请在抽奖配置中导入名单"));
}

TEST_F(ShowCheck, PresetsOutsideTheListTwiceOrTooManyAreWarned) {
  WritePresets(1001, m_items[0], {"2 b"});
  EXPECT_EQ(Topic(Run(), "预设名单").Text, G("预设名单有效，共1人"));
  WritePresets(1001, m_items[1], {"9 z"});
  EXPECT_EQ(Topic(Run(), "预设名单").Text, G("奖项[二等奖]的预设[9]不在名单中"));
  WritePresets(1001, m_items[1], {"2 b", "3 c"});
  const auto f = Topic(Run(), "预设名单");
  EXPECT_EQ(f.Mark, TMark::Warning);
  EXPECT_EQ(f.Text, G("奖项[二等奖]的预设名单有2人，多于中奖人数1（另有1处）"));
}

TEST_F(ShowCheck, PhotosMusicAndPicturesToOpen) {
  const std::filesystem::path dir = paths::NativePath(photos::PhotoDir(1001));
  std::filesystem::create_directories(dir);
  for (const char* n : {"1.jpg", "3.PNG", "9.jpg", "notes.txt"}) WriteAll(dir / n, "x");
  WriteAll(m_root.dir() / "song.mp3", "ID3\x03rest");
  WriteAll(m_root.dir() / "fake.mp3", "<html>not music</html>");
  SetTask("MainImageName", m_root.path("bg.jpg"));
  SetTask("MusicFilePath", m_root.path("fake.mp3"));
  auto c = Run();
  EXPECT_EQ(Topic(c, "照片").Text, G("找到照片：2/5人，缺照片：2 b、4 d、5 e，中奖时不显示照片"));
  std::filesystem::remove(dir / "1.jpg");
  std::filesystem::remove(dir / "3.PNG");
  WriteAll(dir / "5.jpg", "x");
  EXPECT_EQ(Topic(Run(), "照片").Text,
            G("找到照片：1/5人，缺照片：1 a、2 b、3 c等4人，中奖时不显示照片"));
  EXPECT_EQ(Topic(c, "背景音乐").Text,
            G("背景音乐文件不是mp3、wma或wav音乐：") + m_root.path("fake.mp3"));
  ASSERT_EQ(c.Pictures.size(), 1u);
  EXPECT_EQ(c.Pictures[0].Path, m_root.path("bg.jpg"));

  SetTask("MusicFilePath", m_root.path("song.mp3"));
  EXPECT_EQ(Topic(Run(), "背景音乐").Mark, TMark::Ok);
  SetTask("MusicFilePath", m_root.path("gone.mp3"));
  EXPECT_EQ(Topic(Run(), "背景音乐").Text, G("背景音乐文件不存在：") + m_root.path("gone.mp3"));
}

// The rules are listed item by item in the draw screen's words; the exclusion list counts
// the people of this list, the excluded task its winners so far; a field the list lacks is
// warned as the draw would refuse it.
TEST_F(ShowCheck, TheRulesAreListedInWordsWithTheirExclusions) {
  EXPECT_EQ(Topic(Run(), "抽奖规则").Mark, TMark::NotUsed);
  TaskDef lunch;
  lunch.taskId = 1002;
  lunch.items = {{G("午宴奖"), 1, 1, ""}};
  lunch.candidates = {"1 a"};
  const std::vector<int> lunchItems = BuildTask(m_dm, lunch);
  std::string error;
  ASSERT_TRUE(db::ExecRaw(m_dm.ADOConnection1,
                          "update LuckTask set TaskName='午宴' where TaskId=1002", error));
  std::filesystem::create_directories(paths::NativePath(paths::LuckFileDir()));
  WriteAll(paths::NativePath(paths::WinnerFilePath(1002, lunchItems[0])), "id name\r\n3 c\r\n");
  TTaskRules rules;
  rules.ExcludeTasks = {1002};
  rules.ExcludeIds = {"1", "2", "99", G("工号")};
  rules.Items = {{m_items[1], {{"name", TConditionKind::NoneOf, {"e"}}}, {"name", 1}}};
  ASSERT_TRUE(config::SaveTaskRules(m_dm, 1001, rules, error)) << error;
  auto f = Topic(Run(), "抽奖规则");
  EXPECT_EQ(f.Mark, TMark::Ok);
  EXPECT_EQ(text::GbkToUtf8(f.Text),
            "奖项[一等奖]不含午宴中奖者　排除名单2人；"
            "奖项[二等奖]仅限：name不是e　每name最多1名　不含午宴中奖者　排除名单2人；"
            "[午宴]目前有中奖者1人");
  rules.Items = {{m_items[1], {{G("部门"), TConditionKind::OneOf, {G("销售")}}}, {}}};
  ASSERT_TRUE(config::SaveTaskRules(m_dm, 1001, rules, error)) << error;
  f = Topic(Run(), "抽奖规则");
  EXPECT_EQ(f.Mark, TMark::Warning);
  EXPECT_EQ(text::GbkToUtf8(f.Text),
            "抽奖规则不能用于本名单：抽奖规则中的字段[部门]不在名单的标题行中");
}

TEST(ShowCheckTexts, DiskPicturesFontsAndScreens) {
  EXPECT_EQ(check::BytesNeeded(0, 0), 1 << 20);
  // Per winner: a line of 98 with CR LF and a 96-byte record, each twice.
  EXPECT_EQ(check::BytesNeeded(10000, 98), 7840000);
  EXPECT_EQ(check::DiskFinding(3 << 20, 5 << 20).Text,
            G("磁盘剩余空间不足：只剩3 MB，中奖名单和抽奖记录需要约5 MB，请先腾出空间"));
  EXPECT_EQ(check::DiskFinding(-1, 5).Mark, TMark::Warning);
  const check::TPictureToOpen prize{G("奖品图片"), G("一等奖"), "/x/car.jpg"};
  EXPECT_EQ(check::PictureFinding(prize, false, false, "").Text,
            G("奖项[一等奖]的奖品图片不存在：/x/car.jpg"));
  EXPECT_EQ(check::FontFinding({G("隶书"), G("黑体")}).Text,
            G("缺少字体：隶书、黑体，抽奖画面的中文会用其他字体显示"));
  EXPECT_EQ(check::FontFinding({}).Mark, TMark::Ok);
  EXPECT_EQ(check::ScreenFinding(2, 2, 1920, 1080).Text,
            G("找到2块屏幕，抽奖画面在第2块（1920x1080）"));
  EXPECT_EQ(check::ScreenFinding(0, 0, 0, 0).Mark, TMark::Warning);
}

#ifndef _WIN32  // the full disk is a Linux tmpfs
// A real full disk: a small tmpfs mounted over LUCK_FILE and filled.
TEST_F(ShowCheck, AFullDiskIsWarned) {
  if (geteuid() != 0) GTEST_SKIP() << "mounting a small tmpfs needs root";
  const std::filesystem::path luck = paths::NativePath(paths::LuckFileDir());
  std::filesystem::create_directories(luck);
  if (mount("tmpfs", luck.c_str(), "tmpfs", 0, "size=4m") != 0)
    GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
  WriteAll(luck / "fill.bin", std::string(3700 * 1024, 'x'));
  const auto disk = Topic(Run(), "磁盘空间");
  std::filesystem::remove(luck / "fill.bin");
  const auto roomy = Topic(Run(), "磁盘空间");
  umount(luck.c_str());
  EXPECT_EQ(disk.Mark, TMark::Warning);
  EXPECT_EQ(disk.Text.rfind(G("磁盘剩余空间不足：只剩1 MB，"), 0), 0u)
      << text::GbkToUtf8(disk.Text);
  EXPECT_EQ(roomy.Mark, TMark::Ok) << text::GbkToUtf8(roomy.Text);
}
#endif

// The sounds beside the music: none set says nothing; a missing or broken file is named
// with its cue, and the draw is said to go on.
TEST_F(ShowCheck, SoundFilesAreNamedWhenMissingOrBroken) {
  auto c = Run();
  for (const check::TFinding& f : c.Findings) EXPECT_NE(f.Topic, G("音效"));
  WriteAll(m_root.dir() / "hit.wav", std::string("RIFF\x10\0\0\0WAVEfmt ", 16));
  WriteAll(m_root.dir() / "clap.mp3", "not a sound");
  TSoundSettings s;
  s.Of(TSoundCue::Hit).path = m_root.path("hit.wav");
  s.Of(TSoundCue::Fanfare).builtIn = true;
  std::string error;
  ASSERT_TRUE(config::SaveTaskSounds(1001, s, error)) << error;
  c = Run();
  ASSERT_GE(c.Findings.size(), 6u);
  EXPECT_EQ(c.Findings[5].Topic, G("音效"));
  EXPECT_EQ(c.Findings[5].Mark, TMark::Ok);
  EXPECT_EQ(c.Findings[5].Text, G("音效都可以打开：停止音"));
  s.Of(TSoundCue::Applause).path = m_root.path("clap.mp3");
  s.items[m_items[1]].path = m_root.path("gone.mp3");
  ASSERT_TRUE(config::SaveTaskSounds(1001, s, error)) << error;
  const auto f = Topic(Run(), "音效");
  EXPECT_EQ(f.Mark, TMark::Warning);
  EXPECT_EQ(f.Text, G("结束掌声文件不是mp3、wma或wav音乐：") + m_root.path("clap.mp3") +
                        G("；奖项[二等奖]的音乐文件不存在：") + m_root.path("gone.mp3") +
                        G("。抽奖照常进行，这些音效不响"));
}
