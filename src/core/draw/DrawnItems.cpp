#include "core/draw/DrawnItems.h"

#include <algorithm>
#include <vector>

#include "core/draw/PlanRecords.h"
#include "core/records/Loaders.h"
#include "core/text/Paths.h"

namespace {

// The plan as the draw holds it: the items in their order and which ran out of candidates.
struct Plan {
  TArrLuckItem items;
  std::vector<bool> closed;

  bool Complete(size_t i) const { return items[i].DrawnCount >= items[i].LuckCount || closed[i]; }
  // The item the next batch draws.
  size_t Current() const {
    size_t i = 0;
    while (i < items.size() && Complete(i)) ++i;
    return i;
  }
  size_t IndexOf(int32_t itemId) const {
    size_t i = 0;
    while (i < items.size() && items[i].ItemId != itemId) ++i;
    return i;
  }
  // After a change made with the draw at `from`: the items finished by then move before
  // those still to draw, each group keeping its order.
  void Settle(size_t from) {
    std::vector<size_t> order(items.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_partition(order.begin() + static_cast<std::ptrdiff_t>(from), order.end(),
                          [&](size_t i) { return Complete(i); });
    Plan settled;
    for (size_t i : order) {
      settled.items.push_back(items[i]);
      settled.closed.push_back(closed[i]);
    }
    *this = std::move(settled);
  }
  void Apply(const TPlanRecord& r) {
    const size_t from = Current();
    const size_t at = IndexOf(r.ItemId);
    switch (r.Kind) {
      case TPlanKind::Add: {
        if (at < items.size()) return;
        TLuckItem it;
        it.ItemId = r.ItemId;
        it.ItemName = r.Name;
        it.TaskId = items.empty() ? 0 : items.front().TaskId;
        it.LuckCount = r.LuckCount;
        it.ListCount = r.ListCount;
        it.AwardName = r.Gift;
        items.push_back(std::move(it));
        closed.push_back(false);
        break;
      }
      case TPlanKind::Count:
        if (at >= items.size()) return;
        items[at].LuckCount = r.LuckCount;
        break;
      case TPlanKind::Next:
        if (at >= items.size() || at <= from) return;
        std::rotate(items.begin() + static_cast<std::ptrdiff_t>(from),
                    items.begin() + static_cast<std::ptrdiff_t>(at),
                    items.begin() + static_cast<std::ptrdiff_t>(at) + 1);
        {
          const bool c = closed[at];
          closed.erase(closed.begin() + static_cast<std::ptrdiff_t>(at));
          closed.insert(closed.begin() + static_cast<std::ptrdiff_t>(from), c);
        }
        break;
      case TPlanKind::Named:
        if (at < items.size()) items[at].DrawnCount += static_cast<int32_t>(r.Winners.size());
        return;
      case TPlanKind::Void:
        return;
    }
    Settle(std::min(from, items.size()));
  }
};

}  // namespace

TArrLuckItem ItemsAsDrawn(const TArrLuckItem& planned, const TJournal& journal) {
  Plan plan{planned, std::vector<bool>(planned.size(), false)};
  for (TLuckItem& it : plan.items) it.DrawnCount = 0;
  std::vector<TJournalStep> steps;
  std::vector<TPlanRecord> records;
  std::string ignored;
  if (!JournalSteps(journal, steps, records, ignored)) return planned;
  for (const TJournalStep& step : steps) {
    if (step.kind == TJournalStep::Kind::Plan) {
      plan.Apply(records[step.index]);
    } else if (step.kind == TJournalStep::Kind::Batch) {
      const TJournalBatch& b = journal.Batches[step.index];
      const size_t at = plan.IndexOf(b.ItemId);
      if (at >= plan.items.size()) continue;
      plan.items[at].DrawnCount = b.Drawn;
      if (b.Closed) plan.closed[at] = true;
    }
  }
  return plan.items;
}

bool ReadLastJournal(int32_t taskId, TJournal& journal) {
  const std::string done = paths::FinishedJournalPath(taskId);
  std::string ignored;
  const JournalRead read =
      ReadJournal(paths::FileExists(done) ? done : paths::JournalPath(taskId), journal, ignored);
  return (read == JournalRead::Ok || read == JournalRead::Damaged) && journal.Head.TaskId == taskId;
}

bool LoadItemsAsDrawn(int32_t taskId, TArrLuckItem& items, int32_t& itemCount, int32_t& luckTotal,
                      std::string& error) {
  if (!LoadLuckItems(taskId, items, itemCount, luckTotal, error)) return false;
  TJournal journal;
  if (!ReadLastJournal(taskId, journal)) return true;
  items = ItemsAsDrawn(items, journal);
  itemCount = static_cast<int32_t>(items.size());
  luckTotal = 0;
  for (const TLuckItem& it : items) luckTotal += it.LuckCount;
  return true;
}
