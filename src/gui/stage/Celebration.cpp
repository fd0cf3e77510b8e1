#include "gui/stage/Celebration.h"

#include <QDir>
#include <QFile>
#include <QPaintEvent>
#include <QPainter>
#include <QTimer>
#include <algorithm>
#include <cmath>

#include "core/text/FileWrite.h"
#include "gui/stage/Music.h"
#include "gui/ui/Art.h"
#include "gui/ui/Qt.h"

namespace {

constexpr int kBurstEveryMs = 480;
constexpr int kBurstUntilMs = 2400;
constexpr int kSparksPerBurst = 32;
const QColor kColours[] = {QColor(255, 215, 64), QColor(255, 120, 40),  QColor(255, 250, 220),
                           QColor(255, 70, 110), QColor(120, 220, 255), QColor(170, 255, 120)};
const QColor kSparkle(255, 255, 235);  // every fifth spark of a burst
// The colours a spark's head can have, in the order of the pictures made of them.
const QColor kDotColours[] = {kColours[0], kColours[1], kColours[2], kColours[3],
                              kColours[4], kColours[5], kSparkle};

// Our fanfare as a file the player can open: written once a run into the temporary folder.
QString FanfareFile() {
  static const QString path = [] {
    EnsureResources();
    QFile wav(QStringLiteral(":/sound/fanfare.wav"));
    if (!wav.open(QIODevice::ReadOnly)) return QString();
    const QByteArray bytes = wav.readAll();
    const QString target = QDir::temp().filePath(QStringLiteral("tombolix-fanfare.wav"));
    std::string error;
    if (!files::WriteFileAtomic(FromQ(target), std::string_view(bytes.constData(), bytes.size()),
                                error))
      return QString();
    return target;
  }();
  return path;
}

}  // namespace

TCelebration::TCelebration(QWidget* screen) : QWidget(screen) {
  setObjectName(QStringLiteral("Celebration"));
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setAttribute(Qt::WA_NoSystemBackground);
  setFocusPolicy(Qt::NoFocus);
  TMFrame = new QTimer(this);
  TMFrame->setInterval(kFrameMs);
  connect(TMFrame, &QTimer::timeout, this, &TCelebration::Frame);
  // Always there and painting nothing while idle: showing or hiding a widget that covers the
  // screen would paint the whole screen again, a long pause at 4K.
  setGeometry(screen->rect());
  lower();
}

bool TCelebration::Running() const { return TMFrame->isActive(); }

void TCelebration::Start(const std::vector<QRect>& zones, const QRegion& keepOut, bool fanfare,
                         QWidget* ground) {
  setGeometry(parentWidget()->rect());
  m_zones.clear();
  for (const QRect& z : zones)
    if (!z.isEmpty()) m_zones.push_back(z);
  m_keepOut = keepOut;
  m_unit = std::max(1.0, height() / 756.0);
  MakeDots();
  m_sparks.clear();
  m_elapsed = 0;
  m_nextBurst = 0;
  if (m_zones.empty()) return;
  StandOver(ground);
  TMFrame->start();
  Frame();
  if (fanfare) {
    // A fresh player each time: the fanfare plays from its start.
    delete m_fanfare;
    m_fanfare = new QObject(this);
    TMusic(m_fanfare).Play(FanfareFile());
  }
}

void TCelebration::StandOver(QWidget* ground) {
  // Every text and card stays in front; below a widget that covers the screen nothing of
  // them would be seen.
  if (!ground || ground->parentWidget() != parentWidget()) return lower();
  const QObjectList& siblings = parentWidget()->children();  // in stacking order
  for (qsizetype i = siblings.indexOf(ground) + 1; i < siblings.size(); ++i) {
    auto* w = qobject_cast<QWidget*>(siblings[i]);
    if (w && w != this) return stackUnder(w);
  }
  raise();
}

void TCelebration::Stop() {
  TMFrame->stop();
  if (!m_sparks.empty()) {
    std::vector<QRect> dirty;
    for (const Spark& s : m_sparks)
      if (Shown(s)) dirty.push_back(SparkRect(s));
    m_sparks.clear();
    update(Spots(dirty));
  }
}

QRegion TCelebration::Spots(const std::vector<QRect>& rects) {
  const int cell = std::max(8, static_cast<int>(std::lround(16 * m_unit)));
  const int columns = width() / cell + 1, rows = height() / cell + 1;
  m_cells.assign(static_cast<size_t>(columns) * rows, 0);
  for (const QRect& r : rects) {
    const QRect in = r.intersected(rect());
    if (in.isEmpty()) continue;
    for (int y = in.top() / cell; y <= in.bottom() / cell; ++y)
      for (int x = in.left() / cell; x <= in.right() / cell; ++x)
        m_cells[static_cast<size_t>(y) * columns + x] = 1;
  }
  // One rectangle per run of marked cells in a row: sorted, apart and of one height per row,
  // as QRegion::setRects takes them.
  std::vector<QRect> runs;
  for (int y = 0; y < rows; ++y) {
    const unsigned char* row = &m_cells[static_cast<size_t>(y) * columns];
    for (int x = 0; x < columns;) {
      if (!row[x]) {
        ++x;
        continue;
      }
      const int start = x;
      while (x < columns && row[x]) ++x;
      runs.emplace_back(start * cell, y * cell, (x - start) * cell, cell);
    }
  }
  QRegion spots;
  spots.setRects(runs.data(), static_cast<int>(runs.size()));
  // Whole cells reach past a spark: never into a text, a card or the list.
  return spots - m_keepOut;
}

