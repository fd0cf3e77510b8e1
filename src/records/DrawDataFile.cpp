#include "records/DrawDataFile.h"

#include <algorithm>

#include "text/FileWrite.h"
#include "text/Gbk.h"
#include "text/LineReader.h"
#include "text/Paths.h"
#include "text/Text.h"

std::string FormatDrawData(std::string_view titleLine, const std::vector<std::string>& lines,
                           int idMaxLength) {
  size_t size = 64 + titleLine.size();
  for (const std::string& l : lines) size += l.size() + 2;
  std::string out;
  out.reserve(size);
  out += "BEGIN\r\nCOUNT=";
  out += std::to_string(lines.size());
  out += "\r\nID_MAX_LENGTH=";
  out += std::to_string(idMaxLength);
  out += "\r\n";
  out += titleLine;
  out += "\r\n";
  for (const std::string& l : lines) {
    out += l;
    out += "\r\n";
  }
  out += "END\r\n";
  return out;
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

namespace {

std::string NotAnInteger(std::string_view value) {
  return text::G("'") + std::string(value) + text::G("'不是有效的整数");
}

// The number after the first '=' of a header line: 1 ok, 0 not digits, -1 too large.
int HeaderNumber(std::string_view line, int32_t& value, std::string& valueText) {
  std::string rest(line);
  std::string head;
  text::SplitHead(rest, '=', head);
  valueText = rest;
  if (!text::IsAllDigits(rest)) return 0;
  return text::ParseInt32(rest, value) ? 1 : -1;
}

}  // namespace

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
  const std::string_view first = in.NextOrEmpty();
  if (in.Failed()) return fail(in.Error());
  if (first != "BEGIN") return fail(text::G("文件格式错误,第一行"));
  int32_t count = 0;
  std::string value;
  const std::string_view second = in.NextOrEmpty();
  if (in.Failed()) return fail(in.Error());
  switch (HeaderNumber(second, count, value)) {
    case 0:
      return fail(text::G("文件格式错误,第二行"));
    case -1:
      return fail(NotAnInteger(value));
  }
  int32_t maxLength = 0;
  const std::string_view third = in.NextOrEmpty();
  if (in.Failed()) return fail(in.Error());
  switch (HeaderNumber(third, maxLength, value)) {
    case 0:
      return fail(text::G("文件格式错误,第三行"));
    case -1:
      return fail(NotAnInteger(value));
  }
  titleLine = std::string(in.NextOrEmpty());
  if (in.Failed()) return fail(in.Error());
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
  const std::string_view first = in.NextOrEmpty();
  if (in.Failed()) return readFailed();
  if (first != "BEGIN") {
    error = text::G("输入文件格式错误,第一行，请导入文件后再设置");
    return false;
  }
  int32_t count = 0;
  std::string value;
  const std::string_view second = in.NextOrEmpty();
  if (in.Failed()) return readFailed();
  switch (HeaderNumber(second, count, value)) {
    case 0:
      error = text::G("输入文件格式错误,第二行，请导入文件后再设置");
      return false;
    case -1:
      error = NotAnInteger(value);
      return false;
  }
  in.NextOrEmpty();
  in.NextOrEmpty();
  std::string_view l;
  for (int32_t i = 0; i < count && in.Next(l); ++i) {
    if (text::FirstField(l) == id) {
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
