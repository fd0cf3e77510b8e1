#include "core/records/ClaimFile.h"

#include <algorithm>
#include <filesystem>
#include <set>

#include "core/records/FileHash.h"
#include "core/text/FileWrite.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "core/text/Text.h"

namespace fs = std::filesystem;

namespace claims {

namespace {

bool IsTime(std::string_view s) {
  // YYYY-MM-DD HH:MM:SS
  if (s.size() != 19) return false;
  for (size_t i = 0; i < s.size(); ++i) {
    const char want = i == 4 || i == 7 ? '-' : i == 10 ? ' ' : i == 13 || i == 16 ? ':' : '0';
    if (want == '0' ? (s[i] < '0' || s[i] > '9') : s[i] != want) return false;
  }
  return true;
}

bool IsKey(std::string_view s) {
  if (s.size() != 64) return false;
  for (char c : s)
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  return true;
}

bool PlainText(std::string_view s, size_t maxBytes) {
  if (s.empty() || s.size() > maxBytes) return false;
  for (unsigned char c : s)
    if (c < 0x20 || c == 0x7f) return false;
  return true;
}

std::string LineError(std::string_view gbkPath, size_t lineNo) {
  return text::G("领奖记录文件") + std::string(gbkPath) + text::G("第") + std::to_string(lineNo) +
         text::G("行已损坏，无法继续领奖。");
}

std::string FileName(int32_t taskId, std::string_view drawKey) {
  return std::string(kClaimPrefix) + std::to_string(taskId) + "_" +
         std::string(drawKey.substr(0, 16)) + ".txt";
}

}  // namespace

std::string JournalDrawKey(std::string_view gbkJournalPath) {
  auto f = files::OpenForReading(gbkJournalPath);
  if (!f) return {};
  // The head record of a journal is short; a first line longer than this is no journal.
  std::string line;
  for (int c; line.size() < 1 << 20 && (c = std::fgetc(f.get())) != EOF;) {
    line += static_cast<char>(c);
    if (c == '\n') return Sha256Hex(line);
  }
  return {};
}

std::string NoJournalKey() { return std::string(64, '0'); }

std::string CurrentDrawKey(int32_t taskId) {
  for (const std::string& p : {paths::JournalPath(taskId), paths::FinishedJournalPath(taskId)})
    if (std::string key = JournalDrawKey(p); !key.empty()) return key;
  return NoJournalKey();
}

std::string ResultsDrawKey(int32_t taskId) {
  for (const std::string& p : {paths::FinishedJournalPath(taskId), paths::JournalPath(taskId)})
    if (std::string key = JournalDrawKey(p); !key.empty()) return key;
  return NoJournalKey();
}

std::string ClaimFilePath(int32_t taskId, std::string_view drawKey) {
  return paths::LuckFileDir() + FileName(taskId, drawKey);
}

std::string ClaimFilePath(std::string_view root, int32_t taskId, std::string_view drawKey) {
  return std::string(root) + std::string(paths::kLuckFileFolder) + FileName(taskId, drawKey);
}

std::vector<std::string> TaskClaimFiles(int32_t taskId) {
  std::vector<std::string> out;
  const std::string prefix = std::string(kClaimPrefix) + std::to_string(taskId) + "_";
  std::error_code ec;
  for (auto it = fs::directory_iterator(paths::NativePath(paths::LuckFileDir()), ec);
       !ec && it != fs::directory_iterator(); it.increment(ec)) {
    if (!it->is_regular_file(ec)) continue;
    const std::string name = paths::U8(it->path().filename());
    // CLAIM_<task>_<16 hex>.txt
    if (name.size() != prefix.size() + 16 + 4 || name.compare(0, prefix.size(), prefix) != 0 ||
        name.compare(name.size() - 4, 4, ".txt") != 0)
      continue;
    out.push_back(paths::LuckFileDir() + name);
  }
  std::sort(out.begin(), out.end());
  return out;
}

std::vector<std::string> StaleClaimFiles(int32_t taskId) {
  const std::string key = JournalDrawKey(paths::JournalPath(taskId));
  const std::string open = key.empty() ? std::string() : ClaimFilePath(taskId, key);
  std::vector<std::string> out = TaskClaimFiles(taskId);
  std::erase(out, open);
  return out;
}

std::string FormatClaimHead(int32_t taskId, std::string_view drawKey) {
  return "CLAIM\t" + std::to_string(taskId) + "\t" + std::string(drawKey) + "\r\n";
}

std::string FormatClaimRecord(const TClaimRecord& r) {
  return r.Id + "\t" + std::to_string(r.ItemId) + "\t" + r.Time + "\t" + r.Desk + "\r\n";
}

bool ParseClaimFile(std::string_view text, TClaimFile& file, std::string_view gbkPath,
                    std::string& error) {
  file = TClaimFile{};
  const size_t lastEnd = text.rfind('\n');
  const size_t whole = lastEnd == std::string_view::npos ? 0 : lastEnd + 1;
  file.TornTail = whole < text.size();
  size_t from = 0;
  size_t lineNo = 0;
  std::set<std::pair<std::string_view, int32_t>> seen;
  while (from < whole) {
    const size_t end = text.find('\n', from);
    std::string_view line = text.substr(from, end - from);
    from = end + 1;
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::vector<std::string_view> f = text::SplitAt(line, '\t');
    if (lineNo == 1) {
      int32_t id = 0;
      if (f.size() != 3 || f[0] != "CLAIM" || !text::ParseInt32(f[1], id) || !IsKey(f[2])) {
        error = LineError(gbkPath, lineNo);
        return false;
      }
      file.TaskId = id;
      file.DrawKey = std::string(f[2]);
      continue;
    }
    int32_t item = 0;
    if (f.size() != 4 || !PlainText(f[0], kMaxIdBytes) || !text::ParseInt32(f[1], item) ||
        !IsTime(f[2]) || !PlainText(f[3], kMaxDeskBytes)) {
      error = LineError(gbkPath, lineNo);
      return false;
    }
    // A claim written twice (no writer of ours does) counts once, at its first time.
    if (!seen.emplace(f[0], item).second) continue;
    file.Records.push_back({std::string(f[0]), item, std::string(f[2]), std::string(f[3])});
  }
  file.WholeBytes = whole;
  return true;
}

bool ReadClaimFile(std::string_view gbkPath, TClaimFile& file, std::string& error) {
  file = TClaimFile{};
  if (!paths::FileExists(gbkPath)) return true;
  std::string bytes;
  if (!files::ReadWholeFile(gbkPath, bytes, error)) return false;
  return ParseClaimFile(bytes, file, gbkPath, error);
}

bool ReadDrawClaims(int32_t taskId, std::string_view drawKey, TClaimFile& file,
                    std::string& error) {
  const std::string path = ClaimFilePath(taskId, drawKey);
  if (!ReadClaimFile(path, file, error)) return false;
  if (file.WholeBytes > 0 && (file.TaskId != taskId || file.DrawKey != drawKey)) {
    error = text::G("领奖记录文件") + path + text::G("属于另一次抽奖，无法使用。");
    return false;
  }
  return true;
}

bool ResultsClaims(int32_t taskId, TClaimsByWinner& claims, std::string& error) {
  claims.clear();
  TClaimFile file;
  if (!ReadDrawClaims(taskId, ResultsDrawKey(taskId), file, error)) return false;
  for (TClaimRecord& r : file.Records) {
    auto key = std::make_pair(r.Id, r.ItemId);
    claims.emplace(std::move(key), std::move(r));
  }
  return true;
}

std::vector<std::string> ClaimMarks(const TClaimsByWinner& claims, int32_t itemId,
                                    const std::vector<std::vector<std::string>>& rows) {
  std::vector<std::string> marks;
  marks.reserve(rows.size());
  for (const std::vector<std::string>& row : rows) {
    const auto it = row.empty() ? claims.end() : claims.find({row[0], itemId});
    marks.push_back(it == claims.end() ? std::string()
                                       : ClockOf(it->second.Time) + " " + it->second.Desk);
  }
  return marks;
}

std::string ClaimColumnHead() { return text::G("领取"); }
std::string ClaimExportHead() { return text::G("领奖"); }

std::string ClockOf(std::string_view time) {
  return time.size() >= 16 ? std::string(time.substr(11, 5)) : std::string(time);
}

void TClaimWriter::Continue(std::string path, int32_t taskId, std::string drawKey,
                            size_t wholeBytes) {
  m_path = std::move(path);
  m_taskId = taskId;
  m_drawKey = std::move(drawKey);
  m_wholeBytes = wholeBytes;
}

bool TClaimWriter::Append(std::string_view records, std::string& error) {
  return files::AppendRecords(m_path, m_wholeBytes, FormatClaimHead(m_taskId, m_drawKey), records,
                              error);
}

}  // namespace claims
