// 名单球: the roll shown as a turning sphere of cards of those who may still win the current
// prize item, a photo on the card when the candidate has one, the name in large type when
// not. It shows what the stage's frames say and decides nothing: the batch's winners are the
// engine's, in the journal before they fly out of the sphere to their places.
//
// Drawn with Qt's painter from card pictures made once per candidate and size (opaque, so a
// card is a plain copy), in depth order, the back half from darkened copies. Photos are
// scaled down to the card on a thread of their own, once, and never decoded while a frame
// is drawn; a card shows the name until its photo is ready.
#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QImage>
#include <QPixmap>
#include <QWidget>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/draw/SpherePopulation.h"
#include "core/draw/Stage.h"
#include "core/records/Records.h"

class QTimer;
class TDataDraw;

// Scales candidates' photos down to card pictures on a worker thread.
class TPhotoThumbs {
 public:
  TPhotoThumbs();
  ~TPhotoThumbs();
  // Asks for the photo at `path` (UTF-8 path of a stored photo) of candidate `k`, covering
  // `size`; asked again while queued or done, nothing happens.
  void Ask(int32_t k, const QString& path, QSize size);
  // The pictures made since the last call.
  std::vector<std::pair<int32_t, QImage>> Take();
  // Drops what is queued (the card size changed); pictures already made are still taken.
  void Forget();

 private:
  void Work();
  std::mutex m_lock;
  std::condition_variable m_wake;
  struct Job {
    int32_t k;
    QString path;
    QSize size;
  };
  std::deque<Job> m_jobs;
  std::vector<std::pair<int32_t, QImage>> m_done;
  bool m_stop = false;
  std::thread m_thread;
};

class TSphereRoll : public QWidget {
  Q_OBJECT
 public:
  enum class Motion { Still, Fast, Stopping };

  // The cards' texts come from `lines` (the session's candidate lines, which outlive the
  // widget); the name is the field `nameColumn` when it is not -1.
  TSphereRoll(QWidget* parent, const TArraySring& lines, int nameColumn, bool numericIds,
              int32_t taskId);
  ~TSphereRoll() override;

  // Who the sphere holds now; a new sample is laid out when they changed.
  void SetPopulation(const TSpherePopulation& population);
  const TSpherePopulation& Population() const { return m_population; }
  // The candidates on cards now, as they stand (for tests and pictures).
  std::vector<int32_t> CardMembers() const;
  // Turns fast.
  void Roll();
  // Stands still: no timer runs.
  void Stand();
  // Slows down while `winners` (in pick order) fly out to their places in `flightMs`.
  void FlyOut(const std::vector<int32_t>& winners, int flightMs);
  Motion motion() const { return m_motion; }
  bool Flying() const { return !m_flyers.empty(); }
  // Frames drawn so far, and the longest one (ms), for the bench.
  int64_t Frames() const { return m_frames; }
  double LongestFrameMs() const { return m_longestMs; }
  double MeanFrameMs() const { return m_frames ? m_paintMs / m_frames : 0; }
  void ResetFrameStats();
  // Waits for every photo asked for so far (pictures and the bench).
  void WaitForPhotos(int ms);

 protected:
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  struct Card {
    int32_t k = -1;
    float theta = 0;  // longitude at turn 0
    float phi = 0;    // latitude
    int lap = 0;      // turns it has made behind the sphere
  };
  struct Flyer {
    int32_t k;
    QRectF from;
    QRectF to;
  };
  struct Picture {
    QPixmap front;
    QPixmap back;
    bool photo = false;
  };

  void Step();
  void Layout();
  void Resample();
  const Picture& PictureOf(int32_t k);
  QPixmap Render(int32_t k, QSize size, const QImage* photo) const;
  void TakePhotos();
  QRectF Place(const Card& c, float* depth) const;
  QString NameOf(int32_t k) const;
  QString PhotoPathOf(int32_t k) const;
  void PaintCount(QPainter& p);

  const TArraySring& m_lines;
  int m_nameField = -1;  // the 姓名 field, or -1: the card's name as the stage has it
  bool m_numeric;
  int32_t m_taskId;
  TSpherePopulation m_population;
  TSphereSampler m_sampler;
  std::vector<Card> m_cards;
  std::vector<int32_t> m_shown;  // the cards' members, sorted
  QSize m_card;                  // a front card's size
  int m_capacity = 0;            // cards the sphere holds at this size
  QHash<int32_t, Picture> m_pictures;
  size_t m_pictureBytes = 0;
  QHash<int32_t, QImage> m_photos;  // scaled photos, kept across card sizes
  QHash<int32_t, int8_t> m_hasPhoto;
  TPhotoThumbs m_thumbs;
  std::vector<Flyer> m_flyers;
  QHash<int32_t, QPixmap> m_flyerPictures;
  QTimer* m_timer;
  QElapsedTimer m_clock;
  Motion m_motion = Motion::Still;
  double m_turn = 0;
  double m_speed = 0;     // radians a second now
  double m_stopFrom = 0;  // the speed the stop began at
  qint64 m_last = 0;      // ms of the last step
  qint64 m_stopAt = 0;    // ms the stop began
  int m_flightMs = 700;
  int m_swapsLeft = 0;  // sample changes allowed in this frame
  QPixmap m_countPicture;
  size_t m_countShown = SIZE_MAX;
  int64_t m_frames = 0;
  double m_longestMs = 0;
  double m_paintMs = 0;
};

// The sphere on the data draw screen: fed every frame of the stage, it fills its population
// from the engine's pool and moves as the frame says.
class TSphereStage {
 public:
  // The sphere for the engine's task, or null when the task rolls numbers.
  static std::unique_ptr<TSphereStage> ForTask(QWidget* screen, const TDataDraw& engine);
  TSphereStage(QWidget* screen, const TDataDraw& engine);
  TSphereRoll* Widget() const { return m_roll; }
  // Applies what the frame means for the sphere; called before the screen applies it.
  void Apply(const TStageFrame& f);
  // How long the winners fly: the landing's time, less a little to rest at their places.
  void SetLandingMs(int ms) { m_landingMs = ms; }

 private:
  void Fill();
  const TDataDraw& m_e;
  TSphereRoll* m_roll;
  size_t m_absentPlace = SIZE_MAX;
  int m_landingMs = 900;
};
