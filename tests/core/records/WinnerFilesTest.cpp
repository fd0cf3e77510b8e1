#include <gtest/gtest.h>

#include "TempRoot.h"
#include "core/records/WinnerFiles.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"

using text::G;
namespace fs = std::filesystem;

namespace {

TLuckItem Item(int itemId, const std::string& name, int taskId = 1001) {
  TLuckItem it;
  it.ItemId = itemId;
  it.TaskId = taskId;
  it.ItemName = name;
  return it;
}

std::string WinnerFile(int task, int item) {
  return ReadAll(paths::NativePath(paths::WinnerFilePath(task, item)));
}

}  // namespace

TEST(SaveWinnerFiles, EachItemGetsItsOwnWinnersInDrawOrder) {
  TempRoot root;
  const TArrLuckItem items = {Item(2001, G("一等奖")), Item(2002, G("二等奖")), Item(2003, "none")};
  // The record's TaskId is not compared.
  const TArrLuckId winners = {{2002, 1001, 5, "5 e"},
                              {2001, 1001, 1, "1 a"},
                              {2002, 9999, 3, "3 c"},
                              {2001, 1001, 0, G("0 张三")}};
  std::string err;
  ASSERT_TRUE(SaveWinnerFiles(items, winners, G("号码 姓名"), err)) << err;
  EXPECT_EQ(WinnerFile(1001, 2001), G("号码 姓名") + "\r\n1 a\r\n" + G("0 张三") + "\r\n");
  EXPECT_EQ(WinnerFile(1001, 2002), G("号码 姓名") + "\r\n5 e\r\n3 c\r\n");
  EXPECT_EQ(WinnerFile(1001, 2003), G("号码 姓名") + "\r\n");  // the title alone
}

TEST(SaveWinnerFiles, EmptyTitleAndNoItems) {
  TempRoot root;
  std::string err;
  ASSERT_TRUE(SaveWinnerFiles({Item(2001, "a")}, {{2001, 1001, 0, "x"}}, "", err));
  EXPECT_EQ(WinnerFile(1001, 2001), "\r\nx\r\n");
  ASSERT_TRUE(SaveWinnerFiles({}, {{2001, 1001, 0, "x"}}, "t", err));
  EXPECT_EQ(WinnerFile(1001, 2001), "\r\nx\r\n");  // untouched
}

TEST(SaveWinnerFiles, AFailureHalfWayLeavesEveryPreviousFile) {
  TempRoot root;
  std::string err;
  const TArrLuckItem items = {Item(2001, "a"), Item(2002, "b"), Item(2003, "c")};
  ASSERT_TRUE(
      SaveWinnerFiles(items, {{2001, 1001, 0, "old a"}, {2003, 1001, 1, "old c"}}, "t", err));
  // A directory where the second item's file must go.
  fs::remove(paths::NativePath(paths::WinnerFilePath(1001, 2002)));
  fs::create_directories(paths::NativePath(paths::WinnerFilePath(1001, 2002)));
  EXPECT_FALSE(
      SaveWinnerFiles(items, {{2001, 1001, 0, "new a"}, {2003, 1001, 1, "new c"}}, "t", err));
  EXPECT_NE(err.find(G("无法写入文件")), std::string::npos);
  EXPECT_EQ(WinnerFile(1001, 2001), "t\r\nold a\r\n");
  EXPECT_EQ(WinnerFile(1001, 2003), "t\r\nold c\r\n");
  size_t entries = 0;
  for ([[maybe_unused]] auto& e : fs::directory_iterator(root.dir() / "LUCK_FILE")) ++entries;
  EXPECT_EQ(entries, 3u);  // no temporaries left
}

TEST(LoadPresetEntries, TrimmedNonEmptyLinesAppendedInFileOrder) {
  TempRoot root;
  WriteAll(paths::NativePath(paths::PresetFilePath(1001, 2002)),
           "  138 a  \r\n\r\n   \r\n" + G("139 李四") + "\n\t140 c\r\n");
  TArrCheatId entries = {{true, 1, 1, "earlier"}};
  std::string err;
  ASSERT_TRUE(LoadPresetEntries(1001, 2002, entries, err));
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0].IdText, "earlier");
  EXPECT_EQ(entries[1].IdText, "138 a");
  EXPECT_EQ(entries[2].IdText, G("139 李四"));
  EXPECT_EQ(entries[3].IdText, "140 c");
  EXPECT_FALSE(entries[1].Used);
  EXPECT_EQ(entries[1].TaskId, 1001);
  EXPECT_EQ(entries[1].ItemId, 2002);
  ASSERT_TRUE(LoadPresetEntries(1001, 2003, entries, err));  // no file
  EXPECT_EQ(entries.size(), 4u);
}

