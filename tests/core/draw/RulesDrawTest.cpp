// Draws under rules, from the engine's side and from tombolix-verify's: who may win each
// item, quotas, exclusion, tickets, presets that break a rule, replacements under a quota, a
// pool that runs out; and the verifier naming the first winner that breaks a rule.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <set>

#include "DrawSetUp.h"
#include "JournalForge.h"
#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/config/TaskRules.h"
#include "core/draw/DataDraw.h"
#include "core/draw/DrawJournal.h"
#include "core/draw/DrawProof.h"
#include "core/draw/StageView.h"
#include "core/import/Zip.h"
#include "core/records/Loaders.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "core/text/Text.h"
#include "core/verify/AuditBundle.h"
#include "core/verify/DrawVerify.h"

using text::G;
namespace fs = std::filesystem;

namespace {

// Twelve staff: id, name, department, branch, years (the tickets field).
const char* const kStaff[] = {
    "101 甲 A 总部 1", "102 乙 A 北京 2", "103 丙 A 上海 0", "104 丁 B 总部 3",
    "105 戊 B 北京 1", "106 己 B 上海 5", "107 庚 C 北京 1", "108 辛 C 上海 2",
    "109 壬 C 总部 4", "110 癸 D 北京 1", "111 子 D 上海 1", "112 丑 D 北京 1",
};

class RulesDraw : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_dm.DataModuleCreate()); }

  void Build(std::vector<ItemDef> items, const std::string& rulesUtf8,
             std::vector<std::string> lines = {}) {
    TaskDef def;
    def.items = std::move(items);
    def.title = G("号码 姓名 部门 分公司 工龄");
    if (lines.empty()) lines = Staff();
    def.candidates = lines;
    m_lines = lines;
    m_ids = BuildTask(m_dm, def);
    TTaskRules rules;
    std::string err;
    ASSERT_TRUE(ParseRules(G(rulesUtf8), rules, err)) << err;
    ASSERT_TRUE(config::SaveTaskRules(m_dm, 1001, rules, err)) << text::GbkToUtf8(err);
  }

  // Runs batches with `rolls` ticks each until the draw ends.
  static void DrawAll(TDataDraw& e, int rolls = 3) {
    for (int guard = 0; guard < 100 && !(e.state() == TDataDraw::State::Finished); ++guard)
      Batch(e, rolls);
    ASSERT_TRUE((e.state() == TDataDraw::State::Finished));
  }

  // An engine for `secret`, set up for task 1001.
  using Run = TDrawRun;
  static std::unique_ptr<Run> Start(uint32_t secret) { return StartDraw(secret); }
  // One batch with `rolls` ticks.
  static void Batch(TDataDraw& e, int rolls) {
    ASSERT_TRUE(e.BeginBatch());
    e.SelectBatchWinners();
    for (int r = 0; r < rolls; ++r) e.RollStep();
    e.RevealBatch();
    e.EndBatch();
  }
  // The candidate line whose id the next roll tick shows, or end().
  std::vector<std::string>::const_iterator Rolled(TDataDraw& e) const {
    std::string id;  // one roll label per digit
    for (const std::string& label : e.RollStep()) id += label;
    return std::find_if(m_lines.begin(), m_lines.end(),
                        [&](const std::string& l) { return text::FirstField(l) == id; });
  }
  // Task 1002's winner file, holding the first `n` staff.
  void LunchWinners(int n) {
    std::string file = G("号码 姓名 部门 分公司 工龄") + "\r\n";
    for (int i = 0; i < n; ++i) file += G(kStaff[i]) + "\r\n";
    WriteAll(m_root.dir() / "LUCK_FILE/1002_3001.txt", file);
  }
  static std::vector<std::string> Staff() {
    std::vector<std::string> lines;
    for (const char* l : kStaff) lines.push_back(G(l));
    return lines;
  }

  // The winners' ids per item, in draw order.
  std::vector<std::string> Ids(const TDataDraw& e, int32_t itemId) const {
    std::vector<std::string> out;
    for (const TLuckId& w : e.Session().Winners)
      if (w.ItemId == itemId) out.emplace_back(text::FirstField(w.CandidateLine));
    return out;
  }
  // The field `i` of the candidate line.
  static std::string Field(const std::string& line, size_t i) { return text::SplitFields(line)[i]; }

  TVerifyResult Verify() const { return VerifyDrawFolder(paths::DataRoot(), 1001); }

  TempRoot m_root;
  TTombolixDataModule m_dm;
  std::vector<int> m_ids;
  std::vector<std::string> m_lines;
};

}  // namespace

