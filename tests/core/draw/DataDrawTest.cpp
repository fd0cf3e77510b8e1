#include <gtest/gtest.h>

#include <optional>
#include <set>

#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/draw/DataDraw.h"
#include "core/draw/DrawTexts.h"
#include "core/draw/StageView.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"

using text::G;

namespace {

std::vector<std::string> Numbered(int n, int digits = 11) {
  std::vector<std::string> out;
  for (int i = 0; i < n; ++i) {
    std::string id = std::to_string(13800000000LL + i * 7919LL);
    id = id.substr(0, static_cast<size_t>(digits));
    out.push_back(id + " " + G("候选人") + std::to_string(i));
  }
  return out;
}

class DataDraw : public ::testing::Test {
 protected:
  // `fixedSecret` makes the draw's seed, and so every pick, the same on every run.
  explicit DataDraw(std::optional<uint32_t> fixedSecret = {})
      : m_engine(m_session, m_rng, fixedSecret) {}
  void SetUp() override { ASSERT_TRUE(m_dm.DataModuleCreate()); }

  // Builds the task and sets the engine up on it.
  std::vector<int> Build(const TaskDef& def, uint32_t seed = 12345) {
    std::vector<int> ids = BuildTask(m_dm, def);
    m_rng.Randomize(seed);
    return ids;
  }
  bool SetUpEngine(int taskId = 1001) { return m_engine.SetUp(taskId, m_failure); }

  // Draws batch after batch to the end, rolling `rolls` ticks in each batch.
  std::vector<TDataDraw::BatchEnd> DrawAll(
      int rolls, std::vector<std::vector<std::string>>* rolled = nullptr) {
    std::vector<TDataDraw::BatchEnd> ends;
    while (m_engine.state() != TDataDraw::State::Finished) {
      TDataDraw::Batch b = m_engine.SelectBatchWinners();
      if (b.wanted == 0) break;
      for (int r = 0; r < rolls; ++r) {
        auto t = m_engine.RollStep();
        if (rolled) rolled->push_back(t);
      }
      m_engine.RevealBatch();
      ends.push_back(m_engine.EndBatch());
    }
    return ends;
  }

  TempRoot m_root;
  TTombolixDataModule m_dm;
  TRandom m_rng;
  TDrawSession m_session;
  TDataDraw m_engine;
  TDrawFailure m_failure;
};

class SeededDataDraw : public DataDraw {
 protected:
  SeededDataDraw() : DataDraw(20240601u) {}
};

}  // namespace

TEST(Random, KnownSeedsGiveKnownNumbers) {
  // Seed 0, five numbers for each bound in turn, the generator running on between them.
  TRandom rng;
  rng.Randomize(0);
  const std::vector<std::pair<int32_t, std::vector<int32_t>>> expected = {
      {1, {0, 0, 0, 0, 0}},
      {2, {1, 0, 0, 0, 0}},
      {10, {0, 4, 0, 8, 0}},
      {1000, {293, 917, 367, 774, 327}},
      {1000000, {697674, 844170, 717982, 306641, 162625}},
      {2147483647, {707588246, 1000771315, 529684673, 1773126601, 599211252}},
  };
  for (const auto& [n, numbers] : expected) {
    std::vector<int32_t> got;
    for (size_t i = 0; i < numbers.size(); ++i) got.push_back(rng.Random(n));
    EXPECT_EQ(got, numbers) << "n = " << n;
  }
  EXPECT_EQ(rng.Seed(), 1198422506u);
  // Seed 1: one step makes the seed 134775814, whose high word times 100 is 3.
  rng.Randomize(1);
  EXPECT_EQ(rng.Random(100), 3);
  EXPECT_EQ(rng.Seed(), 134775814u);
  // Within 0 … n − 1 however far it runs; nothing below 1.
  for (int n : {1, 2, 10, 1000, 1000000, 2147483647}) {
    for (int i = 0; i < 1000; ++i) {
      const int32_t got = rng.Random(n);
      EXPECT_GE(got, 0);
      EXPECT_LT(got, n);
    }
  }
  EXPECT_EQ(rng.Random(0), 0);
  EXPECT_EQ(rng.Random(-5), 0);
}

