#include <gtest/gtest.h>
#include <sqlite3.h>

#include <set>
#include <utility>
#include <vector>

#include "SqlRows.h"
#include "TempRoot.h"
#include "core/config/TaskStageKeys.h"
#include "core/db/TombolixDM.h"
#include "core/draw/DrawOpenings.h"
#include "core/records/ExampleTasks.h"
#include "core/records/Loaders.h"
#include "core/records/Records.h"
#include "core/text/Gbk.h"
#include "core/text/Messages.h"
#include "core/text/Paths.h"

namespace fs = std::filesystem;
using text::G;

namespace {

// Keeps every message the core shows while it lives.
struct MessageCapture {
  std::vector<std::pair<MessageKind, std::string>> messages;
  msg::Sink previous;
  MessageCapture() {
    previous =
        msg::SetSink([this](MessageKind k, const std::string& t) { messages.emplace_back(k, t); });
  }
  ~MessageCapture() { msg::SetSink(previous); }
};

std::vector<std::string> Columns(sqlite3* h, const char* table) {
  std::vector<std::string> cols;
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(h, (std::string("pragma table_info(") + table + ")").c_str(), -1, &st,
                     nullptr);
  while (sqlite3_step(st) == SQLITE_ROW)
    cols.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 1)));
  sqlite3_finalize(st);
  return cols;
}

int64_t N(int64_t v) { return v; }

void InsertTask(db::TQuery& q, int id, const std::string& gbkName, int orderBy = 0) {
  std::string err;
  const db::Params p = {
      N(id),         gbkName, std::string(), N(0),          G("标题"),  N(36), std::string("clRed"),
      std::string(), N(0),    N(0),          std::string(), N(orderBy), N(0),  std::string(),
      N(0)};
  ASSERT_TRUE(db::ExecSql(q, db::sql::kInsertTask, p, err)) << err;
}

}  // namespace

TEST(Database, NewFileHasExactlyTheThreeTablesAndVersion) {
  TempRoot root;
  TTombolixDataModule dm;
  ASSERT_TRUE(dm.DataModuleCreate());
  sqlite3* h = dm.ADOConnection1.Handle();
  EXPECT_EQ(Rows(h, "select name from sqlite_master where type='table' order by name"),
            (std::vector<std::string>{"LuckTask", "Sequence", "TaskItem"}));
  EXPECT_EQ(Columns(h, "LuckTask"),
            (std::vector<std::string>{
                "TaskId",    "TaskName",  "MainImageName", "IdType",           "MainTitle",
                "FontSize",  "FontColor", "RemainText",    "HideBegin",        "HideEnd",
                "PassWd",    "OrderBy",   "DataFilePath",  "LuckAgain",        "MusicFilePath",
                "ShowLuck",  "Rules",     "CheckinOnly",   "HideExcludeCount", "StageColumns",
                "StageKeys", "Openings",  "LastHead"}));
  EXPECT_EQ(Columns(h, "TaskItem"),
            (std::vector<std::string>{"ItemId", "ItemName", "TaskId", "LuckCount", "ListCount",
                                      "AwardName", "AwardImageName", "ListIndex", "Rules"}));
  EXPECT_EQ(Columns(h, "Sequence"), (std::vector<std::string>{"SeqType", "SeqId", "SeqName"}));
  EXPECT_EQ(Rows(h, "pragma user_version"), (std::vector<std::string>{"6"}));
  EXPECT_TRUE(Rows(h, "select * from LuckTask").empty());  // no seeder given
}