TEST_F(RulesDraw, AConditionAndAnItemQuotaHoldForEverySeedAndTheDrawVerifies) {
  // 一等奖 for branches other than 总部, at most one a department.
  Build({{G("一等奖"), 3, 3, ""}, {G("二等奖"), 2, 2, ""}},
        "ITEM\t2001\tNONEOF\t分公司\t总部\nITEMQUOTA\t2001\t部门\t1\n");
  for (uint32_t secret = 1; secret <= 12; ++secret) {
    SCOPED_TRACE(secret);
    auto run = Start(secret);
    TDataDraw& e = run->e;
    EXPECT_TRUE(e.RulesNotes().empty());
    DrawAll(e);
    std::set<std::string> departments;
    for (const TLuckId& w : e.Session().Winners) {
      if (w.ItemId != 2001) continue;
      EXPECT_NE(Field(w.CandidateLine, 3), G("总部")) << w.CandidateLine;
      departments.insert(Field(w.CandidateLine, 2));
    }
    EXPECT_EQ(departments.size(), 3u);
    EXPECT_EQ(Ids(e, 2002).size(), 2u);  // the second item has no rules of its own
    if (secret == 5) {                   // the same secret draws the same winners
      EXPECT_EQ(Ids(e, 2001), (std::vector<std::string>{"107", "110", "103"}));
      EXPECT_EQ(Ids(e, 2002), (std::vector<std::string>{"105", "102"}));
    }
    const TVerifyResult r = Verify();
    EXPECT_TRUE(r.Passed) << VerifyText(r);
  }
}

TEST_F(RulesDraw, AnItemWhoseEligibleRunOutClosesWithThoseItHasAndSetUpSaysSo) {
  // Four staff work in 上海; the item wants five.
  Build({{G("一等奖"), 5, 5, ""}, {G("二等奖"), 1, 1, ""}}, "ITEM\t2001\tONEOF\t分公司\t上海\n");
  auto run = Start(3u);
  TDataDraw& e = run->e;
  EXPECT_EQ(e.RulesNotes(),
            (std::vector<std::string>{
                G("奖项[一等奖]符合条件的只有4人，少于中奖个数5，抽完这些人后该奖项即结束")}));
  EXPECT_EQ(text::GbkToUtf8(stageview::PrizeText(e, 0)), "一等奖　仅限：分公司是上海");
  EXPECT_EQ(stageview::PrizeText(e, 1), "");
  ASSERT_TRUE(e.BeginBatch());
  const TDataDraw::Batch b = e.SelectBatchWinners();
  EXPECT_EQ(std::set<int32_t>(b.picks.begin(), b.picks.end()), (std::set<int32_t>{2, 5, 7, 10}));
  EXPECT_EQ(b.exhaustedText, G("[一等奖]可抽取的号码已不足,无法继续抽取"));
  // The roll shows nobody else for the item: it stands on the batch's first winner.
  const std::string first(text::FirstField(m_lines[static_cast<size_t>(b.picks[0])]));
  EXPECT_EQ(e.RollStep(), e.RollTexts(first));
  e.RevealBatch();
  EXPECT_TRUE(e.EndBatch().prizeChanged);
  DrawAll(e);
  EXPECT_EQ(Ids(e, 2002).size(), 1u);
  EXPECT_TRUE(Verify().Passed) << VerifyText(Verify());
}

TEST_F(RulesDraw, AnItemQuotaBelowTheWinnersIsWarnedAtSetUp) {
  // Nine staff outside 总部, in four departments: one a department lets four of five win.
  Build({{G("一等奖"), 5, 5, ""}, {G("二等奖"), 2, 2, ""}},
        "ITEM\t2001\tNONEOF\t分公司\t总部\nITEMQUOTA\t2001\t部门\t1\nITEMQUOTA\t2002\t部门\t2\n");
  auto run = Start(7u);
  TDataDraw& e = run->e;
  ASSERT_EQ(e.RulesNotes().size(), 1u);  // 二等奖: two a department reach 8 of 2
  EXPECT_EQ(text::GbkToUtf8(e.RulesNotes()[0]),
            "奖项[一等奖]"
            "符合条件的有9人，按名额限制最多抽出4人，少于中奖个数5，抽完这些人后该奖项即结束");
  DrawAll(e);
  std::set<std::string> departments;
  for (const TLuckId& w : e.Session().Winners)
    if (w.ItemId == 2001) departments.insert(Field(w.CandidateLine, 2));
  EXPECT_EQ(Ids(e, 2001).size(), 4u);
  EXPECT_EQ(departments.size(), 4u);
  EXPECT_TRUE(Verify().Passed) << VerifyText(Verify());
}

