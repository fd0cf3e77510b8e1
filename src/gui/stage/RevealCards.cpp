#include "gui/stage/RevealCards.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

#include "gui/ui/Fonts.h"
#include "gui/ui/LargeType.h"

namespace {

const QColor kCardFill(255, 253, 246);
const QColor kCardEdge(214, 160, 52);
const QColor kIdColour(128, 0, 0);
const QColor kNameColour(176, 20, 28);
const QColor kRestColour(110, 60, 20);
constexpr double kNameScale = 1.15;  // the name stands larger than the id
constexpr double kRestScale = 0.55;

QFont Face(int pixels, bool bold) {
  QFont f = UiFont(StageFamily(), std::max(1, pixels), bold);
  return f;
}

}  // namespace

TRevealCards::TRevealCards(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("RevealCards"));
}

int TRevealCards::CardAt(QPoint p) const {
  const std::vector<QRect> rects = CardRects();
  for (size_t i = 0; i < rects.size(); ++i)
    if (rects[i].contains(p)) return static_cast<int>(i);
  return -1;
}

void TRevealCards::mousePressEvent(QMouseEvent* e) {
  // A press on a card is the card's, and so is its release; one beside the cards goes on to
  // the screen, where a click on the band counts as Enter.
  if (e->button() == Qt::LeftButton && CardAt(e->position().toPoint()) >= 0)
    e->accept();
  else
    e->ignore();
}

void TRevealCards::SetCards(std::vector<TStageCard> cards) {
  if (cards.size() > static_cast<size_t>(kMaxCards)) cards.resize(kMaxCards);
  m_cards = std::move(cards);
  Render();
  update();
}

std::vector<QRect> TRevealCards::CardRects() const {
  std::vector<QRect> out;
  const int n = static_cast<int>(m_cards.size());
  if (n == 0) return out;
  const int gap = std::max(4, width() / 60);
  // One winner takes a wide card in the middle; more share the band.
  const int most = n == 1 ? width() * 2 / 3 : n == 2 ? width() * 45 / 100 : width();
  const int w = std::min(most, (width() - gap * (n - 1)) / n);
  const int total = w * n + gap * (n - 1);
  int x = (width() - total) / 2;
  for (int i = 0; i < n; ++i, x += w + gap) out.emplace_back(x, 0, w, height());
  return out;
}

int TRevealCards::FitPixels(const TStageCard& c, QRect text, bool hasName, bool hasRest) const {
  // The largest id size at which the id and the name each fit on their line and all lines
  // fit the card's height. A long tail of fields is drawn smaller still; it never sizes the id.
  int px = text.height();
  for (; px > 6; px -= std::max(1, px / 24)) {
    const QFontMetricsF id(Face(px, true));
    const QFontMetricsF name(Face(static_cast<int>(px * kNameScale), true));
    const QFontMetricsF rest(Face(static_cast<int>(px * kRestScale), false));
    const double height = (c.id.isEmpty() ? 0 : id.height()) + (hasName ? name.height() : 0) +
                          (hasRest ? rest.height() : 0);
    if (height <= text.height() && id.horizontalAdvance(c.id) <= text.width() &&
        name.horizontalAdvance(c.name) <= text.width())
      break;
  }
  return std::max(6, px);
}

QRect TRevealCards::TextRect(const TStageCard& c, QRect r, QRect* photo) const {
  const int pad = std::max(4, r.height() / 14);
  QRect inner = r.adjusted(pad, pad, -pad, -pad);
  if (c.photo.isNull()) return inner;
  // Beside the text on a wide card, above it on a narrow one.
  const bool beside = r.width() >= r.height() * 1.3;
  const double aspect = double(c.photo.width()) / std::max(1, c.photo.height());
  const QSize box = beside ? QSize(std::min(inner.width() * 2 / 5, qRound(inner.height() * aspect)),
                                   inner.height())
                           : QSize(inner.width(), inner.height() * 9 / 20);
  const QSize shown = c.photo.size().scaled(box, Qt::KeepAspectRatio);
  const QRect at(beside ? inner.x() : inner.x() + (inner.width() - shown.width()) / 2,
                 beside ? inner.y() + (inner.height() - shown.height()) / 2 : inner.y(),
                 shown.width(), shown.height());
  if (photo) *photo = at;
  if (beside)
    inner.setLeft(at.right() + pad);
  else
    inner.setTop(at.bottom() + pad / 2);
  return inner;
}

