#include "draw/GetLuckMainFrm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontMetricsF>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QToolButton>

#include "draw/DrawScreenArt.h"
#include "draw/WinnerSummary.h"
#include "text/Messages.h"
#include "ui/Dialogs.h"
#include "ui/Fonts.h"
#include "ui/Qt.h"
#include "ui/ScrollText.h"

namespace {

// The controls stand on a 1016-wide grid; the prize text at 722 needs room below it, so the
// grid is fitted with its full height of content.
const QSize kDesign(1016, 756);
const QColor kMaroon(128, 0, 0);
constexpr int kListTop = 1;       // MUser2_1's top in its panel
constexpr int kListLine = 37;     // winners list line height
constexpr int kRevealLine = 94;   // reveal panel line height, the largest it takes
constexpr int kRevealMin = 30;    // below this a batch crawls instead of shrinking further
constexpr int kRevealCrawl = 46;  // line height of a crawling batch
constexpr int kRollPixels = 93;   // 70 points
constexpr int kStatusPixels = 30;
constexpr int kLandingMs = 900;
constexpr int kSummaryMs = 4000;
// Areas of the grid. The roll and the reveal stand on the background's light band (286 to
// 392), where the summary takes over at the end; the winners list and the prize picture
// each have their own place below.
const QRect kRevealRect(36, 288, 952, 102);
const QRect kSummaryRect(36, 288, 856, 425);
const QRect kListRect(77, 506, 428, 207);
const QRect kPictureRect(770, 506, 210, 207);
constexpr int kStageRight = 990;  // lanterns and edge stay clear to the right of this
constexpr int kLanternLeft = 840;

QLabel* TextLabel(QWidget* parent, const char* name, const QString& family) {
  auto* l = new QLabel(parent);
  l->setObjectName(QString::fromLatin1(name));
  l->setAttribute(Qt::WA_TranslucentBackground);
  l->setTextFormat(Qt::PlainText);
  l->setFont(UiFont(family, 24, true));
  return l;
}

QToolButton* FlatButton(QWidget* parent, const char* name, const QString& caption) {
  auto* b = new QToolButton(parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setText(caption);
  b->setAutoRaise(true);
  b->setCursor(Qt::PointingHandCursor);
  b->setFocusPolicy(Qt::NoFocus);
  b->setFont(UiFont(QStringLiteral("隶书"), 24, true));
  // The buttons stand edge to edge in the layout; the margin keeps their frames apart.
  b->setStyleSheet(
      QStringLiteral("QToolButton { color: white; background: rgba(120,0,0,110); border: 1px solid "
                     "rgba(255,215,120,170); border-radius: 4px; margin: 0px 3px; }"
                     "QToolButton:hover { background: rgba(200,30,30,170); }"
                     "QToolButton:disabled { color: rgba(255,255,255,110); border-color: "
                     "rgba(255,255,255,60); }"));
  return b;
}

// A warm card with a gold edge: it reads on any picture and does not look like a blank box.
// It is opaque, so that its text can scroll by copying.
const QColor kCard(255, 248, 232);
constexpr int kCardInset = 4;  // screen pixels kept clear for the rounded edge

QFrame* StagePanel(QWidget* parent, const char* name) {
  auto* p = new QFrame(parent);
  p->setObjectName(QString::fromLatin1(name));
  p->setFrameStyle(QFrame::NoFrame);
  p->setStyleSheet(QStringLiteral("QFrame#%1 { background: rgb(255, 248, 232); border: 2px "
                                  "solid rgb(232, 178, 64); border-radius: 10px; }")
                       .arg(QString::fromLatin1(name)));
  return p;
}

TScrollText* PanelText(QFrame* panel, const char* name, int lineHeight, int left) {
  auto* t = new TScrollText(panel);
  t->setObjectName(QString::fromLatin1(name));
  t->SetFontFamily(QStringLiteral("宋体"), true);
  t->SetTextColor(kMaroon);
  t->SetLineHeight(lineHeight);
  t->SetLeft(left);
  t->SetShrinkToWidth(true);
  t->SetOpaque(kCard);
  return t;
}

// While a message box of the screen is open, it stands below the band of the reveal.
class TBelowReveal : public QObject {
 public:
  TBelowReveal(QWidget* screen, const TDesignScale& design) : m_screen(screen), m_design(design) {
    qApp->installEventFilter(this);
  }
  ~TBelowReveal() override { qApp->removeEventFilter(this); }

 protected:
  bool eventFilter(QObject* o, QEvent* e) override {
    auto* w = qobject_cast<QWidget*>(o);
    if (e->type() == QEvent::Show && w && w->isWindow() && w != m_screen &&
        qobject_cast<QDialog*>(w)) {
      const QRect stage = m_design.StageRect();
      const int below = stage.y() + m_design.Px(kRevealRect.bottom() + 110);
      QPoint at(stage.center().x() - w->width() / 2,
                std::min(below, m_screen->height() - w->height() - m_design.Px(8)));
      w->move(m_screen->mapToGlobal(at));
    }
    return false;
  }

 private:
  QWidget* m_screen;
  const TDesignScale& m_design;
};

QStringList ToQ(const std::vector<std::string>& lines, size_t from = 0) {
  QStringList out;
  out.reserve(static_cast<qsizetype>(lines.size() - std::min(from, lines.size())));
  for (size_t i = from; i < lines.size(); ++i) out << Q(lines[i]);
  return out;
}

}  // namespace

TGetLuckMainForm::TGetLuckMainForm(TDrawSession& session, QWidget* parent,
                                   std::optional<uint32_t> seed)
    : TDrawScreenBase(parent, "GetLuckMainForm", kDesign, QStringLiteral("draw_background"), seed),
      m_engine(session, Rng(), seed) {
  LbMain = TextLabel(this, "LbMain", QStringLiteral("隶书"));
  LbShowList = TextLabel(this, "LbShowList", QStringLiteral("隶书"));
  HintList = TextLabel(this, "HintList", QStringLiteral("隶书"));
  LGet = TextLabel(this, "LGet", QStringLiteral("隶书"));
  m_design.Add(LbMain, QRect(40, 80, 0, 0), 48);
  m_design.Add(LbShowList, QRect(40, 234, 0, 0), kStatusPixels);
  m_design.Add(HintList, QRect(56, 418, 0, 0), 24);
  m_design.Add(LGet, QRect(56, 722, 0, 0), 24);
  // Each text shrinks into its own area: the title stops short of the lanterns, the hint of
  // the buttons.
  m_design.SetFitBox(LbMain, QSize(kLanternLeft - 40, 150));
  m_design.SetFitBox(LbShowList, QSize(kStageRight - 40, 60));
  m_design.SetFitBox(HintList, QSize(744 - 8 - 56, 80));
  m_design.SetFitBox(LGet, QSize(kStageRight - 56, kDesign.height() - 722));
  for (QLabel* l : {LbMain, LbShowList, HintList, LGet}) AddTextShadow(l);

  SBegin = FlatButton(this, "SBegin", QStringLiteral("开始"));
  SContinue = FlatButton(this, "SContinue", QStringLiteral("继续"));
  SOut = FlatButton(this, "SOut", QStringLiteral("结束"));
  m_design.Add(SBegin, QRect(744, 413, 80, 28), 24);
  m_design.Add(SContinue, QRect(824, 413, 80, 28), 24);
  m_design.Add(SOut, QRect(904, 413, 80, 28), 24);
  SContinue->hide();

  // The band of the background is the reveal's card; the panel itself stays transparent.
  PLuckNow = new QFrame(this);
  PLuckNow->setObjectName(QStringLiteral("PLuckNow"));
  PLuckNow->setFrameStyle(QFrame::NoFrame);
  m_design.Add(PLuckNow, kRevealRect);
  PLuckNow->hide();
  MLuckNow = PanelText(PLuckNow, "MLuckNow", kRevealLine, 8);
  MLuckNow->SetCentered(true);
  MLuckNow->SetOpaque(QColor());  // over the band, which is no single colour
  MLuckNow->SetTop(3);

  PUser2 = StagePanel(this, "PUser2");
  m_design.Add(PUser2, kListRect);
  PUser2->hide();
  MUser2_1 = PanelText(PUser2, "MUser2_1", kListLine, 8);
  MUser2_1->SetTop(kListTop);
  MUser2_1->SetLines({QString()});
  MUser2_1->hide();
  MUser2_1->onMouseUp = [this] { EKeyCtrl->setFocus(); };
  MLuckNow->onMouseUp = [this] { EKeyCtrl->setFocus(); };

  PSummary = StagePanel(this, "PSummary");
  m_design.Add(PSummary, kSummaryRect);
  PSummary->hide();
  MSummary = PanelText(PSummary, "MSummary", kListLine, 12);

  // On the empty band of the Ready screen, where the roll will run.
  LbProof = TextLabel(this, "LbProof", QStringLiteral("黑体"));
  LbAudience = TextLabel(this, "LbAudience", QStringLiteral("黑体"));
  for (QLabel* l : {LbProof, LbAudience}) {
    l->setAlignment(Qt::AlignCenter);
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, kMaroon);
    l->setPalette(pal);
    l->hide();
  }
  m_design.Add(LbProof, QRect(kRevealRect.x(), kRevealRect.y() + 8, kRevealRect.width(), 40), 26);
  m_design.Add(LbAudience, QRect(kRevealRect.x(), kRevealRect.y() + 54, kRevealRect.width(), 40),
               26);
  m_design.SetFitBox(LbProof, QSize(kRevealRect.width() - 16, 40));
  m_design.SetFitBox(LbAudience, QSize(kRevealRect.width() - 16, 40));

