// 名单球: the roll shown as a turning sphere of cards of those who may still win the current
// prize item, a photo on the card when the candidate has one, the name in large type when
// not. It shows what the stage's frames say and decides nothing: the batch's winners are the
// engine's, in the journal before they fly out of the sphere to their places.
//
// Drawn with Qt's painter from finished card pictures (opaque, so a card is a plain copy), in
// depth order, the back half darkened. A card's picture (the photo decoded at the card's
// size, the name in type that fits) is made once per size on a thread of its own; a frame
// never decodes or sets type, and a card joins the sample when it is ready. Each card on the
// sphere keeps its picture at the size it is drawn now, in steps of a fortieth of its
// height, so that most frames copy rows instead of scaling every pixel.
#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QImage>
#include <QPixmap>
#include <QSet>
#include <QWidget>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/draw/SpherePopulation.h"
#include "core/draw/Stage.h"
#include "core/records/Records.h"

class QTimer;

// Darkens `area` of `img` (RGB32) as the back half of the sphere shows its cards.
void DarkenForBack(QImage& img, const QRect& area);

// Makes card pictures on a worker thread: the photo decoded at the card's size and the name
// set in the largest type that fits.
class TCardPainter {
 public:
  struct Card {
    int32_t k = -1;
    QSize size;
    QImage front;
  };
  // `arrived` is called on the worker thread when made cards wait to be taken.
  explicit TCardPainter(std::function<void()> arrived);
  ~TCardPainter();
  // Asks for the card of candidate `k` at `size`, with `name` and the photo at `photoPath`
  // (UTF-8, empty for none); an urgent one goes before those queued.
  void Ask(int32_t k, const QString& name, const QString& photoPath, QSize size, bool urgent);
  // The cards made since the last call.
  std::vector<Card> Take();
  // Drops what is queued (the card size changed); cards already made are still taken.
  void Forget();
  // Makes one card on the calling thread.
  static Card Paint(int32_t k, const QString& name, const QString& photoPath, QSize size);
  // Where a card of `size` shows its photo and `name`, and the type's size. With a photo the
  // name's band below it is tall enough for the type a card without one would have (up to
  // a share of the card), so the name reads from the back of the hall either way.
  struct Layout {
    QRect photo;  // empty on a card without a photo
    QRect name;   // the name's box: the band below the photo, or the card's face
    int namePx = 0;
    int baseline = 0;      // the name's baseline on a card with a photo
    bool stacked = false;  // two lines, each half of `name`'s height
  };
  static Layout Lay(const QString& name, QSize size, bool photo);

 private:
  void Work();
  struct Job {
    int32_t k;
    QString name;
    QString photo;
    QSize size;
  };
  std::mutex m_lock;
  std::condition_variable m_wake;
  std::deque<Job> m_jobs;
  std::vector<Card> m_done;
  bool m_stop = false;
  std::function<void()> m_arrived;
  std::thread m_thread;
};

class TSphereRoll : public QWidget {
  Q_OBJECT
 public:
  enum class Motion { Still, Idle, Fast, Stopping };

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
  // Turns slowly at a low frame rate (the Ready screen).
  void Idle();
  // Faint behind the band's texts and cards, or in full for the roll.
  void SetVeiled(bool veiled);
  bool Veiled() const { return m_veiled; }
  // A front card's size now (it grows as fewer people may win).
  QSize CardSize() const { return m_card; }
  // Makes the cards of the batch's `winners` while it rolls, photos first, so that the stop
  // key draws nothing afresh. Nothing of them shows before FlyOut.
  void Prepare(const std::vector<int32_t>& winners);
  // Slows down while `winners` (in pick order) fly out to their places in `flightMs`.
  void FlyOut(const std::vector<int32_t>& winners, int flightMs);
  Motion motion() const { return m_motion; }
  bool Flying() const { return !m_flyers.empty(); }
  // Frames drawn so far, and the longest one (ms), for the bench.
  int64_t Frames() const { return m_frames; }
  double LongestFrameMs() const { return m_longestMs; }
  double MeanFrameMs() const { return m_frames ? m_paintMs / m_frames : 0; }
  void ResetFrameStats();
  // Waits until every card on the sphere has its picture (pictures and the bench).
  void WaitForPhotos(int ms);
  // The type size of the count of those who may win, in the band's corner.
  int CountPixels() const;

