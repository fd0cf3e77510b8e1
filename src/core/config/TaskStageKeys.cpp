#include "core/config/TaskStageKeys.h"

#include <algorithm>

#include "core/config/ConfigStore.h"
#include "core/db/TombolixDB.h"
#include "core/records/Loaders.h"

namespace config {

bool LoadStageKeyTimes(int32_t taskId, TStageKeys& keys, std::string& error) {
  keys = TStageKeys{};
  std::string stored;
  if (!LoadStageKeys(taskId, stored, error)) return false;
  keys = ParseStageKeys(stored);
  return true;
}

bool SaveStageKeyTimes(int32_t taskId, const TStageKeys& keys, std::string& error) {
  TStageKeys k = keys;
  k.restMs = std::clamp(k.restMs, 0, TStageKeys::kMaxMs);
  k.minRollMs = std::clamp(k.minRollMs, 0, TStageKeys::kMaxMs);
  db::TQuery* q = detail::SharedQuery(error);
  return q &&
         db::ExecSql(*q, db::sql::kUpdateStageKeys, {FormatStageKeys(k), int64_t{taskId}}, error);
}

}  // namespace config
