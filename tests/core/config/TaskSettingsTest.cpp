#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <string>
#include <vector>

#include "SqlRows.h"
#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/config/TaskIds.h"
#include "core/config/TaskSettings.h"
#include "core/db/TombolixDM.h"
#include "core/records/Colour.h"
#include "core/text/FileWrite.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"

using config::TaskField;
using text::G;
namespace fs = std::filesystem;

namespace {

config::TTaskSettings DataTask() {
  config::TTaskSettings s;
  s.TaskName = G("年会抽奖");
  s.FontSize = "36";
  s.FontColor = "clWhite";
  return s;
}

config::TTaskSettings ProbTask(const std::string& prob) {
  config::TTaskSettings s = DataTask();
  s.OrderBy = TDrawType::ByProbability;
  s.Prob = prob;
  return s;
}

config::TTaskSettings Hide(TIdType idType, const std::string& begin, const std::string& end) {
  config::TTaskSettings s = DataTask();
  s.IdType = idType;
  s.HideBegin = begin;
  s.HideEnd = end;
  return s;
}

struct Refusal {
  const char* what;
  config::TTaskSettings settings;
  MessageKind kind;
  const char* text;  // UTF-8; empty: refused without a message
  TaskField focus;
};

}  // namespace

TEST(TaskChecks, RefuseInTheirOrderWithKindTextAndFocus) {
  auto named = [](const std::string& name) {
    config::TTaskSettings s = DataTask();
    s.TaskName = name;
    return s;
  };
  config::TTaskSettings noType = named("a");
  noType.OrderBy = std::nullopt;
  config::TTaskSettings noIdType = ProbTask("10");
  noIdType.IdType = std::nullopt;
  config::TTaskSettings noAgain = DataTask();
  noAgain.LuckAgain = -1;
  config::TTaskSettings badId = DataTask();
  badId.TaskId = "10x";
  config::TTaskSettings badFont = DataTask();
  badFont.FontSize = "1a";
  config::TTaskSettings tinyFont = DataTask();
  tinyFont.FontSize = "9";
  // Both a missing name and a missing type: the name is reported first.
  config::TTaskSettings twoFaults = named("");
  twoFaults.OrderBy = std::nullopt;
  const std::vector<Refusal> cases = {
      {"empty name", twoFaults, MessageKind::Attention, "请输入抽奖名称!", TaskField::TaskName},
      {"blank name", named("  \t "), MessageKind::Attention, "请输入抽奖名称!",
       TaskField::TaskName},
      {"update id not digits", badId, MessageKind::Attention, "", TaskField::None},
      {"font size pasted", badFont, MessageKind::Attention,
       "[标题字体大小]只能输入数字,请重新输入!", TaskField::FontSize},
      {"font size below the up-down's 10", tinyFont, MessageKind::Attention,
       "[标题字体大小]不能小于10,请重新输入!", TaskField::FontSize},
      {"no draw type", noType, MessageKind::Attention, "请选择抽奖类型!", TaskField::OrderBy},
      {"no probability", ProbTask(" "), MessageKind::Attention, "请输入概率值!", TaskField::Prob},
      {"probability 0", ProbTask("0"), MessageKind::Attention, "概率值不正确,请重新输入!",
       TaskField::Prob},
      {"probability pasted", ProbTask("1e3"), MessageKind::Attention,
       "[中奖概率值]只能输入数字,请重新输入!", TaskField::Prob},
      {"probability too big", ProbTask("100000000"), MessageKind::Attention,
       "[中奖概率值]不能大于99999999,请重新输入!", TaskField::Prob},
      {"probability beyond 32 bits", ProbTask("4294967297"), MessageKind::Attention,
       "[中奖概率值]不能大于99999999,请重新输入!", TaskField::Prob},
      {"begin with empty end", Hide(TIdType::Numeric, "3", ""), MessageKind::Error,
       "隐藏起始位不能大于截止位!", TaskField::HideBegin},
      {"begin after end", Hide(TIdType::Numeric, "7", "5"), MessageKind::Error,
       "隐藏起始位不能大于截止位!", TaskField::HideBegin},
      {"begin pasted", Hide(TIdType::Numeric, "-1", "5"), MessageKind::Attention,
       "[抽奖序号隐藏起始位置]只能输入数字,请重新输入!", TaskField::HideBegin},
      {"end too big", Hide(TIdType::Numeric, "1", "123"), MessageKind::Attention,
       "[抽奖序号隐藏截至位置]不能大于99,请重新输入!", TaskField::HideEnd},
      {"no id type", noIdType, MessageKind::Attention, "请选择抽奖序号类型!", TaskField::IdType},
      {"no repeat choice", noAgain, MessageKind::Attention, "请选是否重复中奖!",
       TaskField::LuckAgain},
  };
  for (Refusal c : cases) {
    TLuckTask row;
    config::TTaskFailure f;
    EXPECT_FALSE(config::CheckTask(c.settings, row, f)) << c.what;
    EXPECT_EQ(f.kind, c.kind) << c.what;
    EXPECT_EQ(f.text, G(c.text)) << c.what;
    EXPECT_EQ(f.focus, c.focus) << c.what;
  }
}

