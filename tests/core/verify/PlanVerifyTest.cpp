// tombolix-verify on a night that departed from its plan: an added item drawn next, a
// changed count, a chosen next item with the audience's number, a void with redraw, a void
// without, an absent winner's replacement. It replays every record, reports each, and
// refuses records that do not replay or files that present a voided winner as a winner.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>

#include "DrawSetUp.h"
#include "JournalForge.h"
#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/config/TaskRules.h"
#include "core/draw/DataDraw.h"
#include "core/draw/DrawJournal.h"
#include "core/draw/DrawRules.h"
#include "core/draw/PlanRecords.h"
#include "core/records/ClaimFile.h"
#include "core/records/Loaders.h"
#include "core/records/NamedAwardFile.h"
#include "core/records/VoidFile.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "core/verify/AuditBundle.h"
#include "core/verify/DrawVerify.h"

using text::G;

namespace {

constexpr char kTime[] = "2026-12-10 21:40:05";

class PlanVerify : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dm.DataModuleCreate());
    TaskDef def;
    def.items = {{G("一等奖"), 3, 1, ""}, {G("二等奖"), 3, 3, ""}, {G("荣誉奖"), 2, 1, ""}};
    def.title = G("号码 姓名");
    for (int i = 0; i < 16; ++i)
      def.candidates.push_back(std::to_string(13800000000LL + i * 7) + " " + G("员工") +
                               std::to_string(i));
    m_lines = def.candidates;
    m_ids = BuildTask(m_dm, def);
    // 荣誉奖 goes to two people by name: candidates 9 and 4.
    std::string err;
    ASSERT_TRUE(SaveNamedIds(1001, m_ids[2], {Id(9), Id(4)}, err)) << err;
    Night();
  }

  static void Batch(TDataDraw& e, int rolls) {
    ASSERT_TRUE(e.BeginBatch());
    e.SelectBatchWinners();
    for (int r = 0; r < rolls; ++r) e.RollStep();
    e.RevealBatch();
    e.EndBatch();
  }
  static void Roll(TDataDraw& e, int rolls) {
    for (int r = 0; r < rolls; ++r) e.RollStep();
    e.RevealBatch();
    e.EndBatch();
  }

  // The night: 一等奖 1; 特别奖 added (2, drawn next, number 31415) and drawn; 一等奖 cut to
  // 2; 特别奖's second winner voided, place left empty; 一等奖's first voided and redrawn;
  // 二等奖 chosen next with number 27 and drawn; its first winner absent and replaced;
  // 一等奖's last; 荣誉奖 handed out by name.
  void Night() {
    auto run = StartDraw(4242u);
    TDataDraw& e = run->e;
    TDataDraw::BatchEnd end;
    std::string message;
    Batch(e, 3);
    ASSERT_TRUE(e.AddItem({G("特别奖"), 2, 2, G("手机")}, true, "31415", end, message)) << message;
    m_added = e.Session().Items[static_cast<size_t>(e.CurItemIndex())].ItemId;
    Batch(e, 4);
    ASSERT_TRUE(e.ChangeCount(m_ids[0], 2, "", end, message)) << message;
    m_voidedEmpty = e.Session().Winners[2].CandidateIndex;
    ASSERT_TRUE(e.VoidWinner(2, G("不符合资格"), kTime, false, end, message)) << message;
    m_voidedRedrawn = e.Session().Winners[0].CandidateIndex;
    ASSERT_TRUE(e.VoidWinner(0, G("误抽"), kTime, true, end, message)) << message;
    Roll(e, 5);
    ASSERT_TRUE(e.ChooseNext(m_ids[1], "27", end, message)) << message;
    Batch(e, 2);
    ASSERT_TRUE(e.BeginReplacement(2, message)) << message;
    Roll(e, 1);
    Batch(e, 6);
    ASSERT_TRUE(e.IsNamedItem(m_ids[2]));
    Batch(e, 0);
    ASSERT_EQ(e.state(), TDataDraw::State::Finished);
    m_winners = e.Session().Winners;
  }

  std::string Root() const { return paths::DataRoot(); }
  std::string Id(int32_t k) const { return m_lines[static_cast<size_t>(k)].substr(0, 11); }

  // Checks with the journal (or a file) changed by `change`, then puts it back.
  TVerifyResult With(const std::filesystem::path& p, const std::function<void()>& change) {
    const std::string was = ReadAll(p);
    change();
    TVerifyResult r = VerifyDrawFolder(Root(), 1001);
    WriteAll(p, was);
    return r;
  }
  std::filesystem::path Journal() const {
    return paths::NativePath(paths::FinishedJournalPath(1001));
  }

  TempRoot m_root;
  TTombolixDataModule m_dm;
  std::vector<int> m_ids;
  std::vector<std::string> m_lines;
  int32_t m_added = 0;
  int32_t m_voidedEmpty = -1;
  int32_t m_voidedRedrawn = -1;
  TArrLuckId m_winners;
};

