// Type of 64 device pixels and more, drawn from pictures of its glyphs. Qt's raster
// engine caches glyphs only below that size and fills every larger glyph's outline again on
// each draw, which at 4K costs tens of milliseconds for a screen of winners. Here each
// glyph's outline is filled once per font, size, pixel ratio and colour, and later draws
// copy the picture.
#pragma once

#include <QColor>
#include <QFont>
#include <QRectF>
#include <QString>

class QPainter;

namespace largetype {

// True when Qt would fill `font`'s outlines on every draw at pixel ratio `dpr` (64 device
// pixels and more).
bool Outlined(const QFont& font, qreal dpr);

// Draws `text` as one line inside `rect`, placed by `align` (horizontal and vertical flags)
// and clipped to `rect`, as QPainter::drawText(rect, align | Qt::TextSingleLine, text) does,
// in `font` and `color`. Glyphs stand on whole device pixels. Fonts Qt caches itself are
// drawn by Qt.
void Draw(QPainter& p, const QRectF& rect, int align, const QString& text, const QFont& font,
          const QColor& color);

// Glyph pictures kept now, and their bytes; the cache is emptied when it would pass its cap.
int CachedGlyphs();
qint64 CachedBytes();

}  // namespace largetype
