// The schema of the database file and its version in PRAGMA user_version.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/db/TombolixDB.h"

namespace db {

// 1: the three tables; 2: a Rules column on LuckTask and TaskItem (the draw's rules);
// 3: CheckinOnly on LuckTask (draw only those checked in on the LAN); 4: HideExcludeCount on
// LuckTask (the draw screen's rules line leaves out the exclusion lists' count) and
// StageColumns on LuckTask (which columns of the list the stage shows and masks); 5: StageKeys
// on LuckTask (how the stage takes the operator's keys in time); 6: Openings and LastHead on
// LuckTask (how many times the task's draw was opened, and the key of the last head written).
inline constexpr int kSchemaVersion = 6;

// Opens an existing database file; the password is accepted for the interface and unused.
// Refuses a file that is not a database or was written by a newer program, and brings an
// older one up to kSchemaVersion. On success the error text is left as it was.
bool ConnectDatabase(TConnection& connection, std::string_view gbkPath, std::string_view password,
                     std::string& error);

// Reads user_version; fails with the engine's text when the file is not a database.
bool ReadSchemaVersion(sqlite3* handle, int& version, std::string& error);

// Brings an older file up to kSchemaVersion in one `begin immediate` transaction, adding
// only what it lacks; on failure the file is left as it was.
bool MigrateSchema(sqlite3* handle, int version, std::string& error);

// True when the three tables exist.
bool HasSchema(TConnection& connection);
// Which of the three tables the connected file lacks, in schema order.
std::vector<std::string> MissingTables(TConnection& connection);

// Creates the three tables and sets the version; the caller holds the transaction.
bool CreateSchema(TConnection& connection, std::string& error);

using Seeder = std::function<bool(TConnection&, std::string&)>;

// Fills an open database that has no tables yet: schema plus `seed`, in one transaction.
bool InitializeDatabase(TConnection& connection, const Seeder& seed, std::string& error);

// Creates a new database file at `gbkPath` with the schema and whatever `seed` inserts. The
// file is built beside the target and renamed into place, so a failure leaves no file.
bool CreateDatabaseFile(std::string_view gbkPath, const Seeder& seed, std::string& error);

}  // namespace db
