// The openings of a task's draw: numbered in the database and in each journal head, each
// head naming the one before, so that a head deleted from the history is found as a gap by
// tombolix-verify's check, from the data folder and from the audit bundle.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "DrawSetUp.h"
#include "JournalForge.h"
#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/draw/DataDraw.h"
#include "core/draw/DrawJournal.h"
#include "core/draw/DrawOpenings.h"
#include "core/package/EventPackage.h"
#include "core/records/Loaders.h"
#include "core/text/FileWrite.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "core/verify/AuditBundle.h"
#include "core/verify/DrawVerify.h"
#include "core/verify/Openings.h"
#include "core/verify/VerifyWords.h"

using text::G;
namespace fs = std::filesystem;

namespace {

class Openings : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dm.DataModuleCreate());
    TaskDef def;
    def.items = {{G("一等奖"), 1, 1, ""}, {G("二等奖"), 2, 2, ""}};
    for (int i = 0; i < 12; ++i) def.candidates.push_back("E" + std::to_string(100 + i) + " x");
    BuildTask(m_dm, def);
  }

  // The draw screen opened once: set-up, an earlier journal set aside, a new head written.
  // `batches` batches are drawn (-1: the whole draw).
  TJournalHead Open(uint32_t secret, int batches = 0) {
    TDrawRun run(secret);
    EXPECT_TRUE(SetUpDraw(run.e));
    std::string err;
    EXPECT_TRUE(run.e.SetAsidePending(err)) << err;
    EXPECT_TRUE(run.e.StartJournal(err)) << err;
    for (int i = 0; (batches < 0 || i < batches) && run.e.state() != TDataDraw::State::Finished;
         ++i) {
      EXPECT_TRUE(run.e.BeginBatch());
      run.e.SelectBatchWinners();
      run.e.RollStep();
      run.e.RevealBatch();
      run.e.EndBatch();
    }
    return run.e.JournalHead();
  }

  // The key of the head at the start of the journal file.
  std::string KeyOf(const std::string& rel) const {
    const std::string all = ReadAll(m_root.dir() / rel);
    return JournalHeadKey(all.substr(0, all.find('\n') + 1));
  }

  // The history folder holding the task's journal whose head is numbered `opening`.
  fs::path HistoryOf(int32_t opening) const {
    for (const auto& d : fs::directory_iterator(m_root.dir() / "LUCK_FILE/history")) {
      TJournal j;
      std::string err;
      const fs::path p = d.path() / "JOURNAL_1001.txt";
      if (fs::exists(p) && ReadJournal(paths::U8(p), j, err) == JournalRead::Ok &&
          j.Head.Opening == opening)
        return d.path();
    }
    return {};
  }

  TempRoot m_root;
  TTombolixDataModule m_dm;
};

}  // namespace

TEST_F(Openings, EachNewHeadIsNumberedAndNamesThePreviousEvenWithTheHistoryGone) {
  const TJournalHead h1 = Open(1);
  EXPECT_EQ(h1.Opening, 1);
  EXPECT_EQ(h1.PrevHead, "");
  EXPECT_EQ(text::GbkToUtf8(OpeningText(h1)), "本任务第1次开启");
  const std::string key1 = KeyOf("LUCK_FILE/JOURNAL_1001.txt");
  EXPECT_NE(ReadAll(m_root.dir() / "LUCK_FILE/JOURNAL_1001.txt").find("\topening=1\tcheck="),
            std::string::npos);

  const TJournalHead h2 = Open(2);
  EXPECT_EQ(h2.Opening, 2);
  EXPECT_EQ(h2.PrevHead, key1);
  EXPECT_FALSE(HistoryOf(1).empty());
  const std::string key2 = KeyOf("LUCK_FILE/JOURNAL_1001.txt");

  // Deleting every file of the task's draws does not reset the count.
  fs::remove_all(m_root.dir() / "LUCK_FILE");
  const TJournalHead h3 = Open(3);
  EXPECT_EQ(h3.Opening, 3);
  EXPECT_EQ(h3.PrevHead, key2);
  EXPECT_EQ(text::GbkToUtf8(OpeningText(h3)), "本任务第3次开启");
  TOpenings db;
  std::string err;
  ASSERT_TRUE(LoadOpenings(1001, db, err)) << err;
  EXPECT_EQ(db.Count, 3);
  EXPECT_EQ(db.LastHead, KeyOf("LUCK_FILE/JOURNAL_1001.txt"));
}

