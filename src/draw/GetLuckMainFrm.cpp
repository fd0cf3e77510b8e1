#include "draw/GetLuckMainFrm.h"

#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QToolButton>

#include "draw/DrawScreenArt.h"
#include "records/Global.h"
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
// The status colour: a light blue that reads on dark pictures as well as on light ones,
// with the text shadow.
const QColor kBlue(150, 205, 255);
constexpr int kListTop = 1;      // MUser2_1's top in its panel
constexpr int kListLine = 37;    // winners list line height
constexpr int kRevealLine = 69;  // reveal panel line height
constexpr int kRollTop = 300;
constexpr int kRollPixels = 93;  // 70 points

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
  b->setStyleSheet(
      QStringLiteral("QToolButton { color: white; background: rgba(120,0,0,110); border: 1px solid "
                     "rgba(255,215,120,170); border-radius: 4px; }"
                     "QToolButton:hover { background: rgba(200,30,30,170); }"
                     "QToolButton:disabled { color: rgba(255,255,255,110); border-color: "
                     "rgba(255,255,255,60); }"));
  return b;
}

QFrame* WhitePanel(QWidget* parent, const char* name) {
  auto* p = new QFrame(parent);
  p->setObjectName(QString::fromLatin1(name));
  p->setFrameStyle(QFrame::NoFrame);
  p->setAutoFillBackground(true);
  QPalette pal = p->palette();
  pal.setColor(QPalette::Window, Qt::white);
  p->setPalette(pal);
  return p;
}

QStringList ToQ(const std::vector<std::string>& lines, size_t from = 0) {
  QStringList out;
  out.reserve(static_cast<qsizetype>(lines.size() - std::min(from, lines.size())));
  for (size_t i = from; i < lines.size(); ++i) out << Q(lines[i]);
  return out;
}

}  // namespace

