// The fireworks repaint only the spots of their sparks: never a text they keep out of, not even
// where that text's shadow reaches.
#include <gtest/gtest.h>

#include <QApplication>
#include <QEvent>
#include <QImage>
#include <QLabel>
#include <QScreen>
#include <QTest>

#include "gui/stage/Celebration.h"
#include "gui/stage/DrawScreenArt.h"

namespace {

class PaintCounter : public QObject {
 public:
  int paints = 0;

 protected:
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) ++paints;
    return false;
  }
};

}  // namespace

TEST(Celebration, NeverRepaintsATextItKeepsOutOfNorItsShadow) {
  QWidget screen;
  screen.resize(1280, 800);
  screen.setStyleSheet(QStringLiteral("background: #900"));
  auto* celebration = new TCelebration(&screen);
  // A text in the middle of where the sparks fly, with the stage's shadow.
  auto* text = new QLabel(QStringLiteral("所有奖项已经全部抽取完毕！"), &screen);
  text->setStyleSheet(QStringLiteral("color: yellow; font-size: 40px; background: transparent"));
  text->adjustSize();
  text->move(400, 380);
  AddTextShadow(text);
  screen.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&screen));
  PaintCounter counter;
  text->installEventFilter(&counter);

  const QRegion keepOut(PaintedArea(text).adjusted(-4, -4, 4, 4));
  EXPECT_TRUE(keepOut.boundingRect().contains(text->geometry().adjusted(0, 0, 8, 8)));
  celebration->Start({QRect(300, 280, 680, 240)}, keepOut, false);
  ASSERT_TRUE(QTest::qWaitFor([&] { return celebration->Sparks() > 0; }, 2000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !celebration->Running(); }, 6000));
  QTest::qWait(100);  // the last spots painted away
  EXPECT_EQ(counter.paints, 0);
}

// Every spark is drawn inside the spots painted again for it: once the fireworks are over the
// screen is exactly as it was, at projector sizes, with no head or trail left behind.
TEST(Celebration, LeavesNothingBehindOnTheScreen) {
  for (const QSize size : {QSize(1280, 800), QSize(3840, 2160)}) {
    QWidget screen;
    screen.resize(size);
    screen.setStyleSheet(QStringLiteral("background: #900"));
    auto* celebration = new TCelebration(&screen);
    screen.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&screen));
    const auto shown = [&] {
      QApplication::processEvents();
      return screen.screen()->grabWindow(screen.winId()).toImage();
    };
    const QImage before = shown();
    celebration->Start({QRect(QPoint(0, 0), size)}, QRegion(), false);
    bool drawn = false;  // some frame showed a spark
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
          drawn = drawn || shown() != before;
          return !celebration->Running();
        },
        8000));
    EXPECT_TRUE(drawn) << size.width();
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown() == before; }, 2000)) << size.width();
  }
}
