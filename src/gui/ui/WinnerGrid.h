// Shows a winner file in a grid whose row 0 is the head row.
#pragma once

#include <string>

class QTableWidget;
struct TWinnerFile;

// Shows a read winner file: head row and winner rows as LoadWinnerFile below does.
void ShowWinnerFile(const TWinnerFile& file, QTableWidget* grid, int& rowCount);

// Fills the head row from the title line (columns grow to the head's fields, new ones 160
// wide, never removed) and rows 1 … from the winners (data rows add no columns). A missing
// file leaves the grid and `rowCount` untouched. True also with the too-many-winners warning
// in `error`.
bool LoadWinnerFile(int taskId, int itemId, QTableWidget* grid, std::string& error, int& rowCount);
