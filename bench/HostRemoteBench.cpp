// How soon a press on the host's phone changes the stage, on loopback: the real server, the
// real draw screen (offscreen) and the host's routes over HTTP. A client thread pairs, then
// presses 开始 / 停止 through a round of batches and toggles 标记缺席 / 取消 between them; each
// press is timed from just before its request is sent to the moment the stage's state moves
// (told by the stage's observer on the screen's thread). Run once alone and once while
// `phones` phones, each on a keep-alive connection from an address of its own, poll the
// winners page once a second:
//
//   bench_host_remote [phones=300]
//
// Prints p50 / p99 / max of each run and the pollers' p99; exits 1 when a p99 is over 100 ms.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/checkin/CheckinService.h"
#include "core/db/TombolixDM.h"
#include "core/draw/StageState.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "gui/stage/GetLuckMainFrm.h"
#include "gui/ui/Dialogs.h"
#include "gui/ui/Fonts.h"

namespace {

using Clock = std::chrono::steady_clock;

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
      .count();
}

// The stage's phase as last told, and when it last changed.
class TPhaseWatch : public TStageObserver {
 public:
  void Revealed(const TRevealedList&) override {}
  void Moved(const TStageState& s) override {
    const int p = static_cast<int>(s.phase);
    if (p != phase.load()) {
      changedAt.store(NowNs());
      phase.store(p);
    }
  }
  std::atomic<int> phase{-1};
  std::atomic<int64_t> changedAt{0};
};

// A keep-alive HTTP/1.1 connection on loopback, from `local` (0: any).
class TConnection {
 public:
  TConnection(uint16_t port, const char* local) {
    m_fd = socket(AF_INET, SOCK_STREAM, 0);
    const int one = 1;
    setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    timeval tv{5, 0};  // no read waits for ever
    setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    if (local) {
      sockaddr_in from{};
      from.sin_family = AF_INET;
      inet_pton(AF_INET, local, &from.sin_addr);
      bind(m_fd, reinterpret_cast<sockaddr*>(&from), sizeof from);
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
    m_ok = connect(m_fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0;
  }
  ~TConnection() { close(m_fd); }
  // The status of a form POST (0 on a broken connection); the body in `body`.
  int Post(const std::string& path, const std::string& form, std::string& body) {
    if (!m_ok) return 0;
    const std::string req = "POST " + path +
                            " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: "
                            "application/x-www-form-urlencoded\r\nContent-Length: " +
                            std::to_string(form.size()) + "\r\n\r\n" + form;
    if (send(m_fd, req.data(), req.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(req.size()))
      return 0;
    std::string in;
    char buf[8192];
    size_t end = std::string::npos;
    while ((end = in.find("\r\n\r\n")) == std::string::npos) {
      const ssize_t n = recv(m_fd, buf, sizeof buf, 0);
      if (n <= 0) return m_ok = false, 0;
      in.append(buf, static_cast<size_t>(n));
    }
    size_t length = 0;
    const size_t cl = in.find("Content-Length: ");
    if (cl != std::string::npos && cl < end) length = std::stoul(in.substr(cl + 16));
    while (in.size() < end + 4 + length) {
      const ssize_t n = recv(m_fd, buf, sizeof buf, 0);
      if (n <= 0) return m_ok = false, 0;
      in.append(buf, static_cast<size_t>(n));
    }
    body = in.substr(end + 4, length);
    return std::stoi(in.substr(9, 3));
  }

 private:
  int m_fd = -1;
  bool m_ok = false;
};

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, static_cast<size_t>(static_cast<double>(v.size()) * p))];
}

