#include "gui/stage/GrandPrize.h"

#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QRadialGradient>
#include <QTimer>
#include <algorithm>

#include "gui/ui/Fonts.h"
#include "gui/ui/LargeType.h"

namespace {

const QColor kDeep(110, 0, 8);
const QColor kGlow(196, 28, 36);
const QColor kGold(255, 214, 102);
const QColor kPale(255, 240, 200);

// The largest type up to `most` pixels at which `text` fits `width`.
QFont Fitted(const QString& text, int most, int width) {
  QFont f = UiFont(StageFamily(), std::max(1, most), true);
  const int w = QFontMetrics(f).horizontalAdvance(text);
  if (w > width && w > 0) f.setPixelSize(std::max(8, most * width / w));
  return f;
}

// A line `width` wide centred in `band`.
QRect Centred(const QRect& band, int width) {
  width = std::min(width, band.width());
  return QRect(band.center().x() - width / 2, band.top(), width, band.height());
}

}  // namespace

TGrandPrize::TGrandPrize(QWidget* screen) : QWidget(screen) {
  setObjectName(QStringLiteral("PGrand"));
  setAttribute(Qt::WA_OpaquePaintEvent);
  Cards = new TRevealCards(this);
  Cards->SetGrand(true);
  hide();
}

void TGrandPrize::Show(const QString& item, const QString& gift, std::vector<TStageCard> winners,
                       const QPixmap& picture) {
  const bool drawn = Drawn(item, gift, picture);
  m_item = item;
  m_gift = gift;
  m_picture = picture;
  setGeometry(parentWidget()->rect());
  Layout();
  Cards->SetCards(std::move(winners));
  if (!drawn) Render();
  show();
  raise();
  update();
}

void TGrandPrize::Prepare(const QString& item, const QString& gift, std::vector<TStageCard> winners,
                          const QPixmap& picture) {
  if (isVisible()) return;
  m_item = item;
  m_gift = gift;
  m_picture = picture;
  m_cache = QPixmap();
  setGeometry(parentWidget()->rect());
  Layout();
  Cards->Prepare(std::move(winners), Cards->geometry().size());
  // The prize's type, then the background, each in a turn of the event loop of its own: a
  // new size of type costs the system's font matching, the background a whole screen.
  QTimer::singleShot(0, this, [this] {
    if (isVisible() || !m_cache.isNull()) return;
    (void)QFontMetrics(Fitted(m_item, m_title.height() * 3 / 4, m_title.width())).height();
    if (!m_gift.isEmpty())
      (void)QFontMetrics(Fitted(m_gift, m_giftLine.height() * 3 / 4, m_giftLine.width())).height();
    QTimer::singleShot(0, this, [this] {
      if (!isVisible() && m_cache.isNull()) Render();
    });
  });
}

bool TGrandPrize::Drawn(const QString& item, const QString& gift, const QPixmap& picture) const {
  return !m_cache.isNull() && m_cacheFor == parentWidget()->size() && item == m_item &&
         gift == m_gift && picture.cacheKey() == m_picture.cacheKey();
}

void TGrandPrize::Layout() {
  const int w = width(), h = height();
  const int margin = w / 20;
  // The prize on top in a band of a fifth of the screen; the winners take the rest.
  m_title = QRect(margin, h * 3 / 100, w - 2 * margin, h * 12 / 100);
  m_giftLine = QRect(margin, m_title.bottom(), w - 2 * margin, h * 7 / 100);
  const int top = m_giftLine.bottom() + h / 40;
  const QRect middle(margin, top, w - 2 * margin, h * 96 / 100 - top);
  // The gift's picture beside the cards, at most a quarter of the width.
  if (!m_picture.isNull()) {
    const QSize shown = m_picture.size().scaled(QSize(middle.width() / 4, middle.height() * 3 / 4),
                                                Qt::KeepAspectRatio);
    m_pictureRect = QRect(QPoint(middle.right() - shown.width(),
                                 middle.top() + (middle.height() - shown.height()) / 2),
                          shown);
    Cards->setGeometry(middle.adjusted(0, 0, -(shown.width() + margin), 0));
  } else {
    m_pictureRect = QRect();
    Cards->setGeometry(middle);
  }
}

