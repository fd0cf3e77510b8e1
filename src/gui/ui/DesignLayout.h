// The one layout scheme of the program's windows: every control stands at its designed place,
// given in client coordinates of the window's designed size, and moves or grows with the
// window by its anchors. A window of fixed size simply never moves anything.
#pragma once

#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

class QWidget;

class TDesignLayout {
 public:
  // Left and top are the default; Right and Bottom keep the distance to that edge; Wide and
  // Tall grow with the window.
  enum Anchor { Left = 0, Right = 1, Bottom = 2, Wide = 4, Tall = 8 };

  explicit TDesignLayout(QSize design = {}) : m_design(design) {}

  // Puts `w` at `design` and remembers it for Apply.
  void Place(QWidget* w, const QRect& design, int anchors = Left);
  // Moves and sizes every placed control for a window of client size `now`.
  void Apply(QSize now) const;

 private:
  struct Placed {
    QWidget* w;
    QRect design;
    int anchors;
  };
  QSize m_design;
  std::vector<Placed> m_placed;
};

// The controls of the designed forms, made at their places: labels right-aligned and 21 high,
// edits 21 high, buttons 25 high (never the default button, so Enter in a field presses
// none), drop-down lists 22 high.
QLabel* DesignLabel(QWidget* parent, const QString& text, int x, int y, int w);
QLineEdit* DesignEdit(QWidget* parent, const char* name, int x, int y, int w);
QPushButton* DesignButton(QWidget* parent, const char* name, const QString& text, int x, int y,
                          int w);
QComboBox* DesignCombo(QWidget* parent, const char* name, const QStringList& items, int x, int y,
                       int w);
// Shows a label's text in the forms' blue.
void MakeBlue(QLabel* label);
// Keeps the selection of a list as visible without the focus as with it.
void KeepSelectionVisible(QWidget* list);
