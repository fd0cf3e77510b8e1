// The host's remote without a network or a screen: the buttons a phase offers, each button as
// the stage input the keys give, what the phone is shown, and the routes' refusals.
#include <gtest/gtest.h>

#include "DrawSetUp.h"
#include "SignedPhone.h"
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
  // An attendee's phone: plain forms, a guessed token, a wrong code.
  EXPECT_EQ(post("/host/state", "t=").Status, 403);
  EXPECT_EQ(post("/host/input", "t=00112233445566778899aabbccddeeff&n=1&a=start").Status, 403);
  EXPECT_EQ(post("/pair", "c=12").Body.find("\"kind\":\"unsigned\""), 1u);
  SignedPhone guess(TPairRole::Host, "2222333344445555");
  EXPECT_EQ(post("/pair", guess.PairBody("/pair")).Body.find("\"kind\":\"wrong\""), 1u);
  guess.token = "00112233445566778899aabbccddeeff";
  EXPECT_EQ(post("/host/input", guess.Body("/host/input", "a=start")).Status, 403);

  SignedPhone phone(TPairRole::Host, pairing.Code(TPairRole::Host));
  const THttpResponse paired = post("/pair", phone.PairBody("/pair"));
  ASSERT_EQ(paired.Status, 200);
  ASSERT_TRUE(phone.Paired(paired.Body));
  EXPECT_NE(paired.Body.find("\"role\":\"host\""), std::string::npos);

  // No draw screen yet: the press is refused and nothing waits for the screen.
  EXPECT_EQ(post("/host/input", phone.Body("/host/input", "a=start")).Status, 503);
  remote.Attach(nullptr);
  const std::string start = phone.Body("/host/input", "a=start");
  EXPECT_EQ(post("/host/input", start).Status, 200);
  const THttpResponse replayed = post("/host/input", start);
  EXPECT_EQ(replayed.Status, 409);
  EXPECT_NE(replayed.Body.find("\"last\":3"), std::string::npos) << replayed.Body;
  EXPECT_EQ(post("/host/input", phone.Body("/host/input", "a=fly")).Status, 400);
  EXPECT_EQ(post("/host/input", phone.Body("/host/input", "a=choose&k=1000")).Status, 400);
  EXPECT_EQ(post("/host/input", phone.Body("/host/input", "a=choose&k=3")).Status, 200);
  EXPECT_EQ(remote.Drain(), (std::vector<THostInput>{{A::Start, 0, std::nullopt, 3},
                                                     {A::Choose, 3, std::nullopt, 6}}));
  const THttpResponse state = post("/host/state", phone.Body("/host/state"));
  EXPECT_EQ(state.Status, 200);
  EXPECT_NE(state.Body.find("\"n\":7"), std::string::npos);
  // The phone's old way with its token: refused, told to scan again.
  const THttpResponse plain = post("/host/input", "t=" + phone.token + "&n=20&a=start");
  EXPECT_EQ(plain.Status, 403);
  EXPECT_NE(plain.Body.find("请重新扫描操作电脑上的二维码"), std::string::npos) << plain.Body;
  EXPECT_TRUE(remote.Drain().empty());

  // The screen closed: the pairing ended with it.
  remote.Detach();
  EXPECT_EQ(post("/host/state", phone.Body("/host/state")).Status, 403);
  EXPECT_EQ(post("/host/input", phone.Body("/host/input", "a=start")).Status, 403);
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
  SignedPhone phone(TPairRole::Host, pairing.Code(TPairRole::Host));
  ASSERT_TRUE(phone.Paired(post("/pair", phone.PairBody("/pair")).Body));
  const auto add = [&](const std::string& payload) {
    return post("/host/add", phone.Body("/host/add", payload)).Status;
  };
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
  EXPECT_EQ(add("name=" + special + "&count=3"), 200);
  take();
  EXPECT_EQ(
      remote.LastAnswer(),
      (THostAnswer{2, false, G("第一批揭晓后才能修改奖项;开始前请关闭抽奖窗口修改任务设置")}));
  EXPECT_EQ(e.Session().Items.size(), 2u);

  EXPECT_EQ(s.Press(A::Start).step, TStageStep::Starts);
  s.Time(TStageTimer::Select);
  s.Press(A::Stop);
  s.Time(TStageTimer::Landing);
  s.InSight();
  remote.Moved(s.State());
  EXPECT_TRUE(s.State().mayChange);
  EXPECT_NE(post("/host/state", phone.Body("/host/state")).Body.find("\"mayChange\":true"),
            std::string::npos);

  // Counts that are no numbers never reach the stage; the rest the stage checks.
  EXPECT_EQ(add("name=" + special + "&count=0"), 400);
  EXPECT_EQ(add("name=" + special + "&count=3&per=x"), 400);
  EXPECT_TRUE(remote.Drain().empty());
  EXPECT_EQ(add("name=&count=3"), 200);
  take();
  EXPECT_EQ(remote.LastAnswer(), (THostAnswer{6, false, G("请输入奖项名称!")}));
  EXPECT_EQ(add("name=" + special + "&count=3&per=4"), 200);
  take();
  EXPECT_EQ(remote.LastAnswer(),
            (THostAnswer{7, false, G("[每次抽取个数]不能大于[中奖个数],请重新选择")}));
  EXPECT_EQ(e.Session().Items.size(), 2u);

  // Accepted: drawn next, the whole count in one press, and the phone is told.
  const std::string accepted =
      phone.Body("/host/add", "name=" + special + "&count=3&gift=%E6%89%8B%E6%9C%BA");
  EXPECT_EQ(post("/host/add", accepted).Status, 200);
  EXPECT_EQ(post("/host/add", accepted).Status, 409);  // replayed: never added twice
  take();
  EXPECT_EQ(remote.LastAnswer(), (THostAnswer{8, true, G("已加奖：特别奖 3名，下一个抽")}));
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
      post("/host/state", phone.Body("/host/state"))
          .Body.find("\"added\":{\"n\":8,\"ok\":true,\"text\":\"已加奖：特别奖 3名，下一个抽\"}"),
      std::string::npos);
}
