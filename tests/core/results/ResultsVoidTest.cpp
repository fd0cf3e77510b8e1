// A winner voided from the results: on the draw's record through its engine, read back by the
// one reader of voided winners, and refused at the claim desk.
#include <gtest/gtest.h>

#include <filesystem>

#include "DrawSetUp.h"
#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/claims/ClaimDesk.h"
#include "core/records/ClaimFile.h"
#include "core/records/VoidFile.h"
#include "core/records/WinnerFiles.h"
#include "core/results/ResultsVoid.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "core/text/Text.h"

using text::G;

namespace {

constexpr char kTime[] = "2026-12-10 20:15:00";

// Ten candidates 11 … 20; 一等奖 3 one at a time, 二等奖 3 in one batch, drawn to the end.
class ResultsVoid : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dm.DataModuleCreate());
    TaskDef def;
    def.items = {{G("一等奖"), 3, 1, ""}, {G("二等奖"), 3, 3, ""}};
    def.title = G("号码 姓名");
    for (int i = 0; i < 10; ++i)
      def.candidates.push_back(std::to_string(11 + i) + " " + G("人") + std::to_string(i));
    m_ids = BuildTask(m_dm, def);
  }

  // Draws every batch; `batches` fewer than four leaves the draw unfinished.
  void Draw(int batches = 4) {
    auto run = StartDraw(5u);
    for (int b = 0; b < batches; ++b) {
      ASSERT_TRUE(run->e.BeginBatch());
      run->e.SelectBatchWinners();
      run->e.RollStep();
      run->e.RevealBatch();
      run->e.EndBatch();
    }
  }

  // The winner file's lines after its title line.
  std::vector<std::string> WinnerLines(int k) const {
    std::vector<std::string> out;
    const std::string all = ReadAll(paths::NativePath(paths::WinnerFilePath(1001, m_ids[k])));
    for (std::string_view l : text::SplitAt(all, '\n'))
      if (!l.empty()) out.emplace_back(l.substr(0, l.size() - 1));  // without CR
    if (!out.empty()) out.erase(out.begin());
    return out;
  }

  bool Void(int k, int row, std::string_view id, std::string_view reason, std::string& message) {
    return query::VoidFromResults(m_session, 1001, m_ids[k], row, id, reason, kTime, message);
  }

  TempRoot m_root;
  TTombolixDataModule m_dm;
  TDrawSession m_session;  // the results window's
  std::vector<int> m_ids;
};

}  // namespace

TEST_F(ResultsVoid, AWinnerLeavesTheWinnerFileForTheVoidFileOnceAndThePlaceStaysEmpty) {
  Draw();
  const std::vector<std::string> before = WinnerLines(0);
  ASSERT_EQ(before.size(), 3u);
  const std::string voided = before[1];
  const std::string id(text::FirstField(voided));
  const std::string journal = ReadAll(paths::NativePath(paths::FinishedJournalPath(1001)));
  std::string message;
  // Asked before the reason is chosen: the same checks, nothing written.
  ASSERT_TRUE(query::CheckVoidFromResults(m_session, 1001, m_ids[0], 1, id, message)) << message;
  EXPECT_EQ(ReadAll(paths::NativePath(paths::FinishedJournalPath(1001))), journal);
  ASSERT_TRUE(Void(0, 1, id, G("本人放弃"), message)) << message;
  EXPECT_EQ(WinnerLines(0), (std::vector<std::string>{before[0], before[2]}));
  EXPECT_EQ(ReadAll(paths::NativePath(VoidFilePath(1001, m_ids[0]))),
            G("号码 姓名\r\n") + voided + "\t2026-12-10 20:15:00\t" + G("本人放弃") + "\t\r\n");
  // One record appended to the finished draw's journal, no redraw.
  const std::string after = ReadAll(paths::NativePath(paths::FinishedJournalPath(1001)));
  ASSERT_GT(after.size(), journal.size());
  EXPECT_EQ(after.substr(0, journal.size()), journal);
  EXPECT_EQ(after.substr(journal.size(), 5), "VOID\t");
  EXPECT_NE(after.find("\tredraw=0", journal.size()), std::string::npos);
  // The window goes on with its task.
  ASSERT_EQ(m_session.Items.size(), 2u);
  EXPECT_EQ(m_session.Task.TaskId, 1001);

  // The one reader every reader of the results shares.
  TVoidFile file;
  std::string error;
  ASSERT_TRUE(LoadItemVoids(1001, m_ids[0], file, error)) << error;
  ASSERT_TRUE(file.exists);
  EXPECT_EQ(file.titleLine, G("号码 姓名"));
  ASSERT_EQ(file.rows.size(), 1u);
  EXPECT_EQ(file.rows[0].CandidateLine, voided);
  EXPECT_EQ(file.rows[0].Reason, G("本人放弃"));
  EXPECT_EQ(VoidMarkText(file.rows[0]), G("作废:本人放弃 2026-12-10 20:15:00 名额空缺"));
  EXPECT_EQ(VoidMarkText(file.rows[0], true), G("作废:本人放弃 20:15 名额空缺"));
  TVoidRow redrawn = file.rows[0];
  redrawn.ReplacementId = "17";
  EXPECT_EQ(VoidMarkText(redrawn), G("作废:本人放弃 2026-12-10 20:15:00 重抽:17"));
  ASSERT_TRUE(LoadItemVoids(1001, m_ids[1], file, error)) << error;
  EXPECT_FALSE(file.exists);

  // Again, from a window that still shows the winner: the engine's refusal, nothing written.
  EXPECT_FALSE(query::CheckVoidFromResults(m_session, 1001, m_ids[0], -1, id, message));
  EXPECT_EQ(message, G("该中奖者已经作废,不能再次作废"));
  EXPECT_FALSE(Void(0, 1, id, G("误抽"), message));
  EXPECT_EQ(message, G("该中奖者已经作废,不能再次作废"));
  EXPECT_FALSE(Void(1, 0, id, G("误抽"), message));
  EXPECT_EQ(message, G("该号码不是此奖项的中奖者"));
  EXPECT_EQ(ReadAll(paths::NativePath(paths::FinishedJournalPath(1001))), after);
  EXPECT_EQ(WinnerLines(0).size(), 2u);
}

