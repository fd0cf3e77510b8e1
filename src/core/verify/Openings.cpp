#include "core/verify/Openings.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

#include "core/text/FileWrite.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"

using text::G;
namespace fs = std::filesystem;

namespace {

// A head line is short; a first line longer than this is no head.
constexpr size_t kMaxHeadBytes = 1 << 20;

// The whole lines of `bytes`, each with its line end.
std::vector<std::string> WholeLines(std::string_view bytes) {
  std::vector<std::string> out;
  for (size_t from = 0; from < bytes.size();) {
    const size_t end = bytes.find('\n', from);
    if (end == std::string_view::npos) break;
    out.emplace_back(bytes.substr(from, end + 1 - from));
    from = end + 1;
  }
  return out;
}

// The head a line holds, when it is one of the task's.
bool HeadOf(const std::string& line, int32_t taskId, TJournalHead& head) {
  if (line.size() > kMaxHeadBytes) return false;
  TJournal j;
  std::string ignored;
  if (ParseJournal(line, j, "", ignored) != JournalRead::Ok || j.TornTail) return false;
  head = j.Head;
  return head.TaskId == taskId;
}

// The first line of the file, with its line end; empty when it has none.
std::string FirstLine(const fs::path& file) {
  std::string bytes, ignored;
  if (!files::ReadWholeFile(text::Utf8ToGbk(paths::U8(file)), bytes, ignored)) return {};
  const size_t end = bytes.find('\n');
  return end == std::string::npos || end >= kMaxHeadBytes ? std::string()
                                                          : bytes.substr(0, end + 1);
}

std::string Prefix(const std::string& hex) { return hex.substr(0, 16); }

}  // namespace

std::string OpeningsFilePath(std::string_view gbkRoot, int32_t taskId) {
  return std::string(gbkRoot) + std::string(paths::kLuckFileFolder) + std::string(kOpeningsPrefix) +
         std::to_string(taskId) + ".txt";
}

std::vector<std::string> TaskHeadLines(const std::string& gbkRoot, int32_t taskId) {
  std::vector<std::string> out;
  std::set<std::string> seen;
  TJournalHead head;
  const auto add = [&](const std::string& line) {
    if (!line.empty() && HeadOf(line, taskId, head) && seen.insert(line).second)
      out.push_back(line);
  };
  std::string bytes, ignored;
  if (files::ReadWholeFile(OpeningsFilePath(gbkRoot, taskId), bytes, ignored))
    for (const std::string& line : WholeLines(bytes)) add(line);
  const std::string open = std::string(paths::kJournalPrefix) + std::to_string(taskId) + ".txt";
  const std::string done = std::string(paths::kJournalPrefix) + std::to_string(taskId) +
                           std::string(paths::kFinishedSuffix);
  // The history's folders in name order (their names begin with the task and the time).
  const fs::path luck = paths::NativePath(gbkRoot + std::string(paths::kLuckFileFolder));
  std::error_code ec;
  std::vector<fs::path> folders;
  for (fs::directory_iterator it(luck / "history", ec), end; !ec && it != end; it.increment(ec))
    if (it->is_directory(ec)) folders.push_back(it->path());
  std::sort(folders.begin(), folders.end());
  folders.push_back(luck);
  for (const fs::path& folder : folders)
    for (const std::string& name : {open, done}) add(FirstLine(folder / name));
  return out;
}

TOpeningsCheck CheckOpenings(const TJournalHead& head, std::string_view headKey,
                             const std::vector<std::string>& headLines) {
  TOpeningsCheck out;
  if (head.Opening <= 0) return out;
  // The other heads by their key; a head that names itself is no link.
  std::map<std::string, TJournalHead> byKey;
  int32_t later = 0;
  for (const std::string& line : headLines) {
    TJournalHead h;
    const std::string key = JournalHeadKey(line);
    if (key == headKey || !HeadOf(line, head.TaskId, h) || h.Opening <= 0) continue;
    byKey.emplace(key, h);
    later = std::max(later, h.Opening);
  }
  // Back from the draw checked to the first opening, one link at a time.
  std::vector<std::pair<int32_t, std::string>> chain = {{head.Opening, head.Commit}};
  const TJournalHead* cur = &head;
  while (!cur->PrevHead.empty()) {
    const auto found = byKey.find(cur->PrevHead);
    if (found == byKey.end()) {
      out.Problems.push_back(G("第") + std::to_string(cur->Opening - 1) +
                             G("次开启的抽奖记录头缺失(已被删除,或不在审计包中): 第") +
                             std::to_string(cur->Opening) + G("次开启的记录头指向") +
                             Prefix(cur->PrevHead));
      break;
    }
    if (found->second.Opening != cur->Opening - 1) {
      out.Problems.push_back(G("第") + std::to_string(cur->Opening) + G("次开启的记录头指向第") +
                             std::to_string(found->second.Opening) + G("次开启,开启次数不连续"));
      break;
    }
    cur = &found->second;
    chain.emplace_back(cur->Opening, cur->Commit);
  }
  if (out.Problems.empty() && cur->Opening > 1)
    out.Problems.push_back(G("第") + std::to_string(cur->Opening) +
                           G("次开启的记录头没有指向上一次开启,此前") +
                           std::to_string(cur->Opening - 1) + G("次开启的记录头缺失"));
  std::string summary = G("本任务第") + std::to_string(head.Opening) + G("次开启");
  if (out.Problems.empty())
    summary += head.Opening == 1 ? G(", 此前没有开启过")
                                 : G(", 此前") + std::to_string(head.Opening - 1) +
                                       G("次开启的记录头齐全, 链条完整");
  if (later > head.Opening)
    summary += G(", 此后又开启") + std::to_string(later - head.Opening) + G("次");
  out.Lines.push_back(summary);
  std::reverse(chain.begin(), chain.end());
  for (const auto& [n, commit] : chain)
    out.Lines.push_back(G("  第") + std::to_string(n) + G("次开启 承诺值 ") + Prefix(commit) +
                        (n == head.Opening ? G(" (本次抽奖)") : G(" (未用于本次抽奖)")));
  return out;
}
