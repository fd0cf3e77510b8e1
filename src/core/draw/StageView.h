// The texts of the data draw screen, made from the draw's data: pure functions the stage
// fills its frames with, so that every text reaches the screen finished. Each reads only
// what it is given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/draw/DataDraw.h"
#include "core/draw/PlanRecords.h"
#include "core/draw/StageColumns.h"
#include "core/draw/StageFrame.h"
#include "core/draw/StageObserver.h"
#include "core/draw/WinnerSummary.h"

namespace stageview {

// Up to this many winners stand on cards; more show as lines.
inline constexpr size_t kMaxCards = 6;

// The card of a candidate line: an id that is not a number is the winner's name, and every
// other field follows it.
TStageCardText CardOf(const std::string& candidateLine, bool numericIds, int32_t taskId);
// The card as `columns` show it: the name by the list's 姓名 column, only shown columns.
TStageCardText CardOf(const std::string& candidateLine, const TStageColumns& columns,
                      int32_t taskId);
// The reveal of the winners at `places` (draw order) of `e`: the one source of the live and
// the resumed reveal. A replacement alone on its card says 替补.
TStageReveal RevealOf(const TDataDraw& e, const std::vector<size_t>& places);
// The winners on the cards now: the replacement alone, or the last batch. What the number
// keys choose.
std::vector<size_t> RevealedPlaces(const TDataDraw& e);
// The grand prize (the last item) and a winner drawn alone are celebrated at the reveal.
bool Celebrates(size_t picks, int itemIndex, int itemCount);
// The item's prize line: ItemName + "奖品:" + AwardName, or empty; under rules followed by a
// full-width blank and the item's rules line (the item's name for an empty award). Before
// stage punctuation, as the host's page shows it.
std::string PrizeText(const TDataDraw& e, int itemIndex);
// The line the audience can photograph before the draw: the list's fingerprint, the number
// of candidates, for a draw of those checked in their fingerprint and number, and the
// commitment, shortened.
std::string ProofText(const TDataDraw& e);
// The hint line: the task's text and, while a winner may be marked absent, 缺席按Q.
std::string HintText(const TDataDraw& e);
// The winner at `place` as the hall may read it: the name as the stage shows it and the id
// masked by the task's mask, "张三（138XXXX5678）"; either alone when the other is not shown.
std::string PersonText(const TDataDraw& e, size_t place);
// The status line while choosing the winner at `place` (before stage punctuation).
std::string ChoiceText(const TDataDraw& e, size_t place);
// The summary's items: each caption (stage punctuation applied) with the winners it lists,
// the absent ones after them; a task that hides its winners list shows only how many each
// item has.
std::vector<TItemSummary> SummaryItems(const TDataDraw& e);
// The band before a batch: the prize item that comes next, its count and gift, and the
// short line of its rules (empty without rules); all empty for an index that names no item.
struct NextItem {
  std::string item;
  std::string gift;
  std::string rules;
};
NextItem NextItemTexts(const TDataDraw& e, int itemIndex);
// The band's two lines as the screen shows them: the item, and its gift with the rules.
TStageBand BandOf(const TDataDraw& e, int itemIndex);
// What the stage tells of a change to the plan or a void (plantext::Band, the item named
// by `r.ItemId`, `person` the voided winner as the hall may read it), finished.
std::string ChangeText(const TDataDraw& e, const TPlanRecord& r, const std::string& person);
// The band after a change: the change, and the item drawn next (`itemIndex`) with its count
// and gift, "接下来：特别奖　共3名　奖品：手机".
TStageBand ChangeBand(const TDataDraw& e, const std::string& change, int itemIndex);
// The refusals of a change or a void while the stage is busy.
std::string ChangeWaits();
std::string VoidWaits();
// A winners-list line as the stage shows it: a prize item's caption ends in a full-width
// colon; a winner's line stays exactly as it is.
std::string ListLine(const std::string& line);
std::vector<std::string> ListLines(const TRevealedList& list);
// The Ready screen's line for the audience's number `number` (digits, possibly none).
std::string AudienceText(const std::string& number);
// The grand prize's screen's texts of the last item: its name and "奖品：<gift>", finished;
// a named award's reveal keeps its own.
void GrandTexts(const TDataDraw& e, TStageReveal& reveal);
// The words that say a prize is handed out by name, not drawn: 指定颁奖.
std::string NamedWords();
// The card of item `itemId`'s named award: `reveal` is marked named, titled by the item's
// name and NamedWords, with its "奖品：<gift>" line, finished.
void NamedTexts(const TDataDraw& e, int32_t itemId, TStageReveal& reveal);

}  // namespace stageview
