#include "core/config/ConfigStore.h"

#include "core/db/TombolixDM.h"
#include "core/text/Gbk.h"
#include "core/text/Text.h"

namespace config::detail {

namespace {
db::TQuery* Pick(db::TQuery TTombolixDataModule::*which, std::string& error) {
  if (!TombolixDataModule) {
    error = db::NotConnectedText();
    return nullptr;
  }
  return &(TombolixDataModule->*which);
}
}  // namespace

db::TQuery* SharedQuery(std::string& error) { return Pick(&TTombolixDataModule::ARryPub, error); }
db::TQuery* TaskQuery(std::string& error) { return Pick(&TTombolixDataModule::AQryTask, error); }
db::TQuery* ItemQuery(std::string& error) {
  return Pick(&TTombolixDataModule::AQryTaskItem, error);
}

bool AllOrNothing(const std::function<bool(db::TQuery&, std::string&)>& statements,
                  std::string& error) {
  db::TQuery* q = SharedQuery(error);
  if (!q) return false;
  db::TConnection& c = TombolixDataModule->ADOConnection1;
  if (!db::ExecRaw(c, "savepoint config_group", error)) return false;
  if (statements(*q, error) && db::ExecRaw(c, "release config_group", error)) return true;
  std::string ignored;
  db::ExecRaw(c, "rollback to config_group", ignored);
  db::ExecRaw(c, "release config_group", ignored);
  return false;
}

bool NumberField(std::string_view trimmed, int32_t max, std::string_view utf8Label, int32_t& value,
                 std::string& message) {
  const std::string label = "[" + text::G(utf8Label) + "]";
  if (!text::IsAllDigits(trimmed)) {
    message = label + text::G("只能输入数字,请重新输入!");
    return false;
  }
  if (!text::ParseInt32(trimmed, value) || value > max) {
    message = label + text::G("不能大于") + std::to_string(max) + text::G(",请重新输入!");
    return false;
  }
  return true;
}

}  // namespace config::detail
