#include "ui/ScrollText.h"

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
  update();
}

void TScrollText::AppendLines(const QStringList& lines) {
  m_lines.append(lines);
  update();
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
  update();
}

void TScrollText::paintEvent(QPaintEvent*) {
  if (m_lines.isEmpty()) return;
  QPainter p(this);
  p.setRenderHint(QPainter::TextAntialiasing);
  QFont f = m_font;
  f.setPixelSize(std::max(1, static_cast<int>(std::lround(m_lineHeight * m_scale * 0.92))));
  p.setFont(f);
  p.setPen(m_color);
  const double lh = m_lineHeight * m_scale;
  const double top = m_top * m_scale;
  // Only the lines that fall inside the widget.
  const int first = std::max(0, static_cast<int>(std::floor(-top / lh)));
  const int last = std::min(LineCount() - 1, static_cast<int>(std::ceil((height() - top) / lh)));
  const int x = static_cast<int>(std::lround(m_left * m_scale));
  for (int i = first; i <= last; ++i) {
    const QRectF r(x, top + i * lh, width() - x, lh);
    p.drawText(r, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, m_lines[i]);
  }
}

void TScrollText::mouseReleaseEvent(QMouseEvent* e) {
  QWidget::mouseReleaseEvent(e);
  if (onMouseUp) onMouseUp();
}
