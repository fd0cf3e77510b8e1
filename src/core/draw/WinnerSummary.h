// What the finished draw screen shows: for each prize item, in draw order, a caption and
// its winners' whole lines (id, name and the other fields), masked as the winners list masks
// them, then its absent winners marked "缺席", in the order they were marked.
#pragma once

#include <string>
#include <vector>

#include "core/draw/StageColumns.h"
#include "core/records/Records.h"

struct TItemSummary {
  std::string caption;               // ItemName, its AwardName when set, and "N名"
  std::vector<std::string> winners;  // masked candidate lines, in draw order
  std::vector<std::string> absent;   // masked candidate lines and " 缺席"
};

std::vector<TItemSummary> WinnerSummary(const TArrLuckItem& items, const TArrLuckId& winners,
                                        int32_t hideBegin, int32_t hideEnd,
                                        const TArrAbsentId& absences = {});
// The same with the lines as the stage's winners list shows them (`columns`).
std::vector<TItemSummary> WinnerSummary(const TArrLuckItem& items, const TArrLuckId& winners,
                                        const TStageColumns& columns, const TArrAbsentId& absences);