TEST_F(SeededDataDraw, AKnownSecretDrawsKnownWinnersAndRollsByTheRules) {
  TaskDef def;
  def.items = {{G("一等奖"), 3, 2, ""}, {G("二等奖"), 5, 3, G("手机")}, {G("三等奖"), 4, 4, ""}};
  def.candidates = Numbered(40);
  const std::vector<int> ids = Build(def, 987654321u);
  WritePresets(1001, ids[1], {def.candidates[7], "no such line", def.candidates[7]});
  WritePresets(1001, ids[2], {def.candidates[30]});
  ASSERT_TRUE(SetUpEngine()) << m_failure.text;

  std::vector<std::vector<std::string>> rolled;
  DrawAll(5, &rolled);
  ASSERT_EQ(m_engine.state(), TDataDraw::State::Finished);

  // The secret 20240601 with this list, these presets and items derives the seed
  // 1121657843; the generator runs from it through every pick and roll below.
  EXPECT_EQ(m_engine.DrawSeed(), 1121657843u);
  // Each winner in draw order: the item's place in the task and the candidate's line.
  const std::vector<std::pair<size_t, int>> winners = {
      {0, 0},  {0, 8}, {0, 3},  {1, 7},  {1, 23}, {1, 34},
      {1, 33}, {1, 4}, {2, 30}, {2, 20}, {2, 10}, {2, 21},
  };
  ASSERT_EQ(m_session.Winners.size(), winners.size());
  for (size_t i = 0; i < winners.size(); ++i) {
    const auto& [item, k] = winners[i];
    EXPECT_EQ(m_session.Winners[i].ItemId, ids[item]) << i;
    EXPECT_EQ(m_session.Winners[i].CandidateIndex, k) << i;
    EXPECT_EQ(m_session.Winners[i].CandidateLine, def.candidates[static_cast<size_t>(k)]) << i;
  }
  // Five rolls after each of the five batches, each showing one candidate's id.
  const std::vector<int> rolls = {30, 28, 31, 1,  6,  27, 21, 22, 26, 1,  38, 18, 29,
                                  11, 27, 13, 13, 15, 16, 15, 34, 14, 19, 13, 14};
  ASSERT_EQ(rolled.size(), rolls.size());
  for (size_t i = 0; i < rolled.size(); ++i) {
    std::string joined;
    for (const std::string& b : rolled[i]) joined += b;
    const std::string& line = def.candidates[static_cast<size_t>(rolls[i])];
    EXPECT_EQ(joined, line.substr(0, line.find(' '))) << i;
  }
  // No one won twice.
  std::set<int> once;
  for (const TLuckId& w : m_session.Winners) EXPECT_TRUE(once.insert(w.CandidateIndex).second);
  // The first winner of the second item is its preset; the duplicate entry fell back to a
  // random pick because that candidate had already won.
  EXPECT_EQ(m_session.Winners[3].CandidateIndex, 7);
  EXPECT_EQ(m_session.Winners[8].CandidateIndex, 30);
}

TEST_F(DataDraw, PresetEntriesComeFirstAcrossBatchesAndNeverWinAtRandom) {
  TaskDef def;
  def.items = {{"A", 3, 2, ""}, {"B", 2, 2, ""}};
  def.candidates = Numbered(12);
  const std::vector<int> ids = Build(def);
  WritePresets(1001, ids[0], {def.candidates[9], def.candidates[4], def.candidates[2]});
  WritePresets(1001, ids[1], {def.candidates[0], def.candidates[1], def.candidates[5]});
  for (uint32_t seed = 1; seed <= 30; ++seed) {
    m_rng.Randomize(seed);
    ASSERT_TRUE(SetUpEngine());
    DrawAll(3);
    ASSERT_EQ(m_session.Winners.size(), 5u);
    // Item A: its three presets in file order over two batches of 2 and 1.
    EXPECT_EQ(m_session.Winners[0].CandidateIndex, 9);
    EXPECT_EQ(m_session.Winners[1].CandidateIndex, 4);
    EXPECT_EQ(m_session.Winners[2].CandidateIndex, 2);
    // Item B: its first two presets; 5, preset for B but never reached, never wins.
    EXPECT_EQ(m_session.Winners[3].CandidateIndex, 0);
    EXPECT_EQ(m_session.Winners[4].CandidateIndex, 1);
    for (const TCheatId& e : m_session.Presets) {
      const bool third = e.IdText == def.candidates[5];
      EXPECT_EQ(e.Used, !third);
    }
  }
}

