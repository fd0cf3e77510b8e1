// The list of draw tasks that the main window shows and the configuration window's tree
// copies: one row per LuckTask row, in the order the database returns them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/records/Records.h"

namespace config {

struct TTaskRow {
  int32_t TaskId = 0;
  std::string TaskName;   // GBK, as stored
  std::string MainTitle;  // GBK, as stored
  TDrawType OrderBy = TDrawType::FromData;
};

class TTaskList {
 public:
  // Reads every task on the data module's shared query. On failure the rows stay as they were.
  bool Load(std::string& error);

  const std::vector<TTaskRow>& Rows() const { return m_rows; }
  int Count() const { return static_cast<int>(m_rows.size()); }
  // The row at `index`, or null outside the list.
  const TTaskRow* At(int index) const;
  // The position of the task, or -1 when the list does not hold it.
  int IndexOf(int32_t taskId) const;

  // Changes made by the configuration window to its own copy.
  void Append(TTaskRow row) { m_rows.push_back(std::move(row)); }
  void Rename(int index, std::string name);
  void Remove(int index);

 private:
  std::vector<TTaskRow> m_rows;
};

// The row to select after the list was reloaded: `wanted` when the list holds it, else
// `previous`, else the row at `previousIndex` (or the last row when the list got shorter),
// else none (-1, an empty list).
int RowAfterReload(const TTaskList& list, int32_t wanted, int32_t previous, int previousIndex);

}  // namespace config
