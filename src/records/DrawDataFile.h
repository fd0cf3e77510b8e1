// The draw data file of a task: BEGIN, COUNT=, ID_MAX_LENGTH=, the title line, one candidate
// line each, END; GBK, CR LF.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "records/Records.h"

// The file's whole text. `idMaxLength` is the byte length of the longest id as the import
// saw it, which for spreadsheet rows may differ from the first field of the written line.
std::string FormatDrawData(std::string_view titleLine, const std::vector<std::string>& lines,
                           int idMaxLength);

// Byte length of the longest first field (the text before the first blank).
int LongestIdLength(const std::vector<std::string>& lines);

// Writes the file atomically, creating its directory when missing.
bool WriteDrawDataFile(std::string_view gbkPath, std::string_view titleLine,
                       const std::vector<std::string>& lines, int idMaxLength, std::string& error);

// Reads the draw data file at `gbkPath` into `lines` (trimmed, file order), `idMaxLength`
// and the title line. `luckTotal` and `luckAgain` are the task's: with repeated winning off
// the file must hold at least `luckTotal` candidates. On a missing file nothing is touched;
// on any other failure `lines` is empty.
bool ReadDrawDataFile(std::string_view gbkPath, int32_t luckTotal, int32_t luckAgain,
                      TArraySring& lines, int32_t& idMaxLength, std::string& titleLine,
                      std::string& error);

// The task's draw data file: its stored DataFilePath, or, when that is gone (the data
// folder was copied or restored elsewhere), DATA_FILE/<TaskId>.txt of the current data root.
std::string DrawDataFileOf(const TLuckTask& task);

// Looks up the candidate line whose first field is `id`. True also when nothing matched; the
// line is then empty.
bool FindDataLine(std::string_view gbkPath, std::string_view id, std::string& line,
                  std::string& error);
