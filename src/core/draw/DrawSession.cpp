#include "core/draw/DrawSession.h"

#include "core/records/DrawDataFile.h"
#include "core/records/Loaders.h"
#include "core/records/WinnerFiles.h"

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
