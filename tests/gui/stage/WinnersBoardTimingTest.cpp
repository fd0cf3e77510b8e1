// The phones' winners board against the projector: the real check-in server on 127.0.0.1
// serves the board a phone polls, the real draw screen reveals the batch, and a phone's
// request never finds a winner the screen has not painted yet.
#ifndef _WIN32
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEvent>
#include <QFrame>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "DialogRecorder.h"
#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/checkin/CheckinService.h"
#include "core/checkin/WinnersBoard.h"
#include "core/db/TombolixDM.h"
#include "core/draw/DrawSession.h"
#include "core/net/LanServer.h"
#include "core/text/Gbk.h"
#include "gui/stage/GetLuckMainFrm.h"
#include "gui/stage/RevealCards.h"

using text::G;
using Clock = std::chrono::steady_clock;

namespace {

// The winners board as a phone asks for it (POST /winners on 127.0.0.1): the number of its
// lines, -1 without an answer. One request, at most two seconds each way.
int BoardLines(uint16_t port) {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  if (s < 0) return -1;
  timeval limit{2, 0};
  ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  ::setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  std::string answer;
  if (::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
    const std::string ask =
        "POST /winners HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
        "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: 2\r\n\r\nt=";
    (void)!::send(s, ask.data(), ask.size(), MSG_NOSIGNAL);
    char buf[4096];
    ssize_t n;
    while ((n = ::recv(s, buf, sizeof buf, 0)) > 0) answer.append(buf, static_cast<size_t>(n));
  }
  ::close(s);
  const size_t lines = answer.find("\"lines\":[");
  if (answer.rfind("HTTP/1.1 200", 0) != 0 || lines == std::string::npos) return -1;
  int count = 0;
  for (size_t at = answer.find("{\"t\":", lines); at != std::string::npos;
       at = answer.find("{\"t\":", at + 1))
    ++count;
  return count;
}

// Counts the cards' paints, and when the first came.
class PaintWatch : public QObject {
 public:
  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() == QEvent::Paint && paints++ == 0) firstPaint = Clock::now();
    return QObject::eventFilter(o, e);
  }
  int paints = 0;
  Clock::time_point firstPaint;
};

// Told after the phones' feed: what the screen and a phone see at that moment.
struct ScreenAtReveal : TStageObserver {
  void Revealed(const TRevealedList&) override {
    cardsPainted = watch && watch->paints > 0 && screen->PLuckNow->isVisible();
    phoneLines = BoardLines(port);
    ++told;
  }
  TGetLuckMainForm* screen = nullptr;
  const PaintWatch* watch = nullptr;
  uint16_t port = 0;
  bool cardsPainted = false;
  int phoneLines = -1;
  int told = 0;
};

class WinnersBoardTiming : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dm.DataModuleCreate());
    TaskDef def;
    def.title = G("号码 姓名");
    def.items = {{G("一等奖"), 2, 2, G("电脑")}, {G("二等奖"), 2, 2, ""}};
    for (int i = 0; i < 10; ++i)
      def.candidates.push_back(std::to_string(13800000000LL + i) + " " + G("员工") +
                               std::to_string(i));
    BuildTask(m_dm, def);
  }

  TempRoot m_root;
  TTombolixDataModule m_dm;
  DialogRecorder m_dialogs;
  TDrawSession m_session;
};

}  // namespace

TEST_F(WinnersBoardTiming, APhoneNeverSeesTheBatchBeforeTheProjectorPaintsIt) {
  TCheckinService service;
  std::string error;
  const uint16_t port = net::FreePort("127.0.0.1", 18760);
  ASSERT_TRUE(service.Start(1001, "127.0.0.1", port, error)) << text::GbkToUtf8(error);
  service.CloseDesk();
  TGetLuckMainForm screen(m_session, nullptr, 31u);
  // As the main window subscribes them: the phones' board, then (here) the test's eyes.
  checkin::TWinnersFeed feed(service.Desk(), 1001);
  TSessionWatch phones(m_session, &feed);
  PaintWatch paints;
  ScreenAtReveal probe;
  probe.screen = &screen;
  probe.watch = &paints;
  probe.port = port;
  TSessionWatch eyes(m_session, &probe);
  ASSERT_EQ(screen.SetUpDraw(1001), 1);
  screen.resize(1024, 768);
  screen.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&screen));
  EXPECT_EQ(BoardLines(port), 0);

  QTest::keyClick(screen.EKeyCtrl, Qt::Key_Return);
  ASSERT_TRUE(QTest::qWaitFor([&] { return screen.TMRoll->isActive(); }, 3000));
  QTest::keyClick(screen.EKeyCtrl, Qt::Key_Return);  // the roll lands on the first winner
  ASSERT_TRUE(screen.TMLanding->isActive());
  // The batch is in the journal, not yet on the screen, and not on any phone.
  EXPECT_EQ(BoardLines(port), 0);
  screen.CardsNow->installEventFilter(&paints);

  // A phone polling as fast as it may from the landing on, bounded in count and time.
  std::atomic<bool> seen{false}, stop{false};
  Clock::time_point seenAt;
  std::thread phone([&] {
    const Clock::time_point end = Clock::now() + std::chrono::seconds(20);
    for (int i = 0; i < 10000 && !stop && Clock::now() < end; ++i) {
      if (BoardLines(port) > 0) {
        seenAt = Clock::now();
        seen = true;
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  });
  const bool revealed = QTest::qWaitFor([&] { return screen.PLuckNow->isVisible(); }, 15000);
  (void)QTest::qWaitFor([&] { return seen.load(); }, 3000);
  stop = true;
  phone.join();
  screen.CardsNow->removeEventFilter(&paints);
  ASSERT_TRUE(revealed);

  // The moment the board changed, the cards were painted and a phone read the batch.
  EXPECT_EQ(probe.told, 1);
  EXPECT_TRUE(probe.cardsPainted);
  EXPECT_EQ(probe.phoneLines, 3);  // 一等奖: and its two winners
  ASSERT_TRUE(seen.load());
  ASSERT_GT(paints.paints, 0);
  const auto lead =
      std::chrono::duration_cast<std::chrono::microseconds>(seenAt - paints.firstPaint).count();
  EXPECT_GE(lead, 0) << "the phone saw the batch " << -lead << " µs before the screen";
  std::printf("phone after the cards' first paint: %lld µs\n", static_cast<long long>(lead));
  service.Stop();
}
#endif
