// The stream between the stage laptop and a spare: the sealed messages, the stage's answers
// from its files, and the follower that applies them to its spare folder.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/checkin/CheckinService.h"
#include "core/draw/DrawJournal.h"
#include "core/draw/MoveRecords.h"
#include "core/net/LanServer.h"
#include "core/package/EventPackage.h"
#include "core/records/CheckinFile.h"
#include "core/records/ClaimFile.h"
#include "core/records/FileHash.h"
#include "core/spare/Follower.h"
#include "core/spare/Relay.h"
#include "core/spare/StageStream.h"
#include "core/text/FileWrite.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"

namespace {

using namespace spare;
using text::G;
namespace fs = std::filesystem;

constexpr int32_t kTask = 7;

// A journal head and `batches` batches of one winner each.
std::string JournalText(int batches) {
  TJournalHead head;
  head.TaskId = kTask;
  head.DataHash = std::string(64, 'a');
  head.PresetHash = std::string(64, 'b');
  head.Items = {{1, 10, 1}};
  head.Commit = std::string(64, 'c');
  head.Secret = std::string(64, 'd');
  std::string s = FormatJournalHead(head) + FormatJournalStart({"", 42});
  for (int i = 0; i < batches; ++i) {
    TJournalBatch b;
    b.ItemId = 1;
    b.Drawn = i + 1;
    b.Rng = static_cast<uint32_t>(100 + i);
    b.Winners = {i};
    b.Rolls = 5;
    s += FormatJournalBatch(b);
  }
  return s;
}

// The answer the stage gives to a request, as the follower reads it on the wire.
std::string Exchange(TStageStream& stage, const std::string& body, int* status = nullptr) {
  net::THttpRequest q;
  q.Method = "POST";
  q.Path = "/spare/sync";
  q.Body = body;
  q.Address = "127.0.0.1";
  net::THttpResponse r = net::Dispatch(q, {&stage});
  if (status) *status = r.Status;
  return r.Body;
}

std::string Hello(TStageStream& stage) {
  net::THttpRequest q;
  q.Method = "GET";
  q.Path = "/spare/hello";
  return net::Dispatch(q, {&stage}).Body;
}

int FailJournalRename(const std::string& target) {
  return target.ends_with("journal.txt") ? EIO : 0;
}

// A stage's data root with a draw under way, and a spare's root beside it.
class SpareStreamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    stageRoot = root.path("stage/");
    spareRoot = root.path("spare/");
    fs::create_directories(root.dir() / "stage/LUCK_FILE");
    fs::create_directories(root.dir() / "spare");
    WriteAll(JournalFile(), JournalText(2));
    WriteAll(root.dir() / "stage" / checkin::CheckinFilePath("", kTask),
             checkin::FormatCheckinHead(kTask) +
                 checkin::FormatCheckinRecord(
                     {"1001", "2026-12-10 18:00:00", std::string(32, 'e'), ""}));
    stage = std::make_unique<TStageStream>(kTask, stageRoot, G("年会抽奖"));
  }

  fs::path JournalFile() const { return root.dir() / "stage/LUCK_FILE/JOURNAL_7.txt"; }
  fs::path SpareFile(std::string_view name) const {
    return root.dir() / "spare/SPARE/7" / std::string(name);
  }
  std::string Code() const {
    std::string code, error;
    EXPECT_TRUE(ReadTypedCode(stage->Code(), code, error));
    return code;
  }
  // The follower begun on the stage's greeting and code.
  bool Begin(TFollower& f, std::string_view code, std::string& error) {
    return f.Begin(Hello(*stage), code, 0, error);
  }
  // One request and its answer applied; false with the follower's error.
  bool Round(TFollower& f, std::string& error, int64_t nowMs = 1000) {
    std::string ask;
    if (!f.NextRequest(ask, error)) return false;
    return f.Apply(Exchange(*stage, ask), nowMs, error);
  }

  TempRoot root;
  std::string stageRoot, spareRoot;
  std::unique_ptr<TStageStream> stage;
};

