#include "core/config/TaskState.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <map>
#include <system_error>

#include "core/config/ConfigStore.h"
#include "core/db/TombolixDB.h"
#include "core/draw/DrawJournal.h"
#include "core/draw/DrawResume.h"
#include "core/records/DrawDataFile.h"
#include "core/records/FileHash.h"
#include "core/text/FileWrite.h"
#include "core/text/Format.h"
#include "core/text/Gbk.h"
#include "core/text/LineReader.h"
#include "core/text/Paths.h"
#include "core/text/Text.h"

namespace config {

namespace fs = std::filesystem;
using text::G;

namespace {

// The results of one task found in LUCK_FILE.
struct TResultFiles {
  std::vector<fs::path> winners;
  bool journal = false;
  bool dataFile = false;  // DATA_FILE/<TaskId>.txt is there
};

// Files named <TaskId>_<ItemId>.txt and JOURNAL_<TaskId>.txt, by task, from one listing.
std::map<int32_t, TResultFiles> ListResults() {
  std::map<int32_t, TResultFiles> out;
  const std::string journalPrefix(paths::kJournalPrefix);
  std::error_code ec;
  // One listing of DATA_FILE instead of a failed open for each task without a list.
  for (auto it = fs::directory_iterator(paths::NativePath(paths::DataFileDir()), ec);
       !ec && it != fs::directory_iterator(); it.increment(ec)) {
    const std::string name = paths::U8(it->path().filename());
    if (name.size() < 5 || name.size() > 13 || name.compare(name.size() - 4, 4, ".txt") != 0)
      continue;
    const std::string id = name.substr(0, name.size() - 4);
    if (text::IsAllDigits(id)) out[std::stoi(id)].dataFile = true;
  }
  for (auto it = fs::directory_iterator(paths::NativePath(paths::LuckFileDir()), ec);
       !ec && it != fs::directory_iterator(); it.increment(ec)) {
    if (!it->is_regular_file(ec)) continue;
    const std::string name = paths::U8(it->path().filename());
    if (name.size() < 5 || name.compare(name.size() - 4, 4, ".txt") != 0) continue;
    const std::string stem = name.substr(0, name.size() - 4);
    if (stem.compare(0, journalPrefix.size(), journalPrefix) == 0) {
      const std::string id = stem.substr(journalPrefix.size());
      if (text::IsAllDigits(id) && id.size() < 10) out[std::stoi(id)].journal = true;
      continue;
    }
    const size_t sep = stem.find('_');
    if (sep == std::string::npos || sep == 0 || sep >= 10) continue;
    const std::string task = stem.substr(0, sep), item = stem.substr(sep + 1);
    if (!text::IsAllDigits(task) || !text::IsAllDigits(item) || item.empty()) continue;
    out[std::stoi(task)].winners.push_back(it->path());
  }
  return out;
}

// The head's candidate count, from the file's first bytes: the list is never read for it.
// `opened` is the file, null when there is none.
TListState ReadCount(std::FILE* f, int32_t& count) {
  count = 0;
  if (!f) return TListState::Missing;
  char buf[512];
  const size_t n = std::fread(buf, 1, sizeof buf, f);
  const std::string_view head(buf, n);
  const size_t first = head.find('\n');
  if (first == std::string_view::npos) return TListState::Unreadable;
  const size_t second = head.find('\n', first + 1);
  if (second == std::string_view::npos) return TListState::Unreadable;
  std::string_view line1 = head.substr(0, first),
                   line2 = head.substr(first + 1, second - first - 1);
  if (!line1.empty() && line1.back() == '\r') line1.remove_suffix(1);
  if (!line2.empty() && line2.back() == '\r') line2.remove_suffix(1);
  const size_t eq = line2.find('=');
  if (line1 != "BEGIN" || eq == std::string_view::npos) return TListState::Unreadable;
  const std::string_view digits = line2.substr(eq + 1);
  if (digits.empty() || digits.size() > 9 || !text::IsAllDigits(digits))
    return TListState::Unreadable;
  count = static_cast<int32_t>(std::stol(std::string(digits)));
  return TListState::Imported;
}

// Lines after the title line.
int32_t WinnerLines(const fs::path& path) {
  LineReader in;
  std::string error;
  if (!in.Open(paths::U8(path), error)) return 0;
  int32_t n = 0;
  std::string_view line;
  for (bool title = true; in.Next(line); title = false) {
    if (!title && !text::TrimView(line).empty()) ++n;
  }
  return n;
}

std::string LocalTime(const fs::path& path) {
  std::error_code ec;
  const fs::file_time_type t = fs::last_write_time(path, ec);
  if (ec) return {};
  // g++ 12 has no clock_cast: the file clock measured against both clocks now.
  const auto sys = std::chrono::time_point_cast<std::chrono::system_clock::duration>(
      t - fs::file_time_type::clock::now() + std::chrono::system_clock::now());
  const std::time_t tt = std::chrono::system_clock::to_time_t(sys);
  return text::LocalTime(tt, "%Y-%m-%d %H:%M");
}

TTaskState StateOf(int32_t taskId, TDrawType type, const std::string& dataFilePath,
                   const TResultFiles& results) {
  TTaskState s;
  s.DrawType = type;
  if (type != TDrawType::FromData) {
    s.List = TListState::NotNeeded;
    return s;
  }
  // The file DrawDataFileOf answers, found by opening rather than by asking first: the main
  // window pays this for every task at start.
  std::string dataPath = dataFilePath;
  files::ReadHandle data(nullptr, std::fclose);
  if (!dataPath.empty()) data = files::OpenForReading(dataPath);
  if (!data && results.dataFile) {
    dataPath = paths::DrawDataPath(taskId);
    data = files::OpenForReading(dataPath);
  }
  s.List = ReadCount(data.get(), s.Candidates);
  data.reset();

  if (results.journal) {
    TJournal journal;
    std::string error, hash;
    const std::string path = paths::JournalPath(taskId);
    const JournalRead read = ReadJournal(path, journal, error);
    // The list tells the draw by its list alone (the rest of the head would need the whole
    // set-up): a journal of an earlier list is set aside by the draw, not continued. A
    // damaged journal cannot go on exactly; the draw screen says so when it is opened.
    const bool sameList = read == JournalRead::Ok && !journal.Batches.empty() &&
                          journal.Head.TaskId == taskId && s.List == TListState::Imported &&
                          Sha256File(dataPath, hash, error) && hash == journal.Head.DataHash;
    const TPendingKind kind = JudgePendingDraw(read, journal, sameList);
    if (kind == TPendingKind::Resumable || kind == TPendingKind::Complete) {
      s.Phase = kind == TPendingKind::Complete ? TTaskPhase::Drawn : TTaskPhase::Resumable;
      s.Winners = journal.WinnerCount();
      s.DrawnAt = LocalTime(paths::NativePath(path));
      return s;
    }
  }
  if (!results.winners.empty()) {
    s.Phase = TTaskPhase::Drawn;
    fs::path newest;
    fs::file_time_type newestTime{};
    for (const fs::path& p : results.winners) {
      s.Winners += WinnerLines(p);
      std::error_code ec;
      const fs::file_time_type t = fs::last_write_time(p, ec);
      if (!ec && (newest.empty() || t > newestTime)) {
        newest = p;
        newestTime = t;
      }
    }
    if (!newest.empty()) s.DrawnAt = LocalTime(newest);
  }
  return s;
}

}  // namespace

TTaskState ReadTaskState(int32_t taskId, TDrawType type, const std::string& dataFilePath) {
  const std::map<int32_t, TResultFiles> all = ListResults();
  const auto it = all.find(taskId);
  return StateOf(taskId, type, dataFilePath, it == all.end() ? TResultFiles() : it->second);
}

bool ReadTaskStates(const TTaskList& list, std::vector<TTaskState>& states, std::string& error) {
  states.clear();
  db::TQuery* q = detail::SharedQuery(error);
  if (!q || !db::OpenSql(*q, db::sql::kSelectTaskDataPaths, {}, error)) return false;
  std::map<int32_t, std::string> dataPaths;
  for (q->First(); !q->Eof(); q->Next())
    dataPaths[q->FieldAsInteger("TaskId")] = q->FieldAsString("DataFilePath");
  const std::map<int32_t, TResultFiles> results = ListResults();
  const TResultFiles none;
  states.reserve(list.Rows().size());
  for (const TTaskRow& row : list.Rows()) {
    const auto r = results.find(row.TaskId);
    states.push_back(StateOf(row.TaskId, row.OrderBy, dataPaths[row.TaskId],
                             r == results.end() ? none : r->second));
  }
  return true;
}

// The list's texts, converted once (and made once, whichever thread asks first): the main
// window asks them for every task at start.
namespace {
struct TTexts {
  std::string fromData = G("按导入数据抽奖"), byProbability = G("按概率抽奖"), none = G("—"),
              missing = G("未导入"), unreadable = G("名单无法读取"), notDrawn = G("未抽奖"),
              drawn = G("已抽奖（"), comma = G("，"), people = G("人）"),
              resumable = G("未完成，可继续（已抽出");
};
const TTexts& Texts() {
  static const TTexts texts;
  return texts;
}
}  // namespace

std::string DrawTypeText(const TTaskState& state) {
  return state.DrawType == TDrawType::FromData ? Texts().fromData : Texts().byProbability;
}

std::string CandidatesText(const TTaskState& state) {
  switch (state.List) {
    case TListState::NotNeeded:
      return Texts().none;
    case TListState::Missing:
      return Texts().missing;
    case TListState::Unreadable:
      return Texts().unreadable;
    case TListState::Imported:
      break;
  }
  return std::to_string(state.Candidates);
}

int OpeningRow(const std::vector<TTaskState>& states, int rows) {
  for (size_t i = 0; i < states.size() && static_cast<int>(i) < rows; ++i)
    if (states[i].Phase == TTaskPhase::Resumable) return static_cast<int>(i);
  return rows > 0 ? 0 : -1;
}

std::string PhaseText(const TTaskState& state) {
  const TTexts& t = Texts();
  if (state.DrawType != TDrawType::FromData) return t.none;
  switch (state.Phase) {
    case TTaskPhase::NotDrawn:
      break;
    case TTaskPhase::Drawn:
      return t.drawn + state.DrawnAt + t.comma + std::to_string(state.Winners) + t.people;
    case TTaskPhase::Resumable:
      return t.resumable + std::to_string(state.Winners) + t.people;
  }
  return t.notDrawn;
}

}  // namespace config
