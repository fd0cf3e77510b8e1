#include "core/records/WinnerFiles.h"

#include <algorithm>

#include <functional>
#include <unordered_map>

#include "core/records/CheckinFile.h"
#include "core/records/ClaimFile.h"
#include "core/records/DrawDataFile.h"
#include "core/records/ResultsHistory.h"
#include "core/text/FileWrite.h"
#include "core/text/Gbk.h"
#include "core/text/LineReader.h"
#include "core/text/Paths.h"
#include "core/text/Text.h"

namespace {

// Reads a file of a title line and data lines. A missing file is no error and leaves `exists`
// false. `row` gets each data line and returns false to stop reading (what it reports stays
// in `error`, and the call still succeeds); a read failure fails the call.
bool ReadTitledFile(const std::string& path, bool& exists, std::vector<std::string>& head,
                    const std::function<bool(std::string_view)>& row, std::string& error) {
  if (!paths::FileExists(path)) return true;
  LineReader in;
  if (!in.Open(path, error)) return false;
  exists = true;
  head = text::SplitFields(in.NextOrEmpty());
  std::string_view line;
  while (in.Next(line) && row(line)) {
  }
  if (in.Failed()) {
    error = in.Error();
    return false;
  }
  return true;
}

const std::string& ReplacementMark() {
  static const std::string mark = text::G("替补:");
  return mark;
}

// Each prize item's winner file, and the absent file of each item that has absent winners:
// their paths and texts.
std::vector<std::pair<std::string, std::string>> DrawFileTexts(const TArrLuckItem& items,
                                                               const TArrLuckId& winners,
                                                               const TArrAbsentId& absences,
                                                               std::string_view titleLine,
                                                               const TArrVoidId& voids = {}) {
  // One pass over the winners, whatever the number of items.
  std::unordered_map<int32_t, std::string> bodies;
  for (const TLuckItem& it : items) bodies.emplace(it.ItemId, std::string());
  for (const TLuckId& w : winners) {
    auto found = bodies.find(w.ItemId);
    if (found == bodies.end()) continue;
    found->second += w.CandidateLine;
    found->second += "\r\n";
  }
  std::vector<std::pair<std::string, std::string>> out;
  for (const TLuckItem& it : items) {
    std::string content;
    const std::string& body = bodies[it.ItemId];
    content.reserve(titleLine.size() + 2 + body.size());
    content.append(titleLine).append("\r\n").append(body);
    out.emplace_back(paths::WinnerFilePath(it.TaskId, it.ItemId), std::move(content));
    std::string absent;
    for (const TAbsentId& a : absences)
      if (a.ItemId == it.ItemId) absent += AbsentLine(a) + "\r\n";
    if (absent.empty()) continue;
    absent.insert(0, std::string(titleLine) + "\r\n");
    out.emplace_back(paths::AbsentFilePath(it.TaskId, it.ItemId), std::move(absent));
  }
  for (auto& v : VoidFileTexts(voids, titleLine)) out.push_back(std::move(v));
  return out;
}

}  // namespace

std::string AbsentLine(const TAbsentId& a) {
  const std::string_view line = a.ReplacementLine;
  const size_t blank = line.find(' ');
  return a.CandidateLine + " " + ReplacementMark() +
         std::string(blank == std::string_view::npos ? line : line.substr(0, blank));
}

bool SplitAbsentLine(std::string_view line, std::string& candidateLine,
                     std::string& replacementId) {
  const std::string& mark = ReplacementMark();
  const size_t at = line.rfind(" " + mark);
  if (at == std::string_view::npos) return false;
  candidateLine = std::string(line.substr(0, at));
  replacementId = std::string(line.substr(at + 1 + mark.size()));
  return true;
}

bool SaveWinnerFiles(const TArrLuckItem& items, const TArrLuckId& winners,
                     std::string_view titleLine, std::string& error) {
  return SaveDrawFiles(items, winners, {}, titleLine, true, error);
}

bool SaveDrawFiles(const TArrLuckItem& items, const TArrLuckId& winners,
                   const TArrAbsentId& absences, std::string_view titleLine, bool intoHistory,
                   std::string& error) {
  return SaveDrawFiles(items, winners, absences, {}, titleLine, intoHistory, error);
}

