#include "gui/stage/RevealCards.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
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
constexpr double kIdScale = 0.62;   // the id stands below the name, smaller
constexpr double kRestScale = 0.5;  // the other fields at most half the name,
constexpr double kRestOfId = 0.8;   // and smaller than the id
// A name that fits its line only below this share of the size its card's height allows is
// long, when it can break (words, or more than kShortName Chinese characters): it takes two
// lines and does not set the batch's size. A short name never breaks.
constexpr double kLongName = 0.6;
constexpr int kShortName = 5;
constexpr int kReference = 100;  // texts are measured once, at this size
constexpr int kMostRows = 3;     // of the grand prize's cards

QFont Face(int pixels, bool bold) { return UiFont(StageFamily(), std::max(1, pixels), bold); }

// Widths and line heights per pixel of type, from one measure at the reference size: type of
// a scalable face grows in proportion, and the sizes found are checked once as drawn.
class TPerPixel {
 public:
  TPerPixel() : m_bold(Face(kReference, true)), m_plain(Face(kReference, false)) {}
  double Bold(const QString& s) const { return m_bold.horizontalAdvance(s) / kReference; }
  double Plain(const QString& s) const { return m_plain.horizontalAdvance(s) / kReference; }
  double BoldHeight() const { return m_bold.height() / kReference; }
  double PlainHeight() const { return m_plain.height() / kReference; }

 private:
  QFontMetricsF m_bold;
  QFontMetricsF m_plain;
};

// A card's texts, measured.
struct TCardTexts {
  QString lead;                   // the name, or the id on a card without a name
  QString second;                 // the id under a name
  QStringList two;                // the name on two lines
  std::vector<QStringList> more;  // on three lines, on four, where it breaks so
  QStringList rest;               // the other fields' lines
  double one = 0;                 // the name's width on one line, per pixel of type
  double twoWide = 0;             // the wider of its two lines
  double id = 0;
  double restWide = 0;
};

// A name may break before a blank, or after a hyphen or the dot of a transliterated name.
bool BreaksAt(const QString& name, int i) {
  return name[i] == QLatin1Char(' ') || name[i - 1] == QLatin1Char('-') ||
         name[i - 1] == QChar(0x00B7) || name[i - 1] == QChar(0x30FB);
}

// The name in `lines` lines as even as may be: broken where it may break, else, for a long
// Chinese name, between any two characters; one line for a short name or a single Latin
// word, or when it has fewer places to break than `lines` asks.
QStringList NameLines(const QString& name, int lines, const TPerPixel& m) {
  bool places = false, latin = false;
  for (int i = 1; i < name.size(); ++i) places = places || BreaksAt(name, i);
  for (const QChar c : name) latin = latin || (c.unicode() < 0x80 && c.isLetterOrNumber());
  if (!places && (latin || name.size() <= kShortName)) return {name};
  std::vector<int> at{0};
  for (int i = 1; i < name.size(); ++i)
    if (!name[i].isLowSurrogate() && (!places || BreaksAt(name, i))) at.push_back(i);
  at.push_back(static_cast<int>(name.size()));
  const int n = static_cast<int>(at.size());
  if (n - 1 < lines) return {name};
  // Widths of the pieces between two places, measured once; then the split whose widest
  // line is narrowest (few places and at most four lines: a small table).
  std::vector<std::vector<double>> wide(n, std::vector<double>(n, 0));
  for (int p = 0; p < n; ++p)
    for (int q = p + 1; q < n; ++q) wide[p][q] = m.Bold(name.mid(at[p], at[q] - at[p]).trimmed());
  constexpr double kNone = 1e18;
  std::vector<std::vector<double>> best(lines + 1, std::vector<double>(n, kNone));
  std::vector<std::vector<int>> from(lines + 1, std::vector<int>(n, -1));
  best[0][0] = 0;
  for (int j = 1; j <= lines; ++j)
    for (int q = 1; q < n; ++q)
      for (int p = 0; p < q; ++p) {
        if (best[j - 1][p] >= kNone) continue;
        const double w = std::max(best[j - 1][p], wide[p][q]);
        if (w < best[j][q]) {
          best[j][q] = w;
          from[j][q] = p;
        }
      }
  if (best[lines][n - 1] >= kNone) return {name};
  QStringList out;
  for (int j = lines, q = n - 1; j > 0; q = from[j][q], --j)
    out.prepend(name.mid(at[from[j][q]], at[q] - at[from[j][q]]).trimmed());
  return out;
}