TEST(TaskChecks, AnIdOfCharactersMaySetAnyPositionsAsTheyCountCharacters) {
  // The second character alone, and the second and third: no byte count to keep even.
  for (auto [begin, end] : {std::pair{"2", "2"}, std::pair{"2", "3"}, std::pair{"1", "3"}}) {
    config::TTaskSettings s = Hide(TIdType::NonNumeric, begin, end);
    TLuckTask row;
    config::TTaskFailure f;
    EXPECT_TRUE(config::CheckTask(s, row, f)) << begin << "-" << end << text::GbkToUtf8(f.text);
    EXPECT_EQ(row.HideBegin, std::stoi(begin));
    EXPECT_EQ(row.HideEnd, std::stoi(end));
  }
}

TEST(TaskChecks, PassingSettingsBecomeTheStoredRow) {
  struct Pass {
    config::TTaskSettings s;
    int hideBegin, hideEnd;
    const char* shownBegin;
    const char* shownEnd;
  };
  const std::vector<Pass> cases = {
      {Hide(TIdType::Numeric, "5", "9"), 5, 9, "5", "9"},
      {Hide(TIdType::Numeric, "", " "), 0, 0, "0", "0"},
      {Hide(TIdType::Numeric, "4", "4"), 4, 4, "4", "4"},
      {Hide(TIdType::NonNumeric, "1", "4"), 1, 4, "1", "4"},
      {Hide(TIdType::NonNumeric, "0", "4"), 0, 4, "0", "4"},
      {ProbTask(" 1000 "), 1000, 0, "0", "0"},
      {ProbTask("99999999"), 99999999, 0, "0", "0"},
  };
  for (Pass c : cases) {
    TLuckTask row;
    config::TTaskFailure f;
    ASSERT_TRUE(config::CheckTask(c.s, row, f)) << f.text;
    EXPECT_EQ(row.HideBegin, c.hideBegin);
    EXPECT_EQ(row.HideEnd, c.hideEnd);
    EXPECT_EQ(c.s.HideBegin, c.shownBegin);
    EXPECT_EQ(c.s.HideEnd, c.shownEnd);
  }
  config::TTaskSettings s = DataTask();
  s.FontSize = "";
  s.ShowLuck = false;
  s.TaskName = G("  春节 抽奖 ");
  s.DataFilePath = "/x/1001.txt";
  TLuckTask row;
  config::TTaskFailure f;
  ASSERT_TRUE(config::CheckTask(s, row, f));
  EXPECT_EQ(s.FontSize, "36");
  EXPECT_EQ(row.FontSize, 36);
  EXPECT_EQ(row.ShowLuck, 1);
  EXPECT_EQ(row.TaskName, G("春节 抽奖"));
  EXPECT_EQ(row.DataFilePath, "");  // a new task has no draw data yet
  s.TaskId = " 1005 ";
  s.ShowLuck = true;
  ASSERT_TRUE(config::CheckTask(s, row, f));
  EXPECT_EQ(row.TaskId, 1005);
  EXPECT_EQ(row.ShowLuck, 0);
  EXPECT_EQ(row.DataFilePath, "/x/1001.txt");
}

