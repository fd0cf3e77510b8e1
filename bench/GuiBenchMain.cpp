// The main of the benchmarks that open windows: an application on the offscreen platform
// unless one is named, the usual fonts, and no dialog that would wait for a person.
#include <benchmark/benchmark.h>

#include <QApplication>

#include "gui/ui/Dialogs.h"
#include "gui/ui/Fonts.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  InstallFontSubstitutions();
  UnattendedDialogProvider silent;
  SetDialogProvider(&silent);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  SetDialogProvider(nullptr);
  return 0;
}
