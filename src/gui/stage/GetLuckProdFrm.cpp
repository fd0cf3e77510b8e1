#include "gui/stage/GetLuckProdFrm.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGraphicsDropShadowEffect>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QToolButton>

#include "core/draw/StageText.h"
#include "gui/stage/DrawScreenArt.h"
#include "gui/ui/Dialogs.h"
#include "gui/ui/Fonts.h"
#include "gui/ui/Qt.h"
#include "gui/ui/ScrollText.h"

namespace {

const QSize kDesign(1016, 701);
// The roll and the result share one stage on the left; the prize ladder stands beside it.
// The roll and the result share the background's dark band (282 to 432); a won item's
// picture stands at the band's right end; the prize ladder lies under the band.
const QRect kStage(40, 284, 936, 146);
const QRect kResultWithPicture(40, 284, 640, 146);
const QRect kPicture(700, 290, 276, 134);
const QRect kLadder(40, 446, 936, 86);
constexpr int kWinPixels = 96;
constexpr int kLossPixels = 64;
const QColor kGold(255, 214, 64);
const QColor kMaroon(128, 0, 0);

}  // namespace

TGetLuckProdForm::TGetLuckProdForm(TDrawSession& session, QWidget* parent,
                                   std::optional<uint32_t> seed)
    : TDrawScreenBase(parent, "GetLuckProdForm", kDesign, QStringLiteral("prob_background"), seed),
      m_engine(session, Rng()) {
  LbMain = StageLabel(this, "LbMain", 56);
  LLuck = StageLabel(this, "LLuck", 80);
  LbShowList = StageLabel(this, "LbShowList", 24);
  HintList = StageLabel(this, "HintList", 24);
  HintList->hide();
  m_design.Add(LbMain, QRect(40, 88, 0, 0), 56);
  LLuck->setAlignment(Qt::AlignCenter);
  m_design.Add(LLuck, kStage, kLossPixels);
  m_design.Add(LbShowList, QRect(40, 544, 0, 0), 24);
  m_design.Add(HintList, QRect(40, 418, 0, 0), 24);
  m_design.SetFitBox(LbMain, QSize(800, 180));
  m_design.SetFitBox(LLuck, kStage.size());
  m_design.SetFitBox(LbShowList, QSize(560, 44));
  for (QLabel* l : {LbMain, LLuck, LbShowList}) AddTextShadow(l);

  IMLuck = new QLabel(this);
  IMLuck->setObjectName(QStringLiteral("IMLuck"));
  IMLuck->setAlignment(Qt::AlignCenter);
  IMLuck->setAttribute(Qt::WA_TranslucentBackground);
  m_design.Add(IMLuck, kPicture);
  IMLuck->hide();

  PLadder = new QFrame(this);
  PLadder->setObjectName(QStringLiteral("PLadder"));
  PLadder->setStyleSheet(
      QStringLiteral("QFrame#PLadder { background: rgba(255, 248, 232, 225); border: 2px solid "
                     "rgba(232, 178, 64, 235); border-radius: 10px; }"));
  m_design.Add(PLadder, kLadder);
  MLadder = new TScrollText(PLadder);
  MLadder->setObjectName(QStringLiteral("MLadder"));
  MLadder->SetFontFamily(StageFamily(), true);
  MLadder->SetTextColor(kMaroon);
  MLadder->SetLeft(12);
  MLadder->SetShrinkToWidth(true);
  PLadder->hide();

  SBegin = StageButton(this, "SBegin", QStringLiteral("开始"), 29);
  SContinue = StageButton(this, "SContinue", QStringLiteral("确定"), 29);
  SOut = StageButton(this, "SOut", QStringLiteral("退出"), 29);
  m_design.Add(SBegin, QRect(608, 589, 90, 40), 29);
  m_design.Add(SContinue, QRect(736, 589, 90, 40), 29);
  m_design.Add(SOut, QRect(856, 589, 90, 40), 29);
  SContinue->setEnabled(false);

  TMRoll = new QTimer(this);
  TMRoll->setInterval(70);
  connect(TMRoll, &QTimer::timeout, this, &TGetLuckProdForm::RollTick);
  connect(SBegin, &QToolButton::clicked, this, &TGetLuckProdForm::SBeginClick);
  connect(SContinue, &QToolButton::clicked, this, &TGetLuckProdForm::SContinueClick);
  connect(SOut, &QToolButton::clicked, this, &TGetLuckProdForm::SOutClick);
  RollLabel = nullptr;
}