TEST(Database, ExampleTasksAreSeededThroughTheAllocator) {
  TempRoot root;
  TTombolixDataModule dm(SeedExampleTasks);
  ASSERT_TRUE(dm.DataModuleCreate());
  sqlite3* h = dm.ADOConnection1.Handle();
  EXPECT_EQ(Rows(h, "select TaskId, OrderBy, HideBegin from LuckTask order by TaskId"),
            (std::vector<std::string>{"1001|0|4", "1002|1|1000"}));
  EXPECT_EQ(Rows(h, "select * from Sequence order by SeqType"),
            (std::vector<std::string>{"1|1003|TaskId", "2|1007|TaskId"}));
  // The data task's draw data file exists where DataFilePath says, with 200 candidates.
  TLuckTask task;
  std::string err;
  ASSERT_TRUE(LoadLuckTask(1001, task, err)) << err;
  EXPECT_EQ(task.DataFilePath, paths::DrawDataPath(1001));
  const std::string file = ReadAll(paths::NativePath(task.DataFilePath));
  EXPECT_EQ(file.rfind("BEGIN\r\nCOUNT=200\r\nID_MAX_LENGTH=11\r\n", 0), 0u);
  EXPECT_EQ(file.substr(file.size() - 5), "END\r\n");
  // Counters continue after the seeded ids.
  EXPECT_EQ(GetNextId(db::kSeqTaskId), 1003);
  EXPECT_EQ(GetNextId(db::kSeqItemId), 1007);
}

TEST(Database, ExampleCandidatesAreDistinctElevenDigitPhonesWithNames) {
  const std::vector<std::string> lines = ExampleCandidates(200);
  ASSERT_EQ(lines.size(), 200u);
  std::set<std::string> ids;
  for (const std::string& l : lines) {
    const std::string id = l.substr(0, l.find(' '));
    EXPECT_EQ(id.size(), 11u) << l;
    EXPECT_EQ(id[0], '1');
    EXPECT_TRUE(text::IsValidUtf8(text::GbkToUtf8(l)));
    EXPECT_GT(l.size(), 16u);  // a name and a department follow
    ids.insert(id);
  }
  EXPECT_EQ(ids.size(), 200u);
  EXPECT_EQ(ExampleCandidates(200), lines);  // the same list every time
}

TEST(Allocator, EmptySequenceCountsEachKindFrom1001) {
  TempRoot root;
  TTombolixDataModule dm;
  ASSERT_TRUE(dm.DataModuleCreate());
  EXPECT_EQ(GetNextId(1), 1001);
  EXPECT_EQ(Rows(dm.ADOConnection1.Handle(), "select * from Sequence"),
            (std::vector<std::string>{"1|1002|TaskId"}));
  EXPECT_EQ(GetNextId(2), 1001);
  EXPECT_EQ(GetNextId(1), 1002);
  EXPECT_EQ(GetNextId(1), 1003);
  EXPECT_EQ(GetNextId(2), 1002);
  EXPECT_EQ(Rows(dm.ADOConnection1.Handle(), "select * from Sequence order by SeqType"),
            (std::vector<std::string>{"1|1004|TaskId", "2|1003|TaskId"}));
}

TEST(Allocator, FailedUpdateReturnsMinusOneShowsKindZeroAndKeepsCounter) {
  TempRoot root;
  TTombolixDataModule dm;
  ASSERT_TRUE(dm.DataModuleCreate());
  ASSERT_EQ(GetNextId(1), 1001);
  std::string err;
  ASSERT_TRUE(db::ExecRaw(dm.ADOConnection1,
                          "create trigger no_update before update on Sequence begin "
                          "select raise(abort, 'counter is locked'); end",
                          err));
  MessageCapture capture;
  EXPECT_EQ(GetNextId(1), -1);
  ASSERT_EQ(capture.messages.size(), 1u);
  EXPECT_EQ(capture.messages[0].first, MessageKind::Information);
  EXPECT_NE(capture.messages[0].second.find("counter is locked"), std::string::npos);
  EXPECT_EQ(Rows(dm.ADOConnection1.Handle(), "select SeqId from Sequence where SeqType=1"),
            (std::vector<std::string>{"1002"}));
  ASSERT_TRUE(db::ExecRaw(dm.ADOConnection1, "drop trigger no_update", err));
  EXPECT_EQ(GetNextId(1), 1002);  // the failure did not use up an id
}

