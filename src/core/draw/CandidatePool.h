// Who may still win in a draw from imported data: the candidates drawn and marked absent,
// the preset lists and their queues per prize item, and the count of those who may still
// win at random. The engine asks the pool and tells it what happened.
//
// A pool may carry the draw's rules (UseRules): who may win each prize item (conditions on
// fields), quotas per field value, other tasks' winners left out, and tickets. Without rules
// every pick is exactly the flat draw's. With rules each item has an index of those who may
// win it and a tree of their tickets, so a pick costs a logarithm of the list, not a search
// through it; docs/verify.md states the pick rule an outside checker replays.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/draw/DrawRules.h"
#include "core/draw/Random.h"
#include "core/records/Records.h"

// The rules of a draw as the pool applies them, with what they need from outside the list.
struct TPoolRules {
  TTaskRules Rules;
  std::string TitleLine;                 // the draw data's title line: heads of the fields
  std::vector<std::string> ExcludedIds;  // ids of the excluded tasks' current winners
  // Only those checked in may win: the ids of `PresentIds`; every other candidate is left
  // out as an excluded one is.
  bool CheckinOnly = false;
  std::vector<std::string> PresentIds;
};

// The fields of a candidate or title line, as text::SplitFields gives them, without copies.
std::vector<std::string_view> FieldViews(std::string_view line);

// What the rules fix about each candidate of one list (field values, tickets, exclusion),
// worked out once per set-up and shared by every pool built over the list.
class TRulesIndex;

// Indexes `rules` over `lines`. Null with a GBK error when a rule names a field the title
// line lacks, a candidate's tickets are not a whole number >= 0, or all tickets together
// exceed 2^63 - 1; null without error for empty rules and no check-in.
std::shared_ptr<const TRulesIndex> IndexRules(const TArraySring& lines, const TPoolRules& rules,
                                              std::string& error);

// What shuts a candidate out of a prize item for the whole draw, the first found in this
// order: a condition of the item (`condition` its place among them), no tickets, a win in
// an excluded task, an exclusion list (the task's or the item's), not checked in.
enum class TRuleBar { None, Condition, NoTickets, ExcludedTask, ExcludedList, NotCheckedIn };
struct TRuleVerdict {
  TRuleBar bar = TRuleBar::None;
  size_t condition = 0;
};

// The one eligibility rule, which the pool draws by and the configuration's checks count
// by: candidate `k` of the indexed lines against item `itemId` (an item without rules of
// its own keeps only the task's). Quotas and earlier winners move during the draw and are
// the pool's (MayWin).
TRuleVerdict RuleVerdict(const TRulesIndex& index, int32_t itemId, int32_t k);

// The candidates of the indexed lines that an exclusion list (the task's or item `itemId`'s)
// shuts out of the item: people of this list, not the ids the lists name.
int64_t ListedCandidates(const TRulesIndex& index, int32_t itemId);

class TCandidatePool {
 public:
  TCandidatePool();
  // A fresh pool over `lines`: nobody drawn or absent, every preset queue at its first
  // entry and every entry of `presets` unused. The pool keeps `presets` by reference and
  // marks its entries used as their queues move on. `luckAgain`: repeated winning is on.
  TCandidatePool(const TArraySring& lines, TArrCheatId& presets, bool luckAgain);
  ~TCandidatePool();
  TCandidatePool(TCandidatePool&&) noexcept;
  TCandidatePool& operator=(TCandidatePool&&) noexcept;

  // Puts the rules indexed over the same lines on a fresh pool, before any pick; null
  // leaves it a flat draw.
  void UseRules(std::shared_ptr<const TRulesIndex> index);
  bool HasRules() const { return m_rules != nullptr; }

  // An item added during the draw keeps rules of its own besides the draw's: `own` indexes
  // them over the same lines (IndexRules with only that item's conditions and exclusion
  // list). Every question about the item (MayWin, MayReplace, MayPick, the picks, the roll,
  // RuleEligibleCount) then asks them too, the draw's rules or the flat draw as before.
  void GiveItemRules(int32_t itemId, std::shared_ptr<const TRulesIndex> own);

  // Candidate `k` may win item `itemId` now: it is a candidate index, not marked absent,
  // and not drawn yet unless repeated winning is on; with rules, it also keeps the item's
  // conditions, is not excluded, has tickets, and neither quota of its values is full.
  bool MayWin(int32_t k, int32_t itemId) const;
  // Candidate `k` may replace the absent winner `absent` of item `itemId`: it may win, is
  // not `absent`, and its line is on no preset list (presets force winners into batches
  // only; a replacement is drawn at random). With rules the quotas are counted without the
  // absent winner, whose place is being filled.
  bool MayReplace(int32_t k, int32_t absent, int32_t itemId) const;

  // A pick for the item can still give a winner: someone may win at random, or an unused
  // preset entry of the item names someone who may win.
  bool MayPick(int32_t itemId) const;
  // The next winner for the item: the item's preset entries in load order first (each used
  // up whatever follows), then candidates at random from those on no preset list. -1 when
  // nobody is left (MayPick false). Not marked drawn: MarkDrawn does that.
  int32_t Pick(int32_t itemId, TRandom& rng);
  // One replacement for the absent winner `absent` of item `itemId`, at random; -1 (and no
  // number drawn) when nobody is left to replace.
  int32_t PickReplacement(int32_t absent, int32_t itemId, TRandom& rng) const;

