// The data draw screen's rules without a screen: the phases, what each input does in them,
// and what the frames show.
#include <gtest/gtest.h>

#include <optional>

#include "DrawSetUp.h"
#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/checkin/WinnersBoard.h"
#include "core/claims/ClaimDesk.h"
#include "core/db/TombolixDB.h"
#include "core/draw/DataDraw.h"
#include "core/draw/DrawJournal.h"
#include "core/draw/DrawTexts.h"
#include "core/draw/Stage.h"
#include "core/draw/StageState.h"
#include "core/draw/StageText.h"
#include "core/draw/StageView.h"
#include "core/records/NamedAwardFile.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"

using text::G;

namespace {

// The session, the engine, the stage and its clock. Build: ten candidates 13800000000,
// 13800000011, …; BuildTwoItems: 一等奖 2 in one batch, 二等奖 2 in one batch.
class Stage : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_dm.DataModuleCreate()); }

  // The items' ids.
  std::vector<int> Build(std::vector<ItemDef> items, int candidates = 10, std::string remain = {},
                         int showLuck = 0) {
    TaskDef def;
    def.showLuck = showLuck;
    def.items = std::move(items);
    def.title = G("号码 姓名");
    def.remainText = std::move(remain);
    for (int i = 0; i < candidates; ++i)
      def.candidates.push_back(std::to_string(13800000000LL + i * 11) + " " + G("员工") +
                               std::to_string(i));
    return BuildTask(m_dm, def);
  }
  void BuildTwoItems() { Build({{G("一等奖"), 2, 2, ""}, {G("二等奖"), 2, 2, ""}}); }

  void BuildTimed(std::vector<ItemDef> items, int candidates = 10) {
    TaskDef def;
    def.items = std::move(items);
    def.title = G("号码 姓名");
    def.stageKeys = "";  // the program's defaults
    for (int i = 0; i < candidates; ++i)
      def.candidates.push_back(std::to_string(13800000000LL + i * 11) + " " + G("员工") +
                               std::to_string(i));
    BuildTask(m_dm, def);
  }

  // The engine of the built task, seeded with `seed` and set up, and its stage on the
  // fixture's clock.
  void Draw(uint32_t seed = 31u) {
    m_stage.reset();
    m_engine.emplace(m_session, m_rng, seed);
    ASSERT_TRUE(SetUpDraw(*m_engine));
    m_stage.emplace(*m_engine, Clock());
  }
  TDataDraw& E() { return *m_engine; }
  TStage& S() { return *m_stage; }
  // A stage of its own for the engine, as when the screen opens again.
  void NewStage() { m_stage.emplace(*m_engine, Clock()); }
  // The program stops: the stage and the engine go, what they wrote stays on disk.
  void Stop() {
    m_stage.reset();
    m_engine.reset();
  }

  // The clock the test sets: the rules of time (a rest after the screen shows something new,
  // a shortest roll) read it; tasks built with Build keep no time at all.
  TStageClock Clock() {
    return [this] { return m_now; };
  }

  // The opening of a task with no earlier draw: the Ready screen at once.
  static void Open(TStage& s) { ASSERT_EQ(s.Open().step, TStageStep::Opens); }

  // Enter starts, the selection runs, Enter stops the roll, the landing is over.
  static TStageFrame Batch(TStage& s) {
    EXPECT_EQ(s.Enter().step, TStageStep::Starts);
    EXPECT_EQ(s.Time(TStageTimer::Select).step, TStageStep::Rolls);
    EXPECT_EQ(s.Enter().step, TStageStep::Lands);
    return s.Time(TStageTimer::Landing);
  }

  // Starts a batch at `at` and stops its roll once its minimum has passed; the landing is
  // over 900 ms later. The frame of the reveal.
  TStageFrame TimedBatch(TStage& s, int64_t at) {
    m_now = at;
    EXPECT_EQ(s.Enter().step, TStageStep::Starts);
    EXPECT_EQ(s.Time(TStageTimer::Select).step, TStageStep::Rolls);
    m_now += 1500;
    EXPECT_EQ(s.Enter().step, TStageStep::Lands);
    m_now += 900;
    return s.Time(TStageTimer::Landing);
  }

  TempRoot m_root;
  TTombolixDataModule m_dm;
  TRandom m_rng;
  TDrawSession m_session;
  std::optional<TDataDraw> m_engine;
  std::optional<TStage> m_stage;  // declared after the engine: it goes first
  int64_t m_now = 100000;
};

// The rules of time, with the task's own key times.
using StageTime = Stage;

std::string Id(const TLuckId& w) { return std::string(CandidateId(w.CandidateLine)); }

}  // namespace

TEST(StageRules, TheGrandPrizeAndAWinnerDrawnAloneAreCelebrated) {
  EXPECT_TRUE(stageview::Celebrates(1, 0, 3));   // alone, first item
  EXPECT_FALSE(stageview::Celebrates(2, 0, 3));  // a batch of two, not the last item
  EXPECT_FALSE(stageview::Celebrates(5, 1, 3));
  EXPECT_TRUE(stageview::Celebrates(5, 2, 3));   // the last item
  EXPECT_FALSE(stageview::Celebrates(0, 2, 3));  // nobody drawn
}

TEST(StageRules, ACardOfAnIdThatIsNoNumberShowsTheIdAsTheName) {
  const TStageCardText n = stageview::CardOf("13800000000 " + G("张三 销售 北京"), true, 1001);
  EXPECT_EQ(n.id, "13800000000");
  EXPECT_EQ(n.name, G("张三"));
  EXPECT_EQ(n.rest, G("销售 北京"));
  EXPECT_EQ(n.photo, "");  // no stored photo
  const TStageCardText t = stageview::CardOf(G("张三 销售 北京"), false, 1001);
  EXPECT_EQ(t.id, "");
  EXPECT_EQ(t.name, G("张三"));
  EXPECT_EQ(t.rest, G("销售 北京"));
  const TStageCardText two = stageview::CardOf(G("张三 销售"), false, 1001);
  EXPECT_EQ(two.name, G("张三"));
  EXPECT_EQ(two.rest, G("销售"));
  const TStageCardText one = stageview::CardOf(G("张三"), false, 1001);
  EXPECT_EQ(one.name, G("张三"));
  EXPECT_EQ(one.rest, "");
}

TEST(StageRules, AListCaptionEndsInAFullWidthColon) {
  EXPECT_EQ(stageview::ListLine(G("一等奖:")), G("一等奖："));
  EXPECT_EQ(stageview::ListLine("13800000000 " + G("张三")), "13800000000 " + G("张三"));
  EXPECT_EQ(stageview::ListLine("10:30"), "10:30");
  EXPECT_EQ(stageview::ListLine(""), "");
}

TEST_F(Stage, ABatchGoesFromReadyThroughTheLandingToItsCards) {
  BuildTwoItems();
  ASSERT_NO_FATAL_FAILURE(Draw());
  EXPECT_EQ(S().Phase(), TStagePhase::Opening);
  Open(S());
  EXPECT_EQ(S().Phase(), TStagePhase::Ready);
  const TStageFrame start = S().Enter();
  EXPECT_EQ(start.step, TStageStep::Starts);
  EXPECT_EQ(*start.status, StagePunctuation(drawtext::Selecting()));
  EXPECT_EQ(S().Phase(), TStagePhase::Selecting);
  EXPECT_EQ(S().Enter().step, TStageStep::None);  // the winners are being fixed
  EXPECT_EQ(S().Phase(), TStagePhase::Selecting);
  const TStageFrame roll = S().Time(TStageTimer::Select);
  EXPECT_EQ(S().Phase(), TStagePhase::Rolling);
  EXPECT_EQ(*roll.status, StagePunctuation(drawtext::Rolling()));
  ASSERT_TRUE(roll.rollTexts);
  EXPECT_EQ(roll.rollTexts->size(), 11u);  // a label per digit
  // A card click while rolling asks nothing.
  EXPECT_EQ(S().CardClicked(0).step, TStageStep::None);
  const TStageFrame land = S().Enter();
  EXPECT_EQ(land.step, TStageStep::Lands);
  EXPECT_EQ(S().Phase(), TStagePhase::Landing);
  ASSERT_EQ(E().Session().Winners.size(), 2u);
  EXPECT_EQ(*land.rollTexts, E().RollTexts(Id(E().Session().Winners[0])));  // the first winner
  EXPECT_EQ(S().CardClicked(0).step, TStageStep::None);                     // not in sight yet
  const TStageFrame shown = S().Time(TStageTimer::Landing);
  EXPECT_EQ(shown.step, TStageStep::Reveals);
  EXPECT_EQ(S().Phase(), TStagePhase::Revealed);
  ASSERT_TRUE(shown.reveal);
  ASSERT_EQ(shown.reveal->cards.size(), 2u);
  EXPECT_TRUE(shown.reveal->lines.empty());
  EXPECT_EQ(shown.reveal->cards[0].id, Id(E().Session().Winners[0]));
  EXPECT_EQ(shown.reveal->cards[1].id, Id(E().Session().Winners[1]));
  EXPECT_EQ(shown.reveal->cards[1].name.substr(0, 4), G("员工"));
  EXPECT_FALSE(shown.celebrate);  // two of the first of two items
  EXPECT_FALSE(shown.finished);
  // The two 一等奖 winners stand beside their own prize, not the next one's.
  EXPECT_FALSE(shown.prizeChanged);
  EXPECT_EQ(S().PrizeShown(), 0);
  EXPECT_TRUE(shown.messages.empty());
  EXPECT_FALSE(shown.startSummaryTimer);
  EXPECT_EQ(*shown.hint, G("缺席按Q"));
  EXPECT_EQ(*shown.status,
            StagePunctuation(G("[一等奖]已经抽取完毕,请继续抽取[二等奖],还剩1个奖项")));
}

