// The winners of a batch of up to six as cards on the stage's band: each card what the stage
// shows of the candidate line (the name first and largest, the id below it and smaller, the
// other fields smaller still, on two lines when they are long) and the winner's photo when
// the task has one. Drawn once into a picture per change.
#pragma once

#include <QPixmap>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <vector>

struct TStageCard {
  QString id;  // empty when the id is the name
  QString name;
  QString rest;
  QPixmap photo;  // null: the card has no picture and no empty frame
};

class TRevealCards : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kMaxCards = 6;

  explicit TRevealCards(QWidget* parent);
  void SetCards(std::vector<TStageCard> cards);
  const std::vector<TStageCard>& Cards() const { return m_cards; }
  // Screen rectangles of the cards, relative to this widget.
  std::vector<QRect> CardRects() const;
  // The card at a point of this widget, or -1.
  int CardAt(QPoint p) const;
  // A click on a card: its index. Clicks beside the cards go on to the parent.
  std::function<void(int card)> onCardClicked;
  // Pixel sizes of the type on the cards as drawn (0 before the first paint, or when no card
  // has that line): the name (the id when a card has no name), the id under a name, the
  // other fields.
  int NamePixels() const;
  int IdPixels() const;
  int RestPixels() const { return m_sizes.rest; }
  // The grand prize's card: a warmer fill, the rest as any card.
  void SetGrand(bool grand) { m_grand = grand; }
  // The card of the winner chosen to be marked absent (Q, ↑↓), framed; -1 for none.
  void SetChosen(int card);
  int Chosen() const { return m_chosen; }

 protected:
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;

 private:
  void Render();
  struct Sizes {
    int lead = 0;    // the name, or the id on a card without a name
    int second = 0;  // the id under the name
    int rest = 0;
  };
  void PaintCard(QPainter& p, const TStageCard& c, QRect r, const Sizes& z) const;
  // The card's room for its text (and where its photo goes).
  QRect TextRect(const TStageCard& c, QRect r, QRect* photo) const;
  Sizes FitSizes(const TStageCard& c, QRect text) const;
  // The other fields as drawn: one line, or two when they are long.
  static QStringList RestLines(const QString& rest);
  static constexpr int kRestOneLine = 12;  // characters

  std::vector<TStageCard> m_cards;
  QPixmap m_cache;
  Sizes m_sizes;
  bool m_grand = false;
  int m_chosen = -1;
};
