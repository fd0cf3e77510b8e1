#include "gui/checkin/CheckinScreen.h"

#include <QKeyEvent>
#include <QPainter>
#include <QTimer>
#include <algorithm>

#include "core/checkin/CheckinList.h"
#include "gui/checkin/CheckinService.h"
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
}

void TCheckinScreen::Refresh() {
  const checkin::TCheckinView v = m_service.Desk().View();
  const QString url = QString::fromStdString(m_service.Url());
  if (v.Generation == m_generation && url == m_url && m_service.Running() == m_open &&
      !m_frame.isNull() && m_frame.size() == size())
    return;
  m_generation = v.Generation;
  m_url = url;
  m_open = m_service.Running();
  m_frame = Render();
  update();
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
  QPixmap pm = DrawScreenBackground(screen, stage, QImage(), QStringLiteral("draw_background"));
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
  FitText(p, QRectF(420, 350, 570, 110), Q(checkin::CountText(v.CheckedIn, v.Total)), 84, kDarkRed,
          Qt::AlignLeft | Qt::AlignVCenter, false);

  // The wall: the newest names first, row by row under the band.
  QFont f = UiFont(StageFamily(), 30, true);
  p.setFont(f);
  const QFontMetricsF fm(f);
  double x = 40, y = 530;
  const double rowH = 44, right = 976, bottom = 720;
  for (auto it = v.Latest.rbegin(); it != v.Latest.rend(); ++it) {
    const QString name = Q(*it);
    const double w = fm.horizontalAdvance(name) + 36;
    if (x + w > right) {
      x = 40;
      y += rowH;
    }
    if (y + rowH > bottom) break;
    p.setPen(QColor(0, 0, 0, 160));
    p.drawText(QPointF(x + 2, y + 34), name);
    p.setPen(it == v.Latest.rbegin() ? QColor(Qt::white) : kGold);
    p.drawText(QPointF(x, y + 32), name);
    x += w;
  }
  return pm;
}

void TCheckinScreen::paintEvent(QPaintEvent*) {
  if (m_frame.size() != size()) Refresh();
  QPainter p(this);
  p.drawPixmap(0, 0, m_frame);
}

void TCheckinScreen::resizeEvent(QResizeEvent*) { Refresh(); }

void TCheckinScreen::keyPressEvent(QKeyEvent* e) {
  if (e->key() == Qt::Key_F11) {
    isFullScreen() ? showNormal() : showFullScreen();
  } else if (e->key() == Qt::Key_Escape) {
    if (isFullScreen())
      showNormal();
    else
      close();
  } else {
    QWidget::keyPressEvent(e);
  }
}

void TCheckinScreen::mouseDoubleClickEvent(QMouseEvent*) {
  isFullScreen() ? showNormal() : showFullScreen();
}
