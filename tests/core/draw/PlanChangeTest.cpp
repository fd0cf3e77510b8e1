// Live changes to the plan (an added item, a changed count, the next item chosen, an
// audience's number) and voids: each a journal record written before it applies, refused
// with a message when it cannot hold, and replayed once after a kill.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "DrawSetUp.h"
#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/draw/DataDraw.h"
#include "core/draw/DrawJournal.h"
#include "core/draw/NamedWinners.h"
#include "core/draw/PlanRecords.h"
#include "core/export/ExcelExport.h"
#include "core/import/Zip.h"
#include "core/records/NamedAwardFile.h"
#include "core/records/VoidFile.h"
#include "core/records/WinnerFiles.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "core/text/Text.h"
#include "core/verify/AuditBundle.h"

using text::G;

namespace {

constexpr char kTime[] = "2026-12-10 20:15:00";

// Ten candidates, ids 11 … 20; 一等奖 3 one at a time, 二等奖 3 in one batch.
class PlanChange : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_dm.DataModuleCreate()); }

  void Build(int candidates = 10, std::vector<ItemDef> items = {}) {
    TaskDef def;
    def.items = items.empty()
                    ? std::vector<ItemDef>{{G("一等奖"), 3, 1, ""}, {G("二等奖"), 3, 3, ""}}
                    : items;
    def.title = G("号码 姓名");
    for (int i = 0; i < candidates; ++i)
      def.candidates.push_back(std::to_string(11 + i) + " " + G("人") + std::to_string(i));
    m_lines = def.candidates;
    m_ids = BuildTask(m_dm, def);
  }

  static void Batch(TDataDraw& e, int rolls = 3) {
    ASSERT_TRUE(e.BeginBatch());
    e.SelectBatchWinners();
    for (int r = 0; r < rolls; ++r) e.RollStep();
    e.RevealBatch();
    e.EndBatch();
  }

  // Rolls and reveals a void's redraw.
  static void Redraw(TDataDraw& e, int rolls = 2) {
    ASSERT_EQ(e.state(), TDataDraw::State::Rolling);
    for (int r = 0; r < rolls; ++r) e.RollStep();
    e.RevealBatch();
    e.EndBatch();
  }

  static std::string CurrentName(const TDataDraw& e) {
    const size_t cur = static_cast<size_t>(e.CurItemIndex());
    return cur < e.Session().Items.size() ? e.Session().Items[cur].ItemName : std::string();
  }

  // The journal's lines without their check values, open or finished.
  static std::vector<std::string> Records() {
    std::string all = ReadAll(paths::NativePath(paths::JournalPath(1001)));
    if (all.empty()) all = ReadAll(paths::NativePath(paths::FinishedJournalPath(1001)));
    std::vector<std::string> out;
    for (std::string_view l : text::SplitAt(all, '\n')) {
      if (l.empty()) continue;
      out.emplace_back(l.substr(0, l.rfind("\tcheck=")));
    }
    return out;
  }

  static int64_t JournalBytes() {
    const int64_t open = JournalSize(paths::JournalPath(1001));
    return open >= 0 ? open : JournalSize(paths::FinishedJournalPath(1001));
  }

  std::string Line(int32_t k) const { return m_lines[static_cast<size_t>(k)]; }

  TempRoot m_root;
  TTombolixDataModule m_dm;
  std::vector<int> m_ids;
  std::vector<std::string> m_lines;
};

}  // namespace

TEST(PlanRecords, EachKindReadsBackAndMalformedOnesAreNamed) {
  TPlanRecord add;
  add.Kind = TPlanKind::Add;
  add.ItemId = 3001;
  add.Name = G("特别奖");
  add.LuckCount = 3;
  add.ListCount = 3;
  add.Gift = G("手机");
  add.Audience = "4711";
  const std::string line = FormatPlanRecord(add);
  EXPECT_EQ(line.substr(0, line.rfind("\tcheck=")), "ADD\titem=3001\tname=" + G("特别奖") +
                                                        "\tcount=3\tper=3\tgift=" + G("手机") +
                                                        "\taudience=4711");
  TPlanRecord back;
  ASSERT_EQ(ParsePlanRecord(line.substr(0, line.size() - 2), back), PlanParse::Ok);
  EXPECT_EQ(back, add);

  TPlanRecord v;
  v.Kind = TPlanKind::Void;
  v.ItemId = 2002;
  v.Place = 4;
  v.Voided = 7;
  v.Reason = G("本人放弃");
  v.Time = kTime;
  v.Redraw = true;
  v.Replacement = 9;
  v.Rng = 4000000000u;
  v.Rolls = 12;
  const std::string voidLine = FormatPlanRecord(v);
  EXPECT_EQ(voidLine.substr(0, voidLine.rfind("\tcheck=")),
            "VOID\titem=2002\tplace=4\tvoided=7\treason=" + G("本人放弃") +
                "\ttime=2026-12-10 20:15:00\tredraw=1\treplacement=9\trng=4000000000\trolls=12");
  ASSERT_EQ(ParsePlanRecord(voidLine.substr(0, voidLine.size() - 2), back), PlanParse::Ok);
  EXPECT_EQ(back, v);

  EXPECT_EQ(ParsePlanRecord("BATCH\titem=1", back), PlanParse::NotPlan);
  EXPECT_EQ(ParsePlanRecord("COUNT\titem=2001\tcount=-1", back), PlanParse::Bad);
  EXPECT_EQ(ParsePlanRecord("COUNT\titem=2001\tcount=05", back), PlanParse::Bad);
  EXPECT_EQ(ParsePlanRecord("NEXT\titem=2001\titem=2002", back), PlanParse::Bad);
  EXPECT_EQ(ParsePlanRecord("NEXT\titem=2001\taudience=12a", back), PlanParse::Bad);
  EXPECT_EQ(ParsePlanRecord("VOID\titem=1\tplace=0\tvoided=0\treason=x\ttime=2026-12-10 "
                            "20:15\tredraw=0",
                            back),
            PlanParse::Bad);
  EXPECT_EQ(ParsePlanRecord("VOID\titem=1\tplace=0\tvoided=0\treason=\ttime=2026-12-10 "
                            "20:15:00\tredraw=0",
                            back),
            PlanParse::Bad);
  EXPECT_EQ(ParsePlanRecord("VOID\titem=1\tplace=0\tvoided=0\treason=x\ttime=2026-12-10 "
                            "20:15:00\tredraw=1",
                            back),
            PlanParse::Bad);

  // SHA-256("tombolix-mix-1\nstate=12345\naudience=4711\n") begins 17c2cb23.
  EXPECT_EQ(MixAudience(12345u, "4711"), 398658339u);
  EXPECT_EQ(PlanText(G("  误\t抽 ")), G("误 抽"));
}