  IMGet = new QLabel(this);
  IMGet->setObjectName(QStringLiteral("IMGet"));
  IMGet->setAlignment(Qt::AlignCenter);
  IMGet->setAttribute(Qt::WA_TranslucentBackground);
  m_design.Add(IMGet, kPictureRect);
  IMGet->hide();

  TMList = new QTimer(this);
  TMList->setInterval(30);
  TMListNow = new QTimer(this);
  TMListNow->setInterval(80);
  TMRoll = new QTimer(this);
  TMRoll->setInterval(70);
  TMLanding = new QTimer(this);
  TMLanding->setSingleShot(true);
  TMLanding->setInterval(kLandingMs);
  TMSummary = new QTimer(this);
  TMSummary->setSingleShot(true);
  TMSummary->setInterval(kSummaryMs);
  connect(TMLanding, &QTimer::timeout, this, &TGetLuckMainForm::ShowReveal);
  connect(TMSummary, &QTimer::timeout, this, &TGetLuckMainForm::ShowSummary);
  connect(TMList, &QTimer::timeout, this, &TGetLuckMainForm::TMListTimer);
  connect(TMListNow, &QTimer::timeout, this, &TGetLuckMainForm::TMListNowTimer);
  connect(TMRoll, &QTimer::timeout, this, &TGetLuckMainForm::RollTick);
  connect(SBegin, &QToolButton::clicked, this, &TGetLuckMainForm::SBeginClick);
  connect(SContinue, &QToolButton::clicked, this, &TGetLuckMainForm::SContinueClick);
  connect(SOut, &QToolButton::clicked, this, &TGetLuckMainForm::SOutClick);

