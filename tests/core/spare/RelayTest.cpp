#include "core/spare/Relay.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "DrawSetUp.h"
#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/db/TombolixDM.h"
#include "core/draw/Stage.h"
#include "core/import/Zip.h"
#include "core/records/CheckinFile.h"
#include "core/records/ClaimFile.h"
#include "core/records/Loaders.h"
#include "core/spare/AutoRelay.h"
#include "core/spare/TakeOver.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "core/verify/DrawVerify.h"

namespace fs = std::filesystem;
using text::G;

namespace {

std::string U(const std::string& gbk) { return text::GbkToUtf8(gbk); }

// The stage laptop: task 1001, one item of 6 winners drawn 2 a batch from ten candidates, two
// check-ins and one claim, two batches revealed. A spare laptop is a second data root made
// on demand.
class Relay : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dm.DataModuleCreate());
    TaskDef def;
    def.items = {{G("一等奖"), 6, 2, G("电视")}};
    for (int i = 0; i < 10; ++i)
      def.candidates.push_back(std::to_string(13700000000LL + i) + " " + G("人") +
                               std::to_string(i));
    BuildTask(m_dm, def);
    WriteAll(paths::NativePath(checkin::CheckinFilePath(1001)),
             checkin::FormatCheckinHead(1001) +
                 checkin::FormatCheckinRecord(
                     {"13700000001", "2026-12-10 19:00:00", std::string(32, 'a'), ""}) +
                 checkin::FormatCheckinRecord(
                     {"13700000002", "2026-12-10 19:00:05", std::string(32, 'b'), ""}));
    m_stage = StartDraw(4242u);
    Reveal();
    Reveal();
    const std::string key = claims::JournalDrawKey(paths::JournalPath(1001));
    const TLuckId& first = m_stage->s.Winners[0];
    WriteAll(paths::NativePath(claims::ClaimFilePath(1001, key)),
             claims::FormatClaimHead(1001, key) +
                 claims::FormatClaimRecord({std::string(CandidateId(first.CandidateLine)),
                                            first.ItemId, "2026-12-10 20:00:00", G("一号台")}));
  }

  // One batch of the stage's draw selected, rolled, revealed and ended; its picks.
  std::vector<int32_t> Reveal() { return RevealOn(m_stage->e); }
  static std::vector<int32_t> RevealOn(TDataDraw& e) {
    EXPECT_TRUE(e.BeginBatch());
    const std::vector<int32_t> picks = e.SelectBatchWinners().picks;
    e.RollStep();
    e.RevealBatch();
    e.EndBatch();
    return picks;
  }

  std::string Package() {
    std::string error;
    EXPECT_TRUE(spare::WriteRelay(1001, m_root.path("relay.zip"), m_summary, error)) << U(error);
    return m_root.path("relay.zip");
  }

  // A fresh machine: its own data root and database.
  void Spare() {
    m_spareRoot = std::make_unique<TempRoot>();
    m_spareDm = std::make_unique<TTombolixDataModule>();
    ASSERT_TRUE(m_spareDm->DataModuleCreate());
  }

  // The package's entries with `change` applied, zipped again.
  static std::string Rezip(const std::string& zipPath,
                           const std::function<void(std::map<std::string, std::string>&)>& change) {
    sheet::ZipArchive zip;
    std::string error;
    EXPECT_TRUE(zip.OpenFile(zipPath, error));
    std::map<std::string, std::string> entries;
    for (const std::string& n : zip.Names()) EXPECT_TRUE(zip.ReadPart(n, entries[n], error));
    change(entries);
    sheet::ZipWriter w;
    for (const auto& [name, bytes] : entries) w.Add(name, bytes);
    std::string out;
    EXPECT_TRUE(w.Finish(out));
    return out;
  }

  TempRoot m_root;
  TTombolixDataModule m_dm;
  std::unique_ptr<TDrawRun> m_stage;
  spare::TRelaySummary m_summary;
  std::unique_ptr<TempRoot> m_spareRoot;
  std::unique_ptr<TTombolixDataModule> m_spareDm;
};

}  // namespace