TEST_F(PlanChange, AnAddedItemIsWrittenFirstAndDrawnNext) {
  Build();
  auto run = StartDraw(5u);
  TDataDraw& e = run->e;
  Batch(e);  // 一等奖: 1 of 3
  const size_t before = Records().size();
  TDataDraw::BatchEnd end;
  std::string message;
  ASSERT_TRUE(e.AddItem({G("特别奖"), 3, 3, G("手机")}, true, "", end, message)) << message;
  EXPECT_TRUE(end.prizeChanged);
  const std::vector<std::string> records = Records();
  ASSERT_EQ(records.size(), before + 2);
  const int32_t added = e.Session().Items[static_cast<size_t>(e.CurItemIndex())].ItemId;
  EXPECT_EQ(records[before], "ADD\titem=" + std::to_string(added) + "\tname=" + G("特别奖") +
                                 "\tcount=3\tper=3\tgift=" + G("手机"));
  EXPECT_EQ(records[before + 1], "NEXT\titem=" + std::to_string(added));
  EXPECT_EQ(CurrentName(e), G("特别奖"));
  EXPECT_EQ(end.progressText, G("[特别奖]已经抽取0名, 请继续抽取(还剩3名)"));

  Batch(e);  // 特别奖: 3 at once
  EXPECT_EQ(CurrentName(e), G("一等奖"));
  for (int i = 0; i < 3; ++i) Batch(e);  // 一等奖 2 more, 二等奖 3
  ASSERT_EQ(e.state(), TDataDraw::State::Finished);
  const TArrLuckId& w = e.Session().Winners;
  ASSERT_EQ(w.size(), 9u);
  EXPECT_EQ(w[0].ItemId, m_ids[0]);
  for (size_t i = 1; i <= 3; ++i) EXPECT_EQ(w[i].ItemId, added);
  std::string file = G("号码 姓名") + "\r\n";
  for (size_t i = 1; i <= 3; ++i) file += w[i].CandidateLine + "\r\n";
  EXPECT_EQ(ReadAll(paths::NativePath(paths::WinnerFilePath(1001, added))), file);
  // The results find the added item in the finished journal.
  TJournal done;
  std::string error;
  ASSERT_EQ(ReadJournal(paths::FinishedJournalPath(1001), done, error), JournalRead::Ok) << error;
  const std::vector<TLuckItem> extra = AddedItems(done);
  ASSERT_EQ(extra.size(), 1u);
  EXPECT_EQ(extra[0].ItemId, added);
  EXPECT_EQ(extra[0].ItemName, G("特别奖"));
  EXPECT_EQ(extra[0].AwardName, G("手机"));
  EXPECT_EQ(extra[0].TaskId, 1001);
  EXPECT_EQ(extra[0].LuckCount, 3);
  EXPECT_EQ(extra[0].ListCount, 3);
}

TEST_F(PlanChange, WhatCannotHoldIsRefusedAndChangesNothing) {
  Build();
  auto run = StartDraw(5u);
  TDataDraw& e = run->e;
  TDataDraw::BatchEnd end;
  std::string message;
  ASSERT_TRUE(e.StartJournal(message)) << message;
  EXPECT_FALSE(e.ChangeCount(m_ids[0], 5, "", end, message));
  EXPECT_EQ(message, G("第一批揭晓后才能修改奖项;开始前请关闭抽奖窗口修改任务设置"));
  Batch(e);
  Batch(e);  // 一等奖: 2 of 3
  const int64_t bytes = JournalBytes();
  const TArrLuckItem items = e.Session().Items;
  const auto refused = [&](bool done, const std::string& text) {
    EXPECT_FALSE(done);
    EXPECT_EQ(message, text);
    EXPECT_EQ(JournalBytes(), bytes);
    ASSERT_EQ(e.Session().Items.size(), items.size());
    for (size_t i = 0; i < items.size(); ++i) {
      EXPECT_EQ(e.Session().Items[i].ItemId, items[i].ItemId);
      EXPECT_EQ(e.Session().Items[i].LuckCount, items[i].LuckCount);
    }
  };
  refused(e.ChangeCount(m_ids[0], 1, "", end, message), G("[一等奖]已经抽出2名,名额不能少于2名"));
  refused(e.ChangeCount(m_ids[1], 0, "", end, message), G("[中奖个数]必须大于0,请重新输入!"));
  refused(e.ChangeCount(m_ids[1], 3, "", end, message), G("[二等奖]的名额已经是3名"));
  refused(e.ChangeCount(4242, 3, "", end, message), G("奖项编号4242不在本次抽奖中"));
  refused(e.ChooseNext(m_ids[0], "", end, message), G("[一等奖]已经是下一个抽取的奖项"));
  refused(e.ChangeCount(m_ids[1], 4, "12x", end, message), G("现场号码只能是1到18位数字"));
  refused(e.AddItem({G("一等奖"), 1, 1, ""}, false, "", end, message),
          G("奖项名称[一等奖]已经存在,请换一个名称"));
  refused(e.AddItem({G("特别奖"), 2, 3, ""}, false, "", end, message),
          G("[每次抽取个数]不能大于[中奖个数],请重新选择"));
  refused(e.AddItem({"  ", 2, 1, ""}, false, "", end, message), G("请输入奖项名称!"));
  ASSERT_TRUE(e.BeginBatch());
  e.SelectBatchWinners();
  refused(e.ChangeCount(m_ids[1], 4, "", end, message), G("正在抽奖,请在本批揭晓后再修改奖项"));
  refused(e.VoidWinner(0, G("误抽"), kTime, false, end, message),
          G("正在抽奖,请在本批揭晓后再作废"));
  e.RevealBatch();
  e.EndBatch();
  // 一等奖 is finished now.
  const int64_t after = JournalBytes();
  EXPECT_FALSE(e.ChangeCount(m_ids[0], 4, "", end, message));
  EXPECT_EQ(message, G("[一等奖]已经抽取完毕,不能再修改"));
  EXPECT_FALSE(e.VoidWinner(0, "  ", kTime, false, end, message));
  EXPECT_EQ(message, G("请选择或输入作废原因"));
  EXPECT_FALSE(e.VoidWinner(0, G("误抽"), "2026-12-10", false, end, message));
  EXPECT_EQ(message, G("作废时间无效"));
  EXPECT_EQ(JournalBytes(), after);
}

