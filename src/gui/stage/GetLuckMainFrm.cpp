#include "gui/stage/GetLuckMainFrm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QFontMetricsF>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QTimer>
#include <QToolButton>

#include "core/config/TaskSounds.h"
#include "core/draw/Stage.h"
#include "core/draw/StageView.h"
#include "core/draw/WinnerSummary.h"
#include "core/remote/HostRemote.h"
#include "core/text/Messages.h"
#include "core/text/Paths.h"
#include "gui/stage/Celebration.h"
#include "gui/stage/ConsoleFrm.h"
#include "gui/stage/DrawScreenArt.h"
#include "gui/stage/GrandPrize.h"
#include "gui/stage/LiveChangeDlg.h"
#include "gui/stage/RevealCards.h"
#include "gui/stage/SphereRoll.h"
#include "gui/stage/StagePrompt.h"
#include "gui/ui/Dialogs.h"
#include "gui/ui/Fonts.h"
#include "gui/ui/Qt.h"
#include "gui/ui/ScrollText.h"

namespace {

// The controls stand on a 1016 × 756 grid, with a margin kept clear at every edge.
const QSize kDesign(1016, 756);
const QColor kMaroon(128, 0, 0);
constexpr int kListTop = 1;       // MUser2_1's top in its panel
constexpr int kListLine = 37;     // winners list line height
constexpr int kRevealLine = 94;   // reveal panel line height, the largest it takes
constexpr int kRevealMin = 28;    // below this a batch steps through its rows instead
constexpr int kRevealCrawl = 40;  // line height of a stepping batch
constexpr int kRollPixels = 93;   // 70 points
constexpr int kStatusPixels = 30;
constexpr int kLandingMs = 900;
constexpr int kSummaryMs = 4000;
constexpr int kStepMs = 2500;  // a list too long for its panel moves on by a line this often
// Areas of the grid, top to bottom: the title; the status line with the buttons at its
// right; the prize line; the light band (236 to 446) where the roll, the reveal and the
// announcement of the next prize stand; the hint; the winners list with the prize picture.
// At the end the summary takes the band and the list's place.
const QRect kBand(0, 236, 1016, 210);
const QRect kRevealRect(36, 240, 944, 202);
// A batch too large for cards takes the band and the list's place, as the summary does.
const QRect kLargeRevealRect(36, 240, 944, 470);
// The Ready band: the next prize item, its count and gift, and the draw's proof below them.
const QRect kNextItemRect(36, 242, 944, 84);
const QRect kNextGiftRect(36, 324, 944, 44);
const QRect kProofRect(36, 370, 944, 32);
const QRect kAudienceRect(36, 404, 944, 36);
const QRect kSummaryRect(36, 236, 944, 480);
const QRect kHintRect(40, 462, 0, 0);
const QRect kHintBelowSummary(40, 718, 0, 0);  // clear of the summary panel
constexpr int kListZoneTop = 500;
constexpr int kListZoneBottom = 716;
constexpr int kListMinWidth = 428;
constexpr int kListMaxWidth = 944;
constexpr int64_t kListByteWidth = 21;    // design pixels per byte of a winner line
constexpr int64_t kListLinesWidth = 423;  // the lines' width however short they are
const QSize kPictureSize(210, 196);
constexpr int kButtonsLeft = 744;
constexpr int kButtonsTop = 148;
constexpr int kStageRight = 980;  // texts stay clear of the right edge
constexpr int kLanternLeft = 840;

QLabel* TextLabel(QWidget* parent, const char* name) { return StageLabel(parent, name, 24); }

QToolButton* FlatButton(QWidget* parent, const char* name, const QString& caption) {
  auto* b = StageButton(parent, name, caption, 22);
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
  t->SetFontFamily(StageFamily(), true);
  t->SetTextColor(kMaroon);
  t->SetLineHeight(lineHeight);
  t->SetLeft(left);
  t->SetShrinkToWidth(true);
  t->SetOpaque(kCard);
  return t;
}

QStringList ToQ(const std::vector<std::string>& lines, size_t from = 0,
                size_t to = std::string::npos) {
  to = std::min(to, lines.size());
  QStringList out;
  out.reserve(static_cast<qsizetype>(to - std::min(from, to)));
  for (size_t i = from; i < to; ++i) out << Q(lines[i]);
  return out;
}

QLabel* BandLabel(QWidget* parent, const char* name) {
  QLabel* l = StageLabel(parent, name, 40);
  l->setAlignment(Qt::AlignCenter);
  QPalette pal = l->palette();
  pal.setColor(QPalette::WindowText, kMaroon);
  l->setPalette(pal);
  return l;
}

}  // namespace