TEST_F(Relay, APackageAndAFolderCarryTheDrawsFilesByteForByte) {
  const std::string zip = Package();
  EXPECT_EQ(m_summary.Batches, 2);
  EXPECT_TRUE(m_summary.Checkins);
  EXPECT_TRUE(m_summary.Claims);
  EXPECT_NE(m_summary.Text.find(G("请像保管这台电脑一样保管它")), std::string::npos);
  spare::TRelay relay;
  std::string error;
  ASSERT_TRUE(spare::ReadRelayPackage(zip, relay, error)) << U(error);
  EXPECT_EQ(relay.Manifest.Format, 1);
  EXPECT_EQ(relay.Manifest.TaskName, m_stage->s.Task.TaskName);
  EXPECT_EQ(relay.Manifest.Batches, 2);
  EXPECT_EQ(relay.Manifest.Machine, spare::MachineName());
  EXPECT_EQ(relay.Manifest.WrittenAt.size(), 19u);
  ASSERT_EQ(relay.Entries.size(), 4u);
  const std::string key = claims::JournalDrawKey(paths::JournalPath(1001));
  EXPECT_EQ(*relay.Entry("journal.txt"), ReadAll(paths::NativePath(paths::JournalPath(1001))));
  EXPECT_EQ(*relay.Entry("checkin.txt"),
            ReadAll(paths::NativePath(checkin::CheckinFilePath(1001))));
  EXPECT_EQ(*relay.Entry("claims.txt"),
            ReadAll(paths::NativePath(claims::ClaimFilePath(1001, key))));
  EXPECT_EQ(relay.Entry("setup.zip")->substr(0, 2), "PK");
  // The same entries as a spare folder read back the same.
  const std::string folder = m_root.path("SPARE/1001");
  ASSERT_TRUE(spare::WriteRelayFolder(relay, folder, error)) << U(error);
  spare::TRelay again;
  ASSERT_TRUE(spare::ReadRelayFolder(folder, again, error)) << U(error);
  EXPECT_EQ(again.Entries, relay.Entries);
  EXPECT_EQ(spare::FormatRelayManifest(again.Manifest), spare::FormatRelayManifest(relay.Manifest));
}

TEST_F(Relay, AWriteUnderWayIsLeftOutAndNeverHalfIn) {
  const std::string journal = ReadAll(paths::NativePath(paths::JournalPath(1001)));
  const std::string checkins = ReadAll(paths::NativePath(checkin::CheckinFilePath(1001)));
  WriteAll(paths::NativePath(paths::JournalPath(1001)), journal + "BATCH\titem=2001\tdr");
  WriteAll(paths::NativePath(checkin::CheckinFilePath(1001)), checkins + "1370000000");
  spare::TRelay relay;
  std::string error;
  ASSERT_TRUE(spare::ReadRelayPackage(Package(), relay, error)) << U(error);
  EXPECT_EQ(*relay.Entry("journal.txt"), journal);
  EXPECT_EQ(*relay.Entry("checkin.txt"), checkins);
}

