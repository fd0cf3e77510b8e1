#include "core/package/EventPackage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <set>
#include <tuple>

#include "DrawSetUp.h"
#include "SqlRows.h"
#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/check/ShowCheck.h"
#include "core/config/ItemSettings.h"
#include "core/config/StageColumnChoice.h"
#include "core/config/TaskCheckin.h"
#include "core/config/TaskRollStyle.h"
#include "core/config/TaskRules.h"
#include "core/config/TaskSettings.h"
#include "core/config/TaskStageKeys.h"
#include "core/db/TombolixDB.h"
#include "core/draw/DataDraw.h"
#include "core/import/Zip.h"
#include "core/records/CheckinFile.h"
#include "core/records/FileHash.h"
#include "core/records/NamedAwardFile.h"
#include "core/records/WinnerPhotos.h"
#include "core/text/FileWrite.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"

namespace fs = std::filesystem;
using text::G;

namespace {

// Everything under the data root but the database, path and bytes.
std::set<std::pair<std::string, std::string>> DataFiles(const fs::path& root) {
  std::set<std::pair<std::string, std::string>> out;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    // The database is compared by its rows; the package under test is no data.
    if (!e.is_regular_file() || e.path().parent_path().filename() == "DATA" ||
        e.path().filename() == "in.zip")
      continue;
    out.emplace(fs::relative(e.path(), root).string(), ReadAll(e.path()));
  }
  return out;
}

// The rows of `sql`, UTF-8, one a line.
std::string SqlRows(TTombolixDataModule& dm, const std::string& sql) {
  std::string out;
  for (const std::string& r : Rows(dm.ADOConnection1.Handle(), sql)) out += r + "\n";
  return out;
}
std::string U(const std::string& gbk) { return text::GbkToUtf8(gbk); }

// Task 1001: two prize items with a prize picture, background picture and music, a list of
// three, a preset, two photos.
class EventPackage : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dm.DataModuleCreate());
    WriteAll(m_root.dir() / "bg.jpg", "JPEG-background");
    WriteAll(m_root.dir() / "car.png", "PNG-car");
    WriteAll(m_root.dir() / "song.mp3", "ID3-song");
    TaskDef def;
    def.idType = 1;
    def.hideBegin = 3;
    def.luckAgain = 1;
    def.remainText = G("剩余\t名额");
    def.mainImage = m_root.path("bg.jpg");
    def.music = m_root.path("song.mp3");
    def.items = {{G("一等奖"), 1, 1, G("汽车"), m_root.path("car.png")},
                 {G("二等奖"), 2, 1, G("手机")}};
    def.candidates = {"A01 " + G("张三"), "A02 " + G("李四"), "A03 " + G("王五")};
    m_items = BuildTask(m_dm, def);
    WritePresets(1001, m_items[1], {"A02 " + G("李四")});
    const fs::path photos = paths::NativePath(photos::PhotoDir(1001));
    fs::create_directories(photos);
    WriteAll(photos / "A01.jpg", "photo-1");
    WriteAll(photos / "A03.jpg", "photo-3");
    std::string error;
    ASSERT_TRUE(SaveListFingerprint(1001, paths::DrawDataPath(1001), error)) << error;
  }

  std::string Export() {
    std::string summary, error;
    EXPECT_TRUE(package::ExportEventPackage(1001, m_root.path("night.zip"), summary, error))
        << text::GbkToUtf8(error);
    return summary;
  }

  // The rows of the task tables and the files: what a refused import must leave as it was.
  auto Snapshot() {
    return std::make_tuple(SqlRows(m_dm, "select * from LuckTask"),
                           SqlRows(m_dm, "select * from TaskItem"), DataFiles(m_root.dir()));
  }

  void ExpectRefused(const std::string& bytes, const std::string& message) {
    const auto before = Snapshot();
    WriteAll(m_root.dir() / "in.zip", bytes);
    int32_t id = 0;
    std::string summary, error;
    EXPECT_FALSE(package::ImportEventPackage(m_root.path("in.zip"), id, summary, error));
    EXPECT_EQ(text::GbkToUtf8(error), text::GbkToUtf8(message));
    EXPECT_TRUE(Snapshot() == before);
  }

  // A package of the given entries (UTF-8 names).
  static std::string Zip(const std::vector<std::pair<std::string, std::string>>& entries) {
    sheet::ZipWriter zip;
    for (const auto& [name, bytes] : entries) EXPECT_TRUE(zip.Add(name, bytes));
    std::string out;
    EXPECT_TRUE(zip.Finish(out));
    return out;
  }

  TempRoot m_root;
  TTombolixDataModule m_dm;
  std::vector<int> m_items;
};

const char* kTaskColumns =
    "select TaskName, IdType, MainTitle, FontSize, FontColor, RemainText, HideBegin, HideEnd,"
    " PassWd, OrderBy, LuckAgain, ShowLuck, StageColumns, StageKeys from LuckTask where TaskId=";
std::string Items(TTombolixDataModule& dm, int taskId) {
  return SqlRows(dm,
                 "select ItemId, ItemName, LuckCount, ListCount, AwardName, ListIndex from "
                 "TaskItem where TaskId=" +
                     std::to_string(taskId) + " order by ListIndex");
}

}  // namespace

