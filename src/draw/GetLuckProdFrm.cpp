#include "draw/GetLuckProdFrm.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QToolButton>

#include "draw/DrawScreenArt.h"
#include "records/Global.h"
#include "ui/Dialogs.h"
#include "ui/Fonts.h"
#include "ui/Qt.h"

namespace {

const QSize kDesign(1016, 701);

QLabel* HeiLabel(QWidget* parent, const char* name, int pixels) {
  auto* l = new QLabel(parent);
  l->setObjectName(QString::fromLatin1(name));
  l->setAttribute(Qt::WA_TranslucentBackground);
  l->setTextFormat(Qt::PlainText);
  l->setFont(UiFont(QStringLiteral("黑体"), pixels, true));
  return l;
}

QToolButton* HeiButton(QWidget* parent, const char* name, const QString& caption) {
  auto* b = new QToolButton(parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setText(caption);
  b->setAutoRaise(true);
  b->setCursor(Qt::PointingHandCursor);
  b->setFocusPolicy(Qt::NoFocus);
  b->setFont(UiFont(QStringLiteral("黑体"), 29, true));
  return b;
}

}  // namespace

TGetLuckProdForm::TGetLuckProdForm(QWidget* parent, std::optional<uint32_t> seed)
    : TDrawScreenBase(parent, "GetLuckProdForm", kDesign, QStringLiteral("prob_background"), seed),
      m_engine(Rng()) {
  LbMain = HeiLabel(this, "LbMain", 56);
  LLuck = HeiLabel(this, "LLuck", 80);
  LbShowList = HeiLabel(this, "LbShowList", 24);
  HintList = HeiLabel(this, "HintList", 24);
  HintList->hide();
  m_design.Add(LbMain, QRect(40, 88, 0, 0), 56);
  m_design.Add(LLuck, QRect(136, 312, 0, 0), 80);
  m_design.Add(LbShowList, QRect(40, 538, 0, 0), 24);
  m_design.Add(HintList, QRect(40, 418, 0, 0), 24);
  for (QLabel* l : {LbMain, LLuck, LbShowList}) AddTextShadow(l);

  SBegin = HeiButton(this, "SBegin", QStringLiteral("开始"));
  SContinue = HeiButton(this, "SContinue", QStringLiteral("确定"));
  SOut = HeiButton(this, "SOut", QStringLiteral("退出"));
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

int TGetLuckProdForm::SetUpDraw() {
  LLuck->clear();
  SBegin->hide();
  TProbDraw::Failure failure;
  if (!m_engine.SetUp(global::CurrentTaskId, failure)) {
    ShowMessageBox(failure.kind, failure.text);
    return 0;
  }
  const TLuckTask& task = global::CurrentTask;
  SetTextColour(task.FontColor);
  Fit(LbMain, Q(task.MainTitle));
  RollLabel = HeiLabel(this, "RollLabel", 93);
  m_design.Add(RollLabel, QRect(200, 300, 0, 0), 93);
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
  SBegin->show();
  m_setUp = true;
  return 1;
}

void TGetLuckProdForm::SBeginClick() {
  if (!m_setUp || m_engine.Rolling()) return;
  Fit(LbShowList, Q(TProbDraw::RollingText()));
  LLuck->clear();
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
  Fit(LLuck, Q(m_engine.Stop()));
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
  QDialog::done(r);
}

void TGetLuckProdForm::FormClose() {
  if (m_closed) return;
  m_closed = true;
  TMRoll->stop();
  StopMusic();
  if (!m_setUp) return;
  global::CandidateLines.clear();
  global::CurrentItems.clear();
  global::WinnerRecords.clear();
}

void TGetLuckProdForm::showEvent(QShowEvent* e) {
  TDrawScreenBase::showEvent(e);
  if (m_setUp) StartMusic(global::CurrentTask.MusicFilePath);
}