// Waits (5 s at most) for the phase; false when it did not come.
bool WaitPhase(const TPhaseWatch& w, TStagePhase p) {
  const auto until = Clock::now() + std::chrono::seconds(5);
  while (w.phase.load() != static_cast<int>(p)) {
    if (Clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

struct TRun {
  std::vector<double> pressMs;
  int lost = 0;  // presses that moved nothing within 2 s
};

// One round of presses from a paired phone; `seq` is the number of its last press.
TRun Presses(uint16_t port, const std::string& token, const TPhaseWatch& watch, uint64_t& seq) {
  TRun run;
  TConnection c(port, nullptr);
  std::string body;
  const auto press = [&](const char* action) {
    const int before = watch.phase.load();
    const int64_t sent = NowNs();
    if (c.Post("/host/input", "t=" + token + "&n=" + std::to_string(++seq) + "&a=" + action,
               body) != 200) {
      ++run.lost;
      return;
    }
    const auto until = Clock::now() + std::chrono::seconds(2);
    while (watch.phase.load() == before && Clock::now() < until)
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    if (watch.phase.load() == before) {
      ++run.lost;
      return;
    }
    run.pressMs.push_back(static_cast<double>(watch.changedAt.load() - sent) / 1e6);
  };
  for (int round = 0; round < 10; ++round) {
    press("start");
    if (!WaitPhase(watch, TStagePhase::Rolling)) break;
    press("stop");
    if (!WaitPhase(watch, TStagePhase::Revealed)) break;
    for (int i = 0; i < 10; ++i) {
      press("absent");
      press("cancel");
    }
    // A start key right after a reveal may be ignored by the stage: wait past that.
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
  }
  return run;
}

// `phones` phones polling the winners page once a second until `stop`; their answers' times.
void Poll(uint16_t port, int phones, const std::atomic<bool>& stop, std::vector<double>& ms,
          int& failed) {
  std::vector<std::unique_ptr<TConnection>> conns;
  for (int i = 0; i < phones; ++i) {
    const std::string from =
        "127.20." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1);
    conns.push_back(std::make_unique<TConnection>(port, from.c_str()));
  }
  std::string body;
  while (!stop.load()) {
    const auto tick = Clock::now();
    for (auto& c : conns) {
      const int64_t t = NowNs();
      if (c->Post("/winners", "t=", body) != 200)
        ++failed;
      else
        ms.push_back(static_cast<double>(NowNs() - t) / 1e6);
    }
    std::this_thread::sleep_until(tick + std::chrono::seconds(1));
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int phones = argc > 1 ? std::stoi(argv[1]) : 300;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  InstallFontSubstitutions();
  UnattendedDialogProvider silent;
  SetDialogProvider(&silent);
  net::RaiseDescriptorLimit();
  TempRoot root;
  TTombolixDataModule dm;
  if (!dm.DataModuleCreate()) return 1;
  TaskDef def;
  def.title = text::G("号码 姓名");
  def.items = {{text::G("一等奖"), 1000, 1, text::G("纪念品")}};
  for (int i = 0; i < 2000; ++i)
    def.candidates.push_back(std::to_string(13800000000LL + i) + " " + text::G("员工") +
                             std::to_string(i));
  BuildTask(dm, def);
  TCheckinService service;
  std::string error;
  const uint16_t port = net::FreePort("127.0.0.1", 18950);
  if (!service.Start(def.taskId, "127.0.0.1", port, error)) {
    std::fprintf(stderr, "%s\n", text::GbkToUtf8(error).c_str());
    return 1;
  }
  TDrawSession session;
  TPhaseWatch watch;
  const TSessionWatch watching(session, &watch);
  const TSessionWatch remote(session, &service.Host());
  TGetLuckMainForm draw(session, nullptr, 77u);
  draw.SetRemote(&service.Host());
  if (draw.SetUpDraw(def.taskId) != 1) return 1;
  draw.resize(1024, 768);
  draw.show();

  int rc = 0;
  std::thread client([&] {
    std::string body;
    TConnection c(port, nullptr);
    c.Post("/pair", "c=" + service.Pairing().Code(net::TPairRole::Host), body);
    const size_t at = body.find("\"token\":\"");
    const std::string token = at == std::string::npos ? "" : body.substr(at + 9, 32);
    if (token.empty() || !WaitPhase(watch, TStagePhase::Ready)) {
      std::fprintf(stderr, "pairing or the Ready screen failed: %s\n", body.c_str());
      rc = 1;
    }
    uint64_t seq = 0;
    for (int loaded = 0; loaded < 2 && rc == 0; ++loaded) {
      std::atomic<bool> stop{false};
      std::vector<double> pollMs;
      int pollFailed = 0;
      std::thread pollers;
      if (loaded) {
        pollers = std::thread([&] { Poll(port, phones, stop, pollMs, pollFailed); });
        std::this_thread::sleep_for(std::chrono::seconds(2));  // every phone polling
      }
      const TRun run = Presses(port, token, watch, seq);
      stop = true;
      if (pollers.joinable()) pollers.join();
      const double p99 = Percentile(run.pressMs, .99);
      std::printf(
          "host press -> stage %s: %zu presses, %d lost, p50 %.1f ms, p99 %.1f ms, "
          "max %.1f ms\n",
          loaded ? ("with " + std::to_string(phones) + " phones polling").c_str() : "alone",
          run.pressMs.size(), run.lost, Percentile(run.pressMs, .5), p99,
          run.pressMs.empty() ? 0 : *std::max_element(run.pressMs.begin(), run.pressMs.end()));
      if (loaded)
        std::printf("winners page: %zu polls, %d failed, p99 %.1f ms\n", pollMs.size(), pollFailed,
                    Percentile(pollMs, .99));
      if (p99 > 100 || run.lost > 0 || pollFailed > 0) rc = 1;
    }
    std::fflush(stdout);
    QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
  });
  app.exec();
  client.join();
  static_cast<QDialog&>(draw).done(0);
  service.Stop();
  SetDialogProvider(nullptr);
  return rc;
}