bool TCelebration::Shown(const Spark& s) const { return !m_keepOut.intersects(SparkRect(s)); }

QRect TCelebration::SparkRect(const Spark& s) const {
  const int r = static_cast<int>(std::ceil(3.5 * m_unit)) + 1;
  const QRectF span = QRectF(s.at, s.before).normalized();
  return span.toAlignedRect().adjusted(-r, -r, r, r);
}

void TCelebration::Burst() {
  const QRect& z = m_zones[m_rand() % m_zones.size()];
  const QPointF centre(z.x() + static_cast<double>(m_rand() % std::max(1, z.width())),
                       z.y() + static_cast<double>(m_rand() % std::max(1, z.height())));
  const QColor colour = kColours[m_rand() % std::size(kColours)];
  const double speed = (80 + m_rand() % 40) * m_unit / 1000.0;  // pixels per ms
  for (int i = 0; i < kSparksPerBurst; ++i) {
    const double angle = 2 * M_PI * (i + (m_rand() % 100) / 100.0) / kSparksPerBurst;
    const double v = speed * (0.6 + (m_rand() % 40) / 100.0);
    Spark s;
    s.at = s.before = centre;
    s.speed = QPointF(std::cos(angle) * v, std::sin(angle) * v);
    s.colour = i % 5 == 0 ? kSparkle : colour;
    s.life = 1100 + static_cast<int>(m_rand() % 500);
    m_sparks.push_back(s);
  }
}

void TCelebration::Frame() {
  // Only the spots of the sparks drawn before and now are painted again; a spark that
  // touches a text, a card or the list is not drawn at all.
  std::vector<QRect> dirty;
  dirty.reserve(2 * m_sparks.size() + kSparksPerBurst);
  for (const Spark& s : m_sparks)
    if (Shown(s)) dirty.push_back(SparkRect(s));
  if (m_elapsed >= m_nextBurst && m_elapsed <= kBurstUntilMs) {
    Burst();
    m_nextBurst += kBurstEveryMs;
  }
  const double gravity = 0.00009 * m_unit;  // pixels per ms²
  std::vector<Spark> alive;
  alive.reserve(m_sparks.size());
  for (Spark s : m_sparks) {
    s.age += kFrameMs;
    if (s.age >= s.life) continue;
    s.before = s.at;
    s.at += s.speed * kFrameMs;
    s.speed = QPointF(s.speed.x() * 0.985, s.speed.y() * 0.985 + gravity * kFrameMs);
    alive.push_back(s);
  }
  m_sparks.swap(alive);
  for (const Spark& s : m_sparks)
    if (Shown(s)) dirty.push_back(SparkRect(s));
  update(Spots(dirty));
  m_elapsed += kFrameMs;
  if (m_elapsed >= kLengthMs || (m_sparks.empty() && m_elapsed > kBurstUntilMs)) Stop();
}

void TCelebration::MakeDots() {
  const double r = 2.6 * m_unit;
  const qreal dpr = devicePixelRatioF();
  const int side = static_cast<int>(std::ceil(2 * r)) + 2;
  if (!m_dots.empty() && m_dotSide == side && m_dots.front().devicePixelRatio() == dpr) return;
  m_dotSide = side;
  m_dots.clear();
  for (const QColor& c : kDotColours) {
    QPixmap dot(QSize(side, side) * dpr);
    dot.setDevicePixelRatio(dpr);
    dot.fill(Qt::transparent);
    QPainter p(&dot);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(QPointF(side / 2.0, side / 2.0), r, r);
    p.end();
    m_dots.push_back(dot);
  }
}

void TCelebration::paintEvent(QPaintEvent* e) {
  if (m_sparks.empty()) return;
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const double r = 2.6 * m_unit;
  const QRect area = e->rect();
  for (const Spark& s : m_sparks) {
    const QRect at = SparkRect(s);
    if (!area.intersects(at) || !Shown(s)) continue;
    QColor c = s.colour;
    c.setAlphaF(std::clamp(1.0 - double(s.age) / s.life, 0.0, 1.0));
    p.setPen(QPen(c, r * 0.9, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(s.before, s.at);
    // The head from a picture made at the start: an ellipse's outline is costly at 4K.
    const size_t dot =
        static_cast<size_t>(std::find(std::begin(kDotColours), std::end(kDotColours), s.colour) -
                            std::begin(kDotColours));
    if (dot < m_dots.size()) {
      p.setOpacity(c.alphaF());
      p.drawPixmap(s.at - QPointF(m_dotSide / 2.0, m_dotSide / 2.0), m_dots[dot]);
      p.setOpacity(1.0);
    } else {
      p.setPen(Qt::NoPen);
      p.setBrush(c);
      p.drawEllipse(s.at, r, r);
    }
  }
}