TGetLuckProdForm::~TGetLuckProdForm() { FormClose(); }

void TGetLuckProdForm::Fit(QLabel* l, const QString& text) {
  l->setText(text);
  m_design.Fit(l);
}

int TGetLuckProdForm::SetUpDraw(int32_t taskId) {
  LLuck->clear();
  SBegin->hide();
  TProbDraw::Failure failure;
  if (!m_engine.SetUp(taskId, failure)) {
    ShowMessageBox(failure.kind, failure.text);
    return 0;
  }
  const TLuckTask& task = m_engine.Task();
  SetTextColour(task.FontColor);
  SetTitleText(m_design, LbMain, Q(task.MainTitle));
  RollLabel = StageLabel(this, "RollLabel", 93);
  RollLabel->setAlignment(Qt::AlignCenter);
  m_design.Add(RollLabel, kStage, 93);
  m_design.SetFitBox(RollLabel, kStage.size());
  RollLabel->hide();
  AddTextShadow(RollLabel);

  if (!LoadTaskPicture(task.MainImageName)) return 0;
  for (QWidget* w : std::initializer_list<QWidget*>{LbMain, HintList, LbShowList, LLuck, RollLabel,
                                                    SBegin, SContinue, SOut}) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::WindowText, m_textColor);
    pal.setColor(QPalette::ButtonText, m_textColor);
    w->setPalette(pal);
  }
  const QString c = m_textColor.name();
  for (QToolButton* b : {SBegin, SContinue, SOut}) {
    b->setStyleSheet(
        QStringLiteral("QToolButton { color: %1; background: rgba(0,0,0,70); border: 1px solid "
                       "rgba(255,215,120,170); border-radius: 5px; }"
                       "QToolButton:hover { background: rgba(200,30,30,170); }"
                       "QToolButton:disabled { color: rgba(255,255,255,90); border-color: "
                       "rgba(255,255,255,50); }")
            .arg(c));
  }
  Fit(LbShowList, Q(TProbDraw::ReadyText()));

  // The ladder: each prize item with what it is, in draw order, as large as fits.
  QStringList ladder;
  for (const std::string& line : m_engine.LadderLines()) ladder << Q(line);
  MLadder->SetLines(ladder);
  // In as many columns as give the largest type.
  const int n = std::max(1, static_cast<int>(ladder.size()));
  int best = 0, bestColumns = 1;
  for (int c = 1; c <= 4; ++c) {
    const int rows = (n + c - 1) / c;
    int l = std::min(34, (kLadder.height() - 10) / rows);
    const double column = (kLadder.width() - 24.0) / c;
    const double wide = MLadder->WidestLine(l);
    if (wide > column - 8) l = static_cast<int>(l * (column - 8) / wide);
    if (l > best) {
      best = l;
      bestColumns = c;
    }
  }
  MLadder->SetColumns(bestColumns);
  MLadder->SetLineHeight(std::max(10, best));
  MLadder->SetTop((kLadder.height() - MLadder->Height()) / 2);
  PLadder->setVisible(!ladder.isEmpty());
  LayoutChanged();

  SBegin->show();
  m_setUp = true;
  return 1;
}

QRect TGetLuckProdForm::EnterArea() const { return kStage; }