TEST_F(EventPackage, RoundTripAfterTheTaskWasDeletedGivesTheSameTask) {
  // The stage's choice of columns travels with the task: the id shown, the name hidden, the
  // third column masked.
  std::string chosen;
  ASSERT_TRUE(config::SaveColumnChoices(
      1001, {{"", TColumnShow::Shown}, {"", TColumnShow::Hidden}, {"", TColumnShow::Masked}},
      chosen));
  // So do the stage's key times.
  ASSERT_TRUE(config::SaveStageKeyTimes(1001, {500, 2500}, chosen));
  std::string name = SqlRows(m_dm, "select TaskName from LuckTask");
  name.pop_back();
  EXPECT_EQ(U(Export()),
            "已导出抽奖项目[" + name + "]：奖项2个，名单3人，预设1人，照片2张，图片2张，背景音乐");
  const std::string settings = SqlRows(m_dm, std::string(kTaskColumns) + "1001");
  EXPECT_TRUE(settings.ends_with("|SHM|500 2500\n")) << settings;
  const std::string items = Items(m_dm, 1001);
  std::string fingerprint, error;
  ASSERT_TRUE(Sha256File(paths::DrawDataPath(1001), fingerprint, error));
  bool deleted = false;
  ASSERT_TRUE(config::DeleteTask(1001, deleted, error)) << error;
  // Deleting took every file of the task away, its photos too: the id is free again.
  int32_t id = 0;
  std::string summary;
  ASSERT_TRUE(package::ImportEventPackage(m_root.path("night.zip"), id, summary, error))
      << text::GbkToUtf8(error);
  ASSERT_EQ(id, 1001);
  EXPECT_EQ(U(summary), "已添加抽奖项目[" + name +
                            "]，序号1001：奖项2个，名单3人，预设1人，照片2张，图片2张，背景音乐");
  EXPECT_EQ(SqlRows(m_dm, std::string(kTaskColumns) + std::to_string(id)), settings);
  EXPECT_EQ(Items(m_dm, id), items);
  std::string now;
  ASSERT_TRUE(Sha256File(paths::DrawDataPath(id), now, error));
  EXPECT_EQ(now, fingerprint);
  EXPECT_EQ(ReadAll(paths::NativePath(ListFingerprintPath(id))), fingerprint + "\r\n");
  EXPECT_EQ(ReadAll(paths::NativePath(paths::PresetFilePath(id, m_items[1]))),
            "A02 " + G("李四") + "\r\n");
  EXPECT_EQ(ReadAll(paths::NativePath(photos::PhotoDir(id)) / "A03.jpg"), "photo-3");
  // The pictures and the music have their own folder, and the task names them there.
  const std::string media = paths::DataFileDir() + "MEDIA_" + std::to_string(id) + "/";
  EXPECT_EQ(SqlRows(m_dm, "select MainImageName, MusicFilePath, DataFilePath from LuckTask"),
            media + "background.jpg|" + media + "music.mp3|" + paths::DrawDataPath(id) + "\n");
  EXPECT_EQ(ReadAll(paths::NativePath(media + "prize_0.png")), "PNG-car");
  EXPECT_EQ(SqlRows(m_dm, "select AwardImageName from TaskItem where ItemName='一等奖'"),
            media + "prize_0.png\n");
  EXPECT_FALSE(
      fs::exists(paths::NativePath(paths::DataFileDir() + ".package_" + std::to_string(id))));
}

TEST_F(EventPackage, AFreeIdIsKeptAndATakenOneReplacedWithTheCounterMovedOn) {
  Export();
  int32_t id = 0;
  std::string summary, error;
  // Here the task still exists: the copy gets the next id.
  ASSERT_TRUE(package::ImportEventPackage(m_root.path("night.zip"), id, summary, error));
  EXPECT_GT(id, 1001);
  EXPECT_EQ(SqlRows(m_dm, "select count(*) from LuckTask"), "2\n");
  // On a fresh machine the id is free and kept; the counter never hands it out again.
  const std::string copy = ReadAll(m_root.dir() / "night.zip");
  TempRoot other;
  TTombolixDataModule dm2;
  ASSERT_TRUE(dm2.DataModuleCreate());
  WriteAll(other.dir() / "night.zip", copy);
  ASSERT_TRUE(package::ImportEventPackage(other.path("night.zip"), id, summary, error))
      << text::GbkToUtf8(error);
  EXPECT_EQ(id, 1001);
  EXPECT_EQ(summary.find(G("原序号")), std::string::npos);
  EXPECT_GT(GetNextId(db::kSeqTaskId), 1001);
}