TEST_F(Relay, AMissingAlteredOrForeignEntryIsRefusedByName) {
  const std::string zip = Package();
  const auto refused = [&](const std::string& bytes) {
    spare::TRelay relay;
    std::string error;
    EXPECT_FALSE(spare::ParseRelayPackage(bytes, relay, error));
    EXPECT_TRUE(relay.Entries.empty());
    return U(error);
  };
  EXPECT_EQ(refused(Rezip(zip, [](auto& e) { e.erase("checkin.txt"); })),
            "接力包不完整:缺少checkin.txt,不能使用。");
  EXPECT_EQ(refused(Rezip(zip, [](auto& e) { e["journal.txt"][10] ^= 1; })),
            "接力包中的journal.txt已被改动或损坏(与清单的校验值不符),不能使用。");
  EXPECT_EQ(refused(Rezip(zip, [](auto& e) { e["notes.txt"] = "x"; })),
            "接力包中有不认识的文件notes.txt,不能使用。");
  EXPECT_EQ(refused(Rezip(zip, [](auto& e) { e.erase("relay.txt"); })),
            "不是接力包:缺少清单relay.txt。");
  EXPECT_EQ(refused(Rezip(zip,
                          [](auto& e) {
                            std::string& m = e["relay.txt"];
                            m.replace(m.find("batches=2"), 9, "batches=3");
                          })),
            "接力包的清单与其中的抽奖记录不符,不能使用。");
  EXPECT_EQ(refused(Rezip(zip, [](auto& e) { e["relay.txt"].replace(0, 8, "format=2"); })),
            "接力包的格式版本2比本程序新,请用新版程序接管。");
  EXPECT_EQ(refused("not a zip").rfind("不是接力包,或接力包已损坏", 0), 0u);
  // A folder with an entry gone names it too.
  spare::TRelay relay;
  std::string error;
  ASSERT_TRUE(spare::ReadRelayPackage(zip, relay, error));
  const std::string folder = m_root.path("SPARE/1001");
  ASSERT_TRUE(spare::WriteRelayFolder(relay, folder, error));
  fs::remove(paths::NativePath(folder + "/claims.txt"));
  EXPECT_FALSE(spare::ReadRelayFolder(folder, relay, error));
  EXPECT_EQ(U(error), "接力包不完整:缺少claims.txt,不能使用。");
}

TEST_F(Relay, ASpareTakesOverAndDrawsTheBatchTheStageWouldHaveDrawn) {
  const std::string zip = Package();
  const std::vector<int32_t> third = Reveal();  // on stage, after the package was written
  const TArrLuckId stageWinners = m_stage->s.Winners;
  const std::string checkins = ReadAll(paths::NativePath(checkin::CheckinFilePath(1001)));
  const std::string key = claims::JournalDrawKey(paths::JournalPath(1001));
  const std::string claimBytes = ReadAll(paths::NativePath(claims::ClaimFilePath(1001, key)));
  ASSERT_NO_FATAL_FAILURE(Spare());
  spare::TRelay relay;
  std::string error;
  ASSERT_TRUE(spare::ReadRelayPackage(zip, relay, error)) << U(error);
  spare::TTakeOverOffer offer;
  ASSERT_TRUE(spare::OfferOf(relay, offer, error));
  EXPECT_EQ(offer.StageTaskId, 1001);
  EXPECT_EQ(offer.Held, 2);
  // The hall saw the third batch: refused unless it is drawn again, and nothing installed.
  spare::TTakeOverChoice choice;
  choice.ShownBatch = 3;
  choice.Time = "2026-12-10 21:00:00";
  int32_t local = 0;
  std::string message;
  EXPECT_FALSE(spare::TakeOver(relay, choice, local, message));
  EXPECT_EQ(U(message), "接力包只到第2批,台上已揭晓到第3批:第3批的中奖者不在包中");
  TLuckTask task;
  EXPECT_FALSE(LoadLuckTask(1001, task, error));
  choice.RedrawMissing = true;
  ASSERT_TRUE(spare::TakeOver(relay, choice, local, message)) << U(message);
  EXPECT_EQ(local, 1001);
  EXPECT_NE(U(message).find("从第3批接着抽,第3批重新抽取。"), std::string::npos) << U(message);
  // The files as the stage had them, the journal with one MOVED record after them.
  EXPECT_EQ(ReadAll(paths::NativePath(checkin::CheckinFilePath(1001))), checkins);
  EXPECT_EQ(ReadAll(paths::NativePath(claims::ClaimFilePath(1001, key))), claimBytes);
  TJournal j;
  ASSERT_EQ(ReadJournal(paths::JournalPath(1001), j, error), JournalRead::Ok);
  ASSERT_EQ(j.Others.size(), 1u);
  EXPECT_EQ(j.Others[0].AfterBatches, 2u);
  const std::string line = j.Others[0].Line;
  EXPECT_EQ(U(line.substr(0, line.find("\tcheck="))),
            "MOVED\ttime=2026-12-10 21:00:00\tmachine=" + U(spare::MachineName()) +
                "\tsource=接力包\theld=2\tshown=3");
  // Opened here, the draw resumes with the stage's winners, says what is drawn again, and
  // its next batch is the one the stage drew.
  TDrawSession session;
  TRandom rng;
  TDataDraw e(session, rng);
  ASSERT_TRUE(SetUpDraw(e));
  ASSERT_EQ(e.Pending().kind, TPendingKind::Resumable);
  TStage s(e);
  ASSERT_EQ(s.Open().asks, TStageQuestion::Resume);
  const TStageFrame resumed = s.Answer(TStageAnswer::Yes);
  ASSERT_EQ(resumed.step, TStageStep::Resumes);
  ASSERT_EQ(resumed.messages.size(), 1u);
  EXPECT_EQ(U(resumed.messages[0].text), "第3批重新抽取");
  ASSERT_EQ(session.Winners.size(), 4u);
  for (size_t i = 0; i < 4; ++i)
    EXPECT_EQ(session.Winners[i].CandidateIndex, stageWinners[i].CandidateIndex);
  EXPECT_EQ(RevealOn(e), third);
  EXPECT_EQ(e.state(), TDataDraw::State::Finished);
  // The one journal checks, and says the draw moved.
  const TVerifyResult r = VerifyDrawFolder(paths::DataRoot(), 1001);
  std::string all;
  for (const std::string& l : r.Lines) all += U(l) + "\n";
  EXPECT_TRUE(r.Passed) << all;
  EXPECT_NE(all.find("抽奖于2026-12-10 21:00:00移至备用电脑(接力包, 来自" +
                     U(spare::MachineName()) + "), 此前已揭晓2批, 第3批重新抽取"),
            std::string::npos)
      << all;
  // The same draw is never taken over twice.
  EXPECT_FALSE(spare::TakeOver(relay, choice, local, message));
  EXPECT_EQ(U(message), "本机已经有这个抽奖的记录(已接管过,或已在本机抽过),不再接管。");
}

