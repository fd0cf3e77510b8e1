#include "gui/checkin/CheckinFrm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

#include "core/checkin/CheckinList.h"
#include "core/checkin/CheckinService.h"
#include "core/config/TaskCheckin.h"
#include "core/net/LanServer.h"
#include "core/net/LanSettings.h"
#include "core/records/Loaders.h"
#include "gui/checkin/CheckinScreen.h"
#include "gui/checkin/DeskPairFrm.h"
#include "gui/checkin/HostRemoteFrm.h"
#include "gui/checkin/QrImage.h"
#include "gui/checkin/WholeWords.h"
#include "gui/stage/DrawScreenArt.h"
#include "gui/ui/Dialogs.h"
#include "gui/ui/Fonts.h"
#include "gui/ui/Qt.h"

TCheckinFrm::TCheckinFrm(TCheckinService& service, int32_t taskId, const QString& taskName,
                         QWidget* parent)
    : QDialog(parent), m_service(service), m_taskId(taskId), m_timer(new QTimer(this)) {
  setObjectName(QStringLiteral("CheckinFrm"));
  setWindowTitle(QStringLiteral("扫码签到 - ") + taskName);
  setFont(UiFont(QStringLiteral("MS Sans Serif"), 12));
  auto* layout = new QVBoxLayout(this);
  auto* grid = new QGridLayout;
  grid->addWidget(new QLabel(QStringLiteral("地址："), this), 0, 0);
  CbAddress = new QComboBox(this);
  CbAddress->setObjectName(QStringLiteral("CbAddress"));
  for (const std::string& a : net::LocalIPv4Addresses())
    CbAddress->addItem(QString::fromStdString(a));
  grid->addWidget(CbAddress, 0, 1);
  grid->addWidget(new QLabel(QStringLiteral("端口："), this), 0, 2);
  SePort = new QSpinBox(this);
  SePort->setObjectName(QStringLiteral("SePort"));
  SePort->setRange(1, 65535);
  // The address and port of the task's last start: the QR codes printed for it still work.
  const net::TLanSettings stored = net::ReadLanSettings(taskId);
  if (const int at = CbAddress->findText(QString::fromStdString(stored.Address)); at >= 0)
    CbAddress->setCurrentIndex(at);
  SePort->setValue(stored.Port != 0 ? stored.Port
                                    : net::FreePort(CbAddress->currentText().toStdString()));
  grid->addWidget(SePort, 0, 3);
  BtnStart = new QPushButton(this);
  BtnStart->setObjectName(QStringLiteral("BtnStart"));
  grid->addWidget(BtnStart, 0, 4);
  layout->addLayout(grid);
  LbWarn = new QLabel(WholeWords(Q(checkin::LoopbackWarning())), this);
  LbWarn->setObjectName(QStringLiteral("LbWarn"));
  LbWarn->setWordWrap(true);
  LbWarn->setStyleSheet(QStringLiteral("color:#b3150b;font-weight:bold"));
  layout->addWidget(LbWarn);

  LbQr = new QLabel(this);
  LbQr->setObjectName(QStringLiteral("LbQr"));
  LbQr->setFixedSize(264, 264);
  LbQr->setAlignment(Qt::AlignCenter);
  layout->addWidget(LbQr, 0, Qt::AlignHCenter);
  LbUrl = new QLabel(this);
  LbUrl->setObjectName(QStringLiteral("LbUrl"));
  LbUrl->setFont(UiFont(StageFamily(), 22, true));
  LbUrl->setAlignment(Qt::AlignCenter);
  LbUrl->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(LbUrl);
  LbCount = new QLabel(this);
  LbCount->setObjectName(QStringLiteral("LbCount"));
  LbCount->setFont(UiFont(StageFamily(), 20, true));
  LbCount->setAlignment(Qt::AlignCenter);
  layout->addWidget(LbCount);
  LbState = new QLabel(this);
  LbState->setObjectName(QStringLiteral("LbState"));
  LbState->setAlignment(Qt::AlignCenter);
  LbState->setWordWrap(true);
  layout->addWidget(LbState);
  CbCheckinOnly = new QCheckBox(QStringLiteral("仅抽取已签到人员(&O)"), this);
  CbCheckinOnly->setObjectName(QStringLiteral("CbCheckinOnly"));
  bool checkinOnly = false;
  std::string error;
  LoadCheckinOnly(taskId, checkinOnly, error);
  CbCheckinOnly->setChecked(checkinOnly);
  layout->addWidget(CbCheckinOnly);
  auto* wifi = new QHBoxLayout;
  wifi->addWidget(new QLabel(QStringLiteral("Wi-Fi 名称："), this));
  EdWifiName = new QLineEdit(this);
  EdWifiName->setObjectName(QStringLiteral("EdWifiName"));
  EdWifiName->setMaxLength(32);
  wifi->addWidget(EdWifiName, 1);
  wifi->addWidget(new QLabel(QStringLiteral("密码："), this));
  EdWifiPassword = new QLineEdit(this);
  EdWifiPassword->setObjectName(QStringLiteral("EdWifiPassword"));
  EdWifiPassword->setMaxLength(63);
  wifi->addWidget(EdWifiPassword, 1);
  layout->addLayout(wifi);
  layout->addWidget(new QLabel(QStringLiteral("因多次输错而暂停签到的号码和地址："), this));
  auto* locks = new QHBoxLayout;
  LwLocks = new QListWidget(this);
  LwLocks->setObjectName(QStringLiteral("LwLocks"));
  LwLocks->setFixedHeight(72);
  locks->addWidget(LwLocks, 1);
  BtnLift = new QPushButton(QStringLiteral("解除(&L)"), this);
  BtnLift->setObjectName(QStringLiteral("BtnLift"));
  locks->addWidget(BtnLift, 0, Qt::AlignTop);
  layout->addLayout(locks);
  BtnScreen = new QPushButton(QStringLiteral("签到屏幕(&S)"), this);
  BtnScreen->setObjectName(QStringLiteral("BtnScreen"));
  BtnHost = new QPushButton(QStringLiteral("主持人遥控(&H)"), this);
  BtnHost->setObjectName(QStringLiteral("BtnHost"));
  BtnDesks = new QPushButton(QStringLiteral("领奖台配对(&D)"), this);
  BtnDesks->setObjectName(QStringLiteral("BtnDesks"));
  auto* screens = new QHBoxLayout;
  screens->addWidget(BtnScreen, 1);
  screens->addWidget(BtnHost, 1);
  screens->addWidget(BtnDesks, 1);
  layout->addLayout(screens);

  connect(BtnStart, &QPushButton::clicked, this, &TCheckinFrm::BtnStartClick);
  connect(BtnScreen, &QPushButton::clicked, this, &TCheckinFrm::BtnScreenClick);
  connect(BtnDesks, &QPushButton::clicked, this, &TCheckinFrm::BtnDesksClick);
  connect(BtnHost, &QPushButton::clicked, this, &TCheckinFrm::BtnHostClick);
  connect(CbCheckinOnly, &QCheckBox::clicked, this, &TCheckinFrm::CbCheckinOnlyClick);
  connect(BtnLift, &QPushButton::clicked, this, &TCheckinFrm::BtnLiftClick);
  connect(CbAddress, &QComboBox::currentTextChanged, this, [this](const QString& a) {
    if (!m_service.Running()) SePort->setValue(net::FreePort(a.toStdString()));
    LbWarn->setVisible(net::IsLoopback(a.toStdString()));
  });
  EdWifiName->setText(Q(stored.WifiName));
  EdWifiPassword->setText(Q(stored.WifiPassword));
  if (!m_service.Running() || m_service.TaskId() == taskId)
    m_service.SetWifi(stored.WifiName, stored.WifiPassword);
  // Noted a moment after the typing stops, not at every key.
  m_wifiSave = new QTimer(this);
  m_wifiSave->setSingleShot(true);
  m_wifiSave->setInterval(500);
  connect(m_wifiSave, &QTimer::timeout, this, [this] {
    std::string error;
    if (!TCheckinService::RememberWifi(m_taskId, FromQ(EdWifiName->text()),
                                       FromQ(EdWifiPassword->text()), error))
      ShowMessageBox(MessageKind::Error, error);
  });
  const auto wifiChanged = [this] {
    m_service.SetWifi(FromQ(EdWifiName->text()), FromQ(EdWifiPassword->text()));
    m_wifiSave->start();
  };
  connect(EdWifiName, &QLineEdit::textChanged, this, wifiChanged);
  connect(EdWifiPassword, &QLineEdit::textChanged, this, wifiChanged);
  LbWarn->setVisible(net::IsLoopback(CbAddress->currentText().toStdString()));
  m_drawFixed = checkin::DrawFixed(taskId);
  m_wasRunning = m_service.Running();
  m_timer->setInterval(300);
  connect(m_timer, &QTimer::timeout, this, &TCheckinFrm::ShowState);
  m_timer->start();
  ShowState();
}

