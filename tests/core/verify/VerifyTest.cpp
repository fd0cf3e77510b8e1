// tombolix-verify's check on real draws: resumed ones with other roll lengths pass, with and
// without the audience's number; one changed byte in any file fails and names the file.
#include <gtest/gtest.h>

#include <filesystem>

#include "DrawSetUp.h"
#include "JournalForge.h"
#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/claims/ClaimDesk.h"
#include "core/draw/DataDraw.h"
#include "core/draw/DrawJournal.h"
#include "core/draw/DrawProof.h"
#include "core/records/Loaders.h"
#include "core/records/WinnerFiles.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "core/text/Text.h"
#include "core/verify/AuditBundle.h"
#include "core/verify/DrawVerify.h"

using text::G;
namespace fs = std::filesystem;

namespace {

class Verify : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dm.DataModuleCreate());
    TaskDef def;
    def.items = {{G("一等奖"), 2, 1, ""}, {G("二等奖"), 5, 2, ""}, {G("三等奖"), 3, 3, ""}};
    for (int i = 0; i < 30; ++i)
      def.candidates.push_back(std::to_string(13600000000LL + i * 17) + " " + G("员工") +
                               std::to_string(i));
    m_candidates = def.candidates;
    m_ids = BuildTask(m_dm, def);
    WritePresets(1001, m_ids[1], {m_candidates[12], "nobody"});
  }

  static void Batches(TDataDraw& e, int n, int rolls) {
    for (int i = 0; (n < 0 || i < n) && !(e.state() == TDataDraw::State::Finished); ++i) {
      ASSERT_TRUE(e.BeginBatch());
      e.SelectBatchWinners();
      for (int r = 0; r < rolls; ++r) e.RollStep();
      e.RevealBatch();
      e.EndBatch();
    }
  }

  // A draw killed after `before` batches, resumed, and finished with other roll lengths.
  void KilledAndResumed(const std::string& audience, int before) {
    TRandom rng;
    {
      TDrawSession eSession;
      TDataDraw e(eSession, rng);
      ASSERT_TRUE(SetUpDraw(e));
      std::string err;
      ASSERT_TRUE(e.StartJournal(err)) << err;
      ASSERT_TRUE(e.SetAudienceNumber(audience));
      Batches(e, before, 3);
    }
    TDrawSession eSession;
    TDataDraw e(eSession, rng);
    ASSERT_TRUE(SetUpDraw(e));
    ASSERT_EQ(e.Pending().kind, TPendingKind::Resumable);
    TDataDraw::BatchEnd end;
    std::string err;
    ASSERT_TRUE(e.Resume(end, err)) << err;
    Batches(e, -1, 11);
    ASSERT_TRUE((e.state() == TDataDraw::State::Finished));
  }

  std::string Root() const { return paths::DataRoot(); }

  // Changes one byte of the file, checks, and puts it back.
  TVerifyResult WithByteChanged(const std::string& rel, size_t fromEnd) {
    const fs::path p = m_root.dir() / rel;
    const std::string was = ReadAll(p);
    std::string changed = was;
    changed[changed.size() - fromEnd] ^= 0x01;
    WriteAll(p, changed);
    TVerifyResult r = VerifyDrawFolder(Root(), 1001);
    WriteAll(p, was);
    return r;
  }

  TempRoot m_root;
  TTombolixDataModule m_dm;
  std::vector<int> m_ids;
  std::vector<std::string> m_candidates;
};

}  // namespace

TEST_F(Verify, AResumedDrawWithAnAudienceNumberPassesBatchForBatch) {
  KilledAndResumed("271828", 3);
  const TVerifyResult r = VerifyDrawFolder(Root(), 1001);
  EXPECT_TRUE(r.Passed) << VerifyText(r);
  EXPECT_TRUE(r.Problems.empty());
  // The summary, one line per batch (1+1, 2+2+1 with a preset first, 3), the verdict.
  ASSERT_EQ(r.Lines.size(), 1u + 6u + 1u) << VerifyText(r);
  EXPECT_NE(r.Lines[0].find(G("现场号码271828")), std::string::npos) << VerifyText(r);
  EXPECT_EQ(r.Lines[3].rfind(G("第3批 奖项2002 2名: ") + m_candidates[12].substr(0, 11), 0), 0u)
      << VerifyText(r);
  EXPECT_EQ(r.Lines.back(), G("验证通过"));
}

