#include "core/draw/WinnerSummary.h"

#include "core/draw/DataDraw.h"
#include "core/text/Gbk.h"

std::vector<TItemSummary> WinnerSummary(const TArrLuckItem& items, const TArrLuckId& winners,
                                        int32_t hideBegin, int32_t hideEnd,
                                        const TArrAbsentId& absences) {
  return WinnerSummary(items, winners, TStageColumns({}, {}, true, hideBegin, hideEnd), absences);
}

std::vector<TItemSummary> WinnerSummary(const TArrLuckItem& items, const TArrLuckId& winners,
                                        const TStageColumns& columns,
                                        const TArrAbsentId& absences) {
  std::vector<TItemSummary> out;
  out.reserve(items.size());
  for (const TLuckItem& item : items) {
    TItemSummary s;
    for (const TLuckId& w : winners) {
      if (w.ItemId == item.ItemId) s.winners.push_back(columns.ListLine(w.CandidateLine));
    }
    for (const TAbsentId& a : absences) {
      if (a.ItemId == item.ItemId)
        s.absent.push_back(columns.ListLine(a.CandidateLine) + " " + text::G("缺席"));
    }
    s.caption = item.ItemName;
    if (!item.AwardName.empty()) s.caption += " " + item.AwardName;
    s.caption += " " + std::to_string(s.winners.size()) + text::G("名");
    out.push_back(std::move(s));
  }
  return out;
}
