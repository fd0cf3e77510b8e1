#include <gtest/gtest.h>

#include <filesystem>

#include "DrawSetUp.h"
#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/draw/DataDraw.h"
#include "core/draw/DrawJournal.h"
#include "core/draw/DrawTexts.h"
#include "core/records/CheckinFile.h"
#include "core/records/DrawDataFile.h"
#include "core/records/ResultsHistory.h"
#include "core/records/WinnerFiles.h"
#include "core/text/FileWrite.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"

using text::G;
namespace fs = std::filesystem;

namespace {

TJournalHead Head() {
  TJournalHead h;
  h.TaskId = 1001;
  h.DataHash = std::string(64, 'a');
  h.PresetHash = std::string(64, 'b');
  h.LuckAgain = 1;
  h.Seed = 4294967295u;
  h.Items = {{2001, 5, 2}, {2002, 1, 1}};
  return h;
}

std::vector<std::string> People(int n) {
  std::vector<std::string> out;
  for (int i = 0; i < n; ++i)
    out.push_back(std::to_string(13900000000LL + i * 37) + " " + G("员工") + std::to_string(i));
  return out;
}

// The folders of the results history.
std::vector<fs::path> HistoryFolders() {
  std::vector<fs::path> out;
  std::error_code ec;
  for (auto& e : fs::directory_iterator(paths::NativePath(paths::HistoryDir()), ec))
    out.push_back(e.path());
  std::sort(out.begin(), out.end());
  return out;
}

std::vector<std::string> Names(const fs::path& dir) {
  std::vector<std::string> out;
  for (auto& e : fs::directory_iterator(dir)) out.push_back(e.path().filename().string());
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace

TEST(DrawJournal, RecordsReadBackAsWritten) {
  TempRoot root;
  const std::string path = paths::JournalPath(1001);
  const TJournalBatch b1{2001, 2, false, 2, 123456789u, {9, 4}};
  const TJournalBatch b2{2001, 3, true, 3, 0u, {}};
  std::string err;
  ASSERT_TRUE(AppendJournal(path, FormatJournalHead(Head()) + FormatJournalBatch(b1), err)) << err;
  ASSERT_TRUE(AppendJournal(path, FormatJournalBatch(b2), err));
  TJournal j;
  ASSERT_EQ(ReadJournal(path, j, err), JournalRead::Ok) << err;
  EXPECT_TRUE(j.Head.SameDraw(Head()));
  EXPECT_EQ(j.Head.Seed, 4294967295u);
  ASSERT_EQ(j.Batches.size(), 2u);
  EXPECT_EQ(j.Batches[0], b1);
  EXPECT_EQ(j.Batches[1], b2);
  EXPECT_EQ(j.WinnerCount(), 2);
  // Text an editor shows: one record a line.
  const std::string text = ReadAll(paths::NativePath(path));
  EXPECT_EQ(text.rfind("DRAW\ttask=1001\tdata=", 0), 0u);
  EXPECT_NE(text.find("\r\nBATCH\titem=2001\tdrawn=2\tclosed=0\tpresets=2\trng=123456789\t"
                      "winners=9,4\tcheck="),
            std::string::npos);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3);

  EXPECT_EQ(ReadJournal(paths::JournalPath(4711), j, err), JournalRead::Missing);
}

TEST(DrawJournal, ALineCutShortIsIgnoredAndEverythingBeforeItKept) {
  TempRoot root;
  const std::string path = paths::JournalPath(1001);
  const std::string whole =
      FormatJournalHead(Head()) + FormatJournalBatch({2001, 2, false, 0, 7u, {1, 2}});
  const std::string last = FormatJournalBatch({2001, 4, false, 0, 8u, {3, 5}});
  TJournal j;
  std::string err;
  // Cut anywhere inside the last record, and with its line end but a damaged value.
  for (size_t cut : {size_t{1}, last.size() / 2, last.size() - 2, last.size() - 1}) {
    WriteAll(paths::NativePath(path), whole + last.substr(0, cut));
    ASSERT_EQ(ReadJournal(path, j, err), JournalRead::Ok) << cut;
    ASSERT_EQ(j.Batches.size(), 1u) << cut;
    EXPECT_EQ(j.Batches[0].Winners, (std::vector<int32_t>{1, 2}));
  }
  std::string damaged = last;
  damaged[damaged.find("3,5")] = '4';
  WriteAll(paths::NativePath(path), whole + damaged);
  ASSERT_EQ(ReadJournal(path, j, err), JournalRead::Ok);
  EXPECT_EQ(j.Batches.size(), 1u);
  // Only part of the first record: nothing to continue.
  WriteAll(paths::NativePath(path), whole.substr(0, 20));
  EXPECT_EQ(ReadJournal(path, j, err), JournalRead::Empty);
  // A first record that is not the head.
  WriteAll(paths::NativePath(path), last + whole);
  EXPECT_EQ(ReadJournal(path, j, err), JournalRead::Unreadable);
}

namespace {

class Resume : public ::testing::Test {
 protected:
  static constexpr uint32_t kSeed = 20261208u;
  static constexpr uint32_t kSecret = 1208u;  // the same draw each time
  static constexpr int kRolls = 4;

