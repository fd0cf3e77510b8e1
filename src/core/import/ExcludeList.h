// An exclusion list read from a file (last year's winners, say): the ids of a text or
// spreadsheet file, read by the import's own readers, to be kept in the task's rules
// (TTaskRules::ExcludeIds or an item's ExcludeIds) and so fingerprinted with them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace config {

struct TExcludeList {
  std::vector<std::string> Ids;  // sorted bytewise, no duplicates
  int64_t Rows = 0;              // rows that gave an id
  int64_t OnList = 0;            // ids that are the first field of a candidate line
  bool HeadSkipped = false;      // the first row was the list's title (its first head)
};

// Reads the ids of `gbkPath`: from each row the first field (up to the first blank) of its
// first non-empty cell; empty rows are skipped. A first row equal to `firstHead` (the list's
// title, e.g. 工号) is a title, not an id. `candidates` are the draw data's candidate lines,
// for OnList. False with the reader's error, or when the file holds no id; `out` is left as
// it was then.
bool ReadExcludeList(std::string_view gbkPath, std::string_view firstHead,
                     const std::vector<std::string>& candidates, TExcludeList& out,
                     std::string& error);

// What was read, for the operator: "排除名单：读到128个号码，其中120人在抽奖名单中".
std::string ExcludeListSummary(const TExcludeList& list);

}  // namespace config
