#include "core/records/ResultsHistory.h"

#include "core/records/CheckinFile.h"
#include "core/records/ClaimFile.h"
#include "core/records/VoidFile.h"

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "core/text/FileWrite.h"
#include "core/text/Format.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "core/text/Text.h"

namespace fs = std::filesystem;

namespace {

std::string FileName(const std::string& gbkPath) {
  const size_t slash = gbkPath.find_last_of("/\\");
  return slash == std::string::npos ? gbkPath : gbkPath.substr(slash + 1);
}

// A folder name that is not taken yet; created, so that two moves never share one.
bool NewFolder(int taskId, std::string& folder, std::string& error) {
  const std::string stamp = text::LocalTime(std::time(nullptr), "%Y%m%d_%H%M%S");
  const std::string base = paths::HistoryDir() + std::to_string(taskId) + "_" + stamp;
  if (!files::MakeFolders(paths::HistoryDir(), error)) return false;
  for (int n = 1; n < 1000; ++n) {
    const std::string name = n == 1 ? base : base + "_" + std::to_string(n);
    std::error_code ec;
    if (fs::create_directory(paths::NativePath(name), ec)) {
      files::FlushFolder(paths::HistoryDir());  // the new folder's name survives a power cut
      folder = name + "/";
      return true;
    }
    if (ec) {
      error = text::G("无法创建目录") + name + text::G("：") + text::Utf8ToGbk(ec.message());
      return false;
    }
  }
  error = text::G("无法创建目录") + base;
  return false;
}

}  // namespace

std::vector<std::string> TaskResultFiles(int taskId) {
  std::vector<std::string> out;
  const std::string prefix = std::to_string(taskId) + "_";
  std::error_code ec;
  for (auto it = fs::directory_iterator(paths::NativePath(paths::LuckFileDir()), ec);
       !ec && it != fs::directory_iterator(); it.increment(ec)) {
    if (!it->is_regular_file(ec)) continue;
    const std::string name = paths::U8(it->path().filename());
    if (name.size() <= prefix.size() + 4 || name.compare(0, prefix.size(), prefix) != 0 ||
        name.compare(name.size() - 4, 4, ".txt") != 0)
      continue;
    if (!text::IsAllDigits(name.substr(prefix.size(), name.size() - prefix.size() - 4))) continue;
    out.push_back(paths::LuckFileDir() + name);
  }
  // The absent and voided winners' files of the same draw go where its winner files go.
  for (const std::string_view kind : {paths::kAbsentPrefix, kVoidPrefix}) {
    const std::string absentPrefix = std::string(kind) + prefix;
    for (auto it = fs::directory_iterator(paths::NativePath(paths::LuckFileDir()), ec);
         !ec && it != fs::directory_iterator(); it.increment(ec)) {
      if (!it->is_regular_file(ec)) continue;
      const std::string name = paths::U8(it->path().filename());
      if (name.size() <= absentPrefix.size() + 4 ||
          name.compare(0, absentPrefix.size(), absentPrefix) != 0 ||
          name.compare(name.size() - 4, 4, ".txt") != 0)
        continue;
      if (!text::IsAllDigits(
              name.substr(absentPrefix.size(), name.size() - absentPrefix.size() - 4)))
        continue;
      out.push_back(paths::LuckFileDir() + name);
    }
  }
  std::sort(out.begin(), out.end());
  if (paths::FileExists(paths::FinishedJournalPath(taskId)))
    out.push_back(paths::FinishedJournalPath(taskId));
  return out;
}

bool HasWinnerFiles(int taskId) {
  const std::string absent = paths::LuckFileDir() + std::string(paths::kAbsentPrefix);
  for (const std::string& p : TaskResultFiles(taskId)) {
    if (p != paths::FinishedJournalPath(taskId) && p.compare(0, absent.size(), absent) != 0)
      return true;
  }
  return false;
}

bool MoveToHistory(int taskId, const std::vector<std::string>& gbkPaths, std::string& folder,
                   std::string& error) {
  folder.clear();
  if (gbkPaths.empty()) return true;
  std::string made;
  if (!NewFolder(taskId, made, error)) return false;
  std::vector<std::string> moved;
  for (const std::string& p : gbkPaths) {
    if (!files::MoveFile(p, made + FileName(p), error)) {
      std::string ignored;
      RestoreFromHistory(made, moved, ignored);
      return false;
    }
    moved.push_back(p);
  }
  folder = made;
  return true;
}

bool RestoreFromHistory(const std::string& folder, const std::vector<std::string>& gbkPaths,
                        std::string& error) {
  bool ok = true;
  for (const std::string& p : gbkPaths) {
    std::string e;
    if (!files::MoveFile(folder + FileName(p), p, e)) {
      ok = false;
      error = e;
    }
  }
  std::error_code ec;
  fs::remove(paths::NativePath(folder), ec);  // only when empty
  return ok;
}

bool MoveTaskResultsToHistory(int taskId, std::string& error) {
  std::vector<std::string> files = TaskResultFiles(taskId);
  if (paths::FileExists(paths::JournalPath(taskId))) files.push_back(paths::JournalPath(taskId));
  // Its phones' check-ins go with them, so that a new task of the same number starts afresh.
  if (paths::FileExists(checkin::CheckinFilePath(taskId)))
    files.push_back(checkin::CheckinFilePath(taskId));
  for (std::string& p : claims::TaskClaimFiles(taskId)) files.push_back(std::move(p));
  // Its photos and pictures too: left in DATA_FILE they would keep its number taken.
  for (const char* prefix : {"PHOTO_", "MEDIA_"}) {
    const std::string dir = paths::DataFileDir() + prefix + std::to_string(taskId);
    std::error_code ec;
    if (fs::is_directory(paths::NativePath(dir), ec)) files.push_back(dir);
  }
  std::string folder;
  return MoveToHistory(taskId, files, folder, error);
}
