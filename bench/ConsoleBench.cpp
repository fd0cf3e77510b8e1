// What the operator's console and the blanked projector cost while nothing happens: the
// draw screen stands on a 1920 x 1080 projector beside the laptop's screen (the offscreen
// platform's two screens), the console on the laptop; the process's CPU time (getrusage,
// user and system) is measured over `seconds` idle between batches, then again with the
// projector blanked, then during a roll (for comparison: the console's pictures at most five
// a second).
//
//   bench_console [seconds=10]
//
// Prints each share of one core and the pictures taken; exits 1 when an idle share is over
// 5 %.
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/db/TombolixDM.h"
#include "core/draw/DrawSession.h"
#include "core/text/Gbk.h"
#include "gui/stage/ConsoleFrm.h"
#include "gui/stage/DrawScreenArt.h"
#include "gui/stage/GetLuckMainFrm.h"
#include "gui/ui/Fonts.h"

namespace {

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Runs the event loop for `ms` and answers the share of one core the process used.
double Share(int ms) {
  const double cpu = CpuSeconds();
  QElapsedTimer wall;
  wall.start();
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
  return (CpuSeconds() - cpu) / (static_cast<double>(wall.elapsed()) / 1000.0);
}

// Runs the event loop until `done` or `ms` pass.
template <typename F>
bool WaitFor(F done, int ms = 10000) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  return done();
}

void Press(QWidget* w, int key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QCoreApplication::sendEvent(w, &press);
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
  qputenv("QT_QPA_PLATFORM", QByteArray("offscreen:configfile=") + TWO_SCREENS);
  QApplication app(argc, argv);
  InstallFontSubstitutions();
  TempRoot root;
  TTombolixDataModule dm;
  if (!dm.DataModuleCreate()) return 2;
  TaskDef def;
  def.items = {{text::G("一等奖"), 3, 3, text::G("电脑")}, {text::G("二等奖"), 3, 3, ""}};
  for (int i = 0; i < 500; ++i)
    def.candidates.push_back(std::to_string(13900000000LL + i) + text::G(" 员工") +
                             std::to_string(i));
  BuildTask(dm, def);

  QWidget owner;
  owner.setGeometry(QGuiApplication::screens().front()->geometry().adjusted(20, 20, -20, -20));
  owner.show();
  TDrawSession session;
  TGetLuckMainForm screen(session, &owner, 31u);
  if (screen.SetUpDraw(1001) != 1) return 2;
  ShowOnWholeScreen(&screen);
  screen.show();
  if (!WaitFor([&] { return screen.Console() && screen.Console()->isVisible(); })) {
    std::fprintf(stderr, "no console: the platform gave one screen\n");
    return 2;
  }
  TConsoleForm* console = screen.Console();
  std::printf("stage %dx%d, console %dx%d\n", screen.width(), screen.height(), console->width(),
              console->height());

  // A batch revealed; the screen rests.
  Press(screen.EKeyCtrl, Qt::Key_Return);
  WaitFor([&] { return screen.Stage().Phase() == TStagePhase::Rolling; });
  Share(1600);
  Press(screen.EKeyCtrl, Qt::Key_Return);
  WaitFor([&] { return screen.Stage().Phase() == TStagePhase::Revealed; });
  Share(3000);  // the celebration and the console's last picture settle

  int pictures = console->Pictures();
  const double idle = Share(seconds * 1000);
  std::printf("idle with the console:   %5.2f %% of a core, %d pictures\n", idle * 100,
              console->Pictures() - pictures);

  Press(screen.EKeyCtrl, Qt::Key_B);
  Share(1000);
  pictures = console->Pictures();
  const double blank = Share(seconds * 1000);
  std::printf("idle and blanked:        %5.2f %% of a core, %d pictures\n", blank * 100,
              console->Pictures() - pictures);
  Press(screen.EKeyCtrl, Qt::Key_B);

  Press(screen.EKeyCtrl, Qt::Key_Return);
  WaitFor([&] { return screen.Stage().Phase() == TStagePhase::Rolling; });
  pictures = console->Pictures();
  const int rollSeconds = std::min(seconds, 5);
  const double rolling = Share(rollSeconds * 1000);
  std::printf("rolling (for comparison): %5.2f %% of a core, %.1f pictures a second\n",
              rolling * 100, double(console->Pictures() - pictures) / rollSeconds);
  const bool ok = idle <= 0.05 && blank <= 0.05;
  std::printf("%s\n", ok ? "within 5 % idle" : "OVER 5 % of a core while idle");
  return ok ? 0 : 1;
}