TEST_F(EventPackage, BadAndForeignFilesAreRefusedAndChangeNothing) {
  Export();
  const std::string good = ReadAll(m_root.dir() / "night.zip");
  const std::string foreign = G("这不是Qarvo抽奖软件的活动包，或文件已损坏");
  ExpectRefused("not a zip at all", foreign);
  ExpectRefused(good.substr(0, good.size() / 2), foreign);
  ExpectRefused(ReadAll(fs::path(IMPORT_FIXTURES) / "people-openpyxl.xlsx"), foreign);
  ExpectRefused(ReadAll(fs::path(IMPORT_FIXTURES) / "zip-bomb.xlsx"),
                G("活动包解压后超过1024MB，不能导入"));
  const std::string head =
      std::string(package::kMagic) + "\t1\ntask\tTaskId\t7\ntask\tTaskName\tx\n";
  ExpectRefused(Zip({{"event.txt", std::string(package::kMagic) + "\t9\n"}}),
                G("活动包的格式版本9不是本程序能读的，请用较新版本的程序导入"));
  // Names that would leave the data folder, however they are spelled.
  for (const char* name : {"../evil.txt", "photos/../../evil.jpg", "/etc/passwd"})
    ExpectRefused(Zip({{"event.txt", head}, {name, "x"}}),
                  G("活动包中有不属于活动包的文件：") + name);
  ExpectRefused(Zip({{"event.txt", head + "file\tmusic\tmedia/../../evil.mp3\n"},
                     {"media/../../evil.mp3", "x"}}),
                G("活动包的清单有误，第4行"));
  ExpectRefused(Zip({{"event.txt", head}, {"EVENT.TXT", head}}),
                G("活动包中有重复的文件：EVENT.TXT"));
  // A setting this program does not know, with a value, is not silently dropped.
  ExpectRefused(Zip({{"event.txt", head + "task\tFutureSetting\t1\n"}}),
                G("活动包中有本程序不认识的设置：FutureSetting"));
  ExpectRefused(Zip({{"event.txt", head + "task\tFontSize\tbig\n"}}),
                G("活动包的清单有误：FontSize不是整数"));
}

// A list that unpacks to more than its entry declares: a bomb that lies about its size.
TEST_F(EventPackage, AnEntryUnpackingPastItsDeclaredSizeIsRefused) {
  const std::string head = std::string(package::kMagic) +
                           "\t1\ntask\tTaskId\t7\ntask\tTaskName\tx\nfile\tlist\tlist.txt\n";
  std::string bytes = Zip({{"event.txt", head}, {"list.txt", std::string(1 << 20, 'A')}});
  // The uncompressed size of list.txt in its local header and in the directory: 1 MiB to 16.
  const std::string size(reinterpret_cast<const char*>("\x00\x00\x10\x00"), 4);
  for (size_t at = bytes.find(size); at != std::string::npos; at = bytes.find(size, at + 4))
    bytes.replace(at, 4, std::string("\x10\x00\x00\x00", 4));
  ExpectRefused(bytes, G("活动包解压后超过1024MB，不能导入"));
}

TEST_F(EventPackage, AFailedRenameHalfWayPutsEverythingBack) {
  Export();
  const auto before = Snapshot();
  // The photos go into place after the list, the pictures and the presets: the first fails.
  files::SetRenameFault([](const std::string& target) {
    const bool photo = target.find("/PHOTO_") != std::string::npos &&
                       target.find(".package_") == std::string::npos;
    return photo ? ENOSPC : 0;
  });
  int32_t id = 0;
  std::string summary, error;
  const bool ok = package::ImportEventPackage(m_root.path("night.zip"), id, summary, error);
  files::SetRenameFault(nullptr);
  EXPECT_FALSE(ok);
  EXPECT_NE(error.find("PHOTO_"), std::string::npos) << text::GbkToUtf8(error);
  EXPECT_TRUE(Snapshot() == before);
  // No folder is left for the task that was not added.
  for (const auto& e : fs::directory_iterator(paths::NativePath(paths::DataFileDir())))
    EXPECT_TRUE(e.path().filename() == "PHOTO_1001" || e.is_regular_file()) << e.path();
}

// The fuzzer's seed is written by a script from the documented form alone: the reader and the
// page agree.
TEST(EventPackageFormat, ThePackageMadeFromThePageReads) {
  const std::string bytes =
      ReadAll(fs::path(IMPORT_FIXTURES) / "../../../../fuzz/seeds/package/package.zip");
  package::TEventPackage pkg;
  std::string error;
  ASSERT_TRUE(package::ReadEventPackage(bytes, pkg, error)) << text::GbkToUtf8(error);
  ASSERT_EQ(pkg.Items.size(), 2u);
  EXPECT_EQ(pkg.ListEntry, "list.txt");
  EXPECT_EQ(pkg.BackgroundEntry, "media/background.jpg");
  EXPECT_EQ(pkg.PrizeEntries, (std::vector<std::string>{"media/prize_0.png", ""}));
  EXPECT_EQ(pkg.Files.size(), 5u);
  EXPECT_NE(std::find(pkg.Task.begin(), pkg.Task.end(),
                      std::make_pair(std::string("RemainText"), G("剩余\t名额"))),
            pkg.Task.end());
  // Version 2 adds an excluded task's winners and the list's fingerprint.
  ASSERT_TRUE(package::ReadEventPackage(
      ReadAll(fs::path(IMPORT_FIXTURES) / "../../../../fuzz/seeds/package/package_v2.zip"), pkg,
      error))
      << text::GbkToUtf8(error);
  ASSERT_EQ(pkg.Exclusions.size(), 1u);
  EXPECT_EQ(pkg.Exclusions[0].Name, G("去年年会"));
  EXPECT_EQ(pkg.Exclusions[0].Ids, (std::vector<std::string>{"A01", "A03"}));
  EXPECT_EQ(pkg.ListFingerprint.size(), 64u);
}