  // FormCreate (the generator was seeded by the base)
  LGet->clear();
  TMList->start();
}

TGetLuckMainForm::~TGetLuckMainForm() { FormClose(); }

int TGetLuckMainForm::SetUpDraw(int32_t taskId) {
  SBegin->hide();
  TDataDraw::Failure failure;
  if (!m_engine.SetUp(taskId, failure)) {
    ShowMessageBox(failure.kind, failure.text);
    return 0;
  }
  bool resumed = false;
  TDataDraw::BatchEnd resumedEnd;
  if (!SettleEarlierDraw(resumed, resumedEnd)) return 0;
  const TLuckTask& task = m_engine.Task();
  SetTextColour(task.FontColor);

  const bool numeric = m_engine.IsNumeric();
  const int count = m_engine.RollLabelCount();
  // One cell per digit, as wide as the face's digits, the row centred on the band; a long
  // id makes its digits smaller rather than run off the screen.
  const QFontMetricsF digits(UiFont(QStringLiteral("隶书"), 100, true));
  double step = digits.horizontalAdvance(QLatin1Char('0')) * kRollPixels / 100.0 + 4;
  int pixels = kRollPixels;
  const int room = kRevealRect.width() - 16;
  if (count > 0 && step * count > room) {
    pixels = static_cast<int>(kRollPixels * room / (step * count));
    step = double(room) / count;
  }
  const int cell = static_cast<int>(std::ceil(step));
  const int left = kRevealRect.x() + (kRevealRect.width() - cell * count) / 2;
  for (int j = 0; j < count; ++j) {
    QLabel* l =
        TextLabel(this, "RollLabel", numeric ? QStringLiteral("隶书") : QStringLiteral("宋体"));
    l->setAlignment(Qt::AlignCenter);
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, kMaroon);
    l->setPalette(pal);
    if (numeric) {
      m_design.Add(l, QRect(left + cell * j, kRevealRect.y(), cell, kRevealRect.height()), pixels);
    } else {
      m_design.Add(l, kRevealRect, kRollPixels);
      m_design.SetFitBox(l, QSize(kRevealRect.width() - 16, kRevealRect.height() + 30));
    }
    l->hide();
    RollLabels.push_back(l);
  }

  if (!LoadTaskPicture(task.MainImageName)) return 0;

  m_listBaseTop = MUser2_1->Top();
  SBegin->show();
  PUser2->hide();  // shown with its first winner
  for (QLabel* l : {LbMain, LbShowList, HintList, LGet}) {
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, m_textColor);
    l->setPalette(pal);
  }
  SetShowList(Q(m_engine.ReadyText()), m_textColor);
  HintList->setText(Q(task.RemainText));
  m_design.SetFontPixels(LbMain, qMax(1, task.FontSize) * 4 / 3);
  SetTitleText(m_design, LbMain, Q(task.MainTitle));
  m_design.Fit(HintList);
  m_design.Fit(LbShowList);
  ShowPrize(0);
  if (resumed) {
    ShowResumed(resumedEnd);
  } else {
    ShowProof(true);
  }
  return 1;
}