TEST_F(SpareStreamTest, CodesAreSixteenCharactersWithoutLookAlikes) {
  const std::string shown = stage->Code();
  ASSERT_EQ(shown.size(), 19u);
  EXPECT_EQ(shown[4], ' ');
  EXPECT_EQ(shown[14], ' ');
  std::string code, error;
  ASSERT_TRUE(ReadTypedCode(shown, code, error));
  EXPECT_EQ(code.find_first_of("01OI"), std::string::npos);
  EXPECT_EQ(stage->Code(), shown);  // the same until renewed

  EXPECT_TRUE(ReadTypedCode("abcd-efgh jkmn-pqrs", code, error));
  EXPECT_EQ(code, "ABCDEFGHJKMNPQRS");
  EXPECT_EQ(GroupedCode(code), "ABCD EFGH JKMN PQRS");
  EXPECT_FALSE(ReadTypedCode("ABCD EFGH JKMN PQR0", code, error));
  EXPECT_NE(error.find(G("没有 0、1、O、I")), std::string::npos);
  EXPECT_FALSE(ReadTypedCode("ABCD EFGH JKMN", code, error));
  EXPECT_EQ(error, G("配对码应为 16 个字符（4 组，每组 4 个），现在是 12 个"));
}

TEST_F(SpareStreamTest, MessagesRoundTripAndRefuseWrongKeysTamperingAndReplays) {
  const TStreamKey key = DeriveKey("ABCDEFGHJKMNPQRS", "0123456789abcdef");
  const TStreamKey other = DeriveKey("ABCDEFGHJKMNPQRT", "0123456789abcdef");
  TRequest q;
  q.Held[0] = {5, std::string(64, 'f')};
  q.PartSha256 = std::string(64, '1');
  q.PartLength = 300000;
  std::string sealed, error, plain;
  ASSERT_TRUE(SealMessage(key, TDirection::ToStage, 9, EncodeRequest(q), sealed, error));
  // Sealed: the journal's hash is not to be read on the wire.
  EXPECT_EQ(sealed.find(std::string(64, 'f')), std::string::npos);
  uint64_t n = 0;
  ASSERT_EQ(OpenMessage(key, TDirection::ToStage, 8, sealed, n, plain), TOpenResult::Opened);
  EXPECT_EQ(n, 9u);
  TRequest back;
  ASSERT_TRUE(DecodeRequest(plain, back, error));
  EXPECT_EQ(back, q);

  EXPECT_EQ(OpenMessage(other, TDirection::ToStage, 0, sealed, n, plain), TOpenResult::WrongKey);
  EXPECT_EQ(OpenRefusal(TOpenResult::WrongKey),
            G("配对码不对，或消息在路上被改动过，已拒绝。请核对主机屏幕上“热备跟随”的配对码"));
  for (size_t at : {size_t{6}, size_t{20}, sealed.size() / 2, sealed.size() - 1}) {
    std::string bent = sealed;
    bent[at] = static_cast<char>(bent[at] ^ 0x01);
    EXPECT_EQ(OpenMessage(key, TDirection::ToStage, 0, bent, n, plain), TOpenResult::WrongKey)
        << at;
  }
  EXPECT_EQ(OpenMessage(key, TDirection::ToStage, 9, sealed, n, plain), TOpenResult::Replayed);
  EXPECT_EQ(OpenMessage(key, TDirection::ToSpare, 0, sealed, n, plain),
            TOpenResult::WrongDirection);
  EXPECT_EQ(OpenMessage(key, TDirection::ToStage, 0, sealed.substr(0, 20), n, plain),
            TOpenResult::Malformed);

  TAnswer a;
  a.Beat = {kTask, G("年会"), "stage", "2026-12-10 20:00:00", 3, 2, 1};
  a.Pieces[0] = {true, false, 5, 8, "abc"};
  a.Pieces[2] = {true, true, 0, 4, "wxyz"};
  a.SetupSha256 = std::string(64, '2');
  a.SetupTotal = 10;
  a.SetupOffset = 4;
  a.SetupBytes = "123456";
  TAnswer b;
  ASSERT_TRUE(DecodeAnswer(EncodeAnswer(a), b, error));
  EXPECT_EQ(b, a);
  // Bytes that would end past the stage's file are no answer.
  a.Pieces[0].Bytes = "abcd";
  EXPECT_FALSE(DecodeAnswer(EncodeAnswer(a), b, error));
  EXPECT_FALSE(DecodeAnswer(EncodeAnswer(b).substr(0, 40), b, error));
}