TEST_F(RulesDraw, TheTaskQuotaSpansItemsAndTheRollShowsOnlyWhoMayStillWin) {
  // Four departments, at most one winner each over the whole task: 3 + 1, then nobody.
  Build({{G("一等奖"), 3, 3, ""}, {G("二等奖"), 3, 3, ""}}, "TASKQUOTA\t部门\t1\n");
  auto run = Start(11u);
  TDataDraw& e = run->e;
  EXPECT_EQ(text::GbkToUtf8(e.RulesLine(1)), "每部门全场最多1名");
  ASSERT_TRUE(e.BeginBatch());
  e.SelectBatchWinners();
  std::set<std::string> taken;
  for (const TLuckId& w : e.Session().Winners) taken.insert(Field(w.CandidateLine, 2));
  ASSERT_EQ(taken.size(), 3u);
  // Every id that flashes by belongs to the one department left.
  for (int r = 0; r < 40; ++r) {
    const auto line = Rolled(e);
    ASSERT_NE(line, m_lines.end());
    EXPECT_EQ(taken.count(Field(*line, 2)), 0u) << *line;
  }
  e.RevealBatch();
  e.EndBatch();
  DrawAll(e);
  EXPECT_EQ(Ids(e, 2001), (std::vector<std::string>{"106", "101", "112"}));
  EXPECT_EQ(Ids(e, 2002), (std::vector<std::string>{"108"}));
  EXPECT_TRUE(Verify().Passed) << VerifyText(Verify());
}

TEST_F(RulesDraw, TheWinnersOfAnExcludedTaskAreLeftOutByTheirId) {
  Build({{G("一等奖"), 4, 2, ""}}, "EXCLUDE\t1002\n");
  LunchWinners(8);  // 101 … 108 won at lunch
  auto run = Start(2u);
  TDataDraw& e = run->e;
  EXPECT_EQ(text::GbkToUtf8(e.RulesLine(0)), "不含任务1002中奖者");
  EXPECT_EQ(e.JournalHead().Excluded.size(), 8u);
  DrawAll(e);
  const std::vector<std::string> won = Ids(e, 2001);
  EXPECT_EQ(std::set<std::string>(won.begin(), won.end()),
            (std::set<std::string>{"109", "110", "111", "112"}));
  EXPECT_TRUE(Verify().Passed) << VerifyText(Verify());
}

TEST_F(RulesDraw, TicketsWeighTheChanceAndZeroTicketsNeverWin) {
  Build({{G("一等奖"), 11, 4, ""}}, "TICKETS\t工龄\n");
  auto run = Start(4u);
  EXPECT_EQ(text::GbkToUtf8(run->e.RulesLine(0)), "按工龄计票");
  DrawAll(run->e);
  // Everybody but 103 (0 tickets) wins, and the item is complete without running out.
  EXPECT_EQ(Ids(run->e, 2001), (std::vector<std::string>{"108", "109", "112", "104", "101", "110",
                                                         "111", "102", "107", "106", "105"}));
  EXPECT_TRUE(Verify().Passed) << VerifyText(Verify());
}

TEST_F(RulesDraw, OneHugeTicketCountWinsFirstAndSumsBeyond63BitsAreRefused) {
  std::vector<std::string> lines = Staff();
  lines[11] = G("112 丑 D 北京 9223372036854775000");    // the others hold 22 together
  lines[10] = G("111 子 D 上海 000000000000000000001");  // leading zeros count for nothing
  Build({{G("一等奖"), 2, 1, ""}}, "TICKETS\t工龄\n", lines);
  for (uint32_t secret = 1; secret <= 10; ++secret) {
    SCOPED_TRACE(secret);
    auto run = Start(secret);
    DrawAll(run->e);
    EXPECT_EQ(Ids(run->e, 2001)[0], "112");
    EXPECT_TRUE(Verify().Passed) << VerifyText(Verify());
  }
}

TEST_F(RulesDraw, TicketsThatOverflowStopTheSetUp) {
  std::vector<std::string> lines = Staff();
  lines[3] = G("104 丁 B 总部 9223372036854775000");
  lines[11] = G("112 丑 D 北京 9223372036854775000");
  Build({{G("一等奖"), 2, 1, ""}}, "TICKETS\t工龄\n", lines);
  Run run(1u);
  TDrawFailure f;
  EXPECT_FALSE(run.e.SetUp(1001, f));
  EXPECT_EQ(f.text, G("名单中的票数总和超出范围(到112为止已超过9223372036854775807)"));
}

