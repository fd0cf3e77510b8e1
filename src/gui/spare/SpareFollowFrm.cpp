#include "gui/spare/SpareFollowFrm.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <ctime>

#include "core/spare/Relay.h"
#include "core/text/Format.h"
#include "core/text/Paths.h"
#include "gui/spare/TakeOverFrm.h"
#include "gui/ui/Dialogs.h"
#include "gui/ui/Fonts.h"
#include "gui/ui/Qt.h"

namespace {

constexpr int kPollMs = 1000;
// A request that has had no answer by then is given up; the next poll asks again.
constexpr int kRequestMs = 4000;
constexpr uint16_t kDefaultPort = 8080;
// How often the old stage is told it was taken over, until it answers or the window closes.
constexpr int kTellMs = 3000;

}  // namespace

TSpareFollowFrm::TSpareFollowFrm(QWidget* parent)
    : QDialog(parent),
      m_net(new QNetworkAccessManager(this)),
      m_timer(new QTimer(this)),
      m_tellTimer(new QTimer(this)) {
  setObjectName(QStringLiteral("SpareFollowFrm"));
  setWindowTitle(QStringLiteral("热备跟随"));
  m_clock.start();
  m_now = [this] { return m_clock.elapsed(); };
  auto* layout = new QVBoxLayout(this);
  auto* hint =
      new QLabel(QStringLiteral("本机作为备用电脑，随时跟上主机的抽奖进度。主机的地址和配对码在主机"
                                "“扫码签到”窗口的“领奖台配对”里，标为“热备跟随”。"),
                 this);
  hint->setWordWrap(true);
  layout->addWidget(hint);
  auto* form = new QFormLayout;
  EdAddress = new QLineEdit(this);
  EdAddress->setObjectName(QStringLiteral("EdAddress"));
  EdAddress->setPlaceholderText(QStringLiteral("例如 192.168.1.20:8080"));
  EdCode = new QLineEdit(this);
  EdCode->setObjectName(QStringLiteral("EdCode"));
  EdCode->setPlaceholderText(QStringLiteral("16 个字符，例如 ABCD EFGH JKMN PQRS"));
  EdCode->setFont(UiFont(QStringLiteral("黑体"), 14));
  form->addRow(QStringLiteral("主机地址："), EdAddress);
  form->addRow(QStringLiteral("配对码："), EdCode);
  layout->addLayout(form);
  BtnFollow = new QPushButton(QStringLiteral("开始跟随(&F)"), this);
  BtnFollow->setObjectName(QStringLiteral("BtnFollow"));
  BtnTakeOver = new QPushButton(QStringLiteral("接管(&T)"), this);
  BtnTakeOver->setObjectName(QStringLiteral("BtnTakeOver"));
  BtnTakeOver->setToolTip(QStringLiteral("主机坏了：在本机从备用文件夹接着抽奖"));
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(BtnFollow, 1);
  buttons->addWidget(BtnTakeOver);
  layout->addLayout(buttons);
  LbStatus = new QLabel(this);
  LbStatus->setObjectName(QStringLiteral("LbStatus"));
  LbStatus->setFont(UiFont(QStringLiteral("黑体"), 14));
  LbStatus->setWordWrap(true);
  LbStatus->setMinimumHeight(48);
  LbStatus->setAlignment(Qt::AlignCenter);
  LbStatus->setAutoFillBackground(true);
  layout->addWidget(LbStatus);
  LbNote = new QLabel(this);
  LbNote->setObjectName(QStringLiteral("LbNote"));
  LbNote->setWordWrap(true);
  LbNote->setStyleSheet(QStringLiteral("color: #b00000"));
  layout->addWidget(LbNote);
  LbFolder = new QLabel(this);
  LbFolder->setObjectName(QStringLiteral("LbFolder"));
  LbFolder->setWordWrap(true);
  LbFolder->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(LbFolder);
  setMinimumWidth(520);
  connect(BtnFollow, &QPushButton::clicked, this, &TSpareFollowFrm::BtnFollowClick);
  connect(BtnTakeOver, &QPushButton::clicked, this, &TSpareFollowFrm::BtnTakeOverClick);
  m_tellTimer->setInterval(kTellMs);
  connect(m_tellTimer, &QTimer::timeout, this, &TSpareFollowFrm::TellStage);
  m_timer->setInterval(kPollMs);
  connect(m_timer, &QTimer::timeout, this, &TSpareFollowFrm::Poll);
  ShowState();
}

TSpareFollowFrm::~TSpareFollowFrm() {
  m_tellTimer->stop();
  Stop();
}