TCheckinFrm::~TCheckinFrm() {
  // Typing not yet noted is noted now.
  if (m_wifiSave->isActive()) {
    m_wifiSave->stop();
    std::string error;
    TCheckinService::RememberWifi(m_taskId, FromQ(EdWifiName->text()),
                                  FromQ(EdWifiPassword->text()), error);
  }
  delete m_host;
}

void TCheckinFrm::BtnHostClick() {
  if (!m_host) m_host = new THostRemoteFrm(m_service);
  m_host->show();
  m_host->raise();
  m_host->activateWindow();
}

void TCheckinFrm::BtnStartClick() {
  if (m_service.Running() && m_service.TaskId() == m_taskId) {
    m_service.StopByOperator();
  } else {
    std::string error;
    if (!m_service.Start(m_taskId, CbAddress->currentText().toStdString(),
                         static_cast<uint16_t>(SePort->value()), error))
      ShowMessageBox(MessageKind::Warning, error);
    else if (!m_service.SettingsError().empty())
      ShowMessageBox(MessageKind::Warning,
                     checkin::SettingsNotKeptText() + m_service.SettingsError());
  }
  ShowState();
}

void TCheckinFrm::BtnScreenClick() {
  if (!m_screen) {
    m_screen = new TCheckinScreen(m_service, this);
    m_screen->setAttribute(Qt::WA_DeleteOnClose, false);
  }
  ShowOnWholeScreen(m_screen);
  m_screen->show();
  m_screen->raise();
}