TEST(TaskStore, InsertThenUpdateRoundTripsQuotesAndChinese) {
  TempRoot root;
  TTombolixDataModule dm;
  ASSERT_TRUE(dm.DataModuleCreate());
  config::TTaskSettings s = ProbTask("1000");
  s.TaskName = G(" 老王's \"幸运\" 转盘 ");
  s.MainTitle = G("标题 'x'");
  s.RemainText = G("谢谢参与");
  s.FontColor = "clRed";
  s.MainImage = G("/图片/bg's.jpg");
  s.MusicFilePath = "/m.mp3";
  s.PassWord = "12'4";
  s.DataFilePath = "/ignored.txt";
  config::TTaskFailure f;
  ASSERT_TRUE(config::SaveTask(s, f)) << f.text;
  EXPECT_EQ(s.TaskId, "1001");

  TLuckTask t;
  bool found = false;
  std::string err;
  ASSERT_TRUE(config::SelectTask(1001, t, found, err)) << err;
  ASSERT_TRUE(found);
  EXPECT_EQ(t.TaskName, G("老王's \"幸运\" 转盘"));
  EXPECT_EQ(t.MainTitle, G("标题 'x'"));
  EXPECT_EQ(t.MainImageName, G("/图片/bg's.jpg"));
  EXPECT_EQ(t.PassWd, "12'4");
  EXPECT_EQ(t.FontColor, "clRed");
  EXPECT_EQ(t.OrderBy, TDrawType::ByProbability);
  EXPECT_EQ(t.HideBegin, 1000);
  EXPECT_EQ(t.HideEnd, 0);
  EXPECT_EQ(t.DataFilePath, "");
  EXPECT_EQ(t.ShowLuck, 0);

  // The same task turned into a data task with a draw data path.
  config::TTaskSettings u = Hide(TIdType::NonNumeric, "3", "6");
  u.TaskId = "1001";
  u.TaskName = G("新名字");
  u.LuckAgain = 1;
  u.ShowLuck = false;
  u.DataFilePath = G(" /数据/1001.txt ");
  ASSERT_TRUE(config::SaveTask(u, f)) << f.text;
  ASSERT_TRUE(config::SelectTask(1001, t, found, err));
  EXPECT_EQ(t.TaskName, G("新名字"));
  EXPECT_EQ(t.OrderBy, TDrawType::FromData);
  EXPECT_EQ(t.IdType, TIdType::NonNumeric);
  EXPECT_EQ(t.HideBegin, 3);
  EXPECT_EQ(t.HideEnd, 6);
  EXPECT_EQ(t.LuckAgain, 1);
  EXPECT_EQ(t.ShowLuck, 1);
  EXPECT_EQ(t.DataFilePath, G("/数据/1001.txt"));
  EXPECT_EQ(Rows(dm.ADOConnection1.Handle(), "select count(*) from LuckTask"),
            std::vector<std::string>{"1"});

  ASSERT_TRUE(config::SelectTask(4711, t, found, err));
  EXPECT_FALSE(found);
}

TEST(TaskStore, FailedInsertEmptiesTheIdAgain) {
  TempRoot root;
  TTombolixDataModule dm;
  ASSERT_TRUE(dm.DataModuleCreate());
  std::string err;
  ASSERT_TRUE(db::ExecRaw(dm.ADOConnection1,
                          "create trigger no_tasks before insert on LuckTask "
                          "begin select raise(abort, 'disk full'); end",
                          err));
  config::TTaskSettings s = DataTask();
  config::TTaskFailure f;
  EXPECT_FALSE(config::SaveTask(s, f));
  EXPECT_EQ(f.kind, MessageKind::Error);
  EXPECT_EQ(f.text, "disk full");
  EXPECT_EQ(s.TaskId, "");
}

namespace {

// Two tasks with items and every kind of file; the one to delete is 1001.
struct TwoTasks {
  TempRoot root;
  TTombolixDataModule dm;
  std::vector<int> items1, items2;
  TwoTasks() {
    EXPECT_TRUE(dm.DataModuleCreate());
    TaskDef a;
    a.items = {{"A", 2, 1, "x"}, {"B", 1, 1, "y"}};
    a.candidates = {"111 a", "222 b", "333 c"};
    items1 = BuildTask(dm, a);
    TaskDef b;
    b.taskId = 1002;
    b.items = {{"C", 1, 1, "z"}};
    b.candidates = {"444 d"};
    items2 = BuildTask(dm, b);
    for (int id : items1) {
      WritePresets(1001, id, {"111"});
      WriteAll(paths::NativePath(paths::WinnerFilePath(1001, id)), "id name\r\n111 a\r\n");
    }
    WritePresets(1002, items2[0], {"444"});
    WriteAll(paths::NativePath(paths::WinnerFilePath(1002, items2[0])), "id name\r\n");
  }
  std::vector<fs::path> FilesOf(int task, const std::vector<int>& items) const {
    std::vector<fs::path> out = {paths::NativePath(paths::DrawDataPath(task))};
    for (int id : items) {
      out.push_back(paths::NativePath(paths::WinnerFilePath(task, id)));
      out.push_back(paths::NativePath(paths::PresetFilePath(task, id)));
    }
    return out;
  }
  sqlite3* h() { return dm.ADOConnection1.Handle(); }
};

}  // namespace