TEST_F(DataDraw, PresetOfAnotherItemIsNeverDrawnAtRandom) {
  TaskDef def;
  def.items = {{"A", 5, 5, ""}, {"B", 1, 1, ""}};
  def.candidates = Numbered(8);
  const std::vector<int> ids = Build(def);
  WritePresets(1001, ids[1], {def.candidates[3]});
  for (uint32_t seed = 1; seed <= 40; ++seed) {
    m_rng.Randomize(seed);
    ASSERT_TRUE(SetUpEngine());
    m_engine.SelectBatchWinners();
    for (const TLuckId& w : m_session.Winners) EXPECT_NE(w.CandidateIndex, 3) << seed;
  }
}

TEST_F(DataDraw, NoRepeatOverAFullDrawOfEveryCandidateUnlessRepeatingIsOn) {
  TaskDef def;
  def.items = {{"A", 30, 7, ""}, {"B", 20, 20, ""}, {"C", 14, 3, ""}};
  def.candidates = Numbered(64);
  Build(def, 424242u);
  ASSERT_TRUE(SetUpEngine());
  DrawAll(2);
  std::set<int32_t> seen;
  for (const TLuckId& w : m_session.Winners) EXPECT_TRUE(seen.insert(w.CandidateIndex).second);
  EXPECT_EQ(seen.size(), 64u);

  // With repeated winning on and three candidates for ten places, repeats must happen.
  TaskDef again;
  again.taskId = 1002;
  again.luckAgain = 1;
  again.items = {{"X", 10, 10, ""}};
  again.candidates = Numbered(3);
  Build(again);
  ASSERT_TRUE(SetUpEngine(1002)) << m_failure.text;
  TDataDraw::Batch b = m_engine.SelectBatchWinners();
  EXPECT_EQ(b.picks.size(), 10u);
  EXPECT_LT(std::set<int32_t>(b.picks.begin(), b.picks.end()).size(), 10u);
}

TEST_F(DataDraw, ExhaustedPoolEndsTheItemWithAMessageAndTheDrawStillSaves) {
  TaskDef def;
  def.items = {{G("一等奖"), 4, 4, ""}, {G("二等奖"), 2, 2, ""}};
  def.candidates = Numbered(6);
  const std::vector<int> ids = Build(def);
  // Three of six lines are preset for the second item: only three can win the first.
  WritePresets(1001, ids[1], {def.candidates[4], def.candidates[5], def.candidates[3]});
  ASSERT_TRUE(SetUpEngine());
  TDataDraw::Batch b = m_engine.SelectBatchWinners();
  EXPECT_EQ(b.wanted, 4);
  EXPECT_EQ(b.picks.size(), 3u);
  EXPECT_EQ(b.exhaustedText, G("[一等奖]可抽取的号码已不足,无法继续抽取"));
  EXPECT_EQ(std::set<int32_t>(b.picks.begin(), b.picks.end()), (std::set<int32_t>{0, 1, 2}));
  m_engine.RevealBatch();
  TDataDraw::BatchEnd e = m_engine.EndBatch();
  EXPECT_FALSE(e.finished);
  EXPECT_EQ(m_engine.CurItemIndex(), 1);
  EXPECT_EQ(e.progressText, G("[一等奖]已经抽取完毕,请继续抽取[二等奖],还剩1个奖项"));
  b = m_engine.SelectBatchWinners();
  EXPECT_EQ(b.picks, (std::vector<int32_t>{4, 5}));
  EXPECT_TRUE(b.exhaustedText.empty());
  m_engine.RevealBatch();
  e = m_engine.EndBatch();
  ASSERT_TRUE(e.finished);
  EXPECT_TRUE(e.saved) << e.saveError;
  const std::string first = ReadAll(paths::NativePath(paths::WinnerFilePath(1001, ids[0])));
  EXPECT_EQ(std::count(first.begin(), first.end(), '\n'), 4);  // title and the three winners
}

TEST_F(DataDraw, ListOfOnlyPresetIdsDoesNotHangWithRepeatedWinningOn) {
  TaskDef def;
  def.luckAgain = 1;
  def.items = {{"A", 5, 5, ""}};
  def.candidates = Numbered(2);
  const std::vector<int> ids = Build(def);
  WritePresets(1001, ids[0], {def.candidates[0], def.candidates[1]});
  ASSERT_TRUE(SetUpEngine());
  TDataDraw::Batch b = m_engine.SelectBatchWinners();
  EXPECT_EQ(b.picks, (std::vector<int32_t>{0, 1}));
  EXPECT_FALSE(b.exhaustedText.empty());
  m_engine.RevealBatch();
  EXPECT_TRUE(m_engine.EndBatch().finished);
}

