// The shared draw data of the process.
#pragma once

#include <cstdint>

#include "records/Records.h"

namespace global {

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
