// The soft dark shadow behind a stage text, drawn as QGraphicsDropShadowEffect draws it, but
// made once per change of the text: large type is drawn as outlines and the shadow is a
// blur of the whole text, both far too slow to repeat on every repaint of a 4K screen (a
// spark or a scrolling list beside the text repaints it). On a QLabel the text, its font,
// colours, size and alignment and where it stands on the screen are what it was made from;
// on any other widget it is made again each time.
#pragma once

#include <QFont>
#include <QGraphicsDropShadowEffect>
#include <QImage>
#include <QPalette>
#include <QPixmap>
#include <QString>
#include <QTransform>

class TTextShadow : public QGraphicsDropShadowEffect {
  Q_OBJECT
 public:
  explicit TTextShadow(QObject* parent = nullptr);
  // How many times the text and its shadow were made (not taken from the cache).
  int Renders() const { return m_renders; }

 protected:
  void draw(QPainter* painter) override;
  void sourceChanged(ChangeFlags flags) override;

 private:
  // What a label's picture depends on.
  struct Key {
    QString text;
    QFont font;
    qint64 palette = 0;
    QPalette::ColorGroup group = QPalette::Active;
    Qt::TextFormat format = Qt::PlainText;
    QSize size;
    int alignment = 0;
    int margin = 0;
    int indent = 0;
    bool wordWrap = false;
    bool enabled = true;
    qint64 pixmap = 0;
    QTransform device;
    qreal dpr = 1;
    bool operator==(const Key& o) const;
  };
  bool KeyOf(const QPainter* painter, Key& key) const;

  bool m_valid = false;
  Key m_key;
  QPoint m_offset;  // device pixels of the source's top left
  QPixmap m_source;
  QImage m_shadow;
  int m_renders = 0;
};
