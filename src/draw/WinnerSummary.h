// What the finished draw screen shows: for each prize item, in draw order, a caption and
// its winners' whole lines (id, name and the other fields), masked as the winners list masks
// them.
#pragma once

#include <string>
#include <vector>

#include "records/Records.h"

struct TItemSummary {
  std::string caption;               // ItemName, its AwardName when set, and "N名"
  std::vector<std::string> winners;  // masked candidate lines, in draw order
};

std::vector<TItemSummary> WinnerSummary(const TArrLuckItem& items, const TArrLuckId& winners,
                                        int32_t hideBegin, int32_t hideEnd);
