#include "gui/checkin/CheckinScreen.h"

#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QTimer>
#include <QtMath>
#include <algorithm>
#include <set>

#include "core/checkin/CheckinList.h"
#include "core/checkin/CheckinService.h"
#include "gui/checkin/QrImage.h"
#include "gui/stage/DrawScreenArt.h"
#include "gui/ui/Fonts.h"
#include "gui/ui/Qt.h"

namespace {

// The design grid of the draw screens, scaled uniformly and centred.
constexpr int kDesignW = 1016;
constexpr int kDesignH = 736;
const QColor kGold(255, 236, 80);
const QColor kDarkRed(128, 16, 16);
// A name's slide into its place; at most this many wait their turn, more are skipped.
constexpr int kSlideMs = 280;
constexpr int kFrameMs = 33;
constexpr uint64_t kMaxWaiting = 3;
// The wall's area on the design grid: below the band, five places a row.
constexpr double kWallX = 40, kWallTop = 526, kWallRowH = 46, kWallW = 936, kWallBottom = 720;

// A text fitted into `box` on one line: its size shrinks until it fits.
void FitText(QPainter& p, const QRectF& box, const QString& text, int px, const QColor& c,
             Qt::Alignment align, bool shadow) {
  QFont f = UiFont(StageFamily(), px, true);
  while (px > 8 && QFontMetricsF(f).horizontalAdvance(text) > box.width()) {
    px -= 2;
    f.setPixelSize(px);
  }
  p.setFont(f);
  if (shadow) {
    p.setPen(QColor(0, 0, 0, 160));
    p.drawText(box.translated(2, 2), align, text);
  }
  p.setPen(c);
  p.drawText(box, align, text);
}

}  // namespace

TCheckinScreen::TCheckinScreen(TCheckinService& service, QWidget* parent)
    : QWidget(parent, Qt::Window), m_service(service), m_timer(new QTimer(this)) {
  setObjectName(QStringLiteral("CheckinScreen"));
  setWindowTitle(QStringLiteral("签到屏幕"));
  setAttribute(Qt::WA_OpaquePaintEvent);
  resize(1024, 768);
  m_timer->setInterval(300);
  connect(m_timer, &QTimer::timeout, this, &TCheckinScreen::Refresh);
  m_timer->start();
  m_slide = new QTimer(this);
  m_slide->setInterval(kFrameMs);
  connect(m_slide, &QTimer::timeout, this, &TCheckinScreen::SlideTick);
}

bool TCheckinScreen::Sliding() const { return m_slide->isActive(); }

double TCheckinScreen::Scale(QPointF& origin) const {
  const double s = std::min(width() / double(kDesignW), height() / double(kDesignH));
  origin = QPointF(qRound((width() - kDesignW * s) / 2), qRound((height() - kDesignH * s) / 2));
  return s;
}

QRect TCheckinScreen::WallRect() const {
  QPointF o;
  const double s = Scale(o);
  return QRectF(o.x() + kWallX * s, o.y() + (kWallTop - 6) * s, kWallW * s,
                (kWallBottom - kWallTop + 6) * s)
      .toAlignedRect();
}

// Takes the next arrival onto the wall, or skips to the last one when too many wait.
void TCheckinScreen::NextArrival() {
  if (m_arrivals - m_shown > kMaxWaiting) m_shown = m_arrivals - 1;
  ++m_shown;
  ++m_slides;
  // The desk's names end at arrival m_arrivals; those up to m_shown are its first ones.
  const uint64_t later = m_arrivals - m_shown;
  const std::vector<std::string> upTo(
      m_latest.begin(),
      m_latest.end() - static_cast<std::ptrdiff_t>(std::min<uint64_t>(later, m_latest.size())));
  m_wall = checkin::WallAfter(upTo, m_shown);
  // Only the pictures of the names on the wall are kept.
  std::set<std::string> on(m_wall.Leaving.begin(), m_wall.Leaving.end());
  for (const auto& row : m_wall.Rows) on.insert(row.begin(), row.end());
  const std::string newest = m_wall.Rows.empty() ? std::string() : m_wall.Rows.back().back();
  for (auto it = m_names.begin(); it != m_names.end();) {
    const bool keep = it->first.second ? it->first.first == newest : on.count(it->first.first) > 0;
    it = keep ? std::next(it) : m_names.erase(it);
  }
  m_slideClock.start();
  if (!m_slide->isActive()) m_slide->start();
  update(WallRect());
}

