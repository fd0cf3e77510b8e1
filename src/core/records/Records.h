// The record types of a draw task: the task, its prize items, a winner, a preset entry, and
// the typed values of the task's draw type and id type.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// How a task draws (LuckTask.OrderBy).
enum class TDrawType : int32_t {
  FromData = 0,       // from the imported candidate list
  ByProbability = 1,  // one of N numbers per press, no list
};

// What the candidate ids are (LuckTask.IdType): "数字" or "非数字".
enum class TIdType : int32_t {
  Numeric = 0,
  NonNumeric = 1,
};

// The column values: OrderBy 0 draws from the data, any other value by probability; IdType
// 0 is numeric, any other value non-numeric (that is how the draw has always read them).
TDrawType DrawTypeOfColumn(int32_t orderBy);
TIdType IdTypeOfColumn(int32_t idType);
int32_t ColumnOf(TDrawType type);
int32_t ColumnOf(TIdType type);

// One draw task: a row of LuckTask.
struct TLuckTask {
  int32_t TaskId = 0;
  std::string TaskName;
  std::string MainImageName;
  TIdType IdType = TIdType::Numeric;
  std::string MainTitle;
  int32_t FontSize = 0;
  std::string FontColor;
  std::string RemainText;
  int32_t HideBegin = 0;
  int32_t HideEnd = 0;
  std::string PassWd;
  TDrawType OrderBy = TDrawType::FromData;
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

// A revealed winner who was absent, and the replacement drawn for the place.
struct TAbsentId {
  int32_t ItemId = 0;
  int32_t TaskId = 0;
  int32_t Place = 0;  // the place among all winners, in draw order
  int32_t CandidateIndex = 0;
  std::string CandidateLine;
  int32_t ReplacementIndex = 0;
  std::string ReplacementLine;
};
using TArrAbsentId = std::vector<TAbsentId>;  // in the order marked

using TArraySring = std::vector<std::string>;
