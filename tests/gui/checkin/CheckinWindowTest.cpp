#include <gtest/gtest.h>
#ifdef _WIN32
#include <winsock2.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTest>
#include <QTextLayout>
#include <QToolButton>

#include "Crowded.h"
#include "DialogRecorder.h"
#include "DrawSetUp.h"
#include "SignedPhone.h"
#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/checkin/CheckinService.h"
#include "core/checkin/CheckinWall.h"
#include "core/config/TaskCheckin.h"
#include "core/draw/DataDraw.h"
#include "core/net/LanServer.h"
#include "core/net/LanSettings.h"
#include "core/records/Loaders.h"
#include "core/text/FileWrite.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "gui/app/MainFrm.h"
#include "gui/checkin/CheckinFrm.h"
#include "gui/checkin/CheckinScreen.h"
#include "gui/checkin/HostRemoteFrm.h"
#include "gui/checkin/WholeWords.h"
#include "gui/stage/GetLuckMainFrm.h"

using text::G;

namespace {

class CheckinWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dm.DataModuleCreate());
    TaskDef def;
    def.title = G("手机号码 姓名");
    def.candidates = {G("13900000000 员工零"), G("13900000001 员工一"), G("13900000002 员工二")};
    def.items = {{G("一等奖"), 1, 1, ""}};
    BuildTask(m_dm, def);
  }
  TempRoot m_root;
  TTombolixDataModule m_dm;
  DialogRecorder m_dialogs;
};

#ifdef _WIN32
using TSocket = SOCKET;
using TSockLen = int;
void CloseSocket(TSocket s) { ::closesocket(s); }
#else
using TSocket = int;
using TSockLen = socklen_t;
void CloseSocket(TSocket s) { ::close(s); }
#endif

// A label's text as read: without the word joiners that keep its words whole.
QString Plain(const QLabel* label) { return QString(label->text()).remove(QChar(0x2060)); }

// A socket listening on 127.0.0.1 at a port the system picks; its port.
int Listen(TSocket& fd) {
#ifdef _WIN32
  WSADATA data;
  ::WSAStartup(MAKEWORD(2, 2), &data);
#endif
  fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  ::listen(fd, 1);
  TSockLen len = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  return ntohs(a.sin_port);
}

}  // namespace

