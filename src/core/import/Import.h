// The import of a candidate list into a task's draw data file, from a text file or the
// first worksheet of a spreadsheet. Both read the source, test every candidate id, and only
// when all is well write the draw data file beside its target and rename it into place:
// a failed import leaves the previous file exactly as it was.
#pragma once

#include <functional>
#include <string>
#include <string_view>

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

// Each returns true and the target path (DATA_FILE/<taskId>.txt) on success. On failure
// `error` holds the text to show with kind Error; the log already tells why.
bool ImportTextFile(std::string_view gbkSource, int taskId, TIdType idType,
                    const Callbacks& callbacks, std::string& targetPath, std::string& error);
bool ImportSpreadsheet(std::string_view gbkSource, int taskId, TIdType idType,
                       const Callbacks& callbacks, std::string& targetPath, std::string& error);

// Normalises a text line: its blank-separated tokens, each trimmed, joined by single
// blanks; empty when the line holds nothing but blanks and control bytes.
void NormaliseLine(std::string_view line, std::string& out);

}  // namespace dataimport