bool Has(const TVerifyResult& r, const std::string& gbk) {
  for (const std::string& l : r.Lines)
    if (l.find(gbk) != std::string::npos) return true;
  return false;
}

}  // namespace

TEST_F(PlanVerify, EveryChangeAndVoidIsReplayedAndReported) {
  const TVerifyResult r = VerifyDrawFolder(Root(), 1001);
  ASSERT_TRUE(r.Passed) << VerifyText(r);
  const std::string added = std::to_string(m_added);
  EXPECT_TRUE(
      Has(r, G("第1项改动 临时加奖 奖项") + added + " " + G("特别奖 2名(每次2名), 现场号码31415")))
      << VerifyText(r);
  EXPECT_TRUE(Has(r, G("第2项改动 选择下一个奖项 奖项") + added + G("  一致"))) << VerifyText(r);
  EXPECT_TRUE(Has(
      r, G("第3项改动 改名额 奖项") + std::to_string(m_ids[0]) + G(" 3名改为2名(已抽出1名)  一致")))
      << VerifyText(r);
  EXPECT_TRUE(Has(r, G("第4项改动 作废 奖项") + added + ": " + Id(m_voidedEmpty) + " (" +
                         G("不符合资格") + ", " + kTime + G(") 名额空缺  一致")))
      << VerifyText(r);
  EXPECT_TRUE(Has(r, G("第5项改动 作废 奖项") + std::to_string(m_ids[0]) + ": " +
                         Id(m_voidedRedrawn) + " (" + G("误抽") + ", " + kTime + G(") 重抽 ") +
                         Id(m_winners[0].CandidateIndex) + G("  一致")))
      << VerifyText(r);
  EXPECT_TRUE(
      Has(r, G("第6项改动 选择下一个奖项 奖项") + std::to_string(m_ids[1]) + G(", 现场号码27")))
      << VerifyText(r);
  EXPECT_TRUE(Has(r, G("第5批 奖项") + std::to_string(m_ids[2]) + G(" 指定颁奖 2名: ") + Id(9) +
                         " " + Id(4) + G("  一致")))
      << VerifyText(r);
  EXPECT_TRUE(Has(r, G("指定颁奖: 指纹"))) << VerifyText(r);
  EXPECT_TRUE(Has(r, G("共作废2名中奖者(重抽1名, 名额空缺1名); 作废者曾被抽中, 已不在中奖名单中")))
      << VerifyText(r);
  // The same from the audit bundle, which carries the added item's files and the void files.
  TLuckTask task;
  std::string err;
  ASSERT_TRUE(LoadLuckTask(1001, task, err)) << err;
  const std::string zip = m_root.path("out/bundle.zip");
  ASSERT_TRUE(WriteAuditBundle(task, zip, err)) << err;
  const TVerifyResult b = VerifyAuditBundle(zip);
  EXPECT_TRUE(b.Passed) << VerifyText(b);
  TAuditRows rows;
  ASSERT_TRUE(AuditReport(task, rows, err)) << err;
  std::string report = AuditReportText(rows);
  EXPECT_NE(report.find(G("改动: 临时加奖：特别奖 2名")), std::string::npos)
      << text::GbkToUtf8(report);
  EXPECT_NE(report.find(G("作废: 作废：奖项") + added + " " + Id(m_voidedEmpty) + " (" +
                        G("不符合资格") + G("), 名额空缺 ") + kTime),
            std::string::npos)
      << text::GbkToUtf8(report);
}