TEST_F(SpareStreamTest, FollowerMirrorsTheStageAndItsStatusSaysWhereItStands) {
  TFollower f(spareRoot);
  std::string error;
  ASSERT_TRUE(Begin(f, Code(), error)) << error;
  EXPECT_EQ(f.StatusText(0), G("正在连接主机…"));
  stage->SetSetup("PK-setup-bytes");
  ASSERT_TRUE(Round(f, error)) << error;
  EXPECT_EQ(ReadAll(SpareFile("journal.txt")), ReadAll(JournalFile()));
  EXPECT_EQ(ReadAll(SpareFile("setup.zip")), "PK-setup-bytes");
  EXPECT_FALSE(fs::exists(SpareFile("claims.txt")));
  const std::string manifest = ReadAll(SpareFile("relay.txt"));
  EXPECT_NE(manifest.find("format=1\r\ntaskid=7\r\ntask=" + G("年会抽奖") + "\r\n"),
            std::string::npos);
  EXPECT_NE(manifest.find("batches=2\r\n"), std::string::npos);
  EXPECT_NE(manifest.find("sha256 journal.txt " + Sha256Hex(ReadAll(JournalFile()))),
            std::string::npos);
  const std::string status = f.StatusText(1000);
  EXPECT_EQ(status.substr(0, G("已同步到第2批 · 签到1人 · 领奖0人 · 最后更新 ").size()),
            G("已同步到第2批 · 签到1人 · 领奖0人 · 最后更新 "));
  EXPECT_FALSE(f.Late(5999));
  EXPECT_TRUE(f.Late(6000));
  EXPECT_EQ(f.StatusText(7500).substr(0, G("主机未响应 6秒 · 已同步到第2批").size()),
            G("主机未响应 6秒 · 已同步到第2批"));

  // The stage draws on: only the new batch travels, appended to what the spare holds.
  const std::string three = JournalText(3);
  WriteAll(JournalFile(), three);
  ASSERT_TRUE(Round(f, error, 8000)) << error;
  EXPECT_EQ(ReadAll(SpareFile("journal.txt")), three);
  EXPECT_EQ(f.Batches(), 3u);
  EXPECT_FALSE(f.Late(8000));

  // A new draw's journal is not a continuation: the spare starts it again.
  WriteAll(JournalFile(), JournalText(0));
  ASSERT_TRUE(Round(f, error)) << error;
  EXPECT_EQ(ReadAll(SpareFile("journal.txt")), JournalText(0));
}

TEST_F(SpareStreamTest, WrongCodeAndReplayedAnswersAreRefused) {
  TFollower wrong(spareRoot);
  std::string error, ask;
  std::string code = Code();
  code[0] = code[0] == 'A' ? 'B' : 'A';
  ASSERT_TRUE(Begin(wrong, code, error));
  ASSERT_TRUE(wrong.NextRequest(ask, error));
  int status = 0;
  EXPECT_TRUE(Exchange(*stage, ask, &status) == "refused");
  EXPECT_EQ(status, 403);
  EXPECT_EQ(stage->Answered(), 0u);

  TFollower f(spareRoot);
  ASSERT_TRUE(Begin(f, Code(), error));
  ASSERT_TRUE(f.NextRequest(ask, error));
  const std::string first = Exchange(*stage, ask);
  // The stage takes a request once.
  Exchange(*stage, ask, &status);
  EXPECT_EQ(status, 409);
  ASSERT_TRUE(f.Apply(first, 1000, error)) << error;
  // An old answer replayed to a newer request is not taken, nor written.
  WriteAll(JournalFile(), JournalText(4));
  ASSERT_TRUE(f.NextRequest(ask, error));
  EXPECT_FALSE(f.Apply(first, 2000, error));
  EXPECT_EQ(error, G("收到重复或过时的消息（编号不是新的），已拒绝"));
  EXPECT_EQ(ReadAll(SpareFile("journal.txt")), JournalText(2));
}