TEST_F(Verify, ADrawWithoutANumberPassesAndEveryChangedFileIsNamed) {
  KilledAndResumed("", 1);
  ASSERT_TRUE(VerifyDrawFolder(Root(), 1001).Passed);
  const auto named = [&](const TVerifyResult& r, const std::string& what) {
    EXPECT_FALSE(r.Passed);
    EXPECT_EQ(r.Lines.back(), G("验证未通过"));
    ASSERT_EQ(r.Problems.size(), 1u) << VerifyText(r);
    EXPECT_EQ(text::GbkToUtf8(r.Problems[0]), what);
  };
  named(WithByteChanged("DATA_FILE/1001.txt", 5),
        "名单文件DATA_FILE/1001.txt与抽奖记录中的指纹不符");
  named(WithByteChanged("DATA_FILE/CHEAT_1001_2002.txt", 4),
        "指定中奖文件(DATA_FILE/CHEAT_1001_*.txt)与抽奖记录中的指纹不符");
  named(WithByteChanged("LUCK_FILE/1001_2002.txt", 4),
        "中奖名单文件LUCK_FILE/1001_2002.txt与重放结果不符");
  // A byte in the middle of the journal, and in its last line.
  const std::string journal = ReadAll(m_root.dir() / "LUCK_FILE/JOURNAL_1001_DONE.txt");
  named(WithByteChanged("LUCK_FILE/JOURNAL_1001_DONE.txt", journal.size() / 2),
        "抽奖记录文件LUCK_FILE/JOURNAL_1001_DONE.txt已损坏");
  named(WithByteChanged("LUCK_FILE/JOURNAL_1001_DONE.txt", 20),
        "抽奖记录文件LUCK_FILE/JOURNAL_1001_DONE.txt的最后一行不完整或已被改动");
  // A winner file gone.
  fs::rename(m_root.dir() / "LUCK_FILE/1001_2003.txt", m_root.dir() / "x");
  named(VerifyDrawFolder(Root(), 1001), "找不到中奖名单文件LUCK_FILE/1001_2003.txt");
  fs::rename(m_root.dir() / "x", m_root.dir() / "LUCK_FILE/1001_2003.txt");
  ASSERT_TRUE(VerifyDrawFolder(Root(), 1001).Passed);
}

TEST_F(Verify, ForgedRecordsThatPassTheirCheckAreCaughtByTheProof) {
  KilledAndResumed("99", 2);
  const fs::path journal = m_root.dir() / "LUCK_FILE/JOURNAL_1001_DONE.txt";
  const std::string good = ReadAll(journal);
  // Another audience's number: the seed no longer follows.
  ForgeFinishedJournal(1001, "START", "audience", "98");
  TVerifyResult r = VerifyDrawFolder(Root(), 1001);
  ASSERT_EQ(r.Problems.size(), 1u) << VerifyText(r);
  EXPECT_NE(text::GbkToUtf8(r.Problems[0]).find("与推导结果"), std::string::npos);
  // A secret chosen after the fact: it does not open the commitment.
  WriteAll(journal, good);
  ForgeFinishedJournal(1001, "DRAW", "secret", std::string(64, '1'));
  r = VerifyDrawFolder(Root(), 1001);
  ASSERT_EQ(r.Problems.size(), 1u);
  EXPECT_EQ(text::GbkToUtf8(r.Problems[0]), "抽奖记录中的密钥与抽奖凭证的承诺值不符");
  // Another winner in the first batch: the one after the drawn one.
  WriteAll(journal, good);
  TJournal j;
  std::string err;
  ASSERT_EQ(ReadJournal(paths::FinishedJournalPath(1001), j, err), JournalRead::Ok);
  const int32_t other = (j.Batches[0].Winners[0] + 1) % 30;
  ForgeFinishedJournal(1001, "BATCH", "winners", std::to_string(other));
  r = VerifyDrawFolder(Root(), 1001);
  ASSERT_EQ(r.Problems.size(), 1u);
  EXPECT_EQ(r.Problems[0].rfind(G("第1批 奖项2001 1名: 抽奖记录为 ") +
                                    m_candidates[static_cast<size_t>(other)].substr(0, 11),
                                0),
            0u)
      << VerifyText(r);
  // A roll count that does not lead to the recorded generator state.
  WriteAll(journal, good);
  ForgeFinishedJournal(1001, "BATCH", "rolls", "4");
  r = VerifyDrawFolder(Root(), 1001);
  ASSERT_EQ(r.Problems.size(), 1u);
  EXPECT_NE(text::GbkToUtf8(r.Problems[0]).find("滚动4次后随机数状态为"), std::string::npos);
  WriteAll(journal, good);
  EXPECT_TRUE(VerifyDrawFolder(Root(), 1001).Passed);
}