bool TGetLuckMainForm::SettleEarlierDraw(bool& resumed, TDataDraw::BatchEnd& end) {
  resumed = false;
  std::string error;
  switch (m_engine.PendingDraw()) {
    case TDataDraw::Pending::Resumable: {
      const Answer a = AskYesNo(Q(m_engine.ResumeQuestion()));
      if (a == Answer::Closed) return false;  // nothing decided: nothing moves
      if (a == Answer::Yes) {
        resumed = m_engine.Resume(end, error);
        if (!resumed) ShowMessageBox(MessageKind::Attention, error);
      }
      break;
    }
    case TDataDraw::Pending::Complete:
      // Every batch was drawn: only the winner files were missing. Nothing to ask.
      resumed = m_engine.Resume(end, error);
      if (!resumed) ShowMessageBox(MessageKind::Attention, error);
      break;
    case TDataDraw::Pending::Mismatch:
      ShowMessageBox(MessageKind::Attention, TDataDraw::MismatchText());
      break;
    case TDataDraw::Pending::Damaged:
      ShowMessageBox(MessageKind::Attention, TDataDraw::DamagedText());
      break;
    case TDataDraw::Pending::None:
      break;
  }
  if (resumed) return true;
  if (!m_engine.SetAsidePending(error)) {
    ShowMessageBox(MessageKind::Error, error);
    return false;
  }
  // No is the default: a habitual Enter must not start over a task that was drawn.
  if (m_engine.HasResults() && AskYesNo(Q(TDataDraw::ResultsQuestion()), Answer::No) != Answer::Yes)
    return false;
  // The commitment is on disk before it is on the screen. Should that fail, the first
  // batch writes it together with its own record.
  if (!m_engine.StartJournal(error)) ShowMessageBox(MessageKind::Error, error);
  return true;
}

void TGetLuckMainForm::ShowProof(bool shown) {
  LbProof->setVisible(shown);
  LbAudience->setVisible(shown);
  if (!shown) return;
  LbProof->setText(Q(m_engine.ProofText()));
  m_design.Fit(LbProof);
  ShowAudienceNumber();
}

