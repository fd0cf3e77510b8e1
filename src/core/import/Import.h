// The import of a candidate list into a task's draw data file, from a text file or the
// first worksheet of a spreadsheet. Both read the source, test every candidate id, and only
// when all is well write the draw data file beside its target and rename it into place:
// a failed import leaves the previous file exactly as it was.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/records/Records.h"

namespace dataimport {

// Maximum of the progress bar; the position runs 0, 1 (checking), 5 (checked), up to 25
// while writing, 26 (written) and back to 0 at the end.
inline constexpr int kProgressMax = 26;

// Where the import reports as it goes; both may be empty. `progress` is also called with
// the unchanged position now and then during a long read, so a window can repaint.
struct Callbacks {
  std::function<void(const std::string& gbkLine)> log;
  std::function<void(int position)> progress;
};

// What an import that succeeded passed over or found doubtful, for the log's last line and
// the message the window shows; sentences in GBK, empty when there is nothing to say.
struct Notes {
  int64_t imported = 0;  // candidate lines written
  // Empty rows (blank lines of a text source are not counted) between rows with data.
  int64_t emptyRows = 0;
  std::string emptyRowsText;  // "跳过空行2行：第1002行、第1500行"
  // Rows with data but no id in column 1: they are not in the list.
  int64_t rowsWithoutId = 0;
  std::string rowsWithoutIdText;
  // Text lines with more or fewer fields than the title line, and repeated ids.
  std::vector<std::string> warnings;
};

// Each returns true and the target path (DATA_FILE/<taskId>.txt) on success. On failure
// `error` holds the text to show with kind Error; the log already tells why.
// `notes`, when given, tells what a successful import passed over.
// A spreadsheet is read to its last row: empty rows are passed over and rows without an id
// left out, both named in the log and in `notes`. Each cell is one field of its line, its
// blanks kept as kCellBlank (records/DrawDataFile.h).
bool ImportTextFile(std::string_view gbkSource, int taskId, TIdType idType,
                    const Callbacks& callbacks, std::string& targetPath, std::string& error,
                    Notes* notes = nullptr);
bool ImportSpreadsheet(std::string_view gbkSource, int taskId, TIdType idType,
                       const Callbacks& callbacks, std::string& targetPath, std::string& error,
                       Notes* notes = nullptr);

// Normalises a text line: its blank-separated tokens, each trimmed, joined by single
// blanks; empty when the line holds nothing but blanks and control bytes.
void NormaliseLine(std::string_view line, std::string& out);

}  // namespace dataimport