TGetLuckMainForm::TGetLuckMainForm(TDrawSession& session, QWidget* parent,
                                   std::optional<uint32_t> seed)
    : TDrawScreenBase(parent, "GetLuckMainForm", kDesign, QStringLiteral("draw_background"), seed),
      m_engine(session, Rng(), seed),
      m_watch(session, &m_feed),
      m_watched(session) {
  Celebration = new TCelebration(this);
  PGrand = new TGrandPrize(this);
  LbMain = TextLabel(this, "LbMain");
  LbShowList = TextLabel(this, "LbShowList");
  HintList = TextLabel(this, "HintList");
  LGet = TextLabel(this, "LGet");
  m_design.Add(LbMain, QRect(40, 40, 0, 0), 48);
  m_design.Add(LbShowList, QRect(40, kButtonsTop, 0, 0), kStatusPixels);
  m_design.Add(HintList, kHintRect, 24);
  m_design.Add(LGet, QRect(40, 194, 0, 0), 26);
  // Each text shrinks into its own area: the title stops short of the lanterns, the status
  // line of the buttons.
  m_design.SetFitBox(LbMain, QSize(kLanternLeft - 40, 104));
  m_design.SetFitBox(LbShowList, QSize(kButtonsLeft - 8 - 40, 44));
  m_design.SetFitBox(HintList, QSize(kStageRight - 40, 36));
  m_design.SetFitBox(LGet, QSize(kStageRight - 40, 38));
  for (QLabel* l : {LbMain, LbShowList, HintList, LGet}) AddTextShadow(l);

  SBegin = FlatButton(this, "SBegin", QStringLiteral("开始"));
  SContinue = FlatButton(this, "SContinue", QStringLiteral("继续"));
  SOut = FlatButton(this, "SOut", QStringLiteral("结束"));
  // 开始 and 继续 never show together: they share a place.
  m_design.Add(SBegin, QRect(kButtonsLeft + 80, kButtonsTop, 80, 32), 22);
  m_design.Add(SContinue, QRect(kButtonsLeft + 80, kButtonsTop, 80, 32), 22);
  m_design.Add(SOut, QRect(kButtonsLeft + 160, kButtonsTop, 80, 32), 22);
  SContinue->hide();

  LbNextItem = BandLabel(this, "LbNextItem");
  LbNextGift = BandLabel(this, "LbNextGift");
  m_design.Add(LbNextItem, kNextItemRect, 64);
  m_design.Add(LbNextGift, kNextGiftRect, 36);
  m_design.SetFitBox(LbNextItem, kNextItemRect.size());
  m_design.SetFitBox(LbNextGift, kNextGiftRect.size());
  LbNextItem->hide();
  LbNextGift->hide();

  // The band of the background is the reveal's stage; the panel itself stays transparent.
  PLuckNow = new QFrame(this);
  PLuckNow->setObjectName(QStringLiteral("PLuckNow"));
  PLuckNow->setFrameStyle(QFrame::NoFrame);
  m_design.Add(PLuckNow, kRevealRect);
  PLuckNow->hide();
  MLuckNow = PanelText(PLuckNow, "MLuckNow", kRevealLine, 8);
  MLuckNow->SetCentered(true);
  MLuckNow->SetOpaque(QColor());  // over the band, which is no single colour
  MLuckNow->SetTop(3);
  CardsNow = new TRevealCards(PLuckNow);

  PUser2 = StagePanel(this, "PUser2");
  m_design.Add(PUser2, QRect((kDesign.width() - kListMinWidth) / 2, kListZoneTop, kListMinWidth,
                             kListZoneBottom - kListZoneTop));
  PUser2->hide();
  MUser2_1 = PanelText(PUser2, "MUser2_1", kListLine, 8);
  MUser2_1->SetTop(kListTop);
  MUser2_1->hide();
  MUser2_1->onMouseUp = [this] { EKeyCtrl->setFocus(); };
  CardsNow->onCardClicked = [this](int card) { Run(m_stage.CardClicked(card)); };
  // The grand prize's cards are the same winners: a click on one asks as on the band.
  PGrand->Cards->onCardClicked = CardsNow->onCardClicked;
  MUser2_1->onLineClicked = [this](int row) {
    if (row >= 0) Run(m_stage.ListLineClicked(static_cast<size_t>(row)));
  };
  MLuckNow->onMouseUp = [this] { EKeyCtrl->setFocus(); };

  PSummary = StagePanel(this, "PSummary");
  m_design.Add(PSummary, kSummaryRect);
  PSummary->hide();
  MSummary = PanelText(PSummary, "MSummary", kListLine, 12);

  // On the empty band of the Ready screen, where the roll will run.
  LbProof = TextLabel(this, "LbProof");
  LbAudience = TextLabel(this, "LbAudience");
  for (QLabel* l : {LbProof, LbAudience}) {
    l->setAlignment(Qt::AlignCenter);
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, kMaroon);
    l->setPalette(pal);
    l->hide();
  }
  m_design.Add(LbProof, kProofRect, 22);
  m_design.Add(LbAudience, kAudienceRect, 22);
  m_design.SetFitBox(LbProof, kProofRect.size());
  m_design.SetFitBox(LbAudience, kAudienceRect.size());

  IMGet = new QLabel(this);
  IMGet->setObjectName(QStringLiteral("IMGet"));
  IMGet->setAlignment(Qt::AlignCenter);
  IMGet->setAttribute(Qt::WA_TranslucentBackground);
  m_design.Add(IMGet, QRect(QPoint(kDesign.width() - 36 - kPictureSize.width(), kListZoneTop),
                            kPictureSize));
  IMGet->hide();

  TMList = new QTimer(this);
  TMList->setInterval(kStepMs);
  TMListNow = new QTimer(this);
  TMListNow->setInterval(kStepMs);
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
  // The remote's inputs come at once through a queued call; this also tells it of a
  // message or question that came or went between inputs.
  TMRemote = new QTimer(this);
  TMRemote->setInterval(100);
  connect(TMRemote, &QTimer::timeout, this, &TGetLuckMainForm::DrainRemote);
  connect(SBegin, &QToolButton::clicked, this, &TGetLuckMainForm::SBeginClick);
  connect(SContinue, &QToolButton::clicked, this, &TGetLuckMainForm::SContinueClick);
  connect(SOut, &QToolButton::clicked, this, &TGetLuckMainForm::SOutClick);

  m_cover = new TBlankCover(this);
  m_overlay = new TStageOverlay(this);

  // FormCreate (the generator was seeded by the base)
  LGet->clear();
}

TGetLuckMainForm::~TGetLuckMainForm() { FormClose(); }

QRect TGetLuckMainForm::StageBand() const { return kBand; }

// The end of the draw is told over the title and the status line: the band and the winners
// list stay in sight.
QRect TGetLuckMainForm::BannerArea() const { return QRect(30, 12, 956, 226); }

int TGetLuckMainForm::SetUpDraw(int32_t taskId) {
  SBegin->hide();
  TDrawFailure failure;
  if (!m_stage.SetUp(taskId, failure)) {
    ShowMessageBox(failure.kind, failure.text);
    return 0;
  }
  m_setUp = true;
  const TLuckTask& task = m_engine.Session().Task;
  // The sound hears the stage from its opening on; unreadable settings give the old ones.
  TSoundSettings sounds;
  std::string soundError;
  config::LoadTaskSounds(task, sounds, soundError);
  m_sound = std::make_unique<TStageSound>(std::move(sounds), m_watched);
  SetTextColour(task.FontColor);
  // The screen as the hall will see it, before any question is asked on it.
  if (!LoadTaskPicture(task.MainImageName)) return 0;
  for (QLabel* l : {LbMain, LbShowList, HintList, LGet}) {
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, m_textColor);
    l->setPalette(pal);
  }
  m_design.SetFontPixels(LbMain, qMax(1, task.FontSize) * 4 / 3);
  SetTitleText(m_design, LbMain, Q(task.MainTitle));
  const bool numeric = task.IdType == TIdType::Numeric;
  const int count = RollLabelCount(m_engine.Session());
  // One cell per digit, as wide as the face's digits, the row centred on the band; a long
  // id makes its digits smaller rather than run off the screen.
  const QFontMetricsF digits(UiFont(StageFamily(), 100, true));
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
    QLabel* l = TextLabel(this, "RollLabel");
    l->setAlignment(Qt::AlignCenter);
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, kMaroon);
    l->setPalette(pal);
    if (numeric) {
      m_design.Add(l, QRect(left + cell * j, kRevealRect.y(), cell, kRevealRect.height()), pixels);
    } else {
      m_design.Add(l, kRevealRect, kRollPixels);
      m_design.SetFitBox(l, QSize(kRevealRect.width() - 16, kRevealRect.height()));
    }
    l->hide();
    RollLabels.push_back(l);
  }

  // 名单球: the sphere stands where the roll labels are and is told every frame.
  if ((m_sphere =
           TSphereStage::ForTask(this, m_engine.Session(), m_engine.Columns().NameColumn()))) {
    m_stage.CarrySphere();
    m_sphere->SetLandingMs(kLandingMs);
    m_design.Add(m_sphere->Widget(), kRevealRect);
  }

  m_listBaseTop = MUser2_1->Top();
  PUser2->hide();  // shown with its first winner
  // The opening: its questions are asked on the screen, and their answers come back as
  // inputs of the stage.
  Run(m_stage.Open());
  return m_stage.Phase() == TStagePhase::Closed ? 0 : 1;
}

