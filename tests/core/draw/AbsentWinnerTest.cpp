#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "DrawSetUp.h"
#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/draw/DataDraw.h"
#include "core/draw/DrawJournal.h"
#include "core/draw/DrawTexts.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"

using text::G;

namespace {

// Six candidates, ids 11 … 16; 一等奖 2 in one batch, 二等奖 2 in one batch.
class AbsentWinner : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_dm.DataModuleCreate()); }

  void Build(int luckAgain, int candidates = 6) {
    TaskDef def;
    def.luckAgain = luckAgain;
    def.items = {{G("一等奖"), 2, 2, ""}, {G("二等奖"), 2, 2, ""}};
    def.title = G("号码 姓名");
    def.candidates.clear();
    for (int i = 0; i < candidates; ++i)
      def.candidates.push_back(std::to_string(11 + i) + " " + G("人") + std::to_string(i));
    m_lines = def.candidates;
    m_ids = BuildTask(m_dm, def);
  }

  static void Batch(TDataDraw& e) {
    ASSERT_TRUE(e.BeginBatch());
    e.SelectBatchWinners();
    for (int r = 0; r < 3; ++r) e.RollStep();
    e.RevealBatch();
    e.EndBatch();
  }

  // Marks the winner at `place` absent and draws the replacement, `rolls` ticks of roll.
  static int32_t Replace(TDataDraw& e, size_t place, int rolls = 2) {
    std::string message;
    EXPECT_TRUE(e.BeginReplacement(place, message)) << message;
    for (int r = 0; r < rolls; ++r) e.RollStep();
    e.RevealBatch();
    e.EndBatch();
    return e.Session().Winners[place].CandidateIndex;
  }

  static std::multiset<int32_t> Indices(const TArrLuckId& winners) {
    std::multiset<int32_t> out;
    for (const TLuckId& w : winners) out.insert(w.CandidateIndex);
    return out;
  }

  std::string File(const std::string& gbkPath) const { return ReadAll(paths::NativePath(gbkPath)); }

  TempRoot m_root;
  TTombolixDataModule m_dm;
  std::vector<int> m_ids;
  std::vector<std::string> m_lines;
};

}  // namespace

TEST_F(AbsentWinner, TheReplacementComesFromThoseWhoHaveNotWonAndTakesThePlace) {
  Build(0);
  for (uint32_t seed = 1; seed <= 20; ++seed) {
    SCOPED_TRACE(seed);
    TRandom rng;
    rng.Randomize(seed);
    TDrawSession session;
    TDataDraw e(session, rng);
    ASSERT_TRUE(SetUpDraw(e));
    EXPECT_FALSE(e.MayMarkAbsent());  // nothing revealed yet
    Batch(e);
    ASSERT_TRUE(e.MayMarkAbsent());
    const TLuckId before0 = e.Session().Winners[0];
    const int32_t other = e.Session().Winners[1].CandidateIndex;
    EXPECT_EQ(drawtext::AbsentQuestion(G("一等奖"), CandidateId(before0.CandidateLine)),
              G("[一等奖]中奖者") +
                  m_lines[static_cast<size_t>(before0.CandidateIndex)].substr(0, 2) +
                  G("暂未到场,是否为该奖项抽取一名替补?"));
    const int32_t k = Replace(e, 0);
    EXPECT_NE(k, before0.CandidateIndex);
    EXPECT_NE(k, other);
    EXPECT_EQ(e.state(), TDataDraw::State::BetweenBatches);
    ASSERT_EQ(e.Session().Winners.size(), 2u);
    EXPECT_EQ(e.Session().Winners[0].ItemId, before0.ItemId);
    EXPECT_EQ(e.Session().Winners[0].CandidateLine, m_lines[static_cast<size_t>(k)]);
    ASSERT_EQ(e.Session().Absences.size(), 1u);
    EXPECT_EQ(e.Session().Absences[0].CandidateIndex, before0.CandidateIndex);
    EXPECT_EQ(e.Session().Absences[0].ReplacementIndex, k);
    EXPECT_EQ(e.Session().Absences[0].Place, 0);
    // The item still counts two; the next item takes two of the three left, never the
    // absent winner.
    Batch(e);
    ASSERT_EQ(e.state(), TDataDraw::State::Finished);
    const std::multiset<int32_t> all = Indices(e.Session().Winners);
    EXPECT_EQ(all.size(), 4u);
    EXPECT_EQ(all.count(before0.CandidateIndex), 0u);
    EXPECT_EQ(std::set<int32_t>(all.begin(), all.end()).size(), 4u);
  }
}