TEST_F(SpareStreamTest, AnAppendThatDoesNotFitIsRefusedAndAskedAgain) {
  TFollower f(spareRoot);
  std::string error, ask;
  ASSERT_TRUE(Begin(f, Code(), error));
  ASSERT_TRUE(Round(f, error)) << error;
  const std::string held = ReadAll(SpareFile("journal.txt"));
  // The spare's file lost its last bytes after it asked: the answer's bytes do not start
  // where the file ends now.
  ASSERT_TRUE(f.NextRequest(ask, error));
  WriteAll(JournalFile(), JournalText(3));
  const std::string answer = Exchange(*stage, ask);
  WriteAll(SpareFile("journal.txt"), held.substr(0, held.size() - 3));
  EXPECT_FALSE(f.Apply(answer, 1000, error));
  EXPECT_EQ(error, G("收到的数据与本机已有的长度不符（journal.txt），已丢弃并重新请求"));
  EXPECT_EQ(ReadAll(SpareFile("journal.txt")), held.substr(0, held.size() - 3));
  ASSERT_TRUE(Round(f, error)) << error;
  EXPECT_EQ(ReadAll(SpareFile("journal.txt")), JournalText(3));
}

TEST_F(SpareStreamTest, AStageFileUnreadableForAMomentIsNoNewsAndOnlyAGoneOneGoes) {
  TFollower f(spareRoot);
  std::string error;
  ASSERT_TRUE(Begin(f, Code(), error));
  ASSERT_TRUE(Round(f, error)) << error;
  const std::string held = ReadAll(SpareFile("journal.txt"));
  // A journal that is there but cannot be read (a file of the system that refuses reads at
  // its start; as root no permission would refuse them).
  fs::remove(JournalFile());
  fs::create_symlink("/proc/self/mem", JournalFile());
  ASSERT_TRUE(Round(f, error)) << error;
  EXPECT_EQ(ReadAll(SpareFile("journal.txt")), held);
  EXPECT_NE(ReadAll(SpareFile("relay.txt")).find("sha256 journal.txt " + Sha256Hex(held)),
            std::string::npos);
  // Gone for good on the stage: gone on the spare, and no longer named in relay.txt.
  fs::remove(JournalFile());
  ASSERT_TRUE(Round(f, error)) << error;
  EXPECT_FALSE(fs::exists(SpareFile("journal.txt")));
  EXPECT_EQ(ReadAll(SpareFile("relay.txt")).find("journal.txt"), std::string::npos);
  EXPECT_TRUE(fs::exists(SpareFile("checkin.txt")));
}