void TGrandPrize::Render() {
  const qreal dpr = devicePixelRatioF();
  m_cacheFor = size();
  m_cache = QPixmap(size() * dpr);
  m_cache.setDevicePixelRatio(dpr);
  QPainter p(&m_cache);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::SmoothPixmapTransform);
  QRadialGradient glow(QPointF(width() / 2.0, height() * 0.55), std::max(width(), height()) * 0.7);
  glow.setColorAt(0, kGlow);
  glow.setColorAt(1, kDeep);
  p.fillRect(rect(), glow);
  const int edge = std::max(3, height() / 120);
  p.setPen(QPen(kGold, edge));
  p.drawRect(QRectF(rect()).adjusted(edge * 1.5, edge * 1.5, -edge * 1.5, -edge * 1.5));
  const QFont title = Fitted(m_item, m_title.height() * 3 / 4, m_title.width());
  m_titlePixels = title.pixelSize();
  largetype::Draw(p, m_title, Qt::AlignCenter, m_item, title, kGold);
  m_ink = Centred(m_title, QFontMetrics(title).horizontalAdvance(m_item));
  if (!m_gift.isEmpty()) {
    const QFont gift = Fitted(m_gift, m_giftLine.height() * 3 / 4, m_giftLine.width());
    largetype::Draw(p, m_giftLine, Qt::AlignCenter, m_gift, gift, kPale);
    m_ink |= Centred(m_giftLine, QFontMetrics(gift).horizontalAdvance(m_gift));
  }
  if (!m_pictureRect.isNull()) {
    p.drawPixmap(m_pictureRect, m_picture);
    p.setPen(QPen(kGold, edge));
    p.drawRect(m_pictureRect.adjusted(-edge, -edge, edge, edge));
  }
}

std::vector<QRect> TGrandPrize::FreeZones() const {
  // Beside the prize's lines, and down both sides of the cards.
  const int gap = width() / 60;
  std::vector<QRect> zones;
  QRect cards;
  for (const QRect& r : Cards->CardRects()) cards |= r.translated(Cards->pos());
  if (cards.isEmpty()) cards = Cards->geometry();
  const int above = std::min(m_giftLine.bottom(), cards.top() - gap);
  zones.push_back(QRect(QPoint(gap, gap), QPoint(m_ink.left() - gap, above)));
  zones.push_back(QRect(QPoint(m_ink.right() + gap, gap), QPoint(width() - gap, above)));
  zones.push_back(QRect(QPoint(gap, cards.top()), QPoint(cards.left() - gap, height() - gap)));
  const int right = m_pictureRect.isNull() ? cards.right() : m_pictureRect.right();
  zones.push_back(QRect(QPoint(right + gap, cards.top()), QPoint(width() - gap, height() - gap)));
  std::vector<QRect> out;
  for (const QRect& z : zones)
    if (z.width() > gap && z.height() > gap) out.push_back(z);
  return out;
}

QRegion TGrandPrize::Written() const {
  QRegion r(m_ink);
  for (const QRect& c : Cards->CardRects()) r += c.translated(Cards->pos());
  if (!m_pictureRect.isNull()) r += m_pictureRect;
  return r;
}

void TGrandPrize::paintEvent(QPaintEvent* e) {
  QPainter p(this);
  if (m_cache.isNull()) {
    p.fillRect(e->rect(), kDeep);
    return;
  }
  p.drawPixmap(e->rect(), m_cache,
               QRectF(QPointF(e->rect().topLeft()) * m_cache.devicePixelRatio(),
                      QSizeF(e->rect().size()) * m_cache.devicePixelRatio()));
}

void TGrandPrize::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  if (!isVisible() && m_cache.isNull()) return;
  Layout();
  // A screen drawn ahead while hidden hears of its size only when shown.
  if (m_cacheFor != size()) Render();
}
