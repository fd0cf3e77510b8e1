#include "core/draw/CandidatePool.h"

#include <gtest/gtest.h>

#include <set>

#include "DrawSetUp.h"
#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/draw/DataDraw.h"
#include "core/text/Gbk.h"

using text::G;

namespace {

constexpr int32_t kFirst = 2001;
constexpr int32_t kSecond = 2002;

// Six lines "11 …" … "16 …"; the second item's preset list names lines 2 and 4.
TArraySring Lines() {
  TArraySring out;
  for (int i = 0; i < 6; ++i) out.push_back(std::to_string(11 + i) + " p" + std::to_string(i));
  return out;
}

TArrCheatId PresetsOnSecond(const TArraySring& lines) {
  return {{false, 1001, kSecond, lines[2]}, {false, 1001, kSecond, lines[4]}};
}

}  // namespace

TEST(CandidatePool, AReplacementIsNeverALineOnAPresetList) {
  const TArraySring lines = Lines();
  std::set<int32_t> seen;
  for (uint32_t seed = 1; seed <= 40; ++seed) {
    SCOPED_TRACE(seed);
    TArrCheatId presets = PresetsOnSecond(lines);
    TCandidatePool pool(lines, presets, false);
    // Lines 0 and 1 won the first item; line 0 is absent. Left at random: 3 and 5 only,
    // lines 2 and 4 being kept for the second item's batches.
    pool.MarkDrawn(0);
    pool.MarkDrawn(1);
    EXPECT_EQ(pool.RandomCount(), 2);
    TRandom rng;
    rng.Randomize(seed);
    const int32_t k = pool.PickReplacement(0, kFirst, rng);
    EXPECT_TRUE(k == 3 || k == 5) << k;
    EXPECT_FALSE(pool.MayReplace(2, 0, kFirst));
    EXPECT_FALSE(pool.MayReplace(4, 0, kFirst));
    seen.insert(k);
  }
  EXPECT_EQ(seen, (std::set<int32_t>{3, 5}));
}

TEST(CandidatePool, NobodyLeftToReplaceDrawsNoNumber) {
  const TArraySring lines = Lines();
  TArrCheatId presets = PresetsOnSecond(lines);
  TCandidatePool pool(lines, presets, false);
  for (int32_t k : {0, 1, 3, 5}) pool.MarkDrawn(k);
  EXPECT_EQ(pool.RandomCount(), 0);
  TRandom rng;
  rng.Randomize(99u);
  // Only preset lines are left: they may win their batches, but nobody may replace.
  EXPECT_TRUE(pool.MayWin(2, kSecond));
  EXPECT_EQ(pool.PickReplacement(0, kFirst, rng), -1);
  EXPECT_EQ(rng.Seed(), 99u);

  // With repeated winning on, the absent winner is the only other one left at random and
  // may not replace itself.
  TArraySring two = {"11 a", "12 b"};
  TArrCheatId onePreset = {{false, 1001, kSecond, "12 b"}};
  TCandidatePool again(two, onePreset, true);
  again.MarkDrawn(0);
  EXPECT_EQ(again.RandomCount(), 1);
  EXPECT_EQ(again.PickReplacement(0, kFirst, rng), -1);
  EXPECT_EQ(rng.Seed(), 99u);
}

TEST(CandidatePool, PresetEntriesComeFirstInOrderAndOneNamingNobodyFallsBackToRandom) {
  const TArraySring lines = Lines();
  TArrCheatId presets = {{false, 1001, kSecond, lines[4]},
                         {false, 1001, kSecond, "99 nobody"},
                         {false, 1001, kSecond, lines[2]}};
  TCandidatePool pool(lines, presets, false);
  TRandom rng;
  rng.Randomize(5u);
  EXPECT_EQ(pool.Pick(kSecond, rng), 4);
  EXPECT_EQ(pool.PresetsUsed(kSecond), 1);
  EXPECT_TRUE(presets[0].Used);
  EXPECT_EQ(rng.Seed(), 5u);  // a preset pick draws no number
  pool.MarkDrawn(4);
  EXPECT_EQ(pool.RandomCount(), 4);  // a preset line never counted at random

  const int32_t k = pool.Pick(kSecond, rng);  // the entry names nobody: a random one
  EXPECT_TRUE(k == 0 || k == 1 || k == 3 || k == 5) << k;
  EXPECT_TRUE(presets[1].Used);
  EXPECT_NE(rng.Seed(), 5u);
  pool.MarkDrawn(k);
  EXPECT_EQ(pool.RandomCount(), 3);
  EXPECT_EQ(pool.Pick(kSecond, rng), 2);
  EXPECT_EQ(pool.PresetsUsed(kSecond), 3);
  EXPECT_EQ(pool.PresetsUsed(kFirst), 0);

  // A replay's queue goes forward only, and never past its entries.
  TArrCheatId replayed = presets;
  TCandidatePool fresh(lines, replayed, false);
  EXPECT_FALSE(replayed[0].Used);  // a fresh pool starts every queue afresh
  EXPECT_FALSE(fresh.UsePresetsTo(kSecond, 4));
  EXPECT_FALSE(fresh.UsePresetsTo(kFirst, 1));
  EXPECT_TRUE(fresh.UsePresetsTo(kSecond, 2));
  EXPECT_TRUE(replayed[1].Used);
  EXPECT_FALSE(replayed[2].Used);
  EXPECT_FALSE(fresh.UsePresetsTo(kSecond, 1));
}

