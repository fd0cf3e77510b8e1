#include "core/records/VoidFile.h"

#include <map>

#include "core/text/Gbk.h"
#include "core/text/LineReader.h"
#include "core/text/Paths.h"
#include "core/text/Text.h"

std::string VoidFilePath(std::string_view root, int taskId, int itemId) {
  return std::string(root) + std::string(paths::kLuckFileFolder) + std::string(kVoidPrefix) +
         std::to_string(taskId) + "_" + std::to_string(itemId) + ".txt";
}

std::string VoidFilePath(int taskId, int itemId) {
  return VoidFilePath(paths::DataRoot(), taskId, itemId);
}

std::string VoidLine(const TVoidId& v) {
  std::string replacement;
  if (v.ReplacementIndex >= 0) replacement = std::string(text::FirstField(v.ReplacementLine));
  return v.CandidateLine + "\t" + v.Time + "\t" + v.Reason + "\t" + replacement;
}

bool SplitVoidLine(std::string_view line, TVoidRow& row) {
  // From the right: a candidate line may hold a TAB, the three fields after it never do.
  size_t cut[3];
  size_t end = line.size();
  for (size_t& c : cut) {
    const size_t at = end == 0 ? std::string_view::npos : line.rfind('\t', end - 1);
    if (at == std::string_view::npos) return false;
    c = at;
    end = at;
  }
  row.CandidateLine = std::string(line.substr(0, cut[2]));
  row.Time = std::string(line.substr(cut[2] + 1, cut[1] - cut[2] - 1));
  row.Reason = std::string(line.substr(cut[1] + 1, cut[0] - cut[1] - 1));
  row.ReplacementId = std::string(line.substr(cut[0] + 1));
  return true;
}

bool LoadVoidFile(std::string_view gbkPath, TVoidFile& file, std::string& error) {
  file = TVoidFile();
  if (!paths::FileExists(gbkPath)) return true;
  LineReader in;
  if (!in.Open(std::string(gbkPath), error)) return false;
  file.exists = true;
  file.titleLine = std::string(in.NextOrEmpty());
  std::string_view line;
  while (in.Next(line)) {
    TVoidRow row;
    if (!SplitVoidLine(line, row)) row.CandidateLine = std::string(line);
    file.rows.push_back(std::move(row));
  }
  if (in.Failed()) {
    error = in.Error();
    return false;
  }
  return true;
}

bool LoadItemVoids(int taskId, int itemId, TVoidFile& file, std::string& error) {
  return LoadVoidFile(VoidFilePath(taskId, itemId), file, error);
}

std::string VoidMarkText(const TVoidRow& row, bool clock) {
  const std::string time = clock && row.Time.size() >= 16 ? row.Time.substr(11, 5) : row.Time;
  return text::G("作废:") + row.Reason + " " + time + " " +
         (row.ReplacementId.empty() ? text::G("名额空缺") : text::G("重抽:") + row.ReplacementId);
}

std::vector<std::pair<std::string, std::string>> VoidFileTexts(const TArrVoidId& voids,
                                                               std::string_view titleLine) {
  std::map<std::pair<int32_t, int32_t>, std::string> bodies;
  std::vector<std::pair<int32_t, int32_t>> order;
  for (const TVoidId& v : voids) {
    const auto key = std::make_pair(v.TaskId, v.ItemId);
    auto [at, fresh] = bodies.emplace(key, std::string(titleLine) + "\r\n");
    if (fresh) order.push_back(key);
    at->second += VoidLine(v) + "\r\n";
  }
  std::vector<std::pair<std::string, std::string>> out;
  for (const auto& key : order)
    out.emplace_back(VoidFilePath(key.first, key.second), std::move(bodies[key]));
  return out;
}
