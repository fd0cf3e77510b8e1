// The stage texts' shadow is made once per change of the text, and draws what Qt's own drop
// shadow draws, pixel for pixel, at large type and at device pixel ratios 1 and 2.
#include <gtest/gtest.h>

#include <QGraphicsDropShadowEffect>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QTest>

#include "gui/stage/TextShadow.h"
#include "gui/ui/Fonts.h"

namespace {

// A stage-like screen with one large shadowed text in it; `cached` picks our shadow over
// Qt's.
struct Stage {
  QWidget screen;
  QLabel* text;
  explicit Stage(bool cached, const QString& line = QStringLiteral("恭喜一等奖 138****0001")) {
    screen.resize(1400, 420);
    screen.setStyleSheet(QStringLiteral("background: #a01010"));
    text = new QLabel(line, &screen);
    text->setAttribute(Qt::WA_TranslucentBackground);
    text->setTextFormat(Qt::PlainText);
    text->setFont(UiFont(StageFamily(), 12, true));
    QFont f = text->font();
    f.setPixelSize(150);  // far above the largest size Qt keeps glyphs of
    text->setFont(f);
    QPalette pal = text->palette();
    pal.setColor(QPalette::WindowText, QColor(255, 230, 120));
    text->setPalette(pal);
    text->setGeometry(40, 60, 1300, 260);
    QGraphicsDropShadowEffect* shadow =
        cached ? new TTextShadow(text) : new QGraphicsDropShadowEffect(text);
    shadow->setBlurRadius(8);
    shadow->setOffset(2, 2);
    shadow->setColor(QColor(0, 0, 0, 190));
    text->setGraphicsEffect(shadow);
    screen.show();
  }
  TTextShadow* Shadow() const { return static_cast<TTextShadow*>(text->graphicsEffect()); }
  QImage Picture(qreal dpr) {
    QImage image((screen.size() * dpr), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::black);
    screen.render(&image);
    return image;
  }
};

}  // namespace

TEST(TextShadow, DrawsWhatQtsDropShadowDrawsAtLargeTypeAndBothPixelRatios) {
  Stage ours(true), qts(false);
  for (qreal dpr : {1.0, 2.0}) {
    const QImage a = ours.Picture(dpr), b = qts.Picture(dpr);
    EXPECT_EQ(a, b) << "device pixel ratio " << dpr;
    // The text is there at all: the picture is not the bare background.
    QImage bare(a.size(), a.format());
    bare.setDevicePixelRatio(dpr);
    bare.fill(QColor(0xa0, 0x10, 0x10));
    EXPECT_NE(a, bare);
    // Drawn again from what was made the first time.
    EXPECT_EQ(ours.Picture(dpr), a) << "device pixel ratio " << dpr;
  }
}

TEST(TextShadow, IsMadeOncePerChangeAndShowsEachChange) {
  Stage ours(true);
  (void)ours.Picture(1);
  const int first = ours.Shadow()->Renders();
  EXPECT_GE(first, 1);
  (void)ours.Picture(1);
  (void)ours.Picture(1);
  EXPECT_EQ(ours.Shadow()->Renders(), first);  // nothing changed: nothing made again

  // A new text is drawn at once, as Qt's shadow draws it.
  const QString next = QStringLiteral("二等奖 139****0042");
  ours.text->setText(next);
  Stage reference(false, next);
  EXPECT_EQ(ours.Picture(1), reference.Picture(1));
  EXPECT_EQ(ours.Shadow()->Renders(), first + 1);

  // So are a new colour, a new size of type and a new place.
  QPalette pal = ours.text->palette();
  pal.setColor(QPalette::WindowText, Qt::white);
  ours.text->setPalette(pal);
  reference.text->setPalette(pal);
  EXPECT_EQ(ours.Picture(1), reference.Picture(1));
  QFont f = ours.text->font();
  f.setPixelSize(90);
  ours.text->setFont(f);
  reference.text->setFont(f);
  EXPECT_EQ(ours.Picture(2), reference.Picture(2));
  ours.text->move(120, 140);
  reference.text->move(120, 140);
  EXPECT_EQ(ours.Picture(1), reference.Picture(1));
}

TEST(TextShadow, ShowsOnTheRealScreenAfterSetText) {
  Stage ours(true);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&ours.screen));
  const QImage before = ours.screen.grab().toImage();
  const int renders = ours.Shadow()->Renders();
  ours.text->setText(QStringLiteral("三等奖"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return ours.Shadow()->Renders() > renders; }));
  Stage reference(false, QStringLiteral("三等奖"));
  EXPECT_NE(ours.screen.grab().toImage(), before);
  EXPECT_EQ(ours.screen.grab().toImage(), reference.screen.grab().toImage());
}
