// The stage laptop dies mid-draw and the spare that followed it over the LAN goes on: the
// real program is the stage (its LAN server answers the spare), killed with SIGKILL; the
// spare's side is the core follower and takeover, called as the 热备跟随 window calls them,
// and the real program finishes the draw on the spare's data. The old stage, back, records
// the spare's notice and refuses its draw.
#ifdef _WIN32
#include <winsock2.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <QDir>
#include <QSet>
#include <QTemporaryDir>
#include <QUrl>
#include <QUrlQuery>

#include "ProgramCopy.h"
#include "core/draw/DrawJournal.h"
#include "core/draw/MoveRecords.h"
#include "core/net/LanServer.h"
#include "core/net/LanSettings.h"
#include "core/records/ClaimFile.h"
#include "core/spare/Follower.h"
#include "core/spare/Relay.h"
#include "core/spare/StageStream.h"
#include "core/spare/TakeOver.h"

namespace {

struct TAnswer {
  int status = 0;  // 0: no answer within the time
  QByteArray body;
};

class SpareFollow : public ProgramCopy {
 protected:
  void SetUp() override {
    ProgramCopy::SetUp();
    SetStageKeys();
#ifdef _WIN32
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
#endif
    m_port = net::FreePort("127.0.0.1", 18720);
    std::string error;
    // As 开始签到 on 127.0.0.1 left the example task: the program serves when it starts.
    ASSERT_TRUE(net::WriteLanSettings(1001, {"127.0.0.1", m_port, true, "", ""}, error));
    ASSERT_TRUE(m_spare.isValid());
  }

  // One request to the stage on 127.0.0.1, answered within ten seconds or not at all.
  TAnswer Ask(const QByteArray& method, const QByteArray& path, const QByteArray& body,
              const QByteArray& type = "application/octet-stream") const {
    TAnswer a;
#ifdef _WIN32
    const SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
    DWORD limit = 10000;
#else
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    timeval limit{10, 0};
#endif
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(m_port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&limit), sizeof limit);
    QByteArray got;
    if (::connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0) {
      const QByteArray ask =
          method + ' ' + path +
          " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\nContent-Type: " + type +
          "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
      ::send(s, ask.constData(), static_cast<int>(ask.size()), 0);
      char buf[65536];
      for (int n; got.size() < 4 * 1024 * 1024 && (n = ::recv(s, buf, sizeof buf, 0)) > 0;)
        got.append(buf, n);
    }
#ifdef _WIN32
    ::closesocket(s);
#else
    ::close(s);
#endif
    const qsizetype head = got.indexOf("\r\n\r\n");
    if (!got.startsWith("HTTP/1.1 ") || head < 0) return a;
    a.status = got.mid(9, 3).toInt();
    a.body = got.mid(head + 4);
    return a;
  }

  bool Serving(QProcess& p) {
    return WaitFor(p, [&] { return net::PageAnswers("127.0.0.1", m_port, 500); });
  }

  static std::string Gbk(const QString& s) { return text::Utf8ToGbk(s.toStdString()); }

  QTemporaryDir m_spare;  // the spare laptop's data folder while it follows
  uint16_t m_port = 0;
};

}  // namespace

