#include "gui/ui/DesignScale.h"

#include <QFontMetricsF>
#include <QLabel>
#include <algorithm>
#include <cmath>

namespace {

// The largest pixel size, at most `pixels`, at which the label's text fits `box`.
int FittingPixels(const QLabel* l, QFont f, int pixels, QSize box) {
  const QString text = l->text();
  if (text.isEmpty() || box.isEmpty()) return pixels;
  for (int guard = 0; guard < 8 && pixels > 1; ++guard) {
    f.setPixelSize(pixels);
    const QFontMetricsF fm(f);
    double w = 0;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const QString& line : lines) w = std::max(w, fm.horizontalAdvance(line));
    w += 2 * l->margin() + 2;
    const double h = fm.height() * lines.size() + 2 * l->margin();
    const double k = std::min(box.width() / w, box.height() / h);
    if (k >= 1.0) break;
    pixels = std::max(1, static_cast<int>(std::floor(pixels * k)));
  }
  return pixels;
}

}  // namespace

void TDesignScale::Add(QWidget* w, QRect designRect, int fontPixels, bool inPanel) {
  m_entries.push_back({w, designRect, fontPixels, inPanel});
  Place(m_entries.back());
}

TDesignScale::Entry* TDesignScale::Find(QWidget* w) {
  for (Entry& e : m_entries) {
    if (e.w == w) return &e;
  }
  return nullptr;
}

void TDesignScale::SetDesignRect(QWidget* w, QRect designRect) {
  if (Entry* e = Find(w)) {
    e->rect = designRect;
    Place(*e);
  }
}

QRect TDesignScale::DesignRect(QWidget* w) const {
  for (const Entry& e : m_entries) {
    if (e.w == w) return e.rect;
  }
  return {};
}

void TDesignScale::SetFitBox(QWidget* w, QSize designBox) {
  if (Entry* e = Find(w)) {
    e->fitBox = designBox;
    Place(*e);
  }
}

int TDesignScale::FontPixels(QWidget* w) const {
  for (const Entry& e : m_entries) {
    if (e.w == w) return e.fontPixels;
  }
  return 0;
}

int TDesignScale::FontPixelsShown(QWidget* w) const {
  for (const Entry& e : m_entries) {
    if (e.w == w) return e.shownPixels;
  }
  return 0;
}

void TDesignScale::SetFontPixels(QWidget* w, int fontPixels) {
  if (Entry* e = Find(w)) {
    e->fontPixels = fontPixels;
    Place(*e);
  }
}

int TDesignScale::Px(double designPixels) const {
  return static_cast<int>(std::lround(designPixels * m_scale));
}

QRect TDesignScale::StageRect() const {
  return QRect(m_origin, QSize(Px(m_design.width()), Px(m_design.height())));
}

void TDesignScale::Apply(QSize actual) {
  if (actual.isEmpty()) return;
  m_scale = std::min(static_cast<double>(actual.width()) / m_design.width(),
                     static_cast<double>(actual.height()) / m_design.height());
  m_origin = QPoint((actual.width() - Px(m_design.width())) / 2,
                    (actual.height() - Px(m_design.height())) / 2);
  for (Entry& e : m_entries) Place(e);
}

void TDesignScale::Place(Entry& e) {
  if (!e.w) return;
  if (e.fontPixels > 0) {
    QFont f = e.w->font();
    int pixels = std::max(1, Px(e.fontPixels));
    if (const auto* l = qobject_cast<const QLabel*>(e.w.data()); l && !e.fitBox.isEmpty())
      pixels = FittingPixels(l, f, pixels, QSize(Px(e.fitBox.width()), Px(e.fitBox.height())));
    e.shownPixels = pixels;
    if (f.pixelSize() != pixels) {
      f.setPixelSize(pixels);
      e.w->setFont(f);
    }
  }
  const QPoint origin = e.inPanel ? QPoint(0, 0) : m_origin;
  const QPoint at = origin + QPoint(Px(e.rect.x()), Px(e.rect.y()));
  if (e.rect.width() <= 0 || e.rect.height() <= 0) {
    e.w->adjustSize();
    if (!e.fitBox.isEmpty() && e.w->width() > Px(e.fitBox.width()))
      e.w->resize(Px(e.fitBox.width()), e.w->height());
    e.w->move(at);
  } else {
    e.w->setGeometry(
        QRect(at, QSize(std::max(1, Px(e.rect.width())), std::max(1, Px(e.rect.height())))));
  }
}

void TDesignScale::Fit(QWidget* w) {
  if (Entry* e = Find(w)) Place(*e);
}