// The draw's rules travel with the rest; a database without the column (a program before
// the rules) refuses a package that holds rules.
TEST_F(EventPackage, TheDrawRulesTravelAndAreNeverDroppedSilently) {
  std::string error;
  ASSERT_TRUE(db::ExecRaw(m_dm.ADOConnection1,
                          "update LuckTask set Rules='部门 不重复'; update TaskItem set Rules="
                          "'限 部门=市场部' where ItemName='一等奖'",
                          error));
  Export();
  int32_t id = 0;
  std::string summary;
  ASSERT_TRUE(package::ImportEventPackage(m_root.path("night.zip"), id, summary, error))
      << text::GbkToUtf8(error);
  const std::string sid = std::to_string(id);
  EXPECT_EQ(SqlRows(m_dm, "select Rules from LuckTask where TaskId=" + sid), "部门 不重复\n");
  EXPECT_EQ(SqlRows(m_dm, "select Rules from TaskItem where TaskId=" + sid + " order by ListIndex"),
            "限 部门=市场部\n\n");

  // The same package on a database without the column.
  const std::string bytes = ReadAll(m_root.dir() / "night.zip");
  TempRoot old;
  TTombolixDataModule dm1;
  ASSERT_TRUE(dm1.DataModuleCreate());
  for (const char* table : {"LuckTask", "TaskItem"})
    ASSERT_TRUE(db::ExecRaw(dm1.ADOConnection1,
                            (std::string("alter table ") + table + " drop column Rules").c_str(),
                            error))
        << error;
  WriteAll(old.dir() / "night.zip", bytes);
  EXPECT_FALSE(package::ImportEventPackage(old.path("night.zip"), id, summary, error));
  EXPECT_EQ(text::GbkToUtf8(error), "活动包中有抽奖规则，需要较新版本的程序才能导入");
  EXPECT_TRUE(Rows(dm1.ADOConnection1.Handle(), "select * from LuckTask").empty());
}

// An exclusion of another task never re-binds: on a laptop without that task the package's
// ids become a fixed list, and a new task that later takes the id excludes nobody.
TEST_F(EventPackage, AnExcludedTaskTravelsAsItsWinnersNotAsABareId) {
  TaskDef last;
  last.taskId = 1004;
  last.items = {{G("特等奖"), 1, 1, ""}};
  last.candidates = {"A01 " + G("张三")};
  std::string error;
  const std::vector<int> lastItems = BuildTask(m_dm, last);
  ASSERT_TRUE(db::ExecRaw(m_dm.ADOConnection1,
                          "update LuckTask set TaskName='去年年会' where TaskId=1004", error));
  fs::create_directories(paths::NativePath(paths::LuckFileDir()));
  WriteAll(paths::NativePath(paths::WinnerFilePath(1004, lastItems[0])),
           "id name\r\nA01 " + G("张三") + "\r\n");
  TTaskRules rules;
  rules.ExcludeTasks = {1004};
  ASSERT_TRUE(config::SaveTaskRules(m_dm, 1001, rules, error)) << U(error);
  Export();
  const std::string bytes = ReadAll(m_root.dir() / "night.zip");

  // Here the same task exists: the link stays.
  int32_t id = 0;
  std::string summary;
  ASSERT_TRUE(package::ImportEventPackage(m_root.path("night.zip"), id, summary, error));
  EXPECT_NE(U(summary).find("\n排除[去年年会]（序号1004）的中奖者：本机有同一任务，保留引用"),
            std::string::npos)
      << U(summary);

  // The spare laptop has no task 1004.
  TempRoot other;
  TTombolixDataModule dm2;
  ASSERT_TRUE(dm2.DataModuleCreate());
  WriteAll(other.dir() / "night.zip", bytes);
  ASSERT_TRUE(package::ImportEventPackage(other.path("night.zip"), id, summary, error)) << U(error);
  EXPECT_NE(
      U(summary).find(
          "\n排除[去年年会]（序号1004）的中奖者：本机没有该任务，已改为固定的排除名单（1人）"),
      std::string::npos)
      << U(summary);
  TTaskRules imported;
  ASSERT_TRUE(config::LoadTaskRules(dm2, id, imported, error)) << U(error);
  EXPECT_TRUE(imported.ExcludeTasks.empty());
  EXPECT_EQ(imported.ExcludeIds, std::vector<std::string>{"A01"});
  // A new task takes id 1004 and draws A02: the imported task still excludes A01 only.
  last.candidates = {"A02 " + G("李四")};
  BuildTask(dm2, last);
  fs::create_directories(paths::NativePath(paths::LuckFileDir()));
  WriteAll(paths::NativePath(paths::WinnerFilePath(1004, lastItems[0])),
           "id name\r\nA02 " + G("李四") + "\r\n");
  TRandom rng;
  TDrawSession s;
  TDataDraw e(s, rng, 7u);
  TDrawFailure f;
  ASSERT_TRUE(e.SetUp(id, f)) << U(f.text);
  EXPECT_EQ(U(e.RulesLine(0)), "排除名单1人");
}

