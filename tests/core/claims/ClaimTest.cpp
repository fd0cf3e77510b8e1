#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <set>
#include <thread>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "SignedPhone.h"
#include "TempRoot.h"
#include "core/checkin/CheckinDesk.h"
#include "core/claims/ClaimDesk.h"
#include "core/claims/ClaimHttp.h"
#include "core/net/Pairing.h"
#include "core/records/ClaimFile.h"
#include "core/records/FileHash.h"
#include "core/text/FileWrite.h"
#include "core/text/Gbk.h"

using namespace claims;
using text::G;

namespace {

const std::string kKey = Sha256Hex("DRAW\tone\r\n");

TClaimDraw TwoWinners() {
  TClaimDraw d;
  d.TaskId = 7;
  d.DrawKey = kKey;
  d.Winners = {{"13800000001", 11, G("一等奖"), G("张三")},
               {"13800000002", 12, G("二等奖"), G("李四")}};
  return d;
}

struct Desk {
  TClaimDesk desk;
  explicit Desk(TClaimDraw draw = TwoWinners()) {
    desk.SetClock([] { return std::string("2026-12-09 21:30:05"); });
    std::string error;
    EXPECT_TRUE(desk.Use(std::move(draw), error)) << error;
  }
};

const TClaimDesk* g_desk = nullptr;
std::vector<size_t> g_claimedAtFlush;
void WatchClaims(const std::string&) { g_claimedAtFlush.push_back(g_desk->ClaimedCount()); }

std::filesystem::path FileOf(const TempRoot& root) {
  return root.dir() / ("LUCK_FILE/CLAIM_7_" + kKey.substr(0, 16) + ".txt");
}

}  // namespace

TEST(ClaimDesk, ClaimsOnceOnDiskBeforeTheAnswerAndTheSecondTimeSaysWhen) {
  TempRoot root;
  Desk d;
  const std::optional<TPrize> first = d.desk.Find(d.desk.PrizesOf("13800000001")[0].Code);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->Winner.Name, G("张三"));
  EXPECT_EQ(first->Code.size(), 8u);
  EXPECT_FALSE(first->Claimed);

  g_desk = &d.desk;
  g_claimedAtFlush.clear();
  files::SetFileFlushWatch(WatchClaims);
  const TClaimResult r =
      d.desk.ClaimCode(first->Code.substr(0, 4) + " " + first->Code.substr(4), G("领奖台1"));
  files::SetFileFlushWatch(nullptr);
  EXPECT_EQ(r.Answer, TClaimAnswer::Claimed);
  EXPECT_EQ(g_claimedAtFlush, std::vector<size_t>{0});  // flushed while not yet counted
  EXPECT_EQ(ReadAll(FileOf(root)), "CLAIM\t7\t" + kKey + "\r\n13800000001\t11\t" +
                                       G("2026-12-09 21:30:05\t领奖台1") + "\r\n");

  // Again, by id or code, from any desk: the time of the first, and nothing written.
  const TClaimResult again = d.desk.Claim("13800000001", 11, G("结果查询"));
  EXPECT_EQ(again.Answer, TClaimAnswer::AlreadyClaimed);
  EXPECT_EQ(ClaimAnswerText(again.Answer, again.Prize.Time), G("已于 21:30 领取"));
  EXPECT_EQ(again.Prize.Desk, G("领奖台1"));
  EXPECT_EQ(d.desk.ClaimCode(first->Code, "x").Answer, TClaimAnswer::AlreadyClaimed);
  EXPECT_EQ(d.desk.ClaimedCount(), 1u);
  const std::string bytes = ReadAll(FileOf(root));
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 2);
  // The same id's other item is not the claimed one.
  EXPECT_EQ(d.desk.Claim("13800000001", 12, "x").Answer, TClaimAnswer::NotWinner);
}

