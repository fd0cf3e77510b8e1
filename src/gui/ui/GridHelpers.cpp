#include "gui/ui/GridHelpers.h"

#include <QTableWidget>

#include "core/text/Text.h"
#include "gui/ui/Qt.h"

QString GridCell(const QTableWidget* grid, int row, int column) {
  const QTableWidgetItem* it = grid->item(row, column);
  return it ? it->text() : QString();
}

void SetGridCell(QTableWidget* grid, int row, int column, const QString& text) {
  if (QTableWidgetItem* it = grid->item(row, column)) {
    it->setText(text);
  } else {
    grid->setItem(row, column, new QTableWidgetItem(text));
  }
}

void GridDeleteRow(QTableWidget* grid, int row) {
  if (row <= 0 || row >= grid->rowCount()) return;
  if (grid->rowCount() == 2) {
    for (int c = 0; c < grid->columnCount(); ++c) SetGridCell(grid, 1, c, QString());
    return;
  }
  grid->removeRow(row);
}

void GridAppendLine(const std::string& line, char separator, QTableWidget* grid) {
  int t = grid->rowCount() - 1;
  if (t < 0 || !GridCell(grid, t, 0).isEmpty()) {
    grid->setRowCount(grid->rowCount() + 1);
    t = grid->rowCount() - 1;
  }
  const std::vector<std::string> fields = text::SplitFields(line, separator);
  for (size_t j = 0; j < fields.size() && static_cast<int>(j) < grid->columnCount(); ++j)
    SetGridCell(grid, t, static_cast<int>(j), Q(fields[j]));
}
