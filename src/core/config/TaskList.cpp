#include "core/config/TaskList.h"

#include <algorithm>

#include "core/config/ConfigStore.h"
#include "core/db/TombolixDB.h"

namespace config {

bool TTaskList::Load(std::string& error) {
  db::TQuery* q = detail::SharedQuery(error);
  if (!q || !db::OpenSql(*q, db::sql::kSelectTaskList, {}, error)) return false;
  std::vector<TTaskRow> rows;
  rows.reserve(static_cast<size_t>(q->RecordCount()));
  for (q->First(); !q->Eof(); q->Next()) {
    TTaskRow r;
    r.TaskName = q->FieldAsString("TaskName");
    r.MainTitle = q->FieldAsString("MainTitle");
    r.TaskId = q->FieldAsInteger("TaskId");
    r.OrderBy = DrawTypeOfColumn(q->FieldAsInteger("OrderBy"));
    rows.push_back(std::move(r));
  }
  m_rows = std::move(rows);
  return true;
}

const TTaskRow* TTaskList::At(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return &m_rows[static_cast<size_t>(index)];
}

int TTaskList::IndexOf(int32_t taskId) const {
  for (int i = 0; i < Count(); ++i) {
    if (m_rows[static_cast<size_t>(i)].TaskId == taskId) return i;
  }
  return -1;
}

void TTaskList::Rename(int index, std::string name) {
  if (index >= 0 && index < Count()) m_rows[static_cast<size_t>(index)].TaskName = std::move(name);
}

void TTaskList::Remove(int index) {
  if (index >= 0 && index < Count()) m_rows.erase(m_rows.begin() + index);
}

int RowAfterReload(const TTaskList& list, int32_t wanted, int32_t previous, int previousIndex) {
  if (list.Count() == 0) return -1;
  if (wanted > 0 && list.IndexOf(wanted) >= 0) return list.IndexOf(wanted);
  if (previous > 0 && list.IndexOf(previous) >= 0) return list.IndexOf(previous);
  if (previousIndex < 0) return 0;
  return std::min(previousIndex, list.Count() - 1);
}

}  // namespace config
