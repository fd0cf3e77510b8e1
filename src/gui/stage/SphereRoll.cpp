#include "gui/stage/SphereRoll.h"

#include <QImageReader>
#include <QPainter>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>

#include "core/config/TaskRollStyle.h"
#include "core/draw/DrawSession.h"
#include "core/draw/StageText.h"
#include "core/records/WinnerPhotos.h"
#include "core/text/Gbk.h"
#include "gui/stage/Celebration.h"
#include "gui/stage/DrawScreenBase.h"
#include "gui/ui/Fonts.h"
#include "gui/ui/Qt.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kFastTurn = 2 * kPi / 3.2;  // radians a second while rolling
constexpr int kFrameMs = 16;                 // 60 frames a second
constexpr int kLargeFrameMs = 33;  // 30 on a band of 4K's size, whose cards cost four times
constexpr int kLargeBand = 420;    // band height from which a frame costs too much for 60
constexpr double kIdleTurn = 2 * kPi / 90;  // a turn in a minute and a half on the Ready screen
constexpr int kIdleFrameMs = 80;            // and at 12 frames a second: it barely moves
constexpr double kAspect = 0.82;            // a card's width to its height: a portrait
constexpr double kGap = 1.12;               // a card's share of the ring with its gap
// The band's cream over the cards when they stand behind the band's texts and the reveal.
const QColor kVeil(255, 246, 226, 200);
constexpr size_t kPictureBudget = 96u << 20;  // bytes of card pictures kept
constexpr int kSwapsPerFrame = 2;             // sample changes a frame, at most
// Red cards with gold names stand out on the band's cream.
const QColor kCardFace(168, 22, 22);
const QColor kCardEdge(232, 186, 80);
const QColor kNameGold(255, 228, 150);
const QColor kNameStrip(120, 8, 8);
// The back half is seen through the sphere: darker, so the front reads first.
const QColor kBackShade(40, 0, 0, 130);

// The size a card is drawn at for `height` pixels: steps of a fortieth of the card's height,
// so that a turning card's picture is scaled again every few frames, not in each.
QSize ShownSize(QSize card, double height) {
  const int step = std::max(1, card.height() / 40);
  const int h = std::max(step, static_cast<int>(std::lround(height / step)) * step);
  return QSize(std::max(1, static_cast<int>(std::lround(double(card.width()) * h / card.height()))),
               h);
}

// `x`'s four channels times `a` / 255, rounded as Qt's painter rounds them.
inline uint32_t ByteMul(uint32_t x, uint32_t a) {
  uint64_t t = ((uint64_t(x) | (uint64_t(x) << 24)) & 0x00ff00ff00ff00ffULL) * a;
  t = (t + ((t >> 8) & 0x00ff00ff00ff00ffULL) + 0x0080008000800080ULL) >> 8;
  t &= 0x00ff00ff00ff00ffULL;
  return uint32_t(t) | uint32_t(t >> 24);
}

}  // namespace

void DarkenForBack(QImage& img, const QRect& area) {
  // What a painter's fillRect with kBackShade gives, without the thread pool Qt starts for
  // a fill of more than a hundred rows: at 4K that cost more than the fill.
  const uint32_t shade = qPremultiply(kBackShade.rgba());
  const uint32_t keep = qAlpha(~shade);
  const QRect r = area & img.rect();
  for (int y = r.top(); y <= r.bottom(); ++y) {
    auto* line = reinterpret_cast<uint32_t*>(img.scanLine(y)) + r.left();
    for (int x = 0; x < r.width(); ++x) line[x] = shade + ByteMul(line[x], keep);
  }
}

namespace {

// Draws `front` at `size` into the top left of `into` (a card's size, allocated once, so a
// turning card allocates nothing): nearest pixels, as the painter scales without smoothing,
// darkened for the back half.
void ShowPicture(QImage& into, const QImage& front, QSize size, bool back) {
  if (into.size() != front.size()) into = QImage(front.size(), QImage::Format_RGB32);
  QPainter p(&into);
  p.drawImage(QRect(QPoint(0, 0), size), front);
  p.end();
  if (back) DarkenForBack(into, QRect(QPoint(0, 0), size));
}

// The largest bold stage type in which `text` fits `box` on one line. Measured once at a
// large size and scaled: a font engine per trial size made a new card cost milliseconds.
constexpr int kMeasure = 200;

// The metrics this thread measures with (the painter and, now and then, the GUI thread
// measure at once): the painter's own while it works, else one kept for the GUI thread. Not
// a thread_local object: MinGW runs the destructors of those as a thread ends, after its
// threads library has begun to go, and crashed there.
thread_local const QFontMetricsF* t_measure = nullptr;

const QFontMetricsF& Measure() {
  if (t_measure) return *t_measure;
  static const QFontMetricsF* gui = new QFontMetricsF(UiFont(StageFamily(), kMeasure, true));
  return *gui;
}

int FitPixels(const QString& text, QSize box, int most) {
  const QFontMetricsF& m = Measure();
  const double w = std::max(1.0, m.horizontalAdvance(text)), h = std::max(1.0, m.height());
  // A little to spare for hinting at small sizes.
  const double px = std::min(box.width() / w, box.height() / h) * kMeasure * 0.96;
  const int fit = std::clamp(static_cast<int>(px), 8, std::max(8, most));
  // Steps of a twelfth: cards of a size share their glyphs' pictures.
  const int step = std::max(1, most / 12);
  return std::max(8, fit / step * step);
}

}  // namespace