TEST_F(RulesDraw, PresetsThatBreakTheItemsRulesAreSkippedAndCounted) {
  Build({{G("一等奖"), 3, 3, ""}}, "ITEM\t2001\tNONEOF\t分公司\t总部\n");
  // 101 works at 总部: against the rule; 102 keeps it.
  WritePresets(1001, m_ids[0], {m_lines[0], m_lines[1]});
  auto run = Start(6u);
  TDataDraw& e = run->e;
  EXPECT_EQ(
      e.RulesNotes(),
      (std::vector<std::string>{G("[一等奖]的指定中奖名单中有1人不符合抽奖规则,不会被抽出")}));
  ASSERT_TRUE(e.BeginBatch());
  const TDataDraw::Batch b = e.SelectBatchWinners();
  EXPECT_EQ(b.skippedText, G("[一等奖]跳过了1名不符合抽奖规则的指定中奖者"));
  // The preset that keeps the rule comes first; nobody from 总部.
  EXPECT_EQ(b.picks, (std::vector<int32_t>{1, 4, 11}));
  EXPECT_EQ(Ids(e, 2001), (std::vector<std::string>{"102", "105", "112"}));
  e.RevealBatch();
  e.EndBatch();
  EXPECT_TRUE((e.state() == TDataDraw::State::Finished));
  EXPECT_TRUE(Verify().Passed) << VerifyText(Verify());
}

TEST_F(RulesDraw, AReplacementKeepsTheQuotaAndIsReplayedByTheVerifier) {
  // One winner a department: the replacement of an absent winner can only come from the
  // absent winner's own department, whose place it fills.
  Build({{G("一等奖"), 4, 4, ""}}, "ITEMQUOTA\t2001\t部门\t1\n");
  for (uint32_t secret = 1; secret <= 8; ++secret) {
    SCOPED_TRACE(secret);
    auto run = Start(secret);
    TDataDraw& e = run->e;
    DrawAll(e);
    const TLuckId absent = e.Session().Winners[1];
    std::string message;
    ASSERT_TRUE(e.BeginReplacement(1, message)) << text::GbkToUtf8(message);
    for (int r = 0; r < 5; ++r) {
      const auto line = Rolled(e);
      ASSERT_NE(line, m_lines.end());
      EXPECT_EQ(Field(*line, 2), Field(absent.CandidateLine, 2)) << *line;
    }
    e.RevealBatch();
    e.EndBatch();
    const TLuckId& now = e.Session().Winners[1];
    EXPECT_NE(now.CandidateIndex, absent.CandidateIndex);
    EXPECT_EQ(Field(now.CandidateLine, 2), Field(absent.CandidateLine, 2));
    if (secret == 1) {
      EXPECT_EQ(Ids(e, 2001), (std::vector<std::string>{"111", "106", "102", "107"}));
      EXPECT_EQ(std::string(text::FirstField(absent.CandidateLine)), "104");
    }
    const TVerifyResult r = Verify();
    EXPECT_TRUE(r.Passed) << VerifyText(r);
  }
}

TEST_F(RulesDraw, AKilledDrawResumesUnderItsRulesOnlyAndVerifies) {
  const std::string rulesText =
      "ITEM\t2002\tONEOF\t部门\tB\tC\nITEMQUOTA\t2002\t部门\t2\nTICKETS\t工龄\n";
  Build({{G("一等奖"), 2, 1, ""}, {G("二等奖"), 3, 1, ""}}, rulesText);
  {
    auto run = Start(9u);
    std::string err;
    ASSERT_TRUE(run->e.StartJournal(err));
    for (int i = 0; i < 3; ++i) Batch(run->e, 1);
  }
  // Under other rules the killed draw is not continued.
  TTaskRules rules;
  std::string err;
  ASSERT_TRUE(ParseRules(G("ITEMQUOTA\t2002\t部门\t3\nTICKETS\t工龄\n"), rules, err));
  ASSERT_TRUE(config::SaveTaskRules(m_dm, 1001, rules, err));
  EXPECT_EQ(Start(9u)->e.Pending().kind, TPendingKind::Mismatch);
  // Under its own rules again, it is.
  ASSERT_TRUE(ParseRules(G(rulesText), rules, err));
  ASSERT_TRUE(config::SaveTaskRules(m_dm, 1001, rules, err));
  auto run = Start(9u);
  TDataDraw& e = run->e;
  ASSERT_EQ(e.Pending().kind, TPendingKind::Resumable);
  TDataDraw::BatchEnd end;
  ASSERT_TRUE(e.Resume(end, err)) << text::GbkToUtf8(err);
  DrawAll(e, 7);
  // 二等奖 only from B and C, two a department at most.
  EXPECT_EQ(Ids(e, 2001), (std::vector<std::string>{"106", "102"}));
  EXPECT_EQ(Ids(e, 2002), (std::vector<std::string>{"109", "104", "108"}));
  const TVerifyResult r = Verify();
  EXPECT_TRUE(r.Passed) << VerifyText(r);
}