void TGetLuckMainForm::ShowAudienceNumber() {
  const std::string& n = m_engine.AudienceNumber();
  LbAudience->setText(n.empty()
                          ? QStringLiteral("现场号码(可选): 输入数字后按回车开始")
                          : QStringLiteral("现场号码: ") + Q(n) + QStringLiteral("    按回车开始"));
  m_design.Fit(LbAudience);
}

bool TGetLuckMainForm::OtherKeyPressed(const QKeyEvent* e) {
  if (!m_engine.AudienceOpen()) return false;
  std::string n = m_engine.AudienceNumber();
  if (e->key() >= Qt::Key_0 && e->key() <= Qt::Key_9) {
    n += static_cast<char>('0' + (e->key() - Qt::Key_0));
  } else if (e->key() == Qt::Key_Backspace && !n.empty()) {
    n.pop_back();
  } else {
    return false;
  }
  if (!m_engine.SetAudienceNumber(n)) return false;  // too long: the key does nothing
  ShowAudienceNumber();
  return true;
}

void TGetLuckMainForm::ShowResumed(const TDataDraw::BatchEnd& end) {
  SyncWinnerList();
  SBegin->hide();
  SContinue->setVisible(!m_engine.Finished());
  SetShowList(Q(end.progressText), m_textColor);
  const int last = static_cast<int>(m_engine.Items().size()) - 1;
  ShowPrize(std::min(m_engine.CurItemIndex(), last));
  MUser2_1->show();
  if (m_engine.Task().ShowLuck != 1 && m_listShown > 1) PUser2->show();
  // The last batch as it was revealed.
  MLuckNow->SetLines(ToQ(m_engine.LastReveal()));
  LayoutReveal();
  if (end.finished) {
    ShowSaveResult(end);
    m_summaryDue = true;
  }
  ShowReveal();
}

void TGetLuckMainForm::ShowSaveResult(const TDataDraw::BatchEnd& end) {
  const TBelowReveal place(this, m_design);
  if (!end.saved) {
    ShowMessageBox(MessageKind::Error, end.saveError);
    return;
  }
  ShowMessageBox(MessageKind::Information, "所有奖项已经全部抽取完毕");
}

void TGetLuckMainForm::ShowJournalError() {
  const std::string error = m_engine.TakeJournalError();
  if (!error.empty()) ShowMessageBox(MessageKind::Error, error);
}

void TGetLuckMainForm::SetShowList(const QString& text, const QColor& colour) {
  QPalette pal = LbShowList->palette();
  pal.setColor(QPalette::WindowText, colour);
  LbShowList->setPalette(pal);
  LbShowList->setText(text);
  m_design.Fit(LbShowList);
}

void TGetLuckMainForm::ShowPrize(int itemIndex) {
  LGet->setText(Q(m_engine.PrizeText(itemIndex)));
  m_design.Fit(LGet);
  // The prize picture of the item, when its file loads.
  m_prizePicture = QPixmap();
  if (itemIndex >= 0 && itemIndex < static_cast<int>(m_engine.Items().size())) {
    const std::string& path = m_engine.Items()[static_cast<size_t>(itemIndex)].AwardImageName;
    QImage picture;
    if (!path.empty() && picture.load(Q(path))) m_prizePicture = QPixmap::fromImage(picture);
  }
  IMGet->setVisible(!m_prizePicture.isNull());
  SyncWinnerList();
  LayoutPanels();
}

void TGetLuckMainForm::SBeginClick() { StartBatch(); }
void TGetLuckMainForm::SContinueClick() { StartBatch(); }

void TGetLuckMainForm::StartBatch() {
  if (m_closed || !m_engine.BeginBatch()) return;
  EKeyCtrl->setFocus();
  TMLanding->stop();
  TMList->stop();
  SetShowList(QString(), m_textColor);
  SBegin->hide();
  SContinue->hide();
  PLuckNow->hide();
  ShowProof(false);
  TMListNow->stop();
  // Selecting: the winners are fixed before anything rolls.
  SetShowList(Q(TDataDraw::SelectingText()), m_textColor);
  MUser2_1->hide();
  PUser2->hide();  // no empty card while the roll runs
  SOut->setEnabled(false);
  QTimer::singleShot(0, this, &TGetLuckMainForm::SelectWinners);
}

