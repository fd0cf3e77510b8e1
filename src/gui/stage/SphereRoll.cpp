#include "gui/stage/SphereRoll.h"

#include <QImageReader>
#include <QPainter>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>

#include "core/config/TaskRollStyle.h"
#include "core/draw/DataDraw.h"
#include "core/draw/StageText.h"
#include "core/records/WinnerPhotos.h"
#include "core/text/Gbk.h"
#include "gui/ui/Fonts.h"
#include "gui/ui/Qt.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kFastTurn = 2 * kPi / 3.2;  // radians a second while rolling
constexpr int kFrameMs = 16;                 // 60 frames a second
constexpr int kLargeFrameMs = 33;  // 30 on a band of 4K's size, whose cards cost four times
constexpr int kLargeBand = 420;    // band height from which a frame costs too much for 60
constexpr size_t kPictureBudget = 96u << 20;  // bytes of card pictures kept
constexpr int kSwapsPerFrame = 2;             // sample changes a frame, at most
// Red cards with gold names stand out on the band's cream.
const QColor kCardFace(168, 22, 22);
const QColor kCardEdge(232, 186, 80);
const QColor kNameGold(255, 228, 150);
const QColor kNameStrip(120, 8, 8);

// The rings of the sphere: latitude and the share of the height above or below the middle.
struct Ring {
  double phi;
  double lift;
};
constexpr Ring kRings[] = {{0.0, 0.0}, {-0.5, -1.0}, {0.5, 1.0}};

// The largest bold stage type in which `text` fits `box` on one line.
int FitPixels(const QString& text, QSize box, int most) {
  int px = most;
  while (px > 8) {
    const QFontMetrics m(UiFont(StageFamily(), px, true));
    if (m.horizontalAdvance(text) <= box.width() && m.height() <= box.height()) break;
    px = px * 9 / 10;
  }
  return px;
}

}  // namespace

// ---------------------------------------------------------------------------------------

TPhotoThumbs::TPhotoThumbs() : m_thread([this] { Work(); }) {}

TPhotoThumbs::~TPhotoThumbs() {
  {
    std::lock_guard<std::mutex> g(m_lock);
    m_stop = true;
  }
  m_wake.notify_all();
  m_thread.join();
}

void TPhotoThumbs::Ask(int32_t k, const QString& path, QSize size) {
  {
    std::lock_guard<std::mutex> g(m_lock);
    m_jobs.push_back({k, path, size});
  }
  m_wake.notify_one();
}

std::vector<std::pair<int32_t, QImage>> TPhotoThumbs::Take() {
  std::lock_guard<std::mutex> g(m_lock);
  return std::exchange(m_done, {});
}

void TPhotoThumbs::Forget() {
  std::lock_guard<std::mutex> g(m_lock);
  m_jobs.clear();
}

void TPhotoThumbs::Work() {
  for (;;) {
    Job job;
    {
      std::unique_lock<std::mutex> g(m_lock);
      m_wake.wait(g, [this] { return m_stop || !m_jobs.empty(); });
      if (m_stop) return;
      job = std::move(m_jobs.front());
      m_jobs.pop_front();
    }
    // Decoded at the card's size (a JPEG's own scaling does most of it), then cut to it.
    QImageReader reader(job.path);
    const QSize full = reader.size();
    QImage picture;
    if (full.isValid() && !full.isEmpty()) {
      reader.setScaledSize(full.scaled(job.size, Qt::KeepAspectRatioByExpanding));
      picture = reader.read();
    }
    if (!picture.isNull()) {
      const QSize s = picture.size();
      picture = picture
                    .copy((s.width() - job.size.width()) / 2, (s.height() - job.size.height()) / 2,
                          job.size.width(), job.size.height())
                    .convertToFormat(QImage::Format_RGB32);
    }
    std::lock_guard<std::mutex> g(m_lock);
    m_done.emplace_back(job.k, std::move(picture));  // a null picture: the name stays
  }
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
  Resample();
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
  if (!m_timer->isActive()) m_timer->start();
}

void TSphereRoll::Stand() {
  m_motion = Motion::Still;
  m_speed = 0;
  m_flyers.clear();
  m_timer->stop();
}

void TSphereRoll::FlyOut(const std::vector<int32_t>& winners, int flightMs) {
  m_flightMs = std::max(100, flightMs);
  m_motion = Motion::Stopping;
  m_stopFrom = std::max(m_speed, kFastTurn / 4);
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
    // The card as the sphere had it, grown on its way: nothing is drawn afresh at the stop.
    m_flyerPictures.insert(k, PictureOf(k).front);
    m_flyers.push_back({k, from, to});
  }
  // Every winner leaves, shown or not; they never come back into view.
  m_population.Remove(winners);
  for (int32_t k : winners) std::erase(m_shown, k);
  if (!m_timer->isActive()) m_timer->start();
  update();
}

