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
  // A self-sizing label that must stay inside a design box: its font shrinks below its
  // design size until the text fits (an empty box lifts the limit).
  void SetFitBox(QWidget* w, QSize designBox);
  // The design font size of a control (0 when it has none).
  int FontPixels(QWidget* w) const;
  // The font size in screen pixels the control was given at its last placing.
  int FontPixelsShown(QWidget* w) const;

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
    QSize fitBox{};
    int shownPixels = 0;
  };
  Entry* Find(QWidget* w);
  void Place(Entry& e);

  QSize m_design;
  double m_scale = 1.0;
  QPoint m_origin;
  std::vector<Entry> m_entries;
};