TEST_F(SpareStreamTest, AKillBetweenWriteAndRenameLosesNothing) {
  TFollower f(spareRoot);
  std::string error;
  ASSERT_TRUE(Begin(f, Code(), error));
  ASSERT_TRUE(Round(f, error)) << error;
  WriteAll(JournalFile(), JournalText(5));
  files::SetRenameFault(&FailJournalRename);
  EXPECT_FALSE(Round(f, error));
  files::SetRenameFault(nullptr);
  // The journal stays whole as it was, and no temporary is left beside it.
  EXPECT_EQ(ReadAll(SpareFile("journal.txt")), JournalText(2));
  size_t names = 0;
  for (const auto& e : fs::directory_iterator(root.dir() / "spare/SPARE/7")) {
    EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos);
    ++names;
  }
  EXPECT_EQ(names, 3u);  // journal, check-in and relay.txt, nothing else
  // A spare program started again goes on from the disk.
  TFollower again(spareRoot);
  ASSERT_TRUE(Begin(again, Code(), error));
  ASSERT_TRUE(Round(again, error)) << error;
  EXPECT_EQ(ReadAll(SpareFile("journal.txt")), JournalText(5));
  EXPECT_EQ(again.Batches(), 5u);
}

TEST_F(SpareStreamTest, ALargeSetupTravelsInBoundedAnswers) {
  std::string setup(kMaxAnswerBytes * 2 + 1000, 'x');
  for (size_t i = 0; i < setup.size(); ++i) setup[i] = static_cast<char>(i * 7 % 251);
  stage->SetSetup(setup);
  TFollower f(spareRoot);
  std::string error, ask;
  ASSERT_TRUE(Begin(f, Code(), error));
  size_t rounds = 0;
  for (; rounds < 10 && ReadAll(SpareFile("setup.zip")).empty(); ++rounds) {
    ASSERT_TRUE(f.NextRequest(ask, error));
    const std::string answer = Exchange(*stage, ask);
    EXPECT_LE(answer.size(), kMaxMessageBytes);
    ASSERT_TRUE(f.Apply(answer, 1000, error)) << error;
  }
  EXPECT_EQ(rounds, 3u);
  EXPECT_EQ(ReadAll(SpareFile("setup.zip")), setup);
}

// A raw HTTP exchange with the server on loopback: the answer's status and body.
std::pair<int, std::string> HttpAsk(uint16_t port, const std::string& method,
                                    const std::string& path, const std::string& body) {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  timeval limit{5, 0};
  ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  std::string answer;
  if (::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
    const std::string ask =
        method + " " + path + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n" +
        "Content-Type: application/octet-stream\r\nContent-Length: " + std::to_string(body.size()) +
        "\r\n\r\n" + body;
    (void)!::send(s, ask.data(), ask.size(), MSG_NOSIGNAL);
    char buf[65536];
    ssize_t n;
    while ((n = ::recv(s, buf, sizeof buf, 0)) > 0) answer.append(buf, static_cast<size_t>(n));
  }
  ::close(s);
  const size_t head = answer.find("\r\n\r\n");
  if (answer.size() < 12 || head == std::string::npos) return {0, ""};
  return {std::stoi(answer.substr(9, 3)), answer.substr(head + 4)};
}

TEST_F(SpareStreamTest, FollowsARealServerOnLoopback) {
  net::TLanServer server;
  server.AddRoutes(stage.get());
  const uint16_t port = net::FreePort("127.0.0.1", 18630);
  std::string error;
  ASSERT_TRUE(server.Start("127.0.0.1", port, error)) << error;
  stage->SetSetup(std::string(300000, 's'));
  TFollower f(spareRoot);
  const auto [helloStatus, hello] = HttpAsk(port, "GET", "/spare/hello", "");
  ASSERT_EQ(helloStatus, 200);
  ASSERT_TRUE(f.Begin(hello, Code(), 0, error)) << error;
  // The stage draws a batch between polls; six polls bring everything over.
  for (int poll = 0; poll < 6; ++poll) {
    if (poll == 2) WriteAll(JournalFile(), JournalText(3));
    std::string ask;
    ASSERT_TRUE(f.NextRequest(ask, error));
    const auto [status, body] = HttpAsk(port, "POST", "/spare/sync", ask);
    ASSERT_EQ(status, 200);
    ASSERT_TRUE(f.Apply(body, 1000 * (poll + 1), error)) << error;
  }
  server.Stop();
  EXPECT_EQ(ReadAll(SpareFile("journal.txt")), JournalText(3));
  EXPECT_EQ(ReadAll(SpareFile("setup.zip")), std::string(300000, 's'));
  EXPECT_EQ(f.Beat().Batches, 3u);
  EXPECT_EQ(f.Beat().TaskName, G("年会抽奖"));
  EXPECT_EQ(stage->Answered(), 6u);
}

