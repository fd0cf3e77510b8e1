// The yardstick of the start-up benchmark: a bare Qt Widgets window of the main window's size,
// linked with Qt Widgets alone, watched by the same first-paint probe as the program. With
// the argument "text" it shows one line of Chinese text, which a window without text never
// pays for: fontconfig's set-up and a CJK face.
#include <QApplication>
#include <QLabel>
#include <QWidget>

#include "gui/app/FirstPaintProbe.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window;
  window.resize(730, 510);
  if (argc > 1 && QByteArray(argv[1]) == "text")
    (new QLabel(QStringLiteral("Qarvo抽奖软件"), &window))->move(10, 10);
  FirstPaintProbe::Watch(window);
  window.show();
  return QApplication::exec();
}
