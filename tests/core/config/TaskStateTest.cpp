#include "core/config/TaskState.h"

#include <gtest/gtest.h>

#include <regex>

#include "DrawSetUp.h"
#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/draw/DataDraw.h"
#include "core/records/DrawDataFile.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"

using text::G;

namespace {

// Task 1001 draws 6 winners of one item, 2 a batch, from ten candidates; task 1002 has no
// list; task 1003 draws by probability.
class TaskStates : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dm.DataModuleCreate());
    TaskDef def;
    def.items = {{G("一等奖"), 6, 2, ""}};
    for (int i = 0; i < 10; ++i)
      def.candidates.push_back(std::to_string(13700000000LL + i) + " " + G("人") +
                               std::to_string(i));
    BuildTask(m_dm, def);
    TaskDef empty;
    empty.taskId = 1002;
    empty.items = {{G("二等奖"), 1, 1, ""}};
    BuildTask(m_dm, empty);
    TaskDef prob;
    prob.taskId = 1003;
    prob.orderBy = 1;
    prob.items = {{G("三等奖"), 1, 1, ""}};
    BuildTask(m_dm, prob);
  }

  void Draw(int batches) {
    TRandom rng;
    rng.Randomize(77u);
    TDrawSession session;
    TDataDraw e(session, rng, 4242u);
    ASSERT_TRUE(SetUpDraw(e));
    for (int b = 0; b < batches; ++b) {
      ASSERT_TRUE(e.BeginBatch());
      e.SelectBatchWinners();
      e.RollStep();
      e.RevealBatch();
      e.EndBatch();
    }
  }

  std::vector<config::TTaskState> States() {
    config::TTaskList list;
    std::string error;
    EXPECT_TRUE(list.Load(error)) << error;
    std::vector<config::TTaskState> states;
    EXPECT_TRUE(config::ReadTaskStates(list, states, error)) << error;
    EXPECT_EQ(states.size(), 3u);
    return states;
  }

  TempRoot m_root;
  TTombolixDataModule m_dm;
};

const std::regex kStamp("已抽奖（20[0-9]{2}-[01][0-9]-[0-3][0-9] [0-2][0-9]:[0-5][0-9]，6人）");

}  // namespace

TEST_F(TaskStates, NotImportedImportedAndByProbability) {
  const auto s = States();
  EXPECT_EQ(config::DrawTypeText(s[0]), G("按导入数据抽奖"));
  EXPECT_EQ(config::CandidatesText(s[0]), "10");
  EXPECT_EQ(config::PhaseText(s[0]), G("未抽奖"));
  EXPECT_EQ(s[1].List, config::TListState::Missing);
  EXPECT_EQ(config::CandidatesText(s[1]), G("未导入"));
  EXPECT_EQ(config::PhaseText(s[1]), G("未抽奖"));
  EXPECT_EQ(config::DrawTypeText(s[2]), G("按概率抽奖"));
  EXPECT_EQ(config::CandidatesText(s[2]), G("—"));
  EXPECT_EQ(config::PhaseText(s[2]), G("—"));

  // The count is the head's (100,000 over ten lines): the list is not read for it.
  const std::filesystem::path data = paths::NativePath(paths::DrawDataPath(1001));
  WriteAll(data, "BEGIN\r\nCOUNT=100000\r\nID_MAX_LENGTH=11\r\nid name\r\n1 a\r\nEND\r\n");
  EXPECT_EQ(config::CandidatesText(States()[0]), "100000");
  // A file that is not a draw data file is told apart from a missing one.
  WriteAll(data, "id name\r\n1 a\r\n");
  EXPECT_EQ(config::CandidatesText(States()[0]), G("名单无法读取"));
}

TEST_F(TaskStates, DrawnGivesTheDateAndTheWinnersEvenBeforeItsFilesAreWritten) {
  Draw(3);
  ASSERT_TRUE(paths::FileExists(paths::WinnerFilePath(1001, 2001)));
  const auto s = States();
  EXPECT_EQ(s[0].Phase, config::TTaskPhase::Drawn);
  EXPECT_EQ(s[0].Winners, 6);
  const std::string text = text::GbkToUtf8(config::PhaseText(s[0]));
  EXPECT_TRUE(std::regex_match(text, kStamp)) << text;
  EXPECT_EQ(config::PhaseText(s[1]), G("未抽奖"));
  // The single task's routine answers the same.
  EXPECT_EQ(config::ReadTaskState(1001, TDrawType::FromData, "").Winners, 6);

  // As if killed after the last batch, before the winner files: the journal holds them all.
  ASSERT_TRUE(std::filesystem::remove(paths::NativePath(paths::WinnerFilePath(1001, 2001))));
  std::filesystem::rename(paths::NativePath(paths::FinishedJournalPath(1001)),
                          paths::NativePath(paths::JournalPath(1001)));
  const auto killed = States();
  EXPECT_EQ(killed[0].Phase, config::TTaskPhase::Drawn);
  EXPECT_TRUE(std::regex_match(text::GbkToUtf8(config::PhaseText(killed[0])), kStamp));
}

TEST_F(TaskStates, AWaitingJournalIsResumableOnlyWhenWholeAndForItsOwnList) {
  Draw(2);
  EXPECT_EQ(config::PhaseText(States()[0]), G("未完成，可继续（已抽出4人）"));
  Draw(0);  // set up again, nothing drawn: the journal still waits
  EXPECT_EQ(States()[0].Phase, config::TTaskPhase::Resumable);

  // A byte of a record before the last whole one changed: the journal cannot go on exactly.
  const std::filesystem::path j = paths::NativePath(paths::JournalPath(1001));
  const std::string whole = ReadAll(j);
  std::string bytes = whole;
  const size_t second = bytes.find('\n') + 1;
  const size_t third = bytes.find('\n', second) + 1;
  bytes[third + 2] = bytes[third + 2] == 'X' ? 'Y' : 'X';
  WriteAll(j, bytes);
  TJournal read;
  std::string error;
  ASSERT_EQ(ReadJournal(paths::JournalPath(1001), read, error), JournalRead::Damaged);
  EXPECT_EQ(config::PhaseText(States()[0]), G("未抽奖"));
  WriteAll(j, whole);
  ASSERT_EQ(States()[0].Phase, config::TTaskPhase::Resumable);

  // The list imported again: the journal cannot go on.
  std::vector<std::string> other = {"1 a", "2 b", "3 c", "4 d", "5 e", "6 f"};
  ASSERT_TRUE(WriteDrawDataFile(paths::DrawDataPath(1001), "id name", other, 1, error));
  const auto s = States();
  EXPECT_EQ(s[0].Phase, config::TTaskPhase::NotDrawn);
  EXPECT_EQ(config::CandidatesText(s[0]), "6");
}