void TGetLuckMainForm::ShowProof(bool shown, const std::string& gbkText) {
  LbProof->setVisible(shown);
  LbAudience->setVisible(shown);
  if (!shown) return;
  LbProof->setText(Q(gbkText));
  m_design.Fit(LbProof);
}

void TGetLuckMainForm::ShowAudienceNumber(const std::string& gbkText) {
  LbAudience->setText(Q(gbkText));
  m_design.Fit(LbAudience);
}

bool TGetLuckMainForm::PriorityKeyPressed(const QKeyEvent* e) {
  // 黑屏 and 恢复 whatever waits on the screen; held down it does not flicker.
  if (e->key() != Qt::Key_B || e->isAutoRepeat() || !m_setUp) return false;
  Run(m_stage.Blank(!m_stage.Blanked()));
  return true;
}

bool TGetLuckMainForm::OtherKeyPressed(const QKeyEvent* e) {
  if (e->key() == Qt::Key_F2) {
    OpenPlanChange();
    return true;
  }
  if (e->key() == Qt::Key_F3) {
    OpenVoid();
    return true;
  }
  if (e->key() == Qt::Key_I) {
    // The console's facts on the one screen, at the operator's request.
    if (!m_console) {
      m_overlayAsked = !m_overlayAsked;
      ShowOverlay();
    }
    return true;
  }
  if (e->key() == Qt::Key_M && m_sound) {
    m_sound->ToggleMute();
    FrameShown();  // the mark on the operator's side follows
    return true;
  }
  TStageKey key = TStageKey::Other;
  int digit = 0;
  switch (e->key()) {
    case Qt::Key_Q:
      key = TStageKey::Q;
      break;
    case Qt::Key_Up:
      key = TStageKey::Up;
      break;
    case Qt::Key_Down:
      key = TStageKey::Down;
      break;
    case Qt::Key_Left:
      key = TStageKey::Left;
      break;
    case Qt::Key_Backspace:
      key = TStageKey::Backspace;
      break;
    default:
      if (e->key() >= Qt::Key_0 && e->key() <= Qt::Key_9) {
        key = TStageKey::Digit;
        digit = e->key() - Qt::Key_0;
      }
  }
  TStageFrame f = m_stage.Key(key, digit);
  const bool taken = f.taken;
  Run(std::move(f));
  return taken;
}

void TGetLuckMainForm::OpenPlanChange() {
  // Not now: the stage's refusal says why.
  if (!m_stage.State().mayChange) return Run(m_stage.Change(TPlanChange{}));
  auto* d = new TPlanChangeDialog(m_engine.Session().Items, m_engine.CurItemIndex(),
                                  m_engine.ListFields(), this);
  connect(d, &QDialog::accepted, this, [this, d] { Run(m_stage.Change(d->Change())); });
  ShowOperatorDialog(d);
}

void TGetLuckMainForm::ShowOperatorDialog(QDialog* d) {
  d->setProperty("operatorSide", true);  // the screen does not move it onto the stage
  d->setAttribute(Qt::WA_DeleteOnClose);
  d->adjustSize();
  // The operator's screen is the opener's when the stage has a screen of its own (the
  // projector); on one screen a corner below the band, away from the cards.
  QScreen* own = parentWidget() ? parentWidget()->screen() : nullptr;
  if (own && own != screen()) {
    d->setScreen(own);
    d->move(own->availableGeometry().center() - QPoint(d->width() / 2, d->height() / 2));
  } else {
    const QRect g = geometry();
    d->move(g.left() + 16, std::max(g.top(), g.bottom() - d->height() - 64));
  }
  d->open();
}

void TGetLuckMainForm::OpenVoid() {
  if (!m_stage.State().mayChange || !m_engine.MayMarkAbsent())
    return Run(m_stage.Change(TVoidRequest{}));
  const std::vector<size_t> places = stageview::RevealedPlaces(m_engine);
  std::vector<std::string> people;
  for (size_t p : places) people.push_back(stageview::PersonText(m_engine, p));
  auto* d = new TVoidDialog(people, places, this);
  connect(d, &QDialog::accepted, this, [this, d] {
    const QString now =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    Run(m_stage.Change(d->Request(now.toStdString())));
  });
  ShowOperatorDialog(d);
}

void TGetLuckMainForm::ShowChange(const TStageFrame& f) {
  TMLanding->stop();
  TMListNow->stop();
  Celebration->Stop();
  PSummary->hide();
  // Out of the summary the hint is back in its place.
  m_design.SetDesignRect(HintList, kHintRect);
  if (f.hint) SetHint(*f.hint);
  HintList->show();
  PLuckNow->hide();
  m_revealLines.clear();
  if (MLuckNow->LineCount() > 0) {
    MLuckNow->SetLines({});
    LayoutReveal();
  }
  HideRollLabels();
  ShowNext(f.band);
  if (f.prizeChanged) ShowPrize(f.prizeItem, f.prize);
  if (f.list) ShowWinnerList(f.listLines, f.listWidest);
  if (m_stage.ShowsWinnersList() && MUser2_1->LineCount() > 0) {
    PUser2->show();
    MUser2_1->show();
  }
  SBegin->hide();
  SContinue->setVisible(!f.finished);
  repaint();
  m_stage.InSight();
}

void TGetLuckMainForm::SetShowList(const std::string& gbkText) {
  LbShowList->setText(Q(gbkText));
  m_design.Fit(LbShowList);
}

void TGetLuckMainForm::SetHint(const std::string& gbkText) {
  HintList->setText(Q(gbkText));
  m_design.Fit(HintList);
}

void TGetLuckMainForm::ShowPrize(int itemIndex, const std::string& gbkText) {
  LGet->setText(Q(gbkText));
  m_design.Fit(LGet);
  // The prize picture of the item, when its file loads.
  m_prizePicture = QPixmap();
  const TArrLuckItem& items = m_engine.Session().Items;
  if (itemIndex >= 0 && itemIndex < static_cast<int>(items.size())) {
    const std::string& path = items[static_cast<size_t>(itemIndex)].AwardImageName;
    QImage picture;
    if (!path.empty() && picture.load(Q(path))) m_prizePicture = QPixmap::fromImage(picture);
  }
  IMGet->setVisible(!m_prizePicture.isNull());
  LayoutPanels();
}

