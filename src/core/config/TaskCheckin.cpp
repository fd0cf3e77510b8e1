#include "core/config/TaskCheckin.h"

#include "core/config/ConfigStore.h"
#include "core/db/TombolixDB.h"
#include "core/records/CheckinFile.h"
#include "core/records/Loaders.h"
#include "core/text/Gbk.h"

namespace config {

bool SaveCheckinOnly(int32_t taskId, bool checkinOnly, std::string& error) {
  bool before = false;
  if (!LoadCheckinOnly(taskId, before, error)) return false;
  db::TQuery* q = detail::SharedQuery(error);
  return q && db::ExecSql(*q, db::sql::kUpdateCheckinOnly,
                          {int64_t{checkinOnly ? 1 : 0}, int64_t{taskId}}, error);
}

std::string CheckinMissingText(int32_t taskId) {
  bool checkinOnly = false;
  std::string error;
  if (!LoadCheckinOnly(taskId, checkinOnly, error) || !checkinOnly) return {};
  checkin::TCheckinFile file;
  if (!checkin::ReadCheckinFile(checkin::CheckinFilePath(taskId), file, error))
    return text::G("本抽奖项目只抽取已签到人员，但本机的签到记录无法读取：") + error;
  if (!file.Records.empty()) return {};
  return text::G(
      "本抽奖项目只抽取已签到人员，但本机没有它的签到记录（已签到0人）：签到记录只保存在进行"
      "签到的电脑上，活动包不带签到记录。请在本机重新签到，或在签到窗口中取消“仅抽取已签到人员”。");
}

std::string CheckinMissingQuestion(int32_t taskId) {
  const std::string missing = CheckinMissingText(taskId);
  if (missing.empty()) return {};
  return missing + text::G("现在打开抽奖屏幕将没有人可以抽取，仍要打开吗？");
}

}  // namespace config
