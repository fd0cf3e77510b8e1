// The rules of a draw task's settings: the checks of a save in the order the operator hears
// them, the insert and update of the LuckTask row, the data status a task shows, and the
// deletion of a task with its prize items and files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/records/Records.h"
#include "core/text/Messages.h"

namespace config {

// The base tab's fields as typed (GBK); a list without a choice is empty (nullopt, -1).
struct TTaskSettings {
  std::string TaskId;  // empty for a task not saved yet
  std::string TaskName;
  std::string MainTitle;
  std::string FontSize;
  std::string FontColor;  // a colour name such as "clWhite"
  std::optional<TDrawType> OrderBy = TDrawType::FromData;
  bool ShowLuck = true;  // ticked: the draw screen lists the winners
  int LuckAgain = 0;
  std::optional<TIdType> IdType = TIdType::Numeric;
  std::string Prob;
  std::string RemainText;
  std::string MainImage;
  std::string MusicFilePath;
  std::string HideBegin;
  std::string HideEnd;
  std::string PassWord;
  std::string DataFilePath;
};

// The control that gets the focus after a refused save.
enum class TaskField {
  None,
  TaskName,
  FontSize,
  OrderBy,
  Prob,
  HideBegin,
  HideEnd,
  IdType,
  LuckAgain
};

// Why a save did not happen. An empty text means nothing is shown: a refusal without a message,
// or a failure that has already been shown (the id allocator's).
struct TTaskFailure {
  MessageKind kind = MessageKind::Attention;
  std::string text;  // GBK
  TaskField focus = TaskField::None;
};

// The largest values the fields take: what their input limits allow, all within the columns.
inline constexpr int32_t kMaxProbability = 99999999;  // 8 digits
inline constexpr int32_t kMaxHidePosition = 99;       // 2 digits
inline constexpr int32_t kMaxFontSize = 99;           // 2 digits
// The up-down control's minimum: a smaller title is a speck on the draw screen.
inline constexpr int32_t kMinFontSize = 10;

// Checks the settings and turns them into the row a save writes (`row.TaskId` only for an
// update). Fills in what the rules fill in: an empty font size becomes "36", the hide
// positions "0" where empty (and both "0" for a probability task).
bool CheckTask(TTaskSettings& s, TLuckTask& row, TTaskFailure& failure);

// Checks and stores: an empty TaskId inserts a new task and puts its new id into `s.TaskId`,
// otherwise the row of that id is updated. After a failed insert `s.TaskId` is empty again.
bool SaveTask(TTaskSettings& s, TTaskFailure& failure);

// Reads one task on the data module's task query; `found` is false when the row is missing.
bool SelectTask(int taskId, TLuckTask& task, bool& found, std::string& error);

// The state of a task's draw data as the window shows it.
enum class DataState { NotNeeded, Imported, NotImported };

DataState DataStateOf(TDrawType orderBy, std::string_view dataFilePath);
std::string DataFlagText(DataState state);   // the base tab's status field
std::string DataLabelText(DataState state);  // the import tab's status line

// Removes the draw data file and the preset-winner files of a deleted task and moves its
// winner files and journals to the results history. A failure to remove the draw data file
// is reported; the others are not.
bool RemoveTaskFiles(int taskId, const std::vector<int>& itemIds, std::string& error);

// Deletes the task's row and its prize items in one transaction (all or nothing), then its
// files with RemoveTaskFiles. `rowsDeleted` tells whether the rows are gone, so a caller can
// tell a failure that left everything in place from one that only left files behind.
bool DeleteTask(int taskId, bool& rowsDeleted, std::string& error);

// Passes a typed character of the digit fields: '0' to '9', Backspace, Enter, Ctrl+C, Ctrl+V
// and Ctrl+X.
bool DigitKeyPasses(char32_t c);

// Index in NamedColours() that a stored colour name selects: its own entry, the entry of
// the same colour, white for a name that does not convert; -1 for a colour that converts
// but is not listed (the caller offers it as it is, so a save keeps it).
int ColourListIndex(std::string_view name);
int WhiteColourIndex();

}  // namespace config