TEST(ClaimDesk, OnlyWinnersClaimAndAWinnerReplacedAsAbsentCannot) {
  TempRoot root;
  Desk d;
  EXPECT_EQ(d.desk.Claim("13800000009", 11, "x").Answer, TClaimAnswer::NotWinner);
  EXPECT_EQ(d.desk.ClaimCode("12ab", "x").Answer, TClaimAnswer::NotWinner);
  const std::string code = d.desk.PrizesOf("13800000002")[0].Code;
  const std::string kept = d.desk.PrizesOf("13800000001")[0].Code;
  // The stage marks 李四 absent: its list names the replacement in the place.
  TClaimDraw later = TwoWinners();
  later.Winners[1] = {"13800000003", 12, G("二等奖"), G("王五")};
  std::string error;
  ASSERT_TRUE(d.desk.Use(later, error)) << error;
  EXPECT_EQ(d.desk.Claim("13800000002", 12, "x").Answer, TClaimAnswer::Absent);
  EXPECT_EQ(d.desk.ClaimCode(code, "x").Answer, TClaimAnswer::Absent);
  const std::optional<TPrize> shown = d.desk.Find(code);
  ASSERT_TRUE(shown);
  EXPECT_TRUE(shown->Code.empty());  // the desk is told, the code claims nothing
  EXPECT_TRUE(d.desk.PrizesOf("13800000002").empty());
  EXPECT_EQ(d.desk.Claim("13800000003", 12, "x").Answer, TClaimAnswer::Claimed);
  // A later reveal of the same draw keeps the absent winner absent.
  later.Winners.push_back({"13800000004", 12, G("二等奖"), G("赵六")});
  ASSERT_TRUE(d.desk.Use(later, error)) << error;
  EXPECT_EQ(d.desk.Claim("13800000002", 12, "x").Answer, TClaimAnswer::Absent);
  EXPECT_EQ(d.desk.Claim("13800000003", 12, "x").Answer, TClaimAnswer::AlreadyClaimed);
  // Codes already given stay as they were.
  EXPECT_EQ(d.desk.PrizesOf("13800000001")[0].Code, kept);
  // Searching by name or part of the id.
  ASSERT_EQ(d.desk.Search(G("王")).size(), 1u);
  EXPECT_EQ(d.desk.Search("0000000").size(), 3u);  // 李四 no longer: absent
  EXPECT_TRUE(d.desk.Search(G("李四")).empty());
}

TEST(ClaimDesk, ResumesFromTheFileAndCutsBackATornTail) {
  TempRoot root;
  const std::string whole =
      "CLAIM\t7\t" + kKey + "\r\n13800000001\t11\t2026-12-09 20:00:00\t" + G("领奖台2") + "\r\n";
  WriteAll(FileOf(root), whole + "13800000002\t12\t2026-12");
  Desk d;
  EXPECT_EQ(d.desk.ClaimedCount(), 1u);
  const TClaimResult again = d.desk.Claim("13800000001", 11, "x");
  EXPECT_EQ(again.Answer, TClaimAnswer::AlreadyClaimed);
  EXPECT_EQ(ClaimAnswerText(again.Answer, again.Prize.Time), G("已于 20:00 领取"));
  EXPECT_EQ(d.desk.Claim("13800000002", 12, G("领奖台1")).Answer, TClaimAnswer::Claimed);
  EXPECT_EQ(ReadAll(FileOf(root)),
            whole + "13800000002\t12\t2026-12-09 21:30:05\t" + G("领奖台1") + "\r\n");
}

TEST(ClaimDesk, RefusesADamagedFileOrOneOfAnotherDraw) {
  TempRoot root;
  TClaimDesk desk;
  std::string error;
  WriteAll(FileOf(root),
           "CLAIM\t7\t" + kKey + "\r\nbroken\r\n13800000001\t11\t2026-12-09 " + "20:00:00\tA\r\n");
  EXPECT_FALSE(desk.Use(TwoWinners(), error));
  EXPECT_NE(error.find(G("第2行已损坏")), std::string::npos) << text::GbkToUtf8(error);
  EXPECT_EQ(desk.Claim("13800000001", 11, "x").Answer, TClaimAnswer::Closed);
  WriteAll(FileOf(root), "CLAIM\t7\t" + std::string(64, 'f') + "\r\n");
  EXPECT_FALSE(desk.Use(TwoWinners(), error));
  EXPECT_NE(error.find(G("属于另一次抽奖")), std::string::npos);
}