TEST_F(Stage, TheFramesCarryWhoTheSphereShowsOnlyOnceAsked) {
  BuildTwoItems();
  ASSERT_NO_FATAL_FAILURE(Draw());
  const TStageFrame numbers = S().Open();
  EXPECT_FALSE(numbers.sphere);  // a task that rolls numbers pays nothing for it
  S().CarrySphere();
  const TStageFrame start = S().Enter();
  ASSERT_TRUE(start.sphere);
  EXPECT_EQ(start.sphere->Members(), (std::vector<int32_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
  const TStageFrame roll = S().Time(TStageTimer::Select);
  ASSERT_EQ(E().Session().Winners.size(), 2u);
  const std::vector<int32_t> winners{E().Session().Winners[0].CandidateIndex,
                                     E().Session().Winners[1].CandidateIndex};
  EXPECT_EQ(roll.sphereWinners, winners);
  const TStageFrame land = S().Enter();
  EXPECT_EQ(land.sphereWinners, winners);
  const TStageFrame reveal = S().Time(TStageTimer::Landing);
  EXPECT_EQ(reveal.step, TStageStep::Reveals);
  ASSERT_TRUE(reveal.sphere);  // 二等奖 is next: all but the two winners
  EXPECT_EQ(reveal.sphere->Count(), 8u);
  EXPECT_FALSE(reveal.sphere->Contains(winners[0]));
  EXPECT_FALSE(reveal.sphere->Contains(winners[1]));
  const TStageFrame last = Batch(S());
  EXPECT_TRUE(last.finished);
  EXPECT_FALSE(last.sphere);  // the sphere goes with the draw's end
}

TEST_F(Stage, EnterDuringTheLandingShowsTheBatchAndTheLastOneEndsInTheSummary) {
  BuildTwoItems();
  ASSERT_NO_FATAL_FAILURE(Draw());
  Open(S());
  Batch(S());
  S().Enter();
  S().Time(TStageTimer::Select);
  ASSERT_EQ(S().Enter().step, TStageStep::Lands);
  const TStageFrame last = S().Enter();  // during the landing
  EXPECT_EQ(last.step, TStageStep::Reveals);
  EXPECT_FALSE(last.follows);  // the grand prize's moment is seen first
  EXPECT_TRUE(last.finished);
  EXPECT_TRUE(last.reveal->grand);
  EXPECT_FALSE(last.prizeChanged);
  EXPECT_TRUE(last.celebrate);  // the grand prize
  EXPECT_TRUE(last.messages.empty());
  EXPECT_FALSE(last.startSummaryTimer);
  EXPECT_EQ(S().Phase(), TStagePhase::Finished);
  EXPECT_TRUE(S().GrandMoment());
  // The next key tells the end.
  const TStageFrame end = S().Enter();
  EXPECT_EQ(end.step, TStageStep::Ends);
  ASSERT_EQ(end.messages.size(), 1u);
  EXPECT_EQ(end.messages[0].kind, MessageKind::Information);
  EXPECT_EQ(end.messages[0].text, G("所有奖项已经全部抽取完毕"));
  EXPECT_TRUE(end.startSummaryTimer);
  EXPECT_FALSE(S().GrandMoment());
  EXPECT_EQ(S().Phase(), TStagePhase::Finished);
  EXPECT_EQ(S().Enter().step, TStageStep::None);  // nothing is left to draw
  // A landing timer that fires late starts the summary's again, once it is due.
  EXPECT_TRUE(S().Time(TStageTimer::Landing).startSummaryTimer);
  const TStageFrame summary = S().Time(TStageTimer::Summary);
  EXPECT_EQ(summary.step, TStageStep::Summarises);
  EXPECT_TRUE(summary.hintShown);
  EXPECT_EQ(S().Phase(), TStagePhase::Summary);
  EXPECT_FALSE(S().Time(TStageTimer::Landing).startSummaryTimer);
}

TEST_F(Stage, EnterDuringTheLandingOfAnEarlierBatchStartsTheNext) {
  BuildTwoItems();
  ASSERT_NO_FATAL_FAILURE(Draw());
  Open(S());
  S().Enter();
  S().Time(TStageTimer::Select);
  S().Enter();
  const TStageFrame shown = S().Enter();
  ASSERT_EQ(shown.step, TStageStep::Reveals);
  ASSERT_TRUE(shown.follows);
  EXPECT_EQ(S().Follow().step, TStageStep::Starts);
  EXPECT_EQ(S().Phase(), TStagePhase::Selecting);
}

TEST_F(Stage, ACardClickAsksForThatCardsWinnerAndNeverStartsABatch) {
  BuildTwoItems();
  ASSERT_NO_FATAL_FAILURE(Draw());
  Open(S());
  Batch(S());
  const TStageFrame ask = S().CardClicked(1);
  EXPECT_EQ(ask.step, TStageStep::Asks);
  EXPECT_EQ(ask.place, 1u);
  EXPECT_EQ(ask.question, G("[一等奖]中奖者") + E().Session().Winners[1].CandidateLine.substr(12) +
                              G("（") + Id(E().Session().Winners[1]) +
                              G("）暂未到场,是否为该奖项抽取一名替补?"));
  EXPECT_EQ(S().Phase(), TStagePhase::Revealed);
  EXPECT_EQ(E().state(), TDataDraw::State::BetweenBatches);
  EXPECT_EQ(S().CardClicked(2).step, TStageStep::None);  // no third card
  EXPECT_EQ(S().CardClicked(-1).step, TStageStep::None);
  EXPECT_EQ(S().Answer(TStageAnswer::No).step, TStageStep::None);  // No keeps everyone
  EXPECT_TRUE(E().Session().Absences.empty());

  const std::string absent = E().Session().Winners[1].CandidateLine;
  EXPECT_EQ(S().Answer(TStageAnswer::Yes).step, TStageStep::None);  // nothing is asked now
  ASSERT_EQ(S().CardClicked(1).asks, TStageQuestion::Absent);
  const TStageFrame roll = S().Answer(TStageAnswer::Yes);
  EXPECT_EQ(roll.step, TStageStep::Rolls);
  EXPECT_TRUE(roll.replacement);
  EXPECT_TRUE(roll.stopSummaryTimer);
  EXPECT_EQ(S().Phase(), TStagePhase::Replacing);
  EXPECT_EQ(S().CardClicked(0).step, TStageStep::None);
  EXPECT_EQ(S().Enter().step, TStageStep::Lands);
  const TStageFrame shown = S().Time(TStageTimer::Landing);
  EXPECT_TRUE(shown.replacement);
  EXPECT_TRUE(shown.celebrate);  // a replacement is drawn alone
  ASSERT_EQ(shown.reveal->cards.size(), 1u);
  EXPECT_EQ(shown.reveal->cards[0].id, Id(E().Session().Winners[1]));
  EXPECT_NE(E().Session().Winners[1].CandidateLine, absent);
  // The cards show the replacement alone: the card and the number key 1 name it.
  EXPECT_EQ(stageview::RevealedPlaces(E()), std::vector<size_t>{1});
  EXPECT_EQ(S().CardClicked(0).place, 1u);
  EXPECT_EQ(S().CardClicked(1).step, TStageStep::None);  // the question waits
  S().Answer(TStageAnswer::No);
  EXPECT_EQ(S().CardClicked(1).step, TStageStep::None);  // no second card

  // On the finished screen a card still asks; the next batch brings the batch's cards back.
  S().Enter();
  S().Time(TStageTimer::Select);
  S().Enter();
  S().Time(TStageTimer::Landing);
  ASSERT_EQ(S().Phase(), TStagePhase::Finished);
  EXPECT_EQ(stageview::RevealedPlaces(E()), (std::vector<size_t>{2, 3}));
  const TStageFrame again = S().CardClicked(0);
  EXPECT_EQ(again.step, TStageStep::Asks);
  EXPECT_EQ(again.place, 2u);
  EXPECT_EQ(S().Phase(), TStagePhase::Finished);
}

TEST_F(Stage, TheChoiceMovesWithTheArrowsAndTheNumbersChooseInTheBatch) {
  BuildTwoItems();
  ASSERT_NO_FATAL_FAILURE(Draw());
  Open(S());
  EXPECT_FALSE(S().Key(TStageKey::Q).taken);  // nobody to mark yet
  Batch(S());
  Batch(S());  // places 2 and 3: 二等奖
  const TStageFrame open = S().Key(TStageKey::Q);
  EXPECT_EQ(open.step, TStageStep::Chooses);
  EXPECT_EQ(S().Phase(), TStagePhase::Choosing);
  EXPECT_EQ(S().Choice(), 2u);  // the batch's first
  // Where the operator looks: its card, and its line under 二等奖's caption.
  EXPECT_EQ(open.chosenCard, std::optional<size_t>(0));
  EXPECT_EQ(open.chosenLine, std::optional<size_t>(5));
  // The winner by name and id ("员工5（13800000055）"), as the hall may read it.
  const auto person = [this](size_t p) {
    const std::string& line = E().Session().Winners[p].CandidateLine;
    return line.substr(12) + G("（") + line.substr(0, 11) + G("）");
  };
  EXPECT_EQ(*open.status, StagePunctuation(G("标记缺席:[二等奖]") + person(2) +
                                           G("  ↑↓选择,数字键选本批第几名,回车确认,Esc取消")));
  const TStageFrame down = S().Key(TStageKey::Down);
  EXPECT_EQ(S().Choice(), 3u);
  EXPECT_EQ(down.chosenCard, std::optional<size_t>(1));
  EXPECT_EQ(down.chosenLine, std::optional<size_t>(6));
  S().Key(TStageKey::Down);
  EXPECT_EQ(S().Choice(), 3u);  // the last winner
  for (int i = 0; i < 4; ++i) S().Key(TStageKey::Up);
  EXPECT_EQ(S().Choice(), 0u);  // the first winner of all
  const TStageFrame left = S().Key(TStageKey::Left);
  EXPECT_FALSE(left.chosenCard);  // an earlier batch's winner: in the list only
  EXPECT_EQ(left.chosenLine, std::optional<size_t>(1));
  EXPECT_EQ(*left.status, StagePunctuation(G("标记缺席:[一等奖]") + person(0) +
                                           G("  ↑↓选择,数字键选本批第几名,回车确认,Esc取消")));
  EXPECT_FALSE(S().Key(TStageKey::Other).taken);
  // A number past the batch is taken and does nothing.
  const TStageFrame three = S().Key(TStageKey::Digit, 3);
  EXPECT_TRUE(three.taken);
  EXPECT_EQ(three.step, TStageStep::None);
  EXPECT_EQ(S().Phase(), TStagePhase::Choosing);
  // 2: the batch's second, asked at once; the choice is left.
  const TStageFrame two = S().Key(TStageKey::Digit, 2);
  EXPECT_EQ(two.step, TStageStep::Asks);
  EXPECT_EQ(two.place, 3u);
  EXPECT_EQ(*two.status, StagePunctuation(G("所有奖项已经全部抽取完毕!")));
  EXPECT_EQ(S().Phase(), TStagePhase::Finished);
  S().Answer(TStageAnswer::No);
  // Enter in the choice asks for the winner it stands on.
  S().Key(TStageKey::Q);
  S().Key(TStageKey::Down);
  const TStageFrame enter = S().Enter();
  EXPECT_EQ(enter.step, TStageStep::Asks);
  EXPECT_EQ(enter.place, 3u);
  S().Answer(TStageAnswer::No);
  // Esc and Q leave it.
  S().Key(TStageKey::Q);
  const TStageFrame esc = S().Key(TStageKey::Esc);
  EXPECT_TRUE(esc.taken);
  EXPECT_EQ(*esc.status, StagePunctuation(G("所有奖项已经全部抽取完毕!")));
  EXPECT_EQ(S().Phase(), TStagePhase::Finished);
  S().Key(TStageKey::Q);
  EXPECT_EQ(S().Key(TStageKey::Q).step, TStageStep::None);
  EXPECT_EQ(S().Phase(), TStagePhase::Finished);
}

TEST_F(Stage, QDuringTheLandingShowsTheBatchAndOpensTheChoiceOnIt) {
  BuildTwoItems();
  ASSERT_NO_FATAL_FAILURE(Draw());
  Open(S());
  S().Enter();
  S().Time(TStageTimer::Select);
  S().Enter();
  const TStageFrame shown = S().Key(TStageKey::Q);
  EXPECT_EQ(shown.step, TStageStep::Reveals);
  ASSERT_TRUE(shown.follows);
  const TStageFrame open = S().Follow();
  EXPECT_EQ(open.step, TStageStep::Chooses);
  EXPECT_EQ(S().Choice(), 0u);
}

TEST_F(Stage, TheAudienceNumberIsTypedOnTheReadyScreenOnly) {
  BuildTwoItems();
  ASSERT_NO_FATAL_FAILURE(Draw());
  Open(S());
  EXPECT_EQ(stageview::AudienceText(E().AudienceNumber()),
            G("现场号码（可选）：输入数字后按回车开始"));
  EXPECT_EQ(*S().Key(TStageKey::Digit, 4).audience, G("现场号码：4    按回车开始"));
  EXPECT_EQ(*S().Key(TStageKey::Digit, 0).audience, G("现场号码：40    按回车开始"));
  S().Key(TStageKey::Backspace);
  EXPECT_EQ(*S().Key(TStageKey::Backspace).audience, G("现场号码（可选）：输入数字后按回车开始"));
  EXPECT_FALSE(S().Key(TStageKey::Backspace).taken);
  Batch(S());
  EXPECT_FALSE(S().Key(TStageKey::Digit, 4).taken);
  EXPECT_EQ(E().AudienceNumber(), "");
}

TEST_F(Stage, MoreThanSixShowTheirIdsAndNamesAndTheHintKeepsTheTasksText) {
  Build({{G("一等奖"), 8, 8, ""}}, 12, G("请到台前领奖!"));
  ASSERT_NO_FATAL_FAILURE(Draw(5u));
  Open(S());
  EXPECT_EQ(stageview::HintText(E()), G("请到台前领奖！"));
  const TStageFrame shown = Batch(S());
  ASSERT_TRUE(shown.reveal);
  EXPECT_TRUE(shown.reveal->cards.empty());
  ASSERT_EQ(shown.reveal->lines.size(), 8u);
  // "<id>  员工<n>": the id and the name of the 姓名 column.
  for (size_t i = 0; i < 8; ++i) {
    const std::string& line = E().Session().Winners[i].CandidateLine;
    EXPECT_EQ(shown.reveal->lines[i], Id(E().Session().Winners[i]) + "  " + line.substr(12));
  }
  EXPECT_TRUE(shown.celebrate);  // the only item is the grand prize
  EXPECT_EQ(*shown.hint, G("请到台前领奖！    缺席按Q"));
}

TEST_F(Stage, AResumedDrawShowsTheLastBatchAsTheLiveRevealShowedIt) {
  BuildTwoItems();
  TStageReveal live;
  std::string progress;
  {
    ASSERT_NO_FATAL_FAILURE(Draw());
    Open(S());
    const TStageFrame shown = Batch(S());
    live = *shown.reveal;
    progress = *shown.status;
    Stop();
  }  // the program stops here, the journal on disk
  TDrawSession session;
  TDataDraw e(session, m_rng);
  ASSERT_TRUE(SetUpDraw(e));
  ASSERT_EQ(e.Pending().kind, TPendingKind::Resumable);
  TStage s(e);
  ASSERT_EQ(s.Open().asks, TStageQuestion::Resume);
  const TStageFrame resumed = s.Answer(TStageAnswer::Yes);
  EXPECT_EQ(resumed.step, TStageStep::Resumes);
  ASSERT_TRUE(resumed.reveal);
  ASSERT_EQ(live.cards.size(), 2u);
  EXPECT_EQ(*resumed.reveal, live);
  EXPECT_EQ(*resumed.status, progress);
  EXPECT_FALSE(resumed.finished);
  EXPECT_TRUE(resumed.messages.empty());
  EXPECT_EQ(s.Phase(), TStagePhase::Revealed);
  // The resumed cards answer a click as the live ones do.
  EXPECT_EQ(s.CardClicked(1).place, 1u);
}

TEST_F(Stage, AResumedReplacementShowsTheReplacementAloneAsTheLiveRevealShowedIt) {
  BuildTwoItems();
  TStageReveal live;
  {
    ASSERT_NO_FATAL_FAILURE(Draw());
    Open(S());
    Batch(S());
    ASSERT_EQ(S().CardClicked(1).step, TStageStep::Asks);
    ASSERT_EQ(S().Answer(TStageAnswer::Yes).step, TStageStep::Rolls);
    ASSERT_EQ(S().Enter().step, TStageStep::Lands);
    const TStageFrame shown = S().Time(TStageTimer::Landing);
    live = *shown.reveal;
    Stop();
  }  // killed after the replacement, its record last in the journal
  ASSERT_EQ(live.cards.size(), 1u);
  EXPECT_EQ(live.cards[0].id, "13800000055");
  TDrawSession session;
  TDataDraw e(session, m_rng);
  ASSERT_TRUE(SetUpDraw(e));
  ASSERT_EQ(e.Pending().kind, TPendingKind::Resumable);
  TStage s(e);
  ASSERT_EQ(s.Open().asks, TStageQuestion::Resume);
  const TStageFrame resumed = s.Answer(TStageAnswer::Yes);
  ASSERT_TRUE(resumed.reveal);
  ASSERT_EQ(resumed.reveal->cards.size(), 1u);
  EXPECT_EQ(resumed.reveal->cards[0].id, "13800000055");
  EXPECT_EQ(*resumed.reveal, live);
  EXPECT_EQ(s.Phase(), TStagePhase::Revealed);
  // The keys and clicks stand for the one card, as live.
  EXPECT_EQ(stageview::RevealedPlaces(e), std::vector<size_t>{1});
  EXPECT_EQ(s.CardClicked(1).step, TStageStep::None);  // no second card
  EXPECT_EQ(s.CardClicked(0).place, 1u);
  s.Answer(TStageAnswer::No);
  // The next batch brings the batch's cards back.
  Batch(s);
  EXPECT_EQ(stageview::RevealedPlaces(e), (std::vector<size_t>{2, 3}));
}

TEST_F(Stage, TheSummaryListsTheAbsentAfterTheWinnersOrOnlyCountsWhenTheListIsHidden) {
  BuildTwoItems();
  ASSERT_NO_FATAL_FAILURE(Draw());
  Open(S());
  Batch(S());
  const std::string absent = E().Session().Winners[0].CandidateLine;
  ASSERT_EQ(S().CardClicked(0).step, TStageStep::Asks);
  ASSERT_EQ(S().Answer(TStageAnswer::Yes).step, TStageStep::Rolls);
  S().Enter();
  S().Time(TStageTimer::Landing);
  const std::vector<TItemSummary> items = stageview::SummaryItems(E());
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].caption, G("一等奖 2名"));
  EXPECT_EQ(items[0].winners, (std::vector<std::string>{E().Session().Winners[0].CandidateLine,
                                                        E().Session().Winners[1].CandidateLine,
                                                        absent + " " + G("缺席")}));
  EXPECT_TRUE(items[0].absent.empty());
  EXPECT_EQ(items[1].caption, G("二等奖 0名"));
  EXPECT_TRUE(items[1].winners.empty());
}

