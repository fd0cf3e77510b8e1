// A draw of those checked in only: the pool, the journal head, the seed, the proof line, the
// audit bundle and the verifier.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "JournalForge.h"
#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/checkin/CheckinDesk.h"
#include "core/checkin/CheckinRecords.h"
#include "core/checkin/CheckinService.h"
#include "core/checkin/WinnersBoard.h"
#include "core/config/TaskCheckin.h"
#include "core/draw/DataDraw.h"
#include "core/draw/DrawJournal.h"
#include "core/draw/DrawProof.h"
#include "core/draw/StageView.h"
#include "core/import/Zip.h"
#include "core/net/LanServer.h"
#include "core/net/LanSettings.h"
#include "core/records/CheckinFile.h"
#include "core/records/DrawDataFile.h"
#include "core/records/FileHash.h"
#include "core/records/Loaders.h"
#include "core/text/FileWrite.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "core/text/Text.h"
#include "core/verify/AuditBundle.h"
#include "core/verify/DrawVerify.h"

using text::G;

namespace {

class CheckinDraw : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dm.DataModuleCreate());
    TaskDef def;
    def.title = G("号码 姓名");
    for (int i = 0; i < 12; ++i) def.candidates.push_back(std::to_string(200 + i) + G(" 员工"));
    def.items = {{G("一等奖"), 2, 2, ""}, {G("二等奖"), 2, 1, ""}};
    m_items = BuildTask(m_dm, def);
  }

  // Checks in `ids` through a desk on the task's own file, as the phones would.
  void CheckIn(const std::vector<std::string>& ids) {
    TLuckTask task;
    std::string err;
    ASSERT_TRUE(LoadLuckTask(1001, task, err));
    checkin::TCheckinTask t;
    t.TaskId = 1001;
    t.FilePath = checkin::CheckinFilePath(1001);
    int32_t idMax = 0;
    ASSERT_TRUE(ReadDrawDataFile(DrawDataFileOf(task), 0, 1, t.Lines, idMax, t.TitleLine, err));
    checkin::TCheckinDesk desk;
    ASSERT_TRUE(desk.Open(t, err)) << err;
    for (const std::string& id : ids) desk.CheckIn("10.0.0.1", id, "员工");
    desk.Close();
  }

  // Checks in `ids` and makes the task draw from those checked in.
  void CheckInOnly(const std::vector<std::string>& ids) {
    CheckIn(ids);
    std::string err;
    ASSERT_TRUE(config::SaveCheckinOnly(1001, true, err)) << err;
  }

  // A draw of task 1001 with `secret`, set up.
  struct Run {
    TRandom rng;
    TDrawSession s;
    TDataDraw e;
    explicit Run(uint32_t secret) : e(s, rng, secret) {
      TDrawFailure f;
      EXPECT_TRUE(e.SetUp(1001, f)) << text::GbkToUtf8(f.text);
    }
  };

  static void DrawAll(TDataDraw& e) {
    for (int guard = 0; guard < 50 && !(e.state() == TDataDraw::State::Finished); ++guard) {
      ASSERT_TRUE(e.BeginBatch());
      e.SelectBatchWinners();
      e.RollStep();
      e.RevealBatch();
      e.EndBatch();
    }
    ASSERT_TRUE((e.state() == TDataDraw::State::Finished));
  }

  static std::set<std::string> WonIds(const TDataDraw& e) {
    std::set<std::string> won;
    for (const TLuckId& w : e.Session().Winners)
      won.insert(std::string(text::FirstField(w.CandidateLine)));
    return won;
  }

  TempRoot m_root;
  TTombolixDataModule m_dm;
  std::vector<int> m_items;
};

}  // namespace