TEST(Allocator, FailedSelectReturnsMinusOne) {
  TempRoot root;
  TTombolixDataModule dm;
  ASSERT_TRUE(dm.DataModuleCreate());
  std::string err;
  ASSERT_TRUE(db::ExecRaw(dm.ADOConnection1, "drop table Sequence", err));
  MessageCapture capture;
  EXPECT_EQ(GetNextId(2), -1);
  ASSERT_EQ(capture.messages.size(), 1u);
  EXPECT_EQ(capture.messages[0].first, MessageKind::Information);
  EXPECT_NE(capture.messages[0].second.find("Sequence"), std::string::npos);
}

TEST(Statements, ErrorTextIsSetOnFailureAndEmptiedOnSuccess) {
  TempRoot root;
  TTombolixDataModule dm;
  ASSERT_TRUE(dm.DataModuleCreate());
  std::string err = "stale";
  db::TQuery& q = dm.ARryPub;
  ASSERT_TRUE(db::OpenSql(q, db::sql::kSelectTaskList, {}, err));
  EXPECT_EQ(err, "");
  EXPECT_TRUE(q.Active());
  EXPECT_FALSE(db::OpenSql(q, "select x from NoSuchTable", {}, err));
  EXPECT_NE(err.find("NoSuchTable"), std::string::npos) << err;
  EXPECT_FALSE(q.Active());                                     // left closed
  EXPECT_FALSE(db::ExecSql(q, db::sql::kDeleteTask, {}, err));  // a missing value
  EXPECT_FALSE(err.empty());
  EXPECT_TRUE(db::ExecSql(q, db::sql::kDeleteTask, {N(5)}, err));
  EXPECT_EQ(err, "");
}

TEST(Statements, QuotesAndInjectionAttemptsAreStoredAsText) {
  TempRoot root;
  TTombolixDataModule dm;
  ASSERT_TRUE(dm.DataModuleCreate());
  InsertTask(dm.ARryPub, 1001, "O'Brien");
  InsertTask(dm.ARryPub, 1002, "x'); delete from LuckTask; --");
  InsertTask(dm.ARryPub, 1003, "'' or 1=1 --");
  TLuckTask t;
  std::string err;
  ASSERT_TRUE(LoadLuckTask(1001, t, err));
  EXPECT_EQ(t.TaskName, "O'Brien");
  ASSERT_TRUE(LoadLuckTask(1002, t, err));
  EXPECT_EQ(t.TaskName, "x'); delete from LuckTask; --");
  ASSERT_TRUE(LoadLuckTask(1003, t, err));
  EXPECT_EQ(t.TaskName, "'' or 1=1 --");
  ASSERT_TRUE(db::OpenSql(dm.ARryPub, db::sql::kSelectTaskList, {}, err));
  EXPECT_EQ(dm.ARryPub.RecordCount(), 3);
  // An item name used in a where clause matches only itself.
  ASSERT_TRUE(db::ExecSql(
      dm.ARryPub, db::sql::kInsertItem,
      {N(1), std::string("a' or '1'='1"), N(1001), N(1), N(1), std::string(), std::string(), N(1)},
      err));
  ASSERT_TRUE(db::OpenSql(dm.AQryTaskItem, db::sql::kSelectItemByName,
                          {std::string("nothing' or '1'='1"), N(1001)}, err));
  EXPECT_EQ(dm.AQryTaskItem.RecordCount(), 0);
}

TEST(Statements, ChineseTextIsStoredAsUtf8AndComesBackAsTheSameGbkBytes) {
  TempRoot root;
  TTombolixDataModule dm;
  ASSERT_TRUE(dm.DataModuleCreate());
  const std::string name = G("二〇二七年会·抽奖（总部）");
  InsertTask(dm.ARryPub, 1001, name);
  EXPECT_EQ(Rows(dm.ADOConnection1.Handle(), "select TaskName from LuckTask"),
            (std::vector<std::string>{"二〇二七年会·抽奖（总部）"}));
  TLuckTask t;
  std::string err;
  ASSERT_TRUE(LoadLuckTask(1001, t, err));
  EXPECT_EQ(t.TaskName, name);
  EXPECT_EQ(t.MainTitle, G("标题"));
  EXPECT_EQ(t.FontColor, "clRed");
}

