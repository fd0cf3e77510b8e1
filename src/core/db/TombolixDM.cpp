#include "core/db/TombolixDM.h"

#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

#include "core/text/Gbk.h"
#include "core/text/Messages.h"
#include "core/text/Paths.h"

TTombolixDataModule* TombolixDataModule = nullptr;

TTombolixDataModule::TTombolixDataModule(db::Seeder seed) : m_seed(std::move(seed)) {
  TombolixDataModule = this;
}

TTombolixDataModule::~TTombolixDataModule() {
  if (TombolixDataModule == this) TombolixDataModule = nullptr;
}

bool TTombolixDataModule::DataModuleCreate() {
  const std::string path = paths::DatabasePath();
  std::string error;
  bool ok = true;
  std::error_code ec;
  if (!std::filesystem::exists(paths::NativePath(path), ec) && !ec)
    ok = db::CreateDatabaseFile(path, m_seed, error);
  if (ok) ok = db::ConnectDatabase(ADOConnection1, path, "", error);
  // A database file that exists but holds no tables yet (an empty file) is set up in place;
  // one that lacks only some of them is someone's damaged data and is left alone.
  const std::vector<std::string> missing =
      ok ? db::MissingTables(ADOConnection1) : std::vector<std::string>();
  if (ok && missing.size() == 3) {
    ok = db::InitializeDatabase(ADOConnection1, m_seed, error);
    if (!ok) ADOConnection1.Close();
  } else if (ok && !missing.empty()) {
    error = text::G("数据库中缺少数据表");
    for (size_t i = 0; i < missing.size(); ++i) error += (i ? "," : "") + missing[i];
    ok = false;
    ADOConnection1.Close();
  }
  if (!ok) msg::Show(MessageKind::Information, text::G("数据库连接失败,") + error);
  return ok;
}

namespace db {

bool AllocateId(TConnection& connection, TQuery& query, int kind, int& id, std::string& error) {
  // A savepoint acts as a transaction of its own, and nests inside one when the caller holds
  // a transaction (the example tasks are seeded inside the creation of the database).
  if (!ExecRaw(connection, "savepoint next_id", error)) return false;
  auto fail = [&]() {
    std::string ignored;
    ExecRaw(connection, "rollback to next_id", ignored);
    ExecRaw(connection, "release next_id", ignored);
    return false;
  };
  if (!OpenSql(query, sql::kSelectSequence, {int64_t{kind}}, error)) return fail();
  query.First();
  if (query.Eof()) {
    query.Close();
    if (!ExecSql(query, sql::kInsertSequence, {int64_t{kind}}, error)) return fail();
    id = 1001;
  } else {
    const int a = query.FieldAsInteger("SeqId");
    if (!ExecSql(query, sql::kUpdateSequence, {int64_t{a} + 1, int64_t{kind}}, error))
      return fail();
    id = a;
  }
  if (!ExecRaw(connection, "release next_id", error)) return fail();
  return true;
}

}  // namespace db

int GetNextId(int kind) {
  std::string error = db::NotConnectedText();
  int id = -1;
  if (!TombolixDataModule || !db::AllocateId(TombolixDataModule->ADOConnection1,
                                             TombolixDataModule->ARryPub, kind, id, error)) {
    msg::Show(MessageKind::Information, error);
    return -1;
  }
  return id;
}