TEST(CandidatePool, TheEngineNeverReplacesAnAbsentWinnerWithAPresetLine) {
  TempRoot root;
  TTombolixDataModule dm;
  ASSERT_TRUE(dm.DataModuleCreate());
  TaskDef def;
  def.items = {{G("一等奖"), 2, 2, ""}, {G("二等奖"), 2, 2, ""}};
  def.candidates = Lines();
  const std::vector<int> ids = BuildTask(dm, def);
  WritePresets(1001, ids[1], {def.candidates[2], def.candidates[4]});
  std::set<int32_t> seen;
  for (uint32_t seed = 1; seed <= 30; ++seed) {
    SCOPED_TRACE(seed);
    TRandom rng;
    rng.Randomize(seed);
    TDrawSession session;
    TDataDraw e(session, rng, seed);
    ASSERT_TRUE(SetUpDraw(e));
    ASSERT_TRUE(e.BeginBatch());
    e.SelectBatchWinners();
    e.RevealBatch();
    e.EndBatch();
    std::set<int32_t> left = {0, 1, 3, 5};
    for (const TLuckId& w : e.Session().Winners) left.erase(w.CandidateIndex);
    ASSERT_EQ(left.size(), 2u);
    std::string message;
    ASSERT_TRUE(e.BeginReplacement(0, message)) << message;
    e.RevealBatch();
    e.EndBatch();
    const int32_t k = e.Session().Winners[0].CandidateIndex;
    EXPECT_EQ(left.count(k), 1u) << k;
    seen.insert(k);
  }
  EXPECT_GT(seen.size(), 2u);  // the replacement is drawn, not fixed
}

TEST(CandidatePool, TheVerdictNamesTheFirstBarInItsOrder) {
  // 号 部门 票: 1 fails the condition and is listed; 2 has no tickets; 3 won elsewhere and
  // is listed; 4 is on the item's own list; 5 did not check in; 6 may win.
  const TArraySring lines = {"1 销售 1", "2 研发 0", "3 研发 2",
                             "4 研发 1", "5 研发 1", "6 研发 1"};
  TPoolRules given;
  given.TitleLine = "号 部门 票";
  given.Rules.TicketsField = "票";
  given.Rules.ExcludeIds = {"1", "3"};
  given.Rules.Items = {{kFirst, {{"部门", TConditionKind::OneOf, {"研发"}}}, {}, {"4"}}};
  given.ExcludedIds = {"3"};
  given.CheckinOnly = true;
  given.PresentIds = {"1", "2", "3", "4", "6"};
  std::string error;
  const auto index = IndexRules(lines, given, error);
  ASSERT_TRUE(index) << error;
  const TRuleBar want[] = {TRuleBar::Condition,    TRuleBar::NoTickets,    TRuleBar::ExcludedTask,
                           TRuleBar::ExcludedList, TRuleBar::NotCheckedIn, TRuleBar::None};
  for (int32_t k = 0; k < 6; ++k) EXPECT_EQ(RuleVerdict(*index, kFirst, k).bar, want[k]) << k;
  // Another item keeps only the task's rules: 1 is then barred by the fixed list, 4 may win.
  EXPECT_EQ(RuleVerdict(*index, kSecond, 0).bar, TRuleBar::ExcludedList);
  EXPECT_EQ(RuleVerdict(*index, kSecond, 3).bar, TRuleBar::None);
}

TEST(CandidatePool, MayWinCountsAsThePickDoesUnderRulesAndCheckIn) {
  // 号 部门: the first item only for 研发; 5 did not check in.
  const TArraySring lines = {"1 销售", "2 研发", "3 研发", "4 研发", "5 研发", "6 研发"};
  TPoolRules given;
  given.TitleLine = "号 部门";
  given.Rules.Items = {{kFirst, {{"部门", TConditionKind::OneOf, {"研发"}}}, {}, {}}};
  given.CheckinOnly = true;
  given.PresentIds = {"1", "2", "3", "4", "6"};
  std::string error;
  const auto index = IndexRules(lines, given, error);
  ASSERT_TRUE(index) << error;
  TArrCheatId presets;
  TCandidatePool pool(lines, presets, false);
  pool.UseRules(index);
  EXPECT_EQ(pool.MayWinCount(kFirst), 4);   // 2, 3, 4, 6
  EXPECT_EQ(pool.MayWinCount(kSecond), 5);  // all checked in
  TRandom rng;
  rng.Randomize(7u);
  const int32_t k = pool.Pick(kFirst, rng);
  ASSERT_GE(k, 1);
  pool.MarkDrawn(k, kFirst);
  EXPECT_EQ(pool.MayWinCount(kFirst), 3);  // the item drawn now, from its own tree
  EXPECT_EQ(pool.MayWinCount(kSecond), 4);
  // Without rules: the flat draw's count.
  TCandidatePool flat(lines, presets, false);
  EXPECT_EQ(flat.MayWinCount(kFirst), 6);
  flat.MarkDrawn(0, kFirst);
  EXPECT_EQ(flat.MayWinCount(kSecond), 5);
}