TEST_F(Stage, AHiddenWinnersListLeavesTheSummaryItsCountsOnly) {
  Build({{G("一等奖"), 2, 2, G("电视(大)")}}, 10, {}, 1);
  ASSERT_NO_FATAL_FAILURE(Draw());
  Open(S());
  Batch(S());
  const std::vector<TItemSummary> items = stageview::SummaryItems(E());
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].caption, G("一等奖 电视（大） 2名"));
  EXPECT_TRUE(items[0].winners.empty());
}

TEST_F(Stage, TheBandBeforeABatchNamesTheItemItsCountAndItsGift) {
  Build({{G("一等奖"), 1, 1, G("笔记本电脑")}, {G("二等奖"), 3, 3, ""}});
  ASSERT_NO_FATAL_FAILURE(Draw());
  EXPECT_EQ(stageview::NextItemTexts(E(), 0).item, G("一等奖"));
  EXPECT_EQ(stageview::NextItemTexts(E(), 0).gift, G("共1名　奖品：笔记本电脑"));
  EXPECT_EQ(stageview::NextItemTexts(E(), 1).gift, G("共3名"));
  EXPECT_EQ(stageview::NextItemTexts(E(), 2).item, "");
  EXPECT_EQ(stageview::NextItemTexts(E(), -1).gift, "");
}

TEST_F(Stage, TheOperatorsColumnsShapeTheCardsTheListAndTheSummary) {
  TaskDef def;
  def.hideBegin = 4;
  def.hideEnd = 7;
  def.items = {{G("一等奖"), 1, 1, ""}};
  def.title = G("号码 部门 姓名 手机");
  def.candidates = {"13800000000 " + G("销售 张三 ") + "13912345678"};
  BuildTask(m_dm, def);
  std::string err;
  ASSERT_TRUE(db::ExecSql(m_dm.ARryPub, "update LuckTask set StageColumns='SHSM'", {}, err)) << err;
  ASSERT_NO_FATAL_FAILURE(Draw(3u));
  Open(S());
  const TStageFrame shown = Batch(S());
  ASSERT_TRUE(shown.reveal);
  ASSERT_EQ(shown.reveal->cards.size(), 1u);
  // The name by its title, 部门 left out, 手机 masked; the id whole on its card.
  EXPECT_EQ(shown.reveal->cards[0].id, "13800000000");
  EXPECT_EQ(shown.reveal->cards[0].name, G("张三"));
  EXPECT_EQ(shown.reveal->cards[0].rest, "139XXXX5678");
  ASSERT_FALSE(E().WinnerList().Lines().empty());
  EXPECT_EQ(E().WinnerList().Lines().back(), "138XXXX0000 " + G("张三 ") + "139XXXX5678");
  // The winner file keeps the whole line.
  EXPECT_EQ(E().Session().Winners[0].CandidateLine, def.candidates[0]);
  ASSERT_EQ(stageview::SummaryItems(E()).size(), 1u);
  EXPECT_EQ(stageview::SummaryItems(E())[0].winners,
            (std::vector<std::string>{E().WinnerList().Lines().back()}));
}

TEST_F(Stage, TheOpeningAsksAboutAnEarlierDrawAndAboutTheResultsBeforeTheReadyScreen) {
  BuildTwoItems();
  {
    ASSERT_NO_FATAL_FAILURE(Draw());
    Open(S());
    Batch(S());
    Stop();
  }  // the program stops with two winners in the journal
  const auto reopen = [&](TDrawSession& session, TDataDraw& e, TStage& s) {
    (void)session;
    EXPECT_TRUE(SetUpDraw(e));
    const TStageFrame ask = s.Open();
    EXPECT_EQ(ask.step, TStageStep::Asks);
    EXPECT_EQ(ask.asks, TStageQuestion::Resume);
    EXPECT_EQ(ask.question, G("上次抽奖尚未完成(已抽出2人),是否继续上次的抽奖?"));
    EXPECT_EQ(ask.preferred, TStageAnswer::Yes);
    EXPECT_EQ(ask.escape, TStageAnswer::Closed);  // Esc decides nothing
    EXPECT_EQ(s.Phase(), TStagePhase::Opening);
    EXPECT_EQ(s.Asking(), TStageQuestion::Resume);
  };
  {
    // Closed: nothing is decided, the screen goes and the draw stays resumable.
    TDrawSession session;
    TDataDraw e(session, m_rng);
    TStage s(e);
    reopen(session, e, s);
    EXPECT_EQ(s.Enter().step, TStageStep::None);  // the question keeps the keys
    EXPECT_EQ(s.Leave().step, TStageStep::None);
    EXPECT_EQ(s.Answer(TStageAnswer::Closed).step, TStageStep::Closes);
    EXPECT_EQ(s.Phase(), TStagePhase::Closed);
    EXPECT_EQ(s.Enter().step, TStageStep::None);
  }
  {
    // No: the earlier draw goes to the history and the Ready screen stands.
    TDrawSession session;
    TDataDraw e(session, m_rng);
    TStage s(e);
    reopen(session, e, s);
    const TStageFrame ready = s.Answer(TStageAnswer::No);
    EXPECT_EQ(ready.step, TStageStep::Opens);
    EXPECT_EQ(*ready.status, StagePunctuation(G("请点击[开始]抽取一等奖")));
    EXPECT_EQ(ready.proof->rfind(G("抽奖凭证  名单 ") + e.JournalHead().DataHash.substr(0, 12), 0),
              0u);
    EXPECT_EQ(*ready.audience, G("现场号码（可选）：输入数字后按回车开始"));
    EXPECT_TRUE(ready.prizeChanged);
    EXPECT_EQ(ready.prizeItem, 0);
    EXPECT_EQ(s.Phase(), TStagePhase::Ready);
    EXPECT_TRUE(e.Session().Winners.empty());
    // The draw is done to its end: the task has winner files.
    while (s.Phase() != TStagePhase::Finished) Batch(s);
  }
  TDrawSession session;
  TDataDraw e(session, m_rng);
  ASSERT_TRUE(SetUpDraw(e));
  TStage s(e);
  const TStageFrame again = s.Open();
  EXPECT_EQ(again.asks, TStageQuestion::Results);
  EXPECT_EQ(again.question, G("该抽奖任务已有中奖结果,重新抽奖后原结果将移至历史记录,是否继续?"));
  EXPECT_EQ(again.preferred, TStageAnswer::No);  // a habitual Enter keeps the results
  EXPECT_EQ(s.Answer(TStageAnswer::No).step, TStageStep::Closes);
  TStage yes(e);
  ASSERT_EQ(yes.Open().asks, TStageQuestion::Results);
  EXPECT_EQ(yes.Answer(TStageAnswer::Yes).step, TStageStep::Opens);
  EXPECT_EQ(yes.Phase(), TStagePhase::Ready);
}

