// The grand prize's moment: the draw's last winners on the whole screen, over the draw
// screen's own texts and lists. The prize item and its gift stand at the top, the winners'
// cards (photo, the name in the largest type of the whole draw, the id and the other
// fields) in the middle, the gift's picture beside them. Drawn once per change; the
// celebration bursts in the margins it names.
#pragma once

#include <QPixmap>
#include <QRegion>
#include <QString>
#include <QWidget>
#include <vector>

#include "gui/stage/RevealCards.h"

class TGrandPrize : public QWidget {
  Q_OBJECT
 public:
  explicit TGrandPrize(QWidget* screen);

  // Fills the screen with `winners` of `item` and its `gift` (texts as the stage shows them)
  // and the gift's `picture` (null: none).
  void Show(const QString& item, const QString& gift, std::vector<TStageCard> winners,
            const QPixmap& picture);
  // Lays the screen out and draws it ahead, hidden, a step at a time from the event loop:
  // Show with the same texts and winners then only shows it.
  void Prepare(const QString& item, const QString& gift, std::vector<TStageCard> winners,
               const QPixmap& picture);
  // Where the fireworks may burst, and where they must not be drawn (screen pixels).
  std::vector<QRect> FreeZones() const;
  QRegion Written() const;
  // The pixel size of the prize item's line as drawn.
  int TitlePixels() const { return m_titlePixels; }

  TRevealCards* Cards;

 protected:
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  void Layout();
  void Render();
  // The screen's own texts and picture as drawn in m_cache.
  bool Drawn(const QString& item, const QString& gift, const QPixmap& picture) const;

  QString m_item;
  QString m_gift;
  QPixmap m_picture;
  QPixmap m_cache;
  QSize m_cacheFor;  // the screen's size m_cache was drawn for
  QRect m_title;
  QRect m_giftLine;
  QRect m_pictureRect;
  QRect m_ink;  // where the prize's lines are written
  int m_titlePixels = 0;
};
