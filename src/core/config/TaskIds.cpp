#include "core/config/TaskIds.h"

#include <filesystem>
#include <system_error>

#include "core/db/TombolixDM.h"
#include "core/records/CheckinFile.h"
#include "core/records/ClaimFile.h"
#include "core/records/FileHash.h"
#include "core/records/ResultsHistory.h"
#include "core/records/WinnerPhotos.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"

namespace config {

namespace fs = std::filesystem;

namespace {

// Files in `dir` whose name starts with `prefix`.
void AddStartingWith(const std::string& dir, const std::string& prefix,
                     std::vector<std::string>& users) {
  std::error_code ec;
  for (fs::directory_iterator it(paths::NativePath(dir), ec), end; !ec && it != end;
       it.increment(ec)) {
    const std::string name = paths::U8(it->path().filename());
    if (name.rfind(prefix, 0) == 0) users.push_back(dir + name);
  }
}

}  // namespace

bool TaskIdUsers(int32_t id, std::vector<std::string>& users, std::string& error) {
  users.clear();
  if (!TombolixDataModule) {
    error = db::NotConnectedText();
    return false;
  }
  db::TQuery q(TombolixDataModule->ADOConnection1);
  if (!db::OpenSql(q, "select count(*) as N from LuckTask where TaskId=?", {int64_t{id}}, error))
    return false;
  q.First();
  if (q.FieldAsInteger("N") > 0) users.push_back("LuckTask");
  const std::string sid = std::to_string(id);
  for (const std::string& file :
       {paths::DrawDataPath(id), ListFingerprintPath(id), paths::JournalPath(id),
        paths::FinishedJournalPath(id), checkin::CheckinFilePath(id)})
    if (paths::FileExists(file)) users.push_back(file);
  for (const std::string& dir :
       {photos::PhotoDir(id), paths::DataFileDir() + "MEDIA_" + sid + "/"}) {
    std::error_code ec;
    if (fs::exists(paths::NativePath(dir), ec)) users.push_back(dir);
  }
  AddStartingWith(paths::DataFileDir(), "CHEAT_" + sid + "_", users);
  for (const std::string& file : claims::TaskClaimFiles(id)) users.push_back(file);
  for (const std::string& file : TaskResultFiles(id))
    if (file != paths::FinishedJournalPath(id)) users.push_back(file);
  return true;
}

int32_t NextFreeTaskId(std::string& error) {
  std::vector<std::string> users;
  for (int tries = 0; tries < 1000; ++tries) {
    const int id = GetNextId(db::kSeqTaskId);
    if (id < 0) return -1;
    if (!TaskIdUsers(id, users, error)) return -1;
    if (users.empty()) return id;
  }
  error = text::G("无法分配新的抽奖项目序号");
  return -1;
}

}  // namespace config