// --- the verifier ------------------------------------------------------------------------

class RulesVerify : public RulesDraw {
 protected:
  // 一等奖 3 in one batch, one a department, nobody from 总部; 二等奖 3; task 1002's winners
  // 101 … 103 left out.
  void Drawn() {
    Build({{G("一等奖"), 3, 3, ""}, {G("二等奖"), 3, 3, ""}},
          "ITEM\t2001\tNONEOF\t分公司\t总部\nITEMQUOTA\t2001\t部门\t1\nEXCLUDE\t1002\n");
    LunchWinners(3);
    auto run = Start(21u);
    DrawAll(run->e);
    m_first = run->e.Session().Winners[0];
    const TVerifyResult r = Verify();
    ASSERT_TRUE(r.Passed) << VerifyText(r);
  }
  // The first batch's winners with the one at `place` replaced by candidate `k`.
  std::string WinnersWith(size_t place, int32_t k) const {
    TJournal j;
    std::string err;
    EXPECT_EQ(ReadJournal(paths::FinishedJournalPath(1001), j, err), JournalRead::Ok);
    std::vector<int32_t> w = j.Batches[0].Winners;
    w[place] = k;
    std::string s;
    for (int32_t x : w) s += (s.empty() ? "" : ",") + std::to_string(x);
    return s;
  }
  // The one problem the verifier names with the first batch's winners forged to `winners`;
  // the journal is put back after.
  std::string ProblemWith(const std::string& winners) const {
    const fs::path journal = paths::FinishedJournalPath(1001);
    const std::string good = ReadAll(journal);
    ForgeFinishedJournal(1001, "BATCH", "winners", winners);
    const TVerifyResult r = Verify();
    WriteAll(journal, good);
    EXPECT_EQ(r.Problems.size(), 1u) << VerifyText(r);
    return r.Problems.empty() ? "" : text::GbkToUtf8(r.Problems[0]);
  }
  TLuckId m_first;
};

TEST_F(RulesVerify, AChangedRuleIsCaughtByItsFingerprintAndBySeed) {
  Drawn();
  // The quota raised in the journal, its fingerprint left.
  TTaskRules raised;
  std::string err;
  ASSERT_TRUE(
      ParseRules(G("ITEM\t2001\tNONEOF\t分公司\t总部\nITEMQUOTA\t2001\t部门\t2\nEXCLUDE\t1002\n"),
                 raised, err));
  std::string escaped;
  for (char c : FormatRules(raised))
    escaped += c == '\t' ? std::string("%09") : c == '\n' ? std::string("%0A") : std::string(1, c);
  ForgeFinishedJournal(1001, "DRAW", "rules", escaped);
  TVerifyResult r = Verify();
  ASSERT_EQ(r.Problems.size(), 1u) << VerifyText(r);
  EXPECT_EQ(text::GbkToUtf8(r.Problems[0]), "抽奖记录中的抽奖规则与其指纹不符(规则已被改动)");
  // With the fingerprint made to match, the seed no longer follows from what was committed.
  ForgeFinishedJournal(1001, "DRAW", "rulehash", RulesHash(raised));
  r = Verify();
  ASSERT_EQ(r.Problems.size(), 1u) << VerifyText(r);
  EXPECT_NE(text::GbkToUtf8(r.Problems[0]).find("与推导结果"), std::string::npos);
}

