#include "gui/ui/WinnerGrid.h"

#include <QTableWidget>

#include "core/records/WinnerFiles.h"
#include "gui/ui/GridHelpers.h"
#include "gui/ui/Qt.h"

bool LoadWinnerFile(int taskId, int itemId, QTableWidget* grid, std::string& error, int& rowCount) {
  TWinnerFile file;
  if (!LoadWinnerFile(taskId, itemId, file, error)) return false;
  ShowWinnerFile(file, grid, rowCount);
  return true;
}

void ShowWinnerFile(const TWinnerFile& file, QTableWidget* grid, int& rowCount) {
  if (!file.exists) return;
  if (grid->rowCount() < 1) grid->setRowCount(1);
  for (size_t j = 0; j < file.head.size(); ++j) {
    const int col = static_cast<int>(j);
    if (grid->columnCount() < col + 1) {
      grid->setColumnCount(col + 1);
      grid->setColumnWidth(col, 160);
    }
    SetGridCell(grid, 0, col, Q(file.head[j]));
  }
  int r = 1;
  for (const std::vector<std::string>& fields : file.rows) {
    grid->setRowCount(r + 1);
    for (int c = 0; c < grid->columnCount(); ++c) SetGridCell(grid, r, c, QString());
    for (size_t d = 0; d < fields.size() && static_cast<int>(d) < grid->columnCount(); ++d)
      SetGridCell(grid, r, static_cast<int>(d), Q(fields[d]));
    ++r;
  }
  rowCount = r - 1;
}