TEST_F(SpareFollow, ASpareFollowsTheStageTakesOverAfterAKillAndFinishesTheDraw) {
  // Two guests check in on their phones before the draw.
  const QList<QByteArray> candidates = Candidates();
  {
    auto open = Start();
    ASSERT_TRUE(Serving(*open)) << LogLines().join('\n').toStdString();
    for (int i = 0; i < 2; ++i) {
      const QList<QByteArray> f = candidates[i].split(' ');
      QUrlQuery form;
      form.addQueryItem(QStringLiteral("id"), QString::fromLatin1(f[0]));
      form.addQueryItem(QStringLiteral("name"),
                        QString::fromStdString(text::GbkToUtf8(f[1].toStdString())));
      const TAnswer a = Ask("POST", "/checkin", form.toString(QUrl::FullyEncoded).toUtf8(),
                            "application/x-www-form-urlencoded");
      ASSERT_EQ(a.status, 200) << a.body.toStdString();
    }
    Kill(*open);
  }
  // The stage draws two batches; the next one's key is pressed, and the spare follows.
  auto stage = Start(QStringLiteral("enter,enter,enter,enter,enter,enter"), QStringLiteral("no"));
  ASSERT_TRUE(Serving(*stage));
  ASSERT_TRUE(WaitFor(*stage, [&] { return Batches().size() == 2 && KeysTyped(); }))
      << LogLines().join('\n').toStdString();
  const QList<QByteArray> held = Batches();
  // The first winner takes the prize at the desk.
  paths::SetDataRoot(Gbk(Path(QString())) + "/");
  const std::string key = claims::JournalDrawKey(paths::JournalPath(1001));
  const QByteArray winner = candidates[Winners(held[0])[0]].split(' ')[0];
  {
    QFile f(QString::fromStdString(text::GbkToUtf8(claims::ClaimFilePath(1001, key))));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray::fromStdString(
        claims::FormatClaimHead(1001, key) +
        claims::FormatClaimRecord({winner.toStdString(), RecordField(held[0], "item").toInt(),
                                   "2026-12-10 20:00:00", text::G("一号台")})));
  }
  // The spare greets the stage; the code is the one the stage's screen shows (kept in its
  // data folder once made).
  const TAnswer hello = Ask("GET", "/spare/hello", {});
  ASSERT_EQ(hello.status, 200);
  const QByteArray kept = Read(Path(QStringLiteral("SPARE/stream_1001.txt")));
  ASSERT_FALSE(kept.isEmpty());
  const std::string code = kept.left(kept.indexOf('\r')).toStdString();
  const std::string spareRoot = Gbk(m_spare.path()) + "/";
  spare::TFollower follower(spareRoot);
  std::string error;
  ASSERT_TRUE(follower.Begin(hello.body.toStdString(), code, 0, error)) << text::GbkToUtf8(error);
  spare::TRelay relay;
  bool whole = false;
  for (int round = 0; round < 20 && !whole; ++round) {
    std::string ask;
    ASSERT_TRUE(follower.NextRequest(ask, error));
    const TAnswer a = Ask("POST", "/spare/sync", QByteArray::fromStdString(ask));
    ASSERT_EQ(a.status, 200);
    ASSERT_TRUE(follower.Apply(a.body.toStdString(), 1000 * round, error))
        << text::GbkToUtf8(error);
    whole = spare::ReadRelayFolder(follower.Folder(), relay, error) &&
            relay.Manifest.Batches == 2 && relay.Entry(spare::kClaimsEntry) &&
            relay.Entry(spare::kCheckinEntry);
  }
  ASSERT_TRUE(whole) << text::GbkToUtf8(error);
  EXPECT_EQ(relay.Manifest.TaskId, 1001);
  Kill(*stage);
  const QByteArray stageCheckins = Read(Path(QStringLiteral("LUCK_FILE/CHECKIN_1001.txt")));

  // The stage laptop's folder is put aside; the spare is a fresh machine in this folder.
  QTemporaryDir aside;
  ASSERT_TRUE(aside.isValid());
  for (const QString& d : {QStringLiteral("DATA"), QStringLiteral("DATA_FILE"),
                           QStringLiteral("LUCK_FILE"), QStringLiteral("SPARE")})
    ASSERT_TRUE(QDir().rename(Path(d), aside.filePath(d)));
  SetStageKeys();
  {
    TTombolixDataModule dm;
    ASSERT_TRUE(dm.DataModuleCreate());
    ASSERT_TRUE(spare::ReadRelayFolder(follower.Folder(), relay, error)) << text::GbkToUtf8(error);
    spare::TTakeOverChoice choice;
    choice.Source = TMoveSource::Stream;
    int32_t local = 0;
    std::string message;
    ASSERT_TRUE(spare::TakeOver(relay, choice, local, message)) << text::GbkToUtf8(message);
    EXPECT_EQ(local, 1001);
  }
  // The spare resumes the draw and finishes it.
  auto spareRun =
      Start(QStringLiteral("enter,enter,enter,enter,enter,enter,enter"), QStringLiteral("yes"));
  const QString done = QStringLiteral("message\t0\t所有奖项已经全部抽取完毕");
  ASSERT_TRUE(WaitFor(*spareRun, [&] { return LogLines().contains(done); }))
      << LogLines().join('\n').toStdString();
  spareRun->kill();
  spareRun->waitForFinished(10000);

  // The first two batches' winners as the stage revealed them, nobody twice.
  const QList<QByteArray> lines = WinnerLines(Path(QString()));
  ASSERT_EQ(lines.size(), 14);
  const QList<int> stageWinners = Winners(held[0]) + Winners(held[1]);
  ASSERT_EQ(stageWinners.size(), 4);  // the example's first item, two a batch
  for (int i = 0; i < stageWinners.size(); ++i)
    EXPECT_EQ(lines[i], candidates[stageWinners[i]]) << i;
  EXPECT_EQ(QSet<QByteArray>(lines.begin(), lines.end()).size(), 14);
  EXPECT_EQ(Read(Path(QStringLiteral("LUCK_FILE/CHECKIN_1001.txt"))), stageCheckins);

  // One journal, one secret: the check passes and tells the move from 热备.
  QProcess verify;
  verify.start(QStringLiteral(TOMBOLIX_VERIFY_EXE), {Path(QString()), QStringLiteral("1001")});
  ASSERT_TRUE(verify.waitForFinished(30000));
  const QString out = QString::fromUtf8(verify.readAllStandardOutput())
                          .replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  EXPECT_EQ(verify.exitCode(), 0) << out.toStdString();
  EXPECT_TRUE(out.contains(QStringLiteral("移至备用电脑(热备"))) << out.toStdString();
  EXPECT_TRUE(out.endsWith(QStringLiteral("验证通过\n"))) << out.toStdString();

  // The old laptop comes back (its folder in place again): its server answers the spare's
  // notice with the code it kept, and its draw then refuses to go on.
  QTemporaryDir spareAside;
  ASSERT_TRUE(spareAside.isValid());
  for (const QString& d :
       {QStringLiteral("DATA"), QStringLiteral("DATA_FILE"), QStringLiteral("LUCK_FILE")})
    ASSERT_TRUE(QDir().rename(Path(d), spareAside.filePath(d)));
  for (const QString& d : {QStringLiteral("DATA"), QStringLiteral("DATA_FILE"),
                           QStringLiteral("LUCK_FILE"), QStringLiteral("SPARE")})
    ASSERT_TRUE(QDir().rename(aside.filePath(d), Path(d)));
  {
    auto back = Start();
    ASSERT_TRUE(Serving(*back));
    std::string notice;
    ASSERT_TRUE(follower.TakenNotice("2026-12-10 21:05:00", notice, error));
    const TAnswer told = Ask("POST", "/spare/taken", QByteArray::fromStdString(notice));
    ASSERT_EQ(told.status, 200) << told.body.toStdString();
    EXPECT_TRUE(follower.TakenRecorded(told.body.toStdString(), error)) << text::GbkToUtf8(error);
    Kill(*back);
  }
  auto refused = Start(QStringLiteral("enter"), QStringLiteral("yes"));
  const QString refusal = QStringLiteral("message\t2\t本抽奖已由备用电脑接管,不能在本机继续");
  EXPECT_TRUE(WaitFor(*refused, [&] { return LogLines().contains(refusal); }))
      << LogLines().join('\n').toStdString();
  Kill(*refused);
  EXPECT_EQ(Batches(), held);
}