TEST_F(Stage, LeavingAsksOnlyWithWinnersRevealedAndWaitsWhileABatchRuns) {
  BuildTwoItems();
  ASSERT_NO_FATAL_FAILURE(Draw());
  Open(S());
  EXPECT_TRUE(S().MayClose());
  EXPECT_EQ(S().Leave().step, TStageStep::Closes);  // nothing drawn: no question
  NewStage();                                       // the screen opened again on the same draw
  Open(S());
  EXPECT_TRUE(S().ShowsWinnersList());
  S().Enter();
  EXPECT_EQ(S().Leave().step, TStageStep::None);  // selecting
  EXPECT_FALSE(S().ShowsWinnersList());
  S().Time(TStageTimer::Select);
  EXPECT_TRUE(S().Busy());
  EXPECT_EQ(S().Leave().step, TStageStep::None);  // rolling
  S().Enter();
  S().Time(TStageTimer::Landing);
  EXPECT_FALSE(S().MayClose());
  const TStageFrame ask = S().Leave();
  EXPECT_EQ(ask.asks, TStageQuestion::Leave);
  // It says what becomes of the draw: kept, and resumable.
  EXPECT_EQ(ask.question, G("奖项未全部抽取完毕。已抽出的中奖者都已记录，下次打开本任务时可以继续抽"
                            "奖。是否现在退出？"));
  EXPECT_EQ(ask.preferred, TStageAnswer::No);
  EXPECT_EQ(ask.escape, TStageAnswer::No);
  EXPECT_EQ(S().Enter().step, TStageStep::None);  // the question keeps the keys
  EXPECT_EQ(S().Answer(TStageAnswer::No).step, TStageStep::None);
  EXPECT_EQ(S().Phase(), TStagePhase::Revealed);
  EXPECT_EQ(S().Enter().step, TStageStep::Starts);  // the draw goes on
  S().Time(TStageTimer::Select);
  S().Enter();
  S().Time(TStageTimer::Landing);
  ASSERT_EQ(S().Phase(), TStagePhase::Finished);
  EXPECT_TRUE(S().MayClose());  // the winner files are written
  EXPECT_EQ(S().Leave().step, TStageStep::Closes);
  EXPECT_EQ(S().Phase(), TStagePhase::Closed);
}

TEST_F(Stage, AReplacementRollsUntilEnterUnderItsOwnItemAndItsCardIsSeenBeforeTheNextBatch) {
  BuildTwoItems();
  ASSERT_NO_FATAL_FAILURE(Draw());
  Open(S());
  Batch(S());  // 一等奖 complete: 二等奖 is next
  ASSERT_EQ(S().CardClicked(1).step, TStageStep::Asks);
  const TStageFrame roll = S().Answer(TStageAnswer::Yes);
  ASSERT_EQ(roll.step, TStageStep::Rolls);
  EXPECT_EQ(*roll.status, StagePunctuation(G("[一等奖] 替补")));
  EXPECT_TRUE(roll.prizeChanged);
  EXPECT_EQ(roll.prizeItem, 0);  // the replacement's item, not the next one
  // Nothing but Enter stops it: not the timers, not the start button.
  EXPECT_EQ(S().Time(TStageTimer::Landing).step, TStageStep::None);
  EXPECT_TRUE(S().Time(TStageTimer::Roll).rollTexts);
  EXPECT_EQ(S().Start().step, TStageStep::None);
  EXPECT_EQ(S().Phase(), TStagePhase::Replacing);
  EXPECT_EQ(S().Enter().step, TStageStep::Lands);
  // The habitual Enter during its landing shows the card and starts nothing.
  const TStageFrame shown = S().Enter();
  EXPECT_EQ(shown.step, TStageStep::Reveals);
  EXPECT_TRUE(shown.replacement);
  EXPECT_FALSE(shown.follows);
  // The replacement stands beside the prize it won; its card says it replaces.
  EXPECT_FALSE(shown.prizeChanged);
  EXPECT_EQ(S().PrizeShown(), 0);
  ASSERT_EQ(shown.reveal->cards.size(), 1u);
  EXPECT_EQ(shown.reveal->cards[0].rest, G("替补"));
  EXPECT_EQ(S().Phase(), TStagePhase::Revealed);
  EXPECT_EQ(S().Follow().step, TStageStep::None);
  // The next key, with the card in sight, starts the next batch, under the next prize.
  const TStageFrame next = S().Enter();
  EXPECT_EQ(next.step, TStageStep::Starts);
  EXPECT_TRUE(next.prizeChanged);
  EXPECT_EQ(next.prizeItem, 1);
  EXPECT_EQ(next.prize, StagePunctuation(stageview::PrizeText(E(), 1)));
}

namespace {
struct Watcher : TStageObserver {
  void Revealed(const TRevealedList& list) override { told.push_back(list); }
  std::vector<TRevealedList> told;
};
}  // namespace

TEST_F(Stage, EveryRevealIsToldToTheObserversWithTheListAsTheHallSawIt) {
  BuildTwoItems();
  ASSERT_NO_FATAL_FAILURE(Draw());
  Watcher w;
  TSessionWatch watch(m_session, &w);
  Open(S());
  S().Enter();
  S().Time(TStageTimer::Select);
  S().Enter();
  EXPECT_TRUE(w.told.empty());  // rolling and landing: nobody is revealed yet
  const TStageFrame shown = S().Time(TStageTimer::Landing);
  // The window has not shown the cards yet: the phones wait for the projector.
  EXPECT_TRUE(w.told.empty());
  EXPECT_TRUE(S().State().cards.empty());  // the host's page waits as well
  S().InSight();
  ASSERT_EQ(w.told.size(), 1u);
  S().InSight();  // told once
  ASSERT_EQ(w.told.size(), 1u);
  ASSERT_TRUE(shown.list);
  EXPECT_EQ(*shown.list, w.told[0]);
  const TRevealedList& first = w.told[0];
  EXPECT_EQ(first.taskId, 1001);
  ASSERT_EQ(first.lines.size(), 3u);  // from the first caption on
  EXPECT_EQ(first.lines[0], (TRevealedLine{G("一等奖:"), true, -1, "", ""}));
  for (int32_t p = 0; p < 2; ++p) {
    const TLuckId& winner = E().Session().Winners[static_cast<size_t>(p)];
    EXPECT_EQ(first.lines[static_cast<size_t>(p) + 1],
              (TRevealedLine{winner.CandidateLine, false, p, Id(winner), G("一等奖"), winner.ItemId,
                             winner.CandidateLine}));
  }
  // A line of the list asks for its winner.
  EXPECT_EQ(S().ListLineClicked(2).place, 1u);
  ASSERT_EQ(S().Answer(TStageAnswer::No).step, TStageStep::None);
  EXPECT_EQ(S().ListLineClicked(0).step, TStageStep::None);  // a caption

  // A replacement: the absent winner stays, marked, above the one who took the place.
  const std::string absent = E().Session().Winners[0].CandidateLine;
  ASSERT_EQ(S().CardClicked(0).step, TStageStep::Asks);
  S().Answer(TStageAnswer::Yes);
  S().Enter();
  EXPECT_EQ(w.told.size(), 1u);
  S().Time(TStageTimer::Landing);
  EXPECT_EQ(w.told.size(), 1u);
  S().InSight();
  ASSERT_EQ(w.told.size(), 2u);
  const TRevealedList& second = w.told[1];
  ASSERT_EQ(second.lines.size(), 4u);
  EXPECT_EQ(second.lines[1], (TRevealedLine{absent + " " + G("缺席"), false, -1, "", ""}));
  EXPECT_EQ(second.lines[2].place, 0);
  EXPECT_EQ(second.lines[2].id, Id(E().Session().Winners[0]));
  EXPECT_EQ(S().RevealedList(), second);
  // The phones' board: the absent winner won nothing.
  const checkin::TWinnersBoard board = checkin::BoardOf(second);
  EXPECT_EQ(board.Lines.size(), 4u);
  EXPECT_TRUE(board.Lines[0].Caption);
  EXPECT_EQ(board.WonBy.size(), 2u);
  EXPECT_EQ(board.WonBy.at(Id(E().Session().Winners[0])), G("一等奖"));
  EXPECT_EQ(board.WonBy.count(std::string(CandidateId(absent))), 0u);
}

TEST_F(Stage, TheJournalHoldsTheBatchAtTheLandingAndThePhonesHearItOnceItIsInSight) {
  BuildTwoItems();
  ASSERT_NO_FATAL_FAILURE(Draw());
  Watcher w;
  TSessionWatch watch(m_session, &w);
  Open(S());
  S().Enter();
  S().Time(TStageTimer::Select);
  ASSERT_EQ(S().Enter().step, TStageStep::Lands);
  // Nothing revealed is lost: the batch is on disk before anything of it shows.
  TJournal j;
  std::string error;
  ASSERT_EQ(ReadJournal(paths::JournalPath(1001), j, error), JournalRead::Ok) << error;
  EXPECT_EQ(j.WinnerCount(), 2);
  // The reveal's frame: the host's page still sees no card, the phones no line.
  S().Time(TStageTimer::Landing);
  EXPECT_TRUE(w.told.empty());
  EXPECT_TRUE(S().State().cards.empty());
  S().InSight();
  ASSERT_EQ(w.told.size(), 1u);
  ASSERT_EQ(S().State().cards.size(), 2u);
  EXPECT_EQ(S().State().cards[0].id, Id(E().Session().Winners[0]));
  // A window that never reports the reveal: the next key tells it before anything moves on.
  S().Enter();
  S().Time(TStageTimer::Select);
  S().Enter();
  S().Time(TStageTimer::Landing);
  EXPECT_EQ(w.told.size(), 1u);
  S().Leave();
  ASSERT_EQ(w.told.size(), 2u);
  EXPECT_EQ(w.told[1].lines.size(), 7u);  // both items' captions, winners and the blank line
}