TEST(Connection, FileThatIsNotADatabaseIsRefusedAndLeftUntouched) {
  TempRoot root;
  const fs::path db = root.dir() / "DATA/Tombolix.db";
  const std::string garbage(4096, 'Z');
  WriteAll(db, garbage);
  MessageCapture capture;
  TTombolixDataModule dm(SeedExampleTasks);
  EXPECT_FALSE(dm.DataModuleCreate());
  ASSERT_EQ(capture.messages.size(), 1u);
  EXPECT_EQ(capture.messages[0].first, MessageKind::Information);
  EXPECT_EQ(capture.messages[0].second.rfind(G("数据库连接失败,"), 0), 0u);
  EXPECT_GT(capture.messages[0].second.size(), G("数据库连接失败,").size());
  EXPECT_EQ(ReadAll(db), garbage);
  EXPECT_EQ(std::distance(fs::directory_iterator(db.parent_path()), fs::directory_iterator()), 1);
  // Every later statement fails with a text of its own.
  std::string err;
  EXPECT_FALSE(db::OpenSql(dm.ARryPub, db::sql::kSelectTaskList, {}, err));
  EXPECT_FALSE(err.empty());
  EXPECT_EQ(GetNextId(1), -1);
}

TEST(Connection, NewerSchemaVersionIsRefusedWithAClearMessage) {
  TempRoot root;
  const fs::path db = root.dir() / "DATA/Tombolix.db";
  fs::create_directories(db.parent_path());
  sqlite3* h = nullptr;
  ASSERT_EQ(sqlite3_open(paths::U8(db).c_str(), &h), SQLITE_OK);
  sqlite3_exec(h, "create table LuckTask(x); pragma user_version=7;", nullptr, nullptr, nullptr);
  sqlite3_close(h);
  const std::string before = ReadAll(db);
  MessageCapture capture;
  TTombolixDataModule dm;
  EXPECT_FALSE(dm.DataModuleCreate());
  ASSERT_EQ(capture.messages.size(), 1u);
  EXPECT_NE(capture.messages[0].second.find(G("版本7")), std::string::npos);
  EXPECT_EQ(ReadAll(db), before);
}

TEST(Connection, EmptyFileIsSetUpInPlaceAndUnversionedTablesAreKept) {
  TempRoot root;
  const fs::path db = root.dir() / "DATA/Tombolix.db";
  WriteAll(db, "");
  {
    TTombolixDataModule dm(SeedExampleTasks);
    ASSERT_TRUE(dm.DataModuleCreate());
    EXPECT_EQ(Rows(dm.ADOConnection1.Handle(), "select count(*) from LuckTask"),
              (std::vector<std::string>{"2"}));
    std::string err;
    ASSERT_TRUE(db::ExecRaw(dm.ADOConnection1, "pragma user_version=0", err));
  }
  // A file with the tables but no version (an older program's) opens with its rows.
  TTombolixDataModule dm(SeedExampleTasks);
  ASSERT_TRUE(dm.DataModuleCreate());
  EXPECT_EQ(Rows(dm.ADOConnection1.Handle(), "select count(*) from LuckTask"),
            (std::vector<std::string>{"2"}));
  EXPECT_EQ(Rows(dm.ADOConnection1.Handle(), "pragma user_version"),
            (std::vector<std::string>{"6"}));
}

TEST(Connection, DataDirectoryThatCannotBeMadeFailsWithoutLeavingFiles) {
  TempRoot root;
  WriteAll(root.dir() / "DATA", "a file where the directory should be");
  MessageCapture capture;
  TTombolixDataModule dm(SeedExampleTasks);
  EXPECT_FALSE(dm.DataModuleCreate());
  ASSERT_EQ(capture.messages.size(), 1u);
  EXPECT_EQ(capture.messages[0].second.rfind(G("数据库连接失败,"), 0), 0u);
  EXPECT_EQ(ReadAll(root.dir() / "DATA"), "a file where the directory should be");
}

