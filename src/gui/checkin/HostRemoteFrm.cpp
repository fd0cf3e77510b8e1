#include "gui/checkin/HostRemoteFrm.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "core/checkin/CheckinService.h"
#include "gui/checkin/QrImage.h"
#include "gui/checkin/WholeWords.h"
#include "gui/stage/DrawScreenArt.h"
#include "gui/ui/Fonts.h"
#include "gui/ui/Qt.h"

THostRemoteFrm::THostRemoteFrm(TCheckinService& service, QWidget* parent)
    : QWidget(parent, Qt::Window), m_service(service), m_timer(new QTimer(this)) {
  setObjectName(QStringLiteral("HostRemoteFrm"));
  setWindowTitle(QStringLiteral("主持人遥控"));
  setFont(UiFont(QStringLiteral("MS Sans Serif"), 12));
  auto* layout = new QVBoxLayout(this);
  auto* hint = new QLabel(WholeWords(QStringLiteral(
                              "主持人用手机扫码，或打开下面的地址输入配对码。配对码只能用一次。")),
                          this);
  hint->setWordWrap(true);
  layout->addWidget(hint);
  LbCode = new QLabel(this);
  LbCode->setObjectName(QStringLiteral("LbCode"));
  LbCode->setFont(UiFont(StageFamily(), 26, true));
  LbCode->setAlignment(Qt::AlignCenter);
  LbCode->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(LbCode);
  LbQr = new QLabel(this);
  LbQr->setObjectName(QStringLiteral("LbQr"));
  LbQr->setFixedSize(240, 240);
  LbQr->setAlignment(Qt::AlignCenter);
  layout->addWidget(LbQr, 0, Qt::AlignHCenter);
  LbUrl = new QLabel(this);
  LbUrl->setObjectName(QStringLiteral("LbUrl"));
  LbUrl->setAlignment(Qt::AlignCenter);
  LbUrl->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(LbUrl);
  LbHost = new QLabel(this);
  LbHost->setObjectName(QStringLiteral("LbHost"));
  LbHost->setFont(UiFont(StageFamily(), 16, true));
  LbHost->setAlignment(Qt::AlignCenter);
  LbHost->setWordWrap(true);
  layout->addWidget(LbHost);
  LbWaiting = new QLabel(this);
  LbWaiting->setObjectName(QStringLiteral("LbWaiting"));
  LbWaiting->setWordWrap(true);
  LbWaiting->setStyleSheet(QStringLiteral("color:#b3150b;font-weight:bold"));
  layout->addWidget(LbWaiting);
  auto* ask = new QHBoxLayout;
  BtnAllow = new QPushButton(QStringLiteral("允许(&A)"), this);
  BtnAllow->setObjectName(QStringLiteral("BtnAllow"));
  BtnRefuse = new QPushButton(QStringLiteral("拒绝(&R)"), this);
  BtnRefuse->setObjectName(QStringLiteral("BtnRefuse"));
  ask->addWidget(BtnAllow);
  ask->addWidget(BtnRefuse);
  layout->addLayout(ask);
  auto* buttons = new QHBoxLayout;
  BtnUnpair = new QPushButton(QStringLiteral("解除配对(&U)"), this);
  BtnUnpair->setObjectName(QStringLiteral("BtnUnpair"));
  BtnRenew = new QPushButton(QStringLiteral("换一个配对码(&N)"), this);
  BtnRenew->setObjectName(QStringLiteral("BtnRenew"));
  buttons->addWidget(BtnUnpair);
  buttons->addWidget(BtnRenew);
  layout->addLayout(buttons);
  connect(BtnAllow, &QPushButton::clicked, this, &THostRemoteFrm::BtnAllowClick);
  connect(BtnRefuse, &QPushButton::clicked, this, &THostRemoteFrm::BtnRefuseClick);
  connect(BtnUnpair, &QPushButton::clicked, this, &THostRemoteFrm::BtnUnpairClick);
  connect(BtnRenew, &QPushButton::clicked, this, &THostRemoteFrm::BtnRenewClick);
  m_timer->setInterval(300);
  connect(m_timer, &QTimer::timeout, this, &THostRemoteFrm::ShowState);
  m_timer->start();
  ShowState();
}

void THostRemoteFrm::ShowState() {
  const bool running = m_service.Running();
  const std::string code = running ? m_service.Pairing().Code(net::TPairRole::Host) : "";
  net::TPairKey key;
  const bool keyed = running && m_service.Pairing().Key(net::TPairRole::Host, key);
  const net::TPairingView v = m_service.Pairing().View();
  // The key's address: a scan opens the host page and pairs at once; a browser never sends
  // the fragment.
  const QString url =
      keyed ? QString::fromStdString(net::PairAddress(m_service.Url() + "host", key)) : QString();
  if (url != m_shownUrl) {
    m_shownUrl = url;
    LbQr->setPixmap(url.isEmpty() ? QPixmap() : QPixmap::fromImage(QrImage(url, 5)));
    LbUrl->setText(running ? QString::fromStdString(m_service.Url() + "host") : QString());
  }
  LbCode->setText(running ? QString::fromStdString(net::ShownPairCode(code)) : QString());
  QString host;
  if (!running) {
    // The server runs once started in 扫码签到, also after the draw when check-in is over.
    host = QStringLiteral("服务未启动：请先在“扫码签到”窗口中启动");
  } else if (v.LockedSeconds > 0) {
    host = QStringLiteral("配对码输错太多次，暂停配对 %1 秒（换一个配对码可立即恢复）")
               .arg(v.LockedSeconds);
  } else if (v.HostPaired) {
    host = QStringLiteral("已配对主持人手机：") + QString::fromStdString(v.HostAddress);
  } else {
    host = QStringLiteral("尚未配对主持人手机");
  }
  LbHost->setText(WholeWords(host));
  LbWaiting->setText(v.HostWaiting
                         ? WholeWords(QStringLiteral("另一部手机（%1）请求成为主持人遥控器，"
                                                     "允许后原来的手机将被解除。")
                                          .arg(QString::fromStdString(v.WaitingAddress)))
                         : QString());
  LbWaiting->setVisible(v.HostWaiting);
  BtnAllow->setVisible(v.HostWaiting);
  BtnRefuse->setVisible(v.HostWaiting);
  BtnUnpair->setEnabled(v.HostPaired || v.HostWaiting);
  BtnRenew->setEnabled(running);
}

void THostRemoteFrm::BtnAllowClick() {
  m_service.Pairing().Allow();
  ShowState();
}

void THostRemoteFrm::BtnRefuseClick() {
  m_service.Pairing().Refuse();
  ShowState();
}

void THostRemoteFrm::BtnUnpairClick() {
  m_service.Pairing().Unpair(net::TPairRole::Host);
  ShowState();
}

void THostRemoteFrm::BtnRenewClick() {
  m_service.Pairing().Renew(net::TPairRole::Host);
  ShowState();
}
