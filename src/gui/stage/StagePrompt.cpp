#include "gui/stage/StagePrompt.h"

#include <QFontMetrics>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QStringList>
#include <QToolButton>
#include <algorithm>

#include "gui/stage/DrawScreenBase.h"
#include "gui/ui/Fonts.h"

namespace {

const QColor kMaroon(128, 0, 0);

QToolButton* AnswerButton(QWidget* parent, const char* name, const QString& caption) {
  auto* b = new QToolButton(parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setText(caption);
  b->setCursor(Qt::PointingHandCursor);
  b->setFocusPolicy(Qt::NoFocus);
  return b;
}

}  // namespace

TStagePrompt::TStagePrompt(QWidget* screen) : QWidget(screen) {
  setObjectName(QStringLiteral("StagePrompt"));
  setFocusPolicy(Qt::NoFocus);
  PCard = new QFrame(this);
  PCard->setObjectName(QStringLiteral("PCard"));
  LbText = new QLabel(PCard);
  LbText->setObjectName(QStringLiteral("LbPromptText"));
  LbText->setTextFormat(Qt::PlainText);
  LbText->setWordWrap(true);
  LbText->setAlignment(Qt::AlignCenter);
  BtnYes = AnswerButton(PCard, "BtnYes", QStringLiteral("是(Y)"));
  BtnNo = AnswerButton(PCard, "BtnNo", QStringLiteral("否(N)"));
  BtnOk = AnswerButton(PCard, "BtnOk", QStringLiteral("确定"));
  connect(BtnYes, &QToolButton::clicked, this, [this] { Answered(Answer::Yes); });
  connect(BtnNo, &QToolButton::clicked, this, [this] { Answered(Answer::No); });
  connect(BtnOk, &QToolButton::clicked, this, [this] { Answered(m_preferred); });
  hide();
}

void TStagePrompt::Present(Style style, const QString& text, QRect card, double scale,
                           Answer preferred, Answer escape) {
  m_style = style;
  m_preferred = style == Style::Question ? preferred : Answer::Yes;
  m_escape = style == Style::Question ? escape : m_preferred;
  m_text = text;
  BtnYes->setVisible(style == Style::Question);
  BtnNo->setVisible(style == Style::Question);
  BtnOk->setVisible(style != Style::Question);
  setGeometry(parentWidget()->rect());
  Place(card, scale);
  show();
  raise();
  update();
}

Answer TStagePrompt::Run(Style style, const QString& text, QRect card, double scale,
                         Answer preferred) {
  // A prompt over a prompt (a failure told while a question waits) takes the card for its
  // own time and gives it back afterwards.
  const Style outerStyle = m_style;
  const Answer outerPreferred = m_preferred;
  const Answer outerEscape = m_escape;
  const QString outerText = m_text;
  const QRect outerCard = PCard->geometry();
  QEventLoop* outerLoop = m_loop;

  m_answer = Answer::Closed;
  Present(style, text, card, scale, preferred, Answer::No);

  QEventLoop loop;
  m_loop = &loop;
  QPointer<TStagePrompt> alive(this);
  loop.exec();
  if (!alive) return Answer::Closed;
  const Answer answer = m_answer;
  m_loop = outerLoop;
  if (outerLoop || m_current) {
    m_style = outerStyle;
    m_preferred = outerPreferred;
    m_escape = outerEscape;
    m_text = outerText;
    BtnYes->setVisible(m_style == Style::Question);
    BtnNo->setVisible(m_style == Style::Question);
    BtnOk->setVisible(m_style != Style::Question);
    Place(outerCard, scale);
  } else {
    hide();
  }
  return answer;
}

void TStagePrompt::Open(Style style, const QString& text, QRect card, double scale,
                        Answer preferred, Answer escape, std::function<void(Answer)> then) {
  Request r{style, text, card, scale, preferred, escape, std::move(then)};
  if (IsOpen()) {
    m_waiting.push_back(std::move(r));
    return;
  }
  Present(r.style, r.text, r.card, r.scale, r.preferred, r.escape);
  m_current = std::move(r);
}

void TStagePrompt::Cancel() {
  m_current.reset();
  m_waiting.clear();
  if (!m_loop) {
    hide();
    return;
  }
  m_answer = Answer::Closed;
  m_loop->exit();
}

void TStagePrompt::Answered(Answer a) {
  if (m_loop) {
    m_answer = a;
    m_loop->exit();
    return;
  }
  if (!m_current) return;
  std::function<void(Answer)> then = std::move(m_current->then);
  m_current.reset();
  if (m_waiting.empty()) {
    hide();
  } else {
    Request next = std::move(m_waiting.front());
    m_waiting.pop_front();
    Present(next.style, next.text, next.card, next.scale, next.preferred, next.escape);
    m_current = std::move(next);
  }
  if (then) then(a);
}

bool TStagePrompt::Reply(Answer a) {
  if (!IsOpen()) return false;
  Answered(m_style == Style::Question ? a : m_preferred);
  return true;
}

bool TStagePrompt::Key(const QKeyEvent* e) {
  if (!IsOpen()) return false;
  if (e->isAutoRepeat()) return true;  // a held key answers nothing
  const int key = e->key();
  if (m_style != Style::Question) {
    if (TDrawScreenBase::IsEnterKey(key) || key == Qt::Key_Escape) Answered(m_preferred);
    return true;
  }
  if (TDrawScreenBase::IsEnterKey(key)) {
    Answered(m_preferred);
  } else if (key == Qt::Key_Escape) {
    Answered(m_escape);
  } else if (key == Qt::Key_N) {
    Answered(Answer::No);
  } else if (key == Qt::Key_Y) {
    Answered(Answer::Yes);
  }
  return true;
}

namespace {

bool Latin(QChar c) {
  return c.unicode() < 0x80 && (c.isLetterOrNumber() || c == QLatin1Char('_'));
}

// A line may end between `a` and `b`: at a blank, after a closing bracket, before an opening
// one, or where Latin letters and digits meet Chinese.
bool SoftBreak(QChar a, QChar b) {
  static const QString kClosing = QStringLiteral("])）】」》");
  static const QString kOpening = QStringLiteral("[(（【「《");
  if (a == QLatin1Char(' ') || b == QLatin1Char(' ')) return true;
  if (kClosing.contains(a) || kOpening.contains(b)) return true;
  return Latin(a) != Latin(b) && !a.isPunct() && !b.isPunct();
}

}  // namespace

QStringList TStagePrompt::SoftPieces(const QString& clause, const QFontMetrics& fm, int width) {
  QStringList out;
  QString rest = clause;
  while (fm.horizontalAdvance(rest) > width && rest.size() > 1) {
    // The longest head that fits, ended at a soft place when there is one.
    int fits = 1;
    while (fits < rest.size() && fm.horizontalAdvance(rest.left(fits + 1)) <= width) ++fits;
    int cut = 0;
    for (int i = fits; i > 0 && cut == 0; --i)
      if (i < rest.size() && SoftBreak(rest[i - 1], rest[i])) cut = i;
    // None: a run of Chinese is broken, but its last two characters stay with the clause's
    // mark (缺席，), and a surrogate pair stays whole.
    if (cut == 0) cut = std::max(1, std::min(fits, static_cast<int>(rest.size()) - 3));
    if (rest[cut].isLowSurrogate() && cut > 1) --cut;
    out << rest.left(cut) + QLatin1Char('\n');
    rest = rest.mid(cut);
    while (rest.startsWith(QLatin1Char(' '))) rest.remove(0, 1);
  }
  if (!rest.isEmpty()) out << rest;
  return out;
}

QString TStagePrompt::ClauseLines(const QString& text, const QFontMetrics& fm, int width) {
  if (fm.horizontalAdvance(text) <= width) return text;
  // A line ends after a clause's mark, so that a word such as 是否 never parts; only a
  // clause longer than the line is left to wrap.
  static const QString kMarks = QStringLiteral("，。；：？！,;:?!");
  QStringList clauses;
  QString clause;
  for (const QChar c : text) {
    clause += c;
    if (kMarks.contains(c) || c == QLatin1Char('\n')) {
      clauses << clause;
      clause.clear();
    }
  }
  if (!clause.isEmpty()) clauses << clause;
  // A clause longer than a line is broken here, at a place where no word parts: the label's
  // own wrapping would break anywhere, even inside 缺席.
  QStringList pieces;
  for (const QString& c : clauses) pieces << SoftPieces(c, fm, width);
  clauses = pieces;
  QString out, line;
  for (const QString& c : clauses) {
    if (!line.isEmpty() && !line.endsWith(QLatin1Char('\n')) &&
        fm.horizontalAdvance(line + c) > width) {
      out += line + QLatin1Char('\n');
      line.clear();
    }
    line += c;
    if (line.endsWith(QLatin1Char('\n'))) {
      out += line;
      line.clear();
    }
  }
  return out + line;
}

void TStagePrompt::Place(QRect card, double scale) {
  PCard->setGeometry(card);
  const bool banner = m_style == Style::Banner;
  PCard->setStyleSheet(
      banner ? QStringLiteral("QFrame#PCard { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, "
                              "stop:0 #fff6dc, stop:1 #fbe3a6); border: %1px solid #e8b240; "
                              "border-radius: %2px; }")
                   .arg(std::max(2, qRound(4 * scale)))
                   .arg(qRound(14 * scale))
             : QStringLiteral("QFrame#PCard { background: rgb(255, 248, 232); border: %1px solid "
                              "#e8b240; border-radius: %2px; }")
                   .arg(std::max(2, qRound(4 * scale)))
                   .arg(qRound(14 * scale)));
  const int pad = qRound(24 * scale);
  const QSize button(qRound(150 * scale), qRound(54 * scale));
  const int buttonsTop = card.height() - pad - button.height();
  QRect textRect(pad, pad, card.width() - 2 * pad, buttonsTop - 2 * pad / 3 - pad);
  // As large as the card holds: from the full size down until the text, broken after its
  // clauses, fits.
  QFont f = UiFont(StageFamily(), 12, true);
  QString lines = m_text;
  for (int px = qRound((banner ? 56 : 42) * scale); px >= 10; px -= std::max(1, px / 20)) {
    f.setPixelSize(px);
    const QFontMetrics fm(f);
    lines = ClauseLines(m_text, fm, textRect.width());
    const QRect need = fm.boundingRect(QRect(0, 0, textRect.width(), 100000),
                                       Qt::AlignCenter | Qt::TextWordWrap, lines);
    if (need.height() <= textRect.height() && need.width() <= textRect.width()) break;
  }
  LbText->setText(lines);
  LbText->setFont(f);
  QPalette pal = LbText->palette();
  pal.setColor(QPalette::WindowText, kMaroon);
  LbText->setPalette(pal);
  LbText->setGeometry(textRect);
  StyleButtons(scale);
  if (m_style == Style::Question) {
    const int gap = qRound(40 * scale);
    const int left = (card.width() - 2 * button.width() - gap) / 2;
    BtnYes->setGeometry(QRect(QPoint(left, buttonsTop), button));
    BtnNo->setGeometry(QRect(QPoint(left + button.width() + gap, buttonsTop), button));
  } else {
    BtnOk->setGeometry(QRect(QPoint((card.width() - button.width()) / 2, buttonsTop), button));
  }
}

void TStagePrompt::StyleButtons(double scale) {
  const int px = std::max(10, qRound(30 * scale));
  const int radius = qRound(8 * scale);
  const int border = std::max(1, qRound(2 * scale));
  // The default answer is the filled one: what Enter gives.
  const QString filled =
      QStringLiteral(
          "QToolButton { color: white; background: rgb(176, 24, 32); border: %1px "
          "solid rgb(232, 178, 64); border-radius: %2px; }")
          .arg(border)
          .arg(radius);
  const QString plain = QStringLiteral(
                            "QToolButton { color: rgb(128, 0, 0); background: rgb(255, 252, 244); "
                            "border: %1px solid rgb(200, 150, 60); border-radius: %2px; }")
                            .arg(border)
                            .arg(radius);
  for (QToolButton* b : {BtnYes, BtnNo, BtnOk}) {
    b->setFont(UiFont(StageFamily(), px, true));
    const bool isDefault = b == BtnOk || (b == BtnYes && m_preferred == Answer::Yes) ||
                           (b == BtnNo && m_preferred == Answer::No);
    b->setStyleSheet(isDefault ? filled : plain);
  }
}

void TStagePrompt::paintEvent(QPaintEvent*) {
  if (m_style == Style::Banner) return;
  QPainter p(this);
  p.fillRect(rect(), QColor(20, 0, 0, 120));
}

void TStagePrompt::mousePressEvent(QMouseEvent* e) { e->accept(); }
void TStagePrompt::mouseReleaseEvent(QMouseEvent* e) { e->accept(); }
