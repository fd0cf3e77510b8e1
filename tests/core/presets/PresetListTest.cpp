#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>
#endif
#include <csignal>

#include "TempRoot.h"
#include "core/presets/PresetList.h"
#include "core/records/DrawDataFile.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"

using text::G;
namespace fs = std::filesystem;

namespace {

std::string PresetFile(int task, int item) {
  return ReadAll(paths::NativePath(paths::PresetFilePath(task, item)));
}

std::vector<std::string> Heads(const std::string& fileText, std::string& error) {
  TempRoot root;
  WriteAll(root.dir() / "d.txt", fileText);
  std::vector<std::string> heads{"stale"};
  if (!ReadPresetHeads(root.path("d.txt"), heads, error)) {
    EXPECT_TRUE(heads.empty());
  }
  return heads;
}

}  // namespace

TEST(ReadPresetHeads, TitleLineSplitIntoHeadsAndEachBadLineNamed) {
  std::string err;
  EXPECT_EQ(
      Heads("BEGIN\r\nCOUNT=2\r\nID_MAX_LENGTH=11\r\n  " + G("号码   姓名 部门") + " \r\n1 a x\r\n",
            err),
      (std::vector<std::string>{G("号码"), G("姓名"), G("部门")}));
  EXPECT_TRUE(Heads("BEGIN\nCOUNT=0\nID_MAX_LENGTH=0\n\n", err).empty());  // no heads, no error
  EXPECT_TRUE(err.empty());

  Heads("BEGIN \r\nCOUNT=2\r\nX=1\r\nh\r\n", err);
  EXPECT_EQ(err, G("文件格式错误,第一行，请重新导入数据"));
  Heads("BEGIN\r\nCOUNT=2x\r\nX=1\r\nh\r\n", err);
  EXPECT_EQ(err, G("文件格式错误,第二行，请重新导入数据"));
  Heads("BEGIN\r\nCOUNT 2\r\nX=1\r\nh\r\n", err);  // no '=' at all
  EXPECT_EQ(err, G("文件格式错误,第二行，请重新导入数据"));
  Heads("BEGIN\r\nCOUNT=2\r\nID_MAX_LENGTH=\r\nh\r\n", err);
  EXPECT_EQ(err, G("文件格式错误,第三行，请重新导入数据"));
  Heads("BEGIN\r\nCOUNT=2\r\n", err);  // the file ends early
  EXPECT_EQ(err, G("文件格式错误,第三行，请重新导入数据"));

  TempRoot root;
  std::vector<std::string> heads;
  EXPECT_FALSE(ReadPresetHeads(root.path("DATA_FILE/1001.txt"), heads, err));
  EXPECT_EQ(err, G("未找到导入的数据，请重新导入数据"));
  EXPECT_FALSE(ReadPresetHeads("", heads, err));  // a task without imported data
  EXPECT_EQ(err, G("未找到导入的数据，请重新导入数据"));
}

TEST(PresetListFull, AtMostTheWinnerCountAndOneForZero) {
  EXPECT_FALSE(PresetListFull(0, 0));
  EXPECT_TRUE(PresetListFull(1, 0));
  EXPECT_FALSE(PresetListFull(0, 1));
  EXPECT_TRUE(PresetListFull(1, 1));
  EXPECT_FALSE(PresetListFull(1, 2));
  EXPECT_TRUE(PresetListFull(2, 2));
  EXPECT_EQ(PresetListFullText(G("一等奖"), 2),
            G("一等奖设定的中奖总数为:2,指定中奖数已经达到设定的最大值了"));
}

TEST(PresetCells, ExtraFieldsDroppedMissingOnesEmpty) {
  EXPECT_EQ(PresetCells("1 a  b c", 2), (std::vector<std::string>{"1", "a"}));
  EXPECT_EQ(PresetCells("  1   a ", 3), (std::vector<std::string>{"1", "a", ""}));
  EXPECT_EQ(PresetId(" 139 " + G("张三")), "139");
}

