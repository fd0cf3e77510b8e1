#include "ui/DesignScale.h"

#include <algorithm>
#include <cmath>

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
    f.setPixelSize(std::max(1, Px(e.fontPixels)));
    e.w->setFont(f);
  }
  const QPoint origin = e.inPanel ? QPoint(0, 0) : m_origin;
  const QPoint at = origin + QPoint(Px(e.rect.x()), Px(e.rect.y()));
  if (e.rect.width() <= 0 || e.rect.height() <= 0) {
    e.w->adjustSize();
    e.w->move(at);
  } else {
    e.w->setGeometry(
        QRect(at, QSize(std::max(1, Px(e.rect.width())), std::max(1, Px(e.rect.height())))));
  }
}

void TDesignScale::Fit(QWidget* w) {
  if (Entry* e = Find(w)) Place(*e);
}
