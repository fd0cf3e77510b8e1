// GUI tests run real windows on the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>

#include "gui/ui/Dialogs.h"
#include "gui/ui/Fonts.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  InstallFontSubstitutions();
  InstallCoreMessageSink();
  return RUN_ALL_TESTS();
}
