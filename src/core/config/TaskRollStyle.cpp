#include "core/config/TaskRollStyle.h"

#include "core/config/ConfigStore.h"
#include "core/db/TombolixDB.h"

namespace config {

namespace {

bool HasTable(db::TQuery& q, std::string& error) {
  return db::OpenSql(q, "select 1 from sqlite_master where type='table' and name='TaskRollStyle'",
                     {}, error) &&
         q.RecordCount() > 0;
}

}  // namespace

bool LoadRollStyle(int32_t taskId, TRollStyle& style, std::string& error) {
  style = TRollStyle::Numbers;
  db::TQuery* q = detail::SharedQuery(error);
  if (!q) return false;
  if (!HasTable(*q, error)) return error.empty();
  if (!db::OpenSql(*q, "select Style from TaskRollStyle where TaskId=?", {int64_t{taskId}}, error))
    return false;
  q->First();
  if (!q->Eof() && q->FieldAsInteger("Style") == static_cast<int>(TRollStyle::Sphere))
    style = TRollStyle::Sphere;
  return true;
}

bool SaveRollStyle(int32_t taskId, TRollStyle style, std::string& error) {
  db::TQuery* q = detail::SharedQuery(error);
  if (!q) return false;
  // Numbers is what no row says: a database that never had a sphere gets no table for it.
  if (style == TRollStyle::Numbers && !HasTable(*q, error)) return error.empty();
  return db::ExecSql(*q,
                     "create table if not exists TaskRollStyle (TaskId integer not null primary "
                     "key, Style integer not null default 0)",
                     {}, error) &&
         db::ExecSql(*q, "insert or replace into TaskRollStyle (TaskId, Style) values (?, ?)",
                     {int64_t{taskId}, int64_t{static_cast<int>(style)}}, error);
}

}  // namespace config