TEST_F(CheckinWindow, StartsOnTheChosenAddressShowsTheCodeAndCountsAndStops) {
  TCheckinService service;
  TCheckinFrm frm(service, 1001, QStringLiteral("年会"));
  frm.show();
  // Every address of the machine is offered, loopback last.
  ASSERT_GE(frm.CbAddress->count(), 1);
  EXPECT_EQ(frm.CbAddress->itemText(frm.CbAddress->count() - 1), QStringLiteral("127.0.0.1"));
  EXPECT_EQ(frm.BtnStart->text(), QStringLiteral("开始签到(&B)"));
  EXPECT_FALSE(frm.BtnScreen->isEnabled());
  EXPECT_EQ(Crowded(&frm).join(QLatin1Char('\n')).toStdString(), "");
  // The task option is stored as it is ticked.
  EXPECT_FALSE(frm.CbCheckinOnly->isChecked());
  frm.CbCheckinOnly->click();
  bool only = false;
  std::string err;
  ASSERT_TRUE(LoadCheckinOnly(1001, only, err));
  EXPECT_TRUE(only);

  // Loopback reaches no phone: said beside the address.
  frm.CbAddress->setCurrentText(QStringLiteral("127.0.0.1"));
  EXPECT_TRUE(frm.LbWarn->isVisible());
  EXPECT_EQ(Plain(frm.LbWarn),
            QStringLiteral("注意：此地址只有本机能访问，手机无法连接。请选择手机所在网络的地址。"));

  // A busy port is a clear message and nothing runs.
  TSocket fd{};
  const int busy = Listen(fd);
  frm.CbAddress->setCurrentText(QStringLiteral("127.0.0.1"));
  frm.SePort->setValue(busy);
  frm.BtnStart->click();
  CloseSocket(fd);
  ASSERT_EQ(m_dialogs.messages().size(), 1u);
  EXPECT_EQ(m_dialogs.messages()[0].second,
            QStringLiteral("端口%1已被其他程序占用，请换一个端口。").arg(busy));
  EXPECT_FALSE(service.Running());

  frm.SePort->setValue(net::FreePort("127.0.0.1", 18800));
  frm.BtnStart->click();
  ASSERT_TRUE(service.Running());
  const QString url = QStringLiteral("http://127.0.0.1:%1/").arg(frm.SePort->value());
  EXPECT_EQ(frm.LbUrl->text(), url);
  EXPECT_FALSE(frm.LbQr->pixmap().isNull());
  EXPECT_EQ(frm.BtnStart->text(), QStringLiteral("停止签到(&T)"));
  EXPECT_FALSE(frm.CbAddress->isEnabled());
  EXPECT_EQ(Plain(frm.LbState), QStringLiteral("请用手机扫描二维码签到"));
  EXPECT_EQ(frm.LbCount->text(), QStringLiteral("已签到 0 / 3"));

  EXPECT_EQ(service.Desk().CheckIn("10.0.0.1", "13900000001", "员工一").Answer,
            checkin::TAnswer::CheckedIn);
  EXPECT_TRUE(QTest::qWaitFor([&] { return frm.LbCount->text() == "已签到 1 / 3"; }, 3000));

  // Names guessed for an id pause it; the window lists the pause and lifts it.
  for (int i = 0; i < checkin::kMaxIdFailures; ++i)
    service.Desk().CheckIn("10.0.0.2", "13900000002", "x");
  ASSERT_TRUE(QTest::qWaitFor([&] { return frm.LwLocks->count() == 1; }, 3000));
  EXPECT_TRUE(frm.LwLocks->item(0)->text().startsWith(QStringLiteral("号码 13900000002（还剩 ")));
  frm.BtnLift->click();
  EXPECT_EQ(frm.LwLocks->count(), 0);
  EXPECT_EQ(service.Desk().CheckIn("10.0.0.2", "13900000002", "员工二").Answer,
            checkin::TAnswer::CheckedIn);
  frm.EdWifiName->setText(QStringLiteral("年会"));
  frm.EdWifiPassword->setText(QStringLiteral("12345678"));
  EXPECT_EQ(service.WifiLine(), G("Wi-Fi：年会  密码：12345678"));

  frm.BtnScreen->click();
  ASSERT_NE(frm.Screen(), nullptr);
  EXPECT_TRUE(frm.Screen()->isFullScreen());
  frm.Screen()->resize(1024, 768);
  EXPECT_EQ(frm.Screen()->Frame().size(), QSize(1024, 768));
  // The first Esc closes the projector's screen, full screen or not.
  frm.Screen()->showFullScreen();
  ASSERT_TRUE(frm.Screen()->isFullScreen());
  QTest::keyClick(frm.Screen(), Qt::Key_Escape);
  EXPECT_FALSE(frm.Screen()->isVisible());

  frm.BtnStart->click();
  EXPECT_FALSE(service.Running());
  EXPECT_EQ(Plain(frm.LbState), QStringLiteral("签到未开始"));
  EXPECT_EQ(frm.LbUrl->text(), QString());
  // The records stay: started again, the count goes on.
  frm.BtnStart->click();
  ASSERT_TRUE(service.Running());
  EXPECT_EQ(frm.LbCount->text(), QStringLiteral("已签到 2 / 3"));
}

namespace {

// A draw screen that records its set-up and, when told, begins the draw (a first batch
// revealed, as the stage does) before it is left.
class RecordingScreen : public TSetUpScreen {
 public:
  RecordingScreen(TCheckinService& service, std::vector<bool>& deskOpenAtSetUp, bool begin)
      : m_service(service), m_log(deskOpenAtSetUp), m_begin(begin) {}
  int SetUp(int32_t) override {
    m_log.push_back(m_service.DeskOpen());
    return 1;
  }
  void ShowModal() override {
    if (!m_begin) return;
    TRandom rng;
    TDrawSession s;
    TDataDraw e(s, rng, 7u);
    std::string err;
    ASSERT_TRUE(SetUpDraw(e));
    ASSERT_TRUE(e.StartJournal(err));
    ASSERT_TRUE(e.BeginBatch());
    e.SelectBatchWinners();
    e.RevealBatch();
  }

 private:
  TCheckinService& m_service;
  std::vector<bool>& m_log;
  bool m_begin;
};

}  // namespace