TEST_F(AbsentWinner, FilesHoldTheReplacementInPlaceAndTheAbsentInTheirOwnFile) {
  Build(0);
  TRandom rng;
  rng.Randomize(7u);
  TDrawSession session;
  TDataDraw e(session, rng);
  ASSERT_TRUE(SetUpDraw(e));
  Batch(e);
  const int32_t absent1 = e.Session().Winners[1].CandidateIndex;
  const int32_t first = e.Session().Winners[0].CandidateIndex;
  const int32_t r1 = Replace(e, 1);
  Batch(e);  // the last batch: the files are written
  ASSERT_TRUE((e.state() == TDataDraw::State::Finished));
  const std::string title = G("号码 姓名") + "\r\n";
  auto line = [&](int32_t k) { return m_lines[static_cast<size_t>(k)]; };
  auto id = [&](int32_t k) { return line(k).substr(0, 2); };
  EXPECT_EQ(File(paths::WinnerFilePath(1001, m_ids[0])),
            title + line(first) + "\r\n" + line(r1) + "\r\n");
  EXPECT_EQ(File(paths::AbsentFilePath(1001, m_ids[0])),
            title + line(absent1) + " " + G("替补:") + id(r1) + "\r\n");
  EXPECT_FALSE(paths::FileExists(paths::AbsentFilePath(1001, m_ids[1])));

  // On the finished screen: the last item's first winner is absent too. The files of this
  // draw are written again in place, the journal keeps the record.
  ASSERT_TRUE(e.MayMarkAbsent());
  const int32_t absent2 = e.Session().Winners[2].CandidateIndex;
  const int32_t second = e.Session().Winners[3].CandidateIndex;
  const int32_t r2 = Replace(e, 2);
  EXPECT_TRUE((e.state() == TDataDraw::State::Finished));
  EXPECT_EQ(File(paths::WinnerFilePath(1001, m_ids[1])),
            title + line(r2) + "\r\n" + line(second) + "\r\n");
  EXPECT_EQ(File(paths::AbsentFilePath(1001, m_ids[1])),
            title + line(absent2) + " " + G("替补:") + id(r2) + "\r\n");
  EXPECT_NE(File(paths::FinishedJournalPath(1001)).find("ABSENT\titem=" + std::to_string(m_ids[1])),
            std::string::npos);
  // Six candidates: four winners and two absent. Nobody is left for a third.
  std::string message;
  const TArrLuckId before = e.Session().Winners;
  EXPECT_FALSE(e.BeginReplacement(0, message));
  EXPECT_EQ(message, G("[一等奖]已没有可抽取的替补号码,中奖名单不变"));
  EXPECT_EQ(e.state(), TDataDraw::State::Finished);
  EXPECT_EQ(Indices(e.Session().Winners), Indices(before));
  EXPECT_EQ(e.Session().Absences.size(), 2u);

  // A new draw moves the absent files to the history with the winner files.
  TRandom again;
  TDrawSession s2;
  TDataDraw next(s2, again);
  ASSERT_TRUE(SetUpDraw(next));
  Batch(next);
  Batch(next);
  ASSERT_TRUE((next.state() == TDataDraw::State::Finished));
  EXPECT_FALSE(paths::FileExists(paths::AbsentFilePath(1001, m_ids[0])));
  EXPECT_FALSE(paths::FileExists(paths::AbsentFilePath(1001, m_ids[1])));
}

TEST_F(AbsentWinner, WithRepeatedWinningEveryoneButTheAbsentMayReplace) {
  Build(1, 3);  // three candidates, four places: winners repeat
  for (uint32_t seed = 1; seed <= 20; ++seed) {
    SCOPED_TRACE(seed);
    TRandom rng;
    rng.Randomize(seed);
    TDrawSession session;
    TDataDraw e(session, rng);
    ASSERT_TRUE(SetUpDraw(e));
    Batch(e);
    const int32_t absent = e.Session().Winners[0].CandidateIndex;
    const int32_t k = Replace(e, 0);
    EXPECT_NE(k, absent);
    Batch(e);
    // An earlier place the same person won stays theirs; nothing drawn later is theirs.
    for (size_t i = 2; i < e.Session().Winners.size(); ++i)
      EXPECT_NE(e.Session().Winners[i].CandidateIndex, absent);
    // Two left who may win; one more absent leaves one.
    const int32_t absent2 = e.Session().Winners[3].CandidateIndex;
    const int32_t k2 = Replace(e, 3);
    EXPECT_NE(k2, absent);
    EXPECT_NE(k2, absent2);
    // The last one cannot be replaced by nobody.
    std::string message;
    size_t placeOfK2 = 3;
    EXPECT_FALSE(e.BeginReplacement(placeOfK2, message));
    EXPECT_FALSE(message.empty());
  }
}

