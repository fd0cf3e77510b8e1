// Decisions of the results window that need no screen.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/records/Records.h"
#include "core/records/WinnerFiles.h"

namespace query {

// The ItemId to export: the selected item's when only the selected item is to be exported and
// `selected` lies inside `items`; otherwise -1, every item of the task.
int ExportScope(bool onlySelected, int selected, const TArrLuckItem& items);

// Whether `hay` contains `needle` (both GBK), Latin letters compared without regard to case;
// a match starts on a character, never inside a two-byte one.
bool ContainsText(std::string_view hay, std::string_view needle);

// The winner row (0 for the first winner) that 查找 moves to: the first one after `selected`
// with a field containing `needle`, walking down to the last row, then from the first row
// round to `selected` itself. -1 when none matches or `needle` is empty.
int FindWinnerRow(const std::vector<std::vector<std::string>>& rows, int selected,
                  std::string_view needle);

// Where 查找 lands when it looks in every prize item: the item's index and the winner row in
// it (0 for its first winner).
struct TWinnerHit {
  int item = -1;
  int row = -1;
  bool operator==(const TWinnerHit&) const = default;
};

// The first winner after row `row` of item `item` with a field containing `needle`: down that
// item, then through the following items' winners in order, round to the first item and back
// to (`item`, `row`) itself. `items` holds each item's winner rows. {-1, -1} when none
// matches or `needle` is empty. A start outside the items begins at the first item's first
// row.
TWinnerHit FindWinnerInItems(const std::vector<std::vector<std::vector<std::string>>>& items,
                             int item, int row, std::string_view needle);

// The rows 查找 looks in for one prize item, in the order the grid shows them: its winners,
// then, when it has absent winners, the line that heads them (no fields) and each absent
// winner's fields. Row k stands in grid row k + 1.
std::vector<std::vector<std::string>> SearchRows(const TWinnerFile& winners,
                                                 const TAbsentFile& absent);

// What 领取 in the results window says once the claim is on record (GBK):
// "已登记领取：13800000002 李四，奖项[一等奖]，2026-12-10 20:31:05，结果查询".
std::string ClaimRecordedText(std::string_view id, std::string_view name, std::string_view itemName,
                              std::string_view time, std::string_view desk);

// "未找到".
std::string NotFoundText();
// "该奖项尚未抽取": what an item without a winner file shows.
std::string NotDrawnText();

// Whether an export of `itemId` (-1: every item) would write any winner: some item in scope
// has a winner file.
bool HasWinnersToExport(const TArrLuckItem& items, int itemId);
// What an export with nothing to write says instead.
std::string NothingToExportText(int itemId);

// The name the save dialog proposes (GBK, without extension): the task name, the item name
// when only one item is exported, and the date (yyyymmdd), joined by '_'; characters that a
// file name cannot hold become '_'.
std::string ExportFileName(const TLuckTask& task, const TLuckItem* onlyItem, std::string_view date);

// The name the audit package's save dialog proposes (GBK, without extension):
// "<task>_审计包_<date>", characters that a file name cannot hold as '_'.
std::string AuditFileName(const TLuckTask& task, std::string_view date);

// "共(<count>)名".
std::string WinnerCountText(int count);

enum class ExportKind { Text, Excel };

// The extension the save dialog asks for.
const char* ExportExtension(ExportKind kind);
// The name of the file type in the save dialog (UTF-8).
const char* ExportTypeName(ExportKind kind);

// The message after a successful export, ending with the path written (GBK).
std::string ExportDoneText(ExportKind kind, std::string_view gbkPath);

}  // namespace query
