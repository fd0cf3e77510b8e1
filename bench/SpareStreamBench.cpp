// The stage's key-to-reveal with and without a spare following it: one batch of the core
// stage (Enter starts, the selection, Enter stops, the landing's reveal with its journal
// flushed to disk), timed alone (argument 0) and while a follower polls the real LAN server
// on loopback ten times a second, ten times the spare window's pace (argument 1), applying
// each answer to its spare folder on the same disk. The counter `polls` is the number of
// answers the follower applied during the run.
//
// Figures on the shared 2-core machine (load average 16 from other builds), 300 batches of a
// 10,000-line list, 3 repetitions, real time per batch, mean / median:
//   alone                     5.95 / 6.72 ms
//   a follower at 10 polls/s  6.59 / 6.63 ms   (15-17 answers applied per run)
// The difference is within the runs' own spread (a coefficient of variation of 25 % alone).
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <string>
#include <thread>

#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/db/TombolixDM.h"
#include "core/draw/DataDraw.h"
#include "core/draw/DrawSession.h"
#include "core/draw/Random.h"
#include "core/draw/Stage.h"
#include "core/net/LanServer.h"
#include "core/spare/Follower.h"
#include "core/spare/StageStream.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"

namespace {

// One exchange with the server on loopback: the answer's body when its status is 200.
bool Ask(uint16_t port, const std::string& method, const std::string& path, const std::string& body,
         std::string& answerBody) {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  timeval limit{5, 0};
  ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  std::string answer;
  if (::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
    const std::string ask = method + " " + path + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n" +
                            "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    (void)!::send(s, ask.data(), ask.size(), MSG_NOSIGNAL);
    char buf[65536];
    ssize_t n;
    while ((n = ::recv(s, buf, sizeof buf, 0)) > 0) answer.append(buf, static_cast<size_t>(n));
  }
  ::close(s);
  const size_t head = answer.find("\r\n\r\n");
  if (answer.rfind("HTTP/1.1 200", 0) != 0 || head == std::string::npos) return false;
  answerBody = answer.substr(head + 4);
  return true;
}

void BM_KeyToReveal(benchmark::State& state) {
  TempRoot root;
  TTombolixDataModule dm;
  dm.DataModuleCreate();
  TaskDef def;
  def.items = {{text::G("一等奖"), 5000, 1, ""}};
  for (int i = 0; i < 10000; ++i)
    def.candidates.push_back(std::to_string(13800000000LL + i) + " " + text::G("员工") +
                             std::to_string(i));
  BuildTask(dm, def);
  TDrawSession session;
  TRandom rng;
  TDataDraw engine(session, rng, 31u);
  TDrawFailure failure;
  if (!engine.SetUp(1001, failure)) {
    state.SkipWithError("set-up failed");
    return;
  }
  TStage stage(engine);
  stage.Open();

  spare::TStageStream stream(1001, paths::DataRoot(), text::G("基准"));
  net::TLanServer server;
  server.AddRoutes(&stream);
  const uint16_t port = net::FreePort("127.0.0.1", 18690);
  std::string error;
  if (!server.Start("127.0.0.1", port, error)) {
    state.SkipWithError("server did not start");
    return;
  }
  std::atomic<bool> stop{false};
  std::atomic<int> polls{0};
  std::optional<std::thread> follower;
  if (state.range(0) == 1) {
    follower.emplace([&] {
      spare::TFollower f(paths::DataRoot() + "spare_side/");
      std::string hello, e;
      if (!Ask(port, "GET", "/spare/hello", "", hello) || !f.Begin(hello, stream.Code(), 0, e))
        return;
      // Bounded: ten polls a second for at most ten minutes.
      for (int i = 0; i < 6000 && !stop.load(); ++i) {
        std::string ask, answer;
        if (f.NextRequest(ask, e) && Ask(port, "POST", "/spare/sync", ask, answer) &&
            f.Apply(answer, i * 100, e))
          polls.fetch_add(1);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
      }
    });
  }
  for (auto _ : state) {
    stage.Enter();
    stage.Time(TStageTimer::Select);
    stage.Enter();
    const TStageFrame reveal = stage.Time(TStageTimer::Landing);
    if (reveal.step != TStageStep::Reveals) state.SkipWithError("no reveal");
  }
  stop.store(true);
  if (follower) follower->join();
  server.Stop();
  state.counters["polls"] = polls.load();
}
BENCHMARK(BM_KeyToReveal)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(300)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