TEST(ClaimFile, EachDrawKeepsItsOwnClaimsAndTheOthersAreStale) {
  TempRoot root;
  WriteAll(root.dir() / "LUCK_FILE/JOURNAL_7.txt", "DRAW\tone\r\nBATCH\t1\r\n");
  EXPECT_EQ(CurrentDrawKey(7), kKey);
  EXPECT_EQ(ResultsDrawKey(7), kKey);
  const std::string old = ClaimFilePath(7, std::string(64, 'e'));
  const std::string now = ClaimFilePath(7, kKey);
  WriteAll(root.dir() / "LUCK_FILE" / old.substr(old.rfind('/') + 1), "");
  WriteAll(root.dir() / "LUCK_FILE" / now.substr(now.rfind('/') + 1), "");
  EXPECT_EQ(TaskClaimFiles(7), (std::vector<std::string>{now, old}));
  EXPECT_EQ(StaleClaimFiles(7), std::vector<std::string>{old});
  // The draw finished: its journal's new name keeps its key; the results are that draw's.
  std::filesystem::rename(root.dir() / "LUCK_FILE/JOURNAL_7.txt",
                          root.dir() / "LUCK_FILE/JOURNAL_7_DONE.txt");
  EXPECT_EQ(ResultsDrawKey(7), kKey);
  EXPECT_EQ(StaleClaimFiles(7).size(), 2u);  // no draw open: all go with their results
  EXPECT_EQ(JournalDrawKey(root.path("LUCK_FILE/NONE.txt")), "");
}

TEST(ClaimDesk, DesksClaimingAtOnceRecordEachPrizeOnce) {
  TempRoot root;
  TClaimDraw draw;
  draw.TaskId = 7;
  draw.DrawKey = kKey;
  for (int i = 0; i < 40; ++i) draw.Winners.push_back({"1380000" + std::to_string(1000 + i), 11});
  Desk d(draw);
  std::atomic<int> claimed{0};
  std::vector<std::thread> desks;
  for (int t = 0; t < 4; ++t)
    desks.emplace_back([&, t] {
      for (int i = 0; i < 40; ++i)
        if (d.desk
                .Claim("1380000" + std::to_string(1000 + (i + t * 7) % 40), 11,
                       "D" + std::to_string(t))
                .Answer == TClaimAnswer::Claimed)
          ++claimed;
    });
  for (std::thread& t : desks) t.join();
  EXPECT_EQ(claimed.load(), 40);
  TClaimFile file;
  std::string error;
  ASSERT_TRUE(ReadDrawClaims(7, kKey, file, error)) << error;
  EXPECT_EQ(file.Records.size(), 40u);
  const std::string bytes = ReadAll(FileOf(root));
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 41);
}