void TGetLuckMainForm::SelectWinners() {
  if (m_closed) return;
  const TDataDraw::Batch batch = m_engine.SelectBatchWinners();
  m_exhaustedText = batch.exhaustedText;
  SyncWinnerList();
  if (!m_engine.BatchIds().empty()) ShowRollTexts(m_engine.RollTexts(m_engine.BatchIds().back()));
  if (batch.picks.empty()) {
    // Nobody could be drawn: nothing to roll for.
    StopRoll();
    return;
  }
  SetShowList(Q(TDataDraw::RollingText()), m_textColor);
  TMRoll->start();
  emit rollingStarted();
}

void TGetLuckMainForm::RollTick() {
  if (m_engine.state() != TDataDraw::State::Rolling) return;
  ShowRollTexts(m_engine.RollStep());
}

void TGetLuckMainForm::EKeyCtrlKeyPress() {
  if (m_engine.Busy()) return;
  if (m_engine.Stopped()) {
    StartBatch();
  } else {
    StopRoll();
  }
}

void TGetLuckMainForm::StopRoll() {
  if (m_engine.state() != TDataDraw::State::Rolling) return;
  TMRoll->stop();
  // The roll lands on the batch's first winner, masked as it rolled; no number is drawn.
  const bool landing = !m_engine.BatchIds().empty();
  if (landing) ShowRollTexts(m_engine.RollTexts(m_engine.BatchIds().front()));
  // RevealBatch: the batch goes to the journal on disk, then its ids show, unmasked.
  const std::vector<std::string> lines = m_engine.RevealBatch();
  MLuckNow->SetLines(ToQ(lines));
  LayoutReveal();
  TMListNow->stop();
  MUser2_1->show();
  if (m_engine.Task().ShowLuck != 1 && m_listShown > 1) PUser2->show();
  SOut->setEnabled(true);
  if (landing) {
    TMLanding->start();
  } else {
    ShowReveal();
  }
  FinishBatch();
}

void TGetLuckMainForm::ShowReveal() {
  TMLanding->stop();
  if (!m_engine.Stopped()) return;
  HideRollLabels();
  if (MLuckNow->LineCount() > 0 && !PSummary->isVisible()) {
    PLuckNow->show();
    if (m_revealCrawls) {
      MLuckNow->SetTop(m_listBaseTop + 10);
      TMListNow->start();
    }
  }
  if (m_summaryDue) TMSummary->start();
}

QRect TGetLuckMainForm::EnterArea() const {
  return QRect(kRevealRect.x(), kRevealRect.y() - 10, kRevealRect.width(),
               kRevealRect.height() + 10);
}

void TGetLuckMainForm::LayoutReveal() {
  // Every line at once, as large as the panel allows: in up to six columns, from the full
  // size down to kRevealMin. Only a batch that still does not fit crawls.
  const int n = MLuckNow->LineCount();
  const int inner = kRevealRect.height() - 8;
  const int width = kRevealRect.width() - 16;
  int line = 0, columns = 1;
  for (int l = kRevealLine; l >= kRevealMin && line == 0; --l) {
    for (int c = 1; c <= 6; ++c) {
      const int rows = (n + c - 1) / c;
      if (rows * l <= inner && MLuckNow->WidestLine(l) + 0.3 * l <= double(width) / c) {
        line = l;
        columns = c;
        break;
      }
    }
  }
  m_revealCrawls = line == 0;
  if (m_revealCrawls) {
    line = kRevealCrawl;
    columns = std::max(
        1, std::min(6, static_cast<int>(width / (MLuckNow->WidestLine(line) + 0.3 * line))));
  }
  MLuckNow->SetLineHeight(line);
  MLuckNow->SetColumns(columns);
  MLuckNow->SetTop(m_revealCrawls ? m_listBaseTop + 10
                                  : (kRevealRect.height() - MLuckNow->Height()) / 2);
}

