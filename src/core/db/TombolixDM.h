// The data module: the one database connection of the process and its three query
// objects, created at start-up before the main window and kept for the whole run.
#pragma once

#include <string>

#include "core/db/Schema.h"
#include "core/db/TombolixDB.h"

class TTombolixDataModule {
 public:
  // Registers itself as the process-wide data module; `seed` fills a newly created database.
  explicit TTombolixDataModule(db::Seeder seed = {});
  ~TTombolixDataModule();
  TTombolixDataModule(const TTombolixDataModule&) = delete;
  TTombolixDataModule& operator=(const TTombolixDataModule&) = delete;

  // Opens DATA/Tombolix.db under the data root, creating it with the schema when it does not
  // exist. A failure is shown as "数据库连接失败," + the engine's text; the program runs on.
  bool DataModuleCreate();

  db::TConnection ADOConnection1;
  db::TQuery ARryPub{ADOConnection1};
  db::TQuery AQryTaskItem{ADOConnection1};
  db::TQuery AQryTask{ADOConnection1};

 private:
  db::Seeder m_seed;
};

// The data module of the process, or null before it is created.
extern TTombolixDataModule* TombolixDataModule;

namespace db {

inline constexpr int kSeqTaskId = 1;
inline constexpr int kSeqItemId = 2;

// Hands out the next id of a kind, read and update in one transaction. False with the
// error text on failure, leaving the counter unchanged.
bool AllocateId(TConnection& connection, TQuery& query, int kind, int& id, std::string& error);

}  // namespace db

// The id allocator on the data module's shared query: 1001, 1002, … per kind. Shows its own
// failure (kind Information) and returns -1.
int GetNextId(int kind);
