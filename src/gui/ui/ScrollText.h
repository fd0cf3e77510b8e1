// A borderless, read-only block of text lines inside a clipping panel, moved up a pixel at a
// time. Paints only the lines in view, so a list of many thousand winners costs nothing.
// Lines may stand in several columns (row by row), and a line too wide for its column may be
// drawn smaller.
#pragma once

#include <QColor>
#include <QHash>
#include <QPixmap>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>

class QPainter;

class TScrollText : public QWidget {
  Q_OBJECT
 public:
  explicit TScrollText(QWidget* panel);

  void SetLines(QStringList lines);
  void AppendLines(const QStringList& lines);
  const QStringList& Lines() const { return m_lines; }
  int LineCount() const { return static_cast<int>(m_lines.size()); }

  // Position and sizes in design pixels, relative to the panel.
  void SetTop(int top);
  int Top() const { return m_top; }
  int LineHeight() const { return m_lineHeight; }
  void SetLineHeight(int h) {
    m_lineHeight = h;
    m_rowCache.clear();
  }
  // The text's design height: a line height per row.
  int Height() const { return m_lineHeight * Rows(); }
  void SetLeft(int left) { m_left = left; }
  void SetColumns(int columns);
  int Columns() const { return m_columns; }
  int Rows() const { return (LineCount() + m_columns - 1) / m_columns; }
  // Each line centred in its column rather than left-aligned.
  void SetCentered(bool centered);
  // A line wider than its column is drawn in smaller type.
  void SetShrinkToWidth(bool shrink);
  // Design width of the widest line at a line height.
  double WidestLine(int lineHeight) const;
  // Screen pixel size of the type as it is painted now.
  int FontPixels() const;

  void SetScale(double s);
  double Scale() const { return m_scale; }
  // Fills its own background with `c`: the text then moves by copying what is already
  // painted, and only the strip that comes into view is drawn (cheap at 4K).
  void SetOpaque(const QColor& c);
  void SetTextColor(const QColor& c) {
    m_color = c;
    m_rowCache.clear();
  }
  void SetFontFamily(const QString& family, bool bold);

  // Called on a mouse release over the text, so the screen can take the keyboard back.
  std::function<void()> onMouseUp;
  // A click on a line: its index (rows of one column), or -1 outside the lines.
  std::function<void(int line)> onLineClicked;

 protected:
  void paintEvent(QPaintEvent*) override;
  void resizeEvent(QResizeEvent* e) override;
  void PaintRow(QPainter& p, int row, double y) const;
  void Measure(const QStringList& lines);
  void mouseReleaseEvent(QMouseEvent* e) override;

 private:
  QStringList m_lines;
  int m_top = 0;
  int m_left = 0;
  int m_lineHeight = 20;
  int m_columns = 1;
  bool m_centered = false;
  bool m_shrink = false;
  double m_widest100 = 0;  // screen width of the widest line at 100 px type
  double m_scale = 1.0;
  QColor m_color;
  QColor m_fill;  // invalid: transparent
  QFont m_font;
  QHash<int, QPixmap> m_rowCache;  // rows drawn once, for text over a background
};
