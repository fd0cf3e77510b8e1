// The candidate pool under rules at the scale of a big promotion: a million candidates,
// a condition on the branch, at most two winners a department for the item, and tickets.
//
// Targets: pool set-up <= 300 ms; any batch of up to 100 winners <= 20 ms; a roll tick as
// cheap as without rules. Measured on the 2-core build machine (Release), shared with other
// builds at a load average of 5 to 8, so the spread is wide; CPU time:
//   BM_RulesPoolSetUp1M                        137-221 ms  index the rules, the item's trees
//   BM_RulesBatch100Of1M                       0.16-0.18 ms  100 winners by tickets, quotas
//   BM_RulesBatch100SmallPool1M                0.02 ms     1 % eligible: no search of the list
//   BM_RulesQuotaFillsBigGroup1M               8.6-11 ms   a batch fills two 200,000-strong groups
//   BM_RulesRollTick1M                         0.15-0.18 us
//   BM_DataDrawSetUpAndFirstBatchWithRules1M   208-231 ms  the list read from its file, the
//                                                          rules from the database, notes, and
//                                                          the first batch of 100
#include <benchmark/benchmark.h>

#include <cstdio>

#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/db/TombolixDM.h"
#include "core/draw/CandidatePool.h"
#include "core/draw/DataDraw.h"
#include "core/draw/DrawRules.h"
#include "core/text/Gbk.h"