QString TSpareFollowFrm::BaseUrl() const {
  QString a = EdAddress->text().trimmed();
  if (a.startsWith(QStringLiteral("http://"))) a = a.mid(7);
  while (a.endsWith(QLatin1Char('/'))) a.chop(1);
  if (!a.contains(QLatin1Char(':'))) a += QStringLiteral(":%1").arg(kDefaultPort);
  const QUrl url(QStringLiteral("http://") + a + QLatin1Char('/'));
  return url.isValid() && !url.host().isEmpty() ? url.toString() : QString();
}

void TSpareFollowFrm::Stop() {
  m_timer->stop();
  m_following = false;
  if (m_inFlight) {
    QNetworkReply* r = m_inFlight;
    m_inFlight = nullptr;
    r->disconnect(this);
    r->abort();
    r->deleteLater();
  }
}

void TSpareFollowFrm::BtnFollowClick() {
  if (m_following || m_inFlight) {
    Stop();
    m_note.clear();
    ShowState();
    return;
  }
  const QString base = BaseUrl();
  if (base.isEmpty()) {
    ShowMessageBox(MessageKind::Warning, QStringLiteral("请输入主机地址，例如 192.168.1.20:8080"));
    return;
  }
  std::string code, error;
  if (!spare::ReadTypedCode(FromQ(EdCode->text()), code, error)) {
    ShowMessageBox(MessageKind::Warning, Q(error));
    return;
  }
  // The greeting names the stage's task and salt; the code is checked by the first answer.
  QNetworkRequest q(QUrl(base + QStringLiteral("spare/hello")));
  q.setTransferTimeout(kRequestMs);
  m_inFlight = m_net->get(q);
  connect(m_inFlight, &QNetworkReply::finished, this, [this, r = m_inFlight] { HelloDone(r); });
  m_note = QStringLiteral("正在连接主机…");
  ShowState();
}

void TSpareFollowFrm::HelloDone(QNetworkReply* reply) {
  reply->deleteLater();
  if (reply != m_inFlight) return;
  m_inFlight = nullptr;
  const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  if (reply->error() != QNetworkReply::NoError && status == 0) {
    m_note.clear();
    ShowState();
    ShowMessageBox(MessageKind::Warning,
                   QStringLiteral("连不上主机：") + reply->errorString() +
                       QStringLiteral("。请核对主机地址，并确认主机的扫码签到服务已启动。"));
    return;
  }
  auto follower = std::make_unique<spare::TFollower>(paths::DataRoot());
  std::string error;
  if (!follower->Begin(reply->readAll().toStdString(), FromQ(EdCode->text()), m_now(), error)) {
    m_note.clear();
    ShowState();
    ShowMessageBox(MessageKind::Warning, Q(error));
    return;
  }
  m_follower = std::move(follower);
  m_following = true;
  m_note.clear();
  m_timer->start();
  Poll();
}

void TSpareFollowFrm::Poll() {
  if (m_following && m_follower && !m_inFlight) {
    std::string message, error;
    if (!m_follower->NextRequest(message, error)) {
      m_note = Q(error);
    } else {
      m_inFlight = PostSealed(QStringLiteral("spare/sync"), message);
      connect(m_inFlight, &QNetworkReply::finished, this, [this, r = m_inFlight] { SyncDone(r); });
    }
  }
  ShowState();
}

QNetworkReply* TSpareFollowFrm::PostSealed(const QString& path, const std::string& message) {
  QNetworkRequest q(QUrl(BaseUrl() + path));
  q.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/octet-stream"));
  q.setTransferTimeout(kRequestMs);
  return m_net->post(q, QByteArray(message.data(), static_cast<qsizetype>(message.size())));
}

void TSpareFollowFrm::SyncDone(QNetworkReply* reply) {
  reply->deleteLater();
  if (reply != m_inFlight) return;
  m_inFlight = nullptr;
  const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  const QByteArray body = reply->readAll();
  std::string error;
  if (status == 200) {
    if (m_follower->Apply(std::string_view(body.constData(), static_cast<size_t>(body.size())),
                          m_now(), error))
      m_note.clear();
    else
      m_note = Q(error);
  } else if (status == 403) {
    m_note = Q(spare::OpenRefusal(spare::TOpenResult::WrongKey));
  } else if (status == 409) {
    m_note = Q(spare::OpenRefusal(spare::TOpenResult::Replayed));
  } else if (status == 404) {
    m_note = QStringLiteral("主机上没有热备跟随服务（扫码签到服务可能已换了抽奖项目）");
  }
  // No answer at all: the status line counts the silence.
  ShowState();
}