TEST_F(Verify, TheAuditBundleHoldsWhatTheCheckNeedsAndPasses) {
  KilledAndResumed("0042", 2);
  TLuckTask task;
  std::string err;
  ASSERT_TRUE(LoadLuckTask(1001, task, err)) << err;
  TAuditRows rows;
  ASSERT_TRUE(AuditReport(task, rows, err)) << err;
  TJournal j;
  ASSERT_EQ(ReadJournal(paths::FinishedJournalPath(1001), j, err), JournalRead::Ok);
  const std::string report = text::GbkToUtf8(AuditReportText(rows));
  EXPECT_NE(report.find("承诺值(SHA-256): " + j.Head.Commit + "\r\n"), std::string::npos);
  EXPECT_NE(report.find("密钥: " + j.Head.Secret + "\r\n"), std::string::npos);
  EXPECT_NE(report.find("现场号码: 0042\r\n"), std::string::npos);
  EXPECT_NE(report.find("随机数种子: " + std::to_string(j.Start.Seed) + "\r\n"), std::string::npos);
  EXPECT_NE(report.find("名单指纹(SHA-256): " + j.Head.DataHash + "\r\n"), std::string::npos);
  EXPECT_NE(report.find("候选人数: 30\r\n"), std::string::npos);
  EXPECT_NE(report.find("程序版本: Qarvo抽奖软件 V"), std::string::npos);

  const std::string zip = m_root.path("out/audit.zip");
  ASSERT_TRUE(WriteAuditBundle(task, zip, err)) << err;
  TVerifyResult r = VerifyAuditBundle(zip);
  EXPECT_TRUE(r.Passed) << VerifyText(r);
  EXPECT_EQ(r.Lines.size(), 1u + 6u + 1u);
  // A file that is not a bundle.
  WriteAll(m_root.dir() / "out/not.zip", "PK no zip");
  r = VerifyAuditBundle(m_root.path("out/not.zip"));
  EXPECT_FALSE(r.Passed);
  EXPECT_EQ(r.Problems, std::vector<std::string>{G("审计包") + m_root.path("out/not.zip") +
                                                 G("不是有效的zip文件,或者已经损坏")});
  r = VerifyAuditBundle(m_root.path("out/none.zip"));
  EXPECT_EQ(r.Lines, (std::vector<std::string>{G("找不到审计包文件") + m_root.path("out/none.zip"),
                                               G("验证未通过")}));
  // An unfinished draw has no bundle.
  fs::remove(m_root.dir() / "LUCK_FILE/JOURNAL_1001_DONE.txt");
  EXPECT_FALSE(WriteAuditBundle(task, m_root.path("out/b.zip"), err));
  EXPECT_EQ(text::GbkToUtf8(err), "该抽奖任务没有已完成的抽奖记录,无法导出抽奖凭证");
  EXPECT_FALSE(fs::exists(m_root.dir() / "out/b.zip"));
}