void TGetLuckMainForm::ShowNext(const std::optional<TStageBand>& band) {
  // Before the first batch the band says what comes: the prize item, how many win it and
  // its gift.
  if (!band || (band->item.empty() && band->gift.empty())) {
    LbNextItem->hide();
    LbNextGift->hide();
    return;
  }
  LbNextItem->setText(Q(band->item));
  // The gift's line shrinks to fit.
  LbNextGift->setText(Q(band->gift));
  m_design.Fit(LbNextItem);
  m_design.Fit(LbNextGift);
  LbNextItem->show();
  LbNextGift->show();
}

void TGetLuckMainForm::SBeginClick() { Run(m_stage.Start()); }
void TGetLuckMainForm::SContinueClick() { SBeginClick(); }

void TGetLuckMainForm::EKeyCtrlKeyPress() { Run(m_stage.Enter()); }

void TGetLuckMainForm::SelectWinners() { Run(m_stage.Time(TStageTimer::Select)); }

void TGetLuckMainForm::RollTick() {
  const TStageFrame f = m_stage.Time(TStageTimer::Roll);
  if (f.rollTexts) ShowRollTexts(*f.rollTexts);
  if (m_console) m_console->FrameChanged();
}

void TGetLuckMainForm::ShowReveal() { Run(m_stage.Time(TStageTimer::Landing)); }

void TGetLuckMainForm::ShowSummary() { Run(m_stage.Time(TStageTimer::Summary)); }

void TGetLuckMainForm::Run(TStageFrame f) {
  // Once the stage has closed, nothing that was still on its way shows.
  if (m_closed) return;
  const bool follows = f.follows;
  if (f.step == TStageStep::Starts) m_overlayAsked = false;  // never over a roll or a reveal
  Apply(f, [this, follows] {
    if (follows) Run(m_stage.Follow());
  });
  if (f.blank) {
    m_cover->SetPicture(HasTaskBackground() ? Background() : QPixmap());
    m_cover->setGeometry(rect());
  }
  FrameShown();
}

void TGetLuckMainForm::FrameShown() {
  if (m_closed) return;
  if (m_stage.Blanked()) {
    // Over everything the stage shows, its prompts and celebrations too.
    if (m_cover->geometry() != rect()) m_cover->setGeometry(rect());
    m_cover->show();
    m_cover->raise();
  } else {
    m_cover->hide();
  }
  ShowOverlay();
  if (m_console) {
    m_console->Refresh();
    m_console->FrameChanged();
  }
}

void TGetLuckMainForm::ShowOverlay() {
  if (!m_overlay) return;  // not made yet
  const TStageState& s = m_feed.State();
  // On one screen the operator's note is the only word of a refused key under the cover.
  const bool note = !m_console && m_stage.Blanked() && !s.note.empty();
  const bool full = note || (m_overlayAsked && console::OverlayMayShow(s));
  // Muted, the one screen says so in the operator's corner whatever the phase, but not over
  // the grand prize's own screen.
  const bool muted = m_sound && m_sound->Muted() && s.open && !s.grand;
  if (m_console || (!full && !muted)) {
    m_overlay->hide();
    return;
  }
  m_overlay->Show(full ? console::ViewOf(m_feed, m_engine, Room()) : console::TView{}, full, muted);
  // The bottom left corner, beside the winners list and below the band of the cards.
  const QRect stage = m_design.StageRect();
  const int top = ScreenRect(QRect(0, kListZoneTop, 0, 0)).y();
  int right = PUser2->isVisible() ? PUser2->x() - m_design.Px(12) : stage.center().x();
  right = std::min(right, stage.center().x());
  const int room = right - m_design.Px(8);
  m_overlay->setFont(UiFont(StageFamily(), std::max(12, m_design.Px(15))));
  // The mark alone is as wide as its words.
  const int width = full ? room : std::min(room, m_overlay->sizeHint().width());
  const int height = std::min(m_overlay->heightForWidth(std::max(1, width)), this->height() - top);
  if (room < m_design.Px(150)) {
    m_overlay->hide();  // no room beside the winners
    return;
  }
  m_overlay->setGeometry(m_design.Px(8), this->height() - height - m_design.Px(8), width, height);
  m_overlay->show();
  m_overlay->raise();  // over the blank cover too
}

QWidget* TGetLuckMainForm::BlankCover() const { return m_cover; }
QLabel* TGetLuckMainForm::Overlay() const { return m_overlay; }

console::TRoom TGetLuckMainForm::Room() const {
  console::TRoom room;
  console::ProbeMachine(paths::NativePath(paths::DataRoot()), room);
  if (m_remote) {
    const net::TPairingView pairing = m_remote->Pairing().View();
    room.hostPaired = pairing.HostPaired;
    room.desks = pairing.Desks;
  }
  if (m_roomFacts) m_roomFacts(room);
  return room;
}

void TGetLuckMainForm::OpenConsole() {
  QScreen* own = parentWidget() ? parentWidget()->screen() : nullptr;
  if (m_console || !m_setUp || !own || own == screen()) return;
  m_console = new TConsoleForm(this, EKeyCtrl, m_feed, m_engine, [this] { return Room(); });
  m_console->SetMute(m_sound.get());
  m_console->setScreen(own);
  m_console->setGeometry(own->availableGeometry());
  m_console->show();
  m_overlay->hide();
  FrameShown();
}

void TGetLuckMainForm::SetRemote(remote::THostRemote* remote) {
  if (m_remote) m_remote->Detach();
  m_remote = remote;
  if (!m_remote) return TMRemote->stop();
  // Called from a server thread: only a queued call reaches the window.
  m_remote->Attach([this] {
    QMetaObject::invokeMethod(this, &TGetLuckMainForm::DrainRemote, Qt::QueuedConnection);
  });
  TMRemote->start();
}

void TGetLuckMainForm::DrainRemote() {
  // The stage takes each input as its keys, or refuses it; the screen applies its frame.
  if (!m_remote || m_closed) return;
  for (const remote::THostInput& in : m_remote->Drain()) {
    if (m_closed) return;
    Run(remote::TakeHostInput(m_stage, *m_remote, in));
  }
}