// ---------------------------------------------------------------------------------------

TCardPainter::TCardPainter(std::function<void()> arrived)
    : m_arrived(std::move(arrived)), m_thread([this] { Work(); }) {}

TCardPainter::~TCardPainter() {
  {
    std::lock_guard<std::mutex> g(m_lock);
    m_stop = true;
  }
  m_wake.notify_all();
  m_thread.join();
}

void TCardPainter::Ask(int32_t k, const QString& name, const QString& photoPath, QSize size,
                       bool urgent) {
  {
    std::lock_guard<std::mutex> g(m_lock);
    if (urgent)
      m_jobs.push_front({k, name, photoPath, size});
    else
      m_jobs.push_back({k, name, photoPath, size});
  }
  m_wake.notify_one();
}

std::vector<TCardPainter::Card> TCardPainter::Take() {
  std::lock_guard<std::mutex> g(m_lock);
  return std::exchange(m_done, {});
}

void TCardPainter::Forget() {
  std::lock_guard<std::mutex> g(m_lock);
  m_jobs.clear();
}

void TCardPainter::Work() {
  const QFontMetricsF measure(UiFont(StageFamily(), kMeasure, true));
  t_measure = &measure;
  for (;;) {
    Job job;
    {
      std::unique_lock<std::mutex> g(m_lock);
      m_wake.wait(g, [this] { return m_stop || !m_jobs.empty(); });
      if (m_stop) {
        t_measure = nullptr;
        return;
      }
      job = std::move(m_jobs.front());
      m_jobs.pop_front();
    }
    Card c = Paint(job.k, job.name, job.photo, job.size);
    std::lock_guard<std::mutex> g(m_lock);
    m_done.push_back(std::move(c));
    if (m_done.size() == 1) m_arrived();  // once until they are taken
  }
}

TCardPainter::Layout TCardPainter::Lay(const QString& name, QSize size, bool photo) {
  Layout l;
  const int w = size.width(), h = size.height();
  const int edge = std::max(1, h / 40);
  // The name alone, as large as the card lets it, stacked when it is long.
  const QRect face(edge * 3, edge * 3, w - edge * 6, h - edge * 6);
  int plain = 0;
  if (name.size() > 3 && name.size() <= 8) {
    const int half = static_cast<int>((name.size() + 1) / 2);
    const QString a = name.left(half), b = name.mid(half);
    plain = FitPixels(a.size() >= b.size() ? a : b, QSize(face.width(), face.height() / 2),
                      face.height() * 45 / 100);
    l.stacked = !photo;
  } else {
    plain = FitPixels(name, face.size(), face.height() * 55 / 100);
  }
  if (!photo) {
    l.name = face;
    l.namePx = plain;
    return l;
  }
  // One line across the band, in the type a card without a photo has when the band can be
  // that tall; the photo keeps at least 58 % of the card. The band is measured by the
  // name's ink, not the font's line, whose room for accents is empty in a Chinese name.
  const int across = w - edge * 4;
  const int wanted = FitPixels(name, QSize(across, h * 4), plain);
  const QRectF ink = Measure().tightBoundingRect(name);
  const double top = std::min(ink.top(), -0.6 * kMeasure) / kMeasure;  // above the baseline
  const double tall = std::max(ink.bottom() / kMeasure - top, 0.8);
  const int band =
      std::clamp(static_cast<int>(std::ceil(wanted * tall)) + edge * 4, h * 28 / 100, h * 42 / 100);
  l.photo = QRect(0, 0, w, h - band);
  l.name = QRect(edge * 2, h - band, across, band - edge);
  l.namePx = std::max(8, std::min(wanted, static_cast<int>((band - edge * 4) / tall)));
  // The ink centred in the band.
  l.baseline = h - band +
               static_cast<int>(std::lround((band - edge - l.namePx * tall) / 2 - l.namePx * top));
  return l;
}