TGetLuckMainForm::TGetLuckMainForm(QWidget* parent, std::optional<uint32_t> seed)
    : TDrawScreenBase(parent, "GetLuckMainForm", kDesign, QStringLiteral("draw_background"), seed),
      m_engine(Rng()) {
  LbMain = TextLabel(this, "LbMain", QStringLiteral("隶书"));
  LbShowList = TextLabel(this, "LbShowList", QStringLiteral("隶书"));
  HintList = TextLabel(this, "HintList", QStringLiteral("隶书"));
  LGet = TextLabel(this, "LGet", QStringLiteral("隶书"));
  m_design.Add(LbMain, QRect(40, 80, 0, 0), 48);
  m_design.Add(LbShowList, QRect(40, 234, 0, 0), 24);
  m_design.Add(HintList, QRect(56, 418, 0, 0), 24);
  m_design.Add(LGet, QRect(56, 722, 0, 0), 24);
  for (QLabel* l : {LbMain, LbShowList, HintList, LGet}) AddTextShadow(l);

  SBegin = FlatButton(this, "SBegin", QStringLiteral("开始"));
  SContinue = FlatButton(this, "SContinue", QStringLiteral("继续"));
  SOut = FlatButton(this, "SOut", QStringLiteral("结束"));
  m_design.Add(SBegin, QRect(744, 413, 80, 28), 24);
  m_design.Add(SContinue, QRect(824, 413, 80, 28), 24);
  m_design.Add(SOut, QRect(904, 413, 80, 28), 24);
  SContinue->hide();

  PLuckNow = WhitePanel(this, "PLuckNow");
  m_design.Add(PLuckNow, QRect(36, 297, 952, 82));
  MLuckNow = new TScrollText(PLuckNow);
  MLuckNow->setObjectName(QStringLiteral("MLuckNow"));
  MLuckNow->SetFontFamily(QStringLiteral("宋体"), true);
  MLuckNow->SetTextColor(kMaroon);
  MLuckNow->SetLineHeight(kRevealLine);
  MLuckNow->SetLeft(4);
  MLuckNow->SetTop(3);

  PUser2 = WhitePanel(this, "PUser2");
  m_design.Add(PUser2, QRect(77, 506, 428, 207));
  PUser2->hide();
  MUser2_1 = new TScrollText(PUser2);
  MUser2_1->setObjectName(QStringLiteral("MUser2_1"));
  MUser2_1->SetFontFamily(QStringLiteral("宋体"), true);
  MUser2_1->SetTextColor(kMaroon);
  MUser2_1->SetLineHeight(kListLine);
  MUser2_1->SetLeft(2);
  MUser2_1->SetTop(kListTop);
  MUser2_1->SetLines({QString()});
  MUser2_1->hide();
  MUser2_1->onMouseUp = [this] { EKeyCtrl->setFocus(); };
  MLuckNow->onMouseUp = [this] { EKeyCtrl->setFocus(); };

  IMGet = new QLabel(this);
  IMGet->setObjectName(QStringLiteral("IMGet"));
  IMGet->setAlignment(Qt::AlignCenter);
  IMGet->setAttribute(Qt::WA_TranslucentBackground);
  m_design.Add(IMGet, QRect(560, 520, 209, 161));
  IMGet->hide();

  TMList = new QTimer(this);
  TMList->setInterval(30);
  TMListNow = new QTimer(this);
  TMListNow->setInterval(80);
  TMRoll = new QTimer(this);
  TMRoll->setInterval(70);
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

int TGetLuckMainForm::SetUpDraw() {
  SBegin->hide();
  TDataDraw::Failure failure;
  if (!m_engine.SetUp(global::CurrentTaskId, failure)) {
    ShowMessageBox(failure.kind, failure.text);
    return 0;
  }
  bool resumed = false;
  TDataDraw::BatchEnd resumedEnd;
  if (!SettleEarlierDraw(resumed, resumedEnd)) return 0;
  const TLuckTask& task = m_engine.Task();
  SetTextColour(task.FontColor);

  const bool numeric = m_engine.IsNumeric();
  for (int j = 0; j < m_engine.RollLabelCount(); ++j) {
    QLabel* l =
        TextLabel(this, "RollLabel", numeric ? QStringLiteral("隶书") : QStringLiteral("宋体"));
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, kMaroon);
    l->setPalette(pal);
    m_design.Add(l, QRect(numeric ? 50 + 45 * j : 40, kRollTop, 0, 0), kRollPixels);
    l->hide();
    RollLabels.push_back(l);
  }

  if (!LoadTaskPicture(task.MainImageName)) return 0;

  m_listBaseTop = MUser2_1->Top();
  SBegin->show();
  PUser2->setVisible(task.ShowLuck != 1);
  for (QLabel* l : {LbMain, LbShowList, HintList, LGet}) {
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, m_textColor);
    l->setPalette(pal);
  }
  SetShowList(Q(m_engine.ReadyText()), m_textColor);
  HintList->setText(Q(task.RemainText));
  LbMain->setText(Q(task.MainTitle));
  m_design.SetFontPixels(LbMain, qMax(1, task.FontSize) * 4 / 3);
  m_design.Fit(HintList);
  ShowPrize(0);
  if (resumed) ShowResumed(resumedEnd);
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
    case TDataDraw::Pending::Mismatch:
      ShowMessageBox(MessageKind::Attention, TDataDraw::MismatchText());
      break;
    case TDataDraw::Pending::None:
      break;
  }
  if (resumed) return true;
  if (!m_engine.SetAsidePending(error)) {
    ShowMessageBox(MessageKind::Error, error);
    return false;
  }
  return !m_engine.HasResults() || AskYesNo(Q(TDataDraw::ResultsQuestion())) == Answer::Yes;
}

