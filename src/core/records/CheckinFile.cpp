#include "core/records/CheckinFile.h"

#include <algorithm>
#include <filesystem>
#include <unordered_map>
#include <unordered_set>

#include "core/text/FileWrite.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "core/text/Text.h"

namespace checkin {

namespace {

bool IsToken(std::string_view s) {
  if (s.size() != 32) return false;
  for (char c : s)
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  return true;
}

bool IsTime(std::string_view s) {
  // YYYY-MM-DD HH:MM:SS
  if (s.size() != 19) return false;
  for (size_t i = 0; i < s.size(); ++i) {
    const char want = i == 4 || i == 7 ? '-' : i == 10 ? ' ' : i == 13 || i == 16 ? ':' : '0';
    if (want == '0' ? (s[i] < '0' || s[i] > '9') : s[i] != want) return false;
  }
  return true;
}

std::string LineError(std::string_view gbkPath, size_t lineNo) {
  return text::G("签到记录文件") + std::string(gbkPath) + text::G("第") + std::to_string(lineNo) +
         text::G("行已损坏，无法继续签到。");
}

}  // namespace

std::string CheckinFilePath(int32_t taskId) {
  return paths::LuckFileDir() + std::string(kCheckinPrefix) + std::to_string(taskId) + ".txt";
}

std::string CheckinFilePath(std::string_view root, int32_t taskId) {
  return std::string(root) + std::string(paths::kLuckFileFolder) + std::string(kCheckinPrefix) +
         std::to_string(taskId) + ".txt";
}

std::string FormatCheckinHead(int32_t taskId) {
  return "CHECKIN\t" + std::to_string(taskId) + "\r\n";
}

std::string FormatCheckinRecord(const TCheckinRecord& r) {
  return r.Id + "\t" + r.Time + "\t" + r.Token + (r.Name.empty() ? "" : "\t" + r.Name) + "\r\n";
}

bool ParseCheckinFile(std::string_view text, TCheckinFile& file, std::string_view gbkPath,
                      std::string& error) {
  file = TCheckinFile{};
  const size_t lastEnd = text.rfind('\n');
  const size_t whole = lastEnd == std::string_view::npos ? 0 : lastEnd + 1;
  file.TornTail = whole < text.size();
  size_t from = 0;
  size_t lineNo = 0;
  std::vector<std::string> seen;
  while (from < whole) {
    const size_t end = text.find('\n', from);
    std::string_view line = text.substr(from, end - from);
    from = end + 1;
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::vector<std::string_view> f = text::SplitAt(line, '\t');
    if (lineNo == 1) {
      int32_t id = 0;
      if (f.size() != 2 || f[0] != "CHECKIN" || !text::ParseInt32(f[1], id)) {
        error = LineError(gbkPath, lineNo);
        return false;
      }
      file.TaskId = id;
      continue;
    }
    if (f.size() < 3 || f.size() > 4 || f[0].empty() || f[0].size() > kMaxCheckinIdBytes ||
        !IsTime(f[1]) || !IsToken(f[2]) || (f.size() == 4 && f[3].empty())) {
      error = LineError(gbkPath, lineNo);
      return false;
    }
    file.Records.push_back({std::string(f[0]), std::string(f[1]), std::string(f[2]),
                            f.size() == 4 ? std::string(f[3]) : std::string()});
  }
  file.WholeBytes = whole;
  return true;
}

bool ReadCheckinFile(std::string_view gbkPath, TCheckinFile& file, std::string& error) {
  file = TCheckinFile{};
  if (!paths::FileExists(gbkPath)) return true;
  std::string bytes;
  if (!files::ReadWholeFile(gbkPath, bytes, error)) return false;
  return ParseCheckinFile(bytes, file, gbkPath, error);
}

bool CheckedInOnList(int32_t taskId, const std::vector<std::string>& lines,
                     std::vector<std::string>& ids, std::string& error) {
  ids.clear();
  TCheckinFile file;
  if (!ReadCheckinFile(CheckinFilePath(taskId), file, error)) return false;
  if (file.WholeBytes > 0 && file.TaskId != taskId) {
    error = text::G("签到记录文件") + CheckinFilePath(taskId) + text::G("属于另一个抽奖任务");
    return false;
  }
  std::unordered_set<std::string_view> onList;
  onList.reserve(lines.size());
  for (const std::string& l : lines) onList.insert(text::FirstField(l));
  for (const TCheckinRecord& r : file.Records)
    if (onList.count(r.Id)) ids.push_back(r.Id);
  std::sort(ids.begin(), ids.end());
  ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
  return true;
}

bool CheckinMarks(int32_t taskId, const std::vector<std::vector<std::string>>& rows,
                  std::vector<std::string>& marks, std::string& error) {
  marks.clear();
  const std::string path = CheckinFilePath(taskId);
  if (!paths::FileExists(path)) return true;
  TCheckinFile file;
  if (!ReadCheckinFile(path, file, error)) return false;
  std::unordered_map<std::string, std::string> at;
  for (const TCheckinRecord& r : file.Records) at.emplace(r.Id, r.Time);
  for (const std::vector<std::string>& row : rows) {
    const auto it = row.empty() ? at.end() : at.find(row[0]);
    marks.push_back(it == at.end() ? text::G("未签到") : text::G("已签到 ") + it->second);
  }
  return true;
}

std::string CheckinColumnHead() { return text::G("签到"); }

void TCheckinWriter::Continue(std::string path, int32_t taskId, size_t wholeBytes) {
  m_path = std::move(path);
  m_taskId = taskId;
  m_wholeBytes = wholeBytes;
}

bool TCheckinWriter::Append(std::string_view records, std::string& error) {
  return files::AppendRecords(m_path, m_wholeBytes, FormatCheckinHead(m_taskId), records, error);
}

}  // namespace checkin