  void SetUp() override {
    ASSERT_TRUE(m_dm.DataModuleCreate());
    TaskDef def;
    def.items = {{G("一等奖"), 3, 2, G("电脑")}, {G("二等奖"), 4, 3, ""}, {G("三等奖"), 2, 2, ""}};
    def.candidates = People(30);
    def.title = G("号码 姓名");
    m_ids = BuildTask(m_dm, def);
    m_candidates = def.candidates;
    WritePresets(1001, m_ids[1], {m_candidates[11], "nobody", m_candidates[3]});
    WritePresets(1001, m_ids[2], {m_candidates[20]});
  }

  // Batch by batch, `rolls` ticks each, `batches` of them (all when negative).
  static void Draw(TDataDraw& e, int batches) {
    for (int i = 0; batches < 0 || i < batches; ++i) {
      if (e.state() == TDataDraw::State::Finished) return;
      ASSERT_TRUE(e.BeginBatch());
      e.SelectBatchWinners();
      for (int r = 0; r < kRolls; ++r) e.RollStep();
      e.RevealBatch();
      e.EndBatch();
    }
  }

  std::vector<std::string> Files() const {
    std::vector<std::string> out;
    for (int id : m_ids) out.push_back(ReadAll(paths::NativePath(paths::WinnerFilePath(1001, id))));
    return out;
  }

  void ClearResults() {
    std::error_code ec;
    fs::remove_all(paths::NativePath(paths::LuckFileDir()), ec);
  }