void TGetLuckMainForm::Apply(const TStageFrame& f, std::function<void()> then) {
  if (m_sphere) m_sphere->Apply(f);  // 名单球
  // 结束 waits while a batch is fixed or rolls.
  SOut->setEnabled(!m_stage.Busy());
  if (f.reply) {
    // A remote answered what is in sight: the prompt takes it as from its own keys.
    Prompt()->Reply(*f.reply == TStageAnswer::Yes ? Answer::Yes : Answer::No);
    return;
  }
  if (f.audience) ShowAudienceNumber(*f.audience);
  // The grand prize's moment lasts as long as the stage keeps it: a question or a choice
  // stands over it, the next start key (Ends) or a replacement's roll ends it. A named
  // award's card likewise.
  if (!m_stage.GrandMoment() && !m_stage.NamedMoment()) HideGrand();
  if (f.stopSummaryTimer) TMSummary->stop();
  switch (f.step) {
    case TStageStep::Opens:
      SetShowList(*f.status);
      ShowPrize(f.prizeItem, f.prize);
      ShowNext(f.band);
      ShowProof(true, *f.proof);
      SBegin->show();
      break;
    case TStageStep::Starts:
      ShowStart();
      // The last batch stood beside its own prize until now.
      if (f.prizeChanged) ShowPrize(f.prizeItem, f.prize);
      break;
    case TStageStep::Rolls:
      ShowRoll(f);
      break;
    case TStageStep::Lands:
      TMRoll->stop();
      ShowRollTexts(*f.rollTexts);
      // More than six winners show their whole lines; fewer stand on cards.
      m_revealLines = ToQ(f.reveal->lines);
      MLuckNow->SetLines(m_revealLines);
      TMLanding->start();
      PrepareReveal(*f.reveal);
      break;
    case TStageStep::Reveals:
    case TStageStep::Resumes:
      ShowBatch(f, std::move(then));
      return;
    case TStageStep::Summarises:
      ShowSummaryPanel(f);
      break;
    case TStageStep::Changes:
      ShowChange(f);
      break;
    case TStageStep::Chooses:
      ShowChoice(f);
      break;
    case TStageStep::Ends:  // the grand prize's moment is over: the end is told below
    case TStageStep::Asks:
    case TStageStep::Closes:
    case TStageStep::None:
      break;
  }
  if (f.status && f.step != TStageStep::Opens) SetShowList(*f.status);
  // Out of the choice, the list shows its lines again and moves on, and no card is marked.
  if (f.step != TStageStep::Chooses && m_stage.Phase() != TStagePhase::Choosing) {
    // The list stands in sight while the stage shows it, unless a batch too large for cards
    // or the summary holds its place.
    const bool listShown = m_stage.ShowsWinnersList() && m_revealLines.isEmpty() &&
                           m_stage.Phase() != TStagePhase::Summary;
    if (MUser2_1->Lines() != m_listLines && listShown) {
      MUser2_1->SetLines(m_listLines);
      ShowListFrom(m_listFirst);
      TMList->start();
    }
    EndChoiceMarks();
  }
  if (f.hideRoll) HideRollLabels();
  if (f.hint) SetHint(*f.hint);
  // What there is to tell comes first; then the question, the close or the summary's time.
  Tell(f.messages, 0, f.messages.size(), [this, f, then = std::move(then)] {
    if (f.startSummaryTimer) TMSummary->start();
    if (f.step == TStageStep::Asks) return Ask(f);
    if (f.step == TStageStep::Closes) return done(QDialog::Accepted);
    then();
  });
}

void TGetLuckMainForm::Tell(const std::vector<TStageMessage>& messages, size_t from, size_t to,
                            std::function<void()> then) {
  if (from >= to || from >= messages.size()) return then();
  if (!isVisible()) ShowForQuestions();
  ShowLater(messages[from].kind, messages[from].text,
            [this, messages, from, to, then = std::move(then)] {
              // Answered on the screen: the stage has the next message in sight.
              m_stage.Acknowledge();
              Tell(messages, from + 1, to, then);
            });
}

void TGetLuckMainForm::Ask(const TStageFrame& f) {
  // A question of the opening is asked on the screen itself, as the hall will see it.
  if (!isVisible()) ShowForQuestions();
  const auto answer = [](TStageAnswer a) {
    return a == TStageAnswer::Yes  ? Answer::Yes
           : a == TStageAnswer::No ? Answer::No
                                   : Answer::Closed;
  };
  AskLater(Q(f.question), answer(f.preferred), answer(f.escape), [this](Answer a) {
    Run(m_stage.Answer(a == Answer::Yes  ? TStageAnswer::Yes
                       : a == Answer::No ? TStageAnswer::No
                                         : TStageAnswer::Closed));
  });
}

void TGetLuckMainForm::ShowStart() {
  EKeyCtrl->setFocus();
  Celebration->Stop();
  TMLanding->stop();
  SBegin->hide();
  SContinue->hide();
  PLuckNow->hide();
  ShowNext({});
  ShowProof(false, {});
  TMListNow->stop();
  // A large batch made way for nothing now: its lines go, the list and the picture return.
  m_revealLines.clear();
  if (MLuckNow->LineCount() > 0) {
    MLuckNow->SetLines({});
    LayoutReveal();
    if (m_stage.ShowsWinnersList() && MUser2_1->LineCount() > 0) PUser2->show();
    IMGet->setVisible(!m_prizePicture.isNull());
  }
  // Selecting: the winners are fixed before anything rolls. The winners list stays in
  // sight, as it was.
  QTimer::singleShot(0, this, &TGetLuckMainForm::SelectWinners);
}

void TGetLuckMainForm::ShowRoll(const TStageFrame& f) {
  if (f.replacement) {
    // Like a batch of one: the band and the list make way for its roll.
    TMLanding->stop();
    TMList->stop();
    TMListNow->stop();
    PSummary->hide();
    ShowNext({});
    m_design.SetDesignRect(HintList, kHintRect);
    if (f.hint) SetHint(*f.hint);
    HintList->show();
    SBegin->hide();
    SContinue->hide();
    PLuckNow->hide();
    PUser2->hide();
    MUser2_1->hide();
  }
  if (f.rollTexts) ShowRollTexts(*f.rollTexts);
  if (f.status) SetShowList(*f.status);
  if (f.prizeChanged) ShowPrize(f.prizeItem, f.prize);
  TMRoll->start();
  emit rollingStarted();
}

std::vector<TStageCard> TGetLuckMainForm::CardsOf(const TStageReveal& reveal) const {
  // Drawn ahead while the roll rested: the same cards, photos and all.
  if (reveal.cards == m_landed.cards && m_landedCards.size() == reveal.cards.size())
    return m_landedCards;
  std::vector<TStageCard> cards;
  for (const TStageCardText& c : reveal.cards) {
    TStageCard card{Q(c.id), Q(c.name), Q(c.rest), {}};
    QImage picture;
    if (!c.photo.empty() && picture.load(Q(c.photo))) card.photo = QPixmap::fromImage(picture);
    cards.push_back(std::move(card));
  }
  return cards;
}