TEST_F(CheckinWindow, OpeningTheDrawOfThoseCheckedInAsksAndClosesCheckInFirst) {
  std::string err;
  ASSERT_TRUE(config::SaveCheckinOnly(1001, true, err)) << err;
  TMainForm main;
  main.show();
  main.SelectRow(0);
  // The main window opens check-in for the selected task, off until the operator starts it.
  main.SBtnCheckin->click();
  ASSERT_NE(main.CheckinWindow(), nullptr);
  EXPECT_TRUE(main.CheckinWindow()->isVisible());
  EXPECT_EQ(main.CheckinWindow()->property("taskId").toInt(), 1001);
  TCheckinService& service = main.Checkin();
  EXPECT_FALSE(service.Running());
  ASSERT_TRUE(service.Start(1001, "127.0.0.1", net::FreePort("127.0.0.1", 18900), err))
      << text::GbkToUtf8(err);
  ASSERT_EQ(service.Desk().CheckIn("10.0.0.1", "13900000001", "员工一").Answer,
            checkin::TAnswer::CheckedIn);
  std::vector<bool> deskOpenAtSetUp;
  bool begin = false;
  main.SetDrawScreenFactory([&](QWidget*, TDrawSession&, TDrawType) {
    return std::make_unique<RecordingScreen>(service, deskOpenAtSetUp, begin);
  });

  // The service's question is asked (No by default); Yes closes the desk before the set-up
  // fixes the pool, and a draw that began keeps it closed.
  begin = true;
  m_dialogs.answers = {Answer::Yes};
  main.SBtnGetLuck->click();
  ASSERT_EQ(m_dialogs.log.size(), 1u);
  EXPECT_EQ(m_dialogs.log[0].text,
            QStringLiteral("签到还在进行（已签到 1 / 3）。打开抽奖屏幕将结束签到，只抽取已签到的"
                           "人员。现在结束签到并开始抽奖吗？"));
  EXPECT_EQ(m_dialogs.log[0].preferred, Answer::No);
  EXPECT_EQ(deskOpenAtSetUp, std::vector<bool>{false});
  EXPECT_FALSE(service.DeskOpen());
}

TEST_F(CheckinWindow, TheWallSlidesInTheNewestNamesAndSkipsAheadOfACrowd) {
  TaskDef def;
  def.taskId = 1002;
  def.title = G("手机号码 姓名");
  def.items = {{G("一等奖"), 1, 1, ""}};
  for (int i = 0; i < 30; ++i)
    def.candidates.push_back(G("1390000") + std::to_string(1000 + i) + G(" 员工") +
                             std::to_string(i));
  BuildTask(m_dm, def);
  TCheckinService service;
  std::string error;
  ASSERT_TRUE(service.Start(1002, "127.0.0.1", net::FreePort("127.0.0.1", 18820), error));
  TCheckinScreen screen(service);
  screen.resize(1024, 768);
  screen.show();
  auto in = [&](int i) {
    ASSERT_EQ(
        service.Desk()
            .CheckIn("10.0.0.1", "1390000" + std::to_string(1000 + i), "员工" + std::to_string(i))
            .Answer,
        checkin::TAnswer::CheckedIn);
  };
  auto newest = [&] {
    const checkin::TWall& w = screen.Wall();
    return w.Rows.empty() ? std::string() : w.Rows.back().back();
  };

  in(0);
  ASSERT_TRUE(QTest::qWaitFor([&] { return screen.Sliding(); }, 3000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !screen.Sliding(); }, 3000));
  EXPECT_EQ(newest(), G("员工0"));
  // Two more one after the other: each slides in, the first row fills.
  const uint64_t slides = screen.Slides();
  in(1);
  in(2);
  screen.Refresh();
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return !screen.Sliding() && screen.ShownArrivals() == 3; }, 3000));
  EXPECT_EQ(newest(), G("员工2"));
  EXPECT_EQ(screen.Slides(), slides + 2);

  // A crowd of 27 at once: the wall skips to the last, it does not play all of them.
  for (int i = 3; i < 30; ++i) in(i);
  screen.Refresh();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !screen.Sliding(); }, 5000));
  EXPECT_EQ(screen.Slides(), slides + 3);  // the last one only
  EXPECT_EQ(screen.ShownArrivals(), 30u);
  EXPECT_EQ(newest(), G("员工29"));

  if (qEnvironmentVariableIsSet("TOMBOLIX_CHECKIN_WALL_PNG")) {
    for (const QSize sz : {QSize(1920, 1080), QSize(1024, 768)}) {
      screen.resize(sz);
      screen.Refresh();
      screen.grab().save(qEnvironmentVariable("TOMBOLIX_CHECKIN_WALL_PNG") +
                         QStringLiteral("-%1.png").arg(sz.width()));
    }
  }
}

