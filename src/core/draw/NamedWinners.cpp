#include "core/draw/NamedWinners.h"

#include "core/draw/DrawJournal.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "core/text/Text.h"

bool LoadNamedWinners(int32_t taskId, TNamedWinners& named, std::string& error) {
  named.clear();
  std::string path = paths::FinishedJournalPath(taskId);
  if (!paths::FileExists(path)) path = paths::JournalPath(taskId);
  if (!paths::FileExists(path)) return true;
  TJournal j;
  std::string reason;
  switch (ReadJournal(path, j, reason)) {
    case JournalRead::Missing:
    case JournalRead::Empty:
      return true;
    case JournalRead::Ok:
      break;
    case JournalRead::Damaged:
    case JournalRead::Unreadable:
      error = text::G("无法读取抽奖记录,指定颁奖无法标出: ") + reason;
      return false;
  }
  // "<ItemId> TAB <id> LF" per named winner.
  for (std::string_view line : text::SplitAt(j.Head.Named, '\n')) {
    const size_t tab = line.find('\t');
    int32_t itemId = 0;
    if (tab == std::string_view::npos || !text::ParseInt32(line.substr(0, tab), itemId)) continue;
    named.insert({itemId, std::string(line.substr(tab + 1))});
  }
  return true;
}