TEST_F(DataDraw, ItemsThatCanTakeNoWinnerAreRefusedAtSetUp) {
  TaskDef def;
  def.items = {{"A", 2, 1, ""}, {G("特等奖"), 3, 0, ""}};
  def.candidates = Numbered(6);
  Build(def);
  EXPECT_FALSE(SetUpEngine());
  EXPECT_EQ(m_failure.kind, MessageKind::Attention);
  EXPECT_NE(m_failure.text.find(G("[特等奖]")), std::string::npos);
  TaskDef zero = def;
  zero.taskId = 1002;
  zero.items = {{G("空奖"), 0, 1, ""}};
  zero.candidates = Numbered(3);
  Build(zero);
  EXPECT_FALSE(SetUpEngine(1002));
  EXPECT_NE(m_failure.text.find(G("[空奖]")), std::string::npos);
}

TEST_F(DataDraw, SetUpFailuresGiveTheirKindAndText) {
  EXPECT_FALSE(SetUpEngine(0));
  EXPECT_EQ(m_failure.kind, MessageKind::Information);
  EXPECT_EQ(m_failure.text, G("抽奖任务未选择,请重新选择"));
  EXPECT_FALSE(SetUpEngine(4711));
  EXPECT_EQ(m_failure.kind, MessageKind::Error);
  EXPECT_EQ(m_failure.text, G("不存在该抽奖任务,任务号=4711"));
  TaskDef def;
  def.items = {{"A", 1, 1, ""}};
  Build(def);  // no draw data file
  EXPECT_FALSE(SetUpEngine());
  EXPECT_EQ(m_failure.kind, MessageKind::Error);
  EXPECT_EQ(m_failure.text, G("文件不存在，请重新导入文件"));
}

TEST_F(DataDraw, BatchesProgressTextsAndOneSaveAtTheEnd) {
  TaskDef def;
  def.items = {{G("一等奖"), 5, 2, G("电脑")}, {G("二等奖"), 1, 1, ""}};
  def.candidates = Numbered(10);
  def.title = G("号码 姓名");
  const std::vector<int> ids = Build(def);
  ASSERT_TRUE(SetUpEngine());
  EXPECT_EQ(drawtext::Ready(m_engine.Session().Items), G("请点击[开始]抽取一等奖"));
  EXPECT_EQ(stageview::PrizeText(m_engine, 0), G("一等奖奖品:电脑"));
  EXPECT_EQ(stageview::PrizeText(m_engine, 1), "");
  std::vector<int> sizes;
  std::vector<TDataDraw::BatchEnd> ends;
  while (m_engine.state() != TDataDraw::State::Finished) {
    sizes.push_back(m_engine.SelectBatchWinners().wanted);
    m_engine.RevealBatch();
    ends.push_back(m_engine.EndBatch());
  }
  EXPECT_EQ(sizes, (std::vector<int>{2, 2, 1, 1}));
  EXPECT_EQ(ends[0].progressText, G("[一等奖]已经抽取2名, 请继续抽取(还剩3名)"));
  EXPECT_EQ(ends[1].progressText, G("[一等奖]已经抽取4名, 请继续抽取(还剩1名)"));
  EXPECT_EQ(ends[2].progressText, G("[一等奖]已经抽取完毕,请继续抽取[二等奖],还剩1个奖项"));
  EXPECT_TRUE(ends[2].prizeChanged);
  EXPECT_EQ(ends[3].progressText, G("所有奖项已经全部抽取完毕!"));
  EXPECT_TRUE(ends[3].finished && ends[3].saved);
  for (size_t i = 0; i < 3; ++i) EXPECT_FALSE(ends[i].finished);
  // The files hold exactly the winners drawn, in draw order.
  std::string expectA = def.title + "\r\n", expectB = def.title + "\r\n";
  for (const TLuckId& w : m_session.Winners)
    (w.ItemId == ids[0] ? expectA : expectB) += w.CandidateLine + "\r\n";
  EXPECT_EQ(ReadAll(paths::NativePath(paths::WinnerFilePath(1001, ids[0]))), expectA);
  EXPECT_EQ(ReadAll(paths::NativePath(paths::WinnerFilePath(1001, ids[1]))), expectB);
  // Nothing more happens once finished.
  EXPECT_EQ(m_engine.SelectBatchWinners().wanted, 0);
  EXPECT_FALSE(m_engine.EndBatch().finished);
}