void TGetLuckMainForm::PrepareReveal(const TStageReveal& reveal) {
  m_landedCards = CardsOf(reveal);
  m_landed = reveal;
  if (m_landedCards.empty()) return;
  // The cards are laid out and drawn while the roll rests, a card at a time between its
  // frames: the reveal then only shows them.
  CardsNow->Prepare(m_landedCards,
                    QSize(m_design.Px(kRevealRect.width()), m_design.Px(kRevealRect.height())));
  // The draw's last batch is the grand prize's moment: its screen is drawn ahead too.
  if (reveal.grand) ShowGrand(reveal, false);
}

void TGetLuckMainForm::ShowCards(const TStageReveal& reveal) {
  m_revealLines = ToQ(reveal.lines);
  MLuckNow->SetLines(m_revealLines);
  CardsNow->SetCards(CardsOf(reveal));
  LayoutReveal();
}

void TGetLuckMainForm::ShowBatch(const TStageFrame& f, std::function<void()> then) {
  const bool resumed = f.step == TStageStep::Resumes;
  TMLanding->stop();
  if (!resumed) TMRoll->stop();
  HideRollLabels();
  ShowNext({});  // a change's band makes way for the cards
  if (resumed) {
    SetShowList(*f.status);
    SetHint(*f.hint);
  }
  // The batch: cards for up to six, whole lines in columns for more.
  ShowCards(*f.reveal);
  if (MLuckNow->LineCount() > 0 || !CardsNow->Cards().empty()) {
    PLuckNow->show();
    if (m_revealCrawls) Crawl(MLuckNow);
  }
  // Now, and not before, the rest of the screen moves on.
  if (f.list) ShowWinnerList(f.listLines, f.listWidest);
  if (!resumed) SetShowList(*f.status);
  SBegin->hide();
  SContinue->setVisible(!f.finished);
  if (f.prizeChanged) ShowPrize(f.prizeItem, f.prize);
  if (MLuckNow->LineCount() > 0) {
    // A large batch stands where the list and the picture were.
    PUser2->hide();
    IMGet->hide();
  } else if (m_stage.ShowsWinnersList() && MUser2_1->LineCount() > 0) {
    PUser2->show();
    MUser2_1->show();
    TMList->start();
  }
  // A named award has a whole screen of its own, as the grand prize has.
  if (f.reveal->grand || (f.reveal->named && !CardsNow->Cards().empty())) ShowGrand(*f.reveal);
  if (f.celebrate) Celebrate();
  // The phones and the host's page hear of the batch once the projector shows it, not before.
  repaint();
  m_stage.InSight();
  // What there is to tell comes after the winners are in sight; the hint changes between.
  Tell(f.messages, 0, f.hintAfter, [this, f, resumed, then = std::move(then)] {
    if (!resumed && f.hint) SetHint(*f.hint);
    Tell(f.messages, f.hintAfter, f.messages.size(), [this, f, then] {
      if (f.startSummaryTimer) TMSummary->start();
      then();
    });
  });
}

void TGetLuckMainForm::ShowSummaryPanel(const TStageFrame& f) {
  TMSummary->stop();
  TMListNow->stop();
  Celebration->Stop();
  PLuckNow->hide();
  HideRollLabels();
  // While winners may still be marked absent, the hint stays in sight below the summary.
  m_design.SetDesignRect(HintList, f.hintShown ? kHintBelowSummary : kHintRect);
  HintList->setVisible(f.hintShown);
  IMGet->hide();
  ShowNext({});
  TMList->stop();
  PUser2->hide();  // the summary holds every winner
  PSummary->show();
  PSummary->raise();
  if (f.hintShown) HintList->raise();
  m_summary = f.summary;
  LayoutSummary();
}

void TGetLuckMainForm::ShowGrand(const TStageReveal& reveal, bool shown) {
  const QString item = Q(reveal.grandItem);
  const QString gift = Q(reveal.grandGift);
  if (!shown) {
    PGrand->Prepare(item, gift, m_landedCards, m_prizePicture);
    return;
  }
  PGrand->Show(item, gift, CardsNow->Cards(), m_prizePicture);
  Celebration->raise();
}

void TGetLuckMainForm::HideGrand() {
  if (!PGrand->isVisible()) return;
  PGrand->hide();
  // Its fireworks burst around the grand prize's cards: over the screen below they would
  // cross its texts.
  Celebration->Stop();
}

void TGetLuckMainForm::Celebrate() {
  // The fanfares are the stage's sound cues (m_sound), not the fireworks'.
  constexpr bool sound = false;
  // The grand prize's or a named award's whole screen.
  if (m_stage.GrandMoment() || m_stage.NamedMoment()) {
    Celebration->Start(PGrand->FreeZones(), PGrand->Written(), sound, PGrand);
    return;
  }
  // The fireworks burst where nothing is written: over the top of the screen beside the
  // title, and at both sides of the winners list and of the band; they are never drawn over
  // a card, a text or the list.
  const QRect stage = m_design.StageRect();
  const int gap = m_design.Px(16);
  const int bandTop = stage.top() + m_design.Px(kBand.y());
  const int bandBottom = stage.top() + m_design.Px(kBand.bottom());
  std::vector<QRect> zones;
  const int textRight = std::max(
      {LbMain->geometry().right(), LbShowList->geometry().right(), LGet->geometry().right()});
  zones.push_back(QRect(QPoint(textRight + gap, 0), QPoint(width() - gap, bandTop - gap)));
  zones.push_back(QRect(QPoint(gap, 0), QPoint(LbMain->geometry().left() - gap, bandTop - gap)));
  QRect cards;
  for (const QRect& r : CardsNow->CardRects()) cards |= r.translated(PLuckNow->pos());
  if (cards.isEmpty()) cards = PLuckNow->geometry();
  zones.push_back(
      QRect(QPoint(gap, bandBottom + gap),
            QPoint(std::min(PUser2->geometry().left(), cards.left()) - gap, height() - gap)));
  const int rightOfList =
      std::max(PUser2->geometry().right(), IMGet->isVisible() ? IMGet->geometry().right() : 0);
  zones.push_back(QRect(QPoint(std::max(rightOfList, cards.right()) + gap, bandBottom + gap),
                        QPoint(width() - gap, height() - gap)));
  QRegion keepOut;
  for (QWidget* w : std::initializer_list<QWidget*>{LbMain, LbShowList, LGet, HintList, PUser2,
                                                    IMGet, SBegin, SContinue, SOut})
    if (w->isVisible()) keepOut += PaintedArea(w).adjusted(-4, -4, 4, 4);
  for (const QRect& r : CardsNow->CardRects()) keepOut += r.translated(PLuckNow->pos());
  if (MLuckNow->isVisible() && PLuckNow->isVisible()) keepOut += PLuckNow->geometry();
  Celebration->Start(zones, keepOut, sound);
}

