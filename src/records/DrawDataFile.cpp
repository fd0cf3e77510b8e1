#include "records/DrawDataFile.h"

#include <algorithm>

#include "text/FileWrite.h"

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