TEST_F(PlanChange, NobodyLeftRefusesAnAddedItemAndARedraw) {
  Build(4, {{G("一等奖"), 2, 2, ""}, {G("二等奖"), 2, 2, ""}});
  auto run = StartDraw(9u);
  TDataDraw& e = run->e;
  Batch(e);
  Batch(e);
  ASSERT_EQ(e.state(), TDataDraw::State::Finished);
  const int64_t bytes = JournalBytes();
  TDataDraw::BatchEnd end;
  std::string message;
  EXPECT_FALSE(e.AddItem({G("特别奖"), 1, 1, ""}, false, "", end, message));
  EXPECT_EQ(message, G("[特别奖]已没有可抽取的候选人,不能加奖"));
  EXPECT_FALSE(e.VoidWinner(1, G("误抽"), kTime, true, end, message));
  EXPECT_EQ(message, G("[一等奖]已没有可抽取的替补号码,中奖名单不变"));
  EXPECT_EQ(JournalBytes(), bytes);
  EXPECT_TRUE(e.Voids().empty());
  EXPECT_EQ(e.Session().Winners.size(), 4u);
}

TEST_F(PlanChange, ACountDownToTheDrawnFinishesTheItemAndNextReorders) {
  Build(12, {{G("一等奖"), 3, 1, ""}, {G("二等奖"), 3, 3, ""}, {G("三等奖"), 2, 2, ""}});
  auto run = StartDraw(11u);
  TDataDraw& e = run->e;
  Batch(e);
  TDataDraw::BatchEnd end;
  std::string message;
  ASSERT_TRUE(e.ChangeCount(m_ids[0], 1, "", end, message)) << message;
  EXPECT_TRUE(end.prizeChanged);
  EXPECT_EQ(CurrentName(e), G("二等奖"));
  ASSERT_TRUE(e.ChooseNext(m_ids[2], "", end, message)) << message;
  EXPECT_EQ(CurrentName(e), G("三等奖"));
  EXPECT_EQ(Records().back(), "NEXT\titem=" + std::to_string(m_ids[2]));
  Batch(e);
  EXPECT_EQ(CurrentName(e), G("二等奖"));
  ASSERT_TRUE(e.ChangeCount(m_ids[1], 5, "", end, message)) << message;
  Batch(e);
  Batch(e);
  ASSERT_EQ(e.state(), TDataDraw::State::Finished);
  std::vector<int32_t> order;
  for (const TLuckId& w : e.Session().Winners) order.push_back(w.ItemId);
  EXPECT_EQ(order, (std::vector<int32_t>{m_ids[0], m_ids[2], m_ids[2], m_ids[1], m_ids[1], m_ids[1],
                                         m_ids[1], m_ids[1]}));
  // The last count change can finish the draw: its files are written then.
  EXPECT_TRUE(paths::FileExists(paths::FinishedJournalPath(1001)));
}

TEST_F(PlanChange, AnAudienceNumberIsMixedIntoTheGeneratorFromThen) {
  Build();
  auto run = StartDraw(5u);
  TDataDraw& e = run->e;
  Batch(e);
  const uint32_t state = run->rng.Seed();
  TDataDraw::BatchEnd end;
  std::string message;
  ASSERT_TRUE(e.ChangeCount(m_ids[1], 4, "4711", end, message)) << message;
  EXPECT_EQ(run->rng.Seed(), MixAudience(state, "4711"));
  EXPECT_EQ(Records().back(),
            "COUNT\titem=" + std::to_string(m_ids[1]) + "\tcount=4\taudience=4711");
}

