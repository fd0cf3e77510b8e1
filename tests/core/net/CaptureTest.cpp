// What a guest on the hall's Wi-Fi sees of the host, a prize desk and a spare laptop: the real
// LAN server on 127.0.0.1 behind a recording TCP proxy, a host and a desk paired through it,
// presses that drive a real stage, a claim, and a spare that follows the draw's journal and
// tells the stage it took over. The capture holds neither key, code nor the draw's secret, and
// no captured request goes through again, as it was or with its counter raised. The
// proxy is written on POSIX sockets; the signing it relies on is tested everywhere.
#ifndef _WIN32
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <thread>

#include "DrawSetUp.h"
#include "SignedPhone.h"
#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/checkin/CheckinDesk.h"
#include "core/claims/ClaimDesk.h"
#include "core/claims/ClaimHttp.h"
#include "core/db/TombolixDM.h"
#include "core/draw/DrawProof.h"
#include "core/draw/Stage.h"
#include "core/net/LanServer.h"
#include "core/records/FileHash.h"
#include "core/remote/HostHttp.h"
#include "core/remote/HostRemote.h"
#include "core/spare/Follower.h"
#include "core/spare/StageStream.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"

using namespace net;
using text::G;

namespace {

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// A socket connected to 127.0.0.1:`port`, or -1.
int Connect(uint16_t port) {
  const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (s >= 0 && ::connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0) return s;
  if (s >= 0) ::close(s);
  return -1;
}

bool SendAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// One request on a connection of its own to 127.0.0.1:`port`: the whole answer, read until
// the server closes, 5 s at most.
std::string Exchange(uint16_t port, const std::string& request) {
  const int s = Connect(port);
  if (s < 0) return {};
  std::string answer;
  const int64_t end = NowMs() + 5000;
  if (SendAll(s, request)) {
    char buf[4096];
    for (int64_t left; (left = end - NowMs()) > 0;) {
      pollfd p{s, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(left)) <= 0) break;
      const ssize_t n = ::recv(s, buf, sizeof buf, 0);
      if (n <= 0) break;
      answer.append(buf, static_cast<size_t>(n));
    }
  }
  ::close(s);
  return answer;
}

std::string Post(const std::string& path, const std::string& body) {
  return "POST " + path +
         " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
         "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
         std::to_string(body.size()) + "\r\n\r\n" + body;
}

// A spare's sealed message, as its window posts it.
std::string PostSealed(const std::string& path, const std::string& message) {
  return "POST " + path +
         " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
         "Content-Type: application/octet-stream\r\nContent-Length: " +
         std::to_string(message.size()) + "\r\n\r\n" + message;
}

int StatusOf(const std::string& answer) {
  return answer.size() > 12 && answer.starts_with("HTTP/1.") ? std::atoi(answer.c_str() + 9) : 0;
}

std::string BodyOf(const std::string& message) {
  const size_t at = message.find("\r\n\r\n");
  return at == std::string::npos ? std::string() : message.substr(at + 4);
}

// A TCP proxy on 127.0.0.1 that relays each connection to the server, one at a time, and
// keeps every byte both ways. At most kMaxConnections; each relay ends when the server has
// closed, or after 5 s.
class RecordingProxy {
 public:
  static constexpr int kMaxConnections = 64;
  struct Exchanged {
    std::string request, answer;
  };

