#include "core/import/ImportTask.h"

#include "core/db/TombolixDB.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "core/text/Text.h"

namespace dataimport {

using text::G;

Outcome ImportForTask(db::TQuery& query, std::string_view taskIdText, std::string_view source,
                      SourceKind kind, TIdType idType, const Callbacks& callbacks) {
  Outcome out;
  const std::string id = text::Trim(taskIdText);
  int32_t taskId = 0;
  if (!text::IsAllDigits(id) || !text::ParseInt32(id, taskId)) return out;
  out.ran = true;
  const auto log = [&](const std::string& line) {
    if (callbacks.log) callbacks.log(line);
  };
  const std::string path = text::Trim(source);
  if (path.empty() || !paths::FileExists(path)) {
    out.messageKind = MessageKind::Error;
    out.message = G("文件不存在,请重新选择文件!");
    return out;
  }
  log(G("开始导入文件..."));
  log(G("正在导入文件:") + path);
  std::string target, error;
  const bool ok = kind == SourceKind::Text
                      ? ImportTextFile(path, taskId, idType, callbacks, target, error)
                      : ImportSpreadsheet(path, taskId, idType, callbacks, target, error);
  if (!ok) {
    out.messageKind = MessageKind::Error;
    out.message = error;
    return out;
  }
  out.targetPath = target;
  if (!db::ExecSql(query, db::sql::kUpdateDataFilePath, {target, int64_t{taskId}}, error)) {
    log(G("导入文件出错,") + error);
    out.messageKind = MessageKind::Error;
    out.message = error;
    return out;
  }
  out.imported = true;
  log(G("导入文件成功!"));
  out.messageKind = MessageKind::Information;
  out.message = G("导入成功!");
  return out;
}

}  // namespace dataimport