void TSphereRoll::ResetFrameStats() {
  m_frames = 0;
  m_longestMs = 0;
  m_paintMs = 0;
}

void TSphereRoll::WaitForPhotos(int ms) {
  for (const Card& c : m_cards)
    if (c.k >= 0) PictureOf(c.k);  // asks for the photos not asked for yet
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) {
    TakePhotos();
    bool waiting = false;
    for (const Card& c : m_cards)
      if (c.k >= 0 && m_hasPhoto.value(c.k, 0) == 1 && !m_photos.contains(c.k)) waiting = true;
    if (!waiting) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  TakePhotos();
  update();
}

void TSphereRoll::resizeEvent(QResizeEvent*) {
  m_timer->setInterval(height() >= kLargeBand ? kLargeFrameMs : kFrameMs);
  Layout();
  Resample();
}

void TSphereRoll::Layout() {
  // Three rings fill the band; a front card is a third of its height, a portrait for faces.
  const int h = std::max(24, static_cast<int>(height() * 0.34));
  const QSize card(static_cast<int>(h * 0.82), h);
  if (card != m_card) {
    m_card = card;
    m_pictures.clear();
    m_pictureBytes = 0;
    m_thumbs.Forget();
    // Photos asked for at the old size are asked again at the new one.
    for (auto it = m_hasPhoto.begin(); it != m_hasPhoto.end(); ++it)
      if (it.value() == 1 && !m_photos.contains(it.key())) it.value() = 0;
    m_photos.clear();
  }
  const double rx = std::max(1.0, width() / 2.0 - m_card.width() * 0.55);
  m_capacity = 0;
  for (const Ring& r : kRings)
    m_capacity +=
        std::max(1, static_cast<int>(2 * kPi * rx * std::cos(r.phi) / (m_card.width() * 1.12)));
}

void TSphereRoll::Resample() {
  if (m_capacity == 0) Layout();
  const std::vector<int32_t> members =
      m_sampler.Distinct(m_population, static_cast<size_t>(m_capacity));
  const size_t n = members.size();
  m_cards.clear();
  m_shown.assign(members.begin(), members.end());
  std::sort(m_shown.begin(), m_shown.end());
  // A few stand on the middle ring; more fill the others in proportion to their length.
  const size_t ringsUsed = n <= 10 ? 1 : 3;
  std::vector<size_t> perRing(ringsUsed, 0);
  double total = 0;
  for (size_t i = 0; i < ringsUsed; ++i) total += std::cos(kRings[i].phi);
  size_t given = 0;
  for (size_t i = 0; i < ringsUsed; ++i) {
    perRing[i] = static_cast<size_t>(std::floor(n * std::cos(kRings[i].phi) / total));
    given += perRing[i];
  }
  for (size_t i = 0; given < n; i = (i + 1) % ringsUsed, ++given) ++perRing[i];
  size_t next = 0;
  for (size_t i = 0; i < ringsUsed; ++i)
    for (size_t j = 0; j < perRing[i]; ++j) {
      Card c;
      c.k = members[next++];
      // Rings are staggered so that the cards of neighbouring rings do not line up.
      c.theta = static_cast<float>(2 * kPi * (j + 0.5 * (i % 2)) / perRing[i]);
      c.phi = static_cast<float>(kRings[i].phi);
      m_cards.push_back(c);
    }
  for (Card& c : m_cards)
    c.lap = static_cast<int>(std::floor((c.theta + m_turn - kPi) / (2 * kPi)));
}