TEST_F(PlanChange, AVoidWithoutRedrawLeavesThePlaceEmptyAndTheFilesTellIt) {
  Build();
  auto run = StartDraw(5u);
  TDataDraw& e = run->e;
  for (int i = 0; i < 4; ++i) Batch(e);  // 一等奖 3 batches, 二等奖 one of 3
  ASSERT_EQ(e.state(), TDataDraw::State::Finished);
  const TLuckId voided = e.Session().Winners[4];
  TDataDraw::BatchEnd end;
  std::string message;
  ASSERT_TRUE(e.VoidWinner(4, G("不符合资格"), kTime, false, end, message)) << message;
  EXPECT_EQ(Records().back(), "VOID\titem=" + std::to_string(m_ids[1]) +
                                  "\tplace=4\tvoided=" + std::to_string(voided.CandidateIndex) +
                                  "\treason=" + G("不符合资格") +
                                  "\ttime=2026-12-10 20:15:00\tredraw=0");
  ASSERT_EQ(e.Session().Winners.size(), 5u);
  ASSERT_EQ(e.Voids().size(), 1u);
  EXPECT_EQ(e.Voids()[0].CandidateIndex, voided.CandidateIndex);
  EXPECT_EQ(e.Voids()[0].ReplacementIndex, -1);
  // On the finished screen the files are written again at once.
  const std::string title = G("号码 姓名") + "\r\n";
  std::string winners = title;
  for (const TLuckId& w : e.Session().Winners)
    if (w.ItemId == m_ids[1]) winners += w.CandidateLine + "\r\n";
  EXPECT_EQ(ReadAll(paths::NativePath(paths::WinnerFilePath(1001, m_ids[1]))), winners);
  EXPECT_EQ(ReadAll(paths::NativePath(VoidFilePath(1001, m_ids[1]))),
            title + voided.CandidateLine + "\t2026-12-10 20:15:00\t" + G("不符合资格") + "\t\r\n");
  // The list keeps the voided winner, marked.
  const std::vector<std::string>& list = e.WinnerList().Lines();
  EXPECT_NE(std::find(list.begin(), list.end(), voided.CandidateLine + " " + G("作废(不符合资格)")),
            list.end());
  // The void file reads back.
  TVoidFile file;
  std::string error;
  ASSERT_TRUE(LoadVoidFile(VoidFilePath(1001, m_ids[1]), file, error)) << error;
  ASSERT_EQ(file.rows.size(), 1u);
  EXPECT_EQ(file.rows[0].CandidateLine, voided.CandidateLine);
  EXPECT_EQ(file.rows[0].Reason, G("不符合资格"));
  EXPECT_EQ(file.rows[0].ReplacementId, "");
  // The text export ends with the item's voided winners.
  const std::string out = m_root.path("export/all.txt");
  ASSERT_TRUE(ExportWinnersText(e.Session().Items, e.Session().Task, -1, out, error)) << error;
  const std::string tail = "\r\n\r\n" + G("二等奖作废名单") + "\r\n" + G("号码 姓名") + "\r\n" +
                           voided.CandidateLine + " " + G("作废:不符合资格") +
                           " 2026-12-10 20:15:00 " + G("名额空缺") + "\r\n";
  const std::string all = ReadAll(out);
  ASSERT_GE(all.size(), tail.size());
  EXPECT_EQ(all.substr(all.size() - tail.size()), tail);
  // The workbook has a sheet 作废名单 after the items' sheets.
  const std::string xlsx = m_root.path("export/all.xlsx");
  ASSERT_TRUE(ExportWinnersExcel(e.Session().Items, e.Session().Task, -1, xlsx, error)) << error;
  sheet::ZipArchive zip;
  ASSERT_TRUE(zip.OpenFile(xlsx, error)) << error;
  std::string workbook, sheet3;
  ASSERT_TRUE(zip.ReadPart("xl/workbook.xml", workbook, error));
  EXPECT_NE(workbook.find("name=\"作废名单\""), std::string::npos) << workbook;
  ASSERT_TRUE(zip.ReadPart("xl/worksheets/sheet3.xml", sheet3, error));
  const std::string id = std::string(text::FirstField(voided.CandidateLine));
  for (const std::string c : {"二等奖", "号码", "作废原因", "作废时间", "重抽", "不符合资格",
                              "2026-12-10 20:15:00", "名额空缺"})
    EXPECT_NE(sheet3.find(">" + c + "<"), std::string::npos) << c;
  EXPECT_NE(sheet3.find(">" + id + "<"), std::string::npos);
}

TEST_F(PlanChange, AVoidWithRedrawTakesThePlaceAndTheVoidedNeverWinsAgain) {
  Build();
  for (uint32_t secret = 1; secret <= 8; ++secret) {
    SCOPED_TRACE(secret);
    auto run = StartDraw(secret);
    TDataDraw& e = run->e;
    Batch(e);
    const int32_t voided = e.Session().Winners[0].CandidateIndex;
    TDataDraw::BatchEnd end;
    std::string message;
    ASSERT_TRUE(e.VoidWinner(0, G("误抽"), kTime, true, end, message)) << message;
    EXPECT_EQ(e.Session().Winners[0].CandidateIndex, voided);  // not before the reveal
    Redraw(e);
    EXPECT_EQ(e.state(), TDataDraw::State::BetweenBatches);
    const int32_t k = e.Session().Winners[0].CandidateIndex;
    EXPECT_NE(k, voided);
    ASSERT_EQ(e.Voids().size(), 1u);
    EXPECT_EQ(e.Voids()[0].ReplacementIndex, k);
    const std::string last = Records().back();
    EXPECT_EQ(last.substr(0, last.find("\trng=")),
              "VOID\titem=" + std::to_string(m_ids[0]) +
                  "\tplace=0\tvoided=" + std::to_string(voided) + "\treason=" + G("误抽") +
                  "\ttime=2026-12-10 20:15:00\tredraw=1\treplacement=" + std::to_string(k));
    EXPECT_NE(last.find("\trng=" + std::to_string(run->rng.Seed()) + "\trolls=2"),
              std::string::npos);
    // The whole last batch of 二等奖 is voided later, redrawn in one roll.
    Batch(e);
    Batch(e);
    Batch(e);  // 二等奖's three
    ASSERT_EQ(e.state(), TDataDraw::State::Finished);
    std::vector<int32_t> batch;
    for (size_t p = 3; p < 6; ++p) batch.push_back(e.Session().Winners[p].CandidateIndex);
    ASSERT_TRUE(e.VoidLastBatch(G("本人放弃"), kTime, true, end, message)) << message;
    Redraw(e, 4);
    EXPECT_EQ(e.state(), TDataDraw::State::Finished);
    ASSERT_EQ(e.Voids().size(), 4u);
    ASSERT_EQ(e.Session().Winners.size(), 6u);
    // Ten people, six places, four voided: every place holds someone never voided, once.
    std::vector<int32_t> all;
    for (const TLuckId& w : e.Session().Winners) all.push_back(w.CandidateIndex);
    std::sort(all.begin(), all.end());
    EXPECT_EQ(std::unique(all.begin(), all.end()), all.end());
    for (const TVoidId& v : e.Voids())
      EXPECT_EQ(std::count(all.begin(), all.end(), v.CandidateIndex), 0);
    for (int32_t k0 : batch) EXPECT_EQ(std::count(all.begin(), all.end(), k0), 0);
  }
}