bool SaveDrawFiles(const TArrLuckItem& items, const TArrLuckId& winners,
                   const TArrAbsentId& absences, const TArrVoidId& voids,
                   std::string_view titleLine, bool intoHistory, std::string& error) {
  if (items.empty()) return true;
  files::AtomicBatch batch;
  for (const auto& [path, content] : DrawFileTexts(items, winners, absences, titleLine, voids))
    if (!batch.Stage(path, content, error)) return false;
  if (!intoHistory) return batch.Commit(error);
  const int taskId = items.front().TaskId;
  std::vector<std::string> previous = TaskResultFiles(taskId);
  // Claims of the earlier draws go with their results; this draw's own stay.
  for (std::string& p : claims::StaleClaimFiles(taskId)) previous.push_back(std::move(p));
  std::string folder;
  if (!MoveToHistory(taskId, previous, folder, error)) return false;
  if (batch.Commit(error)) return true;
  // Half written: the new files go, the previous ones come back.
  std::string ignored;
  for (const std::string& p : batch.Replaced()) files::RemoveFile(p, ignored);
  if (!folder.empty()) RestoreFromHistory(folder, previous, ignored);
  return false;
}

bool WinnerFilesInPlace(const TArrLuckItem& items, const TArrLuckId& winners,
                        std::string_view titleLine) {
  return DrawFilesInPlace(items, winners, {}, titleLine);
}

bool DrawFilesInPlace(const TArrLuckItem& items, const TArrLuckId& winners,
                      const TArrAbsentId& absences, std::string_view titleLine) {
  return DrawFilesInPlace(items, winners, absences, {}, titleLine);
}

bool DrawFilesInPlace(const TArrLuckItem& items, const TArrLuckId& winners,
                      const TArrAbsentId& absences, const TArrVoidId& voids,
                      std::string_view titleLine) {
  if (items.empty()) return false;
  const auto texts = DrawFileTexts(items, winners, absences, titleLine, voids);
  // Nothing else of the task's results may be there: no finished journal, no other file.
  if (TaskResultFiles(items.front().TaskId).size() != texts.size()) return false;
  for (const auto& [path, content] : texts) {
    std::string bytes, error;
    if (!files::ReadWholeFile(path, bytes, error) || bytes != content) return false;
  }
  return true;
}

bool DrawFilesBehind(const TArrLuckItem& items, const TArrLuckId& winners,
                     const TArrAbsentId& absences, const TArrLuckId& winnersBefore,
                     const TArrAbsentId& absencesBefore, std::string_view titleLine) {
  std::unordered_map<std::string, std::string> before;
  for (auto& [path, content] : DrawFileTexts(items, winnersBefore, absencesBefore, titleLine))
    before.emplace(path, std::move(content));
  bool behind = false;
  for (const auto& [path, content] : DrawFileTexts(items, winners, absences, titleLine)) {
    std::string bytes, error;
    const bool read = files::ReadWholeFile(path, bytes, error);
    if (read && bytes == content) continue;
    const auto old = before.find(path);
    if (old == before.end() ? read : !read || bytes != old->second) return false;
    behind = true;
  }
  return behind;
}

bool LoadAbsentFile(int taskId, int itemId, TAbsentFile& file, std::string& error) {
  error.clear();
  file = TAbsentFile();
  return ReadTitledFile(
      paths::AbsentFilePath(taskId, itemId), file.exists, file.head,
      [&](std::string_view line) {
        TAbsentFile::Row row;
        std::string candidate;
        if (!SplitAbsentLine(line, candidate, row.replacementId)) candidate = std::string(line);
        row.fields = text::SplitFields(candidate);
        file.rows.push_back(std::move(row));
        return true;
      },
      error);
}

bool CurrentWinnerIds(int taskId, std::vector<std::string>& ids, std::string& error) {
  const std::string absent = paths::LuckFileDir() + std::string(paths::kAbsentPrefix);
  const std::string voided = paths::LuckFileDir() + std::string(kVoidPrefix);
  for (const std::string& path : TaskResultFiles(taskId)) {
    if (path == paths::FinishedJournalPath(taskId) || path.compare(0, absent.size(), absent) == 0 ||
        path.compare(0, voided.size(), voided) == 0)
      continue;
    bool exists = false;
    std::vector<std::string> head;
    if (!ReadTitledFile(
            path, exists, head,
            [&](std::string_view line) {
              const std::string_view id = text::FirstField(line);
              if (!id.empty()) ids.emplace_back(id);
              return true;
            },
            error))
      return false;
  }
  return true;
}

bool LoadPresetEntries(int taskId, int itemId, TArrCheatId& entries, std::string& error) {
  return ForEachTrimmedLine(
      paths::PresetFilePath(taskId, itemId),
      [&](std::string_view t) {
        entries.push_back({false, taskId, itemId, std::string(t)});
      },
      error);
}