TEST_F(Relay, AnotherTaskUnderTheStageIdIsNeverOverwritten) {
  const std::string zip = Package();
  ASSERT_NO_FATAL_FAILURE(Spare());
  TaskDef def;
  def.items = {{G("一等奖"), 6, 2, G("电视")}};
  def.candidates = {"13900000000 " + G("别人")};
  BuildTask(*m_spareDm, def);
  const std::string list = ReadAll(paths::NativePath(paths::DrawDataPath(1001)));
  spare::TRelay relay;
  std::string error, message;
  ASSERT_TRUE(spare::ReadRelayPackage(zip, relay, error)) << U(error);
  int32_t local = 0;
  EXPECT_FALSE(spare::TakeOver(relay, {}, local, message));
  EXPECT_EQ(U(message).rfind("本机已有任务1001(", 0), 0u) << U(message);
  EXPECT_EQ(ReadAll(paths::NativePath(paths::DrawDataPath(1001))), list);
  EXPECT_FALSE(paths::FileExists(paths::JournalPath(1001)));
  EXPECT_FALSE(paths::FileExists(checkin::CheckinFilePath(1001)));
}

TEST_F(Relay, TheOldLaptopRefusesToGoOnOnceTakenOver) {
  std::string error;
  ASSERT_TRUE(spare::MarkTakenOver(1001, "2026-12-10 21:05:00", error)) << U(error);
  ASSERT_TRUE(spare::MarkTakenOver(1001, "2026-12-10 21:06:00", error)) << U(error);
  TJournal j;
  ASSERT_EQ(ReadJournal(paths::JournalPath(1001), j, error), JournalRead::Ok);
  ASSERT_EQ(j.Others.size(), 1u);
  EXPECT_EQ(*TakenAt(j), "2026-12-10 21:05:00");
  TDrawSession session;
  TRandom rng;
  TDataDraw e(session, rng);
  TDrawFailure failure;
  EXPECT_FALSE(e.SetUp(1001, failure));
  EXPECT_EQ(failure.kind, MessageKind::Error);
  EXPECT_EQ(U(failure.text), "本抽奖已由备用电脑接管,不能在本机继续");
  // A relay written from it now is no draw to take over.
  const std::string zip = Package();
  ASSERT_NO_FATAL_FAILURE(Spare());
  spare::TRelay relay;
  ASSERT_TRUE(spare::ReadRelayPackage(zip, relay, error)) << U(error);
  int32_t local = 0;
  std::string message;
  EXPECT_FALSE(spare::TakeOver(relay, {}, local, message));
  EXPECT_EQ(U(message), "这份接力包来自一台已被接管的电脑,不能再接管。");
}