// A task here with the same id and the same name whose draw gave other winners is not the
// task the rules meant: the rule keeps the winners the package carries and never re-binds.
TEST_F(EventPackage, AnExcludedTaskOfTheSameIdAndNameButOtherWinnersIsNotLinked) {
  TaskDef last;
  last.taskId = 1004;
  last.items = {{G("特等奖"), 1, 1, ""}};
  last.candidates = {"A01 " + G("张三"), "A02 " + G("李四")};
  std::string error;
  const std::vector<int> lastItems = BuildTask(m_dm, last);
  ASSERT_TRUE(db::ExecRaw(m_dm.ADOConnection1,
                          "update LuckTask set TaskName='去年年会' where TaskId=1004", error));
  fs::create_directories(paths::NativePath(paths::LuckFileDir()));
  WriteAll(paths::NativePath(paths::WinnerFilePath(1004, lastItems[0])),
           "id name\r\nA01 " + G("张三") + "\r\n");
  TTaskRules rules;
  rules.ExcludeTasks = {1004};
  ASSERT_TRUE(config::SaveTaskRules(m_dm, 1001, rules, error)) << U(error);
  Export();
  const std::string bytes = ReadAll(m_root.dir() / "night.zip");

  // The spare laptop has its own 去年年会 as task 1004, drawn there with A02 as its winner.
  TempRoot other;
  TTombolixDataModule dm2;
  ASSERT_TRUE(dm2.DataModuleCreate());
  BuildTask(dm2, last);
  ASSERT_TRUE(db::ExecRaw(dm2.ADOConnection1,
                          "update LuckTask set TaskName='去年年会' where TaskId=1004", error));
  fs::create_directories(paths::NativePath(paths::LuckFileDir()));
  WriteAll(paths::NativePath(paths::WinnerFilePath(1004, lastItems[0])),
           "id name\r\nA02 " + G("李四") + "\r\n");
  WriteAll(other.dir() / "night.zip", bytes);
  int32_t id = 0;
  std::string summary;
  ASSERT_TRUE(package::ImportEventPackage(other.path("night.zip"), id, summary, error)) << U(error);
  EXPECT_NE(U(summary).find("\n排除[去年年会]（序号1004）的中奖者：本机同序号的任务不是同一任务，"
                            "已改为固定的排除名单（1人）"),
            std::string::npos)
      << U(summary);
  TTaskRules imported;
  ASSERT_TRUE(config::LoadTaskRules(dm2, id, imported, error)) << U(error);
  EXPECT_TRUE(imported.ExcludeTasks.empty());
  EXPECT_EQ(imported.ExcludeIds, std::vector<std::string>{"A01"});
}

// The counters standing exactly at the imported ids move past them: the next task and the
// next item added to the imported task get ids of their own.
TEST_F(EventPackage, CountersStandingAtTheImportedIdsMovePastThem) {
  Export();
  const std::string bytes = ReadAll(m_root.dir() / "night.zip");
  TempRoot other;
  TTombolixDataModule dm2;
  ASSERT_TRUE(dm2.DataModuleCreate());
  std::string error;
  // The next ids this machine would hand out are the package's own: task 1001, item 2002.
  ASSERT_TRUE(db::ExecRaw(dm2.ADOConnection1,
                          "delete from Sequence; insert into Sequence values(1, 1001, 'TaskId');"
                          "insert into Sequence values(2, 2002, 'ItemId')",
                          error))
      << U(error);
  WriteAll(other.dir() / "night.zip", bytes);
  int32_t id = 0;
  std::string summary;
  ASSERT_TRUE(package::ImportEventPackage(other.path("night.zip"), id, summary, error)) << U(error);
  ASSERT_EQ(id, 1001);
  EXPECT_EQ(Items(dm2, id), "2001|一等奖|1|1|汽车|1\n2002|二等奖|2|1|手机|2\n");
  EXPECT_EQ(SqlRows(dm2, "select SeqType, SeqId from Sequence order by SeqType"),
            "1|1002\n2|2003\n");
  config::TItemSettings s;
  s.TaskId = "1001";
  s.Name = G("三等奖");
  s.LuckCount = "3";
  s.ListCount = "1";
  config::TItemFailure f;
  ASSERT_TRUE(config::SaveItem(s, false, 2, f)) << U(f.text);
  EXPECT_EQ(s.ItemId, "2003");
}

// A list edited after its import is flagged on the spare laptop as on the first one.
TEST_F(EventPackage, AListEditedAfterItsImportStaysFlaggedOnTheSpare) {
  std::string error;
  ASSERT_TRUE(files::WriteFileAtomic(
      paths::DrawDataPath(1001),
      ReadAll(paths::NativePath(paths::DrawDataPath(1001))) + "A04 " + G("赵六") + "\r\n", error));
  check::TShowCheck first;
  ASSERT_TRUE(check::CheckShow(1001, first, error));
  const std::string flagged = U(first.Findings.front().Text);
  EXPECT_EQ(flagged, "名单文件在导入后被改动过（指纹与导入时不符），请重新导入名单");
  EXPECT_NE(U(Export()).find("。注意：名单文件在导入后被改动过（指纹与导入时不符），"),
            std::string::npos);
  const std::string bytes = ReadAll(m_root.dir() / "night.zip");
  TempRoot other;
  TTombolixDataModule dm2;
  ASSERT_TRUE(dm2.DataModuleCreate());
  WriteAll(other.dir() / "night.zip", bytes);
  int32_t id = 0;
  std::string summary;
  ASSERT_TRUE(package::ImportEventPackage(other.path("night.zip"), id, summary, error)) << U(error);
  check::TShowCheck spare;
  ASSERT_TRUE(check::CheckShow(id, spare, error));
  EXPECT_EQ(U(spare.Findings.front().Text), flagged);
}

