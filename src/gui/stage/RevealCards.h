// The winners of a batch of up to six as cards on the stage's band: each card the whole
// candidate line (the id, the name at least as large as the id, the other fields smaller)
// and the winner's photo when the task has one. Drawn once into a picture per change.
#pragma once

#include <QPixmap>
#include <QString>
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
  // Pixel sizes of the id and the name type on the cards as drawn (0 before the first paint).
  int IdPixels() const { return m_idPixels; }
  int NamePixels() const { return m_namePixels; }

 protected:
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;

 private:
  void Render();
  void PaintCard(QPainter& p, const TStageCard& c, QRect r, int px) const;
  // The card's room for its text (and where its photo goes).
  QRect TextRect(const TStageCard& c, QRect r, QRect* photo) const;
  int FitPixels(const TStageCard& c, QRect text, bool hasName, bool hasRest) const;

  std::vector<TStageCard> m_cards;
  QPixmap m_cache;
  int m_idPixels = 0;
  int m_namePixels = 0;
};
