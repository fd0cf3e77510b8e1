// Draw data at the scale of a big promotion: a million candidates.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdio>

#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/db/TombolixDM.h"
#include "core/draw/DataDraw.h"
#include "core/records/DrawDataFile.h"
#include "core/records/WinnerFiles.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"

namespace {

constexpr int kMillion = 1000000;

std::vector<std::string> Candidates(int n) {
  const std::string names[] = {text::G("张伟"), text::G("王芳"), text::G("李娜"),
                               text::G("刘洋"), text::G("陈静"), text::G("欧阳建华")};
  std::vector<std::string> out;
  out.reserve(static_cast<size_t>(n));
  char id[16];
  for (int i = 0; i < n; ++i) {
    std::snprintf(id, sizeof id, "138%08d", i);
    out.push_back(std::string(id) + " " + names[i % 6]);
  }
  return out;
}

// One file of a million lines shared by the benchmarks that read it.
struct MillionFile {
  TempRoot root;
  std::string path;
  MillionFile() {
    path = paths::DrawDataPath(1001);
    std::string err;
    const std::vector<std::string> lines = Candidates(kMillion);
    WriteDrawDataFile(path, text::G("手机号码 姓名"), lines, 11, err);
  }
};

MillionFile& Million() {
  static MillionFile f;
  return f;
}

// Heap memory in use now, in MB (freed memory that stays resident is not counted).
double HeapInUseMb() {
  const struct mallinfo2 m = mallinfo2();
  return static_cast<double>(m.uordblks + m.hblkhd) / 1048576.0;
}

void BM_ReadDrawData1M(benchmark::State& state) {
  MillionFile& f = Million();
  paths::SetDataRoot(f.root.dir().string());
  TArraySring lines;
  int32_t idMax = 0;
  std::string title, err;
  double held = 0;
  for (auto _ : state) {
    state.PauseTiming();
    TArraySring().swap(lines);
    const double before = HeapInUseMb();
    state.ResumeTiming();
    ReadDrawDataFile(f.path, 1, 0, lines, idMax, title, err);
    benchmark::DoNotOptimize(lines.data());
    held = HeapInUseMb() - before;
  }
  state.counters["lines"] = static_cast<double>(lines.size());
  // Memory that the loaded list holds.
  state.counters["list_heap_MB"] = held;
}
BENCHMARK(BM_ReadDrawData1M)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_FindDataLineLastOf1M(benchmark::State& state) {
  MillionFile& f = Million();
  std::string line, err;
  char last[16];
  std::snprintf(last, sizeof last, "138%08d", kMillion - 1);
  for (auto _ : state) {
    FindDataLine(f.path, last, line, err);
    if (line.empty()) state.SkipWithError("not found");
  }
}
BENCHMARK(BM_FindDataLineLastOf1M)->Unit(benchmark::kMillisecond)->Iterations(5);

// 900,000 winners from a million candidates, no repeats, in batches of 1,000.
void BM_FullDraw900kOf1M(benchmark::State& state) {
  TempRoot root;
  TTombolixDataModule dm;
  dm.DataModuleCreate();
  TaskDef def;
  for (int i = 0; i < 9; ++i) def.items.push_back({"item" + std::to_string(i), 100000, 1000, ""});
  def.candidates = Candidates(kMillion);
  BuildTask(dm, def);
  for (auto _ : state) {
    state.PauseTiming();
    TRandom rng;
    rng.Randomize(7);
    TDrawSession session;
    TDataDraw draw(session, rng);
    TDrawFailure failure;
    if (!draw.SetUp(1001, failure)) state.SkipWithError("set-up failed");
    state.ResumeTiming();
    int batches = 0;
    while (draw.state() != TDataDraw::State::Finished) {
      draw.SelectBatchWinners();
      draw.RollStep();
      draw.RevealBatch();
      draw.EndBatch();  // the last one writes the nine winner files
      ++batches;
    }
    state.counters["batches"] = batches;
    state.counters["winners"] = static_cast<double>(draw.Session().Winners.size());
  }
}
BENCHMARK(BM_FullDraw900kOf1M)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_DataDrawSetUp1M(benchmark::State& state) {
  TempRoot root;
  TTombolixDataModule dm;
  dm.DataModuleCreate();
  TaskDef def;
  def.items = {{"A", 10, 10, ""}};
  def.candidates = Candidates(kMillion);
  const std::vector<int> ids = BuildTask(dm, def);
  WritePresets(1001, ids[0], {def.candidates[5], def.candidates[999999]});
  for (auto _ : state) {
    TRandom rng;
    TDrawSession session;
    TDataDraw draw(session, rng);
    TDrawFailure failure;
    if (!draw.SetUp(1001, failure)) state.SkipWithError("set-up failed");
  }
}
BENCHMARK(BM_DataDrawSetUp1M)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_RollStep1M(benchmark::State& state) {
  TempRoot root;
  TTombolixDataModule dm;
  dm.DataModuleCreate();
  TaskDef def;
  def.hideBegin = 4;
  def.hideEnd = 7;
  def.items = {{"A", 10, 10, ""}};
  def.candidates = Candidates(kMillion);
  BuildTask(dm, def);
  TRandom rng;
  TDrawSession session;
  TDataDraw draw(session, rng);
  TDrawFailure failure;
  draw.SetUp(1001, failure);
  for (auto _ : state) benchmark::DoNotOptimize(draw.RollStep());
}
BENCHMARK(BM_RollStep1M)->Unit(benchmark::kMicrosecond);

void BM_SaveWinnerFiles100k(benchmark::State& state) {
  TempRoot root;
  TArrLuckItem items(10);
  for (int i = 0; i < 10; ++i) {
    items[i].TaskId = 1001;
    items[i].ItemId = 2001 + i;
  }
  TArrLuckId winners;
  const std::vector<std::string> lines = Candidates(100000);
  for (int i = 0; i < 100000; ++i) winners.push_back({2001 + i % 10, 1001, i, lines[i]});
  std::string err;
  for (auto _ : state) {
    if (!SaveWinnerFiles(items, winners, "id name", err)) state.SkipWithError("save failed");
  }
}
BENCHMARK(BM_SaveWinnerFiles100k)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

BENCHMARK_MAIN();