TEST_F(EventPackage, ADrawOfThoseCheckedInOnASpareSaysItsCheckinsStayedBehind) {
  std::string error;
  ASSERT_TRUE(config::SaveCheckinOnly(1001, true, error)) << error;
  // Nobody checked in yet on the first laptop either.
  const std::string missing =
      "本抽奖项目只抽取已签到人员，但本机没有它的签到记录（已签到0人）：签到记录只保存在进行签到的"
      "电脑上，活动包不带签到记录。请在本机重新签到，或在签到窗口中取消“仅抽取已签到人员”。";
  EXPECT_EQ(U(config::CheckinMissingText(1001)), missing);
  ASSERT_TRUE(files::MakeFolders(paths::LuckFileDir(), error));
  ASSERT_TRUE(files::WriteFileAtomic(
      checkin::CheckinFilePath(1001),
      checkin::FormatCheckinHead(1001) +
          checkin::FormatCheckinRecord({"A01", "2027-01-20 18:00:00", std::string(32, 'a'), ""}),
      error));
  EXPECT_EQ(config::CheckinMissingText(1001), "");
  EXPECT_EQ(config::CheckinMissingQuestion(1001), "");
  Export();
  const std::string bytes = ReadAll(m_root.dir() / "night.zip");
  TempRoot other;
  TTombolixDataModule dm2;
  ASSERT_TRUE(dm2.DataModuleCreate());
  WriteAll(other.dir() / "night.zip", bytes);
  int32_t id = 0;
  std::string summary;
  ASSERT_TRUE(package::ImportEventPackage(other.path("night.zip"), id, summary, error)) << U(error);
  EXPECT_EQ(U(config::CheckinMissingText(id)), missing);
  EXPECT_EQ(U(config::CheckinMissingQuestion(id)),
            missing + "现在打开抽奖屏幕将没有人可以抽取，仍要打开吗？");
  // A task that draws everyone needs nobody checked in.
  ASSERT_TRUE(config::SaveCheckinOnly(id, false, error)) << error;
  EXPECT_EQ(config::CheckinMissingText(id), "");
}

// The roll's look travels: a 名单球 task comes back as one, in a package an older program
// refuses by its version; a task rolling numbers writes the version every program reads,
// and its import rolls numbers even where a deleted task of the same id left 名单球 behind.
TEST_F(EventPackage, TheRollStyleTravelsAndAnOlderPackageRollsNumbers) {
  std::string error;
  ASSERT_TRUE(config::SaveRollStyle(1001, TRollStyle::Sphere, error)) << error;
  Export();
  std::string bytes = ReadAll(m_root.dir() / "night.zip");
  package::TEventPackage pkg;
  ASSERT_TRUE(package::ReadEventPackage(bytes, pkg, error)) << text::GbkToUtf8(error);
  EXPECT_EQ(pkg.RollStyle, TRollStyle::Sphere);
  {
    sheet::ZipArchive zip;
    std::string manifest, why;
    ASSERT_TRUE(zip.OpenBuffer(bytes, why));
    ASSERT_TRUE(zip.ReadPart("event.txt", manifest, why));
    EXPECT_TRUE(manifest.starts_with("Qarvo抽奖软件活动包\t3\nroll\tsphere\n")) << manifest;
  }
  bool deleted = false;
  ASSERT_TRUE(config::DeleteTask(1001, deleted, error)) << error;
  int32_t id = 0;
  std::string summary;
  ASSERT_TRUE(package::ImportEventPackage(m_root.path("night.zip"), id, summary, error))
      << text::GbkToUtf8(error);
  ASSERT_EQ(id, 1001);
  TRollStyle style = TRollStyle::Numbers;
  ASSERT_TRUE(config::LoadRollStyle(id, style, error));
  EXPECT_EQ(style, TRollStyle::Sphere);

  // Back to numbers: the package is one every reader takes, and the old row does not count.
  ASSERT_TRUE(config::SaveRollStyle(1001, TRollStyle::Numbers, error));
  Export();
  bytes = ReadAll(m_root.dir() / "night.zip");
  ASSERT_TRUE(package::ReadEventPackage(bytes, pkg, error));
  EXPECT_EQ(pkg.RollStyle, TRollStyle::Numbers);
  ASSERT_TRUE(config::SaveRollStyle(1001, TRollStyle::Sphere, error));
  ASSERT_TRUE(config::DeleteTask(1001, deleted, error)) << error;
  ASSERT_TRUE(package::ImportEventPackage(m_root.path("night.zip"), id, summary, error))
      << text::GbkToUtf8(error);
  ASSERT_EQ(id, 1001);
  ASSERT_TRUE(config::LoadRollStyle(id, style, error));
  EXPECT_EQ(style, TRollStyle::Numbers);

  // A package of version 2, written before the look travelled, rolls numbers.
  ASSERT_TRUE(package::ReadEventPackage(
      ReadAll(fs::path(IMPORT_FIXTURES) / "../../../../fuzz/seeds/package/package_v2.zip"), pkg,
      error));
  EXPECT_EQ(pkg.RollStyle, TRollStyle::Numbers);
  // The page's version 3 reads; a look the format does not know is refused, not guessed.
  ASSERT_TRUE(package::ReadEventPackage(
      ReadAll(fs::path(IMPORT_FIXTURES) / "../../../../fuzz/seeds/package/package_v3.zip"), pkg,
      error))
      << text::GbkToUtf8(error);
  EXPECT_EQ(pkg.RollStyle, TRollStyle::Sphere);
  EXPECT_FALSE(package::ReadEventPackage(
      Zip({{"event.txt", "Qarvo抽奖软件活动包\t3\nroll\tcube\n"}}), pkg, error));
  EXPECT_EQ(text::GbkToUtf8(error), "活动包的清单有误，第2行");
}