TEST_F(Openings, AResumedDrawIsNoNewOpening) {
  Open(1);
  Open(2, 1);
  TDrawRun run(9);
  ASSERT_TRUE(SetUpDraw(run.e));
  ASSERT_EQ(run.e.Pending().kind, TPendingKind::Resumable);
  TDataDraw::BatchEnd end;
  std::string err;
  ASSERT_TRUE(run.e.Resume(end, err)) << err;
  EXPECT_EQ(run.e.JournalHead().Opening, 2);
  TOpenings db;
  ASSERT_TRUE(LoadOpenings(1001, db, err)) << err;
  EXPECT_EQ(db.Count, 2);
  // The screen's line after the resume is the resumed opening's.
  EXPECT_EQ(text::GbkToUtf8(OpeningText(run.e.JournalHead())), "本任务第2次开启");
}

TEST_F(Openings, TheCheckFollowsTheChainAndNamesADeletedHead) {
  const TJournalHead h1 = Open(1);
  const TJournalHead h2 = Open(2, 1);  // abandoned after a batch
  const TJournalHead h3 = Open(3, -1);
  TVerifyResult r = VerifyDrawFolder(paths::DataRoot(), 1001);
  ASSERT_TRUE(r.Passed) << VerifyText(r);
  ASSERT_EQ(r.Openings.size(), 4u) << VerifyText(r);
  EXPECT_EQ(text::GbkToUtf8(r.Openings[0]), "本任务第3次开启, 此前2次开启的记录头齐全, 链条完整");
  EXPECT_EQ(text::GbkToUtf8(r.Openings[1]),
            "  第1次开启 承诺值 " + h1.Commit.substr(0, 16) + " (未用于本次抽奖)");
  EXPECT_EQ(text::GbkToUtf8(r.Openings[2]),
            "  第2次开启 承诺值 " + h2.Commit.substr(0, 16) + " (未用于本次抽奖)");
  EXPECT_EQ(text::GbkToUtf8(r.Openings[3]),
            "  第3次开启 承诺值 " + h3.Commit.substr(0, 16) + " (本次抽奖)");
  // The voucher as the Ready screen showed it, for a guest's photograph.
  EXPECT_EQ(text::GbkToUtf8(r.Voucher), "抽奖凭证  名单 " + h3.DataHash.substr(0, 12) +
                                            "  12人  根值 " + r.ListRoot.substr(0, 8) + "  承诺 " +
                                            h3.Commit.substr(0, 16) + "  本任务第3次开启");

  // The bundle carries the two abandoned heads and passes the same way.
  TLuckTask task;
  std::string err;
  ASSERT_TRUE(LoadLuckTask(1001, task, err)) << err;
  TAuditRows rows;
  ASSERT_TRUE(AuditReport(task, rows, err)) << err;
  EXPECT_NE(text::GbkToUtf8(AuditReportText(rows)).find("开启次数: 本任务第3次开启\r\n"),
            std::string::npos);
  // The root over the list's twelve lines "E100 x" … "E111 x", worked out with hashlib.
  const std::string root = "7e7345d282142a8e9399197205438c13af2c4d4de28225ec1e735af4b48f5e20";
  EXPECT_NE(text::GbkToUtf8(AuditReportText(rows)).find("名单哈希树根值: " + root + "\r\n"),
            std::string::npos);
  EXPECT_EQ(r.ListRoot, root);
  EXPECT_EQ(r.ListCount, 12u);
  const std::string zip = m_root.path("out/audit.zip");
  ASSERT_TRUE(WriteAuditBundle(task, zip, err)) << err;
  r = VerifyAuditBundle(zip);
  EXPECT_TRUE(r.Passed) << VerifyText(r);
  ASSERT_EQ(r.Openings.size(), 4u);
  EXPECT_EQ(r.Openings[0], G("本任务第3次开启, 此前2次开启的记录头齐全, 链条完整"));

  // The second opening's head deleted from the history: a gap, and the check fails.
  const fs::path second = HistoryOf(2);
  ASSERT_FALSE(second.empty());
  fs::remove(second / "JOURNAL_1001.txt");
  r = VerifyDrawFolder(paths::DataRoot(), 1001);
  EXPECT_FALSE(r.Passed);
  ASSERT_EQ(r.Problems.size(), 1u) << VerifyText(r);
  EXPECT_EQ(text::GbkToUtf8(r.Problems[0]),
            "第2次开启的抽奖记录头缺失(已被删除,或不在审计包中): 第3次开启的记录头指向" +
                h3.PrevHead.substr(0, 16));
  EXPECT_EQ(r.Lines.back(), G("验证未通过"));
  ASSERT_EQ(r.Openings.size(), 2u);
  EXPECT_EQ(r.Openings[0], G("本任务第3次开启"));
  // Exported now, the bundle lacks it as well.
  ASSERT_TRUE(WriteAuditBundle(task, zip, err)) << err;
  r = VerifyAuditBundle(zip);
  EXPECT_FALSE(r.Passed);
  EXPECT_EQ(r.Problems.size(), 1u);
}