TEST_F(Stage, ALandingTimerWhileARollIsBusyChangesNothing) {
  BuildTwoItems();
  ASSERT_NO_FATAL_FAILURE(Draw());
  Watcher w;
  TSessionWatch watch(m_session, &w);
  Open(S());
  ASSERT_EQ(S().Enter().step, TStageStep::Starts);
  // While the winners are fixed, and while they roll.
  for (TStagePhase busy : {TStagePhase::Selecting, TStagePhase::Rolling}) {
    if (busy == TStagePhase::Rolling)
      ASSERT_EQ(S().Time(TStageTimer::Select).step, TStageStep::Rolls);
    const TStageFrame late = S().Time(TStageTimer::Landing);
    EXPECT_EQ(late.step, TStageStep::None);
    EXPECT_FALSE(late.taken);
    EXPECT_FALSE(late.hideRoll);
    EXPECT_FALSE(late.reveal);
    EXPECT_FALSE(late.list);
    EXPECT_FALSE(late.startSummaryTimer);
    EXPECT_EQ(S().Phase(), busy);
    EXPECT_TRUE(S().Busy());
  }
  EXPECT_EQ(E().state(), TDataDraw::State::Rolling);
  EXPECT_TRUE(w.told.empty());
  EXPECT_TRUE(S().RevealedList().lines.empty());
  // The roll still lands by its own stop key, once.
  EXPECT_EQ(S().Enter().step, TStageStep::Lands);
  EXPECT_EQ(S().Time(TStageTimer::Landing).step, TStageStep::Reveals);
  // And a replacement's roll the same way.
  ASSERT_EQ(S().CardClicked(0).step, TStageStep::Asks);
  ASSERT_EQ(S().Answer(TStageAnswer::Yes).step, TStageStep::Rolls);
  const size_t winners = E().Session().Winners.size();
  const TStageFrame late = S().Time(TStageTimer::Landing);
  EXPECT_EQ(late.step, TStageStep::None);
  EXPECT_FALSE(late.hideRoll);
  EXPECT_EQ(S().Phase(), TStagePhase::Replacing);
  EXPECT_EQ(E().Session().Winners.size(), winners);
  EXPECT_EQ(S().Enter().step, TStageStep::Lands);
}

TEST_F(Stage, TheAbsentQuestionNamesThePersonWithTheMaskedIdAndTheReplacementsCardSaysSo) {
  TaskDef def;
  def.hideBegin = 4;
  def.hideEnd = 7;
  def.title = G("手机 姓名 部门");
  def.items = {{G("五等奖"), 1, 1, ""}};
  def.candidates = {G("13812345678 张三 销售"), G("13987654321 李四 财务")};
  BuildTask(m_dm, def);
  ASSERT_NO_FATAL_FAILURE(Draw());
  Open(S());
  Batch(S());
  ASSERT_EQ(E().Session().Winners.size(), 1u);
  const bool first = Id(E().Session().Winners[0]) == "13812345678";
  const std::string person = first ? G("张三（138XXXX5678）") : G("李四（139XXXX4321）");
  EXPECT_EQ(stageview::PersonText(E(), 0), person);
  const TStageFrame choice = S().Key(TStageKey::Q);
  EXPECT_EQ(*choice.status, StagePunctuation(G("标记缺席:[五等奖]") + person +
                                             G("  ↑↓选择,数字键选本批第几名,回车确认,Esc取消")));
  const TStageFrame ask = S().Enter();
  ASSERT_EQ(ask.asks, TStageQuestion::Absent);
  EXPECT_EQ(ask.question, G("[五等奖]中奖者") + person + G("暂未到场,是否为该奖项抽取一名替补?"));
  ASSERT_EQ(S().Answer(TStageAnswer::Yes).step, TStageStep::Rolls);
  ASSERT_EQ(S().Enter().step, TStageStep::Lands);
  const TStageFrame shown = S().Time(TStageTimer::Landing);
  ASSERT_EQ(shown.reveal->cards.size(), 1u);
  const TStageCardText& card = shown.reveal->cards[0];
  EXPECT_EQ(card.name, first ? G("李四") : G("张三"));
  EXPECT_EQ(card.rest, first ? G("替补 财务") : G("替补 销售"));
  S().InSight();
  // The host's page shows the same card.
  ASSERT_EQ(S().State().cards.size(), 1u);
  EXPECT_EQ(S().State().cards[0].rest, card.rest);
}

TEST_F(Stage, AnObserverThatStopsWatchingHearsNoMore) {
  BuildTwoItems();
  ASSERT_NO_FATAL_FAILURE(Draw());
  Watcher w;
  Open(S());
  {
    TSessionWatch watch(m_session, &w);
    Batch(S());
    S().InSight();
  }
  Batch(S());
  EXPECT_EQ(w.told.size(), 1u);
  EXPECT_TRUE(m_session.Watchers().empty());
}

TEST(StageKeyTimes, TheStoredTextGivesTheSpansOrTheDefaults) {
  EXPECT_EQ(ParseStageKeys(""), (TStageKeys{1000, 1500}));
  EXPECT_EQ(ParseStageKeys("0 0"), (TStageKeys{0, 0}));
  EXPECT_EQ(ParseStageKeys(" 800  2000 "), (TStageKeys{800, 2000}));
  for (const char* bad : {"800", "800 x", "-1 0", "0 10001", "1 2 3", "1.5 2"})
    EXPECT_EQ(ParseStageKeys(bad), TStageKeys{}) << bad;
  EXPECT_EQ(FormatStageKeys(TStageKeys{}), "");
  EXPECT_EQ(FormatStageKeys({0, 0}), "0 0");
  EXPECT_EQ(ParseStageKeys(FormatStageKeys({250, 3000})), (TStageKeys{250, 3000}));
}

TEST_F(StageTime, AStartKeyWithinASecondOfTheScreenShowingSomethingNewIsIgnored) {
  BuildTimed({{G("一等奖"), 2, 1, ""}, {G("二等奖"), 2, 2, ""}});
  ASSERT_NO_FATAL_FAILURE(Draw());
  ASSERT_EQ(E().Keys(), TStageKeys{});
  const int64_t opened = m_now;
  Open(S());
  // The Ready screen has just come up: the key that opened it, fired twice, starts nothing.
  m_now = opened + 999;
  EXPECT_EQ(S().Enter().step, TStageStep::None);
  EXPECT_EQ(S().Start().step, TStageStep::None);  // 开始, or a phone: the same input
  EXPECT_EQ(S().Phase(), TStagePhase::Ready);
  const TStageFrame first = TimedBatch(S(), opened + 1000);
  ASSERT_EQ(first.step, TStageStep::Reveals);
  const int64_t revealed = m_now;
  m_now = revealed + 50;  // the clicker's second press
  EXPECT_EQ(S().Enter().step, TStageStep::None);
  m_now = revealed + 999;
  EXPECT_EQ(S().Start().step, TStageStep::None);
  EXPECT_EQ(S().Phase(), TStagePhase::Revealed);
  EXPECT_EQ(E().Session().Winners.size(), 1u);
  m_now = revealed + 1000;
  EXPECT_EQ(S().Enter().step, TStageStep::Starts);
}

TEST_F(StageTime, AStopKeyBeforeTheMinimumRollIsIgnoredAndTheRollRunsOn) {
  BuildTimed({{G("一等奖"), 2, 1, ""}, {G("二等奖"), 2, 2, ""}});
  ASSERT_NO_FATAL_FAILURE(Draw());
  Open(S());
  m_now += 5000;
  ASSERT_EQ(S().Enter().step, TStageStep::Starts);
  m_now += 20;  // the window selects on its next turn
  ASSERT_EQ(S().Time(TStageTimer::Select).step, TStageStep::Rolls);
  const int64_t rolled = m_now;
  // Six quick presses: the start's own second press and a few more, none lands the roll.
  for (int64_t at : {50, 120, 300, 800, 1499}) {
    m_now = rolled + at;
    EXPECT_EQ(S().Enter().step, TStageStep::None) << at;
    EXPECT_EQ(S().Phase(), TStagePhase::Rolling) << at;
    EXPECT_TRUE(S().Time(TStageTimer::Roll).rollTexts) << at;  // it rolls on
  }
  EXPECT_EQ(E().state(), TDataDraw::State::Rolling);
  m_now = rolled + 1500;
  EXPECT_EQ(S().Enter().step, TStageStep::Lands);
  EXPECT_EQ(S().Phase(), TStagePhase::Landing);
}

TEST_F(StageTime, AClickerThatFiresTwiceOnTheStopShowsTheBatchAndStartsNothing) {
  BuildTimed({{G("一等奖"), 2, 1, ""}, {G("二等奖"), 2, 2, ""}});
  ASSERT_NO_FATAL_FAILURE(Draw());
  Open(S());
  m_now += 5000;
  S().Enter();
  S().Time(TStageTimer::Select);
  m_now += 2000;
  ASSERT_EQ(S().Enter().step, TStageStep::Lands);
  m_now += 50;
  // The second press during the landing shows the batch at once; what it would go on to is
  // a start key within the rest after that reveal.
  const TStageFrame shown = S().Enter();
  EXPECT_EQ(shown.step, TStageStep::Reveals);
  ASSERT_TRUE(shown.follows);
  EXPECT_EQ(S().Follow().step, TStageStep::None);
  EXPECT_EQ(S().Phase(), TStagePhase::Revealed);
  // A landing timer that fires after it changes nothing.
  EXPECT_EQ(S().Time(TStageTimer::Landing).step, TStageStep::None);
  m_now += 1000;
  EXPECT_EQ(S().Enter().step, TStageStep::Starts);
}

TEST_F(StageTime, AReplacementRollsItsMinimumAndNoStartKeyCountsUntilItsCardIsSeen) {
  BuildTimed({{G("一等奖"), 2, 2, ""}, {G("二等奖"), 2, 2, ""}});
  ASSERT_NO_FATAL_FAILURE(Draw());
  Open(S());
  TimedBatch(S(), m_now + 1000);
  m_now += 3000;
  ASSERT_EQ(S().CardClicked(1).asks, TStageQuestion::Absent);
  ASSERT_EQ(S().Answer(TStageAnswer::Yes).step, TStageStep::Rolls);
  const int64_t rolled = m_now;
  // While it rolls, at any time, no start key starts a batch; a stop key waits for the
  // minimum like any roll's.
  for (int64_t at : {50, 800, 1499}) {
    m_now = rolled + at;
    EXPECT_EQ(S().Start().step, TStageStep::None) << at;
    EXPECT_EQ(S().Enter().step, TStageStep::None) << at;
    EXPECT_EQ(S().Phase(), TStagePhase::Replacing) << at;
  }
  m_now = rolled + 4000;
  EXPECT_EQ(S().Start().step, TStageStep::None);
  EXPECT_EQ(S().Time(TStageTimer::Landing).step, TStageStep::None);  // no timer stops it either
  ASSERT_EQ(S().Enter().step, TStageStep::Lands);
  // During its landing a start key (Enter, or 开始 from any source) shows the card, and only
  // that.
  m_now += 50;
  const TStageFrame shown = S().Start();
  EXPECT_EQ(shown.step, TStageStep::Reveals);
  EXPECT_TRUE(shown.replacement);
  EXPECT_FALSE(shown.follows);
  EXPECT_EQ(S().Phase(), TStagePhase::Revealed);
  // The card is in sight: the rest after a reveal holds for it as for any.
  const int64_t revealed = m_now;
  m_now = revealed + 999;
  EXPECT_EQ(S().Enter().step, TStageStep::None);
  EXPECT_EQ(E().Session().Winners.size(), 2u);
  m_now = revealed + 1000;
  EXPECT_EQ(S().Enter().step, TStageStep::Starts);
}

