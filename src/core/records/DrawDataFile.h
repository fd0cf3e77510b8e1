// The draw data file of a task: BEGIN, COUNT=, ID_MAX_LENGTH=, the title line, one candidate
// line each, END; GBK, CR LF.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/records/Records.h"

class LineReader;

// A blank inside a spreadsheet cell. Fields are separated by blanks, and every reader (the
// draw, the rules, check-in, the preset editor, the verifier and checkers written from its
// page) splits a line at them; so a cell such as "Maximilian Alexander von Hohenberg" keeps
// its blanks as no-break spaces, U+00A0, GB18030 bytes 81 30 84 32. No reader splits at them,
// the file keeps its layout, and anything that converts the line from GB18030 shows them as
// blanks; ShownField turns them back into blanks where a field is compared with what a person
// typed or written where another program reads it.
inline constexpr std::string_view kCellBlank{"\x81\x30\x84\x32", 4};

// Appends trimmed cell text `cell` as one field: each blank as kCellBlank.
void AppendCellField(std::string_view cell, std::string& out);

// The text field `field` shows: each kCellBlank (as a whole character) back as a blank.
// The one routine by which a field is shown, exported or matched against typed text.
std::string ShownField(std::string_view field);

// The file's whole text. `idMaxLength` is the byte length of the longest id as the import
// saw it, which for spreadsheet rows may differ from the first field of the written line.
std::string FormatDrawData(std::string_view titleLine, const std::vector<std::string>& lines,
                           int idMaxLength);
// The same for `count` candidate lines already joined, each ending in CR LF (an import
// gathers them so, without a line per string).
std::string FormatDrawData(std::string_view titleLine, size_t count, int idMaxLength,
                           std::string_view joinedLines);

// Byte length of the longest first field (the text before the first blank).
int LongestIdLength(const std::vector<std::string>& lines);

// Writes the file atomically, creating its directory when missing: the one writer of draw
// data files, for the import, the example tasks and the tests alike.
bool WriteDrawDataFile(std::string_view gbkPath, std::string_view titleLine,
                       const std::vector<std::string>& lines, int idMaxLength, std::string& error);
bool WriteDrawDataFile(std::string_view gbkPath, std::string_view titleLine, size_t count,
                       int idMaxLength, std::string_view joinedLines, std::string& error);

// A number of the head (COUNT=, ID_MAX_LENGTH=): the text after the line's first '='.
struct TDrawDataNumber {
  std::string text;
  bool digits = false;  // one or more bytes 0 to 9
  bool fits = false;    // digits that fit a 32-bit integer
  int32_t value = 0;
};

// The four lines before the candidates as they stand; each reader judges them with its
// own texts, in line order.
struct TDrawDataHead {
  int linesRead =
      0;  // lines read before a read error; 4 without one (past the end, lines are empty)
  bool begin = false;  // line 1 is "BEGIN", byte for byte
  TDrawDataNumber count;
  TDrawDataNumber idMaxLength;
  std::string titleLine;  // untrimmed
};

// The one parser of the head: reads lines 1 to 4 from `in`, stopping at a read error.
void ReadDrawDataHead(LineReader& in, TDrawDataHead& head);

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

// An id that more than one candidate line holds, with the 0-based indices of those lines in
// file order.
struct TDuplicateId {
  std::string Id;
  std::vector<uint32_t> Indices;
  bool operator==(const TDuplicateId&) const = default;
};

// The ids (the candidate lines' first fields, compared byte for byte) held by more than one
// line, in the order of their first line. One pass over a hash table, no copy of the ids.
std::vector<TDuplicateId> DuplicateIds(const std::vector<std::string_view>& ids);
// The same over candidate lines.
std::vector<TDuplicateId> DuplicateIds(const std::vector<std::string>& lines);