void TSpareFollowFrm::BtnTakeOverClick() {
  if (!m_follower || m_takenTask != 0) return;
  // Nothing is written to the folder while it is read and taken over.
  const bool wasFollowing = m_following;
  Stop();
  const auto resume = [&] {
    if (!wasFollowing) return;
    m_following = true;
    m_timer->start();
  };
  spare::TRelay relay;
  std::string error;
  if (!spare::ReadRelayFolder(m_follower->Folder(), relay, error)) {
    ShowMessageBox(MessageKind::Error, error);
    resume();
    ShowState();
    return;
  }
  const std::string now = text::LocalTime(std::time(nullptr), "%Y-%m-%d %H:%M:%S");
  int32_t taskId = 0;
  if (!RunTakeOver(this, relay, TMoveSource::Stream, now, taskId)) {
    resume();
    ShowState();
    return;
  }
  m_takenTask = taskId;
  m_takenAt = now;
  m_takenText = QStringLiteral("已接管：“%1”可在本机打开抽奖，从第%2批接着抽")
                    .arg(Q(relay.Manifest.TaskName))
                    .arg(relay.Manifest.Batches + 1);
  m_note.clear();
  emit TakenOver(taskId);
  m_tellTimer->start();
  TellStage();
}

void TSpareFollowFrm::TellStage() {
  if (m_takenTask == 0 || m_stageTold || m_inFlight || !m_follower) return;
  std::string message, error;
  if (!m_follower->TakenNotice(m_takenAt, message, error)) {
    m_note = Q(error);
    ShowState();
    return;
  }
  m_inFlight = PostSealed(QStringLiteral("spare/taken"), message);
  connect(m_inFlight, &QNetworkReply::finished, this, [this, r = m_inFlight] { TellDone(r); });
  ShowState();
}

void TSpareFollowFrm::TellDone(QNetworkReply* reply) {
  reply->deleteLater();
  if (reply != m_inFlight) return;
  m_inFlight = nullptr;
  const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  const QByteArray body = reply->readAll();
  std::string error;
  // No answer (the old stage is still down) or a refusal: asked again on the timer.
  if (status == 200 &&
      m_follower->TakenRecorded(
          std::string_view(body.constData(), static_cast<size_t>(body.size())), error)) {
    m_stageTold = true;
    m_tellTimer->stop();
  }
  m_stageBusy = status == 423;
  ShowState();
}

void TSpareFollowFrm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (m_takenTask != 0 && !m_stageTold) m_tellTimer->start();
}

void TSpareFollowFrm::hideEvent(QHideEvent* event) {
  // Told until the window is closed; shown again, it goes on telling.
  m_tellTimer->stop();
  if (m_takenTask != 0 && m_inFlight) Stop();
  QDialog::hideEvent(event);
}

void TSpareFollowFrm::ShowState() {
  if (m_takenTask != 0) {
    BtnFollow->setText(QStringLiteral("开始跟随(&F)"));
    BtnFollow->setEnabled(false);
    BtnTakeOver->setEnabled(false);
    EdAddress->setEnabled(false);
    EdCode->setEnabled(false);
    LbStatus->setPalette(palette());
    LbStatus->setText(m_takenText);
    LbNote->setText(
        m_stageTold   ? QStringLiteral("原主机已记下接管，它不能再继续这个抽奖")
        : m_stageBusy ? QStringLiteral("原主机的抽奖画面还开着：关上后即记下接管（每3秒询问一次）")
                      : QStringLiteral("正在告知原主机已被接管（每3秒一次，直到关闭本窗口）"));
    return;
  }
  BtnTakeOver->setEnabled(m_follower != nullptr);
  BtnFollow->setText(m_following || m_inFlight ? QStringLiteral("停止跟随(&S)")
                                               : QStringLiteral("开始跟随(&F)"));
  EdAddress->setEnabled(!m_following);
  EdCode->setEnabled(!m_following);
  const bool late = m_following && m_follower && m_follower->Late(m_now());
  QPalette pal = palette();
  if (late) {
    pal.setColor(QPalette::Window, QColor(0xc0, 0x00, 0x00));
    pal.setColor(QPalette::WindowText, Qt::white);
  }
  LbStatus->setPalette(pal);
  if (m_follower && m_following) {
    LbStatus->setText(Q(m_follower->StatusText(m_now())));
    LbFolder->setText(QStringLiteral("备用文件夹：") + Q(m_follower->Folder()));
  } else {
    LbStatus->setText(m_follower ? QStringLiteral("已停止跟随") : QStringLiteral("尚未跟随主机"));
  }
  LbNote->setText(m_note);
}