TCardPainter::Card TCardPainter::Paint(int32_t k, const QString& name, const QString& photoPath,
                                       QSize size) {
  Card card;
  card.k = k;
  card.size = size;
  // The photo decoded at its place's size (a JPEG's own scaling does most of it), cut to
  // it; one that does not decode leaves the name alone.
  QImage photo;
  Layout l = Lay(name, size, true);
  if (!photoPath.isEmpty()) {
    QImageReader reader(photoPath);
    const QSize full = reader.size();
    if (full.isValid() && !full.isEmpty()) {
      reader.setScaledSize(full.scaled(l.photo.size(), Qt::KeepAspectRatioByExpanding));
      photo = reader.read();
    }
  }
  if (photo.isNull()) l = Lay(name, size, false);
  QImage img(size, QImage::Format_RGB32);
  img.fill(kCardFace);
  QPainter p(&img);
  const int edge = std::max(1, size.height() / 40);
  p.setFont(UiFont(StageFamily(), l.namePx, true));
  p.setPen(kNameGold);
  if (!photo.isNull()) {
    // Cut from the top third of what is left over: a portrait's head is in its upper half.
    const QSize s = photo.size(), room = l.photo.size();
    p.drawImage(QPoint(0, 0), photo,
                QRect((s.width() - room.width()) / 2, (s.height() - room.height()) / 3,
                      room.width(), room.height()));
    p.fillRect(QRect(0, room.height(), size.width(), size.height() - room.height()), kNameStrip);
    const double advance = Measure().horizontalAdvance(name) * l.namePx / kMeasure;
    p.drawText(QPointF(l.name.left() + (l.name.width() - advance) / 2, l.baseline), name);
  } else if (l.stacked) {
    const int half = static_cast<int>((name.size() + 1) / 2);
    const QSize line(l.name.width(), l.name.height() / 2);
    p.drawText(QRect(l.name.topLeft(), line), Qt::AlignHCenter | Qt::AlignBottom, name.left(half));
    p.drawText(QRect(l.name.left(), l.name.top() + line.height(), line.width(), line.height()),
               Qt::AlignHCenter | Qt::AlignTop, name.mid(half));
  } else {
    p.drawText(l.name, Qt::AlignCenter, name);
  }
  p.setPen(QPen(kCardEdge, edge));
  p.setBrush(Qt::NoBrush);
  p.drawRect(QRectF(edge / 2.0, edge / 2.0, size.width() - edge, size.height() - edge));
  p.end();
  card.front = img;
  return card;
}

// ---------------------------------------------------------------------------------------

TSphereRoll::TSphereRoll(QWidget* parent, const TArraySring& lines, int nameColumn, bool numericIds,
                         int32_t taskId)
    : QWidget(parent),
      m_lines(lines),
      m_nameField(nameColumn),
      m_numeric(numericIds),
      m_taskId(taskId),
      // Its own generator, seeded from the clock: what the sphere samples is never drawn.
      m_sampler(static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count())),
      // Cards made on the painter's thread are taken on this one, also while it stands still.
      m_painter([this] {
        QMetaObject::invokeMethod(
            this, [this] { TakeCards(); }, Qt::QueuedConnection);
      }),
      m_timer(new QTimer(this)) {
  setObjectName(QStringLiteral("SphereRoll"));
  setAttribute(Qt::WA_TransparentForMouseEvents);
  m_timer->setTimerType(Qt::PreciseTimer);
  m_timer->setInterval(kFrameMs);
  connect(m_timer, &QTimer::timeout, this, &TSphereRoll::Step);
  m_clock.start();
}

TSphereRoll::~TSphereRoll() = default;

void TSphereRoll::SetPopulation(const TSpherePopulation& population) {
  m_population = population;
  Resample(true);
  update();
}

std::vector<int32_t> TSphereRoll::CardMembers() const {
  std::vector<int32_t> out;
  for (const Card& c : m_cards)
    if (c.k >= 0) out.push_back(c.k);
  return out;
}

void TSphereRoll::Roll() {
  m_flyers.clear();
  m_motion = Motion::Fast;
  m_speed = kFastTurn;
  m_last = m_clock.elapsed();
  ChooseOpaque();
  StartTimer();
}

void TSphereRoll::Stand() {
  m_motion = Motion::Still;
  m_speed = 0;
  m_flyers.clear();
  m_timer->stop();
  ChooseOpaque();
  update();
}

void TSphereRoll::Idle() {
  m_flyers.clear();
  m_motion = Motion::Idle;
  m_speed = kIdleTurn;
  m_last = m_clock.elapsed();
  StartTimer();
}

void TSphereRoll::SetVeiled(bool veiled) {
  if (veiled == m_veiled) return;
  m_veiled = veiled;
  ChooseOpaque();
  update();
}

const QPixmap* TSphereRoll::Backdrop() const {
  // The veil lets the band show through whatever stands behind the sphere.
  if (m_veiled || m_cards.empty()) return nullptr;
  const auto* screen = dynamic_cast<const TDrawScreenBase*>(parentWidget());
  if (!screen || !QRect(QPoint(0, 0), screen->Background().size()).contains(geometry()))
    return nullptr;
  for (const QObject* o : screen->children()) {
    if (o == this) break;  // those after it stand in front
    const auto* w = qobject_cast<const QWidget*>(o);
    if (!w || w->isWindow() || !w->isVisible() || !w->geometry().intersects(geometry())) continue;
    // The fireworks' layer paints nothing between its bursts.
    if (const auto* c = qobject_cast<const TCelebration*>(w); c && c->Sparks() == 0) continue;
    return nullptr;
  }
  return &screen->Background();
}