// A long name may take up to this many lines before it shrinks.
constexpr int kMostNameLines = 4;

struct TFields {
  int id = 0;
  int rest = 0;
};

// The id and the other fields under a name of `name` pixels in a room `width` wide.
TFields FieldsUnder(const TCardTexts& t, int name, double width) {
  TFields f;
  if (!t.second.isEmpty())
    f.id = std::max(1, std::min(static_cast<int>(name * kIdScale),
                                static_cast<int>(width / std::max(t.id, 1e-6))));
  if (!t.rest.isEmpty()) {
    const int idCap = f.id ? f.id : static_cast<int>(name * kIdScale);
    f.rest = std::max(
        1, std::min({static_cast<int>(name * kRestScale), static_cast<int>(idCap * kRestOfId),
                     static_cast<int>(width / std::max(t.restWide, 1e-6))}));
  }
  return f;
}

double TextHeight(const TCardTexts& t, int name, int lines, const TFields& f, const TPerPixel& m) {
  return lines * m.BoldHeight() * name + (f.id ? m.BoldHeight() * f.id : 0) +
         t.rest.size() * m.PlainHeight() * f.rest;
}

// The largest name size up to `most` at which the name on `lines` lines (`wide` per pixel;
// 0: its width left aside) and the fields under it fit `room`.
int Largest(const TCardTexts& t, QSize room, int lines, double wide, int most, const TPerPixel& m) {
  int lo = 1, hi = std::max(1, most);
  auto fits = [&](int s) {
    return s * wide <= room.width() &&
           TextHeight(t, s, lines, FieldsUnder(t, s, room.width()), m) <= room.height();
  };
  if (!fits(lo)) return 1;
  while (lo < hi) {
    const int mid = (lo + hi + 1) / 2;
    if (fits(mid))
      lo = mid;
    else
      hi = mid - 1;
  }
  return lo;
}

}  // namespace

TRevealCards::TRevealCards(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("RevealCards"));
  m_step = new QTimer(this);
  m_step->setSingleShot(true);
  m_step->setInterval(0);
  connect(m_step, &QTimer::timeout, this, &TRevealCards::StepAhead);
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
  Mark();
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
  return RectsIn(static_cast<int>(m_cards.size()), m_rows, size());
}

std::vector<QRect> TRevealCards::RectsIn(int n, int rows, QSize room) const {
  std::vector<QRect> out;
  const int width = room.width(), height = room.height();
  if (n == 0) return out;
  rows = std::clamp(rows, 1, n);
  const int perRow = (n + rows - 1) / rows;
  const int gap = std::max(4, width / 60);
  // One winner takes a wide card in the middle; more share the band. The grand prize's
  // cards take all the room they are given.
  const int most = m_grand ? width : n == 1 ? width * 2 / 3 : n == 2 ? width * 45 / 100 : width;
  const int w = std::min(most, (width - gap * (perRow - 1)) / perRow);
  const int h = (height - gap * (rows - 1)) / rows;
  for (int row = 0, first = 0; row < rows && first < n; ++row, first += perRow) {
    const int k = std::min(perRow, n - first);
    const int total = w * k + gap * (k - 1);
    int x = (width - total) / 2;
    for (int i = 0; i < k; ++i, x += w + gap) out.emplace_back(x, row * (h + gap), w, h);
  }
  return out;
}