TEST_F(CheckinDraw, OnlyThoseCheckedInWinAndTheHeadSeedAndProofNameThem) {
  // 999 is not on the list: it is no one to draw.
  CheckInOnly({"207", "203", "210", "201", "205", "999"});
  const std::vector<std::string> present = {"201", "203", "205", "207", "210"};
  const std::string hash = Sha256Hex("201\n203\n205\n207\n210\n");
  for (uint32_t secret = 1; secret <= 8; ++secret) {
    SCOPED_TRACE(secret);
    Run run(secret);
    TDataDraw& e = run.e;
    EXPECT_TRUE(e.JournalHead().CheckinOnly);
    EXPECT_EQ(e.JournalHead().Present, present);
    EXPECT_EQ(e.JournalHead().PresentHash, hash);
    const std::string proof = stageview::ProofText(e);
    EXPECT_NE(proof.find(G("签到 ") + hash.substr(0, 8) + G("  5人  承诺 ")), std::string::npos)
        << text::GbkToUtf8(proof);
    DrawAll(e);
    ASSERT_EQ(e.Session().Winners.size(), 4u);
    const std::set<std::string> won = WonIds(e);
    EXPECT_EQ(won.size(), 4u);
    for (const std::string& id : won)
      EXPECT_TRUE(std::binary_search(present.begin(), present.end(), id)) << id;
    // The seed's input names the list of those checked in.
    TJournal j;
    std::string err;
    ASSERT_EQ(ReadJournal(paths::FinishedJournalPath(1001), j, err), JournalRead::Ok);
    EXPECT_TRUE(j.Head.SameDraw(e.JournalHead()));
    std::vector<TProofItem> items;
    for (const TJournalItem& it : j.Head.Items)
      items.push_back({it.ItemId, it.LuckCount, it.ListCount});
    EXPECT_EQ(j.Start.Seed, DeriveSeed(j.Head.Secret, "", j.Head.DataHash, j.Head.PresetHash,
                                       ItemsText(items), "", "", hash));
    const TVerifyResult r = VerifyDrawFolder(paths::DataRoot(), 1001);
    EXPECT_TRUE(r.Passed) << VerifyText(r);
    EXPECT_NE(VerifyText(r).find("仅抽取已签到人员: 签到名单指纹" + hash.substr(0, 16) +
                                 ", 5人, 与指纹一致, 均在签到记录文件中"),
              std::string::npos)
        << VerifyText(r);
  }
}

TEST_F(CheckinDraw, ThePoolIsFixedAtSetUpAndAnOptionOffDrawsEveryone) {
  CheckIn({"200", "201"});
  {
    // Off: the whole list, and the head as it always was.
    Run off(3u);
    EXPECT_FALSE(off.e.JournalHead().CheckinOnly);
    EXPECT_EQ(FormatJournalHead(off.e.JournalHead()).find("checkin="), std::string::npos);
    // Every one of the twelve may win: no count of those checked in on the proof line.
    EXPECT_EQ(stageview::ProofText(off.e).find(G("签到")), std::string::npos);
  }
  CheckInOnly({});
  Run run(3u);
  // Check-ins after the set-up do not reach this draw: two for four prizes.
  CheckIn({"202", "203"});
  std::string err;
  ASSERT_TRUE(run.e.StartJournal(err)) << err;
  // A journal of the head alone (the Ready screen) lets check-in open again; a batch shown
  // keeps it closed.
  EXPECT_FALSE(checkin::DrawFixed(1001));
  ASSERT_TRUE(run.e.BeginBatch());
  run.e.SelectBatchWinners();
  run.e.RollStep();
  run.e.RevealBatch();
  EXPECT_TRUE(checkin::DrawFixed(1001));
  run.e.EndBatch();
  DrawAll(run.e);
  EXPECT_EQ(WonIds(run.e), (std::set<std::string>{"200", "201"}));
}
TEST_F(CheckinDraw, HeadRoundTripsAndTheVerifierCatchesAChangedList) {
  TJournalHead h;
  h.TaskId = 7;
  h.DataHash = std::string(64, 'a');
  h.PresetHash = std::string(64, 'b');
  h.Commit = std::string(64, 'c');
  h.Secret = std::string(64, 'd');
  h.Items = {{1, 2, 1}};
  h.CheckinOnly = true;
  h.Present = {"13800000001", G("甲%1")};
  h.PresentHash = ExcludedHashOf(h.Present);
  TJournal j;
  std::string err;
  ASSERT_EQ(ParseJournal(FormatJournalHead(h), j, "x", err), JournalRead::Ok) << err;
  EXPECT_TRUE(j.Head.CheckinOnly);
  EXPECT_EQ(j.Head.Present, h.Present);
  EXPECT_TRUE(j.Head.SameDraw(h));
  TJournalHead other = h;
  other.Present.pop_back();
  EXPECT_FALSE(other.SameDraw(h));
  EXPECT_EQ(SeedInput("s", "", "d", "p", "i", "", "", "h"),
            "tombolix-seed-1\nsecret=s\naudience=\ndata=d\npresets=p\nitems=i\ncheckin=h\n");

  // A finished draw; then someone is struck from the check-in file.
  CheckInOnly({"204", "206", "208", "211"});
  Run run(9u);
  DrawAll(run.e);
  ASSERT_TRUE(VerifyDrawFolder(paths::DataRoot(), 1001).Passed);
  TLuckTask task;
  ASSERT_TRUE(LoadLuckTask(1001, task, err));
  const std::string zip = m_root.path("out/audit.zip");
  ASSERT_TRUE(WriteAuditBundle(task, zip, err)) << err;
  sheet::ZipArchive archive;
  ASSERT_TRUE(archive.OpenFile(zip, err));
  std::string bytes;
  ASSERT_TRUE(archive.ReadPart(kAuditCheckinEntry, bytes, err));
  EXPECT_EQ(bytes, "204\n206\n208\n211\n");
  EXPECT_TRUE(VerifyAuditBundle(zip).Passed);

  const std::string path = checkin::CheckinFilePath(1001);
  std::string file = ReadAll(paths::NativePath(path));
  const size_t at = file.find("\r\n206\t");
  ASSERT_NE(at, std::string::npos);
  file.erase(at + 2, file.find("\r\n", at + 2) - at);
  WriteAll(paths::NativePath(path), file);
  const TVerifyResult r = VerifyDrawFolder(paths::DataRoot(), 1001);
  EXPECT_FALSE(r.Passed);
  EXPECT_NE(VerifyText(r).find("抽奖记录中的签到人员206不在签到记录文件中"), std::string::npos)
      << VerifyText(r);
}

