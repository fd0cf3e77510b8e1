// The check-in screen for the projector: the QR code, the address in large type, the count
// "已签到 N / M", the hall's Wi-Fi when given, the latest names (the 签到墙) and the state line, on
// the stage's background. Double click or F11 toggles full screen, Esc closes it. It only shows
// what the service's desk answers; the wall's content is core's, the window slides each new name
// into its place (a few frames of the wall's area only, then the timer stops).
#pragma once

#include <QElapsedTimer>
#include <QPixmap>
#include <QWidget>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "core/checkin/CheckinWall.h"

class QTimer;
class TCheckinService;

class TCheckinScreen : public QWidget {
  Q_OBJECT
 public:
  explicit TCheckinScreen(TCheckinService& service, QWidget* parent = nullptr);

  // The frame as it stands without the wall (drawn afresh when the desk or the size changed).
  const QPixmap& Frame();
  // Looks at the desk now instead of at the next tick.
  void Refresh();
  // The wall as shown once the slide under way ends; whether one is under way.
  const checkin::TWall& Wall() const { return m_wall; }
  bool Sliding() const;
  // Arrivals the wall shows (it skips ahead when many come at once), and the slides begun.
  uint64_t ShownArrivals() const { return m_shown; }
  uint64_t Slides() const { return m_slides; }

 protected:
  void paintEvent(QPaintEvent*) override;
  void resizeEvent(QResizeEvent*) override;
  void keyPressEvent(QKeyEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent*) override;

 private:
  QPixmap Render() const;
  // The stage's scale and its top left on the window.
  double Scale(QPointF& origin) const;
  QRect WallRect() const;
  void NextArrival();
  void SlideTick();
  void PaintWall(QPainter& p, double t) const;
  const QPixmap& NamePicture(const std::string& text, bool newest) const;

  TCheckinService& m_service;
  QTimer* m_timer;
  QPixmap m_frame;
  mutable QPixmap m_background;  // the stage's picture at the window's size
  uint64_t m_generation = ~0ull;
  QString m_url;
  std::string m_wifi;
  bool m_open = false;

  std::vector<std::string> m_latest;  // the desk's newest names, newest last
  uint64_t m_arrivals = 0;            // the desk's arrivals
  uint64_t m_shown = 0;               // arrivals on the wall
  uint64_t m_slides = 0;
  checkin::TWall m_wall;
  QTimer* m_slide;
  mutable std::map<std::pair<std::string, bool>, QPixmap> m_names;  // wall names, drawn
  QElapsedTimer m_slideClock;
};