void TGetLuckMainForm::ShowSummary() {
  TMSummary->stop();
  TMListNow->stop();
  PLuckNow->hide();
  HideRollLabels();
  HintList->hide();
  IMGet->hide();
  PUser2->hide();  // the summary holds every winner
  PSummary->show();
  PSummary->raise();
  LayoutSummary();
  SyncWinnerList();
}

void TGetLuckMainForm::LayoutSummary() {
  const TLuckTask& task = m_engine.Task();
  std::vector<TItemSummary> items =
      WinnerSummary(m_engine.Items(), m_engine.Winners(), task.HideBegin, task.HideEnd);
  // A task that keeps its winners list hidden shows only how many each item has.
  if (task.ShowLuck == 1)
    for (TItemSummary& s : items) s.ids.clear();
  QFont f = UiFont(QStringLiteral("宋体"), 100, true);
  const QFontMetricsF fm(f);
  double idWidth100 = 1;
  for (const TItemSummary& s : items) {
    for (const std::string& id : s.ids)
      idWidth100 = std::max(idWidth100, fm.horizontalAdvance(Q(id)));
  }
  const int inner = kSummaryRect.height() - 10;
  const double width = kSummaryRect.width() - 24 - 24;  // margins and the ids' indent
  // The largest line height at which every item with all its winners fits the panel.
  int line = 20, perLine = 1;
  for (int l = 56; l >= 20; --l) {
    const double id = idWidth100 * l * 0.92 / 100 + l;  // with a gap of one line height
    const int k = std::max(1, static_cast<int>(width / id));
    int rows = 0;
    for (const TItemSummary& s : items) rows += 1 + (static_cast<int>(s.ids.size()) + k - 1) / k;
    line = l;
    perLine = k;
    if (rows * l <= inner) break;
  }
  QStringList lines;
  for (const TItemSummary& s : items) {
    lines << Q(s.caption);
    for (size_t i = 0; i < s.ids.size(); i += static_cast<size_t>(perLine)) {
      QStringList row;
      for (size_t j = i; j < std::min(s.ids.size(), i + static_cast<size_t>(perLine)); ++j)
        row << Q(s.ids[j]);
      lines << QStringLiteral("    ") + row.join(QStringLiteral("  "));
    }
  }
  MSummary->SetLines(lines);
  MSummary->SetLineHeight(line);
  MSummary->SetTop(MSummary->Height() <= inner ? 4 : m_listBaseTop + 10);
  if (MSummary->Height() > inner) TMListNow->start();
}

void TGetLuckMainForm::FinishBatch() {
  ShowJournalError();
  if (!m_exhaustedText.empty()) {
    const TBelowReveal place(this, m_design);
    ShowMessageBox(MessageKind::Attention, m_exhaustedText);
    m_exhaustedText.clear();
  }
  const TDataDraw::BatchEnd end = m_engine.EndBatch();
  if (end.finished) {
    SBegin->hide();
    SContinue->hide();
    SetShowList(Q(end.progressText), m_textColor);
    ShowSaveResult(end);
    // Once the message is answered and the last batch has been seen, the summary follows.
    m_summaryDue = true;
    if (!m_closed && !TMLanding->isActive()) TMSummary->start();
    if (!end.saved) return;  // the winners list stays still
  } else {
    SBegin->hide();
    SContinue->show();
    SetShowList(Q(end.progressText), m_textColor);
    if (end.prizeChanged) ShowPrize(m_engine.CurItemIndex());
  }
  if (m_engine.ShowsWinnersList()) TMList->start();
}

void TGetLuckMainForm::ShowRollTexts(const std::vector<std::string>& texts) {
  for (size_t j = 0; j < RollLabels.size(); ++j) {
    QLabel* l = RollLabels[j];
    const QString t = j < texts.size() ? Q(texts[j]) : QString();
    // Only what changed is laid out and painted again: a tick stays cheap.
    if (l->text() != t) {
      l->setText(t);
      m_design.Fit(l);
    }
    if (!l->isVisible()) {
      l->show();
      l->raise();
    }
  }
}

void TGetLuckMainForm::HideRollLabels() {
  for (QLabel* l : RollLabels) l->hide();
}

