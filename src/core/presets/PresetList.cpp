#include "core/presets/PresetList.h"

#include "core/records/DrawDataFile.h"
#include "core/text/FileWrite.h"
#include "core/text/Gbk.h"
#include "core/text/LineReader.h"
#include "core/text/Paths.h"
#include "core/text/Text.h"

bool ReadPresetHeads(std::string_view gbkPath, std::vector<std::string>& heads,
                     std::string& error) {
  heads.clear();
  if (!paths::FileExists(gbkPath)) {
    error = text::G("未找到导入的数据，请重新导入数据");
    return false;
  }
  LineReader in;
  if (!in.Open(gbkPath, error)) return false;
  TDrawDataHead head;
  ReadDrawDataHead(in, head);
  // Each line in turn: a read that failed on it, or its own fault.
  auto failed = [&](int line, const char* utf8) {
    error = head.linesRead < line ? in.Error() : text::G(utf8);
    return false;
  };
  if (head.linesRead < 1 || !head.begin) return failed(1, "文件格式错误,第一行，请重新导入数据");
  if (head.linesRead < 2 || !head.count.digits)
    return failed(2, "文件格式错误,第二行，请重新导入数据");
  if (head.linesRead < 3 || !head.idMaxLength.digits)
    return failed(3, "文件格式错误,第三行，请重新导入数据");
  if (head.linesRead < 4) {
    error = in.Error();
    return false;
  }
  heads = text::SplitFields(head.titleLine);
  error.clear();
  return true;
}

bool ReadPresetLines(int taskId, int itemId, std::vector<std::string>& lines, std::string& error) {
  lines.clear();
  error.clear();
  if (!ForEachTrimmedLine(
          paths::PresetFilePath(taskId, itemId),
          [&lines](std::string_view t) { lines.emplace_back(t); }, error)) {
    lines.clear();
    return false;
  }
  return true;
}

bool SavePresetLines(int taskId, int itemId, const std::vector<std::string>& lines,
                     std::string& error) {
  std::string content;
  for (const std::string& l : lines) content.append(l).append("\r\n");
  return files::WriteFileAtomic(paths::PresetFilePath(taskId, itemId), content, error);
}

std::vector<std::string> PresetCells(std::string_view line, int columns) {
  std::vector<std::string> cells = text::SplitFields(line);
  cells.resize(static_cast<size_t>(columns > 0 ? columns : 0));
  return cells;
}

std::string PresetId(std::string_view line) { return std::string(text::FirstField(line)); }

bool PresetListFull(int entryCount, int winnerCount) {
  return entryCount >= 1 && entryCount >= winnerCount;
}

std::string PresetListFullText(std::string_view itemName, int winnerCount) {
  return std::string(itemName) + text::G("设定的中奖总数为:") + std::to_string(winnerCount) +
         text::G(",指定中奖数已经达到设定的最大值了");
}

std::string PresetDuplicateText(std::string_view idHead, std::string_view id) {
  return std::string(idHead) + "[" + std::string(id) + "]" +
         text::G("已经在指定中奖名单中,不能重复指定");
}

bool TPresetList::ContainsId(std::string_view id) const {
  for (const std::string& l : m_lines)
    if (text::FirstField(l) == id) return true;
  return false;
}

TPresetList::AddResult TPresetList::Add(std::string_view line, int winnerCount) {
  m_modified = true;
  const std::string_view t = text::TrimView(line);
  if (t.empty()) return AddResult::Nothing;
  if (Full(winnerCount)) return AddResult::Full;
  if (ContainsId(text::FirstField(t))) return AddResult::Duplicate;
  m_lines.emplace_back(t);
  return AddResult::Added;
}

void TPresetList::Delete(int index) {
  m_modified = true;
  if (index >= 0 && index < Count()) m_lines.erase(m_lines.begin() + index);
}
