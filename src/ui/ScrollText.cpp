#include "ui/ScrollText.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "ui/Fonts.h"

TScrollText::TScrollText(QWidget* panel) : QWidget(panel), m_color(128, 0, 0) {
  setAttribute(Qt::WA_TransparentForMouseEvents, false);
  setFocusPolicy(Qt::NoFocus);
}

void TScrollText::SetLines(QStringList lines) {
  m_lines = std::move(lines);
  m_widest100 = 0;
  Measure(m_lines);
  update();
}

void TScrollText::AppendLines(const QStringList& lines) {
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
  m_columns = std::max(1, columns);
  update();
}

void TScrollText::SetCentered(bool centered) {
  m_centered = centered;
  update();
}

void TScrollText::SetShrinkToWidth(bool shrink) {
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
  m_top = top;
  update();
}

void TScrollText::SetScale(double s) {
  m_scale = s;
  update();
}

void TScrollText::SetFontFamily(const QString& family, bool bold) {
  m_font = UiFont(family, 12, bold);
  m_widest100 = 0;
  Measure(m_lines);
  update();
}

void TScrollText::paintEvent(QPaintEvent*) {
  if (m_lines.isEmpty()) return;
  QPainter p(this);
  p.setRenderHint(QPainter::TextAntialiasing);
  QFont f = m_font;
  f.setPixelSize(FontPixels());
  p.setFont(f);
  const QFontMetricsF fm(f);
  p.setPen(m_color);
  const double lh = m_lineHeight * m_scale;
  const double top = m_top * m_scale;
  // Only the rows that fall inside the widget.
  const int first = std::max(0, static_cast<int>(std::floor(-top / lh)));
  const int last = std::min(Rows() - 1, static_cast<int>(std::ceil((height() - top) / lh)));
  const double x = m_left * m_scale;
  const double column = (width() - 2 * x) / m_columns;
  const int align = (m_centered ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter;
  for (int row = first; row <= last; ++row) {
    for (int c = 0; c < m_columns; ++c) {
      const int i = row * m_columns + c;
      if (i >= LineCount()) break;
      const QRectF r(x + c * column, top + row * lh, column, lh);
      // A line too wide for its place is drawn smaller; the others keep their size.
      const double w = m_shrink ? fm.horizontalAdvance(m_lines[i]) : 0;
      if (w > r.width()) {
        QFont small = f;
        small.setPixelSize(std::max(1, static_cast<int>(f.pixelSize() * r.width() / w)));
        p.setFont(small);
        p.drawText(r, align | Qt::TextSingleLine, m_lines[i]);
        p.setFont(f);
      } else {
        p.drawText(r, align | Qt::TextSingleLine, m_lines[i]);
      }
    }
  }
}

void TScrollText::mouseReleaseEvent(QMouseEvent* e) {
  QWidget::mouseReleaseEvent(e);
  if (onMouseUp) onMouseUp();
}
