#include "core/records/DrawDataFile.h"

#include <algorithm>
#include <functional>

#include "core/text/FileWrite.h"
#include "core/text/Gbk.h"
#include "core/text/LineReader.h"
#include "core/text/Paths.h"
#include "core/text/Text.h"

void AppendCellField(std::string_view cell, std::string& out) {
  for (const char c : cell) {
    if (c == ' ')
      out += kCellBlank;
    else
      out += c;
  }
}

std::string ShownField(std::string_view field) {
  std::string out;
  out.reserve(field.size());
  const size_t n = field.size();
  for (size_t i = 0; i < n;) {
    // Step by whole GB18030 characters, so that the trail bytes of one never start another.
    const auto b = static_cast<unsigned char>(field[i]);
    size_t len = 1;
    if (b >= 0x81 && b <= 0xFE && i + 1 < n) {
      const auto b2 = static_cast<unsigned char>(field[i + 1]);
      len = b2 >= 0x30 && b2 <= 0x39 ? 4 : 2;
    }
    len = std::min(len, n - i);
    if (len == 4 && field.substr(i, 4) == kCellBlank)
      out += ' ';
    else
      out.append(field.substr(i, len));
    i += len;
  }
  return out;
}

std::vector<TDuplicateId> DuplicateIds(const std::vector<std::string_view>& ids) {
  const size_t n = std::min<size_t>(ids.size(), UINT32_MAX - 1);
  // Open addressing over line numbers, keyed by the id's hash; a tag of the hash spares
  // most comparisons.
  size_t size = 16;
  while (size < 2 * n) size *= 2;
  const size_t mask = size - 1;
  std::vector<uint32_t> table(size, UINT32_MAX);
  std::vector<uint32_t> tags(size);
  std::vector<std::pair<uint32_t, uint32_t>> repeats;  // (first line of the id, a later line)
  for (uint32_t i = 0; i < n; ++i) {
    const std::string_view key = ids[i];
    const uint64_t h = std::hash<std::string_view>()(key);
    const auto tag = static_cast<uint32_t>(h >> 32);
    for (size_t slot = h & mask;; slot = (slot + 1) & mask) {
      if (table[slot] == UINT32_MAX) {
        table[slot] = i;
        tags[slot] = tag;
        break;
      }
      if (tags[slot] == tag && ids[table[slot]] == key) {
        repeats.emplace_back(table[slot], i);
        break;
      }
    }
  }
  std::stable_sort(repeats.begin(), repeats.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<TDuplicateId> out;
  for (const auto& [first, later] : repeats) {
    if (out.empty() || out.back().Indices.front() != first)
      out.push_back({std::string(ids[first]), {first}});
    out.back().Indices.push_back(later);
  }
  return out;
}

std::vector<TDuplicateId> DuplicateIds(const std::vector<std::string>& lines) {
  std::vector<std::string_view> ids;
  ids.reserve(lines.size());
  for (const std::string& l : lines) ids.push_back(text::FirstField(l));
  return DuplicateIds(ids);
}

std::string FormatDrawData(std::string_view titleLine, size_t count, int idMaxLength,
                           std::string_view joinedLines) {
  std::string out;
  out.reserve(joinedLines.size() + titleLine.size() + 64);
  out += "BEGIN\r\nCOUNT=";
  out += std::to_string(count);
  out += "\r\nID_MAX_LENGTH=";
  out += std::to_string(idMaxLength);
  out += "\r\n";
  out += titleLine;
  out += "\r\n";
  out += joinedLines;
  out += "END\r\n";
  return out;
}

std::string FormatDrawData(std::string_view titleLine, const std::vector<std::string>& lines,
                           int idMaxLength) {
  size_t size = 0;
  for (const std::string& l : lines) size += l.size() + 2;
  std::string joined;
  joined.reserve(size);
  for (const std::string& l : lines) {
    joined += l;
    joined += "\r\n";
  }
  return FormatDrawData(titleLine, lines.size(), idMaxLength, joined);
}

int LongestIdLength(const std::vector<std::string>& lines) {
  size_t m = 0;
  for (const std::string& l : lines) m = std::max(m, std::min(l.find(' '), l.size()));
  return static_cast<int>(m);
}

bool WriteDrawDataFile(std::string_view gbkPath, std::string_view titleLine,
                       const std::vector<std::string>& lines, int idMaxLength, std::string& error) {
  return files::WriteFileAtomic(gbkPath, FormatDrawData(titleLine, lines, idMaxLength), error);
}

bool WriteDrawDataFile(std::string_view gbkPath, std::string_view titleLine, size_t count,
                       int idMaxLength, std::string_view joinedLines, std::string& error) {
  return files::WriteFileAtomic(gbkPath, FormatDrawData(titleLine, count, idMaxLength, joinedLines),
                                error);
}

namespace {

std::string NotAnInteger(std::string_view value) {
  return text::G("'") + std::string(value) + text::G("'不是有效的整数");
}

// The number after the first '=' of a head line.
TDrawDataNumber HeadNumber(std::string_view line) {
  TDrawDataNumber n;
  std::string head;
  n.text = std::string(line);
  text::SplitHead(n.text, '=', head);
  n.digits = text::IsAllDigits(n.text);
  n.fits = n.digits && text::ParseInt32(n.text, n.value);
  return n;
}

}  // namespace

void ReadDrawDataHead(LineReader& in, TDrawDataHead& head) {
  head = TDrawDataHead();
  const std::string_view first = in.NextOrEmpty();
  if (in.Failed()) return;
  head.linesRead = 1;
  head.begin = first == "BEGIN";
  const std::string_view second = in.NextOrEmpty();
  if (in.Failed()) return;
  head.linesRead = 2;
  head.count = HeadNumber(second);
  const std::string_view third = in.NextOrEmpty();
  if (in.Failed()) return;
  head.linesRead = 3;
  head.idMaxLength = HeadNumber(third);
  const std::string_view fourth = in.NextOrEmpty();
  if (in.Failed()) return;
  head.linesRead = 4;
  head.titleLine = std::string(fourth);
}

bool ReadDrawDataFile(std::string_view gbkPath, int32_t luckTotal, int32_t luckAgain,
                      TArraySring& lines, int32_t& idMaxLength, std::string& titleLine,
                      std::string& error) {
  if (!paths::FileExists(gbkPath)) {
    error = text::G("文件不存在，请重新导入文件");
    return false;
  }
  lines.clear();
  LineReader in;
  if (!in.Open(gbkPath, error)) return false;
  auto fail = [&](std::string message) {
    lines.clear();
    lines.shrink_to_fit();
    error = std::move(message);
    return false;
  };
  // A read that fails is reported as itself, not as a malformed header.
  TDrawDataHead head;
  ReadDrawDataHead(in, head);
  if (head.linesRead < 1) return fail(in.Error());
  if (!head.begin) return fail(text::G("文件格式错误,第一行"));
  if (head.linesRead < 2) return fail(in.Error());
  if (!head.count.digits) return fail(text::G("文件格式错误,第二行"));
  if (!head.count.fits) return fail(NotAnInteger(head.count.text));
  if (head.linesRead < 3) return fail(in.Error());
  if (!head.idMaxLength.digits) return fail(text::G("文件格式错误,第三行"));
  if (!head.idMaxLength.fits) return fail(NotAnInteger(head.idMaxLength.text));
  titleLine = head.titleLine;
  if (head.linesRead < 4) return fail(in.Error());
  const int32_t count = head.count.value;
  const int32_t maxLength = head.idMaxLength.value;
  // Reserve for what the file can hold, not for what a header claims.
  const long long bySize = in.Size() / 8 + 16;
  lines.reserve(static_cast<size_t>(std::min<long long>(count, bySize)));
  std::string_view line;
  for (int32_t i = 0; i < count && in.Next(line); ++i) lines.emplace_back(text::TrimView(line));
  if (in.Failed()) return fail(in.Error());
  idMaxLength = maxLength;
  if (lines.empty()) return fail(text::G("抽奖记录行数为0，请重新导入文件"));
  if (static_cast<int64_t>(lines.size()) < luckTotal && luckAgain == 0)
    return fail(text::G("抽奖记录行数为少于设定的中奖数"));
  error.clear();
  return true;
}

std::string DrawDataFileOf(const TLuckTask& task) {
  if (paths::FileExists(task.DataFilePath)) return task.DataFilePath;
  const std::string here = paths::DrawDataPath(task.TaskId);
  return paths::FileExists(here) ? here : task.DataFilePath;
}

bool FindDataLine(std::string_view gbkPath, std::string_view id, std::string& line,
                  std::string& error) {
  line.clear();
  error.clear();
  if (!paths::FileExists(gbkPath)) {
    error = text::G("文件不存在，请导入文件后再设置");
    return false;
  }
  LineReader in;
  if (!in.Open(gbkPath, error)) return false;
  const auto readFailed = [&] {
    error = in.Error();
    return false;
  };
  TDrawDataHead head;
  ReadDrawDataHead(in, head);
  if (head.linesRead < 1) return readFailed();
  if (!head.begin) {
    error = text::G("输入文件格式错误,第一行，请导入文件后再设置");
    return false;
  }
  if (head.linesRead < 2) return readFailed();
  if (!head.count.digits) {
    error = text::G("输入文件格式错误,第二行，请导入文件后再设置");
    return false;
  }
  if (!head.count.fits) {
    error = NotAnInteger(head.count.text);
    return false;
  }
  // Lines 3 and 4 are passed over untested.
  const int32_t count = head.count.value;
  std::string_view l;
  for (int32_t i = 0; i < count && in.Next(l); ++i) {
    // An id typed with blanks finds one whose cell held them.
    const std::string_view first = text::FirstField(l);
    if (first == id || (first.size() > id.size() && ShownField(first) == id)) {
      line = std::string(text::TrimView(l));
      break;
    }
  }
  if (in.Failed()) {
    line.clear();
    error = in.Error();
    return false;
  }
  return true;
}