bool LoadWinnerFile(int taskId, int itemId, TWinnerFile& file, std::string& error) {
  error.clear();
  file = TWinnerFile();
  return ReadTitledFile(
      paths::WinnerFilePath(taskId, itemId), file.exists, file.head,
      [&](std::string_view line) {
        if (static_cast<int>(file.rows.size()) >= kMaxWinnerRows) {
          error = text::G("由于中奖个数太多,无法全部显示,您可以把抽奖结果导出到文件");
          return false;
        }
        file.rows.push_back(text::SplitFields(line));
        return true;
      },
      error);
}

bool CheckinRows(int32_t taskId, std::vector<std::pair<std::string, std::string>>& rows,
                 std::string& error) {
  rows.clear();
  checkin::TCheckinFile file;
  if (!checkin::ReadCheckinFile(checkin::CheckinFilePath(taskId), file, error)) return false;
  // The phones' tokens stay in the file: they are what lets a phone ask for its own result.
  for (const checkin::TCheckinRecord& r : file.Records) rows.emplace_back(r.Id, r.Time);
  return true;
}

bool ExportWinnersText(const TArrLuckItem& items, const TLuckTask& task, int itemId,
                       std::string_view gbkPath, std::string& error, const TNamedWinners& named) {
  std::string out = task.TaskName + "\r\n";
  for (const TLuckItem& it : items) {
    if (itemId >= 0 && itemId != it.ItemId) continue;
    const std::string path = paths::WinnerFilePath(it.TaskId, it.ItemId);
    if (!paths::FileExists(path)) continue;
    LineReader in;
    if (!in.Open(path, error)) return false;
    out += "\r\n";
    out += it.ItemName;
    out += "\r\n";
    std::string_view line;
    const bool namedItem = std::any_of(named.begin(), named.end(),
                                       [&](const auto& n) { return n.first == it.ItemId; });
    bool title = true;
    // Read by people, in any editor: a cell's blanks as the list had them.
    while (in.Next(line)) {
      out += ShownField(line);
      if (namedItem && title)
        out += " " + NamedColumnHead();
      else if (namedItem && named.count({it.ItemId, std::string(text::FirstField(line))}))
        out += " " + NamedMark();
      title = false;
      out += "\r\n";
    }
    if (in.Failed()) {
      error = in.Error();
      return false;
    }
    const std::string absent = paths::AbsentFilePath(it.TaskId, it.ItemId);
    if (paths::FileExists(absent)) {
      LineReader absentIn;
      if (!absentIn.Open(absent, error)) return false;
      out += "\r\n";
      out += it.ItemName + text::G("缺席名单");
      out += "\r\n";
      while (absentIn.Next(line)) {
        out += ShownField(line);
        out += "\r\n";
      }
      if (absentIn.Failed()) {
        error = absentIn.Error();
        return false;
      }
    }
    // Voided winners stay on the record: each with its reason, time and who took the place.
    TVoidFile voids;
    if (!LoadItemVoids(it.TaskId, it.ItemId, voids, error)) return false;
    if (!voids.exists) continue;
    out +=
        "\r\n" + it.ItemName + text::G("作废名单") + "\r\n" + ShownField(voids.titleLine) + "\r\n";
    for (const TVoidRow& r : voids.rows)
      out += ShownField(r.CandidateLine) + " " + VoidMarkText(r) + "\r\n";
  }
  if (itemId < 0) {
    std::vector<std::pair<std::string, std::string>> checkins;
    if (!CheckinRows(task.TaskId, checkins, error)) return false;
    if (!checkins.empty()) {
      out += "\r\n" + text::G("签到名单") + "\r\n" + text::G("号码 签到日期 签到时间") + "\r\n";
      for (const auto& [id, time] : checkins) out += id + " " + time + "\r\n";
    }
  }
  return files::WriteFileAtomic(gbkPath, out, error);
}

bool DeleteTaskFile(std::string_view taskId, std::string_view itemId, int kind,
                    std::string& error) {
  std::string path;
  switch (kind) {
    case 1:
      path = paths::DrawDataPath(taskId);
      break;
    case 2:
      path = paths::WinnerFilePath(taskId, itemId);
      break;
    case 3:
      path = paths::PresetFilePath(taskId, itemId);
      break;
    default:
      return true;
  }
  // The ids come as texts; one that would leave the directory names no file of the task.
  if (taskId.find_first_of("/\\") != std::string_view::npos ||
      itemId.find_first_of("/\\") != std::string_view::npos ||
      taskId.find("..") != std::string_view::npos || itemId.find("..") != std::string_view::npos)
    return true;
  std::string ignored;
  files::RemoveFile(path, ignored);  // whether the deletion succeeded is not looked at
  (void)error;
  return true;
}
