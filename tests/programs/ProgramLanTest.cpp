// The real program killed in the middle of the night, its LAN server running: started again,
// it serves the same address and port by itself, check-in stays closed once a batch was
// drawn, and the host's pairing, a prize desk and a winner's claim page work again.
#ifdef _WIN32
#include <winsock2.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <QDir>
#include <QUrl>
#include <map>

#include "ProgramCopy.h"
#include "SignedPhone.h"
#include "core/net/LanServer.h"
#include "core/net/LanSettings.h"

namespace {

#ifdef _WIN32
using TSocket = SOCKET;
void CloseSocket(TSocket s) { ::closesocket(s); }
#else
using TSocket = int;
void CloseSocket(TSocket s) { ::close(s); }
#endif

struct THttpAnswer {
  int status = 0;  // 0: no answer
  QByteArray body;
};

// One request to 127.0.0.1:`port`, answered within ten seconds or not at all.
THttpAnswer Ask(uint16_t port, const QByteArray& method, const QByteArray& path,
                const QByteArray& form = {}) {
  THttpAnswer a;
  const TSocket s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
#ifdef _WIN32
  DWORD limit = 10000;
#else
  timeval limit{10, 0};
#endif
  ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&limit), sizeof limit);
  if (::connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
    CloseSocket(s);
    return a;
  }
  const QByteArray ask =
      method + ' ' + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" +
      "Connection: close\r\nContent-Type: application/x-www-form-urlencoded\r\n" +
      "Content-Length: " + QByteArray::number(form.size()) + "\r\n\r\n" + form;
  ::send(s, ask.constData(), static_cast<int>(ask.size()), 0);
  QByteArray got;
  char buf[4096];
  for (int n; got.size() < 4 * 1024 * 1024 && (n = ::recv(s, buf, sizeof buf, 0)) > 0;)
    got.append(buf, n);
  CloseSocket(s);
  const qsizetype head = got.indexOf("\r\n\r\n");
  if (!got.startsWith("HTTP/1.1 ") || head < 0) return a;
  a.status = got.mid(9, 3).toInt();
  a.body = got.mid(head + 4);
  return a;
}

// The JSON string field `name` of a flat answer.
QByteArray Field(const QByteArray& json, const QByteArray& name) {
  const QByteArray key = '"' + name + "\":\"";
  const qsizetype at = json.indexOf(key);
  if (at < 0) return {};
  const qsizetype from = at + key.size();
  return json.mid(from, json.indexOf('"', from) - from);
}

class LanRestart : public ProgramCopy {
 protected:
  void SetUp() override {
    ProgramCopy::SetUp();
    SetStageKeys();
#ifdef _WIN32
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
#endif
    // As 开始签到 on 127.0.0.1 left the example task, the program then closed.
    m_port = net::FreePort("127.0.0.1", 18700);
    std::string error;
    ASSERT_TRUE(net::WriteLanSettings(1001, {"127.0.0.1", m_port, true, "", ""}, error));
    qputenv("TOMBOLIX_PAIRING_LOG", Path(QStringLiteral("pairing.txt")).toUtf8());
  }
  void TearDown() override { qunsetenv("TOMBOLIX_PAIRING_LOG"); }

  bool Serving(QProcess& p) {
    return WaitFor(p, [&] { return net::PageAnswers("127.0.0.1", m_port, 500); });
  }

  // The candidates of the example list: id → name (UTF-8).
  std::map<QByteArray, QByteArray> Candidates() const {
    std::map<QByteArray, QByteArray> out;
    const QList<QByteArray> lines = Read(Path(QStringLiteral("DATA_FILE/1001.txt"))).split('\n');
    for (qsizetype i = 4; i < lines.size(); ++i) {
      const QList<QByteArray> f = lines[i].trimmed().split(' ');
      if (f.size() >= 2) out[f[0]] = QByteArray::fromStdString(text::GbkToUtf8(f[1].toStdString()));
    }
    return out;
  }

  QByteArray CheckIn(const QByteArray& id, const QByteArray& name) {
    return Ask(m_port, "POST", "/checkin",
               "id=" + id + "&name=" + QUrl::toPercentEncoding(QString::fromUtf8(name)))
        .body;
  }

  uint16_t m_port = 0;
};

}  // namespace

