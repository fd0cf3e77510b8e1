// The roll's sphere of cards: exactly those who may still win the current item after each
// batch, as a quota fills, an absence and its replacement; a sample of many without the
// draw's generator.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>

#include "DrawSetUp.h"
#include "SqlRows.h"
#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/config/TaskRollStyle.h"
#include "core/config/TaskRules.h"
#include "core/draw/DataDraw.h"
#include "core/draw/SpherePopulation.h"
#include "core/text/Gbk.h"
#include "core/text/Text.h"

using text::G;

namespace {

// Twelve staff in four departments of three: A (101–103), B, C, D (110–112).
const char* const kStaff[] = {
    "101 甲 A", "102 乙 A", "103 丙 A", "104 丁 B", "105 戊 B", "106 己 B",
    "107 庚 C", "108 辛 C", "109 壬 C", "110 癸 D", "111 子 D", "112 丑 D",
};

class SphereDraw : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_dm.DataModuleCreate()); }

  void Build(std::vector<ItemDef> items, const std::string& rulesUtf8) {
    TaskDef def;
    def.items = std::move(items);
    def.title = G("号码 姓名 部门");
    for (const char* l : kStaff) def.candidates.push_back(G(l));
    BuildTask(m_dm, def);
    TTaskRules rules;
    std::string err;
    ASSERT_TRUE(ParseRules(G(rulesUtf8), rules, err)) << err;
    if (!rules.Empty()) ASSERT_TRUE(config::SaveTaskRules(m_dm, 1001, rules, err)) << err;
  }

  using Run = TDrawRun;
  static std::unique_ptr<Run> Start(uint32_t secret) { return StartDraw(secret); }
  static std::vector<int32_t> Batch(TDataDraw& e) {
    EXPECT_TRUE(e.BeginBatch());
    std::vector<int32_t> picks = e.SelectBatchWinners().picks;
    for (int r = 0; r < 4; ++r) e.RollStep();
    e.RevealBatch();
    e.EndBatch();
    return picks;
  }
  // The sphere of the current item, as ids.
  static std::vector<std::string> Shown(const TDataDraw& e) {
    TSpherePopulation p;
    const int32_t item = e.Session().Items[static_cast<size_t>(e.CurItemIndex())].ItemId;
    p.Fill(e.Pool(), item, e.Session().CandidateLines.size());
    return Ids(e, p.Members());
  }
  static std::vector<std::string> Ids(const TDataDraw& e, const std::vector<int32_t>& ks) {
    std::vector<std::string> ids;
    for (int32_t k : ks)
      ids.emplace_back(text::FirstField(e.Session().CandidateLines[static_cast<size_t>(k)]));
    return ids;
  }

  TempRoot m_root;
  TTombolixDataModule m_dm;
};

}  // namespace

TEST_F(SphereDraw, ShowsExactlyWhoMayStillWinAsTheQuotaFillsAndTheItemMovesOn) {
  // 一等奖: two winners, one at a time, at most one a department; 二等奖: one, no quota.
  Build({{G("一等奖"), 2, 1, ""}, {G("二等奖"), 1, 1, ""}}, "ITEMQUOTA\t2001\t部门\t1\n");
  auto run = Start(5u);
  TDataDraw& e = run->e;
  EXPECT_EQ(Shown(e).size(), 12u);
  EXPECT_EQ(Ids(e, Batch(e)), (std::vector<std::string>{"101"}));
  // Department A is full for 一等奖: 102 and 103 leave with the winner.
  EXPECT_EQ(Shown(e), (std::vector<std::string>{"104", "105", "106", "107", "108", "109", "110",
                                                "111", "112"}));
  EXPECT_EQ(Ids(e, Batch(e)), (std::vector<std::string>{"107"}));
  // 二等奖 has no quota: only the two winners are gone, A and C come back.
  EXPECT_EQ(Shown(e), (std::vector<std::string>{"102", "103", "104", "105", "106", "108", "109",
                                                "110", "111", "112"}));
}