TEST_F(Openings, HeadsWithoutANumberReadAndCheckAsBefore) {
  TJournalHead h;
  h.TaskId = 7;
  h.DataHash = std::string(64, 'a');
  h.PresetHash = std::string(64, 'b');
  h.Commit = std::string(64, 'c');
  h.Secret = std::string(64, 'd');
  h.Items = {{1, 2, 1}};
  const std::string before = FormatJournalHead(h);
  EXPECT_EQ(before.find("opening="), std::string::npos);
  EXPECT_TRUE(CheckOpenings(h, JournalHeadKey(before), {}).Lines.empty());
  h.Opening = 2;
  h.PrevHead = JournalHeadKey(before);
  TJournal j;
  std::string err;
  ASSERT_EQ(ParseJournal(FormatJournalHead(h), j, "x", err), JournalRead::Ok);
  EXPECT_EQ(j.Head.Opening, 2);
  EXPECT_EQ(j.Head.PrevHead, h.PrevHead);
  // A first opening naming a previous head, or a number 0, is no head of ours.
  h.Opening = 1;
  EXPECT_EQ(ParseJournal(FormatJournalHead(h), j, "x", err), JournalRead::Unreadable);
  std::string zero = before.substr(0, before.find("\tcheck=")) + "\topening=0";
  EXPECT_EQ(ParseJournal(SealJournalRecord(zero), j, "x", err), JournalRead::Unreadable);
  // A chain that starts above 1 without naming a previous head has lost its beginning.
  h.PrevHead.clear();
  h.Opening = 3;
  const TOpeningsCheck c = CheckOpenings(h, JournalHeadKey(FormatJournalHead(h)), {before});
  ASSERT_EQ(c.Problems.size(), 1u);
  EXPECT_EQ(text::GbkToUtf8(c.Problems[0]),
            "第3次开启的记录头没有指向上一次开启,此前2次开启的记录头缺失");
}

TEST_F(Openings, AnEventPackageCarriesNoCountToTheTaskItAdds) {
  Open(1);
  Open(2);
  std::string summary, err;
  const std::string zip = m_root.path("out/event.zip");
  ASSERT_TRUE(package::ExportEventPackage(1001, zip, summary, err)) << err;
  int32_t added = 0;
  ASSERT_TRUE(package::ImportEventPackage(zip, added, summary, err)) << err;
  ASSERT_NE(added, 1001);
  TOpenings openings;
  ASSERT_TRUE(LoadOpenings(added, openings, err)) << err;
  EXPECT_EQ(openings.Count, 0);
  EXPECT_EQ(openings.LastHead, "");
  ASSERT_TRUE(LoadOpenings(1001, openings, err)) << err;
  EXPECT_EQ(openings.Count, 2);
}