#ifndef _WIN32
// A desk killed at any moment between a claim's append and its answer: what is on disk is
// whole, nothing is recorded twice, and the claims go on after a restart.
TEST(ClaimDesk, AKillBetweenAppendAndAnswerLosesAndDoublesNothing) {
  TempRoot root;
  TClaimDraw draw;
  draw.TaskId = 7;
  draw.DrawKey = kKey;
  for (int i = 0; i < 300; ++i) draw.Winners.push_back({std::to_string(5000 + i), 11});
  for (int round = 0; round < 3; ++round) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      TClaimDesk desk;
      std::string error;
      if (!desk.Use(draw, error)) _exit(2);
      for (const TClaimWinner& w : draw.Winners) desk.Claim(w.Id, w.ItemId, "K");
      _exit(0);
    }
    // Killed once its file holds some claims, later each round (at most 5 s on).
    const size_t lines = 10 + static_cast<size_t>(round) * 60;
    for (int i = 0; i < 25000; ++i) {
      const std::string bytes = ReadAll(FileOf(root));
      if (static_cast<size_t>(std::count(bytes.begin(), bytes.end(), '\n')) >= lines) break;
      usleep(200);
    }
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    TClaimFile file;
    std::string error;
    ASSERT_TRUE(ReadDrawClaims(7, kKey, file, error)) << error;
    std::set<std::string> ids;
    for (const TClaimRecord& r : file.Records) EXPECT_TRUE(ids.insert(r.Id).second) << r.Id;
  }
  // After the kills: every prize claimed once, those on disk answer when.
  TClaimDesk desk;
  std::string error;
  ASSERT_TRUE(desk.Use(draw, error)) << error;
  const size_t before = desk.ClaimedCount();
  size_t fresh = 0;
  for (const TClaimWinner& w : draw.Winners)
    fresh += desk.Claim(w.Id, w.ItemId, "R").Answer == TClaimAnswer::Claimed;
  EXPECT_EQ(before + fresh, 300u);
  TClaimFile file;
  ASSERT_TRUE(ReadDrawClaims(7, kKey, file, error)) << error;
  EXPECT_EQ(file.Records.size(), 300u);
  EXPECT_FALSE(file.TornTail);
  const std::string bytes = ReadAll(FileOf(root));
  EXPECT_EQ(static_cast<size_t>(std::count(bytes.begin(), bytes.end(), '\n')), 301u);
}
#endif

namespace {

net::THttpResponse Ask(TClaimRoutes& routes, const char* method, const char* path,
                       const std::string& body, bool* handled = nullptr) {
  net::THttpRequest req;
  req.Method = method;
  req.Path = path;
  req.Body = body;
  req.Address = "10.0.0.9";
  net::THttpResponse r;
  const bool h = routes.Handle(req, r);
  if (handled) *handled = h;
  return r;
}

bool Has(const net::THttpResponse& r, const std::string& part) {
  return r.Body.find(part) != std::string::npos;
}

}  // namespace