TEST(Connection, ADatabaseLackingATableNamesTheMissingOne) {
  TempRoot root;
  {
    TTombolixDataModule dm(SeedExampleTasks);
    ASSERT_TRUE(dm.DataModuleCreate());
    std::string err;
    ASSERT_TRUE(db::ExecRaw(dm.ADOConnection1, "drop table TaskItem", err)) << err;
  }
  MessageCapture capture;
  TTombolixDataModule dm(SeedExampleTasks);
  EXPECT_FALSE(dm.DataModuleCreate());
  ASSERT_EQ(capture.messages.size(), 1u);
  EXPECT_EQ(capture.messages[0].second, G("数据库连接失败,数据库中缺少数据表TaskItem"));
  // The rest of the file is left as it was.
  sqlite3* h = nullptr;
  ASSERT_EQ(sqlite3_open(paths::U8(root.dir() / "DATA/Tombolix.db").c_str(), &h), SQLITE_OK);
  EXPECT_EQ(Rows(h, "select count(*) from LuckTask"), (std::vector<std::string>{"2"}));
  sqlite3_close(h);
}

namespace {

// A database as the first version of the program wrote it: the three tables without the
// Rules columns, two tasks, three items and the counters; `extraSql` then runs and the
// file is stamped `version`.
void WriteVersion1File(const fs::path& file, const char* extraSql = "", int version = 1) {
  fs::create_directories(file.parent_path());
  sqlite3* h = nullptr;
  ASSERT_EQ(sqlite3_open(paths::U8(file).c_str(), &h), SQLITE_OK);
  const std::string sql =
      std::string(
          "create table LuckTask (TaskId integer not null primary key, TaskName text not null "
          "default '', MainImageName text not null default '', IdType integer not null default "
          "0, MainTitle text not null default '', FontSize integer not null default 36, "
          "FontColor text not null default '', RemainText text not null default '', HideBegin "
          "integer not null default 0, HideEnd integer not null default 0, PassWd text not null "
          "default '', OrderBy integer not null default 0, DataFilePath text not null default "
          "'', LuckAgain integer not null default 0, MusicFilePath text not null default '', "
          "ShowLuck integer not null default 0);"
          "create table TaskItem (ItemId integer not null, ItemName text not null default '', "
          "TaskId integer not null, LuckCount integer not null default 0, ListCount integer not "
          "null default 0, AwardName text not null default '', AwardImageName text not null "
          "default '', ListIndex integer not null default 0, primary key (TaskId, ItemId));"
          "create index TaskItemOrder on TaskItem (TaskId, ListIndex);"
          "create table Sequence (SeqType integer not null primary key, SeqId integer not null, "
          "SeqName text not null default '');"
          "insert into LuckTask (TaskId, TaskName, OrderBy, DataFilePath) values "
          "(1001, '年会', 0, 'DATA/1001.dat'), (1002, '午宴', 1, '');"
          "insert into TaskItem values (1001, '一等奖', 1001, 1, 1, '电脑', '', 0),"
          " (1002, '二等奖', 1001, 3, 3, '', '', 1), (1003, '幸运奖', 1002, 5, 5, '', '', 0);"
          "insert into Sequence values (1, 1003, 'TaskId'), (2, 1004, 'TaskId');") +
      extraSql + "pragma user_version=" + std::to_string(version) + ";";
  char* msg = nullptr;
  ASSERT_EQ(sqlite3_exec(h, sql.c_str(), nullptr, nullptr, &msg), SQLITE_OK) << msg;
  sqlite3_close(h);
}

}  // namespace

