// Decisions of the results window that need no screen.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "records/Records.h"

namespace query {

// The ItemId to export: the selected item's when only the selected item is to be exported and
// `selected` lies inside `items`; otherwise -1, every item of the task.
int ExportScope(bool onlySelected, int selected, const TArrLuckItem& items);

// The first row at or below `selected` whose column-0 text (GBK; row 0 is the head row and
// never matches) contains `needle`, byte for byte; -1 when there is none. The walk starts at
// the selected row itself, so a match above it is not found.
int FindRowFrom(const std::vector<std::string>& column0, int selected, std::string_view needle);

// "共(<count>)名".
std::string WinnerCountText(int count);

enum class ExportKind { Text, Excel };

// The extension the save dialog asks for.
const char* ExportExtension(ExportKind kind);

// The message after a successful export, ending with the path written (GBK).
std::string ExportDoneText(ExportKind kind, std::string_view gbkPath);

}  // namespace query