void TCheckinScreen::SlideTick() {
  if (m_slideClock.elapsed() < kSlideMs) {
    update(WallRect());
    return;
  }
  if (m_shown < m_arrivals) {
    NextArrival();
    return;
  }
  m_slide->stop();
  update(WallRect());
}

void TCheckinScreen::Refresh() {
  const checkin::TCheckinView v = m_service.Desk().View();
  const QString url = QString::fromStdString(m_service.Url());
  const std::string wifi = m_service.WifiLine();
  if (v.Generation == m_generation && url == m_url && m_service.Running() == m_open &&
      wifi == m_wifi && !m_frame.isNull() && m_frame.size() == size())
    return;
  m_generation = v.Generation;
  m_wifi = wifi;
  m_url = url;
  m_open = m_service.Running();
  m_frame = Render();
  update();
  m_latest = v.Latest;
  if (v.Arrivals < m_shown) {  // opened afresh: no slide for what was there
    m_shown = 0;
    m_wall = checkin::TWall();
  }
  m_arrivals = v.Arrivals;
  if (m_shown < m_arrivals && !m_slide->isActive()) NextArrival();
}

const QPixmap& TCheckinScreen::Frame() {
  Refresh();
  return m_frame;
}

QPixmap TCheckinScreen::Render() const {
  const checkin::TCheckinView v = m_service.Desk().View();
  const QSize screen = size();
  const double s = std::min(screen.width() / double(kDesignW), screen.height() / double(kDesignH));
  const QRect stage(qRound((screen.width() - kDesignW * s) / 2),
                    qRound((screen.height() - kDesignH * s) / 2), qRound(kDesignW * s),
                    qRound(kDesignH * s));
  // The picture is scaled once a size: at 4K that is most of a frame's cost.
  if (m_background.size() != screen)
    m_background = DrawScreenBackground(screen, stage, QImage(), QStringLiteral("draw_background"));
  QPixmap pm = m_background.copy();
  if (pm.isNull()) return pm;
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  // The light band across the screen, as on the Ready screen.
  const int top = stage.y() + qRound(150 * s), height = qRound(360 * s);
  const int gold = std::max(2, qRound(5 * s));
  p.fillRect(QRect(0, top, screen.width(), height), QColor(255, 246, 222));
  p.fillRect(QRect(0, top - gold, screen.width(), gold), QColor(232, 178, 64));
  p.fillRect(QRect(0, top + height, screen.width(), gold), QColor(232, 178, 64));

  p.translate(stage.topLeft());
  p.scale(s, s);
  const QString title = Q(m_service.Desk().TaskName());
  FitText(p, QRectF(40, 24, 800, 70), title, 52, kGold, Qt::AlignLeft | Qt::AlignVCenter, true);
  const checkin::TDeskState state = !m_open                ? checkin::TDeskState::Stopped
                                    : m_service.DeskOpen() ? checkin::TDeskState::Open
                                                           : checkin::TDeskState::ClosedForDraw;
  FitText(p, QRectF(40, 92, 800, 44), Q(checkin::StateText(state)), 30, kGold,
          Qt::AlignLeft | Qt::AlignVCenter, true);

  // The code on the band's left, the address and the count on its right.
  if (m_open && !m_url.isEmpty()) {
    const QImage qr = QrImage(m_url, 10);
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.drawImage(QRectF(60, 165, 330, 330), qr);
  }
  FitText(p, QRectF(420, 175, 560, 50), QStringLiteral("手机扫码或在浏览器输入："), 30, kDarkRed,
          Qt::AlignLeft | Qt::AlignVCenter, false);
  FitText(p, QRectF(420, 230, 570, 90), m_open ? m_url : QStringLiteral("—"), 60, kDarkRed,
          Qt::AlignLeft | Qt::AlignVCenter, false);
  const std::string wifi = m_service.WifiLine();
  FitText(p, QRectF(420, 330, 570, 110),
          Q(checkin::CountText(v.CheckedIn, v.Total, v.CheckedInIds)), 84, kDarkRed,
          Qt::AlignLeft | Qt::AlignVCenter, false);
  if (!wifi.empty())
    FitText(p, QRectF(420, 440, 570, 56), Q(wifi), 34, kDarkRed, Qt::AlignLeft | Qt::AlignVCenter,
            false);

  return pm;
}