std::vector<TRevealCards::Look> TRevealCards::LayOut(const std::vector<TStageCard>& cards,
                                                     const std::vector<QRect>& rects,
                                                     int* batchName,
                                                     std::vector<bool>* longNames) const {
  const TPerPixel m;
  std::vector<TCardTexts> texts(cards.size());
  std::vector<Look> looks(cards.size());
  std::vector<int> oneLine(cards.size());
  std::vector<bool> longName(cards.size());
  int batch = 0, tallest = 0;
  for (size_t i = 0; i < cards.size(); ++i) {
    const TStageCard& c = cards[i];
    TCardTexts& t = texts[i];
    t.lead = c.name.isEmpty() ? c.id : c.name;
    t.second = c.name.isEmpty() ? QString() : c.id;
    t.rest = RestLines(c.rest);
    t.one = m.Bold(t.lead);
    t.two = NameLines(t.lead, 2, m);
    for (int k = 3; k <= kMostNameLines && t.two.size() == 2; ++k) {
      QStringList split = NameLines(t.lead, k, m);
      if (split.size() == k) t.more.push_back(std::move(split));
    }
    for (const QString& l : t.two) t.twoWide = std::max(t.twoWide, m.Bold(l));
    t.id = m.Bold(t.second);
    for (const QString& l : t.rest) t.restWide = std::max(t.restWide, m.Plain(l));
    looks[i].text = TextRect(c, rects[i], nullptr);
    const QSize room = looks[i].text.size();
    const int high = Largest(t, room, 1, 0, room.height(), m);
    oneLine[i] = Largest(t, room, 1, t.one, high, m);
    longName[i] = t.two.size() == 2 && oneLine[i] < high * kLongName;
    tallest = std::max(tallest, high);
    if (!longName[i]) batch = batch ? std::min(batch, oneLine[i]) : oneLine[i];
  }
  // Only long names: the batch's size is what the cards' height allows.
  if (batch == 0) batch = tallest;
  for (size_t i = 0; i < cards.size(); ++i) {
    const TCardTexts& t = texts[i];
    Look& look = looks[i];
    const QSize room = look.text.size();
    look.name = std::min(batch, oneLine[i]);
    look.nameLines = {t.lead};
    if (longName[i] && t.two.size() == 2) {
      // Two lines before it shrinks, never above the batch's size.
      const int two = Largest(t, room, 2, t.twoWide, batch, m);
      if (two > look.name) {
        look.name = two;
        look.nameLines = t.two;
      }
      // Then three or four, where they give it larger type.
      for (const QStringList& split : t.more) {
        double wide = 0;
        for (const QString& l : split) wide = std::max(wide, m.Bold(l));
        const int size = Largest(t, room, static_cast<int>(split.size()), wide, batch, m);
        if (size > look.name) {
          look.name = size;
          look.nameLines = split;
        }
      }
    }
    const TFields f = FieldsUnder(t, look.name, room.width());
    look.id = f.id;
    look.rest = f.rest;
  }
  // The ids and the other fields of the ordinary cards share a size too.
  int id = 0, rest = 0;
  for (size_t i = 0; i < looks.size(); ++i) {
    if (longName[i]) continue;
    if (looks[i].id) id = id ? std::min(id, looks[i].id) : looks[i].id;
    if (looks[i].rest) rest = rest ? std::min(rest, looks[i].rest) : looks[i].rest;
  }
  for (Look& look : looks) {
    if (id && look.id) look.id = std::min(look.id, id);
    if (rest && look.rest) look.rest = std::min(look.rest, rest);
  }
  if (longNames) *longNames = longName;
  if (batchName) *batchName = batch;
  return looks;
}

