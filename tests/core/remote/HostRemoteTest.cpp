// The host's remote without a network or a screen: the buttons a phase offers, each button as
// the stage input the keys give, what the phone is shown, and the routes' refusals.
#include <gtest/gtest.h>

#include "DrawSetUp.h"
#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/checkin/CheckinHttp.h"
#include "core/db/TombolixDB.h"
#include "core/draw/Stage.h"
#include "core/draw/StageState.h"
#include "core/draw/StageView.h"
#include "core/remote/HostHttp.h"
#include "core/remote/HostRemote.h"
#include "core/text/Gbk.h"

using namespace checkin;
using namespace remote;
using namespace net;
using text::G;

namespace {

using A = THostAction;

TStageState StateIn(TStagePhase phase) {
  TStageState s;
  s.open = true;
  s.phase = phase;
  return s;
}

}  // namespace

TEST(HostActionsTest, ThePageOffersWhatThePhaseAllows) {
  EXPECT_EQ(HostActions(StateIn(TStagePhase::Ready)), (std::vector{A::Start, A::Leave}));
  EXPECT_EQ(HostActions(StateIn(TStagePhase::Selecting)), std::vector<A>{});
  EXPECT_EQ(HostActions(StateIn(TStagePhase::Rolling)), std::vector{A::Stop});
  EXPECT_EQ(HostActions(StateIn(TStagePhase::Landing)), std::vector<A>{});
  EXPECT_EQ(HostActions(StateIn(TStagePhase::Replacing)), std::vector{A::Stop});
  TStageState revealed = StateIn(TStagePhase::Revealed);
  revealed.mayMarkAbsent = true;
  EXPECT_EQ(HostActions(revealed), (std::vector{A::Start, A::MarkAbsent, A::Leave}));
  revealed.finished = true;
  revealed.mayMarkAbsent = false;
  EXPECT_EQ(HostActions(revealed), std::vector{A::Leave});
  revealed.grand = true;  // the grand prize's moment: 继续 ends it
  EXPECT_EQ(HostActions(revealed), (std::vector{A::Start, A::Leave}));
  revealed.grand = false;
  EXPECT_EQ(HostActions(StateIn(TStagePhase::Choosing)), (std::vector{A::Choose, A::CancelChoice}));
  // What is in sight on the screen comes first.
  revealed.prompt = G("是否缺席？");
  revealed.promptAsks = true;
  EXPECT_EQ(HostActions(revealed), (std::vector{A::Yes, A::No}));
  revealed.promptAsks = false;
  EXPECT_EQ(HostActions(revealed), std::vector{A::Ok});
  EXPECT_EQ(HostActions(TStageState{}), std::vector<A>{});  // no screen
  A parsed = A::Start;
  EXPECT_TRUE(ParseHostAction("absent", parsed));
  EXPECT_EQ(parsed, A::MarkAbsent);
  EXPECT_FALSE(ParseHostAction("Start", parsed));
}

namespace {

class HostStage : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dm.DataModuleCreate());
    TaskDef def;
    def.title = G("号码 姓名");
    def.items = {{G("一等奖"), 2, 2, ""}, {G("二等奖"), 2, 2, ""}};
    for (int i = 0; i < 10; ++i)
      def.candidates.push_back(std::to_string(13800000000LL + i * 11) + " " + G("员工") +
                               std::to_string(i));
    BuildTask(m_dm, def);
  }
  TempRoot m_root;
  TTombolixDataModule m_dm;
  TRandom m_rng;
  TDrawSession m_session;
};

}  // namespace

