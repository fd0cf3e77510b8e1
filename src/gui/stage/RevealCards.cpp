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
const QColor kGrandFill(255, 246, 214);
// The chosen card's frame: a colour of its own, found at a glance among the gold edges.
const QColor kChosenEdge(0, 96, 200);
const QColor kChosenFill(232, 242, 255);
constexpr double kIdScale = 0.72;   // the id stands below the name, smaller
constexpr double kRestScale = 0.5;  // the other fields smaller still

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

void TRevealCards::SetChosen(int card) {
  if (card < 0 || card >= static_cast<int>(m_cards.size())) card = -1;
  if (card == m_chosen) return;
  m_chosen = card;
  Render();
  update();
}

void TRevealCards::SetCards(std::vector<TStageCard> cards) {
  if (cards.size() > static_cast<size_t>(kMaxCards)) cards.resize(kMaxCards);
  m_cards = std::move(cards);
  m_chosen = -1;
  Render();
  update();
}

std::vector<QRect> TRevealCards::CardRects() const {
  std::vector<QRect> out;
  const int n = static_cast<int>(m_cards.size());
  if (n == 0) return out;
  const int gap = std::max(4, width() / 60);
  // One winner takes a wide card in the middle; more share the band. The grand prize's
  // cards take all the room they are given.
  const int most = m_grand  ? width()
                   : n == 1 ? width() * 2 / 3
                   : n == 2 ? width() * 45 / 100
                            : width();
  const int w = std::min(most, (width() - gap * (n - 1)) / n);
  const int total = w * n + gap * (n - 1);
  int x = (width() - total) / 2;
  for (int i = 0; i < n; ++i, x += w + gap) out.emplace_back(x, 0, w, height());
  return out;
}

TRevealCards::Sizes TRevealCards::FitSizes(const TStageCard& c, QRect text) const {
  // The name leads: the largest size at which it fits its line and, below it, the id at most
  // kIdScale of it and the rest at most kRestScale of it fit the card. The id and the rest
  // shrink further to their lines' width, never the name.
  const QString& lead = c.name.isEmpty() ? c.id : c.name;
  const QString second = c.name.isEmpty() ? QString() : c.id;
  const QStringList rest = RestLines(c.rest);
  auto fit = [&text](const QString& s, int most, bool bold) {
    if (s.isEmpty() || most <= 0) return most;
    const double w = QFontMetricsF(Face(most, bold)).horizontalAdvance(s);
    return w <= text.width() ? most : std::max(1, static_cast<int>(most * text.width() / w));
  };
  Sizes z;
  for (int px = text.height(); px >= 6; px -= std::max(1, px / 24)) {
    z.lead = px;
    z.second = second.isEmpty() ? 0 : fit(second, static_cast<int>(px * kIdScale), true);
    z.rest = 0;
    for (int i = 0; i < rest.size(); ++i) {
      const int f = fit(rest[i], static_cast<int>(px * kRestScale), false);
      z.rest = i == 0 ? f : std::min(z.rest, f);
    }
    const double height = QFontMetricsF(Face(z.lead, true)).height() +
                          (z.second ? QFontMetricsF(Face(z.second, true)).height() : 0) +
                          (z.rest ? QFontMetricsF(Face(z.rest, false)).height() * rest.size() : 0);
    if (height <= text.height() &&
        QFontMetricsF(Face(z.lead, true)).horizontalAdvance(lead) <= text.width())
      break;
  }
  return z;
}

QStringList TRevealCards::RestLines(const QString& rest) {
  // A long tail of fields takes two lines, broken at the blank nearest its middle.
  if (rest.isEmpty()) return {};
  if (rest.size() <= kRestOneLine) return {rest};
  int best = -1;
  for (int i = 0; i < rest.size(); ++i)
    if (rest[i] == QLatin1Char(' ') &&
        (best < 0 || std::abs(i - rest.size() / 2) < std::abs(best - rest.size() / 2)))
      best = i;
  if (best < 0) return {rest};
  return {rest.left(best).trimmed(), rest.mid(best + 1).trimmed()};
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
  m_sizes = Sizes();
  if (m_cards.empty() || width() <= 0 || height() <= 0) return;
  const std::vector<QRect> rects = CardRects();
  // One size per role for the whole batch, so that its cards read as one row.
  Sizes z{100000, 100000, 100000};
  bool second = false, rest = false;
  for (size_t i = 0; i < m_cards.size(); ++i) {
    const Sizes c = FitSizes(m_cards[i], TextRect(m_cards[i], rects[i], nullptr));
    z.lead = std::min(z.lead, c.lead);
    if (c.second) {
      z.second = std::min(z.second, c.second);
      second = true;
    }
    if (c.rest) {
      z.rest = std::min(z.rest, c.rest);
      rest = true;
    }
  }
  // A card whose name fits larger must not lift its id or rest above the batch's name.
  z.second = second ? std::min(z.second, static_cast<int>(z.lead * kIdScale)) : 0;
  z.rest = rest ? std::min(z.rest, static_cast<int>(z.lead * kRestScale)) : 0;
  m_sizes = z;

  const qreal dpr = devicePixelRatioF();
  m_cache = QPixmap(size() * dpr);
  m_cache.setDevicePixelRatio(dpr);
  m_cache.fill(Qt::transparent);
  QPainter p(&m_cache);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  p.setRenderHint(QPainter::SmoothPixmapTransform);
  for (size_t i = 0; i < m_cards.size(); ++i) PaintCard(p, m_cards[i], rects[i], z);
  if (m_chosen >= 0) {
    // A broad frame inside the chosen card's edge, clear of its text.
    const QRect r = rects[static_cast<size_t>(m_chosen)];
    const double width = std::max(4, r.height() / 22);
    const double radius = r.height() / 14.0;
    QPainterPath frame;
    frame.addRoundedRect(QRectF(r).adjusted(width / 2, width / 2, -width / 2, -width / 2), radius,
                         radius);
    p.setPen(QPen(kChosenEdge, width));
    p.setBrush(Qt::NoBrush);
    p.drawPath(frame);
  }
}

int TRevealCards::IdPixels() const { return m_sizes.second; }

int TRevealCards::NamePixels() const { return m_sizes.lead; }

void TRevealCards::PaintCard(QPainter& p, const TStageCard& c, QRect r, const Sizes& z) const {
  const int edge = std::max(2, r.height() / 70);
  const double radius = r.height() / 14.0;
  QPainterPath card;
  card.addRoundedRect(QRectF(r).adjusted(edge / 2.0, edge / 2.0, -edge / 2.0, -edge / 2.0), radius,
                      radius);
  const bool chosen = m_chosen >= 0 && &c == &m_cards[static_cast<size_t>(m_chosen)];
  p.fillPath(card, chosen ? kChosenFill : m_grand ? kGrandFill : kCardFill);
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
  // The name first and largest, the id under it, the other fields smaller below.
  std::vector<Line> lines;
  if (!c.name.isEmpty()) {
    lines.push_back({c.name, Face(z.lead, true), kNameColour});
    if (!c.id.isEmpty()) lines.push_back({c.id, Face(z.second, true), kIdColour});
  } else if (!c.id.isEmpty()) {
    lines.push_back({c.id, Face(z.lead, true), kNameColour});
  }
  if (z.rest > 0)
    for (const QString& l : RestLines(c.rest))
      lines.push_back({l, Face(z.rest, false), kRestColour});
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
