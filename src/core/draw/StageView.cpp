#include "core/draw/StageView.h"

#include "core/draw/DrawOpenings.h"
#include "core/draw/DrawTexts.h"
#include "core/draw/StageText.h"
#include "core/records/ListTree.h"
#include "core/records/WinnerPhotos.h"
#include "core/text/Gbk.h"
#include "core/text/Text.h"

using text::G;

namespace stageview {

TStageCardText CardOf(const std::string& candidateLine, bool numericIds, int32_t taskId) {
  return CardOf(candidateLine,
                TStageColumns(std::string_view(), std::string_view(), numericIds, 0, 0), taskId);
}

TStageCardText CardOf(const std::string& candidateLine, const TStageColumns& columns,
                      int32_t taskId) {
  const TWinnerCard c = columns.Card(candidateLine);
  // The photo is stored under the id, shown or not.
  return {c.id, c.name, c.rest, photos::PhotoOf(taskId, text::FirstField(candidateLine))};
}

void NamedTexts(const TDataDraw& e, int32_t itemId, TStageReveal& reveal) {
  for (const TLuckItem& item : e.Session().Items) {
    if (item.ItemId != itemId) continue;
    reveal.named = true;
    reveal.grandItem = StagePunctuation(item.ItemName) + G("　") + NamedWords();
    reveal.grandGift =
        item.AwardName.empty() ? std::string() : G("奖品：") + StagePunctuation(item.AwardName);
  }
}

std::string NamedWords() { return G("指定颁奖"); }

TStageReveal RevealOf(const TDataDraw& e, const std::vector<size_t>& places) {
  TStageReveal r;
  const TStageColumns& columns = e.Columns();
  const TArrLuckId& winners = e.Session().Winners;
  std::vector<std::string> lines;
  for (size_t p : places)
    if (p < winners.size()) lines.push_back(winners[p].CandidateLine);
  // More than six winners show their ids and names as lines; fewer stand on cards.
  if (lines.size() > kMaxCards) {
    for (const std::string& line : lines) r.lines.push_back(columns.ShortLine(line));
    return r;
  }
  for (const std::string& line : lines)
    r.cards.push_back(CardOf(line, columns, e.Session().Task.TaskId));
  // A replacement's card says so, before the fields the list gives.
  const std::optional<size_t> replaced = e.LastReplacedPlace();
  if (replaced && places.size() == 1 && places.front() == *replaced && r.cards.size() == 1) {
    std::string& rest = r.cards.front().rest;
    rest = G("替补") + (rest.empty() ? std::string() : " " + rest);
    return r;
  }
  if (!r.cards.empty() && e.IsNamedItem(winners[places.front()].ItemId))
    NamedTexts(e, winners[places.front()].ItemId, r);
  return r;
}

std::vector<size_t> RevealedPlaces(const TDataDraw& e) {
  if (const std::optional<size_t> replaced = e.LastReplacedPlace()) return {*replaced};
  return e.LastBatchPlaces();
}

bool Celebrates(size_t picks, int itemIndex, int itemCount) {
  return picks > 0 && (picks == 1 || itemIndex == itemCount - 1);
}

std::string PrizeText(const TDataDraw& e, int itemIndex) {
  const TArrLuckItem& items = e.Session().Items;
  if (itemIndex < 0 || itemIndex >= static_cast<int>(items.size())) return {};
  const TLuckItem& item = items[static_cast<size_t>(itemIndex)];
  const std::string prize = drawtext::Prize(item);
  // Under rules the prize line keeps the item's rules in sight for all its batches.
  const std::string rules = e.RulesLine(itemIndex);
  if (rules.empty()) return prize;
  return (prize.empty() ? item.ItemName : prize) + G("　") + rules;
}

std::string ProofText(const TDataDraw& e) {
  const std::vector<std::string>& lines = e.Session().CandidateLines;
  return VoucherText(e.JournalHead(), lines.size(), listtree::HashHex(listtree::ListRoot(lines)));
}

std::string HintText(const TDataDraw& e) {
  std::string hint = StagePunctuation(e.Session().Task.RemainText);
  if (e.MayMarkAbsent()) hint += (hint.empty() ? std::string() : "    ") + G("缺席按Q");
  return hint;
}

std::string PersonText(const TDataDraw& e, size_t place) {
  if (place >= e.Session().Winners.size()) return {};
  const std::string& line = e.Session().Winners[place].CandidateLine;
  const TWinnerCard card = e.Columns().Card(line);
  const TLuckTask& task = e.Session().Task;
  // The id as the winners list masks it; an id that is the name is the name already.
  const std::string id =
      card.id.empty() ? std::string() : MaskId(CandidateId(line), task.HideBegin, task.HideEnd);
  if (card.name.empty()) return id;
  if (id.empty()) return card.name;
  return card.name + G("（") + id + G("）");
}

std::string ChoiceText(const TDataDraw& e, size_t place) {
  if (place >= e.Session().Winners.size()) return {};
  const TLuckId& w = e.Session().Winners[place];
  return G("标记缺席:[") + ItemNameOf(e.Session().Items, w.ItemId) + G("]") + PersonText(e, place) +
         G("  ↑↓选择,数字键选本批第几名,回车确认,Esc取消");
}

std::vector<TItemSummary> SummaryItems(const TDataDraw& e) {
  std::vector<TItemSummary> items =
      WinnerSummary(e.Session().Items, e.Session().Winners, e.Columns(), e.Session().Absences);
  for (TItemSummary& s : items) {
    s.caption = StagePunctuation(s.caption);
    if (e.Session().Task.ShowLuck == 1)
      s.winners.clear();
    else
      s.winners.insert(s.winners.end(), s.absent.begin(), s.absent.end());
    s.absent.clear();
  }
  return items;
}

NextItem NextItemTexts(const TDataDraw& e, int itemIndex) {
  const TArrLuckItem& items = e.Session().Items;
  if (itemIndex < 0 || itemIndex >= static_cast<int>(items.size())) return {};
  const TLuckItem& it = items[static_cast<size_t>(itemIndex)];
  NextItem n{it.ItemName, G("共") + std::to_string(it.LuckCount) + G("名"), e.RulesLine(itemIndex)};
  if (!it.AwardName.empty()) n.gift += G("　奖品：") + it.AwardName;
  // Said before anything happens: this prize is handed out, not drawn.
  if (e.IsNamedItem(it.ItemId)) n.gift = NamedWords() + G("　") + n.gift;
  return n;
}

TStageBand BandOf(const TDataDraw& e, int itemIndex) {
  const NextItem n = NextItemTexts(e, itemIndex);
  // The item's rules follow its count and gift on their line.
  return {n.item, n.rules.empty() ? n.gift : n.gift + G("　") + n.rules};
}

std::string ChangeText(const TDataDraw& e, const TPlanRecord& r, const std::string& person) {
  return StagePunctuation(plantext::Band(r, ItemNameOf(e.Session().Items, r.ItemId), person));
}

TStageBand ChangeBand(const TDataDraw& e, const std::string& change, int itemIndex) {
  const NextItem n = NextItemTexts(e, itemIndex);
  if (n.item.empty()) return {StagePunctuation(change), {}};
  return {StagePunctuation(change), StagePunctuation(G("接下来：") + n.item + G("　") + n.gift)};
}

std::string ChangeWaits() { return G("正在抽奖,请在本批揭晓后再修改奖项"); }
std::string VoidWaits() { return G("正在抽奖,请在本批揭晓后再作废"); }

std::string ListLine(const std::string& line) {
  if (line.empty() || line.back() != ':') return line;
  return line.substr(0, line.size() - 1) + G("：");
}

std::vector<std::string> ListLines(const TRevealedList& list) {
  std::vector<std::string> out;
  out.reserve(list.lines.size());
  for (const TRevealedLine& l : list.lines) out.push_back(ListLine(l.text));
  return out;
}

std::string AudienceText(const std::string& number) {
  if (number.empty()) return G("现场号码（可选）：输入数字后按回车开始");
  return G("现场号码：") + number + G("    按回车开始");
}

void GrandTexts(const TDataDraw& e, TStageReveal& reveal) {
  const TArrLuckItem& items = e.Session().Items;
  // A named award keeps its own title, which says so.
  if (items.empty() || reveal.named) return;
  reveal.grandItem = StagePunctuation(items.back().ItemName);
  reveal.grandGift = items.back().AwardName.empty()
                         ? std::string()
                         : G("奖品：") + StagePunctuation(items.back().AwardName);
}

}  // namespace stageview