TEST(TaskDelete, RemovesRowsItemsAndFilesOfThatTaskOnly) {
  TwoTasks t;
  for (const fs::path& p : t.FilesOf(1001, t.items1)) ASSERT_TRUE(fs::exists(p)) << p;
  bool rowsDeleted = false;
  std::string err;
  ASSERT_TRUE(config::DeleteTask(1001, rowsDeleted, err)) << err;
  EXPECT_TRUE(rowsDeleted);
  EXPECT_EQ(Rows(t.h(), "select TaskId from LuckTask"), std::vector<std::string>{"1002"});
  EXPECT_EQ(Rows(t.h(), "select distinct TaskId from TaskItem"), std::vector<std::string>{"1002"});
  for (const fs::path& p : t.FilesOf(1001, t.items1)) EXPECT_FALSE(fs::exists(p)) << p;
  for (const fs::path& p : t.FilesOf(1002, t.items2)) EXPECT_TRUE(fs::exists(p)) << p;
  // The winner files went to the results history, not away.
  size_t kept = 0;
  for (const auto& folder : fs::directory_iterator(paths::NativePath(paths::HistoryDir())))
    for (int id : t.items1)
      kept += fs::exists(folder.path() / ("1001_" + std::to_string(id) + ".txt")) ? 1 : 0;
  EXPECT_EQ(kept, t.items1.size());
}

TEST(TaskDelete, AFailureBetweenTheStatementsKeepsTaskItemsAndFiles) {
  TwoTasks t;
  std::string err;
  ASSERT_TRUE(db::ExecRaw(t.dm.ADOConnection1,
                          "create trigger keep_items before delete on TaskItem "
                          "begin select raise(abort, 'locked'); end",
                          err));
  bool rowsDeleted = true;
  EXPECT_FALSE(config::DeleteTask(1001, rowsDeleted, err));
  EXPECT_FALSE(rowsDeleted);
  EXPECT_EQ(err, "locked");
  EXPECT_EQ(Rows(t.h(), "select TaskId from LuckTask order by TaskId"),
            (std::vector<std::string>{"1001", "1002"}));
  EXPECT_EQ(Rows(t.h(), "select count(*) from TaskItem where TaskId=1001"),
            std::vector<std::string>{"2"});
  for (const fs::path& p : t.FilesOf(1001, t.items1)) EXPECT_TRUE(fs::exists(p)) << p;
  // The connection is usable afterwards: no transaction was left open.
  ASSERT_TRUE(db::ExecRaw(t.dm.ADOConnection1, "drop trigger keep_items", err));
  ASSERT_TRUE(config::DeleteTask(1001, rowsDeleted, err)) << err;
  EXPECT_EQ(Rows(t.h(), "select count(*) from TaskItem where TaskId=1001"),
            std::vector<std::string>{"0"});
}

TEST(TaskDataState, FollowsDrawTypeAndTheFile) {
  TempRoot root;
  const std::string file = root.path("1001.txt");
  EXPECT_EQ(config::DataStateOf(TDrawType::ByProbability, file), config::DataState::NotNeeded);
  EXPECT_EQ(config::DataStateOf(TDrawType::FromData, file), config::DataState::NotImported);
  WriteAll(file, "BEGIN\r\n");
  EXPECT_EQ(config::DataStateOf(TDrawType::FromData, " " + file + " "),
            config::DataState::Imported);
  EXPECT_EQ(config::DataStateOf(TDrawType::ByProbability, file), config::DataState::NotNeeded);
  EXPECT_EQ(config::DataStateOf(TDrawType::FromData, ""), config::DataState::NotImported);
  EXPECT_EQ(config::DataFlagText(config::DataState::NotImported),
            G("抽奖数据未导入,请到\"抽奖数据导入\"页面导入抽奖数据"));
  EXPECT_EQ(config::DataLabelText(config::DataState::NotNeeded), G("无需导入抽奖数据!"));
}

