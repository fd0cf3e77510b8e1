#include "core/draw/JournalWriter.h"

#include <gtest/gtest.h>

#include "FileSizeLimit.h"
#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#endif

#include "DrawSetUp.h"
#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/draw/DataDraw.h"
#include "core/draw/DrawJournal.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"

using text::G;

#ifndef _WIN32
namespace {

std::string Record(int32_t item, std::vector<int32_t> winners) {
  TJournalBatch b;
  b.ItemId = item;
  b.Drawn = static_cast<int32_t>(winners.size());
  b.Rng = 123456789u;
  b.Rolls = 3;
  b.Winners = std::move(winners);
  return FormatJournalBatch(b);
}

}  // namespace

TEST(JournalWriter, AnAppendThatFailsHalfWayIsCutBackAndWrittenWholeWithTheNext) {
  TempRoot root;
  const std::string path = root.path("JOURNAL_1.txt");
  TJournalHead h;
  h.TaskId = 1;
  const std::string head = FormatJournalHead(h);
  const std::string r1 = Record(2001, {1, 2});
  const std::string r2 = Record(2001, {3, 4});
  const std::string r3 = Record(2002, {5});
  TJournalWriter w;
  std::string error;
  ASSERT_TRUE(w.Begin(1, path, head, error)) << error;
  ASSERT_TRUE(w.Append(1, path, head, r1));
  ASSERT_EQ(w.WholeBytes(), head.size() + r1.size());
  {
    FileSizeLimit limit(static_cast<int64_t>(head.size() + r1.size() + 10));
    ASSERT_TRUE(limit.Set());
    EXPECT_FALSE(w.Append(1, path, head, r2));
  }
  // Ten bytes of the second record reached the file; the writer still counts whole ones.
  ASSERT_EQ(JournalSize(path), static_cast<int64_t>(head.size() + r1.size() + 10));
  EXPECT_EQ(w.WholeBytes(), head.size() + r1.size());
  EXPECT_EQ(w.Unwritten(), r2);
  EXPECT_FALSE(w.TakeError().empty());
  EXPECT_TRUE(w.TakeError().empty());  // read once

  ASSERT_TRUE(w.Append(1, path, head, r3));
  EXPECT_EQ(ReadAll(paths::NativePath(path)), head + r1 + r2 + r3);
  EXPECT_EQ(w.WholeBytes(), head.size() + r1.size() + r2.size() + r3.size());
  EXPECT_TRUE(w.Unwritten().empty());
}

// The same on the real draw: the reveal of the second batch is shown although its record
// did not reach the journal whole; the third batch's append must put it back whole.
TEST(JournalWriter, AWinnerShownWhileTheJournalFailedIsInTheJournalAfterTheNextBatch) {
  TempRoot root;
  TTombolixDataModule dm;
  ASSERT_TRUE(dm.DataModuleCreate());
  TaskDef def;
  def.items = {{G("一等奖"), 8, 2, ""}};
  for (int i = 0; i < 20; ++i)
    def.candidates.push_back(std::to_string(13600000000LL + i) + " " + G("人") + std::to_string(i));
  BuildTask(dm, def);
  const std::string path = paths::JournalPath(1001);
  TRandom rng;
  rng.Randomize(31u);
  TArrLuckId winners;
  {
    TDrawSession session;
    TDataDraw e(session, rng, 99u);
    ASSERT_TRUE(SetUpDraw(e));
    const auto batch = [&e] {
      ASSERT_TRUE(e.BeginBatch());
      e.SelectBatchWinners();
      e.RollStep();
      EXPECT_EQ(e.RevealBatch().size(), 2u);  // eleven-digit ids, a line each
      e.EndBatch();
    };
    batch();
    EXPECT_TRUE(e.TakeJournalError().empty());
    {
      FileSizeLimit limit(JournalSize(path) + 10);
      ASSERT_TRUE(limit.Set());
      batch();
    }
    EXPECT_FALSE(e.TakeJournalError().empty());
    batch();
    EXPECT_TRUE(e.TakeJournalError().empty());
    winners = e.Session().Winners;
  }
  ASSERT_EQ(winners.size(), 6u);
  TJournal j;
  std::string error;
  ASSERT_EQ(ReadJournal(path, j, error), JournalRead::Ok) << error;
  EXPECT_FALSE(j.TornTail);
  ASSERT_EQ(j.Batches.size(), 3u);
  for (size_t b = 0; b < 3; ++b) {
    EXPECT_EQ(j.Batches[b].Drawn, static_cast<int32_t>(2 * b + 2));
    EXPECT_EQ(j.Batches[b].Winners, (std::vector<int32_t>{winners[2 * b].CandidateIndex,
                                                          winners[2 * b + 1].CandidateIndex}));
  }
  // Opened again, the draw goes on with every winner shown.
  TDrawSession session;
  TDataDraw e(session, rng, 99u);
  ASSERT_TRUE(SetUpDraw(e));
  ASSERT_EQ(e.Pending().kind, TPendingKind::Resumable);
  TDataDraw::BatchEnd end;
  ASSERT_TRUE(e.Resume(end, error)) << error;
  ASSERT_EQ(e.Session().Winners.size(), 6u);
  for (size_t i = 0; i < 6; ++i)
    EXPECT_EQ(e.Session().Winners[i].CandidateIndex, winners[i].CandidateIndex);
}
#endif