TEST_F(HostStage, EachButtonIsTheKeysInputAndThePhoneSeesOnlyWhatWasRevealed) {
  TDataDraw e(m_session, m_rng, 31u);
  ASSERT_TRUE(SetUpDraw(e));
  TStage s(e);
  ASSERT_EQ(s.Open().step, TStageStep::Opens);
  TPairing pairing;
  THostRemote remote(pairing);
  remote.Attach(nullptr);
  const TSessionWatch watch(m_session, &remote);
  // The stage tells its observers after every input; telling again changes nothing.
  const auto tell = [&] { remote.Moved(s.State()); };

  // 停止 before anything rolls stops nothing and never starts a batch, as Enter would.
  EXPECT_EQ(s.Press(A::Stop).step, TStageStep::None);
  EXPECT_EQ(s.Phase(), TStagePhase::Ready);
  tell();
  uint64_t rev = 0;
  TStageState seen = remote.State(rev);
  EXPECT_EQ(seen.task, "title");  // the title the hall sees, not the task's name "task"
  EXPECT_EQ(seen.prize, stageview::PrizeText(e, 0));
  EXPECT_EQ(seen.left, 2);
  EXPECT_TRUE(seen.cards.empty());

  EXPECT_EQ(s.Press(A::Start).step, TStageStep::Starts);
  EXPECT_EQ(s.Time(TStageTimer::Select).step, TStageStep::Rolls);
  tell();
  // The winners are fixed but still rolling: the phone has no card of them.
  seen = remote.State(rev);
  EXPECT_EQ(seen.phase, TStagePhase::Rolling);
  EXPECT_TRUE(seen.cards.empty());
  EXPECT_EQ(s.Press(A::Start).step, TStageStep::None);  // a batch runs already
  EXPECT_EQ(s.Press(A::Stop).step, TStageStep::Lands);
  tell();
  EXPECT_TRUE(remote.State(rev).cards.empty());
  EXPECT_EQ(s.Time(TStageTimer::Landing).step, TStageStep::Reveals);
  tell();
  EXPECT_TRUE(remote.State(rev).cards.empty());  // not painted on the screen yet
  s.InSight();
  tell();
  const uint64_t before = rev;
  seen = remote.State(rev);
  EXPECT_GT(rev, before);
  ASSERT_EQ(seen.cards.size(), 2u);
  const TArrLuckId& w = e.Session().Winners;
  EXPECT_EQ(seen.cards[0].id, std::string(CandidateId(w[0].CandidateLine)));
  EXPECT_EQ(seen.cards[1].id, std::string(CandidateId(w[1].CandidateLine)));
  EXPECT_EQ(seen.cards[0].photo, "");  // no path of this machine goes out
  // 一等奖 is done: the prize moves on to 二等奖 with 2 left.
  EXPECT_EQ(seen.prize, stageview::PrizeText(e, 1));
  EXPECT_EQ(seen.left, 2);
  // Told again unchanged, the revision stays.
  tell();
  uint64_t again = 0;
  remote.State(again);
  EXPECT_EQ(again, rev);

  // 标记缺席 → the second winner → the stage's own question.
  EXPECT_EQ(s.Press(A::Choose, 1).step, TStageStep::None);  // not choosing yet
  EXPECT_EQ(s.Press(A::MarkAbsent).step, TStageStep::Chooses);
  EXPECT_EQ(s.Press(A::MarkAbsent).step, TStageStep::None);  // already choosing
  tell();
  EXPECT_EQ(remote.State(rev).chosen, 0);
  const TStageFrame asks = s.Press(A::Choose, 1);
  EXPECT_EQ(asks.step, TStageStep::Asks);
  EXPECT_EQ(asks.asks, TStageQuestion::Absent);
  EXPECT_EQ(asks.place, 1u);
  EXPECT_EQ(s.Answer(TStageAnswer::Yes).step, TStageStep::Rolls);
  tell();
  seen = remote.State(rev);
  EXPECT_EQ(seen.phase, TStagePhase::Replacing);
  EXPECT_TRUE(seen.cards.empty());  // the replacement rolls: nobody in sight yet
  // 结束 waits while a roll runs.
  EXPECT_EQ(s.Press(A::Leave).step, TStageStep::None);
}