 protected:
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  struct Card {
    int32_t k = -1;
    float theta = 0;  // longitude at turn 0
    int ring = 0;     // its ring in m_rings
    int lap = 0;      // turns it has made behind the sphere
    // Its picture as the last frame drew it (in the top left of a card's size): whose,
    // whether darkened, and at which size.
    QImage shown;
    int32_t shownK = -1;
    bool shownBack = false;
    QSize shownSize;
  };
  // A ring of the sphere: its latitude and its place between the middle (0) and the band's
  // edge (-1 top, 1 bottom).
  struct Ring {
    double phi;
    double lift;
  };
  // Cells [x0, x1) × [y0, y1) of the frame's cover that no card covers.
  struct BackdropRun {
    int x0, x1, y0, y1;
  };
  // A card of the frame, where it stands and how near.
  struct Drawn {
    float depth;
    QRectF rect;
    size_t card;  // in m_cards
    QRect at;     // where it is drawn, at its shown size
    bool hidden;  // behind nearer cards
  };
  struct Flyer {
    int32_t k;
    QRectF from;
    QRectF to;
  };

  void Step();
  void Layout();
  void StartTimer();
  // A new sample when the layout changed, else only those who left the population replaced.
  void Resample(bool keep);
  // Asks the painter for `k`'s card unless it is made or asked for.
  void Ask(int32_t k, bool urgent = false);
  bool Ready(int32_t k) const { return m_pictures.contains(k); }
  // The picture of `k`, made here and now when the painter has not delivered it yet.
  const QImage& PictureNow(int32_t k);
  void KeepPicturesInBudget();
  void TakeCards();
  void TopUpUpcoming();
  QRectF Place(const Card& c, float* depth) const;
  QString NameOf(int32_t k) const;
  QString PhotoPathOf(int32_t k) const;
  void PaintCount(QPainter& p);
  // The screen's picture behind the sphere when the sphere may paint it itself, in full or
  // where no card covers it (rolling, with nothing of the screen's stacked below it), else
  // null; the sphere is then opaque and the screen does not paint the band first.
  const QPixmap* Backdrop() const;
  void ChooseOpaque();
  void PaintBackdrop(QPainter& p, const QPixmap& backdrop, int cell, int cols, int rows);

  const TArraySring& m_lines;
  int m_nameField = -1;  // the 姓名 field, or -1: the card's name as the stage has it
  bool m_numeric;
  int32_t m_taskId;
  TSpherePopulation m_population;
  TSphereSampler m_sampler;
  std::vector<Ring> m_rings;
  std::vector<Card> m_cards;
  std::vector<int32_t> m_shown;       // the cards' members, sorted
  QSize m_card;                       // a front card's size
  int m_capacity = 0;                 // cards the sphere holds at this size
  QHash<int32_t, QImage> m_pictures;  // made at m_card's size
  size_t m_pictureBytes = 0;
  QSet<int32_t> m_asked;  // asked of the painter at that size, not delivered
  TCardPainter m_painter;
  std::vector<int32_t> m_prepared;  // the rolling batch's winners, cards made ahead
  std::vector<int32_t> m_upcoming;  // the sample's next members, cards being made
  std::vector<Drawn> m_order;       // the frame's cards in depth order
  std::vector<uint8_t> m_cover;     // cells the frame's nearer cards cover
  std::vector<BackdropRun> m_runs;  // kept: no allocation a frame
  std::vector<Flyer> m_flyers;
  QHash<int32_t, QImage> m_flyerPictures;
  QTimer* m_timer;
  QElapsedTimer m_clock;
  Motion m_motion = Motion::Still;
  bool m_veiled = false;
  double m_turn = 0;
  double m_speed = 0;     // radians a second now
  double m_stopFrom = 0;  // the speed the stop began at
  qint64 m_last = 0;      // ms of the last step
  qint64 m_stopAt = 0;    // ms the stop began
  int m_flightMs = 700;
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
  // The sphere for the session's task, or null when the task rolls numbers; `nameColumn`
  // is the column of the candidate lines that holds the name.
  static std::unique_ptr<TSphereStage> ForTask(QWidget* screen, const TDrawSession& session,
                                               int nameColumn);
  TSphereStage(QWidget* screen, const TDrawSession& session, int nameColumn);
  TSphereRoll* Widget() const { return m_roll; }
  // Applies what the frame means for the sphere; called before the screen applies it.
  void Apply(const TStageFrame& f);
  // How long the winners fly: the landing's time, less a little to rest at their places.
  void SetLandingMs(int ms) { m_landingMs = ms; }

 private:
  // Faint behind the band's texts, showing the frame's population: turning slowly (the
  // Ready screen) or still.
  void Rest(const TStageFrame& f, bool turning);
  void Roll();
  TSphereRoll* m_roll;
  int m_landingMs = 900;
};
