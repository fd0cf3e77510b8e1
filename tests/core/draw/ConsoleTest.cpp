// The operator's console without a screen: what it shows as the stage goes through a batch,
// 黑屏 and what it refuses, the room's lines and the machine's battery.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>

#include "DrawSetUp.h"
#include "SignedPhone.h"
#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/db/TombolixDB.h"
#include "core/draw/Console.h"
#include "core/draw/DataDraw.h"
#include "core/draw/Stage.h"
#include "core/remote/HostHttp.h"
#include "core/remote/HostRemote.h"
#include "core/text/Gbk.h"

using text::G;

namespace {

// Ten candidates; 一等奖 2 in one batch, 二等奖 2 in one batch; the console's feed watches
// the session from before the opening, its clock at 20:15:00.
class Console : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dm.DataModuleCreate());
    TaskDef def;
    def.items = {{G("一等奖"), 2, 2, ""}, {G("二等奖"), 2, 2, ""}};
    def.title = G("号码 姓名");
    for (int i = 0; i < 10; ++i)
      def.candidates.push_back(std::to_string(13800000000LL + i * 11) + " " + G("员工") +
                               std::to_string(i));
    BuildTask(m_dm, def);
    m_engine.emplace(m_session, m_rng, 31u);
    ASSERT_TRUE(SetUpDraw(*m_engine));
    m_stage.emplace(*m_engine, [] { return int64_t{100000}; });
    ASSERT_EQ(m_stage->Open().step, TStageStep::Opens);
  }
  console::TView View() const { return console::ViewOf(m_feed, *m_engine, console::TRoom{}); }
  // Enter starts a batch and the selection fixes its winners: the roll runs.
  void Roll() {
    ASSERT_EQ(S().Enter().step, TStageStep::Starts);
    ASSERT_EQ(S().Time(TStageTimer::Select).step, TStageStep::Rolls);
  }
  // The roll stops, lands and is revealed; the window reports it in sight.
  void Reveal() {
    ASSERT_EQ(S().Enter().step, TStageStep::Lands);
    ASSERT_EQ(S().Time(TStageTimer::Landing).step, TStageStep::Reveals);
    S().InSight();
  }
  TStage& S() { return *m_stage; }

  TempRoot m_root;
  TTombolixDataModule m_dm;
  TRandom m_rng;
  TDrawSession m_session;
  console::TFeed m_feed{[] { return std::string("20:15:00"); }};
  TSessionWatch m_watch{m_session, &m_feed};
  std::optional<TDataDraw> m_engine;
  std::optional<TStage> m_stage;
};

}  // namespace

TEST_F(Console, FollowsTheStageThroughABatch) {
  console::TView v = View();
  EXPECT_EQ(v.phase, TStagePhase::Ready);
  EXPECT_EQ(v.phaseText, G("准备开始"));
  EXPECT_EQ(v.nextKey, G("回车：开始抽奖　数字键：现场号码"));
  ASSERT_EQ(v.items.size(), 2u);
  EXPECT_EQ(v.items[0], (console::TItemLine{G("一等奖"), 2, 0, 2, true}));
  EXPECT_EQ(v.items[1], (console::TItemLine{G("二等奖"), 2, 0, 2, false}));
  EXPECT_EQ(v.mayWin, 10);
  EXPECT_EQ(v.mayWinText, G("可随机抽中[一等奖]的还有10人"));
  EXPECT_TRUE(v.batches.empty());
  EXPECT_FALSE(v.blanked);
  EXPECT_EQ(v.audience, G("现场号码（可选）：输入数字后按回车开始"));
  // The hall's number typed on the console reaches the stage as its digits.
  S().Key(TStageKey::Digit, 2);
  S().Key(TStageKey::Digit, 0);
  EXPECT_EQ(View().audience, G("现场号码：20    按回车开始"));

  ASSERT_EQ(S().Enter().step, TStageStep::Starts);
  EXPECT_EQ(View().nextKey, G("正在抽取，请稍候"));
  ASSERT_EQ(S().Time(TStageTimer::Select).step, TStageStep::Rolls);
  v = View();
  EXPECT_EQ(v.audience, "");  // fixed with the batch's start
  EXPECT_EQ(v.phaseText, G("滚动中"));
  EXPECT_EQ(v.nextKey, G("回车：停止"));
  EXPECT_TRUE(v.batches.empty());  // the winners are still the hall's surprise
  ASSERT_EQ(S().Enter().step, TStageStep::Lands);
  EXPECT_EQ(View().nextKey, G("回车：立即揭晓"));
  EXPECT_TRUE(View().batches.empty());

  ASSERT_EQ(S().Time(TStageTimer::Landing).step, TStageStep::Reveals);
  S().InSight();
  v = View();
  EXPECT_EQ(v.phaseText, G("已揭晓"));
  EXPECT_EQ(v.nextKey, G("回车：抽下一批　Q：标记缺席　B：黑屏"));
  EXPECT_EQ(v.items[0], (console::TItemLine{G("一等奖"), 2, 2, 0, false}));
  EXPECT_EQ(v.items[1], (console::TItemLine{G("二等奖"), 2, 0, 2, true}));
  EXPECT_EQ(v.mayWin, 8);  // the two winners left the pool
  ASSERT_EQ(v.batches.size(), 1u);
  EXPECT_EQ(v.batches[0].time, "20:15:00");
  EXPECT_EQ(v.batches[0].item, G("一等奖"));
  // The winners as the hall's list shows them: a caption, then the batch's two lines.
  const TRevealedList& list = S().RevealedList();
  ASSERT_EQ(list.lines.size(), 3u);
  EXPECT_EQ(v.batches[0].winners, (std::vector{list.lines[1].text, list.lines[2].text}));

  // The next batch comes first.
  ASSERT_NO_FATAL_FAILURE(Roll());
  ASSERT_NO_FATAL_FAILURE(Reveal());
  v = View();
  ASSERT_EQ(v.batches.size(), 2u);
  EXPECT_EQ(v.batches[0].item, G("二等奖"));
  EXPECT_EQ(v.batches[1].item, G("一等奖"));
  EXPECT_EQ(v.mayWin, -1);  // every item drawn
  EXPECT_EQ(v.phaseText, G("已全部抽完"));
}