TEST_F(CheckinWindow, TheRemoteWindowAllowsASecondHostAndTheDrawScreenTakesItsPresses) {
  TCheckinService service;
  std::string error;
  ASSERT_TRUE(service.Start(1001, "127.0.0.1", net::FreePort("127.0.0.1", 18820), error));
  THostRemoteFrm window(service);
  net::TPairing& pairing = service.Pairing();
  const std::string code = pairing.Code(net::TPairRole::Host);
  // In groups of four, as typed.
  EXPECT_EQ(window.LbCode->text().toStdString(), code.substr(0, 4) + " " + code.substr(4, 4) + " " +
                                                     code.substr(8, 4) + " " + code.substr(12));
  // The phones pair as the page does: the first with the typed code, the second from the QR.
  SignedPhone first(net::TPairRole::Host, code);
  first.token = pairing.Pair(PostOf("/pair", first.PairBody("/pair")), net::TPairRole::Host).Token;
  net::TPairKey key;
  ASSERT_TRUE(pairing.Key(net::TPairRole::Host, key));
  SignedPhone second(net::TPairRole::Host, key);
  second.token =
      pairing.Pair(PostOf("/pair", second.PairBody("/pair"), "10.0.0.6"), net::TPairRole::Host)
          .Token;
  window.ShowState();
  ASSERT_TRUE(window.BtnAllow->isVisibleTo(&window));
  QTest::mouseClick(window.BtnAllow, Qt::LeftButton);
  EXPECT_FALSE(window.BtnAllow->isVisibleTo(&window));
  const auto check = [&](SignedPhone& p) {
    const std::string body = p.Body("/host/state");
    return pairing.Check(PostOf("/host/state", body), net::TPairRole::Host).Check;
  };
  EXPECT_EQ(check(first), net::TSignedCheck::Unpaired);
  EXPECT_EQ(check(second), net::TSignedCheck::Taken);
  EXPECT_EQ(Plain(window.LbHost), QStringLiteral("已配对主持人手机：10.0.0.6"));

  // A press queued from the server's side reaches the stage through the draw screen.
  TDrawSession session;
  const TSessionWatch watch(session, &service.Host());
  {
    TGetLuckMainForm draw(session, nullptr, 7u);
    draw.SetRemote(&service.Host());
    ASSERT_EQ(draw.SetUpDraw(1001), 1);
    draw.show();
    ASSERT_EQ(service.Host().Push({remote::THostAction::Start}),
              remote::THostRemote::TPush::Queued);
    EXPECT_TRUE(QTest::qWaitFor([&] { return draw.Stage().Phase() == TStagePhase::Rolling; }));
    uint64_t rev = 0;
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return service.Host().State(rev).phase == TStagePhase::Rolling; }));
  }
  // The screen closed: the host's pairing ended with it.
  EXPECT_EQ(check(second), net::TSignedCheck::Unpaired);
}

