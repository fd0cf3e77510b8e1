#include "core/checkin/CheckinRecords.h"

#include <set>

#include "core/draw/DrawJournal.h"
#include "core/records/WinnerFiles.h"
#include "core/text/Paths.h"

namespace checkin {

bool CheckinsOfDraw(int32_t taskId, std::vector<std::pair<std::string, std::string>>& rows,
                    std::string& error) {
  if (!CheckinRows(taskId, rows, error)) return false;
  TJournal j;
  std::string ignored;
  const bool running = paths::FileExists(paths::JournalPath(taskId));
  const std::string path =
      running ? paths::JournalPath(taskId) : paths::FinishedJournalPath(taskId);
  if (ReadJournal(path, j, ignored) != JournalRead::Ok || !j.Head.CheckinOnly) return true;
  const std::set<std::string> present(j.Head.Present.begin(), j.Head.Present.end());
  std::set<std::string> listed;
  std::erase_if(rows, [&](const std::pair<std::string, std::string>& r) {
    return !present.count(r.first) || !listed.insert(r.first).second;
  });
  return true;
}

}  // namespace checkin
