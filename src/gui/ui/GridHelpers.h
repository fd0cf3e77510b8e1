// Moving lines into and out of a grid whose row 0 is the head row.
#pragma once

#include <QString>
#include <string>

class QTableWidget;

// Row 0 stays; the only data row is emptied rather than removed.
void GridDeleteRow(QTableWidget* grid, int row);

// Puts the fields of a GBK line into the last row when its first cell is empty, otherwise
// into a new row. The first field ends at `separator`, the others at blanks; the column
// count does not change.
void GridAppendLine(const std::string& line, char separator, QTableWidget* grid);

// Cell text, empty for a cell without an item.
QString GridCell(const QTableWidget* grid, int row, int column);
void SetGridCell(QTableWidget* grid, int row, int column, const QString& text);