void TRevealCards::Render() {
  m_cache = QPixmap();
  m_idPixels = m_namePixels = 0;
  if (m_cards.empty() || width() <= 0 || height() <= 0) return;
  const std::vector<QRect> rects = CardRects();
  const bool anyName = std::any_of(m_cards.begin(), m_cards.end(),
                                   [](const TStageCard& k) { return !k.name.isEmpty(); });
  const bool anyRest = std::any_of(m_cards.begin(), m_cards.end(),
                                   [](const TStageCard& k) { return !k.rest.isEmpty(); });
  // One size for the whole batch, so that its cards read as one row.
  int px = 100000;
  for (size_t i = 0; i < m_cards.size(); ++i)
    px = std::min(px,
                  FitPixels(m_cards[i], TextRect(m_cards[i], rects[i], nullptr), anyName, anyRest));
  m_idPixels = px;
  m_namePixels = anyName ? static_cast<int>(px * kNameScale) : 0;

  const qreal dpr = devicePixelRatioF();
  m_cache = QPixmap(size() * dpr);
  m_cache.setDevicePixelRatio(dpr);
  m_cache.fill(Qt::transparent);
  QPainter p(&m_cache);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  p.setRenderHint(QPainter::SmoothPixmapTransform);
  for (size_t i = 0; i < m_cards.size(); ++i) PaintCard(p, m_cards[i], rects[i], px);
}

void TRevealCards::PaintCard(QPainter& p, const TStageCard& c, QRect r, int px) const {
  const int edge = std::max(2, r.height() / 70);
  const double radius = r.height() / 14.0;
  QPainterPath card;
  card.addRoundedRect(QRectF(r).adjusted(edge / 2.0, edge / 2.0, -edge / 2.0, -edge / 2.0), radius,
                      radius);
  p.fillPath(card, kCardFill);
  p.setPen(QPen(kCardEdge, edge));
  p.drawPath(card);

  QRect photo;
  const QRect inner = TextRect(c, r, &photo);
  if (!c.photo.isNull()) {
    QPainterPath frame;
    frame.addRoundedRect(QRectF(photo), radius / 2, radius / 2);
    p.save();
    p.setClipPath(frame);
    p.drawPixmap(photo, c.photo);
    p.restore();
  }

  struct Line {
    QString text;
    QFont font;
    QColor colour;
  };
  std::vector<Line> lines;
  if (!c.id.isEmpty()) lines.push_back({c.id, Face(px, true), kIdColour});
  if (!c.name.isEmpty())
    lines.push_back({c.name, Face(static_cast<int>(px * kNameScale), true), kNameColour});
  if (!c.rest.isEmpty()) {
    QFont f = Face(static_cast<int>(px * kRestScale), false);
    const double w = QFontMetricsF(f).horizontalAdvance(c.rest);
    if (w > inner.width())
      f.setPixelSize(std::max(6, static_cast<int>(f.pixelSize() * inner.width() / w)));
    lines.push_back({c.rest, f, kRestColour});
  }
  double total = 0;
  for (const Line& l : lines) total += QFontMetricsF(l.font).height();
  double y = inner.y() + (inner.height() - total) / 2;
  for (const Line& l : lines) {
    const QFontMetricsF fm(l.font);
    largetype::Draw(p, QRectF(inner.x(), y, inner.width(), fm.height()),
                    Qt::AlignHCenter | Qt::AlignVCenter, l.text, l.font, l.colour);
    y += fm.height();
  }
}

void TRevealCards::paintEvent(QPaintEvent* e) {
  if (m_cache.isNull()) return;
  QPainter p(this);
  p.drawPixmap(e->rect(), m_cache,
               QRectF(QPointF(e->rect().topLeft()) * m_cache.devicePixelRatio(),
                      QSizeF(e->rect().size()) * m_cache.devicePixelRatio()));
}

void TRevealCards::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  Render();
}

void TRevealCards::mouseReleaseEvent(QMouseEvent* e) {
  // Qt gives the release to the widget the press was over: one beside the cards goes on.
  const int card = e->button() == Qt::LeftButton ? CardAt(e->position().toPoint()) : -1;
  if (card < 0) {
    e->ignore();
    return;
  }
  e->accept();
  if (onCardClicked) onCardClicked(card);
}