void TCheckinFrm::BtnDesksClick() {
  if (!m_desks) m_desks = new TDeskPairFrm(m_service, this);
  m_desks->show();
  m_desks->raise();
  m_desks->activateWindow();
}

void TCheckinFrm::ShowState() {
  const bool mine = m_service.Running() && m_service.TaskId() == m_taskId;
  if (m_service.Running() != m_wasRunning) {
    m_wasRunning = m_service.Running();
    m_drawFixed = checkin::DrawFixed(m_taskId);
  }
  const bool closed = mine ? !m_service.DeskOpen() : m_drawFixed;
  BtnStart->setText(
      mine ? (closed ? QStringLiteral("停止服务(&T)") : QStringLiteral("停止签到(&T)"))
           : (closed ? QStringLiteral("启动服务(&B)") : QStringLiteral("开始签到(&B)")));
  CbAddress->setEnabled(!m_service.Running());
  SePort->setEnabled(!m_service.Running());
  BtnScreen->setEnabled(mine);
  BtnDesks->setEnabled(mine);
  const QString url = mine ? QString::fromStdString(m_service.Url()) : QString();
  if (url != m_shownUrl) {
    m_shownUrl = url;
    LbQr->setPixmap(url.isEmpty() ? QPixmap() : QPixmap::fromImage(QrImage(url, 6)));
    LbUrl->setText(url);
  }
  const checkin::TCheckinView v = m_service.Desk().View();
  LbCount->setText(mine ? Q(checkin::CountText(v.CheckedIn, v.Total, v.CheckedInIds)) : QString());
  const checkin::TDeskState state =
      !mine ? (m_drawFixed ? checkin::TDeskState::StoppedAfterDraw : checkin::TDeskState::Stopped)
      : m_service.DeskOpen() ? checkin::TDeskState::Open
                             : checkin::TDeskState::ClosedForDraw;
  LbState->setText(WholeWords(Q(checkin::StateText(state))));
  std::vector<checkin::TCheckinLock> locks;
  if (mine) locks = m_service.Desk().Locks();
  if (locks != m_shownLocks) {
    // Rebuilt as the seconds run down; the selection stays on its key.
    const QString selected =
        LwLocks->currentItem() ? LwLocks->currentItem()->data(Qt::UserRole).toString() : QString();
    LwLocks->clear();
    for (const checkin::TCheckinLock& l : locks) {
      auto* item = new QListWidgetItem(Q(checkin::LockText(l)), LwLocks);
      item->setData(Qt::UserRole, Q(l.Key));
      item->setData(Qt::UserRole + 1, l.IsId);
      if (Q(l.Key) == selected) LwLocks->setCurrentItem(item);
    }
    m_shownLocks = std::move(locks);
  }
  BtnLift->setEnabled(!m_shownLocks.empty());
}

void TCheckinFrm::BtnLiftClick() {
  QListWidgetItem* item = LwLocks->currentItem();
  if (!item && LwLocks->count() > 0) item = LwLocks->item(0);
  if (!item) return;
  m_service.Desk().Lift(FromQ(item->data(Qt::UserRole).toString()),
                        item->data(Qt::UserRole + 1).toBool());
  ShowState();
}

void TCheckinFrm::CbCheckinOnlyClick(bool checked) {
  std::string error;
  if (!config::SaveCheckinOnly(m_taskId, checked, error)) {
    ShowMessageBox(MessageKind::Error, error);
    CbCheckinOnly->setChecked(!checked);
  }
}