  TempRoot m_root;
  TTombolixDataModule m_dm;
  std::vector<int> m_ids;
  std::vector<std::string> m_candidates;
};

}  // namespace

TEST_F(Resume, AfterEveryBatchAndWhileRollingTheFilesAreThoseOfAnUninterruptedDraw) {
  TRandom rng;
  rng.Randomize(kSeed);
  std::vector<std::string> expected;
  std::vector<std::string> progress;  // the text after each batch
  std::vector<size_t> winners;        // and the winners drawn by then
  int batches = 0;
  {
    TDrawSession session;
    TDataDraw e(session, rng, kSecret);
    ASSERT_TRUE(SetUpDraw(e));
    EXPECT_EQ(e.Pending().kind, TPendingKind::None);
    while (e.state() != TDataDraw::State::Finished) {
      ASSERT_TRUE(e.BeginBatch());
      e.SelectBatchWinners();
      for (int r = 0; r < kRolls; ++r) e.RollStep();
      e.RevealBatch();
      progress.push_back(e.EndBatch().progressText);
      winners.push_back(e.Session().Winners.size());
      ++batches;
    }
    expected = Files();
  }
  ASSERT_EQ(batches, 5);  // 2+1, 3+1, 2
  EXPECT_NE(expected[1].find(m_candidates[11]), std::string::npos);
  ClearResults();

  for (int cut = 1; cut < batches; ++cut) {
    for (bool killedWhileRolling : {false, true}) {
      SCOPED_TRACE(std::to_string(cut) + (killedWhileRolling ? " rolling" : " between"));
      {
        TRandom first;
        first.Randomize(kSeed);
        TDrawSession session;
        TDataDraw e(session, first, kSecret);
        ASSERT_TRUE(SetUpDraw(e));
        Draw(e, cut);
        if (killedWhileRolling) {  // the next batch picked and rolling, never revealed
          ASSERT_TRUE(e.BeginBatch());
          e.SelectBatchWinners();
          e.RollStep();
        }
      }
      TRandom second;
      second.Randomize(99u);  // a new screen seeds anew; the journal's state wins
      TDrawSession session;
      TDataDraw e(session, second, kSecret);
      ASSERT_TRUE(SetUpDraw(e));
      ASSERT_EQ(e.Pending().kind, TPendingKind::Resumable);
      EXPECT_TRUE(e.Session().Winners.empty());
      EXPECT_EQ(static_cast<size_t>(e.Pending().Winners()), winners[static_cast<size_t>(cut - 1)]);
      TDataDraw::BatchEnd end;
      std::string err;
      ASSERT_TRUE(e.Resume(end, err)) << err;
      EXPECT_EQ(e.Session().Winners.size(), winners[static_cast<size_t>(cut - 1)]);
      EXPECT_EQ(end.progressText, progress[static_cast<size_t>(cut - 1)]);
      EXPECT_EQ(e.state(), TDataDraw::State::BetweenBatches);
      Draw(e, -1);
      ASSERT_EQ(e.state(), TDataDraw::State::Finished);
      EXPECT_EQ(Files(), expected);
      // The finished journal stays beside the winner files; no unfinished one is left.
      EXPECT_FALSE(paths::FileExists(paths::JournalPath(1001)));
      EXPECT_TRUE(paths::FileExists(paths::FinishedJournalPath(1001)));
      ClearResults();
    }
  }
}

TEST_F(Resume, TheRestoredStateIsThatOfTheMomentOfTheCut) {
  TRandom rng;
  rng.Randomize(kSeed);
  std::vector<std::string> listLines;
  int32_t curItem = 0;
  {
    TDrawSession session;
    TDataDraw e(session, rng, kSecret);
    ASSERT_TRUE(SetUpDraw(e));
    Draw(e, 2);  // the first item complete, the second item's presets drawn first
    listLines = e.WinnerList().Lines();
    curItem = e.CurItemIndex();
  }
  TDrawSession session;
  TDataDraw e(session, rng, kSecret);
  ASSERT_TRUE(SetUpDraw(e));
  EXPECT_EQ(e.Pending().Winners(), 3);
  TDataDraw::BatchEnd end;
  std::string err;
  ASSERT_TRUE(e.Resume(end, err));
  EXPECT_EQ(e.WinnerList().Lines(), listLines);
  EXPECT_EQ(e.CurItemIndex(), curItem);
  EXPECT_EQ(curItem, 1);
  EXPECT_EQ(end.progressText, G("[一等奖]已经抽取完毕,请继续抽取[二等奖],还剩2个奖项"));
  EXPECT_EQ(e.LastBatchPlaces(), std::vector<size_t>{2});  // the last batch's one winner
  // The second item's first batch takes its presets: 11, then "nobody" falls back at random.
  e.BeginBatch();
  const TDataDraw::Batch b = e.SelectBatchWinners();
  ASSERT_EQ(b.picks.size(), 3u);
  EXPECT_EQ(b.picks[0], 11);
}

TEST_F(Resume, ADrawFromAnotherDataFileOrOtherItemsIsSetAsideNotResumed) {
  TRandom rng;
  rng.Randomize(kSeed);
  {
    TDrawSession session;
    TDataDraw e(session, rng, kSecret);
    ASSERT_TRUE(SetUpDraw(e));
    Draw(e, 1);
  }
  const std::string journal = ReadAll(paths::NativePath(paths::JournalPath(1001)));
  // One more candidate in the draw data file.
  std::vector<std::string> more = m_candidates;
  more.push_back("13999999999 x");
  std::string err;
  ASSERT_TRUE(WriteDrawDataFile(paths::DrawDataPath(1001), G("号码 姓名"), more,
                                LongestIdLength(more), err));
  TDrawSession session;
  TDataDraw e(session, rng, kSecret);
  ASSERT_TRUE(SetUpDraw(e));
  EXPECT_EQ(e.Pending().kind, TPendingKind::Mismatch);
  TDataDraw::BatchEnd end;
  EXPECT_FALSE(e.Resume(end, err));
  EXPECT_TRUE(e.Session().Winners.empty());
  ASSERT_TRUE(e.SetAsidePending(err)) << err;
  EXPECT_FALSE(paths::FileExists(paths::JournalPath(1001)));
  const std::vector<fs::path> folders = HistoryFolders();
  ASSERT_EQ(folders.size(), 1u);
  EXPECT_EQ(folders[0].filename().string().rfind("1001_", 0), 0u);
  EXPECT_EQ(ReadAll(folders[0] / "JOURNAL_1001.txt"), journal);  // kept whole
  // A new draw starts afresh with its own journal.
  Draw(e, 1);
  TJournal j;
  ASSERT_EQ(ReadJournal(paths::JournalPath(1001), j, err), JournalRead::Ok);
  EXPECT_EQ(j.Batches.size(), 1u);
  EXPECT_TRUE(j.Head.SameDraw(e.JournalHead()));

  // Other prize counts: the journal of this draw does not match either.
  ASSERT_TRUE(
      db::ExecSql(m_dm.ARryPub, "update TaskItem set LuckCount=5 where ItemId=2001", {}, err))
      << err;
  TDrawSession otherSession;
  TDataDraw other(otherSession, rng, kSecret);
  ASSERT_TRUE(SetUpDraw(other));
  EXPECT_EQ(other.Pending().kind, TPendingKind::Mismatch);
}

TEST_F(Resume, ASaveThatFailsKeepsTheOldFilesAndTheJournalSavesOnTheNextOpen) {
  TRandom rng;
  rng.Randomize(kSeed);
  std::vector<std::string> old;
  {
    TDrawSession session;
    TDataDraw e(session, rng, kSecret);
    ASSERT_TRUE(SetUpDraw(e));
    Draw(e, -1);
    old = Files();
  }
  const std::string oldJournal = ReadAll(paths::NativePath(paths::FinishedJournalPath(1001)));
  TDrawSession session;
  TDataDraw e(session, rng, kSecret);
  ASSERT_TRUE(SetUpDraw(e));
  EXPECT_TRUE(HasWinnerFiles(e.Session().Task.TaskId));
  EXPECT_EQ(drawtext::ResultsQuestion(),
            G("该抽奖任务已有中奖结果,重新抽奖后原结果将移至历史记录,是否继续?"));
  Draw(e, 4);
  // The second new winner file cannot be put in place.
  static std::string failing;
  failing = paths::U8(paths::NativePath(paths::WinnerFilePath(1001, m_ids[1])));
  files::SetRenameFault([](const std::string& target) {
    static int calls = 0;
    return target == failing && calls++ == 0 ? EIO : 0;  // putting the old file back works
  });
  Draw(e, 1);
  files::SetRenameFault(nullptr);
  ASSERT_TRUE((e.state() == TDataDraw::State::Finished));
  EXPECT_EQ(Files(), old);
  EXPECT_EQ(ReadAll(paths::NativePath(paths::FinishedJournalPath(1001))), oldJournal);
  EXPECT_TRUE(HistoryFolders().empty());
  // The new winners are all in the journal: the next opening saves them.
  TDrawSession nextSession;
  TDataDraw next(nextSession, rng, kSecret);
  ASSERT_TRUE(SetUpDraw(next));
  // Every batch was drawn: it is finished without a question.
  ASSERT_EQ(next.Pending().kind, TPendingKind::Complete);
  EXPECT_EQ(next.Pending().Winners(), 9);
  TDataDraw::BatchEnd end;
  std::string err;
  ASSERT_TRUE(next.Resume(end, err));
  EXPECT_TRUE(end.finished);
  EXPECT_TRUE(end.saved) << end.saveError;
  const std::vector<fs::path> folders = HistoryFolders();
  ASSERT_EQ(folders.size(), 1u);
  EXPECT_EQ(Names(folders[0]),
            (std::vector<std::string>{"1001_2001.txt", "1001_2002.txt", "1001_2003.txt",
                                      "JOURNAL_1001_DONE.txt"}));
  EXPECT_EQ(ReadAll(folders[0] / "1001_2002.txt"), old[1]);
  EXPECT_EQ(ReadAll(folders[0] / "JOURNAL_1001_DONE.txt"), oldJournal);
}

TEST(ResultsHistory, AMoveThatFailsHalfWayPutsBackWhatItMoved) {
  TempRoot root;
  for (int item : {2001, 2002, 2003})
    WriteAll(paths::NativePath(paths::WinnerFilePath(1001, item)), "old " + std::to_string(item));
  WriteAll(paths::NativePath(paths::WinnerFilePath(1002, 2101)), "other task");
  WriteAll(paths::NativePath(paths::LuckFileDir() + "1001_x.txt"), "not a winner file");
  const std::vector<std::string> files = TaskResultFiles(1001);
  ASSERT_EQ(files.size(), 3u);
  EXPECT_TRUE(HasWinnerFiles(1001));
  EXPECT_FALSE(HasWinnerFiles(1003));
  files::SetRenameFault([](const std::string& target) {
    return target.find("1001_2002.txt") != std::string::npos ? EACCES : 0;
  });
  std::string folder, err;
  EXPECT_FALSE(MoveToHistory(1001, files, folder, err));
  files::SetRenameFault(nullptr);
  EXPECT_NE(err.find(G("无法写入文件")), std::string::npos);
  for (int item : {2001, 2002, 2003})
    EXPECT_EQ(ReadAll(paths::NativePath(paths::WinnerFilePath(1001, item))),
              "old " + std::to_string(item));
  EXPECT_TRUE(HistoryFolders().empty());

  // A deleted task: its winner files, both journals and its check-in file, nothing of
  // other tasks.
  WriteAll(paths::NativePath(paths::JournalPath(1001)), "j");
  WriteAll(paths::NativePath(paths::FinishedJournalPath(1001)), "d");
  WriteAll(paths::NativePath(checkin::CheckinFilePath(1001)), "CHECKIN\t1001\r\n");
  WriteAll(paths::NativePath(checkin::CheckinFilePath(1002)), "CHECKIN\t1002\r\n");
  ASSERT_TRUE(MoveTaskResultsToHistory(1001, err)) << err;
  const std::vector<fs::path> folders = HistoryFolders();
  ASSERT_EQ(folders.size(), 1u);
  EXPECT_EQ(
      Names(folders[0]),
      (std::vector<std::string>{"1001_2001.txt", "1001_2002.txt", "1001_2003.txt",
                                "CHECKIN_1001.txt", "JOURNAL_1001.txt", "JOURNAL_1001_DONE.txt"}));
  EXPECT_EQ(
      Names(root.dir() / "LUCK_FILE"),
      (std::vector<std::string>{"1001_x.txt", "1002_2101.txt", "CHECKIN_1002.txt", "history"}));
  // A second move in the same second gets its own folder.
  WriteAll(paths::NativePath(paths::WinnerFilePath(1001, 2001)), "again");
  ASSERT_TRUE(MoveTaskResultsToHistory(1001, err));
  EXPECT_EQ(HistoryFolders().size(), 2u);
}