TEST_F(PlanChange, AWinnerOfAFinishedDrawIsVoidedFromTheResultsOnce) {
  Build();
  TArrLuckId winners;
  {
    auto run = StartDraw(5u);
    for (int i = 0; i < 4; ++i) Batch(run->e);
    ASSERT_EQ(run->e.state(), TDataDraw::State::Finished);
    winners = run->e.Session().Winners;
  }
  const std::string done = ReadAll(paths::NativePath(paths::FinishedJournalPath(1001)));
  auto run = StartDraw(77u);
  TDataDraw& e = run->e;
  std::string error;
  ASSERT_TRUE(e.OpenFinished(error)) << error;
  EXPECT_EQ(e.state(), TDataDraw::State::Finished);
  std::string message;
  const int32_t place = e.PlaceOf(m_ids[0], winners[1].CandidateIndex, message);
  ASSERT_EQ(place, 1);
  TDataDraw::BatchEnd end;
  ASSERT_TRUE(e.VoidWinner(1, G("本人放弃"), kTime, false, end, message)) << message;
  EXPECT_TRUE(end.saved) << end.saveError;
  // The record is appended to the finished journal; nothing before it changes.
  const std::string after = ReadAll(paths::NativePath(paths::FinishedJournalPath(1001)));
  ASSERT_GT(after.size(), done.size());
  EXPECT_EQ(after.substr(0, done.size()), done);
  EXPECT_EQ(after.substr(done.size(), 5), "VOID\t");
  EXPECT_FALSE(paths::FileExists(paths::JournalPath(1001)));
  const std::string title = G("号码 姓名") + "\r\n";
  EXPECT_EQ(ReadAll(paths::NativePath(paths::WinnerFilePath(1001, m_ids[0]))),
            title + winners[0].CandidateLine + "\r\n" + winners[2].CandidateLine + "\r\n");
  // Voiding the same winner again is refused by name.
  EXPECT_EQ(e.PlaceOf(m_ids[0], winners[1].CandidateIndex, message), -1);
  EXPECT_EQ(message, G("该中奖者已经作废,不能再次作废"));
  EXPECT_EQ(e.PlaceOf(m_ids[1], winners[1].CandidateIndex, message), -1);
  EXPECT_EQ(message, G("该号码不是此奖项的中奖者"));
  // Opened once more, the draw holds the void from its journal.
  auto again = StartDraw(78u);
  ASSERT_TRUE(again->e.OpenFinished(error)) << error;
  ASSERT_EQ(again->e.Voids().size(), 1u);
  EXPECT_EQ(again->e.Voids()[0].CandidateIndex, winners[1].CandidateIndex);
  EXPECT_EQ(again->e.Session().Winners.size(), 5u);
}

// A scripted night with every kind of record: killed right after each record, resumed, and
// finished, it ends exactly as the night that was never killed.
TEST_F(PlanChange, AKillAfterEachRecordResumesWithItAndNeverTwice) {
  Build(14);
  using Step = std::function<void(TDataDraw&)>;
  TDataDraw::BatchEnd end;
  std::string message;
  const std::vector<Step> steps = {
      [](TDataDraw& e) { Batch(e); },
      [&](TDataDraw& e) {
        ASSERT_TRUE(e.AddItem({G("特别奖"), 2, 2, G("手机")}, true, "31415", end, message))
            << message;
      },
      [](TDataDraw& e) { Batch(e, 5); },
      [&](TDataDraw& e) { ASSERT_TRUE(e.ChangeCount(m_ids[0], 2, "", end, message)) << message; },
      [&](TDataDraw& e) {
        ASSERT_TRUE(e.VoidWinner(1, G("不符合资格"), kTime, false, end, message)) << message;
      },
      [&](TDataDraw& e) {
        ASSERT_TRUE(e.VoidWinner(0, G("误抽"), kTime, true, end, message)) << message;
        Redraw(e, 6);
      },
      [&](TDataDraw& e) { ASSERT_TRUE(e.ChooseNext(m_ids[1], "27", end, message)) << message; },
      [](TDataDraw& e) { Batch(e, 2); },
      [](TDataDraw& e) { Batch(e, 4); },
  };
  // The added item's id comes from the database's counter: each night has its own.
  const auto night = [&](int killAfter, TArrLuckId& winners, TArrVoidId& voids, int32_t& added) {
    auto run = StartDraw(21u);
    for (size_t i = 0; i < steps.size(); ++i) {
      steps[i](run->e);
      if (static_cast<int>(i) == killAfter) {
        run.reset();  // killed: only the journal is left
        run = StartDraw(99u);
        ASSERT_EQ(run->e.Pending().kind, TPendingKind::Resumable);
        TDataDraw::BatchEnd resumed;
        std::string error;
        ASSERT_TRUE(run->e.Resume(resumed, error)) << error;
      }
    }
    ASSERT_EQ(run->e.state(), TDataDraw::State::Finished);
    winners = run->e.Session().Winners;
    voids = run->e.Voids();
    for (const TLuckItem& it : run->e.Session().Items)
      if (it.ItemName == G("特别奖")) added = it.ItemId;
  };
  const auto records = [](int32_t added) {
    std::vector<std::string> out = Records();
    // Each night is another opening of the task: its number and chain are its own.
    if (!out.empty()) out[0] = out[0].substr(0, out[0].find("\topening="));
    const std::string id = "item=" + std::to_string(added) + "\t";
    for (std::string& r : out) {
      r += '\t';
      for (size_t at; (at = r.find(id)) != std::string::npos;) r.replace(at, id.size(), "item=X\t");
    }
    return out;
  };
  TArrLuckId whole;
  TArrVoidId wholeVoids;
  int32_t wholeAdded = 0;
  night(-1, whole, wholeVoids, wholeAdded);
  ASSERT_EQ(wholeVoids.size(), 2u);
  ASSERT_EQ(whole.size(), 6u);
  const std::vector<std::string> wholeRecords = records(wholeAdded);
  for (int kill : {1, 3, 4, 5, 6}) {
    SCOPED_TRACE(kill);
    TArrLuckId winners;
    TArrVoidId voids;
    int32_t added = 0;
    night(kill, winners, voids, added);
    ASSERT_EQ(winners.size(), whole.size());
    for (size_t i = 0; i < whole.size(); ++i) {
      EXPECT_EQ(winners[i].ItemId == added, whole[i].ItemId == wholeAdded);
      EXPECT_EQ(winners[i].CandidateIndex, whole[i].CandidateIndex);
    }
    ASSERT_EQ(voids.size(), wholeVoids.size());
    for (size_t i = 0; i < voids.size(); ++i)
      EXPECT_EQ(voids[i].CandidateIndex, wholeVoids[i].CandidateIndex);
    // The same records, each once: the resume applied each record without writing it again.
    const std::vector<std::string> got = records(added);
    EXPECT_EQ(got, wholeRecords);
  }
}

