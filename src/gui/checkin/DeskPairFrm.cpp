#include "gui/checkin/DeskPairFrm.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include "core/checkin/CheckinService.h"
#include "gui/checkin/QrImage.h"
#include "gui/checkin/WholeWords.h"
#include "gui/ui/Dialogs.h"
#include "gui/ui/Fonts.h"
#include "gui/ui/Qt.h"

TDeskPairFrm::TDeskPairFrm(TCheckinService& service, QWidget* parent)
    : QDialog(parent), m_service(service), m_timer(new QTimer(this)) {
  setObjectName(QStringLiteral("DeskPairFrm"));
  setWindowTitle(QStringLiteral("领奖台配对"));
  auto* layout = new QVBoxLayout(this);
  auto* hint = new QLabel(WholeWords(QStringLiteral(
                              "领奖台的手机扫描下面的二维码（或打开地址后输入配对码）即成为领奖台。"
                              "配对码只能用一次，每配对一台会换一个新码。")),
                          this);
  hint->setWordWrap(true);
  layout->addWidget(hint);
  LbCode = new QLabel(this);
  LbCode->setObjectName(QStringLiteral("LbCode"));
  LbCode->setFont(UiFont(QStringLiteral("黑体"), 24));
  LbCode->setAlignment(Qt::AlignCenter);
  LbCode->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(LbCode);
  LbQr = new QLabel(this);
  LbQr->setObjectName(QStringLiteral("LbQr"));
  LbQr->setAlignment(Qt::AlignCenter);
  LbQr->setMinimumSize(240, 240);
  layout->addWidget(LbQr, 0, Qt::AlignHCenter);
  LbUrl = new QLabel(this);
  LbUrl->setObjectName(QStringLiteral("LbUrl"));
  LbUrl->setAlignment(Qt::AlignCenter);
  LbUrl->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(LbUrl);
  LbDesks = new QLabel(this);
  LbDesks->setObjectName(QStringLiteral("LbDesks"));
  LbDesks->setAlignment(Qt::AlignCenter);
  layout->addWidget(LbDesks);
  auto* buttons = new QHBoxLayout;
  BtnRenew = new QPushButton(QStringLiteral("换一个配对码(&N)"), this);
  BtnRenew->setObjectName(QStringLiteral("BtnRenew"));
  BtnUnpair = new QPushButton(QStringLiteral("取消所有领奖台(&U)"), this);
  BtnUnpair->setObjectName(QStringLiteral("BtnUnpair"));
  buttons->addWidget(BtnRenew);
  buttons->addWidget(BtnUnpair);
  layout->addLayout(buttons);
  // The spare laptop follows the draw with a code of its own, typed there, never sent.
  auto* spareHead = new QLabel(QStringLiteral("热备跟随"), this);
  spareHead->setFont(UiFont(QStringLiteral("黑体"), 14));
  layout->addWidget(spareHead);
  LbSpareCode = new QLabel(this);
  LbSpareCode->setObjectName(QStringLiteral("LbSpareCode"));
  LbSpareCode->setFont(UiFont(QStringLiteral("黑体"), 22));
  LbSpareCode->setAlignment(Qt::AlignCenter);
  LbSpareCode->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(LbSpareCode);
  LbSpare = new QLabel(this);
  LbSpare->setObjectName(QStringLiteral("LbSpare"));
  LbSpare->setWordWrap(true);
  layout->addWidget(LbSpare);
  connect(BtnRenew, &QPushButton::clicked, this, &TDeskPairFrm::BtnRenewClick);
  connect(BtnUnpair, &QPushButton::clicked, this, &TDeskPairFrm::BtnUnpairClick);
  m_timer->setInterval(500);
  connect(m_timer, &QTimer::timeout, this, &TDeskPairFrm::ShowState);
  m_timer->start();
  ShowState();
}

void TDeskPairFrm::ShowState() {
  // The code is used up by each pairing: the window follows it.
  const QString url = QString::fromStdString(m_service.DeskPairUrl());
  if (url != m_shownUrl) {
    m_shownUrl = url;
    LbQr->setPixmap(url.isEmpty() ? QPixmap() : QPixmap::fromImage(QrImage(url, 5)));
    // The page's address to type; the key stays in the QR code alone.
    LbUrl->setText(url.isEmpty() ? QStringLiteral("签到服务未启动")
                                 : QString::fromStdString(m_service.Url() + "desk"));
  }
  const net::TPairingView v = m_service.Pairing().View();
  LbCode->setText(url.isEmpty() ? QString()
                                : QString::fromStdString(net::ShownPairCode(v.DeskCode)));
  size_t claimed = 0, prizes = 0;
  if (const auto desk = m_service.Claims()) {
    claimed = desk->ClaimedCount();
    prizes = desk->Prizes().size();
  }
  LbDesks->setText(
      QStringLiteral("已配对领奖台：%1 台　已领取：%2 / %3").arg(v.Desks).arg(claimed).arg(prizes));
  ShowSpare();
  BtnRenew->setEnabled(!url.isEmpty());
  BtnUnpair->setEnabled(v.Desks > 0);
}

void TDeskPairFrm::ShowSpare() {
  spare::TStageStream* stream = m_service.Spare();
  if (!stream) {
    LbSpareCode->clear();
    LbSpare->setText(QStringLiteral("签到服务未启动"));
    return;
  }
  LbSpareCode->setText(Q(stream->Code()));
  // The set-up goes to the spare when its code is first shown, and again as a draw opens.
  if (m_published != stream) {
    m_published = stream;
    std::string ignored;  // kept by the stream, shown below
    stream->PublishSetup(ignored);
  }
  const std::string setupError = stream->SetupError();
  QString note =
      QStringLiteral(
          "备用电脑打开“热备跟随…”，输入主机地址 %1 和上面的配对码。\n已应答备用电脑 %2 次。")
          .arg(QUrl(Q(m_service.Url())).authority())
          .arg(stream->Answered());
  if (!setupError.empty()) note += QStringLiteral("\n活动设置未能交给备用电脑：") + Q(setupError);
  LbSpare->setText(WholeWords(note));
}

void TDeskPairFrm::BtnRenewClick() {
  m_service.Pairing().Renew(net::TPairRole::Desk);
  ShowState();
}

void TDeskPairFrm::BtnUnpairClick() {
  if (AskYesNo(QStringLiteral("取消所有领奖台的配对吗？它们须重新配对才能登记领奖。"),
               Answer::No) != Answer::Yes)
    return;
  m_service.Pairing().Unpair(net::TPairRole::Desk);
  ShowState();
}
