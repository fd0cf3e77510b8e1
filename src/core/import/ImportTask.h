// What the import button of the configuration window does, without the window: the checks
// before the import, the log lines around it, the import itself and the stored path.
// The window asks the operator first, empties its log, shows the busy cursor, and then
// shows what this answers.
#pragma once

#include <string>
#include <string_view>

#include "core/import/Import.h"
#include "core/text/Messages.h"

namespace db {
class TQuery;
}

namespace dataimport {

enum class SourceKind { Text = 0, Spreadsheet = 1 };  // index of CBFileType

struct Outcome {
  bool ran = false;       // false: no saved task, nothing happened
  bool imported = false;  // the new draw data file is in place and its path stored
  std::string targetPath;
  MessageKind messageKind = MessageKind::Information;
  std::string message;  // GBK; empty when there is nothing to show
};

// Runs the import for the task whose id is `taskIdText` (trimmed; empty for a task never
// saved) and stores the path in LuckTask.DataFilePath through `query`. A failed import
// changes nothing: the previous draw data file and the stored path stay as they were, so
// the window keeps the task's data status. A list that is in is checked against the task's
// saved rules at once (config::CheckRules, config::TooFewText). The message is "导入成功!" only
// when every row with data is in; it names the rows passed over and left out, the repeated
// ids and what the rules make of the list, and is then of kind Warning.
Outcome ImportForTask(db::TQuery& query, std::string_view taskIdText, std::string_view source,
                      SourceKind kind, TIdType idType, const Callbacks& callbacks);

}  // namespace dataimport