void TRevealCards::Check(const TStageCard& card, Look& look) const {
  // Checked once as drawn: type grows almost, not quite, in proportion.
  const QString second = card.name.isEmpty() ? QString() : card.id;
  const QStringList rest = RestLines(card.rest);
  for (int guard = 0; guard < 6 && look.name > 1; ++guard) {
    const QFontMetricsF name(Face(look.name, true));
    double wide = 0, high = name.height() * look.nameLines.size();
    for (const QString& l : look.nameLines) wide = std::max(wide, name.horizontalAdvance(l));
    if (look.id) {
      const QFontMetricsF id(Face(look.id, true));
      wide = std::max(wide, id.horizontalAdvance(second));
      high += id.height();
    }
    if (look.rest) {
      const QFontMetricsF plain(Face(look.rest, false));
      for (const QString& l : rest) wide = std::max(wide, plain.horizontalAdvance(l));
      high += plain.height() * rest.size();
    }
    if (wide <= look.text.width() && high <= look.text.height()) break;
    const double k = std::min(look.text.width() / wide, look.text.height() / high);
    auto shrink = [k](int px) {
      return px ? std::max(1, static_cast<int>(px * std::min(k, 0.98))) : 0;
    };
    look.name = shrink(look.name);
    look.id = shrink(look.id);
    look.rest = shrink(look.rest);
  }
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

TRevealCards::Ahead TRevealCards::Begin(std::vector<TStageCard> cards, QSize size) const {
  Ahead a;
  a.cards = std::move(cards);
  a.size = size;
  a.dpr = devicePixelRatioF();
  a.grand = m_grand;
  return a;
}

bool TRevealCards::Step(Ahead& a) const {
  const int n = static_cast<int>(a.cards.size());
  if (n == 0 || a.size.isEmpty()) return true;
  if (!a.laidOut) {
    // The grand prize's winners stand in as many rows as give their names the largest type.
    a.looks = LayOut(a.cards, RectsIn(n, 1, a.size), &a.batchName, &a.longNames);
    for (int rows = 2; a.grand && rows <= std::min(kMostRows, n); ++rows) {
      int name = 0;
      std::vector<bool> longNames;
      std::vector<Look> looks = LayOut(a.cards, RectsIn(n, rows, a.size), &name, &longNames);
      if (name > a.batchName) {
        a.rows = rows;
        a.looks = std::move(looks);
        a.longNames = std::move(longNames);
        a.batchName = name;
      }
    }
    // Each new size of type costs the system's font matching once: a step of its own each.
    for (const Look& l : a.looks)
      for (const std::pair<int, bool> f :
           {std::pair{l.name, true}, std::pair{l.id, true}, std::pair{l.rest, false}})
        if (f.first > 0 && std::find(a.fonts.begin(), a.fonts.end(), f) == a.fonts.end())
          a.fonts.push_back(f);
    a.laidOut = true;
    return false;
  }
  if (a.warmed < a.fonts.size()) {
    const std::pair<int, bool> f = a.fonts[a.warmed++];
    // Measuring a line makes the face ready for shaping too, not only its metrics.
    (void)QFontMetricsF(Face(f.first, f.second)).horizontalAdvance(QStringLiteral("国A1"));
    return false;
  }
  // A card's check measures its lines at their sizes, glyph by glyph: a step each.
  if (a.checked < a.cards.size()) {
    Check(a.cards[a.checked], a.looks[a.checked]);
    if (!a.longNames[a.checked]) a.batchName = std::min(a.batchName, a.looks[a.checked].name);
    ++a.checked;
    return false;
  }
  if (a.next < 0) {
    a.picture = QPixmap(a.size * a.dpr);
    a.picture.setDevicePixelRatio(a.dpr);
    a.picture.fill(Qt::transparent);
    a.next = 0;
    return false;
  }
  if (a.next < n) {
    QPainter p(&a.picture);
    const size_t i = static_cast<size_t>(a.next);
    PaintCard(p, a.cards[i], RectsIn(n, a.rows, a.size)[i], a.looks[i], false, a.grand);
    ++a.next;
  }
  return a.next >= n;
}

bool TRevealCards::SameCards(const std::vector<TStageCard>& a, const std::vector<TStageCard>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i].id != b[i].id || a[i].name != b[i].name || a[i].rest != b[i].rest ||
        a[i].photo.cacheKey() != b[i].photo.cacheKey())
      return false;
  return true;
}

