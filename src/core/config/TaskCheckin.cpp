#include "core/config/TaskCheckin.h"

#include "core/config/ConfigStore.h"
#include "core/db/TombolixDB.h"
#include "core/records/Loaders.h"

namespace config {

bool SaveCheckinOnly(int32_t taskId, bool checkinOnly, std::string& error) {
  bool before = false;
  if (!LoadCheckinOnly(taskId, before, error)) return false;
  db::TQuery* q = detail::SharedQuery(error);
  return q && db::ExecSql(*q, db::sql::kUpdateCheckinOnly,
                          {int64_t{checkinOnly ? 1 : 0}, int64_t{taskId}}, error);
}

}  // namespace config