void TGetLuckMainForm::SyncWinnerList() {
  const std::vector<std::string>& lines = m_engine.WinnerList().Lines();
  if (static_cast<size_t>(m_listShown) < lines.size()) {
    MUser2_1->AppendLines(ToQ(lines, static_cast<size_t>(m_listShown)));
    m_listShown = static_cast<int>(lines.size());
  }
  // The list widens for long lines up to the prize picture or the edge of the screen; what
  // is wider still is drawn smaller.
  const int width = m_engine.WinnerList().Width();
  const int right = IMGet->isVisibleTo(this) ? kPictureRect.x() - 10 : kStageRight;
  QRect r = m_design.DesignRect(PUser2);
  const int wanted = std::clamp(width + 16, kListRect.width(), right - r.x());
  if (r.width() != wanted) {
    r.setWidth(wanted);
    m_design.SetDesignRect(PUser2, r);
    LayoutPanels();
  }
}

void TGetLuckMainForm::TMListTimer() {
  if (!TMLanding->isActive()) HideRollLabels();
  MUser2_1->show();
  if (MUser2_1->Top() < m_listBaseTop - MUser2_1->Height()) {
    MUser2_1->SetTop(m_listBaseTop);
  } else {
    MUser2_1->SetTop(MUser2_1->Top() - 1);
  }
}

void TGetLuckMainForm::TMListNowTimer() {
  if (PSummary->isVisible()) {
    // A summary taller than its panel crawls the same way.
    MSummary->SetTop(MSummary->Top() < m_listBaseTop - MSummary->Height() ? m_listBaseTop
                                                                          : MSummary->Top() - 1);
    return;
  }
  MLuckNow->show();
  if (MLuckNow->Top() >= m_listBaseTop - MLuckNow->Height()) {
    MLuckNow->SetTop(MLuckNow->Top() - 1);
    return;
  }
  if (m_engine.CurItemIndex() >= static_cast<int>(m_engine.Items().size())) {
    PLuckNow->hide();
    TMListNow->stop();
  }
  MLuckNow->SetTop(m_listBaseTop);
}

void TGetLuckMainForm::SOutClick() {
  if (!SOut->isEnabled()) return;
  Leave();
}

bool TGetLuckMainForm::Leave() {
  if (!m_engine.MayLeave()) return false;
  // No is the default and closing the question is No: a habitual Enter keeps the draw.
  if (m_engine.LeaveNeedsQuestion() &&
      AskYesNo(QStringLiteral(
                   "奖项未全部抽取完毕，退出抽奖界面后，本次抽取的结果将不会保存，是否要退出？"),
               Answer::No) != Answer::Yes)
    return false;
  done(QDialog::Accepted);
  return true;
}

void TGetLuckMainForm::closeEvent(QCloseEvent* e) {
  // A close from the window manager is the 结束 button; while a batch runs it is refused.
  e->ignore();
  if (m_closed) {
    e->accept();
    return;
  }
  Leave();
}

void TGetLuckMainForm::reject() { Leave(); }

void TGetLuckMainForm::done(int r) {
  FormClose();
  QDialog::done(r);
}

void TGetLuckMainForm::FormClose() {
  if (m_closed) return;
  m_closed = true;
  TMList->stop();
  TMListNow->stop();
  TMRoll->stop();
  TMLanding->stop();
  TMSummary->stop();
  StopMusic();
  if (!m_engine.IsSetUp()) return;
  m_engine.Close();
}

void TGetLuckMainForm::showEvent(QShowEvent* e) {
  TDrawScreenBase::showEvent(e);
  if (m_engine.IsSetUp()) StartMusic(m_engine.Task().MusicFilePath);
}

void TGetLuckMainForm::LayoutPanels() {
  for (TScrollText* t : {MLuckNow, MUser2_1, MSummary}) {
    const int inset = t == MLuckNow ? 0 : kCardInset;
    t->setGeometry(t->parentWidget()->rect().adjusted(inset, inset, -inset, -inset));
    t->SetScale(m_design.Scale());
  }
  if (!m_prizePicture.isNull()) {
    IMGet->setPixmap(
        m_prizePicture.scaled(IMGet->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
  }
}
