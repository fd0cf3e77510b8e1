#include "core/db/Schema.h"

#include <sqlite3.h>

#include <filesystem>
#include <system_error>

#include "core/text/Gbk.h"
#include "core/text/Paths.h"

namespace db {

bool ConnectDatabase(TConnection& connection, std::string_view gbkPath, std::string_view,
                     std::string& error) {
  connection.Close();
  const std::string native = paths::U8(paths::NativePath(gbkPath));
  sqlite3* h = nullptr;
  // Never create here: a missing file is brought into existence by the schema code, and an
  // unreadable one must stay exactly as it is.
  int rc = sqlite3_open_v2(native.c_str(), &h, SQLITE_OPEN_READWRITE, nullptr);
  if (rc != SQLITE_OK) {
    error = EngineMessage(h);
    sqlite3_close_v2(h);
    return false;
  }
  sqlite3_busy_timeout(h, 2000);
  sqlite3_extended_result_codes(h, 1);
  // SQLite reads the file lazily; this makes a file that is not a database fail here.
  int version = 0;
  std::string schemaError;
  if (!ReadSchemaVersion(h, version, schemaError)) {
    error = schemaError;
    sqlite3_close_v2(h);
    return false;
  }
  if (version > kSchemaVersion) {
    error = text::G("数据库文件由更新版本的程序创建(版本") + std::to_string(version) +
            text::G(")，本程序只能打开版本") + std::to_string(kSchemaVersion) +
            text::G("及以下的数据库，请使用新版本的程序");
    sqlite3_close_v2(h);
    return false;
  }
  if (!MigrateSchema(h, version, schemaError)) {
    error = schemaError;
    sqlite3_close_v2(h);
    return false;
  }
  connection.m_db = h;
  return true;
}

namespace fs = std::filesystem;

namespace {

constexpr const char* kCreateTables =
    "create table LuckTask ("
    " TaskId integer not null primary key,"
    " TaskName text not null default '',"
    " MainImageName text not null default '',"
    " IdType integer not null default 0,"
    " MainTitle text not null default '',"
    " FontSize integer not null default 36,"
    " FontColor text not null default '',"
    " RemainText text not null default '',"
    " HideBegin integer not null default 0,"
    " HideEnd integer not null default 0,"
    " PassWd text not null default '',"
    " OrderBy integer not null default 0,"
    " DataFilePath text not null default '',"
    " LuckAgain integer not null default 0,"
    " MusicFilePath text not null default '',"
    " ShowLuck integer not null default 0,"
    " Rules text not null default '',"
    " CheckinOnly integer not null default 0,"
    " HideExcludeCount integer not null default 0,"
    " StageColumns text not null default '',"
    " StageKeys text not null default '',"
    " Openings integer not null default 0,"
    " LastHead text not null default '');"
    "create table TaskItem ("
    " ItemId integer not null,"
    " ItemName text not null default '',"
    " TaskId integer not null,"
    " LuckCount integer not null default 0,"
    " ListCount integer not null default 0,"
    " AwardName text not null default '',"
    " AwardImageName text not null default '',"
    " ListIndex integer not null default 0,"
    " Rules text not null default '',"
    " primary key (TaskId, ItemId));"
    "create index TaskItemOrder on TaskItem (TaskId, ListIndex);"
    "create table Sequence ("
    " SeqType integer not null primary key,"
    " SeqId integer not null,"
    " SeqName text not null default '');";

bool Exec(sqlite3* h, const std::string& statement, std::string& error) {
  char* msg = nullptr;
  if (sqlite3_exec(h, statement.c_str(), nullptr, nullptr, &msg) != SQLITE_OK) {
    error = text::Utf8ToGbk(msg ? msg : sqlite3_errmsg(h));
    sqlite3_free(msg);
    return false;
  }
  return true;
}

// True when the three tables of the system exist in the file.
bool HasTheTables(sqlite3* h) {
  sqlite3_stmt* st = nullptr;
  bool has = false;
  if (sqlite3_prepare_v2(h,
                         "select count(*) from sqlite_master where type='table' and "
                         "name in ('LuckTask','TaskItem','Sequence')",
                         -1, &st, nullptr) == SQLITE_OK &&
      sqlite3_step(st) == SQLITE_ROW)
    has = sqlite3_column_int(st, 0) == 3;
  sqlite3_finalize(st);
  return has;
}

}  // namespace

std::vector<std::string> MissingTables(TConnection& connection) {
  std::vector<std::string> missing;
  sqlite3* h = connection.Handle();
  for (const char* name : {"LuckTask", "TaskItem", "Sequence"}) {
    sqlite3_stmt* st = nullptr;
    bool has = false;
    if (h && sqlite3_prepare_v2(h, "select 1 from sqlite_master where type='table' and name=?", -1,
                                &st, nullptr) == SQLITE_OK) {
      sqlite3_bind_text(st, 1, name, -1, SQLITE_STATIC);
      has = sqlite3_step(st) == SQLITE_ROW;
    }
    sqlite3_finalize(st);
    if (!has) missing.emplace_back(name);
  }
  return missing;
}

bool ReadSchemaVersion(sqlite3* h, int& version, std::string& error) {
  sqlite3_stmt* st = nullptr;
  // Touching sqlite_master reads the file header, so a foreign file fails right here.
  for (const char* q : {"select count(*) from sqlite_master", "pragma user_version"}) {
    if (sqlite3_prepare_v2(h, q, -1, &st, nullptr) != SQLITE_OK || sqlite3_step(st) != SQLITE_ROW) {
      error = text::Utf8ToGbk(sqlite3_errmsg(h));
      sqlite3_finalize(st);
      return false;
    }
    version = sqlite3_column_int(st, 0);
    sqlite3_finalize(st);
  }
  return true;
}

namespace {

// True when `table` already has `column`: a half-migrated file from an interrupted older
// attempt must not fail on a duplicate column.
bool HasColumn(sqlite3* h, const char* table, const char* column) {
  sqlite3_stmt* st = nullptr;
  bool has = false;
  if (sqlite3_prepare_v2(h, "select 1 from pragma_table_info(?1) where name=?2 collate nocase", -1,
                         &st, nullptr) == SQLITE_OK) {
    sqlite3_bind_text(st, 1, table, -1, SQLITE_STATIC);
    sqlite3_bind_text(st, 2, column, -1, SQLITE_STATIC);
    has = sqlite3_step(st) == SQLITE_ROW;
  }
  sqlite3_finalize(st);
  return has;
}

// Version 2: the draw's rules, task-wide lines on LuckTask and each item's on TaskItem.
bool AddRulesColumns(sqlite3* h, std::string& error) {
  for (const char* table : {"LuckTask", "TaskItem"})
    if (!HasColumn(h, table, "Rules") &&
        !Exec(h, std::string("alter table ") + table + " add column Rules text not null default ''",
              error))
      return false;
  return true;
}

// Version 3: the task option to draw only those checked in.
bool AddCheckinColumn(sqlite3* h, std::string& error) {
  return HasColumn(h, "LuckTask", "CheckinOnly") ||
         Exec(h, "alter table LuckTask add column CheckinOnly integer not null default 0", error);
}

// Version 4: the task option to leave the exclusion lists' count off the draw screen.
bool AddHideExcludeCountColumn(sqlite3* h, std::string& error) {
  return HasColumn(h, "LuckTask", "HideExcludeCount") ||
         Exec(h, "alter table LuckTask add column HideExcludeCount integer not null default 0",
              error);
}

// Version 4: the columns of the list the stage shows, and which of them it masks.
bool AddStageColumnsColumn(sqlite3* h, std::string& error) {
  return HasColumn(h, "LuckTask", "StageColumns") ||
         Exec(h, "alter table LuckTask add column StageColumns text not null default ''", error);
}

// Version 5: how the stage takes the operator's keys in time (empty: the defaults).
bool AddStageKeysColumn(sqlite3* h, std::string& error) {
  return HasColumn(h, "LuckTask", "StageKeys") ||
         Exec(h, "alter table LuckTask add column StageKeys text not null default ''", error);
}

// Version 6: the openings of the task's draw, counted where deleting files does not reset them.
bool AddOpeningsColumns(sqlite3* h, std::string& error) {
  return (HasColumn(h, "LuckTask", "Openings") ||
          Exec(h, "alter table LuckTask add column Openings integer not null default 0", error)) &&
         (HasColumn(h, "LuckTask", "LastHead") ||
          Exec(h, "alter table LuckTask add column LastHead text not null default ''", error));
}

}  // namespace

bool MigrateSchema(sqlite3* h, int version, std::string& error) {
  if (version >= kSchemaVersion) return true;
  // A file from before versioning that already holds the tables is version 1 as it is; one
  // without tables is initialised by the data module.
  if (!HasTheTables(h)) return true;
  if (!Exec(h, "begin immediate", error)) return false;
  if (AddRulesColumns(h, error) && AddCheckinColumn(h, error) &&
      AddHideExcludeCountColumn(h, error) && AddStageColumnsColumn(h, error) &&
      AddStageKeysColumn(h, error) && AddOpeningsColumns(h, error) &&
      Exec(h, "pragma user_version=" + std::to_string(kSchemaVersion), error) &&
      Exec(h, "commit", error))
    return true;
  std::string ignored;
  Exec(h, "rollback", ignored);
  return false;
}

bool HasSchema(TConnection& connection) {
  return connection.Handle() && HasTheTables(connection.Handle());
}

bool CreateSchema(TConnection& connection, std::string& error) {
  sqlite3* h = connection.Handle();
  return Exec(h, kCreateTables, error) &&
         Exec(h, "pragma user_version=" + std::to_string(kSchemaVersion), error);
}

bool InitializeDatabase(TConnection& connection, const Seeder& seed, std::string& error) {
  sqlite3* h = connection.Handle();
  if (!Exec(h, "begin immediate", error)) return false;
  if (CreateSchema(connection, error) && (!seed || seed(connection, error)) &&
      Exec(h, "commit", error))
    return true;
  std::string ignored;
  Exec(h, "rollback", ignored);
  return false;
}

bool CreateDatabaseFile(std::string_view gbkPath, const Seeder& seed, std::string& error) {
  const fs::path target = paths::NativePath(gbkPath);
  std::error_code ec;
  fs::create_directories(target.parent_path(), ec);
  const fs::path temp = target.string() + ".new";
  fs::remove(temp, ec);
  bool ok = false;
  {
    TConnection connection;
    sqlite3* h = nullptr;
    if (sqlite3_open_v2(paths::U8(temp).c_str(), &h, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr) != SQLITE_OK) {
      error = text::Utf8ToGbk(h ? sqlite3_errmsg(h) : "out of memory");
      sqlite3_close_v2(h);
      fs::remove(temp, ec);
      return false;
    }
    sqlite3_close_v2(h);
    // Reopen through the layer so the seeder uses the same statements as the program.
    if (ConnectDatabase(connection, text::Utf8ToGbk(paths::U8(temp)), "", error))
      ok = InitializeDatabase(connection, seed, error);
  }
  if (ok && fs::exists(target, ec)) {
    // Never replace a file that appeared meanwhile: it may hold someone's data.
    error = text::G("数据库文件已存在");
    ok = false;
  }
  if (ok) {
    fs::rename(temp, target, ec);
    if (ec) {
      error = text::Utf8ToGbk(ec.message());
      ok = false;
    }
  }
  if (!ok) fs::remove(temp, ec);
  return ok;
}

}  // namespace db
