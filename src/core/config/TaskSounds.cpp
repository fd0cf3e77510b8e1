#include "core/config/TaskSounds.h"

#include <algorithm>

#include "core/config/ConfigStore.h"
#include "core/db/TombolixDB.h"
#include "core/text/Text.h"

namespace config {

namespace {

constexpr int kItemCue = static_cast<int>(TSoundCue::ItemPiece);

bool HasTable(db::TQuery& q, std::string& error) {
  return db::OpenSql(q, "select 1 from sqlite_master where type='table' and name='TaskSounds'", {},
                     error) &&
         q.RecordCount() > 0;
}

bool Insert(db::TQuery& q, int32_t taskId, int cue, int32_t itemId, const TCueSound& s,
            std::string& error) {
  return db::ExecSql(q,
                     "insert into TaskSounds (TaskId, Cue, ItemId, Path, BuiltIn, Volume) "
                     "values (?, ?, ?, ?, ?, ?)",
                     {int64_t{taskId}, int64_t{cue}, int64_t{itemId}, text::Trim(s.path),
                      int64_t{s.builtIn ? 1 : 0}, int64_t{std::clamp(s.volume, 0, 100)}},
                     error);
}

}  // namespace

bool LoadTaskSounds(const TLuckTask& task, TSoundSettings& out, std::string& error) {
  out = LegacySounds(task.MusicFilePath);
  db::TQuery* q = detail::SharedQuery(error);
  if (!q) return false;
  if (!HasTable(*q, error)) return error.empty();
  if (!db::OpenSql(*q,
                   "select Cue, ItemId, Path, BuiltIn, Volume from TaskSounds where TaskId=? "
                   "order by Cue, ItemId",
                   {int64_t{task.TaskId}}, error))
    return false;
  if (q->RecordCount() == 0) return true;  // never saved: the legacy sounds
  TSoundSettings s;
  for (q->First(); !q->Eof(); q->Next()) {
    const int cue = q->FieldAsInteger("Cue");
    TCueSound c;
    c.path = q->FieldAsString("Path");
    c.builtIn = q->FieldAsInteger("BuiltIn") != 0;
    c.volume = std::clamp(q->FieldAsInteger("Volume"), 0, 100);
    if (cue == kItemCue)
      s.items[q->FieldAsInteger("ItemId")] = c;
    else if (cue >= 0 && cue < static_cast<int>(kSoundCueCount))
      s.cues[static_cast<size_t>(cue)] = c;
  }
  // The background music is the roll loop's file, whoever changed it last.
  s.Of(TSoundCue::RollLoop).path = task.MusicFilePath;
  s.Of(TSoundCue::RollLoop).builtIn = false;
  out = std::move(s);
  return true;
}

bool SaveTaskSounds(int32_t taskId, const TSoundSettings& sounds, std::string& error) {
  return detail::AllOrNothing(
      [&](db::TQuery& q, std::string& err) {
        if (!db::ExecSql(q,
                         "create table if not exists TaskSounds (TaskId integer not null, Cue "
                         "integer not null, ItemId integer not null default 0, Path text not "
                         "null default '', BuiltIn integer not null default 0, Volume integer "
                         "not null default 100, primary key (TaskId, Cue, ItemId))",
                         {}, err) ||
            !db::ExecSql(q, "delete from TaskSounds where TaskId=?", {int64_t{taskId}}, err))
          return false;
        // Every cue has its row, set or not: a task saved silent stays silent.
        for (size_t i = 0; i < kSoundCueCount; ++i)
          if (!Insert(q, taskId, static_cast<int>(i), 0, sounds.cues[i], err)) return false;
        for (const auto& [itemId, s] : sounds.items)
          if (s.Set() && !Insert(q, taskId, kItemCue, itemId, s, err)) return false;
        return db::ExecSql(q, "update LuckTask set MusicFilePath=? where TaskId=?",
                           {text::Trim(sounds.Of(TSoundCue::RollLoop).path), int64_t{taskId}}, err);
      },
      error);
}

bool DeleteTaskSounds(int32_t taskId, std::string& error) {
  db::TQuery* q = detail::SharedQuery(error);
  if (!q) return false;
  if (!HasTable(*q, error)) return error.empty();
  return db::ExecSql(*q, "delete from TaskSounds where TaskId=?", {int64_t{taskId}}, error);
}

}  // namespace config
