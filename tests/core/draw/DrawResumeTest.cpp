#include "core/draw/DrawResume.h"

#include <gtest/gtest.h>

#include <filesystem>
#include "DrawSetUp.h"
#include "TaskBuilder.h"
#include "TempRoot.h"

#include "core/config/TaskState.h"
#include "core/draw/DataDraw.h"
#include "core/draw/DrawTexts.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"

using text::G;

namespace {

// One item of 6 winners, 2 a batch, drawn from ten candidates.
class PendingJournal : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dm.DataModuleCreate());
    TaskDef def;
    def.items = {{G("一等奖"), 6, 2, ""}};
    for (int i = 0; i < 10; ++i)
      def.candidates.push_back(std::to_string(13700000000LL + i) + " " + G("人") +
                               std::to_string(i));
    BuildTask(m_dm, def);
  }

  // Draws `batches` batches and leaves the draw unfinished; returns its journal as read.
  TJournal DrawAndStop(int batches) {
    TRandom rng;
    rng.Randomize(77u);
    TDrawSession session;
    TDataDraw e(session, rng, 4242u);
    EXPECT_TRUE(SetUpDraw(e));
    for (int b = 0; b < batches; ++b) {
      RevealOne(e);
      e.EndBatch();
    }
    TJournal j;
    std::string error;
    EXPECT_EQ(ReadJournal(paths::JournalPath(1001), j, error), JournalRead::Ok) << error;
    return j;
  }

  // One batch selected, rolled and revealed; the caller ends it.
  static void RevealOne(TDataDraw& e) {
    EXPECT_TRUE(e.BeginBatch());
    e.SelectBatchWinners();
    e.RollStep();
    e.RevealBatch();
  }

  // Writes the journal's records again, each sealed with its own check value.
  static void Rewrite(const TJournal& j) {
    std::string text = FormatJournalHead(j.Head) + FormatJournalStart(j.Start);
    for (const TJournalBatch& b : j.Batches) text += FormatJournalBatch(b);
    WriteAll(paths::NativePath(paths::JournalPath(1001)), text);
  }

  TempRoot m_root;
  TTombolixDataModule m_dm;
};

}  // namespace

TEST_F(PendingJournal, ADrawnCountThatDisagreesWithItsWinnersIsNotResumed) {
  const TJournal drawn = DrawAndStop(2);
  ASSERT_EQ(drawn.Batches.size(), 2u);
  ASSERT_EQ(drawn.Batches[0].Drawn, 2);
  ASSERT_EQ(drawn.Batches[1].Drawn, 4);
  // Each count is off in one batch: one more than its winners; one that counts only its
  // own batch's winners, not the item's.
  for (const auto& [batch, count] : {std::pair{0, 3}, std::pair{1, 2}}) {
    SCOPED_TRACE(batch);
    TJournal j = drawn;
    j.Batches[static_cast<size_t>(batch)].Drawn = count;
    Rewrite(j);
    TRandom rng;
    TDrawSession session;
    TDataDraw e(session, rng, 4242u);
    ASSERT_TRUE(SetUpDraw(e));
    TDataDraw::BatchEnd end;
    std::string error;
    EXPECT_FALSE(e.Resume(end, error));
    EXPECT_EQ(error, drawtext::PendingMismatch());
    EXPECT_EQ(e.Pending().kind, TPendingKind::Mismatch);
    EXPECT_TRUE(e.Session().Winners.empty());
    EXPECT_EQ(e.state(), TDataDraw::State::Ready);
  }
  // The same records with the counts as drawn go on.
  Rewrite(drawn);
  TRandom rng;
  TDrawSession session;
  TDataDraw e(session, rng, 4242u);
  ASSERT_TRUE(SetUpDraw(e));
  TDataDraw::BatchEnd end;
  std::string error;
  ASSERT_TRUE(e.Resume(end, error)) << error;
  EXPECT_EQ(e.Session().Winners.size(), 4u);
  EXPECT_EQ(e.state(), TDataDraw::State::BetweenBatches);
}

TEST_F(PendingJournal, ReadingSortsTheJournalByWhatMayBecomeOfIt) {
  TJournalHead head;
  EXPECT_EQ(ReadPendingDraw(paths::JournalPath(1001), head).kind, TPendingKind::None);
  const TJournal j = DrawAndStop(1);
  const std::string path = paths::JournalPath(1001);
  const TPendingDraw same = ReadPendingDraw(path, j.Head);
  EXPECT_EQ(same.kind, TPendingKind::Resumable);
  EXPECT_EQ(same.Winners(), 2);
  TJournalHead other = j.Head;
  other.LuckAgain = 1;
  EXPECT_EQ(ReadPendingDraw(path, other).kind, TPendingKind::Mismatch);
  // A head alone: nothing was shown.
  WriteAll(paths::NativePath(path), FormatJournalHead(j.Head));
  EXPECT_EQ(ReadPendingDraw(path, j.Head).kind, TPendingKind::None);
  // A record broken before a whole one.
  std::string batch = FormatJournalBatch(j.Batches[0]);
  std::string broken = batch;
  broken[11] = '3';  // item=3001: the check value no longer fits
  WriteAll(paths::NativePath(path), FormatJournalHead(j.Head) + broken + batch);
  EXPECT_EQ(ReadPendingDraw(path, j.Head).kind, TPendingKind::Damaged);
  // A line cut short is not even a head; a whole record that is no head is no journal.
  WriteAll(paths::NativePath(path), "not a journal\r\n");
  EXPECT_EQ(ReadPendingDraw(path, j.Head).kind, TPendingKind::None);
  WriteAll(paths::NativePath(path), batch + batch);
  EXPECT_EQ(ReadPendingDraw(path, j.Head).kind, TPendingKind::Mismatch);
}

// The main list and the draw's set-up answer alike whether a draw can go on.
TEST_F(PendingJournal, TheMainListAndTheDrawAgreeOnWhatCanGoOn) {
  const auto listSays = [] {
    return config::ReadTaskState(1001, TDrawType::FromData, paths::DrawDataPath(1001)).Phase;
  };
  const auto drawSays = [] {
    TRandom rng;
    TDrawSession session;
    TDataDraw e(session, rng, 4242u);
    EXPECT_TRUE(SetUpDraw(e));
    return e.Pending().kind;
  };
  DrawAndStop(1);
  EXPECT_EQ(listSays(), config::TTaskPhase::Resumable);
  EXPECT_EQ(drawSays(), TPendingKind::Resumable);

  // The last batch on record but no winner file yet (a crash in between): finished for both.
  DrawAndStop(2);
  TJournal done;
  {
    TRandom rng;
    TDrawSession session;
    TDataDraw e(session, rng, 4242u);
    ASSERT_TRUE(SetUpDraw(e));
    TDataDraw::BatchEnd end;
    std::string error;
    ASSERT_TRUE(e.Resume(end, error)) << error;
    RevealOne(e);
    ASSERT_EQ(ReadJournal(paths::JournalPath(1001), done, error), JournalRead::Ok) << error;
    e.EndBatch();
  }
  ASSERT_EQ(done.Batches.size(), 3u);
  std::error_code ec;
  for (const auto& f : std::filesystem::directory_iterator(paths::NativePath(paths::LuckFileDir())))
    if (f.path().filename().string().rfind("1001_", 0) == 0) std::filesystem::remove(f.path(), ec);
  Rewrite(done);
  EXPECT_EQ(listSays(), config::TTaskPhase::Drawn);
  EXPECT_EQ(drawSays(), TPendingKind::Complete);
}