TEST_F(PlanChange, ANamedAwardIsHandedOutByNameWithNoNumberDrawn) {
  Build(10, {{G("一等奖"), 2, 1, ""}, {G("荣誉奖"), 2, 1, ""}, {G("二等奖"), 4, 4, ""}});
  std::string error;
  ASSERT_TRUE(SaveNamedIds(1001, m_ids[1], {"17", "13"}, error)) << error;
  for (uint32_t secret = 1; secret <= 6; ++secret) {
    SCOPED_TRACE(secret);
    auto run = StartDraw(secret);
    TDataDraw& e = run->e;
    EXPECT_EQ(e.JournalHead().Named,
              std::to_string(m_ids[1]) + "\t17\n" + std::to_string(m_ids[1]) + "\t13\n");
    EXPECT_TRUE(e.IsNamedItem(m_ids[1]));
    Batch(e);
    Batch(e);
    ASSERT_EQ(CurrentName(e), G("荣誉奖"));
    // Both handed out at once, whatever the per-batch count, and the generator stands still.
    const uint32_t state = run->rng.Seed();
    ASSERT_TRUE(e.BeginBatch());
    const TDataDraw::Batch b = e.SelectBatchWinners();
    EXPECT_EQ(b.picks, (std::vector<int32_t>{6, 2}));
    for (int r = 0; r < 5; ++r) EXPECT_EQ(e.RollStep(), e.RollTexts("17"));
    EXPECT_EQ(e.RevealBatch(), (std::vector<std::string>{"17", "13"}));
    e.EndBatch();
    EXPECT_EQ(run->rng.Seed(), state);
    EXPECT_EQ(Records().back(), "NAMED\titem=" + std::to_string(m_ids[1]) + "\twinners=6,2");
    Batch(e);
    ASSERT_EQ(e.state(), TDataDraw::State::Finished);
    // Nobody named won a drawn item, before or after the award.
    std::vector<int32_t> drawn;
    for (const TLuckId& w : e.Session().Winners)
      if (w.ItemId != m_ids[1]) drawn.push_back(w.CandidateIndex);
    EXPECT_EQ(drawn.size(), 6u);
    EXPECT_EQ(std::count(drawn.begin(), drawn.end(), 2), 0);
    EXPECT_EQ(std::count(drawn.begin(), drawn.end(), 6), 0);
  }
}

// Someone named who is absent or voided is never replaced by a draw: that would roll the
// award. A void that leaves the place empty stands.
TEST_F(PlanChange, ANamedWinnersPlaceIsNeverDrawnAgain) {
  Build(10, {{G("荣誉奖"), 2, 2, ""}, {G("二等奖"), 2, 2, ""}});
  std::string error;
  ASSERT_TRUE(SaveNamedIds(1001, m_ids[0], {"17", "13"}, error)) << error;
  auto run = StartDraw(3);
  TDataDraw& e = run->e;
  Batch(e);
  ASSERT_EQ(e.Session().Winners.size(), 2u);
  const size_t before = Records().size();
  std::string message;
  EXPECT_FALSE(e.BeginReplacement(0, message));
  EXPECT_EQ(message, G("奖项[荣誉奖]是指定颁奖,不抽替补;可以作废并让名额空缺"));
  TDataDraw::BatchEnd end;
  EXPECT_FALSE(e.VoidWinner(1, G("本人放弃"), "2026-12-10 20:00:00", true, end, message));
  EXPECT_EQ(message, G("奖项[荣誉奖]是指定颁奖,不抽替补;可以作废并让名额空缺"));
  EXPECT_EQ(Records().size(), before);
  EXPECT_TRUE(e.VoidWinner(1, G("本人放弃"), "2026-12-10 20:00:00", false, end, message))
      << message;
  EXPECT_EQ(Records().size(), before + 1);
}