TEST(ClaimHttp, APairedDeskFindsAndClaimsAndTheWinnersPhoneSeesItClaimed) {
  TempRoot root;
  checkin::TCheckinTask task;
  task.TaskId = 7;
  task.TaskName = G("年会");
  task.TitleLine = G("手机号码 姓名");
  task.Lines = {G("13800000001 张三"), G("13800000002 李四")};
  task.FilePath = root.path("LUCK_FILE/CHECKIN_7.txt");
  checkin::TCheckinDesk checkins;
  std::string error;
  ASSERT_TRUE(checkins.Open(task, error)) << error;
  const std::string phone = checkins.CheckIn("10.0.0.5", "13800000001", "张三").Token;
  ASSERT_FALSE(phone.empty());
  auto desk = std::make_shared<TClaimDesk>();
  desk->SetClock([] { return std::string("2026-12-09 21:30:05"); });
  ASSERT_TRUE(desk->Use(TwoWinners(), error)) << error;
  net::TPairing pairing;
  TClaimRoutes routes(checkins, pairing, desk);
  routes.SetBaseUrl("http://127.0.0.1:8080/");

  // The winner's phone: its code and the QR of the desk page with it.
  net::THttpResponse r = Ask(routes, "POST", "/prize", "t=" + phone);
  const std::string code = desk->PrizesOf("13800000001")[0].Code;
  EXPECT_TRUE(Has(r, "\"code\":\"" + code.substr(0, 4) + " " + code.substr(4) + "\"")) << r.Body;
  EXPECT_TRUE(Has(r, "\"claimed\":false")) << r.Body;
  int side = 0;
  const std::string modules = QrModules("http://127.0.0.1:8080/desk?c=" + code, side);
  EXPECT_TRUE(Has(r, "\"qr\":\"" + modules + "\",\"qs\":" + std::to_string(side)));
  EXPECT_EQ(modules.size(), static_cast<size_t>(side * side));
  EXPECT_GE(side, 21);
  EXPECT_EQ(Ask(routes, "POST", "/prize", "t=" + std::string(32, 'a')).Body, "{\"prizes\":[]}");

  // Unpaired, a wrong code, the host's code: refused; the host's code is not used up.
  SignedPhone stranger(net::TPairRole::Desk, "2345234523452345");
  stranger.token = std::string(32, 'b');
  EXPECT_EQ(Ask(routes, "POST", "/desk/find", stranger.Body("/desk/find", "c=" + code)).Status,
            403);
  EXPECT_EQ(Ask(routes, "POST", "/desk/pair", "code=000000x").Status, 403);
  EXPECT_EQ(Ask(routes, "POST", "/desk/pair", stranger.PairBody("/desk/pair")).Status, 403);
  const std::string hostCode = pairing.Code(net::TPairRole::Host);
  SignedPhone host(net::TPairRole::Desk, hostCode);
  r = Ask(routes, "POST", "/desk/pair", host.PairBody("/desk/pair"));
  EXPECT_TRUE(Has(r, "wrongrole")) << r.Body;
  EXPECT_FALSE(pairing.View().HostPaired);
  EXPECT_EQ(pairing.Code(net::TPairRole::Host), hostCode);
  SignedPhone d(net::TPairRole::Desk, pairing.Code(net::TPairRole::Desk));
  r = Ask(routes, "POST", "/desk/pair", d.PairBody("/desk/pair"));
  ASSERT_EQ(r.Status, 200);
  ASSERT_TRUE(d.Paired(r.Body));
  EXPECT_TRUE(Has(r, "\"desk\":\"领奖台1\"")) << r.Body;

  const std::string find = d.Body("/desk/find", "c=" + code);
  r = Ask(routes, "POST", "/desk/find", find);
  EXPECT_TRUE(Has(r, "\"name\":\"张三\",\"item\":\"一等奖\",\"p\":11")) << r.Body;
  EXPECT_TRUE(Has(r, "\"text\":\"未领取\"")) << r.Body;
  r = Ask(routes, "POST", "/desk/find", find);  // replayed: told the last counter
  EXPECT_EQ(r.Status, 409);
  EXPECT_TRUE(Has(r, "\"last\":2")) << r.Body;
  r = Ask(routes, "POST", "/desk/find", d.Body("/desk/find", "q=%E6%9D%8E"));  // 李
  EXPECT_TRUE(Has(r, "\"id\":\"13800000002\"")) << r.Body;
  // A find's signature does not claim.
  std::string moved = d.Body("/desk/find", "c=" + code);
  EXPECT_EQ(Ask(routes, "POST", "/desk/claim", moved).Status, 403);
  r = Ask(routes, "POST", "/desk/claim", d.Body("/desk/claim", "c=" + code));
  EXPECT_TRUE(Has(r, "\"kind\":\"ok\",\"text\":\"领取成功\"")) << r.Body;
  r = Ask(routes, "POST", "/desk/claim", d.Body("/desk/claim", "i=13800000001&p=11"));
  EXPECT_TRUE(Has(r, "\"kind\":\"already\",\"text\":\"已于 21:30 领取\"")) << r.Body;
  r = Ask(routes, "POST", "/desk/claim", d.Body("/desk/claim", "i=13800000009&p=11"));
  EXPECT_TRUE(Has(r, "\"kind\":\"notwinner\"")) << r.Body;
  EXPECT_EQ(desk->ClaimedCount(), 1u);
  r = Ask(routes, "POST", "/prize", "t=" + phone);
  EXPECT_TRUE(Has(r, "\"claimed\":true,\"text\":\"已领取\"")) << r.Body;

  // Malformed forms are 400; other paths and oversized requests are not these routes'.
  EXPECT_EQ(Ask(routes, "POST", "/desk/claim", d.Body("/desk/claim", "i=%zz&p=11")).Status, 400);
  EXPECT_EQ(Ask(routes, "POST", "/desk/claim", "k=" + d.token + "&n=%").Status, 400);
  EXPECT_EQ(Ask(routes, "POST", "/desk/claim", d.Body("/desk/claim", "i=1&p=1x")).Status, 400);
  bool handled = true;
  Ask(routes, "GET", "/desk/list", "", &handled);
  EXPECT_FALSE(handled);
  Ask(routes, "POST", "/prize", std::string(net::kMaxBodyBytes + 1, 'a'), &handled);
  EXPECT_FALSE(handled);
  r = Ask(routes, "GET", "/desk", "", &handled);
  EXPECT_TRUE(handled);
  EXPECT_TRUE(Has(r, "确认领取") && Has(r, "<p class=\"task\">年会</p>"));
}