TEST_F(SpareStreamTest, TheServiceAnswersTheSpareAndADrawOpeningHandsOverItsSetup) {
  TTombolixDataModule dm;
  ASSERT_TRUE(dm.DataModuleCreate());
  TaskDef def;
  def.items = {{G("一等奖"), 1, 1, G("汽车")}};
  def.candidates = {"A01 " + G("张三"), "A02 " + G("李四")};
  BuildTask(dm, def);
  TCheckinService service;
  const uint16_t port = net::FreePort("127.0.0.1", 18650);
  std::string error;
  ASSERT_TRUE(service.Start(1001, "127.0.0.1", port, error)) << text::GbkToUtf8(error);
  ASSERT_NE(service.Spare(), nullptr);
  const auto [helloStatus, hello] = HttpAsk(port, "GET", "/spare/hello", "");
  ASSERT_EQ(helloStatus, 200);
  TFollower f(spareRoot);
  std::string code;
  ASSERT_TRUE(ReadTypedCode(service.Spare()->Code(), code, error));
  ASSERT_TRUE(f.Begin(hello, code, 0, error)) << text::GbkToUtf8(error);
  EXPECT_EQ(f.Folder(), spareRoot + "SPARE/1001/");
  {
    TDrawSession session;
    TDrawLink link(&service, session, 1001);
    for (int poll = 0; poll < 3; ++poll) {
      std::string ask;
      ASSERT_TRUE(f.NextRequest(ask, error));
      const auto [status, body] = HttpAsk(port, "POST", "/spare/sync", ask);
      ASSERT_EQ(status, 200);
      ASSERT_TRUE(f.Apply(body, 1000, error)) << text::GbkToUtf8(error);
    }
  }
  service.Stop();
  // What arrived is the task's event package, whole.
  const std::string setup = ReadAll(root.dir() / "spare/SPARE/1001/setup.zip");
  package::TEventPackage pkg;
  ASSERT_TRUE(package::ReadEventPackage(setup, pkg, error)) << text::GbkToUtf8(error);
  EXPECT_EQ(pkg.Items.size(), 1u);
}