TEST(TaskFields, DigitKeysAndColourChoice) {
  for (char32_t c :
       {U'0', U'7', U'9', char32_t{8}, char32_t{13}, char32_t{3}, char32_t{22}, char32_t{24}})
    EXPECT_TRUE(config::DigitKeyPasses(c)) << static_cast<int>(c);
  for (char32_t c : {U'a', U'-', U' ', U'.', U'０', char32_t{1}, char32_t{26}, char32_t{9}})
    EXPECT_FALSE(config::DigitKeyPasses(c)) << static_cast<int>(c);

  const auto& list = NamedColours();
  auto at = [&](std::string_view name) {
    const int i = config::ColourListIndex(name);
    return i < 0 ? std::string("custom") : std::string(list[static_cast<size_t>(i)].name);
  };
  EXPECT_EQ(at("clRed"), "clRed");
  EXPECT_EQ(at("clyellow"), "clYellow");
  EXPECT_EQ(at("$000000FF"), "clRed");  // stored as blue-green-red
  EXPECT_EQ(at(""), "clWhite");
  EXPECT_EQ(at("pink"), "clWhite");
  EXPECT_EQ(at("$00123456"), "custom");
}

// Every file or folder a task leaves under its id keeps that id from a new task; deleting
// the task moves them all away (its photos and pictures to the history), freeing it.
TEST(TaskIds, EveryFileThatNamesAnIdKeepsItTakenUntilTheTaskIsDeleted) {
  const struct {
    const char* what;
    std::string (*path)(int);
  } kinds[] = {
      {"list", [](int id) { return paths::DrawDataPath(id); }},
      {"fingerprint", [](int id) { return paths::DataFileDir() + std::to_string(id) + ".sha256"; }},
      {"presets", [](int id) { return paths::PresetFilePath(id, 7); }},
      {"photos",
       [](int id) { return paths::DataFileDir() + "PHOTO_" + std::to_string(id) + "/a.jpg"; }},
      {"media",
       [](int id) { return paths::DataFileDir() + "MEDIA_" + std::to_string(id) + "/m.mp3"; }},
      {"winners", [](int id) { return paths::WinnerFilePath(id, 7); }},
      {"journal", [](int id) { return paths::JournalPath(id); }},
      {"finished journal", [](int id) { return paths::FinishedJournalPath(id); }},
      {"check-ins",
       [](int id) { return paths::LuckFileDir() + "CHECKIN_" + std::to_string(id) + ".txt"; }},
  };
  for (const auto& kind : kinds) {
    SCOPED_TRACE(kind.what);
    TempRoot root;
    TTombolixDataModule dm;
    ASSERT_TRUE(dm.DataModuleCreate());
    config::TTaskSettings first = DataTask();
    config::TTaskFailure f;
    ASSERT_TRUE(config::SaveTask(first, f)) << f.text;
    const int id = std::stoi(first.TaskId);
    bool rowsDeleted = false;
    std::string err;
    ASSERT_TRUE(config::DeleteTask(id, rowsDeleted, err)) << err;
    // A file of the deleted task left behind (a journal of a draw never finished, say).
    const fs::path left = paths::NativePath(kind.path(id));
    fs::create_directories(left.parent_path());
    WriteAll(left, "x");
    std::vector<std::string> users;
    ASSERT_TRUE(config::TaskIdUsers(id, users, err));
    EXPECT_EQ(users.size(), 1u);
    // The counter is set back to the id, as on a machine where an import left it behind.
    const std::string back = "update Sequence set SeqId=" + std::to_string(id) +
                             " where SeqType=" + std::to_string(db::kSeqTaskId);
    ASSERT_TRUE(db::ExecRaw(dm.ADOConnection1, back.c_str(), err));
    config::TTaskSettings next = DataTask();
    ASSERT_TRUE(config::SaveTask(next, f)) << f.text;
    EXPECT_NE(std::stoi(next.TaskId), id);
    // The photo and media folders go to the history with the task.
    if (std::string(kind.what) == "photos" || std::string(kind.what) == "media") {
      ASSERT_TRUE(db::ExecRaw(
          dm.ADOConnection1,
          ("insert into LuckTask (TaskId, TaskName) values (" + std::to_string(id) + ", 'x')")
              .c_str(),
          err));
      ASSERT_TRUE(config::DeleteTask(id, rowsDeleted, err)) << err;
      ASSERT_TRUE(config::TaskIdUsers(id, users, err));
      EXPECT_TRUE(users.empty()) << users.front();
    }
  }
}