TEST_F(PlanChange, ANamedAwardThatCannotHoldIsRefusedAtSetUpAndKeepsItsCount) {
  Build(10, {{G("一等奖"), 1, 1, ""}, {G("荣誉奖"), 2, 1, ""}, {G("二等奖"), 1, 1, ""}});
  std::string error;
  const auto setUpFails = [&](const std::vector<std::string>& ids, const std::string& text) {
    ASSERT_TRUE(SaveNamedIds(1001, m_ids[1], ids, error)) << error;
    TDrawRun run(3u);
    TDrawFailure f;
    EXPECT_FALSE(run.e.SetUp(1001, f));
    EXPECT_EQ(f.text, text);
  };
  setUpFails({"13", "99"}, G("奖项[荣誉奖]指定颁奖的号码[99]不在名单中"));
  setUpFails({"13"}, G("奖项[荣誉奖]指定颁奖1人,与中奖人数2不符,请重新配置奖项"));
  EXPECT_FALSE(SaveNamedIds(1001, m_ids[1], {"13", "13"}, error));
  EXPECT_EQ(error, G("指定颁奖的号码[13]重复"));
  EXPECT_FALSE(SaveNamedIds(1001, m_ids[1], {"13 x"}, error));
  ASSERT_TRUE(SaveNamedIds(1001, m_ids[1], {"13", "14"}, error)) << error;
  auto run = StartDraw(3u);
  Batch(run->e);
  TDataDraw::BatchEnd end;
  std::string message;
  EXPECT_FALSE(run->e.ChangeCount(m_ids[1], 3, "", end, message));
  EXPECT_EQ(message, G("[荣誉奖]是指定颁奖,名额由指定的人数决定"));
  // Killed right after the award: the resume holds it and hands out nothing twice.
  Batch(run->e);
  run.reset();
  run = StartDraw(4u);
  ASSERT_EQ(run->e.Pending().kind, TPendingKind::Resumable);
  std::string err;
  ASSERT_TRUE(run->e.Resume(end, err)) << err;
  ASSERT_EQ(CurrentName(run->e), G("二等奖"));
  ASSERT_EQ(run->e.Session().Winners.size(), 3u);
  EXPECT_EQ(run->e.Session().Winners[1].CandidateIndex, 2);
  EXPECT_EQ(run->e.Session().Winners[2].CandidateIndex, 3);
  Batch(run->e);
  ASSERT_EQ(run->e.state(), TDataDraw::State::Finished);
  EXPECT_EQ(run->e.Session().Winners.size(), 4u);
}

// Each named winner's row says 指定 in the text and xlsx exports and the audit report, as the
// journal's head fixed them: a list edited after the draw changes no mark.
TEST_F(PlanChange, ANamedAwardsWinnersAreMarkedInBothExportsAndTheAudit) {
  Build(10, {{G("一等奖"), 1, 1, ""}, {G("荣誉奖"), 2, 1, ""}, {G("二等奖"), 1, 1, ""}});
  std::string error;
  ASSERT_TRUE(SaveNamedIds(1001, m_ids[1], {"17", "13"}, error)) << error;
  auto run = StartDraw(3u);
  TDataDraw& e = run->e;
  for (int i = 0; i < 3; ++i) Batch(e);
  ASSERT_EQ(e.state(), TDataDraw::State::Finished);
  ASSERT_TRUE(SaveNamedIds(1001, m_ids[1], {"11", "12"}, error)) << error;
  TNamedWinners named;
  ASSERT_TRUE(LoadNamedWinners(1001, named, error)) << error;
  EXPECT_EQ(named, (TNamedWinners{{m_ids[1], "13"}, {m_ids[1], "17"}}));
  const std::string out = m_root.path("export/named.txt");
  ASSERT_TRUE(ExportWinnersText(e.Session().Items, e.Session().Task, -1, out, error, named))
      << error;
  const std::string all = ReadAll(out);
  EXPECT_NE(all.find("\r\n" + G("荣誉奖") + "\r\n" + G("号码 姓名 颁奖方式") + "\r\n17 " +
                     G("人6 指定") + "\r\n13 " + G("人2 指定") + "\r\n"),
            std::string::npos)
      << all;
  EXPECT_EQ(all.find(G("指定"), all.find(G("二等奖"))), std::string::npos);
  const std::string xlsx = m_root.path("export/named.xlsx");
  ASSERT_TRUE(ExportWinnersExcel(e.Session().Items, e.Session().Task, -1, xlsx, error)) << error;
  sheet::ZipArchive zip;
  ASSERT_TRUE(zip.OpenFile(xlsx, error)) << error;
  std::string first, honour;
  ASSERT_TRUE(zip.ReadPart("xl/worksheets/sheet1.xml", first, error));
  ASSERT_TRUE(zip.ReadPart("xl/worksheets/sheet2.xml", honour, error));
  EXPECT_EQ(first.find(">颁奖方式<"), std::string::npos);
  EXPECT_NE(honour.find(">颁奖方式<"), std::string::npos);
  size_t marks = 0;
  for (size_t at = honour.find(">指定<"); at != std::string::npos;
       at = honour.find(">指定<", at + 1))
    ++marks;
  EXPECT_EQ(marks, 2u);
  TAuditRows rows;
  ASSERT_TRUE(AuditReport(e.Session().Task, rows, error)) << error;
  std::vector<std::string> marked;
  for (const auto& [label, value] : rows)
    if (label == G("指定")) marked.push_back(value);
  const std::string item = G("奖项") + std::to_string(m_ids[1]);
  EXPECT_EQ(marked, (std::vector<std::string>{item + " 17", item + " 13"}));
}

TEST_F(PlanChange, ANamedAwardFirstIsResumedAfterAKill) {
  Build(10, {{G("荣誉奖"), 2, 1, ""}, {G("一等奖"), 1, 1, ""}});
  std::string error;
  ASSERT_TRUE(SaveNamedIds(1001, m_ids[0], {"15", "11"}, error)) << error;
  {
    auto run = StartDraw(3u);
    Batch(run->e, 0);  // the award alone is in the journal, after its START
  }
  auto run = StartDraw(4u);
  ASSERT_EQ(run->e.Pending().kind, TPendingKind::Resumable);
  TDataDraw::BatchEnd end;
  ASSERT_TRUE(run->e.Resume(end, error)) << error;
  ASSERT_EQ(run->e.Session().Winners.size(), 2u);
  EXPECT_EQ(run->e.Session().Winners[0].CandidateIndex, 4);
  EXPECT_EQ(CurrentName(run->e), G("一等奖"));
}