void TSphereRoll::ChooseOpaque() {
  const bool opaque = Backdrop() != nullptr;
  if (opaque != testAttribute(Qt::WA_OpaquePaintEvent))
    setAttribute(Qt::WA_OpaquePaintEvent, opaque);
}

void TSphereRoll::StartTimer() {
  m_timer->setInterval(m_motion == Motion::Idle ? kIdleFrameMs
                       : height() >= kLargeBand ? kLargeFrameMs
                                                : kFrameMs);
  if (!m_timer->isActive()) m_timer->start();
}

void TSphereRoll::Prepare(const std::vector<int32_t>& winners) {
  m_prepared.assign(winners.begin(), winners.begin() + std::min<size_t>(winners.size(), 30));
  for (int32_t k : m_prepared) Ask(k, true);
}

void TSphereRoll::FlyOut(const std::vector<int32_t>& winners, int flightMs) {
  m_flightMs = std::max(100, flightMs);
  m_motion = Motion::Stopping;
  m_stopFrom = std::max(m_speed, kFastTurn / 4);
  m_veiled = false;
  m_stopAt = m_last = m_clock.elapsed();
  m_flyers.clear();
  m_flyerPictures.clear();
  // Where each winner lands: up to six cards across the band, more in rows.
  const int n = static_cast<int>(winners.size());
  const int cols = std::min(n, n <= 6 ? 6 : 10);
  const int rows = cols > 0 ? (n + cols - 1) / cols : 0;
  const double gap = width() * 0.012;
  const double cellW = cols > 0 ? (width() - gap * (cols + 1)) / cols : 0;
  const double cellH = rows > 0 ? (height() - gap * (rows + 1)) / std::min(rows, 3) : 0;
  const double h = std::min(cellH, cellW / 0.82), w = h * 0.82;
  const double left = (width() - cols * w - (cols - 1) * gap) / 2;
  for (int i = 0; i < n && i < 30; ++i) {
    const int32_t k = winners[static_cast<size_t>(i)];
    const int r = i / cols, c = i % cols;
    QRectF to(left + c * (w + gap), gap + r * (h + gap), w, h);
    if (rows == 1) to.moveTop((height() - h) / 2);
    QRectF from(width() / 2.0 - m_card.width() / 4.0, height() / 2.0 - m_card.height() / 4.0,
                m_card.width() / 2.0, m_card.height() / 2.0);
    for (Card& card : m_cards)
      if (card.k == k) {
        float depth = 0;
        from = Place(card, &depth);
        card.k = -1;  // it leaves the sphere for good
      }
    // The card as the sphere had it, grown on its way: made while the batch rolled.
    m_flyerPictures.insert(k, PictureNow(k));
    m_flyers.push_back({k, from, to});
  }
  m_prepared.clear();
  // Every winner leaves, shown or not; they never come back into view.
  m_population.Remove(winners);
  for (int32_t k : winners) {
    std::erase(m_shown, k);
    std::erase(m_upcoming, k);
  }
  StartTimer();
  update();
}

void TSphereRoll::ResetFrameStats() {
  m_frames = 0;
  m_longestMs = 0;
  m_paintMs = 0;
}