// A task with every part a package can carry writes exactly the package kept beside this test:
// the same entries in the same order with the same bytes (the zip's own timestamps aside).
TEST_F(EventPackage, ATaskWithEveryPartWritesTheKeptPackage) {
  TaskDef last;
  last.taskId = 1004;
  last.items = {{G("特等奖"), 1, 1, ""}};
  last.candidates = {"A01 " + G("张三")};
  std::string error;
  const std::vector<int> lastItems = BuildTask(m_dm, last);
  fs::create_directories(paths::NativePath(paths::LuckFileDir()));
  WriteAll(paths::NativePath(paths::WinnerFilePath(1004, lastItems[0])),
           "id name\r\nA01 " + G("张三") + "\r\n");
  TTaskRules rules;
  rules.ExcludeTasks = {1004};
  ASSERT_TRUE(config::SaveTaskRules(m_dm, 1001, rules, error)) << U(error);
  ASSERT_TRUE(db::ExecRaw(m_dm.ADOConnection1,
                          "update TaskItem set Rules='限 部门=市场部' where ItemName='一等奖'",
                          error));
  ASSERT_TRUE(config::SaveColumnChoices(
      1001, {{"", TColumnShow::Shown}, {"", TColumnShow::Hidden}, {"", TColumnShow::Masked}},
      error));
  ASSERT_TRUE(config::SaveStageKeyTimes(1001, {500, 2500}, error));
  ASSERT_TRUE(config::SaveRollStyle(1001, TRollStyle::Sphere, error)) << error;
  Export();

  auto entries = [](const std::string& bytes) {
    std::vector<std::pair<std::string, std::string>> out;
    sheet::ZipArchive zip;
    std::string why;
    EXPECT_TRUE(zip.OpenBuffer(bytes, why)) << why;
    for (const std::string& n : zip.Names()) {
      std::string part;
      EXPECT_TRUE(zip.ReadPart(n, part, why)) << why;
      out.emplace_back(n, part);
    }
    return out;
  };
  const fs::path fixtures = fs::path(IMPORT_FIXTURES) / "../../package/fixtures";
  auto written = entries(ReadAll(m_root.dir() / "night.zip"));
  ASSERT_EQ(written.size(), 8u);
  EXPECT_EQ(written.back().first, "event.txt");
  EXPECT_TRUE(written.back().second.starts_with("Qarvo抽奖软件活动包\t3\nroll\tsphere\n"));
  EXPECT_EQ(written, entries(ReadAll(fixtures / "every_part_sphere.zip")));

  // Rolling numbers, the same task writes the version every reader takes.
  ASSERT_TRUE(config::SaveRollStyle(1001, TRollStyle::Numbers, error)) << error;
  Export();
  written = entries(ReadAll(m_root.dir() / "night.zip"));
  EXPECT_TRUE(written.back().second.starts_with("Qarvo抽奖软件活动包\t2\nfile\tlist\t"));
  EXPECT_EQ(written, entries(ReadAll(fixtures / "every_part.zip")));
}

// A finished draw whose plan changed on the night travels with its items as drawn: the
// count changed from 2 to 1 and the item added live, with its gift, after the task's own.
TEST_F(EventPackage, AFinishedTaskTravelsWithItsItemsAsDrawn) {
  std::string added;
  {
    auto run = StartDraw(5u);
    TDataDraw& e = run->e;
    const auto batch = [&] {
      ASSERT_TRUE(e.BeginBatch());
      e.SelectBatchWinners();
      e.RollStep();
      e.RevealBatch();
      e.EndBatch();
    };
    batch();  // 一等奖
    TDataDraw::BatchEnd end;
    std::string message;
    ASSERT_TRUE(e.ChangeCount(m_items[1], 1, "", end, message)) << U(message);
    ASSERT_TRUE(e.AddItem({G("特别奖"), 1, 1, G("手机")}, false, "", end, message)) << U(message);
    added = std::to_string(e.Session().Items.back().ItemId);
    batch();  // 二等奖
    batch();  // 特别奖
    ASSERT_EQ(e.state(), TDataDraw::State::Finished);
  }
  const std::string exported = U(Export());
  EXPECT_NE(exported.find("]：奖项3个，名单3人"), std::string::npos) << exported;
  const std::string bytes = ReadAll(m_root.dir() / "night.zip");
  TempRoot other;
  TTombolixDataModule dm2;
  ASSERT_TRUE(dm2.DataModuleCreate());
  WriteAll(other.dir() / "night.zip", bytes);
  int32_t id = 0;
  std::string summary, error;
  ASSERT_TRUE(package::ImportEventPackage(other.path("night.zip"), id, summary, error)) << U(error);
  EXPECT_NE(U(summary).find("：奖项3个，名单3人"), std::string::npos) << U(summary);
  EXPECT_EQ(Items(dm2, id), std::to_string(m_items[0]) + "|一等奖|1|1|汽车|1\n" +
                                std::to_string(m_items[1]) + "|二等奖|1|1|手机|2\n" + added +
                                "|特别奖|1|1|手机|3\n");
}