QRect TGetLuckMainForm::EnterArea() const {
  return QRect(kRevealRect.x(), kRevealRect.y() - 4, kRevealRect.width(), kRevealRect.height() + 8);
}

void TGetLuckMainForm::LayoutReveal() {
  // A batch of lines stands in the large panel, in as many columns as fit; the hint moves
  // below it and the winners list makes way while it is in sight.
  const int n = MLuckNow->LineCount();
  const QRect panel = n > 0 ? kLargeRevealRect : kRevealRect;
  if (m_design.DesignRect(PLuckNow) != panel) m_design.SetDesignRect(PLuckNow, panel);
  if (!PSummary->isVisible())
    m_design.SetDesignRect(HintList, n > 0 ? kHintBelowSummary : kHintRect);
  CardsNow->setGeometry(PLuckNow->rect());
  // Every line at once, all in one size, as large as the panel allows: in up to six columns,
  // from the full size down to kRevealMin. Only a batch that still does not fit steps through
  // its rows.
  const int inner = panel.height() - 8;
  const int width = panel.width() - 16;
  int line = 0, columns = 1;
  for (int l = kRevealLine; l >= kRevealMin && line == 0 && n > 0; --l) {
    for (int c = 1; c <= 6; ++c) {
      const int rows = (n + c - 1) / c;
      if (rows * l <= inner && MLuckNow->WidestLine(l) + 0.6 * l <= double(width) / c) {
        line = l;
        columns = c;
        break;
      }
    }
  }
  m_revealCrawls = n > 0 && line == 0;
  if (m_revealCrawls) {
    line = kRevealCrawl;
    columns = std::max(
        1, std::min(6, static_cast<int>(width / (MLuckNow->WidestLine(line) + 0.6 * line))));
  }
  if (line == 0) line = kRevealLine;
  MLuckNow->SetLineHeight(line);
  MLuckNow->SetColumns(columns);
  m_crawlRow = 0;
  // A stepping batch shows whole rows only: the text's own height is cut to them.
  const int rowsShown = m_revealCrawls ? inner / line : MLuckNow->Rows();
  const int top = m_revealCrawls ? (panel.height() - rowsShown * line) / 2
                                 : (panel.height() - MLuckNow->Height()) / 2;
  MLuckNow->setGeometry(QRect(0, m_design.Px(top), PLuckNow->width(),
                              m_design.Px(std::min(panel.height(), rowsShown * line))));
  MLuckNow->SetTop(0);
  // Below the band the background is dark: the lines stand on the band's colour.
  MLuckNow->SetOpaque(n > 0 ? QColor(255, 247, 226) : QColor());
  MLuckNow->setVisible(n > 0);
}

void TGetLuckMainForm::LayoutSummary() {
  const std::vector<TItemSummary>& items = m_summary;
  QFont f = UiFont(StageFamily(), 100, true);
  const QFontMetricsF fm(f);
  double entry100 = 1;
  for (const TItemSummary& s : items) {
    for (const std::string& w : s.winners)
      entry100 = std::max(entry100, fm.horizontalAdvance(Q(w)));
  }
  const int inner = kSummaryRect.height() - 12;
  const double width = kSummaryRect.width() - 24 - 24;  // margins and the winners' indent
  // The largest line height at which every item with all its winners fits the panel.
  int line = 20, perLine = 1;
  for (int l = 56; l >= 20; --l) {
    const double one = entry100 * l * 0.92 / 100 + l;  // with a gap of one line height
    const int k = std::max(1, static_cast<int>((width + l) / one));
    int rows = 0;
    for (const TItemSummary& s : items)
      rows += 1 + (static_cast<int>(s.winners.size()) + k - 1) / k;
    line = l;
    perLine = k;
    if (rows * l <= inner) break;
  }
  QStringList lines;
  for (const TItemSummary& s : items) {
    lines << Q(s.caption);
    for (size_t i = 0; i < s.winners.size(); i += static_cast<size_t>(perLine)) {
      QStringList row;
      for (size_t j = i; j < std::min(s.winners.size(), i + static_cast<size_t>(perLine)); ++j)
        row << Q(s.winners[j]);
      lines << QStringLiteral("    ") + row.join(QStringLiteral("    "));
    }
  }
  MSummary->SetLines(lines);
  MSummary->SetLineHeight(line);
  // The block stands in the middle of the panel's width.
  const int left =
      std::max(12, static_cast<int>((kSummaryRect.width() - MSummary->WidestLine(line)) / 2));
  MSummary->SetLeft(left);
  const bool steps = MSummary->Height() > inner;
  const int rowsShown = steps ? inner / line : MSummary->Rows();
  const int top = (kSummaryRect.height() - rowsShown * line) / 2;
  MSummary->setGeometry(
      QRect(0, m_design.Px(top), PSummary->width(), m_design.Px(rowsShown * line)));
  MSummary->SetScale(m_design.Scale());
  m_crawlRow = 0;
  MSummary->SetTop(0);
  if (steps) Crawl(MSummary);
}