  explicit RecordingProxy(uint16_t target) : m_target(target) {
    m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof at;
    if (m_listen < 0 || ::bind(m_listen, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 ||
        ::listen(m_listen, 8) != 0 ||
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&at), &len) != 0)
      return;
    m_port = ntohs(at.sin_port);
    m_thread = std::thread([this] { Run(); });
  }
  ~RecordingProxy() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
    if (m_listen >= 0) ::close(m_listen);
  }
  uint16_t Port() const { return m_port; }
  std::vector<Exchanged> Capture() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_capture;
  }

 private:
  void Run() {
    for (int served = 0; served < kMaxConnections && !m_stop;) {
      pollfd p{m_listen, POLLIN, 0};
      if (::poll(&p, 1, 100) <= 0) continue;
      const int client = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
      if (client < 0) continue;
      ++served;
      Exchanged e;
      const int server = Connect(m_target);
      if (server >= 0) Relay(client, server, e);
      if (server >= 0) ::close(server);
      {
        // Kept before the client sees its connection end.
        std::lock_guard<std::mutex> lock(m_mutex);
        m_capture.push_back(std::move(e));
      }
      ::close(client);
    }
  }
  static void Relay(int client, int server, Exchanged& e) {
    const int64_t end = NowMs() + 5000;
    bool clientOpen = true;
    char buf[4096];
    for (int64_t left; (left = end - NowMs()) > 0;) {
      pollfd p[2] = {{client, static_cast<short>(clientOpen ? POLLIN : 0), 0}, {server, POLLIN, 0}};
      if (::poll(p, 2, static_cast<int>(left)) <= 0) return;
      if (p[0].revents) {
        const ssize_t n = ::recv(client, buf, sizeof buf, 0);
        if (n <= 0) {
          clientOpen = false;
          ::shutdown(server, SHUT_WR);
        } else {
          e.request.append(buf, static_cast<size_t>(n));
          if (!SendAll(server, std::string_view(buf, static_cast<size_t>(n)))) return;
        }
      }
      if (p[1].revents) {
        const ssize_t n = ::recv(server, buf, sizeof buf, 0);
        if (n <= 0) return;  // the answer is whole: Connection: close
        e.answer.append(buf, static_cast<size_t>(n));
        if (!SendAll(client, std::string_view(buf, static_cast<size_t>(n)))) return;
      }
    }
  }

  uint16_t m_target;
  int m_listen = -1;
  uint16_t m_port = 0;
  std::atomic<bool> m_stop{false};
  std::thread m_thread;
  std::mutex m_mutex;
  std::vector<Exchanged> m_capture;
};

// `request` with its body's counter raised by 1000 and its length set to match; the
// signature stays.
std::string Raised(const std::string& request) {
  const size_t head = request.find("\r\n\r\n") + 4;
  std::string body = request.substr(head);
  const size_t at = body.find("&n=") + 3, end = body.find('&', at);
  body.replace(at, end - at, std::to_string(std::stoull(body.substr(at, end - at)) + 1000));
  return Post(request.substr(5, request.find(' ', 5) - 5), body);
}

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

std::string Bytes(const TPairKey& key) { return std::string(key.begin(), key.end()); }

class Capture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dm.DataModuleCreate());
    TaskDef def;
    def.title = G("号码 姓名");
    def.items = {{G("一等奖"), 2, 2, ""}, {G("二等奖"), 2, 2, ""}};
    for (int i = 0; i < 10; ++i)
      def.candidates.push_back(std::to_string(13800000000LL + i * 11) + " " + G("员工") +
                               std::to_string(i));
    BuildTask(m_dm, def);
  }
  TempRoot m_root;
  TTombolixDataModule m_dm;
};

}  // namespace