TEST_F(PlanVerify, RecordsThatDoNotReplayAreRefused) {
  const auto fails = [&](const TVerifyResult& r, const std::string& utf8) {
    EXPECT_FALSE(r.Passed);
    ASSERT_FALSE(r.Problems.empty()) << VerifyText(r);
    EXPECT_NE(text::GbkToUtf8(r.Problems[0]).find(utf8), std::string::npos) << VerifyText(r);
  };
  const std::string first = std::to_string(m_ids[0]);
  fails(With(Journal(), [&] { ForgeFinishedJournal(1001, "COUNT\titem=", "count", "0"); }),
        "第3项改动 奖项" + first + ": 名额0少于已抽出的1名");
  fails(With(Journal(),
             [&] {
               ForgeFinishedJournal(1001, "VOID\titem=" + first, "replacement",
                                    std::to_string(m_voidedEmpty));
             }),
        "抽奖记录中的重抽为 " + text::GbkToUtf8(Id(m_voidedEmpty)) + ", 按规则重放应为 " +
            text::GbkToUtf8(Id(m_winners[0].CandidateIndex)));
  fails(With(Journal(),
             [&] {
               ForgeFinishedJournal(1001, "NEXT\titem=" + std::to_string(m_ids[1]), "audience",
                                    "28");
             }),
        "第3批 奖项2002 3名: 抽奖记录为");
  fails(With(Journal(), [&] { ForgeFinishedJournal(1001, "VOID\titem=", "voided", "15"); }),
        "作废者不是此位置上的中奖者");
  fails(With(Journal(), [&] { ForgeFinishedJournal(1001, "NAMED\titem=", "winners", "4,9"); }),
        "第5批 奖项" + std::to_string(m_ids[2]) + " 指定颁奖 : 抽奖记录为 " +
            text::GbkToUtf8(Id(4) + " " + Id(9)) + ", 指定的是 " +
            text::GbkToUtf8(Id(9) + " " + Id(4)));
  fails(With(Journal(), [&] { ForgeFinishedJournal(1001, "COUNT\titem=", "count", "x"); }),
        "抽奖记录中的第3条改动记录无法读取：COUNT");
  // A winner file that still names the voided winner presents the void as if it had not been.
  const std::filesystem::path winners = paths::NativePath(paths::WinnerFilePath(1001, m_added));
  fails(With(winners,
             [&] {
               WriteAll(winners,
                        ReadAll(winners) + m_lines[static_cast<size_t>(m_voidedEmpty)] + "\r\n");
             }),
        "中奖名单文件LUCK_FILE/1001_" + std::to_string(m_added) + ".txt与重放结果不符");
  // A prize claimed by a voided winner is named as such.
  const std::string key = claims::JournalDrawKey(paths::FinishedJournalPath(1001));
  const std::filesystem::path claimFile = paths::NativePath(claims::ClaimFilePath(1001, key));
  WriteAll(claimFile, "CLAIM\t1001\t" + key + "\r\n" + Id(m_voidedEmpty) + "\t" +
                          std::to_string(m_added) + "\t2026-12-10 22:00:00\t1\r\n");
  const TVerifyResult claimed = VerifyDrawFolder(Root(), 1001);
  std::filesystem::remove(claimFile);
  fails(claimed, "领奖记录中" + text::GbkToUtf8(Id(m_voidedEmpty)) + " (奖项" +
                     std::to_string(m_added) + ", 2026-12-10 22:00:00 1) 已被作废,不能领奖");
  const std::filesystem::path voids = paths::NativePath(VoidFilePath(1001, m_added));
  fails(With(voids, [&] { std::filesystem::remove(voids); }),
        "找不到作废名单文件LUCK_FILE/VOID_1001_" + std::to_string(m_added) + ".txt");
}

