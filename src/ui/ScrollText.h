// A borderless, read-only block of text lines inside a clipping panel, moved up a pixel at a
// time. Paints only the lines in view, so a list of many thousand winners costs nothing.
#pragma once

#include <QColor>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>

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
  void SetLineHeight(int h) { m_lineHeight = h; }
  // The text's design height: a line height per line.
  int Height() const { return m_lineHeight * LineCount(); }
  void SetLeft(int left) { m_left = left; }

  void SetScale(double s);
  void SetTextColor(const QColor& c) { m_color = c; }
  void SetFontFamily(const QString& family, bool bold);

  // Called on a mouse release over the text, so the screen can take the keyboard back.
  std::function<void()> onMouseUp;

 protected:
  void paintEvent(QPaintEvent*) override;
  void mouseReleaseEvent(QMouseEvent* e) override;

 private:
  QStringList m_lines;
  int m_top = 0;
  int m_left = 0;
  int m_lineHeight = 20;
  double m_scale = 1.0;
  QColor m_color;
  QFont m_font;
};