// The wall at `t` (0 to 1) of the newest name's slide: it rises into its place from below
// and fades in; when it opened a row, the rows above rise with it and the top one leaves.
// A name of the wall drawn once at the window's scale, with its shadow, left in its place.
const QPixmap& TCheckinScreen::NamePicture(const std::string& text, bool newest) const {
  QPointF o;
  const double s = Scale(o);
  QPixmap& pm = m_names[{text, newest}];
  if (!pm.isNull()) return pm;
  const QSizeF box((kWallW / checkin::kWallColumns - 12) * s, kWallRowH * s);
  pm = QPixmap(box.toSize() + QSize(qCeil(2 * s), qCeil(2 * s)));
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::TextAntialiasing);
  int px = qRound(30 * s);
  QFont f = UiFont(StageFamily(), px, true);
  const QString q = Q(text);
  while (px > 12 && QFontMetricsF(f).horizontalAdvance(q) > box.width()) {
    px -= 2;
    f.setPixelSize(px);
  }
  p.setFont(f);
  const QRectF r(QPointF(0, 0), box);
  p.setPen(QColor(0, 0, 0, 160));
  p.drawText(r.translated(2 * s, 2 * s), Qt::AlignLeft | Qt::AlignVCenter, q);
  p.setPen(newest ? QColor(Qt::white) : kGold);
  p.drawText(r, Qt::AlignLeft | Qt::AlignVCenter, q);
  return pm;
}

// The wall at `t` (0 to 1) of the newest name's slide: it rises into its place from below
// and fades in; when it opened a row, the rows above rise with it and the top one leaves.
// Each frame only places the names' pictures.
void TCheckinScreen::PaintWall(QPainter& p, double t) const {
  if (m_wall.Rows.empty()) return;
  QPointF o;
  const double s = Scale(o);
  p.save();
  p.setClipRect(WallRect());
  const double ease = 1 - (1 - t) * (1 - t);
  const double placeW = kWallW / checkin::kWallColumns;
  const double lift = m_wall.Leaving.empty() ? 0 : (1 - ease) * kWallRowH;
  auto name = [&](const std::string& text, size_t row, size_t column, double dy, bool newest) {
    const QPointF at(o.x() + (kWallX + column * placeW) * s,
                     o.y() + (kWallTop + row * kWallRowH + dy) * s);
    p.drawPixmap(at.toPoint(), NamePicture(text, newest));
  };
  for (size_t c = 0; t < 1 && c < m_wall.Leaving.size(); ++c)
    name(m_wall.Leaving[c], 0, checkin::kWallColumns - m_wall.Leaving.size() + c, lift - kWallRowH,
         false);
  for (size_t r = 0; r < m_wall.Rows.size(); ++r) {
    const size_t first = r == 0 ? m_wall.FirstColumn : 0;
    const bool last = r + 1 == m_wall.Rows.size();
    for (size_t c = 0; c < m_wall.Rows[r].size(); ++c) {
      if (last && c + 1 == m_wall.Rows[r].size()) {
        p.setOpacity(ease);
        name(m_wall.Rows[r][c], r, first + c, lift + (1 - ease) * kWallRowH * 0.6, true);
        p.setOpacity(1);
      } else {
        name(m_wall.Rows[r][c], r, first + c, lift, false);
      }
    }
  }
  p.restore();
}

void TCheckinScreen::paintEvent(QPaintEvent* e) {
  if (m_frame.size() != size()) Refresh();
  QPainter p(this);
  p.drawPixmap(e->rect(), m_frame, e->rect());
  const double t =
      m_slide->isActive() ? std::min(1.0, m_slideClock.elapsed() / double(kSlideMs)) : 1.0;
  PaintWall(p, t);
}

void TCheckinScreen::resizeEvent(QResizeEvent*) {
  m_names.clear();
  Refresh();
}

void TCheckinScreen::keyPressEvent(QKeyEvent* e) {
  if (e->key() == Qt::Key_F11) {
    isFullScreen() ? showNormal() : showFullScreen();
  } else if (e->key() == Qt::Key_Escape) {
    // The projector's screen goes at once, full screen or not: the operator means to leave.
    close();
  } else {
    QWidget::keyPressEvent(e);
  }
}

void TCheckinScreen::mouseDoubleClickEvent(QMouseEvent*) {
  isFullScreen() ? showNormal() : showFullScreen();
}
