// What the configuration window costs on a list of a million candidates: the value
// checklist of a field, the check of a save and the too-few warning after it.
//
// Measured on the 2-core build machine (Release, load average 7 from other builds; CPU time,
// wall time in brackets), a million candidates:
//   BM_ReadRuleList1M     60 ms (94 ms)    the list read when a task is shown
//   BM_FieldValues1M      34 ms (51 ms)    the checklist of a field with 1,000 values
//   BM_CheckRules1M       61 ms (132 ms)   condition, item and task quota, tickets
//   BM_TooFewText1M      110 ms (182 ms)   the warning's counts for one item with a quota
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "core/config/RuleCheck.h"
#include "core/records/DrawDataFile.h"
#include "core/text/Gbk.h"

namespace {

constexpr int kMillion = 1000000;

// Id, name, department (1,000 of them), branch (one in five at 总部), years 1 … 40.
const config::TRuleContext& Context() {
  static const config::TRuleContext context = [] {
    config::TRuleContext c;
    c.TaskId = 1001;
    c.List.Heads = {text::G("号码"), text::G("姓名"), text::G("部门"), text::G("分公司"),
                    text::G("工龄")};
    c.List.Lines.reserve(kMillion);
    const std::string branches[] = {text::G("总部"), text::G("北京"), text::G("上海"),
                                    text::G("广州"), text::G("深圳")};
    char buf[64];
    for (int i = 0; i < kMillion; ++i) {
      std::snprintf(buf, sizeof buf, "138%08d N%d D%03d ", i, i % 97, i % 1000);
      c.List.Lines.push_back(std::string(buf) + branches[i % 5] + " " + std::to_string(1 + i % 40));
    }
    c.Items = {{1, text::G("一等奖"), 100}};
    c.Tasks = {{1001, text::G("年会")}};
    return c;
  }();
  return context;
}

TTaskRules Rules() {
  TTaskRules r;
  r.TicketsField = text::G("工龄");
  r.TaskQuota = {text::G("部门"), 5};
  r.Items = {TItemRules{
      1, {{text::G("分公司"), TConditionKind::NoneOf, {text::G("总部")}}}, {text::G("部门"), 2}}};
  return r;
}

void BM_FieldValues1M(benchmark::State& state) {
  const config::TRuleContext& c = Context();
  for (auto _ : state) benchmark::DoNotOptimize(config::FieldValues(c.List, text::G("部门")));
}
BENCHMARK(BM_FieldValues1M)->Unit(benchmark::kMillisecond);

void BM_CheckRules1M(benchmark::State& state) {
  const config::TRuleContext& c = Context();
  const TTaskRules rules = Rules();
  for (auto _ : state) {
    std::string error;
    if (!config::CheckRules(rules, c, error)) state.SkipWithError("refused");
  }
}
BENCHMARK(BM_CheckRules1M)->Unit(benchmark::kMillisecond);

void BM_TooFewText1M(benchmark::State& state) {
  const config::TRuleContext& c = Context();
  const TTaskRules rules = Rules();
  for (auto _ : state) benchmark::DoNotOptimize(config::TooFewText(rules, c));
}
BENCHMARK(BM_TooFewText1M)->Unit(benchmark::kMillisecond);

// The list as the window reads it when a task is shown, from a draw data file.
void BM_ReadRuleList1M(benchmark::State& state) {
  const config::TRuleContext& c = Context();
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("rulecheck-bench-" + std::to_string(getpid()));
  const std::string path = (dir / "1001.txt").string();
  std::string error;
  if (!WriteDrawDataFile(path, text::G("号码 姓名 部门 分公司 工龄"), c.List.Lines, 11, error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  for (auto _ : state) {
    config::TRuleList list;
    if (!config::ReadRuleList(path, list, error)) state.SkipWithError("unread");
    benchmark::DoNotOptimize(list);
  }
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_ReadRuleList1M)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