void TRevealCards::Prepare(std::vector<TStageCard> cards, QSize size) {
  if (cards.size() > static_cast<size_t>(kMaxCards)) cards.resize(kMaxCards);
  m_ahead = Begin(std::move(cards), size);
  m_step->start();
}

bool TRevealCards::Prepared() const {
  return m_ahead && m_ahead->next >= static_cast<int>(m_ahead->cards.size());
}

void TRevealCards::StepAhead() {
  if (m_ahead && !Step(*m_ahead)) m_step->start();
}

void TRevealCards::Render() {
  m_step->stop();
  std::optional<Ahead> ahead = std::move(m_ahead);
  m_ahead.reset();
  if (!ahead || ahead->size != size() || ahead->dpr != devicePixelRatioF() ||
      ahead->grand != m_grand || !SameCards(ahead->cards, m_cards))
    ahead = Begin(m_cards, size());
  m_drawnAhead = !m_cards.empty() && ahead->next >= static_cast<int>(m_cards.size());
  while (!Step(*ahead)) {
  }
  m_rows = ahead->rows;
  m_looks = std::move(ahead->looks);
  m_batchName = ahead->batchName;
  m_plain = std::move(ahead->picture);
  if (m_looks.size() != m_cards.size()) m_looks.assign(m_cards.size(), Look());
  Mark();
}

void TRevealCards::Mark() {
  m_cache = m_plain;
  if (m_chosen < 0 || m_plain.isNull()) return;
  // The chosen card drawn again over the batch in its own fill, with a broad frame inside
  // its edge, clear of its text.
  const QRect r = CardRects()[static_cast<size_t>(m_chosen)];
  QPainter p(&m_cache);
  PaintCard(p, m_cards[static_cast<size_t>(m_chosen)], r, m_looks[static_cast<size_t>(m_chosen)],
            true, m_grand);
  const double width = std::max(4, r.height() / 22);
  const double radius = r.height() / 14.0;
  QPainterPath frame;
  frame.addRoundedRect(QRectF(r).adjusted(width / 2, width / 2, -width / 2, -width / 2), radius,
                       radius);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(kChosenEdge, width));
  p.setBrush(Qt::NoBrush);
  p.drawPath(frame);
}

int TRevealCards::IdPixels() const {
  int most = 0;
  for (const Look& l : m_looks) most = std::max(most, l.id);
  return most;
}

int TRevealCards::RestPixels() const {
  int most = 0;
  for (const Look& l : m_looks) most = std::max(most, l.rest);
  return most;
}

void TRevealCards::PaintCard(QPainter& p, const TStageCard& c, QRect r, const Look& look,
                             bool chosen, bool grand) const {
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  p.setRenderHint(QPainter::SmoothPixmapTransform);
  const int edge = std::max(2, r.height() / 70);
  const double radius = r.height() / 14.0;
  QPainterPath card;
  card.addRoundedRect(QRectF(r).adjusted(edge / 2.0, edge / 2.0, -edge / 2.0, -edge / 2.0), radius,
                      radius);
  p.fillPath(card, chosen ? kChosenFill : grand ? kGrandFill : kCardFill);
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
  for (const QString& l : look.nameLines) lines.push_back({l, Face(look.name, true), kNameColour});
  if (!c.name.isEmpty() && !c.id.isEmpty() && look.id > 0)
    lines.push_back({c.id, Face(look.id, true), kIdColour});
  if (look.rest > 0)
    for (const QString& l : RestLines(c.rest))
      lines.push_back({l, Face(look.rest, false), kRestColour});
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
  // A hidden widget hears of its size late (when shown, or when a parent is grabbed): the
  // cards drawn, or being drawn ahead, for that size stay.
  if (m_ahead && m_ahead->size == size()) return;
  if (m_plain.isNull() || m_plain.size() != size() * devicePixelRatioF()) Render();
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