TEST_F(StageTime, TheGrandPrizeStandsAloneUntilTheNextKeyAndOnlyThenTheEndAndTheSummary) {
  BuildTimed({{G("一等奖"), 2, 2, ""}, {G("特等奖"), 1, 1, ""}});
  ASSERT_NO_FATAL_FAILURE(Draw());
  Open(S());
  const TStageFrame first = TimedBatch(S(), m_now + 1000);
  EXPECT_FALSE(first.reveal->grand);
  EXPECT_FALSE(S().GrandMoment());
  const TStageFrame last = TimedBatch(S(), m_now + 1000);
  ASSERT_EQ(last.step, TStageStep::Reveals);
  ASSERT_TRUE(last.reveal);
  EXPECT_TRUE(last.reveal->grand);
  EXPECT_TRUE(last.finished);
  EXPECT_TRUE(last.celebrate);
  // Nothing over it: no end message, no summary on its way.
  EXPECT_TRUE(last.messages.empty());
  EXPECT_FALSE(last.startSummaryTimer);
  EXPECT_TRUE(S().GrandMoment());
  EXPECT_EQ(S().Phase(), TStagePhase::Finished);
  EXPECT_FALSE(
      S().Time(TStageTimer::Landing).startSummaryTimer);  // a late landing timer brings no summary
  const int64_t revealed = m_now;
  // Too soon: the clicker's second press, Enter, 开始 or Esc, ends nothing.
  m_now = revealed + 60;
  EXPECT_EQ(S().Enter().step, TStageStep::None);
  EXPECT_EQ(S().Start().step, TStageStep::None);
  const TStageFrame esc = S().Key(TStageKey::Esc);
  EXPECT_TRUE(esc.taken);  // taken: Esc does not leave the screen either
  EXPECT_EQ(esc.step, TStageStep::None);
  EXPECT_TRUE(S().GrandMoment());
  // Q chooses on the grand prize's card; the moment stays.
  m_now = revealed + 2000;
  const TStageFrame q = S().Key(TStageKey::Q);
  EXPECT_EQ(q.step, TStageStep::Chooses);
  EXPECT_EQ(q.chosenCard, std::optional<size_t>(0));
  EXPECT_TRUE(S().GrandMoment());
  EXPECT_EQ(S().Key(TStageKey::Esc).step, TStageStep::None);  // leaves the choice
  EXPECT_TRUE(S().GrandMoment());
  EXPECT_EQ(S().Phase(), TStagePhase::Finished);
  EXPECT_EQ(stageview::SummaryItems(E()).size(), 2u);
  // The next key: the end of the draw, and the summary's timer after it.
  const TStageFrame end = S().Enter();
  EXPECT_EQ(end.step, TStageStep::Ends);
  EXPECT_TRUE(end.taken);
  ASSERT_EQ(end.messages.size(), 1u);
  EXPECT_EQ(end.messages[0].text, drawtext::FinishMessage());
  EXPECT_TRUE(end.startSummaryTimer);
  EXPECT_EQ(*end.status, StagePunctuation(G("所有奖项已经全部抽取完毕!")));
  EXPECT_FALSE(S().GrandMoment());
  EXPECT_EQ(S().Enter().step, TStageStep::None);  // told once
  EXPECT_EQ(S().Time(TStageTimer::Summary).step, TStageStep::Summarises);
}

TEST_F(StageTime, EscEndsTheGrandPrizesMomentAndAReplacementTakesItOver) {
  BuildTimed({{G("特等奖"), 1, 1, ""}});
  {
    ASSERT_NO_FATAL_FAILURE(Draw());
    Open(S());
    ASSERT_TRUE(TimedBatch(S(), m_now + 1000).reveal->grand);
    m_now += 1000;
    const TStageFrame end = S().Key(TStageKey::Esc);
    EXPECT_EQ(end.step, TStageStep::Ends);
    EXPECT_EQ(end.messages.size(), 1u);
    EXPECT_FALSE(S().GrandMoment());
    S().Shut();
    Stop();
  }
  // The grand prize's winner is absent: the replacement's roll takes the screen, and the end
  // is told at the replacement's reveal.
  TDrawSession session;
  TDataDraw e(session, m_rng, 32u);
  ASSERT_TRUE(SetUpDraw(e));
  TStage s(e, Clock());
  ASSERT_EQ(s.Open().asks, TStageQuestion::Results);
  ASSERT_EQ(s.Answer(TStageAnswer::Yes).step, TStageStep::Opens);
  ASSERT_TRUE(TimedBatch(s, m_now + 1000).reveal->grand);
  ASSERT_EQ(s.CardClicked(0).asks, TStageQuestion::Absent);
  EXPECT_TRUE(s.GrandMoment());  // the question stands over it
  EXPECT_EQ(s.Answer(TStageAnswer::No).step, TStageStep::None);
  EXPECT_TRUE(s.GrandMoment());
  ASSERT_EQ(s.CardClicked(0).asks, TStageQuestion::Absent);
  const TStageFrame roll = s.Answer(TStageAnswer::Yes);
  ASSERT_EQ(roll.step, TStageStep::Rolls);
  EXPECT_FALSE(s.GrandMoment());
  m_now += 1500;
  ASSERT_EQ(s.Enter().step, TStageStep::Lands);
  const TStageFrame shown = s.Time(TStageTimer::Landing);
  EXPECT_TRUE(shown.replacement);
  EXPECT_FALSE(shown.reveal->grand);
  ASSERT_EQ(shown.messages.size(), 1u);
  EXPECT_EQ(shown.messages[0].text, drawtext::FinishMessage());
  EXPECT_TRUE(shown.startSummaryTimer);
}

TEST_F(StageTime, ABatchTooLargeForCardsEndsAtOnceAndMarksTheChosenLine) {
  BuildTimed({{G("一等奖"), 8, 8, ""}}, 12);
  ASSERT_NO_FATAL_FAILURE(Draw(5u));
  Open(S());
  const TStageFrame shown = TimedBatch(S(), m_now + 1000);
  EXPECT_FALSE(shown.reveal->grand);  // lines, not cards: told at once as before
  ASSERT_EQ(shown.messages.size(), 1u);
  EXPECT_TRUE(shown.startSummaryTimer);
  EXPECT_FALSE(S().GrandMoment());
  const TStageFrame q = S().Key(TStageKey::Q);
  EXPECT_FALSE(q.chosenCard);
  EXPECT_EQ(q.chosenRow, std::optional<size_t>(0));
  EXPECT_EQ(S().Key(TStageKey::Down).chosenRow, std::optional<size_t>(1));
}

namespace {
// Keeps every state the stage tells.
struct StateWatcher : TStageObserver {
  void Revealed(const TRevealedList&) override {}
  void Moved(const TStageState& s) override { moved.push_back(s); }
  std::vector<TStageState> moved;
};
}  // namespace

TEST_F(Stage, TheObserversHearTheStateAfterEveryInputOnceAndNotAtARollsTick) {
  BuildTwoItems();
  ASSERT_NO_FATAL_FAILURE(Draw());
  StateWatcher w;
  TSessionWatch watch(m_session, &w);
  Open(S());
  ASSERT_EQ(w.moved.size(), 1u);
  EXPECT_TRUE(w.moved[0].open);
  EXPECT_EQ(w.moved[0].phase, TStagePhase::Ready);
  EXPECT_EQ(w.moved[0].left, 2);
  // 开始 from the remote goes through Start: one input, told once.
  ASSERT_EQ(S().Press(TStageInput::Start).step, TStageStep::Starts);
  ASSERT_EQ(w.moved.size(), 2u);
  EXPECT_EQ(w.moved[1].phase, TStagePhase::Selecting);
  S().Time(TStageTimer::Select);
  ASSERT_EQ(w.moved.size(), 3u);
  EXPECT_EQ(w.moved[2].phase, TStagePhase::Rolling);
  EXPECT_TRUE(S().Time(TStageTimer::Roll).rollTexts);
  EXPECT_EQ(w.moved.size(), 3u);  // a tick shows nothing new to a remote
  S().Enter();
  ASSERT_EQ(w.moved.size(), 4u);
  EXPECT_EQ(w.moved[3].phase, TStagePhase::Landing);
  S().Time(TStageTimer::Landing);
  ASSERT_EQ(w.moved.size(), 5u);
  EXPECT_EQ(w.moved[4].phase, TStagePhase::Revealed);
  EXPECT_TRUE(w.moved[4].cards.empty());  // not on the projector yet
  S().InSight();
  ASSERT_EQ(w.moved.size(), 6u);
  EXPECT_EQ(w.moved[5].cards.size(), 2u);
  EXPECT_TRUE(w.moved[5].mayMarkAbsent);
  S().Shut();
  ASSERT_EQ(w.moved.size(), 7u);
  EXPECT_FALSE(w.moved[6].open);
}

TEST_F(Stage, AMessageStaysInSightUntilItIsAcknowledgedAndOnlyOkAnswersIt) {
  BuildTwoItems();
  ASSERT_NO_FATAL_FAILURE(Draw());
  StateWatcher w;
  TSessionWatch watch(m_session, &w);
  Open(S());
  EXPECT_FALSE(S().Message());
  Batch(S());
  ASSERT_TRUE(Batch(S()).reveal->grand);
  S().InSight();
  ASSERT_EQ(S().Enter().step, TStageStep::Ends);
  ASSERT_TRUE(S().Message());
  EXPECT_EQ(S().Message()->kind, MessageKind::Information);
  EXPECT_EQ(S().Message()->text, G("所有奖项已经全部抽取完毕"));
  EXPECT_EQ(S().State().prompt, G("所有奖项已经全部抽取完毕"));
  EXPECT_FALSE(S().State().promptAsks);
  // While it is in sight the remote's other buttons count for nothing.
  EXPECT_TRUE(S().Allowed(TStageInput::Ok));
  EXPECT_FALSE(S().Allowed(TStageInput::Leave));
  EXPECT_FALSE(S().Allowed(TStageInput::MarkAbsent));
  const TStageFrame leave = S().Press(TStageInput::Leave);
  EXPECT_FALSE(leave.taken);
  EXPECT_EQ(leave.step, TStageStep::None);
  EXPECT_EQ(S().Phase(), TStagePhase::Finished);
  // 确定 goes to the screen's prompt, which acknowledges it here as its own keys do.
  const TStageFrame ok = S().Press(TStageInput::Ok);
  EXPECT_EQ(ok.reply, std::optional<TStageAnswer>(TStageAnswer::Yes));
  EXPECT_TRUE(S().Message());
  const size_t told = w.moved.size();
  S().Acknowledge();
  EXPECT_FALSE(S().Message());
  ASSERT_EQ(w.moved.size(), told + 1);
  EXPECT_EQ(w.moved.back().prompt, "");
  EXPECT_TRUE(S().Allowed(TStageInput::Leave));
  EXPECT_TRUE(S().Allowed(TStageInput::MarkAbsent));
  EXPECT_FALSE(S().Allowed(TStageInput::Start));  // nothing is left to draw
  S().Acknowledge();                              // nothing in sight: nothing changes
  EXPECT_FALSE(S().Message());
}

TEST_F(Stage, ARemoteIsRefusedWhatThePhaseDoesNotAllowAndAnswersAQuestionThroughThePrompt) {
  BuildTwoItems();
  ASSERT_NO_FATAL_FAILURE(Draw());
  EXPECT_FALSE(S().Allowed(TStageInput::Start));  // the opening has not stood the screen
  Open(S());
  for (TStageInput refused :
       {TStageInput::Stop, TStageInput::MarkAbsent, TStageInput::Choose, TStageInput::CancelChoice,
        TStageInput::Yes, TStageInput::No, TStageInput::Ok}) {
    const TStageFrame f = S().Press(refused);
    EXPECT_FALSE(f.taken);
    EXPECT_FALSE(f.reply);
    EXPECT_EQ(S().Phase(), TStagePhase::Ready);
  }
  Batch(S());
  S().InSight();
  ASSERT_EQ(S().Press(TStageInput::MarkAbsent).step, TStageStep::Chooses);
  EXPECT_FALSE(S().Press(TStageInput::Start).taken);  // a choice is open
  const TStageFrame asks = S().Press(TStageInput::Choose, 1);
  ASSERT_EQ(asks.asks, TStageQuestion::Absent);
  const std::string person = stageview::PersonText(E(), 1);
  EXPECT_EQ(S().State().prompt,
            G("[一等奖]中奖者") + person + G("暂未到场，是否为该奖项抽取一名替补？"));
  EXPECT_TRUE(S().State().promptAsks);
  EXPECT_EQ(S().State().asking, TStageQuestion::Absent);
  EXPECT_FALSE(S().Press(TStageInput::Leave).taken);
  EXPECT_FALSE(S().Press(TStageInput::Ok).taken);
  // 否: the prompt takes it, and its answer comes back as Answer.
  EXPECT_EQ(S().Press(TStageInput::No).reply, std::optional<TStageAnswer>(TStageAnswer::No));
  EXPECT_EQ(S().Asking(), TStageQuestion::Absent);
  EXPECT_EQ(S().Answer(TStageAnswer::No).step, TStageStep::None);
  EXPECT_EQ(S().State().prompt, "");
  EXPECT_TRUE(S().Allowed(TStageInput::Start));
}

