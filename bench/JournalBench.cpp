// The draw journal's append with its flush to disk, which runs before every reveal, and the
// conversion of text full of bad bytes.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "core/draw/DrawJournal.h"
#include "core/text/FileWrite.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"

namespace fs = std::filesystem;

namespace {

// A data root on the disk the program's data would use (the working directory), not on a
// memory file system where a flush costs nothing.
struct DiskRoot {
  fs::path dir;
  DiskRoot() {
    std::string tmpl = (fs::current_path() / "bench-journal-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) std::abort();
    dir = tmpl;
    paths::SetDataRoot(dir.string());
  }
  ~DiskRoot() {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
};

TJournalHead Head() {
  TJournalHead h;
  h.TaskId = 1001;
  h.DataHash = std::string(64, 'a');
  h.PresetHash = std::string(64, 'b');
  h.Items = {{2001, 1, 1}, {2002, 3, 3}, {2003, 10, 5}};
  return h;
}

TJournalBatch Batch(int n) {
  TJournalBatch b{2003, n, false, 0, 123456789u, {}};
  for (int i = 0; i < n; ++i) b.Winners.push_back(100000 + i * 37);
  return b;
}

// A batch of `range` winners appended to a journal that exists.
void BM_JournalAppendBatch(benchmark::State& state) {
  DiskRoot root;
  const std::string path = paths::JournalPath(1001);
  std::string err;
  AppendJournal(path, FormatJournalHead(Head()), err);
  const std::string line = FormatJournalBatch(Batch(static_cast<int>(state.range(0))));
  for (auto _ : state) {
    if (!AppendJournal(path, line, err)) state.SkipWithError(err.c_str());
  }
}
BENCHMARK(BM_JournalAppendBatch)->Arg(5)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(200);

// The first batch of a draw: a new file with the head, its folder flushed too.
void BM_JournalFirstBatch(benchmark::State& state) {
  DiskRoot root;
  const std::string lines = FormatJournalHead(Head()) + FormatJournalBatch(Batch(5));
  std::string err;
  for (auto _ : state) {
    state.PauseTiming();
    std::error_code ec;
    fs::remove(paths::NativePath(paths::JournalPath(1001)), ec);
    state.ResumeTiming();
    if (!AppendJournal(paths::JournalPath(1001), lines, err)) state.SkipWithError(err.c_str());
  }
}
BENCHMARK(BM_JournalFirstBatch)->Unit(benchmark::kMillisecond)->Iterations(100);

// A resume after a power cut: the torn last record of a journal of N batches is cut off by
// rewriting the journal beside itself and renaming it, flushed, before anything is appended.
void BM_JournalCutTornTail(benchmark::State& state) {
  DiskRoot root;
  std::string whole = FormatJournalHead(Head());
  for (int64_t i = 0; i < state.range(0); ++i) whole += FormatJournalBatch(Batch(5));
  const std::string torn = whole + FormatJournalBatch(Batch(5)).substr(0, 40);
  const std::string path = paths::JournalPath(1001);
  std::string err;
  for (auto _ : state) {
    state.PauseTiming();
    files::WriteFileAtomic(path, torn, err);
    state.ResumeTiming();
    if (!CutJournalTail(path, whole.size(), err)) state.SkipWithError(err.c_str());
  }
}
BENCHMARK(BM_JournalCutTornTail)
    ->Arg(100)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(50);

// Bad bytes only: the time grows with the length, not with its square.
void BM_GbkToUtf8BadBytes(benchmark::State& state) {
  const std::string bad(static_cast<size_t>(state.range(0)), '\xFF');
  for (auto _ : state) benchmark::DoNotOptimize(text::GbkToUtf8(bad));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_GbkToUtf8BadBytes)
    ->Arg(64 << 10)
    ->Arg(256 << 10)
    ->Arg(1 << 20)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