TEST_F(Relay, TheRedrawnBatchesAreNamedAsTheHallSawThem) {
  TMoveRecord r;
  r.Held = 2;
  r.Shown = 2;
  EXPECT_EQ(movetext::Redrawn(r), "");
  r.Shown = 5;
  EXPECT_EQ(U(movetext::Redrawn(r)), "第3至5批重新抽取");
  EXPECT_EQ(U(spare::MissingBatchesText(2, 5)),
            "接力包只到第2批,台上已揭晓到第5批:第3…5批的中奖者不在包中");
  r.Time = "2026-12-10 21:00:00";
  r.Machine = G("舞台\t电脑");
  r.Source = TMoveSource::Stream;
  TMoveRecord back;
  const std::string line = FormatMoveRecord(r);
  ASSERT_TRUE(ParseMoveRecord(line.substr(0, line.size() - 2), back));
  r.Machine = G("舞台 电脑");
  EXPECT_EQ(back, r);
  std::string forged = line.substr(0, line.size() - 2);
  forged[forged.find("held=2") + 5] = '1';
  EXPECT_FALSE(ParseMoveRecord(forged, back));
}

TEST_F(Relay, AfterEachRevealAWorkerWritesThePackageAndTellsAFailureOnce) {
  std::string error, folder;
  ASSERT_TRUE(spare::SaveAutoRelayFolder(1001, m_root.path("stick"), error)) << U(error);
  ASSERT_TRUE(spare::LoadAutoRelayFolder(1001, folder, error));
  EXPECT_EQ(folder, m_root.path("stick"));
  spare::TRelaySetup setup;
  ASSERT_TRUE(spare::PrepareRelay(1001, setup, error)) << U(error);
  int failures = 0;
  {
    spare::TAutoRelay relay(setup, folder, [&](const std::string&) { ++failures; });
    relay.Revealed({});
  }  // the write asked for is finished before the worker stops
  spare::TRelay read;
  ASSERT_TRUE(spare::ReadRelayPackage(spare::AutoRelayPath(folder, 1001), read, error)) << U(error);
  EXPECT_EQ(U(spare::AutoRelayPath(folder, 1001)), U(folder) + "/1001_接力包.zip");
  EXPECT_EQ(read.Manifest.Batches, 2);
  EXPECT_EQ(failures, 0);
  // A folder that cannot be written (a file stands in its place): told once, however many
  // reveals fail.
  WriteAll(m_root.dir() / "blocked", "a file");
  std::mutex m;
  std::condition_variable told;
  std::vector<std::string> texts;
  {
    spare::TAutoRelay relay(setup, m_root.path("blocked"), [&](const std::string& text) {
      std::lock_guard<std::mutex> lock(m);
      texts.push_back(text);
      told.notify_all();
    });
    relay.Revealed({});
    {
      std::unique_lock<std::mutex> lock(m);
      told.wait(lock, [&] { return !texts.empty(); });
    }
    relay.Revealed({});
    relay.Revealed({});
  }
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(U(texts[0]).rfind("自动写接力包失败:", 0), 0u) << U(texts[0]);
  ASSERT_TRUE(spare::SaveAutoRelayFolder(1001, "", error));
  ASSERT_TRUE(spare::LoadAutoRelayFolder(1001, folder, error));
  EXPECT_EQ(folder, "");
}