void TGetLuckMainForm::ShowResumed(const TDataDraw::BatchEnd& end) {
  SyncWinnerList();
  SBegin->hide();
  SContinue->setVisible(!m_engine.Finished());
  SetShowList(Q(end.progressText), kBlue);
  const int last = static_cast<int>(m_engine.Items().size()) - 1;
  ShowPrize(std::min(m_engine.CurItemIndex(), last));
  const std::vector<std::string>& lines = m_engine.LastReveal();
  MLuckNow->SetLines(ToQ(lines));
  MLuckNow->SetTop(m_listBaseTop + 10);
  PLuckNow->show();
  if (lines.size() >= 2) TMListNow->start();
  if (m_engine.ShowsWinnersList()) MUser2_1->show();
  if (end.finished) ShowSaveResult(end);
}

void TGetLuckMainForm::ShowSaveResult(const TDataDraw::BatchEnd& end) {
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
  LayoutPanels();
}

void TGetLuckMainForm::SBeginClick() { StartBatch(); }
void TGetLuckMainForm::SContinueClick() { StartBatch(); }

void TGetLuckMainForm::StartBatch() {
  if (m_closed || !m_engine.BeginBatch()) return;
  EKeyCtrl->setFocus();
  TMList->stop();
  SBegin->hide();
  SContinue->hide();
  PLuckNow->hide();
  TMListNow->stop();
  // Selecting: the winners are fixed before anything rolls.
  SetShowList(Q(TDataDraw::SelectingText()), kBlue);
  MUser2_1->hide();
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
  // RevealBatch: the batch goes to the journal on disk, then its ids show, unmasked.
  const std::vector<std::string> lines = m_engine.RevealBatch();
  MLuckNow->SetLines(ToQ(lines));
  PLuckNow->show();
  MLuckNow->SetTop(m_listBaseTop + 10);
  if (lines.size() >= 2) {
    TMListNow->start();
  } else {
    TMListNow->stop();
  }
  HideRollLabels();
  MUser2_1->show();
  SOut->setEnabled(true);
  FinishBatch();
}

void TGetLuckMainForm::FinishBatch() {
  ShowJournalError();
  if (!m_exhaustedText.empty()) {
    ShowMessageBox(MessageKind::Attention, m_exhaustedText);
    m_exhaustedText.clear();
  }
  const TDataDraw::BatchEnd end = m_engine.EndBatch();
  if (end.finished) {
    SBegin->hide();
    SContinue->hide();
    SetShowList(Q(end.progressText), kBlue);
    ShowSaveResult(end);
    if (!end.saved) return;  // the winners list stays still
  } else {
    SBegin->hide();
    SContinue->show();
    SetShowList(Q(end.progressText), kBlue);
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
  const int width = m_engine.WinnerList().Width();
  QRect r = m_design.DesignRect(PUser2);
  // The list widens for long lines, but never past the right edge of the screen.
  const int wanted = std::min(width + 5, kDesign.width() - r.x());
  if (r.width() < wanted) {
    r.setWidth(wanted);
    m_design.SetDesignRect(PUser2, r);
    LayoutPanels();
  }
}

void TGetLuckMainForm::TMListTimer() {
  HideRollLabels();
  MUser2_1->show();
  if (MUser2_1->Top() < m_listBaseTop - MUser2_1->Height()) {
    MUser2_1->SetTop(m_listBaseTop);
  } else {
    MUser2_1->SetTop(MUser2_1->Top() - 1);
  }
}

void TGetLuckMainForm::TMListNowTimer() {
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
  StopMusic();
  if (!m_engine.IsSetUp()) return;
  global::CandidateLines.clear();
  global::CandidateLines.shrink_to_fit();
  global::CurrentItems.clear();
  global::WinnerRecords.clear();
  global::PresetEntries.clear();
}

void TGetLuckMainForm::showEvent(QShowEvent* e) {
  TDrawScreenBase::showEvent(e);
  if (m_engine.IsSetUp()) StartMusic(m_engine.Task().MusicFilePath);
}

void TGetLuckMainForm::LayoutPanels() {
  for (TScrollText* t : {MLuckNow, MUser2_1}) {
    t->setGeometry(t->parentWidget()->rect());
    t->SetScale(m_design.Scale());
  }
  if (!m_prizePicture.isNull()) {
    IMGet->setPixmap(
        m_prizePicture.scaled(IMGet->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
  }
}