TEST_F(RulesVerify, AWinnerOverAQuotaOrExcludedIsNamedWithTheRuleItBreaks) {
  Drawn();
  // A second winner from the first winner's department, not from 总部 nor excluded.
  int32_t same = -1;
  for (size_t k = 3; k < m_lines.size(); ++k)
    if (static_cast<int32_t>(k) != m_first.CandidateIndex &&
        Field(m_lines[k], 2) == Field(m_first.CandidateLine, 2) &&
        Field(m_lines[k], 3) != G("总部"))
      same = static_cast<int32_t>(k);
  ASSERT_GE(same, 0);
  const std::string sameId(text::FirstField(m_lines[static_cast<size_t>(same)]));
  EXPECT_NE(ProblemWith(WinnersWith(1, same))
                .find("第一个违反抽奖规则的中奖者为 " + text::GbkToUtf8(sameId) +
                      ": 超过每部门最多1名的限额(" +
                      text::GbkToUtf8(Field(m_first.CandidateLine, 2)) + ")"),
            std::string::npos);
  // A winner of task 1002 (102, not from 总部) in the first place.
  EXPECT_NE(
      ProblemWith(WinnersWith(0, 1)).find("第一个违反抽奖规则的中奖者为 102: 是被排除任务的中奖者"),
      std::string::npos);
  // Somebody from 总部.
  EXPECT_NE(ProblemWith(WinnersWith(0, 8))
                .find("第一个违反抽奖规则的中奖者为 109: 不符合条件：分公司不能是总部(此人为总部)"),
            std::string::npos);
}

TEST_F(RulesVerify, TheReportAndTheAuditBundleCarryTheRulesAndTheBundleVerifies) {
  Drawn();
  TLuckTask task;
  std::string err;
  ASSERT_TRUE(LoadLuckTask(1001, task, err)) << err;
  TAuditRows rows;
  ASSERT_TRUE(AuditReport(task, rows, err)) << err;
  const std::string report = text::GbkToUtf8(AuditReportText(rows));
  TJournal j;
  ASSERT_EQ(ReadJournal(paths::FinishedJournalPath(1001), j, err), JournalRead::Ok);
  EXPECT_NE(report.find("抽奖规则: EXCLUDE 1002\r\n抽奖规则: ITEM 2001 NONEOF 分公司 总部\r\n"
                        "抽奖规则: ITEMQUOTA 2001 部门 1\r\n抽奖规则指纹(SHA-256): " +
                        j.Head.RulesHash + "\r\n排除的中奖者: 3人, 指纹(SHA-256) " +
                        ExcludedHashOf({"101", "102", "103"}) + "\r\n验证: "),
            std::string::npos)
      << report;
  const std::string zip = m_root.path("out/audit.zip");
  ASSERT_TRUE(WriteAuditBundle(task, zip, err)) << err;
  sheet::ZipArchive archive;
  ASSERT_TRUE(archive.OpenFile(zip, err));
  std::string bytes;
  ASSERT_TRUE(archive.ReadPart(kAuditRulesEntry, bytes, err));
  EXPECT_EQ(bytes, j.Head.Rules);
  ASSERT_TRUE(archive.ReadPart(kAuditExcludedEntry, bytes, err));
  EXPECT_EQ(bytes, "101\n102\n103\n");
  // The excluded task's files are not in the bundle: the journal names whom they held.
  fs::remove(m_root.dir() / "LUCK_FILE/1002_3001.txt");
  const TVerifyResult r = VerifyAuditBundle(zip);
  EXPECT_TRUE(r.Passed) << VerifyText(r);
}

TEST_F(RulesDraw, ReplacementsThatFreeAQuotaPlaceAreReplayedAlikeForManySecrets) {
  // Two a department per item, four over the task, tickets, one condition, and a
  // replacement after every batch at a place chosen by the secret: a replacement from
  // another department frees its absent winner's department again for later batches.
  std::vector<std::string> lines;
  for (int i = 0; i < 30; ++i)
    lines.push_back(std::to_string(300 + i) + " " + G("人") + std::to_string(i) + " " +
                    std::string(1, "ABCD"[i % 4]) + " " + G(i % 5 == 0 ? "总部" : "北京") + " " +
                    std::to_string(i % 4));
  Build({{G("一等奖"), 6, 2, ""}, {G("二等奖"), 6, 3, ""}},
        "TICKETS\t工龄\nTASKQUOTA\t部门\t4\nITEMQUOTA\t2001\t部门\t2\nITEMQUOTA\t2002\t部门\t2\n"
        "ITEM\t2002\tNONEOF\t分公司\t总部\n",
        lines);
  int replaced = 0;
  for (uint32_t secret = 1; secret <= 25; ++secret) {
    SCOPED_TRACE(secret);
    auto run = Start(secret);
    TDataDraw& e = run->e;
    for (int batch = 0; !(e.state() == TDataDraw::State::Finished) && batch < 20; ++batch) {
      Batch(e, batch % 3);
      std::string m;
      if (!e.Session().Winners.empty() &&
          e.BeginReplacement((secret * 7 + batch) % e.Session().Winners.size(), m)) {
        for (int r = 0; r < 2; ++r) e.RollStep();
        e.RevealBatch();
        e.EndBatch();
        ++replaced;
      }
    }
    ASSERT_TRUE((e.state() == TDataDraw::State::Finished));
    // The quotas hold for the winners as they stand.
    std::map<std::pair<int32_t, std::string>, int> perItem;
    std::map<std::string, int> perTask;
    for (const TLuckId& w : e.Session().Winners) {
      ++perItem[{w.ItemId, Field(w.CandidateLine, 2)}];
      ++perTask[Field(w.CandidateLine, 2)];
    }
    for (const auto& [key, n] : perItem) EXPECT_LE(n, 2);
    for (const auto& [key, n] : perTask) EXPECT_LE(n, 4);
    const TVerifyResult r = Verify();
    EXPECT_TRUE(r.Passed) << VerifyText(r);
  }
  EXPECT_GT(replaced, 25);
}