TEST_F(DataDraw, NothingIsWrittenBeforeTheLastItemIsComplete) {
  TaskDef def;
  def.items = {{"A", 2, 1, ""}, {"B", 1, 1, ""}};
  def.candidates = Numbered(5);
  const std::vector<int> ids = Build(def);
  ASSERT_TRUE(SetUpEngine());
  for (int i = 0; i < 2; ++i) {
    m_engine.SelectBatchWinners();
    m_engine.RevealBatch();
    EXPECT_FALSE(m_engine.EndBatch().finished);
  }
  EXPECT_FALSE(paths::FileExists(paths::WinnerFilePath(1001, ids[0])));
}

TEST(MaskId, NumericAndChineseIds) {
  EXPECT_EQ(MaskId("13812345678", 4, 7), "138XXXX5678");
  EXPECT_EQ(MaskId(" 13812345678 ", 0, 0), "13812345678");
  EXPECT_EQ(MaskId("12345", 4, 2), "12345");   // begin after end masks nothing
  EXPECT_EQ(MaskId("12345", 4, 99), "123XX");  // past the end
  // A Chinese character is one position and one X.
  EXPECT_EQ(MaskId(G("张三丰"), 3, 4), G("张三") + "X");
  EXPECT_EQ(MaskId(G("武汉分公司"), 4, 7), G("武汉分") + "XX");
  EXPECT_EQ(MaskId(G("北京总部"), 4, 7), G("北京总") + "X");
  EXPECT_EQ(MaskId(G("A座3号"), 2, 3), "AXX" + G("号"));
  // GB18030's four-byte form is one character too (U+20000).
  EXPECT_EQ(MaskId(G("王\U00020000明"), 2, 2), G("王") + "X" + G("明"));
}

TEST(WinnerList, CaptionBeforeEachItemsFirstWinnerAndWidthGrows) {
  TWinnerList list;
  list.Add("138XXXX0001 a", "A");
  list.Add("138XXXX0002 b", "A");
  list.Add(G("139XXXX0003 很长的名字很长的名字很长的名字"), "B");
  EXPECT_EQ(list.Lines(),
            (std::vector<std::string>{"", "", "A:", "138XXXX0001 a", "138XXXX0002 b", "",
                                      "B:", G("139XXXX0003 很长的名字很长的名字很长的名字")}));
  EXPECT_EQ(list.WidestLine(), 42u);  // 12 bytes and 15 characters of two
  TWinnerList narrow;
  narrow.Add("x", "");
  EXPECT_EQ(narrow.Lines(), (std::vector<std::string>{"", "x"}));
  EXPECT_EQ(narrow.WidestLine(), 1u);
}

TEST_F(DataDraw, WinnersListAndRollLabelsAreMaskedTheRevealIsNot) {
  TaskDef def;
  def.hideBegin = 4;
  def.hideEnd = 7;
  def.items = {{"A", 2, 2, ""}};
  def.candidates = {"13812345678 a", "139876543 b", "15000001111 c"};
  Build(def);
  ASSERT_TRUE(SetUpEngine());
  EXPECT_EQ(RollLabelCount(m_session), 11);
  const std::vector<std::string> roll = m_engine.RollTexts("139876543");
  EXPECT_EQ(roll, (std::vector<std::string>{"1", "3", "9", "X", "X", "X", "X", "4", "3", "", ""}));
  TDataDraw::Batch b = m_engine.SelectBatchWinners();
  const std::vector<std::string> reveal = m_engine.RevealBatch();
  ASSERT_EQ(b.picks.size(), 2u);
  std::vector<std::string> ids;
  for (int32_t k : b.picks) ids.push_back(def.candidates[k].substr(0, def.candidates[k].find(' ')));
  EXPECT_EQ(reveal, ids);
  for (const std::string& l : m_engine.WinnerList().Lines()) {
    if (l.size() > 3) {
      EXPECT_EQ(l.substr(3, 4), "XXXX");
    }
  }
  EXPECT_TRUE(m_engine.BatchIds().empty());
}

TEST_F(DataDraw, NonNumericIdsRollInOneLabel) {
  TaskDef def;
  def.idType = 1;
  def.hideBegin = 3;
  def.hideEnd = 4;
  def.items = {{"A", 1, 1, ""}};
  def.candidates = {G("张三丰 研发部")};
  Build(def);
  ASSERT_TRUE(SetUpEngine());
  EXPECT_EQ(RollLabelCount(m_session), 1);
  // Positions 3 and 4 are characters: 丰 is the third, and there is no fourth.
  EXPECT_EQ(m_engine.RollStep(), (std::vector<std::string>{G("张三") + "X"}));
}
