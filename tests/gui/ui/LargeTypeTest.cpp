// Large type drawn from glyph pictures lands where Qt's own drawText puts it, with the same
// ink, at device pixel ratios 1 and 2; repeated draws make no new pictures.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "gui/ui/Fonts.h"
#include "gui/ui/LargeType.h"

namespace {

const QColor kInk(255, 230, 120);

QFont StageFont(int px) {
  QFont f = UiFont(StageFamily(), 12, true);
  f.setPixelSize(px);
  return f;
}

QImage Canvas(qreal dpr) {
  QImage image(QSize(1200, 300) * dpr, QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(dpr);
  image.fill(Qt::transparent);
  return image;
}

QImage Drawn(bool ours, qreal dpr, const QRectF& r, int align, const QString& text, int px) {
  QImage image = Canvas(dpr);
  QPainter p(&image);
  if (ours) {
    largetype::Draw(p, r, align, text, StageFont(px), kInk);
  } else {
    p.setFont(StageFont(px));
    p.setPen(kInk);
    p.drawText(r, align | Qt::TextSingleLine, text);
  }
  return image;
}

// The device-pixel box of the pixels with ink, and how many there are.
struct Ink {
  QRect box;
  int pixels = 0;
};
Ink InkOf(const QImage& image) {
  Ink ink;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (qAlpha(image.pixel(x, y)) > 128) {
        ink.box |= QRect(x, y, 1, 1);
        ++ink.pixels;
      }
  return ink;
}

int PixelsApart(const QImage& a, const QImage& b) {
  int apart = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x)
      if (std::abs(qAlpha(a.pixel(x, y)) - qAlpha(b.pixel(x, y))) > 96) ++apart;
  return apart;
}

}  // namespace

TEST(LargeType, LandsAsQtDrawsItForEveryPlacementAndPixelRatio) {
  const QString text = QStringLiteral("恭喜 138****0001 张三");
  const QRectF r(20, 10, 1160, 280);
  const int aligns[] = {Qt::AlignHCenter | Qt::AlignVCenter, Qt::AlignLeft | Qt::AlignTop,
                        Qt::AlignRight | Qt::AlignBottom};
  for (qreal dpr : {1.0, 2.0}) {
    for (int align : aligns) {
      const QImage ours = Drawn(true, dpr, r, align, text, 80);
      const QImage qts = Drawn(false, dpr, r, align, text, 80);
      const Ink a = InkOf(ours), b = InkOf(qts);
      ASSERT_GT(b.pixels, 10000) << "Qt drew no large text";
      const QString where = QStringLiteral("ratio %1 align %2").arg(dpr).arg(align);
      EXPECT_LE(std::abs(a.box.left() - b.box.left()), 1) << where.toStdString();
      EXPECT_LE(std::abs(a.box.top() - b.box.top()), 1) << where.toStdString();
      EXPECT_LE(std::abs(a.box.right() - b.box.right()), 1) << where.toStdString();
      EXPECT_LE(std::abs(a.box.bottom() - b.box.bottom()), 1) << where.toStdString();
      // Glyphs stand on whole pixels where Qt places them on fractions, so edges move by up
      // to half a pixel; the ink is the same (a glyph left out is about 5 % of it).
      EXPECT_LT(std::abs(a.pixels - b.pixels), b.pixels / 50) << where.toStdString();
      EXPECT_LT(PixelsApart(ours, qts), b.pixels / 12) << where.toStdString();
    }
  }
}

TEST(LargeType, ClipsToItsPlaceAndReusesItsPictures) {
  const QString text = QStringLiteral("一等奖 13800000000 13900000000 13700000000");
  const QRectF r(100, 50, 400, 200);  // far narrower than the line
  const QImage once = Drawn(true, 1.0, r, Qt::AlignHCenter | Qt::AlignVCenter, text, 120);
  const Ink ink = InkOf(once);
  ASSERT_GT(ink.pixels, 0);
  EXPECT_TRUE(QRect(100, 50, 400, 200).contains(ink.box));

  const int glyphs = largetype::CachedGlyphs();
  const QImage again = Drawn(true, 1.0, r, Qt::AlignHCenter | Qt::AlignVCenter, text, 120);
  EXPECT_EQ(largetype::CachedGlyphs(), glyphs);
  EXPECT_EQ(again, once);
}

TEST(LargeType, LeavesTypeQtCachesToQt) {
  // 40 px at ratio 1 is below Qt's own glyph cache limit: drawn by Qt, identical, no picture.
  const int glyphs = largetype::CachedGlyphs();
  const QString text = QStringLiteral("二等奖 138****0002");
  const QRectF r(0, 0, 1200, 300);
  EXPECT_FALSE(largetype::Outlined(StageFont(40), 1.0));
  EXPECT_TRUE(largetype::Outlined(StageFont(40), 2.0));
  EXPECT_EQ(Drawn(true, 1.0, r, Qt::AlignCenter, text, 40),
            Drawn(false, 1.0, r, Qt::AlignCenter, text, 40));
  EXPECT_EQ(largetype::CachedGlyphs(), glyphs);
}