TEST_F(AbsentWinner, TheJournalReplaysReplacementsAndTheResumeCountsThem) {
  Build(0);
  const uint32_t seed = 99u;
  std::vector<std::string> expected;
  TArrLuckId winners;
  TArrAbsentId absences;
  {
    TRandom rng;
    rng.Randomize(seed);
    TDrawSession session;
    TDataDraw e(session, rng, 5u);
    ASSERT_TRUE(SetUpDraw(e));
    Batch(e);
    Replace(e, 1, 3);
    winners = e.Session().Winners;
    absences = e.Session().Absences;
    // Killed during the next replacement's roll: it never reached the journal.
    std::string message;
    ASSERT_TRUE(e.BeginReplacement(0, message));
    e.RollStep();
  }
  {
    TRandom rng;
    rng.Randomize(1u);  // a new screen seeds anew; the journal's state wins
    TDrawSession session;
    TDataDraw e(session, rng, 5u);
    ASSERT_TRUE(SetUpDraw(e));
    ASSERT_EQ(e.Pending().kind, TPendingKind::Resumable);
    // Two drawn in the batch, one replacement.
    EXPECT_EQ(e.Pending().Winners(), 3);
    TDataDraw::BatchEnd end;
    std::string err;
    ASSERT_TRUE(e.Resume(end, err)) << err;
    ASSERT_EQ(e.Session().Winners.size(), winners.size());
    for (size_t i = 0; i < winners.size(); ++i)
      EXPECT_EQ(e.Session().Winners[i].CandidateIndex, winners[i].CandidateIndex);
    ASSERT_EQ(e.Session().Absences.size(), 1u);
    EXPECT_EQ(e.Session().Absences[0].CandidateIndex, absences[0].CandidateIndex);
    EXPECT_EQ(e.Session().Absences[0].ReplacementIndex, absences[0].ReplacementIndex);
    EXPECT_EQ(e.state(), TDataDraw::State::BetweenBatches);
    // The list shows the absent one marked above its replacement.
    const std::vector<std::string>& list = e.WinnerList().Lines();
    const std::string absentLine = m_lines[static_cast<size_t>(absences[0].CandidateIndex)];
    auto at = std::find(list.begin(), list.end(), absentLine + " " + G("缺席"));
    ASSERT_NE(at, list.end());
    ASSERT_NE(at + 1, list.end());
    EXPECT_EQ(*(at + 1), m_lines[static_cast<size_t>(absences[0].ReplacementIndex)]);
    // The draw goes on to the end as it would have without the cut.
    Replace(e, 0);
    Batch(e);
    ASSERT_TRUE((e.state() == TDataDraw::State::Finished));
    expected = {File(paths::WinnerFilePath(1001, m_ids[0])),
                File(paths::AbsentFilePath(1001, m_ids[0]))};
    winners = e.Session().Winners;
  }
  // The same draw without the kill gives the same files.
  std::error_code ec;
  std::filesystem::remove_all(paths::NativePath(paths::LuckFileDir()), ec);
  {
    TRandom rng;
    rng.Randomize(seed);
    TDrawSession session;
    TDataDraw e(session, rng, 5u);
    ASSERT_TRUE(SetUpDraw(e));
    Batch(e);
    Replace(e, 1, 3);
    Replace(e, 0);
    Batch(e);
    ASSERT_TRUE((e.state() == TDataDraw::State::Finished));
    EXPECT_EQ(File(paths::WinnerFilePath(1001, m_ids[0])), expected[0]);
    EXPECT_EQ(File(paths::AbsentFilePath(1001, m_ids[0])), expected[1]);
    ASSERT_EQ(e.Session().Winners.size(), winners.size());
    for (size_t i = 0; i < winners.size(); ++i)
      EXPECT_EQ(e.Session().Winners[i].CandidateIndex, winners[i].CandidateIndex);
  }
}