// An item added live and drawn next travels where it was drawn: before the task's own item
// that was drawn after it, the rows' ListIndex values following that order.
TEST_F(EventPackage, ItemsTravelInTheOrderANextChose) {
  std::string added;
  {
    auto run = StartDraw(5u);
    TDataDraw& e = run->e;
    const auto batch = [&] {
      ASSERT_TRUE(e.BeginBatch());
      e.SelectBatchWinners();
      e.RollStep();
      e.RevealBatch();
      e.EndBatch();
    };
    batch();  // 一等奖
    TDataDraw::BatchEnd end;
    std::string message;
    ASSERT_TRUE(e.ChangeCount(m_items[1], 1, "", end, message)) << U(message);
    ASSERT_TRUE(e.AddItem({G("特别奖"), 1, 1, G("手表")}, true, "", end, message)) << U(message);
    added = std::to_string(e.Session().Items[1].ItemId);
    batch();  // 特别奖
    batch();  // 二等奖
    ASSERT_EQ(e.state(), TDataDraw::State::Finished);
  }
  Export();
  const std::string bytes = ReadAll(m_root.dir() / "night.zip");
  TempRoot other;
  TTombolixDataModule dm2;
  ASSERT_TRUE(dm2.DataModuleCreate());
  WriteAll(other.dir() / "night.zip", bytes);
  int32_t id = 0;
  std::string summary, error;
  ASSERT_TRUE(package::ImportEventPackage(other.path("night.zip"), id, summary, error)) << U(error);
  EXPECT_EQ(Items(dm2, id), std::to_string(m_items[0]) + "|一等奖|1|1|汽车|1\n" + added +
                                "|特别奖|1|1|手表|2\n" + std::to_string(m_items[1]) +
                                "|二等奖|1|1|手机|3\n");
}

// A named award's list is set-up like the presets: it travels in a package of version 4,
// which an older program refuses by its version instead of rolling the award.
TEST_F(EventPackage, ANamedAwardsListTravelsWithItsItem) {
  std::string error;
  ASSERT_TRUE(SaveNamedIds(1001, m_items[1], {"A03", "A01"}, error)) << U(error);
  Export();
  const std::string bytes = ReadAll(m_root.dir() / "night.zip");
  {
    sheet::ZipArchive zip;
    std::string manifest, why;
    ASSERT_TRUE(zip.OpenBuffer(bytes, why));
    ASSERT_TRUE(zip.ReadPart("event.txt", manifest, why));
    EXPECT_TRUE(manifest.starts_with("Qarvo抽奖软件活动包\t4\n")) << manifest;
    EXPECT_NE(manifest.find("file\tnamed\tnamed/" + std::to_string(m_items[1]) + ".txt\n"),
              std::string::npos)
        << manifest;
  }
  TempRoot other;
  TTombolixDataModule dm2;
  ASSERT_TRUE(dm2.DataModuleCreate());
  WriteAll(other.dir() / "night.zip", bytes);
  int32_t id = 0;
  std::string summary;
  ASSERT_TRUE(package::ImportEventPackage(other.path("night.zip"), id, summary, error)) << U(error);
  EXPECT_EQ(ReadAll(paths::NativePath(NamedAwardPath(id, m_items[1]))), "A03\r\nA01\r\n");
  EXPECT_FALSE(fs::exists(paths::NativePath(NamedAwardPath(id, m_items[0]))));
  // The draw on the spare hands the award out by name.
  auto run = StartDraw(5u, id);
  EXPECT_TRUE(run->e.IsNamedItem(m_items[1]));
}

// A named list whose ids are not on the package's list, or named twice, or none at all is
// refused as a whole: nothing is imported.
TEST_F(EventPackage, ABrokenNamedListRefusesThePackage) {
  std::string error;
  ASSERT_TRUE(SaveNamedIds(1001, m_items[1], {"A01"}, error)) << U(error);
  Export();
  const std::string bytes = ReadAll(m_root.dir() / "night.zip");
  const std::string entry = "named/" + std::to_string(m_items[1]) + ".txt";
  const auto with = [&](const std::string& named) {
    sheet::ZipArchive zip;
    std::string why;
    EXPECT_TRUE(zip.OpenBuffer(bytes, why));
    std::vector<std::pair<std::string, std::string>> entries;
    for (const std::string& n : zip.Names()) {
      std::string part;
      EXPECT_TRUE(zip.ReadPart(n, part, why)) << why;
      entries.emplace_back(n, n == entry ? named : part);
    }
    return Zip(entries);
  };
  const std::string head = "活动包中的指定颁奖名单有误：奖项[二等奖]";
  ExpectRefused(with("A01\r\nA09\r\n"), G(head + "指定颁奖的号码[A09]不在名单中，未导入任何内容"));
  ExpectRefused(with("A02\r\n A02\r\n"), G(head + "指定颁奖的号码[A02]重复，未导入任何内容"));
  ExpectRefused(with("\r\n"), G(head + "的指定颁奖名单是空的，未导入任何内容"));
  // The title is no candidate.
  ExpectRefused(with("id\r\n"), G(head + "指定颁奖的号码[id]不在名单中，未导入任何内容"));
}