TEST(RulesPool, AFullQuotaShutsItsGroupOutAndAnAbsenceLetsItBackIn) {
  const TArraySring lines = {"1 A 1", "2 A 1", "3 B 1", "4 B 3"};
  TPoolRules pr;
  std::string err;
  ASSERT_TRUE(ParseRules("ITEMQUOTA\t7\tdept\t1\n", pr.Rules, err));
  pr.TitleLine = "id dept t";
  TArrCheatId presets;
  TCandidatePool pool(lines, presets, false);
  pool.UseRules(IndexRules(lines, pr, err));
  ASSERT_TRUE(pool.HasRules());
  TRandom rng;
  pool.MarkDrawn(0, 7);  // A is full for item 7
  for (uint32_t seed = 1; seed <= 30; ++seed) {
    rng.Randomize(seed);
    const int32_t k = pool.Pick(7, rng);
    EXPECT_TRUE(k == 2 || k == 3) << k;
    const int32_t shown = pool.RollPick(7, rng);
    EXPECT_TRUE(shown == 2 || shown == 3) << shown;
  }
  // Line 0 is absent and line 2 took its place: B is full now, A has room again, and line
  // 0 never wins again.
  pool.MarkAbsent(0, 2, 7);
  for (uint32_t seed = 1; seed <= 30; ++seed) {
    rng.Randomize(seed);
    EXPECT_EQ(pool.Pick(7, rng), 1);
  }
  EXPECT_FALSE(pool.MayWin(0, 8));
  pool.MarkDrawn(1, 7);
  rng.Randomize(5);
  const uint32_t before = rng.Seed();
  EXPECT_EQ(pool.Pick(7, rng), -1);  // nobody left: no number drawn
  EXPECT_EQ(rng.Seed(), before);
  EXPECT_EQ(pool.RollPick(7, rng), -1);  // a roll tick still draws one
  EXPECT_NE(rng.Seed(), before);
}

TEST(RulesPool, TicketsGiveTheChanceTheyCount) {
  // Tickets 1 and 3: over many seeds the second wins about three times as often.
  const TArraySring lines = {"1 1", "2 3", "3 0"};
  TPoolRules pr;
  std::string err;
  ASSERT_TRUE(ParseRules("TICKETS\tt\n", pr.Rules, err));
  pr.TitleLine = "id t";
  const auto index = IndexRules(lines, pr, err);
  ASSERT_TRUE(index) << err;
  int second = 0;
  for (uint32_t seed = 0; seed < 4000; ++seed) {
    TArrCheatId presets;
    TCandidatePool pool(lines, presets, false);
    pool.UseRules(index);
    TRandom rng;
    rng.Randomize(seed * 2654435761u);
    const int32_t k = pool.Pick(1, rng);
    ASSERT_TRUE(k == 0 || k == 1) << k;
    second += k == 1;
  }
  EXPECT_NEAR(second / 4000.0, 0.75, 0.03);
}

// The exclusion is fixed at the first batch: a draw killed after it resumes with the ids its
// journal holds, though the excluded task was drawn again since.
TEST_F(RulesDraw, AKilledDrawKeepsItsExclusionWhenTheExcludedTaskIsRedrawn) {
  Build({{G("一等奖"), 4, 1, ""}}, "EXCLUDE\t1002\n");
  LunchWinners(6);  // 101 … 106
  std::vector<std::string> before;
  {
    auto run = Start(5u);
    std::string err;
    ASSERT_TRUE(run->e.StartJournal(err));
    Batch(run->e, 2);
    Batch(run->e, 2);
    before = Ids(run->e, 2001);
  }
  LunchWinners(2);  // task 1002 redrawn: only 101 and 102 now
  auto run = Start(5u);
  TDataDraw& e = run->e;
  ASSERT_EQ(e.Pending().kind, TPendingKind::Resumable);
  EXPECT_EQ(e.JournalHead().Excluded.size(), 6u);
  TDataDraw::BatchEnd end;
  std::string err;
  ASSERT_TRUE(e.Resume(end, err)) << text::GbkToUtf8(err);
  EXPECT_EQ(Ids(e, 2001), before);
  DrawAll(e);
  for (const std::string& id : Ids(e, 2001)) EXPECT_GT(id, "106");
  EXPECT_TRUE(Verify().Passed) << VerifyText(Verify());
}