TEST(ClaimHttp, TheDeskShowsNoPhotoForAnIdTwoPeopleShare) {
  TempRoot root;
  checkin::TCheckinTask task;
  task.TaskId = 7;
  task.TitleLine = G("工号 姓名");
  task.Lines = {G("8 张三"), G("8 李四"), G("9 王五")};
  task.FilePath = root.path("LUCK_FILE/CHECKIN_7.txt");
  checkin::TCheckinDesk checkins;
  std::string error;
  ASSERT_TRUE(checkins.Open(task, error)) << error;
  // Photos are filed by id: 8.jpg is one of the two people of id 8, which one nobody knows.
  WriteAll(root.dir() / "DATA_FILE/PHOTO_7/8.jpg", "\xff\xd8zhang");
  WriteAll(root.dir() / "DATA_FILE/PHOTO_7/9.jpg", "\xff\xd8wang");
  TClaimDraw draw;
  draw.TaskId = 7;
  draw.DrawKey = kKey;
  draw.Winners = {{"8", 11, G("一等奖"), G("李四")}, {"9", 12, G("二等奖"), G("王五")}};
  auto desk = std::make_shared<TClaimDesk>();
  ASSERT_TRUE(desk->Use(draw, error)) << error;
  net::TPairing pairing;
  TClaimRoutes routes(checkins, pairing, desk);
  SignedPhone d(net::TPairRole::Desk, pairing.Code(net::TPairRole::Desk));
  net::THttpResponse r = Ask(routes, "POST", "/desk/pair", d.PairBody("/desk/pair"));
  ASSERT_TRUE(d.Paired(r.Body));

  r = Ask(routes, "POST", "/desk/find", d.Body("/desk/find", "c=" + desk->PrizesOf("8")[0].Code));
  EXPECT_TRUE(Has(r, "\"name\":\"李四\"")) << r.Body;
  EXPECT_TRUE(Has(r, "\"photo\":\"\"")) << r.Body;
  r = Ask(routes, "POST", "/desk/find", d.Body("/desk/find", "c=" + desk->PrizesOf("9")[0].Code));
  EXPECT_TRUE(Has(r, "\"photo\":\"data:image/jpeg;base64,/9h3YW5n\"")) << r.Body;
}

// A winner's code on the phone is what the desk finds after a restart too.
TEST(ClaimDesk, APrizeKeepsItsCodeAcrossARestartOfTheProgram) {
  TempRoot root;
  std::string first;
  {
    Desk d;
    const std::vector<TPrize> prizes = d.desk.PrizesOf("13800000001");
    ASSERT_EQ(prizes.size(), 1u);
    first = prizes[0].Code;
    ASSERT_EQ(first.size(), kClaimCodeDigits);
  }
  Desk again;
  ASSERT_TRUE(again.desk.Find(first).has_value());
  EXPECT_EQ(again.desk.Find(first)->Winner.Id, "13800000001");
  EXPECT_EQ(again.desk.ClaimCode(first, G("领奖台1")).Answer, TClaimAnswer::Claimed);
  // Another draw of the task has codes of its own.
  TClaimDraw other = TwoWinners();
  other.DrawKey = Sha256Hex("DRAW\ttwo\r\n");
  Desk later(other);
  EXPECT_FALSE(later.desk.Find(first).has_value());
}
