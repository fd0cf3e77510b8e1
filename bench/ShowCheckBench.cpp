// The check before the doors open and the main list's states, with lists of 100,000.
#include <benchmark/benchmark.h>

#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/check/ShowCheck.h"
#include "core/config/TaskState.h"
#include "core/db/TombolixDB.h"
#include "core/records/FileHash.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"

namespace {

std::vector<std::string> Candidates(int n) {
  std::vector<std::string> lines;
  lines.reserve(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i)
    lines.push_back(std::to_string(13800000000LL + i) + " " + text::G("张三") + std::to_string(i) +
                    " " + text::G("市场部"));
  return lines;
}

// One task of 100,000 candidates with ten prize items, a preset each and a photo folder.
void BM_ShowCheck100k(benchmark::State& state) {
  TempRoot root;
  TTombolixDataModule dm;
  dm.DataModuleCreate();
  TaskDef def;
  for (int i = 0; i < 10; ++i)
    def.items.push_back({text::G("奖项") + std::to_string(i), 10, 5, ""});
  def.candidates = Candidates(100000);
  const std::vector<int> items = BuildTask(dm, def);
  for (size_t i = 0; i < items.size(); ++i) WritePresets(1001, items[i], {def.candidates[i * 7]});
  std::string error;
  SaveListFingerprint(1001, paths::DrawDataPath(1001), error);
  for (auto _ : state) {
    check::TShowCheck c;
    if (!check::CheckShow(1001, c, error)) state.SkipWithError("check failed");
    benchmark::DoNotOptimize(c.Findings.data());
  }
}
BENCHMARK(BM_ShowCheck100k)->Unit(benchmark::kMillisecond);

// The main list's states for 20 tasks of 100,000 candidates each: the lists are not read.
void BM_TaskStates20x100k(benchmark::State& state) {
  TempRoot root;
  TTombolixDataModule dm;
  dm.DataModuleCreate();
  const std::vector<std::string> lines = Candidates(100000);
  for (int t = 0; t < 20; ++t) {
    TaskDef def;
    def.taskId = 1001 + t;
    def.items = {{text::G("奖项"), 10, 5, ""}};
    def.candidates = lines;
    BuildTask(dm, def);
  }
  config::TTaskList list;
  std::string error;
  list.Load(error);
  for (auto _ : state) {
    std::vector<config::TTaskState> states;
    config::ReadTaskStates(list, states, error);
    benchmark::DoNotOptimize(states.data());
  }
}
BENCHMARK(BM_TaskStates20x100k)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
