#include "gui/ui/ScrollText.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "gui/ui/Fonts.h"
#include "gui/ui/LargeType.h"

TScrollText::TScrollText(QWidget* panel) : QWidget(panel), m_color(128, 0, 0) {
  setAttribute(Qt::WA_TransparentForMouseEvents, false);
  setFocusPolicy(Qt::NoFocus);
}

void TScrollText::SetLines(QStringList lines) {
  m_rowCache.clear();
  m_lines = std::move(lines);
  m_widest100 = 0;
  Measure(m_lines);
  update();
}

void TScrollText::AppendLines(const QStringList& lines) {
  // Rows already full keep their pictures; the last one may take new lines.
  m_rowCache.remove(LineCount() / m_columns);
  m_lines.append(lines);
  Measure(lines);
  update();
}

void TScrollText::Measure(const QStringList& lines) {
  QFont f = m_font;
  f.setPixelSize(100);
  const QFontMetricsF fm(f);
  for (const QString& l : lines) m_widest100 = std::max(m_widest100, fm.horizontalAdvance(l));
}

void TScrollText::SetColumns(int columns) {
  m_rowCache.clear();
  m_columns = std::max(1, columns);
  update();
}

void TScrollText::SetCentered(bool centered) {
  m_rowCache.clear();
  m_centered = centered;
  update();
}

void TScrollText::SetShrinkToWidth(bool shrink) {
  m_rowCache.clear();
  m_shrink = shrink;
  update();
}

double TScrollText::WidestLine(int lineHeight) const {
  return m_widest100 * lineHeight * 0.92 / 100.0;
}

int TScrollText::FontPixels() const {
  return std::max(1, static_cast<int>(std::floor(m_lineHeight * m_scale * 0.92)));
}

void TScrollText::SetTop(int top) {
  if (top == m_top) return;
  const long before = std::lround(m_top * m_scale);
  m_top = top;
  const int dy = static_cast<int>(std::lround(m_top * m_scale) - before);
  if (m_fill.isValid() && isVisible() && std::abs(dy) < height() / 2) {
    scroll(0, dy);
  } else {
    update();
  }
}

void TScrollText::SetOpaque(const QColor& c) {
  m_fill = c;
  setAttribute(Qt::WA_OpaquePaintEvent, c.isValid());
  update();
}

void TScrollText::SetScale(double s) {
  m_rowCache.clear();
  m_scale = s;
  update();
}

void TScrollText::SetFontFamily(const QString& family, bool bold) {
  m_rowCache.clear();
  m_font = UiFont(family, 12, bold);
  m_widest100 = 0;
  Measure(m_lines);
  update();
}

void TScrollText::PaintRow(QPainter& p, int row, double y) const {
  QFont f = m_font;
  f.setPixelSize(FontPixels());
  const QFontMetricsF fm(f);
  const double lh = m_lineHeight * m_scale;
  const double x = m_left * m_scale;
  const double column = (width() - 2 * x) / m_columns;
  const int align = (m_centered ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter;
  // Type of 0.92 of the line is taller than its line by its ascent and deep descent: centred
  // by those, Chinese stood low, its feet cut by the row below and the last row's by the
  // text's edge, with an empty strip above. It is centred by its ink instead, in a place
  // taller than the row, so nothing of it is cut.
  const auto place = [&](const QFontMetricsF& m, double left) {
    const double ink = m.tightBoundingRect(QStringLiteral("国")).center().y();
    const double box = (m.descent() - m.ascent()) / 2;
    const double spare = lh / 4;
    return QRectF(left, y - (ink - box) - spare, column, lh + 2 * spare);
  };
  for (int c = 0; c < m_columns; ++c) {
    const int i = row * m_columns + c;
    if (i >= LineCount()) break;
    const double left = x + c * column;
    // A line too wide for its place is drawn smaller; the others keep their size.
    const double w = m_shrink ? fm.horizontalAdvance(m_lines[i]) : 0;
    if (w > column) {
      QFont small = f;
      small.setPixelSize(std::max(1, static_cast<int>(f.pixelSize() * column / w)));
      largetype::Draw(p, place(QFontMetricsF(small), left), align, m_lines[i], small, m_color);
    } else {
      largetype::Draw(p, place(fm, left), align, m_lines[i], f, m_color);
    }
  }
}

void TScrollText::paintEvent(QPaintEvent* e) {
  QPainter p(this);
  if (m_fill.isValid()) p.fillRect(e->rect(), m_fill);
  if (m_lines.isEmpty()) return;
  p.setRenderHint(QPainter::TextAntialiasing);
  const double lh = m_lineHeight * m_scale;
  // Whole pixels, so that text moved by copying lands where it would be painted.
  const double top = static_cast<double>(std::lround(m_top * m_scale));
  // Only the rows that fall inside the part to paint.
  const QRect dirty = e->rect();
  const int first = std::max(0, static_cast<int>(std::floor((dirty.top() - top) / lh)));
  const int last =
      std::min(Rows() - 1, static_cast<int>(std::ceil((dirty.bottom() + 1 - top) / lh)));
  if (m_fill.isValid()) {
    // Opaque: only strips are painted, straight.
    for (int row = first; row <= last; ++row) PaintRow(p, row, top + row * lh);
    return;
  }
  // Over a background the whole text is painted each step: large type is drawn as outlines,
  // so each row is drawn once into a picture and the pictures are reused.
  const qreal dpr = devicePixelRatioF();
  const QSize rowSize(width(), static_cast<int>(std::ceil(lh)) + 1);
  for (auto it = m_rowCache.begin(); it != m_rowCache.end();) {
    if (it.key() < first - 2 || it.key() > last + 2) {
      it = m_rowCache.erase(it);
    } else {
      ++it;
    }
  }
  for (int row = first; row <= last; ++row) {
    auto it = m_rowCache.find(row);
    if (it == m_rowCache.end()) {
      QPixmap pm(rowSize * dpr);
      pm.setDevicePixelRatio(dpr);
      pm.fill(Qt::transparent);
      QPainter rp(&pm);
      rp.setRenderHint(QPainter::TextAntialiasing);
      PaintRow(rp, row, 0);
      rp.end();
      it = m_rowCache.insert(row, pm);
    }
    p.drawPixmap(QPointF(0, std::round(top + row * lh)), it.value());
  }
}

void TScrollText::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  m_rowCache.clear();
}

void TScrollText::mouseReleaseEvent(QMouseEvent* e) {
  QWidget::mouseReleaseEvent(e);
  if (onMouseUp) onMouseUp();
  if (onLineClicked && e->button() == Qt::LeftButton) {
    const double lh = m_lineHeight * m_scale;
    const double top = static_cast<double>(std::lround(m_top * m_scale));
    const int row = static_cast<int>(std::floor((e->position().y() - top) / lh));
    onLineClicked(row >= 0 && row < Rows() && m_columns == 1 ? row : -1);
  }
}