void TSphereRoll::WaitForPhotos(int ms) {
  QElapsedTimer t;
  t.start();
  for (;;) {
    TakeCards();
    const bool waiting = std::any_of(m_cards.begin(), m_cards.end(),
                                     [this](const Card& c) { return c.k >= 0 && !Ready(c.k); });
    if (!waiting || t.elapsed() >= ms) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  update();
}

void TSphereRoll::resizeEvent(QResizeEvent*) {
  if (m_timer->isActive()) StartTimer();
  Resample(false);
}

void TSphereRoll::Layout() {
  // One ring of large cards, two, or three of a third of the band's height: the layout whose
  // cards are the largest while everyone who may win has one (up to what three rings hold),
  // so that twenty people read from the back of the hall as well as two thousand faces.
  static const std::vector<Ring> kLayouts[] = {
      {{0.0, 0.0}}, {{-0.3, -1.0}, {0.3, 1.0}}, {{0.0, 0.0}, {-0.5, -1.0}, {0.5, 1.0}}};
  constexpr double kShare[] = {0.80, 0.47, 0.34};  // a front card's height in the band's
  const double W = std::max(width(), 64), H = std::max(height(), 48);
  // The width of a card when `n` cards share the rings of `rings`, each ring in proportion
  // to its length with a gap beside each card.
  const auto fitWidth = [W](const std::vector<Ring>& rings, double n) {
    double length = 0;
    for (const Ring& r : rings) length += std::cos(r.phi);
    return kPi * W / (kGap * n / length + 2 * kPi * 0.55);
  };
  const auto capacity = [W](const std::vector<Ring>& rings, double cardW) {
    const double rx = std::max(1.0, W / 2 - cardW * 0.55);
    int n = 0;
    for (const Ring& r : rings)
      n += std::max(1, static_cast<int>(2 * kPi * rx * std::cos(r.phi) / (cardW * kGap)));
    return n;
  };
  const double most = capacity(kLayouts[2], H * kShare[2] * kAspect);
  const double n = std::clamp(static_cast<double>(m_population.Count()), 1.0, most);
  size_t best = 2;
  double bestH = 0;
  for (size_t i = 0; i < 3; ++i) {
    const double h = std::min(H * kShare[i], fitWidth(kLayouts[i], n) / kAspect);
    if (h > bestH * 1.05) {  // fewer rings unless more are clearly larger
      best = i;
      bestH = h;
    }
  }
  const int h = std::max(24, static_cast<int>(bestH));
  const QSize card(static_cast<int>(h * kAspect), h);
  m_rings = kLayouts[best];
  if (card != m_card) {
    m_card = card;
    m_pictures.clear();
    m_pictureBytes = 0;
    m_asked.clear();
    m_upcoming.clear();
    m_painter.Forget();
  }
  m_capacity = capacity(m_rings, m_card.width());
}

void TSphereRoll::Resample(bool keep) {
  const QSize card = m_card;
  const size_t ringsBefore = m_rings.size();
  Layout();
  std::erase_if(m_upcoming, [this](int32_t k) { return !m_population.Contains(k); });
  const size_t wanted = std::min(m_population.Count(), static_cast<size_t>(m_capacity));
  if (keep && card == m_card && ringsBefore == m_rings.size() && m_cards.size() == wanted) {
    // The same layout: who is still there keeps the card, and a card moves on only when its
    // member left (a batch's winners): the sphere does not flicker at the start key.
    m_shown = m_upcoming;
    for (const Card& c : m_cards)
      if (c.k >= 0 && m_population.Contains(c.k)) m_shown.push_back(c.k);
    std::sort(m_shown.begin(), m_shown.end());
    for (Card& c : m_cards) {
      if (c.k >= 0 && m_population.Contains(c.k)) continue;
      c.k = m_sampler.Fresh(m_population, m_shown);
      if (c.k >= 0) {
        m_shown.insert(std::lower_bound(m_shown.begin(), m_shown.end(), c.k), c.k);
        Ask(c.k);
      }
    }
    return;
  }
  m_upcoming.clear();
  const std::vector<int32_t> members =
      m_sampler.Distinct(m_population, static_cast<size_t>(m_capacity));
  const size_t n = members.size();
  m_cards.clear();
  m_shown.assign(members.begin(), members.end());
  std::sort(m_shown.begin(), m_shown.end());
  // The rings take their share in proportion to their length.
  const size_t rings = m_rings.size();
  std::vector<size_t> perRing(rings, 0);
  double total = 0;
  for (const Ring& r : m_rings) total += std::cos(r.phi);
  size_t given = 0;
  for (size_t i = 0; i < rings; ++i) {
    perRing[i] = static_cast<size_t>(std::floor(n * std::cos(m_rings[i].phi) / total));
    given += perRing[i];
  }
  for (size_t i = 0; given < n; i = (i + 1) % rings, ++given) ++perRing[i];
  size_t next = 0;
  for (size_t i = 0; i < rings; ++i)
    for (size_t j = 0; j < perRing[i]; ++j) {
      Card c;
      c.k = members[next++];
      // Rings are staggered so that the cards of neighbouring rings do not line up.
      c.theta = static_cast<float>(2 * kPi * (j + 0.5 * (i % 2)) / perRing[i]);
      c.ring = static_cast<int>(i);
      m_cards.push_back(c);
    }
  for (Card& c : m_cards) {
    c.lap = static_cast<int>(std::floor((c.theta + m_turn - kPi) / (2 * kPi)));
    Ask(c.k);
  }
}

QRectF TSphereRoll::Place(const Card& c, float* depth) const {
  const Ring& ring = m_rings[static_cast<size_t>(c.ring)];
  const double theta = c.theta + m_turn;
  const double z = std::cos(theta) * std::cos(ring.phi);
  const double front = (std::cos(theta) + 1) / 2;  // 0 behind, 1 in front
  const double rx = width() / 2.0 - m_card.width() * 0.55;
  const double lift = (height() - m_card.height()) / 2.0 * 0.97;
  const double x = width() / 2.0 + rx * std::cos(ring.phi) * std::sin(theta);
  const double y = height() / 2.0 + ring.lift * lift * (0.8 + 0.2 * front);
  const double s = 0.5 + 0.5 * front;
  *depth = static_cast<float>(z);
  const double w = m_card.width() * s, h = m_card.height() * s;
  return QRectF(x - w / 2, y - h / 2, w, h);
}

void TSphereRoll::Step() {
  const qint64 now = m_clock.elapsed();
  const double dt = std::min<qint64>(now - m_last, 100) / 1000.0;
  m_last = now;
  if (m_motion == Motion::Stopping) {
    // Slows to a stand within the flight, easing out.
    const double t = std::min(1.0, (now - m_stopAt) / (m_flightMs * 0.9));
    m_speed = m_stopFrom * (1 - t) * (1 - t);
  }
  m_turn = std::fmod(m_turn + m_speed * dt, 2 * kPi * 1024);
  TakeCards();
  // Cards that pass behind the sphere come round as others while there are more than cards,
  // each as its picture is ready: a frame never waits for one to be made.
  if (m_population.Count() > m_cards.size()) {
    TopUpUpcoming();
    for (Card& c : m_cards) {
      const int lap = static_cast<int>(std::floor((c.theta + m_turn - kPi) / (2 * kPi)));
      if (lap == c.lap) continue;
      c.lap = lap;
      const auto next = std::find_if(m_upcoming.begin(), m_upcoming.end(),
                                     [this](int32_t k) { return Ready(k); });
      if (c.k < 0 || next == m_upcoming.end()) continue;
      std::erase(m_shown, c.k);
      c.k = *next;
      m_upcoming.erase(next);  // already among m_shown
    }
  }
  const bool landed = m_flyers.empty() || now - m_stopAt >= m_flightMs;
  if (m_motion == Motion::Stopping && m_speed <= 1e-4 && landed) {
    m_motion = Motion::Still;
    m_timer->stop();
  }
  ChooseOpaque();
  update();
}

QString TSphereRoll::NameOf(int32_t k) const {
  const std::string& line = m_lines[static_cast<size_t>(k)];
  if (m_nameField >= 0) {
    const std::vector<std::string_view> fields = FieldViews(line);
    if (static_cast<size_t>(m_nameField) < fields.size()) return Q(fields[m_nameField]);
  }
  const TWinnerCard c = WinnerCard(line);
  // Ids that are not numbers are the names themselves.
  if (!m_numeric || c.name.empty()) return Q(c.id);
  return Q(c.name);
}

QString TSphereRoll::PhotoPathOf(int32_t k) const {
  const TWinnerCard c = WinnerCard(m_lines[static_cast<size_t>(k)]);
  const std::string path = photos::PhotoOf(m_taskId, c.id);
  return path.empty() ? QString() : Q(path);
}

void TSphereRoll::Ask(int32_t k, bool urgent) {
  if (k < 0 || Ready(k) || (m_asked.contains(k) && !urgent)) return;
  m_asked.insert(k);
  m_painter.Ask(k, NameOf(k), PhotoPathOf(k), m_card, urgent);
}

const QImage& TSphereRoll::PictureNow(int32_t k) {
  TakeCards();
  auto it = m_pictures.find(k);
  if (it != m_pictures.end()) return *it;
  TCardPainter::Card c = TCardPainter::Paint(k, NameOf(k), PhotoPathOf(k), m_card);
  m_pictureBytes += static_cast<size_t>(m_card.width()) * m_card.height() * 4;
  return *m_pictures.insert(k, std::move(c.front));
}

void TSphereRoll::TopUpUpcoming() {
  constexpr size_t kUpcoming = 12;  // about what a turn's swaps take in a few frames
  for (int tries = 0; m_upcoming.size() < kUpcoming && tries < 4; ++tries) {
    const int32_t k = m_sampler.Fresh(m_population, m_shown);
    if (k < 0) return;
    m_shown.insert(std::lower_bound(m_shown.begin(), m_shown.end(), k), k);
    m_upcoming.push_back(k);
    Ask(k);
  }
}

void TSphereRoll::KeepPicturesInBudget() {
  if (m_pictureBytes <= kPictureBudget) return;
  // Those on cards and the batch's stay: dropping them would redraw a whole sphere in one
  // frame.
  QHash<int32_t, QImage> kept;
  for (const Card& c : m_cards)
    if (c.k >= 0 && m_pictures.contains(c.k)) kept.insert(c.k, m_pictures.value(c.k));
  for (const std::vector<int32_t>* ks : {&m_prepared, &m_upcoming})
    for (int32_t k : *ks)
      if (m_pictures.contains(k)) kept.insert(k, m_pictures.value(k));
  m_pictures = std::move(kept);
  m_pictureBytes = static_cast<size_t>(m_pictures.size()) * m_card.width() * m_card.height() * 4;
}

void TSphereRoll::TakeCards() {
  bool arrived = false;
  for (TCardPainter::Card& c : m_painter.Take()) {
    if (c.size != m_card || !m_asked.contains(c.k)) continue;  // of an older size
    m_asked.remove(c.k);
    KeepPicturesInBudget();
    m_pictureBytes += static_cast<size_t>(m_card.width()) * m_card.height() * 4;
    m_pictures.insert(c.k, std::move(c.front));
    arrived = true;
  }
  // A sphere standing still shows its cards as they come.
  if (arrived && !m_timer->isActive()) update();
}

void TSphereRoll::PaintBackdrop(QPainter& p, const QPixmap& backdrop, int cell, int cols,
                                int rows) {
  // Runs of cells no card covers, a run grown down while the rows below have the same.
  using Run = BackdropRun;
  std::vector<Run>& open = m_runs;
  open.clear();
  const QPoint at = pos();
  const auto draw = [&](const Run& r) {
    const QRect target(r.x0 * cell, r.y0 * cell, (r.x1 - r.x0) * cell, (r.y1 - r.y0) * cell);
    const QRect inside = target & rect();
    p.drawPixmap(inside.topLeft(), backdrop, inside.translated(at));
  };
  size_t first = 0;  // the previous row's runs are open[first..]
  for (int y = 0; y <= rows; ++y) {
    const size_t end = open.size();
    size_t carried = first;
    for (int x = 0; y < rows && x < cols;) {
      const uint8_t* row = m_cover.data() + static_cast<size_t>(y) * cols;
      if (row[x]) {
        ++x;
        continue;
      }
      int x1 = x;
      while (x1 < cols && !row[x1]) ++x1;
      // The same run in the row above grows; others above are done.
      while (carried < end && open[carried].x0 < x) draw(open[carried++]);
      if (carried < end && open[carried].x0 == x && open[carried].x1 == x1) {
        Run r = open[carried++];
        r.y1 = y + 1;
        open.push_back(r);
      } else {
        open.push_back({x, x1, y, y + 1});
      }
      x = x1;
    }
    while (carried < end) draw(open[carried++]);
    first = end;
  }
}

int TSphereRoll::CountPixels() const {
  // Large enough to read from the back of the hall, small enough to leave the cards be.
  return std::max(16, height() * 13 / 100);
}

void TSphereRoll::PaintCount(QPainter& p) {
  const size_t count = m_population.Count() + m_flyers.size();
  if (count != m_countShown || m_countPicture.isNull()) {
    m_countShown = count;
    const QString t =
        QStringLiteral("可中奖 %1 人")
            .arg(QLocale(QLocale::Chinese).toString(static_cast<qlonglong>(m_population.Count())));
    const int px = CountPixels();
    const QFont f = UiFont(StageFamily(), px, true);
    const QFontMetrics m(f);
    const QSize size(m.horizontalAdvance(t) + px, m.height() + px / 3);
    QPixmap pm(size);
    pm.fill(Qt::transparent);
    QPainter q(&pm);
    q.setRenderHint(QPainter::Antialiasing);
    q.setPen(Qt::NoPen);
    q.setBrush(QColor(90, 0, 0, 200));
    q.drawRoundedRect(QRectF(pm.rect()), px / 2.0, px / 2.0);
    q.setFont(f);
    q.setPen(QColor(255, 230, 160));
    q.drawText(pm.rect(), Qt::AlignCenter, t);
    m_countPicture = pm;
  }
  p.drawPixmap(width() - m_countPicture.width(), height() - m_countPicture.height(),
               m_countPicture);
}

void TSphereRoll::paintEvent(QPaintEvent*) {
  QElapsedTimer t;
  t.start();
  QPainter p(this);
  m_order.clear();  // kept: no allocation a frame
  for (size_t i = 0; i < m_cards.size(); ++i) {
    if (m_cards[i].k < 0) continue;
    float depth = 0;
    const QRectF r = Place(m_cards[i], &depth);
    m_order.push_back({depth, r, i, QRect(), false});
  }
  std::sort(m_order.begin(), m_order.end(),
            [](const Drawn& a, const Drawn& b) { return a.depth < b.depth; });
  // Where each card stands, and whether nearer cards hide all of it: the cards are opaque,
  // so one hidden is not drawn (a third of them are, most behind the front half). What the
  // nearer cards cover is kept in cells of a sixteenth of a card's height, a cell marked
  // only when a card covers all of it; a region of rectangles cost more than it saved.
  const int cell = std::max(2, m_card.height() / 16);
  const int cols = (width() + cell - 1) / cell, rows = (height() + cell - 1) / cell;
  m_cover.assign(static_cast<size_t>(cols) * rows, 0);
  const auto hidden = [&](const QRect& r) {
    const int x0 = std::max(0, r.left() / cell), x1 = std::min(cols - 1, r.right() / cell);
    const int y0 = std::max(0, r.top() / cell), y1 = std::min(rows - 1, r.bottom() / cell);
    if (r.left() < 0 || r.top() < 0) return false;
    for (int y = y0; y <= y1; ++y)
      for (int x = x0; x <= x1; ++x)
        if (!m_cover[static_cast<size_t>(y) * cols + x]) return false;
    return true;
  };
  const auto cover = [&](const QRect& r) {
    const int x0 = std::max(0, (r.left() + cell - 1) / cell);
    const int x1 = std::min(cols, (r.right() + 1) / cell);
    const int y0 = std::max(0, (r.top() + cell - 1) / cell);
    const int y1 = std::min(rows, (r.bottom() + 1) / cell);
    for (int y = y0; y < y1; ++y)
      std::fill_n(m_cover.begin() + static_cast<ptrdiff_t>(y) * cols + x0, std::max(0, x1 - x0), 1);
  };
  for (auto d = m_order.rbegin(); d != m_order.rend(); ++d) {
    const QSize size = ShownSize(m_card, d->rect.height());
    const QPointF centre = d->rect.center();
    d->at = QRect(QPoint(static_cast<int>(std::lround(centre.x() - size.width() / 2.0)),
                         static_cast<int>(std::lround(centre.y() - size.height() / 2.0))),
                  size);
    d->hidden = hidden(d->at);
    if (!d->hidden && m_pictures.contains(m_cards[d->card].k)) cover(d->at);
  }
  if (testAttribute(Qt::WA_OpaquePaintEvent)) {
    if (const QPixmap* backdrop = Backdrop())
      PaintBackdrop(p, *backdrop, cell, cols, rows);
    else  // what stood below it came up since the frame began: the screen's colour
      p.fillRect(rect(), parentWidget()->palette().brush(parentWidget()->backgroundRole()));
  }
  for (const Drawn& d : m_order) {
    if (d.hidden) continue;
    Card& c = m_cards[d.card];
    const auto pic = m_pictures.constFind(c.k);
    if (pic == m_pictures.constEnd()) continue;  // on its way from the painter
    const bool back = d.depth < 0;
    if (c.shownK != c.k || c.shownBack != back || c.shownSize != d.at.size()) {
      ShowPicture(c.shown, *pic, d.at.size(), back);
      c.shownK = c.k;
      c.shownBack = back;
      c.shownSize = d.at.size();
    }
    p.drawImage(d.at.topLeft(), c.shown, QRect(QPoint(0, 0), d.at.size()));
  }
  if (m_veiled)
    p.fillRect(rect(), kVeil);  // the band's texts and cards read over it
  else
    PaintCount(p);
  if (!m_flyers.empty()) {
    const double t0 = std::min(1.0, (m_clock.elapsed() - m_stopAt) / double(m_flightMs));
    const double e = 1 - (1 - t0) * (1 - t0) * (1 - t0);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    for (const Flyer& f : m_flyers) {
      const QRectF r(f.from.topLeft() + (f.to.topLeft() - f.from.topLeft()) * e,
                     f.from.size() + (f.to.size() - f.from.size()) * e);
      p.drawImage(r.toRect(), m_flyerPictures.value(f.k));
    }
  }
  ++m_frames;
  const double ms = t.nsecsElapsed() / 1e6;
  m_paintMs += ms;
  m_longestMs = std::max(m_longestMs, ms);
}

// ---------------------------------------------------------------------------------------

std::unique_ptr<TSphereStage> TSphereStage::ForTask(QWidget* screen, const TDrawSession& session,
                                                    int nameColumn) {
  TRollStyle style = TRollStyle::Numbers;
  std::string ignored;  // a style that cannot be read rolls numbers, as every task did
  if (!config::LoadRollStyle(session.Task.TaskId, style, ignored) || style != TRollStyle::Sphere)
    return nullptr;
  return std::make_unique<TSphereStage>(screen, session, nameColumn);
}

TSphereStage::TSphereStage(QWidget* screen, const TDrawSession& session, int nameColumn)
    : m_roll(new TSphereRoll(screen, session.CandidateLines, nameColumn,
                             session.Task.IdType == TIdType::Numeric, session.Task.TaskId)) {
  m_roll->hide();
}

void TSphereStage::Rest(const TStageFrame& f, bool turning) {
  if (f.sphere) m_roll->SetPopulation(*f.sphere);
  // Nobody left to win: the band is the reveal's and the summary's alone.
  if (m_roll->Population().Count() == 0) {
    m_roll->Stand();
    m_roll->hide();
    return;
  }
  m_roll->SetVeiled(true);
  m_roll->lower();  // behind the next item's lines and the batch's cards
  m_roll->show();
  if (turning)
    m_roll->Idle();
  else
    m_roll->Stand();
}

void TSphereStage::Roll() {
  m_roll->SetVeiled(false);
  m_roll->show();
  m_roll->raise();
  m_roll->Roll();
}

// The stage's frames carry who the sphere shows and who leaves it; the sphere reads no
// engine.
void TSphereStage::Apply(const TStageFrame& f) {
  switch (f.step) {
    case TStageStep::Opens:
      Rest(f, true);
      break;
    case TStageStep::Starts:
      if (f.sphere) m_roll->SetPopulation(*f.sphere);
      Roll();
      break;
    case TStageStep::Rolls:
      if (f.replacement) {
        if (f.sphere) m_roll->SetPopulation(*f.sphere);
      } else {
        m_roll->Prepare(f.sphereWinners);  // its cards are made while it rolls
      }
      Roll();
      break;
    case TStageStep::Lands:
      m_roll->FlyOut(f.sphereWinners, m_landingMs * 8 / 10);
      break;
    case TStageStep::Reveals:
    case TStageStep::Resumes:
      // Between batches it stands still behind the reveal: no frame is drawn until the next.
      if (f.finished) {
        m_roll->Stand();
        m_roll->hide();
      } else {
        Rest(f, false);
      }
      break;
    case TStageStep::Changes:
      // The next item's population, or nothing more to roll.
      if (f.finished) {
        m_roll->Stand();
        m_roll->hide();
      } else {
        Rest(f, false);
      }
      break;
    case TStageStep::Summarises:
      m_roll->Stand();
      m_roll->hide();
      break;
    default:
      break;
  }
}