TEST_F(Console, BlankingHidesTheProjectorAndNoRollStartsUnderIt) {
  ASSERT_NO_FATAL_FAILURE(Roll());
  // Not while a roll runs: it would run on unseen.
  EXPECT_FALSE(S().Allowed(TStageInput::Blank));
  EXPECT_FALSE(S().Blank(true).taken);
  EXPECT_FALSE(S().Blanked());
  EXPECT_EQ(S().State().note, G("正在抽奖，揭晓后才能黑屏"));
  ASSERT_NO_FATAL_FAILURE(Reveal());
  EXPECT_EQ(S().State().note, "");  // the next input clears it

  const size_t winners = m_session.Winners.size();
  const TStageFrame blank = S().Blank(true);
  EXPECT_TRUE(blank.taken);
  EXPECT_EQ(blank.blank, std::optional<bool>(true));
  EXPECT_EQ(blank.step, TStageStep::None);  // nothing on the stage changes
  EXPECT_TRUE(View().blanked);
  EXPECT_EQ(View().nextKey, G("投影已黑屏，不能开始抽奖　B：恢复投影"));

  // A start key is refused with a note for the operator and no message on the projector.
  const TStageFrame start = S().Enter();
  EXPECT_EQ(start.step, TStageStep::None);
  EXPECT_TRUE(start.messages.empty());
  EXPECT_EQ(View().note, G("投影已黑屏，不能开始抽奖：请先按B恢复投影"));
  EXPECT_EQ(S().Phase(), TStagePhase::Revealed);
  EXPECT_EQ(m_session.Winners.size(), winners);
  // A remote's 开始 is refused the same way; its 黑屏 again does nothing.
  EXPECT_EQ(S().Press(TStageInput::Start).step, TStageStep::None);
  EXPECT_EQ(S().Phase(), TStagePhase::Revealed);
  EXPECT_FALSE(S().Allowed(TStageInput::Blank));
  EXPECT_EQ(remote::BlankAction(S().State()), std::optional(TStageInput::Unblank));

  // An absent winner's replacement would roll: refused, nobody marked absent.
  ASSERT_EQ(S().Key(TStageKey::Q).step, TStageStep::Chooses);
  ASSERT_EQ(S().Enter().step, TStageStep::Asks);
  EXPECT_EQ(S().Answer(TStageAnswer::Yes).step, TStageStep::None);
  EXPECT_TRUE(m_session.Absences.empty());
  EXPECT_EQ(S().State().note, G("投影已黑屏，不能开始抽奖：请先按B恢复投影"));

  // 恢复 from the phone: the projector comes back and the next start key rolls.
  const TStageFrame back = S().Press(TStageInput::Unblank);
  EXPECT_EQ(back.blank, std::optional<bool>(false));
  EXPECT_FALSE(S().Blanked());
  EXPECT_EQ(remote::BlankAction(S().State()), std::optional(TStageInput::Blank));
  EXPECT_EQ(S().Enter().step, TStageStep::Starts);
  EXPECT_EQ(remote::BlankAction(S().State()), std::nullopt);
}