TEST_F(Capture, AGuestOnTheWifiSeesNoSecretAndCanReplayNothing) {
  // The draw on its stage, with the system's own secret.
  TRandom rng;
  TDrawSession session;
  TDataDraw e(session, rng);
  ASSERT_TRUE(SetUpDraw(e));
  TStage stage(e);
  ASSERT_EQ(stage.Open().step, TStageStep::Opens);
  TPairing pairing;
  remote::THostRemote host(pairing);
  host.Attach(nullptr);
  const TSessionWatch watch(session, &host);
  host.Moved(stage.State());
  // A prize desk for two of the list.
  checkin::TCheckinTask task;
  task.TaskId = 7;
  task.TaskName = G("年会");
  task.TitleLine = G("手机号码 姓名");
  task.Lines = {G("13800000001 张三"), G("13800000002 李四")};
  task.FilePath = m_root.path("LUCK_FILE/CHECKIN_7.txt");
  checkin::TCheckinDesk checkins;
  std::string error;
  ASSERT_TRUE(checkins.Open(task, error)) << error;
  auto desk = std::make_shared<claims::TClaimDesk>();
  claims::TClaimDraw claimDraw;
  claimDraw.TaskId = 7;
  claimDraw.DrawKey = Sha256Hex("DRAW\tcapture\r\n");
  claimDraw.Winners = {{"13800000001", 11, G("一等奖"), G("张三")}};
  ASSERT_TRUE(desk->Use(claimDraw, error)) << error;
  const std::string claimCode = desk->PrizesOf("13800000001")[0].Code;

  remote::THostRoutes hostRoutes(host);
  claims::TClaimRoutes claimRoutes(checkins, pairing, desk);
  // The stage's stream for a spare laptop, on the same server; the draw screen is open.
  spare::TStageStream stream(1001, paths::DataRoot(), G("年会"));
  stream.SetDrawOpen(true);
  TLanServer server;
  server.AddRoutes(&hostRoutes);
  server.AddRoutes(&claimRoutes);
  server.AddRoutes(&stream);
  const uint16_t port = FreePort("127.0.0.1", 18700);
  ASSERT_TRUE(server.Start("127.0.0.1", port, error)) << text::GbkToUtf8(error);
  RecordingProxy proxy(port);
  ASSERT_NE(proxy.Port(), 0);
  const auto ask = [&](const std::string& path, const std::string& body) {
    return Exchange(proxy.Port(), Post(path, body));
  };

  // The host types its code; the desk scans the QR code's key.
  const std::string hostCode = pairing.Code(TPairRole::Host);
  const std::string deskCode = pairing.Code(TPairRole::Desk);
  TPairKey deskKey;
  ASSERT_TRUE(pairing.Key(TPairRole::Desk, deskKey));
  SignedPhone phone(TPairRole::Host, hostCode);
  SignedPhone deskPhone(TPairRole::Desk, deskKey);
  EXPECT_EQ(StatusOf(Exchange(proxy.Port(),
                              "GET /host HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                              "Connection: close\r\n\r\n")),
            200);
  ASSERT_TRUE(phone.Paired(BodyOf(ask("/pair", phone.PairBody("/pair")))));
  ASSERT_TRUE(deskPhone.Paired(BodyOf(ask("/desk/pair", deskPhone.PairBody("/desk/pair")))));

  // 开始 and 停止 from the phone drive the stage; the phone reads what was revealed.
  const auto press = [&](const char* action) {
    const std::string answer = ask("/host/input", phone.Body("/host/input", action));
    EXPECT_EQ(StatusOf(answer), 200) << answer;
    for (const remote::THostInput& in : host.Drain()) remote::TakeHostInput(stage, host, in);
  };
  ASSERT_EQ(StatusOf(ask("/host/state", phone.Body("/host/state"))), 200);
  press("a=start");
  EXPECT_EQ(stage.Time(TStageTimer::Select).step, TStageStep::Rolls);
  press("a=stop");
  EXPECT_EQ(stage.Time(TStageTimer::Landing).step, TStageStep::Reveals);
  stage.InSight();
  host.Moved(stage.State());
  const std::string state = BodyOf(ask("/host/state", phone.Body("/host/state")));
  EXPECT_NE(state.find("\"phase\":\"revealed\""), std::string::npos) << state;
  // The desk finds the winner by the claim code and records the claim.
  std::string answer = ask("/desk/find", deskPhone.Body("/desk/find", "c=" + claimCode));
  EXPECT_NE(BodyOf(answer).find("\"kind\":\"found\""), std::string::npos) << answer;
  answer = ask("/desk/claim", deskPhone.Body("/desk/claim", "c=" + claimCode));
  EXPECT_NE(BodyOf(answer).find("\"kind\":\"ok\""), std::string::npos) << answer;
  ASSERT_EQ(desk->ClaimedCount(), 1u);

  // The spare's operator types the stage's code; three polls bring the journal over.
  std::string spareCode;
  ASSERT_TRUE(spare::ReadTypedCode(stream.Code(), spareCode, error));
  const std::string hello = BodyOf(Exchange(proxy.Port(),
                                            "GET /spare/hello HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                                            "Connection: close\r\n\r\n"));
  std::filesystem::create_directories(m_root.dir() / "spare");
  spare::TFollower follower(m_root.path("spare/"));
  ASSERT_TRUE(follower.Begin(hello, spareCode, 0, error)) << text::GbkToUtf8(error);
  for (int poll = 0; poll < 3; ++poll) {
    std::string message;
    ASSERT_TRUE(follower.NextRequest(message, error)) << text::GbkToUtf8(error);
    answer = Exchange(proxy.Port(), PostSealed("/spare/sync", message));
    ASSERT_EQ(StatusOf(answer), 200) << answer;
    ASSERT_TRUE(follower.Apply(BodyOf(answer), 1000 * (poll + 1), error)) << text::GbkToUtf8(error);
  }
  // It took the draw over: told while the draw screen is open, then once it has closed.
  std::string notice;
  ASSERT_TRUE(follower.TakenNotice("2026-12-10 21:00:00", notice, error));
  EXPECT_EQ(StatusOf(Exchange(proxy.Port(), PostSealed("/spare/taken", notice))), 423);
  stream.SetDrawOpen(false);
  ASSERT_TRUE(follower.TakenNotice("2026-12-10 21:00:00", notice, error));
  answer = Exchange(proxy.Port(), PostSealed("/spare/taken", notice));
  ASSERT_EQ(StatusOf(answer), 200) << answer;
  EXPECT_TRUE(follower.TakenRecorded(BodyOf(answer), error)) << text::GbkToUtf8(error);
  const std::string journal = ReadAll(paths::JournalPath(1001));
  const size_t taken = journal.find("\nTAKEN\t");
  ASSERT_NE(taken, std::string::npos) << journal;

  const std::vector<RecordingProxy::Exchanged> capture = proxy.Capture();
  ASSERT_EQ(capture.size(), 15u);
  std::string all;
  for (const auto& x : capture) all += x.request + x.answer;
  const std::string secret = e.JournalHead().Secret;
  ASSERT_EQ(secret.size(), 64u);
  TDrawSecret secretBytes;
  ASSERT_TRUE(ParseSecretHex(secret, secretBytes));
  // The spare holds the stage's journal, secret and all: it did travel, sealed.
  EXPECT_NE(journal.find(secret), std::string::npos);
  EXPECT_EQ(ReadAll(m_root.dir() / "spare/SPARE/1001/journal.txt"), journal.substr(0, taken + 1));
  int32_t helloTask = 0;
  std::string salt;
  ASSERT_TRUE(spare::ReadHello(hello, helloTask, salt, error));
  const spare::TStreamKey streamKey = spare::DeriveKey(spareCode, salt);
  std::string dashed = spare::GroupedCode(spareCode);
  for (char& c : dashed)
    if (c == ' ') c = '-';
  const TPairKey hostKey = PairKeyOf(hostCode);
  for (const std::string& hidden : {PairKeyHex(hostKey),
                                    Bytes(hostKey),
                                    PairKeyHex(deskKey),
                                    Bytes(deskKey),
                                    hostCode,
                                    Lower(hostCode),
                                    ShownPairCode(hostCode),
                                    deskCode,
                                    Lower(deskCode),
                                    ShownPairCode(deskCode),
                                    secret,
                                    std::string(secretBytes.begin(), secretBytes.end()),
                                    spareCode,
                                    Lower(spareCode),
                                    spare::GroupedCode(spareCode),
                                    Lower(spare::GroupedCode(spareCode)),
                                    dashed,
                                    Lower(dashed),
                                    PairKeyHex(streamKey),
                                    Bytes(streamKey)})
    EXPECT_EQ(all.find(hidden), std::string::npos) << hidden;
  // The capture is of the real exchange: its tokens and the claim code are in it.
  EXPECT_NE(all.find(phone.token), std::string::npos);
  EXPECT_NE(all.find(deskPhone.token), std::string::npos);

  // Every captured request again, straight to the server: as it was, then with its counter
  // raised and the old signature. Not one is taken.
  const TPairingView before = pairing.View();
  int replayed = 0;
  for (const auto& x : capture) {
    if (!x.request.starts_with("POST ") || x.request.starts_with("POST /spare/")) continue;
    for (const std::string& again : {x.request, Raised(x.request)}) {
      const std::string reply = Exchange(port, again);
      const std::string body = BodyOf(reply);
      const bool taken =
          StatusOf(reply) == 200 && (body.find("\"kind\":\"paired\"") != std::string::npos ||
                                     body.find("\"kind\":\"ok\"") != std::string::npos ||
                                     body.find("\"kind\":\"found\"") != std::string::npos ||
                                     body.find("\"rev\":") != std::string::npos);
      EXPECT_FALSE(taken) << again << "\n" << reply;
      EXPECT_NE(StatusOf(reply), 0) << again;
      ++replayed;
    }
  }
  EXPECT_EQ(replayed, 16);
  // The spare's sealed requests, byte for byte: refused, and the stage answers and writes
  // nothing more.
  const uint64_t answered = stream.Answered();
  int spareReplayed = 0;
  for (const auto& x : capture) {
    if (!x.request.starts_with("POST /spare/")) continue;
    const std::string reply = Exchange(port, x.request);
    EXPECT_EQ(StatusOf(reply), 409) << x.request.substr(0, x.request.find("\r\n")) << "\n" << reply;
    ++spareReplayed;
  }
  EXPECT_EQ(spareReplayed, 5);
  EXPECT_EQ(stream.Answered(), answered);
  EXPECT_EQ(ReadAll(paths::JournalPath(1001)), journal);
  EXPECT_TRUE(host.Drain().empty());
  EXPECT_EQ(desk->ClaimedCount(), 1u);
  const TPairingView after = pairing.View();
  EXPECT_EQ(after.Desks, before.Desks);
  EXPECT_EQ(after.HostAddress, before.HostAddress);
  EXPECT_FALSE(after.HostWaiting);
  // The phones themselves go on.
  EXPECT_EQ(StatusOf(Exchange(port, Post("/host/state", phone.Body("/host/state")))), 200);
  server.Stop();
}

#endif  // _WIN32