namespace {

// The journal's size at each flush of it.
std::vector<uintmax_t> g_journalFlushes;
void WatchJournal(const std::string& file) {
  if (file.find("JOURNAL_1001") == std::string::npos) return;
  std::error_code ec;
  g_journalFlushes.push_back(std::filesystem::file_size(file, ec));
}

}  // namespace

TEST_F(CheckinDraw, EachBatchIsOnDiskBeforeItsRevealIsShown) {
  Run run(5u);
  std::string err;
  ASSERT_TRUE(run.e.StartJournal(err)) << err;
  g_journalFlushes.clear();
  files::SetFileFlushWatch(WatchJournal);
  const std::string path = paths::NativePath(paths::JournalPath(1001)).string();
  for (size_t batch = 1; batch <= 3; ++batch) {
    ASSERT_TRUE(run.e.BeginBatch());
    run.e.SelectBatchWinners();
    run.e.RollStep();
    EXPECT_FALSE(run.e.RevealBatch().empty());
    // What the hall is about to see is in a flushed journal of the size on disk.
    ASSERT_EQ(g_journalFlushes.size(), batch);
    EXPECT_EQ(g_journalFlushes.back(), std::filesystem::file_size(path));
    run.e.EndBatch();
  }
  files::SetFileFlushWatch(nullptr);
}