TEST(HostRoutes, OnlyThePairedHostsFreshRequestsReachTheStage) {
  TPairing pairing;
  THostRemote remote(pairing);
  const auto post = [&](std::string_view path, const std::string& body) {
    THttpRequest r;
    r.Method = "POST";
    r.Path = path;
    r.Body = body;
    r.Address = "10.0.0.5";
    return HandleHostRequest(remote, r);
  };
  // An attendee's phone without a token, or with a guess.
  EXPECT_EQ(post("/host/state", "t=").Status, 403);
  EXPECT_EQ(post("/host/input", "t=00112233445566778899aabbccddeeff&n=1&a=start").Status, 403);
  EXPECT_EQ(post("/pair", "c=12").Body.find("\"kind\":\"wrong\""), 1u);

  const THttpResponse paired = post("/pair", "c=" + pairing.Code(TPairRole::Host));
  ASSERT_EQ(paired.Status, 200);
  const size_t at = paired.Body.find("\"token\":\"");
  ASSERT_NE(at, std::string::npos);
  const std::string token = paired.Body.substr(at + 9, 32);
  EXPECT_NE(paired.Body.find("\"role\":\"host\""), std::string::npos);

  // No draw screen yet: the press is refused and nothing waits for the screen.
  EXPECT_EQ(post("/host/input", "t=" + token + "&n=1&a=start").Status, 503);
  remote.Attach(nullptr);
  EXPECT_EQ(post("/host/input", "t=" + token + "&n=2&a=start").Status, 200);
  EXPECT_EQ(post("/host/input", "t=" + token + "&n=2&a=start").Status, 409);  // replayed
  EXPECT_EQ(post("/host/input", "t=" + token + "&n=3&a=fly").Status, 400);
  EXPECT_EQ(post("/host/input", "t=" + token + "&n=x&a=start").Status, 400);
  EXPECT_EQ(post("/host/input", "t=" + token + "&n=4&a=choose&k=1000").Status, 400);
  EXPECT_EQ(post("/host/input", "t=" + token + "&n=5&a=choose&k=3").Status, 200);
  EXPECT_EQ(remote.Drain(), (std::vector<THostInput>{{A::Start, 0, std::nullopt, 2},
                                                     {A::Choose, 3, std::nullopt, 5}}));
  const THttpResponse state = post("/host/state", "t=" + token);
  EXPECT_EQ(state.Status, 200);
  EXPECT_NE(state.Body.find("\"n\":5"), std::string::npos);

  // The screen closed: the pairing ended with it.
  remote.Detach();
  EXPECT_EQ(post("/host/state", "t=" + token).Status, 403);
  EXPECT_EQ(post("/host/input", "t=" + token + "&n=6&a=start").Status, 403);
  EXPECT_TRUE(remote.Drain().empty());
}