TEST_F(LanRestart, AfterAKillTheServerComesBackForHostDeskAndWinnersOnTheSamePort) {
  // The server comes back by itself, and the hall checks in.
  auto first = Start();
  ASSERT_TRUE(Serving(*first)) << LogLines().join(QLatin1Char('\n')).toStdString()
                               << first->state();
  std::map<QByteArray, QByteArray> tokens;
  for (const auto& [id, name] : Candidates()) {
    const QByteArray answer = CheckIn(id, name);
    ASSERT_EQ(Field(answer, "kind"), "ok") << answer.toStdString();
    tokens[id] = Field(answer, "token");
  }
  ASSERT_EQ(tokens.size(), 200u);
  Kill(*first);

  // Killed again after the whole draw: the server had come back, and check-in closed at
  // the first batch.
  auto second =
      Start(QStringLiteral("enter,enter,enter,enter,enter,enter,enter,enter,enter,enter,enter"),
            QStringLiteral("no,no,no"));
  ASSERT_TRUE(Serving(*second));
  ASSERT_TRUE(WaitFor(
      *second,
      [&] { return LogLines().contains(QStringLiteral("message\t0\t所有奖项已经全部抽取完毕")); }))
      << LogLines().join('\n').toStdString() << " batches " << Batches().size();
  EXPECT_EQ(Field(CheckIn(tokens.begin()->first, "x"), "kind"), "closed");
  Kill(*second);
  EXPECT_FALSE(net::PageAnswers("127.0.0.1", m_port, 300));

  QFile::remove(Path(QStringLiteral("pairing.txt")));
  auto third = Start();
  ASSERT_TRUE(Serving(*third)) << LogLines().join('\n').toStdString();
  ASSERT_TRUE(
      WaitFor(*third, [&] { return QFileInfo::exists(Path(QStringLiteral("pairing.txt"))); }));
  EXPECT_EQ(Field(CheckIn(tokens.begin()->first, "x"), "kind"), "closed");
  QMap<QByteArray, QByteArray> codes;
  for (const QByteArray& l : Read(Path(QStringLiteral("pairing.txt"))).split('\n'))
    if (l.contains('=')) codes[l.left(l.indexOf('='))] = l.mid(l.indexOf('=') + 1);

  // A winner's phone, with the token it checked in with before both kills, has its code.
  const QStringList files = QDir(Path(QStringLiteral("LUCK_FILE")))
                                .entryList({QStringLiteral("1001_*.txt")}, QDir::Files, QDir::Name);
  ASSERT_FALSE(files.isEmpty());
  const QList<QByteArray> winners =
      Read(Path(QStringLiteral("LUCK_FILE/") + files.first())).split('\n');
  ASSERT_GE(winners.size(), 2);
  const QByteArray winner = winners[1].trimmed().split(' ')[0];
  ASSERT_TRUE(tokens.count(winner)) << winner.toStdString();
  const THttpAnswer prize = Ask(m_port, "POST", "/prize", "t=" + tokens[winner]);
  ASSERT_EQ(prize.status, 200);
  const QByteArray code = Field(prize.body, "code").replace(' ', "");
  ASSERT_EQ(code.size(), 8) << prize.body.toStdString();

  // A prize desk pairs with the window's code and records the claim.
  SignedPhone deskPhone(net::TPairRole::Desk, codes["desk"].toStdString());
  const THttpAnswer desk = Ask(m_port, "POST", "/desk/pair",
                               QByteArray::fromStdString(deskPhone.PairBody("/desk/pair")));
  ASSERT_TRUE(deskPhone.Paired(desk.body.toStdString())) << desk.body.toStdString();
  const THttpAnswer claim =
      Ask(m_port, "POST", "/desk/claim",
          QByteArray::fromStdString(deskPhone.Body("/desk/claim", "c=" + code.toStdString())));
  EXPECT_EQ(Field(claim.body, "kind"), "ok") << claim.body.toStdString();
  EXPECT_TRUE(
      Ask(m_port, "POST", "/prize", "t=" + tokens[winner]).body.contains("\"claimed\":true"));

  // The host pairs and reads the stage.
  SignedPhone hostPhone(net::TPairRole::Host, codes["host"].toStdString());
  const THttpAnswer host =
      Ask(m_port, "POST", "/pair", QByteArray::fromStdString(hostPhone.PairBody("/pair")));
  EXPECT_EQ(Field(host.body, "kind"), "paired") << host.body.toStdString();
  ASSERT_TRUE(hostPhone.Paired(host.body.toStdString()));
  const THttpAnswer state =
      Ask(m_port, "POST", "/host/state", QByteArray::fromStdString(hostPhone.Body("/host/state")));
  EXPECT_EQ(state.status, 200) << state.body.toStdString();
  EXPECT_TRUE(Ask(m_port, "GET", "/host").body.contains("<html"));
  Kill(*third);
  EXPECT_TRUE(net::ReadLanSettings(1001).Running);
}