TEST(Migration, Version1FileGainsTheRulesColumnsAndKeepsEveryRow) {
  TempRoot root;
  const fs::path file = root.dir() / "DATA/Tombolix.db";
  WriteVersion1File(file);
  TTombolixDataModule dm;
  ASSERT_TRUE(dm.DataModuleCreate());
  sqlite3* h = dm.ADOConnection1.Handle();
  EXPECT_EQ(Rows(h, "pragma user_version"), (std::vector<std::string>{"6"}));
  EXPECT_EQ(Rows(h,
                 "select TaskId, TaskName, OrderBy, DataFilePath, FontSize, Rules, CheckinOnly "
                 "from LuckTask order by TaskId"),
            (std::vector<std::string>{"1001|年会|0|DATA/1001.dat|36||0", "1002|午宴|1||36||0"}));
  EXPECT_EQ(Rows(h, "select * from TaskItem order by ItemId"),
            (std::vector<std::string>{"1001|一等奖|1001|1|1|电脑||0|", "1002|二等奖|1001|3|3|||1|",
                                      "1003|幸运奖|1002|5|5|||0|"}));
  EXPECT_EQ(Rows(h, "select * from Sequence order by SeqType"),
            (std::vector<std::string>{"1|1003|TaskId", "2|1004|TaskId"}));
  EXPECT_EQ(Rows(h, "select name from sqlite_master where type='index' and name='TaskItemOrder'"),
            (std::vector<std::string>{"TaskItemOrder"}));
  // The ordinary statements work on the migrated rows.
  TLuckTask t;
  std::string err;
  ASSERT_TRUE(LoadLuckTask(1001, t, err)) << err;
  EXPECT_EQ(t.TaskName, G("年会"));
  EXPECT_EQ(GetNextId(db::kSeqTaskId), 1003);
}

TEST(Migration, AFileWithOneColumnAlreadyAddedIsCompletedNotFailed) {
  // What a copy edited by hand, or a half-applied change, may look like.
  TempRoot root;
  const fs::path file = root.dir() / "DATA/Tombolix.db";
  WriteVersion1File(file, "alter table LuckTask add column rules text not null default 'x';");
  TTombolixDataModule dm;
  ASSERT_TRUE(dm.DataModuleCreate());
  sqlite3* h = dm.ADOConnection1.Handle();
  EXPECT_EQ(Rows(h, "pragma user_version"), (std::vector<std::string>{"6"}));
  EXPECT_EQ(Rows(h, "select count(*) from pragma_table_info('LuckTask') where name like 'rules'"),
            (std::vector<std::string>{"1"}));
  EXPECT_EQ(Columns(h, "TaskItem").back(), "Rules");
}

TEST(Migration, Version2FileGainsTheCheckinOptionOffForEveryTask) {
  TempRoot root;
  const fs::path file = root.dir() / "DATA/Tombolix.db";
  WriteVersion1File(file,
                    "alter table LuckTask add column Rules text not null default '';"
                    "alter table TaskItem add column Rules text not null default '';"
                    "update LuckTask set Rules='EXCLUDE\t1002\n' where TaskId=1001;",
                    2);
  TTombolixDataModule dm;
  ASSERT_TRUE(dm.DataModuleCreate());
  sqlite3* h = dm.ADOConnection1.Handle();
  EXPECT_EQ(Rows(h, "pragma user_version"), (std::vector<std::string>{"6"}));
  EXPECT_EQ(Rows(h, "select TaskId, Rules, CheckinOnly from LuckTask order by TaskId"),
            (std::vector<std::string>{"1001|EXCLUDE\t1002\n|0", "1002||0"}));
  bool only = true;
  std::string err;
  ASSERT_TRUE(LoadCheckinOnly(1001, only, err)) << err;
  EXPECT_FALSE(only);
}

TEST(Migration, Version3FileShowsEveryColumnOnStage) {
  TempRoot root;
  const fs::path file = root.dir() / "DATA/Tombolix.db";
  const char* v3 =
      "alter table LuckTask add column Rules text not null default '';"
      "alter table TaskItem add column Rules text not null default '';"
      "alter table LuckTask add column CheckinOnly integer not null default 0;"
      "update LuckTask set CheckinOnly=1 where TaskId=1002;";
  WriteVersion1File(file, v3, 3);
  TTombolixDataModule dm;
  ASSERT_TRUE(dm.DataModuleCreate());
  sqlite3* h = dm.ADOConnection1.Handle();
  EXPECT_EQ(Rows(h, "pragma user_version"), (std::vector<std::string>{"6"}));
  EXPECT_EQ(Rows(h, "select TaskId, CheckinOnly, StageColumns from LuckTask order by TaskId"),
            (std::vector<std::string>{"1001|0|", "1002|1|"}));
  std::string stored = "x", err;
  ASSERT_TRUE(LoadStageColumns(1001, stored, err)) << err;
  EXPECT_EQ(stored, "");
}

