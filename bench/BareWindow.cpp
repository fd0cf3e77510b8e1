// The yardstick of the start-up benchmark: a bare Qt Widgets window of the main window's size,
// linked with Qt Widgets alone, watched by the same first-paint probe as the program.
#include <QApplication>
#include <QWidget>

#include "app/FirstPaintProbe.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window;
  window.resize(730, 510);
  FirstPaintProbe::Watch(window);
  window.show();
  return QApplication::exec();
}