namespace {

constexpr int kMillion = 1000000;

// Id, name, department (100,000 of them), branch (one in five at 总部, one in a hundred at
// 海外), years 1 … 40.
const TArraySring& Lines() {
  static const TArraySring lines = [] {
    TArraySring out;
    out.reserve(kMillion);
    const std::string branches[] = {text::G("总部"), text::G("北京"), text::G("上海"),
                                    text::G("广州"), text::G("深圳")};
    const std::string abroad = text::G("海外");
    char buf[64];
    for (int i = 0; i < kMillion; ++i) {
      std::snprintf(buf, sizeof buf, "138%08d N%d D%05d ", i, i % 97, i % 100000);
      out.push_back(std::string(buf) + (i % 100 == 7 ? abroad : branches[i % 5]) + " " +
                    std::to_string(1 + i % 40));
    }
    return out;
  }();
  return lines;
}

TPoolRules Rules(const std::string& conditionUtf8) {
  TPoolRules r;
  std::string err;
  ParseRules(text::G("TICKETS\t工龄\n" + conditionUtf8 + "ITEMQUOTA\t1\t部门\t2\n"), r.Rules, err);
  r.TitleLine = text::G("号码 姓名 部门 分公司 工龄");
  return r;
}

const std::string kNotHead = "ITEM\t1\tNONEOF\t分公司\t总部\n";

void BM_RulesPoolSetUp1M(benchmark::State& state) {
  const TArraySring& lines = Lines();
  const TPoolRules rules = Rules(kNotHead);
  for (auto _ : state) {
    std::string err;
    TArrCheatId presets;
    TCandidatePool pool(lines, presets, false);
    pool.UseRules(IndexRules(lines, rules, err));
    TRandom rng;
    benchmark::DoNotOptimize(pool.RollPick(1, rng));  // builds the item's index and trees
  }
}
BENCHMARK(BM_RulesPoolSetUp1M)->Unit(benchmark::kMillisecond)->Iterations(5);

// Batches of 100 winners, picked and counted, on one pool; a fresh pool when it runs low.
void Batches(benchmark::State& state, const std::string& condition) {
  const TArraySring& lines = Lines();
  std::string err;
  const auto index = IndexRules(lines, Rules(condition), err);
  TArrCheatId presets;
  TRandom rng;
  rng.Randomize(7);
  auto fresh = [&] {
    TCandidatePool pool(lines, presets, false);
    pool.UseRules(index);
    pool.RollPick(1, rng);
    return pool;
  };
  TCandidatePool pool = fresh();
  int drawn = 0;
  for (auto _ : state) {
    if (drawn > 5000) {
      state.PauseTiming();
      pool = fresh();
      drawn = 0;
      state.ResumeTiming();
    }
    for (int i = 0; i < 100; ++i) {
      const int32_t k = pool.Pick(1, rng);
      if (k < 0) break;
      pool.MarkDrawn(k, 1);
    }
    drawn += 100;
  }
}

void BM_RulesBatch100Of1M(benchmark::State& state) { Batches(state, kNotHead); }
BENCHMARK(BM_RulesBatch100Of1M)->Unit(benchmark::kMillisecond);

void BM_RulesBatch100SmallPool1M(benchmark::State& state) {
  Batches(state, "ITEM\t1\tONEOF\t分公司\t海外\n");
}
BENCHMARK(BM_RulesBatch100SmallPool1M)->Unit(benchmark::kMillisecond);

// The worst batch for the quota: two departments of 200,000 reach their limit in it, and
// every member leaves the item's trees.
void BM_RulesQuotaFillsBigGroup1M(benchmark::State& state) {
  TArraySring lines = Lines();
  for (size_t i = 0; i < lines.size(); ++i)
    if (i % 5 == 1) lines[i].replace(lines[i].find(" D") + 1, 6, "DBIG01");
  std::string err;
  const auto index = IndexRules(lines, Rules(kNotHead), err);
  TArrCheatId presets;
  for (auto _ : state) {
    state.PauseTiming();
    TCandidatePool pool(lines, presets, false);
    pool.UseRules(index);
    TRandom rng;
    pool.RollPick(1, rng);
    state.ResumeTiming();
    for (int i = 0; i < 100; ++i) pool.MarkDrawn(static_cast<int32_t>(1 + 5 * (i % 2)), 1);
    for (int i = 0; i < 100; ++i) {
      const int32_t k = pool.Pick(1, rng);
      if (k >= 0) pool.MarkDrawn(k, 1);
    }
  }
}
BENCHMARK(BM_RulesQuotaFillsBigGroup1M)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_RulesRollTick1M(benchmark::State& state) {
  const TArraySring& lines = Lines();
  std::string err;
  TArrCheatId presets;
  TCandidatePool pool(lines, presets, false);
  pool.UseRules(IndexRules(lines, Rules(kNotHead), err));
  TRandom rng;
  for (auto _ : state) benchmark::DoNotOptimize(pool.RollPick(1, rng));
}
BENCHMARK(BM_RulesRollTick1M)->Unit(benchmark::kMicrosecond);

// The whole set-up of a draw under rules: the list read, the rules loaded and indexed, the
// set-up's notes, then the first batch of 100 (which builds the item's trees).
void BM_DataDrawSetUpAndFirstBatchWithRules1M(benchmark::State& state) {
  TempRoot root;
  TTombolixDataModule dm;
  dm.DataModuleCreate();
  TaskDef def;
  def.items = {{"A", 100, 100, ""}};
  def.title = text::G("号码 姓名 部门 分公司 工龄");
  def.candidates = Lines();
  const std::vector<int> ids = BuildTask(dm, def);
  std::string err;
  const std::string rules = text::G("TICKETS\t工龄\n");
  const std::string item =
      text::G("ITEM\t" + std::to_string(ids[0]) + "\tNONEOF\t分公司\t总部\nITEMQUOTA\t" +
              std::to_string(ids[0]) + "\t部门\t2\n");
  db::ExecSql(dm.ARryPub, db::sql::kUpdateTaskRules, {rules, int64_t{1001}}, err);
  db::ExecSql(dm.ARryPub, db::sql::kUpdateItemRules, {item, int64_t{1001}, int64_t{ids[0]}}, err);
  for (auto _ : state) {
    TRandom rng;
    TDrawSession session;
    TDataDraw draw(session, rng, 1u);
    TDrawFailure failure;
    if (!draw.SetUp(1001, failure) || draw.JournalHead().Rules.empty())
      state.SkipWithError("set-up failed");
    draw.BeginBatch();
    if (draw.SelectBatchWinners().picks.size() != 100) state.SkipWithError("batch failed");
  }
}
BENCHMARK(BM_DataDrawSetUpAndFirstBatchWithRules1M)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
