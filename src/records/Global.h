// Record types of the current draw and the shared draw data of the process.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One draw task: a row of LuckTask.
struct TLuckTask {
  int32_t TaskId = 0;
  std::string TaskName;
  std::string MainImageName;
  int32_t IdType = 0;
  std::string MainTitle;
  int32_t FontSize = 0;
  std::string FontColor;
  std::string RemainText;
  int32_t HideBegin = 0;
  int32_t HideEnd = 0;
  std::string PassWd;
  int32_t OrderBy = 0;
  std::string DataFilePath;
  int32_t LuckAgain = 0;
  std::string MusicFilePath;
  int32_t ShowLuck = 0;
};

// The columns of a TaskItem row but its ListIndex.
struct TItemRecord {
  int32_t ItemId = 0;
  std::string ItemName;
  int32_t TaskId = 0;
  int32_t LuckCount = 0;
  int32_t ListCount = 0;
  std::string AwardName;
  std::string AwardImageName;
};

// One prize item: a row of TaskItem (without ListIndex) and the counters of a draw.
struct TLuckItem : TItemRecord {
  int32_t DrawnCount = 0;
  int32_t FirstNumber = 0;
  int32_t LastNumber = 0;
};
using TArrLuckItem = std::vector<TLuckItem>;

// One winner, in the order drawn.
struct TLuckId {
  int32_t ItemId = 0;
  int32_t TaskId = 0;
  int32_t CandidateIndex = 0;
  std::string CandidateLine;
};
using TArrLuckId = std::vector<TLuckId>;

// One preset entry of a prize item.
struct TCheatId {
  bool Used = false;
  int32_t TaskId = 0;
  int32_t ItemId = 0;
  std::string IdText;
};
using TArrCheatId = std::vector<TCheatId>;

using TArraySring = std::vector<std::string>;

namespace global {

// Draw types of LuckTask.OrderBy.
inline constexpr int32_t kDrawFromData = 0;
inline constexpr int32_t kDrawByProbability = 1;

extern int32_t CurrentTaskId;
extern TLuckTask CurrentTask;
extern TArrLuckItem CurrentItems;
extern int32_t ItemCount;
extern int32_t LuckTotal;
extern TArraySring CandidateLines;
extern int32_t CandidateCount;
extern int32_t IdMaxLength;
extern TArrLuckId WinnerRecords;
extern TArrCheatId PresetEntries;

}  // namespace global