TEST_F(Verify, ReplacementsBetweenBatchesAndAfterTheEndAreReplayedToo) {
  TRandom rng;
  {
    TDrawSession session;
    TDataDraw e(session, rng);
    ASSERT_TRUE(SetUpDraw(e));
    Batches(e, 2, 3);
    // 一等奖 is complete; its first winner is absent. The replacement rolls 4 ticks.
    std::string message;
    ASSERT_TRUE(e.BeginReplacement(0, message)) << message;
    for (int r = 0; r < 4; ++r) e.RollStep();
    e.RevealBatch();
    e.EndBatch();
    // Killed here and resumed: the replacement comes back from the journal.
  }
  TDrawSession session;
  TDataDraw e(session, rng);
  ASSERT_TRUE(SetUpDraw(e));
  TDataDraw::BatchEnd end;
  std::string err;
  ASSERT_TRUE(e.Resume(end, err)) << err;
  ASSERT_EQ(e.Session().Absences.size(), 1u);
  Batches(e, -1, 5);
  ASSERT_TRUE((e.state() == TDataDraw::State::Finished));
  // On the finished screen, the last winner of 三等奖 is absent too.
  std::string message;
  ASSERT_TRUE(e.BeginReplacement(e.Session().Winners.size() - 1, message)) << message;
  e.RollStep();
  e.RevealBatch();
  e.EndBatch();
  const TVerifyResult r = VerifyDrawFolder(Root(), 1001);
  EXPECT_TRUE(r.Passed) << VerifyText(r);
  // The report counts the places, not the absent winners and their replacements twice.
  TLuckTask task;
  TAuditRows rows;
  std::string err2;
  ASSERT_TRUE(LoadLuckTask(1001, task, err2)) << err2;
  ASSERT_TRUE(AuditReport(task, rows, err2)) << err2;
  const std::string report = text::GbkToUtf8(AuditReportText(rows));
  EXPECT_NE(report.find("中奖人数: " + std::to_string(e.Session().Winners.size()) + "\r\n"),
            std::string::npos)
      << report;
  EXPECT_NE(report.find("缺席（已抽替补）: 2人\r\n"), std::string::npos) << report;
  int replayed = 0;
  for (const std::string& l : r.Lines) replayed += l.find(G("次缺席")) != std::string::npos;
  EXPECT_EQ(replayed, 2) << VerifyText(r);
  // One changed byte of an absent file is found.
  const std::string absentFile = "LUCK_FILE/ABSENT_1001_" + std::to_string(m_ids[2]) + ".txt";
  const TVerifyResult changed = WithByteChanged(absentFile, 3);
  EXPECT_FALSE(changed.Passed);
  ASSERT_EQ(changed.Problems.size(), 1u) << VerifyText(changed);
  EXPECT_EQ(changed.Problems[0], G("缺席名单文件") + absentFile + G("与重放结果不符"));
  // A forged replacement in the journal is named.
  ForgeFinishedJournal(1001, "ABSENT", "replacement",
                       std::to_string(e.Session().Absences[0].CandidateIndex));
  const TVerifyResult forged = VerifyDrawFolder(Root(), 1001);
  EXPECT_FALSE(forged.Passed);
  ASSERT_FALSE(forged.Problems.empty());
  EXPECT_NE(forged.Problems[0].find(G("抽奖记录中的替补为")), std::string::npos)
      << VerifyText(forged);
}

TEST_F(Verify, EveryClaimMustBeAWinnerOfTheDrawAndAForgedOneIsNamed) {
  KilledAndResumed("7", 2);
  std::string err;
  TWinnerFile first;
  ASSERT_TRUE(LoadWinnerFile(1001, 2002, first, err)) << err;
  ASSERT_FALSE(first.rows.empty());
  const std::string winner = first.rows[0][0];
  EXPECT_EQ(claims::ClaimFromResults(1001, winner, 2002, err).Answer, claims::TClaimAnswer::Claimed)
      << err;
  TVerifyResult r = VerifyDrawFolder(Root(), 1001);
  EXPECT_TRUE(r.Passed) << VerifyText(r);
  EXPECT_EQ(r.Lines[r.Lines.size() - 2], G("领奖记录1条, 均为本次抽奖的中奖者"));
  // The bundle carries the claims, and its check agrees.
  TLuckTask task;
  ASSERT_TRUE(LoadLuckTask(1001, task, err)) << err;
  ASSERT_TRUE(WriteAuditBundle(task, m_root.path("out/audit.zip"), err)) << err;
  r = VerifyAuditBundle(m_root.path("out/audit.zip"));
  EXPECT_TRUE(r.Passed) << VerifyText(r);
  EXPECT_EQ(r.Lines[r.Lines.size() - 2], G("领奖记录1条, 均为本次抽奖的中奖者"));

  // A claim written in by hand for someone on the list who did not win that item.
  const std::string key = claims::ResultsDrawKey(1001);
  const fs::path file = m_root.dir() / ("LUCK_FILE/CLAIM_1001_" + key.substr(0, 16) + ".txt");
  std::string loser;
  for (const std::string& c : m_candidates) {
    const std::string id(text::FirstField(c));
    bool won = false;
    for (const auto& row : first.rows) won = won || row[0] == id;
    if (!won) {
      loser = id;
      break;
    }
  }
  WriteAll(file, ReadAll(file) + loser + G("\t2002\t2026-12-09 21:00:00\t领奖台3\r\n"));
  r = VerifyDrawFolder(Root(), 1001);
  EXPECT_FALSE(r.Passed);
  ASSERT_EQ(r.Problems.size(), 1u) << VerifyText(r);
  EXPECT_EQ(text::GbkToUtf8(r.Problems[0]),
            "领奖记录中" + loser + " (奖项2002, 2026-12-09 21:00:00 领奖台3) 不是本次抽奖的中奖者");
}