TEST_F(SphereDraw, AnAbsentWinnersPlaceShowsOnlyWhoMayTakeItAndTheAbsentNeverAgain) {
  Build({{G("一等奖"), 3, 3, ""}, {G("二等奖"), 2, 1, ""}}, "ITEMQUOTA\t2001\t部门\t1\n");
  auto run = Start(5u);
  TDataDraw& e = run->e;
  EXPECT_EQ(Ids(e, Batch(e)), (std::vector<std::string>{"108", "101", "104"}));
  const TLuckId absent = e.Session().Winners[1];  // 101, department A
  std::string message;
  ASSERT_TRUE(e.BeginReplacement(1, message)) << message;
  // The place is 一等奖's: A's other two may take it now that 101 leaves it, and D, which
  // has no winner; B and C are full, and 101 never comes back.
  TSpherePopulation replacing;
  replacing.FillReplacement(e.Pool(), absent.CandidateIndex, absent.ItemId, 12);
  EXPECT_EQ(Ids(e, replacing.Members()),
            (std::vector<std::string>{"102", "103", "110", "111", "112"}));
  e.RevealBatch();
  e.EndBatch();
  EXPECT_EQ(text::FirstField(e.Session().Winners[1].CandidateLine), "103");
  // 二等奖 now: everyone but the three winners and the absent one.
  EXPECT_EQ(Shown(e),
            (std::vector<std::string>{"102", "105", "106", "107", "109", "110", "111", "112"}));
  // Once a batch leaves, its winners leave the sphere before the pool is asked again.
  TSpherePopulation p;
  p.Fill(e.Pool(), 2002, 12);
  const std::vector<int32_t> picks = Batch(e);
  p.Remove(picks);
  EXPECT_EQ(p.Count(), 7u);
  EXPECT_FALSE(p.Contains(picks[0]));
}

TEST_F(SphereDraw, SamplingManyNeverTouchesTheDrawsGeneratorNorRepeatsACard) {
  Build({{G("一等奖"), 3, 1, ""}, {G("二等奖"), 2, 2, ""}}, "");
  std::vector<std::vector<std::string>> winners;
  for (bool sphere : {false, true}) {
    auto run = Start(9u);
    TDataDraw& e = run->e;
    TSphereSampler sampler(1234);
    TSpherePopulation p;
    std::vector<std::string> ids;
    while (e.state() != TDataDraw::State::Finished) {
      if (sphere) {
        p.Fill(e.Pool(), e.Session().Items[static_cast<size_t>(e.CurItemIndex())].ItemId, 12);
        for (int i = 0; i < 50; ++i) sampler.Distinct(p, 5);
      }
      for (const std::string& id : Ids(e, Batch(e))) ids.push_back(id);
    }
    winners.push_back(ids);
  }
  EXPECT_EQ(winners[0], winners[1]);
  EXPECT_EQ(winners[0], (std::vector<std::string>{"104", "112", "109", "111", "105"}));

  // A million candidates, two hundred cards: distinct members, another set each time.
  TArrCheatId noPresets;
  TSpherePopulation many;
  TCandidatePool pool(TArraySring(1000000, "x"), noPresets, false);
  many.Fill(pool, 2001, 1000000);
  ASSERT_EQ(many.Count(), 1000000u);
  TSphereSampler sampler(7);
  std::vector<int32_t> a = sampler.Distinct(many, 200), b = sampler.Distinct(many, 200);
  EXPECT_EQ(std::set<int32_t>(a.begin(), a.end()).size(), 200u);
  EXPECT_NE(a, b);
  // Fewer than the cards: every member once.
  TSpherePopulation few;
  TCandidatePool small(TArraySring(20, "x"), noPresets, false);
  few.Fill(small, 2001, 20);
  std::vector<int32_t> all = sampler.Distinct(few, 200);
  EXPECT_EQ(all.size(), 20u);
  EXPECT_EQ(all.front(), 0);
  EXPECT_EQ(all.back(), 19);
}

TEST_F(SphereDraw, TheRollStyleIsKeptPerTaskAndNumbersUntilChosen) {
  Build({{G("一等奖"), 1, 1, ""}}, "");
  TRollStyle style = TRollStyle::Sphere;
  std::string error;
  // A file that never stored a style has no table for it: every task rolls numbers, and
  // saving numbers makes none.
  ASSERT_TRUE(config::LoadRollStyle(1001, style, error)) << error;
  EXPECT_EQ(style, TRollStyle::Numbers);
  ASSERT_TRUE(config::SaveRollStyle(1001, TRollStyle::Numbers, error)) << error;
  EXPECT_TRUE(Rows(m_dm.ADOConnection1.Handle(),
                   "select name from sqlite_master where name='TaskRollStyle'")
                  .empty());
  ASSERT_TRUE(config::SaveRollStyle(1001, TRollStyle::Sphere, error)) << error;
  ASSERT_TRUE(config::LoadRollStyle(1001, style, error));
  EXPECT_EQ(style, TRollStyle::Sphere);
  ASSERT_TRUE(config::LoadRollStyle(1002, style, error));
  EXPECT_EQ(style, TRollStyle::Numbers);
  ASSERT_TRUE(config::SaveRollStyle(1001, TRollStyle::Numbers, error));
  ASSERT_TRUE(config::LoadRollStyle(1001, style, error));
  EXPECT_EQ(style, TRollStyle::Numbers);
}