QRectF TSphereRoll::Place(const Card& c, float* depth) const {
  const double theta = c.theta + m_turn;
  const double z = std::cos(theta) * std::cos(c.phi);
  const double front = (std::cos(theta) + 1) / 2;  // 0 behind, 1 in front
  const double rx = width() / 2.0 - m_card.width() * 0.55;
  const double lift = (height() - m_card.height()) / 2.0 * 0.97;
  const double ring = kRings[0].phi == c.phi ? 0 : (c.phi < 0 ? -1 : 1);
  const double x = width() / 2.0 + rx * std::cos(c.phi) * std::sin(theta);
  const double y = height() / 2.0 + ring * lift * (0.8 + 0.2 * front);
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
  TakePhotos();
  // Cards that pass behind the sphere come round as others while there are more than cards.
  m_swapsLeft = kSwapsPerFrame;
  if (m_population.Count() > m_cards.size()) {
    for (Card& c : m_cards) {
      const int lap = static_cast<int>(std::floor((c.theta + m_turn - kPi) / (2 * kPi)));
      if (lap == c.lap) continue;
      if (m_swapsLeft <= 0 || c.k < 0) {
        c.lap = lap;
        continue;
      }
      const int32_t k = m_sampler.Fresh(m_population, m_shown);
      c.lap = lap;
      if (k < 0) continue;
      std::erase(m_shown, c.k);
      m_shown.insert(std::lower_bound(m_shown.begin(), m_shown.end(), k), k);
      c.k = k;
      --m_swapsLeft;
    }
  }
  const bool landed = m_flyers.empty() || now - m_stopAt >= m_flightMs;
  if (m_motion == Motion::Stopping && m_speed <= 1e-4 && landed) {
    m_motion = Motion::Still;
    m_timer->stop();
  }
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

QPixmap TSphereRoll::Render(int32_t k, QSize size, const QImage* photo) const {
  QPixmap pm(size);
  pm.fill(kCardFace);
  QPainter p(&pm);
  const int edge = std::max(1, size.height() / 40);
  const QString name = NameOf(k);
  if (photo && !photo->isNull()) {
    const int strip = size.height() * 22 / 100;
    const QRect picture(0, 0, size.width(), size.height() - strip);
    p.drawImage(picture, *photo);
    const QRect band(0, size.height() - strip, size.width(), strip);
    p.fillRect(band, kNameStrip);
    const QRect room = band.adjusted(edge * 2, 0, -edge * 2, 0);
    p.setFont(UiFont(StageFamily(), FitPixels(name, room.size(), strip * 85 / 100), true));
    p.setPen(kNameGold);
    p.drawText(room, Qt::AlignCenter, name);
  } else {
    // The name alone, as large as the card lets it, stacked when it is long.
    const QRect room(edge * 3, edge * 3, size.width() - edge * 6, size.height() - edge * 6);
    p.setPen(kNameGold);
    if (name.size() > 3 && name.size() <= 8) {
      const int half = static_cast<int>((name.size() + 1) / 2);
      const QString a = name.left(half), b = name.mid(half);
      const QSize line(room.width(), room.height() / 2);
      const int px = FitPixels(a.size() >= b.size() ? a : b, line, room.height() * 45 / 100);
      p.setFont(UiFont(StageFamily(), px, true));
      p.drawText(QRect(room.topLeft(), line), Qt::AlignHCenter | Qt::AlignBottom, a);
      p.drawText(QRect(room.left(), room.top() + line.height(), line.width(), line.height()),
                 Qt::AlignHCenter | Qt::AlignTop, b);
    } else {
      p.setFont(
          UiFont(StageFamily(), FitPixels(name, room.size(), room.height() * 55 / 100), true));
      p.drawText(room, Qt::AlignCenter, name);
    }
  }
  p.setPen(QPen(kCardEdge, edge));
  p.setBrush(Qt::NoBrush);
  p.drawRect(QRectF(edge / 2.0, edge / 2.0, size.width() - edge, size.height() - edge));
  return pm;
}

const TSphereRoll::Picture& TSphereRoll::PictureOf(int32_t k) {
  auto it = m_pictures.find(k);
  if (it != m_pictures.end()) return *it;
  int8_t& has = m_hasPhoto[k];
  if (has == 0) {
    const QString path = PhotoPathOf(k);
    has = path.isEmpty() ? 2 : 1;
    if (has == 1) m_thumbs.Ask(k, path, QSize(m_card.width(), m_card.height() * 78 / 100));
  }
  if (m_pictureBytes > kPictureBudget) {
    m_pictures.clear();
    m_pictureBytes = 0;
  }
  Picture pic;
  const auto photo = m_photos.constFind(k);
  pic.photo = photo != m_photos.constEnd();
  pic.front = Render(k, m_card, pic.photo ? &*photo : nullptr);
  // The back half is seen through the sphere: darker, so the front reads first.
  pic.back = pic.front.copy();
  {
    QPainter p(&pic.back);
    p.fillRect(pic.back.rect(), QColor(40, 0, 0, 130));
  }
  m_pictureBytes += 2u * static_cast<size_t>(m_card.width()) * m_card.height() * 4;
  return *m_pictures.insert(k, std::move(pic));
}

void TSphereRoll::TakePhotos() {
  for (auto& [k, picture] : m_thumbs.Take()) {
    if (picture.isNull()) {
      m_hasPhoto[k] = 2;
      continue;
    }
    m_photos.insert(k, std::move(picture));
    m_pictures.remove(k);  // drawn again with its photo
  }
}

void TSphereRoll::PaintCount(QPainter& p) {
  const size_t count = m_population.Count() + m_flyers.size();
  if (count != m_countShown || m_countPicture.isNull()) {
    m_countShown = count;
    const QString t =
        QStringLiteral("可中奖 %1 人")
            .arg(QLocale(QLocale::Chinese).toString(static_cast<qlonglong>(m_population.Count())));
    const int px = std::max(12, height() / 11);
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
  struct Drawn {
    float depth;
    QRectF rect;
    int32_t k;
  };
  std::vector<Drawn> order;
  order.reserve(m_cards.size());
  for (const Card& c : m_cards) {
    if (c.k < 0) continue;
    float depth = 0;
    const QRectF r = Place(c, &depth);
    order.push_back({depth, r, c.k});
  }
  std::sort(order.begin(), order.end(),
            [](const Drawn& a, const Drawn& b) { return a.depth < b.depth; });
  for (const Drawn& d : order) {
    const Picture& pic = PictureOf(d.k);
    p.drawPixmap(d.rect.toRect(), d.depth < 0 ? pic.back : pic.front);
  }
  PaintCount(p);
  if (!m_flyers.empty()) {
    const double t0 = std::min(1.0, (m_clock.elapsed() - m_stopAt) / double(m_flightMs));
    const double e = 1 - (1 - t0) * (1 - t0) * (1 - t0);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    for (const Flyer& f : m_flyers) {
      const QRectF r(f.from.topLeft() + (f.to.topLeft() - f.from.topLeft()) * e,
                     f.from.size() + (f.to.size() - f.from.size()) * e);
      p.drawPixmap(r.toRect(), m_flyerPictures.value(f.k));
    }
  }
  ++m_frames;
  const double ms = t.nsecsElapsed() / 1e6;
  m_paintMs += ms;
  m_longestMs = std::max(m_longestMs, ms);
}

// ---------------------------------------------------------------------------------------

std::unique_ptr<TSphereStage> TSphereStage::ForTask(QWidget* screen, const TDataDraw& engine) {
  TRollStyle style = TRollStyle::Numbers;
  std::string ignored;  // a style that cannot be read rolls numbers, as every task did
  if (!config::LoadRollStyle(engine.Session().Task.TaskId, style, ignored) ||
      style != TRollStyle::Sphere)
    return nullptr;
  return std::make_unique<TSphereStage>(screen, engine);
}

TSphereStage::TSphereStage(QWidget* screen, const TDataDraw& engine)
    : m_e(engine),
      m_roll(new TSphereRoll(screen, engine.Session().CandidateLines, engine.Columns().NameColumn(),
                             engine.Session().Task.IdType == TIdType::Numeric,
                             engine.Session().Task.TaskId)) {
  m_roll->hide();
}

void TSphereStage::Fill() {
  TSpherePopulation p;
  const int32_t index = m_e.CurItemIndex();
  if (index >= 0 && static_cast<size_t>(index) < m_e.Session().Items.size())
    p.Fill(m_e.Pool(), m_e.Session().Items[static_cast<size_t>(index)].ItemId,
           m_e.Session().CandidateLines.size());
  m_roll->SetPopulation(p);
}

void TSphereStage::Apply(const TStageFrame& f) {
  switch (f.step) {
    case TStageStep::Asks:
      m_absentPlace = f.place;
      break;
    case TStageStep::Starts:
      // Who may win this batch, before its winners are picked.
      Fill();
      m_roll->show();
      m_roll->raise();
      m_roll->Roll();
      break;
    case TStageStep::Rolls:
      if (f.replacement && m_absentPlace < m_e.Session().Winners.size()) {
        const TLuckId& w = m_e.Session().Winners[m_absentPlace];
        TSpherePopulation p;
        p.FillReplacement(m_e.Pool(), w.CandidateIndex, w.ItemId,
                          m_e.Session().CandidateLines.size());
        m_roll->SetPopulation(p);
      }
      m_roll->show();
      m_roll->raise();
      m_roll->Roll();
      break;
    case TStageStep::Lands: {
      std::vector<int32_t> winners;
      if (f.replacement && m_absentPlace < m_e.Session().Winners.size())
        winners.push_back(m_e.Session().Winners[m_absentPlace].CandidateIndex);
      else
        for (size_t place : m_e.LastBatchPlaces())
          winners.push_back(m_e.Session().Winners[place].CandidateIndex);
      m_roll->FlyOut(winners, m_landingMs * 8 / 10);
      break;
    }
    case TStageStep::Reveals:
    case TStageStep::Resumes:
    case TStageStep::Summarises:
      m_roll->Stand();
      m_roll->hide();
      break;
    default:
      if (f.hideRoll) {
        m_roll->Stand();
        m_roll->hide();
      }
  }
}