TEST_F(CheckinDraw, TheServiceClosesForTheDrawAndStaysClosedOnceABatchWasDrawn) {
  EXPECT_EQ(checkin::NoListRefusal(TDrawType::ByProbability),
            G("按概率抽奖的项目没有名单，不能签到"));
  EXPECT_EQ(checkin::NoListRefusal(TDrawType::FromData), "");
  CheckInOnly({"200", "201", "202"});
  TCheckinService service;
  std::string err;
  ASSERT_TRUE(service.Start(1001, "127.0.0.1", net::FreePort("127.0.0.1", 18950), err))
      << text::GbkToUtf8(err);
  EXPECT_EQ(service.BeforeDraw(1002), "");
  EXPECT_EQ(service.BeforeDraw(1001),
            G("签到还在进行（已签到 3 / 12）。打开抽奖屏幕将结束签到，只抽取已签到的人员。"
              "现在结束签到并开始抽奖吗？"));
  // Left at the Ready screen: nothing fixed, check-in answers again.
  service.CloseDesk();
  {
    TDrawSession screen;
    const TDrawLink link(&service, screen, 1001);
    Run ready(4u);
    ASSERT_TRUE(ready.e.StartJournal(err)) << err;
  }
  EXPECT_TRUE(service.DeskOpen());

  // A whole draw; its journal gets its final name, and nobody joins the list it used.
  service.CloseDesk();
  {
    TDrawSession screen;
    const TDrawLink link(&service, screen, 1001);
    Run run(4u);
    DrawAll(run.e);
  }
  ASSERT_FALSE(paths::FileExists(paths::JournalPath(1001)));
  EXPECT_FALSE(service.DeskOpen());
  EXPECT_EQ(service.Desk().CheckIn("10.0.0.9", "203", "员工").Answer, checkin::TAnswer::Closed);
  EXPECT_TRUE(service.Running());  // the phones keep the winners page
  // A check-in file that grew past the draw (as an older version let it) is exported as
  // the draw used it.
  CheckIn({"209"});
  std::vector<std::pair<std::string, std::string>> rows;
  ASSERT_TRUE(checkin::CheckinsOfDraw(1001, rows, err)) << err;
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows.back().first, "202");
  // Started again (as after a restart), the server answers for the night while check-in
  // stays closed.
  service.Stop();
  ASSERT_TRUE(service.Start(1001, "127.0.0.1", net::FreePort("127.0.0.1", 18950), err))
      << text::GbkToUtf8(err);
  EXPECT_TRUE(service.Running());
  EXPECT_FALSE(service.DeskOpen());
  EXPECT_EQ(service.Desk().CheckIn("10.0.0.9", "204", "员工").Answer, checkin::TAnswer::Closed);
  service.Stop();

  // The audit bundle carries the check-in file the draw used, and its check finds it.
  TLuckTask task;
  ASSERT_TRUE(LoadLuckTask(1001, task, err));
  const std::string zip = m_root.path("out/audit.zip");
  ASSERT_TRUE(WriteAuditBundle(task, zip, err)) << err;
  const TVerifyResult r = VerifyAuditBundle(zip);
  EXPECT_TRUE(r.Passed) << VerifyText(r);
  EXPECT_NE(VerifyText(r).find("均在签到记录文件中"), std::string::npos) << VerifyText(r);
}

// The main window's one link of a draw to the service: the board, the claims and the host
// hear the stage while it lives, and the task's check-in is handed back when it goes.
TEST_F(CheckinDraw, ADrawLinkFeedsThePhonesWhileItLivesAndHandsCheckinBackWhenItGoes) {
  CheckInOnly({"200", "201", "202"});
  TDrawSession session;
  {
    const TDrawLink none(nullptr, session, 1001);  // no service made yet
    EXPECT_EQ(none.Host(), nullptr);
    EXPECT_TRUE(session.Watchers().empty());
  }
  TCheckinService service;
  std::string err;
  ASSERT_TRUE(service.Start(1001, "127.0.0.1", net::FreePort("127.0.0.1", 18930), err))
      << text::GbkToUtf8(err);
  service.CloseDesk();
  {
    const TDrawLink link(&service, session, 1001);
    EXPECT_EQ(link.Host(), &service.Host());
    ASSERT_EQ(session.Watchers().size(), 3u);
    EXPECT_EQ(session.Watchers()[2], &service.Host());
    TRevealedLine caption, winner;
    caption.text = G("一等奖");
    caption.caption = true;
    winner.text = winner.line = G("201 员工");
    winner.place = 0;
    winner.id = "201";
    winner.item = G("一等奖");
    winner.itemId = m_items[0];
    TRevealedList list;
    list.taskId = 1001;
    list.lines = {caption, winner};
    for (TStageObserver* o : session.Watchers()) o->Revealed(list);
    std::vector<checkin::TBoardLine> board;
    std::string won;
    service.Desk().ReadBoard("", board, won);
    ASSERT_EQ(board.size(), 2u);
    EXPECT_EQ(board[1].Text, G("201 员工"));
    const std::vector<claims::TPrize> prizes = service.Claims()->Prizes();
    ASSERT_EQ(prizes.size(), 1u);
    EXPECT_EQ(prizes[0].Winner.Id, "201");
    EXPECT_EQ(prizes[0].Winner.ItemId, m_items[0]);
    EXPECT_FALSE(service.DeskOpen());  // handed back only when the link goes
  }
  EXPECT_TRUE(session.Watchers().empty());
  EXPECT_TRUE(service.DeskOpen());  // no batch on file: check-in answers again

  // Another task's draw: the host alone follows it, and this task's desk stays as it is.
  service.CloseDesk();
  {
    const TDrawLink other(&service, session, 1002);
    ASSERT_EQ(session.Watchers().size(), 1u);
    EXPECT_EQ(session.Watchers()[0], &service.Host());
  }
  EXPECT_TRUE(session.Watchers().empty());
  EXPECT_FALSE(service.DeskOpen());

  // Stopped, the service links nothing and hands nothing back.
  service.Stop();
  {
    const TDrawLink stopped(&service, session, 1001);
    EXPECT_EQ(stopped.Host(), nullptr);
    EXPECT_TRUE(session.Watchers().empty());
  }
}