void TGetLuckProdForm::LayoutChanged() {
  MLadder->setGeometry(PLadder->rect());
  MLadder->SetScale(m_design.Scale());
  if (!m_wonPicture.isNull())
    IMLuck->setPixmap(
        m_wonPicture.scaled(IMLuck->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

void TGetLuckProdForm::ShowResult(int wonItem, const QString& text) {
  // A win is large, gold and glowing, with its prize picture; a loss is smaller and plain.
  m_wonItem = wonItem;
  m_wonPicture = QPixmap();
  if (wonItem >= 0) {
    QImage picture;
    const std::string& path = m_engine.Items()[static_cast<size_t>(wonItem)].AwardImageName;
    if (!path.empty() && picture.load(Q(path))) m_wonPicture = QPixmap::fromImage(picture);
  }
  const bool won = wonItem >= 0;
  QPalette pal = LLuck->palette();
  pal.setColor(QPalette::WindowText, won ? kGold : m_textColor);
  LLuck->setPalette(pal);
  if (auto* glow = qobject_cast<QGraphicsDropShadowEffect*>(LLuck->graphicsEffect())) {
    glow->setColor(won ? QColor(255, 60, 0, 230) : QColor(0, 0, 0, 190));
    glow->setBlurRadius(won ? 28 : 8);
    glow->setOffset(won ? 0 : 2, won ? 0 : 2);
  }
  const QRect area = m_wonPicture.isNull() ? kStage : kResultWithPicture;
  m_design.SetDesignRect(LLuck, area);
  m_design.SetFitBox(LLuck, area.size());
  m_design.SetFontPixels(LLuck, won ? kWinPixels : kLossPixels);
  SetTitleText(m_design, LLuck, text, QChar(0xFF0C));  // after the full-width comma
  IMLuck->setVisible(!m_wonPicture.isNull());
  LayoutChanged();
}

void TGetLuckProdForm::SBeginClick() {
  if (!m_setUp || m_engine.Rolling()) return;
  Fit(LbShowList, Q(TProbDraw::RollingText()));
  LLuck->clear();
  IMLuck->hide();
  SOut->setEnabled(false);
  SBegin->setEnabled(false);
  SContinue->setEnabled(true);
  m_engine.Press();
  RollTick();
  TMRoll->start();
}

void TGetLuckProdForm::RollTick() {
  if (!m_engine.Rolling()) return;
  Fit(RollLabel, Q(m_engine.RollText()));
  RollLabel->show();
}

void TGetLuckProdForm::SContinueClick() {
  if (!m_engine.Rolling()) return;
  TMRoll->stop();
  RollLabel->hide();
  SOut->setEnabled(true);
  SBegin->setEnabled(true);
  SContinue->setEnabled(false);
  const QString result = Q(StagePunctuation(m_engine.Stop()));
  ShowResult(m_engine.WonItem(m_engine.DrawNumber()), result);
  Fit(LbShowList, Q(TProbDraw::ReadyText()));
}

void TGetLuckProdForm::EKeyCtrlKeyPress() {
  if (m_engine.Rolling()) {
    SContinueClick();
  } else {
    SBeginClick();
  }
}

void TGetLuckProdForm::SOutClick() {
  if (m_engine.Rolling()) return;
  done(QDialog::Accepted);
}

void TGetLuckProdForm::closeEvent(QCloseEvent* e) {
  if (m_engine.Rolling() && !m_closed) {
    e->ignore();  // the roll still reads the prize items
    return;
  }
  e->accept();
  FormClose();
}

void TGetLuckProdForm::reject() { SOutClick(); }

void TGetLuckProdForm::done(int r) {
  FormClose();
  TDrawScreenBase::done(r);
}

void TGetLuckProdForm::FormClose() {
  if (m_closed) return;
  m_closed = true;
  TMRoll->stop();
  StopMusic();
  if (!m_setUp) return;
  m_engine.Close();
}

void TGetLuckProdForm::showEvent(QShowEvent* e) {
  TDrawScreenBase::showEvent(e);
  if (m_setUp) StartMusic(m_engine.Task().MusicFilePath);
}
