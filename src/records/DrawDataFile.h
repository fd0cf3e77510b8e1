// The draw data file of a task: BEGIN, COUNT=, ID_MAX_LENGTH=, the title line, one candidate
// line each, END; GBK, CR LF.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The file's whole text. `idMaxLength` is the byte length of the longest id as the import
// saw it, which for spreadsheet rows may differ from the first field of the written line.
std::string FormatDrawData(std::string_view titleLine, const std::vector<std::string>& lines,
                           int idMaxLength);

// Byte length of the longest first field (the text before the first blank).
int LongestIdLength(const std::vector<std::string>& lines);

// Writes the file atomically, creating its directory when missing.
bool WriteDrawDataFile(std::string_view gbkPath, std::string_view titleLine,
                       const std::vector<std::string>& lines, int idMaxLength, std::string& error);