TEST_F(Stage, TheFramesCarryTheirTextsFinished) {
  Build({{G("一等奖"), 1, 1, G("电脑")}, {G("特等奖"), 1, 1, G("汽车")}});
  ASSERT_NO_FATAL_FAILURE(Draw());
  const TStageFrame ready = S().Open();
  ASSERT_TRUE(ready.band);
  EXPECT_EQ(ready.band->item, G("一等奖"));
  EXPECT_EQ(ready.band->gift, G("共1名　奖品：电脑"));
  EXPECT_EQ(ready.prize, G("一等奖奖品：电脑"));
  EXPECT_EQ(*ready.hint, "");
  const TStageFrame first = Batch(S());
  EXPECT_EQ(*first.status, G("[一等奖]已经抽取完毕，请继续抽取[特等奖]，还剩1个奖项"));
  ASSERT_EQ(first.listLines.size(), 2u);
  EXPECT_EQ(first.listLines[0], G("一等奖："));
  EXPECT_EQ(first.listLines[1], E().Session().Winners[0].CandidateLine);
  EXPECT_EQ(first.listWidest, E().Session().Winners[0].CandidateLine.size());
  EXPECT_FALSE(first.reveal->grand);
  EXPECT_EQ(first.reveal->grandItem, "");
  S().Enter();
  S().Time(TStageTimer::Select);
  const TStageFrame land = S().Enter();
  ASSERT_EQ(land.step, TStageStep::Lands);
  // The grand prize's screen is drawn while the roll rests: it comes with the landing.
  EXPECT_TRUE(land.reveal->grand);
  EXPECT_EQ(land.reveal->grandItem, G("特等奖"));
  EXPECT_EQ(land.reveal->grandGift, G("奖品：汽车"));
  S().Time(TStageTimer::Landing);
  S().Enter();
  const TStageFrame summary = S().Time(TStageTimer::Summary);
  ASSERT_EQ(summary.summary.size(), 2u);
  EXPECT_EQ(summary.summary[0].caption, G("一等奖 电脑 1名"));
  EXPECT_EQ(summary.summary[1].winners,
            std::vector<std::string>{E().Session().Winners[1].CandidateLine});
}

TEST_F(Stage, ThePhaseIsWhereTheDrawsDataStandWhoeverMovedThem) {
  BuildTwoItems();
  ASSERT_NO_FATAL_FAILURE(Draw());
  Open(S());
  EXPECT_EQ(S().Phase(), TStagePhase::Ready);
  // The engine moves without the stage: the stage keeps no copy that could lag behind.
  ASSERT_TRUE(E().BeginBatch());
  EXPECT_EQ(S().Phase(), TStagePhase::Selecting);
  EXPECT_TRUE(S().Busy());
  EXPECT_EQ(E().SelectBatchWinners().picks.size(), 2u);
  EXPECT_EQ(S().Phase(), TStagePhase::Rolling);
  EXPECT_EQ(S().Press(TStageInput::Leave).step, TStageStep::None);  // 结束 waits for the roll
  E().RevealBatch();
  E().EndBatch();
  EXPECT_EQ(S().Phase(), TStagePhase::Revealed);
  EXPECT_EQ(E().state(), TDataDraw::State::BetweenBatches);
  EXPECT_FALSE(S().Busy());
  // A replacement's roll is the engine's too, and the summary makes way for it.
  Batch(S());
  S().InSight();
  EXPECT_EQ(S().Phase(), TStagePhase::Finished);
  S().Enter();  // the grand prize's moment gives way to the end
  ASSERT_EQ(S().Time(TStageTimer::Summary).step, TStageStep::Summarises);
  EXPECT_EQ(S().Phase(), TStagePhase::Summary);
  ASSERT_EQ(S().CardClicked(0).asks, TStageQuestion::Absent);
  ASSERT_EQ(S().Answer(TStageAnswer::Yes).step, TStageStep::Rolls);
  EXPECT_EQ(S().Phase(), TStagePhase::Replacing);
  EXPECT_EQ(E().state(), TDataDraw::State::Rolling);
  ASSERT_EQ(S().Enter().step, TStageStep::Lands);
  EXPECT_EQ(S().Phase(), TStagePhase::Landing);
  S().Time(TStageTimer::Landing);
  EXPECT_EQ(S().Phase(), TStagePhase::Finished);
  EXPECT_EQ(E().state(), TDataDraw::State::Finished);
}

TEST_F(Stage, AnItemAddedLiveIsOnTheBandAndDrawnNext) {
  BuildTwoItems();
  ASSERT_NO_FATAL_FAILURE(Draw());
  Open(S());
  Batch(S());
  TPlanChange add;
  add.item = {G("特别奖"), 3, 3, G("手机")};
  const TStageFrame f = S().Change(add);
  ASSERT_EQ(f.step, TStageStep::Changes);
  ASSERT_TRUE(f.band);
  EXPECT_EQ(f.band->item, G("临时加奖：特别奖 3名"));
  EXPECT_EQ(f.band->gift, G("接下来：特别奖　共3名　奖品：手机"));
  EXPECT_EQ(*f.status, G("[特别奖]已经抽取0名，请继续抽取（还剩3名）"));
  EXPECT_TRUE(f.prizeChanged);
  EXPECT_EQ(f.prizeItem, 1);
  EXPECT_EQ(f.prize, G("特别奖奖品：手机"));
  EXPECT_TRUE(f.messages.empty());
  EXPECT_EQ(S().Phase(), TStagePhase::Revealed);
  // The next batch is the added item's: three winners on its cards.
  const TStageFrame r = Batch(S());
  ASSERT_EQ(r.step, TStageStep::Reveals);
  EXPECT_EQ(r.reveal->cards.size(), 3u);
  ASSERT_EQ(E().Session().Winners.size(), 5u);
  EXPECT_EQ(ItemNameOf(E().Session().Items, E().Session().Winners[4].ItemId), G("特别奖"));
  EXPECT_EQ(E().Session().Items[2].ItemName, G("二等奖"));
  EXPECT_EQ(E().Session().Items[2].DrawnCount, 0);
}

TEST_F(Stage, AnItemAddedOnTheSummaryTakesTheFinishedDrawUpAgain) {
  BuildTwoItems();
  ASSERT_NO_FATAL_FAILURE(Draw());
  Open(S());
  Batch(S());
  Batch(S());
  ASSERT_EQ(S().Enter().step, TStageStep::Ends);  // the grand prize's moment is over
  ASSERT_EQ(S().Time(TStageTimer::Summary).step, TStageStep::Summarises);
  TPlanChange add;
  add.item = {G("加码奖"), 2, 1, ""};
  const TStageFrame f = S().Change(add);
  ASSERT_EQ(f.step, TStageStep::Changes);
  EXPECT_FALSE(f.finished);
  EXPECT_TRUE(f.stopSummaryTimer);
  EXPECT_EQ(f.band->item, G("临时加奖：加码奖 2名"));
  EXPECT_EQ(f.band->gift, G("接下来：加码奖　共2名"));
  EXPECT_EQ(S().Phase(), TStagePhase::Revealed);
  EXPECT_TRUE(S().State().mayChange);
  // Two batches of one, the second ending the draw again.
  EXPECT_EQ(Batch(S()).reveal->cards.size(), 1u);
  const TStageFrame last = Batch(S());
  EXPECT_TRUE(last.finished);
  EXPECT_EQ(E().Session().Winners.size(), 6u);
}

TEST_F(Stage, ACountChangedLiveIsOnTheBandAndACountDownToTheDrawnEndsTheDraw) {
  Build({{G("一等奖"), 2, 2, ""}, {G("二等奖"), 4, 2, ""}});
  ASSERT_NO_FATAL_FAILURE(Draw());
  Open(S());
  Batch(S());
  TPlanChange count;
  count.kind = TPlanChangeKind::ChangeCount;
  count.itemId = E().Session().Items[1].ItemId;
  count.count = 6;
  TStageFrame f = S().Change(count);
  ASSERT_EQ(f.step, TStageStep::Changes);
  EXPECT_EQ(f.band->item, G("改名额：二等奖 6名"));
  EXPECT_EQ(f.band->gift, G("接下来：二等奖　共6名"));
  EXPECT_EQ(E().Session().Items[1].LuckCount, 6);
  // Two of 二等奖 drawn: never below them, refused with the reason, nothing changes.
  Batch(S());
  count.count = 1;
  f = S().Change(count);
  EXPECT_EQ(f.step, TStageStep::None);
  ASSERT_EQ(f.messages.size(), 1u);
  EXPECT_EQ(f.messages[0].text, G("[二等奖]已经抽出2名,名额不能少于2名"));
  EXPECT_EQ(E().Session().Items[1].LuckCount, 6);
  S().Acknowledge();
  // Down to the two drawn: the draw is finished and said so.
  count.count = 2;
  f = S().Change(count);
  ASSERT_EQ(f.step, TStageStep::Changes);
  EXPECT_TRUE(f.finished);
  EXPECT_EQ(f.band->item, G("改名额：二等奖 2名"));
  EXPECT_EQ(f.band->gift, "");
  ASSERT_EQ(f.messages.size(), 1u);
  EXPECT_EQ(f.messages[0].text, G("所有奖项已经全部抽取完毕"));
  EXPECT_TRUE(f.startSummaryTimer);
  EXPECT_EQ(S().Phase(), TStagePhase::Finished);
}

TEST_F(Stage, AnItemChosenNextIsOnTheBandAndDrawnNext) {
  Build({{G("一等奖"), 1, 1, ""}, {G("二等奖"), 2, 2, ""}, {G("三等奖"), 3, 3, G("水杯")}});
  ASSERT_NO_FATAL_FAILURE(Draw());
  Open(S());
  Batch(S());
  TPlanChange next;
  next.kind = TPlanChangeKind::ChooseNext;
  next.itemId = E().Session().Items[2].ItemId;
  const TStageFrame f = S().Change(next);
  ASSERT_EQ(f.step, TStageStep::Changes);
  EXPECT_EQ(f.band->item, G("下一个奖项：三等奖"));
  EXPECT_EQ(f.band->gift, G("接下来：三等奖　共3名　奖品：水杯"));
  EXPECT_EQ(f.prize, G("三等奖奖品：水杯"));
  const TStageFrame r = Batch(S());
  EXPECT_EQ(r.reveal->cards.size(), 3u);
  EXPECT_EQ(ItemNameOf(E().Session().Items, E().Session().Winners[1].ItemId), G("三等奖"));
}