// Under a quota of one winner per department (four departments, two people each), voids of a
// whole batch with redraws, a void without, and an added item are replayed by the rules,
// whatever the secret: the place left empty frees its department for the later items.
TEST_F(PlanVerify, VoidsAndChangesUnderRulesReplayToo) {
  TaskDef def;
  def.taskId = 1002;
  def.items = {{G("甲奖"), 2, 2, ""}, {G("乙奖"), 2, 2, ""}};
  def.title = G("号码 姓名 部门");
  for (int i = 0; i < 8; ++i)
    def.candidates.push_back(std::to_string(500 + i) + " " + G("员工") + std::to_string(i) + " " +
                             G("部") + std::to_string(i % 4));
  BuildTask(m_dm, def);
  TTaskRules rules;
  std::string err;
  ASSERT_TRUE(ParseRules(G("TASKQUOTA\t部门\t1\n"), rules, err)) << err;
  ASSERT_TRUE(config::SaveTaskRules(m_dm, 1002, rules, err)) << text::GbkToUtf8(err);
  for (uint32_t secret = 1; secret <= 8; ++secret) {
    SCOPED_TRACE(secret);
    auto run = StartDraw(secret, 1002);
    TDataDraw& e = run->e;
    TDataDraw::BatchEnd end;
    std::string message;
    Batch(e, 2);
    ASSERT_TRUE(e.VoidLastBatch(G("误抽"), kTime, true, end, message)) << message;
    Roll(e, 3);
    ASSERT_TRUE(e.VoidWinner(1, G("本人放弃"), kTime, false, end, message)) << message;
    ASSERT_TRUE(e.AddItem({G("丙奖"), 1, 1, ""}, false, "8", end, message)) << message;
    while (e.state() != TDataDraw::State::Finished) Batch(e, 1);
    EXPECT_EQ(e.Voids().size(), 3u);
    // One winner a department at most among those who stand.
    std::map<std::string, int> perDepartment;
    for (const TLuckId& w : e.Session().Winners)
      ++perDepartment[w.CandidateLine.substr(w.CandidateLine.rfind(' ') + 1)];
    for (const auto& [department, n] : perDepartment) EXPECT_EQ(n, 1) << department;
    const TVerifyResult r = VerifyDrawFolder(Root(), 1002);
    EXPECT_TRUE(r.Passed) << VerifyText(r);
    EXPECT_TRUE(Has(r, G("共作废3名中奖者(重抽2名, 名额空缺1名)"))) << VerifyText(r);
  }
}

// An item added after the last batch takes the finished draw up again; the check replays the
// whole night from the journal, finished once more.
TEST_F(PlanVerify, AnItemAddedAfterTheLastBatchIsReplayed) {
  TLuckTask task;
  std::string err;
  ASSERT_TRUE(LoadLuckTask(1001, task, err)) << err;
  auto run = StartDraw(77u);
  TDataDraw& e = run->e;
  ASSERT_TRUE(e.OpenFinished(err)) << err;
  TDataDraw::BatchEnd end;
  std::string message;
  ASSERT_TRUE(e.AddItem({G("压轴奖"), 1, 1, ""}, false, "2026", end, message)) << message;
  Batch(e, 7);
  ASSERT_EQ(e.state(), TDataDraw::State::Finished);
  const TVerifyResult r = VerifyDrawFolder(Root(), 1001);
  EXPECT_TRUE(r.Passed) << VerifyText(r);
  EXPECT_TRUE(Has(r, G("第8项改动 临时加奖 奖项"))) << VerifyText(r);
  EXPECT_TRUE(Has(r, G("第6批 奖项"))) << VerifyText(r);
}
