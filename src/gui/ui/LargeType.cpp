#include "gui/ui/LargeType.h"

#include <QGlyphRun>
#include <QHash>
#include <QImage>
#include <QPaintDevice>
#include <QPainter>
#include <QPainterPath>
#include <QRawFont>
#include <QTextLayout>
#include <cmath>
#include <limits>

namespace largetype {

namespace {

// Qt's raster engine draws cached glyphs below this size (QT_MAX_CACHED_GLYPH_SIZE).
constexpr qreal kCachedUpTo = 64;
// Enough for a few thousand glyphs of stage type; past it the pictures are made again.
constexpr qint64 kCapBytes = 96ll << 20;

// The font itself, not its family name: QRawFont::familyName() reads the first of the
// engine's families, which some engines (Windows, offscreen) leave empty. Held here, the
// font's engine stays alive, so no other font can take its place in a key.
struct GlyphKey {
  QRawFont font;
  qreal pixelSize;
  int weight;
  qreal dpr;
  QRgb color;
  quint32 glyph;
  bool operator==(const GlyphKey&) const = default;
};

size_t qHash(const GlyphKey& k, size_t seed = 0) {
  return qHashMulti(seed, k.font, k.pixelSize, k.weight, k.dpr, k.color, k.glyph);
}

struct GlyphPicture {
  QImage image;   // premultiplied, in the glyph's colour; null for a glyph without ink
  QPoint offset;  // of the picture's top left from the pen position, in device pixels
};

QHash<GlyphKey, GlyphPicture>& Cache() {
  static QHash<GlyphKey, GlyphPicture> cache;
  return cache;
}
qint64 g_bytes = 0;

const GlyphPicture& PictureOf(const QRawFont& font, quint32 glyph, qreal dpr, const QColor& c) {
  GlyphKey key{font, font.pixelSize(), font.weight(), dpr, c.rgba(), glyph};
  QHash<GlyphKey, GlyphPicture>& cache = Cache();
  auto it = cache.constFind(key);
  if (it != cache.constEnd()) return it.value();
  const QPainterPath path = QTransform::fromScale(dpr, dpr).map(font.pathForGlyph(glyph));
  GlyphPicture picture;
  const QRect bounds = path.boundingRect().toAlignedRect().adjusted(-1, -1, 1, 1);
  if (!path.isEmpty() && bounds.isValid()) {
    picture.image = QImage(bounds.size(), QImage::Format_ARGB32_Premultiplied);
    picture.image.fill(Qt::transparent);
    QPainter gp(&picture.image);
    gp.setRenderHint(QPainter::Antialiasing);
    gp.translate(-bounds.topLeft());
    gp.fillPath(path, c);
    gp.end();
    picture.offset = bounds.topLeft();
  }
  const qint64 bytes = picture.image.sizeInBytes();
  if (g_bytes + bytes > kCapBytes) {
    cache.clear();
    g_bytes = 0;
  }
  g_bytes += bytes;
  return cache.insert(key, picture).value();
}

}  // namespace

bool Outlined(const QFont& font, qreal dpr) {
  const qreal px = font.pixelSize() > 0 ? font.pixelSize() : font.pointSizeF() * 96.0 / 72.0;
  return px * dpr >= kCachedUpTo;
}

void Draw(QPainter& p, const QRectF& rect, int align, const QString& text, const QFont& font,
          const QColor& color) {
  const qreal dpr = p.device() ? p.device()->devicePixelRatioF() : 1.0;
  const QTransform t = p.transform();
  if (!Outlined(font, dpr) || t.type() > QTransform::TxTranslate) {
    p.save();
    p.setFont(font);
    p.setPen(color);
    p.drawText(rect, align | Qt::TextSingleLine, text);
    p.restore();
    return;
  }
  QTextLayout layout(text, font);
  QTextOption option;
  option.setWrapMode(QTextOption::NoWrap);
  layout.setTextOption(option);
  layout.beginLayout();
  QTextLine line = layout.createLine();
  if (!line.isValid()) {
    layout.endLayout();
    return;
  }
  line.setLineWidth(std::numeric_limits<int>::max() / 256);
  layout.endLayout();
  // Placed as Qt places a single line in a rectangle.
  qreal x = rect.x(), y = rect.y();
  const qreal width = line.naturalTextWidth();
  const qreal height = line.height();
  if (align & Qt::AlignHCenter) {
    x += (rect.width() - width) / 2;
  } else if (align & Qt::AlignRight) {
    x += rect.width() - width;
  }
  if (align & Qt::AlignVCenter) {
    y += (rect.height() - height) / 2;
  } else if (align & Qt::AlignBottom) {
    y += rect.height() - height;
  }
  p.save();
  p.setClipRect(rect, Qt::IntersectClip);
  for (const QGlyphRun& run : layout.glyphRuns()) {
    const QRawFont raw = run.rawFont();
    const QList<quint32> glyphs = run.glyphIndexes();
    const QList<QPointF> positions = run.positions();
    for (qsizetype i = 0; i < glyphs.size(); ++i) {
      const GlyphPicture& g = PictureOf(raw, glyphs[i], dpr, color);
      if (g.image.isNull()) continue;
      // Whole device pixels: a picture of the same ratio is copied, not resampled.
      const QPoint pen(static_cast<int>(std::lround((t.dx() + x + positions[i].x()) * dpr)),
                       static_cast<int>(std::lround((t.dy() + y + positions[i].y()) * dpr)));
      const QPoint at = pen + g.offset;
      p.drawImage(QRectF(at.x() / dpr - t.dx(), at.y() / dpr - t.dy(), g.image.width() / dpr,
                         g.image.height() / dpr),
                  g.image);
    }
  }
  p.restore();
}

int CachedGlyphs() { return static_cast<int>(Cache().size()); }
qint64 CachedBytes() { return g_bytes; }

}  // namespace largetype