void TGetLuckMainForm::ShowRollTexts(const std::vector<std::string>& texts) {
  if (m_sphere) return;  // 名单球: the sphere stands in the labels' place
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

void TGetLuckMainForm::ShowWinnerList(const std::vector<std::string>& listLines, size_t widest) {
  // Only what has been revealed: a batch still rolling is not in the list yet.
  const QStringList lines = ToQ(listLines);
  m_listLines = lines;
  m_listWidest = widest;
  if (MUser2_1->Lines() != lines) {
    MUser2_1->SetLines(lines);
    // The newest winners in view.
    m_listFirst = std::max(0, MUser2_1->Rows() - m_listRows);
    ShowListFrom(m_listFirst);
  }
  LayoutPanels();
}

void TGetLuckMainForm::ShowChoice(const TStageFrame& f) {
  // The chosen winner's card is framed, on the band and on the grand prize's screen.
  const int card = f.chosenCard ? static_cast<int>(*f.chosenCard) : -1;
  CardsNow->SetChosen(card);
  PGrand->Cards->SetChosen(card);
  // In a batch too large for cards its line is marked and brought into view, and the batch
  // holds still meanwhile.
  if (!m_revealLines.isEmpty()) {
    QStringList rows = m_revealLines;
    if (f.chosenRow && static_cast<qsizetype>(*f.chosenRow) < rows.size()) {
      rows[static_cast<qsizetype>(*f.chosenRow)] =
          QStringLiteral("▶ ") + rows[static_cast<qsizetype>(*f.chosenRow)];
      if (m_revealCrawls) {
        TMListNow->stop();
        const int line = MLuckNow->LineHeight();
        const int shown = std::max(
            1, static_cast<int>(std::lround(MLuckNow->height() / (line * m_design.Scale()))));
        const int row = static_cast<int>(*f.chosenRow) / std::max(1, MLuckNow->Columns());
        m_crawlRow = std::clamp(row - shown / 2, 0, std::max(0, MLuckNow->Rows() - shown));
        MLuckNow->SetTop(-m_crawlRow * line);
      }
    }
    if (MLuckNow->Lines() != rows) MLuckNow->SetLines(rows);
  }
  // The chosen winner's line is marked and stays in view: the list holds still meanwhile.
  QStringList lines = m_listLines;
  if (f.chosenLine && static_cast<qsizetype>(*f.chosenLine) < lines.size()) {
    QString& line = lines[static_cast<qsizetype>(*f.chosenLine)];
    line = QStringLiteral("▶ ") + line;
    TMList->stop();
    m_listFirst = std::clamp(static_cast<int>(*f.chosenLine) - m_listRows / 2, 0,
                             std::max(0, static_cast<int>(lines.size()) - m_listRows));
  }
  MUser2_1->SetLines(lines);
  ShowListFrom(m_listFirst);
}

void TGetLuckMainForm::EndChoiceMarks() {
  CardsNow->SetChosen(-1);
  PGrand->Cards->SetChosen(-1);
  if (!m_revealLines.isEmpty() && MLuckNow->Lines() != m_revealLines) {
    MLuckNow->SetLines(m_revealLines);
    // The batch steps on while it is in sight: not under the summary nor behind a roll.
    if (m_revealCrawls && !m_stage.Busy() && m_stage.Phase() != TStagePhase::Summary)
      Crawl(MLuckNow);
  }
}

void TGetLuckMainForm::TMListTimer() {
  // A list that fits stands still; a longer one moves on by a whole line, and after its
  // last line starts again from the top.
  const int rows = MUser2_1->Rows();
  if (rows <= m_listRows) {
    m_listFirst = 0;
  } else {
    m_listFirst = m_listFirst + 1 > rows - m_listRows ? 0 : m_listFirst + 1;
  }
  ShowListFrom(m_listFirst);
}

void TGetLuckMainForm::ShowListFrom(int row) {
  MUser2_1->SetTop(-row * kListLine);
  MUser2_1->update();  // whole rows, painted afresh: no part of a line is left at an edge
}

void TGetLuckMainForm::Crawl(TScrollText* text) {
  m_crawling = text;
  TMListNow->start();
}

void TGetLuckMainForm::TMListNowTimer() {
  // A batch or a summary taller than its panel moves on by a whole row the same way.
  TScrollText* t = m_crawling;
  if (!t) return TMListNow->stop();
  const int line = t->LineHeight();
  const int shown =
      std::max(1, static_cast<int>(std::lround(t->height() / (line * m_design.Scale()))));
  const int rows = t->Rows();
  if (rows <= shown) {
    TMListNow->stop();
    return;
  }
  m_crawlRow = m_crawlRow + 1 > rows - shown ? 0 : m_crawlRow + 1;
  t->SetTop(-m_crawlRow * line);
}

void TGetLuckMainForm::SOutClick() { Run(m_stage.Leave()); }

void TGetLuckMainForm::closeEvent(QCloseEvent* e) {
  // A close from the window manager is the 结束 button; while a batch runs it is refused.
  if (m_closed) {
    e->accept();
    return;
  }
  e->ignore();
  Run(m_stage.Leave());
}

void TGetLuckMainForm::reject() {
  // Esc leaves a choice, not the screen.
  TStageFrame f = m_stage.Key(TStageKey::Esc);
  Run(f.taken ? std::move(f) : m_stage.Leave());
}

void TGetLuckMainForm::done(int r) {
  FormClose();
  TDrawScreenBase::done(r);
}

void TGetLuckMainForm::FormClose() {
  if (m_closed) return;
  m_closed = true;
  TMList->stop();
  TMListNow->stop();
  TMRoll->stop();
  TMLanding->stop();
  TMSummary->stop();
  Celebration->Stop();
  if (m_sound) m_sound->Stop();
  TMRemote->stop();
  if (m_console) {
    m_console->Release();
    m_console->close();
  }
  // The host's pairing ends with the screen.
  if (m_remote) m_remote->Detach();
  m_remote = nullptr;
  if (m_setUp) m_stage.Shut();
}

void TGetLuckMainForm::showEvent(QShowEvent* e) {
  // The background music is the roll's loop now (m_sound), not a piece for the whole screen.
  TDrawScreenBase::showEvent(e);
  // Once the screen stands where it goes.
  QTimer::singleShot(0, this, &TGetLuckMainForm::OpenConsole);
}

void TGetLuckMainForm::LayoutPanels() {
  Celebration->setGeometry(rect());
  if (PGrand->isVisible()) PGrand->setGeometry(rect());
  // The winners list stands in the middle, as wide as its lines need, with the prize picture
  // beside it when there is one; the pair is centred as one.
  const bool picture = !m_prizePicture.isNull() && IMGet->isVisibleTo(this);
  const int gap = 24;
  const int room = kListMaxWidth - (picture ? kPictureSize.width() + gap : 0);
  const int64_t lines =
      std::max(kListLinesWidth, kListByteWidth * static_cast<int64_t>(m_listWidest));
  const int width = static_cast<int>(std::clamp<int64_t>(lines + 24, kListMinWidth, room));
  const int group = width + (picture ? gap + kPictureSize.width() : 0);
  const int left = (kDesign.width() - group) / 2;
  m_listRows = (kListZoneBottom - kListZoneTop - 12) / kListLine;
  const int height = m_listRows * kListLine + 12;
  const int top = kListZoneTop + (kListZoneBottom - kListZoneTop - height) / 2;
  const QRect list(left, top, width, height);
  if (m_design.DesignRect(PUser2) != list) m_design.SetDesignRect(PUser2, list);
  if (picture) {
    const QRect pic(
        QPoint(left + width + gap,
               kListZoneTop + (kListZoneBottom - kListZoneTop - kPictureSize.height()) / 2),
        kPictureSize);
    if (m_design.DesignRect(IMGet) != pic) m_design.SetDesignRect(IMGet, pic);
  }
  // Whole lines only: the text is cut to the rows the panel holds.
  MUser2_1->setGeometry(QRect(kCardInset, m_design.Px(6), PUser2->width() - 2 * kCardInset,
                              m_design.Px(kListTop + m_listRows * kListLine)));
  MUser2_1->SetScale(m_design.Scale());
  PSummary->setVisible(PSummary->isVisible());
  MSummary->SetScale(m_design.Scale());
  MLuckNow->SetScale(m_design.Scale());
  if (PSummary->isVisible()) LayoutSummary();
  LayoutReveal();
  if (!m_prizePicture.isNull()) {
    IMGet->setPixmap(
        m_prizePicture.scaled(IMGet->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
  }
}