TEST_F(SpareStreamTest, AFailedExportOfTheSetupIsKeptForTheOperator) {
  TTombolixDataModule dm;
  ASSERT_TRUE(dm.DataModuleCreate());
  TaskDef def;
  def.mainImage = root.path("bg.jpg");  // set, but not there yet
  def.items = {{G("一等奖"), 1, 1, G("汽车")}};
  def.candidates = {"A01 " + G("张三")};
  BuildTask(dm, def);
  TStageStream s(1001, paths::DataRoot(), G("年会"));
  std::string error;
  EXPECT_FALSE(s.PublishSetup(error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(s.SetupError(), error);
  WriteAll(root.dir() / "bg.jpg", "JPEG");
  EXPECT_TRUE(s.PublishSetup(error)) << text::GbkToUtf8(error);
  EXPECT_EQ(s.SetupError(), "");
}

TEST_F(SpareStreamTest, AFollowedFolderReadsBackAsARelayOfWholeRecords) {
  stage->SetSetup("PK-setup");
  // The stage is writing its third batch when the spare asks: half a line on disk.
  const std::string torn = JournalText(3).substr(JournalText(2).size());
  WriteAll(JournalFile(), JournalText(2) + torn.substr(0, torn.size() / 2));
  TFollower f(spareRoot);
  std::string error;
  ASSERT_TRUE(Begin(f, Code(), error)) << error;
  ASSERT_TRUE(Round(f, error)) << error;
  TRelay relay;
  ASSERT_TRUE(ReadRelayFolder(spareRoot + "SPARE/7/", relay, error)) << text::GbkToUtf8(error);
  EXPECT_EQ(relay.Manifest.TaskId, 7);
  EXPECT_EQ(relay.Manifest.TaskName, G("年会抽奖"));
  EXPECT_EQ(relay.Manifest.Batches, 2);
  EXPECT_EQ(*relay.Entry(kJournalEntry), JournalText(2));
  EXPECT_EQ(*relay.Entry(kSetupEntry), "PK-setup");
  ASSERT_NE(relay.Entry(kCheckinEntry), nullptr);
  EXPECT_EQ(relay.Entry(kClaimsEntry), nullptr);
  // The line completed, the next round brings it whole.
  WriteAll(JournalFile(), JournalText(3));
  ASSERT_TRUE(Round(f, error)) << error;
  ASSERT_TRUE(ReadRelayFolder(spareRoot + "SPARE/7/", relay, error)) << text::GbkToUtf8(error);
  EXPECT_EQ(relay.Manifest.Batches, 3);
  EXPECT_EQ(*relay.Entry(kJournalEntry), JournalText(3));
}

TEST_F(SpareStreamTest, AStageStartedAgainRecordsTheTakeoverTheSpareTellsIt) {
  net::TLanServer server;
  server.AddRoutes(stage.get());
  const uint16_t port = net::FreePort("127.0.0.1", 18670);
  std::string error;
  ASSERT_TRUE(server.Start("127.0.0.1", port, error)) << error;
  TFollower f(spareRoot);
  const auto [helloStatus, hello] = HttpAsk(port, "GET", "/spare/hello", "");
  ASSERT_EQ(helloStatus, 200);
  ASSERT_TRUE(f.Begin(hello, Code(), 0, error)) << error;
  std::string ask;
  ASSERT_TRUE(f.NextRequest(ask, error));
  ASSERT_EQ(HttpAsk(port, "POST", "/spare/sync", ask).first, 200);
  // The stage program dies and is started again: a new stream on the same data folder.
  server.Stop();
  stage = std::make_unique<TStageStream>(kTask, stageRoot, G("年会抽奖"));
  net::TLanServer again;
  again.AddRoutes(stage.get());
  ASSERT_TRUE(again.Start("127.0.0.1", port, error)) << error;
  std::string notice;
  // Its draw screen is open again: nothing is written beside it, and the spare asks again.
  stage->SetDrawOpen(true);
  ASSERT_TRUE(f.TakenNotice("2026-12-10 21:05:00", notice, error));
  EXPECT_EQ(HttpAsk(port, "POST", "/spare/taken", notice).first, 423);
  EXPECT_EQ(ReadAll(JournalFile()), JournalText(2));
  stage->SetDrawOpen(false);
  ASSERT_TRUE(f.TakenNotice("2026-12-10 21:05:00", notice, error));
  const auto [status, body] = HttpAsk(port, "POST", "/spare/taken", notice);
  ASSERT_EQ(status, 200) << body;
  EXPECT_TRUE(f.TakenRecorded(body, error)) << text::GbkToUtf8(error);
  TJournal j;
  ASSERT_EQ(ReadJournal(JournalFile().string(), j, error), JournalRead::Ok);
  ASSERT_TRUE(TakenAt(j).has_value());
  EXPECT_EQ(*TakenAt(j), "2026-12-10 21:05:00");
  // The same notice again is a replay; a notice that is no time is refused.
  EXPECT_EQ(HttpAsk(port, "POST", "/spare/taken", notice).first, 409);
  ASSERT_TRUE(f.TakenNotice("21:05", notice, error));
  EXPECT_EQ(HttpAsk(port, "POST", "/spare/taken", notice).first, 403);
  again.Stop();
  EXPECT_EQ(ReadAll(JournalFile()), JournalText(2) + FormatTakenRecord("2026-12-10 21:05:00"));
}

}  // namespace