TEST_F(CheckinWindow, TheTasksAddressPortAndWifiComeBackAfterARestartAndSoDoesTheServer) {
  const uint16_t port = net::FreePort("127.0.0.1", 18840);
  {
    TCheckinService service;
    TCheckinFrm frm(service, 1001, QStringLiteral("年会"));
    frm.CbAddress->setCurrentText(QStringLiteral("127.0.0.1"));
    frm.SePort->setValue(port);
    frm.EdWifiName->setText(QStringLiteral("年会"));
    frm.EdWifiPassword->setText(QStringLiteral("12345678"));
    frm.BtnStart->click();
    ASSERT_TRUE(service.Running());
    frm.EdWifiPassword->setText(QStringLiteral("87654321"));
  }  // the program ends, the server still on: nobody stopped it

  // The window of the next start proposes what the task had, not a free port.
  TCheckinService service;
  {
    TCheckinFrm frm(service, 1001, QStringLiteral("年会"));
    EXPECT_EQ(frm.CbAddress->currentText(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(frm.SePort->value(), port);
    EXPECT_EQ(frm.EdWifiName->text(), QStringLiteral("年会"));
    EXPECT_EQ(frm.EdWifiPassword->text(), QStringLiteral("87654321"));
  }
  // And the main window starts the server again by itself, on the same address and port.
  TMainForm main;
  main.RestoreCheckin();
  ASSERT_TRUE(main.Checkin().Running());
  EXPECT_EQ(main.Checkin().Url(), "http://127.0.0.1:" + std::to_string(port) + "/");
  EXPECT_EQ(main.Checkin().WifiLine(), G("Wi-Fi：年会  密码：87654321"));
  EXPECT_TRUE(main.Checkin().DeskOpen());
  EXPECT_TRUE(m_dialogs.messages().empty());
}

TEST_F(CheckinWindow, OnceTheListIsFixedTheServerStartsAloneAndTheHostWindowSaysWhere) {
  // A finished draw of the task.
  std::string err;
  ASSERT_TRUE(files::WriteFileAtomic(paths::FinishedJournalPath(1001), "DRAW\r\n", err));
  TCheckinService service;
  TCheckinFrm frm(service, 1001, QStringLiteral("年会"));
  THostRemoteFrm host(service);
  EXPECT_EQ(frm.BtnStart->text(), QStringLiteral("启动服务(&B)"));
  EXPECT_EQ(Plain(frm.LbState), QStringLiteral("签到已结束，服务未启动"));
  EXPECT_EQ(Plain(host.LbHost), QStringLiteral("服务未启动：请先在“扫码签到”窗口中启动"));
  // Pictures to look at (TOMBOLIX_CHECKIN_WINDOW_PNG=<prefix>, under a real screen).
  const QString pictures = qEnvironmentVariable("TOMBOLIX_CHECKIN_WINDOW_PNG");
  const auto snap = [&](const QString& name) {
    if (pictures.isEmpty()) return;
    frm.show();
    host.show();
    host.move(frm.frameGeometry().topRight());
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&frm) && QTest::qWaitForWindowExposed(&host));
    frm.grab().save(pictures + QStringLiteral("-checkin-") + name + QStringLiteral(".png"));
    host.grab().save(pictures + QStringLiteral("-host-") + name + QStringLiteral(".png"));
    frm.screen()->grabWindow(0).save(pictures + QStringLiteral("-screen-") + name +
                                     QStringLiteral(".png"));
  };
  frm.EdWifiName->setText(QStringLiteral("年会嘉宾"));
  frm.EdWifiPassword->setText(QStringLiteral("12345678"));
  snap(QStringLiteral("stopped"));
  frm.CbAddress->setCurrentText(QStringLiteral("127.0.0.1"));
  frm.SePort->setValue(net::FreePort("127.0.0.1", 18860));
  frm.BtnStart->click();
  ASSERT_TRUE(service.Running()) << m_dialogs.messages().size();
  EXPECT_TRUE(m_dialogs.messages().empty());
  EXPECT_FALSE(service.DeskOpen());
  EXPECT_EQ(frm.BtnStart->text(), QStringLiteral("停止服务(&T)"));
  EXPECT_EQ(Plain(frm.LbState), QStringLiteral("签到已结束：抽奖名单已确定"));
  EXPECT_TRUE(frm.BtnDesks->isEnabled());
  host.ShowState();
  EXPECT_EQ(Plain(host.LbHost), QStringLiteral("尚未配对主持人手机"));
  EXPECT_EQ(host.LbCode->text().remove(QLatin1Char(' ')).toStdString(),
            service.Pairing().Code(net::TPairRole::Host));
  EXPECT_EQ(service.Desk().CheckIn("10.0.0.1", "13900000001", "员工一").Answer,
            checkin::TAnswer::Closed);
  snap(QStringLiteral("running"));
  // Stopped by the operator: it stays off at the next start.
  frm.BtnStart->click();
  EXPECT_FALSE(service.Running());
  EXPECT_FALSE(net::ReadLanSettings(1001).Running);
}

TEST_F(CheckinWindow, SentencesWrapAfterPunctuationAndNeverInsideAWord) {
  const QString text =
      QStringLiteral("服务未启动：请先在“扫码签到”窗口中启动，手机才能连上。领奖台不能领取");
  const QString joined = WholeWords(text);
  EXPECT_EQ(QString(joined).remove(QChar(0x2060)), text);
  QFont font = QApplication::font();
  font.setPixelSize(16);
  const QString breakAfter = QStringLiteral("：，。");
  int wrapped = 0;
  for (int width = 60; width <= 480; width += 20) {
    QTextLayout layout(joined, font);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine())
      line.setLineWidth(width);
    layout.endLayout();
    for (int i = 0; i + 1 < layout.lineCount(); ++i) {
      const QTextLine line = layout.lineAt(i);
      const QString shown = joined.mid(line.textStart(), line.textLength()).remove(QChar(0x2060));
      // Each line but the last ends after a punctuation mark, or before an opening quote.
      const QChar next = joined.at(line.textStart() + line.textLength());
      EXPECT_TRUE(breakAfter.contains(shown.back()) || next == QChar(0x201C))
          << width << ": " << shown.toStdString();
      ++wrapped;
    }
  }
  EXPECT_GT(wrapped, 10);
}
