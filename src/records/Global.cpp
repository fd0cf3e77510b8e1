#include "records/Global.h"

namespace global {

int32_t CurrentTaskId = 0;
TLuckTask CurrentTask;
TArrLuckItem CurrentItems;
int32_t ItemCount = 0;
int32_t LuckTotal = 0;
TArraySring CandidateLines;
int32_t CandidateCount = 0;
int32_t IdMaxLength = 0;
TArrLuckId WinnerRecords;
TArrCheatId PresetEntries;

}  // namespace global