TEST_F(Console, TheHostsPhoneBlanksAndSeesWhyAStartWasRefused) {
  net::TPairing pairing;
  remote::THostRemote host(pairing);
  host.Attach(nullptr);
  const TSessionWatch watch(m_session, &host);
  const auto post = [&](std::string_view path, const std::string& body) {
    net::THttpRequest r;
    r.Method = "POST";
    r.Path = path;
    r.Body = body;
    r.Address = "10.0.0.5";
    return remote::HandleHostRequest(host, r);
  };
  SignedPhone phone(net::TPairRole::Host, pairing.Code(net::TPairRole::Host));
  ASSERT_TRUE(phone.Paired(post("/pair", phone.PairBody("/pair")).Body));
  const auto state = [&] { return post("/host/state", phone.Body("/host/state")).Body; };
  const auto press = [&](const char* action) {
    ASSERT_EQ(post("/host/input", phone.Body("/host/input", std::string("a=") + action)).Status,
              200);
    for (const remote::THostInput& in : host.Drain()) remote::TakeHostInput(S(), host, in);
  };
  S().Blank(false);  // the state is told to the phone
  EXPECT_NE(state().find("\"blank\":\"blank\""), std::string::npos);
  ASSERT_NO_FATAL_FAILURE(press("blank"));
  EXPECT_TRUE(S().Blanked());
  ASSERT_NO_FATAL_FAILURE(press("start"));
  EXPECT_EQ(S().Phase(), TStagePhase::Ready);
  const std::string blanked = state();
  EXPECT_NE(blanked.find("\"blank\":\"unblank\""), std::string::npos);
  EXPECT_NE(blanked.find("\"blanked\":true"), std::string::npos);
  EXPECT_NE(blanked.find(text::GbkToUtf8(G("请先按B恢复投影"))), std::string::npos);
  ASSERT_NO_FATAL_FAILURE(press("unblank"));
  EXPECT_FALSE(S().Blanked());
  // While a roll runs the page offers neither.
  ASSERT_NO_FATAL_FAILURE(press("start"));
  ASSERT_EQ(S().Time(TStageTimer::Select).step, TStageStep::Rolls);
  EXPECT_NE(state().find("\"blank\":\"\""), std::string::npos);
}

TEST_F(Console, TheOverlayStandsOnlyBetweenBatches) {
  EXPECT_TRUE(console::OverlayMayShow(S().State()));  // Ready
  ASSERT_NO_FATAL_FAILURE(Roll());
  EXPECT_FALSE(console::OverlayMayShow(S().State()));
  ASSERT_EQ(S().Enter().step, TStageStep::Lands);
  EXPECT_FALSE(console::OverlayMayShow(S().State()));
  ASSERT_EQ(S().Time(TStageTimer::Landing).step, TStageStep::Reveals);
  EXPECT_TRUE(console::OverlayMayShow(S().State()));
  ASSERT_EQ(S().Key(TStageKey::Q).step, TStageStep::Chooses);
  EXPECT_FALSE(console::OverlayMayShow(S().State()));  // over the chosen card
}

TEST_F(Console, TheRoomWarnsOnBatteryAndOnALowDisk) {
  console::TRoom room;
  room.checkins = 120;
  room.claims = 7;
  room.hostPaired = true;
  room.desks = 2;
  room.freeBytes = 100LL * 1024 * 1024;
  room.batteryPercent = 42;
  room.onBattery = true;
  std::vector<std::string> warnings;
  EXPECT_EQ(console::RoomLines(room, warnings),
            (std::vector{G("签到：120人"), G("已领奖：7人"), G("主持人手机：已配对"),
                         G("领奖台：2台已配对"), G("数据盘剩余：0.1 GB"),
                         G("电池：42%（正在使用电池）")}));
  EXPECT_EQ(warnings, (std::vector{G("数据盘剩余空间不足0.1 GB，请腾出空间，以免中奖记录无法保存"),
                                   G("笔记本正在使用电池（剩余42%），请接上电源")}));
  room.onBattery = false;
  room.freeBytes = 5LL * 1024 * 1024 * 1024;
  warnings.clear();
  const std::vector<std::string> lines = console::RoomLines(room, warnings);
  EXPECT_EQ(lines[4], G("数据盘剩余：5.0 GB"));
  EXPECT_EQ(lines[5], G("电池：42%（已接电源）"));
  EXPECT_TRUE(warnings.empty());
}

TEST_F(Console, TheMachineTellsItsBatteryAndDisk) {
  namespace fs = std::filesystem;
  const fs::path power = fs::path(m_root.dir()) / "power_supply";
  const auto write = [](const fs::path& file, const char* text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text << "\n";
  };
  write(power / "BAT0" / "type", "Battery");
  write(power / "BAT0" / "capacity", "42");
  write(power / "BAT0" / "status", "Discharging");
  write(power / "AC" / "type", "Mains");
  write(power / "AC" / "online", "0");
  console::TRoom room;
  console::ProbeMachine(m_root.dir(), room, power);
  EXPECT_EQ(room.batteryPercent, 42);
  EXPECT_TRUE(room.onBattery);
  EXPECT_GT(room.freeBytes, 0);
  write(power / "AC" / "online", "1");
  room = {};
  console::ProbeMachine(m_root.dir(), room, power);
  EXPECT_FALSE(room.onBattery);
  // No power supply folder: a desktop, nothing known, nothing warned.
  room = {};
  console::ProbeMachine(m_root.dir(), room, power / "none");
  EXPECT_EQ(room.batteryPercent, -1);
  EXPECT_FALSE(room.onBattery);
}