TEST(AbsentRecord, ReadsBackInItsPlaceAndCountsItsReplacement) {
  TJournalHead h;
  h.TaskId = 1001;
  h.DataHash = std::string(64, 'a');
  h.PresetHash = std::string(64, 'b');
  h.Items = {{2001, 3, 2}};
  h.Seed = 5u;
  TJournalBatch b{2001, 2, false, 0, 99u, {4, 1}};
  TJournalAbsence a;
  a.ItemId = 2001;
  a.Place = 1;
  a.Absent = 1;
  a.Replacement = 7;
  a.Rng = 1234u;
  a.Rolls = 6;
  const std::string absent = FormatJournalAbsence(a);
  EXPECT_EQ(absent.rfind("ABSENT\titem=2001\tplace=1\tabsent=1\treplacement=7\trng=1234\trolls=6\t"
                         "check=",
                         0),
            0u);
  TJournal j;
  std::string err;
  ASSERT_EQ(ParseJournal(FormatJournalHead(h) + FormatJournalBatch(b) + absent, j, "j", err),
            JournalRead::Ok)
      << err;
  ASSERT_EQ(j.Absences.size(), 1u);
  a.AfterBatches = 1;
  EXPECT_EQ(j.Absences[0], a);
  EXPECT_EQ(j.WinnerCount(), 3);  // two in the batch, one replacement
  EXPECT_EQ(j.LastRng(), 1234u);  // the replacement came last
}

// Killed on the finished screen after a replacement's record, before its files: the next
// opening writes the files again from the journal, unasked. Files changed otherwise stay.
TEST_F(AbsentWinner, FilesBehindTheFinishedJournalCatchUpAtTheNextOpening) {
  Build(0);
  const std::string title = G("号码 姓名") + "\r\n";
  auto line = [&](int32_t k) { return m_lines[static_cast<size_t>(k)]; };
  const std::filesystem::path winners = paths::NativePath(paths::WinnerFilePath(1001, m_ids[1]));
  const std::filesystem::path absent = paths::NativePath(paths::AbsentFilePath(1001, m_ids[1]));
  TDrawFailure f;
  TRandom rng;
  rng.Randomize(11u);
  TDrawSession session;
  TDataDraw e(session, rng);
  ASSERT_TRUE(SetUpDraw(e));
  Batch(e);
  Batch(e);
  ASSERT_TRUE((e.state() == TDataDraw::State::Finished));
  const std::string winnersBefore = ReadAll(winners);
  const int32_t gone = e.Session().Winners[2].CandidateIndex;
  const int32_t second = e.Session().Winners[3].CandidateIndex;
  const int32_t r = Replace(e, 2);
  const std::string winnersAfter = title + line(r) + "\r\n" + line(second) + "\r\n";
  const std::string absentAfter =
      title + line(gone) + " " + G("替补:") + line(r).substr(0, 2) + "\r\n";
  ASSERT_EQ(ReadAll(winners), winnersAfter);
  ASSERT_EQ(ReadAll(absent), absentAfter);

  auto reopen = [&] {
    TRandom other;
    TDrawSession s;
    TDataDraw next(s, other);
    ASSERT_TRUE(SetUpDraw(next));
    EXPECT_EQ(next.Pending().kind, TPendingKind::None);
    EXPECT_TRUE(next.Session().Winners.empty());  // a fresh draw all the same
  };
  // Killed before either file was written again.
  WriteAll(winners, winnersBefore);
  std::filesystem::remove(absent);
  reopen();
  EXPECT_EQ(ReadAll(winners), winnersAfter);
  EXPECT_EQ(ReadAll(absent), absentAfter);
  // Killed between the two files.
  WriteAll(winners, winnersBefore);
  reopen();
  EXPECT_EQ(ReadAll(winners), winnersAfter);
  EXPECT_EQ(ReadAll(absent), absentAfter);
  // A winner file changed by other hands is not overwritten.
  WriteAll(winners, title);
  std::filesystem::remove(absent);
  reopen();
  EXPECT_EQ(ReadAll(winners), title);
  EXPECT_FALSE(std::filesystem::exists(absent));
}