TEST_F(ResultsVoid, AnUnfinishedDrawOrAListChangedSinceIsRefusedAndNothingChanges) {
  Draw(2);
  TLuckTask task;
  task.TaskId = 1001;
  task.OrderBy = TDrawType::FromData;
  EXPECT_FALSE(query::MayVoidFromResults(task));  // no finished draw on record
  std::string message;
  EXPECT_FALSE(Void(0, 0, "11", G("误抽"), message));
  EXPECT_EQ(message, G("本任务还有未完成的抽奖,请先在抽奖窗口中完成"));
  EXPECT_FALSE(paths::FileExists(VoidFilePath(1001, m_ids[0])));

  std::filesystem::remove(paths::NativePath(paths::JournalPath(1001)));
  Draw();
  EXPECT_TRUE(query::MayVoidFromResults(task));
  task.OrderBy = TDrawType::ByProbability;
  EXPECT_FALSE(query::MayVoidFromResults(task));
  const std::string journal = ReadAll(paths::NativePath(paths::FinishedJournalPath(1001)));
  const std::string id(text::FirstField(WinnerLines(0)[0]));
  // A line added to the list after the draw: the record no longer matches it.
  const std::filesystem::path list = paths::NativePath(paths::DrawDataPath(1001));
  WriteAll(list, ReadAll(list) + "21 " + G("人10") + "\r\n");
  EXPECT_FALSE(Void(0, 0, id, G("误抽"), message));
  EXPECT_EQ(message, G("任务的名单或奖项在抽奖后已经改动,无法在原抽奖记录上作废"));
  EXPECT_FALSE(paths::FileExists(VoidFilePath(1001, m_ids[0])));
  EXPECT_EQ(ReadAll(paths::NativePath(paths::FinishedJournalPath(1001))), journal);
  EXPECT_EQ(m_session.Items.size(), 2u);
}

TEST_F(ResultsVoid, TheClaimDeskRefusesAVoidedWinnerAndAClaimedOneIsAskedAbout) {
  Draw();
  const std::vector<std::string> winners = WinnerLines(1);
  const std::string gone(text::FirstField(winners[0]));
  const std::string stays(text::FirstField(winners[1]));
  // The check-in service's desk held the results before the void, with the codes given out.
  auto held = std::make_shared<claims::TClaimDesk>();
  claims::TClaimDraw draw;
  std::string error;
  ASSERT_TRUE(claims::ResultsDraw(1001, draw, error)) << error;
  ASSERT_TRUE(held->Use(draw, error)) << error;
  const std::string code = held->PrizesOf(gone)[0].Code;

  std::string message;
  ASSERT_TRUE(Void(1, 0, gone, G("不符合资格"), message)) << message;
  ASSERT_TRUE(claims::RetakeResults(1001, held, error)) << error;
  const claims::TClaimResult byCode = held->ClaimCode(code, G("领奖台1"));
  EXPECT_EQ(byCode.Answer, claims::TClaimAnswer::Voided);
  EXPECT_EQ(byCode.Prize.Winner.Name, text::SplitFields(winners[0])[1]);
  EXPECT_EQ(claims::ClaimAnswerText(byCode.Answer), G("该中奖者的中奖已作废，不能领取"));
  ASSERT_TRUE(held->Find(code));
  EXPECT_TRUE(held->Find(code)->Voided);
  const claims::TClaimResult fromResults =
      claims::ClaimFromResults(1001, gone, m_ids[1], error, held);
  EXPECT_EQ(fromResults.Answer, claims::TClaimAnswer::Voided);
  EXPECT_EQ(held->ClaimedCount(), 0u);
  // Those who stand claim as before.
  EXPECT_EQ(claims::ClaimFromResults(1001, stays, m_ids[1], error, held).Answer,
            claims::TClaimAnswer::Claimed);

  // A claimed winner is asked about first, and the void's reason says both.
  EXPECT_EQ(query::ClaimedVoidQuestion("2026-12-10 20:31:05", G("结果查询")),
            G("该中奖者已领奖（2026-12-10 20:31:05 结果查询），仍要作废?"));
  const std::string reason =
      query::ClaimedVoidReason(G("本人放弃"), "2026-12-10 20:31:05", G("结果查询"));
  EXPECT_EQ(reason, G("本人放弃；已于 20:31 领奖（结果查询）"));
  ASSERT_TRUE(Void(1, 0, stays, reason, message)) << message;
  TVoidFile file;
  ASSERT_TRUE(LoadItemVoids(1001, m_ids[1], file, error)) << error;
  ASSERT_EQ(file.rows.size(), 2u);
  EXPECT_EQ(file.rows[1].Reason, reason);
  ASSERT_TRUE(claims::RetakeResults(1001, held, error)) << error;
  EXPECT_EQ(held->Claim(stays, m_ids[1], "x").Answer, claims::TClaimAnswer::Voided);
}
