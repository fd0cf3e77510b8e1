// Fireworks drawn by the program over the background of a draw screen, for the moments the
// hall should cheer: they burst in the free parts of the screen, are never drawn over the
// names, and only the small spots they touch are painted again, so a key is never kept
// waiting. With a sound, a short fanfare plays once at the start.
#pragma once

#include <QColor>
#include <QPixmap>
#include <QPointF>
#include <QRegion>
#include <QWidget>
#include <random>
#include <vector>

class QTimer;

class TCelebration : public QWidget {
  Q_OBJECT
 public:
  explicit TCelebration(QWidget* screen);

  // Starts the fireworks, bursting inside `zones` and drawn nowhere in `keepOut` (both in
  // the screen's pixels); `fanfare` plays the fanfare too. A running celebration starts over.
  // They stand just above `ground`, a sibling that covers the screen (the grand prize's
  // moment), or else above the screen's own background only.
  void Start(const std::vector<QRect>& zones, const QRegion& keepOut, bool fanfare,
             QWidget* ground = nullptr);
  void Stop();
  bool Running() const;
  int Sparks() const { return static_cast<int>(m_sparks.size()); }

  QTimer* TMFrame;
  static constexpr int kFrameMs = 50;
  static constexpr int kLengthMs = 3600;

 protected:
  void paintEvent(QPaintEvent* e) override;

 private:
  struct Spark {
    QPointF at, before, speed;
    QColor colour;
    int age = 0;   // ms
    int life = 0;  // ms
  };
  void Frame();
  // Stacks the fireworks right above `ground`, or at the bottom without one.
  void StandOver(QWidget* ground);
  void Burst();
  QRect SparkRect(const Spark& s) const;
  bool Shown(const Spark& s) const;
  // The spots of `rects` as one region, built in a single pass over a grid of cells: adding a
  // few hundred rectangles to a QRegion one at a time costs more than painting them.
  QRegion Spots(const std::vector<QRect>& rects);
  // The pictures of the sparks' heads, one per colour, for the size of the screen.
  void MakeDots();

  std::vector<QRect> m_zones;
  QRegion m_keepOut;
  std::vector<Spark> m_sparks;
  std::vector<QPixmap> m_dots;
  int m_dotSide = 0;                   // side of a head's picture, in pixels
  std::vector<unsigned char> m_cells;  // the grid of Spots, kept between frames
  int m_elapsed = 0;
  int m_nextBurst = 0;
  double m_unit = 1;  // pixels of a design pixel
  std::minstd_rand m_rand{20261208u};
  QObject* m_fanfare = nullptr;  // owns the player of the fanfare that sounds now
};