TEST(TPresetList, AddRefusesDuplicatesAndAFullListAndEveryAttemptMarksModified) {
  TPresetList list;
  list.Load({"1 a", "2 b"});
  EXPECT_FALSE(list.Modified());
  EXPECT_EQ(list.Add("", 3), TPresetList::AddResult::Nothing);  // the dialog was cancelled
  EXPECT_TRUE(list.Modified());
  EXPECT_EQ(list.Add("2 other", 3), TPresetList::AddResult::Duplicate);
  EXPECT_EQ(list.Add("22 b", 3), TPresetList::AddResult::Added);  // a longer id is another
  EXPECT_EQ(list.Add("3 c", 3), TPresetList::AddResult::Full);
  EXPECT_EQ(list.Lines(), (std::vector<std::string>{"1 a", "2 b", "22 b"}));
  list.Saved();
  list.Delete(7);
  EXPECT_TRUE(list.Modified());  // the delete button marks even when nothing went
  list.Delete(0);
  EXPECT_EQ(list.Lines(), (std::vector<std::string>{"2 b", "22 b"}));
  list.Load({});
  EXPECT_TRUE(list.Modified());  // reloading keeps the mark
  EXPECT_EQ(PresetDuplicateText(G("号码"), "2"), G("号码[2]已经在指定中奖名单中,不能重复指定"));
}

TEST(SavePresetLines, WholeLinesCrLfAndAnEmptyListIsAnEmptyFile) {
  TempRoot root;
  std::string err;
  // A candidate line with more fields than the file has heads is written whole, so that
  // the draw still finds it byte for byte.
  ASSERT_TRUE(SavePresetLines(1001, 2001, {G("139 张三 研发部 extra"), "2  b"}, err)) << err;
  EXPECT_EQ(PresetFile(1001, 2001), G("139 张三 研发部 extra") + "\r\n2  b\r\n");
  std::vector<std::string> lines;
  ASSERT_TRUE(ReadPresetLines(1001, 2001, lines, err));
  EXPECT_EQ(lines, (std::vector<std::string>{G("139 张三 研发部 extra"), "2  b"}));

  ASSERT_TRUE(SavePresetLines(1001, 2001, {}, err));
  EXPECT_TRUE(fs::exists(paths::NativePath(paths::PresetFilePath(1001, 2001))));
  EXPECT_EQ(PresetFile(1001, 2001), "");
}

TEST(ReadPresetLines, MissingFileIsAnEmptyListAndBlankLinesAreSkipped) {
  TempRoot root;
  std::string err;
  std::vector<std::string> lines{"stale"};
  ASSERT_TRUE(ReadPresetLines(1001, 2001, lines, err));
  EXPECT_TRUE(lines.empty());
  WriteAll(root.dir() / "DATA_FILE/CHEAT_1001_2001.txt", "\r\n  1 a  \r\n\r\n\t\n2 b");
  ASSERT_TRUE(ReadPresetLines(1001, 2001, lines, err));
  EXPECT_EQ(lines, (std::vector<std::string>{"1 a", "2 b"}));
}

#ifndef _WIN32  // the full disk is made with setrlimit
TEST(SavePresetLines, AFailedWriteKeepsThePreviousFile) {
  TempRoot root;
  std::string err;
  ASSERT_TRUE(SavePresetLines(1001, 2001, {"1 a"}, err));
  // A disk that fills up after 8 bytes: the new list cannot be written whole.
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  void (*previous)(int) = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 8;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool saved = SavePresetLines(1001, 2001, {"2 bbbbbbbb", "3 cccccccc"}, err);
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, previous);
  EXPECT_FALSE(saved);
  EXPECT_NE(err.find(G("无法写入文件")), std::string::npos);
  EXPECT_EQ(PresetFile(1001, 2001), "1 a\r\n");
  size_t entries = 0;
  for ([[maybe_unused]] auto& e : fs::directory_iterator(root.dir() / "DATA_FILE")) ++entries;
  EXPECT_EQ(entries, 1u);  // no temporary left behind
}
#endif