// Killed after a void on the finished screen reached the journal, before the files: the next
// set-up writes them as the journal says.
TEST_F(PlanChange, AVoidInTheJournalButNotTheFilesIsCaughtUp) {
  Build();
  TArrLuckId winners;
  std::string winnerFile;
  {
    auto run = StartDraw(5u);
    for (int i = 0; i < 4; ++i) Batch(run->e);
    ASSERT_EQ(run->e.state(), TDataDraw::State::Finished);
    winners = run->e.Session().Winners;
    winnerFile = ReadAll(paths::NativePath(paths::WinnerFilePath(1001, m_ids[0])));
    TDataDraw::BatchEnd end;
    std::string message;
    ASSERT_TRUE(run->e.VoidWinner(0, G("误抽"), kTime, false, end, message)) << message;
  }
  const std::string after = ReadAll(paths::NativePath(paths::WinnerFilePath(1001, m_ids[0])));
  ASSERT_NE(after, winnerFile);
  // The files as they stood before the void.
  WriteAll(paths::NativePath(paths::WinnerFilePath(1001, m_ids[0])), winnerFile);
  std::filesystem::remove(paths::NativePath(VoidFilePath(1001, m_ids[0])));
  auto run = StartDraw(6u);
  EXPECT_EQ(ReadAll(paths::NativePath(paths::WinnerFilePath(1001, m_ids[0]))), after);
  EXPECT_TRUE(paths::FileExists(VoidFilePath(1001, m_ids[0])));
}

// The same after the whole last batch was voided in one append: the files may stand before
// all of its records.
TEST_F(PlanChange, ABatchVoidInTheJournalButNotTheFilesIsCaughtUp) {
  Build();
  const std::string path = paths::WinnerFilePath(1001, m_ids[1]);
  std::string winnerFile, after;
  {
    auto run = StartDraw(5u);
    for (int i = 0; i < 4; ++i) Batch(run->e);
    ASSERT_EQ(run->e.state(), TDataDraw::State::Finished);
    winnerFile = ReadAll(paths::NativePath(path));
    TDataDraw::BatchEnd end;
    std::string message;
    ASSERT_TRUE(run->e.VoidLastBatch(G("误抽"), kTime, false, end, message)) << message;
    ASSERT_EQ(run->e.Voids().size(), 3u);
    after = ReadAll(paths::NativePath(path));
  }
  EXPECT_EQ(after, G("号码 姓名") + "\r\n");
  WriteAll(paths::NativePath(path), winnerFile);
  std::filesystem::remove(paths::NativePath(VoidFilePath(1001, m_ids[1])));
  auto run = StartDraw(6u);
  EXPECT_EQ(ReadAll(paths::NativePath(path)), after);
  TVoidFile voids;
  std::string error;
  ASSERT_TRUE(LoadVoidFile(VoidFilePath(1001, m_ids[1]), voids, error)) << error;
  EXPECT_EQ(voids.rows.size(), 3u);
}

TEST_F(PlanChange, TheNextItemMustHaveSomeoneLeftToDraw) {
  Build(4, {{G("一等奖"), 2, 2, ""}, {G("二等奖"), 1, 1, ""}, {G("三等奖"), 1, 1, ""}});
  auto run = StartDraw(2u);
  TDataDraw& e = run->e;
  Batch(e);
  TDataDraw::BatchEnd end;
  std::string message;
  // Both winners voided and redrawn: the four people are spent.
  ASSERT_TRUE(e.VoidLastBatch(G("误抽"), kTime, true, end, message)) << message;
  Redraw(e);
  const int64_t bytes = JournalBytes();
  EXPECT_FALSE(e.ChooseNext(m_ids[2], "", end, message));
  EXPECT_EQ(message, G("[三等奖]已没有可抽取的候选人"));
  EXPECT_EQ(JournalBytes(), bytes);
  EXPECT_EQ(CurrentName(e), G("二等奖"));
}

// The chairman's extra prize after the last batch: the finished draw is taken up again under
// its open name, drawn to its end, and finished once more.
TEST_F(PlanChange, AnItemAddedAfterTheLastBatchReopensTheDraw) {
  Build();
  auto run = StartDraw(5u);
  TDataDraw& e = run->e;
  for (int i = 0; i < 4; ++i) Batch(e);
  ASSERT_EQ(e.state(), TDataDraw::State::Finished);
  ASSERT_TRUE(paths::FileExists(paths::FinishedJournalPath(1001)));
  TDataDraw::BatchEnd end;
  std::string message;
  ASSERT_TRUE(e.AddItem({G("特别奖"), 2, 2, ""}, true, "9", end, message)) << message;
  EXPECT_EQ(e.state(), TDataDraw::State::BetweenBatches);
  EXPECT_EQ(CurrentName(e), G("特别奖"));
  EXPECT_TRUE(end.prizeChanged);
  EXPECT_TRUE(paths::FileExists(paths::JournalPath(1001)));
  EXPECT_FALSE(paths::FileExists(paths::FinishedJournalPath(1001)));
  // A kill now resumes with the item to draw.
  run.reset();
  run = StartDraw(6u);
  ASSERT_EQ(run->e.Pending().kind, TPendingKind::Resumable);
  ASSERT_TRUE(run->e.Resume(end, message)) << message;
  EXPECT_EQ(CurrentName(run->e), G("特别奖"));
  Batch(run->e);
  ASSERT_EQ(run->e.state(), TDataDraw::State::Finished);
  EXPECT_TRUE(paths::FileExists(paths::FinishedJournalPath(1001)));
  EXPECT_EQ(run->e.Session().Winners.size(), 8u);
}
