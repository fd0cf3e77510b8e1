// The draw screen with a million candidates: set-up to shown, a roll tick, a batch of 1,000,
// and the processor time of the idle screen, at 1080p and at 4K.
//
// Figures on a shared 2-core machine (busy with builds beside it), 4 interleaved runs,
// min / median, before and after large type was drawn from glyph pictures made once
// (1080p, then 4K):
//   celebration, % of one core      1.89/2.13 -> 2.10/2.12     3.92/4.39 -> 3.00/3.24
//   first key's wait (reveal paint)  0.4/5.9 -> 7.9/8.9 ms      30/51 -> 2.9/10.5 ms
//   later keys' wait (fireworks)     7.0/9.4 -> 9.5/13.3 ms     10.8/21.0 -> 9.7/12.7 ms
//   standing still between batches  0.41/0.47 -> 0.34/0.52     0.98/1.06 -> 0.43/0.52
// At 1080p the stage's type is mostly below 64 px, which Qt caches itself, so only noise
// moves; at 4K the reveal's winners list and batch were filled as outlines glyph by glyph.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <cstdio>

#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/draw/DrawSession.h"
#include "gui/stage/Celebration.h"
#include "gui/stage/GetLuckMainFrm.h"

namespace {

struct MillionTask {
  TempRoot root;
  TTombolixDataModule dm;
  MillionTask() {
    dm.DataModuleCreate();
    TaskDef def;
    def.hideBegin = 4;
    def.hideEnd = 7;
    def.items = {{"A", 100000, 1000, ""}};
    char id[16];
    def.candidates.reserve(1000000);
    for (int i = 0; i < 1000000; ++i) {
      std::snprintf(id, sizeof id, "138%08d", i);
      def.candidates.push_back(std::string(id) + " name" + std::to_string(i % 977));
    }
    BuildTask(dm, def);
  }
};

MillionTask& Task() {
  static MillionTask t;
  return t;
}

// The draw screen of the million-candidate task, shown at projector size: the benchmark's
// argument is the width, 1920 (1080p) or 3840 (4K).
void ShowScreen(TGetLuckMainForm& screen, int width = 1920) {
  if (screen.SetUpDraw(1001) != 1) return;
  screen.resize(width, width * 9 / 16);
  screen.show();
  (void)QTest::qWaitForWindowExposed(&screen);
}

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Processor time of five seconds of the event loop, as a percentage of one core.
void MeasureIdleCpu(benchmark::State& state) {
  double percent = 0;
  for (auto _ : state) {
    const double cpu0 = CpuSeconds();
    QElapsedTimer wall;
    wall.start();
    while (wall.elapsed() < 5000) QTest::qWait(50);
    percent = (CpuSeconds() - cpu0) / (wall.elapsed() / 1000.0) * 100.0;
  }
  state.counters["cpu_percent_of_one_core"] = percent;
}

void BM_SetUpToShown1M(benchmark::State& state) {
  Task();
  for (auto _ : state) {
    TDrawSession session;
    TGetLuckMainForm screen(session, nullptr, 1u);
    if (screen.SetUpDraw(1001) != 1) state.SkipWithError("set-up failed");
    screen.resize(1920, 1080);
    screen.show();
    if (!QTest::qWaitForWindowExposed(&screen)) state.SkipWithError("not shown");
    QApplication::processEvents();
    state.PauseTiming();
    screen.close();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_SetUpToShown1M)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// One roll tick: the engine's pick and the changed labels painted, as the event loop does.
void BM_RollTick1M(benchmark::State& state) {
  Task();
  TDrawSession session;
  TGetLuckMainForm screen(session, nullptr, 1u);
  ShowScreen(screen, static_cast<int>(state.range(0)));
  screen.SBeginClick();
  QApplication::processEvents();  // the selection
  for (auto _ : state) {
    screen.RollTick();
    QApplication::processEvents();
  }
  screen.EKeyCtrlKeyPress();
}
BENCHMARK(BM_RollTick1M)->Arg(1920)->Arg(3840)->Unit(benchmark::kMillisecond)->UseRealTime();

// The longest the window is held up by one batch of 1,000: the selection, then the reveal.
void BM_Batch1000Of1M(benchmark::State& state) {
  Task();
  TDrawSession session;
  TGetLuckMainForm screen(session, nullptr, 1u);
  ShowScreen(screen);
  double worst = 0;
  for (auto _ : state) {
    QElapsedTimer t;
    t.start();
    screen.SBeginClick();
    QApplication::processEvents();  // selects the 1,000 winners
    screen.repaint();
    const double select = t.nsecsElapsed() / 1e6;
    t.restart();
    screen.EKeyCtrlKeyPress();  // reveal and winners list
    screen.repaint();
    const double reveal = t.nsecsElapsed() / 1e6;
    worst = std::max({worst, select, reveal});
  }
  state.counters["worst_block_ms"] = worst;
}
BENCHMARK(BM_Batch1000Of1M)->Unit(benchmark::kMillisecond)->Iterations(20)->UseRealTime();

// Processor time the Ready screen uses while it waits (its winners list scrolls).
void BM_IdleReadyCpu(benchmark::State& state) {
  Task();
  TDrawSession session;
  TGetLuckMainForm screen(session, nullptr, 1u);
  ShowScreen(screen, static_cast<int>(state.range(0)));
  MeasureIdleCpu(state);
}
BENCHMARK(BM_IdleReadyCpu)
    ->Arg(1920)
    ->Arg(3840)
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime();

// Starts a batch, stops its roll and reveals it at once.
void RevealBatch(TGetLuckMainForm& screen) {
  screen.SBeginClick();
  QApplication::processEvents();  // the selection
  screen.EKeyCtrlKeyPress();
  screen.ShowReveal();
}

// The same between batches: the winners list scrolls and a batch of 1,000 crawls.
void BM_IdleBetweenCpu(benchmark::State& state) {
  Task();
  TDrawSession session;
  TGetLuckMainForm screen(session, nullptr, 1u);
  ShowScreen(screen, static_cast<int>(state.range(0)));
  RevealBatch(screen);
  MeasureIdleCpu(state);
}
BENCHMARK(BM_IdleBetweenCpu)
    ->Arg(1920)
    ->Arg(3840)
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime();

// The same once the fireworks are over (the measure above includes most of them): what the
// screen costs while it stands still between batches.
void BM_StillBetweenCpu(benchmark::State& state) {
  Task();
  TDrawSession session;
  TGetLuckMainForm screen(session, nullptr, 1u);
  ShowScreen(screen, static_cast<int>(state.range(0)));
  RevealBatch(screen);
  if (!QTest::qWaitFor([&] { return !screen.Celebration->Running(); }, 10000))
    state.SkipWithError("the celebration did not end");
  MeasureIdleCpu(state);
}
BENCHMARK(BM_StillBetweenCpu)
    ->Arg(1920)
    ->Arg(3840)
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime();

// Processor time of the fireworks after a reveal (the task's only item is its last, so each
// batch is celebrated), from the reveal until they are over, and the longest a key pressed
// meanwhile would wait: the first key waits for the reveal's own paint (its new texts drawn
// once), the later ones for the fireworks.
void BM_CelebrationCpu(benchmark::State& state) {
  Task();
  TDrawSession session;
  TGetLuckMainForm screen(session, nullptr, 1u);
  ShowScreen(screen, static_cast<int>(state.range(0)));
  double percent = 0, worst = 0, first = -1, later = 0;
  for (auto _ : state) {
    RevealBatch(screen);
    if (!screen.Celebration->Running()) state.SkipWithError("no celebration");
    const double cpu0 = CpuSeconds();
    QElapsedTimer wall;
    wall.start();
    // A 5 ms timer stands for a key: how late it fires is how long a key would wait.
    QElapsedTimer since;
    since.start();
    QTimer probe;
    probe.setInterval(5);
    QObject::connect(&probe, &QTimer::timeout, [&] {
      const double wait = since.nsecsElapsed() / 1e6 - 5;
      worst = std::max(worst, wait);
      if (first < 0) {
        first = wait;
      } else {
        later = std::max(later, wait);
      }
      since.restart();
    });
    probe.start();
    while (screen.Celebration->Running() && wall.elapsed() < 10000) QTest::qWait(20);
    probe.stop();
    percent = (CpuSeconds() - cpu0) / (wall.elapsed() / 1000.0) * 100.0;
  }
  state.counters["cpu_percent_of_one_core"] = percent;
  state.counters["key_wait_ms"] = worst;
  state.counters["first_key_wait_ms"] = first;
  state.counters["later_key_wait_ms"] = later;
}
BENCHMARK(BM_CelebrationCpu)
    ->Arg(1920)
    ->Arg(3840)
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime();

}  // namespace