TEST_F(Openings, TheReportReadsInEnglishWithNoChineseLeft) {
  Open(1);
  const TJournalHead h = Open(2, -1);
  TVerifyResult r = VerifyDrawFolder(paths::DataRoot(), 1001);
  ASSERT_TRUE(r.Passed) << VerifyText(r);
  std::vector<std::string> lines = r.Lines;
  lines.insert(lines.end(), r.Openings.begin(), r.Openings.end());
  lines.push_back(r.Voucher);
  for (const std::string& line : lines) {
    const std::string english = VerifyLineInEnglish(line);
    EXPECT_TRUE(std::all_of(english.begin(), english.end(), [](char c) {
      return static_cast<unsigned char>(c) < 0x80;
    })) << text::GbkToUtf8(english);
  }
  TJournal j;
  std::string err;
  ASSERT_EQ(ReadJournal(paths::FinishedJournalPath(1001), j, err), JournalRead::Ok);
  EXPECT_EQ(VerifyLineInEnglish(r.Lines[0]),
            "List of 12 candidates, the commitment matches the secret, audience's number (none), "
            "seed " +
                std::to_string(j.Start.Seed));
  EXPECT_EQ(VerifyLineInEnglish(r.Lines[1]).rfind("Batch 1, item 2001, 1 winner(s): E1", 0), 0u);
  EXPECT_EQ(VerifyLineInEnglish(r.Lines.back()), "Verification passed");
  EXPECT_EQ(VerifyLineInEnglish(r.Openings[0]),
            "Opening 2 of this task's draw, the heads of the 1 openings before it are all there, "
            "the chain is whole");
  EXPECT_EQ(VerifyLineInEnglish(r.Voucher), "Draw voucher  list " + h.DataHash.substr(0, 12) +
                                                "  12 people  root " + r.ListRoot.substr(0, 8) +
                                                "  commitment " + h.Commit.substr(0, 16) +
                                                "  opening 2 of this task's draw");
  EXPECT_EQ(VerifyLineInEnglish(r.Openings[2]),
            "  Opening 2, commitment " + h.Commit.substr(0, 16) + " (this draw)");
  // What differs, told in English too.
  WriteAll(m_root.dir() / "LUCK_FILE/1001_2002.txt", "changed\r\n");
  r = VerifyDrawFolder(paths::DataRoot(), 1001);
  ASSERT_EQ(r.Problems.size(), 1u);
  EXPECT_EQ(VerifyLineInEnglish(r.Problems[0]),
            "The winner file LUCK_FILE/1001_2002.txt differs from the replay");
  EXPECT_EQ(VerifyLineInEnglish(r.Lines.back()), "Verification FAILED");
}

TEST_F(Openings, AHeadWhoseWriteFailedKeepsItsNumberWhenTheFirstBatchWritesIt) {
  Open(1);
  const std::string key1 = KeyOf("LUCK_FILE/JOURNAL_1001.txt");
  TDrawRun run(5);
  ASSERT_TRUE(SetUpDraw(run.e));
  std::string err;
  ASSERT_TRUE(run.e.SetAsidePending(err)) << err;
  files::SetRenameFault([](const std::string&) { return EIO; });
  EXPECT_FALSE(run.e.StartJournal(err));
  files::SetRenameFault(nullptr);
  // Counted before the write: the screen names the opening it shows.
  EXPECT_EQ(run.e.JournalHead().Opening, 2);
  ASSERT_TRUE(run.e.BeginBatch());
  run.e.SelectBatchWinners();
  run.e.RevealBatch();
  run.e.EndBatch();
  TJournal j;
  ASSERT_EQ(ReadJournal(paths::JournalPath(1001), j, err), JournalRead::Ok) << err;
  EXPECT_EQ(j.Head.Opening, 2);
  EXPECT_EQ(j.Head.PrevHead, key1);
  TOpenings db;
  ASSERT_TRUE(LoadOpenings(1001, db, err)) << err;
  EXPECT_EQ(db.Count, 2);
  EXPECT_EQ(db.LastHead, KeyOf("LUCK_FILE/JOURNAL_1001.txt"));
}
