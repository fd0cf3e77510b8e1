// Results: exporting 100,000 winners over 10 prize items (xlsx and text), and opening the
// results window on a prize item with 100,000 winners.
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QTest>
#include <cstdio>
#include <fstream>
#include <string>

#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/draw/DrawSession.h"
#include "core/export/ExcelExport.h"
#include "core/records/ExampleTasks.h"
#include "core/records/WinnerFiles.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "gui/results/QueryFrm.h"

namespace {

constexpr int kItems = 10;
constexpr int kWinners = 100000;

// Ten prize items with 10,000 winners each; task 1002 has one item with all 100,000.
struct Winners {
  TempRoot root;
  TTombolixDataModule dm;
  TArrLuckItem items;
  TLuckTask task;
  Winners() {
    dm.DataModuleCreate();
    const std::vector<std::string> people = ExampleCandidates(kWinners);
    const std::string title = text::G("手机号码 姓名 部门") + "\r\n";
    TaskDef def;
    for (int k = 0; k < kItems; ++k) def.items.push_back({"item" + std::to_string(k), 1, 1, ""});
    const std::vector<int> ids = BuildTask(dm, def);
    for (int k = 0; k < kItems; ++k) {
      std::string content = title;
      for (int i = k * (kWinners / kItems); i < (k + 1) * (kWinners / kItems); ++i)
        content += people[static_cast<size_t>(i)] + "\r\n";
      WriteAll(paths::NativePath(paths::WinnerFilePath(1001, ids[static_cast<size_t>(k)])),
               content);
      TLuckItem it;
      it.ItemId = ids[static_cast<size_t>(k)];
      it.TaskId = 1001;
      it.ItemName = def.items[static_cast<size_t>(k)].name;
      items.push_back(it);
    }
    task.TaskName = text::G("年会抽奖");

    TaskDef big;
    big.taskId = 1002;
    big.items = {{text::G("一等奖"), 1, 1, ""}};
    const int bigItem = BuildTask(dm, big)[0];
    std::string content = title;
    for (const std::string& p : people) content += p + "\r\n";
    WriteAll(paths::NativePath(paths::WinnerFilePath(1002, bigItem)), content);
  }
};

Winners& Data() {
  static Winners w;
  return w;
}

// Kilobytes of a line of /proc/self/status.
long StatusKb(const char* key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind(key, 0) == 0) return std::stol(line.substr(std::string(key).size()));
  return 0;
}

void BM_ExportExcel100k(benchmark::State& state) {
  Winners& w = Data();
  const std::string target = w.root.path("winners.xlsx");
  for (auto _ : state) {
    std::string err;
    if (!ExportWinnersExcel(w.items, w.task, -1, target, err)) state.SkipWithError(err.c_str());
  }
  state.counters["file_MB"] =
      static_cast<double>(std::filesystem::file_size(target)) / (1024.0 * 1024.0);
}
BENCHMARK(BM_ExportExcel100k)->Unit(benchmark::kMillisecond)->UseRealTime();

// Memory the export adds at its peak, measured in a fresh child process whose peak starts at
// what it inherited, so that memory freed by an earlier export does not hide anything.
void BM_ExportExcel100kPeakMemory(benchmark::State& state) {
  Winners& w = Data();
  const std::string target = w.root.path("peak.xlsx");
  double growthMb = -1;
  for (auto _ : state) {
    int fds[2];
    if (pipe(fds) != 0) state.SkipWithError("no pipe");
    const pid_t child = fork();
    if (child == 0) {
      const long before = StatusKb("VmRSS:");
      std::string err;
      const bool ok = ExportWinnersExcel(w.items, w.task, -1, target, err);
      const long growthKb = ok ? StatusKb("VmHWM:") - before : -1;
      (void)!write(fds[1], &growthKb, sizeof growthKb);
      _exit(0);
    }
    long growthKb = -1;
    (void)!read(fds[0], &growthKb, sizeof growthKb);
    waitpid(child, nullptr, 0);
    close(fds[0]);
    close(fds[1]);
    if (growthKb < 0) state.SkipWithError("export failed");
    growthMb = growthKb / 1024.0;
  }
  state.counters["peak_growth_MB"] = growthMb;
}
BENCHMARK(BM_ExportExcel100kPeakMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_ExportText100k(benchmark::State& state) {
  Winners& w = Data();
  const std::string target = w.root.path("winners.txt");
  for (auto _ : state) {
    std::string err;
    if (!ExportWinnersText(w.items, w.task, -1, target, err)) state.SkipWithError(err.c_str());
  }
}
BENCHMARK(BM_ExportText100k)->Unit(benchmark::kMillisecond)->UseRealTime();

// Set-up to shown: the task, its item, the first 1,000 of 100,000 winners in the grid.
void BM_OpenResultsWindow100k(benchmark::State& state) {
  Data();
  TDrawSession session;
  for (auto _ : state) {
    TQueryForm form(session);
    if (form.SetUpQuery(1002) != 1) state.SkipWithError("set-up failed");
    form.show();
    if (!QTest::qWaitForWindowExposed(&form)) state.SkipWithError("not shown");
    QApplication::processEvents();
    state.PauseTiming();
    form.close();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_OpenResultsWindow100k)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