// Lists of ids left out, for the task and for one item, are drawn by, shown in short words
// and replayed by the verifier; the task's quota that lets fewer win is warned at set-up.
TEST_F(RulesDraw, ExclusionListsHoldPerItemAndATaskQuotaShortfallIsWarned) {
  Build({{G("一等奖"), 2, 2, ""}, {G("二等奖"), 8, 8, ""}},
        "EXCLUDEIDS\t112\nITEMEXCLUDEIDS\t2001\t101\t102\t103\t104\t105\t106\t107\t108\n"
        "TASKQUOTA\t部门\t2\n");
  auto run = Start(3u);
  TDataDraw& e = run->e;
  EXPECT_EQ(text::GbkToUtf8(e.RulesLine(0)), "每部门全场最多2名　排除名单9人");
  EXPECT_EQ(text::GbkToUtf8(e.RulesLine(1)), "每部门全场最多2名　排除名单1人");
  // Four departments, two each: 8 of the 10 wanted, and 二等奖 alone reaches 8 of 8.
  ASSERT_EQ(e.RulesNotes().size(), 1u);
  EXPECT_EQ(text::GbkToUtf8(e.RulesNotes()[0]),
            "全场名额限制最多抽出8人，少于各奖项中奖个数之和10，抽完这些人后抽奖即结束");
  DrawAll(e);
  for (const std::string& id : Ids(e, 2001)) EXPECT_GT(id, "108");
  for (const TLuckId& w : e.Session().Winners) EXPECT_NE(text::FirstField(w.CandidateLine), "112");
  EXPECT_TRUE(Verify().Passed) << VerifyText(Verify());
  // The operator may keep the lists' size off the screen.
  std::string err;
  ASSERT_TRUE(config::SaveHideExcludeCount(m_dm, 1001, true, err));
  EXPECT_EQ(text::GbkToUtf8(Start(3u)->e.RulesLine(0)), "每部门全场最多2名");
}

// The band counts the people of this list whom the exclusion lists shut out: an id of a
// leaver, the lists' title row read as an id, or an id on both lists is no extra person.
TEST_F(RulesDraw, TheExclusionListCountsPeopleOfTheListNotTheIdsItNames) {
  Build({{G("一等奖"), 1, 1, ""}, {G("二等奖"), 1, 1, ""}},
        "EXCLUDEIDS\t101\t102\t999\t工号\nITEMEXCLUDEIDS\t2001\t102\t103\t888\n");
  auto run = Start(3u);
  EXPECT_EQ(text::GbkToUtf8(run->e.RulesLine(0)), "排除名单3人");
  EXPECT_EQ(text::GbkToUtf8(run->e.RulesLine(1)), "排除名单2人");
  // The verifier says what each of its numbers counts.
  DrawAll(run->e);
  const auto r = Verify();
  EXPECT_TRUE(r.Passed) << VerifyText(r);
  const auto line = std::find_if(r.Lines.begin(), r.Lines.end(), [](const std::string& l) {
    return l.starts_with(G("抽奖规则指纹"));
  });
  ASSERT_NE(line, r.Lines.end()) << VerifyText(r);
  EXPECT_TRUE(
      text::GbkToUtf8(*line).ends_with(", 排除名单列出6个号码, 其中名单中3人, 规则与指纹一致"))
      << text::GbkToUtf8(*line);
}

TEST_F(RulesDraw, ATooLargeTicketCountIsCalledSoAndPlacedAsACandidate) {
  std::vector<std::string> lines = Staff();
  lines[4] = G("105 戊 B 北京 99999999999999999999");
  Build({{G("一等奖"), 2, 1, ""}}, "TICKETS\t工龄\n", lines);
  Run run(1u);
  TDrawFailure f;
  EXPECT_FALSE(run.e.SetUp(1001, f));
  EXPECT_EQ(text::GbkToUtf8(f.text),
            "名单中105的票数[99999999999999999999]过大(最多9223372036854775807)"
            "(第5名候选人（抽奖数据文件第9行）)");
}