  // `k` won item `itemId`: it leaves the pool unless repeated winning is on, and counts
  // against the quotas of its values.
  void MarkDrawn(int32_t k, int32_t itemId = 0);
  // `absent` never wins again in this draw; `replacement` took its place at item `itemId`
  // (the quotas count the replacement instead of the absent winner).
  void MarkAbsent(int32_t absent, int32_t replacement, int32_t itemId = 0);
  // The winner `voided` of item `itemId` no longer holds its place: the quotas stop counting
  // it, and `replacement` (-1: none) takes the place as a winner. Unlike an absent winner,
  // a voided one is not shut out: with repeated winning on it may win again.
  void MarkVoided(int32_t voided, int32_t replacement, int32_t itemId);
  // `k` is named for an award (指定颁奖): without repeated winning it leaves the random
  // draw now, before its award; MarkDrawn counts it when the award is made.
  void Reserve(int32_t k);

  // With rules: one roll tick's id for item `itemId`, one number drawn whatever the pool
  // holds: uniform among those who may still win the item at random; -1 when nobody is
  // left. Without rules: -1 and nothing drawn (the flat roll draws from every line).
  int32_t RollPick(int32_t itemId, TRandom& rng);
  // With rules: those who may replace `absent` at item `itemId`, ascending, for the
  // replacement's roll. Empty without rules.
  std::vector<int32_t> ReplacementChoices(int32_t absent, int32_t itemId) const;
  // With rules: how many candidates keep the item's conditions, exclusion and tickets
  // (quotas and earlier winners aside), preset lines included.
  int64_t RuleEligibleCount(int32_t itemId) const;
  // With rules: the most winners the quotas let the item have among those
  // (RuleEligibleCount): for the item's quota and for the task's, the sum over the quota
  // field's values of min(eligible with that value, max); the smaller of the two.
  // RuleEligibleCount when there is no quota.
  int64_t RuleQuotaReach(int32_t itemId) const;
  // With a task quota: the most winners it lets all of `itemIds` have together, counted
  // over those who keep the rules of any of them. INT64_MAX without a task quota.
  int64_t TaskQuotaReach(const std::vector<int32_t>& itemIds) const;
  // The item's preset entries that name nobody who keeps its rules (conditions, exclusion,
  // tickets): they are never drawn.
  int32_t PresetsAgainstRules(int32_t itemId) const;
  // Preset entries passed over so far because their candidate could not win then.
  int32_t PresetsSkipped(int32_t itemId) const;

  // Exactly counted candidates that may still win at random.
  int64_t RandomCount() const { return m_randomCount; }
  // Those on no preset list who may still win item `itemId` at random now (MayWin): the
  // flat draw's count, with rules the item's own (quotas, check-in, absences and voids
  // counted as the pick counts them).
  int64_t MayWinCount(int32_t itemId) const;
  bool IsPreset(int32_t k) const;

  // The item's preset entries used up so far.
  int32_t PresetsUsed(int32_t itemId) const;
  // Moves the item's queue on to `used` entries, marking them used (a journal's replay).
  // False, and nothing changes, when `used` lies before the queue or beyond its entries.
  bool UsePresetsTo(int32_t itemId, int32_t used);

 private:
  struct PresetQueue {
    std::vector<size_t> entries;  // indices into the preset entries, in load order
    size_t next = 0;
  };

  struct Rules;

  bool InRange(int32_t k) const { return k >= 0 && static_cast<size_t>(k) < m_drawn.size(); }
  // Not absent, and not drawn unless repeated winning is on.
  bool DynamicOk(int32_t k) const;
  int32_t RulesPick(int32_t itemId, TRandom& rng);
  // Makes `itemId` the item whose index and trees are kept.
  void Activate(int32_t itemId);
  // Sets the weight of the active item's member at `pos` (or of candidate `k`, or of every
  // member with the value `v` of a quota field) to what it may win now.
  void Refresh(size_t pos);
  void RefreshCandidate(int32_t k);
  void RefreshItemGroup(int32_t v);
  void RefreshTaskGroup(int32_t v);
  // Counts k once more (+1) or once less (−1) as a winner of `itemId`, refreshing whom
  // that lets in or shuts out.
  void Count(int32_t k, int32_t itemId, int32_t delta);

  // The added item's own rules let `k` win it (true for an item without them).
  bool OwnKeeps(int32_t k, int32_t itemId) const;
  bool HasOwn(int32_t itemId) const { return m_own.count(itemId) != 0; }

  TArrCheatId* m_presets = nullptr;
  std::unordered_map<int32_t, std::shared_ptr<const TRulesIndex>> m_own;  // per added item
  bool m_luckAgain = false;
  // Per candidate index: drawn; marked absent; line equal to some preset entry's text.
  std::vector<uint8_t> m_drawn;
  std::vector<uint8_t> m_absent;
  std::vector<uint8_t> m_isPreset;
  // Per preset entry: the first candidate index with the same line, or -1.
  std::vector<int32_t> m_presetIndex;
  int64_t m_nonPresetCount = 0;
  int64_t m_randomCount = 0;
  std::unordered_map<int32_t, PresetQueue> m_queues;  // per prize item id
  std::unique_ptr<Rules> m_rules;                     // null: a flat draw
};