TEST(LoadWinnerFile, HeadFieldsRowsAndTheThousandRowCap) {
  TempRoot root;
  TWinnerFile f;
  std::string err = "stale";
  ASSERT_TRUE(LoadWinnerFile(1001, 2001, f, err));
  EXPECT_FALSE(f.exists);
  EXPECT_EQ(err, "");

  std::string content = G(" 号码   姓名 部门 ") + "\r\n";
  for (int i = 0; i < 1000; ++i) content += std::to_string(i) + "  n" + std::to_string(i) + "\r\n";
  const fs::path p = paths::NativePath(paths::WinnerFilePath(1001, 2001));
  WriteAll(p, content);
  ASSERT_TRUE(LoadWinnerFile(1001, 2001, f, err));
  EXPECT_TRUE(f.exists);
  EXPECT_EQ(f.head, (std::vector<std::string>{G("号码"), G("姓名"), G("部门")}));
  ASSERT_EQ(f.rows.size(), 1000u);
  EXPECT_EQ(f.rows[999], (std::vector<std::string>{"999", "n999"}));
  EXPECT_EQ(err, "");

  WriteAll(p, content + "1000 last\r\n");
  ASSERT_TRUE(LoadWinnerFile(1001, 2001, f, err));
  EXPECT_EQ(f.rows.size(), 1000u);
  EXPECT_EQ(err, G("由于中奖个数太多,无法全部显示,您可以把抽奖结果导出到文件"));
}

TEST(ExportWinnersText, TaskNameThenEachItemWithAWinnerFile) {
  TempRoot root;
  const TArrLuckItem items = {Item(2001, G("一等奖")), Item(2002, G("二等奖")), Item(2003, "c")};
  std::string err;
  ASSERT_TRUE(SaveWinnerFiles({items[0], items[2]},
                              {{2001, 1001, 0, "1 a"}, {2003, 1001, 1, "3 c"}}, "id name", err));
  TLuckTask task;
  task.TaskName = G("年会");
  const std::string out = root.path("export/all.txt");
  ASSERT_TRUE(ExportWinnersText(items, task, -1, out, err)) << err;
  EXPECT_EQ(ReadAll(out), G("年会") + "\r\n\r\n" + G("一等奖") + "\r\nid name\r\n1 a\r\n\r\nc\r\n" +
                              "id name\r\n3 c\r\n");
  ASSERT_TRUE(ExportWinnersText(items, task, 2003, out, err));
  EXPECT_EQ(ReadAll(out), G("年会") + "\r\n\r\nc\r\nid name\r\n3 c\r\n");
  // One item whose winner file is missing: the task name alone.
  ASSERT_TRUE(ExportWinnersText(items, task, 2002, out, err));
  EXPECT_EQ(ReadAll(out), G("年会") + "\r\n");
  // A target that cannot be written gives its text and leaves what was there.
  fs::create_directories(root.dir() / "export/dir.txt");
  EXPECT_FALSE(ExportWinnersText(items, task, -1, root.path("export/dir.txt"), err));
  EXPECT_FALSE(err.empty());
}

TEST(DeleteTaskFile, EachKindItsFileAndMissingFilesAreNoError) {
  TempRoot root;
  const fs::path data = root.dir() / "DATA_FILE/1001.txt";
  const fs::path winner = root.dir() / "LUCK_FILE/1001_2001.txt";
  const fs::path preset = root.dir() / "DATA_FILE/CHEAT_1001_2001.txt";
  for (const fs::path& p : {data, winner, preset}) WriteAll(p, "x");
  std::string err;
  EXPECT_TRUE(DeleteTaskFile("1001", "2001", 4, err));
  EXPECT_TRUE(fs::exists(data) && fs::exists(winner) && fs::exists(preset));
  EXPECT_TRUE(DeleteTaskFile("1001", "", 1, err));
  EXPECT_FALSE(fs::exists(data));
  EXPECT_TRUE(DeleteTaskFile("1001", "2001", 2, err));
  EXPECT_FALSE(fs::exists(winner));
  EXPECT_TRUE(DeleteTaskFile("1001", "2001", 3, err));
  EXPECT_FALSE(fs::exists(preset));
  EXPECT_TRUE(DeleteTaskFile("1001", "2001", 3, err));  // already gone
  // Ids that would reach outside the data folders delete nothing.
  WriteAll(root.dir() / "keep.txt", "x");
  EXPECT_TRUE(DeleteTaskFile("../keep", "", 1, err));
  EXPECT_TRUE(fs::exists(root.dir() / "keep.txt"));
}
