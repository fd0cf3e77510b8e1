// Task list and loaders with a large database, and the start to the main window shown.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTableWidget>
#include <QTest>

#include "TempRoot.h"
#include "core/config/TaskState.h"
#include "core/db/TombolixDM.h"
#include "core/records/Loaders.h"
#include "core/text/Gbk.h"
#include "gui/app/MainFrm.h"
#include "gui/ui/Fonts.h"

namespace {

int64_t N(int64_t v) { return v; }

// Fills a fresh database with `tasks` tasks and `items` prize items on task 1001.
void Populate(TTombolixDataModule& dm, int tasks, int items) {
  std::string err;
  db::ExecRaw(dm.ADOConnection1, "begin", err);
  for (int i = 0; i < tasks; ++i) {
    const db::Params p = {N(1001 + i),
                          text::G("年会抽奖 第") + std::to_string(i) + text::G("场"),
                          std::string(),
                          N(0),
                          text::G("2027新春年会幸运大抽奖"),
                          N(36),
                          std::string("clYellow"),
                          std::string(),
                          N(4),
                          N(7),
                          std::string(),
                          N(i % 2),
                          N(0),
                          std::string(),
                          N(0)};
    db::ExecSql(dm.ARryPub, db::sql::kInsertTask, p, err);
  }
  for (int i = 0; i < items; ++i) {
    db::ExecSql(dm.ARryPub, db::sql::kInsertItem,
                {N(2001 + i), text::G("奖项") + std::to_string(i), N(1001), N(10), N(5),
                 text::G("奖品"), std::string(), N(items - i)},
                err);
  }
  db::ExecRaw(dm.ADOConnection1, "commit", err);
}

void BM_LoadTaskList1000(benchmark::State& state) {
  TempRoot root;
  TTombolixDataModule dm;
  dm.DataModuleCreate();
  Populate(dm, 1000, 0);
  TMainForm w;
  for (auto _ : state) {
    w.LoadTaskList();
    benchmark::DoNotOptimize(w.LVHeaders->rowCount());
  }
}
BENCHMARK(BM_LoadTaskList1000)->Unit(benchmark::kMillisecond);

// The state columns' part of the reload: the data file paths and the tasks' files.
void BM_TaskStates1000(benchmark::State& state) {
  TempRoot root;
  TTombolixDataModule dm;
  dm.DataModuleCreate();
  Populate(dm, 1000, 0);
  config::TTaskList list;
  std::string error;
  list.Load(error);
  for (auto _ : state) {
    std::vector<config::TTaskState> states;
    config::ReadTaskStates(list, states, error);
    benchmark::DoNotOptimize(states.data());
  }
}
BENCHMARK(BM_TaskStates1000)->Unit(benchmark::kMillisecond);

void BM_LoadLuckItems100(benchmark::State& state) {
  TempRoot root;
  TTombolixDataModule dm;
  dm.DataModuleCreate();
  Populate(dm, 1, 100);
  TArrLuckItem items;
  int32_t count = 0, sum = 0;
  std::string err;
  for (auto _ : state) {
    LoadLuckItems(1001, items, count, sum, err);
    benchmark::DoNotOptimize(items.data());
  }
}
BENCHMARK(BM_LoadLuckItems100)->Unit(benchmark::kMicrosecond);

// Opening an existing database of 1,000 tasks, creating the main window and showing it.
void BM_StartupToMainWindowShown1000(benchmark::State& state) {
  TempRoot root;
  {
    TTombolixDataModule dm;
    dm.DataModuleCreate();
    Populate(dm, 1000, 30);
  }
  for (auto _ : state) {
    TTombolixDataModule dm;
    dm.DataModuleCreate();
    TMainForm w;
    w.show();
    if (!QTest::qWaitForWindowExposed(&w)) state.SkipWithError("window not shown");
    QApplication::processEvents();
  }
}
BENCHMARK(BM_StartupToMainWindowShown1000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  InstallFontSubstitutions();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
