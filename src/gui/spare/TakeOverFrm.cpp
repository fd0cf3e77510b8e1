#include "gui/spare/TakeOverFrm.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "gui/ui/Dialogs.h"
#include "gui/ui/Qt.h"

TTakeOverForm::TTakeOverForm(const spare::TTakeOverOffer& offer, QWidget* parent,
                             TMoveSource source)
    : QDialog(parent), m_offer(offer), m_source(source) {
  setObjectName(QStringLiteral("TTakeOverForm"));
  setWindowTitle(QStringLiteral("接管抽奖"));
  // Wide enough that the missing batches' sentence keeps to two lines.
  setMinimumWidth(440);
  auto* layout = new QVBoxLayout(this);
  const QString held = offer.Held == 0 ? QStringLiteral("尚无揭晓的批次")
                                       : QStringLiteral("第1至%1批").arg(offer.Held);
  const QString from =
      source == TMoveSource::Stream
          ? QStringLiteral("任务:%1\n热备跟随的主机:%2,最后同步于%3\n已同步揭晓:%4")
          : QStringLiteral("任务:%1\n接力包来自:%2,写于%3\n包中已揭晓:%4");
  LbOffer =
      new QLabel(from.arg(Q(offer.TaskName), Q(offer.Machine), Q(offer.WrittenAt), held), this);
  LbOffer->setObjectName(QStringLiteral("LbOffer"));
  layout->addWidget(LbOffer);
  auto* row = new QHBoxLayout;
  row->addWidget(new QLabel(QStringLiteral("台上(投影上)最后揭晓的是:第"), this));
  SeShown = new QSpinBox(this);
  SeShown->setObjectName(QStringLiteral("SeShown"));
  SeShown->setRange(0, offer.Held + 999);
  SeShown->setValue(offer.Held);
  row->addWidget(SeShown);
  row->addWidget(new QLabel(QStringLiteral("批"), this));
  row->addStretch(1);
  layout->addLayout(row);
  LbMissing = new QLabel(this);
  LbMissing->setObjectName(QStringLiteral("LbMissing"));
  LbMissing->setStyleSheet(QStringLiteral("color: #c00000;"));
  LbMissing->setWordWrap(true);
  layout->addWidget(LbMissing);
  CbRedraw = new QCheckBox(this);
  CbRedraw->setObjectName(QStringLiteral("CbRedraw"));
  layout->addWidget(CbRedraw);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  BtnTakeOver = new QPushButton(QStringLiteral("接管(&T)"), this);
  BtnTakeOver->setObjectName(QStringLiteral("BtnTakeOver"));
  BtnTakeOver->setDefault(true);
  BtnCancel = new QPushButton(QStringLiteral("取消"), this);
  BtnCancel->setObjectName(QStringLiteral("BtnCancel"));
  buttons->addWidget(BtnTakeOver);
  buttons->addWidget(BtnCancel);
  layout->addLayout(buttons);
  connect(SeShown, &QSpinBox::valueChanged, this, &TTakeOverForm::Refresh);
  connect(CbRedraw, &QCheckBox::toggled, this, &TTakeOverForm::Refresh);
  connect(BtnTakeOver, &QPushButton::clicked, this, &QDialog::accept);
  connect(BtnCancel, &QPushButton::clicked, this, &QDialog::reject);
  Refresh();
}

void TTakeOverForm::Refresh() {
  const int shown = SeShown->value();
  const bool missing = shown > m_offer.Held;
  LbMissing->setVisible(missing);
  CbRedraw->setVisible(missing);
  if (missing) {
    LbMissing->setText(Q(spare::MissingBatchesText(m_offer.Held, shown)));
    CbRedraw->setText(
        shown == m_offer.Held + 1
            ? QStringLiteral("确认第%1批在本机重新抽取").arg(shown)
            : QStringLiteral("确认第%1至%2批在本机重新抽取").arg(m_offer.Held + 1).arg(shown));
  } else {
    CbRedraw->setChecked(false);
  }
  BtnTakeOver->setEnabled(!missing || CbRedraw->isChecked());
}

spare::TTakeOverChoice TTakeOverForm::Choice() const {
  spare::TTakeOverChoice c;
  c.ShownBatch = SeShown->value();
  c.RedrawMissing = SeShown->value() > m_offer.Held && CbRedraw->isChecked();
  c.Source = m_source;
  return c;
}

bool RunTakeOver(QWidget* parent, const spare::TRelay& relay, TMoveSource source,
                 const std::string& time, int32_t& taskId) {
  taskId = 0;
  spare::TTakeOverOffer offer;
  std::string error;
  if (!spare::OfferOf(relay, offer, error)) {
    ShowMessageBox(MessageKind::Error, error);
    return false;
  }
  TTakeOverForm form(offer, parent, source);
  if (form.exec() != QDialog::Accepted) return false;
  spare::TTakeOverChoice choice = form.Choice();
  choice.Time = time;
  const QString question =
      source == TMoveSource::Stream
          ? QStringLiteral(
                "接管后本机继续抽奖，原主机不能再继续。\n在本机接管“%1”的抽奖,从第%2批接着抽?")
          : QStringLiteral(
                "在本机接管“%1”的抽奖,从第%2批接着抽?\n接管后台上电脑不能再继续这个抽奖。");
  if (AskYesNo(question.arg(Q(offer.TaskName)).arg(offer.Held + 1), Answer::No) != Answer::Yes)
    return false;
  std::string message;
  if (!spare::TakeOver(relay, choice, taskId, message)) {
    ShowMessageBox(MessageKind::Error, message);
    return false;
  }
  ShowMessageBox(MessageKind::Information, message);
  return true;
}