TEST(Migration, Version4FileTakesTheStagesDefaultKeyTimesForEveryTask) {
  TempRoot root;
  const fs::path file = root.dir() / "DATA/Tombolix.db";
  const char* v4 =
      "alter table LuckTask add column Rules text not null default '';"
      "alter table TaskItem add column Rules text not null default '';"
      "alter table LuckTask add column CheckinOnly integer not null default 0;"
      "alter table LuckTask add column HideExcludeCount integer not null default 0;"
      "alter table LuckTask add column StageColumns text not null default '';"
      "update LuckTask set StageColumns='SH' where TaskId=1002;";
  WriteVersion1File(file, v4, 4);
  TTombolixDataModule dm;
  ASSERT_TRUE(dm.DataModuleCreate());
  sqlite3* h = dm.ADOConnection1.Handle();
  EXPECT_EQ(Rows(h, "pragma user_version"), (std::vector<std::string>{"6"}));
  EXPECT_EQ(Rows(h, "select TaskId, StageColumns, StageKeys from LuckTask order by TaskId"),
            (std::vector<std::string>{"1001||", "1002|SH|"}));
  std::string stored = "x", err;
  ASSERT_TRUE(LoadStageKeys(1001, stored, err)) << err;
  EXPECT_EQ(stored, "");
  TStageKeys keys{0, 0};
  ASSERT_TRUE(config::LoadStageKeyTimes(1002, keys, err)) << err;
  EXPECT_EQ(keys, TStageKeys{});  // the defaults: a second's rest, a roll of 1.5 s
  ASSERT_TRUE(config::SaveStageKeyTimes(1002, {600, 20000}, err)) << err;
  ASSERT_TRUE(config::LoadStageKeyTimes(1002, keys, err)) << err;
  EXPECT_EQ(keys, (TStageKeys{600, TStageKeys::kMaxMs}));
  EXPECT_EQ(Rows(h, "select StageKeys from LuckTask where TaskId=1002"),
            (std::vector<std::string>{"600 10000"}));
}

TEST(Migration, Version5FileHasCountedNoOpeningYet) {
  TempRoot root;
  const fs::path file = root.dir() / "DATA/Tombolix.db";
  const char* v5 =
      "alter table LuckTask add column Rules text not null default '';"
      "alter table TaskItem add column Rules text not null default '';"
      "alter table LuckTask add column CheckinOnly integer not null default 0;"
      "alter table LuckTask add column HideExcludeCount integer not null default 0;"
      "alter table LuckTask add column StageColumns text not null default '';"
      "alter table LuckTask add column StageKeys text not null default '';";
  WriteVersion1File(file, v5, 5);
  TTombolixDataModule dm;
  ASSERT_TRUE(dm.DataModuleCreate());
  sqlite3* h = dm.ADOConnection1.Handle();
  EXPECT_EQ(Rows(h, "pragma user_version"), (std::vector<std::string>{"6"}));
  EXPECT_EQ(Rows(h, "select TaskId, Openings, LastHead from LuckTask order by TaskId"),
            (std::vector<std::string>{"1001|0|", "1002|0|"}));
  TOpenings openings{5, "x"};
  std::string err;
  ASSERT_TRUE(LoadOpenings(1002, openings, err)) << err;
  EXPECT_EQ(openings.Count, 0);
  EXPECT_EQ(openings.LastHead, "");
}

TEST(Migration, AFileNewerThanThisProgramIsRefusedUntouched) {
  TempRoot root;
  const fs::path file = root.dir() / "DATA/Tombolix.db";
  WriteVersion1File(file, "", 7);
  const std::string before = ReadAll(file);
  MessageCapture capture;
  TTombolixDataModule dm;
  EXPECT_FALSE(dm.DataModuleCreate());
  ASSERT_EQ(capture.messages.size(), 1u);
  EXPECT_NE(capture.messages[0].second.find(G("版本7")), std::string::npos);
  EXPECT_NE(capture.messages[0].second.find(G("只能打开版本6")), std::string::npos);
  EXPECT_EQ(ReadAll(file), before);
}