TEST_F(Stage, AVoidWithoutRedrawLeavesThePlaceEmptyOnTheCardsAndTheList) {
  BuildTwoItems();
  ASSERT_NO_FATAL_FAILURE(Draw());
  Open(S());
  Batch(S());
  const std::string kept = Id(E().Session().Winners[1]);
  const std::string voided = Id(E().Session().Winners[0]);
  TVoidRequest v{TVoidScope::Winner, 0, G("误抽"), "2026-12-10 20:15:00", false};
  const TStageFrame f = S().Change(v);
  ASSERT_EQ(f.step, TStageStep::Reveals);
  ASSERT_EQ(f.reveal->cards.size(), 1u);
  EXPECT_EQ(f.reveal->cards[0].id, kept);
  // The status line names the voided winner as the hall may read them, and why.
  const std::string n = std::to_string((std::stoll(voided) - 13800000000LL) / 11);
  EXPECT_EQ(*f.status, G("作废：一等奖 员工") + n + G("（") + voided + G("） （误抽），名额空缺"));
  ASSERT_TRUE(f.list);
  size_t winnersListed = 0;
  for (const TRevealedLine& l : f.list->lines) winnersListed += l.place >= 0 ? 1 : 0;
  EXPECT_EQ(winnersListed, 1u);
  ASSERT_EQ(E().Voids().size(), 1u);
  EXPECT_EQ(E().Voids()[0].Reason, G("误抽"));
  EXPECT_EQ(S().Phase(), TStagePhase::Revealed);
}

TEST_F(Stage, AVoidOverTheGrandPrizesMomentEndsItAndTellsTheEnd) {
  BuildTwoItems();
  ASSERT_NO_FATAL_FAILURE(Draw());
  Open(S());
  Batch(S());
  Batch(S());
  ASSERT_TRUE(S().GrandMoment());
  const TStageFrame f =
      S().Change(TVoidRequest{TVoidScope::Winner, 3, G("本人放弃"), "2026-12-10 20:15:00", false});
  ASSERT_EQ(f.step, TStageStep::Reveals);
  EXPECT_FALSE(S().GrandMoment());
  EXPECT_TRUE(f.finished);
  EXPECT_EQ(f.reveal->cards.size(), 1u);
  ASSERT_EQ(f.messages.size(), 1u);
  EXPECT_EQ(f.messages[0].text, G("所有奖项已经全部抽取完毕"));
  EXPECT_TRUE(f.startSummaryTimer);
  EXPECT_EQ(S().Time(TStageTimer::Summary).step, TStageStep::Summarises);
}

TEST_F(Stage, AVoidWithRedrawRollsAReplacementForThePlace) {
  BuildTwoItems();
  ASSERT_NO_FATAL_FAILURE(Draw());
  Open(S());
  Batch(S());
  const std::string voided = Id(E().Session().Winners[1]);
  TVoidRequest v{TVoidScope::Winner, 1, G("不符合资格"), "2026-12-10 20:15:00", true};
  TStageFrame f = S().Change(v);
  ASSERT_EQ(f.step, TStageStep::Rolls);
  EXPECT_TRUE(f.replacement);
  EXPECT_EQ(*f.status, G("[一等奖] 替补"));
  EXPECT_EQ(S().Phase(), TStagePhase::Replacing);
  EXPECT_EQ(S().Enter().step, TStageStep::Lands);
  f = S().Time(TStageTimer::Landing);
  ASSERT_EQ(f.step, TStageStep::Reveals);
  ASSERT_EQ(f.reveal->cards.size(), 1u);
  EXPECT_EQ(f.reveal->cards[0].rest.substr(0, 4), G("替补"));
  EXPECT_NE(Id(E().Session().Winners[1]), voided);
  EXPECT_EQ(f.reveal->cards[0].id, Id(E().Session().Winners[1]));
  ASSERT_EQ(E().Voids().size(), 1u);
  EXPECT_EQ(E().Voids()[0].ReplacementIndex, E().Session().Winners[1].CandidateIndex);
}

TEST_F(Stage, APrizeDeskRefusesAWinnerVoidedOnStageAtOnceAndNeverCallsThemAbsent) {
  BuildTwoItems();
  ASSERT_NO_FATAL_FAILURE(Draw());
  auto desk = std::make_shared<claims::TClaimDesk>();
  claims::TClaimFeed feed(desk, 1001, G("号码 姓名"));
  TSessionWatch watch(m_session, &feed);
  Open(S());
  Batch(S());
  S().InSight();
  const std::string first = Id(E().Session().Winners[0]);
  const std::string second = Id(E().Session().Winners[1]);
  const int32_t item = E().Session().Winners[0].ItemId;
  ASSERT_EQ(desk->PrizesOf(first).size(), 1u);

  // Drawn again: refused while the replacement still rolls, and after it is revealed.
  ASSERT_EQ(
      S().Change(TVoidRequest{TVoidScope::Winner, 0, G("不符合资格"), "2026-12-10 20:15:00", true})
          .step,
      TStageStep::Rolls);
  EXPECT_EQ(desk->Claim(first, item, G("领奖台1")).Answer, claims::TClaimAnswer::Voided);
  S().Enter();
  S().Time(TStageTimer::Landing);
  S().InSight();
  const claims::TClaimResult r = desk->Claim(first, item, G("领奖台1"));
  EXPECT_EQ(r.Answer, claims::TClaimAnswer::Voided);
  EXPECT_EQ(r.Prize.Winner.Name,
            G("员工") + std::to_string((std::stoll(first) - 13800000000LL) / 11));
  EXPECT_EQ(desk->Claim(Id(E().Session().Winners[0]), item, G("领奖台1")).Answer,
            claims::TClaimAnswer::Claimed);

  // Left empty: refused as voided the moment the void is taken.
  ASSERT_EQ(
      S().Change(TVoidRequest{TVoidScope::Winner, 1, G("本人放弃"), "2026-12-10 20:16:00", false})
          .step,
      TStageStep::Reveals);
  EXPECT_EQ(desk->Claim(second, item, G("领奖台1")).Answer, claims::TClaimAnswer::Voided);
  EXPECT_TRUE(feed.Error().empty()) << feed.Error();
}

TEST_F(Stage, ChangesAndVoidsAreRefusedWhileABatchRunsOrAChoiceOrQuestionStands) {
  BuildTwoItems();
  ASSERT_NO_FATAL_FAILURE(Draw());
  Open(S());
  TPlanChange add;
  add.item = {G("特别奖"), 1, 1, ""};
  // Before the first batch the engine says why.
  EXPECT_EQ(S().Change(add).messages.at(0).text,
            G("第一批揭晓后才能修改奖项;开始前请关闭抽奖窗口修改任务设置"));
  S().Acknowledge();
  Batch(S());
  const TVoidRequest v{TVoidScope::LastBatch, 0, G("误抽"), "2026-12-10 20:15:00", false};
  const auto refusedNow = [&](const char* when) {
    SCOPED_TRACE(when);
    const TStagePhase phase = S().Phase();
    TStageFrame f = S().Change(add);
    ASSERT_EQ(f.messages.size(), 1u);
    EXPECT_EQ(f.messages[0].text, G("正在抽奖,请在本批揭晓后再修改奖项"));
    EXPECT_EQ(f.step, TStageStep::None);
    S().Acknowledge();
    f = S().Change(v);
    ASSERT_EQ(f.messages.size(), 1u);
    EXPECT_EQ(f.messages[0].text, G("正在抽奖,请在本批揭晓后再作废"));
    S().Acknowledge();
    EXPECT_EQ(S().Phase(), phase);
    EXPECT_EQ(E().Session().Items.size(), 2u);
    EXPECT_TRUE(E().Voids().empty());
    EXPECT_TRUE(E().PlanChanges().empty());
  };
  ASSERT_EQ(S().Key(TStageKey::Q).step, TStageStep::Chooses);
  refusedNow("choosing");
  ASSERT_EQ(S().Key(TStageKey::Digit, 1).step, TStageStep::Asks);
  refusedNow("asking");
  S().Answer(TStageAnswer::No);
  ASSERT_EQ(S().Enter().step, TStageStep::Starts);
  refusedNow("selecting");
  ASSERT_EQ(S().Time(TStageTimer::Select).step, TStageStep::Rolls);
  refusedNow("rolling");
  ASSERT_EQ(S().Enter().step, TStageStep::Lands);
  refusedNow("landing");
  ASSERT_EQ(S().Time(TStageTimer::Landing).step, TStageStep::Reveals);
  EXPECT_TRUE(S().State().mayChange);
}

// A named award is handed out, not drawn: the start key (here the host's phone) reveals it
// at once on its own card with the fanfare, nothing rolls, and the journal has it before the
// card shows; the card stays until the next batch starts, and a resumed draw shows it alike.
TEST_F(Stage, ANamedAwardIsRevealedAtOnceOnItsOwnCardAndNothingRolls) {
  const std::vector<int> ids = Build(
      {{G("一等奖"), 1, 1, G("手机")}, {G("荣誉奖"), 2, 1, G("奖杯")}, {G("二等奖"), 2, 2, ""}});
  std::string error;
  ASSERT_TRUE(SaveNamedIds(1001, ids[1], {"13800000033", "13800000011"}, error)) << error;
  TStageReveal live;
  {
    ASSERT_NO_FATAL_FAILURE(Draw());
    Open(S());
    EXPECT_EQ(stageview::BandOf(E(), 1).gift, G("指定颁奖　共2名　奖品：奖杯"));
    Batch(S());
    EXPECT_FALSE(S().NamedMoment());
    const std::string journal = ReadAll(paths::NativePath(paths::JournalPath(1001)));
    const TStageFrame f = S().Press(TStageInput::Start);
    EXPECT_EQ(f.step, TStageStep::Reveals);
    EXPECT_EQ(S().Phase(), TStagePhase::Revealed);
    EXPECT_FALSE(f.rollTexts);
    EXPECT_TRUE(f.celebrate);
    ASSERT_TRUE(f.reveal);
    EXPECT_TRUE(f.reveal->named);
    EXPECT_FALSE(f.reveal->grand);
    EXPECT_EQ(f.reveal->grandItem, G("荣誉奖　指定颁奖"));
    EXPECT_EQ(f.reveal->grandGift, G("奖品：奖杯"));
    ASSERT_EQ(f.reveal->cards.size(), 2u);
    EXPECT_EQ(f.reveal->cards[0].name, G("员工3"));
    EXPECT_EQ(f.reveal->cards[1].name, G("员工1"));
    EXPECT_TRUE(S().NamedMoment());
    // No tick draws a number, and nothing waits to be selected.
    EXPECT_FALSE(S().Time(TStageTimer::Roll).rollTexts);
    EXPECT_FALSE(S().Time(TStageTimer::Select).taken);
    const std::string after = ReadAll(paths::NativePath(paths::JournalPath(1001)));
    ASSERT_GT(after.size(), journal.size());
    EXPECT_EQ(after.substr(journal.size(), after.find("\tcheck=", journal.size()) - journal.size()),
              "NAMED\titem=" + std::to_string(ids[1]) + "\twinners=3,1");
    live = *f.reveal;
    Stop();
  }
  TDrawSession session;
  TDataDraw e(session, m_rng);
  ASSERT_TRUE(SetUpDraw(e));
  TStage s(e);
  ASSERT_EQ(s.Open().asks, TStageQuestion::Resume);
  const TStageFrame resumed = s.Answer(TStageAnswer::Yes);
  ASSERT_TRUE(resumed.reveal);
  EXPECT_EQ(*resumed.reveal, live);
  EXPECT_TRUE(s.NamedMoment());
  // The next item is drawn as always, and the card makes way.
  EXPECT_EQ(s.Enter().step, TStageStep::Starts);
  EXPECT_FALSE(s.NamedMoment());
  EXPECT_EQ(s.Time(TStageTimer::Select).step, TStageStep::Rolls);
}
