// The rules of a task's prize items: the checks of a save, insert and update, deletion and
// the draw order (ListIndex 1, 2, … n in the order of the list).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/records/Records.h"
#include "core/text/Messages.h"

namespace config {

// The prize item fields as typed (GBK).
struct TItemSettings {
  std::string TaskId;  // the task shown in the base tab
  std::string ItemId;  // empty for a new item
  std::string Name;
  std::string LuckCount;
  std::string ListCount;
  std::string AwardName;
  std::string AwardImage;
};

enum class ItemField { None, Name, LuckCount, ListCount };

struct TItemFailure {
  MessageKind kind = MessageKind::Attention;
  std::string text;  // GBK; empty: nothing to show
  ItemField focus = ItemField::None;
};

inline constexpr int32_t kMaxItemCount = 9999999;  // 7 digits

// One TaskItem row.
struct TItemRow : TItemRecord {
  int32_t ListIndex = 0;
};

// Checks the fields. For a probability task the per-press count takes the total count.
bool CheckItem(TItemSettings& s, bool probabilityTask, TItemFailure& failure);

// Checks and stores the item. An empty ItemId inserts it last in the draw order (ListIndex =
// `itemCount` + 1, the number of items the task has) and puts its new id into `s.ItemId`;
// otherwise the row is updated and keeps its ListIndex. A name that another item of the task
// already has is refused. After a failed statement `s.ItemId` is empty, so the next save
// inserts.
bool SaveItem(TItemSettings& s, bool probabilityTask, int itemCount, TItemFailure& failure);

// The items of a task in draw order, on the data module's prize item query.
bool SelectItems(int taskId, std::vector<TItemRow>& rows, std::string& error);

// The item of a task with that name; `found` false when there is none.
bool SelectItemByName(int taskId, const std::string& name, TItemRow& row, bool& found,
                      std::string& error);

// Writes ListIndex = position + 1 for the line at `a`, then for the line at `b`, or with b
// negative for every line after a. All in one transaction: on failure nothing is written.
bool RenumberItems(int taskId, const std::vector<std::string>& lines, int a, int b,
                   std::string& error);

// Deletes the item and renumbers `remaining` (the list without it) from position `from` on,
// in one transaction. The item's winner and preset-winner files stay on disk.
bool DeleteItem(int taskId, int itemId, const std::vector<std::string>& remaining, int from,
                std::string& error);

// What the preset-winner editor is opened with, all trimmed.
struct TPresetEditorArgs {
  int32_t TaskId = 0;
  std::string TaskName;  // GBK
  int32_t ItemId = 0;
  std::string ItemName;          // GBK
  std::string ImportedDataFile;  // GBK path of the task's draw data file
  int32_t LuckCount = 0;
};

}  // namespace config