TEST_F(HostStage, AnItemAddedFromThePhoneIsTheOperatorsChangeAndThePhoneSeesItsOutcome) {
  TDataDraw e(m_session, m_rng, 31u);
  ASSERT_TRUE(SetUpDraw(e));
  TStage s(e);
  ASSERT_EQ(s.Open().step, TStageStep::Opens);
  TPairing pairing;
  THostRemote remote(pairing);
  remote.Attach(nullptr);
  const TSessionWatch watch(m_session, &remote);
  const auto post = [&](std::string_view path, const std::string& body) {
    THttpRequest r;
    r.Method = "POST";
    r.Path = path;
    r.Body = body;
    r.Address = "10.0.0.5";
    return HandleHostRequest(remote, r);
  };
  const THttpResponse paired = post("/pair", "c=" + pairing.Code(TPairRole::Host));
  const std::string token = paired.Body.substr(paired.Body.find("\"token\":\"") + 9, 32);
  // What the phone types arrives as UTF-8, percent-encoded.
  const std::string special = "%E7%89%B9%E5%88%AB%E5%A5%96";  // 特别奖
  const auto take = [&] {
    std::vector<THostInput> in = remote.Drain();
    EXPECT_EQ(in.size(), 1u);
    for (const THostInput& i : in) TakeHostInput(s, remote, i);
    // A refusal stays in sight on the screen until acknowledged (the screen's 确定).
    if (!remote.LastAnswer().accepted) {
      EXPECT_EQ(s.Message()->text, remote.LastAnswer().text);
      s.Acknowledge();
    }
    remote.Moved(s.State());
  };

  // Before the first reveal the stage takes no change; nothing is added.
  EXPECT_FALSE(s.State().mayChange);
  EXPECT_EQ(post("/host/add", "t=" + token + "&n=1&name=" + special + "&count=3").Status, 200);
  take();
  EXPECT_EQ(
      remote.LastAnswer(),
      (THostAnswer{1, false, G("第一批揭晓后才能修改奖项;开始前请关闭抽奖窗口修改任务设置")}));
  EXPECT_EQ(e.Session().Items.size(), 2u);

  EXPECT_EQ(s.Press(A::Start).step, TStageStep::Starts);
  s.Time(TStageTimer::Select);
  s.Press(A::Stop);
  s.Time(TStageTimer::Landing);
  s.InSight();
  remote.Moved(s.State());
  EXPECT_TRUE(s.State().mayChange);
  EXPECT_NE(post("/host/state", "t=" + token).Body.find("\"mayChange\":true"), std::string::npos);

  // Counts that are no numbers never reach the stage; the rest the stage checks.
  EXPECT_EQ(post("/host/add", "t=" + token + "&n=2&name=" + special + "&count=0").Status, 400);
  EXPECT_EQ(post("/host/add", "t=" + token + "&n=3&name=" + special + "&count=3&per=x").Status,
            400);
  EXPECT_TRUE(remote.Drain().empty());
  EXPECT_EQ(post("/host/add", "t=" + token + "&n=4&name=&count=3").Status, 200);
  take();
  EXPECT_EQ(remote.LastAnswer(), (THostAnswer{4, false, G("请输入奖项名称!")}));
  EXPECT_EQ(post("/host/add", "t=" + token + "&n=5&name=" + special + "&count=3&per=4").Status,
            200);
  take();
  EXPECT_EQ(remote.LastAnswer(),
            (THostAnswer{5, false, G("[每次抽取个数]不能大于[中奖个数],请重新选择")}));
  EXPECT_EQ(e.Session().Items.size(), 2u);

  // Accepted: drawn next, the whole count in one press, and the phone is told.
  EXPECT_EQ(
      post("/host/add", "t=" + token + "&n=6&name=" + special + "&count=3&gift=%E6%89%8B%E6%9C%BA")
          .Status,
      200);
  EXPECT_EQ(post("/host/add", "t=" + token + "&n=6&name=" + special + "&count=3").Status,
            409);  // replayed: never added twice
  take();
  EXPECT_EQ(remote.LastAnswer(), (THostAnswer{6, true, G("已加奖：特别奖 3名，下一个抽")}));
  ASSERT_EQ(e.Session().Items.size(), 3u);
  EXPECT_EQ(e.Session().Items[1].ItemName, G("特别奖"));
  EXPECT_EQ(e.Session().Items[1].LuckCount, 3);
  EXPECT_EQ(e.Session().Items[1].ListCount, 3);
  EXPECT_EQ(e.Session().Items[1].AwardName, G("手机"));
  // On the record as the operator's own: the item, then its place next.
  ASSERT_EQ(e.PlanChanges().size(), 2u);
  EXPECT_EQ(e.PlanChanges()[0].Kind, TPlanKind::Add);
  EXPECT_EQ(e.PlanChanges()[1].Kind, TPlanKind::Next);
  EXPECT_NE(
      post("/host/state", "t=" + token)
          .Body.find("\"added\":{\"n\":6,\"ok\":true,\"text\":\"已加奖：特别奖 3名，下一个抽\"}"),
      std::string::npos);
}
