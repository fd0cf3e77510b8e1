// Lays out a screen designed on a fixed grid (1016 × 736 and the like) on a real screen: one
// uniform scale, centred, fonts scaled with it.
#pragma once

#include <QPointer>
#include <QRect>
#include <QSize>
#include <QWidget>
#include <vector>

class TDesignScale {
 public:
  explicit TDesignScale(QSize design) : m_design(design) {}

  // A control at a design position. Width or height 0 lets the control size itself to its
  // content (a label). Children of a panel take positions relative to the panel.
  void Add(QWidget* w, QRect designRect, int fontPixels = 0, bool inPanel = false);
  void SetDesignRect(QWidget* w, QRect designRect);
  QRect DesignRect(QWidget* w) const;
  void SetFontPixels(QWidget* w, int fontPixels);

  // Lays everything out for an actual client size.
  void Apply(QSize actual);
  // Re-sizes one self-sizing control after its text changed.
  void Fit(QWidget* w);

  double Scale() const { return m_scale; }
  QPoint Origin() const { return m_origin; }
  QSize Design() const { return m_design; }
  // The design grid in screen coordinates.
  QRect StageRect() const;
  int Px(double designPixels) const;

 private:
  struct Entry {
    QPointer<QWidget> w;
    QRect rect;
    int fontPixels;
    bool inPanel;
  };
  Entry* Find(QWidget* w);
  void Place(Entry& e);

  QSize m_design;
  double m_scale = 1.0;
  QPoint m_origin;
  std::vector<Entry> m_entries;
};