TEST_F(CheckinDraw, AServerLeftRunningComesBackOnItsAddressAndPortAfterARestart) {
  EXPECT_EQ(net::ParseLanSettings("PORT=99999\nRUBBISH\r\nADDRESS= 10.0.0.2\r\nRUNNING=1"),
            (net::TLanSettings{"10.0.0.2", 0, true, "", ""}));
  const uint16_t port = net::FreePort("127.0.0.1", 18960);
  std::string err;
  {
    TCheckinService first;
    first.SetWifi(G("年会"), "12345678");
    ASSERT_TRUE(first.Start(1001, "127.0.0.1", port, err)) << text::GbkToUtf8(err);
    EXPECT_EQ(ReadAll(m_root.dir() / ("DATA/SERVER_1001.txt")),
              "ADDRESS=127.0.0.1\r\nPORT=" + std::to_string(port) +
                  "\r\nRUNNING=1\r\nWIFI=" + G("年会") + "\r\nPASSWORD=12345678\r\n");
  }  // the program ends without the operator stopping it

  // A batch was drawn meanwhile: the list is fixed.
  CheckIn({"200"});
  {
    Run run(4u);
    ASSERT_TRUE(run.e.BeginBatch());
    run.e.SelectBatchWinners();
    run.e.RollStep();
    run.e.RevealBatch();
  }
  TCheckinService second;
  ASSERT_TRUE(second.Restore({1001}, err));
  EXPECT_EQ(err, "");
  ASSERT_TRUE(second.Running());
  EXPECT_EQ(second.Url(), "http://127.0.0.1:" + std::to_string(port) + "/");
  EXPECT_TRUE(net::PageAnswers("127.0.0.1", port, 3000));
  EXPECT_FALSE(second.DeskOpen());
  EXPECT_EQ(second.Desk().View().CheckedIn, 1u);
  EXPECT_EQ(second.WifiLine(), G("Wi-Fi：年会  密码：12345678"));
  EXPECT_EQ(second.BeforeDraw(1001), "");

  // The port taken by another program meanwhile: said, with the address it wanted.
  second.Stop();
  {
    net::TLanServer taken;
    ASSERT_TRUE(taken.Start("127.0.0.1", port, err)) << text::GbkToUtf8(err);
    TCheckinService third;
    ASSERT_TRUE(third.Restore({1001}, err));
    EXPECT_FALSE(third.Running());
    EXPECT_EQ(err, G("上次运行的签到服务未能在127.0.0.1:") + std::to_string(port) +
                       G("重新启动：端口") + std::to_string(port) +
                       G("已被其他程序占用，请换一个端口。"));
  }

  // Stopped by the operator, it stays off.
  TCheckinService fourth;
  ASSERT_TRUE(fourth.Restore({1001}, err));
  ASSERT_TRUE(fourth.Running());
  fourth.StopByOperator();
  EXPECT_FALSE(net::ReadLanSettings(1001).Running);
  EXPECT_EQ(net::ReadLanSettings(1001).Port, port);
  TCheckinService fifth;
  EXPECT_FALSE(fifth.Restore({1001}, err));
  EXPECT_FALSE(fifth.Running());
}
