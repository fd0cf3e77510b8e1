#include "core/draw/DrawSession.h"

#include "core/records/DrawDataFile.h"
#include "core/records/Loaders.h"
#include "core/records/WinnerFiles.h"
#include "core/text/Gbk.h"

#include <algorithm>

bool TDrawSession::LoadTask(int32_t taskId, std::string& error) {
  return LoadLuckTask(taskId, Task, error) &&
         LoadLuckItems(taskId, Items, ItemCount, LuckTotal, error);
}

bool TDrawSession::LoadCandidates(std::string_view gbkPath, std::string& titleLine,
                                  std::string& error) {
  const bool ok = ReadDrawDataFile(gbkPath, LuckTotal, Task.LuckAgain, CandidateLines, IdMaxLength,
                                   titleLine, error);
  // The count always tells how many lines are really there.
  CandidateCount = static_cast<int32_t>(CandidateLines.size());
  return ok;
}

void TDrawSession::LoadPresets() {
  Presets.clear();
  for (const TLuckItem& it : Items) {
    std::string ignored;
    LoadPresetEntries(Task.TaskId, it.ItemId, Presets, ignored);
  }
}

void TDrawSession::Clear() {
  TArrLuckItem().swap(Items);
  TArraySring().swap(CandidateLines);
  TArrLuckId().swap(Winners);
  TArrAbsentId().swap(Absences);
  TArrCheatId().swap(Presets);
}

bool OpenDrawTask(TDrawSession& session, int32_t taskId, TDrawFailure& failure) {
  if (taskId <= 0) {
    failure = {MessageKind::Information, text::G("抽奖任务未选择,请重新选择")};
    return false;
  }
  std::string error;
  if (!session.LoadTask(taskId, error)) {
    failure = {MessageKind::Error, error};
    return false;
  }
  return true;
}

void TDrawSession::Watch(TStageObserver* o) {
  if (o && std::find(m_watchers.begin(), m_watchers.end(), o) == m_watchers.end())
    m_watchers.push_back(o);
}

void TDrawSession::Unwatch(TStageObserver* o) { std::erase(m_watchers, o); }
